// Landmark sets in the formats other programs use: GPX waypoints and GeoJSON points.
//
// Field mapping (both directions):
//   caption text   GPX <name>          GeoJSON properties.name
//   identifier     GPX <cmt>           properties.identifier
//   time           GPX <time> (UTC)    properties.time (ISO 8601, UTC)
//   altitude       GPX <ele>           third coordinate
//   class          GPX <type> 0..255   properties.class
//   symbol shape   GPX <sym>           properties.symbol (a name of LMTypeNames)
// A field the file does not carry comes from the template landmark, as when a landmark is
// added by position. A time of 0 is "no time" and is not written.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "GeoMapRecords.h"

namespace vek {

enum TLandMarkFileFormat : uint8_t { lffUnknown = 0, lffQuillwort = 1, lffGpx = 2, lffGeoJson = 3 };

// By extension: .xml the library's own dialect, .gpx, .geojson or .json.
TLandMarkFileFormat LandMarkFileFormat(const std::string& FileName);

// Parse errors raise EVEKGeoMapError naming the place ("GPX line 3, column 7: ...").
std::vector<TLandMark> LandMarksFromGpx(std::string_view Data, const TLandMark& Template);
std::string LandMarksToGpx(const std::vector<TLandMark>& LandMarks);
std::vector<TLandMark> LandMarksFromGeoJson(std::string_view Data, const TLandMark& Template);
std::string LandMarksToGeoJson(const std::vector<TLandMark>& LandMarks);

// A whole file in any of the three formats. DataID selects the set of a dialect file
// (empty: the first); a dialect file without that set raises. File system failures raise
// EInOutError.
std::vector<TLandMark> ReadLandMarkFile(const std::string& FileName, const TLandMark& Template,
                                        const std::string& DataID = std::string());
void WriteLandMarkFile(const std::string& FileName, const std::vector<TLandMark>& LandMarks,
                       const std::string& DataID = std::string());

// TDateTime and UTC milliseconds since 1970 (the TDateTime of a moment before 1899-12-30
// counts the fraction of its day forwards, as the type has it).
int64_t DateTimeToUnixMs(TDateTime T);
TDateTime UnixMsToDateTime(int64_t Ms);

}  // namespace vek
