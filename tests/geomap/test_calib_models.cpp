// Least squares by SVD and the six calibration models, checked on synthetic maps whose
// projection is known.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "Grids.h"
#include "MapCalibration.h"
#include "MathUtils.h"
#include "Svd.h"

using namespace vek;

namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr double D2R = Pi / 180;

TMatrix MatrixFromRows(const std::vector<std::vector<double>>& Rows) {
  TMatrix M(static_cast<int>(Rows[0].size()), static_cast<int>(Rows.size()));
  for (size_t i = 0; i < Rows.size(); ++i)
    for (size_t j = 0; j < Rows[i].size(); ++j) M.SetVal(int(j) + 1, int(i) + 1, Rows[i][j]);
  return M;
}

TVector VectorOf(const std::vector<double>& V) {
  TVector R(static_cast<int>(V.size()));
  for (size_t i = 0; i < V.size(); ++i) R.SetVal(int(i) + 1, V[i]);
  return R;
}

// A calibration in the given model with control points from Proj(lat, lon) -> (x, y).
template <class ProjFn>
TMapCalibration PointMap(TCalibModel Model, ProjFn Proj, double Lat0, double Lat1, double Lon0,
                         double Lon1, int Steps = 4) {
  TMapCalibration C;
  C.SetImageSize(1000, 800);
  C.SetModel(Model);
  for (int i = 0; i <= Steps; ++i)
    for (int j = 0; j <= Steps; ++j) {
      const double Lat = Lat0 + (Lat1 - Lat0) * i / Steps, Lon = Lon0 + (Lon1 - Lon0) * j / Steps;
      double X, Y;
      Proj(Lat, Lon, X, Y);
      EXPECT_TRUE(C.AddCalibPoint(Lat, Lon, int(std::lround(X)), int(std::lround(Y))));
    }
  return C;
}

// Every conversion against the projection over a grid of pixels inside the map, and the
// round trip pixel -> position -> pixel.
template <class ProjFn>
void CheckAgainstProjection(const TMapCalibration& C, ProjFn Proj, double Lat0, double Lat1,
                            double Lon0, double Lon1, double DegTol, int PixTol) {
  for (double Lat = Lat0; Lat <= Lat1 + 1e-9; Lat += (Lat1 - Lat0) / 7)
    for (double Lon = Lon0; Lon <= Lon1 + 1e-9; Lon += (Lon1 - Lon0) / 7) {
      double PX, PY;
      Proj(Lat, Lon, PX, PY);
      int X = -1, Y = -1;
      ASSERT_TRUE(C.CalcPixelCoords(Lat, Lon, X, Y)) << Lat << " " << Lon;
      EXPECT_LE(std::abs(X - PX), PixTol + 0.5) << Lat << " " << Lon;
      EXPECT_LE(std::abs(Y - PY), PixTol + 0.5) << Lat << " " << Lon;
      bool V1, V2;
      const double GLat = C.CalcLatitude(X, Y, V1), GLon = C.CalcLongitude(X, Y, V2);
      ASSERT_TRUE(V1 && V2);
      EXPECT_NEAR(GLat, Lat, DegTol);
      EXPECT_NEAR(GLon, Lon, DegTol);
      int X2, Y2;
      ASSERT_TRUE(C.CalcPixelCoords(GLat, GLon, X2, Y2));
      EXPECT_LE(std::abs(X2 - X), 1);
      EXPECT_LE(std::abs(Y2 - Y), 1);
    }
}

// Plate carree, 100 pixels per degree, origin 45 N 5 E at pixel (50, 50).
void PlateCarree(double Lat, double Lon, double& X, double& Y) {
  X = 50 + (Lon - 5) * 100;
  Y = 50 + (51 - Lat) * 100;
}

void Miller(double Lat, double Lon, double& X, double& Y) {
  X = 500 + Lon * D2R * 2000;
  Y = 400 - 1.25 * std::log(std::tan(Pi / 4 + 0.4 * Lat * D2R)) * 2000;
}

