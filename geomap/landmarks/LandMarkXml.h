// Landmark sets in the library's XML dialect: one file may hold several sets, each under a
// root line <gmlandmarks sig="Quillwort" vers="1.0" id="SET">, one <landmark .../> per line.
#pragma once

#include <string>

#include "DialectBlock.h"
#include "GeoMapRecords.h"
#include "LandMarkStore.h"
#include "Streams.h"

namespace vek {

// Shape named by an element attribute (compared in lower case); unknown names give lmCross.
TLandMarkElement LandMarkElementFromName(const std::string& Name);

// One landmark from the attribute text of its element. An absent attribute gives 0, empty
// text or lmCross, never a value of the default landmark.
TLandMark LandMarkFromAttributes(const std::string& Attributes);
// The element of one landmark, carrying every field the reader knows.
std::string LandMarkToElement(const TLandMark& LM);

// From the current position of a file opened for reading: finds the first root line of the
// set DataID (empty: the first set; compared in lower case), then replaces the store's
// landmarks by every landmark element up to </geomap> or the end of the file. False, and
// the store untouched, when no such root line follows.
bool ReadLandMarksFromOpenXMLFile(TextFile& F, const std::string& DataID, TLandMarkStore& Store);
// As above on a named file; false when the file cannot be opened.
bool LoadLandMarks(const std::string& FileName, const std::string& DataID, TLandMarkStore& Store);

// Writes one set (header, root line, one line per landmark, closing tag) to a file opened
// for writing.
void WriteLandMarksToOpenXMLFile(TextFile& F, const std::string& DataID,
                                 const TLandMarkStore& Store);
// Creates or overwrites FileName with the set.
void SaveLandMarks(const std::string& FileName, const std::string& DataID,
                   const TLandMarkStore& Store);

}  // namespace vek
