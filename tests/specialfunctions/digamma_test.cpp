#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "specialfunctions.h"

namespace quorix {
namespace {

constexpr double kCallersValue = 12345.678;
constexpr double kStoredEulerGamma = 0.577215664901533;

struct DigammaCase {
  const char* label;
  double x;
  std::int32_t status;  // 1: a table; 2: the series ran through all 100000 terms
  double expected;
  double tolerance;
};

void PrintTo(const DigammaCase& c, std::ostream* os) { *os << c.label; }

class DigammaValue : public ::testing::TestWithParam<DigammaCase> {};

TEST_P(DigammaValue, ComesFromTheRightSource) {
  const DigammaCase& c = GetParam();
  double result = kCallersValue;
  EXPECT_EQ(Digamma(c.x, result), c.status);
  EXPECT_NEAR(result, c.expected, c.tolerance);
}

// Table entries are sums of at most 1000 rounded terms (≤ 5e-13); the series
// values are those the cut-off series gives, below ψ by about (x − 1)/100000
// (ψ(4/3) ≈ −0.1320337800, ψ(−0.3) ≈ 2.11330978, ψ(1001) ≈ 6.9082552). A
// half-integer above 1000 has no entry either; its value is mpmath's ψ(1000.5)
// less the omitted tail ψ(101000.5) − ψ(100001).
INSTANTIATE_TEST_SUITE_P(
    Sources, DigammaValue,
    ::testing::Values(DigammaCase{"one", 1.0, 1, -kStoredEulerGamma, 0.0},
                      DigammaCase{"two", 2.0, 1, 0.422784335098467, 1e-15},
                      DigammaCase{"thousand", 1000.0, 1, 6.907255195648812, 5e-13},
                      DigammaCase{"half", 0.5, 1, -1.9635100260214235, 1e-15},
                      DigammaCase{"three_halves", 1.5, 1, 0.0364899739785765, 1e-15},
                      DigammaCase{"last_half", 999.5, 1, 6.90675482039866, 5e-13},
                      DigammaCase{"four_thirds", 4.0 / 3.0, 2, -0.1320371133, 1e-10},
                      DigammaCase{"negative_fraction", -0.3, 2, 2.11332278, 1e-8},
                      DigammaCase{"integer_above_table", 1001.0, 2, 6.8983049, 1e-7},
                      DigammaCase{"half_above_table", 1000.5, 2, 6.8978099897832, 1e-11}),
    [](const auto& info) { return info.param.label; });

TEST(Digamma, RefusesPolesAndNegativeHalfIntegersWithoutWriting) {
  for (double x : {0.0, -3.0, -0.5, -1.5, std::numeric_limits<double>::quiet_NaN()}) {
    SCOPED_TRACE(x);
    double result = kCallersValue;
    EXPECT_EQ(Digamma(x, result), 0);
    EXPECT_EQ(result, kCallersValue);
  }
}

TEST(DigammaSeries, StopsAtOnceWhenEveryTermIsZero) {
  // x = 1: the first term is exactly 0, the stop test holds at k = 1.
  double result = 0.0;
  EXPECT_EQ(DigammaSeries(1.0, result), 1);
  EXPECT_EQ(result, -kStoredEulerGamma);
}

TEST(DigammaSeries, AnswersTheNegativeHalfIntegersTheTablesLack) {
  // ψ(−1/2) = 2 − γ − 2 ln 2; the cut-off leaves out ψ(99999.5) − ψ(100001)
  // = −1.50000375e-5 (mpmath), so the series value lies that much above.
  const double psi = 2.0 - 0.5772156649015329 - 2.0 * std::log(2.0);
  double result = 0.0;
  EXPECT_EQ(DigammaSeries(-0.5, result), 2);
  EXPECT_NEAR(result, psi + 1.50000375e-5, 1e-13);
  double pole = kCallersValue;
  EXPECT_EQ(DigammaSeries(-2.0, pole), 0);  // (k + x − 1) = 0 at k = 3
  EXPECT_EQ(pole, kCallersValue);
}

}  // namespace
}  // namespace quorix
