// The viewer's world database: built from the real GSHHG files, whole rings where the data has
// them, rebuilt when the cached copy is damaged; and the maps drawn from it.
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QTemporaryDir>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>

#include "Bitmap.h"
#include "DemoAtlas.h"
#include "GshhgReader.h"
#include "TGeoMap.h"
#include "WorldData.h"

using namespace vek;
using namespace vek::viewer;
namespace fs = std::filesystem;

namespace {

// Even-odd rule, longitudes taken as stored.
bool Inside(const TgdbPolygon& p, double lat, double lon) {
  bool in = false;
  for (size_t i = 0, j = p.size() - 1; i < p.size(); j = i++) {
    double yi = p[i].Latit, yj = p[j].Latit, xi = p[i].Longit, xj = p[j].Longit;
    if ((yi > lat) != (yj > lat) && lon < (xj - xi) * (lat - yi) / (yj - yi) + xi) in = !in;
  }
  return in;
}

// Land at a position: inside an odd number of land and lake rings (land, lake, island, pond).
bool OnLand(TGeoDB& db, double lat, double lon) {
  int depth = 0;
  for (auto [e, shift] : FindWorldItemsInArea(db, lat, lat, lon, lon)) {
    TgdbData d = db.Data(e);
    if (!(d.ItemKind == gitBorder && IsLandClass(d.ClassFlag)) &&
        !(d.ItemKind == gitLake && IsLakeClass(d.ClassFlag)))
      continue;
    TgdbPolygon p;
    if (db.RetrievePolygon(e, p) && Inside(p, lat, lon - shift)) ++depth;
  }
  return depth % 2 == 1;
}

class WorldData : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    Dir = new QTemporaryDir();
    DB = new TGeoDB();
    DB->OnPercentDone = [](TObject*, int32_t p) { Reports.push_back(p); };
    Built = OpenWorldDB(*DB, WorldDBName(Dir->path().toStdString()));
    DB->OnPercentDone = nullptr;
  }
  static void TearDownTestSuite() {
    delete DB;
    delete Dir;
  }
  static inline QTemporaryDir* Dir = nullptr;
  static inline TGeoDB* DB = nullptr;
  static inline bool Built = false;
  static inline std::vector<int32_t> Reports;
};

TEST_F(WorldData, IsBuiltFromTheRealDataWithWholeRings) {
  ASSERT_TRUE(Built);
  ASSERT_FALSE(Reports.empty());
  EXPECT_EQ(Reports.front(), 0);
  EXPECT_EQ(Reports.back(), 100);
  EXPECT_TRUE(std::is_sorted(Reports.begin(), Reports.end()));

  TWorldCounts n = CountWorldItems(*DB);
  EXPECT_GT(n.Coasts, 1000);
  EXPECT_GT(n.Lakes, 100);
  EXPECT_GT(n.Borders, 100);
  EXPECT_GT(n.Rivers, 1000);
  EXPECT_EQ(n.Cities, 230);  // every country of the table but Antarctica has a capital

  // Vienna's capital is a city right where the table puts it.
  bool vienna = false;
  for (int32_t e : DB->FindItemsInArea(48.20, 48.22, 16.36, 16.38)) {
    TgdbData d = DB->Data(e);
    vienna |= d.ItemKind == gitCity && d.ClassFlag == wcCapital && d.Name.str().rfind("Vienna", 0) == 0;
  }
  EXPECT_TRUE(vienna);

  // Coast on both sides of the Strait of Gibraltar: land north and south, sea between.
  EXPECT_TRUE(OnLand(*DB, 36.6, -5.0));    // Andalusia
  EXPECT_TRUE(OnLand(*DB, 35.3, -5.5));    // Morocco
  EXPECT_FALSE(OnLand(*DB, 35.95, -5.5));  // the strait
  // Rings that only close when their pieces from many bins are joined correctly.
  EXPECT_TRUE(OnLand(*DB, 48.21, 16.37));   // Vienna, inside Eurasia
  EXPECT_TRUE(OnLand(*DB, 66.0, -175.0));   // Chukotka: Eurasia beyond the antimeridian
  EXPECT_TRUE(OnLand(*DB, -85.0, 0.0));     // Antarctica, closed across the pole
  EXPECT_TRUE(OnLand(*DB, 40.0, -100.0));   // North America
  EXPECT_FALSE(OnLand(*DB, 30.0, -40.0));   // Atlantic
  EXPECT_FALSE(OnLand(*DB, 41.8, -87.3));   // Lake Michigan
  EXPECT_FALSE(OnLand(*DB, 0.0, -150.0));   // Pacific

  // No ring or line jumps across the map: longitudes stay continuous along every item, but
  // for the closure of the Antarctic ring along the pole.
  int poleEdges = 0;
  for (int32_t e = 1; e <= DB->NumEntries(); ++e) {
    TgdbPolygon p;
    if (!DB->RetrievePolygon(e, p)) continue;
    for (size_t i = 1; i < p.size(); ++i) {
      if (p[i].Latit == -90.f && p[i - 1].Latit == -90.f) {
        ++poleEdges;
        EXPECT_NEAR(std::fabs(p[i].Longit - p[i - 1].Longit), 360, 1e-3);
        EXPECT_NEAR(std::fabs(p[0].Longit), 180, 1e-3);
        continue;
      }
      ASSERT_LT(std::fabs(p[i].Longit - p[i - 1].Longit), 30.f) << DB->Data(e).Name.str();
    }
  }
  EXPECT_EQ(poleEdges, 1);
}

