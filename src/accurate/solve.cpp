// The accurate Solve: the root Za by a safeguarded Newton iteration, then the
// forces, the loop integrals and the energy, every one of them in a form
// whose parts do not cancel.
//
// Notation: w = β − γ, b = 1/n, P = xⁿ, and
//   G_y(x) = ∫₀ˣ dz/(1 − y·zⁿ)   = x·b·Φ_b(y·P),
//   H_y(x) = ∫₀ˣ z dz/(1 − y·zⁿ) = x²·b·Φ_2b(y·P)
// (Φ of lerch.h), so amp(x) = ½(G_w + G_1), Kcd* = G_w + H_w, Kda* = G_1 − H_1,
// and the energy's integral D(x) = H_1 − H_w.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "accurate.h"
#include "decimal.h"
#include "double_double.h"
#include "energy_solver.h"
#include "lerch.h"
#include "refuse.h"
#include "step_counter.h"

namespace quorix::accurate {

namespace {

using exact::DoubleDouble;
using exact::Family;
using exact::LerchFamily;
using exact::LerchParts;

// One trial peak x with its two hypergeometric arguments and their distances
// from 1, each formed without cancellation.
struct Point {
  double x = 0.0;
  double p = 0.0;   // xⁿ
  double sp = 1.0;  // 1 − xⁿ
  double tw = 0.0;  // w·xⁿ
  double sw = 1.0;  // 1 − w·xⁿ
};

// The root Za* of amp = U: Za, the double nearest it, and the point the
// other results are taken at (Za itself or a double within 2⁻²⁰ of it),
// with ε = Za* − at.x.
struct Root {
  double za = 0.0;
  Point at;
  double eps = 0.0;
};

class Model {
 public:
  Model(double n, DoubleDouble w)
      : n_(n),
        b1_(1.0 / n),
        b2_(2.0 / n),
        w_(w.hi),
        oneMinusW_((1.0 - w.hi) - w.lo),
        f1_(Family(b1_)),
        f1Next_(Family(b1_ + 1.0)),
        f2_(Family(b2_)),
        f2Next_(Family(b2_ + 1.0)) {}

  Point At(double x) const {
    Point p;
    p.x = x;
    if (x == 0.0) return p;
    p.p = std::pow(x, n_);
    // Near x = 1 the distance 1 − xⁿ comes from ln x (exact enough for a
    // double x near 1), never from the rounded xⁿ, which has lost it.
    p.sp = p.p > 0.5 ? -std::expm1(n_ * std::log(x)) : 1.0 - p.p;
    p.tw = w_ * p.p;
    // 1 − w·xⁿ = (1 − w) + w·(1 − xⁿ): two terms of one sign when w > 0.
    p.sw = p.tw > 0.5 ? oneMinusW_ + w_ * p.sp : 1.0 - p.tw;
    return p;
  }

  // amp(x) − x = ½·x·b·(P·Φ_{b+1}(P) + w·P·Φ_{b+1}(w·P)), from G_y − x = x·(F − 1)
  // and F − 1 = b·t·Φ_{b+1}(t): small where amp is close to x, and free of
  // the cancellation that amp(x) − x would suffer.
  double AmplitudeExcess(const Point& p) const { return p.x == 0.0 ? 0.0 : ExcessWith(p, PhiOfPower(p)); }

  // The same with Φ_{b+1}(P) given, the half that does not depend on w.
  double PhiOfPower(const Point& p) const { return f1Next_->Phi(p.p, p.sp); }
  double ExcessWith(const Point& p, double phiOfPower) const {
    const double sum = p.p * phiOfPower + p.tw * f1Next_->Phi(p.tw, p.sw);
    return 0.5 * p.x * b1_ * sum;
  }

  double Amplitude(const Point& p) const { return p.x + AmplitudeExcess(p); }

  // amp(x) − U, accurate to a few ulps of U however close x is to the root:
  // x − U is taken exactly (two doubles), so only the excess's own error is left.
  double Residual(const Point& p, double u) const {
    const exact::Sum2 difference = exact::TwoSum(p.x, -u);
    return difference.sum + (AmplitudeExcess(p) + difference.error);
  }

