// Angles, dates and hexadecimal numbers as text.
#pragma once

#include <cstdint>
#include <string>

#include "VekTypes.h"

namespace vek {

// dfDegrees:   "47.50°"      (Decimals apply to the degrees)
// dfDegMin:    "47°30.0'"    (whole degrees, minutes with two integer digits and Decimals)
// dfDegMinSec: "47°30'00.0\"" (whole degrees and minutes, seconds with Decimals)
// Negative values get a leading "-". The degree sign is UTF-8. Decimals is limited to 0..12.
// Not-a-number gives "NaN".
std::string DegreeToStr(double Value, TDegreeFormat Format, int Decimals);

// Reads a date and time from S after Pattern. Pattern fields: "yyyy" (year), "mm" (month),
// "mmm" (month abbreviation in Language), "dd" (day), "HH" (hour), "MM" (minute), "SS"
// (second), each of exactly that many digits; any other pattern character must stand in S as
// it is. Missing fields default to 1899-12-30 00:00:00.
// ErrPos: 0 on success, else the 1-based position in S of the first bad character (one past
// the end when S is too short); the result is then 0.
TDateTime ScanDateTime(const std::string& S, const std::string& Pattern, TLanguage Language,
                       int& ErrPos);

// The hexadecimal number at the 1-based position Pos in S (blanks before it, a "$" or "0x"
// prefix allowed); the digit run ends at the first other character and is taken modulo
// 2^32. No digit (or Pos outside S) gives 0.
uint32_t ScanHex(const std::string& S, int Pos);

// Value as exactly Digits upper-case hexadecimal digits, most significant first, no prefix
// (higher digits that do not fit are dropped, more digits than the value needs are leading
// zeros). Digits is limited to 1..64.
std::string Hex(uint64_t Value, int Digits);

// The date and time components of a TDateTime and back (proleptic Gregorian calendar).
TDateTime EncodeDateTime(int Year, int Month, int Day, int Hour, int Minute, int Second);
void DecodeDateTime(TDateTime T, int& Year, int& Month, int& Day, int& Hour, int& Minute,
                    int& Second);

}  // namespace vek
