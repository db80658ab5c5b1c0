// Country reference table.
#include "CountryTable.h"

namespace vek {

const TCountryData CountryData[NumCountries] = {
    {"Afghanistan", "af", "af", "afg", 33.0, 65.0, "Kabul", 34.5309, 69.1368, 1807},
};

}  // namespace vek
