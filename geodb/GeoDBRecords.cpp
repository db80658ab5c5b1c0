#include "GeoDBRecords.h"

#include <bit>
#include <chrono>
#include <cstring>
#include <ctime>

#include "DegreeText.h"

namespace vek {

const std::array<const char*, 9> GDB_ITEMNAMES = {"Border", "Town",  "City", "Lake",     "River",
                                                  "Road",   "Route", "BLOB", "Undefined"};

const char* GdbItemName(TgdbItem Kind) {
  return Kind <= gitUndefined ? GDB_ITEMNAMES[Kind] : GDB_ITEMNAMES[gitUndefined];
}

bool IsPolygonKind(TgdbItem Kind) {
  switch (Kind) {
    case gitBorder:
    case gitCity:
    case gitLake:
    case gitRiver:
    case gitRoad:
    case gitRoute:
      return true;
    default:
      return false;
  }
}

void PutInt32(uint8_t* Out, int32_t V) {
  const auto u = static_cast<uint32_t>(V);
  Out[0] = static_cast<uint8_t>(u);
  Out[1] = static_cast<uint8_t>(u >> 8);
  Out[2] = static_cast<uint8_t>(u >> 16);
  Out[3] = static_cast<uint8_t>(u >> 24);
}

int32_t GetInt32(const uint8_t* In) {
  const uint32_t u = uint32_t(In[0]) | uint32_t(In[1]) << 8 | uint32_t(In[2]) << 16 |
                     uint32_t(In[3]) << 24;
  return static_cast<int32_t>(u);
}

void PutSingle(uint8_t* Out, float V) { PutInt32(Out, static_cast<int32_t>(std::bit_cast<uint32_t>(V))); }

float GetSingle(const uint8_t* In) { return std::bit_cast<float>(static_cast<uint32_t>(GetInt32(In))); }

void PutDouble(uint8_t* Out, double V) {
  const auto u = std::bit_cast<uint64_t>(V);
  for (int i = 0; i < 8; ++i) Out[i] = static_cast<uint8_t>(u >> (8 * i));
}

double GetDouble(const uint8_t* In) {
  uint64_t u = 0;
  for (int i = 0; i < 8; ++i) u |= uint64_t(In[i]) << (8 * i);
  return std::bit_cast<double>(u);
}

namespace {

template <int N>
void PutShort(uint8_t* Out, const ShortString<N>& S) {
  Out[0] = S.Len;
  std::memcpy(Out + 1, S.Chars, N);
}

template <int N>
void GetShort(const uint8_t* In, ShortString<N>& S) {
  // A length byte beyond the capacity (a damaged file) is cut to the capacity.
  S.Len = In[0] <= N ? In[0] : static_cast<uint8_t>(N);
  std::memcpy(S.Chars, In + 1, N);
}

}  // namespace

void EncodeSystemData(const TgdbSystemData& R, uint8_t* Out) {
  std::memset(Out, 0, kSystemRecSize);
  PutInt32(Out + 0, R.HighestID);
  PutInt32(Out + 4, R.DBVersion);
  PutShort(Out + 8, R.Description);
  PutInt32(Out + 72, R.Revision);
  std::memcpy(Out + 76, R.Reserved, sizeof R.Reserved);
}

TgdbSystemData DecodeSystemData(const uint8_t* In) {
  TgdbSystemData R;
  R.HighestID = GetInt32(In + 0);
  R.DBVersion = GetInt32(In + 4);
  GetShort(In + 8, R.Description);
  R.Revision = GetInt32(In + 72);
  std::memcpy(R.Reserved, In + 76, sizeof R.Reserved);
  return R;
}

void EncodeGdbData(const TgdbData& R, uint8_t* Out) {
  std::memset(Out, 0, kItemRecSize);
  PutInt32(Out + 0, R.ItemId);
  PutShort(Out + 4, R.Name);
  PutSingle(Out + 64, R.Altitude);
  Out[68] = R.ClassFlag;
  PutInt32(Out + 72, R.Tag);
  PutInt32(Out + 76, R.BlobOffset);
  PutDouble(Out + 80, R.Date);
  PutInt32(Out + 88, R.StateFlag);
  PutSingle(Out + 92, R.LatLow);
  PutSingle(Out + 96, R.LatHigh);
  PutSingle(Out + 100, R.LongLow);
  PutSingle(Out + 104, R.LongHigh);
  Out[108] = R.ItemKind;
  PutInt32(Out + 112, R.NumPoints);
  Out[116] = R.Closed ? 1 : 0;
}

TgdbData DecodeGdbData(const uint8_t* In) {
  TgdbData R{};
  R.ItemId = GetInt32(In + 0);
  GetShort(In + 4, R.Name);
  R.Altitude = GetSingle(In + 64);
  R.ClassFlag = In[68];
  R.Tag = GetInt32(In + 72);
  R.BlobOffset = GetInt32(In + 76);
  R.Date = GetDouble(In + 80);
  R.StateFlag = GetInt32(In + 88);
  R.LatLow = GetSingle(In + 92);
  R.LatHigh = GetSingle(In + 96);
  R.LongLow = GetSingle(In + 100);
  R.LongHigh = GetSingle(In + 104);
  R.ItemKind = static_cast<TgdbItem>(In[108]);
  R.NumPoints = GetInt32(In + 112);
  R.Closed = In[116] != 0;
  return R;
}

void EncodeMetaInfo(const TMetaInfo& R, uint8_t* Out) {
  PutShort(Out + 0, R.Keywords);
  PutShort(Out + 256, R.Caption);
  PutShort(Out + 384, R.FilePath);
  PutShort(Out + 512, R.Descriptor);
  PutShort(Out + 768, R.Comment);
}

TMetaInfo DecodeMetaInfo(const uint8_t* In) {
  TMetaInfo R;
  GetShort(In + 0, R.Keywords);
  GetShort(In + 256, R.Caption);
  GetShort(In + 384, R.FilePath);
  GetShort(In + 512, R.Descriptor);
  GetShort(In + 768, R.Comment);
  return R;
}

void EncodePoint(const TSCoords& P, uint8_t* Out) {
  PutSingle(Out, P.Latit);
  PutSingle(Out + 4, P.Longit);
}

TSCoords DecodePoint(const uint8_t* In) { return {GetSingle(In), GetSingle(In + 4)}; }

void EncodeIxItemID(const TIxItemIDRec& R, uint8_t* Out) {
  PutInt32(Out, R.ItemID);
  PutInt32(Out + 4, R.index);
}

TIxItemIDRec DecodeIxItemID(const uint8_t* In) { return {GetInt32(In), GetInt32(In + 4)}; }

void EncodeIxLL(const TIxLLRec& R, uint8_t* Out) {
  PutSingle(Out, R.LLValue);
  PutInt32(Out + 4, R.index);
}

TIxLLRec DecodeIxLL(const uint8_t* In) { return {GetSingle(In), GetInt32(In + 4)}; }

TgdbName MakeGdbName(const TgdbName& Name) {
  TgdbName N = Name;
  std::memset(N.Chars + N.Len, ' ', sizeof N.Chars - N.Len);
  return N;
}

TSCoords ExtractLocation(const TgdbData& Data) { return {Data.LatLow, Data.LongLow}; }

void ClearMetaInfo(TMetaInfo& MetaInfo) {
  MetaInfo.Keywords.Len = 0;
  MetaInfo.Caption.Len = 0;
  MetaInfo.FilePath.Len = 0;
  MetaInfo.Descriptor.Len = 0;
  MetaInfo.Comment.Len = 0;
}

void ClearGdbData(TgdbData& Data) {
  const int32_t keep = Data.NumPoints;
  const bool closed = false;
  Data.ItemId = 0;
  Data.Name = MakeGdbName(TgdbName());
  Data.Altitude = 0;
  Data.ClassFlag = 0;
  Data.Tag = 0;
  Data.BlobOffset = -1;
  Data.Date = NowAsDateTime();
  Data.StateFlag = 0;
  Data.LatLow = Data.LatHigh = Data.LongLow = Data.LongHigh = 0;
  Data.ItemKind = gitUndefined;
  Data.NumPoints = keep;
  Data.Closed = closed;
}

TDateTime NowAsDateTime() {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t t = system_clock::to_time_t(now);
  std::tm lt{};
  localtime_r(&t, &lt);
  const double ms =
      static_cast<double>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
  return EncodeDateTime(lt.tm_year + 1900, lt.tm_mon + 1, lt.tm_mday, lt.tm_hour, lt.tm_min,
                        lt.tm_sec) +
         ms / 86400000.0;
}

}  // namespace vek
