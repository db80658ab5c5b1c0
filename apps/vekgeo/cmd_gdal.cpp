// vekgeo calib from-raster / to-vrt / to-ozimap and vekgeo db import: the GIS world's files
// in and out through GDAL.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iostream>

#include "CalibXml.h"
#include "Command.h"
#include "GdalCommands.h"
#include "GeoDBRecords.h"
#include "NumberText.h"
#include "StrUtils.h"
#include "TGeoDB.h"
#include "Vek_geogdal.h"

namespace vekgeo {

namespace {

namespace fs = std::filesystem;

std::string Fixed(double V, int Decimals) { return vek::FormatNumber(1, Decimals, V); }

// The calibration block ID of FILE, fitted on its map image (looked for as named and beside
// the file; its size read through GDAL).
struct LoadedCalibration {
  vek::TMapCalibration Cal;
  std::string ImagePath;
};

LoadedCalibration Load(const std::string& File, const std::string& Id) {
  LoadedCalibration L;
  vek::TextFile F;
  vek::AssignFile(F, File);
  vek::Reset(F);
  std::string AsWritten;
  bool GratMatOK = false;
  const bool Found = vek::ReadCalibBlock(&F, nullptr, Id, L.Cal, GratMatOK, AsWritten);
  vek::CloseFile(F);
  if (!Found) throw std::runtime_error("no calibration block \"" + Id + "\" in \"" + File + "\"");
  const fs::path Dir = fs::path(File).parent_path();
  for (const std::string& Name : {AsWritten, L.Cal.Data().MapFName}) {
    if (Name.empty()) continue;
    for (const fs::path& P : {Dir / Name, fs::path(Name)}) {
      std::error_code Ec;
      if (fs::is_regular_file(P, Ec)) {
        L.ImagePath = P.string();
        break;
      }
    }
    if (!L.ImagePath.empty()) break;
  }
  if (L.ImagePath.empty())
    throw std::runtime_error("the map image of \"" + File + "\" was not found");
  // The size as GDAL reads it, the reader that opens the image beside the exported file.
  int W = 0, H = 0;
  vek::RasterSize(L.ImagePath, W, H);
  L.Cal.SetImageSize(W, H);
  L.Cal.FitModel();
  L.Cal.CalcExtentsAndResolution();
  return L;
}

int FromRaster(const std::string& Raster, const std::string& Out, const std::string& Id) {
  vek::TRasterCalibration R = vek::CalibrationFromRaster(Raster);
  // The image is named relative to the calibration file, where the map control looks.
  std::error_code Ec;
  const fs::path OutDir = fs::absolute(fs::path(Out), Ec).parent_path();
  const fs::path Rel = fs::absolute(fs::path(R.ImageFile), Ec).lexically_relative(OutDir);
  R.Calibration.Data().MapFName =
      !Rel.empty() && *Rel.begin() != ".." ? Rel.generic_string()
                                           : fs::absolute(fs::path(R.ImageFile), Ec).generic_string();
  vek::TextFile F;
  vek::AssignFile(F, Out);
  vek::Rewrite(F);
  vek::WriteRawCalDataToOpenXMLFile(F, true, Id, R.Calibration.Data(), R.Calibration.Model());
  vek::CloseFile(F);
  for (const std::string& W : R.Warnings) std::cerr << "vekgeo calib: " << W << "\n";
  std::cout << "calibrated " << R.Calibration.ImageWidth() << " x "
            << R.Calibration.ImageHeight() << " pixels from " << R.Method << "; rms "
            << Fixed(R.RmsPixels, 3) << " pixels\n";
  return 0;
}

int Export(const std::string& Sub, const std::string& File, const std::string& Id,
           const std::string& Out) {
  LoadedCalibration L = Load(File, Id);
  const vek::TCalibrationExport E = Sub == "to-vrt"
                                        ? vek::WriteCalibrationVrt(L.Cal, L.ImagePath, Out)
                                        : vek::WriteOziMap(L.Cal, L.ImagePath, Out);
  std::cout << "wrote " << Out << ": " << E.Points
            << (E.Sampled ? " points sampled from the calibration" : " control points");
  if (E.MaxDeviationPixels > 0.01)
    std::cout << " (GDAL's polynomial deviates up to " << Fixed(E.MaxDeviationPixels, 2)
              << " pixels)";
  std::cout << "\n";
  return 0;
}

void DrawBar(int64_t Done, int64_t Total) {
  const int Width = 40;
  const int64_t Shown = Total > 0 ? std::min(Done, Total) : 0;
  const int Fill = Total > 0 ? int(Shown * Width / Total) : 0;
  if (Total > 0)
    std::fprintf(stderr, "\r[%s%s] %3d%% %lld/%lld", std::string(size_t(Fill), '#').c_str(),
                 std::string(size_t(Width - Fill), ' ').c_str(), int(Shown * 100 / Total),
                 (long long)Done, (long long)Total);
  else
    std::fprintf(stderr, "\r%lld features", (long long)Done);
  std::fflush(stderr);
}

vek::TgdbItem KindByName(const std::string& Name) {
  for (int k = 0; k < int(vek::GDB_ITEMNAMES.size()); ++k) {
    std::string N = vek::GDB_ITEMNAMES[k];
    for (char& c : N) c = char(std::tolower(static_cast<unsigned char>(c)));
    if (N == Name || N + "s" == Name) return vek::TgdbItem(k);
  }
  throw UsageError("unknown item kind \"" + Name + "\"");
}

}  // namespace

int RunCalibGdal(const std::vector<std::string>& args) {
  const std::string& Sub = args[0];
  if (Sub == "from-raster") {
    if (args.size() < 3 || args.size() > 4)
      throw UsageError("from-raster needs RASTER OUT.xml [ID]");
    return FromRaster(args[1], args[2], args.size() > 3 ? args[3] : std::string());
  }
  // to-vrt / to-ozimap FILE [ID] OUT
  if (args.size() < 3 || args.size() > 4) throw UsageError(Sub + " needs FILE [ID] OUT");
  return Export(Sub, args[1], args.size() == 4 ? args[2] : std::string(), args.back());
}

int RunDbImport(const std::vector<std::string>& args) {
  vek::TVectorImportOptions O;
  std::vector<std::string> Plain;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& A = args[i];
    auto Value = [&]() -> const std::string& {
      if (i + 1 >= args.size()) throw UsageError(A + " needs a value");
      return args[++i];
    };
    if (A == "--layer") {
      O.Layers.push_back(Value());
    } else if (A == "--as") {
      const vek::TgdbItem K = KindByName(Value());
      if (K == vek::gitRoad || K == vek::gitRiver || K == vek::gitRoute)
        O.LineKind = K;
      else if (K == vek::gitBorder || K == vek::gitLake || K == vek::gitCity)
        O.PolygonKind = K;
      else if (K != vek::gitTown)
        throw UsageError("--as takes road, river, route, border, lake or city");
    } else if (A == "--name-field") {
      O.NameField = Value();
    } else if (A == "--class") {
      const int C = ParseInt(Value(), "class");
      if (C < 0 || C > 255) throw UsageError("--class takes 0 .. 255");
      O.ClassNumber = uint8_t(C);
    } else if (A.size() > 1 && A[0] == '-') {
      throw UsageError("unknown option \"" + A + "\"");
    } else {
      Plain.push_back(A);
    }
  }
  if (Plain.size() != 2) throw UsageError("import needs DB FILE");
  if (!fs::exists(vek::StripExtension(Plain[0]) + ".vekgds"))
    throw std::runtime_error("no database \"" + vek::StripExtension(Plain[0]) +
                             "\" (create it with: vekgeo db create " + Plain[0] + ")");
  vek::TGeoDB DB;
  DB.SetDBName(Plain[0]);
  O.Date = vek::NowAsDateTime();
  const bool Bar = ::isatty(STDERR_FILENO) != 0;
  if (Bar) O.OnProgress = DrawBar;
  const vek::TVectorImportCounts C = vek::ImportVectorFile(DB, Plain[1], O);
  if (Bar) std::fprintf(stderr, "\n");
  for (const std::string& W : C.Warnings) std::cerr << "vekgeo db: " << W << "\n";
  std::cout << "imported " << C.Items << " items from " << C.Features << " features:";
  bool First = true;
  for (int k = 0; k <= vek::gitUndefined; ++k)
    if (C.ByKind[k] > 0) {
      std::cout << (First ? " " : ", ") << C.ByKind[k] << " " << vek::GDB_ITEMNAMES[k];
      First = false;
    }
  std::cout << "\n";
  for (const auto& [N, What] : vek::ImportFaults(C)) std::cout << "  " << N << " " << What << "\n";
  std::cout << DB.NumEntries() << " entries\n";
  return 0;
}

}  // namespace vekgeo
