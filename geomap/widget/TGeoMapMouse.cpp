// Mouse, wheel and keyboard input of the map control: panning, the zoom box, drag zoom,
// rubber-band lines, the selection rectangle, the mouse trace and the modal MouseBox.
//
// Overlays (boxes, rubber-band lines, new trace segments) are drawn straight onto the
// control's canvas, not into the composition, so the next Paint removes them. Boxes and
// lines are drawn by XOR in white: drawing the same figure again erases it, which is how
// every drag removes its previous frame without recomposing the map.
#include <QCoreApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "TGeoMap.h"

namespace vek {

namespace {

bool Inside(int X, int Y, int W, int H) { return X >= 0 && X <= W && Y >= 0 && Y <= H; }

bool IsPanMode(TMouseActMode m) { return m == maPan || m == maPanHoriz || m == maPanVert; }

}  // namespace

// ---- overlays ----

void TGeoMap::XorBox(int X1, int Y1, int X2, int Y2, bool Dotted) {
  TCanvas& C = *Canvas();
  C.Pen().SetMode(pmXor);
  C.Pen().SetColor(0xFFFFFF);
  C.Pen().SetWidth(1);
  C.Pen().SetStyle(Dotted ? psDot : psSolid);
  C.Brush().SetStyle(bsClear);
  C.Rectangle(X1, Y1, X2, Y2);
  C.Pen().SetMode(pmCopy);
  C.Pen().SetStyle(psSolid);
  C.Brush().SetStyle(bsSolid);
}

void TGeoMap::XorLine(int X1, int Y1, int X2, int Y2) {
  TCanvas& C = *Canvas();
  C.Pen().SetMode(pmXor);
  C.Pen().SetColor(0xFFFFFF);
  C.Pen().SetWidth(1);
  C.Pen().SetStyle(psSolid);
  C.Brush().SetStyle(bsClear);
  C.MoveTo(X1, Y1);
  C.LineTo(X2, Y2);
  C.Pen().SetMode(pmCopy);
  C.Brush().SetStyle(bsSolid);
}

// The segment from the trace's second-last point to its last one.
void TGeoMap::DrawTraceSegment() {
  const int n = FLM.NumMTracePoints();
  if (n < 2) return;
  const TColoredPoint prev = FLM.MTracePointRaw(n - 1);
  const TColoredPoint cur = FLM.MTracePointRaw(n);
  if (prev.State & TLandMarkStore::TraceEndsStroke) return;
  const TPoint a = MapImageToControl(TPoint{RoundToInt(prev.X), RoundToInt(prev.Y)});
  const TPoint b = MapImageToControl(TPoint{RoundToInt(cur.X), RoundToInt(cur.Y)});
  TCanvas& C = *Canvas();
  C.Pen().SetColor(cur.Color);
  C.Pen().SetWidth(1);
  C.Pen().SetStyle(psSolid);
  C.Pen().SetMode((cur.State & TLandMarkStore::TraceXorSegment) ? pmXor : pmCopy);
  C.MoveTo(a.X, a.Y);
  C.LineTo(b.X, b.Y);
  C.Pen().SetMode(pmCopy);
  C.Brush().SetStyle(bsSolid);
}

// A drag left behind by a change of MouseAction has no overlay that a later move would
// erase, so only the current mode's counts.
bool TGeoMap::OverlayActive() const {
  switch (FMouseAction) {
    case maZoomBox:
      if (FMouse.ZoomState == zsZoomBoxActive) return true;
      break;
    case maSelectRect:
      if (FMouse.SelectRectOn) return true;
      break;
    case maRubberBand:
      if (FMouse.RubberBandOn) return true;
      break;
    default: break;
  }
  return FMouse.MouseBoxState == mbsDragging;
}

// ---- view changes made by the user ----

void TGeoMap::ZoomToMapBox(const TPoint& P1, const TPoint& P2) {
  View().ZoomToBox(P1, P2);
  Paint();
  DoZoomPanEvent();
}

void TGeoMap::FinishUserViewChange() {
  Paint();
  ZoomStateOnStack();
  DoZoomPanEvent();
}

// ---- the three handlers ----

void TGeoMap::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TMouseState& s = FMouse;
  const TPoint p = ControlToMapImage(TPoint{X, Y});
  s.LastMClickPosX = p.X;
  s.LastMClickPosY = p.Y;

  if (s.MouseBoxState == mbsWaitFirstCorner) {
    if (Button == mbRight) {
      s.MouseBoxState = mbsIdle;
    } else {
      s.MouseBoxX1 = s.WindOldCornerX = X;
      s.MouseBoxY1 = s.WindOldCornerY = Y;
      s.MouseBoxState = mbsDragging;
    }
  }

