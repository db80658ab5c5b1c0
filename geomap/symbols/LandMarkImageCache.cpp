#include "LandMarkImageCache.h"

#include <QGuiApplication>
#include <QTransform>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <string_view>

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

// The memo's and the table's hash of what a key holds, without building the key: every
// frame asks for every landmark's images.
class THash {
 public:
  explicit THash(char Tag) : FH(0x9E3779B97F4A7C15ull ^ uint64_t(uint8_t(Tag))) {}
  template <class T>
  void Add(const T& V) {
    static_assert(sizeof(T) <= 8);
    uint64_t w = 0;
    std::memcpy(&w, &V, sizeof(T));
    Mix(w);
  }
  void Add(const char* P, size_t N) {
    Mix(N);
    for (; N >= 8; P += 8, N -= 8) {
      uint64_t w;
      std::memcpy(&w, P, 8);
      Mix(w);
    }
    uint64_t w = 0;
    std::memcpy(&w, P, N);
    Mix(w);
  }
  uint64_t Value() const {
    uint64_t z = FH;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }

 private:
  void Mix(uint64_t W) {
    FH = (FH ^ W) * 0x100000001B3ull;
    FH ^= FH >> 29;
  }
  uint64_t FH;
};

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
  if (l != 0 || t != 0 || r != img.width() - 1 || b != img.height() - 1) {
    S.Image = img.copy(l, t, r - l + 1, b - t + 1);
    S.Offset += QPoint(l, t);
  }
  // Wholly opaque images (captions on a box) are blitted as plain copies.
  for (int y = 0; y < S.Image.height(); ++y) {
    const QRgb* row = reinterpret_cast<const QRgb*>(S.Image.constScanLine(y));
    for (int x = 0; x < S.Image.width(); ++x)
      if (qAlpha(row[x]) != 255) return;
  }
  S.Image = S.Image.convertToFormat(QImage::Format_RGB32);
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
  ++FEpoch;
  FSprites.clear();
  FSeen.clear();
  FBytes = 0;
}

// Memo slots for the first few million landmarks; beyond, the table alone.
constexpr int64_t MaxMemoSlots = int64_t(1) << 23;

void TLandMarkImageCache::Remember(int64_t Slot, uint64_t Hash, const TLandMarkSprite* Sprite) {
  if (Slot < 0 || Slot >= MaxMemoSlots) return;
  if (size_t(Slot) >= FMemo.size()) FMemo.resize(size_t(Slot) + 1 + FMemo.size() / 2);
  FMemo[size_t(Slot)] = TMemo{Hash, FEpoch, Sprite, Sprite ? Sprite->Box() : QRect()};
}

bool TLandMarkImageCache::Recall(int64_t Slot, uint64_t Hash, const TLandMarkSprite*& Sprite) {
  if (Slot < 0 || size_t(Slot) >= FMemo.size()) return false;
  const TMemo& m = FMemo[size_t(Slot)];
  if (m.Epoch != FEpoch || m.Hash != Hash) return false;
  if (FBoxOut) *FBoxOut = m.Box;
  Sprite = m.Sprite;
  return true;
}

const TLandMarkSprite* TLandMarkImageCache::Find(uint64_t Hash, bool& Taken, int64_t Slot) {
  Taken = false;
  const auto it = FSprites.find(Hash);
  if (it == FSprites.end()) return nullptr;
  if (it->second.Key == FKey) {
    Remember(Slot, Hash, &it->second.Sprite);
    if (FBoxOut) *FBoxOut = it->second.Sprite.Box();
    return &it->second.Sprite;
  }
  Taken = true;
  return nullptr;
}

void TLandMarkImageCache::CheckGeneration() {
  const uint64_t g = gGeneration.load(std::memory_order_relaxed);
  if (g != FGeneration) {
    Clear();
    FGeneration = g;
    WatchFonts();
  }
}

const TLandMarkSprite* TLandMarkImageCache::Store(uint64_t Hash, TLandMarkSprite&& S,
                                                  int64_t Slot) {
  S.Prepare();
  const size_t bytes = size_t(S.Image.sizeInBytes()) + S.PreparedBytes() +
                       2 * FKey.size() + 96;
  if (FBytes + bytes > FByteLimit) Clear();  // bounded: start over rather than grow
  FBytes += bytes;
  const TLandMarkSprite* stored = &FSprites.emplace(Hash, TEntry{FKey, std::move(S)}).first->second.Sprite;
  Remember(Slot, Hash, stored);
  if (FBoxOut) *FBoxOut = stored->Box();
  return stored;
}

