// The seven files byte for byte, and reopening.
#include <gtest/gtest.h>

#include <filesystem>

#include "GeoDBTestUtil.h"

using namespace vek;
using namespace geodbtest;

namespace {

constexpr double kDate = 45000.25;

struct Expected {
  std::string Name;
  TgdbItem Kind;
  float LatLow, LatHigh, LongLow, LongHigh;
  int32_t BlobOffset;
  int32_t NumPoints;
  bool Closed;
  TgdbPolygon Points;
};

Bytes ItemRecord(int32_t id, const Expected& e, int32_t tag) {
  ByteImage r(120);
  r.I32(0, id);
  r.Str(4, e.Name, 59, ' ');
  r.F32(64, 100.5f);
  r.U8(68, 2);
  r.I32(72, tag);
  r.I32(76, e.BlobOffset);
  r.F64(80, kDate);
  r.I32(88, 3);
  r.F32(92, e.LatLow);
  r.F32(96, e.LatHigh);
  r.F32(100, e.LongLow);
  r.F32(104, e.LongHigh);
  r.U8(108, e.Kind);
  r.I32(112, e.NumPoints);
  r.U8(116, e.Closed ? 1 : 0);
  return r.B;
}

Bytes Points(const TgdbPolygon& p) {
  ByteImage b(p.size() * 8);
  for (size_t i = 0; i < p.size(); ++i) {
    b.F32(i * 8, p[i].Latit);
    b.F32(i * 8 + 4, p[i].Longit);
  }
  return b.B;
}

class GeoDBFiles : public ::testing::Test {
 protected:
  TempDir Dir;
  std::string Base = Dir / "world";
  std::vector<Expected> Items;
  TMetaInfo Meta{};

  // One item of every kind; returns the expected records.
  void Fill(TestDB& db) {
    const TgdbPolygon border{{46.4f, 9.5f}, {49.0f, 17.2f}, {47.0f, 13.0f}};
    const TgdbPolygon city{{48.1f, 16.2f}, {48.3f, 16.5f}};
    const TgdbPolygon lake{{47.7f, 16.7f}, {47.9f, 16.9f}};
    const TgdbPolygon river{{47.0f, 15.4f}, {47.1f, 15.5f}};
    const TgdbPolygon road{{47.0f, 15.0f}};
    ASSERT_EQ(db.AddTown("Graz", kDate, 3, TSCoords{47.07f, 15.44f}, 100.5f, 2, 10), 1);
    ASSERT_EQ(db.AddBorder("AT", border, true, kDate, 3, 0, 0, 0, 0, 100.5f, 2, 20), 2);
    ASSERT_EQ(db.AddCity("Wien", city, false, kDate, 3, 0, 0, 0, 0, 100.5f, 2, 30), 3);
    ASSERT_EQ(db.AddLake("Neusiedl", lake, kDate, 3, 0, 0, 0, 0, 100.5f, 2, 40), 4);
    ASSERT_EQ(db.AddRiver("Mur", river, kDate, 3, 0, 0, 0, 0, 100.5f, 2, 50), 5);
    ASSERT_EQ(db.AddRoad("A2", road, kDate, 3, 0, 0, 0, 0, 100.5f, 2, 60), 6);
    ASSERT_EQ(db.AddRoute("R1", {}, kDate, 3, 0, 0, 0, 0, 100.5f, 2, 70), 7);
    Meta.Keywords = "k";
    Meta.Caption = "c";
    ASSERT_EQ(db.AddBLOB("note.txt", kDate, 3, 47.5f, 47.6f, 15.1f, 15.2f, 100.5f, 2, 80, Meta, "hello", 5), 8);
    ASSERT_EQ(db.AddData("?", {}, true, gitUndefined, 2, kDate, 3, 10, 11, 12, 13, 100.5f, 90, TMetaInfo{},
                         nullptr, 0, false),
              9);
    db.SetDescription("Test DB");
    db.SetRevision(7);
    Items = {
        {"Graz", gitTown, 47.07f, 47.07f, 15.44f, 15.44f, -1, 0, false, {}},
        {"AT", gitBorder, 46.4f, 49.0f, 9.5f, 17.2f, 260, 3, true, border},
        {"Wien", gitCity, 48.1f, 48.3f, 16.2f, 16.5f, 284, 2, false, city},
        {"Neusiedl", gitLake, 47.7f, 47.9f, 16.7f, 16.9f, 300, 2, true, lake},
        {"Mur", gitRiver, 47.0f, 47.1f, 15.4f, 15.5f, 316, 2, false, river},
        {"A2", gitRoad, 47.0f, 47.0f, 15.0f, 15.0f, 332, 1, false, road},
        {"R1", gitRoute, 90, -90, 180, -180, 340, 0, false, {}},
        {"note.txt", gitBLOB, 47.5f, 47.6f, 15.1f, 15.2f, 340, 5, false, {}},
        {"?", gitUndefined, 10, 11, 12, 13, -1, 0, false, {}},
    };
  }

