// The loop's properties at D: the peak Za, the area and the crossing z(0)
// by Halley's method on the branch integrals, below σⁿ = ½ as power series
// in σⁿ whose coefficients the case fixes once, above it in the Lerch sums'
// expansions about σⁿ = 1.
#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <numbers>
#include <string>

#include "branch_integrals.h"
#include "decimal.h"
#include "domain.h"
#include "halley.h"
#include "isolation.h"
#include "lerch.h"
#include "refuse.h"

namespace quorix::isolation {

namespace {

using exact::SideIntegrals;
using exact::SidePoint;

// The point σ of the region σⁿ > ½ at v = −ln(1 − σⁿ)/n, with P = σⁿ, its
// distance E = 1 − P = e^(−n·v) exact, and r = σ^(1−n) = σ/P, the slope
// dG_1/dv. σ and its gap both come from ln σⁿ = log1p(−E) without
// cancellation: 1 − σⁿ itself would round away the digits of a gap of 1e-30.
struct PointV {
  SidePoint point;
  double P = 0.0;
  double E = 1.0;
  double r = 0.0;
};

PointV AtV(double v, double n) {
  PointV q;
  q.E = std::exp(-n * v);
  q.P = 1.0 - q.E;
  const double logSigma = std::log1p(-q.E) / n;
  q.point = SidePoint{std::exp(logSigma), -std::expm1(logSigma)};
  q.r = q.point.sigma / q.P;
  return q;
}

// Past n·v = 700 the gap 1 − σ ≈ e^(−n·v)/n nears the smallest normal
// double (and e^(−n·v) itself underflows soon after, where G_1 would be
// infinite). A root beyond is σ = 1.0 in a double, and the search, which
// would only bisect towards the underflow, is not made: the point at
// n·v = 700 stands for it, σ = 1.0 with a gap that keeps the sums about
// σⁿ = 1 finite, off the root's D_y and G_w (w < 1) by about e^(−700).
constexpr double kDeepV = 700.0;

}  // namespace

// The case's constants: the two sides' integrals for σⁿ > ½, and below it
// the coefficients of the loop's quantities as power series in P = σⁿ. With
// G_y(σ) = σ·Σ (y·P)ᵏ/(k·n + 1) and K_y(σ) = σ²·Σ (y·P)ᵏ/(k·n + 2):
//   G_1 + G_w = σ·Σ (1 + wᵏ)·Pᵏ/(k·n + 1),
//   G_1 − G_w = σ·Σ (1 − wᵏ)·Pᵏ/(k·n + 1),
//   ∮ z dx = 2·(K_1 − K_w) = 2·σ²·Σ (1 − wᵏ)·Pᵏ/(k·n + 2),
// each difference with its factor 1 − wᵏ formed without cancellation by
// 1 − wᵏ = (1 − w) + w·(1 − wᵏ⁻¹) from 1 − w = 2γ exact.
struct Loop::Parts {
  Case c;
  double w;
  double oneMinusW;
  SideIntegrals negative;
  SideIntegrals positive;
  std::shared_ptr<const exact::LerchFamily> phi;  // Φ_b, b = 1/n: G_y(σ) = σ·b·Φ_b(y·σⁿ)
  SidePoint half;         // σⁿ = ½, where the two regions of the unknowns meet
  double GwHalf, G1Half;  // G_w and G_1 there
  std::array<double, kSeriesTerms> one{};   // 1/(k·n + 1): G_1
  std::array<double, kSeriesTerms> sum{};   // (1 + wᵏ)/(k·n + 1): G_1 + G_w
  std::array<double, kSeriesTerms> diff{};  // (1 − wᵏ)/(k·n + 1): G_1 − G_w
  std::array<double, kSeriesTerms> area{};  // (1 − wᵏ)/(k·n + 2): K_1 − K_w

  explicit Parts(const Case& k)
      : c(k),
        w(k.beta - k.gamma),
        oneMinusW((1.0 - k.beta) + k.gamma),
        negative(k.n, w, oneMinusW),
        positive(k.n, 1.0, 0.0),
        phi(exact::Family(1.0 / k.n)),
        half{std::exp2(-1.0 / k.n), -std::expm1(-std::numbers::ln2 / k.n)},
        GwHalf(negative.G(half)),
        G1Half(positive.G(half)) {
    double gap = 0.0;  // 1 − wᵏ
    for (int i = 0; i < kSeriesTerms; ++i) {
      const double kn = i * k.n;
      one[i] = 1.0 / (kn + 1.0);
      sum[i] = (2.0 - gap) * one[i];
      diff[i] = gap * one[i];
      area[i] = gap / (kn + 2.0);
      gap = oneMinusW + w * gap;
    }
  }

