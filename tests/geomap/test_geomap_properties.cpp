// Defaults and setters of the map control: clamping, ignoring and repainting.
#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <vector>

#include "test_geomap_helpers.h"

namespace vek {
namespace {

using testing::MapHost;

class GeoMapProps : public ::testing::Test {
 protected:
  MapHost h;
  testing::TestMap& m = *h.map;
  // Compositions caused by F.
  template <class F>
  int Repaints(F&& f) {
    const int before = m.CompositionCount();
    f();
    return m.CompositionCount() - before;
  }
};

TEST_F(GeoMapProps, StateAfterCreation) {
  EXPECT_EQ(m.width(), 500);
  EXPECT_EQ(m.height(), 400);
  EXPECT_EQ(m.MouseAction(), maPan);
  EXPECT_EQ(m.CalibModel(), cmUndefined);
  EXPECT_EQ(m.CalibData(), TCalibData{});
  EXPECT_EQ(m.FCal.GratMat().NrOfColumns(), 5);
  EXPECT_EQ(m.FCal.GratMat().NrOfRows(), 1);
  EXPECT_EQ(m.FLM.Capacity(), 1000);
  EXPECT_EQ(m.AuxBmp->PixelFormat(), pf15bit);
  EXPECT_EQ(m.FImgCache->PixelFormat(), pf15bit);
  EXPECT_TRUE(m.MapBitmap()->Empty());
  for (int i = 0; i <= 255; ++i) ASSERT_TRUE(m.LMClassVisible(uint8_t(i))) << i;
  // The zoom history holds the initial view.
  EXPECT_EQ(m.ZoomStack(0), (TgmZoomStackEntry{0, 0, 1.0}));
  EXPECT_EQ(m.ZoomStack(-1), TgmZoomStackEntry{});
  EXPECT_EQ(m.Viewport().StackPoi, 2);
}

TEST_F(GeoMapProps, ClampedSetters) {
  EXPECT_EQ(Repaints([&] { m.SetGratLineDist(-5); }), 1);
  EXPECT_EQ(m.GratLineDist(), 0.0);
  m.SetGratLineDist(75);
  EXPECT_EQ(m.GratLineDist(), 60.0);
  m.SetGratLineDist(0.25);
  EXPECT_EQ(m.GratLineDist(), 0.25);

  EXPECT_EQ(Repaints([&] { m.SetUTMGridDist(20000000); }), 1);
  EXPECT_EQ(m.UTMGridDist(), 10000000);
  m.SetUTMGridDist(-3);
  EXPECT_EQ(m.UTMGridDist(), 0);
  m.SetUTMGridDist(2500);
  EXPECT_EQ(m.UTMGridDist(), 2500);

  // At the default magnification the cache is not used: no repaint.
  EXPECT_EQ(Repaints([&] { m.SetCacheMagLimit(0.9); }), 0);
  EXPECT_DOUBLE_EQ(m.CacheMagLimit(), 2.0 / 3.0);
  m.SetCacheMagLimit(-1);
  EXPECT_EQ(m.CacheMagLimit(), 0.0);
  m.SetMagnification(0.5);
  EXPECT_EQ(Repaints([&] { m.SetCacheMagLimit(0.4); }), 1);
  EXPECT_EQ(m.CacheMagLimit(), 0.4);
}

TEST_F(GeoMapProps, NotANumberIsIgnored) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  m.SetGratLineDist(12);
  m.SetGratLineDist(nan);
  EXPECT_EQ(m.GratLineDist(), 12.0);
  m.SetCacheMagLimit(nan);
  EXPECT_DOUBLE_EQ(m.CacheMagLimit(), 2.0 / 3.0);
  EXPECT_EQ(Repaints([&] { m.SetMagnification(nan); }), 0);
  EXPECT_EQ(m.Magnification(), 1.0);
  // Values outside 1/64 ... 64 are clamped, never taken as they are.
  m.SetMagnification(0);
  EXPECT_EQ(m.Magnification(), 1.0 / 64);
  m.SetMagnification(-2);
  EXPECT_EQ(m.Magnification(), 1.0 / 64);
  m.SetMagnification(std::numeric_limits<double>::infinity());
  EXPECT_EQ(m.Magnification(), 64.0);
  EXPECT_EQ(Repaints([&] { m.SetMagnification(2.5); }), 1);
  EXPECT_EQ(m.Magnification(), 2.5);
}

TEST_F(GeoMapProps, IgnoredValues) {
  EXPECT_EQ(Repaints([&] { m.SetRandSampleLimit(1000); }), 0);
  EXPECT_EQ(m.LMRandomDisplayThreshold(), 20000);
  EXPECT_EQ(Repaints([&] { m.SetRandSampleLimit(1001); }), 1);
  EXPECT_EQ(m.LMRandomDisplayThreshold(), 1001);
  EXPECT_EQ(Repaints([&] { m.SetRandSampleLimit(1001); }), 0);
  m.SetRandSampleLimit(-5);
  EXPECT_EQ(m.LMRandomDisplayThreshold(), 1001);

  EXPECT_EQ(Repaints([&] {
              m.SetUTMZone(33);
              m.SetUTMZone(0);
              m.SetUTMZone(61);
              m.SetUTMZone(-1);
            }),
            0);
  EXPECT_EQ(m.UTMZone(), 33);
  m.SetUTMZone(1);
  EXPECT_EQ(m.UTMZone(), 1);
  m.SetUTMZone(60);
  EXPECT_EQ(m.UTMZone(), 60);
  EXPECT_EQ(m.CalibData().UTMZone, 60);
}

TEST_F(GeoMapProps, HighlightIndexFollowsTheLandmarkCount) {
  EXPECT_EQ(Repaints([&] { m.SetHighLM(m.NumLandMarks() + 1); }), 0);
  EXPECT_EQ(m.HighLightLandMark(), 0);
  for (int i = 0; i < 3; ++i) m.FLM.AppendLandMark(m.FLM.MakeLandMark(i, i, 0));
  EXPECT_EQ(Repaints([&] { m.SetHighLM(3); }), 1);
  EXPECT_EQ(m.HighLightLandMark(), 3);
  EXPECT_EQ(Repaints([&] { m.SetHighLM(3); }), 0);
  m.SetHighLM(4);
  EXPECT_EQ(m.HighLightLandMark(), 0);
  m.SetHighLM(2);
  m.SetHighLM(-1);
  EXPECT_EQ(m.HighLightLandMark(), 0);
}

TEST_F(GeoMapProps, AllowPanIsMouseActionOne) {
  m.SetAllowPan(false);
  EXPECT_EQ(m.MouseAction(), maNone);
  EXPECT_FALSE(m.AllowPan());
  m.SetAllowPan(true);
  EXPECT_EQ(m.MouseAction(), maPan);
  for (TMouseActMode a : {maPanHoriz, maPanVert, maRubberBand, maZoomBox, maMouseTrace}) {
    m.SetMouseAction(a);
    EXPECT_FALSE(m.AllowPan()) << int(a);
  }
  EXPECT_EQ(Repaints([&] { m.SetAllowPan(true); }), 0);
}

TEST_F(GeoMapProps, RepaintingSetters) {
  const std::vector<std::function<void()>> setters = {
      [&] { m.SetAntiAlias(false); },          [&] { m.SetColorBackGnd(0x123456); },
      [&] { m.SetColorGraticule(1); },         [&] { m.SetColorCalibPoints(2); },
      [&] { m.SetColorFrame(3); },             [&] { m.SetEmptyMsg("nothing"); },
      [&] { m.SetTopLeft({-40, 7000}); },      [&] { m.SetClassVisibility(17, false); },
      [&] { m.SetHighLightProperties(1, 2, true); },
  };
  for (size_t i = 0; i < setters.size(); ++i) EXPECT_EQ(Repaints(setters[i]), 1) << i;
  EXPECT_EQ(m.TopLeft(), (TPoint{-40, 7000}));  // not clamped
  EXPECT_FALSE(m.LMClassVisible(17));
  EXPECT_TRUE(m.LMClassVisible(16));
}

TEST_F(GeoMapProps, RepaintOnlyOnChange) {
  EXPECT_EQ(Repaints([&] { m.SetFrameStyle(fsBevel); }), 0);
  EXPECT_EQ(Repaints([&] { m.SetFrameStyle(fsSingle); }), 1);
  EXPECT_EQ(m.FrameStyle(), fsSingle);
  EXPECT_EQ(Repaints([&] { m.SetShowGrat(sgNone); }), 0);
  EXPECT_EQ(Repaints([&] { m.SetShowGrat(sgPointsAndLines); }), 1);
  EXPECT_EQ(m.ShowGraticule(), sgPointsAndLines);
}

TEST_F(GeoMapProps, SilentSetters) {
  EXPECT_EQ(Repaints([&] {
              m.SetUTMHemisphere(hemiSouth);
              m.SetMapCaption("Wachau");
              m.SetMouseTraceColor(0x00FF00);
              m.SetMouseTraceInvert(false);
              m.SetConfinePan(false);
            }),
            0);
  EXPECT_EQ(m.UTMHemisphere(), hemiSouth);
  EXPECT_TRUE(m.CalibData().UTMSouth);
  m.SetUTMHemisphere(hemiNorth);
  EXPECT_FALSE(m.CalibData().UTMSouth);
  EXPECT_EQ(m.Caption(), "Wachau");
  EXPECT_EQ(m.CalibData().Caption, "Wachau");
  EXPECT_EQ(m.MouseTraceColor(), 0x00FF00u);
  EXPECT_FALSE(m.MouseTraceInvert());
  EXPECT_FALSE(m.ConfinePanToMapImage());
}

TEST_F(GeoMapProps, CalibModelRefitsAndRepaints) {
  TCalibData d{};
  d.NumCalQuads = 3;
  d.CalQuads[1] = {10, 20, 0, 0};
  d.CalQuads[2] = {10, 30, 100, 0};
  d.CalQuads[3] = {0, 20, 0, 100};
  m.SetCalibData(d);  // stored as it is, no fit yet
  bool valid = true;
  m.FCal.CalcLatitude(50, 50, valid);
  EXPECT_FALSE(valid);
  EXPECT_EQ(Repaints([&] { m.SetCalibModel(cmEquiRect); }), 1);
  EXPECT_EQ(m.CalibModel(), cmEquiRect);
  EXPECT_NEAR(m.FCal.CalcLatitude(50, 50, valid), 5.0, 1e-9);
  EXPECT_TRUE(valid);
  EXPECT_NEAR(m.FCal.CalcLongitude(50, 50, valid), 25.0, 1e-9);
}

TEST_F(GeoMapProps, SuppressPaintBatchesIntoOneRepaint) {
  const int n = Repaints([&] {
    m.SetSuppressPaint(true);
    m.SetSuppressPaint(true);
    m.SetColorBackGnd(0x010203);
    m.SetGratLineDist(5);
    m.SetEmptyMsg("batch");
    m.Paint();
    m.SetSuppressPaint(false);
  });
  EXPECT_EQ(n, 1);
  EXPECT_EQ(Repaints([&] { m.SetSuppressPaint(false); }), 0);
}

TEST_F(GeoMapProps, LastClickPositionWithoutCalibrationIsZero) {
  h.host.show();
  testing::Click(&m, 120, 80);
  EXPECT_EQ(m.LastClickPosX(), 120);
  EXPECT_EQ(m.LastClickLatitude(), 0.0);
  EXPECT_EQ(m.LastClickLongitude(), 0.0);

  TCalibData d{};
  d.NumCalQuads = 3;
  d.CalQuads[1] = {48, 16, 0, 0};
  d.CalQuads[2] = {48, 17, 1000, 0};
  d.CalQuads[3] = {47, 16, 0, 1000};
  m.SetCalibData(d);
  m.SetCalibModel(cmEquiRect);
  EXPECT_NEAR(m.LastClickLatitude(), 48 - 0.08, 1e-9);
  EXPECT_NEAR(m.LastClickLongitude(), 16.12, 1e-9);
}

}  // namespace
}  // namespace vek

