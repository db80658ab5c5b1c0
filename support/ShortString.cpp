#include "ShortString.h"

namespace vek {
namespace {

// Unicode code points of the Windows-1252 bytes 0x80..0x9F (0 = unassigned).
constexpr uint16_t kHigh[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char CodePointToAnsi(uint32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
  // The five unassigned bytes travel as U+0081, U+008D, ... (see AnsiToUtf8): map them back
  // so that any 8-bit text survives the round trip.
  if (cp < 0xA0 && kHigh[cp - 0x80] == 0) return static_cast<char>(cp);
  for (int i = 0; i < 32; ++i)
    if (kHigh[i] != 0 && kHigh[i] == cp) return static_cast<char>(0x80 + i);
  return '?';
}

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

std::string Utf8ToAnsi(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    const auto b = static_cast<uint8_t>(s[i]);
    const int extra = b >= 0xF0 && b < 0xF5 ? 3 : b >= 0xE0 && b < 0xF0 ? 2 : b >= 0xC2 && b < 0xE0 ? 1 : 0;
    if (extra == 0 || i + extra >= s.size()) {
      // ASCII, a stray byte, or a sequence cut short: keep the byte as it is.
      out += static_cast<char>(b);
      ++i;
      continue;
    }
    uint32_t cp = b & (0x3F >> extra);
    bool ok = true;
    for (int k = 1; k <= extra; ++k) {
      const auto c = static_cast<uint8_t>(s[i + k]);
      if ((c & 0xC0) != 0x80) { ok = false; break; }
      cp = (cp << 6) | (c & 0x3F);
    }
    if (!ok) {
      out += static_cast<char>(b);
      ++i;
      continue;
    }
    out += CodePointToAnsi(cp);
    i += extra + 1;
  }
  return out;
}

std::string AnsiToUtf8(std::string_view s) {
  std::string out;
  out.reserve(s.size() + s.size() / 4);
  for (char ch : s) {
    const auto b = static_cast<uint8_t>(ch);
    if (b >= 0x80 && b < 0xA0) {
      const uint16_t cp = kHigh[b - 0x80];
      AppendUtf8(out, cp != 0 ? cp : b);
    } else {
      AppendUtf8(out, b);
    }
  }
  return out;
}

}  // namespace vek
