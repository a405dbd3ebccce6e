#include "platform/FileAttributes.h"

#include <gtest/gtest.h>

#include <ctime>

namespace toponyx {
namespace {

uint16_t DosDate(int y, int m, int d) {
  return static_cast<uint16_t>(((y - 1980) << 9) | (m << 5) | d);
}
uint16_t DosTime(int h, int m, int s) {
  return static_cast<uint16_t>((h << 11) | (m << 5) | (s / 2));
}

TEST(FileAttributesTest, DosDatesAreLocalTimeAndChecked) {
  int64_t t = 0;
  for (const auto& [date, time] : {std::pair{DosDate(2004, 2, 29), DosTime(23, 59, 58)},
                                   std::pair{DosDate(1980, 1, 1), DosTime(0, 0, 0)},
                                   std::pair{DosDate(2023, 7, 14), DosTime(12, 30, 10)}}) {
    ASSERT_TRUE(platform::DosDateTimeToUnix(date, time, t));
    const std::time_t tt = static_cast<std::time_t>(t);
    std::tm local{};
#if defined(_WIN32)
    localtime_s(&local, &tt);
#else
    localtime_r(&tt, &local);
#endif
    EXPECT_EQ(DosDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday), date);
    EXPECT_EQ(DosTime(local.tm_hour, local.tm_min, local.tm_sec), time);
  }
  const std::pair<uint16_t, uint16_t> invalid[] = {
      {0, 0},                                    // no date at all
      {DosDate(2001, 13, 1), 0},                 // month 13
      {DosDate(2001, 2, 29), 0},                 // not a leap year
      {DosDate(2001, 4, 31), 0},                 // April has 30 days
      {DosDate(2001, 1, 1), DosTime(24, 0, 0)},  // hour 24
      {DosDate(2001, 1, 1), DosTime(1, 60, 0)},  // minute 60
      {DosDate(2001, 1, 1), (1 << 11) | 30},     // second 60
  };
  for (const auto& [date, time] : invalid) EXPECT_FALSE(platform::DosDateTimeToUnix(date, time, t));
}

TEST(FileAttributesTest, PermissionsNeverGrowBeyondTheCreatedOnes) {
  using platform::ZipPermissions;
  constexpr uint8_t kDos = 0, kUnix = 3, kDarwin = 19;
  EXPECT_EQ(ZipPermissions(0644, kDos, 0x20), 0644u);
  EXPECT_EQ(ZipPermissions(0644, kDos, 0x21), 0444u);             // read-only
  EXPECT_EQ(ZipPermissions(0666, kUnix, 0100755u << 16), 0644u);  // no execute bits
  EXPECT_EQ(ZipPermissions(0644, kUnix, 0106777u << 16), 0644u);  // nor set-ID bits
  EXPECT_EQ(ZipPermissions(0644, kDarwin, 0100444u << 16), 0444u);
  EXPECT_EQ(ZipPermissions(0644, kUnix, 0100000u << 16), 0400u);  // still readable
  EXPECT_EQ(ZipPermissions(0600, kUnix, 0120777u << 16), 0600u);  // a link: plain bits
  EXPECT_EQ(ZipPermissions(0644, kUnix, 0x01), 0444u);            // no mode bits: the DOS byte
}

}  // namespace
}  // namespace toponyx
