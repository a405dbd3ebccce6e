// libFuzzer target of the table file: a damaged .names file opened, walked
// both ways and at random, then changed (a record deleted, one appended),
// indexed on NAME when it has such a field and walked in that order, and
// closed. The first byte says which of the changes are made; the rest is
// the file. Only the table's own errors may come out.
#include <string>

#include "FuzzSupport.h"
#include "dbf/DbfTable.h"
#include "dbf/IndexRunBuilder.h"
#include "dbf/TableError.h"

namespace {

using namespace toponyx;

constexpr const char* kFolder = "/fuzz";
constexpr const char* kPath = "/fuzz/t.names";

void Walk(dbf::DbfTable& t, bool backward) {
  std::string field;
  const int fields = static_cast<int>(t.FieldDefs().size());
  if (backward) {
    for (t.Last(); !t.Bof(); t.Prior()) {
      for (int f = 0; f < fields; ++f) t.GetField(f, field);
    }
  } else {
    for (t.First(); !t.Eof(); t.Next()) {
      for (int f = 0; f < fields; ++f) t.GetField(f, field);
    }
  }
}

// Seeds: tables as the program writes them (place tables with live and
// deleted records, one of other field lengths).
void WriteSeeds() {
  fuzz::MemoryFileSystem fs;
  auto make = [&fs](const char* seed, bool places, int records) {
    dbf::DbfTable t(nullptr, fs);
    t.SetFilePath(kFolder);
    t.SetTableName("t.names");
    t.ClearFields();
    if (places) {
      t.AddField("NAME", 'C', 45);
      t.AddField("FULL_CODE", 'C', 40);
      t.AddField("MAJOR_CODE", 'C', 40);
      t.AddField("LATITUDE", 'C', 10);
      t.AddField("LONGITUDE", 'C', 10);
    } else {
      t.AddField("CODE", 'C', 3);
      t.AddField("NAME", 'C', 17);
    }
    t.CreateTable();
    t.Open();
    for (int i = 0; i < records; ++i) {
      t.Append();
      t.SetField(0, "Place " + std::to_string(i * 7 % 5));
      t.SetField(1, "Z\xFCrich");
      t.Post();
    }
    if (records > 1) {
      t.First();
      t.Delete();
    }
    t.Close();
    // The first byte: delete, append and index.
    fuzz::WriteSeed(seed, "\x07" + *fs.Get(kPath));
  };
  make("places", true, 4);
  make("empty", true, 0);
  make("short", false, 3);
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
  fuzz::MemoryFileSystem fs;
  fs.CreateDirectories(kFolder);
  fs.Put(kPath, choice.rest);
  NullBuildUi ui;
  dbf::DbfTable t(&ui, fs);
  try {
    t.SetFilePath(kFolder);
    t.SetTableName("t.names");
    t.Open();
    Walk(t, false);
    Walk(t, true);
    const uint32_t count = t.RecordCount();
    for (uint32_t n : {0u, 1u, count / 2, count, count + 1}) {
      if (t.GoToRecord(n)) t.GetField(0);
      t.IsDeleted(n);
    }
    if ((choice.pick & 1) && !t.Eof() && !t.Bof()) t.Delete();
    if (choice.pick & 2) {
      t.Append();
      t.SetField(0, "Appended \xE9");
      t.Post();
    }
    if ((choice.pick & 4) && t.FieldIndex("NAME") >= 0) {
      dbf::IndexOptions options;
      options.memory_budget = 4096;  // many runs and merges of few records
      options.merge_fan_in = 2;
      t.SetIndexOptions(options);
      t.AddIndex("t.ndx", "NAME");
      t.SetIndexName("t.ndx");
      Walk(t, false);
      Walk(t, true);
    }
    t.Close();
  } catch (const dbf::TableError&) {
  }
  return 0;
}
