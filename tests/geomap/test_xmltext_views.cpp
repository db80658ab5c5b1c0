// The text routines and the landmark reader against literal, character-at-a-time versions
// of the same rules: every fast path must give the same results, positions and statuses.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <locale.h>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include "DegreeText.h"
#include "LandMarkXml.h"
#include "ShortString.h"
#include "TagReader.h"
#include "VekTypes.h"
#include "XmlText.h"

using namespace vek;

namespace ref {

bool IsDigit(char C) { return C >= '0' && C <= '9'; }
char UpperAscii(char C) { return (C >= 'a' && C <= 'z') ? static_cast<char>(C - 'a' + 'A') : C; }
bool IsWhite(char C) { return static_cast<unsigned char>(C) <= 32; }

std::string TrimWhite(const std::string& S) {
  size_t B = 0, E = S.size();
  while (B < E && IsWhite(S[B])) ++B;
  while (E > B && IsWhite(S[E - 1])) --E;
  return S.substr(B, E - B);
}

double StrToDoubleC(const char* Text) {
  static locale_t CLocale = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(nullptr));
  char* End = nullptr;
  return strtod_l(Text, &End, CLocale);
}

int SplitNextAttribute(const std::string& AttrText, int& Pos, std::string& Name, std::string& Value) {
  const int N = static_cast<int>(AttrText.size());
  Name.clear();
  Value.clear();
  if (Pos < 1) Pos = 1;
  if (Pos > N) return saPastEnd;
  auto At = [&](int P) { return AttrText[static_cast<size_t>(P) - 1]; };

  std::string RawName;
  while (Pos <= N && At(Pos) != '=') {
    if (At(Pos) == '"') {
      ++Pos;
      return saQuoteInName;
    }
    RawName += At(Pos);
    ++Pos;
  }
  Name = TrimWhite(RawName);
  if (Pos > N) return saOK;  // end of the text: a name without value
  ++Pos;                     // the '='
  while (Pos <= N && IsWhite(At(Pos))) ++Pos;
  if (Pos > N) return saOK;
  if (At(Pos) == '=') {
    ++Pos;
    return saDoubleEqual;
  }
  if (At(Pos) == '"') {
    ++Pos;
    while (Pos <= N && At(Pos) != '"') Value += At(Pos++);
    if (Pos <= N) ++Pos;  // the closing quote
    return saOK;
  }
  while (Pos <= N && !IsWhite(At(Pos)) && At(Pos) != '"') {
    if (At(Pos) == '=') {
      ++Pos;
      return saEqualInValue;
    }
    Value += At(Pos++);
  }
  return saOK;
}

std::string FindAttributeValue(const std::string& AttrText, const std::string& Name) {
  const std::string Wanted = LowerCaseAscii(Name);
  int Pos = 1;
  std::string N, V;
  while (SplitNextAttribute(AttrText, Pos, N, V) == saOK) {
    if (LowerCaseAscii(N) == Wanted) return V;
  }
  return std::string();
}

int32_t ReadIntegerAt(const std::string& S, int& Pos) {
  const int N = static_cast<int>(S.size());
  if (N == 0) return 0;
  if (Pos < 1) Pos = 1;
  auto At = [&](int P) { return S[static_cast<size_t>(P) - 1]; };
  while (Pos <= N && At(Pos) == ' ') ++Pos;
  bool Neg = false;
  if (Pos <= N && (At(Pos) == '+' || At(Pos) == '-')) {
    Neg = At(Pos) == '-';
    ++Pos;
  }
  int64_t V = 0;
  const int64_t Limit = Neg ? -static_cast<int64_t>(INT32_MIN) : INT32_MAX;
  while (Pos <= N && IsDigit(At(Pos))) {
    V = V * 10 + (At(Pos) - '0');
    if (V > Limit) V = Limit;
    ++Pos;
  }
  return static_cast<int32_t>(Neg ? -V : V);
}

