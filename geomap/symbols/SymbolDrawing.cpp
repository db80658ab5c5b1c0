#include "SymbolDrawing.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "MathUtils.h"

namespace vek {

namespace {

constexpr int kFar = 1 << 28;
constexpr int kMaxReach = 1 << 20;

// Nearest integer, halves to the even neighbour.
int Rnd(double v) { return int(std::nearbyint(v)); }

struct Line {
  TPoint A, B;
};

void DrawLine(TCanvas& c, TPoint a, TPoint b) {
  c.MoveTo(a.X, a.Y);
  c.LineTo(b.X, b.Y);
}

// The lines in BGColor, shifted by each of the nine offsets -1 ... 1 in x and y.
void Halo(TCanvas& c, const Line* lines, int n, TColor color) {
  c.Pen().SetColor(color);
  for (int i = -1; i <= 1; ++i)
    for (int j = -1; j <= 1; ++j)
      for (int k = 0; k < n; ++k)
        DrawLine(c, {lines[k].A.X + i, lines[k].A.Y + j}, {lines[k].B.X + i, lines[k].B.Y + j});
}

void Fill(TCanvas& c, TColor color) {
  c.Brush().SetColor(color);
  c.Brush().SetStyle(bsSolid);
}

// A corner at distance r from (x, y) in the direction a (radians, clockwise from up). The
// offset is rounded on its own, so that a symbol has the same shape wherever it stands.
TPoint Polar(int x, int y, double r, double a) {
  return {x + Rnd(r * std::sin(a)), y + Rnd(-r * std::cos(a))};
}

// A filled square with a frame: the frame in the background colour first, so that a
// symbol shows on any map.
void OpaqueSquare(TCanvas& C, int x, int y, int c, TColor FG, TColor BG) {
  const TPoint square[5] = {{x - c, y - c}, {x - c, y + c}, {x + c, y + c}, {x + c, y - c}, {x - c, y - c}};
  C.Pen().SetColor(BG);
  C.Polyline(square, 5);
  C.Pen().SetColor(FG);
  Fill(C, BG);
  C.Rectangle(x - c + 1, y - c + 1, x + c, y + c);
}

// A shaft from Tail to Tip and a head at Tip between Side1 and Side2, in the pen's colour.
void Arrow(TCanvas& C, TPoint Tail, TPoint Tip, TPoint Side1, TPoint Side2, TColor BG,
           bool Transparent) {
  if (Transparent) {
    DrawLine(C, Tail, Tip);
    DrawLine(C, Tip, Side1);
    DrawLine(C, Tip, Side2);
  } else {
    Fill(C, BG);
    DrawLine(C, Tail, Tip);
    C.Polygon({Tip, Side1, Side2});
  }
}

}  // namespace

void DrawLandMarkSymbolOnCanvas(TCanvas& C, int x, int y, TLandMarkElement Kind, TColor FG,
                                TColor BG, int c, int Direction, int Length, bool Transparent) {
  // Sizes and positions may come from files: keep the corner arithmetic clear of overflow.
  // Nothing this far out can touch a canvas.
  if (std::abs(int64_t(x)) > kFar || std::abs(int64_t(y)) > kFar) return;
  c = std::clamp(c, -kMaxReach, kMaxReach);
  Length = std::clamp(Length, -kMaxReach, kMaxReach);
  const double theta = DegToRad(Direction % 360);
  switch (Kind) {
    case lmPlus: {
      const Line lines[2] = {{{x, y - c}, {x, y + c + 1}}, {{x - c, y}, {x + c + 1, y}}};
      if (!Transparent) Halo(C, lines, 2, BG);
      C.Pen().SetColor(FG);
      for (const Line& l : lines) DrawLine(C, l.A, l.B);
      break;
    }
    case lmSquare: {
      if (Transparent) {
        const TPoint square[5] = {{x - c, y - c}, {x - c, y + c}, {x + c, y + c}, {x + c, y - c}, {x - c, y - c}};
        C.Pen().SetColor(FG);
        C.Polyline(square, 5);
        break;
      }
      OpaqueSquare(C, x, y, c, FG, BG);
      break;
    }
    case lmTriangle: {
      const TPoint p[4] = {Polar(x, y, c, theta), Polar(x, y, c, theta + DegToRad(120)),
                           Polar(x, y, c, theta - DegToRad(120)), Polar(x, y, c, theta)};
      C.Pen().SetColor(FG);
      if (Transparent) {
        C.Polyline(p, 4);
      } else {
        Fill(C, BG);
        C.Polygon(p, 3);
      }
      break;
    }
    case lmCircle:
      C.Pen().SetColor(FG);
      Fill(C, BG);
      if (Transparent) C.Brush().SetStyle(bsClear);
      C.Ellipse(x - c, y - c, x + c, y + c);
      break;
    case lmArrowFrom: {
      const TPoint t = Polar(x, y, Length, theta);
      // The head at the tip, its sides pointing back along the shaft.
      const TPoint a1{t.X - Rnd(c * std::sin(theta + DegToRad(20))), t.Y + Rnd(c * std::cos(theta + DegToRad(20)))};
      const TPoint a2{t.X - Rnd(c * std::sin(theta - DegToRad(20))), t.Y + Rnd(c * std::cos(theta - DegToRad(20)))};
      C.Pen().SetColor(FG);
      Arrow(C, {x, y}, t, a1, a2, BG, Transparent);
      break;
    }
    case lmArrowTo: {
      const TPoint t = Polar(x, y, Length, theta);
      // The head at the landmark, its sides pointing out along the shaft.
      const TPoint b1{x + Rnd(c * std::sin(theta + DegToRad(20))), y - Rnd(c * std::cos(theta + DegToRad(20)))};
      const TPoint b2{x + Rnd(c * std::sin(theta - DegToRad(20))), y - Rnd(c * std::cos(theta - DegToRad(20)))};
      C.Pen().SetColor(FG);
      Arrow(C, t, {x, y}, b1, b2, BG, Transparent);
      break;
    }
    case lmCrossBox: {
      if (Transparent) {
        const TPoint path[6] = {{x - c, y - c}, {x - c, y + c}, {x + c, y + c},
                                {x + c, y - c}, {x - c, y - c}, {x + c, y + c}};
        C.Pen().SetColor(FG);
        C.Polyline(path, 6);
        DrawLine(C, {x - c, y + c}, {x + c, y - c});
        break;
      }
      OpaqueSquare(C, x, y, c, FG, BG);
      DrawLine(C, {x - c + 1, y + c - 1}, {x + c, y - c});
      DrawLine(C, {x + c - 1, y + c - 1}, {x - c, y - c});
      break;
    }
    case lmSpade:
      C.Pen().SetColor(FG);
      if (Transparent) {
        C.Polyline({{x, y - c}, {x + c, y}, {x, y + c}, {x - c, y}, {x, y - c}});
      } else {
        Fill(C, BG);
        C.Polygon({{x + c, y}, {x, y + c}, {x - c, y}, {x, y - c}});
      }
      break;
    case lmCross: {
      if (!Transparent) {
        const Line halo[2] = {{{x + c, y - c}, {x - c - 1, y + c + 1}},
                              {{x - c, y - c}, {x + c + 1, y + c + 1}}};
        Halo(C, halo, 2, BG);
      }
      C.Pen().SetColor(FG);
      DrawLine(C, {x - c, y - c}, {x + c + 1, y + c + 1});
      DrawLine(C, {x - c, y + c}, {x + c + 1, y - c - 1});
      break;
    }
    case lmUserDef:
      break;
    default:
      // An unknown shape still marks the spot.
      C.Pen().SetColor(FG);
      DrawLine(C, {x - 4, y}, {x + 5, y});
      DrawLine(C, {x, y - 4}, {x, y + 5});
      break;
  }
}

void DrawLandMarkSymbolOnCanvas(TCanvas* Canvas, int X, int Y, TLandMarkElement Kind,
                                TColor FGColor, TColor BGColor, int Size, int Direction,
                                int Length, bool Transparent) {
  if (Canvas)
    DrawLandMarkSymbolOnCanvas(*Canvas, X, Y, Kind, FGColor, BGColor, Size, Direction, Length,
                               Transparent);
}

void DrawLandMarkSymbolOnCanvas(TCanvas& Canvas, int X, int Y, const TSymbolProperties& s) {
  DrawLandMarkSymbolOnCanvas(Canvas, X, Y, s.Kind, s.FGColor, s.BGColor, s.Size, s.Direction,
                             s.Length, s.Transparent);
}

bool LandMarkCaptionCell(TCanvas& C, const TLMTextProperties& cap, TPoint& Origin,
                         TSize& Cell) {
  if (cap.Text.empty()) return false;
  C.Brush().SetColor(cap.BGColor);
  TFont& f = C.Font();
  f.SetColor(cap.FGColor);
  f.SetSize(cap.Size);
  f.SetStyle(cap.FontStyles);
  f.SetName(cap.FontName);
  C.Brush().SetStyle(cap.Transparent ? bsClear : bsSolid);
  if (cap.Direction != 0) {
    // Turned text is drawn smoothed, as its stair-stepped edges would be hard to read.
    f.SetOrientation((cap.Direction % 360) * 10);
    f.SetQuality(fqAntialiased);
  } else {
    f.SetOrientation(0);
    f.SetQuality(fqDefault);
  }
  const int ha = cap.HAlignment, vb = cap.VAlignment;
  if (ha < 0 || ha > 2 || vb < 0 || vb > 2) return false;
  const QString text = QString::fromStdString(cap.Text.str());
  const int tw = C.TextWidth(text), th = C.TextHeight(text);
  const int w = tw / 2, h = th / 2;
  const double phi = DegToRad(cap.Direction % 360);
  const int a = ha == taLeftJustify ? 0 : (ha == taRightJustify ? 2 : 1);
  const double cs = std::cos(phi), sn = std::sin(phi);
  const int64_t tx = int64_t(cap.dx) + Rnd(-a * w * cs - vb * h * sn);
  const int64_t ty = int64_t(cap.dy) + Rnd(a * w * sn - vb * h * cs);
  if (std::abs(tx) > kFar || std::abs(ty) > kFar) return false;  // offsets from a file, far off
  Origin = TPoint{int(tx), int(ty)};
  Cell = TSize{tw, th};
  return true;
}

void DrawLandMarkCaption(TCanvas& C, int x, int y, const TLMTextProperties& cap) {
  TPoint o;
  TSize cell;
  if (!LandMarkCaptionCell(C, cap, o, cell)) return;
  const int64_t tx = int64_t(x) + o.X, ty = int64_t(y) + o.Y;
  if (std::abs(tx) > kFar || std::abs(ty) > kFar) return;
  C.TextOut(int(tx), int(ty), QString::fromStdString(cap.Text.str()));
}

void DrawLandMarkCaption(TCanvas* Canvas, int X, int Y, const TLMTextProperties& Caption) {
  if (Canvas) DrawLandMarkCaption(*Canvas, X, Y, Caption);
}

}  // namespace vek
