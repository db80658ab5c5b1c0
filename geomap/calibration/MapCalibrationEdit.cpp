// Adding, removing, restoring and scaling the calibration's lines, points and quads.
#include <algorithm>
#include <cmath>

#include "MapCalibration.h"

namespace vek {

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

void ClearCalibData(TCalibData& D) {
  D.NumCalLines = 0;
  for (TCalibLine& L : D.CalLines) L.NumPoints = 0;
  for (TCoords& C : D.Corners) C = TCoords{0, 0};
  D.Resolution = 0;
  D.UTMZone = -1;
  D.UTMSouth = false;
  D.Ellipsoid = gelWGS84;
  for (TCalQuad& Q : D.CalQuads) Q = TCalQuad{};
  D.NumCalQuads = 0;
}

void TMapCalibration::Clear() {
  ClearCalibData(FCalibData);
  FGratMat.Resize(5, 1);
  FGratMat.Fill(0.0);
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
