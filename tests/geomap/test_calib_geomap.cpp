// The map control's calibration methods: messages with the component's name, repaints, and
// the calibration file read and written through the control.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "CalibTestSupport.h"
#include "Streams.h"
#include "TagReader.h"
#include "test_geomap_helpers.h"

using namespace vek;
using namespace vek::testing;

namespace {

// A 400 x 300 map of the Alps in plate carree, 100 pixels per degree.
void CalibrateAlps(TGeoMap& M) {
  M.SetCalibModel(cmEquiRect);
  M.AddCalibPoint(48.0, 6.0, 0, 0);
  M.AddCalibPoint(48.0, 10.0, 400, 0);
  M.AddCalibPoint(45.0, 6.0, 0, 300);
}

}  // namespace

TEST(CalibGeoMap, MessagesCarryTheComponentName) {
  MapHost H;
  TGeoMap& M = *H.map;
  M.SetCalibModel(cmEquiRect);
  EXPECT_EQ(MessageOf([&] { M.AddCalibPoint(gtlParallel, 50.0, 1, 1); }),
            "Component \"Map1\": current calibration model does not support this version of AddCalibPoint");
  EXPECT_EQ(MessageOf([&] { M.RemoveCalibPoint(gtlParallel, 50.0, 1, 1); }),
            "Component \"Map1\": current calibration model does not support this version of RemoveCalibPoint");
  M.SetCalibModel(cmUTM);
  M.ClearCalibData();
  EXPECT_EQ(MessageOf([&] { M.AddCalibPoint(5300000.0, 400000.0, 33, hemiNorth, 1, 1); }),
            "Component \"Map1\": UTM zone parameter changed");
  M.SetUTMZone(33);
  M.SetUTMHemisphere(hemiNorth);
  EXPECT_TRUE(M.AddCalibPoint(5300000.0, 400000.0, 33, hemiNorth, 1, 1));
  EXPECT_EQ(M.CalibData().NumCalQuads, 1);

  TMemoryStream S;
  WriteLnStream(S, "<geomap sig=\"Quillwort\" id=\"x\" model=\"parabolicip\">");
  WriteLnStream(S, "<calline type=\"diagonal\" value=\"1\" npoints=\"0\"></calline>");
  WriteLnStream(S, "</geomap>");
  S.SetPosition(0);
  EXPECT_EQ(MessageOf([&] { M.LoadCalDataFromXML(S, ""); }),
            "Component \"Map1\": invalid type of graticule line: type=\"diagonal\"");
}

TEST(CalibGeoMap, EditingRefitsAndRepaints) {
  MapHost H;
  TGeoMap& M = *H.map;
  CalibrateAlps(M);
  bool V;
  EXPECT_NEAR(M.CalcLatitude(TPoint{200, 150}, V), 46.5, 1e-9);
  EXPECT_TRUE(V);
  EXPECT_NEAR(M.CalcLongitude(200, 150, V), 8.0, 1e-9);
  int X, Y;
  EXPECT_TRUE(M.CalcPixelCoords(46.0, 9.0, X, Y));
  EXPECT_EQ(X, 300);
  EXPECT_EQ(Y, 200);
  EXPECT_NEAR(M.CalibResidualRMS(), 0.0, 1e-9);
  EXPECT_EQ(M.CalibResiduals().size(), 3u);

  M.SetCalibModel(cmUndefined);
  int Before = M.CompositionCount();
  EXPECT_FALSE(M.RemoveCalibPoint(0, 0));
  EXPECT_EQ(M.CompositionCount(), Before + 1);
  EXPECT_EQ(M.CalibData().NumCalQuads, 3);

  M.SetCalibModel(cmEquiRect);
  Before = M.CompositionCount();
  EXPECT_TRUE(M.RemoveCalibPoint(401, 2));
  M.RestoreLastDeletedCalPoint();
  M.ClearCalibData();
  EXPECT_EQ(M.CompositionCount(), Before + 3);
  EXPECT_EQ(M.CalibData().NumCalQuads, 0);
  EXPECT_EQ(M.CalibModel(), cmEquiRect);
}

