// The calibration block of the XML dialect: writing, reading, and damaged input.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <unistd.h>

#include "CalibTestSupport.h"
#include "CalibXml.h"
#include "MapCalibration.h"
#include "Streams.h"
#include "TagReader.h"

using namespace vek;
using vek::testing::MessageOf;

namespace {

class TempDir {
 public:
  TempDir() {
    FPath = std::filesystem::temp_directory_path() /
            ("vek_calib_xml_" + std::to_string(::getpid()) + "_" + std::to_string(Counter++));
    std::filesystem::create_directories(FPath);
  }
  ~TempDir() {
    std::error_code Ec;
    std::filesystem::remove_all(FPath, Ec);
  }
  std::string File(const std::string& Name) const { return (FPath / Name).string(); }

 private:
  static inline int Counter = 0;
  std::filesystem::path FPath;
};

std::string ReadAll(const std::string& Name) {
  std::ifstream In(Name, std::ios::binary);
  std::stringstream S;
  S << In.rdbuf();
  return S.str();
}

TMemoryStream StreamOf(const std::string& Text) {
  TMemoryStream S;
  S.Write(Text.data(), static_cast<int64_t>(Text.size()));
  S.SetPosition(0);
  return S;
}

std::string StreamText(TMemoryStream& S) {
  return std::string(reinterpret_cast<const char*>(S.Memory()), static_cast<size_t>(S.Size()));
}

TCalibData SampleData() {
  TCalibData D;
  D.MapFName = "alps.jpg";
  D.Caption = "Alps West";
  D.Corners[gcoTopLeft] = {48, 6};
  D.Corners[gcoBottomLeft] = {46, 6};
  D.Corners[gcoBottomRight] = {46, 10.5};
  D.Corners[gcoTopRight] = {48, 10.5};
  D.Resolution = 12.3456;
  D.UTMZone = 32;
  D.Ellipsoid = gelWGS84;
  D.NumCalLines = 1;
  D.CalLines[1].LineType = gtlParallel;
  D.CalLines[1].LineValue = -12;
  D.CalLines[1].NumPoints = 3;
  D.CalLines[1].CalPoints[1] = {10, 20};
  D.CalLines[1].CalPoints[2] = {30, 40};
  D.CalLines[1].CalPoints[3] = {50, 60};
  D.NumCalQuads = 1;
  D.CalQuads[1] = {47.5, 8.25, 100, 200};
  return D;
}

// A richer calibration for round trips.
TMapCalibration RichCalibration() {
  TMapCalibration C;
  C.SetImageSize(900, 700);
  C.SetModel(cmParabolicIp);
  for (double Lat : {46.25, 47.75})
    for (int x = 0; x <= 800; x += 200) C.AddCalibPoint(gtlParallel, Lat, x, int(100 + (48 - Lat) * 100 + x / 50));
  for (double Lon : {7.5, 9.125})
    for (int y = 0; y <= 600; y += 200) C.AddCalibPoint(gtlMeridian, Lon, int((Lon - 7) * 300 + y / 40), y);
  C.AddCalibPoint(gtlMeridian, 1.5e-7, 1, 1);  // only two points: fitted by no one
  C.AddCalibPoint(gtlMeridian, 1.5e-7, 2, 2);
  C.Data().NumCalQuads = 3;
  C.Data().CalQuads[1] = {47.123456, 8.654321, 10, 20};
  C.Data().CalQuads[2] = {-33.5, -70.25, 300, 400};
  C.Data().CalQuads[3] = {0.000004, 179.999996, 0, 0};
  C.Data().UTMZone = 33;
  C.Data().UTMSouth = true;
  C.Data().Ellipsoid = static_cast<TGeoEllipsoid>(5);
  C.CalcExtentsAndResolution();
  return C;
}

bool ReadMap(const std::string& Text, const std::string& Id, TMapCalibration& C, bool& GratOK) {
  TMemoryStream S = StreamOf(Text);
  std::string AsWritten;
  return ReadCalibBlock(nullptr, &S, Id, C, GratOK, AsWritten);
}

std::string Block(const std::string& Id, const std::string& Model, const std::string& Body,
                  const std::string& Map = "m.jpg", const std::string& Caption = "Cap") {
  return "<geomap sig=\"Quillwort\" vers=\"1.0\" id=\"" + Id + "\" model=\"" + Model + "\" map=\"" +
         Map + "\" caption=\"" + Caption + "\">\r\n" + Body + "</geomap>\r\n";
}

}  // namespace

