// Saving the map as JPEG with its calibration file, renaming the image file, and copying the
// picture to the clipboard.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "Application.h"
#include "test_geomap_helpers.h"

namespace vek {
namespace {

using testing::BitmapOf;
using testing::Near;
using testing::PixelOf;
using testing::Quadrants;

constexpr const char* kDataID = "VEK_geomap_caldata";

class GeoMapFiles : public ::testing::Test {
 protected:
  QTemporaryDir dir;
  testing::MapHost h;
  TGeoMap& m = *h.map;
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QDir(dir.path()).mkdir("maps"));
  }
  std::string Path(const std::string& rel) const { return dir.path().toStdString() + "/" + rel; }
  static bool Exists(const std::string& p) { return QFile::exists(QString::fromStdString(p)); }
  static QByteArray Read(const std::string& p) {
    QFile f(QString::fromStdString(p));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
};

TEST_F(GeoMapFiles, SaveMapWritesImageAndCalibrationSideBySide) {
  m.SetMapBitMap(BitmapOf(Quadrants(120, 80)));
  TCalibData d{};
  d.NumCalQuads = 3;
  d.CalQuads[1] = {48, 16, 0, 0};
  d.CalQuads[2] = {48, 17, 120, 0};
  d.CalQuads[3] = {47, 16, 0, 80};
  m.SetCalibData(d);
  m.SetCalibModel(cmEquiRect);

  m.SaveMap(Path("maps/area.bmp"), kDataID);
  EXPECT_EQ(m.MapImgFile(), "area.jpg");
  EXPECT_TRUE(Exists(Path("maps/area.xml")));
  EXPECT_TRUE(Exists(Path("maps/area.jpg")));
  EXPECT_FALSE(Exists(Path("maps/area.bmp")));
  EXPECT_TRUE(Read(Path("maps/area.xml")).contains("map=\"area.jpg\""));

  // The image loads by its saved name, and through the calibration file beside it.
  TGeoMap other;
  other.SetMapImgName(Path("maps/area.jpg"));
  EXPECT_EQ(other.MapImgWidth(), 120);
  EXPECT_TRUE(Near(PixelOf(*other.MapBitmap(), 10, 10), testing::kRed));
  EXPECT_TRUE(Near(PixelOf(*other.MapBitmap(), 110, 70), testing::kYellow));
  TGeoMap third;
  const QString cwd = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(Path("maps"))));
  third.LoadCalDataFromXML("area.xml", kDataID);
  QDir::setCurrent(cwd);
  EXPECT_EQ(third.MapImgFile(), "area.jpg");
  EXPECT_EQ(third.MapImgHeight(), 80);
  EXPECT_EQ(third.CalibModel(), cmEquiRect);

  // Failures raise and leave the name as it was; without a name or an image nothing is
  // written at all.
  m.SetMapBitMap(BitmapOf(Quadrants(20, 20)));
  EXPECT_THROW(m.SaveMap(Path("missing/area.bmp"), kDataID), EInOutError);
  EXPECT_EQ(m.MapImgFile(), "$unknown$");
  EXPECT_THROW(m.SaveMap(Path("maps/"), kDataID), EVEKGeoMapError);
  EXPECT_FALSE(Exists(Path("maps/.xml")));
  TGeoMap empty;
  EXPECT_THROW(empty.SaveMap(Path("maps/none.jpg"), kDataID), EVEKGeoMapError);
  EXPECT_FALSE(Exists(Path("maps/none.xml")));
}

TEST_F(GeoMapFiles, RenameKeepsDirectoryAndExtension) {
  const std::string area = testing::WriteImage(dir, "maps/area.jpg", Quadrants(40, 30), "JPG");
  const std::string taken = testing::WriteImage(dir, "maps/taken.jpg", Quadrants(20, 10), "JPG");
  ASSERT_FALSE(area.empty() || taken.empty());
  m.SetMapImgName(area);
  const int paints = m.CompositionCount();

  EXPECT_TRUE(m.RenameMapImg("north.tif"));
  EXPECT_EQ(m.MapImgFile(), Path("maps/north.jpg"));
  EXPECT_TRUE(Exists(Path("maps/north.jpg")));
  EXPECT_FALSE(Exists(area));
  // Characters a short file name cannot hold go, directories included: the file stays
  // where it is.
  EXPECT_TRUE(m.RenameMapImg("../up/My Map.v2.tif"));
  EXPECT_EQ(m.MapImgFile(), Path("maps/..upMyMap.v2.jpg"));
  EXPECT_TRUE(Exists(Path("maps/..upMyMap.v2.jpg")));
  EXPECT_EQ(m.CompositionCount(), paints);  // no repaint

  // Refused, with nothing changed: another file's name, an empty name, a missing file.
  const QByteArray takenBytes = Read(taken);
  EXPECT_FALSE(m.RenameMapImg("taken"));
  EXPECT_FALSE(m.RenameMapImg(".tif"));
  EXPECT_FALSE(m.RenameMapImg(""));
  EXPECT_EQ(m.MapImgFile(), Path("maps/..upMyMap.v2.jpg"));
  EXPECT_EQ(Read(taken), takenBytes);
  EXPECT_TRUE(m.RenameMapImg("..upMyMap.v2.jpg"));  // its own name
  ASSERT_TRUE(QFile::remove(QString::fromStdString(m.MapImgFile())));
  EXPECT_FALSE(m.RenameMapImg("gone"));
  EXPECT_FALSE(Exists(Path("maps/gone.jpg")));
  m.SetMapBitMap(BitmapOf(Quadrants(20, 20)));
  EXPECT_FALSE(m.RenameMapImg("unknown"));
}

TEST_F(GeoMapFiles, ClipboardGetsTheLastCompositionInABlackOutline) {
  m.SetMapBitMap(BitmapOf(Quadrants(1000, 800)));
  m.SetMagnification(0.5);  // all four quadrants
  const int paints = m.CompositionCount();
  m.CopyToClipboard();
  EXPECT_EQ(m.CompositionCount(), paints);  // not recomposed

  const QImage clip = ClipboardImage();
  const QImage& composed = m.CompositionBitmap()->Image();
  ASSERT_EQ(clip.size(), QSize(500, 400));
  clip.save("files_clipboard.png");
  const int W = 500, H = 400;
  const TColor fresh = PixelOf(TBitmap(1, 1).Image(), 0, 0);
  int mismatches = 0;
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      TColor want;
      if (x == 0 || y == 0 || x == W - 1 || y == H - 1)
        want = fresh;  // as the new bitmap was created
      else if (x == 1 || y == 1 || x == W - 2 || y == H - 2)
        want = 0x000000;
      else
        want = PixelOf(composed, x, y);
      mismatches += PixelOf(clip, x, y) != want;
    }
  EXPECT_EQ(mismatches, 0);
}

}  // namespace
}  // namespace vek
