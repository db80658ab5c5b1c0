// TCanvas: GDI-style drawing (current position, pen, brush, font, raster modes) on a QImage
// through one QPainter that stays open for a whole composition.
#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QString>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Colors.h"
#include "GraphicsTypes.h"

namespace vek {

class TCanvas;
class TBitmap;

enum TPenStyle : uint8_t { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };

// Binary raster operations of the pen (and of fills drawn with it).
enum TPenMode : uint8_t {
  pmBlack, pmWhite, pmNop, pmNot, pmCopy, pmNotCopy, pmMergePenNot, pmMaskPenNot,
  pmMergeNotPen, pmMaskNotPen, pmMerge, pmNotMerge, pmMask, pmNotMask, pmXor, pmNotXor
};

enum TBrushStyle : uint8_t {
  bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross
};

// How StretchDraw and CopyRect resample: averaging (smooth) or picking the nearest pixel.
enum TStretchMode : uint8_t { smColorOnColor = 3, smHalftone = 4 };
inline constexpr int COLORONCOLOR = smColorOnColor;
inline constexpr int HALFTONE = smHalftone;

// Ternary raster codes of block copies; the common ones are honoured, others copy.
using TCopyMode = uint32_t;
inline constexpr TCopyMode cmBlackness = 0x00000042;
inline constexpr TCopyMode cmDstInvert = 0x00550009;
inline constexpr TCopyMode cmNotSrcCopy = 0x00330008;
inline constexpr TCopyMode cmSrcAnd = 0x008800C6;
inline constexpr TCopyMode cmSrcCopy = 0x00CC0020;
inline constexpr TCopyMode cmSrcInvert = 0x00660046;
inline constexpr TCopyMode cmSrcPaint = 0x00EE0086;
inline constexpr TCopyMode cmWhiteness = 0x00FF0062;

// Returned by Pixels outside the canvas.
inline constexpr TColor clInvalidPixel = 0xFFFFFFFF;

// Pen, brush and font tell their canvas when they change, so the canvas hands the new state
// to its painter only before the next primitive that needs it.
class TPen {
 public:
  TColor Color() const { return FColor; }
  void SetColor(TColor c) { if (c != FColor) { FColor = c; Changed(); } }
  int Width() const { return FWidth; }
  void SetWidth(int w) { if (w < 1) w = 1; if (w != FWidth) { FWidth = w; Changed(); } }
  TPenStyle Style() const { return FStyle; }
  void SetStyle(TPenStyle s) { if (s != FStyle) { FStyle = s; Changed(); } }
  TPenMode Mode() const { return FMode; }
  void SetMode(TPenMode m);
  void Assign(const TPen& src);

 private:
  friend class TCanvas;
  void Changed();
  TCanvas* FOwner = nullptr;
  TColor FColor = clBlack;
  int FWidth = 1;
  TPenStyle FStyle = psSolid;
  TPenMode FMode = pmCopy;
};

class TBrush {
 public:
  TColor Color() const { return FColor; }
  void SetColor(TColor c) { if (c != FColor) { FColor = c; Changed(); } }
  TBrushStyle Style() const { return FStyle; }
  void SetStyle(TBrushStyle s) { if (s != FStyle) { FStyle = s; Changed(); } }
  void Assign(const TBrush& src);

 private:
  friend class TCanvas;
  void Changed();
  TCanvas* FOwner = nullptr;
  TColor FColor = clWhite;
  TBrushStyle FStyle = bsSolid;
};

inline constexpr int kMaxFontPixels = 2048;

enum TFontQuality : uint8_t { fqDefault, fqNonAntialiased, fqAntialiased };

class TFont {
 public:
  TFont();
  const TFontName& Name() const { return FName; }
  void SetName(const TFontName& n) { if (n != FName) { FName = n; Changed(true); } }
  // Points at 96 pixels per inch; a negative size is a height in pixels. The height is
  // kept within 1 ... kMaxFontPixels pixels.
  int Size() const { return FSize; }
  void SetSize(int s) { if (s != FSize) { FSize = s; Changed(true); } }
  // The em height in pixels.
  int PixelHeight() const;
  TColor Color() const { return FColor; }
  void SetColor(TColor c) { if (c != FColor) { FColor = c; Changed(false); } }
  TFontStyles Style() const { return FStyle; }
  void SetStyle(TFontStyles s) { if (s != FStyle) { FStyle = s; Changed(true); } }
  // Direction of the baseline in tenths of a degree, counter-clockwise.
  int Orientation() const { return FOrientation; }
  void SetOrientation(int o) { if (o != FOrientation) { FOrientation = o; Changed(false); } }
  // fqDefault follows the canvas's antialiasing setting.
  TFontQuality Quality() const { return FQuality; }
  void SetQuality(TFontQuality q) { if (q != FQuality) { FQuality = q; Changed(true); } }
  void Assign(const TFont& src);

