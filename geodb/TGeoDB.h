// TGeoDB: a database of named geographic items (borders, towns, cities, lakes, rivers, roads,
// routes and binary large objects) kept in seven files that share one base name, with five
// sorted indexes (by identifier and by each bound of the items' bounding boxes) held in
// memory while the database is open.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Component.h"
#include "GdbFile.h"
#include "GeoDBRecords.h"
#include "Streams.h"
#include "VekTypes.h"

namespace vek {

class TGdbIndexSet;

class TGeoDB : public TComponent {
 public:
  explicit TGeoDB(QObject* AOwner = nullptr);
  ~TGeoDB() override;
  TGeoDB(const TGeoDB&) = delete;
  TGeoDB& operator=(const TGeoDB&) = delete;

  // ---- database, properties ----
  // The base name (path and name without extension) of the open database; empty when none.
  std::string DBName() const { return GetGDBName(); }
  std::string GetGDBName() const;
  // Opens (creating missing files) or, with an empty name, closes the database.
  void SetDBName(const std::string& Value) { SetGDBName(Value); }
  void SetGDBName(const std::string& Value);

  // With lazy writing on, the index files are written only when it is switched off, when the
  // database is closed and when the component is destroyed.
  bool LazyWrite() const { return FLazyWrite; }
  void SetLazyWrite(bool Value);

  int32_t NumEntries() const { return FNumSumItems; }

  TOnPercentDoneEvent OnPercentDone;
  bool OnPercDoneEnabled() const { return FOnPercDoneEnabled; }
  void SetOnPercDoneEnabled(bool Value) { FOnPercDoneEnabled = Value; }

  std::string Description() const { return GetDescription(); }
  std::string GetDescription() const;
  void SetDescription(const std::string& Value);
  int32_t Revision() const { return GetRevision(); }
  int32_t GetRevision() const { return FSystemData.Revision; }
  void SetRevision(int32_t Value);
  int32_t DBVersion() const { return GetDBVersion(); }
  int32_t GetDBVersion() const { return FSystemData.DBVersion; }

  // Item record of entry ix (1-based, clamped to 1 .. NumEntries).
  TgdbData Data(int32_t ix) const { return GetSumdata(ix); }
  TgdbData GetSumdata(int32_t ix) const;
  // ix-th record (1-based, clamped) of an index in sorted order; index is the entry number.
  TIxItemIDRec IxItemID(int32_t ix) const { return GetIxItemID(ix); }
  TIxLLRec IxLatLow(int32_t ix) const { return GetIxLatLow(ix); }
  TIxLLRec IxLatHigh(int32_t ix) const { return GetIxLatHigh(ix); }
  TIxLLRec IxLongLow(int32_t ix) const { return GetIxLongLow(ix); }
  TIxLLRec IxLongHigh(int32_t ix) const { return GetIxLongHigh(ix); }
  TIxItemIDRec GetIxItemID(int32_t ix) const;
  TIxLLRec GetIxLatLow(int32_t ix) const;
  TIxLLRec GetIxLatHigh(int32_t ix) const;
  TIxLLRec GetIxLongLow(int32_t ix) const;
  TIxLLRec GetIxLongHigh(int32_t ix) const;

  // ---- lookups ----
  // 1-based position of a key in the respective index: on a match the matching record the
  // bisection reaches first, otherwise the position where the key would be inserted.
  int32_t GetClosestItemIDIx(int32_t ItemID) const;
  int32_t GetClosestLatLowIx(double Latit) const;
  int32_t GetClosestLatHighIx(double Latit) const;
  int32_t GetClosestLongLowIx(double Longit) const;
  int32_t GetClosestLongHighIx(double Longit) const;
  // Entry number of the item with this identifier, 0 when there is none.
  int32_t SearchForItemID(int32_t ItemID) const;
  // Entry numbers (ascending) of all items whose bounding box intersects the rectangle,
  // bounds included.
  std::vector<int32_t> FindItemsInArea(double LatLow, double LatHigh, double LongLow,
                                       double LongHigh) const;

  // ---- the request form of adding and replacing ----
  // What an addition or a replacement stores, as the caller chose it.
  struct TItemRequest {
    TgdbName Name;
    TgdbItem ItemKind = gitUndefined;
    bool ClosedLine = false;
    uint8_t ClassNumber = 0;
    TDateTime Date = 0;
    int32_t StateFlag = 0;
    float LatLow = 0, LatHigh = 0, LongLow = 0, LongHigh = 0;
    float Altitude = 0;
    int32_t UserTag = 0;
    TMetaInfo MInfo{};
  };
  // The item's data block: a polygon, BLOB bytes in memory, or a BLOB read from a file.
  struct TItemPayload {
    const TgdbPolygon* Polygon = nullptr;
    const void* Bytes = nullptr;
    int32_t Size = 0;
    const std::string* SourceFile = nullptr;
  };

