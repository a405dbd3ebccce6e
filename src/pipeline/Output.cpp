#include "pipeline/Output.h"

#include "pipeline/BuildContext.h"
#include "pipeline/Dispatch.h"
#include "readers/PlaceRecord.h"

#include "platform/Error.h"
#include "platform/System.h"
#include "platform/Worker.h"

namespace toponyx::pipeline {

std::unique_ptr<dbf::StreamingIndex> StartWorkingIndex(
    platform::FileSystem& fs, const std::string& folder, bool threaded,
    const std::optional<dbf::IndexOptions>& chosen) {
  dbf::IndexLayout layout;
  layout.record_length = kPlaceRecordLength;
  for (size_t length : kPlaceFieldLengths)
    layout.field_lengths.push_back(static_cast<uint32_t>(length));
  layout.key_field = readers::kName;
  layout.key_name = "NAME";
  dbf::IndexOptions options;
  // Two blocks of records are in memory while the runs are sorted beside
  // the reading: each gets a little under the single block's budget. The
  // merge takes every run at once up to a size of about 50 M places.
  options.memory_budget = threaded ? size_t{40} << 20 : size_t{48} << 20;
  options.merge_fan_in = 256;
  if (chosen) options = *chosen;
  return std::make_unique<dbf::StreamingIndex>(fs, platform::JoinPath(folder, "temp.ndx"), layout,
                                               options, threaded);
}

uint64_t CopyInNameOrder(dbf::NameIndex& index, dbf::DbfTable& output, const std::string& path,
                         BuildUi& ui, platform::FileSystem& fs, bool threaded) {
  output.SetTableName(path);  // refused while the View window holds the table
  DefinePlaceFields(output);
  output.CreateTable();
  dbf::DbfFile file(fs);
  file.Open(path, platform::OpenMode::kReadWrite, nullptr);

  // The records go out in blocks of 4 MiB, written beside the walk that
  // fills the next one.
  constexpr uint32_t kBlockRecords = (4u << 20) / kPlaceRecordLength;
  std::vector<char> filling(size_t{kBlockRecords} * kPlaceRecordLength);
  std::vector<char> writing(threaded ? filling.size() : 0);
  uint32_t filled = 0;
  platform::Worker writer(threaded);
  auto hand = [&] {
    if (!threaded) {
      file.AppendRecords(filling.data(), filled);
    } else {
      writer.Wait();
      filling.swap(writing);
      writer.Run([&file, &writing, n = filled] { file.AppendRecords(writing.data(), n); });
    }
    filled = 0;
  };

  const uint64_t total = index.size();
  uint64_t copied = 0;
  for (bool more = index.First(); more; more = index.Next()) {
    const char* entry = index.Entry();
    char* record = filling.data() + size_t{filled} * kPlaceRecordLength;
    record[0] = dbf::DbfFile::kLive;
    size_t at = 1;
    for (uint32_t field = 0; field < 5; ++field) {
      size_t length = 0;
      const char* stored = index.FieldInEntry(entry, field, length);
      dbf::CopyFieldText(stored, length, record + at, kPlaceFieldLengths[field]);
      at += kPlaceFieldLengths[field];
    }
    if (++filled == kBlockRecords) hand();
    if ((++copied & 0x3FFF) == 0) {
      ui.RunProgress(RunPhase::kCopying, copied, total, total);
      ui.ProcessWindowEvents();  // the window repaints while a big copy runs
    }
  }
  if (filled > 0) hand();
  writer.Wait();
  ui.RunProgress(RunPhase::kCopying, copied, total, total);
  file.Close();
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
