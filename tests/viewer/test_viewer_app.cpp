// The viewer driven as a person uses it: real mouse clicks off screen on the demo atlas, the
// calibration workflow with its dialog, and a landmark import.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QSpinBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QWheelEvent>
#include <QFileInfo>
#include <QListWidget>
#include <QToolBar>
#include <QPushButton>
#include <QDoubleSpinBox>
#include <vector>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <fstream>

#include "CalibPointDialog.h"
#include "CalibrationPanel.h"
#include "GeoDBLayer.h"
#include <QMenu>
#include "ViewerWindow.h"
#include "Vek_geobasics.h"

using namespace vek;
using namespace vek::viewer;

namespace {

QPoint ControlPoint(TGeoMap& Map, int X, int Y) {
  const TPoint p = Map.MapImageToControl(TPoint{X, Y});
  return {p.X, p.Y};
}

// Answers the next calibration point dialog with a position, as the user would type it.
void AnswerNextDialog(double Lat, double Long) {
  auto* timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, [timer, Lat, Long] {
    auto* d = qobject_cast<CalibPointDialog*>(QApplication::activeModalWidget());
    if (!d) return;
    d->findChild<QDoubleSpinBox*>("latitude")->setValue(Lat);
    d->findChild<QDoubleSpinBox*>("longitude")->setValue(Long);
    d->accept();
    timer->deleteLater();
    timer->stop();
  });
  timer->start(10);
}

// Shows the window with a blank 400 x 300 image standing for a scan, ready to calibrate by Model.
void OpenBlankScan(ViewerWindow& w, const QTemporaryDir& tmp, const QString& Name, TCalibModel Model) {
  QImage scan(400, 300, QImage::Format_RGB32);
  scan.fill(Qt::white);
  const QString image = tmp.filePath(Name);
  ASSERT_TRUE(scan.save(image));
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  w.OpenFile(image);
  QTest::mouseClick(w.Calibration()->findChild<QPushButton*>("calibPick"), Qt::LeftButton);
  auto* model = w.Calibration()->findChild<QComboBox*>("calibModel");
  model->setCurrentIndex(model->findData(int(Model)));
  ASSERT_EQ(w.Map()->CalibModel(), Model);
}

// Clicks a button of the next message box when it shows; its text goes to Text.
void AnswerNextBox(QMessageBox::StandardButton Button, QString* Text = nullptr) {
  auto* timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, [timer, Button, Text] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    if (Text) *Text = box->text();
    QTest::mouseClick(box->button(Button), Qt::LeftButton);
    timer->deleteLater();
    timer->stop();
  });
  timer->start(10);
}

// A user's pick from the atlas list, by keyboard on the list.
void PickNextMapInList(ViewerWindow& w) {
  QComboBox* list = w.Atlas()->MapSelector();
  list->setFocus();
  QTest::keyClick(list, Qt::Key_Down);
}

}  // namespace

// Everything that shows the map follows a switch: the view fits the new map, the status bar
// gives its resolution, the first click keeps the view, the keys go to the map, and Fit to
// window updates the zoom shown.
TEST(ViewerApp, TheViewAndStatusBarFollowEveryMapSwitch) {
  ViewerWindow w;
  w.Start(VEK_VIEWER_TEST_CACHE);
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  auto* res = w.findChild<QLabel*>("resolution");
  const std::string world = w.Map()->MapImgFile();
  PickNextMapInList(w);
  ASSERT_NE(w.Map()->MapImgFile(), world);
  const double r = w.Map()->CalibData().Resolution;
  EXPECT_TRUE(res->text().startsWith(QString::number(r, 'f', r < 100 ? 1 : 0))) << res->text().toStdString();
  EXPECT_TRUE(res->text().contains(QString::number(w.Map()->Magnification(), 'f', 2)));

  // Wheel zoom, then a plain click: the view stays.
  const QPoint centre(w.Map()->width() / 2, w.Map()->height() / 2);
  QWheelEvent wheel(centre, w.Map()->mapToGlobal(centre), {}, {0, 720}, Qt::NoButton, {},
                    Qt::NoScrollPhase, false);
  QApplication::sendEvent(w.Map(), &wheel);
  const TMapViewport zoomed = w.Map()->Viewport();
  QTest::mouseClick(w.Map(), Qt::LeftButton, {}, centre);
  EXPECT_EQ(w.Map()->Viewport().TopLeft, zoomed.TopLeft);
  EXPECT_EQ(w.Map()->Viewport().Magnify, zoomed.Magnify);

  // The keys pan the map; the list keeps its map.
  const int entry = w.Atlas()->MapSelector()->currentIndex();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
  EXPECT_GT(w.Map()->Viewport().TopLeft.X, zoomed.TopLeft.X);
  EXPECT_EQ(w.Atlas()->MapSelector()->currentIndex(), entry);

  auto* bar = w.findChild<QToolBar*>("MainToolBar");
  QAction* fit = nullptr;
  for (QAction* a : bar->actions())
    if (a->text().contains("Fit")) fit = a;
  ASSERT_TRUE(fit);
  QTest::mouseClick(bar->widgetForAction(fit), Qt::LeftButton);
  EXPECT_TRUE(res->text().contains(QString::number(w.Map()->Magnification(), 'f', 2))) << res->text().toStdString();
}

