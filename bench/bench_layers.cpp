// The viewer's world database (about 57,000 coasts, lakes, borders, rivers and capitals)
// drawn as a layer over a world map and over a continent, warm frame after frame, beside the
// frame with the image alone. Prints the ratios and writes pictures of both views.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QStandardPaths>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>

#include "GeoDBLayer.h"
#include "TGeoDB.h"
#include "TGeoMap.h"
#include "WorldData.h"

using namespace vek;

namespace {

constexpr int kW = 1600, kH = 1000, kImgW = 2000, kImgH = 1000;

double CpuNs() {
  timespec ts;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec * 1e9 + ts.tv_nsec;
}

struct World {
  TGeoDB db;
  QWidget host;
  TGeoMap* map = new TGeoMap(&host);
  std::shared_ptr<TGeoDBLayer> layer = std::make_shared<TGeoDBLayer>(&db);
  World() {
    const std::string dir = QDir::temp().filePath("vekgeo_bench_world").toStdString();
    QDir().mkpath(QString::fromStdString(dir));
    viewer::OpenWorldDB(db, viewer::WorldDBName(dir));
    QImage img(kImgW, kImgH, QImage::Format_RGB32);
    for (int y = 0; y < kImgH; ++y)
      for (int x = 0; x < kImgW; ++x) img.setPixel(x, y, qRgb(200 + (x & 31), 220, 235 - (y & 15)));
    TBitmap bmp;
    bmp.SetImage(img);
    map->SetSuppressPaint(true);
    map->resize(kW, kH);
    map->SetFrameStyle(fsNone);
    map->SetMapBitMap(bmp);
    map->SetCalibModel(cmEquiRect);
    map->AddCalibPoint(90, -180, 0, 0);
    map->AddCalibPoint(90, 180, kImgW, 0);
    map->AddCalibPoint(-90, -180, 0, kImgH);
    map->SetSuppressPaint(false);
  }
  // The whole world reduced into the control, or Europe at four times that.
  void View(bool continent, bool withLayer) {
    map->SetSuppressPaint(true);
    map->SetLayers(withLayer ? TGeoMap::TLayerList{layer} : TGeoMap::TLayerList{});
    if (continent) {
      map->SetMagnification(3.2);
      map->SetTopLeft(TPoint{950, 140});
    } else {
      map->SetMagnification(0.8);
      map->SetTopLeft(TPoint{0, 0});
    }
    map->SetSuppressPaint(false);
  }
};

World& TheWorld() {
  static World w;
  return w;
}

void BM_WorldLayer(benchmark::State& state) {
  World& w = TheWorld();
  w.View(state.range(0) == 1, state.range(1) == 1);
  for (auto _ : state) w.map->Paint();
  state.counters["items"] = w.layer->LastFrame().Drawn;
}

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
  World& w = TheWorld();
  std::printf("\nWorld database layer / image only, best CPU time of 10 warm frames each:\n");
  for (bool continent : {false, true}) {
    w.View(continent, true);
    w.map->CompositionBitmap()->Image().copy(0, 0, kW, kH).save(
        continent ? "world_layer_europe.png" : "world_layer_world.png");
    const auto& s = w.layer->LastFrame();
    std::printf("%s: %d items found, %d drawn, %d skipped, %lld vertices\n",
                continent ? "Europe" : "world", s.Found, s.Drawn, s.Skipped,
                static_cast<long long>(s.Vertices));
    Ratio(continent ? "Europe, layer / image only" : "world, layer / image only", 10,
          [&] {
            w.map->SetSuppressPaint(true);
            w.map->SetLayers({w.layer});
            w.map->SetSuppressPaint(false);
          },
          [&] {
            w.map->SetSuppressPaint(true);
            w.map->SetLayers({});
            w.map->SetSuppressPaint(false);
          });
  }
  // Frames under the mouse: Europe dragged by a few pixels each frame, so that only what is
  // kept per magnification is reused. (The world view fits the control: it does not pan.)
  auto panFrames = [&](bool withLayer) {
    w.View(true, withLayer);
    int frame = 0;
    double best = 1e300;
    for (int i = 0; i < 11; ++i) {
      const double t0 = CpuNs();
      w.map->SetTopLeft((++frame & 1) ? TPoint{962, 148} : TPoint{950, 140});
      if (i > 0) best = std::min(best, CpuNs() - t0);
    }
    return best;
  };
  const double panLayer = panFrames(true), panImage = panFrames(false);
  std::printf("%-48s %6.2f  (%.1f ms vs %.1f ms)\n", "Europe drag-pan frame, layer / image only",
              panLayer / panImage, panLayer / 1e6, panImage / 1e6);
}

BENCHMARK(BM_WorldLayer)->Args({0, 0})->Args({0, 1})->Args({1, 0})->Args({1, 1})->Unit(benchmark::kMillisecond);

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
