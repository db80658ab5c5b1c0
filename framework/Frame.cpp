#include "Frame.h"

namespace vek {

namespace {

// One ring on the box whose outermost pixels are l, t, r, b (inclusive): top and left in
// tl, bottom and right in br. The corners top-right and bottom-left belong to br.
void Ring(TCanvas& c, int l, int t, int r, int b, TColor tl, TColor br) {
  if (r < l || b < t) return;
  c.FillSolid({l, t, r, t + 1}, tl);          // top, without its last pixel
  c.FillSolid({l, t + 1, l + 1, b}, tl);      // left, without its last pixel
  c.FillSolid({l, b, r + 1, b + 1}, br);      // bottom
  c.FillSolid({r, t, r + 1, b + 1}, br);      // right
}

}  // namespace

void DrawFrame(TCanvas& Canvas, TFrameStyle Style, int Left, int Top, int Right, int Bottom,
               TColor C1, TColor C2, TColor C3, TColor C4, TColor C5) {
  switch (Style) {
    case fsBevel:
      Ring(Canvas, Left, Top, Right, Bottom, C2, C4);
      Ring(Canvas, Left + 1, Top + 1, Right - 1, Bottom - 1, C1, C3);
      break;
    case fsSingle:
      Ring(Canvas, Left, Top, Right, Bottom, C5, C5);
      break;
    case fsRaised:
      Ring(Canvas, Left, Top, Right, Bottom, C3, C1);
      Ring(Canvas, Left + 1, Top + 1, Right - 1, Bottom - 1, C4, C2);
      break;
    case fsDouble:
      Ring(Canvas, Left, Top, Right, Bottom, C5, C5);
      Ring(Canvas, Left + 2, Top + 2, Right - 2, Bottom - 2, C5, C5);
      break;
    default:
      break;
  }
}

}  // namespace vek
