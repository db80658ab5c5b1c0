// vekgeo geodesy commands: grids, geocentric coordinates, datum shifts and the reference tables.
#include <cctype>
#include <cmath>
#include <cstdio>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "Command.h"
#include "DatumTable.h"
#include "Vek_geobasics.h"

namespace {

using Args = std::vector<std::string>;
using vekgeo::ParseInt;
using vekgeo::ParseNumber;
using vekgeo::UsageError;

std::string Format(const char* fmt, auto... values) {
  char buf[256];
  std::snprintf(buf, sizeof buf, fmt, values...);
  return buf;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

double ParseLatitude(const std::string& text) {
  const double v = ParseNumber(text, "latitude");
  if (v < -90 || v > 90) throw UsageError("latitude out of range [-90, 90]: " + text);
  return v;
}

// The grids take longitudes in [-180, 180); 180 itself is the same meridian as -180.
double ParseLongitude(const std::string& text) {
  const double v = ParseNumber(text, "longitude");
  if (v < -180 || v > 180) throw UsageError("longitude out of range [-180, 180]: " + text);
  return v == 180 ? -180.0 : v;
}

bool ParseHemisphere(const std::string& text) {
  const std::string h = Lower(text);
  if (h == "n" || h == "north") return false;
  if (h == "s" || h == "south") return true;
  throw UsageError("invalid hemisphere (N or S): \"" + text + "\"");
}

// An ellipsoid by identifier ("gelWGS84" or "WGS84", any case) or by ordinal 0..60.
vek::TGeoEllipsoid ParseEllipsoid(const std::string& text) {
  const std::string t = Lower(text);
  for (int i = 0; i < vek::NumGeoEllipsoids; ++i) {
    const std::string id = Lower(vek::GeoEllipsoidId[i]);
    if (t == id || t == id.substr(3)) return static_cast<vek::TGeoEllipsoid>(i);
  }
  if (!t.empty() && std::isdigit(static_cast<unsigned char>(t[0]))) {
    const int n = ParseInt(text, "ellipsoid");
    if (n >= 0 && n < vek::NumGeoEllipsoids) return static_cast<vek::TGeoEllipsoid>(n);
  }
  throw UsageError("unknown ellipsoid \"" + text + "\" (see \"vekgeo ellipsoids\")");
}

int ParseDatum(const std::string& text) {
  const int n = ParseInt(text, "datum number");
  if (n < 1 || n > vek::NumDatums)
    throw UsageError(Format("datum number out of range [1, %d]: ", vek::NumDatums) + text);
  return n;
}

void ExpectCount(const Args& a, size_t min, size_t max) {
  if (a.size() < min || a.size() > max)
    throw UsageError(Format("expected %zu", min) + (min == max ? "" : Format(" to %zu", max)) +
                     Format(" values, got %zu", a.size()));
}

// Converts one position given on the command line, or, with none, one per line of standard input
// (blank lines and lines starting with '#' are passed over). A bad input line prints "ERROR: ..."
// in its place so that output lines stay aligned with input lines; the exit code is then 1.
int RunPositions(const Args& position, const std::function<std::string(const Args&)>& convert) {
  if (!position.empty()) {
    std::cout << convert(position) << "\n";
    return 0;
  }
  int failures = 0;
  std::string line;
  while (std::getline(std::cin, line)) {
    std::istringstream in(line);
    Args values;
    for (std::string word; in >> word;) values.push_back(word);
    if (values.empty() || values[0][0] == '#') {
      std::cout << line << "\n";
      continue;
    }
    try {
      std::cout << convert(values) << "\n";
    } catch (const UsageError& e) {
      std::cout << "ERROR: " << e.what() << "\n";
      ++failures;
    }
  }
  return failures ? 1 : 0;
}

// Splits off a leading "--reverse".
bool TakeReverse(Args& a) {
  if (!a.empty() && (a[0] == "--reverse" || a[0] == "-r")) {
    a.erase(a.begin());
    return true;
  }
  return false;
}

int RunUtm(Args a) {
  if (TakeReverse(a)) {
    return RunPositions(a, [](const Args& p) {
      ExpectCount(p, 4, 4);
      const int zone = ParseInt(p[0], "zone");
      if (zone < 1 || zone > 60) throw UsageError("zone out of range [1, 60]: " + p[0]);
      double lat, lon;
      vek::UTMToLatLong(ParseNumber(p[2], "easting"), ParseNumber(p[3], "northing"), zone,
                        ParseHemisphere(p[1]), vek::gelWGS84, lat, lon);
      return Format("%.9f %.9f", lat, lon);
    });
  }
  return RunPositions(a, [](const Args& p) {
    ExpectCount(p, 2, 2);
    const double lat = ParseLatitude(p[0]), lon = ParseLongitude(p[1]);
    int zone;
    char band;
    vek::GeoToUTMZone(lat, lon, zone, band);
    if (zone == 0) throw UsageError("position outside the UTM area (latitude -80 to 84)");
    double e, n;
    vek::LatLongToUTM(lat, lon, vek::gelWGS84, zone, e, n);
    return Format("%d %c %.2f %.2f", zone, band, e, n);
  });
}

int RunUps(Args a) {
  if (TakeReverse(a)) {
    return RunPositions(a, [](const Args& p) {
      ExpectCount(p, 3, 3);
      double lat, lon;
      vek::UPSToLatLong(ParseNumber(p[1], "easting"), ParseNumber(p[2], "northing"),
                        ParseHemisphere(p[0]), vek::gelWGS84, lat, lon);
      return Format("%.9f %.9f", lat, lon);
    });
  }
  return RunPositions(a, [](const Args& p) {
    ExpectCount(p, 2, 2);
    const double lat = ParseLatitude(p[0]), lon = ParseLongitude(p[1]);
    double e, n;
    vek::LatLongToUPS(lat, lon, vek::gelWGS84, e, n);
    return Format("%c %.2f %.2f", lat >= 0 ? 'N' : 'S', e, n);
  });
}

int RunGeocentric(Args a) {
  if (TakeReverse(a)) {
    return RunPositions(a, [](const Args& p) {
      ExpectCount(p, 3, 4);
      const vek::TGeoEllipsoid ell = p.size() == 4 ? ParseEllipsoid(p[3]) : vek::gelWGS84;
      double lat, lon, h;
      vek::CartesianToGeo(ParseNumber(p[0], "X"), ParseNumber(p[1], "Y"), ParseNumber(p[2], "Z"),
                          ell, lat, lon, h);
      return Format("%.9f %.9f %.4f", lat, lon, h);
    });
  }
  return RunPositions(a, [](const Args& p) {
    ExpectCount(p, 3, 4);
    const vek::TGeoEllipsoid ell = p.size() == 4 ? ParseEllipsoid(p[3]) : vek::gelWGS84;
    double X, Y, Z;
    vek::GeoToCartesian(ParseLatitude(p[0]), ParseLongitude(p[1]), ParseNumber(p[2], "height"),
                        ell, X, Y, Z);
    return Format("%.4f %.4f %.4f", X, Y, Z);
  });
}

int RunHelmert(Args a) {
  if (a.size() < 2) throw UsageError("expected the source and target datum numbers");
  const int from = ParseDatum(a[0]), to = ParseDatum(a[1]);
  return RunPositions(Args(a.begin() + 2, a.end()), [from, to](const Args& p) {
    ExpectCount(p, 3, 3);
    double lat, lon, h;
    const int status = vek::HelmertTransform(from, ParseLatitude(p[0]), ParseLongitude(p[1]),
                                             ParseNumber(p[2], "height"), to, lat, lon, h);
    if (status != 0) throw UsageError(Format("datum shift failed with status %d", status));
    return Format("%.9f %.9f %.4f", lat, lon, h);
  });
}

int RunEllipsoids(const Args& a) {
  ExpectCount(a, 0, 0);
  for (int i = 0; i < vek::NumGeoEllipsoids; ++i) {
    const auto e = static_cast<vek::TGeoEllipsoid>(i);
    std::cout << Format("%2d %-17s %-35s %13.4f %15.6f %14.9f\n", i, vek::GeoEllipsoidId[i],
                        vek::GeoEllipsoidName[i], vek::GeoEllipsoidData[i].a,
                        vek::GeoEllipsoidData[i].b, vek::RecipFlattening(e));
  }
  return 0;
}

int RunDatums(const Args& a) {
  ExpectCount(a, 0, 0);
  for (int i = 1; i <= vek::NumDatums; ++i) {
    const vek::TDatumEntry& d = vek::DatumEntry(i);
    std::cout << Format("%3d %-33s %-35s %-17s %9.3f %9.3f %9.3f %8.4f %8.4f %8.4f %8.4f\n", i,
                        d.Name.str().c_str(), d.Region.str().c_str(),
                        vek::GeoEllipsoidId[d.Ellipsoid], d.dX, d.dY, d.dZ, d.Scale, d.rX, d.rY,
                        d.rZ);
  }
  return 0;
}

int RunCountries(const Args& a) {
  ExpectCount(a, 0, 1);
  const std::string filter = a.empty() ? "" : Lower(a[0]);
  int shown = 0;
  for (const vek::TCountryData& c : vek::CountryData) {
    const std::string name = c.Name.str();
    if (!filter.empty() && Lower(name).find(filter) == std::string::npos &&
        Lower(c.ISO3166_3.str()) != filter && Lower(c.ISO3166_2.str()) != filter)
      continue;
    std::cout << Format("%-40s %-2s %-2s %-3s %9.4f %9.4f  %-31s %9.4f %9.4f %5d\n",
                        name.c_str(), c.Fips10.str().c_str(), c.ISO3166_2.str().c_str(),
                        c.ISO3166_3.str().c_str(), c.CLat, c.CLong, c.Capital.str().c_str(),
                        c.CapLat, c.CapLong, c.CapAlt);
    ++shown;
  }
  if (shown == 0) {
    std::cerr << "no country matches \"" << a[0] << "\"\n";
    return 1;
  }
  return 0;
}

const vekgeo::CommandRegistration regUtm(
    "utm", "utm LAT LON | utm --reverse ZONE N|S EASTING NORTHING  (WGS 84; stdin if no position)",
    RunUtm);
const vekgeo::CommandRegistration regUps(
    "ups", "ups LAT LON | ups --reverse N|S EASTING NORTHING  (WGS 84; stdin if no position)",
    RunUps);
const vekgeo::CommandRegistration regGeocentric(
    "geocentric", "geocentric LAT LON H [ELLIPSOID] | geocentric --reverse X Y Z [ELLIPSOID]",
    RunGeocentric);
const vekgeo::CommandRegistration regHelmert(
    "helmert", "helmert FROM TO [LAT LON H]  (datum numbers, see \"vekgeo datums\")", RunHelmert);
const vekgeo::CommandRegistration regEllipsoids("ellipsoids", "ellipsoids", RunEllipsoids);
const vekgeo::CommandRegistration regDatums("datums", "datums", RunDatums);
const vekgeo::CommandRegistration regCountries("countries", "countries [NAME|ISO-CODE]",
                                               RunCountries);

}  // namespace
