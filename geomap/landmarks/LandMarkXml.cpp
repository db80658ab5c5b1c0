#include "LandMarkXml.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "DegreeText.h"
#include "TagReader.h"
#include "XmlText.h"

namespace vek {

namespace {

const std::string kDatePattern = "yyyymmddHHMMSS";

// The attributes of a landmark element, in the order the writer emits them.
enum LandMarkAttr : int {
  laLat, laLong, laAlti, laClass, laUserTag, laElement, laKind, laSize, laColorFG, laColorBG,
  laTransp, laDir, laLeng, laId, laDate, laCapText, laCapSize, laCapFnm, laCapFGCol,
  laCapBGCol, laCapTransp, laCapDir, laCapDx, laCapDy, laCapHAl, laCapVAl, laCapFst,
  laCount
};

constexpr std::string_view kAttrNames[laCount] = {
    "lat",      "long",     "alti",     "class",    "usertag",   "element", "kind",
    "size",     "colorfg",  "colorbg",  "transp",   "dir",       "leng",    "id",
    "date",     "captext",  "capsize",  "capfnm",   "capfgcol",  "capbgcol", "captransp",
    "capdir",   "capdx",    "capdy",    "caphal",   "capval",    "capfst"};

inline char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

// Name is Lower (given in lower case, of the same length) in any letter case.
inline bool IsNameOf(std::string_view Name, const char* Lower) {
  for (size_t i = 0; i < Name.size(); ++i)
    if (LowerAscii(Name[i]) != Lower[i]) return false;
  return true;
}

// The names padded with zeros to the longest, for a comparison without early exits.
constexpr size_t kLongestAttr = 9;  // "captransp"
constexpr struct PaddedNames {
  char of[laCount][kLongestAttr] = {};
  constexpr PaddedNames() {
    for (int i = 0; i < laCount; ++i)
      for (size_t k = 0; k < kAttrNames[i].size(); ++k) of[i][k] = kAttrNames[i][k];
  }
} kPadded;

// The first eight characters of each name as one little-endian word.
constexpr struct NameWords {
  uint64_t of[laCount] = {};
  constexpr NameWords() {
    for (int i = 0; i < laCount; ++i)
      for (size_t k = 0; k < 8 && k < kAttrNames[i].size(); ++k)
        of[i] |= uint64_t(uint8_t(kAttrNames[i][k])) << (8 * k);
  }
} kNameWords;

constexpr bool NamesAreLowerLetters() {
  for (const std::string_view n : kAttrNames)
    for (const char c : n)
      if (c < 'a' || c > 'z') return false;
  return true;
}
static_assert(NamesAreLowerLetters(), "the word comparison of names needs letters only");

// Name is attribute ix in any letter case. BufEnd is the end of the text Name lies in:
// with eight characters to spare there, the name is compared as one word. The names are
// letters only, and a byte ORed with 0x20 equals a lower-case letter exactly when it is
// that letter in either case.
inline bool IsAttr(std::string_view Name, int ix, const char* BufEnd) {
  const size_t len = kAttrNames[ix].size();
  if (Name.size() != len) return false;
  if constexpr (std::endian::native == std::endian::little) {
    if (BufEnd - Name.data() >= 8) {
      uint64_t w;
      std::memcpy(&w, Name.data(), 8);
      const uint64_t mask = len >= 8 ? ~uint64_t(0) : (uint64_t(1) << (8 * len)) - 1;
      if (((w | 0x2020202020202020u) ^ kNameWords.of[ix]) & mask) return false;
      return len <= 8 || LowerAscii(Name[8]) == kAttrNames[ix][8];
    }
  }
  unsigned diff = 0;
  for (size_t k = 0; k < kLongestAttr; ++k) {
    const char c = k < Name.size() ? LowerAscii(Name[k]) : '\0';
    diff |= unsigned(uint8_t(c ^ kPadded.of[ix][k]));
  }
  return diff == 0;
}

// Index of an attribute name (any letter case), -1 for names the table does not hold.
// Expected is tried first: files mostly hold the attributes in the order the writer emits
// them.
int AttrIndex(std::string_view Name, int Expected, const char* BufEnd) {
  if (Expected >= 0 && Expected < laCount && IsAttr(Name, Expected, BufEnd)) return Expected;
  constexpr size_t kLongest = kLongestAttr;
  static const struct ByLength {
    int ix[kLongest + 1][laCount];
    int n[kLongest + 1] = {};
    ByLength() {
      for (int i = 0; i < laCount; ++i) {
        const size_t len = kAttrNames[i].size();
        ix[len][n[len]++] = i;
      }
    }
  } table;
  if (Name.empty() || Name.size() > kLongest) return -1;
  const size_t len = Name.size();
  for (int k = 0; k < table.n[len]; ++k) {
    const int i = table.ix[len][k];
    if (IsNameOf(Name, kAttrNames[i].data())) return i;
  }
  return -1;
}

int32_t IntOf(std::string_view V) {
  int pos = 1;
  return ReadIntegerAtView(V, pos);
}

double NumberOf(std::string_view V) {
  int pos = 1;
  return ReadNumberAtView(V, true, nsPointOrComma, pos);
}

// The scanners of the support unit take strings; one buffer per reading thread serves them.
std::string& Scratch(std::string_view V) {
  static thread_local std::string s;
  s.assign(V);
  return s;
}

uint32_t ColorOf(std::string_view V) { return ScanHex(Scratch(V), 1); }

// The lower-cased value contains "true".
bool FlagOf(std::string_view V) {
  static constexpr char kTrue[] = "true";
  for (size_t i = 0; i + 4 <= V.size(); ++i)
    if (IsNameOf(V.substr(i, 4), kTrue)) return true;
  return false;
}

TDateTime DateOf(std::string_view V) {
  // Fourteen digits whose fields are in range whatever the month's length go straight to
  // the encoder, as the scanner would send them; everything else is the scanner's.
  if (V.size() == 14) {
    int f[6];
    bool digits = true;
    for (size_t i = 0; i < 14; ++i) digits = digits && V[i] >= '0' && V[i] <= '9';
    if (digits) {
      auto two = [&](size_t at) { return (V[at] - '0') * 10 + (V[at + 1] - '0'); };
      f[0] = two(0) * 100 + two(2);
      for (int k = 1; k < 6; ++k) f[k] = two(size_t(2 + 2 * k));
      if (f[1] >= 1 && f[1] <= 12 && f[2] >= 1 && f[2] <= 28 && f[3] <= 23 && f[4] <= 59 &&
          f[5] <= 59)
        return EncodeDateTime(f[0], f[1], f[2], f[3], f[4], f[5]);
    }
  }
  int err = 0;
  return ScanDateTime(Scratch(V), kDatePattern, lanEnglish, err);
}

// Windows-1252 to UTF-8; ASCII stays as it is.
void AssignFontName(TFontName& Out, std::string_view V) {
  for (const char c : V)
    if (static_cast<unsigned char>(c) >= 0x80) {
      Out = AnsiToUtf8(V);
      return;
    }
  Out.assign(V);
}

TFontStyles FontStylesOf(std::string_view V) {
  static constexpr TFontStyle kOrder[4] = {fsBold, fsItalic, fsUnderline, fsStrikeOut};
  TFontStyles s{};
  for (size_t i = 0; i < 4 && i < V.size(); ++i)
    if (V[i] == '1') s.Include(kOrder[i]);
  return s;
}

std::string FontStylesText(TFontStyles s) {
  std::string t = "0000";
  if (s.contains(fsBold)) t[0] = '1';
  if (s.contains(fsItalic)) t[1] = '1';
  if (s.contains(fsUnderline)) t[2] = '1';
  if (s.contains(fsStrikeOut)) t[3] = '1';
  return t;
}

// Shortest text that reads back to the same double.
std::string NumberText(double V) {
  if (!std::isfinite(V)) return "0";
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, V);
  return std::string(buf, r.ptr);
}

std::string DateText(TDateTime T) {
  int y, mo, d, h, mi, s;
  DecodeDateTime(T, y, mo, d, h, mi, s);
  if (y < 1 || y > 9999) return std::string();
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d%02d%02d%02d", y, mo, d, h, mi, s);
  return buf;
}

void AppendAttr(std::string& Out, const char* Name, const std::string& Value) {
  Out += ' ';
  Out += Name;
  Out += "=\"";
  Out += Value;
  Out += '"';
}

inline bool IsTagBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view TrimTagBlanks(std::string_view s) {
  while (!s.empty() && IsTagBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsTagBlank(s.back())) s.remove_suffix(1);
  return s;
}

// What the scan of the buffered text found.
enum TakeResult { tkLandmark, tkOther, tkCutOff };

// Stop characters of the scan over a tag: bit 1 outside quotes, bit 2 inside them (a line
// end closes an open quote, as in the tag reader).
constexpr struct TagStops {
  uint8_t of[256] = {};
  constexpr TagStops() {
    of[uint8_t('"')] = 3;
    of[uint8_t('<')] = 1;
    of[uint8_t('>')] = 1;
    of[uint8_t('\r')] = 2;
    of[uint8_t('\n')] = 2;
  }
} kTagStops;

// The element from open to its closing ">" at close: a self-closing landmark element or not.
TakeResult FinishLandmarkTag(std::string_view buf, size_t open, size_t close, size_t& used,
                             std::string_view& attributes) {
  const std::string_view tag = buf.substr(open + 1, close - open - 1);
  size_t e = 0;
  while (e < tag.size() && !IsTagBlank(tag[e]) && tag[e] != '/') ++e;
  if (e != 8) return tkOther;
  static constexpr char kName[] = "landmark";
  if (!IsNameOf(tag.substr(0, 8), kName)) return tkOther;
  std::string_view rest = TrimTagBlanks(tag.substr(e));
  if (rest.empty() || rest.back() != '/') return tkOther;
  rest.remove_suffix(1);
  attributes = TrimTagBlanks(rest);
  used = close + 1;
  return tkLandmark;
}

// When buf holds the next element whole and it is a self-closing landmark element, gives
// its attribute text (a view into buf) and the number of characters up to and including
// its closing ">", exactly as the tag reader would read it. tkOther whenever the tag reader
// could see something else (another element, a comment, a stray "<"), which then reads it;
// tkCutOff when buf ends before the element does.
TakeResult TakeSelfClosingLandmark(std::string_view buf, size_t& used, std::string_view& attributes) {
  const size_t open = buf.find('<');
  if (open == std::string_view::npos) return tkCutOff;
  const char* const p = buf.data();
  const size_t n = buf.size();
  size_t i = open + 1;
  bool inQuote = false;
#if defined(__SSE2__)
  // Sixteen characters at a time; only the stop characters among them are looked at.
  const __m128i kQuote = _mm_set1_epi8('"'), kLt = _mm_set1_epi8('<'), kGt = _mm_set1_epi8('>'),
                kCr = _mm_set1_epi8('\r'), kLf = _mm_set1_epi8('\n');
  for (; i + 16 <= n; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    const unsigned quotes = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, kQuote)));
    const unsigned out = quotes | unsigned(_mm_movemask_epi8(
                                      _mm_or_si128(_mm_cmpeq_epi8(v, kLt), _mm_cmpeq_epi8(v, kGt))));
    const unsigned in = quotes | unsigned(_mm_movemask_epi8(
                                     _mm_or_si128(_mm_cmpeq_epi8(v, kCr), _mm_cmpeq_epi8(v, kLf))));
    unsigned stops = inQuote ? in : out;
    while (stops != 0) {
      const int b = __builtin_ctz(stops);
      const char c = p[i + size_t(b)];
      if (inQuote) {
        inQuote = false;
      } else if (c == '"') {
        inQuote = true;
      } else if (c == '>') {
        return FinishLandmarkTag(buf, open, i + size_t(b), used, attributes);
      } else {
        return tkOther;  // '<'
      }
      stops = (inQuote ? in : out) & (~0u << (b + 1));
    }
  }
