// Faults a user meets, in whole runs with the file-system hooks: the disk
// filling up in the save folder or in the staging folder at every write of
// a run, the staging folder being the download folder full of the user's
// own files, archive members aimed outside the staging folder, archives
// that expand without end. After each, the earlier database stands byte
// for byte and nothing of the user's is touched.
#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <map>

#include "pipeline/BuildFixture.h"
#include "support/FaultFileSystem.h"
#include "support/ZipWriter.h"

namespace toponyx::testing {
namespace {

namespace fs = std::filesystem;
using Texts = std::vector<std::string>;

constexpr const char* kDiskFull = ": No space left on device (injected)";

std::string DeciLine(const std::string& name) {
  return "1\t" + name + "\tLake\tAL\t01\tX\t1\t2\t3\t33.5\t-86.8\r\n";
}

std::string DeciLines(const std::string& name, int n) {
  std::string text;
  for (int i = 0; i < n; ++i) text += DeciLine(name + " " + std::to_string(i));
  return text;
}

// Every file and folder below root with its bytes ("/" for a folder).
std::map<std::string, std::string> Snapshot(const std::string& root) {
  std::map<std::string, std::string> all;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    const std::string path = e.path().string().substr(root.size());
    all[path] = e.is_directory() ? "/" : ReadFileBytes(e.path().string());
  }
  return all;
}

// The budgets that make a run fail at each of its writes below a folder:
// at the write's first byte and in its middle.
std::vector<int64_t> BudgetsForEveryWrite(const std::vector<size_t>& writes) {
  std::vector<int64_t> budgets;
  int64_t before = 0;
  for (size_t n : writes) {
    budgets.push_back(before);
    if (n > 1) budgets.push_back(before + static_cast<int64_t>(n / 2));
    before += static_cast<int64_t>(n);
  }
  return budgets;
}

class FaultTest : public BuildFixture {
 protected:
  // A run through a file system whose disk below `folder` takes `budget`
  // more bytes (-1: no limit); the sizes of its writes there go to writes.
  pipeline::BuildOutcome RunWithSpace(const pipeline::BuildRequest& request,
                                      const std::string& folder, int64_t budget,
                                      std::vector<size_t>* writes = nullptr) {
    FaultFileSystem faults;
    faults.LimitSpace(folder, budget < 0 ? int64_t{1} << 40 : budget);
    RecordingUi recorder;
    pipeline::Builder b(recorder, program, faults);
    pipeline::BuildOutcome out = b.Create(request);
    if (writes) *writes = faults.LimitedWrites();
    return out;
  }

