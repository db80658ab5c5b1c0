// Small images (landmark symbols and captions drawn once) put onto a canvas many times a
// frame. Where the canvas allows it, the pixels are written straight into its image, with
// the arithmetic of Qt's source-over blend, so the picture is the one QPainter::drawImage
// gives, without its cost per call.
#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <cstdint>
#include <vector>

#include "Canvas.h"

namespace vek {

// A row's stretch of pixels that are not fully transparent; Opaque when each is.
struct TSpriteRun {
  int16_t X = 0, Y = 0;
  uint16_t Len = 0;
  bool Opaque = false;
};

// One drawn symbol or caption: Image goes with its top-left corner at the landmark's
// position plus Offset (for captions, plus the caption's dx, dy as well).
struct TLandMarkSprite {
  // Null once a masked sprite is prepared: Picture() paints it again from the mask.
  QImage Image;
  QPoint Offset;
  QSize Size;  // of Image, kept here so that placing captions need not touch the images
  // What a blit writes. Images of two pixel values (a caption of one colour, on its box or
  // not) keep a bit per pixel, set where the image holds Set and clear where it holds Unset;
  // others keep their runs of pixels that are not fully transparent, row by row.
  std::vector<TSpriteRun> Runs;
  std::vector<uint64_t> Mask;  // (width + 63) / 64 words per row
  uint32_t Set = 0, Unset = 0;
  QRect Box() const { return QRect(Offset, Size); }
  bool Empty() const { return Size.isEmpty(); }
  // Size and what a blit writes from Image (ARGB32 premultiplied or RGB32).
  void Prepare();
  bool Masked() const { return !Mask.empty(); }
  // The image, for drawing it with a painter (painted anew each time for a masked sprite,
  // so that the cache's bound holds).
  QImage Picture() const;
  size_t PreparedBytes() const {
    return Runs.size() * sizeof(TSpriteRun) + Mask.size() * sizeof(uint64_t);
  }
};

// Draws sprites with the canvas's painter, taken once for many sprites. Call Release after
// anything else drew on the canvas (its primitives, an event handler).
class TSpriteBlitter {
 public:
  explicit TSpriteBlitter(TCanvas& C) : FCanvas(C) {}
  // The sprite's top-left at (X, Y) + its offset.
  void Blit(const TLandMarkSprite& S, int X, int Y);
  void Release() {
    FPainter = nullptr;
    FPixels = nullptr;
  }

 private:
  bool Acquire();
  void Write(const TLandMarkSprite& S, int X, int Y);
  void WriteMasked(const TLandMarkSprite& S, int64_t X0, int64_t Y0);

  TCanvas& FCanvas;
  QPainter* FPainter = nullptr;
  // The target's pixels while sprites may be written into them directly: no clip, no
  // transform, full opacity, a 32-bit image of its own.
  uint32_t* FPixels = nullptr;
  int64_t FStride = 0;  // pixels per line
  int FWidth = 0, FHeight = 0;
};

}  // namespace vek
