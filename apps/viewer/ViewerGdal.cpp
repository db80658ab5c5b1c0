#include "ViewerGdal.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QStatusBar>

#include "CalibXml.h"
#include "ViewerWindow.h"
#include "Vek_geogdal.h"
#include "WorldFile.h"

namespace vek::viewer {

namespace {

template <class F>
void Report(ViewerWindow& W, F&& Action) {
  try {
    const QString Text = Action();
    if (!Text.isEmpty()) QMessageBox::information(&W, QObject::tr("VekGeo viewer"), Text);
  } catch (const std::exception& E) {
    QMessageBox::warning(&W, QObject::tr("VekGeo viewer"), QString::fromStdString(E.what()));
  }
}

}  // namespace

QString OpenGeoreferenced(ViewerWindow& W, const QString& Raster) {
  TRasterCalibration R = CalibrationFromRaster(Raster.toStdString());
  const QFileInfo Info(Raster);
  const QString Xml = Info.path() + "/" + Info.completeBaseName() + ".xml";
  // The raster itself is the map image: the control reads it through GDAL (from its overviews
  // or a tile pyramid when it is large).
  // The image named relative to the calibration file, where the map looks for it.
  R.Calibration.Data().MapFName =
      QFileInfo(Xml).dir().relativeFilePath(QString::fromStdString(R.ImageFile)).toStdString();
  TextFile F;
  AssignFile(F, Xml.toStdString());
  Rewrite(F);
  WriteRawCalDataToOpenXMLFile(F, true, Info.completeBaseName().toStdString(), R.Calibration.Data(),
                               R.Calibration.Model());
  CloseFile(F);
  W.OpenFile(Xml);
  QString Text = QObject::tr("Calibrated from %1, residual %2 pixels.")
                     .arg(QString::fromStdString(R.Method))
                     .arg(R.RmsPixels, 0, 'f', 3);
  for (const std::string& Warning : R.Warnings) Text += "\n" + QString::fromStdString(Warning);
  return Text;
}

void OpenGeoreferencedFile(ViewerWindow& W, const QString& Raster) {
  try {
    W.statusBar()->showMessage(OpenGeoreferenced(W, Raster).replace('\n', "  "), 15000);
  } catch (const std::exception& E) {
    QMessageBox::warning(&W, QObject::tr("Open"),
                         QObject::tr("%1 was not opened: %2")
                             .arg(QFileInfo(Raster).fileName(), QString::fromStdString(E.what())));
  }
}

QString ImportData(const QString& File, const QString& Db) {
  TGeoDB DB;
  DB.SetDBName(Db.toStdString());
  TVectorImportOptions O;
  O.Date = NowAsDateTime();
  const TVectorImportCounts C = ImportVectorFile(DB, File.toStdString(), O);
  QString Text = QObject::tr("Imported %1 items from %2 features.").arg(C.Items).arg(C.Features);
  for (const auto& [N, What] : ImportFaults(C))
    Text += QString("\n%1 %2").arg(N).arg(QString::fromStdString(What));
  return Text;
}

QString ExportCalibration(ViewerWindow& W, const QString& OutFile) {
  TGeoMap& M = *W.Map();
  std::string Image = M.MapImgFile();
  if (Image.empty()) throw EVEKGeoGdalError("no map is shown");
  // The name as the calibration holds it, found where the map found it.
  if (M.OnMapImageRequest) M.OnMapImageRequest(&M, Image);
  const QString Suffix = QFileInfo(OutFile).suffix().toLower();
  if (Suffix == "vrt" || Suffix == "map") {
    const TCalibrationExport E = Suffix == "vrt"
                                     ? WriteCalibrationVrt(M.Calibration(), Image, OutFile.toStdString())
                                     : WriteOziMap(M.Calibration(), Image, OutFile.toStdString());
    return QObject::tr("Wrote %1 points; GDAL's polynomial deviates up to %2 pixels.")
        .arg(E.Points)
        .arg(E.MaxDeviationPixels, 0, 'f', 3);
  }
  const TWorldFileFit Fit = WorldFileOf(M.Calibration(), M.MapImgWidth(), M.MapImgHeight());
  WriteWorldFile(OutFile.toStdString(), Fit.File);
  return QObject::tr("Wrote the world file; affine fit within %1 pixels.")
      .arg(Fit.RmsPixels, 0, 'f', 3);
}

void AddGdalActions(ViewerWindow& W, QMenu* File) {
  File->addAction(QObject::tr("Open &georeferenced raster…"), &W, [&W] {
    const QString F = QFileDialog::getOpenFileName(
        &W, QObject::tr("Open georeferenced raster"), QString(),
        QObject::tr("Georeferenced rasters (*.tif *.tiff *.map *.kap *.vrt *.jpg *.png);;All files (*)"));
    if (!F.isEmpty()) Report(W, [&] { return OpenGeoreferenced(W, F); });
  });
  File->addAction(QObject::tr("Import &data…"), &W, [&W] {
    const QString F = QFileDialog::getOpenFileName(
        &W, QObject::tr("Import data"), QString(),
        QObject::tr("Vector data (*.shp *.gpkg *.geojson *.json *.gpx *.kml *.osm);;All files (*)"));
    if (F.isEmpty()) return;
    const QString Db = QFileDialog::getSaveFileName(
        &W, QObject::tr("Into database"), QString(), QObject::tr("Database (*.vekgdd)"),
        nullptr, QFileDialog::DontConfirmOverwrite);
    if (!Db.isEmpty()) Report(W, [&] { return ImportData(F, Db); });
  });
  File->addAction(QObject::tr("E&xport calibration…"), &W, [&W] {
    const QString F = QFileDialog::getSaveFileName(
        &W, QObject::tr("Export calibration"), QString(),
        QObject::tr("GDAL VRT (*.vrt);;OziExplorer map (*.map);;World file (*.jgw *.pgw *.tfw *.wld)"));
    if (!F.isEmpty()) Report(W, [&] { return ExportCalibration(W, F); });
  });
}

}  // namespace vek::viewer
