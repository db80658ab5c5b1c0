// TGeoDB: construction, opening and closing, the index files, properties and lookups.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "StrUtils.h"
#include "TGeoDB.h"

namespace vek {

namespace {

const char* const kIndexExt[5] = {".vekgi0", ".vekgi1", ".vekgi2", ".vekgi3", ".vekgi4"};

// The key an item has in index ix (1 .. 4).
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

}  // namespace

TGeoDB::TGeoDB(QObject* AOwner) : TComponent(AOwner) { ResetSystemData(); }

TGeoDB::~TGeoDB() {
  FNumSumItems = 0;
  if (FLazyWrite && IsOpen()) {
    // A destructor cannot report; a failure here leaves the previous index files, which
    // the next opening detects and rebuilds.
    try {
      FlushSystemRecord();
      SaveAllIndexes();
    } catch (...) {
    }
  }
  ReleaseFiles();
}

void TGeoDB::Raise(const std::string& Text) const {
  throw EVEKGeoDBError(ComponentMessage(*this, Text));
}

void TGeoDB::Progress(int32_t Percent) {
  if (OnPercentDone && FOnPercDoneEnabled) OnPercentDone(this, Percent);
}

void TGeoDB::ProgressFraction(double Done, double Total) {
  if (Total <= 0) return;
  Progress(static_cast<int32_t>(std::nearbyint(Done * 100.0 / Total)));
}

void TGeoDB::ResetSystemData() {
  FSystemData = TgdbSystemData();
  FSystemData.HighestID = 0;
  FSystemData.DBVersion = 4;
  FSystemData.Revision = 0;
}

// ---- files kept open during bulk loading ----

TGdbFile& TGeoDB::DataFile() {
  if (!FDataFile.IsOpen()) FDataFile.Open(FNameGDD);
  return FDataFile;
}

TGdbFile& TGeoDB::ItemFile() {
  if (!FItemFile.IsOpen()) FItemFile.Open(FNameGDS);
  return FItemFile;
}

void TGeoDB::ReleaseFiles() {
  FDataFile.Close();
  FItemFile.Close();
}

// ---- name, opening, closing ----

std::string TGeoDB::GetGDBName() const { return FNameGDS.empty() ? std::string() : StripExtension(FNameGDS); }

void TGeoDB::SetGDBName(const std::string& Value) {
  if (Value.empty()) {
    CloseDatabase(true);
    return;
  }
  // Leaving an open database: its pending index changes are written first.
  if (IsOpen()) CloseDatabase(false);
  try {
    OpenDatabase(Value);
  } catch (...) {
    // Never stay half open: a partly loaded database would write inconsistent files.
    const bool lazy = FLazyWrite;
    FLazyWrite = false;
    FSystemDirty = false;
    CloseDatabase(false);
    FLazyWrite = lazy;
    throw;
  }
}

void TGeoDB::CloseDatabase(bool ResetLazyWrite) {
  if (IsOpen()) {
    FlushSystemRecord();
    if (FLazyWrite) SaveAllIndexes();
  }
  FSystemDirty = false;
  ReleaseFiles();
  if (ResetLazyWrite) FLazyWrite = false;
  ResetSystemData();
  FNameGDS.clear();
  FNameGDD.clear();
  for (auto& n : FNameIX) n.clear();
  FNumSumItems = 0;
  FSumData.clear();
  FSumData.shrink_to_fit();
  FIx0ItemId.Clear();
  FIx1LatLo.Clear();
  FIx2LatHi.Clear();
  FIx3LongLo.Clear();
  FIx4LongHi.Clear();
  FMaxLatExtent = 0;
}

void TGeoDB::OpenDatabase(const std::string& Name) {
  const std::string base = StripExtension(Name);

  // Index files: created empty when missing; their content is checked against the items
  // below, once these are loaded.
  std::array<std::vector<uint8_t>, 5> ixBytes;
  std::array<int64_t, 5> ixCount{};
  for (int i : {1, 2, 3, 4, 0}) {
    FNameIX[static_cast<size_t>(i)] = base + kIndexExt[i];
    LoadIndexFile(i, ixCount[static_cast<size_t>(i)], ixBytes[static_cast<size_t>(i)]);
  }

  // Item file.
  const std::string gds = base + ".vekgds";
  {
    TGdbFile f;
    if (!f.TryOpen(gds)) {
      if (FileExists(gds)) f.Open(gds);  // raises with the reason
      f.Create(gds);
      ResetSystemData();
    }
    const int64_t n = f.Size() / kItemRecSize;
    if (n > std::numeric_limits<int32_t>::max())
      Raise("the item file \"" + gds + "\" holds more records than a database can have.");
    std::vector<uint8_t> bytes(static_cast<size_t>(n) * kItemRecSize);
    if (n > 0) f.ReadAt(0, bytes.data(), static_cast<int64_t>(bytes.size()));
    FSumData.resize(static_cast<size_t>(n));
    for (int64_t k = 0; k < n; ++k) FSumData[static_cast<size_t>(k)] = DecodeGdbData(&bytes[static_cast<size_t>(k) * kItemRecSize]);
    FNumSumItems = static_cast<int32_t>(n);
  }
  FNameGDS = gds;

  // Data file with the system record at its start.
  const std::string gdd = base + ".vekgdd";
  {
    TGdbFile f;
    if (!f.TryOpen(gdd)) {
      if (FileExists(gdd)) f.Open(gdd);
      f.Create(gdd);
    }
    const int64_t size = f.Size();
    uint8_t rec[kSystemRecSize];
    if (size == 0) {
      // New, or left empty by an interrupted creation.
      EncodeSystemData(FSystemData, rec);
      f.WriteAt(0, rec, kSystemRecSize);
    } else if (size < kSystemRecSize) {
      Raise("the data file \"" + gdd + "\" is damaged: it is shorter than its 260-byte header.");
    } else {
      f.ReadAt(0, rec, kSystemRecSize);
      FSystemData = DecodeSystemData(rec);
    }
  }
  FNameGDD = gdd;

  // Identifiers must never be issued twice, even if the system record is older than the
  // item records.
  for (const TgdbData& d : FSumData)
    if (d.ItemId > FSystemData.HighestID) {
      FSystemData.HighestID = d.ItemId;
      FSystemDirty = true;  // written with the next change
    }

  RecomputeExtents();

  // Indexes: taken as stored when they hold exactly one correctly keyed record per entry in
  // sorted order, rebuilt from the item records otherwise (a crash with lazy writing on, a
  // deleted or truncated file).
  std::array<bool, 5> rebuilt{};
  for (int i = 0; i < 5; ++i) {
    const auto& bytes = ixBytes[static_cast<size_t>(i)];
    if (ixCount[static_cast<size_t>(i)] == FNumSumItems && IndexMatchesItems(i, bytes)) {
      LoadIndexFromBytes(i, bytes);
    } else {
      RebuildIndex(i);
      rebuilt[static_cast<size_t>(i)] = true;
    }
  }
  for (int i = 0; i < 5; ++i)
    if (rebuilt[static_cast<size_t>(i)]) SaveIndex(i);
}

void TGeoDB::LoadIndexFile(int ix, int64_t& Count, std::vector<uint8_t>& Bytes) {
  const std::string& name = FNameIX[static_cast<size_t>(ix)];
  TGdbFile f;
  if (!f.TryOpen(name)) {
    if (FileExists(name)) f.Open(name);
    f.Create(name);
  }
  Count = f.Size() / kIndexRecSize;
  Bytes.clear();
  // The content is needed only when it can match the item file; a file of absurd size is
  // rebuilt without being read. The item count is not known yet, so read when plausible.
  const int64_t itemRecs = FileSizeOf(StripExtension(name) + ".vekgds") / kItemRecSize;
  if (Count > 0 && Count == std::max<int64_t>(itemRecs, 0)) {
    Bytes.resize(static_cast<size_t>(Count) * kIndexRecSize);
    f.ReadAt(0, Bytes.data(), static_cast<int64_t>(Bytes.size()));
  }
}

bool TGeoDB::IndexMatchesItems(int ix, const std::vector<uint8_t>& Bytes) const {
  const int64_t n = FNumSumItems;
  if (static_cast<int64_t>(Bytes.size()) != n * kIndexRecSize) return false;
  std::vector<bool> seen(static_cast<size_t>(n), false);
  for (int64_t k = 0; k < n; ++k) {
    const uint8_t* p = &Bytes[static_cast<size_t>(k) * kIndexRecSize];
    const int32_t index = GetInt32(p + 4);
    if (index < 0 || index >= n || seen[static_cast<size_t>(index)]) return false;
    seen[static_cast<size_t>(index)] = true;
    const TgdbData& d = FSumData[static_cast<size_t>(index)];
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

void TGeoDB::LoadIndexFromBytes(int ix, const std::vector<uint8_t>& Bytes) {
  const size_t n = Bytes.size() / kIndexRecSize;
  if (ix == 0) {
    std::vector<TIdIndex::Rec> recs(n);
    for (size_t k = 0; k < n; ++k) {
      const TIxItemIDRec r = DecodeIxItemID(&Bytes[k * kIndexRecSize]);
      recs[k] = {r.ItemID, r.index, {}};
    }
    FIx0ItemId.Load(recs, FNumSumItems);
    return;
  }
  if (ix == 1) {
    std::vector<TLLBoxIndex::Rec> recs(n);
    for (size_t k = 0; k < n; ++k) {
      const TIxLLRec r = DecodeIxLL(&Bytes[k * kIndexRecSize]);
      recs[k] = {r.LLValue, r.index, BoxOf(FSumData[static_cast<size_t>(r.index)])};
    }
    FIx1LatLo.Load(recs, FNumSumItems);
    return;
  }
  std::vector<TLLIndex::Rec> recs(n);
  for (size_t k = 0; k < n; ++k) {
    const TIxLLRec r = DecodeIxLL(&Bytes[k * kIndexRecSize]);
    recs[k] = {r.LLValue, r.index, {}};
  }
  (ix == 2 ? FIx2LatHi : ix == 3 ? FIx3LongLo : FIx4LongHi).Load(recs, FNumSumItems);
}

void TGeoDB::RebuildIndex(int ix) {
  // As if the items had been added in entry order.
  switch (ix) {
    case 0:
      FIx0ItemId.Clear();
      for (int32_t e = 0; e < FNumSumItems; ++e) FIx0ItemId.Insert({FSumData[static_cast<size_t>(e)].ItemId, e, {}});
      break;
    case 1:
      FIx1LatLo.Clear();
      for (int32_t e = 0; e < FNumSumItems; ++e) {
        const TgdbData& d = FSumData[static_cast<size_t>(e)];
        FIx1LatLo.Insert({d.LatLow, e, BoxOf(d)});
      }
      break;
    default: {
      auto& x = ix == 2 ? FIx2LatHi : ix == 3 ? FIx3LongLo : FIx4LongHi;
      x.Clear();
      for (int32_t e = 0; e < FNumSumItems; ++e) x.Insert({LLKey(ix, FSumData[static_cast<size_t>(e)]), e, {}});
      break;
    }
  }
}

void TGeoDB::SaveIndex(int ix) {
  if (FNameIX[0].empty() || ix < 0 || ix > 4) return;
  std::vector<uint8_t> bytes;
  size_t k = 0;
  auto put = [&](auto key, int32_t index) {
    uint8_t* p = &bytes[k++ * kIndexRecSize];
    if constexpr (std::is_same_v<decltype(key), int32_t>)
      PutInt32(p, key);
    else
      PutSingle(p, key);
    PutInt32(p + 4, index);
  };
  switch (ix) {
    case 0:
      bytes.resize(static_cast<size_t>(FIx0ItemId.Count()) * kIndexRecSize);
      FIx0ItemId.ForEach([&](const auto& r) { put(r.K, r.Index); });
      break;
    case 1:
      bytes.resize(static_cast<size_t>(FIx1LatLo.Count()) * kIndexRecSize);
      FIx1LatLo.ForEach([&](const auto& r) { put(r.K, r.Index); });
      break;
    case 2:
      bytes.resize(static_cast<size_t>(FIx2LatHi.Count()) * kIndexRecSize);
      FIx2LatHi.ForEach([&](const auto& r) { put(r.K, r.Index); });
      break;
    case 3:
      bytes.resize(static_cast<size_t>(FIx3LongLo.Count()) * kIndexRecSize);
      FIx3LongLo.ForEach([&](const auto& r) { put(r.K, r.Index); });
      break;
    default:
      bytes.resize(static_cast<size_t>(FIx4LongHi.Count()) * kIndexRecSize);
      FIx4LongHi.ForEach([&](const auto& r) { put(r.K, r.Index); });
      break;
  }
  ReplaceFileAtomically(FNameIX[static_cast<size_t>(ix)], bytes.data(), static_cast<int64_t>(bytes.size()));
}

void TGeoDB::SaveAllIndexes() {
  for (int i = 0; i < 5; ++i) SaveIndex(i);
}

void TGeoDB::SetLazyWrite(bool Value) {
  if (Value == FLazyWrite) return;
  FLazyWrite = Value;
  if (!Value) {
    FlushSystemRecord();
    ReleaseFiles();
    SaveAllIndexes();
  }
}

// ---- index maintenance ----

void TGeoDB::InsertIntoIndex(int32_t DBEntry, const TgdbData& D) {
  const int32_t e = DBEntry - 1;
  const auto box = BoxOf(D);
  // The four key indexes miss the cache at random places; fetch them side by side.
  for (int stage = 0; stage < 2; ++stage) {
    FIx1LatLo.Prefetch(D.LatLow, stage);
    FIx2LatHi.Prefetch(D.LatHigh, stage);
    FIx3LongLo.Prefetch(D.LongLow, stage);
    FIx4LongHi.Prefetch(D.LongHigh, stage);
  }
  FIx0ItemId.Insert({D.ItemId, e, {}});
  FIx1LatLo.Insert({D.LatLow, e, box});
  FIx2LatHi.Insert({D.LatHigh, e, {}});
  FIx3LongLo.Insert({D.LongLow, e, {}});
  FIx4LongHi.Insert({D.LongHigh, e, {}});
}

void TGeoDB::RemoveIndexEntries(int32_t DBEntry) {
  const int32_t e = DBEntry - 1;
  FIx0ItemId.Remove(e);
  FIx1LatLo.Remove(e);
  FIx2LatHi.Remove(e);
  FIx3LongLo.Remove(e);
  FIx4LongHi.Remove(e);
}

void TGeoDB::NoteExtent(const TgdbData& D) {
  const double lat = static_cast<double>(D.LatHigh) - D.LatLow;
  if (lat > FMaxLatExtent) FMaxLatExtent = lat;
}

void TGeoDB::RecomputeExtents() {
  FMaxLatExtent = 0;
  for (const TgdbData& d : FSumData) NoteExtent(d);
}

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

TIxItemIDRec TGeoDB::GetIxItemID(int32_t ix) const {
  if (FIx0ItemId.Count() == 0) return {0, 0};
  ix = std::clamp<int32_t>(ix, 1, static_cast<int32_t>(FIx0ItemId.Count()));
  const auto& r = FIx0ItemId.At(ix - 1);
  return {r.K, r.Index + 1};
}

namespace {
template <class Ix>
TIxLLRec LLAt(const Ix& X, int32_t ix) {
  if (X.Count() == 0) return {0, 0};
  ix = std::clamp<int32_t>(ix, 1, static_cast<int32_t>(X.Count()));
  const auto& r = X.At(ix - 1);
  return {r.K, r.Index + 1};
}
}  // namespace

TIxLLRec TGeoDB::GetIxLatLow(int32_t ix) const { return LLAt(FIx1LatLo, ix); }
TIxLLRec TGeoDB::GetIxLatHigh(int32_t ix) const { return LLAt(FIx2LatHi, ix); }
TIxLLRec TGeoDB::GetIxLongLow(int32_t ix) const { return LLAt(FIx3LongLo, ix); }
TIxLLRec TGeoDB::GetIxLongHigh(int32_t ix) const { return LLAt(FIx4LongHi, ix); }

// ---- lookups ----

int32_t TGeoDB::GetClosestItemIDIx(int32_t ItemID) const {
  return static_cast<int32_t>(FIx0ItemId.Position(ItemID) + 1);
}
int32_t TGeoDB::GetClosestLatLowIx(double Latit) const { return static_cast<int32_t>(FIx1LatLo.Position(Latit) + 1); }
int32_t TGeoDB::GetClosestLatHighIx(double Latit) const { return static_cast<int32_t>(FIx2LatHi.Position(Latit) + 1); }
int32_t TGeoDB::GetClosestLongLowIx(double Longit) const { return static_cast<int32_t>(FIx3LongLo.Position(Longit) + 1); }
int32_t TGeoDB::GetClosestLongHighIx(double Longit) const { return static_cast<int32_t>(FIx4LongHi.Position(Longit) + 1); }

int32_t TGeoDB::SearchForItemID(int32_t ItemID) const {
  const auto* r = FIx0ItemId.Match(ItemID);
  return r ? r->Index + 1 : 0;
}

std::vector<int32_t> TGeoDB::FindItemsInArea(double LatLow, double LatHigh, double LongLow,
                                             double LongHigh) const {
  std::vector<int32_t> out;
  if (!IsOpen() || FNumSumItems == 0) return out;
  if (!(LatLow <= LatHigh) || !(LongLow <= LongHigh)) return out;  // empty or NaN
  // An inverted box (an empty polygon) has no area and meets nothing.
  auto hit = [&](float lo1, float hi1, float lo2, float hi2) {
    return lo1 <= hi1 && lo2 <= hi2 && lo1 <= LatHigh && hi1 >= LatLow && lo2 <= LongHigh &&
           hi2 >= LongLow;
  };
  // An item whose southern bound lies below (query south - largest extent) cannot reach
  // the query, so one key range of the latitude index holds every hit; within it each
  // block is searched by western bound.
  if (FIx1LatLo.Ordered()) {
    const double inf = std::numeric_limits<double>::infinity();
    double from = std::nextafter(std::nextafter(LatLow - FMaxLatExtent, -inf), -inf);
    if (std::isnan(from)) from = -inf;
    const int64_t a = FIx1LatLo.LowerBound(from), b = FIx1LatLo.UpperBound(LatHigh);
    FIx1LatLo.ForBoxCandidates(a, b, LongLow, LongHigh, [&](const gdbix::TBoxRec& r) {
      if (hit(r.Box.LatLow, r.Box.LatHigh, r.Box.LongLow, r.Box.LongHigh)) out.push_back(r.Index + 1);
    });
  } else {
    for (int32_t e = 0; e < FNumSumItems; ++e) {
      const TgdbData& d = FSumData[static_cast<size_t>(e)];
      if (hit(d.LatLow, d.LatHigh, d.LongLow, d.LongHigh)) out.push_back(e + 1);
    }
  }
  std::sort(out.begin(), out.end());
  return out;
}

// ---- system record ----

std::string TGeoDB::GetDescription() const { return FSystemData.Description.str(); }

void TGeoDB::WriteSystemRecord(const char* Who) {
  uint8_t rec[kSystemRecSize];
  EncodeSystemData(FSystemData, rec);
  try {
    TFileUse use{*this};
    DataFile().WriteAt(0, rec, kSystemRecSize);
    FSystemDirty = false;
  } catch (const EInOutError&) {
    Raise(std::string(Who) + ": cannot open database.");
  }
}

void TGeoDB::FlushSystemRecord() {
  if (!FSystemDirty || !IsOpen()) return;
  uint8_t rec[kSystemRecSize];
  EncodeSystemData(FSystemData, rec);
  DataFile().WriteAt(0, rec, kSystemRecSize);
  FSystemDirty = false;
}

void TGeoDB::SetDescription(const std::string& Value) {
  if (!IsOpen()) return;
  const std::string ansi = Utf8ToAnsi(Value);
  FSystemData.Description.SetAnsi(std::string_view(ansi).substr(0, kDescriptionChars));
  WriteSystemRecord("SetDescription");
}

void TGeoDB::SetRevision(int32_t Value) {
  if (!IsOpen()) return;
  FSystemData.Revision = Value;
  WriteSystemRecord("SetRevision");
}

}  // namespace vek
