#include "branch_integrals.h"

#include <cmath>

#include "lerch.h"

namespace quorix::exact {

SideIntegrals::SideIntegrals(double n, double y, double oneMinusY)
    : n_(n),
      y_(y),
      oneMinusY_(oneMinusY),
      b1_(1.0 / n),
      f1_(Family(1.0 / n)),
      f2_(Family(2.0 / n)) {}

SideIntegrals::Argument SideIntegrals::ArgumentAt(const SidePoint& p) const {
  Argument a;
  if (p.sigma == 0.0) return a;
  double power = 0.0;     // σⁿ
  double distance = 0.0;  // 1 − σⁿ
  if (p.gap < 0.5) {
    // σ near 1: ln σ = ln(1 − gap) from the gap, exact where σ has rounded.
    const double logSigma = std::log1p(-p.gap);
    power = std::exp(n_ * logSigma);
    distance = -std::expm1(n_ * logSigma);
  } else {
    power = std::pow(p.sigma, n_);
    distance = power > 0.5 ? -std::expm1(n_ * std::log(p.sigma)) : 1.0 - power;
  }
  a.t = y_ * power;
  // 1 − y·σⁿ = (1 − y) + y·(1 − σⁿ): two terms of one sign when y > 0.
  a.s = a.t > 0.5 ? oneMinusY_ + y_ * distance : 1.0 - a.t;
  return a;
}

double SideIntegrals::G(const SidePoint& p) const {
  if (p.sigma == 0.0) return 0.0;
  const Argument a = ArgumentAt(p);
  return p.sigma * b1_ * f1_->Phi(a.t, a.s);
}

double SideIntegrals::K(const SidePoint& p) const {
  if (p.sigma == 0.0) return 0.0;
  const Argument a = ArgumentAt(p);
  return p.sigma * p.sigma * b1_ * f2_->Phi(a.t, a.s);
}

// D = b·(σ·Φ_b − σ²·Φ_2b). Near t = 1 each Φ_B is −t^(−B)·ln s plus a
// remainder, and σ·t^(−b) = y^(−b), σ²·t^(−2b) = y^(−2b): the logarithms
// combine into (y^(−2b) − y^(−b))·ln s, which vanishes for y = 1, and only the
// remainders are subtracted.
double SideIntegrals::D(const SidePoint& p) const {
  if (p.sigma == 0.0) return 0.0;
  const Argument a = ArgumentAt(p);
  const LerchParts one = f1_->Parts(a.t, a.s, true);
  const LerchParts two = f2_->Parts(a.t, a.s, true);
  if (one.split && two.split) {
    const double remainders = p.sigma * (one.remainder - p.sigma * two.remainder);
    if (y_ == 1.0) return b1_ * remainders;
    const double logY = std::log(y_);
    const double logs = std::exp(-b1_ * logY) * std::expm1(-b1_ * logY) * std::log(a.s);
    return b1_ * (logs + remainders);
  }
  return b1_ * p.sigma * (one.value - p.sigma * two.value);
}

double SideIntegrals::Slope(const SidePoint& p) const { return ArgumentAt(p).s; }

double SideIntegrals::SlopeDerivative(const SidePoint& p) const {
  if (y_ == 0.0) return 0.0;
  return -n_ * y_ * std::pow(p.sigma, n_ - 1.0);
}

bool SideIntegrals::NearPole(const SidePoint& p) const { return ArgumentAt(p).t > 0.5; }

}  // namespace quorix::exact
