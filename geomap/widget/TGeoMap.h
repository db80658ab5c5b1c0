// TGeoMap: a control that shows one raster map image with its calibration, a store of
// landmarks, the display settings and the view state (magnification, scroll position, zoom
// history, mouse state).
//
// The control repaints synchronously: every setter that changes what is shown calls Paint()
// at once, which composes the whole picture in AuxBmp and copies it onto the control's
// canvas. SuppressPaint batches changes into one repaint.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Bitmap.h"
#include "Canvas.h"
#include "Colors.h"
#include "Controls.h"
#include "Ellipsoids.h"
#include "GeoMapRecords.h"
#include "GraphicsTypes.h"
#include "LandMarkStore.h"
#include "MapCalibration.h"
#include "MapMouseState.h"
#include "MapViewport.h"
#include "MapImageSource.h"
#include "PascalArray.h"
#include "VekTypes.h"

namespace vek {

class TLandMarkImageCache;
class TMapLayer;

class TGeoMap : public TCustomControl {
  Q_OBJECT

 public:
  // ---- Qt's property system: Designer, style sheets and QObject::setProperty reach the
  // published properties under their own names; the setters below keep their rules ----
  enum CalibrationModel {
    ParabolicIp = cmParabolicIp,
    BiquadraticPn = cmBiquadraticPn,
    ConicConformal = cmConicConformal,
    MillerCylindrical = cmMillerCylindrical,
    EquiRect = cmEquiRect,
    UTM = cmUTM,
    UndefinedModel = cmUndefined,
  };
  Q_ENUM(CalibrationModel)
  enum GraticuleMode {
    NoGraticule = sgNone,
    Points = sgPoints,
    Lines = sgLines,
    PointsAndLines = sgPointsAndLines,
    UTMGrid = sgUTMGrid,
    PointsAndUTMGrid = sgPointsAndUTMGrid,
  };
  Q_ENUM(GraticuleMode)
  enum FrameKind { NoFrame = fsNone, Bevel = fsBevel, Single = fsSingle, Raised = fsRaised, Double = fsDouble };
  Q_ENUM(FrameKind)
  enum MouseMode {
    NoMouseAction = maNone,
    Pan = maPan,
    PanHorizontal = maPanHoriz,
    PanVertical = maPanVert,
    RubberBand = maRubberBand,
    ZoomBox = maZoomBox,
    DragZoom = maDragZoom,
    SelectRectangle = maSelectRect,
    TraceMouse = maMouseTrace,
  };
  Q_ENUM(MouseMode)
  enum Hemisphere { North = hemiNorth, South = hemiSouth };
  Q_ENUM(Hemisphere)

  Q_PROPERTY(bool AllowPan READ AllowPan WRITE SetAllowPan)
  Q_PROPERTY(bool AntiAlias READ AntiAlias WRITE SetAntiAlias)
  Q_PROPERTY(CalibrationModel CalibModel READ QtCalibModel WRITE SetQtCalibModel)
  Q_PROPERTY(double CacheMagLimit READ CacheMagLimit WRITE SetCacheMagLimit)
  Q_PROPERTY(QColor ColorBackGnd READ QtColorBackGnd WRITE SetQtColorBackGnd)
  Q_PROPERTY(QColor ColorGraticule READ QtColorGraticule WRITE SetQtColorGraticule)
  Q_PROPERTY(QColor ColorCalibPoints READ QtColorCalibPoints WRITE SetQtColorCalibPoints)
  Q_PROPERTY(QColor ColorFrame READ QtColorFrame WRITE SetQtColorFrame)
  Q_PROPERTY(bool ConfinePanToMapImage READ ConfinePanToMapImage WRITE SetConfinePanToMapImage)
  Q_PROPERTY(QString EmptyMsg READ QtEmptyMsg WRITE SetQtEmptyMsg)
  Q_PROPERTY(FrameKind FrameStyle READ QtFrameStyle WRITE SetQtFrameStyle)
  Q_PROPERTY(double GratLineDist READ GratLineDist WRITE SetGratLineDist)
  Q_PROPERTY(int UTMGridDist READ UTMGridDist WRITE SetUTMGridDist)
  Q_PROPERTY(int UTMZone READ UTMZone WRITE SetUTMZone)
  Q_PROPERTY(Hemisphere UTMHemisphere READ QtUTMHemisphere WRITE SetQtUTMHemisphere)
  Q_PROPERTY(MouseMode MouseAction READ QtMouseAction WRITE SetQtMouseAction)
  Q_PROPERTY(QColor MouseTraceColor READ QtMouseTraceColor WRITE SetQtMouseTraceColor)
  Q_PROPERTY(bool MouseTraceInvert READ MouseTraceInvert WRITE SetMouseTraceInvert)
  Q_PROPERTY(GraticuleMode ShowGraticule READ QtShowGraticule WRITE SetQtShowGraticule)
  Q_PROPERTY(bool WheelZoom READ WheelZoom WRITE SetWheelZoom)
  Q_PROPERTY(bool KeyboardNavigation READ KeyboardNavigation WRITE SetKeyboardNavigation)
  Q_PROPERTY(qint64 MapImagePixelLimit READ MapImagePixelLimit WRITE SetMapImagePixelLimit)
  Q_PROPERTY(qint64 MapImageMemoryPixels READ MapImageMemoryPixels WRITE SetMapImageMemoryPixels)
  Q_PROPERTY(QString MapImageCacheDir READ QtMapImageCacheDir WRITE SetQtMapImageCacheDir)
  Q_PROPERTY(bool LMCaptionDeclutter READ LMCaptionDeclutter WRITE SetLMCaptionDeclutter)