  // ---- adding ----
  int32_t AddBorder(const TgdbName& Name, const TgdbPolygon& Polygon, bool ClosedLine,
                    TDateTime Date, int32_t StateFlag, float LatLow, float LatHigh, float LongLow,
                    float LongHigh, float Altitude, uint8_t ClassNumber, int32_t UserTag);
  int32_t AddCity(const TgdbName& Name, const TgdbPolygon& Polygon, bool ClosedLine,
                  TDateTime Date, int32_t StateFlag, float LatLow, float LatHigh, float LongLow,
                  float LongHigh, float Altitude, uint8_t ClassNumber, int32_t UserTag);
  int32_t AddLake(const TgdbName& Name, const TgdbPolygon& Polygon, TDateTime Date,
                  int32_t StateFlag, float LatLow, float LatHigh, float LongLow, float LongHigh,
                  float Altitude, uint8_t ClassNumber, int32_t UserTag);
  int32_t AddRiver(const TgdbName& Name, const TgdbPolygon& Polygon, TDateTime Date,
                   int32_t StateFlag, float LatLow, float LatHigh, float LongLow, float LongHigh,
                   float Altitude, uint8_t ClassNumber, int32_t UserTag);
  int32_t AddRoad(const TgdbName& Name, const TgdbPolygon& Polygon, TDateTime Date,
                  int32_t StateFlag, float LatLow, float LatHigh, float LongLow, float LongHigh,
                  float Altitude, uint8_t ClassNumber, int32_t UserTag);
  int32_t AddRoute(const TgdbName& Name, const TgdbPolygon& Polygon, TDateTime Date,
                   int32_t StateFlag, float LatLow, float LatHigh, float LongLow, float LongHigh,
                   float Altitude, uint8_t ClassNumber, int32_t UserTag);
  int32_t AddTown(const TgdbName& Name, TDateTime Date, int32_t StateFlag, TSCoords Location,
                  float Altitude, uint8_t ClassNumber, int32_t UserTag);
  // The content of the file FileName; stored under its file-name part.
  int32_t AddBLOB(const std::string& FileName, TDateTime Date, int32_t StateFlag, float LatLow,
                  float LatHigh, float LongLow, float LongHigh, float Altitude,
                  uint8_t ClassNumber, int32_t UserTag, const TMetaInfo& MInfo);
  // The content of FileName, stored under the file-name part of FNameInDB.
  int32_t AddBLOB(const std::string& FileName, const std::string& FNameInDB, TDateTime Date,
                  int32_t StateFlag, float LatLow, float LatHigh, float LongLow, float LongHigh,
                  float Altitude, uint8_t ClassNumber, int32_t UserTag, const TMetaInfo& MInfo);
  // As above, recording OrgFilePath as the object's origin.
  int32_t AddBLOB(const std::string& FileName, const std::string& FNameInDB,
                  const std::string& OrgFilePath, TDateTime Date, int32_t StateFlag,
                  float LatLow, float LatHigh, float LongLow, float LongHigh, float Altitude,
                  uint8_t ClassNumber, int32_t UserTag, const TMetaInfo& MInfo);
  // SizeOfBLOBData bytes from memory.
  int32_t AddBLOB(const std::string& Name, TDateTime Date, int32_t StateFlag, float LatLow,
                  float LatHigh, float LongLow, float LongHigh, float Altitude,
                  uint8_t ClassNumber, int32_t UserTag, const TMetaInfo& MInfo,
                  const void* PBLOBData, int32_t SizeOfBLOBData);
  // The whole content of a memory stream, whatever its position.
  int32_t AddBLOB(const std::string& Name, TDateTime Date, int32_t StateFlag, float LatLow,
                  float LatHigh, float LongLow, float LongHigh, float Altitude,
                  uint8_t ClassNumber, int32_t UserTag, const TMetaInfo& MInfo,
                  const TMemoryStream& Data);

