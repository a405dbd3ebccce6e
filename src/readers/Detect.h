// The format of a staged file, recognised from its extension, its name and
// its first line (four lines of a waypoint file). The detection reads only
// what it must and leaves the file where the format's reader begins.
#pragma once

#include <string>
#include <string_view>

#include "geodesy/Datum.h"
#include "text/LineReader.h"

namespace toponyx::readers {

// The text from the last "." of a name to its end, dot included, unless a
// separator or colon follows the dot; otherwise "".
std::string_view FileExtension(std::string_view name);
// The same, with A to Z lower-cased.
std::string LowerExtension(std::string_view name);

enum class Format {
  kNone,          // no reader (another extension, a waypoint file without its marker)
  kUsaGnisText,   // a ".txt" file, reopened at line 1
  kUsaGnisPlain,  // ".usa" or no extension
  kWorldGns,      // line 1, the header, consumed
  kGeoNames,      // line 1 consumed: the reader takes it first
  kOsGazetteer,   // nothing read
  kWaypoints,     // lines 1 to 4 consumed
  kToponyxText,   // nothing read
  // Today's downloads, recognised where the detection of the formats above
  // finds nothing or what their readers would turn into garbage:
  kUsaGnisColumns,     // USA GNIS with named columns (DomesticNames "|", the
                       // gazetteer CSV); line 1, the header, consumed
  kOsOpenNames,        // OS Open Names CSV; line 1 consumed: the reader takes it first
  kOsOpenNamesHeader,  // the header file that comes with OS Open Names: no places
  kGpx,                // GPX waypoints; nothing read
};

// The column layouts of world GNS files.
enum class GnsLayout {
  kOlder,    // a header without "DATE"
  kNewer,    // a header with "DATE", UTF-8
  kCurrent,  // the current download: lower-case column names ("lat_dd", ...)
};

// Where a USA GNIS file with a header of column names has its fields.
struct UsaColumns {
  int name = 0;  // from 1; 0 when the header lacks the column
  int feature_class = 0;
  int latitude = 0;
  int longitude = 0;
  char separator = '|';
  bool quoted = false;  // fields may be quoted (RFC 4180)
};

struct Detection {
  Format format = Format::kNone;
  // The USA text-file entry was chosen because nothing else fitted line 1
  // (neither "LAT" nor "LONG" in it): such a file that gives no place is
  // most likely of a layout the program does not know.
  bool usa_by_default = false;
  UsaColumns usa_columns;                    // for kUsaGnisColumns
  GnsLayout gns_layout = GnsLayout::kNewer;  // for kWorldGns
  // For kWaypoints: line 2 as a known datum name (blanks around it
  // removed), or "WGS 84" when line 2 is no datum name as read.
  std::string waypoint_datum;
  bool waypoint_datum_unknown = false;
};

// Recognises the open file of that name; `line` (the current-line buffer)
// first gets the name, then every line the detection reads.
Detection DetectFormat(text::TextFile& file, std::string& line, std::string_view name,
                       const geo::DatumTable& datums);

}  // namespace toponyx::readers
