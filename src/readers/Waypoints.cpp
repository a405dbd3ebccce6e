// Carthovista waypoint files: after four header lines (read by the format
// dispatch, which also took the file's datum from line 2), one waypoint a
// line, comma-separated, in decimal degrees on the file's datum.
#include <cmath>
#include <string>
#include <string_view>

#include "geodesy/Datum.h"
#include "pipeline/BuildContext.h"
#include "readers/Fields.h"
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

}  // namespace

void ReadWaypoints(pipeline::BuildContext& ctx) {
  if (!ctx.full_codes.Contains(kWaypoint)) ctx.full_codes.Add(kWaypoint);
  const int32_t from = geo::DefaultDatumTable().DatumIndex(ctx.waypoint_datum);
  const int32_t to = geo::DefaultDatumTable().DatumIndex("WGS 84");

  std::string& name = ctx.scratch[0];
  std::string& part = ctx.scratch[1];
  std::string& lat_text = ctx.scratch[2];
  std::string& lon_text = ctx.scratch[3];
  FieldCuts<kDescriptionField> f;

  while (!ctx.input.Eof()) {
    ctx.input.ReadLine(ctx.line);
    f.Cut(ctx.line, ',');
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

    const auto [lat, lon] = geo::ConvertDatum(geo::DefaultDatumTable(), from, to,
                                              Decimal(lat_field), Decimal(lon_field));
    // A number text such as "nan" or "inf" gives no place on the map.
    if (!std::isfinite(lat) || !std::isfinite(lon)) continue;
    FormatFiveDecimalsPadded(lat, lat_text);
    FormatFiveDecimalsPadded(lon, lon_text);
    ctx.AppendPlace(name, kWaypoint, {}, lat_text, lon_text);
  }
  ctx.waypoint_header = false;
}

}  // namespace toponyx::readers
