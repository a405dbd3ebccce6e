// Files through the wide-character Windows API. Every read and write names
// its offset (the handle's own position is never used), so a file read
// and written at offsets and one read from its start behave as on POSIX.
// Files are opened so that they can be renamed and removed while open, as
// POSIX files can.
#include "platform/File.h"

#include <filesystem>
#include <system_error>

#include "platform/windows/Wide.h"

namespace toponyx::platform {
namespace {

using win::LastFailure;
using win::SetLastFailure;
using win::WidePath;

class WinFile final : public File {
 public:
  explicit WinFile(HANDLE handle) : handle_(handle) {}
  ~WinFile() override { Close(); }

  int64_t Read(void* buffer, size_t n) override {
    const int64_t got = ReadAt(position_, buffer, n);
    if (got > 0) position_ += static_cast<uint64_t>(got);
    return got;
  }

  int64_t ReadAt(uint64_t offset, void* buffer, size_t n) override {
    size_t done = 0;
    auto* out = static_cast<char*>(buffer);
    while (done < n) {
      OVERLAPPED at = Offset(offset + done);
      DWORD got = 0;
      const DWORD want = static_cast<DWORD>(std::min<size_t>(n - done, 1u << 30));
      if (!::ReadFile(handle_, out + done, want, &got, &at)) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_HANDLE_EOF) break;
        SetLastFailure(error);
        return -1;
      }
      if (got == 0) break;
      done += got;
    }
    return static_cast<int64_t>(done);
  }

  bool Write(const void* data, size_t n) override {
    if (!WriteAt(position_, data, n)) return false;
    position_ += n;
    return true;
  }

  bool WriteAt(uint64_t offset, const void* data, size_t n) override {
    const auto* in = static_cast<const char*>(data);
    size_t done = 0;
    while (done < n) {
      OVERLAPPED at = Offset(offset + done);
      DWORD put = 0;
      const DWORD want = static_cast<DWORD>(std::min<size_t>(n - done, 1u << 30));
      if (!::WriteFile(handle_, in + done, want, &put, &at)) {
        SetLastFailure(::GetLastError());
        return false;
      }
      if (put == 0) {
        SetLastFailure(ERROR_DISK_FULL);
        return false;
      }
      done += put;
    }
    return true;
  }

  bool Seek(uint64_t offset) override {
    position_ = offset;
    return true;
  }

  int64_t Size() override {
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(handle_, &size)) {
      SetLastFailure(::GetLastError());
      return -1;
    }
    return size.QuadPart;
  }

  bool Truncate(uint64_t size) override {
    FILE_END_OF_FILE_INFO end;
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    if (!::SetFileInformationByHandle(handle_, FileEndOfFileInfo, &end, sizeof end)) {
      SetLastFailure(::GetLastError());
      return false;
    }
    return true;
  }

  bool Flush() override { return true; }  // every write goes straight to the system

  bool Sync() override {
    if (!::FlushFileBuffers(handle_)) {
      SetLastFailure(::GetLastError());
      return false;
    }
    return true;
  }

  bool Close() override {
    if (handle_ == INVALID_HANDLE_VALUE) return true;
    const bool closed = ::CloseHandle(handle_) != 0;
    if (!closed) SetLastFailure(::GetLastError());
    handle_ = INVALID_HANDLE_VALUE;
    return closed;
  }

 private:
  static OVERLAPPED Offset(uint64_t offset) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return at;
  }

  HANDLE handle_;
  uint64_t position_ = 0;
};

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

