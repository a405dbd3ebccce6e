#include "archive/UnZip.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/Error.h"
#include "platform/FileAttributes.h"
#include "support/FaultFileSystem.h"
#include "support/RecordingUi.h"
#include "support/TempDir.h"
#include "support/ZipWriter.h"

namespace toponyx {
namespace {

using archive::UnZip;
using testing::BuildZip;
using testing::ZipItem;
using testing::ZipLayout;

// Text of a realistic shape that deflate does not shrink to nothing.
std::string Lines(int n) {
  std::string s;
  uint32_t x = 12345;
  for (int i = 0; i < n; ++i) {
    x = x * 1103515245u + 12345u;
    s += std::to_string(x) + "|Bethel Church|" + std::to_string(x % 90) + ".5|" +
         std::to_string(x % 180) + ".25\r\n";
  }
  return s;
}

std::vector<std::string> Folder(const std::string& path) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(path)) {
    names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class UnZipTest : public ::testing::Test {
 protected:
  // Writes the archive, extracts it into a fresh "out" folder; returns the
  // count, or -1 with the error text in `error`.
  int Run(const std::string& bytes, platform::FileSystem* fs = nullptr) {
    testing::WriteFileBytes(zip_path, bytes);
    std::filesystem::remove_all(out);
    std::filesystem::create_directory(out);
    unzip = std::make_unique<UnZip>(ui, fs ? *fs : platform::DefaultFileSystem());
    unzip->SetDestDir(out + "/");
    unzip->SetZipName(zip_path);
    try {
      return unzip->Extract();
    } catch (const Error& e) {
      error = e.what();
      return -1;
    }
  }
  std::string Out(const std::string& name) {
    return testing::ReadFileBytes(out + testing::kSep + name);
  }

  testing::TempDir dir;
  std::string zip_path = dir.File("a.zip");
  std::string out = dir.File("out");
  testing::RecordingUi ui;
  std::unique_ptr<UnZip> unzip;
  std::string error;
};

TEST_F(UnZipTest, StoredAndDeflatedEntriesComeOutWhole) {
  const std::string big = Lines(40000);  // many blocks of compressed data
  ZipItem stored{"data/AL_DECI.txt", "stored text\n"};
  stored.method = 0;
  ZipItem empty{"EMPTY.TXT", ""};
  ASSERT_EQ(Run(BuildZip({stored, {"big.txt", big}, empty})), 3);
  EXPECT_EQ(Folder(out), (std::vector<std::string>{"AL_DECI.txt", "EMPTY.TXT", "big.txt"}));
  EXPECT_EQ(Out("AL_DECI.txt"), "stored text\n");
  EXPECT_EQ(Out("big.txt"), big);
  EXPECT_EQ(Out("EMPTY.TXT"), "");
  ASSERT_EQ(unzip->Count(), 3);
  const archive::ZipEntry& e = unzip->Entry(1);
  EXPECT_EQ(e.method, 8);
  EXPECT_EQ(e.uncompressed_size, big.size());
  EXPECT_GT(e.local_header_offset, 0u);
  EXPECT_TRUE(e.kept);
  EXPECT_EQ(unzip->Entry(0).folder, "data/");
  // One breath per block of at most 16000 compressed bytes.
  EXPECT_GE(ui.breaths, static_cast<int>(e.compressed_size / 16000));
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(UnZipTest, NamesLandInTheDestinationFolderOnly) {
  ZipItem utf8{"Turmion K\xC3\xA4til\xC3\xB6t/M\xC3\xA4.txt", "u"};
  utf8.flags = 0x800;
  const std::string bytes = BuildZip({{"data/", ""},
                                      {"dir\\back.txt", "b"},
                                      {"../../escape.txt", "e"},
                                      {"/abs.txt", "a"},
                                      {"sub/..", "x"},
                                      {"sub/.", "y"},
                                      {std::string("nul\0.txt", 8), "n"},
                                      {"Z\x81rich.txt", "oem"},  // CP437 u-umlaut
                                      utf8});
  ASSERT_EQ(Run(bytes), 5);
  EXPECT_EQ(Folder(out), (std::vector<std::string>{"M\xC3\xA4.txt", "Z\xC3\xBCrich.txt", "abs.txt",
                                                   "back.txt", "escape.txt"}));
  EXPECT_EQ(Folder(dir.path()), (std::vector<std::string>{"a.zip", "out"}));
  ASSERT_EQ(unzip->Count(), 9);
  const std::vector<std::string> expected = {
      "", "back.txt", "escape.txt", "abs.txt", "", "", "", "Z\xC3\xBCrich.txt", "M\xC3\xA4.txt"};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(unzip->Entry(i).file_name, expected[i]) << i;
  for (int bad : {-1, 9}) {
    try {
      (void)unzip->Entry(bad);
      ADD_FAILURE() << bad;
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()), "Index " + std::to_string(bad) + " is out of range");
    }
  }
}

// The UTF-8 flag is a claim: a name that is no UTF-8 is read as OEM text
// like an unflagged one, so that no file gets a name that is not UTF-8.
TEST_F(UnZipTest, NameFlaggedUtf8ThatIsNoUtf8IsReadAsOem) {
  ZipItem broken{"Z\x81rich \xC3\xC3.txt", "u"};  // a lead byte where a continuation belongs
  broken.flags = 0x800;
  ASSERT_EQ(Run(BuildZip({broken})), 1) << error;
  EXPECT_EQ(unzip->Entry(0).name, "Z\xC3\xBCrich \xE2\x94\x9C\xE2\x94\x9C.txt");
  EXPECT_EQ(Folder(out), std::vector<std::string>{"Z\xC3\xBCrich \xE2\x94\x9C\xE2\x94\x9C.txt"});
}

// The data of an entry begins after the local header's own name and extra
// field, whose length need not be the central record's.
TEST_F(UnZipTest, LocalExtraFieldsArePassedOver) {
  ZipItem stored{"stored.txt", "stored text\n"};
  stored.method = 0;
  stored.local_extra = std::string("UT\x05\x00\x03\x10\x20\x30\x40", 9);  // a time stamp
  ZipItem deflated{"deflated.txt", Lines(50)};
  deflated.local_extra = std::string("\x99\x99\x1c\x00", 4) + std::string(28, '\x07');
  ZipItem plain{"plain.txt", "no extra field"};
  ASSERT_EQ(Run(BuildZip({stored, deflated, plain})), 3) << error;
  EXPECT_EQ(Out("stored.txt"), stored.data);
  EXPECT_EQ(Out("deflated.txt"), deflated.data);
  EXPECT_EQ(Out("plain.txt"), plain.data);
}

TEST_F(UnZipTest, LaterEntryOfTheSameNameReplacesTheEarlier) {
  const std::string bytes = BuildZip({{"a/x.txt", "one"}, {"b/x.txt", "two"}});
  ASSERT_EQ(Run(bytes), 2);
  EXPECT_EQ(Out("x.txt"), "two");
  EXPECT_FALSE(unzip->Entry(0).kept);  // its file was replaced
  EXPECT_TRUE(unzip->Entry(1).kept);
  // A second extraction replaces changed and read-only files without asking.
  testing::WriteFileBytes(out + testing::kSep + "x.txt", "changed");
  platform::SetReadOnly(out + testing::kSep + "x.txt", true);
  EXPECT_EQ(unzip->Extract(), 2);
  EXPECT_EQ(Out("x.txt"), "two");
}

TEST_F(UnZipTest, EndRecordIsFoundBehindCommentsAndFrontData) {
  const std::vector<ZipItem> items = {{"a.txt", "alpha"}, {"b.txt", "beta"}};
  ZipLayout comment;
  comment.comment = std::string(3000, 'c') + "PK\x05\x06 not an end record";
  ZipLayout front;
  front.front = std::string(5000, 'X');  // a program in front of the archive
  ZipLayout zip64;
  zip64.zip64_end = true;
  for (const ZipLayout& layout : {comment, front, zip64}) {
    ASSERT_EQ(Run(BuildZip(items, layout)), 2) << error;
    EXPECT_EQ(Out("b.txt"), "beta");
  }
  // Trailing bytes behind the record, as a comment length that does not fit.
  ASSERT_EQ(Run(BuildZip(items) + "junk"), 2);
  ZipItem big{"z64.txt", Lines(100)};
  big.zip64 = true;
  ASSERT_EQ(Run(BuildZip({big, {"after.txt", "x"}}, zip64)), 2) << error;
  EXPECT_EQ(Out("z64.txt"), big.data);
}

TEST_F(UnZipTest, MoreThan65535EntriesAreAllListed) {
  std::vector<ZipItem> items;
  for (int i = 0; i < 65540; ++i) {
    items.push_back({std::to_string(i), ""});
    items.back().method = 0;
  }
  ZipLayout zip64;
  zip64.zip64_end = true;
  ZipLayout wrapped;  // 16-bit count without ZIP64 records
  for (const ZipLayout& layout : {zip64, wrapped}) {
    testing::WriteFileBytes(zip_path, BuildZip(items, layout));
    UnZip z(ui);
    z.SetZipName(zip_path);
    ASSERT_EQ(z.Count(), 65540);
    EXPECT_EQ(z.Entry(65539).file_name, "65539");
  }
}

TEST_F(UnZipTest, EncryptedAndDamagedEntriesArePassedOverOrDeleted) {
  ZipItem secret{"secret.txt", "hidden"};
  secret.password = "secret";
  ZipItem strong{"strong.txt", "hidden"};
  strong.flags = 0x41;
  ZipItem bad_crc{"crc.txt", "payload"};
  bad_crc.crc = 0x12345678;
  ZipItem corrupt{"corrupt.txt", "payload"};
  corrupt.packed = std::string("\xff\xff\xff\xff\xff", 5);
  ZipItem short_data{"short.txt", "payload"};
  short_data.method = 0;
  short_data.packed = "pay";
  ZipItem unknown{"moby.txt", "x"};
  unknown.method = 7;
  ZipItem open{"open.txt", "empty password"};
  open.password = "";
  const std::string bytes =
      BuildZip({secret, strong, bad_crc, corrupt, short_data, unknown, {"good.txt", "ok"}, open});
  ASSERT_EQ(Run(bytes), 2) << error;
  // An entry sealed with the empty password opens with it.
  EXPECT_EQ(Folder(out), (std::vector<std::string>{"good.txt", "open.txt"}));
  EXPECT_EQ(Out("open.txt"), "empty password");
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "Unknown Compression Method");
  EXPECT_EQ(ui.messages[0].caption, "Zip Error");
  EXPECT_EQ(ui.messages[0].buttons, MessageButtons::kOk);
  EXPECT_TRUE(unzip->Entry(0).encrypted);
  EXPECT_EQ(unzip->Count(), 8);
}

