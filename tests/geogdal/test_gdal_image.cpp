// Rasters GDAL reads as map images of the map control: from overviews tile by tile, into the
// tile pyramid from GDAL's rows without them, palettes and 16-bit data made visible, damaged
// and absurd files refused with the map kept, and vekgeo render of a GeoTIFF.
#include <QPainter>
#include <QCoreApplication>
#include <cmath>
#include <fstream>

#include "GdalImageSource.h"
#include "GdalTestSupport.h"
#include "TGeoMap.h"
#include "TiledImageSource.h"

namespace {

using namespace vek;
using gdaltest::Must;

// A picture with detail at every scale: colour ramps under a checkerboard of 100 pixels.
QImage Pattern(int W, int H) {
  QImage img(W, H, QImage::Format_RGB32);
  for (int y = 0; y < H; ++y) {
    auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
    for (int x = 0; x < W; ++x)
      row[x] = qRgb(x * 255 / W, y * 255 / H, ((x / 100 + y / 100) % 2) * 255);
  }
  return img;
}

// A tiled geographic GeoTIFF of the pattern, with overviews when asked.
std::string PatternTiff(const gdaltest::TempDir& Dir, const QImage& Img, bool Overviews) {
  const std::string Png = Dir / "pattern.png", Tif = Dir / (Overviews ? "ovr.tif" : "plain.tif");
  EXPECT_TRUE(Img.save(QString::fromStdString(Png)));
  Must("gdal_translate", {"-q", "-co", "TILED=YES", "-a_srs", "EPSG:4326", "-a_ullr", "10", "50",
                          "13", "48", Png, Tif});
  if (Overviews) Must("gdaladdo", {"-q", "-r", "average", Tif, "2", "4", "8", "16"});
  return Tif;
}

int MaxDifference(QRgb A, QRgb B) {
  return std::max({std::abs(qRed(A) - qRed(B)), std::abs(qGreen(A) - qGreen(B)),
                   std::abs(qBlue(A) - qBlue(B))});
}

struct GdalMap {
  TGeoMap Map;
  explicit GdalMap(const std::string& CacheDir) {
    RegisterGdalMapImages();
    Map.SetMapImagePixelLimit(int64_t(1) << 32);
    Map.SetMapImageMemoryPixels(1'000'000);
    Map.SetMapImageCacheDir(CacheDir);
    Map.resize(600, 400);
    Map.show();
  }
};

TEST(GdalMapImage, OverviewsAreReadTileByTileAsTheViewNeeds) {
  REQUIRE_GDAL_TOOLS();
  gdaltest::TempDir Dir;
  const QImage Want = Pattern(3000, 2000);
  const std::string Tif = PatternTiff(Dir, Want, true);
  GdalMap M(Dir / "cache");
  M.Map.SetMapImgName(Tif);
  auto* Source = dynamic_cast<TGdalImageSource*>(M.Map.MapImageSource());
  ASSERT_NE(Source, nullptr);
  EXPECT_TRUE(Source->HasOverviews());
  EXPECT_EQ(M.Map.MapImgWidth(), 3000);

  // The whole map in view reads a handful of coarse tiles (6 of level 2), not the 96 of full
  // resolution.
  const int64_t Opened = Source->TilesRead();
  M.Map.ZoomFitPage();
  QCoreApplication::processEvents();
  const int64_t Coarse = Source->TilesRead();
  EXPECT_LE(Coarse - Opened, 8);
  M.Map.grab().save("gdal_overview_fit.png");
  // Coarse pixels are averages of the area they cover (here inside one square of the board).
  const TImageRegion Far = Source->Region(QRect(0, 0, 3000, 2000), 1.0 / 8);
  ASSERT_EQ(Far.Scale, 1.0 / 8);
  EXPECT_LE(MaxDifference(Far.Pixels.pixel(31, 18), Want.pixel(31 * 8 + 4, 18 * 8 + 4)), 3);

  // Full resolution: exactly the file's pixels.
  const TImageRegion Near = Source->Region(QRect(1234, 777, 300, 200), 1);
  ASSERT_EQ(Near.Scale, 1);
  EXPECT_EQ(Near.Pixels, Want.copy(Near.Area));
  EXPECT_GT(Source->TilesRead(), Coarse);
  EXPECT_TRUE(Source->Error().empty());
}

TEST(GdalMapImage, WithoutOverviewsAPyramidIsBuiltFromGdalsRowsAndRendered) {
  REQUIRE_GDAL_TOOLS();
  gdaltest::TempDir Dir;
  const QImage Want = Pattern(3000, 2000);
  const std::string Tif = PatternTiff(Dir, Want, false);
  {
    GdalMap M(Dir / "cache");
    M.Map.SetMapImgName(Tif);
    auto* Tiled = dynamic_cast<TTiledImageSource*>(M.Map.MapImageSource());
    ASSERT_NE(Tiled, nullptr);
    Tiled->Wait();
    EXPECT_TRUE(Tiled->Error().empty()) << Tiled->Error();
    EXPECT_FALSE(Tiled->Preview().isNull());  // grown from the rows as they came
    const TImageRegion Near = Tiled->Region(QRect(1234, 777, 300, 200), 1);
    int Worst = 0;
    for (int y = 0; y < Near.Pixels.height(); y += 7)
      for (int x = 0; x < Near.Pixels.width(); x += 7)
        if ((x + Near.Area.x()) % 100 > 1 && (y + Near.Area.y()) % 100 > 1)  // JPEG rings at edges
          Worst = std::max(Worst, MaxDifference(Near.Pixels.pixel(x, y),
                                                Want.pixel(x + Near.Area.x(), y + Near.Area.y())));
    EXPECT_LE(Worst, 24);
    EXPECT_TRUE(std::filesystem::exists(Tiled->CacheFile()));
  }
  // A second opening reads the cache file.
  GdalMap Again(Dir / "cache");
  Again.Map.SetMapImgName(Tif);
  EXPECT_TRUE(Again.Map.MapImageSource()->Finished());

#ifdef VEKGEO_EXE
  // The headless renderer shows the GeoTIFF itself, its tiles complete.
  Must(VEKGEO_EXE, {"calib", "from-raster", Tif, Dir / "plain.xml"});
  Must(VEKGEO_EXE, {"render", Dir / "plain.xml", Dir / "out.png", "--size", "600x400"});
  const QImage Out(QString::fromStdString(Dir / "out.png"));
  ASSERT_EQ(Out.size(), QSize(600, 400));
  EXPECT_LE(MaxDifference(Out.pixel(75, 75), Want.pixel(375, 375)), 24);
  EXPECT_LE(MaxDifference(Out.pixel(510, 330), Want.pixel(2550, 1650)), 24);
#endif
}

TEST(GdalMapImage, PalettesAndSixteenBitDataShowAndDamagedFilesAreRefused) {
  REQUIRE_GDAL_TOOLS();
  gdaltest::TempDir Dir;
  // A palette: every pixel index 2, which the table paints orange.
  Must("gdal_create", {"-of", "GTiff", "-outsize", "64", "48", "-bands", "1", "-burn", "2",
                       Dir / "index.tif"});
  std::ofstream(Dir / "palette.vrt") << R"(<VRTDataset rasterXSize="64" rasterYSize="48">
  <VRTRasterBand dataType="Byte" band="1"><ColorInterp>Palette</ColorInterp>
    <ColorTable><Entry c1="0" c2="0" c3="0" c4="255"/><Entry c1="9" c2="9" c3="9" c4="255"/>
      <Entry c1="255" c2="128" c3="0" c4="255"/></ColorTable>
    <SimpleSource><SourceFilename relativeToVRT="1">index.tif</SourceFilename>
      <SourceBand>1</SourceBand></SimpleSource></VRTRasterBand></VRTDataset>)";
  // 16-bit grey: 100 on the left half, 1100 on the right, stretched to black and white.
  {
    std::ofstream Pgm(Dir / "grey16.pgm", std::ios::binary);
    Pgm << "P5\n64 48\n65535\n";
    for (int y = 0; y < 48; ++y)
      for (int x = 0; x < 64; ++x) {
        const int V = x < 32 ? 100 : 1100;
        Pgm.put(char(V >> 8)).put(char(V & 0xFF));
      }
  }
  GdalMap M(Dir / "cache");
  M.Map.SetMapImgName(Dir / "palette.vrt");
  EXPECT_EQ(M.Map.MapBitmap()->Image().pixel(10, 10), qRgb(255, 128, 0));
  M.Map.SetMapImgName(Dir / "grey16.pgm");
  EXPECT_EQ(M.Map.MapBitmap()->Image().pixel(10, 10), qRgb(0, 0, 0));
  EXPECT_EQ(M.Map.MapBitmap()->Image().pixel(50, 10), qRgb(255, 255, 255));

