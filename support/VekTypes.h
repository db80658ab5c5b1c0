// Basic types shared by every unit: date/time and colour values, the enumerations of the
// map and mouse state, small records and the event callback types.
#pragma once

#include <cstdint>
#include <functional>
#include <limits>

class QObject;

namespace vek {

// Event senders are Qt objects; only a pointer is passed, so no Qt header is needed here.
using TObject = QObject;
// Defined by the framework unit (a plain record of two integers X, Y).
struct TPoint;

// Days since 1899-12-30, the fraction being the time of day.
using TDateTime = double;
// $00BBGGRR.
using TColor = uint32_t;

// The smallest positive and the largest finite double.
inline constexpr double uc_MinDouble = std::numeric_limits<double>::denorm_min();
inline constexpr double uc_MaxDouble = std::numeric_limits<double>::max();

// What a mouse drag does on a map; the gaps in the ordinals are kept free on purpose.
enum TMouseActMode : uint8_t {
  maNone = 0,
  maPan = 1,
  maPanHoriz = 2,
  maPanVert = 3,
  maRubberBand = 5,
  maZoomBox = 7,
  maDragZoom = 9,
  maSelectRect = 16,
  maMouseTrace = 17,
};

enum TZoomState : uint8_t { zsIdle = 0, zsZoomBoxActive = 1 };

enum TMouseBoxState : uint8_t { mbsIdle = 0, mbsWaitFirstCorner = 1, mbsDragging = 2, mbsComplete = 3 };

// Frame drawn round a control (see DrawFrame of the framework unit).
// fsBevel: the default, a sunken 3-D bevel in the shading colours; fsSingle: one line;
// fsRaised: a raised bevel; fsDouble: two lines.
enum TFrameStyle : uint8_t { fsNone = 0, fsBevel = 1, fsSingle = 2, fsRaised = 3, fsDouble = 4 };

// Angle text: decimal degrees, degrees and decimal minutes, degrees minutes and seconds.
enum TDegreeFormat : uint8_t { dfDegrees = 0, dfDegMin = 1, dfDegMinSec = 2 };

enum TVerticalAlignment : uint8_t { vaTop = 0, vaMiddle = 1, vaBottom = 2 };

// Language of month names in date patterns.
enum TLanguage : uint8_t { lanEnglish = 0, lanGerman = 1 };

// Read by the callers as western longitude, northern latitude, eastern longitude,
// southern latitude when it describes a geographic rectangle.
struct TRectDouble {
  double Left;
  double Top;
  double Right;
  double Bottom;
};

struct TColoredPoint {
  double X;
  double Y;
  uint16_t State;
  TColor Color;
};

// Progress in percent, 0 to 100.
using TOnPercentDoneEvent = std::function<void(TObject* Sender, int32_t Percent)>;
using TZoomPanEvent = std::function<void(TObject* Sender)>;
using TSelectRectEvent =
    std::function<void(TObject* Sender, int32_t Kind, double V1, double V2, double V3, double V4)>;
using TOnRubberBandActionEvent = std::function<void(TObject* Sender, const TPoint& P)>;

}  // namespace vek
