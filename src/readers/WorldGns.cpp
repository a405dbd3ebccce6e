// World GNS files: tab-separated, one name of one feature a line, after a
// header line that the format dispatch has read. Two fixed column layouts:
// the older one (header without "DATE") as read, the newer one (header with
// "DATE") in UTF-8; and the current download, whose lower-case header names
// its columns ("lat_dd", "desig_cd", ...), which are found by those names.
#include <string>
#include <string_view>
#include <utility>

#include "readers/Fields.h"
#include "readers/Formats.h"
#include "readers/FullCodeCache.h"
#include "readers/PlaceRecord.h"
#include "readers/Readers.h"
#include "text/CodePage.h"
#include "text/Text.h"

namespace toponyx::readers {
namespace {

struct Layout {
  int latitude;
  int longitude;
  int feature_class;
  int designation;
  int names[3];  // tried in this order; 0 ends the list
  bool utf8;
  int script = 0;  // the current layout's writing system of the name ("Latn", "Cyrl", ...)
};
constexpr int kMaxField = 40;

// Header without "DATE".
constexpr Layout kLayoutA{4, 5, 11, 12, {25, 24, 0}, false, 0};
// Header with "DATE".
constexpr Layout kLayoutB{4, 5, 10, 11, {24, 23, 25}, true, 0};

// The current layout: columns by the names of the header line; the name is
// "full_name", else "full_nm_nd" (the same without diacritics). A column
// the header lacks reads as missing.
Layout CurrentLayout(std::string_view header) {
  Layout layout{0, 0, 0, 0, {0, 0, 0}, true, 0};
  FieldCuts<kMaxField> columns;
  columns.Cut(header, '\t');
  for (int n = 1; n <= kMaxField; ++n) {
    const std::string_view column = columns.Get(n, "");
    if (column == "lat_dd") layout.latitude = n;
    if (column == "long_dd") layout.longitude = n;
    if (column == "fc") layout.feature_class = n;
    if (column == "desig_cd") layout.designation = n;
    if (column == "full_name") layout.names[0] = n;
    if (column == "full_nm_nd") layout.names[1] = n;
    if (column == "script_cd") layout.script = n;
  }
  if (layout.names[0] == 0) std::swap(layout.names[0], layout.names[1]);
  return layout;
}

// The name of a line: the first name column that is not empty. The first
// column is taken with an empty default, each later one with the default
// "Not Identified", so a later column is tried only when the one before it
// holds spaces only.
std::string_view PlaceName(const FieldCuts<kMaxField>& f, const Layout& layout) {
  std::string_view name = f.Get(layout.names[0], "");
  for (int i = 1; i < 3 && layout.names[i] != 0 && text::IsEmptyText(name); ++i) {
    name = f.Get(layout.names[i], kNotIdentified);
  }
  return text::IsEmptyText(name) ? kNotIdentified : name;
}

// A name that the code page could not write at all: only "?" (what the
// conversion leaves of a character it has no byte for) and blanks. GNS
// carries the romanised form of such a name as a row of its own.
bool Unwritable(std::string_view name) {
  bool question = false;
  for (char c : name) {
    if (c == '?') {
      question = true;
    } else if (c != ' ') {
      return false;
    }
  }
  return question;
}

void ReadWorldGns(ReaderInput& in, ReaderRun& run) {
  const Layout layout = in.found.layout == kGnsCurrent ? CurrentLayout(in.line)
                        : in.found.layout == kGnsOlder ? kLayoutA
                                                       : kLayoutB;
  std::string decoded;
  FieldCuts<kMaxField> f;
  FullCodeCache codes;
  auto full_code_of = [&run](std::string_view code, std::string& full) {
    const std::string* description = run.world_codes.Find(code);
    if (description != nullptr) {
      full = *description;
      run.full_codes.Note(full);
    } else {
      full = kNotIdentified;
      if (!run.full_codes.Contains(kNotIdentified)) run.full_codes.Add(kNotIdentified);
    }
  };

  while (!in.file.Eof()) {
    in.file.ReadTextLine(in.line);
    std::string_view line = in.line;
    if (layout.utf8 || in.file.IsUtf8()) {
      text::Utf8LineToAnsi(in.line, decoded);  // a broken line becomes empty
      line = decoded;
    }
    f.Cut(line, '\t');

    const std::string_view lat = f.Get(layout.latitude, "");
    const std::string_view lon = f.Get(layout.longitude, "");
    if (text::IsEmptyText(lat) && text::IsEmptyText(lon)) continue;

    // Rows in a non-Roman script are passed over: their romanised forms
    // are rows of their own.
    const std::string_view script = f.Get(layout.script, "");
    if (!script.empty() && !text::EqualsIgnoreCase(script, "Latn")) continue;
    const std::string_view name = PlaceName(f, layout);
    if (Unwritable(name)) continue;

    const std::string_view full_code =
        codes.Get(text::TrimBlanks(f.Get(layout.designation, "")), full_code_of);
    const std::string_view feature_class = f.Get(layout.feature_class, "");
    run.places.Add(Place{.name = name,
                         .full_code = full_code,
                         .major_code = MajorCodeOfClass(feature_class),
                         .numbers_from_texts = true,
                         .latitude_text = lat,
                         .longitude_text = lon,
                         .feature_class = ClassLetter(feature_class)});
  }
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

// Line 1 is the header, which stays read: the current download's by its
// column names, else (for want of a better reading) any line with "LAT" or
// "LONG", the older layout without "DATE" in it, the newer with it.
Claim RecogniseWorldGns(Probe& probe, Detection& found) {
  const std::string& line = probe.FirstLine();
  if (IsCurrentGnsHeader(line)) {
    found.layout = kGnsCurrent;
    return Claim::kYes;
  }
  if (!text::Contains(line, "LAT") && !text::Contains(line, "LONG")) return Claim::kNo;
  found.layout = text::Contains(line, "DATE") ? kGnsNewer : kGnsOlder;
  return Claim::kLikely;
}

}  // namespace

const FormatRow kWorldGnsFormat{
    .name = "world GNS",
    .extensions = ".txt",
    .recognise = RecogniseWorldGns,
    .reader = ReadWorldGns,
    .needs_world_codes = true,
    .help_anchor = "formats.html#gns",
    .summary = "world GNS country files (.txt)",
};

}  // namespace toponyx::readers
