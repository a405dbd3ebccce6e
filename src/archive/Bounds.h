// How far an archive may expand: bounds that keep a hostile or broken
// archive from filling the disk, shared by the ZIP extractor and the gzip
// expander.
#pragma once

#include <cstdint>
#include <string>

#include "platform/File.h"

namespace toponyx::archive {

// Beyond this size an expansion is measured against what it was packed
// into: gazetteer text packs 4 to 10 times, a block of zeros a thousand.
inline constexpr uint64_t kRatioFloor = uint64_t{100} << 20;
// A ZIP archive (each entry, and all its entries together) may expand to
// less than 1,000 times its packed size; a gzip file to less than 100 times.
inline constexpr uint64_t kZipMaxRatio = 1000;
inline constexpr uint64_t kGzipMaxRatio = 100;

// True when `expanded` bytes from `packed` pass the ratio bound.
inline bool PastRatio(uint64_t expanded, uint64_t packed, uint64_t max_ratio) {
  return expanded > kRatioFloor && expanded / (packed > 0 ? packed : 1) >= max_ratio;
}

// The free space of a folder's file system that no expansion may eat into:
// the smaller of 1 GiB and 5 % of the file system (none where the system
// cannot tell its size).
uint64_t SpaceReserve(platform::FileSystem& fs, const std::string& folder);

// The bytes an expansion into the folder may still write: its free space
// less the reserve; -1 where the system cannot tell.
int64_t SpaceForExpansion(platform::FileSystem& fs, const std::string& folder);

}  // namespace toponyx::archive
