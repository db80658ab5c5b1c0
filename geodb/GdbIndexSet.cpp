#include "GdbIndexSet.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace vek {

namespace {

// The key of an item in index ix (1 .. 4).
float LLKey(int ix, const TgdbData& D) {
  switch (ix) {
    case 1: return D.LatLow;
    case 2: return D.LatHigh;
    case 3: return D.LongLow;
    default: return D.LongHigh;
  }
}

gdbix::TBoxPayload BoxOf(const TgdbData& D) { return {D.LatLow, D.LatHigh, D.LongLow, D.LongHigh}; }

bool SameFloat(float a, float b) {
  return std::memcmp(&a, &b, sizeof a) == 0 || (std::isnan(a) && std::isnan(b));
}

template <class Ix>
TIxLLRec LLRecAt(const Ix& X, int64_t Rank) {
  const auto& r = X.At(Rank);
  return {r.K, r.Index + 1};
}

}  // namespace

TGdbIndexSet::TGdbIndexSet() { FLatLow.SetBoxLimit(kClassLimit[0]); }

void TGdbIndexSet::Clear() {
  FId.Clear();
  FLatLow.Clear();
  FLatHigh.Clear();
  FLongLow.Clear();
  FLongHigh.Clear();
  for (auto& w : FWide) w.Clear();
  FMaxLatExtent.fill(0);
}

int TGdbIndexSet::ExtentClass(const gdbix::TBoxPayload& Box) {
  const double e = TLLBoxIndex::BoxExtent(Box);
  int c = 0;
  while (c < kWide && e > kClassLimit[c]) ++c;  // NaN and inverted boxes stay in class 0
  return c;
}

void TGdbIndexSet::NoteExtent(int Class, const gdbix::TBoxPayload& Box) {
  const double lat = static_cast<double>(Box.LatHigh) - Box.LatLow;
  double& m = FMaxLatExtent[static_cast<size_t>(Class)];
  if (lat > m) m = lat;
}

TGdbIndexSet::TLLIndex& TGdbIndexSet::Plain(int ix) {
  return ix == 2 ? FLatHigh : ix == 3 ? FLongLow : FLongHigh;
}
const TGdbIndexSet::TLLIndex& TGdbIndexSet::Plain(int ix) const {
  return ix == 2 ? FLatHigh : ix == 3 ? FLongLow : FLongHigh;
}

int64_t TGdbIndexSet::Count(int ix) const {
  return ix == 0 ? FId.Count() : ix == 1 ? FLatLow.Count() : Plain(ix).Count();
}

// ---- loading, checking, rebuilding, encoding ----

std::array<bool, TGdbIndexSet::kCount> TGdbIndexSet::Load(
    const std::array<int64_t, kCount>& Records, const std::array<std::vector<uint8_t>, kCount>& Bytes,
    const std::vector<TgdbData>& Items) {
  Clear();
  // The larger items, in key order, into the indexes of their classes.
  std::array<std::vector<TLLBoxIndex::Rec>, kWide> wide;
  for (size_t e = 0; e < Items.size(); ++e) {
    const auto box = BoxOf(Items[e]);
    const int c = ExtentClass(box);
    NoteExtent(c, box);
    if (c > 0) wide[static_cast<size_t>(c - 1)].push_back({box.LatLow, static_cast<int32_t>(e), box});
  }
  for (int c = 0; c < kWide; ++c) {
    auto& recs = wide[static_cast<size_t>(c)];
    std::stable_sort(recs.begin(), recs.end(), [](const auto& a, const auto& b) { return a.K < b.K; });
    // The class's entry table only as large as its highest entry needs.
    int64_t capacity = 0;
    for (const auto& r : recs) capacity = std::max<int64_t>(capacity, int64_t(r.Index) + 1);
    FWide[static_cast<size_t>(c)].Load(recs, capacity);
  }
  std::array<bool, kCount> rebuilt{};
  for (int i = 0; i < kCount; ++i) {
    const auto& bytes = Bytes[static_cast<size_t>(i)];
    if (Records[static_cast<size_t>(i)] == static_cast<int64_t>(Items.size()) && Matches(i, bytes, Items)) {
      LoadFromBytes(i, bytes, Items);
    } else {
      Rebuild(i, Items);
      rebuilt[static_cast<size_t>(i)] = true;
    }
  }
  return rebuilt;
}

