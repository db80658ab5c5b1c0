// Calibrations out for other tools, without rewriting pixels: a GDAL VRT over the map image
// carrying ground control points, and an OziExplorer .map file.
//
// The points are the calibration's own control points where GDAL's polynomial on them equals
// our model (3 to 5 points of cmEquiRect or cmUTM, 6 to 9 of cmBiquadraticPn); otherwise they
// are sampled from the calibration: the image corners for the affine models, a 3 x 3 grid for
// the biquadratic one (both reproduced exactly), a 5 x 5 grid for the models GDAL has no
// polynomial for (approximated by GDAL's polynomial of order 3).
#pragma once

#include <string>

#include "MapCalibration.h"

namespace vek {

struct TCalibrationExport {
  int Points = 0;
  bool Sampled = false;       // points taken from the model, not the stored control points
  // Largest distance, in image pixels, between the calibration and GDAL's transformation of
  // the written points over a grid of the image; rounding noise for the exact cases.
  double MaxDeviationPixels = 0;
};

// The VRT's GCPs are longitude/latitude with Projection="EPSG:4326", or easting/northing in
// the UTM system of a cmUTM calibration. ImageFile is read through GDAL for size and bands;
// the VRT refers to it relative to the VRT's folder when it can.
TCalibrationExport WriteCalibrationVrt(const TMapCalibration& Cal, const std::string& ImageFile,
                                       const std::string& OutFile);

// An OziExplorer .map (version 2.2): point records, corner points MMPXY/MMPLL and the image
// size. The datum follows the calibration's ellipsoid (WGS 84 for the geographic models when
// OziExplorer names no datum on it; cmUTM raises then).
TCalibrationExport WriteOziMap(const TMapCalibration& Cal, const std::string& ImageFile,
                               const std::string& OutFile);

}  // namespace vek
