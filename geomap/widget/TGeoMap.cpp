// Construction, the published and public properties and the small public methods.
#include "TGeoMap.h"

#include <cmath>

#include "LandMarkImageCache.h"
#include "MapLayer.h"

namespace vek {

TGeoMap::TGeoMap(QWidget* AOwner)
    : TCustomControl(AOwner),
      AuxBmp(std::make_unique<TBitmap>()),
      FImgCache(std::make_unique<TBitmap>()),
      FLMImages(std::make_unique<TLandMarkImageCache>()),
      GrafBmp(std::make_unique<TBitmap>()) {
  resize(500, 400);
  AuxBmp->SetPixelFormat(pf15bit);
  FImgCache->SetPixelFormat(pf15bit);
  FCacheAA = FAntiAlias;
  for (bool& v : FLMClassVisible) v = true;
  // Clicking or tabbing gives the focus, so the keys can pan and zoom.
  setFocusPolicy(Qt::StrongFocus);
  ClearZoomHistory();
}

TGeoMap::~TGeoMap() { DropTiledImage(); }

std::string TGeoMap::ComponentMessage(const std::string& Text) const {
  return vek::ComponentMessage(*this, Text);
}

// ---- published properties ----

void TGeoMap::SetAllowPan(bool Value) { FMouseAction = Value ? maPan : maNone; }

void TGeoMap::SetAntiAlias(bool Value) {
  FAntiAlias = Value;
  Paint();
}

void TGeoMap::SetCalibModel(TCalibModel Value) {
  FCal.SetModel(Value);
  SyncCalibImageSize();
  FCal.RecalcCalibration();
  Paint();
}

void TGeoMap::SetCacheMagLimit(double Value) {
  if (std::isnan(Value)) return;
  constexpr double upper = 2.0 / 3.0;
  FCacheMagLimit = Value < 0 ? 0 : (Value > upper ? upper : Value);
  // Above the limit the cache is not used, so the picture cannot change.
  if (FView.Magnify < upper) Paint();
}

void TGeoMap::SetColorBakGnd(TColor Value) {
  FColorBakGnd = Value;
  Paint();
}

void TGeoMap::SetColorGratLine(TColor Value) {
  FColorGratLine = Value;
  Paint();
}

void TGeoMap::SetColorGratPoints(TColor Value) {
  FColorGratPoints = Value;
  Paint();
}

void TGeoMap::SetColorFrame(TColor Value) {
  FFrameColor = Value;
  Paint();
}

void TGeoMap::SetConfinePan(bool Value) {
  FConfinePan = Value;
  if (Value) PanMapToFillWindow();
}

void TGeoMap::SetEmptyMsg(const std::string& Value) {
  FEmptyMsg = Value;
  Paint();
}

void TGeoMap::SetFrameStyle(TFrameStyle Value) {
  if (Value == FFrameStyle) return;
  FFrameStyle = Value;
  Paint();
}

void TGeoMap::SetGratLineDist(double Value) {
  if (std::isnan(Value)) return;
  FGratLineDist = Value < 0 ? 0 : (Value > 60 ? 60 : Value);
  Paint();
}

void TGeoMap::SetUTMGridDist(int32_t Value) {
  FUTMGridDist = Value < 0 ? 0 : (Value > 10000000 ? 10000000 : Value);
  Paint();
}

void TGeoMap::SetUTMZone(int32_t Value) {
  if (Value >= 1 && Value <= 60) FCal.Data().UTMZone = Value;
}

void TGeoMap::SetUTMHemisphere(THemisphere Value) { FCal.Data().UTMSouth = Value == hemiSouth; }

void TGeoMap::SetShowGrat(TShowGrat Value) {
  if (Value == FShowGrat) return;
  FShowGrat = Value;
  Paint();
}

// ---- public properties and methods ----

void TGeoMap::SetMapCaption(const std::string& Value) { FCal.Data().Caption = Value; }

void TGeoMap::SetLMCaptionDeclutter(bool Value) {
  if (Value == FLMCaptionDeclutter) return;
  FLMCaptionDeclutter = Value;
  Paint();
}

void TGeoMap::SetLayers(const TLayerList& Value) {
  FLayers.clear();
  for (const auto& layer : Value)
    if (layer) FLayers.push_back(layer);
  Paint();
}

TMapLayer* TGeoMap::Layer(int32_t Index) const {
  return Index >= 0 && Index < NumLayers() ? FLayers[size_t(Index)].get() : nullptr;
}

void TGeoMap::AddLayer(std::shared_ptr<TMapLayer> Layer) {
  if (!Layer) return;
  FLayers.push_back(std::move(Layer));
  Paint();
}

void TGeoMap::RemoveLayer(int32_t Index) {
  if (Index < 0 || Index >= NumLayers()) return;
  FLayers.erase(FLayers.begin() + Index);
  Paint();
}

void TGeoMap::MoveLayer(int32_t From, int32_t To) {
  if (From < 0 || From >= NumLayers() || To < 0 || To >= NumLayers() || From == To) return;
  auto layer = FLayers[size_t(From)];
  FLayers.erase(FLayers.begin() + From);
  FLayers.insert(FLayers.begin() + To, std::move(layer));
  Paint();
}

void TGeoMap::SetLayerVisible(int32_t Index, bool Visible) {
  TMapLayer* layer = Layer(Index);
  if (!layer || layer->Visible == Visible) return;
  layer->Visible = Visible;
  Paint();
}

void TGeoMap::SetRandSampleLimit(int32_t Value) {
  if (Value <= 1000 || Value == FLMRandSampleLimit) return;
  FLMRandSampleLimit = Value;
  Paint();
}

void TGeoMap::SetSuppressPaint(bool Value) {
  if (Value == FSuppressPaint) return;
  FSuppressPaint = Value;
  if (!Value) Paint();
}

void TGeoMap::SetHighLM(int32_t Value) {
  if (Value < 0 || Value > FLM.NumLandMarks()) Value = 0;
  if (Value == FHighLM) return;
  FHighLM = Value;
  Paint();
}

void TGeoMap::SetHighLightProperties(TColor ColorFG, TColor ColorBG, bool Transparent) {
  FHighLMColFG = ColorFG;
  FHighLMColBG = ColorBG;
  FHighLMTrans = Transparent;
  Paint();
}

void TGeoMap::SetTopLeft(const TPoint& P) {
  FView.TopLeft = P;
  Paint();
}

void TGeoMap::SetClassVisibility(uint8_t Index, bool Value) {
  FLMClassVisible[Index] = Value;
  Paint();
}

double TGeoMap::GetLastMClickLatitude() const {
  bool valid = false;
  const double v = FCal.CalcLatitude(FMouse.LastMClickPosX, FMouse.LastMClickPosY, valid);
  return valid ? v : 0.0;
}

double TGeoMap::GetLastMClickLongitude() const {
  bool valid = false;
  const double v = FCal.CalcLongitude(FMouse.LastMClickPosX, FMouse.LastMClickPosY, valid);
  return valid ? v : 0.0;
}

bool TGeoMap::IsPositionWithinMap(double Lat, double Long) const {
  return PositionInMap(Lat, Long, FCal.Data().Corners);
}

void TGeoMap::DoZoomPanEvent() {
  if (OnZoomPan) OnZoomPan(this);
}

void TGeoMap::DoSelectRectEvent(int Button, double a, double b, double c, double d) {
  if (OnSelectRect) OnSelectRect(this, Button, a, b, c, d);
}

void TGeoMap::SyncCalibImageSize() {
  if (FTiled)
    FCal.SetImageSize(FTiled->Size().width(), FTiled->Size().height());
  else
    FCal.SetImageSize(GrafBmp->Width(), GrafBmp->Height());
}

}  // namespace vek