bool TGdbIndexSet::Matches(int ix, const std::vector<uint8_t>& Bytes, const std::vector<TgdbData>& Items) const {
  const int64_t n = static_cast<int64_t>(Items.size());
  if (static_cast<int64_t>(Bytes.size()) != n * kIndexRecSize) return false;
  std::vector<bool> seen(static_cast<size_t>(n), false);
  for (int64_t k = 0; k < n; ++k) {
    const uint8_t* p = &Bytes[static_cast<size_t>(k) * kIndexRecSize];
    const int32_t index = GetInt32(p + 4);
    if (index < 0 || index >= n || seen[static_cast<size_t>(index)]) return false;
    seen[static_cast<size_t>(index)] = true;
    const TgdbData& d = Items[static_cast<size_t>(index)];
    if (ix == 0) {
      const int32_t key = GetInt32(p);
      if (key != d.ItemId) return false;
      if (k > 0 && key < GetInt32(p - kIndexRecSize)) return false;
    } else {
      const float key = GetSingle(p);
      if (!SameFloat(key, LLKey(ix, d))) return false;
      if (k > 0 && key < GetSingle(p - kIndexRecSize)) return false;
    }
  }
  return true;
}

void TGdbIndexSet::LoadFromBytes(int ix, const std::vector<uint8_t>& Bytes, const std::vector<TgdbData>& Items) {
  const size_t n = Bytes.size() / kIndexRecSize;
  const int64_t capacity = static_cast<int64_t>(Items.size());
  if (ix == 0) {
    std::vector<TIdIndex::Rec> recs(n);
    for (size_t k = 0; k < n; ++k) {
      const TIxItemIDRec r = DecodeIxItemID(&Bytes[k * kIndexRecSize]);
      recs[k] = {r.ItemID, r.index, {}};
    }
    FId.Load(recs, capacity);
  } else if (ix == 1) {
    std::vector<TLLBoxIndex::Rec> recs(n);
    for (size_t k = 0; k < n; ++k) {
      const TIxLLRec r = DecodeIxLL(&Bytes[k * kIndexRecSize]);
      recs[k] = {r.LLValue, r.index, BoxOf(Items[static_cast<size_t>(r.index)])};
    }
    FLatLow.Load(recs, capacity);
  } else {
    std::vector<TLLIndex::Rec> recs(n);
    for (size_t k = 0; k < n; ++k) {
      const TIxLLRec r = DecodeIxLL(&Bytes[k * kIndexRecSize]);
      recs[k] = {r.LLValue, r.index, {}};
    }
    Plain(ix).Load(recs, capacity);
  }
}

namespace {

// Keys as unsigned integers in the same order, so that (key, entry) pairs sort as one word.
uint32_t OrderBits(int32_t K) { return static_cast<uint32_t>(K) ^ 0x80000000u; }
uint32_t OrderBits(float K) {
  if (K == 0) K = 0;  // -0 equals +0
  uint32_t u;
  std::memcpy(&u, &K, sizeof u);
  return (u & 0x80000000u) ? ~u : (u | 0x80000000u);
}

// Sorts (key << 32 | entry) words that arrive in entry order by key, keeping entry order
// among equal keys: three stable passes of 11 bits over the key.
void SortByKey(std::vector<uint64_t>& V) {
  std::vector<uint64_t> tmp(V.size());
  for (int shift = 32; shift < 64; shift += 11) {
    size_t count[2049] = {};
    for (uint64_t v : V) ++count[((v >> shift) & 2047) + 1];
    for (size_t i = 1; i <= 2048; ++i) count[i] += count[i - 1];
    for (uint64_t v : V) tmp[count[(v >> shift) & 2047]++] = v;
    V.swap(tmp);
  }
}

// A list of entries with insertion at any offset, in chunks, for runs of equal keys.
class TChunkedList {
 public:
  void Insert(size_t At, int32_t V) {
    if (FChunks.empty()) FChunks.emplace_back();
    size_t c = 0;
    while (c + 1 < FChunks.size() && At > FChunks[c].size()) At -= FChunks[c++].size();
    auto& ch = FChunks[c];
    ch.insert(ch.begin() + static_cast<std::ptrdiff_t>(At), V);
    if (ch.size() >= 1024) {
      std::vector<int32_t> tail(ch.begin() + 512, ch.end());
      ch.resize(512);
      FChunks.insert(FChunks.begin() + static_cast<std::ptrdiff_t>(c) + 1, std::move(tail));
    }
  }
  template <class F>
  void ForEach(F&& Fn) const {
    for (const auto& ch : FChunks)
      for (int32_t v : ch) Fn(v);
  }

