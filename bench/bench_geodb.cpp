// TGeoDB benchmarks: bulk loading with lazy writing (against the plain-array insertion that
// moves half the index per item), identifier and closest-position lookups, and area queries
// against SQLite's R*Tree on the same points.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "Vek_geodb.h"

using namespace vek;
namespace fs = std::filesystem;

namespace {

const fs::path& TempRoot() {
  static const fs::path root = [] {
    fs::path p = fs::temp_directory_path() / ("vekgeo_bench_geodb_" + std::to_string(::getpid()));
    fs::create_directories(p);
    return p;
  }();
  return root;
}

void RemoveDB(const std::string& base) {
  for (const char* ext : {".vekgdd", ".vekgds", ".vekgi0", ".vekgi1", ".vekgi2", ".vekgi3", ".vekgi4"})
    fs::remove(base + ext);
}

struct Towns {
  std::vector<TSCoords> Pos;
  std::vector<TgdbName> Names;
};

const Towns& RandomTowns(size_t n) {
  static std::map<size_t, Towns> cache;
  auto it = cache.find(n);
  if (it != cache.end()) return it->second;
  Towns t;
  std::mt19937 rng(12345);
  std::uniform_real_distribution<float> lat(-90, 90), lon(-180, 180);
  t.Pos.resize(n);
  t.Names.resize(n);
  for (size_t i = 0; i < n; ++i) {
    t.Pos[i] = {lat(rng), lon(rng)};
    t.Names[i] = TgdbName("Town " + std::to_string(i));
  }
  return cache.emplace(n, std::move(t)).first->second;
}

std::map<std::string, double> gSeconds;  // wall times of the one-shot runs

// ---- bulk loading ----

void LoadTowns(benchmark::State& state) {
  const size_t n = static_cast<size_t>(state.range(0));
  const Towns& towns = RandomTowns(n);
  const std::string base = (TempRoot() / ("load" + std::to_string(n))).string();
  for (auto _ : state) {
    RemoveDB(base);
    const auto t0 = std::chrono::steady_clock::now();
    TGeoDB db;
    db.SetDBName(base);
    db.SetLazyWrite(true);
    for (size_t i = 0; i < n; ++i) db.AddTown(towns.Names[i], 45000.0, 0, towns.Pos[i], 0, 1, 0);
    db.SetLazyWrite(false);  // writes the five index files
    db.SetDBName("");
    gSeconds["load" + std::to_string(n)] =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  }
  state.counters["towns/s"] = benchmark::Counter(static_cast<double>(n), benchmark::Counter::kIsRate);
}

// The same additions done as the plain-array rules state them: files opened and closed per
// item, records inserted by moving every record above the position up by one.
void LoadTownsPlainArrays(benchmark::State& state) {
  const size_t n = static_cast<size_t>(state.range(0));
  const Towns& towns = RandomTowns(n);
  const std::string base = (TempRoot() / ("plain" + std::to_string(n))).string();
  for (auto _ : state) {
    RemoveDB(base);
    const auto t0 = std::chrono::steady_clock::now();
    TgdbSystemData sys;
    uint8_t sysRec[kSystemRecSize];
    uint8_t rec[kItemRecSize];
    { std::ofstream(base + ".vekgds", std::ios::binary); }
    {
      std::ofstream f(base + ".vekgdd", std::ios::binary);
      EncodeSystemData(sys, sysRec);
      f.write(reinterpret_cast<char*>(sysRec), kSystemRecSize);
    }
    TIxItemIDRecArray ix0;
    TIxLLRecArray ix[5];
    for (size_t i = 0; i < n; ++i) {
      ++sys.HighestID;
      EncodeSystemData(sys, sysRec);
      {
        std::fstream f(base + ".vekgdd", std::ios::in | std::ios::out | std::ios::binary);
        f.write(reinterpret_cast<char*>(sysRec), kSystemRecSize);
      }
      TgdbData d{};
      ClearGdbData(d);
      d.ItemId = sys.HighestID;
      d.Name = MakeGdbName(towns.Names[i]);
      d.ItemKind = gitTown;
      d.Date = 45000.0;
      d.LatLow = d.LatHigh = towns.Pos[i].Latit;
      d.LongLow = d.LongHigh = towns.Pos[i].Longit;
      EncodeGdbData(d, rec);
      {
        std::fstream f(base + ".vekgds", std::ios::in | std::ios::out | std::ios::binary | std::ios::ate);
        f.write(reinterpret_cast<char*>(rec), kItemRecSize);
      }
      const int32_t e = static_cast<int32_t>(i);
      ix0.emplace_back();
      TGeoDB::SortIxItemIDInto(ix0, {d.ItemId, e});
      const float keys[5] = {0, d.LatLow, d.LatHigh, d.LongLow, d.LongHigh};
      for (int k = 1; k <= 4; ++k) {
        ix[k].emplace_back();
        TGeoDB::SortIxInto(ix[k], {keys[k], e});
      }
      benchmark::DoNotOptimize(ix[1].data());
    }
    gSeconds["plain" + std::to_string(n)] =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    RemoveDB(base);
  }
  state.counters["towns/s"] = benchmark::Counter(static_cast<double>(n), benchmark::Counter::kIsRate);
}

// ---- lookups on a database of 1,000,000 towns ----

TGeoDB& BigDB() {
  static TGeoDB* db = [] {
    const size_t n = 1000000;
    const std::string base = (TempRoot() / ("load" + std::to_string(n))).string();
    if (!fs::exists(base + ".vekgds") || fs::file_size(base + ".vekgds") != n * kItemRecSize) {
      const Towns& towns = RandomTowns(n);
      RemoveDB(base);
      TGeoDB w;
      w.SetDBName(base);
      w.SetLazyWrite(true);
      for (size_t i = 0; i < n; ++i) w.AddTown(towns.Names[i], 45000.0, 0, towns.Pos[i], 0, 1, 0);
    }
    auto* d = new TGeoDB;
    d->SetDBName(base);
    return d;
  }();
  return *db;
}

void SearchItemID(benchmark::State& state) {
  TGeoDB& db = BigDB();
  std::mt19937 rng(1);
  const int n = db.NumEntries();
  int64_t found = 0;
  for (auto _ : state) found += db.SearchForItemID(1 + static_cast<int32_t>(rng() % static_cast<unsigned>(n)));
  benchmark::DoNotOptimize(found);
}

void ClosestPositions(benchmark::State& state) {
  TGeoDB& db = BigDB();
  std::mt19937 rng(2);
  std::uniform_real_distribution<double> lat(-90, 90), lon(-180, 180);
  int64_t sum = 0;
  for (auto _ : state) {
    sum += db.GetClosestLatLowIx(lat(rng)) + db.GetClosestLatHighIx(lat(rng)) +
           db.GetClosestLongLowIx(lon(rng)) + db.GetClosestLongHighIx(lon(rng));
  }
  benchmark::DoNotOptimize(sum);
  state.SetItemsProcessed(state.iterations() * 4);
}

// Boxes of 1.8 x 3.6 degrees: a ten-thousandth of the globe's rectangle, about 100 towns.
struct Query {
  double LatLo, LatHi, LonLo, LonHi;
};
std::vector<Query> Queries() {
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> lat(-89, 89), lon(-178, 178);
  std::vector<Query> q(4096);
  for (auto& x : q) {
    const double a = lat(rng), b = lon(rng);
    x = {a - 0.9, a + 0.9, b - 1.8, b + 1.8};
  }
  return q;
}

struct Totals {
  double Seconds = 0;
  int64_t Queries = 0;
  int64_t Hits = 0;
};
Totals gArea, gRTree;

void AreaQuery(benchmark::State& state) {
  TGeoDB& db = BigDB();
  const auto qs = Queries();
  size_t k = 0;
  int64_t hits = 0;
  const auto t0 = std::chrono::steady_clock::now();
  for (auto _ : state) {
    const Query& q = qs[k++ % qs.size()];
    hits += static_cast<int64_t>(db.FindItemsInArea(q.LatLo, q.LatHi, q.LonLo, q.LonHi).size());
  }
  gArea.Seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  gArea.Queries += static_cast<int64_t>(state.iterations());
  gArea.Hits += hits;
  state.counters["hits/query"] = static_cast<double>(hits) / static_cast<double>(state.iterations());
}

sqlite3* RTreeDB() {
  static sqlite3* db = [] {
    sqlite3* h = nullptr;
    const std::string name = (TempRoot() / "rtree.sqlite").string();
    sqlite3_open(name.c_str(), &h);
    sqlite3_exec(h, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA cache_size=-262144;", nullptr, nullptr, nullptr);
    sqlite3_exec(h, "CREATE VIRTUAL TABLE towns USING rtree(id, latlo, lathi, lonlo, lonhi);", nullptr, nullptr, nullptr);
    const Towns& towns = RandomTowns(1000000);
    sqlite3_exec(h, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* ins = nullptr;
    sqlite3_prepare_v2(h, "INSERT INTO towns VALUES(?1, ?2, ?2, ?3, ?3)", -1, &ins, nullptr);
    for (size_t i = 0; i < towns.Pos.size(); ++i) {
      sqlite3_bind_int64(ins, 1, static_cast<sqlite3_int64>(i + 1));
      sqlite3_bind_double(ins, 2, towns.Pos[i].Latit);
      sqlite3_bind_double(ins, 3, towns.Pos[i].Longit);
      sqlite3_step(ins);
      sqlite3_reset(ins);
    }
    sqlite3_finalize(ins);
    sqlite3_exec(h, "COMMIT", nullptr, nullptr, nullptr);
    return h;
  }();
  return db;
}

void AreaQueryRTree(benchmark::State& state) {
  sqlite3* h = RTreeDB();
  sqlite3_stmt* q = nullptr;
  sqlite3_prepare_v2(h, "SELECT id FROM towns WHERE latlo <= ?2 AND lathi >= ?1 AND lonlo <= ?4 AND lonhi >= ?3",
                     -1, &q, nullptr);
  const auto qs = Queries();
  size_t k = 0;
  int64_t hits = 0;
  std::vector<int32_t> ids;
  const auto t0 = std::chrono::steady_clock::now();
  for (auto _ : state) {
    const Query& x = qs[k++ % qs.size()];
    sqlite3_bind_double(q, 1, x.LatLo);
    sqlite3_bind_double(q, 2, x.LatHi);
    sqlite3_bind_double(q, 3, x.LonLo);
    sqlite3_bind_double(q, 4, x.LonHi);
    ids.clear();
    while (sqlite3_step(q) == SQLITE_ROW) ids.push_back(sqlite3_column_int(q, 0));
    sqlite3_reset(q);
    hits += static_cast<int64_t>(ids.size());
  }
  gRTree.Seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  gRTree.Queries += static_cast<int64_t>(state.iterations());
  gRTree.Hits += hits;
  sqlite3_finalize(q);
  state.counters["hits/query"] = static_cast<double>(hits) / static_cast<double>(state.iterations());
}

}  // namespace

BENCHMARK(LoadTowns)->Arg(100000)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(LoadTownsPlainArrays)->Arg(100000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(SearchItemID);
BENCHMARK(ClosestPositions);
BENCHMARK(AreaQuery)->Unit(benchmark::kMicrosecond);
BENCHMARK(AreaQueryRTree)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  std::printf("\nsummary\n");
  auto sec = [](const char* k) { return gSeconds.count(k) ? gSeconds[k] : 0.0; };
  if (sec("load1000000") > 0)
    std::printf("  1,000,000 towns loaded (lazy writing): %.2f s (goal: under 5 s)\n", sec("load1000000"));
  if (sec("load100000") > 0 && sec("plain100000") > 0)
    std::printf("  100,000 towns: plain arrays %.2f s / blocked index %.2f s = %.1fx\n", sec("plain100000"),
                sec("load100000"), sec("plain100000") / sec("load100000"));
  if (gArea.Queries > 0 && gRTree.Queries > 0) {
    const double a = gArea.Seconds / double(gArea.Queries) * 1e6, r = gRTree.Seconds / double(gRTree.Queries) * 1e6;
    std::printf("  area query, ~%.0f of 1,000,000 hits: FindItemsInArea %.1f us, SQLite R*Tree %.1f us "
                "(R*Tree / FindItemsInArea = %.2fx)\n",
                double(gArea.Hits) / double(gArea.Queries), a, r, r / a);
  }
  std::error_code ec;
  fs::remove_all(TempRoot(), ec);
  return 0;
}