  CalibrationModel QtCalibModel() const { return CalibrationModel(CalibModel()); }
  void SetQtCalibModel(CalibrationModel V) { SetCalibModel(TCalibModel(V)); }
  QColor QtColorBackGnd() const { return ColorToQColor(ColorBackGnd()); }
  void SetQtColorBackGnd(const QColor& V) { SetColorBakGnd(QColorToColor(V)); }
  QColor QtColorGraticule() const { return ColorToQColor(ColorGraticule()); }
  void SetQtColorGraticule(const QColor& V) { SetColorGratLine(QColorToColor(V)); }
  QColor QtColorCalibPoints() const { return ColorToQColor(ColorCalibPoints()); }
  void SetQtColorCalibPoints(const QColor& V) { SetColorGratPoints(QColorToColor(V)); }
  QColor QtColorFrame() const { return ColorToQColor(ColorFrame()); }
  void SetQtColorFrame(const QColor& V) { SetColorFrame(QColorToColor(V)); }
  QString QtEmptyMsg() const { return QString::fromStdString(EmptyMsg()); }
  void SetQtEmptyMsg(const QString& V) { SetEmptyMsg(V.toStdString()); }
  FrameKind QtFrameStyle() const { return FrameKind(FrameStyle()); }
  void SetQtFrameStyle(FrameKind V) { SetFrameStyle(TFrameStyle(V)); }
  Hemisphere QtUTMHemisphere() const { return Hemisphere(UTMHemisphere()); }
  void SetQtUTMHemisphere(Hemisphere V) { SetUTMHemisphere(THemisphere(V)); }
  MouseMode QtMouseAction() const { return MouseMode(MouseAction()); }
  void SetQtMouseAction(MouseMode V) { SetMouseAction(TMouseActMode(V)); }
  QColor QtMouseTraceColor() const { return ColorToQColor(MouseTraceColor()); }
  void SetQtMouseTraceColor(const QColor& V) { SetMouseTraceColor(QColorToColor(V)); }
  QString QtMapImageCacheDir() const { return QString::fromStdString(MapImageCacheDir()); }
  void SetQtMapImageCacheDir(const QString& V) { SetMapImageCacheDir(V.toStdString()); }
  GraticuleMode QtShowGraticule() const { return GraticuleMode(ShowGraticule()); }
  void SetQtShowGraticule(GraticuleMode V) { SetShowGrat(TShowGrat(V)); }

  // Largest map image accepted by default, width times height.
  static constexpr int64_t MaxMapImagePixels = 3000000;
  // FMapImgName of an image handed over in memory.
  static constexpr const char* UnknownImageName = "$unknown$";
  static constexpr int ZoomStackSize = TMapViewport::ZoomStackSize;

  explicit TGeoMap(QWidget* AOwner = nullptr);
  ~TGeoMap() override;

  TGeoMap(const TGeoMap&) = delete;
  TGeoMap& operator=(const TGeoMap&) = delete;

  // ---- copying ----
  // Copies the whole state of another map except the mouse trace, the event handlers and
  // the inherited control properties. Does not repaint. Anything else than a TGeoMap raises.
  void Assign(const QObject* Source);
  // Dest.Assign(this) when this map is an instance of Dest's class; raises otherwise.
  void AssignTo(QObject* Dest) const;

