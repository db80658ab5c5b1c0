// UTM zones and bands, Transverse Mercator, UTM and UPS: fixed cases and GeographicLib oracles.
#include <gtest/gtest.h>

#include <GeographicLib/Geodesic.hpp>
#include <GeographicLib/PolarStereographic.hpp>
#include <GeographicLib/TransverseMercator.hpp>
#include <GeographicLib/UTMUPS.hpp>
#include <cmath>
#include <random>

#include "Vek_geobasics.h"

using namespace vek;

namespace {

constexpr double Deg = M_PI / 180.0;

int ZoneOf(double lat, double lon) {
  int zone;
  char band;
  GeoToUTMZone(lat, lon, zone, band);
  return zone;
}

char BandOf(double lat, double lon) {
  int zone;
  char band;
  GeoToUTMZone(lat, lon, zone, band);
  return band;
}

}  // namespace

TEST(UTMZone, AreaBounds) {
  EXPECT_EQ(BandOf(84, 10), 'X');
  EXPECT_EQ(ZoneOf(84.0001, 10), 0);
  EXPECT_EQ(BandOf(84.0001, 10), ' ');
  EXPECT_EQ(BandOf(-80, 10), 'C');
  EXPECT_EQ(ZoneOf(-80.0001, 10), 0);
  EXPECT_EQ(ZoneOf(0, 180), 0);
  EXPECT_EQ(ZoneOf(0, -180), 1);
  EXPECT_EQ(ZoneOf(0, -180.0001), 0);
  EXPECT_EQ(ZoneOf(NAN, 10), 0);
  EXPECT_EQ(ZoneOf(10, NAN), 0);
  // The largest longitude below 180 must not round into a zone 61.
  EXPECT_EQ(ZoneOf(0, std::nextafter(180.0, 0.0)), 60);
  EXPECT_EQ(GeoToUTMZone(20, -159), "4Q");
  EXPECT_EQ(GeoToUTMZone(48.2, 16.37), "33U");
  EXPECT_EQ(GeoToUTMZone(85, 0), "");
}

TEST(UTMZone, BandsSkipIAndO) {
  const char* bands = "CDEFGHJKLMNPQRSTUVWX";
  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ(BandOf(-80 + 8 * i + 0.5, 0), bands[i]) << i;
    EXPECT_EQ(BandOf(-80 + 8 * i, 0), bands[i]) << i;  // lower bounds belong to the band
  }
  for (double lat = 72; lat <= 84; lat += 0.25) EXPECT_EQ(BandOf(lat, 0), 'X') << lat;
  EXPECT_EQ(BandOf(-0.000001, 0), 'M');
  EXPECT_EQ(BandOf(0, 0), 'N');
}

TEST(UTMZone, NorwayAndSvalbard) {
  EXPECT_EQ(ZoneOf(60, 5), 32);
  EXPECT_EQ(ZoneOf(60, 3), 32);
  EXPECT_EQ(ZoneOf(60, 2.9999), 31);
  EXPECT_EQ(ZoneOf(60, 12), 33);
  EXPECT_EQ(ZoneOf(55.9, 5), 31);  // band U keeps the regular zone
  EXPECT_EQ(ZoneOf(78, 8.9), 31);
  EXPECT_EQ(ZoneOf(78, 9), 33);
  EXPECT_EQ(ZoneOf(78, 21), 35);
  EXPECT_EQ(ZoneOf(78, 33), 37);
  EXPECT_EQ(ZoneOf(78, 41.9), 37);
  EXPECT_EQ(ZoneOf(78, 42), 38);
  EXPECT_EQ(ZoneOf(78, -0.1), 30);
  EXPECT_EQ(ZoneOf(71.9, 8.9), 32);  // band W
}

TEST(TransverseMercator, MeridianArc) {
  EXPECT_EQ(ArcLengthOfMeridian(0, gelWGS84), 0.0);
  EXPECT_NEAR(ArcLengthOfMeridian(0.7, gelSphere), 6370997.0 * 0.7, 1e-7);
  EXPECT_NEAR(ArcLengthOfMeridian(-0.7, gelWGS84), -ArcLengthOfMeridian(0.7, gelWGS84), 1e-9);
  const GeographicLib::Geodesic& g = GeographicLib::Geodesic::WGS84();
  for (double lat = 5; lat <= 90; lat += 5) {
    double s;
    g.Inverse(0, 0, lat, 0, s);
    EXPECT_NEAR(ArcLengthOfMeridian(lat * Deg, gelWGS84), s, 1e-4) << lat;
  }
}

