// The main window's menus and toolbar: files, landmarks, mouse modes, grids and the view.
#include <QActionGroup>
#include <QApplication>
#include <QDockWidget>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenuBar>
#include <QImageReader>
#include <QLabel>
#include <QMessageBox>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QToolBar>

#include "CalibrationPanel.h"
#include "Vek_geogdal.h"
#include "ViewerGdal.h"
#include "ViewerWindow.h"

namespace vek::viewer {

namespace {

// 'Component "Map": the file ...' -> 'the file ...': the user knows no components.
std::string StripComponentPrefix(const std::string& Message) {
  if (Message.rfind("Component \"", 0) != 0) return Message;
  const size_t end = Message.find("\": ");
  return end == std::string::npos ? Message : Message.substr(end + 3);
}

// Runs an action of the library and shows what went wrong instead of ending the program.
template <class F>
void Guarded(QWidget* Parent, F&& Action) {
  try {
    Action();
  } catch (const std::exception& e) {
    QMessageBox::warning(Parent, QObject::tr("VekGeo viewer"),
                         QString::fromStdString(StripComponentPrefix(e.what())));
  }
}

}  // namespace

void ViewerWindow::BuildMenus() {
  QToolBar* bar = addToolBar(tr("Main"));
  bar->setObjectName("MainToolBar");
  QMenu* file = menuBar()->addMenu(tr("&File"));
  auto add = [&](QMenu* Menu, const QString& Text, auto Slot, bool OnBar = false) {
    QAction* a = Menu->addAction(Text, this, Slot);
    if (OnBar) bar->addAction(a);
    return a;
  };
  add(file, tr("&Open map or calibration…"), [this] { OpenDialog(); }, true)
      ->setShortcut(QKeySequence::Open);
  FRecentMenu = file->addMenu(tr("Open &recent"));
  FRecentMenu->setObjectName("recentMenu");
  RebuildRecentMenu();
  add(file, tr("&Save map as…"), [this] { SaveMapDialog(); });
  add(file, tr("&Import landmarks…"), [this] { ImportDialog(); });
  add(file, tr("&Export landmarks…"), [this] { ExportDialog(); });
  AddGdalActions(*this, file);
  add(file, tr("&Copy view to clipboard"), [this] {
    Map()->CopyToClipboard();
    statusBar()->showMessage(tr("The view is on the clipboard."), 5000);
  })->setShortcut(QKeySequence::Copy);
  file->addSeparator();
  add(file, tr("&Quit"), [this] { close(); })->setShortcut(QKeySequence::Quit);

  bar->addSeparator();
  QMenu* mouse = menuBar()->addMenu(tr("&Mouse"));
  FModeGroup = new QActionGroup(this);
  // Exclusive, but the atlas's zoom mode may leave all of them unchecked.
  FModeGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
  const std::pair<QString, TMouseActMode> modeList[] = {
      {tr("Pan"), maPan},           {tr("Zoom box"), maZoomBox},
      {tr("Drag zoom"), maDragZoom}, {tr("Select"), maSelectRect},
      {tr("Rubber band"), maRubberBand}, {tr("Trace"), maMouseTrace}};
  int key = 0;
  for (const auto& [text, mode] : modeList) {
    QAction* a = add(mouse, text, [this, mode = mode] { SetMouseMode(mode); }, true);
    a->setCheckable(true);
    a->setChecked(mode == maPan);
    a->setObjectName("mode" + QString(text).remove(' '));
    a->setData(int(mode));
    a->setShortcut(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_1 + key++)));
    FModeGroup->addAction(a);
  }
  // The atlas's zoom button and a mouse mode never both look pressed.
  FAtlas->OnZoomButClick = [this](TObject*) {
    if (QAction* a = FModeGroup->checkedAction()) a->setChecked(false);
    FCalib->SetPicking(false);
    statusBar()->showMessage(tr("Atlas zoom: a left click shows the next finer map of the place, "
                                "a right click the next coarser one."), 8000);
  };
  FAtlas->OnPointerButClick = [this](TObject*) {
    for (QAction* a : FModeGroup->actions())
      a->setChecked(a->data().toInt() == int(Map()->MouseAction()));
  };

  QMenu* view = menuBar()->addMenu(tr("&View"));
  FGridGroup = new QActionGroup(this);
  const std::pair<QString, TShowGrat> gridList[] = {
      {tr("No grid"), sgNone},
      {tr("Graticule"), sgLines},
      {tr("Graticule with calibration points"), sgPointsAndLines},
      {tr("UTM grid"), sgUTMGrid},
      {tr("UTM grid with calibration points"), sgPointsAndUTMGrid}};
  for (const auto& [text, grat] : gridList) {
    QAction* a = add(view, text, [this, grat = grat] { Guarded(this, [&] { SetGrid(grat); }); });
    a->setCheckable(true);
    a->setChecked(grat == sgNone);
    a->setData(int(grat));
    FGridGroup->addAction(a);
  }
  view->addSeparator();
  QAction* aa = add(view, tr("&Anti-aliasing"), [this](bool On) { Map()->SetAntiAlias(On); });
  aa->setCheckable(true);
  aa->setChecked(Map()->AntiAlias());
  add(view, tr("&Fit to window"), [this] {
    Map()->ZoomFitPage();
    UpdateResolution();
  }, true)->setShortcut(Qt::CTRL | Qt::Key_0);
  add(view, tr("&Back"), [this] { StepHistory(-1); }, true)->setShortcut(QKeySequence::Back);
  add(view, tr("F&orward"), [this] { StepHistory(1); }, true)->setShortcut(QKeySequence::Forward);
  view->addSeparator();
  QMenu* deg = view->addMenu(tr("&Degree format"));
  FDegGroup = new QActionGroup(this);
  const std::pair<QString, TDegreeFormat> degList[] = {
      {tr("Degrees"), dfDegrees}, {tr("Degrees and minutes"), dfDegMin},
      {tr("Degrees, minutes and seconds"), dfDegMinSec}};
  for (const auto& [text, f] : degList) {
    QAction* a = add(deg, text, [this, f = f] { SetDegreeFormat(f); });
    a->setCheckable(true);
    a->setChecked(f == FDegFormat);
    a->setData(int(f));
    FDegGroup->addAction(a);
  }
  view->addSeparator();
  QAction* calibDock = FCalibDock->toggleViewAction();
  calibDock->setText(tr("&Calibration panel"));
  view->addAction(calibDock);
  QAction* selDock = FSelDock->toggleViewAction();
  selDock->setText(tr("&Selection panel"));
  view->addAction(selDock);

  QMenu* help = menuBar()->addMenu(tr("&Help"));
  add(help, tr("&About the VekGeo viewer"), [this] { About(); });
  add(help, tr("About &Qt"), [] { QApplication::aboutQt(); });
}