TEST(CalibXml, WrittenFileLayout) {
  TempDir Dir;
  const std::string Name = Dir.File("cal.xml");
  TextFile F;
  AssignFile(F, Name);
  Rewrite(F);
  WriteRawCalDataToOpenXMLFile(F, true, "alps", SampleData(), cmEquiRect);
  CloseFile(F);
  EXPECT_EQ(ReadAll(Name),
            "<?xml version=\"1.0\"?>\r\n"
            "\r\n"
            "<!-- TGeoMap Calibration / Quillwort -->\r\n"
            "<geomap sig=\"Quillwort\" vers=\"1.0\" id=\"alps\" model=\"equirect\" map=\"alps.jpg\" caption=\"Alps West\">\r\n"
            "<corners>\r\n"
            "[48.00000,6.00000] [46.00000,6.00000] [46.00000,10.50000] [48.00000,10.50000] \r\n"
            "</corners>\r\n"
            "<resolution>12.346</resolution>\r\n"
            "<utmzone>32</utmzone>\r\n"
            "<utmsouth>FALSE</utmsouth>\r\n"
            "<ellipsoid>gelWGS84</ellipsoid>\r\n"
            "<calline type=\"parallel\" value=\"-12\" npoints=\"3\">\r\n"
            "[10,20] [30,40] [50,60] \r\n"
            "</calline>\r\n"
            "<calquads npoints=\"1\">\r\n"
            "[47.50000,8.25000,100,200] \r\n"
            "</calquads>\r\n"
            "</geomap>\r\n");

  // Without the header, resolution, zone and quads.
  TCalibData D = SampleData();
  D.Resolution = 0;
  D.UTMZone = -1;
  D.NumCalQuads = 0;
  D.NumCalLines = 0;
  AssignFile(F, Name);
  Rewrite(F);
  WriteRawCalDataToOpenXMLFile(F, false, "x", D, cmUTM);
  CloseFile(F);
  const std::string T = ReadAll(Name);
  EXPECT_EQ(T.substr(0, 2), "\r\n");
  EXPECT_EQ(T.find("resolution"), std::string::npos);
  EXPECT_EQ(T.find("utmzone"), std::string::npos);
  EXPECT_EQ(T.find("calquads"), std::string::npos);
  EXPECT_NE(T.find("model=\"utm\""), std::string::npos);
  EXPECT_NE(T.find("<ellipsoid>gelWGS84</ellipsoid>"), std::string::npos);
}

TEST(CalibXml, StreamFormLayoutAndEmptyQuads) {
  TCalibData D = SampleData();
  D.NumCalQuads = 0;
  D.Resolution = 0;
  TMemoryStream S;
  WriteRawCalDataToStream(S, "s", D, cmBiquadraticPn);
  const std::string T = StreamText(S);
  EXPECT_EQ(T.substr(0, 23), "<?xml version=\"1.0\"?>\r\n");
  EXPECT_NE(T.find("<resolution>0.000</resolution>\r\n"), std::string::npos);
  EXPECT_EQ(T.find("utmzone"), std::string::npos);
  EXPECT_EQ(T.find("ellipsoid"), std::string::npos);
  EXPECT_NE(T.find("<calquads npoints=\"0\">\r\n\r\n</calquads>\r\n</geomap>\r\n"), std::string::npos);

  S.SetPosition(0);
  TMapCalibration C;
  bool GratOK = true;
  std::string AsWritten;
  EXPECT_TRUE(ReadCalibBlock(nullptr, &S, "", C, GratOK, AsWritten));
  EXPECT_EQ(C.Data().NumCalQuads, 0);
  EXPECT_EQ(C.Model(), cmBiquadraticPn);
  EXPECT_EQ(C.Data().NumCalLines, 1);
}

