#include "platform/Paths.h"

#include "platform/System.h"

namespace toponyx::platform {

namespace {

// The length of the root a path begins with: "/" on POSIX systems; on
// Windows "C:\", "\\server\share\" or a lone "\"; 0 for a relative path.
size_t RootLength(std::string_view path) {
#if defined(_WIN32)
  if (path.size() >= 2 && path[1] == ':') {
    return path.size() >= 3 && IsPathSeparator(path[2]) ? 3 : 2;
  }
  if (path.size() >= 2 && IsPathSeparator(path[0]) && IsPathSeparator(path[1])) {
    size_t at = path.find_first_of(kPathSeparators, 2);  // after the server
    if (at != std::string_view::npos) at = path.find_first_of(kPathSeparators, at + 1);  // share
    return at == std::string_view::npos ? path.size() : at + 1;
  }
#endif
  return !path.empty() && IsPathSeparator(path[0]) ? 1 : 0;
}

}  // namespace

bool IsAbsolutePath(std::string_view path) {
  return RootLength(path) > 0;
}

std::string AbsolutePath(std::string_view path, std::string_view base) {
  if (path.empty() || IsAbsolutePath(path) || base.empty()) return std::string(path);
  std::string folder(base);
  const size_t root = RootLength(folder);
  while (folder.size() > std::max<size_t>(root, 1) && IsPathSeparator(folder.back())) {
    folder.pop_back();
  }
  // Leading "." and ".." components, taken against the base.
  while (!path.empty()) {
    const size_t end = path.find_first_of(kPathSeparators);
    const std::string_view first = path.substr(0, end);
    if (first == ".") {
    } else if (first == "..") {
      const size_t slash = folder.find_last_of(kPathSeparators);
      folder.resize(slash == std::string::npos || slash + 1 <= root ? std::max<size_t>(root, 1)
                                                                    : slash);
    } else {
      break;
    }
    path.remove_prefix(end == std::string_view::npos ? path.size() : end + 1);
    while (!path.empty() && IsPathSeparator(path.front())) path.remove_prefix(1);
  }
  if (path.empty()) return folder;
  if (!folder.empty() && IsPathSeparator(folder.back())) return folder + std::string(path);
  return JoinPath(folder, path);
}

}  // namespace toponyx::platform