// Spherical Lambert conformal conic, standard parallels 43 and 49, 1 pixel = 1 km.
void Lambert(double Lat, double Lon, double& X, double& Y) {
  const double R = 6371, P1 = 43 * D2R, P2 = 49 * D2R, L0 = 10 * D2R;
  const double n = std::log(std::cos(P1) / std::cos(P2)) /
                   std::log(std::tan(Pi / 4 + P2 / 2) / std::tan(Pi / 4 + P1 / 2));
  const double F = std::cos(P1) * std::pow(std::tan(Pi / 4 + P1 / 2), n) / n;
  auto Rho = [&](double Phi) { return R * F / std::pow(std::tan(Pi / 4 + Phi / 2), n); };
  const double Theta = n * (Lon * D2R - L0);
  X = 500 + Rho(Lat * D2R) * std::sin(Theta);
  Y = 400 - (Rho(46 * D2R) - Rho(Lat * D2R) * std::cos(Theta));
}

}  // namespace

// ---------------------------------------------------------------------------------------------

TEST(CalibSvd, DecompositionReproducesMatrix) {
  std::mt19937 Gen(7);
  std::uniform_real_distribution<double> U(-10, 10);
  const int m = 9, n = 4;
  TMatrix A(n, m);
  for (int i = 1; i <= m; ++i)
    for (int j = 1; j <= n; ++j) A.SetVal(j, i, U(Gen));
  TMatrix Uu = A, V;
  TVector W;
  ASSERT_TRUE(SVDecomposition(Uu, W, V));
  ASSERT_EQ(W.NrOfElem(), n);
  for (int i = 1; i <= m; ++i)
    for (int j = 1; j <= n; ++j) {
      double S = 0;
      for (int k = 1; k <= n; ++k) S += Uu.GetVal(k, i) * W.GetVal(k) * V.GetVal(k, j);
      EXPECT_NEAR(S, A.GetVal(j, i), 1e-10);
    }
  for (int a = 1; a <= n; ++a) {
    EXPECT_GE(W.GetVal(a), 0.0);
    for (int b = 1; b <= n; ++b) {
      double UtU = 0, VtV = 0;
      for (int i = 1; i <= m; ++i) UtU += Uu.GetVal(a, i) * Uu.GetVal(b, i);
      for (int i = 1; i <= n; ++i) VtV += V.GetVal(a, i) * V.GetVal(b, i);
      EXPECT_NEAR(UtU, a == b ? 1.0 : 0.0, 1e-12);
      EXPECT_NEAR(VtV, a == b ? 1.0 : 0.0, 1e-12);
    }
  }
}

TEST(CalibSvd, RankDeficientGivesMinimumNorm) {
  // Two equal columns: any x1 + x2 = 2 fits; the minimum-norm answer is (1, 1).
  const TMatrix A = MatrixFromRows({{1, 1}, {2, 2}, {3, 3}});
  TMatrix Uu = A, V;
  TVector W;
  ASSERT_TRUE(SVDecomposition(Uu, W, V));
  const double WMax = std::max(W.GetVal(1), W.GetVal(2)), WMin = std::min(W.GetVal(1), W.GetVal(2));
  EXPECT_LT(WMin, WMax * 1e-14);
  TVector X;
  ASSERT_TRUE(SolveBySVD(A, VectorOf({2, 4, 6}), X));
  EXPECT_NEAR(X.GetVal(1), 1.0, 1e-12);
  EXPECT_NEAR(X.GetVal(2), 1.0, 1e-12);
}

TEST(CalibSvd, FewerRowsThanColumnsGivesMinimumNorm) {
  const TMatrix A = MatrixFromRows({{1, 2, 3}});
  TVector X;
  ASSERT_TRUE(SolveBySVD(A, VectorOf({14}), X));
  ASSERT_EQ(X.NrOfElem(), 3);
  EXPECT_NEAR(X.GetVal(1), 1.0, 1e-12);
  EXPECT_NEAR(X.GetVal(2), 2.0, 1e-12);
  EXPECT_NEAR(X.GetVal(3), 3.0, 1e-12);
  EXPECT_EQ(A.NrOfRows(), 1);
}

TEST(CalibSvd, NonFiniteInputFailsWithoutHanging) {
  TMatrix A = MatrixFromRows({{1, 2}, {3, std::nan("")}, {5, 6}});
  TVector X = VectorOf({42});
  EXPECT_FALSE(SolveBySVD(A, VectorOf({1, 2, 3}), X));
  EXPECT_EQ(X.NrOfElem(), 1);  // untouched
}

