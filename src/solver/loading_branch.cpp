#include "loading_branch.h"

#include <algorithm>
#include <cmath>

#include "energy_solver.h"
#include "ieee.h"
#include "specialfunctions.h"

namespace quorix {

bool SolverBranchIntegral(double y, double s, double n, double& value) {
  ieee::FaultScope scope;
  const ieee::Real sn = pow(ieee::Real(s), n);
  const ieee::Real arg = ieee::Real(y) * sn;
  const ieee::Real c = 1.0 / ieee::Real(n) + 1.0;
  const ieee::Real a = 1.0 / ieee::Real(n);
  if (scope.Raised()) return false;
  double f = 0.0;
  try {
    if (Hypergeometric2F1(a.value(), 1.0, c.value(), arg.value(), f) == 0) return false;
  } catch (const FloatingPointFault&) {
    return false;
  }
  value = s * f;
  return std::isfinite(value);
}

bool LoadingBranch::Init(double n, double w, double za, double U) {
  n_ = n;
  w_ = w;
  U_ = U;
  zc_ = za == 1.0 ? ZaUpperBound : za;
  if (!(std::isfinite(n_) && n_ > 0.0 && std::isfinite(w_) && std::isfinite(U_) && U_ > 0.0 && zc_ > 0.0 &&
        zc_ < 1.0)) {
    return false;
  }
  double g1 = 0.0;
  if (!integral_(w_, zc_, n_, gwc_) || !integral_(1.0, zc_, n_, g1)) return false;
  extent_ = gwc_ + g1;
  xEnd_ = std::min(U_, extent_ - U_);
  return true;
}

bool LoadingBranch::Integral(double z, double& h) const {
  double g = 0.0;
  if (z < 0.0) {
    if (!integral_(w_, -z, n_, g)) return false;
    h = -g;
  } else {
    if (!integral_(1.0, z, n_, g)) return false;
    h = g;
  }
  return true;
}

bool LoadingBranch::OffsetAt(double z, double& offset) const {
  double h = 0.0;
  if (!Integral(z, h)) return false;
  // G_w(zc) + (−G_w(−z)) is G_w(zc) − G_w(−z) to the bit: IEEE subtraction
  // is the addition of the negated operand.
  offset = gwc_ + h;
  return true;
}

bool LoadingBranch::XAt(double z, double& x) const {
  double offset = 0.0;
  if (!OffsetAt(z, offset)) return false;
  x = offset - U_;
  return true;
}

bool LoadingBranch::ZAt(double x, double previousX, double previousZ, double& z) const {
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
  const double ds = SlopeDerivative(previousZ);
  double guess = previousZ + s * dx;
  if (std::isfinite(ds)) guess += 0.5 * ds * s * dx * dx;
  z = guess;
  for (int iteration = 0; iteration < 100; ++iteration) {
    if (!(z > lo && z < hi)) z = 0.5 * (lo + hi);
    double xz = 0.0;
    if (!XAt(z, xz)) return false;
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

double LoadingBranch::Slope(double z) const {
  const double a = std::fabs(z);
  return 1.0 - (z < 0.0 ? w_ : 1.0) * std::pow(a, n_);
}

double LoadingBranch::SlopeDerivative(double z) const {
  const double a = std::fabs(z);
  return -n_ * (z < 0.0 ? -w_ : 1.0) * std::pow(a, n_ - 1.0);
}

double LoadingBranch::SlopeAtGap(double t, bool below) const {
  const double y = below ? w_ : 1.0;
  const double oneMinusPow = -std::expm1(n_ * std::log1p(-t));
  return (1.0 - y) + y * oneMinusPow;
}

double LoadingBranch::DzDU(double z) const {
  if (zc_ == ZaUpperBound) return Slope(z);
  const double zn = std::pow(zc_, n_);
  const double gw = 1.0 / (1.0 - w_ * zn);
  const double g1 = 1.0 / (1.0 - zn);
  return (1.0 - 2.0 * gw / (gw + g1)) * Slope(z);
}

}  // namespace quorix
