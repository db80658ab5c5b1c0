// Landmarks blitted from images drawn once: the same picture as drawing every symbol and
// caption, a bounded cache that starts over when symbols or fonts change; captions placed
// without overlaps.
#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "CaptionPlacer.h"
#include "LandMarkImageCache.h"
#include "MapRenderer.h"
#include "SymbolRepository.h"
#include "test_geomap_helpers.h"

namespace vek {
namespace {

using testing::BitmapOf;
using testing::MapHost;
using testing::PixelOf;
using testing::Solid;

constexpr int ImgW = 400, ImgH = 300;
constexpr TColor Paper = 0xE0F0F8;

// A 400 x 300 map over 46 .. 48 N, 13 .. 17 E.
void CalibratedMap(testing::TestMap& m) {
  m.SetSuppressPaint(true);
  m.resize(ImgW, ImgH);
  m.SetFrameStyle(fsNone);
  m.SetMapBitMap(BitmapOf(Solid(ImgW, ImgH, Paper)));
  m.SetCalibModel(cmEquiRect);
  m.AddCalibPoint(48, 13, 0, 0);
  m.AddCalibPoint(48, 17, ImgW, 0);
  m.AddCalibPoint(46, 13, 0, ImgH);
}

// Every shape, size, colour scheme and caption layout, some captions shared, some not.
void AddVariety(testing::TestMap& m, int n) {
  for (int i = 0; i < n; ++i) {
    TLandMark lm;
    lm.Latitude = 46.1 + (i % 19) * 0.1;
    lm.Longitude = 13.1 + (i / 19) * 0.23;
    lm.ClassFlag = 1;
    lm.SymbolProps = TSymbolProperties{TLandMarkElement(i % 11), 2 + i % 9,
                                       TColor(0x000080 + 0x1000 * (i % 5)), 0x00FFFF,
                                       i % 3 == 0, 30 * (i % 7), 8 + i % 15};
    TLMTextProperties& c = lm.Caption;
    c.Text = (i % 4 == 0) ? std::string("Town") : "LM " + std::to_string(i);
    c.Size = 7 + i % 6;
    c.FontName = "DejaVu Sans";
    if (i % 5 == 1) c.FontStyles = TFontStyles{fsBold};
    if (i % 7 == 2) c.FontStyles = TFontStyles{fsItalic, fsUnderline};
    c.FGColor = i % 2 ? clBlack : 0x202080;
    c.BGColor = clYellow;
    c.Transparent = i % 3 == 1;
    c.dx = 4 + i % 3;
    c.dy = -3 - i % 4;
    c.Direction = (i % 6 == 5) ? 30 * (i % 4) : 0;
    c.HAlignment = TAlignment(i % 3);
    c.VAlignment = TVerticalAlignment(i % 3);
    m.FLM.AddLandMark(lm, {});
  }
}

QImage Draw(testing::TestMap& m, bool AA, int PenWidth, const TLandMarkDrawing& How) {
  QImage img = Solid(ImgW, ImgH, Paper);
  TCanvas C(&img);
  C.SetAntialiasing(AA);
  C.Pen().SetWidth(PenWidth);
  PArray<bool, 0, 255> visible{};
  for (bool& v : visible) v = true;
  TMapViewport view = m.Viewport();
  view.Width = ImgW;
  view.Height = ImgH;
  TMapRenderer(m.FCal, m.FLM, view, ImgW, ImgH).DrawLandMarks(C, visible, 20000, {}, How);
  C.End();
  return img;
}

int MaxChannelDiff(TColor a, TColor b) {
  return std::max({std::abs(int(GetRValue(a)) - int(GetRValue(b))),
                   std::abs(int(GetGValue(a)) - int(GetGValue(b))),
                   std::abs(int(GetBValue(a)) - int(GetBValue(b)))});
}

// Pixels that differ by more than smoothed edges blended with other rounding do. A few edge
// pixels of turned caption boxes may.
int Differing(const QImage& a, const QImage& b) {
  int n = 0;
  for (int y = 0; y < ImgH; ++y)
    for (int x = 0; x < ImgW; ++x) n += MaxChannelDiff(PixelOf(a, x, y), PixelOf(b, x, y)) > 16;
  return n;
}

TEST(LandMarkImages, BlittedPictureEqualsTheDrawnOne) {
  MapHost h;
  CalibratedMap(*h.map);
  AddVariety(*h.map, 380);
  for (bool aa : {false, true})
    for (int pen : {1, 2}) {
      SCOPED_TRACE(::testing::Message() << "antialiasing " << aa << ", pen " << pen);
      TLandMarkImageCache cache;
      const QImage direct = Draw(*h.map, aa, pen, {});
      // Captions get their images when they show a second time.
      const QImage cold = Draw(*h.map, aa, pen, TLandMarkDrawing{&cache});
      const size_t symbols = cache.Count();
      const QImage second = Draw(*h.map, aa, pen, TLandMarkDrawing{&cache});
      const size_t sprites = cache.Count();
      EXPECT_GT(sprites, symbols);
      const QImage warm = Draw(*h.map, aa, pen, TLandMarkDrawing{&cache});
      EXPECT_EQ(cache.Count(), sprites);  // nothing drawn again
      EXPECT_EQ(second, warm);
      EXPECT_LE(Differing(direct, cold), 20);
      EXPECT_LE(Differing(direct, warm), 20);
      if (!aa && pen == 1) {
        direct.save("landmark_images_direct.png");
        warm.save("landmark_images_cached.png");
      }
  }
}

// Sprites written straight into the canvas image give the bytes QPainter::drawImage gives:
// half-transparent pixels, two-colour images kept as bits, sprites cut by every edge, both
// image formats the canvas may hold, and a clipped canvas that takes the painter's way.
TEST(LandMarkImages, SpritesBlitLikeQPainter) {
  std::mt19937 rng(11);
  auto image = [&](int w, int h, auto pixel) {
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) img.setPixel(x, y, pixel(x, y));
    return img;
  };
  auto coin = [&] { return rng() % 3 == 0; };
  const QRgb red = qRgb(200, 20, 20), half = qPremultiply(qRgba(20, 40, 200, 128));
  std::vector<QImage> images = {
      // every alpha
      image(37, 21, [&](int, int) { return qPremultiply(qRgba(rng() % 256, rng() % 256, rng() % 256, rng() % 256)); }),
      image(70, 13, [&](int, int) { return coin() ? red : 0u; }),             // text of one colour
      image(66, 15, [&](int, int) { return coin() ? qRgb(0, 0, 0) : qRgb(255, 255, 0); }),  // on a box
      image(9, 9, [&](int, int) { return coin() ? half : 0u; }),              // half-transparent text
      image(12, 7, [&](int, int) { return coin() ? red : half; }),            // half-transparent box
  };
  images[2] = images[2].convertToFormat(QImage::Format_RGB32);
  const QPoint places[] = {{5, 6}, {-20, 3}, {90, -7}, {-30, -10}, {95, 55}, {40, 58}, {-3, 30}};
  for (QImage::Format format : {QImage::Format_RGB32, QImage::Format_ARGB32_Premultiplied})
    for (bool clipped : {false, true}) {
      QImage mine(100, 60, format), theirs(100, 60, format);
      for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 100; ++x) mine.setPixel(x, y, qRgb(x * 2, y * 4, (x * y) & 255));
      theirs = mine.copy();
      TCanvas canvas(&mine);
      if (clipped) canvas.SetClipRect(QRectF(10, 5, 70, 40));
      TSpriteBlitter blit(canvas);
      QPainter p(&theirs);
      if (clipped) p.setClipRect(QRectF(10, 5, 70, 40));
      for (const QImage& img : images) {
        TLandMarkSprite sprite{img, QPoint(-3, 2), QSize(), {}, {}};
        sprite.Prepare();
        EXPECT_EQ(sprite.Picture(), img);
        for (const QPoint& at : places) {
          blit.Blit(sprite, at.x(), at.y());
          p.drawImage(at + QPoint(-3, 2), img);
        }
      }
      p.end();
      canvas.End();
      SCOPED_TRACE(::testing::Message() << "format " << format << ", clipped " << clipped);
      EXPECT_EQ(mine, theirs);
    }
}

