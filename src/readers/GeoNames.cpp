// GeoNames files: tab-separated UTF-8, one feature a line, no header. The
// format dispatch has read line 1 into the current-line buffer; it is read
// here first, then the rest of the file.
#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "readers/CodeLists.h"
#include "readers/Fields.h"
#include "readers/Formats.h"
#include "readers/FullCodeCache.h"
#include "readers/Readers.h"
#include "text/CodePage.h"
#include "text/Text.h"

namespace toponyx::readers {
namespace {

constexpr int kNameField = 2;
constexpr int kAsciiNameField = 3;
constexpr int kAlternateNamesField = 4;
constexpr int kLatitudeField = 5;
constexpr int kLongitudeField = 6;
constexpr int kFeatureClassField = 7;
constexpr int kFeatureCodeField = 8;

// A name that cannot stand as the place's name: empty, or with a "?" (what
// the code-page conversion leaves of a character it cannot write).
bool Unusable(std::string_view name) {
  return text::IsEmptyText(name) || name.find('?') != std::string_view::npos;
}

class GeoNamesReader {
 public:
  explicit GeoNamesReader(ReaderRun& run) : run_(run) {}

  void Line(const std::string& raw) {
    text::Utf8LineToAnsi(raw, decoded_);  // a broken line becomes empty
    f_.Cut(decoded_, '\t');
    const std::string_view lat = f_.Get(kLatitudeField, "");
    const std::string_view lon = f_.Get(kLongitudeField, "");
    if (text::IsEmptyText(lat) && text::IsEmptyText(lon)) return;

    std::string_view name = f_.Get(kNameField, "");
    if (Unusable(name)) name = f_.Get(kAsciiNameField, "");
    if (Unusable(name)) name = f_.Get(kAlternateNamesField, "");
    name = text::GetField(name, 1, "", ',');
    if (name.empty()) name = kNotIdentified;

    // The further names, where the run wants them: the alternatenames
    // column, comma-separated (what the code page cannot write is left out).
    alternates_.clear();
    if (run_.want_alternate_names) {
      std::string_view list = f_.Get(kAlternateNamesField, "");
      while (!list.empty()) {
        const size_t comma = list.find(',');
        const std::string_view alternate = text::TrimBlanks(list.substr(0, comma));
        if (!Unusable(alternate)) alternates_.push_back(alternate);
        list.remove_prefix(comma == std::string_view::npos ? list.size() : comma + 1);
      }
    }

    // MAJOR_CODE stays empty; the class letter goes with the place.
    run_.places.Add(Place{.name = name,
                          .full_code = FullCode(text::TrimBlanks(f_.Get(kFeatureCodeField, ""))),
                          .numbers_from_texts = true,
                          .latitude_text = lat,
                          .longitude_text = lon,
                          .feature_class = ClassLetter(f_.Get(kFeatureClassField, "")),
                          .alternate_names = alternates_});
  }

 private:
  // The proper-cased description of a feature code, "Not Available" for a
  // code the table lacks; noted in the full-code list on first use.
  std::string_view FullCode(std::string_view code) {
    return codes_.Get(code, [this](std::string_view c, std::string& full) {
      static const std::string kNotAvailable = "Not Available";
      const std::string* description = GeoNamesDescription(c);
      text::ProperCase(description != nullptr ? *description : kNotAvailable, full);
      if (!run_.full_codes.Contains(full)) run_.full_codes.Add(text::TrimBlanks(full));
    });
  }

  ReaderRun& run_;
  std::string decoded_;
  std::vector<std::string_view> alternates_;
  FieldCuts<kFeatureCodeField> f_;
  FullCodeCache codes_;
};

void ReadGeoNames(ReaderInput& in, ReaderRun& run) {
  GeoNamesReader reader(run);
  EachLineFromTheFirst(in, [&reader](const std::string& line) { reader.Line(line); });
}

// GeoNames files begin with a numeric identifier of six or seven digits:
// the first tab is the 7th or 8th character and the first field is digits.
// What a ".gz" file expands to (".usa") is a USA GNIS file unless line 1 is
// a whole GeoNames line: at least its 15 first fields, a position of two
// numbers, and a feature class that is one of the nine letters (a USA GNIS
// line of the tab-separated layout also begins with a numeric identifier).
Claim RecogniseGeoNames(Probe& probe, Detection&) {
  const std::string_view line = probe.FirstLine();
  const size_t tab = line.find('\t');
  if (tab != 6 && tab != 7) return Claim::kNo;
  for (char c : text::GetField(line, 1, "", '\t')) {
    if (c < '0' || c > '9') return Claim::kNo;
  }
  if (LowerExtension(probe.name()) == ".txt") return Claim::kYes;
  FieldCuts<16> f;
  f.Cut(line, '\t');
  const bool whole = f.Count() >= 15 && ClassLetter(f.Get(kFeatureClassField, "")) != 0 &&
                     !std::isnan(PositionValue(f.Get(kLatitudeField, ""))) &&
                     !std::isnan(PositionValue(f.Get(kLongitudeField, "")));
  return whole ? Claim::kYes : Claim::kNo;  // line 1 stays read: the reader takes it first
}

}  // namespace

const FormatRow kGeoNamesFormat{
    .name = "GeoNames",
    .extensions = ".txt",
    .recognise = RecogniseGeoNames,
    .reader = ReadGeoNames,
    .help_anchor = "formats.html#geonames",
    .summary = "GeoNames country files and dumps (.txt)",
};

// What a ".gz" file of a GeoNames dump expands to (".usa"), recognised by
// its content before the USA GNIS reader takes the file.
const FormatRow kGeoNamesGzipFormat{
    .name = "GeoNames",
    .extensions = ".usa;",
    .listed = false,
    .recognise = RecogniseGeoNames,
    .reader = ReadGeoNames,
    .help_anchor = "formats.html#geonames",
};

}  // namespace toponyx::readers