  // d amp/dx = ½·(1/(1 − w·xⁿ) + 1/(1 − xⁿ)).
  static double Slope(const Point& p) { return 0.5 * (1.0 / p.sw + 1.0 / p.sp); }

  // d² amp/dx² = ½·n·x^(n−1)·(w/(1 − w·xⁿ)² + 1/(1 − xⁿ)²), for x > 0.
  double Curvature(const Point& p) const { return 0.5 * n_ * (p.p / p.x) * (w_ / (p.sw * p.sw) + 1.0 / (p.sp * p.sp)); }

  // D′(x) = x·(1/(1 − xⁿ) − 1/(1 − w·xⁿ)) = (1 − w)·x·xⁿ/((1 − xⁿ)(1 − w·xⁿ)),
  // and D″ = (1 − w)·xⁿ/((1 − xⁿ)(1 − w·xⁿ))·(1 + n + n·xⁿ·(1/(1 − xⁿ) + w/(1 − w·xⁿ))).
  double EnergySlope(const Point& p) const { return oneMinusW_ * p.x * p.p / (p.sp * p.sw); }
  double EnergyCurvature(const Point& p) const {
    return oneMinusW_ * p.p / (p.sp * p.sw) * (1.0 + n_ + n_ * p.p * (1.0 / p.sp + w_ / p.sw));
  }
  double N() const { return n_; }
  double W() const { return w_; }

  double Correction(const Point& p, double f) const;
  double Step(const Point& p, double f) const;
  double Start(double u, const Point& top, double fTop) const;
  Root RootOf(double u, const Point& top, double fTop) const;
  Root Finish(double x, const Point& p, double eps, double lo, double hi, double u) const;

  // Kcd* = G_w + H_w = x·b·(Φ_b(w·P) + x·Φ_2b(w·P)): positive terms.
  double ComplementaryKcd(const Point& p) const {
    return p.x * b1_ * (f1_->Phi(p.tw, p.sw) + p.x * f2_->Phi(p.tw, p.sw));
  }

  // Kda* = G_1 − H_1 = x·b·(Φ_b(P) − x·Φ_2b(P)). Near x = 1 both terms grow
  // like −ln(1 − P) while their difference stays finite; their logarithmic
  // parts, x·P^(−b)·ln s and x²·P^(−2b)·ln s, are both exactly ln s
  // (P^b = x), so they are dropped and only the remainders are subtracted.
  double ComplementaryKda(const Point& p) const {
    const LerchParts one = f1_->Parts(p.p, p.sp, true);
    const LerchParts two = f2_->Parts(p.p, p.sp, true);
    if (one.split && two.split) return p.x * b1_ * (one.remainder - p.x * two.remainder);
    return p.x * b1_ * (one.value - p.x * two.value);
  }

  // F(1, 2b; 1 + 2b; t) = 2b·Φ_2b(t), so that H_y(x) = ½·x²·F(1, 2b; 1 + 2b; y·P).
  double SecondF(double t, double s) const { return b2_ * f2_->Phi(t, s); }

