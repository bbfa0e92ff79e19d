#include "response.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace quorix::response {
namespace {

// n = 1: dz/dx = 1 − z above zero and 1 + w·z below (w = 1 − 2γ), so on
// loading z = 1 − (1 − z₀)·e^(−Δx) above zero and z = ((1 + w·z₀)·e^(wΔx) − 1)/w
// below it.
TEST(Response, LinearExponentFollowsExponentials) {
  const Parameters p{.n = 1.0, .gamma = 0.75, .alpha = 0.0, .Fy = 1.0, .Uy = 1.0};
  const double w = -0.5;
  std::vector<double> u;
  for (int k = 0; k <= 40; ++k) u.push_back(0.1 * k);  // loading from rest
  const History h = RespondAlong(u, p, 0.0);
  for (std::size_t k = 0; k < u.size(); ++k) {
    EXPECT_NEAR(h.z[k], 1.0 - std::exp(-u[k]), 2e-16) << k;
  }
  // From z0 = −0.6 upwards: below zero first, through it at x* where
  // (1 − 0.6·w)·e^(w·x*) = 1, then above.
  const History up = RespondAlong(std::vector<double>{0.0, 0.3, 0.6}, p, -0.6);
  EXPECT_NEAR(up.z[1], ((1.0 - 0.6 * w) * std::exp(w * 0.3) - 1.0) / w, 1e-16);
  const double crossing = -std::log(1.0 - 0.6 * w) / w;
  EXPECT_NEAR(up.z[2], -std::expm1(-(0.6 - crossing)), 3e-16);
}

}  // namespace
}  // namespace quorix::response
