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
constexpr uint64_t kMaxRuns = uint64_t{1} << 20;
constexpr uint64_t kMaxBlockBytes = uint64_t{64} << 20;

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

void EntryFormat::Decode(const char* entry, char* record) const {
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
  probe_.resize(kBlockHeader + format_.max_entry());
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
  dirty_ = false;
}

// Every length and offset is checked against the file and the table before
// it is used.
IndexFile IndexFile::Open(platform::FileSystem& fs, const std::string& path,
                          const std::vector<uint32_t>& field_lengths) {
  auto file = fs.Open(path, platform::OpenMode::kReadWrite);
  if (!file) throw TableError("Cannot open file " + path);
  const TableError invalid("Cannot open file " + path + ": not a valid index file");
  const TableError foreign("Cannot open file " + path +
                           ": the index does not belong to this table");
  const int64_t size = file->Size();
  char header[kFileHeaderSize];
  if (size < static_cast<int64_t>(kFileHeaderSize) ||
      file->ReadAt(0, header, sizeof header) != static_cast<int64_t>(sizeof header) ||
      std::memcmp(header, kMagic, 8) != 0 || platform::LoadLe32(header + 32) != 1) {
    throw invalid;
  }
  const uint64_t file_size = static_cast<uint64_t>(size);
  const uint32_t field_count = platform::LoadLe32(header + 52);
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
  IndexLayout layout;
  layout.record_length = platform::LoadLe32(header + 8);
  layout.field_lengths = field_lengths;
  layout.key_field = platform::LoadLe32(header + 56);
  const char* name = header + 36;
  layout.key_name.assign(name, strnlen(name, kNameBytes));
  if (layout.record_length != record_length || layout.key_field >= field_count) throw foreign;

  IndexFile index(fs, path, layout);
  const IndexLayout& derived = index.format_.layout();
  const uint64_t run_count = platform::LoadLe32(header + 20);
  const uint64_t directory = platform::LoadLe64(header + 24);
  const uint64_t block_bytes = platform::LoadLe32(header + 48);
  if (platform::LoadLe32(header + 12) != derived.key_offset ||
      platform::LoadLe32(header + 16) != derived.key_length) {
    throw foreign;
  }
  if (block_bytes < kBlockHeader + index.format_.max_entry() || block_bytes > kMaxBlockBytes ||
      run_count > kMaxRuns || directory < index.data_start_ || directory > file_size ||
      run_count > (file_size - directory) / kDirectoryEntry) {
    throw invalid;
  }
  index.block_bytes_ = static_cast<size_t>(block_bytes);
  index.file_ = std::move(file);
  index.end_ = file_size;
  std::vector<char> table(run_count * kDirectoryEntry);
  if (run_count > 0 && index.file_->ReadAt(directory, table.data(), table.size()) !=
                           static_cast<int64_t>(table.size())) {
    throw invalid;
  }
  const uint64_t smallest_entry = 4 + field_count;
  for (uint64_t i = 0; i < run_count; ++i) {
    const char* d = &table[i * kDirectoryEntry];
    const IndexRun r{platform::LoadLe64(d), platform::LoadLe64(d + 8), platform::LoadLe64(d + 16)};
    if (r.offset < index.data_start_ || r.offset > directory || r.bytes > directory - r.offset ||
        r.entries == 0 || r.entries > r.bytes / smallest_entry ||
        (r.bytes + block_bytes - 1) / block_bytes > RunReader::kEnd) {
      throw invalid;
    }
    index.runs_.push_back(r);
  }
  return index;
}

std::string IndexFile::Release() {
  if (!file_) return {};
  const bool closed = file_->Close();
  std::string error =
      closed ? std::string() : "Cannot write file " + path_ + ": " + fs_.LastError();
  file_.reset();
  return error;
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

const char* IndexFile::Tail(RunReader& s) {
  for (;;) {
    if (s.loaded != static_cast<int64_t>(s.block)) LoadBlock(s, s.block);
    if (s.index == RunReader::kEnd) s.index = s.n;
    if (s.index > 0) return s.base + s.offs[s.index - 1];
    if (s.block == 0) return nullptr;
    --s.block;
    s.index = RunReader::kEnd;
  }
}

void IndexFile::SeekAfter(RunReader& s, const IndexItem& target) {
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
      for (size_t f = 0; f < format_.field_count(); ++f) {
        if (p >= want) ThrowDamaged();
        p += 1 + static_cast<unsigned char>(probe_[p]);
      }
      if (p > want) ThrowDamaged();
      if (format_.Less(target, format_.MakeItem(probe_.data() + kBlockHeader, 0))) {
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
  LoadBlock(s, block);
  uint32_t lo = 0;
  uint32_t hi = s.n;
  while (lo < hi) {
    const uint32_t mid = lo + (hi - lo) / 2;
    if (format_.Less(target, format_.MakeItem(s.base + s.offs[mid], 0))) {
      hi = mid;
    } else {
      lo = mid + 1;
    }
  }
  s.block = block;
  s.index = lo;
}

}  // namespace toponyx::dbf
