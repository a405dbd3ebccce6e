// The name index of a table: every live record's key (the bytes of one
// character field as stored) with its record number, in key order (see
// IndexKey.h); equal keys are ordered by record number.
//
// The index is an external merge sort (IndexRunBuilder.h builds the sorted
// runs, IndexFormat.h is the file). A run entry carries the whole record, so
// that the ordered walk reads the runs front to back and merges them instead
// of reading the table record by record at random; to keep the file small,
// every field is stored without its trailing blanks.
//
// This class is the index as its table uses it: the merge cursor over the
// runs, the records posted and deleted after the build, and the index's
// life from build or load to close.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dbf/IndexFormat.h"
#include "dbf/IndexKey.h"
#include "dbf/IndexRunBuilder.h"
#include "platform/File.h"

namespace toponyx::dbf {

class NameIndex {
 public:
  // Builds a new index file at path (replacing one of that name) over the
  // live records 1 to record_count of source.
  static std::unique_ptr<NameIndex> Build(platform::FileSystem& fs, const std::string& path,
                                          const IndexLayout& layout, const IndexOptions& options,
                                          RecordSource& source, uint32_t record_count,
                                          const IndexProgress& progress = {});
  // Opens an index file written earlier for a table whose fields have these
  // lengths. Such an index is detached: its record copies may be stale, so
  // the table reads every visited record itself.
  static std::unique_ptr<NameIndex> Load(platform::FileSystem& fs, const std::string& path,
                                         const std::vector<uint32_t>& field_lengths,
                                         const IndexOptions& options);

  // The cursor over an index file whose runs are complete (a streaming
  // build's).
  static std::unique_ptr<NameIndex> FromFile(IndexFile file, const IndexOptions& options);

  ~NameIndex();
  NameIndex(const NameIndex&) = delete;
  NameIndex& operator=(const NameIndex&) = delete;

  const IndexLayout& layout() const { return format_.layout(); }
  const std::string& path() const { return file_.path(); }
  bool detached() const { return detached_; }
  uint64_t size() const;  // entries

  // The cursor, in key order. Each returns false when there is no such
  // entry; Record() and RecNo() then keep the last entry reached.
  bool First();
  bool Last();
  bool Next();
  bool Prior();
  // Places the cursor on the entry of (record's key, recno) or, if there is
  // none, between its neighbours. Takes effect at the next Next or Prior.
  void Seek(const char* record, uint32_t recno);
  // The current entry's record (record length bytes, flag byte blank).
  const char* Record();
  uint32_t RecNo() const { return current_recno_; }
  // The current entry as stored (valid until the cursor moves), its length,
  // and where a field lies in such an entry: field without trailing blanks.
  const char* Entry() const { return current_; }
  size_t EntryLength(const char* entry) const { return format_.EntryLength(entry); }
  const char* FieldInEntry(const char* entry, uint32_t field, size_t& length) const {
    return format_.FieldInEntry(entry, field, length);
  }
  void Decode(const char* entry, char* record) const { format_.Decode(entry, record); }

  // The walk that follows goes forward once through the whole index: the
  // index file's blocks are given back as they are passed.
  void DiscardPassedBlocks() { file_.DiscardPassedBlocks(); }

  // Adds the entry of a record posted after the build.
  void Insert(const char* record, uint32_t recno);
  // Records deleted after the build (their copies still show them live).
  void MarkDeleted(uint32_t recno);
  bool WasDeleted(uint32_t recno) const;

  // Writes the late insertions and the directory and releases the file.
  // Throws a TableError on a write failure; the file is released anyway.
  void Close();

 private:
  NameIndex(IndexFile file, const IndexOptions& options, bool detached);

  size_t EncodeCopy(const char* record, uint32_t recno, char* out);
  void SpillLate();
  void SortLate();
  void KeepPlaceAsSeek();

  void ResetSources();
  void ResolveSeek();
  void BuildHeap(bool forward);
  void SetCurrent(const char* entry);
  // The cursor's invariants (checked builds only).
  void CheckCursor() const;

  IndexFile file_;
  const EntryFormat& format_;  // file_'s
  IndexOptions options_;
  bool detached_ = false;

  // Records posted after the build: encoded entries, sorted when needed.
  std::vector<char> late_;
  std::vector<uint32_t> late_offsets_;
  size_t late_capacity_ = 0;
  bool late_sorted_ = true;
  std::vector<uint32_t> deleted_;  // sorted

  // Cursor: per run the place between the entries at or before the cursor
  // and those after it.
  std::vector<RunReader> sources_;
  bool sources_valid_ = false;
  std::vector<IndexItem> heap_;
  enum class Direction { kNone, kForward, kBackward } direction_ = Direction::kNone;
  int refill_ = -1;  // source whose next head is still to be pushed
  bool on_entry_ = false;
  const char* current_ = nullptr;  // encoded entry
  uint32_t current_recno_ = 0;
  std::vector<char> current_copy_;  // current_ when its block may move
  std::vector<char> record_;        // decoded current record
  bool record_valid_ = false;
  bool seek_pending_ = false;
  std::vector<char> seek_target_;  // encoded
  std::vector<char> padded_;       // a record with spare bytes, for Encode
};

}  // namespace toponyx::dbf
