// UTM forward/inverse and Helmert datum shifts: VekGeo against GeographicLib and PROJ on the same
// batch of points, with the throughput ratios printed at the end.
#include <benchmark/benchmark.h>
#include <proj.h>

#include <GeographicLib/UTMUPS.hpp>
#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "DatumTable.h"
#include "Vek_geobasics.h"

namespace {

constexpr int BatchSize = 10000;
constexpr double Deg = M_PI / 180.0;
// A datum pair that exercises scale and rotation on both sides.
constexpr int SourceDatum = 13;
constexpr int TargetDatum = 23;

struct TBatch {
  std::vector<double> lat, lon, h;      // degrees, metres
  std::vector<double> east, north;      // zone 33
  std::vector<PJ_COORD> geoRad;         // PROJ input (lon, lat in radians, h)
  std::vector<PJ_COORD> utm;            // PROJ inverse input
};

// Points spread over zone 33 (12° to 18° E) from 80° S to 84° N.
const TBatch& Batch() {
  static const TBatch b = [] {
    TBatch r;
    std::mt19937_64 rng(42);
    std::uniform_real_distribution<double> lat(-80, 84), lon(12, 18), h(-100, 3000);
    for (int i = 0; i < BatchSize; ++i) {
      const double la = lat(rng), lo = lon(rng), hh = h(rng);
      int zone;
      double e, n;
      vek::LatLongToUTM(la, lo, vek::gelWGS84, zone, e, n);
      r.lat.push_back(la);
      r.lon.push_back(lo);
      r.h.push_back(hh);
      r.east.push_back(e);
      r.north.push_back(n);
      r.geoRad.push_back(proj_coord(lo * Deg, la * Deg, hh, 0));
      r.utm.push_back(proj_coord(e, la < 0 ? n - 10000000.0 : n, 0, 0));
    }
    return r;
  }();
  return b;
}

class ProjObject {
 public:
  explicit ProjObject(const std::string& def)
      : FCtx(proj_context_create()), FPj(proj_create(FCtx, def.c_str())) {}
  ~ProjObject() {
    if (FPj) proj_destroy(FPj);
    proj_context_destroy(FCtx);
  }
  PJ* get() const { return FPj; }

