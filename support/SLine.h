// A straight line segment in the plane, with clipping to a rectangle.
#pragma once

namespace vek {

class TSLine {
 public:
  void LineFrom2Points(double X1, double Y1, double X2, double Y2);

  // The piece of the segment inside the box (edges included); Left/Right and Top/Bottom may
  // come in either order. Returns false, leaving AX..BY unchanged, when none of it is inside
  // or an end point is not finite.
  bool ClipBox(double Left, double Top, double Right, double Bottom, double& AX, double& AY,
               double& BX, double& BY) const;

  double X1() const { return FX1; }
  double Y1() const { return FY1; }
  double X2() const { return FX2; }
  double Y2() const { return FY2; }

 private:
  double FX1 = 0, FY1 = 0, FX2 = 0, FY2 = 0;
};

}  // namespace vek
