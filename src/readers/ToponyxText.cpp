// Toponyx text files, written by users: comma-separated data lines of name,
// feature type and position, in latitude and longitude, UTM or NZ Map Grid
// coordinates on any datum of the datum table, with grid lines ("#1") and
// datum lines ("#2") that set how the following lines are read. The grid,
// zone, hemisphere and datum carry over from one file of a run to the next.
#include <cmath>
#include <optional>
#include <string>
#include <string_view>

#include "geodesy/Datum.h"
#include "geodesy/Grid.h"
#include "geodesy/Nzmg.h"
#include "readers/Encoding.h"
#include "readers/Fields.h"
#include "readers/Formats.h"
#include "readers/FullCodeCache.h"
#include "readers/PlaceRecord.h"
#include "readers/Readers.h"
#include "text/Text.h"

namespace toponyx::readers {
namespace {

constexpr int kNameField = 1;
constexpr int kFeatureTypeField = 2;
constexpr int kZoneField = 3;
constexpr int kFirstField = 4;   // latitude, easting (UTM) or northing (NZ Map Grid)
constexpr int kSecondField = 5;  // longitude, northing (UTM) or easting (NZ Map Grid)

std::string_view WithoutLeadingSigns(std::string_view s) {
  while (!s.empty() && (s.front() == '-' || s.front() == '+')) s.remove_prefix(1);
  return s;
}

// The whole number at the start of a text, its sign left out; 0 when it
// does not start with a digit.
double WholeNumber(std::string_view s) {
  s = WithoutLeadingSigns(s);
  double value = 0;
  for (char c : s) {
    if (c < '0' || c > '9') break;
    value = value * 10 + (c - '0');
  }
  return value;
}

// The decimal number of a text, its sign left out.
double UnsignedNumber(std::string_view s) {
  return std::fabs(Decimal(WithoutLeadingSigns(s)));
}

// An angle written as decimal degrees ("-36.8485"), degrees and decimal
// minutes ("-36 50.91") or degrees, minutes and decimal seconds
// ("-36 50 54.6"); a "-" anywhere in a text of several parts makes the
// angle negative.
double Angle(std::string_view t, std::string& buffer) {
  const bool negative = t.find('-') != std::string_view::npos;
  if (t.find("  ") != std::string_view::npos) {
    buffer.clear();
    for (char c : t) {
      if (c != ' ' || buffer.empty() || buffer.back() != ' ') buffer.push_back(c);
    }
    t = buffer;
  }
  const size_t space = t.find(' ');
  if (space == std::string_view::npos) return Decimal(t);
  double value = WholeNumber(t.substr(0, space));
  const std::string_view rest = t.substr(space + 1);
  const size_t second = rest.find(' ');
  if (second == std::string_view::npos) {
    value += UnsignedNumber(rest) / 60;
  } else {
    value +=
        WholeNumber(rest.substr(0, second)) / 60 + UnsignedNumber(rest.substr(second + 1)) / 3600;
  }
  return negative ? -value : value;
}

class TpxReader {
 public:
  explicit TpxReader(ReaderRun& run)
      : run_(run),
        s_(run.tpx),
        datum_(run.datums.DatumIndex(s_.datum_name)),
        wgs84_(run.datums.DatumIndex("WGS 84")) {}

  void Line(std::string_view line) {
    if (text::IsEmptyText(line) || line[0] == ';') return;
    if (line.size() >= 2 && line[0] == '#' && line[1] == '1') return GridLine(line);
    if (line.size() >= 2 && line[0] == '#' && line[1] == '2') return DatumLine(line);
    DataLine(line);
  }

 private:
  // "#1,NZG" or "#1,UTM,<default zone>,<hemisphere>".
  void GridLine(std::string_view line) {
    if (text::Contains(line, "NZG")) s_.grid = TpxGrid::kNzmg;
    if (!text::Contains(line, "UTM")) return;
    s_.grid = TpxGrid::kUtm;
    s_.default_zone = text::UpperCaseAscii(text::GetField(line, 3, "", ','));
    const std::string hemisphere = text::UpperCaseAscii(text::GetField(line, 4, "", ','));
    if (text::Contains(hemisphere, "S")) {
      s_.hemisphere = "S";
    } else if (text::Contains(hemisphere, "N")) {
      s_.hemisphere = "N";
    } else {
      s_.hemisphere.clear();
    }
  }

