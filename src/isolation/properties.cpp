// The loop's properties at D: Za and the energy from the accurate Solve, the
// crossing z(0) by inverting G_1 on the positive side.
#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

#include "accurate.h"
#include "branch_integrals.h"
#include "decimal.h"
#include "domain.h"
#include "refuse.h"
#include "isolation.h"
#include "lerch.h"

namespace quorix::isolation {

namespace {

using exact::SideIntegrals;
using exact::SidePoint;

// Above this Za the double has lost the digits of its gap 1 − Za that the
// loop's properties need.
constexpr double kNearSaturation = 0.999999;

// The point σ with v = −ln(1 − σⁿ)/n, σ and its gap both formed from
// ln(1 − e^(−n·v)) without cancellation.
SidePoint PointAtV(double v, double n) {
  if (v <= 0.0) return SidePoint::FromSigma(0.0);
  // ln σⁿ = ln(1 − e^(−n·v)): log1p of the small exponential past ln 2,
  // where 1 − e^(−n·v) itself would round away its digits.
  const double nv = n * v;
  const double logPower = nv > M_LN2 ? std::log1p(-std::exp(-nv)) : std::log(-std::expm1(-nv));
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
    if (!(next > lo && next < hi)) next = 0.5 * (lo + hi);
    // Converged when the step is a few ulps, or when it has stopped
    // shrinking quadratically while already far below the digits that
    // matter: it then only follows the rounding of f.
    const double change = std::abs(next - x);
    if (change <= 1e-15 * std::abs(x) || (change > 0.25 * previous && change <= 1e-11 * std::abs(x)) ||
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
SidePoint InvertPositiveSide(const SideIntegrals& one, double T) {
  const double n = one.N();
  if (!(T > 0.0)) return SidePoint::FromSigma(0.0);
  const double sigmaHalf = std::exp2(-1.0 / n);  // σⁿ = ½
  const SidePoint half{sigmaHalf, -std::expm1(-std::log(2.0) / n)};
  const double Ghalf = one.G(half);
  if (T <= Ghalf) {
    const double sigma = SafeNewton(
        [&](double s) {
          const SidePoint p = SidePoint::FromSigma(s);
          return std::pair{one.G(p) - T, 1.0 / one.Slope(p)};
        },
        0.0, sigmaHalf, std::min(T, sigmaHalf));
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
SidePoint PeakNearSaturation(const SideIntegrals& negative, const SideIntegrals& positive, double X) {
  const double n = positive.N();
  const double vHalf = std::log(2.0) / n;
  const double slopeMin = std::min(1.0, std::exp2(1.0 - 1.0 / n));
  const SidePoint half = PointAtV(vHalf, n);
  const double excessHalf = negative.G(half) + positive.G(half) - 2.0 * X;
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

// T = X − G_w(Za) = ½·(G_1(Za) − G_w(Za)), the distance left on the
// positive side. For small amplitudes X and G_w(Za) agree in all but their
// last digits (T ∝ Za^(n+1)), so there T comes from G_y − x = x·b·y·P·Φ_{b+1}(y·P)
// (P = Zaⁿ) as ½·Za·b·P·(Φ_{b+1}(P) − w·Φ_{b+1}(w·P)), which cancels only for
// w near 1; elsewhere from X.
double CrossingTarget(const Case& c, double w, double X, const SidePoint& peak, const SideIntegrals& negative) {
  const double P = std::pow(peak.sigma, c.n);
  if (P < 0.5) {
    const double b = 1.0 / c.n;
    const auto next = exact::Family(b + 1.0);
    const double sw = (1.0 - c.beta) + c.gamma;  // 1 − w
    const double phiW = w * P > 0.5 ? next->Phi(w * P, sw + w * (1.0 - P)) : next->Phi(w * P, 1.0 - w * P);
    return 0.5 * peak.sigma * b * P * (next->Phi(P, 1.0 - P) - w * phiW);
  }
  return X - negative.G(peak);
}

}  // namespace

Properties PropertiesAt(const Case& c, double D) {
  RequireDomain(c);
  if (c.A != 1.0) throw Refusal("the isolation quantities take the normalised case (A = 1): A = " + decimal::ShortestText(c.A));
  if (!(D > 0.0) || !std::isfinite(D)) Refuse("D must be positive and finite", D);
  BoucWenCase bw = RecordOf(c, D / c.Uy);
  bw.Complementary = true;  // the energy of the loop that goes on growing beyond saturation
  accurate::Solve(bw);
  Properties p;
  p.D = D;
  p.Za = bw.Za;
  p.Force = bw.Fa;
  p.Keff = bw.Fa / D;
  p.EDC = bw.DE;
  p.betaEff = p.EDC / (2.0 * M_PI * p.Keff * D * D);
  const double w = c.beta - c.gamma;
  if (c.gamma > 0.0) {
    const SideIntegrals negative(c.n, w, (1.0 - c.beta) + c.gamma);
    const SideIntegrals positive(c.n, 1.0, 0.0);
    const double X = bw.UmaxOverUy;
    SidePoint peak = SidePoint::FromSigma(bw.Za);
    if (bw.Za > kNearSaturation) {
      // Za rounded (or set to 1 by the saturation rule) has lost its gap: the
      // peak, the force and the energy from Za* itself. The loop's area
      // 2·(K_1 − K_w) with K = G − D and G_1 = 2X − G_w reads
      // 2·(2X − 2·G_w + D_w − D_1), whose terms do not cancel there.
      peak = PeakNearSaturation(negative, positive, X);
      p.Za = peak.sigma;
      p.Force = c.alpha * c.Fy * X + (1.0 - c.alpha) * c.Fy * peak.sigma;
      p.Keff = p.Force / D;
      const double area = 2.0 * (2.0 * X - 2.0 * negative.G(peak) + negative.D(peak) - positive.D(peak));
      p.EDC = (1.0 - c.alpha) * c.Fy * c.Uy * area;
      p.betaEff = p.EDC / (2.0 * M_PI * p.Keff * D * D);
    }
    p.z0 = InvertPositiveSide(positive, CrossingTarget(c, w, X, peak, negative)).sigma;
  }
  p.Qd = (1.0 - c.alpha) * c.Fy * p.z0;
  return p;
}

BilinearStatus BilinearStatusOf(const Properties& p) {
  if (!(p.Qd > 0.0)) return BilinearStatus::NoStrength;
  const double Dy = p.D - p.EDC / (4.0 * p.Qd);
  if (!(Dy > 0.0 && Dy < p.D)) return BilinearStatus::YieldNotInside;
  return BilinearStatus::Exists;
}

Bilinear EquivalentBilinear(const Properties& p) {
  Bilinear b;
  b.Qd = p.Qd;
  if (!(p.Qd > 0.0))
    throw Refusal("no equivalent bilinear loop at D = " + decimal::ShortestText(p.D) +
                  ": Qd must be positive: " + decimal::ShortestText(p.Qd));
  b.Kd = p.Keff - p.Qd / p.D;
  b.Dy = p.D - p.EDC / (4.0 * p.Qd);
  if (!(b.Dy > 0.0 && b.Dy < p.D))
    throw Refusal("no equivalent bilinear loop at D = " + decimal::ShortestText(p.D) + ": Dy must lie in (0, D): " +
                  decimal::ShortestText(b.Dy));
  b.Ku = (b.Qd + b.Kd * b.Dy) / b.Dy;
  return b;
}

Properties System(const Properties& p, double N) {
  Properties s = p;
  s.Keff *= N;
  s.Force *= N;
  s.EDC *= N;
  s.Qd *= N;
  return s;
}

Bilinear System(const Bilinear& b, double N) { return Bilinear{b.Qd * N, b.Kd * N, b.Dy, b.Ku * N}; }

Bilinear ParametersBilinear(const Case& c) {
  RequireDomain(c);
  return Bilinear{(1.0 - c.alpha) * c.Fy, c.alpha * c.Fy / c.Uy, c.Uy, c.Fy / c.Uy};
}

Properties BilinearPropertiesAt(const Bilinear& b, double D) {
  if (!(D > 0.0) || !std::isfinite(D)) Refuse("D must be positive and finite", D);
  Properties p;
  p.D = D;
  const double Dy = b.Dy;
  if (D <= Dy) {
    p.Keff = b.Ku;
    p.Force = b.Ku * D;
    p.Za = D / Dy;
    return p;
  }
  p.Force = b.Qd + b.Kd * D;
  p.Keff = p.Force / D;
  p.EDC = 4.0 * b.Qd * (D - Dy);
  p.betaEff = p.EDC / (2.0 * M_PI * p.Keff * D * D);
  p.Qd = b.Qd;  // the characteristic strength, the loop's parameter
  p.Za = 1.0;
  // The hysteretic share, in units of Qd, rises from −1 at slope 1/Dy on the
  // loading branch and stops at +1: at u = 0 it has risen by D/Dy.
  p.z0 = std::min(1.0, D / Dy - 1.0);
  return p;
}

}  // namespace quorix::isolation
