// Generated empty maps: geometry of frame, graticule and labels, normalisation of the
// parameters, the callback, the files written and the calibration each operation leaves.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QFileInfo>
#include <array>
#include <cmath>
#include <filesystem>

#include "CalibTestSupport.h"
#include "CalibXml.h"
#include "DegreeText.h"
#include "test_geomap_helpers.h"

namespace vek {
namespace {

using testing::MapHost;
using testing::MessageOf;
using testing::PixelOf;

constexpr TColor kGrey = 0xC0C0C0;

class EmptyMap : public ::testing::Test {
 protected:
  QTemporaryDir dir;
  MapHost h;
  testing::TestMap& m = *h.map;
  void SetUp() override { ASSERT_TRUE(dir.isValid()); }
  std::string Path(const std::string& name) const {
    return QDir(dir.path()).filePath(QString::fromStdString(name)).toStdString();
  }
};

int CountInRow(const QImage& img, int y, int x0, int x1, TColor c) {
  int n = 0;
  for (int x = x0; x < x1; ++x) n += PixelOf(img, x, y) == c;
  return n;
}

// True when the block of img at (X, Y) shows Text exactly as the map's canvas draws it with
// its initial font on white.
bool ShowsLabel(const QImage& img, int X, int Y, const std::string& Text) {
  TBitmap ref(img.width(), img.height());
  TCanvas& c = *ref.Canvas();
  const int w = c.TextWidth(Text), hgt = c.TextHeight(Text);
  c.TextOut(X, Y, Text);
  const QImage r = ref.Image();
  for (int y = Y; y < Y + hgt; ++y)
    for (int x = X; x < X + w; ++x)
      if (img.pixel(x, y) != r.pixel(x, y)) return false;
  return true;
}

TEST_F(EmptyMap, ParallelsRowsAndLabels) {
  // 40 ... 50 deg over 460 rows: the map area is 400 rows, 40 per degree. One meridian (15 E)
  // in the middle, away from the parallels' labels.
  m.CreateEmptyMapInMemory(40, 10, 50, 20, 1, 5, 460, 460, true, nullptr);
  const QImage img = m.MapBitmap()->Image();
  ASSERT_EQ(img.size(), QSize(460, 460));

  for (int lat = 41; lat <= 49; ++lat) {
    const int y = 430 - 40 * (lat - 40);  // 390, 350, ... 70
    SCOPED_TRACE(lat);
    EXPECT_GT(CountInRow(img, y, 100, 360, kGrey), 80);  // dashed
    const std::string label = " " + DegreeToStr(lat, dfDegrees, 0) + " N ";
    EXPECT_EQ(label, " " + std::to_string(lat) + "\xC2\xB0 N ");
    TCanvas& c = *m.MapBitmap()->Canvas();
    const int w = c.TextWidth(label), lh = c.TextHeight(label);
    EXPECT_TRUE(ShowsLabel(img, 36, y - lh / 2, label));
    EXPECT_TRUE(ShowsLabel(img, 460 - w - 36, y - lh / 2, label));
  }
  // Between parallels only the meridian's dashes are grey; 40 and 50 lie on the solid frame
  // and are not drawn (the meridian crosses the frame at column 230).
  for (int y : {370, 30, 430}) EXPECT_LE(CountInRow(img, y, 31, 430, kGrey), 1) << y;
  for (int y : {30, 430})
    EXPECT_EQ(CountInRow(img, y, 30, 230, 0x000000) + CountInRow(img, y, 231, 431, 0x000000), 400);
  // The dotted outer frame at 26 and the meridian at column 230 with its labels.
  const int dots = CountInRow(img, 26, 26, 435, 0x000000);
  EXPECT_GT(dots, 100);
  EXPECT_LT(dots, 409);
  int greyInColumn = 0;
  for (int y = 31; y < 430; ++y) greyInColumn += PixelOf(img, 230, y) == kGrey;
  EXPECT_GT(greyInColumn, 80);
  const std::string e15 = " 15\xC2\xB0 E ";
  TCanvas& c = *m.MapBitmap()->Canvas();
  const int w = c.TextWidth(e15), lh = c.TextHeight(e15);
  EXPECT_TRUE(ShowsLabel(img, 230 - w / 2, 24 - lh, e15));
  EXPECT_TRUE(ShowsLabel(img, 230 - w / 2, 460 - 24, e15));
}

TEST_F(EmptyMap, LabelFormatsFollowTheSpacingAndSigns) {
  // Southern and western values carry their absolute value and S or W; a spacing of 0.5
  // gives degrees and minutes, 0.05 degrees, minutes and seconds.
  m.CreateEmptyMapInMemory(-50, -12, -40, -10, 1, 0.5, 460, 460, true, nullptr);
  QImage img = m.MapBitmap()->Image();
  TCanvas& c = *m.MapBitmap()->Canvas();
  const std::string s41 = " " + DegreeToStr(41, dfDegrees, 0) + " S ";
  EXPECT_TRUE(ShowsLabel(img, 36, 70 - c.TextHeight(s41) / 2, s41));  // -41 is 9 deg above -50
  const std::string w11 = " " + DegreeToStr(11, dfDegMin, 0) + " W ";
  EXPECT_EQ(w11, " 11\xC2\xB0" "00' W ");
  const int x11 = 30 + 200;  // -11 is halfway
  EXPECT_TRUE(ShowsLabel(img, x11 - c.TextWidth(w11) / 2, 24 - c.TextHeight(w11), w11));

  m.CreateEmptyMapInMemory(40, 10, 50, 10.2, 1, 0.05, 460, 460, true, nullptr);
  img = m.MapBitmap()->Image();
  const std::string e10_05 = " " + DegreeToStr(10.05, dfDegMinSec, 0) + " E ";
  EXPECT_EQ(e10_05, " 10\xC2\xB0" "03'00\" E ");
  const int x = 30 + 100;  // a quarter of 400 columns
  EXPECT_TRUE(ShowsLabel(img, x - c.TextWidth(e10_05) / 2, 436, e10_05));
}

TEST_F(EmptyMap, NormalisationAndCallback) {
  struct Call {
    TObject* sender;
    double latLow, longLow, latHigh, longHigh;
    int wid, hgt;
  };
  std::vector<Call> calls;
  auto record = [&](TObject* s, TCanvas* canvas, double a, double b, double c2, double d, int32_t w,
                    int32_t hh) {
    calls.push_back({s, a, b, c2, d, w, hh});
    // The application draws with the geometry of the map area: 45 N is row 230.
    canvas->SetPixel(200, 230, 0x0000FF);
  };
  // Swapped bounds, step 0 and a width below 100.
  m.CreateEmptyMapInMemory(50, 20, 40, 10, 0, -3, 50, 460, true, record);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].sender, &m);
  EXPECT_EQ(calls[0].latLow, 40);
  EXPECT_EQ(calls[0].longLow, 10);
  EXPECT_EQ(calls[0].latHigh, 50);
  EXPECT_EQ(calls[0].longHigh, 20);
  EXPECT_EQ(calls[0].wid, 100);
  EXPECT_EQ(calls[0].hgt, 460);
  const QImage swapped = m.MapBitmap()->Image();
  const TCalibData swappedCal = m.CalibData();
  EXPECT_EQ(swapped.width(), 100);
  m.CreateEmptyMapInMemory(40, 10, 50, 20, 1, 1, 100, 460, true, record);
  EXPECT_EQ(m.MapBitmap()->Image(), swapped);
  EXPECT_EQ(m.CalibData(), swappedCal);

