#include "platform/File.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace toponyx::platform {
namespace {

thread_local int last_errno = 0;

// Direct writes go in whole blocks of this size, from buffers aligned to it.
constexpr size_t kDirectBlock = 4096;

class PosixFile final : public File {
 public:
  explicit PosixFile(int fd) : fd_(fd) {}
  ~PosixFile() override { Close(); }

  int64_t Read(void* buffer, size_t n) override {
    if (!EndStream()) return -1;
    for (;;) {
      ssize_t r = ::read(fd_, buffer, n);
      if (r >= 0) return r;
      if (errno != EINTR) return Fail();
    }
  }

  int64_t ReadAt(uint64_t offset, void* buffer, size_t n) override {
    if (!EndStream()) return -1;
    size_t done = 0;
    auto* out = static_cast<char*>(buffer);
    while (done < n) {
      ssize_t r = ::pread(fd_, out + done, n - done, static_cast<off_t>(offset + done));
      if (r < 0) {
        if (errno == EINTR) continue;
        return Fail();
      }
      if (r == 0) break;
      done += static_cast<size_t>(r);
    }
    return static_cast<int64_t>(done);
  }

  bool Write(const void* data, size_t n) override {
    if (!EndStream()) return false;
    const auto* in = static_cast<const char*>(data);
    while (n > 0) {
      ssize_t w = ::write(fd_, in, n);
      if (w < 0) {
        if (errno == EINTR) continue;
        Fail();
        return false;
      }
      in += w;
      n -= static_cast<size_t>(w);
    }
    return true;
  }

  bool WriteAt(uint64_t offset, const void* data, size_t n) override {
    return EndStream() && PwriteAll(offset, data, n);
  }

  // The pieces go through a buffer aligned for direct I/O: the bytes before
  // the first block boundary are written through the cache, every whole
  // block straight to the disk, and the last part block waits for the next
  // piece (or any other call). Where the file system takes no direct
  // writes, everything goes through the cache as WriteAt does.
  bool StreamAt(uint64_t offset, const void* data, size_t n) override {
    const auto* in = static_cast<const char*>(data);
    if (stream_used_ > 0 && offset != stream_at_ + stream_used_ && !EndStream()) return false;
    if (stream_used_ == 0) {
      const size_t head = std::min(n, (kDirectBlock - offset % kDirectBlock) % kDirectBlock);
      if (head > 0 && !PwriteAll(offset, in, head)) return false;
      offset += head;
      in += head;
      n -= head;
      stream_at_ = offset;
    }
    if (n == 0) return true;
    if (no_direct_) {
      if (!PwriteAll(offset, in, n)) return false;
      StartWriteback(offset, n);
      return true;
    }
    if (stream_used_ + n > stream_capacity_) {
      const size_t capacity = (stream_used_ + n + kDirectBlock - 1) / kDirectBlock * kDirectBlock;
      void* block = std::aligned_alloc(kDirectBlock, capacity);
      if (block == nullptr) {
        errno = ENOMEM;
        Fail();
        return false;
      }
      if (stream_used_ > 0) std::memcpy(block, stream_.get(), stream_used_);
      stream_.reset(static_cast<char*>(block));
      stream_capacity_ = capacity;
    }
    std::memcpy(stream_.get() + stream_used_, in, n);
    stream_used_ += n;
    const size_t whole = stream_used_ / kDirectBlock * kDirectBlock;
    if (whole == 0) return true;
    if (!WriteDirect(stream_at_, stream_.get(), whole)) return false;
    stream_at_ += whole;
    stream_used_ -= whole;
    std::memmove(stream_.get(), stream_.get() + whole, stream_used_);
    return true;
  }

  bool Seek(uint64_t offset) override {
    if (!EndStream()) return false;
    if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) return Fail() == 0;
    return true;
  }

  int64_t Size() override {
    if (!EndStream()) return -1;
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return Fail();
    return st.st_size;
  }

