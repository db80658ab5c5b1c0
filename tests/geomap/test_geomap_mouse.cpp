// The map control under real mouse, wheel and key events on a shown widget: panning, the
// zoom box, drag zoom, rubber-band lines, the selection rectangle, the mouse trace, the
// modal MouseBox and the XOR overlays they draw.
#include <gtest/gtest.h>

#include <QTimer>
#include <QWheelEvent>
#include <cmath>
#include <vector>

#include "test_geomap_helpers.h"

namespace vek {
namespace {

using testing::Move;
using testing::PixelOf;
using testing::Press;
using testing::Release;

// A calibration in which image pixel (x, y) lies at longitude 16 + x / 1000 and latitude
// 48 - y / 1000.
TCalibData LinearCalibration() {
  TCalibData d{};
  d.NumCalQuads = 3;
  d.CalQuads[1] = {48, 16, 0, 0};
  d.CalQuads[2] = {48, 17, 1000, 0};
  d.CalQuads[3] = {47, 16, 0, 1000};
  return d;
}

class GeoMapMouse : public ::testing::Test {
 protected:
  testing::MapHost h;
  TGeoMap& m = *h.map;
  int zoomPans = 0;

  void SetUp() override {
    h.host.resize(500, 400);
    m.setGeometry(0, 0, 500, 400);
    m.SetMapBitMap(testing::BitmapOf(testing::Quadrants(1000, 800)));
    m.OnZoomPan = [this](TObject* s) {
      EXPECT_EQ(s, &m);
      ++zoomPans;
    };
    h.host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&h.host));
  }

  // What the control shows, and the picture last composed (of the control's size).
  QImage Shown() { return m.CanvasImage().copy(); }
  QImage Composed() { return m.CompositionBitmap()->Image().copy(0, 0, m.width(), m.height()); }
  TColor ShownAt(int x, int y) { return PixelOf(m.CanvasImage(), x, y); }
  TColor ComposedAt(int x, int y) { return PixelOf(m.CompositionBitmap()->Image(), x, y); }
  bool Inverted(int x, int y) { return ShownAt(x, y) == (ComposedAt(x, y) ^ 0xFFFFFF); }
  void ExpectOverlayPenReset() {
    EXPECT_EQ(m.Canvas()->Pen().Mode(), pmCopy);
    EXPECT_EQ(m.Canvas()->Pen().Style(), psSolid);
    EXPECT_EQ(m.Canvas()->Brush().Style(), bsSolid);
  }
  void Save(const QImage& img, const char* name) { img.save(QString("mouse_") + name + ".png"); }
};

TEST_F(GeoMapMouse, PanFollowsTheDragInEachDirectionMode) {
  m.SetMagnification(2);
  m.SetTopLeft({100, 100});
  // The drag starts at the first move with the button held.
  Press(&m, 100, 100);
  Move(&m, 100, 100);
  Move(&m, 60, 80);
  EXPECT_EQ(m.TopLeft(), (TPoint{120, 110}));
  EXPECT_EQ(zoomPans, 1);
  // Outside the control nothing moves, but the drag goes on.
  Move(&m, -5, 50);
  Move(&m, 80, 401);
  EXPECT_EQ(m.TopLeft(), (TPoint{120, 110}));
  EXPECT_EQ(zoomPans, 1);
  Move(&m, 80, 90);
  EXPECT_EQ(m.TopLeft(), (TPoint{110, 105}));
  Release(&m, 80, 90);
  EXPECT_EQ(m.ZoomStack(0), (TgmZoomStackEntry{110, 105, 2}));

  // A second drag that follows at once, without a move in between, starts from its own
  // first move instead of jumping by the distance to the first drag's anchor.
  Press(&m, 200, 200);
  Move(&m, 200, 200);
  EXPECT_EQ(m.TopLeft(), (TPoint{110, 105}));
  // Dragged beyond the image's left edge, the view stops there.
  Move(&m, 499, 399);
  EXPECT_EQ(m.TopLeft(), (TPoint{0, 5}));
  Move(&m, 0, 0);
  Release(&m, 0, 0);
  EXPECT_EQ(m.TopLeft(), (TPoint{210, 205}));
  m.SetConfinePan(false);
  Press(&m, 0, 0);
  Move(&m, 0, 0);
  Move(&m, 499, 399);
  Release(&m, 499, 399);
  EXPECT_EQ(m.TopLeft(), (TPoint{-40, 5}));  // -249.5 and -199.5 round to even

  // One axis only; the release pushes even when nothing moved.
  m.SetTopLeft({100, 100});
  m.SetMouseAction(maPanHoriz);
  Press(&m, 100, 100);
  Move(&m, 100, 100);
  Move(&m, 60, 80);
  Release(&m, 60, 80);
  EXPECT_EQ(m.TopLeft(), (TPoint{120, 100}));
  m.SetMouseAction(maPanVert);
  Press(&m, 100, 100);
  Move(&m, 100, 100);
  Move(&m, 60, 80);
  Release(&m, 60, 80);
  EXPECT_EQ(m.TopLeft(), (TPoint{120, 110}));
  testing::Click(&m, 5, 5);
  EXPECT_EQ(m.ZoomStack(0), (TgmZoomStackEntry{120, 110, 2}));
  EXPECT_EQ(m.ZoomStack(-1), (TgmZoomStackEntry{120, 110, 2}));
  EXPECT_EQ(m.ZoomStack(-2), (TgmZoomStackEntry{120, 100, 2}));
  EXPECT_EQ(m.LastClickPosX(), 122);  // round(5 / 2) + 120, halves to even
  EXPECT_EQ(m.LastClickPosY(), 112);
  EXPECT_EQ(m.LastMousePosX(), 150);
}

