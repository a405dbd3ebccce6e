#include "geodesy/Trig.h"

#include <gtest/gtest.h>

#include <cmath>

namespace toponyx::geo {
namespace {

// The reduced functions agree with the library's own to a few units in the
// last place of the extended format over the arguments the conversions use,
// across every quadrant boundary.
TEST(TrigTest, AgreesWithTheLibraryAcrossQuadrants) {
  const long double ulp = 0x1p-63L;
  for (long double x = -40.0L; x <= 40.0L; x += 0.001953125L * 3.1L) {
    for (long double dx : {0.0L, 1e-19L, -1e-19L}) {
      const long double a = x + dx;
      EXPECT_NEAR(static_cast<double>(trig::Sin(a) - std::sin(a)), 0.0,
                  4 * static_cast<double>(ulp))
          << static_cast<double>(a);
      EXPECT_NEAR(static_cast<double>(trig::Cos(a) - std::cos(a)), 0.0,
                  4 * static_cast<double>(ulp))
          << static_cast<double>(a);
#if !defined(_WIN32)  // mingw-w64's tanl is good to a double's precision only
      const long double t = std::tan(a);
      constexpr int kTanUlps = 8;
      EXPECT_NEAR(static_cast<double>((trig::Tan(a) - t) / (1.0L + std::fabs(t))), 0.0,
                  kTanUlps * static_cast<double>(ulp))
          << static_cast<double>(a);
#endif
    }
  }
  // Quadrant signs at the multiples of pi/2 themselves.
  const long double half_pi = 1.5707963267948966192313216916397514L;
  EXPECT_NEAR(static_cast<double>(trig::Sin(half_pi)), 1.0, 1e-18);
  EXPECT_NEAR(static_cast<double>(trig::Cos(2 * half_pi)), -1.0, 1e-18);
  EXPECT_NEAR(static_cast<double>(trig::Sin(3 * half_pi)), -1.0, 1e-18);
  EXPECT_EQ(trig::Sin(0.0L), 0.0L);
  // Beyond the reduction's range the library answers.
  EXPECT_EQ(trig::Sin(1e7L), std::sin(1e7L));
}

}  // namespace
}  // namespace toponyx::geo
