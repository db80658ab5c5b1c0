#include "SLine.h"

#include <cmath>
#include <utility>

namespace vek {

void TSLine::LineFrom2Points(double X1, double Y1, double X2, double Y2) {
  FX1 = X1;
  FY1 = Y1;
  FX2 = X2;
  FY2 = Y2;
}

// Liang-Barsky: the segment is P(t) = P1 + t*(P2 - P1), 0 <= t <= 1; each box edge narrows
// the interval [t0, t1] of t inside the box.
bool TSLine::ClipBox(double Left, double Top, double Right, double Bottom, double& AX, double& AY,
                     double& BX, double& BY) const {
  if (!std::isfinite(FX1) || !std::isfinite(FY1) || !std::isfinite(FX2) || !std::isfinite(FY2))
    return false;
  if (Left > Right) std::swap(Left, Right);
  if (Top > Bottom) std::swap(Top, Bottom);
  const double dx = FX2 - FX1, dy = FY2 - FY1;
  double t0 = 0.0, t1 = 1.0;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {FX1 - Left, Right - FX1, FY1 - Top, Bottom - FY1};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;  // parallel to this edge and outside it
      continue;
    }
    const double t = q[i] / p[i];
    if (p[i] < 0) {
      if (t > t1) return false;
      if (t > t0) t0 = t;
    } else {
      if (t < t0) return false;
      if (t < t1) t1 = t;
    }
  }
  if (!(t0 <= t1)) return false;  // also catches a NaN box
  AX = FX1 + t0 * dx;
  AY = FY1 + t0 * dy;
  BX = FX1 + t1 * dx;
  BY = FY1 + t1 * dy;
  return true;
}

}  // namespace vek
