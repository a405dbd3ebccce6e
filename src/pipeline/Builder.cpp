#include <algorithm>
#include <atomic>
#include <exception>
#include <optional>

#include "pipeline/Build.h"
#include "pipeline/Dispatch.h"
#include "pipeline/Duplicates.h"
#include "pipeline/Output.h"
#include "pipeline/Staging.h"
#include "platform/Error.h"
#include "platform/RunFolder.h"
#include "platform/System.h"
#include "text/Text.h"

namespace toponyx::pipeline {

namespace {

constexpr std::string_view kInvalidNameMessage =
    "A filename cannot contain any of the following characters:\r\n\\ / : * ? \" < > |";
constexpr std::string_view kNoFilesMessage = "There are no files in the list or none selected.";
constexpr std::string_view kNoNameMessage =
    "Please enter the Database Filename.\n\r\n\rFor example:\n\rUse the name of the country or "
    "region.";
constexpr std::string_view kWaypointDatumWarning =
    "One or more of the Waypoint Files has an unrecognised Datum.\r\n\r\nWGS 84 Datum has been "
    "assumed and the locations have been included in your database. If this is not the correct "
    "Datum the locations will be incorrect.";
constexpr std::string_view kUserFileDatumWarning =
    "One or more of the User Defined Files has an unrecognised Datum.\r\nWGS 84 Datum has been "
    "assumed and the locations have been included in your database. If this is not the correct "
    "Datum the locations will be incorrect.";

// Messages name the file the user asked for, not the working one.
std::string Retarget(std::string message, const std::string& temp, const std::string& final_path) {
  for (size_t p = message.find(temp); p != std::string::npos;
       p = message.find(temp, p + final_path.size())) {
    message.replace(p, temp.size(), final_path);
  }
  return message;
}

// The front end as the run's lower layers see it: everything is passed on,
// and every call from a long loop (a block read, a block of archive data,
// a run of the index, a stretch of the copy) is also where a cancelled run
// stops.
class RunUi final : public BuildUi {
 public:
  RunUi(BuildUi& front_end, const std::atomic<bool>& cancel) : ui_(front_end), cancel_(cancel) {}

  void ShowMessage(MessageKind kind, std::string_view text, std::string_view caption,
                   MessageButtons buttons) override {
    ui_.ShowMessage(kind, text, caption, buttons);
  }
  void StageStarted(Stage stage) override { ui_.StageStarted(stage); }
  void StageFinished(Stage stage) override { ui_.StageFinished(stage); }
  void ProgressClosed() override { ui_.ProgressClosed(); }
  void EnableView() override { ui_.EnableView(); }
  void InputProgress(uint64_t done, uint64_t total) override {
    CheckCancelled();
    ui_.InputProgress(done, total);
    ui_.RunProgress(RunPhase::kReading, done, total, Places());
  }
  void RunProgress(RunPhase phase, uint64_t done, uint64_t total, uint64_t places) override {
    CheckCancelled();
    ui_.RunProgress(phase, done, total, places);
  }
  void ProcessWindowEvents() override {
    CheckCancelled();
    ui_.ProcessWindowEvents();
  }
  void CheckCancelled() const {
    if (cancel_.load(std::memory_order_relaxed)) throw Cancelled();
  }
  // The places the running run has appended so far (none between runs).
  void CountPlaces(const uint64_t* places) { places_ = places; }
  uint64_t Places() const { return places_ ? *places_ : 0; }

 private:
  BuildUi& ui_;
  const std::atomic<bool>& cancel_;
  const uint64_t* places_ = nullptr;
};

}  // namespace

struct Builder::Impl {
  Impl(BuildUi& front_end, std::string folder, platform::FileSystem& file_system)
      : ui(front_end),
        run_ui(front_end, cancel),
        program_folder(std::move(folder)),
        fs(file_system),
        dbf1(&run_ui, file_system, program_folder),
        dbf2(&run_ui, file_system, program_folder),
        staging(run_ui, file_system) {}