double ReadNumberAt(const std::string& S, bool ExpAllowed, int Separators, int& Pos) {
  enum State { stStart, stSign, stInt, stSep, stFrac, stExp, stExpSign, stExpDigits };
  const int N = static_cast<int>(S.size());
  if (Pos < 1) Pos = 1;
  auto Ch = [&](int P) { return P <= N ? UpperAscii(S[static_cast<size_t>(P) - 1]) : 'Z'; };
  auto IsSep = [&](char C) {
    switch (Separators) {
      case nsComma: return C == ',';
      case nsPointOrComma: return C == '.' || C == ',';
      default: return C == '.';
    }
  };

  std::string Text;
  int ExpValue = 0;
  State St = stStart;
  for (;; ++Pos) {
    const char C = Ch(Pos);
    bool End = false, Error = false;
    switch (St) {
      case stStart:
        if (C == ' ') {
        } else if (C == '+' || C == '-') {
          if (C == '-') Text += '-';
          St = stSign;
        } else if (IsDigit(C)) {
          Text += C;
          St = stInt;
        } else if (IsSep(C)) {
          Text += '.';
          St = stSep;
        } else {
          Error = true;
        }
        break;
      case stSign:
        if (IsDigit(C)) {
          Text += C;
          St = stInt;
        } else if (IsSep(C)) {
          Text += '.';
          St = stSep;
        } else {
          Error = true;
        }
        break;
      case stInt:
        if (IsDigit(C)) {
          Text += C;
        } else if (IsSep(C)) {
          Text += '.';
          St = stSep;
        } else if (C == 'E' && ExpAllowed) {
          Text += 'E';
          St = stExp;
        } else {
          End = true;
        }
        break;
      case stSep:
      case stFrac:
        if (IsDigit(C)) {
          Text += C;
          St = stFrac;
        } else if (C == 'E' && ExpAllowed) {
          Text += 'E';
          St = stExp;
        } else if (IsSep(C)) {
          Error = true;
        } else {
          End = true;
        }
        break;
      case stExp:
        if (C == '+' || C == '-') {
          Text += C;
          St = stExpSign;
        } else if (IsDigit(C)) {
          Text += C;
          ExpValue = C - '0';
          St = stExpDigits;
        } else {
          Error = true;
        }
        break;
      case stExpSign:
        if (IsDigit(C)) {
          Text += C;
          ExpValue = C - '0';
          St = stExpDigits;
        } else {
          Error = true;
        }
        break;
      case stExpDigits:
        if (IsDigit(C)) {
          // Further digits could not change the (already infinite or zero) result.
          if (ExpValue <= 4200) {
            Text += C;
            ExpValue = ExpValue * 10 + (C - '0');
          }
        } else {
          End = true;
        }
        break;
    }
    if (Error) return 0.0;
    if (End) break;
  }
  if (!Text.empty() && Text.back() == '.') Text += '0';
  double V = StrToDoubleC(Text.c_str());
  if (std::isnan(V)) return 0.0;
  if (V > uc_MaxDouble) V = uc_MaxDouble;
  if (V < -uc_MaxDouble) V = -uc_MaxDouble;
  return V;
}



}  // namespace ref

