// Values away from the poles are checked against mpmath in reference_test.cpp;
// here the refusals, the overflow edge and the stored constants at ln Γ = 0.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "specialfunctions.h"

namespace quorix {
namespace {

constexpr double kCallersValue = 12345.678;  // must survive a refused call
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(LogGamma, RefusesNonPositiveArgumentsWithoutWriting) {
  for (double x : {0.0, -0.0, -1.0, -1.5, -1e-300, kNaN}) {
    double result = kCallersValue;
    EXPECT_EQ(LogGamma(x, result), 0) << x;
    EXPECT_EQ(result, kCallersValue) << x;
  }
}

// With the 15-digit Lanczos constants ln Γ(1) and ln Γ(2) come out within an
// ulp or two of 0; a wrong digit in a coefficient shows here first.
TEST(LogGamma, VanishesAtOneAndTwo) {
  for (double x : {1.0, 2.0}) {
    double result = kCallersValue;
    EXPECT_EQ(LogGamma(x, result), 1);
    EXPECT_NEAR(result, 0.0, 1e-15) << x;
  }
}

TEST(GammaFunction, RefusesThePolesWithoutWriting) {
  for (double x : {0.0, -0.0, -1.0, -3.0, -1000.0}) {
    double result = kCallersValue;
    EXPECT_EQ(GammaFunction(x, result), 0) << x;
    EXPECT_EQ(result, kCallersValue) << x;
  }
}

// Γ leaves the double range near 171.624, for negative x when 1 − x passes
// it; the overflow of exp is trapped and reported as status 0.
TEST(GammaFunction, OverflowIsAFailureNotAFault) {
  double result = 0.0;
  EXPECT_EQ(GammaFunction(171.7, result), 0);
  EXPECT_EQ(GammaFunction(-171.5, result), 0);
  EXPECT_EQ(GammaFunction(-170.5, result), 1);  // 1 − x = 171.5 still fits
  EXPECT_GT(std::fabs(result), 0.0);
}

}  // namespace
}  // namespace quorix
