// The calibration, landmark and symbol files keep their exact bytes: fixed content with quotes,
// ampersands and non-ASCII text in every name, compared with files from an earlier build.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "CalibXml.h"
#include "DegreeText.h"
#include "LandMarkXml.h"
#include "SymbolRepository.h"

using namespace vek;
namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// What the writers produce for the content below: identifiers and captions with a double
// quote in them carry a single one, as in every root line of the dialect.
const char kCalibBytes[] =
    "<?xml version=\"1.0\"?>\r\n"
    "\r\n"
    "<!-- TGeoMap Calibration / Quillwort -->\r\n"
    "<geomap sig=\"Quillwort\" vers=\"1.0\" id=\"Ca'f\xC3\xA9 & <Lo>'s \xC3\x9F\" "
    "model=\"biquadraticpn\" map=\"m\"aps/Z\xC3\xBC&rich.png\" caption=\"Ca'f\xC3\xA9 & "
    "<Lo>'s \xC3\x9F\">\r\n"
    "<corners>\r\n"
    "[47.50000,8.25000] [47.25000,8.25000] [47.25000,8.75000] [47.50000,8.75000] \r\n"
    "</corners>\r\n"
    "<resolution>12.500</resolution>\r\n"
    "<utmzone>32</utmzone>\r\n"
    "<utmsouth>FALSE</utmsouth>\r\n"
    "<ellipsoid>gelWGS84</ellipsoid>\r\n"
    "<calline type=\"parallel\" value=\"47.4\" npoints=\"3\">\r\n"
    "[10,20] [200,22] [400,25] \r\n"
    "</calline>\r\n"
    "<calline type=\"meridian\" value=\"8.5\" npoints=\"3\">\r\n"
    "[210,5] [212,150] [215,300] \r\n"
    "</calline>\r\n"
    "<calquads npoints=\"1\">\r\n"
    "[47.30000,8.40000,120,240] \r\n"
    "</calquads>\r\n"
    "</geomap>\r\n";
const char kLandMarkBytes[] =
    "<?xml version=\"1.0\"?>\r\n"
    "\r\n"
    "<!-- TGeoMap Landmarks / Quillwort -->\r\n"
    "<gmlandmarks sig=\"Quillwort\" vers=\"1.0\" id=\"Ca'f\xC3\xA9 & <Lo>'s \xC3\x9F\">\r\n"
    "<landmark lat=\"47.376\" long=\"8.541\" alti=\"408\" class=\"0\" usertag=\"0\" "
    "element=\"Cross\" kind=\"8\" size=\"7\" colorfg=\"00FF0000\" colorbg=\"00FFFFFF\" "
    "transp=\"FALSE\" dir=\"0\" leng=\"10\" id=\"W'P&1 \xE9\" date=\"20210615123045\" "
    "captext=\"Ca'f\xE9 & <Lo>'s \xDF\" capsize=\"8\" capfnm=\"D\xE9'ja & Vu\" "
    "capfgcol=\"00000000\" capbgcol=\"00FFFFFF\" captransp=\"TRUE\" capdir=\"0\" "
    "capdx=\"0\" capdy=\"8\" caphal=\"2\" capval=\"0\" capfst=\"0000\" />\r\n"
    "</gmlandmarks>\r\n";
const char kSymbolBytes[] =
    "<?xml version=\"1.0\"?>\r\n"
    "\r\n"
    "<!-- TGeoMap Landmark Repository / Quillwort -->\r\n"
    "<lmsymbols sig=\"Quillwort\" vers=\"1.0\" id=\"Ca'f\xC3\xA9 & <Lo>'s \xC3\x9F\">\r\n"
    "<symbol element=\"Circle\" name=\"Ca'f\xE9 & <Lo>'s \xDF\" category=\"3\" "
    "colorfg=\"00102030\" colorbg=\"00A0B0C0\" size=\"7\" transp=\"TRUE\" dir=\"45\" "
    "leng=\"12\" />\r\n"
    "</lmsymbols>\r\n";

const std::string kOddName = "Ca\"fé & <Lo>'s \xC3\x9F";

