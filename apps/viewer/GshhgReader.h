// Reader for the binned netCDF files of the GSHHG data set (coastlines, borders, rivers) as
// shipped for GMT. The files cut every feature into pieces, one per 10-degree bin (or whatever
// bin size the file states); the reader joins the pieces into whole lines and rings again.
#pragma once

#include <string>
#include <vector>

#include "GeoDBRecords.h"
#include "VekError.h"

namespace vek::viewer {

class EGshhgError : public EVEKError {
 public:
  using EVEKError::EVEKError;
};

struct TGshhgFeature {
  // Shore files: 1 land, 2 lake, 3 island in a lake, 4 pond on such an island.
  // Border and river files: the file's class of the line (1 = national border, major river).
  int Level = 0;
  // Shore files: the GSHHS polygon the feature belongs to; line files: a running number.
  int Id = 0;
  bool Closed = false;
  // A lake that is the wide part of a river (shore files only).
  bool RiverLake = false;
  // A ring around a pole (Antarctica): it starts at the antimeridian, and its points end with
  // the first point one turn (360 degrees) further on and two corners at the pole, so that it
  // can be filled on a latitude/longitude map. Edges that touch the pole are not coastline.
  bool AroundPole = false;
  // Longitudes are continuous along the feature (no jumps of 360 degrees); a feature that
  // crosses the antimeridian therefore reaches beyond 180 or below -180 on one side.
  // Closed rings do not repeat their first point.
  TgdbPolygon Points;
};

// The land, lake, island and pond rings of a binned shore file (binned_GSHHS_?.nc). Of the
// two Antarctic coastlines the ice front is kept, the grounding line left out.
std::vector<TGshhgFeature> ReadGshhgShore(const std::string& FileName);

// The lines of a binned border or river file (binned_border_?.nc, binned_river_?.nc).
std::vector<TGshhgFeature> ReadGshhgLines(const std::string& FileName);

}  // namespace vek::viewer
