// A line cut once into its first fields, for readers that take several
// fields of every line: the line is scanned once instead of once per field.
// Each accessor answers exactly as the text operation of the same name does
// on the whole line (GetField, GetIntField, GetFloatField).
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "readers/Text.h"

namespace toponyx::readers {

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
    return text::ParseLooseFloat(text::TrimBlanks(fields_[static_cast<size_t>(n - 1)]));
  }

 private:
  static_assert(kMaxFields > 0);
  std::array<std::string_view, kMaxFields> fields_{};
  int count_ = 0;
};

}  // namespace toponyx::readers
