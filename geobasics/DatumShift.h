// Seven-parameter shift between a datum of the datum table and WGS 84 (internal; the public
// entry point is HelmertTransform).
#pragma once

#include "DatumTable.h"

namespace vek {

struct TCartesian {
  double X, Y, Z;
};

// Datum coordinates to WGS 84 with the entry's parameters (position-vector convention, small
// rotation angles): X' = T + k·(I + [w]x)·X.
TCartesian DatumToWGS84(const TDatumEntry& datum, const TCartesian& p);

// The exact inverse of DatumToWGS84 for the same entry.
TCartesian WGS84ToDatum(const TDatumEntry& datum, const TCartesian& p);

}  // namespace vek
