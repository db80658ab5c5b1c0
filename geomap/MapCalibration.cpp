#include "MapCalibration.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "CurveFit.h"
#include "Grids.h"
#include "MathUtils.h"
#include "Svd.h"

namespace vek {

namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr double DegToRad = Pi / 180.0;
constexpr double MillerLatFactor = 143.2394487827058;  // 450 / pi: radians of 0.4*lat to degrees
constexpr double SphereRadius = 6378000.0;              // metres, for the resolution
constexpr double SphereCircumference = 40074155.889191404;
constexpr double FarAway = 1e20;  // start distance of the nearest-line searches

// Nearest and second nearest of a set of candidates by distance; ties keep the earlier one.
struct NearestTwo {
  double DBest = FarAway, DSecond = FarAway;
  int Best = 0, Second = 0;
  void Offer(int Row, double D) {
    if (D < DBest) {
      DSecond = DBest;
      Second = Best;
      DBest = D;
      Best = Row;
    } else if (D < DSecond) {
      DSecond = D;
      Second = Row;
    }
  }
  bool Complete() const { return Best != 0 && Second != 0; }
};

double Parabola(double A, double B, double C, double T) { return A + B * T + C * T * T; }

// Value at a pixel interpolated between the two graticule lines of the given kind (0 meridian,
// 1 parallel) nearest to it. Each line is a parabola of the coordinate Along giving the
// coordinate Across. False while the matrix holds fewer than two lines of either kind, or
// when the two nearest lines pass through the same point.
bool InterpolateGraticule(const TMatrix& Grat, double Kind, double Along, double Across,
                          double& Value) {
  int NMer = 0, NPar = 0;
  for (int r = 1; r <= Grat.NrOfRows(); ++r) {
    const double K = std::nearbyint(Grat.GetVal(1, r));
    if (K == 0) ++NMer;
    if (K == 1) ++NPar;
  }
  if (NMer < 2 || NPar < 2) return false;
  auto LineAt = [&](int r) {
    return Parabola(Grat.GetVal(3, r), Grat.GetVal(4, r), Grat.GetVal(5, r), Along);
  };
  NearestTwo Near;
  for (int r = 1; r <= Grat.NrOfRows(); ++r) {
    if (Grat.GetVal(1, r) != Kind) continue;
    Near.Offer(r, std::fabs(Across - LineAt(r)));
  }
  if (!Near.Complete()) return false;
  const double AB = LineAt(Near.Best), AS = LineAt(Near.Second);
  if (AB == AS) return false;  // two lines through the same pixel: no interpolation
  const double VB = Grat.GetVal(2, Near.Best), VS = Grat.GetVal(2, Near.Second);
  Value = VS + (VB - VS) * (Across - AS) / (AB - AS);
  return true;
}

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

// Latitude and longitude of a pixel under the UTM model; false outside zones 1 to 60.
bool PixelToUTMLatLong(const TCalibParams& P, const TCalibData& D, int X, int Y, double& Lat,
                       double& Lon) {
  if (D.UTMZone < 1 || D.UTMZone > 60) return false;
  const double N = P.EquRectPLSP[1][1] + P.EquRectPLSP[1][2] * X + P.EquRectPLSP[1][3] * Y;
  const double E = P.EquRectPLSP[2][1] + P.EquRectPLSP[2][2] * X + P.EquRectPLSP[2][3] * Y;
  UTMToLatLong(E, N, D.UTMZone, D.UTMSouth, D.Ellipsoid, Lat, Lon);
  return true;
}

}  // namespace

bool RoundToPixel(double V, int& Out) {
  if (!std::isfinite(V)) return false;
  const double R = std::nearbyint(V);  // default rounding mode: halves to even
  if (R < static_cast<double>(std::numeric_limits<int32_t>::min()) ||
      R > static_cast<double>(std::numeric_limits<int32_t>::max()))
    return false;
  Out = static_cast<int>(R);
  return true;
}

TMapCalibration::TMapCalibration() {
  FGratMat.Resize(5, 1);
  FGratMat.Fill(0.0);
}