  Bytes ExpectedDataFile() const {
    ByteImage sys(260);
    sys.I32(0, 9);
    sys.I32(4, 4);
    sys.Str(8, "Test DB", 63);
    sys.I32(72, 7);
    ByteImage out;
    out.Append(sys.B);
    for (const auto& e : Items) out.Append(Points(e.Points));
    ByteImage meta(1024);
    meta.Str(0, "k", 255);
    meta.Str(256, "c", 127);
    out.Append(meta.B);
    out.Append(Bytes{'h', 'e', 'l', 'l', 'o'});
    return out.B;
  }

  LiteralModel Model() const {
    LiteralModel m;
    for (const auto& e : Items) {
      TgdbData d{};
      d.LatLow = e.LatLow;
      d.LatHigh = e.LatHigh;
      d.LongLow = e.LongLow;
      d.LongHigh = e.LongHigh;
      m.Add(d);
    }
    return m;
  }
};

}  // namespace

TEST_F(GeoDBFiles, NewDatabaseHasSevenFilesAndAnEmptySystemRecord) {
  TGeoDB db;
  db.SetDBName(Base + ".db");
  EXPECT_EQ(db.DBName(), Base);
  ByteImage sys(260);
  sys.I32(4, 4);
  EXPECT_EQ(ReadAll(Base + ".vekgdd"), sys.B);
  EXPECT_TRUE(std::filesystem::exists(Base + ".vekgds"));
  EXPECT_EQ(std::filesystem::file_size(Base + ".vekgds"), 0u);
  for (int i = 0; i < 5; ++i) {
    ASSERT_TRUE(std::filesystem::exists(IndexName(Base, i)));
    EXPECT_EQ(std::filesystem::file_size(IndexName(Base, i)), 0u);
  }
  EXPECT_EQ(db.DBVersion(), 4);
  EXPECT_EQ(db.Revision(), 0);
  EXPECT_EQ(db.Description(), "");
  db.SetDBName("");
  EXPECT_EQ(db.DBName(), "");
  // No stray temporary files are left next to the database.
  int files = 0;
  for (const auto& f : std::filesystem::directory_iterator(Dir.Path)) files += f.is_regular_file();
  EXPECT_EQ(files, 7);
}

TEST_F(GeoDBFiles, ADotInADirectoryIsNotAnExtension) {
  std::filesystem::create_directories(Dir / "maps.v2");
  TGeoDB db;
  db.SetDBName(Dir / "maps.v2/world");
  EXPECT_EQ(db.DBName(), Dir / "maps.v2/world");
  EXPECT_TRUE(std::filesystem::exists(Dir / "maps.v2/world.vekgdd"));
}

TEST_F(GeoDBFiles, EveryItemKindByteForByte) {
  {
    TestDB db;
    db.SetDBName(Base + ".db");
    Fill(db);
    if (HasFatalFailure()) return;
  }
  EXPECT_EQ(ReadAll(Base + ".vekgdd"), ExpectedDataFile());
  ByteImage items;
  for (size_t i = 0; i < Items.size(); ++i)
    items.Append(ItemRecord(static_cast<int32_t>(i + 1), Items[i], static_cast<int32_t>(10 * (i + 1))));
  EXPECT_EQ(ReadAll(Base + ".vekgds"), items.B);
  const LiteralModel m = Model();
  for (int i = 0; i < 5; ++i) EXPECT_EQ(ReadAll(IndexName(Base, i)), m.IndexBytes(i)) << "index " << i;
  // Spot check of the model itself: LatLow ascending starts with the undefined item (10,
  // entry 9 stored as index 8), then the border (46.4, entry 2).
  const Bytes ix1 = ReadAll(IndexName(Base, 1));
  ASSERT_EQ(ix1.size(), 72u);
  EXPECT_EQ(ix1[4], 8);
  EXPECT_EQ(ix1[12], 1);
}

TEST_F(GeoDBFiles, ReopeningGivesBackEveryField) {
  {
    TestDB db;
    db.SetDBName(Base);
    Fill(db);
    if (HasFatalFailure()) return;
  }
  TGeoDB db;
  db.SetDBName(Base);
  ASSERT_EQ(db.NumEntries(), 9);
  EXPECT_EQ(db.Description(), "Test DB");
  EXPECT_EQ(db.Revision(), 7);
  for (int e = 1; e <= 9; ++e) {
    SCOPED_TRACE(e);
    const auto& x = Items[size_t(e - 1)];
    const TgdbData d = db.Data(e);
    EXPECT_EQ(d.ItemId, e);
    EXPECT_EQ(d.Name.str(), x.Name);
    EXPECT_EQ(d.Altitude, 100.5f);
    EXPECT_EQ(d.ClassFlag, 2);
    EXPECT_EQ(d.Tag, 10 * e);
    EXPECT_EQ(d.BlobOffset, x.BlobOffset);
    EXPECT_EQ(d.Date, kDate);
    EXPECT_EQ(d.StateFlag, 3);
    EXPECT_EQ(d.LatLow, x.LatLow);
    EXPECT_EQ(d.LatHigh, x.LatHigh);
    EXPECT_EQ(d.LongLow, x.LongLow);
    EXPECT_EQ(d.LongHigh, x.LongHigh);
    EXPECT_EQ(d.ItemKind, x.Kind);
    EXPECT_EQ(d.NumPoints, x.NumPoints);
    if (IsPolygonKind(x.Kind)) {
      EXPECT_EQ(d.Closed, x.Closed);
      TgdbPolygon p{{1, 1}};
      ASSERT_TRUE(db.RetrievePolygon(e, p));
      ASSERT_EQ(p.size(), x.Points.size());
      for (size_t i = 0; i < p.size(); ++i) {
        EXPECT_EQ(p[i].Latit, x.Points[i].Latit);
        EXPECT_EQ(p[i].Longit, x.Points[i].Longit);
      }
    }
    EXPECT_EQ(db.SearchForItemID(e), e);
  }
  TMetaInfo meta{};
  TMemoryStream s;
  ASSERT_TRUE(db.RetrieveBLOB(8, meta, s));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(s.Memory()), size_t(s.Size())), "hello");
  EXPECT_EQ(meta.Keywords.str(), "k");
  EXPECT_EQ(meta.Caption.str(), "c");
  // Identifiers continue after the highest one issued.
  EXPECT_EQ(db.Data(db.AddTown("Linz", 0, 0, TSCoords{48.3f, 14.3f}, 0, 0, 0)).ItemId, 10);
}