TEST(CalibSvd, ProgressAndAbort) {
  const TMatrix A = MatrixFromRows({{1, 0, 0}, {0, 2, 0}, {0, 0, 3}, {1, 1, 1}});
  const double Before = ProcStat;
  int Calls = 0;
  double Last = 0;
  MathFeedBackProc = [&](double V) {
    ++Calls;
    Last = V;
  };
  TVector X;
  EXPECT_TRUE(SolveBySVD(A, VectorOf({1, 2, 3, 4}), X));
  // One step per column in each of the four loops.
  EXPECT_EQ(ProcStat - Before, 12.0);
  EXPECT_EQ(Calls, 12);
  EXPECT_EQ(Last, ProcStat);

  Calls = 0;
  AbortMathProc = true;
  EXPECT_FALSE(SolveBySVD(A, VectorOf({1, 2, 3, 4}), X));
  EXPECT_EQ(Calls, 1);  // stops at the first step

  // A failed solve leaves the parameters of that solve at 0.
  TMapCalibration C;
  C.SetModel(cmEquiRect);
  C.Data().NumCalQuads = 3;
  C.Data().CalQuads[1] = {50, 10, 0, 0};
  C.Data().CalQuads[2] = {50, 11, 100, 0};
  C.Data().CalQuads[3] = {49, 10, 0, 100};
  C.CalcEquiRectCalibration();
  EXPECT_EQ(C.Params(), TCalibParams{});
  AbortMathProc = false;
  MathFeedBackProc = nullptr;
  C.CalcEquiRectCalibration();
  EXPECT_NE(C.Params(), TCalibParams{});
}

// ---------------------------------------------------------------------------------------------

TEST(CalibModels, EquiRectThreeQuads) {
  TMapCalibration C;
  C.SetModel(cmEquiRect);
  C.AddCalibPoint(50, 10, 0, 0);
  C.AddCalibPoint(50, 11, 100, 0);
  C.AddCalibPoint(49, 10, 0, 100);
  bool V;
  EXPECT_NEAR(C.CalcLatitude(100, 100, V), 49, 1e-9);
  EXPECT_TRUE(V);
  EXPECT_NEAR(C.CalcLongitude(100, 100, V), 11, 1e-9);
  int X, Y;
  EXPECT_TRUE(C.CalcPixelCoords(49, 11, X, Y));
  EXPECT_EQ(X, 100);
  EXPECT_EQ(Y, 100);
}

TEST(CalibModels, EquiRectWithoutQuads) {
  TMapCalibration C;
  C.SetModel(cmEquiRect);
  C.RecalcCalibration();
  EXPECT_EQ(C.Params(), TCalibParams{});
  bool V = false;
  EXPECT_EQ(C.CalcLatitude(10, 20, V), 0.0);
  EXPECT_TRUE(V);
}

TEST(CalibModels, EquiRectPlateCarree) {
  TMapCalibration C = PointMap(cmEquiRect, PlateCarree, 45, 51, 5, 13);
  CheckAgainstProjection(C, PlateCarree, 45, 51, 5, 13, 0.006, 0);
  EXPECT_LT(C.ResidualRMS(), 0.5);
}

TEST(CalibModels, FewQuadsStayInsideAndReproduceThePoint) {
  // One point for three (or six) parameters: the minimum-norm fit still passes through it.
  for (TCalibModel M : {cmEquiRect, cmBiquadraticPn}) {
    TMapCalibration C;
    C.SetModel(M);
    C.AddCalibPoint(47.5, 8.25, 120, 80);
    bool V;
    EXPECT_NEAR(C.CalcLatitude(120, 80, V), 47.5, 1e-9);
    EXPECT_NEAR(C.CalcLongitude(120, 80, V), 8.25, 1e-9);
    int X, Y;
    EXPECT_TRUE(C.CalcPixelCoords(47.5, 8.25, X, Y));
    EXPECT_EQ(X, 120);
    EXPECT_EQ(Y, 80);
  }
}

TEST(CalibModels, BiquadraticPlateCarree) {
  TMapCalibration C = PointMap(cmBiquadraticPn, PlateCarree, 45, 51, 5, 13);
  CheckAgainstProjection(C, PlateCarree, 45, 51, 5, 13, 0.006, 0);
  double QX, QY;
  C.CalibQuality(QX, QY);
  EXPECT_LT(QX, 0.5);
  EXPECT_LT(QY, 0.5);
}

