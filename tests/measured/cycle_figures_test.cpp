// A cycle's Qd, the equivalent bilinear loop's Kd and Dy, and the ratios within an amplitude group, on exact
// bilinear loops and on the law's steady loop integrated in time (RK4) against the isolation room's closed forms.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "bouc_wen_ode.h"
#include "case.h"
#include "cycles.h"
#include "isolation.h"

namespace quorix::measured {
namespace {

struct Points {
  std::vector<double> u, F;
  void Add(double x, double f) { u.push_back(x), F.push_back(f); }
};
using Loop = std::function<void(Points&)>;

// `per` samples from a to b, b left out.
void AddPiece(Points& p, double ua, double Fa, double ub, double Fb, int per) {
  for (int k = 0; k < per; ++k) p.Add(ua + k * (ub - ua) / per, Fa + k * (Fb - Fa) / per);
}

// Rest, the loops (each from its top to one sample short of it), the closing top (D, Ftop), rest: one cycle a loop.
CycleTable Cycles(const std::vector<Loop>& loops, double D, double Ftop) {
  Points p;
  p.Add(0.0, 0.0);
  for (const Loop& loop : loops) loop(p);
  p.Add(D, Ftop), p.Add(0.0, 0.0);
  return FindCycles(p.u, p.F);
}

struct Bilinear {
  double Qd, Kd, Dy;
};

// The clockwise bilinear loop at amplitude D > 2·Dy (both branches cross u = 0 on F = ±Qd + Kd·u); forces
// times `scale` plus `offset`, displacements plus `shift`; `reversed` runs it counter-clockwise.
Loop BilinearLoop(Bilinear b, double D, int per, double scale = 1.0, double offset = 0.0, double shift = 0.0,
                  bool reversed = false) {
  return [=](Points& p) {
    const double u[4] = {D, D - 2 * b.Dy, -D, -D + 2 * b.Dy};
    const double F[4] = {b.Qd + b.Kd * D, -b.Qd + b.Kd * u[1], -b.Qd - b.Kd * D, b.Qd + b.Kd * u[3]};
    const int order[5] = {0, reversed ? 3 : 1, 2, reversed ? 1 : 3, 0};
    for (int k = 0; k < 4; ++k) {
      const int i = order[k], j = order[k + 1];
      AddPiece(p, u[i] + shift, scale * F[i] + offset, u[j] + shift, scale * F[j] + offset, per);
    }
  };
}

const Bilinear kLead{1.0, 0.1, 1.3};
const Loop kElastic = [](Points& p) { AddPiece(p, 3, 6, -3, -6, 8), AddPiece(p, -3, -6, 3, 6, 8); };

// Linear interpolation is exact on the post-yield lines and the polygon's area is 4·Qd·(D − Dy).
TEST(ExactBilinear, GivesItsOwnStrengthStiffnessAndYield) {
  const struct {
    Bilinear b;
    double D;
    int per;
    double offset;  // cancels in Qd
  } cases[] = {{kLead, 10, 7, 0}, {{50, 0, 2}, 5, 9, 0}, {{2, 0.5, 1}, 2.2, 11, 0},
               {kLead, 10, 7, 0.4},
               {kLead, 10, 7, 3.0},                         // both crossings above F = 0
               {{1e150, 1e249, 1.3e-100}, 1e-99, 7, 0}};  // products in the record's units would overflow
  for (const auto& c : cases) {
    SCOPED_TRACE(c.b.Qd + c.offset);
    const Loop loop = BilinearLoop(c.b, c.D, c.per, 1.0, c.offset);
    const CycleTable table = Cycles({loop, loop, loop}, c.D, c.b.Qd + c.b.Kd * c.D + c.offset);
    ASSERT_EQ(table.cycles.size(), 3u);
    for (const Cycle& cycle : table.cycles) {
      ASSERT_EQ(cycle.bilinear, BilinearState::Exists) << BilinearReason(cycle);
      EXPECT_NEAR(cycle.Qd, c.b.Qd, 1e-13 * c.b.Qd);
      EXPECT_NEAR(cycle.Kd, c.b.Kd, 1e-13 * (c.b.Qd / c.D + c.b.Kd));
      EXPECT_NEAR(cycle.Dy, c.b.Dy, 1e-12 * c.D);
      EXPECT_NEAR(cycle.EDC, 4 * c.b.Qd * (c.D - c.b.Dy), 1e-13 * c.b.Qd * c.D);
    }
  }
}

// No equivalent loop: Kd and Dy NaN, the reason, one note; an elastic record has no EDC ratio either.
TEST(BilinearRefusal, NamesWhyACycleHasNoEquivalentLoop) {
  // Pinched at u = 0: Qd = 0.05, EDC = 2·(q + (1 − q)/4) = 0.575 > 4·Qd·D = 0.2.
  const Loop pinched = [](Points& p) {
    const double u[7] = {1, 0, -0.5, -1, 0, 0.5, 1}, F[7] = {1, -0.05, -1, -1, 0.05, 1, 1};
    for (int k = 0; k < 6; ++k) AddPiece(p, u[k], F[k], u[k + 1], F[k + 1], 5);
  };
  const Loop ccw = BilinearLoop(kLead, 10, 7, 1, 0, 0, true), aside = BilinearLoop(kLead, 10, 7, 1, 0, 25);
  const struct {
    CycleTable table;
    BilinearState state;
    const char* reason;
    double Qd;  // NaN: none
  } cases[] = {
      {Cycles({kElastic, kElastic}, 3, 6), BilinearState::NoStrength, "cross u = 0 at the same force", 0.0},
      {Cycles({ccw, ccw}, 10, 2), BilinearState::NoStrength, "Qd is negative", -1.0},
      {Cycles({aside, aside}, 35, 2), BilinearState::NoCrossing, "does not cross u = 0", kNoValue},
      {Cycles({pinched, pinched}, 1, 1), BilinearState::YieldNotInside, "EDC exceeds 4 Qd D", 0.05},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    ASSERT_EQ(c.table.cycles.size(), 2u);
    for (const Cycle& cycle : c.table.cycles) {
      EXPECT_EQ(cycle.bilinear, c.state);
      EXPECT_TRUE(std::isnan(cycle.Kd) && std::isnan(cycle.Dy)) << cycle.Kd << " " << cycle.Dy;
      EXPECT_NE(BilinearReason(cycle).find(c.reason), std::string::npos) << BilinearReason(cycle);
      EXPECT_TRUE(std::isnan(c.Qd) ? std::isnan(cycle.Qd) : std::fabs(cycle.Qd - c.Qd) < 1e-14) << cycle.Qd;
    }
    const std::vector<std::string> notes = BilinearNotes(c.table);
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].rfind("no equivalent bilinear loop (Kd, Dy) for cycles 1-2: ", 0), 0u) << notes[0];
  }
  const CycleTable elastic = Cycles({kElastic, kElastic, kElastic}, 3, 6);
  for (const Cycle& cycle : elastic.cycles) EXPECT_TRUE(std::isnan(cycle.EDCRatio) && cycle.KeffRatio == 1.0);
  const std::vector<std::string> notes = RatioNotes(elastic);
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0].rfind("no EDC ratio for cycles 1-3: ", 0), 0u) << notes[0];
}

