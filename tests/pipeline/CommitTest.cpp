// The two files of a database are put in place as one: a run killed
// between its renames is completed by the next run beside it, and a run
// that found no place never replaces a database.
#if !defined(_WIN32)
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

#include "pipeline/BuildFixture.h"
#include "platform/RunFolder.h"
#include "support/FaultFileSystem.h"

namespace toponyx::testing {
namespace {

namespace fs = std::filesystem;

class CommitTest : public BuildFixture {
 protected:
#if !defined(_WIN32)
  // A run of the request in a child process killed at its n-th rename.
  void RunKilledAtRename(const pipeline::BuildRequest& request, int n) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      FaultFileSystem faults;
      faults.KillAtRename(n);
      NullBuildUi quiet;
      pipeline::Builder b(quiet, program, faults);
      b.Create(request);
      ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
  }

#endif

  std::vector<std::string> SaveFolderNames() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(save))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
};

#if !defined(_WIN32)  // a child process killed at a chosen moment: fork
TEST_F(CommitTest, ARunKilledBetweenItsRenamesIsCompletedByTheNextRun) {
  Write("old.tpx", "Old,Peak,,-36.5,174.25\n");
  Write("new.tpx", "New,Hut,,-35,175\n");
  for (int killed_at : {1, 2}) {
    ASSERT_EQ(Run({"old.tpx"}).status, pipeline::BuildStatus::kSucceeded);
    RunKilledAtRename(Request({"new.tpx"}), killed_at);
    // Killed before the first rename both files are the old ones; killed
    // between the renames the table is the new one beside the old types.
    EXPECT_EQ(NamesOf(Output()), std::vector<std::string>{killed_at == 1 ? "Old" : "New"});
    EXPECT_EQ(Types(), TypesWith({"Peak"}));
    // Before anything else is done in the save folder, the next run (here
    // the sweep it begins with) completes the pair from the record.
    EXPECT_EQ(platform::RunFolder::RemoveAbandoned(save), 1);
    EXPECT_EQ(NamesOf(Output()), std::vector<std::string>{"New"}) << killed_at;
    EXPECT_EQ(Types(), TypesWith({"Hut"})) << killed_at;
    EXPECT_EQ(SaveFolderNames(), (std::vector<std::string>{"test.names", "test.types"}));
  }
  // A record cut short (no "end") is no record: the folder goes, the
  // database stays as it was.
  ASSERT_EQ(Run({"old.tpx"}).status, pipeline::BuildStatus::kSucceeded);
  RunKilledAtRename(Request({"new.tpx"}), 1);
  for (const auto& e : fs::directory_iterator(save)) {
    const fs::path record = e.path() / ".toponyx-commit";
    if (fs::exists(record)) {
      std::string text = ReadFileBytes(record);
      WriteFileBytes(record, text.substr(0, text.size() - 4));
    }
  }
  EXPECT_EQ(platform::RunFolder::RemoveAbandoned(save), 1);
  EXPECT_EQ(NamesOf(Output()), std::vector<std::string>{"Old"});
  EXPECT_EQ(SaveFolderNames(), (std::vector<std::string>{"test.names", "test.types"}));
}

#endif

TEST_F(CommitTest, ACancelWhileTheTypesFileIsWrittenKeepsTheDatabase) {
  Write("old.tpx", "Old,Peak,,-36.5,174.25\n");
  Write("new.tpx", "New,Hut,,-35,175\n");
  ASSERT_EQ(Run({"old.tpx"}).status, pipeline::BuildStatus::kSucceeded);
  FaultFileSystem faults;
  RecordingUi recorder;
  pipeline::Builder b(recorder, program, faults);
  // The user cancels at the last moment: while the types file is written,
  // after every file of the new database is whole.
  faults.FailOpen([&b](const std::string& path) {
    if (path.ends_with(".types.part")) b.Cancel();
    return false;
  });
  EXPECT_EQ(b.Create(Request({"new.tpx"})).status, pipeline::BuildStatus::kCancelled);
  EXPECT_EQ(NamesOf(Output()), std::vector<std::string>{"Old"});
  EXPECT_EQ(Types(), TypesWith({"Peak"}));
}

TEST_F(CommitTest, ARunThatFoundNoPlaceKeepsTheDatabase) {
  Write("old.tpx", "Old,Peak,,-36.5,174.25\n");
  Write("empty.tpx", "; nothing\n");
  ASSERT_EQ(Run({"old.tpx"}).status, pipeline::BuildStatus::kSucceeded);
  const std::string names = ReadFileBytes(save + kSep + "test.names");
  const pipeline::BuildOutcome out = Run({"empty.tpx"});
  EXPECT_EQ(out.status, pipeline::BuildStatus::kFailed);
  EXPECT_EQ(out.error,
            "No place was read from the files: " + save + kSep + "test.names is kept as it was.");
  EXPECT_EQ(out.warnings, std::vector<std::string>{"empty.tpx: no usable lines"});
  EXPECT_EQ(ReadFileBytes(save + kSep + "test.names"), names);
  // Without a database of that name the written behaviour stays: an empty
  // one is written.
  EXPECT_EQ(Run({"empty.tpx"}, "fresh").status, pipeline::BuildStatus::kSucceeded);
  EXPECT_EQ(Output("fresh").size(), 0u);
}

}  // namespace
}  // namespace toponyx::testing
