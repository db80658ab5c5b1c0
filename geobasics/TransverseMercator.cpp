// Transverse Mercator series and the UTM grid.
#include <cmath>
#include <limits>
#include <numbers>

#include "Grids.h"
#include "TMSeries.h"

// With fused multiply-add (this file is compiled with -ffp-contract=fast) the series take
// about a quarter fewer instructions and a shorter chain; the clone is chosen once at load
// time. The batch forms get the same instruction set as the single forms on any machine, so
// that both round alike. Without FMA the results are the same bits as without the clones.
#define VEK_TM_SCALAR_CLONES __attribute__((target_clones("fma", "default")))
#define VEK_TM_VECTOR_CLONES __attribute__((target_clones("arch=x86-64-v3", "fma", "default")))

namespace vek {

namespace tm {

namespace {

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

}  // namespace

TMeridianSeries SeriesTableData[NumGeoEllipsoids + 1];
bool SeriesTableFilled = false;

void FillSeriesTable() {
  static const bool filled = [] {
    for (int i = 0; i < NumGeoEllipsoids; ++i) SeriesTableData[i] = MakeSeries(static_cast<TGeoEllipsoid>(i));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    SeriesTableData[NumGeoEllipsoids] = {nan, nan, nan, nan, nan, nan, nan, nan, nan, nan, nan, nan, nan};
    __atomic_store_n(&SeriesTableFilled, true, __ATOMIC_RELEASE);
    return true;
  }();
  (void)filled;
}

}  // namespace tm

double ArcLengthOfMeridian(double phi, TGeoEllipsoid ellipsoid) {
  return tm::ArcLength(tm::SeriesOf(ellipsoid), phi, std::sin(phi), std::cos(phi));
}

double UTMCentralMeridian(int zone) {
  if (zone < 1 || zone > 60) return 0.0;
  return tm::CentralMeridian(zone);
}

VEK_TM_SCALAR_CLONES
void LatLongToTM(double phi, double lambda, double lambda0, TGeoEllipsoid ellipsoid, double& x,
                 double& y) {
  tm::Forward(tm::SeriesOf(ellipsoid), phi, lambda - lambda0, x, y);
}

VEK_TM_SCALAR_CLONES
void TMToLatLong(double x, double y, double lambda0, TGeoEllipsoid ellipsoid, double& phi,
                 double& lambda) {
  double l;
  tm::Inverse(tm::SeriesOf(ellipsoid), x, y, phi, l);
  lambda = lambda0 + l;
}

void GeoToUTMZone(double latitude, double longitude, int& zone, char& band) {
  int k;
  zone = tm::ZoneOf(latitude, longitude, k);
  // Band letters C .. X without I and O.
  band = k < 0 ? ' ' : static_cast<char>('C' + k + (k >= 6) + (k >= 11));
}

std::string GeoToUTMZone(double latitude, double longitude) {
  int zone;
  char band;
  GeoToUTMZone(latitude, longitude, zone, band);
  if (zone == 0) return std::string();
  return std::to_string(zone) + band;
}

VEK_TM_SCALAR_CLONES
void LatLongToUTM(double latitude, double longitude, TGeoEllipsoid ellipsoid, int& zone,
                  double& easting, double& northing) {
  int band;
  zone = tm::ZoneOf(latitude, longitude, band);
  tm::ToUTM(tm::SeriesOf(ellipsoid), latitude, longitude, zone, easting, northing);
}

VEK_TM_SCALAR_CLONES
void UTMToLatLong(double easting, double northing, int zone, bool southern,
                  TGeoEllipsoid ellipsoid, double& latitude, double& longitude) {
  tm::FromUTM(tm::SeriesOf(ellipsoid), easting, northing, zone, southern, latitude, longitude);
}

// The batch forms run the single form's arithmetic in loops the compiler vectorises (clones
// for AVX2 and FMA chosen at run time); points beyond the inline sine's range are redone one by
// one, exactly as the single form does them.
VEK_TM_VECTOR_CLONES
void LatLongToUTM(const double* latitude, const double* longitude, size_t count,
                  TGeoEllipsoid ellipsoid, int* zone, double* easting, double* northing,
                  int forcedZone) {
  const tm::TMeridianSeries s = tm::SeriesOf(ellipsoid);  // a copy the stores cannot alias
  int band;
  // The longitudes in radians pass through the eastings, so that the vector loop cannot fuse
  // their rounding into the subtraction of the central meridian (see tm::ToUTM).
  for (size_t i = 0; i < count; ++i) {
    zone[i] = forcedZone != 0 ? forcedZone : tm::ZoneOf(latitude[i], longitude[i], band);
    easting[i] = longitude[i] * tm::DegToRad;
  }
#pragma omp simd
  for (size_t i = 0; i < count; ++i) {
    const double phi = latitude[i] * tm::DegToRad;
    double sinPhi, cosPhi, x, y;
    tm::SinCosKernel(phi, sinPhi, cosPhi);
    tm::ForwardSC(s, phi, sinPhi, cosPhi, easting[i] - tm::CentralMeridian(zone[i]), x, y);
    tm::ScaleToUTM(x, y, easting[i], northing[i]);
  }
  for (size_t i = 0; i < count; ++i)
    if (!tm::SinCosInRange(latitude[i] * tm::DegToRad))
      tm::ToUTM(s, latitude[i], longitude[i], zone[i], easting[i], northing[i]);
}

VEK_TM_VECTOR_CLONES
void UTMToLatLong(const double* easting, const double* northing, size_t count, int zone,
                  bool southern, TGeoEllipsoid ellipsoid, double* latitude, double* longitude) {
  const tm::TMeridianSeries s = tm::SeriesOf(ellipsoid);  // a copy the stores cannot alias
  const double lambda0 = tm::CentralMeridian(zone), south = tm::SouthOffset(southern);
#pragma omp simd
  for (size_t i = 0; i < count; ++i) {
    double x, y, sinY, cosY, phi, l;
    tm::UnscaleUTM(easting[i], northing[i], south, x, y);
    const double yp = y * s.invAlpha;
    tm::SinCosKernel(yp, sinY, cosY);
    tm::InverseSC(s, x, yp, sinY, cosY, phi, l);
    latitude[i] = phi * tm::RadToDeg;
    longitude[i] = (lambda0 + l) * tm::RadToDeg;
  }
  for (size_t i = 0; i < count; ++i) {
    double x, y;
    tm::UnscaleUTM(easting[i], northing[i], south, x, y);
    if (!tm::SinCosInRange(y * s.invAlpha))
      tm::FromUTM(s, easting[i], northing[i], zone, southern, latitude[i], longitude[i]);
  }
}

}  // namespace vek
