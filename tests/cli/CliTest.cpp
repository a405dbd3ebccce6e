// toponyx-create as scripts use it: arguments, exit status, stderr texts.
#include <unistd.h>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <array>
#include <filesystem>

#include "cli/Texts.h"
#include "readers/Formats.h"
#include "support/NamesFile.h"
#include "support/Process.h"
#include "support/TempDir.h"

namespace toponyx::testing {
namespace {

using Result = ProcessResult;

Result RunProgram(std::vector<std::string> args) {
  return RunProcess(std::move(args));
}

const std::string kHeader =
    "FEATURE_ID|FEATURE_NAME|FEATURE_CLASS|STATE_ALPHA|STATE_NUMERIC|COUNTY_NAME|"
    "COUNTY_NUMERIC|PRIMARY_LAT_DMS|PRIM_LONG_DMS|PRIM_LAT_DEC|PRIM_LONG_DEC\n";

class CliTest : public ::testing::Test {
 protected:
  CliTest() {
    std::filesystem::create_directory(download);
    WriteFileBytes(download + kSep + "b.txt", kHeader +
                                                  "1|Z\xFC"
                                                  "rich|Populated Place|x|x|x|x|x|x|47.37|8.54\n");
    WriteFileBytes(download + kSep + "A.txt", kHeader + "1|Abbey|Church|x|x|x|x|x|x|38.0|-79.0\n");
    WriteFileBytes(download + kSep + "notes.csv", "not read\n");
  }
  std::vector<std::string> Cmd(std::initializer_list<std::string> args) {
    std::vector<std::string> v = {TOPONYX_CREATE};
    v.insert(v.end(), args);
    return v;
  }
  TempDir dir;
  std::string download = dir.File("download");
  std::string save = dir.File("save");
};

TEST_F(CliTest, SuccessfulRunWritesTheDatabaseAndSaysWhere) {
  Result r = RunProgram(Cmd({"--name", "usa", "--save", save, "--quiet", "--all", download}));
  EXPECT_EQ(r.status, 0) << r.err;
  // Quiet: no stages, summary or counts, but the messages of the run, such
  // as the warning that names the file of the folder that gave no place.
  EXPECT_EQ(r.err,
            "This file gave no places:\nnotes.csv: no name, latitude and longitude columns\n");
  EXPECT_EQ(r.out, save + kSep + "usa.names\n" + save + kSep + "usa.types\n");
  EXPECT_EQ(NamesOf(ReadNamesFile(save + kSep + "usa.names")),
            (std::vector<std::string>{"Abbey", "Z\x81rich"}));

  r = RunProgram(
      Cmd({"--name", "two", "--save", save, download + kSep + "b.txt", download + kSep + "A.txt"}));
  EXPECT_EQ(r.status, 0) << r.err;
  // Without --quiet: the four stages as they start, then a summary.
  const std::string stages =
      "Decompressing archive files\nCreating temporary files\nGenerating databases\nSaving "
      "files\n";
  EXPECT_EQ(r.err.substr(0, stages.size()), stages);
  EXPECT_NE(r.err.find("2 places written in "), std::string::npos) << r.err;
}

TEST_F(CliTest, RefusalsAndBadArgumentsExitWithTwo) {
  Result r = RunProgram(Cmd({"--name", "a:b", "--save", save, "--all", download}));
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err,
            "A filename cannot contain any of the following characters:\r\n\\ / : * ? \" < > "
            "|\n");
  r = RunProgram(Cmd({"--name", "  ", "--save", save, "--quiet", "--all", dir.File("none")}));
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("no such folder"), std::string::npos);
  std::filesystem::create_directory(dir.File("empty"));
  r = RunProgram(Cmd({"--name", "  ", "--save", save, "--quiet", "--all", dir.File("empty")}));
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err,
            "There are no files in the list or none selected.\nPlease enter the Database "
            "Filename.\n\r\n\rFor example:\n\rUse the name of the country or region.\n");
  for (auto args : {Cmd({"--all", download}), Cmd({"--name", "x"}), Cmd({"--bogus"}),
                    Cmd({"--name", "x", download + kSep + "A.txt", dir.File("elsewhere.txt")})}) {
    r = RunProgram(args);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("Usage: toponyx-create"), std::string::npos) << r.err;
  }
  EXPECT_FALSE(std::filesystem::exists(save + kSep + "x.names"));
}

