#include "dbf/NameIndex.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

#include "dbf/DbfTable.h"

namespace toponyx::dbf {
namespace {

constexpr char kMagic[8] = {'T', 'P', 'X', 'N', 'D', 'X', '0', '2'};
constexpr size_t kFileHeaderSize = 64;
constexpr size_t kBlockHeader = 8;
constexpr size_t kNameBytes = 12;
constexpr size_t kDirectoryEntry = 24;
constexpr size_t kMaxLateRecords = 4096;
constexpr uint64_t kMaxRuns = uint64_t{1} << 20;
constexpr uint64_t kMaxBlockBytes = uint64_t{64} << 20;
constexpr uint32_t kEnd = std::numeric_limits<uint32_t>::max();  // the end of a block
// Encoding copies fields in whole chunks, so the buffers it reads and
// writes have this many bytes to spare behind their contents.
constexpr size_t kChunk = 16;

static_assert(std::endian::native == std::endian::little,
              "the key packing below assumes a little-endian machine");

// The ASCII small letters of eight bytes taken as capitals; other bytes,
// those above 127 included, stay as they are.
inline uint64_t Fold8(uint64_t x) {
  constexpr uint64_t kHigh = 0x8080808080808080ULL;
  const uint64_t low7 = x & 0x7F7F7F7F7F7F7F7FULL;
  const uint64_t at_least_a = low7 + 0x1F1F1F1F1F1F1F1FULL;  // high bit: low7 >= 'a'
  const uint64_t above_z = low7 + 0x0505050505050505ULL;     // high bit: low7 > 'z'
  const uint64_t small = at_least_a & ~above_z & ~x & kHigh;
  return x ^ (small >> 2);  // 0x80 >> 2 is the case bit 0x20
}

inline unsigned char FoldByte(unsigned char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 0x20) : c;
}

// Eight bytes, folded, as a number that orders like the bytes.
inline uint64_t LoadFolded(const char* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return __builtin_bswap64(Fold8(v));
}

// The first eight bytes of a key of key_length bytes given as its first
// length bytes (the rest blanks); zero bytes beyond a shorter key.
inline uint64_t Prefix(const char* key, size_t length, size_t key_length) {
  char bytes[8] = {};
  const size_t n = std::min<size_t>(8, key_length);
  std::memset(bytes, ' ', n);
  std::memcpy(bytes, key, std::min(length, n));
  uint64_t v;
  std::memcpy(&v, bytes, 8);
  return __builtin_bswap64(Fold8(v));
}

// Compares two keys given without their trailing blanks, as if both were
// filled with blanks to the same length.
int CompareBlankFilled(const char* a, size_t la, const char* b, size_t lb) {
  const size_t n = std::min(la, lb);
  const int c = CompareKeys(a, b, n);
  if (c != 0) return c;
  const char* longer = la > lb ? a : b;
  const size_t end = std::max(la, lb);
  for (size_t i = n; i < end; ++i) {
    const unsigned char x = FoldByte(static_cast<unsigned char>(longer[i]));
    if (x != ' ') return (x < ' ') == (la > lb) ? -1 : 1;
  }
  return 0;
}

inline uint32_t LoadU32(const char* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
inline uint64_t LoadU64(const char* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}
inline void StoreU32(char* p, uint64_t v) {
  const auto u = static_cast<uint32_t>(v);
  std::memcpy(p, &u, 4);
}
inline void StoreU64(char* p, uint64_t v) {
  std::memcpy(p, &v, 8);
}

// The length of a field without its trailing blanks, eight bytes a step.
inline size_t TrimmedLength(const char* p, size_t n) {
  constexpr uint64_t kBlanks = 0x2020202020202020ULL;
  while (n >= 8) {
    uint64_t word;
    std::memcpy(&word, p + n - 8, 8);
    if (word != kBlanks) {
      const uint64_t other = word ^ kBlanks;  // non-zero bytes are not blanks
      return n - 8 + static_cast<size_t>((63 - __builtin_clzll(other)) / 8) + 1;
    }
    n -= 8;
  }
  while (n > 0 && p[n - 1] == ' ') --n;
  return n;
}

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

}  // namespace

int CompareKeys(const char* a, const char* b, size_t n) {
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const uint64_t x = LoadFolded(a + i);
    const uint64_t y = LoadFolded(b + i);
    if (x != y) return x < y ? -1 : 1;
  }
  for (; i < n; ++i) {
    const unsigned char x = FoldByte(static_cast<unsigned char>(a[i]));
    const unsigned char y = FoldByte(static_cast<unsigned char>(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return 0;
}

// One sorted run as the cursor or a merge reads it: blocks of the index
// file, one loaded at a time, or the late insertions in memory.
struct NameIndex::Source {
  const char* memory = nullptr;
  const uint32_t* memory_offsets = nullptr;
  uint32_t memory_count = 0;
  uint64_t offset = 0;
  uint64_t bytes = 0;
  uint32_t blocks = 0;

  int64_t loaded = -1;
  std::vector<char> data;
  std::vector<uint32_t> offsets;
  const char* base = nullptr;
  const uint32_t* offs = nullptr;
  uint32_t n = 0;

  // The entries before (block, index) are at or before the cursor.
  uint32_t block = 0;
  uint32_t index = 0;
};

// Writes one run, block by block, at the end of the index file.
class NameIndex::BlockWriter {
 public:
  BlockWriter(NameIndex& index, uint64_t offset)
      : index_(index), start_(offset), next_(offset), block_(index.block_bytes_ + kChunk) {}
  // Room for the longest entry in the current block.
  char* Room() {
    if (used_ + index_.max_entry_ > index_.block_bytes_) Flush(true);
    return block_.data() + used_;
  }
  void Commit(size_t n) {
    used_ += n;
    ++count_;
    ++entries_;
  }
  void Add(const char* entry, size_t n) {
    std::memcpy(Room(), entry, n);
    Commit(n);
  }
  Run Finish() {
    Flush(false);
    return Run{start_, entries_, next_ - start_};
  }

 private:
  void Flush(bool full) {
    if (count_ == 0) return;
    StoreU32(block_.data(), used_);
    StoreU32(block_.data() + 4, count_);
    size_t size = used_;
    if (full) {  // every block but a run's last has the full size
      std::memset(block_.data() + used_, 0, index_.block_bytes_ - used_);
      size = index_.block_bytes_;
    }
    if (!index_.file_->WriteAt(next_, block_.data(), size)) index_.ThrowWrite();
    next_ += size;
    used_ = kBlockHeader;
    count_ = 0;
  }

  NameIndex& index_;
  uint64_t start_;
  uint64_t next_;
  std::vector<char> block_;
  size_t used_ = kBlockHeader;
  uint32_t count_ = 0;
  uint64_t entries_ = 0;
};

NameIndex::NameIndex(platform::FileSystem& fs, std::string path, const Layout& layout,
                     const IndexOptions& options)
    : fs_(fs), path_(std::move(path)), layout_(layout), options_(options) {
  options_.merge_fan_in = std::max<size_t>(options_.merge_fan_in, 2);
  options_.memory_budget = std::max<size_t>(options_.memory_budget, size_t{64} << 10);
  uint32_t offset = 1;
  for (uint32_t length : layout_.field_lengths) {
    field_offsets_.push_back(offset);
    offset += length;
  }
  layout_.key_offset = field_offsets_[layout_.key_field];
  layout_.key_length = layout_.field_lengths[layout_.key_field];
  entry_fields_.push_back(layout_.key_field);
  for (uint32_t f = 0; f < layout_.field_lengths.size(); ++f) {
    if (f != layout_.key_field) entry_fields_.push_back(f);
  }
  entry_place_.resize(entry_fields_.size());
  for (uint32_t i = 0; i < entry_fields_.size(); ++i) entry_place_[entry_fields_[i]] = i;
  max_entry_ = 4 + layout_.field_lengths.size() + (offset - 1);
  block_bytes_ = std::max(options_.block_bytes, kBlockHeader + max_entry_);
  data_start_ = kFileHeaderSize + layout_.field_lengths.size();
  late_capacity_ =
      options_.run_records > 0
          ? options_.run_records
          : std::clamp<size_t>(options_.memory_budget / 8 / max_entry_, 1, kMaxLateRecords);
  current_copy_.assign(max_entry_, '\0');  // record 0 with empty fields
  current_ = current_copy_.data();
  record_.assign(layout_.record_length, ' ');
  probe_.resize(kBlockHeader + max_entry_);
}

NameIndex::~NameIndex() {
  if (file_) file_->Close();
}

void NameIndex::ThrowWrite() const {
  throw TableError("Cannot write file " + path_ + ": " + fs_.LastError());
}

void NameIndex::ThrowRead(const char* why) const {
  throw TableError("Cannot read file " + path_ + ": " + (why ? std::string(why) : fs_.LastError()));
}

void NameIndex::ThrowDamaged() const {
  throw TableError("Cannot read file " + path_ + ": the index file is damaged");
}

uint64_t NameIndex::size() const {
  uint64_t n = late_offsets_.size();
  for (const Run& r : runs_) n += r.entries;
  return n;
}

// ----------------------------------------------------------------- entries

// The record may be read, and out written, up to kChunk bytes past their
// ends.
size_t NameIndex::Encode(const char* record, uint32_t recno, char* out) const {
  StoreU32(out, recno);
  size_t p = 4;
  for (uint32_t f : entry_fields_) {
    const char* field = record + field_offsets_[f];
    const size_t length = TrimmedLength(field, layout_.field_lengths[f]);
    out[p++] = static_cast<char>(length);
    for (size_t i = 0; i < length; i += kChunk) std::memcpy(out + p + i, field + i, kChunk);
    p += length;
  }
  return p;
}

// Encode for a record without spare bytes behind it.
size_t NameIndex::EncodeCopy(const char* record, uint32_t recno, char* out) {
  padded_.resize(layout_.record_length + kChunk);
  std::memcpy(padded_.data(), record, layout_.record_length);
  return Encode(padded_.data(), recno, out);
}

void NameIndex::Decode(const char* entry, char* record) const {
  record[0] = ' ';
  size_t p = 4;
  for (uint32_t f : entry_fields_) {
    const size_t length = static_cast<unsigned char>(entry[p++]);
    char* field = record + field_offsets_[f];
    std::memcpy(field, entry + p, length);
    std::memset(field + length, ' ', layout_.field_lengths[f] - length);
    p += length;
  }
}

const char* NameIndex::FieldInEntry(const char* entry, uint32_t field, size_t& length) const {
  size_t p = 4;
  for (uint32_t i = entry_place_[field]; i > 0; --i) p += 1 + static_cast<unsigned char>(entry[p]);
  length = static_cast<unsigned char>(entry[p]);
  return entry + p + 1;
}

size_t NameIndex::EntryLength(const char* entry) const {
  size_t p = 4;
  for (size_t i = 0; i < entry_fields_.size(); ++i) p += 1 + static_cast<unsigned char>(entry[p]);
  return p;
}

NameIndex::Item NameIndex::MakeItem(const char* entry, uint32_t source) const {
  const size_t length = static_cast<unsigned char>(entry[4]);
  const size_t key_length = layout_.key_length;
  const uint64_t second =
      key_length > 8 ? Prefix(entry + 13, length > 8 ? length - 8 : 0, key_length - 8) : 0;
  return Item{Prefix(entry + 5, length, key_length), second, entry, LoadU32(entry), source};
}

bool NameIndex::Less(const Item& a, const Item& b) const {
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

bool NameIndex::SameEntry(const Item& a, const Item& b) const {
  return a.recno == b.recno && !Less(a, b) && !Less(b, a);
}

// ---------------------------------------------------------------- building

std::unique_ptr<NameIndex> NameIndex::Build(platform::FileSystem& fs, const std::string& path,
                                            const Layout& layout, const IndexOptions& options,
                                            RecordSource& source, uint32_t record_count,
                                            const IndexProgress& progress) {
  std::unique_ptr<NameIndex> index(new NameIndex(fs, path, layout, options));
  index->file_ = fs.Open(path, platform::OpenMode::kCreate);
  if (!index->file_) throw TableError("Cannot create file " + path);
  index->file_end_ = index->data_start_;
  index->WriteDirectory();  // an empty, complete index until the runs are in
  index->WriteSortedRuns(source, record_count, progress);
  index->MergeDownToFanIn(progress);
  index->WriteDirectory();
  return index;
}

void NameIndex::WriteSortedRuns(RecordSource& source, uint32_t record_count,
                                const IndexProgress& progress) {
  if (record_count == 0) return;
  const size_t length = layout_.record_length;
  size_t per_run = options_.run_records;
  if (per_run == 0) {  // the block writer takes its share of the budget
    const size_t budget = options_.memory_budget > 2 * block_bytes_
                              ? options_.memory_budget - block_bytes_
                              : options_.memory_budget / 2;
    per_run = std::max<size_t>(1, budget / (length + 2 * sizeof(SortItem)));
  }
  per_run = std::min<size_t>(per_run, record_count);

  std::vector<char> block(per_run * length + kChunk);
  std::vector<SortItem> items;
  items.reserve(per_run);
  std::vector<SortItem> scratch(per_run);
  const size_t key_offset = layout_.key_offset;
  const size_t key_length = layout_.key_length;
  const char* base = block.data();
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

  for (uint64_t first = 1; first <= record_count; first += per_run) {
    const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(per_run, record_count - first + 1));
    source.ReadRecords(static_cast<uint32_t>(first), n, block.data());
    items.clear();
    for (uint32_t i = 0; i < n; ++i) {
      const char* record = base + size_t{i} * length;
      if (record[0] != ' ') continue;  // deleted: the walk would pass over it anyway
      const char* key = record + key_offset;
      const uint64_t second = key_length > 8 ? Prefix(key + 8, key_length - 8, key_length - 8) : 0;
      items.push_back(SortItem{Prefix(key, key_length, key_length), second, i});
    }
    if (items.empty()) continue;
    RadixSort(items.data(), scratch.data(), items.size(), 0, static_cast<int>(key_length), digit,
              less);
    BlockWriter out(*this, file_end_);
    for (const SortItem& item : items) {
      out.Commit(Encode(base + size_t{item.index} * length,
                        static_cast<uint32_t>(first + item.index), out.Room()));
    }
    const Run run = out.Finish();
    file_end_ += run.bytes;
    runs_.push_back(run);
    if (progress) progress(first + n - 1, record_count);
  }
}

// Merges the shortest runs until at most merge_fan_in are left, so that the
// cursor never needs more blocks in memory than that.
void NameIndex::MergeDownToFanIn(const IndexProgress& progress) {
  const size_t fan_in = options_.merge_fan_in;
  while (runs_.size() > fan_in) {
    const size_t take = std::min(fan_in, runs_.size() - fan_in + 1);
    std::stable_sort(runs_.begin(), runs_.end(),
                     [](const Run& a, const Run& b) { return a.entries < b.entries; });
    std::vector<Run> group(runs_.begin(), runs_.begin() + static_cast<ptrdiff_t>(take));
    runs_.erase(runs_.begin(), runs_.begin() + static_cast<ptrdiff_t>(take));
    runs_.push_back(MergeRuns(group, progress));
    dirty_ = true;
  }
}

NameIndex::Run NameIndex::MergeRuns(const std::vector<Run>& group, const IndexProgress& progress) {
  std::vector<Source> sources;
  sources.reserve(group.size());
  std::vector<Item> heap;
  heap.reserve(group.size());
  auto greater = [this](const Item& a, const Item& b) { return Less(b, a); };
  for (size_t i = 0; i < group.size(); ++i) {
    sources.push_back(DiskSource(group[i]));
    if (const char* head = Head(sources.back())) {
      heap.push_back(MakeItem(head, static_cast<uint32_t>(i)));
    }
  }
  std::make_heap(heap.begin(), heap.end(), greater);

  BlockWriter out(*this, file_end_);
  uint64_t taken = 0;
  while (!heap.empty()) {
    std::pop_heap(heap.begin(), heap.end(), greater);
    const Item item = heap.back();
    heap.pop_back();
    out.Add(item.entry, EntryLength(item.entry));
    if ((++taken & 0xFFFF) == 0 && progress) progress(0, 0);
    Source& s = sources[item.source];
    ++s.index;
    if (const char* head = Head(s)) {
      heap.push_back(MakeItem(head, item.source));
      std::push_heap(heap.begin(), heap.end(), greater);
    }
  }
  const Run merged = out.Finish();
  file_end_ += merged.bytes;
  return merged;
}

void NameIndex::WriteHeaderAndFields(bool complete, uint64_t directory) {
  std::vector<char> header(data_start_, '\0');
  std::memcpy(header.data(), kMagic, 8);
  StoreU32(&header[8], layout_.record_length);
  StoreU32(&header[12], layout_.key_offset);
  StoreU32(&header[16], layout_.key_length);
  StoreU32(&header[20], runs_.size());
  StoreU64(&header[24], directory);
  StoreU32(&header[32], complete ? 1 : 0);
  std::memcpy(&header[36], layout_.key_name.data(),
              std::min(layout_.key_name.size(), kNameBytes - 1));
  StoreU32(&header[48], block_bytes_);
  StoreU32(&header[52], layout_.field_lengths.size());
  StoreU32(&header[56], layout_.key_field);
  for (size_t f = 0; f < layout_.field_lengths.size(); ++f) {
    header[kFileHeaderSize + f] = static_cast<char>(layout_.field_lengths[f]);
  }
  if (!file_->WriteAt(0, header.data(), header.size())) ThrowWrite();
}

// The directory goes after the last run; the old one stays where it was
// until the header points to the new one.
void NameIndex::WriteDirectory() {
  std::vector<char> table(runs_.size() * kDirectoryEntry);
  for (size_t i = 0; i < runs_.size(); ++i) {
    StoreU64(&table[i * kDirectoryEntry], runs_[i].offset);
    StoreU64(&table[i * kDirectoryEntry + 8], runs_[i].entries);
    StoreU64(&table[i * kDirectoryEntry + 16], runs_[i].bytes);
  }
  const uint64_t directory = file_end_;
  if (!table.empty() && !file_->WriteAt(directory, table.data(), table.size())) ThrowWrite();
  file_end_ += table.size();
  WriteHeaderAndFields(true, directory);
  dirty_ = false;
}

// ----------------------------------------------------------------- loading

std::unique_ptr<NameIndex> NameIndex::Load(platform::FileSystem& fs, const std::string& path,
                                           const std::vector<uint32_t>& field_lengths,
                                           const IndexOptions& options) {
  auto file = fs.Open(path, platform::OpenMode::kReadWrite);
  if (!file) throw TableError("Cannot open file " + path);
  const TableError invalid("Cannot open file " + path + ": not a valid index file");
  const TableError foreign("Cannot open file " + path +
                           ": the index does not belong to this table");
  const int64_t size = file->Size();
  char header[kFileHeaderSize];
  if (size < static_cast<int64_t>(kFileHeaderSize) ||
      file->ReadAt(0, header, sizeof header) != static_cast<int64_t>(sizeof header) ||
      std::memcmp(header, kMagic, 8) != 0 || LoadU32(header + 32) != 1) {
    throw invalid;
  }
  const uint64_t file_size = static_cast<uint64_t>(size);
  const uint32_t field_count = LoadU32(header + 52);
  if (field_count != field_lengths.size()) throw foreign;
  std::vector<char> lengths(field_count);
  if (file->ReadAt(kFileHeaderSize, lengths.data(), lengths.size()) !=
      static_cast<int64_t>(lengths.size())) {
    throw invalid;
  }
  uint64_t record_length = 1;
  for (uint32_t f = 0; f < field_count; ++f) {
    if (static_cast<unsigned char>(lengths[f]) != field_lengths[f]) throw foreign;
    record_length += field_lengths[f];
  }
  Layout layout;
  layout.record_length = LoadU32(header + 8);
  layout.field_lengths = field_lengths;
  layout.key_field = LoadU32(header + 56);
  const char* name = header + 36;
  layout.key_name.assign(name, strnlen(name, kNameBytes));
  if (layout.record_length != record_length || layout.key_field >= field_count) throw foreign;

  std::unique_ptr<NameIndex> index(new NameIndex(fs, path, layout, options));
  const uint64_t run_count = LoadU32(header + 20);
  const uint64_t directory = LoadU64(header + 24);
  const uint64_t block_bytes = LoadU32(header + 48);
  if (LoadU32(header + 12) != index->layout_.key_offset ||
      LoadU32(header + 16) != index->layout_.key_length) {
    throw foreign;
  }
  if (block_bytes < kBlockHeader + index->max_entry_ || block_bytes > kMaxBlockBytes ||
      run_count > kMaxRuns || directory < index->data_start_ || directory > file_size ||
      run_count > (file_size - directory) / kDirectoryEntry) {
    throw invalid;
  }
  index->block_bytes_ = static_cast<size_t>(block_bytes);
  index->file_ = std::move(file);
  index->detached_ = true;
  index->file_end_ = file_size;
  std::vector<char> table(run_count * kDirectoryEntry);
  if (run_count > 0 && index->file_->ReadAt(directory, table.data(), table.size()) !=
                           static_cast<int64_t>(table.size())) {
    throw invalid;
  }
  const uint64_t smallest_entry = 4 + field_count;
  for (uint64_t i = 0; i < run_count; ++i) {
    const char* d = &table[i * kDirectoryEntry];
    const Run r{LoadU64(d), LoadU64(d + 8), LoadU64(d + 16)};
    if (r.offset < index->data_start_ || r.offset > directory || r.bytes > directory - r.offset ||
        r.entries == 0 || r.entries > r.bytes / smallest_entry ||
        (r.bytes + block_bytes - 1) / block_bytes > kEnd) {
      throw invalid;
    }
    index->runs_.push_back(r);
  }
  index->MergeDownToFanIn({});
  if (index->dirty_) index->WriteDirectory();
  return index;
}

// ------------------------------------------------------- late insertions

void NameIndex::Insert(const char* record, uint32_t recno) {
  SetCurrent(current_);  // it may lie among the late entries, which move
  if (!seek_pending_ && on_entry_ && sources_valid_) {
    // The sources change: keep the cursor's place as a seek.
    seek_target_.assign(current_, current_ + EntryLength(current_));
    seek_pending_ = true;
  }
  const size_t at = late_.size();
  late_.resize(at + max_entry_ + kChunk);
  late_.resize(at + EncodeCopy(record, recno, late_.data() + at));
  late_offsets_.push_back(static_cast<uint32_t>(at));
  late_sorted_ = false;
  sources_valid_ = false;
  dirty_ = true;
  if (late_offsets_.size() >= late_capacity_) SpillLate();
}

void NameIndex::SortLate() {
  if (late_sorted_) return;
  const char* base = late_.data();
  std::sort(late_offsets_.begin(), late_offsets_.end(), [this, base](uint32_t a, uint32_t b) {
    return Less(MakeItem(base + a, 0), MakeItem(base + b, 0));
  });
  late_sorted_ = true;
}

void NameIndex::SpillLate() {
  if (late_offsets_.empty()) return;
  SortLate();
  SetCurrent(current_);
  if (on_entry_ && !seek_pending_ && sources_valid_) {
    seek_target_.assign(current_, current_ + EntryLength(current_));
    seek_pending_ = true;
  }
  sources_.clear();  // frees the cursor's blocks before a merge needs its own
  sources_valid_ = false;
  BlockWriter out(*this, file_end_);
  for (uint32_t at : late_offsets_) out.Add(late_.data() + at, EntryLength(late_.data() + at));
  const Run run = out.Finish();
  file_end_ += run.bytes;
  runs_.push_back(run);
  late_.clear();
  late_.shrink_to_fit();
  late_offsets_.clear();
  late_offsets_.shrink_to_fit();
  late_sorted_ = true;
  dirty_ = true;
  MergeDownToFanIn({});
}

void NameIndex::MarkDeleted(uint32_t recno) {
  auto it = std::lower_bound(deleted_.begin(), deleted_.end(), recno);
  if (it == deleted_.end() || *it != recno) deleted_.insert(it, recno);
}

bool NameIndex::WasDeleted(uint32_t recno) const {
  return !deleted_.empty() && std::binary_search(deleted_.begin(), deleted_.end(), recno);
}

void NameIndex::Close() {
  if (!file_) return;
  std::string error;
  try {
    SpillLate();
    if (dirty_) WriteDirectory();
  } catch (const TableError& e) {
    error = e.what();
  }
  const bool closed = file_->Close();
  if (error.empty() && !closed) error = "Cannot write file " + path_ + ": " + fs_.LastError();
  file_.reset();
  sources_.clear();
  heap_.clear();
  sources_valid_ = false;
  if (!error.empty()) throw TableError(error);
}

// ------------------------------------------------------ sources and blocks

NameIndex::Source NameIndex::DiskSource(const Run& run) const {
  Source s;
  s.offset = run.offset;
  s.bytes = run.bytes;
  s.blocks = static_cast<uint32_t>((run.bytes + block_bytes_ - 1) / block_bytes_);
  return s;
}

void NameIndex::Load(Source& s, uint32_t block) {
  if (s.memory) {
    s.base = s.memory;
    s.offs = s.memory_offsets;
    s.n = s.memory_count;
    s.loaded = 0;
    return;
  }
  const uint64_t start = uint64_t{block} * block_bytes_;
  const size_t bytes = static_cast<size_t>(std::min<uint64_t>(block_bytes_, s.bytes - start));
  if (s.data.size() < block_bytes_) s.data.resize(block_bytes_);
  s.loaded = -1;
  const int64_t got = file_->ReadAt(s.offset + start, s.data.data(), bytes);
  if (got < 0) ThrowRead(nullptr);
  if (static_cast<size_t>(got) != bytes) ThrowRead("unexpected end of file");
  ParseBlock(s, bytes);
  s.loaded = block;
}

// Every length in a block is checked before it is used.
void NameIndex::ParseBlock(Source& s, size_t bytes) {
  const char* data = s.data.data();
  if (bytes < kBlockHeader) ThrowDamaged();
  const size_t used = LoadU32(data);
  const uint32_t count = LoadU32(data + 4);
  const size_t fields = entry_fields_.size();
  if (used < kBlockHeader || used > bytes || count == 0 ||
      count > (used - kBlockHeader) / (4 + fields)) {
    ThrowDamaged();
  }
  s.offsets.clear();
  size_t p = kBlockHeader;
  for (uint32_t c = 0; c < count; ++c) {
    if (used - p < 4 + fields) ThrowDamaged();
    s.offsets.push_back(static_cast<uint32_t>(p));
    p += 4;
    for (uint32_t f : entry_fields_) {
      if (p >= used) ThrowDamaged();
      const size_t length = static_cast<unsigned char>(data[p]);
      if (length > layout_.field_lengths[f] || length >= used - p) ThrowDamaged();
      p += 1 + length;
    }
  }
  if (p != used) ThrowDamaged();
  s.base = data;
  s.offs = s.offsets.data();
  s.n = count;
}

const char* NameIndex::Head(Source& s) {
  for (;;) {
    if (s.loaded != static_cast<int64_t>(s.block)) Load(s, s.block);
    if (s.index == kEnd) s.index = s.n;
    if (s.index < s.n) return s.base + s.offs[s.index];
    if (s.block + 1 >= s.blocks) return nullptr;
    ++s.block;
    s.index = 0;
  }
}

const char* NameIndex::Tail(Source& s) {
  for (;;) {
    if (s.loaded != static_cast<int64_t>(s.block)) Load(s, s.block);
    if (s.index == kEnd) s.index = s.n;
    if (s.index > 0) return s.base + s.offs[s.index - 1];
    if (s.block == 0) return nullptr;
    --s.block;
    s.index = kEnd;
  }
}

// Places s just after the target: on the first entry greater than it.
void NameIndex::SeekSource(Source& s, const Item& target) {
  uint32_t block = 0;
  if (!s.memory) {
    // The blocks whose first entry is at or before the target.
    uint32_t lo = 0;
    uint32_t hi = s.blocks;
    while (lo < hi) {
      const uint32_t mid = lo + (hi - lo) / 2;
      const uint64_t start = uint64_t{mid} * block_bytes_;
      const size_t want = static_cast<size_t>(std::min<uint64_t>(probe_.size(), s.bytes - start));
      const int64_t got = file_->ReadAt(s.offset + start, probe_.data(), want);
      if (got < 0) ThrowRead(nullptr);
      if (static_cast<size_t>(got) != want) ThrowRead("unexpected end of file");
      // The first entry must lie within what was read.
      size_t p = kBlockHeader + 4;
      for (size_t f = 0; f < entry_fields_.size(); ++f) {
        if (p >= want) ThrowDamaged();
        p += 1 + static_cast<unsigned char>(probe_[p]);
      }
      if (p > want) ThrowDamaged();
      if (Less(target, MakeItem(probe_.data() + kBlockHeader, 0))) {
        hi = mid;
      } else {
        lo = mid + 1;
      }
    }
    if (lo == 0) {
      s.block = 0;
      s.index = 0;
      return;
    }
    block = lo - 1;
  }
  Load(s, block);
  uint32_t lo = 0;
  uint32_t hi = s.n;
  while (lo < hi) {
    const uint32_t mid = lo + (hi - lo) / 2;
    if (Less(target, MakeItem(s.base + s.offs[mid], 0))) {
      hi = mid;
    } else {
      lo = mid + 1;
    }
  }
  s.block = block;
  s.index = lo;
}

// ------------------------------------------------------------------ cursor

void NameIndex::ResetSources() {
  SortLate();
  sources_.clear();
  sources_.reserve(runs_.size() + 1);
  for (const Run& r : runs_) sources_.push_back(DiskSource(r));
  if (!late_offsets_.empty()) {
    Source s;
    s.memory = late_.data();
    s.memory_offsets = late_offsets_.data();
    s.memory_count = static_cast<uint32_t>(late_offsets_.size());
    s.blocks = 1;
    sources_.push_back(std::move(s));
  }
  sources_valid_ = true;
  heap_.clear();
  direction_ = Direction::kNone;
  refill_ = -1;
}

void NameIndex::SetCurrent(const char* entry) {
  if (entry != current_copy_.data()) {
    std::memcpy(current_copy_.data(), entry, EntryLength(entry));
  }
  current_ = current_copy_.data();
}

const char* NameIndex::Record() {
  if (!record_valid_) {
    Decode(current_, record_.data());
    record_valid_ = true;
  }
  return record_.data();
}

void NameIndex::Seek(const char* record, uint32_t recno) {
  seek_target_.resize(max_entry_ + kChunk);
  seek_target_.resize(EncodeCopy(record, recno, seek_target_.data()));
  seek_pending_ = true;
}

void NameIndex::ResolveSeek() {
  if (!sources_valid_) {
    SetCurrent(current_);
    ResetSources();
    on_entry_ = false;
  }
  if (!seek_pending_) return;
  seek_pending_ = false;
  SetCurrent(current_);  // the sources' blocks are about to move
  const Item target = MakeItem(seek_target_.data(), 0);
  on_entry_ = false;
  for (Source& s : sources_) {
    SeekSource(s, target);
    if (on_entry_) continue;
    if (const char* before = Tail(s); before && SameEntry(MakeItem(before, 0), target)) {
      on_entry_ = true;
      SetCurrent(before);
      current_recno_ = target.recno;
      record_valid_ = false;
    }
  }
  heap_.clear();
  direction_ = Direction::kNone;
  refill_ = -1;
}

void NameIndex::BuildHeap(bool forward) {
  SetCurrent(current_);  // the blocks may move under it
  heap_.clear();
  for (size_t i = 0; i < sources_.size(); ++i) {
    Source& s = sources_[i];
    if (const char* e = forward ? Head(s) : Tail(s)) {
      heap_.push_back(MakeItem(e, static_cast<uint32_t>(i)));
    }
  }
  if (forward) {
    std::make_heap(heap_.begin(), heap_.end(),
                   [this](const Item& a, const Item& b) { return Less(b, a); });
  } else {
    std::make_heap(heap_.begin(), heap_.end(),
                   [this](const Item& a, const Item& b) { return Less(a, b); });
  }
  refill_ = -1;
}

bool NameIndex::First() {
  seek_pending_ = false;
  if (!sources_valid_) {
    SetCurrent(current_);
    ResetSources();
  }
  for (Source& s : sources_) {
    s.block = 0;
    s.index = 0;
  }
  on_entry_ = false;
  direction_ = Direction::kNone;
  return Next();
}

bool NameIndex::Last() {
  seek_pending_ = false;
  if (!sources_valid_) {
    SetCurrent(current_);
    ResetSources();
  }
  for (Source& s : sources_) {
    s.block = s.blocks - 1;
    s.index = kEnd;
  }
  on_entry_ = false;
  direction_ = Direction::kNone;
  return Prior();
}

bool NameIndex::Next() {
  if (!file_) return false;
  ResolveSeek();
  auto greater = [this](const Item& a, const Item& b) { return Less(b, a); };
  if (direction_ != Direction::kForward) {
    BuildHeap(true);
    direction_ = Direction::kForward;
  } else if (refill_ >= 0) {
    const auto r = static_cast<uint32_t>(refill_);
    refill_ = -1;
    if (const char* head = Head(sources_[r])) {
      heap_.push_back(MakeItem(head, r));
      std::push_heap(heap_.begin(), heap_.end(), greater);
    }
  }
  if (heap_.empty()) return false;
  std::pop_heap(heap_.begin(), heap_.end(), greater);
  const Item item = heap_.back();
  heap_.pop_back();
  ++sources_[item.source].index;
  current_ = item.entry;  // stays valid until this source loads another block
  current_recno_ = item.recno;
  record_valid_ = false;
  refill_ = static_cast<int>(item.source);
  on_entry_ = true;
  return true;
}

bool NameIndex::Prior() {
  if (!file_) return false;
  ResolveSeek();
  auto less = [this](const Item& a, const Item& b) { return Less(a, b); };
  if (direction_ != Direction::kBackward) {
    BuildHeap(false);
    direction_ = Direction::kBackward;
  }
  if (on_entry_ && !heap_.empty()) {
    // The current entry is the greatest at or before the cursor: step off it.
    std::pop_heap(heap_.begin(), heap_.end(), less);
    const Item item = heap_.back();
    heap_.pop_back();
    SetCurrent(item.entry);
    Source& s = sources_[item.source];
    --s.index;
    if (const char* tail = Tail(s)) {
      heap_.push_back(MakeItem(tail, item.source));
      std::push_heap(heap_.begin(), heap_.end(), less);
    }
  }
  if (heap_.empty()) {
    on_entry_ = false;
    return false;
  }
  current_ = heap_.front().entry;
  current_recno_ = heap_.front().recno;
  record_valid_ = false;
  on_entry_ = true;
  return true;
}

}  // namespace toponyx::dbf
