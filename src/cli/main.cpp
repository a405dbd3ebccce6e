// toponyx-create: the Create command from the command line, for scripts
// and batch work. Every message box of a run is written to stderr as its
// exact text followed by one line feed, in the order the boxes would appear.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "cli/Texts.h"
#include "geodesy/Datum.h"
#include "pipeline/Build.h"
#include "pipeline/FileList.h"
#include "pipeline/Output.h"
#include "pipeline/SupportFiles.h"
#include "platform/File.h"
#include "platform/Paths.h"
#include "platform/Signals.h"
#include "platform/System.h"
#include "text/Text.h"
#include "toponyx/Version.h"

namespace {

using namespace toponyx;

// The texts of --version, the usage lines and --help, after the GNU
// conventions.
constexpr const char* kVersion =
    "toponyx-create " TOPONYX_VERSION_TEXT
    "\n"
    "Copyright (C) 2026 The Toponyx Creator developers.\n"
    "License MIT: <https://opensource.org/license/mit>.\n"
    "This is free software: you are free to change and redistribute it.\n"
    "There is NO WARRANTY, to the extent permitted by law.\n";
constexpr const char* kUsage =
    "Usage: toponyx-create --name NAME [OPTION]... FILE...\n"
    "  or:  toponyx-create --name NAME [OPTION]... --all DIR\n";
constexpr const char* kHelpEnd =
    "\n"
    "Report bugs to: <" TOPONYX_BUG_ADDRESS
    ">\n"
    "Full documentation: man toponyx-create\n";

const char* const kStageNames[] = {"", "Decompressing archive files", "Creating temporary files",
                                   "Generating databases", "Saving files"};

void WriteErr(std::string_view s) {
  while (!s.empty()) {
    ssize_t n = ::write(2, s.data(), s.size());
    if (n <= 0) return;
    s.remove_prefix(static_cast<size_t>(n));
  }
}

// The front end on stderr: messages as they stand, the stages as they
// start, and on a terminal a live bar of the run.
class CliUi final : public BuildUi {
 public:
  CliUi(bool quiet, bool live) : quiet_(quiet), live_(live && !quiet) {}

  void ShowMessage(MessageKind, std::string_view text, std::string_view, MessageButtons) override {
    ClearBar();
    WriteErr(text);
    WriteErr("\n");
  }

  void StageStarted(Stage stage) override {
    if (quiet_) return;
    ClearBar();
    WriteErr(kStageNames[static_cast<int>(stage)]);
    WriteErr("\n");
  }

  void StageFinished(Stage stage) override {
    if (stage == Stage::kGenerating) ClearBar();
  }

  // One bar over the reading, the index and the ordered copy, which take
  // about seven, one and a half and one and a half tenths of a run.
  void RunProgress(RunPhase phase, uint64_t done, uint64_t total, uint64_t places) override {
    if (!live_ || total == 0) return;
    const auto now = Clock::now();
    if (bar_shown_ && now - last_draw_ < std::chrono::milliseconds(100)) return;
    last_draw_ = now;
    static constexpr double kStart[] = {0.0, 0.7, 0.85};
    static constexpr double kShare[] = {0.7, 0.15, 0.15};
    const int p = static_cast<int>(phase);
    const double part = std::min(1.0, static_cast<double>(done) / static_cast<double>(total));
    const double share = kStart[p] + kShare[p] * part;
    const int filled = static_cast<int>(share * 30);
    std::string bar(static_cast<size_t>(filled), '#');
    bar.append(static_cast<size_t>(30 - filled), ' ');
    char line[128];
    std::snprintf(line, sizeof line, "\r[%s] %3d%%  %llu places", bar.c_str(),
                  static_cast<int>(share * 100), static_cast<unsigned long long>(places));
    WriteErr(line);
    bar_shown_ = true;
  }

 private:
  using Clock = std::chrono::steady_clock;
  void ClearBar() {
    if (bar_shown_) WriteErr("\r\033[K");
    bar_shown_ = false;
  }
  bool quiet_;
  bool live_;
  bool bar_shown_ = false;
  Clock::time_point last_draw_{};
};

// A stop signal cancels the running build, which then cleans up; the
// program ends with the status of that signal (128 + its number).
pipeline::Builder* running_builder = nullptr;
volatile sig_atomic_t stop_signal = 0;

void StopRun(int signal_number) {
  stop_signal = signal_number;
  if (running_builder != nullptr) running_builder->Cancel();
}

int Usage(const std::string& problem) {
  if (!problem.empty()) WriteErr("toponyx-create: " + problem + "\n");
  WriteErr(kUsage);
  return 2;
}

struct SplitPath {
  std::string folder;
  std::string name;
};

SplitPath Split(const std::string& path) {
  size_t slash = path.find_last_of(platform::kPathSeparators);
  if (slash == std::string::npos) return {".", path};
  if (slash == 0) return {"/", path.substr(1)};
  return {path.substr(0, slash), path.substr(slash + 1)};
}

}  // namespace

