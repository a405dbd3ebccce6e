// Small byte helpers every layer uses: letter case of the ASCII letters
// (the only letters whose case the program ever changes) and little-endian
// numbers in file headers.
#pragma once

#include <cstdint>
#include <string_view>

namespace toponyx::platform {

inline constexpr char ToUpperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
inline constexpr char ToLowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Equal when the letter case of A to Z is ignored.
inline bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (ToUpperAscii(a[i]) != ToUpperAscii(b[i])) return false;
  }
  return true;
}

// Little-endian numbers at p, whatever p's alignment.
inline uint16_t LoadLe16(const void* p) {
  const auto* b = static_cast<const uint8_t*>(p);
  return static_cast<uint16_t>(b[0] | (b[1] << 8));
}
inline uint32_t LoadLe32(const void* p) {
  const auto* b = static_cast<const uint8_t*>(p);
  return uint32_t{b[0]} | (uint32_t{b[1]} << 8) | (uint32_t{b[2]} << 16) | (uint32_t{b[3]} << 24);
}
inline uint64_t LoadLe64(const void* p) {
  return uint64_t{LoadLe32(p)} | (uint64_t{LoadLe32(static_cast<const uint8_t*>(p) + 4)} << 32);
}
inline void StoreLe16(void* p, uint16_t v) {
  auto* b = static_cast<uint8_t*>(p);
  b[0] = static_cast<uint8_t>(v);
  b[1] = static_cast<uint8_t>(v >> 8);
}
inline void StoreLe32(void* p, uint32_t v) {
  auto* b = static_cast<uint8_t*>(p);
  for (int i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void StoreLe64(void* p, uint64_t v) {
  StoreLe32(p, static_cast<uint32_t>(v));
  StoreLe32(static_cast<uint8_t*>(p) + 4, static_cast<uint32_t>(v >> 32));
}

}  // namespace toponyx::platform