TEST_F(GeoMapMouse, ZoomBoxZoomsIntoTheDraggedBox) {
  m.SetMouseAction(maZoomBox);
  const int paints = m.CompositionCount();
  Press(&m, 100, 100);
  EXPECT_EQ(m.ZoomState(), zsZoomBoxActive);
  Move(&m, 400, 300);
  Move(&m, 300, 200);
  // The box on screen is the last one: the first was erased by drawing it again.
  EXPECT_TRUE(Inverted(200, 100));
  EXPECT_TRUE(Inverted(300 - 1, 150));
  EXPECT_FALSE(Inverted(350, 100));
  EXPECT_FALSE(Inverted(399, 200));
  EXPECT_EQ(m.CompositionCount(), paints);  // dragging the box does not recompose
  Save(Shown(), "zoombox");
  ExpectOverlayPenReset();
  Release(&m, 300, 200);
  EXPECT_EQ(m.ZoomState(), zsIdle);
  EXPECT_EQ(m.Magnification(), 2.5);  // 500 / 200: the box is wider than tall
  EXPECT_EQ(m.TopLeft(), (TPoint{100, 70}));
  EXPECT_EQ(zoomPans, 1);
  EXPECT_EQ(m.ZoomStack(0), (TgmZoomStackEntry{0, 0, 1}));  // the box zoom does not push
  EXPECT_EQ(Shown(), Composed());

  // Dragged from bottom-right to top-left, released outside: the corners are put in order
  // and the release point is not limited to the control.
  m.SetMagnification(1);
  m.SetTopLeft({0, 0});
  Press(&m, 300, 200);
  Move(&m, -50, 100);
  Release(&m, -100, 100);
  EXPECT_EQ(m.Magnification(), 1.25);  // 500 / 400
  EXPECT_EQ(m.TopLeft(), (TPoint{-100, -10}));  // 100 + round((100 - 320) / 2)
  EXPECT_EQ(zoomPans, 2);

  // Corners on the same image column: no zoom, and the box does not stay behind.
  m.SetMagnification(64);
  m.SetTopLeft({0, 0});
  const QImage before = Shown();
  Press(&m, 100, 100);
  Move(&m, 110, 300);
  EXPECT_NE(Shown(), before);
  Release(&m, 110, 300);
  EXPECT_EQ(m.Magnification(), 64.0);
  EXPECT_EQ(Shown(), before);
  // No move at all: nothing to zoom into.
  testing::Click(&m, 50, 50);
  EXPECT_EQ(m.Magnification(), 64.0);
  EXPECT_EQ(zoomPans, 2);

  // A right release cancels and erases; a middle release changes nothing.
  m.SetMagnification(1);
  Press(&m, 100, 100);
  Move(&m, 300, 200);
  Release(&m, 300, 200, Qt::MiddleButton);
  EXPECT_EQ(m.ZoomState(), zsZoomBoxActive);
  Release(&m, 300, 200, Qt::RightButton);
  EXPECT_EQ(m.ZoomState(), zsIdle);
  EXPECT_EQ(Shown(), Composed());
  EXPECT_EQ(m.Magnification(), 1.0);
  // A press outside the control starts no box.
  Press(&m, 501, 10);
  EXPECT_EQ(m.ZoomState(), zsIdle);
  Release(&m, 501, 10);
}

