#include <algorithm>
#include <exception>

#include "build/Build.h"
#include "build/Dispatch.h"
#include "build/Output.h"
#include "build/Staging.h"
#include "platform/Error.h"
#include "platform/System.h"
#include "readers/Text.h"

namespace toponyx::build {

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

// A file in the save folder that this run creates under a name of its own,
// so that an earlier database stays whole until the new one is complete.
std::string ReserveTemporary(platform::FileSystem& fs, const std::string& final_path) {
  for (int i = 0; i < 1000; ++i) {
    std::string path = final_path + ".part" + (i == 0 ? std::string() : std::to_string(i));
    if (auto file = fs.Open(path, platform::OpenMode::kCreateNew)) {
      file->Close();
      return path;
    }
    if (!fs.Exists(path)) break;  // not a name clash: the folder is unusable
  }
  throw Error("Cannot create file " + final_path);
}

// Messages name the file the user asked for, not the temporary one.
std::string Retarget(std::string message, const std::string& temp, const std::string& final_path) {
  for (size_t p = message.find(temp); p != std::string::npos;
       p = message.find(temp, p + final_path.size())) {
    message.replace(p, temp.size(), final_path);
  }
  return message;
}

}  // namespace

struct Builder::Impl {
  Impl(BuildUi& front_end, std::string folder, platform::FileSystem& file_system)
      : ui(front_end),
        program_folder(std::move(folder)),
        fs(file_system),
        dbf1(&front_end, file_system),
        dbf2(&front_end, file_system),
        staging(front_end, file_system) {}

  BuildUi& ui;
  std::string program_folder;
  platform::FileSystem& fs;
  dbf::DbfTable dbf1;  // the working table
  dbf::DbfTable dbf2;  // the output table
  Stager staging;      // archive expansion and the staged file list
  const ReaderTable* readers = &DefaultReaders();
};

void Builder::set_readers(const ReaderTable* readers) {
  impl_->readers = readers ? readers : &DefaultReaders();
}

Builder::Builder(BuildUi& ui, std::string program_folder, platform::FileSystem& fs)
    : impl_(std::make_unique<Impl>(ui, std::move(program_folder), fs)) {}

Builder::~Builder() = default;

dbf::DbfTable& Builder::OutputTable() {
  return impl_->dbf2;
}
dbf::DbfTable& Builder::WorkingTable() {
  return impl_->dbf1;
}

namespace {

// One accepted run, from the folders to the finish step.
class Run {
 public:
  Run(Builder::Impl& b, const BuildRequest& request, std::string name, TpxSettings& tpx,
      bool& waypoint_staged)
      : b_(b),
        request_(request),
        name_(std::move(name)),
        ctx_(b.dbf1, tpx, b.ui),
        waypoint_staged_(waypoint_staged) {
    ctx_.program_folder = b.program_folder;
    ctx_.readers = b.readers;
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
    } catch (const std::exception& e) {
      outcome.status = BuildStatus::kFailed;
      outcome.error = e.what();
    }
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

    for (const FileItem& item : request_.files) {
      if (item.ticked) ctx_.selected.push_back(item.name);
    }

    // Stage 1: archives are expanded, every file to read is listed.
    Mark(Stage::kDecompressing, true);
    staging_started_ = true;
    b_.staging.StageAll(ctx_, request_.download_folder, request_.staging_folder);
    for (const StagedFile& f : ctx_.staged) {
      if (LowerExtension(f.name) == ".wpt") waypoint_staged_ = true;
      ctx_.input_bytes += f.size;
    }
    outcome.input_bytes = ctx_.input_bytes;
    Mark(Stage::kDecompressing, false);

    // Stage 2: the working table, every file read, the name index.
    Mark(Stage::kCreatingTemporary, true);
    working_created_ = true;
    CreateWorkingTable(b_.dbf1, request_.staging_folder);
    ReadStagedFiles(ctx_);
    IndexWorkingTable(b_.dbf1);
    Mark(Stage::kCreatingTemporary, false);

