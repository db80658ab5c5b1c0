// Adding, removing and restoring calibration points, and clearing a calibration.
#include <gtest/gtest.h>

#include <string>

#include "CalibTestSupport.h"
#include "MapCalibration.h"

using namespace vek;
using vek::testing::MessageOf;

namespace {

TMapCalibration InModel(TCalibModel M) {
  TMapCalibration C;
  C.SetImageSize(1000, 1000);
  C.SetModel(M);
  return C;
}

}  // namespace

TEST(CalibEditing, LinePointsGoToTheirLine) {
  TMapCalibration C = InModel(cmParabolicIp);
  EXPECT_TRUE(C.AddCalibPoint(gtlParallel, 50.0, 10, 100));
  EXPECT_TRUE(C.AddCalibPoint(gtlParallel, 50.0, 20, 101));
  EXPECT_TRUE(C.AddCalibPoint(gtlMeridian, 10.0, 30, 5));
  const TCalibData& D = C.Data();
  ASSERT_EQ(D.NumCalLines, 2);
  EXPECT_EQ(D.CalLines[1].NumPoints, 2);
  EXPECT_EQ(D.CalLines[2].LineType, gtlMeridian);
  EXPECT_TRUE(C.AddCalibPoint(gtlParallel, 50.0, 30, 102));
  EXPECT_EQ(D.NumCalLines, 2);
  EXPECT_EQ(D.CalLines[1].NumPoints, 3);
  EXPECT_EQ(D.CalLines[1].CalPoints[3], (TPoint{30, 102}));
  // A meridian and a parallel of the same value are different lines.
  EXPECT_TRUE(C.AddCalibPoint(gtlMeridian, 50.0, 1, 1));
  EXPECT_EQ(D.NumCalLines, 3);
}

TEST(CalibEditing, LineTablesAreBounded) {
  TMapCalibration C = InModel(cmParabolicIp);
  for (int k = 1; k <= 10; ++k) EXPECT_TRUE(C.AddCalibPoint(gtlParallel, 45.0, k * 10, 50));
  EXPECT_FALSE(C.AddCalibPoint(gtlParallel, 45.0, 999, 50));
  EXPECT_EQ(C.Data().CalLines[1].NumPoints, 10);
  for (int i = 2; i <= 25; ++i) EXPECT_TRUE(C.AddCalibPoint(gtlMeridian, double(i), i, 0));
  EXPECT_EQ(C.Data().NumCalLines, 25);
  EXPECT_FALSE(C.AddCalibPoint(gtlMeridian, 99.0, 0, 0));
  EXPECT_EQ(C.Data().NumCalLines, 25);
  EXPECT_TRUE(C.AddCalibPoint(gtlMeridian, 2.0, 7, 7));  // existing lines still take points
}

TEST(CalibEditing, RemoveLinePoint) {
  TMapCalibration C = InModel(cmParabolicIp);
  C.AddCalibPoint(gtlParallel, 50.0, 10, 100);
  C.AddCalibPoint(gtlParallel, 50.0, 20, 100);
  C.AddCalibPoint(gtlParallel, 50.0, 30, 100);
  C.AddCalibPoint(gtlMeridian, 10.0, 5, 5);
  C.AddCalibPoint(gtlMeridian, 11.0, 6, 6);
  EXPECT_FALSE(C.RemoveCalibPoint(gtlParallel, 50.0, 10, 101));  // not on the line
  EXPECT_FALSE(C.RemoveCalibPoint(gtlParallel, 51.0, 10, 100));  // no such line
  EXPECT_FALSE(C.RemoveCalibPoint(gtlMeridian, 50.0, 10, 100));
  EXPECT_TRUE(C.RemoveCalibPoint(gtlParallel, 50.0, 10, 100));
  const TCalibData& D = C.Data();
  EXPECT_EQ(D.CalLines[1].NumPoints, 2);
  EXPECT_EQ(D.CalLines[1].CalPoints[1], (TPoint{30, 100}));  // the last point took its place
  // The only point of a line: the line goes and the last line takes its place.
  EXPECT_TRUE(C.RemoveCalibPoint(gtlMeridian, 10.0, 5, 5));
  ASSERT_EQ(D.NumCalLines, 2);
  EXPECT_EQ(D.CalLines[2].LineValue, 11.0);
  EXPECT_FALSE(C.CanRestoreLinePoint());  // this form keeps no undo copy
}

