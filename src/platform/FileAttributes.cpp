#include "platform/FileAttributes.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <ctime>

namespace toponyx::platform {

bool DosDateTimeToUnix(uint16_t dos_date, uint16_t dos_time, int64_t& seconds) {
  const int year = 1980 + (dos_date >> 9);
  const int month = (dos_date >> 5) & 0x0F;
  const int day = dos_date & 0x1F;
  const int hour = dos_time >> 11;
  const int minute = (dos_time >> 5) & 0x3F;
  const int second = (dos_time & 0x1F) * 2;
  if (month < 1 || month > 12 || day < 1 || hour > 23 || minute > 59 || second > 59) return false;
  static constexpr int kDaysInMonth[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (day > kDaysInMonth[month - 1]) return false;
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  if (month == 2 && day == 29 && !leap) return false;

  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  tm.tm_isdst = -1;  // the system decides whether summer time applies
  const std::time_t t = std::mktime(&tm);
  if (t == static_cast<std::time_t>(-1)) return false;
  seconds = static_cast<int64_t>(t);
  return true;
}

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

uint32_t ZipPermissions(uint32_t created_mode, uint8_t host_system, uint32_t external_attributes) {
  constexpr uint32_t kReadWrite = 0666;
  constexpr uint32_t kWriteBits = 0222;
  uint32_t mode = created_mode & kReadWrite;
  const uint32_t unix_mode = external_attributes >> 16;
  if ((host_system == kZipHostUnix || host_system == kZipHostDarwin) && unix_mode != 0) {
    mode &= unix_mode;
    mode |= 0400;  // the program must be able to read what it extracted
  } else if (external_attributes & 0x01) {
    mode &= ~kWriteBits;  // DOS read-only
  }
  return mode;
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
