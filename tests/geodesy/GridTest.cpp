#include "geodesy/Grid.h"

#include <gtest/gtest.h>

#include <cmath>

#include "geodesy/Datum.h"

namespace toponyx::geo {
namespace {

class GridTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetDatumTable(); }
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
  double lat = 1.0, lon = 1.0;
  UtmToLatLong("33U", "N", lat, 500000, 5000000, lon, kWgs84Datum);
  EXPECT_EQ(lat, 45.15348);
  EXPECT_EQ(lon, 15.0);

  UtmToLatLong("33", "S", lat, 500000, 10000000, lon, kWgs84Datum);
  EXPECT_EQ(lat, 0.0);
  EXPECT_FALSE(std::signbit(lat));
  EXPECT_EQ(lon, 15.0);

  // The band letter decides the hemisphere unless the text is exactly "N".
  UtmToLatLong("33L", "", lat, 500000, 5000000, lon, kWgs84Datum);
  EXPECT_EQ(lat, -45.15348);
  UtmToLatLong("33L", "N", lat, 500000, 5000000, lon, kWgs84Datum);
  EXPECT_EQ(lat, 45.15348);
  UtmToLatLong("33L", "n", lat, 500000, 5000000, lon, kWgs84Datum);
  EXPECT_EQ(lat, -45.15348);
}

TEST_F(GridTest, ZonesAreNotChecked) {
  double lat, lon;
  UtmToLatLong("61", "N", lat, 500000, 1000000, lon, kWgs84Datum);
  EXPECT_EQ(lon, 183.0);  // central meridian 6·61 − 183
  UtmToLatLong("99999", "N", lat, 500000, 1000000, lon, kWgs84Datum);
  EXPECT_EQ(lon, 599811.0);
  EXPECT_TRUE(std::isfinite(lat));
}

TEST_F(GridTest, UpsExamples) {
  double lat, lon;
  UtmToLatLong("Z", "N", lat, 2000000, 1000000, lon, kWgs84Datum);
  EXPECT_EQ(lat, 81.01066);
  EXPECT_EQ(lon, 0.0);

  // The pole itself, and points straight east or west of it.
  UtmToLatLong("", "N", lat, 2000000, 2000000, lon, kWgs84Datum);
  EXPECT_EQ(lat, 90.0);
  EXPECT_EQ(lon, 90.0);
  UtmToLatLong("", "S", lat, 2000000, 2000000, lon, kWgs84Datum);
  EXPECT_EQ(lat, -90.0);
  EXPECT_EQ(lon, 90.0);
  for (bool north : {true, false}) {
    UpsToLatLong(north, lat, lon, 2300000, 2000000, kWgs84Datum);
    EXPECT_EQ(lon, 90.0);
    UpsToLatLong(north, lat, lon, 1700000, 2000000, kWgs84Datum);
    EXPECT_EQ(lon, -90.0);
  }
}

// The Ordnance Survey's worked example for its National Grid (true origin
// 49N 2W, scale 0.9996012717, false origin 400 000 m E, -100 000 m N):
// E 651 409.903, N 313 177.270 is 52°39′27.2531″N, 1°43′4.5177″E on Airy 1830.
TEST_F(GridTest, TransverseMercatorWithAnOriginLatitude) {
  double lat, lon;
  TmToLatLong(lat, lon, kOrdnanceSurveyDatum, 651409.903 - 400000.0, 313177.270 + 100000.0, 49.0,
              -2.0, 0.9996012717);
  // The series are good to a few millimetres (5e-8 degrees).
  EXPECT_NEAR(lat, 52.0 + 39.0 / 60.0 + 27.2531 / 3600.0, 5e-8);
  EXPECT_NEAR(lon, 1.0 + 43.0 / 60.0 + 4.5177 / 3600.0, 5e-8);
  TmToLatLong(lat, lon, kOrdnanceSurveyDatum, 0.0, 0.0, 49.0, -2.0, 0.9996012717);
  EXPECT_NEAR(lat, 49.0, 1e-8);
  EXPECT_EQ(lon, -2.0);
}

}  // namespace
}  // namespace toponyx::geo
