// Adding, replacing, deleting and reading items; progress; lazy writing; messages.
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <filesystem>

#include "DegreeText.h"
#include "GeoDBTestUtil.h"

using namespace vek;
using namespace geodbtest;
namespace fs = std::filesystem;

namespace {

class GeoDBEdit : public ::testing::Test {
 protected:
  TempDir Dir;
  std::string Base = Dir / "db";
  TestDB DB;
  std::vector<int> Reports;
  void SetUp() override {
    DB.SetName("GeoDB1");
    DB.SetDBName(Base);
    DB.OnPercentDone = [this](TObject* sender, int32_t p) {
      EXPECT_EQ(sender, &DB);
      Reports.push_back(p);
    };
  }
  int64_t DataSize() const { return static_cast<int64_t>(fs::file_size(Base + ".vekgdd")); }
  int Town(const char* name, float lat, float lon) { return DB.AddTown(name, 0, 0, TSCoords{lat, lon}, 0, 0, 0); }
  static TgdbPolygon Poly(std::initializer_list<TSCoords> p) { return TgdbPolygon(p); }
};

std::string ErrorText(const std::function<void()>& f) {
  try {
    f();
  } catch (const EVEKGeoDBError& e) {
    return e.what();
  }
  return "(no EVEKGeoDBError)";
}

}  // namespace

TEST_F(GeoDBEdit, TownKeepsItsPositionAsBoundsAndAddsNoData) {
  EXPECT_EQ(Town("a", 47.5f, 15.25f), 1);
  const TgdbData d = DB.Data(1);
  EXPECT_EQ(d.ItemId, 1);
  EXPECT_EQ(d.BlobOffset, -1);
  EXPECT_EQ(d.LatLow, 47.5f);
  EXPECT_EQ(d.LatHigh, 47.5f);
  EXPECT_EQ(d.LongLow, 15.25f);
  EXPECT_EQ(d.LongHigh, 15.25f);
  EXPECT_EQ(DataSize(), 260);
  EXPECT_EQ(ExtractLocation(d).Latit, 47.5f);
  EXPECT_EQ(ExtractLocation(d).Longit, 15.25f);
  EXPECT_EQ(Reports, (std::vector<int>{0, 100}));
}

