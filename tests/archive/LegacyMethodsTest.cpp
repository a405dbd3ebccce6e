// Shrunk, reduced and imploded entries: the small archives in data/ (made
// by data/make_legacy_samples.py, checked against their known contents) and
// the real archives of public test suites beside the project.
#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>

#include "archive/UnZip.h"
#include "support/RecordingUi.h"
#include "support/TempDir.h"

namespace toponyx {
namespace {

std::string Carried(const std::string& name) {
  return testing::ReadFileBytes(std::string(TOPONYX_ARCHIVE_DATA) + testing::kSep + name);
}

// The letters of NOISE.TXT: xorshift (13, 17, 5) from 2463534242, state % 26.
std::string Noise(size_t n) {
  std::string s;
  uint32_t x = 2463534242u;
  for (size_t i = 0; i < n; ++i) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    s.push_back(static_cast<char>('A' + x % 26));
  }
  return s;
}

uint32_t Crc(const std::string& s) {
  return static_cast<uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(s.data()), static_cast<uInt>(s.size())));
}

struct Expected {
  std::string name;
  uint16_t method;
  std::string contents;
};

TEST(LegacyMethodsTest, CarriedArchivesGiveTheirKnownContents) {
  const std::string text = Carried("legacy.txt");
  const std::string reduced = text.substr(0, 6000), imploded = text.substr(0, 10000);
  const std::pair<std::string, std::vector<Expected>> archives[] = {
      {"shrunk.zip", {{"LEGACY.TXT", 1, text}, {"NOISE.TXT", 1, Noise(24000)}}},
      {"reduced.zip",
       {{"FACTOR1.TXT", 2, reduced},
        {"FACTOR2.TXT", 3, reduced},
        {"FACTOR3.TXT", 4, reduced},
        {"FACTOR4.TXT", 5, reduced}}},
      {"imploded.zip",
       {{"4K2TREES.TXT", 6, imploded},
        {"4K3TREES.TXT", 6, imploded},
        {"8K2TREES.TXT", 6, imploded},
        {"8K3TREES.TXT", 6, imploded}}},
  };
  for (const auto& [archive, entries] : archives) {
    testing::TempDir out;
    testing::RecordingUi ui;
    archive::UnZip unzip(ui);
    unzip.SetDestDir(out.path());
    unzip.SetZipName(std::string(TOPONYX_ARCHIVE_DATA) + testing::kSep + archive);
    EXPECT_EQ(unzip.Extract(), static_cast<int>(entries.size())) << archive;
    for (size_t i = 0; i < entries.size(); ++i) {
      EXPECT_EQ(unzip.Entry(static_cast<int>(i)).method, entries[i].method);
      EXPECT_EQ(testing::ReadFileBytes(out.File(entries[i].name)), entries[i].contents)
          << archive << " " << entries[i].name;
    }
  }
}

TEST(LegacyMethodsTest, ShortenedLegacyDataLeaveNoFile) {
  // The compressed size of every entry cut to half in the directory: the
  // data run out before the output is whole.
  for (const char* name : {"shrunk.zip", "reduced.zip", "imploded.zip"}) {
    std::string bytes = Carried(name);
    for (size_t at = bytes.find("PK\x01\x02"); at != std::string::npos;
         at = bytes.find("PK\x01\x02", at + 4)) {
      uint32_t size = 0;
      for (int i = 0; i < 4; ++i)
        size |= uint32_t{static_cast<uint8_t>(bytes[at + 20 + i])} << (8 * i);
      size /= 2;
      for (int i = 0; i < 4; ++i) bytes[at + 20 + i] = static_cast<char>(size >> (8 * i));
    }
    testing::TempDir out;
    testing::WriteFileBytes(out.File("cut.zip"), bytes);
    testing::RecordingUi ui;
    archive::UnZip unzip(ui);
    unzip.SetDestDir(out.File("x"));
    std::filesystem::create_directory(out.File("x"));
    unzip.SetZipName(out.File("cut.zip"));
    EXPECT_EQ(unzip.Extract(), 0) << name;
    EXPECT_TRUE(std::filesystem::is_empty(out.File("x"))) << name;
  }
}

