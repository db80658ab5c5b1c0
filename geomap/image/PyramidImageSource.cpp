#include "PyramidImageSource.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace vek {

const QImage* TTileMemory::Find(int Key) {
  auto hit = FTiles.find(Key);
  if (hit == FTiles.end()) return nullptr;
  FLru.splice(FLru.begin(), FLru, hit->second.Pos);
  return &hit->second.Image;
}

void TTileMemory::Put(int Key, const QImage& Tile) {
  auto old = FTiles.find(Key);
  if (old != FTiles.end()) {
    FBytes -= size_t(old->second.Image.sizeInBytes());
    FLru.erase(old->second.Pos);
    FTiles.erase(old);
  }
  FLru.push_front(Key);
  FTiles[Key] = TEntry{Tile, FLru.begin()};
  FBytes += size_t(Tile.sizeInBytes());
  while (FBytes > FBudget && FLru.size() > 1) {
    auto victim = FTiles.find(FLru.back());
    FBytes -= size_t(victim->second.Image.sizeInBytes());
    FTiles.erase(victim);
    FLru.pop_back();
  }
}

void TTileMemory::Clear() {
  FTiles.clear();
  FLru.clear();
  FBytes = 0;
}

QImage TPyramidImageSource::LevelPixels(int Level, const QRect& LevelRect) {
  constexpr int T = TPyramidLayout::TileSize;
  const QRect rect =
      LevelRect.intersected(QRect(0, 0, FLayout.LevelW[size_t(Level)], FLayout.LevelH[size_t(Level)]));
  if (rect.isEmpty()) return {};
  QImage out(rect.size(), QImage::Format_RGB32);
  if (out.isNull()) return {};
  struct TPart {
    QRect Area;
    QPoint Tile;
    QImage Pixels;
  };
  std::vector<TPart> parts;
  bool missing = false;
  for (int ty = rect.top() / T; ty <= rect.bottom() / T; ++ty)
    for (int tx = rect.left() / T; tx <= rect.right() / T; ++tx) {
      parts.push_back(TPart{QRect(tx * T, ty * T, T, T).intersected(rect), QPoint(tx * T, ty * T),
                            Tile(Level, tx, ty)});
      missing = missing || parts.back().Pixels.isNull();
    }
  if (missing) {
    // The reduced picture under the whole rectangle in one stretch, so that its parts join
    // without steps; the tiles that are there go on top.
    const QImage preview = Preview();
    QPainter p(&out);
    if (preview.isNull()) {
      p.fillRect(out.rect(), Qt::white);
    } else {
      p.setRenderHint(QPainter::SmoothPixmapTransform);
      const double sx = double(preview.width()) / FLayout.LevelW[size_t(Level)];
      const double sy = double(preview.height()) / FLayout.LevelH[size_t(Level)];
      p.drawImage(QRectF(out.rect()), preview,
                  QRectF(rect.left() * sx, rect.top() * sy, rect.width() * sx, rect.height() * sy));
    }
  }
  for (const TPart& t : parts) {
    if (t.Pixels.isNull()) continue;
    for (int y = t.Area.top(); y <= t.Area.bottom(); ++y)
      std::memcpy(out.scanLine(y - rect.top()) + size_t(t.Area.left() - rect.left()) * 4,
                  t.Pixels.constScanLine(y - t.Tile.y()) + size_t(t.Area.left() - t.Tile.x()) * 4,
                  size_t(t.Area.width()) * 4);
  }
  return out;
}

TImageRegion TPyramidImageSource::Region(const QRect& Area, double Magnify) {
  const QRect a = Area.intersected(QRect(0, 0, FLayout.Width, FLayout.Height));
  if (a.isEmpty()) return {};
  int k = 0;
  while (k + 1 < FLayout.Levels() && std::ldexp(1.0, -(k + 1)) >= Magnify * (1 - 1e-9)) ++k;
  const int f = 1 << k;
  const int x0 = a.left() / f, y0 = a.top() / f;
  const int x1 = std::min(FLayout.LevelW[size_t(k)], (a.right() + f) / f);
  const int y1 = std::min(FLayout.LevelH[size_t(k)], (a.bottom() + f) / f);
  const QRect lr(x0, y0, x1 - x0, y1 - y0);
  return TImageRegion{LevelPixels(k, lr), QRect(x0 * f, y0 * f, lr.width() * f, lr.height() * f), 1.0 / f};
}

}  // namespace vek