// The law's steady loop at D, RK4 at 16 steps a sample, `samples` (odd) samples a branch: Qd, Kd and Dy tend
// to the closed forms' as O(h²) (interpolation at u = 0, trapezoids of the area).
TEST(ModelLoop, FiguresTendToTheClosedFormsAtTheAmplitude) {
  const Case c = NormalisedCase(2.0, 0.7, 0.1, 50.0, 2.0);
  const double D = 6.0, X = D / c.Uy;
  const isolation::Properties exact = isolation::PropertiesAt(c, D);
  const isolation::Bilinear bilinear = isolation::EquivalentBilinear(exact);
  const auto force = [c](double x, double z) { return c.alpha * c.Fy * x + (1 - c.alpha) * c.Fy * z; };
  std::vector<double> errors;
  for (int samples : {41, 161, 641}) {
    quorix::testing::BoucWenOde ode{c.n, c.gamma};
    const double dx = 2 * X / samples;
    ode.SteadyPeak(X, samples * 16);
    const double Fmax = force(X, ode.z);
    const Loop loop = [&](Points& p) {
      for (int dir : {-1, 1}) {
        for (int k = 0; k < samples; ++k) {
          const double x = dir * (k * dx - X);
          p.Add(x * c.Uy, force(x, ode.z)), ode.Run(dir * dx / 16, 16);
        }
      }
    };
    const CycleTable table = Cycles({loop, loop}, D, Fmax);
    ASSERT_EQ(table.cycles.size(), 2u);
    const Cycle& cycle = table.cycles[1];
    ASSERT_EQ(cycle.bilinear, BilinearState::Exists) << BilinearReason(cycle);
    EXPECT_NEAR(cycle.Keff, exact.Keff, 1e-9 * exact.Keff);
    errors.push_back(std::max({std::fabs(cycle.Qd / exact.Qd - 1), std::fabs(cycle.Kd / bilinear.Kd - 1),
                               std::fabs(cycle.Dy / bilinear.Dy - 1)}));
  }
  EXPECT_LT(errors[0], 3e-3);
  EXPECT_LT(errors[1], errors[0] / 10) << errors[0] << " " << errors[1];
  EXPECT_LT(errors[2], errors[1] / 10) << errors[1] << " " << errors[2];
}

