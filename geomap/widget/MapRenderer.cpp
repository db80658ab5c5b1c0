#include "MapRenderer.h"

#include <algorithm>
#include <climits>
#include <deque>
#include <cmath>
#include <cstdlib>

#include "CaptionPlacer.h"
#include "Grids.h"
#include "LandMarkImageCache.h"
#include "MathUtils.h"
#include "SLine.h"
#include "SymbolDrawing.h"

namespace vek {

namespace {

// Pixel arithmetic of runaway fits stays far inside int32.
constexpr double PixelLimit = 1e8;

double ClampPixel(double V) { return std::clamp(V, -PixelLimit, PixelLimit); }

TPoint ToControl(const TMapViewport& View, double X, double Y) {
  double cx, cy;
  View.ImageToControl(X, Y, cx, cy);
  return TPoint{RoundToInt(ClampPixel(cx)), RoundToInt(ClampPixel(cy))};
}

// UTM coordinates of a position in the map's own zone, so that all four corners of a map
// near a zone boundary share one grid; the zone of the position itself without one.
void UTMInMapZone(const TCalibData& D, const TCoords& P, double& E, double& N) {
  constexpr double Scale = 0.9996, FalseEasting = 500000.0, FalseNorthingSouth = 10000000.0;
  if (D.UTMZone < 1 || D.UTMZone > 60) {
    int zone;
    LatLongToUTM(P.Latit, P.Longit, D.Ellipsoid, zone, E, N);
    return;
  }
  double x, y;
  LatLongToTM(DegToRad(P.Latit), DegToRad(P.Longit), UTMCentralMeridian(D.UTMZone),
              D.Ellipsoid, x, y);
  E = x * Scale + FalseEasting;
  N = y * Scale + (D.UTMSouth ? FalseNorthingSouth : 0.0);
}

void DrawPolyline(TCanvas& C, const TPolyline& L) {
  if (L.size() >= 2) C.Polyline(L);
}

}  // namespace

// ---- geometry ----

double GraticuleSpacing(double Extent, double FixedDist) {
  if (FixedDist > 0 && std::isfinite(FixedDist)) return FixedDist;
  double e = std::fabs(Extent);
  if (!(e > 0) || !std::isfinite(e)) return 0;
  double g = 1;
  while (e < 1) {
    e *= 10;
    g *= 10;
  }
  return 1 / g;
}

std::vector<double> GridLineValues(double Lo, double Hi, double Spacing) {
  std::vector<double> values;
  if (!(Spacing > 0) || !std::isfinite(Lo) || !std::isfinite(Hi)) return values;
  const double first = std::trunc(Lo / Spacing) * Spacing;
  if ((Hi - first) / Spacing > MaxGridLines) return values;
  // Each value from the first by multiplication, so that long runs do not drift.
  for (int k = 0;; ++k) {
    const double v = first + k * Spacing;
    if (!(v < Hi)) break;
    values.push_back(v);
  }
  return values;
}

void GraticuleSteps(TCalibModel Model, int& ParallelSteps, int& MeridianSteps) {
  switch (Model) {
    case cmConicConformal: ParallelSteps = 100; MeridianSteps = 1; break;
    case cmEquiRect:
    case cmUTM: ParallelSteps = MeridianSteps = 10; break;
    default: ParallelSteps = MeridianSteps = 100; break;
  }
}

TPolyline CalibLineCurve(const TCalibLine& L, const TMapViewport& View, int32_t ImgWidth,
                         int32_t ImgHeight) {
  const int n = std::clamp(L.NumPoints, 0, MaxCalLinePoints);
  if (n < 3) return {};
  const bool parallel = L.LineType == gtlParallel;
  double a, b, c;
  FitCalibLine(L, n, a, b, c);
  if (!std::isfinite(a) || !std::isfinite(b) || !std::isfinite(c)) return {};
  // One point per visible image column (row), and one beyond the last; never beyond the
  // image, where the background shows.
  const int first = parallel ? View.TopLeft.X : View.TopLeft.Y;
  const int start = std::max(first, 0);
  const double limit = std::min(first + (parallel ? View.Width : View.Height) / View.Magnify,
                                double(parallel ? ImgWidth : ImgHeight));
  if (!(start < limit)) return {};
  TPolyline curve;
  curve.reserve(size_t(std::max(0.0, limit - start)) + 2);
  int t = start;
  for (;;) {
    const double v = RoundToInt(ClampPixel(c * double(t) * t + b * t + a));
    curve.push_back(parallel ? ToControl(View, t, v) : ToControl(View, v, t));
    if (!(t < limit)) break;
    ++t;
  }
  return curve;
}

std::vector<TPolyline> CalibLineCurves(const TCalibData& Cal, const TMapViewport& View,
                                       int32_t ImgWidth, int32_t ImgHeight) {
  std::vector<TPolyline> curves;
  const int lines = std::clamp(Cal.NumCalLines, 0, MaxCalLines);
  for (int i = 1; i <= lines; ++i) {
    TPolyline curve = CalibLineCurve(Cal.CalLines[i], View, ImgWidth, ImgHeight);
    if (!curve.empty()) curves.push_back(std::move(curve));
  }
  return curves;
}

std::vector<TPolyline> GraticuleLines(const TMapCalibration& Cal, const TMapViewport& View,
                                      double GratLineDist) {
  const TCornerArray& K = Cal.Data().Corners;
  const double latMin = std::min(K[gcoBottomLeft].Latit, K[gcoBottomRight].Latit);
  const double latMax = std::max(K[gcoTopLeft].Latit, K[gcoTopRight].Latit);
  const double longMin = std::min(K[gcoTopLeft].Longit, K[gcoBottomLeft].Longit);
  const double longMax = std::max(K[gcoTopRight].Longit, K[gcoBottomRight].Longit);
  int nPar, nMer;
  GraticuleSteps(Cal.Model(), nPar, nMer);

  std::vector<TPolyline> lines;
  // A line from (lat0, lon0) to (lat1, lon1) in n equal steps; unplaceable points break it.
  auto addLine = [&](double lat0, double lon0, double lat1, double lon1, int n) {
    TPolyline line;
    for (int j = 0; j <= n; ++j) {
      const double lat = lat0 + (lat1 - lat0) * j / n;
      const double lon = lon0 + (lon1 - lon0) * j / n;
      int x, y;
      if (Cal.CalcPixelCoords(lat, lon, x, y)) {
        line.push_back(View.ImageToControl(TPoint{x, y}));
      } else if (!line.empty()) {
        lines.push_back(std::move(line));
        line.clear();
      }
    }
    if (!line.empty()) lines.push_back(std::move(line));
  };
  const double latSpacing = GraticuleSpacing(latMax - latMin, GratLineDist);
  for (double lat : GridLineValues(latMin, latMax, latSpacing))
    addLine(lat, longMin, lat, longMax, nPar);
  const double longSpacing = GraticuleSpacing(longMax - longMin, GratLineDist);
  for (double lon : GridLineValues(longMin, longMax, longSpacing))
    addLine(latMin, lon, latMax, lon, nMer);
  return lines;
}

std::vector<TSegment> UTMGridLines(const TMapCalibration& Cal, const TMapViewport& View,
                                   int32_t ImgWidth, int32_t ImgHeight, int32_t UTMGridDist) {
  std::vector<TSegment> segments;
  const TCalibData& D = Cal.Data();
  double eTL, nTL, eBL, nBL, eBR, nBR;
  UTMInMapZone(D, D.Corners[gcoTopLeft], eTL, nTL);
  UTMInMapZone(D, D.Corners[gcoBottomLeft], eBL, nBL);
  UTMInMapZone(D, D.Corners[gcoBottomRight], eBR, nBR);
  const double spacing =
      UTMGridDist >= 1 ? UTMGridDist : std::max(1.0, Round125(std::fabs(nTL - nBL) / 10));

  // The image as it lies in the view, cut to the control.
  double l, t, r, b;
  View.ImageToControl(0, 0, l, t);
  View.ImageToControl(ImgWidth, ImgHeight, r, b);
  l = std::max(l, 0.0);
  t = std::max(t, 0.0);
  r = std::min(r, double(View.Width));
  b = std::min(b, double(View.Height));
  if (!(l < r) || !(t < b)) return segments;

  auto add = [&](double x1, double y1, double x2, double y2) {
    double ax, ay, bx, by;
    View.ImageToControl(x1, y1, ax, ay);
    View.ImageToControl(x2, y2, bx, by);
    TSLine line;
    line.LineFrom2Points(ax, ay, bx, by);
    if (line.ClipBox(l, t, r, b, ax, ay, bx, by))
      segments.push_back(TSegment{TPoint{RoundToInt(ax), RoundToInt(ay)},
                                  TPoint{RoundToInt(bx), RoundToInt(by)}});
  };
  for (double n : GridLineValues(nBL, nTL + spacing, spacing)) {
    bool v1, v2;
    const int y1 = Cal.CalcUTMyFromNorthingX(n, 0, v1);
    const int y2 = Cal.CalcUTMyFromNorthingX(n, ImgWidth, v2);
    if (v1 && v2) add(0, y1, ImgWidth, y2);
  }
  for (double e : GridLineValues(eBL, eBR, spacing)) {
    bool v1, v2;
    const int x1 = Cal.CalcUTMxFromEastingY(e, 0, v1);
    const int x2 = Cal.CalcUTMxFromEastingY(e, ImgHeight, v2);
    if (v1 && v2) add(x1, 0, x2, ImgHeight);
  }
  return segments;
}

// ---- drawing ----

void TMapRenderer::DrawCalibMark(TCanvas& C, int X, int Y, TColor Color) {
  auto diamond = [&](int r) {
    C.Polyline({TPoint{X - r, Y}, TPoint{X, Y - r}, TPoint{X + r, Y}, TPoint{X, Y + r},
                TPoint{X - r, Y}});
  };
  C.Pen().SetColor(Color);
  C.MoveTo(X - 8, Y);
  C.LineTo(X + 8, Y);
  C.MoveTo(X, Y - 8);
  C.LineTo(X, Y + 8);
  diamond(8);
  C.Pen().SetColor(0xFFFFFF);
  diamond(9);
  C.Pen().SetColor(Color);
  diamond(10);
}

void TMapRenderer::DrawMarks(TCanvas& C, TColor Color) const {
  const TCalibData& D = FCal.Data();
  const int n = std::clamp(D.NumCalQuads, 0, MaxCalQuads);
  for (int i = 1; i <= n; ++i) {
    const TPoint p = FView.ImageToControl(TPoint{D.CalQuads[i].MapX, D.CalQuads[i].MapY});
    if (NearControl(p, CalibMarkRadius)) DrawCalibMark(C, p.X, p.Y, Color);
  }
}

void TMapRenderer::DrawCalibration(TCanvas& C, const TGraticuleStyle& S) const {
  const TCalibModel model = FCal.Model();
  if (S.Show == sgNone || model == cmUndefined) return;
  const bool lines = S.Show == sgLines || S.Show == sgPointsAndLines;
  const bool points = S.Show == sgPoints || S.Show == sgPointsAndLines;
  const TCalibData& D = FCal.Data();

  if (model == cmParabolicIp) {
    // Each calibration line with its own marks, line by line.
    const int n = std::clamp(D.NumCalLines, 0, MaxCalLines);
    for (int i = 1; i <= n; ++i) {
      const TCalibLine& L = D.CalLines[i];
      if (lines) {
        C.Pen().SetColor(S.LineColor);
        DrawPolyline(C, CalibLineCurve(L, FView, FImgWidth, FImgHeight));
      }
      if (points) {
        const int np = std::clamp(L.NumPoints, 0, MaxCalLinePoints);
        for (int k = 1; k <= np; ++k) {
          const TPoint p = FView.ImageToControl(L.CalPoints[k]);
          if (NearControl(p, CalibMarkRadius)) DrawCalibMark(C, p.X, p.Y, S.PointColor);
        }
      }
    }
    return;
  }

  const bool enough = D.NumCalQuads >= (model == cmBiquadraticPn ? 6 : 3);
  if (enough && lines) {
    C.Pen().SetColor(S.LineColor);
    for (const TPolyline& line : GraticuleLines(FCal, FView, S.GratLineDist))
      DrawPolyline(C, line);
  }
  const bool grid = S.Show == sgUTMGrid || S.Show == sgPointsAndUTMGrid;
  if (enough && model == cmUTM && grid) {
    C.Pen().SetColor(S.LineColor);
    for (const TSegment& s : UTMGridLines(FCal, FView, FImgWidth, FImgHeight, S.UTMGridDist)) {
      C.MoveTo(s[0].X, s[0].Y);
      C.LineTo(s[1].X, s[1].Y);
    }
  }
  if (points || (model == cmUTM && S.Show == sgPointsAndUTMGrid)) DrawMarks(C, S.PointColor);
}

double TMapRenderer::SampleFraction(const PArray<bool, 0, 255>& ClassVisible,
                                    int32_t Limit) const {
  if (FLM.NumLandMarks() <= Limit || Limit <= 0) return 1.0;
  TCornerArray view{};
  const TPoint corners[4] = {{0, 0}, {0, FView.Height}, {FView.Width, FView.Height},
                             {FView.Width, 0}};
  const TCorners order[4] = {gcoTopLeft, gcoBottomLeft, gcoBottomRight, gcoTopRight};
  for (int k = 0; k < 4; ++k) {
    const TPoint p = FView.ControlToImage(corners[k]);
    bool v1, v2;
    view[order[k]] = TCoords{FCal.CalcLatitude(p.X, p.Y, v1), FCal.CalcLongitude(p.X, p.Y, v2)};
  }
  int64_t count = 0;
  for (const TLandMark& lm : FLM.Items())
    if (ClassVisible[lm.ClassFlag] && PositionInMap(lm.Latitude, lm.Longitude, view)) ++count;
  return count > Limit ? double(Limit) / double(count) : 1.0;
}

void TMapRenderer::DrawLandMarks(TCanvas& C, const PArray<bool, 0, 255>& ClassVisible,
                                 int32_t Limit, const TLandMarkHook& Hook) const {
  DrawLandMarks(C, ClassVisible, Limit, Hook, TLandMarkDrawing{});
}

namespace {

// A fixed pseudo-random choice per landmark, so that a sampled view keeps its landmarks.
bool StableSample(int32_t Index, double P) {
  uint64_t z = uint64_t(Index) * 0x9E3779B97F4A7C15ull;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  z ^= z >> 31;
  return double(z >> 11) * (1.0 / 9007199254740992.0) < P;
}

}  // namespace

void TMapRenderer::DrawLandMarks(TCanvas& C, const PArray<bool, 0, 255>& ClassVisible,
                                 int32_t Limit, const TLandMarkHook& Hook,
                                 const TLandMarkDrawing& How) const {
  const double p = SampleFraction(ClassVisible, Limit);
  TLandMarkImageCache local;
  TLandMarkImageCache* cache = How.Cache ? How.Cache : (How.Declutter ? &local : nullptr);
  TSpriteBlitter blit(C);
  std::vector<TCaptionRequest> own;
  std::vector<TCaptionRequest>& captions = How.Captions ? *How.Captions : own;
  std::deque<TLandMark> hooked;

  auto draw = [&](int32_t Index, const TPoint& pt, const TLandMark& lm) {
    const TSymbolProperties& s = lm.SymbolProps;
    if (const TLandMarkSprite* sprite = cache ? cache->Symbol(s, C, Index) : nullptr) {
      blit.Blit(*sprite, pt.X, pt.Y);
    } else {
      DrawLandMarkSymbolOnCanvas(C, pt.X, pt.Y, s);
      blit.Release();
    }
    if (lm.Caption.Text.empty()) return;
    if (How.Declutter) {
      const int32_t reach = s.Kind <= lmUserDef && s.Kind != lmArrowFrom && s.Kind != lmArrowTo
                                ? std::clamp(s.Size, 0, 1 << 16)
                                : 0;
      TCaptionRequest r{Index == How.Highlight ? INT32_MAX : reach, Index, QPoint(pt.X, pt.Y),
                        reach, &lm.Caption, Index, nullptr, QRect(), 0};
      // Looked up here, in list order, rather than when placing in priority order.
      if (CaptionSprite(*cache, C, lm.Caption, Index, r.Anchor, r.Sprite, r.Own)) {
        r.SpriteEpoch = cache->Epoch();
        captions.push_back(r);
      }
      return;
    }
    const int64_t cx = int64_t(pt.X) + lm.Caption.dx, cy = int64_t(pt.Y) + lm.Caption.dy;
    // Randomly sampled views show ever other captions: those are drawn as they come.
    const TLandMarkSprite* sprite = cache && p >= 1.0 && std::llabs(cx) < (1 << 28) && std::llabs(cy) < (1 << 28)
                                        ? cache->Caption(lm.Caption, C, false, Index)
                                        : nullptr;
    if (sprite) {
      blit.Blit(*sprite, int(cx), int(cy));
    } else {
      DrawLandMarkCaption(C, pt.X, pt.Y, lm.Caption);
      blit.Release();
    }
  };

  // The count is read at every step: a hook may add or remove landmarks.
  for (int32_t i = 1; i <= FLM.NumLandMarks(); ++i) {
    const TLandMark& lm = FLM[i];
    if (!ClassVisible[lm.ClassFlag]) continue;
    if (p < 1.0 && !(How.Declutter ? StableSample(i, p) : BRandom(p))) continue;
    int32_t x, y;
    if (!FCal.CalcPixelCoords(lm.Latitude, lm.Longitude, x, y)) continue;
    TPoint pt = FView.ImageToControl(TPoint{x, y});
    if (Hook) {
      // The hook may change the store under the reference; placed captions keep a copy.
      hooked.push_back(lm);
      const TLandMark& copy = hooked.back();
      blit.Release();
      if (Hook(C, pt, copy) || !InsideControl(pt)) continue;
      draw(i, pt, copy);
      if (!How.Declutter) hooked.pop_back();
      continue;
    }
    if (!InsideControl(pt)) continue;
    draw(i, pt, lm);
  }
  if (How.Declutter) {
    TCaptionPlacer placer(FView.Width, FView.Height);
    PlaceCaptions(C, captions, placer, *cache);
    captions.clear();
    if (How.Placed) *How.Placed = placer.Placed();
  }
}

void TMapRenderer::DrawHighlight(TCanvas& C, int32_t Index,
                                 const PArray<bool, 0, 255>& ClassVisible,
                                 const THighlightStyle& Style, const TLandMarkHook& Hook) const {
  if (Index < 1 || Index > FLM.NumLandMarks()) return;
  const TLandMark lm = FLM[Index];
  if (!ClassVisible[lm.ClassFlag]) return;
  int32_t x, y;
  if (!FCal.CalcPixelCoords(lm.Latitude, lm.Longitude, x, y)) return;
  TPoint pt = FView.ImageToControl(TPoint{x, y});
  if (Hook && Hook(C, pt, lm)) return;
  if (!InsideControl(pt)) return;
  const TSymbolProperties& s = lm.SymbolProps;
  DrawLandMarkSymbolOnCanvas(C, pt.X, pt.Y, s.Kind, Style.FG, Style.BG, s.Size, s.Direction,
                             s.Length, Style.Transparent);
}

}  // namespace vek
