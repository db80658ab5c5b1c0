// GPX and GeoJSON landmark files: round trips, files of other programs, broken input.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>

#include "DegreeText.h"
#include "LandMarkInterchange.h"
#include "LandMarkStore.h"

using namespace vek;
namespace fs = std::filesystem;

namespace {

TLandMark Template() {
  TLandMark T = InitialDefaultLandMark();
  T.Tag = 4242;
  T.SymbolProps.Size = 11;
  T.Caption.FontName = "Arial";
  return T;
}

std::vector<TLandMark> Sample() {
  std::vector<TLandMark> v;
  const TLandMark T = Template();
  for (int i = 0; i < 12; ++i) {
    TLandMark LM = T;
    LM.Latitude = -60 + 11.123456789 * i;
    LM.Longitude = 179.999999 - 29.87654321 * i;
    LM.Altitude = i * 12.5 - 30;
    LM.ClassFlag = static_cast<uint8_t>(i * 23);
    LM.SymbolProps.Kind = static_cast<TLandMarkElement>(i % NumLandMarkElements);
    LM.Caption.Text = i == 3 ? "" : "Pier " + std::to_string(i) + " <Zürich> & \"Côte\"";
    LM.Identifier = i == 4 ? "" : "WP" + std::to_string(100 + i);
    LM.Time = i == 5 ? 0 : EncodeDateTime(1995 + i, 1 + i, 2 + i, i, 3 * i, 59 - i);
    v.push_back(LM);
  }
  return v;
}

void ExpectSameMappedFields(const std::vector<TLandMark>& got, const std::vector<TLandMark>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < got.size(); ++i) {
    // Every field either travels through the file or comes from the template, which is the
    // same here: so the whole record must come back.
    const TLandMark& g = got[i];
    const TLandMark& w = want[i];
    EXPECT_EQ(g.Latitude, w.Latitude) << i;
    EXPECT_EQ(g.Longitude, w.Longitude) << i;
    EXPECT_EQ(g.Altitude, w.Altitude) << i;
    EXPECT_EQ(g.ClassFlag, w.ClassFlag) << i;
    EXPECT_EQ(g.Tag, w.Tag) << i;
    EXPECT_EQ(g.SymbolProps, w.SymbolProps) << i;
    EXPECT_EQ(g.Caption.Text.str(), w.Caption.Text.str()) << i;
    EXPECT_EQ(g.Caption, w.Caption) << i;
    EXPECT_EQ(g.Identifier.str(), w.Identifier.str()) << i;
    EXPECT_EQ(g.Time, w.Time) << i;
  }
}

class Interchange : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("vek_lmx_" + std::to_string(getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  std::string Path(const std::string& n) const { return (dir / n).string(); }
  fs::path dir;
};

}  // namespace

TEST(LandMarkTime, UnixMillisecondsAndTheOddNegativeDays) {
  EXPECT_EQ(UnixMsToDateTime(0), 25569.0);
  EXPECT_EQ(DateTimeToUnixMs(25569.5), 43200000);
  EXPECT_EQ(DateTimeToUnixMs(0), -25569LL * 86400000);
  // -1.25 is 1899-12-29 06:00: the fraction counts forwards from the day.
  EXPECT_EQ(DateTimeToUnixMs(-1.25), (-25570LL) * 86400000 + 6 * 3600000);
  EXPECT_DOUBLE_EQ(UnixMsToDateTime((-25570LL) * 86400000 + 6 * 3600000), -1.25);
  const TDateTime t = EncodeDateTime(2023, 9, 15, 14, 30, 0);
  EXPECT_EQ(UnixMsToDateTime(DateTimeToUnixMs(t)), t);
  EXPECT_EQ(DateTimeToUnixMs(t), 1694788200000LL);
  EXPECT_NEAR(UnixMsToDateTime(1694788200123LL) - t, 0.123 / 86400, 1e-10);
}

TEST(LandMarkGpx, RoundTrip) {
  const std::vector<TLandMark> lms = Sample();
  const std::string gpx = LandMarksToGpx(lms);
  EXPECT_NE(gpx.find("<gpx xmlns=\"http://www.topografix.com/GPX/1/1\" version=\"1.1\""),
            std::string::npos);
  EXPECT_NE(gpx.find("<time>1995-01-02T00:00:59Z</time>"), std::string::npos);
  EXPECT_NE(gpx.find("&lt;Zürich&gt; &amp;"), std::string::npos);  // escaped, UTF-8
  ExpectSameMappedFields(LandMarksFromGpx(gpx, Template()), lms);

  TLandMark withMs = Template();
  withMs.Time = UnixMsToDateTime(1694788200123LL);
  const std::string g2 = LandMarksToGpx({withMs});
  EXPECT_NE(g2.find("<time>2023-09-15T14:30:00.123Z</time>"), std::string::npos);
  EXPECT_EQ(DateTimeToUnixMs(LandMarksFromGpx(g2, Template()).at(0).Time), 1694788200123LL);

  // A landmark placed from single-precision data, named by its identifier alone, without an
  // altitude: short numbers, the identifier as the name programs show, no elevation.
  TLandMark capital = Template();
  capital.Latitude = 48.2f;
  capital.Longitude = 16.37f;
  capital.Identifier = "Vienna";
  const std::string g3 = LandMarksToGpx({capital});
  EXPECT_NE(g3.find("<wpt lat=\"48.2\" lon=\"16.37\">"), std::string::npos) << g3;
  EXPECT_NE(g3.find("<name>Vienna</name>"), std::string::npos) << g3;
  EXPECT_EQ(g3.find("<ele>"), std::string::npos) << g3;
  const TLandMark back = LandMarksFromGpx(g3, Template()).at(0);
  EXPECT_EQ(back.Identifier.str(), "Vienna");
  EXPECT_EQ(back.Caption.Text.str(), "");
}