TEST(CalibEditing, WrongModelMessages) {
  TMapCalibration P = InModel(cmParabolicIp);
  EXPECT_EQ(MessageOf([&] { P.AddCalibPoint(47.0, 8.0, 1, 1); }),
            "current calibration model does not support this version of AddCalibPoint");
  EXPECT_EQ(MessageOf([&] { P.AddCalibPoint(5300000.0, 400000.0, 33, hemiNorth, 1, 1); }),
            "current calibration model does not support this version of AddCalibPoint");
  for (TCalibModel M : {cmBiquadraticPn, cmConicConformal, cmMillerCylindrical, cmEquiRect, cmUTM, cmUndefined}) {
    TMapCalibration C = InModel(M);
    EXPECT_EQ(MessageOf([&] { C.AddCalibPoint(gtlParallel, 50.0, 1, 1); }),
              "current calibration model does not support this version of AddCalibPoint");
    EXPECT_EQ(MessageOf([&] { C.RemoveCalibPoint(gtlParallel, 50.0, 1, 1); }),
              "current calibration model does not support this version of RemoveCalibPoint");
    EXPECT_EQ(C.Data().NumCalLines, 0);
  }
  for (TCalibModel M : {cmUTM, cmUndefined}) {
    TMapCalibration C = InModel(M);
    EXPECT_EQ(MessageOf([&] { C.AddCalibPoint(47.0, 8.0, 1, 1); }),
              "current calibration model does not support this version of AddCalibPoint");
    EXPECT_EQ(C.Data().NumCalQuads, 0);
  }
  TMapCalibration E = InModel(cmEquiRect);
  E.Data().UTMZone = 33;
  EXPECT_EQ(MessageOf([&] { E.AddCalibPoint(5300000.0, 400000.0, 33, hemiNorth, 1, 1); }),
            "current calibration model does not support this version of AddCalibPoint");
}

TEST(CalibEditing, QuadTableOfTwoHundredAndUndo) {
  TMapCalibration C = InModel(cmEquiRect);
  for (int k = 1; k <= 200; ++k) ASSERT_TRUE(C.AddCalibPoint(40 + k * 0.01, 5 + (k % 7) * 0.1, k * 3, (k % 7) * 50));
  EXPECT_FALSE(C.AddCalibPoint(60, 60, 1, 1));
  EXPECT_EQ(C.Data().NumCalQuads, 200);
  // Nearest to (31, 149): quad 10 at (30, 150).
  const TCalQuad Q10 = C.Data().CalQuads[10];
  const TCalQuad Last = C.Data().CalQuads[200];
  EXPECT_TRUE(C.RemoveCalibPoint(31, 149));
  EXPECT_EQ(C.Data().NumCalQuads, 199);
  EXPECT_EQ(C.Data().CalQuads[10], Last);
  EXPECT_TRUE(C.CanRestoreQuad());
  EXPECT_EQ(C.LastDeletedQuad(), Q10);
  C.RestoreLastDeletedCalPoint();
  EXPECT_EQ(C.Data().NumCalQuads, 200);
  EXPECT_EQ(C.Data().CalQuads[200], Q10);
  EXPECT_FALSE(C.CanRestoreQuad());
  C.RestoreLastDeletedCalPoint();  // only once
  EXPECT_EQ(C.Data().NumCalQuads, 200);
}

