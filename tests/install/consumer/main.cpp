// An application that uses the installed library the way its README says.
#include <vekgeo/Vek_geobasics.h>
#include <cmath>
#include <cstdio>

int main() {
  int zone = 0;
  double easting = 0, northing = 0;
  vek::LatLongToUTM(48.2, 16.37, vek::gelWGS84, zone, easting, northing);
  std::printf("zone %d easting %.2f northing %.2f\n", zone, easting, northing);
  return (zone == 33 && std::fabs(easting - 601799.15) < 0.01) ? 0 : 1;
}
