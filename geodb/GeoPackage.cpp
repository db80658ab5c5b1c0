#include "GeoPackage.h"

#include <sqlite3.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QTimeZone>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>

namespace vek {

namespace {

struct TableDef {
  const char* Name;
  const char* GeometryType;
  uint32_t WkbType;  // 1 point, 2 line string, 3 polygon
};

// Indexed by TgdbItem.
constexpr std::array<TableDef, 7> kTables{{
    {"borders", "POLYGON", 3},
    {"towns", "POINT", 1},
    {"cities", "POINT", 1},
    {"lakes", "POLYGON", 3},
    {"rivers", "LINESTRING", 2},
    {"roads", "LINESTRING", 2},
    {"routes", "LINESTRING", 2},
}};

constexpr const char* kWgs84 =
    "GEOGCS[\"WGS 84\",DATUM[\"WGS_1984\",SPHEROID[\"WGS 84\",6378137,298.257223563,"
    "AUTHORITY[\"EPSG\",\"7030\"]],AUTHORITY[\"EPSG\",\"6326\"]],PRIMEM[\"Greenwich\",0,"
    "AUTHORITY[\"EPSG\",\"8901\"]],UNIT[\"degree\",0.0174532925199433,AUTHORITY[\"EPSG\","
    "\"9122\"]],AXIS[\"Latitude\",NORTH],AXIS[\"Longitude\",EAST],AUTHORITY[\"EPSG\",\"4326\"]]";

struct Closer {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
  void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};

class Writer {
 public:
  explicit Writer(const std::string& File) {
    sqlite3* db = nullptr;
    const int rc = sqlite3_open(File.c_str(), &db);
    FDb.reset(db);
    if (rc != SQLITE_OK) Fail("cannot create");
  }
  void Exec(const std::string& Sql) {
    char* err = nullptr;
    if (sqlite3_exec(FDb.get(), Sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
      const std::string msg = err ? err : "unknown error";
      sqlite3_free(err);
      throw EVEKGeoDBError("GeoPackage: " + msg);
    }
  }
  std::unique_ptr<sqlite3_stmt, Closer> Prepare(const std::string& Sql) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(FDb.get(), Sql.c_str(), -1, &s, nullptr) != SQLITE_OK) Fail("cannot prepare");
    return std::unique_ptr<sqlite3_stmt, Closer>(s);
  }
  void Step(sqlite3_stmt* S) {
    if (sqlite3_step(S) != SQLITE_DONE) Fail("cannot write");
    sqlite3_reset(S);
  }
  [[noreturn]] void Fail(const char* What) {
    throw EVEKGeoDBError(std::string("GeoPackage: ") + What + ": " +
                         (FDb ? sqlite3_errmsg(FDb.get()) : "out of memory"));
  }

 private:
  std::unique_ptr<sqlite3, Closer> FDb;
};

// The GeoPackage binary geometry: header "GP", version 0, flags (little endian, with an
// envelope [minx, maxx, miny, maxy] for anything but points), srs id, then little-endian WKB.
class GeometryBlob {
 public:
  GeometryBlob(uint32_t WkbType, const TgdbPolygon& P) {
    const bool point = WkbType == 1;
    Put<uint8_t>('G');
    Put<uint8_t>('P');
    Put<uint8_t>(0);
    Put<uint8_t>(point ? 0x01 : 0x03);
    Put<int32_t>(4326);
    if (!point) {
      float minX = P[0].Longit, maxX = minX, minY = P[0].Latit, maxY = minY;
      for (const TSCoords& c : P) {
        minX = std::min(minX, c.Longit);
        maxX = std::max(maxX, c.Longit);
        minY = std::min(minY, c.Latit);
        maxY = std::max(maxY, c.Latit);
      }
      for (float v : {minX, maxX, minY, maxY}) Put<double>(v);
    }
    Put<uint8_t>(1);
    Put<uint32_t>(WkbType);
    if (point) {
      Put<double>(P[0].Longit);
      Put<double>(P[0].Latit);
      return;
    }
    const bool ring = WkbType == 3;
    const bool close = ring && (P.front().Latit != P.back().Latit || P.front().Longit != P.back().Longit);
    if (ring) Put<uint32_t>(1);
    Put<uint32_t>(uint32_t(P.size() + (close ? 1 : 0)));
    for (const TSCoords& c : P) {
      Put<double>(c.Longit);
      Put<double>(c.Latit);
    }
    if (close) {
      Put<double>(P.front().Longit);
      Put<double>(P.front().Latit);
    }
  }
  const std::string& Bytes() const { return FBytes; }

