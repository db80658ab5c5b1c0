#include "TGeoAtlas.h"

#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <algorithm>
#include <QPixmap>
#include <QString>
#include <cmath>

#include "Application.h"
#include "CalibXml.h"
#include "StrUtils.h"

// Resources of a static library are registered by hand; Q_INIT_RESOURCE cannot be used
// inside a namespace.
static void InitGeoAtlasResources() { Q_INIT_RESOURCE(geoatlas); }

namespace vek {

namespace {

constexpr int PanelHeight = 33;
constexpr int GlyphSize = 20;
constexpr int GroupIndex = 999;

QString Resource(const char* Name) { return QStringLiteral(":/vekgeo/geoatlas/") + Name; }

// Registry names are compared without regard to letter case.
std::string LowerCase(const std::string& S) {
  return QString::fromStdString(S).toLower().toStdString();
}

// The directory part of a file name, with its trailing separator ('/' or '\').
std::string DirectoryOf(const std::string& Name) {
  const size_t Sep = Name.find_last_of("/\\");
  return Sep == std::string::npos ? std::string() : Name.substr(0, Sep + 1);
}

// A glyph strip of two 20 x 20 images: the button's normal and its disabled look.
QIcon TwoGlyphIcon(const char* Name) {
  const QPixmap Strip(Resource(Name));
  QIcon Icon;
  Icon.addPixmap(Strip.copy(0, 0, GlyphSize, GlyphSize), QIcon::Normal);
  Icon.addPixmap(Strip.copy(GlyphSize, 0, GlyphSize, GlyphSize), QIcon::Disabled);
  return Icon;
}

void RegisterCursors() {
  static bool Done = false;
  if (Done) return;
  Done = true;
  SetScreenCursor(TGeoAtlas::crGeoZoom, QCursor(QPixmap(Resource("CURGEOZOOM")), 6, 6));
  SetScreenCursor(TGeoAtlas::crGeoHand, QCursor(QPixmap(Resource("CURGEOHAND")), 0, 0));
}

// Deletes the old child and puts the new one in its place; false when nothing changes.
template <class T>
bool Replace(T*& Field, T* Value, QWidget* Parent) {
  if (!Value || Value == Field) return false;
  QRect Geometry;
  if (Field) {
    Geometry = Field->geometry();
    delete Field;
  }
  Field = Value;
  Value->setParent(Parent);
  if (Geometry.isValid()) Value->setGeometry(Geometry);
  Value->show();
  return true;
}

}  // namespace

TGeoAtlas::TGeoAtlas(QWidget* AOwner) : TCustomControl(AOwner) {
  InitGeoAtlasResources();
  setGeometry(100, 50, 480, 320);

  FCPanel = new TPanel(this);
  FCPanel->setGeometry(0, 0, width(), PanelHeight);

  FSBPoint = new TSpeedButton(FCPanel);
  FSBPoint->setGeometry(3, 3, 26, 26);
  WireButton(FSBPoint, false);
  FSBPoint->SetDown(true);

  FSBZoom = new TSpeedButton(FCPanel);
  FSBZoom->setGeometry(FSBPoint->x() + FSBPoint->width() + 3, 3, 26, 26);
  WireButton(FSBZoom, true);

  FCboxMaps = new TComboBox(FCPanel);
  FCboxMaps->setGeometry(FSBZoom->x() + FSBZoom->width() + 10, 5, 300, FCboxMaps->sizeHint().height());
  FCboxMaps->setEditable(false);
  FCboxMaps->OnChange = [this](TObject* S) { CBoxMapsChange(S); };

  FGeoMap = new TGeoMap(this);
  WireMap(FGeoMap);
  RegisterCursors();
  LayoutChildren();
  CreateWnd();
}

TGeoAtlas::~TGeoAtlas() {
  // The map may repaint while it goes; nothing of it may reach the atlas any more.
  if (FGeoMap) {
    FGeoMap->OnDataRendered = nullptr;
    FGeoMap->OnMapImageRequest = nullptr;
    delete FGeoMap;
  }
}

void TGeoAtlas::CreateWnd() { FGeoMap->SetEmptyMsg(EmptyMessage); }

// ---- layout: the command bar on top, the map below it ----

void TGeoAtlas::Resize() {
  LayoutChildren();
  TCustomControl::Resize();
}

void TGeoAtlas::LayoutChildren() {
  const bool Bar = FCPanel && !FCPanel->isHidden();
  if (FCPanel) FCPanel->setGeometry(0, 0, width(), PanelHeight);
  const int Top = Bar ? PanelHeight : 0;
  if (FGeoMap) FGeoMap->setGeometry(0, Top, width(), std::max(0, height() - Top));
}

bool TGeoAtlas::CmdPanelVisible() const { return FCPanel && !FCPanel->isHidden(); }

void TGeoAtlas::SetCmdPanelVisible(bool Value) {
  if (!FCPanel) return;
  FCPanel->setVisible(Value);
  LayoutChildren();
}

// ---- child controls ----

void TGeoAtlas::WireButton(TSpeedButton* Button, bool Zoom) {
  Button->setAutoRaise(true);  // flat
  Button->SetGroupIndex(GroupIndex);
  Button->setIcon(TwoGlyphIcon(Zoom ? "ZOOMIN" : "POINTR"));
  Button->setIconSize(QSize(GlyphSize, GlyphSize));
  if (Zoom)
    Button->OnClick = [this](TObject* S) { FSBZoomClick(S); };
  else
    Button->OnClick = [this](TObject* S) { FSBPointClick(S); };
}

void TGeoAtlas::WireMap(TGeoMap* Map) {
  Map->OnMouseDown = [this](TObject* S, TMouseButton B, TShiftState Sh, int X, int Y) {
    FGeoMapMouseDown(S, B, Sh, X, Y);
  };
  Map->OnMouseUp = [this](TObject* S, TMouseButton B, TShiftState Sh, int X, int Y) {
    FGeoMapMouseUp(S, B, Sh, X, Y);
  };
  Map->OnMouseMove = [this](TObject* S, TShiftState Sh, int X, int Y) { FGeoMapMouseMove(S, Sh, X, Y); };
  Map->OnDataRendered = [this](TObject* S, TCanvas* C) { FGeoMapDataRendered(S, C); };
  Map->OnDblClick = [this](TObject* S) { FGeoMapDblClick(S); };
  Map->OnClick = [this](TObject* S) { FGeoMapClick(S); };
  Map->OnMapImageRequest = [this](TObject* S, std::string& F) { FGeoMapImgRequest(S, F); };
}

void TGeoAtlas::SetCurrentMap(TGeoMap* Value) {
  if (!Value || Value == FGeoMap) return;
  TGeoMap::TLayerList layers;
  if (FGeoMap) {
    FGeoMap->OnDataRendered = nullptr;
    FGeoMap->OnMapImageRequest = nullptr;
    layers = FGeoMap->Layers();
  }
  if (!Replace(FGeoMap, Value, this)) return;
  // The layers stay with the atlas, whichever control shows its maps.
  if (!layers.empty() && Value->Layers().empty()) Value->SetLayers(layers);
  WireMap(FGeoMap);
  FGeoMap->SetAllowPan(!(FSBZoom && FSBZoom->Down()));
  LayoutChildren();
  CreateWnd();
}

void TGeoAtlas::SetCmdPanel(TPanel* Value) {
  if (!Value || Value == FCPanel) return;
  // The buttons and the list move onto the new bar before the old one goes.
  for (QWidget* W : {static_cast<QWidget*>(FSBPoint), static_cast<QWidget*>(FSBZoom),
                     static_cast<QWidget*>(FCboxMaps)}) {
    if (!W) continue;
    const QRect G = W->geometry();
    W->setParent(Value);
    W->setGeometry(G);
    W->show();
  }
  Replace(FCPanel, Value, this);
  LayoutChildren();
}

void TGeoAtlas::SetMapSelector(TComboBox* Value) {
  if (!Replace(FCboxMaps, Value, FCPanel)) return;
  FCboxMaps->OnChange = [this](TObject* S) { CBoxMapsChange(S); };
  RefillList();
}

void TGeoAtlas::SetPointerButton(TSpeedButton* Value) {
  const bool Down = FSBPoint && FSBPoint->Down();
  if (!Replace(FSBPoint, Value, FCPanel)) return;
  WireButton(FSBPoint, false);
  FSBPoint->SetDown(Down);
}

void TGeoAtlas::SetZoomButton(TSpeedButton* Value) {
  const bool Down = FSBZoom && FSBZoom->Down();
  if (!Replace(FSBZoom, Value, FCPanel)) return;
  WireButton(FSBZoom, true);
  FSBZoom->SetDown(Down);
}

// ---- properties ----

void TGeoAtlas::SetMapOutlineColor(TColor Value) {
  FMapOLColor = Value;
  FGeoMap->Paint();
}

void TGeoAtlas::SetMapOutlineVisible(bool Value) {
  FMapOLVisible = Value;
  FGeoMap->Paint();
}

TMapDefinition TGeoAtlas::GetMapDef(int Index) const {
  if (Index < 1 || Index > MaxRegMaps) return TMapDefinition{};
  return FRegMaps[Index];
}

// ---- registry ----

void TGeoAtlas::RefillList() {
  FCboxMaps->clear();
  for (int i = 1; i <= FNumRegMaps; ++i) {
    const TMapDefinition& D = FRegMaps[i];
    FCboxMaps->addItem(QString::fromStdString(D.Caption.empty() ? D.MapFName : D.Caption));
  }
  FCboxMaps->setCurrentIndex(-1);
}

int TGeoAtlas::SelectedEntry() const { return FCboxMaps->currentIndex() + 1; }

bool TGeoAtlas::RegisterMap(const std::string& MapFName) {
  // The name is kept as given for opening: on a case-sensitive file system the lower-cased
  // name may not exist.
  TCalibData Data;
  TCalibModel Model = cmUndefined;
  if (!ParseCalibData(MapFName, "", Data, Model)) return false;
  const std::string Lower = LowerCase(MapFName);
  int Ix = 0;
  for (int i = 1; i <= FNumRegMaps && Ix == 0; ++i)
    if (FRegMaps[i].MapFName == Lower) Ix = i;
  if (Ix == 0) {
    if (FNumRegMaps >= MaxRegMaps) return false;
    Ix = ++FNumRegMaps;
  }
  FRegMaps[Ix] = TMapDefinition{Lower, Data.Caption, Data.Resolution, Data.Corners};
  FRegFileNames[Ix] = MapFName;
  RefillList();
  return true;
}

void TGeoAtlas::UnregisterMap(int Index) {
  if (Index < 1 || Index > FNumRegMaps) return;
  for (int i = Index; i < FNumRegMaps; ++i) {
    FRegMaps[i] = FRegMaps[i + 1];
    FRegFileNames[i] = FRegFileNames[i + 1];
  }
  FRegMaps[FNumRegMaps] = TMapDefinition{};
  FRegFileNames[FNumRegMaps].clear();
  --FNumRegMaps;
  const int Selected = SelectedEntry();
  RefillList();
  if (Index == Selected)
    SelectMap(Index);  // with none left at this index the removed map stays on screen
  else
    FGeoMap->Paint();
}

bool TGeoAtlas::LoadEntry(int Index) {
  // The map's reader reports the graticule-line fit, which is false for every map calibrated
  // by points alone; a map counts as loaded when its calibration block was found and read.
  TCalibData Probe;
  TCalibModel Model = cmUndefined;
  if (!ParseCalibData(FRegFileNames[Index], "", Probe, Model)) return false;
  FCurrentMapIdx = Index;
  FGeoMap->LoadCalDataFromXML(FRegFileNames[Index], "");
  return true;
}

bool TGeoAtlas::SelectMap(int Index) {
  if (Index < 1 || Index > FNumRegMaps) return false;
  if (!LoadEntry(Index)) return false;
  FCboxMaps->setCurrentIndex(Index - 1);
  return true;
}

void TGeoAtlas::CBoxMapsChange(TObject*) {
  const int Index = SelectedEntry();
  if (Index >= 1 && Index <= FNumRegMaps) LoadEntry(Index);
  if (OnCBoxMapsChange) OnCBoxMapsChange(this);
}

bool TGeoAtlas::ZoomIn(double Lat, double Long, double CurrentResolution) {
  // Without a resolution of the map shown there is nothing to compare with.
  if (!(CurrentResolution > 0) || !std::isfinite(CurrentResolution)) return false;
  double Best = 0;
  int Choice = 0;
  for (int i = 1; i <= FNumRegMaps; ++i) {
    const TMapDefinition& D = FRegMaps[i];
    if (!PositionInMap(Lat, Long, D.Corners)) continue;
    const double Gain = (CurrentResolution - D.Resolution) / CurrentResolution;
    if (Gain > FMinResDiff / 100 && D.Resolution > Best) {
      Best = D.Resolution;
      Choice = i;
    }
  }
  if (Choice == 0 || !SelectMap(Choice)) return false;
  FGeoMap->BringLocationToCenter(Lat, Long);
  return true;
}

bool TGeoAtlas::ZoomOut(double Lat, double Long, double CurrentResolution) {
  double Best = 1e10;
  int Choice = 0;
  for (int i = 1; i <= FNumRegMaps; ++i) {
    const TMapDefinition& D = FRegMaps[i];
    if (!PositionInMap(Lat, Long, D.Corners)) continue;
    if (D.Resolution > CurrentResolution && D.Resolution < Best) {
      Best = D.Resolution;
      Choice = i;
    }
  }
  if (Choice == 0 || !SelectMap(Choice)) return false;
  FGeoMap->BringLocationToCenter(Lat, Long);
  return true;
}

// ---- mouse and buttons ----

void TGeoAtlas::FGeoMapMouseDown(TObject*, TMouseButton Button, TShiftState Shift, int X, int Y) {
  MouseDown(Button, Shift, X, Y);
  if (!FSBZoom || !FSBZoom->Down()) return;
  // A press the calibration cannot place (a map without calibration) chooses nothing, rather
  // than a map at 0 N 0 E.
  bool ValidLat = false, ValidLong = false;
  const double Lat = FGeoMap->CalcLatitude(FGeoMap->LastClickPosX(), FGeoMap->LastClickPosY(), ValidLat);
  const double Long = FGeoMap->CalcLongitude(FGeoMap->LastClickPosX(), FGeoMap->LastClickPosY(), ValidLong);
  if (!ValidLat || !ValidLong) return;
  const double R = FGeoMap->CalibData().Resolution;
  if (Button == mbLeft)
    ZoomIn(Lat, Long, R);
  else
    ZoomOut(Lat, Long, R);
}

void TGeoAtlas::FGeoMapMouseUp(TObject*, TMouseButton Button, TShiftState Shift, int X, int Y) {
  MouseUp(Button, Shift, X, Y);
}

void TGeoAtlas::FGeoMapMouseMove(TObject*, TShiftState Shift, int X, int Y) { MouseMove(Shift, X, Y); }
void TGeoAtlas::FGeoMapClick(TObject*) { Click(); }
void TGeoAtlas::FGeoMapDblClick(TObject*) { DblClick(); }

void TGeoAtlas::ApplyMode() {
  const bool Zoom = FSBZoom && FSBZoom->Down();
  SetCursor(Zoom ? crGeoZoom : crHandPoint);
  FGeoMap->SetAllowPan(!Zoom);
}

void TGeoAtlas::FSBZoomClick(TObject*) {
  ApplyMode();
  Click();
  if (OnZoomButClick) OnZoomButClick(this);
}

void TGeoAtlas::FSBPointClick(TObject*) {
  ApplyMode();
  Click();
  if (OnPointerButClick) OnPointerButClick(this);
}

// ---- outlines and map images ----

void TGeoAtlas::FGeoMapDataRendered(TObject*, TCanvas* Canvas) {
  if (!FMapOLVisible || !Canvas) return;
  Canvas->Pen().SetColor(FMapOLColor);
  Canvas->Pen().SetStyle(psSolid);
  Canvas->Pen().SetMode(pmCopy);
  Canvas->Pen().SetWidth(1);
  const int Selected = SelectedEntry();
  // Through the map's own view geometry, so that the outlines stay on the map at every
  // magnification and scroll position.
  auto Place = [&](const TCoords& C, TPoint& P) {
    int32_t X = 0, Y = 0;
    if (!FGeoMap->CalcPixelCoords(C.Latit, C.Longit, X, Y)) return false;
    P = FGeoMap->MapImageToControl(TPoint{X, Y});
    return true;
  };
  // Outlines end with the map image; the background beside a small map stays plain.
  const TPoint TopLeft = FGeoMap->MapImageToControl(TPoint{0, 0});
  const TPoint BottomRight =
      FGeoMap->MapImageToControl(TPoint{FGeoMap->MapImgWidth(), FGeoMap->MapImgHeight()});
  // In floating point: a huge map far off the view puts its corners near the ends of int.
  Canvas->SetClipRect(QRectF(TopLeft.X, TopLeft.Y, double(BottomRight.X) - TopLeft.X + 1,
                             double(BottomRight.Y) - TopLeft.Y + 1));
  for (int i = 1; i <= FNumRegMaps; ++i) {
    if (i == Selected) continue;
    const TCornerArray& K = FRegMaps[i].Corners;
    TPoint P;
    if (Place(K[gcoTopRight], P)) Canvas->MoveTo(P.X, P.Y);
    for (TCorners C : {gcoTopLeft, gcoBottomLeft, gcoBottomRight, gcoTopRight})
      if (Place(K[C], P)) Canvas->LineTo(P.X, P.Y);
  }
  Canvas->ClearClipRect();
}

void TGeoAtlas::FGeoMapImgRequest(TObject*, std::string& FileName) {
  // Without a selected registered map there is no directory to look in; the name stays.
  if (FCurrentMapIdx < 1 || FCurrentMapIdx > FNumRegMaps) return;
  const std::string Dir = DirectoryOf(FRegFileNames[FCurrentMapIdx]);
  const std::string Beside = Dir + StripPath(FileName);
  auto Exists = [](const std::string& F) { return QFileInfo::exists(QString::fromStdString(F)); };
  if (Exists(Beside)) {
    FileName = Beside;
    return;
  }
  // Calibration files keep image names in lower case; on a case-sensitive file system the
  // image beside them may be spelt otherwise.
  const QString Wanted = QString::fromStdString(StripPath(FileName));
  const QDir Where(QString::fromStdString(Dir.empty() ? "." : Dir));
  for (const QString& Entry : Where.entryList(QDir::Files))
    if (Entry.compare(Wanted, Qt::CaseInsensitive) == 0) {
      FileName = Dir + Entry.toStdString();
      return;
    }
  // An image the application loads from elsewhere (a map it generates, say) is not lost.
  if (!Exists(FileName)) FileName = Beside;
}

}  // namespace vek
