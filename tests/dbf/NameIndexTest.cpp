#include "dbf/NameIndex.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "TableTestUtil.h"
#include "dbf/DbfTable.h"
#include "readers/CodePage.h"
#include "readers/Text.h"
#include "support/FaultFileSystem.h"
#include "support/TempDir.h"

namespace toponyx::testing {
namespace {

using dbf::DbfTable;
using dbf::IndexOptions;
using dbf::TableError;

// The key as the table stores it: cut to 45, OEM, blank-filled.
std::string StoredKey(const std::string& ansi) {
  std::string key = codepage::AnsiToOem(ansi.substr(0, std::min<size_t>(ansi.size(), 45)));
  key.resize(45, ' ');
  return key;
}

unsigned char Folded(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (u >= 'a' && u <= 'z') ? static_cast<unsigned char>(u - 32) : u;
}

// The order the walk must give, written the plain way: a stable sort of the
// live records by key, bytes unsigned, a to z taken as A to Z.
std::vector<uint32_t> ReferenceOrder(const std::vector<std::string>& names,
                                     const std::vector<bool>& deleted) {
  std::vector<uint32_t> order;
  for (uint32_t i = 0; i < names.size(); ++i) {
    if (!deleted[i]) order.push_back(i + 1);
  }
  std::vector<std::string> keys;
  for (const std::string& n : names) keys.push_back(StoredKey(n));
  std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
    const std::string& x = keys[a - 1];
    const std::string& y = keys[b - 1];
    for (size_t i = 0; i < 45; ++i) {
      if (Folded(x[i]) != Folded(y[i])) return Folded(x[i]) < Folded(y[i]);
    }
    return false;
  });
  return order;
}

// Names with many near misses: case variants, shared beginnings, blanks
// against hyphens, digits, bytes above 127, texts longer than the field.
std::string RandomName(std::mt19937& rng, std::vector<std::string>& pool) {
  if (!pool.empty() && rng() % 4 == 0) return pool[rng() % pool.size()];  // duplicate
  static const char kChars[] = "aAbBzZ -19\xC4\xE4\xFC\xDC\xE9'.";
  const size_t kCount = sizeof kChars - 1;
  // Long shared beginnings, so that large groups agree in their first 8 and
  // 16 bytes and differ after them.
  static const char* const kBeginnings[] = {"Saint ", "Mount Pleasant ", "Church of the Holy Sp",
                                            "MMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMM"};
  std::string name;
  if (rng() % 3 == 0) name = kBeginnings[rng() % 4];
  const size_t length = rng() % 12;
  for (size_t i = 0; i < length; ++i) name.push_back(kChars[rng() % kCount]);
  if (!pool.empty() && rng() % 5 == 0) {
    name = pool[rng() % pool.size()];
    for (char& c : name) {
      if (rng() % 2) c = text::ToLowerAscii(c);
    }
  }
  pool.push_back(name);
  return name;
}

std::vector<uint32_t> WalkBackward(DbfTable& t) {
  std::vector<uint32_t> out;
  for (t.Last(); !t.Bof(); t.Prior()) out.push_back(t.RecNo());
  std::reverse(out.begin(), out.end());
  return out;
}

TEST(CompareKeysTest, FoldsOnlyAsciiSmallLetters) {
  using dbf::CompareKeys;
  EXPECT_EQ(CompareKeys("abcdefghijklmnopqrstuvwxyz", "ABCDEFGHIJKLMNOPQRSTUVWXYZ", 26), 0);
  EXPECT_LT(CompareKeys("ABC ", "ABC-", 4), 0);
  EXPECT_LT(CompareKeys("1", "A", 1), 0);
  EXPECT_LT(CompareKeys("Z", "\x80", 1), 0);     // unsigned bytes
  EXPECT_NE(CompareKeys("\x84", "\x8E", 1), 0);  // no folding above 127
  EXPECT_NE(CompareKeys("`{@[", "@[`{", 4), 0);  // neighbours of the letters stay
  // Small letters count as capitals, so the signs between the two ranges
  // come after every letter.
  EXPECT_GT(CompareKeys("`", "a", 1), 0);
  EXPECT_GT(CompareKeys("_", "a", 1), 0);
  EXPECT_GT(CompareKeys("_", "Z", 1), 0);
  EXPECT_GT(CompareKeys("{", "Z", 1), 0);
  // Past the first eight bytes and in a short tail.
  EXPECT_LT(CompareKeys("ABCDEFGHIa", "abcdefghiB", 10), 0);
  EXPECT_EQ(CompareKeys("abcdefghijklm", "ABCDEFGHIJKLM", 13), 0);
  EXPECT_GT(CompareKeys("abcdefghijklm", "ABCDEFGHIJKLL", 13), 0);
}

