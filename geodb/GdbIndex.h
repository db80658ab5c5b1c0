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
#include <cstring>
#include <limits>
#include <cstdlib>
#include <memory>
#include <type_traits>
#include <vector>

#include "GdbStorage.h"

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

// A box with its entry, as area queries see it.
struct TBoxRec {
  TBoxPayload Box;
  int32_t Index;
};

template <class Key, class Payload, int BlockMax = 512>
class TBlockIndex {
 public:
  // Records as handed in (with the box for spatial indexes) and as kept in key order.
  using Rec = TIxRec<Key, Payload>;
  using Stored = TIxRec<Key, TNoPayload>;
  // The type searched keys have: double for the float indexes, int64 for identifiers.
  using SearchKey = std::conditional_t<std::is_floating_point_v<Key>, double, int64_t>;
  // Indexes that carry boxes also keep, per block, the boxes ordered by western bound, so
  // that an area query finds the few matching records of a block by bisection.
  static constexpr bool kSpatial = std::is_same_v<Payload, TBoxPayload>;
  static constexpr size_t kFenceStep = BlockMax >= 64 ? 16 : 4;  // small blocks: tests
  static constexpr size_t kFences = BlockMax / kFenceStep + 2;

  static_assert(std::is_trivially_copyable_v<Stored>);

  TBlockIndex() = default;
  TBlockIndex(const TBlockIndex&) = delete;
  TBlockIndex& operator=(const TBlockIndex&) = delete;

  int64_t Count() const { return FCount; }

  // Boxes wider or taller than Limit degrees are kept out of the area search (the owner
  // keeps them elsewhere), so that they do not widen every block's window. Set while empty.
  void SetBoxLimit(double Limit) { FBoxLimit = Limit; }
  bool KeepsBox(const TBoxPayload& B) const { return !(BoxExtent(B) > FBoxLimit); }
  // The larger of the two extents; NaN when a bound is NaN.
  static double BoxExtent(const TBoxPayload& B) {
    const double lat = static_cast<double>(B.LatHigh) - B.LatLow;
    const double lon = static_cast<double>(B.LongHigh) - B.LongLow;
    if (std::isnan(lat) || std::isnan(lon)) return std::numeric_limits<double>::quiet_NaN();
    return std::max(lat, lon);
  }
  // True when the records are in ascending order and no key is NaN; lookups by key range
  // are then possible, and insertion positions come from two bounds instead of probes.
  bool Ordered() const { return FOrdered; }

