// A read-only reader of a table file's raw records, on DbfFile.
#include "dbf/RecordFile.h"

#include "platform/Ascii.h"

namespace toponyx::dbf {

RecordFile::RecordFile(platform::FileSystem& fs) : file_(fs) {}

RecordFile::~RecordFile() {
  Close();
}

void RecordFile::Close() {
  file_.Release();
  record_.clear();
  records_read_ = 0;
}

void RecordFile::Open(const std::string& path) {
  Close();
  file_.Open(path, platform::OpenMode::kRead, nullptr);
  record_.assign(file_.RecordLength(), ' ');
}

int RecordFile::FieldIndex(std::string_view name) const {
  const std::vector<FieldDef>& fields = file_.Fields();
  for (size_t i = 0; i < fields.size(); ++i) {
    if (platform::EqualsIgnoreCase(fields[i].name, name)) return static_cast<int>(i);
  }
  return -1;
}

uint32_t RecordFile::Read(uint32_t first, uint32_t n, char* out) {
  const uint32_t whole = file_.ReadAvailable(first, n, out);
  records_read_ += whole;
  return whole;
}

const char* RecordFile::Record(uint32_t recno) {
  return Read(recno, 1, record_.data()) == 1 ? record_.data() : nullptr;
}

}  // namespace toponyx::dbf
