// The sorted indexes of the database.
//
// An index is a sequence of (key, entry) records in ascending key order. New records are
// placed by a fixed bisection over positions (see Bisect), which decides among equal keys
// where a record goes; the files depend on that, so positions must be reproduced exactly.
// The sequence is kept in blocks of a few hundred records with a Fenwick tree over the block
// sizes, so that finding, inserting and removing a record cost O(log n + block size)
// instead of moving half the array.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <type_traits>
#include <vector>

namespace vek::gdbix {

// The bisection shared by every lookup and insertion. Probe(mid) tells how the searched
// key compares with the element at mid: > 0 greater (or not comparable), 0 equal, < 0 less.
// Returns the 0-based position at which the key belongs: on a match the position of the
// matching element reached first, else the insertion position.
template <class Probe>
int64_t Bisect(int64_t n, Probe&& probe) {
  if (n <= 0) return 0;
  int64_t lo = 0, hi = n - 1, mid = 0;
  int c = 0;
  while (lo <= hi) {
    mid = (lo + hi) / 2;
    c = probe(mid);
    if (c > 0)
      lo = mid + 1;
    else if (c < 0)
      hi = mid - 1;
    else
      break;
  }
  return c > 0 ? mid + 1 : mid;
}

// Key comparisons. The float indexes compare a double key with the stored single in double
// precision; anything involving a NaN counts as "greater".
inline int CompareKey(double key, float elem) {
  const double e = elem;
  if (key > e || std::isnan(key) || std::isnan(e)) return 1;
  return key == e ? 0 : -1;
}
inline int CompareKey(int64_t key, int32_t elem) { return key > elem ? 1 : (key == elem ? 0 : -1); }
inline bool IsNaNKey(float k) { return std::isnan(k); }
inline bool IsNaNKey(int32_t) { return false; }
inline bool IsNaNKey(double k) { return std::isnan(k); }
inline bool IsNaNKey(int64_t) { return false; }

struct TNoPayload {};
// The bounding box of the item, carried along so that area queries can filter a key range
// without touching the item records.
struct TBoxPayload {
  float LatLow, LatHigh, LongLow, LongHigh;
};

template <class Key, class Payload>
struct TIxRec {
  Key K;
  int32_t Index;  // 0-based entry
  [[no_unique_address]] Payload Box;
};

template <class Key, class Payload, int BlockMax = 512>
class TBlockIndex {
 public:
  using Rec = TIxRec<Key, Payload>;
  // The type searched keys have: double for the float indexes, int64 for identifiers.
  using SearchKey = std::conditional_t<std::is_floating_point_v<Key>, double, int64_t>;

  int64_t Count() const { return FCount; }
  // True when the records are in ascending order and no key is NaN; lookups by key range
  // are then possible, and insertion positions come from two bounds instead of probes.
  bool Ordered() const { return FOrdered; }

  void Clear() {
    FBlocks.clear();
    FFen.clear();
    FOwner.clear();
    FCount = 0;
    FNaN = 0;
    FOrdered = true;
  }

  // Replaces the content by Recs in this order. Every Index must be unique and below
  // EntryCapacity (the caller has checked this).
  void Load(const std::vector<Rec>& Recs, int64_t EntryCapacity) {
    Clear();
    FOwner.assign(static_cast<size_t>(std::max<int64_t>(EntryCapacity, 0)), nullptr);
    const size_t chunk = BlockMax / 2;
    for (size_t i = 0; i < Recs.size(); i += chunk) {
      auto b = std::make_unique<Block>();
      b->R.assign(Recs.begin() + static_cast<std::ptrdiff_t>(i),
                  Recs.begin() + static_cast<std::ptrdiff_t>(std::min(Recs.size(), i + chunk)));
      b->R.reserve(BlockMax + 1);
      b->Pos = static_cast<int32_t>(FBlocks.size());
      for (const Rec& r : b->R) {
        Own(r.Index, b.get());
        if (IsNaNKey(r.K)) ++FNaN;
      }
      FBlocks.push_back(std::move(b));
    }
    FCount = static_cast<int64_t>(Recs.size());
    RebuildFenwick();
    FOrdered = FNaN == 0 && CheckOrder();
  }

  // The record at 0-based rank R (0 <= R < Count).
  const Rec& At(int64_t R) const {
    int64_t off = 0;
    const int64_t b = FindBlock(R, off);
    return FBlocks[static_cast<size_t>(b)]->R[static_cast<size_t>(off)];
  }

  // 0-based position of Key by the bisection (see Bisect).
  int64_t Position(SearchKey SK) const {
    if (FOrdered) {
      if (IsNaNKey(SK)) return FCount;  // every probe says "greater"
      const int64_t lb = LowerBound(SK), ub = UpperBound(SK);
      return Bisect(FCount, [&](int64_t mid) { return mid < lb ? 1 : (mid >= ub ? -1 : 0); });
    }
    return Bisect(FCount, [&](int64_t mid) { return CompareKey(SK, At(mid).K); });
  }

