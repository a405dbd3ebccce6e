// The state of one Create run: its lists, its flags, the current input file,
// and what the readers get of it (readers/Readers.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dbf/DbfTable.h"
#include "dbf/FieldText.h"
#include "dbf/StreamingIndex.h"
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

// The place record as the working table stores it: the flag byte, then the
// five fields in their order and lengths.
inline constexpr size_t kPlaceFieldLengths[5] = {45, 40, 40, 10, 10};
inline constexpr size_t kPlaceRecordLength = 146;

// The readers' places become records of the working table's layout, each
// written once, into the name index as it is built (StreamingIndex); with
// no index attached they are only counted (the reader benchmark).
class WorkingTableSink final : public readers::PlaceSink {
 public:
  void Add(std::string_view name, std::string_view full_code, std::string_view major_code,
           std::string_view latitude, std::string_view longitude) override {
    char* r = index_ ? index_->Room() : scratch_;
    r[0] = dbf::DbfFile::kLive;
    r += 1;
    size_t at = 0;
    const std::string_view fields[5] = {name, full_code, major_code, latitude, longitude};
    for (int f = 0; f < 5; ++f) {
      dbf::StoreFieldText(fields[f], r + at, kPlaceFieldLengths[f]);
      at += kPlaceFieldLengths[f];
    }
    if (index_) index_->Commit();
    ++count_;
  }
  void Attach(dbf::StreamingIndex* index) { index_ = index; }
  // Places added so far.
  const uint64_t& count() const { return count_; }

 private:
  dbf::StreamingIndex* index_ = nullptr;
  char scratch_[kPlaceRecordLength];
  uint64_t count_ = 0;
};

struct BuildContext {
  BuildContext(dbf::DbfTable& working_table, TpxSettings& tpx_settings, BuildUi& front_end)
      : table(working_table),
        run{geo::DefaultDatumTable(), sink, full_codes, world_codes, tpx_settings},
        ui(front_end) {}

  dbf::DbfTable& table;  // the working table temp.names
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