namespace vek {
namespace {

// Qt's property system and style sheets reach the published properties through the same
// setters: clamping and repaints stay.
TEST(GeoMapQtProperties, SetPropertyAndStyleSheets) {
  QWidget host;
  auto* m = new TGeoMap(&host);
  int before = m->CompositionCount();
  EXPECT_TRUE(m->setProperty("ShowGraticule", "PointsAndLines"));
  EXPECT_EQ(m->ShowGraticule(), sgPointsAndLines);
  EXPECT_EQ(m->CompositionCount(), before + 1);
  EXPECT_TRUE(m->setProperty("GratLineDist", 99.0));
  EXPECT_EQ(m->GratLineDist(), 60.0);  // clamped as by the setter
  EXPECT_TRUE(m->setProperty("ColorBackGnd", QColor(0x10, 0x20, 0x30)));
  EXPECT_EQ(m->ColorBackGnd(), 0x302010u);
  EXPECT_TRUE(m->setProperty("CalibModel", "EquiRect"));
  EXPECT_EQ(m->CalibModel(), cmEquiRect);
  EXPECT_TRUE(m->setProperty("MouseAction", "ZoomBox"));
  EXPECT_EQ(m->MouseAction(), maZoomBox);
  EXPECT_FALSE(m->property("AllowPan").toBool());
  EXPECT_EQ(m->property("FrameStyle").toString(), "Bevel");

  host.setStyleSheet("vek--TGeoMap { qproperty-UTMGridDist: 2500; qproperty-ColorGraticule: #00ff00; }");
  host.ensurePolished();
  m->ensurePolished();
  EXPECT_EQ(m->UTMGridDist(), 2500);
  EXPECT_EQ(m->ColorGraticule(), 0x00FF00u);
}

}  // namespace
}  // namespace vek
