// View geometry, programmatic zoom and pan, and the ring of the last views.
#include <cmath>

#include "TGeoMap.h"

namespace vek {

void TGeoMap::SetMagnification(double Value) {
  // The view geometry divides by the factor.
  if (!std::isfinite(Value) || Value <= 0) return;
  FMagnify = Value;
  Paint();
}

TPoint TGeoMap::ControlToMapImage(const TPoint& APoint) const {
  return TPoint{RoundToInt(APoint.X / FMagnify) + FTopLeft.X,
                RoundToInt(APoint.Y / FMagnify) + FTopLeft.Y};
}

TPoint TGeoMap::MapImageToControl(const TPoint& APoint) const {
  return TPoint{RoundToInt((double(APoint.X) - FTopLeft.X) * FMagnify),
                RoundToInt((double(APoint.Y) - FTopLeft.Y) * FMagnify)};
}

void TGeoMap::PanMapToFillWindow() {
  const double maxX = FMapImgWidth - Width() / FMagnify;
  const double maxY = FMapImgHeight - Height() / FMagnify;
  if (FTopLeft.X > maxX) FTopLeft.X = RoundToInt(maxX);
  if (FTopLeft.Y > maxY) FTopLeft.Y = RoundToInt(maxY);
  if (FTopLeft.X < 0) FTopLeft.X = 0;
  if (FTopLeft.Y < 0) FTopLeft.Y = 0;
}

void TGeoMap::ZoomStateOnStack() {
  FZoomStack[FZStackPoi] = TgmZoomStackEntry{FTopLeft.X, FTopLeft.Y, FMagnify};
  FZStackPoi = FZStackPoi >= ZoomStackSize ? 1 : FZStackPoi + 1;
}

TgmZoomStackEntry TGeoMap::GetZoomStackEntry(int StackIx) const {
  if (StackIx < -(ZoomStackSize - 1) || StackIx > 0) return TgmZoomStackEntry{};
  const int k = StackIx + FZStackPoi;
  return FZoomStack[k >= 2 ? k - 1 : k + ZoomStackSize - 1];
}

void TGeoMap::ZoomHistory(int Index) {
  if (Index < -(ZoomStackSize - 1) || Index > 0) return;
  const TgmZoomStackEntry e = GetZoomStackEntry(Index);
  if (e == TgmZoomStackEntry{}) return;
  FTopLeft = TPoint{e.Left, e.Top};
  // A corrupt entry cannot give the view a factor it cannot divide by.
  if (std::isfinite(e.MagF) && e.MagF > 0) FMagnify = e.MagF;
  Paint();
}

void TGeoMap::ClearZoomHistory() {
  for (TgmZoomStackEntry& e : FZoomStack) e = TgmZoomStackEntry{};
  FZStackPoi = 1;
  ZoomStateOnStack();
}

}  // namespace vek
