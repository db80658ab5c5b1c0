// Least-squares fits and simple statistics over collected (x, y) pairs.
#pragma once

#include <vector>

namespace vek {

class TCurveFit {
 public:
  // Forgets all pairs.
  void Init() { FX.clear(); FY.clear(); }
  void EnterStatValue(double X, double Y);
  int NumData() const { return static_cast<int>(FX.size()); }

  // Line y = K*x + D. Quality: the coefficient of determination R^2 (1 for a perfect fit,
  // 0 when the line explains nothing; 1 when all y are equal and fitted exactly).
  // With fewer than 2 pairs or all x equal, K = 0, D = mean y (0 without pairs), Quality = 0.
  void CalcLinFit(double& K, double& D, double& Quality) const;

  // Parabola y = A + B*x + C*x^2, Quality as for CalcLinFit. With fewer than 3 distinct x the
  // parabola degenerates to the line fit (C = 0, and B = 0 too when all x are equal).
  void CalcParabolFit(double& A, double& B, double& C, double& Quality) const;

  // NumData: number of pairs; MeanX, MeanY; StdDevX, StdDevY (sample standard deviations,
  // 0 below two pairs); Correlation of x and y (0 when undefined); RmsDiff: the root mean
  // square of the differences y - x, 0 exactly when every y equals its x (the quality
  // measure calibration uses); MeanDiff: the mean of y - x. All 0 without pairs.
  void CalcStatistics(int& NumData, double& MeanX, double& MeanY, double& StdDevX,
                      double& StdDevY, double& Correlation, double& RmsDiff,
                      double& MeanDiff) const;

 private:
  std::vector<double> FX;
  std::vector<double> FY;
};

}  // namespace vek
