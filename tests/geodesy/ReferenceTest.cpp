// Agreement with independent implementations (PROJ and GeographicLib); the
// values are in GeodesyReference.h, made by tools/geodesy_reference.sh. The
// largest deviation of each group is recorded as a test property
// (--gtest_output=xml shows them).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>

#include "geodesy/Datum.h"
#include "geodesy/GeodesyReference.h"
#include "geodesy/Grid.h"
#include "geodesy/Nzmg.h"

namespace toponyx::geo {
namespace {

namespace ref = reference;

constexpr double kMetresPerDegree = 111195.0;  // on a sphere of radius 6 371 km

std::string Figure(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3g", value);
  return text;
}

// Ground distance in metres between two nearby positions.
double GroundDistance(double lat1, double lon1, double lat2, double lon2) {
  const double cos_lat = std::cos(lat1 * 3.141592653589793 / 180.0);
  return std::hypot((lat2 - lat1) * kMetresPerDegree, (lon2 - lon1) * kMetresPerDegree * cos_lat);
}

// Longitude difference with whole turns taken out: our UTM and NZMG
// longitudes are not folded into ±180.
double LongitudeDifference(double a, double b) {
  double d = std::fmod(a - b, 360.0);
  if (d > 180.0) d -= 360.0;
  if (d < -180.0) d += 360.0;
  return std::fabs(d);
}

class ReferenceTest : public ::testing::Test {
 protected:
  DatumTable table_;
};

// The shift keeps no height: the translated point is put on the target
// ellipsoid along its geocentric direction, where PROJ carries the height
// (up to about 105 m here). That costs less than half a metre.
template <size_t N>
double LargestShiftDeviation(const DatumTable& table, const ref::ShiftPoint (&points)[N],
                             bool to_wgs84, std::string& where) {
  double largest = 0.0;
  for (const ref::ShiftPoint& p : points) {
    const auto [lat, lon] = to_wgs84 ? ConvertDatum(table, p.datum, kWgs84Datum, p.lat, p.lon)
                                     : ConvertDatum(table, kWgs84Datum, p.datum, p.lat, p.lon);
    const double d = GroundDistance(p.ref_lat, p.ref_lon, lat, lon);
    if (d > largest) {
      largest = d;
      where =
          std::to_string(p.datum) + " at " + std::to_string(p.lat) + ", " + std::to_string(p.lon);
    }
  }
  return largest;
}

TEST_F(ReferenceTest, DatumShiftAgreesWithThreeDimensionalShiftWithinMetres) {
  std::string where;
  const double to = LargestShiftDeviation(table_, ref::kToWgs84, true, where);
  RecordProperty("to_wgs84_max_m", Figure(to));
  EXPECT_LT(to, 0.5) << where;
  const double from = LargestShiftDeviation(table_, ref::kFromWgs84, false, where);
  RecordProperty("from_wgs84_max_m", Figure(from));
  EXPECT_LT(from, 0.5) << where;
}

template <size_t N>
void ExpectGrid(const DatumTable& table, const ref::GridPoint (&points)[N], double tolerance,
                const char* property) {
  double largest = 0.0;
  for (const ref::GridPoint& p : points) {
    const auto [lat, lon] =
        UtmToLatLong(table, p.zone, p.hemisphere, p.easting, p.northing, p.datum);
    const double dlat = std::fabs(lat - p.ref_lat);
    // At a pole the longitude is a convention, not a position.
    const double dlon = std::fabs(p.ref_lat) == 90.0 ? 0.0 : LongitudeDifference(lon, p.ref_lon);
    largest = std::max({largest, dlat, dlon});
    EXPECT_LE(dlat, tolerance) << p.zone << p.hemisphere << " " << p.easting << " " << p.northing;
    EXPECT_LE(dlon, tolerance) << p.zone << p.hemisphere << " " << p.easting << " " << p.northing;
  }
  ::testing::Test::RecordProperty(property, Figure(largest));
}

// Results are rounded to 5 decimals, so they are within half a unit of the
// fifth decimal of the exact value, plus the series' own error.
constexpr double kRoundedTolerance = 0.0000051;

TEST_F(ReferenceTest, UtmAgreesWithinTheRounding) {
  ExpectGrid(table_, ref::kUtmWgs84, kRoundedTolerance, "utm_wgs84_max_deg");
  ExpectGrid(table_, ref::kUtmOther, kRoundedTolerance, "utm_other_max_deg");
}

TEST_F(ReferenceTest, UpsAgreesWithinTheRounding) {
  ExpectGrid(table_, ref::kUpsWgs84, kRoundedTolerance, "ups_wgs84_max_deg");
  ExpectGrid(table_, ref::kUpsOther, kRoundedTolerance, "ups_other_max_deg");
}

// Unrounded, the series stays within a few millimetres of the exact
// projection inside the zones (3.5 degrees either side of the meridian).
TEST_F(ReferenceTest, TransverseMercatorSeriesAgreesWithExactProjection) {
  double largest = 0.0;
  for (const ref::TmPoint& p : ref::kTransverseMercator) {
    const auto [lat, lon] = TmToLatLong(table_, p.datum, p.x, p.y, 0.0, p.central_meridian, 0.9996);
    const double d = GroundDistance(p.ref_lat, p.ref_lon, lat, lon);
    largest = std::max(largest, d);
    EXPECT_LT(d, 0.005) << p.datum << " " << p.x << " " << p.y;
  }
  RecordProperty("tm_max_m", Figure(largest));
}

TEST_F(ReferenceTest, MeridianArcAgreesWithGeodesicDistance) {
  double largest = 0.0;
  for (const ref::ArcPoint& p : ref::kMeridianArc) {
    const EllipsoidShape ellipsoid = table_.EllipsoidOf(p.datum);
    const long double m = MeridianArc(ellipsoid.e2, ellipsoid.a, p.lat * 0.017453292519943295L);
    const double d = std::fabs(static_cast<double>(m) - p.ref_distance);
    largest = std::max(largest, d);
    EXPECT_LT(d, 0.002) << p.datum << " " << p.lat;
  }
  RecordProperty("meridian_arc_max_m", Figure(largest));
}

// PROJ evaluates the same published polynomials, so the two agree far below
// the fifth decimal.
TEST_F(ReferenceTest, NzmgAgreesWithPublishedMethod) {
  double largest = 0.0;
  for (const ref::NzmgPoint& p : ref::kNzmg) {
    const std::optional<LatLong> position = NzmgToLatLong(p.easting, p.northing);
    ASSERT_TRUE(position) << p.easting << " " << p.northing;
    const auto [lat, lon] = *position;
    const double d = std::max(std::fabs(lat - p.ref_lat), LongitudeDifference(lon, p.ref_lon));
    largest = std::max(largest, d);
    EXPECT_LT(d, 1e-9) << p.easting << " " << p.northing;
  }
  RecordProperty("nzmg_max_deg", Figure(largest));
}

}  // namespace
}  // namespace toponyx::geo
