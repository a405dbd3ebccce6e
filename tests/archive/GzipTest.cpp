#include "archive/Gzip.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/Error.h"
#include "support/FaultFileSystem.h"
#include "support/RecordingUi.h"
#include "support/TempDir.h"
#include "support/ZipWriter.h"

namespace toponyx {
namespace {

using archive::Gzip;

std::string Text(int lines) {
  std::string s;
  for (int i = 0; i < lines; ++i) s += "1397658|Bethel Church|Church|" + std::to_string(i) + "\n";
  return s;
}

class GzipTest : public ::testing::Test {
 protected:
  Gzip& Make(const std::string& bytes, platform::FileSystem* fs = nullptr) {
    testing::WriteFileBytes(source, bytes);
    gzip = std::make_unique<Gzip>(ui, fs ? *fs : platform::DefaultFileSystem());
    gzip->SetFileSource(source);
    gzip->SetFileDestination(dest);
    return *gzip;
  }
  std::string Dest() { return testing::ReadFileBytes(dest); }

  testing::TempDir dir;
  std::string source = dir.File("ca.gz");
  std::string dest = dir.File("CA_DECI.txt.usa");
  testing::RecordingUi ui;
  std::unique_ptr<Gzip> gzip;
};

TEST_F(GzipTest, HeaderGivesNameAndComment) {
  const std::string name = "CA_DECI.txt", comment = "from the survey";
  std::string with_extra = testing::GzipMember("x", &name);
  with_extra[3] |= 4 | 2;  // an extra field and a header CRC (not examined)
  with_extra.insert(10, std::string("\x04\0abcd", 6));
  const std::pair<std::string, std::pair<std::string, std::string>> cases[] = {
      {testing::GzipMember("x", &name, &comment), {name, comment}},
      {testing::GzipMember("x"), {"", ""}},
      {with_extra, {name, ""}},
  };
  for (const auto& [bytes, fields] : cases) {
    EXPECT_EQ(Make(bytes).ReadHeader(), archive::GzipResult::kWhole);
    EXPECT_EQ(gzip->StoredName(), fields.first);
  }
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(GzipTest, MalformedHeadersAbortSilently) {
  const std::string good = testing::GzipMember("x");
  std::string method = good, reserved = good, extra = good, name = good, comment = good;
  method[2] = 7;
  reserved[3] = 0x20;
  extra[3] = 4;
  extra.resize(12);
  extra += "\xff\x7f";  // XLEN beyond the end of the file
  name[3] = 8;
  name = name.substr(0, 10) + "no end";
  comment[3] = 16;
  comment = comment.substr(0, 10) + "no end";
  for (const std::string& bytes : {std::string("1397658|Bethel Church\n"), good.substr(0, 9),
                                   method, reserved, extra, name, comment, std::string()}) {
    EXPECT_THROW((void)Make(bytes).ReadHeader(), SilentAbort);
  }
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(GzipTest, MembersExpandOneAfterAnother) {
  const std::string a = Text(20000), b = "second member\n";
  EXPECT_EQ(
      Make(testing::GzipMember(a) + testing::GzipMember("") + testing::GzipMember(b)).Expand(),
      archive::GzipResult::kWhole);
  EXPECT_EQ(Dest(), a + b);
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(GzipTest, DamagedDataShowOneBoxAndKeepWhatCameBefore) {
  const std::string text = Text(20000);
  const std::string good = testing::GzipMember(text);
  std::string bad_crc = good, bad_length = good, bad_data = good;
  bad_crc[good.size() - 8] ^= 1;
  bad_length[good.size() - 1] ^= 1;
  bad_data[good.size() / 2] ^= 0x55;
  // What was expanded before the damage stays: a prefix of `reference`
  // (corrupt deflate data may expand to garbage before they are found out).
  const std::pair<std::string, std::string> cases[] = {
      {good.substr(0, good.size() / 2), text},  {bad_crc, text}, {bad_length, text}, {bad_data, ""},
      {good + good.substr(0, 50), text + text},
  };
  for (const auto& [bytes, reference] : cases) {
    ui.messages.clear();
    EXPECT_EQ(Make(bytes).Expand(), archive::GzipResult::kDamaged);
    // The box names the file.
    ASSERT_EQ(ui.texts(), std::vector<std::string>{"gzclose Error.\n" + source +
                                                   ": the data are damaged or cut short"});
    EXPECT_EQ(ui.messages[0].kind, MessageKind::kError);
    EXPECT_EQ(ui.messages[0].buttons, MessageButtons::kAbort);
    const std::string out = Dest();
    if (!reference.empty()) {
      EXPECT_EQ(reference.compare(0, out.size(), out), 0);
    }
  }
  // A cut inside the data keeps the expanded part.
  EXPECT_EQ(Make(good.substr(0, good.size() / 2)).Expand(), archive::GzipResult::kDamaged);
  EXPECT_GT(Dest().size(), text.size() / 4);
}

TEST_F(GzipTest, FilesThatCannotBeOpenedCreatedOrClosed) {
  Make(testing::GzipMember("data"));
  gzip->SetFileSource(dir.File("missing.gz"));
  EXPECT_EQ(gzip->ReadHeader(), archive::GzipResult::kCannotOpen);
  EXPECT_EQ(gzip->Expand(), archive::GzipResult::kCannotOpen);
  gzip->SetFileSource(source);
  gzip->SetFileDestination(dir.File("no/such/folder.usa"));
  EXPECT_EQ(gzip->Expand(), archive::GzipResult::kCannotCreate);
  EXPECT_EQ(ui.texts(),
            (std::vector<std::string>{"Can't open: " + dir.File("missing.gz"),
                                      "Can't open: " + dir.File("missing.gz"),
                                      "Can't create: " + dir.File("no/such/folder.usa")}));
  ui.messages.clear();
  gzip->SetWindowOnError(false);
  EXPECT_EQ(gzip->Expand(), archive::GzipResult::kCannotCreate);
  EXPECT_TRUE(ui.messages.empty());

  // A refused write (a full disk) ends the expansion: no file cut short
  // stays to be read as a whole one.
  testing::FaultFileSystem write;
  write.FailWriteAfter(1);
  try {
    (void)Make(testing::GzipMember(Text(100)), &write).Expand();
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()),
              "Cannot write file " + dest + ": No space left on device (injected)");
  }
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_FALSE(platform::DefaultFileSystem().Exists(dest));
  testing::FaultFileSystem close;
  close.FailClose(true);
  try {
    (void)Make(testing::GzipMember("data"), &close).Expand();
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "Can't close file " + dest);
  }
  EXPECT_EQ(ui.texts(), std::vector<std::string>{"Can't close file " + dest});
}

TEST_F(GzipTest, SourceIsDeletedOnlyAfterACleanExpansion) {
  const std::string good = testing::GzipMember("data");
  Make(good.substr(0, good.size() - 3)).SetDeleteSource(true);
  EXPECT_EQ(gzip->Expand(), archive::GzipResult::kDamaged);
  EXPECT_TRUE(std::filesystem::exists(source));
  Make(good).SetDeleteSource(true);
  EXPECT_EQ(gzip->Expand(), archive::GzipResult::kWhole);
  EXPECT_FALSE(std::filesystem::exists(source));
  EXPECT_EQ(Dest(), "data");
}

TEST(GzipOutputNameTest, OnlyASafeLastComponentRemains) {
  const std::pair<std::string, std::string> cases[] = {
      {"CA_DECI.txt", "CA_DECI.txt"},
      {"data/CA_DECI.txt", "CA_DECI.txt"},
      {"..\\..\\Windows\\win.ini", "win.ini"},
      {"/etc/passwd", "passwd"},
      {".", ""},
      {"..", ""},
      {"a/..", ""},
      {"dir/", ""},
      {"line\nbreak", ""},
      {"del\x7f", ""},
      {"Z\xFCrich.txt", "Z\xC3\xBCrich.txt"},      // Windows-1252 bytes
      {"Z\xC3\xBCrich.txt", "Z\xC3\xBCrich.txt"},  // already UTF-8
      {"", ""},
  };
  for (const auto& [stored, safe] : cases)
    EXPECT_EQ(archive::GzipOutputName(stored), safe) << stored;
}

TEST(GzipRealDataTest, PublicTestFilesExpandToTheirCopies) {
  const std::string real = testing::RealDataDir();
  if (real.empty()) GTEST_SKIP() << "no real data beside the project";
  const std::string g = real + testing::kSep + "archives/gzip/";
  testing::TempDir dir;
  testing::RecordingUi ui;
  Gzip gzip(ui);
  for (const char* name : {"flate2_good-file", "flate2_multi"}) {
    gzip.SetFileSource(g + name + ".gz");
    ASSERT_EQ(gzip.ReadHeader(), archive::GzipResult::kWhole);
    EXPECT_EQ(gzip.StoredName(), "");
    gzip.SetFileDestination(dir.File("out"));
    EXPECT_EQ(gzip.Expand(), archive::GzipResult::kWhole);
    EXPECT_EQ(testing::ReadFileBytes(dir.File("out")), testing::ReadFileBytes(g + name + ".txt"));
  }
  gzip.SetFileSource(g + "cc_members.gz");
  ASSERT_EQ(gzip.ReadHeader(), archive::GzipResult::kWhole);
  EXPECT_EQ(gzip.StoredName(), "hello1.txt");
  EXPECT_EQ(gzip.Expand(), archive::GzipResult::kWhole);
  EXPECT_EQ(testing::ReadFileBytes(dir.File("out")), "Hello1\nHello2\n");
  EXPECT_TRUE(ui.messages.empty());
  gzip.SetFileSource(g + "flate2_corrupt-file.gz");
  EXPECT_EQ(gzip.Expand(), archive::GzipResult::kDamaged);
  EXPECT_EQ(ui.texts(), std::vector<std::string>{gzip.DamageText()});
}

}  // namespace
}  // namespace toponyx
