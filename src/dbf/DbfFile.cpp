// The table file: header and descriptors, appended blocks of records, the
// read cache (see DbfFile.h).
#include "dbf/DbfFile.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "platform/Ascii.h"
#include "platform/System.h"

namespace toponyx::dbf {
namespace {

constexpr uint8_t kVersion = 0x03;
constexpr uint8_t kTerminator = 0x0D;
constexpr char kEndMarker = 0x1A;
constexpr size_t kHeaderSize = 32;
constexpr size_t kDescriptorSize = 32;
constexpr size_t kNameBytes = 11;
constexpr uint32_t kMaxFieldCount = 4095;
constexpr size_t kMaxHeaderValue = 0xFFFF;  // header and record length are 16-bit
constexpr size_t kReadCacheBytes = size_t{128} << 10;

void StoreDate(uint8_t* header) {
  const platform::LocalDate today = platform::Today();
  header[1] = static_cast<uint8_t>((today.year - 1900) & 0xFF);
  header[2] = static_cast<uint8_t>(today.month);
  header[3] = static_cast<uint8_t>(today.day);
}

std::string InvalidFieldCount(uint32_t count) {
  return "Invalid field count : " + std::to_string(count) + " (must be between 1 and " +
         std::to_string(kMaxFieldCount) + ")";
}

}  // namespace

DbfFile::DbfFile(platform::FileSystem& fs) : fs_(fs) {}

DbfFile::~DbfFile() {
  Release();
}

void DbfFile::ThrowWrite() const {
  throw TableError("Cannot write file " + path_ + ": " + fs_.LastError());
}

void DbfFile::ThrowRead(int64_t got) const {
  throw TableError("Cannot read file " + path_ + ": " +
                   (got < 0 ? fs_.LastError() : std::string("unexpected end of file")));
}

// -------------------------------------------------------------- create

void DbfFile::Create(platform::FileSystem& fs, const std::string& path,
                     std::vector<FieldDef>& fields) {
  if (fields.empty()) throw TableError(InvalidFieldCount(0));
  const size_t header_length = kHeaderSize + kDescriptorSize * fields.size() + 1;
  size_t record_length = 1;
  for (const FieldDef& f : fields) record_length += static_cast<size_t>(f.length);
  if (header_length > kMaxHeaderValue || record_length > kMaxHeaderValue) {
    throw TableError("Cannot create file " + path + ": " + std::to_string(fields.size()) +
                     " fields of " + std::to_string(record_length - 1) +
                     " bytes do not fit in a table header");
  }

  std::vector<uint8_t> bytes(header_length + 1, 0);
  bytes[0] = kVersion;
  platform::StoreLe32(&bytes[4], 0);
  platform::StoreLe16(&bytes[8], static_cast<uint16_t>(header_length));
  platform::StoreLe16(&bytes[10], static_cast<uint16_t>(record_length));
  int offset = 1;
  for (size_t i = 0; i < fields.size(); ++i) {
    FieldDef& f = fields[i];
    uint8_t* d = &bytes[kHeaderSize + kDescriptorSize * i];
    std::memcpy(d, f.name.data(), std::min(f.name.size(), kNameBytes - 1));
    d[11] = static_cast<uint8_t>(f.type);
    d[16] = static_cast<uint8_t>(f.length);
    d[17] = static_cast<uint8_t>(f.decimals);
    f.offset = offset;
    offset += f.length;
  }
  bytes[header_length - 1] = kTerminator;
  StoreDate(bytes.data());
  bytes[header_length] = static_cast<uint8_t>(kEndMarker);

  auto file = fs.Open(path, platform::OpenMode::kCreate);
  if (!file) throw TableError("Cannot create file " + path);
  if (!file->Write(bytes.data(), bytes.size())) {
    const std::string reason = fs.LastError();
    file->Close();
    throw TableError("Cannot write file " + path + ": " + reason);
  }
  if (!file->Close()) throw TableError("Cannot write file " + path + ": " + fs.LastError());
}

// ---------------------------------------------------------------- open

void DbfFile::Open(const std::string& path, platform::OpenMode mode, BuildUi* ui) {
  Release();
  path_ = path;
  file_ = fs_.Open(path, mode);
  if (!file_) throw TableError("Cannot open file " + path);
  try {
    ReadHeader(ui);
  } catch (...) {
    Release();
    throw;
  }
  // The cache is allocated when first needed.
  cache_capacity_ = static_cast<uint32_t>(std::max<size_t>(1, kReadCacheBytes / record_length_));
}

// Every length and offset in the header is checked against the file before
// it is used; a header that cannot describe the file fails with the file's
// name instead of being trusted.
void DbfFile::ReadHeader(BuildUi* ui) {
  const int64_t size = file_->Size();
  if (size < 0) ThrowRead(size);
  auto damaged = [this](const std::string& why) {
    return TableError("Cannot open file " + path_ + ": damaged table header (" + why + ")");
  };
  if (size < static_cast<int64_t>(kHeaderSize)) throw damaged("file shorter than a header");
  uint8_t head[kHeaderSize];
  int64_t got = file_->ReadAt(0, head, kHeaderSize);
  if (got != static_cast<int64_t>(kHeaderSize)) ThrowRead(got);

  const uint32_t stored_count = platform::LoadLe32(head + 4);
  const uint32_t stored_header_length = platform::LoadLe16(head + 8);
  const uint32_t stored_record_length = platform::LoadLe16(head + 10);
  if (stored_header_length <= kHeaderSize) {
    throw damaged("header length " + std::to_string(stored_header_length));
  }
  if (stored_header_length > static_cast<uint64_t>(size)) {
    throw damaged("header length " + std::to_string(stored_header_length) +
                  " beyond the end of the file");
  }
  if (stored_record_length == 0) throw damaged("record length 0");
  const uint32_t field_count = (stored_header_length - kHeaderSize) / kDescriptorSize;
  if (field_count < 1 || field_count > kMaxFieldCount) {
    throw TableError(InvalidFieldCount(field_count));
  }

  std::vector<uint8_t> bytes(stored_header_length);
  got = file_->ReadAt(0, bytes.data(), bytes.size());
  if (got != static_cast<int64_t>(bytes.size())) ThrowRead(got);

  std::vector<FieldDef> fields(field_count);
  uint32_t length = 1;
  for (uint32_t i = 0; i < field_count; ++i) {
    const uint8_t* d = &bytes[kHeaderSize + kDescriptorSize * i];
    FieldDef& f = fields[i];
    const char* name = reinterpret_cast<const char*>(d);
    f.name.assign(name, strnlen(name, kNameBytes));
    for (char& c : f.name) c = platform::ToUpperAscii(c);
    f.type = platform::ToUpperAscii(static_cast<char>(d[11]));
    f.length = d[16];
    f.decimals = d[17];
    f.offset = static_cast<int>(length);
    length += d[16];
  }
  if (length > stored_record_length) {
    throw damaged("fields of " + std::to_string(length - 1) + " bytes in a record of " +
                  std::to_string(stored_record_length));
  }
  const uint64_t records = (static_cast<uint64_t>(size) - stored_header_length) / length;
  if (records > std::numeric_limits<uint32_t>::max()) throw damaged("too many records");

  // The record count follows from the file size at the record length in
  // use, so that every record counted lies within the file.
  if (stored_count != records && ui) {
    ui->ShowMessage(MessageKind::kPlain,
                    "Invalid Record Count,\rRecordCount in Hdr : " + std::to_string(stored_count) +
                        "\r" + "expected : " + std::to_string(records));
  }
  if (length != stored_record_length && ui) {
    ui->ShowMessage(MessageKind::kPlain, "Invalid Record Size,\rRecord Size in Hdr : " +
                                             std::to_string(stored_record_length) + "\r" +
                                             "Expected : " + std::to_string(length));
  }
  header_ = std::move(bytes);
  fields_ = std::move(fields);
  header_length_ = stored_header_length;
  record_length_ = length;
  record_count_ = static_cast<uint32_t>(records);
}

// --------------------------------------------------------------- close

void DbfFile::Close(bool sync) {
  if (!file_) return;
  std::string error;
  StoreDate(header_.data());
  platform::StoreLe32(&header_[4], record_count_);
  platform::StoreLe16(&header_[10], static_cast<uint16_t>(record_length_));
  const char marker = kEndMarker;
  if (!file_->WriteAt(0, header_.data(), header_.size()) ||
      !file_->WriteAt(Offset(record_count_ + 1), &marker, 1)) {
    error = "Cannot write file " + path_ + ": " + fs_.LastError();
  }
  if (sync && error.empty() && !file_->Sync()) {
    error = "Cannot write file " + path_ + ": " + fs_.LastError();
  }
  if (!file_->Close() && error.empty()) {
    error = "Cannot write file " + path_ + ": " + fs_.LastError();
  }
  file_.reset();
  Release();
  if (!error.empty()) throw TableError(error);
}

void DbfFile::Release() {
  if (file_) file_->Close();  // a second close does nothing
  file_.reset();
  header_.clear();
  fields_.clear();
  record_count_ = record_length_ = header_length_ = 0;
  cache_count_ = 0;
  cache_ = {};
}

// ------------------------------------------------------------- writing

void DbfFile::AppendRecords(const char* records, uint32_t n) {
  if (n > std::numeric_limits<uint32_t>::max() - record_count_) {
    throw TableError("Cannot write file " + path_ + ": the table holds the most records it can");
  }
  const uint64_t at = Offset(record_count_ + 1);
  const size_t bytes = size_t{n} * record_length_;
  if (!file_->StreamAt(at, records, bytes)) ThrowWrite();
  record_count_ += n;
}

void DbfFile::MarkDeleted(uint32_t recno) {
  const char flag = kDeleted;
  if (!file_->WriteAt(Offset(recno), &flag, 1)) ThrowWrite();
  if (recno >= cache_first_ && recno < cache_first_ + cache_count_) {
    cache_[size_t{recno - cache_first_} * record_length_] = kDeleted;
  }
}

// ------------------------------------------------------------- reading

void DbfFile::ReadRecords(uint32_t first, uint32_t n, char* out) {
  const size_t bytes = size_t{n} * record_length_;
  const int64_t got = file_->ReadAt(Offset(first), out, bytes);
  if (got != static_cast<int64_t>(bytes)) ThrowRead(got);
}

// The records around n come with it: a viewer scrolls both ways.
const char* DbfFile::CachedRecord(uint32_t n) {
  if (n >= cache_first_ && n < cache_first_ + cache_count_) {
    return cache_.data() + size_t{n - cache_first_} * record_length_;
  }
  const uint32_t start = n > cache_capacity_ / 2 ? n - cache_capacity_ / 2 : 1;
  const uint32_t count = std::min(cache_capacity_, record_count_ - start + 1);
  if (cache_.empty()) cache_.resize(size_t{cache_capacity_} * record_length_);
  cache_count_ = 0;
  ReadRecords(start, count, cache_.data());
  cache_first_ = start;
  cache_count_ = count;
  return cache_.data() + size_t{n - start} * record_length_;
}

uint32_t DbfFile::ReadAvailable(uint32_t first, uint32_t n, char* out) {
  if (!file_ || first == 0 || first > record_count_) return 0;
  n = std::min(n, record_count_ - first + 1);
  const int64_t got = file_->ReadAt(Offset(first), out, size_t{n} * record_length_);
  if (got <= 0) return 0;
  return static_cast<uint32_t>(static_cast<size_t>(got) / record_length_);
}

}  // namespace toponyx::dbf
