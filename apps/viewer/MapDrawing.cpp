#include "MapDrawing.h"

#include <QFont>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "WorldData.h"

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
  const bool detail = G.LongHigh - G.LongLow <= FStyle.DetailSpan;

  struct TItem {
    TWorldHit Hit;
    TgdbData Data;
  };
  std::vector<TItem> items;
  for (const TWorldHit& h : FindWorldItemsInArea(FDB, G.LatLow, G.LatHigh, G.LongLow, G.LongHigh))
    items.push_back({h, FDB.Data(h.Entry)});

  auto toPixels = [&](const TgdbPolygon& p, double shift) {
    std::vector<QPoint> pts;
    pts.reserve(p.size());
    for (const TSCoords& c : p) {
      QPoint q(G.Col(c.Longit + shift), G.Row(c.Latit));
      if (pts.empty() || pts.back() != q) pts.push_back(q);
    }
    return pts;
  };
  // Open polyline pieces of an item, broken where a ring is closed across a pole.
  auto drawLine = [&](QPainter& P, const TItem& it, bool closed) {
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

  // Areas on a layer of their own, multiplied into the map.
  QImage layer(G.Wid, G.Hgt, QImage::Format_RGB32);
  layer.fill(ColorToQColor(FStyle.Sea));
  {
    QPainter lp(&layer);
    lp.setClipRect(mapRect);
    lp.setPen(Qt::NoPen);
    std::vector<const TItem*> areas;
    for (const TItem& it : items)
      if ((it.Data.ItemKind == gitBorder && IsLandClass(it.Data.ClassFlag)) ||
          (it.Data.ItemKind == gitLake && IsLakeClass(it.Data.ClassFlag)))
        areas.push_back(&it);
    std::stable_sort(areas.begin(), areas.end(), [](const TItem* a, const TItem* b) {
      return AreaOrder(a->Data.ClassFlag) < AreaOrder(b->Data.ClassFlag);
    });
    for (const TItem* it : areas) {
      std::vector<QPoint> pts = toPixels(Polygon(it->Hit.Entry), it->Hit.Shift);
      if (pts.size() < 3) continue;
      lp.setBrush(ColorToQColor(IsLandClass(it->Data.ClassFlag) ? FStyle.Land : FStyle.Lake));
      lp.drawPolygon(pts.data(), int(pts.size()), Qt::OddEvenFill);
    }
  }

  QPainter& P = *Canvas.Painter();
  P.save();
  P.setClipRect(mapRect);
  P.setCompositionMode(QPainter::CompositionMode_Multiply);
  P.drawImage(mapRect.topLeft(), layer, mapRect);
  P.setCompositionMode(QPainter::CompositionMode_SourceOver);
  P.setRenderHint(QPainter::Antialiasing, true);
  P.setBrush(Qt::NoBrush);

  auto pen = [&](TColor c, double w, Qt::PenStyle s = Qt::SolidLine) {
    QPen p(ColorToQColor(c), w, s, Qt::RoundCap, Qt::RoundJoin);
    P.setPen(p);
  };
  for (const TItem& it : items) {
    uint8_t c = it.Data.ClassFlag;
    if (it.Data.ItemKind != gitRiver || !IsRiverClass(c)) continue;
    int level = c - wcRiver;
    if (level > 4 || (level > 2 && !detail)) continue;  // intermittent rivers and canals left out
    pen(FStyle.River, level <= 1 ? 1.2 : 0.8);
    drawLine(P, it, false);
  }
  for (const TItem& it : items) {
    uint8_t c = it.Data.ClassFlag;
    if (it.Data.ItemKind == gitLake && IsLakeClass(c)) {
      pen(FStyle.LakeShore, 0.8);
      drawLine(P, it, true);
    } else if (it.Data.ItemKind == gitBorder && IsLandClass(c)) {
      pen(FStyle.Coast, 1.0);
      drawLine(P, it, true);
    }
  }
  for (const TItem& it : items) {
    uint8_t c = it.Data.ClassFlag;
    if (it.Data.ItemKind != gitBorder || !IsBorderClass(c)) continue;
    if (c == wcBorder + 1) pen(FStyle.Border, 1.2, Qt::DashLine);
    else if (c == wcBorder + 2 && detail) pen(FStyle.Border, 0.7, Qt::DotLine);
    else continue;
    drawLine(P, it, it.Data.Closed);
  }

  // Capitals: dots first, then captions where they do not cover another caption.
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(std::max(6, FStyle.CaptionPixels));
  P.setFont(font);
  const QFontMetrics fm(font);
  auto DotBox = [](QPoint at) { return QRect(at.x() - 4, at.y() - 4, 9, 9); };
  std::vector<QRect> placed;
  if (LatStep > 0 && (G.LatHigh - G.LatLow) / LatStep < 1000)
    for (double lat = std::trunc(G.LatLow / LatStep) * LatStep; lat < G.LatHigh; lat += LatStep) {
      int y = G.Row(lat);
      if (y <= kMargin || y >= G.Hgt - kMargin) continue;
      placed.push_back(QRect(kMargin, y - 10, 90, 20));
      placed.push_back(QRect(G.Wid - kMargin - 90, y - 10, 90, 20));
    }
  std::vector<std::pair<QPoint, QString>> cities;
  for (const TItem& it : items)
    if (it.Data.ItemKind == gitCity && it.Data.ClassFlag == wcCapital) {
      const TgdbPolygon& p = Polygon(it.Hit.Entry);
      if (p.empty()) continue;
      QPoint at(G.Col(p[0].Longit + it.Hit.Shift), G.Row(p[0].Latit));
      if (!mapRect.contains(at)) continue;
      cities.push_back({at, QString::fromStdString(it.Data.Name.str()).trimmed()});
    }
  P.setPen(QPen(Qt::white, 1));
  P.setBrush(ColorToQColor(FStyle.City));
  for (const auto& [at, name] : cities) {
    P.drawEllipse(QPointF(at), 3.5, 3.5);
    placed.push_back(DotBox(at));
  }
  for (const auto& [at, name] : cities) {
    QRect box = fm.boundingRect(name);
    box.moveTo(0, 0);
    box.adjust(-1, -1, 1, 1);
    const QPoint offsets[] = {{6, -box.height() / 2}, {-6 - box.width(), -box.height() / 2},
                              {-box.width() / 2, -box.height() - 4}, {-box.width() / 2, 4}};
    for (QPoint o : offsets) {
      QRect r = box.translated(at + o);
      if (!mapRect.contains(r)) continue;
      const QRect ownDot = DotBox(at);
      bool free = std::none_of(placed.begin(), placed.end(), [&](const QRect& q) {
        return q.intersects(r) && q != ownDot;
      });
      if (!free) continue;
      placed.push_back(r);
      QPainterPath path;
      path.addText(QPointF(r.left() + 1, r.top() + 1 + fm.ascent()), font, name);
      P.strokePath(path, QPen(QColor(255, 255, 255, 200), 3, Qt::SolidLine, Qt::RoundCap,
                              Qt::RoundJoin));
      P.fillPath(path, ColorToQColor(FStyle.Caption));
      break;
    }
  }
  P.restore();
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
