// The New Zealand Map Grid, grid to geographic, by the published method: the
// scaled grid position z is the value of a complex polynomial f(θ) = Σ Bn θⁿ
// of the isometric position θ = ψ + iΔλ; θ is found by Newton–Raphson and
// the latitude follows from ψ by a real series.
#include "geodesy/Nzmg.h"

#include <cmath>

namespace toponyx::geo {
namespace {

constexpr long double kSemiMajorAxis = 6378388.0L;  // International 1924
constexpr long double kFalseNorthing = 6023150.0L;
constexpr long double kFalseEasting = 2510000.0L;
constexpr long double kOriginLatitude = -0.7155849933176751L;  // −41°, in radians
constexpr long double kOriginLongitudeDeg = 173.0L;
constexpr long double kArcSeconds1e5 = 0.484813681109536L;  // 10⁵ arc-seconds in radians
constexpr long double kRadToDeg = 57.29577951308232L;

constexpr int kMaxRounds = 20;
constexpr long double kTolerance = 1e-10L;  // |Re Δ| + |Im Δ| of a correction

constexpr int kDegreeB = 6;
const NzmgComplex kB[kDegreeB] = {
    {0.7557853228L, 0.0L},       {0.249204646L, 0.003371507L}, {-0.001541739L, 0.04105856L},
    {-0.10162907L, 0.01727609L}, {-0.26623489L, -0.36249218L}, {-0.6870983L, -1.1651967L},
};

constexpr int kDegreeD = 9;
constexpr long double kD[kDegreeD] = {1.5627014243L, 0.5185406398L, -0.03333098L,
                                      -0.1052906L,   -0.0368594L,   0.007317L,
                                      0.0122L,       0.00394L,      -0.0013L};

// Complex products and quotients written out: the operands are small and
// far from overflow, so the library's guards for infinities and its scaled
// division are not needed, and they cost more than the rest of a round.
inline NzmgComplex Mul(const NzmgComplex& a, const NzmgComplex& b) {
  return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()};
}
inline NzmgComplex Div(const NzmgComplex& a, const NzmgComplex& b) {
  const long double d = b.real() * b.real() + b.imag() * b.imag();
  return {(a.real() * b.real() + a.imag() * b.imag()) / d,
          (a.imag() * b.real() - a.real() * b.imag()) / d};
}

}  // namespace

// Horner's scheme from the highest coefficient down:
//   f  = (((B6 θ + B5) θ + B4) θ + ... + B1) θ
//   f' = ((6 B6 θ + 5 B5) θ + ... + 2 B2) θ + B1
ComplexValueAndSlope ComplexPolyAndSlope(NzmgComplex theta, const NzmgComplex* coefficients,
                                         int degree) {
  NzmgComplex value(0.0L, 0.0L);
  NzmgComplex slope(0.0L, 0.0L);
  for (int n = degree; n >= 1; --n) {
    const NzmgComplex& Bn = coefficients[n - 1];
    value = Mul(value + Bn, theta);
    slope = Mul(slope, theta) + static_cast<long double>(n) * Bn;
  }
  return {value, slope};
}

// Newton–Raphson from θ = z:  Δ = −(f(θ) − z) / f'(θ),  θ ← θ + Δ,
// until |Re Δ| + |Im Δ| ≤ 1e-10. Then with ψ = Re θ and Δλ = Im θ:
//   φ = φ0 + (10⁵ arc-seconds) Σ Dn ψⁿ   (n = 1 to 9)
std::optional<NzmgSolution> NzmgSolve(NzmgComplex z, long double origin_lat) {
  NzmgComplex theta = z;
  for (int round = 1; round <= kMaxRounds; ++round) {
    const ComplexValueAndSlope f = ComplexPolyAndSlope(theta, kB, kDegreeB);
    const NzmgComplex delta = -Div(f.value - z, f.slope);
    theta += delta;
    if (std::fabs(delta.real()) + std::fabs(delta.imag()) <= kTolerance) {
      const long double psi = theta.real();
      long double series = 0.0L;
      for (int n = kDegreeD; n >= 1; --n) series = (series + kD[n - 1]) * psi;
      return NzmgSolution{origin_lat + kArcSeconds1e5 * series, theta.imag(), round};
    }
  }
  return std::nullopt;
}

// z = (N − N0)/a + i (E − E0)/a: the northing is the real part.
// A grid position for which the iteration does not settle gives none.
std::optional<LatLong> NzmgToLatLong(double easting, double northing) {
  const NzmgComplex z((northing - kFalseNorthing) / kSemiMajorAxis,
                      (easting - kFalseEasting) / kSemiMajorAxis);
  const std::optional<NzmgSolution> solution = NzmgSolve(z, kOriginLatitude);
  if (!solution) return std::nullopt;
  return LatLong{static_cast<double>(solution->lat * kRadToDeg),
                 static_cast<double>(kOriginLongitudeDeg + solution->dlon * kRadToDeg)};
}

}  // namespace toponyx::geo
