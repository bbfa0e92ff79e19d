// The properties at D as the isolation room computed them before its
// series and Halley solves: kept beside the bench so that one run times the
// previous and the present way on the same pairs (bench_isolation.cpp).
#include "isolation_before.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <utility>

#include "branch_integrals.h"
#include "decimal.h"
#include "domain.h"
#include "lerch.h"
#include "refuse.h"

namespace quorix::isolation_before {

namespace {

using exact::SideIntegrals;
using exact::SidePoint;


// The point σ with v = −ln(1 − σⁿ)/n, σ and its gap both formed from
// ln(1 − e^(−n·v)) without cancellation.
SidePoint PointAtV(double v, double n) {
  if (v <= 0.0) return SidePoint::FromSigma(0.0);
  // ln σⁿ = ln(1 − e^(−n·v)): log1p of the small exponential past ln 2,
  // where 1 − e^(−n·v) itself would round away its digits.
  const double nv = n * v;
  const double logPower = nv > std::numbers::ln2 ? std::log1p(-std::exp(-nv)) : std::log(-std::expm1(-nv));
  return SidePoint{std::exp(logPower / n), -std::expm1(logPower / n)};
}

// Newton's method on an increasing f kept inside the bracket [lo, hi]
// (f(lo) ≤ 0 ≤ f(hi)), bisecting when a step leaves it.
template <class F>
double SafeNewton(const F& f, double lo, double hi, double x) {
  if (!(x > lo && x < hi)) x = 0.5 * (lo + hi);
  double previous = INFINITY;
  for (int step = 0; step < 100; ++step) {
    const auto [value, slope] = f(x);
    if (value == 0.0) return x;
    (value < 0.0 ? lo : hi) = x;
    double next = x - value / slope;
    if (next == x) return x;  // a step below the ulp: converged (not a cue to bisect)
    if (!(next > lo && next < hi)) next = 0.5 * (lo + hi);
    // Converged, or no longer shrinking quadratically (following the
    // rounding of f) while already far below the digits that matter.
    // After a step of δ Newton's error is about (f''/2f')·δ²: a step of
    // 1e-12 leaves nothing a double holds, even where f''/f' is large
    // (n < 1, σ near 0).
    const double change = std::abs(next - x);
    if (change <= 1e-12 * std::abs(x) || (change > 0.25 * previous && change <= 1e-10 * std::abs(x)) ||
        next == lo || next == hi) {
      return next;
    }
    previous = change;
    x = next;
  }
  return x;
}

// σ in [0, 1) with G_1(σ) = T ≥ 0, in two regions where the unknown is well
// conditioned. Below σⁿ = ½, in σ itself: dG/dσ = 1/(1 − σⁿ) lies in [1, 2]
// and G ≥ σ puts the root below T. Above, in v = −ln(1 − σⁿ)/n, where
// dG/dv = σ^(1−n) = σ/σⁿ lies between 2^(1 − 1/n) and 2 … 1 and G grows like
// v (a step in σ there would have to resolve gaps of 1e-30).
SidePoint InvertPositiveSide(const SideIntegrals& one, double T, double Ghalf) {
  const double n = one.N();
  if (!(T > 0.0)) return SidePoint::FromSigma(0.0);
  const double sigmaHalf = std::exp2(-1.0 / n);  // σⁿ = ½, where G_1 = Ghalf
  if (T <= Ghalf) {
    const double sigma = SafeNewton(
        [&](double s) {
          const SidePoint p = SidePoint::FromSigma(s);
          return std::pair{one.G(p) - T, 1.0 / one.Slope(p)};
        },
        0.0, sigmaHalf, T - std::pow(T, n + 1.0) / (n + 1.0));  // G ≈ σ + σ^(n+1)/(n+1)
    return SidePoint::FromSigma(sigma);
  }
  const double vHalf = std::log(2.0) / n;
  const double slopeMin = std::min(1.0, std::exp2(1.0 - 1.0 / n));
  // Beyond the root by a margin, so that Newton's steps onto the root of a
  // G linear in v (n = 1) stay strictly inside the bracket.
  const double vHi = vHalf + 1.01 * (T - Ghalf) / slopeMin + 1e-3;
  const double v = SafeNewton(
      [&](double v) {
        const SidePoint p = PointAtV(v, n);
        return std::pair{one.G(p) - T, std::pow(p.sigma, 1.0 - n)};
      },
      vHalf, vHi, vHalf + (T - Ghalf));
  return PointAtV(v, n);
}

// The peak Za* itself, with its gap, where it lies so close to 1 that the
// double Za has lost the gap (or stands at 1 under the saturation rule):
// G_w(Za*) + G_1(Za*) = 2X solved in v as above, with
// dG_w/dv = (1 − σⁿ)/((1 − w·σⁿ)·σ^(n−1)).
SidePoint PeakNearSaturation(const SideIntegrals& negative, const SideIntegrals& positive, double X,
                             double sumHalf) {
  const double n = positive.N();
  const double vHalf = std::log(2.0) / n;
  const double slopeMin = std::min(1.0, std::exp2(1.0 - 1.0 / n));
  const double excessHalf = sumHalf - 2.0 * X;  // G_w + G_1 − 2X at σⁿ = ½
  if (excessHalf >= 0.0) return SidePoint::FromSigma(0.0);  // not near saturation: the caller keeps Za
  const double vHi = vHalf - 1.01 * excessHalf / slopeMin + 1e-3;
  const double v = SafeNewton(
      [&](double v) {
        const SidePoint p = PointAtV(v, n);
        const double slope1 = std::pow(p.sigma, 1.0 - n);
        const double slopeW = positive.Slope(p) / negative.Slope(p) * slope1;
        return std::pair{negative.G(p) + positive.G(p) - 2.0 * X, slope1 + slopeW};
      },
      vHalf, vHi, vHalf - 0.999 * excessHalf);
  return PointAtV(v, n);
}

}  // namespace

struct PreviousLoop::Parts {
  Case c;
  double w;
  double oneMinusW;
  SideIntegrals negative;
  SideIntegrals positive;
  std::shared_ptr<const exact::LerchFamily> next;    // Φ_{b+1}
  std::shared_ptr<const exact::LerchFamily> next2;   // Φ_{2b+1}
  SidePoint half;         // σⁿ = ½, where the two regions of the unknowns meet
  double GwHalf, G1Half;  // G_w and G_1 there

