// Text routines of the XML dialect.
#include <gtest/gtest.h>

#include <string>

#include "Streams.h"
#include "VekTypes.h"
#include "XmlText.h"

using namespace vek;

TEST(CalibXmlText, FormatNumberIsFixedPointWithPoint) {
  EXPECT_EQ(FormatNumber(1, 5, 47.5), "47.50000");
  EXPECT_EQ(FormatNumber(1, 5, -8.123456), "-8.12346");
  EXPECT_EQ(FormatNumber(1, 5, 0.000004), "0.00000");
  EXPECT_EQ(FormatNumber(1, 5, -0.000004), "0.00000");  // no "-0.00000"
  EXPECT_EQ(FormatNumber(1, 3, 1234.5678), "1234.568");
  EXPECT_EQ(FormatNumber(8, 2, 3.14159), "    3.14");
  EXPECT_EQ(FormatNumber(1, 0, 2.5), "2");  // halves to even
  EXPECT_EQ(BoolToText(true), "TRUE");
  EXPECT_EQ(BoolToText(false), "FALSE");
}

TEST(CalibXmlText, GeneralFloatFormat) {
  EXPECT_EQ(FloatToStrGeneral(12.5, '.'), "12.5");
  EXPECT_EQ(FloatToStrGeneral(12.5, ','), "12,5");
  EXPECT_EQ(FloatToStrGeneral(-45, '.'), "-45");
  EXPECT_EQ(FloatToStrGeneral(0, '.'), "0");
  EXPECT_EQ(FloatToStrGeneral(0.1, '.'), "0.1");  // 15 digits hide the binary error
  EXPECT_EQ(FloatToStrGeneral(0.00001, '.'), "0.00001");
  EXPECT_EQ(FloatToStrGeneral(0.0000015, '.'), "1.5E-6");
  EXPECT_EQ(FloatToStrGeneral(123456789012345.0, '.'), "123456789012345");
  EXPECT_EQ(FloatToStrGeneral(1e15, '.'), "1E15");
  EXPECT_EQ(FloatToStrGeneral(1.0 / 3.0, '.'), "0.333333333333333");
}

TEST(CalibXmlText, PosOfNthOccurrence) {
  const std::string T = "abcABCabc";
  EXPECT_EQ(PosOfNthOccurrence("abc", T, 1, false, 1), 1);
  EXPECT_EQ(PosOfNthOccurrence("abc", T, 1, false, 2), 7);
  EXPECT_EQ(PosOfNthOccurrence("abc", T, 1, false, 3), 0);
  EXPECT_EQ(PosOfNthOccurrence("abc", T, 1, true, 2), 4);
  EXPECT_EQ(PosOfNthOccurrence("abc", T, 2, true, 1), 4);
  EXPECT_EQ(PosOfNthOccurrence("abc", T, -5, false, 1), 1);  // start <= 0 counts as 1
  EXPECT_EQ(PosOfNthOccurrence("abc", T, 100, false, 1), 0);
  EXPECT_EQ(PosOfNthOccurrence("aa", "aaaa", 1, false, 3), 3);
  EXPECT_EQ(PosOfNthOccurrence("", T, 1, false, 1), 0);
}

TEST(CalibXmlText, TrimSpacesOnlyBlanks) {
  EXPECT_EQ(TrimSpaces("  a b  "), "a b");
  EXPECT_EQ(TrimSpaces("    "), "");
  EXPECT_EQ(TrimSpaces("\tx\t"), "\tx\t");
}

TEST(CalibXmlText, ReadStreamLineStripsLineEnds) {
  TMemoryStream S;
  const std::string Text = "one\r\ntwo\nthree\n\rfour";
  S.Write(Text.data(), static_cast<int64_t>(Text.size()));
  S.SetPosition(0);
  bool End = false;
  std::string L;
  ReadStreamLine(S, End, L);
  EXPECT_EQ(L, "one");
  EXPECT_FALSE(End);
  ReadStreamLine(S, End, L);
  EXPECT_EQ(L, "two");
  ReadStreamLine(S, End, L);
  EXPECT_EQ(L, "three");
  ReadStreamLine(S, End, L);
  EXPECT_EQ(L, "\rfour");  // no LF seen: nothing stripped
  EXPECT_TRUE(End);
  ReadStreamLine(S, End, L);
  EXPECT_EQ(L, "");
  EXPECT_TRUE(End);
}

TEST(CalibXmlText, SplitNextAttributeStatuses) {
  std::string N, V;
  int Pos = 1;
  const std::string A = "type=\"a = b\" npoints=12 x =  \"q\"";
  EXPECT_EQ(SplitNextAttribute(A, Pos, N, V), saOK);
  EXPECT_EQ(N, "type");
  EXPECT_EQ(V, "a = b");
  EXPECT_EQ(SplitNextAttribute(A, Pos, N, V), saOK);
  EXPECT_EQ(N, "npoints");
  EXPECT_EQ(V, "12");
  EXPECT_EQ(SplitNextAttribute(A, Pos, N, V), saOK);
  EXPECT_EQ(N, "x");
  EXPECT_EQ(V, "q");
  EXPECT_EQ(SplitNextAttribute(A, Pos, N, V), saPastEnd);

  Pos = 1;
  EXPECT_EQ(SplitNextAttribute("na\"me=1", Pos, N, V), saQuoteInName);
  Pos = 1;
  EXPECT_EQ(SplitNextAttribute("a==1", Pos, N, V), saDoubleEqual);
  Pos = 1;
  EXPECT_EQ(SplitNextAttribute("a=1=2", Pos, N, V), saEqualInValue);
  Pos = 1;
  EXPECT_EQ(SplitNextAttribute("lonely", Pos, N, V), saOK);  // end of the text
  EXPECT_EQ(N, "lonely");
  EXPECT_EQ(V, "");
}

