// A geographic database: create it, add towns, look them up.
#include <vekgeo/Vek_geodb.h>

#include <cstdio>
#include <filesystem>

int main() {
  using namespace vek;
  const auto dir = std::filesystem::temp_directory_path() / "vekgeo_example_db";
  std::filesystem::create_directories(dir);

  TGeoDB db;
  db.setObjectName("Towns");
  db.SetLazyWrite(true);  // indexes are written once, when lazy writing ends or the db closes
  db.SetDBName((dir / "towns.vekgdd").string());  // opens, or creates the seven files
  db.SetDescription("Example towns");

  const int32_t vienna = db.AddTown("Vienna", NowAsDateTime(), 0, TSCoords{48.21f, 16.37f},
                                    171, 1, 0);
  db.AddTown("Graz", NowAsDateTime(), 0, TSCoords{47.07f, 15.44f}, 353, 1, 0);
  db.AddTown("Linz", NowAsDateTime(), 0, TSCoords{48.31f, 14.29f}, 266, 1, 0);
  db.SetLazyWrite(false);

  const int32_t entry = db.SearchForItemID(db.Data(vienna).ItemId);
  for (int32_t e : db.FindItemsInArea(47.5, 49.0, 14.0, 17.0))
    std::printf("%s at %s %s\n", db.Data(e).Name.str().c_str(),
                GeoLatitude(db.Data(e).LatLow, dfDegMin, 1).c_str(),
                GeoLongitude(db.Data(e).LongLow, dfDegMin, 1).c_str());
  const bool ok = db.NumEntries() == 3 && entry == vienna;
  db.SetDBName("");  // closes
  std::filesystem::remove_all(dir);
  return ok ? 0 : 1;
}
