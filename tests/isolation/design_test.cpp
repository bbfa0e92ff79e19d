// The damping rules against the codes' published values, the design's fixed
// points against a bilinear system built to have three, the worked examples,
// and the inverse design.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "checks.h"
#include "design.h"
#include "isolation.h"
#include "isolation_inverse.h"
#include "worked_examples.h"

namespace quorix::isolation {
namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

TEST(IsolationDesign, DampingCoefficientsAreTheCodesValues) {
  struct Row {
    Code code;
    double beta;
    double B;
  };
  const Row rows[] = {
      // ASCE 7 Table 17.5-1, its rows and a point between two.
      {Code::Asce7, 0.0, 0.8},   {Code::Asce7, 0.02, 0.8},  {Code::Asce7, 0.05, 1.0},  {Code::Asce7, 0.10, 1.2},
      {Code::Asce7, 0.20, 1.5},  {Code::Asce7, 0.30, 1.7},  {Code::Asce7, 0.40, 1.9},  {Code::Asce7, 0.50, 2.0},
      {Code::Asce7, 0.80, 2.0},  {Code::Asce7, 0.075, 1.1}, {Code::Asce7, 0.035, 0.9},
      // AASHTO: (β/0.05)^0.3 to 30 %, 1.7 above.
      {Code::Aashto, 0.05, 1.0}, {Code::Aashto, 0.10, std::pow(2.0, 0.3)}, {Code::Aashto, 0.30, std::pow(6.0, 0.3)},
      {Code::Aashto, 0.31, 1.7}, {Code::Aashto, 0.02, std::pow(0.4, 0.3)},
      // EN 1998-1: η = sqrt(10/(5 + ξ)), at least 0.55.
      {Code::En1998, 0.05, 1.0}, {Code::En1998, 0.15, std::sqrt(2.0)}, {Code::En1998, 0.0, std::sqrt(0.5)},
      {Code::En1998, 0.50, 1.0 / 0.55},
  };
  for (const Row& r : rows) EXPECT_NEAR(DampingCoefficient(r.code, r.beta), r.B, 1e-14) << NameOf(r.code) << " " << r.beta;
  EXPECT_THROW(DampingCoefficient(Code::Asce7, -0.01), Refusal);
  EXPECT_THROW(CodeNamed("eurocode"), Refusal);
}

// A spectrum table made so that map(D)/D is 1.3, 1, 0.7, 1, 1.3, 1, 0.7 at
// D = 1 … 7 cm: fixed points at 2, 4 and 6 cm, of which 2 and 6 attract the
// iteration (map/D falls through 1) and 4 repels it.
TEST(IsolationDesign, FindsEveryFixedPointAndWhichOneTheIterationReaches) {
  const Bilinear b{.Qd = 30.0, .Kd = 400.0, .Dy = 0.002, .Ku = 30.0 / 0.002 + 400.0};
  DesignInput in{.N = 4, .W = 6000.0, .g = 9.81, .spectrum = {}, .code = Code::Asce7, .Dmin = 0.0101, .Dmax = 0.0699};
  const double ratios[] = {1.3, 1.0, 0.7, 1.0, 1.3, 1.0, 0.7};
  for (int i = 0; i < 7; ++i) {
    const double D = 0.01 * (i + 1);
    const Properties p = BilinearPropertiesAt(b, D);
    const double Teff = kTwoPi * std::sqrt(in.W / (in.N * p.Keff * in.g));
    const double Sa = ratios[i] * D * DampingCoefficient(in.code, p.betaEff) / (in.g * std::pow(Teff / kTwoPi, 2));
    in.spectrum.table.emplace_back(Teff, Sa);
  }
  const Design d = DesignDisplacement(in, [&](double D) { return BilinearPropertiesAt(b, D); });
  ASSERT_EQ(d.points.size(), 3u);
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(d.points[i].bearing.D, 0.02 * (i + 1), 1e-9) << i;
  EXPECT_LT(d.points[0].slope, 1.0);
  EXPECT_GT(d.points[1].slope, 1.0);
  EXPECT_LT(d.points[2].slope, 1.0);
  ASSERT_GE(d.reached, 0);
  EXPECT_NE(d.reached, 1);
  EXPECT_NEAR(d.last, d.points[d.reached].bearing.D, 1e-9);
}

// The README's worked examples, one per code, from make_worked_examples.py
// (mpmath alone): every value the README shows, reproduced to far more than
// its 4 significant digits.
TEST(IsolationDesign, ReproducesTheWorkedExamples) {
  const Case c = NormalisedCase(kWorkedCase[0], kWorkedCase[1], kWorkedCase[2], kWorkedCase[3], kWorkedCase[4]);
  for (const WorkedExample& w : kWorkedExamples) {
    const DesignInput in{.N = kWorkedSystem[0], .W = kWorkedSystem[1], .g = kWorkedSystem[2],
                         .spectrum = {.S1 = kWorkedSystem[3], .table = {}}, .code = CodeNamed(w.code),
                         .Dmin = 0.01 * c.Uy, .Dmax = 100.0 * c.Uy};
    const Design d = DesignDisplacement(in, [&](double D) { return PropertiesAt(c, D); });
    ASSERT_EQ(d.points.size(), 1u) << w.code;
    ASSERT_EQ(d.reached, 0) << w.code;
    const DesignPoint& p = d.points[0];
    const Properties s = System(p.bearing, in.N);
    const Bilinear b = System(EquivalentBilinear(p.bearing), in.N);
    const std::pair<double, double> pairs[] = {{s.D, w.D},       {s.Keff, w.Keff},   {p.Teff, w.Teff},
                                               {s.betaEff, w.betaEff}, {p.B, w.B}, {p.Sa, w.Sa},
                                               {s.Force, w.F},   {p.bearing.Force, w.F_bearing},
                                               {s.Qd, w.Qd},     {b.Kd, w.Kd},       {b.Dy, w.Dy}};
    for (const auto& [value, expected] : pairs) EXPECT_NEAR(value, expected, 1e-9 * std::abs(expected)) << w.code;
  }
}

TEST(IsolationDesign, RefusesInputsWithoutADesign) {
  const Bilinear b{.Qd = 30.0, .Kd = 400.0, .Dy = 0.01, .Ku = 3400.0};
  const auto bearing = [&](double D) { return BilinearPropertiesAt(b, D); };
  const DesignInput good{.N = 1.0, .W = 1000.0, .g = 9.81, .spectrum = {.S1 = 0.5, .table = {}}, .code = Code::Asce7,
                         .Dmin = 0.001, .Dmax = 1.0};
  EXPECT_NO_THROW(DesignDisplacement(good, bearing));
  std::vector<DesignInput> bad(6, good);
  bad[0].W = 0.0;
  bad[1].g = -9.81;
  bad[2].spectrum.S1 = 0.0;
  bad[3].Dmax = bad[3].Dmin;
  bad[4].N = 0.0;
  bad[5].spectrum.table = {{1.0, 0.5}, {0.5, 0.4}};
  for (const DesignInput& in : bad) EXPECT_THROW(DesignDisplacement(in, bearing), Refusal);
}

// The inverse design's cases, computed again from scratch at D, have the target; targets out of reach are
// refused with the range.
TEST(IsolationInverse, CasesReachTheirTargets) {
  // Targets taken from known cases, so that each is reachable.
  const Case known = NormalisedCase(1.5, 0.6, 0.07, 150.0, 0.015);
  for (const double D : {0.01, 0.05, 0.2}) {
    const Properties p = PropertiesAt(known, D);
    const Bilinear b = EquivalentBilinear(p);
    for (const bool fixUy : {true, false}) {
      for (const Target target : {Target::KeffBeta, Target::QdKd}) {
        InverseInput in{.D = D, .n = known.n, .gamma = known.gamma, .fixUy = fixUy,
                        .fixed = fixUy ? known.Uy : known.alpha, .target = target,
                        .first = target == Target::KeffBeta ? p.Keff : p.Qd,
                        .second = target == Target::KeffBeta ? p.betaEff : b.Kd};
        const std::vector<Case> cases = InverseDesign(in);
        ASSERT_FALSE(cases.empty());
        bool foundKnown = false;
        for (const Case& c : cases) {
          const Properties q = PropertiesAt(c, D);
          if (target == Target::KeffBeta) {
            EXPECT_NEAR(q.Keff, p.Keff, 1e-9 * p.Keff) << D << fixUy;
            EXPECT_NEAR(q.betaEff, p.betaEff, 1e-9 * p.betaEff) << D << fixUy;
          } else {
            EXPECT_NEAR(q.Qd, p.Qd, 1e-9 * p.Qd) << D << fixUy;
            EXPECT_NEAR(EquivalentBilinear(q).Kd, b.Kd, 1e-8 * b.Kd) << D << fixUy;
          }
          foundKnown = foundKnown || (std::abs(c.Fy / known.Fy - 1.0) < 1e-8 && std::abs(c.Uy / known.Uy - 1.0) < 1e-8 &&
                                      std::abs(c.alpha - known.alpha) < 1e-9);
        }
        EXPECT_TRUE(foundKnown) << "D " << D << " fixUy " << fixUy << " target " << static_cast<int>(target);
      }
    }
  }
}

TEST(IsolationInverse, RefusesTargetsOutOfReachWithTheRange) {
  InverseInput uy{.D = 0.1, .n = 2.0, .gamma = 0.5, .fixUy = true, .fixed = 0.01, .target = Target::KeffBeta,
                  .first = 1000.0, .second = 0.9};
  InverseInput alpha = uy;
  alpha.fixUy = false;
  alpha.fixed = 0.05;
  for (const InverseInput& in : {uy, alpha}) {
    const std::string message = testing::ThrownMessage<Refusal>([&] { InverseDesign(in); });
    EXPECT_NE(message.find("reaches betaEff from"), std::string::npos) << message;
  }
}

}  // namespace
}  // namespace quorix::isolation
