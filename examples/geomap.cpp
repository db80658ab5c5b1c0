// A calibrated map: fit a calibration without a widget, then show it in a TGeoMap.
#include <vekgeo/Vek_geomap.h>

#include <QApplication>
#include <cstdio>

int main(int argc, char** argv) {
  using namespace vek;
  // Three control points of a plate carree map, 100 pixels per degree.
  TMapCalibration cal;
  cal.SetModel(cmEquiRect);
  cal.AddCalibPoint(50.0, 10.0, 0, 0);
  cal.AddCalibPoint(50.0, 12.0, 200, 0);
  cal.AddCalibPoint(48.0, 10.0, 0, 200);
  bool valid = false;
  const double lat = cal.CalcLatitude(100, 100, valid);
  const double lon = cal.CalcLongitude(100, 100, valid);
  int x = 0, y = 0;
  cal.CalcPixelCoords(49.5, 11.5, x, y);
  std::printf("pixel (100, 100) is %.3f %.3f; 49.5 N 11.5 E is pixel (%d, %d), rms %.3f px\n",
              lat, lon, x, y, cal.ResidualRMS());

  // The widget: an image, the same calibration, a landmark; composed off screen here.
  QApplication app(argc, argv);
  TGeoMap map;
  map.resize(400, 300);
  TBitmap image(200, 200);
  image.Canvas()->FillRect(TRect{0, 0, 200, 200});
  map.SetMapBitMap(image);
  map.SetCalibModel(cmEquiRect);
  map.AddCalibPoint(50.0, 10.0, 0, 0);
  map.AddCalibPoint(50.0, 12.0, 200, 0);
  map.AddCalibPoint(48.0, 10.0, 0, 200);
  map.AddLandMark(49.0, 11.0, 0.0, "Centre", 10, clRed);
  map.Paint();
  std::printf("%d landmark(s), %d compositions\n", map.NumLandMarks(), map.CompositionCount());
  return valid && x == 150 && y == 50 ? 0 : 1;
}
