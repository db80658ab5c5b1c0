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
      FHead(size_t(FCols) * size_t(FRows), -1) {}

QRect TCaptionPlacer::Cells(const QRect& Box) const {
  // Boxes beyond the area fall into its edge cells, so they still meet each other.
  auto col = [&](int x) { return std::clamp(x / FCell - (x < 0), 0, FCols - 1); };
  auto row = [&](int y) { return std::clamp(y / FCell - (y < 0), 0, FRows - 1); };
  return QRect(QPoint(col(Box.left()), row(Box.top())), QPoint(col(Box.right()), row(Box.bottom())));
}

namespace {

// QRect::intersects for boxes that are not empty: at least one pixel in common.
inline bool Meet(const QRect& a, const QRect& b) {
  return a.left() <= b.right() && b.left() <= a.right() && a.top() <= b.bottom() &&
         b.top() <= a.bottom();
}

}  // namespace

bool TCaptionPlacer::Free(const QRect& Box) const {
  if (Box.isEmpty()) return true;
  const QRect cells = Cells(Box);
  for (int r = cells.top(); r <= cells.bottom(); ++r)
    for (int c = cells.left(); c <= cells.right(); ++c)
      for (int32_t i = FHead[size_t(r) * FCols + c]; i >= 0; i = FEntries[size_t(i)].Next)
        if (Meet(FEntries[size_t(i)].Box, Box)) return false;
  return true;
}

bool TCaptionPlacer::TryPlace(const QRect& Box) {
  if (!Free(Box)) return false;
  FPlaced.push_back(Box);
  if (Box.isEmpty()) return true;  // meets nothing: no cell need hold it
  const QRect cells = Cells(Box);
  for (int r = cells.top(); r <= cells.bottom(); ++r)
    for (int c = cells.left(); c <= cells.right(); ++c) {
      int32_t& head = FHead[size_t(r) * FCols + c];
      FEntries.push_back(TEntry{Box, head});
      head = int32_t(FEntries.size() - 1);
    }
  return true;
}

namespace {

constexpr int64_t Far = int64_t(1) << 28;

// The requests in placing order: higher priority first, then lower Order, then as they came;
// copied, so that placing reads them one after the other. Few distinct priorities and orders
// that mostly come ascending are the rule: buckets, and a sort only where a bucket is out of
// order.
std::vector<TCaptionRequest> InPlacingOrder(const std::vector<TCaptionRequest>& R) {
  const size_t n = R.size();
  auto before = [](const TCaptionRequest& a, const TCaptionRequest& b) {
    if (a.Priority != b.Priority) return a.Priority > b.Priority;
    return a.Order < b.Order;
  };
  std::vector<int32_t> prios;  // distinct, descending
  constexpr size_t MaxBuckets = 64;
  for (const TCaptionRequest& r : R) {
    const auto at = std::lower_bound(prios.begin(), prios.end(), r.Priority, std::greater<>());
    if (at != prios.end() && *at == r.Priority) continue;
    if (prios.size() == MaxBuckets) {
      prios.clear();
      break;
    }
    prios.insert(at, r.Priority);
  }
  if (prios.empty()) {
    std::vector<TCaptionRequest> sorted(R);
    std::stable_sort(sorted.begin(), sorted.end(), before);
    return sorted;
  }
  std::vector<uint8_t> bucket(n);
  std::vector<size_t> start(prios.size() + 1, 0);
  for (size_t i = 0; i < n; ++i) {
    const auto at = std::lower_bound(prios.begin(), prios.end(), R[i].Priority, std::greater<>());
    bucket[i] = uint8_t(at - prios.begin());
    ++start[size_t(bucket[i]) + 1];
  }
  for (size_t b = 1; b < start.size(); ++b) start[b] += start[b - 1];
  std::vector<TCaptionRequest> sorted(n);
  std::vector<size_t> next(start.begin(), start.end() - 1);
  for (size_t i = 0; i < n; ++i) sorted[next[bucket[i]]++] = R[i];
  for (size_t b = 0; b + 1 < start.size(); ++b) {
    const auto from = sorted.begin() + std::ptrdiff_t(start[b]);
    const auto to = sorted.begin() + std::ptrdiff_t(start[b + 1]);
    if (!std::is_sorted(from, to, before)) std::stable_sort(from, to, before);
  }
  return sorted;
}

}  // namespace

bool CaptionSprite(TLandMarkImageCache& Cache, const TCanvas& C, const TLMTextProperties& Caption,
                   int32_t Memo, QPoint Anchor, const TLandMarkSprite*& Sprite, QRect& Own) {
  QRect box;
  Sprite = Cache.Caption(Caption, C, true, Memo, box);
  if (!Sprite || box.isEmpty()) return false;  // no text, or too large to place
  const int64_t ox = int64_t(Anchor.x()) + Caption.dx;
  const int64_t oy = int64_t(Anchor.y()) + Caption.dy;
  if (std::llabs(ox) > Far || std::llabs(oy) > Far) return false;
  Own = box.translated(int(ox), int(oy));
  return true;
}

int PlaceCaptions(TCanvas& C, std::vector<TCaptionRequest>& Requests, TCaptionPlacer& Placer,
                  TLandMarkImageCache& Cache) {
  constexpr int Gap = 2;
  int drawn = 0;
  TSpriteBlitter blit(C);
  for (const TCaptionRequest& r : InPlacingOrder(Requests)) {
    const TLandMarkSprite* s = r.SpriteEpoch == Cache.Epoch() ? r.Sprite : nullptr;
    QRect own = r.Own;
    if (!s && !CaptionSprite(Cache, C, *r.Caption, r.Memo, r.Anchor, s, own)) continue;
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
      blit.Blit(*s, place.left() - s->Offset.x(), place.top() - s->Offset.y());
      ++drawn;
      break;
    }
  }
  return drawn;
}

}  // namespace vek