// Work is not lost: a failed open keeps the map shown, unsaved calibration points are asked
// for before another map is shown and before the window closes.
TEST(ViewerApp, FailedOpensKeepTheMapAndUnsavedPointsAreAskedFor) {
  QTemporaryDir tmp;
  ViewerWindow w;
  w.Start(VEK_VIEWER_TEST_CACHE);
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  const std::string world = w.Map()->MapImgFile();
  std::ofstream(tmp.filePath("text.jpg").toStdString()) << "not an image";
  std::ofstream(tmp.filePath("empty.xml").toStdString());
  for (const char* name : {"text.jpg", "empty.xml"}) {
    QString said;
    AnswerNextBox(QMessageBox::Ok, &said);
    w.OpenFile(tmp.filePath(name));
    EXPECT_EQ(w.Map()->MapImgFile(), world) << name;
    EXPECT_TRUE(said.contains(name)) << said.toStdString();
    EXPECT_FALSE(said.contains("Component")) << said.toStdString();
  }
  EXPECT_TRUE(w.Map()->Visible());

  // An uncalibrated scan says so instead of placing its pixels somewhere.
  QImage scan(400, 300, QImage::Format_RGB32);
  scan.fill(Qt::white);
  ASSERT_TRUE(scan.save(tmp.filePath("scan.bmp")));
  w.OpenFile(tmp.filePath("scan.bmp"));
  QTest::mouseMove(w.Map(), ControlPoint(*w.Map(), 100, 100));
  EXPECT_TRUE(w.PositionText().startsWith("pixel")) << w.PositionText().toStdString();
  EXPECT_EQ(w.Atlas()->MapSelector()->currentIndex(), -1);  // the list names no other map

  QTest::mouseClick(w.Calibration()->findChild<QPushButton*>("calibPick"), Qt::LeftButton);
  AnswerNextDialog(49.5, 10.5);
  QTest::mouseClick(w.Map(), Qt::LeftButton, {}, ControlPoint(*w.Map(), 50, 50));
  QTRY_COMPARE(w.Map()->CalibData().NumCalQuads, 1);
  ASSERT_TRUE(w.Calibration()->Unsaved());

  QString asked;
  AnswerNextBox(QMessageBox::Cancel, &asked);
  PickNextMapInList(w);
  EXPECT_TRUE(asked.contains("scan.bmp")) << asked.toStdString();
  EXPECT_TRUE(w.Map()->MapImgFile().find("scan.bmp") != std::string::npos);
  EXPECT_EQ(w.Map()->CalibData().NumCalQuads, 1);

  AnswerNextBox(QMessageBox::Cancel);
  EXPECT_FALSE(w.close());
  EXPECT_TRUE(w.isVisible());
  AnswerNextBox(QMessageBox::Save);
  EXPECT_TRUE(w.close());
  EXPECT_TRUE(QFileInfo::exists(tmp.filePath("scan.xml")));
}

