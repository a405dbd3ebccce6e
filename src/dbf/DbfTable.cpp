// The cursor of a table: its location and field list, the append state,
// the walk in file or index order, the field texts (the caller's ANSI
// converted to and from the file's OEM here, see FieldText.h), and its
// indexes. The file itself is DbfFile's; the sort behind an index is
// NameIndex's.
#include "dbf/DbfTable.h"

#include <algorithm>
#include <cstring>

#include "dbf/FieldText.h"
#include "dbf/NameIndex.h"
#include "platform/Ascii.h"
#include "platform/Check.h"
#include "platform/Paths.h"
#include "platform/System.h"

namespace toponyx::dbf {
namespace {

constexpr char kOpenDataset[] = "Cannot perform this operation on an open dataset";
constexpr char kClosedDataset[] = "Cannot perform this operation on a closed dataset";
constexpr char kEmptyDataset[] = "Cannot perform this operation on an empty dataset";
constexpr char kNotAppending[] = "Cannot perform this operation: no record is being appended";

using ReadAhead = DbfFile::ReadAhead;

}  // namespace

struct DbfTable::Impl final : RecordSource {
  Impl(DbfTable& owner, platform::FileSystem& fs) : t(owner), file(fs) {}

  DbfTable& t;
  DbfFile file;

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

  struct OpenIndex {
    std::string name;
    std::unique_ptr<NameIndex> index;
  };
  std::vector<OpenIndex> indexes;
  NameIndex* active = nullptr;
  IndexOptions options;

  void RequireOpen() const {
    if (state == State::kClosed) throw TableError(kClosedDataset);
  }
  const FieldDef& Field(int position) const {
    if (position < 0 || static_cast<size_t>(position) >= t.fields_.size()) {
      throw TableError("Field number " + std::to_string(position) + " out of range");
    }
    return t.fields_[static_cast<size_t>(position)];
  }

  void ReadRecords(uint32_t first, uint32_t n, char* out) override {
    file.ReadRecords(first, n, out);
  }

