#include "dbf/DbfTable.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "dbf/NameIndex.h"
#include "platform/System.h"
#include "text/CodePage.h"
#include "text/Text.h"

namespace toponyx::dbf {
namespace {

constexpr uint8_t kVersion = 0x03;
constexpr uint8_t kTerminator = 0x0D;
constexpr char kEndMarker = 0x1A;
constexpr char kLive = ' ';
constexpr char kDeleted = '*';
constexpr size_t kHeaderSize = 32;
constexpr size_t kDescriptorSize = 32;
constexpr size_t kNameBytes = 11;
constexpr uint32_t kMaxFieldCount = 4095;
constexpr size_t kMaxHeaderValue = 0xFFFF;  // header and record length are 16-bit
constexpr size_t kWriteBufferBytes = size_t{256} << 10;
constexpr size_t kReadCacheBytes = size_t{128} << 10;

constexpr char kOpenDataset[] = "Cannot perform this operation on an open dataset";
constexpr char kClosedDataset[] = "Cannot perform this operation on a closed dataset";
constexpr char kEmptyDataset[] = "Cannot perform this operation on an empty dataset";
constexpr char kNotAppending[] = "Cannot perform this operation: no record is being appended";

uint16_t LoadU16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t LoadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
void StoreU16(uint8_t* p, size_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void StoreU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

void StoreDate(uint8_t* header) {
  const platform::LocalDate today = platform::Today();
  header[1] = static_cast<uint8_t>((today.year - 1900) & 0xFF);
  header[2] = static_cast<uint8_t>(today.month);
  header[3] = static_cast<uint8_t>(today.day);
}

enum class Direction { kForward, kBackward, kAround };

// Both code pages hold ASCII unchanged, so text without a byte above 127
// needs no conversion.
inline bool HasHighBytes(const char* p, size_t n) {
  uint64_t any = 0;
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t word;
    std::memcpy(&word, p + i, 8);
    any |= word;
  }
  for (; i < n; ++i) any |= static_cast<unsigned char>(p[i]);
  return (any & 0x8080808080808080ULL) != 0;
}

// The length of p without its trailing bytes of code 32 or less, eight
// bytes a step over the blank fill.
inline size_t WithoutTrailingBlanks(const char* p, size_t n) {
  constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
  constexpr uint64_t kHigh = 0x8080808080808080ULL;
  while (n >= 8) {
    uint64_t word;
    std::memcpy(&word, p + n - 8, 8);
    // A byte above 32 has its high bit set, or reaches it when 0x5F is added.
    if ((((word & kLow7) + 0x5F5F5F5F5F5F5F5FULL) | word) & kHigh) break;
    n -= 8;
  }
  while (n > 0 && static_cast<unsigned char>(p[n - 1]) <= 32) --n;
  return n;
}

}  // namespace

struct DbfTable::Impl final : RecordSource {
  explicit Impl(DbfTable& owner) : t(owner) {}

  DbfTable& t;
  std::unique_ptr<platform::File> file;
  std::string path;
  std::vector<uint8_t> header;  // header length bytes, descriptors included
  uint32_t header_length = 0;
  uint32_t record_length = 0;
  uint32_t record_count = 0;

  enum class State { kClosed, kBrowse, kAppend } state = State::kClosed;
  std::vector<char> current;  // the current record, unless entry_index is set
  // During an index walk the current record stays in the index's compact
  // form; it is decoded into `current` only when the whole record is needed.
  std::vector<char> entry;
  NameIndex* entry_index = nullptr;
  std::vector<char> append;  // the record being appended
  bool modified = false;     // a field of the appended record was set
  uint32_t recno = 0;
  bool bof = true;
  bool eof = true;

  // Posted records not yet written: records pending_first onwards.
  std::vector<char> pending;
  uint32_t pending_first = 0;
  uint32_t pending_count = 0;
  uint32_t pending_capacity = 0;