void ViewerWindow::About() {
  QMessageBox::about(
      this, tr("About the VekGeo viewer"),
      tr("<h3>VekGeo map viewer</h3>"
         "<p>Maps of the world drawn from the GSHHG coastlines, borders and rivers, an atlas that "
         "zooms from map to map, and calibration of your own scanned maps.</p>"
         "<p>Mouse modes: Ctrl+1 pan, Ctrl+2 zoom box, Ctrl+3 drag zoom, Ctrl+4 select, "
         "Ctrl+5 rubber band (click, move, click; Ctrl+click starts a new segment), Ctrl+6 trace. "
         "Arrow keys pan, + and - zoom, Ctrl+0 fits the map to the window.</p>"
         "<p>Coastlines: GSHHG by P. Wessel and W. H. F. Smith (LGPL).</p>"));
}

void ViewerWindow::SetMouseMode(TMouseActMode Mode) {
  // The atlas's zoom mode takes every press; a mouse mode leaves it, and so does adding
  // calibration points.
  if (FAtlas->ZoomButton()->Down()) FAtlas->PointerButton()->click();
  FCalib->SetPicking(false);
  Map()->SetMouseAction(Mode);
  for (QAction* a : FModeGroup->actions()) a->setChecked(a->data().toInt() == int(Mode));
  FBandActive = false;
  if (Mode != maRubberBand) FLenLabel->clear();
  if (Mode == maMouseTrace)
    statusBar()->showMessage(tr("Trace: drag with the left button to draw a line on the map."), 8000);
  else if (Mode == maRubberBand)
    statusBar()->showMessage(tr("Rubber band: click to start, move and click to end; Ctrl+click "
                                "starts a new segment."), 8000);
  else if (Mode == maSelectRect)
    statusBar()->showMessage(tr("Select: drag a rectangle to list what lies in it."), 8000);
}

