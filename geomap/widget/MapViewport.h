// The view of a map control: which map image pixel sits at the control's top-left corner,
// how many control pixels one image pixel takes, the control's size, and the ring of the
// last views. No widget: the control owns one and the renderer reads it.
#pragma once

#include <cstdint>

#include "GeoMapRecords.h"
#include "GraphicsTypes.h"
#include "PascalArray.h"

namespace vek {

class TMapViewport {
 public:
  static constexpr int ZoomStackSize = 16;
  // Every operation that sets the magnification keeps it inside this range.
  static constexpr double MinMagnification = 1.0 / 64;
  static constexpr double MaxMagnification = 64.0;

  TPoint TopLeft{0, 0};
  double Magnify = 1.0;
  int32_t Width = 0;   // control pixels
  int32_t Height = 0;

  // The magnification clamped to the range; NaN gives 1.
  static double ClampMagnification(double Value);

  // x = rnd((X - TopLeft.X) * Magnify) and X = rnd(x / Magnify) + TopLeft.X, likewise y.
  TPoint ControlToImage(const TPoint& P) const;
  TPoint ImageToControl(const TPoint& P) const;
  // Without rounding, for geometry that is clipped before it is drawn.
  void ImageToControl(double X, double Y, double& CX, double& CY) const {
    CX = (X - TopLeft.X) * Magnify;
    CY = (Y - TopLeft.Y) * Magnify;
  }

  // Moves TopLeft so that no space beyond the image's right or bottom edge shows, then
  // not before its left or top edge: a small image is shown from its top-left corner.
  void PanToFill(int32_t ImgWidth, int32_t ImgHeight);
  // TopLeft so that image pixel P lies at the centre of the control.
  void CenterOn(const TPoint& P);
  // Centres P but keeps the view inside the image on the right and bottom, then on the
  // left and top.
  void CenterOnWithin(const TPoint& P, int32_t ImgWidth, int32_t ImgHeight);
  // The whole image fits the control; TopLeft (0, 0). False without an image.
  bool FitPage(int32_t ImgWidth, int32_t ImgHeight);
  // Shows the image rectangle P1 .. P2 (top-left, bottom-right) centred in the control, the
  // wider of its sides filling the control.
  void ZoomToBox(const TPoint& P1, const TPoint& P2);
  // The control pixel (X, Y) keeps showing the same image point while the magnification
  // becomes Value (wheel zoom).
  void ZoomAbout(int32_t X, int32_t Y, double Value);

  // ---- the ring of the last views ----
  void Push();
  // The view Push stored Index pushes ago: 0 the last one, down to -15. An empty entry
  // outside that range.
  TgmZoomStackEntry Entry(int Index) const;
  // Restores a stored view; false (nothing changes) for an empty entry or a bad index.
  bool Restore(int Index);
  // Empties the ring and pushes the current view.
  void ClearHistory();

  PArray<TgmZoomStackEntry, 1, ZoomStackSize> Stack{};
  int32_t StackPoi = 1;  // the slot the next push writes
};

}  // namespace vek