TEST(LandMarkGeoJson, RoundTrip) {
  const std::vector<TLandMark> lms = Sample();
  const std::string json = LandMarksToGeoJson(lms);
  EXPECT_NE(json.find("\"FeatureCollection\""), std::string::npos);
  ExpectSameMappedFields(LandMarksFromGeoJson(json, Template()), lms);
  EXPECT_TRUE(LandMarksFromGeoJson(LandMarksToGeoJson({}), Template()).empty());
}

TEST(LandMarkGpx, WaypointsOfOtherPrograms) {
  const std::string gpx = R"(<?xml version="1.0" encoding="UTF-8"?>
<gpx version="1.0" creator="other" xmlns="http://www.topografix.com/GPX/1/0">
  <metadata><name>not a waypoint</name></metadata>
  <wpt lat="47.5" lon="8.25">
    <ele>420.5</ele>
    <time>2023-09-15T16:30:00+02:00</time>
    <name>Summit</name>
    <desc>ignored</desc>
    <sym>Flag, Blue</sym>
    <type>Peak</type>
    <extensions><x:a xmlns:x="urn:x"><wpt lat="1" lon="1"/></x:a></extensions>
  </wpt>
  <trk><name>track</name><trkseg><trkpt lat="1" lon="2"/></trkseg></trk>
  <wpt lat="-33.9" lon="18.4"><sym>square</sym><type> 17 </type><time>2001-02-03T04:05:06</time></wpt>
</gpx>)";
  const TLandMark T = Template();
  const std::vector<TLandMark> got = LandMarksFromGpx(gpx, T);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].Latitude, 47.5);
  EXPECT_EQ(got[0].Longitude, 8.25);
  EXPECT_EQ(got[0].Altitude, 420.5);
  EXPECT_EQ(got[0].Time, EncodeDateTime(2023, 9, 15, 14, 30, 0));  // to UTC
  EXPECT_EQ(got[0].Caption.Text, "Summit");
  EXPECT_EQ(got[0].SymbolProps.Kind, T.SymbolProps.Kind);  // unknown symbol name
  EXPECT_EQ(got[0].ClassFlag, T.ClassFlag);                // non-numeric type
  EXPECT_EQ(got[0].Tag, 4242);
  EXPECT_TRUE(got[0].Identifier.empty());
  EXPECT_EQ(got[1].SymbolProps.Kind, lmSquare);
  EXPECT_EQ(got[1].ClassFlag, 17);
  EXPECT_EQ(got[1].Time, EncodeDateTime(2001, 2, 3, 4, 5, 6));  // no offset: UTC
  EXPECT_EQ(got[1].Caption.Text, T.Caption.Text);
}

TEST(LandMarkGeoJson, FeaturesOfOtherPrograms) {
  const std::string json = R"({"type":"FeatureCollection","features":[
    {"type":"Feature","geometry":{"type":"LineString","coordinates":[[0,0],[1,1]]},"properties":{}},
    {"type":"Feature","geometry":{"type":"Point","coordinates":[8.25,47.5]},"properties":null},
    {"type":"Feature","geometry":{"type":"Point","coordinates":[1,2,3]},
     "properties":{"name":"A name that is longer than eighty characters of text, which the caption cannot hold all of","class":300,"symbol":"ArrowTo","identifier":"0123456789ABCDEFGH"}}]})";
  const TLandMark T = Template();
  const std::vector<TLandMark> got = LandMarksFromGeoJson(json, T);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].Latitude, 47.5);
  EXPECT_EQ(got[0].Altitude, T.Altitude);
  EXPECT_EQ(got[1].Altitude, 3);
  EXPECT_EQ(got[1].Caption.Text.length(), 80);
  EXPECT_EQ(got[1].Identifier.str(), "0123456789ABCDE");
  EXPECT_EQ(got[1].ClassFlag, T.ClassFlag);  // 300 is no class
  EXPECT_EQ(got[1].SymbolProps.Kind, lmArrowTo);

  const auto single = LandMarksFromGeoJson(R"({"type":"Point","coordinates":[5,6]})", T);
  ASSERT_EQ(single.size(), 1u);
  EXPECT_EQ(single[0].Latitude, 6);
}