TEST(CalibXmlText, FindAttributeValue) {
  const std::string A = "Type=\"Parallel\" value=\"12,5\"  NPOINTS=\"3\"";
  EXPECT_EQ(FindAttributeValue(A, "type"), "Parallel");
  EXPECT_EQ(FindAttributeValue(A, "VALUE"), "12,5");
  EXPECT_EQ(FindAttributeValue(A, "npoints"), "3");
  EXPECT_EQ(FindAttributeValue(A, "missing"), "");
  // A malformed pair ends the search.
  EXPECT_EQ(FindAttributeValue("a==1 b=\"2\"", "b"), "");
  EXPECT_EQ(FindAttributeValue("", "b"), "");
  // Attribute texts of tags broken over lines.
  EXPECT_EQ(FindAttributeValue("a=\"1\"\r\n  b=\"2\"", "b"), "2");
}

TEST(CalibXmlText, ReadIntegerAt) {
  int Pos = 1;
  EXPECT_EQ(ReadIntegerAt("  -42,7", Pos), -42);
  EXPECT_EQ(Pos, 6);
  ++Pos;
  EXPECT_EQ(ReadIntegerAt("  -42,7", Pos), 7);
  EXPECT_EQ(Pos, 8);
  Pos = 1;
  EXPECT_EQ(ReadIntegerAt("+15x", Pos), 15);
  EXPECT_EQ(Pos, 4);
  Pos = 1;
  EXPECT_EQ(ReadIntegerAt("abc", Pos), 0);
  Pos = 1;
  EXPECT_EQ(ReadIntegerAt("", Pos), 0);
  Pos = 50;
  EXPECT_EQ(ReadIntegerAt("12", Pos), 0);  // past the end: nothing read
  Pos = 1;
  EXPECT_EQ(ReadIntegerAt("99999999999999999999", Pos), INT32_MAX);
  Pos = 1;
  EXPECT_EQ(ReadIntegerAt("-99999999999999999999", Pos), INT32_MIN);
}

TEST(CalibXmlText, ReadNumberAtStateMachine) {
  auto Read = [](const std::string& S, bool Exp, int Sep, int Start = 1) {
    int Pos = Start;
    const double V = ReadNumberAt(S, Exp, Sep, Pos);
    return std::make_pair(V, Pos);
  };
  EXPECT_EQ(Read("12.5]", true, nsPoint), std::make_pair(12.5, 5));
  EXPECT_EQ(Read("  -.5", true, nsPoint), std::make_pair(-0.5, 6));
  EXPECT_EQ(Read("12,5", true, nsComma).first, 12.5);
  EXPECT_EQ(Read("12,5", true, nsPoint), std::make_pair(12.0, 3));  // ',' ends the number
  EXPECT_EQ(Read("12,5", true, nsPointOrComma).first, 12.5);
  EXPECT_EQ(Read("3.", true, nsPoint).first, 3.0);
  EXPECT_EQ(Read("1.5E3x", true, nsPoint), std::make_pair(1500.0, 6));
  EXPECT_EQ(Read("1.5e-3", true, nsPoint).first, 0.0015);
  EXPECT_EQ(Read("4.75E1", false, nsPoint), std::make_pair(4.75, 5));  // stops at the E
  EXPECT_EQ(Read("+7", true, nsPoint).first, 7.0);
  // Errors read as 0.
  EXPECT_EQ(Read("1.2.3", true, nsPoint).first, 0.0);
  EXPECT_EQ(Read("1,2.3", true, nsPointOrComma).first, 0.0);
  EXPECT_EQ(Read("1E", true, nsPoint).first, 0.0);
  EXPECT_EQ(Read("1E+", true, nsPoint).first, 0.0);
  EXPECT_EQ(Read("1E.5", true, nsPoint).first, 0.0);
  EXPECT_EQ(Read("- 1", true, nsPoint).first, 0.0);
  EXPECT_EQ(Read("x1", true, nsPoint).first, 0.0);
  EXPECT_EQ(Read("", true, nsPoint).first, 0.0);
  EXPECT_EQ(Read("12", true, nsPoint, 9).first, 0.0);
  // Out of range: clamped, and exponents of any length end.
  EXPECT_EQ(Read("1E999999999999999999999", true, nsPoint).first, uc_MaxDouble);
  EXPECT_EQ(Read("-1E5000", true, nsPoint).first, -uc_MaxDouble);
  EXPECT_EQ(Read("1E-5000", true, nsPoint).first, 0.0);
  const std::string Long = std::string(400, '9');
  EXPECT_EQ(Read(Long, true, nsPoint).first, uc_MaxDouble);
}
