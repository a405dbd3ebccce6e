// What a run must never do to a user's files, tried from outside with real
// processes: runs at once, names that meet the working files, inputs that
// are no files, runs stopped by signals or killed.
#include <fcntl.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
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

// A folder nothing can be written into while the object lives: without
// write permission, or, for root (whom permissions do not stop), with the
// immutable attribute. ok() is false when neither can be had here.
class ReadOnlyFolder {
 public:
  explicit ReadOnlyFolder(const std::string& folder) : folder_(folder) {
    if (::geteuid() != 0) {
      ok_ = ::chmod(folder.c_str(), 0555) == 0;
      error_ = ok_ ? "Permission denied" : std::strerror(errno);
      return;
    }
    fd_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ >= 0 && ::ioctl(fd_, FS_IOC_GETFLAGS, &flags_) == 0) {
      int immutable = flags_ | FS_IMMUTABLE_FL;
      ok_ = ::ioctl(fd_, FS_IOC_SETFLAGS, &immutable) == 0;
    }
    error_ = ok_ ? "Operation not permitted" : std::strerror(errno);
  }
  ~ReadOnlyFolder() {
    if (!ok_) {
    } else if (fd_ < 0) {
      ::chmod(folder_.c_str(), 0755);
    } else {
      ::ioctl(fd_, FS_IOC_SETFLAGS, &flags_);
    }
    if (fd_ >= 0) ::close(fd_);
  }
  ReadOnlyFolder(const ReadOnlyFolder&) = delete;
  ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

  bool ok() const { return ok_; }
  // The system's message for a file created there; while !ok(), why not.
  const std::string& error() const { return error_; }

 private:
  std::string folder_;
  int fd_ = -1;
  int flags_ = 0;
  bool ok_ = false;
  std::string error_;
};

// The first line of a text.
std::string FirstLine(const std::string& text) {
  return text.substr(0, text.find('\n'));
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

  // A folder and a link that leads round in a loop are refused at once,
  // saying what they are.
  fs::create_directory(download + "/folder.txt");
  fs::create_symlink("loop.txt", download + "/loop.txt");
  ProcessResult r = RunProcess(Cmd({"--name", "db", "--save", save, download + "/folder.txt"}));
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(FirstLine(r.err),
            "toponyx-create: " + download +
                "/folder.txt is a folder (--all DIR reads the files of a folder)");
  r = RunProcess(Cmd({"--name", "db", "--save", save, download + "/loop.txt"}));
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(FirstLine(r.err), "toponyx-create: cannot read " + download +
                                  "/loop.txt: Too many levels of symbolic links");
  EXPECT_EQ(Names(save), std::vector<std::string>{});
  // Among the files of a folder they are passed over.
  const std::string odd = dir.File("odd");
  fs::create_directory(odd);
  for (const char* name : {"pipe.txt", "zero.txt", "folder.txt", "loop.txt"}) {
    fs::rename(download + "/" + name, odd + "/" + name);
  }
  fs::copy_file(download + "/small.txt", odd + "/small.txt");
  r = RunProcess(Cmd({"--name", "db", "--save", save, "--all", odd}));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Places(save + "/db.names"), 3u);
}

TEST_F(SafetyTest, ReadOnlySaveFolderFailsTheRunAndKeepsTheDatabase) {
  ASSERT_EQ(RunProcess(Cmd({"--name", "db", "--save", save, download + "/small.txt"})).status, 0);
  const std::string names = ReadFileBytes(save + "/db.names");
  const std::string types = ReadFileBytes(save + "/db.types");
  WriteFileBytes(download + "/other.txt", Gnis(5, "Other", "Lake"));
  ReadOnlyFolder read_only(save);
  if (!read_only.ok()) GTEST_SKIP() << "no read-only folder can be had here: " << read_only.error();
  ProcessResult r =
      RunProcess(Cmd({"--name", "db", "--save", save, "--temp", staging, download + "/other.txt"}));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Cannot create file " + save + "/db.names: " + read_only.error() + "\n");
  EXPECT_EQ(ReadFileBytes(save + "/db.names"), names);
  EXPECT_EQ(ReadFileBytes(save + "/db.types"), types);
  EXPECT_EQ(Names(save), (std::vector<std::string>{"db.names", "db.types"}));
  EXPECT_TRUE(fs::is_empty(staging));
}

TEST_F(SafetyTest, HugeLinesAndNulBytesAreReadInBoundedMemory) {
  // One line of 100 MiB (a GeoNames row whose last field never ends), then
  // an ordinary row; written as it is made.
  {
    std::ofstream f(download + "/long.txt", std::ios::binary);
    f << "2179537\tLong Line\t\t\t-41.28\t174.77\tP\tPPL\tNZ\t";
    const std::string block(1 << 20, 'x');
    for (int i = 0; i < 100; ++i) f << block;
    f << "\n2179538\tAfter\t\t\t-41.29\t174.78\tP\tPPL\tNZ\n";
  }
  const ProcessResult small =
      RunProcess(Cmd({"--name", "small", "--save", save, download + "/small.txt"}));
  ASSERT_EQ(small.status, 0) << small.err;
  const ProcessResult r =
      RunProcess(Cmd({"--name", "long", "--save", save, download + "/long.txt"}));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(NamesOf(ReadNamesFile(save + "/long.names")),
            (std::vector<std::string>{"After", "Long Line"}));
  // The line is cut at 64 KiB as it is read: the run needs little more
  // memory than one of three short lines.
  EXPECT_LT(r.peak_rss_kib, small.peak_rss_kib + 16 * 1024)
      << small.peak_rss_kib << " KiB for three lines";

  // Files of NUL bytes in every format read to their end; no NUL byte
  // reaches the table, whose fields hold text.
  const std::string nul(4 << 20, '\0');
  std::vector<std::string> args = {"--name", "nul", "--save", save};
  for (const char* x :
       {".txt", ".tpx", ".wpt", ".csv", ".gpx", ".kml", ".geojson", ".geojsonl", ".tsv"}) {
    WriteFileBytes(download + "/nul" + x, nul);
    args.push_back(download + "/nul" + x);
  }
  std::vector<std::string> cmd = {TOPONYX_CREATE, "--quiet"};
  cmd.insert(cmd.end(), args.begin(), args.end());
  const ProcessResult n = RunProcess(cmd);
  ASSERT_EQ(n.status, 0) << n.err;
  for (const NamesRecord& record : ReadNamesFile(save + "/nul.names")) {
    for (const std::string& field : record.fields) {
      EXPECT_EQ(field.find('\0'), std::string::npos);
    }
  }
}

