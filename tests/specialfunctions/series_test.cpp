#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "specialfunctions.h"

namespace quorix {
namespace {

constexpr double kCallersValue = 12345.678;

struct SeriesCase {
  const char* label;
  double a, b, c, z;
  std::int32_t status;  // index of the first term that left the sum unchanged
  double expected;
};

void PrintTo(const SeriesCase& c, std::ostream* os) { *os << c.label; }

class SeriesValue : public ::testing::TestWithParam<SeriesCase> {};

TEST_P(SeriesValue, StopsAtTheFirstTermThatLeavesTheSumUnchanged) {
  const SeriesCase& c = GetParam();
  double sum = kCallersValue;
  EXPECT_EQ(HypergeometricSeries(c.a, c.b, c.c, c.z, sum), c.status);
  // Rounding only: a few dozen additions, and the closed forms' own.
  EXPECT_NEAR(sum, c.expected, 2e-15 * std::fabs(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    ClosedForms, SeriesValue,
    ::testing::Values(
        // The term of index 1 is exactly 0.
        SeriesCase{"z_zero", 1.7, 2.3, 0.4, 0.0, 1, 1.0}, SeriesCase{"a_zero", 0.0, 3.0, 4.0, 0.7, 1, 1.0},
        // Terminating: 1 − 1.05 + 0.294, the term of index 3 is exactly 0.
        SeriesCase{"polynomial", -2.0, 3.0, 4.0, 0.7, 3, 0.244},
        // F(1, 1; 2; z) = −ln(1 − z)/z.
        SeriesCase{"log_half", 1.0, 1.0, 2.0, 0.5, 48, 2.0 * std::log(2.0)},
        SeriesCase{"log_minus_half", 1.0, 1.0, 2.0, -0.5, 49, 2.0 * std::log(1.5)},
        // F(1, 1/2; 3/2; z) = artanh(√z)/√z.
        SeriesCase{"artanh", 1.0, 0.5, 1.5, 0.3, 28, std::atanh(std::sqrt(0.3)) / std::sqrt(0.3)}),
    [](const auto& info) { return info.param.label; });

TEST(HypergeometricSeries, LeavesTheSumUntouchedOutsideTheUnitDisc) {
  for (double z : {1.0, -1.0, 2.0, std::numeric_limits<double>::quiet_NaN()}) {
    SCOPED_TRACE(z);
    double sum = kCallersValue;
    EXPECT_EQ(HypergeometricSeries(1.0, 1.0, 2.0, z, sum), 0);
    EXPECT_EQ(sum, kCallersValue);
  }
}

TEST(HypergeometricSeries, GivesUpAfterTheTermOfIndex1000) {
  // −ln(0.001)/0.999 ≈ 6.9147, but the terms fall off only like 0.999ⁿ/n:
  // the sum through index 1000 is about 6.6958 (to 1e-12 in the reference table).
  double sum = kCallersValue;
  EXPECT_EQ(HypergeometricSeries(1.0, 1.0, 2.0, 0.999, sum), 0);
  EXPECT_NEAR(sum, 6.6958, 5e-5);
}

TEST(HypergeometricSeries, DivisionByZeroInTheFirstStepLeavesZero) {
  double sum = kCallersValue;
  EXPECT_EQ(HypergeometricSeries(1.0, 1.0, 0.0, 0.3, sum), 0);
  EXPECT_EQ(sum, 0.0);
}

TEST(HypergeometricSeries, AnOverflowingTermKeepsTheLastFinitePartialSum) {
  // (300)ₙ²/(n!)² · 2⁻ⁿ passes 1e308 near n = 500: the sum stored before the
  // fault is already huge but finite; the infinity itself is never stored.
  double sum = kCallersValue;
  EXPECT_EQ(HypergeometricSeries(300.0, 300.0, 1.0, 0.5, sum), 0);
  EXPECT_TRUE(std::isfinite(sum));
  EXPECT_GT(sum, 1e300);
}

}  // namespace
}  // namespace quorix