class WinFileSystem final : public FileSystem {
 public:
  std::unique_ptr<File> Open(const std::string& path, OpenMode mode) override {
    DWORD access = GENERIC_READ;
    DWORD disposition = OPEN_EXISTING;
    switch (mode) {
      case OpenMode::kRead:
        break;
      case OpenMode::kReadWrite:
        access |= GENERIC_WRITE;
        break;
      case OpenMode::kCreate:
        access |= GENERIC_WRITE;
        disposition = CREATE_ALWAYS;
        break;
      case OpenMode::kCreateNew:
        access |= GENERIC_WRITE;
        disposition = CREATE_NEW;
        break;
    }
    const std::wstring wide = WidePath(path);
    // A read-only file is replaced like any other when created anew.
    if (mode == OpenMode::kCreate) ClearReadOnly(wide);
    const HANDLE handle = ::CreateFileW(wide.c_str(), access, kShareAll, nullptr, disposition,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      SetLastFailure(::GetLastError());
      return nullptr;
    }
    if (::GetFileType(handle) != FILE_TYPE_DISK) {  // a device, a pipe
      ::CloseHandle(handle);
      SetLastFailure(ERROR_BAD_FILE_TYPE);
      return nullptr;
    }
    return std::make_unique<WinFile>(handle);
  }

  bool Remove(const std::string& path) override {
    const std::wstring wide = WidePath(path);
    if (::DeleteFileW(wide.c_str())) return true;
    SetLastFailure(::GetLastError());
    return false;
  }

  bool Rename(const std::string& from, const std::string& to) override {
    const std::wstring target = WidePath(to);
    ClearReadOnly(target);
    if (::MoveFileExW(WidePath(from).c_str(), target.c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return true;
    }
    SetLastFailure(::GetLastError());
    return false;
  }

  bool Exists(const std::string& path) override {
    return ::GetFileAttributesW(WidePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
  }

  bool IsDirectory(const std::string& path) override {
    const DWORD attributes = ::GetFileAttributesW(WidePath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
  }

  bool CreateDirectories(const std::string& path) override {
    if (path.empty()) {
      SetLastFailure(ERROR_PATH_NOT_FOUND);
      return false;
    }
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(WidePath(path)), ec);
    if (IsDirectory(path)) return true;
    SetLastFailure(ec ? static_cast<DWORD>(ec.value()) : ERROR_DIRECTORY);
    return false;
  }

  std::string LastError() override { return win::ErrorText(LastFailure()); }

 private:
  static void ClearReadOnly(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
        !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      ::SetFileAttributesW(path.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    }
  }
};

}  // namespace

FileSystem::Kind FileSystem::KindOf(const std::string& path) {
  const std::wstring wide = WidePath(path);
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    SetLastFailure(::GetLastError());
    return Kind::kNone;
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return Kind::kFolder;
  if (attributes & FILE_ATTRIBUTE_DEVICE) return Kind::kOther;
  // A name of a device ("NUL", "COM1") answers as a file: ask the handle.
  const HANDLE handle = ::CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return Kind::kRegular;
  const DWORD type = ::GetFileType(handle);
  ::CloseHandle(handle);
  return type == FILE_TYPE_DISK ? Kind::kRegular : Kind::kOther;
}

bool FileSystem::ListFiles(const std::string& folder, std::vector<std::string>& names) {
  names.clear();
  WIN32_FIND_DATAW found;
  const std::wstring pattern = WidePath(folder + "\\*");
  const HANDLE search = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found,
                                           FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) return true;  // an empty folder
    SetLastFailure(error);
    return false;
  }
  do {
    if (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) continue;
    names.push_back(win::Utf8(found.cFileName));
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  return true;
}

bool FileSystem::SyncFolder(const std::string&) {
  // A rename is written through (MOVEFILE_WRITE_THROUGH): the folder's
  // entries are on the disk when it returns.
  return true;
}

int64_t FileSystem::FreeSpace(const std::string& folder) {
  ULARGE_INTEGER free_to_caller, total, free_total;
  if (!::GetDiskFreeSpaceExW(WidePath(folder).c_str(), &free_to_caller, &total, &free_total)) {
    return -1;
  }
  return static_cast<int64_t>(free_to_caller.QuadPart);
}

int64_t FileSystem::TotalSpace(const std::string& folder) {
  ULARGE_INTEGER free_to_caller, total, free_total;
  if (!::GetDiskFreeSpaceExW(WidePath(folder).c_str(), &free_to_caller, &total, &free_total)) {
    return -1;
  }
  return static_cast<int64_t>(total.QuadPart);
}

FileSystem& DefaultFileSystem() {
  static WinFileSystem fs;
  return fs;
}

}  // namespace toponyx::platform
