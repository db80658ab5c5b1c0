// The five sorted indexes of an open database (identifier, LatLow, LatHigh, LongLow,
// LongHigh) over the table of item records: loaded and checked against the items on
// opening, rebuilt when they do not match, encoded for the index files, kept up to date
// entry by entry, and searched by key and by area.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "GdbIndex.h"
#include "GeoDBRecords.h"

namespace vek {

class TGdbIndexSet {
 public:
  static constexpr int kCount = 5;

  TGdbIndexSet() = default;
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
  void NoteExtent(const TgdbData& D);

  TIdIndex FId;
  TLLBoxIndex FLatLow;  // carries the boxes for area queries
  TLLIndex FLatHigh;
  TLLIndex FLongLow;
  TLLIndex FLongHigh;
  // Largest north-south extent of any item so far (never shrinks while open): bounds the
  // key range an area query has to scan.
  double FMaxLatExtent = 0;
};

}  // namespace vek
