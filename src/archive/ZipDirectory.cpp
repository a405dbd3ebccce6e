#include "archive/ZipDirectory.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <limits>

#include "platform/Ascii.h"
#include "platform/Error.h"
#include "text/CodePage.h"

namespace toponyx::archive {
namespace {

constexpr uint32_t kCentralSignature = 0x02014B50;
constexpr uint32_t kEndSignature = 0x06054B50;
constexpr uint32_t kZip64EndSignature = 0x06064B50;
constexpr uint32_t kZip64LocatorSignature = 0x07064B50;
constexpr size_t kEndSize = 22;
constexpr size_t kZip64EndSize = 56;
constexpr size_t kZip64LocatorSize = 20;
constexpr size_t kCentralSize = 46;
constexpr size_t kMaxComment = 0xFFFF;

constexpr uint16_t kFlagEncrypted = 0x0001;
constexpr uint16_t kFlagUtf8 = 0x0800;

const char kIncomplete[] = "Incomplete Zip File";
const char kSplitArchive[] =
    "This Zip File is split over several disks; split archives are not supported";

using platform::LoadLe16;
using platform::LoadLe32;
using platform::LoadLe64;

bool ReadExact(platform::File& f, uint64_t offset, void* buffer, size_t n) {
  return f.ReadAt(offset, buffer, n) == static_cast<int64_t>(n);
}

// Central directory bytes, read forward in blocks from the archive.
class DirectoryReader {
 public:
  DirectoryReader(platform::File& f, uint64_t start, uint64_t size)
      : file_(f), next_(start), left_(size) {}

  uint64_t left() const { return left_ + (end_ - at_); }

  // Makes n bytes available at *p; false when the directory holds fewer.
  bool Get(size_t n, const uint8_t*& p) {
    if (end_ - at_ < n) {
      if (left() < n) return false;
      if (end_ > at_) std::memmove(buffer_.data(), buffer_.data() + at_, end_ - at_);
      end_ -= at_;
      at_ = 0;
      if (buffer_.size() < std::max(n, kBlock)) buffer_.resize(std::max(n, kBlock));
      while (end_ < n) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(left_, buffer_.size() - end_));
        const int64_t got = file_.ReadAt(next_, buffer_.data() + end_, want);
        if (got <= 0) return false;
        end_ += static_cast<size_t>(got);
        next_ += static_cast<uint64_t>(got);
        left_ -= static_cast<uint64_t>(got);
      }
    }
    p = buffer_.data() + at_;
    at_ += n;
    return true;
  }
  // Gives back the last n bytes taken by Get.
  void Unget(size_t n) { at_ -= n; }

 private:
  static constexpr size_t kBlock = size_t{1} << 16;
  platform::File& file_;
  uint64_t next_;
  uint64_t left_;
  std::vector<uint8_t> buffer_;
  size_t at_ = 0;
  size_t end_ = 0;
};

struct EndRecord {
  uint64_t entries = 0;
  uint64_t directory_start = 0;  // where the central directory really is
  uint64_t directory_size = 0;
  int64_t shift = 0;  // bytes in front of the archive, added to every offset
  bool zip64 = false;
};

