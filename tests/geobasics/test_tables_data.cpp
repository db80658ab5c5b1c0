// Reference data tables: the country table and the datum table, checked row by row against the
// published lists and for the invariants every row must keep.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <stdexcept>
#include <string>

#include "CountryTable.h"
#include "DatumTable.h"

using namespace vek;

namespace {

struct TNamedCode {
  const char* Name;
  const char* Code;
};

// Every country, in table order, with its ISO 3166-1 alpha-3 code.
const TNamedCode ExpectedCountries[] = {
    {"Afghanistan", "afg"}, {"Albania", "alb"}, {"Algeria", "dza"}, {"American Samoa", "asm"},
    {"Andorra", "and"}, {"Angola", "ago"}, {"Anguilla", "aia"}, {"Antarctica", "ata"},
    {"Antigua and Barbuda", "atg"}, {"Argentina", "arg"}, {"Armenia", "arm"}, {"Aruba", "abw"},
    {"Australia", "aus"}, {"Austria", "aut"}, {"Azerbaijan", "aze"}, {"Bahamas", "bhs"},
    {"Bahrain", "bhr"}, {"Bangladesh", "bgd"}, {"Barbados", "brb"}, {"Belarus", "blr"},
    {"Belgium", "bel"}, {"Belize", "blz"}, {"Benin", "ben"}, {"Bermuda", "bmu"}, {"Bhutan", "btn"},
    {"Bolivia", "bol"}, {"Bosnia and Herzegovina", "bih"}, {"Botswana", "bwa"}, {"Brazil", "bra"},
    {"British Virgin Islands", "vgb"}, {"Brunei", "brn"}, {"Bulgaria", "bgr"},
    {"Burkina Faso", "bfa"}, {"Burma;Myanmar", "mmr"}, {"Burundi", "bdi"}, {"Cambodia", "khm"},
    {"Cameroon", "cmr"}, {"Canada", "can"}, {"Cape Verde", "cpv"}, {"Cayman Islands", "cym"},
    {"Central African Republic", "caf"}, {"Chad", "tcd"}, {"Chile", "chl"}, {"China", "chn"},
    {"Christmas Island", "cxr"}, {"Cocos Islands", "cck"}, {"Colombia", "col"}, {"Comoros", "com"},
    {"Congo, Democratic Republic of the", "cod"}, {"Congo, Republic of the", "cog"},
    {"Cook Islands", "cok"}, {"Costa Rica", "cri"}, {"Cote d'Ivoire", "civ"}, {"Croatia", "hrv"},
    {"Cuba", "cub"}, {"Cyprus", "cyp"}, {"Czech Republic", "cze"}, {"Denmark", "dnk"},
    {"Djibouti", "dji"}, {"Dominica", "dma"}, {"Dominican Republic", "dom"},
    {"East Timor;Timor Lestre", "tls"}, {"Ecuador", "ecu"}, {"Egypt", "egy"},
    {"El Salvador", "slv"}, {"Equatorial Guinea", "gnq"}, {"Eritrea", "eri"}, {"Estonia", "est"},
    {"Ethiopia", "eth"}, {"Falkland Islands; Malvinas", "flk"}, {"Faroe Islands", "fro"},
    {"Fiji", "fji"}, {"Finland", "fin"}, {"France", "fra"}, {"French Guiana", "guf"},
    {"French Polynesia", "pyf"}, {"Gabon", "gab"}, {"Gambia", "gmb"}, {"Georgia", "geo"},
    {"Germany", "deu"}, {"Ghana", "gha"}, {"Gibraltar", "gib"}, {"Greece", "grc"},
    {"Greenland", "grl"}, {"Grenada", "grd"}, {"Guadeloupe", "glp"}, {"Guam", "gum"},
    {"Guatemala", "gtm"}, {"Guernsey", "ggy"}, {"Guinea", "gin"}, {"Guinea-Bissau", "gnb"},
    {"Guyana", "guy"}, {"Haiti", "hti"}, {"Honduras", "hnd"}, {"Hungary", "hun"},
    {"Iceland", "isl"}, {"India", "ind"}, {"Indonesia", "idn"}, {"Iran", "irn"}, {"Iraq", "irq"},
    {"Ireland", "irl"}, {"Israel", "isr"}, {"Italy", "ita"}, {"Jamaica", "jam"}, {"Japan", "jpn"},
    {"Jersey", "jey"}, {"Jordan", "jor"}, {"Kazakhstan", "kaz"}, {"Kenya", "ken"},
    {"Kiribati", "kir"}, {"Korea, North", "prk"}, {"Korea, South", "kor"}, {"Kuwait", "kwt"},
    {"Kyrgyzstan", "kgz"}, {"Laos", "lao"}, {"Latvia", "lva"}, {"Lebanon", "lbn"},
    {"Lesotho", "lso"}, {"Liberia", "lbr"}, {"Libya", "lby"}, {"Liechtenstein", "lie"},
    {"Lithuania", "ltu"}, {"Luxembourg", "lux"}, {"Macedonia", "mkd"}, {"Madagascar", "mdg"},
    {"Malawi", "mwi"}, {"Malaysia", "mys"}, {"Maldives", "mdv"}, {"Mali", "mli"}, {"Malta", "mlt"},
    {"Marshall Islands", "mhl"}, {"Martinique", "mtq"}, {"Mauritania", "mrt"}, {"Mauritius", "mus"},
    {"Mayotte", "myt"}, {"Mexico", "mex"}, {"Micronesia", "fsm"}, {"Moldova", "mda"},
    {"Monaco", "mco"}, {"Mongolia", "mng"}, {"Montenegro", "mne"}, {"Montserrat", "msr"},
    {"Morocco", "mar"}, {"Mozambique", "moz"}, {"Namibia", "nam"}, {"Nauru", "nru"},
    {"Nepal", "npl"}, {"Netherlands", "nld"}, {"Netherlands Antilles", "ant"},
    {"New Caledonia", "ncl"}, {"New Zealand", "nzl"}, {"Nicaragua", "nic"}, {"Niger", "ner"},
    {"Nigeria", "nga"}, {"Niue", "niu"}, {"Norfolk Island", "nfk"},
    {"Northern Mariana Islands", "mnp"}, {"Norway", "nor"}, {"Oman", "omn"}, {"Pakistan", "pak"},
    {"Palau", "plw"}, {"Panama", "pan"}, {"Papua New Guinea", "png"}, {"Paraguay", "pry"},
    {"Peru", "per"}, {"Philippines", "phl"}, {"Poland", "pol"}, {"Portugal", "prt"},
    {"Puerto Rico", "pri"}, {"Qatar", "qat"}, {"Reunion", "reu"}, {"Romania", "rou"},
    {"Russia", "rus"}, {"Rwanda", "rwa"}, {"Saint Helena", "shn"}, {"Saint Kitts and Nevis", "kna"},
    {"Saint Lucia", "lca"}, {"Saint Pierre and Miquelon", "spm"},
    {"Saint Vincent and the Grenadines", "vct"}, {"Samoa", "wsm"}, {"San Marino", "smr"},
    {"Sao Tome and Principe", "stp"}, {"Saudi Arabia", "sau"}, {"Senegal", "sen"},
    {"Serbia and Montenegro", "srb"}, {"Seychelles", "syc"}, {"Sierra Leone", "sle"},
    {"Singapore", "sgp"}, {"Slovakia", "svk"}, {"Slovenia", "svn"}, {"Solomon Islands", "slb"},
    {"Somalia", "som"}, {"South Africa", "zaf"}, {"Spain", "esp"}, {"Sri Lanka", "lka"},
    {"Sudan", "sdn"}, {"Suriname", "sur"}, {"Svalbard", "sjm"}, {"Swaziland", "swz"},
    {"Sweden", "swe"}, {"Switzerland", "che"}, {"Syria", "syr"}, {"Taiwan", "twn"},
    {"Tajikistan", "tjk"}, {"Tanzania", "tza"}, {"Thailand", "tha"}, {"Togo", "tgo"},
    {"Tonga", "ton"}, {"Trinidad and Tobago", "tto"}, {"Tunisia", "tun"}, {"Turkey", "tur"},
    {"Turkmenistan", "tkm"}, {"Turks and Caicos Islands", "tca"}, {"Tuvalu", "tuv"},
    {"Uganda", "uga"}, {"Ukraine", "ukr"}, {"United Arab Emirates", "are"},
    {"United Kingdom", "gbr"}, {"United States", "usa"}, {"Uruguay", "ury"}, {"Uzbekistan", "uzb"},
    {"Vanuatu", "vut"}, {"Vatican", "vat"}, {"Venezuela", "ven"}, {"Vietnam", "vnm"},
    {"Virgin Islands", "vir"}, {"Wallis and Futuna", "wlf"}, {"Western Sahara", "esh"},
    {"Yemen", "yem"}, {"Zambia", "zmb"}, {"Zimbabwe", "zwe"},
};

// Every datum, in table order: name and region.
const TNamedCode ExpectedDatums[] = {
    {"ACCRA", "Ghana"}, {"ADINDAN", "Burkina Faso"}, {"ADINDAN", "Cameroon"},
    {"ADINDAN", "Ethiopa"}, {"ADINDAN", "Mali"}, {"ADINDAN", "Mean"}, {"ADINDAN", "Senegal"},
    {"ADINDAN", "Sudan"}, {"ANTIGUA ISLAND ASTRO 1943", "Antigua"}, {"AIN EL ABD 1970", "Bahrain"},
    {"AIN EL ABD 1970", "Saudi Arabia"}, {"AMERICAN SAMOA 1962", "Samoa Islands"},
    {"RD, AMERSFOORT", "Netherlands"}, {"ANNA 1 ASTRO 1965", "Cocos Islands"},
    {"ARC 1950", "Southern Africa"}, {"ARC 1950", "Botswana"}, {"ARC 1950", "Burundi"},
    {"ARC 1950", "Lesotho"}, {"ARC 1950", "Malawi"}, {"ARC 1950", "Swaziland"},
    {"ARC 1950", "Zaire"}, {"ARC 1950", "Zambia"}, {"ARC 1950", "Zimbabwe"}, {"ARC 1960", "Kenya"},
    {"ARC 1960", "Tanzania"}, {"ASCENSION ISLAND 1958", "Ascension"},
    {"MONTSERRAT IS. ASTRO 1958", "Montserrat"}, {"ASTRO STATION 1952", "Marcus Islands"},
    {"ASTRO BACON E 1845", "Iwo Jima"}, {"AUSTRALIAN GEODETIC 1966", "Australia"},
    {"AUSTRALIAN GEODETIC 1984", "Australia"}, {"DJAKARTA", "Indonesia"},
    {"BEKAA BASE SOUTH END", "Lebanon"}, {"BERMUDA 1957", "Bermuda"}, {"BISSAU", "Guinea Bissau"},
    {"BOGOTA OBSERVATORY", "Colombia"}, {"BERNE (1898),", "Switzerland"},
    {"BUKIT RIMPAH", "Indonesia"}, {"CAPE CANAVERAL", "Florida & Bahamas"},
    {"CAMPO INCHAUSPE 1969", "Argentina"}, {"CANTON ASTRO 1966", "Phoenix Islands"},
    {"CAPE", "South Africa"}, {"CAMP AREA ASTRO", "Antarctica"}, {"S-JTSK", "Czech Republic"},
    {"S-JTSK", "Slovakia"}, {"CARTHAGE", "Tunisia"}, {"CHATHAM ISLAND ASTRO 1971", "New Zealand"},
    {"CHUA ASTRO", "Paraguay"}, {"CH1903+", "Switzerland"}, {"CORREGO ALEGRE", "Brazil"},
    {"OBSERVATOROI", "Mozambique South"}, {"CYPRUS 1935", "Cyprus"}, {"ESTONIA 1937", "Estonia"},
    {"DABOLA", "Guinea"}, {"DECEPTION ISLAND", "Antarctica"}, {"GUX 1 ASTRO", "Guadalcanal Island"},
    {"EASTER ISLAND 1967", "Easter Island"}, {"WAKE-ENIWETOK 1960", "Marshall Islands"},
    {"EUROPEAN DATUM 1950", "Europe"}, {"EUROPEAN DATUM 1950", "Western Europe"},
    {"EUROPEAN DATUM 1950", "Norway & Finland"}, {"EUROPEAN DATUM 1950", "Denmark"},
    {"EUROPEAN DATUM 1950", "Channel Islands"}, {"EUROPEAN DATUM 1950", "Portugal and Spain"},
    {"EUROPEAN DATUM 1950", "Portugal"}, {"EUROPEAN DATUM 1950", "Balearic Islands"},
    {"EUROPEAN DATUM 1950", "Spain (except NW),"}, {"EUROPEAN DATUM 1950", "Spain NW"},
    {"EUROPEAN DATUM 1950", "Gibraltar"}, {"EUROPEAN DATUM 1950", "Italy - Sardinia"},
    {"EUROPEAN DATUM 1950", "Italy - Sicily"}, {"EUROPEAN DATUM 1950", "Malta"},
    {"EUROPEAN DATUM 1950", "Former Yugoslavia N"}, {"EUROPEAN DATUM 1950", "Greece"},
    {"EUROPEAN DATUM 1950", "Cyprus"}, {"EUROPEAN DATUM 1950", "Turkey"},
    {"EUROPEAN DATUM 1950", "Algeria"}, {"EUROPEAN DATUM 1950", "Tunisia"},
    {"EUROPEAN DATUM 1950", "Egypt"}, {"EUROPEAN DATUM 1950", "Lebanon"},
    {"EUROPEAN DATUM 1950", "Iran"}, {"EUROPEAN DATUM 1950", "Middle East"},
    {"EUROPEAN DATUM 1950", "Oman"}, {"EUROPEAN 1979", "Europe"}, {"EUROPEAN 1979", "Portugal"},
    {"ETRF89", "Europe"}, {"FAHUD", "Oman"}, {"OBSERVATORIO MET. 1939", "Flores"},
    {"FORT THOMAS 1955", "St Kitts-Nevis"}, {"GAN 1970", "Rep. of Maldives"},
    {"GEOCENTRIC DATUM AUSTRALIA", "Australia"}, {"GEODETIC DATUM 1949", "New Zealand"},
    {"DOS 1968", "Gizo Islands"}, {"GRACIOSA BASE SW 1948", "Azores"}, {"GGRS87", "Greece"},
    {"GUNUNG SEGARA", "Indonesia"}, {"GUAM 1963", "Guam"}, {"HARTEBEESTHOCK 1994", "South Africa"},
    {"HELSINKI, KALLIO CHURCH", "Finland"}, {"HERAT NORTH", "Afghanistan"},
    {"MGI DATUM/HERMANNSKOGEL", "Austria"}, {"HERMANNSKOGEL", "Former Yugoslavia"},
    {"HITO XVIII 1963", "Chile"}, {"HJORSEY 1955", "Iceland"}, {"HONG KONG 1963", "Hong Kong"},
    {"HONG KONG 1980", "Hong Kong"}, {"HU-TZU-SHAN", "Taiwan"}, {"HUNGARIAN DATUM 1972", "Hungary"},
    {"BELLEVUE (IGN),", "Efate Island"}, {"INDONESIAN 1974", "Indonesia"},
    {"IRAQ-KUWAIT BOUNDARY 1992", "Iraq/ Kuwait"}, {"INDIAN", "Bangladesh"},
    {"INDIAN", "India & Nepal"}, {"INDIAN", "Pakistan"}, {"INDIAN 1954", "Thailand"},
    {"INDIAN 1960", "Con Son Island"}, {"INDIAN 1960", "Vietnam"}, {"1 INDIAN 1975", "Thailand"},
    {"IRELAND 1965", "Ireland"}, {"ISTS 061 ASTRO 1968", "South Georgia"},
    {"ISTS 073 ASTRO 1969", "Diego Garcia"}, {"JOHNSTON ISLAND 1961", "Johnston Island"},
    {"KANDAWALA JACKSON?", "Sri Lanka"}, {"KERTAU 1948", "Malaysia W & Sing."},
    {"KERGUELEN ISLAND 1949", "Kerguelen Island"}, {"KOREAN GEODETIC SYSTEM 1995", "South Korea"},
    {"KKJ", "Finland"}, {"KUSAIE ASTRO 1951", "Caroline Island"}, {"LC5 ASTRO 1961", "Cayman Brac"},
    {"LEIGON", "Ghana"}, {"LIBERIA 1964", "Liberia"},
    {"LISBON (Castelo di Sao Jorge), D7", "Portugal"}, {"LKS94", "Lithuania"},
    {"LUXEMBOURG NT", "Luxembourg"}, {"LUZON", "Philipines - Mindanao"}, {"LUZON", "Philipines"},
    {"MASSAWA", "Eritrea"}, {"MERCHICH", "Morroco"}, {"MIDWAY ASTRO 1961", "Midway Islands"},
    {"MAHE 1971", "Seychelles - Mahe Is."}, {"MINNA", "Cameroon"}, {"MINNA", "Nigeria"},
    {"ROME 1940", "Italy mainland"}, {"ROME 1940", "Italy - Sardinia"},
    {"ROME 1940", "Italy - Sicily"}, {"M'PORALOKO", "Gabon"},
    {"VITI LEVU 1916", "Fiji - Viti Levu"}, {"NAHRWAN", "Oman - Masirah Island"},
    {"NAHRWAN", "Saudi Arabia"}, {"NAHRWAN", "United Arab Emirates"},
    {"NAPARIMA", "Trinidad & Tobago"}, {"NORTH AMERICAN 1983", "US - Alaska"},
    {"NORTH AMERICAN 1983", "US - Aleutian"}, {"NORTH AMERICAN 1983", "Canada"},
    {"NORTH AMERICAN 1983", "US - CONUS"}, {"NORTH AMERICAN 1983", "US - Hawaii"},
    {"NORTH AMERICAN 1983", "Mexico"}, {"NORTH AMERICAN 1927", "US - Alaska"},
    {"NORTH AMERICAN 1927", "Canada"}, {"NORTH AMERICAN 1927", "Canada-Alberta/British Columbia"},
    {"NORTH AMERICAN 1927", "US - Aleutian East"}, {"NORTH AMERICAN 1927", "US - Aleutian West"},
    {"NORTH AMERICAN 1927", "Bahamas"}, {"NORTH AMERICAN 1927", "Canal Zone"},
    {"NORTH AMERICAN 1927", "Caribbean"}, {"NORTH AMERICAN 1927", "Central America"},
    {"NORTH AMERICAN 1927", "US - CONUS"}, {"NORTH AMERICAN 1927", "Cuba"},
    {"NORTH AMERICAN 1927", "CanadaEast"}, {"NORTH AMERICAN 1927", "US - Eastern"},
    {"NORTH AMERICAN 1927", "Greenland"}, {"NORTH AMERICAN 1927", "Canada - Manitoba/Ontario"},
    {"NORTH AMERICAN 1927", "Mexico"}, {"NORTH AMERICAN 1927", "Canada - NW Territory"},
    {"NORTH AMERICAN 1927", "San Salvador"}, {"NORTH AMERICAN 1927", "US - Western"},
    {"NORTH AMERICAN 1927", "Canada - Yukon"}, {"NTF", "France"}, {"NGO 1948", "Norway"},
    {"NORTH SAHARA 1959", "Algeria"}, {"BELGIUM DATUM 1972", "Belgium"},
    {"OLD EGYPTIAN 1907", "Egypt"}, {"ORDNANCE GB 1936", "GB - Great Britain"},
    {"OLD HAWAI'IAN", "US - Hawaii Mean"}, {"OLD HAWAI'IAN", "US - Hawaii"},
    {"OLD HAWAI'IAN", "US - Kauai"}, {"OLD HAWAI'IAN", "US - Maui"}, {"OLD HAWAI'IAN", "US - Oahu"},
    {"OLD HAWAI'IAN", "US - Hawaii"}, {"OLD HAWAI'IAN", "US - Hawaii"},
    {"OLD HAWAI'IAN", "US - Kauai"}, {"OLD HAWAI'IAN", "US - Maui"}, {"OLD HAWAI'IAN", "US - Oahu"},
    {"PALESTINE 1928", "Israel"}, {"AYABELLA LIGHTHOUSE", "Djibouti"},
    {"PITCAIRN ASTRO 1967", "Pitcairn Island"}, {"PICO DE LAS NIEVES.", "Spain - Canary Islands"},
    {"PORTO SANTO 1936.", "Portugal - Maderia"}, {"PROV. S AMERICAN 1956", "Bolivia"},
    {"PROV. S AMERICAN 1956", "Colombia"}, {"PROV. S AMERICAN 1956", "Ecuador"},
    {"PROV. S AMERICAN 1956", "Guyana"}, {"PROV. S AMERICAN 1956", "Chile North"},
    {"PROV. S AMERICAN 1956", "Peru"}, {"PROV. S AMERICAN 1956", "South America"},
    {"PROV. S AMERICAN 1956", "Chile South"}, {"PROV. S AMERICAN 1956", "Venezuela"},
    {"POINT 58", "Burkina Faso & Niger"}, {"POINT NOIRE 1948", "Congo"}, {"PULKOVO 1942", "Russia"},
    {"PULKOVO 1942", "Germany"}, {"PULKOVO 1942", "Estonia"},
    {"PUERTO RICO & Virgin Is.", "Puerto Rico & Virgin Islands"}, {"QATAR NATIONAL 1974", "Qatar"},
    {"QATAR NATIONAL 1995", "Qatar"}, {"QORNOQ ", "Greenland South"},
    {"DHDN (RAUENBERG),", "Germany"}, {"REUNION ", "Mascarene Is"}, {"RT90", "Sweden"},
    {"SANTO(DOS), 1965", "Vanuatu - Espirito Santo"}, {"SOUTH AMERICAN 1969", "Argentina"},
    {"SOUTH AMERICAN 1969", "Galapagos"}, {"SOUTH AMERICAN 1969", "Bolivia"},
    {"SOUTH AMERICAN 1969", "Brazil"}, {"SOUTH AMERICAN 1969", "Chile"},
    {"SOUTH AMERICAN 1969", "Colombia"}, {"SOUTH AMERICAN 1969", "Ecuador"},
    {"SOUTH AMERICAN 1969", "Guyana"}, {"SOUTH AMERICAN 1969", "Paraguay"},
    {"SOUTH AMERICAN 1969", "Peru"}, {"SOUTH AMERICAN 1969", "South America"},
    {"SOUTH AMERICAN 1969", "Trinidad"}, {"SOUTH AMERICAN 1969", "Venezuela"},
    {"SAO BRAZ", "Santa Maria Islands"}, {"SAPPER HILL 1943 (2000 adj),", "Falkland Islands"},
    {"SCHWARZECK", "Namibia"}, {"SOUTH EAST ISLAND", "Seychelles"},
    {"SOVIET GEODETIC SYSTEM 85", "Russia"}, {"PZ90 (GLONASS),", "Russia"},
    {"SELVAGEM GRANDE 1938", "Salvage Island"}, {"DOS 71/4", "St Helena"},
    {"SIERRA LEONE DATUM 1960", "Sierra Leone"}, {"SIRGAS", "South America"},
    {"SOUTH ASIA", "Singapore"}, {"S-42 (PULKOVO 1942),", "Albania"},
    {"S-42 (PK42),", "Czechoslavakia"}, {"S-42 (PULKOVO 1942),", "Hungary"},
    {"S-42 (PULKOVO 1942),", "Latvia"}, {"S-42 (PK 1942),", "Kazakhstan"},
    {"SYSTEM 1942/58 (PULKOVO 1942),", "Poland"}, {"S-42 (PULKOVO 1942),", "Poland"},
    {"S-42 (PULKOVO 1942),", "Romania"}, {"S-42 (PULKOVO 1942),", "Romania"},
    {"S-42 (PULKOVO 1942),", "Afghanistan"}, {"TANANARIVE OBSERVATORY", "Madagascar"},
    {"TRISTAN ASTRO 1968", "Tristan da Cunha"}, {"TETE", "Mozambique"},
    {"TIMBALAI 1948 (Everest),", "Malaysia E & Brunei"},
    {"TIMBALAI 1968,Adj of 1948", "Malaysia E & Brunei"},
    {"TIMBALAI 1968, Adj of 1948", "Malaysia E & Brunei"},
    {"TIMBALAI 1948 (Bessel),", "Malaysia E & Brunei"}, {"TOKYO", "Japan"},
    {"TOKYO", "South Korea"}, {"TOKYO", "Japan - Okinawa"},
    {"TERN ISLAND (FRIG), 1961", "Antarctica"}, {"VOIROL 1875", "Algeria"},
    {"WAKE ISLAND ASTRO 1952", "Wake Island"}, {"WORLD GEODETIC SYSTEM 1972", "World"},
    {"WORLD GEODETIC SYSTEM 1984", "World"}, {"YACARE ", "Uruguay"}, {"ZANDERIJ", "Suriname"},
};

bool HasRotationOrScale(const TDatumEntry& d) {
  return d.Scale != 0 || d.rX != 0 || d.rY != 0 || d.rZ != 0;
}

bool IsZeroShift(const TDatumEntry& d) {
  return d.dX == 0 && d.dY == 0 && d.dZ == 0 && !HasRotationOrScale(d);
}

// Great-circle angle between two positions, in degrees.
double AngleBetween(double lat1, double lon1, double lat2, double lon2) {
  constexpr double r = M_PI / 180.0;
  const double c = std::sin(lat1 * r) * std::sin(lat2 * r) +
                   std::cos(lat1 * r) * std::cos(lat2 * r) * std::cos((lon2 - lon1) * r);
  return std::acos(std::clamp(c, -1.0, 1.0)) / r;
}

bool IsLowerAscii(const std::string& s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

}  // namespace

// ---- countries ----

TEST(CountryTable, HoldsTheListedCountriesInOrder) {
  static_assert(NumCountries == 231);
  static_assert(std::size(ExpectedCountries) == NumCountries);
  static_assert(sizeof(CountryData) / sizeof(CountryData[0]) == NumCountries);
  for (int i = 0; i < NumCountries; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(CountryData[i].Name.str(), ExpectedCountries[i].Name);
    EXPECT_EQ(CountryData[i].ISO3166_3.str(), ExpectedCountries[i].Code);
  }
}

TEST(CountryTable, SortedByName) {
  for (int i = 1; i < NumCountries; ++i)
    EXPECT_LT(CountryData[i - 1].Name.ansi(), CountryData[i].Name.ansi()) << "row " << i;
}

TEST(CountryTable, TellingRows) {
  struct TRow {
    int Index;
    TCountryData Data;
  };
  const TRow rows[] = {
      {0, {"Afghanistan", "af", "af", "afg", 33.0, 65.0, "Kabul", 34.5309, 69.1368, 1807}},
      {2, {"Algeria", "ag", "dz", "dza", 28.0, 3.0, "Algiers", 36.7658, 3.0319, 0}},
      {7, {"Antarctica", "ay", "aq", "ata", -90.0, 0.0, "", -90.0, 0.0, 0}},
      {33, {"Burma;Myanmar", "bm", "mm", "mmr", 22.0, 98.0, "Rangoon", 19.7361, 96.2089, 77}},
      {147, {"Netherlands", "nl", "nl", "nld", 52.5, 5.75, "Amsterdam", 52.373, 4.8948, -1}},
      {230, {"Zimbabwe", "zi", "zw", "zwe", -20.0, 30.0, "Harare", -17.8292, 31.054, 1480}},
  };
  for (const TRow& r : rows) {
    const TCountryData& c = CountryData[r.Index];
    SCOPED_TRACE(r.Data.Name.str());
    EXPECT_EQ(c.Name, r.Data.Name);
    EXPECT_EQ(c.Fips10, r.Data.Fips10);
    EXPECT_EQ(c.ISO3166_2, r.Data.ISO3166_2);
    EXPECT_EQ(c.ISO3166_3, r.Data.ISO3166_3);
    EXPECT_EQ(c.CLat, r.Data.CLat);
    EXPECT_EQ(c.CLong, r.Data.CLong);
    EXPECT_EQ(c.Capital, r.Data.Capital);
    EXPECT_EQ(c.CapLat, r.Data.CapLat);
    EXPECT_EQ(c.CapLong, r.Data.CapLong);
    EXPECT_EQ(c.CapAlt, r.Data.CapAlt);
  }
}

TEST(CountryTable, CodesAreLowerCaseAndDistinct) {
  std::set<std::string> fips, iso2, iso3;
  for (const TCountryData& c : CountryData) {
    SCOPED_TRACE(c.Name.str());
    EXPECT_EQ(c.Fips10.length(), 2);
    EXPECT_EQ(c.ISO3166_2.length(), 2);
    EXPECT_EQ(c.ISO3166_3.length(), 3);
    EXPECT_TRUE(IsLowerAscii(c.Fips10.str()) && IsLowerAscii(c.ISO3166_2.str()) &&
                IsLowerAscii(c.ISO3166_3.str()));
    EXPECT_TRUE(fips.insert(c.Fips10.str()).second) << "FIPS code repeated";
    EXPECT_TRUE(iso2.insert(c.ISO3166_2.str()).second) << "alpha-2 code repeated";
    EXPECT_TRUE(iso3.insert(c.ISO3166_3.str()).second) << "alpha-3 code repeated";
  }
}

TEST(CountryTable, PositionsInRangeAndPlausible) {
  for (const TCountryData& c : CountryData) {
    SCOPED_TRACE(c.Name.str());
    EXPECT_TRUE(c.CLat >= -90 && c.CLat <= 90);
    EXPECT_TRUE(c.CLong >= -180 && c.CLong <= 180);
    EXPECT_TRUE(c.CapLat >= -90 && c.CapLat <= 90);
    EXPECT_TRUE(c.CapLong >= -180 && c.CapLong <= 180);
    // No capital lies on the other side of the globe from its country's centre: a swapped
    // hemisphere or a mixed-up row shows up here.
    EXPECT_LT(AngleBetween(c.CLat, c.CLong, c.CapLat, c.CapLong), 35.0);
    // Capitals lie between the Dead Sea shore and the Andes.
    EXPECT_TRUE(c.CapAlt > -450 && c.CapAlt < 4000);
    EXPECT_EQ(c.Capital.empty(), c.Name == "Antarctica");
  }
}

// ---- datums ----

TEST(DatumTable, HoldsTheListedDatumsInOrder) {
  static_assert(NumDatums == 271);
  static_assert(std::size(ExpectedDatums) == NumDatums);
  for (int n = 1; n <= NumDatums; ++n) {
    SCOPED_TRACE(n);
    EXPECT_EQ(DatumEntry(n).Name.str(), ExpectedDatums[n - 1].Name);
    EXPECT_EQ(DatumEntry(n).Region.str(), ExpectedDatums[n - 1].Code);
  }
}

TEST(DatumTable, NumbersOutsideTheTableThrow) {
  EXPECT_THROW(DatumEntry(0), std::out_of_range);
  EXPECT_THROW(DatumEntry(-1), std::out_of_range);
  EXPECT_THROW(DatumEntry(NumDatums + 1), std::out_of_range);
  EXPECT_NO_THROW(DatumEntry(1));
  EXPECT_NO_THROW(DatumEntry(NumDatums));
}

TEST(DatumTable, TellingRows) {
  struct TRow {
    int Number;
    TGeoEllipsoid Ellipsoid;
    double dX, dY, dZ, Scale, rX, rY, rZ;
  };
  const TRow rows[] = {
      {1, gelWarOffice, -199, 32, 322, 0, 0, 0, 0},
      {13, gelBess41, 565, 49.9, 465.8, 4.08, -0.409, 0.36, -1.869},
      {23, gelClrk80, -111.16, -186.64, -301.34, 1.776, -4.023, -2.838, 4.899},
      {31, gelAuNat65, -116, -50.47, 141.69, 0.0983, 0.23, 0.39, 0.344},
      {268, gelWGS72, 0, 0, 4.5, 0.219, 0, 0, 0.554},
      {269, gelWGS84, 0, 0, 0, 0, 0, 0, 0},
  };
  for (const TRow& r : rows) {
    const TDatumEntry& d = DatumEntry(r.Number);
    SCOPED_TRACE(r.Number);
    EXPECT_EQ(d.Ellipsoid, r.Ellipsoid);
    EXPECT_EQ(d.dX, r.dX);
    EXPECT_EQ(d.dY, r.dY);
    EXPECT_EQ(d.dZ, r.dZ);
    EXPECT_EQ(d.Scale, r.Scale);
    EXPECT_EQ(d.rX, r.rX);
    EXPECT_EQ(d.rY, r.rY);
    EXPECT_EQ(d.rZ, r.rZ);
  }
}

TEST(DatumTable, FiftyEightRowsCarryScaleOrRotation) {
  int count = 0;
  for (int n = 1; n <= NumDatums; ++n)
    if (HasRotationOrScale(DatumEntry(n))) ++count;
  EXPECT_EQ(count, 58);
  for (int n : {13, 23, 31, 268}) EXPECT_TRUE(HasRotationOrScale(DatumEntry(n))) << n;
  EXPECT_FALSE(HasRotationOrScale(DatumEntry(1)));
}

TEST(DatumTable, EllipsoidsAreValid) {
  for (int n = 1; n <= NumDatums; ++n)
    EXPECT_LT(static_cast<int>(DatumEntry(n).Ellipsoid), NumGeoEllipsoids) << n;
  EXPECT_EQ(sizeof(DatumEntry(1).Ellipsoid), 1u);
}

// The regional rows of one datum refer to one ellipsoid, except where the datum itself was
// computed on several (the Indian datums per country, Old Hawaiian on Clarke 1866 and on
// International 1924).
TEST(DatumTable, RegionsOfADatumShareTheEllipsoid) {
  for (int n = 2; n <= NumDatums; ++n) {
    const TDatumEntry& a = DatumEntry(n - 1);
    const TDatumEntry& b = DatumEntry(n);
    if (a.Name != b.Name || b.Name == "INDIAN" || b.Name == "OLD HAWAI'IAN") continue;
    EXPECT_EQ(a.Ellipsoid, b.Ellipsoid) << b.Name.str() << ", rows " << n - 1 << " and " << n;
  }
}

TEST(DatumTable, DatumsCoincidingWithWGS84CarryNoShift) {
  const char* coinciding[] = {"ETRF89", "GEOCENTRIC DATUM AUSTRALIA", "HARTEBEESTHOCK 1994",
                              "IRAQ-KUWAIT BOUNDARY 1992", "KOREAN GEODETIC SYSTEM 1995", "LKS94",
                              "SIRGAS", "WORLD GEODETIC SYSTEM 1984"};
  int found = 0;
  for (int n = 1; n <= NumDatums; ++n) {
    const TDatumEntry& d = DatumEntry(n);
    const bool listed = std::any_of(std::begin(coinciding), std::end(coinciding),
                                    [&](const char* s) { return d.Name == s; });
    const bool nad83 = d.Name == "NORTH AMERICAN 1983";
    if (!listed && !nad83) continue;
    ++found;
    SCOPED_TRACE(n);
    if (listed || d.Region == "US - CONUS" || d.Region == "Canada")
      EXPECT_TRUE(IsZeroShift(d));
    else  // NAD83 in Alaska, the Aleutians, Hawaii and Mexico: a few metres at most
      EXPECT_TRUE(std::abs(d.dX) + std::abs(d.dY) + std::abs(d.dZ) < 10 && !HasRotationOrScale(d));
  }
  EXPECT_EQ(found, 14);
}

// Unit slips (radians or micro-radians for arc-seconds, parts per billion for ppm, a 7-parameter
// set read in the wrong rotation convention turning into kilometres) push values far outside
// what any published datum shift reaches.
TEST(DatumTable, ParametersWithinPublishedMagnitudes) {
  for (int n = 1; n <= NumDatums; ++n) {
    const TDatumEntry& d = DatumEntry(n);
    SCOPED_TRACE(n);
    for (double t : {d.dX, d.dY, d.dZ}) EXPECT_LT(std::abs(t), 2000.0);
    EXPECT_LT(std::abs(d.Scale), 50.0);
    for (double r : {d.rX, d.rY, d.rZ}) EXPECT_LT(std::abs(r), 100.0);
  }
}