TEST_F(GeoDBEdit, PolygonBoundsReplaceTheCallersBounds) {
  DB.AddBorder("b", Poly({{10, 20}, {12, 25}, {11, 18}}), false, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  const TgdbData d = DB.Data(1);
  EXPECT_EQ(d.LatLow, 10);
  EXPECT_EQ(d.LatHigh, 12);
  EXPECT_EQ(d.LongLow, 18);
  EXPECT_EQ(d.LongHigh, 25);
  EXPECT_EQ(d.BlobOffset, 260);
  // 0 first, then after each point, then 100.
  EXPECT_EQ(Reports, (std::vector<int>{0, 0, 33, 67, 100}));
}

TEST_F(GeoDBEdit, EmptyPolygonHasInvertedBoundsAndPointsAtTheEnd) {
  Town("t", 1, 1);
  DB.AddRiver("r", Poly({{1, 1}, {2, 2}}), 0, 0, 0, 0, 0, 0, 0, 0, 0);
  const int64_t size = DataSize();
  const int e = DB.AddRoad("empty", {}, 0, 0, 5, 5, 5, 5, 0, 0, 0);
  const TgdbData d = DB.Data(e);
  EXPECT_EQ(d.NumPoints, 0);
  EXPECT_EQ(d.BlobOffset, size);
  EXPECT_EQ(d.LatLow, 90);
  EXPECT_EQ(d.LatHigh, -90);
  EXPECT_EQ(d.LongLow, 180);
  EXPECT_EQ(d.LongHigh, -180);
  TgdbPolygon p{{9, 9}};
  EXPECT_TRUE(DB.RetrievePolygon(e, p));
  EXPECT_TRUE(p.empty());
  // An item without area is found by no area query.
  EXPECT_EQ(DB.FindItemsInArea(-90, 90, -180, 180), (std::vector<int32_t>{1, 2}));
}

TEST_F(GeoDBEdit, LakeIsAlwaysClosedRiverRoadRouteNever) {
  const TgdbPolygon p = Poly({{1, 1}, {2, 2}});
  EXPECT_TRUE(DB.Data(DB.AddLake("l", p, 0, 0, 0, 0, 0, 0, 0, 0, 0)).Closed);
  EXPECT_FALSE(DB.Data(DB.AddRiver("r", p, 0, 0, 0, 0, 0, 0, 0, 0, 0)).Closed);
  EXPECT_FALSE(DB.Data(DB.AddRoute("r", p, 0, 0, 0, 0, 0, 0, 0, 0, 0)).Closed);
  EXPECT_TRUE(DB.Data(DB.AddCity("c", p, true, 0, 0, 0, 0, 0, 0, 0, 0, 0)).Closed);
  DB.ReplaceLake(4, "l2", p, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(DB.Data(4).ItemKind, gitLake);
  EXPECT_TRUE(DB.Data(4).Closed);
}

TEST_F(GeoDBEdit, ReplaceKeepsEntryAndIdentifierAndAppendsTheNewBlock) {
  for (int i = 0; i < 4; ++i) DB.AddBorder("b", Poly({{float(i), 0}, {float(i) + 1, 1}}), false, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  const int64_t end = DataSize();
  const int32_t id = DB.Data(3).ItemId;
  DB.ReplaceBorder(3, "new", Poly({{50, 60}, {51, 61}, {52, 62}}), true, 1, 2, 0, 0, 0, 0, 3, 4, 5);
  const TgdbData d = DB.Data(3);
  EXPECT_EQ(DB.NumEntries(), 4);
  EXPECT_EQ(d.ItemId, id);
  EXPECT_EQ(d.BlobOffset, end);
  EXPECT_EQ(d.NumPoints, 3);
  EXPECT_EQ(d.Name.str(), "new");
  EXPECT_EQ(DataSize(), end + 24);
  EXPECT_EQ(DB.SearchForItemID(id), 3);
  // The index follows the new bounds.
  EXPECT_EQ(DB.IxLatLow(4).index, 3);
  EXPECT_FLOAT_EQ(DB.IxLatLow(4).LLValue, 50);
  // Out of range or closed: nothing happens.
  DB.ReplaceTown(0, "x", 0, 0, TSCoords{1, 1}, 0, 0, 0);
  DB.ReplaceTown(5, "x", 0, 0, TSCoords{1, 1}, 0, 0, 0);
  EXPECT_EQ(DB.Data(1).Name.str(), "b");
}

TEST_F(GeoDBEdit, DeleteMovesTheLastEntryIntoTheGap) {
  for (int i = 1; i <= 5; ++i) Town(std::to_string(i).c_str(), float(i), float(i));
  DB.DeleteData(2);
  EXPECT_EQ(DB.NumEntries(), 4);
  EXPECT_EQ(DB.Data(2).Name.str(), "5");
  EXPECT_EQ(DB.SearchForItemID(5), 2);
  EXPECT_EQ(DB.SearchForItemID(2), 0);
  EXPECT_EQ(fs::file_size(Base + ".vekgds"), 480u);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(fs::file_size(IndexName(Base, i)), 32u);
  DB.DeleteData(4);  // the last: nothing moves
  EXPECT_EQ(DB.Data(3).Name.str(), "3");
  EXPECT_EQ(DB.Data(2).Name.str(), "5");
  DB.DeleteData(0);
  DB.DeleteData(9);
  EXPECT_EQ(DB.NumEntries(), 3);
  // Identifiers are never reused.
  EXPECT_EQ(DB.Data(Town("6", 6, 6)).ItemId, 6);
}

TEST_F(GeoDBEdit, NothingHappensWithoutADatabase) {
  TGeoDB db;
  TMetaInfo m{};
  TgdbPolygon p{{1, 2}};
  TMemoryStream s;
  char buf[4];
  EXPECT_EQ(db.AddTown("a", 0, 0, TSCoords{1, 1}, 0, 0, 0), -1);
  EXPECT_EQ(db.AddBLOB("a", 0, 0, 0, 0, 0, 0, 0, 0, 0, m, buf, 4), -1);
  db.ReplaceTown(1, "a", 0, 0, TSCoords{1, 1}, 0, 0, 0);
  db.DeleteData(1);
  EXPECT_FALSE(db.RetrievePolygon(1, p));
  EXPECT_EQ(p.size(), 1u);
  EXPECT_FALSE(db.RetrieveBLOB(1, m, s));
  EXPECT_FALSE(db.RetrieveBLOB(1, m, buf, 4));
  EXPECT_FALSE(db.RetrieveBLOB(1, Dir.Path + "/", m));
  db.SetDescription("x");
  db.SetRevision(3);
  EXPECT_EQ(db.Description(), "");
  EXPECT_EQ(db.Revision(), 0);
  EXPECT_TRUE(db.FindItemsInArea(-90, 90, -180, 180).empty());
}

TEST_F(GeoDBEdit, DescriptionKeepsSixtyCharacters) {
  const std::string seventy(70, 'd');
  DB.SetDescription(seventy);
  EXPECT_EQ(DB.Description(), seventy.substr(0, 60));
  EXPECT_EQ(ReadAll(Base + ".vekgdd")[8], 60);
  DB.SetDescription("Zürich");
  EXPECT_EQ(DB.Description(), "Zürich");
  EXPECT_EQ(ReadAll(Base + ".vekgdd")[8], 6);  // one 8-bit character for the umlaut
}

TEST_F(GeoDBEdit, DataGetterClampsTheEntry) {
  Town("first", 1, 1);
  Town("last", 2, 2);
  EXPECT_EQ(DB.Data(0).Name.str(), "first");
  EXPECT_EQ(DB.Data(DB.NumEntries() + 5).Name.str(), "last");
}

TEST_F(GeoDBEdit, LazyWritingDefersTheIndexFiles) {
  DB.SetLazyWrite(true);
  Town("a", 1, 1);
  Town("b", 2, 2);
  EXPECT_EQ(fs::file_size(IndexName(Base, 1)), 0u);
  EXPECT_EQ(fs::file_size(Base + ".vekgds"), 240u);  // item records are written at once
  Town("polygon follows", 2, 2);
  DB.AddRiver("r", Poly({{1, 2}, {3, 4}}), 0, 0, 0, 0, 0, 0, 0, 0, 0);
  // So is the highest identifier, with every addition, before and after data blocks.
  const Bytes gdd = ReadAll(Base + ".vekgdd");
  ASSERT_EQ(gdd.size(), 260u + 16u);
  EXPECT_EQ(gdd[0], 4);
  DB.DeleteData(4);
  DB.DeleteData(3);
  DB.SetLazyWrite(false);
  EXPECT_EQ(fs::file_size(IndexName(Base, 1)), 16u);
  DB.SetLazyWrite(true);
  Town("c", 3, 3);
  DB.SetDBName("");
  EXPECT_FALSE(DB.LazyWrite());
  EXPECT_EQ(fs::file_size(IndexName(Base, 0)), 24u);
  {
    TGeoDB other;
    other.SetDBName(Base);
    other.SetLazyWrite(true);
    other.AddTown("d", 0, 0, TSCoords{4, 4}, 0, 0, 0);
    // Switching to another database writes the pending indexes of the first.
    other.SetDBName(Dir / "second");
    EXPECT_EQ(fs::file_size(IndexName(Base, 2)), 32u);
    EXPECT_TRUE(other.LazyWrite());
    other.AddTown("e", 0, 0, TSCoords{4, 4}, 0, 0, 0);
  }
  // The destructor wrote the second database's indexes.
  EXPECT_EQ(fs::file_size(IndexName(Dir / "second", 3)), 8u);
}

TEST_F(GeoDBEdit, ProgressCanBeSwitchedOff) {
  DB.SetOnPercDoneEnabled(false);
  Town("a", 1, 1);
  DB.AddBorder("b", Poly({{1, 1}, {2, 2}}), false, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_TRUE(Reports.empty());
}

TEST_F(GeoDBEdit, RetrievePolygonReportsAndRejectsOtherKinds) {
  TgdbPolygon many;
  for (int i = 0; i < 250; ++i) many.push_back({float(i) / 10, 1});
  const int e = DB.AddCity("c", many, false, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  const int t = Town("t", 1, 1);
  Reports.clear();
  TgdbPolygon p;
  ASSERT_TRUE(DB.RetrievePolygon(e, p));
  ASSERT_EQ(p.size(), 250u);
  EXPECT_EQ(p[249].Latit, 24.9f);
  ASSERT_GE(Reports.size(), 3u);
  EXPECT_EQ(Reports.front(), 0);
  EXPECT_EQ(Reports.back(), 100);
  EXPECT_TRUE(std::is_sorted(Reports.begin(), Reports.end()));
  Reports.clear();
  TgdbPolygon untouched{{7, 7}};
  EXPECT_FALSE(DB.RetrievePolygon(t, untouched));
  EXPECT_EQ(untouched.size(), 1u);
  EXPECT_FALSE(DB.RetrievePolygon(99, untouched));
  EXPECT_EQ(Reports, (std::vector<int>{0, 100, 0, 100}));
  // Entries below 1 count as 1.
  EXPECT_TRUE(DB.RetrievePolygon(-3, p));
}

// ---- BLOBs ----

TEST_F(GeoDBEdit, BlobFromMemoryStreamAndBufferRoundTrip) {
  std::vector<uint8_t> data(40000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
  TMetaInfo meta{};
  meta.Comment = "comment";
  meta.FilePath = "orig/path.bin";
  const int e = DB.AddBLOB("blob", 0, 0, 1, 2, 3, 4, 0, 0, 0, meta, data.data(), 40000);
  EXPECT_EQ(Reports, (std::vector<int>{0, 41, 82, 100}));
  EXPECT_EQ(DB.Data(e).Size, 40000);
  EXPECT_EQ(DataSize(), 260 + 1024 + 40000);
  EXPECT_EQ(DB.Data(e).LatHigh, 2);  // BLOBs keep the caller's bounds

  TMemoryStream ms;
  ms.Write(data.data(), 1000);
  ms.SetPosition(500);  // the whole stream is stored, whatever its position
  const int e2 = DB.AddBLOB("stream", 0, 0, 0, 0, 0, 0, 0, 0, 0, meta, ms);
  EXPECT_EQ(DB.Data(e2).Size, 1000);

  TMetaInfo back{};
  std::vector<uint8_t> buf(40000);
  ASSERT_TRUE(DB.RetrieveBLOB(e, back, buf.data(), 40000));
  EXPECT_EQ(buf, data);
  EXPECT_EQ(back.Comment.str(), "comment");
  EXPECT_EQ(back.FilePath.str(), "orig/path.bin");

  TMemoryStream out;
  out.Write("junk-junk", 9);
  ASSERT_TRUE(DB.RetrieveBLOB(e2, back, out));
  ASSERT_EQ(out.Size(), 1000);
  EXPECT_EQ(std::memcmp(out.Memory(), data.data(), 1000), 0);

  EXPECT_EQ(ErrorText([&] { DB.RetrieveBLOB(e, back, buf.data(), 39999); }),
            "Component \"GeoDB1\": RetrieveBLOB: BLOB to be retrieved is larger than SizeOfBlobData.");
  // A town is not a BLOB; the stream is still sized by the record.
  const int t = Town("t", 1, 1);
  EXPECT_FALSE(DB.RetrieveBLOB(t, back, out));
  EXPECT_EQ(out.Size(), 0);
  EXPECT_FALSE(DB.RetrieveBLOB(t, back, buf.data(), 10));
}

TEST_F(GeoDBEdit, EmptyBlobStillHoldsItsMetaInformation) {
  TMetaInfo meta{};
  const int e = DB.AddBLOB("empty", 0, 0, 0, 0, 0, 0, 0, 0, 0, meta, nullptr, 0);
  EXPECT_EQ(DataSize(), 260 + 1024);
  TMemoryStream s;
  EXPECT_TRUE(DB.RetrieveBLOB(e, meta, s));
  EXPECT_EQ(s.Size(), 0);
  EXPECT_EQ(ErrorText([&] { DB.AddBLOB("bad", 0, 0, 0, 0, 0, 0, 0, 0, 0, meta, nullptr, -5); }).find("invalid BLOB data") !=
                std::string::npos,
            true);
  EXPECT_EQ(DB.NumEntries(), 1);
}

TEST_F(GeoDBEdit, BlobFromFileTakesTheFilesTimeNameAndPath) {
  const std::string src = Dir / "picture.jpg";
  std::vector<uint8_t> content(20000);
  for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<uint8_t>(i ^ 0x5A);
  WriteAll(src, content);
  // A fixed modification time: 2020-05-17 10:20:30 local time.
  std::tm tm{};
  tm.tm_year = 120;
  tm.tm_mon = 4;
  tm.tm_mday = 17;
  tm.tm_hour = 10;
  tm.tm_min = 20;
  tm.tm_sec = 30;
  tm.tm_isdst = -1;
  const auto sys = std::chrono::system_clock::from_time_t(std::mktime(&tm));
  fs::last_write_time(src, std::chrono::file_clock::from_sys(sys));

  TMetaInfo meta{};
  meta.Caption = "cap";
  const int e = DB.AddBLOB(src, 12345.0, 0, 0, 0, 0, 0, 0, 0, 0, meta);
  const TgdbData d = DB.Data(e);
  EXPECT_EQ(d.Name.str(), "picture.jpg");
  EXPECT_EQ(d.Size, 20000);
  EXPECT_DOUBLE_EQ(d.Date, EncodeDateTime(2020, 5, 17, 10, 20, 30));
  // 16384 of 20000 bytes, then the rest: never above 100.
  EXPECT_EQ(Reports, (std::vector<int>{0, 82, 100, 100}));

  const int e2 = DB.AddBLOB(src, "c:\\store\\other.jpg", 0, 0, 0, 0, 0, 0, 0, 0, 0, meta);
  const int e3 = DB.AddBLOB(src, "third.jpg", "D:\\originals\\p.jpg", 0, 0, 0, 0, 0, 0, 0, 0, 0, meta);
  EXPECT_EQ(DB.Data(e2).Name.str(), "other.jpg");
  TMetaInfo back{};
  TMemoryStream s;
  ASSERT_TRUE(DB.RetrieveBLOB(e2, back, s));
  EXPECT_EQ(back.FilePath.str(), src);
  EXPECT_EQ(back.Caption.str(), "cap");
  ASSERT_TRUE(DB.RetrieveBLOB(e3, back, s));
  EXPECT_EQ(back.FilePath.str(), "D:\\originals\\p.jpg");
  EXPECT_EQ(DB.Data(e3).Name.str(), "third.jpg");
  ASSERT_EQ(s.Size(), 20000);
  EXPECT_EQ(std::memcmp(s.Memory(), content.data(), 20000), 0);

  // Replacing from a file keeps the entry and identifier.
  WriteAll(Dir / "small.txt", Bytes{'x', 'y'});
  const int32_t id = DB.Data(e).ItemId;
  DB.ReplaceBLOB(e, Dir / "small.txt", 0, 0, 0, 0, 0, 0, 0, 0, 0, meta);
  EXPECT_EQ(DB.Data(e).ItemId, id);
  EXPECT_EQ(DB.Data(e).Size, 2);
  EXPECT_EQ(DB.Data(e).Name.str(), "small.txt");
}

TEST_F(GeoDBEdit, MissingBlobSourceRaisesAndAppendsNothing) {
  const int64_t before = DataSize();
  TMetaInfo meta{};
  EXPECT_THROW(DB.AddBLOB(Dir / "missing.bin", 0, 0, 0, 0, 0, 0, 0, 0, 0, meta), EInOutError);
  EXPECT_EQ(DB.NumEntries(), 0);
  EXPECT_EQ(DataSize(), before);
  // The identifier was consumed.
  EXPECT_EQ(DB.Data(Town("a", 1, 1)).ItemId, 2);
}

TEST_F(GeoDBEdit, BlobToFileInADirectory) {
  const char text[] = "payload";
  TMetaInfo meta{};
  const int e = DB.AddBLOB("My File.txt", 0, 0, 0, 0, 0, 0, 0, 0, 0, meta, text, 7);
  fs::create_directories(Dir / "out");
  TMetaInfo back{};
  Reports.clear();
  ASSERT_TRUE(DB.RetrieveBLOB(e, Dir / "out/", back));
  EXPECT_EQ(ReadAll(Dir / "out/MyFile.txt"), Bytes(text, text + 7));
  EXPECT_EQ(Reports.front(), 0);
  EXPECT_EQ(Reports.back(), 100);
  // A trailing backslash names a directory as well.
  ASSERT_TRUE(DB.RetrieveBLOB(e, Dir.Path + "\\", back));
  EXPECT_TRUE(fs::exists(Dir / "MyFile.txt"));
  // An explicit file name is used as it stands.
  ASSERT_TRUE(DB.RetrieveBLOB(e, Dir / "explicit.bin", back));
  EXPECT_EQ(fs::file_size(Dir / "explicit.bin"), 7u);
  // An empty path writes into the current directory.
  const auto cwd = fs::current_path();
  fs::current_path(Dir / "out");
  const bool ok = DB.RetrieveBLOB(e, "", back);
  fs::current_path(cwd);
  EXPECT_TRUE(ok);
  // Not a BLOB: no file, no progress.
  const int t = Town("t", 1, 1);
  Reports.clear();
  EXPECT_FALSE(DB.RetrieveBLOB(t, Dir / "out/", back));
  EXPECT_TRUE(Reports.empty());
}

TEST_F(GeoDBEdit, BlobNamesNeverLeaveTheDirectory) {
  fs::create_directories(Dir / "jail");
  TMetaInfo meta{};
  const char x[] = "x";
  for (const char* name : {"../escape.txt", "..\\..\\escape.txt", "/etc/passwd", "C:\\Windows\\win.ini", "sub/dir/f"}) {
    SCOPED_TRACE(name);
    const int e = DB.AddBLOB(name, 0, 0, 0, 0, 0, 0, 0, 0, 0, meta, x, 1);
    TMetaInfo back{};
    ASSERT_TRUE(DB.RetrieveBLOB(e, Dir / "jail/", back));
  }
  // Everything landed inside the directory, as plain names.
  int inside = 0;
  for (const auto& f : fs::recursive_directory_iterator(Dir.Path)) {
    if (!f.is_regular_file()) continue;
    const std::string p = f.path().string();
    if (p.find("/jail/") != std::string::npos) {
      ++inside;
      EXPECT_EQ(f.path().parent_path(), fs::path(Dir / "jail"));
    } else {
      EXPECT_EQ(p.find("escape"), std::string::npos) << p;
    }
  }
  EXPECT_EQ(inside, 5);
  for (const char* name : {"..", ".", "", "///", ":"}) {
    SCOPED_TRACE(name);
    const int e = DB.AddBLOB(name, 0, 0, 0, 0, 0, 0, 0, 0, 0, meta, x, 1);
    TMetaInfo back{};
    EXPECT_EQ(ErrorText([&] { DB.RetrieveBLOB(e, Dir / "jail/", back); }),
              "Component \"GeoDB1\": RetrieveBLOB: invalid filename.");
  }
}

// ---- failures ----

TEST_F(GeoDBEdit, UnwritableDataFileRaisesCannotOpenAndChangesNothingElse) {
  Town("a", 1, 1);
  const Bytes items = ReadAll(Base + ".vekgds");
  const Bytes gdd = ReadAll(Base + ".vekgdd");
  fs::remove(Base + ".vekgdd");
  fs::create_directory(Base + ".vekgdd");  // cannot be opened as a file
  EXPECT_EQ(ErrorText([&] { Town("b", 2, 2); }), "Component \"GeoDB1\": AddData: cannot open database.");
  EXPECT_EQ(DB.NumEntries(), 1);
  EXPECT_EQ(ReadAll(Base + ".vekgds"), items);
  EXPECT_EQ(ErrorText([&] { DB.SetDescription("x"); }), "Component \"GeoDB1\": SetDescription: cannot open database.");
  EXPECT_EQ(ErrorText([&] { DB.SetRevision(2); }), "Component \"GeoDB1\": SetRevision: cannot open database.");
  fs::remove(Base + ".vekgdd");
  WriteAll(Base + ".vekgdd", gdd);
  EXPECT_EQ(DB.Data(Town("c", 3, 3)).ItemId, 3);  // identifier 2 stays consumed
}

// ---- degree text ----

TEST(GeoDBDegreeText, HemisphereLettersAndClamping) {
  EXPECT_EQ(GeoLatitude(-95, dfDegrees, 2), DegreeToStr(90, dfDegrees, 2) + " S");
  EXPECT_EQ(GeoLatitude(47.5, dfDegMin, 1), DegreeToStr(47.5, dfDegMin, 1) + " N");
  EXPECT_EQ(GeoLongitude(0, dfDegMinSec, 0), DegreeToStr(0, dfDegMinSec, 0) + " E");
  EXPECT_EQ(GeoLongitude(-200, dfDegrees, 0), DegreeToStr(180, dfDegrees, 0) + " W");
  EXPECT_EQ(GeoLongitude(std::nan(""), dfDegrees, 1), DegreeToStr(180, dfDegrees, 1) + " W");
  EXPECT_EQ(GeoLatitude(std::nan(""), dfDegrees, 1), DegreeToStr(90, dfDegrees, 1) + " S");
}

TEST(GeoDBRecords, ItemNamesAndClearedRecords) {
  EXPECT_STREQ(GDB_ITEMNAMES[gitBorder], "Border");
  EXPECT_STREQ(GDB_ITEMNAMES[gitBLOB], "BLOB");
  EXPECT_STREQ(GDB_ITEMNAMES[gitUndefined], "Undefined");
  EXPECT_STREQ(GdbItemName(static_cast<TgdbItem>(200)), "Undefined");
  TgdbData d{};
  d.NumPoints = 42;
  d.ItemId = 9;
  d.Name = "abc";
  ClearGdbData(d);
  EXPECT_EQ(d.NumPoints, 42);
  EXPECT_EQ(d.ItemId, 0);
  EXPECT_EQ(d.BlobOffset, -1);
  EXPECT_EQ(d.ItemKind, gitUndefined);
  EXPECT_EQ(d.Name.length(), 0);
  EXPECT_EQ(d.Name.Chars[58], ' ');
  EXPECT_GT(d.Date, 40000.0);
  TMetaInfo m{};
  m.Keywords = "k";
  m.Comment = "c";
  ClearMetaInfo(m);
  EXPECT_TRUE(m.Keywords.empty());
  EXPECT_TRUE(m.Comment.empty());
}
