#include "dbf/NameIndex.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

#include "dbf/DbfTable.h"

namespace toponyx::dbf {
namespace {

constexpr char kMagic[8] = {'T', 'P', 'X', 'N', 'D', 'X', '0', '1'};
constexpr size_t kFileHeaderSize = 64;
constexpr size_t kNameBytes = 12;
constexpr size_t kMaxWindowBytes = size_t{256} << 10;
constexpr size_t kMaxMergeWindowBytes = size_t{1} << 20;
constexpr size_t kWriteBufferBytes = size_t{1} << 20;
constexpr size_t kMaxLateRecords = 4096;
constexpr uint64_t kMaxRuns = uint64_t{1} << 20;

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

inline uint64_t Prefix(const char* key, size_t n) {
  uint64_t v = 0;
  std::memcpy(&v, key, n < 8 ? n : 8);
  return __builtin_bswap64(Fold8(v));
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
inline void StoreU32(char* p, uint32_t v) {
  std::memcpy(p, &v, 4);
}
inline void StoreU64(char* p, uint64_t v) {
  std::memcpy(p, &v, 8);
}

struct SortItem {
  uint64_t prefix;
  uint32_t index;
};

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

// One sorted run of the cursor or of a merge: a stretch of the index file
// read through a window, or the sorted late insertions in memory.
struct NameIndex::Source {
  const char* memory = nullptr;
  uint64_t offset = 0;
  uint64_t count = 0;
  uint64_t pos = 0;  // entries at or before the cursor
  std::vector<char> window;
  size_t window_entries = 0;
  uint64_t window_start = 0;
  uint64_t window_count = 0;
};

// Appends to the index file through a buffer.
class NameIndex::Writer {
 public:
  Writer(NameIndex& index, uint64_t offset, size_t capacity)
      : index_(index), offset_(offset), buffer_(capacity) {}
  void Put(const void* data, size_t n) {
    const char* in = static_cast<const char*>(data);
    while (n > 0) {
      if (used_ == buffer_.size()) Flush();
      const size_t take = std::min(n, buffer_.size() - used_);
      std::memcpy(buffer_.data() + used_, in, take);
      used_ += take;
      in += take;
      n -= take;
    }
  }
  void Flush() {
    if (used_ == 0) return;
    if (!index_.file_->WriteAt(offset_, buffer_.data(), used_)) index_.ThrowWrite();
    offset_ += used_;
    used_ = 0;
  }
  uint64_t offset() const { return offset_ + used_; }

 private:
  NameIndex& index_;
  uint64_t offset_;
  std::vector<char> buffer_;
  size_t used_ = 0;
};

NameIndex::NameIndex(platform::FileSystem& fs, std::string path, const Layout& layout,
                     const IndexOptions& options)
    : fs_(fs), path_(std::move(path)), layout_(layout), options_(options) {
  options_.merge_fan_in = std::max<size_t>(options_.merge_fan_in, 2);
  options_.memory_budget = std::max<size_t>(options_.memory_budget, size_t{64} << 10);
  const size_t entry = EntrySize();
  window_bytes_ = std::clamp(options_.memory_budget / (options_.merge_fan_in + 2), entry,
                             std::max(kMaxWindowBytes, entry));
  late_capacity_ = options_.run_records > 0
                       ? options_.run_records
                       : std::clamp<size_t>(options_.memory_budget / 8 / entry, 1, kMaxLateRecords);
  current_copy_.assign(entry, ' ');
  StoreU32(current_copy_.data(), 0);
  current_ = current_copy_.data();
  probe_.resize(entry);
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

uint64_t NameIndex::size() const {
  uint64_t n = late_count_;
  for (const Run& r : runs_) n += r.count;
  return n;
}

uint32_t NameIndex::RecNo() const {
  return LoadU32(current_);
}

NameIndex::Item NameIndex::MakeItem(const char* entry, uint32_t source) const {
  return Item{Prefix(entry + 4 + layout_.key_offset, layout_.key_length), entry, source};
}

bool NameIndex::Less(const Item& a, const Item& b) const {
  if (a.prefix != b.prefix) return a.prefix < b.prefix;
  if (layout_.key_length > 8) {
    const size_t at = 4 + layout_.key_offset + 8;
    const int c = CompareKeys(a.entry + at, b.entry + at, layout_.key_length - 8);
    if (c != 0) return c < 0;
  }
  return LoadU32(a.entry) < LoadU32(b.entry);
}

// ---------------------------------------------------------------- building

std::unique_ptr<NameIndex> NameIndex::Build(platform::FileSystem& fs, const std::string& path,
                                            const Layout& layout, const IndexOptions& options,
                                            RecordSource& source, uint32_t record_count) {
  std::unique_ptr<NameIndex> index(new NameIndex(fs, path, layout, options));
  index->file_ = fs.Open(path, platform::OpenMode::kCreate);
  if (!index->file_) throw TableError("Cannot create file " + path);
  index->file_end_ = kFileHeaderSize;
  index->WriteDirectory();  // an empty, complete index until the runs are in
  index->WriteSortedRuns(source, record_count);
  index->MergeDownToFanIn();
  index->WriteDirectory();
  return index;
}

void NameIndex::WriteSortedRuns(RecordSource& source, uint32_t record_count) {
  if (record_count == 0) return;
  const size_t length = layout_.record_length;
  size_t per_run = options_.run_records;
  if (per_run == 0)
    per_run = std::max<size_t>(1, options_.memory_budget / (length + sizeof(SortItem)));
  per_run = std::min<size_t>(per_run, record_count);

  std::vector<char> block(per_run * length);
  std::vector<SortItem> items;
  items.reserve(per_run);
  const size_t key_offset = layout_.key_offset;
  const size_t key_length = layout_.key_length;
  const char* base = block.data();
  auto less = [base, length, key_offset, key_length](const SortItem& a, const SortItem& b) {
    if (a.prefix != b.prefix) return a.prefix < b.prefix;
    if (key_length > 8) {
      const int c = CompareKeys(base + a.index * length + key_offset + 8,
                                base + b.index * length + key_offset + 8, key_length - 8);
      if (c != 0) return c < 0;
    }
    return a.index < b.index;
  };

  Writer out(*this, file_end_, kWriteBufferBytes);
  for (uint64_t first = 1; first <= record_count; first += per_run) {
    const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(per_run, record_count - first + 1));
    source.ReadRecords(static_cast<uint32_t>(first), n, block.data());
    items.clear();
    for (uint32_t i = 0; i < n; ++i) {
      const char* record = base + size_t{i} * length;
      if (record[0] != ' ') continue;  // deleted: the walk would pass over it anyway
      items.push_back(SortItem{Prefix(record + key_offset, key_length), i});
    }
    if (items.empty()) continue;
    std::sort(items.begin(), items.end(), less);
    const Run run{out.offset(), items.size()};
    char number[4];
    for (const SortItem& item : items) {
      StoreU32(number, static_cast<uint32_t>(first + item.index));
      out.Put(number, 4);
      out.Put(base + size_t{item.index} * length, length);
    }
    runs_.push_back(run);
  }
  out.Flush();
  file_end_ = out.offset();
}

// Merges the shortest runs until at most merge_fan_in are left, so that the
// cursor never needs more windows than that.
void NameIndex::MergeDownToFanIn() {
  const size_t fan_in = options_.merge_fan_in;
  while (runs_.size() > fan_in) {
    const size_t take = std::min(fan_in, runs_.size() - fan_in + 1);
    std::stable_sort(runs_.begin(), runs_.end(),
                     [](const Run& a, const Run& b) { return a.count < b.count; });
    std::vector<Run> group(runs_.begin(), runs_.begin() + static_cast<ptrdiff_t>(take));
    runs_.erase(runs_.begin(), runs_.begin() + static_cast<ptrdiff_t>(take));
    runs_.push_back(MergeRuns(group));
    dirty_ = true;
  }
}

NameIndex::Run NameIndex::MergeRuns(const std::vector<Run>& group) {
  const size_t entry = EntrySize();
  const size_t window = std::clamp(options_.memory_budget / (group.size() + 2), entry,
                                   std::max(kMaxMergeWindowBytes, entry));
  std::vector<Source> sources(group.size());
  std::vector<Item> heap;
  heap.reserve(group.size());
  auto greater = [this](const Item& a, const Item& b) { return Less(b, a); };
  uint64_t total = 0;
  for (size_t i = 0; i < group.size(); ++i) {
    Source& s = sources[i];
    s.offset = group[i].offset;
    s.count = group[i].count;
    s.window_entries = std::max<size_t>(1, window / entry);
    total += s.count;
    if (s.count > 0) heap.push_back(MakeItem(At(s, 0, true), static_cast<uint32_t>(i)));
  }
  std::make_heap(heap.begin(), heap.end(), greater);

  Writer out(*this, file_end_, kWriteBufferBytes);
  const Run merged{out.offset(), total};
  while (!heap.empty()) {
    std::pop_heap(heap.begin(), heap.end(), greater);
    const Item item = heap.back();
    heap.pop_back();
    out.Put(item.entry, entry);
    Source& s = sources[item.source];
    if (++s.pos < s.count) {
      heap.push_back(MakeItem(At(s, s.pos, true), item.source));
      std::push_heap(heap.begin(), heap.end(), greater);
    }
  }
  out.Flush();
  file_end_ = out.offset();
  return merged;
}

void NameIndex::WriteDirectory() {
  Writer out(*this, file_end_, std::max<size_t>(4096, runs_.size() * 16));
  const uint64_t directory = file_end_;
  char pair[16];
  for (const Run& r : runs_) {
    StoreU64(pair, r.offset);
    StoreU64(pair + 8, r.count);
    out.Put(pair, 16);
  }
  out.Flush();
  file_end_ = out.offset();

  char header[kFileHeaderSize] = {};
  std::memcpy(header, kMagic, 8);
  StoreU32(header + 8, layout_.record_length);
  StoreU32(header + 12, layout_.key_offset);
  StoreU32(header + 16, layout_.key_length);
  StoreU32(header + 20, static_cast<uint32_t>(runs_.size()));
  StoreU64(header + 24, directory);
  StoreU32(header + 32, 1);
  std::memcpy(header + 36, layout_.key_name.data(),
              std::min(layout_.key_name.size(), kNameBytes - 1));
  if (!file_->WriteAt(0, header, sizeof header)) ThrowWrite();
  dirty_ = false;
}

// ----------------------------------------------------------------- loading

std::unique_ptr<NameIndex> NameIndex::Load(platform::FileSystem& fs, const std::string& path,
                                           uint32_t record_length, const IndexOptions& options) {
  auto file = fs.Open(path, platform::OpenMode::kReadWrite);
  if (!file) throw TableError("Cannot open file " + path);
  const std::string invalid = "Cannot open file " + path + ": not a valid index file";
  const int64_t size = file->Size();
  char header[kFileHeaderSize];
  if (size < static_cast<int64_t>(kFileHeaderSize) ||
      file->ReadAt(0, header, sizeof header) != static_cast<int64_t>(sizeof header) ||
      std::memcmp(header, kMagic, 8) != 0 || LoadU32(header + 32) != 1) {
    throw TableError(invalid);
  }
  Layout layout;
  layout.record_length = LoadU32(header + 8);
  layout.key_offset = LoadU32(header + 12);
  layout.key_length = LoadU32(header + 16);
  const uint64_t run_count = LoadU32(header + 20);
  const uint64_t directory = LoadU64(header + 24);
  const char* name = header + 36;
  layout.key_name.assign(name, strnlen(name, kNameBytes));
  const uint64_t file_size = static_cast<uint64_t>(size);
  if (layout.record_length != record_length || layout.key_length == 0 || layout.key_offset == 0 ||
      layout.key_offset >= record_length || layout.key_length > record_length - layout.key_offset ||
      run_count > kMaxRuns || directory < kFileHeaderSize || directory > file_size ||
      run_count > (file_size - directory) / 16) {
    throw TableError(invalid);
  }

  std::unique_ptr<NameIndex> index(new NameIndex(fs, path, layout, options));
  index->file_ = std::move(file);
  index->detached_ = true;
  index->file_end_ = file_size;
  std::vector<char> table(run_count * 16);
  if (run_count > 0 && index->file_->ReadAt(directory, table.data(), table.size()) !=
                           static_cast<int64_t>(table.size())) {
    throw TableError(invalid);
  }
  const uint64_t entry = index->EntrySize();
  for (uint64_t i = 0; i < run_count; ++i) {
    const Run r{LoadU64(table.data() + i * 16), LoadU64(table.data() + i * 16 + 8)};
    if (r.offset < kFileHeaderSize || r.offset > directory ||
        r.count > (directory - r.offset) / entry) {
      throw TableError(invalid);
    }
    if (r.count > 0) index->runs_.push_back(r);
  }
  index->MergeDownToFanIn();
  if (index->dirty_) index->WriteDirectory();
  return index;
}

// ------------------------------------------------------- late insertions

void NameIndex::Insert(const char* record, uint32_t recno) {
  if (!seek_pending_ && on_entry_ && sources_valid_) {
    // The sources change: keep the cursor's place as a seek.
    seek_target_.assign(current_, current_ + EntrySize());
    seek_pending_ = true;
  }
  const size_t entry = EntrySize();
  late_.resize((late_count_ + 1) * entry);
  char* p = late_.data() + late_count_ * entry;
  StoreU32(p, recno);
  std::memcpy(p + 4, record, layout_.record_length);
  ++late_count_;
  late_sorted_ = false;
  sources_valid_ = false;
  dirty_ = true;
  if (late_count_ >= late_capacity_) SpillLate();
}

void NameIndex::SortLate() {
  if (late_sorted_) return;
  const size_t entry = EntrySize();
  std::vector<uint32_t> order(late_count_);
  for (uint32_t i = 0; i < late_count_; ++i) order[i] = i;
  const char* base = late_.data();
  std::sort(order.begin(), order.end(), [this, base, entry](uint32_t a, uint32_t b) {
    return Less(MakeItem(base + a * entry, 0), MakeItem(base + b * entry, 0));
  });
  std::vector<char> sorted(late_count_ * entry);
  for (size_t i = 0; i < order.size(); ++i) {
    std::memcpy(sorted.data() + i * entry, base + size_t{order[i]} * entry, entry);
  }
  late_.swap(sorted);
  late_sorted_ = true;
}

void NameIndex::SpillLate() {
  if (late_count_ == 0) return;
  SortLate();
  if (on_entry_ && !seek_pending_) {
    seek_target_.assign(current_, current_ + EntrySize());
    seek_pending_ = true;
  }
  sources_.clear();  // frees the cursor's windows before a merge needs its own
  sources_valid_ = false;
  Writer out(*this, file_end_, kWriteBufferBytes);
  const Run run{out.offset(), late_count_};
  out.Put(late_.data(), late_count_ * EntrySize());
  out.Flush();
  file_end_ = out.offset();
  runs_.push_back(run);
  late_.clear();
  late_.shrink_to_fit();
  late_count_ = 0;
  late_sorted_ = true;
  dirty_ = true;
  MergeDownToFanIn();
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

// ------------------------------------------------------------------ cursor

void NameIndex::ResetSources() {
  SortLate();
  sources_.clear();
  sources_.resize(runs_.size() + (late_count_ > 0 ? 1 : 0));
  const size_t entries = std::max<size_t>(1, window_bytes_ / EntrySize());
  for (size_t i = 0; i < runs_.size(); ++i) {
    sources_[i].offset = runs_[i].offset;
    sources_[i].count = runs_[i].count;
    sources_[i].window_entries = entries;
  }
  if (late_count_ > 0) {
    sources_.back().memory = late_.data();
    sources_.back().count = late_count_;
  }
  sources_valid_ = true;
  heap_.clear();
  direction_ = Direction::kNone;
  refill_ = -1;
}

const char* NameIndex::At(Source& s, uint64_t i, bool forward) {
  const size_t entry = EntrySize();
  if (s.memory) return s.memory + i * entry;
  if (i >= s.window_start && i < s.window_start + s.window_count) {
    return s.window.data() + (i - s.window_start) * entry;
  }
  const uint64_t cap = s.window_entries;
  const uint64_t start = forward ? i : (i + 1 > cap ? i + 1 - cap : 0);
  const uint64_t n = std::min(cap, s.count - start);
  if (s.window.empty()) s.window.resize(cap * entry);
  const size_t bytes = static_cast<size_t>(n * entry);
  const int64_t got = file_->ReadAt(s.offset + start * entry, s.window.data(), bytes);
  if (got < 0) ThrowRead(nullptr);
  if (static_cast<size_t>(got) != bytes) ThrowRead("unexpected end of file");
  s.window_start = start;
  s.window_count = n;
  return s.window.data() + (i - start) * entry;
}

void NameIndex::ReadProbe(const Source& s, uint64_t i, char* out) {
  const size_t entry = EntrySize();
  if (s.memory) {
    std::memcpy(out, s.memory + i * entry, entry);
    return;
  }
  const int64_t got = file_->ReadAt(s.offset + i * entry, out, entry);
  if (got < 0) ThrowRead(nullptr);
  if (static_cast<size_t>(got) != entry) ThrowRead("unexpected end of file");
}

void NameIndex::SetCurrent(const char* entry) {
  std::memcpy(current_copy_.data(), entry, EntrySize());
  current_ = current_copy_.data();
}

void NameIndex::Seek(const char* record, uint32_t recno) {
  seek_target_.resize(EntrySize());
  StoreU32(seek_target_.data(), recno);
  std::memcpy(seek_target_.data() + 4, record, layout_.record_length);
  seek_pending_ = true;
}

void NameIndex::ResolveSeek() {
  if (!sources_valid_) {
    ResetSources();
    for (Source& s : sources_) s.pos = 0;
    on_entry_ = false;
  }
  if (!seek_pending_) return;
  seek_pending_ = false;
  const Item target = MakeItem(seek_target_.data(), 0);
  const uint32_t target_recno = LoadU32(seek_target_.data());
  on_entry_ = false;
  for (Source& s : sources_) {
    uint64_t lo = 0;
    uint64_t hi = s.count;
    while (lo < hi) {  // the first entry after the target
      const uint64_t mid = lo + (hi - lo) / 2;
      ReadProbe(s, mid, probe_.data());
      if (Less(target, MakeItem(probe_.data(), 0))) {
        hi = mid;
      } else {
        lo = mid + 1;
      }
    }
    s.pos = lo;
    if (lo > 0 && !on_entry_) {
      ReadProbe(s, lo - 1, probe_.data());
      if (LoadU32(probe_.data()) == target_recno && !Less(MakeItem(probe_.data(), 0), target)) {
        on_entry_ = true;
        SetCurrent(probe_.data());
      }
    }
  }
  heap_.clear();
  direction_ = Direction::kNone;
  refill_ = -1;
}

void NameIndex::BuildHeap(bool forward) {
  SetCurrent(current_);  // the windows may move under it
  heap_.clear();
  for (size_t i = 0; i < sources_.size(); ++i) {
    Source& s = sources_[i];
    if (forward && s.pos < s.count) {
      heap_.push_back(MakeItem(At(s, s.pos, true), static_cast<uint32_t>(i)));
    } else if (!forward && s.pos > 0) {
      heap_.push_back(MakeItem(At(s, s.pos - 1, false), static_cast<uint32_t>(i)));
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
  if (!sources_valid_) ResetSources();
  for (Source& s : sources_) s.pos = 0;
  on_entry_ = false;
  direction_ = Direction::kNone;
  return Next();
}

bool NameIndex::Last() {
  seek_pending_ = false;
  if (!sources_valid_) ResetSources();
  for (Source& s : sources_) s.pos = s.count;
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
    Source& s = sources_[static_cast<size_t>(refill_)];
    if (s.pos < s.count) {
      heap_.push_back(MakeItem(At(s, s.pos, true), static_cast<uint32_t>(refill_)));
      std::push_heap(heap_.begin(), heap_.end(), greater);
    }
    refill_ = -1;
  }
  if (heap_.empty()) return false;
  std::pop_heap(heap_.begin(), heap_.end(), greater);
  const Item item = heap_.back();
  heap_.pop_back();
  ++sources_[item.source].pos;
  current_ = item.entry;  // stays valid until this source's window moves
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
    --s.pos;
    if (s.pos > 0) {
      heap_.push_back(MakeItem(At(s, s.pos - 1, false), item.source));
      std::push_heap(heap_.begin(), heap_.end(), less);
    }
  }
  if (heap_.empty()) {
    on_entry_ = false;
    return false;
  }
  current_ = heap_.front().entry;
  on_entry_ = true;
  return true;
}

}  // namespace toponyx::dbf
