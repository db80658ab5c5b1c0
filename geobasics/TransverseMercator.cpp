// Transverse Mercator series and the UTM grid.
#include <cmath>
#include <numbers>

#include "Grids.h"

namespace vek {

namespace {

constexpr double DegToRad = std::numbers::pi / 180.0;
constexpr double RadToDeg = 180.0 / std::numbers::pi;

constexpr double UTMScale = 0.9996;
constexpr double UTMFalseEasting = 500000.0;
constexpr double UTMFalseNorthingSouth = 10000000.0;

// Series coefficients of one ellipsoid, in the third flattening n.
struct TMeridianSeries {
  double alpha;                            // mean radius of the meridian
  double beta, gamma, delta, epsilon;      // arc length
  double betaF, gammaF, deltaF, epsilonF;  // footpoint latitude
  double a2b;                              // a²/b, the polar radius of curvature
  double invA2b, invAlpha;
  double ep2;                              // second eccentricity squared
};

TMeridianSeries MakeSeries(TGeoEllipsoid ellipsoid) {
  const double a = GeoEllipsoidData[ellipsoid].a;
  const double b = GeoEllipsoidData[ellipsoid].b;
  const double n = (a - b) / (a + b);
  const double n2 = n * n, n3 = n2 * n, n4 = n3 * n, n5 = n4 * n;
  TMeridianSeries s;
  s.alpha = ((a + b) / 2.0) * (1.0 + n2 / 4.0 + n4 / 64.0);
  s.beta = -3.0 * n / 2.0 + 9.0 * n3 / 16.0 - 3.0 * n5 / 32.0;
  s.gamma = 15.0 * n2 / 16.0 - 15.0 * n4 / 32.0;
  s.delta = -35.0 * n3 / 48.0 + 105.0 * n5 / 256.0;
  s.epsilon = 315.0 * n4 / 512.0;
  s.betaF = 3.0 * n / 2.0 - 27.0 * n3 / 32.0 + 269.0 * n5 / 512.0;
  s.gammaF = 21.0 * n2 / 16.0 - 55.0 * n4 / 32.0;
  s.deltaF = 151.0 * n3 / 96.0 - 417.0 * n5 / 128.0;
  s.epsilonF = 1097.0 * n4 / 512.0;
  s.a2b = a * a / b;
  s.invA2b = b / (a * a);
  s.invAlpha = 1.0 / s.alpha;
  s.ep2 = (a * a - b * b) / (b * b);
  return s;
}

// Derived once per ellipsoid; the batch conversions should not pay the divisions per point.
const TMeridianSeries& SeriesOf(TGeoEllipsoid ellipsoid) {
  static const struct TTable {
    TMeridianSeries s[NumGeoEllipsoids];
    TTable() {
      for (int i = 0; i < NumGeoEllipsoids; ++i) s[i] = MakeSeries(static_cast<TGeoEllipsoid>(i));
    }
  } table;
  return table.s[ellipsoid];
}

// c1·sin 2u + c2·sin 4u + c3·sin 6u + c4·sin 8u from sin u and cos u, by the multiple-angle
// identities instead of four further sine calls.
inline double SineSeries(double sinU, double cosU, double c1, double c2, double c3, double c4) {
  const double s2 = 2.0 * sinU * cosU;
  const double c2u = (cosU - sinU) * (cosU + sinU);
  const double s4 = 2.0 * s2 * c2u;
  const double c4u = (c2u - s2) * (c2u + s2);
  const double s6 = s4 * c2u + c4u * s2;
  const double s8 = 2.0 * s4 * c4u;
  return c1 * s2 + c2 * s4 + c3 * s6 + c4 * s8;
}

inline double ArcLength(const TMeridianSeries& s, double phi, double sinPhi, double cosPhi) {
  return s.alpha * (phi + SineSeries(sinPhi, cosPhi, s.beta, s.gamma, s.delta, s.epsilon));
}

}  // namespace

double ArcLengthOfMeridian(double phi, TGeoEllipsoid ellipsoid) {
  return ArcLength(SeriesOf(ellipsoid), phi, std::sin(phi), std::cos(phi));
}

double UTMCentralMeridian(int zone) {
  if (zone < 1 || zone > 60) return 0.0;
  return (6.0 * zone - 183.0) * DegToRad;
}

void LatLongToTM(double phi, double lambda, double lambda0, TGeoEllipsoid ellipsoid, double& x,
                 double& y) {
  const TMeridianSeries& s = SeriesOf(ellipsoid);
  const double sinPhi = std::sin(phi);
  const double cosPhi = std::cos(phi);
  const double nu2 = s.ep2 * cosPhi * cosPhi;
  const double N = s.a2b / std::sqrt(1.0 + nu2);
  const double t = sinPhi / cosPhi;
  const double t2 = t * t;
  const double L = cosPhi * (lambda - lambda0);  // the powers of cos φ travel with l
  const double L2 = L * L;

  // Coefficients times reciprocal constants: the compiler must not turn the divisions into
  // multiplications itself, and they dominate the cost of the series.
  const double x3 = (1.0 - t2 + nu2) * (1.0 / 6.0);
  const double x5 = (5.0 - 18.0 * t2 + t2 * t2 + 14.0 * nu2 - 58.0 * t2 * nu2) * (1.0 / 120.0);
  const double x7 = (61.0 - 479.0 * t2 + 179.0 * t2 * t2 - t2 * t2 * t2) * (1.0 / 5040.0);
  x = N * L * (1.0 + L2 * (x3 + L2 * (x5 + L2 * x7)));

  const double y4 = (5.0 - t2 + 9.0 * nu2 + 4.0 * nu2 * nu2) * (1.0 / 24.0);
  const double y6 =
      (61.0 - 58.0 * t2 + t2 * t2 + 270.0 * nu2 - 330.0 * t2 * nu2) * (1.0 / 720.0);
  const double y8 = (1385.0 - 3111.0 * t2 + 543.0 * t2 * t2 - t2 * t2 * t2) * (1.0 / 40320.0);
  y = ArcLength(s, phi, sinPhi, cosPhi) + t * N * L2 * (0.5 + L2 * (y4 + L2 * (y6 + L2 * y8)));
}

void TMToLatLong(double x, double y, double lambda0, TGeoEllipsoid ellipsoid, double& phi,
                 double& lambda) {
  const TMeridianSeries& s = SeriesOf(ellipsoid);
  // Footpoint latitude: the latitude whose meridian arc is y.
  const double yp = y * s.invAlpha;
  const double sinY = std::sin(yp);
  const double cosY = std::cos(yp);
  const double d = SineSeries(sinY, cosY, s.betaF, s.gammaF, s.deltaF, s.epsilonF);
  const double phiF = yp + d;

  // |d| < 0.003 rad, so sin d and cos d by their series are exact to rounding; that spares a
  // second pair of trigonometric calls for sin φf and cos φf.
  const double d2 = d * d;
  const double sinD = d * (1.0 - d2 * (1.0 / 6.0) * (1.0 - d2 * (1.0 / 20.0)));
  const double cosD = 1.0 - d2 * 0.5 * (1.0 - d2 * (1.0 / 12.0) * (1.0 - d2 * (1.0 / 30.0)));
  const double sinF = sinY * cosD + cosY * sinD;
  const double cf = cosY * cosD - sinY * sinD;
  const double invCf = 1.0 / cf;
  const double nuf2 = s.ep2 * cf * cf;
  const double u = x * std::sqrt(1.0 + nuf2) * s.invA2b;  // x / Nf
  const double tf = sinF * invCf;
  const double tf2 = tf * tf;
  const double tf4 = tf2 * tf2;
  const double u2 = u * u;

  const double p2 = (-1.0 - nuf2) * 0.5;
  const double p4 = (5.0 + 3.0 * tf2 + 6.0 * nuf2 - 6.0 * tf2 * nuf2 - 3.0 * nuf2 * nuf2 -
                     9.0 * tf2 * nuf2 * nuf2) * (1.0 / 24.0);
  const double p6 =
      (-61.0 - 90.0 * tf2 - 45.0 * tf4 - 107.0 * nuf2 + 162.0 * tf2 * nuf2) * (1.0 / 720.0);
  const double p8 =
      (1385.0 + 3633.0 * tf2 + 4095.0 * tf4 + 1575.0 * tf4 * tf2) * (1.0 / 40320.0);
  phi = phiF + tf * u2 * (p2 + u2 * (p4 + u2 * (p6 + u2 * p8)));

  const double l3 = (-1.0 - 2.0 * tf2 - nuf2) * (1.0 / 6.0);
  const double l5 =
      (5.0 + 28.0 * tf2 + 24.0 * tf4 + 6.0 * nuf2 + 8.0 * tf2 * nuf2) * (1.0 / 120.0);
  const double l7 = (-61.0 - 662.0 * tf2 - 1320.0 * tf4 - 720.0 * tf4 * tf2) * (1.0 / 5040.0);
  lambda = lambda0 + u * invCf * (1.0 + u2 * (l3 + u2 * (l5 + u2 * l7)));
}

void GeoToUTMZone(double latitude, double longitude, int& zone, char& band) {
  zone = 0;
  band = ' ';
  // Negated tests so that NaN falls outside as well.
  if (!(latitude >= -80.0 && latitude <= 84.0 && longitude >= -180.0 && longitude < 180.0))
    return;

  int k = static_cast<int>(std::floor(latitude + 80.0)) / 8;
  if (k >= 6) ++k;   // no band I
  if (k >= 12) ++k;  // no band O
  if (k > 21) k = 21;  // 80 to 84 still belongs to X
  band = static_cast<char>('C' + k);

  zone = static_cast<int>(std::floor((longitude + 180.0) / 6.0)) + 1;
  // Just below 180 the sum can round up to 360 and would give zone 61.
  if (zone > 60) zone = 60;

  if (band == 'V' && longitude >= 3.0 && longitude < 12.0) zone = 32;
  if (band == 'X' && longitude >= 0.0 && longitude < 42.0)
    zone = static_cast<int>(std::floor((longitude + 3.0) / 12.0)) * 2 + 31;
}

std::string GeoToUTMZone(double latitude, double longitude) {
  int zone;
  char band;
  GeoToUTMZone(latitude, longitude, zone, band);
  if (zone == 0) return std::string();
  return std::to_string(zone) + band;
}

void LatLongToUTM(double latitude, double longitude, TGeoEllipsoid ellipsoid, int& zone,
                  double& easting, double& northing) {
  char band;
  GeoToUTMZone(latitude, longitude, zone, band);
  double x, y;
  LatLongToTM(latitude * DegToRad, longitude * DegToRad, UTMCentralMeridian(zone), ellipsoid, x,
              y);
  easting = x * UTMScale + UTMFalseEasting;
  northing = y * UTMScale;
  if (northing < 0.0) northing += UTMFalseNorthingSouth;
}

void UTMToLatLong(double easting, double northing, int zone, bool southern,
                  TGeoEllipsoid ellipsoid, double& latitude, double& longitude) {
  const double x = (easting - UTMFalseEasting) * (1.0 / UTMScale);
  const double y = (southern ? northing - UTMFalseNorthingSouth : northing) * (1.0 / UTMScale);
  double phi, lambda;
  TMToLatLong(x, y, UTMCentralMeridian(zone), ellipsoid, phi, lambda);
  latitude = phi * RadToDeg;
  longitude = lambda * RadToDeg;
}

}  // namespace vek
