#include "SpriteBlitter.h"

#include <QPainter>
#include <algorithm>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vek {

namespace {

// x * a / 255 per channel, rounded the way Qt's raster engine rounds it.
inline uint32_t ByteMul(uint32_t x, uint32_t a) {
  uint64_t t = ((uint64_t(x) | (uint64_t(x) << 24)) & 0x00ff00ff00ff00ffull) * a;
  t = (t + ((t >> 8) & 0x00ff00ff00ff00ffull) + 0x0080008000800080ull) >> 8;
  t &= 0x00ff00ff00ff00ffull;
  return uint32_t(t) | uint32_t(t >> 24);
}

// Premultiplied source over destination.
inline void BlendPixel(uint32_t& d, uint32_t s) {
  if (s >= 0xff000000u)
    d = s;
  else if (s != 0)
    d = s + ByteMul(d, 255 - (s >> 24));
}

inline void BlendRun(uint32_t* d, const uint32_t* s, int n) {
  for (int i = 0; i < n; ++i) BlendPixel(d[i], s[i]);
}

inline uint32_t Bit(const uint64_t* Mask, int C) { return uint32_t(Mask[C >> 6] >> (C & 63)) & 1; }

#if defined(__SSE2__)
// Four lanes on or off, for each four bits.
alignas(16) constexpr uint32_t Lanes[16][4] = {
    {0, 0, 0, 0},         {~0u, 0, 0, 0},         {0, ~0u, 0, 0},         {~0u, ~0u, 0, 0},
    {0, 0, ~0u, 0},       {~0u, 0, ~0u, 0},       {0, ~0u, ~0u, 0},       {~0u, ~0u, ~0u, 0},
    {0, 0, 0, ~0u},       {~0u, 0, 0, ~0u},       {0, ~0u, 0, ~0u},       {~0u, ~0u, 0, ~0u},
    {0, 0, ~0u, ~0u},     {~0u, 0, ~0u, ~0u},     {0, ~0u, ~0u, ~0u},     {~0u, ~0u, ~0u, ~0u}};

// Four pixels: Set where a bit is set, else Unset, or the pixel itself when Keep.
template <bool Keep>
inline void Four(uint32_t* D, uint64_t Bits, __m128i Set, __m128i Unset) {
  const __m128i on = _mm_load_si128(reinterpret_cast<const __m128i*>(Lanes[Bits & 15]));
  __m128i* d = reinterpret_cast<__m128i*>(D);
  const __m128i under = Keep ? _mm_loadu_si128(d) : Unset;
  _mm_storeu_si128(d, _mm_or_si128(_mm_and_si128(on, Set), _mm_andnot_si128(on, under)));
}

// Columns C ... of a row onto D by fours, without a branch on the bits (text makes them
// unpredictable); C ends short of C1 by less than four.
template <bool Keep>
void MaskedFours(uint32_t*& D, const uint64_t* Mask, int& C, int C1, uint32_t Set, uint32_t Unset) {
  const __m128i set = _mm_set1_epi32(int(Set)), unset = _mm_set1_epi32(int(Unset));
  while (C + 4 <= C1) {
    const int shift = C & 63;
    uint64_t bits = Mask[C >> 6] >> shift;
    int groups = std::min(64 - shift, C1 - C) / 4;
    if (groups == 0) {
      bits |= Mask[(C >> 6) + 1] << (64 - shift);  // C + 3 lies inside the row
      groups = 1;
    }
    if (Keep && bits == 0) {
      C += 4 * groups;
      D += 4 * groups;
      continue;
    }
    for (; groups >= 2; groups -= 2, C += 8, D += 8, bits >>= 8) {
      Four<Keep>(D, bits, set, unset);
      Four<Keep>(D + 4, bits >> 4, set, unset);
    }
    if (groups == 1) {
      Four<Keep>(D, bits, set, unset);
      C += 4;
      D += 4;
    }
  }
}
#endif

// Columns C0 ... C1 - 1 of a masked sprite's row onto D (D[0] takes column C0): Set where
// the bit is set, Unset where not, an Unset of 0 leaving the pixel.
void MaskedRow(uint32_t* D, const uint64_t* Mask, int C0, int C1, uint32_t Set, uint32_t Unset) {
  int c = C0;
#if defined(__SSE2__)
  if (Set >= 0xff000000u) {
    if (Unset == 0)
      MaskedFours<true>(D, Mask, c, C1, Set, Unset);
    else
      MaskedFours<false>(D, Mask, c, C1, Set, Unset);
  }
#endif
  for (; c < C1; ++c, ++D) {
    if (Bit(Mask, c))
      BlendPixel(*D, Set);
    else if (Unset != 0)
      *D = Unset;  // opaque: a clear bit is never a half-transparent one
  }
}

}  // namespace

