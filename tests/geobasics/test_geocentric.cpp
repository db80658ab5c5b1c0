// Geocentric coordinates and Helmert datum shifts, checked against GeographicLib and PROJ.
#include <gtest/gtest.h>
#include <proj.h>

#include <GeographicLib/Geocentric.hpp>
#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <string>

#include "DatumShift.h"
#include "Vek_geobasics.h"

using namespace vek;

namespace {

constexpr double Deg = M_PI / 180.0;

GeographicLib::Geocentric OracleOf(TGeoEllipsoid e) {
  const double a = GeoEllipsoidData[e].a, b = GeoEllipsoidData[e].b;
  return GeographicLib::Geocentric(a, 1.0 - b / a);
}

// A PROJ pipeline, freed with its context.
class ProjPipeline {
 public:
  explicit ProjPipeline(const std::string& definition) : FCtx(proj_context_create()) {
    FPj = proj_create(FCtx, definition.c_str());
  }
  ~ProjPipeline() {
    if (FPj) proj_destroy(FPj);
    proj_context_destroy(FCtx);
  }
  bool Valid() const { return FPj != nullptr; }
  PJ_COORD Trans(PJ_COORD c, PJ_DIRECTION dir = PJ_FWD) const { return proj_trans(FPj, dir, c); }

 private:
  PJ_CONTEXT* FCtx;
  PJ* FPj = nullptr;
};

std::string EllipsoidParams(TGeoEllipsoid e) {
  char buf[96];
  std::snprintf(buf, sizeof buf, " +a=%.17g +b=%.17g", GeoEllipsoidData[e].a,
                GeoEllipsoidData[e].b);
  return buf;
}

std::string HelmertParams(const TDatumEntry& d) {
  char buf[256];
  std::snprintf(buf, sizeof buf,
                " +proj=helmert +convention=position_vector +x=%.17g +y=%.17g +z=%.17g +s=%.17g "
                "+rx=%.17g +ry=%.17g +rz=%.17g",
                d.dX, d.dY, d.dZ, d.Scale, d.rX, d.rY, d.rZ);
  return buf;
}

// Datum A to datum B through WGS 84 as PROJ composes it.
std::string PipelineOf(const TDatumEntry& a, const TDatumEntry& b) {
  return "+proj=pipeline +step +proj=cart" + EllipsoidParams(a.Ellipsoid) + " +step" +
         HelmertParams(a) + " +step +inv" + HelmertParams(b) + " +step +inv +proj=cart" +
         EllipsoidParams(b.Ellipsoid);
}

// Rows with rotations and scale, as published for these datums.
const TDatumEntry RotatedRows[] = {
    {"RD, AMERSFOORT", "Netherlands", gelBess41, 565, 49.9, 465.8, 4.08, -0.409, 0.36, -1.869},
    {"ARC 1950", "Zimbabwe", gelClrk80, -111.16, -186.64, -301.34, 1.776, -4.023, -2.838, 4.899},
    {"AUSTRALIAN GEODETIC 1984", "Australia", gelAuNat65, -116, -50.47, 141.69, 0.0983, 0.23,
     0.39, 0.344},
    {"WORLD GEODETIC SYSTEM 1972", "World", gelWGS72, 0, 0, 4.5, 0.219, 0, 0, 0.554},
};

double Dist(const TCartesian& p, double x, double y, double z) {
  return std::sqrt((p.X - x) * (p.X - x) + (p.Y - y) * (p.Y - y) + (p.Z - z) * (p.Z - z));
}

}  // namespace

TEST(Geocentric, EquatorOnGreenwich) {
  double X, Y, Z;
  GeoToCartesian(0, 0, 0, gelWGS84, X, Y, Z);
  EXPECT_EQ(X, 6378137.0);
  EXPECT_EQ(Y, 0.0);
  EXPECT_EQ(Z, 0.0);
}