  if (FMouseAction == maZoomBox) {
    if (s.ZoomState == zsIdle && Button == mbLeft && Inside(X, Y, Width(), Height())) {
      s.ZoomState = zsZoomBoxActive;
      s.WindAnchorX = s.WindOldCornerX = X;
      s.WindAnchorY = s.WindOldCornerY = Y;
    }
  } else if (FMouseAction == maSelectRect) {
    if (Button == mbLeft) {
      s.WindAnchorX = s.WindOldCornerX = X;
      s.WindAnchorY = s.WindOldCornerY = Y;
      s.SelectRectOn = true;
      if (OnBeginRubberBand) OnBeginRubberBand(this, p);
    }
  } else if (FMouseAction == maRubberBand) {
    if (Button == mbLeft) {
      if (Shift.Contains(ssCtrl) && s.RubberBandOn) {
        // A new segment starts here; the lines drawn so far stay. The old end moves too:
        // the next move erases the line from the anchor to the old end, and that line must
        // be one that is on screen (here the empty one), not the finished segment's shadow.
        if (OnContinueRubberBand) OnContinueRubberBand(this, p);
        s.RubberBAnchorX = s.RubberBandOldX = X;
        s.RubberBAnchorY = s.RubberBandOldY = Y;
      } else {
        s.RubberBandOn = !s.RubberBandOn;
        if (s.RubberBandOn) {
          if (OnBeginRubberBand) OnBeginRubberBand(this, p);
          s.RubberBAnchorX = s.RubberBandOldX = X;
          s.RubberBAnchorY = s.RubberBandOldY = Y;
        } else {
          XorLine(s.RubberBAnchorX, s.RubberBAnchorY, s.RubberBandOldX, s.RubberBandOldY);
          if (OnEndRubberBand) OnEndRubberBand(this, p);
        }
      }
    }
  }

  TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TGeoMap::MouseMove(TShiftState Shift, int X, int Y) {
  TMouseState& s = FMouse;
  const int W = Width();
  const int H = Height();
  const TPoint p = ControlToMapImage(TPoint{X, Y});
  s.LastMMousePosX = p.X;
  s.LastMMousePosY = p.Y;

  if (s.MouseBoxState == mbsDragging) {
    const int x = std::clamp(X, 1, std::max(W, 1));
    const int y = std::clamp(Y, 1, std::max(H, 1));
    XorBox(s.MouseBoxX1, s.MouseBoxY1, s.WindOldCornerX, s.WindOldCornerY, false);
    XorBox(s.MouseBoxX1, s.MouseBoxY1, x, y, false);
    s.WindOldCornerX = x;
    s.WindOldCornerY = y;
  }

  const bool left = Shift.Contains(ssLeft);
  const bool inside = Inside(X, Y, W, H);
  // Boxes and rectangles follow the mouse only as far as the control's edges.
  const int cx = std::clamp(X, 0, std::max(W, 0));
  const int cy = std::clamp(Y, 0, std::max(H, 0));

  if (IsPanMode(FMouseAction) || FMouseAction == maDragZoom) {
    if (!left) {
      s.LButtonWasDown = false;
    } else if (!s.LButtonWasDown) {
      // The drag starts here: the view moves relative to this position and origin.
      s.MouseAnchorX = X;
      s.MouseAnchorY = Y;
      s.TopLeftXAnchor = FView.TopLeft.X;
      s.TopLeftYAnchor = FView.TopLeft.Y;
    } else if (inside) {
      TMapViewport& v = View();
      if (FMouseAction != maDragZoom) {
        if (FMouseAction != maPanVert)
          v.TopLeft.X = RoundToInt((s.MouseAnchorX - X) / v.Magnify) + s.TopLeftXAnchor;
        if (FMouseAction != maPanHoriz)
          v.TopLeft.Y = RoundToInt((s.MouseAnchorY - Y) / v.Magnify) + s.TopLeftYAnchor;
        if (FConfinePan) PanMapToFillWindow();
        Paint();
        DoZoomPanEvent();
      } else if (W > 0 && H > 0) {
        // Zooms at every move while away from the anchor: up in, down out; sideways with
        // a twentieth of the weight, right in, left out. The map point at the centre stays.
        const double m = v.Magnify;
        const int32_t centreX = RoundToInt(W / m / 2);
        const int32_t centreY = RoundToInt(H / m / 2) + v.TopLeft.Y;
        const double f =
            1 - 0.05 * double(s.MouseAnchorX - X) / W + double(s.MouseAnchorY - Y) / H;
        // Far enough below the anchor the factor reaches zero or less; the range holds it.
        const double m2 = TMapViewport::ClampMagnification(m * f);
        v.Magnify = m2;
        v.TopLeft.X = centreX + v.TopLeft.X - RoundToInt(W / m2 / 2);
        v.TopLeft.Y = centreY - RoundToInt(H / m2 / 2);
        Paint();
        DoZoomPanEvent();
      }
    }
    if (left) s.LButtonWasDown = true;
  } else if (FMouseAction == maRubberBand) {
    if (s.RubberBandOn) {
      XorLine(s.RubberBAnchorX, s.RubberBAnchorY, s.RubberBandOldX, s.RubberBandOldY);
      XorLine(s.RubberBAnchorX, s.RubberBAnchorY, X, Y);
      s.RubberBandOldX = X;
      s.RubberBandOldY = Y;
    }
  } else if (FMouseAction == maZoomBox) {
    if (s.ZoomState == zsZoomBoxActive) {
      XorBox(s.WindAnchorX, s.WindAnchorY, s.WindOldCornerX, s.WindOldCornerY, false);
      XorBox(s.WindAnchorX, s.WindAnchorY, cx, cy, false);
      s.WindOldCornerX = cx;
      s.WindOldCornerY = cy;
    }
  } else if (FMouseAction == maSelectRect) {
    if (s.SelectRectOn && left) {
      XorBox(s.WindAnchorX, s.WindAnchorY, s.WindOldCornerX, s.WindOldCornerY, true);
      XorBox(s.WindAnchorX, s.WindAnchorY, cx, cy, true);
      s.WindOldCornerX = cx;
      s.WindOldCornerY = cy;
    }
  } else if (FMouseAction == maMouseTrace) {
    if (s.ZoomState == zsIdle && left) {
      const TPoint q = ControlToMapImage(TPoint{cx, cy});
      // A full trace silently stops recording.
      if (FLM.AppendMTracePoint(q.X, q.Y)) DrawTraceSegment();
    }
  }

  TCustomControl::MouseMove(Shift, X, Y);
}

void TGeoMap::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TCustomControl::MouseUp(Button, Shift, X, Y);
  TMouseState& s = FMouse;

