#include "StrUtils.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace vek {

int StringIx(const std::string& S, const std::string List[], int High) {
  if (List == nullptr) return 0;
  for (int i = 0; i <= High; ++i)
    if (List[i] == S) return i + 1;
  return 0;
}

int StringIx(const std::string& S, const std::vector<std::string>& List, int High) {
  const int last = High < static_cast<int>(List.size()) ? High : static_cast<int>(List.size()) - 1;
  for (int i = 0; i <= last; ++i)
    if (List[static_cast<size_t>(i)] == S) return i + 1;
  return 0;
}

namespace {
size_t LastSeparator(const std::string& Name) {
  return Name.find_last_of("/\\");
}
}  // namespace

std::string StripPath(const std::string& Name) {
  const size_t p = LastSeparator(Name);
  return p == std::string::npos ? Name : Name.substr(p + 1);
}

std::string StripExtension(const std::string& Name) {
  const size_t dot = Name.rfind('.');
  if (dot == std::string::npos) return Name;
  const size_t sep = LastSeparator(Name);
  // A dot inside a directory name is not an extension.
  if (sep != std::string::npos && dot < sep) return Name;
  return Name.substr(0, dot);
}

std::string ReduceStringToFN83CompliantChars(const std::string& S) {
  static const char kAllowed[] = "!#$%&'()-@^_`{}~.";
  std::string out;
  out.reserve(S.size());
  for (char ch : S) {
    const auto b = static_cast<unsigned char>(ch);
    // Bytes from 0x80 on (non-ASCII letters) are valid in short names too.
    const bool alnum = (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') ||
                       b >= 0x80;
    if (alnum || (b != 0 && std::strchr(kAllowed, ch) != nullptr)) out += ch;
  }
  return out;
}

std::vector<std::string> SplitTextLines(const std::string& Text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t i = 0; i < Text.size(); ++i) {
    if (Text[i] != '\r' && Text[i] != '\n') continue;
    lines.push_back(Text.substr(start, i - start));
    if (Text[i] == '\r' && i + 1 < Text.size() && Text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < Text.size()) lines.push_back(Text.substr(start));
  return lines;
}

bool ParseExactNumber(const std::string& S, double& Value) {
  const char* b = S.data();
  const char* e = b + S.size();
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; };
  while (b < e && blank(*b)) ++b;
  while (e > b && blank(e[-1])) --e;
  if (b < e && *b == '+') ++b;
  const auto r = std::from_chars(b, e, Value);
  return r.ec == std::errc() && r.ptr == e && std::isfinite(Value);
}

}  // namespace vek