// Interprets the end record at `pos` of the file (and the ZIP64 records in
// front of it). False when this is no usable end record; `split` is set
// when it names another disk.
bool ParseEnd(platform::File& f, uint64_t pos, const uint8_t* rec, EndRecord& end, bool& split) {
  uint64_t disk = LoadLe16(rec + 4);
  uint64_t directory_disk = LoadLe16(rec + 6);
  uint64_t entries_here = LoadLe16(rec + 8);
  uint64_t entries = LoadLe16(rec + 10);
  uint64_t size = LoadLe32(rec + 12);
  uint64_t offset = LoadLe32(rec + 16);
  uint64_t directory_end = pos;  // the directory ends where the end records begin
  uint64_t disks = 1;

  uint8_t locator[kZip64LocatorSize];
  bool zip64 = false;
  if (pos >= kZip64LocatorSize && ReadExact(f, pos - kZip64LocatorSize, locator, sizeof locator) &&
      LoadLe32(locator) == kZip64LocatorSignature) {
    const uint64_t locator_pos = pos - kZip64LocatorSize;
    const uint64_t stated = LoadLe64(locator + 8);
    disks = LoadLe32(locator + 16);
    uint8_t rec64[kZip64EndSize];
    uint64_t at = 0;
    if (locator_pos >= kZip64EndSize && stated <= locator_pos - kZip64EndSize &&
        ReadExact(f, stated, rec64, sizeof rec64) && LoadLe32(rec64) == kZip64EndSignature) {
      at = stated;
      zip64 = true;
    } else if (locator_pos >= kZip64EndSize &&
               ReadExact(f, locator_pos - kZip64EndSize, rec64, sizeof rec64) &&
               LoadLe32(rec64) == kZip64EndSignature) {
      at = locator_pos - kZip64EndSize;  // data in front of the archive
      zip64 = true;
    }
    if (zip64) {
      disk = LoadLe32(rec64 + 16);
      directory_disk = LoadLe32(rec64 + 20);
      entries_here = LoadLe64(rec64 + 24);
      entries = LoadLe64(rec64 + 32);
      size = LoadLe64(rec64 + 40);
      offset = LoadLe64(rec64 + 48);
      directory_end = at;
    }
  }
  if (disk != 0 || directory_disk != 0 || entries_here != entries || disks > 1) {
    split = true;
    return false;
  }
  if (size > directory_end || entries > size / kCentralSize ||
      entries > static_cast<uint64_t>(std::numeric_limits<int>::max())) {
    return false;
  }
  const uint64_t expected = directory_end - size;
  if (offset > expected) return false;
  end.entries = entries;
  end.directory_size = size;
  end.directory_start = offset;
  end.shift = 0;
  end.zip64 = zip64;
  if (entries == 0) return true;
  uint8_t sig[4];
  if (ReadExact(f, offset, sig, 4) && LoadLe32(sig) == kCentralSignature) return true;
  if (expected != offset && ReadExact(f, expected, sig, 4) && LoadLe32(sig) == kCentralSignature) {
    end.directory_start = expected;
    end.shift = static_cast<int64_t>(expected - offset);
    return true;
  }
  return false;
}

EndRecord FindEnd(platform::File& f) {
  const int64_t file_size = f.Size();
  if (file_size < static_cast<int64_t>(kEndSize)) throw Error(kIncomplete);
  const uint64_t size = static_cast<uint64_t>(file_size);
  const size_t tail_size = static_cast<size_t>(std::min<uint64_t>(size, kEndSize + kMaxComment));
  const uint64_t tail_start = size - tail_size;
  std::vector<uint8_t> tail(tail_size);
  if (!ReadExact(f, tail_start, tail.data(), tail_size)) throw Error(kIncomplete);

  // Searched from the end; first the records whose comment ends within the
  // file, then (for a comment length that is wrong) any.
  bool first_split = false;
  bool first_seen = false;
  for (int pass = 0; pass < 2; ++pass) {
    for (size_t i = tail_size - kEndSize + 1; i-- > 0;) {
      if (LoadLe32(&tail[i]) != kEndSignature) continue;
      const bool fits = i + kEndSize + LoadLe16(&tail[i + 20]) <= tail_size;
      if (fits != (pass == 0)) continue;
      EndRecord end;
      bool split = false;
      if (ParseEnd(f, tail_start + i, &tail[i], end, split)) return end;
      if (!first_seen) {
        first_seen = true;
        first_split = split;
      }
    }
  }
  if (first_split) throw Error(kSplitArchive);
  throw Error(kIncomplete);
}

// Fills name, folder and file name from the raw name of a directory record.
void SetNames(ZipEntry& e, std::string_view raw, std::string_view unicode_path) {
  if ((e.flags & kFlagUtf8) && codepage::IsUtf8(raw)) {
    e.name.assign(raw);
  } else if (!unicode_path.empty()) {
    e.name.assign(unicode_path);
  } else {
    e.name = codepage::OemToUtf8(raw);
  }
  std::replace(e.name.begin(), e.name.end(), '\\', '/');
  const size_t slash = e.name.rfind('/');
  e.folder = slash == std::string::npos ? std::string() : e.name.substr(0, slash + 1);
  e.file_name = slash == std::string::npos ? e.name : e.name.substr(slash + 1);
  if (e.file_name == "." || e.file_name == ".." || e.name.find('\0') != std::string::npos) {
    e.file_name.clear();  // no file can be made of it
  }
}

