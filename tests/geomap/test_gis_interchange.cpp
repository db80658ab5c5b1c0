// World files and georeferencer control points against GDAL's own tools: what we write,
// gdalinfo reads with the same corners; what we import, gdaltransform converts the same way.
#include <gtest/gtest.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <fstream>

#include "CalibTestSupport.h"
#include "ControlPointFile.h"
#include "WorldFile.h"
#include "test_geomap_helpers.h"

namespace vek {
namespace {

using testing::BitmapOf;
using testing::MapHost;

// Standard output of a GDAL tool, or nothing when the tool is not installed.
QByteArray RunTool(const QString& tool, const QStringList& args, const QByteArray& input = {}) {
  if (QStandardPaths::findExecutable(tool).isEmpty()) return {};
  QProcess p;
  p.start(tool, args);
  p.write(input);
  p.closeWriteChannel();
  p.waitForFinished(60000);
  return p.readAllStandardOutput();
}

class GisInterchange : public ::testing::Test {
 protected:
  QTemporaryDir dir;
  MapHost h;
  TGeoMap& m = *h.map;
  std::string Path(const char* name) { return QDir(dir.path()).filePath(name).toStdString(); }
  // A 300 x 200 JPEG shown by the map.
  std::string LoadImage() {
    const std::string image =
        testing::WriteImage(dir, "sheet.jpg", testing::Solid(300, 200, 0x808080), "JPEG");
    m.SetMapImgName(image);
    return image;
  }
};

TEST_F(GisInterchange, WorldFileCornersAgreeWithGdal) {
  const std::string image = LoadImage();
  m.SetCalibModel(cmEquiRect);
  m.AddCalibPoint(48.0, 10.0, 0, 0);
  m.AddCalibPoint(48.0, 13.0, 300, 0);
  m.AddCalibPoint(46.0, 10.0, 0, 200);
  EXPECT_EQ(m.SaveWorldFile(), "");  // exact
  EXPECT_TRUE(std::ifstream(Path("sheet.jgw")).good());

  const QByteArray out = RunTool("gdalinfo", {"-json", QString::fromStdString(image)});
  if (out.isEmpty()) GTEST_SKIP() << "gdalinfo not installed";
  const QJsonObject corners = QJsonDocument::fromJson(out).object()["cornerCoordinates"].toObject();
  const TCornerArray& k = m.CalibData().Corners;
  auto expectCorner = [&](const char* name, TCorners c) {
    const QJsonArray xy = corners[name].toArray();
    EXPECT_NEAR(xy[0].toDouble(), k[c].Longit, 1e-7) << name;
    EXPECT_NEAR(xy[1].toDouble(), k[c].Latit, 1e-7) << name;
  };
  expectCorner("upperLeft", gcoTopLeft);
  expectCorner("lowerLeft", gcoBottomLeft);
  expectCorner("lowerRight", gcoBottomRight);
  expectCorner("upperRight", gcoTopRight);

  // Read back by a second map: the same calibration.
  MapHost h2;
  h2.map->SetMapImgName(image);
  ASSERT_TRUE(h2.map->LoadWorldFile());
  EXPECT_EQ(h2.map->CalibModel(), cmEquiRect);
  for (int c = 0; c < 4; ++c) {
    EXPECT_NEAR(h2.map->CalibData().Corners.Items[c].Latit, k.Items[c].Latit, 1e-9);
    EXPECT_NEAR(h2.map->CalibData().Corners.Items[c].Longit, k.Items[c].Longit, 1e-9);
  }
}

TEST_F(GisInterchange, WorldFileRefusalsAndApproximations) {
  LoadImage();
  EXPECT_FALSE(m.LoadWorldFile());  // none beside the image
  {
    std::ofstream(Path("sheet.wld")) << "0.01\n0.002\n0\n-0.01\n10\n48\n";
  }
  EXPECT_NE(testing::MessageOf([&] { m.LoadWorldFile(); }).find("rotated world file"),
            std::string::npos);
  {
    std::ofstream(Path("sheet.wld")) << "0.01\n0\nzero\n-0.01\n10\n48\n";
  }
  EXPECT_NE(testing::MessageOf([&] { m.LoadWorldFile(); }).find("not a number"), std::string::npos);
  {
    std::ofstream(Path("sheet.wld")) << "0.01\n0\n";
  }
  EXPECT_NE(testing::MessageOf([&] { m.LoadWorldFile(); }).find("fewer than six"),
            std::string::npos);

  // A curved model is written as its best affine fit, and says so.
  m.SetCalibModel(cmBiquadraticPn);
  const double pts[][4] = {{48, 10, 0, 0},   {48, 13, 300, 10}, {46, 10, 5, 200},
                           {46, 13, 290, 190}, {47, 11.5, 150, 95}, {47.5, 12, 200, 40}};
  for (const auto& p : pts) m.AddCalibPoint(p[0], p[1], int(p[2]), int(p[3]));
  const std::string note = m.SaveWorldFile(Path("fit.wld"));
  EXPECT_NE(note.find("best affine fit"), std::string::npos) << note;
}

// Control points written by hand in the georeferencer's format, imported under the
// equirectangular (first-order) and biquadratic (second-order) models, convert pixels as
// gdaltransform does with the same points and polynomial order.
TEST_F(GisInterchange, ControlPointsMatchGdalTransform) {
  LoadImage();
  const std::string points = Path("sheet.points");
  {
    std::ofstream f(points);
    f << "#CRS: GEOGCRS[\"WGS 84\"]\n"
         "mapX,mapY,sourceX,sourceY,enable,dX,dY,residual\n"
         "10.0,48.0,0,0,1,0,0,0\n"
         "13.05,48.1,300,-12,1,0,0,0\n"
         "10.1,46.0,4,-200,1,0,0,0\n"
         "13.0,45.9,296,-195,1,0,0,0\n"
         "11.6,47.02,150,-101,1,0,0,0\n"
         "12.3,47.61,211,-45,1,0,0,0\n"
         "11.0,46.5,80,-160,1,0,0,0\n"
         "99,99,10,-10,0,0,0,0\n";  // disabled
  }
  const std::vector<TControlPoint> gcps = ReadControlPointFile(points);
  ASSERT_EQ(gcps.size(), 8u);
  QStringList gcpArgs;
  for (const TControlPoint& g : gcps)
    if (g.Enabled)
      gcpArgs << "-gcp" << QString::number(g.SourceX) << QString::number(-g.SourceY)
              << QString::number(g.MapX, 'g', 17) << QString::number(g.MapY, 'g', 17);

  const int probes[][2] = {{0, 0}, {300, 200}, {123, 77}, {250, 20}};
  QByteArray input;
  for (const auto& p : probes) input += QByteArray::number(p[0]) + " " + QByteArray::number(p[1]) + "\n";

  for (auto [model, order] : {std::pair{cmEquiRect, 1}, std::pair{cmBiquadraticPn, 2}}) {
    SCOPED_TRACE(order);
    m.ClearCalibData();
    m.SetCalibModel(model);
    EXPECT_EQ(m.ImportControlPoints(points), 7);
    const QByteArray out =
        RunTool("gdaltransform", QStringList{"-order", QString::number(order)} + gcpArgs, input);
    if (out.isEmpty()) GTEST_SKIP() << "gdaltransform not installed";
    const QList<QByteArray> lines = out.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 4);
    for (int i = 0; i < 4; ++i) {
      const QList<QByteArray> v = lines[i].simplified().split(' ');
      bool ok1, ok2;
      EXPECT_NEAR(m.CalcLongitude(probes[i][0], probes[i][1], ok1), v[0].toDouble(), 1e-7);
      EXPECT_NEAR(m.CalcLatitude(probes[i][0], probes[i][1], ok2), v[1].toDouble(), 1e-7);
    }
  }

  // Ours written back: the same enabled points.
  m.ExportControlPoints(Path("out.points"));
  const std::vector<TControlPoint> back = ReadControlPointFile(Path("out.points"));
  ASSERT_EQ(back.size(), 7u);
  EXPECT_EQ(back[1].MapX, 13.05);
  EXPECT_EQ(back[1].SourceY, -12);
  EXPECT_NE(testing::MessageOf([&] {
              std::ofstream(Path("bad.points")) << "mapX,mapY,sourceX,sourceY\n1,2,x,4\n";
              m.ImportControlPoints(Path("bad.points"));
            }).find("line 2"),
            std::string::npos);
}

}  // namespace
}  // namespace vek
