// The GeoPackage export read back by GDAL's ogrinfo, the independent client: layers, feature
// counts, geometry types and coordinates.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QString>

#include "GeoDBTestUtil.h"

namespace {

using namespace vek;

QString OgrInfo(const QStringList& args) {
  if (QStandardPaths::findExecutable("ogrinfo").isEmpty()) return {};
  QProcess p;
  p.start("ogrinfo", args);
  p.waitForFinished(60000);
  return QString::fromUtf8(p.readAllStandardOutput());
}

TEST(GeoPackage, OgrInfoReadsWhatWeWrote) {
  geodbtest::TempDir dir;
  TGeoDB db;
  db.SetDBName((dir / "world.vekgdd"));
  const TDateTime date = 45000.5;  // 2023-03-15 12:00
  db.AddTown("Vienna", date, 0, TSCoords{48.2f, 16.375f}, 171, 0, 0);
  db.AddTown("Graz", date, 0, TSCoords{47.0625f, 15.4375f}, 353, 0, 0);
  const TgdbPolygon lake{{47.5f, 9.5f}, {47.75f, 9.25f}, {47.5f, 9.0f}};
  db.AddLake("Lake", lake, date, 0, 47.5f, 47.75f, 9.0f, 9.5f, 395, 0, 0);
  const TgdbPolygon river{{48.0f, 10.0f}, {48.25f, 12.0f}, {48.5f, 14.0f}};
  db.AddRiver("Danube", river, date, 0, 48.0f, 48.5f, 10.0f, 14.0f, 0, 0, 0);
  db.AddBorder("Line", river, false, date, 0, 48.0f, 48.5f, 10.0f, 14.0f, 0, 0, 0);
  EXPECT_THROW(ExportGeoPackage(*new TGeoDB(&db), (dir / "none.gpkg")), EVEKGeoDBError);

  const std::string out = (dir / "world.gpkg");
  const TGeoPackageCounts counts = ExportGeoPackage(db, out);
  EXPECT_EQ(counts.Features, 5);
  EXPECT_EQ(counts.Skipped, 0);

  const QString towns = OgrInfo({"-ro", "-al", "-fid", "1", QString::fromStdString(out), "towns"});
  if (towns.isEmpty()) GTEST_SKIP() << "ogrinfo not installed";
  EXPECT_TRUE(towns.contains("Geometry: Point")) << towns.toStdString();
  EXPECT_TRUE(towns.contains("Feature Count: 2"));
  EXPECT_TRUE(towns.contains("POINT (16.375 48.2")) << towns.toStdString();
  EXPECT_TRUE(towns.contains("name (String) = Vienna"));
  EXPECT_TRUE(towns.contains("2023/03/15 12:00:00"));

  const QString all = OgrInfo({"-ro", "-so", QString::fromStdString(out)});
  for (const char* layer : {"towns (Point)", "lakes (Polygon)", "rivers (Line String)",
                            "borders (Polygon)", "cities (Point)", "roads (Line String)"})
    EXPECT_TRUE(all.contains(layer)) << layer << "\n" << all.toStdString();
  const QString lakes = OgrInfo({"-ro", "-al", QString::fromStdString(out), "lakes"});
  // The ring is closed for the polygon.
  EXPECT_TRUE(lakes.contains("POLYGON ((9.5 47.5,9.25 47.75,9.0 47.5,9.5 47.5))")) << lakes.toStdString();
  const QString rivers = OgrInfo({"-ro", "-al", QString::fromStdString(out), "rivers"});
  EXPECT_TRUE(rivers.contains("LINESTRING (10 48,12.0 48.25,14.0 48.5)")) << rivers.toStdString();
}

// Copies a database of hostile-input files into Dir and opens it.
void OpenCopy(TGeoDB& db, const geodbtest::TempDir& dir, const std::string& folder,
              const std::string& base) {
  namespace fs = std::filesystem;
  for (const auto& e : fs::directory_iterator(std::string(VEK_HOSTILE_DIR) + "/" + folder))
    fs::copy_file(e.path(), dir / e.path().filename().string());
  db.SetDBName(dir / (base + ".vekgdd"));
}

// A town at (+inf, -inf) is left out and named; the package replaces the old file only once
// it is complete. A NUL byte inside a name does not cut the name short for SQL readers.
TEST(GeoPackage, HostileItemsAreLeftOutOrCleaned) {
  geodbtest::TempDir dir;
  const std::string out = dir / "out.gpkg";
  {
    TGeoDB inf;
    OpenCopy(inf, dir, "gpkg-inf", "db_town_inf");
    std::ofstream(out) << "an earlier export";
    const TGeoPackageCounts c = ExportGeoPackage(inf, out);
    EXPECT_EQ(c.Features, 1);  // the other town
    EXPECT_EQ(c.Invalid, 1);
    ASSERT_EQ(c.InvalidItems.size(), 1u);
    EXPECT_NE(c.InvalidItems[0].find("not finite"), std::string::npos) << c.InvalidItems[0];
    EXPECT_FALSE(std::filesystem::exists(out + ".part" + std::to_string(QCoreApplication::applicationPid())));
    const QString all = OgrInfo({"-ro", "-so", QString::fromStdString(out)});
    if (all.isEmpty()) GTEST_SKIP() << "ogrinfo not installed";
    EXPECT_TRUE(all.contains("towns (Point)")) << all.toStdString();
  }
  TGeoDB nul;
  OpenCopy(nul, dir, "gpkg-nul", "db_nul_in_name");
  ASSERT_NE(nul.Data(1).Name.str().find('\0'), std::string::npos);
  const TGeoPackageCounts c = ExportGeoPackage(nul, out);
  EXPECT_EQ(c.Features, 7);  // one item of every kind, each named "ab" NUL "cd"
  EXPECT_EQ(c.Invalid, 0);
  const QString all = OgrInfo({"-ro", "-al", QString::fromStdString(out)});
  EXPECT_EQ(all.count("name (String) = abcd\n"), 7) << all.toStdString();
}

}  // namespace
