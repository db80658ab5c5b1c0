// A UTM grid for maps whose calibration model has none of its own (the map control draws the
// grid of cmUTM maps only): lines of constant easting and northing in the map's UTM zone,
// traced through the calibration, so they bend as the map's projection demands.
#pragma once

#include "Vek_geomap.h"

namespace vek::viewer {

// Draws onto Canvas (control pixels) with the map's UTMZone, UTMHemisphere and UTMGridDist
// (0: about ten lines across the map's height). Nothing without a zone or a calibration.
void DrawUTMGridOverlay(const TGeoMap& Map, TCanvas& Canvas, TColor Color);

}  // namespace vek::viewer
