#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "energy_solver.h"

namespace quorix {
namespace {

BoucWenCase DefaultCase(double u, bool complementary) {
  BoucWenCase bw;
  bw.Nee = 2.0;
  bw.BetaSmall = 0.1;
  bw.GammaSmall = 0.9;
  bw.AlphaSmall = 0.10;
  bw.Fy = 2.86;
  bw.Uy = 0.111;
  bw.UmaxOverUy = u;
  bw.Complementary = complementary;
  return bw;
}

BoucWenCase Solved(BoucWenCase bw) {
  SolveEnergy(bw);
  return bw;
}

// The model's defaults to six decimals, Direct and Complementary.
TEST(SolveEnergy, DefaultInputsGiveTheKnownSixDecimalValues) {
  for (bool complementary : {false, true}) {
    SCOPED_TRACE(complementary ? "Complementary" : "Direct");
    const BoucWenCase r = Solved(DefaultCase(1.0, complementary));
    EXPECT_NEAR(r.Za, 0.853990, 5e-7);
    EXPECT_NEAR(r.Fha, 2.198171, 5e-7);
    EXPECT_NEAR(r.Fela, 0.286000, 5e-7);
    EXPECT_NEAR(r.Fa, 2.484171, 5e-7);
    EXPECT_NEAR(r.Kcd, complementary ? 1.016538 : -0.287250, 5e-7);
    EXPECT_NEAR(r.Kda, complementary ? 0.617340 : 0.653372, 5e-7);
    EXPECT_NEAR(r.DEOverFyUy, 0.659019, 5e-7);
    EXPECT_NEAR(r.DEOverFhUy, 0.732244, 5e-7);
    EXPECT_NEAR(r.DE, 0.209212, 5e-7);
  }
}

// For n = 2 and w = β − γ = −0.8 every quantity is elementary:
//   amp(x) = ½(atan(√0.8 x)/√0.8 + atanh x),
//   Direct:        Kcd = −ln(1 + 0.8 Za²)/1.6,  Kda = −½ ln(1 − Za²),
//   Complementary: Kcd = atan(√0.8 Za)/√0.8 + ln(1 + 0.8 Za²)/1.6,  Kda = ln(1 + Za).
TEST(SolveEnergy, ElementaryClosedFormsAtNTwo) {
  const double r8 = std::sqrt(0.8);
  for (double u : {0.05, 0.4, 1.0, 2.5, 5.0, 7.0}) {
    SCOPED_TRACE(u);
    const BoucWenCase direct = Solved(DefaultCase(u, false));
    const BoucWenCase compl_ = Solved(DefaultCase(u, true));
    const double za = direct.Za;
    EXPECT_EQ(za, compl_.Za);  // the search does not depend on the option
    // The search stops within 2e-12 of the root, absolute in Za: the root
    // lies in that bracket. Near saturation amp is steep, so amp(Za) itself
    // may miss U by far more than 2e-12.
    auto amp = [r8](double x) { return 0.5 * (std::atan(r8 * x) / r8 + std::atanh(x)); };
    EXPECT_LE(amp(za - 2e-12), u);
    EXPECT_GE(amp(std::fmin(za + 2e-12, 1.0)), u);

    EXPECT_NEAR(direct.Kcd, -std::log1p(0.8 * za * za) / 1.6, 1e-12);
    EXPECT_NEAR(direct.Kda, -0.5 * std::log1p(-za * za), 1e-12 * (1 + std::fabs(direct.Kda)));
    EXPECT_NEAR(compl_.Kcd, std::atan(r8 * za) / r8 + std::log1p(0.8 * za * za) / 1.6, 1e-12);
    EXPECT_NEAR(compl_.Kda, std::log1p(za), 1e-12);
    // Kcd* + Kda* = 2·amp(Za) − Kcd − Kda, so the two formula sets differ by
    // exactly 4·(U − amp(Za)): nothing where the root is met exactly.
    EXPECT_NEAR(compl_.DEOverFhUy - direct.DEOverFhUy, 4.0 * (u - amp(za)), 1e-9 * (1 + direct.DEOverFhUy));
    // Stages 3 and 5 in terms of the others.
    EXPECT_DOUBLE_EQ(direct.Fa, direct.Fha + direct.Fela);
    EXPECT_DOUBLE_EQ(direct.DEOverFyUy, 0.9 * direct.DEOverFhUy);
    EXPECT_DOUBLE_EQ(direct.DE, direct.DEOverFyUy * 2.86 * 0.111);
  }
}

TEST(SolveEnergy, ZeroAmplitudeGivesZerosAndANegativeZeroKcdInDirectMode) {
  for (bool complementary : {false, true}) {
    const BoucWenCase r = Solved(DefaultCase(0.0, complementary));
    for (double v : {r.Za, r.Fha, r.Fela, r.Fa, r.Kcd, r.Kda, r.DEOverFyUy, r.DEOverFhUy, r.DE}) EXPECT_EQ(v, 0.0);
    EXPECT_EQ(std::signbit(r.Kcd), !complementary);
  }
}

TEST(SolveEnergy, SaturatesExactlyAboveTheAmplitudeAtTheUpperBound) {
  const double fhi = DisplacementAmplitude(ZaUpperBound, 2.0, 0.1, 0.9);
  // Equal: the search leaves at once with the bracket collapsed.
  EXPECT_EQ(Solved(DefaultCase(fhi, true)).Za, ZaUpperBound);
  // Any larger amplitude: Za is 1 exactly.
  EXPECT_EQ(Solved(DefaultCase(std::nextafter(fhi, 10.0), true)).Za, 1.0);
}

TEST(SolveEnergy, BeyondSaturationDirectIsConstantAndComplementaryGrowsByFourPerUnit) {
  const BoucWenCase d1 = Solved(DefaultCase(8.0, false));
  const BoucWenCase d2 = Solved(DefaultCase(9.5, false));
  EXPECT_EQ(d1.Za, 1.0);
  EXPECT_EQ(d1.Kcd, d2.Kcd);
  EXPECT_EQ(d1.Kda, d2.Kda);
  EXPECT_EQ(d1.DEOverFhUy, d2.DEOverFhUy);

  const BoucWenCase c1 = Solved(DefaultCase(8.0, true));
  const BoucWenCase c2 = Solved(DefaultCase(9.5, true));
  EXPECT_NEAR(c2.DEOverFhUy - c1.DEOverFhUy, 4.0 * 1.5, 1e-12);
  // Elastic force keeps growing with U, the hysteretic force does not.
  EXPECT_EQ(c1.Fha, c2.Fha);
  EXPECT_GT(c2.Fela, c1.Fela);
}

TEST(SolveEnergy, ExponentZeroSkipsEveryIntegral) {
  BoucWenCase direct = DefaultCase(1.3, false);
  direct.Nee = 0.0;
  SolveEnergy(direct);
  EXPECT_EQ(direct.Za, 1.0);
  EXPECT_EQ(direct.Kcd, 0.0);
  EXPECT_TRUE(std::signbit(direct.Kcd));
  EXPECT_EQ(direct.Kda, 0.0);
  EXPECT_EQ(direct.DE, 0.0);

  BoucWenCase compl_ = DefaultCase(1.3, true);
  compl_.Nee = 0.0;
  SolveEnergy(compl_);
  EXPECT_EQ(compl_.Za, 1.0);
  EXPECT_EQ(compl_.Kcd, 0.0);
  EXPECT_EQ(compl_.Kda, 0.0);
  EXPECT_EQ(compl_.DEOverFhUy, 4.0 * 1.3);
}

TEST(SolveEnergy, WAboveOneSaturatesAndLeavesTheFailedIntegralsAtZero) {
  // β − γ = 2: the amplitude fails at the upper end, so Za = 1, and the
  // calls with argument w·P ≥ 1 fail without writing their scratch values.
  for (bool complementary : {false, true}) {
    BoucWenCase bw = DefaultCase(0.5, complementary);
    bw.BetaSmall = 1.5;
    bw.GammaSmall = -0.5;
    SolveEnergy(bw);
    EXPECT_EQ(bw.Za, 1.0);
    EXPECT_EQ(bw.Kcd, 0.0);
    EXPECT_EQ(std::signbit(bw.Kcd), !complementary);
  }
}

TEST(SolveEnergy, OverflowingResultsHoldInfinityAndTheSolveGoesOn) {
  BoucWenCase bw = DefaultCase(1.0, true);
  bw.Fy = 1e300;
  bw.Uy = 1e300;
  SolveEnergy(bw);
  EXPECT_NEAR(bw.Za, 0.853990, 5e-7);
  EXPECT_TRUE(std::isfinite(bw.Fha));
  EXPECT_EQ(bw.DE, std::numeric_limits<double>::infinity());
}

}  // namespace
}  // namespace quorix
