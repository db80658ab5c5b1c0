// Damaged, truncated and stale files; area queries.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "GeoDBTestUtil.h"

using namespace vek;
using namespace geodbtest;
namespace fs = std::filesystem;

namespace {

class GeoDBDamage : public ::testing::Test {
 protected:
  TempDir Dir;
  std::string Base = Dir / "d";

  // A database of towns and polygons with many equal keys.
  void Build(int n, unsigned seed = 1) {
    TGeoDB db;
    db.SetDBName(Base);
    db.SetLazyWrite(true);
    std::mt19937 rng(seed);
    for (int i = 0; i < n; ++i) {
      const float a = float(rng() % 20), b = float(rng() % 20);
      if (i % 3 == 0)
        db.AddLake("l", TgdbPolygon{{a, b}, {a + 1, b + 2}}, 0, 0, 0, 0, 0, 0, 0, 0, 0);
      else
        db.AddTown("t", 0, 0, TSCoords{a, b}, 0, 0, 0);
    }
  }
  // The indexes a database with these item records must have, built by the plain-array
  // rules in entry order.
  LiteralModel Rebuilt() const {
    TGeoDB db;
    db.SetDBName(Base);
    LiteralModel m;
    for (int e = 1; e <= db.NumEntries(); ++e) {
      const TgdbData d = db.Data(e);
      m.HighestID = d.ItemId - 1;
      m.Add(d);
    }
    return m;
  }
  static void PatchI32(Bytes& b, size_t at, int32_t v) {
    ByteImage img(4);
    img.I32(0, v);
    std::copy(img.B.begin(), img.B.end(), b.begin() + static_cast<std::ptrdiff_t>(at));
  }
  std::string Error(const std::function<void()>& f) {
    try {
      f();
    } catch (const EVEKGeoDBError& e) {
      return e.what();
    }
    return "(no EVEKGeoDBError)";
  }
};

}  // namespace

TEST_F(GeoDBDamage, DeletedAndTruncatedIndexFilesAreRebuilt) {
  Build(200);
  const Bytes good[5] = {ReadAll(IndexName(Base, 0)), ReadAll(IndexName(Base, 1)), ReadAll(IndexName(Base, 2)),
                         ReadAll(IndexName(Base, 3)), ReadAll(IndexName(Base, 4))};
  fs::remove(IndexName(Base, 1));
  fs::resize_file(IndexName(Base, 2), 100 * 8 + 3);
  fs::resize_file(IndexName(Base, 0), 0);
  const LiteralModel m = Rebuilt();
  TGeoDB db;
  db.SetDBName(Base);
  ASSERT_EQ(db.NumEntries(), 200);
  EXPECT_EQ(ReadAll(IndexName(Base, 1)), m.IndexBytes(1));
  EXPECT_EQ(ReadAll(IndexName(Base, 2)), m.IndexBytes(2));
  EXPECT_EQ(ReadAll(IndexName(Base, 0)), good[0]);  // identifiers are unique: same order
  // Untouched indexes are taken as they were, with their own order of equal keys.
  EXPECT_EQ(ReadAll(IndexName(Base, 3)), good[3]);
  EXPECT_EQ(ReadAll(IndexName(Base, 4)), good[4]);
  for (int id = 1; id <= 200; ++id) ASSERT_EQ(db.Data(db.SearchForItemID(id)).ItemId, id);
}

TEST_F(GeoDBDamage, IndexesThatAreNotASortedPermutationAreRebuilt) {
  Build(50);
  const LiteralModel m = Rebuilt();
  Bytes ix1 = ReadAll(IndexName(Base, 1));
  PatchI32(ix1, 4, GetInt32(&ix1[12]));  // one entry twice, another missing
  WriteAll(IndexName(Base, 1), ix1);
  Bytes ix3 = ReadAll(IndexName(Base, 3));
  std::swap_ranges(ix3.begin(), ix3.begin() + 8, ix3.end() - 8);  // out of order
  WriteAll(IndexName(Base, 3), ix3);
  Bytes ix4 = ReadAll(IndexName(Base, 4));
  PatchI32(ix4, 4, 1000);  // no such entry
  WriteAll(IndexName(Base, 4), ix4);
  TGeoDB db;
  db.SetDBName(Base);
  EXPECT_EQ(ReadAll(IndexName(Base, 1)), m.IndexBytes(1));
  EXPECT_EQ(ReadAll(IndexName(Base, 3)), m.IndexBytes(3));
  EXPECT_EQ(ReadAll(IndexName(Base, 4)), m.IndexBytes(4));
}

