#include "dbf/DbfTable.h"

#include <gtest/gtest.h>

#include <random>

#include "TableTestUtil.h"
#include "dbf/RecordFile.h"
#include "platform/System.h"
#include "support/FaultFileSystem.h"
#include "support/TempDir.h"

namespace toponyx::testing {
namespace {

using dbf::DbfTable;
using dbf::TableError;

std::string Descriptor(const std::string& name, int length) {
  std::string d = name;
  d.resize(11, '\0');
  d += 'C';
  d += std::string(4, '\0');
  d += static_cast<char>(length);
  d += std::string(15, '\0');
  return d;
}

// A record of the place table as stored: flag and five blank-filled fields.
std::string PlaceRecord(char flag, const std::vector<std::string>& fields) {
  static const size_t kLengths[] = {45, 40, 40, 10, 10};
  std::string r(1, flag);
  for (size_t i = 0; i < 5; ++i) {
    std::string f = fields[i];
    f.resize(kLengths[i], ' ');
    r += f;
  }
  return r;
}

const char kReason[] = "No space left on device (injected)";

TEST(DbfLayoutTest, NewTableIsTheExactEmptyFile) {
  TempDir dir;
  DbfTable t;
  t.SetFilePath(dir.path());
  t.SetTableName("empty.names");
  DefinePlaceFields(t);
  t.CreateTable();
  EXPECT_FALSE(t.Active());
  const std::string created = ReadFileBytes(dir.File("empty.names"));
  t.Open();
  t.Close();
  const std::string bytes = ReadFileBytes(dir.File("empty.names"));
  EXPECT_EQ(created, bytes);

  const platform::LocalDate today = platform::Today();  // (a run across midnight may fail)
  std::string expected = {'\x03', static_cast<char>(today.year - 1900),
                          static_cast<char>(today.month), static_cast<char>(today.day)};
  expected += std::string(4, '\0') + "\xC1" + '\0' + "\x92" + '\0' + std::string(20, '\0');
  expected += Descriptor("NAME", 45) + Descriptor("FULL_CODE", 40) + Descriptor("MAJOR_CODE", 40) +
              Descriptor("LATITUDE", 10) + Descriptor("LONGITUDE", 10) + "\x0D\x1A";
  ASSERT_EQ(expected.size(), 194u);
  EXPECT_EQ(bytes, expected);
  // The descriptor of NAME as the format describes it.
  EXPECT_EQ(bytes.substr(32, 32), std::string("NAME") + std::string(7, '\0') + "C" +
                                      std::string(4, '\0') + "\x2D" + std::string(15, '\0'));
}

TEST(DbfLayoutTest, FieldDefinitionsAreClampedAndNamesCut) {
  TempDir dir;
  DbfTable t;
  t.SetFilePath(dir.path());
  t.SetTableName("odd.dbf");
  t.AddField("AVERYLONGFIELDNAME", 'c', 0);
  t.AddField("Mixed", 'C', 300);
  t.CreateTable();
  const std::string bytes = ReadFileBytes(dir.File("odd.dbf"));
  ASSERT_EQ(bytes.size(), 32u + 64u + 1u + 1u);
  EXPECT_EQ(bytes.substr(32, 32), Descriptor("AVERYLONGF", 1));
  EXPECT_EQ(bytes.substr(64, 32), Descriptor("Mixed", 254));  // written unchanged
  EXPECT_EQ(U16At(bytes, 10), 1u + 1u + 254u);

  t.Open();  // names come back in capitals
  ASSERT_EQ(t.FieldDefs().size(), 2u);
  EXPECT_EQ(t.FieldDefs()[0].name, "AVERYLONGF");
  EXPECT_EQ(t.FieldDefs()[1].name, "MIXED");
  EXPECT_EQ(t.FieldDefs()[1].offset, 2);
  EXPECT_EQ(t.FieldIndex("mixed"), 1);
  t.Close();
}

TEST(DbfLayoutTest, AppendedRecordsAndCountAfterClose) {
  TempDir dir;
  for (uint32_t n : {1u, 3u, 8000u}) {  // 8000 records take more than one block
    TableWriter t(dir.File("t.names"));
    for (uint32_t i = 0; i < n; ++i) t.AddPlace("Place " + std::to_string(i + 1));
    t.Close();
    const std::string bytes = ReadFileBytes(dir.File("t.names"));
    ASSERT_EQ(bytes.size(), 193u + 146u * n + 1u);
    EXPECT_EQ(U32At(bytes, 4), n);
    EXPECT_EQ(bytes.back(), '\x1A');
    EXPECT_EQ(bytes.substr(193 + 146 * (n - 1), 146),
              PlaceRecord(' ', {"Place " + std::to_string(n), "CODE", "MAJOR", "1.5", "-2.5"}));
  }
}

TEST(DbfFieldTest, CutsBlanksAndTrimming) {
  TempDir dir;
  TableWriter w(dir.File("t.names"));
  w.Add({std::string(50, 'x') + "END", "", " inner  blanks ", "12.5"});  // LONGITUDE not given
  w.Add({"\tTabbed\x01", "short"});
  w.Close();
  const std::string bytes = ReadFileBytes(dir.File("t.names"));
  EXPECT_EQ(bytes.substr(193, 146),
            PlaceRecord(' ', {std::string(45, 'x'), "", " inner  blanks ", "12.5", ""}));
  EXPECT_EQ(bytes.substr(193 + 146, 146), PlaceRecord(' ', {"\tTabbed\x01", "short", "", "", ""}));

  DbfTable t;
  t.SetTableName(dir.File("t.names"));
  t.Open();
  EXPECT_EQ(Field(t, 0), "");  // on no record yet
  ASSERT_TRUE(t.GoToRecord(1));
  EXPECT_EQ(Field(t, 0), std::string(45, 'x'));
  EXPECT_EQ(Field(t, 1), "");
  EXPECT_EQ(Field(t, t.FieldIndex("MAJOR_CODE")), "inner  blanks");
  EXPECT_EQ(Field(t, 3), "12.5");
  EXPECT_EQ(Field(t, 4), "");
  ASSERT_TRUE(t.GoToRecord(2));
  std::string reused = "previous contents that are longer";
  t.GetField(0, reused);
  EXPECT_EQ(reused, "Tabbed");
  EXPECT_THROW(Field(t, 5), TableError);
  t.Close();
}

TEST(DbfFieldTest, TextIsStoredInOemAndReadInAnsi) {
  TempDir dir;
  TableWriter w(dir.File("t.names"));
  w.AddPlace("Z\xFCrich \xC4gypten \xDF", "\xE9t\xE9");
  w.AddPlace("\xC0 la carte");  // A-grave has no OEM byte: best fit
  w.Close();
  const std::string bytes = ReadFileBytes(dir.File("t.names"));
  EXPECT_EQ(bytes.substr(194, 16), "Z\x81rich \x8Egypten \xE1");
  EXPECT_EQ(bytes.substr(194 + 45, 3), "\x82t\x82");
  EXPECT_EQ(bytes.substr(194 + 146, 10), "A la carte");
  DbfTable t;
  t.SetTableName(dir.File("t.names"));
  t.Open();
  ASSERT_TRUE(t.GoToRecord(1));
  EXPECT_EQ(Field(t, 0), "Z\xFCrich \xC4gypten \xDF");
  EXPECT_EQ(Field(t, 1), "\xE9t\xE9");
  ASSERT_TRUE(t.GoToRecord(2));
  EXPECT_EQ(Field(t, 0), "A la carte");
  t.Close();
}

TEST(DbfCursorTest, DeletedRecordsKeepTheirBytes) {
  TempDir dir;
  TableWriter w(dir.File("t.names"));
  for (int i = 1; i <= 5; ++i) w.AddPlace("P" + std::to_string(i));
  w.Close();
  const std::string before = ReadFileBytes(dir.File("t.names"));
  DbfTable t;
  t.SetTableName(dir.File("t.names"));
  t.Open();
  EXPECT_EQ(ErrorText([&] { t.Delete(); }), "Cannot perform this operation on an empty dataset");
  ASSERT_TRUE(t.GoToRecord(3));
  t.Delete();
  EXPECT_EQ(Field(t, 0), "P3");  // stays on it
  EXPECT_TRUE(t.IsDeleted(3));
  ASSERT_TRUE(t.GoToRecord(1));
  t.Delete();
  EXPECT_EQ(LiveRecords(t).size(), 3u);
  t.Close();

  std::string expected = before;
  expected[193] = expected[193 + 2 * 146] = '*';  // only the flags change
  EXPECT_EQ(ReadFileBytes(dir.File("t.names")).substr(32), expected.substr(32));

  t.Open();
  EXPECT_EQ(t.RecordCount(), 5u);
  EXPECT_TRUE(t.IsDeleted(1));
  EXPECT_FALSE(t.IsDeleted(2));
  EXPECT_FALSE(t.IsDeleted(99));
  EXPECT_FALSE(t.GoToRecord(3));  // deleted, but the cursor is on it
  EXPECT_EQ(Field(t, 0), "P3");
  EXPECT_FALSE(t.GoToRecord(6));  // out of range: the cursor stays
  EXPECT_EQ(Field(t, 0), "P3");
  ASSERT_TRUE(t.GoToRecord(5));  // the last record, from a block read around it
  EXPECT_EQ(Field(t, 0), "P5");
  t.Close();
}

TEST(DbfOpenTest, HeaderCountAndRecordSizeMismatches) {
  TempDir dir;
  {
    TableWriter t(dir.File("t.names"));
    for (int i = 0; i < 12; ++i) t.AddPlace("N" + std::to_string(i));
    t.Close();
  }
  const std::string path = dir.File("t.names");
  const std::string good = ReadFileBytes(path);
  std::string bytes = good;
  PutU32(bytes, 4, 10);
  WriteFileBytes(path, bytes);
  MessageRecorder ui;
  DbfTable t(&ui);
  t.SetTableName(path);
  t.Open();
  ASSERT_EQ(ui.texts.size(), 1u);
  EXPECT_EQ(ui.kinds[0], MessageKind::kPlain);
  EXPECT_EQ(ui.texts[0], "Invalid Record Count,\rRecordCount in Hdr : 10\rexpected : 12");
  EXPECT_EQ(LiveRecords(t).size(), 12u);
  t.Close();
  EXPECT_EQ(U32At(ReadFileBytes(path), 4), 12u);  // corrected
  ui.texts.clear();
  t.Open();
  t.Close();
  EXPECT_TRUE(ui.texts.empty());

  // A record length in the header larger than the fields: the fields win.
  bytes = good;
  PutU16(bytes, 10, 150);
  WriteFileBytes(path, bytes);
  t.Open();
  ASSERT_EQ(ui.texts.size(), 1u);
  EXPECT_EQ(ui.texts[0], "Invalid Record Size,\rRecord Size in Hdr : 150\rExpected : 146");
  ASSERT_TRUE(t.GoToRecord(12));
  EXPECT_EQ(Field(t, 0), "N11");
  t.Close();
  EXPECT_EQ(U16At(ReadFileBytes(path), 10), 146u);
}

TEST(DbfOpenTest, DamagedHeadersFailWithTheFileName) {
  TempDir dir;
  {
    TableWriter t(dir.File("good.names"));
    for (int i = 0; i < 4; ++i) t.AddPlace("N" + std::to_string(i));
    t.Close();
  }
  const std::string good = ReadFileBytes(dir.File("good.names"));
  auto with_u16 = [&good](size_t at, uint32_t v) {
    std::string b = good;
    PutU16(b, at, v);
    return b;
  };
  std::string long_field = good;
  long_field[64 + 16] = '\xFF';  // FULL_CODE claims 255 bytes
  const struct {
    std::string bytes;
    std::string text;  // expected part of the message
  } cases[] = {
      {good.substr(0, 20), "shorter than a header"},
      {with_u16(8, 20), "header length 20"},
      {with_u16(8, 0), "header length 0"},
      {good.substr(0, 150), "beyond the end of the file"},
      {with_u16(10, 0), "record length 0"},
      {with_u16(10, 100), "fields of 145 bytes in a record of 100"},
      {long_field, "in a record of 146"},
  };
  int round = 0;
  for (const auto& c : cases) {
    const std::string path = dir.File("bad" + std::to_string(round++) + ".names");
    WriteFileBytes(path, c.bytes);
    DbfTable t;
    t.SetTableName(path);
    const std::string text = ErrorText([&] { t.Open(); });
    EXPECT_EQ(text.rfind("Cannot open file " + path + ": damaged table header (", 0), 0u) << text;
    EXPECT_NE(text.find(c.text), std::string::npos) << text;
    EXPECT_FALSE(t.Active());
    dbf::RecordFile reader;  // the View window's reader checks the header alike
    EXPECT_EQ(ErrorText([&] { reader.Open(path); }), text);
    EXPECT_FALSE(reader.IsOpen());
  }
  WriteFileBytes(dir.File("none.names"), with_u16(8, 40));  // room for no descriptor
  DbfTable t;
  t.SetTableName(dir.File("none.names"));
  EXPECT_EQ(ErrorText([&] { t.Open(); }), "Invalid field count : 0 (must be between 1 and 4095)");
}

TEST(DbfOpenTest, RandomlyDamagedHeadersNeverCrash) {
  TempDir dir;
  {
    TableWriter t(dir.File("good.names"));
    for (int i = 0; i < 6; ++i) t.AddPlace("N" + std::to_string(i));
    t.Close();
  }
  const std::string good = ReadFileBytes(dir.File("good.names"));
  std::mt19937 rng(12345);
  int opened = 0;
  for (int round = 0; round < 400; ++round) {
    // A new file each round: rewriting one makes the file system flush it.
    const std::string path = dir.File("fuzz" + std::to_string(round) + ".names");
    std::string b = good;
    for (int i = 1 + static_cast<int>(rng() % 4); i > 0; --i)
      b[rng() % 193] = static_cast<char>(rng());
    if (rng() % 4 == 0) b.resize(rng() % b.size());
    WriteFileBytes(path, b);
    NullBuildUi ui;
    DbfTable t(&ui);
    t.SetTableName(path);
    try {
      t.Open();
    } catch (const TableError&) {
      continue;
    }
    ++opened;
    EXPECT_LE(LiveRecords(t).size(), t.RecordCount());
    EXPECT_FALSE(t.GoToRecord(t.RecordCount() + 1));
    t.Close();
  }
  EXPECT_GT(opened, 0);  // most single-byte changes leave a readable table
}

TEST(DbfStateTest, OperationsRefusedInTheWrongState) {
  TempDir dir;
  // Given the program folder as its base, as the Create command gives it.
  DbfTable t(nullptr, platform::DefaultFileSystem(), platform::ProgramFolder());
  const std::string closed = "Cannot perform this operation on a closed dataset";
  const std::string open = "Cannot perform this operation on an open dataset";
  EXPECT_EQ(ErrorText([&] { t.GoToRecord(1); }), closed);
  EXPECT_EQ(ErrorText([&] { t.Delete(); }), closed);
  EXPECT_EQ(t.FilePath(), platform::ProgramFolder() + kSep);
  t.SetFilePath("data");  // relative to the program folder
  EXPECT_EQ(t.FilePath(), platform::ProgramFolder() + kSep + "data" + kSep);
  t.SetTableName("/srv/names/out.names");
  EXPECT_EQ(t.FilePath(), "/srv/names/");
  EXPECT_EQ(t.TableName(), "out.names");
  t.SetFilePath(dir.path());
  t.SetTableName("t.names");
  EXPECT_EQ(ErrorText([&] { t.CreateTable(); }),
            "Invalid field count : 0 (must be between 1 and 4095)");
  DefinePlaceFields(t);
  t.Open();  // auto-create
  EXPECT_TRUE(t.Active());
  EXPECT_EQ(ErrorText([&] { t.SetFilePath("/tmp"); }), open);
  EXPECT_EQ(ErrorText([&] { t.SetTableName("/tmp/other.names"); }), open);
  EXPECT_EQ(ErrorText([&] { t.CreateTable(); }), open);
  EXPECT_EQ(ErrorText([&] { t.AddField("X", 'C', 3); }), open);
  EXPECT_EQ(t.FullPath(), dir.path() + kSep + "t.names");
  t.Close();
  EXPECT_EQ(ReadFileBytes(dir.File("t.names")).size(), 194u);
}

// Without a base folder the table uses its folder texts as given.
TEST(DbfStateTest, WithoutABaseFolderPathsStayAsGiven) {
  DbfTable t;
  EXPECT_EQ(t.FilePath(), "");
  t.SetTableName("t.names");
  EXPECT_EQ(t.FullPath(), "t.names");
  t.SetFilePath("data");
  EXPECT_EQ(t.FullPath(), std::string("data") + kSep + "t.names");
  t.SetFilePath("");
  EXPECT_EQ(t.FullPath(), "t.names");
  t.SetTableName("../names/t.names");
  EXPECT_EQ(t.FilePath(), "../names/");
}

TEST(DbfFileErrorTest, CreateAndOpenFailures) {
  TempDir dir;
  DbfTable t;
  t.SetFilePath(dir.File("missing-folder"));
  t.SetTableName("t.names");
  DefinePlaceFields(t);
  const std::string path = dir.File("missing-folder") + kSep + "t.names";
  EXPECT_EQ(ErrorText([&] { t.CreateTable(); }), "Cannot create file " + path);
  EXPECT_EQ(ErrorText([&] { t.Open(); }), "Cannot create file " + path);

  FaultFileSystem fs;
  DbfTable locked(nullptr, fs);
  locked.SetTableName(dir.File("locked.names"));
  DefinePlaceFields(locked);
  locked.CreateTable();
  fs.FailOpen([](const std::string& p) { return p.ends_with("locked.names"); });
  EXPECT_EQ(ErrorText([&] { locked.Open(); }), "Cannot open file " + dir.File("locked.names"));
  EXPECT_FALSE(locked.Active());
}

TEST(DbfFileErrorTest, WriteFailuresAreRaisedNotLost) {
  TempDir dir;
  const std::string path = dir.File("t.names");
  const std::string failure = "Cannot write file " + path + ": " + kReason;
  auto reopened_count = [&path]() {
    MessageRecorder ui;
    DbfTable check(&ui);
    check.SetTableName(path);
    check.Open();
    EXPECT_TRUE(ui.texts.empty());  // the header matches the file
    return check.RecordCount();
  };
  {
    // A full disk while records are appended: the append that meets it
    // fails, and the header counts only the records written before.
    FaultFileSystem fs;
    TableWriter t(fs, path);
    t.AddPlace("x");
    fs.FailWriteAfter(1, /*sticky=*/false);
    EXPECT_EQ(ErrorText([&] { t.Close(); }), failure);
    EXPECT_EQ(reopened_count(), 0u);
  }
  {
    FaultFileSystem fs;
    TableWriter w(fs, path);
    w.AddPlace("x");
    w.Close();
    DbfTable t(nullptr, fs);
    t.SetTableName(path);
    t.Open();
    ASSERT_TRUE(t.GoToRecord(1));
    fs.FailWriteAfter(1);
    EXPECT_EQ(ErrorText([&] { t.Delete(); }), failure);
  }
  {
    FaultFileSystem fs;  // the system reports a failure when the file is closed
    TableWriter w(fs, path);
    w.AddPlace("x");
    w.Close();
    DbfTable t(nullptr, fs);
    t.SetTableName(path);
    t.Open();
    fs.FailClose(true);
    EXPECT_EQ(ErrorText([&] { t.Close(); }), failure);
    EXPECT_FALSE(t.Active());
    EXPECT_EQ(reopened_count(), 1u);  // everything was written before the close
  }
}

}  // namespace
}  // namespace toponyx::testing
