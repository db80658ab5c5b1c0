// Enumerations, records and event types shared by the map control, its calibration and
// landmark code, its files and the atlas. Records are aggregates whose fields keep the order
// of the file and stream formats; fixed tables keep their 1-based bounds.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "Ellipsoids.h"
#include "GraphicsTypes.h"
#include "PascalArray.h"
#include "ShortString.h"
#include "VekError.h"
#include "VekTypes.h"

namespace vek {

class TCanvas;

// Raised by the map control and its helpers; messages carry the component-name prefix.
class EVEKGeoMapError : public EVEKError {
 public:
  using EVEKError::EVEKError;
};

// ---- calibration ----

enum TCalibModel : uint8_t {
  cmParabolicIp = 0,
  cmBiquadraticPn = 1,
  cmConicConformal = 2,
  cmMillerCylindrical = 3,
  cmEquiRect = 4,
  cmUTM = 5,
  cmUndefined = 6,
};

enum TGratLineKind : uint8_t { gtlMeridian = 0, gtlParallel = 1 };

enum TCorners : uint8_t { gcoTopLeft = 0, gcoBottomLeft = 1, gcoBottomRight = 2, gcoTopRight = 3 };

// Degrees.
struct TCoords {
  double Latit = 0;
  double Longit = 0;
  friend bool operator==(const TCoords&, const TCoords&) = default;
};

using TCornerArray = EArray<TCoords, TCorners, 4>;

// A control point of the point-based models. Under the UTM model Latitude holds the
// northing and Longitude the easting, in metres.
struct TCalQuad {
  double Latitude = 0;
  double Longitude = 0;
  int32_t MapX = 0;
  int32_t MapY = 0;
  friend bool operator==(const TCalQuad&, const TCalQuad&) = default;
};

constexpr int MaxCalLinePoints = 10;
constexpr int MaxCalLines = 25;
constexpr int MaxCalQuads = 200;

// A graticule line of the parabolic model: a meridian (LineValue = longitude) or a parallel
// (LineValue = latitude) with up to ten pixel positions on it.
struct TCalibLine {
  TGratLineKind LineType = gtlMeridian;
  double LineValue = 0;
  int32_t NumPoints = 0;
  PArray<TPoint, 1, MaxCalLinePoints> CalPoints{};
  friend bool operator==(const TCalibLine&, const TCalibLine&) = default;
};

// The whole calibration of one map. Corners and Resolution are derived from the rest.
struct TCalibData {
  std::string MapFName;
  std::string Caption;
  TCornerArray Corners{};
  double Resolution = 0;  // metres per image pixel across the middle of the map
  int32_t NumCalLines = 0;
  PArray<TCalibLine, 1, MaxCalLines> CalLines{};
  int32_t NumCalQuads = 0;
  PArray<TCalQuad, 1, MaxCalQuads> CalQuads{};
  int32_t UTMZone = 0;
  bool UTMSouth = false;
  TGeoEllipsoid Ellipsoid = gelWGS84;
  friend bool operator==(const TCalibData&, const TCalibData&) = default;
};

// ---- display ----

enum TShowGrat : uint8_t {
  sgNone = 0,
  sgPoints = 1,
  sgLines = 2,
  sgPointsAndLines = 3,
  sgUTMGrid = 4,
  sgPointsAndUTMGrid = 5,
};

// One view of the zoom history; all three fields 0 mark an empty entry.
struct TgmZoomStackEntry {
  int32_t Left = 0;
  int32_t Top = 0;
  double MagF = 0;
  friend bool operator==(const TgmZoomStackEntry&, const TgmZoomStackEntry&) = default;
};

// ---- landmarks ----

enum TLandMarkElement : uint8_t {
  lmPlus = 0,
  lmSquare = 1,
  lmTriangle = 2,
  lmCircle = 3,
  lmArrowFrom = 4,
  lmArrowTo = 5,
  lmCrossBox = 6,
  lmSpade = 7,
  lmCross = 8,
  lmUserDef = 9,
};

constexpr int NumLandMarkElements = 10;

// Display names of the symbol shapes, indexed by TLandMarkElement.
extern const char* const LMTypeNames[NumLandMarkElements];

using TLMIdentifier = ShortString<15>;
using TLMText = ShortString<80>;

struct TSymbolProperties {
  TLandMarkElement Kind = lmPlus;
  int32_t Size = 0;       // reach to each side of the point, pixels; arrow-head side length
  TColor FGColor = 0;     // outline and lines
  TColor BGColor = 0;     // fill, and the halo round line symbols
  bool Transparent = false;  // outline only: no fill, no halo
  int32_t Direction = 0;  // degrees clockwise from screen-up
  int32_t Length = 0;     // arrow shaft, pixels
  friend bool operator==(const TSymbolProperties&, const TSymbolProperties&) = default;
};

struct TLMTextProperties {
  TLMText Text;           // empty: no caption
  int32_t Size = 0;       // points
  TFontName FontName;
  TFontStyles FontStyles{};
  TColor FGColor = 0;
  TColor BGColor = 0;     // box behind the text
  bool Transparent = false;  // no box
  int32_t dx = 0;         // offset of the reference point from the landmark, pixels
  int32_t dy = 0;         // positive is down
  int32_t Direction = 0;  // degrees counter-clockwise
  TAlignment HAlignment = taLeftJustify;
  TVerticalAlignment VAlignment = vaTop;
  friend bool operator==(const TLMTextProperties&, const TLMTextProperties&) = default;
};

struct TLandMark {
  double Latitude = 0;
  double Longitude = 0;
  double Altitude = 0;  // metres
  uint8_t ClassFlag = 0;
  int32_t Tag = 0;
  TSymbolProperties SymbolProps;
  TLMTextProperties Caption;
  TLMIdentifier Identifier;
  TDateTime Time = 0;
  friend bool operator==(const TLandMark&, const TLandMark&) = default;
};

enum TLandMarkAction : uint8_t { lmaAdd = 0, lmaRemove = 1 };

// ---- events ----

// Canvas: the composition bitmap's canvas, in control pixels.
using TRenderEvent = std::function<void(TObject* Sender, TCanvas* Canvas)>;
// Setting Handled suppresses the control's own drawing of that landmark.
using TDrawLandMarkEvent = std::function<void(TObject* Sender, bool& Handled, TCanvas* Canvas,
                                              TPoint& APoint, const TLandMark& LandMarkData)>;
// Clearing Allowed vetoes the action.
using TLandMarkActionEvent = std::function<void(TObject* Sender, bool& Allowed,
                                                TLandMarkAction Action,
                                                const TLandMark& LandMarkData)>;
// The handler may replace FileName with the file actually to be read.
using TMapImgRequestEvent = std::function<void(TObject* Sender, std::string& FileName)>;
// Draws an application's content onto a generated empty map (MapCanvas, Wid x Hgt pixels)
// covering the given bounds; a plain function, not bound to a component.
using TOnDrawMapDataEvent =
    std::function<void(TObject* Sender, TCanvas* MapCanvas, double LatLow, double LongLow,
                       double LatHigh, double LongHigh, int32_t Wid, int32_t Hgt)>;

// ---- helpers ----

// Whether (Lat, Long) lies strictly inside the quadrilateral of the four corners, walked
// top-left, bottom-left, bottom-right, top-right. Exact for convex quadrilaterals; a position
// on an edge or a corner is outside.
bool PositionInMap(double Lat, double Long, const TCornerArray& Corners);

}  // namespace vek
