// The name index file as it lies on disk: its header, the sorted runs of
// blocks of entries, the run directory; how a record becomes an entry and
// back; and the reading and writing of runs block by block.
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
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "dbf/IndexKey.h"
#include "platform/Ascii.h"
#include "platform/File.h"

namespace toponyx::dbf {

// The table as an index sees it.
struct IndexLayout {
  uint32_t record_length = 0;
  std::vector<uint32_t> field_lengths;  // in record order, from offset 1
  uint32_t key_field = 0;               // position in field_lengths
  std::string key_name;
  uint32_t key_offset = 0;  // derived
  uint32_t key_length = 0;  // derived
};

// A sorted run in the index file.
struct IndexRun {
  uint64_t offset;
  uint64_t entries;
  uint64_t bytes;
};

// An entry as merges order it: its first sixteen key bytes, folded, its
// record number and the run it comes from.
struct IndexItem {
  uint64_t prefix;  // key bytes 0 to 7, folded
  uint64_t second;  // key bytes 8 to 15, folded
  const char* entry;
  uint32_t recno;
  uint32_t source;
};

// The entries of one table layout: encoding, decoding and their order.
class EntryFormat {
 public:
  // Encoding copies fields in whole chunks, so the buffers it reads and
  // writes have this many bytes to spare behind their contents.
  static constexpr size_t kChunk = 16;

  explicit EntryFormat(const IndexLayout& layout);  // derives the key offset and length

  const IndexLayout& layout() const { return layout_; }
  size_t field_count() const { return entry_fields_.size(); }
  size_t max_entry() const { return max_entry_; }  // the longest entry
  // The table's fields in the order of an entry: the key field first.
  const std::vector<uint32_t>& entry_fields() const { return entry_fields_; }

  // The entry of a record, written to out; its length. The record may be
  // read, and out written, up to kChunk bytes past their ends.
  size_t Encode(const char* record, uint32_t recno, char* out) const;
  // Where a field lies in an entry, without its trailing blanks.
  const char* FieldInEntry(const char* entry, uint32_t field, size_t& length) const;
  size_t EntryLength(const char* entry) const {
    size_t p = 4;
    for (size_t i = 0; i < entry_fields_.size(); ++i) {
      p += 1 + static_cast<unsigned char>(entry[p]);
    }
    return p;
  }

  IndexItem MakeItem(const char* entry, uint32_t source) const {
    const size_t length = static_cast<unsigned char>(entry[4]);
    const size_t key_length = layout_.key_length;
    const uint64_t second =
        key_length > 8 ? FoldedPrefix(entry + 13, length > 8 ? length - 8 : 0, key_length - 8) : 0;
    return IndexItem{FoldedPrefix(entry + 5, length, key_length), second, entry,
                     platform::LoadLe32(entry), source};
  }
  // Key order, then record number.
  bool Less(const IndexItem& a, const IndexItem& b) const {
    if (a.prefix != b.prefix) return a.prefix < b.prefix;
    if (a.second != b.second) return a.second < b.second;
    if (layout_.key_length > 16) {
      const size_t la = static_cast<unsigned char>(a.entry[4]);
      const size_t lb = static_cast<unsigned char>(b.entry[4]);
      const int c = CompareBlankFilled(a.entry + 21, la > 16 ? la - 16 : 0, b.entry + 21,
                                       lb > 16 ? lb - 16 : 0);
      if (c != 0) return c < 0;
    }
    return a.recno < b.recno;
  }

 private:
  IndexLayout layout_;
  std::vector<uint32_t> entry_fields_;   // the key field first, then the others
  std::vector<uint32_t> entry_place_;    // a field's place among entry_fields_
  std::vector<uint32_t> field_offsets_;  // in the record
  size_t max_entry_ = 0;
};

// One sorted run as a merge or the cursor reads it: blocks of the index
// file, one loaded at a time.
struct RunReader {
  uint64_t offset = 0;
  uint64_t bytes = 0;
  uint32_t blocks = 0;

