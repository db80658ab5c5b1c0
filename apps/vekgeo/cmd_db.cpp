// vekgeo db: create, inspect, fill and query geographic databases.
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <limits>
#include <sstream>

#include "Command.h"
#include "GdalCommands.h"
#include "StrUtils.h"
#include "MathUtils.h"
#include "Vek_geodb.h"

namespace {

using namespace vek;

const std::string kUsage =
    "db create DB [DESCRIPTION] | db info DB | db add-town DB NAME LAT LON [ALT] | "
    "db import-csv DB FILE | db find DB SOUTH,NORTH,WEST,EAST... | db nearest DB LAT LON | "
    "db export-geojson DB [OUT.geojson] | db export-gpkg DB OUT.gpkg" +
    std::string(vekgeo::kDbImportUsage);

std::string Base(const std::string& name) { return StripExtension(name); }

bool Exists(const std::string& name) { return std::filesystem::exists(Base(name) + ".vekgds"); }

// Opens an existing database; reading commands never create one by accident.
void OpenExisting(TGeoDB& db, const std::string& name) {
  if (!Exists(name)) throw std::runtime_error("no database \"" + Base(name) + "\" (create it with: vekgeo db create " + name + ")");
  db.SetDBName(name);
}

void Need(const std::vector<std::string>& a, size_t min, size_t max) {
  if (a.size() < min) throw vekgeo::UsageError("missing arguments");
  if (a.size() > max) throw vekgeo::UsageError("too many arguments");
}

double Latitude(const std::string& s) {
  const double v = vekgeo::ParseNumber(s, "latitude");
  if (v < -90 || v > 90) throw vekgeo::UsageError("latitude out of range -90..90: " + s);
  return v;
}
double Longitude(const std::string& s) {
  const double v = vekgeo::ParseNumber(s, "longitude");
  if (v < -180 || v > 180) throw vekgeo::UsageError("longitude out of range -180..180: " + s);
  return v;
}

std::string ItemLine(TGeoDB& db, int e) {
  const TgdbData d = db.Data(e);
  char buf[160];
  std::snprintf(buf, sizeof buf, "%8d  id %-8d %-9s %10.5f %11.5f", e, d.ItemId, GdbItemName(d.ItemKind),
                static_cast<double>(d.LatLow), static_cast<double>(d.LongLow));
  return std::string(buf) + "  " + d.Name.str();
}

// ---- create, info, add-town ----

int Create(const std::vector<std::string>& a) {
  Need(a, 1, 2);
  if (Exists(a[0])) throw std::runtime_error("database \"" + Base(a[0]) + "\" already exists");
  TGeoDB db;
  db.SetDBName(a[0]);
  if (a.size() > 1) db.SetDescription(a[1]);
  std::cout << "created " << db.DBName() << "\n";
  return 0;
}

int Info(const std::vector<std::string>& a) {
  Need(a, 1, 1);
  TGeoDB db;
  OpenExisting(db, a[0]);
  int counts[10] = {};
  int32_t highest = 0;
  for (int e = 1; e <= db.NumEntries(); ++e) {
    const TgdbData d = db.Data(e);
    ++counts[d.ItemKind <= gitUndefined ? d.ItemKind : 9];
    highest = std::max(highest, d.ItemId);
  }
  std::cout << "database:    " << db.DBName() << "\n"
            << "description: " << db.Description() << "\n"
            << "revision:    " << db.Revision() << "\n"
            << "version:     " << db.DBVersion() << "\n"
            << "entries:     " << db.NumEntries() << "\n";
  for (int k = 0; k <= gitUndefined; ++k)
    if (counts[k]) std::cout << "  " << GDB_ITEMNAMES[static_cast<size_t>(k)] << ": " << counts[k] << "\n";
  if (counts[9]) std::cout << "  unknown kind: " << counts[9] << "\n";
  return 0;
}

int AddTown(const std::vector<std::string>& a) {
  Need(a, 4, 5);
  const double lat = Latitude(a[2]), lon = Longitude(a[3]);
  const double alt = a.size() > 4 ? vekgeo::ParseNumber(a[4], "altitude") : 0;
  TGeoDB db;
  OpenExisting(db, a[0]);
  const int e = db.AddTown(a[1], NowAsDateTime(), 0, TSCoords{float(lat), float(lon)}, float(alt), 0, 0);
  std::cout << ItemLine(db, e) << "\n";
  return 0;
}

// ---- import-csv ----

struct CsvTown {
  std::string Name;
  double Lat, Lon, Alt;
};

// Splits one line at commas; a field may be quoted with "..." ("" inside is a quote).
bool SplitCsv(const std::string& line, std::vector<std::string>& out) {
  out.clear();
  std::string cur;
  bool quoted = false, wasQuoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted) {
      if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
        cur += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        cur += c;
      }
    } else if (c == '"' && cur.find_first_not_of(" \t") == std::string::npos) {
      quoted = wasQuoted = true;
      cur.clear();
    } else if (c == ',') {
      out.push_back(cur);
      cur.clear();
      wasQuoted = false;
    } else {
      cur += c;
    }
  }
  if (quoted) return false;
  out.push_back(cur);
  for (auto& f : out) {
    const size_t b = f.find_first_not_of(" \t"), e = f.find_last_not_of(" \t");
    f = b == std::string::npos ? std::string() : f.substr(b, e - b + 1);
  }
  (void)wasQuoted;
  return true;
}

