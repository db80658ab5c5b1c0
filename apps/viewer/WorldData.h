// The viewer's world database: coastlines, lakes, national borders and rivers of the GSHHG
// data set (Debian package gmt-gshhg-low, which carries the crude, low and intermediate
// resolutions) and the capitals of the country table, built once
// into a TGeoDB in the user's cache directory and opened from there afterwards.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "TGeoDB.h"

namespace vek::viewer {

// Class numbers (TgdbData::ClassFlag) of the items. Land rings are closed borders, lakes are
// lakes, borders and rivers keep their GSHHG level added to their base.
enum TWorldClass : uint8_t {
  wcLand = 1,           // border, closed: a continent or an island
  wcLake = 2,           // lake
  wcIslandInLake = 3,   // border, closed
  wcPond = 4,           // lake on an island in a lake
  wcRiverLake = 5,      // lake: the wide part of a river
  wcBorder = 10,        // + level: 11 national border, 12 internal border, 13 maritime
  wcRiver = 20,         // + level: 20 double-lined, 21 ... 24 permanent, 25 ... 27 intermittent,
                        //   28 ... 30 canals
  wcCapital = 40,       // city with a single point
};

inline bool IsLandClass(uint8_t c) { return c == wcLand || c == wcIslandInLake; }
inline bool IsLakeClass(uint8_t c) { return c == wcLake || c == wcPond || c == wcRiverLake; }
inline bool IsBorderClass(uint8_t c) { return c > wcBorder && c < wcRiver; }
inline bool IsRiverClass(uint8_t c) { return c >= wcRiver && c < wcCapital; }

// What an item of a class is, in words: "lake", "national border", "intermittent river", ...
const char* WorldClassName(uint8_t c);

struct TWorldDataOptions {
  std::string SourceDir = "/usr/share/gmt-gshhg";
  // GSHHG resolution letter: c(rude), l(ow), i(ntermediate). Intermediate keeps the regional
  // maps' coasts, lakes and rivers recognisable at a cost of half a second on first start.
  char Resolution = 'i';
  // The netCDF library can crash on a damaged data file, out of our reach. With a builder
  // program (vekgeo-worldmaps) the files are read and the database built in a child process;
  // a crash there is reported as a damaged data file and this process goes on. Empty: built in
  // this process.
  std::string Builder;
  // Called with each source file before it is read (the builder reports them so).
  std::function<void(const std::string&)> OnSourceFile;
};

struct TWorldCounts {
  int32_t Coasts = 0, Lakes = 0, Borders = 0, Rivers = 0, Cities = 0;
};

// $XDG_CACHE_HOME/vekgeo, or ~/.cache/vekgeo.
std::string DefaultCacheDir();
// The database's base name in a cache directory.
std::string WorldDBName(const std::string& CacheDir);

// Opens the world database at DBName in DB. When it is missing, cannot be opened, is not
// complete (a build that was cut off) or lacks any kind of item, its files are removed and it
// is built anew; DB.OnPercentDone then follows the whole build from 0 to 100 (an intact
// database reports only 100). Returns true when the database was built. Raises EVEKError when
// the source files cannot be read, EInOutError when the database cannot be written.
bool OpenWorldDB(TGeoDB& DB, const std::string& DBName, const TWorldDataOptions& Options = {});

// Builds the database at DBName from scratch (existing files are removed first) and leaves
// it open in DB. With Options.Builder the build runs in a child process; a crash there raises
// EVEKError "damaged data file FILE ..." with no database files left behind.
void BuildWorldDB(TGeoDB& DB, const std::string& DBName, const TWorldDataOptions& Options = {});

TWorldCounts CountWorldItems(const TGeoDB& DB);

// Items that cross the antimeridian keep continuous longitudes (Eurasia reaches beyond 180),
// so an area is also looked up one turn to the west and to the east. Shift is what to add
// to an item's longitudes to bring it into the area; an item may be found with two shifts.
struct TWorldHit {
  int32_t Entry;
  double Shift;
};
std::vector<TWorldHit> FindWorldItemsInArea(const TGeoDB& DB, double LatLow, double LatHigh,
                                            double LongLow, double LongHigh);

}  // namespace vek::viewer
