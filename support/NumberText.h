// Reading and writing numbers in text, independent of the C locale where a file format fixes
// the separator. Positions are 1-based: position 1 is the first character of a text. No
// routine reads outside its text; malformed input yields 0, never an exception.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vek {

// Value in fixed-point notation with Decimals digits after a '.', right-aligned with blanks
// in a field of at least Width characters. Independent of the C locale. A value that rounds
// to zero carries no minus sign.
std::string FormatNumber(int Width, int Decimals, long double Value);

// "TRUE" or "FALSE".
std::string BoolToText(bool Value);

// Shortest general format of a double, up to 15 significant digits: fixed notation when
// 1e-5 <= |Value| < 1e15, otherwise scientific with "E" and the exponent ("1.5E-7", "2E20");
// trailing zeros and an unneeded separator are dropped. DecimalSeparator 0 takes the separator
// of the current C locale (the user's locale once Qt has initialised it).
std::string FloatToStrGeneral(double Value, char DecimalSeparator = 0);

// Skips blanks, reads an optional sign and decimal digits from Pos and leaves Pos on the first
// character that is not a digit. No digit (or an empty text) gives 0. Values beyond the range
// of int32_t saturate.
int32_t ReadIntegerAt(const std::string& S, int& Pos);

// Separators argument of ReadNumberAt.
enum : int { nsPoint = 1, nsComma = 2, nsPointOrComma = 3 };

// Reads a decimal number from Pos: blanks, an optional sign, digits with one decimal
// separator ('.', ',' or either, see Separators) and, when ExpAllowed, an exponent "E±ddd".
// Pos is left on the character that ended the number. A malformed number gives 0; the result
// is clamped to +-uc_MaxDouble.
double ReadNumberAt(const std::string& S, bool ExpAllowed, int Separators, int& Pos);

// The two readers over views, for callers that take many values out of one buffer; results
// and positions are those of the routines above.
int32_t ReadIntegerAtView(std::string_view S, int& Pos);
double ReadNumberAtView(std::string_view S, bool ExpAllowed, int Separators, int& Pos);

}  // namespace vek