  // "#2,<datum name>": a name the datum table lacks (exact comparison)
  // gives WGS 84 and the warning at the end of the run.
  void DatumLine(std::string_view line) {
    const std::string_view name = text::GetField(line, 2, "", ',');
    if (run_.datums.DatumKnown(name)) {
      s_.datum_name.assign(name);
    } else {
      s_.datum_name = "WGS 84";
      run_.user_file_bad_datum = true;
    }
    datum_ = run_.datums.DatumIndex(s_.datum_name);
  }

  void DataLine(std::string_view line) {
    f_.Cut(line, ',');
    const std::string_view zone_field = f_.Get(kZoneField, "");
    const std::string_view first = f_.Get(kFirstField, "");
    const std::string_view second = f_.Get(kSecondField, "");
    if (text::IsEmptyText(f_.Get(kNameField, "")) && text::IsEmptyText(zone_field) &&
        text::IsEmptyText(first)) {
      return;
    }

    geo::LatLong position{0, 0};
    switch (s_.grid) {
      case TpxGrid::kUtm: {
        zone_.assign(zone_field);
        text::UpperCaseAscii(zone_);
        if (zone_.empty()) zone_ = s_.default_zone;
        position = geo::UtmToLatLong(run_.datums, zone_, s_.hemisphere, Decimal(first),
                                     Decimal(second), datum_);
        break;
      }
      case TpxGrid::kNzmg: {
        const std::optional<geo::LatLong> grid_position =
            geo::NzmgToLatLong(Decimal(second), Decimal(first));
        // A grid position the conversion cannot resolve has no place on
        // the map: the line is passed over.
        if (!grid_position) return;
        position = *grid_position;
        break;
      }
      case TpxGrid::kLatLong:
        position.lat = Angle(first, buffer_);
        position.lon = Angle(second, buffer_);
        break;
    }
    const auto [lat, lon] =
        geo::ConvertDatum(run_.datums, datum_, wgs84_, position.lat, position.lon);
    // So is a position that is no finite number (a number text "nan" or
    // "inf", or what the grid conversions make of huge numbers).
    if (!std::isfinite(lat) || !std::isfinite(lon)) return;

    const std::string_view full = codes_.Get(text::TrimBlanks(f_.Get(kFeatureTypeField, "UNKN")),
                                             [this](std::string_view code, std::string& out) {
                                               text::ProperCase(code, out);
                                               run_.full_codes.Note(code);
                                             });
    FormatFiveDecimalsPadded(lat, lat_text_);
    FormatFiveDecimalsPadded(lon, lon_text_);
    run_.places.Add(Place{.name = text::TrimBlanks(f_.Get(kNameField, "")),
                          .full_code = full,
                          .latitude = lat,
                          .longitude = lon,
                          .latitude_text = lat_text_,
                          .longitude_text = lon_text_});
  }

  ReaderRun& run_;
  TpxSettings& s_;
  int32_t datum_;
  const int32_t wgs84_;
  FieldCuts<kSecondField> f_;
  std::string zone_, buffer_, lat_text_, lon_text_;
  FullCodeCache codes_;
};

void ReadToponyxText(ReaderInput& in, ReaderRun& run) {
  TpxReader reader(run);
  std::string decoded;
  while (!in.file.Eof()) {
    in.file.ReadLine(in.line);
    LineAsAnsi(in.file, in.line, decoded);
    reader.Line(in.line);
  }
}

Claim RecogniseByExtension(Probe&, Detection&) {
  return Claim::kYes;
}

}  // namespace

const FormatRow kToponyxTextFormat{
    .name = "Toponyx text files",
    .extensions = ".tpx",
    .recognise = RecogniseByExtension,
    .reader = ReadToponyxText,
    .dialog_filter = "Toponyx Text Files",
    .help_anchor = "tpx.html",
    .summary = "Toponyx text files (.tpx)",
};

}  // namespace toponyx::readers
