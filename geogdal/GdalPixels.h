// Pixels of any GDAL raster as the map control shows them (0xffRRGGBB): a palette expanded,
// a grey band repeated, the red, green and blue bands (or the first three) of a colour image;
// data other than bytes stretched from the band's minimum to its maximum; no-data and
// transparent pixels over white.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "GdalInternal.h"

namespace vek::gdalbridge {

class TRgbReader {
 public:
  // Takes the dataset; raises EVEKGeoGdalError for a raster without an image band.
  TRgbReader(DatasetPtr Dataset, const std::string& FileName);
  int Width() const { return FDs->GetRasterXSize(); }
  int Height() const { return FDs->GetRasterYSize(); }
  bool HasOverviews() const;
  // The window (X, Y, W, H) of full-resolution pixels, resampled to BufW x BufH (averaged,
  // or nearest for a palette; GDAL reads its overviews where they fit). False with Error()
  // when GDAL cannot read it.
  bool Read(int X, int Y, int W, int H, int BufW, int BufH, uint32_t* Dst, size_t Stride);
  const std::string& Error() const { return FError; }

 private:
  struct TChannel {
    GDALRasterBand* Band = nullptr;
    double Min = 0, Scale = 1;  // value -> 0 .. 255
    bool HasNoData = false;
    double NoData = 0;
  };
  bool ReadPlane(const TChannel& C, int X, int Y, int W, int H, int BufW, int BufH,
                 std::vector<float>& Out);

  DatasetPtr FDs;
  std::vector<TChannel> FColour;  // 1 (grey or palette) or 3 (red, green, blue)
  TChannel FAlpha;                // Band null when there is none
  std::vector<uint32_t> FPalette; // 0xAARRGGBB per index; empty when not a palette image
  bool FFastRgb = false;          // three byte bands, no alpha or no-data: read interleaved
  std::string FError;
};

}  // namespace vek::gdalbridge
