#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>

#include "PixelProbe.h"
#include "Vek_framework.h"

using namespace vek;
using vektest::Clear;

namespace {

class BitmapFiles : public ::testing::Test {
 protected:
  std::string Path(const char* name) const { return dir.filePath(name).toStdString(); }
  QTemporaryDir dir;
};

// Every pixel a different colour.
void Pattern(TBitmap& b, int w, int h) {
  b.SetSize(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      b.Canvas()->SetPixel(x, y, RGB(uint8_t(x * 7), uint8_t(y * 5), uint8_t(x * y)));
}

TEST(Bitmap, SetSizeKeepsPixelsAndFillsWhite) {
  TBitmap b;
  EXPECT_TRUE(b.Empty());
  Clear(b, 10, 10, clRed);
  b.SetSize(20, 5);
  EXPECT_EQ(b.Width(), 20);
  EXPECT_EQ(b.Height(), 5);
  EXPECT_EQ(b.Image().format(), QImage::Format_RGB32);
  EXPECT_EQ(b.Canvas()->Pixels(9, 4), clRed);
  EXPECT_EQ(b.Canvas()->Pixels(10, 0), clWhite);
  EXPECT_EQ(b.Canvas()->Width(), 20);
  b.SetSize(0, 0);
  EXPECT_TRUE(b.Empty());
  b.Canvas()->LineTo(5, 5);  // drawing on nothing does nothing
}

TEST(Bitmap, AssignIsADeepCopy) {
  TBitmap a;
  Clear(a, 8, 8, clBlue);
  a.SetPixelFormat(pf24bit);
  TBitmap b;
  b.Assign(a);
  b.Canvas()->SetPixel(1, 1, clRed);
  b.Canvas()->FillSolid({4, 4, 6, 6}, clLime);
  EXPECT_EQ(a.Canvas()->Pixels(1, 1), clBlue);
  EXPECT_EQ(a.Canvas()->Pixels(5, 5), clBlue);
  EXPECT_EQ(b.Canvas()->Pixels(1, 1), clRed);
  EXPECT_EQ(b.PixelFormat(), pf24bit);

  TBitmap c(a);
  a.Canvas()->SetPixel(2, 2, clRed);
  EXPECT_EQ(c.Canvas()->Pixels(2, 2), clBlue);
  c = b;
  EXPECT_EQ(c.Canvas()->Pixels(5, 5), clLime);
}

TEST_F(BitmapFiles, BmpRoundTripIsExact) {
  TBitmap a;
  Pattern(a, 37, 23);  // odd width: rows are padded in the file
  a.SaveToFile(Path("a.bmp"));
  QFile f(QString::fromStdString(Path("a.bmp")));
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.read(2), QByteArray("BM"));
  f.close();

  TBitmap b;
  int starts = 0, ends = 0;
  b.OnProgress = [&](TObject*, TProgressStage s, uint8_t, bool, const TRect&, const std::string&) {
    (s == psStarting ? starts : ends) += 1;
  };
  b.LoadFromFile(Path("a.bmp"));
  EXPECT_EQ(starts, 1);
  EXPECT_EQ(ends, 1);
  ASSERT_EQ(b.Width(), 37);
  ASSERT_EQ(b.Height(), 23);
  for (int y = 0; y < 23; ++y)
    for (int x = 0; x < 37; ++x) ASSERT_EQ(b.Canvas()->Pixels(x, y), a.Canvas()->Pixels(x, y));
}

TEST_F(BitmapFiles, JpegRoundTripKeepsSizeAndColoursClose) {
  TBitmap a;
  Clear(a, 64, 48, RGB(200, 40, 40));
  a.Canvas()->FillSolid({32, 0, 64, 48}, RGB(20, 60, 220));
  TJPEGImage j;
  j.Assign(a);
  j.SetCompressionQuality(90);
  j.SaveToFile(Path("a.jpg"));

  TJPEGImage k;
  k.LoadFromFile(Path("a.jpg"));
  EXPECT_EQ(k.Width(), 64);
  EXPECT_EQ(k.Height(), 48);
  TBitmap b;
  b.Assign(k);
  EXPECT_EQ(b.Image().format(), QImage::Format_RGB32);
  const TColor l = b.Canvas()->Pixels(10, 20), r = b.Canvas()->Pixels(50, 20);
  EXPECT_NEAR(GetRValue(l), 200, 12);
  EXPECT_NEAR(GetGValue(l), 40, 12);
  EXPECT_NEAR(GetBValue(r), 220, 12);
  EXPECT_NEAR(GetRValue(r), 20, 12);
}

TEST_F(BitmapFiles, FailuresRaiseClearExceptions) {
  TBitmap b;
  try {
    b.LoadFromFile(Path("missing.bmp"));
    FAIL() << "no exception";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.ErrorCode(), ENOENT);
    EXPECT_NE(std::string(e.what()).find("missing.bmp"), std::string::npos);
  }