 private:
  PJ_CONTEXT* FCtx;
  PJ* FPj;
};

std::string HelmertStep(const vek::TDatumEntry& d) {
  char buf[256];
  std::snprintf(buf, sizeof buf,
                " +proj=helmert +convention=position_vector +x=%.17g +y=%.17g +z=%.17g +s=%.17g "
                "+rx=%.17g +ry=%.17g +rz=%.17g",
                d.dX, d.dY, d.dZ, d.Scale, d.rX, d.rY, d.rZ);
  return buf;
}

std::string Axes(vek::TGeoEllipsoid e) {
  char buf[96];
  std::snprintf(buf, sizeof buf, " +a=%.17g +b=%.17g", vek::GeoEllipsoidData[e].a,
                vek::GeoEllipsoidData[e].b);
  return buf;
}

void Items(benchmark::State& state) { state.SetItemsProcessed(state.iterations() * BatchSize); }

// ---- UTM forward ----

void UTMForward_VekGeo(benchmark::State& state) {
  const TBatch& b = Batch();
  std::vector<double> e(BatchSize), n(BatchSize);
  for (auto _ : state) {
    for (int i = 0; i < BatchSize; ++i) {
      int zone;
      vek::LatLongToUTM(b.lat[i], b.lon[i], vek::gelWGS84, zone, e[i], n[i]);
    }
    benchmark::DoNotOptimize(e.data());
    benchmark::DoNotOptimize(n.data());
  }
  Items(state);
}

void UTMForward_GeographicLib(benchmark::State& state) {
  const TBatch& b = Batch();
  std::vector<double> e(BatchSize), n(BatchSize);
  for (auto _ : state) {
    for (int i = 0; i < BatchSize; ++i) {
      int zone;
      bool north;
      GeographicLib::UTMUPS::Forward(b.lat[i], b.lon[i], zone, north, e[i], n[i], 33);
    }
    benchmark::DoNotOptimize(e.data());
  }
  Items(state);
}

void UTMForward_PROJ(benchmark::State& state) {
  const TBatch& b = Batch();
  ProjObject pj("+proj=utm +zone=33 +ellps=WGS84");
  std::vector<PJ_COORD> c(BatchSize);
  for (auto _ : state) {
    c = b.geoRad;  // proj_trans_array works in place
    proj_trans_array(pj.get(), PJ_FWD, c.size(), c.data());
    benchmark::DoNotOptimize(c.data());
  }
  Items(state);
}

// ---- UTM inverse ----

void UTMInverse_VekGeo(benchmark::State& state) {
  const TBatch& b = Batch();
  std::vector<double> la(BatchSize), lo(BatchSize);
  for (auto _ : state) {
    for (int i = 0; i < BatchSize; ++i)
      vek::UTMToLatLong(b.east[i], b.north[i], 33, b.lat[i] < 0, vek::gelWGS84, la[i], lo[i]);
    benchmark::DoNotOptimize(la.data());
    benchmark::DoNotOptimize(lo.data());
  }
  Items(state);
}

void UTMInverse_GeographicLib(benchmark::State& state) {
  const TBatch& b = Batch();
  std::vector<double> la(BatchSize), lo(BatchSize);
  for (auto _ : state) {
    for (int i = 0; i < BatchSize; ++i)
      GeographicLib::UTMUPS::Reverse(33, b.lat[i] >= 0, b.east[i], b.north[i], la[i], lo[i]);
    benchmark::DoNotOptimize(la.data());
  }
  Items(state);
}

void UTMInverse_PROJ(benchmark::State& state) {
  const TBatch& b = Batch();
  ProjObject pj("+proj=utm +zone=33 +ellps=WGS84");
  std::vector<PJ_COORD> c(BatchSize);
  for (auto _ : state) {
    c = b.utm;
    proj_trans_array(pj.get(), PJ_INV, c.size(), c.data());
    benchmark::DoNotOptimize(c.data());
  }
  Items(state);
}

// ---- Helmert datum shift (geodetic in, geodetic out) ----

void Helmert_VekGeo(benchmark::State& state) {
  const TBatch& b = Batch();
  std::vector<double> la(BatchSize), lo(BatchSize), h(BatchSize);
  for (auto _ : state) {
    for (int i = 0; i < BatchSize; ++i)
      vek::HelmertTransform(SourceDatum, b.lat[i], b.lon[i], b.h[i], TargetDatum, la[i], lo[i],
                            h[i]);
    benchmark::DoNotOptimize(la.data());
  }
  Items(state);
}

void Helmert_PROJ(benchmark::State& state) {
  const TBatch& b = Batch();
  const vek::TDatumEntry& s = vek::DatumEntry(SourceDatum);
  const vek::TDatumEntry& t = vek::DatumEntry(TargetDatum);
  ProjObject pj("+proj=pipeline +step +proj=cart" + Axes(s.Ellipsoid) + " +step" +
                HelmertStep(s) + " +step +inv" + HelmertStep(t) + " +step +inv +proj=cart" +
                Axes(t.Ellipsoid));
  if (!pj.get()) {
    state.SkipWithError("PROJ rejected the pipeline");
    return;
  }
  std::vector<PJ_COORD> c(BatchSize);
  for (auto _ : state) {
    c = b.geoRad;
    proj_trans_array(pj.get(), PJ_FWD, c.size(), c.data());
    benchmark::DoNotOptimize(c.data());
  }
  Items(state);
}

BENCHMARK(UTMForward_VekGeo);
BENCHMARK(UTMForward_GeographicLib);
BENCHMARK(UTMForward_PROJ);
BENCHMARK(UTMInverse_VekGeo);
BENCHMARK(UTMInverse_GeographicLib);
BENCHMARK(UTMInverse_PROJ);
BENCHMARK(Helmert_VekGeo);
BENCHMARK(Helmert_PROJ);

// Console output as usual, keeping each benchmark's items per second for the ratios: the median
// when repetitions are asked for (--benchmark_repetitions=N), else the single run.
class TRatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      auto it = r.counters.find("items_per_second");
      if (it == r.counters.end()) continue;
      const std::string& name = r.run_name.function_name;
      if (r.run_type == Run::RT_Aggregate ? r.aggregate_name == "median" : !FMedian.count(name)) {
        FRate[name] = it->second.value;
        if (r.run_type == Run::RT_Aggregate) FMedian.insert(name);
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void PrintRatios() const {
    std::printf("\nThroughput ratio (VekGeo / peer, higher is faster):\n");
    for (const char* op : {"UTMForward", "UTMInverse", "Helmert"}) {
      const std::string ours = std::string(op) + "_VekGeo";
      if (!FRate.count(ours)) continue;
      for (const char* peer : {"GeographicLib", "PROJ"}) {
        const std::string theirs = std::string(op) + "_" + peer;
        if (FRate.count(theirs) && FRate.at(theirs) > 0)
          std::printf("  %-11s vs %-13s %6.2fx  (%.3g vs %.3g points/s)\n", op, peer,
                      FRate.at(ours) / FRate.at(theirs), FRate.at(ours), FRate.at(theirs));
      }
    }
  }

 private:
  std::map<std::string, double> FRate;
  std::set<std::string> FMedian;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  std::printf("Helmert pair: %d %s -> %d %s\n", SourceDatum,
              vek::DatumEntry(SourceDatum).Name.str().c_str(), TargetDatum,
              vek::DatumEntry(TargetDatum).Name.str().c_str());
  TRatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
