// UTM and UPS grid references to latitude and longitude. Every intermediate
// value is a long double (64-bit mantissa on x86-64); results are doubles.
#include "geodesy/Grid.h"
#include "geodesy/Trig.h"

#include <cmath>

#include "text/Text.h"

namespace toponyx::geo {
namespace {

constexpr long double kPi = 3.141592653589793L;
constexpr long double kDegree = 0.017453292519943295L;  // radians per degree

// UTM: transverse Mercator with these constants.
constexpr long double kUtmScale = 0.9996L;
constexpr long double kUtmFalseEasting = 500000.0L;
constexpr long double kUtmSouthFalseNorthing = 10000000.0L;
constexpr int kMaxZoneDigits = 5;

// UPS: polar stereographic with these constants.
constexpr long double kUpsScale = 0.994L;
constexpr long double kUpsFalseOrigin = 2000000.0L;  // easting and northing
constexpr int kUpsMaxRounds = 20;
constexpr long double kUpsTolerance = 1e-8L;  // relative change of φ

constexpr long double kRoundingScale = 100000.0L;  // 5 decimal places

bool IsUpperLetter(char c) {
  return c >= 'A' && c <= 'Z';
}

// atan2(p, q) in degrees, with q = 0 giving 90 with the sign of p (+90 for
// p = 0 as well).
long double AzimuthDegrees(long double p, long double q) {
  if (q == 0.0L) return p < 0.0L ? -90.0L : 90.0L;
  return std::atan2(p, q) / kDegree;
}

}  // namespace

UtmZone ParseUtmZone(std::string_view zone, std::string_view hemisphere) {
  zone = text::TrimBlanks(zone);
  UtmZone z{0, ' ', true};
  int digits = 0;
  for (char c : zone) {
    if (IsUpperLetter(c)) {
      z.band = c;
      break;
    }
    if (c >= '0' && c <= '9' && digits < kMaxZoneDigits) {
      z.number = z.number * 10 + (c - '0');
      ++digits;
    }
  }
  z.north = !(z.band >= 'A' && z.band <= 'M');
  if (hemisphere == "N") z.north = true;
  if (hemisphere == "S") z.north = false;
  return z;
}

double RoundTo5Decimals(double value) {
  // nearbyint rounds in the current mode, which is to nearest, ties to even.
  const double rounded = static_cast<double>(
      std::nearbyint(static_cast<long double>(value) * kRoundingScale) / kRoundingScale);
  // A value that rounds to zero is zero, never a negative zero ("-0").
  return rounded == 0.0 ? 0.0 : rounded;
}

// Zone n has its central meridian at 6n − 183 degrees. The southern false
// northing is taken off by mirroring: y = 10 000 000 − N gives the latitude
// with its sign turned.
LatLong UtmToLatLong(const DatumTable& table, std::string_view zone, std::string_view hemisphere,
                     double easting, double northing, int32_t datum) {
  const UtmZone z = ParseUtmZone(zone, hemisphere);
  LatLong p;
  if (z.number != 0) {
    const long double lambda0 = 6.0L * z.number - 183.0L;
    const long double y =
        z.north ? static_cast<long double>(northing) : kUtmSouthFalseNorthing - northing;
    const long double x = easting - kUtmFalseEasting;
    p = TmToLatLong(table, datum, static_cast<double>(x), static_cast<double>(y), 0.0,
                    static_cast<double>(lambda0), static_cast<double>(kUtmScale));
    if (!z.north) p.lat = -p.lat;
  } else {
    p = UpsToLatLong(table, z.north, easting, northing, datum);
  }
  return {RoundTo5Decimals(p.lat), RoundTo5Decimals(p.lon)};
}

// The meridian distance series, to e⁶:
//   M(φ) = a [ (1 − e²/4 − 3e⁴/64 − 5e⁶/256) φ
//            − (3e²/8 + 3e⁴/32 + 45e⁶/1024) sin 2φ
//            + (15e⁴/256 + 45e⁶/1024) sin 4φ
//            − (35e⁶/3072) sin 6φ ]
long double MeridianArc(long double e2, long double a, long double phi) {
  if (phi == 0.0L) return 0.0L;
  const long double e4 = e2 * e2;
  const long double e6 = e4 * e2;
  return a *
         ((1.0L - e2 / 4.0L - 3.0L * e4 / 64.0L - 5.0L * e6 / 256.0L) * phi -
          (3.0L * e2 / 8.0L + 3.0L * e4 / 32.0L + 45.0L * e6 / 1024.0L) * trig::Sin(2.0L * phi) +
          (15.0L * e4 / 256.0L + 45.0L * e6 / 1024.0L) * trig::Sin(4.0L * phi) -
          (35.0L * e6 / 3072.0L) * trig::Sin(6.0L * phi));
}

// The inverse transverse Mercator series, with k0 the scale on the central
// meridian λ0 and M0 the meridian arc to the origin latitude:
//   μ  = (y/k0 + M0) / (a (1 − e²/4 − 3e⁴/64 − 5e⁶/256))
//   e1 = (1 − √(1 − e²)) / (1 + √(1 − e²))
//   φ1 = μ + (3e1/2 − 27e1³/32) sin 2μ + (21e1²/16 − 55e1⁴/32) sin 4μ
//          + (151e1³/96) sin 6μ + (1097e1⁴/512) sin 8μ       footpoint latitude
//   e'² = e²/(1 − e²),  C1 = e'² cos²φ1,  T1 = tan²φ1
//   N1 = a / √(1 − e² sin²φ1),  R1 = a (1 − e²) / (1 − e² sin²φ1)^1.5
//   D  = x / (N1 k0)
//   φ  = φ1 − (N1 tan φ1 / R1) [ D²/2 − (5 + 3T1 + 10C1 − 4C1² − 9e'²) D⁴/24
//          + (61 + 90T1 + 298C1 + 45T1² − 252e'² − 3C1²) D⁶/720 ]
//   λ  = λ0 + [ D − (1 + 2T1 + C1) D³/6
//          + (5 − 2C1 + 28T1 − 3C1² + 8e'² + 24T1²) D⁵/120 ] / cos φ1
LatLong TmToLatLong(const DatumTable& table, int32_t datum, double x, double y,
                    double origin_lat_deg, double central_meridian_deg, double scale) {
  const EllipsoidShape ellipsoid = table.EllipsoidOf(datum);
  const long double a = ellipsoid.a;
  const long double e2 = ellipsoid.e2;
  const long double k0 = scale;
  const long double lambda0 = central_meridian_deg * kDegree;

  const long double M0 = MeridianArc(e2, a, origin_lat_deg * kDegree);
  const long double e4 = e2 * e2;
  const long double e6 = e4 * e2;
  const long double mu =
      (y / k0 + M0) / (a * (1.0L - e2 / 4.0L - 3.0L * e4 / 64.0L - 5.0L * e6 / 256.0L));

  const long double root = std::sqrt(1.0L - e2);
  const long double e1 = (1.0L - root) / (1.0L + root);
  const long double e1_2 = e1 * e1;
  const long double e1_3 = e1_2 * e1;
  const long double e1_4 = e1_3 * e1;
  const long double phi1 = mu + (3.0L * e1 / 2.0L - 27.0L * e1_3 / 32.0L) * trig::Sin(2.0L * mu) +
                           (21.0L * e1_2 / 16.0L - 55.0L * e1_4 / 32.0L) * trig::Sin(4.0L * mu) +
                           (151.0L * e1_3 / 96.0L) * trig::Sin(6.0L * mu) +
                           (1097.0L * e1_4 / 512.0L) * trig::Sin(8.0L * mu);

  const long double ep2 = e2 / (1.0L - e2);
  const long double sin_phi1 = trig::Sin(phi1);
  const long double cos_phi1 = trig::Cos(phi1);
  const long double tan_phi1 = trig::Tan(phi1);
  const long double C1 = ep2 * cos_phi1 * cos_phi1;
  const long double T1 = tan_phi1 * tan_phi1;
  const long double w = 1.0L - e2 * sin_phi1 * sin_phi1;
  const long double N1 = a / std::sqrt(w);
  const long double R1 = a * (1.0L - e2) / (w * std::sqrt(w));
  const long double D = x / (N1 * k0);
  const long double D2 = D * D;
  const long double D3 = D2 * D;
  const long double D4 = D3 * D;
  const long double D5 = D4 * D;
  const long double D6 = D5 * D;

  const long double phi =
      phi1 -
      (N1 * tan_phi1 / R1) *
          (D2 / 2.0L - (5.0L + 3.0L * T1 + 10.0L * C1 - 4.0L * C1 * C1 - 9.0L * ep2) * D4 / 24.0L +
           (61.0L + 90.0L * T1 + 298.0L * C1 + 45.0L * T1 * T1 - 252.0L * ep2 - 3.0L * C1 * C1) *
               D6 / 720.0L);
  const long double lambda =
      lambda0 + (D - (1.0L + 2.0L * T1 + C1) * D3 / 6.0L +
                 (5.0L - 2.0L * C1 + 28.0L * T1 - 3.0L * C1 * C1 + 8.0L * ep2 + 24.0L * T1 * T1) *
                     D5 / 120.0L) /
                    cos_phi1;

  return {static_cast<double>(phi / kDegree), static_cast<double>(lambda / kDegree)};
}

// The inverse polar stereographic projection, k0 the scale at the pole:
//   ρ = √(dx² + dy²),  t = ρ √((1 + e)^(1+e) (1 − e)^(1−e)) / (2 a k0)
//   φ = π/2 − 2 atan(t),  then repeatedly
//   φ ← π/2 − 2 atan( t ((1 − e sin φ)/(1 + e sin φ))^(e/2) )
//   north: λ = atan2(dx, −dy);  south: φ → −φ, λ = atan2(dx, dy)
LatLong UpsToLatLong(const DatumTable& table, bool north, double easting, double northing,
                     int32_t datum) {
  const EllipsoidShape ellipsoid = table.EllipsoidOf(datum);
  const long double a = ellipsoid.a;
  const long double e = std::sqrt(static_cast<long double>(ellipsoid.e2));
  const long double dx = easting - kUpsFalseOrigin;
  const long double dy = northing - kUpsFalseOrigin;
  const long double rho = std::sqrt(dx * dx + dy * dy);
  const long double t = rho *
                        std::sqrt(std::pow(1.0L + e, 1.0L + e) * std::pow(1.0L - e, 1.0L - e)) /
                        (2.0L * a * kUpsScale);

  long double phi = kPi / 2.0L - 2.0L * std::atan(t);
  for (int i = 0; i < kUpsMaxRounds; ++i) {
    const long double e_sin = e * trig::Sin(phi);
    const long double phi_new =
        kPi / 2.0L - 2.0L * std::atan(t * std::pow((1.0L - e_sin) / (1.0L + e_sin), e / 2.0L));
    const bool settled = std::fabs((phi_new - phi) / phi_new) <= kUpsTolerance;
    phi = phi_new;
    if (settled) break;
  }

  if (north) {
    return {static_cast<double>(phi / kDegree), static_cast<double>(AzimuthDegrees(dx, -dy))};
  }
  return {static_cast<double>(-phi / kDegree), static_cast<double>(AzimuthDegrees(dx, dy))};
}

}  // namespace toponyx::geo