  // ---- published properties ----
  bool AllowPan() const { return FMouseAction == maPan; }
  void SetAllowPan(bool Value);
  bool AntiAlias() const { return FAntiAlias; }
  void SetAntiAlias(bool Value);
  TCalibModel CalibModel() const { return FCal.Model(); }
  // Stores the model and refits the calibration; repaints.
  void SetCalibModel(TCalibModel Value);
  double CacheMagLimit() const { return FCacheMagLimit; }
  void SetCacheMagLimit(double Value);
  TColor ColorBackGnd() const { return FColorBakGnd; }
  void SetColorBakGnd(TColor Value);
  void SetColorBackGnd(TColor Value) { SetColorBakGnd(Value); }
  TColor ColorGraticule() const { return FColorGratLine; }
  void SetColorGratLine(TColor Value);
  void SetColorGraticule(TColor Value) { SetColorGratLine(Value); }
  TColor ColorCalibPoints() const { return FColorGratPoints; }
  void SetColorGratPoints(TColor Value);
  void SetColorCalibPoints(TColor Value) { SetColorGratPoints(Value); }
  TColor ColorFrame() const { return FFrameColor; }
  void SetColorFrame(TColor Value);
  bool ConfinePanToMapImage() const { return FConfinePan; }
  void SetConfinePan(bool Value);
  void SetConfinePanToMapImage(bool Value) { SetConfinePan(Value); }
  const std::string& EmptyMsg() const { return FEmptyMsg; }
  void SetEmptyMsg(const std::string& Value);
  TFrameStyle FrameStyle() const { return FFrameStyle; }
  void SetFrameStyle(TFrameStyle Value);
  double GratLineDist() const { return FGratLineDist; }
  void SetGratLineDist(double Value);
  int32_t UTMGridDist() const { return FUTMGridDist; }
  void SetUTMGridDist(int32_t Value);
  int32_t UTMZone() const { return FCal.Data().UTMZone; }
  void SetUTMZone(int32_t Value);
  THemisphere UTMHemisphere() const { return FCal.Data().UTMSouth ? hemiSouth : hemiNorth; }
  void SetUTMHemisphere(THemisphere Value);
  TMouseActMode MouseAction() const { return FMouseAction; }
  void SetMouseAction(TMouseActMode Value) { FMouseAction = Value; }
  TColor MouseTraceColor() const { return FLM.MouseTraceColor(); }
  void SetMouseTraceColor(TColor Value) { FLM.SetMouseTraceColor(Value); }
  bool MouseTraceInvert() const { return FLM.MouseTraceInvert(); }
  void SetMouseTraceInvert(bool Value) { FLM.SetMouseTraceInvert(Value); }
  TShowGrat ShowGraticule() const { return FShowGrat; }
  void SetShowGrat(TShowGrat Value);
  void SetShowGraticule(TShowGrat Value) { SetShowGrat(Value); }

  // ---- published events ----
  TOnRubberBandActionEvent OnBeginRubberBand;
  TOnRubberBandActionEvent OnContinueRubberBand;
  TOnRubberBandActionEvent OnEndRubberBand;
  // Progress of the image decoder while a map image loads.
  TProgressEvent OnDataLoading;
  TRenderEvent OnDataRendered;
  TRenderEvent OnBeforeRenderData;
  TDrawLandMarkEvent OnDrawLandmark;
  TSelectRectEvent OnSelectRect;
  TMapImgRequestEvent OnMapImageRequest;
  TLandMarkActionEvent OnLandMarkAction;
  TZoomPanEvent OnZoomPan;

  // ---- public properties ----
  // The calibration record, read and written directly (no refit).
  const TCalibData& CalibData() const { return FCal.Data(); }
  void SetCalibData(const TCalibData& Value) { FCal.SetData(Value); }
  const std::string& CalibDataFile() const { return FCalDatName; }
  const std::string& Caption() const { return FCal.Data().Caption; }
  std::string GetMapCaption() const { return FCal.Data().Caption; }
  // No repaint.
  void SetMapCaption(const std::string& Value);
  void SetCaption(const std::string& Value) { SetMapCaption(Value); }
  int32_t HighLightLandMark() const { return FHighLM; }
  void SetHighLightLandMark(int32_t Value) { SetHighLM(Value); }
  const TLandMark& LandMarkDefault() const { return FLM.LandMarkDefault(); }
  void SetLandMarkDefault(const TLandMark& Value) { FLM.SetLandMarkDefault(Value); }
  bool LMClassVisible(uint8_t Index) const { return GetClassVisibility(Index); }
  void SetLMClassVisible(uint8_t Index, bool Value) { SetClassVisibility(Index, Value); }
  double LastClickLatitude() const { return GetLastMClickLatitude(); }
  double LastClickLongitude() const { return GetLastMClickLongitude(); }
  int32_t LastClickPosX() const { return FMouse.LastMClickPosX; }
  int32_t LastClickPosY() const { return FMouse.LastMClickPosY; }
  int32_t LastMousePosX() const { return FMouse.LastMMousePosX; }
  int32_t LastMousePosY() const { return FMouse.LastMMousePosY; }
  int32_t LMRandomDisplayThreshold() const { return FLMRandSampleLimit; }
  // Captions that would overlap one placed before are moved to another side of their
  // symbol or left out: the highlighted landmark first, then larger symbols, then list order.
  // Off by default.
  bool LMCaptionDeclutter() const { return FLMCaptionDeclutter; }
  void SetLMCaptionDeclutter(bool Value);

