// TGeoAtlas: a map control under a small command bar, with a registry of up to 200 calibrated
// maps. The user picks a map from the drop-down list, or switches to zoom mode and clicks: a
// left click loads the next finer registered map that contains the clicked position, any other
// button the next coarser one, centred on that position. The outlines of the other registered
// maps are drawn on top of the map shown.
//
// A map is only read for its caption, resolution and corners when it is registered; it is
// loaded in full from its calibration file each time it is selected.
#pragma once

#include <cstdint>
#include <string>

#include "Colors.h"
#include "Controls.h"
#include "GeoMapRecords.h"
#include "PascalArray.h"
#include "TGeoMap.h"

namespace vek {

// One registry entry.
struct TMapDefinition {
  std::string MapFName;  // the calibration file's name, lower-cased
  std::string Caption;
  double Resolution = 0;  // metres per image pixel
  TCornerArray Corners{};
};

class TGeoAtlas : public TCustomControl {
  Q_OBJECT
  // The published properties, reachable through Qt's property system as well.
  Q_PROPERTY(bool CmdPanelVisible READ CmdPanelVisible WRITE SetCmdPanelVisible)
  Q_PROPERTY(QColor MapOutlineColor READ QtMapOutlineColor WRITE SetQtMapOutlineColor)
  Q_PROPERTY(bool MapOutlineVisible READ MapOutlineVisible WRITE SetMapOutlineVisible)
  Q_PROPERTY(double MinResDiff READ MinResDiff WRITE SetMinResDiff)
  Q_PROPERTY(qint64 MapImagePixelLimit READ MapImagePixelLimit WRITE SetMapImagePixelLimit)

 public:
  static constexpr int MaxRegMaps = 200;
  // Screen cursor numbers of the zoom and hand cursors the atlas registers.
  static constexpr TCursor crGeoZoom = 1000;
  static constexpr TCursor crGeoHand = 1001;
  static constexpr const char* EmptyMessage = "TGeoAtlas: Empty";

  explicit TGeoAtlas(QWidget* AOwner = nullptr);
  ~TGeoAtlas() override;

  TGeoAtlas(const TGeoAtlas&) = delete;
  TGeoAtlas& operator=(const TGeoAtlas&) = delete;

  // ---- published properties ----
  bool CmdPanelVisible() const;
  void SetCmdPanelVisible(bool Value);
  TColor MapOutlineColor() const { return FMapOLColor; }
  // Both outline setters repaint the map.
  void SetMapOutlineColor(TColor Value);
  bool MapOutlineVisible() const { return FMapOLVisible; }
  void SetMapOutlineVisible(bool Value);
  QColor QtMapOutlineColor() const { return ColorToQColor(FMapOLColor); }
  void SetQtMapOutlineColor(const QColor& V) { SetMapOutlineColor(QColorToColor(V)); }
  // Minimum gain in resolution, in percent, for ZoomIn to take a finer map.
  double MinResDiff() const { return FMinResDiff; }
  void SetMinResDiff(double Value) { FMinResDiff = Value; }
  // The map control's MapImagePixelLimit, read and written through.
  int64_t MapImagePixelLimit() const { return FGeoMap->MapImagePixelLimit(); }
  void SetMapImagePixelLimit(int64_t Value) { FGeoMap->SetMapImagePixelLimit(Value); }

  // ---- published events (the mouse events of the map arrive as the atlas's own) ----
  TNotifyEvent OnZoomButClick;
  TNotifyEvent OnPointerButClick;
  TNotifyEvent OnCBoxMapsChange;

  // ---- public properties ----
  TMapDefinition Maps(int Index) const { return GetMapDef(Index); }
  int NumRegMaps() const { return FNumRegMaps; }
  // The child controls. A setter takes ownership of the new control, puts it in the old one's
  // place with the atlas's handlers and deletes the old one; null or the same control is
  // ignored.
  TGeoMap* CurrentMap() const { return FGeoMap; }
  void SetCurrentMap(TGeoMap* Value);
  TPanel* CmdPanel() const { return FCPanel; }
  void SetCmdPanel(TPanel* Value);
  TComboBox* MapSelector() const { return FCboxMaps; }
  void SetMapSelector(TComboBox* Value);
  TSpeedButton* PointerButton() const { return FSBPoint; }
  void SetPointerButton(TSpeedButton* Value);
  TSpeedButton* ZoomButton() const { return FSBZoom; }
  void SetZoomButton(TSpeedButton* Value);

  // ---- registry ----
  // Reads the map's calibration file (the first block) and enters or, for a name already
  // registered in any letter case, refreshes its entry. False, with nothing changed, when the
  // file holds no calibration or 200 other maps are registered. Leaves the list without a
  // selected item; does not select the map.
  bool RegisterMap(const std::string& MapFName);
  // Removes entry Index (1-based); the entries after it move down. When it was the selected
  // map, the map that now has its index is loaded (if any).
  void UnregisterMap(int Index);
  // Loads entry Index into the map control and selects it in the list. True when its
  // calibration was found and read. Errors of the map control while loading pass through.
  bool SelectMap(int Index);
  // Among the maps that contain the position and are at least MinResDiff percent finer than
  // CurrentResolution, loads the coarsest and centres the position. False when there is none
  // or CurrentResolution is not a positive number.
  bool ZoomIn(double Lat, double Long, double CurrentResolution);
  // Among the maps that contain the position and are coarser than CurrentResolution, loads
  // the finest and centres the position.
  bool ZoomOut(double Lat, double Long, double CurrentResolution);
  // A copy of entry 1 ... 200 (entries beyond NumRegMaps hold old or empty data); an empty
  // record outside.
  TMapDefinition GetMapDef(int Index) const;

  // ---- handlers of the child controls ----
  void FSBZoomClick(TObject* Sender);
  void FSBPointClick(TObject* Sender);
  void CBoxMapsChange(TObject* Sender);
  void FGeoMapMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void FGeoMapMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void FGeoMapMouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void FGeoMapClick(TObject* Sender);
  void FGeoMapDblClick(TObject* Sender);
  // Draws the outlines of the registered maps except the selected one.
  void FGeoMapDataRendered(TObject* Sender, TCanvas* Canvas);
  // Looks for a map image beside the calibration file of the map being loaded.
  void FGeoMapImgRequest(TObject* Sender, std::string& FileName);

 protected:
  // Sets the map control's message for an empty map.
  void CreateWnd();
  void Resize() override;

 private:
  void LayoutChildren();
  void WireMap(TGeoMap* Map);
  void WireButton(TSpeedButton* Button, bool Zoom);
  void ApplyMode();
  void RefillList();
  // Loads entry Index; true when its calibration block was found and read.
  bool LoadEntry(int Index);
  int SelectedEntry() const;

  TGeoMap* FGeoMap = nullptr;
  TPanel* FCPanel = nullptr;
  TSpeedButton* FSBZoom = nullptr;
  TSpeedButton* FSBPoint = nullptr;
  TComboBox* FCboxMaps = nullptr;
  TColor FMapOLColor = 0xFF0000;
  bool FMapOLVisible = true;
  double FMinResDiff = 10.0;
  int FNumRegMaps = 0;
  PArray<TMapDefinition, 1, MaxRegMaps> FRegMaps{};
  // The file names as registered, in their own letter case: the ones that are opened.
  PArray<std::string, 1, MaxRegMaps> FRegFileNames{};
  int FCurrentMapIdx = 0;
};

}  // namespace vek