bool ToNumber(const std::string& s, double& v) {
  if (s.empty()) return false;
  char* end = nullptr;
  v = std::strtod(s.c_str(), &end);
  return end == s.c_str() + s.size() && std::isfinite(v);
}

void DrawBar(size_t done, size_t total) {
  const int width = 40;
  const int fill = total ? static_cast<int>(done * width / total) : width;
  std::fprintf(stderr, "\r[%s%s] %3d%% %zu/%zu", std::string(size_t(fill), '#').c_str(),
               std::string(size_t(width - fill), ' ').c_str(), total ? int(done * 100 / total) : 100, done, total);
  std::fflush(stderr);
}

int ImportCsv(const std::vector<std::string>& a) {
  Need(a, 2, 2);
  std::ifstream in(a[1], std::ios::binary);
  if (!in) throw std::runtime_error("cannot open \"" + a[1] + "\"");
  // The whole file is checked first, so a bad line never leaves half an import behind.
  std::vector<CsvTown> towns;
  std::string line;
  std::vector<std::string> f;
  size_t lineNo = 0;
  while (std::getline(in, line)) {
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (lineNo == 1 && line.size() >= 3 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
    if (line.find_first_not_of(" \t") == std::string::npos || line[line.find_first_not_of(" \t")] == '#') continue;
    CsvTown t{};
    const bool split = SplitCsv(line, f);
    const bool shape = split && (f.size() == 3 || f.size() == 4);
    const bool numbers = shape && ToNumber(f[1], t.Lat) && ToNumber(f[2], t.Lon) && (f.size() == 3 || ToNumber(f[3], t.Alt));
    if (!numbers) {
      if (towns.empty() && shape) continue;  // a header line
      throw std::runtime_error(a[1] + ":" + std::to_string(lineNo) + ": expected NAME,LATITUDE,LONGITUDE[,ALTITUDE]: " + line);
    }
    if (t.Lat < -90 || t.Lat > 90 || t.Lon < -180 || t.Lon > 180)
      throw std::runtime_error(a[1] + ":" + std::to_string(lineNo) + ": position out of range: " + line);
    t.Name = f[0];
    towns.push_back(std::move(t));
  }
  if (in.bad()) throw std::runtime_error("cannot read \"" + a[1] + "\"");

  TGeoDB db;
  OpenExisting(db, a[0]);
  const bool bar = ::isatty(STDERR_FILENO) != 0;
  const TDateTime now = NowAsDateTime();
  db.SetLazyWrite(true);
  size_t shown = 0;
  for (size_t i = 0; i < towns.size(); ++i) {
    const CsvTown& t = towns[i];
    db.AddTown(t.Name, now, 0, TSCoords{float(t.Lat), float(t.Lon)}, float(t.Alt), 0, 0);
    if (bar && (i + 1) * 100 / std::max<size_t>(towns.size(), 1) != shown) {
      shown = (i + 1) * 100 / towns.size();
      DrawBar(i + 1, towns.size());
    }
  }
  db.SetLazyWrite(false);
  if (bar) {
    DrawBar(towns.size(), towns.size());
    std::fprintf(stderr, "\n");
  }
  std::cout << "imported " << towns.size() << " towns; " << db.NumEntries() << " entries\n";
  return 0;
}

// ---- find, nearest ----

int Find(const std::vector<std::string>& a) {
  Need(a, 2, std::numeric_limits<size_t>::max());
  std::vector<std::array<double, 4>> areas;
  for (size_t i = 1; i < a.size(); ++i) {
    std::vector<std::string> f;
    SplitCsv(a[i], f);
    if (f.size() != 4) throw vekgeo::UsageError("an area is SOUTH,NORTH,WEST,EAST: \"" + a[i] + "\"");
    const std::array<double, 4> q{Latitude(f[0]), Latitude(f[1]), Longitude(f[2]), Longitude(f[3])};
    if (q[0] > q[1] || q[2] > q[3]) throw vekgeo::UsageError("south above north or west above east: \"" + a[i] + "\"");
    areas.push_back(q);
  }
  TGeoDB db;
  OpenExisting(db, a[0]);
  std::vector<int32_t> all;
  for (const auto& q : areas) {
    const auto hits = db.FindItemsInArea(q[0], q[1], q[2], q[3]);
    all.insert(all.end(), hits.begin(), hits.end());
  }
  std::sort(all.begin(), all.end());
  all.erase(std::unique(all.begin(), all.end()), all.end());
  for (int32_t e : all) std::cout << ItemLine(db, e) << "\n";
  std::cerr << all.size() << " items\n";
  return 0;
}

double DistanceKm(double lat1, double lon1, double lat2, double lon2) {
  return vek::SphereGreatCircleDist(6371.0, lat1, lon1, lat2, lon2);
}

// Distance to the nearest point of an item's bounding box.
double DistanceToItem(const TgdbData& d, double lat, double lon) {
  const double la = std::clamp(lat, double(d.LatLow), double(d.LatHigh));
  const double lo = std::clamp(lon, double(d.LongLow), double(d.LongHigh));
  return DistanceKm(lat, lon, la, lo);
}

int Nearest(const std::vector<std::string>& a) {
  Need(a, 3, 3);
  const double lat = Latitude(a[1]), lon = Longitude(a[2]);
  TGeoDB db;
  OpenExisting(db, a[0]);
  auto best = [&](const std::vector<int32_t>& cand, int32_t& e, double& km) {
    for (int32_t c : cand) {
      const TgdbData d = db.Data(c);
      if (!(d.LatLow <= d.LatHigh && d.LongLow <= d.LongHigh)) continue;
      const double k = DistanceToItem(d, lat, lon);
      if (k < km) km = k, e = c;
    }
  };
  // Grow a box until it holds an item, then search the box that encloses the circle of
  // that item's distance, which holds the nearest item for certain.
  int32_t e = 0;
  double km = std::numeric_limits<double>::infinity();
  for (double d = 0.05; e == 0 && d < 400; d *= 4)
    best(db.FindItemsInArea(lat - d, lat + d, lon - d, lon + d), e, km);
  if (e == 0) throw std::runtime_error("the database holds no item with a position");
  const double dLat = km / 111.0 + 1e-6;
  const double cosLat = std::cos(vek::DegToRad(std::min(89.9, std::fabs(lat) + dLat)));
  const double dLon = std::min(180.0, dLat / std::max(cosLat, 1e-6));
  best(db.FindItemsInArea(lat - dLat, lat + dLat, lon - dLon, lon + dLon), e, km);
  if (lon - dLon < -180 || lon + dLon > 180) {  // across the date line
    best(db.FindItemsInArea(lat - dLat, lat + dLat, lon - dLon + 360, lon + dLon + 360), e, km);
    best(db.FindItemsInArea(lat - dLat, lat + dLat, lon - dLon - 360, lon + dLon - 360), e, km);
  }
  char buf[64];
  std::snprintf(buf, sizeof buf, "  %.3f km", km);
  std::cout << ItemLine(db, e) << buf << "\n";
  return 0;
}

// ---- export-geojson ----

std::string Json(const std::string& s) {
  std::string o = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      o += '\\';
      o += char(c);
    } else if (c < 0x20) {
      char b[8];
      std::snprintf(b, sizeof b, "\\u%04x", c);
      o += b;
    } else {
      o += char(c);
    }
  }
  return o + "\"";
}