  // Inserts R at the position the bisection gives for its key; returns that position.
  int64_t Insert(const Rec& R) {
    const int64_t pos = Position(static_cast<SearchKey>(R.K));
    InsertAt(pos, R);
    return pos;
  }

  // Removes the record of entry Index; false when there is none.
  bool Remove(int32_t Index) {
    Block* b = Owner(Index);
    if (!b) return false;
    auto it = std::find_if(b->R.begin(), b->R.end(), [&](const Rec& r) { return r.Index == Index; });
    if (it == b->R.end()) return false;
    const bool wasNaN = IsNaNKey(it->K);
    if (wasNaN) --FNaN;
    b->R.erase(it);
    FOwner[static_cast<size_t>(Index)] = nullptr;
    --FCount;
    FenAdd(b->Pos, -1);
    if (b->R.empty())
      RemoveBlock(b->Pos);
    else if (b->R.size() < BlockMax / 4)
      TryMerge(b->Pos);
    // Records placed while a NaN was present may be out of order; look once it is gone.
    if (wasNaN && FNaN == 0 && !FOrdered) FOrdered = CheckOrder();
    return true;
  }

  // The record of entry From now belongs to entry To (an entry moved into a freed place).
  void Relabel(int32_t From, int32_t To) {
    Block* b = Owner(From);
    if (!b) return;
    for (Rec& r : b->R)
      if (r.Index == From) {
        r.Index = To;
        FOwner[static_cast<size_t>(From)] = nullptr;
        Own(To, b);
        return;
      }
  }

  // Rank of the first record whose key is not below SK / above SK. Only when Ordered().
  int64_t LowerBound(SearchKey SK) const {
    return Bound(SK, [](const Rec& r, SearchKey k) { return static_cast<SearchKey>(r.K) < k; });
  }
  int64_t UpperBound(SearchKey SK) const {
    return Bound(SK, [](const Rec& r, SearchKey k) { return !(k < static_cast<SearchKey>(r.K)); });
  }

  // Calls F(rec) for the records of ranks From .. To-1 in order.
  template <class F>
  void ForRange(int64_t From, int64_t To, F&& Fn) const {
    if (From < 0) From = 0;
    if (To > FCount) To = FCount;
    if (From >= To) return;
    int64_t off = 0;
    size_t b = static_cast<size_t>(FindBlock(From, off));
    int64_t left = To - From;
    for (; left > 0 && b < FBlocks.size(); ++b, off = 0) {
      const auto& recs = FBlocks[b]->R;
      for (size_t i = static_cast<size_t>(off); i < recs.size() && left > 0; ++i, --left) Fn(recs[i]);
    }
  }
  template <class F>
  void ForEach(F&& Fn) const {
    for (const auto& b : FBlocks)
      for (const Rec& r : b->R) Fn(r);
  }

 private:
  struct Block {
    std::vector<Rec> R;
    int32_t Pos = 0;  // position in FBlocks
  };

  Block* Owner(int32_t Index) const {
    return Index >= 0 && static_cast<size_t>(Index) < FOwner.size() ? FOwner[static_cast<size_t>(Index)]
                                                                    : nullptr;
  }
  void Own(int32_t Index, Block* B) {
    if (Index < 0) return;
    if (static_cast<size_t>(Index) >= FOwner.size())
      FOwner.resize(std::max<size_t>(static_cast<size_t>(Index) + 1, FOwner.size() * 3 / 2 + 16), nullptr);
    FOwner[static_cast<size_t>(Index)] = B;
  }

  template <class Less>
  int64_t Bound(SearchKey SK, Less less) const {
    // First block whose last record is not "less" than the key, then within it.
    size_t lo = 0, hi = FBlocks.size();
    while (lo < hi) {
      const size_t mid = (lo + hi) / 2;
      if (less(FBlocks[mid]->R.back(), SK))
        lo = mid + 1;
      else
        hi = mid;
    }
    if (lo == FBlocks.size()) return FCount;
    const auto& recs = FBlocks[lo]->R;
    const auto it = std::partition_point(recs.begin(), recs.end(), [&](const Rec& r) { return less(r, SK); });
    return FenPrefix(static_cast<int64_t>(lo)) + (it - recs.begin());
  }