TEST(CalibModels, MillerCylindrical) {
  TMapCalibration C = PointMap(cmMillerCylindrical, Miller, -60, 70, -150, 150);
  CheckAgainstProjection(C, Miller, -60, 70, -150, 150, 0.06, 1);
  const auto& M = C.Params().MillercylPar;
  EXPECT_NEAR(M[2][1], 2000, 0.5);
  EXPECT_NEAR(M[1][1], -2500, 0.5);
}

TEST(CalibModels, MillerNeedsThreeQuadsAndKeepsOldValues) {
  TMapCalibration C;
  C.SetModel(cmMillerCylindrical);
  double X, Y;
  Miller(10, 20, X, Y);
  C.AddCalibPoint(10, 20, int(X), int(Y));
  Miller(40, 60, X, Y);
  C.AddCalibPoint(40, 60, int(X), int(Y));
  bool V = true;
  C.CalcLatitude(100, 100, V);
  EXPECT_FALSE(V);
  C.CalcLongitude(100, 100, V);
  EXPECT_FALSE(V);
  int PX, PY;
  EXPECT_FALSE(C.CalcPixelCoords(10, 20, PX, PY));  // not fitted: nothing to convert with
  Miller(-30, -45, X, Y);
  C.AddCalibPoint(-30, -45, int(X), int(Y));
  C.CalcLatitude(100, 100, V);
  EXPECT_TRUE(V);
  const TCalibParams Fitted = C.Params();
  C.Clear();
  EXPECT_EQ(C.Params().MillercylPar, Fitted.MillercylPar);
  C.AddCalibPoint(0, 0, 0, 0);
  C.AddCalibPoint(1, 1, 5, 5);
  EXPECT_EQ(C.Params().MillercylPar, Fitted.MillercylPar);
}

TEST(CalibModels, ConicConformalLambert) {
  TMapCalibration C = PointMap(cmConicConformal, Lambert, 43, 49, 5, 15, 5);
  // 1 pixel = 1 km, so 0.01 degrees is about one pixel.
  CheckAgainstProjection(C, Lambert, 43.5, 48.5, 6, 14, 0.01, 1);
  // The pole of the projection lies rho(46 N) above the centre.
  const auto& P = C.Params().ConicPars;
  EXPECT_NEAR(P[1], 500, 30);
  EXPECT_LT(P[2], -4000);
  EXPECT_LT(C.ResidualRMS(), 3.0);
}

// South of the equator under the northern pole of the projection, and across the equator:
// positions convert on the side of the pole where the control points lie.
TEST(CalibModels, ConicMapsOnEitherSideOfTheEquator) {
  for (const auto& [Lat0, Lat1] : {std::pair{-9.0, -3.0}, std::pair{-3.0, 3.0}}) {
    TMapCalibration C = PointMap(cmConicConformal, Lambert, Lat0, Lat1, 5, 15, 5);
    // Far from the standard parallels latitude is not quite linear in the distance: 4 km.
    CheckAgainstProjection(C, Lambert, Lat0 + 0.5, Lat1 - 0.5, 6, 14, 0.05, 5);
  }
}

TEST(CalibModels, ConicKeepsParametersWithFewQuadsAndGuardsThePoleRow) {
  TMapCalibration C = PointMap(cmConicConformal, Lambert, 43, 49, 5, 15, 2);
  const TCalibParams Fitted = C.Params();
  C.Clear();
  C.AddCalibPoint(45, 10, 500, 500);
  C.AddCalibPoint(46, 11, 600, 400);
  EXPECT_EQ(C.Params().ConicPars, Fitted.ConicPars);
  bool V = true;
  const int PoleRow = int(std::lround(Fitted.ConicPars[2]));
  if (PoleRow == Fitted.ConicPars[2]) {
    C.CalcLongitude(700, PoleRow, V);
    EXPECT_FALSE(V);
  }
  // Unfitted conic parameters convert nothing.
  TMapCalibration Fresh;
  Fresh.SetModel(cmConicConformal);
  int X, Y;
  EXPECT_FALSE(Fresh.CalcPixelCoords(45, 10, X, Y));
}

