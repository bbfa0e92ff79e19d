#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "specialfunctions.h"

namespace quorix {
namespace {

constexpr double kCallersValue = 12345.678;

// The status is the index of the first term that left the sum unchanged.
TEST(HypergeometricSeries, StopsAtTheFirstTermThatLeavesTheSumUnchanged) {
  const struct {
    const char* label;
    double a, b, c, z;
    std::int32_t status;
    double expected;
  } cases[] = {
      // The term of index 1 is exactly 0.
      {"z_zero", 1.7, 2.3, 0.4, 0.0, 1, 1.0},
      {"a_zero", 0.0, 3.0, 4.0, 0.7, 1, 1.0},
      // Terminating: 1 − 1.05 + 0.294, the term of index 3 is exactly 0.
      {"polynomial", -2.0, 3.0, 4.0, 0.7, 3, 0.244},
      // F(1, 1; 2; z) = −ln(1 − z)/z.
      {"log_half", 1.0, 1.0, 2.0, 0.5, 48, 2.0 * std::log(2.0)},
      {"log_minus_half", 1.0, 1.0, 2.0, -0.5, 49, 2.0 * std::log(1.5)},
      // F(1, 1/2; 3/2; z) = artanh(√z)/√z.
      {"artanh", 1.0, 0.5, 1.5, 0.3, 28, std::atanh(std::sqrt(0.3)) / std::sqrt(0.3)}};
  for (const auto& c : cases) {
    double sum = kCallersValue;
    EXPECT_EQ(HypergeometricSeries(c.a, c.b, c.c, c.z, sum), c.status) << c.label;
    // Rounding only: a few dozen additions, and the closed forms' own.
    EXPECT_NEAR(sum, c.expected, 2e-15 * std::fabs(c.expected)) << c.label;
  }
}

TEST(HypergeometricSeries, LeavesTheSumUntouchedOutsideTheUnitDisc) {
  for (double z : {1.0, -1.0, 2.0, std::numeric_limits<double>::quiet_NaN()}) {
    double sum = kCallersValue;
    EXPECT_EQ(HypergeometricSeries(1.0, 1.0, 2.0, z, sum), 0) << z;
    EXPECT_EQ(sum, kCallersValue) << z;
  }
}

// A fault ends the call with the last good partial sum stored: 0 when the
// first step divides by c = 0; when (300)ₙ²/(n!)²·2⁻ⁿ passes 1e308 near
// n = 500, a huge but finite sum, never the infinity itself.
TEST(HypergeometricSeries, AFaultKeepsTheLastPartialSum) {
  double sum = kCallersValue;
  EXPECT_EQ(HypergeometricSeries(1.0, 1.0, 0.0, 0.3, sum), 0);
  EXPECT_EQ(sum, 0.0);
  EXPECT_EQ(HypergeometricSeries(300.0, 300.0, 1.0, 0.5, sum), 0);
  EXPECT_TRUE(std::isfinite(sum));
  EXPECT_GT(sum, 1e300);
}

}  // namespace
}  // namespace quorix