TEST_F(GeoMapMouse, SelectRectangleReportsPositionsOrPixels) {
  m.SetMouseAction(maSelectRect);
  std::vector<TPoint> begun;
  m.OnBeginRubberBand = [&](TObject*, const TPoint& p) { begun.push_back(p); };
  int kind = -1;
  double v[4] = {};
  m.OnSelectRect = [&](TObject*, int32_t k, double a, double b, double c, double d) {
    kind = k;
    v[0] = a, v[1] = b, v[2] = c, v[3] = d;
  };
  m.SetMagnification(2);
  m.SetTopLeft({10, 20});

  // Without a calibration the corners come as image pixels, in the order dragged.
  Press(&m, 300, 200);
  ASSERT_EQ(begun.size(), 1u);
  EXPECT_EQ(begun[0], (TPoint{160, 120}));
  Move(&m, 100, 60);
  Move(&m, 80, -40);  // the rectangle stops at the edge
  const QImage dotted = Shown();
  Save(dotted, "selectrect");
  int inverted = 0;
  for (int x = 80; x < 300; ++x) inverted += Inverted(x, 0);
  EXPECT_GT(inverted, 50);   // dotted: some pixels of the edge, not all
  EXPECT_LT(inverted, 180);
  EXPECT_FALSE(Inverted(200, 60));  // the earlier rectangle is gone
  ExpectOverlayPenReset();
  Release(&m, 80, -40);  // the release point is not limited
  EXPECT_EQ(kind, 0);
  EXPECT_EQ(v[0], 160);
  EXPECT_EQ(v[1], 120);
  EXPECT_EQ(v[2], 50);
  EXPECT_EQ(v[3], 0);
  EXPECT_EQ(Shown(), Composed());

  // With one, as longitude and latitude of both corners.
  m.SetCalibData(LinearCalibration());
  m.SetCalibModel(cmEquiRect);
  Press(&m, 100, 100);
  Move(&m, 200, 300);
  Release(&m, 200, 300);
  EXPECT_EQ(kind, 1);
  EXPECT_NEAR(v[0], 16.060, 1e-9);
  EXPECT_NEAR(v[1], 47.930, 1e-9);
  EXPECT_NEAR(v[2], 16.110, 1e-9);
  EXPECT_NEAR(v[3], 47.830, 1e-9);
  EXPECT_EQ(begun.size(), 2u);

  // A right press starts nothing, and a release without a rectangle reports nothing.
  kind = -1;
  Press(&m, 10, 10, Qt::RightButton);
  Release(&m, 10, 10, Qt::RightButton);
  m.SetMouseAction(maPan);
  Press(&m, 10, 10);
  m.SetMouseAction(maSelectRect);
  Release(&m, 10, 10);
  EXPECT_EQ(kind, -1);
}

