#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "TempDir.h"
#include "Vek_support.h"

namespace vek {
namespace {

// The element table of the map files: the readers pass entries 0..15.
const std::string kTags[16] = {"geomap",    "/geomap",  "calline",   "corners",
                               "resolution", "gmlandmarks", "/gmlandmarks", "landmark",
                               "calquads",  "lmsymbols", "/lmsymbols", "symbol",
                               "utmzone",   "utmsouth", "ellipsoid", "invalidtag"};
constexpr int kHigh = 15;

struct Element {
  int Index;
  std::string Content;
  std::string Attributes;
  bool operator==(const Element&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Element& e) {
  return os << "{" << e.Index << ", \"" << e.Content << "\", \"" << e.Attributes << "\"}";
}

TMemoryStream StreamOf(const std::string& text) {
  TMemoryStream m;
  if (!text.empty()) m.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
  m.SetPosition(0);
  return m;
}

// Reads elements until High; stops after Limit calls so that a reader that never ends fails
// the test instead of hanging it.
std::vector<Element> ReadAll(TStream& s, size_t Limit = 100000) {
  std::vector<Element> out;
  std::string content, attrs;
  for (size_t i = 0; i < Limit; ++i) {
    const int ix = ReadNextTagInStream(s, kTags, kHigh, content, attrs);
    if (ix == kHigh) return out;
    out.push_back({ix, content, attrs});
  }
  ADD_FAILURE() << "reader did not reach the end";
  return out;
}

std::vector<Element> ReadAll(const std::string& text) {
  TMemoryStream m = StreamOf(text);
  return ReadAll(m);
}

const char kCalibBlock[] =
    "<?xml version=\"1.0\"?>\r\n"
    "\r\n"
    "<!-- TGeoMap Calibration / Quillwort -->\r\n"
    "<geomap sig=\"Quillwort\" vers=\"1.0\" id=\"north\" model=\"utm\" map=\"m.jpg\" caption=\"C\">\r\n"
    "<corners>\r\n"
    "[47.00000,8.00000] [46.00000,8.00000] [46.00000,9.00000] [47.00000,9.00000] \r\n"
    "</corners>\r\n"
    "<resolution>12.500</resolution>\r\n"
    "<utmzone>32</utmzone>\r\n"
    "<utmsouth>FALSE</utmsouth>\r\n"
    "<ellipsoid>gelWGS84</ellipsoid>\r\n"
    "<calline type=\"parallel\" value=\"46.5\" npoints=\"3\">\r\n"
    "[1,2] [3,4] [5,6] \r\n"
    "</calline>\r\n"
    "<calquads npoints=\"0\">\r\n"
    "\r\n"
    "</calquads>\r\n"
    "</geomap>\r\n";

TEST(TagReader, ReadsACalibrationBlockElementByElement) {
  const auto els = ReadAll(kCalibBlock);
  const std::vector<Element> want = {
      {0, "", "sig=\"Quillwort\" vers=\"1.0\" id=\"north\" model=\"utm\" map=\"m.jpg\" caption=\"C\""},
      {3, "[47.00000,8.00000] [46.00000,8.00000] [46.00000,9.00000] [47.00000,9.00000] ", ""},
      {4, "12.500", ""},
      {12, "32", ""},
      {13, "FALSE", ""},
      {14, "gelWGS84", ""},
      {2, "[1,2] [3,4] [5,6] ", "type=\"parallel\" value=\"46.5\" npoints=\"3\""},
      {8, "", "npoints=\"0\""},
      {1, "", ""},
  };
  EXPECT_EQ(els, want);
}

TEST(TagReader, ContainerStartTagsDoNotSwallowTheirChildren) {
  // Two landmark sets: the second root and all landmarks must come through one by one.
  const std::string text =
      "<gmlandmarks sig=\"Quillwort\" id=\"a\">\r\n"
      "<landmark lat=\"1\" long=\"2\" element=\"square\" />\r\n"
      "</gmlandmarks>\r\n"
      "<gmlandmarks sig=\"Quillwort\" id=\"b\">\r\n"
      "<landmark lat=\"3\" long=\"4\"/>\r\n"
      "<landmark lat=\"5\" long=\"6\">ignored text</landmark>\r\n"
      "</gmlandmarks>\r\n";
  const auto els = ReadAll(text);
  ASSERT_EQ(els.size(), 7u);
  EXPECT_EQ(els[0], (Element{5, "", "sig=\"Quillwort\" id=\"a\""}));
  EXPECT_EQ(els[1], (Element{7, "", "lat=\"1\" long=\"2\" element=\"square\""}));
  EXPECT_EQ(els[2].Index, 6);
  EXPECT_EQ(els[3].Index, 5);
  EXPECT_EQ(els[4], (Element{7, "", "lat=\"3\" long=\"4\""}));
  EXPECT_EQ(els[5], (Element{7, "ignored text", "lat=\"5\" long=\"6\""}));
  EXPECT_EQ(els[6].Index, 6);
}

TEST(TagReader, SkipsUnknownElementsCommentsAndDeclarations) {
  const std::string text =
      "<?xml version=\"1.0\"?><!-- <utmzone>1</utmzone> -- still comment -->"
      "<unknown a=\"1\"><utmzone>7</utmzone></unknown><!DOCTYPE x><utmzone>8</utmzone>";
  const auto els = ReadAll(text);
  EXPECT_EQ(els, (std::vector<Element>{{12, "7", ""}, {12, "8", ""}}));
}

TEST(TagReader, NamesMatchWithoutRegardToCase) {
  const auto els = ReadAll("<UTMZone>5</utmzone><UtmSouth>true</UTMSOUTH ></GeoMap>");
  EXPECT_EQ(els, (std::vector<Element>{{12, "5", ""}, {13, "true", ""}, {1, "", ""}}));
}

TEST(TagReader, QuotedGreaterThanStaysInTheAttributes) {
  const auto els = ReadAll("<symbol name=\"a > b\" size=\"3\" />");
  EXPECT_EQ(els, (std::vector<Element>{{11, "", "name=\"a > b\" size=\"3\""}}));
}

TEST(TagReader, StrayLessThanInTextDoesNotHideTheNextElement) {
  const auto els = ReadAll("1 < 2 and <utmzone>3</utmzone>");
  EXPECT_EQ(els, (std::vector<Element>{{12, "3", ""}}));
}

TEST(TagReader, StrayQuoteEndsAtTheLineBreak) {
  const auto els = ReadAll("<landmark caption=\"open />\r\n<utmzone>3</utmzone>");
  ASSERT_FALSE(els.empty());
  EXPECT_EQ(els.back(), (Element{12, "3", ""}));
}

TEST(TagReader, ContentStopsAtANestedTagWhichIsReadNext) {
  const auto els = ReadAll("<corners>[1,2] <utmzone>4</utmzone></corners>");
  EXPECT_EQ(els, (std::vector<Element>{{3, "[1,2] ", ""}, {12, "4", ""}}));
}

TEST(TagReader, StreamPositionStandsRightAfterTheElement) {
  TMemoryStream m = StreamOf("<utmzone>32</utmzone>tail");
  std::string c, a;
  EXPECT_EQ(ReadNextTagInStream(m, kTags, kHigh, c, a), 12);
  EXPECT_EQ(m.Position(), 21);
  EXPECT_EQ(ReadNextTagInStream(m, kTags, kHigh, c, a), kHigh);
  EXPECT_EQ(m.Position(), m.Size());
  EXPECT_EQ(c, "");
  EXPECT_EQ(a, "");
  // Asking again at the end keeps answering "nothing more".
  EXPECT_EQ(ReadNextTagInStream(m, kTags, kHigh, c, a), kHigh);
}

TEST(TagReader, VectorTableAndHighBeyondTheTable) {
  const std::vector<std::string> tags = {"a", "b"};
  TMemoryStream m = StreamOf("<b>x</b><c/>");
  std::string c, a;
  EXPECT_EQ(ReadNextTagInStream(m, tags, 5, c, a), 1);
  EXPECT_EQ(c, "x");
  EXPECT_EQ(ReadNextTagInStream(m, tags, 5, c, a), 5);
  EXPECT_EQ(ReadNextTagInStream(m, std::vector<std::string>{}, 0, c, a), 0);
}

using TagReaderFileTest = testing::TempDirTest;

TEST_F(TagReaderFileTest, TextFileLineSearchThenElements) {
  WriteBytes("c.xml", kCalibBlock);
  TextFile f;
  AssignFile(f, Path("c.xml"));
  Reset(f);
  std::string line;
  while (ReadLn(f, line) && line.find("<geomap") == std::string::npos) {
  }
  std::string c, a;
  std::vector<int> seen;
  for (int ix; (ix = ReadNextTagInTextFile(f, kTags, kHigh, c, a)) != 1 && ix != kHigh;)
    seen.push_back(ix);
  EXPECT_EQ(seen, (std::vector<int>{3, 4, 12, 13, 14, 2, 8}));
  // The rest of the line after </geomap> and then the end.
  EXPECT_TRUE(ReadLn(f, line));
  EXPECT_EQ(line, "");
  EXPECT_TRUE(Eof(f));
  CloseFile(f);
}

TEST_F(TagReaderFileTest, ElementsStraddlingBufferBoundaries) {
  // Shift the end tag across the 64 KiB boundary of the file buffer, one byte at a time.
  for (size_t pad = 65520; pad < 65545; ++pad) {
    const std::string body(pad - 12, '7');
    WriteBytes("b.xml", "<resolution>" + body + "</resolution><utmzone>1</utmzone>x");
    TextFile f;
    AssignFile(f, Path("b.xml"));
    Reset(f);
    std::string c, a;
    ASSERT_EQ(ReadNextTagInTextFile(f, kTags, kHigh, c, a), 4);
    ASSERT_EQ(c, body);
    ASSERT_EQ(ReadNextTagInTextFile(f, kTags, kHigh, c, a), 12);
    ASSERT_EQ(c, "1");
    std::string rest;
    ASSERT_TRUE(ReadLn(f, rest));
    ASSERT_EQ(rest, "x");
  }
}

TEST_F(TagReaderFileTest, FileStreamKeepsItsPositionAfterEachElement) {
  std::string text;
  for (int i = 0; i < 300; ++i)
    text += "<symbol name=\"" + std::string(static_cast<size_t>(i * 7), 'n') + "\"/>\r\n";
  WriteBytes("s.xml", text + "</geomap>tail");
  TFileStream fs(Path("s.xml"), fmOpenRead);
  std::string c, a;
  for (int i = 0; i < 300; ++i) {
    ASSERT_EQ(ReadNextTagInStream(fs, kTags, kHigh, c, a), 11);
    ASSERT_EQ(a.size(), static_cast<size_t>(i * 7) + 7);
  }
  ASSERT_EQ(ReadNextTagInStream(fs, kTags, kHigh, c, a), 1);
  char tail[4];
  fs.ReadBuffer(tail, 4);
  EXPECT_EQ(std::string(tail, 4), "tail");
}

TEST_F(TagReaderFileTest, OneHugeLineWithoutLineBreaks) {
  std::string text;
  for (int i = 0; i < 20000; ++i) text += "<landmark lat=\"" + std::to_string(i) + "\" />";
  WriteBytes("h.xml", text);
  TextFile f;
  AssignFile(f, Path("h.xml"));
  Reset(f);
  std::string c, a;
  int n = 0;
  bool ok = true;
  while (ReadNextTagInTextFile(f, kTags, kHigh, c, a) == 7)
    ok = ok && a == "lat=\"" + std::to_string(n++) + "\"";
  EXPECT_TRUE(ok);
  EXPECT_EQ(n, 20000);
}

TEST_F(TagReaderFileTest, UnterminatedTagAtTheEndGivesHigh) {
  WriteBytes("u.xml", "<utmzone>1</utmzone><landmark lat=\"1");
  TextFile f;
  AssignFile(f, Path("u.xml"));
  Reset(f);
  std::string c, a;
  EXPECT_EQ(ReadNextTagInTextFile(f, kTags, kHigh, c, a), 12);
  EXPECT_EQ(ReadNextTagInTextFile(f, kTags, kHigh, c, a), kHigh);
  EXPECT_TRUE(Eof(f));
}

TEST(TagReader, UnterminatedElementKeepsItsContent) {
  EXPECT_EQ(ReadAll("<resolution>12.5"), (std::vector<Element>{{4, "12.5", ""}}));
  EXPECT_EQ(ReadAll("<utmzone>1</utm"), (std::vector<Element>{{12, "1", ""}}));
  EXPECT_TRUE(ReadAll("<!-- never closed <utmzone>1</utmzone>").empty());
  EXPECT_TRUE(ReadAll("").empty());
  EXPECT_TRUE(ReadAll("<").empty());
  EXPECT_TRUE(ReadAll("<>< >").empty());
}

TEST(TagReader, LongTagsAreSkippedAndLongContentIsCut) {
  // A tag longer than the reader keeps is dropped; reading goes on after it.
  std::string text = "<landmark x=\"" + std::string(2u << 20, 'a') + "\"/><utmzone>2</utmzone>";
  EXPECT_EQ(ReadAll(text), (std::vector<Element>{{12, "2", ""}}));
  text = "<resolution>" + std::string(17u << 20, '1') + "</resolution><utmzone>2</utmzone>";
  const auto els = ReadAll(text);
  ASSERT_EQ(els.size(), 2u);
  EXPECT_EQ(els[0].Content.size(), 16u << 20);
  EXPECT_EQ(els[1], (Element{12, "2", ""}));
}

TEST(TagReaderFuzz, EveryTruncationOfAValidBlock) {
  const std::string full = kCalibBlock;
  const size_t complete = ReadAll(full).size();
  for (size_t len = 0; len <= full.size(); ++len) {
    TMemoryStream m = StreamOf(full.substr(0, len));
    const auto els = ReadAll(m, 1000);
    EXPECT_LE(els.size(), complete);
    EXPECT_EQ(m.Position(), m.Size()) << "length " << len;
  }
}

TEST(TagReaderFuzz, RandomBytesAndMutations) {
  std::mt19937 rng(12345);
  const std::string alphabet = "<>/\"!-? =\r\nabcgeomaputmzonelandmark";
  for (int round = 0; round < 2000; ++round) {
    std::string text;
    const int len = static_cast<int>(rng() % 400);
    const bool bytes = round % 2 == 0;
    for (int i = 0; i < len; ++i)
      text += bytes ? static_cast<char>(rng() & 0xFF) : alphabet[rng() % alphabet.size()];
    if (round % 3 == 0) {
      // Mutate a valid block instead.
      text = kCalibBlock;
      for (int k = 0; k < 5; ++k) text[rng() % text.size()] = static_cast<char>(rng() & 0xFF);
    }
    TMemoryStream m = StreamOf(text);
    const auto els = ReadAll(m, 10000);
    EXPECT_LE(els.size(), text.size());
    for (const auto& e : els) {
      ASSERT_GE(e.Index, 0);
      ASSERT_LT(e.Index, kHigh);
    }
    EXPECT_EQ(m.Position(), m.Size());
  }
}

}  // namespace
}  // namespace vek
