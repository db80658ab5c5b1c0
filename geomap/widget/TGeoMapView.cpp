// View geometry, programmatic zoom and pan, and the ring of the last views. The arithmetic
// lives in TMapViewport; the control keeps its size in step and repaints.
#include <cmath>

#include "TGeoMap.h"

namespace vek {

TMapViewport& TGeoMap::View() {
  FView.Width = Width();
  FView.Height = Height();
  return FView;
}

void TGeoMap::SetMagnification(double Value) {
  if (std::isnan(Value)) return;
  FView.Magnify = TMapViewport::ClampMagnification(Value);
  Paint();
}

TPoint TGeoMap::ControlToMapImage(const TPoint& APoint) const {
  return FView.ControlToImage(APoint);
}

TPoint TGeoMap::MapImageToControl(const TPoint& APoint) const {
  return FView.ImageToControl(APoint);
}

void TGeoMap::PanMapToFillWindow() { View().PanToFill(FMapImgWidth, FMapImgHeight); }

void TGeoMap::ZoomFitPage() {
  if (FMapImgName.empty() || !View().FitPage(FMapImgWidth, FMapImgHeight)) return;
  SetTopLeft(TPoint{0, 0});
}

void TGeoMap::BringMapPixelToCenter(const TPoint& APoint) {
  View().CenterOn(APoint);
  PanMapToFillWindow();
  Paint();
}

void TGeoMap::BringLocationToCenter(double Latitude, double Longitude) {
  int32_t x = 0, y = 0;
  if (!FCal.CalcPixelCoords(Latitude, Longitude, x, y)) return;
  const QSize size = FTiled ? FTiled->Size() : QSize(GrafBmp->Width(), GrafBmp->Height());
  View().CenterOnWithin(TPoint{x, y}, size.width(), size.height());
  Paint();
}

void TGeoMap::ZoomStateOnStack() { FView.Push(); }

TgmZoomStackEntry TGeoMap::GetZoomStackEntry(int StackIx) const { return FView.Entry(StackIx); }

void TGeoMap::ZoomHistory(int Index) {
  if (FView.Restore(Index)) Paint();
}

void TGeoMap::ClearZoomHistory() { FView.ClearHistory(); }

}  // namespace vek