// Killed at any moment of its run, a run leaves either the earlier
// database or the whole new one, never a part: until both files are
// complete they stand as ".part" files in the run's own folder, which the
// next run clears.
TEST_F(SafetyTest, ARunKilledAtAnyMomentLeavesNoPartOfTheDatabase) {
  WriteFileBytes(download + "/mid.txt", Gnis(60000, "Mid", "Summit"));
  ASSERT_EQ(RunProcess(Cmd({"--name", "db", "--save", save, download + "/small.txt"})).status, 0);
  const std::string old_names = ReadFileBytes(save + "/db.names");
  const std::string old_types = ReadFileBytes(save + "/db.types");
  // The whole new database, from a run into another folder, and how long
  // a run takes.
  const std::string whole = dir.File("whole");
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(RunProcess(Cmd({"--name", "db", "--save", whole, download + "/mid.txt"})).status, 0);
  const auto run_time = std::chrono::steady_clock::now() - start;
  const std::string new_names = ReadFileBytes(whole + "/db.names");
  const std::string new_types = ReadFileBytes(whole + "/db.types");

  // Moments from the start to a little past the time a run takes (which
  // varies from run to run), so that the last kills meet the renames and
  // a finished run.
  constexpr int kMoments = 8;
  for (int moment = 0; moment < kMoments; ++moment) {
    BackgroundProcess run(
        Cmd({"--name", "db", "--save", save, "--temp", staging, download + "/mid.txt"}),
        dir.File("killed"));
    ASSERT_TRUE(run.started());
    std::this_thread::sleep_for(run_time * moment * 3 / (2 * kMoments));
    run.Signal(SIGKILL);
    run.Wait();
    const std::string names = ReadFileBytes(save + "/db.names");
    const std::string types = ReadFileBytes(save + "/db.types");
    EXPECT_TRUE(names == old_names || names == new_names) << moment << ": " << names.size();
    EXPECT_TRUE(types == old_types || types == new_types) << moment;
    for (const std::string& name : Names(save)) {
      EXPECT_TRUE(name == "db.names" || name == "db.types" || name.starts_with("toponyx-run-"))
          << name;
    }
  }
  ProcessResult r =
      RunProcess(Cmd({"--name", "db", "--save", save, "--temp", staging, download + "/small.txt"}));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFileBytes(save + "/db.names").substr(4), old_names.substr(4));  // after the date
  EXPECT_EQ(Names(save), (std::vector<std::string>{"db.names", "db.types"}));
  EXPECT_TRUE(fs::is_empty(staging));
}

TEST_F(SafetyTest, RequirePlacesFailsARunThatReadNothing) {
  WriteFileBytes(download + "/nothing.txt", "no gazetteer line\n");
  ProcessResult r = RunProcess(
      Cmd({"--name", "db", "--save", save, "--require-places", download + "/nothing.txt"}));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "This file gave no places:\nnothing.txt: layout not recognised\n"
            "toponyx-create: no places were read from the input files\n");
  EXPECT_EQ(Places(save + "/db.names"), 0u);  // the written behaviour stays
  r = RunProcess(Cmd({"--name", "fresh", "--save", save, download + "/nothing.txt"}));
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
  // Folders of runs killed while they made them: before the marker was
  // begun, and while it was written.
  fs::create_directories(save + "/toponyx-run-begun");
  fs::create_directories(staging + "/toponyx-run-halfway");
  WriteFileBytes(staging + "/toponyx-run-halfway/.toponyx-run.new", "Toponyx Creator run");
  fs::create_directories(staging + "/toponyx-run-other");
  WriteFileBytes(staging + "/toponyx-run-other/.toponyx-run.new", "someone else's\n");
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
  EXPECT_FALSE(fs::exists(save + "/toponyx-run-begun"));
  EXPECT_FALSE(fs::exists(staging + "/toponyx-run-halfway"));
  EXPECT_TRUE(fs::exists(staging + "/toponyx-run-other/.toponyx-run.new"));
  live->Signal(SIGCONT);
  EXPECT_EQ(live->Wait().status, 0);
  EXPECT_EQ(Places(save + "/other.names"), 300000u);
  EXPECT_EQ(Places(save + "/db.names"), 3u);
  EXPECT_EQ(RunFolders(save).size(), 0u);
}

}  // namespace
}  // namespace toponyx::testing
