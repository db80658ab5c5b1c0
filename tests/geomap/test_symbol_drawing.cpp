#include <gtest/gtest.h>

#include <limits>
#include <set>
#include <utility>

#include "SymbolDrawing.h"
#include "Vek_framework.h"

using namespace vek;

namespace {

constexpr TColor kBack = clSilver;

class SymbolTest : public ::testing::Test {
 protected:
  void SetUp() override { Reset(200, 200); }
  void Reset(int w, int h) {
    bmp.SetSize(w, h);
    bmp.Canvas()->FillSolid({0, 0, w, h}, kBack);
  }
  TCanvas& C() { return *bmp.Canvas(); }
  TColor At(int x, int y) { return C().Pixels(x, y); }
  void Draw(int x, int y, TLandMarkElement k, int size, bool transparent, int dir = 0, int len = 0,
            TColor fg = clBlue, TColor bg = clWhite) {
    DrawLandMarkSymbolOnCanvas(C(), x, y, k, fg, bg, size, dir, len, transparent);
  }
  // Bounding box of the pixels that differ from the background (Right, Bottom exclusive).
  TRect Bounds(TColor except = kBack) {
    const QImage& img = bmp.Image();
    int l = img.width(), t = img.height(), r = -1, b = -1;
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x)
        if (RgbToColor(img.pixel(x, y)) != except) {
          l = std::min(l, x), t = std::min(t, y), r = std::max(r, x), b = std::max(b, y);
        }
    return r < 0 ? TRect{} : TRect{l, t, r + 1, b + 1};
  }
  TRect BoundsOf(TColor c) {
    const QImage& img = bmp.Image();
    int l = img.width(), t = img.height(), r = -1, b = -1;
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x)
        if (RgbToColor(img.pixel(x, y)) == c) {
          l = std::min(l, x), t = std::min(t, y), r = std::max(r, x), b = std::max(b, y);
        }
    return r < 0 ? TRect{} : TRect{l, t, r + 1, b + 1};
  }
  int Count(TColor c) {
    const QImage& img = bmp.Image();
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x) n += RgbToColor(img.pixel(x, y)) == c;
    return n;
  }
  TBitmap bmp;
};

TEST_F(SymbolTest, DefaultCrossHasBothDiagonalsAndAWhiteHalo) {
  Draw(50, 50, lmCross, 7, false);
  std::set<std::pair<int, int>> blue;
  for (int k = 0; k <= 14; ++k) {
    blue.insert({43 + k, 43 + k});
    blue.insert({43 + k, 57 - k});
  }
  for (int y = 30; y < 70; ++y)
    for (int x = 30; x < 70; ++x) {
      bool nearBlue = false;
      for (int i = -1; i <= 1; ++i)
        for (int j = -1; j <= 1; ++j) nearBlue |= blue.count({x + i, y + j}) > 0;
      const TColor want = blue.count({x, y}) ? clBlue : (nearBlue ? clWhite : kBack);
      ASSERT_EQ(At(x, y), want) << x << "," << y;
    }
  EXPECT_EQ(Count(clBlue), 29);
}

TEST_F(SymbolTest, TriangleCornersFollowTheDirection) {
  Draw(100, 100, lmTriangle, 10, false, 0, 0, clBlack, clYellow);
  EXPECT_EQ(At(100, 90), clBlack);
  EXPECT_EQ(At(109, 105), clBlack);
  EXPECT_EQ(At(91, 105), clBlack);
  EXPECT_EQ(At(100, 100), clYellow);
  EXPECT_EQ(Bounds(), (TRect{91, 90, 110, 106}));

  // Turned by 90 degrees the first corner points right.
  Reset(200, 200);
  Draw(100, 100, lmTriangle, 10, true, 90, 0, clBlack);
  EXPECT_EQ(At(110, 100), clBlack);
  EXPECT_EQ(At(95, 109), clBlack);  // 210 degrees: (-5, 8.66)
  EXPECT_EQ(At(95, 91), clBlack);
  EXPECT_EQ(At(100, 100), kBack);
}

