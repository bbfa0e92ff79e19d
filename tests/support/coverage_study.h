// How often the whole-record fit's 95 % intervals hold the truth on records integrated by RK4 (not the closed
// forms the fit runs on), noise drawn afresh on each. Shared by bench/bench_coverage.cpp and the test.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "cycles.h"
#include "fit.h"
#include "synthetic.h"

namespace quorix::measured::testing {

struct NoiseSetting {
  const char* name;
  double force;         // Gaussian noise on F, a share of max |F|
  double displacement;  // on u, a share of max |u|
};

inline const std::array<NoiseSetting, 4> kCoverageSettings{{{"F 0.5 %", 0.005, 0.0},
                                                            {"F 2 %", 0.02, 0.0},
                                                            {"F 0.5 %, u 0.05 %", 0.005, 0.0005},
                                                            {"F 2 %, u 0.2 %", 0.02, 0.002}}};

// From rest, two cycles at each of 0.5, 1 and 2 Uy.
inline const TrueModel kCoverageModel{2.5, 0.75, 0.08, 3.1, 0.15};

inline Synthetic CoverageRecord(int perQuarter) {
  std::vector<Block> blocks;
  for (double a : {0.5, 1.0, 2.0}) blocks.push_back(Block{a * kCoverageModel.Uy, 2, false});
  return MakeRecord(kCoverageModel, blocks, perQuarter, 4);
}

struct Coverage {
  int records = 0;  // fitted
  int refused = 0;  // counted as misses
  // Per parameter, how often the truth lay in the interval, in the interval moved to be centred on the fitted
  // value (no correction for the shift), in value ± 1.96 standard errors.
  std::array<int, 5> held{}, centredHeld{}, stdHeld{};
  // Means of the error, of the half-width and of the displacement noise's shift, over 1.96 standard errors.
  std::array<double, 5> meanError{}, meanWidth{}, meanBias{};
  double Share(int count) const { return records + refused > 0 ? double(count) / (records + refused) : 0.0; }
};

// `count` records, record k's noise drawn from seed `seed` + k.
inline Coverage RunCoverage(const NoiseSetting& setting, int count, int perQuarter, std::uint64_t seed) {
  const Synthetic clean = CoverageRecord(perQuarter);
  const double truth[5] = {kCoverageModel.n, kCoverageModel.gamma, kCoverageModel.alpha, kCoverageModel.Fy,
                           kCoverageModel.Uy};
  constexpr double Case::*kFields[5] = {&Case::n, &Case::gamma, &Case::alpha, &Case::Fy, &Case::Uy};
  Coverage c;
  for (int k = 0; k < count; ++k) {
    Synthetic rec = clean;
    AddNoise(rec, setting.force, setting.displacement, 0.0, static_cast<unsigned>(seed + k));
    FitResult fit;
    try {
      fit = Fit(rec.u, rec.F, FindCycles(rec.u, rec.F));
    } catch (const Refusal&) {
      ++c.refused;
      continue;
    }
    ++c.records;
    for (int i = 0; i < 5; ++i) {
      const double v = fit.parameters.*kFields[i];
      if (fit.intervals[i][0] <= truth[i] && truth[i] <= fit.intervals[i][1]) ++c.held[i];
      const double half = 0.5 * (fit.intervals[i][1] - fit.intervals[i][0]);
      if (std::fabs(v - truth[i]) <= half) ++c.centredHeld[i];
      const double se = 1.959964 * fit.errors[i];
      if (std::fabs(v - truth[i]) <= se) ++c.stdHeld[i];
      c.meanError[i] += (v - truth[i]) / se, c.meanWidth[i] += half / se, c.meanBias[i] += fit.displacementBias[i] / se;
    }
  }
  for (auto* mean : {&c.meanError, &c.meanWidth, &c.meanBias}) {
    for (double& m : *mean) m /= std::max(c.records, 1);
  }
  return c;
}

}  // namespace quorix::measured::testing
