#include "NumberText.h"

#include <cfloat>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <locale.h>
#include <string>

#include "VekTypes.h"

namespace vek {

namespace {

bool IsDigit(char C) { return C >= '0' && C <= '9'; }

char UpperAscii(char C) { return (C >= 'a' && C <= 'z') ? static_cast<char>(C - 'a' + 'A') : C; }


// strtod in the "C" locale, whatever locale the application has set.
double StrToDoubleC(const char* Text) {
  static locale_t CLocale = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(nullptr));
  char* End = nullptr;
  return strtod_l(Text, &End, CLocale);
}

// The text of a number as the number reader collects it ("-", digits, ".", "E", exponent
// sign and digits): short ones on the stack, any length on the heap.
// Up to 15 digits times a power of ten within 1e+-22: both are exact doubles, so a single
// multiplication or division rounds the decimal value correctly, as strtod would. False
// for every other text.
bool ExactFromSmall(const char* B, size_t L, double& V) {
#if FLT_EVAL_METHOD == 0
  static constexpr double kPow10[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  size_t I = 0;
  const bool Neg = L > 0 && B[0] == '-';
  if (Neg) ++I;
  uint64_t M = 0;
  int Digits = 0, Frac = 0;
  bool Dot = false;
  for (; I < L; ++I) {
    const char C = B[I];
    if (IsDigit(C)) {
      if (++Digits > 15) return false;
      M = M * 10 + static_cast<uint64_t>(C - '0');
      if (Dot) ++Frac;
    } else if (C == '.' && !Dot) {
      Dot = true;
    } else {
      break;
    }
  }
  if (Digits == 0) return false;
  int E = 0;
  if (I < L) {
    if (B[I] != 'E') return false;
    ++I;
    bool ENeg = false;
    if (I < L && (B[I] == '+' || B[I] == '-')) ENeg = B[I++] == '-';
    if (I >= L) return false;
    for (; I < L; ++I) {
      if (!IsDigit(B[I])) return false;
      E = E * 10 + (B[I] - '0');
      if (E > 100) return false;
    }
    if (ENeg) E = -E;
  }
  const int E10 = E - Frac;
  if (E10 < -22 || E10 > 22) return false;
  double R = static_cast<double>(M);
  R = E10 < 0 ? R / kPow10[-E10] : R * kPow10[E10];
  V = Neg ? -R : R;
  return true;
#else
  (void)B, (void)L, (void)V;
  return false;
#endif
}

class NumberChars {
 public:
#if defined(__GNUC__)
  [[gnu::always_inline]]
#endif
  void Add(char C) {
    if (FLen < kShort) [[likely]] {
      FShort[FLen++] = C;
      return;
    }
    if (FLen == kShort) FLong.assign(FShort, kShort);
    FLong += C;
    ++FLen;
  }
  bool EndsWith(char C) const {
    return FLen > 0 && (FLen <= kShort ? FShort[FLen - 1] : FLong.back()) == C;
  }

  // Both conversions round correctly, so they agree wherever from_chars takes the whole
  // text; strtod is left with what it reports as out of range (overflow, underflow).
  double ToDouble() {
    const char* B = FLen <= kShort ? FShort : FLong.data();
    double V = 0;
    if (ExactFromSmall(B, FLen, V)) return V;
    const auto R = std::from_chars(B, B + FLen, V, std::chars_format::general);
    if (R.ec == std::errc() && R.ptr == B + FLen) return V;
    if (FLen <= kShort) {
      FShort[FLen] = 0;
      return StrToDoubleC(FShort);
    }
    return StrToDoubleC(FLong.c_str());
  }

 private:
  static constexpr size_t kShort = 63;
  char FShort[kShort + 1];
  size_t FLen = 0;
  std::string FLong;
};

}  // namespace

std::string FormatNumber(int Width, int Decimals, long double Value) {
  if (Decimals < 0) Decimals = 0;
  if (Decimals > 60) Decimals = 60;
  std::string Out;
  if (std::isnan(Value)) {
    Out = "NAN";
  } else if (std::isinf(Value)) {
    Out = Value < 0 ? "-INF" : "INF";
  } else {
    // 4950 digits cover the integer part of the largest long double.
    static thread_local char Buf[5100];
    auto Res = std::to_chars(Buf, Buf + sizeof(Buf), Value, std::chars_format::fixed, Decimals);
    Out.assign(Buf, Res.ptr);
    if (!Out.empty() && Out[0] == '-' && Out.find_first_not_of("0.", 1) == std::string::npos)
      Out.erase(0, 1);
  }
  if (Width > static_cast<int>(Out.size())) Out.insert(0, static_cast<size_t>(Width) - Out.size(), ' ');
  return Out;
}

std::string BoolToText(bool Value) { return Value ? "TRUE" : "FALSE"; }

std::string FloatToStrGeneral(double Value, char DecimalSeparator) {
  if (DecimalSeparator == 0) {
    const lconv* L = std::localeconv();
    DecimalSeparator = (L && L->decimal_point && L->decimal_point[0]) ? L->decimal_point[0] : '.';
  }
  if (std::isnan(Value)) return "NAN";
  if (std::isinf(Value)) return Value < 0 ? "-INF" : "INF";
  if (Value == 0) return "0";
  // d.dddddddddddddde±x: 15 significant digits, correctly rounded.
  char Buf[64];
  auto Res = std::to_chars(Buf, Buf + sizeof(Buf), Value, std::chars_format::scientific, 14);
  std::string Sci(Buf, Res.ptr);
  bool Neg = Sci[0] == '-';
  if (Neg) Sci.erase(0, 1);
  size_t EPos = Sci.find('e');
  int Exp = std::atoi(Sci.c_str() + EPos + 1);
  std::string Digits;
  for (size_t i = 0; i < EPos; ++i)
    if (IsDigit(Sci[i])) Digits += Sci[i];
  while (Digits.size() > 1 && Digits.back() == '0') Digits.pop_back();

  std::string Out = Neg ? "-" : "";
  if (Exp >= -5 && Exp < 15) {
    if (Exp < 0) {
      Out += '0';
      Out += DecimalSeparator;
      Out.append(static_cast<size_t>(-Exp - 1), '0');
      Out += Digits;
    } else {
      size_t IntDigits = static_cast<size_t>(Exp) + 1;
      if (Digits.size() <= IntDigits) {
        Out += Digits;
        Out.append(IntDigits - Digits.size(), '0');
      } else {
        Out += Digits.substr(0, IntDigits);
        Out += DecimalSeparator;
        Out += Digits.substr(IntDigits);
      }
    }
  } else {
    Out += Digits[0];
    if (Digits.size() > 1) {
      Out += DecimalSeparator;
      Out += Digits.substr(1);
    }
    Out += 'E';
    Out += std::to_string(Exp);
  }
  return Out;
}

int32_t ReadIntegerAtView(std::string_view S, int& Pos) {
  const size_t N = S.size();
  if (N == 0) return 0;
  if (Pos < 1) Pos = 1;
  size_t I = static_cast<size_t>(Pos) - 1;
  while (I < N && S[I] == ' ') ++I;
  bool Neg = false;
  if (I < N && (S[I] == '+' || S[I] == '-')) {
    Neg = S[I] == '-';
    ++I;
  }
  int64_t V = 0;
  const int64_t Limit = Neg ? -static_cast<int64_t>(INT32_MIN) : INT32_MAX;
  while (I < N && IsDigit(S[I])) {
    V = V * 10 + (S[I] - '0');
    if (V > Limit) V = Limit;
    ++I;
  }
  Pos = static_cast<int>(I) + 1;
  return static_cast<int32_t>(Neg ? -V : V);
}

int32_t ReadIntegerAt(const std::string& S, int& Pos) { return ReadIntegerAtView(S, Pos); }

namespace {

// Separators of the number readers.
struct TSeparators {
  int Kind;
  bool operator()(char C) const {
    switch (Kind) {
      case nsComma: return C == ',';
      case nsPointOrComma: return C == '.' || C == ',';
      default: return C == '.';
    }
  }
};

// Most numbers are a few digits with one separator and no exponent: read those directly.
// The value is that of the text CollectNumber would collect, and it is exact (see
// ExactFromSmall). False, Pos unchanged, for anything else.
bool ReadPlainNumber(std::string_view S, bool ExpAllowed, TSeparators IsSep, int& Pos, double& Value) {
  size_t I = static_cast<size_t>(Pos) - 1;
  const size_t L = S.size();
  while (I < L && S[I] == ' ') ++I;
  const bool Neg = I < L && S[I] == '-';
  if (I < L && (S[I] == '-' || S[I] == '+')) ++I;
  uint64_t M = 0;
  int Digits = 0, Frac = 0;
  auto TakeDigits = [&](bool InFraction) {
    for (; I < L && IsDigit(S[I]) && Digits < 16; ++I, ++Digits) {
      M = M * 10 + static_cast<uint64_t>(S[I] - '0');
      if (InFraction) ++Frac;
    }
  };
  TakeDigits(false);
  if (I < L && IsSep(S[I])) {
    ++I;
    TakeDigits(true);
  }
  const char Next = I < L ? UpperAscii(S[I]) : 'Z';
  if (Digits >= 1 && Digits <= 15 && !IsDigit(Next) && !(Next == 'E' && ExpAllowed) &&
      !IsSep(Next) && FLT_EVAL_METHOD == 0) {
    static constexpr double kPow10[16] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                          1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const double V = static_cast<double>(M) / kPow10[Frac];
    Pos = static_cast<int>(I) + 1;
    Value = Neg ? -V : V;
    return true;
  }
  return false;
}

// The exponent after its 'E', from Pos on: a sign and digits. Pos ends on the character that
// ended it; false when there is no digit.
bool CollectExponent(std::string_view S, int& Pos, NumberChars& Text) {
  const int N = static_cast<int>(S.size());
  auto Ch = [&](int P) { return P <= N ? S[static_cast<size_t>(P) - 1] : 'Z'; };
  if (Ch(Pos) == '+' || Ch(Pos) == '-') Text.Add(Ch(Pos++));
  if (!IsDigit(Ch(Pos))) return false;
  int ExpValue = 0;
  for (; IsDigit(Ch(Pos)); ++Pos) {
    // Further digits could not change the (already infinite or zero) result.
    if (ExpValue > 4200) continue;
    Text.Add(Ch(Pos));
    ExpValue = ExpValue * 10 + (Ch(Pos) - '0');
  }
  return true;
}

// The number's text from Pos on: blanks, sign, digits, one separator, an exponent when
// allowed. Pos ends on the character that ended the number; false for a malformed number.
bool CollectNumber(std::string_view S, bool ExpAllowed, TSeparators IsSep, int& Pos, NumberChars& Text) {
  enum State { stStart, stSign, stInt, stFrac };
  const int N = static_cast<int>(S.size());
  auto Ch = [&](int P) { return P <= N ? UpperAscii(S[static_cast<size_t>(P) - 1]) : 'Z'; };
  State St = stStart;
  for (;; ++Pos) {
    const char C = Ch(Pos);
    if (St == stStart && C == ' ') continue;
    if (St == stStart && (C == '+' || C == '-')) {
      if (C == '-') Text.Add('-');
      St = stSign;
    } else if (IsDigit(C)) {
      Text.Add(C);
      if (St != stFrac) St = stInt;
    } else if (IsSep(C)) {
      if (St == stFrac) return false;  // a second separator
      Text.Add('.');
      St = stFrac;
    } else if (St == stStart || St == stSign) {
      return false;  // no digit and no separator yet
    } else if (C == 'E' && ExpAllowed) {
      Text.Add('E');
      ++Pos;
      if (!CollectExponent(S, Pos, Text)) return false;
      break;
    } else {
      break;
    }
  }
  if (Text.EndsWith('.')) Text.Add('0');
  return true;
}

}  // namespace

double ReadNumberAtView(std::string_view S, bool ExpAllowed, int Separators, int& Pos) {
  if (Pos < 1) Pos = 1;
  const TSeparators IsSep{Separators};
  double V = 0;
  if (ReadPlainNumber(S, ExpAllowed, IsSep, Pos, V)) return V;
  NumberChars Text;
  if (!CollectNumber(S, ExpAllowed, IsSep, Pos, Text)) return 0.0;
  V = Text.ToDouble();
  if (std::isnan(V)) return 0.0;
  if (V > uc_MaxDouble) V = uc_MaxDouble;
  if (V < -uc_MaxDouble) V = -uc_MaxDouble;
  return V;
}

double ReadNumberAt(const std::string& S, bool ExpAllowed, int Separators, int& Pos) {
  return ReadNumberAtView(S, ExpAllowed, Separators, Pos);
}

}  // namespace vek
