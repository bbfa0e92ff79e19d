// The fit to steady loops: each chosen cycle against the model's closed-form
// steady loop at the cycle's own half-range and centre (steady_model.h),
// every point of the cycle weighed so that each cycle counts the same.
// Derivatives: α, Fy and Uy analytic, n and γ by forward differences.
#include <Eigen/Core>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numeric>
#include <string>
#include <utility>
#include <vector>

#include "accurate.h"
#include "fit.h"
#include "fit_steps.h"
#include "other_fits.h"

namespace quorix::measured {

using namespace detail;

namespace {

// The points of one chosen cycle, from its first reversal up to (not
// including) its last, which the next cycle starts with.
CyclePoints PointsOf(const std::vector<double>& u, const Cycle& c, std::size_t stride = 1) {
  CyclePoints points;
  points.centre = 0.5 * (c.uPlus + c.uMinus);
  points.halfRange = 0.5 * (c.uPlus - c.uMinus);
  const double firstSign = u[c.middle] > u[c.first] ? 1.0 : -1.0;
  struct Item {
    double frame;
    std::size_t index;
    signed char sign;
  };
  std::vector<Item> items;
  items.reserve((c.last - c.first) / stride + 1);
  for (std::size_t i = c.first; i < c.last; i += stride) {
    const double s = i < c.middle ? firstSign : -firstSign;
    items.push_back({s * (u[i] - points.centre), i, static_cast<signed char>(s)});
  }
  std::sort(items.begin(), items.end(), [](const Item& a, const Item& b) { return a.frame < b.frame; });
  for (const Item& item : items) {
    points.frameU.push_back(item.frame);
    points.index.push_back(item.index);
    points.sign.push_back(item.sign);
  }
  return points;
}

struct Problem {
  const std::vector<double>* F = nullptr;
  std::vector<CyclePoints> cycles;
  std::vector<double> rootWeight;  // per cycle
  std::array<bool, 5> free{};
  std::vector<std::size_t> freeIndex;
  std::size_t total = 0;  // points over all cycles
  Case base;  // fixed values live here
  // Scratch.
  std::vector<double> model, model2, z, dUy;

