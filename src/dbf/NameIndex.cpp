// The merge cursor over the runs of a name index (see NameIndex.h).
#include "dbf/NameIndex.h"

#include <algorithm>

#include "dbf/TableError.h"
#include "platform/Check.h"

namespace toponyx::dbf {

NameIndex::NameIndex(IndexFile file) : file_(std::move(file)), format_(file_.format()) {
  empty_.assign(format_.max_entry(), '\0');  // record 0 with empty fields
  current_ = empty_.data();
}

std::unique_ptr<NameIndex> NameIndex::FromFile(IndexFile file) {
  return std::unique_ptr<NameIndex>(new NameIndex(std::move(file)));
}

NameIndex::~NameIndex() = default;  // the file closes with file_

uint64_t NameIndex::size() const {
  uint64_t n = 0;
  for (const IndexRun& r : file_.runs()) n += r.entries;
  return n;
}

void NameIndex::Close() {
  sources_.clear();
  heap_.clear();
  refill_ = -1;
  current_ = empty_.data();
  current_recno_ = 0;
  file_.Close();
}

namespace {
// The heap's order: the least entry on top.
struct Greater {
  const EntryFormat& format;
  bool operator()(const IndexItem& a, const IndexItem& b) const { return format.Less(b, a); }
};
}  // namespace

bool NameIndex::First() {
  if (!file_.IsOpen()) return false;
  sources_.clear();
  sources_.reserve(file_.runs().size());
  for (const IndexRun& r : file_.runs()) sources_.push_back(file_.Reader(r));
  heap_.clear();
  for (size_t i = 0; i < sources_.size(); ++i) {
    if (const char* e = file_.Head(sources_[i])) {
      heap_.push_back(format_.MakeItem(e, static_cast<uint32_t>(i)));
    }
  }
  std::make_heap(heap_.begin(), heap_.end(), Greater{format_});
  refill_ = -1;
  current_ = empty_.data();
  current_recno_ = 0;
  return Next();
}

// The merge's state: at most one head of each run in the heap (none of the
// run whose entry is current until the cursor leaves it), and each run's
// place within its loaded block.
void NameIndex::CheckMerge() const {
  TOPONYX_ASSERT(refill_ < static_cast<int>(sources_.size()));
  TOPONYX_ASSERT(heap_.size() + (refill_ >= 0 ? 1 : 0) <= sources_.size());
  for (const IndexItem& item : heap_) TOPONYX_ASSERT(item.source < sources_.size());
  for (const RunReader& s : sources_) TOPONYX_ASSERT(s.index <= s.n && s.block < s.blocks);
}

bool NameIndex::Next() {
  if (!file_.IsOpen()) return false;
  CheckMerge();
  const Greater greater{format_};
  if (refill_ >= 0) {
    // The source of the current entry moves on only now: its block held
    // the current entry until the cursor left it.
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
  refill_ = static_cast<int>(item.source);
  return true;
}

}  // namespace toponyx::dbf
