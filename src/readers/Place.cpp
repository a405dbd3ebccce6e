#include "readers/Place.h"

#include <charconv>
#include <cmath>

#include "readers/Fields.h"
#include "text/Text.h"

namespace toponyx::readers {

double PositionValue(std::string_view text) {
  constexpr double kNoNumber = std::numeric_limits<double>::quiet_NaN();
  // The plain form without blanks around it, in one pass: an optional
  // sign, at most 15 digits and one full stop (what Decimal takes exactly).
  {
    const char* p = text.data();
    const char* const end = p + text.size();
    bool negative = false;
    if (p != end && (*p == '-' || *p == '+')) negative = *p++ == '-';
    uint64_t mantissa = 0;
    int digits = 0, decimals = -1;
    for (; p != end; ++p) {
      const char c = *p;
      if (c >= '0' && c <= '9') {
        mantissa = mantissa * 10 + static_cast<uint64_t>(c - '0');
        ++digits;
        decimals += decimals >= 0;
      } else if (c == '.' && decimals < 0) {
        decimals = 0;
      } else {
        break;
      }
    }
    if (p == end && digits > 0 && digits <= 15) {
      const double value =
          static_cast<double>(mantissa) / kPowersOfTen[decimals < 0 ? 0 : decimals];
      return negative ? -value : value;
    }
  }
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