  void InsertAt(int64_t Pos, const Rec& R) {
    if (IsNaNKey(R.K)) ++FNaN;
    // A record placed among unordered ones, or a NaN, may break the order.
    if (!FOrdered || IsNaNKey(R.K)) FOrdered = false;
    if (FBlocks.empty()) {
      auto b = std::make_unique<Block>();
      b->R.reserve(BlockMax + 1);
      FBlocks.push_back(std::move(b));
      RebuildFenwick();
    }
    size_t b;
    int64_t off;
    if (Pos >= FCount) {
      b = FBlocks.size() - 1;
      off = static_cast<int64_t>(FBlocks[b]->R.size());
    } else {
      b = static_cast<size_t>(FindBlock(Pos, off));
    }
    Block* blk = FBlocks[b].get();
    blk->R.insert(blk->R.begin() + off, R);
    Own(R.Index, blk);
    ++FCount;
    FenAdd(static_cast<int32_t>(b), 1);
    if (blk->R.size() > static_cast<size_t>(BlockMax)) Split(b);
  }

  void Split(size_t b) {
    Block* blk = FBlocks[b].get();
    auto nb = std::make_unique<Block>();
    const size_t half = blk->R.size() / 2;
    nb->R.reserve(BlockMax + 1);
    nb->R.assign(blk->R.begin() + static_cast<std::ptrdiff_t>(half), blk->R.end());
    blk->R.resize(half);
    for (const Rec& r : nb->R) Own(r.Index, nb.get());
    FBlocks.insert(FBlocks.begin() + static_cast<std::ptrdiff_t>(b) + 1, std::move(nb));
    Renumber(b + 1);
    RebuildFenwick();
  }

  void RemoveBlock(int32_t Pos) {
    FBlocks.erase(FBlocks.begin() + Pos);
    Renumber(static_cast<size_t>(Pos));
    RebuildFenwick();
  }

  void TryMerge(int32_t Pos) {
    // Merge with the smaller neighbour when both fit into one block.
    const size_t p = static_cast<size_t>(Pos);
    size_t into = SIZE_MAX;
    if (p + 1 < FBlocks.size() && FBlocks[p]->R.size() + FBlocks[p + 1]->R.size() <= BlockMax / 2)
      into = p;
    else if (p > 0 && FBlocks[p - 1]->R.size() + FBlocks[p]->R.size() <= BlockMax / 2)
      into = p - 1;
    if (into == SIZE_MAX) return;
    Block* dst = FBlocks[into].get();
    Block* src = FBlocks[into + 1].get();
    for (const Rec& r : src->R) Own(r.Index, dst);
    dst->R.insert(dst->R.end(), src->R.begin(), src->R.end());
    RemoveBlock(static_cast<int32_t>(into + 1));
  }

  void Renumber(size_t From) {
    for (size_t i = From; i < FBlocks.size(); ++i) FBlocks[i]->Pos = static_cast<int32_t>(i);
  }

  bool CheckOrder() const {
    bool first = true;
    Key prev{};
    for (const auto& b : FBlocks)
      for (const Rec& r : b->R) {
        if (IsNaNKey(r.K)) return false;
        if (!first && r.K < prev) return false;
        prev = r.K;
        first = false;
      }
    return true;
  }

  // Fenwick tree over the block sizes, 1-based.
  void RebuildFenwick() {
    const size_t n = FBlocks.size();
    FFen.assign(n + 1, 0);
    for (size_t i = 1; i <= n; ++i) {
      FFen[i] += static_cast<int64_t>(FBlocks[i - 1]->R.size());
      const size_t j = i + (i & (~i + 1));
      if (j <= n) FFen[j] += FFen[i];
    }
    FTopBit = 1;
    while (FTopBit * 2 <= n) FTopBit *= 2;
  }
  void FenAdd(int32_t Pos, int64_t Delta) {
    for (size_t i = static_cast<size_t>(Pos) + 1; i < FFen.size(); i += i & (~i + 1)) FFen[i] += Delta;
  }
  // Total size of blocks [0, Pos).
  int64_t FenPrefix(int64_t Pos) const {
    int64_t s = 0;
    for (size_t i = static_cast<size_t>(Pos); i > 0; i -= i & (~i + 1)) s += FFen[i];
    return s;
  }
  // Block holding rank R and the offset within it.
  int64_t FindBlock(int64_t R, int64_t& Off) const {
    size_t pos = 0;
    int64_t rem = R;
    const size_t n = FBlocks.size();
    for (size_t step = FTopBit; step > 0; step >>= 1) {
      if (pos + step <= n && FFen[pos + step] <= rem) {
        pos += step;
        rem -= FFen[pos];
      }
    }
    Off = rem;
    return static_cast<int64_t>(pos);
  }

  std::vector<std::unique_ptr<Block>> FBlocks;
  std::vector<int64_t> FFen;
  size_t FTopBit = 1;
  std::vector<Block*> FOwner;  // entry -> block holding its record
  int64_t FCount = 0;
  int64_t FNaN = 0;
  bool FOrdered = true;
};

}  // namespace vek::gdbix
