// Vector files into the database: GeoJSON as written here, and the Shapefile, GeoPackage
// (both in projected systems) that ogr2ogr makes of it, and a GPX file; counts, names and
// positions checked through FindItemsInArea; the database's GeoPackage export read back by
// ogrinfo without a warning.
#include <cmath>
#include <fstream>

#include "GdalTestSupport.h"
#include "GeoPackage.h"
#include "Vek_geogdal.h"

namespace {

using namespace vek;
using gdaltest::Must;

const char* const kGeoJson = R"({"type": "FeatureCollection", "features": [
{"type": "Feature", "properties": {"NAME": "Vienna", "label": "W", "kind": "p"}, "geometry": {"type": "Point", "coordinates": [16.37, 48.21]}},
{"type": "Feature", "properties": {"NAME": "Graz", "label": "G", "kind": "p"}, "geometry": {"type": "Point", "coordinates": [15.44, 47.07, 353]}},
{"type": "Feature", "properties": {"NAME": "Llanfairpwllgwyngyllgogerychwyrndrobwllllantysiliogogogochuchaf", "kind": "p"}, "geometry": {"type": "Point", "coordinates": [-4.21, 53.22]}},
{"type": "Feature", "properties": {"NAME": "Twins", "kind": "p"}, "geometry": {"type": "MultiPoint", "coordinates": [[14.0, 47.0], [14.5, 47.5]]}},
{"type": "Feature", "properties": {"NAME": "Danube", "kind": "l"}, "geometry": {"type": "LineString", "coordinates": [[10.0, 48.0], [12.0, 48.25], [14.0, 48.5]]}},
{"type": "Feature", "properties": {"NAME": "Split", "kind": "l"}, "geometry": {"type": "MultiLineString", "coordinates": [[[1.0, 40.0], [2.0, 41.0]], [[3.0, 42.0], [4.0, 43.0]]]}},
{"type": "Feature", "properties": {"NAME": "Ring", "kind": "a"}, "geometry": {"type": "Polygon", "coordinates": [[[9.0, 47.0], [10.0, 47.0], [10.0, 48.0], [9.0, 48.0], [9.0, 47.0]], [[9.4, 47.4], [9.6, 47.4], [9.6, 47.6], [9.4, 47.4]]]}},
{"type": "Feature", "properties": {"NAME": "Isles", "kind": "a"}, "geometry": {"type": "MultiPolygon", "coordinates": [[[[20.0, 60.0], [21.0, 60.0], [21.0, 61.0], [20.0, 60.0]]], [[[22.0, 60.0], [23.0, 60.0], [23.0, 61.0], [22.0, 60.0]]]]}},
{"type": "Feature", "properties": {"NAME": "Nothing", "kind": "x"}, "geometry": null},
{"type": "Feature", "properties": {"NAME": "Dot", "kind": "x"}, "geometry": {"type": "LineString", "coordinates": [[5.0, 45.0]]}},
{"type": "Feature", "properties": {"NAME": "Nowhere", "kind": "x"}, "geometry": {"type": "Point", "coordinates": [10.0, 95.0]}}
]})";

const char* const kGpx = R"(<?xml version="1.0"?>
<gpx version="1.1" creator="test" xmlns="http://www.topografix.com/GPX/1/1">
<wpt lat="47.2" lon="11.4"><ele>574</ele><name>Innsbruck</name></wpt>
<wpt lat="46.6" lon="13.85"><name>Villach</name></wpt>
<rte><name>Pass</name><rtept lat="47.0" lon="11.5"/><rtept lat="46.9" lon="11.45"/><rtept lat="46.8" lon="11.4"/></rte>
<trk><name>Walk</name><trkseg><trkpt lat="47.1" lon="11.1"/><trkpt lat="47.11" lon="11.12"/></trkseg><trkseg><trkpt lat="47.2" lon="11.2"/><trkpt lat="47.21" lon="11.22"/><trkpt lat="47.22" lon="11.25"/></trkseg></trk>
</gpx>
)";

// The items named Name whose boxes reach within 0.01 degrees of (Lat, Lon), through the area
// index.
std::vector<TgdbData> Named(TGeoDB& DB, const std::string& Name, double Lat, double Lon) {
  std::vector<TgdbData> R;
  for (int32_t E : DB.FindItemsInArea(Lat - 0.01, Lat + 0.01, Lon - 0.01, Lon + 0.01))
    if (DB.Data(E).Name.str() == Name) R.push_back(DB.Data(E));
  return R;
}

// The one item of that kind named Name near (Lat, Lon).
TgdbData Near(TGeoDB& DB, const std::string& Name, double Lat, double Lon, TgdbItem Kind) {
  for (const TgdbData& D : Named(DB, Name, Lat, Lon))
    if (D.ItemKind == Kind) return D;
  ADD_FAILURE() << GDB_ITEMNAMES[Kind] << " " << Name << " not found near " << Lat << ", " << Lon;
  return {};
}