  void Take(uint32_t n, const char* record) {
    std::memcpy(current.data(), record, file.RecordLength());
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
  void Release();

  // File order.
  bool FileStep(uint32_t from, bool forward) {
    const uint32_t count = file.RecordCount();
    if (forward) {
      for (uint32_t n = from; n >= 1 && n <= count; ++n) {
        const char* r = file.CachedRecord(n, ReadAhead::kForward);
        if (r[0] == DbfFile::kLive) {
          Take(n, r);
          return true;
        }
      }
    } else {
      for (uint32_t n = from; n >= 1 && n <= count; --n) {
        const char* r = file.CachedRecord(n, ReadAhead::kBackward);
        if (r[0] == DbfFile::kLive) {
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
    if (n == 0 || n > file.RecordCount()) return false;
    if (index.detached()) {
      const char* r = file.CachedRecord(n, ReadAhead::kAround);
      if (r[0] != DbfFile::kLive) return false;
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

  // First or Last.
  void GoToEnd(Move move) {
    RequireOpen();
    CheckBrowse();
    if (Step(move)) {
      bof = eof = false;
    } else {
      Empty();
    }
    CheckCursor();
  }
  // Next or Prior: from the end already reached nothing moves.
  void StepOn(Move move) {
    RequireOpen();
    CheckBrowse();
    const bool forward = move == Move::kNext;
    if (forward ? eof : bof) return;
    if (recno == 0) return GoToEnd(forward ? Move::kFirst : Move::kLast);
    if (Step(move)) {
      (forward ? bof : eof) = false;
    } else {
      (forward ? eof : bof) = true;
    }
    CheckCursor();
  }

  // What holds between two moves of the cursor (checked builds only): an
  // open table browses its file, the current record is one of it (or none,
  // at both ends at once), a record kept in an index's form belongs to the
  // active index, and the active index is one of the open ones.
  void CheckCursor() const {
    TOPONYX_ASSERT(state == State::kBrowse);
    TOPONYX_ASSERT(recno <= file.RecordCount());
    TOPONYX_ASSERT(recno != 0 || (bof && eof));
    TOPONYX_ASSERT(current.size() == file.RecordLength());
    TOPONYX_ASSERT(entry_index == nullptr || entry_index == active);
    TOPONYX_ASSERT(active == nullptr ||
                   std::any_of(indexes.begin(), indexes.end(),
                               [this](const OpenIndex& i) { return i.index.get() == active; }));
  }

  bool Step(Move move) {
    if (active) return IndexStep(move);
    switch (move) {
      case Move::kFirst:
        return FileStep(1, true);
      case Move::kLast:
        return FileStep(file.RecordCount(), false);
      case Move::kNext:
        return FileStep(recno + 1, true);
      case Move::kPrior:
        return FileStep(recno - 1, false);
    }
    return false;
  }

  std::string IndexPath(std::string_view name) const {
    if (platform::IsAbsolutePath(name)) return std::string(name);
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
  std::vector<uint32_t> FieldLengths() const {
    std::vector<uint32_t> lengths;
    for (const FieldDef& f : t.fields_) lengths.push_back(static_cast<uint32_t>(f.length));
    return lengths;
  }
};

// ------------------------------------------------------------ location

DbfTable::DbfTable(BuildUi* ui, platform::FileSystem& fs, std::string base_folder)
    : impl_(std::make_unique<Impl>(*this, fs)),
      ui_(ui),
      fs_(fs),
      base_folder_(std::move(base_folder)) {
  file_path_ = FolderPath("");
}

DbfTable::~DbfTable() {
  try {
    Close();
  } catch (const std::exception&) {
    // A destructor cannot report; callers that care close explicitly.
  }
}

std::string DbfTable::FolderPath(std::string_view folder) const {
  std::string path;
  if (!base_folder_.empty() && !platform::IsAbsolutePath(folder)) {
    path = platform::JoinPath(base_folder_, folder);
  } else {
    path = std::string(folder);
  }
  if (!path.empty() && !platform::IsPathSeparator(path.back())) {
    path.push_back(platform::kPathSeparator);
  }
  return path;
}

void DbfTable::SetFilePath(std::string_view folder) {
  if (Active()) throw TableError(kOpenDataset);
  file_path_ = FolderPath(folder);
}

void DbfTable::SetTableName(std::string_view name) {
  if (Active()) throw TableError(kOpenDataset);
  const size_t slash = name.find_last_of(platform::kPathSeparators);
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
  f.type = platform::ToUpperAscii(type);
  f.length = std::clamp(length, 1, 254);
  f.decimals = 0;
  f.required = required;
  fields_.push_back(std::move(f));
}

int DbfTable::FieldIndex(std::string_view name) const {
  for (size_t i = 0; i < fields_.size(); ++i) {
    if (platform::EqualsIgnoreCase(fields_[i].name, name)) return static_cast<int>(i);
  }
  return -1;
}

// ------------------------------------------------------ open and close

void DbfTable::CreateTable() {
  if (Active()) throw TableError(kOpenDataset);
  DbfFile::Create(fs_, FullPath(), fields_);
}

void DbfTable::Open() {
  if (Active()) return;
  if (!fs_.Exists(FullPath())) CreateTable();
  Impl& m = *impl_;
  m.file.Open(FullPath(), platform::OpenMode::kReadWrite, ui_);
  fields_ = m.file.Fields();
  m.state = Impl::State::kBrowse;
  m.current.assign(m.file.RecordLength(), ' ');
  m.append.assign(m.file.RecordLength(), ' ');
  m.recno = 0;
  m.bof = m.eof = true;
  m.modified = false;
  First();
}

bool DbfTable::Active() const {
  return impl_->state != Impl::State::kClosed;
}

void DbfTable::Close() {
  Impl& m = *impl_;
  if (m.state == Impl::State::kClosed) return;
  m.state = Impl::State::kBrowse;  // an unposted record is dropped
  std::string error;
  try {
    m.file.Close();
  } catch (const TableError& e) {
    error = e.what();
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
  file.Release();
  indexes.clear();
  active = nullptr;
  state = State::kClosed;
  recno = 0;
  bof = eof = true;
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
  StoreFieldText(ansi_text, m.append.data() + f.offset, static_cast<size_t>(f.length));
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
  append[0] = DbfFile::kLive;
  file.AppendRecord(append.data());
  const uint32_t n = file.RecordCount();
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
  impl_->GoToEnd(Impl::Move::kFirst);
}

void DbfTable::Last() {
  impl_->GoToEnd(Impl::Move::kLast);
}

void DbfTable::Next() {
  impl_->StepOn(Impl::Move::kNext);
}

void DbfTable::Prior() {
  impl_->StepOn(Impl::Move::kPrior);
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
  ReadFieldText(p, n, out);
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
  m.file.MarkDeleted(m.recno);
  m.Current();
  m.current[0] = DbfFile::kDeleted;
  for (Impl::OpenIndex& i : m.indexes) i.index->MarkDeleted(m.recno);
}

uint32_t DbfTable::RecNo() const {
  return impl_->state == Impl::State::kBrowse ? impl_->recno : 0;
}

uint32_t DbfTable::RecordCount() const {
  return impl_->file.RecordCount();
}

bool DbfTable::GoToRecord(uint32_t recno) {
  Impl& m = *impl_;
  m.RequireOpen();
  m.CheckBrowse();
  if (recno == 0 || recno > m.file.RecordCount()) return false;
  const char* r = m.file.CachedRecord(recno, ReadAhead::kAround);
  m.Take(recno, r);
  m.bof = m.eof = false;
  if (m.active) m.active->Seek(m.Current(), recno);
  m.CheckCursor();
  return r[0] == DbfFile::kLive;
}

bool DbfTable::IsDeleted(uint32_t recno) {
  Impl& m = *impl_;
  m.RequireOpen();
  if (recno == 0 || recno > m.file.RecordCount()) return false;
  return m.file.CachedRecord(recno, ReadAhead::kAround)[0] != DbfFile::kLive;
}

// ------------------------------------------------------------- indexes

void DbfTable::SetIndexOptions(const IndexOptions& options) {
  impl_->options = options;
}

void DbfTable::AddIndex(std::string_view index_file, std::string_view key_expression) {
  Impl& m = *impl_;
  m.RequireOpen();
  m.CheckBrowse();
  const int key = FieldIndex(key_expression);
  if (key < 0) {
    throw TableError("Cannot create index based on field \"" + std::string(key_expression) + "\"");
  }
  IndexLayout layout;
  layout.record_length = m.file.RecordLength();
  layout.field_lengths = m.FieldLengths();
  layout.key_field = static_cast<uint32_t>(key);
  layout.key_name = fields_[static_cast<size_t>(key)].name;

  m.Current();  // the current record must not depend on an index that goes
  Impl::OpenIndex* old = m.FindIndex(index_file);
  const bool was_active = old && m.active == old->index.get();
  if (old) {  // replaced by the new one
    if (was_active) m.active = nullptr;
    m.indexes.erase(m.indexes.begin() + (old - m.indexes.data()));
  }
  auto index = NameIndex::Build(fs_, m.IndexPath(index_file), layout, m.options, m,
                                m.file.RecordCount(), IndexProgress());
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
  auto index = NameIndex::Load(fs_, path, m.FieldLengths(), m.options);
  const IndexLayout& layout = index->layout();
  if (!platform::EqualsIgnoreCase(fields_[layout.key_field].name, layout.key_name)) {
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
