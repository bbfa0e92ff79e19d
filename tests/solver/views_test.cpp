// The engineering views: derived quantities and the closed-form loop.
// Reference values come from data/make_views_reference.py (mpmath).
#include "views.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <tuple>

#include "energy_solver.h"

namespace quorix {
namespace {

BoucWenCase Solved(double n, double beta, double gamma, double alpha, double fy, double uy, double u,
                   bool complementary = true) {
  BoucWenCase bw{.Nee = n, .BetaSmall = beta, .GammaSmall = gamma, .AlphaSmall = alpha, .Fy = fy, .Uy = uy,
                 .UmaxOverUy = u, .Complementary = complementary};
  SolveEnergy(bw);
  return bw;
}

TEST(DerivedQuantities, MatchTheClosedFormsAndAreNaNWhereTheDenominatorIsZero) {
  for (bool complementary : {true, false}) {
    const DerivedQuantities d = DeriveQuantities(Solved(2.0, 0.1, 0.9, 0.10, 2.86, 0.111, 1.0, complementary));
    EXPECT_NEAR(d.XiEq, 0.12075432259318535, 1e-8 * 0.12075432259318535);
    EXPECT_NEAR(d.Ksec, 22.379923050837825, 1e-8 * 22.379923050837825);
    EXPECT_NEAR(d.KsecOverK0, 0.86859141910594355, 1e-8 * 0.86859141910594355);
  }
  const struct {
    double fy, uy, u;
    bool xiDefined, ksecDefined, ratioDefined;
  } cases[] = {{2.86, 0.111, 0.0, false, false, false}, {2.86, 0.0, 1.0, false, false, true},
               {0.0, 0.111, 1.0, false, true, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "Fy " << c.fy << " Uy " << c.uy << " U " << c.u);
    const DerivedQuantities d = DeriveQuantities(Solved(2.0, 0.1, 0.9, 0.1, c.fy, c.uy, c.u));
    EXPECT_EQ(std::isnan(d.XiEq), !c.xiDefined) << d.XiEq;
    EXPECT_EQ(std::isnan(d.Ksec), !c.ksecDefined) << d.Ksec;
    EXPECT_EQ(std::isnan(d.KsecOverK0), !c.ratioDefined) << d.KsecOverK0;
    EXPECT_FALSE(std::isinf(d.XiEq) || std::isinf(d.Ksec) || std::isinf(d.KsecOverK0));  // never x/0
  }
}

TEST(ShoelaceArea, IsTheWorkAroundThePolygonClockwisePositive) {
  EXPECT_DOUBLE_EQ(ShoelaceArea({0, 0, 1, 1}, {0, 1, 1, 0}), 1.0);  // unit square, clockwise
  EXPECT_DOUBLE_EQ(ShoelaceArea({3, -1, 2}, {0.5, 4, -2}), -6.75);  // triangle, ½·|(B − A) × (C − A)|, ccw
  EXPECT_EQ(ShoelaceArea({0, 1}, {0, 1}), 0.0);
}

// Every loop: 2N − 2 points, the tips at (±Umax, ±Fa), the unloading branch the point reflection
// of the loading one, which rises in u and z with no chord spanning more than a small share of
// the loop where z still changes (the tips included).
void ExpectWellFormedLoop(const BoucWenCase& bw, const HysteresisLoop& loop, std::size_t n, bool shortChords = true) {
  ASSERT_EQ(loop.u.size(), 2 * n - 2);
  ASSERT_TRUE(loop.F.size() == loop.u.size() && loop.z.size() == loop.u.size());
  const double umax = bw.UmaxOverUy * bw.Uy;
  EXPECT_NEAR(loop.u[0], -umax, 1e-9 * umax);
  EXPECT_NEAR(loop.F[0], -bw.Fa, 1e-9 * bw.Fa);
  EXPECT_NEAR(loop.u[n - 1], umax, 1e-9 * umax);
  EXPECT_NEAR(loop.F[n - 1], bw.Fa, 1e-9 * bw.Fa);
  EXPECT_EQ(loop.z[n - 1], bw.Za);
  for (std::size_t i = 0; i + 1 < n; ++i) {
    ASSERT_TRUE(loop.u[i + n - 1] == -loop.u[i] && loop.F[i + n - 1] == -loop.F[i] && loop.z[i + n - 1] == -loop.z[i])
        << i;
    ASSERT_GT(loop.u[i + 1], loop.u[i]) << i;
    ASSERT_GE(loop.z[i + 1], loop.z[i]) << i;
    if (shortChords && loop.z[i + 1] - loop.z[i] > 1e-9 * bw.Za) {
      ASSERT_LE(loop.u[i + 1] - loop.u[i], 0.005 * 2.0 * umax) << "long chord at " << i << " of " << n;
    }
  }
}

// n × γ × amplitude (0: U = 0.3, 1: half the saturation amplitude, 2: 1.5 times it) × α.
class LoopArea : public ::testing::TestWithParam<std::tuple<double, double, int, double>> {};

TEST_P(LoopArea, EqualsDissipatedEnergyAndPassesThroughThePeaks) {
  const auto [n, gamma, amplitude, alpha] = GetParam();
  const double saturation = DisplacementAmplitude(ZaUpperBound, n, 1.0 - gamma, gamma);
  const double u = amplitude == 0 ? 0.3 : (amplitude == 1 ? 0.5 : 1.5) * saturation;
  const BoucWenCase complementary = Solved(n, 1.0 - gamma, gamma, alpha, 2.86, 0.111, u);
  ASSERT_EQ(complementary.Za == 1.0, amplitude == 2);
  const HysteresisLoop loop = LoopOf(complementary);
  ExpectWellFormedLoop(complementary, loop, kDefaultLoopPointsPerBranch);
  const double area = ShoelaceArea(loop.u, loop.F);
  EXPECT_NEAR(area, complementary.DE, 1e-5 * complementary.DE);
  if (complementary.Za < 1.0) {  // Direct integrates the same loop while z stays below 1.
    const BoucWenCase direct = Solved(n, 1.0 - gamma, gamma, alpha, 2.86, 0.111, u, false);
    EXPECT_NEAR(area, direct.DE, 1e-5 * direct.DE);
  }
}

INSTANTIATE_TEST_SUITE_P(Table, LoopArea,
                         ::testing::Combine(::testing::Values(0.5, 1.0, 1.5, 2.0, 3.0, 5.0),
                                            ::testing::Values(0.5, 0.9), ::testing::Values(0, 1, 2),
                                            ::testing::Values(0.0, 0.1, 0.9)));

// Against the exact model's dissipated energy (mpmath quadrature). The polygon's chords cut off a
// few 1e-7; where 1/n is neither whole nor half, the truncated digamma series moves DE by up to a
// few 1e-6 as well.
TEST(LoopArea, MatchesTheExactDissipatedEnergy) {
  const struct {
    double n, gamma, alpha, fy, uy, u, exact;
  } cases[] = {{2.0, 0.9, 0.1, 2.86, 0.111, 1.0, 0.20921224550833952},
               {3.0, 0.5, 0.3, 1.0, 1.0, 1.5, 1.2868554379251632},
               {1.5, 0.9, 0.0, 1.0, 1.0, 2.0, 4.1902827836077542},
               {5.0, 0.9, 0.1, 2.86, 0.111, 9.0, 9.2168042928859983},
               {0.5, 0.5, 0.9, 1.0, 1.0, 60.0, 23.366666666666667}};
  for (const auto& c : cases) {
    const HysteresisLoop loop = LoopOf(Solved(c.n, 1.0 - c.gamma, c.gamma, c.alpha, c.fy, c.uy, c.u));
    EXPECT_NEAR(ShoelaceArea(loop.u, loop.F), c.exact, 1e-5 * c.exact) << "n=" << c.n << " U=" << c.u;
  }
}

// Every point of the loading branch lies on the curve of the hysteresis law, elementary here:
//   n = 2, w = −0.8:  G_w(s) = atan(√0.8·s)/√0.8,  G_1(s) = atanh(s);
//   n = 1, w = 0:     G_w(s) = s,                  G_1(s) = −ln(1 − s).
// Below z = 0 the test compares x (x(z) is well conditioned there), above it z (z(x) =
// G_1⁻¹(x − C) stays well conditioned up to the flat tip); below saturation and beyond it.
TEST(LoopShape, FollowsTheElementaryClosedForm) {
  struct Case {
    double n, gamma, uBelow, uBeyond;
    std::function<double(double)> gw, g1Inverse;
  };
  const double r = std::sqrt(0.8);
  for (const Case& c : {Case{2.0, 0.9, 1.0, 12.0, [r](double s) { return std::atan(r * s) / r; },
                             [](double x) { return std::tanh(x); }},
                        Case{1.0, 0.5, 2.0, 30.0, [](double s) { return s; },
                             [](double x) { return -std::expm1(-x); }}}) {
    for (double u : {c.uBelow, c.uBeyond}) {
      SCOPED_TRACE(::testing::Message() << "n=" << c.n << " U=" << u);
      const BoucWenCase bw = Solved(c.n, 1.0 - c.gamma, c.gamma, 0.1, 1.0, 1.0, u);
      const double zeroCrossing = -u + c.gw(bw.Za == 1.0 ? ZaUpperBound : bw.Za);
      const HysteresisLoop loop = LoopOf(bw);
      ASSERT_FALSE(loop.u.empty());
      for (std::size_t i = 0; i < static_cast<std::size_t>(kDefaultLoopPointsPerBranch); ++i) {
        if (loop.z[i] <= 0.0) {
          ASSERT_NEAR(loop.u[i], zeroCrossing - c.gw(-loop.z[i]), 1e-12 * u) << i;
        } else {
          ASSERT_NEAR(loop.z[i], c.g1Inverse(loop.u[i] - zeroCrossing), 1e-11) << i;
        }
      }
    }
  }
}

TEST(LoopShape, NoLoopWhereTheClosedFormDoesNotApplyAndAtLeastThreePointsABranch) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  // n = 0, n < 0, n NaN, U = 0, U < 0, w = β − γ > 1.
  const double cases[][4] = {{0.0, 0.1, 0.9, 1.0},  {-1.0, 0.1, 0.9, 1.0}, {nan, 0.1, 0.9, 1.0},
                             {2.0, 0.1, 0.9, 0.0},  {2.0, 0.1, 0.9, -1.0}, {2.0, 1.5, -0.5, 1.0}};
  for (const auto& c : cases) {
    const HysteresisLoop loop = LoopOf(Solved(c[0], c[1], c[2], 0.1, 2.86, 0.111, c[3]));
    EXPECT_TRUE(loop.u.empty() && loop.F.empty() && loop.z.empty()) << c[0] << " " << c[1] << " " << c[3];
  }
  const BoucWenCase initial = Solved(2.0, 0.1, 0.9, 0.1, 2.86, 0.111, 1.0);
  ExpectWellFormedLoop(initial, LoopOf(initial, 1), 3, false);
  const BoucWenCase saturated = Solved(5.0, 0.1, 0.9, 0.1, 2.86, 0.111, 9.0);
  ExpectWellFormedLoop(saturated, LoopOf(saturated, 3), 3, false);
}

}  // namespace
}  // namespace quorix