  // A block of records as read from the file.
  std::vector<char> cache;
  uint32_t cache_first = 0;
  uint32_t cache_count = 0;
  uint32_t cache_capacity = 0;

  struct OpenIndex {
    std::string name;
    std::unique_ptr<NameIndex> index;
  };
  std::vector<OpenIndex> indexes;
  NameIndex* active = nullptr;
  IndexOptions options;
  IndexProgress index_progress;

  uint64_t Offset(uint32_t n) const { return header_length + uint64_t{n - 1} * record_length; }

  [[noreturn]] void ThrowWrite() const {
    throw TableError("Cannot write file " + path + ": " + t.fs_.LastError());
  }
  [[noreturn]] void ThrowRead(int64_t got) const {
    throw TableError("Cannot read file " + path + ": " +
                     (got < 0 ? t.fs_.LastError() : std::string("unexpected end of file")));
  }
  void RequireOpen() const {
    if (state == State::kClosed) throw TableError(kClosedDataset);
  }
  const FieldDef& Field(int position) const {
    if (position < 0 || static_cast<size_t>(position) >= t.fields_.size()) {
      throw TableError("Field number " + std::to_string(position) + " out of range");
    }
    return t.fields_[static_cast<size_t>(position)];
  }

  void OpenFile();
  void ReadHeader();
  void Release();

  // Writing: records are collected and written in blocks, always before
  // anything is read, a record is changed in place or the table is closed.
  void QueueRecord(const char* record) {
    if (pending.empty()) pending.resize(size_t{pending_capacity} * record_length);
    if (pending_count == pending_capacity) FlushPending();
    if (pending_count == 0) pending_first = record_count + 1;
    std::memcpy(pending.data() + size_t{pending_count} * record_length, record, record_length);
    ++pending_count;
    ++record_count;
  }
  // On a failure the records stay queued, so that a later flush may still
  // write them; the error is raised to the caller.
  void FlushPending() {
    if (pending_count == 0) return;
    if (!file->WriteAt(Offset(pending_first), pending.data(),
                       size_t{pending_count} * record_length)) {
      ThrowWrite();
    }
    pending_count = 0;
  }

  void ReadRecords(uint32_t first, uint32_t n, char* out) override {
    FlushPending();
    const size_t bytes = size_t{n} * record_length;
    const int64_t got = file->ReadAt(Offset(first), out, bytes);
    if (got != static_cast<int64_t>(bytes)) ThrowRead(got);
  }

  const char* Record(uint32_t n, Direction direction) {
    if (n >= cache_first && n < cache_first + cache_count) {
      return cache.data() + size_t{n - cache_first} * record_length;
    }
    uint32_t start = n;
    if (direction == Direction::kBackward) {
      start = n > cache_capacity ? n - cache_capacity + 1 : 1;
    } else if (direction == Direction::kAround) {
      start = n > cache_capacity / 2 ? n - cache_capacity / 2 : 1;
    }
    const uint32_t count = std::min(cache_capacity, record_count - start + 1);
    if (cache.empty()) cache.resize(size_t{cache_capacity} * record_length);
    cache_count = 0;
    ReadRecords(start, count, cache.data());
    cache_first = start;
    cache_count = count;
    return cache.data() + size_t{n - start} * record_length;
  }

  void Take(uint32_t n, const char* record) {
    std::memcpy(current.data(), record, record_length);
    recno = n;
    entry_index = nullptr;
  }
  void TakeEntry(NameIndex& index) {
    const char* e = index.Entry();
    const size_t n = index.EntryLength(e);
    if (entry.size() < n) entry.resize(n);
    std::memcpy(entry.data(), e, n);
    recno = index.RecNo();
    entry_index = &index;
  }
  // The whole current record.
  const char* Current() {
    if (entry_index) {
      entry_index->Decode(entry.data(), current.data());
      entry_index = nullptr;
    }
    return current.data();
  }
  void Empty() {
    entry_index = nullptr;
    std::fill(current.begin(), current.end(), ' ');
    recno = 0;
    bof = eof = true;
  }