TEST_F(WorldData, DamagedOrIncompleteCacheIsRebuiltIntactOneIsOpened) {
  QTemporaryDir scratch;
  const std::string src = WorldDBName(Dir->path().toStdString());
  const std::string name = WorldDBName(scratch.path().toStdString());
  auto copy = [&] {
    for (const char* ext : {".vekgdd", ".vekgds", ".vekgi0", ".vekgi1", ".vekgi2", ".vekgi3", ".vekgi4"})
      fs::copy_file(src + ext, name + ext, fs::copy_options::overwrite_existing);
  };
  const int32_t items = DB->NumEntries();
  auto reopen = [&](const char* what, bool expectBuilt) {
    TGeoDB db;
    std::vector<int32_t> reports;
    db.OnPercentDone = [&](TObject*, int32_t p) { reports.push_back(p); };
    bool built = false;
    EXPECT_NO_THROW(built = OpenWorldDB(db, name)) << what;
    EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end())) << what;
    EXPECT_EQ(reports.empty() ? -1 : reports.back(), 100) << what;
    EXPECT_EQ(built, expectBuilt) << what;
    EXPECT_EQ(db.NumEntries(), items) << what;
    EXPECT_EQ(CountWorldItems(db).Cities, 230) << what;
  };

  copy();
  reopen("intact copy", false);

  copy();  // item file cut short: entries lost
  fs::resize_file(name + ".vekgds", fs::file_size(name + ".vekgds") / 2);
  reopen("truncated item file", true);

  copy();  // data file cut short: the last polygons are gone
  fs::resize_file(name + ".vekgdd", fs::file_size(name + ".vekgdd") - 4000);
  reopen("truncated data file", true);

  copy();  // garbage over the item records
  {
    std::fstream f(name + ".vekgds", std::ios::in | std::ios::out | std::ios::binary);
    std::string junk(6000, '\xEE');
    f.write(junk.data(), std::streamsize(junk.size()));
  }
  reopen("garbage item records", true);

  copy();  // a build that was cut off before its description was written
  {
    TGeoDB db;
    db.SetDBName(name);
    db.SetDescription("");
  }
  reopen("unfinished build", true);

  for (const char* ext : {".vekgdd", ".vekgds", ".vekgi0", ".vekgi1", ".vekgi2", ".vekgi3", ".vekgi4"})
    fs::remove(name + ext);
  reopen("missing files", true);
}

TEST(WorldSource, UnreadableSourceFilesRaiseInsteadOfCrashing) {
  QTemporaryDir scratch;
  const std::string dir = scratch.path().toStdString();
  TGeoDB db;
  TWorldDataOptions none;
  none.SourceDir = dir + "/nowhere";
  EXPECT_THROW(OpenWorldDB(db, WorldDBName(dir), none), EVEKError);

  std::ofstream(dir + "/junk.nc", std::ios::binary) << std::string(5000, 'x');
  EXPECT_THROW(ReadGshhgShore(dir + "/junk.nc"), EGshhgError);
  EXPECT_THROW(ReadGshhgLines(dir + "/junk.nc"), EGshhgError);
  // A border file read as a shore file lacks the shore variables.
  EXPECT_THROW(ReadGshhgShore("/usr/share/gmt-gshhg/binned_border_l.nc"), EGshhgError);
}

