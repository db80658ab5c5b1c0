// TGeoDB: adding, replacing and deleting items.
#include <cmath>
#include <fstream>
#include <limits>

#include "GdbIndexSet.h"
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

void TGeoDB::CheckPayload(const char* Who, const TItemRequest& Req, const TItemPayload& Payload) const {
  if (Req.ItemKind != gitBLOB || Payload.SourceFile) return;
  if (Payload.Size < 0 || (Payload.Size > 0 && !Payload.Bytes))
    Raise(std::string(Who) + ": invalid BLOB data (size " + std::to_string(Payload.Size) + ").");
}

void TGeoDB::FillRecord(TgdbData& D, const TItemRequest& Req, const TItemPayload& Payload) {
  D = TgdbData{};
  D.Name = MakeGdbName(Req.Name);
  D.BlobOffset = -1;
  D.ClassFlag = Req.ClassNumber;
  D.Tag = Req.UserTag;
  D.ItemKind = Req.ItemKind;
  D.LatLow = Req.LatLow;
  D.LatHigh = Req.LatHigh;
  D.LongLow = Req.LongLow;
  D.LongHigh = Req.LongHigh;
  D.Altitude = Req.Altitude;
  D.Date = Req.Date;
  D.StateFlag = Req.StateFlag;
  D.NumPoints = 0;
  D.Closed = false;

  if (IsPolygonKind(Req.ItemKind)) {
    static const TgdbPolygon none;
    const TgdbPolygon& polygon = Payload.Polygon ? *Payload.Polygon : none;
    D.Closed = Req.ClosedLine;
    float latLo = 90, latHi = -90, lonLo = 180, lonHi = -180;
    for (const TSCoords& p : polygon) {
      if (p.Latit < latLo) latLo = p.Latit;
      if (p.Latit > latHi) latHi = p.Latit;
      if (p.Longit < lonLo) lonLo = p.Longit;
      if (p.Longit > lonHi) lonHi = p.Longit;
    }
    D.LatLow = latLo;
    D.LatHigh = latHi;
    D.LongLow = lonLo;
    D.LongHigh = lonHi;
    D.BlobOffset = static_cast<int32_t>(AppendPolygon(polygon));
    D.NumPoints = static_cast<int32_t>(polygon.size());
  } else if (Req.ItemKind == gitBLOB) {
    if (Payload.SourceFile) {
      TDateTime modified = 0;
      if (FileModificationTime(*Payload.SourceFile, modified)) D.Date = modified;
      int32_t size = 0;
      D.BlobOffset = static_cast<int32_t>(AppendBlobFromFile(Req.MInfo, *Payload.SourceFile, size));
      D.Size = size;
    } else {
      D.Size = Payload.Size;
      D.BlobOffset = static_cast<int32_t>(AppendBlob(Req.MInfo, Payload.Bytes, Payload.Size));
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

int32_t TGeoDB::AddData(const TItemRequest& Req, const TItemPayload& Payload) {
  if (!IsOpen()) return -1;
  CheckPayload("AddData", Req, Payload);
  if (FSystemData.HighestID == std::numeric_limits<int32_t>::max() ||
      FNumSumItems == std::numeric_limits<int32_t>::max())
    Raise("AddData: no item identifiers left.");
  Progress(0);

  ++FSystemData.HighestID;
  {
    uint8_t rec[kSystemRecSize];
    EncodeSystemData(FSystemData, rec);
    try {
      // With every addition; during bulk loading through the mapping of the open file.
      TGdbFile& f = DataFile();
      if (FLazyWrite)
        f.WriteHead(rec, kSystemRecSize);
      else
        f.WriteAt(0, rec, kSystemRecSize);
      FSystemDirty = false;
    } catch (const EInOutError&) {
      if (!FLazyWrite) ReleaseFiles();
      Raise("AddData: cannot open database.");
    }
  }
  TFileUse use{*this};
  TgdbData d;
  FillRecord(d, Req, Payload);
  d.ItemId = FSystemData.HighestID;
  WriteItemRecord(FNumSumItems + 1, d);
  FSumData.push_back(d);
  ++FNumSumItems;
  InsertIntoIndex(FNumSumItems, d);
  if (!FLazyWrite) SaveAllIndexes();
  Progress(100);
  return FNumSumItems;
}

void TGeoDB::ReplaceData(int32_t DBEntry, const TItemRequest& Req, const TItemPayload& Payload) {
  if (!IsOpen() || DBEntry < 1 || DBEntry > FNumSumItems) return;
  CheckPayload("ReplaceData", Req, Payload);
  Progress(0);
  TFileUse use{*this};
  TgdbData d;
  FillRecord(d, Req, Payload);
  d.ItemId = FSumData[static_cast<size_t>(DBEntry - 1)].ItemId;
  WriteItemRecord(DBEntry, d);
  FSumData[static_cast<size_t>(DBEntry - 1)] = d;
  RemoveIndexEntries(DBEntry);
  InsertIntoIndex(DBEntry, d);
  if (!FLazyWrite) SaveAllIndexes();
  Progress(100);
}

namespace {

TGeoDB::TItemRequest Request(const TgdbName& Name, TgdbItem Kind, bool ClosedLine, TDateTime Date,
                             int32_t StateFlag, float LatLow, float LatHigh, float LongLow,
                             float LongHigh, float Altitude, uint8_t ClassNumber, int32_t UserTag,
                             const TMetaInfo& MInfo = NoMetaInfo()) {
  return {Name, Kind, ClosedLine, ClassNumber, Date, StateFlag, LatLow, LatHigh, LongLow, LongHigh,
          Altitude, UserTag, MInfo};
}

}  // namespace

int32_t TGeoDB::AddData(const TgdbName& Name, const TgdbPolygon& Polygon, bool ClosedLine,
                        TgdbItem ItemKind, uint8_t ClassNumber, TDateTime Date, int32_t StateFlag,
                        float LatLow, float LatHigh, float LongLow, float LongHigh, float Altitude,
                        int32_t UserTag, const TMetaInfo& MInfo, const void* PBLOBData,
                        int32_t SizeOfBLOBData, bool FromFile) {
  const std::string source = FromFile ? MInfo.FilePath.str() : std::string();
  return AddData(Request(Name, ItemKind, ClosedLine, Date, StateFlag, LatLow, LatHigh, LongLow,
                         LongHigh, Altitude, ClassNumber, UserTag, MInfo),
                 {&Polygon, PBLOBData, SizeOfBLOBData, FromFile ? &source : nullptr});
}

void TGeoDB::ReplaceData(int32_t DBEntry, const TgdbName& Name, const TgdbPolygon& Polygon,
                         bool ClosedLine, TgdbItem ItemKind, uint8_t ClassNumber, TDateTime Date,
                         int32_t StateFlag, float LatLow, float LatHigh, float LongLow,
                         float LongHigh, float Altitude, int32_t UserTag, const TMetaInfo& MInfo,
                         const void* PBLOBData, int32_t SizeOfBLOBData, bool FromFile) {
  const std::string source = FromFile ? MInfo.FilePath.str() : std::string();
  ReplaceData(DBEntry,
              Request(Name, ItemKind, ClosedLine, Date, StateFlag, LatLow, LatHigh, LongLow,
                      LongHigh, Altitude, ClassNumber, UserTag, MInfo),
              {&Polygon, PBLOBData, SizeOfBLOBData, FromFile ? &source : nullptr});
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
  if (DbEntry - 1 != last) FIndexes->Relabel(last, DbEntry - 1);
  --FNumSumItems;
  if (!FLazyWrite) SaveAllIndexes();
}

// ---- typed adding ----

int32_t TGeoDB::AddBorder(const TgdbName& Name, const TgdbPolygon& Polygon, bool ClosedLine,
                          TDateTime Date, int32_t StateFlag, float LatLow, float LatHigh,
                          float LongLow, float LongHigh, float Altitude, uint8_t ClassNumber,
                          int32_t UserTag) {
  return AddData(Request(Name, gitBorder, ClosedLine, Date, StateFlag, LatLow, LatHigh, LongLow, LongHigh, Altitude, ClassNumber, UserTag),
      {&Polygon});
}

int32_t TGeoDB::AddCity(const TgdbName& Name, const TgdbPolygon& Polygon, bool ClosedLine,
                        TDateTime Date, int32_t StateFlag, float LatLow, float LatHigh,
                        float LongLow, float LongHigh, float Altitude, uint8_t ClassNumber,
                        int32_t UserTag) {
  return AddData(Request(Name, gitCity, ClosedLine, Date, StateFlag, LatLow, LatHigh, LongLow, LongHigh, Altitude, ClassNumber, UserTag),
      {&Polygon});
}

int32_t TGeoDB::AddLake(const TgdbName& Name, const TgdbPolygon& Polygon, TDateTime Date,
                        int32_t StateFlag, float LatLow, float LatHigh, float LongLow,
                        float LongHigh, float Altitude, uint8_t ClassNumber, int32_t UserTag) {
  return AddData(Request(Name, gitLake, true, Date, StateFlag, LatLow, LatHigh, LongLow, LongHigh, Altitude, ClassNumber, UserTag),
      {&Polygon});
}

int32_t TGeoDB::AddRiver(const TgdbName& Name, const TgdbPolygon& Polygon, TDateTime Date,
                         int32_t StateFlag, float LatLow, float LatHigh, float LongLow,
                         float LongHigh, float Altitude, uint8_t ClassNumber, int32_t UserTag) {
  return AddData(Request(Name, gitRiver, false, Date, StateFlag, LatLow, LatHigh, LongLow, LongHigh, Altitude, ClassNumber, UserTag),
      {&Polygon});
}

int32_t TGeoDB::AddRoad(const TgdbName& Name, const TgdbPolygon& Polygon, TDateTime Date,
                        int32_t StateFlag, float LatLow, float LatHigh, float LongLow,
                        float LongHigh, float Altitude, uint8_t ClassNumber, int32_t UserTag) {
  return AddData(Request(Name, gitRoad, false, Date, StateFlag, LatLow, LatHigh, LongLow, LongHigh, Altitude, ClassNumber, UserTag),
      {&Polygon});
}

int32_t TGeoDB::AddRoute(const TgdbName& Name, const TgdbPolygon& Polygon, TDateTime Date,
                         int32_t StateFlag, float LatLow, float LatHigh, float LongLow,
                         float LongHigh, float Altitude, uint8_t ClassNumber, int32_t UserTag) {
  return AddData(Request(Name, gitRoute, false, Date, StateFlag, LatLow, LatHigh, LongLow, LongHigh, Altitude, ClassNumber, UserTag),
      {&Polygon});
}

int32_t TGeoDB::AddTown(const TgdbName& Name, TDateTime Date, int32_t StateFlag, TSCoords Location,
                        float Altitude, uint8_t ClassNumber, int32_t UserTag) {
  return AddData(Request(Name, gitTown, false, Date, StateFlag, Location.Latit, Location.Latit, Location.Longit, Location.Longit, Altitude, ClassNumber, UserTag),
      {});
}

// ---- typed replacing ----

void TGeoDB::ReplaceBorder(int32_t DBEntry, const TgdbName& Name, const TgdbPolygon& Polygon,
                           bool ClosedLine, TDateTime Date, int32_t StateFlag, float LatLow,
                           float LatHigh, float LongLow, float LongHigh, float Altitude,
                           uint8_t ClassNumber, int32_t UserTag) {
  ReplaceData(DBEntry, Request(Name, gitBorder, ClosedLine, Date, StateFlag, LatLow, LatHigh, LongLow, LongHigh, Altitude, ClassNumber, UserTag),
      {&Polygon});
}

void TGeoDB::ReplaceCity(int32_t DBEntry, const TgdbName& Name, const TgdbPolygon& Polygon,
                         bool ClosedLine, TDateTime Date, int32_t StateFlag, float LatLow,
                         float LatHigh, float LongLow, float LongHigh, float Altitude,
                         uint8_t ClassNumber, int32_t UserTag) {
  ReplaceData(DBEntry, Request(Name, gitCity, ClosedLine, Date, StateFlag, LatLow, LatHigh, LongLow, LongHigh, Altitude, ClassNumber, UserTag),
      {&Polygon});
}

void TGeoDB::ReplaceLake(int32_t DBEntry, const TgdbName& Name, const TgdbPolygon& Polygon,
                         TDateTime Date, int32_t StateFlag, float LatLow, float LatHigh,
                         float LongLow, float LongHigh, float Altitude, uint8_t ClassNumber,
                         int32_t UserTag) {
  ReplaceData(DBEntry, Request(Name, gitLake, true, Date, StateFlag, LatLow, LatHigh, LongLow, LongHigh, Altitude, ClassNumber, UserTag),
      {&Polygon});
}

void TGeoDB::ReplaceRiver(int32_t DBEntry, const TgdbName& Name, const TgdbPolygon& Polygon,
                          TDateTime Date, int32_t StateFlag, float LatLow, float LatHigh,
                          float LongLow, float LongHigh, float Altitude, uint8_t ClassNumber,
                          int32_t UserTag) {
  ReplaceData(DBEntry, Request(Name, gitRiver, false, Date, StateFlag, LatLow, LatHigh, LongLow, LongHigh, Altitude, ClassNumber, UserTag),
      {&Polygon});
}

void TGeoDB::ReplaceRoad(int32_t DBEntry, const TgdbName& Name, const TgdbPolygon& Polygon,
                         TDateTime Date, int32_t StateFlag, float LatLow, float LatHigh,
                         float LongLow, float LongHigh, float Altitude, uint8_t ClassNumber,
                         int32_t UserTag) {
  ReplaceData(DBEntry, Request(Name, gitRoad, false, Date, StateFlag, LatLow, LatHigh, LongLow, LongHigh, Altitude, ClassNumber, UserTag),
      {&Polygon});
}

void TGeoDB::ReplaceRoute(int32_t DBEntry, const TgdbName& Name, const TgdbPolygon& Polygon,
                          TDateTime Date, int32_t StateFlag, float LatLow, float LatHigh,
                          float LongLow, float LongHigh, float Altitude, uint8_t ClassNumber,
                          int32_t UserTag) {
  ReplaceData(DBEntry, Request(Name, gitRoute, false, Date, StateFlag, LatLow, LatHigh, LongLow, LongHigh, Altitude, ClassNumber, UserTag),
      {&Polygon});
}

void TGeoDB::ReplaceTown(int32_t DBEntry, const TgdbName& Name, TDateTime Date, int32_t StateFlag,
                         TSCoords Location, float Altitude, uint8_t ClassNumber, int32_t UserTag) {
  ReplaceData(DBEntry, Request(Name, gitTown, false, Date, StateFlag, Location.Latit, Location.Latit, Location.Longit, Location.Longit, Altitude, ClassNumber, UserTag),
      {});
}

}  // namespace vek
