// The name index of a table: every live record's key (the bytes of one
// character field as stored) with its record number, in key order.
//
// Key order: the bytes are compared as unsigned values with the ASCII small
// letters taken as capitals (no other byte is changed); equal keys are
// ordered by record number.
//
// The index is an external merge sort. Building it reads the table once in
// blocks, sorts each block in memory and writes it to the index file as a
// sorted run; each run entry carries the whole record, so the ordered walk
// reads the runs front to back and merges them, instead of reading the table
// record by record at random. When there are more runs than can be merged at
// once, groups of runs are merged into longer runs first. Memory stays below
// the configured budget whatever the number of records.
//
// Index file layout (little-endian):
//   0   8  "TPXNDX01"
//   8   4  record length of the table
//   12  4  key offset in the record
//   16  4  key length
//   20  4  number of runs
//   24  8  offset of the run directory
//   32  4  1 once the directory is written, else 0
//   36  12 key field name, zero-filled
//   48  16 zero
//   64  ... runs: entries of 4 bytes record number plus the record
//   directory: per run 8 bytes offset and 8 bytes entry count
#pragma once

#include <cstddef>
#include <cstdint>
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
};

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
    uint32_t key_offset = 0;
    uint32_t key_length = 0;
    std::string key_name;
  };

  // Builds a new index file at path (replacing one of that name) over the
  // live records 1 to record_count of source.
  static std::unique_ptr<NameIndex> Build(platform::FileSystem& fs, const std::string& path,
                                          const Layout& layout, const IndexOptions& options,
                                          RecordSource& source, uint32_t record_count);
  // Opens an index file written earlier. Such an index is detached: its
  // record copies may be stale, so the table reads every visited record.
  static std::unique_ptr<NameIndex> Load(platform::FileSystem& fs, const std::string& path,
                                         uint32_t record_length, const IndexOptions& options);

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
  // Places the cursor on the entry of (record's key, recno); when the index
  // holds no such entry, between its neighbours. Takes effect at the next
  // Next or Prior.
  void Seek(const char* record, uint32_t recno);
  const char* Record() const { return current_ + 4; }
  uint32_t RecNo() const;

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
    uint64_t count;
  };
  struct Source;
  struct Item {
    uint64_t prefix;
    const char* entry;
    uint32_t source;
  };
  class Writer;

  NameIndex(platform::FileSystem& fs, std::string path, const Layout& layout,
            const IndexOptions& options);

  size_t EntrySize() const { return layout_.record_length + 4; }
  bool Less(const Item& a, const Item& b) const;
  Item MakeItem(const char* entry, uint32_t source) const;
  [[noreturn]] void ThrowWrite() const;
  [[noreturn]] void ThrowRead(const char* why) const;

  void WriteSortedRuns(RecordSource& source, uint32_t record_count);
  void MergeDownToFanIn();
  Run MergeRuns(const std::vector<Run>& group);
  void SpillLate();
  void WriteDirectory();
  void SortLate();

  void ResetSources();
  const char* At(Source& s, uint64_t i, bool forward);
  void ReadProbe(const Source& s, uint64_t i, char* out);
  void ResolveSeek();
  void BuildHeap(bool forward);
  void SetCurrent(const char* entry);

  platform::FileSystem& fs_;
  std::string path_;
  Layout layout_;
  IndexOptions options_;
  std::unique_ptr<platform::File> file_;
  bool detached_ = false;

  std::vector<Run> runs_;
  uint64_t file_end_ = 0;  // where the next run goes
  size_t window_bytes_ = 0;

  // Records posted after the build: unsorted until the cursor needs them.
  std::vector<char> late_;
  size_t late_count_ = 0;
  size_t late_capacity_ = 0;
  bool late_sorted_ = true;
  bool dirty_ = false;             // directory on disk out of date
  std::vector<uint32_t> deleted_;  // sorted

  // Cursor: per source the number of entries at or before the cursor.
  std::vector<Source> sources_;
  bool sources_valid_ = false;
  std::vector<Item> heap_;
  enum class Direction { kNone, kForward, kBackward } direction_ = Direction::kNone;
  int refill_ = -1;  // source whose next head is still to be pushed
  bool on_entry_ = false;
  const char* current_ = nullptr;
  std::vector<char> current_copy_;  // current_ when its source may move
  bool seek_pending_ = false;
  std::vector<char> seek_target_;
  std::vector<char> probe_;
};

}  // namespace toponyx::dbf