#endif
  for (; i < n; ++i) {
    const uint8_t stop = kTagStops.of[uint8_t(p[i])];
    if (inQuote) {
      if (stop & 2) inQuote = false;
    } else if (stop & 1) {
      if (p[i] == '"')
        inQuote = true;
      else if (p[i] == '>')
        return FinishLandmarkTag(buf, open, i, used, attributes);
      else
        return tkOther;
    }
  }
  return tkCutOff;
}


// Shape named by an element value (any letter case); unknown names give lmCross.
TLandMarkElement ElementOf(std::string_view V) {
  static constexpr struct {
    const char* name;
    TLandMarkElement kind;
  } kNames[] = {{"square", lmSquare},       {"triangle", lmTriangle}, {"circle", lmCircle},
                {"arrowfrom", lmArrowFrom}, {"arrowto", lmArrowTo},   {"crossbox", lmCrossBox},
                {"spade", lmSpade}};
  for (const auto& n : kNames)
    if (V.size() == std::strlen(n.name) && IsNameOf(V, n.name)) return n.kind;
  return lmCross;
}

}  // namespace

TLandMarkElement LandMarkElementFromName(const std::string& Name) { return ElementOf(Name); }

namespace {

TLandMark LandMarkFromAttributeText(std::string_view Attributes) {
  // What every absent attribute gives.
  static const TLandMark kAbsent = [] {
    TLandMark A{};
    A.SymbolProps.Kind = lmCross;
    A.SymbolProps.FGColor = ColorOf(std::string_view());
    A.SymbolProps.BGColor = A.SymbolProps.FGColor;
    A.Caption.FGColor = A.SymbolProps.FGColor;
    A.Caption.BGColor = A.SymbolProps.FGColor;
    A.Time = DateOf(std::string_view());
    return A;
  }();
  TLandMark LM = kAbsent;

  // One pass over the pairs; the first pair of a name counts, as a lookup by name would.
  bool seen[laCount] = {};
  int kind = -1;
  int pos = 1, expected = 0;
  std::string_view name, value;
  while (SplitNextAttributeView(Attributes, pos, name, value) == saOK) {
    const int ix = AttrIndex(name, expected, Attributes.data() + Attributes.size());
    if (ix < 0) continue;
    expected = ix + 1;
    if (seen[ix]) continue;
    seen[ix] = true;
    switch (ix) {
      case laLat: LM.Latitude = NumberOf(value); break;
      case laLong: LM.Longitude = NumberOf(value); break;
      case laAlti: LM.Altitude = NumberOf(value); break;
      case laClass: LM.ClassFlag = static_cast<uint8_t>(IntOf(value) & 0xFF); break;
      case laUserTag: LM.Tag = IntOf(value); break;
      case laElement: LM.SymbolProps.Kind = ElementOf(value); break;
      case laKind: {
        // Our own writer adds the ordinal, so that Plus and User-Defined survive a round trip.
        int p = 1;
        const int32_t k = value.empty() ? -1 : ReadIntegerAtView(value, p);
        if (k >= 0 && k < NumLandMarkElements && p == int(value.size()) + 1) kind = k;
        break;
      }
      case laSize: LM.SymbolProps.Size = IntOf(value); break;
      case laColorFG: LM.SymbolProps.FGColor = ColorOf(value); break;
      case laColorBG: LM.SymbolProps.BGColor = ColorOf(value); break;
      case laTransp: LM.SymbolProps.Transparent = FlagOf(value); break;
      case laDir: LM.SymbolProps.Direction = IntOf(value); break;
      case laLeng: LM.SymbolProps.Length = IntOf(value); break;
      case laId: LM.Identifier.SetAnsi(value); break;
      case laDate: LM.Time = DateOf(value); break;
      case laCapText: LM.Caption.Text.SetAnsi(value); break;
      case laCapSize: LM.Caption.Size = IntOf(value); break;
      case laCapFnm: AssignFontName(LM.Caption.FontName, value); break;
      case laCapFGCol: LM.Caption.FGColor = ColorOf(value); break;
      case laCapBGCol: LM.Caption.BGColor = ColorOf(value); break;
      case laCapTransp: LM.Caption.Transparent = FlagOf(value); break;
      case laCapDir: LM.Caption.Direction = IntOf(value); break;
      case laCapDx: LM.Caption.dx = IntOf(value); break;
      case laCapDy: LM.Caption.dy = IntOf(value); break;
      case laCapHAl: LM.Caption.HAlignment = static_cast<TAlignment>(IntOf(value) & 0xFF); break;
      case laCapVAl:
        LM.Caption.VAlignment = static_cast<TVerticalAlignment>(IntOf(value) & 0xFF);
        break;
      case laCapFst: LM.Caption.FontStyles = FontStylesOf(value); break;
      default: break;
    }
  }
  if (kind >= 0) LM.SymbolProps.Kind = static_cast<TLandMarkElement>(kind);
  return LM;
}

}  // namespace