TEST(CalibGeoMap, FileRoundTripLoadsTheMapImage) {
  QTemporaryDir Dir;
  ASSERT_TRUE(Dir.isValid());
  // Mixed case on purpose: the block keeps names in lower case.
  const std::string Img = WriteImage(Dir, "Alps_Map.bmp", Quadrants(400, 300), "BMP");
  ASSERT_FALSE(Img.empty());
  const std::string Cal = QDir(Dir.path()).filePath("alps.xml").toStdString();

  MapHost A;
  A.map->SetMapImgName(Img);
  CalibrateAlps(*A.map);
  A.map->SetMapCaption("The Alps");
  A.map->SaveCalDataAsXML(Cal, "Alps");
  // The corners come from the image size.
  EXPECT_NEAR(A.map->CalibData().Corners[gcoBottomRight].Latit, 45.0, 1e-9);
  EXPECT_NEAR(A.map->CalibData().Corners[gcoBottomRight].Longit, 10.0, 1e-9);
  EXPECT_NEAR(A.map->CalibData().Resolution, 766, 3);  // 4 degrees at 46.5 N over 400 pixels

  MapHost B;
  EXPECT_FALSE(B.map->LoadCalDataFromXML(Cal, "ALPS"));  // no graticule lines: false
  EXPECT_EQ(B.map->CalibModel(), cmEquiRect);
  EXPECT_EQ(B.map->Caption(), "The Alps");
  EXPECT_EQ(B.map->CalibData().NumCalQuads, 3);
  EXPECT_EQ(B.map->MapImgWidth(), 400);
  EXPECT_EQ(B.map->MapImgHeight(), 300);
  int X, Y;
  EXPECT_TRUE(B.map->CalcPixelCoords(46.0, 9.0, X, Y));  // the model was fitted
  EXPECT_EQ(X, 300);
  EXPECT_EQ(Y, 200);

  EXPECT_FALSE(B.map->LoadCalDataFromXML(QDir(Dir.path()).filePath("none.xml").toStdString(), ""));

  // A NUL inside the map name ends it for every check: the name that exists is the one loaded.
  {
    QFile F(QString::fromStdString(Cal));
    ASSERT_TRUE(F.open(QIODevice::ReadOnly));
    QByteArray Bytes = F.readAll();
    F.close();
    const qsizetype At = Bytes.toLower().indexOf(".bmp\"");
    ASSERT_GE(At, 0);
    Bytes.insert(At + 4, QByteArray("\0.jpg", 5));  // "...bmp\0.jpg"
    ASSERT_TRUE(F.open(QIODevice::WriteOnly | QIODevice::Truncate));
    F.write(Bytes);
  }
  MapHost N;
  N.map->LoadCalDataFromXML(Cal, "ALPS");
  EXPECT_EQ(N.map->MapImgWidth(), 400);
  EXPECT_EQ(N.map->MapImgFile().find('\0'), std::string::npos);

  // CalibDataFile: a missing file empties the map, an existing one loads it.
  MapHost C;
  C.map->SetCalDatName(QDir(Dir.path()).filePath("none.xml").toStdString());
  EXPECT_EQ(C.map->CalibDataFile(), "");
  EXPECT_EQ(C.map->MapImgFile(), "");
  C.map->SetCalibDataFile(Cal);
  EXPECT_EQ(C.map->CalibDataFile(), Cal);
  EXPECT_EQ(C.map->CalibData().NumCalQuads, 3);
  EXPECT_EQ(C.map->MapImgWidth(), 400);
}

TEST(CalibGeoMap, StreamRoundTrip) {
  MapHost A;
  A.map->SetCalibModel(cmParabolicIp);
  for (double Lat : {46.0, 47.0})
    for (int x = 0; x <= 300; x += 100) A.map->AddCalibPoint(gtlParallel, Lat, x, int((48 - Lat) * 100));
  for (double Lon : {7.0, 8.0})
    for (int y = 0; y <= 300; y += 100) A.map->AddCalibPoint(gtlMeridian, Lon, int((Lon - 6) * 100), y);
  TMemoryStream S;
  A.map->SaveCalDataAsXML(S, "p");
  S.SetPosition(0);
  MapHost B;
  EXPECT_TRUE(B.map->LoadCalDataFromXML(S, "p"));
  EXPECT_EQ(B.map->CalibModel(), cmParabolicIp);
  EXPECT_EQ(B.map->CalibData().NumCalLines, 4);
  bool V;
  EXPECT_NEAR(B.map->CalcLatitude(150, 150, V), 46.5, 1e-6);
  EXPECT_TRUE(V);
  EXPECT_NEAR(B.map->CalcLongitude(150, 150, V), 7.5, 1e-6);
}