TEST(CalibModels, UTMFromOwnGeodesy) {
  TMapCalibration C;
  C.SetModel(cmUTM);
  C.Data().UTMZone = 33;
  C.Data().UTMSouth = false;
  // 10 m per pixel, top-left corner at E 400000, N 5300000.
  auto Pixel = [](double E, double N, double& X, double& Y) {
    X = (E - 400000) / 10;
    Y = (5300000 - N) / 10;
  };
  for (double E = 400000; E <= 410000; E += 2500)
    for (double N = 5290000; N <= 5300000; N += 2500) {
      double X, Y;
      Pixel(E, N, X, Y);
      ASSERT_TRUE(C.AddCalibPoint(N, E, 33, hemiNorth, int(X), int(Y)));
    }
  EXPECT_NEAR(C.Params().EquRectSPPL[1][3], 0.1, 1e-9);
  for (double Lat = 47.75; Lat <= 47.83; Lat += 0.02)
    for (double Lon = 13.7; Lon <= 13.8; Lon += 0.025) {
      int Zone;
      double E, N;
      LatLongToUTM(Lat, Lon, gelWGS84, Zone, E, N);
      ASSERT_EQ(Zone, 33);
      double PX, PY;
      Pixel(E, N, PX, PY);
      int X, Y;
      ASSERT_TRUE(C.CalcPixelCoords(Lat, Lon, X, Y));
      EXPECT_LE(std::abs(X - PX), 0.5);
      EXPECT_LE(std::abs(Y - PY), 0.5);
      bool V1, V2;
      EXPECT_NEAR(C.CalcLatitude(X, Y, V1), Lat, 1e-4);
      EXPECT_NEAR(C.CalcLongitude(X, Y, V2), Lon, 1e-4);
      EXPECT_TRUE(V1 && V2);
      int UX, UY;
      ASSERT_TRUE(C.CalcPixelCoordsUTM(N, E, UX, UY));
      EXPECT_EQ(UX, X);
      EXPECT_EQ(UY, Y);
    }
  // Grid lines: the row of northing 5295000 is 500 everywhere on this north-up map.
  EXPECT_EQ(C.CalcUTMyFromNorthingX(5295000, 300), 500);
  EXPECT_EQ(C.CalcUTMxFromEastingY(405000, 200), 500);
  double QX, QY;
  C.CalibQuality(QX, QY);  // quads hold metres: compared through the UTM conversion
  EXPECT_LT(QX, 0.01);
  EXPECT_LT(QY, 0.01);

  // A position of the neighbouring zone is converted in that zone's own grid.
  int Zone;
  double E34, N34;
  LatLongToUTM(47.8, 18.5, gelWGS84, Zone, E34, N34);
  ASSERT_EQ(Zone, 34);
  int X, Y;
  ASSERT_TRUE(C.CalcPixelCoords(47.8, 18.5, X, Y));
  double PX, PY;
  Pixel(E34, N34, PX, PY);
  EXPECT_EQ(X, int(std::nearbyint(PX)));
  EXPECT_EQ(Y, int(std::nearbyint(PY)));
  // Beyond the UTM area there is no grid to convert into.
  EXPECT_FALSE(C.CalcPixelCoords(86, 13, X, Y));
  // Without a zone the pixels cannot be turned into positions.
  C.Data().UTMZone = -1;
  bool V = true;
  C.CalcLatitude(10, 10, V);
  EXPECT_FALSE(V);
}

TEST(CalibModels, UTMConversionsOutsideTheUTMModel) {
  TMapCalibration C = PointMap(cmEquiRect, PlateCarree, 45, 51, 5, 13);
  int X = 7, Y = 7;
  EXPECT_FALSE(C.CalcPixelCoordsUTM(5300000, 400000, X, Y));
  EXPECT_EQ(X, 0);
  EXPECT_EQ(Y, 0);
  TMapCalibration Fresh;
  bool V = true;
  EXPECT_EQ(Fresh.CalcUTMyFromNorthingX(5300000, 10, V), 0);
  EXPECT_FALSE(V);  // no coefficients: no crossing
  EXPECT_EQ(Fresh.CalcUTMxFromEastingY(400000, 10, V), 0);
  EXPECT_FALSE(V);
}

