// The program's two single-byte code pages: ANSI (Windows-1252), in which all
// texts are handled, and OEM (CP437), in which tables store their text. The
// tables come from glibc iconv (tools/gen_codepages.py): exact counterparts,
// else a one-byte best fit, else "?".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "text/CodePageTables.h"

namespace toponyx::codepage {

inline char AnsiToOem(char c) {
  return static_cast<char>(tables::kAnsiToOem[static_cast<unsigned char>(c)]);
}
inline char OemToAnsi(char c) {
  return static_cast<char>(tables::kOemToAnsi[static_cast<unsigned char>(c)]);
}

// Converts n bytes from in to out (which may be the same buffer).
void AnsiToOem(const char* in, char* out, size_t n);
void OemToAnsi(const char* in, char* out, size_t n);
std::string OemToAnsi(std::string_view s);
std::string AnsiToOem(std::string_view s);

// The Windows-1252 byte for a character of the 16-bit range, "?" when it
// has no counterpart.
char UnicodeToAnsi(uint32_t code_point);

// One UTF-8 sequence of two to four bytes starting at p (*p >= 0x80):
// its length, with the code point in cp, or 0 for a broken sequence (a byte
// that cannot lead, cut short by end, a following byte that is no
// continuation byte, an overlong form, beyond U+10FFFF).
inline size_t DecodeUtf8Sequence(const unsigned char* p, const unsigned char* end, uint32_t& cp) {
  const unsigned char b = *p;
  size_t extra;
  uint32_t min;
  if (b >= 0xC2 && b <= 0xDF) {
    extra = 1, cp = b & 0x1Fu, min = 0x80;
  } else if (b >= 0xE0 && b <= 0xEF) {
    extra = 2, cp = b & 0x0Fu, min = 0x800;
  } else if (b >= 0xF0 && b <= 0xF4) {
    extra = 3, cp = b & 0x07u, min = 0x10000;
  } else {
    return 0;
  }
  if (static_cast<size_t>(end - p) <= extra) return 0;
  for (size_t i = 1; i <= extra; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (p[i] & 0x3Fu);
  }
  if (cp < min || cp > 0x10FFFF) return 0;
  return extra + 1;
}

// True when the text is strict UTF-8 (no broken sequence, no surrogate).
bool IsUtf8(std::string_view s);

// UTF-8 for display and for file names on this platform.
std::string AnsiToUtf8(std::string_view s);
std::string OemToUtf8(std::string_view s);
// Appends the UTF-8 form of one code point.
void AppendUtf8(uint32_t code_point, std::string& out);

}  // namespace toponyx::codepage

namespace toponyx::text {

// Decodes a line from UTF-8 and converts it to ANSI (Windows-1252) into out.
//  - Sequences of one to three bytes are decoded; a character without a
//    Windows-1252 counterpart (also a surrogate code point) becomes "?".
//  - A valid four-byte sequence is a character beyond the 16-bit range,
//    which has no counterpart either: it becomes one "?".
//  - A broken sequence (cut short by the line end, a following byte that is
//    not a continuation byte, a stray continuation byte, an overlong form or
//    a byte that cannot begin a sequence) makes the whole line empty.
// Returns false for a broken line.
bool Utf8LineToAnsi(std::string_view line, std::string& out);

}  // namespace toponyx::text
