// A full repaint of a 1600 x 1000 map control over a 3,000,000-pixel JPEG with a graticule
// and 20,000 landmarks with captions, at magnification 1.0, 0.5 (served from the scaled
// cache) and 1.37 (resampled directly), each beside a bare-Qt frame that draws the same
// picture with one QPainter into a QImage. Then 200,000 landmarks in view, sampled to about
// 20,000, against the 20,000-landmark frame. Prints the ratios at the end.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QWidget>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <random>
#include <vector>

#include "BarePainter.h"
#include "MapRenderer.h"
#include "MathUtils.h"
#include "Vek_geomap.h"

using namespace vek;
using vek::bench::Bare;
using vek::bench::Q;

namespace {

constexpr int kW = 1600, kH = 1000, kImgW = 2000, kImgH = 1500;
constexpr double kLatLo = 40, kLatHi = 50, kLonLo = 0, kLonHi = 20;

double CpuNs() {
  timespec ts;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec * 1e9 + ts.tv_nsec;
}

std::string MapImageFile() {
  static const std::string path = [] {
    QImage img(kImgW, kImgH, QImage::Format_RGB32);
    std::mt19937 rng(3);
    for (int y = 0; y < kImgH; ++y)
      for (int x = 0; x < kImgW; ++x)
        img.setPixel(x, y, qRgb((x * 7 + y) & 255, (y * 3) & 255, ((x ^ y) & 255) ^ (rng() & 15)));
    const QString p = QDir::temp().filePath("vekgeo_bench_paint.jpg");
    img.save(p, "JPEG", 90);
    return p.toStdString();
  }();
  return path;
}

// Landmarks within the part of the image every tested view shows.
std::vector<TLandMark> MakeLandmarks(int n) {
  std::mt19937 rng(4711);
  std::uniform_real_distribution<double> lat(kLatHi - 4.8, kLatHi - 0.05),
      lon(kLonLo + 0.05, kLonLo + 11.5);
  std::uniform_int_distribution<int> kind(0, 8), size(3, 8), pct(0, 99);
  std::vector<TLandMark> v(n);
  for (int i = 0; i < n; ++i) {
    TLandMark& lm = v[i];
    lm.Latitude = lat(rng);
    lm.Longitude = lon(rng);
    lm.SymbolProps = TSymbolProperties{TLandMarkElement(kind(rng)), size(rng), 0x000080,
                                       0x00FFFF, pct(rng) < 30, 0, 20};
    lm.Caption.Text = "LM " + std::to_string(i);
    lm.Caption.Size = 8;
    lm.Caption.FontName = "DejaVu Sans";
    lm.Caption.FGColor = clBlack;
    lm.Caption.BGColor = clYellow;
    lm.Caption.Transparent = pct(rng) < 50;
    lm.Caption.dx = 6;
    lm.Caption.dy = -4;
  }
  return v;
}

struct Scene {
  QWidget host;
  TGeoMap* map = new TGeoMap(&host);
  explicit Scene(int landmarks) {
    map->SetSuppressPaint(true);
    map->resize(kW, kH);
    map->SetMapImgName(MapImageFile());
    map->SetCalibModel(cmEquiRect);
    map->AddCalibPoint(kLatHi, kLonLo, 0, 0);
    map->AddCalibPoint(kLatHi, kLonHi, kImgW, 0);
    map->AddCalibPoint(kLatLo, kLonLo, 0, kImgH);
    map->SetShowGraticule(sgLines);
    map->SetFrameStyle(fsNone);
    for (const TLandMark& lm : MakeLandmarks(landmarks)) {
      map->AddLandMark(lm.Latitude, lm.Longitude, 0);
      map->SetLandMarkData(map->NumLandMarks(), lm);
    }
    map->SetSuppressPaint(false);
  }
  void View(double mag) {
    map->SetSuppressPaint(true);
    map->SetMagnification(mag);
    map->SetTopLeft(TPoint{0, 0});
    map->SetSuppressPaint(false);
  }
};

// The same picture with Qt alone: the image region scaled with the same smoothing (from a
// scaled copy below 2/3, as an application caching its reduced view would), the graticule
// polylines, symbols and captions at positions computed beforehand.
struct Baseline {
  QImage img{kW, kH, QImage::Format_RGB32};
  QImage source, reduced;
  double mag = 1;
  std::vector<TPolyline> lines;
  std::vector<std::pair<QPoint, TLandMark>> placed;
  QFont flat{"DejaVu Sans"};
  std::optional<QFontMetrics> fm;

