// Export of a geographic database to a GeoPackage (an SQLite file that desktop and server
// GIS open directly): one feature table per kind of item, in WGS 84 longitude/latitude.
//   towns, cities          POINT        (a city outline is represented by its first point)
//   borders, lakes         POLYGON      (rings closed where the item is an open line)
//   rivers, roads, routes  LINESTRING
// Each feature has the columns name, item_id, date (ISO 8601, UTC) and altitude. BLOBs are
// not exported.
#pragma once

#include <string>

#include "TGeoDB.h"

namespace vek {

struct TGeoPackageCounts {
  int Features = 0;
  int Skipped = 0;  // BLOBs and items whose data could not be read
};

// Writes FileName anew (an existing file is replaced). Raises EVEKGeoDBError when no
// database is open or the file cannot be written.
TGeoPackageCounts ExportGeoPackage(TGeoDB& DB, const std::string& FileName);

}  // namespace vek
