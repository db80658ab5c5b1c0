// TGeoDB: construction, opening and closing, the index files, properties and lookups.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

#include "GdbIndexSet.h"
#include "StrUtils.h"
#include "TGeoDB.h"

namespace vek {

namespace {

const char* const kIndexExt[5] = {".vekgi0", ".vekgi1", ".vekgi2", ".vekgi3", ".vekgi4"};

}  // namespace

TGeoDB::TGeoDB(QObject* AOwner) : TComponent(AOwner), FIndexes(std::make_unique<TGdbIndexSet>()) {
  ResetSystemData();
}

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
    try {
      OpenDatabase(Value);
    } catch (const std::bad_alloc&) {
      Raise("the database \"" + Value + "\" does not fit into memory.");
    }
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
  FIndexes->Clear();
}

// The item records into memory; a missing item file is created with a fresh system record.
void TGeoDB::LoadItemFile(const std::string& gds) {
  TGdbFile f;
  if (!f.TryOpen(gds)) {
    if (FileExists(gds)) f.Open(gds);  // raises with the reason
    f.Create(gds);
    ResetSystemData();
  }
  int64_t n = f.Size() / kItemRecSize;
  if (n > std::numeric_limits<int32_t>::max())
    Raise("the item file \"" + gds + "\" holds more records than a database can have.");
  // The records, their copies in memory and five index records each.
  if (n * (kItemRecSize + static_cast<int64_t>(sizeof(TgdbData)) + 5 * 32) > MemoryLimit())
    Raise("the item file \"" + gds + "\" holds " + std::to_string(n) +
          " records, more than fit into memory.");
  // Decoded in slices: the file's bytes never need memory all at once.
  FSumData.resize(static_cast<size_t>(n));
  const int64_t slice = 8192;
  std::vector<uint8_t> bytes(static_cast<size_t>(std::min(n, slice)) * kItemRecSize);
  for (int64_t from = 0; from < n; from += slice) {
    const int64_t count = std::min(slice, n - from);
    f.ReadAt(from * kItemRecSize, bytes.data(), count * kItemRecSize);
    for (int64_t k = 0; k < count; ++k)
      FSumData[static_cast<size_t>(from + k)] = DecodeGdbData(&bytes[static_cast<size_t>(k) * kItemRecSize]);
  }
  if (DropInterruptedMove(f)) {
    FSumData.pop_back();
    --n;
  }
  FNumSumItems = static_cast<int32_t>(n);
}

// The data file with the system record at its start; created when missing.
void TGeoDB::LoadSystemRecord(const std::string& gdd) {
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

  const std::string gds = base + ".vekgds";
  LoadItemFile(gds);
  FNameGDS = gds;

  const std::string gdd = base + ".vekgdd";
  LoadSystemRecord(gdd);
  FNameGDD = gdd;

  // Identifiers must never be issued twice, even if the system record is older than the
  // item records.
  for (const TgdbData& d : FSumData)
    if (d.ItemId > FSystemData.HighestID) {
      FSystemData.HighestID = d.ItemId;
      FSystemDirty = true;  // written with the next change
    }

  // Indexes: taken as stored when they hold exactly one correctly keyed record per entry in
  // sorted order, rebuilt from the item records otherwise (a crash with lazy writing on, a
  // deleted or truncated file).
  const auto rebuilt = FIndexes->Load(ixCount, ixBytes, FSumData);
  for (int i = 0; i < 5; ++i)
    if (rebuilt[static_cast<size_t>(i)]) SaveIndex(i);
}

// Deleting a middle entry writes the last record over the deleted one and then cuts the
// file; a crash in between leaves the last record twice. The copy at the end is dropped,
// which completes the deletion.
bool TGeoDB::DropInterruptedMove(TGdbFile& F) {
  const int64_t n = static_cast<int64_t>(FSumData.size());
  if (n < 2) return false;
  const int32_t id = FSumData.back().ItemId;
  uint8_t last[kItemRecSize], rec[kItemRecSize];
  F.ReadAt((n - 1) * kItemRecSize, last, kItemRecSize);
  for (int64_t k = 0; k < n - 1; ++k) {
    if (FSumData[static_cast<size_t>(k)].ItemId != id) continue;
    F.ReadAt(k * kItemRecSize, rec, kItemRecSize);
    if (std::memcmp(rec, last, kItemRecSize) == 0) {
      F.Truncate((n - 1) * kItemRecSize);
      return true;
    }
  }
  return false;
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

void TGeoDB::SaveIndex(int ix) {
  if (FNameIX[0].empty() || ix < 0 || ix > 4) return;
  const std::vector<uint8_t> bytes = FIndexes->Encode(ix);
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
