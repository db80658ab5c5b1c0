// Caption placement without collisions: boxes placed so far are kept in a grid of cells, and
// a candidate box is taken only when it overlaps none of them. Requests are placed in order
// of priority, then in a stable order, so the same view places the same captions.
#pragma once

#include <QPoint>
#include <QRect>
#include <cstdint>
#include <vector>

#include "Canvas.h"
#include "GeoMapRecords.h"

namespace vek {

class TLandMarkImageCache;
struct TLandMarkSprite;

class TCaptionPlacer {
 public:
  // A grid of cells over the area 0 .. Width, 0 .. Height.
  TCaptionPlacer(int Width, int Height, int CellSize = 32);

  // Records Box and returns true when it overlaps no box placed before.
  bool TryPlace(const QRect& Box);
  bool Free(const QRect& Box) const;
  const std::vector<QRect>& Placed() const { return FPlaced; }

 private:
  QRect Cells(const QRect& Box) const;

  int FCell;
  int FCols, FRows;
  // Each cell's boxes as a list through FEntries, newest first: no allocation per cell, and
  // a box is tested where it is kept.
  struct TEntry {
    QRect Box;
    int32_t Next;
  };
  std::vector<int32_t> FHead;  // per cell, -1 for none
  std::vector<TEntry> FEntries;
  std::vector<QRect> FPlaced;
};

// A caption waiting to be placed next to its symbol.
struct TCaptionRequest {
  int32_t Priority = 0;  // higher is placed first
  int64_t Order = 0;     // among equal priorities, lower first
  QPoint Anchor;         // the symbol's point, control pixels
  int32_t Reach = 0;     // how far the symbol reaches from its point
  const TLMTextProperties* Caption = nullptr;  // lives until the captions are placed
  int32_t Memo = -1;     // the image cache's memo slot, see TLandMarkImageCache
  // The caption's image and its box where the caption asks to be, when the requester looked
  // them up already (nullptr: placing looks them up), and the cache's epoch then: a cache that
  // started over since has dropped the image.
  const TLandMarkSprite* Sprite = nullptr;
  QRect Own;
  uint64_t SpriteEpoch = 0;
};

// The image and the box at its own place of a caption at Anchor; false when it has none (no
// text, too large to place, or too far off).
bool CaptionSprite(TLandMarkImageCache& Cache, const TCanvas& C, const TLMTextProperties& Caption,
                   int32_t Memo, QPoint Anchor, const TLandMarkSprite*& Sprite, QRect& Own);

// Places the requests and draws those that find room: first where the caption
// itself asks, then to the right, left, above and below the symbol. Captions with no room
// are left out. Returns the number drawn.
int PlaceCaptions(TCanvas& C, std::vector<TCaptionRequest>& Requests, TCaptionPlacer& Placer,
                  TLandMarkImageCache& Cache);

}  // namespace vek
