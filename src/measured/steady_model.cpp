#include "steady_model.h"

#include <algorithm>
#include <cmath>

#include "accurate.h"
#include "energy_solver.h"

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

}  // namespace

bool SteadyBranch::Init(double n, double gamma, double U) {
  if (!(std::isfinite(n) && n > 0.0 && std::isfinite(gamma) && gamma >= 0.0 && std::isfinite(U) && U > 0.0)) {
    return false;
  }
  BoucWenCase bw;
  bw.Nee = n;
  bw.GammaSmall = gamma;
  bw.BetaSmall = 1.0 - gamma;
  bw.AlphaSmall = 0.0;
  bw.Fy = 1.0;
  bw.Uy = 1.0;
  bw.UmaxOverUy = U;
  bw.Complementary = true;
  try {
    accurate::Solve(bw);
  } catch (const accurate::DomainError&) {
    return false;
  }
  n_ = n;
  w_ = bw.BetaSmall - bw.GammaSmall;
  U_ = U;
  // A saturated cycle (Za = 1) runs up to ZaUpperBound, where G_1 is still
  // finite, and stays there, within 1e-12 of 1, to the tip.
  zc_ = bw.Za == 1.0 ? ZaUpperBound : bw.Za;
  if (!(zc_ > 0.0 && zc_ < 1.0)) return false;
  double g1 = 0.0;
  if (!BranchIntegral(w_, zc_, n_, gwc_) || !BranchIntegral(1.0, zc_, n_, g1)) return false;
  xEnd_ = std::min(U_, gwc_ + g1 - U_);
  return true;
}

double SteadyBranch::Slope(double z) const {
  const double a = std::fabs(z);
  return 1.0 - (z < 0.0 ? w_ : 1.0) * std::pow(a, n_);
}

double SteadyBranch::DzDU(double z) const {
  // Saturated, the peak no longer moves (zc' = 0) and the curve z(x + U)
  // only shifts with U.
  if (zc_ == ZaUpperBound) return Slope(z);
  const double zn = std::pow(zc_, n_);
  const double gw = 1.0 / (1.0 - w_ * zn);
  const double g1 = 1.0 / (1.0 - zn);
  return (1.0 - 2.0 * gw / (gw + g1)) * Slope(z);
}

bool SteadyBranch::XOf(double z, double& x) const {
  double g = 0.0;
  if (z < 0.0) {
    if (!BranchIntegral(w_, -z, n_, g)) return false;
    x = gwc_ - g - U_;
  } else {
    if (!BranchIntegral(1.0, z, n_, g)) return false;
    x = gwc_ + g - U_;
  }
  return true;
}

bool SteadyBranch::ZAt(double x, double previousX, double previousZ, double& z) const {
  if (x <= -U_) {
    z = -zc_;
    return true;
  }
  if (x >= xEnd_) {
    z = zc_;
    return true;
  }
  // x(z) increases with z: the root lies in [previousZ, zc].
  double lo = std::max(previousZ, -zc_);
  double hi = zc_;
  // A second-order step from the previous point: z'' = Slope'·Slope.
  const double dx = x - previousX;
  const double s = Slope(previousZ);
  const double a = std::fabs(previousZ);
  const double ds = -n_ * (previousZ < 0.0 ? -w_ : 1.0) * std::pow(a, n_ - 1.0);
  double guess = previousZ + s * dx;
  if (std::isfinite(ds)) guess += 0.5 * ds * s * dx * dx;
  z = guess;
  for (int iteration = 0; iteration < 100; ++iteration) {
    if (!(z > lo && z < hi)) z = 0.5 * (lo + hi);
    double xz = 0.0;
    if (!XOf(z, xz)) return false;
    const double residual = xz - x;
    if (residual == 0.0) return true;
    (residual < 0.0 ? lo : hi) = z;
    const double step = -residual * Slope(z);
    const double next = z + step;
    // Newton converges quadratically: a step this small leaves an error of
    // the order of its square, far below a rounding of z.
    if (std::fabs(step) <= 1e-10 * (1e-3 + std::fabs(z)) && next >= lo && next <= hi) {
      z = next;
      return true;
    }
    if (hi - lo <= 4e-16 * (std::fabs(lo) + std::fabs(hi))) return true;
    z = next;
  }
  return true;
}

bool ModelForces(const Parameters& p, const CyclePoints& points, std::vector<double>& F, std::vector<double>* z,
                 std::vector<double>* dFdUy) {
  const std::size_t count = points.frameU.size();
  F.resize(count);
  if (z != nullptr) z->resize(count);
  if (dFdUy != nullptr) dFdUy->resize(count);
  if (!(std::isfinite(p.Uy) && p.Uy > 0.0 && std::isfinite(p.Fy) && std::isfinite(p.alpha))) return false;
  SteadyBranch branch;
  const double U = points.halfRange / p.Uy;
  if (!branch.Init(p.n, p.gamma, U)) return false;
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
