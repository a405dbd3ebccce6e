#include "dbf/NameIndex.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "TableTestUtil.h"
#include "dbf/DbfTable.h"
#include "support/FaultFileSystem.h"
#include "support/TempDir.h"
#include "text/CodePage.h"
#include "text/Text.h"

namespace toponyx::testing {
namespace {

using dbf::DbfTable;
using dbf::IndexOptions;
using dbf::TableError;

// The key as the table stores it: cut to the field, OEM, blank-filled.
std::string StoredKey(const std::string& ansi, size_t length = 45) {
  std::string key = codepage::AnsiToOem(ansi.substr(0, std::min(ansi.size(), length)));
  key.resize(length, ' ');
  return key;
}

unsigned char Folded(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (u >= 'a' && u <= 'z') ? static_cast<unsigned char>(u - 32) : u;
}

// The order the walk must give, written the plain way: a stable sort of the
// live records by stored key, bytes unsigned, a to z taken as A to Z.
std::vector<uint32_t> ReferenceOrder(const std::vector<std::string>& keys,
                                     const std::vector<bool>& deleted) {
  std::vector<uint32_t> order;
  for (uint32_t i = 0; i < keys.size(); ++i) {
    if (!deleted[i]) order.push_back(i + 1);
  }
  std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
    const std::string& x = keys[a - 1];
    const std::string& y = keys[b - 1];
    for (size_t i = 0; i < x.size(); ++i) {
      if (Folded(x[i]) != Folded(y[i])) return Folded(x[i]) < Folded(y[i]);
    }
    return false;
  });
  return order;
}

// Names with many near misses: duplicates, case variants, long shared
// beginnings (so that large groups agree in their first 8 and 16 bytes),
// blanks against hyphens, digits, bytes above 127, the signs next to the
// letters, texts longer than 45.
std::string RandomName(std::mt19937& rng, std::vector<std::string>& pool) {
  if (!pool.empty() && rng() % 4 == 0) return pool[rng() % pool.size()];
  // With the signs around the letters: `_{[@ must not be folded.
  static const char kChars[] = "aAbBzZ -19\xC4\xE4\xFC\xDC\xE9'._`{[@";
  static const char* const kBeginnings[] = {"Saint ", "Mount Pleasant ", "Church of the Holy Sp",
                                            "MMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMM"};
  std::string name;
  if (rng() % 3 == 0) name = kBeginnings[rng() % 4];
  for (size_t i = rng() % 12; i > 0; --i) name.push_back(kChars[rng() % (sizeof kChars - 1)]);
  if (!pool.empty() && rng() % 5 == 0) {
    name = pool[rng() % pool.size()];
    for (char& c : name) c = rng() % 2 ? text::ToLowerAscii(c) : c;
  }
  pool.push_back(name);
  return name;
}

// Appends n random places; returns their stored keys.
std::vector<std::string> AppendRandom(DbfTable& t, std::mt19937& rng, int n) {
  std::vector<std::string> pool;
  std::vector<std::string> keys;
  for (int i = 0; i < n; ++i) {
    const std::string name = RandomName(rng, pool);
    AppendPlace(t, name, "code " + std::to_string(i % 13), i % 3 ? "" : name, std::to_string(i),
                " x");
    keys.push_back(StoredKey(name));
  }
  return keys;
}

std::vector<uint32_t> WalkBackward(DbfTable& t) {
  std::vector<uint32_t> out;
  for (t.Last(); !t.Bof(); t.Prior()) out.push_back(t.RecNo());
  std::reverse(out.begin(), out.end());
  return out;
}

