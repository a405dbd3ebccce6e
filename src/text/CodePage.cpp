#include "text/CodePage.h"

#include <array>
#include <cstring>

namespace toponyx::codepage {
namespace {

// Byte for every code point of the 16-bit range, built once from the sorted
// list of mappings (64 KiB, so the decoder needs one load per character).
const std::array<uint8_t, 65536>& UnicodeTable() {
  static const auto* table = [] {
    auto* t = new std::array<uint8_t, 65536>;
    t->fill('?');
    for (uint32_t c = 0; c < 0x80; ++c) (*t)[c] = static_cast<uint8_t>(c);
    for (size_t i = 0; i < tables::kUnicodeToAnsiCount; ++i) {
      (*t)[tables::kUnicodeToAnsi[i].code_point] = tables::kUnicodeToAnsi[i].byte;
    }
    return t;
  }();
  return *table;
}

}  // namespace

void AnsiToOem(const char* in, char* out, size_t n) {
  for (size_t i = 0; i < n; ++i) out[i] = AnsiToOem(in[i]);
}

void OemToAnsi(const char* in, char* out, size_t n) {
  for (size_t i = 0; i < n; ++i) out[i] = OemToAnsi(in[i]);
}

std::string OemToAnsi(std::string_view s) {
  std::string out(s.size(), '\0');
  OemToAnsi(s.data(), out.data(), s.size());
  return out;
}

std::string AnsiToOem(std::string_view s) {
  std::string out(s.size(), '\0');
  AnsiToOem(s.data(), out.data(), s.size());
  return out;
}

char UnicodeToAnsi(uint32_t code_point) {
  if (code_point > 0xFFFF) return '?';
  return static_cast<char>(UnicodeTable()[code_point]);
}

void AppendUtf8(uint32_t c, std::string& out) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

bool IsUtf8(std::string_view s) {
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  const auto* end = p + s.size();
  while (p < end) {
    if (*p < 0x80) {
      ++p;
      continue;
    }
    uint32_t cp = 0;
    const size_t length = DecodeUtf8Sequence(p, end, cp);
    if (length == 0 || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    p += length;
  }
  return true;
}

std::string AnsiToUtf8(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (char ch : s) AppendUtf8(tables::kAnsiToUnicode[static_cast<unsigned char>(ch)], out);
  return out;
}

std::string OemToUtf8(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (char ch : s) AppendUtf8(tables::kOemToUnicode[static_cast<unsigned char>(ch)], out);
  return out;
}

}  // namespace toponyx::codepage

namespace toponyx::text {

bool Utf8LineToAnsi(std::string_view line, std::string& out) {
  const auto& table = codepage::UnicodeTable();
  out.resize(line.size());  // never longer than the input
  char* dst = out.data();
  const auto* p = reinterpret_cast<const unsigned char*>(line.data());
  const auto* end = p + line.size();
  while (p < end) {
    // ASCII runs, eight bytes at a time.
    while (end - p >= 8) {
      uint64_t word;
      std::memcpy(&word, p, 8);
      if (word & 0x8080808080808080ULL) break;
      std::memcpy(dst, p, 8);
      p += 8;
      dst += 8;
    }
    if (p >= end) break;
    unsigned char b = *p;
    if (b < 0x80) {
      *dst++ = static_cast<char>(b);
      ++p;
      continue;
    }
    uint32_t c = 0;
    const size_t length = codepage::DecodeUtf8Sequence(p, end, c);
    if (length == 0) {
      out.clear();  // a broken sequence empties the line
      return false;
    }
    p += length;
    *dst++ = c <= 0xFFFF ? static_cast<char>(table[c]) : '?';
  }
  out.resize(static_cast<size_t>(dst - out.data()));
  return true;
}

}  // namespace toponyx::text
