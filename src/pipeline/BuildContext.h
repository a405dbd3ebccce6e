// The state of one Create run: its lists, its flags, the current input file,
// and what the readers get of it (readers/Readers.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dbf/DbfTable.h"
#include "frontend/BuildUi.h"
#include "readers/PlaceRecord.h"
#include "readers/Readers.h"
#include "text/LineReader.h"

namespace toponyx::pipeline {

using readers::ReaderTable;
using readers::TpxGrid;
using readers::TpxSettings;

struct StagedFile {
  std::string name;          // as the readers see it (decides the format)
  std::string folder;        // folder that holds it
  uint64_t size = 0;         // bytes, when staged
  std::string archive = {};  // the ticked archive it came from ("" for a plain file)
};

// What one staged file gave.
struct FileResult {
  std::string name;  // as the user knows it: "<archive>: <member>" for a member
  uint64_t places = 0;
  // Why a file gave no place (kNone when it gave some, or gives none by design).
  enum class Problem { kNone, kLayoutNotRecognised, kNoUsableLines } problem = Problem::kNone;
};

// The readers' places go into the working table: Append, the fields by
// position, Post.
class WorkingTableSink final : public readers::PlaceSink {
 public:
  explicit WorkingTableSink(dbf::DbfTable& table) : table_(table) {}

  void Add(std::string_view name, std::string_view full_code, std::string_view major_code,
           std::string_view latitude, std::string_view longitude) override {
    table_.Append();
    table_.SetField(readers::kName, name);
    table_.SetField(readers::kFullCode, full_code);
    table_.SetField(readers::kMajorCode, major_code);
    table_.SetField(readers::kLatitude, latitude);
    table_.SetField(readers::kLongitude, longitude);
    table_.Post();
    ++count_;
  }
  // Places added so far.
  const uint64_t& count() const { return count_; }

 private:
  dbf::DbfTable& table_;
  uint64_t count_ = 0;
};

struct BuildContext {
  BuildContext(dbf::DbfTable& working_table, TpxSettings& tpx_settings, BuildUi& front_end)
      : table(working_table),
        sink(working_table),
        run{geo::DefaultDatumTable(), sink, full_codes, world_codes, tpx_settings},
        ui(front_end) {}

  dbf::DbfTable& table;  // the working table temp.names, open for appending
  WorkingTableSink sink;
  readers::FullCodeList full_codes;
  readers::WorldCodeList world_codes;
  readers::ReaderRun run;  // what the readers share
  BuildUi& ui;
  std::string program_folder;  // WorldCodes.list
  const ReaderTable* readers = &readers::DefaultReaders();

  // Lists of the run.
  std::vector<std::string> selected;  // ticked names, in list order
  std::vector<StagedFile> staged;
  uint64_t input_bytes = 0;  // sum of the staged files' sizes

  // The current input file and the current-line buffer.
  text::TextFile input;
  std::string line;

  // Set when a waypoint file of the run names a datum the table lacks.
  bool waypoint_bad_datum = false;

  // What each staged file gave, in list order.
  std::vector<FileResult> results;
};

}  // namespace toponyx::pipeline