TEST_F(CliTest, FailedRunExitsWithOneAndShowsTheError) {
  WriteFileBytes(dir.File("afile"), "in the way");
  Result r =
      RunProgram(Cmd({"--name", "x", "--save", dir.File("afile"), "--quiet", "--all", download}));
  EXPECT_EQ(r.status, 1);
#if defined(_WIN32)
  const char* reason = "Path not found";  // as Windows says it
#else
  const char* reason = "Not a directory";
#endif
  EXPECT_EQ(r.err, "Cannot create file " + dir.File("afile") + kSep + "x.names: " + reason + "\n");
  EXPECT_EQ(r.out, "");
}

TEST_F(CliTest, RelativePathsAreTakenFromTheCurrentFolder) {
  const std::string work = dir.File("work");
  std::filesystem::create_directory(work);
  ProcessOptions in_work;
  in_work.cwd = work;
  Result r = RunProcess(Cmd({"--name", "db", "--save", "out", "--temp", "./stage", "--quiet",
                             "../download/A.txt", "../download/b.txt"}),
                        in_work);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            work + kSep + "out" + kSep + "db.names\n" + work + kSep + "out" + kSep + "db.types\n");
  EXPECT_EQ(NamesOf(ReadNamesFile(work + kSep + "out/db.names")),
            (std::vector<std::string>{"Abbey", "Z\x81rich"}));
  EXPECT_TRUE(std::filesystem::is_empty(work + kSep + "stage"));  // nothing of the run left there

  r = RunProcess(Cmd({"--name", "all", "--save", "../save/./x", "--quiet", "--all", "../download"}),
                 in_work);
  EXPECT_EQ(r.status, 0) << r.err;
  // The folder as typed below the current one; the file's name joined with
  // the system's separator.
  EXPECT_EQ(r.out, save + "/./x" + kSep + "all.names\n" + save + "/./x" + kSep + "all.types\n");
  EXPECT_EQ(ReadNamesFile(save + kSep + "x/all.names").size(), 2u);

  // An empty folder given on purpose fails like an empty folder edit.
  for (const char* option : {"--save", "--temp"}) {
    r = RunProcess(Cmd({"--name", "e", option, "", "--quiet", "../download/A.txt"}), in_work);
    EXPECT_EQ(r.status, 1) << option;
    EXPECT_EQ(r.err, "Unable to create directory\n") << option;
  }
}

TEST_F(CliTest, FilesThatGiveNoPlaceAreNamedWithWhatEachGave) {
  Result r = RunProgram(Cmd(
      {"--name", "w", "--save", save, download + kSep + "notes.csv", download + kSep + "A.txt"}));
  EXPECT_EQ(r.status, 0) << r.err;
  const size_t warning = r.err.find(
      "Saving files\nThis file gave no places:\nnotes.csv: no name, latitude and longitude "
      "columns\n1 places "
      "written in ");
  EXPECT_NE(warning, std::string::npos) << r.err;
  EXPECT_NE(r.err.find(" s\n           1  A.txt\n           0  notes.csv\n"), std::string::npos)
      << r.err;
}

TEST_F(CliTest, HelpAndVersion) {
  Result r = RunProgram(Cmd({"--version"}));
  EXPECT_EQ(r.status, 0);
  // The GNU form: name and version alone on the first line, then the
  // copyright and licence.
  EXPECT_EQ(r.out.substr(0, r.out.find('\n') + 1), "toponyx-create 1.10a\n");
  EXPECT_NE(r.out.find("\nCopyright (C) "), std::string::npos) << r.out;
  EXPECT_EQ(r.err, "");
  r = RunProgram(Cmd({"--help"}));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("Usage: toponyx-create --name NAME [OPTION]... FILE...\n", 0), 0u);
  for (const char* part : {"--all DIR", "\nExit status:\n", "\nReport bugs to: <"}) {
    EXPECT_NE(r.out.find(part), std::string::npos) << part;
  }
}

