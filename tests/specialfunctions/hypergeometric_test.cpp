#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "specialfunctions.h"

namespace quorix {
namespace {

constexpr double kCallersValue = 1.25;

double ArtanhOverRoot(double z) { return std::atanh(std::sqrt(z)) / std::sqrt(z); }
double ArctanOverRoot(double z) { return std::atan(std::sqrt(z)) / std::sqrt(z); }

struct ValueCase {
  const char* label;
  double a, b, c, z;
  double expected;
  double relativeTolerance;
};

void PrintTo(const ValueCase& c, std::ostream* os) { *os << c.label; }

class RegionValue : public ::testing::TestWithParam<ValueCase> {};

// Everything here lands in region B, directly or after the Pfaff step, so the
// status is 1.
TEST_P(RegionValue, MatchesTheIndependentValue) {
  const ValueCase& c = GetParam();
  double result = 0.0;
  EXPECT_EQ(Hypergeometric2F1(c.a, c.b, c.c, c.z, result), 1);
  EXPECT_NEAR(result, c.expected, c.relativeTolerance * std::fabs(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Transformations, RegionValue,
    ::testing::Values(
        // c = a + b, all ψ from the tables and Γ at 1/2, 1, 3/2 only.
        ValueCase{"log_form_tables", 1.0, 0.5, 1.5, 0.7, ArtanhOverRoot(0.7), 1e-13},
        // ψ(j + 1/3) from the cut-off series: about 1.4e-6 below F = 1.2430525828.
        ValueCase{"log_form_series_psi", 1.0, 1.0 / 3.0, 4.0 / 3.0, 0.6, 1.2430508263, 1e-9},
        // Gamma factors: each within 2e-10 relative, five to a term.
        ValueCase{"gamma_form", 1.0, 0.3, 1.5, 0.8, 1.32259157418, 1e-9},
        ValueCase{"pfaff_then_gamma_form", 1.0, 0.5, 1.5, -2.0, ArctanOverRoot(2.0), 1e-9},
        ValueCase{"pfaff_then_log_form", 1.0, 1.0, 2.0, -3.0, std::log(4.0) / 3.0, 1e-13}),
    [](const auto& info) { return info.param.label; });

class IntegerGapValue : public ::testing::TestWithParam<ValueCase> {};

// c − a − b = m ≠ 0: the closed forms with ψ from the tables and Γ at small
// arguments, where the six-term approximation is within about 1e-14.
TEST_P(IntegerGapValue, MatchesMpmath) {
  const ValueCase& c = GetParam();
  double result = 0.0;
  EXPECT_EQ(Hypergeometric2F1(c.a, c.b, c.c, c.z, result), 1);
  EXPECT_NEAR(result, c.expected, c.relativeTolerance * std::fabs(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    ClosedForms, IntegerGapValue,
    ::testing::Values(ValueCase{"one_one_three_06", 1.0, 1.0, 3.0, 0.6, 1.2971317069463221, 1e-12},
                      ValueCase{"one_one_three_09", 1.0, 1.0, 3.0, 0.9, 1.65368269308789, 1e-12},
                      ValueCase{"one_one_three_099", 1.0, 1.0, 3.0, 0.99, 1.9262285443120479, 1e-12},
                      ValueCase{"gap_plus_one", 1.0, 0.5, 2.5, 0.7, 1.213189881990512, 1e-12},
                      // F(a, b; b; z) = (1 − z)^(−a).
                      ValueCase{"gap_minus_one", 1.0, 0.5, 0.5, 0.7, 10.0 / 3.0, 1e-12},
                      ValueCase{"gap_plus_two", 0.5, 1.0, 3.5, 0.8, 1.1657070541345721, 1e-12},
                      // The inner call of the Pfaff step is F(1, 1; 3; w), m = 1.
                      ValueCase{"pfaff_minus_3", 1.0, 2.0, 3.0, -3.0, 0.35860125308446875, 1e-12},
                      ValueCase{"pfaff_minus_9", 1.0, 2.0, 3.0, -9.0, 0.165368269308789, 1e-12}),
    [](const auto& info) { return info.param.label; });

TEST(Hypergeometric2F1, SumsTheSeriesUpToAbsoluteOneHalf) {
  // Both ends belong to the series: its statuses 48 and 49 come through.
  double result = 0.0;
  EXPECT_EQ(Hypergeometric2F1(1.0, 1.0, 2.0, 0.5, result), 48);
  EXPECT_NEAR(result, 2.0 * std::log(2.0), 2e-15);
  EXPECT_EQ(Hypergeometric2F1(1.0, 1.0, 2.0, -0.5, result), 49);
  EXPECT_NEAR(result, 2.0 * std::log(1.5), 2e-15);
}

TEST(Hypergeometric2F1, PfaffPassesOnTheStatusOfTheInnerSeries) {
  // z = −0.7: w = z/(z − 1) ≈ 0.41 is summed as F(1, 1; 3/2; w).
  double inner = 0.0;
  const std::int32_t innerStatus = HypergeometricSeries(1.0, 1.0, 1.5, -0.7 / (-0.7 - 1.0), inner);
  ASSERT_GT(innerStatus, 1);
  double result = 0.0;
  EXPECT_EQ(Hypergeometric2F1(1.0, 0.5, 1.5, -0.7, result), innerStatus);
  EXPECT_NEAR(result, ArctanOverRoot(0.7), 2e-15);
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

struct FailureCase {
  const char* label;
  double a, b, c, z;
  double resultOverCallersValue;  // 1: untouched; 0: the series stored 0
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.label; }

class Failure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(Failure, ReportsStatusZero) {
  const FailureCase& c = GetParam();
  double result = kCallersValue;
  EXPECT_EQ(Hypergeometric2F1(c.a, c.b, c.c, c.z, result), 0);
  EXPECT_EQ(result, c.resultOverCallersValue * kCallersValue);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Failure,
    ::testing::Values(FailureCase{"z_one", 1.0, 1.0, 2.0, 1.0, 1.0}, FailureCase{"z_two", 1.0, 1.0, 2.0, 2.0, 1.0},
                      // c = 0 divides by zero in the series' first step; the series stored 0.
                      FailureCase{"series_fails", 1.0, 1.0, 0.0, 0.3, 0.0},
                      // Γ(c − a) = Γ(−2) fails, although F itself is finite.
                      FailureCase{"gamma_form_pole", 2.5, 0.25, 0.5, 0.95, 1.0},
                      // c = a + b with Γ(−1) failing: the polynomial is not recognised.
                      FailureCase{"log_form_pole", -1.0, 2.5, 1.5, 0.7, 1.0},
                      // Inner F(−2, 1.2; 1.5; 3/4) fails on Γ(−2); the untouched
                      // value is still scaled by (1 − z)^(−a) = 4² = 16.
                      FailureCase{"pfaff_scales_failure", -2.0, 0.3, 1.5, -3.0, 16.0}),
    [](const auto& info) { return info.param.label; });

struct FaultCase {
  const char* label;
  double a, b, c, z;
  bool storesInfinity;  // the faulting operation was the final store
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.label; }

class Fault : public ::testing::TestWithParam<FaultCase> {};

TEST_P(Fault, EscapesToTheCaller) {
  const FaultCase& c = GetParam();
  double result = kCallersValue;
  EXPECT_THROW(Hypergeometric2F1(c.a, c.b, c.c, c.z, result), FloatingPointFault);
  if (c.storesInfinity) {
    EXPECT_TRUE(std::isinf(result));
  } else {
    EXPECT_EQ(result, kCallersValue);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Fault,
    ::testing::Values(
        // (1 − z)^(c − a − b) = (1e-10)^(−40.5) overflows before anything is stored.
        FaultCase{"gamma_form_power", 20.0, 21.0, 0.5, 0.9999999999, false},
        // Γ(c − a − b)·Γ(c) = Γ(100.3)·Γ(170) overflows inside the final
        // combination, although F ≈ 2830.62 (mpmath).
        FaultCase{"gamma_form_product", 34.85, 34.85, 170.0, 0.9, true},
        // w rounds to 1, the inner call fails untouched, (1 + 1e300)² overflows.
        FaultCase{"pfaff_power", -2.0, 1.0, 3.0, -1e300, true},
        // The region test compares a NaN.
        FaultCase{"nan_argument", 1.0, 1.0, 2.0, std::numeric_limits<double>::quiet_NaN(), false}),
    [](const auto& info) { return info.param.label; });

}  // namespace
}  // namespace quorix
