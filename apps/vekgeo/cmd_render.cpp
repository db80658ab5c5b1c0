// vekgeo render: a calibrated map drawn whole into an image file, with database layers,
// landmarks and the graticule, by the map control itself on an off-screen canvas, so that
// the file shows what the control shows. For batch maps and servers.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>


#include "Command.h"
#include "GdalImageSource.h"
#include "GeoDBLayer.h"
#include "StrUtils.h"
#include "TGeoDB.h"
#include "TGeoMap.h"
#include "TiledImageSource.h"

namespace {

constexpr int kMaxSide = 20000;
constexpr int64_t kMaxPixels = int64_t(200) << 20;

struct Options {
  std::string calib, out, landmarks;
  std::vector<std::string> dbs;
  int width = 0, height = 0;  // 0: the map's own size
  bool declutter = false, graticule = false;
};

Options Parse(const std::vector<std::string>& args) {
  Options o;
  std::vector<std::string> files;
  auto value = [&](size_t& i) -> const std::string& {
    if (i + 1 >= args.size()) throw vekgeo::UsageError(args[i] + " needs a value");
    return args[++i];
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--db") {
      o.dbs.push_back(value(i));
    } else if (a == "--landmarks") {
      o.landmarks = value(i);
    } else if (a == "--size") {
      const std::string& s = value(i);
      const size_t x = s.find_first_of("xX");
      if (x == std::string::npos) throw vekgeo::UsageError("--size wants WxH, not \"" + s + "\"");
      o.width = vekgeo::ParseInt(s.substr(0, x), "width");
      o.height = vekgeo::ParseInt(s.substr(x + 1), "height");
      if (o.width < 1 || o.height < 1 || o.width > kMaxSide || o.height > kMaxSide)
        throw vekgeo::UsageError("--size must be 1 ... " + std::to_string(kMaxSide) + " each way");
    } else if (a == "--declutter") {
      o.declutter = true;
    } else if (a == "--graticule") {
      o.graticule = true;
    } else if (a.size() > 1 && a[0] == '-') {
      throw vekgeo::UsageError("unknown option \"" + a + "\"");
    } else {
      files.push_back(a);
    }
  }
  if (files.size() != 2) throw vekgeo::UsageError("needs CALIB.xml and OUT.png");
  o.calib = files[0];
  o.out = files[1];
  return o;
}

// The widgets need an application; without a display they draw off screen.
void EnsureApplication(std::optional<QApplication>& App) {
  if (QApplication::instance()) return;
  if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static int argc = 1;
  static char name[] = "vekgeo";
  static char* argv[] = {name, nullptr};
  App.emplace(argc, argv);
}

int RunRender(const std::vector<std::string>& args) {
  const Options o = Parse(args);
  if (!QFileInfo::exists(QString::fromStdString(o.calib)))
    throw std::runtime_error("no calibration file \"" + o.calib + "\"");
  for (const std::string& db : o.dbs)
    if (!std::filesystem::exists(vek::StripExtension(db) + ".vekgds"))
      throw std::runtime_error("no database \"" + vek::StripExtension(db) + "\"");
  std::optional<QApplication> app;  // outlives the map below
  EnsureApplication(app);

  // Any raster GDAL reads can be the map image.
  vek::RegisterGdalMapImages();
  vek::TGeoMap map;
  // Large scans are read from tiles, as in the viewer.
  map.SetMapImagePixelLimit(int64_t(4) << 30);
  map.SetSuppressPaint(true);
  map.SetFrameStyle(vek::fsNone);
  // The image named in the calibration is looked for beside the calibration file as well.
  const QDir calibDir = QFileInfo(QString::fromStdString(o.calib)).absoluteDir();
  map.OnMapImageRequest = [&](vek::TObject*, std::string& name) {
    if (QFileInfo::exists(QString::fromStdString(name))) return;
    const QString beside = calibDir.filePath(QFileInfo(QString::fromStdString(name)).fileName());
    if (QFileInfo::exists(beside)) name = beside.toStdString();
  };
  // The result tells only whether graticule lines were fitted: look at what was read.
  map.LoadCalDataFromXML(o.calib, "");
  if (map.CalibModel() == vek::cmUndefined && map.MapImgFile().empty())
    throw std::runtime_error("no calibration in \"" + o.calib + "\"");
  if (map.MapImgFile().empty() || map.MapImgWidth() <= 0)
    throw std::runtime_error("the map image of \"" + o.calib + "\" was not found");

  // A picture of a large image waits for its tiles rather than showing the reduced preview.
  if (auto* tiled = dynamic_cast<vek::TTiledImageSource*>(map.MapImageSource())) {
    tiled->Wait();
    if (!tiled->Error().empty())
      throw std::runtime_error("cannot read the map image: " + tiled->Error());
  }

  const bool fit = o.width > 0;
  const int w = fit ? o.width : map.MapImgWidth();
  const int h = fit ? o.height : map.MapImgHeight();
  if (int64_t(w) * h > kMaxPixels) throw std::runtime_error("the picture would be too large");
  map.resize(w, h);
  if (fit) {
    map.ZoomFitPage();
  } else {
    map.SetMagnification(1.0);
    map.SetTopLeft(vek::TPoint{0, 0});
  }

  std::vector<std::unique_ptr<vek::TGeoDB>> dbs;
  for (const std::string& name : o.dbs) {
    dbs.push_back(std::make_unique<vek::TGeoDB>());
    dbs.back()->SetDBName(name);
    auto layer = std::make_shared<vek::TGeoDBLayer>(dbs.back().get());
    layer->Name = name;
    map.AddLayer(layer);
  }
  if (!o.landmarks.empty() && map.ImportLandMarks(o.landmarks) == 0)
    std::cerr << "vekgeo render: no landmarks in \"" << o.landmarks << "\"\n";
  map.SetLMCaptionDeclutter(o.declutter);
  if (o.graticule) map.SetShowGraticule(vek::sgLines);
  map.SetSuppressPaint(false);

  const QImage picture = map.CompositionBitmap()->Image().copy(0, 0, w, h);
  if (!picture.save(QString::fromStdString(o.out)))
    throw std::runtime_error("cannot write \"" + o.out + "\"");
  map.SetLayers({});  // before the databases go
  std::cout << o.out << ": " << w << " x " << h << "\n";
  return 0;
}

vekgeo::CommandRegistration reg(
    "render",
    "render CALIB.xml OUT.png [--db DB]... [--landmarks FILE] [--size WxH] [--declutter] "
    "[--graticule]",
    RunRender);

}  // namespace
