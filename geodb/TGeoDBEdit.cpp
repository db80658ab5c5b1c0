// TGeoDB: adding, replacing and deleting items.
#include <cmath>
#include <fstream>
#include <limits>

#include "StrUtils.h"
#include "TGeoDB.h"

namespace vek {

namespace {

constexpr int64_t kMaxOffset = std::numeric_limits<int32_t>::max();
constexpr int64_t kCopyBlock = 16384;

const TMetaInfo& NoMetaInfo() {
  static const TMetaInfo none{};
  return none;
}

}  // namespace

// ---- appending data blocks ----

int64_t TGeoDB::AppendPolygon(const TgdbPolygon& Polygon) {
  TGdbFile& f = DataFile();
  const int64_t at = f.Size();
  if (at > kMaxOffset || static_cast<int64_t>(Polygon.size()) > (kMaxOffset - at) / kPointSize)
    Raise("AddData: the data file has reached its size limit of 2 GiB.");
  const size_t n = Polygon.size();
  std::vector<uint8_t> buf(n * kPointSize);
  for (size_t i = 0; i < n; ++i) {
    EncodePoint(Polygon[i], &buf[i * kPointSize]);
    ProgressFraction(static_cast<double>(i), static_cast<double>(n));
  }
  f.WriteAt(at, buf.data(), static_cast<int64_t>(buf.size()));
  return at;
}

int64_t TGeoDB::AppendBlob(const TMetaInfo& MInfo, const void* Data, int32_t Size) {
  TGdbFile& f = DataFile();
  const int64_t at = f.Size();
  if (at > kMaxOffset) Raise("AddData: the data file has reached its size limit of 2 GiB.");
  uint8_t meta[kMetaInfoSize];
  EncodeMetaInfo(MInfo, meta);
  f.WriteAt(at, meta, kMetaInfoSize);
  const auto* src = static_cast<const uint8_t*>(Data);
  int64_t done = 0;
  while (done < Size) {
    const int64_t chunk = std::min<int64_t>(kCopyBlock, Size - done);
    f.WriteAt(at + kMetaInfoSize + done, src + done, chunk);
    done += chunk;
    if (chunk == kCopyBlock) ProgressFraction(static_cast<double>(done), Size);
  }
  return at;
}

int64_t TGeoDB::AppendBlobFromFile(const TMetaInfo& MInfo, const std::string& Source, int32_t& Size) {
  // The source is opened before anything is appended, so a missing file leaves no trace.
  std::ifstream in;
  errno = 0;
  in.open(Source, std::ios::in | std::ios::binary);
  if (!in.is_open()) RaiseInOut(errno, "cannot open", Source);
  const int64_t total = FileSizeOf(Source);
  if (total > kMaxOffset) Raise("AddData: the file \"" + Source + "\" is larger than 2 GiB.");
  TGdbFile& f = DataFile();
  const int64_t at = f.Size();
  if (at > kMaxOffset) Raise("AddData: the data file has reached its size limit of 2 GiB.");
  uint8_t meta[kMetaInfoSize];
  EncodeMetaInfo(MInfo, meta);
  f.WriteAt(at, meta, kMetaInfoSize);
  std::vector<char> buf(kCopyBlock);
  int64_t copied = 0;
  while (copied < kMaxOffset) {
    in.read(buf.data(), static_cast<std::streamsize>(std::min<int64_t>(kCopyBlock, kMaxOffset - copied)));
    const int64_t got = in.gcount();
    if (in.bad()) RaiseInOut(errno, "cannot read", Source);
    if (got <= 0) break;
    f.WriteAt(at + kMetaInfoSize + copied, buf.data(), got);
    copied += got;
    // Percent of the size found beforehand; a file that grew meanwhile stops at 100.
    if (total > 0) ProgressFraction(static_cast<double>(std::min(copied, total)), static_cast<double>(total));
    if (got < kCopyBlock) break;
  }
  // The record states what was actually copied, even if the file changed meanwhile.
  Size = static_cast<int32_t>(copied);
  return at;
}

void TGeoDB::FillRecord(TgdbData& D, const TgdbName& Name, const TgdbPolygon& Polygon,
                        bool ClosedLine, TgdbItem ItemKind, uint8_t ClassNumber, TDateTime Date,
                        int32_t StateFlag, float LatLow, float LatHigh, float LongLow,
                        float LongHigh, float Altitude, int32_t UserTag, const TMetaInfo& MInfo,
                        const void* PBLOBData, int32_t SizeOfBLOBData, bool FromFile) {
  D = TgdbData{};
  D.Name = MakeGdbName(Name);
  D.BlobOffset = -1;
  D.ClassFlag = ClassNumber;
  D.Tag = UserTag;
  D.ItemKind = ItemKind;
  D.LatLow = LatLow;
  D.LatHigh = LatHigh;
  D.LongLow = LongLow;
  D.LongHigh = LongHigh;
  D.Altitude = Altitude;
  D.Date = Date;
  D.StateFlag = StateFlag;
  D.NumPoints = 0;
  D.Closed = false;

  if (IsPolygonKind(ItemKind)) {
    D.Closed = ClosedLine;
    float latLo = 90, latHi = -90, lonLo = 180, lonHi = -180;
    for (const TSCoords& p : Polygon) {
      if (p.Latit < latLo) latLo = p.Latit;
      if (p.Latit > latHi) latHi = p.Latit;
      if (p.Longit < lonLo) lonLo = p.Longit;
      if (p.Longit > lonHi) lonHi = p.Longit;
    }
    D.LatLow = latLo;
    D.LatHigh = latHi;
    D.LongLow = lonLo;
    D.LongHigh = lonHi;
    D.BlobOffset = static_cast<int32_t>(AppendPolygon(Polygon));
    D.NumPoints = static_cast<int32_t>(Polygon.size());
  } else if (ItemKind == gitBLOB) {
    if (FromFile) {
      const std::string source = FBlobSource.empty() ? MInfo.FilePath.str() : FBlobSource;
      TDateTime modified = 0;
      if (FileModificationTime(source, modified)) D.Date = modified;
      int32_t size = 0;
      D.BlobOffset = static_cast<int32_t>(AppendBlobFromFile(MInfo, source, size));
      D.Size = size;
    } else {
      D.Size = SizeOfBLOBData;
      D.BlobOffset = static_cast<int32_t>(AppendBlob(MInfo, PBLOBData, SizeOfBLOBData));
    }
  }
}

void TGeoDB::WriteItemRecord(int32_t Entry, const TgdbData& D) {
  uint8_t rec[kItemRecSize];
  EncodeGdbData(D, rec);
  // By position, not at the end: a partial record left by a crash is overwritten.
  ItemFile().WriteAt(static_cast<int64_t>(Entry - 1) * kItemRecSize, rec, kItemRecSize);
}

// ---- the two workers ----

int32_t TGeoDB::AddData(const TgdbName& Name, const TgdbPolygon& Polygon, bool ClosedLine,
                        TgdbItem ItemKind, uint8_t ClassNumber, TDateTime Date, int32_t StateFlag,
                        float LatLow, float LatHigh, float LongLow, float LongHigh, float Altitude,
                        int32_t UserTag, const TMetaInfo& MInfo, const void* PBLOBData,
                        int32_t SizeOfBLOBData, bool FromFile) {
  if (!IsOpen()) return -1;
  if (ItemKind == gitBLOB && !FromFile && (SizeOfBLOBData < 0 || (SizeOfBLOBData > 0 && !PBLOBData)))
    Raise("AddData: invalid BLOB data (size " + std::to_string(SizeOfBLOBData) + ").");
  if (FSystemData.HighestID == std::numeric_limits<int32_t>::max() ||
      FNumSumItems == std::numeric_limits<int32_t>::max())
    Raise("AddData: no item identifiers left.");
  Progress(0);

  ++FSystemData.HighestID;
  {
    uint8_t rec[kSystemRecSize];
    EncodeSystemData(FSystemData, rec);
    try {
      TGdbFile& f = DataFile();
      if (FLazyWrite) {
        FSystemDirty = true;
      } else {
        f.WriteAt(0, rec, kSystemRecSize);
        FSystemDirty = false;
      }
    } catch (const EInOutError&) {
      if (!FLazyWrite) ReleaseFiles();
      Raise("AddData: cannot open database.");
    }
  }
  TFileUse use{*this};
  TgdbData d;
  FillRecord(d, Name, Polygon, ClosedLine, ItemKind, ClassNumber, Date, StateFlag, LatLow, LatHigh,
             LongLow, LongHigh, Altitude, UserTag, MInfo, PBLOBData, SizeOfBLOBData, FromFile);
  d.ItemId = FSystemData.HighestID;
  WriteItemRecord(FNumSumItems + 1, d);
  FSumData.push_back(d);
  ++FNumSumItems;
  InsertIntoIndex(FNumSumItems, d);
  NoteExtent(d);
  if (!FLazyWrite) SaveAllIndexes();
  Progress(100);
  return FNumSumItems;
}

void TGeoDB::ReplaceData(int32_t DBEntry, const TgdbName& Name, const TgdbPolygon& Polygon,
                         bool ClosedLine, TgdbItem ItemKind, uint8_t ClassNumber, TDateTime Date,
                         int32_t StateFlag, float LatLow, float LatHigh, float LongLow,
                         float LongHigh, float Altitude, int32_t UserTag, const TMetaInfo& MInfo,
                         const void* PBLOBData, int32_t SizeOfBLOBData, bool FromFile) {
  if (!IsOpen() || DBEntry < 1 || DBEntry > FNumSumItems) return;
  if (ItemKind == gitBLOB && !FromFile && (SizeOfBLOBData < 0 || (SizeOfBLOBData > 0 && !PBLOBData)))
    Raise("ReplaceData: invalid BLOB data (size " + std::to_string(SizeOfBLOBData) + ").");
  Progress(0);
  TFileUse use{*this};
  TgdbData d;
  FillRecord(d, Name, Polygon, ClosedLine, ItemKind, ClassNumber, Date, StateFlag, LatLow, LatHigh,
             LongLow, LongHigh, Altitude, UserTag, MInfo, PBLOBData, SizeOfBLOBData, FromFile);
  d.ItemId = FSumData[static_cast<size_t>(DBEntry - 1)].ItemId;
  WriteItemRecord(DBEntry, d);
  FSumData[static_cast<size_t>(DBEntry - 1)] = d;
  RemoveIndexEntries(DBEntry);
  InsertIntoIndex(DBEntry, d);
  NoteExtent(d);
  if (!FLazyWrite) SaveAllIndexes();
  Progress(100);
}

void TGeoDB::DeleteData(int32_t DbEntry) {
  if (!IsOpen() || DbEntry < 1 || DbEntry > FNumSumItems) return;
  const int32_t last = FNumSumItems - 1;
  {
    TFileUse use{*this};
    // The identifier of the deleted item must be on record as issued.
    FlushSystemRecord();
    TGdbFile& f = ItemFile();
    if (DbEntry - 1 != last) {
      uint8_t rec[kItemRecSize];
      f.ReadAt(static_cast<int64_t>(last) * kItemRecSize, rec, kItemRecSize);
      f.WriteAt(static_cast<int64_t>(DbEntry - 1) * kItemRecSize, rec, kItemRecSize);
    }
    f.Truncate(static_cast<int64_t>(last) * kItemRecSize);
  }
  FSumData[static_cast<size_t>(DbEntry - 1)] = FSumData[static_cast<size_t>(last)];
  FSumData.pop_back();
  RemoveIndexEntries(DbEntry);
  if (DbEntry - 1 != last) {
    FIx0ItemId.Relabel(last, DbEntry - 1);
    FIx1LatLo.Relabel(last, DbEntry - 1);
    FIx2LatHi.Relabel(last, DbEntry - 1);
    FIx3LongLo.Relabel(last, DbEntry - 1);
    FIx4LongHi.Relabel(last, DbEntry - 1);
  }
  --FNumSumItems;
  if (!FLazyWrite) SaveAllIndexes();
}

// ---- typed adding ----

int32_t TGeoDB::AddBorder(const TgdbName& Name, const TgdbPolygon& Polygon, bool ClosedLine,
                          TDateTime Date, int32_t StateFlag, float LatLow, float LatHigh,
                          float LongLow, float LongHigh, float Altitude, uint8_t ClassNumber,
                          int32_t UserTag) {
  return AddData(Name, Polygon, ClosedLine, gitBorder, ClassNumber, Date, StateFlag, LatLow, LatHigh,
                 LongLow, LongHigh, Altitude, UserTag, NoMetaInfo(), nullptr, 0, false);
}

int32_t TGeoDB::AddCity(const TgdbName& Name, const TgdbPolygon& Polygon, bool ClosedLine,
                        TDateTime Date, int32_t StateFlag, float LatLow, float LatHigh,
                        float LongLow, float LongHigh, float Altitude, uint8_t ClassNumber,
                        int32_t UserTag) {
  return AddData(Name, Polygon, ClosedLine, gitCity, ClassNumber, Date, StateFlag, LatLow, LatHigh,
                 LongLow, LongHigh, Altitude, UserTag, NoMetaInfo(), nullptr, 0, false);
}

int32_t TGeoDB::AddLake(const TgdbName& Name, const TgdbPolygon& Polygon, TDateTime Date,
                        int32_t StateFlag, float LatLow, float LatHigh, float LongLow,
                        float LongHigh, float Altitude, uint8_t ClassNumber, int32_t UserTag) {
  return AddData(Name, Polygon, true, gitLake, ClassNumber, Date, StateFlag, LatLow, LatHigh, LongLow,
                 LongHigh, Altitude, UserTag, NoMetaInfo(), nullptr, 0, false);
}

int32_t TGeoDB::AddRiver(const TgdbName& Name, const TgdbPolygon& Polygon, TDateTime Date,
                         int32_t StateFlag, float LatLow, float LatHigh, float LongLow,
                         float LongHigh, float Altitude, uint8_t ClassNumber, int32_t UserTag) {
  return AddData(Name, Polygon, false, gitRiver, ClassNumber, Date, StateFlag, LatLow, LatHigh, LongLow,
                 LongHigh, Altitude, UserTag, NoMetaInfo(), nullptr, 0, false);
}

int32_t TGeoDB::AddRoad(const TgdbName& Name, const TgdbPolygon& Polygon, TDateTime Date,
                        int32_t StateFlag, float LatLow, float LatHigh, float LongLow,
                        float LongHigh, float Altitude, uint8_t ClassNumber, int32_t UserTag) {
  return AddData(Name, Polygon, false, gitRoad, ClassNumber, Date, StateFlag, LatLow, LatHigh, LongLow,
                 LongHigh, Altitude, UserTag, NoMetaInfo(), nullptr, 0, false);
}

int32_t TGeoDB::AddRoute(const TgdbName& Name, const TgdbPolygon& Polygon, TDateTime Date,
                         int32_t StateFlag, float LatLow, float LatHigh, float LongLow,
                         float LongHigh, float Altitude, uint8_t ClassNumber, int32_t UserTag) {
  return AddData(Name, Polygon, false, gitRoute, ClassNumber, Date, StateFlag, LatLow, LatHigh, LongLow,
                 LongHigh, Altitude, UserTag, NoMetaInfo(), nullptr, 0, false);
}

int32_t TGeoDB::AddTown(const TgdbName& Name, TDateTime Date, int32_t StateFlag, TSCoords Location,
                        float Altitude, uint8_t ClassNumber, int32_t UserTag) {
  static const TgdbPolygon none;
  return AddData(Name, none, false, gitTown, ClassNumber, Date, StateFlag, Location.Latit,
                 Location.Latit, Location.Longit, Location.Longit, Altitude, UserTag, NoMetaInfo(),
                 nullptr, 0, false);
}

// ---- typed replacing ----

void TGeoDB::ReplaceBorder(int32_t DBEntry, const TgdbName& Name, const TgdbPolygon& Polygon,
                           bool ClosedLine, TDateTime Date, int32_t StateFlag, float LatLow,
                           float LatHigh, float LongLow, float LongHigh, float Altitude,
                           uint8_t ClassNumber, int32_t UserTag) {
  ReplaceData(DBEntry, Name, Polygon, ClosedLine, gitBorder, ClassNumber, Date, StateFlag, LatLow,
              LatHigh, LongLow, LongHigh, Altitude, UserTag, NoMetaInfo(), nullptr, 0, false);
}

void TGeoDB::ReplaceCity(int32_t DBEntry, const TgdbName& Name, const TgdbPolygon& Polygon,
                         bool ClosedLine, TDateTime Date, int32_t StateFlag, float LatLow,
                         float LatHigh, float LongLow, float LongHigh, float Altitude,
                         uint8_t ClassNumber, int32_t UserTag) {
  ReplaceData(DBEntry, Name, Polygon, ClosedLine, gitCity, ClassNumber, Date, StateFlag, LatLow,
              LatHigh, LongLow, LongHigh, Altitude, UserTag, NoMetaInfo(), nullptr, 0, false);
}

void TGeoDB::ReplaceLake(int32_t DBEntry, const TgdbName& Name, const TgdbPolygon& Polygon,
                         TDateTime Date, int32_t StateFlag, float LatLow, float LatHigh,
                         float LongLow, float LongHigh, float Altitude, uint8_t ClassNumber,
                         int32_t UserTag) {
  ReplaceData(DBEntry, Name, Polygon, true, gitLake, ClassNumber, Date, StateFlag, LatLow, LatHigh,
              LongLow, LongHigh, Altitude, UserTag, NoMetaInfo(), nullptr, 0, false);
}

void TGeoDB::ReplaceRiver(int32_t DBEntry, const TgdbName& Name, const TgdbPolygon& Polygon,
                          TDateTime Date, int32_t StateFlag, float LatLow, float LatHigh,
                          float LongLow, float LongHigh, float Altitude, uint8_t ClassNumber,
                          int32_t UserTag) {
  ReplaceData(DBEntry, Name, Polygon, false, gitRiver, ClassNumber, Date, StateFlag, LatLow, LatHigh,
              LongLow, LongHigh, Altitude, UserTag, NoMetaInfo(), nullptr, 0, false);
}

void TGeoDB::ReplaceRoad(int32_t DBEntry, const TgdbName& Name, const TgdbPolygon& Polygon,
                         TDateTime Date, int32_t StateFlag, float LatLow, float LatHigh,
                         float LongLow, float LongHigh, float Altitude, uint8_t ClassNumber,
                         int32_t UserTag) {
  ReplaceData(DBEntry, Name, Polygon, false, gitRoad, ClassNumber, Date, StateFlag, LatLow, LatHigh,
              LongLow, LongHigh, Altitude, UserTag, NoMetaInfo(), nullptr, 0, false);
}

void TGeoDB::ReplaceRoute(int32_t DBEntry, const TgdbName& Name, const TgdbPolygon& Polygon,
                          TDateTime Date, int32_t StateFlag, float LatLow, float LatHigh,
                          float LongLow, float LongHigh, float Altitude, uint8_t ClassNumber,
                          int32_t UserTag) {
  ReplaceData(DBEntry, Name, Polygon, false, gitRoute, ClassNumber, Date, StateFlag, LatLow, LatHigh,
              LongLow, LongHigh, Altitude, UserTag, NoMetaInfo(), nullptr, 0, false);
}

void TGeoDB::ReplaceTown(int32_t DBEntry, const TgdbName& Name, TDateTime Date, int32_t StateFlag,
                         TSCoords Location, float Altitude, uint8_t ClassNumber, int32_t UserTag) {
  static const TgdbPolygon none;
  ReplaceData(DBEntry, Name, none, false, gitTown, ClassNumber, Date, StateFlag, Location.Latit,
              Location.Latit, Location.Longit, Location.Longit, Altitude, UserTag, NoMetaInfo(),
              nullptr, 0, false);
}

}  // namespace vek