TEST_F(GeoDBDamage, CrashWithLazyWritingLeavesAConsistentDatabase) {
  Build(30);
  const std::string crash = Dir / "crash";
  {
    TGeoDB db;
    db.SetDBName(Base);
    db.SetLazyWrite(true);
    for (int i = 0; i < 40; ++i) db.AddTown("n", 0, 0, TSCoords{float(i % 5), 1}, 0, 0, 0);
    db.ReplaceTown(3, "moved", 0, 0, TSCoords{-50, -50}, 0, 0, 0);  // same count, stale keys
    db.DeleteData(1);
    db.AddTown("late", 0, 0, TSCoords{7, 7}, 0, 0, 0);  // identifier 71
    // What a crash leaves: the files as they are now on disk.
    for (const char* ext : {".vekgdd", ".vekgds", ".vekgi0", ".vekgi1", ".vekgi2", ".vekgi3", ".vekgi4"})
      fs::copy_file(Base + ext, crash + ext);
  }
  TGeoDB db;
  db.SetDBName(crash);
  ASSERT_EQ(db.NumEntries(), 70);  // every item record the files hold
  EXPECT_EQ(db.Data(3).Name.str(), "moved");
  for (int i = 1; i <= db.NumEntries(); ++i) {
    const TIxLLRec r = db.IxLatLow(i);
    ASSERT_EQ(db.Data(r.index).LatLow, r.LLValue);
    if (i > 1) {
      ASSERT_LE(db.IxLatLow(i - 1).LLValue, r.LLValue);
    }
  }
  EXPECT_EQ(db.IxLatLow(1).index, 3);
  for (int e = 1; e <= db.NumEntries(); ++e) ASSERT_EQ(db.SearchForItemID(db.Data(e).ItemId), e);
  EXPECT_EQ(db.FindItemsInArea(-51, -49, -51, -49), (std::vector<int32_t>{3}));
  // No identifier that was ever stored is issued again.
  EXPECT_EQ(db.Data(db.AddTown("next", 0, 0, TSCoords{1, 1}, 0, 0, 0)).ItemId, 72);
}

TEST_F(GeoDBDamage, DuplicateIdentifiersAreSearchedByTheBisection) {
  Build(7);
  Bytes gds = ReadAll(Base + ".vekgds");
  for (size_t r : {2u, 3u, 4u, 5u}) PatchI32(gds, r * 120, 3);  // identifiers 1 2 3 3 3 3 7
  WriteAll(Base + ".vekgds", gds);
  const LiteralModel m = Rebuilt();
  TGeoDB db;
  db.SetDBName(Base);
  for (int id = 0; id <= 8; ++id) {
    const int p = LiteralClosestID(m.Ix0, id);
    const int expect = p <= 7 && m.Ix0[size_t(p - 1)].ItemID == id ? m.Ix0[size_t(p - 1)].index + 1 : 0;
    EXPECT_EQ(db.SearchForItemID(id), expect) << id;
  }
}