void TLandMarkSprite::Prepare() {
  Size = Image.size();
  Runs.clear();
  Mask.clear();
  Set = Unset = 0;
  if (Image.isNull()) return;
  const int w = Image.width(), h = Image.height();
  auto pixel = [&](int x, int y) {
    return reinterpret_cast<const uint32_t*>(Image.constScanLine(y))[x];
  };
  // At most two values, the more frequent one left clear, a transparent one always.
  uint32_t value[2] = {0, 0};
  int64_t count[2] = {0, 0};
  int values = 0;
  for (int y = 0; y < h && values <= 2; ++y)
    for (int x = 0; x < w; ++x) {
      const uint32_t p = pixel(x, y);
      const int k = values > 0 && value[0] == p ? 0 : (values > 1 && value[1] == p ? 1 : -1);
      if (k >= 0) {
        ++count[k];
      } else if (++values <= 2) {
        value[values - 1] = p;
        count[values - 1] = 1;
      } else {
        break;
      }
    }
  if (values <= 2) {
    if (values == 1 || value[0] == 0 || (value[1] != 0 && count[0] >= count[1])) {
      Unset = values == 1 ? 0 : value[0];
      Set = values == 1 ? value[0] : value[1];
    } else {
      Unset = value[1];
      Set = value[0];
    }
    if (values == 1 && Set == 0) return;
    // A clear bit is skipped or filled: a half-transparent background takes the runs below.
    if (Unset == 0 || Unset >= 0xff000000u) {
      const int words = (w + 63) / 64;
      Mask.assign(size_t(words) * size_t(h), 0);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
          if (pixel(x, y) == Set) Mask[size_t(y) * words + x / 64] |= uint64_t(1) << (x % 64);
      // Thousands of distinct captions: their bits, a fraction of their images, stay in cache.
      Image = QImage();
      return;
    }
    Set = Unset = 0;
  }
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w;) {
      if (pixel(x, y) == 0) {
        ++x;
        continue;
      }
      TSpriteRun r{int16_t(x), int16_t(y), 0, true};
      for (; x < w && pixel(x, y) != 0; ++x) {
        r.Opaque = r.Opaque && pixel(x, y) >= 0xff000000u;
        ++r.Len;
      }
      Runs.push_back(r);
    }
  }
}

QImage TLandMarkSprite::Picture() const {
  if (Image.isNull() && Masked()) {
    // The format Crop gave it: images without a transparent pixel are plain RGB32.
    const bool opaque = Set >= 0xff000000u && Unset >= 0xff000000u;
    QImage img(Size, opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied);
    const int words = (Size.width() + 63) / 64;
    for (int y = 0; y < Size.height(); ++y) {
      uint32_t* row = reinterpret_cast<uint32_t*>(img.scanLine(y));
      for (int x = 0; x < Size.width(); ++x)
        row[x] = Bit(Mask.data() + size_t(y) * words, x) ? Set : Unset;
    }
    return img;
  }
  return Image;
}

bool TSpriteBlitter::Acquire() {
  FPainter = FCanvas.Painter();
  FPixels = nullptr;
  if (!FPainter) return false;
  FPainter->setCompositionMode(QPainter::CompositionMode_SourceOver);
  QImage* t = FCanvas.Target();
  const bool direct = t && FPainter->device() == t &&
                      (t->format() == QImage::Format_RGB32 ||
                       t->format() == QImage::Format_ARGB32_Premultiplied) &&
                      t->devicePixelRatio() == 1.0 && t->isDetached() &&
                      !FPainter->hasClipping() && FPainter->deviceTransform().isIdentity() &&
                      FPainter->opacity() == 1.0;
  if (direct) {
    // Detached: the painter draws into these very pixels.
    FPixels = reinterpret_cast<uint32_t*>(t->bits());
    FStride = t->bytesPerLine() / 4;
    FWidth = t->width();
    FHeight = t->height();
  }
  return true;
}

void TSpriteBlitter::Blit(const TLandMarkSprite& S, int X, int Y) {
  if (S.Empty()) return;
  if (!FPainter && !Acquire()) return;
  if (FPixels) {
    Write(S, X, Y);
    return;
  }
  FPainter->drawImage(X + S.Offset.x(), Y + S.Offset.y(), S.Picture());
}

void TSpriteBlitter::Write(const TLandMarkSprite& S, int X, int Y) {
  const int64_t x0 = int64_t(X) + S.Offset.x(), y0 = int64_t(Y) + S.Offset.y();
  const int w = S.Size.width(), h = S.Size.height();
  if (x0 >= FWidth || y0 >= FHeight || x0 + w <= 0 || y0 + h <= 0) return;
  if (S.Masked()) {
    WriteMasked(S, x0, y0);
    return;
  }
  const bool inside = x0 >= 0 && y0 >= 0 && x0 + w <= FWidth && y0 + h <= FHeight;
  const uchar* src = S.Image.constBits();
  const int64_t srcStride = S.Image.bytesPerLine() / 4;
  for (const TSpriteRun& r : S.Runs) {
    const int64_t dy = y0 + r.Y;
    int64_t dx = x0 + r.X;
    int sx = r.X, n = r.Len;
    if (!inside) {
      if (dy < 0 || dy >= FHeight) continue;
      if (dx < 0) {
        sx += int(-dx);
        n -= int(-dx);
        dx = 0;
      }
      n = int(std::min<int64_t>(n, FWidth - dx));
      if (n <= 0) continue;
    }
    const uint32_t* s = reinterpret_cast<const uint32_t*>(src) + r.Y * srcStride + sx;
    uint32_t* d = FPixels + dy * FStride + dx;
    if (r.Opaque && n > 16)
      std::memcpy(d, s, size_t(n) * 4);
    else if (r.Opaque)
      for (int i = 0; i < n; ++i) d[i] = s[i];  // a call costs more than a symbol's row
    else
      BlendRun(d, s, n);
  }
}

void TSpriteBlitter::WriteMasked(const TLandMarkSprite& S, int64_t X0, int64_t Y0) {
  const int w = S.Size.width(), h = S.Size.height();
  const int words = (w + 63) / 64;
  // The columns and rows of the sprite that land on the target.
  const int c0 = int(std::max<int64_t>(0, -X0)), c1 = int(std::min<int64_t>(w, FWidth - X0));
  const int r0 = int(std::max<int64_t>(0, -Y0)), r1 = int(std::min<int64_t>(h, FHeight - Y0));
  for (int y = r0; y < r1; ++y) {
    const int64_t at = (Y0 + y) * FStride + X0;  // where sprite column 0 would go
    MaskedRow(FPixels + (at + c0), S.Mask.data() + size_t(y) * words, c0, c1, S.Set, S.Unset);
  }
}

}  // namespace vek