// Importing 200,000 points from GeoJSON: the GDAL bridge into a TGeoDB against ogr2ogr
// writing the same file into a GeoPackage (the tool, and its library call in process); wall
// time, since the tool runs as a process of its own.
#include <benchmark/benchmark.h>
#include <gdal_utils.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "Vek_geogdal.h"

using namespace vek;
namespace fs = std::filesystem;

namespace {

constexpr int kPoints = 200000;

const fs::path& Root() {
  static const fs::path Root = [] {
    fs::path P = fs::temp_directory_path() / ("vekgeo_bench_import_" + std::to_string(::getpid()));
    fs::create_directories(P);
    return P;
  }();
  return Root;
}

const std::string& Source() {
  static const std::string File = [] {
    const std::string F = (Root() / "points.geojson").string();
    std::ofstream Out(F);
    std::mt19937 Rng(2024);
    std::uniform_real_distribution<double> Lat(-80, 80), Lon(-180, 180);
    Out << "{\"type\": \"FeatureCollection\", \"features\": [\n";
    char B[200];
    for (int i = 0; i < kPoints; ++i) {
      std::snprintf(B, sizeof B,
                    "%s{\"type\": \"Feature\", \"properties\": {\"name\": \"Place %d\"}, "
                    "\"geometry\": {\"type\": \"Point\", \"coordinates\": [%.6f, %.6f]}}\n",
                    i ? "," : "", i, Lon(Rng), Lat(Rng));
      Out << B;
    }
    Out << "]}\n";
    return F;
  }();
  return File;
}

void BM_VekGeoImport(benchmark::State& State) {
  const std::string Src = Source();
  const std::string Base = (Root() / "db").string();
  for (auto _ : State) {
    for (const char* E : {".vekgdd", ".vekgds", ".vekgi0", ".vekgi1", ".vekgi2", ".vekgi3", ".vekgi4"})
      fs::remove(Base + E);
    TGeoDB DB;
    DB.SetDBName(Base + ".vekgdd");
    const TVectorImportCounts C = ImportVectorFile(DB, Src);
    if (C.Items != kPoints) State.SkipWithError("not every point was imported");
  }
  State.SetItemsProcessed(State.iterations() * kPoints);
}

void BM_Ogr2OgrTool(benchmark::State& State) {
  const std::string Src = Source();
  const std::string Out = (Root() / "tool.gpkg").string();
  const std::string Cmd = "ogr2ogr -f GPKG -overwrite '" + Out + "' '" + Src + "'";
  for (auto _ : State)
    if (std::system(Cmd.c_str()) != 0) State.SkipWithError("ogr2ogr failed");
  State.SetItemsProcessed(State.iterations() * kPoints);
}

// The library call behind ogr2ogr, without starting a process.
void BM_GdalVectorTranslate(benchmark::State& State) {
  GdalInit();
  const std::string Src = Source();
  const std::string Out = (Root() / "lib.gpkg").string();
  char* Argv[] = {const_cast<char*>("-f"), const_cast<char*>("GPKG"), nullptr};
  for (auto _ : State) {
    fs::remove(Out);
    GDALDatasetH In = GDALOpenEx(Src.c_str(), GDAL_OF_VECTOR, nullptr, nullptr, nullptr);
    GDALVectorTranslateOptions* O = GDALVectorTranslateOptionsNew(Argv, nullptr);
    GDALDatasetH R = GDALVectorTranslate(Out.c_str(), nullptr, 1, &In, O, nullptr);
    if (!R) State.SkipWithError("GDALVectorTranslate failed");
    GDALClose(R);
    GDALVectorTranslateOptionsFree(O);
    GDALClose(In);
  }
  State.SetItemsProcessed(State.iterations() * kPoints);
}

BENCHMARK(BM_VekGeoImport)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_Ogr2OgrTool)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_GdalVectorTranslate)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  fs::remove_all(Root());
  return 0;
}