namespace {

// The landmark of an attribute text as a lookup of each attribute by name gives it.
TLandMark RefLandMark(const std::string& A) {
  auto Val = [&](const char* Name) { return ref::FindAttributeValue(A, Name); };
  auto Num = [&](const char* Name) {
    int P = 1;
    return ref::ReadNumberAt(Val(Name), true, nsPointOrComma, P);
  };
  auto Int = [&](const char* Name) {
    int P = 1;
    return ref::ReadIntegerAt(Val(Name), P);
  };
  auto Flag = [&](const char* Name) { return LowerCaseAscii(Val(Name)).find("true") != std::string::npos; };
  auto Date = [&](const char* Name) {
    int Err = 0;
    return ScanDateTime(Val(Name), "yyyymmddHHMMSS", lanEnglish, Err);
  };
  auto Styles = [&](const char* Name) {
    const std::string V = Val(Name);
    TFontStyles S{};
    const TFontStyle Order[4] = {fsBold, fsItalic, fsUnderline, fsStrikeOut};
    for (size_t i = 0; i < 4 && i < V.size(); ++i)
      if (V[i] == '1') S.Include(Order[i]);
    return S;
  };
  TLandMark LM{};
  LM.Latitude = Num("lat");
  LM.Longitude = Num("long");
  LM.Altitude = Num("alti");
  LM.ClassFlag = static_cast<uint8_t>(Int("class") & 0xFF);
  LM.Tag = Int("usertag");
  const std::string E = LowerCaseAscii(Val("element"));
  const char* Names[] = {"square", "triangle", "circle", "arrowfrom", "arrowto", "crossbox", "spade"};
  const TLandMarkElement Kinds[] = {lmSquare, lmTriangle, lmCircle, lmArrowFrom, lmArrowTo, lmCrossBox, lmSpade};
  LM.SymbolProps.Kind = lmCross;
  for (int i = 0; i < 7; ++i)
    if (E == Names[i]) LM.SymbolProps.Kind = Kinds[i];
  const std::string K = Val("kind");
  if (!K.empty()) {
    int P = 1;
    const int32_t k = ref::ReadIntegerAt(K, P);
    if (k >= 0 && k < NumLandMarkElements && P == int(K.size()) + 1)
      LM.SymbolProps.Kind = static_cast<TLandMarkElement>(k);
  }
  LM.SymbolProps.Size = Int("size");
  LM.SymbolProps.FGColor = ScanHex(Val("colorfg"), 1);
  LM.SymbolProps.BGColor = ScanHex(Val("colorbg"), 1);
  LM.SymbolProps.Transparent = Flag("transp");
  LM.SymbolProps.Direction = Int("dir");
  LM.SymbolProps.Length = Int("leng");
  LM.Identifier.SetAnsi(Val("id"));
  LM.Time = Date("date");
  LM.Caption.Text.SetAnsi(Val("captext"));
  LM.Caption.Size = Int("capsize");
  LM.Caption.FontName = AnsiToUtf8(Val("capfnm"));
  LM.Caption.FGColor = ScanHex(Val("capfgcol"), 1);
  LM.Caption.BGColor = ScanHex(Val("capbgcol"), 1);
  LM.Caption.Transparent = Flag("captransp");
  LM.Caption.Direction = Int("capdir");
  LM.Caption.dx = Int("capdx");
  LM.Caption.dy = Int("capdy");
  LM.Caption.HAlignment = static_cast<TAlignment>(Int("caphal") & 0xFF);
  LM.Caption.VAlignment = static_cast<TVerticalAlignment>(Int("capval") & 0xFF);
  LM.Caption.FontStyles = Styles("capfst");
  return LM;
}

bool SameBits(double A, double B) { return std::memcmp(&A, &B, sizeof A) == 0; }

void ExpectSameLandMark(const TLandMark& Got, const TLandMark& Want, const std::string& Text) {
  EXPECT_TRUE(Got == Want) << Text;
  EXPECT_TRUE(SameBits(Got.Latitude, Want.Latitude)) << Text;
  EXPECT_TRUE(SameBits(Got.Longitude, Want.Longitude)) << Text;
  EXPECT_TRUE(SameBits(Got.Altitude, Want.Altitude)) << Text;
  EXPECT_TRUE(SameBits(Got.Time, Want.Time)) << Text;
}

// Attribute texts that break every rule of the dialect at least once.
const std::vector<std::string> kTricky = {
    "",
    " ",
    "=",
    "==",
    "\"",
    "a",
    "a=",
    "a= ",
    "a=\"",
    "a=\"\"",
    "a=\"1",
    " a = \"1\" ",
    "a==1 b=\"2\"",
    "a=1=2 b=3",
    "na\"me=1 b=2",
    "a=1\"b=2\"",
    "a=\"x = y\" b=\"\r\n\"",
    "\r\n\tlat\r\n=\r\n\"47\"\t long='8'",
    "lat=\"1\" LAT=\"2\" Lat=\"3\"",
    "LAT=\"2\" lat=\"1\"",
    "lat=47.5 long=8,25 alti=-1E3",
    "lat=\"47.5\"long=\"8\"",
    "lat = = \"1\"",
    "=\"1\" lat=\"2\"",
    "lat",
    "lat long=\"3\"",
    "latitude=\"9\" lat=\"1\" la=\"8\"",
    "lat=\"\" long=\"-\" alti=\"+\"",
    "lat=\"1.2.3\" long=\"1,2.3\" alti=\"1E\"",
    "lat=\" 12.5\" long=\"  -.5\" alti=\"3.\"",
    "lat=\"1E999999999\" long=\"-1E5000\" alti=\"1E-5000\"",
    "lat=\"4.9E-324\" long=\"2.2250738585072011E-308\" alti=\"1.7976931348623157E308\"",
    "lat=\"9007199254740993\" long=\"0.1000000000000000055511151231257827\" alti=\"-0\"",
    "class=\"300\" usertag=\"-2147483649\" size=\"99999999999\" dir=\"+7x\" leng=\" 3\"",
    "element=\"ArrowTo\" kind=\"2\"",
    "element=\"square\" kind=\"2x\"",
    "element=\"Plus\" kind=\"99\" KIND=\"1\"",
    "kind=\"\" element=\"SPADE\"",
    "kind=\"-1\" element=\"crossbox\"",
    "kind=\" 3\" element=\"circle \"",
    "transp=\"xTRUEx\" captransp=\"tru\"",
    "transp=\"\" captransp=\"True\"",
    "colorfg=\"$FF\" colorbg=\"0x1g\" capfgcol=\"ffffffffff\" capbgcol=\" 12\"",
    "date=\"20230915143000\"",
    "date=\"20240229000000\" capfst=\"1\"",
    "date=\"20230229000000\"",
    "date=\"20230431000000\"",
    "date=\"20231231235959\"",
    "date=\"20231301000000\"",
    "date=\"20230100000000\"",
    "date=\"20230101240000\"",
    "date=\"20230101006000\"",
    "date=\"20230101000060\"",
    "date=\"00000101000000\"",
    "date=\"2023091514300\"",
    "date=\"202309151430000\"",
    "date=\"2023-09-15 14:\"",
    "date=\"2023091514300x\"",
    "id=\"0123456789abcdefghij\" captext=\"x\" capfnm=\"Arial\"",
    "capfnm=\"\xE9t\xE9 \x80\x9F\" captext=\"\xFF\x01\"",
    "capfst=\"1010\" caphal=\"258\" capval=\"-1\" capdx=\"-5\" capdy=\"+5\" capdir=\"90\"",
    "capfst=\"\" capsize=\"\"",
    "L@T=\"1\" lat=\"2\" LONG=\"3\" l\x01ng=\"4\" {ong=\"5\"",
    "capTRANSP=\"true\" captransP=\"x\" captransq=\"true\" CAPFGCOL=\"FF\" capfgco=\"1\"",
    "capdx\xE1=\"1\" capdX=\"2\" CAPDY=\"3\" capd[=\"4\" colorfg\x7F=\"5\"",
};

// Attribute texts put together at random from the dialect's pieces and its faults.
std::string RandomAttributes(std::mt19937& Rng) {
  static const std::vector<std::string> kNames = {
      "lat", "LONG", "Alti", "class", "usertag", "element", "kind", "size", "colorfg", "colorbg",
      "transp", "dir", "leng", "id", "date", "captext", "capsize", "capfnm", "capfgcol",
      "capbgcol", "captransp", "capdir", "capdx", "capdy", "caphal", "capval", "capfst",
      "CAPTRANSP", "x", "", "latt", "la", "capfnmx"};
  static const std::vector<std::string> kValues = {
      "", "0", "-1", "+12", "47.125", "8,5", "1E5", "1e-3", "1.", ".5", "-.", "1.2.3", "1E",
      "00FF00FF", "$1A", "0x10", "TRUE", "false", "xtruex", "square", "ArrowFrom", "Spade",
      "20230915143000", "20240229120000", "20230230120000", "1010", "1", "0101x", " 7",
      "99999999999999999999", "Arial", "a b", "a=b", "\xE4\xF6", "3", "6", "12"};
  static const std::vector<std::string> kFaults = {"=", "==", "\"", " ", "\r\n", "\t", "x"};
  std::string A;
  const int Pairs = int(Rng() % 12);
  for (int i = 0; i < Pairs; ++i) {
    A += std::string(Rng() % 3, ' ');
    if (Rng() % 8 == 0) A += kFaults[Rng() % kFaults.size()];
    A += kNames[Rng() % kNames.size()];
    A += std::string(Rng() % 2, ' ');
    if (Rng() % 10 != 0) A += '=';
    A += std::string(Rng() % 2, ' ');
    const std::string& V = kValues[Rng() % kValues.size()];
    switch (Rng() % 8) {
      case 0: A += V; break;                // unquoted
      case 1: A += "\"" + V; break;         // unclosed
      default: A += "\"" + V + "\""; break;
    }
  }
  return A;
}

}  // namespace

