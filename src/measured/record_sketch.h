// A long record's whole-record fit (record_fit.cpp) runs its search on a
// thinned copy of the record, then finishes on every sample: the copy, and
// the Gauss-Newton finish from the copy's minimum.
#pragma once

#include <Eigen/Core>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "cycles.h"
#include "fit_steps.h"

namespace quorix::measured::detail {

// A long record is searched on a thinned copy first, then finished on every
// sample. The copy keeps sample 0, the first and last that count and every
// reversal of the motion (every change of the sign of Δu, not only those
// beyond the dead band), so that along it the model's response at each kept
// sample is exactly the one along the whole record: within a stretch z
// depends only on the stretch's start and on u. Of the samples in between
// it keeps every k-th, k such that about kSketchSamples remain. When the
// reversals alone are more than that (thousands of small cycles), it also
// drops the steady cycles after the first two of each run of them (a
// steady cycle repeats the one before it, so z comes back to where it was,
// to the steady mark's 2 %). Each kept sample weighs as many samples of the
// record as it stands for, those of a dropped cycle spread over the kept
// cycles of its run, so that the copy's misfit is the record's in
// miniature. A record of more samples than this is searched on a copy.
inline constexpr std::size_t kSketchSamples = 20000;

struct Sketch {
  std::vector<std::size_t> index;  // record samples kept, ascending
  std::vector<double> u, F, rootWeight;
  std::size_t first = 0, last = 0;  // in the copy
  // Turns of the motion passed over as noise (see record_sketch.cpp); 0
  // when the copy keeps every turn.
  std::size_t noiseTurns = 0;
  double noiseBand = 0.0;  // their largest size, a share of the range
};

// The copy of samples 0 … last, those from `first` on counting.
Sketch SketchOf(const std::vector<double>& u, const std::vector<double>& F, const CycleTable& table,
                std::size_t first, std::size_t last);

struct Polished {
  std::vector<double> position;
  int steps = 0;
};

// From the copy's minimum x, Gauss-Newton steps on every sample of
// `problem` (halved when a step does not lower the misfit), until a step
// falls below a tolerance of each parameter (of 1 for z0: freeIndex names
// the parameter of each entry of x). Leaves J and f, sized for `problem`,
// at the position returned; `progress`, when set, hears each step. Throws
// Refusal when the Jacobian cannot be evaluated or the steps do not settle.
Polished Polish(const LeastSquaresProblem& problem, const std::vector<std::size_t>& freeIndex, std::vector<double> x,
                Eigen::MatrixXd& J, Eigen::VectorXd& f, const std::function<void(const std::string&)>& progress);

}  // namespace quorix::measured::detail
