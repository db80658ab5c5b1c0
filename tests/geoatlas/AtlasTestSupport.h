// Shared pieces of the atlas tests: an atlas in a scratch directory and calibration files
// written for it.
#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <string>

#include "Application.h"
#include "Colors.h"
#include "Vek_geoatlas.h"
#include "Vek_geomap.h"

namespace vek::testing {

// A calibration block of a map of the bounds with the given resolution, calibrated by nine
// points alone on a 400 x 300 image (so the map's own reader reports false for it).
inline void WriteMapCal(const std::string& FileName, const std::string& Caption, double LatLow,
                        double LongLow, double LatHigh, double LongHigh, double Resolution,
                        const std::string& ImageName = "") {
  TCalibData D;
  D.MapFName = ImageName;
  D.Caption = Caption;
  D.Corners[gcoTopLeft] = TCoords{LatHigh, LongLow};
  D.Corners[gcoBottomLeft] = TCoords{LatLow, LongLow};
  D.Corners[gcoBottomRight] = TCoords{LatLow, LongHigh};
  D.Corners[gcoTopRight] = TCoords{LatHigh, LongHigh};
  D.Resolution = Resolution;
  D.NumCalQuads = 9;
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 3; ++j)
      D.CalQuads[3 * (i - 1) + j] = TCalQuad{LatLow + (i - 1) * (LatHigh - LatLow) / 2,
                                             LongLow + (j - 1) * (LongHigh - LongLow) / 2,
                                             (j - 1) * 200, 300 - (i - 1) * 150};
  TextFile F;
  AssignFile(F, FileName);
  Rewrite(F);
  WriteRawCalDataToOpenXMLFile(F, true, "", D, cmEquiRect);
  CloseFile(F);
}

class AtlasTest : public ::testing::Test {
 protected:
  QTemporaryDir dir;
  TGeoAtlas atlas;
  TGeoMap& map = *atlas.CurrentMap();
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    atlas.SetName("Atlas1");
  }
  std::string Path(const std::string& name) const {
    return QDir(dir.path()).filePath(QString::fromStdString(name)).toStdString();
  }
  // The map list's selected entry, 1-based; 0 for none.
  int Selected() const { return atlas.MapSelector()->currentIndex() + 1; }
};

}  // namespace vek::testing
