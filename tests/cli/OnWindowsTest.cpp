// What the command does on Windows in particular: paths with backslashes
// and drive letters, names in any script, the registry's App Paths entry,
// run folders locked by the system, Ctrl+C.
#include <windows.h>

#include <gtest/gtest.h>

#include <csignal>

#include <filesystem>

#include "platform/AppPaths.h"
#include "platform/RunFolder.h"
#include "support/NamesFile.h"
#include "support/Process.h"
#include "support/TempDir.h"

namespace toponyx::testing {
namespace {

namespace fs = std::filesystem;

// A UTF-8 path for the standard library (which takes narrow paths in the
// ANSI code page on Windows).
fs::path U8(const std::string& utf8) {
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

class OnWindowsTest : public ::testing::Test {
 protected:
  ProcessResult Create(std::vector<std::string> args, const std::string& cwd = {}) {
    args.insert(args.begin(), {TOPONYX_CREATE, "--quiet"});
    ProcessOptions options;
    options.cwd = cwd;
    return RunProcess(std::move(args), options);
  }
  TempDir dir;
};

TEST_F(OnWindowsTest, BackslashesDriveLettersAndNamesInAnyScript) {
  const std::string folder = dir.File("Zürich ü");
  fs::create_directories(U8(folder));
  WriteFileBytes(folder + "\\Gipfel ä.tpx", "Piz Bernina,Peak,,46.38,9.91\n");
  // Relative paths with backslashes from the folder the program runs in.
  ProcessResult r =
      Create({"--name", "Höhen", "--save", "out\\sub", "Zürich ü\\Gipfel ä.tpx"}, dir.path());
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string save = dir.path() + "\\out\\sub";
  EXPECT_EQ(r.out, save + "\\Höhen.names\n" + save + "\\Höhen.types\n");
  EXPECT_EQ(NamesOf(ReadNamesFile(save + "\\Höhen.names")),
            std::vector<std::string>{"Piz Bernina"});
  // The same by a path with its drive letter and forward slashes.
  std::string with_slashes = folder + "/Gipfel ä.tpx";
  ASSERT_TRUE(with_slashes.size() > 2 && with_slashes[1] == ':');
  r = Create({"--name", "drive", "--save", save, with_slashes});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFileBytes(save + "\\drive.names").substr(4),
            ReadFileBytes(save + "\\Höhen.names").substr(4));
}

TEST_F(OnWindowsTest, TheAppPathsEntryComesFromTheRegistry) {
  const std::string key =
      "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\ToponyxTest.exe";
  ASSERT_EQ(
      RunProcess({"reg.exe", "add", key, "/v", "Path", "/d", "C:\\Carthovista Test", "/f"}).status,
      0);
  const platform::AppPathsEntry entry = platform::FindAppPath("ToponyxTest.exe");
  RunProcess({"reg.exe", "delete", key, "/f"});
  EXPECT_TRUE(entry.key_found);
  EXPECT_EQ(entry.path_value, "C:\\Carthovista Test");
  EXPECT_EQ(entry.local_folder, "C:\\Carthovista Test");
  EXPECT_FALSE(platform::FindAppPath("NoSuchProgram.exe").key_found);
}

TEST_F(OnWindowsTest, RunFoldersAreLockedByTheSystem) {
  platform::RunFolder::Result result;
  std::string error;
  auto first = platform::RunFolder::Open(dir.path(), "db", result, error);
  ASSERT_TRUE(first) << error;
  // A live folder keeps its claim, and is no killed run's to sweep.
  EXPECT_FALSE(platform::RunFolder::Open(dir.path(), "db", result, error));
  EXPECT_EQ(result, platform::RunFolder::Result::kClaimed);
  EXPECT_EQ(platform::RunFolder::RemoveAbandoned(dir.path()), 0);
  const std::string path = first->path();
  EXPECT_TRUE(fs::is_directory(U8(path)));
  // A folder whose marker nobody holds was left by a killed run.
  const std::string left = dir.File("toponyx-run-left01");
  fs::create_directories(U8(left));
  WriteFileBytes(left + "\\.toponyx-run", "Toponyx Creator run folder\nold\n");
  WriteFileBytes(left + "\\temp.names", "x");
  EXPECT_EQ(platform::RunFolder::RemoveAbandoned(dir.path()), 1);
  EXPECT_FALSE(fs::exists(U8(left)));
  first.reset();
  EXPECT_FALSE(fs::exists(U8(path)));
  EXPECT_TRUE(platform::RunFolder::Open(dir.path(), "db", result, error));
}

TEST_F(OnWindowsTest, CtrlBreakEndsARunCleanly) {
  // Wine started without a console delivers no console events.
  if (::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr) {
    GTEST_SKIP() << "Wine delivers no console events to processes without a console";
  }
  std::string lines;
  for (int i = 0; i < 400000; ++i) lines += "Place " + std::to_string(i) + ",Peak,,46.5,9.5\n";
  WriteFileBytes(dir.File("big.tpx"), lines);
  WriteFileBytes(dir.File("small.tpx"), "Old,Peak,,46.5,9.5\n");
  ASSERT_EQ(Create({"--name", "db", "--save", dir.File("save"), dir.File("small.tpx")}).status, 0);
  const std::string before = ReadFileBytes(dir.File("save\\db.names"));
  BackgroundProcess run({TOPONYX_CREATE, "--name", "db", "--save", dir.File("save"), "--temp",
                         dir.File("work"), dir.File("big.tpx")},
                        dir.File("bg"));
  ASSERT_TRUE(run.started());
  // Once the run reads: its working folder stands.
  for (int i = 0; i < 2000 && !fs::exists(U8(dir.File("work"))); ++i) ::Sleep(5);
  ::Sleep(100);
  run.Signal(0);
  const ProcessResult r = run.Wait();
  EXPECT_EQ(r.status, 128 + SIGBREAK) << r.err;
  EXPECT_NE(r.err.find("Cancelled"), std::string::npos) << r.err;
  EXPECT_EQ(ReadFileBytes(dir.File("save\\db.names")), before);
  EXPECT_TRUE(fs::is_empty(U8(dir.File("work"))));
}

}  // namespace
}  // namespace toponyx::testing
