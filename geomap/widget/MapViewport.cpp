#include "MapViewport.h"

#include <algorithm>
#include <cmath>

#include "LandMarkStore.h"  // RoundToInt

namespace vek {

double TMapViewport::ClampMagnification(double Value) {
  if (std::isnan(Value)) return 1.0;
  return std::clamp(Value, MinMagnification, MaxMagnification);
}

TPoint TMapViewport::ControlToImage(const TPoint& P) const {
  return TPoint{RoundToInt(P.X / Magnify) + TopLeft.X, RoundToInt(P.Y / Magnify) + TopLeft.Y};
}

TPoint TMapViewport::ImageToControl(const TPoint& P) const {
  return TPoint{RoundToInt((double(P.X) - TopLeft.X) * Magnify),
                RoundToInt((double(P.Y) - TopLeft.Y) * Magnify)};
}

void TMapViewport::PanToFill(int32_t ImgWidth, int32_t ImgHeight) {
  const double maxX = ImgWidth - Width / Magnify;
  const double maxY = ImgHeight - Height / Magnify;
  if (TopLeft.X > maxX) TopLeft.X = RoundToInt(maxX);
  if (TopLeft.Y > maxY) TopLeft.Y = RoundToInt(maxY);
  if (TopLeft.X < 0) TopLeft.X = 0;
  if (TopLeft.Y < 0) TopLeft.Y = 0;
}

void TMapViewport::CenterOn(const TPoint& P) {
  TopLeft = TPoint{P.X - RoundToInt(Width / Magnify / 2), P.Y - RoundToInt(Height / Magnify / 2)};
}

void TMapViewport::CenterOnWithin(const TPoint& P, int32_t ImgWidth, int32_t ImgHeight) {
  const int32_t a = RoundToInt(Width / Magnify / 2);
  const int32_t b = RoundToInt(Height / Magnify / 2);
  const int32_t c = std::min(P.X - a, ImgWidth - 2 * a);
  const int32_t d = std::min(P.Y - b, ImgHeight - 2 * b);
  TopLeft = TPoint{std::max(c, 0), std::max(d, 0)};
}

bool TMapViewport::FitPage(int32_t ImgWidth, int32_t ImgHeight) {
  if (ImgWidth < 1 || ImgHeight < 1 || Width < 1 || Height < 1) return false;
  Magnify = ClampMagnification(
      std::min(double(Width) / ImgWidth, double(Height) / ImgHeight));
  TopLeft = TPoint{0, 0};
  return true;
}

void TMapViewport::ZoomToBox(const TPoint& P1, const TPoint& P2) {
  const int32_t w = std::abs(P2.X - P1.X);
  const int32_t h = std::abs(P2.Y - P1.Y);
  if (w == 0 || h == 0) return;
  Magnify = ClampMagnification(h < w ? double(Width) / w : double(Height) / h);
  TopLeft.X = P1.X + RoundToInt((P2.X - P1.X - Width / Magnify) / 2);
  TopLeft.Y = P1.Y + RoundToInt((P2.Y - P1.Y - Height / Magnify) / 2);
}

void TMapViewport::ZoomAbout(int32_t X, int32_t Y, double Value) {
  const double m = ClampMagnification(Value);
  // The image point under (X, Y), kept in floating point so repeated steps do not drift.
  const double ix = X / Magnify + TopLeft.X;
  const double iy = Y / Magnify + TopLeft.Y;
  Magnify = m;
  TopLeft = TPoint{RoundToInt(ix - X / m), RoundToInt(iy - Y / m)};
}

void TMapViewport::Push() {
  Stack[StackPoi] = TgmZoomStackEntry{TopLeft.X, TopLeft.Y, Magnify};
  StackPoi = StackPoi >= ZoomStackSize ? 1 : StackPoi + 1;
}

TgmZoomStackEntry TMapViewport::Entry(int Index) const {
  if (Index < -(ZoomStackSize - 1) || Index > 0) return TgmZoomStackEntry{};
  const int k = Index + StackPoi;
  return Stack[k >= 2 ? k - 1 : k + ZoomStackSize - 1];
}

bool TMapViewport::Restore(int Index) {
  const TgmZoomStackEntry e = Entry(Index);
  if (e == TgmZoomStackEntry{}) return false;
  TopLeft = TPoint{e.Left, e.Top};
  // A corrupt entry cannot give the view a factor it cannot divide by.
  if (std::isfinite(e.MagF) && e.MagF > 0) Magnify = e.MagF;
  return true;
}

void TMapViewport::ClearHistory() {
  for (TgmZoomStackEntry& e : Stack) e = TgmZoomStackEntry{};
  StackPoi = 1;
  Push();
}

}  // namespace vek
