// GPX 1.0 and 1.1 files, as GPS units and mapping tools exchange them: every
// waypoint (<wpt lat=".." lon="..">) is a place, named by its <name>, with
// its <type> (else its <sym>, else "Waypoint") as the full code. Positions
// are WGS 84, as GPX defines them. The file is parsed as a stream by a real
// XML parser (entities, character references and CDATA sections as XML has
// them); what follows a fault in the XML is passed over.
#include <expat.h>

#include <cmath>
#include <string>
#include <string_view>

#include "readers/Fields.h"
#include "readers/Formats.h"
#include "readers/PlaceRecord.h"
#include "readers/Readers.h"
#include "text/CodePage.h"
#include "text/Text.h"

namespace toponyx::readers {
namespace {

constexpr std::string_view kWaypoint = "Waypoint";
// Texts longer than this are cut (no waypoint name or type comes near it).
constexpr size_t kMaxText = 4096;

// An element's name without its namespace prefix.
std::string_view LocalName(const XML_Char* name) {
  const std::string_view n(name);
  const size_t colon = n.rfind(':');
  return colon == std::string_view::npos ? n : n.substr(colon + 1);
}

class GpxReader {
 public:
  explicit GpxReader(ReaderRun& run) : run_(run) {}

  void Parse(text::TextFile& file) {
    // The first block tells whether the file arrives as UTF-8 whatever its
    // declaration says (it began with a byte-order mark).
    size_t n = file.ReadBytes(block_, sizeof block_);
    XML_Parser parser = XML_ParserCreate(file.IsUtf8() ? "UTF-8" : nullptr);
    if (parser == nullptr) return;
    XML_SetUserData(parser, this);
    XML_SetElementHandler(parser, &GpxReader::Start, &GpxReader::End);
    XML_SetCharacterDataHandler(parser, &GpxReader::Text);
    for (;;) {
      const bool last = n == 0;
      if (XML_Parse(parser, block_, static_cast<int>(n), last) == XML_STATUS_ERROR || last) break;
      n = file.ReadBytes(block_, sizeof block_);
    }
    XML_ParserFree(parser);
    while (!file.Eof()) file.ReadBytes(block_, sizeof block_);  // the rest passed over
  }

 private:
  static void Start(void* self, const XML_Char* name, const XML_Char** attributes) {
    static_cast<GpxReader*>(self)->OnStart(LocalName(name), attributes);
  }
  static void End(void* self, const XML_Char* name) {
    static_cast<GpxReader*>(self)->OnEnd(LocalName(name));
  }
  static void Text(void* self, const XML_Char* s, int len) {
    auto* r = static_cast<GpxReader*>(self);
    if (r->capture_ != nullptr && r->capture_->size() < kMaxText) {
      r->capture_->append(
          s, std::min<size_t>(static_cast<size_t>(len), kMaxText - r->capture_->size()));
    }
  }

  void OnStart(std::string_view element, const XML_Char** attributes) {
    ++depth_;
    if (waypoint_depth_ == 0 && element == "wpt") {
      waypoint_depth_ = depth_;
      lat_.clear();
      lon_.clear();
      name_.clear();
      type_.clear();
      sym_.clear();
      for (int i = 0; attributes[i] != nullptr && attributes[i + 1] != nullptr; i += 2) {
        const std::string_view attribute = attributes[i];
        if (attribute == "lat") lat_.assign(attributes[i + 1]);
        if (attribute == "lon") lon_.assign(attributes[i + 1]);
      }
    } else if (waypoint_depth_ != 0 && depth_ == waypoint_depth_ + 1) {
      capture_ = element == "name"   ? &name_
                 : element == "type" ? &type_
                 : element == "sym"  ? &sym_
                                     : nullptr;
    }
  }

  void OnEnd(std::string_view element) {
    if (depth_ == waypoint_depth_ + 1) capture_ = nullptr;
    if (depth_ == waypoint_depth_ && element == "wpt") {
      Waypoint();
      waypoint_depth_ = 0;
    }
    --depth_;
  }

  void Waypoint() {
    const std::string_view lat_text = text::TrimBlanks(lat_);
    const std::string_view lon_text = text::TrimBlanks(lon_);
    if (lat_text.empty() || lon_text.empty()) return;
    const double lat = Decimal(lat_text);
    const double lon = Decimal(lon_text);
    if (!std::isfinite(lat) || !std::isfinite(lon)) return;

    text::Utf8LineToAnsi(name_, ansi_name_);
    std::string_view name = text::TrimBlanks(ansi_name_);
    if (name.empty()) name = kNotIdentified;
    const std::string& code_utf8 = !text::TrimBlanks(type_).empty() ? type_ : sym_;
    text::Utf8LineToAnsi(code_utf8, ansi_code_);
    std::string_view code = text::TrimBlanks(ansi_code_);
    if (code.empty()) code = kWaypoint;
    if (!run_.full_codes.Contains(code)) run_.full_codes.Add(code);

    FormatFiveDecimalsPadded(lat, lat_out_);
    FormatFiveDecimalsPadded(lon, lon_out_);
    run_.places.Add(Place{.name = name,
                          .full_code = code,
                          .latitude = lat,
                          .longitude = lon,
                          .latitude_text = lat_out_,
                          .longitude_text = lon_out_});
  }

  ReaderRun& run_;
  char block_[64 * 1024];
  int depth_ = 0;
  int waypoint_depth_ = 0;  // depth of the open <wpt>, 0 outside one
  std::string* capture_ = nullptr;
  std::string lat_, lon_, name_, type_, sym_;
  std::string ansi_name_, ansi_code_, lat_out_, lon_out_;
};

void ReadGpx(ReaderInput& in, ReaderRun& run) {
  GpxReader reader(run);
  reader.Parse(in.file);
}

Claim RecogniseByExtension(Probe&, Detection&) {
  return Claim::kYes;
}

}  // namespace

const FormatRow kGpxFormat{
    .name = "GPX",
    .extensions = ".gpx",
    .recognise = RecogniseByExtension,
    .reader = ReadGpx,
    .help_anchor = "formats.html#gpx",
    .summary = "GPX waypoints (.gpx)",
};

}  // namespace toponyx::readers
