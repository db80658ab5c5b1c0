// Landmark files: the attribute table of the reader, set selection, the writer's round trip
// and damaged input.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>

#include "DegreeText.h"
#include "LandMarkXml.h"
#include "TagReader.h"
#include "XmlText.h"

using namespace vek;
namespace fs = std::filesystem;

namespace {

class LandMarkFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("vek_lmxml_" + std::to_string(getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  std::string Write(const std::string& name, const std::string& text) {
    const std::string path = (dir / name).string();
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }

  fs::path dir;
};

const std::string kRoot = "<gmlandmarks sig=\"Quillwort\" vers=\"1.0\" id=\"";

std::string SetText(const std::string& id, const std::string& body) {
  return "<?xml version=\"1.0\"?>\r\n\r\n" + kRoot + id + "\">\r\n" + body + "</gmlandmarks>\r\n";
}

}  // namespace

TEST(LandMarkAttributes, AbsentAttributesAreZeroNotTheDefault) {
  const TLandMark LM = LandMarkFromAttributes("lat=\"47.5\" long=\"8.25\"");
  EXPECT_EQ(LM.Latitude, 47.5);
  EXPECT_EQ(LM.Longitude, 8.25);
  EXPECT_EQ(LM.Altitude, 0);
  EXPECT_EQ(LM.ClassFlag, 0);
  EXPECT_EQ(LM.SymbolProps.Kind, lmCross);
  EXPECT_EQ(LM.SymbolProps.Size, 0);
  EXPECT_FALSE(LM.SymbolProps.Transparent);
  EXPECT_EQ(LM.SymbolProps.FGColor, ScanHex("", 1));
  EXPECT_TRUE(LM.Caption.Text.empty());
  EXPECT_TRUE(LM.Caption.FontName.empty());
  EXPECT_TRUE(LM.Caption.FontStyles.empty());
  EXPECT_FALSE(LM.Caption.Transparent);
  EXPECT_EQ(LM.Caption.dy, 0);
  EXPECT_EQ(LM.Caption.HAlignment, taLeftJustify);
  EXPECT_TRUE(LM.Identifier.empty());
  int err;
  EXPECT_EQ(LM.Time, ScanDateTime("", "yyyymmddHHMMSS", lanEnglish, err));
}

TEST(LandMarkAttributes, EveryAttributeOfTheTable) {
  const std::string attrs =
      "LAT=\"-12,5\" Long=\"1.5E2\" alti=\"  300\" class=\"300\" usertag=\"-77\" "
      "colorfg=\"00FF0000\" colorbg=\"0000ff00\" size=\"9\" transp=\"True\" dir=\"-45\" "
      "leng=\"33\" element=\"ArrowTo\" id=\"ABCDEFGHIJKLMNOPQRS\" date=\"20230915143000\" "
      "captext=\"" + std::string(50, 'a') + std::string(50, 'B') + "\" capsize=\"14\" "
      "capfnm=\"Courier New\" capfgcol=\"123456\" capbgcol=\"00ABCDEF\" captransp=\"xTRUEx\" "
      "capdir=\"90\" capdx=\"-3\" capdy=\"4\" caphal=\"2\" capval=\"1\" capfst=\"1010\"";
  const TLandMark LM = LandMarkFromAttributes(attrs);
  EXPECT_EQ(LM.Latitude, -12.5);  // comma as separator
  EXPECT_EQ(LM.Longitude, 150.0);
  EXPECT_EQ(LM.Altitude, 300.0);
  EXPECT_EQ(LM.ClassFlag, 44);  // lowest 8 bits of 300
  EXPECT_EQ(LM.Tag, -77);
  EXPECT_EQ(LM.SymbolProps.FGColor, 0xFF0000u);
  EXPECT_EQ(LM.SymbolProps.BGColor, 0x00FF00u);
  EXPECT_EQ(LM.SymbolProps.Size, 9);
  EXPECT_TRUE(LM.SymbolProps.Transparent);
  EXPECT_EQ(LM.SymbolProps.Direction, -45);
  EXPECT_EQ(LM.SymbolProps.Length, 33);
  EXPECT_EQ(LM.SymbolProps.Kind, lmArrowTo);
  EXPECT_EQ(LM.Identifier.str(), "ABCDEFGHIJKLMNO");
  EXPECT_EQ(LM.Time, EncodeDateTime(2023, 9, 15, 14, 30, 0));
  EXPECT_EQ(LM.Caption.Text.str(), std::string(50, 'a') + std::string(30, 'B'));
  EXPECT_EQ(LM.Caption.Size, 14);
  EXPECT_EQ(LM.Caption.FontName, "Courier New");
  EXPECT_EQ(LM.Caption.FGColor, 0x123456u);
  EXPECT_EQ(LM.Caption.BGColor, 0xABCDEFu);
  EXPECT_TRUE(LM.Caption.Transparent);
  EXPECT_EQ(LM.Caption.Direction, 90);
  EXPECT_EQ(LM.Caption.dx, -3);
  EXPECT_EQ(LM.Caption.dy, 4);
  EXPECT_EQ(LM.Caption.HAlignment, taCenter);
  EXPECT_EQ(LM.Caption.VAlignment, vaMiddle);
  EXPECT_EQ(LM.Caption.FontStyles, (TFontStyles{fsBold, fsUnderline}));
}

TEST(LandMarkAttributes, ElementNamesStylesAndOddValues) {
  auto kind = [](const std::string& e) {
    return LandMarkFromAttributes("element=\"" + e + "\"").SymbolProps.Kind;
  };
  EXPECT_EQ(kind("Plus"), lmCross);
  EXPECT_EQ(kind("User-Defined"), lmCross);
  EXPECT_EQ(kind("cross"), lmCross);
  EXPECT_EQ(kind("SQUARE"), lmSquare);
  EXPECT_EQ(kind("Triangle"), lmTriangle);
  EXPECT_EQ(kind("circle"), lmCircle);
  EXPECT_EQ(kind("ArrowFrom"), lmArrowFrom);
  EXPECT_EQ(kind("crossbox"), lmCrossBox);
  EXPECT_EQ(kind("Spade"), lmSpade);
  EXPECT_EQ(kind(" square"), lmCross);  // no trimming

  auto styles = [](const std::string& f) {
    return LandMarkFromAttributes("capfst=\"" + f + "\"").Caption.FontStyles;
  };
  EXPECT_EQ(styles("1"), TFontStyles{fsBold});
  EXPECT_EQ(styles("0101"), (TFontStyles{fsItalic, fsStrikeOut}));
  EXPECT_EQ(styles("1111"), (TFontStyles{fsBold, fsItalic, fsUnderline, fsStrikeOut}));
  EXPECT_EQ(styles("x1y1z"), (TFontStyles{fsItalic, fsStrikeOut}));
  EXPECT_TRUE(styles("").empty());
  EXPECT_TRUE(styles("00001").empty());

  const TLandMark odd = LandMarkFromAttributes(
      "lat=\"abc\" long=\"1.2.3\" class=\"-1\" size=\"12px\" transp=\"yes\" lat=\"5\"");
  EXPECT_EQ(odd.Latitude, 0);   // malformed, and the first pair of a name counts
  EXPECT_EQ(odd.Longitude, 0);  // a second separator makes the number malformed
  EXPECT_EQ(odd.ClassFlag, 255);
  EXPECT_EQ(odd.SymbolProps.Size, 12);
  EXPECT_FALSE(odd.SymbolProps.Transparent);
}

TEST_F(LandMarkFile, SelectsTheSetByIdInAnyCase) {
  const std::string text =
      "junk before the root\r\n" +
      SetText("North", "<landmark lat=\"1\" long=\"1\" id=\"n1\" />\r\n") +
      kRoot + "HARBOURS\">\r\n<landmark lat=\"2\" long=\"2\" id=\"h1\" />\r\n"
      "<landmark lat=\"3\" long=\"3\" id=\"h2\"/>\r\n</gmlandmarks>\r\n";
  const std::string path = Write("sets.xml", text);

  TLandMarkStore S;
  ASSERT_TRUE(LoadLandMarks(path, "Harbours", S));
  ASSERT_EQ(S.NumLandMarks(), 2);
  EXPECT_EQ(S[1].Identifier, "h1");
  EXPECT_EQ(S[2].Identifier, "h2");

  // Empty id: the first set, and the reading runs on into the second set.
  ASSERT_TRUE(LoadLandMarks(path, "", S));
  ASSERT_EQ(S.NumLandMarks(), 3);
  EXPECT_EQ(S[1].Identifier, "n1");
  EXPECT_EQ(S[3].Identifier, "h2");

  // No such set: false, and what the store holds stays.
  EXPECT_FALSE(LoadLandMarks(path, "south", S));
  EXPECT_EQ(S.NumLandMarks(), 3);
  EXPECT_FALSE(LoadLandMarks((dir / "missing.xml").string(), "", S));
  EXPECT_EQ(S.NumLandMarks(), 3);
}

TEST_F(LandMarkFile, RootLineNeedsTheSignature) {
  const std::string path = Write(
      "nosig.xml", "<gmlandmarks vers=\"1.0\" id=\"a\">\r\n<landmark lat=\"1\" long=\"2\" />\r\n");
  TLandMarkStore S;
  S.AppendLandMark(S.MakeLandMark(9, 9, 9));
  EXPECT_FALSE(LoadLandMarks(path, "", S));
  EXPECT_EQ(S.NumLandMarks(), 1);
  EXPECT_EQ(S[1].Latitude, 9);
}

TEST_F(LandMarkFile, UnknownElementsAreSkippedAndGeomapEndStops) {
  const std::string path = Write(
      "mixed.xml",
      SetText("x",
              "<!-- a comment <landmark lat=\"99\" /> -->\r\n"
              "<waypoint lat=\"5\" />\r\n"
              "<landmark lat=\"1\" long=\"1\">content is ignored</landmark>\r\n"
              "<symbol element=\"square\" />\r\n"
              "<landmark lat=\"2\" long=\"2\" captext=\"a > b\" />\r\n"
              "</gmlandmarks>\r\n<landmark lat=\"3\" />\r\n</geomap>\r\n"
              "<landmark lat=\"4\" />\r\n"));
  TLandMarkStore S;
  ASSERT_TRUE(LoadLandMarks(path, "X", S));
  ASSERT_EQ(S.NumLandMarks(), 3);
  EXPECT_EQ(S[1].Latitude, 1);
  EXPECT_EQ(S[2].Caption.Text, "a > b");
  EXPECT_EQ(S[3].Latitude, 3);
}

TEST_F(LandMarkFile, LoadingReplacesAndFollowsTheCapacityRule) {
  std::string body;
  for (int i = 0; i < 2500; ++i)
    body += "<landmark lat=\"" + std::to_string(i) + "\" long=\"0\" />\r\n";
  const std::string path = Write("many.xml", SetText("many", body));
  TLandMarkStore S;
  for (int i = 0; i < 10; ++i) S.AppendLandMark(S.MakeLandMark(-1, -1, 0));
  ASSERT_TRUE(LoadLandMarks(path, "many", S));
  EXPECT_EQ(S.NumLandMarks(), 2500);
  EXPECT_EQ(S.Capacity(), 3000);
  EXPECT_EQ(S[2500].Latitude, 2499);

  // A matching root without landmarks empties the store.
  ASSERT_TRUE(LoadLandMarks(Write("none.xml", SetText("none", "")), "", S));
  EXPECT_EQ(S.NumLandMarks(), 0);
  EXPECT_EQ(S.Capacity(), 1000);
}

TEST_F(LandMarkFile, SavedSetReadsBackFieldForField) {
  TLandMarkStore S;
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> deg(-180, 180);
  std::uniform_int_distribution<int> any(-100000, 100000);
  for (int i = 0; i < 200; ++i) {
    TLandMark LM{};
    LM.Latitude = deg(rng) / 2;
    LM.Longitude = deg(rng);
    LM.Altitude = deg(rng) * 37.1;
    LM.ClassFlag = static_cast<uint8_t>(i);
    LM.Tag = any(rng);
    LM.SymbolProps = TSymbolProperties{static_cast<TLandMarkElement>(i % 10), i % 30,
                                       TColor(rng() & 0xFFFFFF), TColor(rng() & 0xFFFFFF),
                                       i % 3 == 0, any(rng) % 360, i};
    LM.Caption.Text = "Caption " + std::to_string(i) + " é ß <tag> & ;";
    LM.Caption.Size = i % 20;
    LM.Caption.FontName = i % 2 ? "Arial" : "Times New Roman";
    LM.Caption.FontStyles = TFontStyles::FromBits(uint8_t(i % 16));
    LM.Caption.FGColor = TColor(rng() & 0xFFFFFF);
    LM.Caption.BGColor = TColor(rng() & 0xFFFFFF);
    LM.Caption.Transparent = i % 2 == 0;
    LM.Caption.dx = any(rng) % 50;
    LM.Caption.dy = any(rng) % 50;
    LM.Caption.Direction = i;
    LM.Caption.HAlignment = static_cast<TAlignment>(i % 3);
    LM.Caption.VAlignment = static_cast<TVerticalAlignment>(i % 3);
    LM.Identifier = "WP" + std::to_string(i);
    LM.Time = i == 0 ? 0 : EncodeDateTime(1990 + i % 30, 1 + i % 12, 1 + i % 28, i % 24, i % 60, (i * 7) % 60);
    S.AppendLandMark(LM);
  }
  S.AppendLandMark(S.MakeLandMark(1e-7, -0.0, 1e20));
  const std::string path = (dir / "saved.xml").string();
  SaveLandMarks(path, "Saved Set", S);

  TLandMarkStore T;
  ASSERT_TRUE(LoadLandMarks(path, "saved set", T));
  ASSERT_EQ(T.NumLandMarks(), S.NumLandMarks());
  for (int i = 1; i <= S.NumLandMarks(); ++i) EXPECT_EQ(T[i], S[i]) << "landmark " << i;
}

TEST_F(LandMarkFile, WriterKeepsTheFileReadableWhateverTheText) {
  TLandMarkStore S;
  TLandMark LM = S.MakeLandMark(1, 2, 3);
  LM.Caption.Text = "say \"cheese\"\r\nnext line";
  LM.Identifier = "a\"b";
  S.AppendLandMark(LM);
  S.AppendLandMark(S.MakeLandMark(4, 5, 6));
  const std::string path = (dir / "quotes.xml").string();
  SaveLandMarks(path, "q\"id", S);

  std::ifstream in(path, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text.substr(0, 23), "<?xml version=\"1.0\"?>\r\n");
  EXPECT_NE(text.find("\r\n<gmlandmarks sig=\"Quillwort\" vers=\"1.0\" id=\"q'id\">\r\n"),
            std::string::npos);

  TLandMarkStore T;
  ASSERT_TRUE(LoadLandMarks(path, "q'id", T));
  ASSERT_EQ(T.NumLandMarks(), 2);
  EXPECT_EQ(T[1].Caption.Text, "say 'cheese'  next line");
  EXPECT_EQ(T[1].Identifier, "a'b");
  EXPECT_EQ(T[1].Altitude, 3);  // the attributes after the text are still read
  EXPECT_EQ(T[2].Latitude, 4);
}

TEST_F(LandMarkFile, DamagedFilesNeverCrash) {
  // A valid file, then cut at every length and mutated at random.
  std::string body;
  for (int i = 0; i < 20; ++i)
    body += "<landmark lat=\"" + std::to_string(i) + ".5\" long=\"2\" element=\"square\" "
            "captext=\"t" + std::to_string(i) + "\" date=\"2020010" + std::to_string(i % 9 + 1) +
            "000000\" capfst=\"1\" />\r\n";
  const std::string good = SetText("d", body);
  TLandMarkStore S;
  for (size_t cut = 0; cut < good.size(); cut += 11) {
    const std::string path = Write("cut.xml", good.substr(0, cut));
    LoadLandMarks(path, "", S);
    EXPECT_LE(S.NumLandMarks(), 20);
  }
  std::mt19937 rng(11);
  for (int round = 0; round < 300; ++round) {
    std::string bad = good;
    const int edits = 1 + int(rng() % 20);
    for (int e = 0; e < edits; ++e) {
      const size_t at = rng() % bad.size();
      switch (rng() % 4) {
        case 0: bad[at] = char(rng() % 256); break;
        case 1: bad[at] = "\"<>=/\r\n\0"[rng() % 8]; break;
        case 2: bad.erase(at, rng() % 10); break;
        default: bad.insert(at, std::string(rng() % 5, '"')); break;
      }
      if (bad.empty()) bad = "<";
    }
    LoadLandMarks(Write("fuzz.xml", bad), "", S);
    EXPECT_LE(S.NumLandMarks(), 40);
  }
  // Unbroken runs without line ends or closing brackets.
  LoadLandMarks(Write("long.xml", kRoot + "\">\r\n<landmark lat=\"" + std::string((1 << 20) + 100, '9')), "", S);
  LoadLandMarks(Write("open.xml", kRoot + "\">\r\n" + std::string(1 << 20, '<')), "", S);
  EXPECT_LE(S.NumLandMarks(), 1);
  const TLandMark huge = LandMarkFromAttributes("lat=\"" + std::string(5000, '9') + "\" long=\"1E99999\"");
  EXPECT_TRUE(std::isfinite(huge.Latitude));
  EXPECT_TRUE(std::isfinite(huge.Longitude));
}

namespace {

// The landmarks the tag reader alone finds after the first root line: the reference for
// the reader's shortcut over plain one-line elements.
std::vector<TLandMark> ByTagReaderOnly(const std::string& path) {
  TextFile F;
  AssignFile(F, path);
  Reset(F);
  std::string line;
  while (ReadLn(F, line) && line.find("<gmlandmarks") == std::string::npos) {
  }
  std::vector<TLandMark> out;
  std::string content, attrs;
  for (;;) {
    const int tag = ReadNextTagInTextFile(F, XmlTags, XmlReaderTagHigh, content, attrs);
    if (tag == xtGeoMapEnd || tag == xtInvalidTag) break;
    if (tag == xtLandmark) out.push_back(LandMarkFromAttributes(attrs));
  }
  return out;
}

}  // namespace

TEST_F(LandMarkFile, ShortcutReadsExactlyWhatTheTagReaderReads) {
  const std::vector<std::string> bodies = {
      "<LANDMARK lat=\"1\" />\r\n<LandMark\tlat=\"2\"/>\r\n<landmark lat=\"3\" / >\r\n",
      "<landmarks lat=\"9\" />\r\n<landmark/>\r\n< landmark lat=\"9\" />\r\n<landmark lat=\"4\" />",
      "<landmark lat=\"5\">text</landmark>\r\n<landmark lat=\"6\" captext=\"a>b<c\" />\r\n",
      "<landmark lat=\"7\" captext=\"open quote />\r\n<landmark lat=\"8\" />\r\n",
      "junk < <landmark lat=\"10\" />\r\n<!-- <landmark lat=\"99\" /> -->\r\n<landmark lat=\"11\"/>",
      "<landmark lat=\"12\"\r\n   long=\"13\" />\r\n<landmark lat=\"14\" <landmark lat=\"15\" />\r\n",
      "<landmark lat=\"16\" /></geomap>\r\n<landmark lat=\"17\" />\r\n",
      "<landmark lat=\"18\" /><?pi x?><landmark lat=\"19\" >\r\n</landmark><landmark lat=\"20\"/>",
  };
  int n = 0;
  for (const std::string& body : bodies) {
    const std::string path = Write("case" + std::to_string(n++) + ".xml", SetText("s", body));
    TLandMarkStore S;
    ASSERT_TRUE(LoadLandMarks(path, "", S));
    const std::vector<TLandMark> want = ByTagReaderOnly(path);
    ASSERT_EQ(S.Items().size(), want.size()) << body;
    for (size_t i = 0; i < want.size(); ++i) EXPECT_EQ(S.Items()[i], want[i]) << body;
  }

  // Elements that straddle the boundaries of the file's read buffer.
  std::string body;
  for (int i = 0; i < 3000; ++i)
    body += "<landmark lat=\"" + std::to_string(i) + "\" captext=\"" + std::string(i % 97, 'x') +
            "\" />" + (i % 5 ? "\r\n" : " ");
  const std::string path = Write("long.xml", SetText("s", body));
  TLandMarkStore S;
  ASSERT_TRUE(LoadLandMarks(path, "", S));
  const std::vector<TLandMark> want = ByTagReaderOnly(path);
  ASSERT_EQ(S.Items().size(), 3000u);
  EXPECT_TRUE(S.Items() == want);
}
