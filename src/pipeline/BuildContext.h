// The state of one Create run that the pipeline and the readers share. A
// reader is an operation over it: void ReadXxx(BuildContext&).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dbf/DbfTable.h"
#include "frontend/BuildUi.h"
#include "readers/PlaceRecord.h"
#include "text/LineReader.h"

namespace toponyx::pipeline {

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

struct StagedFile {
  std::string name;    // as the readers see it (decides the format)
  std::string folder;  // folder that holds it
  uint64_t size = 0;   // bytes, when staged
};

struct BuildContext;

// The readers the format dispatch calls, one per detected format.
struct ReaderTable {
  using Reader = void (*)(BuildContext&);
  Reader usa_gnis_text_file;
  Reader usa_gnis_plain;
  Reader world_gns;
  Reader geonames;
  Reader os_gazetteer;
  Reader waypoints;
  Reader toponyx_text;
};
// The program's readers.
const ReaderTable& DefaultReaders();

struct BuildContext {
  BuildContext(dbf::DbfTable& working_table, TpxSettings& tpx_settings, BuildUi& front_end)
      : table(working_table), tpx(tpx_settings), ui(front_end) {}

  dbf::DbfTable& table;  // the working table temp.names, open for appending
  TpxSettings& tpx;
  BuildUi& ui;
  std::string program_folder;  // WorldCodes.list
  const ReaderTable* readers = &DefaultReaders();

  // Lists of the run.
  std::vector<std::string> selected;  // ticked names, in list order
  std::vector<StagedFile> staged;
  size_t staged_index = 0;   // the staged file being read
  uint64_t input_bytes = 0;  // sum of the staged files' sizes
  uint64_t places = 0;       // appended to the working table
  readers::WorldCodeList world_codes;
  readers::FullCodeList full_codes;

  // The current input file and the current-line buffer.
  text::TextFile input;
  std::string line;

  // Run flags, cleared at the start of every accepted run.
  bool any_ticked = false;
  bool waypoint_header = false;
  bool waypoint_bad_datum = false;
  bool user_file_bad_datum = false;
  bool os_gazetteer = false;
  bool geonames = false;
  bool world_gns_header = false;
  bool world_gns_current = false;  // the current GNS download's named columns
  bool usa_header = false;

  std::string waypoint_datum = "WGS 84";

  // Scratch buffers a reader may reuse for its fields (no allocation per
  // line once grown).
  std::string scratch[6];

  // The staged file being read.
  const StagedFile& Current() const { return staged[staged_index]; }

  // Appends one place record: Append, the fields by position, Post.
  // Fields passed as nullptr-free views; MAJOR_CODE is set only when
  // set_major is true (it is blank either way when not set).
  void AppendPlace(std::string_view name, std::string_view full_code, std::string_view major_code,
                   std::string_view latitude, std::string_view longitude) {
    table.Append();
    table.SetField(readers::kName, name);
    table.SetField(readers::kFullCode, full_code);
    table.SetField(readers::kMajorCode, major_code);
    table.SetField(readers::kLatitude, latitude);
    table.SetField(readers::kLongitude, longitude);
    table.Post();
    ++places;
  }
};

}  // namespace toponyx::pipeline
