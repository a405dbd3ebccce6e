// Any delimited table with a header row, as national gazetteers, open-data
// portals and spreadsheets give them (.csv, .tsv, and .txt files that no
// other format takes): the separator is the one of comma, semicolon, tab
// and "|" that the header holds most often (outside quotes); fields may be
// quoted as RFC 4180 has it (separators, doubled quotes and line breaks
// inside quotes). The name, latitude, longitude and feature type columns
// are found by the names sources give them, or named by the user (the run's
// table_columns: header names or numbers from 1). Positions are WGS 84
// decimal degrees with a decimal point or a decimal comma; a line without a
// name or a usable position is passed over. The feature type is the type
// column's text, else "Not Identified". Texts are UTF-8 where the file has
// a byte-order mark or the line is UTF-8, else Windows-1252.
#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <string_view>

#include "readers/Encoding.h"
#include "readers/Fields.h"
#include "readers/Formats.h"
#include "readers/MapPlaces.h"
#include "readers/PlaceRecord.h"
#include "readers/Readers.h"
#include "text/Text.h"

namespace toponyx::readers {
namespace {

constexpr int kMaxColumns = 256;
// A record that runs over lines (a line break inside quotes) takes at most
// this many lines; a quote left open does not swallow the file.
constexpr int kMaxRecordLines = 32;
constexpr char kSeparators[] = {'\t', ';', ',', '|'};

// The header names of each column, in the order they are preferred; letter
// case is ignored.
constexpr std::string_view kNameColumns[] = {"name",    "feature_name", "Geographical Name",
                                             "toponym", "nom",          "Name_EN"};
constexpr std::string_view kLatitudeColumns[] = {"lat", "latitude", "y", "crd_latitude", "lat_dd"};
constexpr std::string_view kLongitudeColumns[] = {"lon", "lng",           "long",   "longitude",
                                                  "x",   "crd_longitude", "long_dd"};
constexpr std::string_view kTypeColumns[] = {
    "type", "class", "feat_type", "feature_class", "Feature Code", "Generic Term", "category"};

// Where the first line is a place rather than a header (Detection::layout).
constexpr int kFirstLineIsData = 1;

// True when the line ends inside a quoted field (a line break is part of
// the field).
bool EndsInsideQuotes(std::string_view line, char sep) {
  bool field_start = true, quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted) {
      if (c == '"') {
        if (i + 1 < line.size() && line[i + 1] == '"') {
          ++i;
        } else {
          quoted = false;
        }
      }
      continue;
    }
    if (field_start && c == '"') {
      quoted = true;
      field_start = false;
      continue;
    }
    field_start = c == sep;
  }
  return quoted;
}

// The separator the header holds most often outside quotes; the first of
// kSeparators among equals. 0 when it holds none.
char SeparatorOf(std::string_view header) {
  std::array<int, 4> counts{};
  bool quoted = false;
  for (const char c : header) {
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    for (size_t s = 0; s < counts.size(); ++s) counts[s] += c == kSeparators[s];
  }
  size_t best = 0;
  for (size_t s = 1; s < counts.size(); ++s) {
    if (counts[s] > counts[best]) best = s;
  }
  return counts[best] > 0 ? kSeparators[best] : 0;
}

// A position: a decimal number with a decimal point or a decimal comma.
double Coordinate(std::string_view text, std::string& scratch) {
  text = text::TrimBlanks(text);
  const size_t comma = text.find(',');
  if (comma != std::string_view::npos && text.find('.') == std::string_view::npos &&
      text.find(',', comma + 1) == std::string_view::npos) {
    scratch.assign(text);
    scratch[comma] = '.';
    return PositionValue(scratch);
  }
  return PositionValue(text);
}

