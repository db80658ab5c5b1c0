// Reference ellipsoids: identifiers, display names, semi-axes and the parameters derived from them.
#pragma once

#include <cstdint>
#include <string>

#include "VekError.h"

namespace vek {

// Raised by the geodesy functions on invalid arguments; messages are plain texts.
class EVEKGeoBasicsError : public EVEKError {
 public:
  using EVEKError::EVEKError;
};

// The 61 reference ellipsoids, in table order; stored as one byte in records.
enum TGeoEllipsoid : uint8_t {
  gelWGS84, gelWGS72, gelWGS66, gelWGS60, gelClrk80RGS, gelClrk66, gelBess41, gelBess41Jap,
  gelBess41Nam, gelNewInt67, gelInt24, gelEver69, gelEver56, gelEver48, gelEver30Ind, gelEverPak,
  gelEverest, gelGRS80, gelAiry30, gelModifAiry, gelFish68, gelFish60, gelModifFish60,
  gelAuNat65, gelKrass40, gelHough60, gelSphere, gelIndo74, gelHelm06, gelSGS85, gelSAm69,
  gelATS77, gelAuthSph, gelBesselMod, gelCGCS2000, gelClrk58, gelClrk66Mich, gelClrk80,
  gelClrk80Arc, gelClrk80Benoit, gelClrk80IGN, gelClrk80intfoot, gelClrk80SGA22, gelDan76,
  gelEver30, gelEver75, gelGEM10C, gelGRS67, gelGRS67Mod, gelHughes80, gelIAG75,
  gelInt24AuthSph, gelOSU86F, gelOSU91A, gelPlessis17, gelPopVisSphere, gelPZ90, gelStruve60,
  gelWarOffice, gelHongKong63, gelNahrwan29
};

constexpr int NumGeoEllipsoids = 61;

enum THemisphere : uint8_t { hemiNorth, hemiSouth };

// Semi-major axis a and semi-minor axis b in metres; a == b for the spheres.
struct TGeoEllipsoidAxes {
  double a;
  double b;
};

// Indexed by TGeoEllipsoid. GeoEllipsoidId holds the enumeration names ("gelWGS84"), the text
// form of an ellipsoid in files.
extern const char* const GeoEllipsoidId[NumGeoEllipsoids];
extern const char* const GeoEllipsoidName[NumGeoEllipsoids];
extern const TGeoEllipsoidAxes GeoEllipsoidData[NumGeoEllipsoids];

// The axes of an ellipsoid; NaN for both when the value lies outside the enumeration, so that
// every conversion on it gives NaN instead of reading past the table.
const TGeoEllipsoidAxes& EllipsoidAxes(TGeoEllipsoid ellipsoid);

// Squared first eccentricity e² = 1 − b²/a².
double GeoEllEccSquared(TGeoEllipsoid ellipsoid);
// Either order of the axes; the larger one is taken as the major axis.
double GeoEllEccSquared(double axis1, double axis2);
// From a reciprocal flattening; 0 stands for a sphere.
double GeoEllEccSquared(double recipFlattening);

// 1/f with f = 1 − b/a; 0 for a sphere.
double RecipFlattening(TGeoEllipsoid ellipsoid);
// Order matters: swapped axes give a negative value.
double RecipFlattening(double majorAxis, double minorAxis);
// From a squared eccentricity in [0, 1]; raises EVEKGeoBasicsError otherwise.
double RecipFlattening(double eccSquared);

// Semi-minor axis from the semi-major axis and the reciprocal flattening (0 = sphere).
double EllipsoidMinAxFlat(double majorAxis, double recipFlattening);
// Semi-minor axis from the semi-major axis and the squared eccentricity.
double EllipsoidMinAxEcc(double majorAxis, double eccSquared);

}  // namespace vek
