// What a run must never do to a user's files, tried from outside with real
// processes: runs at once, names that meet the working files, inputs that
// are no files, runs stopped by signals or killed.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "support/NamesFile.h"
#include "support/Process.h"
#include "support/TempDir.h"

namespace toponyx::testing {
namespace {

namespace fs = std::filesystem;

const std::string kHeader =
    "FEATURE_ID|FEATURE_NAME|FEATURE_CLASS|STATE_ALPHA|STATE_NUMERIC|COUNTY_NAME|"
    "COUNTY_NUMERIC|PRIMARY_LAT_DMS|PRIM_LONG_DMS|PRIM_LAT_DEC|PRIM_LONG_DEC\n";

// A GNIS file of `lines` places of one class.
std::string Gnis(int lines, const std::string& name, const std::string& feature_class) {
  std::string text = kHeader;
  for (int i = 0; i < lines; ++i) {
    text += std::to_string(i) + "|" + name + " " + std::to_string(i % 9973) + "|" + feature_class +
            "|VA|51|Bath|017|380000N|0790000W|38.5|-79.5\n";
  }
  return text;
}

// The private run folders in a folder, those that carry their marker.
std::vector<std::string> RunFolders(const std::string& folder) {
  std::vector<std::string> found;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder, ec)) {
    const std::string name = e.path().filename().string();
    if (name.rfind("toponyx-run-", 0) == 0 && fs::exists(e.path() / ".toponyx-run", ec)) {
      found.push_back(name);
    }
  }
  return found;
}

// Waits (10 s at most) until the condition holds.
bool WaitFor(const std::function<bool()>& condition) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return true;
}

// Runs that have their working table in the staging folder: past the
// creation of their private folders, reading their input.
size_t Reading(const std::string& staging) {
  size_t n = 0;
  std::error_code ec;
  for (const std::string& f : RunFolders(staging))
    n += fs::exists(staging + "/" + f + "/temp.names", ec);
  return n;
}

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

class SafetyTest : public ::testing::Test {
 protected:
  SafetyTest() {
    for (const std::string& f : {download, save, staging}) fs::create_directories(f);
    WriteFileBytes(download + "/big.txt", Gnis(300000, "Big", "Church"));
    WriteFileBytes(download + "/small.txt", Gnis(3, "Small", "Dam"));
  }
  std::vector<std::string> Cmd(std::initializer_list<std::string> args) {
    std::vector<std::string> v = {TOPONYX_CREATE, "--quiet"};
    v.insert(v.end(), args);
    return v;
  }
  // A run of big.txt (staging in `staging`), stopped (SIGSTOP) once it
  // reads: from then on it holds its folders and its claim.
  std::unique_ptr<BackgroundProcess> StoppedBigRun(std::initializer_list<std::string> args) {
    const size_t before = Reading(staging);
    auto run = std::make_unique<BackgroundProcess>(Cmd(args), dir.File("bg"));
    EXPECT_TRUE(run->started());
    EXPECT_TRUE(WaitFor([&] { return Reading(staging) > before; }));
    run->Signal(SIGSTOP);
    return run;
  }
  size_t Places(const std::string& names_file) { return ReadNamesFile(names_file).size(); }

  TempDir dir;
  std::string download = dir.File("download");
  std::string save = dir.File("save");
  std::string staging = dir.File("staging");
};

TEST_F(SafetyTest, WorkingFilesNeverMeetTheUsersFiles) {
  // The user's own temp.names and temp.ndx in the folder that is both the
  // download and the staging folder: read as nothing, never touched.
  WriteFileBytes(download + "/temp.names", "the user's own table");
  WriteFileBytes(download + "/temp.ndx", "the user's own index");
  ProcessResult r = RunProcess(
      Cmd({"--name", "db", "--save", save, "--temp", download, download + "/small.txt"}));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFileBytes(download + "/temp.names"), "the user's own table");
  EXPECT_EQ(ReadFileBytes(download + "/temp.ndx"), "the user's own index");
  EXPECT_EQ(Names(download),
            (std::vector<std::string>{"big.txt", "small.txt", "temp.names", "temp.ndx"}));

  // A database named like the working table, in the staging folder.
  r = RunProcess(
      Cmd({"--name", "temp", "--save", staging, "--temp", staging, download + "/small.txt"}));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Places(staging + "/temp.names"), 3u);
  EXPECT_EQ(Names(staging), (std::vector<std::string>{"temp.names", "temp.types"}));
}

TEST_F(SafetyTest, TwoRunsOfOneDatabaseNeverMixTheirFiles) {
  auto first =
      StoppedBigRun({"--name", "db", "--save", save, "--temp", staging, download + "/big.txt"});
  // The second run of the same database fails at once, clearly.
  ProcessResult second = RunProcess(Cmd({"--name", "db", "--save", save, download + "/small.txt"}));
  EXPECT_EQ(second.status, 1);
  EXPECT_EQ(second.err,
            "Cannot create file " + save + "/db.names: another run is writing this database\n");
  first->Signal(SIGCONT);
  ProcessResult r = first->Wait();
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Places(save + "/db.names"), 300000u);
  EXPECT_NE(ReadFileBytes(save + "/db.types").find("\r\nChurch\r\n"), std::string::npos);
  EXPECT_EQ(Names(save), (std::vector<std::string>{"db.names", "db.types"}));
}

