#include "text/Text.h"

#include <array>
#include <charconv>
#include <cstring>

namespace toponyx::text {
namespace {

inline bool IsLowControl(char c) {
  return static_cast<unsigned char>(c) <= 32;
}

// Characters after which ProperCase starts a new word: codes of 32 or
// less, the double quote, the comma, "-", ".", "/" and the backslash.
constexpr auto kWordSeparators = [] {
  std::array<bool, 256> t{};
  for (int c = 0; c <= 32; ++c) t[static_cast<size_t>(c)] = true;
  for (char c : {'"', ',', '-', '.', '/', '\\'}) t[static_cast<unsigned char>(c)] = true;
  return t;
}();
inline bool IsWordSeparator(char c) {
  return kWordSeparators[static_cast<unsigned char>(c)];
}

}  // namespace

std::string_view TrimBlanks(std::string_view s) {
  size_t b = 0;
  size_t e = s.size();
  while (b < e && s[b] == ' ') ++b;
  while (e > b && s[e - 1] == ' ') --e;
  return s.substr(b, e - b);
}

bool IsEmptyText(std::string_view s) {
  for (char c : s) {
    if (c != ' ') return false;
  }
  return true;
}

bool IsBlankText(std::string_view s) {
  for (char c : s) {
    if (!IsLowControl(c)) return false;
  }
  return true;
}

std::string_view GetField(std::string_view text, int n, std::string_view def, char sep) {
  // Skip n - 1 separators; each removal counts one field.
  size_t start = 0;
  for (int i = 1; i < n; ++i) {
    size_t p = text.find(sep, start);
    if (p == std::string_view::npos) return def;
    start = p + 1;
  }
  size_t end = text.find(sep, start);
  if (end == std::string_view::npos) end = text.size();
  if (end == start) return def;
  return TrimBlanks(text.substr(start, end - start));
}

bool ParseLooseInt(std::string_view s, int32_t& value) {
  // Every character but "+", "-" and the digits becomes a blank and the
  // blanks around the rest are trimmed: the rest runs from the first kept
  // character to the last, and a blank inside it means it is no integer.
  auto kept = [](char c) { return (c >= '0' && c <= '9') || c == '+' || c == '-'; };
  size_t b = 0;
  size_t e = s.size();
  while (b < e && !kept(s[b])) ++b;
  while (e > b && !kept(s[e - 1])) --e;
  if (b == e) return false;
  size_t i = b;
  bool negative = false;
  if (s[i] == '+' || s[i] == '-') {
    negative = s[i] == '-';
    ++i;
  }
  if (i >= e) return false;
  int64_t v = 0;
  for (; i < e; ++i) {
    char c = s[i];
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
    if (v > 2147483648LL) return false;
  }
  if (negative) v = -v;
  if (v > 2147483647LL) return false;
  value = static_cast<int32_t>(v);
  return true;
}

int32_t GetIntField(std::string_view text, int n, int32_t def, char sep) {
  // An empty or missing field: GetField hands back the default marker.
  static constexpr std::string_view kMissing("\x01");
  std::string_view field = GetField(text, n, kMissing, sep);
  if (field.data() == kMissing.data()) return def;
  int32_t value = 0;
  return ParseLooseInt(field, value) ? value : def;
}

double ParseDecimal(std::string_view s) {
  s = TrimBlanks(s);
  if (s.empty()) return 0.0;
  const char* first = s.data();
  const char* last = s.data() + s.size();
  bool negative = false;
  if (*first == '+' || *first == '-') {
    negative = *first == '-';
    ++first;
    // from_chars takes no sign of its own beyond one minus; a second sign is
    // no number.
    if (first == last || *first == '+' || *first == '-') return 0.0;
  }
  double value = 0.0;
  auto result = std::from_chars(first, last, value, std::chars_format::general);
  if (result.ec != std::errc()) return 0.0;  // no number, or out of range
  return negative ? -value : value;
}

double ParseLooseFloat(std::string_view s) {
  // As ParseLooseInt, with ".", "E" and "e" kept as well. A rest without a
  // digit is 0; a rest with a blank inside gives the number before it.
  auto kept = [](char c) {
    return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.' || c == 'E' || c == 'e';
  };
  size_t b = 0;
  size_t e = s.size();
  while (b < e && !kept(s[b])) ++b;
  while (e > b && !kept(s[e - 1])) --e;
  size_t stop = b;
  while (stop < e && kept(s[stop])) ++stop;
  std::string_view rest = s.substr(b, stop - b);
  for (char c : rest) {
    if (c >= '0' && c <= '9') return ParseDecimal(rest);
  }
  return 0.0;
}

double GetFloatField(std::string_view text, int n, double def, char sep) {
  static constexpr std::string_view kMissing("\x01");
  std::string_view field = GetField(text, n, kMissing, sep);
  if (field.data() == kMissing.data()) return def;
  return ParseLooseFloat(field);
}

// ProperCase rules:
//  1. a blank text (every code 32 or less) gives the empty text;
//  2. characters of code 32 or less are removed from both ends (length L);
//  3. a single character is upper-cased;
//  4. otherwise the text is lower-cased and its first character upper-cased;
//  5. for p = 1 .. L-1 (1-based) the character at p+1 is upper-cased when the
//     character at p is a word separator, or when the character at p starts
//     a word (p = 1 or a separator before it) and the character at p+2 is
//     "-" or "." (for p = 1 also a blank): two-letter abbreviations such as
//     "MT. ST. Helens" and "Saint-Jean-DE-Luz".
void ProperCase(std::string_view t, std::string& out) {
  out.clear();
  size_t b = 0;
  size_t e = t.size();
  while (b < e && IsLowControl(t[b])) ++b;
  while (e > b && IsLowControl(t[e - 1])) --e;
  if (b == e) return;
  out.assign(t.data() + b, e - b);
  const size_t len = out.size();
  if (len == 1) {
    out[0] = ToUpperAscii(out[0]);
    return;
  }
  for (char& c : out) c = ToLowerAscii(c);
  out[0] = ToUpperAscii(out[0]);
  for (size_t p = 1; p < len; ++p) {
    // 1-based position p is out[p - 1]; p + 1 is out[p]; p + 2 is out[p + 1].
    const char at_p = out[p - 1];
    bool upper = false;
    if (IsWordSeparator(at_p)) {
      upper = true;
    } else if ((p == 1 || IsWordSeparator(out[p - 2])) && p + 2 <= len) {
      const char after = out[p + 1];
      upper = after == '-' || after == '.' || (p == 1 && after == ' ');
    }
    if (upper) out[p] = ToUpperAscii(out[p]);
  }
}

std::string ProperCase(std::string_view t) {
  std::string out;
  ProperCase(t, out);
  return out;
}

void UpperCaseAscii(std::string& s) {
  for (char& c : s) c = ToUpperAscii(c);
}

std::string UpperCaseAscii(std::string_view s) {
  std::string out(s);
  UpperCaseAscii(out);
  return out;
}

bool WildcardMatch(std::string_view pattern, std::string_view name) {
  // Iterative, with backtracking to the last "*".
  size_t n = 0, p = 0, star = std::string_view::npos, mark = 0;
  while (n < name.size()) {
    if (p < pattern.size() &&
        (pattern[p] == '?' || ToUpperAscii(pattern[p]) == ToUpperAscii(name[n]))) {
      ++n;
      ++p;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      mark = n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++mark;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

int CompareIgnoreCase(std::string_view a, std::string_view b) {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    auto x = static_cast<unsigned char>(ToUpperAscii(a[i]));
    auto y = static_cast<unsigned char>(ToUpperAscii(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool ContainsUpperCased(std::string_view text, std::string_view needle) {
  if (needle.empty()) return true;
  if (text.size() < needle.size()) return false;
  // Anchor the search on a character of the needle that has no other case
  // (a digit, "_", "|"), found with memchr; else on its first letter.
  size_t anchor = 0;
  while (anchor < needle.size() && ToLowerAscii(needle[anchor]) != needle[anchor]) ++anchor;
  const size_t last = text.size() - needle.size();
  auto matches_at = [&](size_t i) {
    for (size_t k = 0; k < needle.size(); ++k) {
      if (ToUpperAscii(text[i + k]) != needle[k]) return false;
    }
    return true;
  };
  if (anchor < needle.size()) {
    const char a = needle[anchor];
    size_t from = anchor;
    const size_t stop = last + anchor;  // the anchor's last possible position
    while (from <= stop) {
      const void* hit = std::memchr(text.data() + from, a, stop - from + 1);
      if (hit == nullptr) return false;
      size_t p = static_cast<size_t>(static_cast<const char*>(hit) - text.data());
      if (matches_at(p - anchor)) return true;
      from = p + 1;
    }
    return false;
  }
  const char first = needle[0];
  const char first_lower = ToLowerAscii(first);
  for (size_t i = 0; i <= last; ++i) {
    char c = text[i];
    if ((c == first || c == first_lower) && matches_at(i)) return true;
  }
  return false;
}

}  // namespace toponyx::text