TEST_F(GeoDBDamage, FailedIndexWriteKeepsTheOldIndexFile) {
  Build(5);
  const Bytes before = ReadAll(IndexName(Base, 1));
  fs::create_directory(IndexName(Base, 1) + ".tmp");  // the temporary file cannot be made
  TGeoDB db;
  db.SetDBName(Base);
  EXPECT_THROW(db.AddTown("x", 0, 0, TSCoords{1, 1}, 0, 0, 0), EInOutError);
  EXPECT_EQ(ReadAll(IndexName(Base, 1)), before);
  fs::remove(IndexName(Base, 1) + ".tmp");
  db.SetDBName("");
  // The stale index is found out and rebuilt when the database is opened again.
  db.SetDBName(Base);
  EXPECT_EQ(fs::file_size(IndexName(Base, 1)), 6u * 8);
  EXPECT_EQ(db.IxLatLow(db.GetClosestLatLowIx(1.0)).LLValue, 1.0f);
}

TEST_F(GeoDBDamage, PartialTrailingItemRecordIsOverwrittenNotAppendedTo) {
  Build(4);
  Bytes gds = ReadAll(Base + ".vekgds");
  gds.insert(gds.end(), 50, 0xAB);  // an interrupted write
  WriteAll(Base + ".vekgds", gds);
  {
    TGeoDB db;
    db.SetDBName(Base);
    EXPECT_EQ(db.NumEntries(), 4);
    db.AddTown("new", 0, 0, TSCoords{1, 1}, 0, 0, 0);
    EXPECT_EQ(fs::file_size(Base + ".vekgds"), 600u);
  }
  TGeoDB db;
  db.SetDBName(Base);
  ASSERT_EQ(db.NumEntries(), 5);
  EXPECT_EQ(db.Data(5).Name.str(), "new");
}

TEST_F(GeoDBDamage, ShortDataFileIsReportedAndLeavesTheComponentClosed) {
  Build(3);
  fs::resize_file(Base + ".vekgdd", 100);
  TGeoDB db;
  db.SetName("DB");
  const std::string msg = Error([&] { db.SetDBName(Base); });
  EXPECT_NE(msg.find("Component \"DB\": "), std::string::npos) << msg;
  EXPECT_NE(msg.find("shorter than its 260-byte header"), std::string::npos) << msg;
  EXPECT_EQ(db.DBName(), "");
  EXPECT_EQ(db.NumEntries(), 0);
  EXPECT_EQ(db.AddTown("x", 0, 0, TSCoords{1, 1}, 0, 0, 0), -1);
}

TEST_F(GeoDBDamage, LostSystemRecordNeverReissuesIdentifiers) {
  Build(6);
  fs::resize_file(Base + ".vekgdd", 0);
  {
    TGeoDB db;
    db.SetDBName(Base);
    EXPECT_EQ(fs::file_size(Base + ".vekgdd"), 260u);
    db.DeleteData(db.SearchForItemID(6));  // the highest identifier leaves the item file
  }
  TGeoDB db;
  db.SetDBName(Base);
  EXPECT_EQ(db.Data(db.AddTown("x", 0, 0, TSCoords{1, 1}, 0, 0, 0)).ItemId, 7);
}

