// Loading map images from files and bitmaps: file types, the size limit, redirection,
// missing and unreadable files.
#include <gtest/gtest.h>

#include <QFile>

#include "test_geomap_helpers.h"

namespace vek {
namespace {

using testing::BitmapOf;
using testing::MapHost;
using testing::Near;
using testing::PixelOf;
using testing::Quadrants;
using testing::Solid;
using testing::WriteImage;

class GeoMapImage : public ::testing::Test {
 protected:
  QTemporaryDir dir;
  MapHost h;
  testing::TestMap& m = *h.map;
  void SetUp() override { ASSERT_TRUE(dir.isValid()); }
};

TEST_F(GeoMapImage, JpegAndBitmapByExtensionInAnyCase) {
  const std::string upper = WriteImage(dir, "MAP.JPG", Quadrants(120, 80), "JPG");
  const std::string lower = WriteImage(dir, "map.jpg", Solid(64, 48, testing::kBlue), "JPG");
  const std::string jpeg = WriteImage(dir, "other.Jpeg", Solid(30, 20, testing::kGreen), "JPG");
  const std::string bmp = WriteImage(dir, "plain.BMP", Quadrants(50, 40), "BMP");
  ASSERT_FALSE(upper.empty() || lower.empty() || jpeg.empty() || bmp.empty());

  int progress = 0;  // the decoder reports through OnDataLoading
  m.OnDataLoading = [&](TObject*, TProgressStage, uint8_t, bool, const TRect&,
                        const std::string&) { ++progress; };
  m.SetTopLeft({5, 5});
  m.SetMagnification(2);
  m.SetMapImgName(upper);
  EXPECT_GT(progress, 0);
  EXPECT_EQ(m.MapImgFile(), upper);
  EXPECT_EQ(m.MapImgWidth(), 120);
  EXPECT_EQ(m.MapImgHeight(), 80);
  EXPECT_EQ(m.TopLeft(), (TPoint{0, 0}));
  EXPECT_EQ(m.Magnification(), 2.0);  // the view keeps its magnification
  EXPECT_TRUE(Near(PixelOf(*m.MapBitmap(), 10, 10), testing::kRed));
  EXPECT_TRUE(Near(PixelOf(*m.MapBitmap(), 110, 70), testing::kYellow));

  m.SetMapImgName(lower);
  EXPECT_EQ(m.MapImgWidth(), 64);
  EXPECT_TRUE(Near(PixelOf(*m.MapBitmap(), 30, 30), testing::kBlue));

  m.SetMapImgName(jpeg);
  EXPECT_EQ(m.MapImgWidth(), 30);
  EXPECT_EQ(m.MapImgHeight(), 20);

  m.SetMapImgName(bmp);
  EXPECT_EQ(m.MapImgWidth(), 50);
  EXPECT_EQ(PixelOf(*m.MapBitmap(), 49, 39), testing::kYellow);  // lossless
  EXPECT_EQ(m.MapImgFile(), bmp);
}

TEST_F(GeoMapImage, LoadingResetsViewAndCache) {
  const std::string f = WriteImage(dir, "a.bmp", Quadrants(400, 300), "BMP");
  m.SetMapImgName(f);
  m.SetMagnification(0.5);
  EXPECT_EQ(m.FCacheMag, 0.5);
  m.SetTopLeft({7, 9});
  m.ZoomStateOnStack();
  const TgmZoomStackEntry pushed = m.ZoomStack(0);
  const int paints = m.CompositionCount();
  m.SetMapImgName(f);
  EXPECT_EQ(m.CompositionCount(), paints + 1);
  EXPECT_EQ(m.TopLeft(), (TPoint{0, 0}));
  EXPECT_EQ(m.ZoomStack(0), pushed);  // the zoom history is not touched
  // The repaint at 0.5 built the cache afresh from the new image.
  EXPECT_EQ(m.FCacheMag, 0.5);
  EXPECT_EQ(m.FImgCache->Width(), 200);
  // The composition buffer has the control's size, not the image's.
  EXPECT_EQ(m.AuxBmp->Width(), 500);
  EXPECT_EQ(m.AuxBmp->Height(), 400);
}

TEST_F(GeoMapImage, SizeLimitIsInclusive) {
  const std::string ok = WriteImage(dir, "ok.jpg", Solid(2000, 1500, testing::kGreen), "JPG");
  const std::string big = WriteImage(dir, "big.jpg", Solid(2001, 1500, testing::kRed), "JPG");
  m.SetMapImgName(ok);
  EXPECT_EQ(m.MapImgWidth(), 2000);
  EXPECT_EQ(m.MapImgHeight(), 1500);

  m.SetTopLeft({100, 100});
  try {
    m.SetMapImgName(big);
    FAIL() << "no exception";
  } catch (const EVEKGeoMapError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Component \"Map1\": Cannot use map image, maximum of 3000000 pixels exceeded "
              "(size of map is 2001 x 1500)");
  }
  // The previous image stays in every respect.
  EXPECT_EQ(m.MapImgFile(), ok);
  EXPECT_EQ(m.MapImgWidth(), 2000);
  EXPECT_EQ(m.MapBitmap()->Width(), 2000);
  EXPECT_TRUE(Near(PixelOf(*m.MapBitmap(), 1000, 700), testing::kGreen));
  EXPECT_EQ(m.TopLeft(), (TPoint{100, 100}));
}

// A bitmap file header that states Width x Height at 24 bits, followed by no pixels.
void WriteBitmapHeaderOnly(const std::string& fileName, int32_t Width, int32_t Height) {
  QByteArray b;
  auto put = [&](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b.append(char((v >> (8 * i)) & 0xFF));
  };
  b.append("BM");
  put(54 + uint32_t(Width) * uint32_t(Height) * 3, 4);  // file size as the header claims it
  put(0, 4);
  put(54, 4);  // offset of the pixels
  put(40, 4);  // BITMAPINFOHEADER
  put(uint32_t(Width), 4);
  put(uint32_t(Height), 4);
  put(1, 2);   // planes
  put(24, 2);  // bits per pixel
  put(0, 4);   // no compression
  for (int i = 0; i < 5; ++i) put(0, 4);
  QFile f(QString::fromStdString(fileName));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  ASSERT_EQ(f.write(b), b.size());
}

TEST_F(GeoMapImage, OversizedFileIsRefusedBeforeDecoding) {
  const std::string ok = WriteImage(dir, "ok.bmp", Solid(40, 30, testing::kGreen), "BMP");
  m.SetMapImgName(ok);
  int progress = 0;  // the decoders report through OnDataLoading from their start
  m.OnDataLoading = [&](TObject*, TProgressStage, uint8_t, bool, const TRect&,
                        const std::string&) { ++progress; };

  auto refusal = [&](const std::string& fileName) -> std::string {
    try {
      m.SetMapImgName(fileName);
    } catch (const EVEKGeoMapError& e) {
      return e.what();
    }
    return "(no exception)";
  };
  const std::string limit =
      "Component \"Map1\": Cannot use map image, maximum of 3000000 pixels exceeded ";

  // The pixels are missing: decoding would fail.
  const std::string header = dir.filePath("header.bmp").toStdString();
  WriteBitmapHeaderOnly(header, 4000, 4000);
  EXPECT_EQ(refusal(header), limit + "(size of map is 4000 x 4000)");
  EXPECT_EQ(progress, 0);

  // A JPEG frame header beyond what Qt's reader accepts to size at all.
  const std::string huge = dir.filePath("huge.jpg").toStdString();
  {
    QFile f(QString::fromStdString(huge));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    const char jpeg[] = {'\xFF', '\xD8', '\xFF', '\xE0', 0, 4, 0, 0, '\xFF', '\xC0', 0, 17, 8,
                         '\xFF', '\xFF', '\xFF', '\xFF', 3, 1, 0x22, 0, 2, 0x11, 1, 3, 0x11, 1};
    f.write(jpeg, sizeof jpeg);
  }
  EXPECT_EQ(refusal(huge), limit + "(size of map is 65535 x 65535)");
  EXPECT_EQ(progress, 0);

  const std::string big = WriteImage(dir, "big.jpg", Solid(3000, 1001, testing::kRed), "JPG");
  EXPECT_EQ(refusal(big), limit + "(size of map is 3000 x 1001)");
  EXPECT_EQ(progress, 0);
  EXPECT_EQ(m.MapImgFile(), ok);
  EXPECT_EQ(m.MapImgWidth(), 40);

  m.SetMapImgName(ok);  // an image within the limit is still decoded
  EXPECT_GT(progress, 0);
}

TEST_F(GeoMapImage, OversizedBitmapIsRefused) {
  m.SetMapBitMap(BitmapOf(Solid(100, 100, testing::kBlue)));
  TBitmap big(1, 3000001);
  EXPECT_THROW(m.SetMapBitMap(big), EVEKGeoMapError);
  EXPECT_EQ(m.MapBitmap()->Height(), 100);
  // Exactly at the limit, and as thin as it gets: the composition buffer keeps the size
  // of the control.
  TBitmap edge(3000000, 1);
  edge.Canvas()->FillSolid(TRect{0, 0, 3000000, 1}, testing::kRed);
  m.SetAntiAlias(false);
  m.SetFrameStyle(fsNone);
  m.SetMapBitMap(edge);
  EXPECT_EQ(m.MapImgWidth(), 3000000);
  EXPECT_EQ(m.AuxBmp->Width(), 500);
  EXPECT_EQ(m.AuxBmp->Height(), 400);
  EXPECT_EQ(PixelOf(*m.AuxBmp, 250, 0), testing::kRed);
  EXPECT_EQ(PixelOf(*m.AuxBmp, 250, 200), m.ColorBackGnd());
}

TEST_F(GeoMapImage, RequestHandlerRedirectsTheFile) {
  const std::string a = WriteImage(dir, "a.jpg", Solid(40, 30, testing::kRed), "JPG");
  const std::string b = WriteImage(dir, "b.jpg", Solid(80, 60, testing::kBlue), "JPG");
  TObject* sender = nullptr;
  m.OnMapImageRequest = [&](TObject* s, std::string& name) {
    sender = s;
    if (name == a) name = b;
  };
  m.SetMapImgName(a);
  EXPECT_EQ(sender, &m);
  EXPECT_EQ(m.MapImgFile(), a);  // the requested name
  EXPECT_EQ(m.MapImgWidth(), 80);  // the redirected file's image
  EXPECT_TRUE(Near(PixelOf(*m.MapBitmap(), 40, 30), testing::kBlue));

  // A redirection to a file that does not exist empties the map.
  m.OnMapImageRequest = [&](TObject*, std::string& name) { name += ".missing"; };
  m.SetMapImgName(a);
  EXPECT_EQ(m.MapImgFile(), "");
}

TEST_F(GeoMapImage, MissingFileEmptiesTheMap) {
  const std::string a = WriteImage(dir, "a.bmp", Quadrants(40, 30), "BMP");
  m.SetMapImgName(a);
  m.SetTopLeft({3, 4});
  const int paints = m.CompositionCount();
  m.SetMapImgName(dir.filePath("nowhere.jpg").toStdString());
  EXPECT_EQ(m.CompositionCount(), paints + 1);
  EXPECT_EQ(m.MapImgFile(), "");
  EXPECT_EQ(m.MapImgWidth(), 0);
  EXPECT_EQ(m.MapImgHeight(), 0);
  // The pixels stay, unseen; the picture shows the background again.
  EXPECT_EQ(m.MapBitmap()->Width(), 40);
  EXPECT_EQ(PixelOf(*m.AuxBmp, 300, 300), m.ColorBackGnd());
  EXPECT_EQ(PixelOf(m.CanvasImage(), 300, 300), m.ColorBackGnd());

  m.SetMapImgName("");
  EXPECT_EQ(m.MapImgFile(), "");
  // A directory is not an image file.
  m.SetMapImgName(dir.path().toStdString());
  EXPECT_EQ(m.MapImgFile(), "");
}

TEST_F(GeoMapImage, OtherFileTypesAreRefused) {
  const std::string a = WriteImage(dir, "a.bmp", Quadrants(40, 30), "BMP");
  // Even one that holds a readable image: only JPEG and bitmap files are map images.
  const std::string png = WriteImage(dir, "scan.png", Quadrants(80, 60), "PNG");
  m.SetMapImgName(a);
  try {
    m.SetMapImgName(png);
    FAIL() << "no exception";
  } catch (const EVEKGeoMapError& e) {
    EXPECT_EQ(std::string(e.what()), "Component \"Map1\": unsupported type of map image file \"" +
                                         png + "\" (JPEG or Windows bitmap expected)");
  }
  EXPECT_EQ(m.MapImgFile(), a);
  EXPECT_EQ(m.MapImgWidth(), 40);
  EXPECT_EQ(m.MapBitmap()->Width(), 40);
}

TEST_F(GeoMapImage, UnreadableFileRaisesAndKeepsTheMap) {
  const std::string a = WriteImage(dir, "a.bmp", Quadrants(40, 30), "BMP");
  const std::string bad = dir.filePath("broken.jpg").toStdString();
  QFile f(QString::fromStdString(bad));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("\xFF\xD8 truncated");
  f.close();
  m.SetMapImgName(a);
  EXPECT_THROW(m.SetMapImgName(bad), EVEKError);
  EXPECT_EQ(m.MapImgFile(), a);
  EXPECT_EQ(m.MapImgWidth(), 40);
}

TEST_F(GeoMapImage, BitmapHandedOver) {
  m.SetTopLeft({8, 8});
  m.SetMagnification(0.5);
  const TBitmap b = BitmapOf(Quadrants(60, 40));
  m.SetMapBitMap(b);
  EXPECT_EQ(m.MapImgFile(), "$unknown$");
  EXPECT_EQ(m.MapImgWidth(), 60);
  EXPECT_EQ(m.MapImgHeight(), 40);
  EXPECT_EQ(m.TopLeft(), (TPoint{0, 0}));
  EXPECT_EQ(m.MapBitmap()->Image(), b.Image());
  EXPECT_EQ(m.FImgCache->Width(), 30);  // rebuilt for the new image
}

}  // namespace
}  // namespace vek
