#include "DialectBlock.h"

#include "XmlText.h"

namespace vek {

std::string DialectAttributeText(const std::string& Value) {
  std::string s = Value;
  for (char& c : s) {
    if (c == '"')
      c = '\'';
    else if (c == '\r' || c == '\n')
      c = ' ';
  }
  return s;
}

std::string DialectRootLine(const std::string& Root, const std::string& DataID, TRootIdText IdText,
                            const std::string& MoreAttributes) {
  const std::string Id = IdText == riEscaped ? DialectAttributeText(DataID) : DataID;
  return "<" + Root + " sig=\"Quillwort\" vers=\"1.0\" id=\"" + Id + "\"" + MoreAttributes + ">";
}

std::string RootLineId(const std::string& LowerLine, const std::string& RootName) {
  const size_t at = LowerLine.find(RootName);
  if (at == std::string::npos) return std::string();
  return TrimSpaces(FindAttributeValue(LowerLine.substr(at + RootName.size()), "id"));
}

bool TDialectLines::Next(std::string& Line, bool& Last) {
  Last = false;
  if (FFile) return FFile->ReadLn(Line);
  ReadStreamLine(*FStream, Last, Line);
  return true;
}

bool FindDialectBlock(TDialectLines Lines, const std::string& Root, const std::string& DataID,
                      const std::function<std::string(const std::string& Line,
                                                      const std::string& LowerLine)>& IdOf) {
  // The identifier as the writers put it into a root line and the readers take it out, so
  // that a block is found by the identifier it was saved under.
  const std::string Wanted = LowerCaseAscii(TrimSpaces(DialectAttributeText(DataID)));
  const std::string Opening = "<" + Root;
  std::string Line;
  bool Last = false;
  while (Lines.Next(Line, Last)) {
    const std::string Lower = LowerCaseAscii(Line);
    if (Lower.find(Opening) != std::string::npos && Lower.find("quillwort") != std::string::npos) {
      const std::string Id = IdOf(Line, Lower);
      if (Wanted.empty() || Wanted == Id) return true;
    }
    if (Last) return false;
  }
  return false;
}

}  // namespace vek
