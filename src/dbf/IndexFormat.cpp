// The name index file format: header, run directory, blocks and entries
// (see IndexFormat.h).
#include "dbf/IndexFormat.h"

#include <algorithm>
#include <cstring>

#include "dbf/TableError.h"

namespace toponyx::dbf {
namespace {

constexpr char kMagic[8] = {'T', 'P', 'X', 'N', 'D', 'X', '0', '2'};
constexpr size_t kFileHeaderSize = 64;
constexpr size_t kNameBytes = 12;
constexpr size_t kDirectoryEntry = 24;

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

}  // namespace

// ----------------------------------------------------------------- entries

EntryFormat::EntryFormat(const IndexLayout& layout) : layout_(layout) {
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
}

size_t EntryFormat::Encode(const char* record, uint32_t recno, char* out) const {
  platform::StoreLe32(out, recno);
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

const char* EntryFormat::FieldInEntry(const char* entry, uint32_t field, size_t& length) const {
  size_t p = 4;
  for (uint32_t i = entry_place_[field]; i > 0; --i) p += 1 + static_cast<unsigned char>(entry[p]);
  length = static_cast<unsigned char>(entry[p]);
  return entry + p + 1;
}

// ------------------------------------------------------ header and directory

IndexFile::IndexFile(platform::FileSystem& fs, std::string path, const IndexLayout& layout)
    : fs_(fs), path_(std::move(path)), format_(layout) {
  data_start_ = kFileHeaderSize + layout.field_lengths.size();
}

IndexFile::~IndexFile() {
  if (file_) file_->Close();
}

void IndexFile::ThrowWrite() const {
  throw TableError("Cannot write file " + path_ + ": " + fs_.LastError());
}

void IndexFile::ThrowRead(const char* why) const {
  throw TableError("Cannot read file " + path_ + ": " + (why ? std::string(why) : fs_.LastError()));
}

void IndexFile::ThrowDamaged() const {
  throw TableError("Cannot read file " + path_ + ": the index file is damaged");
}

IndexFile IndexFile::Create(platform::FileSystem& fs, const std::string& path,
                            const IndexLayout& layout, size_t block_bytes) {
  IndexFile index(fs, path, layout);
  index.block_bytes_ = std::max(block_bytes, kBlockHeader + index.format_.max_entry());
  index.file_ = fs.Open(path, platform::OpenMode::kCreate);
  if (!index.file_) throw TableError("Cannot create file " + path);
  index.end_ = index.data_start_;
  index.WriteDirectory();  // an empty, complete index until the runs are in
  return index;
}

void IndexFile::WriteHeader(uint64_t directory) {
  const IndexLayout& layout = format_.layout();
  std::vector<char> header(data_start_, '\0');
  std::memcpy(header.data(), kMagic, 8);
  platform::StoreLe32(&header[8], layout.record_length);
  platform::StoreLe32(&header[12], layout.key_offset);
  platform::StoreLe32(&header[16], layout.key_length);
  platform::StoreLe32(&header[20], static_cast<uint32_t>(runs_.size()));
  platform::StoreLe64(&header[24], directory);
  platform::StoreLe32(&header[32], 1);  // complete
  std::memcpy(&header[36], layout.key_name.data(),
              std::min(layout.key_name.size(), kNameBytes - 1));
  platform::StoreLe32(&header[48], static_cast<uint32_t>(block_bytes_));
  platform::StoreLe32(&header[52], static_cast<uint32_t>(layout.field_lengths.size()));
  platform::StoreLe32(&header[56], layout.key_field);
  for (size_t f = 0; f < layout.field_lengths.size(); ++f) {
    header[kFileHeaderSize + f] = static_cast<char>(layout.field_lengths[f]);
  }
  if (!file_->WriteAt(0, header.data(), header.size())) ThrowWrite();
}

// The directory goes after the last run; the old one stays where it was
// until the header points to the new one.
void IndexFile::WriteDirectory() {
  std::vector<char> table(runs_.size() * kDirectoryEntry);
  for (size_t i = 0; i < runs_.size(); ++i) {
    platform::StoreLe64(&table[i * kDirectoryEntry], runs_[i].offset);
    platform::StoreLe64(&table[i * kDirectoryEntry + 8], runs_[i].entries);
    platform::StoreLe64(&table[i * kDirectoryEntry + 16], runs_[i].bytes);
  }
  const uint64_t directory = end_;
  if (!table.empty() && !file_->WriteAt(directory, table.data(), table.size())) ThrowWrite();
  end_ += table.size();
  WriteHeader(directory);
}

void IndexFile::Close() {
  if (!file_) return;
  const bool closed = file_->Close();
  file_.reset();
  if (!closed) ThrowWrite();
}

// --------------------------------------------------------------- writing runs

IndexFile::RunWriter::RunWriter(IndexFile& file)
    : file_(file),
      max_entry_(file.format_.max_entry()),
      start_(file.end_),
      next_(file.end_),
      block_(file.block_bytes_ + EntryFormat::kChunk) {}

void IndexFile::RunWriter::Add(const char* entry, size_t n) {
  std::memcpy(Room(), entry, n);
  Commit(n);
}

IndexRun IndexFile::RunWriter::Finish() {
  Flush(false);
  const IndexRun run{start_, entries_, next_ - start_};
  file_.end_ += run.bytes;
  return run;
}

void IndexFile::RunWriter::Flush(bool full) {
  if (count_ == 0) return;
  platform::StoreLe32(block_.data(), static_cast<uint32_t>(used_));
  platform::StoreLe32(block_.data() + 4, count_);
  size_t size = used_;
  if (full) {  // every block but a run's last has the full size
    std::memset(block_.data() + used_, 0, file_.block_bytes_ - used_);
    size = file_.block_bytes_;
  }
  if (!file_.file_->WriteAt(next_, block_.data(), size)) file_.ThrowWrite();
  next_ += size;
  used_ = kBlockHeader;
  count_ = 0;
}

// --------------------------------------------------------------- reading runs

RunReader IndexFile::Reader(const IndexRun& run) const {
  RunReader s;
  s.offset = run.offset;
  s.bytes = run.bytes;
  s.blocks = static_cast<uint32_t>((run.bytes + block_bytes_ - 1) / block_bytes_);
  return s;
}

void IndexFile::LoadBlock(RunReader& s, uint32_t block) {
  const uint64_t start = uint64_t{block} * block_bytes_;
  const size_t bytes = static_cast<size_t>(std::min<uint64_t>(block_bytes_, s.bytes - start));
  if (s.data.size() < block_bytes_) s.data.resize(block_bytes_);
  if (discard_passed_ && s.loaded >= 0 && block > s.loaded) {
    // Passed for good: its storage goes back (see DiscardPassedBlocks).
    const uint64_t passed = uint64_t(s.loaded) * block_bytes_;
    file_->Discard(s.offset + passed, (uint64_t{block} * block_bytes_) - passed);
  }
  s.loaded = -1;
  const int64_t got = file_->ReadAt(s.offset + start, s.data.data(), bytes);
  if (got < 0) ThrowRead(nullptr);
  if (static_cast<size_t>(got) != bytes) ThrowRead("unexpected end of file");
  ParseBlock(s, bytes);
  s.loaded = block;
}

// Every length in a block is checked before it is used.
void IndexFile::ParseBlock(RunReader& s, size_t bytes) {
  const char* data = s.data.data();
  if (bytes < kBlockHeader) ThrowDamaged();
  const size_t used = platform::LoadLe32(data);
  const uint32_t count = platform::LoadLe32(data + 4);
  const size_t fields = format_.field_count();
  if (used < kBlockHeader || used > bytes || count == 0 ||
      count > (used - kBlockHeader) / (4 + fields)) {
    ThrowDamaged();
  }
  const std::vector<uint32_t>& lengths = format_.layout().field_lengths;
  s.offsets.clear();
  size_t p = kBlockHeader;
  for (uint32_t c = 0; c < count; ++c) {
    if (used - p < 4 + fields) ThrowDamaged();
    s.offsets.push_back(static_cast<uint32_t>(p));
    p += 4;
    for (uint32_t f : format_.entry_fields()) {
      if (p >= used) ThrowDamaged();
      const size_t length = static_cast<unsigned char>(data[p]);
      if (length > lengths[f] || length >= used - p) ThrowDamaged();
      p += 1 + length;
    }
  }
  if (p != used) ThrowDamaged();
  s.base = data;
  s.offs = s.offsets.data();
  s.n = count;
}

}  // namespace toponyx::dbf
