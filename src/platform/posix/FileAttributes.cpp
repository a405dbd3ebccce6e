// File times and attributes of extracted members, through the POSIX calls.
#include <fcntl.h>
#include <sys/stat.h>

#include <ctime>

#include "platform/FileAttributes.h"

namespace toponyx::platform {

bool SetModificationTimeFromDos(const std::string& path, uint16_t dos_date, uint16_t dos_time) {
  int64_t seconds = 0;
  if (!DosDateTimeToUnix(dos_date, dos_time, seconds)) return false;
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;  // access time unchanged
  times[1].tv_sec = static_cast<time_t>(seconds);
  times[1].tv_nsec = 0;
  return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

bool ModificationTime(const std::string& path, int64_t& seconds, int64_t& nanoseconds) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  seconds = static_cast<int64_t>(st.st_mtim.tv_sec);
  nanoseconds = static_cast<int64_t>(st.st_mtim.tv_nsec);
  return true;
}

bool ApplyZipAttributes(const std::string& path, uint8_t host_system,
                        uint32_t external_attributes) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  const uint32_t mode = ZipPermissions(st.st_mode & 07777, host_system, external_attributes);
  return ::chmod(path.c_str(), static_cast<mode_t>(mode)) == 0;
}

bool IsReadOnly(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  return (st.st_mode & 0222) == 0;
}

bool SetReadOnly(const std::string& path, bool read_only) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  mode_t mode = st.st_mode & 07777;
  mode = read_only ? (mode & ~static_cast<mode_t>(0222)) : (mode | S_IWUSR);
  return ::chmod(path.c_str(), mode) == 0;
}

}  // namespace toponyx::platform
