// The calibration block of the map unit's XML dialect: writing one block to a text file or a
// stream, and reading a block (selected by its id) into a calibration record or a map
// calibration. None of this needs a widget.
//
// A file may hold several blocks; a block starts at a line holding "<geomap" and the
// signature "quillwort" and ends at "</geomap>".
#pragma once

#include <string>

#include "GeoMapRecords.h"
#include "MapCalibration.h"
#include "Streams.h"

namespace vek {

// Writes one calibration block to a text file opened for writing; WriteHeader asks for the
// XML declaration first. I/O errors raise EInOutError, leaving the file as far as written.
void WriteRawCalDataToOpenXMLFile(TextFile& F, bool WriteHeader, const std::string& DataID,
                                  const TCalibData& CalData, TCalibModel Model);

// The stream form: always the declaration and the resolution, never zone, hemisphere and
// ellipsoid, and the calquads element also when there are no control points.
void WriteRawCalDataToStream(TStream& Stream, const std::string& DataID,
                             const TCalibData& CalData, TCalibModel Model);

// Reads the block DataID (empty: the first block; compared without ASCII case) into CalData
// and Model, without any map. Model starts as cmBiquadraticPn; every root line with the
// signature sets model, map name (lower case) and caption, matching or not. On a match only
// NumCalLines is reset, the rest of CalData keeps what the caller put there, and lines with
// fewer than three points are kept. True when a matching block was found; the file form
// also returns false when the file cannot be opened. Raises EVEKGeoMapError
// ("ParseCalibData: ...") for an invalid graticule line type or a point count that differs
// from npoints; CalData then keeps what was read so far.
bool ParseCalibData(const std::string& FileName, const std::string& DataID, TCalibData& CalData,
                    TCalibModel& Model);
bool ParseCalibData(TStream& InStream, const std::string& DataID, TCalibData& CalData,
                    TCalibModel& Model);

// What the map's reader found. Every root line with the signature on the way sets model
// (cmUndefined unless its name is known), map name (lower case and as written) and caption,
// matching or not; a map shows the last of them even when no block matched. On a match Data
// holds the block's elements on a cleared calibration (lines with fewer than three points
// discarded), with MapFName and Caption of the matching root line.
struct TCalibBlockRecord {
  bool RootSeen = false;
  bool Matched = false;
  TCalibModel Model = cmUndefined;
  std::string MapLower, MapAsWritten, Caption;
  TCalibData Data;
};

// The map's reader: reads from F (when not null) or Stream, from the current position, into R
// and returns R.Matched. Fits nothing; the caller fits once, after it has loaded the map image.
// Raises EVEKGeoMapError with the bare message text; R then holds what was read so far, which
// a map keeps.
bool ReadCalibRecord(TextFile* F, TStream* Stream, const std::string& DataID, TCalibBlockRecord& R);

// ReadCalibRecord, then the record put into Cal as a map takes it: model, map name and caption
// when a root line was seen, the whole data on a match; on a fault what was read so far, and
// the fault raised. No fit: the caller fits once, after it has loaded the map image.
TCalibBlockRecord LoadCalibRecord(TextFile* F, TStream* Stream, const std::string& DataID,
                                  TMapCalibration& Cal);

// LoadCalibRecord and the graticule matrix's fit, for callers without an image to load first.
// GratMatOK receives the fit's result (false without a match).
bool ReadCalibBlock(TextFile* F, TStream* Stream, const std::string& DataID, TMapCalibration& Cal,
                    bool& GratMatOK, std::string& MapNameAsWritten);

// Message texts of the readers.
inline constexpr const char* MsgCalPointCountMismatch =
    "specified number of calibration points and actual number does not match";
inline constexpr const char* MsgInvalidGratLineType = "invalid type of graticule line: type=\"";

}  // namespace vek
