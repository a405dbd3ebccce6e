// File times and attributes of extracted members, through the Windows API.
#include "platform/FileAttributes.h"

#include "platform/windows/Wide.h"

namespace toponyx::platform {

using win::WidePath;

bool SetModificationTimeFromDos(const std::string& path, uint16_t dos_date, uint16_t dos_time) {
  int64_t seconds = 0;
  if (!DosDateTimeToUnix(dos_date, dos_time, seconds)) return false;
  FILETIME local, written;
  if (!::DosDateTimeToFileTime(dos_date, dos_time, &local) ||
      !::LocalFileTimeToFileTime(&local, &written)) {
    return false;
  }
  const HANDLE file = ::CreateFileW(WidePath(path).c_str(), FILE_WRITE_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool set = ::SetFileTime(file, nullptr, nullptr, &written) != 0;
  ::CloseHandle(file);
  return set;
}

bool ModificationTime(const std::string& path, int64_t& seconds, int64_t& nanoseconds) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExW(WidePath(path).c_str(), GetFileExInfoStandard, &data)) return false;
  // 100 ns steps since 1601.
  const uint64_t ticks = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                         data.ftLastWriteTime.dwLowDateTime;
  constexpr uint64_t kTicksTo1970 = 116444736000000000ull;
  const int64_t since_1970 = static_cast<int64_t>(ticks - kTicksTo1970);
  seconds = since_1970 / 10000000;
  nanoseconds = since_1970 % 10000000 * 100;
  return true;
}

bool ApplyZipAttributes(const std::string& path, uint8_t host_system,
                        uint32_t external_attributes) {
  // The write bits of what ZipPermissions gives a file created read-write
  // decide the read-only attribute; Windows has no other bits to give.
  const uint32_t mode = ZipPermissions(0666, host_system, external_attributes);
  return SetReadOnly(path, (mode & 0222) == 0);
}

bool IsReadOnly(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(WidePath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

bool SetReadOnly(const std::string& path, bool read_only) {
  const std::wstring wide = WidePath(path);
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  const DWORD wanted = read_only ? (attributes | FILE_ATTRIBUTE_READONLY)
                                 : (attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  return wanted == attributes || ::SetFileAttributesW(wide.c_str(), wanted) != 0;
}

}  // namespace toponyx::platform
