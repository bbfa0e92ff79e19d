// The Bouc-Wen law (A = 1, β = 1 − γ) integrated in time, independently of the closed forms, in
// x = u/Uy with classical RK4:  ż = u̇ − γ·|u̇|·|z|^(n−1)·z − β·u̇·|z|ⁿ.
#pragma once

#include <cmath>

namespace quorix::testing {

struct BoucWenOde {
  double n, gamma;
  double z = 0.0;
  double area = 0.0;  // ∫ z dx, Simpson's rule on the RK4 stages

  // `steps` RK4 steps of dx each; the sign of dx is the direction of loading.
  void Run(double dx, int steps) {
    const double s = dx > 0.0 ? 1.0 : -1.0;
    auto slope = [&](double y) {
      return 1.0 - s * gamma * std::pow(std::fabs(y), n - 1.0) * y - (1.0 - gamma) * std::pow(std::fabs(y), n);
    };
    for (int i = 0; i < steps; ++i) {
      const double k1 = slope(z), z2 = z + 0.5 * dx * k1, k2 = slope(z2), z3 = z + 0.5 * dx * k2, k3 = slope(z3);
      const double z4 = z + dx * k3, next = z + dx / 6.0 * (k1 + 2.0 * k2 + 2.0 * k3 + slope(z4));
      area += dx / 6.0 * (z + 2.0 * z2 + 2.0 * z3 + next);
      z = next;
    }
  }

  // The steady cycle of half-range X: the z0 for which the loading branch from (−X, −z0) ends at
  // (X, z0), by the secant method, `steps` steps a branch. Leaves z and area at that branch's end.
  double SteadyPeak(double X, int steps) {
    auto miss = [&](double z0) {
      z = -z0, area = 0.0;
      Run(2.0 * X / steps, steps);
      return z - z0;
    };
    double x0 = 0.3, x1 = 0.6, g0 = miss(x0), g1 = miss(x1);
    for (int it = 0; it < 60 && g1 != g0 && std::fabs(x1 - x0) > 1e-15; ++it) {
      const double x2 = std::fmin(std::fmax(x1 - g1 * (x1 - x0) / (g1 - g0), 1e-9), 1.0 - 1e-15);
      x0 = x1, g0 = g1, x1 = x2, g1 = miss(x1);
    }
    miss(x1);
    return x1;
  }
};

}  // namespace quorix::testing
