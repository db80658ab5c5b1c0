// The calibration of one map image, without any widget: control points and graticule lines,
// the calibration model, its fitted parameters and the conversions between image pixels and
// geographic (or UTM) coordinates. TGeoMap owns one and forwards to it; a server or batch tool
// can use it on its own.
//
// Pixel coordinates are integer positions in the map image (x right, y down); geographic
// coordinates are decimal degrees; under cmUTM the control points hold northing and easting in
// metres. Every editing method refits the current model at once.
#pragma once

#include <cstdint>
#include <vector>

#include "Ellipsoids.h"
#include "GeoMapRecords.h"
#include "Matrix.h"
#include "Streams.h"

namespace vek {

// Fitted parameters of the point models, 1-based as in the formulas:
//   EquRectPLSP: lat = P[1][1] + P[1][2]*x + P[1][3]*y, long likewise with row 2;
//   EquRectSPPL: x = S[1][1] + S[1][2]*lat + S[1][3]*long, y likewise with row 2;
//   CalParsPLSP/SPPL: the same with the six terms 1, u, v, u^2, u*v, v^2;
//   MillercylPar: y = M[1][1]*ln(tan(pi/4 + 0.4*lat_rad)) + M[1][2], x = M[2][1]*long_rad + M[2][2];
//   ConicPars: pole pixel (C[1], C[2]); lat = C[3]*r + C[4]; long = C[5]*theta + C[6],
//   theta = arctan((x - C[1]) / (y - C[2])).
// Under cmUTM the EquRect arrays convert between pixels and (northing, easting).
struct TCalibParams {
  PArray<PArray<double, 1, 3>, 1, 2> EquRectPLSP{};
  PArray<PArray<double, 1, 3>, 1, 2> EquRectSPPL{};
  PArray<PArray<double, 1, 6>, 1, 2> CalParsPLSP{};
  PArray<PArray<double, 1, 6>, 1, 2> CalParsSPPL{};
  PArray<PArray<double, 1, 2>, 1, 2> MillercylPar{};
  PArray<double, 1, 6> ConicPars{};
  // The side of the conic pole on which the control points lie: +1 below it (pixel rows
  // greater than C[2]), -1 above it, 0 before a fit, when the sign of the latitude decides.
  double ConicPoleSide = 0;
  friend bool operator==(const TCalibParams&, const TCalibParams&) = default;
};

// Deviation of one control point from the fitted model, in image pixels (model minus stored).
// For a quad, Index is its number and Point 0; for a graticule line point, Index is the line
// and Point the point on it, and only the offset across the line is measured (DY for a
// parallel, DX for a meridian). Valid is false when the model cannot place the point.
struct TCalResidual {
  int Index = 0;
  int Point = 0;
  double DX = 0;
  double DY = 0;
  double Dist = 0;
  bool Valid = false;
};

// Parabola through the first NumPoints points of a calibration line: row = A + B*column +
// C*column^2 for a parallel, column = A + B*row + C*row^2 for a meridian.
void FitCalibLine(const TCalibLine& Line, int NumPoints, double& A, double& B, double& C);

// The data of a calibration starting over: no lines or control points, corners and resolution
// 0, no UTM zone, WGS 84. Map name and caption stay.
void ClearCalibData(TCalibData& D);

class TMapCalibration {
 public:
  TMapCalibration();

  // ---- state ----
  TCalibModel Model() const { return FCalibModel; }
  // Stores the model only; call RecalcCalibration to fit it.
  void SetModel(TCalibModel Model) { FCalibModel = Model; }
  const TCalibData& Data() const { return FCalibData; }
  // Direct access, no refit (the map's CalibData property). Counts beyond the capacities
  // are never used beyond them.
  TCalibData& Data() { return FCalibData; }
  void SetData(const TCalibData& Data) { FCalibData = Data; }
  const TMatrix& GratMat() const { return FGratMat; }
  const TCalibParams& Params() const { return FParams; }
  void SetParams(const TCalibParams& Params) { FParams = Params; }

  // Size of the map image; the conic fit and the extents use it.
  void SetImageSize(int Width, int Height) {
    FImgWidth = Width;
    FImgHeight = Height;
  }
  int ImageWidth() const { return FImgWidth; }
  int ImageHeight() const { return FImgHeight; }

  // True when the model has the points it needs to place positions: three for the point
  // models, six for the biquadratic one, two parallels and two meridians of three points or
  // more for the parabolic one. With fewer, conversions give arbitrary places.
  bool HasEnoughPoints() const;

  // ---- fitting ----
  // Graticule matrix of the parabolic model: one row per calibration line (kind, value,
  // parabola a, b, c). True when more than one parallel and more than one meridian with at
  // least 3 points were fitted; otherwise the matrix is a single row of zeros.
  bool RecalcGratMat();
  void CalcEquiRectCalibration();
  void CalcBiquadraticCalibration();
  // Needs three control points; with fewer the parameters keep their values.
  void CalcMillerCylCalibration();
  // Grid search for the pole; needs three control points, with fewer the parameters keep
  // their values.
  void CalcConicCalibration();
  // The fit of the current model only.
  void FitModel();
  // RecalcGratMat, the model's fit, then the corners and resolution.
  void RecalcCalibration();
  // Corners from the image corners and the resolution (metres per pixel) across the middle.
  void CalcExtentsAndResolution();
  void CalcExtentsAndResolution(int ImgWidth, int ImgHeight);