  // The peak below σⁿ = ½: G_1 + G_w = 2X, with slope 1/(1 − P) + 1/(1 − w·P)
  // (between ½ and 3; the root lies below X, where G ≥ σ) and its derivative.
  double PeakBelowHalf(double X) const {
    const double n = c.n;
    return SafeHalley(
        [&](double s) {
          const double P = std::pow(s, n);
          const double s1 = 1.0 - P, sw = 1.0 - w * P;
          return Derivatives{s * Series(sum.data(), SeriesTerms(P), P) - 2.0 * X, 1.0 / s1 + 1.0 / sw,
                             n * (P / s) * (1.0 / (s1 * s1) + w / (sw * sw))};
        },
        // G_1 + G_w ≈ 2σ + (1 + w)·σ^(n+1)/(n + 1) for small σ.
        0.0, half.sigma, X - (1.0 + w) * std::pow(X, n + 1.0) / (2.0 * (n + 1.0)));
  }

  // G_1 and G_w at a point of the region σⁿ > ½, from its P and E directly
  // (SideIntegrals::G would form them again from the gap), with 1 − w·P of
  // two terms of one sign.
  double Sw(const PointV& q) const { return w >= 0.0 ? oneMinusW + w * q.E : 1.0 - w * q.P; }
  double G1(const PointV& q) const { return q.point.sigma / c.n * phi->Phi(q.P, q.E); }
  double Gw(const PointV& q, double sw) const { return q.point.sigma / c.n * phi->Phi(w * q.P, sw); }

  // The peak above σⁿ = ½, with its gap, in v = −ln(1 − σⁿ)/n: G_1 grows
  // there like v at slope r = σ^(1−n), G_w at r·E/(1 − w·P), and a step in σ
  // would have to resolve gaps of 1e-30. Its curvature from
  // dr/dv = (1 − n)·r·E/P and d(E/(1 − w·P))/dv = −n·E·(1 − w)/(1 − w·P)².
  SidePoint PeakAboveHalf(double X) const {
    const double n = c.n;
    const double vHalf = std::numbers::ln2 / n;
    const double slopeMin = std::min(1.0, std::exp2(1.0 - 1.0 / n));
    const double excessHalf = GwHalf + G1Half - 2.0 * X;  // < 0 here
    double vHi = vHalf - 1.01 * excessHalf / slopeMin + 1e-3;
    if (vHi > kDeepV / n) {
      const PointV top = AtV(kDeepV / n, n);
      if (Gw(top, Sw(top)) + G1(top) < 2.0 * X) return top.point;
      vHi = kDeepV / n;
    }
    const double v = SafeHalley(
        [&](double v) {
          const PointV q = AtV(v, n);
          const double sw = Sw(q);
          const double ratio = q.E / sw;
          return Derivatives{Gw(q, sw) + G1(q) - 2.0 * X, q.r * (1.0 + ratio),
                             (1.0 - n) * q.r * (q.E / q.P) * (1.0 + ratio) - q.r * n * ratio * oneMinusW / sw};
        },
        vHalf, vHi, vHalf - 0.999 * excessHalf);
    return AtV(v, n).point;
  }

