// The file of a table: a dBASE III table file (version 0x03, character
// fields, no memo) as the program writes and reads it. It knows the header
// and the field descriptors, and moves whole records as the bytes stored in
// the file (OEM code page, blank-filled, the flag byte first); what the
// bytes mean is its caller's business.
//
// Records are appended in blocks by the caller; records read are kept in a
// block for the reads that follow.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dbf/TableError.h"
#include "frontend/BuildUi.h"
#include "platform/File.h"

namespace toponyx::dbf {

struct FieldDef {
  std::string name;  // at most 10 characters are stored
  char type = 'C';
  int length = 1;  // 1 to 254
  int decimals = 0;
  bool required = false;
  int offset = 0;  // in the record, set when the table is created or opened
};

class DbfFile {
 public:
  static constexpr char kLive = ' ';     // the flag byte of a live record
  static constexpr char kDeleted = '*';  // and of a deleted one

  explicit DbfFile(platform::FileSystem& fs = platform::DefaultFileSystem());
  ~DbfFile();  // releases the file without writing
  DbfFile(const DbfFile&) = delete;
  DbfFile& operator=(const DbfFile&) = delete;

  // Writes a new, empty table file of these fields at path (replacing a file
  // of that name) and sets the fields' offsets. No field: "Invalid field
  // count : 0 (...)".
  static void Create(platform::FileSystem& fs, const std::string& path,
                     std::vector<FieldDef>& fields);

  // Opens path and checks its header; the fields come from the descriptors
  // (names in capitals), the record length from the field lengths, the
  // record count from the file size. A header that cannot describe the file
  // (too short, header length below 33 or past the end, record length 0,
  // fields longer than the record) fails with "Cannot open file <path>:
  // damaged table header (...)". ui, when not null, is told of a stored
  // record count or record length that the file does not bear out.
  void Open(const std::string& path, platform::OpenMode mode, BuildUi* ui);
  bool IsOpen() const { return file_ != nullptr; }
  // Writes the header with today's date and the record count, and the end
  // marker. Releases the file even when a write fails, then throws that
  // failure. sync: the file is written to the disk before it is released
  // (Sync).
  void Close(bool sync = false);
  // Releases the file without writing anything (a reader's close).
  void Release();

  const std::string& path() const { return path_; }
  const std::vector<FieldDef>& Fields() const { return fields_; }
  uint32_t RecordCount() const { return record_count_; }
  uint32_t RecordLength() const { return record_length_; }

  // Writes n records of RecordLength() bytes at the end at once, as a piece
  // of one long sequential write (File::StreamAt). A write failure is thrown
  // as "Cannot write file <path>: <reason>"; the records counted stay those
  // before.
  void AppendRecords(const char* records, uint32_t n);
  // Writes the deleted flag of record recno at once.
  void MarkDeleted(uint32_t recno);

  // Record n (1 to RecordCount()) through the cache, which reads the
  // records around it with it; valid until the next read or write. Throws
  // "Cannot read file <path>: <reason>" when it cannot be read.
  const char* CachedRecord(uint32_t n);
  // For a reader: records first to first + n - 1 straight from the file, as
  // many as there are; returns the number of whole records read, 0 on an
  // error. Never throws, never writes.
  uint32_t ReadAvailable(uint32_t first, uint32_t n, char* out);

 private:
  uint64_t Offset(uint32_t n) const { return header_length_ + uint64_t{n - 1} * record_length_; }
  void ReadHeader(BuildUi* ui);
  // Reads records first to first + n - 1 (1-based, all within the file)
  // into out; throws "Cannot read file <path>: <reason>" when it cannot.
  void ReadRecords(uint32_t first, uint32_t n, char* out);
  [[noreturn]] void ThrowWrite() const;
  [[noreturn]] void ThrowRead(int64_t got) const;

  platform::FileSystem& fs_;
  std::unique_ptr<platform::File> file_;
  std::string path_;
  std::vector<uint8_t> header_;  // header length bytes, descriptors included
  std::vector<FieldDef> fields_;
  uint32_t header_length_ = 0;
  uint32_t record_length_ = 0;
  uint32_t record_count_ = 0;

  // A block of records as read from the file.
  std::vector<char> cache_;
  uint32_t cache_first_ = 0;
  uint32_t cache_count_ = 0;
  uint32_t cache_capacity_ = 0;
};

}  // namespace toponyx::dbf
