// The map unit: the non-widget part (Vek_geomapcore.h), the map control and the symbols it
// draws. Applications include this header.
#pragma once

#include "SymbolDrawing.h"
#include "SymbolRepository.h"
#include "TGeoMap.h"
#include "Vek_geomapcore.h"