// Reads the ZIP64 values and the Unicode path of an extra field.
void ReadExtra(ZipEntry& e, const uint8_t* p, size_t n, std::string_view raw_name, bool need_size,
               bool need_compressed, bool need_offset, std::string_view& unicode_path) {
  while (n >= 4) {
    const uint16_t id = LoadLe16(p);
    const uint16_t len = LoadLe16(p + 2);
    p += 4;
    n -= 4;
    if (len > n) return;  // malformed: the rest is ignored
    if (id == 0x0001) {
      const uint8_t* q = p;
      size_t left = len;
      auto take = [&](uint64_t& field) {
        if (left < 8) return;
        field = LoadLe64(q);
        q += 8;
        left -= 8;
      };
      if (need_size) take(e.uncompressed_size);
      if (need_compressed) take(e.compressed_size);
      if (need_offset) take(e.local_header_offset);
    } else if (id == 0x7075 && len > 5 && p[0] == 1) {
      const uint32_t crc = LoadLe32(p + 1);
      const auto* name = reinterpret_cast<const Bytef*>(raw_name.data());
      const std::string_view utf8(reinterpret_cast<const char*>(p + 5), len - 5u);
      if (crc32(crc32(0L, Z_NULL, 0), name, static_cast<uInt>(raw_name.size())) == crc &&
          codepage::IsUtf8(utf8)) {
        unicode_path = utf8;
      }
    }
    p += len;
    n -= len;
  }
}

}  // namespace

std::vector<ZipEntry> ReadZipDirectory(platform::File& archive) {
  std::vector<ZipEntry> entries;
  const EndRecord end = FindEnd(archive);
  // The count is only a hint: the list grows with the records really read.
  entries.reserve(static_cast<size_t>(std::min<uint64_t>(end.entries, 1u << 16)));
  DirectoryReader reader(archive, end.directory_start, end.directory_size);
  for (uint64_t n = 0;; ++n) {
    const uint8_t* r = nullptr;
    if (n >= end.entries) {
      // Without ZIP64 records a count of more than 65,535 entries wraps
      // around: records that follow within the directory still count.
      if (end.zip64 || !reader.Get(4, r)) break;
      const bool more = LoadLe32(r) == kCentralSignature;
      reader.Unget(4);
      if (!more) break;
    }
    if (!reader.Get(kCentralSize, r) || LoadLe32(r) != kCentralSignature) throw Error(kIncomplete);
    ZipEntry e;
    e.version_made_by = LoadLe16(r + 4);
    e.flags = LoadLe16(r + 8);
    e.method = LoadLe16(r + 10);
    e.dos_time = LoadLe16(r + 12);
    e.dos_date = LoadLe16(r + 14);
    e.crc32 = LoadLe32(r + 16);
    e.compressed_size = LoadLe32(r + 20);
    e.uncompressed_size = LoadLe32(r + 24);
    const size_t name_length = LoadLe16(r + 28);
    const size_t extra_length = LoadLe16(r + 30);
    const size_t comment_length = LoadLe16(r + 32);
    e.external_attributes = LoadLe32(r + 38);
    e.local_header_offset = LoadLe32(r + 42);
    e.encrypted = (e.flags & kFlagEncrypted) != 0;
    const bool need_size = e.uncompressed_size == 0xFFFFFFFF;
    const bool need_compressed = e.compressed_size == 0xFFFFFFFF;
    const bool need_offset = e.local_header_offset == 0xFFFFFFFF;

    const uint8_t* v = nullptr;
    if (!reader.Get(name_length + extra_length + comment_length, v)) throw Error(kIncomplete);
    const std::string_view raw(reinterpret_cast<const char*>(v), name_length);
    std::string_view unicode_path;
    ReadExtra(e, v + name_length, extra_length, raw, need_size, need_compressed, need_offset,
              unicode_path);
    SetNames(e, raw, unicode_path);
    e.local_header_offset += static_cast<uint64_t>(end.shift);
    entries.push_back(std::move(e));
  }
  if (entries.size() < end.entries) throw Error(kIncomplete);
  return entries;
}

}  // namespace toponyx::archive
