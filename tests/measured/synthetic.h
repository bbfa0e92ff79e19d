// Synthetic cyclic-test records from an independent time-stepping
// integration of the Bouc-Wen law (A = 1), not from the closed forms:
//
//   ż = u̇ − γ·|u̇|·|z|^(n−1)·z − β·u̇·|z|ⁿ,   F = α·Fy·u/Uy + (1 − α)·Fy·z,
//
// integrated in x = u/Uy with classical RK4 along a triangular displacement
// history sampled at even steps, several RK4 substeps per sample.
#pragma once

#include <cmath>
#include <random>
#include <vector>

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

class Integrator {
 public:
  explicit Integrator(const TrueModel& m) : m_(m) {}

  // Moves x by dx in `substeps` RK4 steps.
  void Step(double dx, int substeps) {
    const double h = dx / substeps;
    const double s = dx > 0.0 ? 1.0 : -1.0;
    auto slope = [&](double z) {
      const double az = std::fabs(z);
      return 1.0 - s * m_.gamma * std::pow(az, m_.n - 1.0) * z - (1.0 - m_.gamma) * std::pow(az, m_.n);
    };
    for (int i = 0; i < substeps; ++i) {
      const double k1 = slope(z_);
      const double k2 = slope(z_ + 0.5 * h * k1);
      const double k3 = slope(z_ + 0.5 * h * k2);
      const double k4 = slope(z_ + h * k3);
      z_ += h / 6.0 * (k1 + 2.0 * k2 + 2.0 * k3 + k4);
    }
  }
  double z() const { return z_; }
  void SetZ(double z) { z_ = z; }

  // The steady cycle of half-range X (in units of Uy), integrated the way
  // the record is: the z0 for which the branch started at (−X, −z0) ends
  // at (X, z0), by the secant method; leaves z on that branch at x = 0.
  void StartSteady(double X, int steps, int substeps) {
    auto endOf = [&](double z0) {
      z_ = -z0;
      for (int i = 0; i < 2 * steps; ++i) Step(X / steps, substeps);
      return z_ - z0;
    };
    double x0 = 0.3, x1 = 0.6;
    double g0 = endOf(x0), g1 = endOf(x1);
    for (int it = 0; it < 60 && g1 != g0 && std::fabs(x1 - x0) > 1e-15; ++it) {
      const double x2 = std::fmin(std::fmax(x1 - g1 * (x1 - x0) / (g1 - g0), 1e-9), 1.0 - 1e-15);
      x0 = x1, g0 = g1, x1 = x2, g1 = endOf(x1);
    }
    z_ = -x1;
    for (int i = 0; i < steps; ++i) Step(X / steps, substeps);
  }

 private:
  TrueModel m_;
  double z_ = 0.0;
};

// Blocks of cycles 0 → +a → −a → 0 sampled `perQuarter` points per quarter
// cycle. Between blocks the state z carries over, as in a real test, or
// (steady) the block begins on its steady cycle, which is what the closed
// form describes: a real test's first cycles at a new amplitude are not.
inline Synthetic MakeRecord(const TrueModel& m, const std::vector<Block>& blocks, int perQuarter, int substeps = 4) {
  Synthetic r;
  Integrator integ(m);
  double u = 0.0;
  auto sample = [&] {
    r.u.push_back(u);
    r.F.push_back(m.alpha * m.Fy * u / m.Uy + (1.0 - m.alpha) * m.Fy * integ.z());
  };
  sample();
  for (const Block& b : blocks) {
    const double du = b.amplitude / perQuarter;
    if (b.steady) integ.StartSteady(b.amplitude / m.Uy, perQuarter, substeps);
    for (int c = 0; c < b.cycles; ++c) {
      for (int q = 0; q < 4 * perQuarter; ++q) {
        const double dir = (q < perQuarter || q >= 3 * perQuarter) ? 1.0 : -1.0;
        integ.Step(dir * du / m.Uy, substeps);
        // Integer steps keep the tips exact: u = k·du.
        const int k = q < perQuarter ? q + 1 : q < 3 * perQuarter ? 2 * perQuarter - q - 1 : q + 1 - 4 * perQuarter;
        u = k * du;
        sample();
      }
    }
  }
  return r;
}

// Gaussian noise of `forceShare`·max|F| on the forces and of
// `displacementShare`·max|u| on the displacements, and a slow drift of the
// force's zero by `drift`·max|F| over the whole record; a fixed seed.
inline void AddNoise(Synthetic& r, double forceShare, double displacementShare, double drift, unsigned seed) {
  double fMax = 0.0, uMax = 0.0;
  for (std::size_t i = 0; i < r.u.size(); ++i) fMax = std::fmax(fMax, std::fabs(r.F[i])), uMax = std::fmax(uMax, std::fabs(r.u[i]));
  std::mt19937_64 rng(seed);
  std::normal_distribution<double> normal(0.0, 1.0);
  const double count = static_cast<double>(r.u.size());
  for (std::size_t i = 0; i < r.u.size(); ++i) {
    r.F[i] += forceShare * fMax * normal(rng) + drift * fMax * (static_cast<double>(i) / count);
    r.u[i] += displacementShare * uMax * normal(rng);
  }
}

}  // namespace quorix::measured::testing
