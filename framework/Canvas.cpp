#include "Canvas.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "Bitmap.h"

namespace vek {

// ---- canvas ----

namespace {

QPainter::CompositionMode CompositionOf(TPenMode m) {
  switch (m) {
    case pmNot: return QPainter::RasterOp_NotDestination;
    case pmNotCopy: return QPainter::RasterOp_NotSource;
    case pmMergePenNot: return QPainter::RasterOp_SourceOrNotDestination;
    case pmMaskPenNot: return QPainter::RasterOp_SourceAndNotDestination;
    case pmMergeNotPen: return QPainter::RasterOp_NotSourceOrDestination;
    case pmMaskNotPen: return QPainter::RasterOp_NotSourceAndDestination;
    case pmMerge: return QPainter::RasterOp_SourceOrDestination;
    case pmNotMerge: return QPainter::RasterOp_NotSourceAndNotDestination;
    case pmMask: return QPainter::RasterOp_SourceAndDestination;
    case pmNotMask: return QPainter::RasterOp_NotSourceOrNotDestination;
    case pmXor: return QPainter::RasterOp_SourceXorDestination;
    case pmNotXor: return QPainter::RasterOp_NotSourceXorDestination;
    default: return QPainter::CompositionMode_SourceOver;  // copy, black, white, nop
  }
}

// Cosmetic dash patterns in pixels, as the classic styles draw them.
QList<qreal> DashPattern(TPenStyle s) {
  switch (s) {
    case psDash: return {18, 6};
    case psDot: return {3, 3};
    case psDashDot: return {9, 6, 3, 6};
    case psDashDotDot: return {9, 3, 3, 3, 3, 3};
    default: return {};
  }
}

bool IsDashed(TPenStyle s) { return s == psDash || s == psDot || s == psDashDot || s == psDashDotDot; }

}  // namespace

TCanvas::TCanvas() {
  FPen.FOwner = this;
  FBrush.FOwner = this;
  FFont.FOwner = this;
}

TCanvas::TCanvas(QImage* target) : TCanvas() { FTarget = target; }

TCanvas::~TCanvas() { End(); }

void TCanvas::SetTarget(QImage* target) {
  if (target == FTarget) return;
  End();
  FTarget = target;
}

int TCanvas::Width() const { return FTarget ? FTarget->width() : 0; }
int TCanvas::Height() const { return FTarget ? FTarget->height() : 0; }

QPainter* TCanvas::Open() {
  if (FPainter.isActive()) return &FPainter;
  if (!FTarget || FTarget->isNull()) return nullptr;
  if (!FPainter.begin(FTarget)) return nullptr;
  FPainter.setRenderHint(QPainter::Antialiasing, FAntialiasing);
  FPainter.setRenderHint(QPainter::TextAntialiasing, FAntialiasing);
  FPainter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  FPenDirty = FBrushDirty = FFontDirty = true;
  FBrushUse = BrushUse::Unknown;
  FComposition.reset();
  FTransformDirty = FClip.has_value();
  if (OnChange) OnChange();
  return &FPainter;
}

QPainter* TCanvas::Prep() {
  QPainter* p = Open();
  if (p && FTransformDirty) {
    // Someone drew with the painter directly: take back what the primitives rely on.
    p->resetTransform();
    if (FClip)
      p->setClipRect(*FClip);
    else
      p->setClipping(false);
    p->setOpacity(1.0);
    p->setBackgroundMode(Qt::TransparentMode);
    p->setRenderHint(QPainter::Antialiasing, FAntialiasing);
    p->setRenderHint(QPainter::TextAntialiasing, FAntialiasing);
    p->setRenderHint(QPainter::SmoothPixmapTransform, false);
    FTransformDirty = false;
  }
  return p;
}

void TCanvas::Begin() { Open(); }

void TCanvas::End() {
  if (FPainter.isActive()) FPainter.end();
}

bool TCanvas::Painting() const { return FPainter.isActive(); }

void TCanvas::SetClipRect(const QRectF& r) {
  FClip = r;
  FTransformDirty = true;
}

void TCanvas::ClearClipRect() {
  FClip.reset();
  FTransformDirty = true;
}

QPainter* TCanvas::Painter() {
  QPainter* p = Prep();
  FPenDirty = FBrushDirty = FFontDirty = true;
  FBrushUse = BrushUse::Unknown;
  FComposition.reset();
  FTransformDirty = true;
  return p;
}

void TCanvas::SetAntialiasing(bool on) {
  if (on == FAntialiasing) return;
  FAntialiasing = on;
  FFontDirty = FMetricsDirty = true;
  if (FPainter.isActive()) {
    FPainter.setRenderHint(QPainter::Antialiasing, on);
    FPainter.setRenderHint(QPainter::TextAntialiasing, on);
  }
}

bool TCanvas::PenVisible() const { return FPen.FStyle != psClear && FPen.FMode != pmNop; }

bool TCanvas::NeedsOpaqueDashBackground() const {
  // A solid brush makes the background opaque: the gaps of styled lines get its colour.
  return FBrush.FStyle == bsSolid && FPen.FWidth <= 1 && IsDashed(FPen.FStyle);
}

QPen TCanvas::MakePen(bool background) const {
  if (!PenVisible()) return QPen(Qt::NoPen);
  TColor c = FPen.FColor;
  if (FPen.FMode == pmBlack) c = clBlack;
  if (FPen.FMode == pmWhite) c = clWhite;
  if (background) c = FBrush.FColor;
  const QColor qc = ColorToQColor(c);
  if (FPen.FWidth <= 1) {
    // Cosmetic and flat-capped: a line leaves out its end pixel.
    QPen p(qc, 0, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    if (!background && IsDashed(FPen.FStyle)) p.setDashPattern(DashPattern(FPen.FStyle));
    return p;
  }
  // Wide pens are solid with round ends whatever the style.
  return QPen(qc, FPen.FWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

QBrush TCanvas::MakeBrush() const {
  const QColor c = ColorToQColor(FBrush.FColor);
  switch (FBrush.FStyle) {
    case bsSolid: return QBrush(c);
    case bsClear: return QBrush(Qt::NoBrush);
    case bsHorizontal: return QBrush(c, Qt::HorPattern);
    case bsVertical: return QBrush(c, Qt::VerPattern);
    case bsFDiagonal: return QBrush(c, Qt::FDiagPattern);
    case bsBDiagonal: return QBrush(c, Qt::BDiagPattern);
    case bsCross: return QBrush(c, Qt::CrossPattern);
    case bsDiagCross: return QBrush(c, Qt::DiagCrossPattern);
  }
  return QBrush(c);
}

void TCanvas::SyncComposition(QPainter::CompositionMode mode) {
  if (!FComposition || *FComposition != mode) {
    FPainter.setCompositionMode(mode);
    FComposition = mode;
  }
}

void TCanvas::SyncPenMode() { SyncComposition(CompositionOf(FPen.FMode)); }

void TCanvas::SyncPen() {
  if (FPenDirty) {
    FPainter.setPen(MakePen(false));
    FPenDirty = false;
  }
}

void TCanvas::SyncBrush(BrushUse use) {
  if (use == BrushUse::None) {
    if (FBrushUse != BrushUse::None) {
      FPainter.setBrush(Qt::NoBrush);
      FBrushUse = BrushUse::None;
    }
  } else if (FBrushUse != BrushUse::Canvas || FBrushDirty) {
    FPainter.setBrush(MakeBrush());
    FBrushUse = BrushUse::Canvas;
    FBrushDirty = false;
  }
}

void TCanvas::SyncFont() {
  if (FFontDirty) {
    FPainter.setFont(FFont.QtFont(FAntialiasing));
    FFontDirty = false;
  }
}

const QFontMetrics& TCanvas::Metrics() {
  if (!FMetrics || FMetricsDirty) {
    FMetrics.emplace(FFont.QtFont(FAntialiasing));
    FMetricsDirty = false;
    FMeasuredWidth = -1;
  }
  return *FMetrics;
}

int TCanvas::Advance(const QString& text) {
  const QFontMetrics& fm = Metrics();
  if (FMeasuredWidth < 0 || text != FMeasuredText) {
    FMeasuredText = text;
    FMeasuredWidth = fm.horizontalAdvance(text);
  }
  return FMeasuredWidth;
}

const QPoint* TCanvas::ToQt(const TPoint* points, int count) {
  FPointBuf.resize(size_t(count));
  for (int i = 0; i < count; ++i) FPointBuf[size_t(i)] = QPoint(points[i].X, points[i].Y);
  return FPointBuf.data();
}

namespace {

// Far beyond any image, yet small enough that differences cannot overflow.
constexpr int kCoordLimit = 1 << 28;
int Lim(int v) { return std::clamp(v, -kCoordLimit, kCoordLimit); }
TPoint Lim(TPoint p) { return {Lim(p.X), Lim(p.Y)}; }
// Right and Bottom lie outside, as in TRect.
QRect ToQRect(const TRect& r) {
  const int l = Lim(r.Left), t = Lim(r.Top);
  return QRect(l, t, Lim(r.Right) - l, Lim(r.Bottom) - t);
}

}  // namespace

void TCanvas::AddSegment(TPoint a, TPoint b) {
  a = Lim(a);
  b = Lim(b);
  // Qt's flat-capped cosmetic lines cover the major axis from the smaller coordinate up to,
  // not including, the larger one. A line running towards smaller coordinates is therefore
  // slid one step along itself, so that it keeps its start pixel and drops its end pixel.
  const int dx = b.X - a.X, dy = b.Y - a.Y;
  const bool xMajor = std::abs(dx) >= std::abs(dy);
  const bool backwards = xMajor ? dx < 0 : dy < 0;
  if (FAntialiasing) {
    if (FSegmentRuns.empty() || FSegmentRuns.back().Slid != backwards)
      FSegmentRuns.push_back({backwards, 0});
    ++FSegmentRuns.back().Count;
  }
  if (!backwards) {
    FLineBuf.emplace_back(a.X, a.Y, b.X, b.Y);
    return;
  }
  const double n = xMajor ? -dx : -dy;
  // Qt takes the minor coordinate by truncation; the slid end points are inexact, so they
  // are nudged a little towards larger values to keep exact pixels exact.
  const double bias = 1.0 / 32;
  const QPointF step(dx / n, dy / n);
  const QPointF nudge = xMajor ? QPointF(0, bias) : QPointF(bias, 0);
  FLineFBuf.emplace_back(QPointF(b.X, b.Y) - step + nudge, QPointF(a.X, a.Y) - step + nudge);
}

void TCanvas::DrawSegments(const TPoint* points, int count, bool closed) {
  // Collected and drawn in few calls: Qt strokes each cosmetic line of a batch on its own,
  // exactly as one call per line would.
  FLineBuf.clear();
  FLineFBuf.clear();
  FSegmentRuns.clear();
  for (int i = 1; i < count; ++i)
    if (!(points[i - 1] == points[i])) AddSegment(points[i - 1], points[i]);
  if (closed && count > 2 && !(points[count - 1] == points[0]))
    AddSegment(points[count - 1], points[0]);
  const bool background = NeedsOpaqueDashBackground();
  for (int pass = background ? 0 : 1; pass < 2; ++pass) {
    if (pass == 0) {
      FPainter.setPen(MakePen(true));
      FPenDirty = true;
    } else {
      SyncPen();
    }
    if (!FAntialiasing) {
      // Opaque pixels of one pen: the order between the lines changes none of them.
      if (!FLineBuf.empty()) FPainter.drawLines(FLineBuf.data(), int(FLineBuf.size()));
      if (!FLineFBuf.empty()) FPainter.drawLines(FLineFBuf.data(), int(FLineFBuf.size()));
      continue;
    }
    // Blended edges round differently in another order: runs of one kind, in order.
    size_t whole = 0, slid = 0;
    for (const TSegmentRun& r : FSegmentRuns) {
      if (r.Slid) {
        FPainter.drawLines(FLineFBuf.data() + slid, r.Count);
        slid += size_t(r.Count);
      } else {
        FPainter.drawLines(FLineBuf.data() + whole, r.Count);
        whole += size_t(r.Count);
      }
    }
  }
}

void TCanvas::LineTo(int X, int Y) {
  const TPoint seg[2] = {FPenPos, {X, Y}};
  FPenPos = {X, Y};
  if (!PenVisible() || seg[0] == seg[1]) return;
  if (!Prep()) return;
  SyncPenMode();
  if (FPen.FWidth > 1) {
    SyncPen();
    FPainter.drawLine(QLine(seg[0].X, seg[0].Y, X, Y));
    return;
  }
  DrawSegments(seg, 2, false);
}

void TCanvas::Polyline(const TPoint* points, int count) {
  if (count < 2 || !PenVisible()) return;
  if (!Prep()) return;
  SyncPenMode();
  if (FPen.FWidth > 1) {
    SyncPen();
    FPainter.drawPolyline(ToQt(points, count), count);
    return;
  }
  DrawSegments(points, count, false);
}

void TCanvas::Rectangle(int Left, int Top, int Right, int Bottom) {
  Left = Lim(Left), Top = Lim(Top), Right = Lim(Right), Bottom = Lim(Bottom);
  if (Right < Left) std::swap(Left, Right);
  if (Bottom < Top) std::swap(Top, Bottom);
  const int w = Right - Left, h = Bottom - Top;
  if (w <= 0 || h <= 0) return;
  const bool pen = PenVisible();
  const bool brush = FBrush.FStyle != bsClear;
  if (!pen && !brush) return;
  QPainter* p = Prep();
  if (!p) return;
  SyncPenMode();
  if (!pen) {
    // Without an outline the filled area is one pixel smaller to the right and bottom.
    if (w > 1 && h > 1) p->fillRect(QRect(Left, Top, w - 1, h - 1), MakeBrush());
    return;
  }
  if (FPen.FWidth <= 1) {
    // Inside and outline apart, so that no pixel is drawn twice under a raster mode.
    if (brush && w > 2 && h > 2) p->fillRect(QRect(Left + 1, Top + 1, w - 2, h - 2), MakeBrush());
    SyncPen();
    SyncBrush(BrushUse::None);
    if (w == 1 || h == 1) {
      p->drawLine(QLine(Left, Top, Left + w - 1, Top + h - 1));
      // A flat cap leaves out the last pixel; a one-pixel-wide box still covers it.
      p->fillRect(QRect(Left + w - 1, Top + h - 1, 1, 1), p->pen().color());
    } else {
      p->drawRect(QRect(Left, Top, w - 1, h - 1));
    }
    return;
  }
  SyncPen();
  SyncBrush(brush ? BrushUse::Canvas : BrushUse::None);
  p->drawRect(QRect(Left, Top, w - 1, h - 1));
}

void TCanvas::Ellipse(int Left, int Top, int Right, int Bottom) {
  Left = Lim(Left), Top = Lim(Top), Right = Lim(Right), Bottom = Lim(Bottom);
  if (Right < Left) std::swap(Left, Right);
  if (Bottom < Top) std::swap(Top, Bottom);
  const int w = Right - Left, h = Bottom - Top;
  const bool brush = FBrush.FStyle != bsClear;
  if (w <= 1 || h <= 1 || (!PenVisible() && !brush)) return;
  QPainter* p = Prep();
  if (!p) return;
  SyncPenMode();
  SyncPen();
  SyncBrush(brush ? BrushUse::Canvas : BrushUse::None);
  p->drawEllipse(QRect(Left, Top, w - 1, h - 1));
}

void TCanvas::Polygon(const TPoint* points, int count) {
  const bool pen = PenVisible(), brush = FBrush.FStyle != bsClear;
  if (count < 2 || (!pen && !brush)) return;
  QPainter* p = Prep();
  if (!p) return;
  SyncPenMode();
  if (FPen.FWidth > 1 || !pen) {
    SyncPen();
    SyncBrush(brush ? BrushUse::Canvas : BrushUse::None);
    p->drawPolygon(ToQt(points, count), count, Qt::OddEvenFill);
    return;
  }
  // Fill first, then the closed outline segment by segment, so every corner is drawn once.
  if (brush) {
    p->setPen(Qt::NoPen);
    FPenDirty = true;
    SyncBrush(BrushUse::Canvas);
    p->drawPolygon(ToQt(points, count), count, Qt::OddEvenFill);
  }
  SyncBrush(BrushUse::None);
  DrawSegments(points, count, true);
}

void TCanvas::FillRect(const TRect& r) {
  const QRect q = ToQRect(r);
  if (FBrush.FStyle == bsClear || q.width() <= 0 || q.height() <= 0) return;
  QPainter* p = Prep();
  if (!p) return;
  SyncComposition(QPainter::CompositionMode_SourceOver);
  if (FBrush.FStyle == bsSolid)
    p->fillRect(q, ColorToQColor(FBrush.FColor));
  else
    p->fillRect(q, MakeBrush());
}

void TCanvas::FrameRect(const TRect& r) {
  const QRect q = ToQRect(r);
  if (q.width() <= 0 || q.height() <= 0) return;
  QPainter* p = Prep();
  if (!p) return;
  SyncComposition(QPainter::CompositionMode_SourceOver);
  const QColor c = ColorToQColor(FBrush.FColor);
  p->fillRect(QRect(q.left(), q.top(), q.width(), 1), c);
  p->fillRect(QRect(q.left(), q.bottom(), q.width(), 1), c);
  p->fillRect(QRect(q.left(), q.top(), 1, q.height()), c);
  p->fillRect(QRect(q.right(), q.top(), 1, q.height()), c);
}

void TCanvas::FillSolid(const TRect& r, TColor color) {
  const QRect q = ToQRect(r);
  if (q.width() <= 0 || q.height() <= 0) return;
  QPainter* p = Prep();
  if (!p) return;
  SyncComposition(QPainter::CompositionMode_SourceOver);
  p->fillRect(q, ColorToQColor(color));
}

void TCanvas::TextOut(int X, int Y, const std::string& utf8) { TextOut(X, Y, QString::fromStdString(utf8)); }

void TCanvas::TextOut(int X, int Y, const QString& text) {
  const int w = Advance(text);
  const QFontMetrics& fm = Metrics();
  const int h = fm.ascent() + fm.descent();
  const int ascent = fm.ascent();
  FPenPos = {X + w, Y};
  if (text.isEmpty()) return;
  QPainter* p = Prep();
  if (!p) return;
  // Text ignores the pen mode.
  SyncComposition(QPainter::CompositionMode_SourceOver);
  SyncFont();
  const bool opaque = FBrush.FStyle == bsSolid;
  const int o = FFont.FOrientation % 3600;
  if (o != 0) {
    QTransform t;
    t.translate(X, Y);
    t.rotate(-o / 10.0);
    p->setTransform(t);
    X = Y = 0;
  }
  if (opaque) p->fillRect(QRect(X, Y, w, h), ColorToQColor(FBrush.FColor));
  p->setPen(ColorToQColor(FFont.FColor));
  FPenDirty = true;
  p->drawText(QPoint(X, Y + ascent), text);
  if (o != 0) p->resetTransform();
}

int TCanvas::TextWidth(const std::string& utf8) { return TextWidth(QString::fromStdString(utf8)); }
int TCanvas::TextWidth(const QString& text) { return Advance(text); }
int TCanvas::TextHeight(const std::string& utf8) { return TextHeight(QString::fromStdString(utf8)); }
int TCanvas::TextHeight(const QString&) {
  const QFontMetrics& fm = Metrics();
  return fm.ascent() + fm.descent();
}
TSize TCanvas::TextExtent(const std::string& utf8) {
  const QString s = QString::fromStdString(utf8);
  return {TextWidth(s), TextHeight(s)};
}

const QImage& TCanvas::ReadImage() {
  End();
  return *FTarget;
}

TColor TCanvas::Pixels(int X, int Y) {
  if (!FTarget || X < 0 || Y < 0 || X >= FTarget->width() || Y >= FTarget->height())
    return clInvalidPixel;
  return RgbToColor(ReadImage().pixel(X, Y));
}

void TCanvas::SetPixel(int X, int Y, TColor color) {
  if (!FTarget || X < 0 || Y < 0 || X >= FTarget->width() || Y >= FTarget->height()) return;
  if (FPainter.isActive()) {
    QPainter* p = Prep();
    SyncComposition(QPainter::CompositionMode_SourceOver);
    p->fillRect(QRect(X, Y, 1, 1), ColorToQColor(color));
    return;
  }
  FTarget->setPixel(X, Y, ColorToRgb(color));
  if (OnChange) OnChange();
}

void TCanvas::Draw(int X, int Y, TBitmap& bitmap) {
  // A bitmap drawn onto itself is read from a copy.
  const QImage img = bitmap.Canvas() == this ? bitmap.Image().copy() : bitmap.Image();
  DrawImageRect(QRect(X, Y, img.width(), img.height()), img, img.rect());
}

void TCanvas::StretchDraw(const TRect& dest, TBitmap& bitmap) {
  const QImage img = bitmap.Canvas() == this ? bitmap.Image().copy() : bitmap.Image();
  DrawImageRect(ToQRect(dest), img, img.rect());
}

void TCanvas::CopyRect(const TRect& dest, TCanvas& source, const TRect& sourceRect) {
  if (!source.FTarget) return;
  const QRect d = ToQRect(dest);
  const QRect s = ToQRect(sourceRect);
  if (&source == this || source.FTarget == FTarget) {
    // Overlapping copy within one image: take the source pixels first.
    if (!FTarget || FTarget->isNull()) return;
    const QImage part = FTarget->copy(s);
    DrawImageRect(d, part, part.rect());
    return;
  }
  DrawImageRect(d, source.ReadImage(), s);
}

void TCanvas::CopyImageRect(const TRect& dest, const QImage& source, const TRect& sourceRect) {
  DrawImageRect(ToQRect(dest), source, ToQRect(sourceRect));
}

void TCanvas::DrawImageRect(const QRect& dest, const QImage& src, const QRect& srcRect) {
  if (dest.width() <= 0 || dest.height() <= 0 || srcRect.width() <= 0 || srcRect.height() <= 0 ||
      src.isNull())
    return;
  QPainter* p = Prep();
  if (!p) return;
  switch (FCopyMode) {
    case cmBlackness:
      SyncComposition(QPainter::CompositionMode_SourceOver);
      p->fillRect(dest, Qt::black);
      return;
    case cmWhiteness:
      SyncComposition(QPainter::CompositionMode_SourceOver);
      p->fillRect(dest, Qt::white);
      return;
    case cmDstInvert:
      SyncComposition(QPainter::RasterOp_NotDestination);
      p->fillRect(dest, Qt::white);
      return;
    case cmSrcInvert: SyncComposition(QPainter::RasterOp_SourceXorDestination); break;
    case cmSrcAnd: SyncComposition(QPainter::RasterOp_SourceAndDestination); break;
    case cmSrcPaint: SyncComposition(QPainter::RasterOp_SourceOrDestination); break;
    case cmNotSrcCopy: SyncComposition(QPainter::RasterOp_NotSource); break;
    default: SyncComposition(QPainter::CompositionMode_SourceOver); break;
  }
  if (dest.size() == srcRect.size()) {
    p->drawImage(dest.topLeft(), src, srcRect);
  } else if (FStretchMode == smHalftone) {
    // Area-averaging scale: every source pixel contributes, unlike bilinear sampling.
    const QImage scaled =
        src.copy(srcRect).scaled(dest.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    p->drawImage(dest.topLeft(), scaled);
  } else {
    p->drawImage(dest, src, srcRect);
  }
}

}  // namespace vek