  Case ToParameters(const Eigen::VectorXd& x) const {
    Case p = base;
    for (std::size_t k = 0; k < freeIndex.size(); ++k) At(p, freeIndex[k]) = x(k);
    return p;
  }
  Case ToParameters(const std::vector<double>& x) const {
    Case p = base;
    for (std::size_t k = 0; k < freeIndex.size(); ++k) At(p, freeIndex[k]) = x[k];
    return p;
  }
};

// Weighted residuals sqrt(w)·(F_model − F). A parameter set without a model
// cycle gets huge residuals, which the trust region rejects as a step.
void Residuals(Problem& pr, const Eigen::VectorXd& x, Eigen::VectorXd& f) {
  const Case p = pr.ToParameters(x);
  std::size_t row = 0;
  for (std::size_t c = 0; c < pr.cycles.size(); ++c) {
    const CyclePoints& cp = pr.cycles[c];
    const bool ok = ModelForces(p, cp, pr.model);
    for (std::size_t k = 0; k < cp.index.size(); ++k, ++row) {
      const double measured = (*pr.F)[cp.index[k]];
      f(row) = ok ? pr.rootWeight[c] * (pr.model[k] - measured) : 1e30 * (1.0 + std::fabs(measured));
    }
  }
}

// The Jacobian: α, Fy and Uy analytic; n and γ by forward differences of
// the accurate model (its relative error is near 1e-16, so a step of about
// 3e-8 leaves about 1e-8 of the derivative). False where neither step of
// n or γ has a model cycle.
bool Jacobian(Problem& pr, const Eigen::VectorXd& x, Eigen::MatrixXd& J) {
  const Case p = pr.ToParameters(x);
  std::size_t row = 0;
  for (std::size_t c = 0; c < pr.cycles.size(); ++c) {
    const CyclePoints& cp = pr.cycles[c];
    const double rw = pr.rootWeight[c];
    const std::size_t count = cp.index.size();
    if (!ModelForces(p, cp, pr.model, &pr.z, &pr.dUy)) return false;
    for (std::size_t k = 0; k < pr.freeIndex.size(); ++k) {
      const std::size_t which = pr.freeIndex[k];
      if (which == kN || which == kGamma) {
        Case q = p;
        double h = 3e-8 * std::max(1.0, std::fabs(Get(p, which)));
        At(q, which) += h;
        if (!ModelForces(q, cp, pr.model2)) {
          h = -h;
          At(q, which) = Get(p, which) + h;
          if (!ModelForces(q, cp, pr.model2)) return false;
        }
        for (std::size_t i = 0; i < count; ++i) J(row + i, k) = rw * (pr.model2[i] - pr.model[i]) / h;
        continue;
      }
      for (std::size_t i = 0; i < count; ++i) {
        const double xPhys = cp.sign[i] * cp.frameU[i] / p.Uy;
        double d = 0.0;
        if (which == kAlpha) d = p.Fy * (xPhys - pr.z[i]);
        if (which == kFy) d = p.alpha * xPhys + (1.0 - p.alpha) * pr.z[i];
        if (which == kUy) d = pr.dUy[i];
        J(row + i, k) = rw * d;
      }
    }
    row += count;
  }
  return true;
}

// For given n, γ and Uy the force is linear in a = α·Fy and b = (1 − α)·Fy:
// F = a·x + b·z. Solves that least-squares problem (honouring a fixed α or
// Fy) and returns the weighted cost, +∞ when the model has no cycle.
double ProjectedCost(const Problem& pr, const std::vector<double>& F, Case& p) {
  LinearSums sums;
  std::vector<double> model, z;
  for (std::size_t c = 0; c < pr.cycles.size(); ++c) {
    const CyclePoints& cp = pr.cycles[c];
    Case unit = p;
    unit.alpha = 0.0;
    unit.Fy = 1.0;
    if (!ModelForces(unit, cp, model, &z)) return std::numeric_limits<double>::infinity();
    const double w = pr.rootWeight[c] * pr.rootWeight[c];
    for (std::size_t i = 0; i < z.size(); ++i) {
      sums.Add(w, cp.sign[i] * cp.frameU[i] / p.Uy, z[i], F[cp.index[i]]);
    }
  }
  return sums.Cost(pr.free[kAlpha], pr.free[kFy], p);
}

// The scan's grid (ScanStarts) around the knee estimate, on at most about
// 200 points a cycle, each point of the grid with its best α and Fy: the
// starting points of the searches, best first.
std::vector<Case> ScanStart(const std::vector<double>& u, const std::vector<double>& F, const CycleTable& table,
                     const std::vector<std::size_t>& chosen, const Problem& full, Case knee) {
  Problem pr;
  pr.free = full.free;
  for (std::size_t c = 0; c < chosen.size(); ++c) {
    const Cycle& cycle = table.cycles[chosen[c]];
    const std::size_t stride = std::max<std::size_t>(1, (cycle.last - cycle.first) / 200);
    pr.cycles.push_back(PointsOf(u, cycle, stride));
    pr.rootWeight.push_back(1.0 / std::sqrt(static_cast<double>(pr.cycles.back().index.size())));
  }
  return ScanStarts(knee, full.base, full.free.data(), [&](Case& p) { return ProjectedCost(pr, F, p); }, "loop",
                    kStarts);
}

// The cycles to fit: those asked for, else the steady ones, else all of
// them; ascending, each once.
std::vector<std::size_t> ChooseCycles(const CycleTable& table, const FitOptions& options, std::size_t pointCount) {
  std::vector<std::size_t> chosen = options.cycles;
  if (chosen.empty()) {
    for (std::size_t i = 0; i < table.cycles.size(); ++i) {
      if (table.cycles[i].steady) chosen.push_back(i);
    }
    if (chosen.empty()) {
      chosen.resize(table.cycles.size());
      std::iota(chosen.begin(), chosen.end(), std::size_t{0});
    }
  }
  if (chosen.empty()) throw Refusal("there is no cycle to fit");
  for (std::size_t c : chosen) {
    if (c >= table.cycles.size() || table.cycles[c].last >= pointCount) {
      throw Refusal("cycle " + std::to_string(c + 1) + " does not exist: the record has " +
                    std::to_string(table.cycles.size()) + " cycle(s)");
    }
  }
  std::sort(chosen.begin(), chosen.end());
  chosen.erase(std::unique(chosen.begin(), chosen.end()), chosen.end());
  return chosen;
}

// A long record's steady fit: at most kSteadyCycles cycles, spread evenly
// over those chosen (the narrowest and the widest among them), and at most
// about kSteadyPoints points, every k-th of each cycle. Each cycle costs a
// closed-form solve per evaluation, each point an inversion of the branch;
// thousands of repeats of one loop add nothing the spread ones lack, and
// the cycles not fitted are listed as left out.
constexpr std::size_t kSteadyCycles = 64;
constexpr std::size_t kSteadyPoints = 100000;

std::vector<std::size_t> Spread(const CycleTable& table, const std::vector<std::size_t>& chosen) {
  if (chosen.size() <= kSteadyCycles) return chosen;
  auto width = [&](std::size_t c) { return table.cycles[c].uPlus - table.cycles[c].uMinus; };
  std::vector<std::size_t> spread;
  for (std::size_t k = 0; k < kSteadyCycles; ++k) spread.push_back(chosen[k * (chosen.size() - 1) / (kSteadyCycles - 1)]);
  const auto [narrowest, widest] =
      std::minmax_element(chosen.begin(), chosen.end(), [&](std::size_t a, std::size_t b) { return width(a) < width(b); });
  spread.push_back(*narrowest);
  spread.push_back(*widest);
  std::sort(spread.begin(), spread.end());
  spread.erase(std::unique(spread.begin(), spread.end()), spread.end());
  return spread;
}

// Every point of the chosen cycles (every k-th of a long record's), each
// cycle weighing the same however densely it was sampled.
Problem ProblemOf(const std::vector<double>& u, const std::vector<double>& F, const CycleTable& table,
                  const std::vector<std::size_t>& chosen) {
  Problem pr;
  pr.F = &F;
  std::size_t points = 0;
  for (std::size_t c : chosen) points += table.cycles[c].last - table.cycles[c].first;
  const std::size_t stride = (points + kSteadyPoints - 1) / kSteadyPoints;
  for (std::size_t c : chosen) {
    pr.cycles.push_back(PointsOf(u, table.cycles[c], std::max<std::size_t>(1, stride)));
    pr.total += pr.cycles.back().index.size();
  }
  for (const CyclePoints& cp : pr.cycles) {
    pr.rootWeight.push_back(
        std::sqrt(static_cast<double>(pr.total) / (static_cast<double>(pr.cycles.size()) * cp.index.size())));
  }
  return pr;
}

// Marks the free parameters in `pr` and returns where the searches start:
// the knee estimate of the widest cycle with the held and the given values
// put in, then, unless n, γ and Uy are all held or given, the scan's best
// point and its others (ScanStarts) for those that are not.
std::vector<Case> StartingValues(const std::vector<double>& u, const std::vector<double>& F, const CycleTable& table,
                          const std::vector<std::size_t>& chosen, std::size_t largest, const FitOptions& options,
                          Problem& pr) {
  Case start = GivenStart(KneeEstimate(u, F, table.cycles[largest]), options, pr.free.data());
  pr.base = start;
  for (std::size_t i = 0; i < 5; ++i) {
    if (pr.free[i]) pr.freeIndex.push_back(i);
  }
  std::vector<Case> starts{start};
  if (ScanWanted(options, pr.free.data())) {
    Problem scanFrame = pr;
    HoldGivenInScan(options, scanFrame.free.data());
    const std::vector<Case> scanned = ScanStart(u, F, table, chosen, scanFrame, start);
    starts.assign(scanned.size(), start);
    for (std::size_t k = 0; k < scanned.size(); ++k) TakeScanned(scanned[k], options, pr.free.data(), starts[k]);
  }
  return starts;
}

// The steady fit's least-squares problem: its residuals and Jacobian over
// the free parameters.
LeastSquaresProblem ProblemFunctions(Problem& pr) {
  LeastSquaresProblem problem;
  problem.rows = pr.total;
  problem.residuals = [&pr](const Eigen::VectorXd& x, Eigen::VectorXd& f) { Residuals(pr, x, f); };
  problem.jacobian = [&pr](const Eigen::VectorXd& x, Eigen::MatrixXd& J) { return Jacobian(pr, x, J); };
  return problem;
}

std::vector<std::string> FreeNames(const Problem& pr) {
  std::vector<std::string> names;
  for (std::size_t i : pr.freeIndex) names.emplace_back(kParameterNames[i]);
  return names;
}

std::vector<double> FreeValues(const Problem& pr, const Case& p) {
  std::vector<double> values;
  for (std::size_t i : pr.freeIndex) values.push_back(Get(p, i));
  return values;
}

// The model at every fitted point (in record order), the misfit, and each
// cycle's dissipated energy beside its measured area.
void FittedCycles(const Problem& pr, const CycleTable& table, const std::vector<std::size_t>& chosen,
                  double meanFPlus, FitResult& result) {
  const Case& fitted = result.parameters;
  const std::vector<double>& F = *pr.F;
  std::vector<double> model;
  double ss = 0.0;
  std::vector<std::pair<std::size_t, double>> byIndex;
  byIndex.reserve(pr.total);
  for (std::size_t c = 0; c < pr.cycles.size(); ++c) {
    const CyclePoints& cp = pr.cycles[c];
    if (!ModelForces(fitted, cp, model)) throw Refusal("the model has no cycle at the fitted parameters");
    for (std::size_t k = 0; k < model.size(); ++k) {
      const double r = model[k] - F[cp.index[k]];
      ss += r * r;
      byIndex.emplace_back(cp.index[k], model[k]);
    }
    BoucWenCase bw = SteadyRecord(fitted, cp.halfRange / fitted.Uy);
    accurate::Solve(bw);
    result.cycles.push_back({chosen[c], cp.halfRange, table.cycles[chosen[c]].EDC, bw.DE});
  }
  std::sort(byIndex.begin(), byIndex.end());
  for (const auto& [index, value] : byIndex) {
    result.points.push_back(index);
    result.modelF.push_back(value);
  }
  result.rms = std::sqrt(ss / static_cast<double>(pr.total));
  result.rmsRelative = result.rms / meanFPlus;
}

// The searches from each start, the best of them taken as the fit with its
// standard errors. Returns where the other searches ended.
std::vector<std::vector<double>> SearchSteady(Problem& pr, const std::vector<Case>& starts,
                                              const FitOptions& options, FitResult& result) {
  const LeastSquaresProblem problem = ProblemFunctions(pr);
  std::vector<std::vector<double>> x0;
  for (const Case& start : starts) x0.push_back(FreeValues(pr, start));
  const LocalSearches searches = SearchFromEach(problem, x0, options.progress, "steady fit");
  const LocalSearch& best = searches.found[searches.best];
  result.starts = static_cast<int>(starts.size());
  result.startingValues = starts[best.start];
  result.iterations = best.search.iterations;
  const Case fitted = pr.ToParameters(best.search.position);
  pr.base = fitted;
  result.parameters = fitted;
  const Linearised at = LinearisedAt(problem, best.search.position);
  const std::vector<std::string> names = FreeNames(pr);
  CheckIdentifiable(at.J, names);
  CheckConverged(best.search.end);
  const std::vector<double> errors = StandardErrors(at, best.search.position, names);
  for (std::size_t k = 0; k < names.size(); ++k) result.errors[pr.freeIndex[k]] = errors[k];
  std::vector<std::vector<double>> others;
  for (std::size_t k = 0; k < searches.found.size(); ++k) {
    if (k != searches.best) others.push_back(searches.found[k].search.position);
  }
  return others;
}

// Where another search ended, as a candidate for another fit as good: its
// rms misfit over the fitted points, as the fit's own is reckoned.
std::vector<OtherFit> SteadyCandidates(const Problem& pr, const std::vector<std::vector<double>>& positions,
                                       double meanFPlus) {
  std::vector<OtherFit> candidates;
  std::vector<double> model;
  for (const std::vector<double>& position : positions) {
    OtherFit other;
    other.parameters = pr.ToParameters(position);
    other.parameters.beta = 1.0 - other.parameters.gamma;
    double ss = 0.0;
    bool ok = true;
    for (const CyclePoints& cp : pr.cycles) {
      ok = ok && ModelForces(other.parameters, cp, model);
      for (std::size_t k = 0; ok && k < model.size(); ++k) {
        const double r = model[k] - (*pr.F)[cp.index[k]];
        ss += r * r;
      }
    }
    other.rms = std::sqrt(ss / static_cast<double>(pr.total));
    other.rmsRelative = other.rms / meanFPlus;
    if (ok && std::isfinite(other.rms)) candidates.push_back(std::move(other));
  }
  return candidates;
}

}  // namespace

FitResult FitSteady(const std::vector<double>& u, const std::vector<double>& F, const CycleTable& table,
                    const FitOptions& options) {
  CheckFitInput(u, F, table, options);
  const std::vector<std::size_t> all = ChooseCycles(table, options, u.size());
  const std::vector<std::size_t> chosen = Spread(table, all);
  const ChosenCycles summary = CheckHysteresis(table, chosen);
  Problem pr = ProblemOf(u, F, table, chosen);
  const std::vector<Case> starts = StartingValues(u, F, table, chosen, summary.largest, options, pr);

  FitResult result;
  result.steady = true;
  result.spreadFrom = chosen.size() < all.size() ? all.size() : 0;
  result.startingValues = starts.front();
  for (std::size_t i = 0; i < 5; ++i) result.fixed[i] = !pr.free[i];
  result.parameters = starts.front();
  if (pr.total <= pr.freeIndex.size()) throw Refusal("too few points for the free parameters");

  std::vector<std::vector<double>> others;
  if (!pr.freeIndex.empty()) others = SearchSteady(pr, starts, options, result);
  FittedCycles(pr, table, chosen, summary.meanFPlus, result);
  KeepOtherFits(SteadyCandidates(pr, others, summary.meanFPlus), result);
  JudgeFit(u, table, result);
  return result;
}

}  // namespace quorix::measured
