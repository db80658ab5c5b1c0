// Transverse Mercator, UTM and UPS grid coordinates.
#pragma once

#include <cstddef>
#include <string>

#include "Ellipsoids.h"

namespace vek {

// Meridian arc from the equator to latitude phi (radians), metres.
double ArcLengthOfMeridian(double phi, TGeoEllipsoid ellipsoid);

// Central meridian of UTM zone 1..60 in radians; 0 for any other zone.
double UTMCentralMeridian(int zone);

// Unscaled Transverse Mercator about the central meridian lambda0 (all angles in radians).
// Four-term series in the longitude difference: within 0.02 mm of the exact projection inside
// every UTM zone (3° off the meridian, 6° in the widened zones of Norway and Svalbard), but it
// degrades quickly beyond, to about 1 mm at 6° and 1 cm at 9° off on the equator.
void LatLongToTM(double phi, double lambda, double lambda0, TGeoEllipsoid ellipsoid, double& x,
                 double& y);
void TMToLatLong(double x, double y, double lambda0, TGeoEllipsoid ellipsoid, double& phi,
                 double& lambda);

// UTM zone (1..60) and latitude band ('C'..'X', without 'I' and 'O') with the Norway and
// Svalbard exceptions. Outside latitude [-80, 84] or longitude [-180, 180) the zone is 0 and
// the band a blank.
void GeoToUTMZone(double latitude, double longitude, int& zone, char& band);
// "33U", or "" outside the UTM area.
std::string GeoToUTMZone(double latitude, double longitude);

// UTM in the zone GeoToUTMZone chooses (degrees in, metres out). The hemisphere follows from the
// sign of the latitude. Outside the UTM area zone is 0 and the grid is taken about Greenwich.
void LatLongToUTM(double latitude, double longitude, TGeoEllipsoid ellipsoid, int& zone,
                  double& easting, double& northing);
void UTMToLatLong(double easting, double northing, int zone, bool southern,
                  TGeoEllipsoid ellipsoid, double& latitude, double& longitude);

// The same over arrays of count positions, with the single form's results. The zone of each
// point is the one GeoToUTMZone chooses, or forcedZone (1..60) for every point.
void LatLongToUTM(const double* latitude, const double* longitude, size_t count,
                  TGeoEllipsoid ellipsoid, int* zone, double* easting, double* northing,
                  int forcedZone = 0);
// Points of one zone and hemisphere.
void UTMToLatLong(const double* easting, const double* northing, size_t count, int zone,
                  bool southern, TGeoEllipsoid ellipsoid, double* latitude, double* longitude);

// Universal Polar Stereographic; the pole follows from the sign of the latitude.
void LatLongToUPS(double latitude, double longitude, TGeoEllipsoid ellipsoid, double& easting,
                  double& northing);
void UPSToLatLong(double easting, double northing, bool southern, TGeoEllipsoid ellipsoid,
                  double& latitude, double& longitude);

}  // namespace vek
