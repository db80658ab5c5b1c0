// World files: the six-number affine georeference that GIS tools keep beside an image
// (.jgw, .pgw, .bpw, .tfw, .wld ...). Coordinates here are longitude (x) and latitude (y) in
// degrees. The file's origin is the centre of the top-left pixel; our pixel coordinates put
// (0, 0) at the image's top-left corner, so the two differ by half a pixel.
#pragma once

#include <string>
#include <vector>

#include "MapCalibration.h"

namespace vek {

struct TWorldFile {
  double A = 0;  // longitude per pixel column
  double D = 0;  // latitude per pixel column (rotation)
  double B = 0;  // longitude per pixel row (rotation)
  double E = 0;  // latitude per pixel row, negative for north up
  double C = 0;  // longitude of the centre of the top-left pixel
  double F = 0;  // latitude of the centre of the top-left pixel
};

// Raises EVEKGeoMapError, naming the file, for a file that cannot be read, whose first six lines
// are not one finite number each, or whose top-left pixel is not a position on the earth.
TWorldFile ReadWorldFile(const std::string& FileName);
void WriteWorldFile(const std::string& FileName, const TWorldFile& W);

// The world file names GIS tools look for beside an image, most specific first
// (map.jpg: map.jgw, map.jpgw, map.wld).
std::vector<std::string> WorldFileCandidates(const std::string& ImageFile);
// The first candidate that exists, or "".
std::string FindWorldFile(const std::string& ImageFile);

// Replaces the calibration with an equirectangular one through the four image corners.
// A rotated world file, or one whose image corners are not positions on the earth, raises
// EVEKGeoMapError (naming FileName when given) and leaves the calibration as it was.
void CalibrateFromWorldFile(TMapCalibration& Cal, const TWorldFile& W, int ImgWidth,
                            int ImgHeight, const std::string& FileName = {});

struct TWorldFileFit {
  TWorldFile File;
  bool Exact = false;     // the calibration is affine itself
  double RmsPixels = 0;   // of the affine fit over the image, in pixels
};
// The affine georeference of a calibrated image: exact for the equirectangular model, the
// least-squares fit over a grid of the image's pixels for the others.
TWorldFileFit WorldFileOf(const TMapCalibration& Cal, int ImgWidth, int ImgHeight);

}  // namespace vek
