// Synthetic cyclic-test records from the law integrated in time (bouc_wen_ode.h), not the closed
// forms: F = α·Fy·u/Uy + (1 − α)·Fy·z along a triangular history sampled at even steps.
#pragma once

#include <cmath>
#include <random>
#include <vector>

#include "../support/bouc_wen_ode.h"  // relative: the benchmarks have only this folder on their path

namespace quorix::measured::testing {

struct TrueModel {
  double n, gamma, alpha, Fy, Uy;
};

struct Block {
  double amplitude;  // in the unit of u
  int cycles;        // recorded cycles 0 → +a → −a → 0
  bool steady;       // begin on the steady cycle instead of where the last block left z
};

struct Synthetic {
  std::vector<double> u, F;
};

// Blocks sampled `perQuarter` points a quarter cycle, `substeps` RK4 steps a sample. Between blocks
// z carries over, as in a real test, or (steady) the block begins on the steady cycle the closed form describes.
inline Synthetic MakeRecord(const TrueModel& m, const std::vector<Block>& blocks, int perQuarter, int substeps = 4) {
  Synthetic r;
  quorix::testing::BoucWenOde ode{m.n, m.gamma};
  double u = 0.0;
  auto sample = [&] {
    r.u.push_back(u);
    r.F.push_back(m.alpha * m.Fy * u / m.Uy + (1.0 - m.alpha) * m.Fy * ode.z);
  };
  sample();
  for (const Block& b : blocks) {
    const double du = b.amplitude / perQuarter;
    if (b.steady) {  // on the loading branch at u = 0
      ode.z = -ode.SteadyPeak(b.amplitude / m.Uy, 2 * perQuarter * substeps);
      ode.Run(b.amplitude / m.Uy / perQuarter / substeps, perQuarter * substeps);
    }
    for (int c = 0; c < b.cycles; ++c) {
      for (int q = 0; q < 4 * perQuarter; ++q) {
        const double dir = (q < perQuarter || q >= 3 * perQuarter) ? 1.0 : -1.0;
        ode.Run(dir * du / m.Uy / substeps, substeps);
        // Integer steps keep the tips exact: u = k·du.
        const int k = q < perQuarter ? q + 1 : q < 3 * perQuarter ? 2 * perQuarter - q - 1 : q + 1 - 4 * perQuarter;
        u = k * du;
        sample();
      }
    }
  }
  return r;
}

// Gaussian noise of `forceShare`·max|F| on the forces and `displacementShare`·max|u| on the
// displacements, a drift of the force's zero by `drift`·max|F| over the record; a fixed seed.
inline void AddNoise(Synthetic& r, double forceShare, double displacementShare, double drift, unsigned seed) {
  double fMax = 0.0, uMax = 0.0;
  for (double F : r.F) fMax = std::fmax(fMax, std::fabs(F));
  for (double u : r.u) uMax = std::fmax(uMax, std::fabs(u));
  std::mt19937_64 rng(seed);
  std::normal_distribution<double> normal(0.0, 1.0);
  const double count = static_cast<double>(r.u.size());
  for (std::size_t i = 0; i < r.u.size(); ++i) {
    r.F[i] += forceShare * fMax * normal(rng) + drift * fMax * (static_cast<double>(i) / count);
    r.u[i] += displacementShare * uMax * normal(rng);
  }
}

}  // namespace quorix::measured::testing