  TPoint topLeft{0, 0};
  Baseline(const Scene& s, double m, TPoint tl = TPoint{0, 0}) : mag(m), topLeft(tl) {
    source.load(QString::fromStdString(MapImageFile()));
    source = source.convertToFormat(QImage::Format_RGB32);
    if (m < 2.0 / 3.0)
      reduced = source.scaled(int(std::lround(kImgW * m)), int(std::lround(kImgH * m)),
                              Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    TMapViewport view;
    view.TopLeft = tl;
    view.Magnify = m;
    view.Width = kW;
    view.Height = kH;
    lines = GraticuleLines(s.map->Calibration(), view, 0);
    for (int i = 1; i <= s.map->NumLandMarks(); ++i) {
      const TLandMark lm = s.map->GetLandMarkData(i);
      int x, y;
      s.map->CalcPixelCoords(lm.Latitude, lm.Longitude, x, y);
      const TPoint p = view.ImageToControl(TPoint{x, y});
      placed.emplace_back(QPoint(p.X, p.Y), lm);
    }
    flat.setPixelSize(11);
    flat.setStyleStrategy(QFont::NoAntialias);
    fm.emplace(flat);
  }
  void operator()() {
    QPainter p(&img);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    if (!reduced.isNull()) {
      p.drawImage(0, 0, reduced, int(std::lround(topLeft.X * mag)), int(std::lround(topLeft.Y * mag)),
                  kW, kH);
    } else {
      p.setRenderHint(QPainter::SmoothPixmapTransform, true);
      p.drawImage(QRectF(0, 0, kW, kH), source, QRectF(topLeft.X, topLeft.Y, kW / mag, kH / mag));
    }
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.setPen(QPen(Q(0xFF0000), 0));
    std::vector<QPoint> pts;
    for (const TPolyline& l : lines) {
      pts.clear();
      for (const TPoint& t : l) pts.emplace_back(t.X, t.Y);
      p.drawPolyline(pts.data(), int(pts.size()));
    }
    p.setFont(flat);
    Bare bare{p};
    for (const auto& [pt, lm] : placed) {
      if (pt.x() <= 0 || pt.y() <= 0 || pt.x() >= kW || pt.y() >= kH) continue;
      bare.Symbol(pt.x(), pt.y(), lm.SymbolProps);
      bare.Caption(pt.x(), pt.y(), lm.Caption, flat, flat, *fm);
    }
    p.end();
    benchmark::DoNotOptimize(img.constBits());
  }
};

// The loop an application writes with Qt alone: the image region, then per landmark a circle
// and its caption laid out by drawText, every frame.
struct PlainLoop {
  QImage img{kW, kH, QImage::Format_RGB32};
  QImage source;
  std::vector<std::pair<QPoint, QString>> placed;
  QFont font{"DejaVu Sans"};
  PlainLoop(const Scene& s) {
    source.load(QString::fromStdString(MapImageFile()));
    source = source.convertToFormat(QImage::Format_RGB32);
    TMapViewport view;
    view.Magnify = 1;
    view.Width = kW;
    view.Height = kH;
    for (int i = 1; i <= s.map->NumLandMarks(); ++i) {
      const TLandMark lm = s.map->GetLandMarkData(i);
      int x, y;
      s.map->CalcPixelCoords(lm.Latitude, lm.Longitude, x, y);
      const TPoint p = view.ImageToControl(TPoint{x, y});
      placed.emplace_back(QPoint(p.X, p.Y), QString::fromStdString(lm.Caption.Text.str()));
    }
    font.setPixelSize(11);
  }
  void operator()() {
    QPainter p(&img);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(0, 0, source, 0, 0, kW, kH);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.setFont(font);
    p.setPen(Qt::black);
    p.setBrush(Qt::yellow);
    for (const auto& [pt, text] : placed) {
      p.drawEllipse(pt, 5, 5);
      p.drawText(pt + QPoint(6, -4), text);
    }
    p.end();
    benchmark::DoNotOptimize(img.constBits());
  }
};

Scene& Scene20k() {
  static Scene s(20000);
  return s;
}

void BM_MapPaint(benchmark::State& state) {
  Scene& s = Scene20k();
  s.View(state.range(0) / 100.0);
  for (auto _ : state) s.map->Paint();
}

void BM_MapPaintDecluttered(benchmark::State& state) {
  Scene& s = Scene20k();
  s.View(1.0);
  s.map->SetLMCaptionDeclutter(true);
  for (auto _ : state) s.map->Paint();
  s.map->SetLMCaptionDeclutter(false);
}

void BM_BareQt(benchmark::State& state) {
  Baseline b(Scene20k(), state.range(0) / 100.0);
  for (auto _ : state) b();
}

// Best CPU time of `rounds` frames of each, frame for frame.
template <class A, class B>
void Ratio(const char* what, int rounds, A&& a, B&& b) {
  a();
  b();
  double ba = 1e300, bb = 1e300;
  for (int i = 0; i < rounds; ++i) {
    double t0 = CpuNs();
    a();
    ba = std::min(ba, CpuNs() - t0);
    t0 = CpuNs();
    b();
    bb = std::min(bb, CpuNs() - t0);
  }
  std::printf("%-48s %6.2f  (%.1f ms vs %.1f ms)\n", what, ba / bb, ba / 1e6, bb / 1e6);
}

void PrintRatios() {
  Scene& s = Scene20k();
  std::printf("\nTGeoMap::Paint / bare Qt, best CPU time of 10 frames each:\n");
  for (double mag : {1.0, 0.5, 1.37}) {
    Baseline b(s, mag);
    s.View(mag);
    char what[80];
    std::snprintf(what, sizeof what, "magnification %.2f, 20,000 landmarks", mag);
    Ratio(what, 10, [&] { s.map->Paint(); }, b);
  }
  // Interactive frames: a drag pan at a cached magnification, a drag zoom at magnifications
  // the cache does not serve. Each frame differs from the one before, as under the mouse.
  {
    const double mag = 0.5;
    Baseline b0(s, mag, TPoint{0, 0}), b1(s, mag, TPoint{12, 8});
    int frame = 0, bframe = 0;
    s.View(mag);
    Ratio("drag-pan frame, magnification 0.50 (cache)", 10,
          [&] { s.map->SetTopLeft((++frame & 1) ? TPoint{12, 8} : TPoint{0, 0}); },
          [&] { (++bframe & 1) ? b1() : b0(); });
  }
  {
    Baseline b0(s, 0.83), b1(s, 0.85);
    int frame = 0, bframe = 0;
    s.View(1.0);
    Ratio("drag-zoom frame, magnification 0.83/0.85", 10,
          [&] { s.map->SetMagnification((++frame & 1) ? 0.85 : 0.83); },
          [&] { (++bframe & 1) ? b1() : b0(); });
  }
  {
    PlainLoop plain(s);
    s.View(1.0);
    Ratio("20,000 landmarks / plain QPainter loop", 10, [&] { s.map->Paint(); }, plain);
    s.map->SetLMCaptionDeclutter(true);
    Ratio("20,000 landmarks decluttered / plain loop", 10, [&] { s.map->Paint(); }, plain);
    s.map->SetLMCaptionDeclutter(false);
    Ratio("decluttered / not decluttered", 10,
          [&] {
            s.map->SetSuppressPaint(true);
            s.map->SetLMCaptionDeclutter(true);
            s.map->SetSuppressPaint(false);
          },
          [&] {
            s.map->SetSuppressPaint(true);
            s.map->SetLMCaptionDeclutter(false);
            s.map->SetSuppressPaint(false);
          });
    s.map->SetLMCaptionDeclutter(true);
    s.map->CompositionBitmap()->Image().save("landmarks_20000_decluttered.png");
    s.map->SetLMCaptionDeclutter(false);
    s.map->CompositionBitmap()->Image().save("landmarks_20000.png");
  }
  Scene big(200000);
  big.View(1.0);
  s.View(1.0);
  BRandomSeed(1);
  Ratio("200,000 landmarks (sampled) / 20,000 landmarks", 10, [&] { big.map->Paint(); },
        [&] { s.map->Paint(); });
}

BENCHMARK(BM_MapPaint)->Arg(100)->Arg(50)->Arg(137)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MapPaintDecluttered)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareQt)->Arg(100)->Arg(50)->Arg(137)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  PrintRatios();
  return 0;
}
