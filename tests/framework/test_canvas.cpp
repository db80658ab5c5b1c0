#include <gtest/gtest.h>

#include "PixelProbe.h"
#include "Vek_framework.h"

using namespace vek;
using vektest::BoundsNot;
using vektest::BoundsWhere;
using vektest::Clear;
using vektest::CountWhere;

namespace {

class CanvasTest : public ::testing::Test {
 protected:
  void SetUp() override { Clear(bmp, 60, 40); }
  TCanvas& C() { return *bmp.Canvas(); }
  TColor At(int x, int y) { return C().Pixels(x, y); }
  TBitmap bmp;
};

TEST_F(CanvasTest, LineToLeavesOutTheEndPixel) {
  C().Pen().SetColor(clBlack);
  C().MoveTo(5, 5);
  C().LineTo(15, 5);
  EXPECT_EQ(At(5, 5), clBlack);
  EXPECT_EQ(At(14, 5), clBlack);
  EXPECT_EQ(At(15, 5), clWhite);
  EXPECT_EQ((TPoint{15, 5}), C().PenPos());

  C().LineTo(15, 20);  // continues from the pen position: the corner is drawn now
  EXPECT_EQ(At(15, 5), clBlack);
  EXPECT_EQ(At(15, 19), clBlack);
  EXPECT_EQ(At(15, 20), clWhite);

  C().MoveTo(30, 10);
  C().LineTo(40, 20);
  EXPECT_EQ(At(30, 10), clBlack);
  EXPECT_EQ(At(39, 19), clBlack);
  EXPECT_EQ(At(40, 20), clWhite);
  EXPECT_EQ(BoundsNot(bmp.Image(), clWhite), (TRect{5, 5, 40, 20}));
}

TEST_F(CanvasTest, LineToBackwardsAndZeroLength) {
  C().Pen().SetColor(clRed);
  C().MoveTo(20, 30);
  C().LineTo(10, 30);
  EXPECT_EQ(At(20, 30), clRed);
  EXPECT_EQ(At(11, 30), clRed);
  EXPECT_EQ(At(10, 30), clWhite);
  C().MoveTo(50, 5);
  C().LineTo(50, 5);
  EXPECT_EQ(At(50, 5), clWhite);
}

TEST_F(CanvasTest, PolylineJoinsSegmentsAndLeavesOutTheLastPixel) {
  C().Pen().SetColor(clBlue);
  C().Polyline({{2, 2}, {10, 2}, {10, 10}});
  EXPECT_EQ(At(2, 2), clBlue);
  EXPECT_EQ(At(10, 2), clBlue);
  EXPECT_EQ(At(10, 9), clBlue);
  EXPECT_EQ(At(10, 10), clWhite);

  // A closed square walked both ways has all four corners, each drawn once.
  C().Pen().SetMode(pmXor);
  C().Pen().SetColor(clWhite);
  const std::vector<TPoint> ring{{20, 20}, {20, 30}, {30, 30}, {30, 20}, {20, 20}};
  C().Polyline(ring);
  for (TPoint p : ring) EXPECT_EQ(At(p.X, p.Y), clBlack) << p.X << "," << p.Y;
  EXPECT_EQ(vektest::CountWhere(bmp.Image(), [](TColor c) { return c == clBlack; }), 40);
}

TEST_F(CanvasTest, DiagonalsAndSteepLinesBothWays) {
  C().MoveTo(40, 30);
  C().LineTo(30, 20);  // up-left
  EXPECT_EQ(At(40, 30), clBlack);
  EXPECT_EQ(At(31, 21), clBlack);
  EXPECT_EQ(At(30, 20), clWhite);
  C().MoveTo(5, 30);
  C().LineTo(8, 10);  // steep, upwards
  EXPECT_EQ(At(5, 30), clBlack);
  EXPECT_EQ(At(8, 10), clWhite);
  EXPECT_EQ(BoundsWhere(bmp.Image(), [](TColor c) { return c == clBlack; }).Top, 11);
}

TEST_F(CanvasTest, RectangleCoversLeftToRightMinusOne) {
  C().Pen().SetColor(clBlack);
  C().Brush().SetColor(clRed);
  C().Rectangle(10, 10, 20, 16);
  const QImage& img = bmp.Image();
  EXPECT_EQ(BoundsNot(img, clWhite), (TRect{10, 10, 20, 16}));
  EXPECT_EQ(At(10, 10), clBlack);
  EXPECT_EQ(At(19, 15), clBlack);
  EXPECT_EQ(At(19, 10), clBlack);
  EXPECT_EQ(At(10, 15), clBlack);
  EXPECT_EQ(At(11, 11), clRed);
  EXPECT_EQ(At(18, 14), clRed);
  EXPECT_EQ(CountWhere(img, [](TColor c) { return c == clRed; }), 8 * 4);
}

TEST_F(CanvasTest, RectangleWithClearBrushOrClearPen) {
  C().Brush().SetStyle(bsClear);
  C().Rectangle(10, 10, 20, 16);
  EXPECT_EQ(At(15, 12), clWhite);
  EXPECT_EQ(At(19, 15), clBlack);

  Clear(bmp, 60, 40);
  C().Pen().SetStyle(psClear);
  C().Brush().SetStyle(bsSolid);
  C().Brush().SetColor(clGreen);
  C().Rectangle(10, 10, 20, 16);
  // Without an outline the fill stops one pixel short on the right and at the bottom.
  EXPECT_EQ(BoundsNot(bmp.Image(), clWhite), (TRect{10, 10, 19, 15}));
}

TEST_F(CanvasTest, EllipseStaysInTheRectangleBox) {
  C().Pen().SetColor(clBlack);
  C().Brush().SetColor(clYellow);
  C().Ellipse(10, 5, 31, 26);
  EXPECT_EQ(BoundsNot(bmp.Image(), clWhite), (TRect{10, 5, 31, 26}));
  EXPECT_EQ(At(20, 15), clYellow);
  EXPECT_EQ(At(10, 15), clBlack);
  EXPECT_EQ(At(30, 15), clBlack);
  EXPECT_EQ(At(10, 5), clWhite);  // corners of the box stay outside

  Clear(bmp, 60, 40);
  C().Brush().SetStyle(bsClear);
  C().Ellipse(10, 5, 31, 26);
  EXPECT_EQ(At(20, 15), clWhite);
}

TEST_F(CanvasTest, PolygonFillsAndOutlinesIncludingCorners) {
  C().Pen().SetColor(clBlack);
  C().Brush().SetColor(clRed);
  C().Polygon({{30, 5}, {40, 25}, {20, 25}});
  EXPECT_EQ(At(30, 5), clBlack);
  EXPECT_EQ(At(40, 25), clBlack);
  EXPECT_EQ(At(20, 25), clBlack);
  EXPECT_EQ(At(30, 18), clRed);
  EXPECT_EQ(BoundsNot(bmp.Image(), clWhite), (TRect{20, 5, 41, 26}));
}

TEST_F(CanvasTest, FillRectFrameRectAndFillSolid) {
  C().Brush().SetColor(clBlue);
  C().FillRect({5, 5, 15, 10});
  EXPECT_EQ(BoundsWhere(bmp.Image(), [](TColor c) { return c == clBlue; }), (TRect{5, 5, 15, 10}));

  C().Brush().SetColor(clRed);
  C().FrameRect({20, 20, 30, 30});
  EXPECT_EQ(At(20, 20), clRed);
  EXPECT_EQ(At(29, 29), clRed);
  EXPECT_EQ(At(25, 25), clWhite);
  EXPECT_EQ(At(30, 30), clWhite);

  C().FillSolid({40, 0, 42, 2}, clLime);
  EXPECT_EQ(At(41, 1), clLime);
  EXPECT_EQ(C().Brush().Color(), clRed);

  // FillRect ignores the pen mode.
  C().Pen().SetMode(pmXor);
  C().Brush().SetColor(clGreen);
  C().FillRect({5, 5, 6, 6});
  EXPECT_EQ(At(5, 5), clGreen);
}

TEST_F(CanvasTest, XorDrawnTwiceErases) {
  // A background where every pixel differs.
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 60; ++x) C().SetPixel(x, y, RGB(uint8_t(x * 4), uint8_t(y * 6), 77));
  const QImage before = bmp.Image().copy();

