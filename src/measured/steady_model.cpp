#include "steady_model.h"

#include <algorithm>
#include <cmath>

#include "accurate.h"
#include "loading_branch.h"

namespace quorix::measured {

namespace {

// G_y(s) = s·F(1/n, 1; 1 + 1/n; y·sⁿ), exact mathematics on the doubles.
bool BranchIntegral(double y, double s, double n, double& value) {
  if (s == 0.0) {
    value = 0.0;
    return true;
  }
  return accurate::BranchIntegral(y, s, n, value);
}

// The loading branch of the steady cycle of half-range U at exponent n and
// w = β − γ = 1 − 2γ, its peak the accurate Za. False when the model has no
// such cycle (n ≤ 0, γ < 0, U ≤ 0, a value not finite) or an integral cannot
// be evaluated.
bool SteadyBranch(double n, double gamma, double U, LoadingBranch& branch) {
  if (!(std::isfinite(n) && n > 0.0 && std::isfinite(gamma) && gamma >= 0.0 && std::isfinite(U) && U > 0.0)) {
    return false;
  }
  // The peak depends on n, γ and U alone: unit forces and displacements.
  BoucWenCase bw = SteadyRecord(Case{.n = n, .gamma = gamma, .alpha = 0.0, .Fy = 1.0, .Uy = 1.0}, U);
  try {
    accurate::Solve(bw);
  } catch (const Refusal&) {
    return false;
  }
  return branch.Init(n, bw.BetaSmall - bw.GammaSmall, bw.Za, U);
}

}  // namespace

BoucWenCase SteadyRecord(const Case& p, double U) {
  BoucWenCase bw = RecordOf(NormalisedCase(p.n, p.gamma, p.alpha, p.Fy, p.Uy), U);
  bw.Complementary = true;
  return bw;
}

bool ModelForces(const Case& p, const CyclePoints& points, std::vector<double>& F, std::vector<double>* z,
                 std::vector<double>* dFdUy) {
  const std::size_t count = points.frameU.size();
  F.resize(count);
  if (z != nullptr) z->resize(count);
  if (dFdUy != nullptr) dFdUy->resize(count);
  if (!(std::isfinite(p.Uy) && p.Uy > 0.0 && std::isfinite(p.Fy) && std::isfinite(p.alpha))) return false;
  LoadingBranch branch(BranchIntegral);
  const double U = points.halfRange / p.Uy;
  if (!SteadyBranch(p.n, p.gamma, U, branch)) return false;
  double previousX = -U;
  double previousZ = -branch.Peak();
  const double elastic = p.alpha * p.Fy;
  const double hysteretic = (1.0 - p.alpha) * p.Fy;
  for (std::size_t k = 0; k < count; ++k) {
    const double x = std::clamp(points.frameU[k] / p.Uy, -U, U);
    double zk = 0.0;
    if (!branch.ZAt(x, previousX, previousZ, zk)) return false;
    previousX = x;
    previousZ = zk;
    const double s = points.sign[k];
    F[k] = s * (elastic * x + hysteretic * zk);
    if (z != nullptr) (*z)[k] = s * zk;
    if (dFdUy != nullptr) {
      // x = x'/Uy and U = d/Uy both scale with 1/Uy.
      const double dz = -(branch.Slope(zk) * x + branch.DzDU(zk) * U) / p.Uy;
      (*dFdUy)[k] = s * (elastic * (-x / p.Uy) + hysteretic * dz);
    }
  }
  return true;
}

}  // namespace quorix::measured