int main(int argc, char** argv) {
  // The datum table comes first, before anything else happens.
  geo::LoadDatumFile();

  std::string name;
  bool have_name = false;
  std::string save_folder;
  bool have_save = false;
  std::string temp_folder;
  bool have_temp = false;
  std::string all_folder;
  bool quiet = false;
  bool require_places = false;
  readers::ColumnChoice table_columns;
  pipeline::Choices choices;
  std::string types_file;
  std::vector<std::string> files;
  platform::UseBinaryStandardStreams();
  const std::vector<std::string> args = platform::CommandLineArguments(argc, argv);
  const size_t count = args.size();
  for (size_t i = 0; i < count; ++i) {
    std::string_view a = args[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= count) return false;
      out = args[++i];
      return true;
    };
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      std::fputs("\n", stdout);
      std::fputs(cli::HelpText(readers::DefaultFormats()).c_str(), stdout);
      std::fputs(kHelpEnd, stdout);
      return 0;
    } else if (a == "--version") {
      std::fputs(kVersion, stdout);
      return 0;
    } else if (a == "--name") {
      if (!value(name)) return Usage("--name needs a value");
      have_name = true;
    } else if (a == "--save") {
      if (!value(save_folder)) return Usage("--save needs a folder");
      have_save = true;
    } else if (a == "--temp") {
      if (!value(temp_folder)) return Usage("--temp needs a folder");
      have_temp = true;
    } else if (a == "--all") {
      if (!value(all_folder)) return Usage("--all needs a folder");
    } else if (a == "--quiet" || a == "-q") {
      quiet = true;
    } else if (a == "--require-places") {
      require_places = true;
    } else if (a == "--columns") {
      std::string columns;
      if (!value(columns)) return Usage("--columns needs NAME,LAT,LON[,TYPE]");
      if (!readers::ParseColumnChoice(columns, table_columns)) {
        return Usage("--columns takes NAME,LAT,LON[,TYPE] (header names or numbers from 1): " +
                     columns);
      }
    } else if (a == "--area") {
      std::string area;
      pipeline::Area parsed;
      if (!value(area)) return Usage("--area needs SOUTH,WEST,NORTH,EAST");
      if (!pipeline::ParseArea(area, parsed)) {
        return Usage("--area takes SOUTH,WEST,NORTH,EAST in decimal degrees: " + area);
      }
      choices.area = parsed;
    } else if (a == "--types") {
      if (!value(types_file)) return Usage("--types needs a .types file");
    } else if (a == "--classes") {
      std::string classes;
      if (!value(classes)) return Usage("--classes needs class letters");
      if (!pipeline::ParseClasses(classes, choices.classes)) {
        return Usage("--classes takes letters of A P V L U R T H S: " + classes);
      }
    } else if (a == "--alternate-names") {
      choices.alternate_names = true;
    } else if (a == "--languages") {
      std::string languages;
      if (!value(languages) || !pipeline::ParseLanguages(languages, choices.languages)) {
        return Usage("--languages takes language codes separated by commas (en,de)");
      }
    } else if (a == "--merge-duplicates" || a.starts_with("--merge-duplicates=")) {
      double metres = pipeline::kDefaultMergeMetres;
      if (a.size() > std::string_view("--merge-duplicates").size() &&
          !pipeline::ParseMetres(a.substr(a.find('=') + 1), metres)) {
        return Usage("--merge-duplicates=METRES takes a distance above 0: " + std::string(a));
      }
      choices.merge_metres = metres;
    } else if (a == "--") {
      for (++i; i < count; ++i) files.emplace_back(args[i]);
    } else if (a.size() > 1 && a[0] == '-') {
      return Usage("unknown option " + std::string(a));
    } else {
      files.emplace_back(a);
    }
  }
  if (!have_name) return Usage("--name is required");
  if (all_folder.empty() == files.empty()) return Usage("give either FILE... or --all DIR");
  if (!choices.languages.empty() && !choices.alternate_names) {
    return Usage("--languages chooses among alternate names: give --alternate-names too");
  }

  // Every path is taken relative to the current folder, as with every
  // command-line program; the core gets absolute ones. An empty folder
  // given on purpose stays empty and fails the run like an empty folder
  // edit of the window.
  auto& fs = platform::DefaultFileSystem();
  const std::string cwd = platform::CurrentFolder();
  auto absolute = [&](const std::string& path) { return platform::AbsolutePath(path, cwd); };
  if (!types_file.empty()) {
    std::vector<std::string> codes;
    std::string error;
    if (!pipeline::ReadTypesFile(fs, absolute(types_file), codes, error)) return Usage(error);
    // A file of no type would leave every place out.
    if (codes.empty()) return Usage("--types: " + types_file + " lists no full code");
    choices.types = std::move(codes);
  }
  pipeline::BuildRequest request;
  request.choices = choices;
  request.database_name = name;
  request.table_columns = table_columns;
  request.save_folder = have_save ? absolute(save_folder) : cwd;

  if (!all_folder.empty()) {
    if (!fs.IsDirectory(all_folder)) return Usage("no such folder: " + all_folder);
    request.download_folder = absolute(all_folder);
    for (std::string& n :
         pipeline::ListFolder(request.download_folder, pipeline::InputFilesMask())) {
      request.files.push_back({std::move(n), true});
    }
  } else {
    std::vector<std::string> names;
    for (const std::string& f : files) {
      // What cannot be read says why (missing, a link loop, no rights); a
      // folder is no input (FIFOs and devices are refused by the run).
      const platform::FileSystem::Kind kind = fs.KindOf(f);
      if (kind == platform::FileSystem::Kind::kNone) {
        return Usage("cannot read " + f + ": " + fs.LastError());
      }
      if (kind == platform::FileSystem::Kind::kFolder) {
        return Usage(f + " is a folder (--all DIR reads the files of a folder)");
      }
      SplitPath p = Split(absolute(f));
      if (names.empty()) {
        request.download_folder = p.folder;
      } else if (p.folder != request.download_folder) {
        return Usage("the files must all stand in one folder");
      }
      names.push_back(p.name);
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
      return pipeline::FileListLess(a, b);
    });
    names.erase(std::unique(names.begin(), names.end()), names.end());
    for (std::string& n : names) request.files.push_back({std::move(n), true});
  }

  // Without --temp the run's working files go to a private folder of the
  // run inside the system's temporary folder, removed at the end.
  request.staging_folder = have_temp ? absolute(temp_folder) : platform::SystemTempFolder();

  CliUi cli_ui(quiet, platform::StderrIsTerminal());
  BuildUi& ui = cli_ui;
  const std::string program_folder = platform::ProgramFolder();
  std::string support_error = pipeline::WriteSupportFiles(program_folder);
  if (!support_error.empty()) ui.ShowMessage(MessageKind::kError, support_error);

  auto started = std::chrono::steady_clock::now();
  pipeline::Builder builder(ui, program_folder, fs);
  running_builder = &builder;
  platform::OnStopSignals(StopRun);
  if (stop_signal != 0) builder.Cancel();
  pipeline::BuildOutcome outcome = builder.Create(request);
  running_builder = nullptr;
  double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

  switch (outcome.status) {
    case pipeline::BuildStatus::kRefused:
      return 2;
    case pipeline::BuildStatus::kFailed:
      // The files that gave no place are why a run that kept the earlier
      // database read nothing.
      if (!outcome.warnings.empty())
        ui.ShowMessage(MessageKind::kWarning, pipeline::NoPlacesWarning(outcome.warnings));
      ui.ShowMessage(MessageKind::kError, outcome.error);
      return 1;
    case pipeline::BuildStatus::kAborted:
      return 1;
    case pipeline::BuildStatus::kCancelled:
      ui.ShowMessage(MessageKind::kPlain, "Cancelled");
      return 128 + (stop_signal != 0 ? stop_signal : SIGINT);
    case pipeline::BuildStatus::kSucceeded:
      break;
  }
  const pipeline::DatabaseFiles database =
      pipeline::DatabaseFilesIn(request.save_folder, pipeline::DatabaseName(name));
  // The files that gave no place, as the window's warning says it, then the
  // summary with what each file gave, then the damage the run read past.
  // The warnings are messages of the run, which --quiet keeps; it leaves
  // out the summary and the counts.
  if (!outcome.warnings.empty())
    ui.ShowMessage(MessageKind::kWarning, pipeline::NoPlacesWarning(outcome.warnings));
  if (!quiet) {
    char summary[160];
    std::snprintf(summary, sizeof summary, "%llu places written in %.2f s\n",
                  static_cast<unsigned long long>(outcome.places), seconds);
    WriteErr(summary);
    // What the choices left out, merged and added.
    for (const std::string& report : outcome.reports) WriteErr(report + "\n");
    for (const pipeline::FileResult& file : outcome.files) {
      std::snprintf(summary, sizeof summary, "%12llu  ",
                    static_cast<unsigned long long>(file.places));
      WriteErr(summary + file.name + "\n");
    }
  }
  for (const std::string& damage : outcome.damage) WriteErr("warning: " + damage + "\n");
  std::printf("%s\n%s\n", database.names.c_str(), database.types.c_str());
  if (require_places && outcome.places == 0) {
    WriteErr("toponyx-create: no places were read from the input files\n");
    return 1;
  }
  return 0;
}
