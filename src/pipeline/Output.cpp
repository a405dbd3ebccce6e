#include "pipeline/Output.h"

#include "pipeline/Dispatch.h"
#include "readers/PlaceRecord.h"

#include "platform/Error.h"

namespace toponyx::pipeline {

void IndexWorkingTable(dbf::DbfTable& working) {
  working.AddIndex("temp.ndx", "name");
  working.OpenIndexFile("temp.ndx");
  working.SetIndexName("temp.ndx");
}

uint64_t CopyInNameOrder(dbf::DbfTable& working, dbf::DbfTable& output, const std::string& path,
                         BuildUi& ui) {
  output.SetTableName(path);
  DefinePlaceFields(output);
  output.CreateTable();
  output.Open();

  uint64_t copied = 0;
  const uint64_t total = working.RecordCount();
  std::string value;
  working.First();
  while (!working.Eof()) {
    output.Append();
    for (int field = 0; field < 5; ++field) {
      working.GetField(field, value);
      output.SetField(field, value);
    }
    output.Post();
    if ((++copied & 0x3FFF) == 0) {
      ui.RunProgress(RunPhase::kCopying, copied, total, total);
      ui.ProcessWindowEvents();  // the window repaints while a big copy runs
    }
    working.Next();
  }
  ui.RunProgress(RunPhase::kCopying, copied, total, total);
  working.Close();
  output.Close();
  return copied;
}

std::string TypesFileText(const std::vector<std::string>& full_codes) {
  std::string out = ";DATUM\r\nDATUM,WGS 84\r\n;Full Codes\r\n";
  for (const std::string& code : full_codes) {
    out += code;
    out += "\r\n";
  }
  out += "##########\r\n;Major Codes\r\n;Not used by USA\r\n";
  for (std::string_view major : readers::kMajorCodes) {
    out += major;
    out += "\r\n";
  }
  return out;
}

void WriteTypesFile(platform::FileSystem& fs, const std::string& path,
                    const std::vector<std::string>& full_codes) {
  auto file = fs.Open(path, platform::OpenMode::kCreate);
  if (!file) throw Error("Cannot create file " + path);
  const std::string text = TypesFileText(full_codes);
  if (!file->Write(text.data(), text.size())) {
    std::string reason = fs.LastError();
    file->Close();
    throw Error("Cannot write file " + path + ": " + reason);
  }
  if (!file->Close()) throw Error("Cannot write file " + path + ": " + fs.LastError());
}

}  // namespace toponyx::pipeline