  QFile junk(QString::fromStdString(Path("junk.bmp")));
  ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
  junk.write("this is no picture at all");
  junk.close();
  EXPECT_THROW(b.LoadFromFile(Path("junk.bmp")), EInvalidGraphic);
  TJPEGImage j;
  EXPECT_THROW(j.LoadFromFile(Path("junk.bmp")), EInvalidGraphic);

  // A JPEG file is no bitmap, whatever its name.
  TBitmap a;
  Clear(a, 8, 8);
  TJPEGImage k;
  k.Assign(a);
  k.SaveToFile(Path("photo.bmp"));
  EXPECT_THROW(b.LoadFromFile(Path("photo.bmp")), EInvalidGraphic);
  EXPECT_TRUE(b.Empty());  // a failed load leaves the bitmap as it was

  EXPECT_THROW(a.SaveToFile(Path("no/such/dir/a.bmp")), EInOutError);
  EXPECT_THROW(TJPEGImage().SaveToFile(Path("empty.jpg")), EInvalidGraphic);
}

TEST(Clipboard, TakesTheBitmap) {
  TBitmap a;
  Clear(a, 12, 7, clTeal);
  ClipboardSetBitmap(a);
  ASSERT_TRUE(ClipboardHasBitmap());
  const QImage img = ClipboardImage();
  EXPECT_EQ(img.size(), QSize(12, 7));
  EXPECT_EQ(RgbToColor(img.pixel(3, 3)), clTeal);
}

TEST(Frame, BevelAndOtherStyles) {
  TBitmap b;
  Clear(b, 20, 10, clYellow);
  TCanvas& c = *b.Canvas();
  c.Pen().SetColor(clRed);
  c.Brush().SetColor(clGreen);
  const TColor dark = RGB(1, 1, 1), shadow = clGray, light = clSilver, hi = clWhite, line = clBlue;
  DrawFrame(c, fsBevel, 0, 0, 19, 9, dark, shadow, light, hi, line);
  EXPECT_EQ(c.Pixels(0, 0), shadow);
  EXPECT_EQ(c.Pixels(10, 0), shadow);
  EXPECT_EQ(c.Pixels(0, 5), shadow);
  EXPECT_EQ(c.Pixels(10, 9), hi);
  EXPECT_EQ(c.Pixels(19, 5), hi);
  EXPECT_EQ(c.Pixels(19, 0), hi);
  EXPECT_EQ(c.Pixels(1, 1), dark);
  EXPECT_EQ(c.Pixels(10, 1), dark);
  EXPECT_EQ(c.Pixels(10, 8), light);
  EXPECT_EQ(c.Pixels(18, 4), light);
  EXPECT_EQ(c.Pixels(2, 2), clYellow);
  EXPECT_EQ(c.Pen().Color(), clRed);
  EXPECT_EQ(c.Brush().Color(), clGreen);

  Clear(b, 20, 10, clYellow);
  DrawFrame(c, fsNone, 0, 0, 19, 9, dark, shadow, light, hi, line);
  EXPECT_EQ(vektest::BoundsNot(b.Image(), clYellow), (TRect{0, 0, 0, 0}));
  DrawFrame(c, fsSingle, 0, 0, 19, 9, dark, shadow, light, hi, line);
  EXPECT_EQ(c.Pixels(0, 0), line);
  EXPECT_EQ(c.Pixels(19, 9), line);
  EXPECT_EQ(c.Pixels(1, 1), clYellow);
  DrawFrame(c, fsDouble, 0, 0, 19, 9, dark, shadow, light, hi, line);
  EXPECT_EQ(c.Pixels(2, 2), line);
  EXPECT_EQ(c.Pixels(1, 1), clYellow);
  DrawFrame(c, fsRaised, 0, 0, 19, 9, dark, shadow, light, hi, line);
  EXPECT_EQ(c.Pixels(0, 0), light);
  EXPECT_EQ(c.Pixels(19, 9), dark);
  EXPECT_EQ(c.Pixels(1, 1), hi);
  EXPECT_EQ(c.Pixels(18, 8), shadow);
}

}  // namespace