 private:
  std::vector<std::vector<int32_t>> FChunks;
};

// The order in which inserting the entries one by one, in entry order, by the bisection
// leaves them: ascending keys; among equal keys, where the bisection over the whole index
// put each newcomer. That place depends only on how many records were below the key, how
// many equal to it and how many in all at the time. Going through the runs of equal keys in
// key order, a Fenwick tree over the entries counts those below, so a sort replaces a
// million insertions. Keys must not be NaN.
template <class Key>
std::vector<int32_t> InsertionOrder(const std::vector<Key>& Keys) {
  const size_t n = Keys.size();
  std::vector<uint64_t> pairs(n);
  for (size_t e = 0; e < n; ++e) pairs[e] = (uint64_t(OrderBits(Keys[e])) << 32) | e;
  if (!std::is_sorted(pairs.begin(), pairs.end())) SortByKey(pairs);
  auto key = [&](size_t k) { return static_cast<uint32_t>(pairs[k] >> 32); };
  bool anyRun = false;
  for (size_t k = 1; k < n && !anyRun; ++k) anyRun = key(k) == key(k - 1);
  std::vector<int32_t> order(n);
  for (size_t k = 0; k < n; ++k) order[k] = static_cast<int32_t>(pairs[k] & 0xffffffffu);
  if (!anyRun) return order;

  std::vector<uint32_t> fen(n + 1, 0);  // entries placed so far, by entry
  auto add = [&](size_t e) {
    for (size_t i = e + 1; i <= n; i += i & (~i + 1)) ++fen[i];
  };
  for (size_t k = 0; k < n;) {
    size_t end = k + 1;
    while (end < n && key(end) == key(k)) ++end;
    if (end - k > 1) {
      // The members come in entry order; member j finds j equal records placed before it.
      TChunkedList list;
      for (size_t j = 0; k + j < end; ++j) {
        const auto e = static_cast<size_t>(order[k + j]);
        int64_t below = 0;
        for (size_t i = e; i > 0; i -= i & (~i + 1)) below += fen[i];
        const int64_t equal = static_cast<int64_t>(j);
        const int64_t at = gdbix::Bisect(static_cast<int64_t>(e), [&](int64_t mid) {
          return mid < below ? 1 : (mid >= below + equal ? -1 : 0);
        });
        list.Insert(static_cast<size_t>(at - below), static_cast<int32_t>(e));
      }
      size_t w = k;
      list.ForEach([&](int32_t v) { order[w++] = v; });
    }
    for (size_t j = k; j < end; ++j) add(static_cast<size_t>(order[j]));
    k = end;
  }
  return order;
}

}  // namespace

