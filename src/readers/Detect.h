// What a format's recognition looks at (the file's name, its first line or
// lines) and what it finds, for the reader of the format that claims the
// file. The recognition reads only what it must and leaves the file where
// the format's reader begins.
#pragma once

#include <string>
#include <string_view>

#include "geodesy/Datum.h"
#include "text/LineReader.h"

namespace toponyx::readers {

struct FormatRow;

// The text from the last "." of a name to its end, dot included, unless a
// separator or colon follows the dot; otherwise "".
std::string_view FileExtension(std::string_view name);
// The same, with A to Z lower-cased.
std::string LowerExtension(std::string_view name);

// How sure a format's recognition is that a file is of its format. The
// first format (in the table's order) that is sure takes the file; else
// the one that is most nearly so, the first of equals.
enum class Claim {
  kNo,
  kGuess,   // nothing else fits: a file that then gives no place is most
            // likely of a layout the program does not know
  kLikely,  // a fallback that fits better than a guess
  kYes,
};

// Where a file with a header of column names has its fields.
struct NamedColumns {
  int name = 0;  // from 1; 0 when the header lacks the column
  int feature_class = 0;
  int latitude = 0;
  int longitude = 0;
  char separator = '|';
  bool quoted = false;  // fields may be quoted (RFC 4180)
};

// The columns of delimited tables that the user names (toponyx-create's
// --columns, the desktop program's field) for headers the program does not
// know: each a column name of the header (letter case ignored) or a number
// from 1; empty when not named.
struct ColumnChoice {
  std::string name;
  std::string latitude;
  std::string longitude;
  std::string feature_class;
  bool empty() const { return name.empty() && latitude.empty() && longitude.empty(); }
};

// "NAME,LAT,LON[,TYPE]" as a choice of columns; false (and out unchanged)
// for any other text.
bool ParseColumnChoice(std::string_view text, ColumnChoice& out);

// What the recognition found.
struct Detection {
  const FormatRow* format = nullptr;  // null: no format takes the file
  Claim claim = Claim::kNo;
  NamedColumns columns;  // a header's columns
  int layout = 0;        // which of a format's layouts
  std::string datum;     // the datum the file names (known to the table)
  // The file names a datum the table lacks (WGS 84 is taken, and the run
  // ends with the waypoint files' warning).
  bool datum_unknown = false;
  // A table whose header has no name, latitude and longitude columns (the
  // run names it so when it gives no place).
  bool columns_missing = false;
};

// The file as the recognition of each format sees it: its name, and its
// first line, read once for all of them.
class Probe {
 public:
  // `line` (the current-line buffer) first gets the name, then every line
  // read.
  Probe(text::TextFile& file, std::string& line, std::string_view name,
        const geo::DatumTable& datums)
      : file_(file), line_(line), name_(name), datums_(datums) {
    line_.assign(name);
  }

  std::string_view name() const { return name_; }
  const geo::DatumTable& datums() const { return datums_; }
  // Line 1 by the program's line rule (text::TextFile::ReadTextLine), read
  // at the first call.
  const std::string& FirstLine() {
    if (!first_line_read_) {
      file_.ReadTextLine(line_);
      first_line_read_ = true;
    }
    return line_;
  }
  // For a recognition that reads by a rule of its own (the only format of
  // its extension): the file and the current-line buffer.
  text::TextFile& file() { return file_; }
  std::string& line() { return line_; }
  bool first_line_read() const { return first_line_read_; }
  // The columns the user named for delimited tables (none by default).
  const ColumnChoice& table_columns() const { return *table_columns_; }
  void set_table_columns(const ColumnChoice& columns) { table_columns_ = &columns; }

 private:
  text::TextFile& file_;
  std::string& line_;
  std::string_view name_;
  const geo::DatumTable& datums_;
  bool first_line_read_ = false;
  static inline const ColumnChoice kNoChoice{};
  const ColumnChoice* table_columns_ = &kNoChoice;
};

// The columns of a header line whose column names (letter case ignored,
// blanks and quotes around them removed) include the four given; false when
// one is missing. c.separator and c.quoted say how the header is cut.
bool FindNamedColumns(std::string_view header, NamedColumns& c, std::string_view name,
                      std::string_view feature_class, std::string_view latitude,
                      std::string_view longitude);

}  // namespace toponyx::readers
