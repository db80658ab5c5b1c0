#include "MathUtils.h"

#include <cmath>
#include <random>

namespace vek {

double SphereGreatCircleDist(double Radius, double Lat1, double Long1, double Lat2, double Long2) {
  const double p1 = DegToRad(Lat1), p2 = DegToRad(Lat2);
  const double dp = p2 - p1, dl = DegToRad(Long2 - Long1);
  // Haversine: well conditioned for short distances, where the cosine formula loses digits.
  const double sp = std::sin(dp / 2), sl = std::sin(dl / 2);
  double h = sp * sp + std::cos(p1) * std::cos(p2) * sl * sl;
  if (h > 1) h = 1;
  if (h < 0) h = 0;
  return 2.0 * Radius * std::asin(std::sqrt(h));
}

double Round125(double X) {
  if (!std::isfinite(X) || X == 0) return 0;
  const double a = std::fabs(X);
  double decade = std::pow(10.0, std::floor(std::log10(a)));
  double m = a / decade;
  // log10 may land one decade off near powers of ten.
  if (m >= 10) {
    m /= 10;
    decade *= 10;
  } else if (m < 1) {
    m *= 10;
    decade /= 10;
  }
  // Nearest by distance; the midpoints 1.5, 3.5 and 7.5 go up.
  double r;
  if (m < 1.5)
    r = 1;
  else if (m < 3.5)
    r = 2;
  else if (m < 7.5)
    r = 5;
  else
    r = 10;
  return std::copysign(r * decade, X);
}

namespace {
std::mt19937_64& Generator() {
  static std::mt19937_64 gen(0x5EEDu);
  return gen;
}
}  // namespace

bool BRandom(double P) {
  if (!(P > 0)) return false;
  if (P >= 1) return true;
  std::uniform_real_distribution<double> dist(0.0, 1.0);
  return dist(Generator()) < P;
}

void BRandomSeed(unsigned Seed) { Generator().seed(Seed); }

}  // namespace vek