void TGdbIndexSet::Rebuild(int ix, const std::vector<TgdbData>& Items) {
  // As if the items had been added in entry order.
  const size_t n = Items.size();
  const int64_t capacity = static_cast<int64_t>(n);
  if (ix == 0) {
    std::vector<int32_t> keys(n);
    for (size_t e = 0; e < n; ++e) keys[e] = Items[e].ItemId;
    const std::vector<int32_t> order = InsertionOrder(keys);
    std::vector<TIdIndex::Rec> recs(n);
    for (size_t k = 0; k < n; ++k) recs[k] = {keys[static_cast<size_t>(order[k])], order[k], {}};
    FId.Load(recs, capacity);
    return;
  }
  std::vector<float> keys(n);
  bool nan = false;
  for (size_t e = 0; e < n; ++e) nan |= std::isnan(keys[e] = LLKey(ix, Items[e]));
  if (nan) {
    // A NaN breaks the order and every later placement depends on where it went: insert.
    auto insertAll = [&](auto& X, auto&& Rec) {
      X.Clear();
      for (size_t e = 0; e < n; ++e) X.Insert(Rec(static_cast<int32_t>(e)));
    };
    if (ix == 1)
      insertAll(FLatLow, [&](int32_t e) { return TLLBoxIndex::Rec{keys[size_t(e)], e, BoxOf(Items[size_t(e)])}; });
    else
      insertAll(Plain(ix), [&](int32_t e) { return TLLIndex::Rec{keys[size_t(e)], e, {}}; });
    return;
  }
  const std::vector<int32_t> order = InsertionOrder(keys);
  if (ix == 1) {
    std::vector<TLLBoxIndex::Rec> recs(n);
    for (size_t k = 0; k < n; ++k) {
      const auto e = static_cast<size_t>(order[k]);
      recs[k] = {keys[e], order[k], BoxOf(Items[e])};
    }
    FLatLow.Load(recs, capacity);
  } else {
    std::vector<TLLIndex::Rec> recs(n);
    for (size_t k = 0; k < n; ++k) recs[k] = {keys[static_cast<size_t>(order[k])], order[k], {}};
    Plain(ix).Load(recs, capacity);
  }
}

std::vector<uint8_t> TGdbIndexSet::Encode(int ix) const {
  std::vector<uint8_t> bytes(static_cast<size_t>(Count(ix)) * kIndexRecSize);
  size_t k = 0;
  auto put = [&](auto key, int32_t index) {
    uint8_t* p = &bytes[k++ * kIndexRecSize];
    if constexpr (std::is_same_v<decltype(key), int32_t>)
      PutInt32(p, key);
    else
      PutSingle(p, key);
    PutInt32(p + 4, index);
  };
  if (ix == 0)
    FId.ForEach([&](const auto& r) { put(r.K, r.Index); });
  else if (ix == 1)
    FLatLow.ForEach([&](const auto& r) { put(r.K, r.Index); });
  else
    Plain(ix).ForEach([&](const auto& r) { put(r.K, r.Index); });
  return bytes;
}

// ---- upkeep ----

void TGdbIndexSet::Insert(int32_t Entry, const TgdbData& D) {
  // The four key indexes miss the cache at random places; fetch them side by side.
  for (int stage = 0; stage < 2; ++stage) {
    FLatLow.Prefetch(D.LatLow, stage);
    FLatHigh.Prefetch(D.LatHigh, stage);
    FLongLow.Prefetch(D.LongLow, stage);
    FLongHigh.Prefetch(D.LongHigh, stage);
  }
  FId.Insert({D.ItemId, Entry, {}});
  const auto box = BoxOf(D);
  FLatLow.Insert({D.LatLow, Entry, box});
  FLatHigh.Insert({D.LatHigh, Entry, {}});
  FLongLow.Insert({D.LongLow, Entry, {}});
  FLongHigh.Insert({D.LongHigh, Entry, {}});
  const int c = ExtentClass(box);
  NoteExtent(c, box);
  if (c > 0) FWide[static_cast<size_t>(c - 1)].Insert({D.LatLow, Entry, box});
}

void TGdbIndexSet::Remove(int32_t Entry) {
  FId.Remove(Entry);
  FLatLow.Remove(Entry);
  FLatHigh.Remove(Entry);
  FLongLow.Remove(Entry);
  FLongHigh.Remove(Entry);
  for (auto& w : FWide)
    if (w.Remove(Entry)) break;
}

void TGdbIndexSet::Relabel(int32_t From, int32_t To) {
  FId.Relabel(From, To);
  FLatLow.Relabel(From, To);
  FLatHigh.Relabel(From, To);
  FLongLow.Relabel(From, To);
  FLongHigh.Relabel(From, To);
  for (auto& w : FWide) w.Relabel(From, To);
}

