// Helpers to look at drawn pixels.
#pragma once

#include <QImage>
#include <functional>

#include "Vek_framework.h"

namespace vektest {

// The bounding box (Right and Bottom exclusive) of the pixels for which pred holds;
// an empty box {0, 0, 0, 0} when none does.
inline vek::TRect BoundsWhere(const QImage& img, const std::function<bool(vek::TColor)>& pred) {
  int l = img.width(), t = img.height(), r = -1, b = -1;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      if (pred(vek::RgbToColor(img.pixel(x, y)))) {
        l = std::min(l, x);
        t = std::min(t, y);
        r = std::max(r, x);
        b = std::max(b, y);
      }
  if (r < 0) return {0, 0, 0, 0};
  return {l, t, r + 1, b + 1};
}

inline vek::TRect BoundsNot(const QImage& img, vek::TColor background) {
  return BoundsWhere(img, [background](vek::TColor c) { return c != background; });
}

inline int CountWhere(const QImage& img, const std::function<bool(vek::TColor)>& pred) {
  int n = 0;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      if (pred(vek::RgbToColor(img.pixel(x, y)))) ++n;
  return n;
}

// A white bitmap of the given size.
inline void Clear(vek::TBitmap& bmp, int w, int h, vek::TColor c = vek::clWhite) {
  bmp.SetSize(w, h);
  bmp.Canvas()->FillSolid({0, 0, w, h}, c);
}

}  // namespace vektest