TEST(VectorImport, GeoJsonShapefileGeoPackageAndGpx) {
  REQUIRE_GDAL_TOOLS();
  gdaltest::TempDir Dir;
  const std::string Json = Dir / "src.geojson", Gpx = Dir / "walk.gpx";
  std::ofstream(Json) << kGeoJson;
  std::ofstream(Gpx) << kGpx;
  const std::string Shp = Dir / "lines.shp", Gpkg = Dir / "all.gpkg";
  Must("ogr2ogr", {"-f", "ESRI Shapefile", "-t_srs", "EPSG:3857", "-where", "kind = 'l'", Shp, Json});
  Must("ogr2ogr", {"-f", "GPKG", "-t_srs", "EPSG:32633", "-nln", "things", "-where", "kind <> 'x'",
                   Gpkg, Json});

  TGeoDB DB;
  DB.SetDBName(Dir / "world.vekgdd");
  int64_t LastDone = -1;
  TVectorImportOptions O;
  O.Date = 45000.5;
  O.OnProgress = [&](int64_t Done, int64_t) { LastDone = Done; };
  const TVectorImportCounts J = ImportVectorFile(DB, Json, O);
  EXPECT_EQ(J.Features, 11);
  EXPECT_EQ(J.ByKind[gitTown], 5);   // two, the long name, two parts of the multipoint
  EXPECT_EQ(J.ByKind[gitRoad], 3);   // one line, two parts
  EXPECT_EQ(J.ByKind[gitBorder], 4); // outer ring and hole, two parts
  EXPECT_EQ(J.Items, 12);
  EXPECT_EQ(J.NamesCut, 1);
  EXPECT_EQ(J.EmptyGeometries, 1);
  EXPECT_EQ(J.InvalidGeometries, 1);
  EXPECT_EQ(J.OffEarth, 1);
  EXPECT_EQ(LastDone, 11);
  EXPECT_FALSE(DB.LazyWrite());
  EXPECT_FLOAT_EQ(Near(DB, "Graz", 47.07, 15.44, gitTown).Altitude, 353);
  const std::string Long = "Llanfairpwllgwyngyllgogerychwyrndrobwllllantysiliogogogochuchaf";
  Near(DB, Long.substr(0, 59), 53.22, -4.21, gitTown);
  // The polygon's outer ring and its hole, closed items without the repeated closing point.
  const std::vector<TgdbData> Ring = Named(DB, "Ring", 47.5, 9.5);
  ASSERT_EQ(Ring.size(), 2u);
  EXPECT_TRUE(Ring[0].Closed && Ring[1].Closed);
  EXPECT_EQ(Ring[0].NumPoints + Ring[1].NumPoints, 4 + 3);
  EXPECT_FLOAT_EQ(std::min(Ring[0].LatHigh, Ring[1].LatHigh), 47.6f);

  // Projected systems back to WGS 84; the kinds chosen by the caller; the name from a field
  // of the caller's choice.
  TVectorImportOptions Rivers;
  Rivers.LineKind = gitRiver;
  const TVectorImportCounts S = ImportVectorFile(DB, Shp, Rivers);
  EXPECT_EQ(S.ByKind[gitRiver], 3);
  const TgdbData Danube = Near(DB, "Danube", 48.25, 12.0, gitRiver);
  EXPECT_NEAR(Danube.LatLow, 48.0, 1e-5);
  EXPECT_NEAR(Danube.LongHigh, 14.0, 1e-5);

  TVectorImportOptions Lakes;
  Lakes.PolygonKind = gitLake;
  Lakes.NameField = "label";
  Lakes.Layers = {"things"};
  const TVectorImportCounts G = ImportVectorFile(DB, Gpkg, Lakes);
  EXPECT_EQ(G.ByKind[gitTown], 5);
  EXPECT_EQ(G.ByKind[gitLake], 4);
  const TgdbData Vienna = Near(DB, "W", 48.21, 16.37, gitTown);
  EXPECT_NEAR(Vienna.LatLow, 48.21, 1e-5);
  EXPECT_NEAR(Vienna.LongLow, 16.37, 1e-5);
  Lakes.Layers = {"nothere"};
  EXPECT_THROW(ImportVectorFile(DB, Gpkg, Lakes), EVEKGeoGdalError);
  Lakes.Layers.clear();
  Lakes.NameField = "nofield";
  EXPECT_THROW(ImportVectorFile(DB, Gpkg, Lakes), EVEKGeoGdalError);

  // GPX: waypoints as towns, routes and every track segment as routes.
  const TVectorImportCounts X = ImportVectorFile(DB, Gpx);
  EXPECT_EQ(X.ByKind[gitTown], 2);
  EXPECT_EQ(X.ByKind[gitRoute], 3);
  EXPECT_EQ(Near(DB, "Walk", 47.21, 11.22, gitRoute).NumPoints, 3);
  EXPECT_FLOAT_EQ(Near(DB, "Innsbruck", 47.2, 11.4, gitTown).Altitude, 574);

  // The GeoPackage export of it all, read by ogrinfo without a complaint.
  const std::string Out = Dir / "export.gpkg";
  const TGeoPackageCounts E = ExportGeoPackage(DB, Out);
  EXPECT_EQ(E.Features, DB.NumEntries());
  const gdaltest::ToolResult Info = Must("ogrinfo", {"-ro", "-al", Out});
  EXPECT_EQ(Info.Err, "");
  EXPECT_NE(Info.Out.find("date (DateTime) = 2023/03/15 12:00:00"), std::string::npos) << Info.Out.substr(0, 2000);
}

TEST(VectorImport, NoDatabaseOrFileRaises) {
  gdaltest::TempDir Dir;
  TGeoDB Closed;
  EXPECT_THROW(ImportVectorFile(Closed, Dir / "x.geojson"), EVEKGeoGdalError);
  TGeoDB DB;
  DB.SetDBName(Dir / "db.vekgdd");
  std::ofstream(Dir / "bad.geojson") << "{\"type\": \"FeatureColl";
  EXPECT_THROW(ImportVectorFile(DB, Dir / "bad.geojson"), EVEKGeoGdalError);
  EXPECT_EQ(DB.NumEntries(), 0);
}

}  // namespace