  if (s.MouseBoxState == mbsDragging) {
    if (Button == mbRight) {
      s.MouseBoxState = mbsIdle;
    } else {
      s.MouseBoxX2 = X;
      s.MouseBoxY2 = Y;
      s.MouseBoxState = mbsComplete;
    }
    XorBox(s.MouseBoxX1, s.MouseBoxY1, s.WindOldCornerX, s.WindOldCornerY, false);
  }

  if (FMouseAction == maSelectRect) {
    // Only a rectangle that was started here ends here: a left release after the mode was
    // switched in mid-drag has no rectangle on screen and nothing to report.
    if (Button == mbLeft && s.SelectRectOn) {
      s.SelectRectOn = false;
      XorBox(s.WindAnchorX, s.WindAnchorY, s.WindOldCornerX, s.WindOldCornerY, true);
      const TPoint a = ControlToMapImage(TPoint{s.WindAnchorX, s.WindAnchorY});
      const TPoint b = ControlToMapImage(TPoint{X, Y});
      bool valid = false;
      double lonA = 0, latA = 0, lonB = 0, latB = 0;
      lonA = CalcLongitude(a, valid);
      if (valid) latA = CalcLatitude(a, valid);
      if (valid) lonB = CalcLongitude(b, valid);
      if (valid) latB = CalcLatitude(b, valid);
      if (valid)
        DoSelectRectEvent(1, lonA, latA, lonB, latB);
      else
        DoSelectRectEvent(0, a.X, a.Y, b.X, b.Y);
    }
  } else if (FMouseAction == maZoomBox) {
    if (s.ZoomState == zsZoomBoxActive && Button == mbRight) {
      s.ZoomState = zsIdle;
      XorBox(s.WindAnchorX, s.WindAnchorY, s.WindOldCornerX, s.WindOldCornerY, false);
    } else if (s.ZoomState == zsZoomBoxActive && Button == mbLeft) {
      // Erased in any case: a box too small to zoom into must not stay on screen.
      XorBox(s.WindAnchorX, s.WindAnchorY, s.WindOldCornerX, s.WindOldCornerY, false);
      if (s.WindAnchorX != s.WindOldCornerX && s.WindAnchorY != s.WindOldCornerY) {
        int x2 = X, y2 = Y;
        if (x2 < s.WindAnchorX) std::swap(x2, s.WindAnchorX);
        if (y2 < s.WindAnchorY) std::swap(y2, s.WindAnchorY);
        const TPoint p1 = ControlToMapImage(TPoint{s.WindAnchorX, s.WindAnchorY});
        const TPoint p2 = ControlToMapImage(TPoint{x2, y2});
        if (p1.X != p2.X && p1.Y != p2.Y) ZoomToMapBox(p1, p2);
      }
      s.ZoomState = zsIdle;
    }
  } else if (IsPanMode(FMouseAction) || FMouseAction == maDragZoom) {
    ZoomStateOnStack();
  } else if (FMouseAction == maMouseTrace) {
    FLM.EndMTraceStroke();
  }