TEST(NameIndexOrderTest, KeyRulesOnChosenNames) {
  TempDir dir;
  DbfTable t;
  CreatePlaceTable(t, dir.path(), "temp.names");
  const std::vector<std::string> names = {"abc",
                                          "ABC",
                                          "Abc Def",
                                          "Abc-Def",
                                          "9 Elms",
                                          "Z\xFCrich",
                                          "\xC4rger",
                                          " Lead",
                                          "\xE4"
                                          "b",
                                          std::string(45, 'Q') + "tail1",
                                          std::string(45, 'Q') + "tail0",
                                          "Zz",
                                          "zZ",
                                          ""};
  for (const std::string& n : names) AppendPlace(t, n);
  t.AddIndex("temp.ndx", "name");
  t.OpenIndexFile("temp.ndx");
  t.SetIndexName("temp.ndx");
  EXPECT_EQ(t.IndexName(), "temp.ndx");
  EXPECT_EQ(WalkRecNos(t), (std::vector<uint32_t>{14, 8, 5, 1, 2, 3, 4, 10, 11, 12, 13, 6, 9, 7}));
  EXPECT_EQ(WalkRecNos(t), ReferenceOrder(names, std::vector<bool>(names.size(), false)));
  t.First();
  t.Next();
  EXPECT_EQ(t.GetField(0), "Lead");  // the leading blank sorts, but does not read back
  EXPECT_TRUE(platform::DefaultFileSystem().Exists(dir.File("temp.ndx")));
  t.SetIndexName("");
  EXPECT_EQ(WalkRecNos(t).front(), 1u);
  t.Close();
}

TEST(NameIndexOrderTest, RandomTablesMatchTheReferenceSort) {
  struct Config {
    uint32_t records;
    size_t run_records;
    size_t fan_in;
    size_t block_bytes;
  };
  const Config configs[] = {
      {3000, 0, 64, 1 << 18},   // one run in one block
      {3000, 0, 64, 200},       // one run of many small blocks
      {3000, 50, 64, 1 << 18},  // 60 runs merged at once
      {3000, 37, 3, 300},       // merge passes before the walk
      {300, 1, 2, 1 << 18},     // a run per record
      {1, 1, 2, 1 << 18},
  };
  for (const Config& c : configs) {
    SCOPED_TRACE(::testing::Message()
                 << c.records << " records, runs of " << c.run_records << ", fan-in " << c.fan_in);
    TempDir dir;
    DbfTable t;
    CreatePlaceTable(t, dir.path(), "temp.names");
    std::mt19937 rng(c.records * 31 + static_cast<uint32_t>(c.run_records));
    std::vector<std::string> pool;
    std::vector<std::string> names;
    std::vector<bool> deleted;
    for (uint32_t i = 0; i < c.records; ++i) {
      names.push_back(RandomName(rng, pool));
      AppendPlace(t, names.back(), "code " + std::to_string(i % 13), i % 3 ? "" : names.back(),
                  std::to_string(i), " x");
      deleted.push_back(false);
    }
    // Every field as the file order reads it, to compare with the walk.
    std::vector<std::string> fields(size_t{c.records} + 1);
    for (t.First(); !t.Eof(); t.Next()) {
      for (int f = 0; f < 5; ++f) fields[t.RecNo()] += t.GetField(f) + "|";
    }
    for (uint32_t i = 0; i < c.records / 10; ++i) {
      const uint32_t r = 1 + rng() % c.records;
      ASSERT_TRUE(t.GoToRecord(r) || deleted[r - 1]);
      t.Delete();
      deleted[r - 1] = true;
    }
    IndexOptions options;
    options.run_records = c.run_records;
    options.merge_fan_in = c.fan_in;
    options.block_bytes = c.block_bytes;
    t.SetIndexOptions(options);
    t.AddIndex("temp.ndx", "NAME");
    t.SetIndexName("temp.ndx");
    const std::vector<uint32_t> expected = ReferenceOrder(names, deleted);
    EXPECT_EQ(WalkRecNos(t), expected);
    EXPECT_EQ(WalkBackward(t), expected);
    size_t mismatched = 0;
    for (t.First(); !t.Eof(); t.Next()) {
      std::string record;
      for (int f = 0; f < 5; ++f) record += t.GetField(f) + "|";
      if (record != fields[t.RecNo()]) ++mismatched;
    }
    EXPECT_EQ(mismatched, 0u);
    t.Close();
  }
}