  // The pending appended record is posted when a field was set, else
  // dropped, before the cursor moves.
  void CheckBrowse() {
    if (state != State::kAppend) return;
    if (modified) {
      Post();
    } else {
      state = State::kBrowse;
    }
  }
  void Post();

  // File order.
  bool FileStep(uint32_t from, bool forward) {
    if (forward) {
      for (uint32_t n = from; n >= 1 && n <= record_count; ++n) {
        const char* r = Record(n, Direction::kForward);
        if (r[0] == kLive) {
          Take(n, r);
          return true;
        }
      }
    } else {
      for (uint32_t n = from; n >= 1 && n <= record_count; --n) {
        const char* r = Record(n, Direction::kBackward);
        if (r[0] == kLive) {
          Take(n, r);
          return true;
        }
      }
    }
    return false;
  }

  // Takes the record behind the index's current entry when it is live. An
  // index built in this session holds live copies of the records (deleted
  // ones are left out, later deletions are marked in it); one read from a
  // file may be stale, so its records are read from the table.
  bool Accept(NameIndex& index) {
    const uint32_t n = index.RecNo();
    if (n == 0 || n > record_count) return false;
    if (index.detached()) {
      const char* r = Record(n, Direction::kAround);
      if (r[0] != kLive) return false;
      Take(n, r);
      return true;
    }
    if (index.WasDeleted(n)) return false;
    TakeEntry(index);
    return true;
  }

  enum class Move { kFirst, kLast, kNext, kPrior };
  bool IndexStep(Move move) {
    NameIndex& index = *active;
    bool ok = false;
    switch (move) {
      case Move::kFirst:
        ok = index.First();
        break;
      case Move::kLast:
        ok = index.Last();
        break;
      case Move::kNext:
        ok = index.Next();
        break;
      case Move::kPrior:
        ok = index.Prior();
        break;
    }
    const bool forward = move == Move::kFirst || move == Move::kNext;
    while (ok) {
      if (Accept(index)) return true;
      ok = forward ? index.Next() : index.Prior();
    }
    if (recno != 0) index.Seek(Current(), recno);  // back onto the current record
    return false;
  }

  bool Step(Move move) {
    if (active) return IndexStep(move);
    switch (move) {
      case Move::kFirst:
        return FileStep(1, true);
      case Move::kLast:
        return FileStep(record_count, false);
      case Move::kNext:
        return FileStep(recno + 1, true);
      case Move::kPrior:
        return FileStep(recno - 1, false);
    }
    return false;
  }

