// The sorted indexes: bisection results, placement of equal keys, and equivalence of the
// blocked index with the plain-array algorithm on random workloads.
#include <gtest/gtest.h>

#include <limits>
#include <map>
#include <random>
#include <set>

#include "GdbIndex.h"
#include "GeoDBTestUtil.h"

using namespace vek;
using namespace geodbtest;

namespace {

TgdbData TownAt(float lat, float lon) {
  TgdbData d{};
  d.Name = MakeGdbName(TgdbName("t"));
  d.BlobOffset = -1;
  d.ItemKind = gitTown;
  d.LatLow = d.LatHigh = lat;
  d.LongLow = d.LongHigh = lon;
  return d;
}

TgdbData BoxItem(float latLo, float latHi, float lonLo, float lonHi) {
  TgdbData d = TownAt(latLo, lonLo);
  d.ItemKind = gitUndefined;
  d.LatHigh = latHi;
  d.LongHigh = lonHi;
  return d;
}

}  // namespace

// ---- the block structure alone, with tiny blocks so that splits and merges happen often ----

TEST(GdbBlockIndex, MatchesPlainArrayUnderRandomInsertRemoveRelabel) {
  using Ix = gdbix::TBlockIndex<float, gdbix::TNoPayload, 8>;
  std::mt19937 rng(7);
  for (int round = 0; round < 4; ++round) {
    Ix ix;
    std::vector<TIxLLRec> ref;
    std::vector<int32_t> live;  // entries present
    int32_t nextEntry = 0;
    for (int step = 0; step < 3000; ++step) {
      const int op = static_cast<int>(rng() % 10);
      if (op < 6 || live.empty()) {
        const float key = static_cast<float>(rng() % (round == 0 ? 3 : 40)) * 0.25f;
        const int32_t e = nextEntry++;
        ref.emplace_back();
        LiteralSortInto(ref, {key, e});
        ix.Insert({key, e, {}});
        live.push_back(e);
      } else if (op < 9) {
        const size_t k = rng() % live.size();
        const int32_t e = live[k];
        LiteralModel::RemoveFrom(ref, ref.size(), e + 1);
        ref.pop_back();
        ASSERT_TRUE(ix.Remove(e));
        live.erase(live.begin() + static_cast<std::ptrdiff_t>(k));
      } else {
        const size_t k = rng() % live.size();
        const int32_t from = live[k], to = nextEntry++;
        for (auto& r : ref)
          if (r.index == from) r.index = to;
        ix.Relabel(from, to);
        live[k] = to;
      }
      ASSERT_EQ(ix.Count(), static_cast<int64_t>(ref.size()));
      if (step % 97 == 0 || step == 2999) {
        for (size_t r = 0; r < ref.size(); ++r) {
          ASSERT_EQ(ix.At(static_cast<int64_t>(r)).K, ref[r].LLValue);
          ASSERT_EQ(ix.At(static_cast<int64_t>(r)).Index, ref[r].index);
        }
        for (double key : {-1.0, 0.0, 0.25, 0.3, 1.0, 5.0, 100.0})
          ASSERT_EQ(ix.Position(key) + 1, LiteralClosestLL(ref, key)) << key;
      }
    }
    EXPECT_TRUE(ix.Ordered());
  }
}

TEST(GdbBlockIndex, BoxCandidatesCoverEveryHitThroughSplitsAndMerges) {
  using Ix = gdbix::TBlockIndex<float, gdbix::TBoxPayload, 8>;
  std::mt19937 rng(11);
  std::uniform_real_distribution<float> u(0, 100), w(0, 8);
  Ix ix;
  std::map<int32_t, gdbix::TBoxPayload> live;
  int32_t next = 0;
  for (int step = 0; step < 4000; ++step) {
    if (rng() % 3 != 0 || live.empty()) {
      const float a = u(rng), b = u(rng);
      const gdbix::TBoxPayload box{a, a + w(rng), b, b + (rng() % 5 == 0 ? w(rng) : 0)};
      ix.Insert({box.LatLow, next, box});
      live[next++] = box;
    } else {
      auto it = live.begin();
      std::advance(it, rng() % live.size());
      ASSERT_TRUE(ix.Remove(it->first));
      live.erase(it);
    }
    if (step % 50 != 0) continue;
    const double la = u(rng), lo = u(rng), h = w(rng), wd = w(rng);
    std::set<int32_t> got;
    ix.ForBoxCandidates(ix.LowerBound(la - 8), ix.UpperBound(la + h), lo, lo + wd,
                        [&](const gdbix::TBoxRec& r) { ASSERT_TRUE(got.insert(r.Index).second) << "twice"; });
    for (const auto& [e, b] : live) {
      if (b.LatLow <= la + h && b.LatHigh >= la && b.LongLow <= lo + wd && b.LongHigh >= lo) {
        ASSERT_TRUE(got.count(e)) << "missed entry " << e << " at step " << step;
      }
    }
  }
}

