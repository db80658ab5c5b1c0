#include "ViewerTour.h"

#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QToolBar>
#include <QTest>
#include <stdexcept>

#include "ViewerWindow.h"

namespace vek::viewer {

namespace {

// The control pixel of a position on the map shown.
QPoint ControlPoint(TGeoMap& Map, double Lat, double Long) {
  int32_t x = 0, y = 0;
  if (!Map.CalcPixelCoords(Lat, Long, x, y))
    throw std::runtime_error("tour: the map cannot place " + std::to_string(Lat) + ", " + std::to_string(Long));
  const TPoint p = Map.MapImageToControl(TPoint{x, y});
  return {p.X, p.Y};
}

class Tour {
 public:
  Tour(ViewerWindow& W, const QString& Dir) : FW(W), FDir(Dir) {}

  void Snap(const QString& Name) {
    QApplication::processEvents();
    const QString file = QDir(FDir).filePath(QString("%1-%2.png").arg(++FStep, 2, 10, QChar('0')).arg(Name));
    if (!FW.grab().save(file)) throw std::runtime_error("tour: cannot write " + file.toStdString());
    Files << file;
  }

  // A click in the atlas's zoom mode on a position; the atlas loads the next finer map.
  void ZoomInto(double Lat, double Long) {
    const std::string before = FW.Map()->GetMapCaption();
    QTest::mouseClick(FW.Map(), Qt::LeftButton, {}, ControlPoint(*FW.Map(), Lat, Long));
    if (FW.Map()->GetMapCaption() == before)
      throw std::runtime_error("tour: the atlas kept " + before + " after a zoom click");
  }

  void Select(double LatA, double LongA, double LatB, double LongB) {
    const QPoint a = ControlPoint(*FW.Map(), LatA, LongA), b = ControlPoint(*FW.Map(), LatB, LongB);
    QTest::mousePress(FW.Map(), Qt::LeftButton, {}, a);
    QTest::mouseMove(FW.Map(), (a + b) / 2);
    QTest::mouseMove(FW.Map(), b);
    QTest::mouseRelease(FW.Map(), Qt::LeftButton, {}, b);
  }

  ViewerWindow& FW;
  QString FDir;
  int FStep = 0;
  QStringList Files;
};

}  // namespace

QStringList RunTour(ViewerWindow& W, const QString& Dir) {
  QDir().mkpath(Dir);
  W.show();
  if (!QTest::qWaitForWindowExposed(&W)) throw std::runtime_error("tour: the window was not shown");
  Tour t(W, Dir);
  t.Snap("world");

  QTest::mouseClick(W.Atlas()->ZoomButton(), Qt::LeftButton);
  t.ZoomInto(48, 10);
  t.Snap("europe");

  t.ZoomInto(46.5, 10);
  W.Map()->SetShowGrat(sgLines);
  t.Snap("alps-graticule");
  W.SetGrid(sgUTMGrid);
  t.Snap("alps-utm-grid");

  W.Map()->SetShowGrat(sgLines);
  auto* bar = W.findChild<QToolBar*>("MainToolBar");
  QTest::mouseClick(bar->widgetForAction(W.findChild<QAction*>("modeSelect")), Qt::LeftButton);
  t.Select(47.6, 9.5, 46.4, 12.5);
  if (W.SelectionList()->count() == 0) throw std::runtime_error("tour: the selection found no items");
  t.Snap("selection");
  return t.Files;
}

}  // namespace vek::viewer
