// The key order of the name index: the bytes of the key field as stored,
// compared as unsigned values with the ASCII small letters taken as
// capitals (no other byte is changed). Eight bytes at a time where it can.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace toponyx::dbf {

static_assert(std::endian::native == std::endian::little,
              "the key packing below assumes a little-endian machine");

inline unsigned char FoldByte(unsigned char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 0x20) : c;
}

// The ASCII small letters of eight bytes taken as capitals; other bytes,
// those above 127 included, stay as they are.
inline uint64_t Fold8(uint64_t x) {
  constexpr uint64_t kHigh = 0x8080808080808080ULL;
  const uint64_t low7 = x & 0x7F7F7F7F7F7F7F7FULL;
  const uint64_t at_least_a = low7 + 0x1F1F1F1F1F1F1F1FULL;  // high bit: low7 >= 'a'
  const uint64_t above_z = low7 + 0x0505050505050505ULL;     // high bit: low7 > 'z'
  const uint64_t small = at_least_a & ~above_z & ~x & kHigh;
  return x ^ (small >> 2);  // 0x80 >> 2 is the case bit 0x20
}

// Eight bytes, folded, as a number that orders like the bytes.
inline uint64_t LoadFolded(const char* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return __builtin_bswap64(Fold8(v));
}

// The first eight bytes of a key of key_length bytes given as its first
// length bytes (the rest blanks), folded, as a number that orders like
// them; zero bytes beyond a shorter key.
inline uint64_t FoldedPrefix(const char* key, size_t length, size_t key_length) {
  char bytes[8] = {};
  const size_t n = std::min<size_t>(8, key_length);
  std::memset(bytes, ' ', n);
  std::memcpy(bytes, key, std::min(length, n));
  uint64_t v;
  std::memcpy(&v, bytes, 8);
  return __builtin_bswap64(Fold8(v));
}

// Compares two keys of n bytes in index order; <0, 0 or >0.
inline int CompareKeys(const char* a, const char* b, size_t n) {
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const uint64_t x = LoadFolded(a + i);
    const uint64_t y = LoadFolded(b + i);
    if (x != y) return x < y ? -1 : 1;
  }
  for (; i < n; ++i) {
    const unsigned char x = FoldByte(static_cast<unsigned char>(a[i]));
    const unsigned char y = FoldByte(static_cast<unsigned char>(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return 0;
}

// Compares two keys given without their trailing blanks, as if both were
// filled with blanks to the same length.
inline int CompareBlankFilled(const char* a, size_t la, const char* b, size_t lb) {
  const size_t n = std::min(la, lb);
  const int c = CompareKeys(a, b, n);
  if (c != 0) return c;
  const char* longer = la > lb ? a : b;
  const size_t end = std::max(la, lb);
  for (size_t i = n; i < end; ++i) {
    const unsigned char x = FoldByte(static_cast<unsigned char>(longer[i]));
    if (x != ' ') return (x < ' ') == (la > lb) ? -1 : 1;
  }
  return 0;
}

}  // namespace toponyx::dbf