TEST(Geocentric, ForwardMatchesGeographicLibOnEveryEllipsoid) {
  std::mt19937_64 rng(20261208);
  std::uniform_real_distribution<double> lat(-90, 90), lon(-180, 180), h(-1000, 10000);
  std::uniform_int_distribution<int> ell(0, NumGeoEllipsoids - 1);
  double worst = 0;
  for (int i = 0; i < 100000; ++i) {
    const auto e = static_cast<TGeoEllipsoid>(ell(rng));
    const double la = lat(rng), lo = lon(rng), hh = h(rng);
    double X, Y, Z, x, y, z;
    GeoToCartesian(la, lo, hh, e, X, Y, Z);
    OracleOf(e).Forward(la, lo, hh, x, y, z);
    worst = std::max(worst, std::hypot(X - x, Y - y, Z - z));
  }
  EXPECT_LT(worst, 1e-6);
}

TEST(Geocentric, InverseRoundTrip) {
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> lat(-89, 89), lon(-180, 180), h(-1000, 10000);
  std::uniform_int_distribution<int> ell(0, NumGeoEllipsoids - 1);
  for (int i = 0; i < 100000; ++i) {
    const auto e = static_cast<TGeoEllipsoid>(ell(rng));
    const double la = lat(rng), lo = lon(rng), hh = h(rng);
    double X, Y, Z, la2, lo2, h2;
    GeoToCartesian(la, lo, hh, e, X, Y, Z);
    CartesianToGeo(X, Y, Z, e, la2, lo2, h2);
    ASSERT_NEAR(la2, la, 1e-9) << GeoEllipsoidId[e] << " " << la << " " << lo << " " << hh;
    ASSERT_NEAR(lo2, lo, 1e-9) << GeoEllipsoidId[e] << " " << la << " " << lo << " " << hh;
    ASSERT_NEAR(h2, hh, 1e-5) << GeoEllipsoidId[e] << " " << la << " " << lo << " " << hh;
  }
  double la, lo, hh, X, Y, Z;
  GeoToCartesian(-33.9, 151.2, 50, gelWGS84, X, Y, Z);
  CartesianToGeo(X, Y, Z, gelWGS84, la, lo, hh);
  EXPECT_NEAR(lo, 151.2, 1e-12);
  EXPECT_NEAR(la, -33.9, 1e-10);
  EXPECT_NEAR(hh, 50.0, 1e-6);
}

TEST(Geocentric, PolarAxis) {
  const double b = GeoEllipsoidData[gelWGS84].b;
  double la, lo, h;
  CartesianToGeo(0, 0, b + 100, gelWGS84, la, lo, h);
  EXPECT_EQ(la, 90.0);
  EXPECT_EQ(lo, 0.0);
  EXPECT_NEAR(h, 100.0, 1e-9);
  CartesianToGeo(0, 0, -b, gelWGS84, la, lo, h);
  EXPECT_EQ(la, -90.0);
  EXPECT_EQ(h, 0.0);
  CartesianToGeo(0, 0, 0, gelWGS84, la, lo, h);  // the centre: finite, not NaN
  EXPECT_EQ(la, 90.0);
  EXPECT_EQ(h, -b);
  // Just off the axis the closed formula takes over without a jump to the other pole.
  CartesianToGeo(1e-3, 0, b + 100, gelWGS84, la, lo, h);
  EXPECT_NEAR(la, 90.0, 1e-6);
  EXPECT_NEAR(h, 100.0, 1e-6);
  CartesianToGeo(0, 0, 6371000.0, gelSphere, la, lo, h);
  EXPECT_EQ(la, 90.0);
  EXPECT_NEAR(h, 6371000.0 - 6370997.0, 1e-9);
}