  // The callback also runs without graticule and draws onto the image.
  m.CreateEmptyMapInMemory(40, 10, 50, 20, 1, 1, 460, 460, false, record);
  EXPECT_EQ(calls.size(), 3u);
  EXPECT_EQ(PixelOf(*m.MapBitmap(), 200, 230), 0x0000FFu);
}

TEST_F(EmptyMap, InMemoryCalibration) {
  // With the graticule the nine points lie on the map area's frame.
  m.CreateEmptyMapInMemory(40, 10, 50, 20, 1, 1, 461, 361, true, nullptr);
  EXPECT_EQ(m.CalibModel(), cmEquiRect);
  EXPECT_EQ(m.MapImgFile(), "$unknown$");
  TCalibData d = m.CalibData();
  EXPECT_EQ(d.MapFName, "$unknown$");
  EXPECT_EQ(d.Caption, "Map generated by TGeoMap");
  ASSERT_EQ(d.NumCalQuads, 9);
  EXPECT_EQ(d.NumCalLines, 0);
  EXPECT_EQ(d.UTMZone, 0);
  EXPECT_FALSE(d.UTMSouth);
  EXPECT_EQ(d.Ellipsoid, gelWGS84);
  // 401 columns and 301 rows: the middle points fall on halves, rounded to even.
  EXPECT_EQ(d.CalQuads[1], (TCalQuad{40, 10, 30, 331}));
  EXPECT_EQ(d.CalQuads[5], (TCalQuad{45, 15, 230, 180}));  // 230.5 and 180.5
  EXPECT_EQ(d.CalQuads[9], (TCalQuad{50, 20, 431, 30}));
  EXPECT_GT(d.Resolution, 0);  // the in-memory map is fitted and measured at once
  bool ok = false;  // the two rounded points leave the fit a fraction of a pixel off
  EXPECT_NEAR(m.CalcLatitude(30, 331, ok), 40, 0.02);
  EXPECT_TRUE(ok);
  EXPECT_NEAR(m.CalcLongitude(431, 30, ok), 20, 0.02);

  // Without it they lie on the image's edges: pixel (0, Hgt) is (LatLow, LongLow).
  m.CreateEmptyMapInMemory(40, 10, 50, 20, 1, 1, 400, 300, false, nullptr);
  d = m.CalibData();
  EXPECT_EQ(d.CalQuads[1], (TCalQuad{40, 10, 0, 300}));
  EXPECT_EQ(d.CalQuads[9], (TCalQuad{50, 20, 400, 0}));
  EXPECT_NEAR(m.CalcLatitude(0, 300, ok), 40, 1e-9);
  EXPECT_NEAR(m.CalcLongitude(0, 300, ok), 10, 1e-9);
  EXPECT_NEAR(m.CalcLatitude(200, 150, ok), 45, 1e-9);
  const QImage img = m.MapBitmap()->Image();
  EXPECT_EQ(testing::PixelOf(img, 30, 30), 0xFFFFFFu);  // blank: no frame
  EXPECT_EQ(img, testing::Solid(400, 300, 0xFFFFFF).convertToFormat(img.format()));
}

