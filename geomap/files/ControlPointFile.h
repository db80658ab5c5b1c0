// Ground control point files of the desktop-GIS georeferencer (.points):
//   mapX,mapY,sourceX,sourceY,enable,dX,dY,residual
// one point per line after the header (an optional "#CRS: ..." line may come first). mapX and
// mapY are longitude and latitude (easting and northing for a UTM map); sourceX and sourceY
// are image pixels with y written negative.
#pragma once

#include <string>
#include <vector>

#include "MapCalibration.h"

namespace vek {

struct TControlPoint {
  double MapX = 0;
  double MapY = 0;
  double SourceX = 0;
  double SourceY = 0;  // negative downwards
  bool Enabled = true;
};

// Raises EVEKGeoMapError naming the line of a malformed file.
std::vector<TControlPoint> ReadControlPointFile(const std::string& FileName);
void WriteControlPointFile(const std::string& FileName, const std::vector<TControlPoint>& Points);

// Adds the enabled points as calibration points of the calibration's model (point models
// only; under cmUTM mapX/mapY are easting and northing of the calibration's zone) and refits.
// Returns how many were added.
int AddControlPoints(TMapCalibration& Cal, const std::vector<TControlPoint>& Points);
// The calibration points of a point model as control points.
std::vector<TControlPoint> ControlPointsOf(const TMapCalibration& Cal);

}  // namespace vek
