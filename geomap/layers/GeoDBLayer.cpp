#include "GeoDBLayer.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <iterator>

#include "CaptionPlacer.h"
#include "LandMarkImageCache.h"
#include "LandMarkStore.h"  // RoundToInt
#include "MathUtils.h"
#include "SymbolDrawing.h"
#include "TGeoDB.h"

namespace vek {

namespace {

// Points the view samples to find its geographic box.
constexpr int SampleSteps = 8;

// RoundToInt of a control coordinate clamped to +-2^22 (halves to even, NaN to 0), inline:
// it runs for every vertex of every frame.
inline int32_t NearPixel(double V) {
  constexpr double Far = 1 << 22;
  if (!(V == V)) return 0;
  V = std::clamp(V, -Far, Far);
  // Adding 1.5 * 2^52 leaves no fraction: the addition rounds as nearbyint does.
  constexpr double Magic = 6755399441055744.0;
  return static_cast<int32_t>((V + Magic) - Magic);
}

// Longitude taken into Centre - 180 ... Centre + 180.
double AroundCentre(double Long, double Centre) {
  return Long - 360.0 * std::floor((Long - Centre + 180.0) / 360.0);
}

// The map's own longitude at the centre of its image.
double CentreLongitude(const TMapCalibration& Cal) {
  bool valid = false;
  const double c = Cal.CalcLongitude(Cal.ImageWidth() / 2, Cal.ImageHeight() / 2, valid);
  return valid && std::isfinite(c) ? c : 0.0;
}

std::string CalibSignature(const TMapCalibration& Cal) {
  // Everything a fit reads; compared as bytes of the numbers and names.
  const TCalibData& D = Cal.Data();
  std::string s;
  auto put = [&](const void* p, size_t n) { s.append(static_cast<const char*>(p), n); };
  const TCalibModel m = Cal.Model();
  const int w = Cal.ImageWidth(), h = Cal.ImageHeight();
  put(&m, sizeof m);
  put(&w, sizeof w);
  put(&h, sizeof h);
  const TCalibParams& P = Cal.Params();
  for (int i = 1; i <= 2; ++i) {
    for (int j = 1; j <= 3; ++j) put(&P.EquRectSPPL[i][j], sizeof(double));
    for (int j = 1; j <= 6; ++j) put(&P.CalParsSPPL[i][j], sizeof(double));
    for (int j = 1; j <= 2; ++j) put(&P.MillercylPar[i][j], sizeof(double));
  }
  for (int j = 1; j <= 6; ++j) put(&P.ConicPars[j], sizeof(double));
  put(&P.ConicPoleSide, sizeof(double));
  for (int k = 0; k < 4; ++k) put(&D.Corners[TCorners(k)], sizeof(TCoords));
  put(&D.NumCalLines, sizeof D.NumCalLines);
  for (int i = 1; i <= std::clamp(D.NumCalLines, 0, MaxCalLines); ++i) {
    const TCalibLine& L = D.CalLines[i];
    put(&L.LineType, sizeof L.LineType);
    put(&L.LineValue, sizeof L.LineValue);
    put(&L.NumPoints, sizeof L.NumPoints);
    for (int k = 1; k <= std::clamp(L.NumPoints, 0, MaxCalLinePoints); ++k)
      put(&L.CalPoints[k], sizeof(TPoint));
  }
  put(&D.NumCalQuads, sizeof D.NumCalQuads);
  for (int i = 1; i <= std::clamp(D.NumCalQuads, 0, MaxCalQuads); ++i)
    put(&D.CalQuads[i], sizeof(TCalQuad));
  put(&D.UTMZone, sizeof D.UTMZone);
  put(&D.UTMSouth, sizeof D.UTMSouth);
  put(&D.Ellipsoid, sizeof D.Ellipsoid);
  return s;
}

TDBItemStyle LineStyle(TColor Color, int Width = 1) {
  TDBItemStyle s;
  s.LineColor = Color;
  s.LineWidth = Width;
  return s;
}

TDBItemStyle AreaStyle(TColor Line, TColor Fill) {
  TDBItemStyle s = LineStyle(Line);
  s.Fill = true;
  s.FillColor = Fill;
  return s;
}

}  // namespace

TDBItemStyle TGeoDBLayer::DefaultStyle(TgdbItem Kind) {
  switch (Kind) {
    case gitBorder: return LineStyle(0x800080);
    case gitCity: return AreaStyle(0x2020A0, 0x9090E0);
    case gitLake: return AreaStyle(0xA06020, 0xF0D0A0);
    case gitRiver: return LineStyle(0xD08020);
    case gitRoad: return LineStyle(0x0050B0);
    case gitRoute: return LineStyle(0x208020);
    case gitTown: {
      TDBItemStyle s;
      s.Symbol = TSymbolProperties{lmSquare, 2, 0x000000, 0xFFFFFF, false, 0, 0};
      s.Caption.Size = 8;
      s.Caption.FontName = "DejaVu Sans";
      s.Caption.FGColor = 0x000000;
      s.Caption.BGColor = 0xFFFFFF;
      s.Caption.Transparent = true;
      s.Caption.dx = 4;
      s.Caption.dy = -7;
      return s;
    }
    default: {
      TDBItemStyle s;
      s.Visible = false;  // file contents have no shape to draw
      return s;
    }
  }
}

TGeoDBLayer::TGeoDBLayer(TGeoDB* DB) : FDB(DB) {
  for (int k = 0; k < int(FKindStyles.size()); ++k) FKindStyles[k] = DefaultStyle(TgdbItem(k));
}

void TGeoDBLayer::SetDB(TGeoDB* DB) {
  FDB = DB;
  Invalidate();
}

TDBItemStyle& TGeoDBLayer::KindStyle(TgdbItem Kind) {
  return FKindStyles[std::min<size_t>(Kind, FKindStyles.size() - 1)];
}

void TGeoDBLayer::SetClassStyle(TgdbItem Kind, uint8_t Class, const TDBItemStyle& Style) {
  FClassStyles[{uint8_t(Kind), Class}] = Style;
}

const TDBItemStyle& TGeoDBLayer::StyleOf(TgdbItem Kind, uint8_t Class) const {
  if (!FClassStyles.empty()) {
    const auto it = FClassStyles.find({uint8_t(Kind), Class});
    if (it != FClassStyles.end()) return it->second;
  }
  return FKindStyles[std::min<size_t>(Kind, FKindStyles.size() - 1)];
}

void TGeoDBLayer::Invalidate() {
  FItems.clear();
  FBriefs.clear();
  ++FSourceEpoch;
  FDBSignature.clear();
}

void TGeoDBLayer::CheckSources(const TMapCalibration& Cal) {
  std::string cal = CalibSignature(Cal);
  if (cal != FCalSignature) {
    for (TItem& it : FItems)
      for (auto& shape : it.Shapes) shape.reset();
    FCalSignature = std::move(cal);
    ++FSourceEpoch;
  }
  std::string db = FDB ? FDB->DBName() + '\n' + std::to_string(FDB->NumEntries()) + '\n' +
                             std::to_string(FDB->Revision())
                       : std::string();
  if (db != FDBSignature) {
    FItems.clear();
    FBriefs.clear();
    ++FSourceEpoch;
    FDBSignature = std::move(db);
  }
}

bool TGeoDBLayer::ViewBox(const TMapCalibration& Cal, const TMapViewport& View, TViewBox& Box) {
  if (View.Width <= 0 || View.Height <= 0) return false;
  const double centre = CentreLongitude(Cal);
  double latLo = 1e9, latHi = -1e9, lonLo = 1e9, lonHi = -1e9;
  for (int i = 0; i <= SampleSteps; ++i)
    for (int j = 0; j <= SampleSteps; ++j) {
      const TPoint img = View.ControlToImage(
          TPoint{View.Width * i / SampleSteps, View.Height * j / SampleSteps});
      bool v1 = false, v2 = false;
      const double lat = Cal.CalcLatitude(img.X, img.Y, v1);
      const double lon = Cal.CalcLongitude(img.X, img.Y, v2);
      if (!v1 || !v2 || !std::isfinite(lat) || !std::isfinite(lon)) continue;
      const double l = AroundCentre(lon, centre);
      latLo = std::min(latLo, lat);
      latHi = std::max(latHi, lat);
      lonLo = std::min(lonLo, l);
      lonHi = std::max(lonHi, l);
    }
  if (latLo > latHi) return false;
  // Curved edges bulge between the samples: widen the box by a share of its size.
  const double latPad = (latHi - latLo) / SampleSteps + 1e-6;
  const double lonPad = (lonHi - lonLo) / SampleSteps + 1e-6;
  Box.LatLo = std::max(-90.0, latLo - latPad);
  Box.LatHi = std::min(90.0, latHi + latPad);
  Box.LongLo = lonLo - lonPad;
  Box.LongHi = lonHi + lonPad;
  return true;
}

std::vector<int32_t> TGeoDBLayer::EntriesInView(const TGeoDB& DB, const TMapCalibration& Cal,
                                                const TMapViewport& View) {
  std::vector<int32_t> found;
  TViewBox box;
  if (!ViewBox(Cal, View, box)) return found;
  // Items are stored with longitudes in -180 ... 180 or, when they cross the antimeridian,
  // running on beyond it: the box is looked up one turn to the west and east as well.
  std::vector<int32_t> merged;
  for (double shift : {-360.0, 0.0, 360.0}) {
    std::vector<int32_t> part =
        DB.FindItemsInArea(box.LatLo, box.LatHi, box.LongLo + shift, box.LongHi + shift);
    if (part.empty()) continue;
    if (found.empty()) {
      found = std::move(part);  // ascending already
      continue;
    }
    // Both ascending: merged in one pass, each entry once.
    merged.clear();
    merged.reserve(found.size() + part.size());
    std::set_union(found.begin(), found.end(), part.begin(), part.end(),
                   std::back_inserter(merged));
    found.swap(merged);
  }
  return found;
}

const TGeoDBLayer::TBrief& TGeoDBLayer::Brief(int32_t Entry) {
  if (size_t(Entry) >= FBriefs.size()) FBriefs.resize(size_t(Entry) + 1);
  TBrief& b = FBriefs[size_t(Entry)];
  if (!b.Read) {
    const TgdbData& d = Item(Entry).Data;
    b = TBrief{d.LatLow, d.LatHigh, d.LongLow, d.LongHigh, uint8_t(d.ItemKind), d.ClassFlag, true};
  }
  return b;
}

TGeoDBLayer::TItem& TGeoDBLayer::Item(int32_t Entry) {
  if (size_t(Entry) >= FItems.size()) FItems.resize(size_t(Entry) + 1);
  TItem& it = FItems[size_t(Entry)];
  if (!it.RecordRead) {
    it.Data = FDB->Data(Entry);
    it.RecordRead = true;
  }
  return it;
}

TGeoDBLayer::TGeometry& TGeoDBLayer::Geometry(int32_t Entry, TItem& It,
                                              const TMapCalibration& Cal, int Turns) {
  std::unique_ptr<TGeometry>& shape = It.Shapes[size_t(std::clamp(Turns, -1, 1) + 1)];
  if (shape) return *shape;
  shape = std::make_unique<TGeometry>();
  TGeometry& g = *shape;
  const TgdbPolygon* polygon = Polygon(Entry, It);
  if (!polygon) return g;
  // One batch per item: every vertex through the calibration once, kept in image pixels.
  g.Points.reserve(polygon->size());
  double l = 1e300, t = 1e300, r = -1e300, b = -1e300;
  // Unrounded pixels keep magnified views smooth where the model has them in degrees.
  const TCalibModel model = Cal.Model();
  const bool exact =
      model == cmEquiRect || model == cmBiquadraticPn || model == cmMillerCylindrical;
  bool broken = false;
  double prev = 0;
  bool first = true;
  for (const TSCoords& p : *polygon) {
    // Longitudes follow on from the vertex before, whichever way the item was stored.
    double lon = p.Longit;
    if (!first) lon = prev + AroundCentre(lon - prev, 0);
    first = false;
    prev = lon;
    double x = 0, y = 0;
    bool placed = std::isfinite(p.Latit) && std::isfinite(lon);
    if (placed && exact) {
      placed = Cal.GeoToPixel(p.Latit, lon + 360.0 * Turns, x, y) && std::isfinite(x) &&
               std::isfinite(y) && std::fabs(x) < 1e8 && std::fabs(y) < 1e8;
    } else if (placed) {
      int ix, iy;
      placed = Cal.CalcPixelCoords(p.Latit, lon + 360.0 * Turns, ix, iy);
      x = ix;
      y = iy;
    }
    if (!placed) {
      broken = true;
      continue;
    }
    if (broken && !g.Points.empty() &&
        (g.RunEnds.empty() || g.RunEnds.back() != int32_t(g.Points.size())))
      g.RunEnds.push_back(int32_t(g.Points.size()));
    broken = false;
    g.Points.emplace_back(x, y);
    l = std::min(l, x);
    t = std::min(t, y);
    r = std::max(r, x);
    b = std::max(b, y);
  }
  if (g.Points.empty()) return g;
  g.RunEnds.push_back(int32_t(g.Points.size()));
  g.Bounds = QRectF(QPointF(l, t), QPointF(r, b));
  g.Empty = false;
  return g;
}

const TgdbPolygon* TGeoDBLayer::Polygon(int32_t Entry, TItem& info) {
  if (!info.PointsRead) {
    info.PointsRead = true;
    // An item whose data cannot be read (a damaged file) is left out; painting goes on.
    bool read = false;
    try {
      read = IsPolygonKind(info.Data.ItemKind) && FDB->RetrievePolygon(Entry, info.Points);
    } catch (const EVEKError&) {
      info.Points.clear();
    }
    if (read && !info.Points.empty()) {
      // The longitudes the item covers once its vertices follow on from each other.
      double prev = info.Points.front().Longit, lo = prev, hi = prev;
      for (const TSCoords& p : info.Points) {
        if (!std::isfinite(p.Longit)) continue;
        prev = prev + AroundCentre(p.Longit - prev, 0);
        lo = std::min(lo, prev);
        hi = std::max(hi, prev);
      }
      info.LongLo = lo;
      info.LongHi = hi;
      info.Valid = std::isfinite(lo) && std::isfinite(hi);
    }
  }
  return info.Valid ? &info.Points : nullptr;
}

std::string TGeoDBLayer::VisibilitySignature() const {
  std::string v;
  for (const TDBItemStyle& st : FKindStyles) v.push_back(st.Visible ? '1' : '0');
  for (const auto& [key, st] : FClassStyles) {
    v.push_back(char(key.first));
    v.push_back(char(key.second));
    v.push_back(st.Visible ? '1' : '0');
  }
  return v;
}

void TGeoDBLayer::Draw(TCanvas& C, const TLayerFrame& F) {
  FStats = TFrameStats{};
  FFrameCaptions.clear();
  // A calibration still being made places items anywhere: nothing is drawn until it can.
  if (!FDB || FDB->NumEntries() <= 0 || !F.Cal.HasEnoughPoints()) return;
  CheckSources(F.Cal);
  std::string visible = VisibilitySignature();
  const TMapViewport& view = F.View;
  TViewSteps& v = FView;
  if (!v.Valid || v.Epoch != FSourceEpoch || !(v.TopLeft == view.TopLeft) ||
      v.Magnify != view.Magnify || v.Width != view.Width || v.Height != view.Height ||
      v.Visible != visible) {
    BuildSteps(F.Cal, view);
    v.Valid = true;
    v.Epoch = FSourceEpoch;
    v.TopLeft = view.TopLeft;
    v.Magnify = view.Magnify;
    v.Width = view.Width;
    v.Height = view.Height;
    v.Visible = std::move(visible);
  }
  FStats.Found = v.Found;
  TSpriteBlitter blit(C);
  C.Pen().SetMode(pmCopy);
  C.Pen().SetStyle(psSolid);
  int32_t run = 0;
  for (const TStep& step : v.Steps) {
    const TDBItemStyle& st = StyleOf(TgdbItem(step.Kind), step.Class);
    switch (step.What) {
      case TStep::Skipped:
        ++FStats.Skipped;
        break;
      case TStep::Town: {
        const TgdbData& d = Item(step.Entry).Data;
        const double lat = (double(d.LatLow) + d.LatHigh) / 2;
        const double lon = (double(d.LongLow) + d.LongHigh) / 2;
        DrawTown(C, F, blit, step.Entry, d, st, lat, lon + 360.0 * step.Turn);
        break;
      }
      case TStep::Shape: {
        const int32_t runs = run;
        run = step.RunsEnd;
        blit.Release();
        const double lw = st.LineWidth;
        if (step.Right < -lw || step.Bottom < -lw || step.Left > view.Width + lw ||
            step.Top > view.Height + lw)
          break;
        DrawShape(C, step, st, runs);
        break;
      }
    }
  }
  C.Pen().SetWidth(1);
}

void TGeoDBLayer::BuildSteps(const TMapCalibration& Cal, const TMapViewport& View) {
  TViewSteps& v = FView;
  v.Steps.clear();
  v.Points.clear();
  v.RunEnds.clear();
  v.Found = 0;
  TViewBox box;
  if (!ViewBox(Cal, View, box)) return;
  const std::vector<int32_t> entries = EntriesInView(*FDB, Cal, View);
  // The turns round the globe (-1, 0, 1) that bring longitudes lo ... hi into the view.
  auto turns = [&](double lo, double hi, int out[3]) {
    int n = 0;
    for (int k = -1; k <= 1; ++k)
      if (hi + 360.0 * k >= box.LongLo && lo + 360.0 * k <= box.LongHi) out[n++] = k;
    return n;
  };
  v.Found = int32_t(entries.size());
  // Control pixels per degree, roughly, over the view.
  const double pxPerLong = View.Width / std::max(box.LongHi - box.LongLo, 1e-9);
  const double pxPerLat = View.Height / std::max(box.LatHi - box.LatLo, 1e-9);
  const int32_t numEntries = FDB->NumEntries();
  for (int32_t e : entries) {
    if (e < 1 || e > numEntries) continue;
    const TBrief& b = Brief(e);
    if (!StyleOf(TgdbItem(b.Kind), b.Class).Visible) continue;
    TStep step;
    step.Entry = e;
    step.Kind = b.Kind;
    step.Class = b.Class;
    // The record's box tells most tiny items without reading their vertices.
    if (b.Kind != gitTown && (double(b.LongHigh) - b.LongLow) * pxPerLong < 0.5 &&
        (double(b.LatHigh) - b.LatLow) * pxPerLat < 0.5) {
      step.What = TStep::Skipped;
      v.Steps.push_back(step);
      continue;
    }
    TItem& item = Item(e);
    const TgdbData& d = item.Data;
    int k[3];
    if (d.ItemKind == gitTown) {
      const double lon = (double(d.LongLow) + d.LongHigh) / 2;
      const int n = turns(lon, lon, k);
      step.What = TStep::Town;
      for (int i = 0; i < n; ++i) {
        step.Turn = int8_t(k[i]);
        v.Steps.push_back(step);
      }
      continue;
    }
    if (!Polygon(e, item)) continue;
    const int n = turns(item.LongLo, item.LongHi, k);
    for (int i = 0; i < n; ++i) AddShape(e, item, Cal, View, k[i], step);
  }
}

void TGeoDBLayer::DrawTown(TCanvas& C, const TLayerFrame& F, TSpriteBlitter& Blit, int32_t Entry,
                           const TgdbData& d, const TDBItemStyle& st, double Lat, double Long) {
  const TMapViewport& view = F.View;
  int x, y;
  if (!F.Cal.CalcPixelCoords(Lat, Long, x, y)) return;
  const TPoint p = view.ImageToControl(TPoint{x, y});
  if (p.X <= 0 || p.Y <= 0 || p.X >= view.Width || p.Y >= view.Height) return;
  const TLandMarkSprite* s = F.Images ? F.Images->Symbol(st.Symbol, C) : nullptr;
  if (s) {
    Blit.Blit(*s, p.X, p.Y);
  } else {
    DrawLandMarkSymbolOnCanvas(C, p.X, p.Y, st.Symbol);
    Blit.Release();
  }
  ++FStats.Drawn;
  if (st.Caption.Size == 0 || d.Name.empty()) return;
  TLMTextProperties cap = st.Caption;
  cap.Text.SetAnsi(std::string_view(d.Name.Chars, d.Name.Len));
  if (F.Captions) {
    FFrameCaptions.push_back(cap);
    F.Captions->push_back(TCaptionRequest{CaptionPriority, (int64_t(1) << 40) + Entry,
                                          QPoint(p.X, p.Y), std::max(st.Symbol.Size, 0),
                                          &FFrameCaptions.back(), -1, nullptr, QRect(), 0});
  } else if (const TLandMarkSprite* cs = F.Images ? F.Images->Caption(cap, C) : nullptr) {
    Blit.Blit(*cs, p.X + cap.dx, p.Y + cap.dy);
  } else {
    DrawLandMarkCaption(C, p.X, p.Y, cap);
    Blit.Release();
  }
}

void TGeoDBLayer::AddShape(int32_t e, TItem& item, const TMapCalibration& Cal,
                           const TMapViewport& view, int Turns, TStep step) {
  const double mag = view.Magnify;
  TGeometry& g = Geometry(e, item, Cal, Turns);
  if (g.Empty) return;
  // Items smaller than a pixel at this magnification show nothing worth drawing.
  const double w = g.Bounds.width() * mag;
  const double h = g.Bounds.height() * mag;
  if (w < 1 && h < 1) {
    step.What = TStep::Skipped;
    FView.Steps.push_back(step);
    return;
  }
  view.ImageToControl(g.Bounds.left(), g.Bounds.top(), step.Left, step.Top);
  view.ImageToControl(g.Bounds.right(), g.Bounds.bottom(), step.Right, step.Bottom);
  if (g.LodMag != mag) {
    // Vertices closer than a control pixel to the one kept before are merged into it;
    // panning at one magnification reuses the result.
    g.Lod.clear();
    g.LodRunEnds.clear();
    int32_t from = 0;
    for (int32_t end : g.RunEnds) {
      for (int32_t k = from; k < end; ++k) {
        const QPointF& p = g.Points[size_t(k)];
        if (k == from || k == end - 1 || std::fabs(p.x() - g.Lod.back().x()) * mag >= 1 ||
            std::fabs(p.y() - g.Lod.back().y()) * mag >= 1)
          g.Lod.push_back(p);
      }
      g.LodRunEnds.push_back(int32_t(g.Lod.size()));
      from = end;
    }
    g.LodMag = mag;
  }
  // Control pixels; a vertex on the same pixel as the one before is merged into it.
  std::vector<TPoint>& out = FView.Points;
  const double tx = view.TopLeft.X, ty = view.TopLeft.Y;
  int32_t from = 0;
  for (int32_t end : g.LodRunEnds) {
    const size_t first = out.size();
    for (const QPointF *q = g.Lod.data() + from, *qe = g.Lod.data() + end; q != qe; ++q) {
      // As ImageToControl; far-off vertices are pulled in to where the rasteriser's fixed
      // point still holds.
      const TPoint p{NearPixel((q->x() - tx) * mag), NearPixel((q->y() - ty) * mag)};
      if (out.size() == first || p.X != out.back().X || p.Y != out.back().Y) out.push_back(p);
    }
    FView.RunEnds.push_back(int32_t(out.size()));
    from = end;
  }
  step.What = TStep::Shape;
  step.Closed = item.Data.Closed;
  step.RunsEnd = int32_t(FView.RunEnds.size());
  FView.Steps.push_back(step);
}

void TGeoDBLayer::DrawShape(TCanvas& C, const TStep& step, const TDBItemStyle& st,
                            int32_t FirstRun) {
  ++FStats.Drawn;
  C.Pen().SetColor(st.LineColor);
  C.Pen().SetWidth(st.LineWidth);
  const bool fill = st.Fill && step.Closed && step.RunsEnd - FirstRun == 1;
  int32_t start = FirstRun > 0 ? FView.RunEnds[size_t(FirstRun) - 1] : 0;
  for (int32_t r = FirstRun; r < step.RunsEnd; ++r) {
    const int32_t end = FView.RunEnds[size_t(r)];
    FRun.assign(FView.Points.begin() + start, FView.Points.begin() + end);
    start = end;
    FStats.Vertices += int64_t(FRun.size());
    if (fill && FRun.size() >= 3) {
      C.Brush().SetStyle(bsSolid);
      C.Brush().SetColor(st.FillColor);
      C.Polygon(FRun);
    } else if (FRun.size() >= 2) {
      if (step.Closed && FRun.size() >= 3) FRun.push_back(FRun.front());
      C.Polyline(FRun);
    }
  }
  C.Pen().SetWidth(1);
}

}  // namespace vek