TEST_F(EmptyMap, WrittenFilesAndLoadedMap) {
  const std::string name = Path("maps.v2/Blank.dat");
  std::filesystem::create_directories(Path("maps.v2"));
  m.CreateAndLoadEmptyMap(name, 40, 10, 50, 20, 1, 2, 460, 360, nullptr);
  const std::string bmp = Path("maps.v2/Blank.bmp"), xml = Path("maps.v2/Blank.xml");
  ASSERT_TRUE(QFileInfo::exists(QString::fromStdString(bmp)));
  ASSERT_TRUE(QFileInfo::exists(QString::fromStdString(xml)));
  EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(name)));
  EXPECT_EQ(m.CalibModel(), cmBiquadraticPn);
  EXPECT_EQ(m.MapImgWidth(), 460);
  EXPECT_EQ(m.MapImgHeight(), 360);
  EXPECT_EQ(m.CalibData().Caption, "Map generated by TGeoMap");
  EXPECT_EQ(m.CalibData().NumCalQuads, 9);
  bool ok = false;
  EXPECT_NEAR(m.CalcLatitude(30, 180, ok), 45, 1e-6);  // the middle of the left edge
  EXPECT_NEAR(m.CalcLongitude(430, 180, ok), 20, 1e-6);
  EXPECT_EQ(PixelOf(*m.MapBitmap(), 30, 30), 0x000000u);  // the frame, read back from the file

  // The file holds the record as generated: the bitmap's name, corners, no resolution.
  TCalibData d;
  TCalibModel model = cmUndefined;
  ASSERT_TRUE(ParseCalibData(xml, "VEK_geomap_caldata", d, model));
  EXPECT_EQ(model, cmBiquadraticPn);
  EXPECT_EQ(d.MapFName, QString::fromStdString(bmp).toLower().toStdString());
  EXPECT_EQ(d.Resolution, 0);
  EXPECT_EQ(d.Corners[gcoTopLeft], (TCoords{50, 10}));
  EXPECT_EQ(d.Corners[gcoBottomRight], (TCoords{40, 20}));
  EXPECT_EQ(d.CalQuads[7], (TCalQuad{50, 10, 30, 30}));

  // A name without extension in a directory with a dot gets both extensions appended.
  m.CreateAndLoadEmptyMap(Path("maps.v2/plain"), 40, 10, 50, 20, 1, 2, 200, 200, nullptr);
  EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(Path("maps.v2/plain.bmp"))));
  EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(Path("maps.v2/plain.xml"))));
  EXPECT_EQ(m.MapImgWidth(), 200);

  // For a person to look at.
  m.CreateAndLoadEmptyMap(Path("alps"), 45.5, 5.5, 48.2, 11.0, 0.5, 1, 640, 420,
                          [](TObject*, TCanvas* c, double latLow, double longLow, double latHigh,
                             double longHigh, int32_t w, int32_t hh) {
                            // Bern, drawn by the application at its position.
                            const int x = 30 + RoundToInt((7.45 - longLow) / (longHigh - longLow) * (w - 60));
                            const int y = hh - 30 - RoundToInt((46.95 - latLow) / (latHigh - latLow) * (hh - 60));
                            c->Brush().SetColor(0x0000FF);
                            c->Ellipse(x - 4, y - 4, x + 5, y + 5);
                            c->Brush().SetColor(0xFFFFFF);
                            c->TextOut(x + 7, y - 7, "Bern");
                          });
  m.MapBitmap()->Image().save("empty_map.png");
}