int TMapCalibration::NumLines() const { return std::clamp(FCalibData.NumCalLines, 0, MaxCalLines); }
int TMapCalibration::NumQuads() const { return std::clamp(FCalibData.NumCalQuads, 0, MaxCalQuads); }
int TMapCalibration::NumLinePoints(int Line) const {
  return std::clamp(FCalibData.CalLines[Line].NumPoints, 0, MaxCalLinePoints);
}

// ---------------------------------------------------------------------------------------------
// Fitting

bool TMapCalibration::RecalcGratMat() {
  const int N = NumLines();
  FGratMat.Resize(5, N);
  FGratMat.Fill(0.0);
  TCurveFit Fit;
  int NumParallels = 0, NumMeridians = 0;
  for (int i = 1; i <= N; ++i) {
    const TCalibLine& L = FCalibData.CalLines[i];
    const bool Parallel = L.LineType == gtlParallel;
    FGratMat.SetVal(1, i, Parallel ? 1.0 : 0.0);
    FGratMat.SetVal(2, i, L.LineValue);
    const int NP = NumLinePoints(i);
    if (NP < 3) continue;
    Fit.Init();
    for (int k = 1; k <= NP; ++k) {
      const TPoint& P = L.CalPoints[k];
      if (Parallel)
        Fit.EnterStatValue(P.X, P.Y);
      else
        Fit.EnterStatValue(P.Y, P.X);
    }
    double A, B, C, Q;
    Fit.CalcParabolFit(A, B, C, Q);
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
    FitX.EnterStatValue(Q.Longitude * DegToRad, Q.MapX);
    FitY.EnterStatValue(std::log(std::tan(0.4 * Q.Latitude * DegToRad + Pi / 4)), Q.MapY);
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
  if (Found) FParams.ConicPars = Remembered;
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

// ---------------------------------------------------------------------------------------------
// Conversions

double TMapCalibration::CalcLatitude(int X, int Y, bool& Valid) const {
  Valid = false;
  const TCalibParams& P = FParams;
  double Lat = 0;
  switch (FCalibModel) {
    case cmParabolicIp:
      // Parallels give the row as a parabola of the column.
      if (!InterpolateGraticule(FGratMat, 1.0, X, Y, Lat)) return 0;
      break;
    case cmBiquadraticPn: {
      const auto& R = P.CalParsPLSP[1];
      Lat = R[1] + R[2] * X + R[3] * Y + R[4] * double(X) * X + R[5] * double(X) * Y + R[6] * double(Y) * Y;
      break;
    }
    case cmConicConformal:
      Lat = P.ConicPars[3] * std::hypot(X - P.ConicPars[1], Y - P.ConicPars[2]) + P.ConicPars[4];
      break;
    case cmMillerCylindrical:
      if (P.MillercylPar[1][1] == 0) return 0;
      Lat = (std::atan(std::exp((Y - P.MillercylPar[1][2]) / P.MillercylPar[1][1])) - Pi / 4) *
            MillerLatFactor;
      break;
    case cmEquiRect: {
      const auto& R = P.EquRectPLSP[1];
      Lat = R[1] + R[2] * X + R[3] * Y;
      break;
    }
    case cmUTM: {
      double Lon;
      if (!PixelToUTMLatLong(P, FCalibData, X, Y, Lat, Lon)) return 0;
      break;
    }
    default:
      return 0;
  }
  if (!std::isfinite(Lat)) return 0;
  Valid = true;
  return Lat;
}

double TMapCalibration::CalcLongitude(int X, int Y, bool& Valid) const {
  Valid = false;
  const TCalibParams& P = FParams;
  double Lon = 0;
  switch (FCalibModel) {
    case cmParabolicIp:
      // Meridians give the column as a parabola of the row.
      if (!InterpolateGraticule(FGratMat, 0.0, Y, X, Lon)) return 0;
      break;
    case cmBiquadraticPn: {
      const auto& R = P.CalParsPLSP[2];
      Lon = R[1] + R[2] * X + R[3] * Y + R[4] * double(X) * X + R[5] * double(X) * Y + R[6] * double(Y) * Y;
      break;
    }
    case cmConicConformal:
      // On the pole's row the direction flips between +90 and -90 degrees: undefined.
      if (Y == P.ConicPars[2]) return 0;
      Lon = std::atan((X - P.ConicPars[1]) / (Y - P.ConicPars[2])) * P.ConicPars[5] + P.ConicPars[6];
      break;
    case cmMillerCylindrical:
      if (P.MillercylPar[2][1] == 0) return 0;
      Lon = (X - P.MillercylPar[2][2]) / P.MillercylPar[2][1] / Pi * 180;
      break;
    case cmEquiRect: {
      const auto& R = P.EquRectPLSP[2];
      Lon = R[1] + R[2] * X + R[3] * Y;
      break;
    }
    case cmUTM: {
      double Lat;
      if (!PixelToUTMLatLong(P, FCalibData, X, Y, Lat, Lon)) return 0;
      break;
    }
    default:
      return 0;
  }
  if (!std::isfinite(Lon)) return 0;
  Valid = true;
  return Lon;
}

bool TMapCalibration::GeoToPixel(double Lat, double Long, double& X, double& Y) const {
  const TCalibParams& P = FParams;
  switch (FCalibModel) {
    case cmBiquadraticPn: {
      const auto &R1 = P.CalParsSPPL[1], &R2 = P.CalParsSPPL[2];
      X = R1[1] + R1[2] * Lat + R1[3] * Long + R1[4] * Lat * Lat + R1[5] * Lat * Long + R1[6] * Long * Long;
      Y = R2[1] + R2[2] * Lat + R2[3] * Long + R2[4] * Lat * Lat + R2[5] * Lat * Long + R2[6] * Long * Long;
      break;
    }
    case cmConicConformal: {
      const auto& C = P.ConicPars;
      if (C[3] == 0 || C[5] == 0) return false;
      const double T = std::tan((Long - C[6]) / C[5]);
      const double S = std::sqrt(T * T + 1);
      const double Rho = (Lat - C[4]) / C[3];
      Y = Lat >= 0 ? C[2] + Rho / S : C[2] - Rho / S;
      X = T * (Y - C[2]) + C[1];
      break;
    }
    case cmMillerCylindrical: {
      const auto& M = P.MillercylPar;
      // Not fitted yet (fewer than three points so far): nothing to convert with.
      if (M[1][1] == 0 || M[2][1] == 0) return false;
      X = Long * DegToRad * M[2][1] + M[2][2];
      Y = std::log(std::tan(Lat * DegToRad * 0.4 + Pi / 4)) * M[1][1] + M[1][2];
      break;
    }
    case cmEquiRect: {
      const auto &R1 = P.EquRectSPPL[1], &R2 = P.EquRectSPPL[2];
      X = R1[1] + R1[2] * Lat + R1[3] * Long;
      Y = R2[1] + R2[2] * Lat + R2[3] * Long;
      break;
    }
    case cmUTM: {
      int Zone;
      double E, N;
      LatLongToUTM(Lat, Long, FCalibData.Ellipsoid, Zone, E, N);
      if (Zone == 0) return false;  // outside the UTM area
      const auto &R1 = P.EquRectSPPL[1], &R2 = P.EquRectSPPL[2];
      X = R1[1] + R1[2] * N + R1[3] * E;
      Y = R2[1] + R2[2] * N + R2[3] * E;
      break;
    }
    default:
      return false;
  }
  return std::isfinite(X) && std::isfinite(Y);
}

bool TMapCalibration::CalcPixelCoords(double Lat, double Long, int& X, int& Y) const {
  if (FCalibModel == cmParabolicIp) {
    if (FGratMat.NrOfRows() < 4) return false;
    NearestTwo Mer, Par;
    for (int r = 1; r <= FGratMat.NrOfRows(); ++r) {
      const double Kind = FGratMat.GetVal(1, r), V = FGratMat.GetVal(2, r);
      if (Kind == 0.0) Mer.Offer(r, std::fabs(Long - V));
      if (Kind == 1.0) Par.Offer(r, std::fabs(Lat - V));
    }
    if (!Mer.Complete() || !Par.Complete()) return false;
    // Interpolated parabola of the parallel Lat and of the meridian Long.
    auto Interpolate = [&](const NearestTwo& Nt, double Value, double Out[3]) {
      const double VB = FGratMat.GetVal(2, Nt.Best), VS = FGratMat.GetVal(2, Nt.Second);
      if (VB == VS) return false;  // two lines of the same value
      for (int c = 0; c < 3; ++c) {
        const double KB = FGratMat.GetVal(3 + c, Nt.Best), KS = FGratMat.GetVal(3 + c, Nt.Second);
        Out[c] = (KB - KS) * (Value - VS) / (VB - VS) + KS;
      }
      return true;
    };
    double Pp[3], Pm[3];
    if (!Interpolate(Par, Lat, Pp) || !Interpolate(Mer, Long, Pm)) return false;
    double Xf = 500, Yf = 0;
    for (int it = 0; it < 15; ++it) {
      Yf = Pp[0] + Pp[1] * Xf + Pp[2] * Xf * Xf;
      Xf = Pm[0] + Pm[1] * Yf + Pm[2] * Yf * Yf;
      if (std::fabs(Xf) > 50000 && std::fabs(Yf) > 50000) return false;  // diverged
    }
    int RX, RY;
    if (!RoundToPixel(Xf, RX) || !RoundToPixel(Yf, RY)) return false;
    X = RX;
    Y = RY;
    return true;
  }
  double Xf, Yf;
  if (!GeoToPixel(Lat, Long, Xf, Yf)) return false;
  int RX, RY;
  if (!RoundToPixel(Yf, RY)) return false;
  if (FCalibModel == cmConicConformal) {
    // The column follows the already rounded row, so that the point lies on its meridian.
    const auto& C = FParams.ConicPars;
    Xf = std::tan((Long - C[6]) / C[5]) * (RY - C[2]) + C[1];
  }
  if (!RoundToPixel(Xf, RX)) return false;
  X = RX;
  Y = RY;
  return true;
}

bool TMapCalibration::CalcPixelCoordsUTM(double Northing, double Easting, int& X, int& Y) const {
  X = 0;
  Y = 0;
  if (FCalibModel != cmUTM) return false;
  const auto &R1 = FParams.EquRectSPPL[1], &R2 = FParams.EquRectSPPL[2];
  int RX, RY;
  if (!RoundToPixel(R1[1] + R1[2] * Northing + R1[3] * Easting, RX) ||
      !RoundToPixel(R2[1] + R2[2] * Northing + R2[3] * Easting, RY))
    return false;
  X = RX;
  Y = RY;
  return true;
}

int TMapCalibration::CalcUTMyFromNorthingX(double Northing, int X, bool& Valid) const {
  const auto &S1 = FParams.EquRectSPPL[1], &S2 = FParams.EquRectSPPL[2];
  int R = 0;
  Valid = false;
  if (S1[3] == 0) return 0;
  const double E = (X - S1[1] - S1[2] * Northing) / S1[3];
  Valid = RoundToPixel(S2[1] + S2[2] * Northing + S2[3] * E, R);
  return Valid ? R : 0;
}

int TMapCalibration::CalcUTMyFromNorthingX(double Northing, int X) const {
  bool Valid;
  return CalcUTMyFromNorthingX(Northing, X, Valid);
}

int TMapCalibration::CalcUTMxFromEastingY(double Easting, int Y, bool& Valid) const {
  const auto &S1 = FParams.EquRectSPPL[1], &S2 = FParams.EquRectSPPL[2];
  int R = 0;
  Valid = false;
  if (S2[2] == 0) return 0;
  const double N = (Y - S2[1] - S2[3] * Easting) / S2[2];
  Valid = RoundToPixel(S1[1] + S1[2] * N + S1[3] * Easting, R);
  return Valid ? R : 0;
}

int TMapCalibration::CalcUTMxFromEastingY(double Easting, int Y) const {
  bool Valid;
  return CalcUTMxFromEastingY(Easting, Y, Valid);
}

void TMapCalibration::CalibQuality(double& QualX, double& QualY) const {
  TCurveFit FitX, FitY;
  if (IsPointModel()) {
    for (int k = 1; k <= NumQuads(); ++k) {
      const TCalQuad& Q = FCalibData.CalQuads[k];
      int X = 0, Y = 0;
      // UTM quads hold metres, which only the UTM conversion understands.
      if (FCalibModel == cmUTM)
        CalcPixelCoordsUTM(Q.Latitude, Q.Longitude, X, Y);
      else
        CalcPixelCoords(Q.Latitude, Q.Longitude, X, Y);
      FitX.EnterStatValue(Q.MapX, X);
      FitY.EnterStatValue(Q.MapY, Y);
    }
  }
  int NumData;
  double MeanX, MeanY, SdX, SdY, Corr, MeanDiff;
  FitX.CalcStatistics(NumData, MeanX, MeanY, SdX, SdY, Corr, QualX, MeanDiff);
  FitY.CalcStatistics(NumData, MeanX, MeanY, SdX, SdY, Corr, QualY, MeanDiff);
}

bool TMapCalibration::ModelPixelOfQuad(const TCalQuad& Q, double& X, double& Y) const {
  if (FCalibModel == cmUTM) {
    const auto &R1 = FParams.EquRectSPPL[1], &R2 = FParams.EquRectSPPL[2];
    X = R1[1] + R1[2] * Q.Latitude + R1[3] * Q.Longitude;
    Y = R2[1] + R2[2] * Q.Latitude + R2[3] * Q.Longitude;
    return std::isfinite(X) && std::isfinite(Y);
  }
  return GeoToPixel(Q.Latitude, Q.Longitude, X, Y);
}

std::vector<TCalResidual> TMapCalibration::Residuals() const {
  std::vector<TCalResidual> Out;
  if (IsPointModel()) {
    for (int k = 1; k <= NumQuads(); ++k) {
      const TCalQuad& Q = FCalibData.CalQuads[k];
      TCalResidual R;
      R.Index = k;
      double X, Y;
      if (ModelPixelOfQuad(Q, X, Y)) {
        R.DX = X - Q.MapX;
        R.DY = Y - Q.MapY;
        R.Dist = std::hypot(R.DX, R.DY);
        R.Valid = true;
      }
      Out.push_back(R);
    }
  } else if (FCalibModel == cmParabolicIp) {
    // The graticule matrix has one row per line only while it is valid.
    const bool Fitted = FGratMat.NrOfRows() == NumLines() && NumLines() >= 4;
    for (int i = 1; i <= NumLines(); ++i) {
      const TCalibLine& L = FCalibData.CalLines[i];
      const bool Usable = Fitted && NumLinePoints(i) >= 3;
      for (int k = 1; k <= NumLinePoints(i); ++k) {
        const TPoint& P = L.CalPoints[k];
        TCalResidual R;
        R.Index = i;
        R.Point = k;
        if (Usable) {
          const double A = FGratMat.GetVal(3, i), B = FGratMat.GetVal(4, i), C = FGratMat.GetVal(5, i);
          if (L.LineType == gtlParallel)
            R.DY = Parabola(A, B, C, P.X) - P.Y;
          else
            R.DX = Parabola(A, B, C, P.Y) - P.X;
          R.Dist = std::hypot(R.DX, R.DY);
          R.Valid = std::isfinite(R.Dist);
        }
        Out.push_back(R);
      }
    }
  }
  return Out;
}

double TMapCalibration::ResidualRMS() const {
  double Sum = 0;
  int N = 0;
  for (const TCalResidual& R : Residuals()) {
    if (!R.Valid) continue;
    Sum += R.Dist * R.Dist;
    ++N;
  }
  return N > 0 ? std::sqrt(Sum / N) : 0.0;
}

// ---------------------------------------------------------------------------------------------
// Editing

bool TMapCalibration::AddCalibPoint(TGratLineKind LineType, double LineValue, int X, int Y) {
  if (FCalibModel != cmParabolicIp) throw EVEKGeoMapError(MsgAddNotSupported);
  int Line = 0;
  for (int i = 1; i <= NumLines(); ++i) {
    const TCalibLine& L = FCalibData.CalLines[i];
    if (L.LineType == LineType && L.LineValue == LineValue) {
      Line = i;
      break;
    }
  }
  if (Line == 0 && NumLines() < MaxCalLines) {
    Line = NumLines() + 1;
    FCalibData.NumCalLines = Line;
    TCalibLine& L = FCalibData.CalLines[Line];
    L = TCalibLine{};
    L.LineType = LineType;
    L.LineValue = LineValue;
  }
  bool Stored = false;
  if (Line != 0 && NumLinePoints(Line) < MaxCalLinePoints) {
    TCalibLine& L = FCalibData.CalLines[Line];
    L.NumPoints = NumLinePoints(Line) + 1;
    L.CalPoints[L.NumPoints] = TPoint{X, Y};
    Stored = true;
  }
  Refit(true);
  return Stored;
}

bool TMapCalibration::AppendQuad(const TCalQuad& Q) {
  if (NumQuads() >= MaxCalQuads) return false;
  FCalibData.NumCalQuads = NumQuads() + 1;
  FCalibData.CalQuads[FCalibData.NumCalQuads] = Q;
  return true;
}

bool TMapCalibration::AddCalibPoint(double Lat, double Long, int X, int Y) {
  if (FCalibModel < cmBiquadraticPn || FCalibModel > cmEquiRect)
    throw EVEKGeoMapError(MsgAddNotSupported);
  if (!AppendQuad(TCalQuad{Lat, Long, X, Y})) return false;
  Refit(false);
  return true;
}

bool TMapCalibration::AddCalibPoint(double Northing, double Easting, int Zone,
                                    THemisphere Hemisphere, int X, int Y) {
  if (FCalibModel != cmUTM) throw EVEKGeoMapError(MsgAddNotSupported);
  const bool South = Hemisphere == hemiSouth;
  if (Zone != FCalibData.UTMZone || South != FCalibData.UTMSouth)
    throw EVEKGeoMapError(MsgUTMZoneChanged);
  if (!AppendQuad(TCalQuad{Northing, Easting, X, Y})) return false;
  FCalibData.UTMZone = Zone;
  FCalibData.UTMSouth = South;
  Refit(false);
  return true;
}

bool TMapCalibration::RemoveLinePoint(int Line, int Point) {
  TCalibLine& L = FCalibData.CalLines[Line];
  const int NP = NumLinePoints(Line);
  if (Point < 1 || Point > NP) return false;
  L.CalPoints[Point] = L.CalPoints[NP];
  L.NumPoints = NP - 1;
  if (L.NumPoints == 0) {
    FCalibData.CalLines[Line] = FCalibData.CalLines[NumLines()];
    FCalibData.NumCalLines = NumLines() - 1;
  }
  return true;
}

void TMapCalibration::RemoveQuad(int Index) {
  FCalibData.CalQuads[Index] = FCalibData.CalQuads[NumQuads()];
  FCalibData.NumCalQuads = NumQuads() - 1;
}

bool TMapCalibration::RemoveCalibPoint(TGratLineKind LineType, double LineValue, int X, int Y) {
  if (FCalibModel != cmParabolicIp) throw EVEKGeoMapError(MsgRemoveNotSupported);
  bool Removed = false;
  for (int i = 1; i <= NumLines(); ++i) {
    const TCalibLine& L = FCalibData.CalLines[i];
    if (L.LineType != LineType || L.LineValue != LineValue) continue;
    for (int k = 1; k <= NumLinePoints(i); ++k) {
      if (L.CalPoints[k].X == X && L.CalPoints[k].Y == Y) {
        Removed = RemoveLinePoint(i, k);
        break;
      }
    }
    break;  // only the first line of that type and value is searched
  }
  Refit(true);
  return Removed;
}

bool TMapCalibration::RemoveCalibPoint(int X, int Y) {
  bool Removed = false;
  auto Dist2 = [&](int PX, int PY) {
    const double DX = double(PX) - X, DY = double(PY) - Y;
    return DX * DX + DY * DY;
  };
  if (IsPointModel()) {
    int Best = 0;
    double BestD = 0;
    for (int k = 1; k <= NumQuads(); ++k) {
      const double D = Dist2(FCalibData.CalQuads[k].MapX, FCalibData.CalQuads[k].MapY);
      if (Best == 0 || D < BestD) {
        Best = k;
        BestD = D;
      }
    }
    if (Best != 0) {
      FBiQuadOops = FCalibData.CalQuads[Best];
      FBiQuadOopsZone = FCalibData.UTMZone;
      FBiQuadOopsSouth = FCalibData.UTMSouth;
      FRestoreBiQuadOK = true;
      RemoveQuad(Best);
      Removed = true;
    }
  } else if (FCalibModel == cmParabolicIp) {
    int BestLine = 0, BestPoint = 0;
    double BestD = 0;
    for (int i = 1; i <= NumLines(); ++i) {
      for (int k = 1; k <= NumLinePoints(i); ++k) {
        const TPoint& P = FCalibData.CalLines[i].CalPoints[k];
        const double D = Dist2(P.X, P.Y);
        if (BestLine == 0 || D < BestD) {
          BestLine = i;
          BestPoint = k;
          BestD = D;
        }
      }
    }
    if (BestLine != 0) {
      const TCalibLine& L = FCalibData.CalLines[BestLine];
      FParaIpOops.LineType = L.LineType;
      FParaIpOops.LineValue = L.LineValue;
      FParaIpOops.CalPoints[1] = L.CalPoints[BestPoint];
      FRestoreParaIpOK = true;
      Removed = RemoveLinePoint(BestLine, BestPoint);
    }
  }
  Refit(true);
  return Removed;
}

void TMapCalibration::RestoreLastDeletedCalPoint() {
  switch (FCalibModel) {
    case cmParabolicIp:
      if (FRestoreParaIpOK &&
          AddCalibPoint(FParaIpOops.LineType, FParaIpOops.LineValue, FParaIpOops.CalPoints[1].X,
                        FParaIpOops.CalPoints[1].Y))
        FRestoreParaIpOK = false;
      break;
    case cmBiquadraticPn:
    case cmConicConformal:
    case cmMillerCylindrical:
    case cmEquiRect:
      if (FRestoreBiQuadOK && AddCalibPoint(FBiQuadOops.Latitude, FBiQuadOops.Longitude,
                                            FBiQuadOops.MapX, FBiQuadOops.MapY))
        FRestoreBiQuadOK = false;
      break;
    case cmUTM:
      // The quad holds northing and easting of the zone the map had when it was removed;
      // it goes back only into that zone (else "UTM zone parameter changed").
      if (FRestoreBiQuadOK &&
          AddCalibPoint(FBiQuadOops.Latitude, FBiQuadOops.Longitude, FBiQuadOopsZone,
                        FBiQuadOopsSouth ? hemiSouth : hemiNorth, FBiQuadOops.MapX,
                        FBiQuadOops.MapY))
        FRestoreBiQuadOK = false;
      break;
    default:
      break;
  }
}

void TMapCalibration::Clear() {
  FCalibData.NumCalLines = 0;
  for (TCalibLine& L : FCalibData.CalLines) L.NumPoints = 0;
  for (TCoords& C : FCalibData.Corners) C = TCoords{0, 0};
  FCalibData.Resolution = 0;
  FCalibData.UTMZone = -1;
  FCalibData.UTMSouth = false;
  FCalibData.Ellipsoid = gelWGS84;
  FGratMat.Resize(5, 1);
  FGratMat.Fill(0.0);
  for (TCalQuad& Q : FCalibData.CalQuads) Q = TCalQuad{};
  FCalibData.NumCalQuads = 0;
  FParams.EquRectSPPL = {};
  FParams.EquRectPLSP = {};
  FParams.CalParsPLSP = {};
  FParams.CalParsSPPL = {};
}

void TMapCalibration::ScalePoints(double Factor) {
  auto Scale = [Factor](int32_t& V) {
    int R;
    if (RoundToPixel(Factor * V, R)) V = R;
  };
  for (int i = 1; i <= NumLines(); ++i) {
    TCalibLine& L = FCalibData.CalLines[i];
    for (int k = 1; k <= NumLinePoints(i); ++k) {
      Scale(L.CalPoints[k].X);
      Scale(L.CalPoints[k].Y);
    }
  }
  for (int k = 1; k <= NumQuads(); ++k) {
    Scale(FCalibData.CalQuads[k].MapX);
    Scale(FCalibData.CalQuads[k].MapY);
  }
}

}  // namespace vek
