// What the map control remembers between mouse events: the drag in progress, the corners of
// the overlays on screen (so that they can be erased by drawing them again) and the last
// positions. Coordinates are control pixels unless the name says otherwise.
#pragma once

#include <cstdint>

#include "VekTypes.h"

namespace vek {

struct TMouseState {
  // Zoom box (MouseAction maZoomBox) being dragged.
  TZoomState ZoomState = zsIdle;

  // The modal MouseBox: its state and the two corners.
  TMouseBoxState MouseBoxState = mbsIdle;
  int32_t MouseBoxX1 = 0;
  int32_t MouseBoxY1 = 0;
  int32_t MouseBoxX2 = 0;
  int32_t MouseBoxY2 = 0;

  // Fixed corner of the zoom box and of the selection rectangle, and the moving corner as
  // last drawn (the MouseBox shares the moving corner).
  int32_t WindAnchorX = 0;
  int32_t WindAnchorY = 0;
  int32_t WindOldCornerX = 0;
  int32_t WindOldCornerY = 0;

  // Pan and drag zoom: the mouse position and the view origin (image pixels) where the drag
  // began, and whether the previous move had the left button held.
  int32_t MouseAnchorX = 0;
  int32_t MouseAnchorY = 0;
  int32_t TopLeftXAnchor = 0;
  int32_t TopLeftYAnchor = 0;
  bool LButtonWasDown = false;

  // Rubber-band line: on or off, the start of the current segment and its end as last drawn.
  bool RubberBandOn = false;
  int32_t RubberBAnchorX = 0;
  int32_t RubberBAnchorY = 0;
  int32_t RubberBandOldX = 0;
  int32_t RubberBandOldY = 0;

  // A selection rectangle is being dragged.
  bool SelectRectOn = false;

  // Image pixels of the last press and of the last move.
  int32_t LastMClickPosX = 0;
  int32_t LastMClickPosY = 0;
  int32_t LastMMousePosX = 0;
  int32_t LastMMousePosY = 0;
};

}  // namespace vek