TEST_F(EmptyMap, RefusedBoundsAndSizesLeaveNothingBehind) {
  m.CreateEmptyMapInMemory(40, 10, 50, 20, 1, 1, 300, 300, true, nullptr);
  const TCalibData before = m.CalibData();
  const QImage image = m.MapBitmap()->Image();
  int calls = 0;
  auto count = [&](TObject*, TCanvas*, double, double, double, double, int32_t, int32_t) { ++calls; };
  const std::string name = Path("flat.dat");
  const double nan = std::nan("");
  struct Case {
    double latLow, longLow, latHigh, longHigh;
    int wid, hgt;
    std::string message;
  };
  const std::string noArea = "cannot generate an empty map: the bounds span no area";
  for (const Case& k : {Case{45, 10, 45, 20, 300, 300, noArea}, Case{40, 12, 50, 12, 300, 300, noArea},
                        Case{40, 10, nan, 20, 300, 300, "bounds must be finite numbers"},
                        // An image the map would refuse to load is refused before drawing.
                        Case{40, 10, 50, 20, 3000, 1001, "maximum of 3000000 pixels exceeded"}}) {
    SCOPED_TRACE(k.message);
    EXPECT_THAT(MessageOf([&] {
                  m.CreateAndLoadEmptyMap(name, k.latLow, k.longLow, k.latHigh, k.longHigh, 1, 1,
                                          k.wid, k.hgt, count);
                }),
                ::testing::AllOf(::testing::StartsWith("Component \"Map1\": "),
                                 ::testing::HasSubstr(k.message)));
    EXPECT_THAT(MessageOf([&] {
                  m.CreateEmptyMapInMemory(k.latLow, k.longLow, k.latHigh, k.longHigh, 1, 1, k.wid,
                                           k.hgt, true, count);
                }),
                ::testing::HasSubstr(k.message));
  }
  EXPECT_EQ(calls, 0);
  EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(Path("flat.bmp"))));
  EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(Path("flat.xml"))));
  EXPECT_EQ(m.CalibData(), before);
  EXPECT_EQ(m.MapBitmap()->Image(), image);
  EXPECT_EQ(m.MapImgFile(), "$unknown$");
}

TEST_F(EmptyMap, SpacingFinerThanAPixelEnds) {
  // A billion lines would be drawn; they are drawn a pixel apart instead, and the loop also
  // ends where the step no longer changes the value.
  m.CreateEmptyMapInMemory(40, 10, 50, 20, 1e-9, 1e-300, 200, 200, true, nullptr);
  const QImage img = m.MapBitmap()->Image();
  int grey = 0;
  for (int y = 31; y < 170; ++y) grey += CountInRow(img, y, 31, 170, kGrey);
  EXPECT_GT(grey, 1000);
  m.CreateEmptyMapInMemory(1e15, 10, 1e15 + 1, 20, 1e-3, 1, 200, 200, true, nullptr);
  EXPECT_EQ(m.MapImgWidth(), 200);
  // Bounds whose span overflows: no lines, no crash.
  m.CreateEmptyMapInMemory(-1e308, -1e308, 1e308, 1e308, 1, 1, 200, 200, true, nullptr);
  m.CreateAndLoadEmptyMap(Path("huge"), -1e308, -1e308, 1e308, 1e308, 1, 1, 200, 200, nullptr);
  EXPECT_EQ(m.MapImgWidth(), 200);
}

}  // namespace
}  // namespace vek