TEST_F(SymbolTest, ArrowFromHasItsHeadAtTheTip) {
  // Direction 90, length 40, size 8 from (20, 50): the head corners relative to the start
  // are (40, 0), (32, 3) and (32, -3).
  Draw(20, 50, lmArrowFrom, 8, false, 90, 40, clBlack, clRed);
  EXPECT_EQ(At(20, 50), clBlack);
  EXPECT_EQ(At(45, 50), clBlack);
  EXPECT_EQ(At(60, 50), clBlack);
  EXPECT_EQ(At(52, 53), clBlack);
  EXPECT_EQ(At(52, 47), clBlack);
  EXPECT_EQ(Bounds(), (TRect{20, 47, 61, 54}));

  Reset(200, 200);
  Draw(20, 50, lmArrowFrom, 8, true, 90, 40, clBlack, clRed);
  // Open head: the sides leave out their far ends, so column 52 stays empty.
  for (int y = 40; y < 60; ++y)
    if (y != 50) {  // 50: the shaft
      EXPECT_EQ(At(52, y), kBack) << y;
    }
  EXPECT_TRUE(At(53, 52) == clBlack || At(53, 53) == clBlack);
  EXPECT_TRUE(At(53, 47) == clBlack || At(53, 48) == clBlack);
  EXPECT_EQ(Count(clRed), 0);
}

TEST_F(SymbolTest, ArrowToPointsAtTheLandmark) {
  // Direction 0, length 30, size 8 at (50, 60): the shaft comes from (50, 30) and the head
  // corners are (50, 60), (53, 52) and (47, 52).
  Draw(50, 60, lmArrowTo, 8, false, 0, 30, clBlack, clRed);
  EXPECT_EQ(At(50, 30), clBlack);
  EXPECT_EQ(At(50, 60), clBlack);
  EXPECT_EQ(At(53, 52), clBlack);
  EXPECT_EQ(At(47, 52), clBlack);
  EXPECT_EQ(Bounds(), (TRect{47, 30, 54, 61}));
}

TEST_F(SymbolTest, UnknownKindDrawsASmallPlusAndUserDefNothing) {
  Draw(80, 80, TLandMarkElement(10), 20, false);
  EXPECT_EQ(Bounds(), (TRect{76, 76, 85, 85}));
  EXPECT_EQ(Count(clBlue), 17);
  EXPECT_EQ(Count(clWhite), 0);

  Reset(200, 200);
  C().Pen().SetColor(clGreen);
  Draw(80, 80, lmUserDef, 20, false);
  EXPECT_EQ(Bounds(), TRect{});
  EXPECT_EQ(C().Pen().Color(), clGreen);
}

struct Extent {
  TLandMarkElement kind;
  bool transparent;
  TRect rel;  // relative to the centre, size 6
};

TEST_F(SymbolTest, EveryShapeReachesItsSize) {
  const Extent cases[] = {
      {lmPlus, false, {-7, -7, 8, 8}},     {lmPlus, true, {-6, -6, 7, 7}},
      {lmSquare, false, {-6, -6, 7, 7}},   {lmSquare, true, {-6, -6, 7, 7}},
      {lmCircle, false, {-6, -6, 6, 6}},   {lmCircle, true, {-6, -6, 6, 6}},
      {lmCrossBox, false, {-6, -6, 7, 7}}, {lmCrossBox, true, {-6, -6, 7, 7}},
      {lmSpade, false, {-6, -6, 7, 7}},    {lmSpade, true, {-6, -6, 7, 7}},
      {lmCross, false, {-7, -7, 8, 8}},    {lmCross, true, {-6, -6, 7, 7}},
  };
  for (const Extent& e : cases) {
    Reset(100, 100);
    Draw(50, 50, e.kind, 6, e.transparent);
    EXPECT_EQ(Bounds(), (TRect{50 + e.rel.Left, 50 + e.rel.Top, 50 + e.rel.Right, 50 + e.rel.Bottom}))
        << LMTypeNames[e.kind] << (e.transparent ? " transparent" : "");
  }
}

TEST_F(SymbolTest, OutlinesAndFills) {
  // Square: outline in the foreground colour, inside filled with the background colour.
  Draw(50, 50, lmSquare, 6, false);
  EXPECT_EQ(At(45, 45), clBlue);  // corner of the rectangle inside the white ring
  EXPECT_EQ(At(44, 44), clWhite);
  EXPECT_EQ(At(56, 56), clWhite);
  EXPECT_EQ(At(50, 50), clWhite);
  EXPECT_EQ(At(55, 55), clBlue);

  // Cross box: diagonals run through the filled square.
  Reset(100, 100);
  Draw(50, 50, lmCrossBox, 6, false);
  EXPECT_EQ(At(50, 50), clBlue);
  EXPECT_EQ(At(46, 46), clBlue);
  EXPECT_EQ(At(54, 46), clBlue);
  EXPECT_EQ(At(50, 47), clWhite);

  Reset(100, 100);
  Draw(50, 50, lmSpade, 6, false, 0, 0, clBlack, clYellow);
  EXPECT_EQ(At(56, 50), clBlack);
  EXPECT_EQ(At(50, 44), clBlack);
  EXPECT_EQ(At(50, 50), clYellow);
}

