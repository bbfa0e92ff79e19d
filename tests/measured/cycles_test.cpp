// Cycles of synthetic records: an exact polygon, integrated Bouc-Wen
// records against the closed-form DE and the solver's Ksec and XiEq, and
// the records that hold no full cycle.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <ostream>
#include <string>

#include "accurate.h"
#include "cycles.h"
#include "synthetic.h"
#include "views.h"

namespace quorix::measured {
namespace {

using testing::Block;
using testing::MakeRecord;
using testing::TrueModel;

// An ellipse u = d·cos t, F = k·u − c·sin t sampled at N even steps of t is
// a polygon of area (N/2)·c·d·sin(2π/N), run clockwise: EDC exactly that,
// Keff = k, ξeff = EDC/(2π·k·d²).
TEST(Cycles, EllipsePolygonHasItsExactArea) {
  const int N = 360;
  const double d = 2.0, k = 3.0, c = 0.7;
  std::vector<double> u, F;
  for (int i = 0; i <= 3 * N + N / 4; ++i) {  // three cycles and a quarter
    const double t = 2.0 * std::numbers::pi * i / N;
    u.push_back(d * std::cos(t));
    F.push_back(k * u.back() - c * std::sin(t));
  }
  const CycleTable table = FindCycles(u, F);
  // The record starts on a maximum, which is not a reversal: the cycles run
  // from the first minimum to the last, two of them.
  ASSERT_EQ(table.cycles.size(), 2u);
  const double area = 0.5 * N * c * d * std::sin(2.0 * std::numbers::pi / N);
  for (const Cycle& cy : table.cycles) {
    EXPECT_NEAR(cy.EDC, area, 1e-12 * area);
    EXPECT_NEAR(cy.Keff, k, 1e-12 * k);
    EXPECT_NEAR(cy.XiEff, area / (2.0 * std::numbers::pi * k * d * d), 1e-12);
    EXPECT_EQ(cy.uPlus, d);
    EXPECT_EQ(cy.uMinus, -d);
  }
  EXPECT_FALSE(table.cycles[0].steady);
  EXPECT_TRUE(table.cycles[1].steady);
  EXPECT_EQ(table.steadyMeans.count, 1u);
  EXPECT_NEAR(table.steadyMeans.EDC, area, 1e-12 * area);
}

struct SteadyCase {
  TrueModel m;
  double amplitude;  // in units of Uy
};

void PrintTo(const SteadyCase& c, std::ostream* os) {
  *os << "n=" << c.m.n << " gamma=" << c.m.gamma << " alpha=" << c.m.alpha << " U=" << c.amplitude;
}

class SteadyCycles : public ::testing::TestWithParam<SteadyCase> {};

// Noiseless steady cycles of the integrated law: EDC within 1e-6 of the
// closed-form DE (exact arithmetic), and Keff, ξeff equal to the solver's
// Ksec and XiEq for these symmetric cycles.
TEST_P(SteadyCycles, AgreeWithTheClosedForm) {
  const SteadyCase& c = GetParam();
  const double a = c.amplitude * c.m.Uy;
  const auto rec = MakeRecord(c.m, {Block{a, 3, true}}, 4000);
  const CycleTable table = FindCycles(rec.u, rec.F);
  ASSERT_EQ(table.cycles.size(), 2u);  // 3 cycles from 0: maxima to maxima

  BoucWenCase bw;
  bw.Nee = c.m.n, bw.GammaSmall = c.m.gamma, bw.BetaSmall = 1.0 - c.m.gamma;
  bw.AlphaSmall = c.m.alpha, bw.Fy = c.m.Fy, bw.Uy = c.m.Uy, bw.UmaxOverUy = c.amplitude;
  bw.Complementary = true;
  accurate::Solve(bw);
  const DerivedQuantities derived = DeriveQuantities(bw);
  for (const Cycle& cy : table.cycles) {
    EXPECT_NEAR(cy.EDC, bw.DE, 1e-6 * bw.DE);
    EXPECT_NEAR(cy.Keff, derived.Ksec, 1e-6 * derived.Ksec);
    EXPECT_NEAR(cy.XiEff, derived.XiEq, 1e-6 * derived.XiEq);
    EXPECT_NEAR(cy.FPlus, bw.Fa, 1e-7 * bw.Fa);
  }
  EXPECT_TRUE(table.cycles[1].steady);
}

INSTANTIATE_TEST_SUITE_P(Integrated, SteadyCycles,
                         ::testing::Values(SteadyCase{{2.0, 0.5, 0.1, 50.0, 2.0}, 1.5},
                                           SteadyCase{{1.5, 0.9, 0.05, 1.0, 0.01}, 3.0},
                                           SteadyCase{{3.0, 0.7, 0.2, 10.0, 1.0}, 0.8},
                                           SteadyCase{{1.0, 0.25, 0.0, 2.0, 0.5}, 5.0}));

// Force noise and displacement noise below the dead band make no false
// reversals; the blocks of new amplitude start with an unsteady cycle.
TEST(Cycles, NoiseMakesNoFalseReversals) {
  const TrueModel m{2.0, 0.6, 0.1, 1.0, 1.0};
  auto rec = MakeRecord(m, {Block{1.0, 3, false}, Block{2.0, 3, false}, Block{4.0, 3, false}}, 500);
  const CycleTable clean = FindCycles(rec.u, rec.F);
  testing::AddNoise(rec, 0.01, 0.002, 0.01, 7);
  const CycleTable noisy = FindCycles(rec.u, rec.F);
  ASSERT_EQ(clean.cycles.size(), 8u);
  ASSERT_EQ(noisy.cycles.size(), clean.cycles.size());
  const std::vector<bool> steady{false, true, false, false, true, false, false, true};
  for (std::size_t i = 0; i < steady.size(); ++i) {
    EXPECT_EQ(noisy.cycles[i].steady, steady[i]) << i;
    EXPECT_NEAR(noisy.cycles[i].EDC, clean.cycles[i].EDC, 0.03 * clean.cycles[i].EDC) << i;
  }
}

struct NoCycleCase {
  const char* name;
  std::vector<double> u, F;
  const char* message;
};

class NoCycle : public ::testing::TestWithParam<NoCycleCase> {};

TEST_P(NoCycle, IsAClearError) {
  const NoCycleCase& c = GetParam();
  try {
    FindCycles(c.u, c.F);
    FAIL() << "accepted";
  } catch (const CycleError& e) {
    EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Records, NoCycle,
    ::testing::Values(NoCycleCase{"lengths", {0, 1, 0}, {0, 1}, "differ in number (3 and 2)"},
                      NoCycleCase{"constant", {1, 1, 1, 1}, {0, 1, 2, 3}, "reverses 0 time(s)"},
                      NoCycleCase{"monotonic", {0, 1, 2, 3}, {0, 1, 2, 3}, "reverses 0 time(s)"},
                      NoCycleCase{"half_cycle", {0, 1, 0, -1, 0}, {0, 1, 0, -1, 0}, "reverses 2 time(s)"},
                      NoCycleCase{"not_finite", {0, NAN, 0}, {0, 1, 0}, "point 2 is not finite"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quorix::measured