TEST(NameIndexOrderTest, ShortKeyFieldsAndAKeyThatIsNotFirst) {
  for (int key_length : {5, 12, 16, 17}) {
    SCOPED_TRACE(key_length);
    TempDir dir;
    DbfTable t;
    t.SetFilePath(dir.path());
    t.SetTableName("short.dbf");
    t.AddField("ID", 'C', 3);
    t.AddField("KEY", 'C', key_length);
    t.CreateTable();
    t.Open();
    std::mt19937 rng(static_cast<uint32_t>(key_length));
    std::vector<std::string> keys;
    for (int i = 0; i < 600; ++i) {
      std::string k;
      const int n = static_cast<int>(rng() % (key_length + 3));
      for (int j = 0; j < n; ++j) k.push_back("aAbB -\xE4~"[rng() % 8]);
      t.Append();
      t.SetField(0, std::to_string(i % 1000));
      t.SetField(1, k);
      t.Post();
      k.resize(std::min<size_t>(k.size(), static_cast<size_t>(key_length)));
      k.resize(static_cast<size_t>(key_length), ' ');
      keys.push_back(codepage::AnsiToOem(k));
    }
    std::vector<uint32_t> expected(keys.size());
    for (uint32_t i = 0; i < expected.size(); ++i) expected[i] = i + 1;
    std::stable_sort(expected.begin(), expected.end(), [&](uint32_t a, uint32_t b) {
      const std::string& x = keys[a - 1];
      const std::string& y = keys[b - 1];
      for (size_t i = 0; i < x.size(); ++i) {
        if (Folded(x[i]) != Folded(y[i])) return Folded(x[i]) < Folded(y[i]);
      }
      return false;
    });
    IndexOptions options;
    options.run_records = 70;
    t.SetIndexOptions(options);
    t.AddIndex("short.ndx", "key");
    t.SetIndexName("short.ndx");
    EXPECT_EQ(WalkRecNos(t), expected);
    EXPECT_EQ(WalkBackward(t), expected);
    t.Close();
  }
}

TEST(NameIndexOrderTest, DeletionsAndPostsAfterTheBuild) {
  TempDir dir;
  DbfTable t;
  CreatePlaceTable(t, dir.path(), "temp.names");
  std::mt19937 rng(7);
  std::vector<std::string> pool;
  std::vector<std::string> names;
  for (int i = 0; i < 400; ++i) {
    names.push_back(RandomName(rng, pool));
    AppendPlace(t, names.back());
  }
  std::vector<bool> deleted(names.size(), false);
  IndexOptions options;
  options.run_records = 5;  // late records spill into runs of five as well
  options.merge_fan_in = 3;
  options.block_bytes = 250;
  t.SetIndexOptions(options);
  t.AddIndex("temp.ndx", "NAME");
  t.SetIndexName("temp.ndx");

  // Delete every third record met during a walk.
  int seen = 0;
  for (t.First(); !t.Eof(); t.Next()) {
    if (++seen % 3 == 0) {
      deleted[t.RecNo() - 1] = true;
      t.Delete();
    }
  }
  EXPECT_EQ(WalkRecNos(t), ReferenceOrder(names, deleted));

  // Post into the open index, in the middle of a walk as well.
  t.First();
  for (int i = 0; i < 40; ++i) {
    names.push_back(RandomName(rng, pool));
    deleted.push_back(false);
    AppendPlace(t, names.back());
    ASSERT_EQ(t.RecNo(), names.size());
    const std::vector<uint32_t> order = ReferenceOrder(names, deleted);
    const auto at = std::find(order.begin(), order.end(), t.RecNo());
    ASSERT_NE(at, order.end());
    t.Next();  // continues in key order from the new record
    if (at + 1 == order.end()) {
      EXPECT_TRUE(t.Eof());
      t.First();
    } else {
      EXPECT_EQ(t.RecNo(), *(at + 1));
    }
  }
  const std::vector<uint32_t> expected = ReferenceOrder(names, deleted);
  EXPECT_EQ(WalkRecNos(t), expected);
  EXPECT_EQ(WalkBackward(t), expected);

  // The index file keeps the late records for a later session.
  t.Close();
  t.Open();
  t.OpenIndexFile("temp.ndx");
  t.SetIndexName("temp.ndx");
  EXPECT_EQ(WalkRecNos(t), expected);
  t.Close();
}