  // The Qt font (without colour and rotation), built once per change.
  const QFont& QtFont(bool canvasAntialiased = false) const;

 private:
  friend class TCanvas;
  void Changed(bool shape);
  TCanvas* FOwner = nullptr;
  TFontName FName = "MS Sans Serif";
  int FSize = 8;
  TColor FColor = clBlack;
  TFontStyles FStyle{};
  int FOrientation = 0;
  TFontQuality FQuality = fqDefault;
  mutable std::optional<QFont> FQFont;
  mutable bool FQFontAA = false;
};

class TCanvas {
 public:
  TCanvas();
  explicit TCanvas(QImage* target);
  ~TCanvas();
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  // The image drawn on; painting on the previous one is finished first.
  void SetTarget(QImage* target);
  QImage* Target() const { return FTarget; }
  int Width() const;
  int Height() const;

  TPen& Pen() { return FPen; }
  TBrush& Brush() { return FBrush; }
  TFont& Font() { return FFont; }
  const TPen& Pen() const { return FPen; }
  const TBrush& Brush() const { return FBrush; }
  const TFont& Font() const { return FFont; }

  // Painting is opened by the first primitive and stays open until End (or until the image
  // is read). Begin opens it explicitly; both may be called any number of times.
  void Begin();
  void End();
  bool Painting() const;
  // For drawing with Qt directly. The canvas sets its own state again before its next
  // primitive, so the caller may change pen, brush, transform or composition freely.
  QPainter* Painter();

  // Primitives draw only inside the rectangle (control pixels) until ClearClipRect.
  void SetClipRect(const QRectF& r);
  void ClearClipRect();

  // Off by default so that every primitive hits exact pixels.
  bool Antialiasing() const { return FAntialiasing; }
  void SetAntialiasing(bool on);

  TCopyMode CopyMode() const { return FCopyMode; }
  void SetCopyMode(TCopyMode m) { FCopyMode = m; }
  TStretchMode StretchMode() const { return FStretchMode; }
  void SetStretchMode(TStretchMode m) { FStretchMode = m; }
  void SetStretchMode(int m) { FStretchMode = m == smHalftone ? smHalftone : smColorOnColor; }

  TPoint PenPos() const { return FPenPos; }
  void SetPenPos(TPoint p) { FPenPos = p; }

  void MoveTo(int X, int Y) { FPenPos = {X, Y}; }
  // Draws from the current position up to, not including, (X, Y).
  void LineTo(int X, int Y);
  // Outline with the pen, inside with the brush; covers Left ... Right-1, Top ... Bottom-1.
  void Rectangle(int Left, int Top, int Right, int Bottom);
  void Rectangle(const TRect& r) { Rectangle(r.Left, r.Top, r.Right, r.Bottom); }
  // Inscribed in the same box as Rectangle.
  void Ellipse(int Left, int Top, int Right, int Bottom);
  void Ellipse(const TRect& r) { Ellipse(r.Left, r.Top, r.Right, r.Bottom); }
  // Closed, filled with the brush (alternate rule).
  void Polygon(const TPoint* points, int count);
  void Polygon(std::initializer_list<TPoint> points) { Polygon(points.begin(), int(points.size())); }
  void Polygon(const std::vector<TPoint>& points) { Polygon(points.data(), int(points.size())); }
  // Open; each segment leaves out its end pixel, like LineTo.
  void Polyline(const TPoint* points, int count);
  void Polyline(std::initializer_list<TPoint> points) { Polyline(points.begin(), int(points.size())); }
  void Polyline(const std::vector<TPoint>& points) { Polyline(points.data(), int(points.size())); }
  // Brush only, ignoring the pen mode.
  void FillRect(const TRect& r);
  // A one-pixel border in the brush colour.
  void FrameRect(const TRect& r);
  // Fills with a colour, leaving pen and brush alone.
  void FillSolid(const TRect& r, TColor color);

