// 20,000 landmarks with captions drawn on a 1600 x 1000 bitmap: once through the canvas layer
// (DrawLandMarkSymbolOnCanvas and DrawLandMarkCaption), once as the same primitives issued
// straight to one QPainter. Prints the ratio of the two at the end.
#include <benchmark/benchmark.h>

#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <ctime>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <optional>
#include <random>
#include <vector>

#include "SymbolDrawing.h"
#include "Vek_framework.h"

using namespace vek;

namespace {

constexpr int kWidth = 1600, kHeight = 1000, kCount = 20000;

struct Placed {
  int X, Y;
  TLandMark LM;
};

const std::vector<Placed>& Landmarks() {
  static const std::vector<Placed> lms = [] {
    std::mt19937 rng(4711);
    std::uniform_int_distribution<int> px(0, kWidth - 1), py(0, kHeight - 1), kind(0, 8),
        size(3, 10), dir(0, 359), len(15, 40), pct(0, 99), colour(0, 0xFFFFFF), align(0, 2);
    std::vector<Placed> v;
    v.reserve(kCount);
    for (int i = 0; i < kCount; ++i) {
      Placed p{px(rng), py(rng), {}};
      TSymbolProperties& s = p.LM.SymbolProps;
      s.Kind = TLandMarkElement(kind(rng));
      s.Size = size(rng);
      s.FGColor = TColor(colour(rng));
      s.BGColor = TColor(colour(rng));
      s.Transparent = pct(rng) < 30;
      s.Direction = dir(rng);
      s.Length = len(rng);
      TLMTextProperties& c = p.LM.Caption;
      c.Text = "LM " + std::to_string(i);
      c.Size = 8;
      c.FontName = "DejaVu Sans";
      c.FGColor = clBlack;
      c.BGColor = clYellow;
      c.Transparent = pct(rng) < 50;
      c.dx = 6;
      c.dy = -4;
      c.Direction = pct(rng) < 10 ? 45 : 0;
      c.HAlignment = TAlignment(align(rng));
      c.VAlignment = TVerticalAlignment(align(rng));
      v.push_back(p);
    }
    return v;
  }();
  return lms;
}

// CPU time of this thread: the machine is shared, so wall time says little.
double CpuNs() {
  timespec ts;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec * 1e9 + ts.tv_nsec;
}

// ---- through the canvas layer ----

void CanvasFrame(TBitmap& bmp) {
  TCanvas& c = *bmp.Canvas();
  c.FillSolid({0, 0, kWidth, kHeight}, clSilver);
  for (const Placed& p : Landmarks()) {
    DrawLandMarkSymbolOnCanvas(c, p.X, p.Y, p.LM.SymbolProps);
    DrawLandMarkCaption(c, p.X, p.Y, p.LM.Caption);
  }
  benchmark::DoNotOptimize(bmp.Image().constBits());
}

void BM_SymbolsCanvas(benchmark::State& state) {
  TBitmap bmp(kWidth, kHeight);
  for (auto _ : state) CanvasFrame(bmp);
  state.SetItemsProcessed(state.iterations() * kCount);
}

// ---- the same primitives straight to QPainter ----

constexpr double kDeg = std::numbers::pi / 180.0;
int Rnd(double v) { return int(std::nearbyint(v)); }
QColor Q(TColor c) { return ColorToQColor(c); }

struct Bare {
  QPainter& p;
  QPen pen{Qt::black, 0, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin};

  void Pen(TColor c) {
    pen.setColor(Q(c));
    p.setPen(pen);
  }
  void Fill(TColor c) { p.setBrush(Q(c)); }
  void Line(int x1, int y1, int x2, int y2) { p.drawLine(x1, y1, x2, y2); }
  void Halo(const QLine* l, int n, TColor c) {
    Pen(c);
    for (int i = -1; i <= 1; ++i)
      for (int j = -1; j <= 1; ++j)
        for (int k = 0; k < n; ++k) p.drawLine(l[k].translated(i, j));
  }
  QPoint Polar(int x, int y, double r, double a) {
    return {Rnd(x + r * std::sin(a)), Rnd(y - r * std::cos(a))};
  }

