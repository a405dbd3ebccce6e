#include "platform/FileAttributes.h"

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

}  // namespace toponyx::platform
