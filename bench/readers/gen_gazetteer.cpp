// Writes gazetteer files of realistic shape for the reader benchmarks:
//   gen_gazetteer FORMAT LINES > file
// FORMAT is one of
//   geonames  GeoNames dump: 19 tab-separated UTF-8 columns, no header; names
//             with diacritics, some in scripts the code page lacks (so the
//             ASCII name or an alternate name stands in), comma-separated
//             alternate names, the feature codes in their real proportions
//   gns       world GNS country file, 29 columns with MODIFY_DATE, UTF-8
//   gns-old   world GNS file of the older layout (no DATE column), 25
//             columns in Windows-1252
//   os        OS 1:50 000 gazetteer, 20 colon-separated fields
//   wpt       waypoint file (four header lines, then one waypoint a line)
//   tpx       Toponyx text file in latitude and longitude (degrees, minutes
//             and seconds), tpx-utm and tpx-nzmg in the two grids
//   domestic  USA GNIS DomesticNames: a byte-order mark, 21 "|" columns
//             named in a lower-case header, CRLF
//   gaz-csv   USA GNIS gazetteer CSV ("Gaz ID,Feature Name,..."), some
//             names quoted
//   osnames   OS Open Names: 34 comma-separated fields without a header,
//             a Welsh second name now and then
//   gpx       GPX 1.1 waypoints with name, type or symbol
//   kml       KML 2.2 as Earth browsers save it: placemarks with styles and
//             descriptions in folders of a thousand, points mostly, now and
//             then a path or an area
//   geojson   a GeoJSON FeatureCollection as GIS tools export it, one
//             feature a line: points mostly, some lines and polygons
//   geojsonl  the same features as a text sequence (one a line)
//   table     a national gazetteer as CSV (New Zealand's shape: a header of
//             38 columns, quoted fields now and then, UTF-8 names)
// Output is deterministic (a fixed seed).
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "bench/common/Random.h"