TEST(LandMarkImages, CacheBoundedAndDroppedWhenSymbolsOrFontsChange) {
  MapHost h;
  CalibratedMap(*h.map);
  AddVariety(*h.map, 380);
  TLandMarkImageCache small(40000);
  TLandMarkImageCache large;
  for (int frame = 0; frame < 2; ++frame)
    EXPECT_LE(Differing(Draw(*h.map, false, 1, TLandMarkDrawing{&small}),
                        Draw(*h.map, false, 1, TLandMarkDrawing{&large})), 20);
  EXPECT_GT(large.Bytes(), 40000u);
  EXPECT_LE(small.Bytes(), 40000u);
  EXPECT_GT(small.Count(), 0u);
  // Captions placed through a cache that starts over while they are looked up.
  std::vector<QRect> fromSmall, fromLarge;
  TLandMarkImageCache tiny(40000);
  const QImage placedSmall = Draw(*h.map, false, 1, TLandMarkDrawing{&tiny, true, 0, nullptr, &fromSmall});
  const QImage placedLarge = Draw(*h.map, false, 1, TLandMarkDrawing{&large, true, 0, nullptr, &fromLarge});
  EXPECT_EQ(fromSmall, fromLarge);
  EXPECT_EQ(placedSmall, placedLarge);

  QImage one(4, 4, QImage::Format_RGB32);
  TCanvas style(&one);
  TLandMarkImageCache cache;
  const TSymbolProperties sym{lmCircle, 5, 0, 0xFFFFFF, false, 0, 0};
  ASSERT_NE(cache.Symbol(sym, style), nullptr);
  TLMTextProperties cap;
  cap.Text = "Graz";
  cap.Size = 9;
  cap.FontName = "DejaVu Sans";
  EXPECT_EQ(cache.Caption(cap, style), nullptr);  // the first time it is drawn directly
  ASSERT_NE(cache.Caption(cap, style), nullptr);
  EXPECT_EQ(cache.Count(), 2u);
  // A changed symbol repository starts the cache over.
  TSymbolRepository repo;
  repo.SetNumEntries(1);
  repo.SetValues(1, DefaultSymbolRecord());
  cache.Symbol(sym, style);
  EXPECT_EQ(cache.Count(), 1u);
  // So do fonts added to the application.
  cache.Caption(cap, style, true);
  EXPECT_EQ(cache.Count(), 2u);
  const int font = QFontDatabase::addApplicationFont("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
  if (font >= 0) {
    cache.Symbol(sym, style);
    EXPECT_EQ(cache.Count(), 1u);
    QFontDatabase::removeApplicationFont(font);
  }
  // Pens that do not simply copy, and huge symbols, are drawn directly.
  style.Pen().SetMode(pmXor);
  EXPECT_EQ(cache.Symbol(sym, style), nullptr);
  style.Pen().SetMode(pmCopy);
  EXPECT_EQ(cache.Symbol(TSymbolProperties{lmCircle, 100000, 0, 0, false, 0, 0}, style), nullptr);
  style.End();
}

TEST(LandMarkImages, DeclutteredCaptionsNeverOverlapAndStayPut) {
  MapHost h;
  testing::TestMap& m = *h.map;
  CalibratedMap(m);
  // 1,500 landmarks on a 400 x 300 map: far too many captions for the room.
  for (int i = 0; i < 1500; ++i) {
    TLandMark lm;
    lm.Latitude = 46.02 + (i * 37 % 1499) / 1499.0 * 1.96;
    lm.Longitude = 13.02 + (i * 101 % 1499) / 1499.0 * 3.96;
    lm.SymbolProps = TSymbolProperties{lmSquare, 1 + i % 4, 0x00AA00, 0x00AA00, false, 0, 0};
    lm.Caption.Text = "Place " + std::to_string(i);
    lm.Caption.Size = 8;
    lm.Caption.FontName = "DejaVu Sans";
    lm.Caption.FGColor = clBlack;
    lm.Caption.BGColor = clWhite;
    lm.Caption.dx = 5;
    lm.Caption.dy = -5;
    m.FLM.AddLandMark(lm, {});
  }
  TLandMarkImageCache cache;
  std::vector<QRect> boxes, again;
  const int highlight = 777;
  const QImage pic = Draw(m, false, 1, TLandMarkDrawing{&cache, true, highlight, nullptr, &boxes});
  const QImage pic2 = Draw(m, false, 1, TLandMarkDrawing{&cache, true, highlight, nullptr, &again});
  EXPECT_EQ(boxes, again);
  EXPECT_EQ(pic, pic2);
  ASSERT_GT(boxes.size(), 20u);
  EXPECT_LT(boxes.size(), 1500u);
  for (size_t i = 0; i < boxes.size(); ++i)
    for (size_t j = i + 1; j < boxes.size(); ++j)
      ASSERT_FALSE(boxes[i].intersects(boxes[j])) << i << " " << j;

  // The highlighted landmark's caption is placed first, where it asks to be.
  int x, y;
  const TLandMark& hl = m.FLM[highlight];
  m.FCal.CalcPixelCoords(hl.Latitude, hl.Longitude, x, y);
  EXPECT_EQ(boxes[0].left(), x + 5);
  // Every symbol is drawn: its centre shows it unless a placed caption covers it.
  for (int i = 1; i <= 1500; ++i) {
    m.FCal.CalcPixelCoords(m.FLM[i].Latitude, m.FLM[i].Longitude, x, y);
    if (x <= 0 || y <= 0 || x >= ImgW || y >= ImgH) continue;
    const bool covered = std::any_of(boxes.begin(), boxes.end(),
                                     [&](const QRect& b) { return b.contains(x, y); });
    if (!covered) {
      EXPECT_EQ(PixelOf(pic, x, y), 0x00AA00u) << i;
    }
  }
  pic.save("landmark_captions_decluttered.png");
  Draw(m, false, 1, TLandMarkDrawing{&cache}).save("landmark_captions_all.png");

  // The control's switch: off by default, a repaint when turned on, kept by Assign.
  EXPECT_FALSE(m.LMCaptionDeclutter());
  m.SetSuppressPaint(false);
  const int paints = m.CompositionCount();
  m.SetLMCaptionDeclutter(true);
  EXPECT_EQ(m.CompositionCount(), paints + 1);
  MapHost copy;
  copy.map->Assign(&m);
  EXPECT_TRUE(copy.map->LMCaptionDeclutter());
}

}  // namespace
}  // namespace vek
