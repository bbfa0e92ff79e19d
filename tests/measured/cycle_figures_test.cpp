// A cycle's Qd, the equivalent bilinear loop's Kd and Dy, and the ratios within an amplitude group, on
// loops whose figures are known in closed form: exact bilinear loops, and the law's steady loop integrated in
// time (RK4), against the isolation room's closed forms at the same amplitude.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
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

// `per` samples from a to b, a included, b left out: a straight piece of a branch.
void AddPiece(Points& p, double ua, double Fa, double ub, double Fb, int per) {
  for (int k = 0; k < per; ++k) {
    const double t = static_cast<double>(k) / per;
    p.Add(ua + t * (ub - ua), Fa + t * (Fb - Fa));
  }
}

// Loops laid end to end, each starting at its largest displacement and stopping one sample short of it: a
// first sample at rest before them and the last loop's top and a return to rest after, so that every loop is
// one cycle of the record, from reversal to reversal.
Points Record(const std::vector<std::function<void(Points&)>>& loops, const std::function<void(Points&)>& close) {
  Points p;
  p.Add(0.0, 0.0);
  for (const auto& loop : loops) loop(p);
  close(p);
  p.Add(0.0, 0.0);
  return p;
}

// The bilinear loop of strength Qd, post-yield stiffness Kd and yield displacement Dy at amplitude D (D > 2·Dy,
// so that both branches cross u = 0 on their post-yield lines F = ±Qd + Kd·u), clockwise: down the lower branch
// from (D, Fm), up the upper one; `per` samples a straight piece, the corners among them; forces times `scale`
// plus `offset`, displacements plus `shift`. `reversed` runs it the other way round (counter-clockwise).
struct Bilinear {
  double Qd, Kd, Dy;
};

std::function<void(Points&)> BilinearLoop(Bilinear b, double D, int per, double scale = 1.0, double offset = 0.0,
                                          double shift = 0.0, bool reversed = false) {
  return [=](Points& p) {
    const double Fm = b.Qd + b.Kd * D;
    const double u[4] = {D, D - 2 * b.Dy, -D, -D + 2 * b.Dy};
    const double F[4] = {Fm, -b.Qd + b.Kd * u[1], -Fm, b.Qd + b.Kd * u[3]};
    const int order[5] = {0, reversed ? 3 : 1, 2, reversed ? 1 : 3, 0};
    for (int k = 0; k < 4; ++k) {
      const int i = order[k], j = order[k + 1];
      AddPiece(p, u[i] + shift, scale * F[i] + offset, u[j] + shift, scale * F[j] + offset, per);
    }
  };
}

std::function<void(Points&)> Top(double D, double F) {
  return [=](Points& p) { p.Add(D, F); };
}

struct BilinearCase {
  const char* name;
  Bilinear b;
  double D;
  int per;             // samples a straight piece: u = 0 falls between two samples
  double scale = 1.0;  // of the forces
  double offset = 0.0;  // added to every force: cancels in Qd, as in Keff and EDC
};

class ExactBilinear : public ::testing::TestWithParam<BilinearCase> {};

