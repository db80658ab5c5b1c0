// The viewer's GDAL entries: a UTM GeoTIFF opened with File > Open (calibrated on the way)
// and shown from the GeoTIFF itself, its calibration exported as VRT and checked by
// gdaltransform, a GeoJSON file imported into a database of the user's.
#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QStatusBar>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QMenuBar>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>

#include "ViewerGdal.h"
#include "ViewerWindow.h"

using namespace vek;
using namespace vek::viewer;

namespace {

QString RunTool(const QString& Tool, const QStringList& Args, const QByteArray& Input = {}) {
  QProcess P;
  P.start(Tool, Args);
  P.waitForStarted();
  P.write(Input);
  P.closeWriteChannel();
  P.waitForFinished(60000);
  EXPECT_EQ(P.exitCode(), 0) << P.readAllStandardError().toStdString();
  return QString::fromUtf8(P.readAllStandardOutput());
}

TEST(ViewerGdal, OpensAGeoTiffExportsItsCalibrationAndImportsData) {
  if (QStandardPaths::findExecutable("gdal_create").isEmpty() ||
      QStandardPaths::findExecutable("gdaltransform").isEmpty())
    GTEST_SKIP() << "GDAL's tools are not installed";
  QTemporaryDir Tmp;
  const QString Tif = Tmp.filePath("sheet.tif");
  RunTool("gdal_create", {"-of", "GTiff", "-outsize", "400", "300", "-bands", "3", "-burn", "200",
                      "-co", "INTERLEAVE=PIXEL", "-a_srs", "EPSG:32633", "-a_ullr", "500000",
                      "5300000", "520000", "5285000", Tif});
  ViewerWindow W;
  W.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&W));
  bool Hooked = false;
  for (QAction* A : W.menuBar()->actions().first()->menu()->actions())
    Hooked |= A->text().contains("georeferenced raster");
  EXPECT_TRUE(Hooked);

  // A message box would mean a failure the viewer reported: fail with its text instead of waiting.
  QTimer Watch;
  QObject::connect(&Watch, &QTimer::timeout, [] {
    if (auto* Box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      ADD_FAILURE() << Box->text().toStdString();
      Box->reject();
    }
  });
  Watch.start(50);
  // File > Open calibrates it on the way and shows the GeoTIFF itself, through GDAL.
  W.OpenFile(Tif);
  EXPECT_TRUE(W.statusBar()->currentMessage().contains("UTM zone 33 north"))
      << W.statusBar()->currentMessage().toStdString();
  ASSERT_EQ(W.Map()->CalibModel(), cmUTM);
  EXPECT_EQ(W.Map()->MapImgWidth(), 400);
  EXPECT_TRUE(QString::fromStdString(W.Map()->MapImgFile()).endsWith("sheet.tif"));
  EXPECT_EQ(QDir(Tmp.path()).entryList({"*.jpg"}), QStringList());
  EXPECT_EQ(W.Map()->MapBitmap()->Image().pixel(200, 150), qRgb(200, 200, 200));
  W.grab().save("viewer_gdal_sheet.png");  // the sheet as shown, for a look

  const QString Vrt = Tmp.filePath("sheet.vrt");
  ExportCalibration(W, Vrt);
  const QStringList Got =
      RunTool("gdaltransform", {"-t_srs", "EPSG:4326", Vrt}, "123 45\n").split(' ');
  ASSERT_GE(Got.size(), 2);
  bool V1 = false, V2 = false;
  EXPECT_NEAR(W.Map()->Calibration().CalcLongitude(123, 45, V2), Got[0].toDouble(), 1e-7);
  EXPECT_NEAR(W.Map()->Calibration().CalcLatitude(123, 45, V1), Got[1].toDouble(), 1e-7);

  std::ofstream(Tmp.filePath("t.geojson").toStdString())
      << R"({"type": "FeatureCollection", "features": [{"type": "Feature", "properties": )"
         R"({"name": "Brno"}, "geometry": {"type": "Point", "coordinates": [16.6, 49.2]}}]})";
  EXPECT_EQ(ImportData(Tmp.filePath("t.geojson"), Tmp.filePath("mine.vekgdd")),
            "Imported 1 items from 1 features.");
}

}  // namespace
