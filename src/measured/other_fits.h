// Both fits search from several of the scan's starting points, not from its
// best alone: the misfit of the model over a record can have more than one
// valley, and parameter sets far apart may fit a record alike (a record that
// hardly leaves the elastic range shows little of n and γ). The search that
// ends lowest gives the fit; the others, where as good and outside its
// uncertainty, are reported beside it.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "fit_steps.h"
#include "fit_types.h"

namespace quorix::measured::detail {

// The scan's starting points the searches run from: its best and the best
// of those not next to it on the grid (ScanStarts).
inline constexpr std::size_t kStarts = 5;

struct LocalSearch {
  Search search;
  double cost = 0.0;      // ‖f‖² of the searched problem where the search ended
  std::size_t start = 0;  // which start it ran from
};

// A search of `problem` from each start. `best` indexes the search the fit
// takes: of those that ended at a minimum the lowest, else the lowest of
// all; an earlier one is kept unless a later one is lower by more than
// rounding. A start whose search is refused (the model cannot be evaluated
// there) is left out; when every one is, the first one's refusal is thrown.
// `progress` hears "<what>, iteration i" during the first search and
// "<what> from start k of K, iteration i" during the others.
struct LocalSearches {
  std::vector<LocalSearch> found;
  std::size_t best = 0;
};
LocalSearches SearchFromEach(const LeastSquaresProblem& problem, const std::vector<std::vector<double>>& starts,
                             const std::function<void(const std::string&)>& progress, const std::string& what);

// How far from the fit's value a parameter set must lie in a parameter to
// count as another one: the farther end of its 95 % interval where the fit
// has intervals, else two standard errors (a 95 % band where the misfit is
// near quadratic); 0 for a held parameter. Indices as kParameterNames,
// z0 at 5.
std::array<double, 6> UncertaintyHalfWidths(const FitResult& fit);

// The candidates (parameters, z0 and misfits filled in) that fit as well
// as `fit` (rms within kOtherFitShare of its rms) and lie outside its
// uncertainty, into fit.otherFits with the parameters that differ: best
// first, and of candidates within that uncertainty of one another (two
// searches that ended in the same valley) the best alone.
void KeepOtherFits(std::vector<OtherFit> candidates, FitResult& fit);

}  // namespace quorix::measured::detail
