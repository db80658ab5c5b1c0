// Calibrations out as VRT and OziExplorer .map, read back by gdaltransform: our positions
// wherever GDAL's polynomial on the written points is our model, GDAL's best polynomial
// (with its deviation reported) for the models it has none for.
#include <cmath>

#include "GdalTestSupport.h"
#include "Vek_geogdal.h"

namespace {

using namespace vek;
using gdaltest::Must;

constexpr int W = 300, H = 200;

double MaxError(const TMapCalibration& Cal, const std::string& File, const std::string& Srs) {
  const auto Pixels = gdaltest::ProbePixels(W, H);
  const auto Got = gdaltest::GdalTransform(File, Pixels, Srs);
  double Worst = Got.size() == Pixels.size() ? 0 : 1e9;
  for (size_t k = 0; k < Got.size(); ++k) {
    bool V1 = false, V2 = false;
    const double Lat = Cal.CalcLatitude(Pixels[k].first, Pixels[k].second, V1);
    const double Lon = Cal.CalcLongitude(Pixels[k].first, Pixels[k].second, V2);
    Worst = std::max({Worst, std::fabs(Lat - Got[k].Lat), std::fabs(Lon - Got[k].Lon)});
  }
  return Worst;
}

// A biquadratic calibration of twelve points and a Miller calibration, neither with points
// GDAL takes as they stand.
TMapCalibration Curved(TCalibModel Model) {
  TMapCalibration Cal;
  Cal.SetModel(Model);
  Cal.SetImageSize(W, H);
  for (int j = 0; j < 3; ++j)
    for (int i = 0; i < 4; ++i) {
      const int X = i * 100, Y = j * 100;
      Cal.AddCalibPoint(60 - 0.01 * Y - 1e-6 * X * X, 20 + 0.012 * X + 2e-6 * X * Y, X, Y);
    }
  return Cal;
}

TEST(CalibrationExport, VrtAndOziMapReadBackByGdaltransform) {
  REQUIRE_GDAL_TOOLS();
  gdaltest::TempDir Dir;
  const std::string Image = Dir / "scan.tif";
  Must("gdal_create", {"-of", "GTiff", "-outsize", "300", "200", "-bands", "3", "-a_srs",
                       "EPSG:4326", "-a_ullr", "10.123456789", "50.987654321", "12.3456789012",
                       "49.1111111111", Image});
  const std::string Utm = Dir / "utm.tif";
  Must("gdal_create", {"-of", "GTiff", "-outsize", "300", "200", "-bands", "1", "-a_srs",
                       "EPSG:32733", "-a_ullr", "300000.5", "8000000.25", "330000.75",
                       "7980000.125", Utm});
  struct Case {
    std::string Name;
    TMapCalibration Cal;
    std::string Srs;  // gdaltransform's target
    bool Sampled;
    bool Exact;
  };
  std::vector<Case> Cases = {
      {"equirect", CalibrationFromRaster(Image).Calibration, "", false, true},
      {"utm", CalibrationFromRaster(Utm).Calibration, "EPSG:4326", false, true},
      {"biquadratic", Curved(cmBiquadraticPn), "", true, true},
      {"miller", Curved(cmMillerCylindrical), "", true, false},
  };
  for (Case& C : Cases) {
    const std::string Scan = C.Name == "utm" ? Utm : Image;
    const std::string Vrt = Dir / (C.Name + ".vrt"), Map = Dir / (C.Name + ".map");
    const TCalibrationExport V = WriteCalibrationVrt(C.Cal, Scan, Vrt);
    const TCalibrationExport M = WriteOziMap(C.Cal, Scan, Map);
    EXPECT_EQ(V.Sampled, C.Sampled) << C.Name;
    EXPECT_EQ(M.Points, V.Points) << C.Name;
    if (C.Exact) {
      EXPECT_LT(V.MaxDeviationPixels, 1e-4) << C.Name;
      EXPECT_LT(MaxError(C.Cal, Vrt, C.Srs), 1e-7) << C.Name;
      EXPECT_LT(MaxError(C.Cal, Map, C.Srs), 1e-7) << C.Name;
    } else {
      // GDAL's cubic through 25 points of the Miller projection: close, and said how close.
      EXPECT_GT(V.MaxDeviationPixels, 0) << C.Name;
      EXPECT_LT(V.MaxDeviationPixels, 0.5) << C.Name;
      EXPECT_LT(MaxError(C.Cal, Vrt, C.Srs), 0.01) << C.Name;
    }
  }
  // The VRT shows the image's pixels: three bands, referred to relative to the VRT.
  const gdaltest::ToolResult Info = Must("gdalinfo", {"-stats", Dir / "equirect.vrt"});
  EXPECT_NE(Info.Out.find("Band 3"), std::string::npos) << Info.Out;
  EXPECT_NE(Info.Out.find("GCP Projection"), std::string::npos) << Info.Out;
  // Corner records of the .map.
  const gdaltest::ToolResult Corners = Must("grep", {"-c", "^MMP\\(XY\\|LL\\),", Dir / "utm.map"});
  EXPECT_EQ(Corners.Out, "8\n");
}

TEST(CalibrationExport, CalibrationsGdalCannotTakeRaise) {
  REQUIRE_GDAL_TOOLS();
  gdaltest::TempDir Dir;
  const std::string Image = Dir / "scan.tif";
  Must("gdal_create", {"-of", "GTiff", "-outsize", "30", "20", "-bands", "1", Image});
  TMapCalibration None;
  EXPECT_THROW(WriteCalibrationVrt(None, Image, Dir / "none.vrt"), EVEKGeoGdalError);
  TMapCalibration BadZone;
  BadZone.SetModel(cmUTM);
  EXPECT_THROW(WriteOziMap(BadZone, Image, Dir / "zone.map"), EVEKGeoGdalError);
  EXPECT_THROW(WriteCalibrationVrt(Curved(cmEquiRect), Dir / "missing.tif", Dir / "m.vrt"),
               EVEKGeoGdalError);
}

}  // namespace
