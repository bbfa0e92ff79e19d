// The model's response along any displacement history, in closed form.
//
// With x = u/Uy the law ż = ẋ − γ·|ẋ|·|z|ⁿ⁻¹·z − β·ẋ·|z|ⁿ (β + γ = 1,
// w = β − γ = 1 − 2γ) reads, on a stretch where x increases,
//   dz/dx = 1 − |z|ⁿ for z ≥ 0,   dz/dx = 1 − w·|z|ⁿ for z < 0,
// and the same with z → −z, x → −x where x decreases. Either way it
// separates: x − x₀ = H(z) − H(z₀) in the stretch's own frame, with
//   H(z) = G_1(z) for z ≥ 0,   H(z) = −G_w(−z) for z < 0
// (branch_integrals.h). H increases, so z = H⁻¹(H(z₀) + x − x₀) at every
// sample is the exact response, and ∫ z dx over a stretch is the change of
// the second integral K. Nothing is stepped in time: each sample costs one
// or two evaluations of G, however far apart the samples are.
//
// A reversal is a change of the sign of Δu; a repeated sample is none. A
// stretch runs from one reversal sample to the next (the first from sample
// 0, the last to the final sample).
#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <stdexcept>
#include <vector>

#include "branch_integrals.h"
#include "case.h"
#include "refusal.h"

namespace quorix::response {

struct Stretch {
  std::size_t first = 0;  // sample where it starts
  std::size_t last = 0;   // sample where it ends
  // ∫ F_h du along it, F_h = (1 − α)·Fy·z the hysteretic force: positive
  // where the force does work on the specimen.
  double work = 0.0;
};

// The law is the normalised one, read by γ (β = 1 − γ).
// Throws Refusal unless the case lies in the model's domain (domain.h),
// A = 1, n ≥ 1e-9 (below it the closed forms lose their digits), 1 − 2γ is
// a double and −1 < z0 < 1.
void CheckParameters(const Case& p, double z0);

// Throws Refusal for a history of fewer than two samples, a sample
// that is not finite, a displacement that never moves, or displacements so
// large beside Uy that u/Uy, the force or the work overflows. The refusal
// names a sample by its position counted from firstNumber: 1 for the command
// line, as text tools count lines, 0 for Python.
void CheckHistory(std::span<const double> u, const Case& p, std::size_t firstNumber = 1);

// The response sample by sample, for a history checked beforehand.
class Response {
 public:
  // Starts at rest in the sense of the law: z = z0 at the first sample u0.
  Response(const Case& p, double z0, double u0);

  // Moves to the next sample. Returns true when the motion reversed at the
  // sample before it, which closed the stretch that Closed() then returns.
  bool Next(double u);

  double Z() const { return z_; }
  double F() const { return elastic_ * (u_ / p_.Uy) + hysteretic_ * z_; }
  std::size_t Index() const { return index_; }

  const Stretch& Closed() const { return closed_; }
  // The stretch from the last reversal to the current sample; false while
  // the displacement has not moved yet.
  bool Open(Stretch& stretch) const;

 private:
  // A point of the current frame, where the motion is upwards: the side of
  // z = 0, |z| with its gap, and H there.
  struct State {
    bool negative = false;
    exact::SidePoint point;
    double h = 0.0;
  };

  const exact::SideIntegrals& Side(bool negative) const { return negative ? below_ : above_; }
  double HOf(bool negative, const exact::SidePoint& point) const;
  State Solve(double target, const State& previous) const;
  exact::SidePoint Invert(const exact::SideIntegrals& side, double target, exact::SidePoint guess) const;
  double Work(const State& from, const State& to, double dx) const;
  double FrameZ(const State& s) const { return s.negative ? -s.point.sigma : s.point.sigma; }
  // J(z) = K_1(z) above zero, K_w(−z) below (as H − D near saturation).
  double J(const State& s) const;
  void BeginStretch(int direction, const State& at);

  Case p_;
  double elastic_;
  double hysteretic_;
  exact::SideIntegrals above_;  // y = 1
  exact::SideIntegrals below_;  // y = w
  double z0_;

  std::size_t index_ = 0;
  double u_;
  double z_;
  int direction_ = 0;  // +1, −1; 0 before the first movement
  std::size_t start_ = 0;
  double uStart_ = 0.0;
  State startState_;
  State state_;
  Stretch closed_;
};

// The whole response at once: z and F at every sample, and every stretch.
struct History {
  std::vector<double> z;
  std::vector<double> F;
  std::vector<Stretch> stretches;
};

// Checks parameters and history, then follows it. Throws Refusal.
History RespondAlong(std::span<const double> u, const Case& p, double z0 = 0.0);

}  // namespace quorix::response
