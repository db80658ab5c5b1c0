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

#include "BarePainter.h"
#include "SymbolDrawing.h"
#include "Vek_framework.h"

using namespace vek;
using vek::bench::Bare;
using vek::bench::Q;

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
