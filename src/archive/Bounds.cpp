#include "archive/Bounds.h"

#include <algorithm>

namespace toponyx::archive {

uint64_t SpaceReserve(platform::FileSystem& fs, const std::string& folder) {
  const int64_t total = fs.TotalSpace(folder);
  if (total <= 0) return 0;
  return std::min<uint64_t>(uint64_t{1} << 30, static_cast<uint64_t>(total) / 20);
}

int64_t SpaceForExpansion(platform::FileSystem& fs, const std::string& folder) {
  const int64_t free = fs.FreeSpace(folder);
  if (free < 0) return -1;
  const uint64_t reserve = SpaceReserve(fs, folder);
  return static_cast<uint64_t>(free) > reserve ? free - static_cast<int64_t>(reserve) : 0;
}

}  // namespace toponyx::archive