TEST_F(GeoDBFiles, NameFieldIsPaddedWithBlanksAndCutAt59) {
  TGeoDB db;
  db.SetDBName(Base);
  db.AddTown("ab", 0, 0, TSCoords{1, 2}, 0, 0, 0);
  const std::string long59(59, 'x');
  db.AddTown(long59 + "yz", 0, 0, TSCoords{1, 2}, 0, 0, 0);
  const Bytes gds = ReadAll(Base + ".vekgds");
  ASSERT_EQ(gds.size(), 240u);
  EXPECT_EQ(gds[4], 2);
  EXPECT_EQ(gds[5], 'a');
  EXPECT_EQ(gds[6], 'b');
  for (int i = 7; i < 64; ++i) EXPECT_EQ(gds[size_t(i)], ' ') << i;
  EXPECT_EQ(gds[124], 59);
  EXPECT_EQ(db.Data(2).Name.str(), long59);
  // A town adds nothing to the data file.
  EXPECT_EQ(std::filesystem::file_size(Base + ".vekgdd"), 260u);
}

TEST_F(GeoDBFiles, DeletingTheFirstOfThreeMovesTheThirdRecord) {
  TGeoDB db;
  db.SetDBName(Base);
  for (const char* n : {"a", "b", "c"}) db.AddTown(n, 0, 0, TSCoords{1, 2}, 0, 0, 0);
  const Bytes before = ReadAll(Base + ".vekgds");
  db.DeleteData(1);
  const Bytes after = ReadAll(Base + ".vekgds");
  ASSERT_EQ(after.size(), 240u);
  EXPECT_TRUE(std::equal(after.begin(), after.begin() + 120, before.begin() + 240));
  EXPECT_EQ(db.Data(1).Name.str(), "c");
  EXPECT_EQ(db.SearchForItemID(3), 1);
  EXPECT_EQ(db.SearchForItemID(1), 0);
}

TEST_F(GeoDBFiles, ReservedBytesOfForeignSystemRecordSurvive) {
  {
    TGeoDB db;
    db.SetDBName(Base);
  }
  Bytes gdd = ReadAll(Base + ".vekgdd");
  for (size_t i = 76; i < 260; ++i) gdd[i] = static_cast<uint8_t>(i);
  gdd[4] = 3;  // the version is not checked
  WriteAll(Base + ".vekgdd", gdd);
  TGeoDB db;
  db.SetDBName(Base);
  EXPECT_EQ(db.DBVersion(), 3);
  db.SetRevision(5);
  const Bytes again = ReadAll(Base + ".vekgdd");
  for (size_t i = 76; i < 260; ++i) EXPECT_EQ(again[i], static_cast<uint8_t>(i));
  EXPECT_EQ(again[72], 5);
}

TEST_F(GeoDBFiles, ForeignPaddingIsIgnoredAndDeleteCopiesRecordsWhole) {
  {
    TGeoDB db;
    db.SetDBName(Base);
    db.AddTown("a", 0, 0, TSCoords{1, 2}, 0, 0, 0);
    db.AddTown("b", 0, 0, TSCoords{3, 4}, 0, 0, 0);
  }
  Bytes gds = ReadAll(Base + ".vekgds");
  for (size_t r : {0u, 120u})
    for (size_t p : {69u, 70u, 71u, 109u, 110u, 111u, 116u, 117u, 118u, 119u}) gds[r + p] = 0xEE;
  WriteAll(Base + ".vekgds", gds);
  TGeoDB db;
  db.SetDBName(Base);
  EXPECT_EQ(db.Data(2).ItemKind, gitTown);
  EXPECT_EQ(db.Data(2).LatLow, 3);
  db.DeleteData(1);
  const Bytes after = ReadAll(Base + ".vekgds");
  EXPECT_TRUE(std::equal(after.begin(), after.end(), gds.begin() + 120));
}
