// Building a name index: the records come in large blocks, each block
// sorted in memory (a radix sort on the key bytes) and written as a sorted
// run; when there are more runs than can be merged at once, the shortest
// runs are merged into longer ones first. Memory stays below the budget
// whatever the number of records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "dbf/IndexFormat.h"

namespace toponyx::dbf {

struct IndexOptions {
  // Records per sorted run while building; 0 derives it from memory_budget.
  size_t run_records = 0;
  // Bytes the index may hold at once for runs and buffers.
  size_t memory_budget = size_t{48} << 20;
  // Most runs merged at once (at least 2).
  size_t merge_fan_in = 64;
  // Size of a run block in the file (raised to hold at least one entry).
  size_t block_bytes = size_t{256} << 10;
};

// The options with the fan-in and the memory budget raised to the least
// that an index works with.
IndexOptions EffectiveOptions(const IndexOptions& options);

// Called while an index is built: after every sorted run with the records
// sorted so far and in all, and now and then (with 0 and 0) while runs are
// merged. It may throw to stop the build (the index file is then left
// incomplete).
using IndexProgress = std::function<void(uint64_t done, uint64_t total)>;

// How many records a sorted run takes under the options' memory budget.
size_t RecordsPerRun(const IndexFile& file, const IndexOptions& options);

// Sorts blocks of records and appends each to the file as a run.
class RunSorter {
 public:
  // capacity: the most records of a block (the sort's arrays are sized once).
  RunSorter(IndexFile& file, size_t capacity);
  ~RunSorter();
  // The live records of the block of n records at base (record numbers
  // first onwards), sorted by key and record number, as one run. base must
  // have EntryFormat::kChunk spare bytes behind its last record.
  void SortAndWrite(const char* base, uint32_t n, uint32_t first);

 private:
  struct Items;
  IndexFile& file_;
  std::unique_ptr<Items> items_;
};

// Merges the shortest runs of file until at most fan_in are left, so that a
// cursor never needs more blocks in memory than that.
void MergeDownToFanIn(IndexFile& file, size_t fan_in, const IndexProgress& progress);

}  // namespace toponyx::dbf