TEST_F(UnZipTest, UnreadableArchivesEndTheExtraction) {
  const std::string good = BuildZip({{"a.txt", Lines(50)}, {"b.txt", Lines(50)}});
  ZipLayout split;
  split.disk = 1;
  ZipLayout inflated;
  inflated.count = 60000;  // more records than the directory holds
  ZipLayout billion;
  billion.zip64_end = true;
  billion.count = 1000000000;
  std::string huge = BuildZip({{"a.txt", "x"}});
  huge.replace(huge.size() - 10, 4, "\xff\xff\xff\x3f");  // a directory of 1 GiB
  const std::pair<std::string, std::string> cases[] = {
      {"", "Incomplete Zip File"},
      {"plain text, not an archive", "Incomplete Zip File"},
      {good.substr(0, good.size() - 10), "Incomplete Zip File"},
      {good.substr(0, good.size() / 2), "Incomplete Zip File"},
      {BuildZip({{"a.txt", "x"}}, inflated), "Incomplete Zip File"},
      {BuildZip({{"a.txt", "x"}}, billion), "Incomplete Zip File"},
      {huge, "Incomplete Zip File"},
      {BuildZip({{"a.txt", "x"}}, split),
       "This Zip File is split over several disks; split archives are not supported"},
  };
  for (const auto& [bytes, text] : cases) {
    EXPECT_EQ(Run(bytes), -1);
    EXPECT_EQ(error, text);
    EXPECT_TRUE(Folder(out).empty());
  }
  // Data that run past the end of the file: what came before stays.
  ZipItem claims{"b.txt", std::string(5000, 'y')};
  claims.method = 0;
  std::string bytes = BuildZip({{"a.txt", "first"}, claims});
  bytes.erase(bytes.find(claims.data) + 100, 4900);  // the directory moves forward
  const size_t directory = bytes.find("PK\x01\x02");
  for (int i = 0; i < 4; ++i) bytes[bytes.size() - 6 + i] = static_cast<char>(directory >> (8 * i));
  EXPECT_EQ(Run(bytes), -1);
  EXPECT_EQ(error, "Premature end of file reached");
  EXPECT_EQ(Folder(out), std::vector<std::string>{"a.txt"});
}

