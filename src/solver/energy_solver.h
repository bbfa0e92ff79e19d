#pragma once

#include "bouc_wen_case.h"

namespace quorix {

// Upper end of the search for Za; stands for Za = 1 inside hypergeometric
// arguments, where the evaluator fails at 1.
inline constexpr double ZaUpperBound = 0.999999999999;
inline constexpr double RootTolerance = 1e-12;
inline constexpr int MaxRootIterations = 50;

// The normalised displacement amplitude (Umax/Uy) of the symmetric cycle
// whose hysteretic variable peaks at x:
//   ½·( ∫₀ˣ dz / (1 − (β − γ)·zⁿ) + ∫₀ˣ dz / (1 − zⁿ) ),
// or −1.0 when it cannot be computed. Never throws.
double DisplacementAmplitude(double x, double n, double beta, double gamma);

// Reads the record's inputs and option, writes its nine results. Never
// reports an error: every assignment and call is a recovery unit, so a fault
// leaves IEEE infinities, NaN or untouched scratch values in the results.
void SolveEnergy(BoucWenCase& bw);

}  // namespace quorix
