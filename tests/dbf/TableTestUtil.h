// Helpers shared by the table and index tests.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "frontend/BuildUi.h"
#include "dbf/DbfTable.h"

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

// Creates and opens an empty place table folder/name.
inline void CreatePlaceTable(dbf::DbfTable& t, const std::string& folder, const std::string& name) {
  t.SetFilePath(folder);
  t.SetTableName(name);
  DefinePlaceFields(t);
  t.CreateTable();
  t.Open();
}

inline void AppendPlace(dbf::DbfTable& t, std::string_view name, std::string_view code = "CODE",
                        std::string_view major = "MAJOR", std::string_view lat = "1.5",
                        std::string_view lon = "-2.5") {
  t.Append();
  t.SetField(0, name);
  t.SetField(1, code);
  t.SetField(2, major);
  t.SetField(3, lat);
  t.SetField(4, lon);
  t.Post();
}

// Record numbers visited by First/Next.
inline std::vector<uint32_t> WalkRecNos(dbf::DbfTable& t) {
  std::vector<uint32_t> out;
  for (t.First(); !t.Eof(); t.Next()) out.push_back(t.RecNo());
  return out;
}

inline std::vector<std::string> WalkNames(dbf::DbfTable& t) {
  std::vector<std::string> out;
  for (t.First(); !t.Eof(); t.Next()) out.push_back(t.GetField(0));
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