TEST_F(WorldData, MapsShowLandSeaAndCapitalsWhereTheyBelong) {
  TWorldMapDrawer drawer(*DB);
  int reports = 0;  // reading the polygons for a map is no progress to show
  DB->OnPercentDone = [&](TObject*, int32_t) { ++reports; };
  for (const char* name : {"world", "alps"}) {
    const TDemoMap* m = nullptr;
    for (const TDemoMap& d : DemoMaps())
      if (d.Name == name) m = &d;
    ASSERT_NE(m, nullptr);
    ASSERT_LE(double(m->Wid) * m->Hgt, 3e6);
    QImage img = RenderMapPreview(*m, drawer.DrawProc(m->LatStep));
    img.save(QString("viewer_map_%1.png").arg(name));
    TMapGeometry g{m->LatLow, m->LongLow, m->LatHigh, m->LongHigh, m->Wid, m->Hgt};
    TWorldMapStyle style;
    auto at = [&](double lat, double lon) { return img.pixelColor(g.Col(lon), g.Row(lat)); };
    auto near = [](QColor c, TColor want) {
      QColor w = ColorToQColor(want);
      return std::abs(c.red() - w.red()) + std::abs(c.green() - w.green()) +
                 std::abs(c.blue() - w.blue()) < 30;
    };
    if (std::string(name) == "world") {
      EXPECT_TRUE(near(at(25, -40), style.Sea)) << "Atlantic";
      EXPECT_TRUE(near(at(-25, 135), style.Land)) << "Australia";
      EXPECT_TRUE(near(at(66, -176), style.Land)) << "Chukotka, left edge";
      EXPECT_TRUE(near(at(-85, 20), style.Land)) << "Antarctica";
    } else {
      EXPECT_TRUE(near(at(46.25, 7.7), style.Land)) << "Valais";
      EXPECT_TRUE(near(at(43.9, 9.2), style.Sea)) << "Ligurian Sea";
      EXPECT_TRUE(near(at(44.5, 13.5), style.Sea)) << "Adriatic";
      EXPECT_TRUE(near(at(46.45, 6.55), style.Lake)) << "Lake Geneva";
      EXPECT_TRUE(near(at(48.2083, 16.3731), style.City)) << "Vienna's dot";
    }
  }
  // Degenerate and extreme boxes draw nothing or clipped shapes, without crashing.
  TBitmap bmp(200, 150);
  for (TMapGeometry g : {TMapGeometry{10, 10, 10, 20, 200, 150}, TMapGeometry{0, 0, 1e-9, 1e-9, 200, 150},
                         TMapGeometry{-90, -180, 90, 180, 40, 40}, TMapGeometry{47, 16, 48, 17, 200, 150}})
    drawer.Draw(*bmp.Canvas(), g);
  EXPECT_EQ(reports, 0);
  EXPECT_TRUE(DB->OnPercDoneEnabled());
  DB->OnPercentDone = nullptr;
}

TEST_F(WorldData, MapControlMakesCalibratedMapsThatShowTheData) {
  QTemporaryDir tmp;
  TWorldMapDrawer drawer(*DB);
  TGeoMap map;
  map.resize(600, 400);
  map.show();
  TMapGenerator generate = MapControlGenerator(map);
  TWorldMapStyle style;
  auto near = [](QColor c, TColor want) {
    QColor w = ColorToQColor(want);
    return std::abs(c.red() - w.red()) + std::abs(c.green() - w.green()) +
               std::abs(c.blue() - w.blue()) < 30;
  };
  for (const TDemoMap& m : DemoMaps()) {
    if (m.Name != "alps" && m.Name != "world") continue;
    const std::string base = tmp.path().toStdString() + "/" + m.Name;
    ASSERT_NO_THROW(generate(base + ".xml", m, drawer.DrawProc(m.LatStep))) << m.Name;
    QImage img(QString::fromStdString(base + ".bmp"));
    ASSERT_EQ(img.size(), QSize(m.Wid, m.Hgt)) << m.Name;
    img.save(QString("viewer_generated_%1.png").arg(QString::fromStdString(m.Name)));
    // The loaded calibration and the drawn data agree: a position converts to the pixel
    // where the data was drawn, and back.
    auto pixel = [&](double lat, double lon) {
      int32_t x = -1, y = -1;
      EXPECT_TRUE(map.CalcPixelCoords(lat, lon, x, y));
      bool ok = false;
      // within the pixel
      EXPECT_NEAR(map.CalcLatitude(x, y, ok), lat, (m.LatHigh - m.LatLow) / (m.Hgt - 60)) << m.Name;
      EXPECT_NEAR(map.CalcLongitude(x, y, ok), lon, (m.LongHigh - m.LongLow) / (m.Wid - 60)) << m.Name;
      return img.pixelColor(x, y);
    };
    if (m.Name == "alps") {
      EXPECT_TRUE(near(pixel(48.2083, 16.3731), style.City)) << "Vienna's dot";
      EXPECT_TRUE(near(pixel(46.45, 6.55), style.Lake)) << "Lake Geneva";
      EXPECT_TRUE(near(pixel(43.9, 9.2), style.Sea)) << "Ligurian Sea";
    } else {
      EXPECT_TRUE(near(pixel(66, -176), style.Land)) << "Chukotka";
      EXPECT_TRUE(near(pixel(25, -40), style.Sea)) << "Atlantic";
    }
  }
}

}  // namespace

