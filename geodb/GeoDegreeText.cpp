// Latitudes and longitudes as degree text with the hemisphere letter.
#include <algorithm>
#include <cmath>

#include "DegreeText.h"
#include "TGeoDB.h"

namespace vek {

// Out-of-range values are clamped; NaN counts as the lower bound.
std::string GeoLatitude(double Latit, TDegreeFormat Format, int Decimals) {
  const double v = std::isnan(Latit) ? -90.0 : std::clamp(Latit, -90.0, 90.0);
  return DegreeToStr(std::fabs(v), Format, Decimals) + (v >= 0 ? " N" : " S");
}

std::string GeoLongitude(double Longit, TDegreeFormat Format, int Decimals) {
  const double v = std::isnan(Longit) ? -180.0 : std::clamp(Longit, -180.0, 180.0);
  return DegreeToStr(std::fabs(v), Format, Decimals) + (v >= 0 ? " E" : " W");
}

}  // namespace vek