TEST(CalibXml, FileRoundTrip) {
  TempDir Dir;
  const std::string Name = Dir.File("rich.xml");
  const TMapCalibration Orig = RichCalibration();
  TextFile F;
  AssignFile(F, Name);
  Rewrite(F);
  WriteRawCalDataToOpenXMLFile(F, true, "Rich", Orig.Data(), Orig.Model());
  CloseFile(F);

  TMapCalibration C;
  C.Data().NumCalQuads = 77;  // overwritten by the block
  AssignFile(F, Name);
  Reset(F);
  bool GratOK = false;
  std::string AsWritten;
  ASSERT_TRUE(ReadCalibBlock(&F, nullptr, "rich", C, GratOK, AsWritten));
  CloseFile(F);
  EXPECT_TRUE(GratOK);
  const TCalibData &A = Orig.Data(), &B = C.Data();
  EXPECT_EQ(C.Model(), cmParabolicIp);
  EXPECT_EQ(B.MapFName, "");
  EXPECT_EQ(B.UTMZone, 33);
  EXPECT_TRUE(B.UTMSouth);
  EXPECT_EQ(B.Ellipsoid, A.Ellipsoid);
  EXPECT_NEAR(B.Resolution, A.Resolution, 0.0005);
  for (int c = 0; c < 4; ++c) {
    EXPECT_NEAR(B.Corners.Items[c].Latit, A.Corners.Items[c].Latit, 0.000005);
    EXPECT_NEAR(B.Corners.Items[c].Longit, A.Corners.Items[c].Longit, 0.000005);
  }
  ASSERT_EQ(B.NumCalQuads, 3);
  for (int k = 1; k <= 3; ++k) {
    EXPECT_NEAR(B.CalQuads[k].Latitude, A.CalQuads[k].Latitude, 0.000005);
    EXPECT_NEAR(B.CalQuads[k].Longitude, A.CalQuads[k].Longitude, 0.000005);
    EXPECT_EQ(B.CalQuads[k].MapX, A.CalQuads[k].MapX);
    EXPECT_EQ(B.CalQuads[k].MapY, A.CalQuads[k].MapY);
  }
  // The line with two points is not read back into a map.
  ASSERT_EQ(A.NumCalLines, 5);
  ASSERT_EQ(B.NumCalLines, 4);
  for (int i = 1; i <= 4; ++i) EXPECT_EQ(B.CalLines[i], A.CalLines[i]);
  EXPECT_EQ(C.GratMat().NrOfRows(), 4);

  // ParseCalibData keeps every line.
  TCalibData P;
  TCalibModel M = cmUndefined;
  ASSERT_TRUE(ParseCalibData(Name, "RICH", P, M));
  EXPECT_EQ(M, cmParabolicIp);
  ASSERT_EQ(P.NumCalLines, 5);
  EXPECT_EQ(P.CalLines[5].NumPoints, 2);
  EXPECT_NEAR(P.CalLines[5].LineValue, 1.5e-7, 1e-20);
}

TEST(CalibXml, TwoBlocksSelectedById) {
  const std::string Text =
      Block("north", "equirect", "<calquads npoints=\"1\">\r\n[60.0,10.0,1,2] \r\n</calquads>\r\n", "North.jpg", "North Map") +
      Block("south", "conicconformal", "<calquads npoints=\"2\">\r\n[-40.0,10.0,3,4] [-41.0,11.0,5,6] \r\n</calquads>\r\n", "south.jpg", "South Map");
  TMapCalibration C;
  bool GratOK;
  ASSERT_TRUE(ReadMap(Text, "SOUTH", C, GratOK));
  EXPECT_FALSE(GratOK);
  EXPECT_EQ(C.Model(), cmConicConformal);
  EXPECT_EQ(C.Data().MapFName, "south.jpg");
  EXPECT_EQ(C.Data().Caption, "South Map");
  ASSERT_EQ(C.Data().NumCalQuads, 2);
  EXPECT_EQ(C.Data().CalQuads[2].MapY, 6);

  ASSERT_TRUE(ReadMap(Text, "", C, GratOK));  // empty id: the first block
  EXPECT_EQ(C.Data().CalQuads[1].Latitude, 60.0);
  EXPECT_EQ(C.Data().MapFName, "north.jpg");  // names are kept in lower case
  EXPECT_EQ(C.Data().Caption, "North Map");

  // An id no block has: false; model, map and caption come from the last root line, the
  // rest stays.
  C.Data().NumCalQuads = 1;
  EXPECT_FALSE(ReadMap(Text, "east", C, GratOK));
  EXPECT_EQ(C.Model(), cmConicConformal);
  EXPECT_EQ(C.Data().Caption, "South Map");
  EXPECT_EQ(C.Data().NumCalQuads, 1);
  EXPECT_EQ(C.Data().CalQuads[1].Latitude, 60.0);
}

