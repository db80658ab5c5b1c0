// The main window: start-up on the world database and demo atlas, the status bar and the
// map's mouse events (position, rubber-band length, selected area).
#include "ViewerWindow.h"

#include <QCoreApplication>
#include <QDockWidget>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressDialog>
#include <QStatusBar>
#include <cmath>

#include "CalibrationPanel.h"
#include "DemoAtlas.h"
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

  FPosLabel = new QLabel(this);
  FUTMLabel = new QLabel(this);
  FResLabel = new QLabel(this);
  FResLabel->setObjectName("resolution");
  FLenLabel = new QLabel(this);
  for (QLabel* l : {FPosLabel, FUTMLabel, FLenLabel}) {
    l->setMinimumWidth(180);
    statusBar()->addWidget(l);
  }
  statusBar()->addPermanentWidget(FResLabel);

  FSelList = new QListWidget(this);
  FSelDock = new QDockWidget(tr("Items in the selected area"), this);
  FSelDock->setObjectName("SelectionDock");
  FSelDock->setWidget(FSelList);
  addDockWidget(Qt::RightDockWidgetArea, FSelDock);
  FSelDock->hide();

  FCalib = new CalibrationPanel(FAtlas, this);
  connect(FCalib, &CalibrationPanel::Changed, this, [this] { UpdateResolution(); });
  FCalibDock = new QDockWidget(tr("Calibration"), this);
  FCalibDock->setObjectName("CalibrationDock");
  FCalibDock->setWidget(FCalib);
  addDockWidget(Qt::RightDockWidgetArea, FCalibDock);
  FCalibDock->hide();

  WireMap();
  BuildMenus();
  AddLayersMenu(this, FAtlas, FDB.get());
  resize(1200, 800);
}

ViewerWindow::~ViewerWindow() = default;

bool ViewerWindow::Start(const std::string& CacheDir) {
  QProgressDialog progress(tr("Building the world database from GSHHG…"), QString(), 0, 100, this);
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(0);
  progress.reset();
  FDB->OnPercentDone = [&](TObject*, int32_t Percent) {
    if (Percent >= 100) return;
    progress.setValue(Percent);
    QCoreApplication::processEvents();
  };
  const bool built = OpenWorldDB(*FDB, WorldDBName(CacheDir));
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
  FShownImage = Map()->MapImgFile();
  Map()->ZoomFitPage();
  UpdateResolution();
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
  };
  // A map the atlas switched to is shown whole.
  FAtlas->OnMouseUp = [this](TObject*, TMouseButton, TShiftState, int, int) {
    if (Map()->MapImgFile() != FShownImage) Map()->ZoomFitPage();
    FShownImage = Map()->MapImgFile();
    UpdateResolution();
  };
  TGeoMap* m = Map();
  m->OnBeforeRenderData = [this](TObject*, TCanvas* C) {
    const TShowGrat g = Map()->ShowGraticule();
    if (C && Map()->CalibModel() != cmUTM && (g == sgUTMGrid || g == sgPointsAndUTMGrid))
      DrawUTMGridOverlay(*Map(), *C, Map()->ColorGraticule());
  };
  // Landmarks beyond the map's edges would be drawn where the calibration extrapolates; on a
  // generated map also those in the margin around its frame, where the image has no dot.
  m->OnDrawLandmark = [this](TObject*, bool& Handled, TCanvas*, TPoint&, const TLandMark& L) {
    const TDemoMap* frame = GeneratedFrame();
    if (!Map()->IsPositionWithinMap(L.Latitude, L.Longitude) ||
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
  m->OnEndRubberBand = [this](TObject*, const TPoint& P) { RubberBandPoint(P, false); };
  m->OnSelectRect = [this](TObject*, int32_t Kind, double V1, double V2, double V3, double V4) {
    if (Kind == 1 && Map()->MouseAction() == maSelectRect)
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
  if (!okLat || !okLong || !(std::fabs(lat) <= 90) || !(std::fabs(lon) <= 540)) {
    FPosLabel->setText(tr("pixel %1, %2").arg(p.X).arg(p.Y));
    FUTMLabel->clear();
    return;
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

void ViewerWindow::UpdateResolution() {
  const double r = Map()->CalibData().Resolution;
  FResLabel->setText(r > 0 ? tr("%1 m/pixel at %2×").arg(r, 0, 'f', r < 100 ? 1 : 0).arg(Map()->Magnification(), 0, 'f', 2)
                           : tr("not calibrated"));
}

// The band's points are image pixels; each press ends a segment of a great circle.
void ViewerWindow::RubberBandPoint(const TPoint& P, bool Begin) {
  if (Map()->MouseAction() != maRubberBand) return;  // the selection rectangle reports too
  if (Begin) FBand.clear(), FBandLength = 0;
  bool okLat = false, okLong = false;
  const TCoords c{Map()->CalcLatitude(P, okLat), Map()->CalcLongitude(P, okLong)};
  if (!okLat || !okLong) return;
  if (!FBand.empty())
    FBandLength += SphereGreatCircleDist(kEarthRadius, FBand.back().Latit, FBand.back().Longit,
                                         c.Latit, c.Longit);
  FBand.push_back(c);
  FLenLabel->setText(tr("line: %1 km").arg(FBandLength / 1000, 0, 'f', 1));
}

void ViewerWindow::ListItemsInArea(double LatLow, double LatHigh, double LongLow, double LongHigh) {
  FSelList->clear();
  for (const TWorldHit& h : FindWorldItemsInArea(*FDB, LatLow, LatHigh, LongLow, LongHigh)) {
    const TgdbData d = FDB->Data(h.Entry);
    const QString name = QString::fromStdString(std::string(d.Name.str()));
    if (d.ItemKind == gitCity) {
      FSelList->addItem(tr("capital #%1 %2").arg(h.Entry).arg(name));
      continue;
    }
    // The data set names no coast, lake, border or river: the kind in detail and where the item
    // lies say what it is; the stored name keeps the data set's own number.
    FSelList->addItem(tr("%1 #%2, %3…%4 N %5…%6 E (%7)")
                          .arg(WorldClassName(d.ClassFlag)).arg(h.Entry)
                          .arg(d.LatLow, 0, 'f', 1).arg(d.LatHigh, 0, 'f', 1)
                          .arg(d.LongLow, 0, 'f', 1).arg(d.LongHigh, 0, 'f', 1).arg(name));
  }
  FSelDock->setWindowTitle(tr("%1 items in %2…%3 N, %4…%5 E")
                               .arg(FSelList->count())
                               .arg(LatLow, 0, 'f', 1).arg(LatHigh, 0, 'f', 1)
                               .arg(LongLow, 0, 'f', 1).arg(LongHigh, 0, 'f', 1));
  FSelDock->show();
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
  Map()->SetShowGrat(Mode);
}

QString ViewerWindow::PositionText() const { return FPosLabel->text(); }
QString ViewerWindow::UTMText() const { return FUTMLabel->text(); }
QString ViewerWindow::LengthText() const { return FLenLabel->text(); }

void ViewerWindow::SetDegreeFormat(TDegreeFormat Format) { FDegFormat = Format; }

}  // namespace vek::viewer
