#include "readers/Detect.h"

#include "geodesy/Datum.h"
#include "readers/Fields.h"
#include "text/Text.h"

namespace toponyx::readers {

std::string_view FileExtension(std::string_view name) {
  size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return {};
  std::string_view ext = name.substr(dot);
  if (ext.find_first_of("\\/:") != std::string_view::npos) return {};
  return ext;
}

std::string LowerExtension(std::string_view name) {
  std::string ext(FileExtension(name));
  for (char& c : ext) c = text::ToLowerAscii(c);
  return ext;
}

namespace {

// GeoNames files begin with a numeric identifier of six or seven digits:
// the first tab is the 7th or 8th character and the first field is digits.
bool LooksLikeGeoNames(std::string_view line) {
  size_t tab = line.find('\t');
  if (tab != 6 && tab != 7) return false;
  for (char c : text::GetField(line, 1, "", '\t')) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// The header of the current GNS downloads names its columns in lower case
// ("rk", "ufi", ..., "lat_dd", "long_dd", ..., "desig_cd", ...): it holds
// neither "LAT" nor "LONG", which would send the file to the USA reader.
bool IsCurrentGnsHeader(std::string_view line) {
  bool lat = false, lon = false, code = false;
  size_t start = 0;
  for (;;) {
    size_t tab = line.find('\t', start);
    std::string_view column =
        line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start);
    lat = lat || column == "lat_dd";
    lon = lon || column == "long_dd";
    code = code || column == "desig_cd";
    if (tab == std::string_view::npos) break;
    start = tab + 1;
  }
  return lat && lon && code;
}

// The columns of a header line whose column names (letter case ignored,
// blanks and quotes around them removed) include the four a USA GNIS reader
// needs; false when one is missing.
bool FindUsaColumns(std::string_view header, UsaColumns& c, std::string_view name,
                    std::string_view feature_class, std::string_view latitude,
                    std::string_view longitude) {
  FieldCuts<64> columns;
  std::string unquoted;
  columns.CutQuoted(header, c.separator, unquoted);
  for (int n = 1; n <= 64; ++n) {
    const std::string_view column = columns.Get(n, "");
    if (text::EqualsIgnoreCase(column, name) && c.name == 0) c.name = n;
    if (text::EqualsIgnoreCase(column, feature_class) && c.feature_class == 0) c.feature_class = n;
    if (text::EqualsIgnoreCase(column, latitude) && c.latitude == 0) c.latitude = n;
    if (text::EqualsIgnoreCase(column, longitude) && c.longitude == 0) c.longitude = n;
  }
  return c.name != 0 && c.feature_class != 0 && c.latitude != 0 && c.longitude != 0;
}

// The USA GNIS "DomesticNames" files of today: "|"-separated with a header
// of lower-case column names (feature_id|feature_name|feature_class|...).
bool IsDomesticNamesHeader(std::string_view line, UsaColumns& c) {
  c = UsaColumns{};
  c.separator = '|';
  return line.find('|') != std::string_view::npos &&
         FindUsaColumns(line, c, "feature_name", "feature_class", "prim_lat_dec", "prim_long_dec");
}

// The tests of a ".txt" file; the first that holds decides.
Detection DetectTextFile(text::TextFile& file, std::string& line, std::string_view name) {
  Detection d;
  if (text::ContainsUpperCased(name, "50KGAZ")) {
    d.format = Format::kOsGazetteer;
    return d;
  }
  file.ReadTextLine(line);
  if (text::ContainsUpperCased(line, "FEATURE_ID|FEATURE_NAME|FEATURE_CLASS|STATE_ALPHA|")) {
    d.format = Format::kUsaGnisText;
    file.Rewind();
  } else if (IsDomesticNamesHeader(line, d.usa_columns)) {
    d.format = Format::kUsaGnisColumns;  // line 1, the header, stays consumed
  } else if (LooksLikeGeoNames(line)) {
    d.format = Format::kGeoNames;  // line 1 stays consumed; the reader takes it first
  } else if (IsCurrentGnsHeader(line)) {
    d.format = Format::kWorldGns;  // line 1, the header, stays consumed
    d.gns_layout = GnsLayout::kCurrent;
  } else if (!text::Contains(line, "LAT") && !text::Contains(line, "LONG")) {
    d.format = Format::kUsaGnisText;
    d.usa_by_default = true;
    file.Rewind();
  } else {
    d.format = Format::kWorldGns;  // line 1 (the header) stays consumed
    d.gns_layout = text::Contains(line, "DATE") ? GnsLayout::kNewer : GnsLayout::kOlder;
  }
  return d;
}

// A waypoint file begins with its marker line, then the datum name; lines
// 3 and 4 are passed over.
Detection DetectWaypointFile(text::TextFile& file, std::string& line,
                             const geo::DatumTable& datums) {
  Detection d;
  file.ReadLine(line);
  if (!text::Contains(line, "Carthovista Waypoint File")) return d;
  d.format = Format::kWaypoints;
  file.ReadLine(line);
  if (datums.DatumKnown(line)) {
    d.waypoint_datum = std::string(text::TrimBlanks(line));
  } else {
    d.waypoint_datum = "WGS 84";
    d.waypoint_datum_unknown = true;
  }
  file.ReadLine(line);
  file.ReadLine(line);
  return d;
}

// The comma-separated downloads: the USA GNIS gazetteer ("Gaz ID,Feature
// Name,Class,...") and OS Open Names (no header; 34 fields, the second the
// address of the place's entry), whose header comes as a file of its own.
Detection DetectCsvFile(text::TextFile& file, std::string& line) {
  Detection d;
  file.ReadTextLine(line);
  UsaColumns& c = d.usa_columns;
  c.separator = ',';
  c.quoted = true;
  FieldCuts<36> fields;
  std::string unquoted;
  fields.CutQuoted(line, ',', unquoted);
  if (text::EqualsIgnoreCase(fields.Get(1, ""), "Gaz ID") &&
      FindUsaColumns(line, c, "Feature Name", "Class", "Latitude", "Longitude")) {
    d.format = Format::kUsaGnisColumns;  // line 1, the header, stays consumed
  } else if (fields.Count() == 34 &&
             fields.Get(2, "").starts_with("http://data.ordnancesurvey.co.uk/id/")) {
    d.format = Format::kOsOpenNames;  // line 1 stays consumed; the reader takes it first
  } else if (fields.Count() == 34 && fields.Get(1, "") == "ID" &&
             fields.Get(2, "") == "NAMES_URI" && fields.Get(3, "") == "NAME1") {
    d.format = Format::kOsOpenNamesHeader;
  }
  return d;
}

}  // namespace

Detection DetectFormat(text::TextFile& file, std::string& line, std::string_view name,
                       const geo::DatumTable& datums) {
  line.assign(name);
  const std::string x = LowerExtension(name);
  if (x == ".txt") return DetectTextFile(file, line, name);
  if (x == ".wpt") return DetectWaypointFile(file, line, datums);
  if (x == ".csv") return DetectCsvFile(file, line);
  Detection d;
  if (x == ".gpx") d.format = Format::kGpx;
  if (x.empty() || x == ".usa") d.format = Format::kUsaGnisPlain;
  if (x == ".tpx") d.format = Format::kToponyxText;
  return d;
}

}  // namespace toponyx::readers
