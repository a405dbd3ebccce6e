// New Zealand Map Grid to latitude and longitude on the grid's own datum.
#pragma once

#include <complex>

namespace toponyx::geo {

// The value the iteration gives when it does not settle (before scaling).
inline constexpr double kNzmgFailed = 999999999.0;

// Latitude and longitude in degrees; a failed iteration yields
// kNzmgFailed * 57.29577951308232 and 173 more (see NzmgFailed).
void NzmgToLatLong(double& lat, double& lon, double easting, double northing);
// True when (lat, lon) is the failure marker of NzmgToLatLong.
bool NzmgFailed(double lat, double lon);

using NzmgComplex = std::complex<long double>;

// f(θ) = Σ Bn θⁿ and f'(θ) = Σ n Bn θⁿ⁻¹ for n = 1 to degree, by nested
// multiplication; coefficients[0] is B1.
void ComplexPolyAndSlope(NzmgComplex theta, const NzmgComplex* coefficients, int degree,
                         NzmgComplex& value, NzmgComplex& slope);
// Solves f(θ) = z by Newton–Raphson and turns θ into the latitude (radians)
// and the longitude offset from 173° (radians). Returns the rounds taken, or
// 0 when the iteration did not settle; both results are then kNzmgFailed.
int NzmgSolve(NzmgComplex z, long double origin_lat, long double& lat, long double& dlon);

}  // namespace toponyx::geo