TEST(CalibEditing, RestoreIntoAFullTableKeepsTheStore) {
  TMapCalibration C = InModel(cmBiquadraticPn);
  for (int k = 1; k <= 200; ++k) C.AddCalibPoint(40 + k * 0.01, 5.0, k, k);
  C.RemoveCalibPoint(1, 1);
  C.AddCalibPoint(45, 6, 500, 500);  // the freed place is taken again
  C.RestoreLastDeletedCalPoint();
  EXPECT_EQ(C.Data().NumCalQuads, 200);
  EXPECT_TRUE(C.CanRestoreQuad());
  C.RemoveCalibPoint(500, 500);  // a second removal overwrites the store
  EXPECT_EQ(C.LastDeletedQuad().MapX, 500);
  C.RestoreLastDeletedCalPoint();
  EXPECT_EQ(C.Data().CalQuads[200].MapX, 500);
}

TEST(CalibEditing, RemoveNearestFirstOfEqualDistances) {
  TMapCalibration C = InModel(cmEquiRect);
  C.AddCalibPoint(1, 1, 10, 0);
  C.AddCalibPoint(2, 2, 0, 10);
  C.AddCalibPoint(3, 3, 100, 100);
  EXPECT_TRUE(C.RemoveCalibPoint(0, 0));
  EXPECT_EQ(C.LastDeletedQuad().Latitude, 1.0);
  EXPECT_EQ(C.Data().CalQuads[1].Latitude, 3.0);
}

TEST(CalibEditing, LinePointUndo) {
  TMapCalibration C = InModel(cmParabolicIp);
  C.AddCalibPoint(gtlParallel, 50.0, 10, 100);
  C.AddCalibPoint(gtlMeridian, 10.0, 400, 400);
  C.AddCalibPoint(gtlMeridian, 10.0, 420, 300);
  EXPECT_TRUE(C.RemoveCalibPoint(12, 98));
  EXPECT_EQ(C.Data().NumCalLines, 1);  // the parallel lost its only point
  EXPECT_TRUE(C.CanRestoreLinePoint());
  C.RestoreLastDeletedCalPoint();
  ASSERT_EQ(C.Data().NumCalLines, 2);
  EXPECT_EQ(C.Data().CalLines[2].LineType, gtlParallel);
  EXPECT_EQ(C.Data().CalLines[2].LineValue, 50.0);
  EXPECT_EQ(C.Data().CalLines[2].CalPoints[1], (TPoint{10, 100}));
  EXPECT_FALSE(C.CanRestoreLinePoint());
}

TEST(CalibEditing, RemoveInUndefinedModel) {
  TMapCalibration C = InModel(cmEquiRect);
  C.AddCalibPoint(1, 1, 10, 0);
  C.SetModel(cmUndefined);
  EXPECT_FALSE(C.RemoveCalibPoint(10, 0));
  EXPECT_EQ(C.Data().NumCalQuads, 1);
  EXPECT_FALSE(C.CanRestoreQuad());
}

TEST(CalibEditing, UTMZoneMustMatch) {
  TMapCalibration C = InModel(cmUTM);
  C.Clear();
  EXPECT_EQ(C.Data().UTMZone, -1);
  EXPECT_EQ(MessageOf([&] { C.AddCalibPoint(5300000.0, 400000.0, 33, hemiNorth, 1, 1); }),
            "UTM zone parameter changed");
  EXPECT_EQ(C.Data().NumCalQuads, 0);
  C.Data().UTMZone = 33;
  EXPECT_EQ(MessageOf([&] { C.AddCalibPoint(5300000.0, 400000.0, 33, hemiSouth, 1, 1); }),
            "UTM zone parameter changed");
  EXPECT_TRUE(C.AddCalibPoint(5300000.0, 400000.0, 33, hemiNorth, 1, 1));
  EXPECT_EQ(C.Data().CalQuads[1], (TCalQuad{5300000.0, 400000.0, 1, 1}));
}

