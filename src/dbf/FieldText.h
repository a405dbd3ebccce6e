// Field texts between the caller and the table file: the caller's texts are
// ANSI, the file's bytes OEM, blank-filled to the field's length. Both code
// pages hold ASCII unchanged, so text without a byte above 127 is copied as
// it is; the checks go eight bytes a step, since every field of every
// record passes here.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "text/CodePage.h"

namespace toponyx::dbf {

inline bool HasHighBytes(const char* p, size_t n) {
  uint64_t any = 0;
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t word;
    std::memcpy(&word, p + i, 8);
    any |= word;
  }
  for (; i < n; ++i) any |= static_cast<unsigned char>(p[i]);
  return (any & 0x8080808080808080ULL) != 0;
}

// True when p holds a byte above 127 or a NUL byte (one pass for both: a
// word with a zero byte has the high bit of (word - 0x01..01) & ~word set).
inline bool HasHighOrNulBytes(const char* p, size_t n) {
  uint64_t any = 0;
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t word;
    std::memcpy(&word, p + i, 8);
    any |= word | ((word - 0x0101010101010101ULL) & ~word);
  }
  for (; i < n; ++i) {
    const auto c = static_cast<unsigned char>(p[i]);
    any |= c | (c == 0 ? 0x80u : 0u);
  }
  return (any & 0x8080808080808080ULL) != 0;
}

// The length of p without its trailing bytes of code 32 or less.
inline size_t WithoutTrailingBlanks(const char* p, size_t n) {
  constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
  constexpr uint64_t kHigh = 0x8080808080808080ULL;
  while (n >= 8) {
    uint64_t word;
    std::memcpy(&word, p + n - 8, 8);
    // A byte above 32 has its high bit set, or reaches it when 0x5F is added.
    if ((((word & kLow7) + 0x5F5F5F5F5F5F5F5FULL) | word) & kHigh) break;
    n -= 8;
  }
  while (n > 0 && static_cast<unsigned char>(p[n - 1]) <= 32) --n;
  return n;
}

// Stores an ANSI text in a field of length bytes: cut to the field,
// converted to OEM, blank-filled. A NUL byte inside the text is stored as a
// blank: readers of the table that take its texts as C strings would end
// the text there.
inline void StoreFieldText(std::string_view ansi, char* field, size_t length) {
  const size_t n = std::min(ansi.size(), length);
  if (!HasHighOrNulBytes(ansi.data(), n)) {
    if (n > 0) std::memcpy(field, ansi.data(), n);  // an empty view may have no data at all
  } else {
    codepage::AnsiToOem(ansi.data(), field, n);  // a NUL stays a NUL in both code pages
    for (size_t i = 0; i < n; ++i) {
      if (field[i] == '\0') field[i] = ' ';
    }
  }
  std::memset(field + n, ' ', length - n);
}

// The text of n stored bytes, without leading and trailing bytes of code 32
// or less, converted to ANSI; "" for an all-blank field.
inline void ReadFieldText(const char* stored, size_t n, std::string& out) {
  n = WithoutTrailingBlanks(stored, n);
  while (n > 0 && static_cast<unsigned char>(stored[0]) <= 32) ++stored, --n;
  out.resize(n);
  if (HasHighBytes(stored, n)) {
    codepage::OemToAnsi(stored, out.data(), n);
  } else {
    std::memcpy(out.data(), stored, n);
  }
}

// What ReadFieldText and then StoreFieldText make of n stored bytes, put
// into a field of length bytes, without the way through ANSI: the bytes
// without leading and trailing ones of code 32 or less, each high byte as
// it comes back from ANSI, blank-filled.
inline void CopyFieldText(const char* stored, size_t n, char* field, size_t length) {
  n = WithoutTrailingBlanks(stored, n);
  while (n > 0 && static_cast<unsigned char>(stored[0]) <= 32) ++stored, --n;
  n = std::min(n, length);
  if (HasHighBytes(stored, n)) {
    for (size_t i = 0; i < n; ++i) field[i] = codepage::AnsiToOem(codepage::OemToAnsi(stored[i]));
  } else {
    std::memcpy(field, stored, n);
  }
  std::memset(field + n, ' ', length - n);
}

}  // namespace toponyx::dbf