  C().Pen().SetMode(pmXor);
  C().Pen().SetColor(clWhite);
  C().Brush().SetStyle(bsClear);
  auto figure = [&] {
    C().Rectangle(5, 5, 30, 25);
    C().MoveTo(0, 39);
    C().LineTo(59, 0);
    C().Polyline({{40, 5}, {55, 5}, {55, 30}});
  };
  figure();
  // Drawn once, every pixel of the outline is inverted exactly once, corners too.
  EXPECT_EQ(At(5, 5), RgbToColor(before.pixel(5, 5)) ^ 0xFFFFFF);
  EXPECT_EQ(At(29, 24), RgbToColor(before.pixel(29, 24)) ^ 0xFFFFFF);
  EXPECT_EQ(At(29, 5), RgbToColor(before.pixel(29, 5)) ^ 0xFFFFFF);
  EXPECT_EQ(At(55, 5), RgbToColor(before.pixel(55, 5)) ^ 0xFFFFFF);
  EXPECT_NE(bmp.Image(), before);
  figure();
  EXPECT_EQ(bmp.Image(), before);
}

TEST_F(CanvasTest, RasterPenModes) {
  C().FillSolid({0, 0, 60, 40}, RGB(0x12, 0x34, 0x56));
  C().Pen().SetMode(pmNot);
  C().MoveTo(0, 0);
  C().LineTo(10, 0);
  EXPECT_EQ(At(3, 0), RGB(0xED, 0xCB, 0xA9));
  C().MoveTo(0, 0);
  C().LineTo(10, 0);
  EXPECT_EQ(At(3, 0), RGB(0x12, 0x34, 0x56));

  C().Pen().SetMode(pmNop);
  C().MoveTo(0, 1);
  C().LineTo(10, 1);
  EXPECT_EQ(At(3, 1), RGB(0x12, 0x34, 0x56));
  EXPECT_EQ(C().PenPos(), (TPoint{10, 1}));

  C().Pen().SetMode(pmMask);
  C().Pen().SetColor(RGB(0xF0, 0x0F, 0xFF));
  C().MoveTo(0, 2);
  C().LineTo(10, 2);
  EXPECT_EQ(At(3, 2), RGB(0x10, 0x04, 0x56));
}

