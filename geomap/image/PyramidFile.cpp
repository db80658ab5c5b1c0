#include "PyramidFile.h"

#include <zlib.h>

#include <cstring>
#include <filesystem>

namespace vek {

namespace {

constexpr char Magic[8] = {'V', 'K', 'G', 'E', 'O', 'P', 'Y', 'R'};
constexpr uint32_t Version = 1;
constexpr int HeaderSize = 64;
constexpr int EntrySize = 16;

void Put32(uint8_t* P, uint32_t V) {
  for (int i = 0; i < 4; ++i) P[i] = uint8_t(V >> (8 * i));
}
void Put64(uint8_t* P, uint64_t V) {
  for (int i = 0; i < 8; ++i) P[i] = uint8_t(V >> (8 * i));
}
uint32_t Get32(const uint8_t* P) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | P[i];
  return v;
}
uint64_t Get64(const uint8_t* P) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = v << 8 | P[i];
  return v;
}

std::vector<uint8_t> EncodeIndex(const std::vector<TTileEntry>& Index) {
  std::vector<uint8_t> bytes(Index.size() * EntrySize);
  for (size_t i = 0; i < Index.size(); ++i) {
    uint8_t* p = bytes.data() + i * EntrySize;
    Put64(p, Index[i].Offset);
    Put32(p + 8, Index[i].Length);
    Put32(p + 12, Index[i].Crc);
  }
  return bytes;
}

}  // namespace

uint32_t Crc32(const void* Data, size_t Size) {
  return uint32_t(crc32(0L, static_cast<const Bytef*>(Data), uInt(Size)));
}

TPyramidLayout TPyramidLayout::For(int Width, int Height) {
  TPyramidLayout l;
  l.Width = Width;
  l.Height = Height;
  int w = std::max(Width, 1), h = std::max(Height, 1);
  for (;;) {
    l.LevelW.push_back(w);
    l.LevelH.push_back(h);
    // 64-bit steps: a side may be as long as an int allows.
    l.TilesX.push_back(int((int64_t(w) + TileSize - 1) / TileSize));
    l.TilesY.push_back(int((int64_t(h) + TileSize - 1) / TileSize));
    l.FirstTile.push_back(l.TileCount);
    l.TileCount += l.TilesX.back() * l.TilesY.back();
    if (w <= TileSize && h <= TileSize) break;
    w = int((int64_t(w) + 1) / 2);
    h = int((int64_t(h) + 1) / 2);
  }
  return l;
}

bool ReadPyramidIndex(const std::string& Path, const TPyramidLayout& Layout,
                      const TSourceStamp& Stamp, std::vector<TTileEntry>& Index) {
  std::FILE* f = std::fopen(Path.c_str(), "rb");
  if (!f) return false;
  uint8_t h[HeaderSize];
  bool ok = std::fread(h, 1, HeaderSize, f) == HeaderSize && std::memcmp(h, Magic, 8) == 0 &&
            Get32(h + 8) == Version && Get32(h + 12) == uint32_t(TPyramidLayout::TileSize) &&
            Get32(h + 16) == uint32_t(Layout.Width) && Get32(h + 20) == uint32_t(Layout.Height) &&
            Get32(h + 24) == uint32_t(Layout.Levels()) && Get64(h + 32) == Stamp.Size &&
            int64_t(Get64(h + 40)) == Stamp.MTime && Get32(h + 56) == uint32_t(Layout.TileCount);
  const uint64_t indexOffset = ok ? Get64(h + 48) : 0;
  std::error_code ec;
  const uint64_t fileSize = std::filesystem::file_size(Path, ec);
  ok = ok && !ec && indexOffset >= HeaderSize &&
       indexOffset + uint64_t(Layout.TileCount) * EntrySize == fileSize;
  std::vector<uint8_t> bytes;
  if (ok) {
    bytes.resize(size_t(Layout.TileCount) * EntrySize);
    ok = fseeko(f, off_t(indexOffset), SEEK_SET) == 0 &&
         std::fread(bytes.data(), 1, bytes.size(), f) == bytes.size() &&
         Crc32(bytes.data(), bytes.size()) == Get32(h + 60);
  }
  std::fclose(f);
  if (!ok) return false;
  Index.assign(size_t(Layout.TileCount), TTileEntry{});
  for (size_t i = 0; i < Index.size(); ++i) {
    const uint8_t* p = bytes.data() + i * EntrySize;
    TTileEntry& e = Index[i];
    e.Offset = Get64(p);
    e.Length = Get32(p + 8);
    e.Crc = Get32(p + 12);
    if (e.Length == 0 || e.Offset < HeaderSize || e.Offset + e.Length > indexOffset) return false;
  }
  return true;
}

TPyramidWriter::~TPyramidWriter() { Abandon(); }

bool TPyramidWriter::Open(const std::string& Path, const TPyramidLayout& Layout,
                          const TSourceStamp& Stamp) {
  FPath = Path;
  FLayout = Layout;
  FStamp = Stamp;
  FFile = std::fopen(Path.c_str(), "w+b");
  if (!FFile) return false;
  FEnd = HeaderSize;
  // An unfinished file carries no index offset and so never passes as complete.
  return WriteHeader(0, 0, 0);
}

bool TPyramidWriter::WriteHeader(uint64_t IndexOffset, uint32_t Count, uint32_t IndexCrc) {
  uint8_t h[HeaderSize] = {};
  std::memcpy(h, Magic, 8);
  Put32(h + 8, Version);
  Put32(h + 12, TPyramidLayout::TileSize);
  Put32(h + 16, uint32_t(FLayout.Width));
  Put32(h + 20, uint32_t(FLayout.Height));
  Put32(h + 24, uint32_t(FLayout.Levels()));
  Put64(h + 32, FStamp.Size);
  Put64(h + 40, uint64_t(FStamp.MTime));
  Put64(h + 48, IndexOffset);
  Put32(h + 56, Count);
  Put32(h + 60, IndexCrc);
  return fseeko(FFile, 0, SEEK_SET) == 0 && std::fwrite(h, 1, HeaderSize, FFile) == HeaderSize &&
         std::fflush(FFile) == 0;
}

bool TPyramidWriter::Put(const std::vector<uint8_t>& Bytes, TTileEntry& Entry) {
  if (!FFile || Bytes.empty()) return false;
  if (fseeko(FFile, off_t(FEnd), SEEK_SET) != 0) return false;
  if (std::fwrite(Bytes.data(), 1, Bytes.size(), FFile) != Bytes.size()) return false;
  if (std::fflush(FFile) != 0) return false;
  Entry.Offset = FEnd;
  Entry.Length = uint32_t(Bytes.size());
  Entry.Crc = Crc32(Bytes.data(), Bytes.size());
  FEnd += Bytes.size();
  return true;
}

bool TPyramidWriter::Finish(const std::vector<TTileEntry>& Index) {
  if (!FFile) return false;
  const std::vector<uint8_t> bytes = EncodeIndex(Index);
  bool ok = fseeko(FFile, off_t(FEnd), SEEK_SET) == 0 &&
            std::fwrite(bytes.data(), 1, bytes.size(), FFile) == bytes.size() &&
            std::fflush(FFile) == 0 &&
            WriteHeader(FEnd, uint32_t(Index.size()), Crc32(bytes.data(), bytes.size()));
  ok = std::fclose(FFile) == 0 && ok;
  FFile = nullptr;
  return ok;
}

void TPyramidWriter::Abandon() {
  if (!FFile) return;
  std::fclose(FFile);
  FFile = nullptr;
  std::error_code ec;
  std::filesystem::remove(FPath, ec);
}

}  // namespace vek
