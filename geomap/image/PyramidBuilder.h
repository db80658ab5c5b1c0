// Turns the rows of a full-size image, top to bottom, into the tiles of every pyramid level.
// Each level keeps one strip of tile height; every two rows of a level make one row of the
// next (2 x 2 averages), so memory stays at a few strips however tall the image is.
#pragma once

#include <QImage>
#include <cstdint>
#include <functional>
#include <vector>

#include "PyramidFile.h"

namespace vek {

class TPyramidBuilder {
 public:
  // Receives each finished tile; returning false stops the build.
  using TTileSink = std::function<bool(int Level, int TX, int TY, const QImage& Tile)>;
  TPyramidBuilder(const TPyramidLayout& Layout, TTileSink Sink);
  // The next row of the full image (Layout.Width pixels, 0xffRRGGBB). False when the sink
  // stopped the build or memory ran out.
  bool AddRow(const uint32_t* Row);

 private:
  struct TLevel {
    QImage Strip;
    int Rows = 0;  // rows received so far
    std::vector<uint32_t> Pending;
    bool HasPending = false;
    std::vector<uint32_t> Half;
  };
  bool Add(int Level, const uint32_t* Row);
  bool FlushStrip(int Level, int RowsInStrip);

  TPyramidLayout FLayout;
  TTileSink FSink;
  std::vector<TLevel> FLevels;
};

}  // namespace vek