void ViewerWindow::StepHistory(int Step) {
  const int pos = FHistPos + Step;
  if (pos > 0 || pos < -(TGeoMap::ZoomStackSize - 1) || Map()->GetZoomStackEntry(pos).MagF <= 0)
    return;
  FHistPos = pos;
  Map()->ZoomHistory(pos);
  UpdateResolution();
}

void ViewerWindow::OpenFile(const QString& FileName) {
  if (!FCalib->ConfirmLoss(true)) return;
  const QFileInfo info(FileName);
  RememberDir(FileName);
  auto refuse = [&](const QString& Why) {
    QMessageBox::warning(this, tr("Open"), tr("%1 was not opened: %2").arg(info.fileName(), Why));
  };
  if (!info.isFile()) return refuse(tr("there is no such file."));
  const bool isXml = info.suffix().compare("xml", Qt::CaseInsensitive) == 0;
  const QString calib = isXml ? FileName : info.path() + "/" + info.completeBaseName() + ".xml";
  if (QFileInfo::exists(calib)) {
    bool shown = false;
    Guarded(this, [&] {
      if (!FAtlas->RegisterMap(calib.toStdString())) return;
      for (int i = 1; i <= FAtlas->NumRegMaps(); ++i)
        if (FAtlas->Maps(i).MapFName == calib.toLower().toStdString()) {
          shown = FAtlas->SelectMap(i);
          FShownEntry = i;
        }
    });
    if (shown) {
      MapSwitched();
      AddRecent(FileName);
      return;
    }
    if (isXml) return refuse(tr("it holds no map calibration."));
  }
  if (isXml) return refuse(tr("it holds no map calibration."));
  // A georeferenced raster or an OziExplorer map calibrates itself on the way.
  if (IsGeoreferencedRaster(FileName.toStdString())) return OpenGeoreferencedFile(*this, FileName);
  // An image without calibration: read its header before the map shown is given up.
  QImageReader reader(FileName);
  if (!reader.canRead() && !IsGdalRaster(FileName.toStdString()))
    return refuse(tr("it is not an image the viewer can read (JPEG, PNG, TIFF, BMP or a raster GDAL reads)."));
  const std::string before = Map()->MapImgFile();
  const int beforeEntry = FShownEntry;
  const std::string beforeCal = Map()->CalibDataFile();
  try {
    Map()->Clear();
    Map()->SetMapImgName(FileName.toStdString());
  } catch (const std::exception& e) {
    // Back to the map that was shown.
    try {
      if (beforeEntry >= 1 && beforeEntry <= FAtlas->NumRegMaps())
        FAtlas->SelectMap(beforeEntry);
      else if (!beforeCal.empty())
        Map()->SetCalDatName(beforeCal);
      else if (!before.empty())
        Map()->SetMapImgName(before);
    } catch (const std::exception&) {
    }
    FShownImage = Map()->MapImgFile();
    UpdateResolution();
    return refuse(QString::fromStdString(StripComponentPrefix(e.what())));
  }
  {
    // The list names registered maps only: no entry is shown for this one.
    const QSignalBlocker quiet(FAtlas->MapSelector());
    FAtlas->MapSelector()->setCurrentIndex(-1);
  }
  FShownEntry = 0;
  MapSwitched();
  AddRecent(FileName);
  FCalibDock->show();
  resizeDocks({FCalibDock}, {340}, Qt::Horizontal);  // the map keeps most of the window
  FCalib->Begin();
  statusBar()->showMessage(tr("%1 has no calibration yet: switch on \"Add points\" in the "
                              "calibration panel and click on places you know.")
                               .arg(info.fileName()), 10000);
  UpdateResolution();
}