 private:
  template <class T>
  void Put(T V) {
    char b[sizeof(T)];
    std::memcpy(b, &V, sizeof(T));  // the library builds for little-endian machines
    FBytes.append(b, sizeof(T));
  }
  std::string FBytes;
};

std::string IsoDate(TDateTime D) {
  if (!std::isfinite(D) || D < -657434 || D > 2958465) return {};  // years 100 .. 9999
  const QDateTime epoch(QDate(1899, 12, 30), QTime(0, 0), QTimeZone::utc());
  // GeoPackage's DATETIME form: YYYY-MM-DDTHH:MM:SS.SSSZ, milliseconds always written.
  return epoch.addMSecs(qint64(std::llround(D * 86400000.0)))
      .toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ"))
      .toStdString();
}

// Geometry, name, identifier, date and altitude of one item into an insert statement.
void BindFeature(sqlite3_stmt* s, const GeometryBlob& geom, const TgdbData& d) {
  std::string name = d.Name.str();
  name.erase(std::remove(name.begin(), name.end(), '\0'), name.end());
  const std::string date = IsoDate(d.Date);
  sqlite3_bind_blob(s, 1, geom.Bytes().data(), int(geom.Bytes().size()), SQLITE_TRANSIENT);
  sqlite3_bind_text(s, 2, name.c_str(), int(name.size()), SQLITE_TRANSIENT);
  sqlite3_bind_int(s, 3, d.ItemId);
  if (date.empty())
    sqlite3_bind_null(s, 4);
  else
    sqlite3_bind_text(s, 4, date.c_str(), int(date.size()), SQLITE_TRANSIENT);
  sqlite3_bind_double(s, 5, d.Altitude);
}

// The GeoPackage's own tables and one empty feature table per item kind, in WGS 84.
void CreateSchema(Writer& w) {
  w.Exec("PRAGMA application_id = 1196444487; PRAGMA user_version = 10200; BEGIN;");
  w.Exec(
      "CREATE TABLE gpkg_spatial_ref_sys (srs_name TEXT NOT NULL, srs_id INTEGER PRIMARY KEY, "
      "organization TEXT NOT NULL, organization_coordsys_id INTEGER NOT NULL, "
      "definition TEXT NOT NULL, description TEXT);"
      "INSERT INTO gpkg_spatial_ref_sys VALUES "
      "('Undefined cartesian SRS', -1, 'NONE', -1, 'undefined', 'undefined cartesian coordinate reference system'),"
      "('Undefined geographic SRS', 0, 'NONE', 0, 'undefined', 'undefined geographic coordinate reference system'),"
      "('WGS 84 geodetic', 4326, 'EPSG', 4326, '" + std::string(kWgs84) +
      "', 'longitude/latitude coordinates in decimal degrees on the WGS 84 spheroid');"
      "CREATE TABLE gpkg_contents (table_name TEXT NOT NULL PRIMARY KEY, data_type TEXT NOT NULL, "
      "identifier TEXT UNIQUE, description TEXT DEFAULT '', last_change DATETIME NOT NULL DEFAULT "
      "(strftime('%Y-%m-%dT%H:%M:%fZ','now')), min_x DOUBLE, min_y DOUBLE, max_x DOUBLE, "
      "max_y DOUBLE, srs_id INTEGER REFERENCES gpkg_spatial_ref_sys(srs_id));"
      "CREATE TABLE gpkg_geometry_columns (table_name TEXT NOT NULL, column_name TEXT NOT NULL, "
      "geometry_type_name TEXT NOT NULL, srs_id INTEGER NOT NULL, z TINYINT NOT NULL, "
      "m TINYINT NOT NULL, CONSTRAINT pk_geom_cols PRIMARY KEY (table_name, column_name));");
  for (const TableDef& t : kTables) {
    const std::string n = t.Name;
    w.Exec("CREATE TABLE " + n + " (fid INTEGER PRIMARY KEY AUTOINCREMENT, geom " +
           t.GeometryType + ", name TEXT, item_id INTEGER, date DATETIME, altitude REAL);"
           "INSERT INTO gpkg_contents (table_name, data_type, identifier, srs_id) VALUES ('" + n +
           "', 'features', '" + n + "', 4326);"
           "INSERT INTO gpkg_geometry_columns VALUES ('" + n + "', 'geom', '" + t.GeometryType +
           "', 4326, 0, 0);");
  }
}

const char* KindName(uint8_t Kind) {
  static const char* const names[] = {"border", "town", "city", "lake", "river", "road", "route"};
  return Kind < 7 ? names[Kind] : "item";
}

bool Writable(const TSCoords& C) {
  return std::isfinite(C.Latit) && std::isfinite(C.Longit) && std::fabs(C.Latit) <= 90 &&
         std::fabs(C.Longit) <= 360;
}

void NoteInvalid(TGeoPackageCounts& Counts, const TgdbData& D, int32_t Entry, const char* Why) {
  ++Counts.Skipped;
  ++Counts.Invalid;
  if (int(Counts.InvalidItems.size()) >= TGeoPackageCounts::MaxInvalidNamed) return;
  std::string name = D.Name.str();
  name.erase(std::remove(name.begin(), name.end(), '\0'), name.end());
  Counts.InvalidItems.push_back(std::string(KindName(D.ItemKind)) + " \"" + name + "\" (entry " +
                                std::to_string(Entry) + "): " + Why);
}

// Writes a package to a temporary file beside the target; Commit puts it in the target's
// place. Destroyed without Commit, it removes the temporary file.
class TempTarget {
 public:
  explicit TempTarget(const std::string& Target) : FTarget(Target) {
    FTemp = Target + ".part" + std::to_string(QCoreApplication::applicationPid());
    std::error_code ec;
    std::filesystem::remove(FTemp, ec);  // left by an export that was killed
  }
  ~TempTarget() {
    if (!FTemp.empty()) {
      std::error_code ec;
      std::filesystem::remove(FTemp, ec);
    }
  }
  const std::string& Path() const { return FTemp; }
  void Commit() {
    std::error_code ec;
    std::filesystem::rename(FTemp, FTarget, ec);
    if (ec) throw EVEKGeoDBError("GeoPackage: cannot replace " + FTarget + ": " + ec.message());
    FTemp.clear();
  }

