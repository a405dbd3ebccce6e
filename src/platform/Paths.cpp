#include "platform/Paths.h"

#include "platform/System.h"

namespace toponyx::platform {

bool IsAbsolutePath(std::string_view path) {
  return !path.empty() && path.front() == kPathSeparator;
}

std::string AbsolutePath(std::string_view path, std::string_view base) {
  if (path.empty() || IsAbsolutePath(path) || base.empty()) return std::string(path);
  std::string folder(base);
  while (folder.size() > 1 && folder.back() == kPathSeparator) folder.pop_back();
  // Leading "." and ".." components, taken against the base.
  while (!path.empty()) {
    const size_t end = path.find(kPathSeparator);
    const std::string_view first = path.substr(0, end);
    if (first == ".") {
    } else if (first == "..") {
      const size_t slash = folder.rfind(kPathSeparator);
      folder.resize(slash == 0 || slash == std::string::npos ? 1 : slash);
    } else {
      break;
    }
    path.remove_prefix(end == std::string_view::npos ? path.size() : end + 1);
    while (!path.empty() && path.front() == kPathSeparator) path.remove_prefix(1);
  }
  if (path.empty()) return folder;
  if (folder.size() == 1 && folder[0] == kPathSeparator) return folder + std::string(path);
  return JoinPath(folder, path);
}

}  // namespace toponyx::platform
