// Frames round controls.
#pragma once

#include "Canvas.h"
#include "VekTypes.h"

namespace vek {

// Draws the frame of Style on the rectangle whose outermost pixels are Left, Top, Right and
// Bottom (all inclusive). The five colours are, in order: dark shadow, shadow, light,
// highlight and line colour.
//   fsNone    nothing.
//   fsBevel   a sunken bevel two pixels wide: outer ring shadow (top, left) and highlight
//             (bottom, right), inner ring dark shadow (top, left) and light (bottom, right).
//   fsSingle  one ring in the line colour.
//   fsRaised  a raised bevel: outer ring light (top, left) and dark shadow (bottom, right),
//             inner ring highlight (top, left) and shadow (bottom, right).
//   fsDouble  two rings in the line colour, the second two pixels inside the first.
// Pen, brush and pen mode of the canvas are left as they were; other styles draw nothing.
void DrawFrame(TCanvas& Canvas, TFrameStyle Style, int Left, int Top, int Right, int Bottom,
               TColor C1, TColor C2, TColor C3, TColor C4, TColor C5);
inline void DrawFrame(TCanvas* Canvas, TFrameStyle Style, int Left, int Top, int Right, int Bottom,
                      TColor C1, TColor C2, TColor C3, TColor C4, TColor C5) {
  if (Canvas) DrawFrame(*Canvas, Style, Left, Top, Right, Bottom, C1, C2, C3, C4, C5);
}

}  // namespace vek