void UseIndex(DbfTable& t, const IndexOptions& options) {
  t.SetIndexOptions(options);
  t.AddIndex("temp.ndx", "name");
  t.OpenIndexFile("temp.ndx");
  t.SetIndexName("temp.ndx");
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
                                          "\xE4",
                                          std::string(45, 'Q') + "tail1",
                                          std::string(45, 'Q') + "tail0",
                                          "Zz",
                                          "zZ",
                                          ""};
  for (const std::string& n : names) AppendPlace(t, n);
  UseIndex(t, {});
  EXPECT_EQ(t.IndexName(), "temp.ndx");
  // Blank first, then the leading blank, digits, case-folded letters with
  // equal keys in record order, blank before hyphen, OEM bytes above 127
  // after every ASCII letter (0x81 u-umlaut, 0x84 a-umlaut, 0x8E A-umlaut).
  EXPECT_EQ(WalkRecNos(t), (std::vector<uint32_t>{14, 8, 5, 1, 2, 3, 4, 10, 11, 12, 13, 6, 9, 7}));
  std::vector<std::string> keys;
  for (const std::string& n : names) keys.push_back(StoredKey(n));
  EXPECT_EQ(WalkRecNos(t), ReferenceOrder(keys, std::vector<bool>(names.size(), false)));
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
    int records;
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
    SCOPED_TRACE(::testing::Message() << c.records << " records, runs of " << c.run_records
                                      << ", fan-in " << c.fan_in << ", blocks " << c.block_bytes);
    TempDir dir;
    DbfTable t;
    CreatePlaceTable(t, dir.path(), "temp.names");
    std::mt19937 rng(static_cast<uint32_t>(c.records * 31 + c.run_records));
    const std::vector<std::string> keys = AppendRandom(t, rng, c.records);
    // Every field as the file order reads it, to compare with the walk.
    std::vector<std::string> fields(keys.size() + 1);
    for (t.First(); !t.Eof(); t.Next()) {
      for (int f = 0; f < 5; ++f) fields[t.RecNo()] += t.GetField(f) + "|";
    }
    std::vector<bool> deleted(keys.size(), false);
    for (int i = 0; i < c.records / 10; ++i) {
      const uint32_t r = 1 + rng() % keys.size();
      t.GoToRecord(r);
      t.Delete();
      deleted[r - 1] = true;
    }
    UseIndex(t, {c.run_records, size_t{48} << 20, c.fan_in, c.block_bytes});
    const std::vector<uint32_t> expected = ReferenceOrder(keys, deleted);
    EXPECT_EQ(WalkRecNos(t), expected);
    EXPECT_EQ(WalkBackward(t), expected);
    size_t mismatched = 0;
    for (t.First(); !t.Eof(); t.Next()) {
      std::string record;
      for (int f = 0; f < 5; ++f) record += t.GetField(f) + "|";
      mismatched += record != fields[t.RecNo()];
    }
    EXPECT_EQ(mismatched, 0u);
    t.Close();
  }
}