TEST_F(SafetyTest, TwoRunsInOneStagingFolderKeepTheirPlacesApart) {
  auto first =
      StoppedBigRun({"--name", "a", "--save", save, "--temp", staging, download + "/big.txt"});
  ProcessResult second =
      RunProcess(Cmd({"--name", "b", "--save", save, "--temp", staging, download + "/small.txt"}));
  EXPECT_EQ(second.status, 0) << second.err;
  first->Signal(SIGCONT);
  ProcessResult r = first->Wait();
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Places(save + "/a.names"), 300000u);
  EXPECT_EQ(NamesOf(ReadNamesFile(save + "/b.names")),
            (std::vector<std::string>{"Small 0", "Small 1", "Small 2"}));
  EXPECT_TRUE(fs::is_empty(staging));
}

TEST_F(SafetyTest, InputsThatAreNoRegularFilesAreRefused) {
  ASSERT_EQ(::mkfifo((download + "/pipe.txt").c_str(), 0644), 0);
  fs::create_symlink("/dev/zero", download + "/zero.txt");
  for (const char* input : {"pipe.txt", "zero.txt"}) {
    const std::string path = download + "/" + input;
    ProcessResult r = RunProcess(Cmd({"--name", "db", "--save", save, path}));
    EXPECT_EQ(r.status, 1) << input;
    EXPECT_EQ(r.err, "Cannot open file " + path + ": not a regular file\n");
  }
  EXPECT_EQ(Names(save), std::vector<std::string>{});
}

TEST_F(SafetyTest, RequirePlacesFailsARunThatReadNothing) {
  WriteFileBytes(download + "/nothing.txt", "no gazetteer line\n");
  ProcessResult r = RunProcess(
      Cmd({"--name", "db", "--save", save, "--require-places", download + "/nothing.txt"}));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "toponyx-create: no places were read from the input files\n");
  EXPECT_EQ(Places(save + "/db.names"), 0u);  // the written behaviour stays
  r = RunProcess(Cmd({"--name", "db", "--save", save, download + "/nothing.txt"}));
  EXPECT_EQ(r.status, 0);
}

TEST_F(SafetyTest, StopSignalsEndARunCleanly) {
  ASSERT_EQ(RunProcess(Cmd({"--name", "db", "--save", save, download + "/small.txt"})).status, 0);
  const std::string names = ReadFileBytes(save + "/db.names");
  const std::string types = ReadFileBytes(save + "/db.types");
  for (int signal_number : {SIGINT, SIGTERM}) {
    auto run =
        StoppedBigRun({"--name", "db", "--save", save, "--temp", staging, download + "/big.txt"});
    run->Signal(signal_number);
    run->Signal(SIGCONT);
    ProcessResult r = run->Wait();
    EXPECT_EQ(r.status, 128 + signal_number);
    EXPECT_EQ(r.err, "Cancelled\n");
    EXPECT_EQ(ReadFileBytes(save + "/db.names"), names);
    EXPECT_EQ(ReadFileBytes(save + "/db.types"), types);
    EXPECT_EQ(Names(save), (std::vector<std::string>{"db.names", "db.types"}));
    EXPECT_TRUE(fs::is_empty(staging));
  }
}

TEST_F(SafetyTest, TheNextRunClearsWhatKilledRunsLeft) {
  // A folder that only looks like a run folder: never touched.
  fs::create_directories(staging + "/toponyx-run-notours/data");
  WriteFileBytes(staging + "/toponyx-run-notours/.toponyx-run", "someone else's\n");
  // A live run, stopped: its folders stay whatever happens beside it.
  auto live =
      StoppedBigRun({"--name", "other", "--save", save, "--temp", staging, download + "/big.txt"});
  auto killed = std::make_unique<BackgroundProcess>(
      Cmd({"--name", "db", "--save", save, "--temp", staging, download + "/big.txt"}),
      dir.File("killed"));
  ASSERT_TRUE(WaitFor([&] { return Reading(staging) == 2; }));
  killed->Signal(SIGKILL);
  EXPECT_EQ(killed->Wait().status, 128 + SIGKILL);
  EXPECT_EQ(RunFolders(save).size(), 2u);
  EXPECT_EQ(RunFolders(staging).size(), 3u);

  ProcessResult r =
      RunProcess(Cmd({"--name", "db", "--save", save, "--temp", staging, download + "/small.txt"}));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(RunFolders(save).size(), 1u);     // the live run's
  EXPECT_EQ(RunFolders(staging).size(), 2u);  // the live run's and the look-alike
  EXPECT_TRUE(fs::exists(staging + "/toponyx-run-notours/data"));
  live->Signal(SIGCONT);
  EXPECT_EQ(live->Wait().status, 0);
  EXPECT_EQ(Places(save + "/other.names"), 300000u);
  EXPECT_EQ(Places(save + "/db.names"), 3u);
  EXPECT_EQ(RunFolders(save).size(), 0u);
}

}  // namespace
}  // namespace toponyx::testing
