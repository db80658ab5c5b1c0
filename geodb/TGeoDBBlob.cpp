// TGeoDB: binary large objects and reading polygons back.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <new>

#include "StrUtils.h"
#include "TGeoDB.h"

namespace vek {

namespace {

constexpr int64_t kCopyBlock = 16384;

TMetaInfo WithFilePath(const TMetaInfo& MInfo, const std::string& Path) {
  TMetaInfo m = MInfo;
  m.FilePath = Path;  // UTF-8 in, 8-bit text cut to 127 characters
  return m;
}

// Both separators name directories; the file system here knows only '/'.
std::string NativeSeparators(std::string Path) {
#ifndef _WIN32
  std::replace(Path.begin(), Path.end(), '\\', '/');
#endif
  return Path;
}

}  // namespace

// ---- adding and replacing ----

int32_t TGeoDB::AddBlobFromFile(const std::string& FileName, const std::string& NameInDB,
                                TDateTime Date, int32_t StateFlag, float LatLow, float LatHigh,
                                float LongLow, float LongHigh, float Altitude,
                                uint8_t ClassNumber, int32_t UserTag, const TMetaInfo& MInfo) {
  // The source is read through its full name; the stored FilePath may be cut to 127 chars.
  TItemPayload source;
  source.SourceFile = &FileName;
  return AddData({TgdbName(StripPath(NameInDB)), gitBLOB, false, ClassNumber, Date, StateFlag, LatLow,
                  LatHigh, LongLow, LongHigh, Altitude, UserTag, MInfo},
                 source);
}

int32_t TGeoDB::AddBLOB(const std::string& FileName, TDateTime Date, int32_t StateFlag,
                        float LatLow, float LatHigh, float LongLow, float LongHigh, float Altitude,
                        uint8_t ClassNumber, int32_t UserTag, const TMetaInfo& MInfo) {
  return AddBlobFromFile(FileName, FileName, Date, StateFlag, LatLow, LatHigh, LongLow, LongHigh,
                         Altitude, ClassNumber, UserTag, WithFilePath(MInfo, FileName));
}

int32_t TGeoDB::AddBLOB(const std::string& FileName, const std::string& FNameInDB, TDateTime Date,
                        int32_t StateFlag, float LatLow, float LatHigh, float LongLow,
                        float LongHigh, float Altitude, uint8_t ClassNumber, int32_t UserTag,
                        const TMetaInfo& MInfo) {
  return AddBlobFromFile(FileName, FNameInDB, Date, StateFlag, LatLow, LatHigh, LongLow, LongHigh,
                         Altitude, ClassNumber, UserTag, WithFilePath(MInfo, FileName));
}

int32_t TGeoDB::AddBLOB(const std::string& FileName, const std::string& FNameInDB,
                        const std::string& OrgFilePath, TDateTime Date, int32_t StateFlag,
                        float LatLow, float LatHigh, float LongLow, float LongHigh, float Altitude,
                        uint8_t ClassNumber, int32_t UserTag, const TMetaInfo& MInfo) {
  // The meta information is written once, already holding the original path.
  return AddBlobFromFile(FileName, FNameInDB, Date, StateFlag, LatLow, LatHigh, LongLow, LongHigh,
                         Altitude, ClassNumber, UserTag, WithFilePath(MInfo, OrgFilePath));
}

int32_t TGeoDB::AddBLOB(const std::string& Name, TDateTime Date, int32_t StateFlag, float LatLow,
                        float LatHigh, float LongLow, float LongHigh, float Altitude,
                        uint8_t ClassNumber, int32_t UserTag, const TMetaInfo& MInfo,
                        const void* PBLOBData, int32_t SizeOfBLOBData) {
  return AddData({TgdbName(Name), gitBLOB, false, ClassNumber, Date, StateFlag, LatLow, LatHigh, LongLow,
                  LongHigh, Altitude, UserTag, MInfo},
                 {nullptr, PBLOBData, SizeOfBLOBData, nullptr});
}

int32_t TGeoDB::AddBLOB(const std::string& Name, TDateTime Date, int32_t StateFlag, float LatLow,
                        float LatHigh, float LongLow, float LongHigh, float Altitude,
                        uint8_t ClassNumber, int32_t UserTag, const TMetaInfo& MInfo,
                        const TMemoryStream& Data) {
  if (Data.Size() > std::numeric_limits<int32_t>::max())
    Raise("AddData: the stream is larger than 2 GiB.");
  return AddBLOB(Name, Date, StateFlag, LatLow, LatHigh, LongLow, LongHigh, Altitude, ClassNumber,
                 UserTag, MInfo, Data.Memory(), static_cast<int32_t>(Data.Size()));
}

void TGeoDB::ReplaceBLOB(int32_t DBEntry, const std::string& FileName, TDateTime Date,
                         int32_t StateFlag, float LatLow, float LatHigh, float LongLow,
                         float LongHigh, float Altitude, uint8_t ClassNumber, int32_t UserTag,
                         const TMetaInfo& MInfo) {
  TItemPayload source;
  source.SourceFile = &FileName;
  ReplaceData(DBEntry,
              {TgdbName(StripPath(FileName)), gitBLOB, false, ClassNumber, Date, StateFlag, LatLow,
               LatHigh, LongLow, LongHigh, Altitude, UserTag, WithFilePath(MInfo, FileName)},
              source);
}

void TGeoDB::ReplaceBLOB(int32_t DBEntry, const std::string& Name, TDateTime Date,
                         int32_t StateFlag, float LatLow, float LatHigh, float LongLow,
                         float LongHigh, float Altitude, uint8_t ClassNumber, int32_t UserTag,
                         const TMetaInfo& MInfo, const void* PBLOBData, int32_t SizeOfBLOBData) {
  ReplaceData(DBEntry,
              {TgdbName(Name), gitBLOB, false, ClassNumber, Date, StateFlag, LatLow, LatHigh, LongLow,
               LongHigh, Altitude, UserTag, MInfo},
              {nullptr, PBLOBData, SizeOfBLOBData, nullptr});
}

void TGeoDB::ReplaceBLOB(int32_t DBEntry, const std::string& Name, TDateTime Date,
                         int32_t StateFlag, float LatLow, float LatHigh, float LongLow,
                         float LongHigh, float Altitude, uint8_t ClassNumber, int32_t UserTag,
                         const TMetaInfo& MInfo, const TMemoryStream& Data) {
  if (Data.Size() > std::numeric_limits<int32_t>::max())
    Raise("ReplaceData: the stream is larger than 2 GiB.");
  ReplaceBLOB(DBEntry, Name, Date, StateFlag, LatLow, LatHigh, LongLow, LongHigh, Altitude,
              ClassNumber, UserTag, MInfo, Data.Memory(), static_cast<int32_t>(Data.Size()));
}

// ---- reading back ----

void TGeoDB::CheckBlockInFile(const char* Who, int32_t Entry, int64_t Offset, int64_t Length) {
  const int64_t size = DataFile().Size();
  if (Offset < 0 || Length < 0 || Offset > size || Length > size - Offset)
    Raise(std::string(Who) + ": the data of entry " + std::to_string(Entry) + " (offset " +
          std::to_string(Offset) + ", " + std::to_string(Length) +
          " bytes) lies outside the data file of " + std::to_string(size) +
          " bytes; the database is damaged.");
}

void TGeoDB::CheckMemory(const char* Who, int32_t Entry, int64_t Bytes) const {
  if (Bytes > MemoryLimit())
    Raise(std::string(Who) + ": entry " + std::to_string(Entry) + " needs " + std::to_string(Bytes) +
          " bytes of memory, more than this process can have; the database is damaged.");
}

void TGeoDB::RaiseDamagedBlobSize(int32_t Entry, const TgdbData& D) const {
  Raise("RetrieveBLOB: entry " + std::to_string(Entry) + " states a size of " +
        std::to_string(D.Size) + " bytes; the database is damaged.");
}

TMetaInfo TGeoDB::ReadBlobMetaInfo(int32_t Entry, const TgdbData& D) {
  if (D.Size < 0) RaiseDamagedBlobSize(Entry, D);
  CheckBlockInFile("RetrieveBLOB", Entry, D.BlobOffset, int64_t(kMetaInfoSize) + D.Size);
  uint8_t meta[kMetaInfoSize];
  DataFile().ReadAt(D.BlobOffset, meta, kMetaInfoSize);
  return DecodeMetaInfo(meta);
}

template <class Fn>
bool TGeoDB::ReadEntry(int32_t DBEntry, Fn Read) {
  if (!IsOpen()) return false;
  Progress(0);
  TFileUse use{*this};
  TGdbFile& f = DataFile();
  if (DBEntry < 1) DBEntry = 1;
  bool ok = false;
  // Read gets a copy of the record, which no change of FSumData during the read can move.
  if (DBEntry <= FNumSumItems) {
    try {
      ok = Read(f, DBEntry, TgdbData(FSumData[static_cast<size_t>(DBEntry - 1)]));
    } catch (const std::bad_alloc&) {
      Raise("entry " + std::to_string(DBEntry) + " cannot be read: not enough memory.");
    }
  }
  Progress(100);
  return ok;
}

void TGeoDB::ReadBlobData(const TgdbData& D,
                          const std::function<void(const uint8_t*, int64_t)>& Sink) {
  TGdbFile& f = DataFile();
  std::vector<uint8_t> buf(kCopyBlock);
  int64_t copied = 0;
  while (copied < D.Size) {
    const int64_t chunk = std::min<int64_t>(kCopyBlock, D.Size - copied);
    f.ReadAt(D.BlobOffset + kMetaInfoSize + copied, buf.data(), chunk);
    Sink(buf.data(), chunk);
    copied += chunk;
    ProgressFraction(static_cast<double>(copied), D.Size);
  }
}

bool TGeoDB::RetrievePolygon(int32_t DBEntry, TgdbPolygon& Polygon) {
  return ReadEntry(DBEntry, [&](TGdbFile& f, int32_t Entry, const TgdbData& d) {
    if (!IsPolygonKind(d.ItemKind) || d.BlobOffset < 0) return false;
    if (d.NumPoints < 0)
      Raise("RetrievePolygon: entry " + std::to_string(Entry) + " states " +
            std::to_string(d.NumPoints) + " points; the database is damaged.");
    const int64_t n = d.NumPoints;
    CheckBlockInFile("RetrievePolygon", Entry, d.BlobOffset, n * kPointSize);
    CheckMemory("RetrievePolygon", Entry, n * static_cast<int64_t>(sizeof(TSCoords)));
    TgdbPolygon poly(static_cast<size_t>(n));
    // Read through a small buffer: the points need memory once, not twice.
    const int64_t chunk = 8192;
    std::vector<uint8_t> bytes(static_cast<size_t>(std::min(n, chunk) * kPointSize));
    const int64_t step = n / 100 + 1;
    for (int64_t from = 0; from < n; from += chunk) {
      const int64_t count = std::min(chunk, n - from);
      f.ReadAt(d.BlobOffset + from * kPointSize, bytes.data(), count * kPointSize);
      for (int64_t j = 0; j < count; ++j) {
        const int64_t i = from + j;
        poly[static_cast<size_t>(i)] = DecodePoint(&bytes[static_cast<size_t>(j * kPointSize)]);
        if ((i + 1) % step == 0) ProgressFraction(static_cast<double>(i + 1), static_cast<double>(n));
      }
    }
    Polygon = std::move(poly);
    return true;
  });
}

std::string TGeoDB::BlobTargetName(const std::string& Filepath, const TgdbData& D) const {
  const std::string path = NativeSeparators(Filepath);
  if (!path.empty() && path.back() != '/' && path.back() != '\\') return path;
  // The item's name must stay a plain name inside that directory: no separators, no drive,
  // and not "." or "..".
  std::string name = ReduceStringToFN83CompliantChars(D.Name.str());
  if (name.find_first_not_of('.') == std::string::npos) return std::string();
  return path + name;
}

bool TGeoDB::RetrieveBLOB(int32_t DBEntry, const std::string& Filepath, TMetaInfo& MetaInfo) {
  if (!IsOpen()) return false;
  if (DBEntry < 1) DBEntry = 1;
  if (DBEntry > FNumSumItems) return false;
  const TgdbData d = FSumData[static_cast<size_t>(DBEntry - 1)];
  if (d.ItemKind != gitBLOB) return false;
  Progress(0);
  TFileUse use{*this};
  DataFile();  // opened before the entry is checked
  MetaInfo = ReadBlobMetaInfo(DBEntry, d);

  const std::string target = BlobTargetName(Filepath, d);
  if (target.empty()) Raise("RetrieveBLOB: invalid filename.");
  std::ofstream out;
  errno = 0;
  out.open(target, std::ios::out | std::ios::binary | std::ios::trunc);
  if (!out.is_open()) RaiseInOut(errno, "cannot create", target);
  ReadBlobData(d, [&](const uint8_t* Bytes, int64_t Count) {
    out.write(reinterpret_cast<const char*>(Bytes), Count);
    if (!out) RaiseInOut(errno, "cannot write", target);
  });
  out.close();
  if (out.fail()) RaiseInOut(errno, "cannot write", target);
  Progress(100);
  return true;
}

bool TGeoDB::RetrieveBLOB(int32_t DBEntry, TMetaInfo& MetaInfo, void* PBLOBData,
                          int32_t SizeOfBLOBData) {
  return ReadEntry(DBEntry, [&](TGdbFile& f, int32_t Entry, const TgdbData& d) {
    if (d.ItemKind != gitBLOB) return false;
    MetaInfo = ReadBlobMetaInfo(Entry, d);
    if (SizeOfBLOBData < d.Size)
      Raise("RetrieveBLOB: BLOB to be retrieved is larger than SizeOfBlobData.");
    // Straight into the caller's buffer, without the intermediate block.
    auto* dst = static_cast<uint8_t*>(PBLOBData);
    int64_t copied = 0;
    while (copied < d.Size) {
      const int64_t chunk = std::min<int64_t>(kCopyBlock, d.Size - copied);
      f.ReadAt(d.BlobOffset + kMetaInfoSize + copied, dst + copied, chunk);
      copied += chunk;
      ProgressFraction(static_cast<double>(copied), d.Size);
    }
    return true;
  });
}

bool TGeoDB::RetrieveBLOB(int32_t DBEntry, TMetaInfo& MetaInfo, TMemoryStream& BlobStream) {
  return ReadEntry(DBEntry, [&](TGdbFile& f, int32_t Entry, const TgdbData& d) {
    // The size field sizes the stream for every kind; a value the data file cannot hold
    // is damage, not a request for gigabytes.
    if (d.Size < 0 || d.Size > f.Size()) RaiseDamagedBlobSize(Entry, d);
    CheckMemory("RetrieveBLOB", Entry, d.Size);
    if (d.ItemKind == gitBLOB)
      CheckBlockInFile("RetrieveBLOB", Entry, d.BlobOffset, int64_t(kMetaInfoSize) + d.Size);
    BlobStream.SetSize(d.Size);
    BlobStream.SetPosition(0);
    if (d.ItemKind != gitBLOB) return false;
    uint8_t meta[kMetaInfoSize];
    f.ReadAt(d.BlobOffset, meta, kMetaInfoSize);
    MetaInfo = DecodeMetaInfo(meta);
    ReadBlobData(d, [&](const uint8_t* Bytes, int64_t Count) {
      BlobStream.WriteBuffer(Bytes, Count);
    });
    return true;
  });
}

}  // namespace vek
