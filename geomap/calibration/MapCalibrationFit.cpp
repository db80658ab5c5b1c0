// Fitting of the calibration models to the graticule lines and control points.
#include <algorithm>
#include <cmath>

#include "CurveFit.h"
#include "MapCalibration.h"
#include "MathUtils.h"
#include "Svd.h"

namespace vek {

namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr double SphereRadius = 6378000.0;  // metres, for the resolution
constexpr double SphereCircumference = 2 * Pi * SphereRadius;

// Least-squares fits of the first NQ quads: latitude and longitude from the pixel design
// matrix A into PLSP, column and row from the geographic design matrix G into SPPL. A row
// whose system cannot be solved keeps its coefficients.
template <int NC>
void SolveQuadFits(const TCalibData& D, int NQ, const TMatrix& A, const TMatrix& G,
                   PArray<PArray<double, 1, NC>, 1, 2>& PLSP,
                   PArray<PArray<double, 1, NC>, 1, 2>& SPPL) {
  TVector Lat(NQ), Lon(NQ), MX(NQ), MY(NQ);
  for (int k = 1; k <= NQ; ++k) {
    const TCalQuad& Q = D.CalQuads[k];
    Lat.SetVal(k, Q.Latitude);
    Lon.SetVal(k, Q.Longitude);
    MX.SetVal(k, Q.MapX);
    MY.SetVal(k, Q.MapY);
  }
  auto Solve = [](const TMatrix& M, const TVector& B, PArray<double, 1, NC>& Row) {
    TVector X;
    if (!SolveBySVD(M, B, X)) return;
    for (int j = 1; j <= NC; ++j) Row[j] = X.GetVal(j);
  };
  Solve(A, Lat, PLSP[1]);
  Solve(A, Lon, PLSP[2]);
  Solve(G, MX, SPPL[1]);
  Solve(G, MY, SPPL[2]);
}

}  // namespace

void FitCalibLine(const TCalibLine& Line, int NumPoints, double& A, double& B, double& C) {
  TCurveFit Fit;
  for (int k = 1; k <= NumPoints; ++k) {
    const TPoint& P = Line.CalPoints[k];
    if (Line.LineType == gtlParallel)
      Fit.EnterStatValue(P.X, P.Y);
    else
      Fit.EnterStatValue(P.Y, P.X);
  }
  double Q;
  Fit.CalcParabolFit(A, B, C, Q);
}

bool TMapCalibration::RecalcGratMat() {
  const int N = NumLines();
  FGratMat.Resize(5, N);
  FGratMat.Fill(0.0);
  int NumParallels = 0, NumMeridians = 0;
  for (int i = 1; i <= N; ++i) {
    const TCalibLine& L = FCalibData.CalLines[i];
    const bool Parallel = L.LineType == gtlParallel;
    FGratMat.SetVal(1, i, Parallel ? 1.0 : 0.0);
    FGratMat.SetVal(2, i, L.LineValue);
    const int NP = NumLinePoints(i);
    if (NP < 3) continue;
    double A, B, C;
    FitCalibLine(L, NP, A, B, C);
    FGratMat.SetVal(3, i, A);
    FGratMat.SetVal(4, i, B);
    FGratMat.SetVal(5, i, C);
    (Parallel ? NumParallels : NumMeridians)++;
  }
  if (NumParallels > 1 && NumMeridians > 1) return true;
  FGratMat.Resize(5, 1);
  FGratMat.Fill(0.0);
  return false;
}

void TMapCalibration::CalcEquiRectCalibration() {
  FParams.EquRectPLSP = {};
  FParams.EquRectSPPL = {};
  const int N = NumQuads();
  if (N <= 0) return;
  TMatrix A(3, N), G(3, N);
  for (int k = 1; k <= N; ++k) {
    const TCalQuad& Q = FCalibData.CalQuads[k];
    A.SetVal(1, k, 1.0);
    A.SetVal(2, k, Q.MapX);
    A.SetVal(3, k, Q.MapY);
    G.SetVal(1, k, 1.0);
    G.SetVal(2, k, Q.Latitude);
    G.SetVal(3, k, Q.Longitude);
  }
  SolveQuadFits(FCalibData, N, A, G, FParams.EquRectPLSP, FParams.EquRectSPPL);
}

