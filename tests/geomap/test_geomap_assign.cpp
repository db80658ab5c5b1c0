// Copying between maps, clearing, and resampling the image with its calibration points.
#include <gtest/gtest.h>

#include <set>

#include "test_geomap_helpers.h"

namespace vek {
namespace {

using testing::BitmapOf;
using testing::MapHost;
using testing::PixelOf;
using testing::Quadrants;

// A calibration with two lines and three quads whose pixels are easy to follow.
TCalibData SampleCalibration() {
  TCalibData d{};
  d.MapFName = "area.jpg";
  d.Caption = "Area";
  d.NumCalLines = 2;
  d.CalLines[1].LineType = gtlParallel;
  d.CalLines[1].LineValue = 47.5;
  d.CalLines[1].NumPoints = 2;
  d.CalLines[1].CalPoints[1] = {10, 20};
  d.CalLines[1].CalPoints[2] = {151, 21};
  d.CalLines[2].LineType = gtlMeridian;
  d.CalLines[2].LineValue = 16;
  d.CalLines[2].NumPoints = 1;
  d.CalLines[2].CalPoints[1] = {30, 199};
  d.NumCalQuads = 3;
  d.CalQuads[1] = {48, 16, 0, 0};
  d.CalQuads[2] = {48, 17, 300, 0};
  d.CalQuads[3] = {47, 16, 0, 200};
  d.UTMZone = 33;
  d.Ellipsoid = gelGRS80;
  return d;
}

class GeoMapAssign : public ::testing::Test {
 protected:
  MapHost hs, hd;
  testing::TestMap& src = *hs.map;
  testing::TestMap& dst = *hd.map;
};

TEST_F(GeoMapAssign, CopiesStateButNotTraceOrHandlers) {
  src.SetMapBitMap(BitmapOf(Quadrants(300, 200)));
  hs.host.show();
  testing::Click(&src, 44, 10);  // the last click position is copied
  src.SetCalibData(SampleCalibration());
  src.SetCalibModel(cmEquiRect);
  for (int i = 0; i < 1500; ++i) src.FLM.AppendLandMark(src.FLM.MakeLandMark(i * 0.01, 16, 0));
  TLandMark def = src.LandMarkDefault();
  def.Tag = 77;
  src.SetLandMarkDefault(def);
  src.SetColorBackGnd(0x111111);
  src.SetEmptyMsg("none here");
  src.SetClassVisibility(200, false);
  src.SetRandSampleLimit(5000);
  src.SetMagnification(0.5);
  src.SetTopLeft({12, 34});
  src.ZoomStateOnStack();
  src.SetGratLineDist(2.5);
  src.SetAntiAlias(false);
  src.SetCacheMagLimit(0.25);
  src.SetAllowPan(false);
  src.SetHighLM(1500);
  src.SetHighLightProperties(0x010101, 0x020202, true);
  src.FLM.AppendMTracePoint(5, 5);
  src.FLM.AppendMTracePoint(6, 6);
  src.OnZoomPan = [](TObject*) {};
  src.OnMapImageRequest = [](TObject*, std::string&) {};

  dst.FLM.AppendMTracePoint(1, 1);
  dst.SetMouseTraceColor(0x00FF00);
  const int paints = dst.CompositionCount();
  dst.Assign(&src);

  EXPECT_EQ(dst.CompositionCount(), paints);  // no repaint
  EXPECT_EQ(dst.MapImgFile(), "$unknown$");
  EXPECT_EQ(dst.MapImgWidth(), 300);
  EXPECT_EQ(dst.MapBitmap()->Image(), src.MapBitmap()->Image());
  EXPECT_EQ(dst.AuxBmp->Image(), src.AuxBmp->Image());
  EXPECT_EQ(dst.FImgCache->Image(), src.FImgCache->Image());
  EXPECT_EQ(dst.CalibData(), src.CalibData());
  EXPECT_EQ(dst.FCal.Params(), src.FCal.Params());
  EXPECT_EQ(dst.NumLandMarks(), 1500);
  EXPECT_EQ(dst.FLM.Capacity(), 2000);
  EXPECT_EQ(dst.FLM.GetLandMarkData(1500), src.FLM.GetLandMarkData(1500));
  EXPECT_EQ(dst.LandMarkDefault().Tag, 77);
  EXPECT_EQ(dst.ColorBackGnd(), 0x111111u);
  EXPECT_EQ(dst.EmptyMsg(), "none here");
  EXPECT_FALSE(dst.LMClassVisible(200));
  EXPECT_EQ(dst.LMRandomDisplayThreshold(), 5000);
  EXPECT_EQ(dst.Magnification(), 0.5);
  EXPECT_EQ(dst.TopLeft(), (TPoint{12, 34}));
  EXPECT_EQ(dst.ZoomStack(0), (TgmZoomStackEntry{12, 34, 0.5}));
  EXPECT_EQ(dst.Viewport().StackPoi, src.Viewport().StackPoi);
  EXPECT_EQ(dst.GratLineDist(), 2.5);
  EXPECT_FALSE(dst.AntiAlias());
  EXPECT_EQ(dst.CacheMagLimit(), 0.25);
  EXPECT_FALSE(dst.AllowPan());
  EXPECT_EQ(dst.HighLightLandMark(), 1500);
  EXPECT_EQ(dst.LastClickPosX(), 44);

  // Not copied: the trace with its colour, and the handlers.
  EXPECT_EQ(dst.NumMTracePoints(), 1);
  EXPECT_EQ(dst.MouseTraceColor(), 0x00FF00u);
  EXPECT_FALSE(dst.OnZoomPan);
  EXPECT_FALSE(dst.OnMapImageRequest);
}

TEST_F(GeoMapAssign, EmptyStoreKeepsTheMinimumCapacity) {
  for (int i = 0; i < 2500; ++i) dst.FLM.AppendLandMark(dst.FLM.MakeLandMark(1, 1, 0));
  EXPECT_EQ(dst.FLM.Capacity(), 3000);
  dst.Assign(&src);
  EXPECT_EQ(dst.NumLandMarks(), 0);
  EXPECT_EQ(dst.FLM.Capacity(), 1000);
}

TEST_F(GeoMapAssign, AssignToAnotherMap) {
  src.SetEmptyMsg("from source");
  src.SetCalibData(SampleCalibration());
  src.AssignTo(&dst);
  EXPECT_EQ(dst.EmptyMsg(), "from source");
  EXPECT_EQ(dst.CalibData(), src.CalibData());
}

TEST_F(GeoMapAssign, OtherObjectsAreRefused) {
  QObject other;
  try {
    dst.Assign(&other);
    FAIL() << "no exception";
  } catch (const EVEKGeoMapError& e) {
    EXPECT_EQ(std::string(e.what()), "Component \"Map1\": cannot assign a QObject to a vek::TGeoMap");
  }
  EXPECT_THROW(dst.Assign(nullptr), EVEKGeoMapError);
  EXPECT_THROW(src.AssignTo(&other), EVEKGeoMapError);
  EXPECT_THROW(src.AssignTo(nullptr), EVEKGeoMapError);
  // Assigning a map to itself changes nothing.
  dst.SetEmptyMsg("same");
  dst.Assign(&dst);
  EXPECT_EQ(dst.EmptyMsg(), "same");
}

TEST_F(GeoMapAssign, ClearForgetsCalibrationImageStateAndTrace) {
  src.SetMapBitMap(BitmapOf(Quadrants(300, 200)));
  src.SetCalibData(SampleCalibration());
  src.SetCalibModel(cmEquiRect);
  src.FLM.AppendLandMark(src.FLM.MakeLandMark(1, 2, 3));
  src.FLM.AppendMTracePoint(5, 5);
  src.SetColorBackGnd(0x445566);
  const QImage pixels = src.MapBitmap()->Image();

  const int paints = src.CompositionCount();
  src.Clear();
  EXPECT_EQ(src.CompositionCount(), paints + 1);
  EXPECT_EQ(src.CalibModel(), cmUndefined);
  EXPECT_EQ(src.CalibData().NumCalQuads, 0);
  EXPECT_EQ(src.CalibData().NumCalLines, 0);
  EXPECT_EQ(src.CalibData().UTMZone, -1);
  EXPECT_EQ(src.CalibData().MapFName, "");
  EXPECT_EQ(src.Caption(), "");
  EXPECT_EQ(src.NumMTracePoints(), 0);
  EXPECT_EQ(src.MapImgFile(), "");
  EXPECT_EQ(src.MapImgWidth(), 0);
  EXPECT_EQ(src.MapImgHeight(), 0);
  // Landmarks, colours and pixels stay.
  EXPECT_EQ(src.NumLandMarks(), 1);
  EXPECT_EQ(src.ColorBackGnd(), 0x445566u);
  EXPECT_EQ(src.MapBitmap()->Image(), pixels);
}

class GeoMapResize : public ::testing::Test {
 protected:
  MapHost h;
  testing::TestMap& m = *h.map;
  void SetUp() override {
    m.SetMapBitMap(BitmapOf(Quadrants(300, 200)));
    m.SetCalibData(SampleCalibration());
    m.SetCalibModel(cmEquiRect);
    m.SetTopLeft({40, 30});
  }
};

TEST_F(GeoMapResize, DoublingScalesImageAndCalibrationPoints) {
  m.SetAntiAlias(false);
  m.SetMagnification(0.5);  // builds the cache, which the resize must drop
  ASSERT_EQ(m.FCacheMag, 0.5);
  const int paints = m.CompositionCount();
  m.ResizeMap(2.0);
  EXPECT_EQ(m.CompositionCount(), paints + 1);
  EXPECT_EQ(m.MapImgWidth(), 600);
  EXPECT_EQ(m.MapImgHeight(), 400);
  EXPECT_EQ(m.MapBitmap()->Width(), 600);
  EXPECT_EQ(m.MapBitmap()->Height(), 400);
  EXPECT_EQ(m.TopLeft(), (TPoint{0, 0}));
  EXPECT_EQ(m.Magnification(), 0.5);
  EXPECT_EQ(m.MapImgFile(), "$unknown$");
  EXPECT_EQ(PixelOf(*m.MapBitmap(), 10, 10), testing::kRed);
  EXPECT_EQ(PixelOf(*m.MapBitmap(), 590, 10), testing::kGreen);
  EXPECT_EQ(PixelOf(*m.MapBitmap(), 10, 390), testing::kBlue);
  EXPECT_EQ(PixelOf(*m.MapBitmap(), 590, 390), testing::kYellow);

  const TCalibData& d = m.CalibData();
  EXPECT_EQ(d.CalLines[1].CalPoints[1], (TPoint{20, 40}));
  EXPECT_EQ(d.CalLines[1].CalPoints[2], (TPoint{302, 42}));
  EXPECT_EQ(d.CalLines[2].CalPoints[1], (TPoint{60, 398}));
  EXPECT_EQ(d.CalQuads[2].MapX, 600);
  EXPECT_EQ(d.CalQuads[3].MapY, 400);
  // The refit follows the new pixels: the image corner is still at the same position.
  bool valid = false;
  EXPECT_NEAR(m.FCal.CalcLongitude(600, 0, valid), 17.0, 1e-9);
  EXPECT_NEAR(d.Corners[gcoBottomRight].Latit, 47.0, 1e-9);
  EXPECT_NEAR(d.Corners[gcoBottomRight].Longit, 17.0, 1e-9);
}

TEST_F(GeoMapResize, LongerEdgeLength) {
  m.ResizeMap(1000);
  // Factor 1000/300: 200 rows become 666.67, rounded to 667.
  EXPECT_EQ(m.MapImgWidth(), 1000);
  EXPECT_EQ(m.MapImgHeight(), 667);
  EXPECT_EQ(m.CalibData().CalLines[1].CalPoints[2], (TPoint{503, 70}));
  EXPECT_EQ(m.CalibData().CalQuads[2].MapX, 1000);
  // Halves go to the even neighbour: 1.5 -> 2, 2.5 -> 2.
  TCalibData d = m.CalibData();
  d.CalQuads[1].MapX = 3;
  d.CalQuads[1].MapY = 5;
  m.SetCalibData(d);
  m.ResizeMap(0.5);
  EXPECT_EQ(m.CalibData().CalQuads[1].MapX, 2);
  EXPECT_EQ(m.CalibData().CalQuads[1].MapY, 2);
  EXPECT_EQ(m.MapImgWidth(), 500);
  EXPECT_EQ(m.MapImgHeight(), 334);  // 333.5 -> 334
}

TEST_F(GeoMapResize, SmoothingFollowsAntiAlias) {
  auto colours = [&] {
    std::set<TColor> s;
    const QImage& img = m.MapBitmap()->Image();
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x) s.insert(PixelOf(img, x, y));
    return s.size();
  };
  m.SetMapBitMap(BitmapOf(Quadrants(4, 4)));
  m.SetAntiAlias(false);
  m.ResizeMap(7.0);
  EXPECT_EQ(colours(), 4u);  // pixel dropping keeps the four colours
  m.SetMapBitMap(BitmapOf(Quadrants(4, 4)));
  m.SetAntiAlias(true);
  m.ResizeMap(7.0);
  EXPECT_GT(colours(), 4u);  // smoothing blends at the borders
}

TEST_F(GeoMapResize, BadFactorsAreRefused) {
  EXPECT_THROW(m.ResizeMap(0.0), EVEKGeoMapError);
  EXPECT_THROW(m.ResizeMap(-2.0), EVEKGeoMapError);
  EXPECT_THROW(m.ResizeMap(std::numeric_limits<double>::quiet_NaN()), EVEKGeoMapError);
  EXPECT_THROW(m.ResizeMap(0.001), EVEKGeoMapError);  // nothing would be left
  try {
    m.ResizeMap(10.0);
    FAIL() << "no exception";
  } catch (const EVEKGeoMapError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Component \"Map1\": Cannot use map image, maximum of 3000000 pixels exceeded "
              "(size of map is 3000 x 2000)");
  }
  // Nothing changed.
  EXPECT_EQ(m.MapImgWidth(), 300);
  EXPECT_EQ(m.MapBitmap()->Width(), 300);
  EXPECT_EQ(m.CalibData().CalQuads[2].MapX, 300);
  EXPECT_EQ(m.TopLeft(), (TPoint{40, 30}));
}

TEST(GeoMapResizeEmpty, WithoutImageNothingHappens) {
  MapHost h;
  h.map->ResizeMap(800);
  h.map->ResizeMap(2.0);
  EXPECT_EQ(h.map->MapImgWidth(), 0);
  EXPECT_TRUE(h.map->MapBitmap()->Empty());
}

}  // namespace
}  // namespace vek