    // Stage 3: the ordered copy, under a temporary name.
    Mark(Stage::kGenerating, true);
    names_path_ = platform::JoinPath(request_.save_folder, name_ + ".names");
    types_path_ = platform::JoinPath(request_.save_folder, name_ + ".types");
    view_holds_output_ = b_.dbf2.Active();
    names_temp_ = ReserveTemporary(b_.fs, names_path_);
    try {
      outcome.places = CopyInNameOrder(b_.dbf1, b_.dbf2, names_temp_, b_.ui);
    } catch (const std::exception& e) {
      throw Error(Retarget(e.what(), names_temp_, names_path_));
    }
    Mark(Stage::kGenerating, false);

    // Stage 4: the types file, then both files put in place.
    Mark(Stage::kSaving, true);
    types_temp_ = ReserveTemporary(b_.fs, types_path_);
    try {
      WriteTypesFile(b_.fs, types_temp_, ctx_.full_codes.Items());
    } catch (const std::exception& e) {
      throw Error(Retarget(e.what(), types_temp_, types_path_));
    }
    if (!b_.fs.Rename(names_temp_, names_path_)) {
      throw Error("Cannot create file " + names_path_ + ": " + b_.fs.LastError());
    }
    names_temp_.clear();
    if (!b_.fs.Rename(types_temp_, types_path_)) {
      throw Error("Cannot create file " + types_path_ + ": " + b_.fs.LastError());
    }
    types_temp_.clear();
    Mark(Stage::kSaving, false);
  }

  void Mark(Stage stage, bool started) {
    if (started) {
      b_.ui.StageStarted(stage);
    } else {
      b_.ui.StageFinished(stage);
    }
    b_.ui.Breathe();
  }

  // Runs after success and failure alike.
  void Finish() {
    // Tables still open after a failure are closed before their files go.
    CloseQuietly(b_.dbf1);
    if (!view_holds_output_) CloseQuietly(b_.dbf2);
    if (!b_.dbf2.Active() && !names_path_.empty()) {
      try {
        b_.dbf2.SetTableName(names_path_);  // the View window opens this
      } catch (const std::exception&) {
      }
    }
    for (const std::string* temp : {&names_temp_, &types_temp_}) {
      if (!temp->empty() && b_.fs.Exists(*temp)) b_.fs.Remove(*temp);
    }
    if (staging_started_) b_.staging.CleanUp();
    if (working_created_) {
      for (const char* name : {"temp.names", "temp.ndx"}) {
        std::string path = platform::JoinPath(request_.staging_folder, name);
        if (b_.fs.Exists(path)) b_.fs.Remove(path);
      }
    }
    const bool waypoint_warning = ctx_.waypoint_bad_datum;
    const bool user_file_warning = ctx_.user_file_bad_datum;
    ctx_.staged.clear();
    ctx_.selected.clear();
    ctx_.world_codes.Clear();
    ctx_.full_codes.Clear();

    b_.ui.EnableView();
    b_.ui.ProgressClosed();
    b_.ui.Breathe();
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
  BuildContext ctx_;
  bool& waypoint_staged_;
  bool staging_started_ = false;
  bool working_created_ = false;
  bool view_holds_output_ = false;  // the View window has the output table open
  std::string names_path_, types_path_, names_temp_, types_temp_;
};

}  // namespace

BuildOutcome Builder::Create(const BuildRequest& request) {
  BuildOutcome refused;
  refused.status = BuildStatus::kRefused;

  const std::string name(text::TrimBlanks(request.database_name));  // spaces only
  if (!name.empty() && name.find_first_of("\\/:*?\"<>|") != std::string::npos) {
    impl_->ui.ShowMessage(MessageKind::kPlain, kInvalidNameMessage);
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

  Run run(*impl_, request, name, tpx_, waypoint_staged_);
  return run.Execute();
}

}  // namespace toponyx::build