TEST(ViewerApp, DemoAtlasZoomsByClickShowsThePositionMeasuresAndSelects) {
  ViewerWindow w;
  w.Start(VEK_VIEWER_TEST_CACHE);
  w.SetDegreeFormat(dfDegrees);
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  ASSERT_GT(w.Atlas()->NumRegMaps(), 2);
  const std::string world = w.Map()->GetMapCaption();
  const double worldRes = w.Map()->CalibData().Resolution;
  EXPECT_GT(w.Map()->NumLandMarks(), 150) << "capitals as landmarks";

  QTest::mouseClick(w.Atlas()->ZoomButton(), Qt::LeftButton);
  int32_t x = 0, y = 0;
  ASSERT_TRUE(w.Map()->CalcPixelCoords(-15, 25, x, y));  // southern Africa
  QTest::mouseClick(w.Map(), Qt::LeftButton, {}, ControlPoint(*w.Map(), x, y));
  EXPECT_NE(w.Map()->GetMapCaption(), world);
  EXPECT_LT(w.Map()->CalibData().Resolution, worldRes);

  // "15.3° S  25.1° E": the clicked position, within a pixel of the world map.
  const QRegularExpressionMatch m =
      QRegularExpression(R"(^([\d.]+)°\s*([NS])\s+([\d.]+)°\s*([EW]))").match(w.PositionText());
  ASSERT_TRUE(m.hasMatch()) << w.PositionText().toStdString();
  EXPECT_NEAR(m.captured(1).toDouble(), 15, 0.6);
  EXPECT_EQ(m.captured(2), "S");
  EXPECT_NEAR(m.captured(3).toDouble(), 25, 0.6);
  EXPECT_TRUE(w.UTMText().startsWith("UTM 35L")) << w.UTMText().toStdString();
  QApplication::processEvents();
  w.grab().save(QDir::current().filePath("viewer_zoomed.png"));

  // The toolbar's rubber band from Kampala to Nairobi: about 510 km along the great circle.
  auto* bar = w.findChild<QToolBar*>("MainToolBar");
  QTest::mouseClick(bar->widgetForAction(w.findChild<QAction*>("modeRubberband")), Qt::LeftButton);
  ASSERT_EQ(w.Map()->MouseAction(), maRubberBand);
  auto at = [&](double Lat, double Long) {
    EXPECT_TRUE(w.Map()->CalcPixelCoords(Lat, Long, x, y));
    return ControlPoint(*w.Map(), x, y);
  };
  QTest::mouseClick(w.Map(), Qt::LeftButton, {}, at(0.3476, 32.5825));
  QTest::mouseMove(w.Map(), at(-1.2921, 36.8219));
  // The line measures while it follows the cursor.
  const QRegularExpressionMatch moving = QRegularExpression(R"(([\d.]+) km)").match(w.LengthText());
  ASSERT_TRUE(moving.hasMatch()) << w.LengthText().toStdString();
  EXPECT_NEAR(moving.captured(1).toDouble(), 510, 25);
  QTest::mouseClick(w.Map(), Qt::LeftButton, {}, at(-1.2921, 36.8219));
  const QRegularExpressionMatch km = QRegularExpression(R"(([\d.]+) km)").match(w.LengthText());
  ASSERT_TRUE(km.hasMatch()) << w.LengthText().toStdString();
  EXPECT_NEAR(km.captured(1).toDouble(), 510, 25);

  // A selected rectangle round Lake Victoria lists what the database holds there.
  QTest::mouseClick(bar->widgetForAction(w.findChild<QAction*>("modeSelect")), Qt::LeftButton);
  QTest::mousePress(w.Map(), Qt::LeftButton, {}, at(1.5, 31));
  QTest::mouseMove(w.Map(), at(-3.5, 35));
  QTest::mouseRelease(w.Map(), Qt::LeftButton, {}, at(-3.5, 35));
  QStringList items;
  for (int i = 0; i < w.SelectionList()->count(); ++i) items << w.SelectionList()->item(i)->text();
  EXPECT_TRUE(items.filter("Kampala").size() == 1) << items.join("; ").toStdString();
  EXPECT_FALSE(items.filter("lake").isEmpty());
  EXPECT_TRUE(items.filter("Nairobi").isEmpty());
  QApplication::processEvents();
  w.grab().save(QDir::current().filePath("viewer_selection.png"));
  // A click on a listed lake centres it and outlines it; the list says where it lies.
  const int lake = w.SelectionList()->row(w.SelectionList()->findItems("lake", Qt::MatchStartsWith).front());
  const TPoint before = w.Map()->Viewport().TopLeft;
  QListWidget* list = w.SelectionList();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(lake)).center());
  EXPECT_EQ(list->currentRow(), lake);
  EXPECT_NE(w.Map()->Viewport().TopLeft, before);
  EXPECT_TRUE(list->item(lake)->text().contains("° S")) << list->item(lake)->text().toStdString();
  QApplication::processEvents();
  w.grab().save(QDir::current().filePath("viewer_selection_item.png"));

  // The generated maps carry the world database in their pixels: its layer stays off there.
  ASSERT_EQ(w.Map()->NumLayers(), 1);
  EXPECT_FALSE(w.Map()->Layer(0)->Visible);
}

