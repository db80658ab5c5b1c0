// What the viewer remembers between runs, and what it asks before it quits.
#include <QActionGroup>
#include <QCloseEvent>
#include <QDockWidget>
#include <QFileInfo>
#include <QSettings>
#include <QStatusBar>

#include "CalibrationPanel.h"
#include "ViewerWindow.h"

namespace vek::viewer {

namespace {
QSettings Store() { return QSettings("VekGeo", "viewer"); }
}  // namespace

void ViewerWindow::closeEvent(QCloseEvent* Event) {
  if (!FCalib->ConfirmLoss(true)) {
    Event->ignore();
    return;
  }
  if (FRemember) SaveSession();
  Event->accept();
}

void ViewerWindow::SaveSession() {
  QSettings s = Store();
  s.setValue("window/geometry", saveGeometry());
  s.setValue("window/state", saveState());
  s.setValue("view/grid", int(Map()->ShowGraticule()));
  s.setValue("view/degreeFormat", int(FDegFormat));
  s.setValue("files/recent", FRecent);
  s.setValue("files/lastDir", FLastDir);
  s.setValue("landmarks/imported", FImportedLandmarks);
  // The map shown and where: a map of the list by its calibration file, any other by the
  // file it was opened from.
  const QString calib = QString::fromStdString(Map()->CalibDataFile());
  s.setValue("session/map", FShownEntry > 0 ? calib : QString());
  const TMapViewport& v = Map()->Viewport();
  s.setValue("session/view", QList<QVariant>{v.TopLeft.X, v.TopLeft.Y, v.Magnify});
}

void ViewerWindow::RestoreSession() {
  FRemember = true;
  QSettings s = Store();
  restoreGeometry(s.value("window/geometry").toByteArray());
  restoreState(s.value("window/state").toByteArray());
  FCalibDock->hide();  // nothing is being calibrated at start
  FRecent = s.value("files/recent").toStringList();
  RebuildRecentMenu();
  FLastDir = s.value("files/lastDir").toString();
  const int format = s.value("view/degreeFormat", int(FDegFormat)).toInt();
  if (format >= dfDegrees && format <= dfDegMinSec) SetDegreeFormat(TDegreeFormat(format));
  for (const QString& f : s.value("landmarks/imported").toStringList())
    if (QFileInfo::exists(f)) ImportLandmarks(f);
  const QString map = s.value("session/map").toString();
  if (!map.isEmpty() && QFileInfo::exists(map)) {
    for (int i = 1; i <= FAtlas->NumRegMaps(); ++i)
      if (FAtlas->Maps(i).MapFName == map.toLower().toStdString() && FAtlas->SelectMap(i)) {
        FShownEntry = i;
        MapSwitched();
        const QList<QVariant> view = s.value("session/view").toList();
        if (view.size() == 3) {
          Map()->SetMagnification(view[2].toDouble());
          Map()->SetTopLeft(TPoint{view[0].toInt(), view[1].toInt()});
          UpdateResolution();
        }
      }
  }
  const int grid = s.value("view/grid", int(sgNone)).toInt();
  if (grid >= sgNone && grid <= sgPointsAndUTMGrid) {
    SetGrid(TShowGrat(grid));
    for (QAction* a : FGridGroup->actions()) a->setChecked(a->data().toInt() == int(Map()->ShowGraticule()));
  }
  statusBar()->clearMessage();
}

}  // namespace vek::viewer