TEST_F(SymbolTest, TransparentShapesLeaveTheBackgroundInside) {
  const TLandMarkElement kinds[] = {lmSquare, lmTriangle, lmCircle, lmSpade, lmCrossBox};
  for (TLandMarkElement k : kinds) {
    Reset(100, 100);
    Draw(50, 50, k, 8, true, 0, 0, clBlack, clYellow);
    EXPECT_EQ(Count(clYellow), 0) << LMTypeNames[k];
    EXPECT_GT(Count(clBlack), 10) << LMTypeNames[k];
    EXPECT_EQ(At(50, 46), kBack) << LMTypeNames[k];  // inside, off the cross-box diagonals
  }
}

TEST_F(SymbolTest, TransparentCircleLeavesAClearBrushThatTheNextSymbolReplaces) {
  Draw(30, 30, lmCircle, 8, true);
  EXPECT_EQ(C().Brush().Style(), bsClear);
  EXPECT_EQ(At(30, 30), kBack);
  Draw(70, 70, lmSquare, 8, false);
  EXPECT_EQ(C().Brush().Style(), bsSolid);
  EXPECT_EQ(At(70, 70), clWhite);
}

TEST_F(SymbolTest, UsesThePenModeOfTheCanvas) {
  const QImage before = bmp.Image().copy();
  C().Pen().SetMode(pmXor);
  const TLandMarkElement kinds[] = {lmPlus, lmCross, lmSquare, lmSpade, lmArrowFrom, lmTriangle};
  for (TLandMarkElement k : kinds) Draw(60, 60, k, 9, true, 30, 25);
  EXPECT_NE(bmp.Image(), before);
  for (TLandMarkElement k : kinds) Draw(60, 60, k, 9, true, 30, 25);
  EXPECT_EQ(bmp.Image(), before);
  EXPECT_EQ(C().Pen().Mode(), pmXor);
}

class CaptionTest : public SymbolTest {
 protected:
  TLMTextProperties Caption(const char* text, TAlignment ha, TVerticalAlignment va, int dir = 0) {
    TLMTextProperties p;
    p.Text = text;
    p.Size = 10;
    p.FontName = "DejaVu Sans";
    p.FGColor = clBlack;
    p.BGColor = clYellow;
    p.Transparent = false;
    p.dx = 7;
    p.dy = -5;
    p.Direction = dir;
    p.HAlignment = ha;
    p.VAlignment = va;
    return p;
  }
  // The full text extent in the caption's font.
  TSize Extent(const TLMTextProperties& p) {
    TBitmap probe(1, 1);
    TCanvas& c = *probe.Canvas();
    c.Font().SetName(p.FontName);
    c.Font().SetSize(p.Size);
    c.Font().SetStyle(p.FontStyles);
    return c.TextExtent(p.Text.str());
  }
};

TEST_F(CaptionTest, NineAlignmentsPlaceTheBoxAroundTheReferencePoint) {
  const TAlignment hs[] = {taLeftJustify, taCenter, taRightJustify};
  const TVerticalAlignment vs[] = {vaTop, vaMiddle, vaBottom};
  for (TAlignment ha : hs)
    for (TVerticalAlignment va : vs) {
      Reset(300, 200);
      const TLMTextProperties p = Caption("Landmark", ha, va);
      const TSize e = Extent(p);
      DrawLandMarkCaption(C(), 150, 100, p);
      const int a = ha == taLeftJustify ? 0 : (ha == taCenter ? 1 : 2);
      const int left = 157 - a * (e.cx / 2), top = 95 - int(va) * (e.cy / 2);
      EXPECT_EQ(BoundsOf(clYellow), (TRect{left, top, left + e.cx, top + e.cy}))
          << "h " << int(ha) << " v " << int(va);
      EXPECT_GT(Count(clBlack), 20);
    }
}

TEST_F(CaptionTest, CentredCaptionIsCentredOnTheReferencePoint) {
  DrawLandMarkCaption(C(), 100, 100, Caption("Zentrum", taCenter, vaMiddle));
  const TRect b = BoundsOf(clYellow);
  EXPECT_NEAR((b.Left + b.Right) / 2.0, 107, 1);
  EXPECT_NEAR((b.Top + b.Bottom) / 2.0, 95, 1);
}