// A bilinear loop's Qd, Kd and Dy come back from its samples: linear interpolation is exact on the straight
// post-yield lines and the polygon's area is the loop's 4·Qd·(D − Dy).
TEST_P(ExactBilinear, GivesItsOwnStrengthStiffnessAndYield) {
  const BilinearCase& c = GetParam();
  const double s = c.scale;
  const auto loop = BilinearLoop(c.b, c.D, c.per, s, c.offset);
  const Points p = Record({loop, loop, loop}, Top(c.D, s * (c.b.Qd + c.b.Kd * c.D) + c.offset));
  const CycleTable table = FindCycles(p.u, p.F);
  ASSERT_EQ(table.cycles.size(), 3u);
  const double Keff = s * (c.b.Qd / c.D + c.b.Kd);  // the stiffnesses' scale, for Kd = 0
  for (const Cycle& cycle : table.cycles) {
    ASSERT_EQ(cycle.bilinear, BilinearState::Exists) << BilinearReason(cycle);
    EXPECT_EQ(BilinearReason(cycle), "");
    EXPECT_DOUBLE_EQ(cycle.D, c.D);
    EXPECT_NEAR(cycle.Qd, s * c.b.Qd, 1e-13 * s * c.b.Qd);
    EXPECT_NEAR(cycle.Kd, s * c.b.Kd, 1e-13 * Keff);
    EXPECT_NEAR(cycle.Dy, c.b.Dy, 1e-12 * c.D);
    EXPECT_NEAR(cycle.EDC, 4 * s * c.b.Qd * (c.D - c.b.Dy), 1e-13 * s * c.b.Qd * c.D);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Loops, ExactBilinear,
    ::testing::Values(BilinearCase{"Lead", {1.0, 0.1, 1.3}, 10.0, 7}, BilinearCase{"Plastic", {50.0, 0.0, 2.0}, 5.0, 9},
                      BilinearCase{"BarelyPastTwiceDy", {2.0, 0.5, 1.0}, 2.2, 11},
                      BilinearCase{"OffsetBelowQd", {1.0, 0.1, 1.3}, 10.0, 7, 1.0, 0.4},
                      // Both crossings above F = 0: the mean of their magnitudes would be the offset, 3.
                      BilinearCase{"OffsetAboveQd", {1.0, 0.1, 1.3}, 10.0, 7, 1.0, 3.0},
                      // Stiffnesses of 1e249: every product taken in the record's units would overflow.
                      BilinearCase{"HugeForces", {1e150, 1e249, 1.3e-100}, 1e-99, 7},
                      BilinearCase{"FineSampling", {1.0, 0.1, 1.3}, 10.0, 1001}),
    [](const auto& info) { return std::string(info.param.name); });

// Cycles without an equivalent bilinear loop: Kd and Dy NaN, and the reason, never a number.
TEST(BilinearRefusal, NamesWhyACycleHasNoEquivalentLoop) {
  const Bilinear lead{1.0, 0.1, 1.3};
  // A loop pinched at u = 0: clockwise, Qd = 0.05, EDC = 2·(q + (1 − q)/4) = 0.575 > 4·Qd·D = 0.2.
  const auto pinched = [](Points& p) {
    const double u[7] = {1, 0, -0.5, -1, 0, 0.5, 1}, F[7] = {1, -0.05, -1, -1, 0.05, 1, 1};
    for (int k = 0; k < 6; ++k) AddPiece(p, u[k], F[k], u[k + 1], F[k + 1], 5);
  };
  const auto elastic = [](Points& p) { AddPiece(p, 3.0, 6.0, -3.0, -6.0, 8), AddPiece(p, -3.0, -6.0, 3.0, 6.0, 8); };
  const struct {
    const char* name;
    Points record;
    BilinearState state;
    const char* reason;  // a part of it
    double Qd;           // NaN: none
  } cases[] = {
      {"elastic", Record({elastic, elastic}, Top(3.0, 6.0)), BilinearState::NoStrength,
       "both branches cross u = 0 at the same force", 0.0},
      {"counter-clockwise", Record({BilinearLoop(lead, 10, 7, 1, 0, 0, true), BilinearLoop(lead, 10, 7, 1, 0, 0, true)},
                                   Top(10, 2)),
       BilinearState::NoStrength, "Qd is negative", -1.0},
      {"beside u = 0", Record({BilinearLoop(lead, 10, 7, 1, 0, 25), BilinearLoop(lead, 10, 7, 1, 0, 25)}, Top(35, 2)),
       BilinearState::NoCrossing, "does not cross u = 0", kNoValue},
      {"pinched", Record({pinched, pinched}, Top(1, 1)), BilinearState::YieldNotInside, "EDC exceeds 4 Qd D", 0.05},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const CycleTable table = FindCycles(c.record.u, c.record.F);
    ASSERT_EQ(table.cycles.size(), 2u);
    for (const Cycle& cycle : table.cycles) {
      EXPECT_EQ(cycle.bilinear, c.state);
      EXPECT_TRUE(std::isnan(cycle.Kd) && std::isnan(cycle.Dy)) << cycle.Kd << " " << cycle.Dy;
      EXPECT_NE(BilinearReason(cycle).find(c.reason), std::string::npos) << BilinearReason(cycle);
      if (std::isnan(c.Qd)) {
        EXPECT_TRUE(std::isnan(cycle.Qd)) << cycle.Qd;
      } else {
        EXPECT_NEAR(cycle.Qd, c.Qd, 1e-14);
      }
    }
    const std::vector<std::string> notes = BilinearNotes(table);
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].rfind("no equivalent bilinear loop (Kd, Dy) for cycles 1-2: ", 0), 0u) << notes[0];
  }
}

