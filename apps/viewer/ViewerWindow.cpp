// The main window: start-up on the world database and demo atlas, the status bar and the
// map's mouse events (position, rubber-band length, selected area).
#include "ViewerWindow.h"

#include <QCoreApplication>
#include <QDockWidget>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QProgressDialog>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <memory>

#include "CalibrationPanel.h"
#include "DemoAtlas.h"
#include "GdalImageSource.h"
#include "MapDrawing.h"
#include "UTMGridOverlay.h"
#include "Vek_geobasics.h"
#include "Vek_support.h"
#include "LayersMenu.h"
#include "WorldData.h"

namespace vek::viewer {

namespace {
constexpr double kEarthRadius = 6371008.8;  // mean radius, metres

// "north-america" -> "North America".
std::string TitleOf(const std::string& Name) {
  std::string t = Name;
  for (size_t i = 0; i < t.size(); ++i) {
    if (t[i] == '-') t[i] = ' ';
    if (i == 0 || t[i - 1] == ' ') t[i] = char(std::toupper(static_cast<unsigned char>(t[i])));
  }
  return t;
}

// About eight graticule lines across the map, at 1-2-5 steps of degrees: the map control's
// own choice of whole degrees is dense on a continent. 0 (the control's choice) when unknown.
double GraticuleStep(const TGeoMap& Map) {
  const TCalibData& cal = Map.CalibData();
  const double extent =
      std::max(std::fabs(cal.Corners[gcoTopLeft].Latit - cal.Corners[gcoBottomLeft].Latit),
               std::fabs(cal.Corners[gcoTopRight].Longit - cal.Corners[gcoTopLeft].Longit));
  return extent > 0 && std::isfinite(extent) ? Round125(extent / 8) : 0;
}

// Generated calibration files carry neither the map's resolution nor a caption of their own;
// the atlas needs the one to choose maps when zooming and the other to list them. Loading
// and saving the calibration through a map control fills in both (once per file).
void CompleteGeneratedCalibration(TGeoMap& Map, const std::string& File) {
  const std::string name = QFileInfo(QString::fromStdString(File)).completeBaseName().toStdString();
  Map.SetCalDatName(File);
  Map.SetMapCaption(TitleOf(name));
  Map.SaveCalDataAsXML(File, name);
}
}  // namespace

ViewerWindow::ViewerWindow(QWidget* Parent)
    : QMainWindow(Parent), FDB(std::make_unique<TGeoDB>()) {
  setWindowTitle(tr("VekGeo map viewer"));
  FDB->setObjectName("World");
  FDrawer = std::make_unique<TWorldMapDrawer>(*FDB);
  FAtlas = new TGeoAtlas(this);
  FAtlas->setObjectName("Atlas");
  setCentralWidget(FAtlas);
  // Scans of any size open, shown from tiles; the status bar follows the tile build. GDAL
  // reads what the control does not (GeoTIFF, BSB charts, JPEG 2000 ...).
  RegisterGdalMapImages();
  FAtlas->SetMapImagePixelLimit(int64_t(4) << 30);
  FAtlas->CurrentMap()->OnDataLoading = [this, building = std::make_shared<bool>(false)](
                                               TObject*, TProgressStage S, uint8_t P, bool,
                                               const TRect&, const std::string& Msg) {
    // Only a tile build says something; small images load at once.
    if (S != psEnding) {
      *building = true;
      statusBar()->showMessage(tr("Building tiles… %1%").arg(P));
    } else if (!Msg.empty()) {
      statusBar()->showMessage(QString::fromStdString(Msg), 10000);
    } else if (*building) {
      statusBar()->showMessage(tr("All tiles built."), 3000);
    }
    if (S == psEnding) *building = false;
  };

  FPosLabel = new QLabel(this);
  FPosLabel->setObjectName("position");
  FUTMLabel = new QLabel(this);
  FResLabel = new QLabel(this);
  FResLabel->setObjectName("resolution");
  FLenLabel = new QLabel(this);
  FLenLabel->setObjectName("length");
  // Texts of their own width that may shrink, so that they never run into each other.
  for (QLabel* l : {FPosLabel, FUTMLabel, FLenLabel}) {
    l->setMinimumWidth(60);
    l->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    statusBar()->addWidget(l, 1);
  }
  statusBar()->addPermanentWidget(FResLabel);

  auto* selBox = new QWidget(this);
  auto* selLayout = new QVBoxLayout(selBox);
  selLayout->setContentsMargins(2, 2, 2, 2);
  FSelSummary = new QLabel(selBox);
  FSelSummary->setObjectName("selectionSummary");
  FSelSummary->setWordWrap(true);
  FSelList = new QListWidget(selBox);
  selLayout->addWidget(FSelSummary);
  selLayout->addWidget(FSelList, 1);
  FSelDock = new QDockWidget(tr("Selection"), this);
  FSelDock->setObjectName("SelectionDock");
  FSelDock->setWidget(selBox);
  addDockWidget(Qt::RightDockWidgetArea, FSelDock);
  FSelDock->hide();
  connect(FSelList, &QListWidget::currentRowChanged, this, [this](int Row) { ShowListedItem(Row); });
  connect(FSelDock, &QDockWidget::visibilityChanged, this, [this](bool Visible) {
    if (Visible || !FHasSelection || isMinimized()) return;
    FHasSelection = false;  // closing the dock takes the marks off the map
    FShownItem = 0;
    Map()->Paint();
  });

  FCalib = new CalibrationPanel(FAtlas, this);
  connect(FCalib, &CalibrationPanel::Changed, this, [this] { UpdateResolution(); });
  connect(FCalib, &CalibrationPanel::Message, this,
          [this](const QString& Text) { statusBar()->showMessage(Text, 8000); });
  FCalibDock = new QDockWidget(tr("Calibration"), this);
  FCalibDock->setObjectName("CalibrationDock");
  FCalibDock->setWidget(FCalib);
  addDockWidget(Qt::RightDockWidgetArea, FCalibDock);
  FCalibDock->hide();
  // Closing the dock ends the calibration; unsaved points are not let go without a question.
  connect(FCalibDock, &QDockWidget::visibilityChanged, this, [this](bool Visible) {
    if (Visible || !FCalib->Active() || isMinimized() || !isVisible()) return;
    if (FCalib->ConfirmLoss(true))
      FCalib->End();
    else
      QTimer::singleShot(0, FCalibDock, &QDockWidget::show);
  });
  // The map control's own messages name it; an empty view says what to do.
  Map()->setObjectName("Map");
  Map()->SetEmptyMsg(tr("No map is shown. Open a map or a calibration with File > Open.").toStdString());

  WireMap();
  BuildMenus();
  AddLayersMenu(this, FAtlas, FDB.get());
  resize(1200, 800);
}

ViewerWindow::~ViewerWindow() {
  // The docks are hidden while the window goes: their handlers would paint a map whose
  // database is gone.
  FSelDock->disconnect(this);
  FCalibDock->disconnect(this);
  FAtlas->CurrentMap()->OnDrawLandmark = nullptr;
  FAtlas->CurrentMap()->OnBeforeRenderData = nullptr;
  FAtlas->CurrentMap()->OnDataLoading = nullptr;
}

bool ViewerWindow::Start(const std::string& CacheDir, const std::string& GshhgDir) {
  QProgressDialog progress(tr("Building the world database from GSHHG…"), QString(), 0, 100, this);
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(0);
  progress.reset();
  FDB->OnPercentDone = [&](TObject*, int32_t Percent) {
    if (Percent >= 100) return;
    progress.setValue(Percent);
    QCoreApplication::processEvents();
  };
  // The GSHHG files are read by a child process where the builder is installed beside the
  // viewer: a damaged file then cannot take the viewer down.
  TWorldDataOptions options;
  if (!GshhgDir.empty()) options.SourceDir = GshhgDir;
  const QString builder = QCoreApplication::applicationDirPath() + "/vekgeo-worldmaps";
  if (QFileInfo(builder).isExecutable()) options.Builder = builder.toStdString();
  bool built = false;
  try {
    built = OpenWorldDB(*FDB, WorldDBName(CacheDir), options);
  } catch (const EVEKError& e) {
    FDB->OnPercentDone = nullptr;
    progress.reset();
    FWorldError = QString::fromStdString(e.what());
    statusBar()->showMessage(tr("No world database: %1").arg(FWorldError));
    return false;
  }
  FDB->OnPercentDone = nullptr;
  progress.reset();

  TGeoMap generator;  // draws the maps that are missing, off screen
  const std::vector<std::string> files =
      EnsureDemoAtlas(DemoAtlasDir(CacheDir), *FDrawer, MapControlGenerator(generator), built);
  FAtlasDir = DemoAtlasDir(CacheDir);
  int world = 0;
  double coarsest = 0;
  for (const std::string& f : files) {
    if (!FAtlas->RegisterMap(f)) continue;
    if (FAtlas->Maps(FAtlas->NumRegMaps()).Resolution <= 0) {
      CompleteGeneratedCalibration(generator, f);
      FAtlas->RegisterMap(f);
    }
    if (FAtlas->Maps(FAtlas->NumRegMaps()).Resolution > coarsest) {
      coarsest = FAtlas->Maps(FAtlas->NumRegMaps()).Resolution;
      world = FAtlas->NumRegMaps();
    }
  }
  ShowCapitals();
  if (world) FAtlas->SelectMap(world);
  MapSwitched();
  return built;
}

// The capitals of the database as landmarks: they travel with every map the atlas loads, go
// into landmark exports and mark the dots of the map images, which carry the names already.
void ViewerWindow::ShowCapitals() {
  TGeoMap* m = Map();
  m->SetSuppressPaint(true);
  for (int32_t i = 1; i <= FDB->NumEntries(); ++i) {
    const TgdbData d = FDB->Data(i);
    if (d.ItemKind != gitCity || d.ClassFlag != wcCapital) continue;
    m->AddLandMark(d.LatLow, d.LongLow, d.Altitude, lmCircle, wcCapital, TLMIdentifier(d.Name.str()), 0, i,
                   RGB(200, 20, 20), clWhite, 4, true, 0, 0);
  }
  m->SetSuppressPaint(false);
}

void ViewerWindow::showEvent(QShowEvent* Event) {
  QMainWindow::showEvent(Event);
  if (!FShownOnce) Map()->ZoomFitPage();
  FShownOnce = true;
  UpdateResolution();
}

void ViewerWindow::WireMap() {
  FAtlas->OnMouseMove = [this](TObject*, TShiftState, int X, int Y) { ShowPosition(X, Y); };
  // The atlas reports the press before it switches maps: the position is the clicked one.
  FAtlas->OnMouseDown = [this](TObject*, TMouseButton Button, TShiftState, int X, int Y) {
    ShowPosition(X, Y);
    if (Button == mbLeft && FCalib->Picking()) FCalib->MapClicked(Map()->ControlToMapImage(TPoint{X, Y}));
    // A zoom click is about to load another map: unsaved calibration points are asked for
    // first, and staying keeps the map (the atlas leaves its zoom mode).
    if (FAtlas->ZoomButton()->Down() && FCalib->Unsaved() && !FCalib->ConfirmLoss(true))
      FAtlas->PointerButton()->click();
  };
  FAtlas->OnMouseUp = [this](TObject*, TMouseButton Button, TShiftState, int, int) {
    if (Map()->MapImgFile() != FShownImage) {
      FShownEntry = FAtlas->MapSelector()->currentIndex() + 1;
      MapSwitched();
    } else if (FAtlas->ZoomButton()->Down()) {
      statusBar()->showMessage(Button == mbLeft ? tr("No finer map covers this place.")
                                                : tr("No coarser map covers this place."),
                               5000);
    }
  };
  // A map picked from the list: unsaved calibration points are asked for before it loads.
  TComboBox* list = FAtlas->MapSelector();
  list->setFocusPolicy(Qt::ClickFocus);
  auto load = list->OnChange;
  list->OnChange = [this, list, load](TObject* Sender) {
    if (FCalib->Unsaved() && !FCalib->ConfirmLoss(true)) {
      list->setCurrentIndex(FShownEntry - 1);
      return;
    }
    load(Sender);
    FShownEntry = list->currentIndex() + 1;
    MapSwitched();
  };
  TGeoMap* m = Map();
  m->OnBeforeRenderData = [this](TObject*, TCanvas* C) {
    const TShowGrat g = Map()->ShowGraticule();
    if (C && Map()->CalibModel() != cmUTM && (g == sgUTMGrid || g == sgPointsAndUTMGrid))
      DrawUTMGridOverlay(*Map(), *C, Map()->ColorGraticule());
    if (C) DrawSelection(*C);
  };
  // Landmarks beyond the map's edges would be drawn where the calibration extrapolates; on a
  // generated map also those in the margin around its frame, where the image has no dot.
  m->OnDrawLandmark = [this](TObject*, bool& Handled, TCanvas*, TPoint&, const TLandMark& L) {
    const TDemoMap* frame = GeneratedFrame();
    if (!CalibrationUsable() || !Map()->IsPositionWithinMap(L.Latitude, L.Longitude) ||
        (frame && !(L.Latitude >= frame->LatLow && L.Latitude <= frame->LatHigh &&
                    L.Longitude >= frame->LongLow && L.Longitude <= frame->LongHigh)))
      Handled = true;
  };
  m->OnZoomPan = [this](TObject*) {
    FHistPos = 0;
    UpdateResolution();
  };
  m->OnBeginRubberBand = [this](TObject*, const TPoint& P) { RubberBandPoint(P, true); };
  m->OnContinueRubberBand = [this](TObject*, const TPoint& P) { RubberBandPoint(P, false); };
  m->OnEndRubberBand = [this](TObject*, const TPoint& P) {
    RubberBandPoint(P, false);
    FBandActive = false;
  };
  m->OnSelectRect = [this](TObject*, int32_t Kind, double V1, double V2, double V3, double V4) {
    if (Kind == 1 && Map()->MouseAction() == maSelectRect && CalibrationUsable())
      ListItemsInArea(std::min(V2, V4), std::max(V2, V4), std::min(V1, V3), std::max(V1, V3));
  };
}

const TDemoMap* ViewerWindow::GeneratedFrame() {
  const std::string& image = Map()->MapImgFile();
  if (image != FFrameImage) {
    FFrameImage = image;
    FFrame = nullptr;
    const QFileInfo info(QString::fromStdString(image));
    // Only the generated maps themselves: a map of the user's may share a name.
    if (!FAtlasDir.empty() && info.absolutePath() == QFileInfo(QString::fromStdString(FAtlasDir)).absoluteFilePath())
      for (const TDemoMap& d : DemoMaps())
        if (d.Name == info.completeBaseName().toStdString()) FFrame = &d;
  }
  return FFrame;
}

void ViewerWindow::ShowPosition(int X, int Y) {
  const TPoint p = Map()->ControlToMapImage(TPoint{X, Y});
  bool okLat = false, okLong = false;
  const double lat = Map()->CalcLatitude(p, okLat), lon = Map()->CalcLongitude(p, okLong);
  // A calibration of fewer points than its model needs places pixels anywhere.
  if (!CalibrationUsable() || !okLat || !okLong || !(std::fabs(lat) <= 90) ||
      !(std::fabs(lon) <= 540)) {
    FPosLabel->setText(tr("pixel %1, %2").arg(p.X).arg(p.Y));
    FUTMLabel->setText(Map()->MapImgFile().empty() ? QString() : tr("not calibrated"));
    return;
  }
  // The line being drawn measures up to the cursor.
  if (FBandActive && !FBand.empty() && Map()->MouseAction() == maRubberBand) {
    const double toCursor = SphereGreatCircleDist(kEarthRadius, FBand.back().Latit,
                                                  FBand.back().Longit, lat, lon);
    FLenLabel->setText(tr("line: %1 km").arg((FBandLength + toCursor) / 1000, 0, 'f', 1));
  }
  const double east = std::remainder(lon, 360.0);  // maps beyond the antimeridian
  FPosLabel->setText(QString::fromStdString(DegreeToStr(std::fabs(lat), FDegFormat, 1) + (lat < 0 ? " S  " : " N  ") +
                                            DegreeToStr(std::fabs(east), FDegFormat, 1) + (east < 0 ? " W" : " E")));
  int zone = 0;
  char band = ' ';
  GeoToUTMZone(lat, east, zone, band);
  if (zone == 0) {
    FUTMLabel->setText(tr("outside UTM"));
    return;
  }
  double easting = 0, northing = 0;
  LatLongToUTM(lat, east, gelWGS84, zone, easting, northing);
  FUTMLabel->setText(QString("UTM %1%2  %3 E  %4 N")
                         .arg(zone)
                         .arg(QChar(band))
                         .arg(std::round(easting), 0, 'f', 0)
                         .arg(std::round(northing), 0, 'f', 0));
}

bool ViewerWindow::CalibrationUsable() const { return CalibrationPanel::Usable(*Map()); }

void ViewerWindow::MapSwitched() {
  FCalib->MapShown();
  FShownImage = Map()->MapImgFile();
  Map()->SetGratLineDist(GraticuleStep(*Map()));
  Map()->ZoomFitPage();
  FBand.clear();
  FBandLength = 0;
  FBandActive = false;
  FLenLabel->clear();
  FShownItem = 0;
  // The other maps' outlines need a calibration that can place them.
  FAtlas->SetMapOutlineVisible(CalibrationUsable());
  // The generated maps carry the world database in their pixels already: its layer lies over
  // the other maps only (while the Layers menu has it on).
  if (QMenu* layers = findChild<QMenu*>("LayersMenu"); layers && Map()->NumLayers() > 0)
    Map()->SetLayerVisible(0, layers->actions().at(0)->isChecked() && !GeneratedFrame());
  UpdateResolution();
  Map()->setFocus();  // arrow keys and +/- go to the map, not to the list
}

void ViewerWindow::UpdateResolution() {
  if (FAtlas->MapOutlineVisible() != CalibrationUsable())
    FAtlas->SetMapOutlineVisible(CalibrationUsable());
  const double r = Map()->CalibData().Resolution;
  if (Map()->MapImgFile().empty()) {
    FResLabel->clear();
    return;
  }
  FResLabel->setText(r > 0 && CalibrationUsable() ? tr("%1 m/pixel at %2×").arg(r, 0, 'f', r < 100 ? 1 : 0).arg(Map()->Magnification(), 0, 'f', 2)
                           : tr("not calibrated"));
}

// The band's points are image pixels; each press ends a segment of a great circle.
void ViewerWindow::RubberBandPoint(const TPoint& P, bool Begin) {
  if (Map()->MouseAction() != maRubberBand) return;  // the selection rectangle reports too
  if (Begin) FBand.clear(), FBandLength = 0, FBandActive = true;
  bool okLat = false, okLong = false;
  const TCoords c{Map()->CalcLatitude(P, okLat), Map()->CalcLongitude(P, okLong)};
  if (!okLat || !okLong) return;
  if (!FBand.empty())
    FBandLength += SphereGreatCircleDist(kEarthRadius, FBand.back().Latit, FBand.back().Longit,
                                         c.Latit, c.Longit);
  FBand.push_back(c);
  FLenLabel->setText(tr("line: %1 km").arg(FBandLength / 1000, 0, 'f', 1));
}

namespace {

// "12.5° E", "9.5° W": longitudes beyond the antimeridian are said as the world says them.
QString LongitudeText(double Lon) {
  const double east = std::remainder(Lon, 360.0);
  return QString("%1° %2").arg(std::fabs(east), 0, 'f', 1).arg(east < 0 ? "W" : "E");
}
QString LatitudeText(double Lat) {
  return QString("%1° %2").arg(std::fabs(Lat), 0, 'f', 1).arg(Lat < 0 ? "S" : "N");
}
QString AreaText(double LatLow, double LatHigh, double LongLow, double LongHigh) {
  return QObject::tr("%1 … %2, %3 … %4")
      .arg(LatitudeText(LatLow), LatitudeText(LatHigh), LongitudeText(LongLow), LongitudeText(LongHigh));
}

}  // namespace

void ViewerWindow::ListItemsInArea(double LatLow, double LatHigh, double LongLow, double LongHigh) {
  FSelList->blockSignals(true);
  FSelList->clear();
  FListed.clear();
  for (const TWorldHit& h : FindWorldItemsInArea(*FDB, LatLow, LatHigh, LongLow, LongHigh)) {
    const TgdbData d = FDB->Data(h.Entry);
    const QString name = QString::fromStdString(std::string(d.Name.str()));
    FListed.emplace_back(h.Entry, h.Shift);
    if (d.ItemKind == gitCity) {
      FSelList->addItem(tr("capital %1").arg(name));
      continue;
    }
    // The data set names no coast, lake, border or river: the kind in detail and where the item
    // lies say what it is; the stored name keeps the data set's own number.
    FSelList->addItem(tr("%1, %2 (%3)")
                          .arg(WorldClassName(d.ClassFlag))
                          .arg(AreaText(d.LatLow, d.LatHigh, d.LongLow, d.LongHigh))
                          .arg(name));
  }
  FSelList->blockSignals(false);
  FSelSummary->setText(tr("%n item(s) in %1. Click one to show it on the map.", "", FSelList->count())
                           .arg(AreaText(LatLow, LatHigh, LongLow, LongHigh)));
  FHasSelection = true;
  FSel[0] = LatLow, FSel[1] = LatHigh, FSel[2] = LongLow, FSel[3] = LongHigh;
  FShownItem = 0;
  FSelDock->show();
  Map()->Paint();  // the selected area stays marked
}

void ViewerWindow::ShowListedItem(int Row) {
  if (Row < 0 || Row >= int(FListed.size())) return;
  const auto [entry, shift] = FListed[size_t(Row)];
  const TgdbData d = FDB->Data(entry);
  FShownItem = entry;
  FShownShift = shift;
  // A small item is brought close enough to be seen: its box a third of the view at least.
  int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  if (Map()->CalcPixelCoords(d.LatHigh, d.LongLow + shift, x1, y1) &&
      Map()->CalcPixelCoords(d.LatLow, d.LongHigh + shift, x2, y2)) {
    const double box = std::max({std::abs(x2 - x1), std::abs(y2 - y1), 1});
    const double fill = std::min(Map()->width(), Map()->height()) / 3.0;
    const double mag = Map()->Magnification();
    if (box * mag < fill) Map()->SetMagnification(std::min(fill / box, mag * 16));
  }
  Map()->BringLocationToCenter((d.LatLow + d.LatHigh) / 2, (d.LongLow + d.LongHigh) / 2 + shift);
  Map()->Paint();
  UpdateResolution();
}

// The selected area as a dashed frame and the item shown from the list as a thick outline.
void ViewerWindow::DrawSelection(TCanvas& C) {
  if (!FHasSelection || !CalibrationUsable()) return;
  QPainter* p = C.Painter();
  if (!p) return;
  auto at = [&](double Lat, double Lon, QPointF& Out) {
    int32_t x = 0, y = 0;
    if (!Map()->CalcPixelCoords(Lat, Lon, x, y)) return false;
    const TPoint c = Map()->MapImageToControl(TPoint{x, y});
    Out = QPointF(c.X, c.Y);
    return true;
  };
  p->save();
  p->setRenderHint(QPainter::Antialiasing);
  constexpr int kSteps = 24;  // the frame's sides follow the map's projection
  QPolygonF frame;
  for (int side = 0; side < 4; ++side)
    for (int i = 0; i < kSteps; ++i) {
      const double f = double(i) / kSteps;
      const double lat = side == 0 ? FSel[1] : side == 2 ? FSel[0] : side == 1 ? FSel[1] - f * (FSel[1] - FSel[0]) : FSel[0] + f * (FSel[1] - FSel[0]);
      const double lon = side == 1 ? FSel[3] : side == 3 ? FSel[2] : side == 0 ? FSel[2] + f * (FSel[3] - FSel[2]) : FSel[3] - f * (FSel[3] - FSel[2]);
      QPointF q;
      if (at(lat, lon, q)) frame << q;
    }
  p->setPen(QPen(QColor(30, 90, 200), 2, Qt::DashLine));
  p->setBrush(QColor(30, 90, 200, 30));
  p->drawPolygon(frame);
  if (FShownItem > 0) {
    TgdbPolygon poly;
    QPolygonF line;
    bool read = false;
    try {
      read = FDB->RetrievePolygon(FShownItem, poly);
    } catch (const EVEKError&) {  // a damaged item: its box alone stays marked
    }
    if (read)
      for (const TSCoords& c : poly) {
        QPointF q;
        if (at(c.Latit, c.Longit + FShownShift, q)) line << q;
      }
    p->setPen(QPen(QColor(230, 120, 0), 4));
    p->setBrush(Qt::NoBrush);
    if (line.size() == 1)
      p->drawEllipse(line.front(), 8, 8);
    else
      p->drawPolyline(line);
  }
  p->restore();
}

void ViewerWindow::SetGrid(TShowGrat Mode) {
  // A UTM grid needs a zone: a map without one gets the zone of its centre.
  if ((Mode == sgUTMGrid || Mode == sgPointsAndUTMGrid) && (Map()->UTMZone() < 1 || Map()->UTMZone() > 60)) {
    bool okLat = false, okLong = false;
    const TPoint c{Map()->MapImgWidth() / 2, Map()->MapImgHeight() / 2};
    const double lat = Map()->CalcLatitude(c, okLat), lon = Map()->CalcLongitude(c, okLong);
    int zone = 0;
    char band = ' ';
    if (okLat && okLong) GeoToUTMZone(lat, lon, zone, band);
    if (zone == 0) {
      statusBar()->showMessage(tr("The map's centre lies outside the UTM zones."), 5000);
      return;
    }
    Map()->SetUTMZone(zone);
    Map()->SetUTMHemisphere(lat < 0 ? hemiSouth : hemiNorth);
  }
  Map()->SetGratLineDist(GraticuleStep(*Map()));
  Map()->SetShowGrat(Mode);
}

QString ViewerWindow::PositionText() const { return FPosLabel->text(); }
QString ViewerWindow::UTMText() const { return FUTMLabel->text(); }
QString ViewerWindow::LengthText() const { return FLenLabel->text(); }

void ViewerWindow::SetDegreeFormat(TDegreeFormat Format) { FDegFormat = Format; }

}  // namespace vek::viewer
