// What the map control draws over its image: graticules under every model, the UTM grid,
// calibration point marks, landmarks with sampling and the event hook, the highlight; and
// pictures of each model for a person to look at.
#include <gtest/gtest.h>

#include <QDir>
#include <cmath>
#include <string>
#include <vector>

#include "CalibXml.h"
#include "Grids.h"
#include "MapRenderer.h"
#include "MathUtils.h"
#include "test_geomap_helpers.h"

namespace vek {
namespace {

using testing::BitmapOf;
using testing::MapHost;
using testing::PixelOf;
using testing::Solid;

// A 400 x 300 image covering 46 .. 48 N, 13 .. 17 E linearly (inside UTM zone 33).
constexpr int ImgW = 400, ImgH = 300;
constexpr double LatLo = 46, LatHi = 48, LonLo = 13, LonHi = 17;
constexpr TColor Paper = 0xE0F0F8;
constexpr TColor LineCol = 0xFF0000, PointCol = 0x0000FF;

int PixelX(double lon) { return int(std::lround((lon - LonLo) / (LonHi - LonLo) * ImgW)); }
int PixelY(double lat) { return int(std::lround((LatHi - lat) / (LatHi - LatLo) * ImgH)); }

void ZoneUTM(double lat, double lon, double& e, double& n) {
  double x, y;
  LatLongToTM(lat * M_PI / 180, lon * M_PI / 180, UTMCentralMeridian(33), gelWGS84, x, y);
  e = x * 0.9996 + 500000;
  n = y * 0.9996;
}

// Calibrates the map under Model with points of the linear truth above.
void Calibrate(TGeoMap& m, TCalibModel model, int points = 9) {
  m.SetSuppressPaint(true);
  m.SetCalibModel(model);
  if (model == cmUTM) {
    m.SetUTMZone(33);
    m.SetUTMHemisphere(hemiNorth);
  }
  if (model == cmParabolicIp) {
    for (double lat : {46.5, 47.0, 47.5})
      for (double lon : {13.5, 15.0, 16.5}) m.AddCalibPoint(gtlParallel, lat, PixelX(lon), PixelY(lat));
    for (double lon : {14.0, 15.0, 16.0})
      for (double lat : {46.3, 47.0, 47.7}) m.AddCalibPoint(gtlMeridian, lon, PixelX(lon), PixelY(lat));
  } else {
    int k = 0;
    for (double lat : {46.2, 47.0, 47.8})
      for (double lon : {13.3, 15.0, 16.7}) {
        if (k++ >= points) break;
        if (model == cmConicConformal) {
          // A true cone: parallels are circles about a pole above the map.
          const double rho = 3000 + (LatHi - lat) * ImgH / (LatHi - LatLo);
          const double theta = (lon - 15) * 0.02;
          m.AddCalibPoint(lat, lon, int(std::lround(ImgW / 2 + rho * std::sin(theta))),
                          int(std::lround(-3000 + rho * std::cos(theta))));
        } else if (model == cmUTM) {
          double e, n;
          ZoneUTM(lat, lon, e, n);
          m.AddCalibPoint(n, e, 33, hemiNorth, PixelX(lon), PixelY(lat));
        } else {
          m.AddCalibPoint(lat, lon, PixelX(lon), PixelY(lat));
        }
      }
  }
  m.SetSuppressPaint(false);
}

class MapRendering : public ::testing::Test {
 protected:
  MapHost h;
  testing::TestMap& m = *h.map;
  void SetUp() override {
    m.SetSuppressPaint(true);
    m.resize(ImgW, ImgH);
    m.SetFrameStyle(fsNone);
    m.SetAntiAlias(false);
    m.SetColorGratLine(LineCol);
    m.SetColorGratPoints(PointCol);
    m.SetMapBitMap(BitmapOf(Solid(ImgW, ImgH, Paper)));
    m.SetSuppressPaint(false);
  }
  const QImage& Picture() { return m.AuxBmp->Image(); }
  int Count(TColor c) {
    int n = 0;
    const QImage& img = Picture();
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x) n += PixelOf(img, x, y) == c;
    return n;
  }
  // Rows of column x in the line colour.
  std::vector<int> LineRowsAt(int x) {
    std::vector<int> rows;
    for (int y = 0; y < ImgH; ++y)
      if (PixelOf(Picture(), x, y) == LineCol) rows.push_back(y);
    return rows;
  }
};

TEST(GraticuleGeometry, SpacingAndFirstLine) {
  EXPECT_DOUBLE_EQ(GraticuleSpacing(0.35, 0), 0.1);
  EXPECT_DOUBLE_EQ(GraticuleSpacing(5, 0), 1);
  EXPECT_DOUBLE_EQ(GraticuleSpacing(50, 0), 1);
  EXPECT_DOUBLE_EQ(GraticuleSpacing(0.002, 0), 0.001);
  EXPECT_DOUBLE_EQ(GraticuleSpacing(50, 2.5), 2.5);
  // Nothing to space: no search without end.
  EXPECT_EQ(GraticuleSpacing(0, 0), 0);
  EXPECT_EQ(GraticuleSpacing(std::nan(""), 0), 0);
  EXPECT_EQ(GraticuleSpacing(INFINITY, 0), 0);

  // Truncation towards zero: the first parallel for -3.7 is -3.
  const std::vector<double> v = GridLineValues(-3.7, -0.5, 1);
  ASSERT_EQ(v.size(), 3u);
  EXPECT_EQ(v[0], -3);
  EXPECT_EQ(v[2], -1);
  EXPECT_TRUE(GridLineValues(0, 1, 0).empty());
  EXPECT_TRUE(GridLineValues(0, 1e9, 1e-6).empty());  // far too many lines: none
  EXPECT_EQ(GridLineValues(46, 48, 0.1).size(), 20u);
}

TEST_F(MapRendering, GraticuleOfThePointModelsWhereTheCalibrationPutsIt) {
  m.SetShowGraticule(sgLines);
  for (TCalibModel model : {cmEquiRect, cmBiquadraticPn, cmMillerCylindrical, cmUTM}) {
    SCOPED_TRACE(int(model));
    Calibrate(m, model);
    // Extent 2 degrees of latitude: parallels 46, 47 (48 is the upper bound, not drawn);
    // meridians every degree 13 .. 16.
    const std::vector<int> rows = LineRowsAt(PixelX(14.5));
    ASSERT_FALSE(rows.empty());
    bool at47 = false;
    for (int r : rows) at47 |= std::abs(r - PixelY(47)) <= 2;
    EXPECT_TRUE(at47);
    for (int r : rows) EXPECT_TRUE(std::abs(r - PixelY(47)) <= 2 || r >= ImgH - 3) << r;
    EXPECT_EQ(PixelOf(Picture(), PixelX(15), PixelY(46.5)), LineCol);
    EXPECT_EQ(Count(PointCol), 0);  // lines only, no marks
    m.ClearCalibData();
  }
}

TEST_F(MapRendering, ParabolicModelDrawsItsCalibrationLinesAndMarks) {
  m.SetShowGraticule(sgPointsAndLines);
  Calibrate(m, cmParabolicIp);
  // The parallel at 47 runs across the whole width; the mark's diamond keeps white at reach 9.
  for (int x : {5, 150, 395}) EXPECT_EQ(PixelOf(Picture(), x, PixelY(47)), LineCol) << x;
  const int mx = PixelX(13.5), my = PixelY(46.5);
  EXPECT_EQ(PixelOf(Picture(), mx - 5, my), PointCol);  // arm
  EXPECT_EQ(PixelOf(Picture(), mx - 9, my), 0xFFFFFFu);  // white diamond
  EXPECT_EQ(PixelOf(Picture(), mx - 10, my), PointCol);  // outer diamond
  // A line with fewer than three points is left out.
  m.ClearCalibData();
  m.SetCalibModel(cmParabolicIp);
  m.AddCalibPoint(gtlParallel, 47.0, 10, PixelY(47));
  m.AddCalibPoint(gtlParallel, 47.0, 300, PixelY(47));
  m.SetShowGraticule(sgLines);
  EXPECT_EQ(Count(LineCol), 0);
}

TEST_F(MapRendering, ThresholdsAndModesThatDrawNothing) {
  // Five points under the biquadratic model: no lines, but the marks.
  Calibrate(m, cmBiquadraticPn, 5);
  m.SetShowGraticule(sgPointsAndLines);
  EXPECT_EQ(Count(LineCol), 0);
  m.SetShowGraticule(sgPoints);
  EXPECT_GT(Count(PointCol), 5 * 40);
  // The UTM grid modes draw nothing at all under another model.
  m.ClearCalibData();
  Calibrate(m, cmEquiRect);
  for (TShowGrat s : {sgUTMGrid, sgPointsAndUTMGrid}) {
    m.SetShowGraticule(s);
    EXPECT_EQ(Count(LineCol) + Count(PointCol), 0) << int(s);
  }
}

TEST_F(MapRendering, UTMGridStaysOnTheImage) {
  Calibrate(m, cmUTM);
  m.SetUTMGridDist(10000);
  m.SetShowGraticule(sgPointsAndUTMGrid);
  EXPECT_GT(Count(PointCol), 9 * 40);
  // Lines of constant northing cross every column.
  EXPECT_GE(LineRowsAt(200).size(), 15u);
  // Panned beyond the image: the grid ends with the image, the background shows.
  m.SetConfinePanToMapImage(false);
  m.SetTopLeft(TPoint{200, 100});
  const QImage& img = Picture();
  for (int x = 205; x < ImgW; ++x)
    for (int y = 0; y < ImgH; ++y) ASSERT_EQ(PixelOf(img, x, y), m.ColorBackGnd()) << x << "," << y;
  bool gridLeft = false;
  for (int y = 0; y < 200; ++y) gridLeft |= PixelOf(img, 100, y) == LineCol;
  EXPECT_TRUE(gridLeft);
}

TEST_F(MapRendering, LandmarkSamplingEventsAndHighlight) {
  Calibrate(m, cmEquiRect);
  std::vector<std::string> order;
  int offered = 0;
  m.OnBeforeRenderData = [&](TObject*, TCanvas*) { order.push_back("before"); };
  m.OnDataRendered = [&](TObject*, TCanvas*) { order.push_back("rendered"); };
  m.OnDrawLandmark = [&](TObject*, bool& handled, TCanvas*, TPoint&, const TLandMark&) {
    ++offered;
    handled = true;
    if (order.back() != "landmark") order.push_back("landmark");
  };
  // 30,000 landmarks in view with the default threshold of 20,000: two in three are drawn.
  BRandomSeed(11);
  m.SetSuppressPaint(true);
  for (int i = 0; i < 30000; ++i)
    m.AddLandMark(46.05 + (i % 173) * 0.011, 13.05 + (i / 173) * 0.022, 0);
  m.SetHighLightLandMark(1);
  order.clear();
  m.SetSuppressPaint(false);
  EXPECT_NEAR(offered, 20000 + 1, 400);
  EXPECT_EQ(order, (std::vector<std::string>{"before", "landmark", "rendered", "landmark"}));
}

TEST_F(MapRendering, LandmarksDrawnStrictlyInsideUnlessHandled) {
  Calibrate(m, cmEquiRect);
  TLandMark d = m.LandMarkDefault();
  d.SymbolProps = TSymbolProperties{lmSquare, 4, 0x00AA00, 0x00AA00, false, 0, 0};
  d.Caption.Text = "";
  m.SetLandMarkDefault(d);
  m.AddLandMark(47.0, LonLo, 0);   // control x = 0
  m.AddLandMark(47.0, 15.0, 0);    // the middle
  std::vector<TPoint> offered;
  bool handleAll = false;
  m.OnDrawLandmark = [&](TObject*, bool& handled, TCanvas*, TPoint& p, const TLandMark&) {
    offered.push_back(p);
    handled = handleAll;
  };
  m.Paint();
  ASSERT_EQ(offered.size(), 2u);
  EXPECT_EQ(offered[0].X, 0);
  EXPECT_EQ(PixelOf(Picture(), 2, PixelY(47)), Paper);           // offered, not drawn
  EXPECT_EQ(PixelOf(Picture(), PixelX(15) + 2, PixelY(47)), 0x00AA00u);
  handleAll = true;
  m.Paint();
  EXPECT_EQ(PixelOf(Picture(), PixelX(15) + 2, PixelY(47)), Paper);

  // The highlight: its own colours, only for a valid index.
  m.OnDrawLandmark = nullptr;
  m.SetHighLightProperties(0x0000FF, 0x0000FF, false);
  m.SetHighLightLandMark(2);
  EXPECT_EQ(PixelOf(Picture(), PixelX(15) + 2, PixelY(47)), 0x0000FFu);
  m.SetHighLightLandMark(3);  // beyond the list: none
  EXPECT_EQ(m.HighLightLandMark(), 0);
  EXPECT_EQ(PixelOf(Picture(), PixelX(15) + 2, PixelY(47)), 0x00AA00u);
}

TEST_F(MapRendering, ACalibrationFileIsDrawnWithItsOwnFit) {
  QTemporaryDir dir;
  const std::string image = testing::WriteImage(dir, "map.bmp", Solid(ImgW, ImgH, Paper), "BMP");
  // A calibration of the same image, shifted by 50 pixels to the right.
  TCalibData cal;
  cal.MapFName = image;
  cal.NumCalQuads = 3;
  cal.CalQuads[1] = TCalQuad{47.0, 14.0, PixelX(14) + 50, PixelY(47)};
  cal.CalQuads[2] = TCalQuad{47.0, 15.0, PixelX(15) + 50, PixelY(47)};
  cal.CalQuads[3] = TCalQuad{46.5, 14.0, PixelX(14) + 50, PixelY(46.5)};
  cal.Corners[gcoTopLeft] = TCoords{LatHi, 12.5};
  cal.Corners[gcoBottomLeft] = TCoords{LatLo, 12.5};
  cal.Corners[gcoBottomRight] = TCoords{LatLo, 16.5};
  cal.Corners[gcoTopRight] = TCoords{LatHi, 16.5};
  const std::string file = QDir(dir.path()).filePath("map.xml").toStdString();
  {
    TextFile f;
    AssignFile(f, file);
    Rewrite(f);
    WriteRawCalDataToOpenXMLFile(f, true, "id", cal, cmEquiRect);
    CloseFile(f);
  }
  Calibrate(m, cmEquiRect);
  m.SetGratLineDist(1);
  m.SetShowGraticule(sgLines);
  EXPECT_EQ(PixelOf(Picture(), PixelX(15), 20), LineCol);
  m.LoadCalDataFromXML(file, "id");  // as the atlas loads its maps
  EXPECT_EQ(PixelOf(Picture(), PixelX(15) + 50, 20), LineCol);
  EXPECT_NE(PixelOf(Picture(), PixelX(15), 20), LineCol);
}

// One picture per model with graticule, marks, landmarks with captions and a highlight.
TEST_F(MapRendering, PicturesOfEveryModel) {
  QDir().mkpath("pictures");
  const char* names[] = {"parabolic", "biquadratic", "conic", "miller", "equirect", "utm"};
  for (TCalibModel model : {cmParabolicIp, cmBiquadraticPn, cmConicConformal,
                            cmMillerCylindrical, cmEquiRect, cmUTM}) {
    MapHost host;
    TGeoMap& map = *host.map;
    map.SetSuppressPaint(true);
    map.resize(ImgW + 40, ImgH + 40);
    map.SetMapBitMap(BitmapOf(Solid(ImgW, ImgH, Paper)));
    map.SetConfinePanToMapImage(false);
    map.SetTopLeft(TPoint{-20, -20});
    Calibrate(map, model);
    map.SetSuppressPaint(true);
    map.SetShowGraticule(model == cmUTM ? sgPointsAndUTMGrid : sgPointsAndLines);
    const char* towns[] = {"Vienna", "Graz", "Linz", "Salzburg"};
    const double pos[][2] = {{48.2, 16.37}, {47.07, 15.44}, {48.3, 14.29}, {47.8, 13.04}};
    for (int i = 0; i < 4; ++i) map.AddLandMark(pos[i][0], pos[i][1], 0, towns[i], 9, 0x000080);
    map.SetHighLightLandMark(2);
    map.SetSuppressPaint(false);
    const std::string path = std::string("pictures/render_") + names[model] + ".png";
    ASSERT_TRUE(map.CompositionBitmap()->Image().copy(0, 0, ImgW + 40, ImgH + 40).save(
        QString::fromStdString(path)));
  }
}

}  // namespace
}  // namespace vek