  // ---- replacing (the entry keeps its number and identifier) ----
  void ReplaceBorder(int32_t DBEntry, const TgdbName& Name, const TgdbPolygon& Polygon,
                     bool ClosedLine, TDateTime Date, int32_t StateFlag, float LatLow,
                     float LatHigh, float LongLow, float LongHigh, float Altitude,
                     uint8_t ClassNumber, int32_t UserTag);
  void ReplaceCity(int32_t DBEntry, const TgdbName& Name, const TgdbPolygon& Polygon,
                   bool ClosedLine, TDateTime Date, int32_t StateFlag, float LatLow,
                   float LatHigh, float LongLow, float LongHigh, float Altitude,
                   uint8_t ClassNumber, int32_t UserTag);
  void ReplaceLake(int32_t DBEntry, const TgdbName& Name, const TgdbPolygon& Polygon,
                   TDateTime Date, int32_t StateFlag, float LatLow, float LatHigh, float LongLow,
                   float LongHigh, float Altitude, uint8_t ClassNumber, int32_t UserTag);
  void ReplaceRiver(int32_t DBEntry, const TgdbName& Name, const TgdbPolygon& Polygon,
                    TDateTime Date, int32_t StateFlag, float LatLow, float LatHigh,
                    float LongLow, float LongHigh, float Altitude, uint8_t ClassNumber,
                    int32_t UserTag);
  void ReplaceRoad(int32_t DBEntry, const TgdbName& Name, const TgdbPolygon& Polygon,
                   TDateTime Date, int32_t StateFlag, float LatLow, float LatHigh, float LongLow,
                   float LongHigh, float Altitude, uint8_t ClassNumber, int32_t UserTag);
  void ReplaceRoute(int32_t DBEntry, const TgdbName& Name, const TgdbPolygon& Polygon,
                    TDateTime Date, int32_t StateFlag, float LatLow, float LatHigh,
                    float LongLow, float LongHigh, float Altitude, uint8_t ClassNumber,
                    int32_t UserTag);
  void ReplaceTown(int32_t DBEntry, const TgdbName& Name, TDateTime Date, int32_t StateFlag,
                   TSCoords Location, float Altitude, uint8_t ClassNumber, int32_t UserTag);
  void ReplaceBLOB(int32_t DBEntry, const std::string& FileName, TDateTime Date,
                   int32_t StateFlag, float LatLow, float LatHigh, float LongLow, float LongHigh,
                   float Altitude, uint8_t ClassNumber, int32_t UserTag, const TMetaInfo& MInfo);
  void ReplaceBLOB(int32_t DBEntry, const std::string& Name, TDateTime Date, int32_t StateFlag,
                   float LatLow, float LatHigh, float LongLow, float LongHigh, float Altitude,
                   uint8_t ClassNumber, int32_t UserTag, const TMetaInfo& MInfo,
                   const void* PBLOBData, int32_t SizeOfBLOBData);
  void ReplaceBLOB(int32_t DBEntry, const std::string& Name, TDateTime Date, int32_t StateFlag,
                   float LatLow, float LatHigh, float LongLow, float LongHigh, float Altitude,
                   uint8_t ClassNumber, int32_t UserTag, const TMetaInfo& MInfo,
                   const TMemoryStream& Data);

  // Removes an entry; the last entry moves into its place.
  void DeleteData(int32_t DbEntry);

  // ---- reading back ----
  bool RetrievePolygon(int32_t DBEntry, TgdbPolygon& Polygon);
  // Writes the BLOB's content to Filepath; a Filepath that is empty or ends with a path
  // separator names a directory, and the item's name (reduced to safe characters) is
  // appended.
  bool RetrieveBLOB(int32_t DBEntry, const std::string& Filepath, TMetaInfo& MetaInfo);
  bool RetrieveBLOB(int32_t DBEntry, TMetaInfo& MetaInfo, void* PBLOBData, int32_t SizeOfBLOBData);
  bool RetrieveBLOB(int32_t DBEntry, TMetaInfo& MetaInfo, TMemoryStream& BlobStream);

  // The insertion rule on plain arrays whose last slot is free (length = records + 1).
  static void SortIxInto(TIxLLRecArray& Ix, const TIxLLRec& Rec);
  static void SortIxItemIDInto(TIxItemIDRecArray& Ix, const TIxItemIDRec& Rec);

 protected:
  int32_t AddData(const TItemRequest& Req, const TItemPayload& Payload);
  void ReplaceData(int32_t DBEntry, const TItemRequest& Req, const TItemPayload& Payload);
  // The same with the fields one by one; a BLOB from a file is read from MInfo.FilePath.
  int32_t AddData(const TgdbName& Name, const TgdbPolygon& Polygon, bool ClosedLine,
                  TgdbItem ItemKind, uint8_t ClassNumber, TDateTime Date, int32_t StateFlag,
                  float LatLow, float LatHigh, float LongLow, float LongHigh, float Altitude,
                  int32_t UserTag, const TMetaInfo& MInfo, const void* PBLOBData,
                  int32_t SizeOfBLOBData, bool FromFile);
  void ReplaceData(int32_t DBEntry, const TgdbName& Name, const TgdbPolygon& Polygon,
                   bool ClosedLine, TgdbItem ItemKind, uint8_t ClassNumber, TDateTime Date,
                   int32_t StateFlag, float LatLow, float LatHigh, float LongLow, float LongHigh,
                   float Altitude, int32_t UserTag, const TMetaInfo& MInfo, const void* PBLOBData,
                   int32_t SizeOfBLOBData, bool FromFile);
  void SaveIndex(int ix);
  void InsertIntoIndex(int32_t DBEntry, const TgdbData& Data);
  void RemoveIndexEntries(int32_t DBEntry);