  // A GeoTIFF cut short: GDAL knows it, cannot read it; the map shown stays.
  const std::string Tif = PatternTiff(Dir, Pattern(600, 400), false);
  std::filesystem::resize_file(Tif, 3000);
  try {
    M.Map.SetMapImgName(Tif);
    ADD_FAILURE() << "a damaged GeoTIFF was taken";
  } catch (const EVEKGeoMapError& E) {
    EXPECT_NE(std::string(E.what()).find("plain.tif"), std::string::npos) << E.what();
  }
  EXPECT_NE(M.Map.MapImgFile().find("grey16.pgm"), std::string::npos);
  EXPECT_EQ(M.Map.MapBitmap()->Image().pixel(50, 10), qRgb(255, 255, 255));
  // A raster claiming 4 * 10^18 pixels is refused from its header.
  std::ofstream(Dir / "huge.vrt") << R"(<VRTDataset rasterXSize="2000000000" rasterYSize="2000000000">
  <VRTRasterBand dataType="Byte" band="1"/></VRTDataset>)";
  try {
    M.Map.SetMapImgName(Dir / "huge.vrt");
    ADD_FAILURE() << "a raster of 4 * 10^18 pixels was taken";
  } catch (const EVEKGeoMapError& E) {
    EXPECT_NE(std::string(E.what()).find("2000000000 x 2000000000 pixels"), std::string::npos) << E.what();
  }
  EXPECT_NE(M.Map.MapImgFile().find("grey16.pgm"), std::string::npos);
  // Text under a raster's name is not GDAL's: the control's own refusal.
  std::ofstream(Dir / "chart.kap") << "not a chart";
  EXPECT_THROW(M.Map.SetMapImgName(Dir / "chart.kap"), EVEKGeoMapError);
}

}  // namespace
