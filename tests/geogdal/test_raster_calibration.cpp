// Calibrations from georeferenced rasters, checked against gdaltransform on rasters made with
// gdal_create and gdal_translate: the positions of corners and inner pixels must agree to
// 1e-7 degrees wherever our model is the one GDAL applies.
#include <fstream>

#include "GdalTestSupport.h"
#include "Vek_geogdal.h"

namespace {

using namespace vek;
using gdaltest::Must;

constexpr int W = 300, H = 200;

void ExpectAgreement(const TMapCalibration& Cal, const std::string& File,
                     const std::string& TargetSrs, double Tol) {
  const auto Pixels = gdaltest::ProbePixels(W, H);
  const auto Want = gdaltest::GdalTransform(File, Pixels, TargetSrs);
  for (size_t k = 0; k < Want.size(); ++k) {
    bool V1 = false, V2 = false;
    const double Lat = Cal.CalcLatitude(Pixels[k].first, Pixels[k].second, V1);
    const double Lon = Cal.CalcLongitude(Pixels[k].first, Pixels[k].second, V2);
    ASSERT_TRUE(V1 && V2);
    EXPECT_NEAR(Lat, Want[k].Lat, Tol) << File << " pixel " << Pixels[k].first << "," << Pixels[k].second;
    EXPECT_NEAR(Lon, Want[k].Lon, Tol) << File << " pixel " << Pixels[k].first << "," << Pixels[k].second;
  }
}

TEST(RasterCalibration, GeoTiffGeotransformsAgreeWithGdaltransform) {
  REQUIRE_GDAL_TOOLS();
  gdaltest::TempDir Dir;
  struct Case {
    const char* Srs;
    std::vector<std::string> Ullr;
    const char* Geographic;  // gdaltransform's target: the system's own geographic coordinates
    TCalibModel Model;
    TGeoEllipsoid Ellipsoid;
    bool South;
  };
  const Case Cases[] = {
      {"EPSG:4326", {"10.123456789", "50.987654321", "12.3456789012", "49.1111111111"}, "",
       cmEquiRect, gelWGS84, false},
      {"EPSG:4230", {"-3.5", "40.5", "-2.5", "40"}, "", cmEquiRect, gelInt24, false},
      {"EPSG:32633", {"487654.321", "5512345.678", "512345.987", "5498765.432"}, "EPSG:4326",
       cmUTM, gelWGS84, false},
      {"EPSG:32733", {"300000.5", "8000000.25", "330000.75", "7980000.125"}, "EPSG:4326", cmUTM,
       gelWGS84, true},
      {"EPSG:23032", {"612345.5", "5312345.5", "640000", "5294000"}, "EPSG:4230", cmUTM, gelInt24,
       false},
      {"EPSG:25833", {"400000", "5800000", "430000", "5780000"}, "EPSG:4258", cmUTM, gelGRS80,
       false},
  };
  for (const Case& C : Cases) {
    const std::string File = Dir / (std::string(C.Srs).substr(5) + ".tif");
    std::vector<std::string> Args = {"-of", "GTiff", "-outsize", std::to_string(W),
                                     std::to_string(H), "-bands", "1", "-a_srs", C.Srs, "-a_ullr"};
    Args.insert(Args.end(), C.Ullr.begin(), C.Ullr.end());
    Args.push_back(File);
    Must("gdal_create", Args);
    const TRasterCalibration R = CalibrationFromRaster(File);
    EXPECT_EQ(R.Calibration.Model(), C.Model) << C.Srs;
    EXPECT_EQ(R.Calibration.Data().Ellipsoid, C.Ellipsoid) << C.Srs;
    EXPECT_EQ(R.Calibration.Data().UTMSouth, C.South) << C.Srs;
    EXPECT_EQ(R.Calibration.ImageWidth(), W);
    EXPECT_EQ(R.Calibration.Data().MapFName, File);
    EXPECT_LT(R.RmsPixels, 1e-4);  // the fit's rounding noise on coordinates of millions of metres
    ExpectAgreement(R.Calibration, File, C.Geographic, 1e-7);
  }
}

// Nine points off any affine: GDAL's polynomial of order 2, our biquadratic model; four
// points: order 1, our equirectangular model; both least squares over the same points.
TEST(RasterCalibration, GroundControlPointsGiveGdalsPolynomial) {
  REQUIRE_GDAL_TOOLS();
  gdaltest::TempDir Dir;
  const std::string Blank = Dir / "blank.tif";
  Must("gdal_create", {"-of", "GTiff", "-outsize", "300", "200", "-bands", "1", Blank});
  const double Gcps[9][4] = {{0, 0, 10.0, 50.0},       {150, 0, 10.52, 50.013},
                             {300, 0, 11.01, 50.031},  {0, 100, 10.004, 49.61},
                             {150, 100, 10.5, 49.63},  {300, 100, 11.02, 49.64},
                             {0, 200, 10.011, 49.2},   {150, 200, 10.49, 49.23},
                             {300, 200, 11.04, 49.22}};
  for (int Count : {9, 4}) {
    const std::string File = Dir / ("gcp" + std::to_string(Count) + ".tif");
    std::vector<std::string> Args = {"-q", "-of", "GTiff", "-a_srs", "EPSG:4326"};
    for (int k = 0; k < Count; ++k) {
      const int i = Count == 9 ? k : (k == 0 ? 0 : k == 1 ? 2 : k == 2 ? 6 : 7);
      Args.push_back("-gcp");
      for (double V : Gcps[i]) Args.push_back(std::to_string(V));
    }
    Args.push_back(Blank);
    Args.push_back(File);
    Must("gdal_translate", Args);
    const TRasterCalibration R = CalibrationFromRaster(File);
    EXPECT_EQ(R.Calibration.Model(), Count == 9 ? cmBiquadraticPn : cmEquiRect);
    EXPECT_EQ(R.Calibration.Data().NumCalQuads, Count);
    EXPECT_GT(R.RmsPixels, 0.01);  // the points are off the model: the residual is reported
    ExpectAgreement(R.Calibration, File, "", 1e-7);
  }
}

void WriteLines(const std::string& File, const std::vector<std::string>& Lines) {
  std::ofstream Out(File, std::ios::binary);
  for (const std::string& L : Lines) Out << L << "\r\n";
}

// OziExplorer maps as OziExplorer writes them: a Latitude/Longitude map with points in degrees
// and minutes, and a UTM map on European 1950 with grid points; the scan named by a Windows
// path that exists only by its bare name beside the .map.
TEST(RasterCalibration, OziExplorerMapsAgreeWithGdaltransform) {
  REQUIRE_GDAL_TOOLS();
  gdaltest::TempDir Dir;
  Must("gdal_create", {"-of", "GTiff", "-outsize", "300", "200", "-bands", "1", Dir / "scan.tif"});
  const std::vector<std::string> Head = {"OziExplorer Map Data File Version 2.2", "Test map",
                                         "C:\\OziExplorer\\Maps\\scan.tif", "1 ,Map Code,"};
  const std::vector<std::string> Tail = {
      "Projection Setup,,,,,,,,,,",
      "Map Feature = MF ; Map Comment = MC     These follow if they exist",
      "Track File = TF      These follow if they exist",
      "Moving Map Parameters = MM?    These follow if they exist", "MM0,Yes",
      "IWH,Map Image Width/Height,300,200"};
  auto Map = [&](const std::string& Name, const std::string& Datum, const std::string& Proj,
                 const std::vector<std::string>& Points) {
    std::vector<std::string> L = Head;
    L.push_back(Datum + ",WGS 84,   0.0000,   0.0000,WGS 84");
    L.insert(L.end(), {"Reserved 1", "Reserved 2", "Magnetic Variation,,,E",
                       "Map Projection," + Proj + ",PolyCal,No,AutoCalOnly,No,BSBUseWPX,No"});
    L.insert(L.end(), Points.begin(), Points.end());
    L.insert(L.end(), Tail.begin(), Tail.end());
    WriteLines(Dir / Name, L);
    return Dir / Name;
  };
  const std::string LatLong = Map(
      "latlong.map", "WGS 84", "Latitude/Longitude",
      {"Point01,xy,   10,   12,in, deg,  50, 12.3456,N,  10, 30.5000,E, grid,   ,           ,           ,N",
       "Point02,xy,  290,   15,in, deg,  50, 12.1000,N,  11, 10.2500,E, grid,   ,           ,           ,N",
       "Point03,xy,   20,  190,in, deg,  49, 58.7500,N,  10, 31.0000,E, grid,   ,           ,           ,N",
       "Point04,xy,  280,  185,in, deg,  49, 58.9000,N,  11,  9.7500,E, grid,   ,           ,           ,N"});
  const std::string Utm = Map(
      "utm.map", "European 1950", "(UTM) Universal Transverse Mercator",
      {"Point01,xy,   10,   12,in, deg,    ,        ,N,    ,        ,E, grid,  32,    612345,   5312345,N",
       "Point02,xy,  290,   15,in, deg,    ,        ,N,    ,        ,E, grid,  32,    640345,   5312045,N",
       "Point03,xy,   20,  190,in, deg,    ,        ,N,    ,        ,E, grid,  32,    613345,   5294345,N"});

  const TRasterCalibration A = CalibrationFromRaster(LatLong);
  EXPECT_EQ(A.Calibration.Model(), cmEquiRect);
  EXPECT_EQ(A.ImageFile, Dir / "scan.tif");
  ExpectAgreement(A.Calibration, LatLong, "", 1e-7);

  const TRasterCalibration B = CalibrationFromRaster(Utm);
  EXPECT_EQ(B.Calibration.Model(), cmUTM);
  EXPECT_EQ(B.Calibration.Data().UTMZone, 32);
  EXPECT_EQ(B.Calibration.Data().Ellipsoid, gelInt24);
  ExpectAgreement(B.Calibration, Utm, "EPSG:4230", 1e-7);
}

// Any other projected system: a grid through PROJ, fitted biquadratically, its residual reported.
TEST(RasterCalibration, OtherProjectionsAreSampledAndFitted) {
  REQUIRE_GDAL_TOOLS();
  gdaltest::TempDir Dir;
  const std::string File = Dir / "laea.tif";
  Must("gdal_create", {"-of", "GTiff", "-outsize", "300", "200", "-bands", "1", "-a_srs",
                       "EPSG:3035", "-a_ullr", "4000000", "3000000", "4030000", "2980000", File});
  const TRasterCalibration R = CalibrationFromRaster(File);
  EXPECT_EQ(R.Calibration.Model(), cmBiquadraticPn);
  EXPECT_EQ(R.Calibration.Data().NumCalQuads, 81);
  EXPECT_LT(R.RmsPixels, 0.01);
  EXPECT_NE(R.Method.find("LAEA"), std::string::npos) << R.Method;
  // 30 km across: a quadratic follows the projection to a few millimetres.
  ExpectAgreement(R.Calibration, File, "EPSG:4258", 1e-6);
}

TEST(RasterCalibration, RastersWithoutGeoreferenceRaiseClearErrors) {
  REQUIRE_GDAL_TOOLS();
  gdaltest::TempDir Dir;
  Must("gdal_create", {"-of", "GTiff", "-outsize", "30", "20", "-bands", "1", Dir / "plain.tif"});
  Must("gdal_translate", {"-q", "-gcp", "0", "0", "10", "50", "-gcp", "30", "0", "11", "50",
                          Dir / "plain.tif", Dir / "twogcps.tif"});
  std::ofstream(Dir / "junk.tif", std::ios::binary) << "II*\0garbage";
  auto Message = [](const std::string& File) {
    try {
      CalibrationFromRaster(File);
    } catch (const EVEKGeoGdalError& E) {
      return std::string(E.what());
    }
    return std::string("no error");
  };
  EXPECT_NE(Message(Dir / "plain.tif").find("no georeference"), std::string::npos);
  EXPECT_NE(Message(Dir / "twogcps.tif").find("fewer than three"), std::string::npos);
  EXPECT_NE(Message(Dir / "junk.tif").find("cannot open"), std::string::npos);
  EXPECT_NE(Message(Dir / "missing.tif").find("cannot open"), std::string::npos);
}

}  // namespace

