// The viewer's Layers menu: the world database drawn over every map, scans included, and
// databases the user opens, each with its visibility; captions placed without overlaps.
#pragma once

class QMainWindow;

namespace vek {
class TGeoAtlas;
class TGeoDB;
}  // namespace vek

namespace vek::viewer {

// Adds the menu to Window's menu bar and the world layer to the atlas's map.
void AddLayersMenu(QMainWindow* Window, TGeoAtlas* Atlas, TGeoDB* World);

}  // namespace vek::viewer
