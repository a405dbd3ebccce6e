#include "readers/PlaceRecord.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "platform/System.h"
#include "text/Text.h"

namespace toponyx::readers {
namespace {

// Appends |value| with `decimals` digits after the point (at most 9),
// correctly rounded (a tie to the even digit) exactly as std::to_chars's
// fixed format writes it, and true; false when the fast way cannot be sure
// of the rounding (a value next to a tie, or one too large), so the caller
// takes std::to_chars.
bool AppendFixedFast(double value, int decimals, std::string& out) {
  // One rounded multiplication (powers of ten up to 1e9 are exact): the
  // product is within half an ulp of the true value, so far from a tie the
  // rounding direction is certain.
  const double scaled = std::fabs(value) * kPowersOfTen[decimals];
  if (!(scaled < 4503599627370496.0)) return false;  // 2^52; also NaN
  const double whole = std::floor(scaled);
  const double fraction = scaled - whole;  // exact
  if (std::fabs(fraction - 0.5) <= scaled * 0x1p-52 + 0x1p-1000) return false;
  uint64_t n = static_cast<uint64_t>(whole) + (fraction > 0.5 ? 1 : 0);
  // Digits from the right end of a buffer: the decimals, the point, the
  // whole part (at least one digit), the sign.
  char buf[40];
  char* p = buf + sizeof buf;
  for (int i = 0; i < decimals; ++i, n /= 10) *--p = static_cast<char>('0' + n % 10);
  if (decimals > 0) *--p = '.';
  do {
    *--p = static_cast<char>('0' + n % 10);
    n /= 10;
  } while (n != 0);
  if (std::signbit(value)) *--p = '-';
  out.append(p, static_cast<size_t>(buf + sizeof buf - p));
  return true;
}

void AppendFixed(double value, int decimals, std::string& out) {
  if (decimals <= 9 && AppendFixedFast(value, decimals, out)) return;
  char buf[400];
  auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
  out.append(buf, r.ptr);
}

// Digits before the point of |value| (1 for values below 1).
int IntegerDigits(double magnitude) {
  int digits = 1;
  for (double bound = 10.0; magnitude >= bound && digits < 400; bound *= 10.0) ++digits;
  return digits;
}

// Fixed-point text with `decimals` digits after the point and at most
// `precision` significant digits: the value is rounded to the significant
// digits first and padded with zeros up to `decimals` (the way a fixed
// format with a precision limit writes it).
void FormatFixed(double value, int precision, int decimals, char separator, std::string& out) {
  out.clear();
  if (!std::isfinite(value)) {
    out = std::isnan(value) ? "NAN" : (value < 0 ? "-INF" : "INF");
    return;
  }
  const double magnitude = std::fabs(value);
  const int int_digits = IntegerDigits(magnitude);
  if (int_digits > precision) {
    // Beyond the precision a fixed form cannot hold the value.
    char buf[128];
    auto r =
        std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, precision - 1);
    out.assign(buf, r.ptr);
    return;
  }
  int kept = std::min(decimals, precision - (magnitude < 1.0 ? 0 : int_digits));
  if (kept < 0) kept = 0;
  AppendFixed(value, kept, out);
  if (kept < decimals) {
    if (kept == 0) out.push_back('.');
    out.append(static_cast<size_t>(decimals - kept), '0');
  }
  if (separator != '.') {
    size_t dot = out.find('.');
    if (dot != std::string::npos) out[dot] = separator;
  }
}

}  // namespace

void FormatSevenDecimalsLocal(double value, std::string& out) {
  FormatFixed(value, 11, 7, platform::DecimalSeparator(), out);
}

void FormatEightDecimalsLocal(double value, std::string& out) {
  FormatFixed(value, 12, 8, platform::DecimalSeparator(), out);
}

void FormatFiveDecimalsPadded(double value, std::string& out) {
  out.clear();
  if (!std::isfinite(value)) {
    char buf[16];
    int k = std::snprintf(buf, sizeof buf, "%.5f", value);
    out.assign(buf, k > 0 ? static_cast<size_t>(k) : 0);
  } else {
    AppendFixed(value, 5, out);
  }
  if (out.size() < 9) out.insert(0, 9 - out.size(), ' ');
}

double PackedDmsToText(std::string_view s, std::string& out) {
  out.clear();
  if (s.empty()) {
    FormatSevenDecimalsLocal(0.0, out);
    return 0.0;
  }
  const char hemisphere = text::ToUpperAscii(s.back());
  std::string_view digits = s.substr(0, s.size() - 1);
  auto take = [](std::string_view part) {
    int32_t v = 0;
    return text::ParseLooseInt(part, v) ? v : 0;
  };
  std::string_view sec = digits.size() >= 2 ? digits.substr(digits.size() - 2) : digits;
  digits.remove_suffix(sec.size());
  std::string_view min = digits.size() >= 2 ? digits.substr(digits.size() - 2) : digits;
  digits.remove_suffix(min.size());
  const long double value = static_cast<long double>(take(digits)) +
                            static_cast<long double>(take(min)) / 60.0L +
                            static_cast<long double>(take(sec)) / 3600.0L;
  std::string number;
  FormatSevenDecimalsLocal(static_cast<double>(value), number);
  const bool negative = hemisphere == 'S' || hemisphere == 'W';
  if (negative) out.push_back('-');
  out += number;
  return negative ? -static_cast<double>(value) : static_cast<double>(value);
}

// --- full-code list --------------------------------------------------------

namespace {
struct LessIgnoringCase {
  bool operator()(const std::string& a, std::string_view b) const {
    return text::CompareIgnoreCase(a, b) < 0;
  }
};
}  // namespace

bool FullCodeList::Contains(std::string_view t) const {
  auto it = std::lower_bound(items_.begin(), items_.end(), t, LessIgnoringCase());
  return it != items_.end() && text::CompareIgnoreCase(*it, t) == 0;
}

void FullCodeList::Add(std::string_view t) {
  auto it = std::lower_bound(items_.begin(), items_.end(), t, LessIgnoringCase());
  if (it != items_.end() && text::CompareIgnoreCase(*it, t) == 0) return;
  items_.insert(it, std::string(t));
}

void FullCodeList::AddNormalised(std::string_view t) {
  text::ProperCase(text::TrimBlanks(t), scratch_);
  Add(scratch_);
}

// --- world code list -------------------------------------------------------

void WorldCodeList::Add(std::string_view code, std::string_view description) {
  codes_.emplace_back(code);
  descriptions_.emplace_back(description);
  sorted_ = false;
}

void WorldCodeList::Clear() {
  codes_.clear();
  descriptions_.clear();
  order_.clear();
  sorted_ = true;
}

void WorldCodeList::Sort() const {
  order_.resize(codes_.size());
  for (uint32_t i = 0; i < order_.size(); ++i) order_[i] = i;
  // Stable: among equal codes the first in the list stays first, as a scan
  // from the start would find it.
  std::stable_sort(order_.begin(), order_.end(), [this](uint32_t a, uint32_t b) {
    return text::CompareIgnoreCase(codes_[a], codes_[b]) < 0;
  });
  sorted_ = true;
}

const std::string* WorldCodeList::Find(std::string_view code) const {
  if (!sorted_) Sort();
  auto it = std::lower_bound(
      order_.begin(), order_.end(), code,
      [this](uint32_t i, std::string_view c) { return text::CompareIgnoreCase(codes_[i], c) < 0; });
  if (it == order_.end() || text::CompareIgnoreCase(codes_[*it], code) != 0) return nullptr;
  return &descriptions_[*it];
}

}  // namespace toponyx::readers
