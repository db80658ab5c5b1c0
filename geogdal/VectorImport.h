// Vector files into a geographic database through GDAL/OGR: points become towns, lines
// roads (or rivers, routes), polygons borders (or lakes, cities). Every coordinate system is
// transformed to WGS 84; multi-part geometries give one item per part under the same name,
// each ring of a polygon an item of its own. GPX tracks and routes come in as routes,
// waypoints as towns.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "GeoDBRecords.h"
#include "TGeoDB.h"

namespace vek {

struct TVectorImportOptions {
  std::vector<std::string> Layers;  // empty: every layer (for GPX all but the point lists)
  TgdbItem LineKind = gitRoad;      // gitRoad, gitRiver or gitRoute
  TgdbItem PolygonKind = gitBorder; // gitBorder, gitLake or gitCity
  std::string NameField;            // empty: the first field called "name", in any case
  uint8_t ClassNumber = 0;
  TDateTime Date = 0;               // stored with every item
  // Features read so far of all features (total 0 when a driver cannot count cheaply).
  std::function<void(int64_t Done, int64_t Total)> OnProgress;
};

struct TVectorImportCounts {
  int64_t Features = 0;
  int64_t Items = 0;                     // items written
  int64_t ByKind[gitUndefined + 1] = {};  // items written per kind
  int64_t NamesCut = 0;         // names longer than an item's name holds, cut to fit
  int64_t EmptyGeometries = 0;  // features without geometry, or empty parts
  int64_t InvalidGeometries = 0;  // lines of fewer than 2 points, rings of fewer than 3, NaN
  int64_t OffEarth = 0;         // parts with a coordinate outside the earth after transforming
  int64_t Unsupported = 0;      // geometry types with no item kind
  std::vector<std::string> Warnings;
};

// What was left out or cut, in words, for each count above zero: {3, "empty geometries
// skipped"}, ... For reports of the tool and of applications.
std::vector<std::pair<int64_t, std::string>> ImportFaults(const TVectorImportCounts& C);

// Imports FileName into the open database DB (lazy writing on during the import, restored
// after). Raises EVEKGeoGdalError for a file GDAL cannot open, an unknown layer or name field.
TVectorImportCounts ImportVectorFile(TGeoDB& DB, const std::string& FileName,
                                     const TVectorImportOptions& Options = {});

}  // namespace vek
