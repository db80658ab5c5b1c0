// Records, bounded arrays and the point-in-map test.
#include <gtest/gtest.h>

#include <string>
#include <type_traits>

#include "GeoMapRecords.h"

namespace vek {
namespace {

TEST(GeoMapRecords, SymbolShapeNames) {
  EXPECT_STREQ(LMTypeNames[lmPlus], "Plus");
  EXPECT_STREQ(LMTypeNames[lmArrowFrom], "ArrowFrom");
  EXPECT_STREQ(LMTypeNames[lmSpade], "Spade");
  EXPECT_STREQ(LMTypeNames[lmUserDef], "User-Defined");
}

TEST(GeoMapRecords, EnumerationOrdinals) {
  EXPECT_EQ(int(cmParabolicIp), 0);
  EXPECT_EQ(int(cmUTM), 5);
  EXPECT_EQ(int(cmUndefined), 6);
  EXPECT_EQ(int(gtlParallel), 1);
  EXPECT_EQ(int(gcoTopRight), 3);
  EXPECT_EQ(int(sgPointsAndUTMGrid), 5);
  EXPECT_EQ(int(lmUserDef), 9);
  EXPECT_EQ(int(lmaRemove), 1);
  EXPECT_EQ(sizeof(TCalibModel), 1u);
}

TEST(GeoMapRecords, ShortTextsKeepTheirCapacity) {
  TLandMark lm;
  lm.Caption.Text = std::string(100, 'x');
  EXPECT_EQ(lm.Caption.Text.length(), 80);
  lm.Identifier = "ABCDEFGHIJKLMNOPQRST";
  EXPECT_EQ(lm.Identifier.str(), "ABCDEFGHIJKLMNO");
  // Unicode text is stored in the 8-bit code page: one byte per character.
  lm.Identifier = "Zürich";
  EXPECT_EQ(lm.Identifier.length(), 6);
  EXPECT_EQ(lm.Identifier.str(), "Zürich");
}

TEST(GeoMapRecords, FixedTablesAreOneBasedAndStartZeroed) {
  TCalibData d;
  EXPECT_EQ(d.CalLines.size(), 25);
  EXPECT_EQ(d.CalQuads.size(), 200);
  EXPECT_EQ(d.CalLines[1].CalPoints.size(), 10);
  EXPECT_EQ(d.Ellipsoid, gelWGS84);
  EXPECT_EQ(d.UTMZone, 0);
  for (int i = 1; i <= 200; ++i) ASSERT_EQ(d.CalQuads[i], TCalQuad{}) << i;
  for (int i = 1; i <= 25; ++i)
    for (int j = 1; j <= 10; ++j) ASSERT_EQ(d.CalLines[i].CalPoints[j], (TPoint{0, 0}));

  // The last element is the 25th line's tenth point, stored in the last slot.
  d.CalLines[25].CalPoints[10] = TPoint{7, 8};
  EXPECT_EQ(&d.CalLines[25], &d.CalLines.Items[24]);
  EXPECT_EQ(d.CalLines.Items[24].CalPoints.Items[9], (TPoint{7, 8}));

  d.Corners[gcoBottomRight] = TCoords{10, 40};
  EXPECT_EQ(d.Corners.Items[2], (TCoords{10, 40}));

  TCalibData e = d;
  EXPECT_EQ(e, d);
  e.CalQuads[200].MapX = 1;
  EXPECT_FALSE(e == d);
}

TEST(GeoMapRecords, RecordsAreAggregatesInFieldOrder) {
  static_assert(std::is_aggregate_v<TCalQuad>);
  static_assert(std::is_aggregate_v<TCalibData>);
  static_assert(std::is_trivially_copyable_v<TCalibLine>);
  const TCalQuad q{48.5, 16.25, 120, 340};
  EXPECT_EQ(q.Latitude, 48.5);
  EXPECT_EQ(q.MapY, 340);
  const TgmZoomStackEntry z{3, 4, 1.5};
  EXPECT_EQ(z.Top, 4);
  EXPECT_EQ(z.MagF, 1.5);
  EXPECT_EQ(TgmZoomStackEntry{}, (TgmZoomStackEntry{0, 0, 0}));
}

class PositionInMapTest : public ::testing::Test {
 protected:
  TCornerArray Rect() const {
    TCornerArray c{};
    c[gcoTopLeft] = {20, 30};
    c[gcoBottomLeft] = {10, 30};
    c[gcoBottomRight] = {10, 40};
    c[gcoTopRight] = {20, 40};
    return c;
  }
};

TEST_F(PositionInMapTest, InsideIsStrict) {
  const TCornerArray c = Rect();
  EXPECT_TRUE(PositionInMap(15, 35, c));
  EXPECT_TRUE(PositionInMap(19.999, 30.001, c));
  EXPECT_FALSE(PositionInMap(10, 35, c));  // on the southern edge
  EXPECT_FALSE(PositionInMap(15, 40, c));  // on the eastern edge
  EXPECT_FALSE(PositionInMap(20, 30, c));  // a corner
  EXPECT_FALSE(PositionInMap(25, 35, c));
  EXPECT_FALSE(PositionInMap(15, 29, c));
  EXPECT_FALSE(PositionInMap(15, 45, c));
}

TEST_F(PositionInMapTest, SkewedQuadrilateral) {
  // A map turned by the projection: the test follows the edges, not the bounding box.
  TCornerArray c{};
  c[gcoTopLeft] = {50, 10};
  c[gcoBottomLeft] = {40, 12};
  c[gcoBottomRight] = {41, 22};
  c[gcoTopRight] = {51, 20};
  EXPECT_TRUE(PositionInMap(45, 16, c));
  EXPECT_FALSE(PositionInMap(50.5, 10.5, c));  // inside the box, outside the top edge
  EXPECT_FALSE(PositionInMap(40.2, 21.5, c));  // inside the box, below the bottom edge
}

TEST_F(PositionInMapTest, DegenerateCornersContainNothing) {
  TCornerArray c{};
  EXPECT_FALSE(PositionInMap(0, 0, c));
  EXPECT_FALSE(PositionInMap(1, 1, c));
}

}  // namespace
}  // namespace vek
