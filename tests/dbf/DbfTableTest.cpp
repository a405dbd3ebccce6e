#include "dbf/DbfTable.h"

#include <gtest/gtest.h>

#include <random>

#include "TableTestUtil.h"
#include "platform/System.h"
#include "support/FaultFileSystem.h"
#include "support/TempDir.h"

namespace toponyx::testing {
namespace {

using dbf::DbfTable;
using dbf::TableError;

TEST(DbfLayoutTest, NewTableIsTheExactEmptyFile) {
  TempDir dir;
  DbfTable t;
  t.SetFilePath(dir.path());
  t.SetTableName("empty.names");
  DefinePlaceFields(t);
  const platform::LocalDate before = platform::Today();
  t.CreateTable();
  EXPECT_FALSE(t.Active());
  const std::string created = ReadFileBytes(dir.File("empty.names"));
  t.Open();
  t.Close();
  const platform::LocalDate after = platform::Today();
  const std::string bytes = ReadFileBytes(dir.File("empty.names"));
  EXPECT_EQ(created, bytes);

  ASSERT_EQ(bytes.size(), 194u);
  EXPECT_EQ(bytes[0], '\x03');
  const int year = static_cast<unsigned char>(bytes[1]) + 1900;
  const bool today = (year == before.year && bytes[2] == before.month && bytes[3] == before.day) ||
                     (year == after.year && bytes[2] == after.month && bytes[3] == after.day);
  EXPECT_TRUE(today) << year << "-" << int(bytes[2]) << "-" << int(bytes[3]);
  EXPECT_EQ(U32At(bytes, 4), 0u);
  EXPECT_EQ(U16At(bytes, 8), 193u);
  EXPECT_EQ(U16At(bytes, 10), 146u);
  EXPECT_EQ(bytes.substr(12, 20), std::string(20, '\0'));

  const std::string name_descriptor = std::string("NAME") + std::string(7, '\0') + "C" +
                                      std::string(4, '\0') + "\x2D" + std::string(15, '\0');
  EXPECT_EQ(bytes.substr(32, 32), name_descriptor);
  const struct {
    const char* name;
    int length;
  } fields[] = {{"FULL_CODE", 40}, {"MAJOR_CODE", 40}, {"LATITUDE", 10}, {"LONGITUDE", 10}};
  for (size_t i = 0; i < 4; ++i) {
    const std::string d = bytes.substr(64 + 32 * i, 32);
    std::string expected_name(fields[i].name);
    expected_name.resize(11, '\0');
    EXPECT_EQ(d.substr(0, 11), expected_name) << fields[i].name;
    EXPECT_EQ(d[11], 'C');
    EXPECT_EQ(static_cast<unsigned char>(d[16]), fields[i].length);
    EXPECT_EQ(d.substr(17), std::string(15, '\0'));
  }
  EXPECT_EQ(bytes[192], '\x0D');
  EXPECT_EQ(bytes[193], '\x1A');
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
  EXPECT_EQ(bytes.substr(32, 11), std::string("AVERYLONGF") + '\0');
  EXPECT_EQ(bytes[43], 'C');
  EXPECT_EQ(static_cast<unsigned char>(bytes[48]), 1);
  EXPECT_EQ(bytes.substr(64, 6), std::string("Mixed") + '\0');  // written unchanged
  EXPECT_EQ(static_cast<unsigned char>(bytes[80]), 254);
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
  for (uint32_t n : {1u, 3u, 2500u}) {  // 2500 records pass the write buffer
    DbfTable t;
    CreatePlaceTable(t, dir.path(), "t.names");
    for (uint32_t i = 0; i < n; ++i) AppendPlace(t, "Place " + std::to_string(i + 1));
    EXPECT_EQ(t.RecordCount(), n);
    t.Close();
    const std::string bytes = ReadFileBytes(dir.File("t.names"));
    ASSERT_EQ(bytes.size(), 193u + 146u * n + 1u);
    EXPECT_EQ(U32At(bytes, 4), n);
    EXPECT_EQ(bytes.back(), '\x1A');
    const size_t last = 193 + 146 * (n - 1);
    EXPECT_EQ(bytes[last], ' ');
    std::string name = "Place " + std::to_string(n);
    name.resize(45, ' ');
    EXPECT_EQ(bytes.substr(last + 1, 45), name);
    EXPECT_EQ(bytes.substr(last + 46, 40), "CODE" + std::string(36, ' '));
    EXPECT_EQ(bytes.substr(last + 86, 40), "MAJOR" + std::string(35, ' '));
    EXPECT_EQ(bytes.substr(last + 126, 10), "1.5       ");
    EXPECT_EQ(bytes.substr(last + 136, 10), "-2.5      ");
  }
}

TEST(DbfFieldTest, CutsBlanksAndTrimming) {
  TempDir dir;
  DbfTable t;
  CreatePlaceTable(t, dir.path(), "t.names");
  t.Append();
  t.SetField(0, std::string(50, 'x') + "END");
  t.SetField("latitude", "12.5");
  t.SetField(2, " inner  blanks ");
  t.SetField(1, "");
  // LONGITUDE is never set.
  t.Post();
  t.Append();
  t.SetField(0, "\tTabbed\x01");
  t.SetField(1, "ABCDEFGHIJ");
  t.SetField(1, "short");  // a second set replaces the whole field
  t.Post();
  t.Close();

  const std::string bytes = ReadFileBytes(dir.File("t.names"));
  EXPECT_EQ(bytes.substr(194, 45), std::string(45, 'x'));
  EXPECT_EQ(bytes.substr(194 + 45, 40), std::string(40, ' '));
  EXPECT_EQ(bytes.substr(194 + 85, 40), " inner  blanks " + std::string(25, ' '));
  EXPECT_EQ(bytes.substr(194 + 125, 10), "12.5      ");
  EXPECT_EQ(bytes.substr(194 + 135, 10), std::string(10, ' '));
  EXPECT_EQ(bytes.substr(194 + 146 + 45, 40), "short" + std::string(35, ' '));

  t.Open();
  EXPECT_EQ(t.GetField(0), std::string(45, 'x'));
  EXPECT_EQ(t.GetField(1), "");
  EXPECT_EQ(t.GetField("MAJOR_CODE"), "inner  blanks");
  EXPECT_EQ(t.GetField(3), "12.5");
  EXPECT_EQ(t.GetField(4), "");
  t.Next();
  std::string reused = "previous contents that are longer";
  t.GetField(0, reused);
  EXPECT_EQ(reused, "Tabbed");
  EXPECT_EQ(t.GetField(1), "short");
  EXPECT_THROW(t.GetField(5), TableError);
  EXPECT_THROW(t.GetField("NOSUCH"), TableError);
  t.Close();
}

TEST(DbfFieldTest, TextIsStoredInOemAndReadInAnsi) {
  TempDir dir;
  DbfTable t;
  CreatePlaceTable(t, dir.path(), "t.names");
  AppendPlace(t, "Z\xFCrich \xC4gypten \xDF", "\xE9t\xE9");
  AppendPlace(t, "\xC0 la carte");  // A-grave has no OEM byte: best fit
  t.Close();
  const std::string bytes = ReadFileBytes(dir.File("t.names"));
  EXPECT_EQ(bytes.substr(194, 16), "Z\x81rich \x8Egypten \xE1");
  EXPECT_EQ(bytes.substr(194 + 45, 3), "\x82t\x82");
  EXPECT_EQ(bytes.substr(194 + 146, 10), "A la carte");
  t.Open();
  EXPECT_EQ(t.GetField(0), "Z\xFCrich \xC4gypten \xDF");
  EXPECT_EQ(t.GetField(1), "\xE9t\xE9");
  t.Next();
  EXPECT_EQ(t.GetField(0), "A la carte");
  t.Close();
}

TEST(DbfWalkTest, DeletedRecordsKeepTheirBytesAndAreSkipped) {
  TempDir dir;
  DbfTable t;
  CreatePlaceTable(t, dir.path(), "t.names");
  for (int i = 1; i <= 5; ++i) AppendPlace(t, "P" + std::to_string(i));
  t.Close();
  const std::string before = ReadFileBytes(dir.File("t.names"));
  t.Open();
  t.Next();
  t.Next();
  ASSERT_EQ(t.RecNo(), 3u);
  t.Delete();
  EXPECT_EQ(t.RecNo(), 3u);  // stays on it
  t.Next();
  EXPECT_EQ(t.RecNo(), 4u);
  ASSERT_TRUE(t.GoToRecord(1));
  t.Delete();
  EXPECT_EQ(WalkRecNos(t), (std::vector<uint32_t>{2, 4, 5}));
  EXPECT_EQ(t.RecordCount(), 5u);
  t.Close();

  const std::string after = ReadFileBytes(dir.File("t.names"));
  ASSERT_EQ(after.size(), 193u + 5 * 146 + 1);
  EXPECT_EQ(after[193], '*');
  EXPECT_EQ(after[193 + 2 * 146], '*');
  EXPECT_EQ(after.substr(194, 145), before.substr(194, 145));
  EXPECT_EQ(after.substr(193 + 2 * 146 + 1, 145), before.substr(193 + 2 * 146 + 1, 145));

  t.Open();
  EXPECT_EQ(t.RecNo(), 2u);  // open goes to the first live record
  EXPECT_EQ(WalkNames(t), (std::vector<std::string>{"P2", "P4", "P5"}));
  EXPECT_TRUE(t.IsDeleted(1));
  EXPECT_FALSE(t.IsDeleted(2));
  EXPECT_FALSE(t.IsDeleted(99));
  EXPECT_FALSE(t.GoToRecord(3));  // deleted, but the cursor is on it
  EXPECT_EQ(t.RecNo(), 3u);
  EXPECT_EQ(t.GetField(0), "P3");
  EXPECT_FALSE(t.GoToRecord(6));
  EXPECT_EQ(t.RecNo(), 3u);
  t.Close();
}

TEST(DbfWalkTest, BothDirectionsAndTheEnds) {
  TempDir dir;
  DbfTable t;
  CreatePlaceTable(t, dir.path(), "t.names");
  t.First();
  EXPECT_TRUE(t.Eof());
  EXPECT_TRUE(t.Bof());
  EXPECT_EQ(t.RecNo(), 0u);
  EXPECT_EQ(t.GetField(0), "");
  const int n = 2000;  // more than one read block
  for (int i = 1; i <= n; ++i) AppendPlace(t, std::to_string(i));
  for (int i = 10; i <= n; i += 10) {
    ASSERT_TRUE(t.GoToRecord(static_cast<uint32_t>(i)));
    t.Delete();
  }
  t.Last();
  EXPECT_FALSE(t.Eof());
  EXPECT_EQ(t.RecNo(), static_cast<uint32_t>(n - 1));
  std::vector<uint32_t> backward;
  for (; !t.Bof(); t.Prior()) backward.push_back(t.RecNo());
  EXPECT_EQ(t.RecNo(), 1u);  // Bof keeps the first record
  std::vector<uint32_t> forward = WalkRecNos(t);
  EXPECT_EQ(t.RecNo(), static_cast<uint32_t>(n - 1));  // Eof keeps the last
  ASSERT_EQ(forward.size(), static_cast<size_t>(n - n / 10));
  std::reverse(backward.begin(), backward.end());
  EXPECT_EQ(forward, backward);
  t.Prior();
  EXPECT_EQ(t.RecNo(), static_cast<uint32_t>(n - 2));
  ASSERT_TRUE(t.GoToRecord(1501));
  t.Prior();
  EXPECT_EQ(t.RecNo(), 1499u);  // 1500 is deleted
  t.Next();
  t.Next();
  EXPECT_EQ(t.RecNo(), 1502u);
  t.Close();
}

TEST(DbfOpenTest, HeaderCountMismatchIsReportedAndCorrected) {
  TempDir dir;
  {
    DbfTable t;
    CreatePlaceTable(t, dir.path(), "t.names");
    for (int i = 0; i < 12; ++i) AppendPlace(t, "N" + std::to_string(i));
    t.Close();
  }
  std::string bytes = ReadFileBytes(dir.File("t.names"));
  PutU32(bytes, 4, 10);
  WriteFileBytes(dir.File("t.names"), bytes);

  MessageRecorder ui;
  DbfTable t(&ui);
  t.SetFilePath(dir.path());
  t.SetTableName("t.names");
  t.Open();
  ASSERT_EQ(ui.texts.size(), 1u);
  EXPECT_EQ(ui.kinds[0], MessageKind::kPlain);
  EXPECT_EQ(ui.texts[0], "Invalid Record Count,\rRecordCount in Hdr : 10\rexpected : 12");
  EXPECT_EQ(t.RecordCount(), 12u);
  EXPECT_EQ(WalkRecNos(t).size(), 12u);
  t.Close();
  EXPECT_EQ(U32At(ReadFileBytes(dir.File("t.names")), 4), 12u);

  ui.texts.clear();
  t.Open();  // now in order
  EXPECT_TRUE(ui.texts.empty());
  t.Close();
}

TEST(DbfOpenTest, RecordSizeMismatchUsesTheDescriptors) {
  TempDir dir;
  {
    DbfTable t;
    CreatePlaceTable(t, dir.path(), "t.names");
    for (int i = 0; i < 3; ++i) AppendPlace(t, "N" + std::to_string(i));
    t.Close();
  }
  std::string bytes = ReadFileBytes(dir.File("t.names"));
  PutU16(bytes, 10, 150);
  WriteFileBytes(dir.File("t.names"), bytes);

  MessageRecorder ui;
  DbfTable t(&ui);
  t.SetTableName(dir.File("t.names"));
  t.Open();
  ASSERT_EQ(ui.texts.size(), 1u);
  EXPECT_EQ(ui.texts[0], "Invalid Record Size,\rRecord Size in Hdr : 150\rExpected : 146");
  EXPECT_EQ(WalkNames(t), (std::vector<std::string>{"N0", "N1", "N2"}));
  t.Close();
  EXPECT_EQ(U16At(ReadFileBytes(dir.File("t.names")), 10), 146u);
}

TEST(DbfOpenTest, DamagedHeadersFailWithTheFileName) {
  TempDir dir;
  {
    DbfTable t;
    CreatePlaceTable(t, dir.path(), "good.names");
    for (int i = 0; i < 4; ++i) AppendPlace(t, "N" + std::to_string(i));
    t.Close();
  }
  const std::string good = ReadFileBytes(dir.File("good.names"));
  const std::string path = dir.File("bad.names");
  struct Case {
    const char* what;
    std::string bytes;
    const char* text;  // expected part of the message
  };
  std::vector<Case> cases;
  cases.push_back({"too short", good.substr(0, 20), "shorter than a header"});
  std::string b = good;
  PutU16(b, 8, 20);
  cases.push_back({"header length below 33", b, "header length 20"});
  b = good;
  PutU16(b, 8, 0);
  cases.push_back({"header length 0", b, "header length 0"});
  b = good.substr(0, 150);
  cases.push_back({"header beyond the file", b, "beyond the end of the file"});
  b = good;
  PutU16(b, 10, 0);
  cases.push_back({"record length 0", b, "record length 0"});
  b = good;
  PutU16(b, 10, 100);
  cases.push_back({"fields exceed the record", b, "fields of 145 bytes in a record of 100"});
  b = good;
  b[64 + 16] = '\xFF';  // FULL_CODE claims 255 bytes
  cases.push_back({"descriptor too long", b, "in a record of 146"});

  for (const Case& c : cases) {
    WriteFileBytes(path, c.bytes);
    DbfTable t;
    t.SetTableName(path);
    const std::string text = ErrorText([&] { t.Open(); });
    EXPECT_NE(text.find("Cannot open file " + path), std::string::npos) << c.what << ": " << text;
    EXPECT_NE(text.find(c.text), std::string::npos) << c.what << ": " << text;
    EXPECT_FALSE(t.Active());
  }

  b = good;
  PutU16(b, 8, 40);  // room for no descriptor
  WriteFileBytes(path, b);
  DbfTable t;
  t.SetTableName(path);
  EXPECT_EQ(ErrorText([&] { t.Open(); }), "Invalid field count : 0 (must be between 1 and 4095)");
}

TEST(DbfOpenTest, RandomlyDamagedHeadersNeverCrash) {
  TempDir dir;
  {
    DbfTable t;
    CreatePlaceTable(t, dir.path(), "good.names");
    for (int i = 0; i < 6; ++i) AppendPlace(t, "N" + std::to_string(i));
    t.Close();
  }
  const std::string good = ReadFileBytes(dir.File("good.names"));
  std::mt19937 rng(12345);
  int opened = 0;
  for (int round = 0; round < 400; ++round) {
    // A new file each round: rewriting one makes the file system flush it.
    const std::string path = dir.File("fuzz" + std::to_string(round) + ".names");
    std::string b = good;
    const int changes = 1 + static_cast<int>(rng() % 4);
    for (int i = 0; i < changes; ++i) b[rng() % 193] = static_cast<char>(rng());
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
    size_t visited = 0;
    for (t.First(); !t.Eof(); t.Next()) {
      for (size_t f = 0; f < t.FieldDefs().size(); ++f) t.GetField(static_cast<int>(f));
      ++visited;
    }
    EXPECT_LE(visited, t.RecordCount());
    t.Close();
  }
  EXPECT_GT(opened, 0);  // most single-byte changes leave a readable table
}

TEST(DbfStateTest, OperationsRefusedInTheWrongState) {
  TempDir dir;
  DbfTable t;
  EXPECT_EQ(ErrorText([&] { t.First(); }), "Cannot perform this operation on a closed dataset");
  EXPECT_EQ(ErrorText([&] { t.AddIndex("temp.ndx", "name"); }),
            "Cannot perform this operation on a closed dataset");
  EXPECT_EQ(ErrorText([&] { t.OpenIndexFile("temp.ndx"); }),
            "Cannot perform this operation on a closed dataset");
  t.SetFilePath(dir.path());
  t.SetTableName("t.names");
  EXPECT_EQ(ErrorText([&] { t.CreateTable(); }),
            "Invalid field count : 0 (must be between 1 and 4095)");
  DefinePlaceFields(t);
  t.Open();  // auto-create
  EXPECT_TRUE(t.Active());
  EXPECT_EQ(ErrorText([&] { t.SetFilePath("/tmp"); }),
            "Cannot perform this operation on an open dataset");
  EXPECT_EQ(ErrorText([&] { t.SetTableName("/tmp/other.names"); }),
            "Cannot perform this operation on an open dataset");
  EXPECT_EQ(ErrorText([&] { t.CreateTable(); }),
            "Cannot perform this operation on an open dataset");
  EXPECT_EQ(ErrorText([&] { t.AddField("X", 'C', 3); }),
            "Cannot perform this operation on an open dataset");
  EXPECT_EQ(t.FilePath(), dir.path() + "/");
  EXPECT_EQ(t.TableName(), "t.names");
  EXPECT_THROW(t.SetField(0, "x"), TableError);  // not appending
  EXPECT_THROW(t.Post(), TableError);
  EXPECT_EQ(ErrorText([&] { t.AddIndex("temp.ndx", "nosuch"); }),
            "Cannot create index based on field \"nosuch\"");
  t.Close();
  EXPECT_EQ(ReadFileBytes(dir.File("t.names")).size(), 194u);
}

TEST(DbfStateTest, FolderAndNameRules) {
  DbfTable t;
  EXPECT_EQ(t.FilePath(), platform::ProgramFolder() + "/");
  t.SetFilePath("data");
  EXPECT_EQ(t.FilePath(), platform::ProgramFolder() + "/data/");
  t.SetFilePath("/var/tmp/x/");
  EXPECT_EQ(t.FilePath(), "/var/tmp/x/");
  t.SetTableName("/srv/names/out.names");
  EXPECT_EQ(t.FilePath(), "/srv/names/");
  EXPECT_EQ(t.TableName(), "out.names");
  EXPECT_EQ(t.FullPath(), "/srv/names/out.names");
  t.SetTableName("plain.names");
  EXPECT_EQ(t.FullPath(), "/srv/names/plain.names");
}

TEST(DbfStateTest, AppendWithoutPostAndCursorMoves) {
  TempDir dir;
  DbfTable t;
  CreatePlaceTable(t, dir.path(), "t.names");
  AppendPlace(t, "one");
  t.Append();
  t.SetField(0, "two");
  EXPECT_EQ(t.GetField(0), "two");  // the record being appended
  t.First();                        // a set record is posted before moving
  EXPECT_EQ(t.RecordCount(), 2u);
  t.Append();
  t.First();  // nothing set: dropped
  EXPECT_EQ(t.RecordCount(), 2u);
  t.Append();
  t.SetField(0, "three");
  t.Delete();  // drops the record being appended
  EXPECT_EQ(t.RecordCount(), 2u);
  t.Append();
  t.SetField(0, "four");
  t.Close();  // an unposted record is not written
  t.Open();
  EXPECT_EQ(WalkNames(t), (std::vector<std::string>{"one", "two"}));
  t.Close();
}

TEST(DbfFileErrorTest, CreateAndOpenFailures) {
  TempDir dir;
  DbfTable t;
  t.SetFilePath(dir.File("missing-folder"));
  t.SetTableName("t.names");
  DefinePlaceFields(t);
  const std::string path = dir.File("missing-folder") + "/t.names";
  EXPECT_EQ(ErrorText([&] { t.CreateTable(); }), "Cannot create file " + path);
  EXPECT_EQ(ErrorText([&] { t.Open(); }), "Cannot create file " + path);

  FaultFileSystem fs;
  DbfTable locked(nullptr, fs);
  locked.SetFilePath(dir.path());
  locked.SetTableName("locked.names");
  DefinePlaceFields(locked);
  locked.CreateTable();
  fs.FailOpen([](const std::string& p) { return p.ends_with("locked.names"); });
  EXPECT_EQ(ErrorText([&] { locked.Open(); }), "Cannot open file " + dir.File("locked.names"));
  EXPECT_FALSE(locked.Active());
}

TEST(DbfFileErrorTest, WriteFailuresAreRaisedNotLost) {
  TempDir dir;
  const std::string path = dir.File("t.names");
  const std::string reason = "No space left on device (injected)";
  {
    // A full disk while appending: the Post that meets it fails, and so does
    // every later attempt, the close included.
    FaultFileSystem fs;
    DbfTable t(nullptr, fs);
    CreatePlaceTable(t, dir.path(), "t.names");
    fs.FailWriteAfter(1);
    std::string text;
    int posted = 0;
    for (; posted < 100000 && text.empty(); ++posted) {
      text = ErrorText([&] { AppendPlace(t, "x"); });
      if (text == "(no TableError)") text.clear();
    }
    EXPECT_EQ(text, "Cannot write file " + path + ": " + reason);
    EXPECT_LT(posted, 100000);
    EXPECT_EQ(ErrorText([&] { t.Close(); }), "Cannot write file " + path + ": " + reason);
    EXPECT_FALSE(t.Active());
  }
  {
    // A passing failure: the records already posted stay queued and are
    // written later, and the record whose Post failed can be posted again.
    FaultFileSystem fs;
    DbfTable t(nullptr, fs);
    CreatePlaceTable(t, dir.path(), "t.names");
    fs.FailWriteAfter(1, /*sticky=*/false);
    int failed = 0;
    int stored = 0;
    for (int i = 0; i < 5000; ++i) {
      try {
        AppendPlace(t, "P" + std::to_string(stored + 1));
      } catch (const TableError&) {
        ++failed;
        t.Post();
      }
      ++stored;
    }
    t.Close();
    EXPECT_EQ(failed, 1);
    MessageRecorder ui;
    DbfTable check(&ui);
    check.SetTableName(path);
    check.Open();
    EXPECT_TRUE(ui.texts.empty());
    EXPECT_EQ(check.RecordCount(), static_cast<uint32_t>(stored));
    std::vector<std::string> names = WalkNames(check);
    ASSERT_EQ(names.size(), static_cast<size_t>(stored));
    for (int i = 0; i < stored; ++i)
      ASSERT_EQ(names[static_cast<size_t>(i)], "P" + std::to_string(i + 1));
    check.Close();
  }
  {
    // The last records are written at close, and that write fails: the error
    // is raised and the header counts only what is on disk.
    FaultFileSystem fs;
    DbfTable t(nullptr, fs);
    CreatePlaceTable(t, dir.path(), "t.names");
    for (int i = 0; i < 3; ++i) AppendPlace(t, "x");
    fs.FailWriteAfter(1, /*sticky=*/false);
    EXPECT_EQ(ErrorText([&] { t.Close(); }), "Cannot write file " + path + ": " + reason);
    MessageRecorder ui;
    DbfTable check(&ui);
    check.SetTableName(path);
    check.Open();
    EXPECT_TRUE(ui.texts.empty());
    EXPECT_EQ(check.RecordCount(), 0u);
    check.Close();
  }
  {
    FaultFileSystem fs;
    DbfTable t(nullptr, fs);
    CreatePlaceTable(t, dir.path(), "t.names");
    AppendPlace(t, "x");
    fs.FailClose(true);
    EXPECT_EQ(ErrorText([&] { t.Close(); }), "Cannot write file " + path + ": " + reason);
    EXPECT_FALSE(t.Active());
  }
  {
    FaultFileSystem fs;
    DbfTable t(nullptr, fs);
    CreatePlaceTable(t, dir.path(), "t.names");
    AppendPlace(t, "x");
    t.First();
    fs.FailWriteAfter(1);
    EXPECT_EQ(ErrorText([&] { t.Delete(); }), "Cannot write file " + path + ": " + reason);
    EXPECT_EQ(ErrorText([&] { t.AddIndex("temp.ndx", "NAME"); }),
              "Cannot write file " + dir.File("temp.ndx") + ": " + reason);
  }
}

}  // namespace
}  // namespace toponyx::testing
