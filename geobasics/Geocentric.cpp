// Geocentric coordinates and the Helmert datum shift through WGS 84.
#include "Geocentric.h"

#include <cmath>
#include <limits>
#include <numbers>

#include "DatumShift.h"

namespace vek {

namespace {

constexpr double DegToRad = std::numbers::pi / 180.0;
constexpr double RadToDeg = 180.0 / std::numbers::pi;

}  // namespace

void GeoToCartesian(double latitude, double longitude, double height, TGeoEllipsoid ellipsoid,
                    double& X, double& Y, double& Z) {
  const double a = EllipsoidAxes(ellipsoid).a;
  const double e2 = GeoEllEccSquared(ellipsoid);
  const double phi = latitude * DegToRad;
  const double lambda = longitude * DegToRad;
  const double sinPhi = std::sin(phi);
  const double cosPhi = std::cos(phi);
  const double N = a / std::sqrt(1.0 - e2 * sinPhi * sinPhi);
  X = (N + height) * cosPhi * std::cos(lambda);
  Y = (N + height) * cosPhi * std::sin(lambda);
  Z = (N * (1.0 - e2) + height) * sinPhi;
}

void CartesianToGeo(double X, double Y, double Z, TGeoEllipsoid ellipsoid, double& latitude,
                    double& longitude, double& height) {
  const double a = EllipsoidAxes(ellipsoid).a;
  const double b = EllipsoidAxes(ellipsoid).b;
  const double e2 = GeoEllEccSquared(ellipsoid);
  const double f = 1.0 - b / a;  // 0 for the spheres
  const double p = std::sqrt(X * X + Y * Y);
  if (p == 0.0) {
    // On the polar axis Z/p is unbounded and the formula below picks the wrong pole.
    latitude = Z < 0.0 ? -90.0 : 90.0;
    longitude = 0.0;
    height = std::fabs(Z) - b;
    return;
  }
  const double r = std::sqrt(p * p + Z * Z);
  const double mu = std::atan((Z / p) * ((1.0 - f) + e2 * a / r));
  const double sinMu = std::sin(mu);
  const double cosMu = std::cos(mu);
  const double phi = std::atan((Z * (1.0 - f) + e2 * a * sinMu * sinMu * sinMu) /
                               ((1.0 - f) * (p - e2 * a * cosMu * cosMu * cosMu)));
  const double sinPhi = std::sin(phi);
  latitude = phi * RadToDeg;
  longitude = std::atan2(Y, X) * RadToDeg;
  height = p * std::cos(phi) + Z * sinPhi - a * std::sqrt(1.0 - e2 * sinPhi * sinPhi);
}

int HelmertTransform(int sourceDatum, double latitude, double longitude, double height,
                     int targetDatum, double& outLatitude, double& outLongitude,
                     double& outHeight) {
  // Later checks overwrite earlier codes; the comparisons are written so that NaN fails them.
  int status = htOk;
  const bool sourceOk = sourceDatum >= 1 && sourceDatum <= NumDatums;
  const bool targetOk = targetDatum >= 1 && targetDatum <= NumDatums;
  if (!sourceOk) status = htInvalidSourceDatum;
  if (!targetOk) status = htInvalidTargetDatum;
  if (!(latitude >= -90.0 && latitude <= 90.0)) status = htLatitudeOutOfRange;
  if (!(longitude >= -180.0 && longitude <= 180.0)) status = htLongitudeOutOfRange;
  if (!sourceOk || !targetOk) {
    outLatitude = outLongitude = outHeight = std::numeric_limits<double>::quiet_NaN();
    return status;
  }

  const TDatumEntry& source = DatumEntry(sourceDatum);
  const TDatumEntry& target = DatumEntry(targetDatum);
  TCartesian p;
  GeoToCartesian(latitude, longitude, height, source.Ellipsoid, p.X, p.Y, p.Z);
  const TCartesian q = WGS84ToDatum(target, DatumToWGS84(source, p));
  CartesianToGeo(q.X, q.Y, q.Z, target.Ellipsoid, outLatitude, outLongitude, outHeight);
  return status;
}

}  // namespace vek