TEST_F(GeoDBDamage, OffsetsAndSizesOutsideTheDataFileRaise) {
  {
    TGeoDB db;
    db.SetDBName(Base);
    db.AddRiver("r", TgdbPolygon{{1, 1}, {2, 2}}, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    const char x[] = "abc";
    db.AddBLOB("b", 0, 0, 0, 0, 0, 0, 0, 0, 0, TMetaInfo{}, x, 3);
    db.AddTown("t", 0, 0, TSCoords{1, 1}, 0, 0, 0);
  }
  const Bytes pristine = ReadAll(Base + ".vekgds");
  struct Case {
    size_t rec;
    size_t field;
    int32_t value;
  };
  const Case cases[] = {
      {0, 76, 100000},          // polygon offset beyond the end
      {0, 112, 1000000000},     // 8 GB of points
      {0, 112, -7},             // negative count
      {0, 76, 2147483600},      // offset + length overflows 32 bits
      {1, 76, 5000},            // BLOB offset beyond the end
      {1, 112, 2000000000},     // BLOB size beyond the end
      {1, 112, -1},             // negative BLOB size
      {2, 112, 2000000000},     // a town whose size field would size a stream absurdly
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.rec) + "/" + std::to_string(c.field) + "=" + std::to_string(c.value));
    Bytes gds = pristine;
    PatchI32(gds, c.rec * 120 + c.field, c.value);
    WriteAll(Base + ".vekgds", gds);
    TGeoDB db;
    db.SetDBName(Base);
    const int e = static_cast<int>(c.rec) + 1;
    TgdbPolygon p;
    TMetaInfo m{};
    TMemoryStream s;
    std::vector<uint8_t> buf(16);
    if (c.rec == 0) {
      EXPECT_NE(Error([&] { db.RetrievePolygon(e, p); }).find("the database is damaged"), std::string::npos);
      EXPECT_TRUE(p.empty());
    } else if (c.rec == 1) {
      EXPECT_NE(Error([&] { db.RetrieveBLOB(e, m, s); }).find("the database is damaged"), std::string::npos);
      EXPECT_NE(Error([&] { db.RetrieveBLOB(e, m, buf.data(), 16); }).find("damaged"), std::string::npos);
      EXPECT_NE(Error([&] { db.RetrieveBLOB(e, Dir / "", m); }).find("damaged"), std::string::npos);
    } else {
      EXPECT_NE(Error([&] { db.RetrieveBLOB(e, m, s); }).find("damaged"), std::string::npos);
    }
  }
}

TEST_F(GeoDBDamage, GarbageFilesOpenWithoutCrashing) {
  std::mt19937 rng(99);
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE(round);
    for (const char* ext : {".vekgdd", ".vekgds", ".vekgi0", ".vekgi1", ".vekgi2", ".vekgi3", ".vekgi4"}) {
      Bytes b(ext[5] == 'd' && ext[6] == 'd' ? 260 + rng() % 2000 : rng() % 1300);
      for (auto& x : b) x = static_cast<uint8_t>(rng());
      WriteAll(Base + ext, b);
    }
    TGeoDB db;
    db.SetDBName(Base);
    for (int e = 1; e <= db.NumEntries(); ++e) {
      TgdbPolygon p;
      TMetaInfo m{};
      TMemoryStream s;
      try {
        db.RetrievePolygon(e, p);
        db.RetrieveBLOB(e, m, s);
      } catch (const EVEKGeoDBError&) {
      }
      ASSERT_EQ(db.SearchForItemID(db.Data(e).ItemId) > 0, true);
    }
    db.FindItemsInArea(-90, 90, -180, 180);
    db.AddTown("ok", 0, 0, TSCoords{1, 1}, 0, 0, 0);
    db.DeleteData(1);
  }
}

TEST_F(GeoDBDamage, SizesBeyondMemoryGiveTheLibrarysError) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the sanitizer's shadow memory does not fit under an address-space limit";
#endif
  {
    TGeoDB db;
    db.SetDBName(Base);
    db.AddBorder("b", TgdbPolygon{{1, 2}, {3, 4}}, true, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    db.AddTown("t", 0, 0, TSCoords{1, 1}, 0, 0, 0);
  }
  // A sparse data file of 1.5 GB whose first polygon claims all of it: plausible for the
  // file, far beyond the 512 MB this process may use.
  const int64_t size = int64_t(1536) << 20;
  fs::resize_file(Base + ".vekgdd", static_cast<uintmax_t>(size));
  Bytes gds = ReadAll(Base + ".vekgds");
  PatchI32(gds, 112, static_cast<int32_t>((size - 260) / 8));
  WriteAll(Base + ".vekgds", gds);
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    rlimit lim{size_t(512) << 20, size_t(512) << 20};
    setrlimit(RLIMIT_AS, &lim);
    int code = 0;
    try {
      TGeoDB db;
      db.SetDBName(Base);
      TgdbPolygon p;
      try {
        db.RetrievePolygon(1, p);
        code = 4;
      } catch (const EVEKGeoDBError& e) {
        code = std::string(e.what()).find("RetrievePolygon: entry 1 needs") != std::string::npos ? 0 : 5;
      }
      db.SetDBName("");
    } catch (const std::bad_alloc&) {
      code = 1;
    } catch (...) {
      code = 2;
    }
    _exit(code);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "4: no error, 5: another message, 1: std::bad_alloc, 2: other";
}