TEST_F(UnZipTest, FileSystemFailuresEndTheExtractionWithoutLeftovers) {
  const std::string bytes = BuildZip({{"a.txt", Lines(30000)}});
  testing::FaultFileSystem create;
  create.FailOpen([](const std::string& p) {
    return p.find(std::string(testing::kSep) + "out" + testing::kSep) != std::string::npos;
  });
  EXPECT_EQ(Run(bytes, &create), -1);
  EXPECT_EQ(error, "Cannot create file " + out + testing::kSep + "a.txt");
  testing::FaultFileSystem write;
  write.FailWriteAfter(2);
  EXPECT_EQ(Run(bytes, &write), -1);
  EXPECT_EQ(error, "Cannot write file " + out + testing::kSep + "a.txt");
  EXPECT_TRUE(Folder(out).empty());
  testing::FaultFileSystem read;
  read.FailReadAfter(10);
  EXPECT_EQ(Run(bytes, &read), -1);
  EXPECT_EQ(error, "Cannot read file " + zip_path);
  EXPECT_TRUE(Folder(out).empty());
}

TEST_F(UnZipTest, FilesGetTheEntryDateAndSafePermissions) {
  ZipItem dos_read_only{"ro.txt", "r"};
  dos_read_only.attributes = 0x21;
  ZipItem unix_exec{"run.sh", "#!/bin/sh\n"};
  unix_exec.made_by = (3 << 8) | 30;
  unix_exec.attributes = (0104755u << 16);  // set-user-ID executable
  ZipItem unix_link{"link", "/etc/passwd"};
  unix_link.made_by = (3 << 8) | 30;
  unix_link.attributes = (0120777u << 16);
  ZipItem no_date{"nodate.txt", "n"};
  no_date.dos_date = 0;
  ASSERT_EQ(Run(BuildZip({dos_read_only, unix_exec, unix_link, no_date})), 4);
  auto mode = [&](const std::string& name) {
    struct stat st {};
    ::stat((out + testing::kSep + name).c_str(), &st);
    return st.st_mode;
  };
  EXPECT_TRUE(platform::IsReadOnly(out + testing::kSep + "ro.txt"));
  EXPECT_EQ(mode("run.sh") & 07111, 0u);
  EXPECT_TRUE(S_ISREG(mode("link")));
  EXPECT_EQ(Out("link"), "/etc/passwd");
  int64_t expected = 0, seconds = 0, nanoseconds = 0;
  ASSERT_TRUE(
      platform::DosDateTimeToUnix(dos_read_only.dos_date, dos_read_only.dos_time, expected));
  ASSERT_TRUE(platform::ModificationTime(out + testing::kSep + "ro.txt", seconds, nanoseconds));
  EXPECT_EQ(seconds, expected);
  ASSERT_TRUE(platform::ModificationTime(out + testing::kSep + "nodate.txt", seconds, nanoseconds));
  EXPECT_GT(seconds, expected);  // left at the time of extraction
}

