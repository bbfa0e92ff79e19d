#include "views.h"

#include <cmath>
#include <cstddef>
#include <limits>
#include <numbers>

#include "energy_solver.h"
#include "ieee.h"
#include "specialfunctions.h"
#include "step_counter.h"

namespace quorix {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// num/den, NaN when den is 0: a stiffness or damping ratio at a zero
// amplitude or zero force is not defined, and must not read as ±infinity.
double Ratio(double num, double den) { return den == 0.0 ? kNaN : num / den; }

// G_y(s) = ∫₀ˢ dζ / (1 − y·ζⁿ) = s·F(1/n, 1; 1 + 1/n; y·sⁿ) for 0 ≤ s < 1,
// with the very call and operand order of the amplitude function, so that
// the branch ends exactly where the solver's Za puts it. False on any fault
// or failure of the evaluator.
bool BranchIntegral(double y, double s, double n, double& value) {
  ieee::FaultScope scope;
  const ieee::Real sn = pow(ieee::Real(s), n);
  const ieee::Real arg = ieee::Real(y) * sn;
  const ieee::Real c = 1.0 / ieee::Real(n) + 1.0;
  const ieee::Real a = 1.0 / ieee::Real(n);
  if (scope.Raised()) return false;
  double f = 0.0;
  try {
    if (Hypergeometric2F1(a.value(), 1.0, c.value(), arg.value(), f) == 0) return false;
  } catch (const FloatingPointFault&) {
    return false;
  }
  value = s * f;
  return std::isfinite(value);
}

// The loading branch of the steady cycle, x = u/Uy against z. On it (u̇ > 0)
// the hysteresis law with A = 1 and β + γ = 1 reads
//   dz/dx = 1 − w·|z|ⁿ  for z < 0,   dz/dx = 1 − zⁿ  for z > 0,   w = β − γ,
// so, starting from (−U, −zc),
//   x(z) = −U + G_w(zc) − G_w(−z)  for z ≤ 0,
//   x(z) = −U + G_w(zc) + G_1(z)   for z ≥ 0.
// At the solver's root G_w(Za) + G_1(Za) = 2·amp(Za) = 2U, so the branch ends
// at (U, Za). A saturated case (Za = 1) stands zc = ZaUpperBound for 1, where
// G_1 diverges: the curve reaches zc at x = −U + 2·amp(zc) < U, and z, then
// within 1e-12 of 1, stays there up to x = U.
//
// Points are placed by a parameter q with z = sgn(q)·(1 − e^(−|q|)): near the
// tips z approaches ±1 exponentially in x, and in q the curve is smooth at
// both ends. Along q the points are spaced evenly in the length
//   s = (x + U)/Xc + (z + zc)/(2·zc),
// Xc the curve's extent in x: each chord then spans at most a fixed share of
// the loop's width and height, which keeps the polygon close to the curve
// both on the steep start and along the flat tail.
class LoadingBranch {
 public:
  explicit LoadingBranch(BranchIntegralFn integral) : integral_(integral) {}

  bool Init(const BoucWenCase& solved) {
    n_ = solved.Nee;
    w_ = solved.BetaSmall - solved.GammaSmall;
    zc_ = solved.Za == 1.0 ? ZaUpperBound : solved.Za;
    if (!(std::isfinite(n_) && n_ > 0.0 && std::isfinite(w_) && zc_ > 0.0 && zc_ < 1.0)) return false;
    double g1 = 0.0;
    if (!integral_(w_, zc_, n_, gwc_) || !integral_(1.0, zc_, n_, g1)) return false;
    extent_ = gwc_ + g1;
    qEnd_ = -std::log1p(-zc_);
    return std::isfinite(extent_) && extent_ > 0.0 && qEnd_ > 0.0;
  }

  double ZcPeak() const { return zc_; }
  double QEnd() const { return qEnd_; }
  double Extent() const { return extent_; }

  // z at q; the ends are ±zc exactly.
  double ZOf(double q) const {
    if (q <= -qEnd_) return -zc_;
    if (q >= qEnd_) return zc_;
    const double m = -std::expm1(-std::fabs(q));
    return q < 0.0 ? -m : m;
  }

  // x + U at z, for −zc ≤ z ≤ zc.
  bool OffsetAt(double z, double& offset) const {
    double g = 0.0;
    if (z < 0.0) {
      if (!integral_(w_, -z, n_, g)) return false;
      offset = gwc_ - g;
    } else {
      if (!integral_(1.0, z, n_, g)) return false;
      offset = gwc_ + g;
    }
    return std::isfinite(offset);
  }

  double LengthOf(double offset, double z) const { return offset / extent_ + (z + zc_) / (2.0 * zc_); }

  // ds/dq at q, where dz/dq = 1 − |z| = e^(−|q|) and dx/dz = 1/(1 − y·|z|ⁿ).
  // Written so that it stays accurate as |z| → 1 (the ratio tends to 1/n
  // for y = 1): 1 − y·|z|ⁿ = (1 − y) + y·(1 − |z|ⁿ).
  double Slope(double q) const {
    const double t = std::exp(-std::fabs(q));
    const double y = q < 0.0 ? w_ : 1.0;
    const double oneMinusPow = -std::expm1(n_ * std::log1p(-t));
    const double denominator = (1.0 - y) + y * oneMinusPow;
    return t / (extent_ * denominator) + t / (2.0 * zc_);
  }

