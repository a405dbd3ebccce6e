#include "dbf/RecordFile.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "text/Text.h"

namespace toponyx::dbf {
namespace {

constexpr size_t kHeaderSize = 32;
constexpr size_t kDescriptorSize = 32;
constexpr size_t kNameBytes = 11;
constexpr uint32_t kMaxFieldCount = 4095;

uint32_t LoadU16(const uint8_t* p) {
  return static_cast<uint32_t>(p[0] | (p[1] << 8));
}

}  // namespace

RecordFile::RecordFile(platform::FileSystem& fs) : fs_(fs) {}

RecordFile::~RecordFile() {
  Close();
}

void RecordFile::Close() {
  if (file_) file_->Close();
  file_.reset();
  fields_.clear();
  record_.clear();
  header_length_ = record_length_ = 0;
  record_count_ = 0;
  records_read_ = 0;
}

// The same checks as the table's Open: every length read from the header is
// checked against the file before it is used.
void RecordFile::Open(const std::string& path) {
  Close();
  auto file = fs_.Open(path, platform::OpenMode::kRead);
  if (!file) throw TableError("Cannot open file " + path);
  auto damaged = [&path](const std::string& why) {
    return TableError("Cannot open file " + path + ": damaged table header (" + why + ")");
  };
  const int64_t size = file->Size();
  uint8_t head[kHeaderSize];
  if (size < static_cast<int64_t>(kHeaderSize) ||
      file->ReadAt(0, head, kHeaderSize) != static_cast<int64_t>(kHeaderSize)) {
    throw damaged("file shorter than a header");
  }
  const uint32_t header_length = LoadU16(head + 8);
  const uint32_t stored_record_length = LoadU16(head + 10);
  if (header_length <= kHeaderSize || header_length > static_cast<uint64_t>(size)) {
    throw damaged("header length " + std::to_string(header_length));
  }
  const uint32_t field_count = (header_length - kHeaderSize) / kDescriptorSize;
  if (field_count < 1 || field_count > kMaxFieldCount) {
    throw TableError("Invalid field count : " + std::to_string(field_count) +
                     " (must be between 1 and " + std::to_string(kMaxFieldCount) + ")");
  }
  std::vector<uint8_t> bytes(header_length);
  if (file->ReadAt(0, bytes.data(), bytes.size()) != static_cast<int64_t>(bytes.size())) {
    throw damaged("header cut short");
  }
  std::vector<FieldDef> fields(field_count);
  uint32_t length = 1;
  for (uint32_t i = 0; i < field_count; ++i) {
    const uint8_t* d = &bytes[kHeaderSize + kDescriptorSize * i];
    FieldDef& f = fields[i];
    const char* name = reinterpret_cast<const char*>(d);
    f.name.assign(name, strnlen(name, kNameBytes));
    for (char& c : f.name) c = text::ToUpperAscii(c);
    f.type = text::ToUpperAscii(static_cast<char>(d[11]));
    f.length = d[16];
    f.decimals = d[17];
    f.offset = static_cast<int>(length);
    length += d[16];
  }
  if (stored_record_length == 0 || length > stored_record_length) {
    throw damaged("fields of " + std::to_string(length - 1) + " bytes in a record of " +
                  std::to_string(stored_record_length));
  }
  const uint64_t records = (static_cast<uint64_t>(size) - header_length) / length;
  if (records > std::numeric_limits<uint32_t>::max()) throw damaged("too many records");

  file_ = std::move(file);
  fields_ = std::move(fields);
  header_length_ = header_length;
  record_length_ = length;
  record_count_ = static_cast<uint32_t>(records);
  record_.assign(record_length_, ' ');
}

int RecordFile::FieldIndex(std::string_view name) const {
  for (size_t i = 0; i < fields_.size(); ++i) {
    const std::string& f = fields_[i].name;
    if (f.size() == name.size() && std::equal(f.begin(), f.end(), name.begin(), [](char a, char b) {
          return a == text::ToUpperAscii(b);
        })) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

uint32_t RecordFile::Read(uint32_t first, uint32_t n, char* out) {
  if (!file_ || first == 0 || first > record_count_) return 0;
  n = std::min(n, record_count_ - first + 1);
  const size_t bytes = size_t{n} * record_length_;
  const int64_t got =
      file_->ReadAt(header_length_ + uint64_t{first - 1} * record_length_, out, bytes);
  if (got <= 0) return 0;
  const auto whole = static_cast<uint32_t>(static_cast<size_t>(got) / record_length_);
  records_read_ += whole;
  return whole;
}

const char* RecordFile::Record(uint32_t recno) {
  return Read(recno, 1, record_.data()) == 1 ? record_.data() : nullptr;
}

}  // namespace toponyx::dbf