TEST(CalibXml, RootLineDetails) {
  TMapCalibration C;
  bool GratOK;
  std::string AsWritten;
  // No signature: not a block.
  EXPECT_FALSE(ReadMap("<geomap id=\"a\" model=\"utm\">\r\n</geomap>\r\n", "", C, GratOK));
  EXPECT_EQ(C.Model(), cmUndefined);
  // Map name as written is handed on; an unknown model name gives cmUndefined in a map and
  // keeps the default in ParseCalibData.
  const std::string Text = Block(" Alps ", "Lambert", "", "  Maps/Alps.JPG ", " Mixed Case ");
  TMemoryStream S = StreamOf(Text);
  ASSERT_TRUE(ReadCalibBlock(nullptr, &S, "alps", C, GratOK, AsWritten));
  EXPECT_EQ(C.Model(), cmUndefined);
  EXPECT_EQ(C.Data().MapFName, "maps/alps.jpg");
  EXPECT_EQ(AsWritten, "Maps/Alps.JPG");
  EXPECT_EQ(C.Data().Caption, "Mixed Case");
  TCalibData P;
  TCalibModel M;
  S = StreamOf(Text);
  ASSERT_TRUE(ParseCalibData(S, "ALPS", P, M));
  EXPECT_EQ(M, cmBiquadraticPn);
  S = StreamOf(Block("x", " UTM ", ""));
  ASSERT_TRUE(ParseCalibData(S, "", P, M));
  EXPECT_EQ(M, cmUTM);
}

TEST(CalibXml, ElementValues) {
  const std::string Body =
      "<calline type=\"Parallel\" value=\"12,5\" npoints=\"3\">\r\n[1,2] [3, 4] [5,6]\r\n</calline>\r\n"
      "<calquads npoints=\"3\">\r\n[47.5,8.25,100,200] [4.75E1,8.25,1,2] [1.5,-2.5,-3,4]\r\n</calquads>\r\n"
      "<corners>\r\n[1.5,2.5] [x,y] [3e1,-4] \r\n</corners>\r\n"
      "<resolution>abc</resolution>\r\n"
      "<utmzone> 17 </utmzone>\r\n"
      "<utmsouth>True</utmsouth>\r\n"
      "<ellipsoid>gelNoSuchThing</ellipsoid>\r\n"
      "<unknownelement>ignored</unknownelement>\r\n";
  TCalibData P;
  P.Ellipsoid = static_cast<TGeoEllipsoid>(5);
  P.Resolution = 99;
  TCalibModel M;
  TMemoryStream S = StreamOf(Block("v", "equirect", Body));
  ASSERT_TRUE(ParseCalibData(S, "", P, M));
  ASSERT_EQ(P.NumCalLines, 1);
  EXPECT_EQ(P.CalLines[1].LineType, gtlParallel);
  EXPECT_EQ(P.CalLines[1].LineValue, 12.5);
  EXPECT_EQ(P.CalLines[1].CalPoints[2], (TPoint{3, 4}));
  ASSERT_EQ(P.NumCalQuads, 3);
  EXPECT_EQ(P.CalQuads[1], (TCalQuad{47.5, 8.25, 100, 200}));
  EXPECT_EQ(P.CalQuads[2].Latitude, 4.75);  // no exponent in quads: stops at the E
  EXPECT_EQ(P.CalQuads[3], (TCalQuad{1.5, -2.5, -3, 4}));
  EXPECT_EQ(P.Corners[gcoTopLeft], (TCoords{1.5, 2.5}));
  EXPECT_EQ(P.Corners[gcoBottomLeft], (TCoords{0, 0}));  // malformed numbers read as 0
  EXPECT_EQ(P.Corners[gcoBottomRight], (TCoords{30, -4}));
  EXPECT_EQ(P.Resolution, 0.0);
  EXPECT_EQ(P.UTMZone, 17);
  EXPECT_TRUE(P.UTMSouth);
  EXPECT_EQ(P.Ellipsoid, static_cast<TGeoEllipsoid>(5));  // unknown name: kept

  S = StreamOf(Block("v", "equirect", "<utmsouth> true</utmsouth>\r\n<ellipsoid>gelWGS72</ellipsoid>\r\n"));
  ASSERT_TRUE(ParseCalibData(S, "", P, M));
  EXPECT_FALSE(P.UTMSouth);
  EXPECT_EQ(P.Ellipsoid, gelWGS72);
}

