#include "geodesy/Nzmg.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

#include "geodesy/Grid.h"

namespace toponyx::geo {
namespace {

constexpr long double kOriginLatitude = -0.7155849933176751L;

NzmgComplex GridToZ(long double easting, long double northing) {
  return {(northing - 6023150.0L) / 6378388.0L, (easting - 2510000.0L) / 6378388.0L};
}

TEST(NzmgTest, GridOriginIsTheProjectionOrigin) {
  const std::optional<LatLong> p = NzmgToLatLong(2510000, 6023150);
  ASSERT_TRUE(p);
  EXPECT_EQ(p->lat, -41.0);
  EXPECT_EQ(p->lon, 173.0);
  const std::optional<NzmgSolution> s = NzmgSolve(GridToZ(2510000, 6023150), kOriginLatitude);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->rounds, 1);
  EXPECT_EQ(s->dlon, 0.0L);
}

TEST(NzmgTest, PublishedExampleInFourRounds) {
  const std::optional<LatLong> p = NzmgToLatLong(2700000, 6300000);
  ASSERT_TRUE(p);
  EXPECT_EQ(RoundTo5Decimals(p->lat), -38.48487);
  EXPECT_EQ(RoundTo5Decimals(p->lon), 175.17646);
  const std::optional<NzmgSolution> s = NzmgSolve(GridToZ(2700000, 6300000), kOriginLatitude);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->rounds, 4);
}

// Far outside the grid (and for no number at all) Newton–Raphson does not
// settle within its 20 rounds.
TEST(NzmgTest, UnsettledIterationGivesNoPosition) {
  for (const auto& p : {std::pair{-2e7, 6.3e6}, std::pair{std::nan(""), 6e6}}) {
    EXPECT_FALSE(NzmgToLatLong(p.first, p.second)) << p.first << " " << p.second;
  }
  EXPECT_FALSE(NzmgSolve(GridToZ(-2e7, 6.3e6), kOriginLatitude));
}

// f(θ) = θ + 2θ² + 3θ³ at θ = 1 + i: f = −5 + 11i, f' = 1 + 4θ + 9θ² = 5 + 22i.
TEST(NzmgTest, ComplexPolyAndSlopeByHand) {
  const NzmgComplex b[] = {{1, 0}, {2, 0}, {3, 0}};
  const ComplexValueAndSlope f = ComplexPolyAndSlope({1, 1}, b, 3);
  EXPECT_EQ(f.value, NzmgComplex(-5, 11));
  EXPECT_EQ(f.slope, NzmgComplex(5, 22));
  const ComplexValueAndSlope none = ComplexPolyAndSlope({2, 0}, b, 0);  // degree 0: nothing
  EXPECT_EQ(none.value, NzmgComplex(0, 0));
  EXPECT_EQ(none.slope, NzmgComplex(0, 0));
}

}  // namespace
}  // namespace toponyx::geo
