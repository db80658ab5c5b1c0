// vekgeo calib: a calibration file without a map window: what it holds, how well its model
// fits the control points, and conversions between image pixels and positions.
#include <QImageReader>
#include <QString>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "CalibXml.h"
#include "Command.h"
#include "GdalCommands.h"
#include "MapCalibration.h"
#include "WorldFile.h"
#include "XmlText.h"

namespace {

const std::string kUsage =
    "calib show FILE [ID] | calib pixel FILE LAT LON [ID] | calib position FILE X Y [ID] | "
    "calib from-worldfile IMAGE OUT.xml [ID] | calib to-worldfile FILE [ID] [OUT]" +
    std::string(vekgeo::kCalibGdalUsage);

struct LoadedCalibration {
  vek::TMapCalibration Cal;
  std::string ImagePath;  // empty when the map image was not found
  bool GratMatOK = false;
};

// Reads the block as a map would and fits its model. The image size (needed for the corners
// and the conic fit) is taken from the map image when it can be found, as named or next to
// the calibration file.
LoadedCalibration Load(const std::string& File, const std::string& Id) {
  LoadedCalibration L;
  vek::TextFile F;
  vek::AssignFile(F, File);
  vek::Reset(F);
  std::string AsWritten;
  const bool Found = vek::ReadCalibBlock(&F, nullptr, Id, L.Cal, L.GratMatOK, AsWritten);
  vek::CloseFile(F);
  if (!Found)
    throw std::runtime_error(Id.empty() ? "no calibration block in \"" + File + "\""
                                        : "no calibration block \"" + Id + "\" in \"" + File + "\"");
  const std::filesystem::path Dir = std::filesystem::path(File).parent_path();
  for (const std::string& Name : {AsWritten, L.Cal.Data().MapFName}) {
    if (Name.empty()) continue;
    for (const std::filesystem::path& P : {std::filesystem::path(Name), Dir / Name}) {
      std::error_code Ec;
      if (!std::filesystem::is_regular_file(P, Ec)) continue;
      const QSize Size = QImageReader(QString::fromStdString(P.string())).size();
      if (Size.isValid()) {
        L.ImagePath = P.string();
        L.Cal.SetImageSize(Size.width(), Size.height());
        break;
      }
    }
    if (!L.ImagePath.empty()) break;
  }
  L.Cal.FitModel();
  if (!L.ImagePath.empty()) L.Cal.CalcExtentsAndResolution();
  return L;
}

std::string Fixed(double V, int Decimals) { return vek::FormatNumber(1, Decimals, V); }

std::string ModelName(vek::TCalibModel M) {
  return vek::XmlTags[vek::xtFirstModelName + (M <= vek::cmUndefined ? int(M) : int(vek::cmUndefined))];
}

int Show(const std::string& File, const std::string& Id) {
  const LoadedCalibration L = Load(File, Id);
  const vek::TMapCalibration& C = L.Cal;
  const vek::TCalibData& D = C.Data();
  std::cout << "model:      " << ModelName(C.Model()) << "\n";
  std::cout << "map:        " << (D.MapFName.empty() ? "(none)" : D.MapFName);
  if (!L.ImagePath.empty())
    std::cout << " (" << C.ImageWidth() << " x " << C.ImageHeight() << " pixels)";
  else if (!D.MapFName.empty())
    std::cout << " (image not found; corners and resolution as stored)";
  std::cout << "\n";
  if (!D.Caption.empty()) std::cout << "caption:    " << D.Caption << "\n";
  if (C.Model() == vek::cmUTM || (D.UTMZone >= 1 && D.UTMZone <= 60)) {
    std::cout << "utm zone:   " << D.UTMZone << (D.UTMSouth ? " south" : " north") << ", ellipsoid "
              << vek::GeoEllipsoidId[D.Ellipsoid < vek::NumGeoEllipsoids ? D.Ellipsoid : 0] << "\n";
  }
  static const char* const CornerNames[4] = {"top-left", "bottom-left", "bottom-right", "top-right"};
  for (int c = 0; c < 4; ++c)
    std::cout << (c == 0 ? "corners:    " : "            ") << CornerNames[c] << " "
              << Fixed(D.Corners.Items[c].Latit, 5) << " " << Fixed(D.Corners.Items[c].Longit, 5) << "\n";
  std::cout << "resolution: " << Fixed(D.Resolution, 3) << " m/pixel\n";
  std::cout << "points:     " << D.NumCalQuads << " control points, " << D.NumCalLines
            << " graticule lines" << (C.Model() == vek::cmParabolicIp && !L.GratMatOK ? " (too few to fit)" : "")
            << "\n";

  const std::vector<vek::TCalResidual> R = C.Residuals();
  if (R.empty()) {
    std::cout << "residuals:  none (no points for this model)\n";
    return 0;
  }
  std::cout << "residuals (pixels, model minus stored):\n";
  for (const vek::TCalResidual& E : R) {
    char Line[160];
    if (E.Point == 0) {
      const vek::TCalQuad& Q = D.CalQuads[E.Index];
      std::snprintf(Line, sizeof Line, "  %3d  %14.5f %14.5f  %6d %6d  ", E.Index, Q.Latitude,
                    Q.Longitude, Q.MapX, Q.MapY);
    } else {
      const vek::TCalibLine& CL = D.CalLines[E.Index];
      std::snprintf(Line, sizeof Line, "  %3d.%-2d %-8s %12.5f  %6d %6d  ", E.Index, E.Point,
                    CL.LineType == vek::gtlParallel ? "parallel" : "meridian", CL.LineValue,
                    CL.CalPoints[E.Point].X, CL.CalPoints[E.Point].Y);
    }
    std::cout << Line;
    if (E.Valid) {
      // Offsets that round to zero print without a minus sign.
      auto Clean = [](double V) { return std::fabs(V) < 0.005 ? 0.0 : V; };
      std::snprintf(Line, sizeof Line, "dx %8.2f  dy %8.2f  dist %8.2f", Clean(E.DX), Clean(E.DY), E.Dist);
      std::cout << Line << "\n";
    } else {
      std::cout << "not convertible\n";
    }
  }
  std::cout << "rms:        " << Fixed(C.ResidualRMS(), 3) << " pixels\n";
  return 0;
}

int Pixel(const std::string& File, double Lat, double Lon, const std::string& Id) {
  const LoadedCalibration L = Load(File, Id);
  int X = 0, Y = 0;
  if (!L.Cal.CalcPixelCoords(Lat, Lon, X, Y)) {
    std::cerr << "vekgeo calib: the calibration cannot place this position\n";
    return 1;
  }
  std::cout << X << " " << Y << "\n";
  return 0;
}

int Position(const std::string& File, int X, int Y, const std::string& Id) {
  const LoadedCalibration L = Load(File, Id);
  bool V1 = false, V2 = false;
  const double Lat = L.Cal.CalcLatitude(X, Y, V1), Lon = L.Cal.CalcLongitude(X, Y, V2);
  if (!V1 || !V2) {
    std::cerr << "vekgeo calib: the calibration cannot convert this pixel\n";
    return 1;
  }
  std::cout << Fixed(Lat, 6) << " " << Fixed(Lon, 6) << "\n";
  return 0;
}

// IMAGE's world file (found beside it) as a calibration file of the equirectangular model.
int FromWorldFile(const std::string& Image, const std::string& Out, const std::string& Id) {
  const std::string World = vek::FindWorldFile(Image);
  if (World.empty()) {
    std::cerr << "vekgeo calib: no world file beside \"" << Image << "\"\n";
    return 1;
  }
  const QSize Size = QImageReader(QString::fromStdString(Image)).size();
  if (!Size.isValid()) throw std::runtime_error("cannot read the size of \"" + Image + "\"");
  vek::TMapCalibration Cal;
  vek::CalibrateFromWorldFile(Cal, vek::ReadWorldFile(World), Size.width(), Size.height(), World);
  Cal.Data().MapFName = std::filesystem::path(Image).filename().string();
  vek::TextFile F;
  vek::AssignFile(F, Out);
  vek::Rewrite(F);
  vek::WriteRawCalDataToOpenXMLFile(F, true, Id, Cal.Data(), Cal.Model());
  vek::CloseFile(F);
  std::cout << "calibrated " << Size.width() << " x " << Size.height() << " pixels from " << World
            << "\n";
  return 0;
}

// The calibration as a world file, beside its map image unless OUT is given.
int ToWorldFile(const std::string& File, const std::string& Id, const std::string& Out) {
  const LoadedCalibration L = Load(File, Id);
  if (L.ImagePath.empty()) throw std::runtime_error("the map image of \"" + File + "\" was not found");
  const std::string Name = Out.empty() ? vek::WorldFileCandidates(L.ImagePath).front() : Out;
  const vek::TWorldFileFit Fit = vek::WorldFileOf(L.Cal, L.Cal.ImageWidth(), L.Cal.ImageHeight());
  vek::WriteWorldFile(Name, Fit.File);
  std::cout << "wrote " << Name;
  if (!Fit.Exact)
    std::cout << " (best affine fit of the " << ModelName(L.Cal.Model()) << " calibration, RMS "
              << Fixed(Fit.RmsPixels, 2) << " pixels)";
  std::cout << "\n";
  return 0;
}

int RunCalib(const std::vector<std::string>& args) {
  if (args.empty()) throw vekgeo::UsageError("missing subcommand");
  const std::string& Sub = args[0];
  auto IdAt = [&](size_t i) { return args.size() > i ? args[i] : std::string(); };
  if (Sub == "show") {
    if (args.size() < 2 || args.size() > 3) throw vekgeo::UsageError("show needs FILE [ID]");
    return Show(args[1], IdAt(2));
  }
  if (Sub == "pixel") {
    if (args.size() < 4 || args.size() > 5) throw vekgeo::UsageError("pixel needs FILE LAT LON [ID]");
    const double Lat = vekgeo::ParseNumber(args[2], "latitude");
    const double Lon = vekgeo::ParseNumber(args[3], "longitude");
    return Pixel(args[1], Lat, Lon, IdAt(4));
  }
  if (Sub == "position") {
    if (args.size() < 4 || args.size() > 5) throw vekgeo::UsageError("position needs FILE X Y [ID]");
    const int X = vekgeo::ParseInt(args[2], "pixel column");
    const int Y = vekgeo::ParseInt(args[3], "pixel row");
    return Position(args[1], X, Y, IdAt(4));
  }
  if (Sub == "from-worldfile") {
    if (args.size() < 3 || args.size() > 4) throw vekgeo::UsageError("from-worldfile needs IMAGE OUT.xml [ID]");
    return FromWorldFile(args[1], args[2], IdAt(3));
  }
  if (Sub == "to-worldfile") {
    if (args.size() < 2 || args.size() > 4) throw vekgeo::UsageError("to-worldfile needs FILE [ID] [OUT]");
    return ToWorldFile(args[1], IdAt(2), IdAt(3));
  }
  if (Sub == "from-raster" || Sub == "to-vrt" || Sub == "to-ozimap")
    return vekgeo::RunCalibGdal(args);
  throw vekgeo::UsageError("unknown subcommand \"" + Sub + "\"");
}

const vekgeo::CommandRegistration kCalib("calib", kUsage, RunCalib);

}  // namespace
