#include "readers/Place.h"

#include <charconv>
#include <cmath>

#include "readers/Fields.h"
#include "text/Text.h"

namespace toponyx::readers {

double PositionValue(std::string_view text) {
  constexpr double kNoNumber = std::numeric_limits<double>::quiet_NaN();
  // The plain form without blanks around it, in one pass.
  if (PlainNumber number; ParsePlainNumber(text, number)) return number.Value();
  std::string_view s = text::TrimBlanks(text);
  if (s.empty()) return kNoNumber;
  // The plain form (sign, digits, a full stop) is by far the most common.
  bool plain = true, digit = false;
  for (size_t i = 0; i < s.size() && plain; ++i) {
    const char c = s[i];
    if (c >= '0' && c <= '9') {
      digit = true;
    } else if (!(c == '.' || (i == 0 && (c == '-' || c == '+')))) {
      plain = false;
    }
  }
  if (plain) return digit && s.find('.') == s.rfind('.') ? Decimal(s) : kNoNumber;
  // Anything else that is wholly a number (an exponent, say).
  const bool negative = s[0] == '-';
  if (s[0] == '-' || s[0] == '+') s.remove_prefix(1);
  if (s.empty() || s[0] == '-' || s[0] == '+') return kNoNumber;
  double value = 0;
  const auto [end, error] =
      std::from_chars(s.data(), s.data() + s.size(), value, std::chars_format::general);
  if (error != std::errc() || end != s.data() + s.size() || !std::isfinite(value)) return kNoNumber;
  return negative ? -value : value;
}

}  // namespace toponyx::readers