TEST_F(GeoMapMouse, RubberBandDrawsSegmentsThatCtrlStartsAnew) {
  m.SetMouseAction(maRubberBand);
  std::vector<std::string> events;
  auto log = [&](const char* what) {
    return [&events, what](TObject*, const TPoint& p) {
      events.push_back(std::string(what) + " " + std::to_string(p.X) + "," + std::to_string(p.Y));
    };
  };
  m.OnBeginRubberBand = log("begin");
  m.OnContinueRubberBand = log("continue");
  m.OnEndRubberBand = log("end");

  // Ctrl while no band is on starts one.
  Press(&m, 50, 50, Qt::LeftButton, Qt::ControlModifier);
  Release(&m, 50, 50, Qt::LeftButton, Qt::ControlModifier);
  EXPECT_TRUE(m.MouseState().RubberBandOn);
  // The line follows the mouse with no button held.
  Move(&m, 150, 50, Qt::NoButton);
  EXPECT_TRUE(Inverted(100, 50));
  Move(&m, 150, 100, Qt::NoButton);
  EXPECT_FALSE(Inverted(100, 50));
  EXPECT_TRUE(Inverted(100, 75));
  ExpectOverlayPenReset();

  // Ctrl starts a new segment where it is pressed, which need not be where the mouse last
  // moved; the finished one stays, and no stray line is left between the two points.
  Press(&m, 160, 100, Qt::LeftButton, Qt::ControlModifier);
  Release(&m, 160, 100, Qt::LeftButton, Qt::ControlModifier);
  Move(&m, 250, 100, Qt::NoButton);
  EXPECT_TRUE(Inverted(100, 75));
  EXPECT_TRUE(Inverted(200, 100));
  for (int x = 150; x < 160; ++x) EXPECT_FALSE(Inverted(x, 100)) << x;
  Save(Shown(), "rubberband");

  // A plain press ends the band and erases the segment being drawn.
  Press(&m, 250, 100);
  Release(&m, 250, 100);
  EXPECT_FALSE(m.MouseState().RubberBandOn);
  EXPECT_FALSE(Inverted(200, 100));
  EXPECT_TRUE(Inverted(100, 75));
  EXPECT_EQ(events, (std::vector<std::string>{"begin 50,50", "continue 160,100", "end 250,100"}));
  m.Paint();
  EXPECT_EQ(Shown(), Composed());
}

TEST_F(GeoMapMouse, DragZoomKeepsTheCentreAndStaysInRange) {
  m.SetMouseAction(maDragZoom);
  Press(&m, 250, 200);
  Move(&m, 250, 200);
  Move(&m, 250, 100);  // up by a quarter of the height: 1.25 times
  EXPECT_EQ(m.Magnification(), 1.25);
  EXPECT_EQ(m.TopLeft(), (TPoint{50, 40}));
  EXPECT_EQ(m.ControlToMapImage({250, 200}), (TPoint{250, 200}));
  Move(&m, 350, 200);  // right: a twentieth of the weight
  EXPECT_DOUBLE_EQ(m.Magnification(), 1.25 * 1.01);
  EXPECT_EQ(zoomPans, 2);
  Move(&m, 350, 450);  // outside: nothing
  EXPECT_EQ(zoomPans, 2);
  Release(&m, 350, 200);
  EXPECT_EQ(m.ZoomStack(0).MagF, m.Magnification());

  // Far below and left of the anchor the factor would be zero or less; the view stops at
  // the smallest magnification instead.
  Press(&m, 500, 0);
  Move(&m, 500, 0);
  Move(&m, 0, 400);
  EXPECT_EQ(m.Magnification(), TMapViewport::MinMagnification);
  Move(&m, 0, 400);
  EXPECT_EQ(m.Magnification(), TMapViewport::MinMagnification);
  Release(&m, 0, 400);
  // And far above the anchor at the largest.
  Press(&m, 250, 400);
  Move(&m, 250, 400);
  for (int i = 0; i < 13; ++i) Move(&m, 250, 0);  // twice as large each time
  EXPECT_EQ(m.Magnification(), TMapViewport::MaxMagnification);
  Release(&m, 250, 0);
}

TEST_F(GeoMapMouse, ZoomStackKeepsTheLastSixteenReleases) {
  m.ClearZoomHistory();
  for (int i = 1; i <= 16; ++i) {
    m.SetTopLeft({i, 2 * i});
    testing::Click(&m, 10, 10);
  }
  m.ZoomHistory(0);
  EXPECT_EQ(m.TopLeft(), (TPoint{16, 32}));
  m.ZoomHistory(-15);
  EXPECT_EQ(m.TopLeft(), (TPoint{1, 2}));
  m.ZoomHistory(1);
  m.ZoomHistory(-16);
  EXPECT_EQ(m.TopLeft(), (TPoint{1, 2}));
  // The view that ClearZoomHistory pushed is gone.
  for (int i = 0; i >= -15; --i) EXPECT_NE(m.ZoomStack(i).Left, 0) << i;
}

