// The most evaluator steps (step_counter.h) one call may take, from the
// limits of the loops themselves. A count above them means a loop that does
// not end as its limit says.
#pragma once

#include <cstdint>

namespace quorix::fuzz {

// One digamma value: a series of its own, or from the look-up of a
// remembered one: up to 8 lanes summed with it and 16 ahead; 33 with the
// evaluator's fallback series.
inline constexpr std::uint64_t kDigammaSteps = 33;
// The Gauss series: at most 1000 terms.
inline constexpr std::uint64_t kSeriesSteps = 1000;
// One level of the evaluator: the largest of its regions, the integer-gap
// form (2·170 factorial and finite-sum steps, then 1001 logarithmic terms
// of four digamma values each, and a polynomial series), the logarithmic
// form (1000 terms of three) and the linear transformation (two series).
inline constexpr std::uint64_t kEvaluatorLevelSteps = 2 * 170 + 1001 * (1 + 4 * kDigammaSteps) + kSeriesSteps;
// Hypergeometric2F1: Pfaff's transformation adds one inner level.
inline constexpr std::uint64_t kHypergeometricSteps = 2 * kEvaluatorLevelSteps + 3 * kDigammaSteps;
// SolveEnergy: the amplitude at the top of the interval and at most 50
// Brent iterations (two evaluator calls each, one Brent step), then four
// calls for the loop integrals.
inline constexpr std::uint64_t kSolveSteps = (2 + 50 * 2 + 4) * kHypergeometricSteps + 50;

}  // namespace quorix::fuzz
