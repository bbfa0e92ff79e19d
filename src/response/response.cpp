#include "response.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>

#include "decimal.h"
#include "domain.h"
#include "refuse.h"

namespace quorix::response {

namespace {

using exact::SideIntegrals;
using exact::SidePoint;

// Below this gap σ = 1 − gap is 1 to the double, and G_1 is about 693/n: a
// larger H is taken there, which keeps every value finite while z stays
// exactly as rounded.
constexpr double kSmallestGap = 0x1p-1000;

constexpr double kSmallestExponent = 1e-9;

}  // namespace

void CheckParameters(const Case& p, double z0) {
  if (p.A != 1.0) Refuse("A must be 1 (normalise the case first)", p.A);
  // The response reads the normalised law by γ alone (β = 1 − γ).
  RequireDomain(NormalisedCase(p.n, p.gamma, p.alpha, p.Fy, p.Uy));
  // Below about 1e-12 the branch integrals' series lose every digit (the
  // work of a loop turns negative); 1e-9 keeps three decades of margin.
  if (p.n < kSmallestExponent) Refuse("n is too small for the response's closed forms (below 1e-9)", p.n);
  // w = 1 − 2γ must be a double: beyond it no branch integral is defined.
  if (!std::isfinite(1.0 - 2.0 * p.gamma)) Refuse("gamma is too large: 1 - 2 gamma lies beyond the doubles", p.gamma);
  RequireFinite("z0", z0);
  if (!(std::fabs(z0) < 1.0)) Refuse("z0 must lie between -1 and 1", z0);
}

void CheckHistory(std::span<const double> u, const Case& p, std::size_t firstNumber) {
  if (u.size() < 2) throw Refusal("a displacement history needs at least two samples, not " + std::to_string(u.size()));
  double lowest = u[0];
  double highest = u[0];
  double path = 0.0;  // Σ|Δu|, by halves so that it overflows only where the work would
  for (std::size_t k = 0; k < u.size(); ++k) {
    if (!std::isfinite(u[k])) Refuse("u at sample " + std::to_string(k + firstNumber) + " is not a finite number", u[k]);
    lowest = std::min(lowest, u[k]);
    highest = std::max(highest, u[k]);
    if (k > 0) path += std::fabs(0.5 * u[k] - 0.5 * u[k - 1]);
  }
  if (lowest == highest) {
    throw Refusal("the displacement never moves: every sample is " + decimal::ShortestText(lowest));
  }
  const double largest = std::max(std::fabs(lowest), std::fabs(highest));
  if (!std::isfinite((highest - lowest) / p.Uy) || !std::isfinite(largest / p.Uy)) {
    Refuse("u/Uy overflows: the largest displacement is", largest);
  }
  const double forceBound = std::fabs(p.alpha * p.Fy) * (largest / p.Uy) + std::fabs((1.0 - p.alpha) * p.Fy);
  if (!std::isfinite(forceBound)) Refuse("the force overflows: the largest displacement is", largest);
  // The hysteretic work of any stretch, and their sum, is at most
  // (1 − α)·|Fy|·Σ|Δu| (|z| ≤ 1): refused where that bound leaves the
  // doubles, rather than answered with inf or NaN.
  if (!std::isfinite(2.0 * std::fabs((1.0 - p.alpha) * p.Fy) * path)) {
    throw Refusal("the work along the history is beyond the range of a double (the displacement travels " +
                  decimal::ShortestText(2.0 * path) + "): give the displacement or the force in a larger unit");
  }
}

Response::Response(const Case& p, double z0, double u0)
    : p_(p),
      elastic_(p.alpha * p.Fy),
      hysteretic_((1.0 - p.alpha) * p.Fy),
      above_(p.n, 1.0, 0.0),
      // w = 1 − 2γ, and 1 − w = 2γ exactly.
      below_(p.n, 1.0 - 2.0 * p.gamma, 2.0 * p.gamma),
      z0_(z0),
      u_(u0),
      z_(z0) {}

double Response::HOf(bool negative, const SidePoint& point) const {
  const double g = Side(negative).G(point);
  return negative ? -g : g;
}

void Response::BeginStretch(int direction, const State& at) {
  direction_ = direction;
  startState_ = at;
  startState_.h = HOf(at.negative, at.point);
  state_ = startState_;
}

bool Response::Next(double u) {
  const double previousU = u_;
  ++index_;
  u_ = u;
  if (u == previousU) return false;
  const int direction = u > previousU ? 1 : -1;
  bool reversed = false;
  if (direction_ == 0) {
    // The first movement. The stretch starts at sample 0: repeated samples
    // before it leave z at z0.
    const double frameZ = direction * z0_;
    start_ = 0;
    uStart_ = previousU;
    BeginStretch(direction, State{frameZ < 0.0, exact::SidePoint::FromSigma(std::fabs(frameZ)), 0.0});
  } else if (direction != direction_) {
    // The motion reversed at the sample before this one. The new frame sees
    // the same |z| on the other side of zero, its gap kept.
    closed_.first = start_;
    closed_.last = index_ - 1;
    closed_.work = Work(startState_, state_, direction_ * (previousU - uStart_) / p_.Uy);
    reversed = true;
    start_ = index_ - 1;
    uStart_ = previousU;
    BeginStretch(direction, State{!state_.negative && state_.point.sigma > 0.0, state_.point, 0.0});
  }
  // H at this sample in the stretch's frame, from the start of the stretch:
  // the displacement itself, not a running sum of steps.
  const double target = startState_.h + direction_ * (u - uStart_) / p_.Uy;
  state_ = Solve(target, state_);
  z_ = direction_ * FrameZ(state_);
  return reversed;
}

bool Response::Open(Stretch& stretch) const {
  if (direction_ == 0) return false;
  stretch.first = start_;
  stretch.last = index_;
  stretch.work = Work(startState_, state_, direction_ * (u_ - uStart_) / p_.Uy);
  return true;
}

Response::State Response::Solve(double target, const State& previous) const {
  State s;
  s.negative = target < 0.0;
  s.h = target;
  const SideIntegrals& side = Side(s.negative);
  SidePoint guess;
  if (previous.negative == s.negative) {
    // Second order from the previous sample: dσ/dH = ±f, d²σ/dH² = f·f′,
    // with f = 1 − y·σⁿ (σ = |z| falls with H below zero).
    const double f = side.Slope(previous.point);
    const double df = side.SlopeDerivative(previous.point);
    const double dh = target - previous.h;
    double step = (s.negative ? -f : f) * dh;
    if (std::isfinite(df)) step += 0.5 * f * df * dh * dh;
    if (previous.point.gap < 0.5) {
      // Near saturation in v = −ln(gap), nearly linear in H there:
      // dv/dH = ±f/gap.
      guess = SidePoint::FromGap(previous.point.gap * std::exp(-(s.negative ? -f : f) * dh / previous.point.gap));
    } else {
      guess = SidePoint::FromSigma(std::clamp(previous.point.sigma + step, 0.0, 1.0));
    }
  } else {
    // Across z = 0: G_y(σ) = σ + O(σ^(n+1)).
    guess = SidePoint::FromSigma(std::min(std::fabs(target), 0.5));
  }
  s.point = Invert(side, std::fabs(target), guess);
  return s;
}

// σ with G_y(σ) = target ≥ 0. Newton's method keeps a bracket and halves it
// when a step leaves it. Below σ = ½ it works in σ; above, in v = −ln(1 − σ),
// where G grows like v/n near saturation and stays close to linear, and the
// gap rather than σ carries the result.
SidePoint Response::Invert(const SideIntegrals& side, double target, SidePoint guess) const {
  if (target == 0.0) return SidePoint{};
  SidePoint lo{};  // G(lo) ≤ target
  SidePoint hi = SidePoint::FromGap(side.Y() == 1.0 ? kSmallestGap : 0.0);
  if (side.G(hi) <= target) return hi;
  SidePoint x = guess;
  if (!(x.sigma > lo.sigma && x.gap > hi.gap)) x = SidePoint::FromSigma(0.5 * target < 0.5 ? 0.5 * target : 0.5);
  for (int iteration = 0; iteration < 200; ++iteration) {
    const double residual = side.G(x) - target;
    if (residual == 0.0) return x;
    (residual < 0.0 ? lo : hi) = x;
    const double f = side.Slope(x);  // dσ/dG
    SidePoint next;
    bool converged = false;
    if (x.sigma <= 0.5) {
      const double step = -residual * f;
      next = SidePoint::FromSigma(x.sigma + step);
      converged = std::fabs(step) <= 1e-10 * (1e-3 + x.sigma);
    } else {
      // dv/dG = f/gap.
      const double step = -residual * f / x.gap;
      next = SidePoint::FromGap(x.gap * std::exp(-step));
      converged = std::fabs(step) <= 1e-10;
    }
    const bool inside = next.sigma >= lo.sigma && next.gap >= hi.gap && next.gap <= lo.gap;
    // Newton converges quadratically: a step this small leaves an error of
    // the order of its square, far below a rounding of σ or of the gap.
    if (converged && inside) return next;
    if (!inside || !(next.gap > 0.0)) {
      // Halve the bracket: in σ, or in ln(gap) where the bracket reaches
      // towards saturation.
      next = hi.gap > 0.0 && hi.gap < 0.25 ? SidePoint::FromGap(std::sqrt(lo.gap * hi.gap))
                                           : SidePoint::FromSigma(0.5 * (lo.sigma + hi.sigma));
    }
    if (next.sigma == x.sigma && next.gap == x.gap) return x;
    if (hi.sigma - lo.sigma <= 0x1p-53 * hi.sigma && (hi.gap == 0.0 || lo.gap - hi.gap <= 0x1p-53 * hi.gap)) {
      return x;
    }
    x = next;
  }
  return x;
}

// ∫ z dx from one state to another of the same stretch, in its frame (where
// it equals ∫ z dx in the record's: both z and dx change sign). With
// J(z) = K_1(z) above zero and K_w(−z) below, it is J(to) − J(from). On one
// side near saturation, where K is large, K = G − D gives instead
//   ±(H(to) − H(from)) − (D(to) − D(from)),   H(to) − H(from) = dx.
double Response::Work(const State& from, const State& to, double dx) const {
  const bool nearPole = Side(to.negative).NearPole(to.point) || Side(from.negative).NearPole(from.point);
  double frameWork = 0.0;
  if (from.negative == to.negative && nearPole) {
    const SideIntegrals& side = Side(to.negative);
    frameWork = (to.negative ? -dx : dx) - (side.D(to.point) - side.D(from.point));
  } else {
    frameWork = J(to) - J(from);
  }
  return hysteretic_ * p_.Uy * frameWork;
}

double Response::J(const State& s) const {
  const SideIntegrals& side = Side(s.negative);
  if (side.NearPole(s.point)) return (s.negative ? -s.h : s.h) - side.D(s.point);
  return side.K(s.point);
}

History RespondAlong(std::span<const double> u, const Case& p, double z0) {
  CheckParameters(p, z0);
  CheckHistory(u, p);
  History history;
  history.z.reserve(u.size());
  history.F.reserve(u.size());
  Response response(p, z0, u[0]);
  history.z.push_back(response.Z());
  history.F.push_back(response.F());
  for (std::size_t k = 1; k < u.size(); ++k) {
    if (response.Next(u[k])) history.stretches.push_back(response.Closed());
    history.z.push_back(response.Z());
    history.F.push_back(response.F());
  }
  Stretch last;
  if (response.Open(last)) history.stretches.push_back(last);
  return history;
}

}  // namespace quorix::response
