// The name index as a run builds and walks it: records handed to a
// streaming index as they are made, sorted into runs, merged down to the
// fan-in, and walked in key order.
#include "dbf/NameIndex.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "TableTestUtil.h"
#include "dbf/StreamingIndex.h"
#include "support/FaultFileSystem.h"
#include "support/TempDir.h"
#include "text/CodePage.h"
#include "text/Text.h"

namespace toponyx::testing {
namespace {

using dbf::IndexLayout;
using dbf::IndexOptions;
using dbf::NameIndex;
using dbf::TableError;
using Records = std::vector<std::vector<std::string>>;

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

IndexLayout Layout(const std::vector<uint32_t>& lengths, uint32_t key_field, std::string key_name) {
  IndexLayout layout;
  layout.record_length = 1;
  for (uint32_t n : lengths) layout.record_length += n;
  layout.field_lengths = lengths;
  layout.key_field = key_field;
  layout.key_name = std::move(key_name);
  return layout;
}

IndexLayout PlaceLayout() {
  return Layout({45, 40, 40, 10, 10}, 0, "NAME");
}

// The index of these records as a run builds it: each record made in the
// streaming index's room (its fields stored by StoreFieldText; a deleted
// one flagged so), the runs sorted (on a thread of their own when
// threaded) and merged down to the fan-in.
std::unique_ptr<NameIndex> BuildIndex(platform::FileSystem& fs, const std::string& path,
                                      const IndexLayout& layout, const IndexOptions& options,
                                      const Records& records, const std::vector<bool>& deleted = {},
                                      bool threaded = false) {
  dbf::StreamingIndex building(fs, path, layout, options, threaded);
  for (size_t i = 0; i < records.size(); ++i) {
    char* r = building.Room();
    r[0] = i < deleted.size() && deleted[i] ? dbf::DbfFile::kDeleted : dbf::DbfFile::kLive;
    size_t at = 1;
    for (size_t f = 0; f < layout.field_lengths.size(); ++f) {
      dbf::StoreFieldText(f < records[i].size() ? records[i][f] : "", r + at,
                          layout.field_lengths[f]);
      at += layout.field_lengths[f];
    }
    building.Commit();
  }
  return building.Finish({});
}

std::vector<uint32_t> WalkRecNos(NameIndex& index) {
  std::vector<uint32_t> out;
  for (bool more = index.First(); more; more = index.Next()) out.push_back(index.RecNo());
  return out;
}

// A field of the current entry, as the table would read it back.
std::string EntryField(const NameIndex& index, uint32_t field) {
  size_t length = 0;
  const char* p = index.FieldInEntry(index.Entry(), field, length);
  std::string out;
  dbf::ReadFieldText(p, length, out);
  return out;
}

// Random place records; their stored keys go to keys.
Records RandomPlaces(std::mt19937& rng, int n, std::vector<std::string>& keys) {
  std::vector<std::string> pool;
  Records records;
  for (int i = 0; i < n; ++i) {
    const std::string name = RandomName(rng, pool);
    records.push_back(
        {name, "code " + std::to_string(i % 13), i % 3 ? "" : name, std::to_string(i), " x"});
    keys.push_back(StoredKey(name));
  }
  return records;
}

TEST(NameIndexOrderTest, KeyRulesOnChosenNames) {
  TempDir dir;
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
  Records records;
  for (const std::string& n : names) records.push_back({n, "CODE", "MAJOR", "1.5", "-2.5"});
  auto index =
      BuildIndex(platform::DefaultFileSystem(), dir.File("temp.ndx"), PlaceLayout(), {}, records);
  // Blank first, then the leading blank, digits, case-folded letters with
  // equal keys in record order, blank before hyphen, OEM bytes above 127
  // after every ASCII letter (0x81 u-umlaut, 0x84 a-umlaut, 0x8E A-umlaut).
  EXPECT_EQ(WalkRecNos(*index),
            (std::vector<uint32_t>{14, 8, 5, 1, 2, 3, 4, 10, 11, 12, 13, 6, 9, 7}));
  std::vector<std::string> keys;
  for (const std::string& n : names) keys.push_back(StoredKey(n));
  EXPECT_EQ(WalkRecNos(*index), ReferenceOrder(keys, std::vector<bool>(names.size(), false)));
  index->First();
  index->Next();
  EXPECT_EQ(EntryField(*index, 0), "Lead");  // the leading blank sorts, but does not read back
  EXPECT_EQ(EntryField(*index, 4), "-2.5");
  EXPECT_EQ(index->size(), names.size());
  index->Close();
  EXPECT_FALSE(index->First());
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
  int round = 0;
  for (const Config& c : configs) {
    SCOPED_TRACE(::testing::Message() << c.records << " records, runs of " << c.run_records
                                      << ", fan-in " << c.fan_in << ", blocks " << c.block_bytes);
    TempDir dir;
    std::mt19937 rng(static_cast<uint32_t>(c.records * 31 + c.run_records));
    std::vector<std::string> keys;
    const Records records = RandomPlaces(rng, c.records, keys);
    // Deleted records are left out of the index.
    std::vector<bool> deleted(keys.size(), false);
    for (int i = 0; i < c.records / 10; ++i) deleted[rng() % keys.size()] = true;
    auto index = BuildIndex(platform::DefaultFileSystem(), dir.File("temp.ndx"), PlaceLayout(),
                            {c.run_records, size_t{48} << 20, c.fan_in, c.block_bytes}, records,
                            deleted, ++round % 2 == 0);
    EXPECT_EQ(WalkRecNos(*index), ReferenceOrder(keys, deleted));
    // Every field as the table would read it back from the record.
    size_t mismatched = 0;
    for (bool more = index->First(); more; more = index->Next()) {
      const std::vector<std::string>& r = records[index->RecNo() - 1];
      for (uint32_t f = 0; f < 5; ++f) {
        const uint32_t length = PlaceLayout().field_lengths[f];
        std::string stored(length, ' '), expected;
        dbf::StoreFieldText(r[f], stored.data(), length);
        dbf::ReadFieldText(stored.data(), length, expected);
        mismatched += EntryField(*index, f) != expected;
      }
    }
    EXPECT_EQ(mismatched, 0u);
  }
}

TEST(NameIndexOrderTest, ShortKeyFieldsAndAKeyThatIsNotFirst) {
  for (uint32_t key_length : {5, 12, 16, 17}) {
    SCOPED_TRACE(key_length);
    TempDir dir;
    std::mt19937 rng(key_length);
    std::vector<std::string> keys;
    Records records;
    for (int i = 0; i < 600; ++i) {
      std::string k;
      for (size_t j = rng() % (key_length + 3); j > 0; --j) k.push_back("aAbB -\xE4~"[rng() % 8]);
      records.push_back({std::to_string(i), k});
      keys.push_back(StoredKey(k, key_length));
    }
    auto index =
        BuildIndex(platform::DefaultFileSystem(), dir.File("short.ndx"),
                   Layout({3, key_length}, 1, "KEY"), {70, size_t{48} << 20, 64, 1 << 18}, records);
    EXPECT_EQ(WalkRecNos(*index), ReferenceOrder(keys, std::vector<bool>(600, false)));
  }
}

TEST(NameIndexFileTest, ReplacedAndDamagedFiles) {
  TempDir dir;
  const std::string ndx = dir.File("temp.ndx");
  WriteFileBytes(ndx, "left over from an earlier run");
  Records records;
  for (const char* n : {"c", "B", "a", "b", "A"}) records.push_back({n});
  auto index = BuildIndex(platform::DefaultFileSystem(), ndx, PlaceLayout(),
                          {2, size_t{48} << 20, 64, 1 << 18}, records);  // replaces the old file
  EXPECT_EQ(WalkRecNos(*index), (std::vector<uint32_t>{3, 5, 2, 4, 1}));

  // Damaged blocks under the walk are refused or read within bounds.
  const std::string good = ReadFileBytes(ndx);
  std::mt19937 rng(5);
  for (int round = 0; round < 300; ++round) {
    std::string b = good;
    for (int i = 1 + static_cast<int>(rng() % 3); i > 0; --i) {
      b[69 + rng() % (b.size() - 69)] = static_cast<char>(rng());
    }
    WriteFileBytes(ndx, b);  // in place: the open index reads it
    try {
      size_t visited = 0;  // no more entries than the blocks can hold
      for (bool more = index->First(); more; more = index->Next(), ++visited) {
        ASSERT_LT(visited, good.size() / 9);
        for (uint32_t f = 0; f < 5; ++f) EntryField(*index, f);
      }
    } catch (const TableError& e) {
      EXPECT_EQ(std::string(e.what()).rfind("Cannot read file " + ndx + ": ", 0), 0u);
    }
  }
}

// An entry whose lengths add up to its block, but with a field longer than
// the table's field: the walk stops with the damaged-index error rather
// than copy past the field.
TEST(NameIndexFileTest, EntryFieldLongerThanItsFieldIsDamage) {
  TempDir dir;
  const std::string ndx = dir.File("temp.ndx");
  auto index = BuildIndex(platform::DefaultFileSystem(), ndx, PlaceLayout(), {},
                          {{"Alpha", "CODE", "MAJOR", "1234567890", "123456789"}, {"Beta"}});
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
  EXPECT_EQ(ErrorText([&] { WalkRecNos(*index); }),
            "Cannot read file " + ndx + ": the index file is damaged");
}

TEST(NameIndexFileTest, IndexFileFailures) {
  TempDir dir;
  FaultFileSystem fs;
  Records records;
  for (int i = 0; i < 50; ++i) records.push_back({"N" + std::to_string(i % 7)});
  fs.FailOpen([](const std::string& p) { return p.ends_with(".ndx"); });
  EXPECT_EQ(ErrorText([&] { BuildIndex(fs, dir.File("temp.ndx"), PlaceLayout(), {}, records); }),
            "Cannot create file " + dir.File("temp.ndx"));
  fs.FailOpen(nullptr);
  auto index = BuildIndex(fs, dir.File("temp.ndx"), PlaceLayout(),
                          {4, size_t{48} << 20, 64, 1 << 18}, records, {}, true);
  fs.FailReadAfter(1);
  EXPECT_EQ(ErrorText([&] { index->First(); }),
            "Cannot read file " + dir.File("temp.ndx") + ": No space left on device (injected)");
  fs.FailWriteAfter(1);
  EXPECT_EQ(ErrorText([&] {
              BuildIndex(fs, dir.File("other.ndx"), PlaceLayout(), {4, size_t{48} << 20, 64, 300},
                         records, {}, true);
            }),
            "Cannot write file " + dir.File("other.ndx") + ": No space left on device (injected)");
}

}  // namespace
}  // namespace toponyx::testing
