// A layer draws something of its own onto the map's canvas from the calibration and the
// view, like the renderer: no widget inside, so that the map control, the headless renderer
// and tests draw it alike.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Canvas.h"
#include "MapCalibration.h"
#include "MapViewport.h"

namespace vek {

class TLandMarkImageCache;
struct TCaptionRequest;

// What a layer is drawn with in one frame.
struct TLayerFrame {
  const TMapCalibration& Cal;
  const TMapViewport& View;                 // its Width and Height are the control's size
  TLandMarkImageCache* Images = nullptr;    // symbols and captions blitted from here
  // When captions are decluttered: a layer adds its captions here (their properties must
  // live until the frame is done) instead of drawing them.
  std::vector<TCaptionRequest>* Captions = nullptr;
};

class TMapLayer {
 public:
  virtual ~TMapLayer() = default;
  virtual void Draw(TCanvas& C, const TLayerFrame& Frame) = 0;

  std::string Name;
  bool Visible = true;
};

}  // namespace vek
