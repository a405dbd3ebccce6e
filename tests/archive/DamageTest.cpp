// Random damage to archives of every kind: the expanders may refuse them
// with their errors, but never crash, never write outside the destination
// folder and never leave a file that failed its check. (fuzz/ drives the
// same under libFuzzer for longer runs.)
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "archive/Gzip.h"
#include "archive/UnZip.h"
#include "platform/Error.h"
#include "support/TempDir.h"
#include "support/ZipWriter.h"

namespace toponyx {
namespace {

std::string Mutate(std::string s, std::mt19937& rng) {
  auto pick = [&](size_t n) { return n == 0 ? 0 : static_cast<size_t>(rng() % n); };
  const int edits = 1 + static_cast<int>(rng() % 6);
  for (int i = 0; i < edits && !s.empty(); ++i) {
    switch (rng() % 5) {
      case 0:
        s[pick(s.size())] ^= static_cast<char>(1 << (rng() % 8));
        break;
      case 1:
        s[pick(s.size())] = static_cast<char>(rng());
        break;
      case 2:
        s.resize(pick(s.size()));
        break;
      case 3:
        s.insert(pick(s.size()), std::string(1 + pick(40), static_cast<char>(rng())));
        break;
      default: {  // a size or offset field at one of its limits
        static const char* const kValues[] = {"\xff\xff\xff\xff", "\0\0\0\0", "\xff\xff\0\0",
                                              "\0\0\0\x80"};
        if (s.size() >= 4) s.replace(pick(s.size() - 3), 4, kValues[rng() % 4], 4);
      }
    }
  }
  return s;
}

std::vector<std::string> Archives() {
  std::vector<std::string> bases;
  std::string text;
  for (int i = 0; i < 400; ++i) text += "1397658|Bethel Church|Church|" + std::to_string(i) + "\n";
  testing::ZipItem stored("data/stored.txt", text);
  stored.method = 0;
  testing::ZipItem sealed("sealed.txt", text);
  sealed.password = "";
  testing::ZipItem big("z64.txt", text);
  big.zip64 = true;
  testing::ZipLayout zip64;
  zip64.zip64_end = true;
  bases.push_back(testing::BuildZip({stored, {"deflated.txt", text}, sealed}));
  bases.push_back(testing::BuildZip({big, {"folder/", ""}}, zip64));
  for (const char* name : {"shrunk.zip", "reduced.zip", "imploded.zip"}) {
    bases.push_back(testing::ReadFileBytes(std::string(TOPONYX_ARCHIVE_DATA) + "/" + name));
  }
  return bases;
}

TEST(DamageTest, DamagedZipArchivesNeverCrashTheExtractor) {
  const std::vector<std::string> bases = Archives();
  std::mt19937 rng(20240601);
  testing::TempDir dir;
  const std::string out = dir.File("out");
  NullBuildUi ui;
  int refused = 0, runs = 0;
  for (int round = 0; round < 300; ++round) {
    for (const std::string& base : bases) {
      testing::WriteFileBytes(dir.File("a.zip"), Mutate(base, rng));
      std::filesystem::remove_all(out);
      std::filesystem::create_directory(out);
      archive::UnZip unzip(ui);
      unzip.SetDestDir(out);
      unzip.SetZipName(dir.File("a.zip"));
      ++runs;
      try {
        unzip.Extract();
      } catch (const Error&) {
        ++refused;
      }
      // Every file left is one whose entry passed its check.
      int kept = 0;
      for (int i = 0; i < unzip.Count(); ++i) kept += unzip.Entry(i).kept;
      int files = 0;
      for (const auto& e : std::filesystem::directory_iterator(out)) {
        ASSERT_TRUE(e.is_regular_file()) << e.path();
        ++files;
      }
      ASSERT_EQ(files, kept);
      ASSERT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                              std::filesystem::directory_iterator()),
                2);
    }
  }
  EXPECT_GT(refused, 0);
  EXPECT_LT(refused, runs);
}

TEST(DamageTest, DamagedGzipFilesNeverCrashTheExpander) {
  std::string text;
  for (int i = 0; i < 2000; ++i) text += "1397658|Bethel Church|Church|" + std::to_string(i) + "\n";
  const std::string name = "CA_DECI.txt";
  const std::string base = testing::GzipMember(text, &name) + testing::GzipMember("tail");
  std::mt19937 rng(1952);
  testing::TempDir dir;
  NullBuildUi ui;
  archive::Gzip gzip(ui);
  gzip.SetFileSource(dir.File("a.gz"));
  gzip.SetFileDestination(dir.File("out.usa"));
  for (int round = 0; round < 500; ++round) {
    testing::WriteFileBytes(dir.File("a.gz"), Mutate(base, rng));
    try {
      if (gzip.ReadHeader() == 0) {
        archive::GzipOutputName(gzip.StoredName());
        EXPECT_EQ(gzip.Expand(), 0);
      }
    } catch (const SilentAbort&) {
    }
  }
}

}  // namespace
}  // namespace toponyx
