// Read-only access to the raw records of a table file, for readers that need
// the stored bytes fast: the name search reads a handful of records at
// random, the map reads the positions of every record in large blocks.
//
// A record file has a handle of its own on the file, so it may be used on
// another thread than the DbfTable that has the file open; it never writes.
// It lays the file out as the table's Open does: the fields from the
// descriptors (names in capitals), the record length from the field
// lengths, the record count from the file size.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/DbfTable.h"
#include "platform/File.h"

namespace toponyx::dbf {

class RecordFile {
 public:
  static constexpr char kLive = ' ';  // the flag byte of a live record

  explicit RecordFile(platform::FileSystem& fs = platform::DefaultFileSystem());
  ~RecordFile();
  RecordFile(const RecordFile&) = delete;
  RecordFile& operator=(const RecordFile&) = delete;

  // Throws TableError ("Cannot open file <path>", or the damaged header
  // text of the table) when the file cannot be read as a table.
  void Open(const std::string& path);
  void Close();
  bool IsOpen() const { return file_ != nullptr; }

  uint32_t RecordCount() const { return record_count_; }
  size_t RecordLength() const { return record_length_; }
  const std::vector<FieldDef>& Fields() const { return fields_; }
  // Position of the field of that name (letter case ignored), -1 when none.
  int FieldIndex(std::string_view name) const;

  // Reads records first to first + n - 1 (1-based) into out, which holds
  // n * RecordLength() bytes. Returns the number of whole records read:
  // fewer at the end of the table, 0 on a read error.
  uint32_t Read(uint32_t first, uint32_t n, char* out);
  // One record, in a buffer of the record file that the next call reuses;
  // nullptr when recno is out of range or cannot be read.
  const char* Record(uint32_t recno);

  // Records read since the file was opened (the name search's cost).
  uint64_t RecordsRead() const { return records_read_; }

 private:
  platform::FileSystem& fs_;
  std::unique_ptr<platform::File> file_;
  std::vector<FieldDef> fields_;
  std::vector<char> record_;
  uint64_t header_length_ = 0;
  size_t record_length_ = 0;
  uint32_t record_count_ = 0;
  uint64_t records_read_ = 0;
};

}  // namespace toponyx::dbf
