// vekgeo render writes the picture the map control shows: the same calibration, database,
// landmarks, decluttering and graticule drawn by the tool and by a control.
#include <gtest/gtest.h>

#ifdef VEKGEO_EXE

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <memory>

#include "GeoDBLayer.h"
#include "TGeoDB.h"
#include "test_geomap_helpers.h"

namespace vek {
namespace {

using testing::MapHost;

int Render(const QStringList& args, QString* err = nullptr) {
  QProcess p;
  p.start(VEKGEO_EXE, QStringList{"render"} + args);
  p.waitForFinished(60000);
  if (err) *err = QString::fromLocal8Bit(p.readAllStandardError());
  return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

TEST(RenderCommand, WritesThePictureTheControlShows) {
  QTemporaryDir dir;
  const QDir d(dir.path());
  const std::string img = testing::WriteImage(dir, "map.bmp", testing::Quadrants(320, 240), "BMP");
  const std::string calib = d.filePath("map.xml").toStdString();
  const std::string lms = d.filePath("places.xml").toStdString();
  const std::string dbName = d.filePath("world").toStdString();
  {
    MapHost h;
    TGeoMap& m = *h.map;
    m.SetMapImgName(img);
    m.SetCalibModel(cmEquiRect);
    m.AddCalibPoint(48, 13, 0, 0);
    m.AddCalibPoint(48, 17, 320, 0);
    m.AddCalibPoint(46, 13, 0, 240);
    m.SaveCalDataAsXML(calib, "map");
    for (int i = 0; i < 40; ++i)
      m.AddLandMark(46.2 + 0.04 * i, 13.3 + 0.09 * i, 0, "Place " + std::to_string(i), 9, 0x000080);
    m.SaveLandMarks(lms, "places");
    TGeoDB db;
    db.SetDBName(dbName);
    db.AddBorder("border", TgdbPolygon{{46.5, 13.5}, {47.5, 14}, {47.2, 16.5}}, true, 0, 0, 46.5,
                 47.5, 13.5, 16.5, 0, 0, 0);
    db.AddTown("Graz", 0, 0, TSCoords{47.07f, 15.44f}, 0, 0, 0);
  }
  const QString out = d.filePath("out.png");
  QString err;
  ASSERT_EQ(Render({QString::fromStdString(calib), out, "--db", QString::fromStdString(dbName),
                 "--landmarks", QString::fromStdString(lms), "--declutter", "--graticule"},
                &err),
            0)
      << err.toStdString();

  // The control, set up as a program would.
  TGeoDB db;
  db.SetDBName(dbName);
  MapHost h;
  TGeoMap& m = *h.map;
  m.SetSuppressPaint(true);
  m.SetFrameStyle(fsNone);
  m.resize(320, 240);
  m.LoadCalDataFromXML(calib, "");
  m.AddLayer(std::make_shared<TGeoDBLayer>(&db));
  m.ImportLandMarks(lms);
  m.SetLMCaptionDeclutter(true);
  m.SetShowGraticule(sgLines);
  m.SetSuppressPaint(false);
  const QImage shown = m.CompositionBitmap()->Image().copy(0, 0, 320, 240).convertToFormat(QImage::Format_RGB32);
  const QImage written = QImage(out).convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(written, shown);
  written.save("render_cli.png");
  m.SetLayers({});

  // Another size fits the whole map; bad input is refused with a message.
  ASSERT_EQ(Render({QString::fromStdString(calib), out, "--size", "160x100"}), 0);
  EXPECT_EQ(QImage(out).size(), QSize(160, 100));
  EXPECT_EQ(Render({QString::fromStdString(calib), out, "--size", "0x100"}), 2);
  EXPECT_EQ(Render({QString::fromStdString(calib), out, "--db", d.filePath("none")}, &err), 1);
  EXPECT_NE(err.indexOf("no database"), -1);
  EXPECT_EQ(Render({d.filePath("missing.xml"), out}, &err), 1);
  EXPECT_EQ(Render({QString::fromStdString(calib)}), 2);
}

}  // namespace
}  // namespace vek

#endif
