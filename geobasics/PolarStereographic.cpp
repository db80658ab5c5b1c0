// Universal Polar Stereographic grid.
#include <cmath>
#include <numbers>

#include "Grids.h"
#include "VekTypes.h"

namespace vek {

namespace {

constexpr double DegToRad = std::numbers::pi / 180.0;
constexpr double RadToDeg = 180.0 / std::numbers::pi;

constexpr double UPSScale = 0.994;
constexpr double UPSFalseOrigin = 2000000.0;

struct TUPSConstants {
  double a;
  double e;   // first eccentricity
  double e2;
  double c;   // sqrt(1 − e²)·exp(e·artanh e): the polar value of the conformal factor
};

TUPSConstants ConstantsOf(TGeoEllipsoid ellipsoid) {
  const double a = EllipsoidAxes(ellipsoid).a;
  const double q = EllipsoidAxes(ellipsoid).b / a;
  const double e2 = 1.0 - q * q;
  const double e = std::sqrt(std::fabs(e2));
  return {a, e, e2, std::sqrt(1.0 - e2) * std::exp(e * std::atanh(e))};
}

}  // namespace

void LatLongToUPS(double latitude, double longitude, TGeoEllipsoid ellipsoid, double& easting,
                  double& northing) {
  const TUPSConstants k = ConstantsOf(ellipsoid);
  // Colatitude from the nearer pole.
  const double g = (latitude >= 0.0 ? 90.0 - latitude : latitude + 90.0) * DegToRad;
  const double rho =
      UPSScale * k.a * 2.0 * std::tan(g / 2.0) * std::exp(k.e * std::atanh(k.e * std::cos(g))) /
      k.c;

  double lon = longitude;
  if (lon >= 180.0)
    lon -= 360.0;
  else if (lon < -180.0)
    lon += 360.0;
  const double lambda = lon * DegToRad;
  // sin(π) and cos(π/2) are not exactly 0 in floating point; the grid axes must be.
  const double dE = lon == -180.0 ? 0.0 : rho * std::sin(lambda);
  double dN = std::fabs(lon) == 90.0 ? 0.0 : rho * std::cos(lambda);
  if (latitude >= 0.0) dN = -dN;

  easting = UPSFalseOrigin + dE;
  northing = UPSFalseOrigin + dN;
}

void UPSToLatLong(double easting, double northing, bool southern, TGeoEllipsoid ellipsoid,
                  double& latitude, double& longitude) {
  const TUPSConstants k = ConstantsOf(ellipsoid);
  const double dE = easting - UPSFalseOrigin;
  const double dN = northing - UPSFalseOrigin;
  const double rho = std::hypot(dE, dN);
  const double t = rho * k.c / (UPSScale * k.a);

  // Newton on F(g) = 2·tan(g/2)·exp(e·artanh(e·cos g)) − t, starting from the sphere.
  const double tolerance = 0.1 * std::sqrt(uc_MinDouble);
  double g = 2.0 * std::atan(t / 2.0);
  for (int i = 0; i < 6; ++i) {
    const double cosG = std::cos(g);
    const double conf = std::exp(k.e * std::atanh(k.e * cosG));
    const double cosHalf = std::cos(g / 2.0);
    const double F = 2.0 * std::tan(g / 2.0) * conf - t;
    const double dF = (1.0 - k.e2) * conf / (cosHalf * cosHalf * (1.0 - k.e2 * cosG * cosG));
    const double step = F / dF;
    g -= step;
    if (std::fabs(step) < tolerance) break;
  }

  latitude = 90.0 - g * RadToDeg;
  if (southern) latitude = -latitude;
  longitude = (southern ? -std::atan2(-dE, dN) : -std::atan2(-dE, -dN)) * RadToDeg;
}

}  // namespace vek
