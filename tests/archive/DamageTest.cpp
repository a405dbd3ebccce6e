// Random damage to archives of every kind: the expanders may refuse them
// with their errors, but never crash, never write outside the destination
// folder and never leave a file that failed its check. (fuzz/ drives the
// same under libFuzzer for longer runs.)
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include <zlib.h>

#include "archive/Gzip.h"
#include "archive/UnZip.h"
#include "platform/Error.h"
#include "support/RecordingUi.h"
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
    bases.push_back(testing::ReadFileBytes(std::string(TOPONYX_ARCHIVE_DATA) + testing::kSep + name));
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

// What zlib's gzip reading makes of a file, worked out on its own with
// raw inflate: the bytes of its members one after another, and whether it
// ends cleanly (every member whole, its trailer matching; behind a member,
// anything that does not begin another is passed over).
struct Expanded {
  std::string bytes;
  bool clean = false;
};

Expanded ExpandWithInflate(const std::string& gz) {
  Expanded r;
  z_stream zs{};
  inflateInit2(&zs, 15 + 16);
  std::vector<unsigned char> out(1 << 16);
  size_t at = 0;
  for (;;) {
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(gz.data())) + at;
    zs.avail_in = static_cast<uInt>(gz.size() - at);
    int ret;
    do {
      zs.next_out = out.data();
      zs.avail_out = static_cast<uInt>(out.size());
      ret = inflate(&zs, Z_NO_FLUSH);
      r.bytes.append(reinterpret_cast<char*>(out.data()), out.size() - zs.avail_out);
    } while (ret == Z_OK);
    at = gz.size() - zs.avail_in;
    if (ret != Z_STREAM_END) break;  // damaged data, or cut short
    if (gz.size() - at < 2 || gz[at] != '\x1f' || gz[at + 1] != '\x8b') {
      r.clean = true;
      break;
    }
    inflateReset(&zs);
  }
  inflateEnd(&zs);
  return r;
}

// A damaged file is reported with "gzclose Error." and keeps what came out
// before the damage; a file that the damage left whole expands without a
// message. Either way the output holds nothing but the file's own bytes.
TEST(DamageTest, DamagedGzipFilesAreReportedAndExpandedUpToTheDamage) {
  std::string text;
  for (int i = 0; i < 2000; ++i) text += "1397658|Bethel Church|Church|" + std::to_string(i) + "\n";
  const std::string name = "CA_DECI.txt";
  const std::string base = testing::GzipMember(text, &name) + testing::GzipMember("tail");
  std::mt19937 rng(1952);
  testing::TempDir dir;
  int damaged = 0, whole = 0;
  for (int round = 0; round < 500; ++round) {
    // Some files are left whole: bytes behind the last member, or another
    // stored name (which the data does not cover).
    std::string bytes = base;
    if (round % 10 == 0) {
      bytes += std::string(1 + rng() % 20, static_cast<char>('a' + rng() % 26));
    } else if (round % 10 == 5) {
      bytes[10 + rng() % name.size()] = static_cast<char>('a' + rng() % 26);
    } else {
      bytes = Mutate(base, rng);
    }
    testing::WriteFileBytes(dir.File("a.gz"), bytes);
    testing::RecordingUi ui;
    archive::Gzip gzip(ui);
    gzip.SetFileSource(dir.File("a.gz"));
    gzip.SetFileDestination(dir.File("out.usa"));
    try {
      if (gzip.ReadHeader() != archive::GzipResult::kWhole) continue;
    } catch (const SilentAbort&) {
      continue;
    }
    archive::GzipOutputName(gzip.StoredName());
    const archive::GzipResult result = gzip.Expand();
    const Expanded expected = ExpandWithInflate(bytes);
    const std::string got = testing::ReadFileBytes(dir.File("out.usa"));
    if (expected.clean) {
      ++whole;
      ASSERT_EQ(result, archive::GzipResult::kWhole) << round;
      ASSERT_TRUE(ui.messages.empty()) << round << ": " << ui.messages[0].text;
      ASSERT_EQ(got, expected.bytes) << round;
    } else {
      ++damaged;
      ASSERT_EQ(result, archive::GzipResult::kDamaged) << round;
      ASSERT_EQ(ui.texts(), std::vector<std::string>{gzip.DamageText()}) << round;
      ASSERT_EQ(ui.messages[0].buttons, MessageButtons::kAbort);
      ASSERT_EQ(expected.bytes.compare(0, got.size(), got), 0) << round;
      ASSERT_LE(got.size(), expected.bytes.size()) << round;
    }
  }
  EXPECT_GT(damaged, 100);
  EXPECT_GT(whole, 50);
}

}  // namespace
}  // namespace toponyx
