// The atlas on screen: outlines of the other maps, the mode buttons, the mouse events of the
// map passed on, the map list, and the atlas worked with the mouse as a user does.
#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <algorithm>

#include "AtlasTestSupport.h"

namespace vek {
namespace {

using testing::AtlasTest;

constexpr TColor kBlue = 0xFF0000;
constexpr TColor kRed = 0x0000FF;

// Three generated maps of the same region at three scales, saved again so that their files
// carry the resolution the map computes.
class AtlasMaps : public AtlasTest {
 protected:
  std::string MakeMap(const std::string& name, double latLow, double longLow, double latHigh,
                      double longHigh) {
    TGeoMap gen;
    const std::string xml = Path(name + ".xml");
    gen.CreateAndLoadEmptyMap(Path(name + ".dat"), latLow, longLow, latHigh, longHigh, 1, 1, 600,
                              400, nullptr);
    gen.SetMapCaption(name);
    gen.SaveCalDataAsXML(xml, "");
    return xml;
  }
  void SetUp() override {
    AtlasTest::SetUp();
    for (const std::string& f : {MakeMap("Europe", 40, 5, 50, 20), MakeMap("Alps", 44, 9, 47, 14),
                                 MakeMap("Dolomites", 45, 11, 46, 12.5)})
      ASSERT_TRUE(atlas.RegisterMap(f));
    ASSERT_GT(atlas.Maps(1).Resolution, atlas.Maps(2).Resolution);
    ASSERT_GT(atlas.Maps(2).Resolution, atlas.Maps(3).Resolution);
  }
  // Control pixel of a position on the map shown.
  QPoint ControlPixel(double lat, double lon) {
    int32_t x = 0, y = 0;
    EXPECT_TRUE(map.CalcPixelCoords(lat, lon, x, y));
    const TPoint p = map.MapImageToControl(TPoint{x, y});
    return QPoint(p.X, p.Y);
  }
  TColor Shown(QPoint p) {
    return RgbToColor(map.CompositionBitmap()->Image().pixel(p));
  }
  // Position at the centre of the map control.
  TCoords Centre() {
    const TPoint p = map.ControlToMapImage(TPoint{map.width() / 2, map.height() / 2});
    bool ok = false;
    return TCoords{map.CalcLatitude(p, ok), map.CalcLongitude(p, ok)};
  }
  int CountColour(TColor c) {
    const QImage img = map.CompositionBitmap()->Image();
    int n = 0;
    for (int y = 0; y < map.height(); ++y)
      for (int x = 0; x < map.width(); ++x) n += RgbToColor(img.pixel(x, y)) == c;
    return n;
  }
};

TEST_F(AtlasMaps, OutlinesOfTheOtherMapsAtEveryMagnification) {
  ASSERT_TRUE(atlas.SelectMap(1));
  map.SetMagnification(0.5);  // the whole 600 x 400 image fits the control
  const TMapDefinition alps = atlas.Maps(2), dolo = atlas.Maps(3);
  for (TCorners c : {gcoTopLeft, gcoBottomLeft, gcoBottomRight, gcoTopRight}) {
    EXPECT_EQ(Shown(ControlPixel(alps.Corners[c].Latit, alps.Corners[c].Longit)), kBlue);
    EXPECT_EQ(Shown(ControlPixel(dolo.Corners[c].Latit, dolo.Corners[c].Longit)), kBlue);
  }
  // The selected map has none: its right edge, at control column 300, is not blue.
  EXPECT_NE(Shown(QPoint(300, 100)), kBlue);
  // Registering leaves the list without selection: then the map shown is outlined as well.
  ASSERT_TRUE(atlas.RegisterMap(Path("Alps.xml")));
  map.Paint();
  EXPECT_EQ(Shown(QPoint(300, 100)), kBlue);

  // Colour and visibility repaint the map at once.
  atlas.SetMapOutlineColor(kRed);
  EXPECT_EQ(Shown(ControlPixel(alps.Corners[gcoTopLeft].Latit, alps.Corners[gcoTopLeft].Longit)), kRed);
  atlas.SetMapOutlineVisible(false);
  EXPECT_EQ(CountColour(kRed), 0);
  atlas.SetMapOutlineVisible(true);
  EXPECT_GT(CountColour(kRed), 500);

  // Magnified and scrolled, the outline stays on the map's own pixels.
  atlas.SetMapOutlineColor(kBlue);
  map.SetMagnification(2);
  map.SetTopLeft({200, 120});
  const TCoords c = dolo.Corners[gcoTopLeft];
  const QPoint p = ControlPixel(c.Latit, c.Longit);
  ASSERT_TRUE(QRect(2, 2, map.width() - 4, map.height() - 4).contains(p)) << p.x() << "," << p.y();
  EXPECT_EQ(Shown(p), kBlue);
  EXPECT_EQ(Shown(p + QPoint(20, 0)), kBlue);   // along the top edge
  EXPECT_EQ(Shown(p + QPoint(0, 20)), kBlue);   // along the left edge
  EXPECT_NE(Shown(p + QPoint(20, 20)), kBlue);  // inside
}

TEST_F(AtlasMaps, ButtonsAndMouseEventsAsTheUserSeesThem) {
  atlas.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&atlas));
  ASSERT_TRUE(atlas.SelectMap(2));
  int zoomClicks = 0, pointerClicks = 0, atlasClicks = 0, listChanges = 0;
  atlas.OnZoomButClick = [&](TObject* s) { zoomClicks += s == &atlas; };
  atlas.OnPointerButClick = [&](TObject* s) { pointerClicks += s == &atlas; };
  atlas.OnClick = [&](TObject*) { ++atlasClicks; };
  atlas.OnCBoxMapsChange = [&](TObject* s) { listChanges += s == &atlas; };

