// The composed picture: background, empty message, map image at the magnification, the
// image cache, the frame, and the copy onto the control's canvas; a map in a real window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>
#include <stdexcept>
#include <vector>

#include "test_geomap_helpers.h"

namespace vek {
namespace {

using testing::BitmapOf;
using testing::MapHost;
using testing::PixelOf;
using testing::Quadrants;

// Pixels in the rectangle whose colour is close to C.
int CountNear(const QImage& img, const TRect& r, TColor c, int tol = 60) {
  int n = 0;
  for (int y = r.Top; y < r.Bottom; ++y)
    for (int x = r.Left; x < r.Right; ++x) n += testing::Near(PixelOf(img, x, y), c, tol);
  return n;
}

class GeoMapPaint : public ::testing::Test {
 protected:
  MapHost h;
  testing::TestMap& m = *h.map;
  std::vector<std::string> events;
  void Track() {
    m.OnBeforeRenderData = [&](TObject* s, TCanvas* c) {
      events.push_back(s == &m && c == m.AuxBmp->Canvas() ? "before" : "before?");
    };
    m.OnDataRendered = [&](TObject* s, TCanvas* c) {
      events.push_back(s == &m && c == m.AuxBmp->Canvas() ? "rendered" : "rendered?");
    };
  }
  // A 100 x 100 quadrant image shown without smoothing and without a frame.
  void LoadQuadrants() {
    m.SetSuppressPaint(true);
    m.SetAntiAlias(false);
    m.SetFrameStyle(fsNone);
    m.SetMapBitMap(BitmapOf(Quadrants(100, 100)));
    m.SetSuppressPaint(false);
  }
};

TEST_F(GeoMapPaint, EmptyMapShowsBackgroundMessageAndFrame) {
  Track();
  m.SetColorFrame(testing::kRed);
  const QImage& img = m.AuxBmp->Image();
  EXPECT_EQ(PixelOf(img, 250, 200), 0xC0C0C0u);
  // Text in the frame colour from (10, 10) on, nothing of it further down.
  EXPECT_GT(CountNear(img, TRect{10, 10, 160, 40}, testing::kRed), 20);
  EXPECT_EQ(CountNear(img, TRect{0, 45, 500, 395}, testing::kRed), 0);
  EXPECT_EQ(CountNear(img, TRect{0, 0, 9, 400}, testing::kRed), 0);
  // The sunken bevel: shadow outside, dark shadow inside, highlight at the bottom right.
  EXPECT_EQ(PixelOf(img, 0, 0), 0x808080u);
  EXPECT_EQ(PixelOf(img, 1, 1), 0x000000u);
  EXPECT_EQ(PixelOf(img, 499, 399), 0xFFFFFFu);
  EXPECT_TRUE(events.empty());  // no render events without an image

  m.SetEmptyMsg("");
  EXPECT_EQ(CountNear(m.AuxBmp->Image(), TRect{10, 10, 160, 40}, testing::kRed), 0);
}

TEST_F(GeoMapPaint, PaintCopiesTheCompositionOntoTheCanvas) {
  LoadQuadrants();
  const QImage canvas = m.CanvasImage();
  ASSERT_EQ(canvas.size(), QSize(500, 400));
  EXPECT_EQ(canvas, m.AuxBmp->Image().copy(0, 0, 500, 400));
  EXPECT_EQ(PixelOf(canvas, 75, 25), testing::kGreen);
}

TEST_F(GeoMapPaint, ImageScaledByMagnification) {
  Track();
  LoadQuadrants();
  events.clear();
  m.SetMagnification(2);
  EXPECT_EQ(events, (std::vector<std::string>{"before", "rendered"}));
  const QImage& img = m.AuxBmp->Image();
  EXPECT_EQ(PixelOf(img, 50, 50), testing::kRed);
  EXPECT_EQ(PixelOf(img, 150, 50), testing::kGreen);
  EXPECT_EQ(PixelOf(img, 50, 150), testing::kBlue);
  EXPECT_EQ(PixelOf(img, 150, 150), testing::kYellow);
  EXPECT_EQ(PixelOf(img, 99, 99), testing::kRed);
  EXPECT_EQ(PixelOf(img, 100, 100), testing::kYellow);
  // Beyond the image: background.
  EXPECT_EQ(PixelOf(img, 250, 250), m.ColorBackGnd());
  EXPECT_EQ(PixelOf(img, 199, 199), testing::kYellow);
  EXPECT_EQ(PixelOf(img, 200, 150), m.ColorBackGnd());

  // Scrolled: the image pixel at the top left moves with TopLeft.
  m.SetMagnification(1);
  m.SetTopLeft({50, 0});
  EXPECT_EQ(PixelOf(m.AuxBmp->Image(), 10, 10), testing::kGreen);
  EXPECT_EQ(PixelOf(m.AuxBmp->Image(), 60, 10), m.ColorBackGnd());
  // Scrolled before the image's top left corner.
  m.SetTopLeft({-20, -10});
  EXPECT_EQ(PixelOf(m.AuxBmp->Image(), 10, 5), m.ColorBackGnd());
  EXPECT_EQ(PixelOf(m.AuxBmp->Image(), 20, 10), testing::kRed);
  EXPECT_EQ(PixelOf(m.AuxBmp->Image(), 119, 109), testing::kYellow);
  EXPECT_EQ(PixelOf(m.AuxBmp->Image(), 120, 110), m.ColorBackGnd());
}

TEST_F(GeoMapPaint, ReducedViewsComeFromTheCache) {
  LoadQuadrants();
  EXPECT_EQ(m.FCacheMag, 0.0);  // not at magnification 1
  m.SetMagnification(0.5);
  EXPECT_EQ(m.FCacheMag, 0.5);
  EXPECT_EQ(m.FImgCache->Width(), 50);
  EXPECT_EQ(m.FImgCache->Height(), 50);
  EXPECT_EQ(PixelOf(m.AuxBmp->Image(), 10, 10), testing::kRed);
  EXPECT_EQ(PixelOf(m.AuxBmp->Image(), 40, 10), testing::kGreen);
  EXPECT_EQ(PixelOf(m.AuxBmp->Image(), 40, 40), testing::kYellow);
  EXPECT_EQ(PixelOf(m.AuxBmp->Image(), 60, 10), m.ColorBackGnd());

  // Panning keeps the cache: a mark put into it shows up, scrolled.
  m.FImgCache->Canvas()->SetPixel(30, 30, 0x123456);
  m.FImgCache->Canvas()->End();
  m.SetTopLeft({20, 20});  // cache origin (10, 10)
  EXPECT_EQ(PixelOf(m.AuxBmp->Image(), 20, 20), 0x123456u);

  // Another smoothing setting rebuilds it.
  m.SetAntiAlias(true);
  EXPECT_TRUE(m.FCacheAA);
  EXPECT_NE(PixelOf(*m.FImgCache, 30, 30), 0x123456u);

  // At or above the limit the old cache stays but is not used.
  m.SetMagnification(1.0);
  EXPECT_EQ(m.FCacheMag, 0.5);
  EXPECT_EQ(PixelOf(m.AuxBmp->Image(), 10, 10), testing::kRed);  // image (30, 30)
  m.SetCacheMagLimit(0.3);
  m.SetMagnification(0.4);
  EXPECT_EQ(m.FCacheMag, 0.5);
}

TEST_F(GeoMapPaint, MouseTraceIsDrawnWithOrWithoutImage) {
  m.SetFrameStyle(fsNone);
  m.SetMouseTraceInvert(false);
  m.SetMouseTraceColor(testing::kRed);
  m.FLM.AppendMTracePoint(20, 100);
  m.FLM.AppendMTracePoint(120, 100);
  m.Paint();
  EXPECT_EQ(PixelOf(m.AuxBmp->Image(), 70, 100), testing::kRed);
  LoadQuadrants();
  m.SetMagnification(2);  // trace points are image pixels
  EXPECT_EQ(PixelOf(m.AuxBmp->Image(), 200, 200), testing::kRed);
  EXPECT_EQ(PixelOf(m.AuxBmp->Image(), 100, 100), testing::kYellow);
}

TEST_F(GeoMapPaint, HiddenControlKeepsThePreviousPicture) {
  LoadQuadrants();
  Track();
  m.hide();
  m.SetFrameStyle(fsSingle);
  m.SetColorBackGnd(0x00FF00);
  // Only the frame is drawn over the old buffer; no events.
  EXPECT_EQ(PixelOf(m.AuxBmp->Image(), 10, 10), testing::kRed);
  EXPECT_EQ(PixelOf(m.AuxBmp->Image(), 300, 300), 0xC0C0C0u);
  EXPECT_EQ(PixelOf(m.AuxBmp->Image(), 0, 0), 0x000000u);
  EXPECT_TRUE(events.empty());
}

TEST(GeoMapPaintAlone, MapNeverShownStillDrawsItsImage) {
  testing::TestMap m;  // no parent, never shown
  m.SetAntiAlias(false);
  m.SetMapBitMap(BitmapOf(Quadrants(100, 100)));
  EXPECT_EQ(PixelOf(m.AuxBmp->Image(), 75, 25), testing::kGreen);
  EXPECT_EQ(PixelOf(m.CanvasImage(), 25, 75), testing::kBlue);
}

TEST_F(GeoMapPaint, HandlerErrorLeavesTheCanvasAlone) {
  LoadQuadrants();
  const QImage before = m.CanvasImage();
  m.OnBeforeRenderData = [](TObject*, TCanvas*) { throw std::runtime_error("handler"); };
  EXPECT_THROW(m.SetColorBackGnd(0x000080), std::runtime_error);
  EXPECT_EQ(m.CanvasImage(), before);
}

TEST_F(GeoMapPaint, BufferGrowsWithTheControlAndNeverShrinks) {
  m.resize(800, 600);
  m.Paint();
  EXPECT_EQ(m.AuxBmp->Width(), 800);
  EXPECT_EQ(m.AuxBmp->Height(), 600);
  EXPECT_EQ(m.CanvasImage().size(), QSize(800, 600));
  m.resize(300, 700);
  m.Paint();
  EXPECT_EQ(m.AuxBmp->Width(), 800);
  EXPECT_EQ(m.AuxBmp->Height(), 700);
  // The frame follows the control, not the buffer.
  m.SetFrameStyle(fsSingle);
  EXPECT_EQ(PixelOf(m.AuxBmp->Image(), 299, 350), 0x000000u);
  EXPECT_EQ(PixelOf(m.AuxBmp->Image(), 150, 699), 0x000000u);
}

TEST(GeoMapWidget, EmptyMessageOnScreen) {
  QWidget window;
  window.resize(640, 480);
  auto* map = new TGeoMap(&window);
  map->SetName("ScreenMap");
  map->setGeometry(20, 20, 400, 300);
  window.show();
  QApplication::processEvents();
  map->resize(520, 360);
  QApplication::processEvents();

  const QImage shot = map->grab().toImage().convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(shot.size(), QSize(520, 360));
  shot.save("geomap_empty.png");
  // Background, the message in black at the top left, the bevel round the control.
  EXPECT_EQ(PixelOf(shot, 260, 200), 0xC0C0C0u);
  EXPECT_GT(CountNear(shot, TRect{10, 10, 160, 40}, 0x000000), 20);
  EXPECT_EQ(CountNear(shot, TRect{10, 45, 500, 340}, 0x000000), 0);
  EXPECT_EQ(PixelOf(shot, 519, 359), 0xFFFFFFu);
  EXPECT_GE(map->CompositionCount(), 1);
}

}  // namespace
}  // namespace vek
