#include <gtest/gtest.h>

#include <random>

#include "Vek_support.h"

namespace vek {
namespace {

TEST(StringIx, OneBasedExactMatch) {
  const std::string list[] = {"gelWGS84", "gelGRS80", "gelBessel"};
  EXPECT_EQ(StringIx("gelWGS84", list, 2), 1);
  EXPECT_EQ(StringIx("gelBessel", list, 2), 3);
  EXPECT_EQ(StringIx("gelBessel", list, 1), 0);  // beyond High
  EXPECT_EQ(StringIx("gelwgs84", list, 2), 0);   // case matters
  EXPECT_EQ(StringIx("", list, 2), 0);
  const std::vector<std::string> v(list, list + 3);
  EXPECT_EQ(StringIx("gelGRS80", v, 2), 2);
  EXPECT_EQ(StringIx("gelBessel", v, 99), 3);  // High past the end is safe
}

TEST(FileNames, StripPathAndExtensionWithBothSeparators) {
  EXPECT_EQ(StripPath("C:\\maps\\world.db"), "world.db");
  EXPECT_EQ(StripPath("/home/u/maps/world.db"), "world.db");
  EXPECT_EQ(StripPath("mixed/dir\\name.jpg"), "name.jpg");
  EXPECT_EQ(StripPath("plain"), "plain");
  EXPECT_EQ(StripPath("dir/"), "");
  EXPECT_EQ(StripExtension("C:\\maps\\world.db"), "C:\\maps\\world");
  EXPECT_EQ(StripExtension("/data/v1.2/world"), "/data/v1.2/world");  // dot in a directory
  EXPECT_EQ(StripExtension("a.tar.gz"), "a.tar");
  EXPECT_EQ(StripExtension("noext"), "noext");
  EXPECT_EQ(StripExtension("x."), "x");
}

TEST(FileNames, ReduceToShortNameCharacters) {
  EXPECT_EQ(ReduceStringToFN83CompliantChars("My Map: v1/2*?.jpg"), "MyMapv12.jpg");
  EXPECT_EQ(ReduceStringToFN83CompliantChars("a_b-c~(1)!#$%&'@^`{}"), "a_b-c~(1)!#$%&'@^`{}");
  EXPECT_EQ(ReduceStringToFN83CompliantChars("..\\..\\etc"), "....etc");
  EXPECT_EQ(ReduceStringToFN83CompliantChars("Z\xC3\xBCrich"), "Z\xC3\xBCrich");
  EXPECT_EQ(ReduceStringToFN83CompliantChars(std::string("a\0\tb\"<>|", 8)), "ab");
}

TEST(DegreeToStr, ThreeFormats) {
  EXPECT_EQ(DegreeToStr(47.5, dfDegrees, 2), "47.50\xC2\xB0");
  EXPECT_EQ(DegreeToStr(47, dfDegrees, 0), "47\xC2\xB0");
  EXPECT_EQ(DegreeToStr(47.5, dfDegMin, 1), "47\xC2\xB0" "30.0'");
  EXPECT_EQ(DegreeToStr(8.0875, dfDegMin, 0), "8\xC2\xB0" "05'");
  EXPECT_EQ(DegreeToStr(47.5125, dfDegMinSec, 0), "47\xC2\xB0" "30'45\"");
  EXPECT_EQ(DegreeToStr(0.05, dfDegMinSec, 1), "0\xC2\xB0" "03'00.0\"");
  EXPECT_EQ(DegreeToStr(-12.25, dfDegMin, 0), "-12\xC2\xB0" "15'");
}

TEST(DegreeToStr, RoundingCarriesIntoHigherFields) {
  EXPECT_EQ(DegreeToStr(47.99999, dfDegMin, 1), "48\xC2\xB0" "00.0'");
  EXPECT_EQ(DegreeToStr(9.9999999, dfDegMinSec, 2), "10\xC2\xB0" "00'00.00\"");
  EXPECT_EQ(DegreeToStr(-0.00001, dfDegMin, 0), "0\xC2\xB0" "00'");  // no "-0"
  EXPECT_EQ(DegreeToStr(-0.001, dfDegrees, 1), "0.0\xC2\xB0");
}

TEST(DegreeToStr, OddInput) {
  EXPECT_EQ(DegreeToStr(NAN, dfDegrees, 2), "NaN");
  EXPECT_EQ(DegreeToStr(-INFINITY, dfDegMin, 2), "-Inf");
  EXPECT_EQ(DegreeToStr(1.5, dfDegrees, -3), "2\xC2\xB0");  // Decimals below 0 count as 0
  EXPECT_EQ(DegreeToStr(1, dfDegrees, 99).size(), std::string("1.000000000000\xC2\xB0").size());
  EXPECT_EQ(DegreeToStr(1, static_cast<TDegreeFormat>(9), 0).empty(), false);
}

TEST(ScanDateTime, ReadsTheLandmarkPattern) {
  int err = -1;
  const TDateTime t = ScanDateTime("20230915143000", "yyyymmddHHMMSS", lanEnglish, err);
  EXPECT_EQ(err, 0);
  // 2023-09-15 is day 45184 after 1899-12-30.
  EXPECT_NEAR(t, 45184 + (14 * 3600 + 30 * 60) / 86400.0, 1e-9);
  int y, mo, d, h, mi, s;
  DecodeDateTime(t, y, mo, d, h, mi, s);
  EXPECT_EQ(y, 2023);
  EXPECT_EQ(mo, 9);
  EXPECT_EQ(d, 15);
  EXPECT_EQ(h, 14);
  EXPECT_EQ(mi, 30);
  EXPECT_EQ(s, 0);
}

TEST(ScanDateTime, EpochLeapDaysAndOtherPatterns) {
  int err;
  EXPECT_EQ(ScanDateTime("18991230000000", "yyyymmddHHMMSS", lanEnglish, err), 0);
  EXPECT_EQ(err, 0);
  EXPECT_EQ(ScanDateTime("19000101", "yyyymmdd", lanEnglish, err), 2);
  EXPECT_EQ(ScanDateTime("2000-02-29", "yyyy-mm-dd", lanEnglish, err), 36585);
  EXPECT_EQ(err, 0);
  EXPECT_EQ(ScanDateTime("15 Sep 2023", "dd mmm yyyy", lanEnglish, err), 45184);
  EXPECT_EQ(ScanDateTime("15 Okt 2023", "dd mmm yyyy", lanGerman, err), 45214);
  EXPECT_EQ(err, 0);
}

TEST(ScanDateTime, ErrorPositions) {
  int err;
  EXPECT_EQ(ScanDateTime("", "yyyymmddHHMMSS", lanEnglish, err), 0);
  EXPECT_EQ(err, 1);
  ScanDateTime("2023x915143000", "yyyymmddHHMMSS", lanEnglish, err);
  EXPECT_EQ(err, 5);
  ScanDateTime("20231315143000", "yyyymmddHHMMSS", lanEnglish, err);
  EXPECT_EQ(err, 5);  // month 13
  ScanDateTime("20230231000000", "yyyymmddHHMMSS", lanEnglish, err);
  EXPECT_EQ(err, 7);  // February 31
  ScanDateTime("20230915243000", "yyyymmddHHMMSS", lanEnglish, err);
  EXPECT_EQ(err, 9);
  ScanDateTime("2023091514", "yyyymmddHHMMSS", lanEnglish, err);
  EXPECT_EQ(err, 11);  // one past the end
  ScanDateTime("20230915143000Z", "yyyymmddHHMMSS", lanEnglish, err);
  EXPECT_EQ(err, 15);  // trailing text
  ScanDateTime("2023/09", "yyyy-mm", lanEnglish, err);
  EXPECT_EQ(err, 5);
}

TEST(Hex, ExactDigitsUpperCase) {
  EXPECT_EQ(Hex(0x00FF8000, 8), "00FF8000");
  EXPECT_EQ(Hex(0, 8), "00000000");
  EXPECT_EQ(Hex(0xABC, 2), "BC");  // higher digits dropped
  EXPECT_EQ(Hex(0xFFFFFFFFu, 8), "FFFFFFFF");
  EXPECT_EQ(Hex(5, 0), "5");
  EXPECT_EQ(Hex(0xFFFFFFFFu, 10), "00FFFFFFFF");
}

TEST(ScanHex, ReadsBackEveryHexOf8Digits) {
  const uint32_t edge[] = {0, 1, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0xC0C0C0};
  for (uint32_t v : edge) EXPECT_EQ(ScanHex(Hex(v, 8), 1), v);
  std::mt19937 rng(3);
  bool ok = true;
  for (int i = 0; i < 100000; ++i) {
    const uint32_t v = static_cast<uint32_t>(rng());
    ok = ok && ScanHex(Hex(v, 8), 1) == v;
  }
  EXPECT_TRUE(ok);
}

TEST(ScanHex, PositionsPrefixesAndMalformedText) {
  EXPECT_EQ(ScanHex("color=00ff00", 7), 0x00FF00u);
  EXPECT_EQ(ScanHex("  $1F", 1), 0x1Fu);
  EXPECT_EQ(ScanHex("0x10g", 1), 0x10u);
  EXPECT_EQ(ScanHex("", 1), 0u);
  EXPECT_EQ(ScanHex("zz", 1), 0u);
  EXPECT_EQ(ScanHex("12", 5), 0u);
  EXPECT_EQ(ScanHex("12", -3), 0x12u);
  EXPECT_EQ(ScanHex("123456789", 1), 0x23456789u);  // modulo 2^32
}

TEST(ShortString, ConvertsToWindows1252AndCuts) {
  ShortString<5> s("Z\xC3\xBCrich");  // "Zürich"
  EXPECT_EQ(s.Len, 5);
  EXPECT_EQ(s.ansi(), "Z\xFCric");  // ü is one byte, cut to 5 characters
  EXPECT_EQ(s.str(), "Z\xC3\xBCric");
  ShortString<10> euro("\xE2\x82\xAC 5");
  EXPECT_EQ(euro.ansi(), "\x80 5");
  EXPECT_EQ(euro.str(), "\xE2\x82\xAC 5");
  ShortString<10> cjk("\xE4\xB8\xAD");  // not in the code page
  EXPECT_EQ(cjk.ansi(), "?");
  EXPECT_TRUE(ShortString<3>("abcdef") == "abc");
  EXPECT_EQ(sizeof(ShortString<40>), 41u);
}

TEST(ShortString, MalformedUtf8KeepsItsBytes) {
  EXPECT_EQ(Utf8ToAnsi("a\xC3"), "a\xC3");          // cut short
  EXPECT_EQ(Utf8ToAnsi("\xC3(x"), "\xC3(x");        // bad continuation
  EXPECT_EQ(AnsiToUtf8("\x81"), "\xC2\x81");        // unassigned byte maps to U+0081
  EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8("\x9F\xA0\xFF")), "\x9F\xA0\xFF");
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(all)), all);
}

}  // namespace
}  // namespace vek