  void Clear() {
    FBlocks.clear();
    FPool.Release();
    FLastKey.clear();
    FFen.clear();
    FFenDirty = true;
    FPosDirtyFrom = 0;
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
      BlockPtr b = NewBlock();
      for (size_t k = i; k < std::min(Recs.size(), i + chunk); ++k) {
        const Rec& r = Recs[k];
        b->R.insert(b->R.size(), Stored{r.K, r.Index, {}});
        if constexpr (kSpatial)
          if (KeepsBox(r.Box)) b->S.push_back(TBoxRec{r.Box, r.Index});
        Own(r.Index, b.get());
        if (IsNaNKey(r.K)) ++FNaN;
      }
      RebuildAux(*b);
      FBlocks.push_back(std::move(b));
    }
    FCount = static_cast<int64_t>(Recs.size());
    FLastKey.clear();
    for (const auto& b : FBlocks) FLastKey.push_back(b->R.back().K);
    Restructure(0);
    FOrdered = FNaN == 0 && CheckOrder();
  }

  // The record at 0-based rank R (0 <= R < Count).
  const Stored& At(int64_t R) const {
    int64_t off = 0;
    const int64_t b = FindBlock(R, off);
    return FBlocks[static_cast<size_t>(b)]->R[static_cast<size_t>(off)];
  }

  // 0-based position of Key by the bisection (see Bisect).
  int64_t Position(SearchKey SK) const {
    if (FOrdered) {
      if (IsNaNKey(SK)) return FCount;  // every probe says "greater"
      size_t b;
      int64_t off;
      if (!LowerLoc(SK, b, off)) return FCount;
      const int64_t lb = FenPrefix(static_cast<int64_t>(b)) + off;
      if (!IsEqualAt(b, off, SK)) return lb;  // no equal key: the one insertion position
      const int64_t ub = UpperBound(SK);
      return Bisect(FCount, [&](int64_t mid) { return mid < lb ? 1 : (mid >= ub ? -1 : 0); });
    }
    return Bisect(FCount, [&](int64_t mid) { return CompareKey(SK, At(mid).K); });
  }

  // The record the bisection stops at for SK, or nullptr when no record has that key.
  const Stored* Match(SearchKey SK) const {
    if (FOrdered) {
      size_t b;
      int64_t off;
      if (IsNaNKey(SK) || !LowerLoc(SK, b, off) || !IsEqualAt(b, off, SK)) return nullptr;
      // A single record with the key is the one every bisection reaches.
      const Block& blk = *FBlocks[b];
      const bool nextEqual = static_cast<size_t>(off) + 1 < blk.R.size()
                                 ? static_cast<SearchKey>(blk.R[static_cast<size_t>(off) + 1].K) == SK
                                 : b + 1 < FBlocks.size() && static_cast<SearchKey>(FBlocks[b + 1]->R[0].K) == SK;
      if (!nextEqual) return &blk.R[static_cast<size_t>(off)];
    }
    const int64_t pos = Position(SK);
    if (pos >= FCount) return nullptr;
    const Stored& r = At(pos);
    return static_cast<SearchKey>(r.K) == SK ? &r : nullptr;
  }

  // Asks the processor for the memory an insertion of Key will touch, so that the cache
  // misses of several indexes overlap instead of following one another.
  void Prefetch(SearchKey SK, int Stage) const {
    if (!FOrdered || FBlocks.empty() || IsNaNKey(SK)) return;
    const auto lk = std::partition_point(FLastKey.begin(), FLastKey.end(),
                                         [&](Key k) { return static_cast<SearchKey>(k) < SK; });
    const Block* b = FBlocks[lk == FLastKey.end() ? FBlocks.size() - 1 : static_cast<size_t>(lk - FLastKey.begin())].get();
    if (Stage == 0) {
      __builtin_prefetch(b);
      __builtin_prefetch(reinterpret_cast<const char*>(b->Fence) + 64);
      return;
    }
    const size_t n = b->R.size(), nf = (n + kFenceStep - 1) / kFenceStep;
    const size_t j = static_cast<size_t>(
        std::partition_point(b->Fence, b->Fence + nf, [&](Key k) { return static_cast<SearchKey>(k) < SK; }) - b->Fence);
    const size_t at = j == 0 ? 0 : (j - 1) * kFenceStep;
    __builtin_prefetch(&b->R[std::min(at, n)]);
    __builtin_prefetch(reinterpret_cast<const char*>(&b->R[std::min(at, n)]) + 64);
  }

  // Inserts R at the position the bisection gives for its key.
  void Insert(const Rec& R) {
    if (FOrdered && FCount > 0 && !IsNaNKey(R.K)) {
      const SearchKey sk = static_cast<SearchKey>(R.K);
      size_t b;
      int64_t off;
      if (!LowerLoc(sk, b, off)) {
        const size_t last = FBlocks.size() - 1;
        InsertInBlock(last, static_cast<int64_t>(FBlocks[last]->R.size()), R);
        return;
      }
      // Without an equal key the position is the same for every bisection.
      if (!IsEqualAt(b, off, sk)) {
        InsertInBlock(b, off, R);
        return;
      }
    }
    InsertAt(Position(static_cast<SearchKey>(R.K)), R);
  }

  // Removes the record of entry Index; false when there is none.
  bool Remove(int32_t Index) {
    Block* b = Owner(Index);
    if (!b) return false;
    auto it = std::find_if(b->R.begin(), b->R.end(), [&](const Stored& r) { return r.Index == Index; });
    if (it == b->R.end()) return false;
    const bool wasNaN = IsNaNKey(it->K);
    if (wasNaN) --FNaN;
    const size_t at = static_cast<size_t>(it - b->R.begin());
    b->R.erase(at);
    UpdateFences(*b, at);
    if constexpr (kSpatial) {
      auto s = std::find_if(b->S.begin(), b->S.end(), [&](const TBoxRec& r) { return r.Index == Index; });
      if (s != b->S.end()) b->S.erase(s);
    }
    FOwner[static_cast<size_t>(Index)] = nullptr;
    --FCount;
    EnsurePositions();
    FenAdd(b->Pos, -1);
    if (b->R.empty()) {
      RemoveBlock(b->Pos);
    } else {
      FLastKey[static_cast<size_t>(b->Pos)] = b->R.back().K;
      if (b->R.size() < BlockMax / 4) TryMerge(b->Pos);
    }
    // Records placed while a NaN was present may be out of order; look once it is gone.
    if (wasNaN && FNaN == 0 && !FOrdered) FOrdered = CheckOrder();
    return true;
  }

  // The record of entry From now belongs to entry To (an entry moved into a freed place).
  void Relabel(int32_t From, int32_t To) {
    Block* b = Owner(From);
    if (!b) return;
    if constexpr (kSpatial) {
      for (TBoxRec& r : b->S)
        if (r.Index == From) {
          r.Index = To;
          break;
        }
    }
    for (Stored& r : b->R)
      if (r.Index == From) {
        r.Index = To;
        FOwner[static_cast<size_t>(From)] = nullptr;
        Own(To, b);
        return;
      }
  }

  // Rank of the first record whose key is not below SK / above SK. Only when Ordered().
  int64_t LowerBound(SearchKey SK) const {
    return Bound(SK, [](Key k, SearchKey s) { return static_cast<SearchKey>(k) < s; });
  }
  int64_t UpperBound(SearchKey SK) const {
    return Bound(SK, [](Key k, SearchKey s) { return !(s < static_cast<SearchKey>(k)); });
  }

  template <class F>
  void ForEach(F&& Fn) const {
    for (const auto& b : FBlocks)
      for (const Stored& r : b->R) Fn(r);
  }

  // Calls F(TBoxRec) for every record of the blocks holding ranks From .. To-1 whose box
  // may reach the longitudes LonLo .. LonHi: a superset of the hits, which the caller
  // tests box by box. Each block is searched by western bound.
  template <class F>
  void ForBoxCandidates(int64_t From, int64_t To, double LonLo, double LonHi, F&& Fn) const {
    static_assert(kSpatial, "only indexes that carry boxes");
    if (From < 0) From = 0;
    if (To > FCount) To = FCount;
    if (From >= To) return;
    int64_t off = 0;
    size_t b = static_cast<size_t>(FindBlock(From, off));
    int64_t rank = From - off;  // rank of the first record of block b
    const double inf = std::numeric_limits<double>::infinity();
    for (; b < FBlocks.size() && rank < To; ++b) {
      Block& blk = *FBlocks[b];
      if (!blk.SSorted) SortBoxes(blk);
      double lo = LonLo - blk.MaxLonExt;
      if (std::isnan(lo)) lo = -inf;
      const auto first = std::partition_point(blk.S.begin(), blk.S.end(),
                                              [&](const TBoxRec& r) { return static_cast<double>(LonKey(r)) < lo; });
      for (auto it = first; it != blk.S.end() && static_cast<double>(LonKey(*it)) <= LonHi; ++it) Fn(*it);
      rank += static_cast<int64_t>(blk.R.size());
    }
  }

 private:
  struct Block {
    int32_t Pos = 0;  // position in FBlocks
    // Every kFenceStep-th key, next to the block header: a search touches a few cache
    // lines of the records instead of one per bisection step.
    Key Fence[kFences];
    TInlineVec<Stored, BlockMax + 1> R;
    // kSpatial: the boxes ordered by western bound, and the largest east-west extent of
    // any box the block has held since it was last rebuilt.
    std::vector<TBoxRec> S;
    bool SSorted = true;  // S is put in order when an area query first needs it
    double MaxLonExt = 0;
  };

  struct BlockDelete {
    TSlabPool<Block>* Pool;
    void operator()(Block* b) const { Pool->Delete(b); }
  };
  using BlockPtr = std::unique_ptr<Block, BlockDelete>;
  BlockPtr NewBlock() { return BlockPtr(FPool.New(), BlockDelete{&FPool}); }

  static void UpdateFences(Block& b, size_t From) {
    const size_t n = b.R.size();
    for (size_t j = From / kFenceStep; j * kFenceStep < n; ++j) b.Fence[j] = b.R[j * kFenceStep].K;
  }
  // Offset in b of the first record for which less(key, SK) is false.
  template <class Less>
  static int64_t InBlockBound(const Block& b, SearchKey SK, Less less) {
    const size_t n = b.R.size(), nf = (n + kFenceStep - 1) / kFenceStep;
    const size_t j = static_cast<size_t>(
        std::partition_point(b.Fence, b.Fence + nf, [&](Key k) { return less(k, SK); }) - b.Fence);
    if (j == 0) return 0;
    const Stored* first = b.R.begin() + (j - 1) * kFenceStep + 1;
    const Stored* last = b.R.begin() + std::min(n, j * kFenceStep);
    return std::partition_point(first, last, [&](const Stored& r) { return less(r.K, SK); }) - b.R.begin();
  }

  static void SortBoxes(Block& b) {
    std::sort(b.S.begin(), b.S.end(), [](const TBoxRec& x, const TBoxRec& y) { return LonKey(x) < LonKey(y); });
    b.SSorted = true;
  }
  // Western bound as an ordering key; NaN sorts last so that the order stays total.
  static float LonKey(const TBoxRec& r) {
    return std::isnan(r.Box.LongLow) ? std::numeric_limits<float>::infinity() : r.Box.LongLow;
  }
  static void NoteLonExtent(Block& b, const TBoxPayload& box) {
    const double e = static_cast<double>(box.LongHigh) - box.LongLow;
    if (e > b.MaxLonExt) b.MaxLonExt = e;
  }
  static void RebuildAux(Block& b) {
    UpdateFences(b, 0);
    if constexpr (kSpatial) {
      SortBoxes(b);
      b.MaxLonExt = 0;
      for (const TBoxRec& r : b.S) NoteLonExtent(b, r.Box);
    }
  }

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

  // Block and offset of the first record whose key is not below SK (ordered only);
  // false when every key is below it.
  bool LowerLoc(SearchKey SK, size_t& B, int64_t& Off) const {
    const auto lk = std::partition_point(FLastKey.begin(), FLastKey.end(),
                                         [&](Key k) { return static_cast<SearchKey>(k) < SK; });
    if (lk == FLastKey.end()) return false;
    B = static_cast<size_t>(lk - FLastKey.begin());
    Off = InBlockBound(*FBlocks[B], SK, [](Key k, SearchKey s) { return static_cast<SearchKey>(k) < s; });
    return true;
  }
  bool IsEqualAt(size_t B, int64_t Off, SearchKey SK) const {
    return static_cast<SearchKey>(FBlocks[B]->R[static_cast<size_t>(Off)].K) == SK;
  }

  template <class Less>
  int64_t Bound(SearchKey SK, Less less) const {
    const auto lk = std::partition_point(FLastKey.begin(), FLastKey.end(), [&](Key k) { return less(k, SK); });
    if (lk == FLastKey.end()) return FCount;
    const size_t b = static_cast<size_t>(lk - FLastKey.begin());
    return FenPrefix(static_cast<int64_t>(b)) + InBlockBound(*FBlocks[b], SK, less);
  }

  void InsertAt(int64_t Pos, const Rec& R) {
    if (FBlocks.empty()) {
      FBlocks.push_back(NewBlock());
      FLastKey.assign(1, Key{});
      Restructure(0);
    }
    if (Pos >= FCount) {
      const size_t last = FBlocks.size() - 1;
      InsertInBlock(last, static_cast<int64_t>(FBlocks[last]->R.size()), R);
    } else {
      int64_t off;
      const size_t b = static_cast<size_t>(FindBlock(Pos, off));
      InsertInBlock(b, off, R);
    }
  }

  void InsertInBlock(size_t B, int64_t Off, const Rec& R) {
    // A NaN breaks the order; records placed after it are placed by probing.
    if (IsNaNKey(R.K)) {
      ++FNaN;
      FOrdered = false;
    }
    Block* blk = FBlocks[B].get();
    blk->R.insert(static_cast<size_t>(Off), Stored{R.K, R.Index, {}});
    UpdateFences(*blk, static_cast<size_t>(Off));
    if constexpr (kSpatial) {
      const TBoxRec br{R.Box, R.Index};
      if (KeepsBox(R.Box)) {
        if (!blk->S.empty() && LonKey(br) < LonKey(blk->S.back())) blk->SSorted = false;
        blk->S.push_back(br);
        NoteLonExtent(*blk, R.Box);
      }
    }
    FLastKey[B] = blk->R.back().K;
    Own(R.Index, blk);
    ++FCount;
    FenAdd(static_cast<int32_t>(B), 1);
    if (blk->R.size() > static_cast<size_t>(BlockMax)) Split(B);
  }

  void Split(size_t b) {
    Block* blk = FBlocks[b].get();
    BlockPtr nb = NewBlock();
    const size_t half = blk->R.size() / 2;
    nb->R.append(blk->R.begin() + half, blk->R.size() - half);
    blk->R.resize(half);
    for (const Stored& r : nb->R) Own(r.Index, nb.get());
    if constexpr (kSpatial) {
      // The boxes follow their records, by owner.
      std::vector<TBoxRec> keep;
      keep.reserve(blk->S.size());
      for (const TBoxRec& r : blk->S) (FOwner[static_cast<size_t>(r.Index)] == blk ? keep : nb->S).push_back(r);
      blk->S.swap(keep);
    }
    RebuildAux(*blk);
    RebuildAux(*nb);
    FLastKey[b] = blk->R.back().K;
    FLastKey.insert(FLastKey.begin() + static_cast<std::ptrdiff_t>(b) + 1, nb->R.back().K);
    FBlocks.insert(FBlocks.begin() + static_cast<std::ptrdiff_t>(b) + 1, std::move(nb));
    Restructure(b);
  }

  void RemoveBlock(int32_t Pos) {
    FBlocks.erase(FBlocks.begin() + Pos);
    FLastKey.erase(FLastKey.begin() + Pos);
    Restructure(static_cast<size_t>(Pos));
  }

  void TryMerge(int32_t Pos) {
    // Merge with a neighbour when both fit into half a block.
    const size_t p = static_cast<size_t>(Pos);
    size_t into = SIZE_MAX;
    if (p + 1 < FBlocks.size() && FBlocks[p]->R.size() + FBlocks[p + 1]->R.size() <= BlockMax / 2)
      into = p;
    else if (p > 0 && FBlocks[p - 1]->R.size() + FBlocks[p]->R.size() <= BlockMax / 2)
      into = p - 1;
    if (into == SIZE_MAX) return;
    Block* dst = FBlocks[into].get();
    Block* src = FBlocks[into + 1].get();
    for (const Stored& r : src->R) Own(r.Index, dst);
    dst->R.append(src->R.begin(), src->R.size());
    if constexpr (kSpatial) dst->S.insert(dst->S.end(), src->S.begin(), src->S.end());
    RebuildAux(*dst);
    FLastKey[into] = dst->R.back().K;
    RemoveBlock(static_cast<int32_t>(into + 1));
  }

  // After blocks were added or removed at or after From. Block positions and the Fenwick
  // tree are brought up to date only when next needed: a bulk load of distinct keys never
  // needs them, and renumbering thousands of blocks per split would dominate it.
  void Restructure(size_t From) {
    FPosDirtyFrom = std::min(FPosDirtyFrom, From);
    FFenDirty = true;
  }
  void EnsurePositions() const {
    for (size_t i = FPosDirtyFrom; i < FBlocks.size(); ++i) FBlocks[i]->Pos = static_cast<int32_t>(i);
    FPosDirtyFrom = SIZE_MAX;
  }
  void EnsureFenwick() const {
    if (FFenDirty) RebuildFenwick();
  }

  bool CheckOrder() const {
    bool first = true;
    Key prev{};
    for (const auto& b : FBlocks)
      for (const Stored& r : b->R) {
        if (IsNaNKey(r.K)) return false;
        if (!first && r.K < prev) return false;
        prev = r.K;
        first = false;
      }
    return true;
  }

  // Fenwick tree over the block sizes, 1-based.
  void RebuildFenwick() const {
    FFenDirty = false;
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
    if (FFenDirty) return;  // rebuilt from the sizes when next needed
    for (size_t i = static_cast<size_t>(Pos) + 1; i < FFen.size(); i += i & (~i + 1)) FFen[i] += Delta;
  }
  // Total size of blocks [0, Pos).
  int64_t FenPrefix(int64_t Pos) const {
    EnsureFenwick();
    int64_t s = 0;
    for (size_t i = static_cast<size_t>(Pos); i > 0; i -= i & (~i + 1)) s += FFen[i];
    return s;
  }
  // Block holding rank R and the offset within it.
  int64_t FindBlock(int64_t R, int64_t& Off) const {
    EnsureFenwick();
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

  TSlabPool<Block> FPool;  // declared before FBlocks, which returns its blocks to it
  std::vector<BlockPtr> FBlocks;
  std::vector<Key> FLastKey;  // last key of every block, for bisection over blocks
  mutable std::vector<int64_t> FFen;
  mutable size_t FTopBit = 1;
  mutable bool FFenDirty = true;
  mutable size_t FPosDirtyFrom = 0;
  std::vector<Block*> FOwner;  // entry -> block holding its record
  int64_t FCount = 0;
  int64_t FNaN = 0;
  bool FOrdered = true;
  double FBoxLimit = std::numeric_limits<double>::infinity();
};

}  // namespace vek::gdbix
