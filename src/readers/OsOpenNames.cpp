// OS Open Names: comma-separated UTF-8 without a header line (the header
// comes as a file of its own), 34 fields a line. Each line gives a place
// for NAME1 and, when there is one, another for NAME2 (the Welsh or Gaelic
// name), with LOCAL_TYPE as the full code and TYPE as the major class. The
// position is the National Grid easting and northing (GEOMETRY_X, _Y).
// Postcodes and numbered roads are no places and are left out.
#include <cmath>
#include <string>
#include <string_view>

#include "geodesy/NationalGrid.h"
#include "readers/Fields.h"
#include "readers/Formats.h"
#include "readers/FullCodeCache.h"
#include "readers/PlaceRecord.h"
#include "readers/Readers.h"
#include "text/CodePage.h"
#include "text/Text.h"

namespace toponyx::readers {
namespace {

constexpr int kName1Field = 3;
constexpr int kName2Field = 5;
constexpr int kTypeField = 7;
constexpr int kLocalTypeField = 8;
constexpr int kEastingField = 9;
constexpr int kNorthingField = 10;
constexpr int kFields = 34;

// The nine major classes for the types of OS Open Names.
std::string_view MajorCodeOfType(std::string_view type) {
  if (type == "populatedPlace") return kMajorCodes[1];    // City or Town
  if (type == "landcover") return kMajorCodes[2];         // Vegetation
  if (type == "transportNetwork") return kMajorCodes[5];  // Road or Railroad
  if (type == "landform") return kMajorCodes[6];          // Mountain, Hill, Elevation
  if (type == "hydrography") return kMajorCodes[7];       // River, Stream, Water
  if (type == "other") return kMajorCodes[8];             // Spot Feature
  return {};
}

class OpenNamesReader {
 public:
  explicit OpenNamesReader(ReaderRun& run) : run_(run) {}

  void Line(const std::string& raw) {
    text::Utf8LineToAnsi(raw, decoded_);  // a broken line becomes empty
    f_.CutQuoted(decoded_, ',', unquoted_);
    if (f_.Count() < kNorthingField) return;
    const std::string_view local_type = f_.Get(kLocalTypeField, "");
    if (local_type == "Postcode" || local_type == "Numbered Road") return;
    const std::string_view east = f_.Get(kEastingField, "");
    const std::string_view north = f_.Get(kNorthingField, "");
    if (text::IsEmptyText(east) || text::IsEmptyText(north)) return;
    const geo::LatLong p = geo::NationalGridToWgs84(Decimal(east), Decimal(north));
    if (!std::isfinite(p.lat) || !std::isfinite(p.lon)) return;
    FormatEightDecimalsLocal(p.lat, lat_);
    FormatEightDecimalsLocal(p.lon, lon_);
    lat_value_ = p.lat;
    lon_value_ = p.lon;

    const std::string_view full =
        codes_.Get(local_type, [this](std::string_view code, std::string& out) {
          out.assign(code.empty() ? kNotIdentified : code);
          if (!run_.full_codes.Contains(out)) run_.full_codes.Add(out);
        });
    const std::string_view major = MajorCodeOfType(f_.Get(kTypeField, ""));
    for (int field : {kName1Field, kName2Field}) {
      const std::string_view name = f_.Get(field, "");
      if (text::IsEmptyText(name)) continue;
      run_.places.Add(Place{.name = name,
                            .full_code = full,
                            .major_code = major,
                            .latitude = lat_value_,
                            .longitude = lon_value_,
                            .latitude_text = lat_,
                            .longitude_text = lon_});
    }
  }

 private:
  ReaderRun& run_;
  std::string decoded_, unquoted_, lat_, lon_;
  double lat_value_ = 0, lon_value_ = 0;
  FieldCuts<kFields> f_;
  FullCodeCache codes_;
};

void ReadOsOpenNames(ReaderInput& in, ReaderRun& run) {
  OpenNamesReader reader(run);
  EachLineFromTheFirst(in, [&reader](const std::string& line) { reader.Line(line); });
}

// No header: 34 fields, the second the address of the place's entry. Line
// 1 stays read: the reader takes it first.
Claim RecogniseOsOpenNames(Probe& probe, Detection&) {
  FieldCuts<36> fields;
  std::string unquoted;
  fields.CutQuoted(probe.FirstLine(), ',', unquoted);
  return fields.Count() == kFields &&
                 fields.Get(2, "").starts_with("http://data.ordnancesurvey.co.uk/id/")
             ? Claim::kYes
             : Claim::kNo;
}

// The header that comes as a file of its own ("ID,NAMES_URI,NAME1,...").
Claim RecogniseOsOpenNamesHeader(Probe& probe, Detection&) {
  FieldCuts<36> fields;
  std::string unquoted;
  fields.CutQuoted(probe.FirstLine(), ',', unquoted);
  return fields.Count() == kFields && fields.Get(1, "") == "ID" &&
                 fields.Get(2, "") == "NAMES_URI" && fields.Get(3, "") == "NAME1"
             ? Claim::kYes
             : Claim::kNo;
}

}  // namespace

const FormatRow kOsOpenNamesFormat{
    .name = "OS Open Names",
    .extensions = ".csv",
    .recognise = RecogniseOsOpenNames,
    .reader = ReadOsOpenNames,
    .help_anchor = "formats.html#osnames",
    .summary = "OS Open Names (.csv)",
};

// The header file gives no place, and needs no warning for it.
const FormatRow kOsOpenNamesHeaderFormat{
    .name = "OS Open Names header",
    .extensions = ".csv",
    .recognise = RecogniseOsOpenNamesHeader,
    .help_anchor = "formats.html#osnames",
};

}  // namespace toponyx::readers