// ---- area queries ----

TEST(GeoDBArea, MatchesABruteForceScanThroughChanges) {
  TempDir dir;
  TGeoDB db;
  db.SetDBName(dir / "area");
  db.SetLazyWrite(true);
  std::mt19937 rng(4);
  std::uniform_real_distribution<float> lat(-80, 80), lon(-170, 170), ext(0, 3), logExt(-4, 5.5f);
  // Items of every size class, from towns to boxes wider than the globe's half.
  auto polygon = [&] {
    const float a = lat(rng), b = lon(rng), h = std::exp(logExt(rng)), w = std::exp(logExt(rng));
    return TgdbPolygon{{a, b}, {a + (rng() % 3 ? h : 0), b + w}};
  };
  for (int i = 0; i < 3000; ++i) {
    if (i % 4 == 0)
      db.AddBorder("b", polygon(), true, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    else
      db.AddTown("t", 0, 0, TSCoords{lat(rng), lon(rng)}, 0, 0, 0);
  }
  db.AddBorder("wide", TgdbPolygon{{-60, -170}, {60, 170}}, true, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  auto check = [&](const char* when) {
    for (int q = 0; q < 200; ++q) {
      double la = lat(rng), lo = lon(rng);
      const double h = q % 10 == 0 ? 0 : ext(rng) * 4, w = q % 10 == 0 ? 0 : ext(rng) * 4;
      if (q == 7) la = double(db.Data(5).LatLow), lo = double(db.Data(5).LongLow);  // touching exactly
      if (q == 8) la = double(db.Data(5).LatHigh), lo = double(db.Data(5).LongHigh);
      std::vector<int32_t> expect;
      for (int e = 1; e <= db.NumEntries(); ++e) {
        const TgdbData d = db.Data(e);
        if (d.LatLow <= d.LatHigh && d.LongLow <= d.LongHigh && d.LatLow <= la + h && d.LatHigh >= la && d.LongLow <= lo + w && d.LongHigh >= lo) expect.push_back(e);
      }
      ASSERT_EQ(db.FindItemsInArea(la, la + h, lo, lo + w), expect) << when << ", query " << q;
    }
  };
  check("added");
  // Deletions move the last (wide) entries around; replacements change items' size classes.
  for (int i = 0; i < 300; ++i) db.DeleteData(1 + static_cast<int>(rng() % db.NumEntries()));
  for (int i = 0; i < 300; ++i) {
    const int e = 1 + static_cast<int>(rng() % db.NumEntries());
    if (i % 2)
      db.ReplaceTown(e, "r", 0, 0, TSCoords{lat(rng), lon(rng)}, 0, 0, 0);
    else
      db.ReplaceBorder(e, "r", polygon(), true, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  }
  check("changed");
  const std::string base = db.DBName();
  db.SetDBName("");
  db.SetDBName(base);
  check("reopened");
  EXPECT_TRUE(db.FindItemsInArea(10, 5, 0, 1).empty());
  EXPECT_TRUE(db.FindItemsInArea(std::nan(""), 5, 0, 1).empty());
}

TEST(GeoDBArea, WorksWhenNaNBoundsDisorderTheIndexes) {
  TempDir dir;
  TGeoDB db;
  db.SetDBName(dir / "nan");
  db.AddTown("a", 0, 0, TSCoords{1, 1}, 0, 0, 0);
  db.AddTown("nan", 0, 0, TSCoords{std::nanf(""), std::nanf("")}, 0, 0, 0);
  db.AddTown("b", 0, 0, TSCoords{2, 2}, 0, 0, 0);
  EXPECT_EQ(db.FindItemsInArea(0, 3, 0, 3), (std::vector<int32_t>{1, 3}));
  EXPECT_EQ(db.SearchForItemID(2), 2);
}