  // The downloads of the runs below: a ZIP archive, a gzip file, a text file.
  void WriteDownloads(const std::string& tag) {
    Write("al.zip", BuildZip({{"AL_DECI.txt", DeciLines(tag + " Zip", 300)}}));
    const std::string stored = "CA_DECI.txt";
    Write("ca.gz", GzipMember(DeciLines(tag + " Gzip", 300), &stored));
    Write("va_DECI.txt", DeciLines(tag + " Text", 50));
  }
};

TEST_F(FaultTest, FullDiskInTheSaveFolderAtEveryWriteKeepsTheEarlierDatabase) {
  WriteDownloads("Old");
  ASSERT_EQ(Run({"al.zip", "ca.gz", "va_DECI.txt"}).status, pipeline::BuildStatus::kSucceeded);
  WriteDownloads("New");
  const pipeline::BuildRequest request = Request({"al.zip", "ca.gz", "va_DECI.txt"});
  // The writes of the run, from a run into another folder.
  pipeline::BuildRequest probe = request;
  probe.save_folder = save + "2";
  std::vector<size_t> writes;
  ASSERT_EQ(RunWithSpace(probe, probe.save_folder, -1, &writes).status,
            pipeline::BuildStatus::kSucceeded);
  ASSERT_GE(writes.size(), 2u);  // the table and the types file
  const auto before = Snapshot(dir.path());

  for (int64_t budget : BudgetsForEveryWrite(writes)) {
    const pipeline::BuildOutcome out = RunWithSpace(request, save, budget);
    ASSERT_EQ(out.status, pipeline::BuildStatus::kFailed) << budget;
    EXPECT_TRUE(out.error == "Cannot write file " + save + kSep + "test.names" + kDiskFull ||
                out.error == "Cannot write file " + save + kSep + "test.types" + kDiskFull)
        << budget << ": " << out.error;
    EXPECT_EQ(Snapshot(dir.path()), before) << budget;
  }
  // With room for every byte the run goes through.
  int64_t total = 0;
  for (size_t n : writes) total += static_cast<int64_t>(n);
  ASSERT_EQ(RunWithSpace(request, save, total).status, pipeline::BuildStatus::kSucceeded);
  EXPECT_EQ(NamesOf(Output())[0], "New Gzip 0");
}

TEST_F(FaultTest, FullDiskInTheStagingFolderAtEveryWriteKeepsTheEarlierDatabase) {
  WriteDownloads("Old");
  ASSERT_EQ(Run({"al.zip", "ca.gz", "va_DECI.txt"}).status, pipeline::BuildStatus::kSucceeded);
  WriteDownloads("New");
  std::vector<size_t> writes;
  ASSERT_EQ(RunWithSpace(Request({"al.zip", "ca.gz", "va_DECI.txt"}, "probe"), staging, -1, &writes)
                .status,
            pipeline::BuildStatus::kSucceeded);
  // The archive member, the gzip output, the working table, the index.
  ASSERT_GE(writes.size(), 4u);
  const auto before = Snapshot(dir.path());
  const pipeline::BuildRequest request = Request({"al.zip", "ca.gz", "va_DECI.txt"});
  for (int64_t budget : BudgetsForEveryWrite(writes)) {
    const pipeline::BuildOutcome out = RunWithSpace(request, staging, budget);
    ASSERT_EQ(out.status, pipeline::BuildStatus::kFailed) << budget;
    EXPECT_EQ(out.error.rfind("Cannot write file " + staging + kSep + "toponyx-run-", 0), 0u)
        << budget << ": " << out.error;
    // The ZIP extractor's own message names the member alone.
    EXPECT_TRUE(out.error.ends_with(kDiskFull) || out.error.ends_with(kSep + "AL_DECI.txt"))
        << budget << ": " << out.error;
    EXPECT_EQ(Snapshot(dir.path()), before) << budget;
  }
}

TEST_F(FaultTest, StagingFolderThatIsTheDownloadFolderKeepsEveryFileOfTheUser) {
  // Beside the downloads, files named like a member, like the gzip output,
  // like the working files, and a folder of the user's.
  WriteDownloads("Old");
  Write("AL_DECI.txt", "the user's own AL_DECI.txt\n");
  Write("CA_DECI.txt.usa", "the user's own .usa file\n");
  Write("README.txt", "the user's readme\n");
  Write("temp.names", "the user's temp.names");
  Write("temp.ndx", "the user's temp.ndx");
  fs::create_directories(download + kSep + "toponyx-run-mine");
  Write("toponyx-run-mine/notes.txt", "the user's notes\n");
  pipeline::BuildRequest request = Request({"al.zip", "ca.gz", "va_DECI.txt"});
  request.staging_folder = download;
  pipeline::BuildRequest probe = request;
  probe.database_name = "probe";
  std::vector<size_t> writes;
  ASSERT_EQ(RunWithSpace(probe, download, -1, &writes).status, pipeline::BuildStatus::kSucceeded);
  ASSERT_GE(writes.size(), 4u);

  const auto downloads = Snapshot(download);
  ASSERT_EQ(builder.Create(request).status, pipeline::BuildStatus::kSucceeded);
  EXPECT_EQ(Output().size(), 650u);
  EXPECT_EQ(Snapshot(download), downloads);
  // Failing runs there (the disk full at their first and at a later
  // write) touch nothing either, the earlier database included.
  const auto before = Snapshot(dir.path());
  for (int64_t budget : {int64_t{0}, BudgetsForEveryWrite(writes)[4]}) {
    const pipeline::BuildOutcome out = RunWithSpace(request, download, budget);
    ASSERT_EQ(out.status, pipeline::BuildStatus::kFailed) << budget;
    EXPECT_EQ(Snapshot(dir.path()), before) << budget;
  }
}

TEST_F(FaultTest, ZipMembersAimedOutsideLandInsideTheStagingFolder) {
  const Texts names = {"../../up_DECI.txt",   "/abs/root_DECI.txt",   "C:\\drive_DECI.txt",
                       "a\\b\\back_DECI.txt", "..\\..\\win_DECI.txt", "sub/../../mixed_DECI.txt",
                       "./dot_DECI.txt"};
  std::vector<ZipItem> items;
  for (const std::string& n : names) items.emplace_back(n, DeciLine("From " + n));
  Write("aimed.zip", BuildZip(items));
  const auto before = Snapshot(dir.path());
  const std::string above = fs::path(dir.path()).parent_path().string();
  ASSERT_EQ(Run({"aimed.zip"}).status, pipeline::BuildStatus::kSucceeded);
  EXPECT_EQ(Output().size(), names.size());  // every member read, from inside
  auto after = Snapshot(dir.path());
  EXPECT_EQ(after.erase(kSep + "save"), 1u);
  EXPECT_EQ(after.erase(kSep + "save" + kSep + "test.names"), 1u);
  EXPECT_EQ(after.erase(kSep + "save" + kSep + "test.types"), 1u);
  EXPECT_EQ(after.erase(kSep + "staging"), 1u);
  EXPECT_EQ(after, before);  // nothing else, and nothing left in the staging folder
  EXPECT_FALSE(fs::exists("/abs/root_DECI.txt"));
  EXPECT_FALSE(fs::exists("C:"));
  for (const char* n : {"up_DECI.txt", "win_DECI.txt", "mixed_DECI.txt"}) {
    EXPECT_FALSE(fs::exists(above + kSep + n)) << n;
  }
}

// 1 GiB of zero bytes as raw deflate data: one chunk of 1 MiB of zeros and
// then the same flushed chunk over and over (it only copies the zeros
// before it), about 1 MiB in all.
std::string DeflatedZeros(int mib) {
  z_stream zs{};
  deflateInit2(&zs, 9, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY);
  std::vector<unsigned char> zeros(1 << 20, 0), out(1 << 16);
  std::string chunks[2];
  for (std::string& chunk : chunks) {
    zs.next_in = zeros.data();
    zs.avail_in = static_cast<uInt>(zeros.size());
    do {
      zs.next_out = out.data();
      zs.avail_out = static_cast<uInt>(out.size());
      deflate(&zs, Z_FULL_FLUSH);
      chunk.append(reinterpret_cast<char*>(out.data()), out.size() - zs.avail_out);
    } while (zs.avail_out == 0);
  }
  deflateEnd(&zs);
  std::string data = chunks[0];
  for (int i = 1; i < mib; ++i) data += chunks[1];
  return data + std::string("\x03\x00", 2);  // a last, empty block
}

// A read that fails midway (a disk error, a network folder gone) at any
// read of a run, in a text file, a gzip file and a ZIP archive: the run ends
// with the error, and the earlier database and the user's files stand.
TEST_F(FaultTest, ReadsThatFailMidwayEndTheRunAndKeepTheEarlierDatabase) {
  Write("al.zip", BuildZip({{"AL_DECI.txt", DeciLines("Old Zip", 5000)}}));
  const std::string stored = "CA_DECI.txt";
  Write("ca.gz", GzipMember(DeciLines("Old Gzip", 5000), &stored));
  Write("va_DECI.txt", DeciLines("Old Text", 5000));
  for (const std::string file : {"va_DECI.txt", "ca.gz", "al.zip"}) {
    ASSERT_EQ(Run({"al.zip", "ca.gz", "va_DECI.txt"}).status, pipeline::BuildStatus::kSucceeded);
    const auto before = Snapshot(dir.path());
    int failed = 0;
    for (int n = 1;; ++n) {
      FaultFileSystem faults;
      faults.FailReadAfter(n);
      RecordingUi recorder;
      pipeline::Builder b(recorder, program, faults);
      const pipeline::BuildOutcome out = b.Create(Request({file}));
      if (out.status == pipeline::BuildStatus::kSucceeded) break;  // every read made
      ++failed;
      EXPECT_EQ(out.status, pipeline::BuildStatus::kFailed) << file << " " << n;
      EXPECT_TRUE(out.error.find("Cannot read file ") == 0 ||
                  out.error.find("Read error in file ") == 0 || out.error == "Incomplete Zip File")
          << file << " " << n << ": " << out.error;
      EXPECT_TRUE(Snapshot(dir.path()) == before) << file << " " << n;
      ASSERT_LT(n, 200) << file;
    }
    EXPECT_GT(failed, 2) << file;  // reads of the input itself, not only the first
  }
}

TEST_F(FaultTest, ZipBombsStopAtTheirBoundsWithoutFillingTheDisk) {
  const std::string zeros = DeflatedZeros(1024);
  ASSERT_LT(zeros.size(), (1u << 30) / 1000);
  ZipItem bomb("zeros_DECI.txt", "");
  bomb.packed = zeros;
  bomb.crc = 0;
  bomb.declared_size = 1u << 30;
  Write("honest.zip", BuildZip({bomb, {"after_DECI.txt", DeciLine("After")}}));
  bomb.declared_size = 64u << 10;  // a header that hides the size
  Write("hiding.zip", BuildZip({bomb, {"after_DECI.txt", DeciLine("After")}}));

  // The stated size is refused before anything is written; the hidden one
  // is cut at the size its header gives, and the member fails its check.
  pipeline::BuildOutcome out = RunWithSpace(Request({"honest.zip"}), staging, 1 << 20);
  EXPECT_EQ(out.status, pipeline::BuildStatus::kFailed);
  EXPECT_EQ(out.error,
            "Zip File " + download + kSep + "honest.zip: zeros_DECI.txt would expand to " +
                std::to_string(1u << 30) + " bytes from " + std::to_string(zeros.size()) +
                ", more than 1,000 times its size; the archive is refused");
  out = RunWithSpace(Request({"hiding.zip"}), staging, 1 << 20);
  ASSERT_EQ(out.status, pipeline::BuildStatus::kSucceeded) << out.error;
  EXPECT_EQ(NamesOf(Output()), Texts{"After"});
  // The member dropped for its size is named among the run's warnings.
  EXPECT_EQ(out.damage,
            Texts{"hiding.zip: zeros_DECI.txt: the data are damaged; the member is passed over"});
  EXPECT_EQ(ListFolderNames(staging), Texts{});
}

}  // namespace
}  // namespace toponyx::testing