TEST(CalibXml, MapReaderDiscardsShortLinesAndReportsGraticule) {
  std::string Body;
  auto Line = [&](const char* Type, const char* Value, const char* Points, int N) {
    Body += std::string("<calline type=\"") + Type + "\" value=\"" + Value + "\" npoints=\"" +
            std::to_string(N) + "\">\r\n" + Points + "\r\n</calline>\r\n";
  };
  Line("parallel", "50", "[0,100] [100,101] [200,100]", 3);
  Line("parallel", "49", "[0,200] [100,201]", 2);
  Line("meridian", "10", "[100,0] [101,100] [100,200]", 3);
  Line("meridian", "11", "[200,0] [201,100] [200,200]", 3);
  Body += "<calquads npoints=\"3\">\r\n[50,10,100,100] [50,11,200,100] [49,10,100,200]\r\n</calquads>\r\n";
  TMapCalibration C;
  bool GratOK = true;
  ASSERT_TRUE(ReadMap(Block("g", "parabolicip", Body), "", C, GratOK));
  EXPECT_FALSE(GratOK);  // only one parallel with three points
  EXPECT_EQ(C.Data().NumCalLines, 3);
  EXPECT_EQ(C.Data().NumCalQuads, 3);
  EXPECT_EQ(C.Data().UTMZone, -1);  // cleared before reading
}

TEST(CalibXml, CountAndTypeErrors) {
  TMapCalibration C;
  bool GratOK;
  const std::string Good = "<calline type=\"parallel\" value=\"1\" npoints=\"3\">\r\n[1,1] [2,2] [3,3]\r\n</calline>\r\n";
  EXPECT_EQ(MessageOf([&] {
              ReadMap(Block("e", "parabolicip", Good + "<calline type=\"Diagonal\" value=\"1\" npoints=\"0\">\r\n\r\n</calline>\r\n"), "", C, GratOK);
            }),
            "invalid type of graticule line: type=\"diagonal\"");
  EXPECT_EQ(C.Data().NumCalLines, 1);  // what was read before stays
  EXPECT_EQ(MessageOf([&] {
              ReadMap(Block("e", "parabolicip", "<calline type=\"meridian\" value=\"1\" npoints=\"4\">\r\n[1,1] [2,2] [3,3]\r\n</calline>\r\n"), "", C, GratOK);
            }),
            "specified number of calibration points and actual number does not match");
  EXPECT_EQ(MessageOf([&] {
              ReadMap(Block("e", "equirect", "<calquads npoints=\"1\">\r\n[1,1,1,1] [2,2,2,2]\r\n</calquads>\r\n"), "", C, GratOK);
            }),
            "specified number of calibration points and actual number does not match");
  EXPECT_EQ(C.Data().NumCalQuads, 2);  // never more than was stored

  TCalibData P;
  TCalibModel M;
  TMemoryStream S = StreamOf(Block("e", "equirect", "<calquads npoints=\"x\">\r\n[1,1,1,1]\r\n</calquads>\r\n"));
  EXPECT_EQ(MessageOf([&] { ParseCalibData(S, "", P, M); }),
            "ParseCalibData: specified number of calibration points and actual number does not match");
  S = StreamOf(Block("e", "equirect", "<calline type=\"Diagonal\" npoints=\"0\"></calline>\r\n"));
  EXPECT_EQ(MessageOf([&] { ParseCalibData(S, "", P, M); }),
            "ParseCalibData: invalid type of graticule line: type=\"Diagonal\"");
  EXPECT_FALSE(ParseCalibData("/nonexistent/dir/cal.xml", "", P, M));
}