  // z(0) from G_1(z(0)) = T ≥ 0. Below σⁿ = ½ in σ (dG/dσ = 1/(1 − σⁿ) in
  // [1, 2], G ≥ σ puts the root below T); above in v, where dG/dv = r lies
  // between 2^(1 − 1/n) and 2 … 1 and G grows like v.
  double Crossing(double T) const {
    const double n = c.n;
    if (!(T > 0.0)) return 0.0;
    if (T <= G1Half) {
      return SafeHalley(
          [&](double s) {
            const double q = std::pow(s, n);
            const double s1 = 1.0 - q;
            return Derivatives{s * Series(one.data(), SeriesTerms(q), q) - T, 1.0 / s1, n * (q / s) / (s1 * s1)};
          },
          0.0, half.sigma, T - std::pow(T, n + 1.0) / (n + 1.0));  // G ≈ σ + σ^(n+1)/(n+1)
    }
    const double vHalf = std::numbers::ln2 / n;
    const double slopeMin = std::min(1.0, std::exp2(1.0 - 1.0 / n));
    // Beyond the root by a margin, so that the steps onto the root of a G
    // linear in v (n = 1) stay strictly inside the bracket.
    double vHi = vHalf + 1.01 * (T - G1Half) / slopeMin + 1e-3;
    if (vHi > kDeepV / n) {
      if (G1(AtV(kDeepV / n, n)) < T) return 1.0;
      vHi = kDeepV / n;
    }
    const double v = SafeHalley(
        [&](double v) {
          const PointV q = AtV(v, n);
          return Derivatives{G1(q) - T, q.r, (1.0 - n) * q.r * (q.E / q.P)};
        },
        vHalf, vHi, vHalf + (T - G1Half));
    return AtV(v, n).point.sigma;
  }
};

Loop::Loop(const Case& c) {
  RequireDomain(c);
  if (c.A != 1.0) throw Refusal("the isolation quantities take the normalised case (A = 1): A = " + decimal::ShortestText(c.A));
  parts_ = std::make_unique<const Parts>(c);
}

Loop::~Loop() = default;
Loop::Loop(Loop&&) noexcept = default;

// The peak Za, the loop's area ∮ z dx and T = X − G_w(Za) = ½·(G_1 − G_w)(Za)
// in two regions. Below Zaⁿ = ½ from the series of the case's constants,
// free of the cancellation of two K ∝ Za² to a difference ∝ Za^(n+2) and of
// X against G_w(Za). Above, Za in v with its gap, the area
// 2·(2X − 2·G_w + D_w − D_1) and T = X − G_w, whose terms do not cancel there.
Properties Loop::At(double D) const {
  const Parts& k = *parts_;
  const Case& c = k.c;
  if (!(D > 0.0) || !std::isfinite(D)) Refuse("D must be positive and finite", D);
  const double X = D / c.Uy;
  double Za = 0.0, area = 0.0, T = 0.0;
  if (k.GwHalf + k.G1Half >= 2.0 * X) {
    Za = k.PeakBelowHalf(X);
    const double P = std::pow(Za, c.n);
    const int terms = SeriesTerms(P);
    area = 2.0 * Za * Za * P * Series(k.area.data() + 1, terms - 1, P);
    T = 0.5 * Za * P * Series(k.diff.data() + 1, terms - 1, P);
  } else {
    const SidePoint peak = k.PeakAboveHalf(X);
    const double Gw = k.negative.G(peak);
    Za = peak.sigma;
    // γ = 0 (w = 1): both branches alike, no area, and terms of the pole
    // at σ = 1 on both sides that would only leave their rounding.
    area = c.gamma > 0.0 ? 2.0 * (2.0 * X - 2.0 * Gw + k.negative.D(peak) - k.positive.D(peak)) : 0.0;
    T = X - Gw;
  }
  Properties p;
  p.D = D;
  p.Za = Za;
  p.Force = c.alpha * c.Fy * X + (1.0 - c.alpha) * c.Fy * Za;
  p.Keff = p.Force / D;
  p.EDC = (1.0 - c.alpha) * c.Fy * c.Uy * area;
  p.betaEff = p.EDC / (2.0 * std::numbers::pi * p.Keff * D * D);
  if (c.gamma > 0.0) p.z0 = k.Crossing(T);
  p.Qd = (1.0 - c.alpha) * c.Fy * p.z0;
  if (!std::isfinite(p.Keff) || !std::isfinite(p.EDC) || !std::isfinite(p.Qd)) {
    Refuse("no finite properties for this case at D", D);
  }
  return p;
}

Properties PropertiesAt(const Case& c, double D) { return Loop(c).At(D); }

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
  p.betaEff = p.EDC / (2.0 * std::numbers::pi * p.Keff * D * D);
  p.Qd = b.Qd;  // the characteristic strength, the loop's parameter
  p.Za = 1.0;
  // The hysteretic share, in units of Qd, rises from −1 at slope 1/Dy on the
  // loading branch and stops at +1: at u = 0 it has risen by D/Dy.
  p.z0 = std::min(1.0, D / Dy - 1.0);
  return p;
}

}  // namespace quorix::isolation