  // (F2(P) − F2(w·P))/(2b) with F2 = F(1, 2b; 1 + 2b; ·) — the energy's
  // integral D(x) = H_1 − H_w = x²·b·P·bracket — formed without subtracting
  // the two hypergeometric values: F2 − 1 = 2b·t·Φ_{2b+1}(t) gives
  //   P·(Φ_{2b+1}(P) − w·Φ_{2b+1}(w·P)),
  // a sum of positive terms for w ≤ 0. For 0 < w < 1 the series
  //   Σ_k Pᵏ·(1 − w^(k+1))/(k + 2b + 1)
  // has positive terms too; it serves while P ≤ 0.9, and above that
  // Φ_{2b+1}(P) grows like −ln(1 − P) and the difference no longer cancels
  // badly unless w is close to 1.
  double EnergyBracket(const Point& p) const {
    if (p.x == 0.0) return 0.0;
    if (w_ > 0.0 && p.p <= 0.9) {
      // Horner's scheme from the last term that matters (Pᵏ < 2⁻⁵⁶·(1 − P)),
      // with q_k = 1 − w^(k+1) from q ← (1 − w) + w·q.
      const double bb = f2Next_->B();
      const int terms = static_cast<int>(std::ceil(std::log(0x1p-56 * (1.0 - p.p)) / std::log(p.p))) + 1;
      thread_local std::vector<double> q;
      q.resize(static_cast<std::size_t>(terms) + 1);
      q[0] = oneMinusW_;
      for (int k = 1; k <= terms; ++k) {
        steps::Count();
        q[k] = oneMinusW_ + w_ * q[k - 1];
      }
      double sum = 0.0;
      for (int k = terms; k >= 0; --k) sum = q[k] / (k + bb) + p.p * sum;
      return p.p * sum;
    }
    return p.p * (f2Next_->Phi(p.p, p.sp) - w_ * f2Next_->Phi(p.tw, p.sw));
  }

  double B2() const { return b2_; }

