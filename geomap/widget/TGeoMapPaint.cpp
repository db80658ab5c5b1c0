// The paint cycle: every repaint composes the whole picture off screen in AuxBmp and copies
// it onto the control's canvas in one block.
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "CaptionPlacer.h"
#include "Frame.h"
#include "MapLayer.h"
#include "MapRenderer.h"
#include "TGeoMap.h"

namespace vek {

void TGeoMap::Paint() {
  if (FSuppressPaint) return;
  ConstructInternalMapImg();
  const TRect all{0, 0, Width(), Height()};
  TCanvas* target = Canvas();
  target->SetCopyMode(cmSrcCopy);
  target->CopyRect(all, *AuxBmp->Canvas(), all);
}

void TGeoMap::ConstructInternalMapImg() {
  ++FCompositionCount;
  const int W = Width();
  const int H = Height();
  // The buffer only grows: it keeps the largest size the control has had.
  if (AuxBmp->Height() < H || AuxBmp->Width() < W)
    AuxBmp->SetSize(std::max(AuxBmp->Width(), W), std::max(AuxBmp->Height(), H));
  if (W <= 0 || H <= 0 || AuxBmp->Empty()) return;

  TCanvas& c = *AuxBmp->Canvas();
  c.Pen().SetStyle(psSolid);
  c.Pen().SetMode(pmCopy);
  c.Pen().SetWidth(1);

  if (FMapImgName.empty()) {
    c.FillSolid(TRect{0, 0, W, H}, FColorBakGnd);
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(FColorBakGnd);
    c.Font().SetColor(FFrameColor);
    c.TextOut(10, 10, FEmptyMsg);
  } else if (Visible()) {
    TMapViewport& view = View();
    DrawMapImage(c);
    if (OnBeforeRenderData) OnBeforeRenderData(this, &c);
    // Database layers lie on the image; their captions join the landmarks' placement.
    std::vector<TCaptionRequest> captions;
    if (!FLayers.empty()) {
      const TLayerList layers = FLayers;  // a layer may change the list while it draws
      const TLayerFrame frame{FCal, view, FLMImages.get(),
                              FLMCaptionDeclutter ? &captions : nullptr};
      // Like the graticule, layers end with the image: beyond it there is no map to lie on.
      double l, t, r, b;
      view.ImageToControl(0, 0, l, t);
      view.ImageToControl(FMapImgWidth, FMapImgHeight, r, b);
      c.SetClipRect(QRectF(l, t, r - l, b - t));
      for (const auto& layer : layers)
        if (layer->Visible) layer->Draw(c, frame);
      c.ClearClipRect();
      c.Pen().SetWidth(1);
    }
    // Handlers may have changed anything; the steps below read it afresh.
    const TMapRenderer renderer(FCal, FLM, view, FMapImgWidth, FMapImgHeight);
    c.Pen().SetStyle(psSolid);
    c.Pen().SetMode(pmCopy);
    if (FShowGrat != sgNone) {
      // Lines end with the image; the background beyond it stays plain.
      double l, t, r, b;
      view.ImageToControl(0, 0, l, t);
      view.ImageToControl(FMapImgWidth, FMapImgHeight, r, b);
      c.SetClipRect(QRectF(l, t, r - l, b - t));
      renderer.DrawCalibration(c, TGraticuleStyle{FShowGrat, FGratLineDist, FUTMGridDist,
                                                  FColorGratLine, FColorGratPoints});
      c.ClearClipRect();
    }
    c.Pen().SetColor(0x00FF00);
    TLandMarkHook hook;
    if (OnDrawLandmark)
      hook = [this](TCanvas& C, TPoint& P, const TLandMark& LM) {
        bool handled = false;
        OnDrawLandmark(this, handled, &C, P, LM);
        return handled;
      };
    renderer.DrawLandMarks(c, FLMClassVisible, FLMRandSampleLimit, hook,
                           TLandMarkDrawing{FLMImages.get(), FLMCaptionDeclutter, FHighLM,
                                            &captions});
    if (OnDataRendered) OnDataRendered(this, &c);
    renderer.DrawHighlight(c, FHighLM, FLMClassVisible,
                           THighlightStyle{FHighLMColFG, FHighLMColBG, FHighLMTrans}, hook);
  }
  // A hidden control keeps the previous picture under the trace and the frame.
  DrawMouseTrace(0, 0, AuxBmp.get());
  DrawFrame(c, FFrameStyle, 0, 0, W - 1, H - 1, FColBlackLine, FColGrayLine, 0xC0C0C0,
            FColWhiteLine, 0x000000);
}

namespace {

// The part of the source rectangle S (which fills the destination D) that lies inside
// Bounds, and the matching part of D. False when nothing of S is inside.
bool ClipStretch(const QRectF& S, const QRectF& D, const QRectF& Bounds, QRectF& SClip,
                 QRectF& DClip) {
  SClip = S.intersected(Bounds);
  if (SClip.isEmpty()) return false;
  const double sx = D.width() / S.width();
  const double sy = D.height() / S.height();
  DClip = QRectF(D.left() + (SClip.left() - S.left()) * sx, D.top() + (SClip.top() - S.top()) * sy,
                 SClip.width() * sx, SClip.height() * sy);
  return true;
}

// Fills the parts of Area that Covered leaves.
void FillMargins(QPainter& P, const QRect& Area, const QRect& Covered, const QColor& Color) {
  const QRect c = Covered.intersected(Area);
  if (c.isEmpty()) {
    P.fillRect(Area, Color);
    return;
  }
  if (c.top() > Area.top()) P.fillRect(QRect(Area.left(), Area.top(), Area.width(), c.top() - Area.top()), Color);
  if (c.bottom() < Area.bottom())
    P.fillRect(QRect(Area.left(), c.bottom() + 1, Area.width(), Area.bottom() - c.bottom()), Color);
  if (c.left() > Area.left()) P.fillRect(QRect(Area.left(), c.top(), c.left() - Area.left(), c.height()), Color);
  if (c.right() < Area.right())
    P.fillRect(QRect(c.right() + 1, c.top(), Area.right() - c.right(), c.height()), Color);
}

}  // namespace

// Steps 4 and 5: the visible part of the image, from the cache when it fits the
// magnification, and the background where the view extends beyond the image.
void TGeoMap::DrawMapImage(TCanvas& C) {
  const int W = Width();
  const int H = Height();
  const double mag = FView.Magnify;
  QPainter& p = *C.Painter();
  p.save();
  p.setCompositionMode(QPainter::CompositionMode_Source);
  p.resetTransform();
  const QRect area(0, 0, W, H);
  const QColor background = ColorToQColor(FColorBakGnd);
  if (FTiled && mag > 0) {
    DrawTiledImage(p);
    p.restore();
    return;
  }
  if (GrafBmp->Empty() || !(mag > 0)) {
    p.fillRect(area, background);
    p.restore();
    return;
  }

  // Reduced views come from a scaled copy of the whole image, so that panning costs a
  // plain copy instead of a resampling. The copy is averaged over the source pixels.
  if ((FCacheMag != mag || FCacheAA != FAntiAlias) && mag < FCacheMagLimit) {
    const int cw = RoundToInt(GrafBmp->Width() * mag);
    const int ch = RoundToInt(GrafBmp->Height() * mag);
    if (cw >= 1 && ch >= 1) {
      FImgCache->SetImage(GrafBmp->Image().scaled(
          cw, ch, Qt::IgnoreAspectRatio,
          FAntiAlias ? Qt::SmoothTransformation : Qt::FastTransformation));
      FCacheMag = mag;
      FCacheAA = FAntiAlias;
    }
  }

  QRectF s, d;
  const QRectF dest(0, 0, W, H);
  if (FCacheMag == mag && !FImgCache->Empty()) {
    const QImage& cache = FImgCache->Image();
    const QRectF src(RoundToInt(FView.TopLeft.X * mag), RoundToInt(FView.TopLeft.Y * mag), W, H);
    if (ClipStretch(src, dest, QRectF(cache.rect()), s, d)) {
      const QRect di = d.toAlignedRect();
      FillMargins(p, area, di, background);
      p.drawImage(di.topLeft(), cache, s.toAlignedRect());
    } else {
      p.fillRect(area, background);
    }
  } else {
    const QImage& img = GrafBmp->Image();
    const QRectF src(FView.TopLeft.X, FView.TopLeft.Y, W / mag, H / mag);
    if (ClipStretch(src, dest, QRectF(img.rect()), s, d)) {
      // Whole source pixels, so that every image pixel keeps its size on screen.
      const QRect si = s.toAlignedRect();
      const QRectF dd((si.left() - src.left()) * mag, (si.top() - src.top()) * mag,
                      si.width() * mag, si.height() * mag);
      const QRect inner(QPoint(int(std::ceil(d.left())), int(std::ceil(d.top()))),
                        QPoint(int(std::floor(d.right())) - 1, int(std::floor(d.bottom())) - 1));
      FillMargins(p, area, inner, background);
      p.setRenderHint(QPainter::SmoothPixmapTransform, FAntiAlias);
      if (mag == 1.0)
        p.drawImage(dd.topLeft().toPoint(), img, si);
      else
        p.drawImage(dd, img, QRectF(si));
    } else {
      p.fillRect(area, background);
    }
  }
  p.restore();
}

// A tiled image: the visible part from the pyramid level that fits the magnification,
// stretched the way the in-memory image is, so that both give the same picture.
void TGeoMap::DrawTiledImage(QPainter& P) {
  const int W = Width();
  const int H = Height();
  const double mag = FView.Magnify;
  const QRect area(0, 0, W, H);
  const QColor background = ColorToQColor(FColorBakGnd);
  const QRectF src(FView.TopLeft.X, FView.TopLeft.Y, W / mag, H / mag);
  const QRectF s = src.intersected(QRectF(0, 0, FMapImgWidth, FMapImgHeight));
  TImageRegion r;
  if (!s.isEmpty()) r = FTiled->Region(s.toAlignedRect(), mag);
  if (r.Pixels.isNull()) {
    P.fillRect(area, background);
    return;
  }
  const QRectF d((s.left() - src.left()) * mag, (s.top() - src.top()) * mag, s.width() * mag,
                 s.height() * mag);
  const QRect inner(QPoint(int(std::ceil(d.left())), int(std::ceil(d.top()))),
                    QPoint(int(std::floor(d.right())) - 1, int(std::floor(d.bottom())) - 1));
  FillMargins(P, area, inner, background);
  // A coarse level's last pixel may reach past the image's edge.
  P.setClipRect(d);
  const QRectF dd((r.Area.left() - src.left()) * mag, (r.Area.top() - src.top()) * mag,
                  r.Area.width() * mag, r.Area.height() * mag);
  P.setRenderHint(QPainter::SmoothPixmapTransform, FAntiAlias);
  const QPointF at = dd.topLeft();
  if (std::abs(r.Scale - mag) < 1e-12 && at == at.toPoint())
    P.drawImage(at.toPoint(), r.Pixels);
  else
    P.drawImage(dd, r.Pixels);
  P.setClipping(false);
}

}  // namespace vek