std::string Num(double v) {
  if (!std::isfinite(v)) return "null";
  char b[32];
  std::snprintf(b, sizeof b, "%.7g", v);
  return b;
}

int ExportGeoJson(const std::vector<std::string>& a) {
  Need(a, 1, 2);
  TGeoDB db;
  OpenExisting(db, a[0]);
  std::ofstream file;
  if (a.size() > 1) {
    file.open(a[1], std::ios::binary | std::ios::trunc);
    if (!file) throw std::runtime_error("cannot create \"" + a[1] + "\"");
  }
  std::ostream& out = a.size() > 1 ? static_cast<std::ostream&>(file) : std::cout;
  out << "{\"type\":\"FeatureCollection\",\"features\":[";
  bool first = true;
  int written = 0;
  for (int e = 1; e <= db.NumEntries(); ++e) {
    const TgdbData d = db.Data(e);
    std::string geom;
    TgdbPolygon p;
    if (IsPolygonKind(d.ItemKind) && db.RetrievePolygon(e, p) && !p.empty()) {
      std::string pts;
      for (size_t i = 0; i < p.size(); ++i)
        pts += (i ? "," : "") + std::string("[") + Num(p[i].Longit) + "," + Num(p[i].Latit) + "]";
      const bool ring = d.Closed && p.size() >= 3;
      if (ring) pts += ",[" + Num(p[0].Longit) + "," + Num(p[0].Latit) + "]";
      geom = ring ? "{\"type\":\"Polygon\",\"coordinates\":[[" + pts + "]]}"
                  : p.size() == 1 ? "{\"type\":\"Point\",\"coordinates\":" + pts + "}"
                                  : "{\"type\":\"LineString\",\"coordinates\":[" + pts + "]}";
    } else if (d.ItemKind == gitTown || d.ItemKind == gitBLOB || d.ItemKind == gitUndefined) {
      if (!std::isfinite(d.LatLow) || !std::isfinite(d.LongLow)) continue;
      geom = "{\"type\":\"Point\",\"coordinates\":[" + Num(d.LongLow) + "," + Num(d.LatLow) + "]}";
    } else {
      continue;
    }
    out << (first ? "\n" : ",\n") << "{\"type\":\"Feature\",\"geometry\":" << geom << ",\"properties\":{"
        << "\"entry\":" << e << ",\"id\":" << d.ItemId << ",\"name\":" << Json(d.Name.str())
        << ",\"kind\":" << Json(GdbItemName(d.ItemKind)) << ",\"altitude\":" << Num(d.Altitude)
        << ",\"class\":" << int(d.ClassFlag) << ",\"tag\":" << d.Tag << ",\"state\":" << d.StateFlag << "}}";
    first = false;
    ++written;
  }
  out << "\n]}\n";
  out.flush();
  if (!out) throw std::runtime_error("cannot write the GeoJSON output");
  if (a.size() > 1) std::cerr << written << " features written to " << a[1] << "\n";
  return 0;
}

