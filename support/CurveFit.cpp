#include "CurveFit.h"

#include <cmath>

namespace vek {

void TCurveFit::EnterStatValue(double X, double Y) {
  FX.push_back(X);
  FY.push_back(Y);
}

namespace {

// R^2 of a fit from the residual and the total sum of squares.
double Determination(double ssRes, double ssTot) {
  if (ssTot > 0) {
    const double q = 1.0 - ssRes / ssTot;
    return q < 0 ? 0 : q;
  }
  // All y equal: the fit is perfect when it reproduces them.
  return ssRes <= 0 ? 1.0 : 0.0;
}

}  // namespace

void TCurveFit::CalcLinFit(double& K, double& D, double& Quality) const {
  const size_t n = FX.size();
  K = 0;
  D = 0;
  Quality = 0;
  if (n == 0) return;
  // Centred sums keep the precision when x or y carry a large offset.
  double mx = 0, my = 0;
  for (size_t i = 0; i < n; ++i) {
    mx += FX[i];
    my += FY[i];
  }
  mx /= n;
  my /= n;
  double sxx = 0, sxy = 0, syy = 0;
  for (size_t i = 0; i < n; ++i) {
    const double dx = FX[i] - mx, dy = FY[i] - my;
    sxx += dx * dx;
    sxy += dx * dy;
    syy += dy * dy;
  }
  D = my;
  if (n < 2 || !(sxx > 0)) return;
  K = sxy / sxx;
  D = my - K * mx;
  double ssRes = 0;
  for (size_t i = 0; i < n; ++i) {
    const double r = FY[i] - (K * FX[i] + D);
    ssRes += r * r;
  }
  Quality = Determination(ssRes, syy);
}

void TCurveFit::CalcParabolFit(double& A, double& B, double& C, double& Quality) const {
  const size_t n = FX.size();
  A = B = C = 0;
  Quality = 0;
  if (n == 0) return;
  double mx = 0, my = 0;
  for (size_t i = 0; i < n; ++i) {
    mx += FX[i];
    my += FY[i];
  }
  mx /= n;
  my /= n;
  // Normal equations in u = (x - mx) / s, so that large pixel coordinates do not ruin the
  // conditioning; the coefficients are transformed back at the end.
  double s = 0;
  for (size_t i = 0; i < n; ++i) s = std::fmax(s, std::fabs(FX[i] - mx));
  double su[5] = {0, 0, 0, 0, 0}, sy[3] = {0, 0, 0}, syy = 0;
  if (s > 0) {
    for (size_t i = 0; i < n; ++i) {
      const double u = (FX[i] - mx) / s, y = FY[i] - my;
      double p = 1;
      for (int k = 0; k < 5; ++k) {
        su[k] += p;
        if (k < 3) sy[k] += p * y;
        p *= u;
      }
      syy += y * y;
    }
  }
  // Solve [su0 su1 su2; su1 su2 su3; su2 su3 su4] * (a0 a1 a2) = sy by Cramer's rule.
  const double m[3][3] = {{su[0], su[1], su[2]}, {su[1], su[2], su[3]}, {su[2], su[3], su[4]}};
  auto det3 = [](const double a[3][3]) {
    return a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) -
           a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
           a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
  };
  const double det = det3(m);
  // Relative test: the Hankel matrix of u-moments is singular with fewer than 3 distinct x.
  const double scale = su[0] * su[2] * su[4];
  if (n < 3 || !(s > 0) || !(std::fabs(det) > 1e-12 * scale)) {
    double k, d, q;
    CalcLinFit(k, d, q);
    A = d;
    B = k;
    C = 0;
    Quality = q;
    return;
  }
  double a[3];
  for (int col = 0; col < 3; ++col) {
    double t[3][3];
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 3; ++c) t[r][c] = c == col ? sy[r] : m[r][c];
    a[col] = det3(t) / det;
  }
  // y - my = a0 + a1*u + a2*u^2 with u = (x - mx)/s.
  C = a[2] / (s * s);
  B = a[1] / s - 2 * C * mx;
  A = my + a[0] - a[1] * mx / s + C * mx * mx;
  double ssRes = 0;
  for (size_t i = 0; i < n; ++i) {
    const double u = (FX[i] - mx) / s;
    const double r = (FY[i] - my) - (a[0] + a[1] * u + a[2] * u * u);
    ssRes += r * r;
  }
  Quality = Determination(ssRes, syy);
}

void TCurveFit::CalcStatistics(int& NumData, double& MeanX, double& MeanY, double& StdDevX,
                               double& StdDevY, double& Correlation, double& RmsDiff,
                               double& MeanDiff) const {
  const size_t n = FX.size();
  NumData = static_cast<int>(n);
  MeanX = MeanY = StdDevX = StdDevY = Correlation = RmsDiff = MeanDiff = 0;
  if (n == 0) return;
  double sd2 = 0;
  for (size_t i = 0; i < n; ++i) {
    MeanX += FX[i];
    MeanY += FY[i];
    const double d = FY[i] - FX[i];
    MeanDiff += d;
    sd2 += d * d;
  }
  MeanX /= n;
  MeanY /= n;
  MeanDiff /= n;
  RmsDiff = std::sqrt(sd2 / n);
  if (n < 2) return;
  double sxx = 0, syy = 0, sxy = 0;
  for (size_t i = 0; i < n; ++i) {
    const double dx = FX[i] - MeanX, dy = FY[i] - MeanY;
    sxx += dx * dx;
    syy += dy * dy;
    sxy += dx * dy;
  }
  StdDevX = std::sqrt(sxx / (n - 1));
  StdDevY = std::sqrt(syy / (n - 1));
  if (sxx > 0 && syy > 0) Correlation = sxy / std::sqrt(sxx * syy);
}

}  // namespace vek
