// One reader per input format, behind one narrow interface: a reader gets
// the open input (where the format detection left it, with the line the
// detection read) and what a run shares with it (where its places go, the
// code lists, the settings of Toponyx text files), reads the file to its
// end and returns without closing it. Readers never report and never stop
// on a bad line.
#pragma once

#include <string>
#include <string_view>

#include "geodesy/Datum.h"
#include "readers/Detect.h"
#include "readers/PlaceRecord.h"
#include "text/LineReader.h"

namespace toponyx::readers {

// Where a reader's places go, one record at a time.
class PlaceSink {
 public:
  virtual ~PlaceSink() = default;
  virtual void Add(std::string_view name, std::string_view full_code, std::string_view major_code,
                   std::string_view latitude, std::string_view longitude) = 0;
};

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
  text::TextFile& file;    // open, where the detection left it
  std::string& line;       // the current-line buffer, as the detection left it
  std::string_view name;   // the staged file's name
  const Detection& found;  // what the detection found
};

// What the readers of one run share.
struct ReaderRun {
  const geo::DatumTable& datums;
  PlaceSink& places;
  FullCodeList& full_codes;
  const WorldCodeList& world_codes;
  TpxSettings& tpx;
  // Set by the Toponyx text reader when a datum line names no known datum.
  bool user_file_bad_datum = false;
};

using Reader = void (*)(ReaderInput& in, ReaderRun& run);

// For the formats whose first line the detection took as data (GeoNames,
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

// USA GNIS: the text-file entry (a ".txt" file recognised by its first line,
// reopened at line 1) and the plain entry (".usa" or no extension).
void ReadUsaGnisTextFile(ReaderInput& in, ReaderRun& run);
void ReadUsaGnisPlain(ReaderInput& in, ReaderRun& run);
// USA GNIS with named columns (DomesticNames, the gazetteer CSV), after the
// header line.
void ReadUsaGnisColumns(ReaderInput& in, ReaderRun& run);
// OS Open Names, from line 1 (in in.line).
void ReadOsOpenNames(ReaderInput& in, ReaderRun& run);
// GPX waypoints.
void ReadGpx(ReaderInput& in, ReaderRun& run);
// World GNS, after line 1 (the header, in in.line).
void ReadWorldGns(ReaderInput& in, ReaderRun& run);
// GeoNames: the line in in.line first, then the rest.
void ReadGeoNames(ReaderInput& in, ReaderRun& run);
// Ordnance Survey 1:50 000 gazetteer, from line 1.
void ReadOsGazetteer(ReaderInput& in, ReaderRun& run);
// Carthovista waypoint file, from line 5, on the datum of line 2.
void ReadWaypoints(ReaderInput& in, ReaderRun& run);
// Toponyx text file, from line 1.
void ReadToponyxText(ReaderInput& in, ReaderRun& run);

// The readers the format dispatch calls, one per detected format (tests
// put recorders in their place).
struct ReaderTable {
  Reader usa_gnis_text_file;
  Reader usa_gnis_plain;
  Reader world_gns;
  Reader geonames;
  Reader os_gazetteer;
  Reader waypoints;
  Reader toponyx_text;
  Reader usa_gnis_columns = ReadUsaGnisColumns;
  Reader os_open_names = ReadOsOpenNames;
  Reader gpx = ReadGpx;

  // The reader of a detected format; null for kNone.
  Reader For(Format format) const;
};
// The program's readers.
const ReaderTable& DefaultReaders();

}  // namespace toponyx::readers