  QTest::mouseClick(atlas.ZoomButton(), Qt::LeftButton);
  EXPECT_TRUE(atlas.ZoomButton()->Down());
  EXPECT_FALSE(atlas.PointerButton()->Down());
  EXPECT_EQ(atlas.Cursor(), TGeoAtlas::crGeoZoom);
  EXPECT_EQ(map.cursor().hotSpot(), QPoint(6, 6));  // the map shows the atlas's cursor
  EXPECT_FALSE(map.AllowPan());
  EXPECT_EQ(zoomClicks, 1);
  EXPECT_EQ(atlasClicks, 1);
  QTest::mouseClick(atlas.PointerButton(), Qt::LeftButton);
  EXPECT_TRUE(atlas.PointerButton()->Down());
  EXPECT_EQ(atlas.Cursor(), crHandPoint);
  EXPECT_TRUE(map.AllowPan());
  EXPECT_EQ(pointerClicks, 1);
  EXPECT_EQ(atlasClicks, 2);

  // The map's mouse events arrive as the atlas's own, in map coordinates; in pointer mode a
  // click changes no map.
  std::vector<std::string> seen;
  atlas.OnMouseDown = [&](TObject* s, TMouseButton b, TShiftState, int x, int y) {
    seen.push_back("down " + std::to_string(b) + " " + std::to_string(x) + "," + std::to_string(y) +
                   (s == &atlas ? "" : " ?"));
  };
  atlas.OnMouseUp = [&](TObject*, TMouseButton b, TShiftState, int x, int y) {
    seen.push_back("up " + std::to_string(b) + " " + std::to_string(x) + "," + std::to_string(y));
  };
  atlas.OnMouseMove = [&](TObject*, TShiftState, int x, int y) {
    seen.push_back("move " + std::to_string(x) + "," + std::to_string(y));
  };
  atlas.OnClick = [&](TObject*) { seen.push_back("click"); };
  atlas.OnDblClick = [&](TObject*) { seen.push_back("dblclick"); };
  QTest::mouseClick(&map, Qt::LeftButton, {}, QPoint(50, 60));
  QMouseEvent move(QEvent::MouseMove, QPointF(70, 80), map.mapToGlobal(QPointF(70, 80)), Qt::NoButton,
                   Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(&map, &move);
  QTest::mouseDClick(&map, Qt::LeftButton, {}, QPoint(5, 6));
  // Moves the test tool makes on its way are left aside.
  std::vector<std::string> order;
  for (const std::string& e : seen)
    if (e.rfind("move", 0) != 0 || e == "move 70,80") order.push_back(e);
  ASSERT_GE(order.size(), 5u);
  EXPECT_EQ(order[0], "down 0 50,60");
  EXPECT_EQ(order[1], "click");
  EXPECT_EQ(order[2], "up 0 50,60");
  EXPECT_EQ(order[3], "move 70,80");
  EXPECT_NE(std::find(order.begin(), order.end(), "dblclick"), order.end());
  EXPECT_EQ(Selected(), 2);

  // Picking from the list with the keyboard loads the map and tells the application.
  atlas.MapSelector()->setFocus();
  QTest::keyClick(atlas.MapSelector(), Qt::Key_Down);
  EXPECT_EQ(Selected(), 3);
  EXPECT_EQ(listChanges, 1);
  EXPECT_NEAR(map.CalibData().Resolution, atlas.Maps(3).Resolution, 1e-3);
}

TEST_F(AtlasMaps, ZoomingWithTheMouse) {
  atlas.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&atlas));
  ASSERT_TRUE(atlas.SelectMap(1));
  QTest::mouseClick(atlas.ZoomButton(), Qt::LeftButton);
  ASSERT_TRUE(atlas.ZoomButton()->Down());

  // A left click on 45.6 N 11.6 E takes the next finer map that holds it, centred there.
  QTest::mouseClick(&map, Qt::LeftButton, {}, ControlPixel(45.6, 11.6));
  EXPECT_EQ(Selected(), 2);
  TCoords c = Centre();
  EXPECT_NEAR(c.Latit, 45.6, 0.02);
  EXPECT_NEAR(c.Longit, 11.6, 0.02);
  // Once more: the finest.
  QTest::mouseClick(&map, Qt::LeftButton, {}, ControlPixel(45.6, 11.6));
  EXPECT_EQ(Selected(), 3);
  c = Centre();
  EXPECT_NEAR(c.Latit, 45.6, 0.01);
  EXPECT_NEAR(c.Longit, 11.6, 0.01);
  // The right button goes back to the next coarser one.
  QTest::mouseClick(&map, Qt::RightButton, {}, ControlPixel(45.6, 11.6));
  EXPECT_EQ(Selected(), 2);
  c = Centre();
  EXPECT_NEAR(c.Latit, 45.6, 0.02);
  EXPECT_NEAR(c.Longit, 11.6, 0.02);

  // For a person to look at: the middle map with the outlines of the other two.
  QApplication::processEvents();
  atlas.grab().save("atlas_outlines.png");

  // A click on a place no finer map holds changes nothing.
  const TPoint topLeft = map.TopLeft();
  QTest::mouseClick(&map, Qt::LeftButton, {}, ControlPixel(46.8, 9.5));
  EXPECT_EQ(Selected(), 2);
  EXPECT_EQ(map.TopLeft(), topLeft);
}

TEST(AtlasImageLimit, ReadAndWrittenThroughItsMap) {
  TGeoAtlas a;
  EXPECT_EQ(a.MapImagePixelLimit(), TGeoMap::MaxMapImagePixels);
  ASSERT_TRUE(a.setProperty("MapImagePixelLimit", qint64(123456789)));
  EXPECT_EQ(a.CurrentMap()->MapImagePixelLimit(), 123456789);
  a.CurrentMap()->SetMapImagePixelLimit(5000000);
  EXPECT_EQ(a.property("MapImagePixelLimit").toLongLong(), 5000000);
}

}  // namespace
}  // namespace vek
