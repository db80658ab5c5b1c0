#include "GeoMapRecords.h"

namespace vek {

const char* const LMTypeNames[NumLandMarkElements] = {
    "Plus",   "Square", "Triangle", "Circle", "ArrowFrom",
    "ArrowTo", "CrossBox", "Spade",  "Cross",  "User-Defined",
};

namespace {

// Which side of the edge P -> Q the position lies on; the sign is what matters.
double SideValue(const TCoords& P, const TCoords& Q, double Lat, double Long) {
  return (Q.Longit - Long) * (P.Latit - Q.Latit) + (P.Longit - Q.Longit) * (Lat - Q.Latit);
}

}  // namespace

bool PositionInMap(double Lat, double Long, const TCornerArray& Corners) {
  const TCoords& tl = Corners[gcoTopLeft];
  const TCoords& bl = Corners[gcoBottomLeft];
  const TCoords& br = Corners[gcoBottomRight];
  const TCoords& tr = Corners[gcoTopRight];
  // Inside means: on the same side of every edge as of the closing edge.
  const double ref = SideValue(tr, tl, Lat, Long);
  if (SideValue(tl, bl, Lat, Long) * ref <= 0) return false;
  if (SideValue(bl, br, Lat, Long) * ref <= 0) return false;
  if (SideValue(br, tr, Lat, Long) * ref <= 0) return false;
  return true;
}

}  // namespace vek
