// One reader per input format, behind one narrow interface: a reader gets
// the open input (where the format's recognition left it, with the line the
// recognition read) and what a run shares with it (where its places go, the
// code lists, the settings of Toponyx text files), reads the file to its
// end and returns without closing it. Readers never report and never stop
// on a bad line.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "geodesy/Datum.h"
#include "readers/Detect.h"
#include "readers/Place.h"
#include "readers/PlaceRecord.h"
#include "text/LineReader.h"

namespace toponyx::readers {

// Grid of the data lines of Toponyx text files.
enum class TpxGrid { kLatLong = 0, kUtm = 1, kNzmg = 2 };

// Reader settings of Toponyx text files. Grid and hemisphere are reset at
// the start of every run; the default zone and the datum name live for the
// whole program (they start empty and are never reset).
struct TpxSettings {
  TpxGrid grid = TpxGrid::kLatLong;
  std::string default_zone;
  std::string hemisphere = "N";
  std::string datum_name;
};

// One staged file for its reader.
struct ReaderInput {
  text::TextFile& file;    // open, where the recognition left it
  std::string& line;       // the current-line buffer, as the recognition left it
  std::string_view name;   // the staged file's name
  const Detection& found;  // what the recognition found
  std::string_view path;   // the staged file's path, for readers that open it themselves
};

// What the readers of one run share.
struct ReaderRun {
  const geo::DatumTable& datums;
  PlaceSink& places;
  FullCodeList& full_codes;
  const WorldCodeList& world_codes;  // loaded before a format that needs it is read
  TpxSettings& tpx;
  // Whether places should carry the further names their source gives, and
  // the languages whose names count among them (OpenStreetMap's
  // "name:<language>"; none by default).
  bool want_alternate_names = false;
  std::vector<std::string> languages = {};
  // The columns the user named for delimited tables (--columns).
  ColumnChoice table_columns = {};
  // For readers that read their file by other means than in.file: called
  // now and then with the bytes of the file read so far (the progress bar;
  // a cancelled run stops here, by the exception it throws). in.file
  // reports by itself.
  std::function<void(uint64_t)> file_progress = {};
  // Set by a reader whose file ends in damage (a download cut short, a
  // broken block): what it found there. The places before it are kept; the
  // dispatch names the file in the run's warnings and clears this.
  std::string file_damage = {};
  // Set by the Toponyx text reader when a datum line names no known datum,
  // and by the dispatch when a waypoint file's line 2 names none.
  bool user_file_bad_datum = false;
  bool waypoint_bad_datum = false;
};

// For the formats whose first line the recognition took as data (GeoNames,
// OS Open Names): that line, then every further line by the program's line
// rule, each to line(text).
template <typename Line>
void EachLineFromTheFirst(ReaderInput& in, const Line& line) {
  line(in.line);
  while (!in.file.Eof()) {
    in.file.ReadTextLine(in.line);
    line(in.line);
  }
}

}  // namespace toponyx::readers
