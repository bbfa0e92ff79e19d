// The model's closed-form steady loop evaluated at given displacements, in
// the accurate arithmetic: what the fit compares a measured cycle with.
#pragma once

#include <cstddef>
#include <vector>

namespace quorix::measured {

// The five parameters the user types (β = 1 − γ, A = 1).
struct Parameters {
  double n = 0.0;
  double gamma = 0.0;
  double alpha = 0.0;
  double Fy = 0.0;
  double Uy = 0.0;
};

// The loading branch of the steady cycle of half-range U (in units of Uy)
// at exponent n and w = β − γ = 1 − 2γ, as z against x = u/Uy. With
// G_y(s) = ∫₀ˢ dζ / (1 − y·ζⁿ) and zc the cycle's peak (the accurate Za),
//   x(z) = −U + G_w(zc) − G_w(−z)  for z ≤ 0,
//   x(z) = −U + G_w(zc) + G_1(z)   for z ≥ 0,
// an explicit x(z) that ZAt inverts by a bracketed Newton iteration. The
// unloading branch is its point reflection, z(x) = −z_loading(−x).
class SteadyBranch {
 public:
  // False when the model has no such cycle (n ≤ 0, γ < 0, U ≤ 0, a value
  // not finite) or an integral cannot be evaluated.
  bool Init(double n, double gamma, double U);

  double Peak() const { return zc_; }
  double HalfRange() const { return U_; }

  // dz/dx on the loading branch at z: 1 − w·|z|ⁿ below 0, 1 − zⁿ above.
  double Slope(double z) const;

  // ∂z/∂U at fixed x on the loading branch at z: (1 − zc'·g_w(zc))·Slope(z)
  // with g_y(s) = 1/(1 − y·sⁿ) and zc' = dzc/dU = 2/(g_w(zc) + g_1(zc));
  // Slope(z) for a saturated cycle, whose peak stays at ZaUpperBound.
  double DzDU(double z) const;

  // z at x, −U ≤ x ≤ U, on the loading branch. `previous` (x, z) is a point
  // of the branch with x ≤ this x, which both brackets the root and gives a
  // second-order first guess; pass (−U, −Peak()) when there is none. False
  // when an integral cannot be evaluated.
  bool ZAt(double x, double previousX, double previousZ, double& z) const;

 private:
  bool XOf(double z, double& x) const;

  double n_ = 0.0, w_ = 0.0, U_ = 0.0, zc_ = 0.0, gwc_ = 0.0, xEnd_ = 0.0;
};

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
// and when `dzdUy` is given, z and ∂F/∂Uy beside it. False when the model
// has no cycle there.
bool ModelForces(const Parameters& p, const CyclePoints& points, std::vector<double>& F,
                 std::vector<double>* z = nullptr, std::vector<double>* dFdUy = nullptr);

}  // namespace quorix::measured
