// vekgeo-viewer: the map viewer.
//   vekgeo-viewer [--cache DIR] [--tour DIR] [MAP-OR-CALIBRATION]
// Without a display (neither DISPLAY nor WAYLAND_DISPLAY) the viewer runs off screen through
// its tour, writing pictures into --tour DIR (default ./vekgeo-tour).
#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "ViewerTour.h"
#include "ViewerWindow.h"
#include "WorldData.h"

using namespace vek::viewer;

int main(int argc, char** argv) {
  const bool headless = !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY");
  if (headless) setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  std::string cache = DefaultCacheDir();
  QString tourDir, open;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--cache" && i + 1 < argc) cache = argv[++i];
    else if (a == "--tour" && i + 1 < argc) tourDir = argv[++i];
    else if (!a.empty() && a[0] != '-') open = QString::fromLocal8Bit(argv[i]);
    else {
      std::fprintf(stderr, "usage: vekgeo-viewer [--cache DIR] [--tour DIR] [MAP-OR-CALIBRATION]\n");
      return 2;
    }
  }
  if (headless && tourDir.isEmpty()) tourDir = "vekgeo-tour";
  try {
    ViewerWindow w;
    const auto t0 = std::chrono::steady_clock::now();
    const bool built = w.Start(cache);
    const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::printf("world database %s and demo atlas ready in %.2f s (%s)\n", built ? "built" : "opened",
                secs, WorldDBName(cache).c_str());
    if (!open.isEmpty()) w.OpenFile(open);
    if (!tourDir.isEmpty()) {
      std::printf("no display: touring the viewer off screen, pictures in %s\n", qPrintable(tourDir));
      for (const QString& f : RunTour(w, tourDir)) std::printf("  %s\n", qPrintable(f));
      return 0;
    }
    w.show();
    return app.exec();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "vekgeo-viewer: %s\n", e.what());
    return 1;
  }
}
