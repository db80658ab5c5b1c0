// The five sorted indexes of an open database (identifier, LatLow, LatHigh, LongLow,
// LongHigh) over the table of item records: loaded and checked against the items on
// opening, rebuilt when they do not match, encoded for the index files, kept up to date
// entry by entry, and searched by key and by area.
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <vector>

#include "GdbIndex.h"
#include "GeoDBRecords.h"

namespace vek {

class TGdbIndexSet {
 public:
  static constexpr int kCount = 5;

  TGdbIndexSet();
  TGdbIndexSet(const TGdbIndexSet&) = delete;
  TGdbIndexSet& operator=(const TGdbIndexSet&) = delete;

  void Clear();

  // Takes each index from the bytes of its file when they hold exactly one correctly keyed
  // record per item in sorted order; otherwise rebuilds it from Items. Returns which
  // indexes were rebuilt (their files need writing).
  // Records[ix] is the record count of the file, Bytes[ix] its content (read only when the
  // count equals the item count).
  std::array<bool, kCount> Load(const std::array<int64_t, kCount>& Records,
                                const std::array<std::vector<uint8_t>, kCount>& Bytes,
                                const std::vector<TgdbData>& Items);
  // The records of index ix in sorted order, as they go into its file.
  std::vector<uint8_t> Encode(int ix) const;

  // Entry is 0-based throughout.
  void Insert(int32_t Entry, const TgdbData& D);
  void Remove(int32_t Entry);
  // The records of entry From now belong to entry To (the last entry moved into a gap).
  void Relabel(int32_t From, int32_t To);

  int64_t Count(int ix) const;
  // The ix-th record in sorted order (0 <= Rank < Count), index converted to 1-based.
  TIxItemIDRec IdAt(int64_t Rank) const;
  TIxLLRec LLAt(int ix, int64_t Rank) const;
  // 0-based position of a key by the bisection of the index (ix 0: identifier).
  int64_t Position(int ix, double Key) const;
  // 0-based entry of the identifier, -1 when none.
  int32_t FindItemID(int32_t ItemID) const;

  // 1-based entries, ascending, of every item whose box meets the rectangle (bounds
  // included). Items is the record table the set was built over.
  std::vector<int32_t> FindInArea(double LatLow, double LatHigh, double LongLow, double LongHigh,
                                  const std::vector<TgdbData>& Items) const;

 private:
  using TIdIndex = gdbix::TBlockIndex<int32_t, gdbix::TNoPayload>;
  using TLLIndex = gdbix::TBlockIndex<float, gdbix::TNoPayload>;
  using TLLBoxIndex = gdbix::TBlockIndex<float, gdbix::TBoxPayload>;

  bool Matches(int ix, const std::vector<uint8_t>& Bytes, const std::vector<TgdbData>& Items) const;
  void LoadFromBytes(int ix, const std::vector<uint8_t>& Bytes, const std::vector<TgdbData>& Items);
  void Rebuild(int ix, const std::vector<TgdbData>& Items);
  TLLIndex& Plain(int ix);
  const TLLIndex& Plain(int ix) const;
  void NoteExtent(int Class, const gdbix::TBoxPayload& Box);
  // Extent class of a box: 0 for small ones (searched in FLatLow's blocks), 1 .. kWide for
  // the larger ones, each searched in an index of its own.
  static int ExtentClass(const gdbix::TBoxPayload& Box);
  template <class F>
  static void Scan(const TLLBoxIndex& X, double MaxLatExtent, double LatLow, double LatHigh,
                   double LongLow, double LongHigh, F&& Fn);

  TIdIndex FId;
  TLLBoxIndex FLatLow;  // carries the boxes of class 0 for area queries
  TLLIndex FLatHigh;
  TLLIndex FLongLow;
  TLLIndex FLongHigh;

  // Area queries scan, per class, the keys from (query south - the class's largest
  // north-south extent) on, and in each block the western bounds from (query west - the
  // block's largest east-west extent) on. Grouping items by size keeps both windows tight:
  // one coastline spanning half the globe costs a look at its own small index, not a scan
  // of every town.
  static constexpr int kWide = 5;
  static constexpr double kClassLimit[kWide + 1] = {0.25, 1, 4, 16, 64,
                                                    std::numeric_limits<double>::infinity()};
  std::array<TLLBoxIndex, kWide> FWide;  // keyed by LatLow
  // Largest north-south extent per class so far (never shrinks while open).
  std::array<double, kWide + 1> FMaxLatExtent{};
};

}  // namespace vek
