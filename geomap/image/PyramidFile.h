// The cache file of a tile pyramid: a header, JPEG tiles of every level, and an index that
// is written last, so that a file cut short or changed between runs is recognised and
// rebuilt rather than shown.
//
// Layout (little-endian): 64-byte header {magic "VKGEOPYR", version, tile size, width,
// height, levels, source size, source modification time, index offset, tile count, index
// CRC-32}, the tiles, then per tile {offset u64, length u32, CRC-32 u32}.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace vek {

// Levels of a pyramid: level 0 is the full image, each next one half of each side
// (rounded up), the last one fits a single tile.
struct TPyramidLayout {
  static constexpr int TileSize = 256;
  int Width = 0, Height = 0;
  std::vector<int> LevelW, LevelH, TilesX, TilesY, FirstTile;
  int TileCount = 0;

  static TPyramidLayout For(int Width, int Height);
  int Levels() const { return int(LevelW.size()); }
  int TileIndex(int Level, int TX, int TY) const {
    return FirstTile[Level] + TY * TilesX[Level] + TX;
  }
};

struct TTileEntry {
  uint64_t Offset = 0;
  uint32_t Length = 0;  // 0: not (yet) there
  uint32_t Crc = 0;
};

// What ties a cache file to its image file: a changed file gets a fresh pyramid.
struct TSourceStamp {
  uint64_t Size = 0;
  int64_t MTime = 0;
};

uint32_t Crc32(const void* Data, size_t Size);

// Reads and checks header and index; false when the file is missing, damaged or made for
// another version of the image.
bool ReadPyramidIndex(const std::string& Path, const TPyramidLayout& Layout,
                      const TSourceStamp& Stamp, std::vector<TTileEntry>& Index);

class TPyramidWriter {
 public:
  ~TPyramidWriter();
  bool Open(const std::string& Path, const TPyramidLayout& Layout, const TSourceStamp& Stamp);
  // Appends a tile and flushes it, so that a reader of the same file finds it.
  bool Put(const std::vector<uint8_t>& Bytes, TTileEntry& Entry);
  // Writes index and header and closes the file.
  bool Finish(const std::vector<TTileEntry>& Index);
  // Closes and deletes an unfinished file.
  void Abandon();
  const std::string& Path() const { return FPath; }

 private:
  bool WriteHeader(uint64_t IndexOffset, uint32_t Count, uint32_t IndexCrc);
  std::FILE* FFile = nullptr;
  std::string FPath;
  TPyramidLayout FLayout;
  TSourceStamp FStamp;
  uint64_t FEnd = 0;
};

}  // namespace vek