namespace {

// Display copies for a map that reads JPEG only: 16-bit data scaled to bytes, three of four
// bands kept, the size unchanged.
TEST(RasterCalibration, DisplayJpegCopies) {
  REQUIRE_GDAL_TOOLS();
  gdaltest::TempDir Dir;
  Must("gdal_create", {"-of", "GTiff", "-outsize", "64", "48", "-bands", "1", "-ot", "UInt16",
                       "-burn", "4000", Dir / "dem.tif"});
  Must("gdal_create", {"-of", "GTiff", "-outsize", "64", "48", "-bands", "4", Dir / "rgba.tif"});
  for (const char* Name : {"dem", "rgba"}) {
    const std::string Jpeg = Dir / (std::string(Name) + ".jpg");
    WriteDisplayJpeg(Dir / (std::string(Name) + ".tif"), Jpeg);
    const std::string Info = Must("gdalinfo", {Jpeg}).Out;
    EXPECT_NE(Info.find("Driver: JPEG"), std::string::npos) << Info;
    EXPECT_NE(Info.find("Size is 64, 48"), std::string::npos) << Info;
    EXPECT_EQ(Info.find("Type=UInt16"), std::string::npos) << Info;
    EXPECT_EQ(Info.find("Band 4"), std::string::npos) << Info;
  }
  EXPECT_THROW(WriteDisplayJpeg(Dir / "dem.tif", Dir / "no/such/dir/x.jpg"), EVEKGeoGdalError);
}

}  // namespace