int ViewerWindow::ImportLandmarks(const QString& FileName) {
  int n = 0;
  bool ok = false;
  Guarded(this, [&] {
    n = Map()->ImportLandMarks(FileName.toStdString());
    ok = true;
  });
  if (ok && !FImportedLandmarks.contains(FileName)) FImportedLandmarks << FileName;
  statusBar()->showMessage(tr("%1 landmarks imported, %2 in all").arg(n).arg(Map()->NumLandMarks()), 5000);
  return n;
}

QString ViewerWindow::DialogDir() const { return FLastDir; }

void ViewerWindow::RememberDir(const QString& File) { FLastDir = QFileInfo(File).absolutePath(); }

void ViewerWindow::OpenDialog() {
  const QString f = QFileDialog::getOpenFileName(
      this, tr("Open map"), DialogDir(), tr("Maps (*.xml *.jpg *.jpeg *.bmp *.png *.tif *.tiff *.map *.kap *.vrt *.jp2 *.img);;All files (*)"));
  if (!f.isEmpty()) OpenFile(f);
}

void ViewerWindow::ImportDialog() {
  const QString f = QFileDialog::getOpenFileName(this, tr("Import landmarks"), DialogDir(),
                                                 tr("Landmarks (*.gpx *.geojson *.json *.xml)"));
  if (f.isEmpty()) return;
  RememberDir(f);
  ImportLandmarks(f);
}

void ViewerWindow::ExportDialog() {
  const QString f = QFileDialog::getSaveFileName(this, tr("Export landmarks"), DialogDir(),
                                                 tr("GPX (*.gpx);;GeoJSON (*.geojson);;VekGeo landmarks (*.xml)"));
  if (f.isEmpty()) return;
  RememberDir(f);
  Guarded(this, [&] {
    Map()->ExportLandMarks(f.toStdString(), "Landmarks");
    statusBar()->showMessage(tr("%1 landmarks exported to %2").arg(Map()->NumLandMarks()).arg(f), 8000);
  });
}

void ViewerWindow::SaveMapDialog() {
  const QString f = QFileDialog::getSaveFileName(this, tr("Save map as"), DialogDir(), tr("Map (*.jpg)"));
  if (f.isEmpty()) return;
  RememberDir(f);
  Guarded(this, [&] {
    Map()->SaveMap(f.toStdString(), Map()->GetMapCaption());
    statusBar()->showMessage(tr("Map saved to %1").arg(f), 8000);
  });
}

void ViewerWindow::AddRecent(const QString& File) {
  const QString path = QFileInfo(File).absoluteFilePath();
  FRecent.removeAll(path);
  FRecent.prepend(path);
  while (FRecent.size() > 8) FRecent.removeLast();
  RebuildRecentMenu();
}

void ViewerWindow::RebuildRecentMenu() {
  if (!FRecentMenu) return;
  FRecentMenu->clear();
  for (const QString& f : FRecent)
    FRecentMenu->addAction(QFileInfo(f).fileName(), this, [this, f] { OpenFile(f); })->setToolTip(f);
  FRecentMenu->setEnabled(!FRecent.isEmpty());
}

}  // namespace vek::viewer