TEST(NameIndexOrderTest, RandomAccessFollowsTheKeyOrder) {
  TempDir dir;
  DbfTable t;
  CreatePlaceTable(t, dir.path(), "temp.names");
  std::mt19937 rng(99);
  std::vector<std::string> pool;
  std::vector<std::string> names;
  for (int i = 0; i < 500; ++i) {
    names.push_back(RandomName(rng, pool));
    AppendPlace(t, names.back());
  }
  std::vector<bool> deleted(names.size(), false);
  for (uint32_t r : {17u, 250u, 499u}) {
    t.GoToRecord(r);
    t.Delete();
    deleted[r - 1] = true;
  }
  IndexOptions options;
  options.run_records = 64;
  options.block_bytes = 400;  // a seek crosses blocks
  t.SetIndexOptions(options);
  t.AddIndex("temp.ndx", "NAME");
  t.SetIndexName("temp.ndx");
  const std::vector<uint32_t> order = ReferenceOrder(names, deleted);
  for (int trial = 0; trial < 60; ++trial) {
    const size_t i = rng() % order.size();
    ASSERT_TRUE(t.GoToRecord(order[i]));
    t.Next();
    if (i + 1 < order.size()) {
      EXPECT_EQ(t.RecNo(), order[i + 1]);
    } else {
      EXPECT_TRUE(t.Eof());
    }
    ASSERT_TRUE(t.GoToRecord(order[i]));
    t.Prior();
    if (i > 0) {
      EXPECT_EQ(t.RecNo(), order[i - 1]);
    } else {
      EXPECT_TRUE(t.Bof());
    }
  }
  // From a deleted record, the walk goes on with the record after its key.
  std::vector<bool> with_250 = deleted;
  with_250[249] = false;
  const std::vector<uint32_t> around = ReferenceOrder(names, with_250);
  const auto at = std::find(around.begin(), around.end(), 250u);
  ASSERT_TRUE(at != around.end() && at + 1 != around.end() && at != around.begin());
  EXPECT_FALSE(t.GoToRecord(250));
  t.Next();
  EXPECT_EQ(t.RecNo(), *(at + 1));
  EXPECT_FALSE(t.GoToRecord(250));
  t.Prior();
  EXPECT_EQ(t.RecNo(), *(at - 1));
  t.Last();
  EXPECT_EQ(t.RecNo(), order.back());
  t.Next();
  EXPECT_TRUE(t.Eof());
  EXPECT_EQ(t.RecNo(), order.back());
  t.Prior();
  EXPECT_EQ(t.RecNo(), order[order.size() - 2]);
  t.Close();
}

TEST(NameIndexOrderTest, EmptyTableGivesAnImmediateEnd) {
  TempDir dir;
  DbfTable working;
  CreatePlaceTable(working, dir.path(), "temp.names");
  working.AddIndex("temp.ndx", "name");
  working.OpenIndexFile("temp.ndx");
  working.SetIndexName("temp.ndx");
  working.First();
  EXPECT_TRUE(working.Eof());
  EXPECT_TRUE(working.Bof());
  working.Last();
  EXPECT_TRUE(working.Eof());
  working.Close();
}

TEST(NameIndexCopyTest, OrderedCopyIntoASecondTable) {
  TempDir dir;
  DbfTable working;
  CreatePlaceTable(working, dir.path(), "temp.names");
  AppendPlace(working, "zeta", "Z code", "Z major", "1", "2");
  AppendPlace(working, " Alpha ", " A code", "A major ", "3", "4");
  AppendPlace(working, "MIDDLE", "M", "M", "5", "6");
  AppendPlace(working, "alpha", "second alpha", "", "7", "8");
  working.AddIndex("temp.ndx", "name");
  working.OpenIndexFile("temp.ndx");
  working.SetIndexName("temp.ndx");

  DbfTable output;
  output.SetTableName(dir.File("out.names"));
  DefinePlaceFields(output);
  output.CreateTable();
  output.Open();
  std::string value;
  for (working.First(); !working.Eof(); working.Next()) {
    output.Append();
    for (int f = 0; f < 5; ++f) {
      working.GetField(f, value);
      output.SetField(f, value);
    }
    output.Post();
  }
  working.Close();
  output.Close();

  const std::string bytes = ReadFileBytes(dir.File("out.names"));
  ASSERT_EQ(bytes.size(), 193u + 4 * 146 + 1);
  EXPECT_EQ(U32At(bytes, 4), 4u);
  auto field = [&](int record, size_t offset, size_t length) {
    return bytes.substr(193 + 146 * static_cast<size_t>(record) + offset, length);
  };
  // " Alpha " sorts first because of its blank, and loses it in the copy.
  EXPECT_EQ(field(0, 1, 45), "Alpha" + std::string(40, ' '));
  EXPECT_EQ(field(0, 46, 40), "A code" + std::string(34, ' '));
  EXPECT_EQ(field(1, 1, 45), "alpha" + std::string(40, ' '));
  EXPECT_EQ(field(1, 86, 40), std::string(40, ' '));
  EXPECT_EQ(field(2, 1, 6), "MIDDLE");
  EXPECT_EQ(field(3, 1, 4), "zeta");
  EXPECT_EQ(field(3, 136, 10), "2" + std::string(9, ' '));
}

