// The steady loop at given displacements: the loop polygon of views (which
// places points along z and computes x, the other way round) read back, and the analytic ∂F/∂Uy against finite differences, also on a
// saturated cycle.
#include <gtest/gtest.h>

#include <cmath>
#include <ostream>

#include "accurate.h"
#include "steady_model.h"
#include "views.h"

namespace quorix::measured {
namespace {

struct LoopCase {
  Parameters p;
  double U;  // in units of Uy
};

void PrintTo(const LoopCase& c, std::ostream* os) { *os << "n=" << c.p.n << " gamma=" << c.p.gamma << " U=" << c.U; }

// The points of one whole cycle in the order CyclePoints wants them.
CyclePoints PointsOfLoop(const HysteresisLoop& loop, double d) {
  CyclePoints cp;
  cp.halfRange = d;
  std::vector<std::pair<double, std::size_t>> order;
  const std::size_t half = loop.u.size() / 2 + 1;  // the loading branch, both tips
  for (std::size_t i = 0; i < loop.u.size(); ++i) order.emplace_back(i < half ? loop.u[i] : -loop.u[i], i);
  std::sort(order.begin(), order.end());
  for (const auto& [frame, i] : order) {
    cp.frameU.push_back(frame);
    cp.index.push_back(i);
    cp.sign.push_back(i < half ? 1 : -1);
  }
  return cp;
}

bool AccurateIntegral(double y, double s, double n, double& value) {
  const double b = 1.0 / n;
  value = s * accurate::Hyp2F1(b, 1.0, b + 1.0, y * std::pow(s, n));
  return std::isfinite(value);
}

class SteadyLoop : public ::testing::TestWithParam<LoopCase> {};

TEST_P(SteadyLoop, ReproducesTheSolversLoop) {
  const LoopCase& c = GetParam();
  BoucWenCase bw;
  bw.Nee = c.p.n, bw.GammaSmall = c.p.gamma, bw.BetaSmall = 1.0 - c.p.gamma;
  bw.AlphaSmall = c.p.alpha, bw.Fy = c.p.Fy, bw.Uy = c.p.Uy, bw.UmaxOverUy = c.U;
  bw.Complementary = true;
  accurate::Solve(bw);
  const HysteresisLoop loop = LoopOf(bw, 301, AccurateIntegral);
  ASSERT_FALSE(loop.u.empty());
  const CyclePoints cp = PointsOfLoop(loop, c.U * c.p.Uy);
  std::vector<double> F, z, dUy;
  ASSERT_TRUE(ModelForces(c.p, cp, F, &z, &dUy));
  for (std::size_t k = 0; k < F.size(); ++k) {
    EXPECT_NEAR(F[k], loop.F[cp.index[k]], 1e-9 * bw.Fa) << k;
  }
  // ∂F/∂Uy by central differences at the same displacements.
  const double h = 1e-6 * c.p.Uy;
  Parameters up = c.p, down = c.p;
  up.Uy += h, down.Uy -= h;
  std::vector<double> Fu, Fd;
  ASSERT_TRUE(ModelForces(up, cp, Fu));
  ASSERT_TRUE(ModelForces(down, cp, Fd));
  for (std::size_t k = 0; k < F.size(); ++k) {
    EXPECT_NEAR(dUy[k], (Fu[k] - Fd[k]) / (2.0 * h), 1e-5 * bw.Fa / c.p.Uy) << k;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, SteadyLoop,
                         ::testing::Values(LoopCase{{2.0, 0.7, 0.1, 50.0, 2.0}, 1.5},
                                           LoopCase{{1.0, 0.5, 0.0, 1.0, 1.0}, 0.3},
                                           LoopCase{{2.0, 0.9, 0.2, 3.0, 0.5}, 12.0},  // saturated
                                           LoopCase{{5.0, 0.3, 0.05, 1.0, 1.0}, 2.0}));

}  // namespace
}  // namespace quorix::measured