  // ---- layers: drawn in list order after OnBeforeRenderData, before the graticule and the
  // landmarks; indexes from 0, out of range ignored; every change repaints ----
  using TLayerList = std::vector<std::shared_ptr<TMapLayer>>;
  const TLayerList& Layers() const { return FLayers; }
  void SetLayers(const TLayerList& Value);
  int32_t NumLayers() const { return int32_t(FLayers.size()); }
  TMapLayer* Layer(int32_t Index) const;
  // On top of the others; null is ignored.
  void AddLayer(std::shared_ptr<TMapLayer> Layer);
  void RemoveLayer(int32_t Index);
  void MoveLayer(int32_t From, int32_t To);
  void SetLayerVisible(int32_t Index, bool Visible);
  void SetLMRandomDisplayThreshold(int32_t Value) { SetRandSampleLimit(Value); }
  double Magnification() const { return FView.Magnify; }
  const std::string& MapImgFile() const { return FMapImgName; }
  void SetMapImgFile(const std::string& Value) { SetMapImgName(Value); }
  int32_t MapImgWidth() const { return FMapImgWidth; }
  int32_t MapImgHeight() const { return FMapImgHeight; }
  // The image in memory; an empty bitmap while a tiled image (MapImageSource()) is shown.
  TBitmap* MapBitmap() const { return GrafBmp.get(); }
  void SetMapBitmap(const TBitmap& Value) { SetMapBitMap(Value); }
  int32_t NumLandMarks() const { return FLM.NumLandMarks(); }
  int32_t NumMTracePoints() const { return FLM.NumMTracePoints(); }
  bool SuppressPaint() const { return FSuppressPaint; }
  TPoint TopLeft() const { return FView.TopLeft; }
  TZoomState ZoomState() const { return FMouse.ZoomState; }
  TgmZoomStackEntry ZoomStack(int StackIx) const { return GetZoomStackEntry(StackIx); }

  // ---- public methods ----
  // Stores only a value above 1000 that differs from the current one, then repaints.
  void SetRandSampleLimit(int32_t Value);
  // Repaints once when switched off.
  void SetSuppressPaint(bool Value);
  // Values outside 0 ... NumLandMarks become 0; repaints when the result differs.
  void SetHighLM(int32_t Value);
  void SetHighLightProperties(TColor ColorFG, TColor ColorBG, bool Transparent);
  // No clamping here; repaints.
  void SetTopLeft(const TPoint& P);
  bool GetClassVisibility(uint8_t Index) const { return FLMClassVisible[Index]; }
  void SetClassVisibility(uint8_t Index, bool Value);
  // Position of the last mouse press; 0 when the calibration cannot convert it.
  double GetLastMClickLatitude() const;
  double GetLastMClickLongitude() const;
  bool IsPositionWithinMap(double Lat, double Long) const;
  void DoZoomPanEvent();
  void DoSelectRectEvent(int Button, double a, double b, double c, double d);

  // Forgets calibration, map image name and size and the mouse trace; landmarks, colours
  // and the bitmap's pixels stay. Repaints.
  void Clear();
  // Resamples the map image and its calibration points in memory by the factor (smooth
  // when AntiAlias is on). The image file and MapImgFile stay as they were.
  void ResizeMap(double Magnification);
  // The same with the factor that gives the longer image edge this length.
  void ResizeMap(int LongerEdgeLength);

  // ---- map image ----
  // Loads a JPEG (.jpg, .jpeg), Windows bitmap (.bmp), PNG (.png) or TIFF (.tif, .tiff)
  // file; OnMapImageRequest may name another file to read. A missing file empties the map.
  // Files of other types go to the image readers a unit has registered (for instance
  // RegisterGdalMapImages(): GeoTIFF, BSB, JPEG 2000 ...), which read them whole or as tiles
  // by the same sizes. Raises EVEKGeoMapError for an image above MapImagePixelLimit, an undecodable file or a
  // file of another type, and keeps the previous image.
  //
  // Images above MapImageMemoryPixels are never held whole in memory: they are shown from a
  // pyramid of tiles (full resolution, 1/2, 1/4, ...) kept in a cache file per image under
  // MapImageCacheDir. A JPEG shows a reduced picture as soon as this returns while the
  // pyramid is built on a worker thread (OnDataLoading reports progress; the control
  // repaints as tiles arrive). For such an image MapBitmap() is an empty bitmap (use
  // MapImageSource() for its pixels), SaveMap copies a JPEG file or streams the tiles into
  // one, CopyToClipboard copies the view, and ResizeMap raises.
  void SetMapImgName(const std::string& Value);
  // The largest image accepted, width times height (default MaxMapImagePixels). Values below
  // 1 are ignored.
  int64_t MapImagePixelLimit() const { return FPixelLimit; }
  void SetMapImagePixelLimit(int64_t Value);
  // Images loaded from files up to this size are decoded whole into MapBitmap(); larger ones
  // take the tiled path (default MaxMapImagePixels). Values below 1 are ignored.
  int64_t MapImageMemoryPixels() const { return FMemoryPixels; }
  void SetMapImageMemoryPixels(int64_t Value);
  // Folder of the tile pyramids of large images; empty selects "vekgeo/pyramids" in the
  // user's cache directory.
  const std::string& MapImageCacheDir() const { return FPyramidDir; }
  void SetMapImageCacheDir(const std::string& Value) { FPyramidDir = Value; }
  // The tiled source of a large image, null for an image held in MapBitmap().
  TMapImageSource* MapImageSource() const { return FTiled.get(); }
  // Takes a copy of a bitmap as the map image, under the name "$unknown$".
  void SetMapBitMap(const TBitmap& Value);