  BuildUi& ui;
  std::atomic<bool> cancel{false};  // set by Cancel, cleared when a run starts
  RunUi run_ui;                     // what the tables and the archives report to
  std::string program_folder;
  platform::FileSystem& fs;
  dbf::DbfTable dbf1;  // the working table
  dbf::DbfTable dbf2;  // the output table
  Stager staging;      // archive expansion and the staged file list
  const FormatTable* formats = &readers::DefaultFormats();
  bool sort_thread = true;  // the index's runs sorted beside the reading
  std::optional<dbf::IndexOptions> index_options;
  uint64_t table_size_limit = kLargestOpenedTable;
};

void Builder::set_table_size_limit(uint64_t bytes) {
  impl_->table_size_limit = bytes;
}

void Builder::set_sort_thread(bool on) {
  impl_->sort_thread = on;
}

void Builder::set_index_options(const dbf::IndexOptions& options) {
  impl_->index_options = options;
}

void Builder::Cancel() {
  impl_->cancel.store(true, std::memory_order_relaxed);
}

void Builder::set_formats(const FormatTable* formats) {
  impl_->formats = formats ? formats : &readers::DefaultFormats();
}

Builder::Builder(BuildUi& ui, std::string program_folder, platform::FileSystem& fs)
    : impl_(std::make_unique<Impl>(ui, std::move(program_folder), fs)) {}

Builder::~Builder() = default;

dbf::DbfTable& Builder::OutputTable() {
  return impl_->dbf2;
}

namespace {

// One accepted run, from the folders to the finish step.
//
// Every file of the run lies in a private folder of its own: the working
// table, its index and the expanded archives in one inside the staging
// folder, the new database under its ".part" names in one inside the save
// folder (which also claims the database's name, so that a second run
// writing the same database at the same time fails instead of mixing its
// files with ours). Both go with all they hold at the end, so nothing the
// user keeps in those folders is ever replaced or removed, and two runs
// never share a working file.
class Run {
 public:
  Run(Builder::Impl& b, const BuildRequest& request, std::string name, TpxSettings& tpx,
      bool& waypoint_staged)
      : b_(b),
        request_(request),
        name_(std::move(name)),
        ui_(b.run_ui),
        stages_(StagesOf(request)),
        ctx_(tpx, ui_, stages_, b.fs),
        waypoint_staged_(waypoint_staged) {
    ctx_.program_folder = b.program_folder;
    ctx_.formats = b.formats;
    ctx_.run.table_columns = request.table_columns;
    ctx_.run.want_alternate_names = request.choices.alternate_names;
    ctx_.run.languages = request.choices.languages;
    ui_.CountPlaces(&ctx_.sink.count());
    // The run flags start cleared (the context is new); so do the two
    // settings of Toponyx text files that live for one run.
    tpx.grid = TpxGrid::kLatLong;
    tpx.hemisphere = "N";
  }

  BuildOutcome Execute() {
    BuildOutcome outcome;
    try {
      Build(outcome);
      outcome.status = BuildStatus::kSucceeded;
    } catch (const SilentAbort&) {
      outcome.status = BuildStatus::kAborted;
    } catch (const Cancelled&) {
      outcome.status = BuildStatus::kCancelled;
    } catch (const std::exception& e) {
      outcome.status = BuildStatus::kFailed;
      outcome.error = e.what();
    }
    outcome.files = std::move(ctx_.results);
    for (const FileResult& f : outcome.files) {
      // A file read up to damage in it is listed with the damaged archives.
      std::string warning = FileWarning(f);
      if (warning.empty()) continue;
      auto& list = f.problem == FileResult::Problem::kDamaged ? ctx_.damage : outcome.warnings;
      list.push_back(std::move(warning));
    }
    outcome.reports = ctx_.chain.Reports();
    if (merged_report_) outcome.reports.push_back(*merged_report_);
    outcome.damage = std::move(ctx_.damage);
    Finish();
    return outcome;
  }

