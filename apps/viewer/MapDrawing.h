// Draws the items of the world database onto a generated map image: sea, land and lakes as
// areas, coastlines, dashed national borders, rivers, and capitals as dots with their names.
// The image follows the geometry of generated maps: the map area runs from pixel (30, 30) to
// (Wid - 30, Hgt - 30), latitude and longitude both linear.
#pragma once

#include <functional>
#include <unordered_map>

#include "Canvas.h"
#include "TGeoDB.h"
#include "VekTypes.h"
#include "WorldData.h"

namespace vek::viewer {

struct TWorldMapStyle {
  // Areas are multiplied into what is already drawn, so a graticule stays visible on them.
  TColor Sea = RGB(198, 224, 247);
  TColor Land = RGB(242, 236, 214);
  TColor Lake = RGB(178, 214, 245);
  TColor Coast = RGB(30, 80, 140);
  TColor LakeShore = RGB(60, 120, 200);
  TColor Border = RGB(150, 40, 110);
  TColor River = RGB(40, 110, 220);
  TColor City = RGB(200, 20, 20);
  TColor Caption = RGB(20, 20, 20);
  int CaptionPixels = 12;
  // Rivers and internal borders of minor classes appear only on maps narrower than this
  // (degrees of longitude).
  double DetailSpan = 45;
};

// Pixel position of a latitude or longitude on a generated map of Wid x Hgt pixels.
struct TMapGeometry {
  double LatLow, LongLow, LatHigh, LongHigh;
  int Wid, Hgt;
  int Row(double Lat) const;
  int Col(double Long) const;
};

// Draws the items of DB that fall in the map. Polygons read once are kept for later maps.
class TWorldMapDrawer {
 public:
  explicit TWorldMapDrawer(TGeoDB& DB, TWorldMapStyle Style = {}) : FDB(DB), FStyle(Style) {}

  // LatStep is the spacing of the map's parallels: captions keep clear of their labels at
  // both sides of the map area. 0 when there are none.
  void Draw(TCanvas& Canvas, const TMapGeometry& G, double LatStep = 0);

  // A callback with the parameters of the map control's drawing event; the drawer must
  // outlive it.
  std::function<void(TObject* Sender, TCanvas* MapCanvas, double LatLow, double LongLow,
                     double LatHigh, double LongHigh, int Wid, int Hgt)>
  DrawProc(double LatStep = 0);

 private:
  struct TItem {
    TWorldHit Hit;
    TgdbData Data;
  };
  const TgdbPolygon& Polygon(int32_t Entry);
  std::vector<QPoint> Pixels(const TItem& It, const TMapGeometry& G);
  // Sea, land and lakes on a layer of their own, multiplied into the map.
  void FillAreas(QPainter& P, const TMapGeometry& G, const QRect& MapRect,
                 const std::vector<TItem>& Items);
  // Rivers, lake shores, coastlines and borders.
  void DrawLines(QPainter& P, const TMapGeometry& G, const std::vector<TItem>& Items);
  // Capitals as dots, then their names where they cover no other name or dot.
  void DrawCapitals(QPainter& P, const TMapGeometry& G, const QRect& MapRect,
                    const std::vector<TItem>& Items, double LatStep);

  TGeoDB& FDB;
  TWorldMapStyle FStyle;
  std::unordered_map<int32_t, TgdbPolygon> FPolygons;
};

}  // namespace vek::viewer