const TLandMarkSprite* TLandMarkImageCache::Symbol(const TSymbolProperties& S,
                                                   const TCanvas& Style, int32_t Memo) {
  const int64_t slot = Memo < 0 ? -1 : 2 * int64_t(Memo);
  const TPen& pen = Style.Pen();
  if (pen.Mode() != pmCopy || pen.Style() == psClear) return nullptr;
  const int reach = SymbolReach(S);
  const int margin = pen.Width() + 2;  // halo, end pixels and wide pens
  if (reach > MaxReach || pen.Width() > 16) return nullptr;
  CheckGeneration();
  const bool aa = Style.Antialiasing();
  const int direction = S.Direction % 360;
  const int penWidth = pen.Width();
  const TPenStyle penStyle = pen.Style();
  THash h('S');
  h.Add(S.Kind);
  h.Add(S.Size);
  h.Add(S.FGColor);
  h.Add(S.BGColor);
  h.Add(S.Transparent);
  h.Add(direction);
  h.Add(S.Length);
  h.Add(penWidth);
  h.Add(penStyle);
  h.Add(aa);
  const uint64_t hash = h.Value();
  if (const TLandMarkSprite* known; Recall(slot, hash, known)) return known;
  FKey.clear();
  FKey.push_back('S');
  Put(FKey, S.Kind);
  Put(FKey, S.Size);
  Put(FKey, S.FGColor);
  Put(FKey, S.BGColor);
  Put(FKey, S.Transparent);
  Put(FKey, direction);
  Put(FKey, S.Length);
  Put(FKey, penWidth);
  Put(FKey, penStyle);
  Put(FKey, aa);
  const int c = reach + margin;
  bool taken;
  if (const TLandMarkSprite* found = Find(hash, taken, slot)) return found;
  if (taken) return nullptr;

  TLandMarkSprite sprite{TransparentImage(2 * c + 1, 2 * c + 1), QPoint(-c, -c), QSize(), {}, {}};
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
  return Store(hash, std::move(sprite), slot);
}

const TLandMarkSprite* TLandMarkImageCache::Caption(const TLMTextProperties& Cap,
                                                    const TCanvas& Style, bool AtOnce,
                                                    int32_t Memo, QRect& Box) {
  Box = QRect();
  FBoxOut = &Box;
  const TLandMarkSprite* s = Caption(Cap, Style, AtOnce, Memo);
  FBoxOut = nullptr;
  return s;
}

const TLandMarkSprite* TLandMarkImageCache::Caption(const TLMTextProperties& Cap,
                                                    const TCanvas& Style, bool AtOnce,
                                                    int32_t Memo) {
  const int64_t slot = Memo < 0 ? -1 : 2 * int64_t(Memo) + 1;
  if (Cap.Text.empty()) return nullptr;
  CheckGeneration();
  const int direction = Cap.Direction % 360;
  const uint32_t styles = Cap.FontStyles.ToBits();
  const bool aa = Style.Antialiasing();
  THash h('C');
  h.Add(Cap.Text.Chars, Cap.Text.Len);
  h.Add(Cap.FontName.data(), Cap.FontName.size());
  h.Add(Cap.Size);
  h.Add(styles);
  h.Add(Cap.FGColor);
  h.Add(Cap.BGColor);
  h.Add(Cap.Transparent);
  h.Add(direction);
  h.Add(Cap.HAlignment);
  h.Add(Cap.VAlignment);
  h.Add(aa);
  const uint64_t hash = h.Value();
  if (const TLandMarkSprite* known; Recall(slot, hash, known)) return known;
  FKey.clear();
  FKey.push_back('C');
  FKey.append(Cap.Text.Chars, Cap.Text.Len);
  FKey.push_back('\0');
  FKey.append(Cap.FontName);
  FKey.push_back('\0');
  Put(FKey, Cap.Size);
  Put(FKey, styles);
  Put(FKey, Cap.FGColor);
  Put(FKey, Cap.BGColor);
  Put(FKey, Cap.Transparent);
  Put(FKey, direction);
  Put(FKey, Cap.HAlignment);
  Put(FKey, Cap.VAlignment);
  Put(FKey, aa);
  bool taken;
  if (const TLandMarkSprite* found = Find(hash, taken, slot)) return found;
  if (taken) return nullptr;
  if (!AtOnce && FSeen.insert(hash).second) {
    // The set of captions asked for once stays bounded too.
    if (FSeen.size() > FByteLimit / 256) FSeen.clear();
    return nullptr;
  }

  // Measure on a scratch canvas, then draw into an image that holds the turned cell with
  // room for overhanging glyphs.
  TLMTextProperties at = Cap;
  at.dx = at.dy = 0;
  QImage scratch = TransparentImage(1, 1);
  TCanvas measure(&scratch);
  measure.SetAntialiasing(Style.Antialiasing());
  TPoint origin;
  TSize cell;
  if (!LandMarkCaptionCell(measure, at, origin, cell)) return Store(hash, TLandMarkSprite{}, slot);
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
  TLandMarkSprite sprite{TransparentImage(box.width(), box.height()), box.topLeft(), QSize(), {}, {}};
  {
    TCanvas canvas(&sprite.Image);
    canvas.SetAntialiasing(Style.Antialiasing());
    DrawLandMarkCaption(canvas, -box.left(), -box.top(), at);
    canvas.End();
  }
  Crop(sprite);
  return Store(hash, std::move(sprite), slot);
}

}  // namespace vek
