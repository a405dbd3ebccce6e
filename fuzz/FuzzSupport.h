// What the fuzz targets share: a file system in memory (so that a run is
// quick and a hostile size field cannot fill the disk), a private folder on
// disk for the code that reads real files, and the input split into a
// choice byte and the rest.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>

#include "platform/File.h"

namespace toponyx::fuzz {

// Files and folders in memory. Every file holds at most kMaxFile bytes: a
// write beyond fails as a full disk would.
class MemoryFileSystem final : public platform::FileSystem {
 public:
  static constexpr size_t kMaxFile = size_t{64} << 20;

  void Put(const std::string& path, std::string_view bytes) { files_[path] = std::string(bytes); }
  const std::string* Get(const std::string& path) const;
  void Clear() {
    files_.clear();
    folders_.clear();
  }

  std::unique_ptr<platform::File> Open(const std::string& path, platform::OpenMode mode) override;
  bool Remove(const std::string& path) override { return files_.erase(path) > 0; }
  bool Rename(const std::string& from, const std::string& to) override;
  bool Exists(const std::string& path) override {
    return files_.count(path) > 0 || folders_.count(path) > 0;
  }
  bool IsDirectory(const std::string& path) override { return folders_.count(path) > 0; }
  bool CreateDirectories(const std::string& path) override {
    folders_.insert(path);
    return true;
  }
  std::string LastError() override { return "in-memory file system"; }
  Kind KindOf(const std::string& path) override;
  int64_t FreeSpace(const std::string&) override { return int64_t{1} << 30; }

 private:
  std::map<std::string, std::string> files_;
  std::set<std::string> folders_;
};

// A folder of this process under /dev/shm (or the temporary folder),
// removed at exit; "" when none can be made.
const std::string& PrivateFolder();

// Writes bytes to a file on disk; false when it cannot.
bool WriteWholeFile(const std::string& path, std::string_view bytes);

// The first byte of an input picks one of `choices`; the rest is the data.
struct Choice {
  size_t pick;
  std::string_view rest;
};
inline Choice Split(const uint8_t* data, size_t size, size_t choices) {
  if (size == 0) return {0, {}};
  return {data[0] % choices, std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1)};
}

// When the environment names a folder in TOPONYX_FUZZ_WRITE_SEEDS, a target
// that makes its seeds itself (from the program's own writers) writes them
// there and the process ends.
const char* SeedFolder();
void WriteSeed(const std::string& name, std::string_view bytes);

}  // namespace toponyx::fuzz
