// The one transcendental function behind the model's integrals:
//
//   Φ_B(t) = Σ_{k≥0} tᵏ / (k + B) = ∫₀¹ u^(B−1) / (1 − t·u) du,   B > 0, t < 1,
//
// Lerch's Φ(t, 1, B), so that F(1, B; 1 + B; t) = B·Φ_B(t) and
//   ∫₀ˣ dz / (1 − y·zⁿ)   = x·(1/n)·Φ_{1/n}(y·xⁿ),
//   ∫₀ˣ z dz / (1 − y·zⁿ) = x²·(1/n)·Φ_{2/n}(y·xⁿ).
// The identity Φ_B(t) = 1/B + t·Φ_{B+1}(t), that is F − 1 = B·t·Φ_{B+1}(t),
// keeps the model's differences of hypergeometric values free of cancellation.
//
// Arguments come as t together with s = 1 − t, which the caller forms
// without cancellation (for t = xⁿ near 1 from 1 − x through log1p/expm1):
// near t = 1 the value depends on ln s, and a t rounded to a double has lost
// most of s. Where the evaluator sums powers of t it uses t; where it expands
// about t = 1 it uses only s.
//
// Regions (T = −t):
//   −1/4 ≤ t ≤ 1/2    the power series;
//   1/2 < t < 1       B < 7: the logarithmic expansion about t = 1,
//                       Φ = −t^(−B)·ln s + Σ_j e_j·sʲ,
//                     where its two parts do not cancel much (s ≤ 1/2 for
//                     B ≤ 3/2, s ≤ 0.5/B above; for B > 1 the leading pair
//                     −ln s + e_0 is formed in double-double), the power
//                     series above that;
//                     B ≥ 7: an expansion in 1/B about the pole at t = 1 with
//                     the exponential integral;
//   −T₀ ≤ t < −1/4    Pfaff's transformation to τ = T/(1 + T):
//                       Φ_B(t) = F(1, 1; 1 + B; τ) / (B·(1 + T)), positive terms;
//                     T₀ = 3 for B ≤ 1, 16 for B > 1;
//   t < −T₀           the expansion in 1/T, with the pole of π/sin(πB) at the
//                     nearest integer B taken together with its partner term.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace quorix::exact {

// Φ_B split as Φ = −t^(−B)·ln s + remainder, the remainder finite at s = 0.
// Two families with B and 2B at the same t = xⁿ have logarithmic parts that
// the model's Kda* subtracts exactly (t^(−B) = 1/x), so only the remainders
// are needed there. Available only close to t = 1 (split is false otherwise,
// and the remainder is then meaningless).
struct LerchParts {
  double value = 0.0;
  bool split = false;
  double remainder = 0.0;
};

// Tables for one B: 1/(k + B) for the power series, the coefficients of
// Pfaff's series and those of the logarithmic expansion, each built on first
// use; an entry never depends on the order in which values were asked for.
class LerchFamily {
 public:
  explicit LerchFamily(double b);

  double B() const { return b_; }

  // Φ_B(t) with s = 1 − t; t < 1, s > 0 (t may be 1 when s is positive but
  // below the rounding of 1 − s).
  double Phi(double t, double s) const { return Parts(t, s, false).value; }

  // Φ_B(t) and, close to t = 1, its split into the logarithmic singularity
  // and the rest (when wantSplit is true).
  LerchParts Parts(double t, double s, bool wantSplit) const;

 private:
  double PowerSeries(double t) const;
  double NearOne(double s, bool wantSplit, LerchParts& parts) const;
  double LargeParameterNearOne(double s, bool wantSplit, LerchParts& parts) const;
  double Pfaff(double bigT, double s) const;
  double Inverse(double bigT) const;

  void EnsureReciprocals(std::size_t count) const;
  void EnsureLogCoefficients() const;
  int LogTermCount() const;

  double b_;
  double logLimit_;                                // largest s for the logarithmic expansion
  double pfaffLimit_;                              // largest T = −t for Pfaff's transformation
  mutable std::vector<double> reciprocals_;        // 1/(k + B)
  mutable std::vector<double> logCoefficients_;    // e_j
  mutable std::vector<double> pfaffCoefficients_;  // k!/(1 + B)_k
  mutable double d0Lo_ = 0.0;                      // e_0 = ψ(1) − ψ(B) = e_0 + d0Lo_ to about 2⁻¹⁰⁰
};

// The family for B from a small per-thread cache (the model asks for the
// same four values of B on every Solve and every row of a sweep). The cache
// keeps the last eight; a family handed out stays alive while its holder
// keeps it, whatever the cache evicts meanwhile.
std::shared_ptr<const LerchFamily> Family(double b);

// Empties this thread's cache (for measuring a first Solve).
void ForgetFamilies();

// How many times this thread's cache was emptied: a holder of families that
// keeps them across calls (the accurate Solve's last model) drops them when
// this changes, so that a first Solve measured after ForgetFamilies is one.
std::uint64_t FamiliesForgotten();

// e^x·E₁(x) for x > 0, E₁ the exponential integral.
double ScaledExponentialIntegral(double x);

}  // namespace quorix::exact
