#include "response.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "../accurate/reference_table.h"
#include "accurate.h"
#include "checks.h"
#include "views.h"

namespace quorix::response {
namespace {

using testing::DoubleOf;

Case Unit(double n, double gamma) { return {.n = n, .gamma = gamma, .alpha = 0.0, .Fy = 1.0, .Uy = 1.0}; }

// Relative, or absolute within 1e-3 of zero.
double ErrorOf(double value, double exact) {
  return std::fabs(value - exact) / std::max(std::fabs(exact), 1e-3);
}

struct ReferenceHistory {
  std::string name;  // what the history exercises
  double n, gamma, z0;
  std::vector<double> x, z, work;  // u/Uy and z at every sample; the work of every stretch
};

// data/response_reference.tsv: a history's line, then its samples and stretches.
std::vector<ReferenceHistory> ReferenceHistories() {
  std::vector<ReferenceHistory> histories;
  for (const testing::Row& row : testing::ReadTable("response_reference.tsv")) {
    const std::vector<std::string>& f = row.fields;
    if (f[0] == "history") {
      histories.push_back({f[1], DoubleOf(f[2]), DoubleOf(f[3]), DoubleOf(f[4]), {}, {}, {}});
    } else if (f[0] == "sample") {
      histories.back().x.push_back(DoubleOf(f[1]));
      histories.back().z.push_back(DoubleOf(f[2]));
    } else {
      histories.back().work.push_back(DoubleOf(f[1]));
    }
  }
  EXPECT_EQ(histories.size(), 16u);
  return histories;
}

// make_response_reference.py's histories (separation of variables, checked by a Taylor integration, at 50
// digits): z at every sample and the work of every stretch.
TEST(Response, FollowsTheHighPrecisionHistories) {
  double worstZ = 0.0, worstWork = 0.0;
  for (const ReferenceHistory& ref : ReferenceHistories()) {
    SCOPED_TRACE(ref.name);
    const History h = RespondAlong(ref.x, Unit(ref.n, ref.gamma), ref.z0);
    ASSERT_EQ(h.z.size(), ref.z.size());
    for (std::size_t k = 0; k < ref.z.size(); ++k) {
      const double e = ErrorOf(h.z[k], ref.z[k]);
      worstZ = std::max(worstZ, e);
      EXPECT_LE(e, 1e-12) << "sample " << k << ": z " << h.z[k] << " against " << ref.z[k];
    }
    ASSERT_EQ(h.stretches.size(), ref.work.size());
    for (std::size_t i = 0; i < ref.work.size(); ++i) {
      const double e = ErrorOf(h.stretches[i].work, ref.work[i]);
      worstWork = std::max(worstWork, e);
      EXPECT_LE(e, 1e-12) << "stretch " << i << ": work " << h.stretches[i].work << " against " << ref.work[i];
    }
  }
  std::printf("worst error: z %.3g, work %.3g\n", worstZ, worstWork);
}

// Cycles between ±U from rest settle on the steady loop: its peak Za, its branch LoopOf's, its work DE.
TEST(Response, SettlesOnTheSteadyLoop) {
  struct Row {
    double n, gamma, U;
  };
  for (const Row c : {Row{2.0, 0.75, 1.5}, Row{1.5, 0.3, 0.8}, Row{4.0, 1.0, 3.0}}) {
    SCOPED_TRACE(::testing::Message() << "n " << c.n << " gamma " << c.gamma << " U " << c.U);
    const Case p{.n = c.n, .gamma = c.gamma, .alpha = 0.1, .Fy = 2.0, .Uy = 0.5};
    BoucWenCase bw = RecordOf(NormalisedCase(c.n, c.gamma, p.alpha, p.Fy, p.Uy), c.U);
    bw.Complementary = true;
    accurate::Solve(bw);
    const HysteresisLoop loop = LoopOf(bw, 41, accurate::BranchIntegral);
    // 40 cycles, each from −U up along the loop's own abscissae and back.
    const std::size_t branch = 41;
    std::vector<double> u{0.0};
    for (int cycle = 0; cycle < 40; ++cycle) {
      for (std::size_t k = 0; k < branch; ++k) u.push_back(loop.u[k]);             // −U … U
      for (std::size_t k = branch; k < loop.u.size(); ++k) u.push_back(loop.u[k]);  // back towards −U
    }
    u.push_back(loop.u[0]);
    const History h = RespondAlong(u, p, 0.0);
    const std::size_t start = u.size() - loop.u.size() - 1;  // the last cycle's −U
    for (std::size_t k = 0; k < loop.u.size(); ++k) {
      EXPECT_NEAR(h.z[start + k], loop.z[k], 1e-13) << k;
    }
    EXPECT_NEAR(h.z[start + branch - 1], bw.Za, 1e-14);
    const std::size_t s = h.stretches.size();
    const double cycleWork = h.stretches[s - 2].work + h.stretches[s - 1].work;
    EXPECT_NEAR(cycleWork, bw.DE, 1e-13 * bw.DE);
  }
}

// Repeated samples are no reversals (their z and work are in the table); the first stretch begins at sample 0
// and each ends on the last of its repeated turning samples.
TEST(Response, RepeatedSamplesEndNoStretch) {
  const History h = RespondAlong(std::vector<double>{0.0, 0.0, 0.5, 1.0, 1.0, 0.2, 0.2, 0.7}, Unit(2.5, 0.6), 0.1);
  std::vector<std::pair<std::size_t, std::size_t>> spans;
  for (const auto& s : h.stretches) spans.emplace_back(s.first, s.last);
  EXPECT_EQ(spans, (std::vector<std::pair<std::size_t, std::size_t>>{{0, 4}, {4, 6}, {6, 7}}));
}

TEST(Response, RefusesWhatTheModelCannotAnswer) {
  const Case good = Unit(2.0, 0.5);
  const std::vector<double> history{0.0, 1.0};
  struct Row {
    Case p;
    std::vector<double> u;
    double z0;
    const char* message;
  };
  const double nan = std::nan("");
  const Row cases[] = {
      {Unit(-1.0, 0.5), history, 0.0, "n must be positive: -1"},
      {{.n = 2.0, .gamma = 0.5, .alpha = 0.0, .Fy = 1.0, .Uy = 1.0, .A = 2.0}, history, 0.0,
       "A must be 1 (normalise the case first): 2"},
      {good, history, 1.0, "z0 must lie between -1 and 1: 1"},
      {good, {0.0}, 0.0, "a displacement history needs at least two samples, not 1"},
      {good, {0.0, nan, 1.0}, 0.0, "u at sample 2 is not a finite number: nan"},
      {good, {2.0, 2.0, 2.0}, 0.0, "the displacement never moves: every sample is 2"},
      {{.n = 2.0, .gamma = 0.5, .alpha = 0.0, .Fy = 1.0, .Uy = 1e-300}, {0.0, 1e10}, 0.0,
       "u/Uy overflows: the largest displacement is: 1e+10"},
      // Outside the domain as every face decides it; and where the closed forms or the doubles end.
      {{.n = 2.0, .gamma = 0.5, .alpha = 1.5, .Fy = 1.0, .Uy = 1.0}, history, 0.0, "alpha must lie in [0, 1): 1.5"},
      {Unit(1e-12, 0.5), history, 0.0, "n is too small for the response's closed forms (below 1e-9): 1e-12"},
      {Unit(2.0, 1e308), history, 0.0, "gamma is too large: 1 - 2 gamma lies beyond the doubles: 1e+308"},
      {{.n = 2.0, .gamma = 0.5, .alpha = 0.0, .Fy = 10.0, .Uy = 1.0}, {0.0, 1e307, -1e307, 1e307}, 0.0,
       "the work along the history is beyond the range of a double (the displacement travels 5e+307): give the "
       "displacement or the force in a larger unit"},
  };
  for (const Row& c : cases) EXPECT_EQ(testing::ThrownMessage<Refusal>([&] { RespondAlong(c.u, c.p, c.z0); }), c.message);
}

}  // namespace
}  // namespace quorix::response