  int64_t loaded = -1;
  std::vector<char> data;
  std::vector<uint32_t> offsets;
  const char* base = nullptr;
  const uint32_t* offs = nullptr;
  uint32_t n = 0;

  // The entries before (block, index) are behind the reader.
  uint32_t block = 0;
  uint32_t index = 0;
};

// The index file: its header and directory, its runs and their blocks.
class IndexFile {
 public:
  static constexpr size_t kBlockHeader = 8;

  // Creates the file at path (replacing one of that name) as a complete,
  // empty index; block_bytes is raised to hold the longest entry.
  static IndexFile Create(platform::FileSystem& fs, const std::string& path,
                          const IndexLayout& layout, size_t block_bytes);

  IndexFile(IndexFile&&) = default;
  ~IndexFile();

  const std::string& path() const { return path_; }
  const EntryFormat& format() const { return format_; }
  size_t block_bytes() const { return block_bytes_; }
  bool IsOpen() const { return file_ != nullptr; }

  // The runs in the file; a change to them leaves the directory on disk out
  // of date until WriteDirectory.
  std::vector<IndexRun>& runs() { return runs_; }
  const std::vector<IndexRun>& runs() const { return runs_; }
  // Writes the directory after the last run, then the header pointing to it.
  void WriteDirectory();
  // Releases the file; throws a TableError ("Cannot write file <path>:
  // <reason>") when the system reports a failure.
  void Close();

  // For a single walk forward through the whole index (the ordered copy):
  // every block a run reader leaves behind is given back to the system,
  // so that the used-up part of this working file need never be written
  // to the disk. A block left behind reads as damaged afterwards.
  void DiscardPassedBlocks() { discard_passed_ = true; }

  // Writes one run, block by block, at the end of the file.
  class RunWriter {
   public:
    explicit RunWriter(IndexFile& file);
    // Room for the longest entry in the current block.
    char* Room() {
      if (used_ + max_entry_ > file_.block_bytes_) Flush(true);
      return block_.data() + used_;
    }
    void Commit(size_t n) {
      used_ += n;
      ++count_;
      ++entries_;
    }
    void Add(const char* entry, size_t n);
    // The run written; the file's end moves past it.
    IndexRun Finish();

   private:
    void Flush(bool full);

    IndexFile& file_;
    size_t max_entry_;
    uint64_t start_;
    uint64_t next_;
    std::vector<char> block_;
    size_t used_ = kBlockHeader;
    uint32_t count_ = 0;
    uint64_t entries_ = 0;
  };

  RunReader Reader(const IndexRun& run) const;
  // The entry at a reader's place; nullptr at the run's end.
  const char* Head(RunReader& s) {
    for (;;) {
      if (s.loaded != static_cast<int64_t>(s.block)) LoadBlock(s, s.block);
      if (s.index < s.n) return s.base + s.offs[s.index];
      if (s.block + 1 >= s.blocks) return nullptr;
      ++s.block;
      s.index = 0;
    }
  }

  [[noreturn]] void ThrowWrite() const;

 private:
  IndexFile(platform::FileSystem& fs, std::string path, const IndexLayout& layout);

  void WriteHeader(uint64_t directory);
  void LoadBlock(RunReader& s, uint32_t block);
  void ParseBlock(RunReader& s, size_t bytes);
  [[noreturn]] void ThrowRead(const char* why) const;
  [[noreturn]] void ThrowDamaged() const;

  platform::FileSystem& fs_;
  std::string path_;
  EntryFormat format_;
  std::unique_ptr<platform::File> file_;
  size_t block_bytes_ = 0;
  uint64_t data_start_ = 0;
  std::vector<IndexRun> runs_;
  uint64_t end_ = 0;             // where the next run goes
  bool discard_passed_ = false;  // see DiscardPassedBlocks
};

}  // namespace toponyx::dbf
