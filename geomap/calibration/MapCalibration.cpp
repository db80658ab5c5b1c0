// The calibration's state; fitting, conversions and point editing have files of their own.
#include "MapCalibration.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vek {

bool RoundToPixel(double V, int& Out) {
  if (!std::isfinite(V)) return false;
  const double R = std::nearbyint(V);  // default rounding mode: halves to even
  if (R < static_cast<double>(std::numeric_limits<int32_t>::min()) ||
      R > static_cast<double>(std::numeric_limits<int32_t>::max()))
    return false;
  Out = static_cast<int>(R);
  return true;
}

TMapCalibration::TMapCalibration() {
  FGratMat.Resize(5, 1);
  FGratMat.Fill(0.0);
}

int TMapCalibration::NumLines() const { return std::clamp(FCalibData.NumCalLines, 0, MaxCalLines); }
int TMapCalibration::NumQuads() const { return std::clamp(FCalibData.NumCalQuads, 0, MaxCalQuads); }
int TMapCalibration::NumLinePoints(int Line) const {
  return std::clamp(FCalibData.CalLines[Line].NumPoints, 0, MaxCalLinePoints);
}

}  // namespace vek
