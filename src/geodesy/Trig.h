// Sine, cosine and tangent in extended precision for the arguments the
// conversions meet (a few radians at most). The C library reduces every
// long double argument beyond pi/4 with its general multi-precision method,
// which costs more than all the rest of a conversion; here the argument is
// reduced by the nearest multiple k of pi/2 (Cody and Waite: pi/2 split
// into three parts, the first two short enough that k times them is exact),
// and the library is called on the remainder, |r| <= pi/4, where it needs
// no reduction. For |x| beyond 2^20 the library's own reduction is used.
#pragma once

#include <cmath>

namespace toponyx::geo::trig {

// pi/2 = kPio2Hi + kPio2Mid + kPio2Lo; the first two carry 40 bits each.
inline constexpr long double kPio2Hi = 0xc90fdaa221p-39L;
inline constexpr long double kPio2Mid = 0xd18469898dp-80L;
inline constexpr long double kPio2Lo = -0xeba3f91f1976b7eep-146L;
inline constexpr long double kTwoOverPi = 0.636619772367581343075535053490057448L;
inline constexpr long double kLimit = 1048576.0L;  // 2^20

// x = k pi/2 + r with |r| <= pi/4 (about).
struct ReducedAngle {
  long double remainder;  // r
  int quadrant;           // k mod 4
};
inline ReducedAngle Reduce(long double x) {
  const long long n = std::llrint(x * kTwoOverPi);  // one x87 store, no mode changes
  const long double k = static_cast<long double>(n);
  const long double r = ((x - k * kPio2Hi) - k * kPio2Mid) - k * kPio2Lo;
  return {r, static_cast<int>(n & 3)};
}

inline constexpr long double kPio4 = 0.785398163397448309615660845819875721L;

struct SineAndCosine {
  long double sin;
  long double cos;
};

inline SineAndCosine SinCos(long double x) {
  if (std::fabs(x) <= kPio4 || !(std::fabs(x) < kLimit)) return {std::sin(x), std::cos(x)};
  const ReducedAngle reduced = Reduce(x);
  const long double sr = std::sin(reduced.remainder), cr = std::cos(reduced.remainder);
  switch (reduced.quadrant) {
    case 0:
      return {sr, cr};
    case 1:
      return {cr, -sr};
    case 2:
      return {-sr, -cr};
    default:
      return {-cr, sr};
  }
}

inline long double Sin(long double x) {
  return SinCos(x).sin;
}

inline long double Cos(long double x) {
  return SinCos(x).cos;
}

inline long double Tan(long double x) {
  if (std::fabs(x) <= kPio4 || !(std::fabs(x) < kLimit)) return std::tan(x);
  const ReducedAngle reduced = Reduce(x);
  const long double r = reduced.remainder;
  // tan(r + k pi/2) is tan r for even k and -1/tan r for odd k.
  return (reduced.quadrant & 1) ? -1.0L / std::tan(r) : std::tan(r);
}

}  // namespace toponyx::geo::trig
