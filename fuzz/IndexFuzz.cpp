// libFuzzer target of the name index file: a damaged index of a fixed
// place table opened, walked in key order both ways, entered at records
// (the seek), changed (a record deleted, one appended, which go in as late
// entries) and closed (which writes them and the directory). The first byte
// says which changes are made; the rest is the index file. Only the
// table's own errors may come out.
#include <string>

#include "FuzzSupport.h"
#include "dbf/DbfTable.h"
#include "dbf/IndexRunBuilder.h"
#include "dbf/TableError.h"

namespace {

using namespace toponyx;

constexpr const char* kFolder = "/fuzz";
constexpr const char* kIndex = "/fuzz/t.ndx";
constexpr uint32_t kRecords = 12;

// The table every index belongs to: place fields, names that share long
// prefixes and repeat, one record deleted.
void MakeTable(dbf::DbfTable& t) {
  t.SetFilePath(kFolder);
  t.SetTableName("t.names");
  t.ClearFields();
  t.AddField("NAME", 'C', 45);
  t.AddField("FULL_CODE", 'C', 40);
  t.AddField("MAJOR_CODE", 'C', 40);
  t.AddField("LATITUDE", 'C', 10);
  t.AddField("LONGITUDE", 'C', 10);
  t.CreateTable();
  t.Open();
  for (uint32_t i = 0; i < kRecords; ++i) {
    t.Append();
    t.SetField(0, "Saint " + std::string(i % 4 * 5, 'x') + std::to_string(i % 5));
    t.SetField(1, i % 2 ? "Populated Place" : "Hotel");
    t.SetField(3, std::to_string(i) + ".5");
    t.SetField(4, "-" + std::to_string(i));
    t.Post();
  }
  t.GoToRecord(3);
  t.Delete();
}

void Walk(dbf::DbfTable& t) {
  std::string field;
  for (t.First(); !t.Eof(); t.Next()) t.GetField(0, field);
  for (t.Last(); !t.Bof(); t.Prior()) t.GetField(4, field);
}

// Seeds: the index of the table as the program builds it, in one run and
// one block, and in many runs of small blocks.
void WriteSeeds() {
  for (size_t block : {size_t{256} << 10, size_t{300}}) {
    fuzz::MemoryFileSystem fs;
    dbf::DbfTable t(nullptr, fs);
    MakeTable(t);
    dbf::IndexOptions options;
    options.block_bytes = block;
    if (block < 1000) options.run_records = 3;
    t.SetIndexOptions(options);
    t.AddIndex("t.ndx", "NAME");
    t.Close();
    // The first byte: delete and append after the walk.
    fuzz::WriteSeed(block < 1000 ? "small-blocks" : "one-block", "\x03" + *fs.Get(kIndex));
  }
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
  dbf::DbfTable t(nullptr, fs);
  MakeTable(t);
  fs.Put(kIndex, choice.rest);
  try {
    t.OpenIndexFile("t.ndx");
    t.SetIndexName("t.ndx");
    Walk(t);
    for (uint32_t recno : {1u, 4u, kRecords}) {
      t.GoToRecord(recno);
      t.Next();
      t.Prior();
      t.Prior();
    }
    if (choice.pick & 1) {
      t.GoToRecord(2);
      t.Delete();
    }
    if (choice.pick & 2) {
      t.Append();
      t.SetField(0, "Saint xxxxx3");
      t.Post();
    }
    if (choice.pick & 3) Walk(t);
    t.Close();
  } catch (const dbf::TableError&) {
  }
  return 0;
}