  void Symbol(int x, int y, const TSymbolProperties& s) {
    const int c = s.Size;
    const double th = s.Direction * kDeg;
    switch (s.Kind) {
      case lmPlus: {
        const QLine l[2] = {{x, y - c, x, y + c + 1}, {x - c, y, x + c + 1, y}};
        if (!s.Transparent) Halo(l, 2, s.BGColor);
        Pen(s.FGColor);
        p.drawLines(l, 2);
        break;
      }
      case lmSquare:
      case lmCrossBox: {
        const QPoint sq[5] = {{x - c, y - c}, {x - c, y + c}, {x + c, y + c}, {x + c, y - c}, {x - c, y - c}};
        if (s.Transparent) {
          Pen(s.FGColor);
          p.drawPolyline(sq, 5);
          if (s.Kind == lmCrossBox) {
            Line(x - c, y - c, x + c, y + c);
            Line(x - c, y + c, x + c, y - c);
          }
          break;
        }
        Pen(s.BGColor);
        p.drawPolyline(sq, 5);
        Pen(s.FGColor);
        p.fillRect(QRect(x - c + 2, y - c + 2, 2 * c - 3, 2 * c - 3), Q(s.BGColor));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRect(x - c + 1, y - c + 1, 2 * c - 2, 2 * c - 2));
        if (s.Kind == lmCrossBox) {
          Line(x - c + 1, y + c - 1, x + c, y - c);
          Line(x + c - 1, y + c - 1, x - c, y - c);
        }
        break;
      }
      case lmTriangle: {
        const QPoint t[4] = {Polar(x, y, c, th), Polar(x, y, c, th + 120 * kDeg),
                             Polar(x, y, c, th - 120 * kDeg), Polar(x, y, c, th)};
        Pen(s.FGColor);
        if (s.Transparent) {
          p.drawPolyline(t, 4);
        } else {
          Fill(s.BGColor);
          p.drawPolygon(t, 3);
        }
        break;
      }
      case lmCircle:
        Pen(s.FGColor);
        if (s.Transparent)
          p.setBrush(Qt::NoBrush);
        else
          Fill(s.BGColor);
        p.drawEllipse(QRect(x - c, y - c, 2 * c - 1, 2 * c - 1));
        break;
      case lmArrowFrom:
      case lmArrowTo: {
        const QPoint t = Polar(x, y, s.Length, th);
        const bool from = s.Kind == lmArrowFrom;
        const QPoint h = from ? t : QPoint(x, y);
        const int sg = from ? -1 : 1;
        const QPoint a1(h.x() + sg * Rnd(c * std::sin(th + 20 * kDeg)), h.y() - sg * Rnd(c * std::cos(th + 20 * kDeg)));
        const QPoint a2(h.x() + sg * Rnd(c * std::sin(th - 20 * kDeg)), h.y() - sg * Rnd(c * std::cos(th - 20 * kDeg)));
        Pen(s.FGColor);
        p.drawLine(QPoint(x, y), t);
        if (s.Transparent) {
          p.drawLine(h, a1);
          p.drawLine(h, a2);
        } else {
          Fill(s.BGColor);
          const QPoint head[3] = {h, a1, a2};
          p.drawPolygon(head, 3);
        }
        break;
      }
      case lmSpade: {
        const QPoint r[5] = {{x, y - c}, {x + c, y}, {x, y + c}, {x - c, y}, {x, y - c}};
        Pen(s.FGColor);
        if (s.Transparent) {
          p.drawPolyline(r, 5);
        } else {
          Fill(s.BGColor);
          p.drawPolygon(r, 4);
        }
        break;
      }
      case lmCross: {
        const QLine l[2] = {{x - c, y - c, x + c + 1, y + c + 1}, {x - c, y + c, x + c + 1, y - c - 1}};
        if (!s.Transparent) Halo(l, 2, s.BGColor);
        Pen(s.FGColor);
        p.drawLines(l, 2);
        break;
      }
      default:
        break;
    }
  }