TEST(GdbBlockIndex, NaNKeysFollowTheBisectionAndOrderReturnsWhenTheyGo) {
  using Ix = gdbix::TBlockIndex<float, gdbix::TNoPayload, 8>;
  const float nan = std::numeric_limits<float>::quiet_NaN();
  Ix ix;
  std::vector<TIxLLRec> ref;
  const float keys[] = {5, nan, 3, 7, 6, 4, nan, 1, 5, 5, 2};
  for (int32_t e = 0; e < 11; ++e) {
    ref.emplace_back();
    LiteralSortInto(ref, {keys[e], e});
    ix.Insert({keys[e], e, {}});
  }
  EXPECT_FALSE(ix.Ordered());
  for (size_t r = 0; r < ref.size(); ++r) EXPECT_EQ(ix.At(static_cast<int64_t>(r)).Index, ref[r].index);
  for (double key : {0.0, 4.5, 5.0, 8.0, std::nan("")})
    EXPECT_EQ(ix.Position(key) + 1, LiteralClosestLL(ref, key));
  ix.Remove(1);
  ix.Remove(6);
  // Without the NaNs the records are sorted only if nothing was misplaced meanwhile.
  std::vector<float> rest;
  ix.ForEach([&](const auto& r) { rest.push_back(r.K); });
  EXPECT_EQ(ix.Ordered(), std::is_sorted(rest.begin(), rest.end()));
}

// ---- lookups through the component ----

class GeoDBIndex : public ::testing::Test {
 protected:
  TempDir Dir;
  TestDB DB;
  void SetUp() override { DB.SetDBName(Dir / "ix.db"); }
  int AddTown(float lat, float lon) {
    return DB.AddTown("t", 0, 0, TSCoords{lat, lon}, 0, 0, 0);
  }
};

TEST_F(GeoDBIndex, EmptyIndexesGiveOneAndNoItem) {
  EXPECT_EQ(DB.GetClosestItemIDIx(5), 1);
  EXPECT_EQ(DB.GetClosestLatLowIx(1), 1);
  EXPECT_EQ(DB.GetClosestLatHighIx(1), 1);
  EXPECT_EQ(DB.GetClosestLongLowIx(1), 1);
  EXPECT_EQ(DB.GetClosestLongHighIx(1), 1);
  EXPECT_EQ(DB.SearchForItemID(1), 0);
  // Getters on an empty database stay inside the arrays.
  EXPECT_EQ(DB.IxLatLow(1).index, 0);
  EXPECT_EQ(DB.Data(1).BlobOffset, -1);
}

TEST_F(GeoDBIndex, ClosestIdentifierPositions) {
  // Identifiers 2, 5, 9 remain of nine towns.
  for (int i = 0; i < 9; ++i) AddTown(float(i), float(i));
  for (int id : {8, 7, 6, 4, 3, 1}) DB.DeleteData(DB.SearchForItemID(id));
  ASSERT_EQ(DB.NumEntries(), 3);
  ASSERT_EQ(DB.IxItemID(1).ItemID, 2);
  ASSERT_EQ(DB.IxItemID(2).ItemID, 5);
  ASSERT_EQ(DB.IxItemID(3).ItemID, 9);
  EXPECT_EQ(DB.GetClosestItemIDIx(1), 1);
  EXPECT_EQ(DB.GetClosestItemIDIx(2), 1);
  EXPECT_EQ(DB.GetClosestItemIDIx(3), 2);
  EXPECT_EQ(DB.GetClosestItemIDIx(5), 2);
  EXPECT_EQ(DB.GetClosestItemIDIx(10), 4);
  const int e5 = DB.SearchForItemID(5);
  ASSERT_GE(e5, 1);
  EXPECT_EQ(DB.Data(e5).ItemId, 5);
  EXPECT_EQ(DB.SearchForItemID(6), 0);
  EXPECT_EQ(DB.SearchForItemID(10), 0);
}