TCalibData Calibration() {
  TCalibData D;
  D.MapFName = "m\"aps/Zü&rich.png";
  D.Caption = kOddName;
  D.Corners[gcoTopLeft] = {47.5, 8.25};
  D.Corners[gcoBottomLeft] = {47.25, 8.25};
  D.Corners[gcoBottomRight] = {47.25, 8.75};
  D.Corners[gcoTopRight] = {47.5, 8.75};
  D.Resolution = 12.5;
  D.NumCalLines = 2;
  D.CalLines[1].LineType = gtlParallel;
  D.CalLines[1].LineValue = 47.4;
  D.CalLines[1].NumPoints = 3;
  D.CalLines[1].CalPoints[1] = {10, 20};
  D.CalLines[1].CalPoints[2] = {200, 22};
  D.CalLines[1].CalPoints[3] = {400, 25};
  D.CalLines[2].LineType = gtlMeridian;
  D.CalLines[2].LineValue = 8.5;
  D.CalLines[2].NumPoints = 3;
  D.CalLines[2].CalPoints[1] = {210, 5};
  D.CalLines[2].CalPoints[2] = {212, 150};
  D.CalLines[2].CalPoints[3] = {215, 300};
  D.NumCalQuads = 1;
  D.CalQuads[1] = TCalQuad{47.3, 8.4, 120, 240};
  D.UTMZone = 32;
  D.Ellipsoid = gelWGS84;
  return D;
}

}  // namespace

TEST(DialectFiles, WrittenBytesStayTheSame) {
  const fs::path dir = fs::temp_directory_path() / ("vek_dialect_bytes_" + std::to_string(getpid()));
  fs::create_directories(dir);

  {
    TextFile F;
    AssignFile(F, (dir / "calib.xml").string());
    Rewrite(F);
    WriteRawCalDataToOpenXMLFile(F, true, kOddName, Calibration(), cmBiquadraticPn);
    CloseFile(F);
  }

  TLandMarkStore Marks;
  TLandMark LM = Marks.MakeLandMark(47.376, 8.541, 408);
  LM.Identifier = "W\"P&1 é";
  LM.Caption.Text = kOddName;
  LM.Caption.FontName = "Dé\"ja & Vu";
  LM.Time = EncodeDateTime(2021, 6, 15, 12, 30, 45);
  Marks.AppendLandMark(LM);
  SaveLandMarks((dir / "marks.xml").string(), kOddName, Marks);

  TSymbolRepository Symbols;
  TSymbol S;
  S.Properties = TSymbolProperties{lmCircle, 7, TColor(0x102030), TColor(0xA0B0C0), true, 45, 12};
  S.Name = kOddName;
  S.Category = 3;
  Symbols.SetNumEntries(1);
  Symbols.SetSymbols(1, S);
  Symbols.StoreOnFile((dir / "symbols.xml").string(), kOddName);

  const std::string Calib = ReadAll(dir / "calib.xml"), Land = ReadAll(dir / "marks.xml"),
                    Sym = ReadAll(dir / "symbols.xml");
  fs::remove_all(dir);
  EXPECT_EQ(Calib, kCalibBytes);
  EXPECT_EQ(Land, kLandMarkBytes);
  EXPECT_EQ(Sym, kSymbolBytes);
}

// A block saved under an identifier with a quote, surrounding blanks or a line break is found
// again by that identifier, in each of the three files.
TEST(DialectFiles, BlocksAreFoundByTheIdentifierTheyWereSavedUnder) {
  const fs::path dir = fs::temp_directory_path() / ("vek_dialect_ids_" + std::to_string(getpid()));
  fs::create_directories(dir);
  for (const std::string& Id : {kOddName, std::string(" pad\"ded "), std::string("two\nlines")}) {
    const std::string calib = (dir / "calib.xml").string(), marks = (dir / "marks.xml").string(),
                      symbols = (dir / "symbols.xml").string();
    TextFile F;
    AssignFile(F, calib);
    Rewrite(F);
    WriteRawCalDataToOpenXMLFile(F, true, "other", Calibration(), cmEquiRect);
    WriteRawCalDataToOpenXMLFile(F, false, Id, Calibration(), cmBiquadraticPn);
    CloseFile(F);
    TCalibData D;
    TCalibModel M = cmUndefined;
    EXPECT_TRUE(ParseCalibData(calib, Id, D, M)) << Id;
    EXPECT_EQ(M, cmBiquadraticPn) << Id;
    EXPECT_EQ(D.Caption, "Ca'fé & <Lo>'s \xC3\x9F");

    TLandMarkStore Marks, Back;
    Marks.AppendLandMark(Marks.MakeLandMark(47.376, 8.541, 408));
    SaveLandMarks(marks, Id, Marks);
    EXPECT_TRUE(LoadLandMarks(marks, Id, Back)) << Id;
    EXPECT_EQ(Back.NumLandMarks(), 1);

    TSymbolRepository Symbols, SymbolsBack;
    Symbols.SetNumEntries(1);
    Symbols.StoreOnFile(symbols, Id);
    EXPECT_TRUE(SymbolsBack.LoadFromFile(symbols, Id)) << Id;
  }
  fs::remove_all(dir);
}
