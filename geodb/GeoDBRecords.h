// Records of the geographic database and their exact byte layout in the files.
// Every record is encoded and decoded field by field, little-endian, so that the files do
// not depend on the compiler's struct layout or on the byte order of the machine.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ShortString.h"
#include "VekError.h"
#include "VekTypes.h"

namespace vek {

class EVEKGeoDBError : public EVEKError {
 public:
  using EVEKError::EVEKError;
};

enum TgdbItem : uint8_t {
  gitBorder = 0,
  gitTown = 1,
  gitCity = 2,
  gitLake = 3,
  gitRiver = 4,
  gitRoad = 5,
  gitRoute = 6,
  gitBLOB = 7,
  gitUndefined = 8,
};

// Display names, indexed by TgdbItem.
extern const std::array<const char*, 9> GDB_ITEMNAMES;
// The display name of a kind byte as read from a file; "Undefined" for unknown values.
const char* GdbItemName(TgdbItem Kind);

// Kinds whose data block is a list of points.
bool IsPolygonKind(TgdbItem Kind);

struct TSCoords {
  float Latit;
  float Longit;
};

using TgdbPolygon = std::vector<TSCoords>;
using TgdbName = ShortString<59>;

struct TPositionData {
  double Latit;
  double Longit;
  double Height;
};

enum TMetaItem : uint8_t { miKwd = 0, miCaption = 1, miFilePath = 2, miDescriptor = 3, miComment = 4 };

struct TMetaInfo {
  ShortString<255> Keywords;
  ShortString<127> Caption;
  ShortString<127> FilePath;
  ShortString<255> Descriptor;
  ShortString<255> Comment;
};

struct TgdbSystemData {
  int32_t HighestID = 0;
  int32_t DBVersion = 4;
  ShortString<63> Description;
  int32_t Revision = 0;
  uint8_t Reserved[184] = {};
};

struct TgdbData {
  int32_t ItemId;
  TgdbName Name;
  float Altitude;
  uint8_t ClassFlag;
  int32_t Tag;
  int32_t BlobOffset;
  TDateTime Date;
  int32_t StateFlag;
  float LatLow;
  float LatHigh;
  float LongLow;
  float LongHigh;
  TgdbItem ItemKind;
  // The same four bytes: the point count of a polygon, the content size of a BLOB.
  union {
    int32_t NumPoints;
    int32_t Size;
  };
  bool Closed;
};

struct TIxItemIDRec {
  int32_t ItemID;
  int32_t index;
};

struct TIxLLRec {
  float LLValue;
  int32_t index;
};

using TIxItemIDRecArray = std::vector<TIxItemIDRec>;
using TIxLLRecArray = std::vector<TIxLLRec>;

// Sizes of the records in the files.
inline constexpr int kSystemRecSize = 260;
inline constexpr int kItemRecSize = 120;
inline constexpr int kIndexRecSize = 8;
inline constexpr int kMetaInfoSize = 1024;
inline constexpr int kPointSize = 8;
inline constexpr int kNameChars = 59;
inline constexpr int kDescriptionChars = 60;

// Encoders write exactly the record size at Out; decoders read exactly that many bytes.
void EncodeSystemData(const TgdbSystemData& R, uint8_t* Out);
TgdbSystemData DecodeSystemData(const uint8_t* In);
void EncodeGdbData(const TgdbData& R, uint8_t* Out);
TgdbData DecodeGdbData(const uint8_t* In);
void EncodeMetaInfo(const TMetaInfo& R, uint8_t* Out);
TMetaInfo DecodeMetaInfo(const uint8_t* In);
void EncodePoint(const TSCoords& P, uint8_t* Out);
TSCoords DecodePoint(const uint8_t* In);
void EncodeIxItemID(const TIxItemIDRec& R, uint8_t* Out);
TIxItemIDRec DecodeIxItemID(const uint8_t* In);
void EncodeIxLL(const TIxLLRec& R, uint8_t* Out);
TIxLLRec DecodeIxLL(const uint8_t* In);

// Little-endian primitives.
void PutInt32(uint8_t* Out, int32_t V);
int32_t GetInt32(const uint8_t* In);
void PutSingle(uint8_t* Out, float V);
float GetSingle(const uint8_t* In);
void PutDouble(uint8_t* Out, double V);
double GetDouble(const uint8_t* In);

// Stores a name the way the component writes it: cut to 59 characters of 8-bit text, the
// unused character bytes filled with blanks.
TgdbName MakeGdbName(const TgdbName& Name);

// The position of a town, the south-west corner of any other item.
TSCoords ExtractLocation(const TgdbData& Data);
void ClearMetaInfo(TMetaInfo& MetaInfo);
// Resets every field except NumPoints/Size; Date becomes the current local date and time.
void ClearGdbData(TgdbData& Data);

// The current local date and time, and a file's local modification time.
TDateTime NowAsDateTime();

}  // namespace vek
