#include "FuzzSupport.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace toponyx::fuzz {
namespace {

class MemoryFile final : public platform::File {
 public:
  MemoryFile(std::string& bytes, bool writable) : bytes_(bytes), writable_(writable) {}
  int64_t Read(void* buffer, size_t n) override {
    const int64_t got = ReadAt(pos_, buffer, n);
    if (got > 0) pos_ += static_cast<uint64_t>(got);
    return got;
  }
  int64_t ReadAt(uint64_t offset, void* buffer, size_t n) override {
    if (offset >= bytes_.size()) return 0;
    const size_t k = static_cast<size_t>(std::min<uint64_t>(n, bytes_.size() - offset));
    std::memcpy(buffer, bytes_.data() + offset, k);
    return static_cast<int64_t>(k);
  }
  bool Write(const void* data, size_t n) override {
    if (!WriteAt(pos_, data, n)) return false;
    pos_ += n;
    return true;
  }
  bool WriteAt(uint64_t offset, const void* data, size_t n) override {
    if (!writable_ || offset > MemoryFileSystem::kMaxFile ||
        n > MemoryFileSystem::kMaxFile - offset) {
      return false;
    }
    if (bytes_.size() < offset + n) bytes_.resize(offset + n);
    if (n > 0) std::memcpy(bytes_.data() + offset, data, n);
    return true;
  }
  bool Seek(uint64_t offset) override {
    pos_ = offset;
    return true;
  }
  int64_t Size() override { return static_cast<int64_t>(bytes_.size()); }
  bool Truncate(uint64_t size) override {
    if (!writable_ || size > MemoryFileSystem::kMaxFile) return false;
    bytes_.resize(size);
    return true;
  }
  bool Flush() override { return true; }
  bool Close() override { return true; }

 private:
  std::string& bytes_;
  bool writable_;
  uint64_t pos_ = 0;
};

}  // namespace

const std::string* MemoryFileSystem::Get(const std::string& path) const {
  auto it = files_.find(path);
  return it == files_.end() ? nullptr : &it->second;
}

std::unique_ptr<platform::File> MemoryFileSystem::Open(const std::string& path,
                                                       platform::OpenMode mode) {
  auto it = files_.find(path);
  switch (mode) {
    case platform::OpenMode::kRead:
    case platform::OpenMode::kReadWrite:
      if (it == files_.end()) return nullptr;
      break;
    case platform::OpenMode::kCreate:
      it = files_.insert_or_assign(path, std::string()).first;
      break;
    case platform::OpenMode::kCreateNew:
      if (it != files_.end()) return nullptr;
      it = files_.emplace(path, std::string()).first;
      break;
  }
  // std::map keeps its elements in place while others come and go.
  return std::make_unique<MemoryFile>(it->second, mode != platform::OpenMode::kRead);
}

bool MemoryFileSystem::Rename(const std::string& from, const std::string& to) {
  auto it = files_.find(from);
  if (it == files_.end()) return false;
  std::string bytes = std::move(it->second);
  files_.erase(it);
  files_[to] = std::move(bytes);
  return true;
}

platform::FileSystem::Kind MemoryFileSystem::KindOf(const std::string& path) {
  if (files_.count(path)) return Kind::kRegular;
  if (folders_.count(path)) return Kind::kFolder;
  return Kind::kNone;
}

const std::string& PrivateFolder() {
  static const std::string folder = [] {
    std::string base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
    std::string pattern = base + "/toponyx-fuzz-XXXXXX";
    if (!::mkdtemp(pattern.data())) return std::string();
    static std::string made;
    made = pattern;
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(made, ec);
    });
    return pattern;
  }();
  return folder;
}

bool WriteWholeFile(const std::string& path, std::string_view bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

const char* SeedFolder() {
  return std::getenv("TOPONYX_FUZZ_WRITE_SEEDS");
}

void WriteSeed(const std::string& name, std::string_view bytes) {
  const std::string path = std::string(SeedFolder()) + "/" + name;
  if (!WriteWholeFile(path, bytes)) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    std::exit(1);
  }
}

}  // namespace toponyx::fuzz