TEST_F(CliTest, ChoicesOfWhatGoesIn) {
  Result r = RunProgram(Cmd({"--name", "alps", "--save", save, "--area", "45,5,48,11",
                             "--merge-duplicates=150", "--classes", "PTH", "--all", download}));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(NamesOf(ReadNamesFile(save + kSep + "alps.names")),
            std::vector<std::string>{"Z\x81rich"});
  // The summary says what each choice did.
  for (const char* line : {"\n1 place outside the area left out\n",
                           "\n0 places of other classes left out\n", "\n0 duplicates merged\n"}) {
    EXPECT_NE(r.err.find(line), std::string::npos) << line << r.err;
  }
  // A .types file without its codes, a missing one.
  WriteFileBytes(dir.File("no.types"), ";DATUM\r\nDATUM,WGS 84\r\n;Full Codes\r\n##########\r\n");
  const std::vector<std::vector<std::string>> bad_choices = {
      {"--area", "48,5,45,11"},
      {"--classes", "PX"},
      {"--merge-duplicates=0"},
      {"--types", dir.File("none.types")},
      {"--types", dir.File("no.types")},
      {"--languages", "en,,de"},
      {"--languages", "de"}};  // without --alternate-names
  for (const std::vector<std::string>& bad : bad_choices) {
    std::vector<std::string> args = Cmd({"--name", "x", "--save", save, "--all", download});
    args.insert(args.end() - 2, bad.begin(), bad.end());
    r = RunProgram(args);
    EXPECT_EQ(r.status, 2) << bad[0];
  }
}

// Every option --help names is in the manual page and the completion.
TEST_F(CliTest, EveryOptionOfTheHelpIsInTheManualAndTheCompletion) {
  const Result r = RunProgram(Cmd({"--help"}));
  const std::string page =
      ReadFileBytes(std::string(TOPONYX_SOURCE_DIR) + "/packaging/toponyx-create.1.in");
  const std::string completion = cli::CompletionScript(readers::DefaultFormats());
  size_t options = 0;
  for (size_t at = r.out.find("\n  "); at != std::string::npos; at = r.out.find("\n  ", at + 1)) {
    const size_t dashes = r.out.find("--", at);
    if (dashes == std::string::npos || dashes > at + 8) continue;
    const size_t end = r.out.find_first_of(" [=\n", dashes);
    const std::string option = r.out.substr(dashes, end - dashes);
    std::string escaped;
    for (char c : option) escaped += c == '-' ? "\\-" : std::string(1, c);
    EXPECT_NE(page.find(escaped), std::string::npos) << option;
    EXPECT_TRUE(completion.find(option + " ") != std::string::npos ||
                completion.find(option + "'") != std::string::npos)
        << option;
    ++options;
  }
  EXPECT_GE(options, 15u);
}

TEST_F(CliTest, OtherDbfReadersOpenTheDatabase) {
  Result r = RunProgram(Cmd({"--name", "usa", "--save", save, "--quiet", "--all", download}));
  ASSERT_EQ(r.status, 0) << r.err;
#if defined(_WIN32)
  GTEST_SKIP() << "the DBF reader of the check is Python's, on the build machine";
#endif
  if (::access(TOPONYX_PYTHON, X_OK) != 0) GTEST_SKIP() << "no system python";
  const std::string script = dir.File("read.py");
  WriteFileBytes(script,
                 "import sys\n"
                 "try:\n    import dbfread\nexcept ImportError:\n    sys.exit(77)\n"
                 "t = dbfread.DBF(sys.argv[1], encoding='cp437', char_decode_errors='strict')\n"
                 "print([f.name for f in t.fields])\n"
                 "for rec in t:\n    print(rec['NAME'] + '|' + rec['FULL_CODE'] + '|' + "
                 "rec['LATITUDE'] + '|' + rec['LONGITUDE'])\n");
  r = RunProgram({TOPONYX_PYTHON, script, save + kSep + "usa.names"});
  ASSERT_NE(r.status, 77) << "python3-dbfread is not installed";
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "['NAME', 'FULL_CODE', 'MAJOR_CODE', 'LATITUDE', 'LONGITUDE']\n"
            "Abbey|Church|38.0|-79.0\n"
            "Zürich|Populated Place|47.37|8.54\n");
}

}  // namespace
}  // namespace toponyx::testing
