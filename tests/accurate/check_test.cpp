// Which results are flagged as off the exact values: the bound's edges, signs, zeros and NaN; then whole
// cases, against the loop's small-amplitude law.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

#include "check.h"
#include "energy_solver.h"

namespace quorix::accurate {
namespace {

TEST(CheckAgainstExact, DiffersAtTheBoundAndOnEverySignChange) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const struct {
    double specified, exact;
    bool differs;
  } cases[] = {
      {1.0, 1.0, false},          {1.0 + 0.99e-4, 1.0, false}, {1.0 + 1.01e-4, 1.0, true},
      {-1.0 - 0.99e-4, -1.0, false}, {-1.0 - 1.01e-4, -1.0, true},
      {-1e-30, 1e-30, true},      // the small-amplitude cancellation: the other sign
      {0.0, 1e-300, true},        // a zero where the value is not
      {0.0, -0.0, false},         {nan, nan, false}, {nan, 1.0, true}, {1.0, nan, true},
  };
  for (const auto& c : cases) EXPECT_EQ(Differs(c.specified, c.exact), c.differs) << c.specified << " " << c.exact;
}

// At a small x = Umax/Uy, z ≈ x and DE/(Fh·Uy) = 2·∫₀^Za z·(1/(1 − zⁿ) − 1/(1 − w·zⁿ)) dz
// ≈ 2(1 − w)·x^(n+2)/(n + 2), so XiEq = DE/(2π·Fa·Umax) ≈ (1 − w)(1 − α)·xⁿ/((n + 2)·π).
double SmallAmplitudeXiEq(double n, double w, double alpha, double x) {
  return (1.0 - w) * (1.0 - alpha) * std::pow(x, n) / ((n + 2.0) * std::numbers::pi);
}

TEST(CheckAgainstExact, FlagsTheCancellingEnergyAtSmallAmplitudesAndNothingAtTheDefault) {
  const struct {
    double n, gamma, x;
    bool flagged;
  } cases[] = {{1.0, 0.1, 1e-6, true}, {3.0, 0.9, 4e-4, true}, {2.0, 0.9, 1.0, false}, {2.0, 0.9, 5.0, false}};
  for (const auto& c : cases) {
    BoucWenCase bw{.Nee = c.n, .BetaSmall = 1.0 - c.gamma, .GammaSmall = c.gamma, .AlphaSmall = 0.1, .Fy = 2.86,
                   .Uy = 0.111, .UmaxOverUy = c.x, .Complementary = true};
    SolveEnergy(bw);
    const ResultCheck check = CheckAgainstExact(bw);
    ASSERT_TRUE(check.available);
    const int xi = 9;  // XiEq
    EXPECT_EQ(check.flagged[xi], c.flagged) << c.n << " " << c.x;
    EXPECT_EQ(check.Count() > 0, c.flagged);
    if (c.flagged) {
      const double law = SmallAmplitudeXiEq(c.n, bw.BetaSmall - bw.GammaSmall, 0.1, c.x);
      EXPECT_NEAR(check.exact[xi], law, 1e-3 * law) << c.n;
      // The energy cancels to 0 or below: the first sign change (DE/(Fy Uy)) outranks every difference.
      EXPECT_EQ(check.Worst(CheckedValues(bw)), 6) << c.n;
    }
  }
}

}  // namespace
}  // namespace quorix::accurate
