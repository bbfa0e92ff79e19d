// The special functions against reference.tsv (data/make_reference.py, mpmath at 30 digits), with
// tolerances from the arithmetic they are defined by; then statuses, results and closed forms.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <numbers>
#include <string>
#include <string_view>
#include <vector>

#include "../accurate/reference_table.h"
#include "specialfunctions.h"

namespace quorix {
namespace {

// reference.tsv's rows: the kind, the label, then the arguments and value(s).
TEST(Reference, EachFunctionWithinTheToleranceOfItsArithmetic) {
  int rows = 0;
  for (const testing::Row& row : testing::ReadTable("reference.tsv")) {
    ++rows;
    const std::string& kind = row.fields[0];
    std::string_view label = row.fields[1];
    const std::vector<double> v(row.numbers.begin() + 2, row.numbers.end());
    SCOPED_TRACE(::testing::Message() << "line " << row.line << ": " << kind << " " << label << " " << v[0]);
    double result = 0.0, sum = 0.0;
    if (kind == "lgamma" || kind == "gamma") {
      // The six-term Lanczos sum with 15-digit constants: Γ within 2e-10 relative (the reflection included),
      // ln Γ within 2e-10 absolute plus a few ulps of (x + 0.5)·ln(x + 5.5) − (x + 5.5) for large x.
      const bool log = kind == "lgamma";
      ASSERT_EQ((log ? LogGamma : GammaFunction)(v[0], result), 1);
      EXPECT_NEAR(result, v[1], log ? 2e-10 + 2e-15 * std::fabs(v[1]) : 2e-10 * std::fabs(v[1]));
    } else if (kind == "digamma" && label == "table") {
      EXPECT_EQ(Digamma(v[0], result), 1);
      // At most 1000 additions of 1/i, each rounded by half an ulp of a sum below 8: 1000 · 4.4e-16.
      EXPECT_NEAR(result, v[1], 5e-13);
    } else if (kind == "digamma") {
      EXPECT_EQ(Digamma(v[0], result), 2);
      // 100000 terms, below ψ by the omitted tail v[2], each rounding 1.1e-16 of about |ψ(x)| + 1.
      EXPECT_NEAR(result, v[1] - v[2], 1.2e-11 * (std::fabs(v[1]) + 1.0));
    } else if (kind == "partial") {  // the series not converged: its partial sum
      EXPECT_EQ(HypergeometricSeries(v[0], v[1], v[2], v[3], sum), 0);
      EXPECT_NEAR(sum, v[4], 1e-13 * v[4]);  // 1000 positive terms, half an ulp each
    } else {
      ASSERT_EQ(kind, "hyp2f1");
      const bool pfaff = label.starts_with("D/");  // Pfaff adds one power and one product
      if (pfaff) label.remove_prefix(2);
      // A: the direct series, |z| ≤ 1/2. ψ off the tables is the cut-off series, low by about
      // (x − 1)/100000, moving F by a part or two in 1e6. Otherwise gamma factors below 6, ~1e-13.
      const double tolerance = label == "A" ? 1e-14 : label.ends_with("psi") ? 5e-6 : 1e-12;
      std::int32_t status = -1;
      ASSERT_NO_THROW(status = Hypergeometric2F1(v[0], v[1], v[2], v[3], result));
      if (label != "A") {
        EXPECT_EQ(status, 1);
      } else if (pfaff) {
        EXPECT_GT(status, 1);  // the inner series' count of terms, passed on
      } else {
        EXPECT_EQ(status, HypergeometricSeries(v[0], v[1], v[2], v[3], sum));  // |z| = 1/2 belongs to the series
      }
      EXPECT_NEAR(result, v[4], tolerance * std::fabs(v[4]));
    }
  }
  EXPECT_EQ(rows, 148);  // every kind there, none skipped
}

constexpr double kCallers = 12345.678;  // what the caller left in the result
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN(), kAny = kNaN;  // kAny: result not checked
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr std::int32_t kThrows = -1;  // status: a FloatingPointFault escapes
constexpr double kStoredEulerGamma = 0.577215664901533;  // 15 digits, not the full constant
// ψ(−1/2) = 2 − γ − 2 ln 2; the series leaves out ψ(99999.5) − ψ(100001) = −1.50000375e-5 (mpmath).
const double kPsiMinusHalf = 2.0 - 0.5772156649015329 - 2.0 * std::numbers::ln2;
constexpr double kPsiTail = 1.50000375e-5;

// Every function under one signature: a, b, c, z, result.
using Fn = std::int32_t (*)(double, double, double, double, double&);
const Fn kLogGamma = [](double a, double, double, double, double& r) { return LogGamma(a, r); };
const Fn kGamma = [](double a, double, double, double, double& r) { return GammaFunction(a, r); };
const Fn kDigamma = [](double a, double, double, double, double& r) { return Digamma(a, r); };
const Fn kDigammaSeries = [](double a, double, double, double, double& r) { return DigammaSeries(a, r); };
const Fn kSeries = HypergeometricSeries, k2F1 = Hypergeometric2F1;

// The result within tolerance (absolute); tolerance 0: exactly.
struct Case {
  const char* label;
  Fn f;
  double a, b, c, z, status, expected, tolerance;
};

const double kLog4 = 2.0 * std::numbers::ln2, kLog2p25 = 2.0 * std::log(1.5);
const double kArtanh = std::atanh(std::sqrt(0.3)) / std::sqrt(0.3);
const double kGammaMinus170p5 = static_cast<double>(-std::numbers::pi_v<long double> / std::tgamma(171.5L));
const Case kCases[] = {
    // With the 15-digit Lanczos constants ln Γ(1), ln Γ(2) are within an ulp or two of 0.
    {"lgamma_one", kLogGamma, 1.0, 0, 0, 0, 1, 0.0, 1e-15},
    {"lgamma_two", kLogGamma, 2.0, 0, 0, 0, 1, 0.0, 1e-15},
    // Γ overflows past 171.624, for negative x when 1 − x does: a failure, not a fault.
    {"gamma_overflow", kGamma, 171.7, 0, 0, 0, 0, kAny, 0},
    {"gamma_reflected_overflow", kGamma, -171.5, 0, 0, 0, 0, kAny, 0},
    {"gamma_reflected_fits", kGamma, -170.5, 0, 0, 0, 1, kGammaMinus170p5, -2e-10 * kGammaMinus170p5},
    {"digamma_one", kDigamma, 1.0, 0, 0, 0, 1, -kStoredEulerGamma, 0},
    // The series' first term at x = 1 is exactly 0, so its stop test holds at k = 1.
    {"digamma_series_one", kDigammaSeries, 1.0, 0, 0, 0, 1, -kStoredEulerGamma, 0},
    {"digamma_series_minus_half", kDigammaSeries, -0.5, 0, 0, 0, 2, kPsiMinusHalf + kPsiTail, 1e-13},
    // Status: the index of the first term that left the sum unchanged.
    {"series_z_zero", kSeries, 1.7, 2.3, 0.4, 0.0, 1, 1.0, 0},
    {"series_polynomial", kSeries, -2.0, 3.0, 4.0, 0.7, 3, 0.244, 2e-15 * 0.244},  // 1 − 1.05 + 0.294
    // F(1, 1; 2; z) = −ln(1 − z)/z and F(1, 1/2; 3/2; z) = artanh(√z)/√z.
    {"series_log_half", kSeries, 1.0, 1.0, 2.0, 0.5, 48, kLog4, 2e-15 * kLog4},
    {"series_log_minus_half", kSeries, 1.0, 1.0, 2.0, -0.5, 49, kLog2p25, 2e-15 * kLog2p25},
    {"series_artanh", kSeries, 1.0, 0.5, 1.5, 0.3, 28, kArtanh, 2e-15 * kArtanh},
    {"series_z_one", kSeries, 1.0, 1.0, 2.0, 1.0, 0, kCallers, 0},
    {"series_z_minus_one", kSeries, 1.0, 1.0, 2.0, -1.0, 0, kCallers, 0},
    {"series_z_nan", kSeries, 1.0, 1.0, 2.0, kNaN, 0, kCallers, 0},
    // A fault keeps the last good partial sum: 0 when the first step divides by c = 0.
    {"series_c_zero", kSeries, 1.0, 1.0, 0.0, 0.3, 0, 0.0, 0},
    // c = a + b, ψ(j + 1/3) from the cut-off series: about 1.4e-6 below 1.2430525828 (mpmath).
    {"2f1_psi_from_series", k2F1, 1.0, 1.0 / 3.0, 4.0 / 3.0, 0.6, 1, 1.2430508263, 1e-9},
    // F(−1/2, 1; 1/2; z) = 1 − √z·artanh(√z); ψ(−1/2), from the series, enters with weight 1/2.
    {"2f1_negative_half_integer", k2F1, -0.5, 1.0, 0.5, 0.7, 1,
     1.0 - std::sqrt(0.7) * std::atanh(std::sqrt(0.7)) + 0.5 * kPsiTail, 1e-12},
    {"2f1_z_one", k2F1, 1.0, 1.0, 2.0, 1.0, 0, kCallers, 0},
    // c − a − b = 171: the closed form's m! would overflow, so it is refused first.
    {"2f1_gap_beyond_170", k2F1, -35.25, -35.75, 100.0, 0.7, 0, kCallers, 0},
    {"2f1_series_fails", k2F1, 1.0, 1.0, 0.0, 0.3, 0, 0.0, 0},  // the series stored 0
    {"2f1_gamma_form_pole", k2F1, 2.5, 0.25, 0.5, 0.95, 0, kCallers, 0},  // Γ(c − a) = Γ(−2)
    {"2f1_log_form_pole", k2F1, -1.0, 2.5, 1.5, 0.7, 0, kCallers, 0},     // c = a + b, Γ(−1)
    // Inner F(−2, 1.2; 1.5; 3/4) fails on Γ(−2); Pfaff's (1 − z)^(−a) = 16 still scales the value.
    {"2f1_pfaff_scales_failure", k2F1, -2.0, 0.3, 1.5, -3.0, 0, 16.0 * kCallers, 0},
    // Faults reach the caller; the result holds the infinity if the final store faulted.
    {"2f1_gamma_form_power", k2F1, 20.0, 21.0, 0.5, 0.9999999999, kThrows, kCallers, 0},  // (1e-10)^(−40.5)
    // Γ(c − a − b)·Γ(c) = Γ(100.3)·Γ(170) overflows in the final product, though F ≈ 2830.62 (mpmath).
    {"2f1_gamma_form_product", k2F1, 34.85, 34.85, 170.0, 0.9, kThrows, kInf, 0},
    // w rounds to 1, the inner call fails untouched, (1 + 1e300)² overflows.
    {"2f1_pfaff_power", k2F1, -2.0, 1.0, 3.0, -1e300, kThrows, kInf, 0},
    {"2f1_nan_argument", k2F1, 1.0, 1.0, 2.0, kNaN, kThrows, kCallers, 0},  // the region test compares a NaN
};

TEST(SpecialFunctions, StatusAndResult) {
  for (const Case& c : kCases) {
    double result = kCallers;
    if (c.status == kThrows) {
      EXPECT_THROW(c.f(c.a, c.b, c.c, c.z, result), FloatingPointFault) << c.label;
    } else {
      EXPECT_EQ(c.f(c.a, c.b, c.c, c.z, result), c.status) << c.label;
    }
    if (c.tolerance > 0.0) {
      EXPECT_NEAR(result, c.expected, c.tolerance) << c.label;
    } else if (!std::isnan(c.expected)) {
      EXPECT_EQ(result, c.expected) << c.label;
    }
  }
  // Refused arguments: status 0, the caller's value untouched.
  const std::pair<Fn, std::vector<double>> cases[] = {
      {kLogGamma, {0.0, -0.0, -1.0, -1.5, -1e-300, kNaN}},
      {kGamma, {0.0, -0.0, -1.0, -3.0, -1000.0}},  // the poles
      {kDigamma, {0.0, -3.0, -0.5, -1.5, kNaN}},   // poles, negative half-integers
      {kDigammaSeries, {-2.0}}};                   // k + x − 1 = 0 at k = 3
  for (std::size_t row = 0; row < std::size(cases); ++row) {
    for (double x : cases[row].second) {
      double result = kCallers;
      EXPECT_EQ(cases[row].first(x, 0, 0, 0, result), 0) << "row " << row << ": " << x;
      EXPECT_EQ(result, kCallers) << "row " << row << ": " << x;
    }
  }
}

TEST(Hypergeometric2F1, OverflowingTermsAndNearlyIntegerGaps) {
  // (300)ₙ²/(n!)²·2⁻ⁿ passes 1e308 near n = 500: the sum kept is huge but finite, never the infinity.
  double sum = kCallers;
  EXPECT_EQ(HypergeometricSeries(300.0, 300.0, 1.0, 0.5, sum), 0);
  EXPECT_TRUE(std::isfinite(sum)) << sum;
  EXPECT_GT(sum, 1e300);
  // Within 1e-6 of an integer m the logarithmic forms take m itself: bit for bit c = a + b + m.
  for (const auto& c : {std::array{1.0, 0.5, 1.5, 1.5000001, 0.7}, std::array{1.0, 1.0, 3.0, 3.0000005, 0.9}}) {
    double exact = 0.0, near = 0.0;
    ASSERT_EQ(Hypergeometric2F1(c[0], c[1], c[2], c[4], exact), 1);
    EXPECT_EQ(Hypergeometric2F1(c[0], c[1], c[3], c[4], near), 1);
    EXPECT_EQ(near, exact) << c[3];
  }
}

}  // namespace
}  // namespace quorix
