// The pen, brush and font of a canvas: each tells its canvas when it changes, so that the
// painter is brought up to date before the next drawing call.
#include "Canvas.h"

namespace vek {

void TPen::SetMode(TPenMode m) {
  if (m != FMode) {
    FMode = m;
    Changed();
  }
}

void TPen::Changed() {
  if (FOwner) FOwner->FPenDirty = true;
}

void TPen::Assign(const TPen& src) {
  SetColor(src.FColor);
  SetWidth(src.FWidth);
  SetStyle(src.FStyle);
  SetMode(src.FMode);
}

void TBrush::Changed() {
  if (FOwner) FOwner->FBrushDirty = true;
}

void TBrush::Assign(const TBrush& src) {
  SetColor(src.FColor);
  SetStyle(src.FStyle);
}

TFont::TFont() = default;

void TFont::Changed(bool shape) {
  if (!shape) return;
  FQFont.reset();
  if (FOwner) {
    FOwner->FFontDirty = true;
    FOwner->FMetricsDirty = true;
  }
}

int TFont::PixelHeight() const {
  // Points at 96 dpi, rounded like MulDiv(Size, 96, 72). Sizes come from files too: keep
  // them to what a glyph cache can hold.
  const int64_t s = FSize;
  const int64_t px = s < 0 ? -s : (s * 96 + 36) / 72;
  return int(std::clamp<int64_t>(px, 1, kMaxFontPixels));
}

void TFont::Assign(const TFont& src) {
  SetName(src.FName);
  SetSize(src.FSize);
  SetColor(src.FColor);
  SetStyle(src.FStyle);
  SetOrientation(src.FOrientation);
  SetQuality(src.FQuality);
}

const QFont& TFont::QtFont(bool canvasAntialiased) const {
  const bool aa = FQuality == fqAntialiased || (FQuality == fqDefault && canvasAntialiased);
  if (!FQFont || FQFontAA != aa) {
    QFont f(QString::fromStdString(FName));
    f.setPixelSize(std::max(1, PixelHeight()));
    f.setBold(FStyle.contains(fsBold));
    f.setItalic(FStyle.contains(fsItalic));
    f.setUnderline(FStyle.contains(fsUnderline));
    f.setStrikeOut(FStyle.contains(fsStrikeOut));
    f.setStyleStrategy(aa ? QFont::PreferAntialias : QFont::NoAntialias);
    FQFont = f;
    FQFontAA = aa;
  }
  return *FQFont;
}

}  // namespace vek
