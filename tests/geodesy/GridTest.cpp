#include "geodesy/Grid.h"

#include <gtest/gtest.h>

#include <cmath>

#include "support/TempDir.h"

namespace toponyx::geo {
namespace {

class GridTest : public ::testing::Test {
 protected:
  LatLong Utm(std::string_view zone, std::string_view hemisphere, double easting,
              double northing) const {
    return UtmToLatLong(table_, zone, hemisphere, easting, northing, kWgs84Datum);
  }

  DatumTable table_;
};

void ExpectZone(std::string_view zone, std::string_view hemisphere, int32_t number, char band,
                bool north) {
  const UtmZone z = ParseUtmZone(zone, hemisphere);
  EXPECT_EQ(z.number, number) << "'" << zone << "' '" << hemisphere << "'";
  EXPECT_EQ(z.band, band) << "'" << zone << "' '" << hemisphere << "'";
  EXPECT_EQ(z.north, north) << "'" << zone << "' '" << hemisphere << "'";
}

TEST_F(GridTest, ZoneTextGivesNumberBandAndHemisphere) {
  ExpectZone("33U", "", 33, 'U', true);
  ExpectZone("33L", "", 33, 'L', false);
  ExpectZone("33N", "", 33, 'N', true);
  ExpectZone(" 3 3 U ", "", 33, 'U', true);
  ExpectZone("u33", "", 33, ' ', true);        // lower case is no band
  ExpectZone("123456", "", 12345, ' ', true);  // five digits at most
  ExpectZone("12A34", "", 12, 'A', false);     // digits after the band count not
  ExpectZone("0-5.x9", "", 59, ' ', true);
  ExpectZone("", "", 0, ' ', true);
  ExpectZone("Z", "", 0, 'Z', true);
  ExpectZone("A", "", 0, 'A', false);
}

TEST_F(GridTest, HemisphereTextOverridesOnlyWhenExact) {
  ExpectZone("33L", "N", 33, 'L', true);
  ExpectZone("33L", "n", 33, 'L', false);
  ExpectZone("33L", " N", 33, 'L', false);
  ExpectZone("33U", "S", 33, 'U', false);
  ExpectZone("33U", "South", 33, 'U', true);
  ExpectZone("33", "S", 33, ' ', false);
  ExpectZone("Z", "S", 0, 'Z', false);
}

TEST_F(GridTest, RoundingToFiveDecimalsGoesHalfToEven) {
  // Binary fractions with an exact half in the sixth decimal.
  EXPECT_EQ(RoundTo5Decimals(0.015625), 0.01562);
  EXPECT_EQ(RoundTo5Decimals(0.046875), 0.04688);
  EXPECT_EQ(RoundTo5Decimals(-0.015625), -0.01562);
  EXPECT_EQ(RoundTo5Decimals(45.15347718336), 45.15348);
  EXPECT_EQ(RoundTo5Decimals(-38.4848659443), -38.48487);
  EXPECT_EQ(RoundTo5Decimals(175.0), 175.0);
  const double zero = RoundTo5Decimals(-0.000004);
  EXPECT_EQ(zero, 0.0);
  EXPECT_FALSE(std::signbit(zero));
}

TEST_F(GridTest, UtmExamples) {
  LatLong p = Utm("33U", "N", 500000, 5000000);
  EXPECT_EQ(p.lat, 45.15348);
  EXPECT_EQ(p.lon, 15.0);

  p = Utm("33", "S", 500000, 10000000);
  EXPECT_EQ(p.lat, 0.0);
  EXPECT_FALSE(std::signbit(p.lat));
  EXPECT_EQ(p.lon, 15.0);

  // The band letter decides the hemisphere unless the text is exactly "N".
  EXPECT_EQ(Utm("33L", "", 500000, 5000000).lat, -45.15348);
  EXPECT_EQ(Utm("33L", "N", 500000, 5000000).lat, 45.15348);
  EXPECT_EQ(Utm("33L", "n", 500000, 5000000).lat, -45.15348);
}

TEST_F(GridTest, ZonesAreNotChecked) {
  EXPECT_EQ(Utm("61", "N", 500000, 1000000).lon, 183.0);  // central meridian 6·61 − 183
  const auto [lat, lon] = Utm("99999", "N", 500000, 1000000);
  EXPECT_EQ(lon, 599811.0);
  EXPECT_TRUE(std::isfinite(lat));
}

TEST_F(GridTest, UpsExamples) {
  LatLong p = Utm("Z", "N", 2000000, 1000000);
  EXPECT_EQ(p.lat, 81.01066);
  EXPECT_EQ(p.lon, 0.0);

  // The pole itself, and points straight east or west of it.
  p = Utm("", "N", 2000000, 2000000);
  EXPECT_EQ(p.lat, 90.0);
  EXPECT_EQ(p.lon, 90.0);
  p = Utm("", "S", 2000000, 2000000);
  EXPECT_EQ(p.lat, -90.0);
  EXPECT_EQ(p.lon, 90.0);
  for (bool north : {true, false}) {
    EXPECT_EQ(UpsToLatLong(table_, north, 2300000, 2000000, kWgs84Datum).lon, 90.0);
    EXPECT_EQ(UpsToLatLong(table_, north, 1700000, 2000000, kWgs84Datum).lon, -90.0);
  }
}

// The conversions take the ellipsoid from the table they are given: a
// datums.dat entry on the International ellipsoid converts as the built-in
// datum 38 on it does, and the built-in table has no such entry.
TEST_F(GridTest, EllipsoidComesFromTheGivenTable) {
  testing::TempDir dir;
  testing::WriteFileBytes(dir.File("datums.dat"), "On International,14\n");
  DatumTable loaded;
  ASSERT_EQ(loaded.LoadDatumFile(dir.path()), 121);
  const LatLong international = UtmToLatLong(table_, "33U", "N", 400000, 5000000, 38);
  const LatLong from_loaded = UtmToLatLong(loaded, "33U", "N", 400000, 5000000, 121);
  EXPECT_EQ(from_loaded.lat, international.lat);
  EXPECT_EQ(from_loaded.lon, international.lon);
  const LatLong from_built_in = UtmToLatLong(table_, "33U", "N", 400000, 5000000, 121);
  EXPECT_EQ(from_built_in.lat, Utm("33U", "N", 400000, 5000000).lat);
  EXPECT_NE(from_built_in.lat, from_loaded.lat);
}

// The Ordnance Survey's worked example for its National Grid (true origin
// 49N 2W, scale 0.9996012717, false origin 400 000 m E, -100 000 m N):
// E 651 409.903, N 313 177.270 is 52°39′27.2531″N, 1°43′4.5177″E on Airy 1830.
TEST_F(GridTest, TransverseMercatorWithAnOriginLatitude) {
  const auto [lat, lon] = TmToLatLong(table_, kOrdnanceSurveyDatum, 651409.903 - 400000.0,
                                      313177.270 + 100000.0, 49.0, -2.0, 0.9996012717);
  // The series are good to a few millimetres (5e-8 degrees).
  EXPECT_NEAR(lat, 52.0 + 39.0 / 60.0 + 27.2531 / 3600.0, 5e-8);
  EXPECT_NEAR(lon, 1.0 + 43.0 / 60.0 + 4.5177 / 3600.0, 5e-8);
  const LatLong origin =
      TmToLatLong(table_, kOrdnanceSurveyDatum, 0.0, 0.0, 49.0, -2.0, 0.9996012717);
  EXPECT_NEAR(origin.lat, 49.0, 1e-8);
  EXPECT_EQ(origin.lon, -2.0);
}

}  // namespace
}  // namespace toponyx::geo
