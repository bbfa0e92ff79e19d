// Table and series values against mpmath are in reference_test.cpp; here the
// stored Euler constant, the refusals and the series' own edges.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "specialfunctions.h"

namespace quorix {
namespace {

constexpr double kCallersValue = 12345.678;
constexpr double kStoredEulerGamma = 0.577215664901533;  // 15 digits, not the full constant

TEST(Digamma, OneIsMinusTheStoredEulerConstantExactly) {
  double table = 0.0, series = 0.0;
  EXPECT_EQ(Digamma(1.0, table), 1);
  EXPECT_EQ(table, -kStoredEulerGamma);
  // The series' first term is exactly 0, so its stop test holds at k = 1.
  EXPECT_EQ(DigammaSeries(1.0, series), 1);
  EXPECT_EQ(series, -kStoredEulerGamma);
}

TEST(Digamma, RefusesPolesAndNegativeHalfIntegersWithoutWriting) {
  for (double x : {0.0, -3.0, -0.5, -1.5, std::numeric_limits<double>::quiet_NaN()}) {
    double result = kCallersValue;
    EXPECT_EQ(Digamma(x, result), 0) << x;
    EXPECT_EQ(result, kCallersValue) << x;
  }
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
