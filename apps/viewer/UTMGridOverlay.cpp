#include "UTMGridOverlay.h"

#include <algorithm>
#include <cmath>

#include "Vek_geobasics.h"
#include "Vek_support.h"

namespace vek::viewer {

namespace {

constexpr double kScale = 0.9996, kFalseEasting = 500000, kFalseNorthingSouth = 10000000;
constexpr int kSteps = 48;  // points per grid line

struct TUTM {
  int Zone;
  bool South;
  void Forward(double Lat, double Long, double& E, double& N) const {
    double x, y;
    LatLongToTM(DegToRad(Lat), DegToRad(Long), UTMCentralMeridian(Zone), gelWGS84, x, y);
    E = x * kScale + kFalseEasting;
    N = y * kScale + (South ? kFalseNorthingSouth : 0);
  }
};

}  // namespace

void DrawUTMGridOverlay(const TGeoMap& Map, TCanvas& Canvas, TColor Color) {
  const TCalibData& cal = Map.CalibData();
  if (Map.UTMZone() < 1 || Map.UTMZone() > 60 || cal.Resolution <= 0) return;
  const TUTM utm{Map.UTMZone(), Map.UTMHemisphere() == hemiSouth};
  // The grid's extent: the UTM values along the map's edges.
  double eMin = 1e12, eMax = -1e12, nMin = 1e12, nMax = -1e12;
  const TCoords tl = cal.Corners[gcoTopLeft], br = cal.Corners[gcoBottomRight];
  for (int i = 0; i <= kSteps; ++i) {
    const double f = double(i) / kSteps;
    const TCoords edge[] = {{tl.Latit, tl.Longit + f * (br.Longit - tl.Longit)},
                            {br.Latit, tl.Longit + f * (br.Longit - tl.Longit)},
                            {tl.Latit + f * (br.Latit - tl.Latit), tl.Longit},
                            {tl.Latit + f * (br.Latit - tl.Latit), br.Longit}};
    for (const TCoords& c : edge) {
      double e, n;
      utm.Forward(c.Latit, c.Longit, e, n);
      eMin = std::min(eMin, e), eMax = std::max(eMax, e);
      nMin = std::min(nMin, n), nMax = std::max(nMax, n);
    }
  }
  const double step = Map.UTMGridDist() >= 1 ? Map.UTMGridDist() : std::max(1.0, Round125((nMax - nMin) / 10));
  if ((eMax - eMin) / step > 200 || (nMax - nMin) / step > 200) return;

  Canvas.Pen().SetColor(Color);
  Canvas.Pen().SetWidth(1);
  Canvas.Pen().SetStyle(psSolid);
  // One line from (e0, n0) to (e1, n1), cut where it leaves the map.
  auto line = [&](double e0, double n0, double e1, double n1) {
    std::vector<TPoint> pts;
    auto flush = [&] {
      if (pts.size() >= 2) Canvas.Polyline(pts);
      pts.clear();
    };
    for (int i = 0; i <= kSteps; ++i) {
      const double f = double(i) / kSteps;
      double lat, lon;
      UTMToLatLong(e0 + f * (e1 - e0), n0 + f * (n1 - n0), utm.Zone, utm.South, gelWGS84, lat, lon);
      int32_t x, y;
      if (!Map.IsPositionWithinMap(lat, lon) || !Map.CalcPixelCoords(lat, lon, x, y)) {
        flush();
        continue;
      }
      pts.push_back(Map.MapImageToControl(TPoint{x, y}));
    }
    flush();
  };
  for (double e = std::ceil(eMin / step) * step; e <= eMax; e += step) line(e, nMin, e, nMax);
  for (double n = std::ceil(nMin / step) * step; n <= nMax; n += step) line(eMin, n, eMax, n);
}

}  // namespace vek::viewer