// Loops at one amplitude with scaled forces: Keff ratios are the scales over their mean, Qd and Kd scale. A
// cycle runs into the next loop's top: the trapezoid adds ½·Fm·(s' − s)·Δ to its EDC, Δ the last step of u.
TEST(AmplitudeGroups, RatiosToTheGroupMeanFollowScaledLoops) {
  const double D = 10, Fm = 2, step = (2 * D - 2 * kLead.Dy) / 7;
  for (const std::vector<double>& scales : {std::vector<double>{1.1, 1.0, 1.0}, {0.5, 1.0, 2.0, 1.5, 1.0}}) {
    const std::size_t n = scales.size();
    std::vector<Loop> loops;
    std::vector<double> EDC;
    double meanScale = 0.0, meanEDC = 0.0;
    for (std::size_t k = 0; k < n; ++k) {
      const double s = scales[k], next = k + 1 < n ? scales[k + 1] : 1.0;
      loops.push_back(BilinearLoop(kLead, D, 7, s));
      EDC.push_back(4 * s * kLead.Qd * (D - kLead.Dy) + 0.5 * Fm * (next - s) * step);
      meanScale += s / n, meanEDC += EDC.back() / n;
    }
    const CycleTable table = Cycles(loops, D, Fm);
    ASSERT_EQ(table.cycles.size(), n);
    ASSERT_EQ(table.groups.size(), 1u);
    const AmplitudeGroup& group = table.groups[0];
    EXPECT_EQ(std::pair(group.first, group.last), std::pair(std::size_t{0}, n - 1));
    EXPECT_NEAR(group.Keff, meanScale * 0.2, 1e-14);
    EXPECT_NEAR(group.EDC, meanEDC, 1e-12);
    EXPECT_NEAR(group.firstKeffRatio, scales[0] / meanScale, 1e-14);
    EXPECT_NEAR(group.firstEDCRatio, EDC[0] / meanEDC, 1e-14);
    for (std::size_t k = 0; k < n; ++k) {
      const Cycle& cycle = table.cycles[k];
      EXPECT_NEAR(cycle.KeffRatio, scales[k] / meanScale, 1e-14) << k;
      EXPECT_NEAR(cycle.EDCRatio, EDC[k] / meanEDC, 1e-14) << k;
      EXPECT_NEAR(cycle.Qd, scales[k], 1e-13) << k;
      EXPECT_NEAR(cycle.Kd, 0.1 * scales[k], 1e-13) << k;
      EXPECT_NEAR(cycle.Dy, D - EDC[k] / (4 * scales[k]), 1e-12) << k;
    }
  }
}

// Cycles group while their D lies within 5 % of the group's first; the cycle between loops of amplitudes a
// and b has D = (max(a, b) + a)/2.
TEST(AmplitudeGroups, GroupConsecutiveCyclesNearTheFirstsAmplitude) {
  const struct {
    std::vector<double> amplitudes;
    std::vector<std::size_t> groups;
  } cases[] = {
      {{10, 10, 10, 10.3, 10.3, 11, 11}, {0, 0, 0, 0, 1, 1, 1}},  // D 10, 10, 10.15, 10.3, 10.65, 11, 11
      {{10, 10.4, 10.8, 11.2}, {0, 0, 1, 1}},                     // 11 within 5 % of 10.6, not of 10.2
      {{10, 10, 10.5, 10.5, 10.6}, {0, 0, 0, 1, 1}},              // 10.5: exactly 5 % above, still in
  };
  for (const auto& c : cases) {
    std::vector<Loop> loops;
    for (double a : c.amplitudes) loops.push_back(BilinearLoop({0.1 * a, 0.01, 0.1 * a}, a, 5));
    const double last = c.amplitudes.back();
    const CycleTable table = Cycles(loops, last, 0.11 * last);
    std::vector<std::size_t> groups;
    for (const Cycle& cycle : table.cycles) groups.push_back(cycle.group);
    EXPECT_EQ(groups, c.groups);
    ASSERT_EQ(table.groups.size(), c.groups.back() + 1);
    for (std::size_t g = 0; g < table.groups.size(); ++g) {
      EXPECT_EQ(std::pair(table.cycles[table.groups[g].first].group, table.cycles[table.groups[g].last].group),
                std::pair(g, g));
    }
  }
}

}  // namespace
}  // namespace quorix::measured
