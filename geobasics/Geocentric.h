// Geodetic <-> earth-centred cartesian coordinates and the seven-parameter datum shift.
#pragma once

#include "Ellipsoids.h"

namespace vek {

// Latitude and longitude in decimal degrees, height in metres above the ellipsoid.
void GeoToCartesian(double latitude, double longitude, double height, TGeoEllipsoid ellipsoid,
                    double& X, double& Y, double& Z);

// Closed-form inverse (Bowring). On the polar axis (X = Y = 0) the result is latitude ±90,
// longitude 0 and height |Z| − b.
void CartesianToGeo(double X, double Y, double Z, TGeoEllipsoid ellipsoid, double& latitude,
                    double& longitude, double& height);

// Helmert transform results.
constexpr int htOk = 0;
constexpr int htInvalidSourceDatum = -1;
constexpr int htInvalidTargetDatum = -2;
constexpr int htLatitudeOutOfRange = -3;
constexpr int htLongitudeOutOfRange = -4;

// Shifts a position from one datum of the datum table (numbers 1 to 271) to another through
// WGS 84. Returns 0 or the last failing check of: source number (-1), target number (-2),
// latitude outside [-90, 90] (-3), longitude outside [-180, 180] (-4). Positions outside their
// ranges are still converted; with an invalid datum number the outputs are NaN.
int HelmertTransform(int sourceDatum, double latitude, double longitude, double height,
                     int targetDatum, double& outLatitude, double& outLongitude,
                     double& outHeight);

}  // namespace vek