// ---- lookups ----

TIxItemIDRec TGdbIndexSet::IdAt(int64_t Rank) const {
  const auto& r = FId.At(Rank);
  return {r.K, r.Index + 1};
}

TIxLLRec TGdbIndexSet::LLAt(int ix, int64_t Rank) const {
  return ix == 1 ? LLRecAt(FLatLow, Rank) : LLRecAt(Plain(ix), Rank);
}

int64_t TGdbIndexSet::Position(int ix, double Key) const {
  if (ix == 0) return FId.Position(static_cast<int64_t>(Key));
  return ix == 1 ? FLatLow.Position(Key) : Plain(ix).Position(Key);
}

int32_t TGdbIndexSet::FindItemID(int32_t ItemID) const {
  const auto* r = FId.Match(ItemID);
  return r ? r->Index : -1;
}

template <class F>
void TGdbIndexSet::Scan(const TLLBoxIndex& X, double MaxLatExtent, double LatLow, double LatHigh,
                        double LongLow, double LongHigh, F&& Fn) {
  if (X.Count() == 0) return;
  // An item whose southern bound lies below (query south - largest extent) cannot reach
  // the query; two steps down cover the rounding of the subtraction.
  const double inf = std::numeric_limits<double>::infinity();
  double from = std::nextafter(std::nextafter(LatLow - MaxLatExtent, -inf), -inf);
  if (std::isnan(from)) from = -inf;
  X.ForBoxCandidates(X.LowerBound(from), X.UpperBound(LatHigh), LongLow, LongHigh, Fn);
}

std::vector<int32_t> TGdbIndexSet::FindInArea(double LatLow, double LatHigh, double LongLow,
                                              double LongHigh, const std::vector<TgdbData>& Items) const {
  std::vector<int32_t> out;
  if (Items.empty()) return out;
  if (!(LatLow <= LatHigh) || !(LongLow <= LongHigh)) return out;  // empty or NaN
  // An inverted box (an empty polygon) has no area and meets nothing.
  auto hit = [&](float lo1, float hi1, float lo2, float hi2) {
    return lo1 <= hi1 && lo2 <= hi2 && lo1 <= LatHigh && hi1 >= LatLow && lo2 <= LongHigh &&
           hi2 >= LongLow;
  };
  if (FLatLow.Ordered()) {
    auto take = [&](const gdbix::TBoxRec& r) {
      if (hit(r.Box.LatLow, r.Box.LatHigh, r.Box.LongLow, r.Box.LongHigh)) out.push_back(r.Index + 1);
    };
    Scan(FLatLow, FMaxLatExtent[0], LatLow, LatHigh, LongLow, LongHigh, take);
    for (int c = 0; c < kWide; ++c)
      Scan(FWide[static_cast<size_t>(c)], FMaxLatExtent[static_cast<size_t>(c) + 1], LatLow, LatHigh,
           LongLow, LongHigh, take);
  } else {
    for (size_t e = 0; e < Items.size(); ++e) {
      const TgdbData& d = Items[e];
      if (hit(d.LatLow, d.LatHigh, d.LongLow, d.LongHigh)) out.push_back(static_cast<int32_t>(e) + 1);
    }
  }
  // A large share of the items (a whole map in view) is put in order through a bit per
  // item, which costs far less than sorting them.
  if (out.size() > 64 && Items.size() / 64 <= out.size() * 4) {
    std::vector<uint64_t> bits(Items.size() / 64 + 1, 0);
    for (const int32_t e : out) bits[static_cast<size_t>(e) >> 6] |= uint64_t(1) << (e & 63);
    out.clear();
    for (size_t w = 0; w < bits.size(); ++w)
      for (uint64_t b = bits[w]; b != 0; b &= b - 1)
        out.push_back(static_cast<int32_t>(w * 64 + static_cast<size_t>(__builtin_ctzll(b))));
    return out;
  }
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace vek
