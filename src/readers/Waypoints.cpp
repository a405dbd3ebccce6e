// Carthovista waypoint files: after four header lines (read by the format
// dispatch, which also took the file's datum from line 2), one waypoint a
// line, comma-separated, in decimal degrees on the file's datum.
#include <cmath>
#include <string>
#include <string_view>

#include "geodesy/Datum.h"
#include "readers/Encoding.h"
#include "readers/Fields.h"
#include "readers/Formats.h"
#include "readers/PlaceRecord.h"
#include "readers/Readers.h"
#include "text/Text.h"

namespace toponyx::readers {
namespace {

constexpr int kNameField = 2;
constexpr int kLatitudeField = 3;
constexpr int kLongitudeField = 4;
constexpr int kDescriptionField = 11;

constexpr std::string_view kWaypoint = "Waypoint";

void ReadWaypoints(ReaderInput& in, ReaderRun& run) {
  if (!run.full_codes.Contains(kWaypoint)) run.full_codes.Add(kWaypoint);
  const int32_t from = run.datums.DatumIndex(in.found.datum);
  const int32_t to = run.datums.DatumIndex("WGS 84");

  std::string name, part, lat_text, lon_text, decoded;
  FieldCuts<kDescriptionField> f;

  while (!in.file.Eof()) {
    in.file.ReadLine(in.line);
    LineAsAnsi(in.file, in.line, decoded);
    f.Cut(in.line, ',');
    const std::string_view lat_field = f.Get(kLatitudeField, "");
    const std::string_view lon_field = f.Get(kLongitudeField, "");
    if (text::IsEmptyText(lat_field) && text::IsEmptyText(lon_field)) continue;
    const std::string_view n = text::TrimBlanks(f.Get(kNameField, ""));
    const std::string_view d = text::TrimBlanks(f.Get(kDescriptionField, ""));
    if (n.empty() && d.empty()) continue;

    // A description joins the name, both proper-cased; a name alone stays
    // as written.
    if (d.empty()) {
      name.assign(n);
    } else {
      text::ProperCase(n, name);
      name += " - ";
      text::ProperCase(d, part);
      name += part;
    }

    const auto [lat, lon] =
        geo::ConvertDatum(run.datums, from, to, Decimal(lat_field), Decimal(lon_field));
    // A number text such as "nan" or "inf" gives no place on the map.
    if (!std::isfinite(lat) || !std::isfinite(lon)) continue;
    FormatFiveDecimalsPadded(lat, lat_text);
    FormatFiveDecimalsPadded(lon, lon_text);
    run.places.Add(Place{.name = name,
                         .full_code = kWaypoint,
                         .latitude = lat,
                         .longitude = lon,
                         .latitude_text = lat_text,
                         .longitude_text = lon_text});
  }
}

// A waypoint file begins with its marker line, then the datum name (a
// name the datum table lacks gives WGS 84 and the warning at the end of the
// run); lines 3 and 4 are passed over. Lines are read by the standard rule.
Claim RecogniseWaypoints(Probe& probe, Detection& found) {
  text::TextFile& file = probe.file();
  std::string& line = probe.line();
  file.ReadLine(line);
  if (!text::Contains(line, "Carthovista Waypoint File")) return Claim::kNo;
  file.ReadLine(line);
  if (probe.datums().DatumKnown(line)) {
    found.datum = std::string(text::TrimBlanks(line));
  } else {
    found.datum = "WGS 84";
    found.datum_unknown = true;
  }
  file.ReadLine(line);
  file.ReadLine(line);
  return Claim::kYes;
}

}  // namespace

const FormatRow kWaypointsFormat{
    .name = "Carthovista waypoint files",
    .extensions = ".wpt",
    .recognise = RecogniseWaypoints,
    .reader = ReadWaypoints,
    .dialog_filter = "Carthovista Waypoint Files",
    .help_anchor = "formats.html#waypoints",
    .summary = "Carthovista waypoint files (.wpt)",
};

}  // namespace toponyx::readers
