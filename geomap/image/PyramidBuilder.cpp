#include "PyramidBuilder.h"

#include <algorithm>
#include <cstring>

namespace vek {

namespace {

// Rounded mean of four 0xffRRGGBB pixels, two channels at a time.
inline uint32_t Mean4(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
  constexpr uint32_t m = 0x00FF00FF;
  const uint32_t rb = (((a & m) + (b & m) + (c & m) + (d & m) + 0x00020002) >> 2) & m;
  const uint32_t ag =
      ((((a >> 8) & m) + ((b >> 8) & m) + ((c >> 8) & m) + ((d >> 8) & m) + 0x00020002) >> 2) & m;
  return rb | ag << 8;
}

}  // namespace

TPyramidBuilder::TPyramidBuilder(const TPyramidLayout& Layout, TTileSink Sink)
    : FLayout(Layout), FSink(std::move(Sink)), FLevels(size_t(Layout.Levels())) {
  for (int l = 0; l < Layout.Levels(); ++l) {
    TLevel& v = FLevels[size_t(l)];
    const int w = Layout.LevelW[size_t(l)];
    v.Strip = QImage(w, std::min(TPyramidLayout::TileSize, Layout.LevelH[size_t(l)]),
                     QImage::Format_RGB32);
    if (l + 1 < Layout.Levels()) {
      v.Pending.resize(size_t(w));
      v.Half.resize(size_t(Layout.LevelW[size_t(l + 1)]));
    }
  }
}

bool TPyramidBuilder::AddRow(const uint32_t* Row) {
  for (const TLevel& v : FLevels)
    if (v.Strip.isNull()) return false;
  return Add(0, Row);
}

bool TPyramidBuilder::Add(int Level, const uint32_t* Row) {
  TLevel& v = FLevels[size_t(Level)];
  const int w = FLayout.LevelW[size_t(Level)];
  const int h = FLayout.LevelH[size_t(Level)];
  if (v.Rows >= h) return true;  // rounding never gives a level more rows, but stay safe
  constexpr int T = TPyramidLayout::TileSize;
  std::memcpy(v.Strip.scanLine(v.Rows % T), Row, size_t(w) * 4);
  ++v.Rows;
  if ((v.Rows % T == 0 || v.Rows == h) && !FlushStrip(Level, (v.Rows - 1) % T + 1)) return false;

  if (Level + 1 >= FLayout.Levels()) return true;
  const bool last = v.Rows == h;
  if (!v.HasPending && !last) {
    std::memcpy(v.Pending.data(), Row, size_t(w) * 4);
    v.HasPending = true;
    return true;
  }
  // An odd last row pairs with itself, an odd last column too.
  const uint32_t* top = v.HasPending ? v.Pending.data() : Row;
  for (size_t x = 0; x < v.Half.size(); ++x) {
    const size_t x0 = 2 * x, x1 = std::min(2 * x + 1, size_t(w) - 1);
    v.Half[x] = Mean4(top[x0], top[x1], Row[x0], Row[x1]);
  }
  v.HasPending = false;
  return Add(Level + 1, v.Half.data());
}

bool TPyramidBuilder::FlushStrip(int Level, int RowsInStrip) {
  const TLevel& v = FLevels[size_t(Level)];
  constexpr int T = TPyramidLayout::TileSize;
  const int ty = (v.Rows - 1) / T;
  for (int tx = 0; tx < FLayout.TilesX[size_t(Level)]; ++tx) {
    const int tw = std::min(T, FLayout.LevelW[size_t(Level)] - tx * T);
    if (!FSink(Level, tx, ty, v.Strip.copy(tx * T, 0, tw, RowsInStrip))) return false;
  }
  return true;
}

}  // namespace vek
