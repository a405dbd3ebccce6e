// Helpers shared by the table and index tests.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/DbfFile.h"
#include "dbf/DbfTable.h"
#include "dbf/FieldText.h"
#include "frontend/BuildUi.h"

namespace toponyx::testing {

// Keeps every message text shown.
class MessageRecorder final : public BuildUi {
 public:
  void ShowMessage(MessageKind kind, std::string_view text, std::string_view,
                   MessageButtons) override {
    kinds.push_back(kind);
    texts.emplace_back(text);
  }
  std::vector<MessageKind> kinds;
  std::vector<std::string> texts;
};

// The text of the TableError that action throws.
inline std::string ErrorText(const std::function<void()>& action) {
  try {
    action();
  } catch (const dbf::TableError& e) {
    return e.what();
  }
  return "(no TableError)";
}

// The program's five place fields.
inline void DefinePlaceFields(dbf::DbfTable& t) {
  t.ClearFields();
  t.AddField("NAME", 'C', 45);
  t.AddField("FULL_CODE", 'C', 40);
  t.AddField("MAJOR_CODE", 'C', 40);
  t.AddField("LATITUDE", 'C', 10);
  t.AddField("LONGITUDE", 'C', 10);
}

inline std::vector<dbf::FieldDef> PlaceFields() {
  std::vector<dbf::FieldDef> fields;
  for (auto [name, length] :
       {std::pair{"NAME", 45}, std::pair{"FULL_CODE", 40}, std::pair{"MAJOR_CODE", 40},
        std::pair{"LATITUDE", 10}, std::pair{"LONGITUDE", 10}}) {
    fields.push_back(dbf::FieldDef{.name = name, .length = length});
  }
  return fields;
}

// A table file written the way the program's writers write theirs: each
// field's ANSI text stored by StoreFieldText (OEM, cut to the field,
// blank-filled), the records appended in blocks through the table file,
// the header written at Close.
class TableWriter {
 public:
  TableWriter(platform::FileSystem& fs, const std::string& path,
              std::vector<dbf::FieldDef> fields = PlaceFields())
      : file_(fs) {
    dbf::DbfFile::Create(fs, path, fields);
    file_.Open(path, platform::OpenMode::kReadWrite, nullptr);
  }
  explicit TableWriter(const std::string& path, std::vector<dbf::FieldDef> fields = PlaceFields())
      : TableWriter(platform::DefaultFileSystem(), path, std::move(fields)) {}

  // A record of these texts, field by field (the fields after them blank);
  // flagged deleted when asked.
  void Add(std::initializer_list<std::string_view> texts, bool deleted = false) {
    const size_t at = records_.size();
    records_.resize(at + file_.RecordLength(), ' ');
    records_[at] = deleted ? dbf::DbfFile::kDeleted : dbf::DbfFile::kLive;
    size_t f = 0;
    for (std::string_view text : texts) {
      const dbf::FieldDef& field = file_.Fields().at(f++);
      dbf::StoreFieldText(text, records_.data() + at + static_cast<size_t>(field.offset),
                          static_cast<size_t>(field.length));
    }
    if (records_.size() >= (size_t{1} << 20)) Flush();
  }
  void AddPlace(std::string_view name, std::string_view code = "CODE",
                std::string_view major = "MAJOR", std::string_view lat = "1.5",
                std::string_view lon = "-2.5") {
    Add({name, code, major, lat, lon});
  }
  void Close() {
    Flush();
    file_.Close();
  }

 private:
  void Flush() {
    if (records_.empty()) return;
    file_.AppendRecords(records_.data(),
                        static_cast<uint32_t>(records_.size() / file_.RecordLength()));
    records_.clear();
  }

  dbf::DbfFile file_;
  std::vector<char> records_;
};

// The fields of every live record, in file order, read through the
// table's cursor ("|" after each field).
inline std::vector<std::string> LiveRecords(dbf::DbfTable& t) {
  std::vector<std::string> out;
  std::string field;
  for (uint32_t r = 1; r <= t.RecordCount(); ++r) {
    if (!t.GoToRecord(r)) continue;
    std::string record;
    for (size_t f = 0; f < t.FieldDefs().size(); ++f) {
      t.GetField(static_cast<int>(f), field);
      record += field + "|";
    }
    out.push_back(record);
  }
  return out;
}

// The current record's field.
inline std::string Field(const dbf::DbfTable& t, int position) {
  std::string out;
  t.GetField(position, out);
  return out;
}

inline uint32_t U32At(const std::string& bytes, size_t at) {
  return static_cast<uint32_t>(static_cast<unsigned char>(bytes[at])) |
         static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 8 |
         static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 16 |
         static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 3])) << 24;
}
inline uint32_t U16At(const std::string& bytes, size_t at) {
  return static_cast<uint32_t>(static_cast<unsigned char>(bytes[at])) |
         static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 8;
}
inline void PutU32(std::string& bytes, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) bytes[at + static_cast<size_t>(i)] = static_cast<char>(v >> (8 * i));
}
inline void PutU16(std::string& bytes, size_t at, uint32_t v) {
  bytes[at] = static_cast<char>(v);
  bytes[at + 1] = static_cast<char>(v >> 8);
}

}  // namespace toponyx::testing
