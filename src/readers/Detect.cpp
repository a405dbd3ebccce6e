#include "readers/Detect.h"

#include "geodesy/Datum.h"
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
  } else if (LooksLikeGeoNames(line)) {
    d.format = Format::kGeoNames;  // line 1 stays consumed; the reader takes it first
  } else if (IsCurrentGnsHeader(line)) {
    d.format = Format::kWorldGns;  // line 1, the header, stays consumed
    d.gns_layout = GnsLayout::kCurrent;
  } else if (!text::Contains(line, "LAT") && !text::Contains(line, "LONG")) {
    d.format = Format::kUsaGnisText;
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

}  // namespace

Detection DetectFormat(text::TextFile& file, std::string& line, std::string_view name,
                       const geo::DatumTable& datums) {
  line.assign(name);
  const std::string x = LowerExtension(name);
  if (x == ".txt") return DetectTextFile(file, line, name);
  if (x == ".wpt") return DetectWaypointFile(file, line, datums);
  Detection d;
  if (x.empty() || x == ".usa") d.format = Format::kUsaGnisPlain;
  if (x == ".tpx") d.format = Format::kToponyxText;
  return d;
}

}  // namespace toponyx::readers