TEST(TransverseMercator, CentralMeridians) {
  EXPECT_EQ(UTMCentralMeridian(0), 0.0);
  EXPECT_EQ(UTMCentralMeridian(61), 0.0);
  EXPECT_DOUBLE_EQ(UTMCentralMeridian(31), 3 * Deg);
  EXPECT_DOUBLE_EQ(UTMCentralMeridian(1), -177 * Deg);
  EXPECT_DOUBLE_EQ(UTMCentralMeridian(60), 177 * Deg);
}

// The series use a, b, n and e'² of the chosen ellipsoid: any mix-up shows on other ellipsoids.
TEST(TransverseMercator, MatchesGeographicLibOnEveryEllipsoid) {
  std::mt19937_64 rng(3);
  std::uniform_real_distribution<double> lat(-84, 84), dlon(-3, 3), lon0(-180, 180);
  for (int e = 0; e < NumGeoEllipsoids; ++e) {
    const double a = GeoEllipsoidData[e].a, b = GeoEllipsoidData[e].b;
    const GeographicLib::TransverseMercator tm(a, 1 - b / a, 1.0);
    for (int i = 0; i < 1000; ++i) {
      const double la = lat(rng), l0 = lon0(rng), lo = l0 + dlon(rng);
      double x, y, X, Y, phi, lambda;
      LatLongToTM(la * Deg, lo * Deg, l0 * Deg, static_cast<TGeoEllipsoid>(e), x, y);
      tm.Forward(l0, la, lo, X, Y);
      ASSERT_NEAR(x, X, 1e-3) << GeoEllipsoidId[e] << " " << la << " " << lo - l0;
      ASSERT_NEAR(y, Y, 1e-3) << GeoEllipsoidId[e] << " " << la << " " << lo - l0;
      TMToLatLong(X, Y, l0 * Deg, static_cast<TGeoEllipsoid>(e), phi, lambda);
      ASSERT_NEAR(phi / Deg, la, 1e-9) << GeoEllipsoidId[e];
      ASSERT_NEAR(lambda / Deg, lo, 1e-9) << GeoEllipsoidId[e];
    }
  }
}

TEST(UTM, KnownPositions) {
  int zone;
  double e, n;
  LatLongToUTM(48.2, 16.37, gelWGS84, zone, e, n);
  EXPECT_EQ(zone, 33);
  EXPECT_NEAR(e, 601799.15, 0.005);
  EXPECT_NEAR(n, 5339437.15, 0.005);

  LatLongToUTM(0, 3, gelWGS84, zone, e, n);
  EXPECT_EQ(zone, 31);
  EXPECT_NEAR(e, 500000, 1e-9);
  EXPECT_EQ(n, 0.0);

  LatLongToUTM(-0.000001, 3, gelWGS84, zone, e, n);
  EXPECT_LT(n, 10000000.0);
  EXPECT_GT(n, 10000000.0 - 1.0);

  double lat, lon;
  UTMToLatLong(601799.15, 5339437.15, 33, false, gelWGS84, lat, lon);
  EXPECT_NEAR(lat, 48.2, 1e-7);
  EXPECT_NEAR(lon, 16.37, 1e-7);
}

TEST(UTM, OutsideTheAreaUsesGreenwich) {
  int zone;
  double e, n, x, y;
  LatLongToUTM(86, 10, gelWGS84, zone, e, n);
  EXPECT_EQ(zone, 0);
  LatLongToTM(86 * Deg, 10 * Deg, 0, gelWGS84, x, y);
  EXPECT_DOUBLE_EQ(e, x * 0.9996 + 500000);
  EXPECT_DOUBLE_EQ(n, y * 0.9996);
  double lat, lon;
  UTMToLatLong(500000, 0, 0, false, gelWGS84, lat, lon);  // invalid zone: Greenwich
  EXPECT_NEAR(lon, 0.0, 1e-12);
  UTMToLatLong(500000, 10000000, 31, true, gelWGS84, lat, lon);
  EXPECT_NEAR(lat, 0.0, 1e-12);
  EXPECT_NEAR(lon, 3.0, 1e-12);
}

