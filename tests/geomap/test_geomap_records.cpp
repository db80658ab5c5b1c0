// Records, bounded arrays and the point-in-map test.
#include <gtest/gtest.h>

#include <string>

#include "GeoMapRecords.h"

namespace vek {
namespace {

TEST(GeoMapRecords, SymbolShapeNames) {
  EXPECT_STREQ(LMTypeNames[lmPlus], "Plus");
  EXPECT_STREQ(LMTypeNames[lmUserDef], "User-Defined");
}

TEST(GeoMapRecords, CaptionTextKeepsEightyCharacters) {
  TLandMark lm;
  lm.Caption.Text = std::string(100, 'x');
  EXPECT_EQ(lm.Caption.Text.str(), std::string(80, 'x'));
}

TEST(GeoMapRecords, FixedTablesAreOneBasedAndStartZeroed) {
  TCalibData d;
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