TEST_F(GeoMapMouse, MouseTraceRecordsStrokesUpToItsCapacity) {
  m.SetMouseAction(maMouseTrace);
  m.SetCalibData(LinearCalibration());
  m.SetCalibModel(cmEquiRect);
  m.SetMouseTraceColor(0x00FF00);
  m.SetMouseTraceInvert(false);
  Press(&m, 10, 10);
  Move(&m, 10, 10);
  Move(&m, 60, 10);
  // The new segment is drawn at once, in the trace colour.
  EXPECT_EQ(ShownAt(30, 10), 0x00FF00u);
  Release(&m, 60, 10);
  EXPECT_EQ(m.NumMTracePoints(), 2);
  // The next stroke does not join the last one.
  Press(&m, 60, 100);
  Move(&m, 60, 100);
  EXPECT_EQ(ShownAt(60, 50), ComposedAt(60, 50));
  // Moves beyond the control are recorded at its edge.
  Move(&m, 600, 100);
  EXPECT_NEAR(m.MouseTrace(4).X, 16.5, 1e-9);
  ExpectOverlayPenReset();

  auto at = [](int i) { return QPoint(10 + i % 480, 150 + i / 480); };
  for (int i = 5; i <= 5000; ++i) Move(&m, at(i).x(), at(i).y());
  EXPECT_EQ(m.NumMTracePoints(), 5000);
  Move(&m, 400, 390);  // the 5001st is not recorded
  EXPECT_EQ(m.NumMTracePoints(), 5000);
  EXPECT_NEAR(m.MouseTrace(5000).X, 16 + at(5000).x() / 1000.0, 1e-9);
  Release(&m, 400, 390);
  EXPECT_EQ(m.MouseTrace(5000).State & 1, 1);
  EXPECT_EQ(m.MouseTrace(4999).State & 1, 0);
}

TEST_F(GeoMapMouse, MouseBoxWaitsForTheUserOrAnAbort) {
  int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  bool boxOnScreen = false, nestedRefused = false;
  TMouseActMode during = maPan;
  QTimer::singleShot(0, [&] {
    during = m.MouseAction();
    Press(&m, 200, 60);
    Move(&m, 50, 30);
    boxOnScreen = Inverted(100, 30);
    nestedRefused = !m.MouseBox(x1, y1, x2, y2);
    Release(&m, 50, 30);
  });
  const QImage before = Shown();
  ASSERT_TRUE(m.MouseBox(x1, y1, x2, y2));
  EXPECT_EQ(during, maNone);  // no panning meanwhile
  EXPECT_TRUE(boxOnScreen);
  EXPECT_TRUE(nestedRefused);
  EXPECT_EQ((std::vector<int>{x1, y1, x2, y2}), (std::vector<int>{50, 30, 200, 60}));
  EXPECT_EQ(m.MouseAction(), maPan);
  EXPECT_EQ(m.MouseState().MouseBoxState, mbsIdle);
  EXPECT_EQ(m.TopLeft(), (TPoint{0, 0}));
  EXPECT_EQ(Shown(), before);
  ExpectOverlayPenReset();

  // Aborted by a timer while the box is dragged: false, and the box goes too.
  m.SetMouseAction(maZoomBox);
  QTimer::singleShot(0, [&] {
    Press(&m, 100, 100);
    Move(&m, 300, 200);
    boxOnScreen = Inverted(200, 100);
    QTimer::singleShot(0, [&] { m.MouseBoxAbort(); });
  });
  x1 = -1;
  EXPECT_FALSE(m.MouseBox(x1, y1, x2, y2));
  EXPECT_TRUE(boxOnScreen);
  EXPECT_EQ(x1, -1);
  EXPECT_EQ(m.MouseAction(), maZoomBox);
  EXPECT_EQ(Shown(), before);
  Release(&m, 300, 200);  // the late release finds nothing to finish
  EXPECT_EQ(m.ZoomState(), zsIdle);

  // A right press while the first corner is awaited gives up.
  QTimer::singleShot(0, [&] { Press(&m, 100, 100, Qt::RightButton); });
  EXPECT_FALSE(m.MouseBox(x1, y1, x2, y2));
  // So does hiding the control, and a hidden control asks for no box at all.
  QTimer::singleShot(0, [&] { h.host.hide(); });
  EXPECT_FALSE(m.MouseBox(x1, y1, x2, y2));
  EXPECT_FALSE(m.MouseBox(x1, y1, x2, y2));
}

