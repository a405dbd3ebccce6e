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
      work_(threaded ? fill_.size() : 0),
      sorter_(file_, per_run_),
      sort_(threaded) {}

StreamingIndex::~StreamingIndex() = default;

void StreamingIndex::Hand() {
  const uint32_t n = filled_;
  const uint32_t first = count_ - filled_ + 1;
  filled_ = 0;
  if (work_.empty()) {  // no thread: sorted here and now
    sorter_.SortAndWrite(fill_.data(), n, first);
    return;
  }
  sort_.Wait();  // the block before is written, so its buffer is free
  fill_.swap(work_);
  sort_.Run([this, n, first] { sorter_.SortAndWrite(work_.data(), n, first); });
}

std::unique_ptr<NameIndex> StreamingIndex::Finish(const IndexProgress& progress) {
  if (filled_ > 0) Hand();
  sort_.Wait();
  std::vector<char>().swap(fill_);  // the blocks go before the merge needs its memory
  std::vector<char>().swap(work_);
  MergeDownToFanIn(file_, options_.merge_fan_in, progress);
  file_.WriteDirectory();
  return NameIndex::FromFile(std::move(file_));
}

}  // namespace toponyx::dbf