// An ellipsoid number outside the table gives NaN in every conversion instead of reading
// past a table.
TEST(Ellipsoids, AnUnknownEllipsoidGivesNaN) {
  const auto bad = static_cast<TGeoEllipsoid>(200);
  int zone;
  double e, n, lat, lon, x, y;
  LatLongToUTM(48.2, 16.37, bad, zone, e, n);
  EXPECT_EQ(zone, 33);
  EXPECT_TRUE(std::isnan(e) && std::isnan(n));
  UTMToLatLong(601799.15, 5339437.15, 33, false, bad, lat, lon);
  EXPECT_TRUE(std::isnan(lat) && std::isnan(lon));
  LatLongToTM(0.8, 0.3, 0.26, bad, x, y);
  EXPECT_TRUE(std::isnan(x) && std::isnan(y));
  EXPECT_TRUE(std::isnan(ArcLengthOfMeridian(0.8, bad)));
  // The same for the other conversions that take an ellipsoid.
  LatLongToUPS(85, 30, bad, x, y);
  EXPECT_TRUE(std::isnan(x) && std::isnan(y));
  double X, Y, Z, h;
  GeoToCartesian(48.2, 16.37, 200, bad, X, Y, Z);
  EXPECT_TRUE(std::isnan(X) && std::isnan(Y) && std::isnan(Z));
  CartesianToGeo(4e6, 1e6, 4.7e6, bad, lat, lon, h);
  EXPECT_TRUE(std::isnan(lat) || std::isnan(h));
  EXPECT_TRUE(std::isnan(GeoEllEccSquared(bad)));
}

// Random positions over the whole UTM area in the zone GeoToUTMZone picks (Norway and
// Svalbard included, up to 6° from the central meridian), against GeographicLib's exact
// Krüger series.
TEST(UTM, MatchesGeographicLibEverywhere) {
  std::mt19937_64 rng(20261208);
  std::uniform_real_distribution<double> lat(-80, 84), lon(-180, 180);
  double worstFwd = 0, worstInvNear = 0, worstInvWide = 0;
  for (int i = 0; i < 200000; ++i) {
    const double la = lat(rng), lo = lon(rng);
    int zone;
    double e, n;
    LatLongToUTM(la, lo, gelWGS84, zone, e, n);
    ASSERT_GE(zone, 1);
    if (la < 84) {
      ASSERT_EQ(zone, GeographicLib::UTMUPS::StandardZone(la, lo)) << la << " " << lo;
    }
    int gz;
    bool north;
    double x, y;
    GeographicLib::UTMUPS::Forward(la, lo, gz, north, x, y, zone);
    worstFwd = std::max(worstFwd, std::hypot(e - x, n - y));

    double la2, lo2;
    UTMToLatLong(x, y, zone, !north, gelWGS84, la2, lo2);
    const double err = std::max(std::fabs(la2 - la), std::fabs(lo2 - lo));
    const double off = std::fabs(lo - (6 * zone - 183));
    double& worstInv = off <= 3 ? worstInvNear : worstInvWide;
    worstInv = std::max(worstInv, err);
  }
  EXPECT_LT(worstFwd, 1e-3);
  EXPECT_LT(worstInvNear, 1e-9);
  EXPECT_LT(worstInvWide, 2e-8);
}

TEST(UPS, PoleAndAxes) {
  double e, n;
  for (double lon = -180; lon <= 180; lon += 15) {
    LatLongToUPS(90, lon, gelWGS84, e, n);
    EXPECT_EQ(e, 2000000.0) << lon;
    EXPECT_EQ(n, 2000000.0) << lon;
  }
  LatLongToUPS(89, 90, gelWGS84, e, n);
  EXPECT_EQ(n, 2000000.0);
  EXPECT_GT(e, 2000000.0);
  LatLongToUPS(-89, -90, gelWGS84, e, n);
  EXPECT_EQ(n, 2000000.0);
  EXPECT_LT(e, 2000000.0);
  LatLongToUPS(85, -180, gelWGS84, e, n);
  EXPECT_EQ(e, 2000000.0);
  EXPECT_GT(n, 2000000.0);
  LatLongToUPS(85, 180, gelWGS84, e, n);  // wrapped to -180
  EXPECT_EQ(e, 2000000.0);
  LatLongToUPS(85, 30, gelWGS84, e, n);
  EXPECT_NEAR(e, 2277728.70, 0.005);
  EXPECT_NEAR(n, 1518959.79, 0.005);
  LatLongToUPS(-85, 30, gelWGS84, e, n);
  EXPECT_NEAR(e, 2277728.70, 0.005);
  EXPECT_NEAR(n, 2481040.21, 0.005);
  double lat, lon;
  UPSToLatLong(2000000, 2000000, true, gelWGS84, lat, lon);
  EXPECT_EQ(lat, -90.0);
}