TEST_F(CanvasTest, PenStylesDashesAndBackground) {
  C().Pen().SetColor(clBlack);
  C().Brush().SetStyle(bsClear);
  C().Pen().SetStyle(psDot);
  C().MoveTo(0, 5);
  C().LineTo(60, 5);
  std::string dots;
  for (int x = 0; x < 12; ++x) dots += At(x, 5) == clBlack ? '#' : '.';
  EXPECT_EQ(dots, "###...###...");

  C().Pen().SetStyle(psDash);
  C().MoveTo(0, 10);
  C().LineTo(60, 10);
  int run = 0;
  while (At(run, 10) == clBlack) ++run;
  EXPECT_EQ(run, 18);
  EXPECT_EQ(At(18, 10), clWhite);
  EXPECT_EQ(At(24, 10), clBlack);

  // A solid brush paints the gaps in its colour.
  C().Brush().SetStyle(bsSolid);
  C().Brush().SetColor(clYellow);
  C().Pen().SetStyle(psDot);
  C().MoveTo(0, 15);
  C().LineTo(12, 15);
  EXPECT_EQ(At(1, 15), clBlack);
  EXPECT_EQ(At(4, 15), clYellow);
  EXPECT_EQ(At(12, 15), clWhite);

  C().Pen().SetStyle(psClear);
  C().MoveTo(0, 20);
  C().LineTo(60, 20);
  for (int x = 0; x < 60; ++x) ASSERT_EQ(At(x, 20), clWhite);
}

TEST_F(CanvasTest, WidePenCoversBothEnds) {
  C().Pen().SetWidth(3);
  C().MoveTo(10, 10);
  C().LineTo(30, 10);
  EXPECT_EQ(At(10, 10), clBlack);
  EXPECT_EQ(At(30, 10), clBlack);
  EXPECT_EQ(At(20, 11), clBlack);
  EXPECT_EQ(At(20, 13), clWhite);
}

TEST_F(CanvasTest, PixelsAndSetPixel) {
  C().SetPixel(3, 4, RGB(1, 2, 3));
  EXPECT_EQ(At(3, 4), RGB(1, 2, 3));
  EXPECT_EQ(At(-1, 0), clInvalidPixel);
  EXPECT_EQ(At(60, 0), clInvalidPixel);
  C().SetPixel(100, 100, clRed);  // outside: ignored

  // While a composition is open, too.
  C().Begin();
  C().SetPixel(5, 5, clRed);
  EXPECT_EQ(At(5, 5), clRed);
  EXPECT_FALSE(C().Painting());  // reading finished the painting
}