TEST(Helmert, StatusCodes) {
  double la, lo, h;
  EXPECT_EQ(HelmertTransform(269, 48, 16, 100, 269, la, lo, h), 0);
  EXPECT_EQ(HelmertTransform(0, 48, 16, 100, 269, la, lo, h), -1);
  EXPECT_TRUE(std::isnan(la));  // no table row was read
  EXPECT_EQ(HelmertTransform(272, 48, 16, 100, 269, la, lo, h), -1);
  EXPECT_EQ(HelmertTransform(269, 48, 16, 100, 0, la, lo, h), -2);
  EXPECT_EQ(HelmertTransform(269, 48, 16, 100, 272, la, lo, h), -2);
  EXPECT_EQ(HelmertTransform(0, 48, 16, 100, 0, la, lo, h), -2);
  EXPECT_EQ(HelmertTransform(269, 91, 16, 100, 269, la, lo, h), -3);
  EXPECT_EQ(HelmertTransform(269, NAN, 16, 100, 269, la, lo, h), -3);
  EXPECT_EQ(HelmertTransform(269, 48, 181, 100, 269, la, lo, h), -4);
  EXPECT_EQ(HelmertTransform(269, 91, 181, 100, 269, la, lo, h), -4);
  EXPECT_EQ(HelmertTransform(269, 48, NAN, 100, 269, la, lo, h), -4);
  // Bounds are inside; out-of-range positions are still converted.
  EXPECT_EQ(HelmertTransform(269, -90, -180, 0, 269, la, lo, h), 0);
  EXPECT_EQ(HelmertTransform(269, 90, 180, 0, 269, la, lo, h), 0);
  EXPECT_EQ(HelmertTransform(269, 48, 190, 0, 269, la, lo, h), -4);
  EXPECT_NEAR(lo, -170.0, 1e-9);
}

TEST(Helmert, IdentityAndTranslationOnly) {
  double la, lo, h;
  ASSERT_EQ(HelmertTransform(269, 52.37, 4.89, 12.5, 269, la, lo, h), 0);
  EXPECT_NEAR(la, 52.37, 1e-10);
  EXPECT_NEAR(lo, 4.89, 1e-10);
  EXPECT_NEAR(h, 12.5, 1e-6);

  // ACCRA to WGS 84 only adds the translation in cartesian coordinates.
  double X, Y, Z, X2, Y2, Z2;
  GeoToCartesian(5.6, -0.2, 60, DatumEntry(1).Ellipsoid, X, Y, Z);
  ASSERT_EQ(HelmertTransform(1, 5.6, -0.2, 60, 269, la, lo, h), 0);
  GeoToCartesian(la, lo, h, gelWGS84, X2, Y2, Z2);
  EXPECT_NEAR(X2 - X, -199.0, 1e-5);
  EXPECT_NEAR(Y2 - Y, 32.0, 1e-5);
  EXPECT_NEAR(Z2 - Z, 322.0, 1e-5);
}

TEST(Helmert, ShiftMatchesProjAndInvertsExactly) {
  std::mt19937_64 rng(11);
  std::uniform_real_distribution<double> lat(-89, 89), lon(-180, 180), h(-500, 5000);
  for (const TDatumEntry& d : RotatedRows) {
    SCOPED_TRACE(d.Name.str());
    ProjPipeline fwd("+proj=pipeline +step +proj=cart" + EllipsoidParams(d.Ellipsoid) +
                     " +step" + HelmertParams(d));
    ASSERT_TRUE(fwd.Valid());
    double worstFwd = 0, worstRoundTrip = 0;
    for (int i = 0; i < 2000; ++i) {
      const double la = lat(rng), lo = lon(rng), hh = h(rng);
      TCartesian p;
      GeoToCartesian(la, lo, hh, d.Ellipsoid, p.X, p.Y, p.Z);
      const TCartesian w = DatumToWGS84(d, p);
      const PJ_COORD r = fwd.Trans(proj_coord(lo * Deg, la * Deg, hh, 0));
      worstFwd = std::max(worstFwd, Dist(w, r.xyz.x, r.xyz.y, r.xyz.z));
      worstRoundTrip = std::max(worstRoundTrip, Dist(WGS84ToDatum(d, w), p.X, p.Y, p.Z));
    }
    EXPECT_LT(worstFwd, 1e-3);
    EXPECT_LT(worstRoundTrip, 1e-6);
  }
}

