#include "MapDrawing.h"

#include <QFont>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace vek::viewer {

namespace {

constexpr int kMargin = 30;

// Rings around a pole are closed through the pole: edges touching it are no coast.
bool PoleEdge(const TSCoords& a, const TSCoords& b) {
  return std::fabs(a.Latit) >= 89.999f || std::fabs(b.Latit) >= 89.999f;
}

// Draw order of the areas: land, then lakes on it, then islands in the lakes, then ponds.
int AreaOrder(uint8_t Class) {
  switch (Class) {
    case wcLand: return 0;
    case wcLake: case wcRiverLake: return 1;
    case wcIslandInLake: return 2;
    default: return 3;
  }
}

// Far outside any map, yet well inside int and the painter's range.
int PixelOffset(double v) { return int(std::lround(std::clamp(v, -1e7, 1e7))); }

QRect DotBox(QPoint At) { return QRect(At.x() - 4, At.y() - 4, 9, 9); }

bool IsArea(const TgdbData& D) {
  return (D.ItemKind == gitBorder && IsLandClass(D.ClassFlag)) ||
         (D.ItemKind == gitLake && IsLakeClass(D.ClassFlag));
}

}  // namespace

int TMapGeometry::Row(double Lat) const {
  return Hgt - kMargin - PixelOffset((Lat - LatLow) / (LatHigh - LatLow) * (Hgt - 2 * kMargin));
}

int TMapGeometry::Col(double Long) const {
  return kMargin + PixelOffset((Long - LongLow) / (LongHigh - LongLow) * (Wid - 2 * kMargin));
}

const TgdbPolygon& TWorldMapDrawer::Polygon(int32_t Entry) {
  auto it = FPolygons.find(Entry);
  if (it != FPolygons.end()) return it->second;
  TgdbPolygon p;
  if (!FDB.RetrievePolygon(Entry, p)) p.clear();
  return FPolygons.emplace(Entry, std::move(p)).first->second;
}

std::vector<QPoint> TWorldMapDrawer::Pixels(const TItem& It, const TMapGeometry& G) {
  const TgdbPolygon& p = Polygon(It.Hit.Entry);
  std::vector<QPoint> pts;
  pts.reserve(p.size());
  for (const TSCoords& c : p) {
    QPoint q(G.Col(c.Longit + It.Hit.Shift), G.Row(c.Latit));
    if (pts.empty() || pts.back() != q) pts.push_back(q);
  }
  return pts;
}

void TWorldMapDrawer::Draw(TCanvas& Canvas, const TMapGeometry& G, double LatStep) {
  if (G.Wid <= 2 * kMargin || G.Hgt <= 2 * kMargin || !(G.LatHigh > G.LatLow) ||
      !(G.LongHigh > G.LongLow))
    return;
  // Reading polygons is no operation a progress display should follow.
  struct TQuiet {
    TGeoDB& DB;
    bool Was = DB.OnPercDoneEnabled();
    ~TQuiet() { DB.SetOnPercDoneEnabled(Was); }
  } quiet{FDB};
  FDB.SetOnPercDoneEnabled(false);

  const QRect mapRect(kMargin, kMargin, G.Wid - 2 * kMargin + 1, G.Hgt - 2 * kMargin + 1);
  std::vector<TItem> items;
  for (const TWorldHit& h : FindWorldItemsInArea(FDB, G.LatLow, G.LatHigh, G.LongLow, G.LongHigh))
    items.push_back({h, FDB.Data(h.Entry)});

  QPainter& P = *Canvas.Painter();
  P.save();
  P.setClipRect(mapRect);
  FillAreas(P, G, mapRect, items);
  P.setRenderHint(QPainter::Antialiasing, true);
  DrawLines(P, G, items);
  DrawCapitals(P, G, mapRect, items, LatStep);
  P.restore();
}

