// A name index built from records handed over one at a time, while they
// are made: each block of records, once full, is sorted and written as a
// run (on a thread of its own, so that the maker goes on filling the next
// block meanwhile), and the finished index is the merge cursor over the
// runs. Every record is written once, into the index file; there is no
// table to read back. Memory: two blocks and the sort's arrays.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dbf/IndexFormat.h"
#include "dbf/IndexRunBuilder.h"
#include "dbf/NameIndex.h"
#include "platform/Check.h"
#include "platform/File.h"
#include "platform/Worker.h"

namespace toponyx::dbf {

class StreamingIndex {
 public:
  // The index file at path (replacing one of that name). threaded: runs
  // are sorted and written on a thread of their own.
  StreamingIndex(platform::FileSystem& fs, const std::string& path, const IndexLayout& layout,
                 const IndexOptions& options, bool threaded);
  ~StreamingIndex();  // waits for the run being written
  StreamingIndex(const StreamingIndex&) = delete;
  StreamingIndex& operator=(const StreamingIndex&) = delete;

  // Room for the next record (the layout's record length, flag byte
  // first); Commit appends it as record number count() + 1. A failure to
  // write a run (of the thread) is thrown by the Commit or Finish after it.
  char* Room() {
    TOPONYX_ASSERT(filled_ < per_run_ && filled_ <= count_);
    return fill_.data() + size_t{filled_} * record_length_;
  }
  void Commit() {
    ++count_;
    if (++filled_ == per_run_) Hand();
  }
  uint32_t count() const { return count_; }

  // Writes the last run, merges down to the fan-in and writes the
  // directory: the index of every record, as a cursor.
  std::unique_ptr<NameIndex> Finish(const IndexProgress& progress);

 private:
  void Hand();  // the full block to the sorter

  IndexOptions options_;
  IndexFile file_;
  size_t record_length_;
  uint32_t per_run_;
  std::vector<char> fill_;  // the block being filled
  std::vector<char> work_;  // the block being sorted
  uint32_t filled_ = 0;
  uint32_t count_ = 0;
  RunSorter sorter_;
  platform::Worker sort_;  // last: it goes first, after its job in hand
};

}  // namespace toponyx::dbf
