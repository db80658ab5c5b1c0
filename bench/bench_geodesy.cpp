// UTM forward/inverse and Helmert datum shifts: VekGeo against GeographicLib and PROJ on the same
// batch of points, with the throughput ratios printed at the end.
#include <benchmark/benchmark.h>
#include <proj.h>

#include <GeographicLib/UTMUPS.hpp>
#include <algorithm>
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

// One point per call, as an application converting positions one by one would.
void UTMForward_PROJSingle(benchmark::State& state) {
  const TBatch& b = Batch();
  ProjObject pj("+proj=utm +zone=33 +ellps=WGS84");
  std::vector<PJ_COORD> c(BatchSize);
  for (auto _ : state) {
    for (int i = 0; i < BatchSize; ++i) c[i] = proj_trans(pj.get(), PJ_FWD, b.geoRad[i]);
    benchmark::DoNotOptimize(c.data());
  }
  Items(state);
}

// The batch form, zone per point.
void UTMForward_VekGeoBatch(benchmark::State& state) {
  const TBatch& b = Batch();
  std::vector<double> e(BatchSize), n(BatchSize);
  std::vector<int> zone(BatchSize);
  for (auto _ : state) {
    vek::LatLongToUTM(b.lat.data(), b.lon.data(), BatchSize, vek::gelWGS84, zone.data(), e.data(), n.data());
    benchmark::DoNotOptimize(e.data());
    benchmark::DoNotOptimize(n.data());
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

void UTMInverse_PROJSingle(benchmark::State& state) {
  const TBatch& b = Batch();
  ProjObject pj("+proj=utm +zone=33 +ellps=WGS84");
  std::vector<PJ_COORD> c(BatchSize);
  for (auto _ : state) {
    for (int i = 0; i < BatchSize; ++i) c[i] = proj_trans(pj.get(), PJ_INV, b.utm[i]);
    benchmark::DoNotOptimize(c.data());
  }
  Items(state);
}

// Northern and southern points as two batches of one hemisphere each.
void UTMInverse_VekGeoBatch(benchmark::State& state) {
  const TBatch& b = Batch();
  std::vector<double> east[2], north[2];
  for (int i = 0; i < BatchSize; ++i) {
    east[b.lat[i] < 0].push_back(b.east[i]);
    north[b.lat[i] < 0].push_back(b.north[i]);
  }
  std::vector<double> la(BatchSize), lo(BatchSize);
  for (auto _ : state) {
    for (int h = 0; h < 2; ++h)
      vek::UTMToLatLong(east[h].data(), north[h].data(), east[h].size(), 33, h == 1, vek::gelWGS84,
                        la.data(), lo.data());
    benchmark::DoNotOptimize(la.data());
    benchmark::DoNotOptimize(lo.data());
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

BENCHMARK(UTMForward_VekGeo)->Repetitions(5);
BENCHMARK(UTMForward_VekGeoBatch)->Repetitions(5);
BENCHMARK(UTMForward_GeographicLib)->Repetitions(5);
BENCHMARK(UTMForward_PROJSingle)->Repetitions(5);
BENCHMARK(UTMForward_PROJ)->Repetitions(5);
BENCHMARK(UTMInverse_VekGeo)->Repetitions(5);
BENCHMARK(UTMInverse_VekGeoBatch)->Repetitions(5);
BENCHMARK(UTMInverse_GeographicLib)->Repetitions(5);
BENCHMARK(UTMInverse_PROJSingle)->Repetitions(5);
BENCHMARK(UTMInverse_PROJ)->Repetitions(5);
BENCHMARK(Helmert_VekGeo);
BENCHMARK(Helmert_PROJ);

// Console output as usual, keeping each benchmark's best items per second (CPU time) over its
// repetitions for the ratios: on a loaded machine the best run is the least disturbed one.
class TRatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      if (r.run_type == Run::RT_Aggregate) continue;
      auto it = r.counters.find("items_per_second");
      if (it == r.counters.end()) continue;
      double& best = FRate[r.run_name.function_name];
      best = std::max(best, it->second.value);
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void PrintRatios() const {
    std::printf("\nThroughput ratio (VekGeo / peer, higher is faster), best of the repetitions:\n");
    auto line = [&](const std::string& ours, const std::string& theirs, const char* goal) {
      if (!FRate.count(ours) || !FRate.count(theirs) || FRate.at(theirs) <= 0) return;
      std::printf("  %-24s vs %-26s %6.2fx  (%.1f vs %.1f ns per point)%s\n", ours.c_str(), theirs.c_str(),
                  FRate.at(ours) / FRate.at(theirs), 1e9 / FRate.at(ours), 1e9 / FRate.at(theirs), goal);
    };
    for (const char* op : {"UTMForward", "UTMInverse"}) {
      const std::string o = op;
      line(o + "_VekGeo", o + "_PROJSingle", "  goal 4x");
      line(o + "_VekGeoBatch", o + "_PROJ", "  goal 10x (proj_trans_array)");
      line(o + "_VekGeo", o + "_GeographicLib", "");
    }
    line("Helmert_VekGeo", "Helmert_PROJ", "");
  }

 private:
  std::map<std::string, double> FRate;
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