  bool Truncate(uint64_t size) override {
    if (!EndStream()) return false;
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) return Fail() == 0;
    return true;
  }

  bool Flush() override { return EndStream(); }  // writes go straight to the system

  bool Sync() override {
    if (!EndStream()) return false;
    if (::fdatasync(fd_) != 0) return Fail() == 0;
    return true;
  }

  void StartWriteback(uint64_t offset, uint64_t length) override {
    ::sync_file_range(fd_, static_cast<off_t>(offset), static_cast<off_t>(length),
                      SYNC_FILE_RANGE_WRITE);
  }

  bool Discard(uint64_t offset, uint64_t length) override {
    if (!EndStream()) return false;
    return ::fallocate(fd_, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, static_cast<off_t>(offset),
                       static_cast<off_t>(length)) == 0;
  }

  bool Close() override {
    if (fd_ < 0) return true;
    const bool ended = EndStream();  // its failure is the one to report
    int r = ::close(fd_);
    fd_ = -1;
    stream_.reset();
    stream_capacity_ = 0;
    if (!ended) return false;
    if (r != 0) return Fail() == 0;
    return true;
  }

 private:
  struct FreeBlock {
    void operator()(char* p) const { std::free(p); }
  };

  int Fail() {
    last_errno = errno;
    return -1;
  }

  bool PwriteAll(uint64_t offset, const void* data, size_t n) {
    const auto* in = static_cast<const char*>(data);
    while (n > 0) {
      ssize_t w = ::pwrite(fd_, in, n, static_cast<off_t>(offset));
      if (w < 0) {
        if (errno == EINTR) continue;
        Fail();
        return false;
      }
      in += w;
      offset += static_cast<uint64_t>(w);
      n -= static_cast<size_t>(w);
    }
    return true;
  }

  // Writes whole blocks past the system's cache; the file is opened for
  // direct I/O only for the write, so every other call stays as it was.
  // A file system that refuses direct I/O gets this and every later piece
  // through the cache.
  bool WriteDirect(uint64_t offset, const char* data, size_t n) {
    const int flags = ::fcntl(fd_, F_GETFL);
    if (flags < 0 || ::fcntl(fd_, F_SETFL, flags | O_DIRECT) != 0) {
      no_direct_ = true;
      return PwriteAll(offset, data, n);
    }
    bool ok = true;
    while (n > 0) {
      ssize_t w = ::pwrite(fd_, data, n, static_cast<off_t>(offset));
      if (w < 0 && errno == EINTR) continue;
      if (w < 0 && errno == EINVAL) {
        no_direct_ = true;
        break;
      }
      if (w < 0) {
        ok = false;
        Fail();
        break;
      }
      data += w;
      offset += static_cast<uint64_t>(w);
      n -= static_cast<size_t>(w);
      if (n % kDirectBlock != 0) break;  // a short write that left a part block
    }
    const int saved = errno;
    ::fcntl(fd_, F_SETFL, flags);
    errno = saved;
    if (ok && n > 0) ok = PwriteAll(offset, data, n);
    return ok;
  }

  // Writes the part block a stream left over; every call but StreamAt
  // starts with it.
  bool EndStream() {
    if (stream_used_ == 0) return true;
    const size_t n = stream_used_;
    stream_used_ = 0;
    return PwriteAll(stream_at_, stream_.get(), n);
  }

  int fd_;
  std::unique_ptr<char, FreeBlock> stream_;
  size_t stream_capacity_ = 0;
  size_t stream_used_ = 0;
  uint64_t stream_at_ = 0;
  bool no_direct_ = false;
};

class PosixFileSystem final : public FileSystem {
 public:
  std::unique_ptr<File> Open(const std::string& path, OpenMode mode) override {
    int flags = O_CLOEXEC;
    switch (mode) {
      case OpenMode::kRead:
        // Never waits for a writer, should the path be a FIFO.
        flags |= O_RDONLY | O_NONBLOCK;
        break;
      case OpenMode::kReadWrite:
        flags |= O_RDWR;
        break;
      case OpenMode::kCreate:
        flags |= O_RDWR | O_CREAT | O_TRUNC;
        break;
      case OpenMode::kCreateNew:
        flags |= O_RDWR | O_CREAT | O_EXCL;
        break;
    }
    int fd;
    do {
      fd = ::open(path.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
      last_errno = errno;
      return nullptr;
    }
    if (mode == OpenMode::kRead || mode == OpenMode::kReadWrite) {
      struct stat st {};
      if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        last_errno = EISDIR;
        return nullptr;
      }
    }
    return std::make_unique<PosixFile>(fd);
  }

  bool Remove(const std::string& path) override {
    if (::unlink(path.c_str()) == 0) return true;
    last_errno = errno;
    return false;
  }

  bool Rename(const std::string& from, const std::string& to) override {
    if (::rename(from.c_str(), to.c_str()) == 0) return true;
    last_errno = errno;
    return false;
  }

  bool Exists(const std::string& path) override {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
  }

  bool IsDirectory(const std::string& path) override {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }

  bool CreateDirectories(const std::string& path) override {
    if (path.empty()) {
      last_errno = ENOENT;
      return false;
    }
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    if (IsDirectory(path)) return true;
    last_errno = ec ? ec.value() : ENOTDIR;
    return false;
  }

  std::string LastError() override { return std::strerror(last_errno); }
};

}  // namespace

FileSystem::Kind FileSystem::KindOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    last_errno = errno;
    return Kind::kNone;
  }
  if (S_ISREG(st.st_mode)) return Kind::kRegular;
  if (S_ISDIR(st.st_mode)) return Kind::kFolder;
  return Kind::kOther;
}

bool FileSystem::ListFiles(const std::string& folder, std::vector<std::string>& names) {
  names.clear();
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) {
    last_errno = errno;
    return false;
  }
  while (const dirent* e = ::readdir(dir)) {
    const std::string_view name(e->d_name);
    if (name == "." || name == "..") continue;
    struct stat st {};
    if (::fstatat(::dirfd(dir), e->d_name, &st, 0) == 0 && S_ISREG(st.st_mode)) {
      names.emplace_back(name);
    }
  }
  ::closedir(dir);
  return true;
}

bool FileSystem::SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    last_errno = errno;
    return false;
  }
  const bool synced = ::fsync(fd) == 0;
  if (!synced) last_errno = errno;
  ::close(fd);
  return synced;
}

int64_t FileSystem::FreeSpace(const std::string& folder) {
  struct statvfs vfs {};
  if (::statvfs(folder.c_str(), &vfs) != 0) return -1;
  return static_cast<int64_t>(vfs.f_bavail) * static_cast<int64_t>(vfs.f_frsize);
}

int64_t FileSystem::TotalSpace(const std::string& folder) {
  struct statvfs vfs {};
  if (::statvfs(folder.c_str(), &vfs) != 0) return -1;
  return static_cast<int64_t>(vfs.f_blocks) * static_cast<int64_t>(vfs.f_frsize);
}

FileSystem& DefaultFileSystem() {
  static PosixFileSystem fs;
  return fs;
}

}  // namespace toponyx::platform