TEST_F(GeoDBIndex, EqualKeyGoesBeforeTheEqualRecordTheBisectionFinds) {
  AddTown(1, 0);
  AddTown(2, 0);
  AddTown(3, 0);
  // Bisection over [1, 2, 3] for 2 stops at position 1 at once: the new record goes there.
  const int e = AddTown(2, 0);
  EXPECT_EQ(DB.IxLatLow(2).index, e);
  EXPECT_EQ(DB.IxLatLow(3).index, 2);
  EXPECT_FLOAT_EQ(DB.IxLatLow(3).LLValue, 2);
  // Index getters clamp and report entry numbers.
  EXPECT_EQ(DB.IxLatLow(0).index, 1);
  EXPECT_EQ(DB.IxLatLow(99).index, 3);
}

TEST_F(GeoDBIndex, SingleKeysComparedInDoublePrecision) {
  AddTown(0.1f, 0);
  // 0.1 as a double is not the stored single: no match, but the correct insertion point.
  EXPECT_EQ(DB.GetClosestLatLowIx(0.1), 0.1 > double(0.1f) ? 2 : 1);
  EXPECT_EQ(DB.GetClosestLatLowIx(double(0.1f)), 1);
  EXPECT_EQ(DB.GetClosestLatLowIx(std::nan("")), 2);
}

// ---- the whole component against the plain-array model ----