void TMapCalibration::CalcBiquadraticCalibration() {
  FParams.CalParsPLSP = {};
  FParams.CalParsSPPL = {};
  const int N = NumQuads();
  if (N <= 0) return;
  TMatrix A(6, N), G(6, N);
  auto SetRow = [](TMatrix& M, int k, double U, double V) {
    M.SetVal(1, k, 1.0);
    M.SetVal(2, k, U);
    M.SetVal(3, k, V);
    M.SetVal(4, k, U * U);
    M.SetVal(5, k, U * V);
    M.SetVal(6, k, V * V);
  };
  for (int k = 1; k <= N; ++k) {
    const TCalQuad& Q = FCalibData.CalQuads[k];
    SetRow(A, k, Q.MapX, Q.MapY);
    SetRow(G, k, Q.Latitude, Q.Longitude);
  }
  SolveQuadFits(FCalibData, N, A, G, FParams.CalParsPLSP, FParams.CalParsSPPL);
}

void TMapCalibration::CalcMillerCylCalibration() {
  const int N = NumQuads();
  if (N <= 2) return;
  TCurveFit FitX, FitY;
  for (int k = 1; k <= N; ++k) {
    const TCalQuad& Q = FCalibData.CalQuads[k];
    FitX.EnterStatValue(DegToRad(Q.Longitude), Q.MapX);
    FitY.EnterStatValue(std::log(std::tan(DegToRad(0.4 * Q.Latitude) + Pi / 4)), Q.MapY);
  }
  double K, D, Quality;
  FitX.CalcLinFit(K, D, Quality);
  FParams.MillercylPar[2][1] = K;
  FParams.MillercylPar[2][2] = D;
  FitY.CalcLinFit(K, D, Quality);
  FParams.MillercylPar[1][1] = K;
  FParams.MillercylPar[1][2] = D;
}

void TMapCalibration::CalcConicCalibration() {
  const int N = NumQuads();
  // Without three points no pole can be compared with another; keep the last fit.
  if (N < 3) return;

  int MinX = FImgWidth, MinY = FImgHeight, MaxX = 0, MaxY = 0;
  for (int k = 1; k <= N; ++k) {
    const TCalQuad& Q = FCalibData.CalQuads[k];
    MinX = std::min(MinX, Q.MapX);
    MinY = std::min(MinY, Q.MapY);
    MaxX = std::max(MaxX, Q.MapX);
    MaxY = std::max(MaxY, Q.MapY);
  }
  int64_t Cx = (static_cast<int64_t>(MaxX) + MinX) / 2;
  int64_t Cy = (static_cast<int64_t>(MaxY) + MinY) / 2;

  TCurveFit Fit;
  // Fits latitude and longitude for the pole (C[1], C[2]); returns rmsLat^2 + rmsLong^2.
  auto Evaluate = [&](PArray<double, 1, 6>& C) {
    double K, D, Quality;
    Fit.Init();
    for (int k = 1; k <= N; ++k) {
      const TCalQuad& Q = FCalibData.CalQuads[k];
      Fit.EnterStatValue(std::hypot(Q.MapX - C[1], Q.MapY - C[2]), Q.Latitude);
    }
    Fit.CalcLinFit(K, D, Quality);
    C[3] = K;
    C[4] = D;
    double SumLat = 0;
    for (int k = 1; k <= N; ++k) {
      const TCalQuad& Q = FCalibData.CalQuads[k];
      const double E = Q.Latitude - C[3] * std::hypot(Q.MapX - C[1], Q.MapY - C[2]) - C[4];
      SumLat += E * E;
    }
    Fit.Init();
    for (int k = 1; k <= N; ++k) {
      const TCalQuad& Q = FCalibData.CalQuads[k];
      if (Q.MapY != C[2]) Fit.EnterStatValue(std::atan((Q.MapX - C[1]) / (Q.MapY - C[2])), Q.Longitude);
    }
    Fit.CalcLinFit(K, D, Quality);
    C[5] = K;
    C[6] = D;
    double SumLong = 0;
    for (int k = 1; k <= N; ++k) {
      const TCalQuad& Q = FCalibData.CalQuads[k];
      if (Q.MapY == C[2]) continue;
      const double E = Q.Longitude - C[5] * std::atan((Q.MapX - C[1]) / (Q.MapY - C[2])) - C[6];
      SumLong += E * E;
    }
    // (sqrt(S/N))^2 for both axes.
    return SumLat / N + SumLong / N;
  };

  double Best = 1e10;
  bool Found = false;
  PArray<double, 1, 6> Remembered = FParams.ConicPars;
  for (int64_t Step = 1000000; Step > 0; Step /= 2) {
    for (int i = -2; i <= 2; ++i) {
      for (int j = -2; j <= 2; ++j) {
        PArray<double, 1, 6> C{};
        C[1] = static_cast<double>(i * Step + Cx);
        C[2] = static_cast<double>(j * Step + Cy);
        const double Q = Evaluate(C);
        if (Q < Best) {
          Best = Q;
          Remembered = C;
          Found = true;
        }
      }
    }
    if (Found) {
      Cx = static_cast<int64_t>(std::nearbyint(Remembered[1]));
      Cy = static_cast<int64_t>(std::nearbyint(Remembered[2]));
    }
  }
  if (!Found) return;
  FParams.ConicPars = Remembered;
  // The fit cannot tell the two sides of the pole apart (the arctangent folds them); the
  // control points can. A map whose pole lies on the other side than its latitude's sign
  // suggests (south of the equator under a northern pole, or across the equator) would
  // otherwise convert positions to the mirror image about the pole.
  double Side = 0;
  for (int k = 1; k <= N; ++k) Side += FCalibData.CalQuads[k].MapY - Remembered[2];
  FParams.ConicPoleSide = Side > 0 ? 1 : (Side < 0 ? -1 : 0);
}

