// Conversions between pixels and geographic (or UTM) coordinates under the fitted model.
#include <cmath>

#include "CurveFit.h"
#include "Grids.h"
#include "MapCalibration.h"
#include "MathUtils.h"

namespace vek {

namespace {

constexpr double Pi = 3.14159265358979323846;
// Radians of 0.4 * latitude back to degrees of latitude.
constexpr double MillerLatFactor = 450 / Pi;
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

// One row of an affine fit: R[1] + R[2]*U + R[3]*V.
double AffineRow(const PArray<double, 1, 3>& R, double U, double V) {
  return R[1] + R[2] * U + R[3] * V;
}

// One row of a quadratic fit, over the terms 1, U, V, U*U, U*V, V*V.
double QuadraticRow(const PArray<double, 1, 6>& R, double U, double V) {
  return R[1] + R[2] * U + R[3] * V + R[4] * U * U + R[5] * U * V + R[6] * V * V;
}

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

// Latitude and longitude of a pixel under the UTM model; false outside zones 1 to 60.
bool PixelToUTMLatLong(const TCalibParams& P, const TCalibData& D, int X, int Y, double& Lat,
                       double& Lon) {
  if (D.UTMZone < 1 || D.UTMZone > 60) return false;
  const double N = AffineRow(P.EquRectPLSP[1], X, Y);
  const double E = AffineRow(P.EquRectPLSP[2], X, Y);
  UTMToLatLong(E, N, D.UTMZone, D.UTMSouth, D.Ellipsoid, Lat, Lon);
  return true;
}

}  // namespace

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
      Lat = QuadraticRow(P.CalParsPLSP[1], X, Y);
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
      Lat = AffineRow(P.EquRectPLSP[1], X, Y);
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
      Lon = QuadraticRow(P.CalParsPLSP[2], X, Y);
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
      Lon = AffineRow(P.EquRectPLSP[2], X, Y);
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
      X = QuadraticRow(P.CalParsSPPL[1], Lat, Long);
      Y = QuadraticRow(P.CalParsSPPL[2], Lat, Long);
      break;
    }
    case cmConicConformal: {
      const auto& C = P.ConicPars;
      if (C[3] == 0 || C[5] == 0) return false;
      const double T = std::tan((Long - C[6]) / C[5]);
      const double S = std::sqrt(T * T + 1);
      const double Rho = (Lat - C[4]) / C[3];
      const double Side = P.ConicPoleSide != 0 ? P.ConicPoleSide : (Lat >= 0 ? 1 : -1);
      Y = C[2] + Side * Rho / S;
      X = T * (Y - C[2]) + C[1];
      break;
    }
    case cmMillerCylindrical: {
      const auto& M = P.MillercylPar;
      // Not fitted yet (fewer than three points so far): nothing to convert with.
      if (M[1][1] == 0 || M[2][1] == 0) return false;
      X = DegToRad(Long) * M[2][1] + M[2][2];
      Y = std::log(std::tan(DegToRad(Lat) * 0.4 + Pi / 4)) * M[1][1] + M[1][2];
      break;
    }
    case cmEquiRect: {
      X = AffineRow(P.EquRectSPPL[1], Lat, Long);
      Y = AffineRow(P.EquRectSPPL[2], Lat, Long);
      break;
    }
    case cmUTM: {
      int Zone;
      double E, N;
      LatLongToUTM(Lat, Long, FCalibData.Ellipsoid, Zone, E, N);
      if (Zone == 0) return false;  // outside the UTM area
      X = AffineRow(P.EquRectSPPL[1], N, E);
      Y = AffineRow(P.EquRectSPPL[2], N, E);
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
  int RX, RY;
  if (!RoundToPixel(AffineRow(FParams.EquRectSPPL[1], Northing, Easting), RX) ||
      !RoundToPixel(AffineRow(FParams.EquRectSPPL[2], Northing, Easting), RY))
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
  Valid = RoundToPixel(AffineRow(S2, Northing, E), R);
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
  Valid = RoundToPixel(AffineRow(S1, N, Easting), R);
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
    X = AffineRow(FParams.EquRectSPPL[1], Q.Latitude, Q.Longitude);
    Y = AffineRow(FParams.EquRectSPPL[2], Q.Latitude, Q.Longitude);
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

}  // namespace vek
