// The output of a run: the working table's index walked in name order into
// an ordered-place writer. The name database (<name>.names, the table, and
// <name>.types beside it) is the writer of today.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dbf/DbfTable.h"
#include "dbf/NameIndex.h"
#include "dbf/StreamingIndex.h"
#include "frontend/BuildUi.h"
#include "platform/File.h"
#include "platform/RunFolder.h"

namespace toponyx::pipeline {

// The name index of the working table, temp.ndx in the folder, built while
// the places are read (each place record written once, into it). threaded:
// its runs are sorted on a thread of their own.
// with_numbers: each entry also carries the place's numbers and class
// (a field of the index only, for the merge of duplicates).
std::unique_ptr<dbf::StreamingIndex> StartWorkingIndex(
    platform::FileSystem& fs, const std::string& folder, bool threaded,
    const std::optional<dbf::IndexOptions>& options = std::nullopt, bool with_numbers = false);

// One place of the ordered walk: its five fields as the working table
// stores them (OEM bytes, possibly with blanks around them).
struct StoredPlace {
  const char* field[5];
  size_t length[5];
  // The place's numbers and class (PlaceNumbers) when the index carries
  // them (duplicates are merged), else null.
  const char* numbers = nullptr;
  size_t numbers_length = 0;
};

// Where the places go in name order.
class OrderedPlaceWriter {
 public:
  virtual ~OrderedPlaceWriter() = default;
  // Before the first place: how many places the walk holds.
  virtual void Begin(uint64_t places) = 0;
  virtual void Write(const StoredPlace& place) = 0;
  // After the last place.
  virtual void End() = 0;
};

// Walks the index in name order into the writer; returns the number of
// places walked. The front end hears of the progress, and processes window
// events, now and then. with_numbers: the index was started with them.
uint64_t WalkInNameOrder(dbf::NameIndex& index, OrderedPlaceWriter& writer, BuildUi& ui,
                         bool with_numbers = false);

// The name database's files, and the rule of its name.
struct DatabaseFiles {
  std::string names;  // <folder>/<name>.names
  std::string types;  // <folder>/<name>.types
};
DatabaseFiles DatabaseFilesIn(const std::string& folder, std::string_view name);
// The name as a run takes it: blanks around it removed.
std::string DatabaseName(std::string_view typed);
// True when the name holds a character that no file name may hold
// (\ / : * ? " < > |).
bool NameHasInvalidCharacters(std::string_view name);
// Why a name that passes that rule cannot name a database ("" when it
// can): a control character (a line feed would break the one path a line
// that scripts read), or a length that would take the working file
// "<name>.names.part" past the 255 bytes of a file name.
std::string DatabaseNameProblem(std::string_view name);

// The name database as an ordered-place writer: the table is written under
// its working name, the types file beside it, and both are put in place by
// Commit once both are whole.
class NameDatabaseWriter final : public OrderedPlaceWriter {
 public:
  // output: the output table object (the View window opens the database
  // through it); work: the finished files' names while they are written
  // (in the run's own folder); threaded: blocks of records are written on
  // a thread of their own.
  NameDatabaseWriter(dbf::DbfTable& output, platform::FileSystem& fs, DatabaseFiles final_files,
                     DatabaseFiles work, bool threaded);
  ~NameDatabaseWriter() override;

  void Begin(uint64_t places) override;
  void Write(const StoredPlace& place) override;
  void End() override;
  // The types file: the datum lines, the full codes, the major codes.
  void WriteTypes(const std::vector<std::string>& full_codes);
  // Both files put in place as one, through a commit record in the run
  // folder that holds the working files (see platform::RunFolder): a run
  // killed between the two renames is completed by the next one. The
  // files are on the disk before the record, the record before the first
  // rename, and the folder's new names after the second. Failures of the
  // other calls name the working files; the caller names the final ones to
  // the user.
  void Commit(platform::RunFolder& folder);
  const DatabaseFiles& work_files() const { return work_; }
  const DatabaseFiles& final_files() const { return final_; }
  uint64_t written() const { return written_; }

 private:
  void Hand();

  dbf::DbfTable& output_;
  platform::FileSystem& fs_;
  DatabaseFiles final_, work_;
  bool threaded_;
  struct Blocks;
  std::unique_ptr<Blocks> blocks_;
  uint64_t written_ = 0;
};

// The .types file's text.
std::string TypesFileText(const std::vector<std::string>& full_codes);
void WriteTypesFile(platform::FileSystem& fs, const std::string& path,
                    const std::vector<std::string>& full_codes);

}  // namespace toponyx::pipeline