TEST(XmlTextViews, SplitNextAttributeFromEveryPosition) {
  std::mt19937 Rng(5);
  std::vector<std::string> Texts = kTricky;
  for (int i = 0; i < 400; ++i) Texts.push_back(RandomAttributes(Rng));
  for (const std::string& A : Texts) {
    for (int Start = -1; Start <= int(A.size()) + 2; ++Start) {
      int PosRef = Start, Pos = Start, PosView = Start;
      std::string NRef = "old", VRef = "old", N = "old", V = "old";
      std::string_view NView = "old", VView = "old";
      const int SRef = ref::SplitNextAttribute(A, PosRef, NRef, VRef);
      ASSERT_EQ(SplitNextAttribute(A, Pos, N, V), SRef) << A << " @" << Start;
      EXPECT_EQ(Pos, PosRef) << A << " @" << Start;
      EXPECT_EQ(N, NRef) << A << " @" << Start;
      EXPECT_EQ(V, VRef) << A << " @" << Start;
      ASSERT_EQ(SplitNextAttributeView(A, PosView, NView, VView), SRef) << A << " @" << Start;
      EXPECT_EQ(PosView, PosRef);
      EXPECT_EQ(NView, NRef);
      EXPECT_EQ(VView, VRef);
    }
  }
}

