// The map unit: records, the map control and its helpers. Applications include this header.
#pragma once

#include "CalibXml.h"
#include "GeoMapRecords.h"
#include "LandMarkInterchange.h"
#include "LandMarkStore.h"
#include "LandMarkXml.h"
#include "MapCalibration.h"
#include "PascalArray.h"
#include "SymbolDrawing.h"
#include "SymbolRepository.h"
#include "TGeoMap.h"
