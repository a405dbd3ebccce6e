#include "geodesy/Nzmg.h"

#include <gtest/gtest.h>

#include <cmath>

#include "geodesy/Datum.h"
#include "geodesy/Grid.h"

namespace toponyx::geo {
namespace {

constexpr long double kOriginLatitude = -0.7155849933176751L;

NzmgComplex GridToZ(long double easting, long double northing) {
  return {(northing - 6023150.0L) / 6378388.0L, (easting - 2510000.0L) / 6378388.0L};
}

TEST(NzmgTest, GridOriginIsTheProjectionOrigin) {
  double lat, lon;
  NzmgToLatLong(lat, lon, 2510000, 6023150);
  EXPECT_EQ(lat, -41.0);
  EXPECT_EQ(lon, 173.0);
  long double phi, dlambda;
  EXPECT_EQ(NzmgSolve(GridToZ(2510000, 6023150), kOriginLatitude, phi, dlambda), 1);
  EXPECT_EQ(dlambda, 0.0L);
}

TEST(NzmgTest, PublishedExampleInFourRounds) {
  double lat, lon;
  NzmgToLatLong(lat, lon, 2700000, 6300000);
  EXPECT_EQ(RoundTo5Decimals(lat), -38.48487);
  EXPECT_EQ(RoundTo5Decimals(lon), 175.17646);
  long double phi, dlambda;
  EXPECT_EQ(NzmgSolve(GridToZ(2700000, 6300000), kOriginLatitude, phi, dlambda), 4);
}

TEST(NzmgTest, UnsettledIterationGivesTheMarker) {
  const double marker_lat = 999999999.0 * 57.29577951308232;
  double lat, lon;
  for (const auto& p : {std::pair{-2e7, 6.3e6}, std::pair{std::nan(""), 6e6}}) {
    NzmgToLatLong(lat, lon, p.first, p.second);
    EXPECT_TRUE(NzmgFailed(lat, lon)) << p.first << " " << p.second;
    EXPECT_NEAR(lat, marker_lat, 1.0);
    EXPECT_NEAR(lon, marker_lat + 173.0, 1.0);
  }
  long double phi, dlambda;
  EXPECT_EQ(NzmgSolve(GridToZ(-2e7, 6.3e6), kOriginLatitude, phi, dlambda), 0);
  EXPECT_EQ(phi, kNzmgFailed);
  EXPECT_EQ(dlambda, kNzmgFailed);
  // The marker passes through the datum shift untouched.
  ConvertDatum(38, kWgs84Datum, lat, lon);
  EXPECT_TRUE(NzmgFailed(lat, lon));
  // A real position is no marker.
  NzmgToLatLong(lat, lon, 2700000, 6300000);
  EXPECT_FALSE(NzmgFailed(lat, lon));
}

// f(θ) = θ + 2θ² + 3θ³ at θ = 1 + i: f = −5 + 11i, f' = 1 + 4θ + 9θ² = 5 + 22i.
TEST(NzmgTest, ComplexPolyAndSlopeByHand) {
  const NzmgComplex b[] = {{1, 0}, {2, 0}, {3, 0}};
  NzmgComplex value, slope;
  ComplexPolyAndSlope({1, 1}, b, 3, value, slope);
  EXPECT_EQ(value, NzmgComplex(-5, 11));
  EXPECT_EQ(slope, NzmgComplex(5, 22));
  ComplexPolyAndSlope({2, 0}, b, 0, value, slope);  // degree 0: nothing
  EXPECT_EQ(value, NzmgComplex(0, 0));
  EXPECT_EQ(slope, NzmgComplex(0, 0));
}

}  // namespace
}  // namespace toponyx::geo