 private:
  void Build(BuildOutcome& outcome) {
    // Folders: the staging folder, then the save folder, with their parents.
    for (const std::string* folder : {&request_.staging_folder, &request_.save_folder}) {
      if (folder->empty()) throw Error("Unable to create directory");
      b_.fs.CreateDirectories(*folder);
    }
    const DatabaseFiles database = DatabaseFilesIn(request_.save_folder, name_);
    names_path_ = database.names;
    work_ = OpenRunFolder(request_.staging_folder, {},
                          platform::JoinPath(request_.staging_folder, "temp.names"));
    output_ = OpenRunFolder(request_.save_folder, name_, database.names);

    for (const FileItem& item : request_.files) {
      if (item.ticked) ctx_.selected.push_back(item.name);
    }

    // Stage 1: archives are expanded, every file to read is listed.
    Mark(Stage::kDecompressing, true);
    staging_started_ = true;
    b_.staging.StageAll(ctx_, request_.download_folder, work_->path());
    for (const StagedFile& f : ctx_.staged) {
      if (readers::LowerExtension(f.name) == ".wpt") waypoint_staged_ = true;
      ctx_.input_bytes += f.size;
    }
    outcome.input_bytes = ctx_.input_bytes;
    Mark(Stage::kDecompressing, false);

    // Stage 2: the working table, every file read, the name index.
    Mark(Stage::kCreatingTemporary, true);
    const bool merging = request_.choices.merge_metres.has_value();
    CreateWorkingTable(b_.dbf1, work_->path());
    {
      const std::unique_ptr<dbf::StreamingIndex> building =
          StartWorkingIndex(b_.fs, work_->path(), b_.sort_thread, b_.index_options, merging);
      ctx_.sink.CarryNumbers(merging);
      ctx_.sink.Attach(building.get());
      ReadStagedFiles(ctx_);
      ctx_.sink.Attach(nullptr);
      // A run that found no place never replaces a database with an empty
      // one.
      if (ctx_.sink.count() == 0 && b_.fs.Exists(database.names)) {
        throw Error("No place was read from the files: " + database.names + " is kept as it was.");
      }
      names_ = building->Finish([this](uint64_t, uint64_t) { ui_.CheckCancelled(); });
    }
    ui_.RunProgress(RunPhase::kIndexing, 1, 1, ctx_.sink.count());
    Mark(Stage::kCreatingTemporary, false);

    // Stage 3: the ordered walk into the database, under its working names.
    Mark(Stage::kGenerating, true);
    view_holds_output_ = b_.dbf2.Active();
    const DatabaseFiles work{platform::JoinPath(output_->path(), name_ + ".names.part"),
                             platform::JoinPath(output_->path(), name_ + ".types.part")};
    NameDatabaseWriter writer(b_.dbf2, b_.fs, database, work, b_.sort_thread);
    TableSizeWatch watch(writer, ui_, b_.table_size_limit);
    std::optional<DuplicateMerger> merger;
    if (merging) merger.emplace(watch, *request_.choices.merge_metres);
    try {
      WalkInNameOrder(*names_, merger ? static_cast<OrderedPlaceWriter&>(*merger) : watch, ui_,
                      merging);
      outcome.places = writer.written();
      outcome.large_table = watch.warned();
      if (merger) merged_report_ = merger->Report();
      names_->Close();
      names_.reset();
    } catch (const Error& e) {
      throw Error(Retarget(e.what(), work.names, database.names));
    }
    Mark(Stage::kGenerating, false);

    // Stage 4: the types file, then both files put in place.
    Mark(Stage::kSaving, true);
    try {
      writer.WriteTypes(ctx_.full_codes.Items());
    } catch (const Error& e) {
      throw Error(Retarget(e.what(), work.types, database.types));
    }
    ui_.CheckCancelled();  // the last moment a cancel keeps the earlier database
    writer.Commit(*output_);
    Mark(Stage::kSaving, false);
  }

  // A private folder of the run in parent; `claim` is the database name for
  // the save folder. A failure names the file the run would have made there.
  std::unique_ptr<platform::RunFolder> OpenRunFolder(const std::string& parent,
                                                     std::string_view claim,
                                                     const std::string& file) {
    platform::RunFolder::Result result;
    std::string reason;
    auto folder = platform::RunFolder::Open(parent, claim, result, reason);
    if (result == platform::RunFolder::Result::kClaimed) {
      throw Error("Cannot create file " + file + ": another run is writing this database");
    }
    if (!folder) throw Error("Cannot create file " + file + (reason.empty() ? "" : ": " + reason));
    return folder;
  }

  void Mark(Stage stage, bool started) {
    if (started) {
      b_.ui.StageStarted(stage);
    } else {
      b_.ui.StageFinished(stage);
    }
    ui_.ProcessWindowEvents();
  }

