#include <gtest/gtest.h>

#include <cmath>

#include "Vek_support.h"

namespace vek {
namespace {

TEST(CurveFit, LineThroughExactPoints) {
  TCurveFit f;
  for (int x = -3; x <= 5; ++x) f.EnterStatValue(x, 2.5 * x - 7);
  double k, d, q;
  f.CalcLinFit(k, d, q);
  EXPECT_NEAR(k, 2.5, 1e-12);
  EXPECT_NEAR(d, -7, 1e-12);
  EXPECT_NEAR(q, 1, 1e-12);
}

TEST(CurveFit, LineWithLargeOffsetKeepsPrecision) {
  // Pixel rows near a million with a tiny slope, as in large map images.
  TCurveFit f;
  for (int i = 0; i < 50; ++i) f.EnterStatValue(1e6 + i, 1e-3 * (1e6 + i) + 4);
  double k, d, q;
  f.CalcLinFit(k, d, q);
  EXPECT_NEAR(k, 1e-3, 1e-10);
  EXPECT_NEAR(d, 4, 1e-4);
}

TEST(CurveFit, NoisyLineQualityBelowOne) {
  TCurveFit f;
  const double noise[] = {0.3, -0.2, 0.1, -0.4, 0.2, 0.0, -0.1, 0.3};
  for (int i = 0; i < 8; ++i) f.EnterStatValue(i, i + noise[i]);
  double k, d, q;
  f.CalcLinFit(k, d, q);
  EXPECT_NEAR(k, 1, 0.1);
  EXPECT_GT(q, 0.9);
  EXPECT_LT(q, 1);
}

TEST(CurveFit, DegenerateLineFits) {
  TCurveFit f;
  double k = 9, d = 9, q = 9;
  f.CalcLinFit(k, d, q);  // no data
  EXPECT_EQ(k, 0);
  EXPECT_EQ(d, 0);
  EXPECT_EQ(q, 0);
  f.EnterStatValue(2, 3);
  f.EnterStatValue(2, 5);  // all x equal: no slope can be found
  f.CalcLinFit(k, d, q);
  EXPECT_EQ(k, 0);
  EXPECT_EQ(d, 4);
  EXPECT_EQ(q, 0);
  f.Init();
  EXPECT_EQ(f.NumData(), 0);
}

TEST(CurveFit, ParabolaThroughExactPointsAtPixelScale) {
  TCurveFit f;
  // y = a + b x + c x^2 over image columns 1000..3000.
  const double a = 812.5, b = -0.031, c = 2.5e-5;
  for (int x = 1000; x <= 3000; x += 250) f.EnterStatValue(x, a + b * x + c * x * x);
  double A, B, C, q;
  f.CalcParabolFit(A, B, C, q);
  EXPECT_NEAR(C, c, 1e-12);
  EXPECT_NEAR(B, b, 1e-8);
  EXPECT_NEAR(A, a, 1e-5);
  EXPECT_NEAR(q, 1, 1e-12);
}

TEST(CurveFit, ParabolaWithTooFewDistinctXFallsBackToTheLine) {
  TCurveFit f;
  f.EnterStatValue(1, 1);
  f.EnterStatValue(3, 5);
  double A, B, C, q;
  f.CalcParabolFit(A, B, C, q);
  EXPECT_NEAR(A, -1, 1e-12);
  EXPECT_NEAR(B, 2, 1e-12);
  EXPECT_EQ(C, 0);
  f.EnterStatValue(3, 5);  // three pairs, two distinct x
  f.CalcParabolFit(A, B, C, q);
  EXPECT_EQ(C, 0);
  EXPECT_TRUE(std::isfinite(A) && std::isfinite(B));
}

TEST(CurveFit, StatisticsAndTheDifferenceMeasure) {
  TCurveFit f;
  int n;
  double mx, my, sx, sy, r, rms, md;
  for (int i = 1; i <= 4; ++i) f.EnterStatValue(i, i);
  f.CalcStatistics(n, mx, my, sx, sy, r, rms, md);
  EXPECT_EQ(n, 4);
  EXPECT_DOUBLE_EQ(mx, 2.5);
  EXPECT_DOUBLE_EQ(my, 2.5);
  EXPECT_NEAR(r, 1, 1e-12);
  EXPECT_EQ(rms, 0);  // every x equals its y
  EXPECT_EQ(md, 0);
  EXPECT_NEAR(sx, std::sqrt(5.0 / 3.0), 1e-12);

  // A constant offset is no perfect match: the measure sees it.
  f.Init();
  for (int i = 1; i <= 4; ++i) f.EnterStatValue(i, i + 2);
  f.CalcStatistics(n, mx, my, sx, sy, r, rms, md);
  EXPECT_NEAR(rms, 2, 1e-12);
  EXPECT_NEAR(md, 2, 1e-12);

  f.Init();
  f.EnterStatValue(0, 3);
  f.EnterStatValue(0, -3);
  f.CalcStatistics(n, mx, my, sx, sy, r, rms, md);
  EXPECT_NEAR(rms, 3, 1e-12);
  EXPECT_EQ(md, 0);
  EXPECT_EQ(r, 0);  // undefined for constant x

  f.Init();
  f.CalcStatistics(n, mx, my, sx, sy, r, rms, md);
  EXPECT_EQ(n, 0);
  EXPECT_EQ(rms, 0);
}

TEST(SLine, ClipsThroughTheBox) {
  TSLine l;
  l.LineFrom2Points(-10, 5, 30, 5);
  double ax, ay, bx, by;
  ASSERT_TRUE(l.ClipBox(0, 0, 20, 10, ax, ay, bx, by));
  EXPECT_DOUBLE_EQ(ax, 0);
  EXPECT_DOUBLE_EQ(ay, 5);
  EXPECT_DOUBLE_EQ(bx, 20);
  EXPECT_DOUBLE_EQ(by, 5);

  l.LineFrom2Points(-5, -5, 25, 25);  // diagonal, clipped at both ends
  ASSERT_TRUE(l.ClipBox(0, 0, 20, 10, ax, ay, bx, by));
  EXPECT_DOUBLE_EQ(ax, 0);
  EXPECT_DOUBLE_EQ(ay, 0);
  EXPECT_DOUBLE_EQ(bx, 10);
  EXPECT_DOUBLE_EQ(by, 10);
}

TEST(SLine, InsideOutsideAndDegenerateCases) {
  TSLine l;
  double ax = 7, ay = 7, bx = 7, by = 7;
  l.LineFrom2Points(2, 3, 4, 5);  // wholly inside: unchanged
  ASSERT_TRUE(l.ClipBox(0, 0, 10, 10, ax, ay, bx, by));
  EXPECT_EQ(ax, 2);
  EXPECT_EQ(by, 5);
  ax = ay = bx = by = 7;
  l.LineFrom2Points(-5, 20, 30, 20);  // below the box
  EXPECT_FALSE(l.ClipBox(0, 0, 10, 10, ax, ay, bx, by));
  EXPECT_EQ(ax, 7);
  l.LineFrom2Points(-5, 15, 15, 35);  // crosses the corner's extension only
  EXPECT_FALSE(l.ClipBox(0, 0, 10, 10, ax, ay, bx, by));
  l.LineFrom2Points(5, 5, 5, 5);  // a point inside
  EXPECT_TRUE(l.ClipBox(0, 0, 10, 10, ax, ay, bx, by));
  l.LineFrom2Points(0, -5, 0, 15);  // along the left edge
  ASSERT_TRUE(l.ClipBox(10, 10, 0, 0, ax, ay, bx, by));  // corners in either order
  EXPECT_EQ(ay, 0);
  EXPECT_EQ(by, 10);
  l.LineFrom2Points(NAN, 0, 5, 5);
  EXPECT_FALSE(l.ClipBox(0, 0, 10, 10, ax, ay, bx, by));
}

TEST(GreatCircle, KnownDistances) {
  const double R = 6378000;
  const double quarter = R * M_PI / 2;
  EXPECT_NEAR(SphereGreatCircleDist(R, 0, 0, 0, 90), quarter, 1e-6);
  EXPECT_NEAR(SphereGreatCircleDist(R, 0, 0, 90, 0), quarter, 1e-6);
  EXPECT_NEAR(SphereGreatCircleDist(R, 0, -90, 0, 90), 2 * quarter, 1e-6);
  EXPECT_NEAR(SphereGreatCircleDist(R, 45, 10, 45, 10), 0, 1e-9);
  // One arc second along a meridian: short distances keep their digits.
  EXPECT_NEAR(SphereGreatCircleDist(R, 47, 8, 47 + 1.0 / 3600, 8), R * M_PI / 180 / 3600, 1e-7);
  EXPECT_NEAR(SphereGreatCircleDist(R, 10, 179.5, 10, -179.5),
              SphereGreatCircleDist(R, 10, 0, 10, 1), 1e-6);
}

TEST(Round125, PicksTheNearestSeriesValue) {
  EXPECT_DOUBLE_EQ(Round125(1), 1);
  EXPECT_DOUBLE_EQ(Round125(1.4), 1);
  EXPECT_DOUBLE_EQ(Round125(1.6), 2);
  EXPECT_DOUBLE_EQ(Round125(3.4), 2);
  EXPECT_DOUBLE_EQ(Round125(3.6), 5);
  EXPECT_DOUBLE_EQ(Round125(7.4), 5);
  EXPECT_DOUBLE_EQ(Round125(7.6), 10);
  EXPECT_DOUBLE_EQ(Round125(1000), 1000);
  EXPECT_DOUBLE_EQ(Round125(2700), 2000);
  EXPECT_DOUBLE_EQ(Round125(0.23), 0.2);
  EXPECT_DOUBLE_EQ(Round125(0.09), 0.1);
  EXPECT_DOUBLE_EQ(Round125(-45), -50);
  EXPECT_EQ(Round125(0), 0);
  EXPECT_EQ(Round125(NAN), 0);
  EXPECT_EQ(Round125(INFINITY), 0);
}

TEST(BRandom, ExtremesAndFrequency) {
  BRandomSeed(7);
  int hits = 0;
  for (int i = 0; i < 10000; ++i) {
    EXPECT_FALSE(BRandom(0));
    EXPECT_TRUE(BRandom(1));
    hits += BRandom(0.25);
  }
  EXPECT_NEAR(hits, 2500, 200);
  EXPECT_FALSE(BRandom(-1));
  EXPECT_FALSE(BRandom(NAN));
}

TEST(Constants, MinAndMaxDouble) {
  EXPECT_GT(uc_MinDouble, 0);
  EXPECT_EQ(uc_MinDouble / 2, 0);  // nothing positive lies below it
  EXPECT_TRUE(std::isfinite(uc_MaxDouble));
  EXPECT_TRUE(std::isinf(uc_MaxDouble * 2));
}

}  // namespace
}  // namespace vek
