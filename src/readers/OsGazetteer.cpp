// The Ordnance Survey 1:50 000 gazetteer: colon-separated lines with the
// position in degrees and decimal minutes on the Ordnance Survey Great
// Britain datum and a one- or two-letter feature code.
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

constexpr int kNameField = 3;
constexpr int kLatDegreesField = 5;
constexpr int kLatMinutesField = 6;
constexpr int kLonDegreesField = 7;
constexpr int kLonMinutesField = 8;
constexpr int kLonSideField = 11;
constexpr int kFeatureCodeField = 15;

// What a code outside the table gives.

// The feature type of a gazetteer code (compared exactly).
std::string_view FeatureType(std::string_view code) {
  if (code.size() == 2) return code == "FM" ? "Farm" : kNotIdentified;
  if (code.size() != 1) return kNotIdentified;
  switch (code[0]) {
    case 'A':
      return "Antiquity (non-Roman)";
    case 'F':
      return "Forest or Wood";
    case 'H':
      return "Hill or Mountain";
    case 'R':
      return "Antiquity (Roman)";
    case 'C':
      return "City";
    case 'T':
      return "Town";
    case 'O':
      return "Other";
    case 'W':
      return "Water Feature";
    case 'X':
      return "All other features";
    default:
      return kNotIdentified;
  }
}

}  // namespace

void ReadOsGazetteer(pipeline::BuildContext& ctx) {
  std::string& lat_text = ctx.scratch[0];
  std::string& lon_text = ctx.scratch[1];
  FieldCuts<kFeatureCodeField> f;
  // The code texts already noted in the full-code list during this file.
  std::string_view noted[12];
  int noted_count = 0;

  while (!ctx.input.Eof()) {
    ctx.input.ReadTextLine(ctx.line);
    f.Cut(ctx.line, ':');
    const std::string_view name = f.Get(kNameField, "");
    if (text::IsEmptyText(name)) continue;

    const double os_lat = f.Int(kLatDegreesField, 0) + f.Float(kLatMinutesField, 0) / 60;
    double os_lon = f.Int(kLonDegreesField, 0) + f.Float(kLonMinutesField, 0) / 60;
    if (f.Get(kLonSideField, "W") == "W") os_lon = -os_lon;
    const auto [lat, lon] = geo::ConvertDatum(geo::DefaultDatumTable(), geo::kOrdnanceSurveyDatum,
                                              geo::kWgs84Datum, os_lat, os_lon);

    const std::string_view type = FeatureType(f.Get(kFeatureCodeField, ""));
    bool seen = false;
    for (int i = 0; i < noted_count && !seen; ++i) seen = noted[i].data() == type.data();
    if (!seen) {
      if (!ctx.full_codes.Contains(type)) ctx.full_codes.Add(text::TrimBlanks(type));
      if (noted_count < 12) noted[noted_count++] = type;
    }

    FormatEightDecimalsLocal(lat, lat_text);
    FormatEightDecimalsLocal(lon, lon_text);
    ctx.AppendPlace(name, type, {}, lat_text, lon_text);
  }
}

}  // namespace toponyx::readers
