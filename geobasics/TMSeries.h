// The Transverse Mercator series and the UTM zone rule as inline code, shared by the
// single-point conversions and the batch forms, so that both give the same results and the
// batch loops see the whole computation.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>

#include "Ellipsoids.h"

namespace vek::tm {

inline constexpr double DegToRad = std::numbers::pi / 180.0;
inline constexpr double RadToDeg = 180.0 / std::numbers::pi;

inline constexpr double UTMScale = 0.9996;
inline constexpr double UTMFalseEasting = 500000.0;
inline constexpr double UTMFalseNorthingSouth = 10000000.0;

// Series coefficients of one ellipsoid, in the third flattening n.
struct TMeridianSeries {
  double alpha;                            // mean radius of the meridian
  double beta, gamma, delta, epsilon;      // arc length
  double betaF, gammaF, deltaF, epsilonF;  // footpoint latitude
  double a2b;                              // a²/b, the polar radius of curvature
  double invA2b, invAlpha;
  double ep2;                              // second eccentricity squared
};

// The series of every ellipsoid, then one of NaNs for an index outside the table; filled by
// FillSeriesTable() on first use.
extern TMeridianSeries SeriesTableData[NumGeoEllipsoids + 1];
extern bool SeriesTableFilled;
[[gnu::cold, gnu::noinline]] void FillSeriesTable();

// Derived once per ellipsoid; the conversions should not pay the divisions per point. Inline
// and without a call on the way: the single-point forms are short enough for a call and its
// spilled arguments to show.
[[gnu::always_inline]] inline const TMeridianSeries& SeriesOf(TGeoEllipsoid ellipsoid) {
  if (!__atomic_load_n(&SeriesTableFilled, __ATOMIC_ACQUIRE)) [[unlikely]]
    FillSeriesTable();
  return SeriesTableData[ellipsoid < NumGeoEllipsoids ? ellipsoid : NumGeoEllipsoids];
}

// c1·sin 2u + c2·sin 4u + c3·sin 6u + c4·sin 8u from sin u and cos u, by Clenshaw's
// recurrence in 2 cos 2u instead of four further sine calls: half the operations of the
// multiple-angle identities.
[[gnu::always_inline]] inline double SineSeries(double sinU, double cosU, double c1, double c2, double c3, double c4) {
  const double x = 2.0 - 4.0 * (sinU * sinU);  // 2 cos 2u
  const double b3 = c3 + x * c4;
  // The subtractions off the chain of multiply-adds.
  const double b2 = (c2 - c4) + x * b3;
  const double b1 = (c1 - b3) + x * b2;
  return b1 * (2.0 * sinU * cosU);
}

[[gnu::always_inline]] inline double ArcLength(const TMeridianSeries& s, double phi, double sinPhi, double cosPhi) {
  return s.alpha * (phi + SineSeries(sinPhi, cosPhi, s.beta, s.gamma, s.delta, s.epsilon));
}

// sin and cos of x from plain arithmetic, without a library call, so that loops over many
// points vectorise and give the same bits as one point at a time. Reduction by the nearest
// multiple of π/2 with π/2 in three parts (Cody and Waite), then the fdlibm kernels on
// [-π/4, π/4]; within 1.5 ulp for |x| < kSinCosLimit, where the reduction is exact.
inline constexpr double kSinCosLimit = 1e5;

// The fdlibm kernels: sin r and cos r for |r| <= π/4.
[[gnu::always_inline]] inline void SinCosPoly(double r, double& sinR, double& cosR) {
  const double z = r * r;
  const double sr = 8.33333333332248946124e-03 +
                    z * (-1.98412698298579493134e-04 +
                         z * (2.75573137070700676789e-06 +
                              z * (-2.50507602534068634195e-08 + z * 1.58969099521155010221e-10)));
  sinR = r + r * z * (-1.66666666666666324348e-01 + z * sr);
  // Plain nesting down to 1 - z/2: fdlibm's compensated sum with 1 - z/2 gains a fraction of
  // an ulp for five more operations.
  cosR = 1.0 + z * (-0.5 +
                    z * (4.16666666666666019037e-02 +
                         z * (-1.38888888888741095749e-03 +
                              z * (2.48015872894767294178e-05 +
                                   z * (-2.75573143513906633035e-07 +
                                        z * (2.08757232129817482790e-09 + z * -1.13596475577881948265e-11))))));
}

[[gnu::always_inline]] inline void SinCosKernel(double x, double& sinX, double& cosX) {
  constexpr double TwoOverPi = 6.36619772367581382433e-01;
  constexpr double PiO2_1 = 1.57079632673412561417e+00;   // first 33 bits of π/2
  constexpr double PiO2_2 = 6.07710050630396597660e-11;   // next 33 bits
  constexpr double PiO2_2t = 2.02226624879595063154e-21;  // π/2 - PiO2_1 - PiO2_2
  // Adding 1.5 * 2^52 rounds to an integer that lands in the low bits of the mantissa.
  constexpr double Round = 6755399441055744.0;
  const double t = x * TwoOverPi + Round;
  const double k = t - Round;
  uint64_t bits;
  std::memcpy(&bits, &t, sizeof bits);
  // The quadrant k mod 4 is in the two lowest bits.
  const double r = ((x - k * PiO2_1) - k * PiO2_2) - k * PiO2_2t;
  double sinR, cosR;
  SinCosPoly(r, sinR, cosR);

  // Quadrant 1 and 3 swap the two, 2 and 3 negate the sine, 1 and 2 the cosine: by bit
  // masks, which the vectoriser takes where nested selections stop it.
  uint64_t sb, cb;
  std::memcpy(&sb, &sinR, sizeof sb);
  std::memcpy(&cb, &cosR, sizeof cb);
  const uint64_t swap = 0 - (bits & 1u);
  const uint64_t sOut = ((sb & ~swap) | (cb & swap)) ^ ((bits & 2u) << 62);
  const uint64_t cOut = ((cb & ~swap) | (sb & swap)) ^ (((bits + 1u) & 2u) << 62);
  std::memcpy(&sinX, &sOut, sizeof sOut);
  std::memcpy(&cosX, &cOut, sizeof cOut);
}

// SinCosKernel for |x| < 0.785, where k is 0 and the reduced argument is x itself.
[[gnu::always_inline]] inline void SinCosKernel0(double x, double& sinX, double& cosX) {
  SinCosPoly(x, sinX, cosX);
}

// SinCosKernel for 0.7854 <= |x| < 2.35, where k is ±1: the reduction by π/2 on |x| and the
// quadrant's swap and signs without the integer work. The same bits, as the kernels are odd
// and even in r.
[[gnu::always_inline]] inline void SinCosKernel1(double x, double& sinX, double& cosX) {
  constexpr double PiO2_1 = 1.57079632673412561417e+00;
  constexpr double PiO2_2 = 6.07710050630396597660e-11;
  constexpr double PiO2_2t = 2.02226624879595063154e-21;
  const double r = ((std::fabs(x) - PiO2_1) - PiO2_2) - PiO2_2t;
  double sinR, cosR;
  SinCosPoly(r, sinR, cosR);
  sinX = std::copysign(cosR, x);
  cosX = -sinR;
}

[[gnu::always_inline]] inline bool SinCosInRange(double x) { return std::fabs(x) < kSinCosLimit; }

// For one point at a time: latitudes and footpoint arguments take one of the two short paths
// (k = 0 or ±1) and skip the general reduction's latency.
[[gnu::always_inline]] inline void SinCos(double x, double& sinX, double& cosX) {
  const double ax = std::fabs(x);
  if (ax < 0.785) {
    SinCosKernel0(x, sinX, cosX);
  } else if (ax >= 0.7854 && ax < 2.35) {
    SinCosKernel1(x, sinX, cosX);
  } else if (SinCosInRange(x)) {
    SinCosKernel(x, sinX, cosX);
  } else {  // far outside any latitude; also NaN and infinities
    sinX = std::sin(x);
    cosX = std::cos(x);
  }
}

// Unscaled Transverse Mercator of (phi, l), l the longitude difference to the central
// meridian, all in radians.
[[gnu::always_inline]] inline void ForwardSC(const TMeridianSeries& s, double phi, double sinPhi, double cosPhi, double l,
                      double& x, double& y) {
  const double nu2 = s.ep2 * cosPhi * cosPhi;
  const double N = s.a2b / std::sqrt(1.0 + nu2);
  const double t = sinPhi / cosPhi;
  const double t2 = t * t;
  const double L = cosPhi * l;  // the powers of cos φ travel with l
  const double L2 = L * L;

  // Each coefficient nested in t² and ν², its divisor folded into the constants (5.0 / 120 is
  // worked out by the compiler): fewer operations per point, and a point's operations fill
  // the processor's window, so that fewer of them let the next point start sooner.
  const double x3 = 1.0 / 6 + (nu2 - t2) * (1.0 / 6);
  const double x5 = 5.0 / 120 + t2 * (t2 * (1.0 / 120) - 18.0 / 120) + nu2 * (14.0 / 120 - t2 * (58.0 / 120));
  const double x7 = 61.0 / 5040 + t2 * (-479.0 / 5040 + t2 * (179.0 / 5040 - t2 * (1.0 / 5040)));
  x = N * L * (1.0 + L2 * (x3 + L2 * (x5 + L2 * x7)));

  const double y4 = 5.0 / 24 - t2 * (1.0 / 24) + nu2 * (9.0 / 24 + nu2 * (4.0 / 24));
  const double y6 = 61.0 / 720 + t2 * (t2 * (1.0 / 720) - 58.0 / 720) + nu2 * (270.0 / 720 - t2 * (330.0 / 720));
  const double y8 = 1385.0 / 40320 + t2 * (-3111.0 / 40320 + t2 * (543.0 / 40320 - t2 * (1.0 / 40320)));
  y = ArcLength(s, phi, sinPhi, cosPhi) + t * N * L2 * (0.5 + L2 * (y4 + L2 * (y6 + L2 * y8)));
}

[[gnu::always_inline]] inline void Forward(const TMeridianSeries& s, double phi, double l, double& x, double& y) {
  double sinPhi, cosPhi;
  SinCos(phi, sinPhi, cosPhi);
  ForwardSC(s, phi, sinPhi, cosPhi, l, x, y);
}

// Inverse of Forward: phi and the longitude difference l, radians. yp = y / alpha is the
// footpoint series' argument, sinY and cosY its sine and cosine.
[[gnu::always_inline]] inline void InverseSC(const TMeridianSeries& s, double x, double yp, double sinY, double cosY,
                      double& phi, double& l) {
  const double d = SineSeries(sinY, cosY, s.betaF, s.gammaF, s.deltaF, s.epsilonF);
  const double phiF = yp + d;

  // |d| < 0.003 rad, so sin d and cos d by their series are exact to rounding; that spares a
  // second pair of trigonometric calls for sin φf and cos φf.
  const double d2 = d * d;
  const double sinD = d + d * d2 * (d2 * (1.0 / 120) - 1.0 / 6);
  const double cosD = 1.0 + d2 * (d2 * (1.0 / 24) - 0.5);  // d⁶/720 < 1e-18 is below rounding
  const double sinF = sinY * cosD + cosY * sinD;
  const double cf = cosY * cosD - sinY * sinD;
  const double invCf = 1.0 / cf;
  const double nuf2 = s.ep2 * cf * cf;
  const double u = x * std::sqrt(1.0 + nuf2) * s.invA2b;  // x / Nf
  const double tf = sinF * invCf;
  const double tf2 = tf * tf;
  const double u2 = u * u;

  // Nested and with the divisors folded in, as in ForwardSC.
  const double p2 = -0.5 - nuf2 * 0.5;
  const double p4 = 5.0 / 24 + tf2 * (3.0 / 24) +
                    nuf2 * (6.0 / 24 - tf2 * (6.0 / 24) - nuf2 * (3.0 / 24 + tf2 * (9.0 / 24)));
  const double p6 = -61.0 / 720 - tf2 * (90.0 / 720 + tf2 * (45.0 / 720)) +
                    nuf2 * (tf2 * (162.0 / 720) - 107.0 / 720);
  const double p8 = 1385.0 / 40320 + tf2 * (3633.0 / 40320 + tf2 * (4095.0 / 40320 + tf2 * (1575.0 / 40320)));
  phi = phiF + tf * u2 * (p2 + u2 * (p4 + u2 * (p6 + u2 * p8)));

  const double l3 = -1.0 / 6 - tf2 * (2.0 / 6) - nuf2 * (1.0 / 6);
  const double l5 = 5.0 / 120 + tf2 * (28.0 / 120 + tf2 * (24.0 / 120)) + nuf2 * (6.0 / 120 + tf2 * (8.0 / 120));
  const double l7 = -61.0 / 5040 - tf2 * (662.0 / 5040 + tf2 * (1320.0 / 5040 + tf2 * (720.0 / 5040)));
  l = u * invCf * (1.0 + u2 * (l3 + u2 * (l5 + u2 * l7)));
}

[[gnu::always_inline]] inline void Inverse(const TMeridianSeries& s, double x, double y, double& phi, double& l) {
  // Footpoint latitude: the latitude whose meridian arc is y.
  const double yp = y * s.invAlpha;
  double sinY, cosY;
  SinCos(yp, sinY, cosY);
  InverseSC(s, x, yp, sinY, cosY, phi, l);
}

// Central meridian of UTM zone 1..60 in radians; 0 for any other zone.
[[gnu::always_inline]] inline double CentralMeridian(int zone) {
  // Arithmetic instead of a selection, so that batch loops vectorise.
  const double valid = static_cast<double>((zone >= 1) & (zone <= 60));
  return (6.0 * zone - 183.0) * DegToRad * valid;
}

// CentralMeridian of zone numbers 0..60 as a table for the single-point forward form: a load
// instead of two conversions and three products, the same bits. (The inverse keeps the
// arithmetic: there the product may fuse with the addition of l, as in the batch form.)
inline constexpr auto CentralMeridians = [] {
  std::array<double, 61> t{};
  for (int zone = 1; zone <= 60; ++zone) t[zone] = (6.0 * zone - 183.0) * DegToRad;
  return t;
}();
[[gnu::always_inline]] inline double CentralMeridianOf(int zone) {
  return CentralMeridians[static_cast<unsigned>(zone) <= 60u ? zone : 0];
}

// UTM zone with the Norway and Svalbard exceptions, and the band index (0 = 'C' .. 19 = 'X'
// counted without I and O); zone 0 outside the UTM area.
[[gnu::always_inline]] inline int ZoneOf(double latitude, double longitude, int& bandIndex) {
  bandIndex = -1;
  // Negated tests so that NaN falls outside as well.
  if (!(latitude >= -80.0 && latitude <= 84.0 && longitude >= -180.0 && longitude < 180.0)) return 0;
  // The arguments of the conversions to int are not negative here: truncation is floor,
  // without a library call.
  const int k = static_cast<int>(latitude + 80.0) / 8;
  bandIndex = k > 19 ? 19 : k;  // 80 to 84 still belongs to X
  int zone = static_cast<int>((longitude + 180.0) / 6.0) + 1;
  // Just below 180 the sum can round up to 360 and would give zone 61.
  if (zone > 60) zone = 60;
  if (bandIndex == 17 && longitude >= 3.0 && longitude < 12.0) zone = 32;  // V: Norway
  if (bandIndex == 19 && longitude >= 0.0 && longitude < 42.0)             // X: Svalbard
    zone = static_cast<int>((longitude + 3.0) / 12.0) * 2 + 31;
  return zone;
}

// UTM easting and northing from the unscaled coordinates; the hemisphere from the sign of
// the northing.
[[gnu::always_inline]] inline void ScaleToUTM(double x, double y, double& easting, double& northing) {
  easting = x * UTMScale + UTMFalseEasting;
  const double n = y * UTMScale;
  northing = n + static_cast<double>(n < 0.0) * UTMFalseNorthingSouth;
}

// A value the compiler must round as it stands: with contraction on, a product followed by
// a subtraction would become one fused multiply-add.
[[gnu::always_inline]] inline double Rounded(double v) {
  asm("" : "+x"(v));
  return v;
}

// UTM easting and northing in the given zone (degrees in). The longitude in radians is rounded
// before the central meridian is taken off, as for LatLongToTM and in the batch forms.
[[gnu::always_inline]] inline void ToUTM(const TMeridianSeries& s, double latitude, double longitude, int zone,
                  double& easting, double& northing) {
  double x, y;
  Forward(s, latitude * DegToRad, Rounded(longitude * DegToRad) - CentralMeridianOf(zone), x, y);
  ScaleToUTM(x, y, easting, northing);
}

// southOffset: the false northing of the hemisphere, 0 in the north.
[[gnu::always_inline]] inline double SouthOffset(bool southern) { return southern ? UTMFalseNorthingSouth : 0.0; }
[[gnu::always_inline]] inline void UnscaleUTM(double easting, double northing, double southOffset, double& x, double& y) {
  x = (easting - UTMFalseEasting) * (1.0 / UTMScale);
  y = (northing - southOffset) * (1.0 / UTMScale);
}

[[gnu::always_inline]] inline void FromUTM(const TMeridianSeries& s, double easting, double northing, int zone,
                    bool southern, double& latitude, double& longitude) {
  double x, y, phi, l;
  UnscaleUTM(easting, northing, SouthOffset(southern), x, y);
  Inverse(s, x, y, phi, l);
  latitude = phi * RadToDeg;
  longitude = (CentralMeridian(zone) + l) * RadToDeg;
}

}  // namespace vek::tm