TEST(CalibXml, SurplusItemsAreIgnored) {
  std::string Body = "<corners>\r\n[1,1] [2,2] [3,3] [4,4] [5,5] [6,6]\r\n</corners>\r\n";
  for (int i = 0; i < 30; ++i)
    Body += "<calline type=\"meridian\" value=\"" + std::to_string(i) + "\" npoints=\"3\">\r\n[1,1] [2,2] [3,3]\r\n</calline>\r\n";
  std::string Twelve;
  for (int k = 1; k <= 12; ++k) Twelve += "[" + std::to_string(k) + ",0] ";
  std::string Quads;
  for (int k = 1; k <= 250; ++k) Quads += "[1,2," + std::to_string(k) + ",4] ";
  const std::string WithLong = Block("c", "equirect",
      "<calline type=\"parallel\" value=\"5\" npoints=\"12\">\r\n" + Twelve + "\r\n</calline>\r\n" + Body +
      "<calquads npoints=\"250\">\r\n" + Quads + "\r\n</calquads>\r\n");
  TCalibData P;
  TCalibModel M;
  TMemoryStream S = StreamOf(WithLong);
  ASSERT_TRUE(ParseCalibData(S, "", P, M));
  EXPECT_EQ(P.NumCalLines, 25);
  EXPECT_EQ(P.CalLines[1].NumPoints, 10);
  EXPECT_EQ(P.CalLines[1].CalPoints[10].X, 10);
  EXPECT_EQ(P.CalLines[25].LineValue, 23.0);
  EXPECT_EQ(P.NumCalQuads, 200);
  EXPECT_EQ(P.CalQuads[200].MapX, 200);
  EXPECT_EQ(P.Corners[gcoTopRight], (TCoords{4, 4}));

  TMapCalibration C;
  bool GratOK;
  ASSERT_TRUE(ReadMap(WithLong, "", C, GratOK));
  EXPECT_EQ(C.Data().NumCalLines, 25);
  EXPECT_EQ(C.Data().NumCalQuads, 200);
}

TEST(CalibXml, DamagedInputNeverCrashes) {
  TMemoryStream Out;
  const TMapCalibration Orig = RichCalibration();
  WriteRawCalDataToStream(Out, "a", Orig.Data(), cmEquiRect);
  WriteRawCalDataToStream(Out, "b", Orig.Data(), cmParabolicIp);
  const std::string Good = StreamText(Out);
  static const char Chars[] = "<>/\"=[],.-+Ee0123456789 \r\n\tgeomapcalinequadsquillwort\x00\xff";
  const std::string Alphabet(Chars, sizeof(Chars) - 1);

  auto Feed = [](const std::string& Text) {
    auto Check = [](const TCalibData& D) {
      EXPECT_LE(D.NumCalLines, MaxCalLines);
      EXPECT_LE(D.NumCalQuads, MaxCalQuads);
      for (int i = 1; i <= std::max(0, std::min(D.NumCalLines, MaxCalLines)); ++i)
        EXPECT_LE(D.CalLines[i].NumPoints, MaxCalLinePoints);
    };
    for (const char* Id : {"", "b"}) {
      TCalibData P;
      TCalibModel M;
      TMemoryStream S = StreamOf(Text);
      try {
        ParseCalibData(S, Id, P, M);
      } catch (const EVEKGeoMapError&) {
      }
      Check(P);
      TMapCalibration C;
      bool GratOK;
      try {
        ReadMap(Text, Id, C, GratOK);
        C.FitModel();
      } catch (const EVEKGeoMapError&) {
      }
      Check(C.Data());
    }
  };

  for (size_t Len = 0; Len < Good.size(); Len += 7) Feed(Good.substr(0, Len));
  std::mt19937 Gen(20261208);
  for (int Round = 0; Round < 300; ++Round) {
    std::string T = Good;
    const int Changes = 1 + int(Gen() % 12);
    for (int c = 0; c < Changes; ++c) {
      const size_t At = Gen() % T.size();
      switch (Gen() % 3) {
        case 0: T[At] = Alphabet[Gen() % Alphabet.size()]; break;
        case 1: T.erase(At, 1 + Gen() % 20); break;
        default: T.insert(At, T.substr(Gen() % T.size(), Gen() % 40)); break;
      }
      if (T.empty()) T = "x";
    }
    Feed(T);
  }
}