TEST_F(CanvasTest, OnePainterForAWholeComposition) {
  bmp.Image();
  int opened = 0;
  C().OnChange = [&] { ++opened; };
  for (int i = 0; i < 100; ++i) {
    C().MoveTo(0, i % 40);
    C().LineTo(50, i % 40);
    C().Rectangle(1, 1, 5, 5);
    C().TextOut(1, 1, "x");
  }
  EXPECT_TRUE(C().Painting());
  EXPECT_EQ(opened, 1);
  bmp.Image();
  EXPECT_FALSE(C().Painting());
  C().LineTo(1, 1);
  EXPECT_EQ(opened, 2);
}

TEST_F(CanvasTest, DirectPainterUseDoesNotLeakIntoPrimitives) {
  QPainter* p = C().Painter();
  ASSERT_NE(p, nullptr);
  p->translate(20, 20);
  p->setPen(QPen(Qt::green, 5));
  p->setCompositionMode(QPainter::RasterOp_SourceXorDestination);
  p->drawPoint(0, 0);
  EXPECT_EQ(At(20, 20), RgbToColor(qRgb(0, 255, 0)) ^ 0xFFFFFF);

  C().Pen().SetColor(clBlack);
  C().MoveTo(0, 0);
  C().LineTo(5, 0);
  EXPECT_EQ(At(0, 0), clBlack);
  EXPECT_EQ(At(4, 0), clBlack);
  EXPECT_EQ(At(0, 1), clWhite);
}

TEST_F(CanvasTest, TextLandsWithItsTopLeftAtThePoint) {
  Clear(bmp, 200, 40);
  C().Font().SetName("DejaVu Sans");
  C().Font().SetSize(12);
  C().Font().SetColor(clBlue);
  C().Brush().SetColor(clYellow);
  const int w = C().TextWidth("Hamburg"), h = C().TextHeight("Hamburg");
  EXPECT_GT(w, 30);
  EXPECT_GE(h, 14);
  C().TextOut(5, 8, "Hamburg");
  EXPECT_EQ(C().PenPos(), (TPoint{5 + w, 8}));
  const QImage& img = bmp.Image();
  // The opaque cell is exactly the measured extent; the glyphs lie inside it.
  EXPECT_EQ(BoundsNot(img, clWhite), (TRect{5, 8, 5 + w, 8 + h}));
  EXPECT_GT(CountWhere(img, [](TColor c) { return c == clBlue; }), 20);
}

TEST_F(CanvasTest, TransparentTextLeavesTheBackground) {
  C().Font().SetSize(12);
  C().Brush().SetStyle(bsClear);
  C().Brush().SetColor(clYellow);
  const int w = C().TextWidth("Wien"), h = C().TextHeight("Wien");
  C().TextOut(10, 10, "Wien");
  const TRect b = BoundsNot(bmp.Image(), clWhite);
  EXPECT_EQ(CountWhere(bmp.Image(), [](TColor c) { return c == clYellow; }), 0);
  EXPECT_GE(b.Left, 10);
  EXPECT_GE(b.Top, 10);
  EXPECT_LE(b.Right, 10 + w + 1);
  EXPECT_LE(b.Bottom, 10 + h);
  EXPECT_GT(b.Width(), w / 2);
}

TEST_F(CanvasTest, RotatedTextTurnsAboutItsTopLeftCorner) {
  Clear(bmp, 60, 100);
  C().Font().SetSize(12);
  C().Font().SetOrientation(900);  // upwards
  C().Brush().SetColor(clYellow);
  const int w = C().TextWidth("Graz"), h = C().TextHeight("Graz");
  C().TextOut(20, 80, "Graz");
  const TRect b = BoundsWhere(bmp.Image(), [](TColor c) { return c == clYellow; });
  // The cell now runs from (20, 80) up by its width and right by its height.
  EXPECT_NEAR(b.Left, 20, 1);
  EXPECT_NEAR(b.Right, 20 + h, 1);
  EXPECT_NEAR(b.Bottom, 81, 1);
  EXPECT_NEAR(b.Top, 81 - w, 1);
}