// The table as a whole: every datum to every other through HelmertTransform, against PROJ. PROJ's
// inverse Helmert step uses the transposed small-angle matrix, a first-order inverse, so where the
// target datum has rotations the comparison is made in the target datum's forward direction:
// shifting our result back to WGS 84 with PROJ must land on PROJ's shift of the input.
TEST(Helmert, TableMatchesProj) {
  std::mt19937_64 rng(5);
  std::uniform_real_distribution<double> lat(-85, 85), lon(-180, 180), h(-500, 5000);
  std::uniform_int_distribution<int> datum(1, NumDatums);
  auto toWGS84 = [](const TDatumEntry& d) {
    return std::make_unique<ProjPipeline>("+proj=pipeline +step +proj=cart" +
                                          EllipsoidParams(d.Ellipsoid) + " +step" +
                                          HelmertParams(d));
  };
  double worstLiteral = 0, worstForward = 0;
  for (int pair = 0; pair < 400; ++pair) {
    const int s = datum(rng), t = pair == 0 ? 269 : datum(rng);
    const TDatumEntry& src = DatumEntry(s);
    const TDatumEntry& dst = DatumEntry(t);
    const bool targetRotated = dst.rX != 0 || dst.rY != 0 || dst.rZ != 0;
    ProjPipeline literal(PipelineOf(src, dst));
    auto srcFwd = toWGS84(src), dstFwd = toWGS84(dst);
    ASSERT_TRUE(literal.Valid() && srcFwd->Valid() && dstFwd->Valid());
    for (int i = 0; i < 250; ++i) {
      const double la = lat(rng), lo = lon(rng), hh = h(rng);
      double la2, lo2, h2;
      ASSERT_EQ(HelmertTransform(s, la, lo, hh, t, la2, lo2, h2), 0);
      const PJ_COORD in = proj_coord(lo * Deg, la * Deg, hh, 0);
      const PJ_COORD w = srcFwd->Trans(in);
      const PJ_COORD back = dstFwd->Trans(proj_coord(lo2 * Deg, la2 * Deg, h2, 0));
      worstForward = std::max(worstForward, std::hypot(back.xyz.x - w.xyz.x,
                                                       back.xyz.y - w.xyz.y,
                                                       back.xyz.z - w.xyz.z));
      if (!targetRotated) {
        const PJ_COORD r = literal.Trans(in);
        double X, Y, Z, x, y, z;
        GeoToCartesian(la2, lo2, h2, dst.Ellipsoid, X, Y, Z);
        GeoToCartesian(r.lpz.phi / Deg, r.lpz.lam / Deg, r.lpz.z, dst.Ellipsoid, x, y, z);
        worstLiteral = std::max(worstLiteral, std::hypot(X - x, Y - y, Z - z));
      }
    }
  }
  EXPECT_LT(worstLiteral, 1e-3);
  EXPECT_LT(worstForward, 1e-3);
}

TEST(Helmert, RoundTripThroughTable) {
  std::mt19937_64 rng(9);
  std::uniform_real_distribution<double> lat(-85, 85), lon(-179, 179), h(-500, 5000);
  std::uniform_int_distribution<int> datum(1, NumDatums);
  for (int i = 0; i < 20000; ++i) {
    const int a = datum(rng), b = datum(rng);
    const double la = lat(rng), lo = lon(rng), hh = h(rng);
    double la1, lo1, h1, la2, lo2, h2;
    ASSERT_EQ(HelmertTransform(a, la, lo, hh, b, la1, lo1, h1), 0);
    ASSERT_EQ(HelmertTransform(b, la1, lo1, h1, a, la2, lo2, h2), 0);
    // 1e-8 degrees is about a millimetre.
    ASSERT_NEAR(la2, la, 1e-8) << a << " -> " << b;
    ASSERT_NEAR(lo2, lo, 1e-8) << a << " -> " << b;
    ASSERT_NEAR(h2, hh, 1e-3) << a << " -> " << b;
  }
}
