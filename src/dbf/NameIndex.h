// The name index of a table: every live record's key (the bytes of one
// character field as stored) with its record number, in key order.
//
// Key order: the bytes are compared as unsigned values with the ASCII small
// letters taken as capitals (no other byte is changed); equal keys are
// ordered by record number.
//
// The index is an external merge sort. Building it reads the table once in
// large blocks, sorts each block in memory and writes it to the index file
// as a sorted run. A run entry carries the whole record, so that the ordered
// walk reads the runs front to back and merges them instead of reading the
// table record by record at random; to keep the file small, every field is
// stored without its trailing blanks. When there are more runs than can be
// merged at once, the shortest runs are merged into longer ones first.
// Memory stays below the configured budget whatever the number of records.
//
// Index file layout (little-endian):
//   0   8   "TPXNDX02"
//   8   4   record length of the table
//   12  4   key offset in the record
//   16  4   key length
//   20  4   number of runs
//   24  8   offset of the run directory
//   32  4   1 once the directory is written, else 0
//   36  12  key field name, zero-filled
//   48  4   block size
//   52  4   field count
//   56  4   position of the key field
//   60  4   zero
//   64  field count bytes: the field lengths
//   then the runs, then the directory: per run 8 bytes offset, 8 bytes
//   entry count, 8 bytes length.
// A run is a sequence of blocks of the block size (the last one may be
// shorter): 4 bytes bytes used, 4 bytes entry count, then the entries. An
// entry: 4 bytes record number, then the key field and the other fields in
// record order, each as 1 byte length and the field's bytes without the
// trailing blanks. No entry crosses a block boundary.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/File.h"

namespace toponyx::dbf {

// Compares two keys of n bytes in index order; <0, 0 or >0.
int CompareKeys(const char* a, const char* b, size_t n);

struct IndexOptions {
  // Records per sorted run while building; 0 derives it from memory_budget.
  size_t run_records = 0;
  // Bytes the index may hold at once for runs, buffers and late insertions.
  size_t memory_budget = size_t{48} << 20;
  // Most runs merged at once (at least 2).
  size_t merge_fan_in = 64;
  // Size of a run block in the file (raised to hold at least one entry).
  size_t block_bytes = size_t{256} << 10;
};

// Called while an index is built: after every sorted run with the records
// sorted so far and in all, and now and then (with 0 and 0) while runs are
// merged. It may throw to stop the build (the index file is then left
// incomplete).
using IndexProgress = std::function<void(uint64_t done, uint64_t total)>;

// Where the index gets the table's records from.
class RecordSource {
 public:
  virtual ~RecordSource() = default;
  // Reads n records from record number first (1-based) into out, which holds
  // n times the record length. Throws a TableError when it cannot.
  virtual void ReadRecords(uint32_t first, uint32_t n, char* out) = 0;
};

class NameIndex {
 public:
  struct Layout {
    uint32_t record_length = 0;
    std::vector<uint32_t> field_lengths;  // in record order, from offset 1
    uint32_t key_field = 0;               // position in field_lengths
    std::string key_name;
    uint32_t key_offset = 0;  // derived
    uint32_t key_length = 0;  // derived
  };

  // Builds a new index file at path (replacing one of that name) over the
  // live records 1 to record_count of source.
  static std::unique_ptr<NameIndex> Build(platform::FileSystem& fs, const std::string& path,
                                          const Layout& layout, const IndexOptions& options,
                                          RecordSource& source, uint32_t record_count,
                                          const IndexProgress& progress = {});
  // Opens an index file written earlier for a table whose fields have these
  // lengths. Such an index is detached: its record copies may be stale, so
  // the table reads every visited record itself.
  static std::unique_ptr<NameIndex> Load(platform::FileSystem& fs, const std::string& path,
                                         const std::vector<uint32_t>& field_lengths,
                                         const IndexOptions& options);

