// UTM/UPS grid references to latitude and longitude on a datum's ellipsoid.
#pragma once

#include <cstdint>
#include <string_view>

#include "geodesy/Datum.h"
#include "geodesy/LatLong.h"

namespace toponyx::geo {

// A zone text read the way UtmToLatLong reads it: the number from the
// digits before the first upper-case letter (at most 5 of them; 0 when
// there is none, which selects UPS), the band letter (the first upper-case
// letter, ' ' when there is none) and the hemisphere (south for bands A to
// M, unless the hemisphere text is exactly "N" or "S").
struct UtmZone {
  int32_t number;
  char band;
  bool north;
};
UtmZone ParseUtmZone(std::string_view zone, std::string_view hemisphere);

// The value rounded to 5 decimal places, a half to the even neighbour; a
// value that rounds to zero gives +0.
double RoundTo5Decimals(double value);

// Zone text such as "56", "56H", "33U" (no digits: UPS), hemisphere "N",
// "S" or other (the band letter decides), on the ellipsoid of the table's
// datum. Results rounded to 5 decimals, half to even.
LatLong UtmToLatLong(const DatumTable& table, std::string_view zone, std::string_view hemisphere,
                     double easting, double northing, int32_t datum);
// Inverse transverse Mercator; x, y without false easting and northing.
LatLong TmToLatLong(const DatumTable& table, int32_t datum, double x, double y,
                    double origin_lat_deg, double central_meridian_deg, double scale);
// Inverse polar stereographic of the UPS grid; north when north is true.
LatLong UpsToLatLong(const DatumTable& table, bool north, double easting, double northing,
                     int32_t datum);
// Distance along the meridian from the equator to latitude phi (radians).
long double MeridianArc(long double e2, long double a, long double phi);

}  // namespace toponyx::geo
