// The map unit without widgets: calibration records and maths, the calibration, world-file,
// control-point, landmark and interchange files, and the landmark store. Needs QtCore only.
#pragma once

#include "CalibXml.h"
#include "ControlPointFile.h"
#include "GeoMapRecords.h"
#include "LandMarkInterchange.h"
#include "LandMarkStore.h"
#include "LandMarkXml.h"
#include "MapCalibration.h"
#include "PascalArray.h"
#include "WorldFile.h"