// One byte of damage in a GSHHG file can crash the netCDF library itself. Read by the
// builder in a child process, it costs the world database, not the program.
TEST(WorldSource, DamagedDataFileIsReportedAndTheProcessGoesOn) {
  QTemporaryDir scratch;
  const std::string dir = scratch.path().toStdString();
  for (const char* kind : {"GSHHS", "border", "river"})
    fs::copy_file(std::string("/usr/share/gmt-gshhg/binned_") + kind + "_c.nc",
                  dir + "/binned_" + kind + "_c.nc");
  TWorldDataOptions o;
  o.SourceDir = dir;
  o.Resolution = 'c';
  o.Builder = VEK_WORLDMAPS;
  std::vector<std::string> sources;
  o.OnSourceFile = [&](const std::string& f) { sources.push_back(f); };
  {
    TGeoDB db;
    std::vector<int32_t> reports;
    db.OnPercentDone = [&](TObject*, int32_t p) { reports.push_back(p); };
    ASSERT_TRUE(OpenWorldDB(db, WorldDBName(dir), o));
    EXPECT_EQ(CountWorldItems(db).Cities, 230);
    EXPECT_EQ(reports.back(), 100);
    EXPECT_EQ(sources.size(), 3u);
  }
  const std::string shore = dir + "/binned_GSHHS_c.nc";
  {
    std::fstream f(shore, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(0xfeff1e00 % fs::file_size(shore));
    const int32_t ten = 10;
    f.write(reinterpret_cast<const char*>(&ten), sizeof ten);
  }
  for (const char* ext : {".vekgdd", ".vekgds"}) fs::remove(WorldDBName(dir) + ext);
  TGeoDB db;
  try {
    OpenWorldDB(db, WorldDBName(dir), o);
    ADD_FAILURE() << "a damaged data file was read";
  } catch (const EVEKError& e) {
    const std::string why = e.what();
    EXPECT_NE(why.find("damaged data file " + shore), std::string::npos) << why;
  }
  EXPECT_FALSE(fs::exists(WorldDBName(dir) + ".vekgdd"));
  EXPECT_TRUE(db.DBName().empty());
}

// Shore polygons that meet a bin edge in one point come out whole: no two rings of one polygon
// share a point, and none has fewer than three points.
TEST(WorldSource, ShorePolygonsAreWholeRings) {
  for (const char* file : {"/usr/share/gmt-gshhg/binned_GSHHS_c.nc",
                           "/usr/share/gmt-gshhg/binned_GSHHS_l.nc"}) {
    std::map<std::pair<int, std::pair<float, float>>, int> owner;  // (id, point) -> ring
    int ring = 0;
    for (const TGshhgFeature& f : ReadGshhgShore(file)) {
      ++ring;
      EXPECT_GE(f.Points.size(), 3u) << file << " polygon " << f.Id;
      for (const TSCoords& c : f.Points) {
        const auto [at, fresh] = owner.emplace(std::pair{f.Id, std::pair{c.Latit, c.Longit}}, ring);
        EXPECT_TRUE(fresh || at->second == ring) << file << " polygon " << f.Id << " split at "
                                                 << c.Latit << ", " << c.Longit;
      }
    }
  }
}
