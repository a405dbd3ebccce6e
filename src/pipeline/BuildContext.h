// The state of one Create run: its lists, its flags, the current input file,
// and what the readers get of it (readers/Readers.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dbf/DbfFile.h"
#include "dbf/FieldText.h"
#include "dbf/StreamingIndex.h"
#include "frontend/BuildUi.h"
#include "pipeline/PlaceStage.h"
#include "platform/File.h"
#include "readers/Formats.h"
#include "readers/PlaceRecord.h"
#include "readers/Readers.h"
#include "text/LineReader.h"

namespace toponyx::pipeline {

using readers::FormatTable;
using readers::TpxGrid;
using readers::TpxSettings;

struct StagedFile {
  std::string name;          // as the readers see it (decides the format)
  std::string folder;        // folder that holds it
  uint64_t size = 0;         // bytes, when staged
  std::string archive = {};  // the ticked archive it came from ("" for a plain file)
  bool no_reader = false;    // a ticked file of a kind the program does not read
};

// What one staged file gave.
struct FileResult {
  std::string name;     // as the user knows it: "<archive>: <member>" for a member
  uint64_t places = 0;  // records it put into the table
  uint64_t read = 0;    // places its reader gave (a stage may leave some out)
  // Why a file gave no place (kNone when its reader gave some, or gives
  // none by design), or that it was read only up to damage in it.
  enum class Problem {
    kNone,
    kLayoutNotRecognised,
    kNoUsableLines,
    kNoColumns,  // a table without name, latitude and longitude columns
    kNoReader,   // a file of a kind the program does not read, named by the user
    kDamaged,    // read up to damage in it; its places before it are kept
  } problem = Problem::kNone;
  std::string damage = {};  // kDamaged: what its reader found there
};

// The place record as the working table stores it: the flag byte, then the
// five fields in their order and lengths.
inline constexpr size_t kPlaceFieldLengths[5] = {45, 40, 40, 10, 10};
inline constexpr size_t kPlaceRecordLength = 146;

// The last link of the place chain: each place becomes a record of the
// working table's layout, written once, into the name index as it is built
// (StreamingIndex); with no index attached they are only counted (the
// reader benchmark).
class WorkingTableSink final : public readers::PlaceSink {
 public:
  void Add(const readers::Place& place) override {
    char* r = index_ ? index_->Room() : scratch_;
    r[0] = dbf::DbfFile::kLive;
    r += 1;
    const std::string_view fields[5] = {place.name, place.full_code, place.major_code,
                                        place.latitude_text, place.longitude_text};
    size_t at = 0;
    for (int f = 0; f < 5; ++f) {
      dbf::StoreFieldText(fields[f], r + at, kPlaceFieldLengths[f]);
      at += kPlaceFieldLengths[f];
    }
    if (with_numbers_) StoreNumbers(place, r + at);
    if (index_) index_->Commit();
    ++count_;
  }
  void Attach(dbf::StreamingIndex* index) { index_ = index; }
  // Whether each record also carries the place's numbers and class (the
  // index was started with them).
  void CarryNumbers(bool on) { with_numbers_ = on; }
  // Places stored so far.
  const uint64_t& count() const { return count_; }

 private:
  static void StoreNumbers(const readers::Place& place, char* out);
  dbf::StreamingIndex* index_ = nullptr;
  bool with_numbers_ = false;
  char scratch_[kPlaceRecordLength + 32];
  uint64_t count_ = 0;
};

struct BuildContext {
  BuildContext(TpxSettings& tpx_settings, BuildUi& front_end,
               const std::vector<std::shared_ptr<PlaceStage>>& stages = {},
               platform::FileSystem& file_system = platform::DefaultFileSystem())
      : chain(stages, sink),
        run{geo::DefaultDatumTable(), chain, full_codes, world_codes, tpx_settings},
        ui(front_end),
        fs(file_system),
        input(file_system) {}

  WorkingTableSink sink;  // the chain's last link
  PlaceChain chain;       // where the readers' places go
  readers::FullCodeList full_codes;
  readers::WorldCodeList world_codes;
  readers::ReaderRun run;  // what the readers share
  BuildUi& ui;
  platform::FileSystem& fs;
  std::string program_folder;  // WorldCodes.list
  const FormatTable* formats = &readers::DefaultFormats();

  // Lists of the run.
  std::vector<std::string> selected;  // ticked names, in list order
  std::vector<StagedFile> staged;
  uint64_t input_bytes = 0;  // sum of the staged files' sizes

  // The current input file and the current-line buffer.
  text::TextFile input;
  std::string line;

  // What each staged file gave, in list order.
  std::vector<FileResult> results;
  // Files and members that were damaged or could not be read, one line
  // each ("<file>: the data are damaged or cut short").
  std::vector<std::string> damage;
};

}  // namespace toponyx::pipeline
