// Small helpers of the GDAL bridge's own files.
#pragma once

#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <memory>
#include <string>

#include "GdalCommon.h"

namespace vek::gdalbridge {

struct DatasetCloser {
  void operator()(GDALDataset* D) const { GDALClose(GDALDataset::ToHandle(D)); }
};
using DatasetPtr = std::unique_ptr<GDALDataset, DatasetCloser>;

struct TransformDeleter {
  void operator()(OGRCoordinateTransformation* T) const {
    OGRCoordinateTransformation::DestroyCT(T);
  }
};
using TransformPtr = std::unique_ptr<OGRCoordinateTransformation, TransformDeleter>;

// GDAL's last error message, or Fallback when it left none.
std::string LastGdalError(const std::string& Fallback);

// Opens a raster or vector file read-only; raises EVEKGeoGdalError naming the file.
DatasetPtr OpenDataset(const std::string& FileName, unsigned Flags);

// Longitude first, whatever the coordinate system's authority says.
void TraditionalAxes(OGRSpatialReference& S);

// A transformation from Source to Target (both with traditional axes); raises when PROJ has
// none.
TransformPtr MakeTransform(const OGRSpatialReference& Source, const OGRSpatialReference& Target);

}  // namespace vek::gdalbridge