  // Runs after success and failure alike.
  void Finish() {
    // Tables, the index and the input file still open after a failure are
    // closed before their files go (a file open on Windows cannot be removed).
    names_.reset();
    ctx_.input.Close();
    CloseQuietly(b_.dbf1);
    if (!view_holds_output_) CloseQuietly(b_.dbf2);
    if (!b_.dbf2.Active() && !names_path_.empty()) {
      try {
        b_.dbf2.SetTableName(names_path_);  // the View window opens this
      } catch (const std::exception&) {
      }
    }
    if (staging_started_) b_.staging.CleanUp();
    output_.reset();  // the run's folders, with all they hold
    work_.reset();
    const bool waypoint_warning = ctx_.run.waypoint_bad_datum;
    const bool user_file_warning = ctx_.run.user_file_bad_datum;
    ctx_.staged.clear();
    ctx_.selected.clear();
    ctx_.world_codes.Clear();
    ctx_.full_codes.Clear();

    ui_.CountPlaces(nullptr);
    b_.ui.EnableView();
    b_.ui.ProgressClosed();
    b_.ui.ProcessWindowEvents();
    if (waypoint_warning) b_.ui.ShowMessage(MessageKind::kWarning, kWaypointDatumWarning);
    if (user_file_warning) b_.ui.ShowMessage(MessageKind::kWarning, kUserFileDatumWarning);
  }

  static void CloseQuietly(dbf::DbfTable& table) {
    try {
      if (table.Active()) table.Close();
    } catch (const std::exception&) {
    }
  }

  Builder::Impl& b_;
  const BuildRequest& request_;
  std::string name_;
  static std::vector<std::shared_ptr<PlaceStage>> StagesOf(const BuildRequest& request) {
    std::vector<std::shared_ptr<PlaceStage>> stages = request.stages;
    for (auto& stage : MakeStages(request.choices)) stages.push_back(std::move(stage));
    return stages;
  }

  RunUi& ui_;
  std::vector<std::shared_ptr<PlaceStage>> stages_;  // the request's, then the choices'
  BuildContext ctx_;
  std::optional<std::string> merged_report_;
  bool& waypoint_staged_;
  bool staging_started_ = false;
  bool view_holds_output_ = false;  // the View window has the output table open
  std::string names_path_;
  std::unique_ptr<dbf::NameIndex> names_;        // the working table's index
  std::unique_ptr<platform::RunFolder> work_;    // in the staging folder
  std::unique_ptr<platform::RunFolder> output_;  // in the save folder
};

}  // namespace

std::string NoPlacesWarning(const std::vector<std::string>& warnings) {
  std::string text =
      warnings.size() == 1 ? "This file gave no places:" : "These files gave no places:";
  for (const std::string& line : warnings) text += "\n" + line;
  return text;
}

std::string FileWarning(const FileResult& file) {
  switch (file.problem) {
    case FileResult::Problem::kLayoutNotRecognised:
      return file.name + ": layout not recognised";
    case FileResult::Problem::kNoUsableLines:
      return file.name + ": no usable lines";
    case FileResult::Problem::kNoColumns:
      return file.name + ": no name, latitude and longitude columns";
    case FileResult::Problem::kNoReader:
      return file.name + ": no reader for this kind of file";
    case FileResult::Problem::kDamaged:
      return file.name + ": damaged, read up to the damage (" + file.damage + ")";
    case FileResult::Problem::kNone:
      break;
  }
  return {};
}

BuildOutcome Builder::Create(const BuildRequest& request) {
  BuildOutcome refused;
  refused.status = BuildStatus::kRefused;

  const std::string name = DatabaseName(request.database_name);
  if (!name.empty() && NameHasInvalidCharacters(name)) {
    impl_->ui.ShowMessage(MessageKind::kPlain, kInvalidNameMessage);
    return refused;
  }
  if (const std::string problem = DatabaseNameProblem(name); !problem.empty()) {
    impl_->ui.ShowMessage(MessageKind::kPlain, problem);
    return refused;
  }
  const bool any_ticked = std::any_of(request.files.begin(), request.files.end(),
                                      [](const FileItem& f) { return f.ticked; });
  if (request.files.empty() || !any_ticked || name.empty()) {
    if (request.files.empty() || !any_ticked) {
      impl_->ui.ShowMessage(MessageKind::kWarning, kNoFilesMessage);
    }
    if (name.empty()) impl_->ui.ShowMessage(MessageKind::kWarning, kNoNameMessage);
    return refused;
  }

  impl_->cancel.store(false, std::memory_order_relaxed);
  Run run(*impl_, request, name, tpx_, waypoint_staged_);
  return run.Execute();
}

}  // namespace toponyx::pipeline
