// Reference table of countries: codes, centre point and capital.
#pragma once

#include <cstdint>

#include "ShortString.h"

namespace vek {

struct TCountryData {
  ShortString<40> Name;       // English name; a few rows give two names separated by ';'
  ShortString<2> Fips10;      // FIPS 10-4 code, lower case
  ShortString<2> ISO3166_2;   // ISO 3166-1 alpha-2 code, lower case
  ShortString<3> ISO3166_3;   // ISO 3166-1 alpha-3 code, lower case
  double CLat;                // centre point, decimal degrees
  double CLong;
  ShortString<31> Capital;    // empty where there is none (Antarctica)
  double CapLat;              // capital, decimal degrees
  double CapLong;
  int32_t CapAlt;             // altitude of the capital in metres, 0 where unknown
};

constexpr int NumCountries = 231;

// Sorted alphabetically by Name, indexed from 0.
extern const TCountryData CountryData[NumCountries];

}  // namespace vek
