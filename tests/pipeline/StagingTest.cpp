// Archives in a Create run: what is staged, what is read, what is removed.
#include <gtest/gtest.h>

#include "pipeline/BuildFixture.h"
#include "pipeline/Staging.h"
#include "support/FaultFileSystem.h"
#include "support/ZipWriter.h"

#include <zlib.h>

namespace toponyx::testing {
namespace {

using Texts = std::vector<std::string>;

// A tab-separated DECI line and a fixed-layout line of the USA GNIS files.
std::string DeciLine(const std::string& name) {
  return "1\t" + name + "\tLake\tAL\t01\tX\t1\t2\t3\t33.5\t-86.8\r\n";
}
std::string FixedLine(const std::string& name) {
  std::string line(160, ' ');
  line.replace(13, name.size(), name);
  line.replace(114, 3, "ppl");
  line.replace(140, 7, "341523N");
  line.replace(148, 8, "1183015W");
  return line + "\r\n";
}

class StagingTest : public BuildFixture {
 protected:
  void WriteZip(const std::string& name, const std::vector<ZipItem>& items) {
    Write(name, BuildZip(items));
  }
  // Files of the staging folder other than the ones the test put there.
  Texts StagingContents() { return ListFolderNames(staging); }
};

TEST_F(StagingTest, ZipMembersAreReadWhereTheyLieAndRemovedAfterwards) {
  std::vector<ZipItem> items = {
      {"data/", ""},
      {"data/AL_DECI.txt", DeciLine("From Data")},
      {"readme.txt", DeciLine("Readme")},
      {"docs/ReadMe_first.txt", DeciLine("Readme First")},
      {"other/AL_DECI.txt", DeciLine("From Other")},
      {"CA", FixedLine("Fixed Place")},
      {"notes.csv", "not read\n"},
  };
  WriteZip("al.zip", items);
  ASSERT_EQ(Run({"al.zip"}).status, pipeline::BuildStatus::kSucceeded);
  EXPECT_TRUE(ui.messages.empty());
  // Two members of one name in two folders are both read.
  EXPECT_EQ(NamesOf(Output()), (Texts{"Fixed Place", "From Data", "From Other"}));
  EXPECT_EQ(StagingContents(), Texts{});
  EXPECT_EQ(ListFolderNames(download), (Texts{"al.zip"}));
}

// Members named README (in any letter case, anywhere in the name) are
// expanded but never read, even when they hold lines a reader would take,
// and nothing of them stays behind.
TEST_F(StagingTest, ReadmeMembersAreNeverRead) {
  const std::string geonames =
      "\t\t\t-41.28\t174.77\tP\tPPL\tNZ\t\t\t\t\t\t0\t\t0\tPacific/Auckland\n";
  WriteZip("readme.zip", {{"README", FixedLine("Readme Plain")},
                          {"docs/ReadMe.txt", "2179537\tReadme Text" + geonames},
                          {"AL_readme_DECI.txt", DeciLine("Readme Deci")},
                          {"data.txt", "2179538\tKept" + geonames}});
  const pipeline::BuildOutcome out = Run({"readme.zip"});
  ASSERT_EQ(out.status, pipeline::BuildStatus::kSucceeded) << out.error;
  EXPECT_EQ(NamesOf(Output()), Texts{"Kept"});
  ASSERT_EQ(out.files.size(), 1u);
  EXPECT_EQ(out.files[0].name, "readme.zip: data.txt");
  EXPECT_EQ(StagingContents(), Texts{});
  EXPECT_EQ(ListFolderNames(download), Texts{"readme.zip"});
}

TEST_F(StagingTest, UsersFilesInTheStagingFolderAreNeverTouched) {
  // The download folder doubles as the staging folder and holds a file of
  // the same name as a member, and the working files' names.
  Write("AL_DECI.txt", "the user's own file\n");
  Write("README.txt", "the user's readme\n");
  WriteZip("one.zip", {{"AL_DECI.txt", DeciLine("One")}, {"README.txt", "archive readme"}});
  WriteZip("two.ZIP", {{"AL_DECI.txt", DeciLine("Two")}});
  pipeline::BuildRequest r = Request({"one.zip", "two.ZIP"});
  r.staging_folder = download;
  ASSERT_EQ(builder.Create(r).status, pipeline::BuildStatus::kSucceeded);
  // Members of one name in two archives do not replace each other.
  EXPECT_EQ(NamesOf(Output()), (Texts{"One", "Two"}));
  EXPECT_EQ(ReadFileBytes(download + kSep + "AL_DECI.txt"), "the user's own file\n");
  EXPECT_EQ(ReadFileBytes(download + kSep + "README.txt"), "the user's readme\n");
  EXPECT_EQ(ListFolderNames(download), (Texts{"AL_DECI.txt", "README.txt", "one.zip", "two.ZIP"}));
}

TEST_F(StagingTest, FilesThatAreNoArchiveArePassedOver) {
  Write("data.zip", "this is text, not an archive\n");
  Write("short.zip", "PK");
  ASSERT_EQ(Run({"data.zip", "short.zip"}).status, pipeline::BuildStatus::kSucceeded);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(Output().size(), 0u);
  EXPECT_TRUE(pipeline::HasZipSignature(platform::DefaultFileSystem(), [&] {
    Write("real.zip", BuildZip({{"a.txt", "x"}}));
    return download + kSep + "real.zip";
  }()));
  EXPECT_FALSE(
      pipeline::HasZipSignature(platform::DefaultFileSystem(), download + kSep + "missing.zip"));
}

TEST_F(StagingTest, DamagedZipFailsTheRunWithItsMessage) {
  std::string zip = BuildZip({{"AL_DECI.txt", DeciLine("Lost")}});
  Write("cut.zip", zip.substr(0, zip.size() / 2));  // no end record any more
  pipeline::BuildOutcome out = Run({"cut.zip"});
  EXPECT_EQ(out.status, pipeline::BuildStatus::kFailed);
  EXPECT_EQ(out.error, "Incomplete Zip File");
  EXPECT_EQ(StagingContents(), Texts{});
  EXPECT_FALSE(platform::DefaultFileSystem().Exists(save + kSep + "test.names"));
}

TEST_F(StagingTest, GzipFilesAreExpandedUnderTheirStoredNameWithUsa) {
  const std::string named = "CA_DECI.txt";
  Write("ca.gz", GzipMember(DeciLine("Deci Place"), &named));
  Write("plain.gz", GzipMember(FixedLine("Fixed Place")));  // no name: ".usa", fixed layout
  const std::string hostile = "../../escaped_DECI.txt";
  Write("evil.gz", GzipMember(DeciLine("Contained"), &hostile));
  ASSERT_EQ(Run({"ca.gz", "evil.gz", "plain.gz"}).status, pipeline::BuildStatus::kSucceeded);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(NamesOf(Output()), (Texts{"Contained", "Deci Place", "Fixed Place"}));
  EXPECT_EQ(StagingContents(), Texts{});
  EXPECT_FALSE(platform::DefaultFileSystem().Exists(dir.File("escaped_DECI.txt.usa")));
  EXPECT_FALSE(platform::DefaultFileSystem().Exists(dir.path() + kSep + "../escaped_DECI.txt.usa"));
}

TEST_F(StagingTest, GzipDamage) {
  // Not gzip at all: the run ends without any message.
  Write("text.gz", "plain text\n");
  pipeline::BuildOutcome out = Run({"text.gz"});
  EXPECT_EQ(out.status, pipeline::BuildStatus::kAborted);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(ui.events.back(), "closed");

  // Cut inside its data: what was expanded is read, after the error box.
  std::string lines;
  for (int i = 0; i < 4000; ++i) lines += DeciLine("Place " + std::to_string(i));
  const std::string named = "AL_DECI.txt";
  std::string gz = GzipMember(lines, &named);
  Write("cut.gz", gz.substr(0, gz.size() * 3 / 4));
  RecordingUi recorder;
  pipeline::Builder b(recorder, program);
  out = b.Create(Request({"cut.gz"}));
  EXPECT_EQ(out.status, pipeline::BuildStatus::kSucceeded);
  ASSERT_EQ(recorder.messages.size(), 1u);
  // The box names the file, and so does the outcome among its warnings.
  EXPECT_EQ(recorder.messages[0].text,
            "gzclose Error.\n" + download + kSep + "cut.gz: the data are damaged or cut short");
  EXPECT_EQ(out.damage, Texts{"cut.gz: the data are damaged or cut short"});
  EXPECT_EQ(recorder.messages[0].kind, MessageKind::kError);
  EXPECT_EQ(recorder.messages[0].buttons, MessageButtons::kAbort);
  size_t places = Output().size();
  EXPECT_GT(places, 0u);
  EXPECT_LT(places, 4000u);
  EXPECT_EQ(StagingContents(), Texts{});
}

// A gzip file of `mib` MiB of zero bytes, deflated as it is written.
std::string GzipOfZeros(int mib) {
  z_stream zs{};
  deflateInit2(&zs, 9, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY);
  std::vector<unsigned char> zeros(1 << 20, 0), out(1 << 16);
  std::string gz;
  for (int i = 0; i <= mib; ++i) {
    zs.next_in = zeros.data();
    zs.avail_in = i < mib ? static_cast<uInt>(zeros.size()) : 0;
    do {
      zs.next_out = out.data();
      zs.avail_out = static_cast<uInt>(out.size());
      deflate(&zs, i < mib ? Z_NO_FLUSH : Z_FINISH);
      gz.append(reinterpret_cast<char*>(out.data()), out.size() - zs.avail_out);
    } while (zs.avail_out == 0);
  }
  deflateEnd(&zs);
  return gz;
}

TEST_F(StagingTest, ArchivesThatWouldFillTheDiskAreRefused) {
  // 1,000 directory records that all point at one local entry.
  std::vector<ZipItem> overlapping = {{"a.txt", DeciLine("Once")}};
  for (int i = 0; i < 1000; ++i) {
    overlapping.emplace_back("copy" + std::to_string(i) + ".txt", DeciLine("Once"));
    overlapping.back().local_of = 0;
  }
  WriteZip("overlap.zip", overlapping);
  // A member that says it expands 200 MiB from a few bytes.
  ZipItem bomb("big.txt", DeciLine("Big"));
  bomb.declared_size = 200u << 20;
  WriteZip("ratio.zip", {bomb});
  Write("zeros.gz", GzipOfZeros(110));
  const struct {
    std::string file, message;
  } cases[] = {
      {"overlap.zip", "Damaged Zip File " + download + kSep + "overlap.zip: its entries overlap"},
      {"ratio.zip", "Zip File " + download + kSep +
                        "ratio.zip: big.txt would expand to 209715200 bytes from " +
                        std::to_string(Deflate(DeciLine("Big")).size()) +
                        ", more than 1,000 times its size; the archive is refused"},
      {"zeros.gz",
       download + kSep + "zeros.gz expands to more than 100 times its size; the file is refused"},
  };
  for (const auto& c : cases) {
    pipeline::BuildOutcome out = Run({c.file});
    EXPECT_EQ(out.status, pipeline::BuildStatus::kFailed) << c.file;
    EXPECT_EQ(out.error, c.message);
  }
  // An entry larger than the room left in the staging folder.
  FaultFileSystem full;
  full.SetFreeSpace(10);
  WriteZip("fine.zip", {{"AL_DECI.txt", DeciLine("Fine")}});
  RecordingUi recorder;
  pipeline::Builder b(recorder, program, full);
  pipeline::BuildOutcome out = b.Create(Request({"fine.zip"}));
  EXPECT_EQ(out.status, pipeline::BuildStatus::kFailed);
  EXPECT_NE(out.error.find(" to expand AL_DECI.txt of " + download + kSep + "fine.zip (" +
                           std::to_string(DeciLine("Fine").size()) + " bytes needed, 10 free)"),
            std::string::npos)
      << out.error;
  EXPECT_EQ(out.error.rfind("Not enough space in " + staging + kSep + "toponyx-run-", 0), 0u);
  EXPECT_EQ(StagingContents(), Texts{});
  EXPECT_EQ(ListFolderNames(save), Texts{});
}

// Bounds at their edge and over the whole archive: an entry at exactly
// 1,000 times its packed size is refused; fifty entries each within the
// bounds are refused together before anything is written when they would
// eat into the reserve of free space; a gzip file stops at the reserve.
TEST_F(StagingTest, ArchiveBoundsHoldAtTheirEdgeAndOverTheWholeArchive) {
  ZipItem edge("edge.txt", "");
  edge.method = 0;
  edge.packed = std::string(110000, 'x');
  edge.crc = 0;
  edge.declared_size = 110000u * 1000u;
  WriteZip("edge.zip", {edge});
  pipeline::BuildOutcome out = Run({"edge.zip"});
  EXPECT_EQ(out.status, pipeline::BuildStatus::kFailed);
  EXPECT_EQ(out.error, "Zip File " + download + kSep +
                           "edge.zip: edge.txt would expand to 110000000 bytes from 110000, more "
                           "than 1,000 times its size; the archive is refused");

  std::vector<ZipItem> many;
  for (int i = 0; i < 50; ++i) {
    ZipItem item("part" + std::to_string(i) + ".txt", "");
    item.method = 0;
    item.packed = std::string(110000, 'x');
    item.crc = 0;
    item.declared_size = 99u << 20;  // each under the 100 MiB of the ratio rule
    many.push_back(item);
  }
  WriteZip("many.zip", many);
  FaultFileSystem small;  // 600 MiB, all free: a reserve of 30 MiB
  small.SetTotalSpace(600 << 20);
  small.SetFreeSpace(600 << 20);
  small.LimitSpace(staging, int64_t{600} << 20);
  {
    RecordingUi recorder;
    pipeline::Builder b(recorder, program, small);
    out = b.Create(Request({"many.zip"}));
  }
  EXPECT_EQ(out.status, pipeline::BuildStatus::kFailed);
  EXPECT_NE(out.error.find(kSep + "many.zip (5190451200 bytes needed, 597688320 free)"),
            std::string::npos)
      << out.error;
  EXPECT_EQ(small.LimitedWrites(), std::vector<size_t>{});  // not a byte written

  std::string lines;
  for (int i = 0; i < 60000; ++i) lines += DeciLine("Place " + std::to_string(i));
  const std::string named = "AL_DECI.txt";
  Write("big.gz", GzipMember(lines, &named));
  FaultFileSystem reserved;  // 1 GiB, of which only the reserve and 512 KiB free
  reserved.SetTotalSpace(int64_t{1} << 30);
  reserved.SetFreeSpace((int64_t{1} << 30) / 20 + (512 << 10));
  {
    RecordingUi recorder;
    pipeline::Builder b(recorder, program, reserved);
    out = b.Create(Request({"big.gz"}));
  }
  EXPECT_EQ(out.status, pipeline::BuildStatus::kFailed);
  EXPECT_EQ(out.error.rfind("Not enough space in " + staging + kSep + "toponyx-run-", 0), 0u)
      << out.error;
  EXPECT_EQ(StagingContents(), Texts{});
}

// A member whose name no file system takes is passed over like the other
// members that cannot be written.
TEST_F(StagingTest, AMemberNameLongerThanAFileNameIsPassedOver) {
  const std::string long_name = std::string(300, 'n') + "_DECI.txt";
  WriteZip("long.zip", {{long_name, DeciLine("Lost")}, {"OK_DECI.txt", DeciLine("Kept")}});
  ASSERT_EQ(Run({"long.zip"}).status, pipeline::BuildStatus::kSucceeded);
  EXPECT_EQ(ui.texts(),
            Texts{"The member " + long_name + " of " + download + kSep +
                  "long.zip is passed over: its name is longer than a file name may be"});
  EXPECT_EQ(NamesOf(Output()), Texts{"Kept"});
}

TEST_F(StagingTest, MemberBlockedByAnEarlierMemberIsPassedOverWithAWarning) {
  WriteZip("mixed.zip", {{"a", FixedLine("File A")},
                         {"a/b.txt", DeciLine("Under A")},
                         {"c/", ""},
                         {"c", FixedLine("Folder C")},
                         {"OK_DECI.txt", DeciLine("Kept")}});
  ASSERT_EQ(Run({"mixed.zip"}).status, pipeline::BuildStatus::kSucceeded);
  const std::string zip = download + kSep + "mixed.zip";
  EXPECT_EQ(
      ui.texts(),
      (Texts{"The member a/b.txt of " + zip +
                 " is passed over: a file or folder of an earlier member stands in its way",
             "The member c of " + zip +
                 " is passed over: a file or folder of an earlier member stands in its way"}));
  EXPECT_EQ(ui.messages[0].kind, MessageKind::kWarning);
  EXPECT_EQ(NamesOf(Output()), (Texts{"File A", "Kept"}));
}

}  // namespace
}  // namespace toponyx::testing
