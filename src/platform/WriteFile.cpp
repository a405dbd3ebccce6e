#include "platform/WriteFile.h"

#include "platform/FileAttributes.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace toponyx::platform {
namespace {

// One attempt; 0 or the errno of the failure.
int TryWrite(const std::string& path, std::string_view bytes) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return errno;
  const char* p = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    ssize_t w = ::write(fd, p, left);
    if (w < 0) {
      if (errno == EINTR) continue;
      int e = errno;
      ::close(fd);
      return e;
    }
    p += w;
    left -= static_cast<size_t>(w);
  }
  if (::close(fd) != 0) return errno;
  return 0;
}

}  // namespace

std::string WriteWholeFile(const std::string& path, std::string_view bytes) {
  int err = TryWrite(path, bytes);
  if (err == 0) return "";
  if (IsReadOnly(path) && SetReadOnly(path, false)) {
    err = TryWrite(path, bytes);
    if (err == 0) return "";
  }
  return std::strerror(err);
}

}  // namespace toponyx::platform