 private:
  std::string FTarget, FTemp;
};

}  // namespace

namespace {

TGeoPackageCounts WritePackage(TGeoDB& DB, const std::string& Path) {
  Writer w(Path);
  CreateSchema(w);

  std::array<std::unique_ptr<sqlite3_stmt, Closer>, 7> insert;
  std::array<std::array<double, 4>, 7> extent;  // min x, min y, max x, max y
  for (size_t k = 0; k < kTables.size(); ++k) {
    insert[k] = w.Prepare(std::string("INSERT INTO ") + kTables[k].Name +
                          " (geom, name, item_id, date, altitude) VALUES (?, ?, ?, ?, ?)");
    extent[k] = {INFINITY, INFINITY, -INFINITY, -INFINITY};
  }

  TGeoPackageCounts counts;
  TgdbPolygon points;
  for (int32_t e = 1; e <= DB.NumEntries(); ++e) {
    const TgdbData d = DB.Data(e);
    if (d.ItemKind >= kTables.size()) {
      ++counts.Skipped;
      continue;
    }
    const TableDef& t = kTables[d.ItemKind];
    points.clear();
    if (d.ItemKind == gitTown) {
      points.push_back(TSCoords{d.LatLow, d.LongLow});
    } else if (!DB.RetrievePolygon(e, points) || points.empty() ||
               (t.WkbType == 2 && points.size() < 2) || (t.WkbType == 3 && points.size() < 3)) {
      NoteInvalid(counts, d, e, "its geometry cannot be read");
      continue;
    }
    if (!std::all_of(points.begin(), points.end(), Writable)) {
      NoteInvalid(counts, d, e, "coordinates not finite or not on the earth");
      continue;
    }
    const GeometryBlob geom(t.WkbType, t.WkbType == 1 ? TgdbPolygon{points.front()} : points);
    std::array<double, 4>& x = extent[d.ItemKind];
    for (const TSCoords& c : t.WkbType == 1 ? TgdbPolygon{points.front()} : points) {
      x[0] = std::min(x[0], double(c.Longit));
      x[1] = std::min(x[1], double(c.Latit));
      x[2] = std::max(x[2], double(c.Longit));
      x[3] = std::max(x[3], double(c.Latit));
    }
    sqlite3_stmt* s = insert[d.ItemKind].get();
    BindFeature(s, geom, d);
    w.Step(s);
    ++counts.Features;
  }
  for (size_t k = 0; k < kTables.size(); ++k) {
    const auto& x = extent[k];
    if (x[0] > x[2]) continue;
    char sql[256];
    std::snprintf(sql, sizeof sql,
                  "UPDATE gpkg_contents SET min_x=%.9g, min_y=%.9g, max_x=%.9g, max_y=%.9g "
                  "WHERE table_name='%s';",
                  x[0], x[1], x[2], x[3], kTables[k].Name);
    w.Exec(sql);
  }
  for (auto& s : insert) s.reset();
  w.Exec("COMMIT;");
  return counts;
}

}  // namespace

TGeoPackageCounts ExportGeoPackage(TGeoDB& DB, const std::string& FileName) {
  if (DB.DBName().empty()) throw EVEKGeoDBError(ComponentMessage(DB, "no database is open"));
  TempTarget target(FileName);
  const TGeoPackageCounts counts = WritePackage(DB, target.Path());  // closed when it returns
  target.Commit();
  return counts;
}

}  // namespace vek
