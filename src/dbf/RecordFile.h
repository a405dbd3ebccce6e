// Read-only access to the raw records of a table file, for readers that need
// the stored bytes fast: the name search reads a handful of records at
// random, the map reads the positions of every record in large blocks.
//
// A record file has a handle of its own on the file, so it may be used on
// another thread than the DbfTable that has the file open; it never writes.
// It reads the file as the table does (DbfFile: the same header checks and
// layout), one read of the file per call.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/DbfFile.h"
#include "dbf/TableError.h"
#include "platform/File.h"

namespace toponyx::dbf {

class RecordFile {
 public:
  static constexpr char kLive = DbfFile::kLive;  // the flag byte of a live record

  explicit RecordFile(platform::FileSystem& fs = platform::DefaultFileSystem());
  ~RecordFile();
  RecordFile(const RecordFile&) = delete;
  RecordFile& operator=(const RecordFile&) = delete;

  // Throws TableError ("Cannot open file <path>", or the damaged header
  // text of the table) when the file cannot be read as a table.
  void Open(const std::string& path);
  void Close();
  bool IsOpen() const { return file_.IsOpen(); }

  uint32_t RecordCount() const { return file_.RecordCount(); }
  size_t RecordLength() const { return file_.RecordLength(); }
  const std::vector<FieldDef>& Fields() const { return file_.Fields(); }
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
  DbfFile file_;
  std::vector<char> record_;
  uint64_t records_read_ = 0;
};

}  // namespace toponyx::dbf