void TWorldMapDrawer::FillAreas(QPainter& P, const TMapGeometry& G, const QRect& MapRect,
                                const std::vector<TItem>& Items) {
  QImage layer(G.Wid, G.Hgt, QImage::Format_RGB32);
  if (layer.isNull()) return;
  layer.fill(ColorToQColor(FStyle.Sea));
  std::vector<const TItem*> areas;
  for (const TItem& it : Items)
    if (IsArea(it.Data)) areas.push_back(&it);
  std::stable_sort(areas.begin(), areas.end(), [](const TItem* a, const TItem* b) {
    return AreaOrder(a->Data.ClassFlag) < AreaOrder(b->Data.ClassFlag);
  });
  {
    QPainter lp(&layer);
    lp.setClipRect(MapRect);
    lp.setPen(Qt::NoPen);
    for (const TItem* it : areas) {
      std::vector<QPoint> pts = Pixels(*it, G);
      if (pts.size() < 3) continue;
      lp.setBrush(ColorToQColor(IsLandClass(it->Data.ClassFlag) ? FStyle.Land : FStyle.Lake));
      lp.drawPolygon(pts.data(), int(pts.size()), Qt::OddEvenFill);
    }
  }
  // Multiplied, so that the graticule drawn before stays visible on land and sea.
  P.setCompositionMode(QPainter::CompositionMode_Multiply);
  P.drawImage(MapRect.topLeft(), layer, MapRect);
  P.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void TWorldMapDrawer::DrawLines(QPainter& P, const TMapGeometry& G,
                                const std::vector<TItem>& Items) {
  const bool detail = G.LongHigh - G.LongLow <= FStyle.DetailSpan;
  P.setBrush(Qt::NoBrush);
  auto pen = [&](TColor c, double w, Qt::PenStyle s = Qt::SolidLine) {
    P.setPen(QPen(ColorToQColor(c), w, s, Qt::RoundCap, Qt::RoundJoin));
  };
  // Open pieces of an item's line, broken where a ring is closed through a pole.
  auto line = [&](const TItem& it, bool closed) {
    const TgdbPolygon& poly = Polygon(it.Hit.Entry);
    if (poly.size() < 2) return;
    std::vector<QPoint> run;
    size_t n = poly.size() + (closed ? 1 : 0);
    for (size_t i = 0; i < n; ++i) {
      const TSCoords& c = poly[i % poly.size()];
      if (i > 0 && PoleEdge(poly[(i - 1) % poly.size()], c)) {
        if (run.size() > 1) P.drawPolyline(run.data(), int(run.size()));
        run.clear();
      }
      QPoint q(G.Col(c.Longit + it.Hit.Shift), G.Row(c.Latit));
      if (run.empty() || run.back() != q) run.push_back(q);
    }
    if (run.size() > 1) P.drawPolyline(run.data(), int(run.size()));
  };

  for (const TItem& it : Items) {
    uint8_t c = it.Data.ClassFlag;
    if (it.Data.ItemKind != gitRiver || !IsRiverClass(c)) continue;
    int level = c - wcRiver;
    if (level > 4 || (level > 2 && !detail)) continue;  // intermittent rivers and canals left out
    pen(FStyle.River, level <= 1 ? 1.2 : 0.8);
    line(it, false);
  }
  for (const TItem& it : Items) {
    if (!IsArea(it.Data)) continue;
    bool land = IsLandClass(it.Data.ClassFlag);
    pen(land ? FStyle.Coast : FStyle.LakeShore, land ? 1.0 : 0.8);
    line(it, true);
  }
  for (const TItem& it : Items) {
    uint8_t c = it.Data.ClassFlag;
    if (it.Data.ItemKind != gitBorder || !IsBorderClass(c)) continue;
    if (c == wcBorder + 1) pen(FStyle.Border, 1.2, Qt::DashLine);
    else if (c == wcBorder + 2 && detail) pen(FStyle.Border, 0.7, Qt::DotLine);
    else continue;  // maritime borders, and internal ones on wide maps
    line(it, it.Data.Closed);
  }
}

void TWorldMapDrawer::DrawCapitals(QPainter& P, const TMapGeometry& G, const QRect& MapRect,
                                   const std::vector<TItem>& Items, double LatStep) {
  std::vector<std::pair<QPoint, QString>> cities;
  for (const TItem& it : Items)
    if (it.Data.ItemKind == gitCity && it.Data.ClassFlag == wcCapital) {
      const TgdbPolygon& p = Polygon(it.Hit.Entry);
      if (p.empty()) continue;
      QPoint at(G.Col(p[0].Longit + it.Hit.Shift), G.Row(p[0].Latit));
      if (MapRect.contains(at))
        cities.push_back({at, QString::fromStdString(it.Data.Name.str()).trimmed()});
    }

  // Taken space: the parallels' labels at both sides of the map area, then the dots.
  std::vector<QRect> taken;
  if (LatStep > 0 && (G.LatHigh - G.LatLow) / LatStep < 1000)
    for (double lat = std::trunc(G.LatLow / LatStep) * LatStep; lat < G.LatHigh; lat += LatStep) {
      int y = G.Row(lat);
      if (y <= kMargin || y >= G.Hgt - kMargin) continue;
      taken.push_back(QRect(kMargin, y - 10, 90, 20));
      taken.push_back(QRect(G.Wid - kMargin - 90, y - 10, 90, 20));
    }
  P.setPen(QPen(Qt::white, 1));
  P.setBrush(ColorToQColor(FStyle.City));
  for (const auto& [at, name] : cities) {
    P.drawEllipse(QPointF(at), 3.5, 3.5);
    taken.push_back(DotBox(at));
  }

  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(std::max(6, FStyle.CaptionPixels));
  const QFontMetrics fm(font);
  const QPen halo(QColor(255, 255, 255, 200), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  for (const auto& [at, name] : cities) {
    QRect box = fm.boundingRect(name);
    box.moveTo(0, 0);
    box.adjust(-1, -1, 1, 1);
    // Right of the dot, left of it, above, below: the first place that is free.
    const QPoint offsets[] = {{6, -box.height() / 2}, {-6 - box.width(), -box.height() / 2},
                              {-box.width() / 2, -box.height() - 4}, {-box.width() / 2, 4}};
    const QRect ownDot = DotBox(at);
    for (QPoint o : offsets) {
      QRect r = box.translated(at + o);
      if (!MapRect.contains(r) ||
          std::any_of(taken.begin(), taken.end(),
                      [&](const QRect& q) { return q.intersects(r) && q != ownDot; }))
        continue;
      taken.push_back(r);
      QPainterPath path;
      path.addText(QPointF(r.left() + 1, r.top() + 1 + fm.ascent()), font, name);
      P.strokePath(path, halo);
      P.fillPath(path, ColorToQColor(FStyle.Caption));
      break;
    }
  }
}

std::function<void(TObject*, TCanvas*, double, double, double, double, int, int)>
TWorldMapDrawer::DrawProc(double LatStep) {
  return [this, LatStep](TObject*, TCanvas* MapCanvas, double LatLow, double LongLow,
                         double LatHigh, double LongHigh, int Wid, int Hgt) {
    if (MapCanvas)
      Draw(*MapCanvas, TMapGeometry{LatLow, LongLow, LatHigh, LongHigh, Wid, Hgt}, LatStep);
  };
}

}  // namespace vek::viewer
