#include "CaptionPlacer.h"

#include <algorithm>
#include <cstdlib>

#include "LandMarkImageCache.h"
#include "SymbolDrawing.h"

namespace vek {

TCaptionPlacer::TCaptionPlacer(int Width, int Height, int CellSize)
    : FCell(std::max(4, CellSize)),
      FCols(std::max(1, (std::max(Width, 1) + FCell - 1) / FCell)),
      FRows(std::max(1, (std::max(Height, 1) + FCell - 1) / FCell)),
      FGrid(size_t(FCols) * size_t(FRows)) {}

QRect TCaptionPlacer::Cells(const QRect& Box) const {
  // Boxes beyond the area fall into its edge cells, so they still meet each other.
  auto col = [&](int x) { return std::clamp(x / FCell - (x < 0), 0, FCols - 1); };
  auto row = [&](int y) { return std::clamp(y / FCell - (y < 0), 0, FRows - 1); };
  return QRect(QPoint(col(Box.left()), row(Box.top())), QPoint(col(Box.right()), row(Box.bottom())));
}

bool TCaptionPlacer::Free(const QRect& Box) const {
  if (Box.isEmpty()) return true;
  const QRect cells = Cells(Box);
  for (int r = cells.top(); r <= cells.bottom(); ++r)
    for (int c = cells.left(); c <= cells.right(); ++c)
      for (int32_t i : FGrid[size_t(r) * FCols + c])
        if (FPlaced[size_t(i)].intersects(Box)) return false;
  return true;
}

bool TCaptionPlacer::TryPlace(const QRect& Box) {
  if (!Free(Box)) return false;
  const int32_t ix = int32_t(FPlaced.size());
  FPlaced.push_back(Box);
  const QRect cells = Cells(Box);
  for (int r = cells.top(); r <= cells.bottom(); ++r)
      for (int c = cells.left(); c <= cells.right(); ++c) FGrid[size_t(r) * FCols + c].push_back(ix);
  return true;
}

int PlaceCaptions(TCanvas& C, std::vector<TCaptionRequest>& Requests, TCaptionPlacer& Placer,
                  TLandMarkImageCache& Cache) {
  std::sort(Requests.begin(), Requests.end(),
            [](const TCaptionRequest& a, const TCaptionRequest& b) {
              if (a.Priority != b.Priority) return a.Priority > b.Priority;
              return a.Order < b.Order;
            });
  constexpr int Gap = 2;
  constexpr int64_t Far = int64_t(1) << 28;
  int drawn = 0;
  TSpriteBlitter blit(C);
  for (const TCaptionRequest& r : Requests) {
    QRect box;
    const TLandMarkSprite* s = Cache.Caption(*r.Caption, C, true, r.Memo, box);
    if (!s || box.isEmpty()) continue;  // no text, or too large to place
    const int64_t ox = int64_t(r.Anchor.x()) + r.Caption->dx;
    const int64_t oy = int64_t(r.Anchor.y()) + r.Caption->dy;
    if (std::llabs(ox) > Far || std::llabs(oy) > Far) continue;
    const QRect own = box.translated(int(ox), int(oy));
    const int w = own.width(), h = own.height();
    const int reach = std::clamp(r.Reach, 0, 1 << 16) + Gap;
    const QPoint a = r.Anchor;
    const QRect candidates[5] = {
        own,
        QRect(a.x() + reach, a.y() - h / 2, w, h),
        QRect(a.x() - reach - w, a.y() - h / 2, w, h),
        QRect(a.x() - w / 2, a.y() - reach - h, w, h),
        QRect(a.x() - w / 2, a.y() + reach, w, h),
    };
    for (const QRect& place : candidates) {
      if (!Placer.TryPlace(place)) continue;
      blit.Blit(*s, place.left() - box.left(), place.top() - box.top());
      ++drawn;
      break;
    }
  }
  return drawn;
}

}  // namespace vek
