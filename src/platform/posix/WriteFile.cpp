#include "platform/WriteFile.h"

#include "platform/Error.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <vector>

namespace toponyx::platform {
namespace {

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t w = ::write(fd, bytes.data(), bytes.size());
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(w));
  }
  return true;
}

// True when the file holds exactly these bytes.
bool HoldsAlready(const std::string& path, std::string_view bytes) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  bool same = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
              static_cast<uint64_t>(st.st_size) == bytes.size();
  std::vector<char> block(1 << 16);
  for (size_t at = 0; same && at < bytes.size();) {
    const ssize_t n = ::read(fd, block.data(), block.size());
    if (n < 0 && errno == EINTR) continue;
    same = n > 0 && static_cast<size_t>(n) <= bytes.size() - at &&
           std::memcmp(block.data(), bytes.data() + at, static_cast<size_t>(n)) == 0;
    at += n > 0 ? static_cast<size_t>(n) : 0;
  }
  ::close(fd);
  return same;
}

}  // namespace

void WriteWholeFile(const std::string& path, std::string_view bytes) {
  if (HoldsAlready(path, bytes)) return;
  // A new file beside it, of a name nobody else uses, put in place at once
  // when complete.
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  std::random_device seed;
  std::string fresh;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    fresh = folder + "." + name + "." + std::to_string(seed() % 1000000000u);
    fd = ::open(fresh.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) throw Error(path + ": " + std::strerror(errno));
  const bool written = WriteAll(fd, bytes);
  int err = written ? 0 : errno;
  if (::close(fd) != 0 && err == 0) err = errno;
  if (err == 0 && ::rename(fresh.c_str(), path.c_str()) != 0) err = errno;
  if (err != 0) {
    ::unlink(fresh.c_str());
    throw Error(path + ": " + std::strerror(err));
  }
}

}  // namespace toponyx::platform
