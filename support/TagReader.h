// Reader of the library's small XML dialect: returns one element at a time from a text file
// or a stream, matching element names against a table.
#pragma once

#include <string>
#include <vector>

#include "Streams.h"

namespace vek {

// From the current position, finds the next element whose name is one of Tags[0..High]
// (compared without regard to ASCII case; end-tag names such as "/geomap" are entries too)
// and returns its index, or High when no further element can be read.
// Attributes: the start tag's text after the name (without "/>" or ">"), trimmed.
// Content: the text after the start tag up to the next tag, without leading and trailing
// line breaks; when that next tag is the element's end tag it is consumed too. A
// self-closing element has empty content. Elements not in the table, comments and
// processing instructions are skipped; the input then stands after the returned element.
// Any input is safe: a tag longer than 1 MiB is skipped, a content longer than 16 MiB is
// cut, an element left open at the end returns what there is, and once the input is
// exhausted every call answers High.
int ReadNextTagInTextFile(TextFile& F, const std::string Tags[], int High, std::string& Content,
                          std::string& Attributes);
int ReadNextTagInTextFile(TextFile& F, const std::vector<std::string>& Tags, int High,
                          std::string& Content, std::string& Attributes);
int ReadNextTagInStream(TStream& Stream, const std::string Tags[], int High, std::string& Content,
                        std::string& Attributes);
int ReadNextTagInStream(TStream& Stream, const std::vector<std::string>& Tags, int High,
                        std::string& Content, std::string& Attributes);

// Writes S and CR LF as 8-bit text.
void WriteLnStream(TStream& Stream, const std::string& S);

}  // namespace vek
