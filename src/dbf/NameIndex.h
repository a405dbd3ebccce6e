// The name index of a table: every live record's key (the bytes of one
// character field as stored) with its record number, in key order (see
// IndexKey.h); equal keys are ordered by record number.
//
// The index is an external merge sort (StreamingIndex.h builds the sorted
// runs, IndexFormat.h is the file). A run entry carries the whole record, so
// that the ordered walk reads the runs front to back and merges them instead
// of reading the table record by record at random; to keep the file small,
// every field is stored without its trailing blanks.
//
// This class is the walk: the merge cursor over the runs of a finished
// index file, forward in key order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dbf/IndexFormat.h"
#include "dbf/IndexKey.h"

namespace toponyx::dbf {

class NameIndex {
 public:
  // The cursor over an index file whose runs are complete (a streaming
  // build's).
  static std::unique_ptr<NameIndex> FromFile(IndexFile file);

  ~NameIndex();
  NameIndex(const NameIndex&) = delete;
  NameIndex& operator=(const NameIndex&) = delete;

  const IndexLayout& layout() const { return format_.layout(); }
  const std::string& path() const { return file_.path(); }
  uint64_t size() const;  // entries

  // The cursor, forward in key order: First goes to the first entry, Next
  // to the one after the current; each returns false when there is none.
  // A run that cannot be read throws a TableError ("Cannot read file
  // <path>: ...", "...: the index file is damaged").
  bool First();
  bool Next();
  uint32_t RecNo() const { return current_recno_; }
  // The current entry as stored (valid until the cursor moves), and where
  // a field lies in it: the field without its trailing blanks.
  const char* Entry() const { return current_; }
  const char* FieldInEntry(const char* entry, uint32_t field, size_t& length) const {
    return format_.FieldInEntry(entry, field, length);
  }

  // The walk that follows goes once through the whole index: the index
  // file's blocks are given back as they are passed.
  void DiscardPassedBlocks() { file_.DiscardPassedBlocks(); }

  // Releases the file; throws a TableError when the system reports a
  // failure.
  void Close();

 private:
  explicit NameIndex(IndexFile file);
  void CheckMerge() const;

  IndexFile file_;
  const EntryFormat& format_;  // file_'s

  // The merge: a reader per run and a heap of their heads, least first.
  std::vector<RunReader> sources_;
  std::vector<IndexItem> heap_;
  int refill_ = -1;  // source whose next head is still to be pushed
  const char* current_ = nullptr;
  uint32_t current_recno_ = 0;
  std::vector<char> empty_;  // the entry before the first: no fields
};

}  // namespace toponyx::dbf