  // ---- view ----
  // Control pixels per map image pixel, kept within TMapViewport::MinMagnification ...
  // MaxMagnification (1/64 ... 64); NaN is ignored. Repaints.
  void SetMagnification(double Value);
  TPoint ControlToMapImage(const TPoint& APoint) const;
  TPoint MapImageToControl(const TPoint& APoint) const;
  // Moves the view so that it shows no space beyond the image's edges; no repaint.
  void PanMapToFillWindow();
  // Magnification so that the whole image fits the control, view from the image's top-left
  // corner; repaints. Does nothing without an image.
  void ZoomFitPage();
  // Puts an image pixel at the control's centre (then PanMapToFillWindow); repaints.
  void BringMapPixelToCenter(const TPoint& APoint);
  // Puts a position at the control's centre, keeping the view inside the image; repaints.
  // Nothing happens when the calibration cannot place it.
  void BringLocationToCenter(double Latitude, double Longitude);
  // The view state (top-left, magnification, control size, zoom ring), read-only.
  const TMapViewport& Viewport() const { return FView; }
  // Pushes the current view onto the ring of the last 16 views.
  void ZoomStateOnStack();
  // Restores a stored view: 0 the last push, -1 the one before, down to -15.
  void ZoomHistory(int Index);
  // The entry ZoomHistory(StackIx) would restore; an empty entry outside -15 ... 0.
  TgmZoomStackEntry GetZoomStackEntry(int StackIx) const;
  // Empties the history and pushes the current view.
  void ClearZoomHistory();

  // ---- mouse, wheel and keyboard (TGeoMapMouse.cpp) ----
  // Lets the user drag a rectangle and waits for it, running the event loop meanwhile; the
  // mouse action is off until it returns. True with the corners in control pixels (X1 <= X2,
  // Y1 <= Y2) when a box was completed; false when the right button, MouseBoxAbort, hiding
  // or destroying the control ended the wait, or when a box is already being asked for.
  bool MouseBox(int32_t& X1, int32_t& Y1, int32_t& X2, int32_t& Y2);
  // Ends a running MouseBox with false; may be called from any handler or timer.
  void MouseBoxAbort();
  // The drag, overlay and position state of the mouse handling, read-only.
  const TMouseState& MouseState() const { return FMouse; }
  // The wheel zooms about the point under the cursor (on by default).
  bool WheelZoom() const { return FWheelZoom; }
  void SetWheelZoom(bool Value) { FWheelZoom = Value; }
  // With the focus, the arrow keys pan and + and - zoom (on by default).
  bool KeyboardNavigation() const { return FKeyboardNav; }
  void SetKeyboardNavigation(bool Value) { FKeyboardNav = Value; }
  // Factor of one wheel notch or one + / - key press.
  static constexpr double ZoomStepFactor = 1.25;
  // An arrow key moves the view by this fraction of the control's width or height.
  static constexpr double KeyPanFraction = 0.125;

  // ---- saving, renaming, clipboard (TGeoMapImage.cpp) ----
  // Writes the calibration beside FileName as .xml and the image as .jpg, both with
  // FileName's directory and base name; the map image name becomes that base name + ".jpg".
  // Errors of the file system and the encoder propagate and leave the name as it was.
  void SaveMap(const std::string& FileName, const std::string& DataID);
  // Gives the image file a new base name within its directory, keeping its extension.
  // False, with nothing changed, when there is no image file, the new name is empty or
  // taken by another file, or the file system refuses.
  bool RenameMapImg(const std::string& Name);
  // Puts the picture last composed, inside a black outline, on the clipboard.
  void CopyToClipboard();

  // ---- painting ----
  // Composes the picture in AuxBmp and copies it onto the control's canvas; does nothing
  // while SuppressPaint is on.
  void Paint() override;
  // Number of compositions so far (each repaint that was not suppressed composes once).
  int CompositionCount() const { return FCompositionCount; }
  // The composition buffer, holding the picture last composed.
  TBitmap* CompositionBitmap() const { return AuxBmp.get(); }

  // Message text in the form 'Component "NAME": TEXT'.
  std::string ComponentMessage(const std::string& Text) const;

