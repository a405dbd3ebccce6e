// libFuzzer target of the table file: a damaged .names file opened as the
// View window opens it, every record read field by field, the name search
// run on it, and changed (a record deleted) and closed. The first byte
// says which of the changes are made; the rest is the file. Only the
// table's own errors may come out.
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "dbf/DbfFile.h"
#include "dbf/DbfTable.h"
#include "dbf/FieldText.h"
#include "dbf/NameSearch.h"
#include "dbf/RecordFile.h"
#include "dbf/TableError.h"

namespace {

using namespace toponyx;

constexpr const char* kFolder = "/fuzz";
constexpr const char* kPath = "/fuzz/t.names";

// Seeds: tables as the program writes them (place tables with live and
// deleted records, one of other field lengths).
void WriteSeeds() {
  fuzz::MemoryFileSystem fs;
  auto make = [&fs](const char* seed, bool places, int records) {
    std::vector<dbf::FieldDef> fields;
    if (places) {
      for (auto [name, length] :
           {std::pair{"NAME", 45}, std::pair{"FULL_CODE", 40}, std::pair{"MAJOR_CODE", 40},
            std::pair{"LATITUDE", 10}, std::pair{"LONGITUDE", 10}}) {
        fields.push_back({name, 'C', length});
      }
    } else {
      fields = {{"CODE", 'C', 3}, {"NAME", 'C', 17}};
    }
    dbf::DbfFile::Create(fs, kPath, fields);
    dbf::DbfFile file(fs);
    file.Open(kPath, platform::OpenMode::kReadWrite, nullptr);
    std::vector<char> bytes;
    for (int i = 0; i < records; ++i) {
      const size_t at = bytes.size();
      bytes.resize(at + file.RecordLength(), ' ');
      bytes[at] = i == 0 && records > 1 ? dbf::DbfFile::kDeleted : dbf::DbfFile::kLive;
      dbf::StoreFieldText("Place " + std::to_string(i * 7 % 5), &bytes[at + 1],
                          static_cast<size_t>(fields[0].length));
      dbf::StoreFieldText("Z\xFCrich", &bytes[at + 1 + static_cast<size_t>(fields[0].length)],
                          static_cast<size_t>(fields[1].length));
    }
    if (!bytes.empty()) {
      file.AppendRecords(bytes.data(), static_cast<uint32_t>(bytes.size() / file.RecordLength()));
    }
    file.Close();
    // The first byte: delete.
    fuzz::WriteSeed(seed, "\x01" + *fs.Get(kPath));
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
    std::string field;
    const int fields = static_cast<int>(t.FieldDefs().size());
    const uint32_t count = t.RecordCount();
    for (uint32_t n = 0; n <= count + 1; ++n) {
      t.GoToRecord(n);
      for (int f = 0; f < fields; ++f) t.GetField(f, field);
      t.IsDeleted(n);
    }
    if ((choice.pick & 1) && t.GoToRecord(count / 2 + 1)) t.Delete();
    t.Close();
    // The View window's Find: a binary search over the records as read.
    dbf::RecordFile records(fs);
    records.Open(kPath);
    for (const char16_t* typed : {u"", u"Pl", u"Z\u00FCrich", u"zzzz"}) {
      dbf::FindName(records, records.FieldIndex("NAME"), dbf::NameSearchKey(typed, 45));
    }
  } catch (const dbf::TableError&) {
  }
  return 0;
}
