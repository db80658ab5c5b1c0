// The main window's menus and toolbar: files, landmarks, mouse modes, grids and the view.
#include <QActionGroup>
#include <QApplication>
#include <QDockWidget>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QToolBar>

#include "CalibrationPanel.h"
#include "ViewerWindow.h"

namespace vek::viewer {

namespace {

// Runs an action of the library and shows what went wrong instead of ending the program.
template <class F>
void Guarded(QWidget* Parent, F&& Action) {
  try {
    Action();
  } catch (const std::exception& e) {
    QMessageBox::warning(Parent, QObject::tr("VekGeo viewer"), QString::fromStdString(e.what()));
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
  add(file, tr("&Save map as…"), [this] { SaveMapDialog(); });
  add(file, tr("&Import landmarks…"), [this] { ImportDialog(); });
  add(file, tr("&Export landmarks…"), [this] { ExportDialog(); });
  add(file, tr("&Copy view to clipboard"), [this] { Map()->CopyToClipboard(); })
      ->setShortcut(QKeySequence::Copy);
  file->addSeparator();
  add(file, tr("&Quit"), [this] { close(); })->setShortcut(QKeySequence::Quit);

  bar->addSeparator();
  QMenu* mouse = menuBar()->addMenu(tr("&Mouse"));
  auto* modes = new QActionGroup(this);
  const std::pair<QString, TMouseActMode> modeList[] = {
      {tr("Pan"), maPan},           {tr("Zoom box"), maZoomBox},
      {tr("Drag zoom"), maDragZoom}, {tr("Select"), maSelectRect},
      {tr("Rubber band"), maRubberBand}, {tr("Trace"), maMouseTrace}};
  for (const auto& [text, mode] : modeList) {
    QAction* a = add(mouse, text, [this, mode = mode] { SetMouseMode(mode); }, true);
    a->setCheckable(true);
    a->setChecked(mode == maPan);
    a->setObjectName("mode" + QString(text).remove(' '));
    modes->addAction(a);
  }

  QMenu* view = menuBar()->addMenu(tr("&View"));
  auto* grids = new QActionGroup(this);
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
    grids->addAction(a);
  }
  view->addSeparator();
  QAction* aa = add(view, tr("&Anti-aliasing"), [this](bool On) { Map()->SetAntiAlias(On); });
  aa->setCheckable(true);
  aa->setChecked(Map()->AntiAlias());
  add(view, tr("&Fit to window"), [this] { Map()->ZoomFitPage(); }, true);
  add(view, tr("&Back"), [this] { StepHistory(-1); }, true)->setShortcut(QKeySequence::Back);
  add(view, tr("F&orward"), [this] { StepHistory(1); }, true)->setShortcut(QKeySequence::Forward);
  view->addSeparator();
  QMenu* deg = view->addMenu(tr("&Degree format"));
  auto* degs = new QActionGroup(this);
  const std::pair<QString, TDegreeFormat> degList[] = {
      {tr("Degrees"), dfDegrees}, {tr("Degrees and minutes"), dfDegMin},
      {tr("Degrees, minutes and seconds"), dfDegMinSec}};
  for (const auto& [text, f] : degList) {
    QAction* a = add(deg, text, [this, f = f] { SetDegreeFormat(f); });
    a->setCheckable(true);
    a->setChecked(f == FDegFormat);
    degs->addAction(a);
  }
  view->addAction(FCalibDock->toggleViewAction());
  view->addAction(FSelDock->toggleViewAction());
}

void ViewerWindow::SetMouseMode(TMouseActMode Mode) {
  // The atlas's zoom mode takes every press; a mouse mode leaves it.
  if (FAtlas->ZoomButton()->Down()) FAtlas->PointerButton()->click();
  Map()->SetMouseAction(Mode);
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
  Guarded(this, [&] {
    const QFileInfo info(FileName);
    const QString calib = info.suffix().compare("xml", Qt::CaseInsensitive) == 0
                              ? FileName
                              : info.path() + "/" + info.completeBaseName() + ".xml";
    if (QFileInfo::exists(calib) && FAtlas->RegisterMap(calib.toStdString())) {
      for (int i = 1; i <= FAtlas->NumRegMaps(); ++i)
        if (FAtlas->Maps(i).MapFName == calib.toLower().toStdString()) FAtlas->SelectMap(i);
      Map()->ZoomFitPage();
      UpdateResolution();
      return;
    }
    // An image without calibration: calibrate it here.
    Map()->Clear();
    Map()->SetMapImgName(FileName.toStdString());
    Map()->ZoomFitPage();
    FCalibDock->show();
    FCalib->Begin();
    UpdateResolution();
  });
}

int ViewerWindow::ImportLandmarks(const QString& FileName) {
  int n = 0;
  Guarded(this, [&] { n = Map()->ImportLandMarks(FileName.toStdString()); });
  statusBar()->showMessage(tr("%1 landmarks imported, %2 in all").arg(n).arg(Map()->NumLandMarks()), 5000);
  return n;
}

void ViewerWindow::OpenDialog() {
  const QString f = QFileDialog::getOpenFileName(
      this, tr("Open map"), QString(), tr("Maps (*.xml *.jpg *.jpeg *.bmp *.png *.tif *.tiff);;All files (*)"));
  if (!f.isEmpty()) OpenFile(f);
}

void ViewerWindow::ImportDialog() {
  const QString f = QFileDialog::getOpenFileName(this, tr("Import landmarks"), QString(),
                                                 tr("Landmarks (*.gpx *.geojson *.json *.xml)"));
  if (!f.isEmpty()) ImportLandmarks(f);
}

void ViewerWindow::ExportDialog() {
  const QString f = QFileDialog::getSaveFileName(this, tr("Export landmarks"), QString(),
                                                 tr("GPX (*.gpx);;GeoJSON (*.geojson);;VekGeo landmarks (*.xml)"));
  if (!f.isEmpty()) Guarded(this, [&] { Map()->ExportLandMarks(f.toStdString(), "Landmarks"); });
}

void ViewerWindow::SaveMapDialog() {
  const QString f = QFileDialog::getSaveFileName(this, tr("Save map as"), QString(), tr("Map (*.jpg)"));
  if (!f.isEmpty()) Guarded(this, [&] { Map()->SaveMap(f.toStdString(), Map()->GetMapCaption()); });
}

}  // namespace vek::viewer
