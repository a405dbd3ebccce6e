#include "geodesy/NationalGrid.h"

#include <cmath>

namespace toponyx::geo {
namespace {

constexpr double kDegree = 0.017453292519943295769;  // radians per degree
constexpr double kArcSecond = kDegree / 3600;

// Airy 1830 and the National Grid's projection.
constexpr double kAiryA = 6377563.396;
constexpr double kAiryB = 6356256.909;
constexpr double kScale = 0.9996012717;  // F0, on the central meridian
constexpr double kPhi0 = 49 * kDegree;
constexpr double kLambda0 = -2 * kDegree;
constexpr double kEasting0 = 400000.0;
constexpr double kNorthing0 = -100000.0;

// WGS 84.
constexpr double kWgsA = 6378137.0;
constexpr double kWgsF = 1 / 298.257223563;

// OSGB36 to WGS 84, position-vector convention: translations in metres,
// rotations in arc seconds, scale in parts per million.
constexpr double kTx = 446.448, kTy = -125.157, kTz = 542.060;
constexpr double kRx = 0.1502 * kArcSecond, kRy = 0.2470 * kArcSecond,
                      kRz = 0.8421 * kArcSecond;
constexpr double kS = -20.4894e-6;

// The meridian arc from the true origin's latitude to phi, scaled:
//   M = b F0 [ (1 + n + 5/4 n^2 + 5/4 n^3)(phi - phi0)
//              - (3n + 3n^2 + 21/8 n^3) sin(phi - phi0) cos(phi + phi0)
//              + (15/8 n^2 + 15/8 n^3) sin 2(phi - phi0) cos 2(phi + phi0)
//              - 35/24 n^3 sin 3(phi - phi0) cos 3(phi + phi0) ]
double MeridianArc(double phi, double n) {
  const double d = phi - kPhi0, s = phi + kPhi0;
  const double n2 = n * n, n3 = n2 * n;
  return kAiryB * kScale *
         ((1 + n + 1.25 * n2 + 1.25 * n3) * d -
          (3 * n + 3 * n2 + 2.625 * n3) * std::sin(d) * std::cos(s) +
          (1.875 * n2 + 1.875 * n3) * std::sin(2 * d) * std::cos(2 * s) -
          (35.0 / 24) * n3 * std::sin(3 * d) * std::cos(3 * s));
}

}  // namespace

// The latitude phi' whose meridian arc gives the northing is found by
// iteration; then, with E' = E - E0,
//   nu = a F0 / sqrt(1 - e^2 sin^2 phi'),  rho = a F0 (1 - e^2) / (1 - e^2 sin^2 phi')^1.5,
//   eta^2 = nu / rho - 1,  t = tan phi',
//   phi    = phi' - VII E'^2 + VIII E'^4 - IX E'^6
//   lambda = lambda0 + X E' - XI E'^3 + XII E'^5 - XIIA E'^7
// with VII = t / (2 rho nu), VIII = t / (24 rho nu^3) (5 + 3t^2 + eta^2 - 9 t^2 eta^2),
// IX = t / (720 rho nu^5) (61 + 90 t^2 + 45 t^4), X = sec phi' / nu,
// XI = sec phi' / (6 nu^3) (nu / rho + 2 t^2), XII = sec phi' / (120 nu^5) (5 + 28 t^2 + 24 t^4),
// XIIA = sec phi' / (5040 nu^7) (61 + 662 t^2 + 1320 t^4 + 720 t^6).
LatLong NationalGridToOsgb36(double easting, double northing) {
  const double a = kAiryA, b = kAiryB;
  const double e2 = (a * a - b * b) / (a * a);
  const double n = (a - b) / (a + b);
  const double north = northing - kNorthing0;

  double phi = north / (a * kScale) + kPhi0;
  double m = MeridianArc(phi, n);
  for (int i = 0; i < 20 && std::fabs(north - m) >= 1e-5; ++i) {  // 0.01 mm
    phi += (north - m) / (a * kScale);
    m = MeridianArc(phi, n);
  }

  const double sin_phi = std::sin(phi);
  const double w = 1 - e2 * sin_phi * sin_phi;
  const double nu = a * kScale / std::sqrt(w);
  const double rho = a * kScale * (1 - e2) / (w * std::sqrt(w));
  const double eta2 = nu / rho - 1;
  const double t = std::tan(phi), t2 = t * t, t4 = t2 * t2;
  const double sec = 1 / std::cos(phi);
  const double nu3 = nu * nu * nu, nu5 = nu3 * nu * nu, nu7 = nu5 * nu * nu;

  const double vii = t / (2 * rho * nu);
  const double viii = t / (24 * rho * nu3) * (5 + 3 * t2 + eta2 - 9 * t2 * eta2);
  const double ix = t / (720 * rho * nu5) * (61 + 90 * t2 + 45 * t4);
  const double x = sec / nu;
  const double xi = sec / (6 * nu3) * (nu / rho + 2 * t2);
  const double xii = sec / (120 * nu5) * (5 + 28 * t2 + 24 * t4);
  const double xiia = sec / (5040 * nu7) * (61 + 662 * t2 + 1320 * t4 + 720 * t4 * t2);

  const double de = easting - kEasting0;
  const double de2 = de * de;
  const double lat = phi - de2 * (vii - de2 * (viii - de2 * ix));
  const double lon = kLambda0 + de * (x - de2 * (xi - de2 * (xii - de2 * xiia)));
  return {static_cast<double>(lat / kDegree), static_cast<double>(lon / kDegree)};
}

// Geodetic (h = 0) to geocentric on Airy 1830, the Helmert transformation
//   [X']   [tx]           [  1  -rz   ry ] [X]
//   [Y'] = [ty] + (1 + s) [ rz    1  -rx ] [Y]
//   [Z']   [tz]           [-ry   rx    1 ] [Z]
// and back to geodetic on WGS 84 (latitude by iteration on
// tan phi = (Z + e^2 nu sin phi) / p).
LatLong Osgb36ToWgs84(LatLong osgb36) {
  const double a = kAiryA, b = kAiryB;
  const double e2 = (a * a - b * b) / (a * a);
  const double phi = osgb36.lat * kDegree, lambda = osgb36.lon * kDegree;
  const double sin_phi = std::sin(phi), cos_phi = std::cos(phi);
  const double nu = a / std::sqrt(1 - e2 * sin_phi * sin_phi);
  const double x = nu * cos_phi * std::cos(lambda);
  const double y = nu * cos_phi * std::sin(lambda);
  const double z = (1 - e2) * nu * sin_phi;

  const double x2 = kTx + (1 + kS) * (x - kRz * y + kRy * z);
  const double y2 = kTy + (1 + kS) * (kRz * x + y - kRx * z);
  const double z2 = kTz + (1 + kS) * (-kRy * x + kRx * y + z);

  const double we2 = kWgsF * (2 - kWgsF);
  const double p = std::sqrt(x2 * x2 + y2 * y2);
  double lat = std::atan2(z2, p * (1 - we2));
  for (int i = 0; i < 10; ++i) {
    const double s = std::sin(lat);
    const double wnu = kWgsA / std::sqrt(1 - we2 * s * s);
    const double next = std::atan2(z2 + we2 * wnu * s, p);
    if (std::fabs(next - lat) < 1e-15) {
      lat = next;
      break;
    }
    lat = next;
  }
  return {static_cast<double>(lat / kDegree), static_cast<double>(std::atan2(y2, x2) / kDegree)};
}

}  // namespace toponyx::geo
