// Place records that look like those of real gazetteers, for the table
// benchmark: mixed case, accented letters (Windows-1252, stored in the OEM
// page by the table), many duplicate names, and some names longer than the
// 45 bytes of the NAME field. Deterministic for a given seed; no allocation
// per record once the buffers have grown.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace toponyx::bench {

struct PlaceText {
  std::string name;
  std::string full_code;
  std::string major_code;
  std::string latitude;
  std::string longitude;
};

class NameGenerator {
 public:
  explicit NameGenerator(uint64_t seed);
  void Next(PlaceText& out);

 private:
  uint64_t Random();
  uint32_t Below(uint32_t n) { return static_cast<uint32_t>((Random() >> 32) * n >> 32); }
  void AppendWord(std::string& out);
  void MakeName(std::string& out);
  void Degrees(double range, std::string& out);

  uint64_t state_;
  std::vector<std::string> recent_;  // names to repeat
  size_t recent_next_ = 0;
};

}  // namespace toponyx::bench