// Entries of the real archives: file name, size and CRC-32 as the suites
// give them, and the known contents where a copy stands beside them.
struct RealEntry {
  std::string file_name;
  uint64_t size;
  uint32_t crc;
  std::string known;  // file beside the archive with the same contents
};

TEST(LegacyMethodsTest, RealArchivesOfPublicTestSuitesPassTheirChecks) {
  const std::string real = testing::RealDataDir();
  if (real.empty()) GTEST_SKIP() << "no real data beside the project";
  const std::string base = real + testing::kSep + "archives/legacy_methods/";
  const RealEntry exe{"TEST.EXE", 45056, 0xcfb109c8, ""};
  const RealEntry jpg{"TEST.JPG", 40372, 0x088814e3, ""};
  const RealEntry tect{"TECT.TXT", 15498, 0x9bd160fa, ""};
  const std::pair<std::string, std::vector<RealEntry>> archives[] = {
      {"commons-compress/SHRUNK.ZIP",
       {{"TEST1.XML", 76, 0x393a497a, "commons-compress/test1.xml"},
        {"TEST2.XML", 81, 0xd19abf92, "commons-compress/test2.xml"}}},
      {"commons-compress/imploding-4Kdict-2trees.zip", {{"HEADER.TXT", 818, 0x3222d8c7, ""}}},
      {"commons-compress/imploding-8Kdict-3trees.zip", {{"LICENSE.TXT", 11560, 0x495fc599, ""}}},
      {"commons-compress/lorem-ipsum-implode.zip", {{"LOREM.TXT", 144060, 0xb9034f7e, ""}}},
      {"zip2/shrink.zip", {{"FIRST.TXT", 1092, 0x22957a6e, "zip2/first.txt"}}},
      {"zip2/reduce.zip", {{"first.txt", 1092, 0x22957a6e, "zip2/first.txt"}}},
      {"zip2/implode.zip", {{"first.txt", 1092, 0x22957a6e, "zip2/first.txt"}}},
      {"sharpcompress/Zip.shrink.zip", {tect, exe, jpg}},
      {"sharpcompress/Zip.reduce1.zip", {tect, exe, jpg}},
      {"sharpcompress/Zip.reduce2.zip", {tect, exe, jpg}},
      {"sharpcompress/Zip.reduce3.zip", {tect, exe, jpg}},
      {"sharpcompress/Zip.reduce4.zip", {tect, exe, jpg}},
      // The third name is CP866 Cyrillic read as CP437.
      {"sharpcompress/Zip.implode.zip",
       {exe, jpg, {"\xCE\x93\xC3\x91\xC3\x9F\xCE\x93.txt", 15498, 0x9bd160fa, ""}}},
  };
  for (const auto& [archive, entries] : archives) {
    testing::TempDir out;
    testing::RecordingUi ui;
    archive::UnZip unzip(ui);
    unzip.SetDestDir(out.path());
    unzip.SetZipName(base + archive);
    EXPECT_EQ(unzip.Extract(), static_cast<int>(entries.size())) << archive;
    ASSERT_EQ(unzip.Count(), static_cast<int>(entries.size())) << archive;
    for (int i = 0; i < unzip.Count(); ++i) {
      const RealEntry& want = entries[static_cast<size_t>(i)];
      ASSERT_EQ(unzip.Entry(i).file_name, want.file_name) << archive;
      const std::string got = testing::ReadFileBytes(out.File(want.file_name));
      EXPECT_EQ(got.size(), want.size) << archive << " " << want.file_name;
      EXPECT_EQ(Crc(got), want.crc) << archive << " " << want.file_name;
      if (!want.known.empty()) {
        EXPECT_EQ(got, testing::ReadFileBytes(base + want.known));
      }
    }
    EXPECT_TRUE(ui.messages.empty()) << archive;
  }
  // Method 7 is not one of ours.
  testing::TempDir out;
  testing::RecordingUi ui;
  archive::UnZip unzip(ui);
  unzip.SetDestDir(out.path());
  unzip.SetZipName(base + "commons-compress/moby.zip");
  EXPECT_EQ(unzip.Extract(), 0);
  ASSERT_EQ(ui.texts(), std::vector<std::string>{"Unknown Compression Method"});
  EXPECT_TRUE(std::filesystem::is_empty(out.path()));
}

}  // namespace
}  // namespace toponyx
