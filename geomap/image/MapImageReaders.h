// Readers of map image files beyond those the map control decodes itself (JPEG, Windows
// bitmap, and PNG and TIFF under a raised pixel limit). A unit that reads more formats (the
// GDAL bridge: GeoTIFF, BSB charts, JPEG 2000, ...) registers one; the control then offers
// every file that is not a JPEG or bitmap to the readers, newest first, before its own.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "MapImageSource.h"

namespace vek {

struct TMapImageRequest {
  std::string FileName;
  std::string CacheDir;          // where tile pyramids go (empty: the user's cache)
  int64_t MemoryPixels = 0;      // images up to this size will be read whole
  int64_t PixelLimit = 0;        // larger images are refused before anything is read
  size_t TileCacheBytes = 96u << 20;
};

// A source for the file, or null when the file is not one the reader reads. Throws
// std::runtime_error with the reason when it is but cannot be read.
using TMapImageReader = std::function<std::shared_ptr<TMapImageSource>(const TMapImageRequest&)>;

// Adds a reader for the whole process; the key replaces an earlier reader of the same key.
void RegisterMapImageReader(const std::string& Key, TMapImageReader Reader);
void UnregisterMapImageReader(const std::string& Key);
// The first source a registered reader gives for the file; null when none reads it.
std::shared_ptr<TMapImageSource> OpenWithMapImageReaders(const TMapImageRequest& Request);
bool HaveMapImageReaders();

}  // namespace vek
