// The model's closed-form steady loop evaluated at given displacements, in
// the accurate arithmetic: what the fit compares a measured cycle with. The
// loading branch is the solver's (loading_branch.h), inverted from x to z;
// the unloading branch is its point reflection, z(x) = −z_loading(−x).
#pragma once

#include <cstddef>
#include <vector>

#include "bouc_wen_case.h"
#include "case.h"
#include "response.h"

namespace quorix::measured {

// The fits' unknowns are the case's n, γ, α, Fy and Uy; its β is 1 − γ and
// its A is 1, as the response along a history takes them.
//
// The solver's record of the model at p and half-range U (in units of Uy),
// β = 1 − γ whatever p.beta holds, with the Complementary formula set, whose
// energy the fit compares with the measured cycles' areas.
BoucWenCase SteadyRecord(const Case& p, double U);

// The model at the points of one cycle: x' = s·(u − centre)/Uy is each
// point's abscissa in the loading frame (s = +1 on loading, −1 on
// unloading), sorted once, since Uy > 0 does not change the order.
struct CyclePoints {
  double centre = 0.0;     // (u⁺ + u⁻)/2
  double halfRange = 0.0;  // d = (u⁺ − u⁻)/2
  std::vector<std::size_t> index;  // record index of each point, in loading-frame order
  std::vector<double> frameU;      // s·(u − centre), ascending
  std::vector<signed char> sign;   // s
};

// Model force at each point of the cycle (in the order of `points.index`),
// and z and ∂F/∂Uy beside it where `z` and `dFdUy` are given. False when the
// model has no cycle there.
bool ModelForces(const Case& p, const CyclePoints& points, std::vector<double>& F,
                 std::vector<double>* z = nullptr, std::vector<double>* dFdUy = nullptr);

}  // namespace quorix::measured
