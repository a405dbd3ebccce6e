#include "platform/WriteFile.h"

#include <cstring>
#include <random>
#include <vector>

#include "platform/Error.h"
#include "platform/File.h"
#include "platform/System.h"

namespace toponyx::platform {
namespace {

// True when the file holds exactly these bytes.
bool HoldsAlready(FileSystem& fs, const std::string& path, std::string_view bytes) {
  if (fs.KindOf(path) != FileSystem::Kind::kRegular) return false;
  const std::unique_ptr<File> file = fs.Open(path, OpenMode::kRead);
  if (!file || file->Size() != static_cast<int64_t>(bytes.size())) return false;
  std::vector<char> block(1 << 16);
  for (size_t at = 0; at < bytes.size();) {
    const int64_t n = file->Read(block.data(), block.size());
    if (n <= 0 || static_cast<size_t>(n) > bytes.size() - at ||
        std::memcmp(block.data(), bytes.data() + at, static_cast<size_t>(n)) != 0) {
      return false;
    }
    at += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

void WriteWholeFile(const std::string& path, std::string_view bytes) {
  FileSystem& fs = DefaultFileSystem();
  if (HoldsAlready(fs, path, bytes)) return;
  // A new file beside it, of a name nobody else uses, put in place at once
  // when complete.
  const size_t slash = path.find_last_of(kPathSeparators);
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  std::random_device seed;
  std::string fresh;
  std::unique_ptr<File> file;
  for (int attempt = 0; attempt < 100 && !file; ++attempt) {
    fresh = folder + "." + name + "." + std::to_string(seed() % 1000000000u);
    file = fs.Open(fresh, OpenMode::kCreateNew);
    if (!file && fs.Exists(fresh)) continue;  // taken: another name
    if (!file) break;
  }
  if (!file) throw Error(path + ": " + fs.LastError());
  std::string error;
  if (!file->Write(bytes.data(), bytes.size())) error = fs.LastError();
  if (!file->Close() && error.empty()) error = fs.LastError();
  if (error.empty() && !fs.Rename(fresh, path)) error = fs.LastError();
  if (!error.empty()) {
    fs.Remove(fresh);
    throw Error(path + ": " + error);
  }
}

}  // namespace toponyx::platform
