// A line cut once into its first fields, for readers that take several
// fields of every line: the line is scanned once instead of once per field.
// Each accessor answers exactly as the text operation of the same name does
// on the whole line (GetField, GetIntField, GetFloatField).
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "readers/PlaceRecord.h"
#include "text/Text.h"

namespace toponyx::readers {

// A number in the common plain form: an optional sign, 1 to 15 digits and
// at most one full stop, nothing else ("-33.86", "151.2", "6252000"). It is
// an exact integer divided by an exact power of ten, so one division gives
// the correctly rounded value, the same that the full conversion gives.
struct PlainNumber {
  bool negative = false;
  uint64_t mantissa = 0;  // the digits, the full stop left out
  int decimals = 0;       // digits after the full stop
  double Value() const {
    const double value = static_cast<double>(mantissa) / kPowersOfTen[decimals];
    return negative ? -value : value;
  }
};

// Whether the whole of s is a plain number, read in one pass.
inline bool ParsePlainNumber(std::string_view s, PlainNumber& number) {
  const char* p = s.data();
  const char* const end = p + s.size();
  bool negative = false;
  if (p != end && (*p == '-' || *p == '+')) negative = *p++ == '-';
  uint64_t mantissa = 0;
  int digits = 0;
  int decimals = -1;  // digits after the full stop; -1 before it
  for (; p != end; ++p) {
    const char c = *p;
    if (c >= '0' && c <= '9') {
      mantissa = mantissa * 10 + static_cast<uint64_t>(c - '0');
      ++digits;
      decimals += decimals >= 0;
    } else if (c == '.' && decimals < 0) {
      decimals = 0;
    } else {
      return false;
    }
  }
  if (digits == 0 || digits > 15) return false;
  number = {negative, mantissa, decimals < 0 ? 0 : decimals};
  return true;
}

// text::ParseDecimal with a short cut for the plain form.
inline double Decimal(std::string_view s) {
  PlainNumber number;
  return ParsePlainNumber(s, number) ? number.Value() : text::ParseDecimal(s);
}

template <int kMaxFields>
class FieldCuts {
 public:
  // Cuts line at sep into at most kMaxFields fields (the last one ends at
  // the next separator, as every other field does). The views point into
  // line, which must outlive their use.
  void Cut(std::string_view line, char sep) {
    count_ = 0;
    size_t start = 0;
    while (count_ < kMaxFields) {
      const size_t end = line.find(sep, start);
      if (end == std::string_view::npos) {
        fields_[count_++] = line.substr(start);
        return;
      }
      fields_[count_++] = line.substr(start, end - start);
      start = end + 1;
    }
  }

  // Cuts a line of quoted fields (RFC 4180): a field that begins with a
  // double quote runs to the closing one, separators inside it included,
  // and a doubled quote stands for one. Quoted fields are written unquoted
  // into `unquoted` (reused; nothing is allocated once it has grown), which
  // must outlive the views as line does. A quote left open ends at the line
  // end.
  void CutQuoted(std::string_view line, char sep, std::string& unquoted) {
    count_ = 0;
    unquoted.clear();
    unquoted.reserve(line.size());  // views into it stay valid while it fills
    size_t at = 0;
    while (count_ < kMaxFields) {
      if (at < line.size() && line[at] == '"') {
        const size_t start = unquoted.size();
        for (++at; at < line.size(); ++at) {
          if (line[at] != '"') {
            unquoted.push_back(line[at]);
          } else if (at + 1 < line.size() && line[at + 1] == '"') {
            unquoted.push_back('"');
            ++at;
          } else {
            ++at;  // the closing quote
            break;
          }
        }
        // Anything between the closing quote and the separator is kept.
        const size_t end = line.find(sep, at);
        unquoted.append(line.substr(at, end == std::string_view::npos ? end : end - at));
        fields_[count_++] = std::string_view(unquoted).substr(start);
        if (end == std::string_view::npos) return;
        at = end + 1;
        continue;
      }
      const size_t end = line.find(sep, at);
      if (end == std::string_view::npos) {
        fields_[count_++] = line.substr(at);
        return;
      }
      fields_[count_++] = line.substr(at, end - at);
      at = end + 1;
    }
  }

  // The number of fields cut (at most kMaxFields).
  int Count() const { return count_; }

  // Field n (from 1) without blanks around it; def when the line has fewer
  // fields or the field is empty; "" for a field of spaces only.
  std::string_view Get(int n, std::string_view def) const {
    if (n < 1 || n > count_) return def;
    const std::string_view f = fields_[static_cast<size_t>(n - 1)];
    return f.empty() ? def : text::TrimBlanks(f);
  }

  // Field n read as GetIntField reads it.
  int32_t Int(int n, int32_t def) const {
    if (n < 1 || n > count_ || fields_[static_cast<size_t>(n - 1)].empty()) return def;
    int32_t value = 0;
    return text::ParseLooseInt(text::TrimBlanks(fields_[static_cast<size_t>(n - 1)]), value) ? value
                                                                                             : def;
  }

  // Field n read as GetFloatField reads it.
  double Float(int n, double def) const {
    if (n < 1 || n > count_ || fields_[static_cast<size_t>(n - 1)].empty()) return def;
    const std::string_view f = text::TrimBlanks(fields_[static_cast<size_t>(n - 1)]);
    // A field of nothing but a plain number reads as that number.
    return IsPlainNumber(f) ? Decimal(f) : text::ParseLooseFloat(f);
  }

 private:
  static bool IsPlainNumber(std::string_view f) {
    if (f.empty()) return false;
    bool digit = false;
    for (size_t i = 0; i < f.size(); ++i) {
      const char c = f[i];
      if (c >= '0' && c <= '9') {
        digit = true;
      } else if (!(c == '.' || (i == 0 && (c == '-' || c == '+')))) {
        return false;
      }
    }
    return digit;
  }

  static_assert(kMaxFields > 0);
  std::array<std::string_view, kMaxFields> fields_{};
  int count_ = 0;
};

}  // namespace toponyx::readers
