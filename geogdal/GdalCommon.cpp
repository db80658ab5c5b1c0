#include "GdalCommon.h"

#include <gdal.h>

#include <mutex>

namespace vek {

void GdalInit() {
  static std::once_flag Once;
  std::call_once(Once, [] { GDALAllRegister(); });
}

}  // namespace vek

#include <cpl_error.h>

#include "GdalInternal.h"

namespace vek::gdalbridge {

std::string LastGdalError(const std::string& Fallback) {
  const char* Msg = CPLGetLastErrorMsg();
  return Msg && *Msg ? std::string(Msg) : Fallback;
}

DatasetPtr OpenDataset(const std::string& FileName, unsigned Flags) {
  GdalInit();
  CPLErrorReset();
  // The failure reaches the caller as our exception; GDAL need not print it as well.
  CPLPushErrorHandler(CPLQuietErrorHandler);
  DatasetPtr D(GDALDataset::Open(FileName.c_str(), Flags | GDAL_OF_READONLY));
  CPLPopErrorHandler();
  if (!D)
    throw EVEKGeoGdalError("cannot open \"" + FileName + "\": " +
                           LastGdalError("not a file GDAL reads"));
  return D;
}

void TraditionalAxes(OGRSpatialReference& S) {
  S.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
}

TransformPtr MakeTransform(const OGRSpatialReference& Source, const OGRSpatialReference& Target) {
  CPLErrorReset();
  TransformPtr T(OGRCreateCoordinateTransformation(&Source, &Target));
  if (!T)
    throw EVEKGeoGdalError("no transformation between the coordinate systems: " +
                           LastGdalError("PROJ knows none"));
  return T;
}

}  // namespace vek::gdalbridge

namespace vek {

void RasterSize(const std::string& FileName, int& Width, int& Height) {
  gdalbridge::DatasetPtr D = gdalbridge::OpenDataset(FileName, GDAL_OF_RASTER);
  Width = D->GetRasterXSize();
  Height = D->GetRasterYSize();
}

}  // namespace vek
