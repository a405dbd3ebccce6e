// libFuzzer target of the archive expanders. The first byte of an input
// chooses what the rest is:
//   0 to 3   a ZIP archive, extracted whole
//   4        a gzip file: header read and expansion
//   5 to 10  the compressed data of one entry under one method (shrunk,
//            reduced with factors 1 to 4, imploded); the next byte picks the
//            implode variant and two more the uncompressed size
// The archive is read from memory and the outputs only counted, so that a
// run is quick and a hostile size field cannot fill the disk. Only the
// expanders' own errors may come out; anything else is a finding.
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "FuzzSupport.h"
#include "archive/EntryStreams.h"
#include "archive/Gzip.h"
#include "archive/UnZip.h"
#include "archive/ZipMethods.h"
#include "platform/Error.h"

namespace {

using toponyx::platform::File;
using toponyx::platform::OpenMode;

// The archive as read-only bytes; every other file a sink that counts.
class MemoryFile final : public File {
 public:
  explicit MemoryFile(const std::string* bytes) : bytes_(bytes) {}
  int64_t Read(void* buffer, size_t n) override {
    const int64_t got = ReadAt(pos_, buffer, n);
    if (got > 0) pos_ += static_cast<uint64_t>(got);
    return got;
  }
  int64_t ReadAt(uint64_t offset, void* buffer, size_t n) override {
    if (!bytes_) return -1;
    if (offset >= bytes_->size()) return 0;
    const size_t k = std::min<uint64_t>(n, bytes_->size() - offset);
    std::memcpy(buffer, bytes_->data() + offset, k);
    return static_cast<int64_t>(k);
  }
  bool Write(const void*, size_t n) override {
    if (bytes_) return false;
    size_ += n;
    return true;
  }
  bool WriteAt(uint64_t, const void*, size_t) override { return false; }
  bool Seek(uint64_t offset) override {
    pos_ = offset;
    return true;
  }
  int64_t Size() override {
    return bytes_ ? static_cast<int64_t>(bytes_->size()) : static_cast<int64_t>(size_);
  }
  bool Truncate(uint64_t) override { return false; }
  bool Flush() override { return true; }
  bool Close() override { return true; }

 private:
  const std::string* bytes_;  // nullptr for an output
  uint64_t pos_ = 0;
  uint64_t size_ = 0;
};

class MemoryFileSystem final : public toponyx::platform::FileSystem {
 public:
  explicit MemoryFileSystem(std::string archive) : archive_(std::move(archive)) {}
  std::unique_ptr<File> Open(const std::string& path, OpenMode mode) override {
    if (path == kArchive) {
      return mode == OpenMode::kRead ? std::make_unique<MemoryFile>(&archive_) : nullptr;
    }
    if (mode == OpenMode::kRead) return nullptr;
    outputs_[path] = true;
    return std::make_unique<MemoryFile>(nullptr);
  }
  bool Remove(const std::string& path) override { return outputs_.erase(path) > 0; }
  bool Rename(const std::string&, const std::string&) override { return false; }
  bool Exists(const std::string& path) override {
    return path == kArchive || outputs_.count(path) > 0;
  }
  bool IsDirectory(const std::string& path) override { return path == kFolder; }
  bool CreateDirectories(const std::string&) override { return true; }
  std::string LastError() override { return "no"; }

  static constexpr const char* kArchive = "/nonexistent-fuzz/archive";
  static constexpr const char* kFolder = "/nonexistent-fuzz/out";

 private:
  std::string archive_;
  std::map<std::string, bool> outputs_;
};

void FuzzZip(const std::string& bytes, bool recreate) {
  MemoryFileSystem fs(bytes);
  toponyx::NullBuildUi ui;
  toponyx::archive::UnZip unzip(ui, fs);
  unzip.SetDestDir(MemoryFileSystem::kFolder);
  unzip.SetRecreateDirs(recreate);
  unzip.SetZipName(MemoryFileSystem::kArchive);
  try {
    unzip.Extract();
  } catch (const toponyx::Error&) {
  }
  for (int i = 0; i < unzip.Count(); ++i) (void)unzip.Entry(i).file_name.size();
}

void FuzzGzip(const std::string& bytes) {
  MemoryFileSystem fs(bytes);
  toponyx::NullBuildUi ui;
  toponyx::archive::Gzip gzip(ui, fs);
  gzip.SetFileSource(MemoryFileSystem::kArchive);
  try {
    if (gzip.ReadHeader() != toponyx::archive::GzipResult::kWhole) return;
  } catch (const toponyx::SilentAbort&) {
    return;
  }
  toponyx::archive::GzipOutputName(gzip.StoredName());
  // The expander reads and writes through the file interface: all in memory.
  gzip.SetFileDestination(std::string(MemoryFileSystem::kFolder) + "/out.usa");
  try {
    (void)gzip.Expand();
  } catch (const toponyx::Error&) {
  }
}

void FuzzMethod(int method, const std::string& rest) {
  if (rest.size() < 3) return;
  const uint8_t variant = static_cast<uint8_t>(rest[0]);
  const uint64_t size = static_cast<uint8_t>(rest[1]) | (static_cast<uint8_t>(rest[2]) << 8);
  MemoryFileSystem fs(rest.substr(3));
  auto archive = fs.Open(MemoryFileSystem::kArchive, OpenMode::kRead);
  toponyx::archive::EntryInput in(*archive, 0, rest.size() - 3, nullptr, "fuzz");
  MemoryFile sink(nullptr);
  toponyx::archive::EntryOutput out(&sink, size * 16, "fuzz");
  try {
    if (method == 1) {
      toponyx::archive::Unshrink(in, out);
    } else if (method <= 5) {
      toponyx::archive::Unreduce(in, out, method - 1);
    } else {
      toponyx::archive::Explode(in, out, variant & 1, variant & 2);
    }
  } catch (const toponyx::Error&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  const uint8_t mode = data[0] % 11;
  if (mode <= 3) {
    FuzzZip(rest, mode == 3);
  } else if (mode == 4) {
    FuzzGzip(rest);
  } else {
    FuzzMethod(mode - 4, rest);
  }
  return 0;
}