// The law's steady loop at D, integrated in time (RK4, 16 steps a sample) from the steady peak, `samples`
// samples a branch (odd: u = 0 falls midway between two).
std::function<void(Points&)> ModelLoop(const Case& c, double D, int samples, double& Fmax) {
  constexpr int kSteps = 16;
  quorix::testing::BoucWenOde ode{c.n, c.gamma};
  const double X = D / c.Uy, dx = 2 * X / samples;
  ode.SteadyPeak(X, samples * kSteps);  // leaves z at the loading branch's end, (X, z0)
  const auto force = [c](double x, double z) { return c.alpha * c.Fy * x + (1 - c.alpha) * c.Fy * z; };
  Fmax = force(X, ode.z);
  return [=](Points& p) mutable {
    for (int direction : {-1, 1}) {
      for (int k = 0; k < samples; ++k) {
        const double x = direction < 0 ? X - k * dx : -X + k * dx;
        p.Add(x * c.Uy, force(x, ode.z));
        ode.Run(direction * dx / kSteps, kSteps);
      }
    }
  };
}

// The sampled loop's Qd, Kd and Dy tend to the closed forms' at D as the sampling refines: the linear
// interpolation at u = 0 and the trapezoids of the area are off by O(h²).
TEST(ModelLoop, FiguresTendToTheClosedFormsAtTheAmplitude) {
  const Case c = NormalisedCase(2.0, 0.7, 0.1, 50.0, 2.0);
  const double D = 6.0;
  const isolation::Properties exact = isolation::PropertiesAt(c, D);
  const isolation::Bilinear bilinear = isolation::EquivalentBilinear(exact);
  std::vector<double> errors;  // the largest relative error of Qd, Kd, Dy at each sampling
  for (int samples : {41, 161, 641}) {
    double Fmax = 0.0;
    const auto loop = ModelLoop(c, D, samples, Fmax);
    const Points p = Record({loop, loop}, Top(D, Fmax));
    const CycleTable table = FindCycles(p.u, p.F);
    ASSERT_EQ(table.cycles.size(), 2u);
    const Cycle& cycle = table.cycles[1];
    ASSERT_EQ(cycle.bilinear, BilinearState::Exists) << BilinearReason(cycle);
    EXPECT_NEAR(cycle.Keff, exact.Keff, 1e-9 * exact.Keff);  // the peaks are samples
    errors.push_back(std::max({std::fabs(cycle.Qd / exact.Qd - 1), std::fabs(cycle.Kd / bilinear.Kd - 1),
                               std::fabs(cycle.Dy / bilinear.Dy - 1)}));
  }
  EXPECT_LT(errors[0], 3e-3);
  // Four times the samples, a sixteenth of the error (O(h²)), less a margin.
  EXPECT_LT(errors[1], errors[0] / 10) << errors[0] << " " << errors[1];
  EXPECT_LT(errors[2], errors[1] / 10) << errors[1] << " " << errors[2];
}

// A record at one amplitude whose loops' forces are scaled: each cycle's Keff over the group's mean is its scale
// over the scales' mean, its Qd and Kd scale. A cycle runs to the next loop's top, whose force is the next
// scale's: the trapezoid into it adds ½·Fm·(s' − s)·Δ to the EDC, Δ the last step of u; Dy follows the EDC.
TEST(AmplitudeGroups, RatiosToTheGroupMeanFollowScaledLoops) {
  const Bilinear lead{1.0, 0.1, 1.3};
  const double D = 10, Fm = 2, step = (2 * D - 2 * lead.Dy) / 7;
  const struct {
    std::vector<double> scales;
  } cases[] = {{{1.0, 1.1, 1.0, 1.0}}, {{1.1, 1.0, 1.0}}, {{1.0, 1.0}}, {{0.5, 1.0, 2.0, 1.5, 1.0}}};
  for (const auto& c : cases) {
    const std::size_t n = c.scales.size();
    std::vector<std::function<void(Points&)>> loops;
    std::vector<double> EDC;
    double meanScale = 0.0, meanEDC = 0.0;
    for (std::size_t k = 0; k < n; ++k) {
      const double s = c.scales[k], next = k + 1 < n ? c.scales[k + 1] : 1.0;  // the closing top's force is Fm
      loops.push_back(BilinearLoop(lead, D, 7, s));
      EDC.push_back(4 * s * lead.Qd * (D - lead.Dy) + 0.5 * Fm * (next - s) * step);
      meanScale += s / n, meanEDC += EDC.back() / n;
    }
    const Points p = Record(loops, Top(D, Fm));
    const CycleTable table = FindCycles(p.u, p.F);
    ASSERT_EQ(table.cycles.size(), n);
    ASSERT_EQ(table.groups.size(), 1u);
    const AmplitudeGroup& group = table.groups[0];
    EXPECT_EQ(std::vector<std::size_t>({group.first, group.last}), std::vector<std::size_t>({0, n - 1}));
    EXPECT_NEAR(group.Keff, meanScale * 0.2, 1e-14);  // Keff = Qd/D + Kd = 0.2 at scale 1
    EXPECT_NEAR(group.EDC, meanEDC, 1e-12);
    EXPECT_NEAR(group.firstKeffRatio, c.scales[0] / meanScale, 1e-14);
    EXPECT_NEAR(group.firstEDCRatio, EDC[0] / meanEDC, 1e-14);
    for (std::size_t k = 0; k < n; ++k) {
      const Cycle& cycle = table.cycles[k];
      SCOPED_TRACE(k);
      EXPECT_EQ(cycle.group, 0u);
      EXPECT_NEAR(cycle.KeffRatio, c.scales[k] / meanScale, 1e-14);
      EXPECT_NEAR(cycle.EDCRatio, EDC[k] / meanEDC, 1e-14);
      EXPECT_NEAR(cycle.Qd, c.scales[k], 1e-13);
      EXPECT_NEAR(cycle.Kd, 0.1 * c.scales[k], 1e-13);
      EXPECT_NEAR(cycle.Dy, D - EDC[k] / (4 * c.scales[k]), 1e-12);
    }
  }
}

