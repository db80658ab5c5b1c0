// Export of a geographic database to a GeoPackage (an SQLite file that desktop and server
// GIS open directly): one feature table per kind of item, in WGS 84 longitude/latitude.
//   towns, cities          POINT        (a city outline is represented by its first point)
//   borders, lakes         POLYGON      (rings closed where the item is an open line)
//   rivers, roads, routes  LINESTRING
// Each feature has the columns name, item_id, date (ISO 8601, UTC) and altitude. BLOBs are
// not exported.
#pragma once

#include <string>
#include <vector>

#include "TGeoDB.h"

namespace vek {

struct TGeoPackageCounts {
  int Features = 0;
  int Skipped = 0;  // BLOBs and items left out for any reason
  // The items left out because they cannot be written as they are (coordinates that are not
  // finite or not on the earth, or unreadable geometry): "town \"Name\" (entry 7): ...".
  // At most MaxInvalidNamed are named; Invalid counts all.
  int Invalid = 0;
  std::vector<std::string> InvalidItems;
  static constexpr int MaxInvalidNamed = 100;
};

// Writes FileName anew. The package is written beside it under a temporary name and takes
// the target's place only when complete, so a failed export leaves an existing file as it
// was. NUL bytes in names are dropped (SQL readers would cut the text there). Raises
// EVEKGeoDBError when no database is open or the file cannot be written.
TGeoPackageCounts ExportGeoPackage(TGeoDB& DB, const std::string& FileName);

}  // namespace vek