  void Caption(int x, int y, const TLMTextProperties& cap, const QFont& flat, const QFont& turned,
               const QFontMetrics& fm) {
    if (cap.Text.empty()) return;
    const QString text = QString::fromStdString(cap.Text.str());
    const int fw = fm.horizontalAdvance(text), fh = fm.ascent() + fm.descent();
    const int w = fw / 2, h = fh / 2;
    const double phi = cap.Direction * kDeg;
    const int a = cap.HAlignment == taLeftJustify ? 0 : (cap.HAlignment == taRightJustify ? 2 : 1);
    const int b = cap.VAlignment;
    int tx = x + cap.dx + Rnd(-a * w * std::cos(phi) - b * h * std::sin(phi));
    int ty = y + cap.dy + Rnd(a * w * std::sin(phi) - b * h * std::cos(phi));
    if (cap.Direction != 0) {
      p.setFont(turned);
      p.translate(tx, ty);
      p.rotate(-cap.Direction);
      tx = ty = 0;
    }
    if (!cap.Transparent) p.fillRect(QRect(tx, ty, fw, fh), Q(cap.BGColor));
    p.setPen(Q(cap.FGColor));
    p.drawText(QPoint(tx, ty + fm.ascent()), text);
    if (cap.Direction != 0) {
      p.resetTransform();
      p.setFont(flat);
    }
  }
};

struct PainterFrame {
  QImage img{kWidth, kHeight, QImage::Format_RGB32};
  QFont flat{"DejaVu Sans"};
  QFont turned;
  std::optional<QFontMetrics> fm;

  PainterFrame() {
    flat.setPixelSize(11);  // 8 pt at 96 dpi
    flat.setStyleStrategy(QFont::NoAntialias);
    turned = flat;
    turned.setStyleStrategy(QFont::PreferAntialias);
    fm.emplace(flat);
  }
  void operator()() {
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, false);
    p.fillRect(img.rect(), Q(clSilver));
    p.setFont(flat);
    Bare bare{p};
    for (const Placed& l : Landmarks()) {
      bare.Symbol(l.X, l.Y, l.LM.SymbolProps);
      bare.Caption(l.X, l.Y, l.LM.Caption, flat, turned, *fm);
    }
    p.end();
    benchmark::DoNotOptimize(img.constBits());
  }
};

void BM_SymbolsQPainter(benchmark::State& state) {
  PainterFrame frame;
  for (auto _ : state) frame();
  state.SetItemsProcessed(state.iterations() * kCount);
}

// The two side by side, frame for frame, taking the fastest of each so that other load on
// the machine counts as little as possible.
void PrintRatio(int rounds) {
  TBitmap bmp(kWidth, kHeight);
  PainterFrame frame;
  CanvasFrame(bmp);  // warm font caches
  frame();
  double bestCanvas = 1e300, bestPainter = 1e300;
  for (int i = 0; i < rounds; ++i) {
    double t0 = CpuNs();
    CanvasFrame(bmp);
    bestCanvas = std::min(bestCanvas, CpuNs() - t0);
    t0 = CpuNs();
    frame();
    bestPainter = std::min(bestPainter, CpuNs() - t0);
  }
  std::printf("canvas layer / bare QPainter (best CPU time of %d frames each): %.2f "
              "(%.1f ms vs %.1f ms per frame of %d landmarks)\n",
              rounds, bestCanvas / bestPainter, bestCanvas / 1e6, bestPainter / 1e6, kCount);
  // The bare version takes Qt's own line ends, so the pictures differ a little; a large
  // difference would mean the two do not draw the same thing.
  const QImage& a = bmp.Image();
  int64_t differ = 0;
  for (int y = 0; y < kHeight; ++y) {
    const QRgb* ra = reinterpret_cast<const QRgb*>(a.constScanLine(y));
    const QRgb* rb = reinterpret_cast<const QRgb*>(frame.img.constScanLine(y));
    for (int x = 0; x < kWidth; ++x) differ += (ra[x] & 0xFFFFFF) != (rb[x] & 0xFFFFFF);
  }
  std::printf("pixels that differ between the two pictures: %.2f %%\n",
              100.0 * double(differ) / (double(kWidth) * kHeight));
}

BENCHMARK(BM_SymbolsCanvas)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_SymbolsQPainter)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
  // Fonts need a GUI application; no display is needed.
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  PrintRatio(15);
  return 0;
}
