// Building a name index: radix-sorted runs of blocks of records, and merges
// of the shortest runs down to the fan-in (see IndexRunBuilder.h).
#include "dbf/IndexRunBuilder.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace toponyx::dbf {
namespace {

// An entry of a run being sorted: the first sixteen key bytes, folded, and
// the record's place in the block.
struct SortItem {
  uint64_t prefix;
  uint64_t second;
  uint32_t index;
};

inline unsigned Digit(const SortItem& item, int byte) {
  const uint64_t word = byte < 8 ? item.prefix : item.second;
  return static_cast<unsigned>(word >> (56 - 8 * (byte & 7))) & 0xFF;
}

// Sorts by the key bytes, most significant first, one byte a pass (the
// first sixteen from the items' prefixes, the rest from the records). The
// passes are stable and the items start in record order, so a group whose
// keys agree in every byte is already in record order; only small groups
// are left to the full comparison (the key, then the record's place).
template <typename DigitOf, typename Less>
void RadixSort(SortItem* items, SortItem* scratch, size_t n, int byte, int key_bytes,
               const DigitOf& digit, const Less& less) {
  constexpr size_t kSmall = 48;
  while (n > kSmall) {
    if (byte >= key_bytes) return;  // equal keys, in record order
    size_t count[256] = {};
    for (size_t i = 0; i < n; ++i) ++count[digit(items[i], byte)];
    if (count[digit(items[0], byte)] == n) {  // all alike in this byte
      ++byte;
      continue;
    }
    size_t start[256];
    size_t total = 0;
    for (int d = 0; d < 256; ++d) {
      start[d] = total;
      total += count[d];
    }
    size_t next[256];
    std::memcpy(next, start, sizeof next);
    for (size_t i = 0; i < n; ++i) scratch[next[digit(items[i], byte)]++] = items[i];
    std::memcpy(items, scratch, n * sizeof(SortItem));
    for (int d = 0; d < 256; ++d) {
      if (count[d] > 1) {
        RadixSort(items + start[d], scratch + start[d], count[d], byte + 1, key_bytes, digit, less);
      }
    }
    return;
  }
  std::sort(items, items + n, less);
}

IndexRun MergeRuns(IndexFile& file, const std::vector<IndexRun>& group,
                   const IndexProgress& progress) {
  const EntryFormat& format = file.format();
  std::vector<RunReader> sources;
  sources.reserve(group.size());
  std::vector<IndexItem> heap;
  heap.reserve(group.size());
  auto greater = [&format](const IndexItem& a, const IndexItem& b) { return format.Less(b, a); };
  for (size_t i = 0; i < group.size(); ++i) {
    sources.push_back(file.Reader(group[i]));
    if (const char* head = file.Head(sources.back())) {
      heap.push_back(format.MakeItem(head, static_cast<uint32_t>(i)));
    }
  }
  std::make_heap(heap.begin(), heap.end(), greater);

  IndexFile::RunWriter out(file);
  uint64_t taken = 0;
  while (!heap.empty()) {
    std::pop_heap(heap.begin(), heap.end(), greater);
    const IndexItem item = heap.back();
    heap.pop_back();
    out.Add(item.entry, format.EntryLength(item.entry));
    if ((++taken & 0xFFFF) == 0 && progress) progress(0, 0);
    RunReader& s = sources[item.source];
    ++s.index;
    if (const char* head = file.Head(s)) {
      heap.push_back(format.MakeItem(head, item.source));
      std::push_heap(heap.begin(), heap.end(), greater);
    }
  }
  return out.Finish();
}

}  // namespace

IndexOptions EffectiveOptions(const IndexOptions& options) {
  IndexOptions o = options;
  o.merge_fan_in = std::max<size_t>(o.merge_fan_in, 2);
  o.memory_budget = std::max<size_t>(o.memory_budget, size_t{64} << 10);
  return o;
}

