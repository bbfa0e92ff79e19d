// Values in every region against mpmath are in reference_test.cpp; here the
// paths that table cannot pin: ψ from the cut-off series, nearly integer
// gaps, and each way of failing.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "specialfunctions.h"

namespace quorix {
namespace {

constexpr double kCallersValue = 1.25;

TEST(Hypergeometric2F1, LogarithmicFormWithPsiFromTheSeries) {
  // c = a + b with ψ(j + 1/3) off the tables: the cut-off series leaves F
  // about 1.4e-6 below its true value 1.2430525828 (mpmath), at 1.2430508263.
  double result = 0.0;
  EXPECT_EQ(Hypergeometric2F1(1.0, 1.0 / 3.0, 4.0 / 3.0, 0.6, result), 1);
  EXPECT_NEAR(result, 1.2430508263, 1e-9);
}

TEST(Hypergeometric2F1, NearlyIntegerGapsUseTheExactInteger) {
  // Within 1e-6 of an integer m the logarithmic forms take m itself, so the
  // value is that of c = a + b + m, bit for bit.
  double exact = 0.0, near = 0.0;
  ASSERT_EQ(Hypergeometric2F1(1.0, 0.5, 1.5, 0.7, exact), 1);
  EXPECT_EQ(Hypergeometric2F1(1.0, 0.5, 1.5000001, 0.7, near), 1);
  EXPECT_EQ(near, exact);
  ASSERT_EQ(Hypergeometric2F1(1.0, 1.0, 3.0, 0.9, exact), 1);
  EXPECT_EQ(Hypergeometric2F1(1.0, 1.0, 3.0000005, 0.9, near), 1);
  EXPECT_EQ(near, exact);
}

TEST(Hypergeometric2F1, NegativeHalfIntegerTakesPsiFromTheSeries) {
  // F(−1/2, 1; 1/2; z) = 1 − √z·artanh(√z). ψ(−1/2) has no table entry and
  // comes from the cut-off series, 1.50000375e-5 above the true value; it
  // enters with weight −Γ(1/2)/(Γ(−1/2)Γ(1)) = 1/2, every other ψ is tabled.
  double result = 0.0;
  EXPECT_EQ(Hypergeometric2F1(-0.5, 1.0, 0.5, 0.7, result), 1);
  const double exact = 1.0 - std::sqrt(0.7) * std::atanh(std::sqrt(0.7));
  EXPECT_NEAR(result, exact + 0.5 * 1.50000375e-5, 1e-12);
}

TEST(Hypergeometric2F1, FailuresReportStatusZero) {
  const struct {
    const char* label;
    double a, b, c, z;
    double resultOverCallersValue;  // 1: untouched; 0: the series stored 0
  } cases[] = {
      {"z_one", 1.0, 1.0, 2.0, 1.0, 1.0},
      {"z_two", 1.0, 1.0, 2.0, 2.0, 1.0},
      // c − a − b = 171: the closed form's m! would overflow (a fault), so
      // the case is refused before it is tried.
      {"gap_beyond_170", -35.25, -35.75, 100.0, 0.7, 1.0},
      // c = 0 divides by zero in the series' first step; the series stored 0.
      {"series_fails", 1.0, 1.0, 0.0, 0.3, 0.0},
      // Γ(c − a) = Γ(−2) fails, although F itself is finite.
      {"gamma_form_pole", 2.5, 0.25, 0.5, 0.95, 1.0},
      // c = a + b with Γ(−1) failing: the polynomial is not recognised.
      {"log_form_pole", -1.0, 2.5, 1.5, 0.7, 1.0},
      // Inner F(−2, 1.2; 1.5; 3/4) fails on Γ(−2); the untouched value is
      // still scaled by (1 − z)^(−a) = 4² = 16.
      {"pfaff_scales_failure", -2.0, 0.3, 1.5, -3.0, 16.0}};
  for (const auto& c : cases) {
    double result = kCallersValue;
    EXPECT_EQ(Hypergeometric2F1(c.a, c.b, c.c, c.z, result), 0) << c.label;
    EXPECT_EQ(result, c.resultOverCallersValue * kCallersValue) << c.label;
  }
}

// The evaluator's own faults reach the caller; `result` holds an infinity
// when the faulting operation was the final store, else the caller's value.
TEST(Hypergeometric2F1, FaultsEscapeToTheCaller) {
  const struct {
    const char* label;
    double a, b, c, z;
    bool storesInfinity;
  } cases[] = {
      // (1 − z)^(c − a − b) = (1e-10)^(−40.5) overflows before anything is stored.
      {"gamma_form_power", 20.0, 21.0, 0.5, 0.9999999999, false},
      // Γ(c − a − b)·Γ(c) = Γ(100.3)·Γ(170) overflows inside the final
      // combination, although F ≈ 2830.62 (mpmath).
      {"gamma_form_product", 34.85, 34.85, 170.0, 0.9, true},
      // w rounds to 1, the inner call fails untouched, (1 + 1e300)² overflows.
      {"pfaff_power", -2.0, 1.0, 3.0, -1e300, true},
      // The region test compares a NaN.
      {"nan_argument", 1.0, 1.0, 2.0, std::numeric_limits<double>::quiet_NaN(), false}};
  for (const auto& c : cases) {
    double result = kCallersValue;
    EXPECT_THROW(Hypergeometric2F1(c.a, c.b, c.c, c.z, result), FloatingPointFault) << c.label;
    EXPECT_TRUE(c.storesInfinity ? std::isinf(result) : result == kCallersValue) << c.label;
  }
}

}  // namespace
}  // namespace quorix
