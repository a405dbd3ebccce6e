// Writes a USA GNIS file in the "|" layout of realistic shape: the national
// file's 20 columns, names built from common parts (so many repeat, as
// "Mount Zion Church" does), the feature classes of the real files, decimal
// and DMS positions, elevations, map names and dates.
//   gen_gnis LINES > file.txt
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/common/Random.h"

namespace {

toponyx::bench::Random random(0x9E3779B97F4A7C15ULL);
size_t Pick(size_t n) {
  return random.Pick(n);
}
double Uniform() {
  return random.Uniform();
}

const char* const kFirst[] = {
    "Mount Zion", "Bethel",    "Cedar",      "Pine",     "Oak",      "Maple",        "Walnut",
    "Hickory",    "Willow",    "Spring",     "Rock",     "Clear",    "Mill",         "Big",
    "Little",     "Bear",      "Deer",       "Turkey",   "Beaver",   "Fox",          "Wolf",
    "Eagle",      "Johnson",   "Smith",      "Williams", "Brown",    "Jones",        "Miller",
    "Davis",      "Wilson",    "Anderson",   "Taylor",   "Thomas",   "Moore",        "Martin",
    "Jackson",    "Lincoln",   "Washington", "Franklin", "Union",    "Liberty",      "Pleasant",
    "Green",      "Silver",    "Black",      "White",    "Red",      "Sandy",        "Muddy",
    "Stony",      "Lost",      "Dry",        "Long",     "Round",    "Saint Mary's", "San Juan",
    "Santa Rosa", "El Paso",   "Los Alamos", "Grand",    "Crystal",  "Hidden",       "Shady",
    "Sunny",      "Lone",      "Twin",       "Three",    "North",    "South",        "East",
    "West",       "Riverside", "Fairview",   "Highland", "Lakeview", "Glen",         "Holly",
    "Laurel",     "Magnolia"};
const char* const kSecond[] = {"",       "",       "",        " Hill",    " Valley",
                               " Grove", " Ridge", " Hollow", " Springs", " Point",
                               " Bend",  " Fork",  " Run",    " Branch",  " Mountain",
                               " Knob",  " Gap",   " Flat",   " Lake",    " Pond"};
struct Kind {
  const char* generic;
  const char* cls;
};
const Kind kKinds[] = {{" Church", "Church"},
                       {" School", "School"},
                       {" Cemetery", "Cemetery"},
                       {" Creek", "Stream"},
                       {" Branch", "Stream"},
                       {" Run", "Stream"},
                       {"", "Populated Place"},
                       {"", "Populated Place"},
                       {" Dam", "Dam"},
                       {" Reservoir", "Reservoir"},
                       {" Lake", "Lake"},
                       {" Park", "Park"},
                       {" Mine", "Mine"},
                       {" Spring", "Spring"},
                       {" Summit", "Summit"},
                       {" Airport", "Airport"},
                       {" Tower", "Tower"},
                       {" Valley", "Valley"},
                       {" Post Office", "Post Office"},
                       {" Bridge", "Bridge"},
                       {" Trail", "Trail"},
                       {" Well", "Well"},
                       {" Canal", "Canal"},
                       {" Ridge", "Ridge"},
                       {" Building", "Building"},
                       {" Hospital", "Hospital"},
                       {" Island", "Island"},
                       {" Gap", "Gap"},
                       {" Swamp", "Swamp"},
                       {" Locale", "Locale"}};
const char* const kStates[] = {"AL", "AK", "AZ", "AR", "CA", "CO", "CT", "DE", "FL", "GA",
                               "HI", "ID", "IL", "IN", "IA", "KS", "KY", "LA", "ME", "MD",
                               "MA", "MI", "MN", "MS", "MO", "MT", "NE", "NV", "NH", "NJ",
                               "NM", "NY", "NC", "ND", "OH", "OK", "OR", "PA", "RI", "SC",
                               "SD", "TN", "TX", "UT", "VT", "VA", "WA", "WV", "WI", "WY"};
const char* const kCounties[] = {
    "Washington", "Jefferson", "Franklin", "Jackson", "Lincoln", "Madison", "Clay", "Marion",
    "Monroe",     "Union",     "Wayne",    "Greene",  "Warren",  "Carroll", "Lake", "Polk"};

void Dms(double v, bool lat, char* out) {
  char h = lat ? (v < 0 ? 'S' : 'N') : (v < 0 ? 'W' : 'E');
  double a = std::fabs(v);
  int d = static_cast<int>(a);
  int m = static_cast<int>((a - d) * 60);
  int s = static_cast<int>(((a - d) * 60 - m) * 60);
  std::sprintf(out, lat ? "%02d%02d%02d%c" : "%03d%02d%02d%c", d, m, s, h);
}

}  // namespace

int main(int argc, char** argv) {
  long lines = argc > 1 ? std::atol(argv[1]) : 2300000;
  std::printf(
      "FEATURE_ID|FEATURE_NAME|FEATURE_CLASS|STATE_ALPHA|STATE_NUMERIC|COUNTY_NAME|"
      "COUNTY_NUMERIC|PRIMARY_LAT_DMS|PRIM_LONG_DMS|PRIM_LAT_DEC|PRIM_LONG_DEC|"
      "SOURCE_LAT_DMS|SOURCE_LONG_DMS|SOURCE_LAT_DEC|SOURCE_LONG_DEC|ELEV_IN_M|ELEV_IN_FT|"
      "MAP_NAME|DATE_CREATED|DATE_EDITED\n");
  std::string name;
  for (long i = 0; i < lines; ++i) {
    const Kind& k = kKinds[Pick(sizeof kKinds / sizeof kKinds[0])];
    name = kFirst[Pick(sizeof kFirst / sizeof kFirst[0])];
    if (k.generic[0] == '\0') name += kSecond[Pick(sizeof kSecond / sizeof kSecond[0])];
    name += k.generic;
    if (Pick(40) == 0) name += " (historical)";
    if (Pick(200) == 0) name = "Smith, Mount";
    const size_t st = Pick(sizeof kStates / sizeof kStates[0]);
    double lat = 25 + Uniform() * 24, lon = -(67 + Uniform() * 57);
    char lat_dms[16], lon_dms[16];
    Dms(lat, true, lat_dms);
    Dms(lon, false, lon_dms);
    const bool unknown = Pick(100) == 0;  // a few places without a position
    int elev = static_cast<int>(Uniform() * 3000);
    std::printf("%ld|%s|%s|%s|%02zu|%s|%03zu|%s|%s|%s|%s|||||%d|%d|%s|%02zu/%02zu/19%02zu|\n",
                100000 + i * 3, name.c_str(), k.cls, kStates[st], st + 1,
                kCounties[Pick(sizeof kCounties / sizeof kCounties[0])], Pick(200) + 1,
                unknown ? "Unknown" : lat_dms, unknown ? "Unknown" : lon_dms,
                unknown ? "0" : std::to_string(lat).substr(0, 10).c_str(),
                unknown ? "0" : std::to_string(lon).substr(0, 11).c_str(), elev,
                static_cast<int>(elev * 3.28084), kFirst[Pick(sizeof kFirst / sizeof kFirst[0])],
                Pick(12) + 1, Pick(28) + 1, Pick(30) + 70);
  }
  return 0;
}
