#include "views.h"

#include <cmath>
#include <cstddef>
#include <limits>
#include <numbers>

#include "loading_branch.h"
#include "step_counter.h"

namespace quorix {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// num/den, NaN when den is 0: a stiffness or damping ratio at a zero
// amplitude or zero force is not defined, and must not read as ±infinity.
double Ratio(double num, double den) { return den == 0.0 ? kNaN : num / den; }

// Points of the loading branch (loading_branch.h) are placed by a parameter
// q with z = sgn(q)·(1 − e^(−|q|)): near the tips z approaches ±1
// exponentially in x, and in q the curve is smooth at both ends. Along q the
// points are spaced evenly in the length
//   s = (x + U)/Xc + (z + zc)/(2·zc),
// Xc the curve's extent in x: each chord then spans at most a fixed share of
// the loop's width and height, which keeps the polygon close to the curve
// both on the steep start and along the flat tail.
class BranchPlacement {
 public:
  explicit BranchPlacement(const LoadingBranch& branch) : branch_(branch), qEnd_(-std::log1p(-branch.Peak())) {}

  // False when the curve has no extent to place points along.
  bool Valid() const { return std::isfinite(branch_.Extent()) && branch_.Extent() > 0.0 && qEnd_ > 0.0; }

  double ZcPeak() const { return branch_.Peak(); }
  double QEnd() const { return qEnd_; }
  double Extent() const { return branch_.Extent(); }

  // z at q; the ends are ±zc exactly.
  double ZOf(double q) const {
    const double zc = branch_.Peak();
    if (q <= -qEnd_) return -zc;
    if (q >= qEnd_) return zc;
    const double m = -std::expm1(-std::fabs(q));
    return q < 0.0 ? -m : m;
  }

  // x + U at z, for −zc ≤ z ≤ zc; false where it is not a finite number.
  bool OffsetAt(double z, double& offset) const { return branch_.OffsetAt(z, offset) && std::isfinite(offset); }

  double LengthOf(double offset, double z) const {
    return offset / branch_.Extent() + (z + branch_.Peak()) / (2.0 * branch_.Peak());
  }

  // ds/dq at q, where dz/dq = 1 − |z| = e^(−|q|) and dx/dz = 1/(dz/dx),
  // the branch's slope taken from that gap itself so that the quotient stays
  // accurate as |z| → 1 (it tends to 1/n for y = 1).
  double Slope(double q) const {
    const double t = std::exp(-std::fabs(q));
    return t / (branch_.Extent() * branch_.SlopeAtGap(t, q < 0.0)) + t / (2.0 * branch_.Peak());
  }

 private:
  const LoadingBranch& branch_;
  double qEnd_;
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
bool CurvePoints(const BranchPlacement& placement, int count, std::vector<BranchPoint>& points) {
  const double sEnd = 2.0;  // s at (x, z) = (Xc − U, zc)
  const double spacing = sEnd / (count - 1);
  points.assign(static_cast<std::size_t>(count), BranchPoint{});
  points.front() = {0.0, -placement.ZcPeak()};
  points.back() = {placement.Extent(), placement.ZcPeak()};
  double qPrevious = -placement.QEnd();
  double slopePrevious = placement.Slope(qPrevious);
  for (int k = 1; k < count - 1; ++k) {
    const double target = spacing * k;
    double lo = qPrevious;
    double hi = placement.QEnd();
    double q = qPrevious + spacing / slopePrevious;
    BranchPoint p;
    for (int iteration = 0;; ++iteration) {
      steps::Count();
      if (!(q > lo && q < hi)) q = 0.5 * (lo + hi);
      p.z = placement.ZOf(q);
      if (!placement.OffsetAt(p.z, p.x)) return false;
      const double residual = placement.LengthOf(p.x, p.z) - target;
      if (std::fabs(residual) <= 0.01 * spacing || iteration == 200 || hi - lo <= 1e-15 * (1.0 + std::fabs(q))) break;
      (residual < 0.0 ? lo : hi) = q;
      q -= residual / placement.Slope(q);
    }
    points[static_cast<std::size_t>(k)] = p;
    qPrevious = q;
    slopePrevious = placement.Slope(q);
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
  return LoopOf(solved, pointsPerBranch, SolverBranchIntegral);
}

HysteresisLoop LoopOf(const BoucWenCase& solved, int pointsPerBranch, BranchIntegralFn integral) {
  HysteresisLoop loop;
  const double u = solved.UmaxOverUy;
  const double za = solved.Za;
  // No cycle, or none the closed form describes: an empty loop.
  if (!(std::isfinite(u) && u > 0.0 && za > 0.0 && za <= 1.0)) return loop;
  LoadingBranch branch(integral);
  if (!branch.Init(solved.Nee, solved.BetaSmall - solved.GammaSmall, za, u)) return loop;
  const BranchPlacement placement(branch);
  if (!placement.Valid()) return loop;

  const int perBranch = pointsPerBranch < 3 ? 3 : pointsPerBranch;
  const bool saturated = za == 1.0;
  // A saturated branch spends its last point on the end of the flat part.
  std::vector<BranchPoint> points;
  if (!CurvePoints(placement, saturated ? perBranch - 1 : perBranch, points)) return loop;
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
