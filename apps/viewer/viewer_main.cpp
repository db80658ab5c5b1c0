// vekgeo-viewer: the map viewer.
//   vekgeo-viewer [--cache DIR] [--gshhg DIR] [--tour DIR] [MAP-OR-CALIBRATION]
// Without a display (neither DISPLAY nor WAYLAND_DISPLAY) the viewer runs off screen through
// its tour, writing pictures into --tour DIR (default ./vekgeo-tour).
#include <QApplication>
#include <QDir>
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
  QApplication::setOrganizationName("VekGeo");
  QApplication::setApplicationName("viewer");
  std::string cache = DefaultCacheDir(), gshhg;
  QString tourDir, open;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--cache" && i + 1 < argc) cache = argv[++i];
    else if (a == "--tour" && i + 1 < argc) tourDir = argv[++i];
    else if (a == "--gshhg" && i + 1 < argc) gshhg = argv[++i];
    else if (!a.empty() && a[0] != '-') open = QString::fromLocal8Bit(argv[i]);
    else {
      std::fprintf(stderr, "usage: vekgeo-viewer [--cache DIR] [--gshhg DIR] [--tour DIR] [MAP-OR-CALIBRATION]\n");
      return 2;
    }
  }
  if (headless && tourDir.isEmpty()) tourDir = "vekgeo-tour";
  try {
    ViewerWindow w;
    const auto t0 = std::chrono::steady_clock::now();
    const bool built = w.Start(cache, gshhg);
    const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (!w.WorldError().isEmpty())
      std::fprintf(stderr, "vekgeo-viewer: going on without the world database: %s\n",
                   qPrintable(w.WorldError()));
    else
      std::printf("world database %s and demo atlas ready in %.2f s (%s)\n",
                  built ? "built" : "opened", secs, WorldDBName(cache).c_str());
    // The last session comes back on screen only; a tour starts from the same state each time.
    if (tourDir.isEmpty() && w.WorldError().isEmpty()) w.RestoreSession();
    if (tourDir.isEmpty()) w.show();  // before a file opens, so that its messages show
    if (!open.isEmpty()) w.OpenFile(open);
    if (!tourDir.isEmpty() && !w.WorldError().isEmpty()) {
      // The tour walks the demo atlas, which needs the world database: one picture instead.
      QDir().mkpath(tourDir);
      const QString file = QDir(tourDir).filePath("01-without-world-database.png");
      w.resize(1200, 800);
      w.grab().save(file);
      std::printf("no display and no world database: the window as it is in %s\n", qPrintable(file));
      return 0;
    }
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
