// A table as the program uses it: the cursor over a table file. Records
// are appended field by field and posted, walked in file order or in the
// order of a name index, read field by field; field texts are ANSI here
// and OEM in the file (see DbfFile.h for the file itself).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/DbfFile.h"
#include "dbf/TableError.h"
#include "frontend/BuildUi.h"
#include "platform/File.h"

namespace toponyx::dbf {

class NameIndex;  // the sort behind an index; see NameIndex.h
struct IndexOptions;

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
  // Opens the file (creating it when missing), checks the header, goes to
  // the first record. A header that cannot describe the file (too short,
  // header length below 33 or past the end, record length 0, fields longer
  // than the record) fails with "Cannot open file <path>: damaged table
  // header (...)".
  void Open();
  bool Active() const;
  // Writes the posted records still buffered, the header with today's date
  // and the record count, and the end marker; closes the indexes. Releases
  // the file even when a write fails, then throws that failure.
  void Close();

  // Appending: Append, SetField..., Post. Records are written in blocks;
  // every read, walk, Delete and Close writes them first. A write failure
  // is thrown as "Cannot write file <path>: <reason>" by the call that meets
  // it, and the records already posted stay queued for the next attempt; a
  // Post that fails leaves its record in the append state (Post again to
  // retry). Moving the cursor while appending posts the record when a field
  // was set, else drops it; Close and Delete drop it.
  void Append();
  void SetField(int position, std::string_view ansi_text);
  void SetField(std::string_view name, std::string_view ansi_text);
  void Post();

  // Walking the live records in the current order (file order, or the
  // active index). First and Last go to the first and last live record;
  // Next past the last sets Eof and Prior before the first sets Bof, both
  // leaving the cursor on that record.
  void First();
  void Next();
  void Prior();
  void Last();
  bool Eof() const;  // past the last live record, or no live record at all
  bool Bof() const;  // before the first live record, or no live record at all

  // The current record's field, without leading and trailing bytes of code
  // 32 or less, converted to ANSI; "" for an all-blank field.
  std::string GetField(int position) const;
  void GetField(int position, std::string& out) const;  // into a reused buffer
  std::string GetField(std::string_view name) const;
  // Position of the field of that name (letter case ignored), -1 when none.
  int FieldIndex(std::string_view name) const;

  // Marks the current record deleted and writes it at once; the cursor stays
  // on it, and Next and Prior move on from it.
  void Delete();
  // 1-based position in the file of the current record (0 when none).
  uint32_t RecNo() const;
  // Records in the file, deleted ones included.
  uint32_t RecordCount() const;

  // Random access for a viewer: goes to record recno (1-based, file order)
  // whatever the active order; false when it is out of range (the cursor
  // stays) or deleted (the cursor is on it; Next and Prior move on from it
  // in the current order).
  bool GoToRecord(uint32_t recno);
  // True for a record flagged deleted; false for a live one or a number out
  // of range.
  bool IsDeleted(uint32_t recno);

  // Index: create (replacing the file), open, and choose the active one.
  void AddIndex(std::string_view index_file, std::string_view key_expression);
  void OpenIndexFile(std::string_view index_file);
  void SetIndexName(std::string_view index_file);  // "" for file order
  const std::string& IndexName() const { return index_name_; }
  // Memory and run sizes of the indexes built from now on (tests use small
  // runs to exercise the merge).
  void SetIndexOptions(const IndexOptions& options);

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
  std::string index_name_;
  std::vector<FieldDef> fields_;
};

}  // namespace toponyx::dbf
