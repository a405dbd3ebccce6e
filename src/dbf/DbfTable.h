// A table as the program uses it: its location and field list, the file
// created with its fields, opened, and a cursor on one record at a time (the
// View window goes to a record, reads its fields and deletes it). Field
// texts are ANSI here and OEM in the file (see DbfFile.h for the file
// itself, FieldText.h for the texts).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/DbfFile.h"
#include "dbf/TableError.h"
#include "frontend/BuildUi.h"
#include "platform/File.h"

namespace toponyx::dbf {

class DbfTable {
 public:
  // ui receives the plain messages of Open; it may be null (no messages).
  // base_folder (without a trailing separator), when given, is the folder
  // in which relative folders are taken and the first FilePath; without it
  // FilePath starts empty and folders are used as given.
  explicit DbfTable(BuildUi* ui = nullptr, platform::FileSystem& fs = platform::DefaultFileSystem(),
                    std::string base_folder = {});
  ~DbfTable();
  DbfTable(const DbfTable&) = delete;
  DbfTable& operator=(const DbfTable&) = delete;

  // Location. Allowed only while the table is closed ("Cannot perform this
  // operation on an open dataset"). A relative folder is taken in the base
  // folder when there is one; a trailing separator is added to a folder
  // that is not empty. An empty FilePath leaves the table name as the path.
  void SetFilePath(std::string_view folder);
  const std::string& FilePath() const { return file_path_; }
  // A name with a folder part sets FilePath from that part. Refused while
  // the table is open, like SetFilePath.
  void SetTableName(std::string_view name);
  const std::string& TableName() const { return table_name_; }
  std::string FullPath() const { return file_path_ + table_name_; }

  // The field list, edited before CreateTable (refused while open). Open
  // replaces it with the fields of the file, names in capitals.
  void ClearFields();
  void AddField(std::string_view name, char type, int length, bool required = false);
  const std::vector<FieldDef>& FieldDefs() const { return fields_; }

  // Writes a new, empty table file (replacing one of that name); stays closed.
  void CreateTable();
  // Opens the file (creating it when missing) and checks the header; the
  // cursor is on no record. A header that cannot describe the file (too short,
  // header length below 33 or past the end, record length 0, fields longer
  // than the record) fails with "Cannot open file <path>: damaged table
  // header (...)".
  void Open();
  bool Active() const;
  // Writes the header with today's date and the record count, and the end
  // marker. Releases the file even when a write fails, then throws that
  // failure.
  void Close();

  // Goes to record recno (1-based, file order); false when it is out of
  // range (the cursor stays) or deleted (the cursor is on it).
  bool GoToRecord(uint32_t recno);
  // The current record's field, without leading and trailing bytes of code
  // 32 or less, converted to ANSI, into a reused buffer; "" for an
  // all-blank field and on no record.
  void GetField(int position, std::string& out) const;
  // Position of the field of that name (letter case ignored), -1 when none.
  int FieldIndex(std::string_view name) const;

  // Marks the current record deleted and writes it at once; the cursor stays
  // on it.
  void Delete();
  // Records in the file, deleted ones included.
  uint32_t RecordCount() const;
  // True for a record flagged deleted; false for a live one or a number out
  // of range.
  bool IsDeleted(uint32_t recno);

 private:
  struct Impl;
  // A folder text as FilePath keeps it.
  std::string FolderPath(std::string_view folder) const;

  std::unique_ptr<Impl> impl_;
  BuildUi* ui_;
  platform::FileSystem& fs_;
  std::string base_folder_;
  std::string file_path_;
  std::string table_name_;
  std::vector<FieldDef> fields_;
};

}  // namespace toponyx::dbf
