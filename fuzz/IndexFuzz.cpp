// libFuzzer target of the name index as a run builds and walks it: the
// places of the input (one a line, fields between tabs, any bytes) stored
// into the streaming index, sorted into runs and merged under the options
// the first byte picks, and walked in name order; the walk must give every
// place once, in key order (a fault aborts). With bit 4 of the first byte
// the finished index file is damaged first, at places and with bytes the
// input gives: then only the index's own errors may come out.
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "dbf/DbfFile.h"
#include "dbf/FieldText.h"
#include "dbf/IndexKey.h"
#include "dbf/StreamingIndex.h"
#include "dbf/TableError.h"

namespace {

using namespace toponyx;

constexpr const char* kIndex = "/fuzz/temp.ndx";
constexpr uint32_t kLengths[] = {45, 40, 40, 10, 10};
constexpr size_t kMostPlaces = 4096;

dbf::IndexLayout PlaceLayout() {
  dbf::IndexLayout layout;
  layout.record_length = 146;
  layout.field_lengths.assign(std::begin(kLengths), std::end(kLengths));
  layout.key_field = 0;
  layout.key_name = "NAME";
  return layout;
}

// The options a pick stands for: runs as the memory allows them, many runs
// of small blocks merged at once, or merges down to a fan-in of two or
// three.
dbf::IndexOptions Options(size_t pick) {
  dbf::IndexOptions options;
  options.memory_budget = size_t{64} << 10;  // the least: the blocks are made for every input
  switch (pick & 3) {
    case 0:
      options.block_bytes = 4096;
      break;
    case 1:
      options.run_records = 3;
      options.block_bytes = 300;
      break;
    case 2:
      options.run_records = 2;
      options.merge_fan_in = 2;
      options.block_bytes = 200;
      break;
    default:
      options.run_records = 1;
      options.merge_fan_in = 3;
      options.block_bytes = 1000;
      break;
  }
  return options;
}

// Stores each line of text as a place (its fields between tabs), as the
// working table's sink does; returns the stored keys in record order.
std::vector<std::string> StorePlaces(dbf::StreamingIndex& index, std::string_view text) {
  std::vector<std::string> keys;
  while (!text.empty() && keys.size() < kMostPlaces) {
    const size_t end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    char* r = index.Room();
    r[0] = dbf::DbfFile::kLive;
    size_t at = 1;
    for (uint32_t length : kLengths) {
      const size_t tab = std::min(line.find('\t'), line.size());
      dbf::StoreFieldText(line.substr(0, tab), r + at, length);
      line.remove_prefix(std::min(tab + 1, line.size()));
      at += length;
    }
    keys.emplace_back(r + 1, kLengths[0]);
    index.Commit();
  }
  return keys;
}

// Seeds: places as the samples name them, with shared beginnings, letter
// case and bytes above 127.
void WriteSeeds() {
  const std::string places =
      "Saint Helens\tPopulated Place\tCity or Town\t46.2\t-122.2\n"
      "saint helens\tSummit\t\t46.19\t-122.19\n"
      "Z\xFCrich\tPopulated Place\tCity or Town\t47.37\t8.54\n"
      " Lead\tMine\n"
      "Mount Pleasant Church of the Holy Spirit and all Saints\tChurch\n"
      "9 Elms\n"
      "\n"
      "\xC4rger\n"
      "Saint Helens\tLake\n";
  fuzz::WriteSeed("one-run", std::string(1, '\0') + places);
  fuzz::WriteSeed("small-runs", std::string(1, '\1') + places);
  fuzz::WriteSeed("merged-twice", std::string(1, '\2') + places);
  fuzz::WriteSeed("damaged", std::string(1, '\5') + places);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (fuzz::SeedFolder()) {
    WriteSeeds();
    std::exit(0);
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const fuzz::Choice choice = fuzz::Split(data, size, 256);
  const bool damage = (choice.pick & 4) != 0;
  fuzz::MemoryFileSystem fs;
  fs.CreateDirectories("/fuzz");
  try {
    dbf::StreamingIndex building(fs, kIndex, PlaceLayout(), Options(choice.pick), false);
    const std::vector<std::string> keys = StorePlaces(building, choice.rest);
    const std::unique_ptr<dbf::NameIndex> index = building.Finish({});
    if (damage) {
      // Bytes of the input, each at a place its neighbour picks.
      std::string bytes = *fs.Get(kIndex);
      for (size_t i = 0; i + 1 < choice.rest.size() && i < 16; i += 2) {
        const auto at = static_cast<unsigned char>(choice.rest[i]) * 2654435761u % bytes.size();
        bytes[at] = choice.rest[i + 1];
      }
      fs.Put(kIndex, bytes);  // the open index reads it from now on
    }
    std::vector<bool> seen(keys.size(), false);
    std::string previous;
    uint32_t previous_recno = 0;
    for (bool more = index->First(); more; more = index->Next()) {
      if (damage) continue;
      const uint32_t recno = index->RecNo();
      if (recno == 0 || recno > keys.size() || seen[recno - 1]) std::abort();
      seen[recno - 1] = true;
      const std::string& key = keys[recno - 1];
      if (!previous.empty()) {
        const int c = dbf::CompareKeys(previous.data(), key.data(), key.size());
        if (c > 0 || (c == 0 && previous_recno > recno)) std::abort();
      }
      previous = key;
      previous_recno = recno;
    }
    if (!damage) {
      for (bool s : seen) {
        if (!s) std::abort();
      }
    }
    index->Close();
  } catch (const dbf::TableError&) {
    if (!damage) std::abort();
  }
  return 0;
}
