#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <string>

#include "energy_solver.h"

namespace quorix {
namespace {

// For n = 2 and β − γ = −0.8 both integrals are elementary:
//   amp(x) = ½·(atan(√0.8·x)/√0.8 + atanh(x)).
double ElementaryAmplitude(double x) {
  const double r = std::sqrt(0.8);
  return 0.5 * (std::atan(r * x) / r + std::atanh(x));
}

TEST(DisplacementAmplitude, MatchesTheElementaryClosedFormAtNTwo) {
  for (double x : {0.05, 0.3, 0.5, 0.7, 0.9, 0.99, 0.999999}) {
    SCOPED_TRACE(x);
    const double expected = ElementaryAmplitude(x);
    EXPECT_NEAR(DisplacementAmplitude(x, 2.0, 0.1, 0.9), expected, 1e-12 * expected);
  }
}

TEST(DisplacementAmplitude, KnownValues) {
  // Six-decimal values of the model's defaults, and the amplitude at the
  // upper end of the search, above which Za saturates at 1.
  EXPECT_NEAR(DisplacementAmplitude(0.5, 2.0, 0.1, 0.9), 0.509739, 5e-7);
  EXPECT_NEAR(DisplacementAmplitude(0.7, 2.0, 0.1, 0.9), 0.746358, 5e-7);
  EXPECT_NEAR(DisplacementAmplitude(ZaUpperBound, 2.0, 0.1, 0.9), 7.48898, 5e-6);
}

struct FailureCase {
  const char* label;
  double x, n, beta, gamma;
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.label; }

class AmplitudeFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(AmplitudeFailure, ReturnsMinusOne) {
  const FailureCase& c = GetParam();
  EXPECT_EQ(DisplacementAmplitude(c.x, c.n, c.beta, c.gamma), -1.0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AmplitudeFailure,
    ::testing::Values(FailureCase{"n_zero", 0.5, 0.0, 0.1, 0.9},           // 1/n divides by zero
                      FailureCase{"n_zero_at_zero", 0.0, 0.0, 0.1, 0.9},   //
                      FailureCase{"x_one", 1.0, 2.0, 0.1, 0.9},            // F at argument 1 fails
                      FailureCase{"x_above_one", 1.5, 2.0, 0.1, 0.9},      // xⁿ > 1
                      FailureCase{"negative_x_fractional_n", -0.5, 1.5, 0.1, 0.9},  // (−0.5)^1.5 invalid
                      FailureCase{"w_above_one", 0.9, 2.0, 1.5, -0.5},     // w·xⁿ = 1.62 ≥ 1
                      FailureCase{"difference_overflows", 0.5, 2.0, 1e308, -1e308}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(DisplacementAmplitude, IsZeroAtZero) {
  for (double n : {0.5, 1.0, 2.0, 5.0}) EXPECT_EQ(DisplacementAmplitude(0.0, n, 0.1, 0.9), 0.0) << n;
}

}  // namespace
}  // namespace quorix
