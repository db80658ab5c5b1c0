// Showing a large GeoTIFF with overviews (8000 x 6000, tiled, overviews 2 ... 32) through the
// GDAL map image source against GDAL's own RasterIO of the same window into a buffer of the
// same size: opening, opening and the whole image in a 1000-pixel view, opening and a
// full-resolution view, and a pan of 64 pixels per frame with both warm.
#include <benchmark/benchmark.h>
#include <gdal_priv.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "Vek_geogdal.h"

using namespace vek;
namespace fs = std::filesystem;

namespace {

constexpr int kW = 8000, kH = 6000;

const std::string& Raster() {
  static const std::string File = [] {
    GdalInit();
    const fs::path Dir = fs::temp_directory_path() / ("vekgeo_bench_gdal_" + std::to_string(::getpid()));
    fs::create_directories(Dir);
    const std::string F = (Dir / "big.tif").string();
    char** Options = nullptr;
    Options = CSLSetNameValue(Options, "TILED", "YES");
    Options = CSLSetNameValue(Options, "COMPRESS", "DEFLATE");
    GDALDataset* Ds = GetGDALDriverManager()->GetDriverByName("GTiff")->Create(
        F.c_str(), kW, kH, 3, GDT_Byte, Options);
    CSLDestroy(Options);
    std::vector<uint8_t> Row(size_t(kW) * 3);
    for (int y = 0; y < kH; ++y) {
      for (int x = 0; x < kW; ++x) {
        Row[size_t(x) * 3] = uint8_t(x * 255 / kW);
        Row[size_t(x) * 3 + 1] = uint8_t(y * 255 / kH);
        Row[size_t(x) * 3 + 2] = uint8_t(((x / 50 + y / 50) % 2) * 255);
      }
      (void)Ds->RasterIO(GF_Write, 0, y, kW, 1, Row.data(), kW, 1, GDT_Byte, 3, nullptr, 3,
                         0, 1, nullptr);
    }
    int Levels[] = {2, 4, 8, 16, 32};
    (void)Ds->BuildOverviews("AVERAGE", 5, Levels, 0, nullptr, nullptr, nullptr);
    GDALClose(GDALDataset::ToHandle(Ds));
    return F;
  }();
  return File;
}

// GDAL's read of a window into an RGB buffer (averaged, from the overview that fits).
void GdalRead(GDALDataset& Ds, const QRect& Window, int BufW, int BufH, std::vector<uint8_t>& Buf) {
  Buf.resize(size_t(BufW) * BufH * 4);
  GDALRasterIOExtraArg Extra;
  INIT_RASTERIO_EXTRA_ARG(Extra);
  Extra.eResampleAlg = GRIORA_Average;
  int Bands[3] = {3, 2, 1};
  (void)Ds.RasterIO(GF_Read, Window.x(), Window.y(), Window.width(), Window.height(), Buf.data(),
                    BufW, BufH, GDT_Byte, 3, Bands, 4, GSpacing(BufW) * 4, 1, &Extra);
}

GDALDataset* OpenGdal() {
  return GDALDataset::Open(Raster().c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY);
}

// The whole image in a view of 1000 pixels: the source reads its level 3 (1000 x 750).
void BM_WholeView_VekGeo(benchmark::State& State) {
  for (auto _ : State) {
    TGdalImageSource Source(Raster());
    const TImageRegion R = Source.Region(QRect(0, 0, kW, kH), 0.125);
    benchmark::DoNotOptimize(R.Pixels.constBits());
  }
}
BENCHMARK(BM_WholeView_VekGeo)->Unit(benchmark::kMillisecond);

void BM_WholeView_GdalRasterIO(benchmark::State& State) {
  std::vector<uint8_t> Buf;
  for (auto _ : State) {
    GDALDataset* Ds = OpenGdal();
    GdalRead(*Ds, QRect(0, 0, kW, kH), 1000, 750, Buf);
    GDALClose(GDALDataset::ToHandle(Ds));
    benchmark::DoNotOptimize(Buf.data());
  }
}
BENCHMARK(BM_WholeView_GdalRasterIO)->Unit(benchmark::kMillisecond);

// Opening alone: the source reads its reduced picture (the coarsest level, 250 x 188), the
// peer the same picture through RasterIO.
void BM_Open_VekGeo(benchmark::State& State) {
  for (auto _ : State) {
    TGdalImageSource Source(Raster());
    benchmark::DoNotOptimize(&Source);
  }
}
BENCHMARK(BM_Open_VekGeo)->Unit(benchmark::kMillisecond);

void BM_Open_GdalRasterIO(benchmark::State& State) {
  std::vector<uint8_t> Buf;
  for (auto _ : State) {
    GDALDataset* Ds = OpenGdal();
    GdalRead(*Ds, QRect(0, 0, kW, kH), 250, 188, Buf);
    GDALClose(GDALDataset::ToHandle(Ds));
    benchmark::DoNotOptimize(Buf.data());
  }
}
BENCHMARK(BM_Open_GdalRasterIO)->Unit(benchmark::kMillisecond);

// A 1200 x 800 view at full resolution in the middle of the image.
void BM_FullResView_VekGeo(benchmark::State& State) {
  for (auto _ : State) {
    TGdalImageSource Source(Raster());
    const TImageRegion R = Source.Region(QRect(3400, 2600, 1200, 800), 1);
    benchmark::DoNotOptimize(R.Pixels.constBits());
  }
}
BENCHMARK(BM_FullResView_VekGeo)->Unit(benchmark::kMillisecond);

void BM_FullResView_GdalRasterIO(benchmark::State& State) {
  std::vector<uint8_t> Buf;
  for (auto _ : State) {
    GDALDataset* Ds = OpenGdal();
    GdalRead(*Ds, QRect(3400, 2600, 1200, 800), 1200, 800, Buf);
    GDALClose(GDALDataset::ToHandle(Ds));
    benchmark::DoNotOptimize(Buf.data());
  }
}
BENCHMARK(BM_FullResView_GdalRasterIO)->Unit(benchmark::kMillisecond);

// Panning at full resolution, 64 pixels a frame, sources warm.
void BM_Pan_VekGeo(benchmark::State& State) {
  TGdalImageSource Source(Raster());
  int X = 0;
  for (auto _ : State) {
    X = (X + 64) % (kW - 1200);
    const TImageRegion R = Source.Region(QRect(X, 2600, 1200, 800), 1);
    benchmark::DoNotOptimize(R.Pixels.constBits());
  }
}
BENCHMARK(BM_Pan_VekGeo)->Unit(benchmark::kMillisecond);

void BM_Pan_GdalRasterIO(benchmark::State& State) {
  GDALDataset* Ds = OpenGdal();
  std::vector<uint8_t> Buf;
  int X = 0;
  for (auto _ : State) {
    X = (X + 64) % (kW - 1200);
    GdalRead(*Ds, QRect(X, 2600, 1200, 800), 1200, 800, Buf);
    benchmark::DoNotOptimize(Buf.data());
  }
  GDALClose(GDALDataset::ToHandle(Ds));
}
BENCHMARK(BM_Pan_GdalRasterIO)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  Raster();  // made before any timing
  benchmark::RunSpecifiedBenchmarks();
  fs::remove_all(fs::path(Raster()).parent_path());
  return 0;
}
