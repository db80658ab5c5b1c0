// Root lines of the library's XML dialect. Every file of it (calibration, landmark set, symbol
// repository) holds blocks that open with <root sig="Quillwort" vers="1.0" id="ID" ...>; the
// writers make that line here and the readers find a block by it here.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "Streams.h"

namespace vek {

// The value with what the dialect cannot carry inside a quoted attribute replaced: a double
// quote becomes a single quote, line breaks become blanks.
std::string DialectAttributeText(const std::string& Value);

// How a root line carries its identifier: through DialectAttributeText, as every writer of
// the library does, or as given.
enum TRootIdText : uint8_t { riAsGiven, riEscaped };

// <Root sig="Quillwort" vers="1.0" id="DataID"MoreAttributes>; MoreAttributes, when given,
// starts with a blank.
std::string DialectRootLine(const std::string& Root, const std::string& DataID, TRootIdText IdText,
                            const std::string& MoreAttributes = std::string());

// Id of a lower-cased root line (the trimmed value of its id attribute, empty without one).
std::string RootLineId(const std::string& LowerLine, const std::string& RootName);

// The lines of an open text file or of a stream, read one by one.
class TDialectLines {
 public:
  explicit TDialectLines(TextFile& F) : FFile(&F) {}
  explicit TDialectLines(TStream& S) : FStream(&S) {}
  // Exactly one of the two is given.
  TDialectLines(TextFile* F, TStream* S) : FFile(F), FStream(F ? nullptr : S) {}

  // The next line; false when a file has none left. A stream always delivers what it read,
  // and sets Last when it ended there.
  bool Next(std::string& Line, bool& Last);

 private:
  TextFile* FFile = nullptr;
  TStream* FStream = nullptr;
};

// Reads lines up to the root line of block DataID (compared in lower case, trimmed and with
// the substitutions of DialectAttributeText; empty: the first block): a line holding "<Root" and the dialect's signature. IdOf gives the lower-case
// identifier of a root line from the line as read and in lower case; it sees every root line
// passed on the way. True when found, the source then stands after that line.
bool FindDialectBlock(TDialectLines Lines, const std::string& Root, const std::string& DataID,
                      const std::function<std::string(const std::string& Line,
                                                      const std::string& LowerLine)>& IdOf);

}  // namespace vek
