// The paint cycle: every repaint composes the whole picture off screen in AuxBmp and copies
// it onto the control's canvas in one block.
#include <algorithm>
#include <cmath>

#include "Frame.h"
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

  auto fillBackground = [&] {
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(FColorBakGnd);
    c.Pen().SetColor(FColorBakGnd);
    c.Rectangle(0, 0, W, H);
  };

  if (FMapImgName.empty()) {
    fillBackground();
    c.Font().SetColor(FFrameColor);
    c.TextOut(10, 10, FEmptyMsg);
  } else if (Visible()) {
    fillBackground();
    DrawMapImage(c);
    if (OnBeforeRenderData) OnBeforeRenderData(this, &c);
    if (FShowGrat != sgNone) ComposeCalibrationMarks(c);
    c.Pen().SetColor(0x00FF00);
    ComposeLandMarks(c);
    if (OnDataRendered) OnDataRendered(this, &c);
    ComposeHighlightedLandMark(c);
  }
  // A hidden control keeps the previous picture under the trace and the frame.
  ComposeMouseTrace(*AuxBmp);
  DrawFrame(c, FFrameStyle, 0, 0, W - 1, H - 1, FColBlackLine, FColGrayLine, 0xC0C0C0,
            FColWhiteLine, 0x000000);
}

namespace {

// The part of the source rectangle S (which fills the destination D) that lies inside
// Bounds, and the matching part of D. False when nothing of S is inside.
bool ClipStretch(const TRect& S, const TRect& D, const TRect& Bounds, TRect& SClip, TRect& DClip) {
  if (S.Width() <= 0 || S.Height() <= 0) return false;
  SClip.Left = std::max(S.Left, Bounds.Left);
  SClip.Top = std::max(S.Top, Bounds.Top);
  SClip.Right = std::min(S.Right, Bounds.Right);
  SClip.Bottom = std::min(S.Bottom, Bounds.Bottom);
  if (SClip.Width() <= 0 || SClip.Height() <= 0) return false;
  const double sx = double(D.Width()) / S.Width();
  const double sy = double(D.Height()) / S.Height();
  DClip.Left = D.Left + RoundToInt((SClip.Left - S.Left) * sx);
  DClip.Right = D.Left + RoundToInt((SClip.Right - S.Left) * sx);
  DClip.Top = D.Top + RoundToInt((SClip.Top - S.Top) * sy);
  DClip.Bottom = D.Top + RoundToInt((SClip.Bottom - S.Top) * sy);
  return DClip.Width() > 0 && DClip.Height() > 0;
}

}  // namespace

void TGeoMap::DrawMapImage(TCanvas& C) {
  if (GrafBmp->Empty() || !(FView.Magnify > 0)) return;
  const int W = Width();
  const int H = Height();

  // Reduced views come from a scaled copy of the whole image, so that panning costs a
  // plain copy instead of a smoothing stretch.
  if ((FCacheMag != FView.Magnify || FCacheAA != FAntiAlias) && FView.Magnify < FCacheMagLimit) {
    const int cw = RoundToInt(GrafBmp->Width() * FView.Magnify);
    const int ch = RoundToInt(GrafBmp->Height() * FView.Magnify);
    if (cw >= 1 && ch >= 1) {
      FImgCache->SetSize(cw, ch);
      TCanvas& cc = *FImgCache->Canvas();
      cc.SetStretchMode(FAntiAlias ? smHalftone : smColorOnColor);
      cc.SetCopyMode(cmSrcCopy);
      cc.CopyRect(TRect{0, 0, cw, ch}, *GrafBmp->Canvas(),
                  TRect{0, 0, GrafBmp->Width(), GrafBmp->Height()});
      cc.End();
      FCacheMag = FView.Magnify;
      FCacheAA = FAntiAlias;
    }
  }

  const TRect dest{0, 0, W, H};
  TRect s, d;
  C.SetCopyMode(cmSrcCopy);
  if (FCacheMag == FView.Magnify && !FImgCache->Empty()) {
    const int x0 = RoundToInt(FView.TopLeft.X * FView.Magnify);
    const int y0 = RoundToInt(FView.TopLeft.Y * FView.Magnify);
    const TRect src{x0, y0, x0 + W, y0 + H};
    C.SetStretchMode(smColorOnColor);
    if (ClipStretch(src, dest, TRect{0, 0, FImgCache->Width(), FImgCache->Height()}, s, d))
      C.CopyRect(d, *FImgCache->Canvas(), s);
  } else {
    const TRect src{FView.TopLeft.X, FView.TopLeft.Y, RoundToInt(W / FView.Magnify + FView.TopLeft.X),
                    RoundToInt(H / FView.Magnify + FView.TopLeft.Y)};
    C.SetStretchMode(FAntiAlias ? smHalftone : smColorOnColor);
    if (ClipStretch(src, dest, TRect{0, 0, GrafBmp->Width(), GrafBmp->Height()}, s, d))
      C.CopyRect(d, *GrafBmp->Canvas(), s);
  }
}

// Graticule, UTM grid and calibration point marks, landmarks and the highlighted landmark
// belong to the full renderer. The base control does not draw them; these steps leave the
// picture as it is.
void TGeoMap::ComposeCalibrationMarks(TCanvas&) {}
void TGeoMap::ComposeLandMarks(TCanvas&) {}
void TGeoMap::ComposeHighlightedLandMark(TCanvas&) {}

void TGeoMap::ComposeMouseTrace(TBitmap& Target) { DrawMouseTrace(0, 0, &Target); }

}  // namespace vek
