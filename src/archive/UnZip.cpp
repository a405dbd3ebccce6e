#include "archive/UnZip.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <optional>
#include <unordered_map>

#include "archive/Bounds.h"
#include "archive/EntryStreams.h"
#include "archive/ZipDirectory.h"
#include "archive/ZipMethods.h"
#include "platform/Ascii.h"
#include "platform/Error.h"
#include "platform/FileAttributes.h"
#include "platform/System.h"
#include "text/CodePage.h"
#include "text/Text.h"

namespace toponyx::archive {

namespace {
// The longest name of a file or folder that file systems take.
constexpr size_t kLongestName = 255;
}  // namespace
namespace {

constexpr uint32_t kLocalSignature = 0x04034B50;
constexpr size_t kLocalSize = 30;
constexpr uint16_t kFlagImplode8k = 0x0002;
constexpr uint16_t kFlagImplode3Trees = 0x0004;
constexpr uint16_t kFlagDataDescriptor = 0x0008;
constexpr uint16_t kFlagStrongEncryption = 0x0040;

using platform::LoadLe16;
using platform::LoadLe32;

}  // namespace

struct UnZip::Directory {
  std::vector<ZipEntry> entries;
  int64_t mtime_seconds = 0;
  int64_t mtime_nanoseconds = 0;
  int64_t size = -1;
};

UnZip::UnZip(BuildUi& ui, platform::FileSystem& fs) : ui_(ui), fs_(fs) {}
UnZip::~UnZip() = default;

void UnZip::SetDestDir(const std::string& folder) {
  dest_dir_ = folder;
  while (!dest_dir_.empty() && (dest_dir_.back() == '/' || dest_dir_.back() == '\\')) {
    dest_dir_.pop_back();
  }
  dest_set_ = true;
}

void UnZip::SetKeepZipOpen(bool keep) {
  keep_open_ = keep;
  if (!keep) CloseArchive();
}

void UnZip::SetZipName(const std::string& path) {
  if (path == zip_name_) return;
  zip_name_ = path;
  directory_.reset();
  CloseArchive();
}

platform::File& UnZip::OpenArchive() {
  if (!archive_) {
    archive_ = fs_.Open(zip_name_, platform::OpenMode::kRead);
    if (!archive_) throw Error("Cannot open file " + zip_name_);
  }
  return *archive_;
}

void UnZip::CloseArchive() {
  if (archive_) archive_->Close();
  archive_.reset();
}

void UnZip::LoadDirectory(platform::File& archive) {
  int64_t seconds = 0, nanoseconds = 0;
  platform::ModificationTime(zip_name_, seconds, nanoseconds);
  const int64_t size = archive.Size();
  if (directory_ && directory_->size == size && directory_->mtime_seconds == seconds &&
      directory_->mtime_nanoseconds == nanoseconds) {
    return;
  }
  directory_.reset();

  auto dir = std::make_unique<Directory>();
  dir->mtime_seconds = seconds;
  dir->mtime_nanoseconds = nanoseconds;
  dir->size = size;
  dir->entries = ReadZipDirectory(archive);
  directory_ = std::move(dir);
}

int UnZip::Count() {
  if (zip_name_.empty()) return 0;
  try {
    LoadDirectory(OpenArchive());
  } catch (const Error&) {
    if (!keep_open_) CloseArchive();
    return 0;
  }
  if (!keep_open_) CloseArchive();
  return static_cast<int>(directory_->entries.size());
}

const ZipEntry& UnZip::Entry(int index) {
  if (!directory_) Count();
  if (!directory_ || index < 0 || static_cast<size_t>(index) >= directory_->entries.size()) {
    throw Error("Index " + std::to_string(index) + " is out of range");
  }
  return directory_->entries[static_cast<size_t>(index)];
}

bool UnZip::Selected(const ZipEntry& e) const {
  if (do_all_) return true;
  for (const std::string& pattern : files_list_) {
    if (text::WildcardMatch(pattern, e.name) || text::WildcardMatch(pattern, e.file_name))
      return true;
  }
  return false;
}

// Entries whose stored data overlap are no archive that a program wrote:
// they are the trick of archives that expand one block of data many times
// over. Each entry takes at least its local header and its data.
void UnZip::RefuseOverlaps() const {
  std::vector<std::pair<uint64_t, uint64_t>> spans;
  spans.reserve(directory_->entries.size());
  for (const ZipEntry& e : directory_->entries) {
    const uint64_t end = e.local_header_offset + kLocalSize + e.compressed_size;
    spans.emplace_back(e.local_header_offset,
                       end < e.local_header_offset ? std::numeric_limits<uint64_t>::max() : end);
  }
  std::sort(spans.begin(), spans.end());
  for (size_t i = 1; i < spans.size(); ++i) {
    if (spans[i].first < spans[i - 1].second) {
      throw Error("Damaged Zip File " + zip_name_ + ": its entries overlap");
    }
  }
}

// The bounds on what one entry may write: its expansion is refused when it
// would eat into the reserve of its file system's free space, or when it
// expands beyond 100 MiB at 1,000 times its stored size or more (no
// gazetteer packs that tightly; a block of zeros does).
void UnZip::CheckBounds(const ZipEntry& e, const std::string& folder) const {
  if (PastRatio(e.uncompressed_size, e.compressed_size, kZipMaxRatio)) {
    throw Error("Zip File " + zip_name_ + ": " + e.name + " would expand to " +
                std::to_string(e.uncompressed_size) + " bytes from " +
                std::to_string(e.compressed_size) +
                ", more than 1,000 times its size; the archive is refused");
  }
  const int64_t room = SpaceForExpansion(fs_, folder);
  if (room >= 0 && e.uncompressed_size > static_cast<uint64_t>(room)) {
    throw Error("Not enough space in " + folder + " to expand " + e.name + " of " + zip_name_ +
                " (" + std::to_string(e.uncompressed_size) + " bytes needed, " +
                std::to_string(room) + " free)");
  }
}

// The same bounds over the whole archive: the sum of the entries it would
// expand against the archive's size and against the room in the
// destination, before anything is written (many entries each within the
// bounds must not fill the disk together).
void UnZip::CheckArchiveBounds(platform::File& archive) const {
  uint64_t sum = 0;
  for (const ZipEntry& e : directory_->entries) {
    if (!Selected(e) || e.file_name.empty()) continue;
    // An entry past the bounds alone is named.
    if (dest_set_) CheckBounds(e, dest_dir_);
    sum += e.uncompressed_size;
    if (sum < e.uncompressed_size) sum = std::numeric_limits<uint64_t>::max();
  }
  const int64_t size = archive.Size();
  if (PastRatio(sum, size > 0 ? static_cast<uint64_t>(size) : 0, kZipMaxRatio)) {
    throw Error("Zip File " + zip_name_ + ": its entries would expand to " + std::to_string(sum) +
                " bytes from " + std::to_string(size) +
                ", more than 1,000 times its size; the archive is refused");
  }
  if (!dest_set_) return;
  const int64_t room = SpaceForExpansion(fs_, dest_dir_);
  if (room >= 0 && sum > static_cast<uint64_t>(room)) {
    throw Error("Not enough space in " + dest_dir_ + " to expand " + zip_name_ + " (" +
                std::to_string(sum) + " bytes needed, " + std::to_string(room) + " free)");
  }
}

std::string UnZip::OutputPath(const ZipEntry& e) {
  if (!dest_set_) throw Error("Cannot create file " + e.file_name);  // no folder to write in
  if (!recreate_dirs_) return platform::JoinPath(dest_dir_, e.file_name);
  const std::string folder = RecreatedFolder(dest_dir_, e.folder);
  if (!fs_.CreateDirectories(folder)) {
    // A file of an earlier member stands where this member's folder goes.
    if (BlockedByFile(folder)) return {};
    throw Error("Cannot create file " + folder);
  }
  return e.file_name.empty() ? folder : platform::JoinPath(folder, e.file_name);
}

bool UnZip::BlockedByFile(const std::string& folder) {
  for (std::string at = folder; at.size() > dest_dir_.size();) {
    const platform::FileSystem::Kind kind = fs_.KindOf(at);
    if (kind == platform::FileSystem::Kind::kFolder) return false;
    if (kind != platform::FileSystem::Kind::kNone) return true;
    const size_t slash = at.find_last_of(platform::kPathSeparators);
    if (slash == std::string::npos) break;
    at.resize(slash);
  }
  return false;
}

void UnZip::PassOver(const ZipEntry& e, std::string_view why) {
  warnings_.push_back("The member " + e.name + " of " + zip_name_ +
                      " is passed over: " + std::string(why));
}

std::string UnZip::RecreatedFolder(const std::string& dest, std::string_view entry_folder) {
  std::string folder = dest;
  size_t start = 0;
  while (start < entry_folder.size()) {
    size_t slash = entry_folder.find('/', start);
    if (slash == std::string_view::npos) slash = entry_folder.size();
    const std::string_view part = entry_folder.substr(start, slash - start);
    start = slash + 1;
    if (part.empty() || part == "." || part == "..") continue;
    folder = platform::JoinPath(folder, part);
  }
  return folder;
}

int UnZip::Extract() {
  struct Closer {
    UnZip* self;
    ~Closer() {
      if (!self->keep_open_) self->CloseArchive();
    }
  } closer{this};
  platform::File& archive = OpenArchive();
  LoadDirectory(archive);
  RefuseOverlaps();
  CheckArchiveBounds(archive);
  for (ZipEntry& e : directory_->entries) e.kept = false;
  outputs_.clear();
  warnings_.clear();
  damaged_.clear();
  int extracted = 0;
  for (size_t i = 0; i < directory_->entries.size(); ++i) ExtractEntry(archive, i, extracted);
  outputs_.clear();
  return extracted;
}

void UnZip::ExtractEntry(platform::File& archive, size_t index, int& extracted) {
  ZipEntry& e = directory_->entries[index];
  if (!Selected(e)) return;
  if (e.file_name.empty()) {
    // Folder entries (and names that are no file names) create nothing,
    // except the folder itself when folders are recreated.
    if (recreate_dirs_ && dest_set_ && !e.name.empty() && e.name.back() == '/' &&
        e.name.find('\0') == std::string::npos) {
      OutputPath(e);
    }
    return;
  }
  // A name no file system takes (a part longer than 255 bytes).
  for (std::string_view part : {std::string_view(e.folder), std::string_view(e.file_name)}) {
    for (size_t start = 0; start <= part.size();) {
      const size_t slash = std::min(part.find('/', start), part.size());
      if (slash - start > kLongestName) {
        PassOver(e, "its name is longer than a file name may be");
        return;
      }
      start = slash + 1;
    }
  }
  const std::string path = OutputPath(e);
  if (path.empty() || fs_.IsDirectory(path)) {
    PassOver(e, "a file or folder of an earlier member stands in its way");
    return;
  }

  uint8_t local[kLocalSize];
  const int64_t got = archive.ReadAt(e.local_header_offset, local, sizeof local);
  if (got < 0) throw Error("Cannot read file " + zip_name_);
  if (got < static_cast<int64_t>(sizeof local)) throw Error("Premature end of file reached");
  if (LoadLe32(local) != kLocalSignature) return;  // damaged entry: nothing to extract
  uint64_t data = e.local_header_offset + kLocalSize + LoadLe16(local + 26) + LoadLe16(local + 28);
  uint64_t size = e.compressed_size;

  std::optional<ZipKeys> keys;
  if (e.encrypted) {
    // No password is given: the empty one is tried against the header.
    if ((e.flags & kFlagStrongEncryption) || size < 12) return;
    uint8_t header[12];
    const int64_t n = archive.ReadAt(data, header, sizeof header);
    if (n < 0) throw Error("Cannot read file " + zip_name_);
    if (n < static_cast<int64_t>(sizeof header)) throw Error("Premature end of file reached");
    keys.emplace();
    const uint8_t check = (e.flags & kFlagDataDescriptor) ? static_cast<uint8_t>(e.dos_time >> 8)
                                                          : static_cast<uint8_t>(e.crc32 >> 24);
    if (!keys->AcceptHeader(header, check)) return;
    data += 12;
    size -= 12;
  }

  CheckBounds(e, std::string(platform::FolderOf(path)));

  // Replace what stands under the name (a file this extraction wrote for an
  // earlier entry of the same name, or one of an earlier run).
  if (fs_.Exists(path)) fs_.Remove(path);
  std::unique_ptr<platform::File> out = fs_.Open(path, platform::OpenMode::kCreate);
  if (!out) throw Error("Cannot create file " + path);
  auto [previous, fresh] = outputs_.try_emplace(path, index);
  if (!fresh) {
    directory_->entries[previous->second].kept = false;
    previous->second = index;
  }

  EntryInput input(archive, data, size, process_messages_ ? &ui_ : nullptr, zip_name_);
  if (keys) input.SetKeys(&*keys);
  EntryOutput output(out.get(), e.uncompressed_size, path);
  Expansion result = Expansion::kDone;
  bool unknown_method = false;
  try {
    switch (e.method) {
      case 0:
        result = CopyStored(input, output);
        break;
      case 1:
        result = Unshrink(input, output);
        break;
      case 2:
      case 3:
      case 4:
      case 5:
        result = Unreduce(input, output, e.method - 1);
        break;
      case 6:
        result = Explode(input, output, (e.flags & kFlagImplode8k) != 0,
                         (e.flags & kFlagImplode3Trees) != 0);
        break;
      case 8:
        result = Inflate(input, output);
        break;
      default:
        ui_.ShowMessage(MessageKind::kError, "Unknown Compression Method", "Zip Error",
                        MessageButtons::kOk);
        unknown_method = true;
        break;
    }
    output.Flush();
  } catch (...) {
    out->Close();
    out.reset();
    fs_.Remove(path);
    throw;
  }
  const bool closed = out->Close();
  out.reset();
  if (!closed) {
    fs_.Remove(path);
    throw Error("Cannot write file " + path);
  }
  if (result != Expansion::kDone || output.size() != e.uncompressed_size ||
      output.crc() != e.crc32) {
    fs_.Remove(path);
    // A method not known has said so in its own box; anything else is
    // damage, named.
    if (!unknown_method) {
      damaged_.push_back(e.name);
      warnings_.push_back("The member " + e.name + " of " + zip_name_ +
                          " is passed over: its data are damaged (they do not match the size "
                          "and check its header gives)");
    }
    return;
  }
  if (retain_attributes_) {
    platform::ApplyZipAttributes(path, static_cast<uint8_t>(e.version_made_by >> 8),
                                 e.external_attributes);
  }
  platform::SetModificationTimeFromDos(path, e.dos_date, e.dos_time);
  e.kept = true;
  ++extracted;
}

}  // namespace toponyx::archive
