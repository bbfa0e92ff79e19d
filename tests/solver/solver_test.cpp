// The solver against the model's example values, the elementary closed forms at n = 2,
// w = β − γ = −0.8 and the law integrated in time; the views against closed forms and
// data/make_views_reference.py (mpmath); the model's domain at each of its edges.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "bouc_wen_ode.h"
#include "case.h"
#include "domain.h"
#include "energy_solver.h"
#include "loading_branch.h"
#include "views.h"

namespace quorix {
namespace {

BoucWenCase Solved(double u, bool complementary, double n = 2.0, double beta = 0.1, double gamma = 0.9,
                   double alpha = 0.1, double fy = 2.86, double uy = 0.111) {
  BoucWenCase bw{.Nee = n, .BetaSmall = beta, .GammaSmall = gamma, .AlphaSmall = alpha, .Fy = fy, .Uy = uy,
                 .UmaxOverUy = u, .Complementary = complementary};
  SolveEnergy(bw);
  return bw;
}

double Amp(double x) { return 0.5 * (std::atan(std::sqrt(0.8) * x) / std::sqrt(0.8) + std::atanh(x)); }

TEST(DisplacementAmplitude, KnownValuesAndFailures) {
  // The top of the search, above which Za saturates at 1; below it the closed form at n = 2.
  EXPECT_NEAR(DisplacementAmplitude(ZaUpperBound, 2.0, 0.1, 0.9), 7.48898, 5e-6);
  for (double x : {0.05, 0.5, 0.7, 0.9, 0.999999}) {
    EXPECT_NEAR(DisplacementAmplitude(x, 2.0, 0.1, 0.9), Amp(x), 1e-12 * Amp(x)) << x;
  }
  for (double n : {0.5, 1.0, 2.0, 5.0}) EXPECT_EQ(DisplacementAmplitude(0.0, n, 0.1, 0.9), 0.0) << n;
  // 1/n divides by zero (twice); F at argument 1; xⁿ > 1; (−0.5)^1.5; w·xⁿ = 1.62 ≥ 1; β − γ overflows.
  const double failures[][4] = {{0.5, 0.0, 0.1, 0.9},  {0.0, 0.0, 0.1, 0.9}, {1.0, 2.0, 0.1, 0.9}, {1.5, 2.0, 0.1, 0.9},
                                {-0.5, 1.5, 0.1, 0.9}, {0.9, 2.0, 1.5, -0.5}, {0.5, 2.0, 1e308, -1e308}};
  for (const auto& c : failures) EXPECT_EQ(DisplacementAmplitude(c[0], c[1], c[2], c[3]), -1.0) << c[0] << " " << c[1];
}

// The defaults: the known six-decimal values of both formula sets, and the derived quantities, the same for both,
// from the elementary closed forms (data/make_views_reference.py, mpmath).
TEST(SolveEnergy, DefaultInputsGiveTheKnownValues) {
  for (bool compl_ : {false, true}) {
    const BoucWenCase r = Solved(1.0, compl_);
    const double expected[] = {0.853990, 2.198171, 0.286000, 2.484171, compl_ ? 1.016538 : -0.287250,
                               compl_ ? 0.617340 : 0.653372, 0.659019, 0.732244, 0.209212};
    const double got[] = {r.Za, r.Fha, r.Fela, r.Fa, r.Kcd, r.Kda, r.DEOverFyUy, r.DEOverFhUy, r.DE};
    for (int i = 0; i < 9; ++i) EXPECT_NEAR(got[i], expected[i], 5e-7) << i << (compl_ ? " compl" : " direct");
    const DerivedQuantities d = DeriveQuantities(r);
    const double derived[] = {d.XiEq, d.Ksec, d.KsecOverK0}, want[] = {0.12075432259318535, 22.379923050837825,
                                                                       0.86859141910594355};
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(derived[i], want[i], 1e-8 * want[i]) << i;
  }
}

// amp(x) = ½(atan(√0.8 x)/√0.8 + atanh x); Direct: Kcd = −ln(1 + 0.8 Za²)/1.6, Kda = −½ ln(1 − Za²);
// Complementary: Kcd = atan(√0.8 Za)/√0.8 + ln(1 + 0.8 Za²)/1.6, Kda = ln(1 + Za).
TEST(SolveEnergy, ElementaryClosedFormsAtNTwo) {
  const double r8 = std::sqrt(0.8);
  for (double u : {0.05, 0.4, 1.0, 2.5, 5.0, 7.0}) {
    SCOPED_TRACE(u);
    const BoucWenCase direct = Solved(u, false), compl_ = Solved(u, true);
    const double za = direct.Za;
    EXPECT_EQ(za, compl_.Za);  // the search does not depend on the option
    // The root lies within 2e-12 of Za (amp is steep near saturation: amp(Za) may miss U by more).
    EXPECT_LE(Amp(za - 2e-12), u);
    EXPECT_GE(Amp(std::fmin(za + 2e-12, 1.0)), u);
    EXPECT_NEAR(direct.Kcd, -std::log1p(0.8 * za * za) / 1.6, 1e-12);
    EXPECT_NEAR(direct.Kda, -0.5 * std::log1p(-za * za), 1e-12 * (1 + std::fabs(direct.Kda)));
    EXPECT_NEAR(compl_.Kcd, std::atan(r8 * za) / r8 + std::log1p(0.8 * za * za) / 1.6, 1e-12);
    EXPECT_NEAR(compl_.Kda, std::log1p(za), 1e-12);
    // Kcd* + Kda* = 2·amp(Za) − Kcd − Kda: the formula sets differ by exactly 4·(U − amp(Za)).
    EXPECT_NEAR(compl_.DEOverFhUy - direct.DEOverFhUy, 4.0 * (u - Amp(za)), 1e-9 * (1 + direct.DEOverFhUy));
  }
}

// Above the amplitude at ZaUpperBound Za is 1, Direct no longer depends on U and Complementary grows
// by 4 per unit of U; at it the search leaves at once.
TEST(SolveEnergy, Saturation) {
  const double top = DisplacementAmplitude(ZaUpperBound, 2.0, 0.1, 0.9);
  EXPECT_EQ(Solved(top, true).Za, ZaUpperBound);
  EXPECT_EQ(Solved(std::nextafter(top, 10.0), true).Za, 1.0);
  const BoucWenCase d1 = Solved(8.0, false), d2 = Solved(9.5, false), c1 = Solved(8.0, true), c2 = Solved(9.5, true);
  EXPECT_EQ(std::tuple(d1.Za, d1.Kcd, d1.Kda, d1.DEOverFhUy), std::tuple(1.0, d2.Kcd, d2.Kda, d2.DEOverFhUy));
  EXPECT_NEAR(c2.DEOverFhUy - c1.DEOverFhUy, 4.0 * 1.5, 1e-12);
  EXPECT_EQ(c1.Fha, c2.Fha);  // only the elastic force grows with U
  EXPECT_GT(c2.Fela, c1.Fela);
}

TEST(SolveEnergy, EdgeCases) {
  for (bool compl_ : {false, true}) {
    // U = 0: all zero, Kcd −0 in Direct mode.
    const BoucWenCase r = Solved(0.0, compl_);
    for (double v : {r.Za, r.Fha, r.Fela, r.Fa, r.Kcd, r.Kda, r.DEOverFyUy, r.DEOverFhUy, r.DE}) EXPECT_EQ(v, 0.0);
    EXPECT_EQ(std::signbit(r.Kcd), !compl_);
    // β − γ = 2: Za = 1, and the integrals at w·P ≥ 1 fail without writing their scratch values.
    const BoucWenCase w = Solved(0.5, compl_, 2.0, 1.5, -0.5);
    EXPECT_EQ(std::tuple(w.Za, w.Kcd, std::signbit(w.Kcd)), std::tuple(1.0, 0.0, !compl_));
  }
  // n = 0 skips every integral.
  const BoucWenCase d0 = Solved(1.3, false, 0.0), c0 = Solved(1.3, true, 0.0);
  EXPECT_EQ(std::tuple(d0.Za, d0.Kcd, std::signbit(d0.Kcd), d0.Kda, d0.DE), std::tuple(1.0, 0.0, true, 0.0, 0.0));
  EXPECT_EQ(std::tuple(c0.Za, c0.Kcd, c0.Kda, c0.DEOverFhUy), std::tuple(1.0, 0.0, 0.0, 4.0 * 1.3));
  // An overflowing result holds infinity and the solve goes on.
  const BoucWenCase big = Solved(1.0, true, 2.0, 0.1, 0.9, 0.1, 1e300, 1e300);
  EXPECT_NEAR(big.Za, 0.853990, 5e-7);
  EXPECT_EQ(std::tuple(std::isfinite(big.Fha), big.DE), std::tuple(true, std::numeric_limits<double>::infinity()));
}

// The steady cycle of the integrated law peaks at Za and encloses ∮ z dx = DE/(Fh Uy); a few 1e-6
// off where ψ comes from the truncated series (n = 1.5, 3).
TEST(SolveEnergy, MatchesTheIntegratedLaw) {
  const double cases[][4] = {{2.0, 0.9, 1.0, 1e-9}, {2.0, 0.5, 3.0, 1e-9}, {1.0, 0.5, 0.8, 1e-9},
                             {1.5, 0.7, 2.0, 1e-5}, {3.0, 0.9, 1.5, 1e-5}};  // n, γ, U, tolerance
  for (const auto& [n, gamma, u, tolerance] : cases) {
    SCOPED_TRACE(::testing::Message() << "n=" << n << " gamma=" << gamma << " U=" << u);
    testing::BoucWenOde ode{n, gamma};
    const double peak = ode.SteadyPeak(u, 40000);
    ASSERT_NEAR(ode.z, peak, 1e-10);  // the shooting converged
    const BoucWenCase bw = Solved(u, true, n, 1.0 - gamma, gamma);
    EXPECT_NEAR(bw.Za, peak, tolerance * peak);
    EXPECT_NEAR(bw.DEOverFhUy, 2.0 * ode.area, tolerance * bw.DEOverFhUy);
  }
}

TEST(DerivedQuantities, AreNaNWhereTheDenominatorIsZero) {
  const struct {
    double fy, uy, u;
    bool xi, ksec, ratio;  // defined
  } cases[] = {{2.86, 0.111, 0.0, 0, 0, 0}, {2.86, 0.0, 1.0, 0, 0, 1}, {0.0, 0.111, 1.0, 0, 1, 0}};
  for (const auto& c : cases) {
    const DerivedQuantities d = DeriveQuantities(Solved(c.u, true, 2.0, 0.1, 0.9, 0.1, c.fy, c.uy));
    const std::tuple<bool, bool, bool> defined(!std::isnan(d.XiEq), !std::isnan(d.Ksec), !std::isnan(d.KsecOverK0));
    EXPECT_EQ(defined, std::tuple(c.xi, c.ksec, c.ratio))
        << "Fy " << c.fy << " Uy " << c.uy << " U " << c.u << ": " << d.XiEq << " " << d.Ksec << " " << d.KsecOverK0;
    EXPECT_FALSE(std::isinf(d.XiEq) || std::isinf(d.Ksec) || std::isinf(d.KsecOverK0));  // never x/0
  }
}

// Every loop: 2N − 2 points, the tips at (±Umax, ±Fa), the unloading branch the point reflection of
// the loading one, which rises in u and z with no long chord where z still changes.
void ExpectWellFormedLoop(const BoucWenCase& bw, const HysteresisLoop& loop, std::size_t n, bool shortChords = true) {
  ASSERT_EQ(std::tuple(loop.u.size(), loop.F.size(), loop.z.size()), std::tuple(2 * n - 2, 2 * n - 2, 2 * n - 2));
  const double umax = bw.UmaxOverUy * bw.Uy;  // the tips at −Umax, −Fa follow from the reflection below
  EXPECT_NEAR(loop.u[n - 1], umax, 1e-9 * umax);
  EXPECT_NEAR(loop.F[n - 1], bw.Fa, 1e-9 * bw.Fa);
  EXPECT_EQ(loop.z[n - 1], bw.Za);
  for (std::size_t i = 0; i + 1 < n; ++i) {
    ASSERT_EQ(std::tuple(loop.u[i + n - 1], loop.F[i + n - 1], loop.z[i + n - 1]),
              std::tuple(-loop.u[i], -loop.F[i], -loop.z[i]))
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
  const BoucWenCase compl_ = Solved(u, true, n, 1.0 - gamma, gamma, alpha);
  ASSERT_EQ(compl_.Za == 1.0, amplitude == 2);
  const HysteresisLoop loop = LoopOf(compl_);
  ExpectWellFormedLoop(compl_, loop, kDefaultLoopPointsPerBranch);
  const double area = ShoelaceArea(loop.u, loop.F);
  EXPECT_NEAR(area, compl_.DE, 1e-5 * compl_.DE);
  if (compl_.Za < 1.0) {  // Direct integrates the same loop while z stays below 1
    const double direct = Solved(u, false, n, 1.0 - gamma, gamma, alpha).DE;
    EXPECT_NEAR(area, direct, 1e-5 * direct);
  }
}

INSTANTIATE_TEST_SUITE_P(Table, LoopArea,
                         ::testing::Combine(::testing::Values(0.5, 1.0, 1.5, 2.0, 3.0, 5.0),
                                            ::testing::Values(0.5, 0.9), ::testing::Values(0, 1, 2),
                                            ::testing::Values(0.0, 0.1, 0.9)));

// Against the exact model's DE (mpmath quadrature). The chords cut off a few 1e-7; where 1/n is
// neither whole nor half, the truncated digamma series moves DE by a few 1e-6 as well.
TEST(LoopArea, MatchesTheExactDissipatedEnergy) {
  const double cases[][7] = {{2.0, 0.9, 0.1, 2.86, 0.111, 1.0, 0.20921224550833952},  // n, γ, α, Fy, Uy, U, DE
                             {3.0, 0.5, 0.3, 1.0, 1.0, 1.5, 1.2868554379251632},
                             {1.5, 0.9, 0.0, 1.0, 1.0, 2.0, 4.1902827836077542},
                             {5.0, 0.9, 0.1, 2.86, 0.111, 9.0, 9.2168042928859983},
                             {0.5, 0.5, 0.9, 1.0, 1.0, 60.0, 23.366666666666667}};
  for (const auto& [n, gamma, alpha, fy, uy, u, exact] : cases) {
    const HysteresisLoop loop = LoopOf(Solved(u, true, n, 1.0 - gamma, gamma, alpha, fy, uy));
    EXPECT_NEAR(ShoelaceArea(loop.u, loop.F), exact, 1e-5 * exact) << "n=" << n << " U=" << u;
  }
}

// The loading branch on the curve of the law both ways: the loop's points (z to x; compared in x below z = 0 and
// in z above, where each is well conditioned) and the branch's inverse z(x) walked from −U to U, which stays at zc
// from where the saturated curve reaches it. x(z) = −U + G_w(zc) − G_w(−z) below z = 0 and −U + G_w(zc) + G_1(z)
// above, w = β − γ = 1 − 2γ: G_w(s) = atan(√−w·s)/√−w (w < 0) or s (w = 0); G_1(s) = atanh(s) (n = 2) or
// −ln(1 − s) (n = 1).
TEST(LoadingBranch, FollowsTheElementaryClosedFormBothWays) {
  const double cases[][3] = {{2.0, 0.9, 1.0}, {2.0, 0.9, 12.0}, {2.0, 0.5, 2.0},
                             {2.0, 0.5, 30.0}, {1.0, 0.5, 2.0}, {1.0, 0.5, 30.0}};  // n, γ, U below saturation, beyond
  for (const auto& row : cases) {
    const double n = row[0], gamma = row[1], u = row[2];  // named copies: lambdas below capture them
    SCOPED_TRACE(::testing::Message() << "n=" << n << " gamma=" << gamma << " U=" << u);
    const double w = 1.0 - 2.0 * gamma, r = std::sqrt(-w);
    const auto gw = [&](double s) { return w < 0.0 ? std::atan(r * s) / r : s; };
    const auto gwInverse = [&](double g) { return w < 0.0 ? std::tan(r * g) / r : g; };
    const auto g1Inverse = [&](double x) { return n == 2.0 ? std::tanh(x) : -std::expm1(-x); };
    const BoucWenCase bw = Solved(u, true, n, 1.0 - gamma, gamma, 0.1, 1.0, 1.0);
    const double zc = bw.Za == 1.0 ? ZaUpperBound : bw.Za, zeroCrossing = -u + gw(zc);  // x where z = 0
    const HysteresisLoop loop = LoopOf(bw);
    ASSERT_FALSE(loop.u.empty());
    for (std::size_t i = 0; i < static_cast<std::size_t>(kDefaultLoopPointsPerBranch); ++i) {
      if (loop.z[i] <= 0.0) {
        ASSERT_NEAR(loop.u[i], zeroCrossing - gw(-loop.z[i]), 1e-12 * u) << i;
      } else {
        ASSERT_NEAR(loop.z[i], g1Inverse(loop.u[i] - zeroCrossing), 1e-11) << i;
      }
    }
    LoadingBranch branch(SolverBranchIntegral);
    ASSERT_TRUE(branch.Init(n, w, bw.Za, u));
    EXPECT_EQ(branch.Peak(), zc);
    double previousX = -u, previousZ = -zc;
    for (int k = 1; k <= 400; ++k) {
      const double x = -u + 2.0 * u * k / 400;
      double z = 0.0;
      ASSERT_TRUE(branch.ZAt(x, previousX, previousZ, z)) << x;
      const double expected = x < zeroCrossing ? -gwInverse(zeroCrossing - x) : g1Inverse(x - zeroCrossing);
      ASSERT_NEAR(z, std::min(expected, zc), 1e-11) << x;
      previousX = x;
      previousZ = z;
    }
  }
}

TEST(LoopShape, NoLoopWhereTheClosedFormDoesNotApplyAndAtLeastThreePointsABranch) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  // n = 0, n < 0, n NaN, U = 0, U < 0, w = β − γ > 1.
  const double cases[][4] = {{0.0, 0.1, 0.9, 1.0}, {-1.0, 0.1, 0.9, 1.0}, {nan, 0.1, 0.9, 1.0},
                             {2.0, 0.1, 0.9, 0.0}, {2.0, 0.1, 0.9, -1.0}, {2.0, 1.5, -0.5, 1.0}};
  for (const auto& [n, beta, gamma, u] : cases) {
    const HysteresisLoop loop = LoopOf(Solved(u, true, n, beta, gamma));
    EXPECT_EQ(std::tuple(loop.u.size(), loop.F.size(), loop.z.size()), std::tuple(0u, 0u, 0u))
        << n << " " << beta << " " << u;
  }
  const BoucWenCase initial = Solved(1.0, true), saturated = Solved(9.0, true, 5.0);
  ExpectWellFormedLoop(initial, LoopOf(initial, 1), 3, false);
  ExpectWellFormedLoop(saturated, LoopOf(saturated, 3), 3, false);
}

// The first input outside the domain is named; "" inside it.
TEST(Domain, NamesTheFirstInputOutsideEachEdge) {
  constexpr double inf = std::numeric_limits<double>::infinity(), below0 = -std::numeric_limits<double>::denorm_min();
  const Case base = NormalisedCase(2.0, 0.9, 0.1, 2.86, 0.111);
  struct Row {
    Case c;
    std::optional<double> amplitude;
    std::string input;  // "" inside the domain
  };
  auto with = [&](auto edit) {
    Case c = base;
    edit(c);
    return c;
  };
  const std::vector<Row> rows = {
      {base, 1.0, ""},
      {base, 0.0, ""},
      {base, std::nullopt, ""},
      {base, below0, "Umax/Uy"},
      {base, inf, "Umax/Uy"},
      {with([](Case& c) { c.n = 1e-300; }), 1.0, ""},
      {with([](Case& c) { c.n = 0.0; }), 1.0, "n"},
      {NormalisedCase(2.0, 0.0, 0.1, 2.86, 0.111), 1.0, ""},
      {NormalisedCase(2.0, below0, 0.1, 2.86, 0.111), 1.0, "gamma"},
      {with([](Case& c) { c.beta = 1.5; c.gamma = 0.5; }), 1.0, ""},  // β − γ = 1 exactly
      {with([](Case& c) { c.beta = 1.5; c.gamma = 0.4; }), 1.0, "beta"},
      {with([](Case& c) { c.alpha = 0.0; }), 1.0, ""},
      {with([](Case& c) { c.alpha = std::nextafter(1.0, 0.0); }), 1.0, ""},
      {with([](Case& c) { c.alpha = 1.0; }), 1.0, "alpha"},
      {with([](Case& c) { c.alpha = below0; }), 1.0, "alpha"},
      {with([](Case& c) { c.Fy = 0.0; }), 1.0, "Fy"},
      {with([](Case& c) { c.Uy = -1.0; }), 1.0, "Uy"},
      {with([](Case& c) { c.Uy = std::nan(""); }), 1.0, "Uy"},
  };
  for (const Row& row : rows) {
    const auto breach = FindDomainBreach(row.c, row.amplitude);
    EXPECT_EQ(breach ? breach->input : "", row.input)
        << row.c.n << " " << row.c.beta << " " << row.c.gamma << " " << row.c.alpha << " " << row.c.Fy << " "
        << row.c.Uy << " " << row.amplitude.value_or(-1);
  }
}

}  // namespace
}  // namespace quorix