TEST(NameIndexOrderTest, ShortKeyFieldsAndAKeyThatIsNotFirst) {
  for (size_t key_length : {5, 12, 16, 17}) {
    SCOPED_TRACE(key_length);
    TempDir dir;
    DbfTable t;
    t.SetTableName(dir.File("short.dbf"));
    t.AddField("ID", 'C', 3);
    t.AddField("KEY", 'C', static_cast<int>(key_length));
    t.CreateTable();
    t.Open();
    std::mt19937 rng(static_cast<uint32_t>(key_length));
    std::vector<std::string> keys;
    for (int i = 0; i < 600; ++i) {
      std::string k;
      for (size_t j = rng() % (key_length + 3); j > 0; --j) k.push_back("aAbB -\xE4~"[rng() % 8]);
      t.Append();
      t.SetField(0, std::to_string(i));
      t.SetField(1, k);
      t.Post();
      keys.push_back(StoredKey(k, key_length));
    }
    t.SetIndexOptions({70, size_t{48} << 20, 64, 1 << 18});
    t.AddIndex("short.ndx", "key");
    t.SetIndexName("short.ndx");
    const std::vector<uint32_t> expected = ReferenceOrder(keys, std::vector<bool>(600, false));
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
  std::vector<std::string> keys = AppendRandom(t, rng, 400);
  std::vector<bool> deleted(keys.size(), false);
  UseIndex(t, {5, size_t{48} << 20, 3, 250});  // late records spill into runs of five

  int seen = 0;  // delete every third record met during a walk
  for (t.First(); !t.Eof(); t.Next()) {
    if (++seen % 3 == 0) {
      deleted[t.RecNo() - 1] = true;
      t.Delete();
    }
  }
  EXPECT_EQ(WalkRecNos(t), ReferenceOrder(keys, deleted));

  // Post into the open index, in the middle of a walk.
  t.First();
  std::vector<std::string> pool;
  for (int i = 0; i < 40; ++i) {
    const std::string name = RandomName(rng, pool);
    keys.push_back(StoredKey(name));
    deleted.push_back(false);
    AppendPlace(t, name);
    ASSERT_EQ(t.RecNo(), keys.size());
    const std::vector<uint32_t> order = ReferenceOrder(keys, deleted);
    const auto at = std::find(order.begin(), order.end(), t.RecNo());
    t.Next();  // continues in key order from the new record
    if (at + 1 == order.end()) {
      EXPECT_TRUE(t.Eof());
      t.First();
    } else {
      EXPECT_EQ(t.RecNo(), *(at + 1));
    }
  }
  const std::vector<uint32_t> expected = ReferenceOrder(keys, deleted);
  EXPECT_EQ(WalkRecNos(t), expected);
  EXPECT_EQ(WalkBackward(t), expected);

  t.Close();  // the index file keeps the late records for a later session
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
  const std::vector<std::string> keys = AppendRandom(t, rng, 500);
  std::vector<bool> deleted(keys.size(), false);
  for (uint32_t r : {17u, 250u, 499u}) {
    t.GoToRecord(r);
    t.Delete();
    deleted[r - 1] = true;
  }
  UseIndex(t, {64, size_t{48} << 20, 64, 400});  // a seek crosses blocks
  const std::vector<uint32_t> order = ReferenceOrder(keys, deleted);
  for (int trial = 0; trial < 60; ++trial) {
    const size_t i = rng() % order.size();
    ASSERT_TRUE(t.GoToRecord(order[i]));
    t.Next();
    EXPECT_TRUE(i + 1 < order.size() ? t.RecNo() == order[i + 1] : t.Eof());
    ASSERT_TRUE(t.GoToRecord(order[i]));
    t.Prior();
    EXPECT_TRUE(i > 0 ? t.RecNo() == order[i - 1] : t.Bof());
  }
  // From a deleted record, the walk goes on beside where its key would be.
  deleted[249] = false;
  const std::vector<uint32_t> around = ReferenceOrder(keys, deleted);
  const auto at = std::find(around.begin(), around.end(), 250u);
  ASSERT_TRUE(at != around.begin() && at + 1 != around.end());
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
  t.Prior();  // Eof stays on the last record
  EXPECT_EQ(t.RecNo(), order[order.size() - 2]);
  t.Close();
}

TEST(NameIndexCopyTest, OrderedCopyIntoASecondTable) {
  auto copy = [](const std::string& folder, const std::vector<std::vector<std::string>>& places) {
    DbfTable working;
    CreatePlaceTable(working, folder, "temp.names");
    for (const auto& p : places) AppendPlace(working, p[0], p[1], p[2], p[3], p[4]);
    UseIndex(working, {});
    DbfTable output;
    output.SetTableName(folder + kSep + "out.names");
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
    return ReadFileBytes(folder + kSep + "out.names");
  };
  TempDir dir;
  EXPECT_EQ(copy(dir.path(), {}).size(), 194u);  // an empty table gives an empty output

  const std::string bytes = copy(dir.path(), {{"zeta", "Z code", "Z major", "1", "2"},
                                              {" Alpha ", " A code", "A major ", "3", "4"},
                                              {"MIDDLE", "M", "M", "5", "6"},
                                              {"alpha", "second alpha", "", "7", "8"}});
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
  for (const char* n : {"c", "B", "a", "b", "A"}) AppendPlace(t, n);
  t.AddIndex("temp.ndx", "Name");  // replaces the old file
  t.OpenIndexFile(ndx);            // the same file under its full name: already open
  t.SetIndexName(ndx);
  EXPECT_EQ(WalkRecNos(t), (std::vector<uint32_t>{3, 5, 2, 4, 1}));
  EXPECT_EQ(ErrorText([&] { t.SetIndexName("other.ndx"); }), "Index other.ndx is not open");
  t.Close();
  EXPECT_EQ(t.IndexName(), "");

  // Reopened, the index file is read back; a record deleted meanwhile is
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

  // Damaged index files are refused or read within bounds: changes in the
  // header and field lengths, in the directory, in the entries.
  const std::string good = ReadFileBytes(ndx);
  std::mt19937 rng(5);
  for (int round = 0; round < 300; ++round) {
    std::string b = good;
    const size_t at = round % 3 == 0   ? 8 + rng() % 61
                      : round % 3 == 1 ? b.size() - 1 - rng() % 24
                                       : 69 + rng() % (b.size() - 69 - 24);
    b[at] = static_cast<char>(rng());
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

// An entry whose lengths add up to its block, but with a field longer than
// the table's field: the walk stops with the damaged-index error rather
// than copy past the field.
TEST(NameIndexFileTest, EntryFieldLongerThanItsFieldIsDamage) {
  TempDir dir;
  const std::string ndx = dir.File("temp.ndx");
  DbfTable t;
  CreatePlaceTable(t, dir.path(), "temp.names");
  AppendPlace(t, "Alpha", "CODE", "MAJOR", "1234567890", "123456789");
  AppendPlace(t, "Beta");
  t.AddIndex("temp.ndx", "NAME");
  t.Close();
  std::string bytes = ReadFileBytes(ndx);
  // Alpha's entry: NAME, FULL_CODE, MAJOR_CODE, LATITUDE, LONGITUDE, each a
  // length byte and the field's bytes. LATITUDE is made to take 11 bytes
  // (its 10 and LONGITUDE's length byte), LONGITUDE the 8 bytes left of it.
  const size_t name = bytes.find(
      "\x05"
      "Alpha");
  ASSERT_NE(name, std::string::npos);
  const size_t lat = name + 6 + 5 + 6;
  ASSERT_EQ(bytes.substr(lat, 12),
            "\x0A"
            "1234567890\x09");
  bytes[lat] = 11;
  bytes[lat + 12] = 8;
  WriteFileBytes(ndx, bytes);
  t.Open();
  t.OpenIndexFile("temp.ndx");
  t.SetIndexName("temp.ndx");
  EXPECT_EQ(ErrorText([&] { WalkRecNos(t); }),
            "Cannot read file " + ndx + ": the index file is damaged");
  t.Close();
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
  UseIndex(t, {4, size_t{48} << 20, 64, 1 << 18});
  fs.FailReadAfter(1);
  EXPECT_THROW(t.First(), TableError);
}

}  // namespace
}  // namespace toponyx::testing
