// The geographic database unit: TGeoDB, its records and the degree-text helpers.
#pragma once

#include "GeoDBRecords.h"
#include "GeoPackage.h"
#include "TGeoDB.h"
