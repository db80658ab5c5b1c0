#include "DegreeText.h"

#include <cmath>
#include <cstdio>

namespace vek {

namespace {

const char kDegreeSign[] = "\xC2\xB0";  // U+00B0 in UTF-8

std::string FixedText(double v, int decimals, int intDigits) {
  char buf[400];  // room for the 309 digits of the largest double
  const int width = intDigits + (decimals > 0 ? decimals + 1 : 0);
  std::snprintf(buf, sizeof buf, "%0*.*f", width, decimals, v);
  return buf;
}

}  // namespace

std::string DegreeToStr(double Value, TDegreeFormat Format, int Decimals) {
  if (std::isnan(Value)) return "NaN";
  if (Decimals < 0) Decimals = 0;
  if (Decimals > 12) Decimals = 12;
  const std::string sign = Value < 0 ? "-" : "";
  double a = std::fabs(Value);
  if (std::isinf(a)) return sign + "Inf";
  if (Format == dfDegrees) {
    const std::string text = FixedText(a, Decimals, 1);
    // A value that rounds to zero is shown without a sign.
    const bool zero = text.find_first_not_of("0.") == std::string::npos;
    return (zero ? "" : sign) + text + kDegreeSign;
  }
  // Round once in units of the last field, then split, so that 59.99' never shows as 60'.
  const double unitsPerDeg = Format == dfDegMin ? 60.0 : 3600.0;
  const double scale = std::pow(10.0, Decimals);
  const double total = std::nearbyint(a * unitsPerDeg * scale);  // last-field units * scale
  const double perDeg = unitsPerDeg * scale;
  const double deg = std::floor(total / perDeg);
  double rest = total - deg * perDeg;
  std::string text = FixedText(deg, 0, 1) + kDegreeSign;
  if (Format == dfDegMin) {
    text += FixedText(rest / scale, Decimals, 2) + "'";
  } else {
    const double perMin = 60.0 * scale;
    const double min = std::floor(rest / perMin);
    rest -= min * perMin;
    text += FixedText(min, 0, 2) + "'" + FixedText(rest / scale, Decimals, 2) + "\"";
  }
  return (total == 0 ? "" : sign) + text;
}

// Days from 1970-01-01 to Year-Month-Day in the proleptic Gregorian calendar.
static constexpr int64_t DaysFromCivil(int64_t y, int m, int d) {
  // Howard Hinnant's algorithm, days since 1970-01-01.
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

static void CivilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

// 1899-12-30 relative to 1970-01-01.
static constexpr int64_t kEpochOffset = DaysFromCivil(1899, 12, 30);

TDateTime EncodeDateTime(int Year, int Month, int Day, int Hour, int Minute, int Second) {
  const double days = static_cast<double>(DaysFromCivil(Year, Month, Day) - kEpochOffset);
  const double frac = (Hour * 3600.0 + Minute * 60.0 + Second) / 86400.0;
  // Before the epoch the fraction counts away from day 0, as TDateTime does.
  return days >= 0 ? days + frac : days - frac;
}

void DecodeDateTime(TDateTime T, int& Year, int& Month, int& Day, int& Hour, int& Minute,
                    int& Second) {
  Year = 1899, Month = 12, Day = 30, Hour = Minute = Second = 0;
  if (!std::isfinite(T) || std::fabs(T) > 3.0e6) return;  // beyond year 10000
  const double dayPart = std::trunc(T);
  double frac = std::fabs(T - dayPart);
  int64_t secs = static_cast<int64_t>(std::nearbyint(frac * 86400.0));
  int64_t day = static_cast<int64_t>(dayPart);
  if (secs >= 86400) {
    secs -= 86400;
    day += T >= 0 ? 1 : -1;
  }
  CivilFromDays(day + kEpochOffset, Year, Month, Day);
  Hour = static_cast<int>(secs / 3600);
  Minute = static_cast<int>(secs / 60 % 60);
  Second = static_cast<int>(secs % 60);
}

namespace {

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

const char* const kMonthNames[2][12] = {
    {"jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"},
    {"jan", "feb", "mär", "apr", "mai", "jun", "jul", "aug", "sep", "okt", "nov", "dez"}};

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

TDateTime ScanDateTime(const std::string& S, const std::string& Pattern, TLanguage Language,
                       int& ErrPos) {
  int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0;
  size_t si = 0, pi = 0;
  // Positions in S where each field started, to point at a field that is out of range.
  size_t posMonth = 0, posDay = 0, posHour = 0, posMin = 0, posSec = 0;
  auto fail = [&](size_t pos) {
    ErrPos = static_cast<int>(pos + 1);
    return TDateTime(0);
  };
  auto readDigits = [&](int n, int& value) -> bool {
    value = 0;
    for (int k = 0; k < n; ++k) {
      if (si >= S.size() || S[si] < '0' || S[si] > '9') return false;
      value = value * 10 + (S[si] - '0');
      ++si;
    }
    return true;
  };
  auto field = [&](const char* name) {
    const size_t len = std::char_traits<char>::length(name);
    return Pattern.compare(pi, len, name) == 0;
  };
  while (pi < Pattern.size()) {
    const size_t start = si;
    if (field("yyyy")) {
      if (!readDigits(4, year)) return fail(si);
      pi += 4;
    } else if (field("mmm")) {
      const int lang = Language == lanGerman ? 1 : 0;
      int found = 0;
      for (int m = 0; m < 12 && found == 0; ++m) {
        const std::string name = kMonthNames[lang][m];
        bool eq = si + name.size() <= S.size();
        for (size_t k = 0; eq && k < name.size(); ++k) eq = Lower(S[si + k]) == name[k];
        if (eq) {
          found = m + 1;
          si += name.size();
        }
      }
      if (found == 0) return fail(si);
      month = found;
      posMonth = start;
      pi += 3;
    } else if (field("mm")) {
      if (!readDigits(2, month)) return fail(si);
      posMonth = start;
      pi += 2;
    } else if (field("dd")) {
      if (!readDigits(2, day)) return fail(si);
      posDay = start;
      pi += 2;
    } else if (field("HH")) {
      if (!readDigits(2, hour)) return fail(si);
      posHour = start;
      pi += 2;
    } else if (field("MM")) {
      if (!readDigits(2, minute)) return fail(si);
      posMin = start;
      pi += 2;
    } else if (field("SS")) {
      if (!readDigits(2, second)) return fail(si);
      posSec = start;
      pi += 2;
    } else {
      if (si >= S.size() || S[si] != Pattern[pi]) return fail(si);
      ++si;
      ++pi;
    }
  }
  if (si < S.size()) return fail(si);
  if (month < 1 || month > 12) return fail(posMonth);
  if (day < 1 || day > DaysInMonth(year, month)) return fail(posDay);
  if (hour > 23) return fail(posHour);
  if (minute > 59) return fail(posMin);
  if (second > 59) return fail(posSec);
  ErrPos = 0;
  return EncodeDateTime(year, month, day, hour, minute, second);
}

uint32_t ScanHex(const std::string& S, int Pos) {
  if (Pos < 1) Pos = 1;
  size_t i = static_cast<size_t>(Pos - 1);
  while (i < S.size() && S[i] == ' ') ++i;
  if (i < S.size() && S[i] == '$')
    ++i;
  else if (i + 1 < S.size() && S[i] == '0' && (S[i + 1] == 'x' || S[i + 1] == 'X'))
    i += 2;
  uint32_t v = 0;
  for (; i < S.size(); ++i) {
    const char c = S[i];
    int d;
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (c >= 'a' && c <= 'f')
      d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
      d = c - 'A' + 10;
    else
      break;
    v = (v << 4) | static_cast<uint32_t>(d);
  }
  return v;
}

std::string Hex(uint64_t Value, int Digits) {
  if (Digits < 1) Digits = 1;
  if (Digits > 64) Digits = 64;
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out(static_cast<size_t>(Digits), '0');
  for (int k = Digits - 1; k >= 0 && Value != 0; --k) {
    out[static_cast<size_t>(k)] = kDigits[Value & 0xF];
    Value >>= 4;
  }
  return out;
}

}  // namespace vek
