// The name index as its table uses it: the merge cursor over the runs,
// late insertions and deletions, build, load and close (see NameIndex.h).
#include "dbf/NameIndex.h"

#include <algorithm>
#include <cstring>
#include "platform/Check.h"

#include "dbf/TableError.h"
#include "platform/Check.h"

namespace toponyx::dbf {
namespace {

constexpr size_t kMaxLateRecords = 4096;

}  // namespace

NameIndex::NameIndex(IndexFile file, const IndexOptions& options, bool detached)
    : file_(std::move(file)), format_(file_.format()), options_(options), detached_(detached) {
  const size_t max_entry = format_.max_entry();
  late_capacity_ =
      options_.run_records > 0
          ? options_.run_records
          : std::clamp<size_t>(options_.memory_budget / 8 / max_entry, 1, kMaxLateRecords);
  current_copy_.assign(max_entry, '\0');  // record 0 with empty fields
  current_ = current_copy_.data();
  record_.assign(format_.layout().record_length, ' ');
}

NameIndex::~NameIndex() = default;  // the file closes with file_

uint64_t NameIndex::size() const {
  uint64_t n = late_offsets_.size();
  for (const IndexRun& r : file_.runs()) n += r.entries;
  return n;
}

// --------------------------------------------------------- build and load

std::unique_ptr<NameIndex> NameIndex::Build(platform::FileSystem& fs, const std::string& path,
                                            const IndexLayout& layout, const IndexOptions& options,
                                            RecordSource& source, uint32_t record_count,
                                            const IndexProgress& progress) {
  const IndexOptions effective = EffectiveOptions(options);
  IndexFile file = IndexFile::Create(fs, path, layout, effective.block_bytes);
  WriteSortedRuns(file, source, record_count, effective, progress);
  MergeDownToFanIn(file, effective.merge_fan_in, progress);
  file.WriteDirectory();
  return std::unique_ptr<NameIndex>(new NameIndex(std::move(file), effective, false));
}

std::unique_ptr<NameIndex> NameIndex::FromFile(IndexFile file, const IndexOptions& options) {
  return std::unique_ptr<NameIndex>(new NameIndex(std::move(file), options, false));
}

std::unique_ptr<NameIndex> NameIndex::Load(platform::FileSystem& fs, const std::string& path,
                                           const std::vector<uint32_t>& field_lengths,
                                           const IndexOptions& options) {
  const IndexOptions effective = EffectiveOptions(options);
  IndexFile file = IndexFile::Open(fs, path, field_lengths);
  MergeDownToFanIn(file, effective.merge_fan_in, {});
  if (file.directory_outdated()) file.WriteDirectory();
  return std::unique_ptr<NameIndex>(new NameIndex(std::move(file), effective, true));
}

// ------------------------------------------------------- late insertions

// Encode for a record without spare bytes behind it.
size_t NameIndex::EncodeCopy(const char* record, uint32_t recno, char* out) {
  const size_t length = format_.layout().record_length;
  padded_.resize(length + EntryFormat::kChunk);
  std::memcpy(padded_.data(), record, length);
  return format_.Encode(padded_.data(), recno, out);
}

// The runs are about to change under the cursor: its place is kept as a
// seek to the current entry.
void NameIndex::KeepPlaceAsSeek() {
  if (!seek_pending_ && on_entry_ && sources_valid_) {
    seek_target_.assign(current_, current_ + format_.EntryLength(current_));
    seek_pending_ = true;
  }
}

void NameIndex::Insert(const char* record, uint32_t recno) {
  SetCurrent(current_);  // it may lie among the late entries, which move
  KeepPlaceAsSeek();
  const size_t at = late_.size();
  late_.resize(at + format_.max_entry() + EntryFormat::kChunk);
  late_.resize(at + EncodeCopy(record, recno, late_.data() + at));
  late_offsets_.push_back(static_cast<uint32_t>(at));
  late_sorted_ = false;
  sources_valid_ = false;
  file_.MarkDirectoryOutdated();
  if (late_offsets_.size() >= late_capacity_) SpillLate();
}

void NameIndex::SortLate() {
  if (late_sorted_) return;
  const char* base = late_.data();
  std::sort(late_offsets_.begin(), late_offsets_.end(), [this, base](uint32_t a, uint32_t b) {
    return format_.Less(format_.MakeItem(base + a, 0), format_.MakeItem(base + b, 0));
  });
  late_sorted_ = true;
}

// The late insertions become a run of their own.
void NameIndex::SpillLate() {
  if (late_offsets_.empty()) return;
  SortLate();
  SetCurrent(current_);
  KeepPlaceAsSeek();
  sources_.clear();  // frees the cursor's blocks before a merge needs its own
  sources_valid_ = false;
  IndexFile::RunWriter out(file_);
  for (uint32_t at : late_offsets_) {
    out.Add(late_.data() + at, format_.EntryLength(late_.data() + at));
  }
  file_.runs().push_back(out.Finish());
  late_.clear();
  late_.shrink_to_fit();
  late_offsets_.clear();
  late_offsets_.shrink_to_fit();
  late_sorted_ = true;
  file_.MarkDirectoryOutdated();
  MergeDownToFanIn(file_, options_.merge_fan_in, {});
}

void NameIndex::MarkDeleted(uint32_t recno) {
  auto it = std::lower_bound(deleted_.begin(), deleted_.end(), recno);
  if (it == deleted_.end() || *it != recno) deleted_.insert(it, recno);
}

bool NameIndex::WasDeleted(uint32_t recno) const {
  return !deleted_.empty() && std::binary_search(deleted_.begin(), deleted_.end(), recno);
}

void NameIndex::Close() {
  if (!file_.IsOpen()) return;
  std::string error;
  try {
    SpillLate();
    if (file_.directory_outdated()) file_.WriteDirectory();
  } catch (const TableError& e) {
    error = e.what();
  }
  const std::string close_error = file_.Release();
  if (error.empty()) error = close_error;
  sources_.clear();
  heap_.clear();
  sources_valid_ = false;
  if (!error.empty()) throw TableError(error);
}

// ------------------------------------------------------------------ cursor

// What holds between two moves of the cursor: its sources are the runs of
// the file (and the posted records, when there are any); a walk in one
// direction keeps a heap of the sources' next entries in that direction,
// the source whose entry it took last waiting to be pushed again; a
// decoded record and a pending seek belong to the entry they were made for.
void NameIndex::CheckCursor() const {
  TOPONYX_ASSERT(!sources_valid_ ||
                 sources_.size() == file_.runs().size() + (late_offsets_.empty() ? 0 : 1));
  TOPONYX_ASSERT(refill_ >= -1 && (refill_ < 0 || static_cast<size_t>(refill_) < sources_.size()));
  TOPONYX_ASSERT(refill_ < 0 || direction_ == Direction::kForward);
  TOPONYX_ASSERT(direction_ != Direction::kNone || heap_.empty());
  TOPONYX_ASSERT(!on_entry_ || current_ != nullptr);
  TOPONYX_ASSERT(!record_valid_ || on_entry_);
  TOPONYX_ASSERT(heap_.size() <= sources_.size());
  if (direction_ == Direction::kForward) {
    TOPONYX_ASSERT(std::is_heap(
        heap_.begin(), heap_.end(),
        [this](const IndexItem& a, const IndexItem& b) { return format_.Less(b, a); }));
  } else if (direction_ == Direction::kBackward) {
    TOPONYX_ASSERT(std::is_heap(
        heap_.begin(), heap_.end(),
        [this](const IndexItem& a, const IndexItem& b) { return format_.Less(a, b); }));
  }
}

void NameIndex::ResetSources() {
  SortLate();
  sources_.clear();
  sources_.reserve(file_.runs().size() + 1);
  for (const IndexRun& r : file_.runs()) sources_.push_back(file_.Reader(r));
  if (!late_offsets_.empty()) {
    RunReader s;
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
    std::memcpy(current_copy_.data(), entry, format_.EntryLength(entry));
  }
  current_ = current_copy_.data();
}

const char* NameIndex::Record() {
  if (!record_valid_) {
    format_.Decode(current_, record_.data());
    record_valid_ = true;
  }
  return record_.data();
}

void NameIndex::Seek(const char* record, uint32_t recno) {
  seek_target_.resize(format_.max_entry() + EntryFormat::kChunk);
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
  const IndexItem target = format_.MakeItem(seek_target_.data(), 0);
  on_entry_ = false;
  for (RunReader& s : sources_) {
    file_.SeekAfter(s, target);
    if (on_entry_) continue;
    if (const char* before = file_.Tail(s);
        before && format_.SameEntry(format_.MakeItem(before, 0), target)) {
      on_entry_ = true;
      SetCurrent(before);
      current_recno_ = target.recno;
      record_valid_ = false;
    }
  }
  heap_.clear();
  direction_ = Direction::kNone;
  refill_ = -1;
  TOPONYX_ASSERT(!seek_pending_);
  CheckCursor();
}

void NameIndex::BuildHeap(bool forward) {
  SetCurrent(current_);  // the blocks may move under it
  heap_.clear();
  for (size_t i = 0; i < sources_.size(); ++i) {
    RunReader& s = sources_[i];
    if (const char* e = forward ? file_.Head(s) : file_.Tail(s)) {
      heap_.push_back(format_.MakeItem(e, static_cast<uint32_t>(i)));
    }
  }
  if (forward) {
    std::make_heap(heap_.begin(), heap_.end(),
                   [this](const IndexItem& a, const IndexItem& b) { return format_.Less(b, a); });
  } else {
    std::make_heap(heap_.begin(), heap_.end(),
                   [this](const IndexItem& a, const IndexItem& b) { return format_.Less(a, b); });
  }
  refill_ = -1;
}

bool NameIndex::First() {
  seek_pending_ = false;
  if (!sources_valid_) {
    SetCurrent(current_);
    ResetSources();
  }
  for (RunReader& s : sources_) {
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
  for (RunReader& s : sources_) {
    s.block = s.blocks - 1;
    s.index = RunReader::kEnd;
  }
  on_entry_ = false;
  direction_ = Direction::kNone;
  return Prior();
}

bool NameIndex::Next() {
  if (!file_.IsOpen()) return false;
  ResolveSeek();
  auto greater = [this](const IndexItem& a, const IndexItem& b) { return format_.Less(b, a); };
  if (direction_ != Direction::kForward) {
    BuildHeap(true);
    direction_ = Direction::kForward;
  } else if (refill_ >= 0) {
    const auto r = static_cast<uint32_t>(refill_);
    refill_ = -1;
    if (const char* head = file_.Head(sources_[r])) {
      heap_.push_back(format_.MakeItem(head, r));
      std::push_heap(heap_.begin(), heap_.end(), greater);
    }
  }
  if (heap_.empty()) return false;
  std::pop_heap(heap_.begin(), heap_.end(), greater);
  const IndexItem item = heap_.back();
  heap_.pop_back();
  ++sources_[item.source].index;
  current_ = item.entry;  // stays valid until this source loads another block
  current_recno_ = item.recno;
  record_valid_ = false;
  refill_ = static_cast<int>(item.source);
  on_entry_ = true;
  CheckCursor();
  return true;
}

bool NameIndex::Prior() {
  if (!file_.IsOpen()) return false;
  ResolveSeek();
  auto less = [this](const IndexItem& a, const IndexItem& b) { return format_.Less(a, b); };
  if (direction_ != Direction::kBackward) {
    BuildHeap(false);
    direction_ = Direction::kBackward;
  }
  if (on_entry_ && !heap_.empty()) {
    // The current entry is the greatest at or before the cursor: step off it.
    std::pop_heap(heap_.begin(), heap_.end(), less);
    const IndexItem item = heap_.back();
    heap_.pop_back();
    SetCurrent(item.entry);
    RunReader& s = sources_[item.source];
    --s.index;
    if (const char* tail = file_.Tail(s)) {
      heap_.push_back(format_.MakeItem(tail, item.source));
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
  CheckCursor();
  return true;
}

}  // namespace toponyx::dbf