TEST_F(GeoMapMouse, WheelZoomsAboutThePointUnderTheCursor) {
  m.SetTopLeft({100, 100});
  auto wheel = [&](int x, int y, int delta) {
    const QPointF p(x, y);
    QWheelEvent e(p, m.mapToGlobal(p), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(&m, &e);
    return e.isAccepted();
  };
  const TPoint under = m.ControlToMapImage({200, 150});
  EXPECT_TRUE(wheel(200, 150, 120));
  EXPECT_EQ(m.Magnification(), 1.25);
  EXPECT_EQ(m.ControlToMapImage({200, 150}), under);
  EXPECT_EQ(zoomPans, 1);
  EXPECT_EQ(m.ZoomStack(0), (TgmZoomStackEntry{m.TopLeft().X, m.TopLeft().Y, 1.25}));
  wheel(200, 150, -240);
  EXPECT_DOUBLE_EQ(m.Magnification(), 1 / 1.25);
  EXPECT_EQ(m.ControlToMapImage({200, 150}), under);
  wheel(200, 150, 120);
  EXPECT_DOUBLE_EQ(m.Magnification(), 1.0);
  EXPECT_EQ(m.TopLeft(), (TPoint{100, 100}));
  EXPECT_EQ(zoomPans, 3);

  // Under a zoom box being dragged the wheel waits: the box must stay erasable.
  m.SetMouseAction(maZoomBox);
  Press(&m, 100, 100);
  Move(&m, 200, 200);
  EXPECT_FALSE(wheel(150, 150, 120));
  Release(&m, 200, 200, Qt::RightButton);
  EXPECT_EQ(Shown(), Composed());
  EXPECT_DOUBLE_EQ(m.Magnification(), 1.0);

  // At the end of the range, and switched off, the wheel does nothing.
  m.SetMagnification(64);
  wheel(10, 10, 120);
  m.SetWheelZoom(false);
  EXPECT_FALSE(wheel(10, 10, -120));
  EXPECT_EQ(m.Magnification(), 64.0);
  EXPECT_EQ(zoomPans, 3);
}

TEST_F(GeoMapMouse, KeysPanAndZoomWithTheFocus) {
  m.SetMagnification(2);
  m.SetTopLeft({100, 100});
  m.setFocus();
  EXPECT_EQ(m.focusPolicy(), Qt::StrongFocus);
  QTest::keyClick(&m, Qt::Key_Right);
  QTest::keyClick(&m, Qt::Key_Down);
  EXPECT_EQ(m.TopLeft(), (TPoint{131, 125}));  // an eighth of the control: 31.25, 25
  EXPECT_EQ(zoomPans, 2);
  EXPECT_EQ(m.ZoomStack(0), (TgmZoomStackEntry{131, 125, 2}));
  const TPoint centre = m.ControlToMapImage({250, 200});
  QTest::keyClick(&m, Qt::Key_Plus);
  EXPECT_EQ(m.Magnification(), 2.5);
  EXPECT_EQ(m.ControlToMapImage({250, 200}), centre);
  QTest::keyClick(&m, Qt::Key_Minus);
  EXPECT_DOUBLE_EQ(m.Magnification(), 2.0);

  // At the image's edge a confined view does not move; horizontal-only panning ignores
  // up and down; switched off, the keys do nothing.
  m.SetTopLeft({0, 0});
  const int before = zoomPans;
  QTest::keyClick(&m, Qt::Key_Left);
  m.SetMouseAction(maPanHoriz);
  QTest::keyClick(&m, Qt::Key_Down);
  m.SetKeyboardNavigation(false);
  QTest::keyClick(&m, Qt::Key_Right);
  QTest::keyClick(&m, Qt::Key_Plus);
  EXPECT_EQ(m.TopLeft(), (TPoint{0, 0}));
  EXPECT_DOUBLE_EQ(m.Magnification(), 2.0);
  EXPECT_EQ(zoomPans, before);
}

}  // namespace
}  // namespace vek
