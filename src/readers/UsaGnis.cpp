// USA GNIS files in three layouts: tab-separated decimal degrees, "|"
// separated decimal degrees with a header line, and the old fixed columns
// with packed degrees-minutes-seconds positions.
#include <cmath>
#include <limits>
#include <string>
#include <string_view>

#include "readers/Encoding.h"
#include "readers/Fields.h"
#include "readers/Formats.h"
#include "readers/FullCodeCache.h"
#include "readers/PlaceRecord.h"
#include "readers/Readers.h"
#include "text/Text.h"

namespace toponyx::readers {
namespace {

// Columns of the fixed layout (1-based, inclusive).
constexpr size_t kNameColumn = 14, kNameWidth = 100;   // 14-113
constexpr size_t kClassColumn = 115, kClassWidth = 9;  // 115-123
constexpr size_t kLatColumn = 141, kLatWidth = 7;      // 141-147
constexpr size_t kLonColumn = 149, kLonWidth = 8;      // 149-156

std::string_view Columns(std::string_view line, size_t first, size_t width) {
  if (line.size() < first) return {};
  return line.substr(first - 1, width);
}

constexpr double kFromTexts = std::numeric_limits<double>::quiet_NaN();

class UsaReader {
 public:
  UsaReader(ReaderInput& in, ReaderRun& run) : in_(in), run_(run) {}

  // The decimal layouts (the staged name holds "DECI"): header lines set the
  // separator, every other line is a data line.
  void ReadDecimalFile() {
    while (!in_.file.Eof()) {
      ReadLine();
      if (IsHeader()) continue;
      DecimalLine();
    }
  }

  // Today's files with a header of column names: the header is read (by
  // the format detection), the columns are found by their names, and the
  // rules of the "|" layout apply to every line after it.
  void ReadNamedColumnsFile(const NamedColumns& columns) {
    while (!in_.file.Eof()) {
      ReadLine();
      ColumnsLine(columns);
    }
  }

  // The plain entry without "DECI": every line is a fixed-layout line.
  void ReadFixedFile() {
    while (!in_.file.Eof()) {
      ReadLine();
      FixedLine();
    }
  }

  // The text-file entry without "DECI": a "|" header switches the following
  // lines to the decimal layout; before it (or after a header without "|")
  // lines are fixed-layout lines.
  void ReadMixedFile() {
    while (!in_.file.Eof()) {
      ReadLine();
      if (IsHeader()) continue;
      if (separator_ == '|') {
        DecimalLine();
      } else {
        FixedLine();
      }
    }
  }

 private:
  // The next line, in ANSI: today's files are UTF-8, older ones ASCII.
  void ReadLine() {
    in_.file.ReadTextLine(in_.line);
    LineAsAnsi(in_.file, in_.line, decoded_, true);
  }

  // A header line holds "FEATURE_ID" (ignoring case) and sets the separator.
  bool IsHeader() {
    if (!text::ContainsUpperCased(in_.line, "FEATURE_ID")) return false;
    separator_ = in_.line.find('|') != std::string::npos ? '|' : '\t';
    return true;
  }

  void DecimalLine() {
    fields_.Cut(in_.line, separator_);
    const bool bar = separator_ == '|';
    const std::string_view missing = bar ? "0" : "UNKNOWN";
    if (fields_.Get(10, missing) == missing || fields_.Get(11, missing) == missing) return;

    std::string& name = name_;
    name.assign(fields_.Get(2, "UNKNOWN"));
    for (char& c : name) {
      if (c == ',') c = ' ';
    }
    const std::string_view code = text::TrimBlanks(fields_.Get(3, "UNKN"));
    // The record's positions: the fields with the default "UNKNOWN" (a "|"
    // field that passed the test above is never missing).
    const std::string_view lat = fields_.Get(10, "UNKNOWN"), lon = fields_.Get(11, "UNKNOWN");
    Append(text::TrimBlanks(name), code, lat, lon);
  }

  void ColumnsLine(const NamedColumns& c) {
    if (c.quoted) {
      wide_.CutQuoted(in_.line, c.separator, unquoted_);
    } else {
      wide_.Cut(in_.line, c.separator);
    }
    if (wide_.Get(c.latitude, "0") == "0" || wide_.Get(c.longitude, "0") == "0") return;
    name_.assign(wide_.Get(c.name, "UNKNOWN"));
    for (char& ch : name_) {
      if (ch == ',') ch = ' ';
    }
    const std::string_view lat = wide_.Get(c.latitude, "UNKNOWN");
    const std::string_view lon = wide_.Get(c.longitude, "UNKNOWN");
    Append(text::TrimBlanks(name_), text::TrimBlanks(wide_.Get(c.feature_class, "UNKN")), lat, lon);
  }

  void FixedLine() {
    const std::string_view line = in_.line;
    const std::string_view lat_test = Columns(line, kLatColumn, kLatWidth);
    const std::string_view lon_test = Columns(line, kLonColumn, 7);
    if (lat_test.empty() || lon_test.empty() || lat_test == "UNKNOWN" || lon_test == "UNKNOWN") {
      return;
    }
    const double lat = PackedDmsToText(lat_test, lat_);
    const double lon = PackedDmsToText(Columns(line, kLonColumn, kLonWidth), lon_);
    Append(text::TrimBlanks(Columns(line, kNameColumn, kNameWidth)),
           text::TrimBlanks(Columns(line, kClassColumn, kClassWidth)), lat_, lon_, lat, lon);
  }