TEST(XmlTextViews, FindAttributeValueAsTheLiteralSearch) {
  std::mt19937 Rng(6);
  std::vector<std::string> Texts = kTricky;
  for (int i = 0; i < 400; ++i) Texts.push_back(RandomAttributes(Rng));
  const std::vector<std::string> Names = {"lat", "LAT", "Lat", "long", "kind", "date", "x", "",
                                          "a", "b", "capfnm", "CapFnm", "la", "latitude"};
  for (const std::string& A : Texts)
    for (const std::string& N : Names) {
      const std::string Want = ref::FindAttributeValue(A, N);
      EXPECT_EQ(FindAttributeValue(A, N), Want) << A << " / " << N;
      EXPECT_EQ(FindAttributeValueView(A, N), Want) << A << " / " << N;
    }
}

TEST(XmlTextViews, NumberReadersAsTheLiteralStateMachine) {
  std::vector<std::string> Texts = {
      "", " ", "+", "-", ".", ",", "E", "e5", "1", "-0", "+0.", "12.5]", "  -.5", "12,5",
      "3.", "1.5E3x", "1.5e-3", "4.75E1", "1.2.3", "1,2.3", "1E", "1E+", "1E.5", "- 1", "x1",
      "1E999999999999999999999", "-1E5000", "1E-5000", "1E4200", "1E4201", "1E-4201",
      "4.9E-324", "2.4703282292062327E-324", "2.4703282292062328E-324", "1.7976931348623157E308",
      "1.7976931348623158E308", "1.797693134862315807E308", "1.8E308", "9007199254740993",
      "9007199254740993.0000000000000000000000001", "0.1000000000000000055511151231257827",
      "123456789012345678901234567890", "0.000000000000000000000000000000001234", ".E5", "1.E5",
      "  +.7e+0012", "2147483647", "2147483648", "-2147483648", "-2147483649", "007", "1 2"};
  Texts.push_back(std::string(400, '9'));
  Texts.push_back(std::string(5000, '9') + ".5");
  Texts.push_back("0." + std::string(400, '0') + "1E400");
  Texts.push_back("1E" + std::string(50, '0') + "5");
  std::mt19937 Rng(7);
  const std::string Alphabet = "0123456789012345678901234567890123456789.,eE+- xZ";
  for (int i = 0; i < 3000; ++i) {
    std::string S;
    const size_t Len = Rng() % 30;
    for (size_t k = 0; k < Len; ++k) S += Alphabet[Rng() % Alphabet.size()];
    Texts.push_back(S);
  }
  // Decimal texts across the whole range of doubles, to compare rounding.
  for (int i = 0; i < 20000; ++i) {
    std::string S = (Rng() % 2) ? "-" : "";
    const int Digits = 1 + int(Rng() % 25);
    for (int k = 0; k < Digits; ++k) S += char('0' + Rng() % 10);
    if (Rng() % 2) S.insert(S.size() - size_t(Rng() % Digits), ".");
    S += "E" + std::to_string(int(Rng() % 680) - 350);
    Texts.push_back(S);
  }
  // Short mantissas with small exponents, written in every way the reader accepts.
  for (int i = 0; i < 20000; ++i) {
    std::string S = (Rng() % 3 == 0) ? "-" : (Rng() % 2 ? "+" : "");
    const int Digits = 1 + int(Rng() % 17);
    for (int k = 0; k < Digits; ++k) S += char('0' + Rng() % 10);
    if (Rng() % 4) S.insert(S.size() - size_t(Rng() % (Digits + 1)), (Rng() % 2) ? "." : ",");
    if (Rng() % 2) S += std::string(Rng() % 2 ? "e" : "E") + (Rng() % 2 ? "-" : "") + std::to_string(Rng() % 40);
    Texts.push_back(S);
  }
  for (const std::string& S : Texts) {
    for (int Start = 0; Start <= std::min<int>(int(S.size()) + 1, 40); ++Start) {
      for (int Sep : {nsPoint, nsComma, nsPointOrComma})
        for (bool Exp : {true, false}) {
          int PosRef = Start, Pos = Start, PosView = Start;
          const double Want = ref::ReadNumberAt(S, Exp, Sep, PosRef);
          const double Got = ReadNumberAt(S, Exp, Sep, Pos);
          ASSERT_TRUE(SameBits(Got, Want)) << S << " @" << Start << ": " << Got << " vs " << Want;
          ASSERT_EQ(Pos, PosRef) << S << " @" << Start;
          ASSERT_TRUE(SameBits(ReadNumberAtView(S, Exp, Sep, PosView), Want)) << S;
          ASSERT_EQ(PosView, PosRef) << S;
        }
      int PosRef = Start, Pos = Start, PosView = Start;
      const int32_t Want = ref::ReadIntegerAt(S, PosRef);
      ASSERT_EQ(ReadIntegerAt(S, Pos), Want) << S << " @" << Start;
      ASSERT_EQ(Pos, PosRef) << S << " @" << Start;
      ASSERT_EQ(ReadIntegerAtView(S, PosView), Want) << S;
      ASSERT_EQ(PosView, PosRef) << S;
    }
  }
}