 private:
  double n_;
  double b1_;
  double b2_;
  double w_;
  double oneMinusW_;
  // Φ for B = b, b + 1, 2b, 2b + 1.
  std::shared_ptr<const LerchFamily> f1_;
  std::shared_ptr<const LerchFamily> f1Next_;
  std::shared_ptr<const LerchFamily> f2_;
  std::shared_ptr<const LerchFamily> f2Next_;
};

// The step ε from x towards the root of amp = U: the root of the Taylor
// polynomial f + f′·ε + ½·f″·ε², to second order in f. Near the root what it
// leaves out is of relative order (ε/(1 − x))² and (ε/x)².
double Model::Correction(const Point& p, double f) const {
  const double slope = Slope(p);
  const double first = -f / slope;
  return first - 0.5 * (Curvature(p) / slope) * first * first;
}

// Halley's step for amp as a function of v = −ln(1 − x), where amp is close
// to linear at both ends (it grows like v/(2n) or v/n near x = 1): with
// dx/dv = 1 − x, amp_v = amp′·(1 − x) and amp_vv = amp″·(1 − x)² − amp′·(1 − x).
// Where the cubic's correction would more than double the step, Newton's.
double Model::Step(const Point& p, double f) const {
  const double e = 1.0 - p.x;
  const double d1 = Slope(p) * e;
  const double d2 = Curvature(p) * e * e - d1;
  const double newton = -f / d1;
  const double denominator = 1.0 + 0.5 * newton * d2 / d1;
  const double dv = denominator > 0.5 ? newton / denominator : newton;
  return p.x - e * std::expm1(-dv);
}

// The first iterate. For uⁿ·max(1, |w|) ≤ 1/4, the series inverted:
// amp(x) = x + a·x^(n+1) + c·x^(2n+1) + … with a = (1 + w)/(2(n + 1)),
// c = (1 + w²)/(2(2n + 1)) (Φ_{b+1}(t) = 1/(1 + b) + t/(2 + b) + …) gives
//   x = u·(1 − a·uⁿ + ((n + 1)·a² − c)·u²ⁿ + …).
// Otherwise the tangent in v at the top end, exact in the limit x → 1, or u
// itself when that lies lower (amp(x) ≥ x for |w| ≤ 1).
double Model::Start(double u, const Point& top, double fTop) const {
  const double un = std::pow(u, n_);
  if (un * std::max(1.0, std::fabs(w_)) <= 0.25) {
    const double a = (1.0 + w_) / (2.0 * (n_ + 1.0));
    const double c = (1.0 + w_ * w_) / (2.0 * (2.0 * n_ + 1.0));
    return u * (1.0 + un * (-a + un * ((n_ + 1.0) * a * a - c)));
  }
  const double slopeTop = Slope(top) * (1.0 - top.x);
  const double v0 = -std::log1p(-top.x) - fTop / slopeTop;
  const double x = v0 > 0.0 ? -std::expm1(-v0) : u;
  return std::min(x, u);
}

// An end of the search's bracket with its residual, when that is known.
struct End {
  double x = 0.0;
  Point p;
  double f = 0.0;
  bool known = false;
};

// Za = x + ε rounded. While ε is below 2⁻²⁰ of x and of 1 − x, the
// quadratic step leaves out less than 2⁻⁶⁰ of them, and the results are
// carried from x itself to the root x + ε (their Taylor polynomials leave
// out as little); a larger ε is taken afresh at Za, less than half an ulp
// from the root.
Root Model::Finish(double x, const Point& p, double eps, double lo, double hi, double u) const {
  // A step that is not a number (amp″ beyond the doubles, at the domain's
  // extremes) is no point to evaluate: x stays, and the results carried by
  // that step come out not finite, which Solve refuses.
  if (std::isnan(eps)) return {x, p, eps};
  const double za = std::clamp(x + eps, lo, hi);
  if (za == x || std::fabs(eps) <= 0x1p-20 * std::min(x, 1.0 - x)) return {za, p, eps};
  const Point at = At(za);
  return {za, at, Correction(at, Residual(at, u))};
}

// amp(x) = U on [0, top.x] with amp(top.x) = ampTop ≥ U, U > 0, and
// residual fTop there. Halley's iteration in v keeps a bracket; a step that
// leaves it is replaced by the quadratic step from the end it passed (whose
// residual is known), and failing that by halving the bracket (in v near 1,
// in x below ½). It stops once the quadratic step ε to the root is below
// 2⁻²⁰ of x and of 1 − x (two evaluations from a start within about 1%),
// or when the bracket holds adjacent doubles.
Root Model::RootOf(double u, const Point& top, double fTop) const {
  End lo, hi{top.x, top, fTop, true};
  double x = Start(u, top, fTop);
  if (!(x > lo.x && x < hi.x)) x = 0.5 * (lo.x + hi.x);
  for (int iteration = 0;; ++iteration) {
    steps::Count();
    const Point p = At(x);
    const double f = Residual(p, u);
    if (f == 0.0) return {x, p, Correction(p, f)};  // 0, or NaN where amp″ overflows
    (f < 0.0 ? lo : hi) = End{x, p, f, true};
    const double eps = Correction(p, f);
    if (std::fabs(eps) <= 0x1p-20 * std::min(x, 1.0 - x) || iteration == 200) {
      return Finish(x, p, eps, lo.x, hi.x, u);
    }
    double next = Step(p, f);
    if (!(next > lo.x && next < hi.x)) {
      // Past an end: the root is likely close to it.
      const End& end = next >= hi.x ? hi : lo;
      if (end.known) {
        const double endEps = Correction(end.p, end.f);
        next = end.x + endEps;
        if (next == end.x) return {end.x, end.p, endEps};
      }
    }
    if (!(next > lo.x && next < hi.x)) {
      next = hi.x <= 0.5 ? 0.5 * (lo.x + hi.x) : 1.0 - std::sqrt((1.0 - lo.x) * (1.0 - hi.x));
    }
    if (!(next > lo.x && next < hi.x)) return Finish(x, p, eps, lo.x, hi.x, u);
    x = next;
  }
}

// β and γ are finite here, yet their difference may lie beyond the doubles
// (β = -1.7e308, γ = 4.8e307). Above them it exceeds 1: outside the domain.
// Below them it is inside, but no double carries it. Either way the
// double-double difference would hold a NaN, so the rounded one decides.
DoubleDouble ValidatedW(double beta, double gamma) {
  const double rounded = beta - gamma;
  if (rounded == std::numeric_limits<double>::infinity()) Refuse("beta - gamma must not exceed 1", rounded);
  if (!std::isfinite(rounded)) {
    Refuse("no accurate result for these inputs: beta - gamma lies below the range of the doubles", rounded);
  }
  const DoubleDouble w = DoubleDouble::Difference(beta, gamma);
  if (w.hi > 1.0 || (w.hi == 1.0 && w.lo > 0.0)) Refuse("beta - gamma must not exceed 1", w.Value());
  return w;
}

void ValidateExponent(double n) {
  RequireFinite("n", n);
  if (!(n > 0.0)) Refuse("n must be positive", n);
}

// The model's parameters 1/n and 2/n must be numbers: below about 1.1e-308
// 2/n overflows, and the series of the families would meet an infinite
// parameter.
void RequireReachableExponent(double n) {
  if (!std::isfinite(2.0 / n)) Refuse("no accurate result for these inputs: n is too small", n);
}

// The record's seven inputs, each inside the model's domain (Refusal
// otherwise); returns w = β − γ.
DoubleDouble ValidatedInputs(const BoucWenCase& bw) {
  ValidateExponent(bw.Nee);
  RequireFinite("beta", bw.BetaSmall);
  RequireFinite("gamma", bw.GammaSmall);
  RequireFinite("alpha", bw.AlphaSmall);
  RequireFinite("Fy", bw.Fy);
  RequireFinite("Uy", bw.Uy);
  RequireFinite("Umax/Uy", bw.UmaxOverUy);
  if (bw.UmaxOverUy < 0.0) Refuse("Umax/Uy must not be negative", bw.UmaxOverUy);
  const DoubleDouble w = ValidatedW(bw.BetaSmall, bw.GammaSmall);
  RequireReachableExponent(bw.Nee);
  return w;
}

// Za, the point the loop integrals are taken at, and the distance ε from Za
// to the root Za* itself.
struct Peak {
  Point top;            // at ZaUpperBound
  double ampTop = 0.0;  // the amplitude there
  bool saturated = false;
  double za = 0.0;
  Point at;          // where the results are taken (see Root), or the top when saturated
  double eps = 0.0;  // Za* − at.x
};

// The model for (n, w) with its point at ZaUpperBound and the amplitude
// there, which every Solve with the same n and w shares: kept per thread for
// the last (n, w) asked for, its half that depends on n alone taken over
// when only w changes, and built afresh once the families' cache has been
// emptied (a first Solve measured after exact::ForgetFamilies is one).
struct ModelAndTop {
  ModelAndTop(double n, DoubleDouble w, const ModelAndTop* sameN)
      : model(n, w),
        top(model.At(ZaUpperBound)),
        phiOfPowerTop(sameN != nullptr ? sameN->phiOfPowerTop : model.PhiOfPower(top)),
        excessTop(model.ExcessWith(top, phiOfPowerTop)),
        ampTop(top.x + excessTop) {}
  Model model;
  Point top;
  double phiOfPowerTop;  // Φ_{b+1}(ZaUpperBoundⁿ)
  double excessTop;      // amp − x there
  double ampTop;
};

const ModelAndTop& ModelFor(double n, DoubleDouble w) {
  struct Last {
    std::unique_ptr<const ModelAndTop> value;
    double n = 0.0;
    DoubleDouble w{};
    std::uint64_t forgotten = 0;
  };
  thread_local Last last;
  const std::uint64_t forgotten = exact::FamiliesForgotten();
  const bool current = last.value && last.forgotten == forgotten;
  if (!current || last.n != n || last.w.hi != w.hi || last.w.lo != w.lo) {
    const ModelAndTop* sameN = current && last.n == n ? last.value.get() : nullptr;
    last.value = std::make_unique<const ModelAndTop>(n, w, sameN);
    last.n = n;
    last.w = w;
    last.forgotten = forgotten;
  }
  return *last.value;
}

// Za is the double nearest the root Za*; the other results belong to Za*
// itself. Near saturation they change by up to 1/(n·(1 − Za)) per unit of
// Za, so one ulp of Za would move them by 10⁻⁶ relative: they are carried to
// Za* = Za + ε by their Taylor polynomials of degree two, with ε from the
// residual (known to a few ulps of U).
Peak PeakOf(const ModelAndTop& model, double u) {
  // Za: exactly 1 above the amplitude at the top of the search interval, and
  // the arguments then taken there.
  Peak peak;
  peak.top = model.top;
  peak.ampTop = model.ampTop;
  peak.saturated = u > peak.ampTop;
  if (peak.saturated) {
    peak.za = 1.0;
    peak.at = peak.top;
  } else if (u == peak.ampTop) {
    peak.za = peak.top.x;
    peak.at = peak.top;
    peak.eps = model.model.Correction(peak.top, (peak.top.x - u) + model.excessTop);
  } else if (u > 0.0) {
    const Root root = model.model.RootOf(u, peak.top, (peak.top.x - u) + model.excessTop);
    peak.za = root.za;
    peak.at = root.at;
    peak.eps = root.eps;
  }
  return peak;
}

// A result at Za carried to Za* = Za + ε by its first two derivatives.
double AtRoot(double eps, double value, double d1, double d2) {
  return eps == 0.0 ? value : value + (d1 * eps + 0.5 * d2 * eps * eps);
}

struct LoopValues {
  double kcd = 0.0;
  double kda = 0.0;
  double deOverFh = 0.0;  // DE/(Fh·Uy)
};

// Loop integrals and the energy D/(Fh·Uy). For Za < 1 both formula sets
// give 2·D(Za) (the Complementary one through 2U = G_w + G_1 at the root).
LoopValues LoopValuesAt(const Model& model, const Peak& peak, double u, bool complementary) {
  const Point& at = peak.at;
  const double eps = peak.eps;
  const double x = at.x;
  const double n = model.N();
  const double w1 = model.W();
  const double bracket = model.EnergyBracket(at);
  const double twiceD = AtRoot(eps, x * x * model.B2() * bracket, 2.0 * model.EnergySlope(at),
                               x > 0.0 ? 2.0 * model.EnergyCurvature(at) : 0.0);
  const double powerOverX = x > 0.0 ? at.p / x : 0.0;  // x^(n−1)
  LoopValues loop;
  if (complementary) {
    // Kcd* = G_w + H_w: slope (1 + x)/(1 − w·xⁿ); Kda* = ∫(1 − z)/(1 − zⁿ):
    // slope (1 − x)/(1 − xⁿ), bounded near saturation.
    loop.kcd = AtRoot(eps, model.ComplementaryKcd(at), (1.0 + x) / at.sw,
                      1.0 / at.sw + (1.0 + x) * n * w1 * powerOverX / (at.sw * at.sw));
    loop.kda = AtRoot(eps, model.ComplementaryKda(at), (1.0 - x) / at.sp,
                      -1.0 / at.sp + (1.0 - x) * n * powerOverX / (at.sp * at.sp));
    loop.deOverFh = peak.saturated ? 4.0 * (u - peak.ampTop) + twiceD : twiceD;
  } else {
    // The Direct set multiplies by Za itself, which is 1 when saturated.
    // Below saturation Kcd = −H_w(Za) and Kda = H_1(Za), H_y′ = x/(1 − y·xⁿ).
    const double halfSquare = peak.saturated ? 0.5 : 0.5 * x * x;
    loop.kcd = AtRoot(eps, -halfSquare * model.SecondF(at.tw, at.sw), -x / at.sw,
                      -(1.0 / at.sw + n * w1 * at.p / (at.sw * at.sw)));
    loop.kda =
        AtRoot(eps, halfSquare * model.SecondF(at.p, at.sp), x / at.sp, 1.0 / at.sp + n * at.p / (at.sp * at.sp));
    loop.deOverFh = peak.saturated ? model.B2() * bracket : twiceD;
  }
  return loop;
}

// At the extremes of the domain (an exponent so small that 1/n overflows,
// amplitudes near the smallest doubles with n near 0 or a huge |β − γ|) the
// series no longer reach, and a result comes out NaN or infinite. Those
// inputs are refused rather than answered, the record unchanged, as for
// inputs outside the domain.
void RequireFiniteResults(double za, const LoopValues& loop) {
  const double dimensionless[] = {za, loop.kcd, loop.kda, loop.deOverFh};
  const char* const names[] = {"Za", "Kcd", "Kda", "DE/(Fh Uy)"};
  for (int i = 0; i < 4; ++i) {
    if (!std::isfinite(dimensionless[i])) {
      Refuse(std::string("no accurate result for these inputs: ") + names[i] + " is not a finite number",
                     dimensionless[i]);
    }
  }
}

// The nine results; the forces and the energy each rounded once from its
// exact product or sum.
void WriteResults(const Peak& peak, const LoopValues& loop, BoucWenCase& bw) {
  const DoubleDouble oneMinusAlpha = DoubleDouble::Difference(1.0, bw.AlphaSmall);
  const DoubleDouble root = peak.saturated ? DoubleDouble{1.0, 0.0} : DoubleDouble::Normalised(peak.at.x, peak.eps);
  const DoubleDouble fha = exact::Multiply(exact::Multiply(oneMinusAlpha, bw.Fy), root);
  const DoubleDouble fela = exact::Multiply(DoubleDouble{bw.AlphaSmall, 0.0}, bw.Fy);
  const DoubleDouble felaU = exact::Multiply(fela, bw.UmaxOverUy);
  bw.Za = peak.za;
  bw.Fha = fha.Value();
  bw.Fela = felaU.Value();
  bw.Fa = exact::Add(fha, felaU).Value();
  bw.Kcd = loop.kcd;
  bw.Kda = loop.kda;
  bw.DEOverFhUy = loop.deOverFh;
  const DoubleDouble deOverFy = exact::Multiply(oneMinusAlpha, loop.deOverFh);
  bw.DEOverFyUy = deOverFy.Value();
  bw.DE = exact::Multiply(exact::Multiply(deOverFy, bw.Fy), bw.Uy).Value();
}

}  // namespace

double Hyp2F1(double a, double b, double c, double z) {
  RequireFinite("a", a);
  RequireFinite("b", b);
  RequireFinite("c", c);
  RequireFinite("z", z);
  // F is symmetric in a and b: F(b', 1; 1 + b'; z) is the same function.
  double parameter = 0.0;
  if (a == 1.0 && c == 1.0 + b) {
    parameter = b;
  } else if (b == 1.0 && c == 1.0 + a) {
    parameter = a;
  } else {
    throw Refusal("hyp2f1 --accurate covers F(1, b; 1 + b; t) only: a = " + decimal::ShortestText(a) +
                      ", b = " + decimal::ShortestText(b) + ", c = " + decimal::ShortestText(c));
  }
  if (!(parameter > 0.0)) Refuse("hyp2f1 --accurate needs b > 0 in F(1, b; 1 + b; t): b", parameter);
  if (!(z < 1.0)) Refuse("hyp2f1 --accurate needs t < 1 in F(1, b; 1 + b; t): t", z);
  if (z == 0.0) return 1.0;
  return parameter * Family(parameter)->Phi(z, 1.0 - z);
}

double Amplitude(double x, double n, double beta, double gamma) {
  RequireFinite("x", x);
  ValidateExponent(n);
  RequireFinite("beta", beta);
  RequireFinite("gamma", gamma);
  const DoubleDouble w = ValidatedW(beta, gamma);
  if (!(x >= 0.0 && x <= 1.0)) Refuse("x must lie in [0, 1]", x);
  if (x == 1.0) return std::numeric_limits<double>::infinity();
  RequireReachableExponent(n);
  const Model model(n, w);
  return model.Amplitude(model.At(x));
}

void Solve(BoucWenCase& bw) {
  const DoubleDouble w = ValidatedInputs(bw);
  const ModelAndTop& model = ModelFor(bw.Nee, w);
  const Peak peak = PeakOf(model, bw.UmaxOverUy);
  const LoopValues loop = LoopValuesAt(model.model, peak, bw.UmaxOverUy, bw.Complementary);
  RequireFiniteResults(peak.za, loop);
  WriteResults(peak, loop, bw);
}

bool BranchIntegral(double y, double s, double n, double& value) noexcept {
  try {
    const double b = 1.0 / n;
    value = s * Hyp2F1(b, 1.0, b + 1.0, y * std::pow(s, n));
    return std::isfinite(value);
  } catch (const Refusal&) {
    return false;
  }
}

}  // namespace quorix::accurate