TLandMark LandMarkFromAttributes(const std::string& Attributes) {
  return LandMarkFromAttributeText(Attributes);
}

std::string LandMarkToElement(const TLandMark& LM) {
  const TSymbolProperties& S = LM.SymbolProps;
  const TLMTextProperties& C = LM.Caption;
  const int kind = S.Kind < NumLandMarkElements ? int(S.Kind) : int(lmCross);
  std::string out;
  out.reserve(512);
  out += "<landmark";
  AppendAttr(out, "lat", NumberText(LM.Latitude));
  AppendAttr(out, "long", NumberText(LM.Longitude));
  AppendAttr(out, "alti", NumberText(LM.Altitude));
  AppendAttr(out, "class", std::to_string(LM.ClassFlag));
  AppendAttr(out, "usertag", std::to_string(LM.Tag));
  AppendAttr(out, "element", LMTypeNames[kind]);
  AppendAttr(out, "kind", std::to_string(kind));
  AppendAttr(out, "size", std::to_string(S.Size));
  AppendAttr(out, "colorfg", Hex(S.FGColor, 8));
  AppendAttr(out, "colorbg", Hex(S.BGColor, 8));
  AppendAttr(out, "transp", BoolToText(S.Transparent));
  AppendAttr(out, "dir", std::to_string(S.Direction));
  AppendAttr(out, "leng", std::to_string(S.Length));
  AppendAttr(out, "id", DialectAttributeText(LM.Identifier.ansi()));
  AppendAttr(out, "date", DateText(LM.Time));
  AppendAttr(out, "captext", DialectAttributeText(C.Text.ansi()));
  AppendAttr(out, "capsize", std::to_string(C.Size));
  AppendAttr(out, "capfnm", DialectAttributeText(Utf8ToAnsi(C.FontName)));
  AppendAttr(out, "capfgcol", Hex(C.FGColor, 8));
  AppendAttr(out, "capbgcol", Hex(C.BGColor, 8));
  AppendAttr(out, "captransp", BoolToText(C.Transparent));
  AppendAttr(out, "capdir", std::to_string(C.Direction));
  AppendAttr(out, "capdx", std::to_string(C.dx));
  AppendAttr(out, "capdy", std::to_string(C.dy));
  AppendAttr(out, "caphal", std::to_string(int(C.HAlignment)));
  AppendAttr(out, "capval", std::to_string(int(C.VAlignment)));
  AppendAttr(out, "capfst", FontStylesText(C.FontStyles));
  out += " />";
  return out;
}

