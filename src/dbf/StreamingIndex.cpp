#include "dbf/StreamingIndex.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace toponyx::dbf {

StreamingIndex::StreamingIndex(platform::FileSystem& fs, const std::string& path,
                               const IndexLayout& layout, const IndexOptions& options,
                               bool threaded)
    : options_(EffectiveOptions(options)),
      file_(IndexFile::Create(fs, path, layout, options_.block_bytes)),
      record_length_(file_.format().layout().record_length),
      per_run_(
          static_cast<uint32_t>(std::min<size_t>(RecordsPerRun(file_, options_), UINT32_MAX / 2))),
      fill_(size_t{per_run_} * record_length_ + EntryFormat::kChunk),
      sorter_(file_, per_run_) {
  if (threaded) {
    work_.resize(fill_.size());
    thread_ = std::thread(&StreamingIndex::SortLoop, this);
  }
}

StreamingIndex::~StreamingIndex() {
  if (thread_.joinable()) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }
}

void StreamingIndex::SortLoop() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return busy_ || stop_; });
    if (!busy_) return;  // stopped with nothing to do
    lock.unlock();
    try {
      sorter_.SortAndWrite(work_.data(), work_count_, work_first_);
    } catch (...) {
      lock.lock();
      failure_ = std::current_exception();
      busy_ = false;
      changed_.notify_all();
      continue;
    }
    lock.lock();
    busy_ = false;
    changed_.notify_all();
  }
}

void StreamingIndex::Wait() {
  if (!thread_.joinable()) return;
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return !busy_; });
  if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
}

void StreamingIndex::Hand() {
  const uint32_t first = count_ - filled_ + 1;
  if (!thread_.joinable()) {
    const uint32_t n = filled_;
    filled_ = 0;
    sorter_.SortAndWrite(fill_.data(), n, first);
    return;
  }
  Wait();
  fill_.swap(work_);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    work_count_ = filled_;
    work_first_ = first;
    busy_ = true;
  }
  filled_ = 0;
  changed_.notify_all();
}

std::unique_ptr<NameIndex> StreamingIndex::Finish(const IndexProgress& progress) {
  if (filled_ > 0) Hand();
  Wait();
  if (thread_.joinable()) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }
  std::vector<char>().swap(fill_);  // the blocks go before the merge needs its memory
  std::vector<char>().swap(work_);
  MergeDownToFanIn(file_, options_.merge_fan_in, progress);
  file_.WriteDirectory();
  return NameIndex::FromFile(std::move(file_), options_);
}

}  // namespace toponyx::dbf