  // ---- calibration (TGeoMapCalib.cpp) ----
  // The calibration on its own (fits and conversions without the widget).
  const TMapCalibration& Calibration() const { return FCal; }
  // Refits the graticule matrix and the current model, then corners and resolution;
  // repaints.
  void RecalcCalibration();
  bool RecalcGratMat();
  void CalcEquiRectCalibration();
  void CalcBiquadraticCalibration();
  void CalcMillerCylCalibration();
  void CalcConicCalibration();
  void CalcExtentsAndResolution();
  // Geographic coordinate of an image pixel; Valid tells whether the model could convert it.
  double CalcLatitude(int32_t X, int32_t Y, bool& Valid) const;
  double CalcLatitude(const TPoint& P, bool& Valid) const;
  double CalcLongitude(int32_t X, int32_t Y, bool& Valid) const;
  double CalcLongitude(const TPoint& P, bool& Valid) const;
  // Image pixel of a position; false when the model cannot place it.
  bool CalcPixelCoords(double Lat, double Long, int32_t& X, int32_t& Y) const;
  // Image pixel of a UTM position in the map's zone; false and (0, 0) unless cmUTM.
  bool CalcPixelCoordsUTM(double Northing, double Easting, int32_t& X, int32_t& Y) const;
  int32_t CalcUTMyFromNorthingX(double Northing, int32_t X) const;
  int32_t CalcUTMxFromEastingY(double Easting, int32_t Y) const;
  void CalibQuality(double& QualX, double& QualY) const;
  // Deviation of every calibration point from the fitted model, in image pixels.
  std::vector<TCalResidual> CalibResiduals() const;
  double CalibResidualRMS() const;

  // Calibration point editing; each refits and repaints. Wrong model or UTM zone raise
  // EVEKGeoMapError; a full table gives false.
  bool AddCalibPoint(TGratLineKind LineType, double LineValue, int32_t X, int32_t Y);
  bool AddCalibPoint(double Lat, double Long, int32_t X, int32_t Y);
  bool AddCalibPoint(double Northing, double Easting, int32_t Zone, THemisphere Hemisphere,
                     int32_t X, int32_t Y);
  bool RemoveCalibPoint(TGratLineKind LineType, double LineValue, int32_t X, int32_t Y);
  bool RemoveCalibPoint(int32_t X, int32_t Y);
  void RestoreLastDeletedCalPoint();
  void ClearCalibData();
  // Loads a calibration file (the first block); a missing file empties the map.
  void SetCalDatName(const std::string& FileName);
  void SetCalibDataFile(const std::string& FileName) { SetCalDatName(FileName); }

  // Calibration file and stream.
  void WriteCalDataToOpenXMLFile(TextFile& F, bool WriteHeader, const std::string& DataID);
  void SaveCalDataAsXML(const std::string& FileName, const std::string& DataID);
  void SaveCalDataAsXML(TStream& OutStream, const std::string& DataID);
  bool ReadCalDataFromOpenXMLFile(TextFile& F, const std::string& DataID);
  // False (no exception) when the file cannot be opened.
  bool LoadCalDataFromXML(const std::string& FName, const std::string& DataID);
  bool LoadCalDataFromXML(TStream& InStream, const std::string& DataID);
  bool ReadCalDataIntern(bool FromFile, TextFile* F, TStream* Stream, const std::string& DataID);

  // GIS interchange. A world file beside the map image (map.jgw, map.jpgw, map.wld; or the
  // file named) becomes an equirectangular calibration through the image corners; false
  // when there is none. A rotated world file raises. Refits and repaints.
  bool LoadWorldFile(const std::string& FileName = "");
  // Writes the calibration as a world file beside the map image (or to FileName). Returns ""
  // when the world file is exact, otherwise a note that it is the best affine fit and how
  // far it is off.
  std::string SaveWorldFile(const std::string& FileName = "");
  // Georeferencer control points (.points) as calibration points of the current model;
  // returns how many were added. Refits and repaints.
  int ImportControlPoints(const std::string& FileName);
  void ExportControlPoints(const std::string& FileName) const;
  // ---- end calibration ----

  // ---- landmarks (TGeoMapLandmarks.cpp) ----
  // The landmark list on its own (read-only; change it through the methods below).
  const TLandMarkStore& LandMarks() const { return FLM; }
  // Length of the landmark array (1000, 2000, ...).
  int32_t LandMarkCapacity() const { return FLM.Capacity(); }