// ---------------------------------------------------------------------------------------------

namespace {

// Bent graticule: parallels y = 100 + 100*(48 - lat) + 0.0002*(x - 400)^2, meridians
// x = 100 + 100*(lon - 5) + 0.05*(lon - 6.5)*(y - 200); both linear in their value, so the
// interpolation between lines is exact.
void Bent(double Lat, double Lon, double& X, double& Y) {
  X = 400;
  for (int i = 0; i < 50; ++i) {
    Y = 100 + 100 * (48 - Lat) + 0.0002 * (X - 400) * (X - 400);
    X = 100 + 100 * (Lon - 5) + 0.05 * (Lon - 6.5) * (Y - 200);
  }
}

TMapCalibration BentMap() {
  TMapCalibration C;
  C.SetModel(cmParabolicIp);
  for (double Lat : {45.0, 46.0, 47.0, 48.0})
    for (double x = 0; x <= 800; x += 200)
      C.AddCalibPoint(gtlParallel, Lat, int(x), int(std::lround(100 + 100 * (48 - Lat) + 0.0002 * (x - 400) * (x - 400))));
  for (double Lon : {5.0, 6.0, 7.0, 8.0})
    for (double y = 0; y <= 400; y += 100)
      C.AddCalibPoint(gtlMeridian, Lon, int(std::lround(100 + 100 * (Lon - 5) + 0.05 * (Lon - 6.5) * (y - 200))), int(y));
  return C;
}

}  // namespace

TEST(CalibModels, ParabolicBentGraticule) {
  TMapCalibration C = BentMap();
  EXPECT_TRUE(C.RecalcGratMat());
  EXPECT_EQ(C.GratMat().NrOfRows(), 8);
  EXPECT_EQ(C.GratMat().GetVal(1, 1), 1.0);
  EXPECT_EQ(C.GratMat().GetVal(2, 1), 45.0);
  EXPECT_NEAR(C.GratMat().GetVal(5, 1), 0.0002, 2e-5);
  CheckAgainstProjection(C, Bent, 45.2, 47.8, 5.2, 7.8, 0.01, 1);
  EXPECT_LT(C.ResidualRMS(), 0.5);
}

TEST(CalibModels, ParabolicNeedsTwoOfEachKind) {
  TMapCalibration C;
  C.SetModel(cmParabolicIp);
  for (int x = 0; x <= 300; x += 100) C.AddCalibPoint(gtlParallel, 50.0, x, 100);
  for (int y = 0; y <= 300; y += 100) {
    C.AddCalibPoint(gtlMeridian, 10.0, 100, y);
    C.AddCalibPoint(gtlMeridian, 11.0, 200, y);
  }
  EXPECT_FALSE(C.RecalcGratMat());
  EXPECT_EQ(C.GratMat().NrOfRows(), 1);
  EXPECT_EQ(C.GratMat().NrOfColumns(), 5);
  for (int c = 1; c <= 5; ++c) EXPECT_EQ(C.GratMat().GetVal(c, 1), 0.0);
  bool V = true;
  C.CalcLatitude(150, 150, V);
  EXPECT_FALSE(V);
  C.CalcLongitude(150, 150, V);
  EXPECT_FALSE(V);
  int X, Y;
  EXPECT_FALSE(C.CalcPixelCoords(50, 10.5, X, Y));
}

TEST(CalibModels, ParabolicDegenerateLines) {
  // Two parallels of the same value: no line to interpolate between.
  TMapCalibration C;
  C.SetModel(cmParabolicIp);
  TCalibData& D = C.Data();
  auto Line = [&](TGratLineKind K, double V, std::vector<TPoint> Pts) {
    TCalibLine& L = D.CalLines[++D.NumCalLines];
    L.LineType = K;
    L.LineValue = V;
    L.NumPoints = int(Pts.size());
    for (size_t i = 0; i < Pts.size(); ++i) L.CalPoints[int(i) + 1] = Pts[i];
  };
  Line(gtlParallel, 50, {{0, 100}, {100, 100}, {200, 100}});
  Line(gtlParallel, 50, {{0, 200}, {100, 200}, {200, 200}});
  Line(gtlMeridian, 10, {{100, 0}, {100, 100}, {100, 200}});
  Line(gtlMeridian, 11, {{200, 0}, {200, 100}, {200, 200}});
  ASSERT_TRUE(C.RecalcGratMat());
  int X = -1, Y = -1;
  EXPECT_FALSE(C.CalcPixelCoords(50, 10.5, X, Y));
  // Two parallels through the same pixels: the interpolation would divide by zero.
  D.CalLines[2].LineValue = 49;
  for (int k = 1; k <= 3; ++k) D.CalLines[2].CalPoints[k].Y = 100;
  ASSERT_TRUE(C.RecalcGratMat());
  bool V = true;
  C.CalcLatitude(150, 150, V);
  EXPECT_FALSE(V);
}

