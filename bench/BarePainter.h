// Landmark symbols and captions drawn with plain QPainter calls, the way an application
// would draw them without the library: the baseline the benchmarks compare against.
#pragma once

#include <QFontMetrics>
#include <QPainter>
#include <cmath>
#include <numbers>

#include "GeoMapRecords.h"
#include "Vek_framework.h"

namespace vek::bench {

constexpr double kDeg = std::numbers::pi / 180.0;
inline int Rnd(double v) { return int(std::nearbyint(v)); }
inline QColor Q(TColor c) { return ColorToQColor(c); }

struct Bare {
  QPainter& p;
  QPen pen{Qt::black, 0, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin};

  void Pen(TColor c) {
    pen.setColor(Q(c));
    p.setPen(pen);
  }
  void Fill(TColor c) { p.setBrush(Q(c)); }
  void Line(int x1, int y1, int x2, int y2) { p.drawLine(x1, y1, x2, y2); }
  void Halo(const QLine* l, int n, TColor c) {
    Pen(c);
    for (int i = -1; i <= 1; ++i)
      for (int j = -1; j <= 1; ++j)
        for (int k = 0; k < n; ++k) p.drawLine(l[k].translated(i, j));
  }
  QPoint Polar(int x, int y, double r, double a) {
    return {Rnd(x + r * std::sin(a)), Rnd(y - r * std::cos(a))};
  }

  void Symbol(int x, int y, const TSymbolProperties& s) {
    const int c = s.Size;
    const double th = s.Direction * kDeg;
    switch (s.Kind) {
      case lmPlus: {
        const QLine l[2] = {{x, y - c, x, y + c + 1}, {x - c, y, x + c + 1, y}};
        if (!s.Transparent) Halo(l, 2, s.BGColor);
        Pen(s.FGColor);
        p.drawLines(l, 2);
        break;
      }
      case lmSquare:
      case lmCrossBox: {
        const QPoint sq[5] = {{x - c, y - c}, {x - c, y + c}, {x + c, y + c}, {x + c, y - c}, {x - c, y - c}};
        if (s.Transparent) {
          Pen(s.FGColor);
          p.drawPolyline(sq, 5);
          if (s.Kind == lmCrossBox) {
            Line(x - c, y - c, x + c, y + c);
            Line(x - c, y + c, x + c, y - c);
          }
          break;
        }
        Pen(s.BGColor);
        p.drawPolyline(sq, 5);
        Pen(s.FGColor);
        p.fillRect(QRect(x - c + 2, y - c + 2, 2 * c - 3, 2 * c - 3), Q(s.BGColor));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRect(x - c + 1, y - c + 1, 2 * c - 2, 2 * c - 2));
        if (s.Kind == lmCrossBox) {
          Line(x - c + 1, y + c - 1, x + c, y - c);
          Line(x + c - 1, y + c - 1, x - c, y - c);
        }
        break;
      }
      case lmTriangle: {
        const QPoint t[4] = {Polar(x, y, c, th), Polar(x, y, c, th + 120 * kDeg),
                             Polar(x, y, c, th - 120 * kDeg), Polar(x, y, c, th)};
        Pen(s.FGColor);
        if (s.Transparent) {
          p.drawPolyline(t, 4);
        } else {
          Fill(s.BGColor);
          p.drawPolygon(t, 3);
        }
        break;
      }
      case lmCircle:
        Pen(s.FGColor);
        if (s.Transparent)
          p.setBrush(Qt::NoBrush);
        else
          Fill(s.BGColor);
        p.drawEllipse(QRect(x - c, y - c, 2 * c - 1, 2 * c - 1));
        break;
      case lmArrowFrom:
      case lmArrowTo: {
        const QPoint t = Polar(x, y, s.Length, th);
        const bool from = s.Kind == lmArrowFrom;
        const QPoint h = from ? t : QPoint(x, y);
        const int sg = from ? -1 : 1;
        const QPoint a1(h.x() + sg * Rnd(c * std::sin(th + 20 * kDeg)), h.y() - sg * Rnd(c * std::cos(th + 20 * kDeg)));
        const QPoint a2(h.x() + sg * Rnd(c * std::sin(th - 20 * kDeg)), h.y() - sg * Rnd(c * std::cos(th - 20 * kDeg)));
        Pen(s.FGColor);
        p.drawLine(QPoint(x, y), t);
        if (s.Transparent) {
          p.drawLine(h, a1);
          p.drawLine(h, a2);
        } else {
          Fill(s.BGColor);
          const QPoint head[3] = {h, a1, a2};
          p.drawPolygon(head, 3);
        }
        break;
      }
      case lmSpade: {
        const QPoint r[5] = {{x, y - c}, {x + c, y}, {x, y + c}, {x - c, y}, {x, y - c}};
        Pen(s.FGColor);
        if (s.Transparent) {
          p.drawPolyline(r, 5);
        } else {
          Fill(s.BGColor);
          p.drawPolygon(r, 4);
        }
        break;
      }
      case lmCross: {
        const QLine l[2] = {{x - c, y - c, x + c + 1, y + c + 1}, {x - c, y + c, x + c + 1, y - c - 1}};
        if (!s.Transparent) Halo(l, 2, s.BGColor);
        Pen(s.FGColor);
        p.drawLines(l, 2);
        break;
      }
      default:
        break;
    }
  }

  void Caption(int x, int y, const TLMTextProperties& cap, const QFont& flat, const QFont& turned,
               const QFontMetrics& fm) {
    if (cap.Text.empty()) return;
    const QString text = QString::fromStdString(cap.Text.str());
    const int fw = fm.horizontalAdvance(text), fh = fm.ascent() + fm.descent();
    const int w = fw / 2, h = fh / 2;
    const double phi = cap.Direction * kDeg;
    const int a = cap.HAlignment == taLeftJustify ? 0 : (cap.HAlignment == taRightJustify ? 2 : 1);
    const int b = cap.VAlignment;
    int tx = x + cap.dx + Rnd(-a * w * std::cos(phi) - b * h * std::sin(phi));
    int ty = y + cap.dy + Rnd(a * w * std::sin(phi) - b * h * std::cos(phi));
    if (cap.Direction != 0) {
      p.setFont(turned);
      p.translate(tx, ty);
      p.rotate(-cap.Direction);
      tx = ty = 0;
    }
    if (!cap.Transparent) p.fillRect(QRect(tx, ty, fw, fh), Q(cap.BGColor));
    p.setPen(Q(cap.FGColor));
    p.drawText(QPoint(tx, ty + fm.ascent()), text);
    if (cap.Direction != 0) {
      p.resetTransform();
      p.setFont(flat);
    }
  }
};


}  // namespace vek::bench