  // Each asks OnLandMarkAction (lmaAdd) and repaints when the landmark was added; the fields
  // not given come from LandMarkDefault.
  void AddLandMark(double Lat, double Long, double Altitude);
  void AddLandMark(double Lat, double Long, double Altitude, const TLMIdentifier& Identifier,
                   TDateTime Time);
  void AddLandMark(double Lat, double Long, double Altitude, const std::string& CaptionText,
                   int32_t CaptionSize, TColor CaptionColor);
  void AddLandMark(double Lat, double Long, double Altitude, const TLMIdentifier& Identifier,
                   TDateTime Time, const std::string& CaptionText, int32_t CaptionSize,
                   TColor CaptionColor);
  void AddLandMark(double Lat, double Long, double Altitude, TLandMarkElement Element,
                   uint8_t ClassFlag, const TLMIdentifier& Identifier, TDateTime Time,
                   int32_t Tag, TColor ColorFG, TColor ColorBG, int32_t Size, bool Transparent,
                   int32_t Direction, int32_t Length);

  // Removals ask OnLandMarkAction (lmaRemove) per landmark, reset the highlight and repaint;
  // on an empty store they do nothing. ClassFlag -1 (or outside 0..255) means every class.
  int32_t RemoveLandMark(double Lat, double Long, int32_t ClassFlag, double Radius);
  int32_t RemoveLandMark(const TRectDouble& Rect, int32_t ClassFlag);
  // The nearest landmark of the class; returns its former index, 0 when none went.
  int32_t RemoveLandMark(double Lat, double Long, int32_t ClassFlag);
  int32_t RemoveLandMark(int32_t LmIndex);
  void RemoveLastLandMark();
  void RemoveAllLandMarks(uint8_t ClassFlag);
  // Empties the store without asking; the highlight stays.
  void RemoveAllLandMarks();
  int32_t FindLandMark(double Lat, double Long, int32_t ClassFlag) const;
  // Index 1 .. NumLandMarks; an empty record outside.
  TLandMark GetLandMarkData(int32_t i) const { return FLM.GetLandMarkData(i); }
  TLandMark LandMarkData(int32_t i) const { return GetLandMarkData(i); }
  // Ignored outside 1 .. NumLandMarks; no event.
  void SetLandMarkData(int32_t i, const TLandMark& LandMark);

  void ClearMouseTrace();
  // Point idx with X = longitude and Y = latitude; state word $FFFF when idx is out of range
  // or the calibration cannot convert it.
  TColoredPoint GetMTracePoint(int32_t idx) const;
  TColoredPoint MouseTrace(int32_t i) const { return GetMTracePoint(i); }
  // Draws the stored trace on the bitmap's canvas (X and Y are not used); the composition
  // calls it after the landmarks.
  void DrawMouseTrace(int X, int Y, TBitmap* Bitmap);

  // Landmark files of the library's dialect. Loading replaces the landmarks without asking
  // OnLandMarkAction; LoadLandMarks repaints and gives false when the file cannot be opened.
  bool ReadLandMarksFromOpenXMLFile(TextFile& F, const std::string& DataID);
  bool LoadLandMarks(const std::string& FName, const std::string& DataID);
  void SaveLandMarks(const std::string& FileName, const std::string& DataID) const;
  // GPX (.gpx), GeoJSON (.geojson, .json) or the dialect (.xml, first set): appends every
  // landmark of the file that OnLandMarkAction allows, repaints once, returns how many were
  // added. A malformed file raises before anything is added.
  int32_t ImportLandMarks(const std::string& FileName);
  // Writes all landmarks in the format the extension names.
  void ExportLandMarks(const std::string& FileName, const std::string& DataID = "") const;
  // ---- end landmarks ----

  // ---- generated empty maps (TGeoMapEmptyMap.cpp) ----
  // A blank map of the bounds: a frame with a 30-pixel margin, a dashed graticule every
  // LatStep and LongStep degrees labelled on both sides, then MapDrawProc; calibrated by nine
  // points. Swapped bounds are put in order, steps <= 0 become 1, sizes below 100 become 100.
  // Equal or non-finite bounds, and an image above MaxMapImagePixels, raise EVEKGeoMapError
  // before anything is drawn or written. Lines closer than a pixel are drawn a pixel apart.
  // Writes FileName with the extensions .bmp and .xml and loads them (biquadratic model).
  void CreateAndLoadEmptyMap(const std::string& FileName, double LatLow, double LongLow,
                             double LatHigh, double LongHigh, double LatStep, double LongStep,
                             int32_t Wid, int32_t Hgt, const TOnDrawMapDataEvent& MapDrawProc);
  // The same in memory only, under the equirectangular model; without the graticule the
  // calibration points lie on the image's edges.
  void CreateEmptyMapInMemory(double LatLow, double LongLow, double LatHigh, double LongHigh,
                              double LatStep, double LongStep, int32_t Wid, int32_t Hgt,
                              bool WithGraticule, const TOnDrawMapDataEvent& MapDrawProc);

 protected:
  // The mouse handlers: each MouseAction's drag, the MouseBox protocol, the overlays.
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

  // Composition of one frame into AuxBmp (called only by Paint).
  void ConstructInternalMapImg();