// ---- export-gpkg ----

int ExportGpkg(const std::vector<std::string>& a) {
  Need(a, 2, 2);
  TGeoDB db;
  OpenExisting(db, a[0]);
  const TGeoPackageCounts c = ExportGeoPackage(db, a[1]);
  std::cout << "wrote " << c.Features << " features to " << a[1];
  if (c.Skipped > 0) std::cout << " (" << c.Skipped << " items left out)";
  std::cout << "\n";
  for (const std::string& why : c.InvalidItems) std::cerr << "left out: " << why << "\n";
  if (c.Invalid > int(c.InvalidItems.size()))
    std::cerr << "left out: " << c.Invalid - int(c.InvalidItems.size()) << " more\n";
  return 0;
}

int RunDb(const std::vector<std::string>& args) {
  if (args.empty()) throw vekgeo::UsageError("missing subcommand");
  const std::string& sub = args[0];
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (sub == "create") return Create(rest);
  if (sub == "info") return Info(rest);
  if (sub == "add-town") return AddTown(rest);
  if (sub == "import-csv") return ImportCsv(rest);
  if (sub == "import") return vekgeo::RunDbImport(rest);
  if (sub == "find") return Find(rest);
  if (sub == "nearest") return Nearest(rest);
  if (sub == "export-geojson") return ExportGeoJson(rest);
  if (sub == "export-gpkg") return ExportGpkg(rest);
  throw vekgeo::UsageError("unknown subcommand \"" + sub + "\"");
}

vekgeo::CommandRegistration reg("db", kUsage, RunDb);

}  // namespace
