// What engineers read off a solved case besides its nine results: the
// equivalent viscous damping and secant stiffness, and the hysteresis loop
// itself, in closed form.
#pragma once

#include <vector>

#include "bouc_wen_case.h"
#include "loading_branch.h"  // BranchIntegralFn

namespace quorix {

// Derived from a solved record, with Umax = UmaxOverUy·Uy:
//   XiEq       = DE / (2π·Fa·Umax)   equivalent viscous damping ratio (Jacobsen,
//                                    ED / (4π·Es) with Es = Fa·Umax/2);
//   Ksec       = Fa / Umax           secant stiffness at the peak;
//   KsecOverK0 = Fa / (Fy·U)         secant over initial stiffness K0 = Fy/Uy.
// A value whose denominator is 0 is not defined: NaN, never a fault.
struct DerivedQuantities {
  double XiEq = 0.0;
  double Ksec = 0.0;
  double KsecOverK0 = 0.0;
};
DerivedQuantities DeriveQuantities(const BoucWenCase& solved);

// The closed polygon of the steady cycle, traversed once: the loading
// branch from (−Umax, −Fa) to (Umax, Fa), then the unloading branch back,
// the first point not repeated at the end. u is the displacement (unit of
// Uy), F the force F = α·Fy·x + (1 − α)·Fy·z with x = u/Uy, z the
// hysteretic variable.
struct HysteresisLoop {
  std::vector<double> u;
  std::vector<double> F;
  std::vector<double> z;
};

inline constexpr int kDefaultLoopPointsPerBranch = 2001;

// The loop of a solved record, with `pointsPerBranch` points on each branch
// (at least 3; fewer count as 3), both tips included, so 2·pointsPerBranch − 2
// points in all. Empty when the record has no cycle the closed form
// describes: Umax/Uy ≤ 0, Za outside (0, 1], n ≤ 0 or not finite, or an
// integral that cannot be evaluated (β − γ above 1, for instance).
HysteresisLoop LoopOf(const BoucWenCase& solved, int pointsPerBranch = kDefaultLoopPointsPerBranch);

// The same loop with another evaluation of the branch integrals, for a
// record solved by another arithmetic (the accurate one).
HysteresisLoop LoopOf(const BoucWenCase& solved, int pointsPerBranch, BranchIntegralFn integral);

// The area enclosed by a closed polygon (shoelace formula), signed as the
// work ∮ F du along the polygon's order: positive for a clockwise traversal
// in the (u, F) plane (u to the right, F up). A hysteresis loop runs
// clockwise (loading along the upper curve), so for LoopOf's polygon this is
// the energy dissipated per cycle, to compare with DE.
double ShoelaceArea(const std::vector<double>& u, const std::vector<double>& F);

}  // namespace quorix
