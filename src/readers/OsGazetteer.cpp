// The Ordnance Survey 1:50 000 gazetteer: colon-separated lines with the
// position in degrees and decimal minutes on the Ordnance Survey Great
// Britain datum and a one- or two-letter feature code.
#include <string>
#include <string_view>

#include "geodesy/Datum.h"
#include "readers/Encoding.h"
#include "readers/Fields.h"
#include "readers/Formats.h"
#include "readers/FullCodeCache.h"
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

void ReadOsGazetteer(ReaderInput& in, ReaderRun& run) {
  std::string lat_text, lon_text, decoded;
  FieldCuts<kFeatureCodeField> f;
  FullCodeCache codes;
  auto type_of = [&run](std::string_view code, std::string& type) {
    type = FeatureType(code);
    if (!run.full_codes.Contains(type)) run.full_codes.Add(text::TrimBlanks(type));
  };

  while (!in.file.Eof()) {
    in.file.ReadTextLine(in.line);
    LineAsAnsi(in.file, in.line, decoded);
    f.Cut(in.line, ':');
    const std::string_view name = f.Get(kNameField, "");
    if (text::IsEmptyText(name)) continue;

    const double os_lat = f.Int(kLatDegreesField, 0) + f.Float(kLatMinutesField, 0) / 60;
    double os_lon = f.Int(kLonDegreesField, 0) + f.Float(kLonMinutesField, 0) / 60;
    if (f.Get(kLonSideField, "W") == "W") os_lon = -os_lon;
    const auto [lat, lon] =
        geo::ConvertDatum(run.datums, geo::kOrdnanceSurveyDatum, geo::kWgs84Datum, os_lat, os_lon);

    const std::string_view type = codes.Get(f.Get(kFeatureCodeField, ""), type_of);
    FormatEightDecimalsLocal(lat, lat_text);
    FormatEightDecimalsLocal(lon, lon_text);
    run.places.Add(Place{.name = name,
                         .full_code = type,
                         .latitude = lat,
                         .longitude = lon,
                         .latitude_text = lat_text,
                         .longitude_text = lon_text});
  }
}

// Known by its name ("50KGAZ" in it, letter case ignored): nothing is read.
Claim RecogniseOsGazetteer(Probe& probe, Detection&) {
  return text::ContainsUpperCased(probe.name(), "50KGAZ") ? Claim::kYes : Claim::kNo;
}

}  // namespace

const FormatRow kOsGazetteerFormat{
    .name = "Ordnance Survey 1:50 000 gazetteer",
    .extensions = ".txt",
    .recognise = RecogniseOsGazetteer,
    .reader = ReadOsGazetteer,
    .start = ReaderStart::kAtLineOne,
    .help_anchor = "formats.html#os",
    .summary = "the Ordnance Survey 1:50 000 gazetteer (*50kgaz*.txt)",
};

}  // namespace toponyx::readers