TEST(LandMarkInterchangeErrors, BrokenInputRaisesAClearError) {
  struct Case {
    bool gpx;
    const char* text;
    const char* message;  // part of the error message
  } cases[] = {
      {true, "<gpx><wpt lat=\"1\" lon=\"2\"><name>x</wpt></gpx>", "GPX line 1"},
      {true, "<kml></kml>", "not a GPX file"},
      {true, "<gpx><wpt lat=\"1\"/></gpx>", "without lat and lon"},
      {true, "<gpx><wpt lat=\"north\" lon=\"2\"/></gpx>", "invalid latitude"},
      {true, "<gpx>\n<wpt lat=\"95\" lon=\"400\"/></gpx>", "GPX line 2, column 25: position 95, 400 is not on the earth"},
      {false, R"({"type":"Point","coordinates":[181,10]})", "position 10, 181 is not on the earth"},
      {true, "<gpx><wpt lat=\"1\" lon=\"2\"><ele>high</ele></wpt></gpx>", "elevation"},
      {true, "<gpx><wpt lat=\"1\" lon=\"2\"><time>yesterday</time></wpt></gpx>", "invalid time"},
      {true, "", "GPX"},
      {true, "<gpx>", "GPX line"},
      {false, "{\"type\":", "GeoJSON offset"},
      {false, "[1,2]", "expected an object"},
      {false, "{\"type\":\"Topology\"}", "not a GeoJSON"},
      {false, "{\"type\":\"FeatureCollection\"}", "features array"},
      {false, R"({"type":"FeatureCollection","features":[{"type":"Feature","geometry":{"type":"Point","coordinates":[1]}}]})",
       "feature 1"},
      {false, R"({"type":"Point","coordinates":["1","2"]})", "numbers"},
  };
  const TLandMark T = Template();
  for (const Case& c : cases) {
    std::string message = "no error";
    try {
      c.gpx ? LandMarksFromGpx(c.text, T) : LandMarksFromGeoJson(c.text, T);
    } catch (const EVEKGeoMapError& e) {
      message = e.what();
    }
    EXPECT_NE(message.find(c.message), std::string::npos) << c.text << " gave " << message;
  }
}

TEST(LandMarkInterchangeErrors, MutatedFilesNeverCrash) {
  const std::string gpx = LandMarksToGpx(Sample());
  const std::string json = LandMarksToGeoJson(Sample());
  std::mt19937 rng(3);
  const TLandMark T = Template();
  for (int round = 0; round < 400; ++round) {
    const std::string& base = round % 2 ? gpx : json;
    std::string bad = base.substr(0, rng() % base.size());
    for (int e = 0; e < 8 && !bad.empty(); ++e) bad[rng() % bad.size()] = "<>\"/{}[],:&;x0"[rng() % 14];
    try {
      const auto got = round % 2 ? LandMarksFromGpx(bad, T) : LandMarksFromGeoJson(bad, T);
      EXPECT_LE(got.size(), 12u);
    } catch (const EVEKGeoMapError&) {
    }
  }
}

TEST_F(Interchange, FilesByExtension) {
  const std::vector<TLandMark> lms = Sample();
  for (const char* name : {"a.gpx", "b.GeoJSON", "c.json", "d.xml"}) {
    WriteLandMarkFile(Path(name), lms, "set");
    std::vector<TLandMark> want = lms;
    if (LandMarkFileFormat(name) == lffQuillwort)  // the dialect cannot quote a double quote
      for (TLandMark& LM : want) {
        std::string t = LM.Caption.Text.str();
        for (char& c : t)
          if (c == '"') c = '\'';
        LM.Caption.Text = t;
      }
    ExpectSameMappedFields(ReadLandMarkFile(Path(name), Template(), "SET"), want);
  }
  EXPECT_THROW(WriteLandMarkFile(Path("e.kml"), lms), EVEKGeoMapError);
  EXPECT_THROW(ReadLandMarkFile(Path("e.kml"), Template()), EVEKGeoMapError);
  EXPECT_THROW(ReadLandMarkFile(Path("missing.gpx"), Template()), EInOutError);
  EXPECT_THROW(ReadLandMarkFile(Path("missing.xml"), Template()), EInOutError);
  EXPECT_THROW(ReadLandMarkFile(Path("d.xml"), Template(), "other set"), EVEKGeoMapError);
  EXPECT_THROW(WriteLandMarkFile(Path("no/such/dir/a.gpx"), lms), EInOutError);
  EXPECT_EQ(LandMarkFileFormat("x.GPX"), lffGpx);
  EXPECT_EQ(LandMarkFileFormat("gpx"), lffUnknown);
}
