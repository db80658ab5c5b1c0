// Geodesy: UTM, UPS, geocentric coordinates and a datum shift.
#include <vekgeo/Vek_geobasics.h>

#include <cstdio>

int main() {
  using namespace vek;
  int zone = 0;
  double easting = 0, northing = 0;
  LatLongToUTM(48.2, 16.37, gelWGS84, zone, easting, northing);  // Vienna
  std::printf("UTM %s %.2f %.2f\n", GeoToUTMZone(48.2, 16.37).c_str(), easting, northing);

  double lat = 0, lon = 0;
  UTMToLatLong(easting, northing, zone, /*southern=*/false, gelWGS84, lat, lon);

  double x = 0, y = 0, z = 0;
  GeoToCartesian(52.155, 5.387, 0.0, gelBess41, x, y, z);

  // Amersfoort (datum 13, the Dutch RD) to WGS 84 (datum 269).
  double wLat = 0, wLon = 0, wH = 0;
  const int status = HelmertTransform(13, 52.155, 5.387, 0.0, 269, wLat, wLon, wH);
  std::printf("WGS 84 %.6f %.6f %.2f (status %d)\n", wLat, wLon, wH, status);

  std::printf("%s: capital %s\n", CountryData[0].Name.str().c_str(),
              CountryData[0].Capital.str().c_str());
  return zone == 33 && status == 0 ? 0 : 1;
}
