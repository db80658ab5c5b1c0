// Unit Vek_geogdal: the bridge to GDAL. Calibrations from georeferenced rasters and
// OziExplorer maps, calibrations out as GDAL VRT and OziExplorer .map files, and vector files
// (Shapefile, GeoPackage, GeoJSON, GPX, KML ...) into a geographic database, and any raster
// GDAL reads shown as a map image (RegisterGdalMapImages).
#pragma once

#include "CalibrationExport.h"
#include "GdalCommon.h"
#include "GdalImageSource.h"
#include "RasterCalibration.h"
#include "VectorImport.h"
