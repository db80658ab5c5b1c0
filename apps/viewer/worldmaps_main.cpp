// vekgeo-worldmaps: builds or opens the world database and writes preview images of demo maps.
//   vekgeo-worldmaps [--cache DIR] [--out DIR] [--rebuild] [--atlas] [MAP ...]
//   vekgeo-worldmaps --build-db NAME [--source DIR] [--resolution c|l|i]
// The second form is the viewer's child process: it only builds the database and reports
// "source FILE", "progress N" and "error MESSAGE" lines on stdout, so that a crash while reading a damaged data
// file takes down this process alone.
// Default maps: world alps. With --atlas the demo atlas is also made (where missing) in the
// cache directory through a map control, and its list printed.
#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "DemoAtlas.h"
#include "TGeoMap.h"
#include "WorldData.h"

using namespace vek;
using namespace vek::viewer;

namespace {

int BuildDatabaseOnly(int argc, char** argv) {
  std::string name;
  TWorldDataOptions options;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string a = argv[i], v = argv[i + 1];
    if (a == "--build-db") name = v;
    else if (a == "--source") options.SourceDir = v;
    else if (a == "--resolution" && v.size() == 1) options.Resolution = v[0];
    else return std::fprintf(stderr, "vekgeo-worldmaps: unknown option %s\n", a.c_str()), 2;
  }
  options.OnSourceFile = [](const std::string& f) {
    std::printf("source %s\n", f.c_str());
    std::fflush(stdout);
  };
  try {
    TGeoDB db;
    db.setObjectName("World");
    db.OnPercentDone = [](TObject*, int32_t p) {
      std::printf("progress %d\n", int(p));
      std::fflush(stdout);
    };
    BuildWorldDB(db, name, options);
  } catch (const std::exception& e) {
    // Said on stdout, so that the parent tells an error from a crash.
    std::printf("error %s\n", e.what());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::string(argv[1]) == "--build-db") return BuildDatabaseOnly(argc, argv);
  if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  std::string cache = DefaultCacheDir(), out = ".";
  bool rebuild = false, atlas = false;
  std::vector<std::string> names;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--cache" && i + 1 < argc) cache = argv[++i];
    else if (a == "--out" && i + 1 < argc) out = argv[++i];
    else if (a == "--rebuild") rebuild = true;
    else if (a == "--atlas") atlas = true;
    else if (!a.empty() && a[0] != '-') names.push_back(a);
    else {
      std::fprintf(stderr, "usage: vekgeo-worldmaps [--cache DIR] [--out DIR] [--rebuild] [--atlas] [MAP ...]\n");
      return 2;
    }
  }
  if (names.empty()) names = {"world", "alps"};
  try {
    TGeoDB db;
    db.setObjectName("World");
    int shown = -1;
    db.OnPercentDone = [&](TObject*, int32_t p) {
      if (p / 10 != shown / 10) std::fprintf(stderr, "\r%3d%%", int(p)), shown = p;
    };
    auto t0 = std::chrono::steady_clock::now();
    bool built;
    if (rebuild) BuildWorldDB(db, WorldDBName(cache)), built = true;
    else built = OpenWorldDB(db, WorldDBName(cache));
    double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    db.OnPercentDone = nullptr;  // reading polygons for the maps reports too
    TWorldCounts n = CountWorldItems(db);
    std::printf("%s%s %s in %.3f s: %d items (%d coasts, %d lakes, %d borders, %d rivers, %d capitals)\n",
                shown >= 0 ? "\n" : "", built ? "built" : "opened", WorldDBName(cache).c_str(),
                secs, int(db.NumEntries()), int(n.Coasts), int(n.Lakes), int(n.Borders),
                int(n.Rivers), int(n.Cities));
    TWorldMapDrawer drawer(db);
    if (atlas) {
      TGeoMap map;
      t0 = std::chrono::steady_clock::now();
      std::vector<std::string> files =
          EnsureDemoAtlas(DemoAtlasDir(cache), drawer, MapControlGenerator(map), built);
      secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
      std::printf("demo atlas (%zu maps) ready in %.3f s, listed in %s/atlas.txt\n", files.size(),
                  secs, DemoAtlasDir(cache).c_str());
    }
    std::filesystem::create_directories(out);
    for (const std::string& name : names) {
      const TDemoMap* map = nullptr;
      for (const TDemoMap& m : DemoMaps())
        if (m.Name == name) map = &m;
      if (!map) {
        std::fprintf(stderr, "unknown map %s\n", name.c_str());
        return 1;
      }
      t0 = std::chrono::steady_clock::now();
      QImage img = RenderMapPreview(*map, drawer.DrawProc(map->LatStep));
      std::string file = out + "/map_" + name + ".png";
      if (!img.save(QString::fromStdString(file))) {
        std::fprintf(stderr, "cannot write %s\n", file.c_str());
        return 1;
      }
      secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
      std::printf("%s (%d x %d) drawn in %.3f s\n", file.c_str(), map->Wid, map->Hgt, secs);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "vekgeo-worldmaps: %s\n", e.what());
    return 1;
  }
  return 0;
}