void TMapCalibration::FitModel() {
  switch (FCalibModel) {
    case cmBiquadraticPn: CalcBiquadraticCalibration(); break;
    case cmConicConformal: CalcConicCalibration(); break;
    case cmMillerCylindrical: CalcMillerCylCalibration(); break;
    case cmEquiRect:
    case cmUTM: CalcEquiRectCalibration(); break;
    default: break;
  }
}

void TMapCalibration::RecalcCalibration() { Refit(true); }

void TMapCalibration::Refit(bool WithGratMat) {
  if (WithGratMat) RecalcGratMat();
  FitModel();
  CalcExtentsAndResolution();
}

bool TMapCalibration::HasEnoughPoints() const {
  const TCalibData& D = FCalibData;
  switch (FCalibModel) {
    case cmUndefined: return false;
    case cmBiquadraticPn: return D.NumCalQuads >= 6;
    case cmParabolicIp: {
      int parallels = 0, meridians = 0;
      for (int i = 1; i <= std::clamp(D.NumCalLines, 0, MaxCalLines); ++i)
        if (D.CalLines[i].NumPoints >= 3) ++(D.CalLines[i].LineType == gtlParallel ? parallels : meridians);
      return parallels >= 2 && meridians >= 2;
    }
    default: return D.NumCalQuads >= 3;
  }
}

void TMapCalibration::CalcExtentsAndResolution() { CalcExtentsAndResolution(FImgWidth, FImgHeight); }

void TMapCalibration::CalcExtentsAndResolution(int W, int H) {
  bool Valid;
  auto Pos = [&](int X, int Y) {
    return TCoords{CalcLatitude(X, Y, Valid), CalcLongitude(X, Y, Valid)};
  };
  FCalibData.Corners[gcoTopLeft] = Pos(0, 0);
  FCalibData.Corners[gcoBottomLeft] = Pos(0, H);
  FCalibData.Corners[gcoBottomRight] = Pos(W, H);
  FCalibData.Corners[gcoTopRight] = Pos(W, 0);
  if (W < 1) {
    FCalibData.Resolution = 0;
    return;
  }
  const TCoords L = Pos(0, H / 2), R = Pos(W, H / 2);
  double D = SphereGreatCircleDist(SphereRadius, L.Latit, L.Longit, R.Latit, R.Longit);
  const double DLong = R.Longit - L.Longit;
  if (DLong > 360)
    D += SphereCircumference;
  else if (DLong > 180)
    D += SphereCircumference / 2;
  FCalibData.Resolution = D / W;
}

}  // namespace vek
