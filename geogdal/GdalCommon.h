// What the GDAL bridge shares: its exception and the one-time driver registration.
#pragma once

#include <string>

#include "VekError.h"

namespace vek {

// Raised by the GDAL bridge: files GDAL cannot open, rasters without a usable georeference,
// coordinate systems that cannot be transformed.
class EVEKGeoGdalError : public EVEKError {
 public:
  using EVEKError::EVEKError;
};

// Registers GDAL's drivers once per process; every entry point of the bridge calls it.
void GdalInit();

// Width and height of a raster as GDAL reads it; raises EVEKGeoGdalError when it cannot.
void RasterSize(const std::string& FileName, int& Width, int& Height);

}  // namespace vek