TEST_F(CanvasTest, FontSettingsShapeTheText) {
  C().Font().SetSize(10);
  const int normal = C().TextWidth("Mississippi");
  C().Font().SetStyle({fsBold});
  EXPECT_GT(C().TextWidth("Mississippi"), normal);
  C().Font().SetStyle({});
  C().Font().SetSize(20);
  EXPECT_GT(C().TextWidth("Mississippi"), normal * 3 / 2);
  EXPECT_EQ(C().Font().PixelHeight(), 27);  // 20 pt at 96 dpi
  C().Font().SetSize(-13);
  EXPECT_EQ(C().Font().PixelHeight(), 13);
}

TEST_F(CanvasTest, StretchModesNearestAndSmooth) {
  TBitmap src;
  Clear(src, 4, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) src.Canvas()->SetPixel(x, y, (x + y) % 2 ? clBlack : clWhite);

  // Nearest keeps pure colours, in blocks.
  C().SetStretchMode(smColorOnColor);
  C().StretchDraw({0, 0, 8, 8}, src);
  EXPECT_EQ(At(0, 0), clWhite);
  EXPECT_EQ(At(1, 1), clWhite);
  EXPECT_EQ(At(2, 0), clBlack);
  EXPECT_EQ(At(3, 1), clBlack);
  C().StretchDraw({20, 0, 22, 2}, src);
  for (int y = 0; y < 2; ++y)
    for (int x = 20; x < 22; ++x) EXPECT_TRUE(At(x, y) == clBlack || At(x, y) == clWhite);

  // Smooth averages the checker into grey.
  C().SetStretchMode(smHalftone);
  C().StretchDraw({30, 0, 32, 2}, src);
  for (int y = 0; y < 2; ++y)
    for (int x = 30; x < 32; ++x) {
      EXPECT_NEAR(GetRValue(At(x, y)), 128, 16);
      EXPECT_EQ(GetRValue(At(x, y)), GetGValue(At(x, y)));
    }
  EXPECT_EQ(At(32, 0), clWhite);
}

TEST_F(CanvasTest, DrawAndCopyRectWithCopyModes) {
  TBitmap src;
  Clear(src, 10, 10, clRed);
  C().Draw(5, 5, src);
  EXPECT_EQ(BoundsNot(bmp.Image(), clWhite), (TRect{5, 5, 15, 15}));

  C().SetCopyMode(cmSrcInvert);
  C().CopyRect({5, 5, 10, 10}, *src.Canvas(), {0, 0, 5, 5});
  EXPECT_EQ(At(5, 5), clBlack);  // red xor red
  EXPECT_EQ(At(10, 10), clRed);

  // A bitmap drawn onto itself, and a copy within one canvas, may overlap their source.
  C().SetCopyMode(cmSrcCopy);
  Clear(bmp, 60, 40);
  C().FillSolid({0, 0, 10, 10}, clRed);
  C().Draw(5, 5, bmp);
  EXPECT_EQ(At(12, 12), clRed);
  EXPECT_EQ(At(16, 16), clWhite);
  Clear(bmp, 60, 40);
  C().Draw(5, 5, src);
  C().SetPixel(5, 5, clBlack);
  C().CopyRect({7, 7, 17, 17}, C(), {5, 5, 15, 15});
  EXPECT_EQ(At(7, 7), clBlack);
  EXPECT_EQ(At(9, 9), clRed);  // read before (7, 7) was overwritten
  EXPECT_EQ(At(16, 16), clRed);
}

TEST(Colors, ConversionKeepsChannelOrder) {
  EXPECT_EQ(ColorToQColor(clRed), QColor(255, 0, 0));
  EXPECT_EQ(ColorToQColor(clBlue), QColor(0, 0, 255));
  EXPECT_EQ(ColorToRgb(0x00332211), qRgb(0x11, 0x22, 0x33));
  EXPECT_EQ(RgbToColor(qRgb(0x11, 0x22, 0x33)), 0x00332211u);
  EXPECT_EQ(QColorToColor(QColor(0xC0, 0xC0, 0xC0)), clSilver);
  EXPECT_EQ(RGB(1, 2, 3), 0x030201u);
}

}  // namespace
