// The shared half of every map image kept as a pyramid of tiles (level 0 the full image,
// each next level half of each side): picking the level a view needs, putting its tiles
// together, and a bounded memory of decoded tiles. Where the tiles come from (a cache file, a
// GDAL raster ...) is the subclass's business.
#pragma once

#include <QImage>
#include <list>
#include <unordered_map>

#include "MapImageSource.h"
#include "PyramidFile.h"

namespace vek {

// Decoded tiles by key, the least recently used dropped beyond a byte budget.
class TTileMemory {
 public:
  explicit TTileMemory(size_t BudgetBytes) : FBudget(BudgetBytes) {}
  // The tile, moved to the front; null when it is not held.
  const QImage* Find(int Key);
  void Put(int Key, const QImage& Tile);
  void Clear();

 private:
  struct TEntry {
    QImage Image;
    std::list<int>::iterator Pos;
  };
  size_t FBudget;
  size_t FBytes = 0;
  std::unordered_map<int, TEntry> FTiles;
  std::list<int> FLru;
};

class TPyramidImageSource : public TMapImageSource {
 public:
  QSize Size() const override { return QSize(FLayout.Width, FLayout.Height); }
  // The coarsest level that still has an image pixel for every screen pixel.
  TImageRegion Region(const QRect& Area, double Magnify) override;
  const TPyramidLayout& Layout() const { return FLayout; }
  // Pixels of the rectangle at a level, from tiles where they are there and from the reduced
  // picture elsewhere (white without one).
  QImage LevelPixels(int Level, const QRect& LevelRect);
  // A reduced picture of the whole image; null when there is none yet.
  virtual QImage Preview() const = 0;

 protected:
  // The tile (its level's tile size at the edges), or null while it is not there.
  virtual QImage Tile(int Level, int TX, int TY) = 0;
  TPyramidLayout FLayout;
};

}  // namespace vek
