// What a run tells and keeps when it is given what it cannot use: files no
// reader takes, devices, names no file system takes, text with NUL bytes,
// the same file twice, a FIFO where the program looks for its datums.
#if !defined(_WIN32)
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/Paths.h"
#include "platform/System.h"
#include "support/NamesFile.h"
#include "support/Process.h"
#include "support/TempDir.h"

namespace toponyx::testing {
namespace {

namespace fs = std::filesystem;

class ReliabilityTest : public ::testing::Test {
 protected:
  ReliabilityTest() {
    fs::create_directories(download);
    WriteFileBytes(download + kSep + "good.tpx",
                   "Peak One,Peak,,-36.5,174.25\nHut Two,Hut,,-36,174\n");
  }
  ProcessResult Create(std::vector<std::string> args) {
    args.insert(args.begin(), {TOPONYX_CREATE, "--quiet"});
    ProcessOptions options;
    options.c_locale = true;
    return RunProcess(std::move(args), options);
  }

  TempDir dir;
  std::string download = dir.File("download");
  std::string save = dir.File("save");
};

TEST_F(ReliabilityTest, FilesNoReaderTakesNeverReplaceTheDatabase) {
  ASSERT_EQ(Create({"--name", "db", "--save", save, download + kSep + "good.tpx"}).status, 0);
  const std::string names = ReadFileBytes(save + kSep + "db.names");
  WriteFileBytes(download + kSep + "x.xyz", "Peak One,Peak,,-36.5,174.25\n");
  WriteFileBytes(download + kSep + "noext", "no USA GNIS line\n");
  // Regular files of no kind the program reads: each named, the database
  // kept, exit 1.
  std::vector<std::string> unread = {download + kSep + "x.xyz", download + kSep + "noext"};
#if !defined(_WIN32)
  unread.push_back("/proc/self/status");
#endif
  for (const std::string& file : unread) {
    const ProcessResult r = Create({"--name", "db", "--save", save, file});
    EXPECT_EQ(r.status, 1) << file;
    const std::string shown(platform::FileNameOf(file));
    EXPECT_EQ(r.err, "This file gave no places:\n" + shown +
                         ": no reader for this kind of file\nNo place was read from the files: " +
                         save + kSep + "db.names is kept as it was.\n")
        << file;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(ReadFileBytes(save + kSep + "db.names"), names) << file;
  }
  // Devices are refused before anything is read, however they are named.
#if defined(_WIN32)
  for (const char* device : {"NUL"}) {
#else
  for (const char* device : {"/dev/null", "/dev/zero"}) {
#endif
    const ProcessResult r = Create({"--name", "db", "--save", save, device});
    EXPECT_EQ(r.status, 1) << device;
#if defined(_WIN32)
    // A device name is taken from the current folder as any other name is.
    const std::string named = platform::AbsolutePath(device, platform::CurrentFolder());
#else
    const std::string named = device;
#endif
    EXPECT_EQ(r.err, "Cannot open file " + named + ": not a regular file\n");
    EXPECT_EQ(ReadFileBytes(save + kSep + "db.names"), names) << device;
  }
  // Without a database of that name the written behaviour stays: an empty
  // one is written, and the file is named.
  const ProcessResult r =
      RunProcess({TOPONYX_CREATE, "--name", "fresh", "--save", save, download + kSep + "x.xyz"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.err.find("x.xyz: no reader for this kind of file"), std::string::npos) << r.err;
  EXPECT_EQ(ReadNamesFile(save + kSep + "fresh.names").size(), 0u);
}

// A gzip download cut short: the message names it, the summary lists it
// among the warnings, and the places before the cut are read.
TEST_F(ReliabilityTest, ACutGzipIsNamedInItsMessageAndTheSummary) {
  const std::string sample =
      ReadFileBytes(std::string(TOPONYX_SOURCE_DIR) + kSep + "samples/nm_taos.gz");
  WriteFileBytes(download + kSep + "nm_taos.gz", sample.substr(0, 124));
  const ProcessResult r =
      RunProcess({TOPONYX_CREATE, "--name", "cut", "--save", save, download + kSep + "nm_taos.gz"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.err.find("gzclose Error.\n" + download + kSep +
                       "nm_taos.gz: the data are damaged or cut short\n"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("\nwarning: nm_taos.gz: the data are damaged or cut short\n"),
            std::string::npos)
      << r.err;
}

TEST_F(ReliabilityTest, DatabaseNamesNoFileSystemTakesAreRefused) {
  // The working file "<name>.names.part" must stay within 255 bytes.
  const std::string longest(244, 'n');
  ProcessResult r = Create({"--name", longest + "x", "--save", save, download + kSep + "good.tpx"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err,
            "The database name is too long: 245 bytes, where file names allow 244 (with "
            "\".names.part\" the name of its working file).\n");
  r = Create({"--name", longest, "--save", save, download + kSep + "good.tpx"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::exists(save + kSep + longest + ".types"));
  // A control character would break the one path a line of stdout.
  for (const char* name : {"a\nb", "tab\there", "bell\a"}) {
    r = Create({"--name", name, "--save", save, download + kSep + "good.tpx"});
    EXPECT_EQ(r.status, 2) << name;
    EXPECT_EQ(r.err, "A database name cannot contain control characters.\n");
    EXPECT_EQ(r.out, "");
  }
}

TEST_F(ReliabilityTest, NulBytesRepeatedFilesAndAFifoForTheDatums) {
  // A NUL inside a name is stored as a blank.
  WriteFileBytes(download + kSep + "nulbyte.tpx", std::string("Ab\0cd,Peak,,1,2\n", 16));
  // The same file named twice is read once.
  ProcessResult r = Create({"--name", "db", "--save", save, download + kSep + "nulbyte.tpx",
                            download + kSep + "nulbyte.tpx"});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<NamesRecord> records = ReadNamesFile(save + kSep + "db.names");
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].fields[0], "Ab cd");

#if !defined(_WIN32)
  // A FIFO beside the program where it looks for datums.dat: it starts, reads
  // nothing from it and goes on (it must not wait for a writer).
  const std::string program_folder = dir.File("program");
  fs::create_directories(program_folder);
  fs::copy_file(TOPONYX_CREATE, program_folder + kSep + "toponyx-create");
  ASSERT_EQ(::mkfifo((program_folder + kSep + "datums.dat").c_str(), 0644), 0);
  r = RunProcess({"/usr/bin/timeout", "20", program_folder + kSep + "toponyx-create", "--quiet",
                  "--name", "fifo", "--save", save, download + kSep + "good.tpx"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadNamesFile(save + kSep + "fifo.names").size(), 2u);
#endif
}

}  // namespace
}  // namespace toponyx::testing
