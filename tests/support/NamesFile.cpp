#include "support/NamesFile.h"

#include <cstdint>
#include <stdexcept>

#include "support/TempDir.h"

namespace toponyx::testing {
namespace {
uint32_t U32(const std::string& b, size_t at) {
  return static_cast<uint32_t>(static_cast<unsigned char>(b[at])) |
         static_cast<uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
         static_cast<uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
         static_cast<uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}
uint32_t U16(const std::string& b, size_t at) {
  return static_cast<uint32_t>(static_cast<unsigned char>(b[at])) |
         static_cast<uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8;
}
}  // namespace

std::vector<NamesRecord> ReadNamesFile(const std::string& path) {
  const std::string b = ReadFileBytes(path);
  if (b.size() < 194) throw std::runtime_error("too short: " + path);
  if (b[0] != 0x03) throw std::runtime_error("not a dBASE III table");
  const uint32_t count = U32(b, 4);
  const uint32_t header = U16(b, 8);
  const uint32_t record = U16(b, 10);
  if (header != 193 || record != 146) throw std::runtime_error("not the place layout");
  if (b[192] != 0x0D) throw std::runtime_error("no header terminator");
  if (b.size() != 193 + static_cast<size_t>(count) * 146 + 1) {
    throw std::runtime_error("size does not match the record count");
  }
  if (b.back() != 0x1A) throw std::runtime_error("no end marker");
  static constexpr int kWidths[5] = {45, 40, 40, 10, 10};
  std::vector<NamesRecord> out;
  for (uint32_t i = 0; i < count; ++i) {
    size_t at = 193 + static_cast<size_t>(i) * 146;
    NamesRecord r;
    r.flag = b[at];
    size_t off = at + 1;
    for (int f = 0; f < 5; ++f) {
      std::string v = b.substr(off, static_cast<size_t>(kWidths[f]));
      while (!v.empty() && v.back() == ' ') v.pop_back();
      r.fields[static_cast<size_t>(f)] = v;
      off += static_cast<size_t>(kWidths[f]);
    }
    out.push_back(r);
  }
  return out;
}

std::vector<std::string> NamesOf(const std::vector<NamesRecord>& records) {
  std::vector<std::string> names;
  for (const auto& r : records) {
    if (r.flag == ' ') names.push_back(r.fields[0]);
  }
  return names;
}

}  // namespace toponyx::testing
