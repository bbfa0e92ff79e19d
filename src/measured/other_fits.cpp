#include "other_fits.h"

#include <Eigen/Core>

#include <algorithm>
#include <cmath>
#include <optional>

#include "refusal.h"

namespace quorix::measured::detail {

namespace {

// ‖f‖² at x: a search ends where its last accepted step left it.
double CostAt(const LeastSquaresProblem& problem, const std::vector<double>& x) {
  const Eigen::VectorXd xv = Eigen::Map<const Eigen::VectorXd>(x.data(), static_cast<Eigen::Index>(x.size()));
  Eigen::VectorXd f(static_cast<Eigen::Index>(problem.rows));
  problem.residuals(xv, f);
  const double cost = f.squaredNorm();
  return std::isfinite(cost) ? cost : HUGE_VAL;
}

// Whether search b should replace search a as the fit: a minimum before a
// search still moving, then the lower misfit, ties (two searches in the same
// valley, apart by rounding) to the earlier.
bool Better(const LocalSearch& b, const LocalSearch& a) {
  const bool aDone = a.search.end == SearchEnd::kConverged, bDone = b.search.end == SearchEnd::kConverged;
  if (aDone != bDone) return bDone;
  return b.cost < a.cost * (1.0 - 1e-9);
}

// The values of the fit's parameters, z0 at 5.
std::array<double, 6> Values(const Case& p, double z0) { return {p.n, p.gamma, p.alpha, p.Fy, p.Uy, z0}; }

// Two searches that end in one valley end apart by rounding and by the
// searches' own tolerance (steps of 1e-13 of the parameters); a record
// without noise gives intervals of no width at all, and the two ends must
// not count as two fits. Apart by more than 1e-8 of the values (Fy and Uy,
// in the record's units) or of the larger of them and 1 (n, the shares γ
// and α, and z0) they are two.
double RoundingApart(std::size_t i, double a, double b) {
  const double scale = std::max(std::fabs(a), std::fabs(b));
  return 1e-8 * (i == kFy || i == kUy ? scale : std::max(1.0, scale));
}

// The parameters in which `other` lies outside `halfWidth` of `from`.
std::vector<std::size_t> Differing(const std::array<double, 6>& from, const std::array<double, 6>& other,
                                   const std::array<double, 6>& halfWidth, const std::array<bool, 6>& free) {
  std::vector<std::size_t> differs;
  for (std::size_t i = 0; i < 6; ++i) {
    const double apart = std::fabs(other[i] - from[i]);
    if (free[i] && apart > halfWidth[i] && apart > RoundingApart(i, from[i], other[i])) differs.push_back(i);
  }
  return differs;
}

}  // namespace

LocalSearches SearchFromEach(const LeastSquaresProblem& problem, const std::vector<std::vector<double>>& starts,
                             const std::function<void(const std::string&)>& progress, const std::string& what) {
  LocalSearches searches;
  std::optional<Refusal> first;
  for (std::size_t k = 0; k < starts.size(); ++k) {
    const std::string label =
        k == 0 ? what : what + " from start " + std::to_string(k + 1) + " of " + std::to_string(starts.size());
    try {
      LocalSearch local;
      local.search = LeastSquares(problem, starts[k], progress, label);
      local.cost = CostAt(problem, local.search.position);
      local.start = k;
      searches.found.push_back(std::move(local));
    } catch (const Refusal& e) {
      if (k == 0) first = e;
    }
    if (searches.found.size() > 1 && Better(searches.found.back(), searches.found[searches.best])) {
      searches.best = searches.found.size() - 1;
    }
  }
  if (searches.found.empty()) {
    if (first) throw *first;
    throw Refusal("the model cannot be evaluated at the starting values");
  }
  return searches;
}

std::array<double, 6> UncertaintyHalfWidths(const FitResult& fit) {
  std::array<double, 6> half{};
  for (std::size_t i = 0; i < 5; ++i) half[i] = fit.fixed[i] ? 0.0 : 2.0 * fit.errors[i];
  half[5] = fit.z0Fitted ? 2.0 * fit.z0Error : 0.0;
  if (!fit.hasIntervals) return half;
  // The 95 % interval where the fit has one: another fit lies outside it
  // when it lies farther from the value than the interval's farther end.
  const std::array<double, 6> value = Values(fit.parameters, fit.z0);
  for (std::size_t i = 0; i < 6; ++i) {
    const std::array<double, 2>& band = i < 5 ? fit.intervals[i] : fit.z0Interval;
    if (std::isfinite(band[0]) && std::isfinite(band[1])) {
      half[i] = std::max(value[i] - band[0], band[1] - value[i]);
    }
  }
  return half;
}

void KeepOtherFits(std::vector<OtherFit> candidates, FitResult& fit) {
  const std::array<double, 6> half = UncertaintyHalfWidths(fit);
  std::array<bool, 6> free{};
  for (std::size_t i = 0; i < 5; ++i) free[i] = !fit.fixed[i];
  free[5] = fit.z0Fitted;
  const std::array<double, 6> best = Values(fit.parameters, fit.z0);
  std::stable_sort(candidates.begin(), candidates.end(),
                   [](const OtherFit& a, const OtherFit& b) { return a.rms < b.rms; });
  fit.otherFits.clear();
  for (OtherFit& c : candidates) {
    if (!(c.rms <= (1.0 + kOtherFitShare) * fit.rms)) continue;
    const std::array<double, 6> values = Values(c.parameters, c.z0);
    c.differs = Differing(best, values, half, free);
    if (c.differs.empty()) continue;
    bool seen = false;
    for (const OtherFit& kept : fit.otherFits) {
      seen = seen || Differing(Values(kept.parameters, kept.z0), values, half, free).empty();
    }
    if (!seen) fit.otherFits.push_back(std::move(c));
  }
}

}  // namespace quorix::measured::detail