TEST(UPS, MatchesGeographicLibAndInverts) {
  std::mt19937_64 rng(17);
  std::uniform_real_distribution<double> colat(0, 10), lon(-180, 180);
  const GeographicLib::PolarStereographic& ups = GeographicLib::PolarStereographic::UPS();
  double worstFwd = 0, worstInv = 0;
  for (int i = 0; i < 100000; ++i) {
    const bool north = i % 2 == 0;
    const double la = north ? 90 - colat(rng) : colat(rng) - 90, lo = lon(rng);
    double e, n, x, y;
    LatLongToUPS(la, lo, gelWGS84, e, n);
    ups.Forward(north, la, lo, x, y);
    worstFwd = std::max(worstFwd, std::hypot(e - (x + 2e6), n - (y + 2e6)));
    double la2, lo2;
    UPSToLatLong(e, n, !north, gelWGS84, la2, lo2);
    worstInv = std::max({worstInv, std::fabs(la2 - la),
                         std::fabs(std::remainder(lo2 - lo, 360.0)) * std::cos(la * Deg)});
  }
  EXPECT_LT(worstFwd, 1e-3);
  EXPECT_LT(worstInv, 1e-9);
  // The sphere has no eccentricity: plain stereographic.
  double e, n;
  LatLongToUPS(80, 0, gelSphere, e, n);
  EXPECT_NEAR(2000000 - n, 0.994 * 2 * 6370997.0 * std::tan(5 * Deg), 1e-6);
}

TEST(UTM, BatchFormsGiveTheSingleFormsResults) {
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> lat(-90, 90), lon(-200, 200);
  std::vector<double> la, lo;
  for (int i = 0; i < 5000; ++i) {
    la.push_back(lat(rng));
    lo.push_back(lon(rng));
  }
  // The zone exceptions, the area's edges, and latitudes far beyond any sine table.
  for (double p : {56.5, 60.0, 72.0, 78.0, 84.0, -80.0, 0.0, -0.0, 1e6, -3e7})
    for (double q : {2.9999, 3.0, 8.9, 9.0, 41.9, 42.0, -180.0, 179.9999999}) {
      la.push_back(p);
      lo.push_back(q);
    }
  const size_t n = la.size();
  for (int forced : {0, 33}) {
    std::vector<int> zone(n);
    std::vector<double> e(n), no(n);
    LatLongToUTM(la.data(), lo.data(), n, gelWGS84, zone.data(), e.data(), no.data(), forced);
    for (size_t i = 0; i < n; ++i) {
      int z;
      double e1, n1;
      if (forced == 0) {
        LatLongToUTM(la[i], lo[i], gelWGS84, z, e1, n1);
      } else {
        // The single form in a chosen zone: the Transverse Mercator series about its meridian.
        double x, y;
        LatLongToTM(la[i] * Deg, lo[i] * Deg, UTMCentralMeridian(forced), gelWGS84, x, y);
        z = forced;
        e1 = x * 0.9996 + 500000;
        n1 = y * 0.9996 < 0 ? y * 0.9996 + 10000000 : y * 0.9996;
      }
      // Here the test scales x itself, where the library may fuse the scaling into one
      // rounding: an ulp apart once the easting lies far beyond any zone.
      const double eTol = forced == 0 ? 1e-9 : std::max(1e-9, 2 * std::fabs(e1) * 0x1p-52);
      ASSERT_EQ(zone[i], z) << la[i] << " " << lo[i];
      ASSERT_NEAR(e[i], e1, eTol) << la[i] << " " << lo[i];
      ASSERT_NEAR(no[i], n1, 1e-9) << la[i] << " " << lo[i];
    }
  }
  // Inverse, one zone and hemisphere per call.
  std::uniform_real_distribution<double> east(160000, 840000), north(0, 9999999);
  for (bool southern : {false, true}) {
    std::vector<double> e(n), no(n), la2(n), lo2(n);
    for (size_t i = 0; i < n; ++i) e[i] = east(rng), no[i] = north(rng);
    e[0] = 1e12, no[0] = 1e13;  // far outside: redone one by one
    UTMToLatLong(e.data(), no.data(), n, 33, southern, gelWGS84, la2.data(), lo2.data());
    for (size_t i = 0; i < n; ++i) {
      double a, b;
      UTMToLatLong(e[i], no[i], 33, southern, gelWGS84, a, b);
      ASSERT_NEAR(la2[i], a, 1e-12) << e[i] << " " << no[i];
      ASSERT_NEAR(lo2[i], b, 1e-12) << e[i] << " " << no[i];
    }
  }
}