namespace {

// Reads the set after the root line; ExpectedCount (0: unknown) sizes the store beforehand.
bool ReadLandMarkSet(TextFile& F, const std::string& DataID, TLandMarkStore& Store,
                     size_t ExpectedCount) {
  if (!FindDialectBlock(TDialectLines(F), "gmlandmarks", DataID,
                        [](const std::string&, const std::string& Lower) {
                          return RootLineId(Lower, "<gmlandmarks");
                        }))
    return false;

  Store.RemoveAllLandMarks();
  if (ExpectedCount > 0) Store.ReserveLandMarks(ExpectedCount);
  std::string content, attributes, peeked;
  for (;;) {
    // Most files hold one self-closing landmark element per line; those are taken straight
    // from the file's buffer, or from a copy of what follows when the buffer ends inside one.
    // Everything else goes through the tag reader.
    constexpr size_t kPeek = 8192;
    std::string_view buf = F.Buffered(), attrs;
    size_t used = 0;
    TakeResult found = TakeSelfClosingLandmark(buf, used, attrs);
    if (found == tkCutOff && buf.size() < kPeek) {
      peeked.resize(kPeek);
      buf = std::string_view(peeked.data(), F.PeekChars(peeked.data(), kPeek));
      found = TakeSelfClosingLandmark(buf, used, attrs);
    }
    if (found == tkLandmark) {
      TLandMark LM = LandMarkFromAttributeText(attrs);  // before the buffer moves on
      F.SkipChars(used);
      Store.AppendLandMark(std::move(LM));
      continue;
    }
    const int tag = ReadNextTagInTextFile(F, XmlTags, XmlReaderTagHigh, content, attributes);
    if (tag == xtGeoMapEnd || tag == xtInvalidTag) break;
    if (tag == xtLandmark) Store.AppendLandMark(LandMarkFromAttributeText(attributes));
  }
  return true;
}

}  // namespace