 private:
  bool IsOpen() const { return !FNameGDD.empty(); }
  [[noreturn]] void Raise(const std::string& Text) const;
  void Progress(int32_t Percent);
  void ProgressFraction(double Done, double Total);

  void OpenDatabase(const std::string& Name);
  void CloseDatabase(bool ResetLazyWrite);
  void ResetSystemData();
  void LoadIndexFile(int ix, int64_t& Count, std::vector<uint8_t>& Bytes);
  // Drops the last item record when a crash interrupted the deletion that moved it.
  void LoadItemFile(const std::string& gds);
  void LoadSystemRecord(const std::string& gdd);
  bool DropInterruptedMove(TGdbFile& F);
  void SaveAllIndexes();
  void WriteSystemRecord(const char* Who);
  void FlushSystemRecord();

  // Files kept open between operations while lazy writing is on (bulk loading); closed at
  // the end of every operation otherwise.
  TGdbFile& DataFile();
  TGdbFile& ItemFile();
  void ReleaseFiles();
  struct TFileUse {
    TGeoDB& DB;
    ~TFileUse() { if (!DB.FLazyWrite) DB.ReleaseFiles(); }
  };

  void WriteItemRecord(int32_t Entry, const TgdbData& D);
  int64_t AppendPolygon(const TgdbPolygon& Polygon);
  int64_t AppendBlob(const TMetaInfo& MInfo, const void* Data, int32_t Size);
  int64_t AppendBlobFromFile(const TMetaInfo& MInfo, const std::string& Source, int32_t& Size);
  void FillRecord(TgdbData& D, const TItemRequest& Req, const TItemPayload& Payload);
  void CheckPayload(const char* Who, const TItemRequest& Req, const TItemPayload& Payload) const;
  void CheckBlockInFile(const char* Who, int32_t Entry, int64_t Offset, int64_t Length);
  // Raises when a size read for an entry exceeds the memory the process can have.
  void CheckMemory(const char* Who, int32_t Entry, int64_t Bytes) const;
  [[noreturn]] void RaiseDamagedBlobSize(int32_t Entry, const TgdbData& D) const;
  // Meta information of the BLOB entry D, after checking its stated size and that its block
  // lies inside the data file.
  TMetaInfo ReadBlobMetaInfo(int32_t Entry, const TgdbData& D);
  // Checks the database is open, clamps DBEntry to 1 and, when the entry exists, calls
  // Read(DataFile(), Entry, copy of its record) between progress 0 and 100; false otherwise.
  template <class Fn>
  bool ReadEntry(int32_t DBEntry, Fn Read);
  // The data of the BLOB entry D after its meta information, handed to Sink block by block.
  void ReadBlobData(const TgdbData& D, const std::function<void(const uint8_t*, int64_t)>& Sink);
  int32_t AddBlobFromFile(const std::string& FileName, const std::string& NameInDB,
                          TDateTime Date, int32_t StateFlag, float LatLow, float LatHigh,
                          float LongLow, float LongHigh, float Altitude, uint8_t ClassNumber,
                          int32_t UserTag, const TMetaInfo& MInfo);
  std::string BlobTargetName(const std::string& Filepath, const TgdbData& D) const;

  std::string FNameGDS;
  std::string FNameGDD;
  std::array<std::string, 5> FNameIX;
  std::vector<TgdbData> FSumData;
  int32_t FNumSumItems = 0;
  bool FLazyWrite = false;
  std::unique_ptr<TGdbIndexSet> FIndexes;
  bool FOnPercDoneEnabled = true;
  TgdbSystemData FSystemData;
  TGdbFile FDataFile;
  TGdbFile FItemFile;
  // Opening raises HighestID to the largest identifier in the item file when the system
  // record is behind it; the record is then written with the next change.
  bool FSystemDirty = false;
};

// Latitude and longitude as degree text with the hemisphere letter.
std::string GeoLatitude(double Latit, TDegreeFormat Format, int Decimals);
std::string GeoLongitude(double Longit, TDegreeFormat Format, int Decimals);

}  // namespace vek
