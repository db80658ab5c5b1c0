// The demo atlas: generated maps of the world, each continent and a few regions, drawn from
// the world database, kept as image and calibration files in a cache directory.
#pragma once

#include <QImage>
#include <functional>
#include <string>
#include <vector>

#include "MapDrawing.h"

namespace vek {
class TGeoMap;
}

namespace vek::viewer {

struct TDemoMap {
  std::string Name;  // file name without extension
  double LatLow, LongLow, LatHigh, LongHigh;
  double LatStep, LongStep;  // graticule spacing, degrees
  int Wid, Hgt;              // image size, pixels
};

// The world, the continents, then the regional maps; images of at most 3,000,000 pixels
// whose pixels cover about the same distance across as up and down at the map's middle.
const std::vector<TDemoMap>& DemoMaps();

// Where the demo atlas keeps its maps in a cache directory.
inline std::string DemoAtlasDir(const std::string& CacheDir) { return CacheDir + "/maps"; }

using TMapDrawProc = std::function<void(TObject* Sender, TCanvas* MapCanvas, double LatLow,
                                        double LongLow, double LatHigh, double LongHigh,
                                        int Wid, int Hgt)>;
// Makes one generated map: the image and the calibration file ("<name>.xml") named by
// CalibFile, Draw drawing the content onto the image.
using TMapGenerator =
    std::function<void(const std::string& CalibFile, const TDemoMap& Map, const TMapDrawProc& Draw)>;

// Makes the maps with the map control's CreateAndLoadEmptyMap; the last one made stays
// loaded in Map.
TMapGenerator MapControlGenerator(TGeoMap& Map);

// Generates the maps whose calibration file or image is missing in Dir (all of them with
// Regenerate) and writes Dir/atlas.txt, one calibration file per line. Returns those files.
std::vector<std::string> EnsureDemoAtlas(const std::string& Dir, TWorldMapDrawer& Drawer,
                                         const TMapGenerator& Generate, bool Regenerate = false);

// A generated map drawn without a map control: frame, dashed graticule and Draw's content,
// in the same geometry. For previews and checks.
QImage RenderMapPreview(const TDemoMap& Map, const TMapDrawProc& Draw);

}  // namespace vek::viewer
