#include "DemoAtlas.h"

#include <QFile>
#include <QTextStream>
#include <cmath>
#include <filesystem>

#include "Bitmap.h"
#include "MathUtils.h"
#include "TGeoMap.h"
#include "VekError.h"

namespace vek::viewer {

namespace {

constexpr int kMargin = 30;
constexpr double kMaxPixels = 3'000'000;

// Sizes the image for about Pixels pixels, a degree of longitude drawn cos(middle latitude)
// times as wide as a degree of latitude.
TDemoMap Sized(std::string Name, double LatLow, double LongLow, double LatHigh, double LongHigh,
               double Step, double Pixels) {
  double mid = DegToRad((LatLow + LatHigh) / 2);
  double w = (LongHigh - LongLow) * std::max(0.2, std::cos(mid)), h = LatHigh - LatLow;
  double s = std::sqrt(std::min(Pixels, kMaxPixels * 0.95) / (w * h));
  int wid = int(w * s) + 2 * kMargin, hgt = int(h * s) + 2 * kMargin;
  while (double(wid) * hgt > kMaxPixels) wid -= 2, hgt -= 1;
  return {std::move(Name), LatLow, LongLow, LatHigh, LongHigh, Step, Step, wid, hgt};
}

}  // namespace

const std::vector<TDemoMap>& DemoMaps() {
  static const std::vector<TDemoMap> maps = {
      Sized("world", -90, -180, 90, 180, 30, 2.4e6),
      Sized("europe", 34, -25, 72, 45, 10, 2.0e6),
      Sized("africa", -36, -20, 38, 55, 10, 2.0e6),
      Sized("asia", -12, 25, 80, 180, 15, 2.0e6),
      Sized("north-america", 7, -170, 84, -50, 10, 2.0e6),
      Sized("south-america", -57, -83, 14, -33, 10, 2.0e6),
      Sized("oceania", -50, 110, 0, 180, 10, 2.0e6),
      Sized("antarctica", -90, -180, -60, 180, 15, 1.5e6),
      Sized("alps", 43.5, 5, 48.5, 17, 1, 1.5e6),
      Sized("british-isles", 49.5, -11, 61, 3, 2, 1.5e6),
      Sized("japan", 30, 128, 46, 147, 2, 1.5e6),
      Sized("caribbean", 9, -88, 27, -59, 5, 1.5e6),
      Sized("great-lakes", 40, -93, 50, -74, 2, 1.5e6),
  };
  return maps;
}

TMapGenerator MapControlGenerator(TGeoMap& Map) {
  return [&Map](const std::string& CalibFile, const TDemoMap& m, const TMapDrawProc& Draw) {
    Map.CreateAndLoadEmptyMap(CalibFile, m.LatLow, m.LongLow, m.LatHigh, m.LongHigh, m.LatStep,
                              m.LongStep, m.Wid, m.Hgt, Draw);
  };
}

std::vector<std::string> EnsureDemoAtlas(const std::string& Dir, TWorldMapDrawer& Drawer,
                                         const TMapGenerator& Generate, bool Regenerate) {
  namespace fs = std::filesystem;
  fs::create_directories(Dir);
  std::vector<std::string> files;
  for (const TDemoMap& m : DemoMaps()) {
    std::string calib = Dir + "/" + m.Name + ".xml", image = Dir + "/" + m.Name + ".bmp";
    if (Regenerate || !fs::exists(calib) || !fs::exists(image)) {
      Generate(calib, m, Drawer.DrawProc(m.LatStep));
      if (!fs::exists(calib) || !fs::exists(image))
        throw EVEKError("Demo atlas: map \"" + m.Name + "\" was not written to " + Dir + ".");
    }
    files.push_back(calib);
  }
  QFile list(QString::fromStdString(Dir + "/atlas.txt"));
  if (!list.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
    throw EInOutError(int(list.error()), "Demo atlas: cannot write " + Dir + "/atlas.txt");
  QTextStream out(&list);
  for (const std::string& f : files) out << QString::fromStdString(f) << '\n';
  return files;
}

QImage RenderMapPreview(const TDemoMap& M, const TMapDrawProc& Draw) {
  TBitmap bmp(M.Wid, M.Hgt);
  TCanvas& c = *bmp.Canvas();
  c.FillSolid(TRect{0, 0, M.Wid, M.Hgt}, clWhite);
  c.Pen().SetColor(clBlack);
  c.Polyline({{kMargin, kMargin}, {M.Wid - kMargin, kMargin}, {M.Wid - kMargin, M.Hgt - kMargin},
              {kMargin, M.Hgt - kMargin}, {kMargin, kMargin}});
  TMapGeometry g{M.LatLow, M.LongLow, M.LatHigh, M.LongHigh, M.Wid, M.Hgt};
  c.Pen().SetStyle(psDash);
  c.Pen().SetColor(0xC0C0C0);
  for (double lat = std::trunc(M.LatLow / M.LatStep) * M.LatStep; lat < M.LatHigh; lat += M.LatStep) {
    int y = g.Row(lat);
    if (y <= kMargin || y >= M.Hgt - kMargin) continue;
    c.MoveTo(kMargin, y);
    c.LineTo(M.Wid - kMargin, y);
    c.TextOut(36, y - c.TextHeight("0") / 2, std::to_string(int(std::lround(lat))));
  }
  for (double lon = std::trunc(M.LongLow / M.LongStep) * M.LongStep; lon < M.LongHigh; lon += M.LongStep) {
    int x = g.Col(lon);
    if (x <= kMargin || x >= M.Wid - kMargin) continue;
    c.MoveTo(x, kMargin);
    c.LineTo(x, M.Hgt - kMargin);
    c.TextOut(x, M.Hgt - 24, std::to_string(int(std::lround(lon))));
  }
  c.Pen().SetStyle(psSolid);
  if (Draw) Draw(nullptr, &c, M.LatLow, M.LongLow, M.LatHigh, M.LongHigh, M.Wid, M.Hgt);
  c.End();
  return bmp.Image();
}

}  // namespace vek::viewer