namespace {

void CheckAgainstModel(TGeoDB& db, const LiteralModel& m, std::mt19937& rng, const std::string& where) {
  ASSERT_EQ(db.NumEntries(), static_cast<int>(m.Items.size())) << where;
  const int n = db.NumEntries();
  for (int i = 1; i <= n; ++i) {
    ASSERT_EQ(db.IxItemID(i).ItemID, m.Ix0[size_t(i - 1)].ItemID) << where;
    ASSERT_EQ(db.IxItemID(i).index, m.Ix0[size_t(i - 1)].index + 1) << where;
    ASSERT_EQ(db.IxLatLow(i).index, m.Ix[1][size_t(i - 1)].index + 1) << where << " rank " << i;
    ASSERT_EQ(db.IxLatHigh(i).index, m.Ix[2][size_t(i - 1)].index + 1) << where;
    ASSERT_EQ(db.IxLongLow(i).index, m.Ix[3][size_t(i - 1)].index + 1) << where;
    ASSERT_EQ(db.IxLongHigh(i).index, m.Ix[4][size_t(i - 1)].index + 1) << where;
  }
  for (int k = 0; k < 20; ++k) {
    const double key = static_cast<int>(rng() % 14) * 0.5 - 1.0;
    ASSERT_EQ(db.GetClosestLatLowIx(key), LiteralClosestLL(m.Ix[1], key)) << where << " key " << key;
    ASSERT_EQ(db.GetClosestLatHighIx(key), LiteralClosestLL(m.Ix[2], key)) << where;
    ASSERT_EQ(db.GetClosestLongLowIx(key), LiteralClosestLL(m.Ix[3], key)) << where;
    ASSERT_EQ(db.GetClosestLongHighIx(key), LiteralClosestLL(m.Ix[4], key)) << where;
    const int id = static_cast<int>(rng() % (m.HighestID + 2));
    ASSERT_EQ(db.GetClosestItemIDIx(id), LiteralClosestID(m.Ix0, id)) << where;
  }
}

// Adds, replaces and deletes with keys drawn from a few values, so that most keys are equal
// to others; NaN keys too when asked.
void RunWorkload(unsigned seed, int steps, bool withNaN, bool lazy) {
  TempDir dir;
  const std::string base = dir / ("w" + std::to_string(seed));
  std::mt19937 rng(seed);
  LiteralModel m;
  TestDB db;
  db.SetDBName(base);
  db.SetLazyWrite(lazy);
  auto key = [&]() -> float {
    if (withNaN && rng() % 40 == 0) return std::numeric_limits<float>::quiet_NaN();
    return static_cast<float>(rng() % 12) * 0.5f;
  };
  for (int step = 0; step < steps; ++step) {
    const int op = static_cast<int>(rng() % 10);
    const int n = static_cast<int>(m.Items.size());
    if (op < 5 || n == 0) {
      TgdbData d = rng() % 2 ? TownAt(key(), key()) : BoxItem(key(), key(), key(), key());
      const int e = d.ItemKind == gitTown
                        ? db.AddTown("t", 0, 0, TSCoords{d.LatLow, d.LongLow}, 0, 0, 0)
                        : db.AddData("b", {}, false, gitUndefined, 0, 0, 0, d.LatLow, d.LatHigh,
                                     d.LongLow, d.LongHigh, 0, 0, TMetaInfo{}, nullptr, 0, false);
      m.Add(d);
      ASSERT_EQ(e, n + 1);
    } else if (op < 8) {
      const int e = static_cast<int>(rng() % n) + 1;
      TgdbData d = BoxItem(key(), key(), key(), key());
      db.ReplaceData(e, "r", {}, false, gitUndefined, 0, 0, 0, d.LatLow, d.LatHigh, d.LongLow,
                     d.LongHigh, 0, 0, TMetaInfo{}, nullptr, 0, false);
      m.Replace(e, d);
    } else {
      const int e = static_cast<int>(rng() % n) + 1;
      db.DeleteData(e);
      m.Delete(e);
    }
    if (step % 150 == 0) CheckAgainstModel(db, m, rng, "step " + std::to_string(step));
    if (::testing::Test::HasFatalFailure()) return;
  }
  CheckAgainstModel(db, m, rng, "end");
  db.SetLazyWrite(false);
  for (int i = 0; i < 5; ++i) ASSERT_EQ(ReadAll(IndexName(base, i)), m.IndexBytes(i)) << "index file " << i;
  // Reopening keeps every record where it was.
  db.SetDBName("");
  db.SetDBName(base);
  CheckAgainstModel(db, m, rng, "reopened");
  for (int i = 0; i < 5; ++i) ASSERT_EQ(ReadAll(IndexName(base, i)), m.IndexBytes(i)) << "index file " << i;
}

}  // namespace

TEST(GeoDBEquivalence, RandomWorkloadsWithManyEqualKeysGiveTheSameFiles) {
  for (unsigned seed : {1u, 2u, 3u}) {
    SCOPED_TRACE(seed);
    RunWorkload(seed, 2500, false, true);
    if (HasFatalFailure()) return;
  }
}

TEST(GeoDBEquivalence, RandomWorkloadWithoutLazyWriting) { RunWorkload(11, 300, false, false); }

TEST(GeoDBEquivalence, RandomWorkloadWithNaNKeys) {
  for (unsigned seed : {5u, 6u}) {
    SCOPED_TRACE(seed);
    RunWorkload(seed, 1500, true, true);
    if (HasFatalFailure()) return;
  }
}

TEST(GeoDBEquivalence, PlainArrayInsertionOfTheComponent) {
  std::mt19937 rng(3);
  std::vector<TIxLLRec> a, ref;
  std::vector<TIxItemIDRec> b, refb;
  for (int i = 0; i < 400; ++i) {
    const TIxLLRec r{static_cast<float>(rng() % 9), i};
    a.emplace_back();
    ref.emplace_back();
    TGeoDB::SortIxInto(a, r);
    LiteralSortInto(ref, r);
    const TIxItemIDRec q{static_cast<int32_t>(rng() % 30), i};
    b.emplace_back();
    refb.emplace_back();
    TGeoDB::SortIxItemIDInto(b, q);
    LiteralSortInto(refb, q);
  }
  for (size_t k = 0; k < a.size(); ++k) {
    ASSERT_EQ(a[k].index, ref[k].index);
    ASSERT_EQ(b[k].index, refb[k].index);
  }
}
