// The GeoPackage export read back by GDAL's ogrinfo, the independent client: layers, feature
// counts, geometry types and coordinates.
#include <gtest/gtest.h>

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

}  // namespace
