// TGeoDB: index upkeep, the index getters and the lookups.
#include <algorithm>

#include "GdbIndexSet.h"
#include "TGeoDB.h"

namespace vek {

// ---- index upkeep ----

void TGeoDB::InsertIntoIndex(int32_t DBEntry, const TgdbData& D) { FIndexes->Insert(DBEntry - 1, D); }

void TGeoDB::RemoveIndexEntries(int32_t DBEntry) { FIndexes->Remove(DBEntry - 1); }

// The plain-array form of the insertion rule, kept for applications that maintain index
// arrays of their own.
void TGeoDB::SortIxInto(TIxLLRecArray& Ix, const TIxLLRec& Rec) {
  if (Ix.empty()) return;
  const int64_t n = static_cast<int64_t>(Ix.size()) - 1;
  const int64_t pos = gdbix::Bisect(n, [&](int64_t m) {
    return gdbix::CompareKey(static_cast<double>(Rec.LLValue), Ix[static_cast<size_t>(m)].LLValue);
  });
  for (int64_t k = n; k > pos; --k) Ix[static_cast<size_t>(k)] = Ix[static_cast<size_t>(k - 1)];
  Ix[static_cast<size_t>(pos)] = Rec;
}

void TGeoDB::SortIxItemIDInto(TIxItemIDRecArray& Ix, const TIxItemIDRec& Rec) {
  if (Ix.empty()) return;
  const int64_t n = static_cast<int64_t>(Ix.size()) - 1;
  const int64_t pos = gdbix::Bisect(n, [&](int64_t m) {
    return gdbix::CompareKey(static_cast<int64_t>(Rec.ItemID), Ix[static_cast<size_t>(m)].ItemID);
  });
  for (int64_t k = n; k > pos; --k) Ix[static_cast<size_t>(k)] = Ix[static_cast<size_t>(k - 1)];
  Ix[static_cast<size_t>(pos)] = Rec;
}

// ---- getters ----

TgdbData TGeoDB::GetSumdata(int32_t ix) const {
  if (FNumSumItems <= 0) {
    TgdbData d{};
    d.Name = MakeGdbName(TgdbName());
    d.BlobOffset = -1;
    d.ItemKind = gitUndefined;
    return d;
  }
  ix = std::clamp(ix, 1, FNumSumItems);
  return FSumData[static_cast<size_t>(ix - 1)];
}

namespace {
// ix clamped to 1 .. Count, as a 0-based rank; -1 when the index is empty.
int64_t Rank(int32_t ix, int64_t Count) {
  if (Count == 0) return -1;
  return std::clamp<int64_t>(ix, 1, Count) - 1;
}
}  // namespace

TIxItemIDRec TGeoDB::GetIxItemID(int32_t ix) const {
  const int64_t r = Rank(ix, FIndexes->Count(0));
  return r < 0 ? TIxItemIDRec{0, 0} : FIndexes->IdAt(r);
}

namespace {
TIxLLRec LLAt(const TGdbIndexSet& X, int Which, int32_t ix) {
  const int64_t r = Rank(ix, X.Count(Which));
  return r < 0 ? TIxLLRec{0, 0} : X.LLAt(Which, r);
}
}  // namespace

TIxLLRec TGeoDB::GetIxLatLow(int32_t ix) const { return LLAt(*FIndexes, 1, ix); }
TIxLLRec TGeoDB::GetIxLatHigh(int32_t ix) const { return LLAt(*FIndexes, 2, ix); }
TIxLLRec TGeoDB::GetIxLongLow(int32_t ix) const { return LLAt(*FIndexes, 3, ix); }
TIxLLRec TGeoDB::GetIxLongHigh(int32_t ix) const { return LLAt(*FIndexes, 4, ix); }

// ---- lookups ----

int32_t TGeoDB::GetClosestItemIDIx(int32_t ItemID) const {
  return static_cast<int32_t>(FIndexes->Position(0, ItemID) + 1);
}
int32_t TGeoDB::GetClosestLatLowIx(double Latit) const { return static_cast<int32_t>(FIndexes->Position(1, Latit) + 1); }
int32_t TGeoDB::GetClosestLatHighIx(double Latit) const { return static_cast<int32_t>(FIndexes->Position(2, Latit) + 1); }
int32_t TGeoDB::GetClosestLongLowIx(double Longit) const { return static_cast<int32_t>(FIndexes->Position(3, Longit) + 1); }
int32_t TGeoDB::GetClosestLongHighIx(double Longit) const { return static_cast<int32_t>(FIndexes->Position(4, Longit) + 1); }

int32_t TGeoDB::SearchForItemID(int32_t ItemID) const { return FIndexes->FindItemID(ItemID) + 1; }

std::vector<int32_t> TGeoDB::FindItemsInArea(double LatLow, double LatHigh, double LongLow,
                                             double LongHigh) const {
  if (!IsOpen() || FNumSumItems == 0) return {};
  return FIndexes->FindInArea(LatLow, LatHigh, LongLow, LongHigh, FSumData);
}

}  // namespace vek
