// New Zealand Map Grid to latitude and longitude on the grid's own datum.
#pragma once

#include <complex>
#include <optional>

#include "geodesy/LatLong.h"

namespace toponyx::geo {

// Latitude and longitude in degrees; none when the iteration does not
// settle within its rounds.
std::optional<LatLong> NzmgToLatLong(double easting, double northing);

using NzmgComplex = std::complex<long double>;

// A polynomial's value and its derivative at one point.
struct ComplexValueAndSlope {
  NzmgComplex value;
  NzmgComplex slope;
};
// f(θ) = Σ Bn θⁿ and f'(θ) = Σ n Bn θⁿ⁻¹ for n = 1 to degree, by nested
// multiplication; coefficients[0] is B1.
ComplexValueAndSlope ComplexPolyAndSlope(NzmgComplex theta, const NzmgComplex* coefficients,
                                         int degree);

struct NzmgSolution {
  long double lat;   // radians
  long double dlon;  // radians from 173°
  int rounds;        // Newton–Raphson rounds taken
};
// Solves f(θ) = z by Newton–Raphson and turns θ into the latitude and the
// longitude offset from 173°; none when the iteration did not settle.
std::optional<NzmgSolution> NzmgSolve(NzmgComplex z, long double origin_lat);

}  // namespace toponyx::geo
