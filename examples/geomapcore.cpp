// Calibration files without widgets: what a command-line tool or a server links
// (VekGeo::geomapcore needs QtCore only).
#include <vekgeo/Vek_geomapcore.h>

#include <cmath>
#include <cstdio>
#include <filesystem>

int main() {
  using namespace vek;
  // A plate carree map of 200 x 200 pixels, 100 pixels per degree.
  TMapCalibration cal;
  cal.SetModel(cmEquiRect);
  cal.AddCalibPoint(50.0, 10.0, 0, 0);
  cal.AddCalibPoint(50.0, 12.0, 200, 0);
  cal.AddCalibPoint(48.0, 10.0, 0, 200);
  cal.Data().MapFName = "bavaria.jpg";

  // Written as a calibration file, read back as a map would read it.
  const std::string file = (std::filesystem::temp_directory_path() / "bavaria.xml").string();
  TextFile out;
  AssignFile(out, file);
  Rewrite(out);
  WriteRawCalDataToOpenXMLFile(out, true, "bavaria", cal.Data(), cal.Model());
  CloseFile(out);

  TMapCalibration back;
  TextFile in;
  AssignFile(in, file);
  Reset(in);
  bool gratOK = false;
  std::string mapName;
  const bool found = ReadCalibBlock(&in, nullptr, "bavaria", back, gratOK, mapName);
  CloseFile(in);
  back.FitModel();

  // The same calibration as a world file for GIS tools.
  const TWorldFileFit wf = WorldFileOf(back, 200, 200);
  bool valid = false;
  const double lat = back.CalcLatitude(100, 100, valid);
  std::printf("block found: %d, map %s, pixel (100, 100) is %.3f N; world file A = %.4f E = %.4f\n",
              found, mapName.c_str(), lat, wf.File.A, wf.File.E);
  std::filesystem::remove(file);
  return found && valid && std::fabs(lat - 49.0) < 1e-9 && wf.Exact ? 0 : 1;
}