 private:
  BranchIntegralFn integral_;
  double n_ = 0.0;
  double w_ = 0.0;
  double zc_ = 0.0;
  double gwc_ = 0.0;
  double extent_ = 0.0;
  double qEnd_ = 0.0;
};

struct BranchPoint {
  double x = 0.0;
  double z = 0.0;
};

// `count` points of the curve from z = −zc to z = zc, evenly spaced in s.
// Each point solves s(q) = s_k by Newton's method kept inside the bracket
// [previous q, q end] with bisection; the points need only be close to even
// spacing, while each lies exactly on the curve, so the solve stops at a
// hundredth of the spacing.
bool CurvePoints(const LoadingBranch& branch, int count, std::vector<BranchPoint>& points) {
  const double sEnd = 2.0;  // s at (x, z) = (Xc − U, zc)
  const double spacing = sEnd / (count - 1);
  points.assign(static_cast<std::size_t>(count), BranchPoint{});
  points.front() = {0.0, -branch.ZcPeak()};
  points.back() = {branch.Extent(), branch.ZcPeak()};
  double qPrevious = -branch.QEnd();
  double slopePrevious = branch.Slope(qPrevious);
  for (int k = 1; k < count - 1; ++k) {
    const double target = spacing * k;
    double lo = qPrevious;
    double hi = branch.QEnd();
    double q = qPrevious + spacing / slopePrevious;
    BranchPoint p;
    for (int iteration = 0;; ++iteration) {
      steps::Count();
      if (!(q > lo && q < hi)) q = 0.5 * (lo + hi);
      p.z = branch.ZOf(q);
      if (!branch.OffsetAt(p.z, p.x)) return false;
      const double residual = branch.LengthOf(p.x, p.z) - target;
      if (std::fabs(residual) <= 0.01 * spacing || iteration == 200 || hi - lo <= 1e-15 * (1.0 + std::fabs(q))) break;
      (residual < 0.0 ? lo : hi) = q;
      q -= residual / branch.Slope(q);
    }
    points[static_cast<std::size_t>(k)] = p;
    qPrevious = q;
    slopePrevious = branch.Slope(q);
  }
  return true;
}

}  // namespace

DerivedQuantities DeriveQuantities(const BoucWenCase& solved) {
  const double umax = solved.UmaxOverUy * solved.Uy;
  DerivedQuantities d;
  d.XiEq = Ratio(solved.DE, 2.0 * std::numbers::pi * solved.Fa * umax);
  d.Ksec = Ratio(solved.Fa, umax);
  d.KsecOverK0 = Ratio(solved.Fa, solved.Fy * solved.UmaxOverUy);
  return d;
}

HysteresisLoop LoopOf(const BoucWenCase& solved, int pointsPerBranch) {
  return LoopOf(solved, pointsPerBranch, BranchIntegral);
}

HysteresisLoop LoopOf(const BoucWenCase& solved, int pointsPerBranch, BranchIntegralFn integral) {
  HysteresisLoop loop;
  const double u = solved.UmaxOverUy;
  const double za = solved.Za;
  // No cycle, or none the closed form describes: an empty loop.
  if (!(std::isfinite(u) && u > 0.0 && za > 0.0 && za <= 1.0)) return loop;
  LoadingBranch branch(integral);
  if (!branch.Init(solved)) return loop;

  const int perBranch = pointsPerBranch < 3 ? 3 : pointsPerBranch;
  const bool saturated = za == 1.0;
  // A saturated branch spends its last point on the end of the flat part.
  std::vector<BranchPoint> points;
  if (!CurvePoints(branch, saturated ? perBranch - 1 : perBranch, points)) return loop;
  for (BranchPoint& p : points) p.x -= u;
  // The tips exactly where the solver puts them, so that F there is Fa to
  // the last bit. Away from saturation the curve's own end differs from
  // (U, Za) only by the root's tolerance; the polygon's last chord takes the
  // difference, and the enclosed area keeps the 2U of Complementary DE.
  points.front() = {-u, -za};
  if (saturated) {
    points.push_back({u, za});
  } else {
    points.back() = {u, za};
  }

  const double elastic = solved.AlphaSmall * solved.Fy;
  const double hysteretic = (1.0 - solved.AlphaSmall) * solved.Fy;
  const std::size_t branchCount = points.size();
  const std::size_t total = 2 * branchCount - 2;
  loop.u.reserve(total);
  loop.F.reserve(total);
  loop.z.reserve(total);
  for (const BranchPoint& p : points) {
    loop.u.push_back(p.x * solved.Uy);
    loop.F.push_back(elastic * p.x + hysteretic * p.z);
    loop.z.push_back(p.z);
  }
  // Unloading is the point reflection of loading; its ends are the loading
  // branch's ends, which are not repeated.
  for (std::size_t i = 1; i + 1 < branchCount; ++i) {
    loop.u.push_back(-loop.u[i]);
    loop.F.push_back(-loop.F[i]);
    loop.z.push_back(-loop.z[i]);
  }
  return loop;
}

double ShoelaceArea(const std::vector<double>& u, const std::vector<double>& F) {
  const std::size_t count = u.size() < F.size() ? u.size() : F.size();
  if (count < 3) return 0.0;
  // ½·Σ (F_i + F_{i+1})·(u_{i+1} − u_i), the trapezoid form of ∮ F du; for
  // a closed polygon it equals ½·Σ (F_i·u_{i+1} − F_{i+1}·u_i).
  double sum = 0.0;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t next = i + 1 == count ? 0 : i + 1;
    sum += (F[i] + F[next]) * (u[next] - u[i]);
  }
  return 0.5 * sum;
}

}  // namespace quorix