namespace {

toponyx::bench::Random random(0x2545F4914F6CDD1DULL);
size_t Pick(size_t n) {
  return random.Pick(n);
}
double Uniform() {
  return random.Uniform();
}
template <typename T, size_t N>
const T& OneOf(const T (&items)[N]) {
  return items[Pick(N)];
}

// Name parts: plain syllables, and syllables with letters outside ASCII
// (UTF-8), some of them outside Windows-1252 too.
const char* const kPlain[] = {"an",    "ber", "ca",   "dor", "el",   "fen",   "gar",  "ho",  "in",
                              "ka",    "lin", "mar",  "no",  "os",   "pa",    "ri",   "san", "ta",
                              "ul",    "va",  "wen",  "zi",  "bur",  "lo",    "mi",   "ne",  "sto",
                              "ville", "ton", "berg", "dal", "wood", "field", "ford", "stan"};
const char* const kAccented[] = {
    "\xC3\xA9", "\xC3\xBC", "\xC3\xB1",         "\xC3\xB8",         "\xC3\xA5",         "\xC3\xA7",
    "\xC3\xA0", "\xC3\xB6", "\xC5\x82" /* ł */, "\xC4\x8D" /* č */, "\xC5\x9F" /* ş */, "\xC3\xAD"};
const char* const kCyrillic[] = {"\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0",
                                 "\xD0\x9A\xD0\xB8\xD0\xB5\xD0\xB2",
                                 "\xD0\x9F\xD0\xB5\xD1\x82\xD1\x80\xD0\xBE\xD0\xB2\xD0\xBE"};
const char* const kGeneric[] = {"",         "",        "",        "",          " River",
                                " Creek",   " Hill",   " Lake",   " Mountain", " Valley",
                                " Station", " School", " Church", " Farm",     " Bridge"};

// A name as ASCII (ascii) and as written (utf8).
void MakeName(std::string& utf8, std::string& ascii) {
  utf8.clear();
  ascii.clear();
  const int words = Pick(5) == 0 ? 2 : 1;
  for (int w = 0; w < words; ++w) {
    if (w > 0) {
      utf8 += ' ';
      ascii += ' ';
    }
    const int syllables = 2 + static_cast<int>(Pick(3));
    for (int s = 0; s < syllables; ++s) {
      std::string_view part = OneOf(kPlain);
      std::string p(part);
      if (s == 0) p[0] = static_cast<char>(p[0] - 'a' + 'A');
      ascii += p;
      if (Pick(8) == 0) {
        utf8 += p.substr(0, p.size() - 1);
        utf8 += OneOf(kAccented);
      } else {
        utf8 += p;
      }
    }
  }
  const char* generic = OneOf(kGeneric);
  utf8 += generic;
  ascii += generic;
  if (Pick(40) == 0) utf8 = OneOf(kCyrillic);  // the ASCII name stands in
}

struct Code {
  const char* feature_class;
  const char* code;
  int weight;
};
// GeoNames codes, roughly in the proportions of the world dump; two codes
// of later dumps that the built-in table lacks.
const Code kGeoNamesCodes[] = {
    {"P", "PPL", 330}, {"H", "STM", 90},  {"S", "HTL", 30}, {"T", "MT", 30},   {"T", "HLL", 40},
    {"H", "LK", 25},   {"S", "SCH", 25},  {"S", "CH", 20},  {"A", "ADM3", 10}, {"A", "ADM2", 5},
    {"L", "LCTY", 20}, {"V", "FRST", 8},  {"R", "RD", 5},   {"S", "FRM", 25},  {"H", "RSV", 10},
    {"T", "PK", 10},   {"P", "PPLX", 15}, {"S", "BLDG", 8}, {"H", "SPNG", 6},  {"L", "PRK", 8},
    {"T", "MTS", 5},   {"S", "CMTY", 6},  {"H", "BAY", 4},  {"T", "ISL", 6},   {"P", "PPLA2", 4},
    {"A", "ADM1H", 1}, {"P", "PPLCH", 1}};
// GNS designation codes with their classes.
const Code kGnsCodes[] = {{"P", "PPL", 50}, {"H", "STM", 15}, {"T", "MT", 8},   {"T", "HLL", 8},
                          {"H", "LK", 4},   {"S", "FRM", 5},  {"L", "LCTY", 5}, {"V", "FRST", 2},
                          {"A", "ADM2", 1}, {"T", "PK", 3},   {"R", "RSTN", 1}, {"S", "BLDG", 1},
                          {"U", "BNK", 1},  {"T", "PASS", 1}, {"H", "SPNG", 1}, {"A", "PCLH", 1}};

template <size_t N>
const Code& Weighted(const Code (&codes)[N]) {
  int total = 0;
  for (const Code& c : codes) total += c.weight;
  int r = static_cast<int>(Pick(static_cast<size_t>(total)));
  for (const Code& c : codes) {
    if ((r -= c.weight) < 0) return c;
  }
  return codes[0];
}

const char* const kCountries[] = {"DE", "FR", "US", "CN", "IN", "BR", "RU", "NO", "ES",
                                  "IT", "PL", "MX", "ID", "IR", "TR", "NZ", "CA", "AU"};
const char* const kZones[] = {"Europe/Berlin", "Europe/Paris",    "America/New_York",
                              "Asia/Shanghai", "Asia/Kolkata",    "America/Sao_Paulo",
                              "Europe/Moscow", "Pacific/Auckland"};

void GeoNames(long lines) {
  std::string name, ascii, alt, alt_ascii, alternates;
  long id = 2986043;  // seven digits, as the dump's first line
  for (long i = 0; i < lines; ++i) {
    MakeName(name, ascii);
    alternates.clear();
    const int n_alt = Pick(4) == 0 ? static_cast<int>(Pick(7)) : 0;
    for (int k = 0; k < n_alt; ++k) {
      MakeName(alt, alt_ascii);
      if (k > 0) alternates += ',';
      alternates += alt;
    }
    const Code& c = Weighted(kGeoNamesCodes);
    const bool populated = c.feature_class[0] == 'P';
    std::printf(
        "%ld\t%s\t%s\t%s\t%.5f\t%.5f\t%s\t%s\t%s\t\t%02zu\t%s\t\t\t%zu\t%s\t%zu\t%s\t20%02zu-%02zu-"
        "%02zu\n",
        id, name.c_str(), ascii.c_str(), alternates.c_str(), Uniform() * 140 - 60,
        Uniform() * 360 - 180, c.feature_class, c.code, OneOf(kCountries), Pick(40),
        Pick(3) == 0 ? "" : "123", populated ? Pick(100000) : 0, Pick(5) == 0 ? "350" : "",
        Pick(3000), OneOf(kZones), Pick(20) + 5, Pick(12) + 1, Pick(28) + 1);
    id += 1 + static_cast<long>(Pick(2));
  }
}

void Gns(long lines) {
  std::printf(
      "RC\tUFI\tUNI\tLAT\tLONG\tDMS_LAT\tDMS_LONG\tMGRS\tJOG\tFC\tDSG\tPC\tCC1\tADM1\tPOP\tELEV\t"
      "CC2\tNT\tLC\tSHORT_FORM\tGENERIC\tSORT_NAME_RO\tFULL_NAME_RO\tFULL_NAME_ND_RO\tSORT_NAME_"
      "RG\tFULL_NAME_RG\tFULL_NAME_ND_RG\tNOTE\tMODIFY_DATE\n");
  std::string name, ascii, sort;
  for (long i = 0; i < lines; ++i) {
    MakeName(name, ascii);
    sort = ascii;
    for (char& ch : sort) ch = (ch >= 'a' && ch <= 'z') ? static_cast<char>(ch - 32) : ch;
    const Code& c = Weighted(kGnsCodes);
    const double lat = Uniform() * 10 + 45, lon = Uniform() * 10 + 15;
    const bool no_nd = Pick(10) == 0;  // the walk goes on to field 23
    std::printf(
        "%d\t%ld\t%ld\t%.6f\t%.6f\t%02d%02d00\t%03d%02d00\t34UCV%05zu%05zu\tNM34-%02zu\t%s\t%s\t\t"
        "LO\t%02zu\t\t\t\t%c\t\t\t\t%s\t%s\t%s\t%s\t%s\t%s\t\t%d-%02zu-%02zu\n",
        Pick(3) == 0 ? 1 : 2, -846576 - i, -1261087 - i, lat, lon, static_cast<int>(lat),
        static_cast<int>((lat - std::floor(lat)) * 60), static_cast<int>(lon),
        static_cast<int>((lon - std::floor(lon)) * 60), Pick(100000), Pick(100000), Pick(12),
        c.feature_class, c.code, Pick(9), Pick(4) == 0 ? 'V' : 'N', sort.c_str(), name.c_str(),
        no_nd ? "" : ascii.c_str(), sort.c_str(), name.c_str(), ascii.c_str(),
        1993 + static_cast<int>(Pick(20)), Pick(12) + 1, Pick(28) + 1);
  }
}

void GnsOld(long lines) {
  std::printf(
      "RC\tUFI\tUNI\tLAT\tLONG\tDMS_LAT\tDMS_LONG\tUTM\tJOG\tMGRS\tFC\tDSG\tPC\tCC1\tADM1\tADM2\t"
      "DIM\tCC2\tNT\tLC\tSHORT_FORM\tGENERIC\tSORT_NAME\tFULL_NAME\tFULL_NAME_ND\n");
  std::string name, ascii, sort;
  for (long i = 0; i < lines; ++i) {
    MakeName(name, ascii);
    sort = ascii;
    for (char& ch : sort) ch = (ch >= 'a' && ch <= 'z') ? static_cast<char>(ch - 32) : ch;
    const Code& c = Weighted(kGnsCodes);
    std::printf(
        "1\t%ld\t%ld\t%.6f\t%.6f\t\t\t\tNM34-07\t\t%s\t%s\t\tEI\t%02zu\t\t\t\tN\t\t\t\t%s\t%s\t%"
        "s\n",
        -1501150 - i, -1503150 - i, Uniform() * 4 + 51.5, -(Uniform() * 4 + 6), c.feature_class,
        c.code, Pick(30), sort.c_str(),
        ascii.c_str(),  // Windows-1252 text: the ASCII form stands for it
        Pick(10) == 0 ? "" : ascii.c_str());
  }
}

void Os(long lines) {
  const char* const codes[] = {"T", "H", "W", "O", "FM", "F", "X", "A", "R", "C"};
  std::string name, ascii;
  for (long i = 0; i < lines; ++i) {
    MakeName(name, ascii);
    const double lat = Uniform() * 8 + 50, lon = Uniform() * 7 - 5.5;
    const double alat = std::fabs(lat), alon = std::fabs(lon);
    std::printf(
        "%ld:NY%04zu:%s:NY:%d:%.1f:%d:%.1f:%zu:%zu:%c:CU:Cumbria:Cumbria:%s:01-MAR-1993:I:%zu::"
        "\r\n",
        i + 1, Pick(10000), ascii.c_str(), static_cast<int>(alat), (alat - std::floor(alat)) * 60,
        static_cast<int>(alon), (alon - std::floor(alon)) * 60, Pick(1000), Pick(700),
        lon < 0 ? 'W' : 'E', OneOf(codes), Pick(204) + 1);
  }
}

void Wpt(long lines) {
  std::printf(
      "Carthovista Waypoint File Version 1.1\r\nEuropean 1950\r\nReserved 2\r\nReserved 3\r\n");
  std::string name, ascii, description, d_ascii;
  for (long i = 0; i < lines; ++i) {
    MakeName(name, ascii);
    MakeName(description, d_ascii);
    std::printf("%ld,%s,%.6f,%.6f,36000.00000,0,1,3,0,65535,%s,0,0,0,%zu,6,0,17\r\n", i + 1,
                ascii.c_str(), Uniform() * 20 + 36, Uniform() * 30 - 5,
                Pick(3) == 0 ? "" : d_ascii.c_str(), Pick(3000));
  }
}

void Tpx(long lines, const char* grid) {
  std::string name, ascii;
  if (std::strcmp(grid, "utm") == 0) {
    std::printf("; generated\r\n#1,UTM,56,S\r\n#2,WGS 84\r\n");
  } else if (std::strcmp(grid, "nzmg") == 0) {
    std::printf("; generated\r\n#1,NZG\r\n#2,Geodetic Datum 1949\r\n");
  } else {
    std::printf("; generated\r\n#2,European 1950\r\n");
  }
  for (long i = 0; i < lines; ++i) {
    MakeName(name, ascii);
    if (std::strcmp(grid, "utm") == 0) {
      std::printf("%s,trig,%s,%.1f,%.1f\r\n", ascii.c_str(), Pick(10) == 0 ? "55H" : "",
                  300000 + Uniform() * 400000, 6100000 + Uniform() * 300000);
    } else if (std::strcmp(grid, "nzmg") == 0) {
      std::printf("%s,trig,,%.1f,%.1f\r\n", ascii.c_str(), 5900000 + Uniform() * 300000,
                  2600000 + Uniform() * 200000);
    } else {
      const double lat = Uniform() * 20 + 36, lon = Uniform() * 30 - 5;
      const double alon = std::fabs(lon);
      std::printf("%s,summit,,%d %d %.1f,%s%d %d %.1f\r\n", ascii.c_str(), static_cast<int>(lat),
                  static_cast<int>((lat - std::floor(lat)) * 60), Uniform() * 60,
                  lon < 0 ? "-" : "", static_cast<int>(alon),
                  static_cast<int>((alon - std::floor(alon)) * 60), Uniform() * 60);
    }
  }
}

const char* const kUsaClasses[] = {"Stream",   "Populated Place", "Church", "Summit",
                                   "School",   "Locale",          "Lake",   "Valley",
                                   "Cemetery", "Building"};

void Domestic(long lines) {
  std::printf(
      "\xEF\xBB\xBF"
      "feature_id|feature_name|feature_class|state_name|state_numeric|county_name|county_numeric|"
      "map_name|date_created|date_edited|bgn_type|bgn_authority|bgn_date|prim_lat_dms|"
      "prim_long_dms|prim_lat_dec|prim_long_dec|source_lat_dms|source_long_dms|source_lat_dec|"
      "source_long_dec\r\n");
  std::string name, ascii;
  for (long i = 0; i < lines; ++i) {
    MakeName(name, ascii);
    const double lat = Uniform() * 25 + 24, lon = -(Uniform() * 57 + 67);
    std::printf(
        "%ld|%s|%s|Virginia|51|Bath|017|Warm Springs|09/12/1979|||||%02d%02d%02dN|%03d%02d%02dW|"
        "%.7f|%.7f|||||\r\n",
        1000000 + i, name.c_str(), OneOf(kUsaClasses), static_cast<int>(lat),
        static_cast<int>(Pick(60)), static_cast<int>(Pick(60)), static_cast<int>(-lon),
        static_cast<int>(Pick(60)), static_cast<int>(Pick(60)), lat, lon);
  }
}

void GazCsv(long lines) {
  std::printf(
      "Gaz ID,Feature Name,Class,County,State,Map,Elevation,Latitude,Longitude,Bgn Decision "
      "Date,Entry Date,Census Code,Census Classification Code,GSA Code,OPM Code,County FIPS "
      "Code,State FIPS Code\r\n");
  std::string name, ascii;
  for (long i = 0; i < lines; ++i) {
    MakeName(name, ascii);
    const bool quoted = Pick(10) == 0;
    std::printf(
        "%ld,%s%s%s%s,%s,Hawaii County,Hawaii,Mauna Loa,%zu,%.7f,%.7f,None,2/6/1981,null,"
        "null,null,null,15001,15\r\n",
        365000 + i, quoted ? "\"" : "", name.c_str(), quoted ? ", The" : "", quoted ? "\"" : "",
        OneOf(kUsaClasses), Pick(4000), Uniform() * 3 + 19, -(Uniform() * 5 + 155));
  }
}

void OsNames(long lines) {
  const char* const types[][2] = {{"populatedPlace", "Town"},
                                  {"populatedPlace", "Village"},
                                  {"hydrography", "River"},
                                  {"landform", "Hill Or Mountain"},
                                  {"landcover", "Woodland Or Forest"},
                                  {"other", "Hospital"},
                                  {"transportNetwork", "Named Road"}};
  std::string name, ascii, welsh, welsh_ascii;
  for (long i = 0; i < lines; ++i) {
    MakeName(name, ascii);
    const bool two = Pick(6) == 0;
    if (two) MakeName(welsh, welsh_ascii);
    const auto& t = types[Pick(7)];
    const long e = 100000 + static_cast<long>(Pick(500000)),
               n = 50000 + static_cast<long>(Pick(900000));
    std::printf(
        "osgb%ld,http://data.ordnancesurvey.co.uk/id/%ld,%s,eng,%s,%s,%s,%s,%ld,%ld,1000,25000,"
        "%ld,%ld,%ld,%ld,SY23,http://data.ordnancesurvey.co.uk/id/postcodedistrict/SY23,,,,"
        "Ceredigion,http://data.ordnancesurvey.co.uk/id/7000000000025498,UnitaryAuthority,,,,"
        "Wales,http://data.ordnancesurvey.co.uk/id/7000000000041425,Wales,"
        "http://www.geonames.org/6269131/,,,\r\n",
        4000000000000 + i, 4000000000000 + i, ascii.c_str(), two ? welsh_ascii.c_str() : "",
        two ? "cym" : "", t[0], t[1], e, n, e - 200, n - 200, e + 200, n + 200);
  }
}

void Gpx(long lines) {
  std::printf(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gpx version=\"1.1\" creator=\"bench\" "
      "xmlns=\"http://www.topografix.com/GPX/1/1\">\n");
  std::string name, ascii;
  for (long i = 0; i < lines; ++i) {
    MakeName(name, ascii);
    const char* tag = Pick(2) ? "sym" : "type";
    std::printf(
        "  <wpt lat=\"%.6f\" lon=\"%.6f\">\n    <ele>%zu.0</ele>\n    <name>%s</name>\n"
        "    <%s>%s</%s>\n  </wpt>\n",
        Uniform() * 20 + 36, Uniform() * 30 - 5, Pick(3000), name.c_str(), tag,
        Pick(2) ? "Summit" : "Flag, Blue", tag);
  }
  std::printf("</gpx>\n");
}

const char* const kKmlFolders[] = {"Huts",   "Summits",    "Lakes",
                                   "Passes", "Camp sites", "Viewpoints"};

// A shape of n points around (lon, lat), as KML ("lon,lat,0 ...") or as
// GeoJSON ("[ lon, lat ], ..."): a path, or a closed ring.
void PrintShape(bool json, double lon, double lat, int n, bool closed) {
  for (int k = 0; k < n; ++k) {
    const int at = closed && k == n - 1 ? 0 : k;
    const double a = at * 6.283185307 / (closed ? n - 1 : n);
    const double x = lon + 0.01 * std::cos(a) + (closed ? 0 : 0.002 * k);
    const double y = lat + 0.01 * std::sin(a);
    if (json) {
      std::printf("%s[ %.7f, %.7f ]", k > 0 ? ", " : "", x, y);
    } else {
      std::printf("%s%.7f,%.7f,0", k > 0 ? " " : "", x, y);
    }
  }
}

void Kml(long lines) {
  std::printf(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<kml xmlns=\"http://www.opengis.net/kml/2.2\" "
      "xmlns:gx=\"http://www.google.com/kml/ext/2.2\">\n<Document>\n\t<name>bench.kml</name>\n"
      "\t<Style id=\"s\"><IconStyle><scale>1.1</scale><Icon><href>http://maps.google.com/"
      "mapfiles/kml/pushpin/ylw-pushpin.png</href></Icon></IconStyle></Style>\n");
  std::string name, ascii;
  for (long i = 0; i < lines; ++i) {
    if (i % 1000 == 0) {
      if (i > 0) std::printf("\t</Folder>\n");
      std::printf("\t<Folder>\n\t\t<name>%s</name>\n\t\t<open>1</open>\n", OneOf(kKmlFolders));
    }
    MakeName(name, ascii);
    const double lat = Uniform() * 140 - 60, lon = Uniform() * 340 - 170;
    std::printf(
        "\t\t<Placemark>\n\t\t\t<name>%s</name>\n\t\t\t<description><![CDATA[Seen %zu times"
        "]]></description>\n\t\t\t<styleUrl>#s</styleUrl>\n",
        name.c_str(), Pick(100));
    const size_t kind = Pick(20);
    if (kind == 0) {
      std::printf(
          "\t\t\t<LineString>\n\t\t\t\t<tessellate>1</tessellate>\n\t\t\t\t<coordinates>\n"
          "\t\t\t\t\t");
      PrintShape(false, lon, lat, 8, false);
      std::printf("\n\t\t\t\t</coordinates>\n\t\t\t</LineString>\n");
    } else if (kind == 1) {
      std::printf(
          "\t\t\t<Polygon>\n\t\t\t\t<outerBoundaryIs>\n\t\t\t\t\t<LinearRing>\n"
          "\t\t\t\t\t\t<coordinates>\n\t\t\t\t\t\t\t");
      PrintShape(false, lon, lat, 9, true);
      std::printf(
          "\n\t\t\t\t\t\t</coordinates>\n\t\t\t\t\t</LinearRing>\n"
          "\t\t\t\t</outerBoundaryIs>\n\t\t\t</Polygon>\n");
    } else {
      std::printf("\t\t\t<Point>\n\t\t\t\t<coordinates>%.7f,%.7f,0</coordinates>\n\t\t\t</Point>\n",
                  lon, lat);
    }
    std::printf("\t\t</Placemark>\n");
  }
  if (lines > 0) std::printf("\t</Folder>\n");
  std::printf("</Document>\n</kml>\n");
}

const char* const kFclasses[] = {"peak",  "village", "hamlet", "town", "locality",
                                 "water", "island",  "farm",   "hut",  "viewpoint"};

void GeoJsonFeature(long id) {
  std::string name, ascii;
  MakeName(name, ascii);
  const double lat = Uniform() * 140 - 60, lon = Uniform() * 340 - 170;
  std::printf(
      "{ \"type\": \"Feature\", \"properties\": { \"osm_id\": \"%ld\", \"code\": %zu, "
      "\"fclass\": \"%s\", \"name\": \"%s\", \"population\": %zu }, \"geometry\": ",
      id, 1000 + Pick(9000), OneOf(kFclasses), name.c_str(), Pick(50000));
  const size_t kind = Pick(20);
  if (kind == 0) {
    std::printf("{ \"type\": \"LineString\", \"coordinates\": [ ");
    PrintShape(true, lon, lat, 8, false);
  } else if (kind == 1) {
    std::printf("{ \"type\": \"Polygon\", \"coordinates\": [ [ ");
    PrintShape(true, lon, lat, 9, true);
    std::printf(" ]");
  } else {
    std::printf("{ \"type\": \"Point\", \"coordinates\": [ %.7f, %.7f", lon, lat);
  }
  std::printf(" ] } }");
}

void GeoJson(long lines, bool sequence) {
  if (!sequence) {
    std::printf(
        "{\n\"type\": \"FeatureCollection\",\n\"name\": \"places\",\n\"crs\": { \"type\": "
        "\"name\", \"properties\": { \"name\": \"urn:ogc:def:crs:OGC:1.3:CRS84\" } },\n"
        "\"features\": [\n");
  }
  for (long i = 0; i < lines; ++i) {
    GeoJsonFeature(10000000 + i);
    std::printf(sequence ? "\n" : i + 1 < lines ? ",\n" : "\n");
  }
  if (!sequence) std::printf("]\n}\n");
}

const char* const kNzTypes[] = {"Locality", "Stream", "Hill",   "Lake", "Bay",
                                "Point",    "Island", "Bridge", "Peak", "Town"};

void Table(long lines) {
  std::printf(
      "name_id,name,status,feat_id,feat_type,nzgb_ref,land_district,crd_projection,crd_north,"
      "crd_east,crd_datum,crd_latitude,crd_longitude,info_ref,info_origin,info_description,"
      "info_note,feat_note,maori_name,cpa_legislation,conservancy,doc_cons_unit_no,doc_gaz_ref,"
      "treaty_legislation,geom_type,accuracy,gebco,region,scufn,height,ant_pn_ref,ant_pgaz_ref,"
      "scar_id,scar_rec_by,accuracy_rating,desc_code,rev_gaz_ref,rev_treaty_legislation\n");
  std::string name, ascii;
  for (long i = 0; i < lines; ++i) {
    MakeName(name, ascii);
    const bool quoted = Pick(10) == 0;
    std::printf(
        "%ld,%s%s%s,Official Approved,%ld,%s,NZGB Gaz 1998 p 3%03zu,%s,NZTM2000,%.0f,%.0f,"
        "NZGD2000,%.7f,%.7f,,Survey,,,,%s,,%s,,,,POINT,,,,,,,,,,,,,\n",
        1000 + i, quoted ? "\"" : "", name.c_str(), quoted ? ", The\"" : "", 5000 + i,
        OneOf(kNzTypes), Pick(1000), Pick(3) == 0 ? "\"Nelson, North\"" : "Canterbury",
        4700000 + Uniform() * 1500000, 1100000 + Uniform() * 1000000, -(Uniform() * 13 + 34),
        Uniform() * 12 + 166, Pick(4) == 0 ? "Y" : "N", Pick(2) ? "Canterbury" : "Otago");
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr,
                 "usage: gen_gazetteer geonames|gns|gns-old|os|wpt|tpx|tpx-utm|tpx-nzmg|domestic|"
                 "gaz-csv|osnames|gpx|kml|geojson|geojsonl|table LINES\n");
    return 2;
  }
  const std::string format = argv[1];
  const long lines = std::atol(argv[2]);
  static char buffer[1 << 20];
  std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
  if (format == "geonames") {
    GeoNames(lines);
  } else if (format == "gns") {
    Gns(lines);
  } else if (format == "gns-old") {
    GnsOld(lines);
  } else if (format == "os") {
    Os(lines);
  } else if (format == "wpt") {
    Wpt(lines);
  } else if (format == "tpx") {
    Tpx(lines, "ll");
  } else if (format == "tpx-utm") {
    Tpx(lines, "utm");
  } else if (format == "tpx-nzmg") {
    Tpx(lines, "nzmg");
  } else if (format == "domestic") {
    Domestic(lines);
  } else if (format == "gaz-csv") {
    GazCsv(lines);
  } else if (format == "osnames") {
    OsNames(lines);
  } else if (format == "gpx") {
    Gpx(lines);
  } else if (format == "kml") {
    Kml(lines);
  } else if (format == "geojson" || format == "geojsonl") {
    GeoJson(lines, format == "geojsonl");
  } else if (format == "table") {
    Table(lines);
  } else {
    std::fprintf(stderr, "unknown format %s\n", format.c_str());
    return 2;
  }
  return 0;
}