TEST(XmlTextViews, NumberReaderIgnoresTheApplicationsLocale) {
  // A locale with a decimal comma, where one is installed: the reader must not follow it.
  const char* Old = std::setlocale(LC_NUMERIC, nullptr);
  const std::string Saved = Old ? Old : "C";
  bool Switched = false;
  for (const char* L : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "C.UTF-8"})
    if (std::setlocale(LC_NUMERIC, L)) {
      Switched = true;
      break;
    }
  int Pos = 1;
  const double V = ReadNumberAt("12.625E1", true, nsPoint, Pos);
  int Pos2 = 1;
  const double W = ReadNumberAt(std::string(80, '1') + ".5", true, nsPoint, Pos2);
  std::setlocale(LC_NUMERIC, Saved.c_str());
  EXPECT_EQ(V, 126.25) << Switched;
  EXPECT_EQ(W, ref::StrToDoubleC((std::string(80, '1') + ".5").c_str()));
}

TEST(XmlTextViews, LandMarkAttributesAsALookupByName) {
  std::mt19937 Rng(8);
  std::vector<std::string> Texts = kTricky;
  for (int i = 0; i < 3000; ++i) Texts.push_back(RandomAttributes(Rng));
  // Dates at and beyond the edges of each field.
  for (int i = 0; i < 3000; ++i) {
    char D[32];
    std::snprintf(D, sizeof D, "%04d%02d%02d%02d%02d%02d", int(Rng() % 10000), int(Rng() % 15),
                  int(Rng() % 33), int(Rng() % 26), int(Rng() % 62), int(Rng() % 62));
    Texts.push_back(std::string("date=\"") + D + "\"");
  }
  // A value far longer than any field, and names far longer than any attribute's.
  Texts.push_back("captext=\"" + std::string(100000, 'x') + "\" lat=\"" + std::string(3000, '7') + "\"");
  Texts.push_back(std::string(5000, 'l') + "=\"1\" lat=\"2\"");
  // What the writer emits, in its order and shuffled.
  TLandMark LM{};
  LM.Latitude = 47.123456789;
  LM.Longitude = -8.5;
  LM.Caption.FontName = "Times New Roman Extra Long Name";
  LM.Caption.Text = "Caption";
  LM.Time = EncodeDateTime(2021, 2, 28, 23, 59, 59);
  const std::string E = LandMarkToElement(LM);
  std::string Attrs = E.substr(std::string("<landmark").size(), E.size() - 12);
  Texts.push_back(Attrs);
  std::vector<std::string> Pairs;
  int Pos = 1;
  std::string N, V;
  while (SplitNextAttribute(Attrs, Pos, N, V) == saOK && !N.empty()) Pairs.push_back(N + "=\"" + V + "\"");
  for (int i = 0; i < 50; ++i) {
    std::shuffle(Pairs.begin(), Pairs.end(), Rng);
    std::string T;
    for (const std::string& P : Pairs) T += P + " ";
    Texts.push_back(T);
  }
  for (const std::string& A : Texts) ExpectSameLandMark(LandMarkFromAttributes(A), RefLandMark(A), A.substr(0, 200));
}