  // Keeps the calibration's notion of the image size in step with GrafBmp.
  void SyncCalibImageSize();
  // Raises the oversize error unless W x H is within MapImagePixelLimit.
  void CheckMapImageSize(int W, int H) const;
  // Takes a new image size into the image state: size fields, view origin.
  void AdoptMapImageSize();

  // ---- images and the scaled-image cache ----
  std::unique_ptr<TBitmap> AuxBmp;
  std::unique_ptr<TBitmap> FImgCache;
  double FCacheMag = 0;  // 0: no valid cache
  bool FCacheAA = true;
  double FCacheMagLimit = 2.0 / 3.0;

  // ---- landmarks and mouse trace ----
  TLandMarkStore FLM;

  // ---- colours and frame ----
  TColor FColorBakGnd = 0xC0C0C0;
  TFrameStyle FFrameStyle = fsBevel;
  TColor FFrameColor = 0x000000;
  TColor FColorGratLine = 0xFF0000;
  TColor FColorGratPoints = 0x0000FF;
  TColor FColBlackLine = 0x000000;
  TColor FColGrayLine = 0x808080;
  TColor FColWhiteLine = 0xFFFFFF;

  std::string FEmptyMsg = "DidAvo: empty";

  PArray<bool, 0, 255> FLMClassVisible{};
  int32_t FLMRandSampleLimit = 20000;
  bool FLMCaptionDeclutter = false;
  // Symbols and captions drawn once, blitted in every frame.
  std::unique_ptr<TLandMarkImageCache> FLMImages;
  TLayerList FLayers;

  // ---- map image ----
  std::string FMapImgName;
  int32_t FMapImgWidth = 0;
  int32_t FMapImgHeight = 0;

  // ---- view: top-left, magnification, control size, the ring of the last views ----
  TMapViewport FView;

  TShowGrat FShowGrat = sgNone;

  // ---- calibration: model, record, graticule matrix, parameters, undo store ----
  TMapCalibration FCal;

  // ---- switches ----
  bool FSuppressPaint = false;
  bool FConfinePan = true;
  TMouseActMode FMouseAction = maPan;
  bool FAntiAlias = true;
  double FGratLineDist = 0;  // degrees; 0 lets the renderer choose
  int32_t FUTMGridDist = 0;  // metres; below 1 the renderer chooses

  // ---- highlighting ----
  int32_t FHighLM = 0;
  TColor FHighLMColFG = 0xFF0000;
  TColor FHighLMColBG = 0x00FFFF;
  bool FHighLMTrans = false;

  // ---- calibration file ----
  std::string FCalDatName;

  // The map image itself, one bitmap pixel per image pixel.
  std::unique_ptr<TBitmap> GrafBmp;
  // A large image, shown from tiles; GrafBmp is then empty.
  std::shared_ptr<TMapImageSource> FTiled;
  int64_t FPixelLimit = MaxMapImagePixels;
  int64_t FMemoryPixels = MaxMapImagePixels;
  std::string FPyramidDir;

 private:
  // The view with the control's current size.
  TMapViewport& View();
  // Steps 4 and 5 of the composition: the visible part of the image, from the cache when
  // it fits the magnification.
  void DrawMapImage(TCanvas& C);
  // The same for a tiled image: the visible part from the pyramid level that fits.
  void DrawTiledImage(QPainter& P);
  // Opens a file above MapImageMemoryPixels as a tiled source.
  std::shared_ptr<TMapImageSource> OpenTiledImage(const std::string& FileName);
  // Offers the file to the registered image readers (MapImageReaders.h): false when none
  // reads it; otherwise the image is taken, whole into GrafBmp up to MapImageMemoryPixels,
  // as a tiled source above. Raises EVEKGeoMapError when the reader cannot read it.
  bool OpenWithImageReaders(const std::string& FileName);
  // Takes a tiled source as the map image and listens to its progress.
  void AdoptTiledImage(std::shared_ptr<TMapImageSource> Source);
  void DropTiledImage();
  void SaveTiledImage(const std::string& FileName);
  void TiledImageProgress();

  // ---- mouse (TGeoMapMouse.cpp) ----
  // XOR overlays on the control's canvas: drawn twice they erase; pen and brush are back
  // to solid copy afterwards.
  void DragView(int X, int Y);
  void XorBox(int X1, int Y1, int X2, int Y2, bool Dotted);
  void XorLine(int X1, int Y1, int X2, int Y2);
  void DrawTraceSegment();
  // Shows the image rectangle P1 .. P2 (top-left, bottom-right); repaints, fires OnZoomPan.
  void ZoomToMapBox(const TPoint& P1, const TPoint& P2);
  // Any overlay on screen whose erasing depends on the view staying as it is.
  bool OverlayActive() const;
  // A view change made by the wheel or the keyboard: repaint, push, OnZoomPan.
  void FinishUserViewChange();

  TMouseState FMouse;
  bool FWheelZoom = true;
  bool FKeyboardNav = true;

  int FCompositionCount = 0;
};

}  // namespace vek