TEST_F(UnZipTest, SettingsSelectFoldersAndCache) {
  const std::string bytes = BuildZip({{"d/a.txt", "a"}, {"d/e/../b.dat", "b"}, {"d/f/", ""}});
  testing::WriteFileBytes(zip_path, bytes);
  std::filesystem::create_directory(out);
  UnZip z(ui);
  z.SetDestDir(out);
  z.SetZipName(zip_path);
  z.SetRecreateDirs(true);
  z.SetDoAll(false);
  z.FilesList() = {"*.TXT", "d/f/"};
  EXPECT_EQ(z.Extract(), 1);
  EXPECT_EQ(testing::ReadFileBytes(out + testing::kSep + "d/a.txt"), "a");
  EXPECT_TRUE(std::filesystem::is_directory(out + testing::kSep + "d/f"));
  EXPECT_FALSE(std::filesystem::exists(out + testing::kSep + "d/e/b.dat"));
  z.SetDoAll(true);
  testing::WriteFileBytes(out + testing::kSep + "d/a.txt", "mine");
  EXPECT_EQ(z.Extract(), 2);  // b.dat in d/e ("..") dropped; a.txt replaced
  EXPECT_EQ(testing::ReadFileBytes(out + testing::kSep + "d/a.txt"), "a");
  EXPECT_EQ(testing::ReadFileBytes(out + testing::kSep + "d/e/b.dat"), "b");
  // The directory is read again when the archive changes.
  testing::WriteFileBytes(zip_path, BuildZip({{"only.txt", "o"}}));
  EXPECT_EQ(z.Count(), 1);
  z.SetZipName(dir.File("missing.zip"));
  EXPECT_EQ(z.Count(), 0);
}

}  // namespace
}  // namespace toponyx
