// The integrals of the hysteresis law along one side of z = 0, in exact
// mathematics, for a response that follows any displacement history.
//
// On a stretch of loading the law reads dz/dx = 1 − y·|z|ⁿ, with y = 1 where
// z > 0 and y = w = β − γ where z < 0. On either side, with σ = |z|,
//   G_y(σ) = ∫₀^σ dζ / (1 − y·ζⁿ)         = σ·b·Φ_b(y·σⁿ),        b = 1/n,
//   K_y(σ) = ∫₀^σ ζ dζ / (1 − y·ζⁿ)       = σ²·b·Φ_2b(y·σⁿ),
//   D_y(σ) = ∫₀^σ (1 − ζ) dζ / (1 − y·ζⁿ) = G_y(σ) − K_y(σ)
// (Φ of lerch.h). G_y gives x along the branch and K_y the work ∫ z dx. For
// y = 1 both grow like −ln(1 − σⁿ)/n as σ → 1 while D_1 stays finite, so a
// stretch near saturation takes its work from the change of G (a change of
// x) and of D, not as the difference of two large K.
//
// A point σ comes with its gap 1 − σ, which near saturation carries the
// digits that σ itself, rounded to a double, has lost (σ may be 1.0 while
// the gap is 1e-30). Every evaluation takes the distance 1 − y·σⁿ from the
// gap, never from a rounded σⁿ.
//
// An object keeps the coefficient tables of this thread's cache: use it on
// the thread that made it.
#pragma once

#include <memory>

namespace quorix::exact {

class LerchFamily;

// A point on one side: σ = |z| in [0, 1] and gap = 1 − σ, the gap exact.
struct SidePoint {
  double sigma = 0.0;
  double gap = 1.0;

  static SidePoint FromSigma(double sigma) { return {sigma, 1.0 - sigma}; }
  static SidePoint FromGap(double gap) { return {1.0 - gap, gap}; }
};

class SideIntegrals {
 public:
  // The side with weight y ≤ 1 at exponent n > 0; oneMinusY is 1 − y
  // exactly (2γ for y = w = 1 − 2γ). The caller has checked the domain.
  SideIntegrals(double n, double y, double oneMinusY);

  double Y() const { return y_; }
  double N() const { return n_; }

  double G(const SidePoint& p) const;
  double K(const SidePoint& p) const;
  double D(const SidePoint& p) const;

  // 1 − y·σⁿ, the slope dz/dx on this side; it is 0 at σ = 1 for y = 1.
  double Slope(const SidePoint& p) const;

  // d(1 − y·σⁿ)/dσ = −n·y·σ^(n−1); infinite at σ = 0 for n < 1.
  double SlopeDerivative(const SidePoint& p) const;

  // t = y·σⁿ > 1/2, where the tables expand about t = 1: a change of G
  // there is better taken from x than from two values of G.
  bool NearPole(const SidePoint& p) const;

 private:
  struct Argument {
    double t = 0.0;  // y·σⁿ
    double s = 1.0;  // 1 − y·σⁿ
  };
  Argument ArgumentAt(const SidePoint& p) const;

  double n_;
  double y_;
  double oneMinusY_;
  double b1_;
  std::shared_ptr<const LerchFamily> f1_;  // Φ_b
  std::shared_ptr<const LerchFamily> f2_;  // Φ_2b
};

}  // namespace quorix::exact
