// Map images through GDAL: any raster GDAL reads (GeoTIFF, BSB charts, JPEG 2000, PNG, ...)
// shown by the map control. A file with overviews (a cloud-optimised GeoTIFF, a .ovr beside
// it) is read tile by tile as the view needs it, from the overview that fits; a large file
// without overviews is read once, block row by block row, into a tile pyramid of the
// control's cache.
#pragma once

#include <memory>
#include <string>

#include "MapImageReaders.h"
#include "PyramidImageSource.h"

namespace vek::gdalbridge {
class TRgbReader;
}

namespace vek {

// A raster read on demand from GDAL: tiles of the view's pyramid level read through
// GDAL's overviews, kept in a bounded memory. Used on one thread (the one that paints).
class TGdalImageSource : public TPyramidImageSource {
 public:
  // Raises EVEKGeoGdalError when GDAL cannot open the file or it holds no image.
  explicit TGdalImageSource(const std::string& FileName, size_t TileCacheBytes = 96u << 20);
  ~TGdalImageSource() override;
  QImage Preview() const override { return FPreview; }
  // The last read failure; empty when every read succeeded.
  std::string Error() const override { return FError; }
  bool HasOverviews() const;
  int64_t TilesRead() const { return FTilesRead; }

 protected:
  QImage Tile(int Level, int TX, int TY) override;

 private:
  std::unique_ptr<gdalbridge::TRgbReader> FReader;
  TTileMemory FMemory;
  QImage FPreview;
  std::string FError;
  int64_t FTilesRead = 0;
};

// The reader the map control asks (see MapImageReaders.h): null for a file GDAL does not
// recognise as a raster; a TGdalImageSource for a file with overviews or one read whole; a
// tile pyramid built from GDAL's rows otherwise. Throws std::runtime_error (EVEKGeoGdalError)
// for a raster GDAL recognises but cannot open.
std::shared_ptr<TMapImageSource> OpenGdalMapImage(const TMapImageRequest& Request);

// True when GDAL recognises the file as a raster (without opening it).
bool IsGdalRaster(const std::string& FileName);
// True when GDAL opens the file as a raster with a geotransform or ground control points.
bool IsGeoreferencedRaster(const std::string& FileName);

// Lets every map control of the process show what GDAL reads: files that are not JPEG or
// Windows bitmaps are opened through OpenGdalMapImage.
void RegisterGdalMapImages();

}  // namespace vek