  explicit Parts(const Case& k)
      : c(k),
        w(k.beta - k.gamma),
        oneMinusW((1.0 - k.beta) + k.gamma),
        negative(k.n, w, oneMinusW),
        positive(k.n, 1.0, 0.0),
        next(exact::Family(1.0 / k.n + 1.0)),
        next2(exact::Family(2.0 / k.n + 1.0)),
        half{std::exp2(-1.0 / k.n), -std::expm1(-std::numbers::ln2 / k.n)},
        GwHalf(negative.G(half)),
        G1Half(positive.G(half)) {}

  // t·Φ_B(t) at t = y·P for the side y, its distance 1 − t without cancellation.
  double ScaledPhi(const exact::LerchFamily& f, double y, double P) const {
    const double t = y * P;
    if (t == 0.0) return 0.0;
    const double s = t > 0.5 ? (y == 1.0 ? 1.0 - P : oneMinusW + w * (1.0 - P)) : 1.0 - t;
    return t * f.Phi(t, s);
  }
};

PreviousLoop::PreviousLoop(const Case& c) {
  RequireDomain(c);
  if (c.A != 1.0) throw Refusal("the isolation quantities take the normalised case (A = 1): A = " + decimal::ShortestText(c.A));
  parts_ = std::make_unique<const Parts>(c);
}

PreviousLoop::~PreviousLoop() = default;
PreviousLoop::PreviousLoop(PreviousLoop&&) noexcept = default;

// The peak Za and the loop's area ∮ z dx in two regions. Below Zaⁿ = ½, Za
// by Newton's method on G_w + G_1 = 2X in σ (slope 1/(1 − w·σⁿ) + 1/(1 − σⁿ),
// between ½ and 3; the root lies below X, where amp(σ) ≥ σ) and the area
// 2·(K_1 − K_w) = 2·Za²·b·P·(Φ_{2b+1}(P) − w·Φ_{2b+1}(w·P)) from
// Φ_B(t) = 1/B + t·Φ_{B+1}(t), free of the cancellation of two K ∝ Za² to a
// difference ∝ Za^(n+2). Above, Za in v with its gap, and the area
// 2·(2X − 2·G_w + D_w − D_1), whose terms do not cancel there.
isolation::Properties PreviousLoop::At(double D) const {
  const Parts& k = *parts_;
  const Case& c = k.c;
  if (!(D > 0.0) || !std::isfinite(D)) Refuse("D must be positive and finite", D);
  const double X = D / c.Uy;
  const double n = c.n;
  const double b = 1.0 / n;
  const double sigmaHalf = k.half.sigma;
  SidePoint peak;
  double area = 0.0;
  if (k.GwHalf + k.G1Half >= 2.0 * X) {
    const double sigma = SafeNewton(
        [&](double s) {
          const SidePoint p = SidePoint::FromSigma(s);
          return std::pair{k.negative.G(p) + k.positive.G(p) - 2.0 * X, 1.0 / k.negative.Slope(p) + 1.0 / k.positive.Slope(p)};
        },
        // amp(σ) ≈ σ + (1 + w)·σ^(n+1)/(2(n + 1)) for small σ.
        0.0, sigmaHalf, X - (1.0 + k.w) * std::pow(X, n + 1.0) / (2.0 * (n + 1.0)));
    peak = SidePoint::FromSigma(sigma);
    const double P = std::pow(sigma, n);
    area = 2.0 * sigma * sigma * b * (k.ScaledPhi(*k.next2, 1.0, P) - k.ScaledPhi(*k.next2, k.w, P));
  } else {
    peak = PeakNearSaturation(k.negative, k.positive, X, k.GwHalf + k.G1Half);
    area = 2.0 * (2.0 * X - 2.0 * k.negative.G(peak) + k.negative.D(peak) - k.positive.D(peak));
  }
  isolation::Properties p;
  p.D = D;
  p.Za = peak.sigma;
  p.Force = c.alpha * c.Fy * X + (1.0 - c.alpha) * c.Fy * peak.sigma;
  p.Keff = p.Force / D;
  p.EDC = (1.0 - c.alpha) * c.Fy * c.Uy * area;
  p.betaEff = p.EDC / (2.0 * std::numbers::pi * p.Keff * D * D);
  if (c.gamma > 0.0) {
    const double P = std::pow(peak.sigma, n);
    // T = X − G_w(Za) = ½·(G_1(Za) − G_w(Za)); for small amplitudes, where X
    // and G_w(Za) agree in all but their last digits, from G_y − x = x·b·y·P·Φ_{b+1}(y·P).
    const double T = P < 0.5 ? 0.5 * peak.sigma * b * (k.ScaledPhi(*k.next, 1.0, P) - k.ScaledPhi(*k.next, k.w, P))
                             : X - k.negative.G(peak);
    p.z0 = InvertPositiveSide(k.positive, T, k.G1Half).sigma;
  }
  p.Qd = (1.0 - c.alpha) * c.Fy * p.z0;
  if (!std::isfinite(p.Keff) || !std::isfinite(p.EDC) || !std::isfinite(p.Qd)) {
    Refuse("no finite properties for this case at D", D);
  }
  return p;
}

}  // namespace quorix::isolation_before
