// The map unit: records, the map control and its helpers. Applications include this header.
#pragma once

#include "GeoMapRecords.h"
#include "LandMarkStore.h"
#include "PascalArray.h"
#include "SymbolDrawing.h"
#include "TGeoMap.h"
