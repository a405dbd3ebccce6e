// The Create command: one build from a build request to the name database.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dbf/DbfTable.h"
#include "dbf/IndexRunBuilder.h"
#include "frontend/BuildUi.h"
#include "pipeline/BuildContext.h"
#include "pipeline/Choices.h"
#include "pipeline/PlaceStage.h"
#include "platform/File.h"

namespace toponyx::pipeline {

struct FileItem {
  std::string name;  // bare file name in the download folder
  bool ticked = false;
};

// What the front end hands over when Create is pressed.
struct BuildRequest {
  std::string database_name;   // as typed; blanks around it are removed
  std::string save_folder;     // used as given
  std::string staging_folder;  // used as given
  std::string download_folder;
  std::vector<FileItem> files;  // the file list, in list order
  // The place stages between the readers and the table, in order (none:
  // every place goes in as read).
  std::vector<std::shared_ptr<PlaceStage>> stages;
  // What the user chose to go in (their stages follow those above).
  Choices choices;
  // The columns of delimited tables the user named (none: found by their
  // header names).
  readers::ColumnChoice table_columns;
};

enum class BuildStatus {
  kRefused,    // a refusal message was shown; nothing else happened
  kSucceeded,  // the name database is written
  kFailed,     // error holds the message the front end shows in its error box
  kAborted,    // ended without a message (a ".gz" file that is not gzip)
  kCancelled,  // stopped by Cancel; the earlier database is untouched
};

struct BuildOutcome {
  BuildStatus status = BuildStatus::kRefused;
  std::string error;
  uint64_t places = 0;       // records written into <name>.names
  uint64_t input_bytes = 0;  // bytes of the staged files
  // What each staged file gave, and one line for each that gave no place
  // ("<file>: layout not recognised" or "<file>: no usable lines").
  std::vector<FileResult> files;
  std::vector<std::string> warnings;
  // Archives, members and files that were damaged or could not be read (one
  // line each, "<file>: <what>", a file read up to damage in it as
  // "<file>: damaged, read up to the damage (<what was found>)"); the run
  // kept what they gave.
  std::vector<std::string> damage;
  // What the place stages did, one line each ("1,204 places outside the
  // area left out"), then the merge of duplicates ("3,118 duplicates
  // merged").
  std::vector<std::string> reports;
  // Set when the table grew past the size limit (the front end was warned).
  bool large_table = false;
};

// The warning the front ends show after a run for the files that gave no
// place: a first line, then the lines of the outcome's warnings.
std::string NoPlacesWarning(const std::vector<std::string>& warnings);
// The outcome's line for a file, "" for a file that read well.
std::string FileWarning(const FileResult& file);

// Lives as long as the program: it owns the working table, the output table,
// and the settings of Toponyx text files that outlive a run.
class Builder {
 public:
  Builder(BuildUi& ui, std::string program_folder,
          platform::FileSystem& fs = platform::DefaultFileSystem());
  ~Builder();

  // The Create command. Refusals and the run's own messages go through the
  // BuildUi; a failure's message comes back in the outcome, after the finish
  // step has run, for the front end's error box.
  BuildOutcome Create(const BuildRequest& request);
  // Stops the running Create at its next block of work (within a fraction
  // of a second); it then runs its finish step and returns kCancelled. Safe
  // to call from another thread and from a signal handler.
  void Cancel();

  // The output table (`dbf2`): after a run it names the database just
  // written; the View window opens it.
  dbf::DbfTable& OutputTable();

  // Set when a run staged a waypoint file; cleared at start-up.
  bool waypoint_staged() const { return waypoint_staged_; }
  void clear_waypoint_staged() { waypoint_staged_ = false; }

  // The formats the dispatch recognises (tests put tables of their own in
  // their place); null for the program's.
  void set_formats(const FormatTable* formats);
  // Whether the name index's runs are sorted on a thread of their own while
  // the files are read (the default), and the index's memory and fan-in
  // (tests make them small to get many runs and merges); every way gives
  // the same bytes.
  void set_sort_thread(bool on);
  void set_index_options(const dbf::IndexOptions& options);
  // The table size past which the run warns (tests make it small).
  void set_table_size_limit(uint64_t bytes);

  struct Impl;  // the tables and components the builder owns

 private:
  std::unique_ptr<Impl> impl_;
  bool waypoint_staged_ = false;
  TpxSettings tpx_;
};

}  // namespace toponyx::pipeline
