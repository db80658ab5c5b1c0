// The atlas unit: TGeoAtlas, a map control with a registry of calibrated maps that it switches
// between as the user zooms. Applications include this header.
#pragma once

#include "TGeoAtlas.h"