TEST(ViewerApp, ThreeClicksCalibrateAScannedImageAndTheSavedFileConverts) {
  QTemporaryDir tmp;
  // A plain image standing for a scan: 1/100 degree per pixel from 50 N 10 E.
  QImage scan(400, 300, QImage::Format_RGB32);
  scan.fill(Qt::white);
  const QString image = tmp.filePath("scan.bmp");
  ASSERT_TRUE(scan.save(image));

  ViewerWindow w;
  w.Start(VEK_VIEWER_TEST_CACHE);  // the world database for its layer
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  w.OpenFile(image);
  EXPECT_FALSE(w.Calibration()->Picking());  // a click on the map does nothing unasked
  QTest::mouseClick(w.Calibration()->findChild<QPushButton*>("calibPick"), Qt::LeftButton);
  ASSERT_TRUE(w.Calibration()->Picking());
  const std::pair<QPoint, QPointF> points[] = {
      {{50, 50}, {49.5, 10.5}}, {{350, 50}, {49.5, 13.5}}, {{50, 250}, {47.5, 10.5}}};
  int n = 0;
  for (const auto& [pixel, pos] : points) {
    AnswerNextDialog(pos.x(), pos.y());
    QTest::mouseClick(w.Map(), Qt::LeftButton, {}, ControlPoint(*w.Map(), pixel.x(), pixel.y()));
    ++n;
    QTRY_COMPARE(w.Map()->CalibData().NumCalQuads, n);
  }
  auto* table = w.Calibration()->findChild<QTableWidget*>("calibTable");
  EXPECT_EQ(table->rowCount(), 3);
  // The world database lies over the calibrated scan as a layer; the Layers menu hides and
  // shows it.
  auto* layer = dynamic_cast<TGeoDBLayer*>(w.Map()->Layer(0));
  ASSERT_NE(layer, nullptr);
  w.Map()->Paint();
  EXPECT_GT(layer->LastFrame().Drawn, 0);
  QMenu* layers = w.findChild<QMenu*>("LayersMenu");
  ASSERT_NE(layers, nullptr);
  layers->actions().at(0)->trigger();
  EXPECT_FALSE(layer->Visible);
  layers->actions().at(0)->trigger();
  EXPECT_TRUE(layer->Visible);
  EXPECT_TRUE(w.Calibration()->findChild<QLabel*>("calibRMS")->text().contains("RMS 0.00"));
  QApplication::processEvents();
  w.grab().save(QDir::current().filePath("viewer_calibrated.png"));

  // Removing the second point and restoring it again.
  table->selectRow(1);
  QTest::mouseClick(w.Calibration()->findChild<QPushButton*>("calibRemove"), Qt::LeftButton);
  ASSERT_EQ(table->rowCount(), 2);
  EXPECT_EQ(table->item(1, 0)->text(), "50");
  QTest::mouseClick(w.Calibration()->findChild<QPushButton*>("calibRestore"), Qt::LeftButton);
  EXPECT_EQ(table->rowCount(), 3);

  QTest::mouseClick(w.Calibration()->findChild<QPushButton*>("calibSave"), Qt::LeftButton);
  TGeoMap check;
  check.SetCalDatName(tmp.filePath("scan.xml").toStdString());
  bool okLat = false, okLong = false;
  EXPECT_NEAR(check.CalcLatitude(200, 150, okLat), 48.5, 0.01);
  EXPECT_NEAR(check.CalcLongitude(200, 150, okLong), 12.0, 0.01);
  EXPECT_TRUE(okLat && okLong);
}

TEST(ViewerApp, GpxImportCountsItsLandmarks) {
  QTemporaryDir tmp;
  const QString gpx = tmp.filePath("peaks.gpx");
  std::ofstream(gpx.toStdString()) << R"(<?xml version="1.0"?>
<gpx version="1.1" creator="test" xmlns="http://www.topografix.com/GPX/1/1">
 <wpt lat="47.0742" lon="12.6947"><ele>3798</ele><name>Grossglockner</name></wpt>
 <wpt lat="47.1094" lon="12.3461"><ele>3666</ele><name>Grossvenediger</name></wpt>
 <wpt lat="46.8523" lon="10.8663"><ele>3772</ele><name>Wildspitze</name></wpt>
</gpx>)";
  ViewerWindow w;
  const int before = w.Map()->NumLandMarks();
  EXPECT_EQ(w.ImportLandmarks(gpx), 3);
  EXPECT_EQ(w.Map()->NumLandMarks(), before + 3);
}