// Cycles group while their D lies within 5 % of the D of the group's first. A cycle runs from one top to the
// next, so the cycle between loops of amplitudes a and b has D = (max(a, b) + a)/2.
TEST(AmplitudeGroups, GroupConsecutiveCyclesNearTheFirstsAmplitude) {
  const struct {
    std::vector<double> amplitudes;  // of the loops, one cycle each
    std::vector<std::size_t> groups;
  } cases[] = {
      // D: 10, 10, 10.15, 10.3, 10.65 (6.5 % above 10: a new group), 11, 11.
      {{10, 10, 10, 10.3, 10.3, 11, 11}, {0, 0, 0, 0, 1, 1, 1}},
      // D: 10.2, 10.6, 11, 11.2: 11 is within 5 % of the cycle before it, not of the group's first.
      {{10, 10.4, 10.8, 11.2}, {0, 0, 1, 1}},
      // D: 10, 10.25, 10.5 (5 % above 10: still the group), 10.55, 10.6.
      {{10, 10, 10.5, 10.5, 10.6}, {0, 0, 0, 1, 1}},
  };
  for (const auto& c : cases) {
    std::vector<std::function<void(Points&)>> loops;
    for (double a : c.amplitudes) loops.push_back(BilinearLoop({0.1 * a, 0.01, 0.1 * a}, a, 5));
    const double last = c.amplitudes.back();
    const Points p = Record(loops, Top(last, 0.1 * last + 0.01 * last));
    const CycleTable table = FindCycles(p.u, p.F);
    std::vector<std::size_t> groups;
    for (const Cycle& cycle : table.cycles) groups.push_back(cycle.group);
    EXPECT_EQ(groups, c.groups);
    ASSERT_EQ(table.groups.size(), c.groups.back() + 1);
    for (std::size_t g = 0; g < table.groups.size(); ++g) {
      EXPECT_EQ(table.cycles[table.groups[g].first].group, g);
      EXPECT_EQ(table.cycles[table.groups[g].last].group, g);
    }
  }
}

// An elastic record has no energy beyond rounding: no EDC ratios, and a note saying why; Keff's ratios stay.
TEST(AmplitudeGroups, NoEnergyNoEDCRatio) {
  const auto elastic = [](Points& p) { AddPiece(p, 3.0, 6.0, -3.0, -6.0, 8), AddPiece(p, -3.0, -6.0, 3.0, 6.0, 8); };
  const Points p = Record({elastic, elastic, elastic}, Top(3.0, 6.0));
  const CycleTable table = FindCycles(p.u, p.F);
  ASSERT_EQ(table.cycles.size(), 3u);
  for (const Cycle& cycle : table.cycles) {
    EXPECT_TRUE(std::isnan(cycle.EDCRatio)) << cycle.EDCRatio;
    EXPECT_DOUBLE_EQ(cycle.KeffRatio, 1.0);
  }
  const std::vector<std::string> notes = RatioNotes(table);
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0].rfind("no EDC ratio for cycles 1-3: ", 0), 0u) << notes[0];
}

}  // namespace
}  // namespace quorix::measured
