// The loading branch of the steady cycle in closed form, shared by the loop
// view (which walks it from z to x) and the fit of measured records (which
// inverts it, from x to z), in either arithmetic.
//
// On loading (u̇ > 0) the hysteresis law with A = 1 and β + γ = 1 reads
//   dz/dx = 1 − w·|z|ⁿ  for z < 0,   dz/dx = 1 − zⁿ  for z > 0,   w = β − γ,
// x = u/Uy. With G_y(s) = ∫₀ˢ dζ / (1 − y·ζⁿ) its antiderivative through 0 is
//   H(z) = −G_w(−z)  for z ≤ 0,   H(z) = G_1(z)  for z ≥ 0,
// and the branch of the cycle of half-range U that starts at (−U, −zc) is
//   x(z) = −U + G_w(zc) + H(z).
// At the solver's root G_w(Za) + G_1(Za) = 2·amp(Za) = 2U, so the branch ends
// at (U, Za). A saturated case (Za = 1) stands zc = ZaUpperBound for 1, where
// G_1 diverges: the curve reaches zc at x = −U + G_w(zc) + G_1(zc) < U, and z,
// then within 1e-12 of 1, stays there up to x = U.
#pragma once

namespace quorix {

// G_y(s) = ∫₀ˢ dζ / (1 − y·ζⁿ) for 0 ≤ s < 1 into `value`; false when it
// cannot be evaluated.
using BranchIntegralFn = bool (*)(double y, double s, double n, double& value);

// G_y(s) = s·F(1/n, 1; 1 + 1/n; y·sⁿ) on the solver's own hypergeometric
// evaluator, with the very call and operand order of the amplitude function,
// so that the branch ends exactly where SolveEnergy's Za puts it. False on
// any fault or failure of the evaluator, and for a value that is not finite.
bool SolverBranchIntegral(double y, double s, double n, double& value);

class LoadingBranch {
 public:
  explicit LoadingBranch(BranchIntegralFn integral) : integral_(integral) {}

  // The branch at exponent n and w = β − γ of the cycle of half-range U
  // (in units of Uy) whose peak a solve put at za. False when the closed
  // form has no such branch: n, w or U not finite, n ≤ 0, U ≤ 0, za outside
  // (0, 1], or G_w(zc) or G_1(zc) that cannot be evaluated.
  bool Init(double n, double w, double za, double U);

  // zc: za, or ZaUpperBound for a saturated cycle (za = 1).
  double Peak() const { return zc_; }
  double HalfRange() const { return U_; }
  // G_w(zc) + G_1(zc), the curve's extent in x from −U up to where z
  // reaches zc: 2U unless the cycle is saturated (or Za is off the root
  // by its tolerance).
  double Extent() const { return extent_; }

  // H(z) for −1 < z < 1; false when the integral cannot be evaluated.
  bool Integral(double z, double& h) const;

  // x + U = G_w(zc) + H(z) at z, −zc ≤ z ≤ zc. The sum itself is not checked:
  // it may overflow where both integrals are finite.
  bool OffsetAt(double z, double& offset) const;

  // x = (x + U) − U at z.
  bool XAt(double z, double& x) const;

  // z at x, −U ≤ x ≤ U: −zc at and below −U, zc from where the curve reaches
  // it on. `previous` (x, z) is a point of the branch with x ≤ this x, which
  // both brackets the root and gives a second-order first guess; pass
  // (−U, −Peak()) when there is none. False when an integral cannot be
  // evaluated.
  bool ZAt(double x, double previousX, double previousZ, double& z) const;

  // dz/dx = 1 − y·|z|ⁿ at z, y = w below 0 and 1 above.
  double Slope(double z) const;

  // d(dz/dx)/dz at z: n·w·|z|^(n−1) below 0, −n·z^(n−1) above.
  double SlopeDerivative(double z) const;

  // dz/dx at |z| = 1 − t, on the part below 0 or above it, written so that
  // it stays accurate as t → 0, where 1 − |z|ⁿ computed from a rounded z
  // would have lost its digits: 1 − y·|z|ⁿ = (1 − y) + y·(1 − |z|ⁿ), with
  // 1 − |z|ⁿ = −expm1(n·log1p(−t)).
  double SlopeAtGap(double t, bool below) const;

  // ∂z/∂U at fixed x at z: (1 − zc′·g_w(zc))·Slope(z), with g_y(s) =
  // 1/(1 − y·sⁿ) and zc′ = dzc/dU = 2/(g_w(zc) + g_1(zc)) from the root
  // condition G_w(zc) + G_1(zc) = 2U; Slope(z) for a saturated cycle, whose
  // peak stays at ZaUpperBound while the curve only shifts with U.
  double DzDU(double z) const;

 private:
  BranchIntegralFn integral_;
  double n_ = 0.0;
  double w_ = 0.0;
  double U_ = 0.0;
  double zc_ = 0.0;
  double gwc_ = 0.0;     // G_w(zc)
  double extent_ = 0.0;  // G_w(zc) + G_1(zc)
  double xEnd_ = 0.0;    // where z reaches zc, at most U
};

}  // namespace quorix