  // FULL_CODE is the proper-cased class; the class joins the full-code list.
  // The position's numbers are those of its texts when not given.
  void Append(std::string_view name, std::string_view code, std::string_view lat_text,
              std::string_view lon_text, double lat = kFromTexts, double lon = kFromTexts) {
    const std::string_view full = codes_.Get(code, [this](std::string_view c, std::string& out) {
      text::ProperCase(c, out);
      run_.full_codes.Note(c);
    });
    run_.places.Add(Place{.name = name,
                          .full_code = full,
                          .latitude = lat,
                          .longitude = lon,
                          .numbers_from_texts = std::isnan(lat) && std::isnan(lon),
                          .latitude_text = lat_text,
                          .longitude_text = lon_text});
  }

  ReaderInput& in_;
  ReaderRun& run_;
  char separator_ = '\t';
  FullCodeCache codes_;
  std::string name_, lat_, lon_, decoded_, unquoted_;
  FieldCuts<11> fields_;
  FieldCuts<64> wide_;  // the named columns of today's files
};

bool NameSaysDecimal(const ReaderInput& in) {
  return text::ContainsUpperCased(in.name, "DECI");
}

void ReadUsaGnisTextFile(ReaderInput& in, ReaderRun& run) {
  UsaReader reader(in, run);
  if (NameSaysDecimal(in)) {
    reader.ReadDecimalFile();
  } else {
    reader.ReadMixedFile();
  }
}

void ReadUsaGnisColumns(ReaderInput& in, ReaderRun& run) {
  UsaReader(in, run).ReadNamedColumnsFile(in.found.columns);
}

void ReadUsaGnisPlain(ReaderInput& in, ReaderRun& run) {
  UsaReader reader(in, run);
  if (NameSaysDecimal(in)) {
    reader.ReadDecimalFile();
  } else {
    reader.ReadFixedFile();
  }
}

// A ".txt" file whose first line holds the header of the first USA GNIS
// layouts; or, for want of anything else, one whose first line holds
// neither "LAT" nor "LONG" (the fixed layout has no header).
Claim RecogniseUsaGnisText(Probe& probe, Detection&) {
  const std::string& line = probe.FirstLine();
  if (text::ContainsUpperCased(line, "FEATURE_ID|FEATURE_NAME|FEATURE_CLASS|STATE_ALPHA|")) {
    return Claim::kYes;
  }
  if (!text::Contains(line, "LAT") && !text::Contains(line, "LONG")) return Claim::kGuess;
  return Claim::kNo;
}

// The "DomesticNames" files of today: "|"-separated with a header of
// lower-case column names (feature_id|feature_name|feature_class|...).
Claim RecogniseDomesticNames(Probe& probe, Detection& found) {
  const std::string& line = probe.FirstLine();
  NamedColumns& c = found.columns;
  c.separator = '|';
  return line.find('|') != std::string::npos &&
                 FindNamedColumns(line, c, "feature_name", "feature_class", "prim_lat_dec",
                                  "prim_long_dec")
             ? Claim::kYes
             : Claim::kNo;
}

// The gazetteer CSV ("Gaz ID,Feature Name,Class,...").
Claim RecogniseUsaGazetteerCsv(Probe& probe, Detection& found) {
  const std::string& line = probe.FirstLine();
  NamedColumns& c = found.columns;
  c.separator = ',';
  c.quoted = true;
  FieldCuts<2> fields;
  std::string unquoted;
  fields.CutQuoted(line, ',', unquoted);
  return text::EqualsIgnoreCase(fields.Get(1, ""), "Gaz ID") &&
                 FindNamedColumns(line, c, "Feature Name", "Class", "Latitude", "Longitude")
             ? Claim::kYes
             : Claim::kNo;
}

Claim RecogniseAlways(Probe&, Detection&) {
  return Claim::kYes;
}

}  // namespace

const FormatRow kUsaGnisTextFormat{
    .name = "USA GNIS",
    .extensions = ".txt",
    .recognise = RecogniseUsaGnisText,
    .reader = ReadUsaGnisTextFile,
    .start = ReaderStart::kAtLineOne,
    .help_anchor = "formats.html#gnis",
    .summary = "USA GNIS state and topical files (.txt)",
};

const FormatRow kDomesticNamesFormat{
    .name = "USA GNIS DomesticNames",
    .extensions = ".txt",
    .recognise = RecogniseDomesticNames,
    .reader = ReadUsaGnisColumns,
    .help_anchor = "formats.html#gnis",
    .summary = "USA GNIS DomesticNames files (.txt)",
};

const FormatRow kUsaGazetteerCsvFormat{
    .name = "USA GNIS gazetteer CSV",
    .extensions = ".csv",
    .recognise = RecogniseUsaGazetteerCsv,
    .reader = ReadUsaGnisColumns,
    .help_anchor = "formats.html#gnis",
    .summary = "USA GNIS gazetteer files (.csv)",
};

// What a ".gz" file expands to, and a file named ".usa" or without an
// extension.
const FormatRow kUsaGnisPlainFormat{
    .name = "USA GNIS (plain)",
    .extensions = ".usa;",
    .listed = false,
    .recognise = RecogniseAlways,
    .reader = ReadUsaGnisPlain,
    .start = ReaderStart::kAtLineOne,
    .help_anchor = "formats.html#gnis",
    .summary = "",
};

}  // namespace toponyx::readers