  // Text whose cell has its top-left corner at (X, Y), turned about that corner by the font's
  // orientation. A solid brush fills the cell behind the text; a clear brush leaves it.
  // Moves the pen position to the end of the text.
  void TextOut(int X, int Y, const std::string& utf8);
  void TextOut(int X, int Y, const QString& text);
  void TextOut(int X, int Y, const char* utf8) { TextOut(X, Y, QString::fromUtf8(utf8)); }
  int TextWidth(const std::string& utf8);
  int TextWidth(const QString& text);
  int TextWidth(const char* utf8) { return TextWidth(QString::fromUtf8(utf8)); }
  int TextHeight(const std::string& utf8);
  int TextHeight(const QString& text);
  int TextHeight(const char* utf8) { return TextHeight(QString::fromUtf8(utf8)); }
  TSize TextExtent(const std::string& utf8);

  TColor Pixels(int X, int Y);
  void SetPixel(int X, int Y, TColor color);

  void Draw(int X, int Y, TBitmap& bitmap);
  void StretchDraw(const TRect& dest, TBitmap& bitmap);
  // Copies (and stretches) a rectangle of another canvas, or of this one, with CopyMode and
  // StretchMode of this canvas.
  void CopyRect(const TRect& dest, TCanvas& source, const TRect& sourceRect);
  void CopyImageRect(const TRect& dest, const QImage& source, const TRect& sourceRect);

  // Called when drawing starts on a closed canvas (a control schedules its repaint here).
  std::function<void()> OnChange;

 private:
  friend class TPen;
  friend class TBrush;
  friend class TFont;
  enum class BrushUse : uint8_t { Unknown, Canvas, None };

  QPainter* Open();
  QPainter* Prep();
  void SyncPen();
  void SyncBrush(BrushUse use);
  void SyncComposition(QPainter::CompositionMode mode);
  void SyncPenMode();
  void SyncFont();
  bool PenVisible() const;
  QPen MakePen(bool background) const;
  QBrush MakeBrush() const;
  bool NeedsOpaqueDashBackground() const;
  const QFontMetrics& Metrics();
  int Advance(const QString& text);
  const QImage& ReadImage();
  const QPoint* ToQt(const TPoint* points, int count);
  void AddSegment(TPoint a, TPoint b);
  void DrawSegments(const TPoint* points, int count, bool closed);
  void DrawImageRect(const QRect& dest, const QImage& src, const QRect& srcRect);

  QImage* FTarget = nullptr;
  QPainter FPainter;
  TPen FPen;
  TBrush FBrush;
  TFont FFont;
  TPoint FPenPos{};
  bool FAntialiasing = false;
  TCopyMode FCopyMode = cmSrcCopy;
  TStretchMode FStretchMode = smColorOnColor;

  // What the painter holds now.
  bool FPenDirty = true;
  bool FBrushDirty = true;
  bool FTransformDirty = false;
  BrushUse FBrushUse = BrushUse::Unknown;
  std::optional<QPainter::CompositionMode> FComposition;
  std::optional<QRectF> FClip;
  bool FFontDirty = true;
  std::optional<QFontMetrics> FMetrics;
  bool FMetricsDirty = true;
  // Measuring a text and then drawing it is the common pattern: shape it only once.
  QString FMeasuredText;
  int FMeasuredWidth = -1;
  std::vector<QPoint> FPointBuf;
  std::vector<QLine> FLineBuf;    // segments drawn as they are
  std::vector<QLineF> FLineFBuf;  // segments slid to keep their start pixel
  struct TSegmentRun {
    bool Slid;
    int Count;
  };
  std::vector<TSegmentRun> FSegmentRuns;  // the order of the two kinds
};

}  // namespace vek