  // The next drag starts from its own first move even when no move without the button
  // came in between; otherwise it would continue from this drag's anchor and jump.
  if (Button == mbLeft) s.LButtonWasDown = false;
}

// ---- the modal box ----

bool TGeoMap::MouseBox(int32_t& X1, int32_t& Y1, int32_t& X2, int32_t& Y2) {
  // One box at a time, and only on a control the user can see and drag on.
  if (FMouse.MouseBoxState != mbsIdle || !isVisible()) return false;
  const TMouseActMode saved = FMouseAction;
  FMouseAction = maNone;
  FMouse.MouseBoxState = mbsWaitFirstCorner;

  // Handlers run from the loop may destroy the control.
  QPointer<TGeoMap> self(this);
  while (FMouse.MouseBoxState != mbsComplete && FMouse.MouseBoxState != mbsIdle) {
    if (!isVisible() || QCoreApplication::closingDown()) {
      MouseBoxAbort();
      break;
    }
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (!self) return false;
  }

  const bool complete = FMouse.MouseBoxState == mbsComplete;
  if (complete) {
    X1 = std::min(FMouse.MouseBoxX1, FMouse.MouseBoxX2);
    X2 = std::max(FMouse.MouseBoxX1, FMouse.MouseBoxX2);
    Y1 = std::min(FMouse.MouseBoxY1, FMouse.MouseBoxY2);
    Y2 = std::max(FMouse.MouseBoxY1, FMouse.MouseBoxY2);
  }
  FMouse.MouseBoxState = mbsIdle;
  FMouseAction = saved;
  return complete;
}

void TGeoMap::MouseBoxAbort() {
  // A box being dragged is on screen; it goes with the wait.
  if (FMouse.MouseBoxState == mbsDragging)
    XorBox(FMouse.MouseBoxX1, FMouse.MouseBoxY1, FMouse.WindOldCornerX, FMouse.WindOldCornerY,
           false);
  FMouse.MouseBoxState = mbsIdle;
}

// ---- wheel and keyboard ----

void TGeoMap::wheelEvent(QWheelEvent* event) {
  const int delta = event->angleDelta().y();
  // A view change under an XOR overlay would leave it unerasable.
  if (!FWheelZoom || delta == 0 || OverlayActive()) {
    event->ignore();
    return;
  }
  event->accept();
  const double m = TMapViewport::ClampMagnification(
      FView.Magnify * std::pow(ZoomStepFactor, delta / 120.0));
  if (m == FView.Magnify) return;  // at the end of the range
  const QPoint at = event->position().toPoint();
  View().ZoomAbout(at.x(), at.y(), m);
  // A pan under way continues from the new view.
  FMouse.LButtonWasDown = false;
  FinishUserViewChange();
}

void TGeoMap::keyPressEvent(QKeyEvent* event) {
  if (!FKeyboardNav || OverlayActive()) return TCustomControl::keyPressEvent(event);
  int dx = 0, dy = 0;
  double factor = 1;
  switch (event->key()) {
    case Qt::Key_Left: dx = -1; break;
    case Qt::Key_Right: dx = 1; break;
    case Qt::Key_Up: dy = -1; break;
    case Qt::Key_Down: dy = 1; break;
    case Qt::Key_Plus:
    case Qt::Key_Equal: factor = ZoomStepFactor; break;
    case Qt::Key_Minus: factor = 1 / ZoomStepFactor; break;
    default: return TCustomControl::keyPressEvent(event);
  }
  // A map that pans along one axis only does so for the keys too.
  if (FMouseAction == maPanHoriz) dy = 0;
  if (FMouseAction == maPanVert) dx = 0;
  event->accept();

  TMapViewport& v = View();
  const TPoint oldTopLeft = v.TopLeft;
  const double oldMag = v.Magnify;
  if (factor != 1) {
    v.ZoomAbout(v.Width / 2, v.Height / 2, TMapViewport::ClampMagnification(oldMag * factor));
  } else if (dx != 0 || dy != 0) {
    const int stepX = std::max(1, RoundToInt(v.Width * KeyPanFraction / v.Magnify));
    const int stepY = std::max(1, RoundToInt(v.Height * KeyPanFraction / v.Magnify));
    v.TopLeft.X += dx * stepX;
    v.TopLeft.Y += dy * stepY;
    if (FConfinePan) PanMapToFillWindow();
  }
  if (v.TopLeft == oldTopLeft && v.Magnify == oldMag) return;
  FMouse.LButtonWasDown = false;
  FinishUserViewChange();
}

}  // namespace vek