TEST(NameIndexFileTest, ReplacingReopeningAndBadFiles) {
  TempDir dir;
  const std::string ndx = dir.File("temp.ndx");
  WriteFileBytes(ndx, "left over from an earlier run");
  DbfTable t;
  CreatePlaceTable(t, dir.path(), "temp.names");
  const std::vector<std::string> names = {"c", "B", "a", "b", "A"};
  for (const std::string& n : names) AppendPlace(t, n);
  t.AddIndex("temp.ndx", "Name");  // replaces the old file
  t.OpenIndexFile(ndx);            // the same file under its full name: already open
  t.SetIndexName(ndx);
  EXPECT_EQ(WalkRecNos(t), (std::vector<uint32_t>{3, 5, 2, 4, 1}));
  EXPECT_EQ(ErrorText([&] { t.SetIndexName("other.ndx"); }), "Index other.ndx is not open");
  t.Close();
  EXPECT_EQ(t.IndexName(), "");

  // Reopened: the index file is read back; a record deleted meanwhile is
  // still passed over.
  t.Open();
  ASSERT_TRUE(t.GoToRecord(4));
  t.Delete();
  t.Close();
  t.Open();
  t.OpenIndexFile("temp.ndx");
  t.SetIndexName("temp.ndx");
  EXPECT_EQ(WalkRecNos(t), (std::vector<uint32_t>{3, 5, 2, 1}));
  EXPECT_EQ(ErrorText([&] { t.OpenIndexFile("missing.ndx"); }),
            "Cannot open file " + dir.File("missing.ndx"));
  WriteFileBytes(dir.File("junk.ndx"), std::string(200, 'j'));
  EXPECT_EQ(ErrorText([&] { t.OpenIndexFile("junk.ndx"); }),
            "Cannot open file " + dir.File("junk.ndx") + ": not a valid index file");
  t.Close();

  // Damaged index files are refused or read within bounds, never followed
  // blindly: changes in the header, the field lengths, the directory and
  // the entries.
  const std::string good = ReadFileBytes(ndx);
  std::mt19937 rng(5);
  for (int round = 0; round < 300; ++round) {
    std::string b = good;
    switch (round % 3) {
      case 0:
        b[8 + rng() % 61] = static_cast<char>(rng());
        break;
      case 1:
        b[b.size() - 1 - rng() % 24] = static_cast<char>(rng());
        break;
      default:
        b[69 + rng() % (b.size() - 69 - 24)] = static_cast<char>(rng());
        break;
    }
    const std::string name = "fuzz" + std::to_string(round) + ".ndx";
    WriteFileBytes(dir.File(name), b);
    t.Open();
    try {
      t.OpenIndexFile(name);
      t.SetIndexName(name);
      for (t.First(); !t.Eof(); t.Next()) ASSERT_LE(t.RecNo(), 5u);
    } catch (const TableError&) {
    }
    t.Close();
  }
}

TEST(NameIndexFileTest, IndexFileFailures) {
  TempDir dir;
  FaultFileSystem fs;
  DbfTable t(nullptr, fs);
  CreatePlaceTable(t, dir.path(), "temp.names");
  for (int i = 0; i < 50; ++i) AppendPlace(t, "N" + std::to_string(i % 7));
  fs.FailOpen([](const std::string& p) { return p.ends_with(".ndx"); });
  EXPECT_EQ(ErrorText([&] { t.AddIndex("temp.ndx", "NAME"); }),
            "Cannot create file " + dir.File("temp.ndx"));
  fs.FailOpen(nullptr);
  IndexOptions options;
  options.run_records = 4;
  t.SetIndexOptions(options);
  t.AddIndex("temp.ndx", "NAME");
  t.SetIndexName("temp.ndx");
  fs.FailReadAfter(1);
  EXPECT_THROW(t.First(), TableError);
}

}  // namespace
}  // namespace toponyx::testing
