// Synthetic cyclic-test records from the law integrated in time (bouc_wen_ode.h), not the closed
// forms: F = α·Fy·u/Uy + (1 − α)·Fy·z along a triangular history sampled at even steps.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
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

// A triangular path from rest: `cycles` triangles 0 → +a → −a → 0 at each amplitude a (in units of
// uy), `perQuarter` samples a quarter cycle, on whole multiples of a step so that every tip is exact;
// `tips` are the samples where the motion turns. The callers put the force on it.
struct TrianglePath {
  std::vector<double> u;
  std::vector<std::size_t> tips;
};

inline TrianglePath Triangles(double uy, const std::vector<double>& amplitudes, int cycles, int perQuarter) {
  TrianglePath path;
  path.u.push_back(0.0);
  for (double a : amplitudes) {
    for (int c = 0; c < cycles; ++c) {
      for (int q = 1; q <= 4 * perQuarter; ++q) {
        const int k = q <= perQuarter ? q : q <= 3 * perQuarter ? 2 * perQuarter - q : q - 4 * perQuarter;
        if (q == perQuarter || q == 3 * perQuarter) path.tips.push_back(path.u.size());
        path.u.push_back(k * a * uy / perQuarter);
      }
    }
  }
  return path;
}

// Elements of the law in parallel along the path `u` (from rest): the force is the sum of theirs,
// each element's z integrated by RK4, `substeps` steps between samples. The path must turn only at
// samples (as Triangles' does), so that each step between samples goes one way.
inline Synthetic MakeParallelRecord(const std::vector<TrueModel>& elements, const std::vector<double>& u,
                                    int substeps = 4) {
  std::vector<quorix::testing::BoucWenOde> odes;
  for (const TrueModel& m : elements) odes.push_back({m.n, m.gamma});
  Synthetic r;
  r.u = u;
  for (std::size_t k = 0; k < u.size(); ++k) {
    double F = 0.0;
    for (std::size_t e = 0; e < elements.size(); ++e) {
      const TrueModel& m = elements[e];
      if (k > 0) odes[e].Run((u[k] - u[k - 1]) / m.Uy / substeps, substeps);
      F += m.alpha * m.Fy * u[k] / m.Uy + (1.0 - m.alpha) * m.Fy * odes[e].z;
    }
    r.F.push_back(F);
  }
  return r;
}

// Two layers in parallel (n = 4, γ = 0.5, α = 0.2 each) that yield at 0.1 and at 1, the early one
// of strength Fy = 0.3275 beside the late one's 1.5, two cycles at 0.5 and two at 1.5, 50 samples a
// quarter. One element held at n = 4 and γ = 0.5 fits it in two valleys, each with a misfit of
// about 7.6 % of the mean F+: yield near 0.30 (the early layer, the late one taken for stiffness)
// and near 0.92 (the late layer). The early layer's strength was set by bisection until the two
// misfits agreed (within 0.1 %; 1 % more of it moves them about 0.8 % apart).
inline Synthetic TwoLayers() {
  return MakeParallelRecord({{4.0, 0.5, 0.2, 0.3275, 0.1}, {4.0, 0.5, 0.2, 1.5, 1.0}},
                            Triangles(1.0, {0.5, 1.5}, 2, 50).u);
}

// ln x for finite x > 0 from frexp, +, −, × and ÷ alone. Each of those is exact or correctly rounded
// on every IEEE machine, so the result is the same bits under every C library, where std::log may
// differ in the last bit; within a few ulps of ln x. x = m·2^e with √½ ≤ m < √2, and
// ln m = 2·atanh t = 2t·(1 + t²/3 + t⁴/5 + …), t = (m − 1)/(m + 1), |t| ≤ 0.172: with t² ≤ 0.0295
// the terms beyond t²⁴ lie below 10⁻¹⁹ of the sum. m − 1 is exact, so the sum stays accurate near 1.
inline double PortableLog(double x) {
  int e = 0;
  double m = std::frexp(x, &e);  // exact: 0.5 ≤ m < 1
  if (m < 0.70710678118654752) {
    m *= 2.0;
    --e;
  }
  const double t = (m - 1.0) / (m + 1.0);
  const double t2 = t * t;
  double series = 0.0;  // t²/3 + t⁴/5 + … + t²⁴/25, by Horner
  for (int k = 12; k >= 1; --k) series = (series + 1.0 / (2 * k + 1)) * t2;
  return static_cast<double>(e) * 0.69314718055994531 + 2.0 * t * (1.0 + series);
}

// Standard normal deviates by Marsaglia's polar method on the raw outputs of std::mt19937_64, whose
// sequence the C++ standard fixes; std::normal_distribution is left to each C++ library and draws
// other numbers under each. A pair of 53-bit uniforms gives v₁, v₂ in (−1, 1) exactly; on
// s = v₁² + v₂² in (0, 1) both v·√(−2·ln s / s) are independent deviates. Only correctly rounded
// operations and PortableLog: the same deviates on every target, bit for bit.
class NormalDeviates {
 public:
  explicit NormalDeviates(std::uint64_t seed) : engine_(seed) {}

  double operator()() {
    if (haveSecond_) {
      haveSecond_ = false;
      return second_;
    }
    double v1 = 0.0, v2 = 0.0, s = 0.0;
    do {
      v1 = Symmetric();
      v2 = Symmetric();
      s = v1 * v1 + v2 * v2;
    } while (s >= 1.0 || s == 0.0);
    const double factor = std::sqrt(-2.0 * PortableLog(s) / s);
    second_ = v2 * factor;
    haveSecond_ = true;
    return v1 * factor;
  }

 private:
  // k·2⁻⁵² − 1 for the top 53 bits k of an output: a multiple of 2⁻⁵² in [−1, 1), exact.
  double Symmetric() { return static_cast<double>(engine_() >> 11) * 0x1p-52 - 1.0; }

  std::mt19937_64 engine_;
  double second_ = 0.0;
  bool haveSecond_ = false;
};

// Gaussian noise of `forceShare`·max|F| on the forces and `displacementShare`·max|u| on the
// displacements, a drift of the force's zero by `drift`·max|F| over the record; a fixed seed, and
// the same noise on every target.
inline void AddNoise(Synthetic& r, double forceShare, double displacementShare, double drift, unsigned seed) {
  double fMax = 0.0, uMax = 0.0;
  for (double F : r.F) fMax = std::fmax(fMax, std::fabs(F));
  for (double u : r.u) uMax = std::fmax(uMax, std::fabs(u));
  NormalDeviates normal(seed);
  const double count = static_cast<double>(r.u.size());
  for (std::size_t i = 0; i < r.u.size(); ++i) {
    r.F[i] += forceShare * fMax * normal() + drift * fMax * (static_cast<double>(i) / count);
    r.u[i] += displacementShare * uMax * normal();
  }
}

}  // namespace quorix::measured::testing
