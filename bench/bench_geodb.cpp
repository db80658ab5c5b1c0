// TGeoDB benchmarks: bulk loading with lazy writing (against the plain-array insertion that
// moves half the index per item), identifier and closest-position lookups, and area queries
// against SQLite's R*Tree on the same points.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <chrono>
#include <cmath>
#include <ctime>
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

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
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

// 1,000,000 towns with lazy writing beside SQLite storing the same records in a table plus
// an R*Tree, in one transaction; CPU time, best of two alternating rounds.
double gBulkOurs = 0, gBulkSQLite = 0;

double LoadOurs(const Towns& towns, const std::string& base) {
  RemoveDB(base);
  const double t0 = CpuSeconds();
  {
    TGeoDB db;
    db.SetDBName(base);
    db.SetLazyWrite(true);
    for (size_t i = 0; i < towns.Pos.size(); ++i) db.AddTown(towns.Names[i], 45000.0, 0, towns.Pos[i], 0, 1, 0);
    db.SetLazyWrite(false);  // writes the five index files
    db.SetDBName("");
  }
  return CpuSeconds() - t0;
}

double LoadSQLite(const Towns& towns, const std::string& name) {
  fs::remove(name);
  const double t0 = CpuSeconds();
  sqlite3* h = nullptr;
  sqlite3_open(name.c_str(), &h);
  sqlite3_exec(h, "PRAGMA synchronous=OFF;", nullptr, nullptr, nullptr);
  sqlite3_exec(h,
               "CREATE TABLE towns(id INTEGER PRIMARY KEY, name TEXT, altitude REAL, class INTEGER, tag INTEGER, "
               "date REAL, state INTEGER, lat REAL, lon REAL);"
               "CREATE VIRTUAL TABLE towns_rt USING rtree(id, latlo, lathi, lonlo, lonhi);",
               nullptr, nullptr, nullptr);
  sqlite3_exec(h, "BEGIN", nullptr, nullptr, nullptr);
  sqlite3_stmt* ins = nullptr;
  sqlite3_stmt* rt = nullptr;
  sqlite3_prepare_v2(h, "INSERT INTO towns VALUES(?1, ?2, 0, 1, 0, 45000.0, 0, ?3, ?4)", -1, &ins, nullptr);
  sqlite3_prepare_v2(h, "INSERT INTO towns_rt VALUES(?1, ?2, ?2, ?3, ?3)", -1, &rt, nullptr);
  for (size_t i = 0; i < towns.Pos.size(); ++i) {
    const std::string name8 = towns.Names[i].str();
    sqlite3_bind_int64(ins, 1, static_cast<sqlite3_int64>(i + 1));
    sqlite3_bind_text(ins, 2, name8.c_str(), static_cast<int>(name8.size()), SQLITE_TRANSIENT);
    sqlite3_bind_double(ins, 3, towns.Pos[i].Latit);
    sqlite3_bind_double(ins, 4, towns.Pos[i].Longit);
    sqlite3_step(ins);
    sqlite3_reset(ins);
    sqlite3_bind_int64(rt, 1, static_cast<sqlite3_int64>(i + 1));
    sqlite3_bind_double(rt, 2, towns.Pos[i].Latit);
    sqlite3_bind_double(rt, 3, towns.Pos[i].Longit);
    sqlite3_step(rt);
    sqlite3_reset(rt);
  }
  sqlite3_finalize(ins);
  sqlite3_finalize(rt);
  sqlite3_exec(h, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(h);
  return CpuSeconds() - t0;
}

void BulkLoad(benchmark::State& state) {
  const Towns& towns = RandomTowns(1000000);
  const std::string base = (TempRoot() / "load1000000").string(), lite = (TempRoot() / "bulk.sqlite").string();
  gBulkOurs = gBulkSQLite = 1e30;
  for (auto _ : state)
    for (int round = 0; round < 2; ++round) {
      gBulkOurs = std::min(gBulkOurs, LoadOurs(towns, base));
      gBulkSQLite = std::min(gBulkSQLite, LoadSQLite(towns, lite));
    }
  fs::remove(lite);
  state.counters["s"] = gBulkOurs;
  state.counters["sqlite_s"] = gBulkSQLite;
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

// Opening 1,000,000 items whose five index files are lost: every index rebuilt.
void RebuildIndexes(benchmark::State& state) {
  const std::string from = BigDB().DBName(), base = (TempRoot() / "rebuild").string();
  double best = 1e30;
  for (auto _ : state) {
    for (int round = 0; round < 3; ++round) {
      RemoveDB(base);
      for (const char* ext : {".vekgdd", ".vekgds"}) fs::copy_file(from + ext, base + ext);
      const double t0 = CpuSeconds();
      TGeoDB db;
      db.SetDBName(base);
      best = std::min(best, CpuSeconds() - t0);
    }
  }
  gSeconds["rebuild"] = best;
  RemoveDB(base);
}

// ---- area queries on three mixes, side by side with SQLite's R*Tree ----

struct Box {
  float LatLo, LatHi, LonLo, LonHi;
};

// What is stored beside the 1,000,000 towns: nothing; one coastline of 120 x 340 degrees;
// or a mix of a few thousand polygons of all sizes (lakes and cities of a hundredth of a
// degree up to countries, continents' coastlines and long routes).
std::vector<Box> Extras(int Mix) {
  std::vector<Box> v;
  if (Mix == 1) v.push_back({-60, 60, -170, 170});
  if (Mix == 2) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> lat(-85, 85), lon(-178, 178), logExt(std::log(0.01f), std::log(40.0f)),
        aspect(0.5f, 2.5f);
    for (int i = 0; i < 4000; ++i) {
      const float h = std::exp(logExt(rng)), w = h * aspect(rng), a = lat(rng), b = lon(rng);
      v.push_back({a, std::min(a + h, 90.0f), b, std::min(b + w, 180.0f)});
    }
    std::uniform_real_distribution<float> big(40, 170);
    for (int i = 0; i < 40; ++i) {
      const float h = big(rng) / 2, w = big(rng) * 2, a = std::max(-90.0f, lat(rng) - h / 2), b = std::max(-180.0f, lon(rng) - w / 2);
      v.push_back({a, std::min(a + h, 90.0f), b, std::min(b + w, 180.0f)});
    }
    v.push_back({-60, 60, -170, 170});
  }
  return v;
}
const char* const kMixName[3] = {"1,000,000 towns", "+ one 120 x 340 item", "+ 4,041 polygons of all sizes"};

TGeoDB& MixDB(int Mix) {
  static TGeoDB* dbs[3] = {};
  if (dbs[Mix]) return *dbs[Mix];
  TGeoDB& towns = BigDB();
  if (Mix == 0) return *(dbs[0] = &towns);
  const std::string from = towns.DBName(), base = (TempRoot() / ("mix" + std::to_string(Mix))).string();
  RemoveDB(base);
  for (const char* ext : {".vekgdd", ".vekgds", ".vekgi0", ".vekgi1", ".vekgi2", ".vekgi3", ".vekgi4"})
    fs::copy_file(from + ext, base + ext);
  auto* db = new TGeoDB;
  db->SetDBName(base);
  db->SetLazyWrite(true);
  for (const Box& b : Extras(Mix))
    db->AddBorder("p", TgdbPolygon{{b.LatLo, b.LonLo}, {b.LatHi, b.LonLo}, {b.LatHi, b.LonHi}, {b.LatLo, b.LonHi}},
                  true, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  db->SetLazyWrite(false);
  return *(dbs[Mix] = db);
}

sqlite3* RTreeDB(int Mix) {
  static sqlite3* dbs[3] = {};
  if (dbs[Mix]) return dbs[Mix];
  sqlite3* h = nullptr;
  const std::string name = (TempRoot() / ("rtree" + std::to_string(Mix) + ".sqlite")).string();
  sqlite3_open(name.c_str(), &h);
  sqlite3_exec(h, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA cache_size=-262144;", nullptr, nullptr, nullptr);
  sqlite3_exec(h, "CREATE VIRTUAL TABLE items USING rtree(id, latlo, lathi, lonlo, lonhi);", nullptr, nullptr, nullptr);
  const Towns& towns = RandomTowns(1000000);
  sqlite3_exec(h, "BEGIN", nullptr, nullptr, nullptr);
  sqlite3_stmt* ins = nullptr;
  sqlite3_prepare_v2(h, "INSERT INTO items VALUES(?1, ?2, ?3, ?4, ?5)", -1, &ins, nullptr);
  auto put = [&](int64_t id, const Box& b) {
    sqlite3_bind_int64(ins, 1, id);
    sqlite3_bind_double(ins, 2, b.LatLo);
    sqlite3_bind_double(ins, 3, b.LatHi);
    sqlite3_bind_double(ins, 4, b.LonLo);
    sqlite3_bind_double(ins, 5, b.LonHi);
    sqlite3_step(ins);
    sqlite3_reset(ins);
  };
  int64_t id = 0;
  for (const TSCoords& p : towns.Pos) put(++id, {p.Latit, p.Latit, p.Longit, p.Longit});
  for (const Box& b : Extras(Mix)) put(++id, b);
  sqlite3_finalize(ins);
  sqlite3_exec(h, "COMMIT", nullptr, nullptr, nullptr);
  return dbs[Mix] = h;
}

// Boxes of 1.8 x 3.6 degrees: a ten-thousandth of the globe's rectangle, about 100 towns.
struct Query {
  double LatLo, LatHi, LonLo, LonHi;
};
std::vector<Query> Queries() {
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> lat(-89, 89), lon(-178, 178);
  std::vector<Query> q(2000);
  for (auto& x : q) {
    const double a = lat(rng), b = lon(rng);
    x = {a - 0.9, a + 0.9, b - 1.8, b + 1.8};
  }
  return q;
}

struct AreaResult {
  double Ours = 0, RTree = 0;  // best CPU seconds per query
  int64_t HitsOurs = 0, HitsRTree = 0;
};
AreaResult gArea[3];

// CPU time of one round over the queries, per query.
template <class Run>
double PerQuery(const std::vector<Query>& qs, int64_t& Hits, Run run) {
  int64_t hits = 0;
  const double t0 = CpuSeconds();
  for (const Query& q : qs) hits += run(q);
  Hits = hits;
  return (CpuSeconds() - t0) / double(qs.size());
}

void AreaQueries(benchmark::State& state) {
  const int mix = static_cast<int>(state.range(0));
  TGeoDB& db = MixDB(mix);
  sqlite3* h = RTreeDB(mix);
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(h, "SELECT id FROM items WHERE latlo <= ?2 AND lathi >= ?1 AND lonlo <= ?4 AND lonhi >= ?3",
                     -1, &stmt, nullptr);
  const auto qs = Queries();
  AreaResult& r = gArea[mix];
  std::vector<int32_t> ids;
  auto ours = [&](const Query& q) {
    return static_cast<int64_t>(db.FindItemsInArea(q.LatLo, q.LatHi, q.LonLo, q.LonHi).size());
  };
  auto rtree = [&](const Query& q) {
    sqlite3_bind_double(stmt, 1, q.LatLo);
    sqlite3_bind_double(stmt, 2, q.LatHi);
    sqlite3_bind_double(stmt, 3, q.LonLo);
    sqlite3_bind_double(stmt, 4, q.LonHi);
    ids.clear();
    while (sqlite3_step(stmt) == SQLITE_ROW) ids.push_back(sqlite3_column_int(stmt, 0));
    sqlite3_reset(stmt);
    return static_cast<int64_t>(ids.size());
  };
  // Rounds alternate between the two, best of nine each: the machine's load hits both alike.
  r.Ours = r.RTree = 1e30;
  for (auto _ : state)
    for (int round = 0; round < 9; ++round) {
      r.Ours = std::min(r.Ours, PerQuery(qs, r.HitsOurs, ours));
      r.RTree = std::min(r.RTree, PerQuery(qs, r.HitsRTree, rtree));
    }
  sqlite3_finalize(stmt);
  state.counters["us/query"] = r.Ours * 1e6;
  state.counters["rtree_us/query"] = r.RTree * 1e6;
  state.counters["hits/query"] = double(r.HitsOurs) / double(qs.size());
}

}  // namespace

BENCHMARK(LoadTowns)->Arg(100000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BulkLoad)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(LoadTownsPlainArrays)->Arg(100000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(SearchItemID);
BENCHMARK(ClosestPositions);
BENCHMARK(RebuildIndexes)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(AreaQueries)->DenseRange(0, 2)->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  std::printf("\nsummary\n");
  auto sec = [](const char* k) { return gSeconds.count(k) ? gSeconds[k] : 0.0; };
  if (gBulkOurs > 0 && gBulkOurs < 1e30)
    std::printf("  1,000,000 towns loaded (lazy writing): %.2f s CPU, SQLite table + R*Tree %.2f s: %.2fx (goal 5x)\n",
                gBulkOurs, gBulkSQLite, gBulkSQLite / gBulkOurs);
  if (sec("load100000") > 0 && sec("plain100000") > 0)
    std::printf("  100,000 towns: plain arrays %.2f s / blocked index %.2f s = %.1fx\n", sec("plain100000"),
                sec("load100000"), sec("plain100000") / sec("load100000"));
  if (sec("rebuild") > 0)
    std::printf("  opening 1,000,000 items without index files (all five rebuilt): %.3f s CPU\n", sec("rebuild"));
  for (int mix = 0; mix < 3; ++mix) {
    const AreaResult& r = gArea[mix];
    if (r.Ours <= 0) continue;
    std::printf("  area query (1.8 x 3.6 deg), %-31s %6.2f us, R*Tree %6.2f us: %.2fx (goal 2x); hits %lld / %lld per round\n",
                kMixName[mix], r.Ours * 1e6, r.RTree * 1e6, r.RTree / r.Ours, (long long)r.HitsOurs,
                (long long)r.HitsRTree);
  }
  std::error_code ec;
  fs::remove_all(TempRoot(), ec);
  return 0;
}
