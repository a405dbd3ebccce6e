#include "support/TempDir.h"

#include "platform/System.h"


#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace toponyx::testing {

namespace {
// A UTF-8 path as the standard library takes it (on Windows it would read a
// narrow path in the ANSI code page).
std::filesystem::path FsPath(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}
std::string Utf8Name(const std::filesystem::path& path) {
  const std::u8string name = path.u8string();
  return std::string(name.begin(), name.end());
}
}  // namespace

TempDir::TempDir() {
  path_ = platform::CreateUniqueFolder(platform::SystemTempFolder(), "toponyx-test-");
  if (path_.empty()) throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
  std::error_code ec;
  // Make read-only files removable again before removing the tree.
  for (auto it = std::filesystem::recursive_directory_iterator(FsPath(path_), ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
  }
  platform::RemoveTree(path_);
}

std::string TempDir::File(std::string_view name) const {
  return platform::JoinPath(path_, name);
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(FsPath(path), std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void WriteFileBytes(const std::string& path, std::string_view bytes) {
  std::ofstream out(FsPath(path), std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("cannot write " + path);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::string> ListFolderNames(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(FsPath(folder), ec)) {
    names.push_back(Utf8Name(e.path().filename()));
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string RealDataDir() {
#ifdef TOPONYX_REALDATA
  std::error_code ec;
  if (std::filesystem::is_directory(TOPONYX_REALDATA, ec)) return TOPONYX_REALDATA;
#endif
  return "";
}

}  // namespace toponyx::testing
