#include "LandMarkImageCache.h"

#include <QGuiApplication>
#include <QTransform>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

#include "SymbolDrawing.h"

namespace vek {

namespace {

std::atomic<uint64_t> gGeneration{1};

// Application fonts added or removed change how captions look.
void WatchFonts() {
  static bool watching = false;
  if (watching || !qGuiApp) return;
  watching = true;
  QObject::connect(qGuiApp, &QGuiApplication::fontDatabaseChanged,
                   [] { TLandMarkImageCache::InvalidateAll(); });
}

template <class T>
void Put(std::string& K, const T& V) {
  char b[sizeof(T)];
  std::memcpy(b, &V, sizeof(T));
  K.append(b, sizeof(T));
}

QImage TransparentImage(int W, int H) {
  QImage img(W, H, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  return img;
}

// The smallest part of Img holding every pixel drawn; Offset moves with it.
void Crop(TLandMarkSprite& S) {
  const QImage& img = S.Image;
  int l = img.width(), t = img.height(), r = -1, b = -1;
  for (int y = 0; y < img.height(); ++y) {
    const QRgb* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
    for (int x = 0; x < img.width(); ++x)
      if (qAlpha(row[x]) != 0) {
        l = std::min(l, x);
        r = std::max(r, x);
        t = std::min(t, y);
        b = y;
      }
  }
  if (r < 0) {
    S.Image = QImage();
    return;
  }
  if (l == 0 && t == 0 && r == img.width() - 1 && b == img.height() - 1) return;
  S.Image = img.copy(l, t, r - l + 1, b - t + 1);
  S.Offset += QPoint(l, t);
}

int SymbolReach(const TSymbolProperties& S) {
  int64_t reach = std::abs(int64_t(S.Size));
  if (S.Kind == lmArrowFrom || S.Kind == lmArrowTo)
    reach = std::abs(int64_t(S.Length)) + std::abs(int64_t(S.Size));
  if (S.Kind > lmUserDef) reach = 5;  // the stand-in mark of unknown shapes
  return int(std::min<int64_t>(reach, int64_t(1) << 30));
}

}  // namespace

void TLandMarkImageCache::InvalidateAll() { gGeneration.fetch_add(1, std::memory_order_relaxed); }

void TLandMarkImageCache::Clear() {
  FSprites.clear();
  FBytes = 0;
}

void TLandMarkImageCache::CheckGeneration() {
  const uint64_t g = gGeneration.load(std::memory_order_relaxed);
  if (g != FGeneration) {
    Clear();
    FGeneration = g;
    WatchFonts();
  }
}

const TLandMarkSprite* TLandMarkImageCache::Store(std::string&& Key, TLandMarkSprite&& S) {
  const size_t bytes = size_t(S.Image.sizeInBytes()) + Key.size() + 64;
  if (FBytes + bytes > FByteLimit) Clear();  // bounded: start over rather than grow
  FBytes += bytes;
  return &FSprites.emplace(std::move(Key), std::move(S)).first->second;
}

const TLandMarkSprite* TLandMarkImageCache::Symbol(const TSymbolProperties& S,
                                                   const TCanvas& Style) {
  const TPen& pen = Style.Pen();
  if (pen.Mode() != pmCopy || pen.Style() == psClear) return nullptr;
  const int reach = SymbolReach(S);
  const int margin = pen.Width() + 2;  // halo, end pixels and wide pens
  if (reach > MaxReach || pen.Width() > 16) return nullptr;
  CheckGeneration();
  FKey.clear();
  FKey.push_back('S');
  Put(FKey, S.Kind);
  Put(FKey, S.Size);
  Put(FKey, S.FGColor);
  Put(FKey, S.BGColor);
  Put(FKey, S.Transparent);
  Put(FKey, S.Direction % 360);
  Put(FKey, S.Length);
  Put(FKey, pen.Width());
  Put(FKey, pen.Style());
  Put(FKey, Style.Antialiasing());
  const int c = reach + margin;
  if (auto it = FSprites.find(FKey); it != FSprites.end()) return &it->second;

  TLandMarkSprite sprite{TransparentImage(2 * c + 1, 2 * c + 1), QPoint(-c, -c)};
  {
    TCanvas canvas(&sprite.Image);
    canvas.SetAntialiasing(Style.Antialiasing());
    canvas.Pen().SetWidth(pen.Width());
    canvas.Pen().SetStyle(pen.Style());
    canvas.Pen().SetMode(pmCopy);
    DrawLandMarkSymbolOnCanvas(canvas, c, c, S);
    canvas.End();
  }
  Crop(sprite);
  return Store(std::string(FKey), std::move(sprite));
}

const TLandMarkSprite* TLandMarkImageCache::Caption(const TLMTextProperties& Cap,
                                                    const TCanvas& Style) {
  if (Cap.Text.empty()) return nullptr;
  CheckGeneration();
  FKey.clear();
  FKey.push_back('C');
  FKey.append(Cap.Text.str());
  FKey.push_back('\0');
  FKey.append(Cap.FontName);
  FKey.push_back('\0');
  Put(FKey, Cap.Size);
  Put(FKey, Cap.FontStyles.ToBits());
  Put(FKey, Cap.FGColor);
  Put(FKey, Cap.BGColor);
  Put(FKey, Cap.Transparent);
  Put(FKey, Cap.Direction % 360);
  Put(FKey, Cap.HAlignment);
  Put(FKey, Cap.VAlignment);
  Put(FKey, Style.Antialiasing());
  if (auto it = FSprites.find(FKey); it != FSprites.end()) return &it->second;

  // Measure on a scratch canvas, then draw into an image that holds the turned cell with
  // room for overhanging glyphs.
  TLMTextProperties at = Cap;
  at.dx = at.dy = 0;
  QImage scratch = TransparentImage(1, 1);
  TCanvas measure(&scratch);
  measure.SetAntialiasing(Style.Antialiasing());
  TPoint origin;
  TSize cell;
  if (!LandMarkCaptionCell(measure, at, origin, cell)) return nullptr;
  measure.End();
  const int pad = 2 + cell.cy / 2;
  QTransform turn;
  turn.translate(origin.X, origin.Y);
  turn.rotate(-(Cap.Direction % 360));
  const QRect box =
      turn.mapRect(QRectF(0, 0, cell.cx, cell.cy)).toAlignedRect().adjusted(-pad, -pad, pad, pad);
  if (box.width() > 2 * MaxReach || box.height() > 2 * MaxReach ||
      std::abs(box.left()) > MaxReach * 4 || std::abs(box.top()) > MaxReach * 4)
    return nullptr;
  TLandMarkSprite sprite{TransparentImage(box.width(), box.height()), box.topLeft()};
  {
    TCanvas canvas(&sprite.Image);
    canvas.SetAntialiasing(Style.Antialiasing());
    DrawLandMarkCaption(canvas, -box.left(), -box.top(), at);
    canvas.End();
  }
  Crop(sprite);
  return Store(std::string(FKey), std::move(sprite));
}

void TSpriteBlitter::Blit(const TLandMarkSprite& S, int X, int Y) {
  if (S.Image.isNull()) return;
  if (!FPainter) {
    FPainter = FCanvas.Painter();
    if (!FPainter) return;
    FPainter->setCompositionMode(QPainter::CompositionMode_SourceOver);
  }
  FPainter->drawImage(X + S.Offset.x(), Y + S.Offset.y(), S.Image);
}

}  // namespace vek