TEST(ViewerApp, UtmCalibrationAsksForZoneEastingAndNorthing) {
  QTemporaryDir tmp;
  ViewerWindow w;
  OpenBlankScan(w, tmp, "utm.bmp", cmUTM);

  // 10 m per pixel from 600000 E 5300000 N in zone 33 north.
  const QPoint pixels[] = {{0, 0}, {400, 0}, {0, 300}};
  int n = 0;
  for (const QPoint& p : pixels) {
    auto* timer = new QTimer(&w);
    QObject::connect(timer, &QTimer::timeout, [timer, p] {
      auto* d = qobject_cast<CalibPointDialog*>(QApplication::activeModalWidget());
      if (!d) return;
      d->findChild<QSpinBox*>("zone")->setValue(33);
      d->findChild<QDoubleSpinBox*>("easting")->setValue(600000 + 10 * p.x());
      d->findChild<QDoubleSpinBox*>("northing")->setValue(5300000 - 10 * p.y());
      d->accept();
      timer->stop();
    });
    timer->start(10);
    QTest::mouseClick(w.Map(), Qt::LeftButton, {}, ControlPoint(*w.Map(), p.x(), p.y()));
    ++n;  // not inside the macro, which evaluates its arguments again and again
    QTRY_COMPARE(w.Map()->CalibData().NumCalQuads, n);
  }
  EXPECT_EQ(w.Map()->UTMZone(), 33);
  double lat = 0, lon = 0;
  UTMToLatLong(602000, 5298500, 33, false, gelWGS84, lat, lon);
  bool okLat = false, okLong = false;
  EXPECT_NEAR(w.Map()->CalcLatitude(200, 150, okLat), lat, 1e-4);
  EXPECT_NEAR(w.Map()->CalcLongitude(200, 150, okLong), lon, 1e-4);
}

// A map whose graticule is drawn but whose projection is unknown: points clicked on two
// parallels and two meridians, the line typed once per line, calibrate it by the parabolic model.
TEST(ViewerApp, GraticuleLinePointsCalibrateByTheParabolicModel) {
  QTemporaryDir tmp;
  ViewerWindow w;
  OpenBlankScan(w, tmp, "lines.bmp", cmParabolicIp);

  // 1/100 degree per pixel: parallel 49.5 at row 50, 47.5 at row 250; meridian 10.5 at
  // column 50, 13.5 at column 350.
  struct Click { TGratLineKind Kind; double Value; QPoint Pixel; };
  std::vector<Click> clicks;
  for (int x : {50, 200, 350}) clicks.push_back({gtlParallel, 49.5, {x, 50}});
  for (int x : {50, 200, 350}) clicks.push_back({gtlParallel, 47.5, {x, 250}});
  for (int y : {60, 150, 240}) clicks.push_back({gtlMeridian, 10.5, {50, y}});
  for (int y : {60, 150, 240}) clicks.push_back({gtlMeridian, 13.5, {350, y}});
  int n = 0;
  for (const Click& c : clicks) {
    auto* timer = new QTimer(&w);
    QObject::connect(timer, &QTimer::timeout, [timer, c] {
      auto* d = qobject_cast<CalibPointDialog*>(QApplication::activeModalWidget());
      if (!d) return;
      auto* kind = d->findChild<QComboBox*>("lineKind");
      kind->setCurrentIndex(kind->findData(int(c.Kind)));
      d->findChild<QDoubleSpinBox*>("lineValue")->setValue(c.Value);
      d->accept();
      timer->stop();
    });
    timer->start(10);
    QTest::mouseClick(w.Map(), Qt::LeftButton, {}, ControlPoint(*w.Map(), c.Pixel.x(), c.Pixel.y()));
    ++n;
    QTRY_COMPARE(w.Calibration()->findChild<QTableWidget*>("calibTable")->rowCount(), n);
  }
  EXPECT_EQ(w.Map()->CalibData().NumCalLines, 4);
  EXPECT_TRUE(w.Calibration()->findChild<QLabel*>("calibRMS")->text().contains("12 points, RMS 0.00"))
      << w.Calibration()->findChild<QLabel*>("calibRMS")->text().toStdString();
  bool okLat = false, okLong = false;
  EXPECT_NEAR(w.Map()->CalcLatitude(200, 150, okLat), 48.5, 0.01);
  EXPECT_NEAR(w.Map()->CalcLongitude(200, 150, okLong), 12.0, 0.01);
  EXPECT_TRUE(okLat && okLong);
  // The status bar follows: 4 degrees of longitude across 400 pixels at 48.5 N, about 740 m.
  const QString res = w.findChild<QLabel*>("resolution")->text();
  EXPECT_TRUE(res.startsWith("73") && res.contains("m/pixel")) << res.toStdString();
  QApplication::processEvents();
  w.grab().save(QDir::current().filePath("viewer_parabolic.png"));
}
