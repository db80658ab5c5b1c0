// Inputs that once got through the readers or upset the renderer: world files with absurd
// numbers or old line ends, control points with CR line ends, a calibration point far beyond
// any image. Each is refused with the file's name, read correctly, or drawn safely.
#include <gtest/gtest.h>

#include <string>

#include "Bitmap.h"
#include "CalibXml.h"
#include "ControlPointFile.h"
#include "LandMarkStore.h"
#include "MapRenderer.h"
#include "WorldFile.h"

namespace vek {
namespace {

std::string Hostile(const std::string& name) { return std::string(VEK_HOSTILE_DIR) + "/" + name; }

std::string RefusalOf(const std::string& file, int w = 100, int h = 50) {
  try {
    TMapCalibration cal;
    CalibrateFromWorldFile(cal, ReadWorldFile(file), w, h, file);
  } catch (const EVEKGeoMapError& e) {
    return e.what();
  }
  return {};
}

TEST(HostileInputs, WorldFilesHoldSixPlainNumbersOnTheEarth) {
  // A pixel size of 1e308 puts the image corners at infinity; a latitude of 1000 is off the earth.
  for (const char* f : {"worldfile/huge.jgw", "worldfile/lat1000.jgw"}) {
    const std::string why = RefusalOf(Hostile(f));
    EXPECT_NE(why.find("not a position on the earth"), std::string::npos) << f << ": " << why;
    EXPECT_NE(why.find(f), std::string::npos) << why;
  }
  // "0.5abc", "-0.5e", "10.25.5", "50,75": none of them is one number.
  const std::string garbage = RefusalOf(Hostile("worldfile/trailing-garbage.jgw"));
  EXPECT_NE(garbage.find("line 1 is not a number: \"0.5abc\""), std::string::npos) << garbage;
  // CR-only line ends are line ends.
  const TWorldFile w = ReadWorldFile(Hostile("worldfile/cr-only.jgw"));
  EXPECT_DOUBLE_EQ(w.A, 0.01);
  EXPECT_DOUBLE_EQ(w.E, -0.01);
  EXPECT_DOUBLE_EQ(w.F, 49.995);
  EXPECT_EQ(RefusalOf(Hostile("worldfile/cr-only.jgw")), "");
}

TEST(HostileInputs, ControlPointsWithAnyLineEnd) {
  const auto lf = ReadControlPointFile(Hostile("points/lf.points"));
  const auto cr = ReadControlPointFile(Hostile("points/cr.points"));
  ASSERT_EQ(lf.size(), 4u);
  ASSERT_EQ(cr.size(), lf.size());
  for (size_t i = 0; i < lf.size(); ++i) {
    EXPECT_EQ(cr[i].MapX, lf[i].MapX);
    EXPECT_EQ(cr[i].SourceY, lf[i].SourceY);
  }
}

// A calibration point at pixel 2147483647 is not drawn as a mark, like any point far out of
// view; the marks in view still are (the sanitizer build traps any int overflow on the way).
TEST(HostileInputs, MarksFarBeyondTheImageAreNotDrawn) {
  TCalibData data;
  TCalibModel model = cmUndefined;
  ASSERT_TRUE(ParseCalibData(Hostile("render/huge-pixel.xml"), "", data, model));
  ASSERT_EQ(data.NumCalQuads, 3);
  EXPECT_EQ(data.CalQuads[2].MapX, 2147483647);
  TMapCalibration cal;
  cal.SetModel(model);
  cal.SetData(data);
  cal.SetImageSize(64, 48);
  cal.RecalcCalibration();
  const TLandMarkStore none;
  TBitmap bmp;
  bmp.SetSize(300, 200);
  TGraticuleStyle style;
  style.Show = sgPointsAndLines;
  for (double mag : {0.25, 4.0, 1.0}) {
    bmp.Canvas()->Brush().SetColor(0xFFFFFF);
    bmp.Canvas()->FillRect(TRect{0, 0, 300, 200});
    TMapViewport view;
    view.Width = 300;
    view.Height = 200;
    view.Magnify = mag;
    TMapRenderer(cal, none, view, 64, 48).DrawCalibration(*bmp.Canvas(), style);
  }
  // The mark of the point at (0, 47): its horizontal stroke.
  EXPECT_EQ(bmp.Canvas()->Pixels(5, 47), style.PointColor);
}

}  // namespace
}  // namespace vek