namespace {

class LandMarkReaderPaths : public ::testing::Test {
 protected:
  void SetUp() override {
    path = (std::filesystem::temp_directory_path() /
            ("vek_lmviews_" + std::to_string(getpid()) + ".xml")).string();
  }
  void TearDown() override { std::filesystem::remove(path); }
  std::string path;
};

// The landmarks as the tag reader alone reads them after the root line.
std::vector<TLandMark> ByTagReader(const std::string& Path) {
  TextFile F;
  AssignFile(F, Path);
  Reset(F);
  std::string Line;
  while (ReadLn(F, Line) && Line.find("<gmlandmarks") == std::string::npos) {
  }
  std::vector<TLandMark> Out;
  std::string Content, Attrs;
  for (;;) {
    const int Tag = ReadNextTagInTextFile(F, XmlTags, XmlReaderTagHigh, Content, Attrs);
    if (Tag == xtGeoMapEnd || Tag == xtInvalidTag) break;
    if (Tag == xtLandmark) Out.push_back(RefLandMark(Attrs));
  }
  CloseFile(F);
  return Out;
}

}  // namespace

TEST_F(LandMarkReaderPaths, ElementsAcrossTheReadBufferAsTheTagReaderReadsThem) {
  // Element lengths around and beyond what the reader copies ahead when its buffer ends
  // inside an element, so that elements straddle buffer ends at many offsets.
  std::mt19937 Rng(9);
  std::string Body;
  const size_t Lengths[] = {0, 1, 50, 300, 4000, 8150, 8190, 8200, 9000, 70000};
  for (int i = 0; i < 300; ++i) {
    const size_t L = Lengths[Rng() % 10] + Rng() % 7;
    Body += "<landmark lat=\"" + std::to_string(i) + "\" captext=\"" + std::string(L, 'a' + char(i % 26)) +
            "\" id=\"n" + std::to_string(i) + "\"/>";
    Body += (i % 3 == 0) ? "\r\n" : (i % 3 == 1 ? "\n" : "");
    if (i % 97 == 0) Body += "<landmark lat=\"x\" captext=\"open\r\n";
    if (i % 89 == 0) Body += "<landmark lat=\"-1\"> <b>content</b> </landmark>\r\n";
  }
  std::ofstream(path, std::ios::binary)
      << "<gmlandmarks sig=\"Quillwort\" id=\"s\">\r\n" << Body << "</gmlandmarks>\r\n";
  TLandMarkStore S;
  ASSERT_TRUE(LoadLandMarks(path, "", S));
  const std::vector<TLandMark> Want = ByTagReader(path);
  ASSERT_GE(Want.size(), 300u);
  ASSERT_EQ(S.Items().size(), Want.size());
  for (size_t i = 0; i < Want.size(); ++i) ASSERT_TRUE(S.Items()[i] == Want[i]) << i;
}