TEST_F(CaptionTest, Direction90RunsUpwardsFromTheReferencePoint) {
  const TLMTextProperties p = Caption("Upwards", taLeftJustify, vaTop, 90);
  const TSize e = Extent(p);
  DrawLandMarkCaption(C(), 100, 150, p);
  const TRect b = BoundsOf(clYellow);
  // Seen along the text, its top-left corner is at (107, 145): the box reaches up by the
  // text's width and to the right by its height.
  EXPECT_NEAR(b.Left, 107, 2);
  EXPECT_NEAR(b.Bottom, 145, 2);
  EXPECT_NEAR(b.Top, 145 - e.cx, 2);
  EXPECT_NEAR(b.Right, 107 + e.cy, 2);
  EXPECT_EQ(C().Font().Orientation(), 900);

  // Centred and middle, the turned box is centred on the reference point.
  Reset(200, 200);
  DrawLandMarkCaption(C(), 100, 100, Caption("Upwards", taCenter, vaMiddle, 90));
  const TRect c = BoundsOf(clYellow);
  EXPECT_NEAR((c.Left + c.Right) / 2.0, 107, 2);
  EXPECT_NEAR((c.Top + c.Bottom) / 2.0, 95, 2);
  EXPECT_GT(c.Height(), c.Width());

  // The next caption without a direction is horizontal again.
  Reset(200, 200);
  DrawLandMarkCaption(C(), 50, 100, Caption("Upwards", taLeftJustify, vaTop));
  const TRect d = BoundsOf(clYellow);
  EXPECT_EQ(d.Width(), e.cx);
  EXPECT_EQ(C().Font().Orientation(), 0);
}

TEST_F(CaptionTest, TransparentCaptionHasNoBox) {
  TLMTextProperties p = Caption("Ohne", taLeftJustify, vaTop);
  p.Transparent = true;
  p.FGColor = clRed;
  p.FontStyles = TFontStyles{fsBold};
  DrawLandMarkCaption(C(), 50, 50, p);
  EXPECT_EQ(Count(clYellow), 0);
  EXPECT_GT(Count(clRed), 20);
  const TRect b = Bounds();
  EXPECT_GE(b.Left, 57);
  EXPECT_GE(b.Top, 45);
  EXPECT_EQ(C().Brush().Style(), bsClear);
  EXPECT_EQ(C().Font().Color(), clRed);
  EXPECT_TRUE(C().Font().Style().contains(fsBold));
}

TEST_F(CaptionTest, EmptyTextOrBadAlignment) {
  TLMTextProperties p = Caption("", taLeftJustify, vaTop);
  C().Font().SetSize(33);
  DrawLandMarkCaption(C(), 50, 50, p);
  EXPECT_EQ(Bounds(), TRect{});
  EXPECT_EQ(C().Font().Size(), 33);

  // Out of range: the font and brush are set, but no text is drawn.
  p = Caption("Nichts", taLeftJustify, TVerticalAlignment(3));
  DrawLandMarkCaption(C(), 50, 50, p);
  EXPECT_EQ(Bounds(), TRect{});
  EXPECT_EQ(C().Font().Size(), 10);
  EXPECT_EQ(C().Brush().Color(), clYellow);
  p = Caption("Nichts", TAlignment(7), vaTop);
  DrawLandMarkCaption(C(), 50, 50, p);
  EXPECT_EQ(Bounds(), TRect{});
}

}  // namespace

namespace {

// Records read from files may hold any numbers at all.
TEST_F(SymbolTest, ExtremeNumbersFromFilesDrawSafely) {
  const int big = std::numeric_limits<int>::max(), small = std::numeric_limits<int>::min();
  for (int k = 0; k <= 10; ++k) {
    Draw(50, 50, TLandMarkElement(k), big, false, big, big);
    Draw(50, 50, TLandMarkElement(k), small, true, small, small);
    Draw(big, small, TLandMarkElement(k), 5, false);
  }
  TLMTextProperties p;
  p.Text = "Far";
  p.Size = big;
  p.dx = big;
  p.dy = small;
  p.Direction = big;
  DrawLandMarkCaption(C(), big, big, p);
  EXPECT_EQ(C().Font().PixelHeight(), kMaxFontPixels);
  p.Size = small;
  p.dx = p.dy = 0;
  DrawLandMarkCaption(C(), 10, 10, p);
  EXPECT_EQ(C().Font().PixelHeight(), kMaxFontPixels);
}

}  // namespace
