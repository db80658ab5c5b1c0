// Calibrations from georeferenced rasters: anything GDAL opens with a geotransform or ground
// control points (GeoTIFF, OziExplorer .map, BSB charts, VRT, images with world files ...).
//
// Pixel coordinates are GDAL's pixel/line: (0, 0) is the top-left corner of the image, as in
// the calibration's own pixel positions.
#pragma once

#include <string>
#include <vector>

#include "MapCalibration.h"

namespace vek {

struct TRasterCalibration {
  TMapCalibration Calibration;  // fitted, image size set, MapFName the image to display
  std::string ImageFile;        // the raster's image (for a .map, the scan it names)
  std::string Method;           // how the calibration was found, for the user
  double RmsPixels = 0;         // residual RMS of the fit over its control points
  std::vector<std::string> Warnings;
};

// The calibration of a georeferenced raster:
// - a geotransform in geographic degrees gives cmEquiRect through the image corners;
// - a geotransform in UTM (on an ellipsoid of our table) gives cmUTM;
// - a geotransform in any other projected system gives cmBiquadraticPn fitted to a grid of
//   pixels transformed through PROJ to the system's own geographic coordinates;
// - 3 to 5 ground control points give cmEquiRect, 6 or more cmBiquadraticPn (least squares
//   over the points, as GDAL's polynomials of order 1 and 2).
// Raises EVEKGeoGdalError for files GDAL cannot open and rasters without a usable georeference.
TRasterCalibration CalibrationFromRaster(const std::string& FileName);

// A JPEG copy of a raster, same size, for map controls that read JPEG and BMP only: a palette
// expanded to RGB, other data types than bytes scaled to 0 .. 255, the first three bands (or
// the first) kept. Raises EVEKGeoGdalError when GDAL cannot write it.
void WriteDisplayJpeg(const std::string& Raster, const std::string& OutFile);

// The table ellipsoid with these axes (metres, within a millimetre); false when none has them.
bool MatchEllipsoid(double SemiMajor, double SemiMinor, TGeoEllipsoid& Ellipsoid);

}  // namespace vek