  ~NameIndex();
  NameIndex(const NameIndex&) = delete;
  NameIndex& operator=(const NameIndex&) = delete;

  const Layout& layout() const { return layout_; }
  const std::string& path() const { return path_; }
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
  size_t EntryLength(const char* entry) const;
  const char* FieldInEntry(const char* entry, uint32_t field, size_t& length) const;
  void Decode(const char* entry, char* record) const;

  // Adds the entry of a record posted after the build.
  void Insert(const char* record, uint32_t recno);
  // Records deleted after the build (their copies still show them live).
  void MarkDeleted(uint32_t recno);
  bool WasDeleted(uint32_t recno) const;

  // Writes the late insertions and the directory and releases the file.
  // Throws a TableError on a write failure; the file is released anyway.
  void Close();

 private:
  struct Run {
    uint64_t offset;
    uint64_t entries;
    uint64_t bytes;
  };
  struct Source;
  struct Item {
    uint64_t prefix;  // key bytes 0 to 7, folded
    uint64_t second;  // key bytes 8 to 15, folded
    const char* entry;
    uint32_t recno;
    uint32_t source;
  };
  class BlockWriter;

  NameIndex(platform::FileSystem& fs, std::string path, const Layout& layout,
            const IndexOptions& options);

  // Entries.
  size_t Encode(const char* record, uint32_t recno, char* out) const;
  size_t EncodeCopy(const char* record, uint32_t recno, char* out);
  Item MakeItem(const char* entry, uint32_t source) const;
  bool Less(const Item& a, const Item& b) const;
  bool SameEntry(const Item& a, const Item& b) const;

  [[noreturn]] void ThrowWrite() const;
  [[noreturn]] void ThrowRead(const char* why) const;
  [[noreturn]] void ThrowDamaged() const;

  void WriteHeaderAndFields(bool complete, uint64_t directory);
  void WriteSortedRuns(RecordSource& source, uint32_t record_count, const IndexProgress& progress);
  void MergeDownToFanIn(const IndexProgress& progress);
  Run MergeRuns(const std::vector<Run>& group, const IndexProgress& progress);
  void SpillLate();
  void WriteDirectory();
  void SortLate();

  // Sources and their blocks.
  Source DiskSource(const Run& run) const;
  void Load(Source& s, uint32_t block);
  void ParseBlock(Source& s, size_t bytes);
  const char* Head(Source& s);
  const char* Tail(Source& s);
  void SeekSource(Source& s, const Item& target);

  void ResetSources();
  void ResolveSeek();
  void BuildHeap(bool forward);
  void SetCurrent(const char* entry);

  platform::FileSystem& fs_;
  std::string path_;
  Layout layout_;
  IndexOptions options_;
  std::unique_ptr<platform::File> file_;
  bool detached_ = false;
  std::vector<uint32_t> entry_fields_;   // the key field first, then the others
  std::vector<uint32_t> entry_place_;    // a field's place among entry_fields_
  std::vector<uint32_t> field_offsets_;  // in the record
  size_t max_entry_ = 0;
  size_t block_bytes_ = 0;
  uint64_t data_start_ = 0;

  std::vector<Run> runs_;
  uint64_t file_end_ = 0;  // where the next run goes

  // Records posted after the build: encoded entries, sorted when needed.
  std::vector<char> late_;
  std::vector<uint32_t> late_offsets_;
  size_t late_capacity_ = 0;
  bool late_sorted_ = true;
  bool dirty_ = false;             // directory on disk out of date
  std::vector<uint32_t> deleted_;  // sorted

  // Cursor: per source the place between the entries at or before the
  // cursor and those after it.
  std::vector<Source> sources_;
  bool sources_valid_ = false;
  std::vector<Item> heap_;
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
  std::vector<char> probe_;
  std::vector<char> padded_;  // a record with spare bytes, for Encode
};

}  // namespace toponyx::dbf
