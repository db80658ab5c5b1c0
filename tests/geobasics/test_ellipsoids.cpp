// Ellipsoid table and the derived ellipsoid parameters.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>
#include <string>

#include "Vek_geobasics.h"

using namespace vek;

namespace {

const TGeoEllipsoid Spheres[] = {gelSphere, gelAuthSph, gelInt24AuthSph, gelPopVisSphere};

bool IsSphere(int e) {
  for (TGeoEllipsoid s : Spheres)
    if (s == e) return true;
  return false;
}

}  // namespace

TEST(EllipsoidTable, IdsNameTheEnumerationValuesInOrder) {
  EXPECT_STREQ(GeoEllipsoidId[gelWGS84], "gelWGS84");
  EXPECT_STREQ(GeoEllipsoidId[gelSphere], "gelSphere");
  EXPECT_STREQ(GeoEllipsoidId[gelClrk80intfoot], "gelClrk80intfoot");
  EXPECT_STREQ(GeoEllipsoidId[gelNahrwan29], "gelNahrwan29");
  EXPECT_EQ(static_cast<int>(gelNahrwan29), 60);
  EXPECT_EQ(sizeof(TGeoEllipsoid), 1u);
  std::set<std::string> ids, names;
  for (int i = 0; i < NumGeoEllipsoids; ++i) {
    ids.insert(GeoEllipsoidId[i]);
    names.insert(GeoEllipsoidName[i]);
  }
  EXPECT_EQ(ids.size(), 61u);
  EXPECT_EQ(names.size(), 61u);
}

TEST(EllipsoidTable, AxesAsTabulated) {
  EXPECT_EQ(GeoEllipsoidData[gelWGS84].a, 6378137.0);
  EXPECT_EQ(GeoEllipsoidData[gelWGS84].b, 6356752.314245);
  EXPECT_EQ(GeoEllipsoidData[gelGRS80].b, 6356752.31414);
  EXPECT_EQ(GeoEllipsoidData[gelClrk80intfoot].a, 6378306.3696);
  EXPECT_EQ(GeoEllipsoidData[gelNahrwan29].b, 6356566.42744);
  EXPECT_STREQ(GeoEllipsoidName[gelEver30Ind], "Everest 1830 (India 1937 adj.)");
  EXPECT_STREQ(GeoEllipsoidName[gelPopVisSphere], "Popular Visualisation Sphere");
  for (int i = 0; i < NumGeoEllipsoids; ++i) {
    SCOPED_TRACE(GeoEllipsoidId[i]);
    const double a = GeoEllipsoidData[i].a, b = GeoEllipsoidData[i].b;
    EXPECT_GT(a, 6370000.0);
    EXPECT_LT(a, 6380000.0);
    if (IsSphere(i))
      EXPECT_EQ(a, b);
    else  // every flattening lies between 1/310 and 1/290
      EXPECT_NEAR(RecipFlattening(static_cast<TGeoEllipsoid>(i)), 300.0, 10.0);
  }
}

TEST(EllipsoidParameters, FromTheTable) {
  EXPECT_NEAR(RecipFlattening(gelWGS84), 298.257223563, 1e-6);
  EXPECT_NEAR(GeoEllEccSquared(gelWGS84), 0.00669437999, 1e-11);
  for (TGeoEllipsoid s : Spheres) {
    EXPECT_EQ(RecipFlattening(s), 0.0);
    EXPECT_EQ(GeoEllEccSquared(s), 0.0);
  }
}

TEST(EllipsoidParameters, FromAxes) {
  const double a = 6378137.0, b = 6356752.314245;
  EXPECT_EQ(GeoEllEccSquared(a, b), GeoEllEccSquared(b, a));
  EXPECT_DOUBLE_EQ(GeoEllEccSquared(a, b), GeoEllEccSquared(gelWGS84));
  EXPECT_NEAR(RecipFlattening(a, b), 298.257223563, 1e-6);
  EXPECT_LT(RecipFlattening(b, a), 0.0);  // order matters, and no error
  EXPECT_EQ(RecipFlattening(a, a), 0.0);
}

TEST(EllipsoidParameters, FromFlatteningOrEccentricity) {
  EXPECT_EQ(GeoEllEccSquared(0.0), 0.0);
  // The tabulated b is rounded to the micrometre, hence not closer than this.
  EXPECT_NEAR(GeoEllEccSquared(298.257223563), GeoEllEccSquared(gelWGS84), 1e-12);
  EXPECT_EQ(RecipFlattening(1.0), 1.0);
  EXPECT_EQ(RecipFlattening(0.0), 0.0);
  EXPECT_NEAR(RecipFlattening(GeoEllEccSquared(gelWGS84)), 298.257223563, 1e-6);
  EXPECT_EQ(EllipsoidMinAxFlat(6378137.0, 0.0), 6378137.0);
  EXPECT_NEAR(EllipsoidMinAxFlat(6378137.0, 298.257223563), 6356752.314245, 1e-6);
  EXPECT_NEAR(EllipsoidMinAxEcc(6378137.0, GeoEllEccSquared(gelWGS84)), 6356752.314245, 1e-6);
  EXPECT_EQ(EllipsoidMinAxEcc(6378137.0, 0.0), 6378137.0);
  EXPECT_TRUE(std::isnan(EllipsoidMinAxEcc(6378137.0, 1.5)));  // unchecked above 1
}

TEST(EllipsoidParameters, InvalidArgumentsRaise) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  auto expectError = [](auto fn, const char* message) {
    try {
      fn();
      ADD_FAILURE() << "no exception";
    } catch (const EVEKGeoBasicsError& e) {
      EXPECT_STREQ(e.what(), message);
    }
  };
  expectError([] { EllipsoidMinAxFlat(6378137.0, -1.0); }, "invalid reciprocal flattening");
  expectError([&] { EllipsoidMinAxFlat(6378137.0, nan); }, "invalid reciprocal flattening");
  expectError([] { EllipsoidMinAxEcc(6378137.0, -0.1); }, "invalid eccentricity");
  expectError([&] { EllipsoidMinAxEcc(6378137.0, nan); }, "invalid eccentricity");
  expectError([] { RecipFlattening(1.0000001); }, "invalid eccentricity");
  expectError([] { RecipFlattening(-1e-12); }, "invalid eccentricity");
  expectError([&] { RecipFlattening(nan); }, "invalid eccentricity");
  // The unit's error is one of the library's errors.
  EXPECT_THROW(RecipFlattening(2.0), EVEKError);
}
