// The table as the program uses it: its location and field list, and the
// cursor on one record (see DbfTable.h). The file itself is DbfFile's.
#include "dbf/DbfTable.h"

#include <algorithm>
#include <cstring>

#include "dbf/FieldText.h"
#include "platform/Ascii.h"
#include "platform/Check.h"
#include "platform/Paths.h"
#include "platform/System.h"

namespace toponyx::dbf {
namespace {

constexpr char kOpenDataset[] = "Cannot perform this operation on an open dataset";
constexpr char kClosedDataset[] = "Cannot perform this operation on a closed dataset";
constexpr char kEmptyDataset[] = "Cannot perform this operation on an empty dataset";

}  // namespace

struct DbfTable::Impl {
  explicit Impl(platform::FileSystem& fs) : file(fs) {}

  DbfFile file;
  bool open = false;
  std::vector<char> current;  // the current record: blanks on no record
  uint32_t recno = 0;         // 0: on no record

  // The cursor's state: an open table has its file and a record buffer of
  // its length, and stands on a record of the file or on none.
  void CheckState() const {
    TOPONYX_ASSERT(open == file.IsOpen());
    TOPONYX_ASSERT(!open || current.size() == file.RecordLength());
    TOPONYX_ASSERT(recno <= file.RecordCount());
    TOPONYX_ASSERT(open || recno == 0);
  }
  void RequireOpen() const {
    CheckState();
    if (!open) throw TableError(kClosedDataset);
  }
  const FieldDef& Field(const std::vector<FieldDef>& fields, int position) const {
    if (position < 0 || static_cast<size_t>(position) >= fields.size()) {
      throw TableError("Field number " + std::to_string(position) + " out of range");
    }
    return fields[static_cast<size_t>(position)];
  }
};

// ------------------------------------------------------------ location

DbfTable::DbfTable(BuildUi* ui, platform::FileSystem& fs, std::string base_folder)
    : impl_(std::make_unique<Impl>(fs)), ui_(ui), fs_(fs), base_folder_(std::move(base_folder)) {
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
  m.current.assign(m.file.RecordLength(), ' ');
  m.recno = 0;
  m.open = true;
  m.CheckState();
}

bool DbfTable::Active() const {
  return impl_->open;
}

void DbfTable::Close() {
  Impl& m = *impl_;
  if (!m.open) return;
  m.open = false;
  m.recno = 0;
  m.file.Close();  // releases the file even when it throws
  m.CheckState();
}

// -------------------------------------------------------------- cursor

bool DbfTable::GoToRecord(uint32_t recno) {
  Impl& m = *impl_;
  m.RequireOpen();
  if (recno == 0 || recno > m.file.RecordCount()) return false;
  const char* r = m.file.CachedRecord(recno);
  std::memcpy(m.current.data(), r, m.file.RecordLength());
  m.recno = recno;
  m.CheckState();
  return r[0] == DbfFile::kLive;
}

void DbfTable::GetField(int position, std::string& out) const {
  const Impl& m = *impl_;
  m.RequireOpen();
  const FieldDef& f = m.Field(fields_, position);
  ReadFieldText(m.current.data() + f.offset, static_cast<size_t>(f.length), out);
}

void DbfTable::Delete() {
  Impl& m = *impl_;
  m.RequireOpen();
  if (m.recno == 0) throw TableError(kEmptyDataset);
  m.file.MarkDeleted(m.recno);
  m.current[0] = DbfFile::kDeleted;
}

uint32_t DbfTable::RecordCount() const {
  return impl_->file.RecordCount();
}

bool DbfTable::IsDeleted(uint32_t recno) {
  Impl& m = *impl_;
  m.RequireOpen();
  if (recno == 0 || recno > m.file.RecordCount()) return false;
  return m.file.CachedRecord(recno)[0] != DbfFile::kLive;
}

}  // namespace toponyx::dbf