bool IsNumber(std::string_view s) {
  if (s.empty() || s.size() > 3) return false;
  for (const char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// The column of one role: the user's choice when it is a number within the
// header or a name the header has, else the first of the role's names that
// the header has; 0 when none.
template <size_t N>
int ColumnOf(const FieldCuts<kMaxColumns>& header, std::string_view chosen,
             const std::string_view (&names)[N]) {
  if (IsNumber(chosen)) {
    const int n = std::stoi(std::string(chosen));
    if (n >= 1 && n <= header.Count()) return n;
  } else if (!chosen.empty()) {
    for (int c = 1; c <= header.Count(); ++c) {
      if (text::EqualsIgnoreCase(header.Get(c, ""), text::TrimBlanks(chosen))) return c;
    }
  }
  for (const std::string_view name : names) {
    for (int c = 1; c <= header.Count(); ++c) {
      if (text::EqualsIgnoreCase(header.Get(c, ""), name)) return c;
    }
  }
  return 0;
}

class TableReader {
 public:
  TableReader(ReaderInput& in, ReaderRun& run, const NamedColumns& columns)
      : in_(in), c_(columns), places_(run, kNotIdentified, false) {
    last_ = std::max({c_.name, c_.latitude, c_.longitude, c_.feature_class});
  }

  void Read(bool first_line_is_data) {
    if (first_line_is_data) Record(in_.line);
    while (!in_.file.Eof()) {
      in_.file.ReadTextLine(record_);
      if (record_.find('"') != std::string::npos) {
        for (int lines = 1; lines < kMaxRecordLines && EndsInsideQuotes(record_, c_.separator) &&
                            record_.size() < text::TextFile::kMaxLine && !in_.file.Eof();
             ++lines) {
          in_.file.ReadTextLine(more_);
          record_ += '\n';
          record_ += more_;
        }
      }
      Record(record_);
    }
  }

 private:
  void Record(std::string& line) {
    LineAsAnsi(in_.file, line, decoded_, true);
    if (line.find('"') != std::string::npos) {
      quoted_.CutQuoted(line, c_.separator, unquoted_);
      Take(quoted_);
      return;
    }
    // Unquoted: only the fields up to the last one used are cut.
    plain_.Cut(line, c_.separator, last_);
    Take(plain_);
  }

  template <class Fields>
  void Take(const Fields& f) {
    const double lat = Coordinate(f.Get(c_.latitude, ""), scratch_);
    const double lon = Coordinate(f.Get(c_.longitude, ""), scratch_);
    places_.Add(f.Get(c_.name, ""), c_.feature_class ? f.Get(c_.feature_class, "") : "", lat, lon,
                false);
  }

  // Fields of a line without quotes, cut up to a given field.
  class PlainCuts {
   public:
    void Cut(std::string_view line, char sep, int last) {
      count_ = 0;
      size_t at = 0;
      while (count_ < last) {
        const size_t end = line.find(sep, at);
        if (end == std::string_view::npos) {
          fields_[static_cast<size_t>(count_++)] = line.substr(at);
          return;
        }
        fields_[static_cast<size_t>(count_++)] = line.substr(at, end - at);
        at = end + 1;
      }
    }
    std::string_view Get(int n, std::string_view def) const {
      if (n < 1 || n > count_) return def;
      return text::TrimBlanks(fields_[static_cast<size_t>(n - 1)]);
    }

   private:
    std::array<std::string_view, kMaxColumns> fields_{};
    int count_ = 0;
  };

  ReaderInput& in_;
  const NamedColumns& c_;
  MapPlaces places_;
  int last_ = 0;
  std::string record_, more_, decoded_, unquoted_, scratch_;
  FieldCuts<kMaxColumns> quoted_;
  PlainCuts plain_;
};

void ReadDelimitedTable(ReaderInput& in, ReaderRun& run) {
  if (in.found.columns_missing) return;
  TableReader(in, run, in.found.columns).Read(in.found.layout == kFirstLineIsData);
}

// A table by its header: .csv and .tsv files are tables (a header without
// name, latitude and longitude columns is named as such); a .txt file only
// when its header has them, and then only where no written format is sure
// of it.
Claim RecogniseDelimitedTable(Probe& probe, Detection& found) {
  const bool txt = LowerExtension(probe.name()) == ".txt";
  std::string header = probe.FirstLine();
  std::string scratch;
  LineAsAnsi(probe.file(), header, scratch, true);
  const char sep = SeparatorOf(header);
  NamedColumns& c = found.columns;
  c.separator = sep != 0 ? sep : ',';
  c.quoted = true;
  FieldCuts<kMaxColumns> columns;
  std::string unquoted;
  columns.CutQuoted(header, c.separator, unquoted);
  const ColumnChoice& chosen = probe.table_columns();
  c.name = ColumnOf(columns, chosen.name, kNameColumns);
  c.latitude = ColumnOf(columns, chosen.latitude, kLatitudeColumns);
  c.longitude = ColumnOf(columns, chosen.longitude, kLongitudeColumns);
  c.feature_class = ColumnOf(columns, chosen.feature_class, kTypeColumns);
  const bool complete = sep != 0 && c.name != 0 && c.latitude != 0 && c.longitude != 0 &&
                        c.name != c.latitude && c.name != c.longitude && c.latitude != c.longitude;
  if (!complete) {
    if (txt) return Claim::kNo;
    found.columns_missing = true;
    return Claim::kLikely;
  }
  // A first line whose latitude and longitude are numbers is a place (a
  // table without header, its columns named by number).
  if (!std::isnan(Coordinate(columns.Get(c.latitude, ""), scratch)) &&
      !std::isnan(Coordinate(columns.Get(c.longitude, ""), scratch))) {
    found.layout = kFirstLineIsData;
  }
  return Claim::kLikely;
}

}  // namespace

const FormatRow kDelimitedTableFormat{
    .name = "delimited table",
    .extensions = ".csv;.tsv;.txt",
    .recognise = RecogniseDelimitedTable,
    .reader = ReadDelimitedTable,
    .help_anchor = "places.html#tables",
    .summary = "delimited tables with a header row of column names (.csv, .tsv, .txt)",
};

}  // namespace toponyx::readers
