// Table of geodetic datums with their shift to WGS 84 (internal to the geodesy unit).
#pragma once

#include "Ellipsoids.h"
#include "ShortString.h"

namespace vek {

// Parameters that take datum coordinates to WGS 84 (position-vector rotation convention):
//   X1 = k·(X − rZ·Y + rY·Z) + dX,  Y1 = k·(Y + rZ·X − rX·Z) + dY,  Z1 = k·(Z − rY·X + rX·Y) + dZ
// with k = 1 + Scale·1e-6 and the rotations in arc-seconds.
struct TDatumEntry {
  ShortString<33> Name;
  ShortString<35> Region;
  TGeoEllipsoid Ellipsoid;
  double dX, dY, dZ;      // metres
  double Scale;           // parts per million
  double rX, rY, rZ;      // arc-seconds
};

constexpr int NumDatums = 271;

// The datum with the given number, 1 to NumDatums. Callers check the number first;
// a number outside that range throws std::out_of_range.
const TDatumEntry& DatumEntry(int number);

}  // namespace vek