bool ReadLandMarksFromOpenXMLFile(TextFile& F, const std::string& DataID, TLandMarkStore& Store) {
  return ReadLandMarkSet(F, DataID, Store, 0);
}

bool LoadLandMarks(const std::string& FileName, const std::string& DataID, TLandMarkStore& Store) {
  TextFile F;
  if (!TryReset(F, FileName)) return false;
  // Few landmark lines are shorter than this; an estimate that falls short only means the
  // store grows as it would anyway.
  constexpr uintmax_t kShortestLandmarkLine = 48;
  std::error_code ec;
  const uintmax_t bytes = std::filesystem::file_size(FileName, ec);
  const size_t expected = ec ? 0 : size_t(std::min<uintmax_t>(bytes / kShortestLandmarkLine, 1u << 24));
  const bool result = ReadLandMarkSet(F, DataID, Store, expected);
  CloseFile(F);
  return result;
}

void WriteLandMarksToOpenXMLFile(TextFile& F, const std::string& DataID,
                                 const TLandMarkStore& Store) {
  WriteLn(F, "<?xml version=\"1.0\"?>");
  WriteLn(F);
  WriteLn(F, "<!-- TGeoMap Landmarks / Quillwort -->");
  WriteLn(F, DialectRootLine("gmlandmarks", DataID, riEscaped));
  for (const TLandMark& LM : Store.Items()) WriteLn(F, LandMarkToElement(LM));
  WriteLn(F, "</gmlandmarks>");
}

void SaveLandMarks(const std::string& FileName, const std::string& DataID,
                   const TLandMarkStore& Store) {
  TextFile F;
  AssignFile(F, FileName);
  Rewrite(F);
  WriteLandMarksToOpenXMLFile(F, DataID, Store);
  CloseFile(F);
}

}  // namespace vek
