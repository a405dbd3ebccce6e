// The file of a table: a dBASE III table file (version 0x03, character
// fields, no memo) as the program writes and reads it. It knows the header
// and the field descriptors, and moves whole records as the bytes stored in
// the file (OEM code page, blank-filled, the flag byte first); what the
// bytes mean is its caller's business.
//
// Appended records are collected and written in blocks, always before
// anything is read, a record is changed in place or the file is closed;
// records read are kept in a block for the reads that follow.
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
  // The records a read through the cache brings in with the one asked for.
  enum class ReadAhead { kForward, kBackward, kAround };

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
  // Writes the queued records, the header with today's date and the record
  // count, and the end marker. Releases the file even when a write fails,
  // then throws that failure; the header then counts the records on disk.
  // sync: the file is written to the disk before it is released (Sync).
  void Close(bool sync = false);
  // Releases the file without writing anything (a reader's close).
  void Release();

  const std::string& path() const { return path_; }
  const std::vector<FieldDef>& Fields() const { return fields_; }
  uint32_t RecordCount() const { return record_count_; }  // queued ones included
  uint32_t RecordLength() const { return record_length_; }

  // Queues a record of RecordLength() bytes as the last one. A write failure
  // is thrown as "Cannot write file <path>: <reason>" and leaves the record
  // unqueued; the records queued before stay queued for the next attempt.
  void AppendRecord(const char* record);
  // Writes n records of RecordLength() bytes at the end at once (the
  // queued ones first); a failure as AppendRecord's.
  void AppendRecords(const char* records, uint32_t n);
  // Writes the queued records; on a failure they stay queued.
  void WriteQueued();
  // Writes the deleted flag of record recno at once.
  void MarkDeleted(uint32_t recno);

  // Reads records first to first + n - 1 (1-based, all within the file) into
  // out; throws "Cannot read file <path>: <reason>" when it cannot.
  void ReadRecords(uint32_t first, uint32_t n, char* out);
  // Record n (1 to RecordCount()) through the cache; valid until the next
  // read or write.
  const char* CachedRecord(uint32_t n, ReadAhead ahead);
  // For a reader: records first to first + n - 1 straight from the file, as
  // many as there are; returns the number of whole records read, 0 on an
  // error. Never throws, never writes.
  uint32_t ReadAvailable(uint32_t first, uint32_t n, char* out);

 private:
  uint64_t Offset(uint32_t n) const { return header_length_ + uint64_t{n - 1} * record_length_; }
  void ReadHeader(BuildUi* ui);
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

  // Appended records not yet written: records queued_first_ onwards.
  std::vector<char> queued_;
  uint32_t queued_first_ = 0;
  uint32_t queued_count_ = 0;
  uint32_t queue_capacity_ = 0;

  // A block of records as read from the file.
  std::vector<char> cache_;
  uint32_t cache_first_ = 0;
  uint32_t cache_count_ = 0;
  uint32_t cache_capacity_ = 0;
};

}  // namespace toponyx::dbf
