// Fixed-capacity 8-bit strings: a length byte and N bytes of Windows-1252 text.
// Records that are written to files keep their exact byte layout with these.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace vek {

// UTF-8 <-> Windows-1252. Characters that code page cannot hold become '?'.
// Malformed UTF-8 bytes are taken as Windows-1252 bytes of their own.
std::string Utf8ToAnsi(std::string_view utf8);
std::string AnsiToUtf8(std::string_view ansi);

template <int N>
struct ShortString {
  static_assert(N >= 1 && N <= 255, "a short string holds 1 to 255 characters");
  static constexpr int Capacity = N;

  uint8_t Len = 0;
  char Chars[N] = {};

  ShortString() = default;
  ShortString(const char* utf8) { Assign(utf8 ? std::string_view(utf8) : std::string_view()); }
  ShortString(const std::string& utf8) { Assign(utf8); }
  ShortString(std::string_view utf8) { Assign(utf8); }

  // Stores UTF-8 text, converted to Windows-1252 and cut to N characters.
  void Assign(std::string_view utf8) { SetAnsi(Utf8ToAnsi(utf8)); }
  // Stores 8-bit text as it stands, cut to N characters.
  void SetAnsi(std::string_view ansi) {
    Len = static_cast<uint8_t>(ansi.size() < size_t(N) ? ansi.size() : size_t(N));
    std::memset(Chars, 0, N);
    if (Len > 0) std::memcpy(Chars, ansi.data(), Len);  // an empty view may carry no pointer
  }
  // The 8-bit text as stored.
  std::string ansi() const { return std::string(Chars, Len); }
  // The text as UTF-8.
  std::string str() const { return AnsiToUtf8(std::string_view(Chars, Len)); }
  explicit operator std::string() const { return str(); }

  int length() const { return Len; }
  bool empty() const { return Len == 0; }

  friend bool operator==(const ShortString& a, const ShortString& b) {
    return a.Len == b.Len && std::memcmp(a.Chars, b.Chars, a.Len) == 0;
  }
  friend bool operator==(const ShortString& a, const char* b) { return a == ShortString(b); }
  friend bool operator==(const ShortString& a, const std::string& b) { return a == ShortString(b); }
};

}  // namespace vek