size_t RecordsPerRun(const IndexFile& file, const IndexOptions& options) {
  if (options.run_records > 0) return options.run_records;
  // The block writer takes its share of the budget.
  const size_t length = file.format().layout().record_length;
  const size_t block_bytes = file.block_bytes();
  const size_t budget = options.memory_budget > 2 * block_bytes
                            ? options.memory_budget - block_bytes
                            : options.memory_budget / 2;
  return std::max<size_t>(1, budget / (length + 2 * sizeof(SortItem)));
}

struct RunSorter::Items {
  std::vector<SortItem> items;
  std::vector<SortItem> scratch;
};

RunSorter::RunSorter(IndexFile& file, size_t capacity)
    : file_(file), items_(std::make_unique<Items>()) {
  items_->items.reserve(capacity);
  items_->scratch.resize(capacity);
}
RunSorter::~RunSorter() = default;

void RunSorter::SortAndWrite(const char* base, uint32_t n, uint32_t first) {
  const IndexLayout& layout = file_.format().layout();
  const size_t length = layout.record_length;
  const size_t key_offset = layout.key_offset;
  const size_t key_length = layout.key_length;
  auto less = [base, length, key_offset, key_length](const SortItem& a, const SortItem& b) {
    if (a.prefix != b.prefix) return a.prefix < b.prefix;
    if (a.second != b.second) return a.second < b.second;
    if (key_length > 16) {
      const int c = CompareKeys(base + a.index * length + key_offset + 16,
                                base + b.index * length + key_offset + 16, key_length - 16);
      if (c != 0) return c < 0;
    }
    return a.index < b.index;
  };
  // Key byte `byte` of an item, folded: from the prefixes for the first
  // sixteen, from the record for the rest.
  auto digit = [base, length, key_offset](const SortItem& item, int byte) -> unsigned {
    if (byte < 16) return Digit(item, byte);
    return FoldByte(static_cast<unsigned char>(
        base[size_t{item.index} * length + key_offset + static_cast<size_t>(byte)]));
  };

  std::vector<SortItem>& items = items_->items;
  if (items_->scratch.size() < n) items_->scratch.resize(n);
  items.clear();
  for (uint32_t i = 0; i < n; ++i) {
    const char* record = base + size_t{i} * length;
    if (record[0] != ' ') continue;  // deleted: the walk would pass over it anyway
    const char* key = record + key_offset;
    const uint64_t second =
        key_length > 8 ? FoldedPrefix(key + 8, key_length - 8, key_length - 8) : 0;
    items.push_back(SortItem{FoldedPrefix(key, key_length, key_length), second, i});
  }
  if (items.empty()) return;
  RadixSort(items.data(), items_->scratch.data(), items.size(), 0, static_cast<int>(key_length),
            digit, less);
  const EntryFormat& format = file_.format();
  IndexFile::RunWriter out(file_);
  // The records are taken in key order, all over the block: the one a few
  // places ahead is fetched while this one is encoded.
  constexpr size_t kAhead = 8;
  const size_t count = items.size();
  for (size_t i = 0; i < count; ++i) {
    if (i + kAhead < count) {
      const char* ahead = base + size_t{items[i + kAhead].index} * length;
      __builtin_prefetch(ahead);
      __builtin_prefetch(ahead + 64);
      __builtin_prefetch(ahead + 128);
    }
    const SortItem& item = items[i];
    out.Commit(format.Encode(base + size_t{item.index} * length, first + item.index, out.Room()));
  }
  file_.runs().push_back(out.Finish());
}

void MergeDownToFanIn(IndexFile& file, size_t fan_in, const IndexProgress& progress) {
  std::vector<IndexRun>& runs = file.runs();
  while (runs.size() > fan_in) {
    const size_t take = std::min(fan_in, runs.size() - fan_in + 1);
    std::stable_sort(runs.begin(), runs.end(),
                     [](const IndexRun& a, const IndexRun& b) { return a.entries < b.entries; });
    std::vector<IndexRun> group(runs.begin(), runs.begin() + static_cast<ptrdiff_t>(take));
    runs.erase(runs.begin(), runs.begin() + static_cast<ptrdiff_t>(take));
    const IndexRun merged = MergeRuns(file, group, progress);
    runs.push_back(merged);
  }
}

}  // namespace toponyx::dbf
