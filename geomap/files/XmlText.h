// Text routines and element table shared by the readers and writers of the map unit's small
// XML dialect (calibration, landmark and symbol files).
//
// Positions are 1-based, as the file formats were designed around them: position 1 is the
// first character of a text. No routine here reads outside its text; malformed input yields
// 0, an empty text or a status code, never an exception.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "NumberText.h"
#include "Streams.h"

namespace vek {

// Element names of the dialect. The readers hand entries 0 .. XmlReaderTagHigh to the tag
// reader, which answers with the index of the element found (XmlReaderTagHigh when there is
// none). Entries 16 .. 22 are the names of the calibration models in TCalibModel order.
inline constexpr int XmlTagCount = 23;
inline const std::string XmlTags[XmlTagCount] = {
    "geomap",     "/geomap",       "calline",        "corners",
    "resolution", "gmlandmarks",   "/gmlandmarks",   "landmark",
    "calquads",   "lmsymbols",     "/lmsymbols",     "symbol",
    "utmzone",    "utmsouth",      "ellipsoid",      "invalidtag",
    "parabolicip", "biquadraticpn", "conicconformal", "millercylindrical",
    "equirect",   "utm",           "undefined"};

enum : int {
  xtGeoMap = 0,
  xtGeoMapEnd = 1,
  xtCalLine = 2,
  xtCorners = 3,
  xtResolution = 4,
  xtGMLandmarks = 5,
  xtGMLandmarksEnd = 6,
  xtLandmark = 7,
  xtCalQuads = 8,
  xtLMSymbols = 9,
  xtLMSymbolsEnd = 10,
  xtSymbol = 11,
  xtUTMZone = 12,
  xtUTMSouth = 13,
  xtEllipsoid = 14,
  xtInvalidTag = 15,
  xtFirstModelName = 16,  // + ordinal of the TCalibModel
};
inline constexpr int XmlReaderTagHigh = xtInvalidTag;

// ASCII lower and upper case; bytes >= 128 pass unchanged.
std::string LowerCaseAscii(std::string S);
std::string UpperCaseAscii(std::string S);

// 1-based position of the N-th occurrence of Sub in Text at or after Start (Start <= 0 counts
// as 1); occurrences may overlap. 0 when there are fewer than N, when N < 1 or Sub is empty.
int PosOfNthOccurrence(const std::string& Sub, const std::string& Text, int Start, bool IgnoreCase,
                       int N);

// Text without leading and trailing blanks (code 32 only).
std::string TrimSpaces(const std::string& S);

// Reads one line byte by byte up to and including the next LF and strips the line end (CR LF,
// LF, LF CR). EndOfStream becomes true when a read returned no byte; the text read before that
// is still delivered in Line.
void ReadStreamLine(TStream& Stream, bool& EndOfStream, std::string& Line);

// Status codes of SplitNextAttribute.
enum : int {
  saOK = 0,            // a pair was read, or the end of the text was reached
  saQuoteInName = 1,   // a double quote came before '='
  saDoubleEqual = 2,   // '=' followed '='
  saEqualInValue = 3,  // '=' inside an unquoted value
  saPastEnd = 4,       // Pos was already past the end of the text
};

// Takes the next name="value" (or name=value) pair of an attribute text from Pos on and
// leaves Pos after it. The name is trimmed; a quoted value keeps blanks and '='.
int SplitNextAttribute(const std::string& AttrText, int& Pos, std::string& Name, std::string& Value);

// Value of the attribute Name (compared without ASCII case), or an empty text.
std::string FindAttributeValue(const std::string& AttrText, const std::string& Name);

// The two attribute routines over views, for readers that take many values out of one
// buffer: they copy nothing, and Name, Value and the found value view into AttrText. Results
// and positions are those of the routines above.
int SplitNextAttributeView(std::string_view AttrText, int& Pos, std::string_view& Name,
                           std::string_view& Value);
std::string_view FindAttributeValueView(std::string_view AttrText, std::string_view Name);

}  // namespace vek