  // ---- conversions ----
  double CalcLatitude(int X, int Y, bool& Valid) const;
  double CalcLatitude(const TPoint& P, bool& Valid) const { return CalcLatitude(P.X, P.Y, Valid); }
  double CalcLongitude(int X, int Y, bool& Valid) const;
  double CalcLongitude(const TPoint& P, bool& Valid) const { return CalcLongitude(P.X, P.Y, Valid); }
  // False when the model cannot place the position (X, Y then unspecified).
  bool CalcPixelCoords(double Lat, double Long, int& X, int& Y) const;
  // Unrounded image position of a position (degrees, or northing/easting under cmUTM) under
  // the point models; what CalcPixelCoords rounds, except that the conic model rounds its
  // row first. Not for the parabolic model.
  bool GeoToPixel(double Lat, double Long, double& X, double& Y) const;
  // UTM position in the map's own zone; false and (0, 0) unless the model is cmUTM.
  bool CalcPixelCoordsUTM(double Northing, double Easting, int& X, int& Y) const;
  // Row where the line of constant northing crosses column X, and column where the line of
  // constant easting crosses row Y. Independent of the model. Valid is false (result 0) when
  // the fitted coefficients leave the crossing undefined.
  int CalcUTMyFromNorthingX(double Northing, int X) const;
  int CalcUTMyFromNorthingX(double Northing, int X, bool& Valid) const;
  int CalcUTMxFromEastingY(double Easting, int Y) const;
  int CalcUTMxFromEastingY(double Easting, int Y, bool& Valid) const;
  // Root mean square deviation, in pixels per axis, between the stored control points and
  // their positions converted back to pixels (point models only; 0 otherwise).
  void CalibQuality(double& QualX, double& QualY) const;
  // Residual of every calibration point under the current model (quads for the point
  // models, line points for cmParabolicIp), unrounded.
  std::vector<TCalResidual> Residuals() const;
  // Root mean square of the valid residual distances; 0 without any.
  double ResidualRMS() const;

  // ---- editing ----
  // They raise EVEKGeoMapError with the bare message text; TGeoMap adds its component prefix.
  bool AddCalibPoint(TGratLineKind LineType, double LineValue, int X, int Y);
  bool AddCalibPoint(double Lat, double Long, int X, int Y);
  bool AddCalibPoint(double Northing, double Easting, int Zone, THemisphere Hemisphere, int X,
                     int Y);
  bool RemoveCalibPoint(TGratLineKind LineType, double LineValue, int X, int Y);
  bool RemoveCalibPoint(int X, int Y);
  // Adds the point removed last by RemoveCalibPoint(X, Y) once more. The store stays
  // available when the point cannot be added (full table, UTM zone changed).
  void RestoreLastDeletedCalPoint();
  bool CanRestoreQuad() const { return FRestoreBiQuadOK; }
  bool CanRestoreLinePoint() const { return FRestoreParaIpOK; }
  const TCalQuad& LastDeletedQuad() const { return FBiQuadOops; }
  const TCalibLine& LastDeletedLinePoint() const { return FParaIpOops; }
  // Removes every calibration point and line and resets zone, hemisphere, ellipsoid, corners,
  // resolution, the graticule matrix and the equirectangular and biquadratic parameters.
  // Model, map name, caption, the Miller and conic parameters and the undo store stay.
  void Clear();
  // Multiplies every stored pixel position by Factor (rounded); no refit.
  void ScalePoints(double Factor);

  // Messages of the editing methods.
  static constexpr const char* MsgAddNotSupported =
      "current calibration model does not support this version of AddCalibPoint";
  static constexpr const char* MsgRemoveNotSupported =
      "current calibration model does not support this version of RemoveCalibPoint";
  static constexpr const char* MsgUTMZoneChanged = "UTM zone parameter changed";

 private:
  bool IsPointModel() const { return FCalibModel >= cmBiquadraticPn && FCalibModel <= cmUTM; }
  int NumLines() const;
  int NumQuads() const;
  int NumLinePoints(int Line) const;
  void Refit(bool WithGratMat);
  bool ModelPixelOfQuad(const TCalQuad& Q, double& X, double& Y) const;
  bool RemoveLinePoint(int Line, int Point);
  void RemoveQuad(int Index);
  bool AppendQuad(const TCalQuad& Q);

  TCalibModel FCalibModel = cmUndefined;
  TCalibData FCalibData{};
  TMatrix FGratMat;
  TCalibParams FParams{};
  int FImgWidth = 0;
  int FImgHeight = 0;

  // One-point undo store per family of points.
  TCalQuad FBiQuadOops{};
  bool FRestoreBiQuadOK = false;
  int FBiQuadOopsZone = 0;  // UTM zone and hemisphere of the map when the quad was removed
  bool FBiQuadOopsSouth = false;
  TCalibLine FParaIpOops{};
  bool FRestoreParaIpOK = false;
};

// Nearest integer, halves to even. False for values that are not finite or do not fit an
// int32_t, so that no conversion yields an undefined pixel.
bool RoundToPixel(double V, int& Out);

}  // namespace vek