TEST(CalibEditing, UTMRestoreGoesBackIntoItsZoneOnly) {
  TMapCalibration C = InModel(cmUTM);
  C.Data().UTMZone = 33;
  C.AddCalibPoint(5300000.0, 400000.0, 33, hemiNorth, 0, 0);
  C.AddCalibPoint(5290000.0, 410000.0, 33, hemiNorth, 1000, 1000);
  ASSERT_TRUE(C.RemoveCalibPoint(990, 990));
  C.Data().UTMZone = 34;  // the map moved to another zone meanwhile
  EXPECT_EQ(MessageOf([&] { C.RestoreLastDeletedCalPoint(); }), "UTM zone parameter changed");
  EXPECT_EQ(C.Data().NumCalQuads, 1);
  EXPECT_TRUE(C.CanRestoreQuad());
  C.Data().UTMZone = 33;
  C.RestoreLastDeletedCalPoint();
  EXPECT_EQ(C.Data().NumCalQuads, 2);
  EXPECT_EQ(C.Data().CalQuads[2], (TCalQuad{5290000.0, 410000.0, 1000, 1000}));
  EXPECT_FALSE(C.CanRestoreQuad());
}

TEST(CalibEditing, ClearResetsCalibrationButKeepsModelAndUndo) {
  TMapCalibration C = InModel(cmEquiRect);
  C.Data().MapFName = "alps.jpg";
  C.Data().Caption = "Alps";
  C.Data().UTMZone = 32;
  C.Data().UTMSouth = true;
  C.Data().Ellipsoid = static_cast<TGeoEllipsoid>(3);
  C.AddCalibPoint(50, 10, 0, 0);
  C.AddCalibPoint(50, 11, 100, 0);
  C.AddCalibPoint(49, 10, 0, 100);
  C.RemoveCalibPoint(0, 0);
  C.Clear();
  const TCalibData& D = C.Data();
  EXPECT_EQ(D.NumCalQuads, 0);
  EXPECT_EQ(D.CalQuads[2], TCalQuad{});
  EXPECT_EQ(D.NumCalLines, 0);
  EXPECT_EQ(D.Corners[gcoBottomRight], (TCoords{0, 0}));
  EXPECT_EQ(D.Resolution, 0.0);
  EXPECT_EQ(D.UTMZone, -1);
  EXPECT_FALSE(D.UTMSouth);
  EXPECT_EQ(D.Ellipsoid, gelWGS84);
  EXPECT_EQ(C.Params().EquRectPLSP, (TCalibParams{}.EquRectPLSP));
  EXPECT_EQ(C.GratMat().NrOfRows(), 1);
  EXPECT_EQ(C.Model(), cmEquiRect);
  EXPECT_EQ(D.MapFName, "alps.jpg");
  EXPECT_EQ(D.Caption, "Alps");
  EXPECT_TRUE(C.CanRestoreQuad());
}

TEST(CalibEditing, ScalePointsAndCopies) {
  TMapCalibration C = InModel(cmParabolicIp);
  C.AddCalibPoint(gtlParallel, 50.0, 3, 5);
  C.Data().NumCalQuads = 1;
  C.Data().CalQuads[1] = TCalQuad{1, 2, 7, 9};
  TMapCalibration Copy = C;  // copies are independent
  C.ScalePoints(2.5);
  EXPECT_EQ(C.Data().CalLines[1].CalPoints[1], (TPoint{8, 12}));  // 7.5 -> 8, 12.5 -> 12
  EXPECT_EQ(C.Data().CalQuads[1].MapX, 18);                        // 17.5 -> 18
  EXPECT_EQ(C.Data().CalQuads[1].MapY, 22);                        // 22.5 -> 22
  EXPECT_EQ(Copy.Data().CalQuads[1].MapX, 7);
}

TEST(CalibEditing, CountsBeyondCapacityAreNeverFollowed) {
  // The record is writable directly; damaged counts must not lead outside the tables.
  TMapCalibration C = InModel(cmEquiRect);
  C.Data().NumCalQuads = 100000;
  C.Data().NumCalLines = -3;
  C.RecalcCalibration();
  EXPECT_FALSE(C.AddCalibPoint(1, 1, 1, 1));
  C.SetModel(cmParabolicIp);
  C.Data().NumCalLines = 500;
  C.Data().CalLines[1].NumPoints = 1000;
  C.RecalcCalibration();
  EXPECT_FALSE(C.AddCalibPoint(gtlParallel, 123.0, 1, 1));
  EXPECT_TRUE(C.RemoveCalibPoint(0, 0));
  EXPECT_EQ(C.Data().CalLines[1].NumPoints, 9);
}