  std::string IndexPath(std::string_view name) const {
    if (!name.empty() && name.front() == platform::kPathSeparator) return std::string(name);
    return t.file_path_ + std::string(name);
  }
  // An open index by its file, however the name spells it.
  OpenIndex* FindIndex(std::string_view name) {
    const std::string wanted = IndexPath(name);
    for (OpenIndex& i : indexes) {
      if (i.index->path() == wanted) return &i;
    }
    return nullptr;
  }
};

// ------------------------------------------------------------ location

DbfTable::DbfTable(BuildUi* ui, platform::FileSystem& fs)
    : impl_(std::make_unique<Impl>(*this)), ui_(ui), fs_(fs) {
  file_path_ = platform::ProgramFolder();
  file_path_.push_back(platform::kPathSeparator);
}

DbfTable::~DbfTable() {
  try {
    Close();
  } catch (const std::exception&) {
    // A destructor cannot report; callers that care close explicitly.
  }
}

void DbfTable::SetFilePath(std::string_view folder) {
  if (Active()) throw TableError(kOpenDataset);
  std::string path;
  if (folder.empty() || folder.front() != platform::kPathSeparator) {
    path = platform::JoinPath(platform::ProgramFolder(), folder);
  } else {
    path = std::string(folder);
  }
  if (path.back() != platform::kPathSeparator) path.push_back(platform::kPathSeparator);
  file_path_ = std::move(path);
}

void DbfTable::SetTableName(std::string_view name) {
  if (Active()) throw TableError(kOpenDataset);
  const size_t slash = name.rfind(platform::kPathSeparator);
  if (slash == std::string_view::npos) {
    table_name_ = std::string(name);
    return;
  }
  SetFilePath(name.substr(0, slash + 1));
  table_name_ = std::string(name.substr(slash + 1));
}

// ---------------------------------------------------------- field list

void DbfTable::ClearFields() {
  if (Active()) throw TableError(kOpenDataset);
  fields_.clear();
}

void DbfTable::AddField(std::string_view name, char type, int length, bool required) {
  if (Active()) throw TableError(kOpenDataset);
  FieldDef f;
  f.name = std::string(name);
  f.type = text::ToUpperAscii(type);
  f.length = std::clamp(length, 1, 254);
  f.decimals = 0;
  f.required = required;
  fields_.push_back(std::move(f));
}

int DbfTable::FieldIndex(std::string_view name) const {
  for (size_t i = 0; i < fields_.size(); ++i) {
    if (text::EqualsIgnoreCase(fields_[i].name, name)) return static_cast<int>(i);
  }
  return -1;
}

// -------------------------------------------------------------- create

void DbfTable::CreateTable() {
  if (Active()) throw TableError(kOpenDataset);
  const std::string path = FullPath();
  if (fields_.empty()) {
    throw TableError("Invalid field count : 0 (must be between 1 and " +
                     std::to_string(kMaxFieldCount) + ")");
  }
  const size_t header_length = kHeaderSize + kDescriptorSize * fields_.size() + 1;
  size_t record_length = 1;
  for (const FieldDef& f : fields_) record_length += static_cast<size_t>(f.length);
  if (header_length > kMaxHeaderValue || record_length > kMaxHeaderValue) {
    throw TableError("Cannot create file " + path + ": " + std::to_string(fields_.size()) +
                     " fields of " + std::to_string(record_length - 1) +
                     " bytes do not fit in a table header");
  }

  std::vector<uint8_t> bytes(header_length + 1, 0);
  bytes[0] = kVersion;
  StoreU32(&bytes[4], 0);
  StoreU16(&bytes[8], header_length);
  StoreU16(&bytes[10], record_length);
  int offset = 1;
  for (size_t i = 0; i < fields_.size(); ++i) {
    FieldDef& f = fields_[i];
    uint8_t* d = &bytes[kHeaderSize + kDescriptorSize * i];
    std::memcpy(d, f.name.data(), std::min(f.name.size(), kNameBytes - 1));
    d[11] = static_cast<uint8_t>(f.type);
    d[16] = static_cast<uint8_t>(f.length);
    d[17] = static_cast<uint8_t>(f.decimals);
    f.offset = offset;
    offset += f.length;
  }
  bytes[header_length - 1] = kTerminator;
  StoreDate(bytes.data());
  bytes[header_length] = static_cast<uint8_t>(kEndMarker);

  auto file = fs_.Open(path, platform::OpenMode::kCreate);
  if (!file) throw TableError("Cannot create file " + path);
  if (!file->Write(bytes.data(), bytes.size())) {
    const std::string reason = fs_.LastError();
    file->Close();
    throw TableError("Cannot write file " + path + ": " + reason);
  }
  if (!file->Close()) throw TableError("Cannot write file " + path + ": " + fs_.LastError());
}

// ---------------------------------------------------------------- open

void DbfTable::Open() {
  if (Active()) return;
  if (!fs_.Exists(FullPath())) CreateTable();
  impl_->OpenFile();
  First();
}

void DbfTable::Impl::OpenFile() {
  path = t.FullPath();
  file = t.fs_.Open(path, platform::OpenMode::kReadWrite);
  if (!file) throw TableError("Cannot open file " + path);
  try {
    ReadHeader();
  } catch (...) {
    file->Close();
    file.reset();
    throw;
  }
  state = State::kBrowse;
  current.assign(record_length, ' ');
  append.assign(record_length, ' ');
  pending_capacity = static_cast<uint32_t>(std::max<size_t>(1, kWriteBufferBytes / record_length));
  pending = {};  // both buffers are allocated when first needed
  pending_count = 0;
  cache_capacity = static_cast<uint32_t>(std::max<size_t>(1, kReadCacheBytes / record_length));
  cache = {};
  cache_first = cache_count = 0;
  recno = 0;
  bof = eof = true;
  modified = false;
}

// Every length and offset in the header is checked against the file before
// it is used; a header that cannot describe the file fails with the file's
// name instead of being trusted.
void DbfTable::Impl::ReadHeader() {
  const int64_t size = file->Size();
  if (size < 0) ThrowRead(size);
  auto damaged = [this](const std::string& why) {
    return TableError("Cannot open file " + path + ": damaged table header (" + why + ")");
  };
  if (size < static_cast<int64_t>(kHeaderSize)) throw damaged("file shorter than a header");
  uint8_t head[kHeaderSize];
  int64_t got = file->ReadAt(0, head, kHeaderSize);
  if (got != static_cast<int64_t>(kHeaderSize)) ThrowRead(got);

  const uint32_t stored_count = LoadU32(head + 4);
  const uint32_t stored_header_length = LoadU16(head + 8);
  const uint32_t stored_record_length = LoadU16(head + 10);
  if (stored_header_length <= kHeaderSize) {
    throw damaged("header length " + std::to_string(stored_header_length));
  }
  if (stored_header_length > static_cast<uint64_t>(size)) {
    throw damaged("header length " + std::to_string(stored_header_length) +
                  " beyond the end of the file");
  }
  if (stored_record_length == 0) throw damaged("record length 0");
  const uint32_t field_count = (stored_header_length - kHeaderSize) / kDescriptorSize;
  if (field_count < 1 || field_count > kMaxFieldCount) {
    throw TableError("Invalid field count : " + std::to_string(field_count) +
                     " (must be between 1 and " + std::to_string(kMaxFieldCount) + ")");
  }

  std::vector<uint8_t> bytes(stored_header_length);
  got = file->ReadAt(0, bytes.data(), bytes.size());
  if (got != static_cast<int64_t>(bytes.size())) ThrowRead(got);

  std::vector<FieldDef> fields(field_count);
  uint32_t length = 1;
  for (uint32_t i = 0; i < field_count; ++i) {
    const uint8_t* d = &bytes[kHeaderSize + kDescriptorSize * i];
    FieldDef& f = fields[i];
    const char* name = reinterpret_cast<const char*>(d);
    f.name.assign(name, strnlen(name, kNameBytes));
    for (char& c : f.name) c = text::ToUpperAscii(c);
    f.type = text::ToUpperAscii(static_cast<char>(d[11]));
    f.length = d[16];
    f.decimals = d[17];
    f.offset = static_cast<int>(length);
    length += d[16];
  }
  if (length > stored_record_length) {
    throw damaged("fields of " + std::to_string(length - 1) + " bytes in a record of " +
                  std::to_string(stored_record_length));
  }
  const uint64_t records = (static_cast<uint64_t>(size) - stored_header_length) / length;
  if (records > std::numeric_limits<uint32_t>::max()) throw damaged("too many records");

  // The record count follows from the file size at the record length in
  // use, so that every record counted lies within the file.
  if (stored_count != records && t.ui_) {
    t.ui_->ShowMessage(MessageKind::kPlain, "Invalid Record Count,\rRecordCount in Hdr : " +
                                                std::to_string(stored_count) + "\r" +
                                                "expected : " + std::to_string(records));
  }
  if (length != stored_record_length && t.ui_) {
    t.ui_->ShowMessage(MessageKind::kPlain, "Invalid Record Size,\rRecord Size in Hdr : " +
                                                std::to_string(stored_record_length) + "\r" +
                                                "Expected : " + std::to_string(length));
  }
  header = std::move(bytes);
  header_length = stored_header_length;
  record_length = length;
  record_count = static_cast<uint32_t>(records);
  t.fields_ = std::move(fields);
}

bool DbfTable::Active() const {
  return impl_->state != Impl::State::kClosed;
}

// --------------------------------------------------------------- close

void DbfTable::Close() {
  Impl& m = *impl_;
  if (m.state == Impl::State::kClosed) return;
  m.state = Impl::State::kBrowse;  // an unposted record is dropped
  std::string error;
  try {
    m.FlushPending();
  } catch (const TableError& e) {
    error = e.what();
    // Keep the header true to what is on disk.
    m.record_count -= m.pending_count;
    m.pending_count = 0;
    m.file->Truncate(m.Offset(m.record_count + 1));
  }
  StoreDate(m.header.data());
  StoreU32(&m.header[4], m.record_count);
  StoreU16(&m.header[10], m.record_length);
  const char marker = kEndMarker;
  if (!m.file->WriteAt(0, m.header.data(), m.header.size()) ||
      !m.file->WriteAt(m.Offset(m.record_count + 1), &marker, 1)) {
    if (error.empty()) error = "Cannot write file " + m.path + ": " + fs_.LastError();
  }
  if (!m.file->Close() && error.empty()) {
    error = "Cannot write file " + m.path + ": " + fs_.LastError();
  }
  for (Impl::OpenIndex& i : m.indexes) {
    try {
      i.index->Close();
    } catch (const TableError& e) {
      if (error.empty()) error = e.what();
    }
  }
  m.Release();
  index_name_.clear();
  if (!error.empty()) throw TableError(error);
}

void DbfTable::Impl::Release() {
  entry_index = nullptr;
  file.reset();
  indexes.clear();
  active = nullptr;
  state = State::kClosed;
  header.clear();
  record_count = record_length = header_length = 0;
  recno = 0;
  bof = eof = true;
  pending_count = 0;
  cache_count = 0;
  pending = {};
  cache = {};
}

// ----------------------------------------------------------- appending

void DbfTable::Append() {
  Impl& m = *impl_;
  m.RequireOpen();
  m.CheckBrowse();
  std::fill(m.append.begin(), m.append.end(), ' ');
  m.state = Impl::State::kAppend;
  m.modified = false;
}

void DbfTable::SetField(int position, std::string_view ansi_text) {
  Impl& m = *impl_;
  m.RequireOpen();
  if (m.state != Impl::State::kAppend) throw TableError(kNotAppending);
  const FieldDef& f = m.Field(position);
  const size_t length = static_cast<size_t>(f.length);
  const size_t n = std::min(ansi_text.size(), length);
  char* out = m.append.data() + f.offset;
  if (HasHighBytes(ansi_text.data(), n)) {
    codepage::AnsiToOem(ansi_text.data(), out, n);
  } else {
    std::memcpy(out, ansi_text.data(), n);
  }
  std::memset(out + n, ' ', length - n);
  m.modified = true;
}

void DbfTable::SetField(std::string_view name, std::string_view ansi_text) {
  const int position = FieldIndex(name);
  if (position < 0) throw TableError("Field " + std::string(name) + " not found");
  SetField(position, ansi_text);
}

void DbfTable::Post() {
  Impl& m = *impl_;
  m.RequireOpen();
  if (m.state != Impl::State::kAppend) throw TableError(kNotAppending);
  m.Post();
}

void DbfTable::Impl::Post() {
  if (record_count == std::numeric_limits<uint32_t>::max()) {
    throw TableError("Cannot write file " + path + ": the table holds the most records it can");
  }
  append[0] = kLive;
  QueueRecord(append.data());
  const uint32_t n = record_count;
  for (OpenIndex& i : indexes) i.index->Insert(append.data(), n);
  entry_index = nullptr;
  current.swap(append);
  recno = n;
  bof = eof = false;
  state = State::kBrowse;
  modified = false;
  if (active) active->Seek(current.data(), recno);
}

// ------------------------------------------------------------- walking

void DbfTable::First() {
  Impl& m = *impl_;
  m.RequireOpen();
  m.CheckBrowse();
  if (m.Step(Impl::Move::kFirst)) {
    m.bof = m.eof = false;
  } else {
    m.Empty();
  }
}

void DbfTable::Last() {
  Impl& m = *impl_;
  m.RequireOpen();
  m.CheckBrowse();
  if (m.Step(Impl::Move::kLast)) {
    m.bof = m.eof = false;
  } else {
    m.Empty();
  }
}

void DbfTable::Next() {
  Impl& m = *impl_;
  m.RequireOpen();
  m.CheckBrowse();
  if (m.eof) return;
  if (m.recno == 0) return First();
  if (m.Step(Impl::Move::kNext)) {
    m.bof = false;
  } else {
    m.eof = true;
  }
}

void DbfTable::Prior() {
  Impl& m = *impl_;
  m.RequireOpen();
  m.CheckBrowse();
  if (m.bof) return;
  if (m.recno == 0) return Last();
  if (m.Step(Impl::Move::kPrior)) {
    m.eof = false;
  } else {
    m.bof = true;
  }
}

bool DbfTable::Eof() const {
  return impl_->eof;
}
bool DbfTable::Bof() const {
  return impl_->bof;
}

std::string DbfTable::GetField(int position) const {
  std::string out;
  GetField(position, out);
  return out;
}

void DbfTable::GetField(int position, std::string& out) const {
  const Impl& m = *impl_;
  m.RequireOpen();
  const FieldDef& f = m.Field(position);
  const char* p;
  size_t n;
  if (m.state == Impl::State::kAppend) {
    p = m.append.data() + f.offset;
    n = static_cast<size_t>(f.length);
  } else if (m.entry_index) {  // stored without its trailing blanks
    p = m.entry_index->FieldInEntry(m.entry.data(), static_cast<uint32_t>(position), n);
  } else {
    p = m.current.data() + f.offset;
    n = static_cast<size_t>(f.length);
  }
  n = WithoutTrailingBlanks(p, n);
  while (n > 0 && static_cast<unsigned char>(p[0]) <= 32) ++p, --n;
  out.resize(n);
  if (HasHighBytes(p, n)) {
    codepage::OemToAnsi(p, out.data(), n);
  } else {
    std::memcpy(out.data(), p, n);
  }
}

std::string DbfTable::GetField(std::string_view name) const {
  const int position = FieldIndex(name);
  if (position < 0) throw TableError("Field " + std::string(name) + " not found");
  return GetField(position);
}

void DbfTable::Delete() {
  Impl& m = *impl_;
  m.RequireOpen();
  if (m.state == Impl::State::kAppend) {  // the record being appended is dropped
    m.state = Impl::State::kBrowse;
    m.modified = false;
    return;
  }
  if (m.recno == 0) throw TableError(kEmptyDataset);
  m.FlushPending();
  const char flag = kDeleted;
  if (!m.file->WriteAt(m.Offset(m.recno), &flag, 1)) m.ThrowWrite();
  m.Current();
  m.current[0] = kDeleted;
  if (m.recno >= m.cache_first && m.recno < m.cache_first + m.cache_count) {
    m.cache[size_t{m.recno - m.cache_first} * m.record_length] = kDeleted;
  }
  for (Impl::OpenIndex& i : m.indexes) i.index->MarkDeleted(m.recno);
}

uint32_t DbfTable::RecNo() const {
  return impl_->state == Impl::State::kBrowse ? impl_->recno : 0;
}

uint32_t DbfTable::RecordCount() const {
  return impl_->record_count;
}

bool DbfTable::GoToRecord(uint32_t recno) {
  Impl& m = *impl_;
  m.RequireOpen();
  m.CheckBrowse();
  if (recno == 0 || recno > m.record_count) return false;
  const char* r = m.Record(recno, Direction::kAround);
  m.Take(recno, r);
  m.bof = m.eof = false;
  if (m.active) m.active->Seek(m.Current(), recno);
  return r[0] == kLive;
}

bool DbfTable::IsDeleted(uint32_t recno) {
  Impl& m = *impl_;
  m.RequireOpen();
  if (recno == 0 || recno > m.record_count) return false;
  return m.Record(recno, Direction::kAround)[0] != kLive;
}

// ------------------------------------------------------------- indexes

void DbfTable::SetIndexOptions(const IndexOptions& options) {
  impl_->options = options;
}

void DbfTable::SetIndexProgress(std::function<void(uint64_t, uint64_t)> progress) {
  impl_->index_progress = std::move(progress);
}

void DbfTable::AddIndex(std::string_view index_file, std::string_view key_expression) {
  Impl& m = *impl_;
  m.RequireOpen();
  m.CheckBrowse();
  const int key = FieldIndex(key_expression);
  if (key < 0) {
    throw TableError("Cannot create index based on field \"" + std::string(key_expression) + "\"");
  }
  NameIndex::Layout layout;
  layout.record_length = m.record_length;
  for (const FieldDef& f : fields_) layout.field_lengths.push_back(static_cast<uint32_t>(f.length));
  layout.key_field = static_cast<uint32_t>(key);
  layout.key_name = fields_[static_cast<size_t>(key)].name;

  m.Current();  // the current record must not depend on an index that goes
  Impl::OpenIndex* old = m.FindIndex(index_file);
  const bool was_active = old && m.active == old->index.get();
  if (old) {  // replaced by the new one
    if (was_active) m.active = nullptr;
    m.indexes.erase(m.indexes.begin() + (old - m.indexes.data()));
  }
  auto index = NameIndex::Build(fs_, m.IndexPath(index_file), layout, m.options, m, m.record_count,
                                m.index_progress);
  m.indexes.push_back(Impl::OpenIndex{std::string(index_file), std::move(index)});
  if (was_active) {
    m.active = m.indexes.back().index.get();
    if (m.recno != 0) m.active->Seek(m.Current(), m.recno);
  } else if (!m.active) {
    index_name_.clear();
  }
}

void DbfTable::OpenIndexFile(std::string_view index_file) {
  Impl& m = *impl_;
  m.RequireOpen();
  if (m.FindIndex(index_file)) return;
  const std::string path = m.IndexPath(index_file);
  std::vector<uint32_t> lengths;
  for (const FieldDef& f : fields_) lengths.push_back(static_cast<uint32_t>(f.length));
  auto index = NameIndex::Load(fs_, path, lengths, m.options);
  const NameIndex::Layout& layout = index->layout();
  if (!text::EqualsIgnoreCase(fields_[layout.key_field].name, layout.key_name)) {
    throw TableError("Cannot open file " + path + ": the index does not belong to this table");
  }
  m.indexes.push_back(Impl::OpenIndex{std::string(index_file), std::move(index)});
}

void DbfTable::SetIndexName(std::string_view index_file) {
  Impl& m = *impl_;
  if (index_file.empty()) {
    if (m.state != Impl::State::kClosed) m.Current();
    m.active = nullptr;
    index_name_.clear();
    return;
  }
  m.RequireOpen();
  m.CheckBrowse();
  Impl::OpenIndex* index = m.FindIndex(index_file);
  if (!index) throw TableError("Index " + std::string(index_file) + " is not open");
  m.Current();
  m.active = index->index.get();
  index_name_ = std::string(index_file);
  if (m.recno != 0) {
    m.active->Seek(m.Current(), m.recno);
    m.bof = m.eof = false;
  }
}

}  // namespace toponyx::dbf
