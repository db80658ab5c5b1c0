// Geodesy unit: reference ellipsoids, countries, geocentric coordinates, datum shifts and the
// TM, UTM and UPS grids.
#pragma once

#include "CountryTable.h"
#include "Ellipsoids.h"
#include "Geocentric.h"
#include "Grids.h"
