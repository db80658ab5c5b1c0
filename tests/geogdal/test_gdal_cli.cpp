// The vekgeo commands over GDAL, run as a user runs them: calib from-raster then calib
// position against gdaltransform (the position is printed to 6 decimals), the exported VRT and
// .map read back by gdaltransform, and db import's report.
#include <cmath>
#include <fstream>

#include "GdalTestSupport.h"

#ifdef VEKGEO_EXE

namespace {

using gdaltest::Must;

gdaltest::LonLat Position(const std::string& Xml, int X, int Y) {
  const gdaltest::ToolResult R =
      Must(VEKGEO_EXE, {"calib", "position", Xml, std::to_string(X), std::to_string(Y)});
  gdaltest::LonLat P;
  std::istringstream(R.Out) >> P.Lat >> P.Lon;
  return P;
}

// calib position of the calibration file against gdaltransform of Oracle.
void ExpectSame(const std::string& Xml, const std::string& Oracle, const std::string& Srs) {
  const std::vector<std::pair<int, int>> Pixels = {{0, 0}, {300, 200}, {123, 77}};
  const auto Want = gdaltest::GdalTransform(Oracle, Pixels, Srs);
  for (size_t k = 0; k < Want.size(); ++k) {
    const gdaltest::LonLat Got = Position(Xml, Pixels[k].first, Pixels[k].second);
    EXPECT_NEAR(Got.Lat, Want[k].Lat, 6e-7) << Xml << " vs " << Oracle << " at " << k;
    EXPECT_NEAR(Got.Lon, Want[k].Lon, 6e-7) << Xml << " vs " << Oracle << " at " << k;
  }
}

TEST(GdalCli, CalibrationsInAndOut) {
  REQUIRE_GDAL_TOOLS();
  gdaltest::TempDir Dir;
  const std::string Geo = Dir / "geo.tif", Utm = Dir / "utm.tif", Gcp = Dir / "gcp.tif";
  Must("gdal_create", {"-of", "GTiff", "-outsize", "300", "200", "-bands", "1", "-a_srs",
                       "EPSG:4326", "-a_ullr", "10.123456789", "50.987654321", "12.3456789012",
                       "49.1111111111", Geo});
  Must("gdal_create", {"-of", "GTiff", "-outsize", "300", "200", "-bands", "1", "-a_srs",
                       "EPSG:32632", "-a_ullr", "612345.678", "5312345.678", "640000.5", "5294000.25", Utm});
  std::vector<std::string> Args = {"-q", "-a_srs", "EPSG:4326"};
  const char* Points[9][4] = {{"0", "0", "10", "50"},        {"150", "0", "10.52", "50.013"},
                              {"300", "0", "11.01", "50.031"}, {"0", "100", "10.004", "49.61"},
                              {"150", "100", "10.5", "49.63"}, {"300", "100", "11.02", "49.64"},
                              {"0", "200", "10.011", "49.2"},  {"150", "200", "10.49", "49.23"},
                              {"300", "200", "11.04", "49.22"}};
  for (const auto& P : Points) Args.insert(Args.end(), {"-gcp", P[0], P[1], P[2], P[3]});
  Args.insert(Args.end(), {Geo, Gcp});
  Must("gdal_translate", Args);

  for (const auto& [Raster, Srs] : {std::pair<std::string, std::string>{Geo, ""},
                                    {Utm, "EPSG:4326"}, {Gcp, ""}}) {
    const std::string Xml = Raster + ".xml";
    const gdaltest::ToolResult R = Must(VEKGEO_EXE, {"calib", "from-raster", Raster, Xml, "Scan"});
    EXPECT_NE(R.Out.find("calibrated 300 x 200 pixels"), std::string::npos) << R.Out;
    ExpectSame(Xml, Raster, Srs);
  }
  // Out again, through the calibration file and its named block.
  Must(VEKGEO_EXE, {"calib", "to-vrt", Utm + ".xml", "Scan", Dir / "utm.vrt"});
  Must(VEKGEO_EXE, {"calib", "to-ozimap", Gcp + ".xml", "Scan", Dir / "gcp.map"});
  ExpectSame(Utm + ".xml", Dir / "utm.vrt", "EPSG:4326");
  ExpectSame(Gcp + ".xml", Dir / "gcp.map", "");
  // Faults are reported, not crashed on.
  const gdaltest::ToolResult Bad = gdaltest::RunTool(VEKGEO_EXE, {"calib", "from-raster", Dir / "none.tif", Dir / "x.xml"});
  EXPECT_EQ(Bad.Exit, 1);
  EXPECT_NE(Bad.Err.find("cannot open"), std::string::npos) << Bad.Err;
}

TEST(GdalCli, DbImportReportsWhatItSkipped) {
  REQUIRE_GDAL_TOOLS();
  gdaltest::TempDir Dir;
  std::ofstream(Dir / "in.geojson") << R"({"type": "FeatureCollection", "features": [
{"type": "Feature", "properties": {"Name": "A"}, "geometry": {"type": "Point", "coordinates": [16.37, 48.21]}},
{"type": "Feature", "properties": {"Name": "B", "alt": "Bee"}, "geometry": {"type": "LineString", "coordinates": [[10, 48], [12, 48.5]]}},
{"type": "Feature", "properties": {"Name": "C"}, "geometry": {"type": "Polygon", "coordinates": [[[9, 47], [10, 47], [10, 48], [9, 47]]]}},
{"type": "Feature", "properties": {"Name": "D"}, "geometry": null}]})";
  const std::string Db = Dir / "w.vekgdd";
  const gdaltest::ToolResult NoDb = gdaltest::RunTool(VEKGEO_EXE, {"db", "import", Db, Dir / "in.geojson"});
  EXPECT_EQ(NoDb.Exit, 1);
  Must(VEKGEO_EXE, {"db", "create", Db});
  const gdaltest::ToolResult R = Must(VEKGEO_EXE, {"db", "import", Db, Dir / "in.geojson", "--as", "river",
                                                   "--as", "lake", "--class", "7"});
  EXPECT_EQ(R.Out, "imported 3 items from 4 features: 1 Town, 1 Lake, 1 River\n"
                   "  1 empty geometries skipped\n3 entries\n");
  const gdaltest::ToolResult Usage = gdaltest::RunTool(VEKGEO_EXE, {"db", "import", Db, Dir / "in.geojson", "--as", "blob"});
  EXPECT_EQ(Usage.Exit, 2);
}

}  // namespace

#endif