TEST(CalibModels, ParabolicDivergingIntersectionStopsEarly) {
  // Strongly bent lines that never meet under the fixed-point iteration.
  TMapCalibration C;
  C.SetModel(cmParabolicIp);
  for (int t = 0; t <= 200; t += 100) {
    C.AddCalibPoint(gtlParallel, 50.0, t, t * t / 100);
    C.AddCalibPoint(gtlParallel, 51.0, t, t * t / 100 + 10);
    C.AddCalibPoint(gtlMeridian, 10.0, t * t / 100, t);
    C.AddCalibPoint(gtlMeridian, 11.0, t * t / 100 + 10, t);
  }
  ASSERT_TRUE(C.RecalcGratMat());
  int X = -7, Y = -7;
  EXPECT_FALSE(C.CalcPixelCoords(50.5, 10.5, X, Y));
}

TEST(CalibModels, UndefinedConvertsNothing) {
  TMapCalibration C = PointMap(cmEquiRect, PlateCarree, 45, 51, 5, 13);
  C.SetModel(cmUndefined);
  bool V = true;
  EXPECT_EQ(C.CalcLatitude(10, 10, V), 0.0);
  EXPECT_FALSE(V);
  int X, Y;
  EXPECT_FALSE(C.CalcPixelCoords(47, 8, X, Y));
  double QX = -1, QY = -1;
  C.CalibQuality(QX, QY);
  EXPECT_EQ(QX, 0.0);
  EXPECT_EQ(QY, 0.0);
  EXPECT_TRUE(C.Residuals().empty());
}

TEST(CalibModels, ExtentsAndResolution) {
  // One degree of longitude along the equator over 1000 pixels.
  TMapCalibration C;
  C.SetModel(cmEquiRect);
  C.SetImageSize(1000, 500);
  C.AddCalibPoint(0.25, 0, 0, 0);
  C.AddCalibPoint(0.25, 1, 1000, 0);
  C.AddCalibPoint(-0.25, 0, 0, 500);
  const TCalibData& D = C.Data();
  EXPECT_NEAR(D.Corners[gcoTopLeft].Latit, 0.25, 1e-9);
  EXPECT_NEAR(D.Corners[gcoBottomRight].Longit, 1, 1e-9);
  EXPECT_NEAR(D.Corners[gcoBottomLeft].Latit, -0.25, 1e-9);
  EXPECT_NEAR(D.Corners[gcoTopRight].Longit, 1, 1e-9);
  EXPECT_NEAR(D.Resolution, 6378000 * Pi / 180 / 1000, 1e-6);
  C.CalcExtentsAndResolution(0, 500);
  EXPECT_EQ(C.Data().Resolution, 0.0);
}

TEST(CalibModels, ResidualsShowTheBadPoint) {
  TMapCalibration C = PointMap(cmEquiRect, PlateCarree, 45, 51, 5, 13);
  const double Good = C.ResidualRMS();
  C.AddCalibPoint(48, 9, 450 + 40, 350);  // 40 pixels off
  const std::vector<TCalResidual> R = C.Residuals();
  ASSERT_EQ(int(R.size()), C.Data().NumCalQuads);
  int Worst = 0;
  for (size_t i = 1; i < R.size(); ++i)
    if (R[i].Dist > R[size_t(Worst)].Dist) Worst = int(i);
  EXPECT_EQ(R[size_t(Worst)].Index, C.Data().NumCalQuads);
  EXPECT_LT(R[size_t(Worst)].DX, -30);
  EXPECT_GT(C.ResidualRMS(), Good + 1);
}
