// The fit along the whole record: n, γ, α, Fy, Uy (and z0 when asked) whose
// exact response along the measured displacements, from z0 at the first
// sample, best matches the measured force at every sample that counts.
// Virgin loading, transient cycles and cycles of every amplitude all count,
// each sample with the same weight.
//
// Derivatives: α and Fy enter the force linearly, F = α·Fy·x + (1 − α)·Fy·z,
// and are differentiated exactly. n, γ, Uy and z0 act through z, whose
// sensitivity is carried across every reversal (the end of one stretch
// starts the next). Implicit differentiation of x − x₀ = H(z) − H(z₀) would
// need ∂G/∂n and ∂G/∂w at every stretch's start; forward differences of the
// exact response cost one more run each and, with the response accurate to
// about 1e-16, a step of 3e-8 leaves about 1e-8 of each derivative, far
// below what the search needs.
#include <Eigen/Core>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <limits>
#include <new>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "decimal.h"
#include "fit.h"
#include "fit_intervals.h"
#include "fit_steps.h"
#include "other_fits.h"
#include "record_sketch.h"
#include "response.h"
#include "views.h"

namespace quorix::measured {

using namespace detail;

namespace {

constexpr std::size_t kFreeCount = 6;  // the five model parameters and z0
constexpr const char* kZ0Name = "z0";

// Samples beyond which the scan for starting values runs on a thinned
// history (every k-th sample and every reversal beyond the dead band).
constexpr std::size_t kScanSamples = 20000;

struct RecordProblem {
  const std::vector<double>* u = nullptr;
  const std::vector<double>* F = nullptr;
  std::size_t first = 0;  // samples that count: first … last
  std::size_t last = 0;
  // √w of each sample of the path (a thinned copy's samples stand for
  // those between them); empty: every sample weighs 1.
  std::vector<double> rootWeight;
  std::array<bool, kFreeCount> free{};
  std::vector<std::size_t> freeIndex;
  Case base;
  double z0 = 0.0;
  // Scratch: z at every sample up to `last`, and beside it for a step.
  std::vector<double> z, stepped;

  std::size_t Rows() const { return last - first + 1; }
  double RootWeight(std::size_t k) const { return rootWeight.empty() ? 1.0 : rootWeight[k]; }

  void Read(const Eigen::VectorXd& x, Case& p, double& z) const {
    p = base;
    z = z0;
    for (std::size_t k = 0; k < freeIndex.size(); ++k) {
      const double v = x(k);
      if (freeIndex[k] == kZ0) z = v;
      else At(p, freeIndex[k]) = v;
    }
  }
};

// z along the history up to sample `last`; false outside the model's domain.
// z depends on n, γ and Uy alone: a trial step may take α below 0 or Fy
// through 0 (the fit reports such a result with a warning), so those two
// need only be numbers here.
bool ZAlong(const std::vector<double>& u, std::size_t last, const Case& p, double z0, std::vector<double>& z) {
  if (!std::isfinite(p.alpha) || !std::isfinite(p.Fy)) return false;
  Case shape = p;
  shape.alpha = 0.0;
  shape.Fy = 1.0;
  try {
    response::CheckParameters(shape, z0);
  } catch (const Refusal&) {
    return false;
  }
  z.resize(last + 1);
  response::Response r(p, z0, u[0]);
  z[0] = r.Z();
  for (std::size_t k = 1; k <= last; ++k) {
    r.Next(u[k]);
    z[k] = r.Z();
  }
  return true;
}

// Residuals F_model − F at the samples that count. A parameter set outside
// the model's domain gets huge residuals, which the trust region rejects as
// a step.
void Residuals(RecordProblem& pr, const Eigen::VectorXd& x, Eigen::VectorXd& f) {
  Case p;
  double z0 = 0.0;
  pr.Read(x, p, z0);
  const std::vector<double>& u = *pr.u;
  const std::vector<double>& F = *pr.F;
  const bool ok = ZAlong(u, pr.last, p, z0, pr.z);
  const double elastic = p.alpha * p.Fy, hysteretic = (1.0 - p.alpha) * p.Fy;
  for (std::size_t k = pr.first; k <= pr.last; ++k) {
    const double model = elastic * (u[k] / p.Uy) + hysteretic * (ok ? pr.z[k] : 0.0);
    f(k - pr.first) = ok ? pr.RootWeight(k) * (model - F[k]) : 1e30 * (1.0 + std::fabs(F[k]));
  }
}

// The step of a forward difference in parameter i, and its direction where
// a forward step would leave the domain (z0 next to ±1).
double StepFor(std::size_t i, const Case& p, double z0) {
  if (i == kUy) return 3e-8 * p.Uy;
  if (i == kZ0) return z0 + 3e-8 < 1.0 ? 3e-8 : -3e-8;
  return 3e-8 * std::max(1.0, std::fabs(Get(p, i)));
}

// False where the response, or its step for a derivative, leaves the
// model's domain.
bool Jacobian(RecordProblem& pr, const Eigen::VectorXd& x, Eigen::MatrixXd& J) {
  Case p;
  double z0 = 0.0;
  pr.Read(x, p, z0);
  const std::vector<double>& u = *pr.u;
  if (!ZAlong(u, pr.last, p, z0, pr.z)) return false;
  const double hysteretic = (1.0 - p.alpha) * p.Fy;
  for (std::size_t k = 0; k < pr.freeIndex.size(); ++k) {
    const std::size_t which = pr.freeIndex[k];
    if (which == kAlpha || which == kFy) {
      for (std::size_t s = pr.first; s <= pr.last; ++s) {
        const double xs = u[s] / p.Uy;
        const double d = which == kAlpha ? p.Fy * (xs - pr.z[s]) : p.alpha * xs + (1.0 - p.alpha) * pr.z[s];
        J(s - pr.first, k) = pr.RootWeight(s) * d;
      }
      continue;
    }
    const double h = StepFor(which, p, z0);
    Case q = p;
    double qz0 = z0;
    if (which == kZ0) qz0 += h;
    else At(q, which) += h;
    if (!ZAlong(u, pr.last, q, qz0, pr.stepped)) return false;
    for (std::size_t s = pr.first; s <= pr.last; ++s) {
      double d = hysteretic * (pr.stepped[s] - pr.z[s]) / h;
      // x = u/Uy: the elastic force's own change with Uy.
      if (which == kUy) d += p.alpha * p.Fy * (-u[s] / (p.Uy * p.Uy));
      J(s - pr.first, k) = pr.RootWeight(s) * d;
    }
  }
  return true;
}

// The least-squares problem of the search over `pr`'s samples that count.
LeastSquaresProblem ProblemFunctions(RecordProblem& pr) {
  LeastSquaresProblem problem;
  problem.rows = pr.Rows();
  problem.residuals = [&pr](const Eigen::VectorXd& x, Eigen::VectorXd& f) { Residuals(pr, x, f); };
  problem.jacobian = [&pr](const Eigen::VectorXd& x, Eigen::MatrixXd& J) { return Jacobian(pr, x, J); };
  return problem;
}

// The samples the scan runs on: all of them, or for a long record every
// k-th one with every reversal beyond the dead band kept, so that the
// thinned path still turns where the record does.
std::vector<std::size_t> ScanSamples(const std::vector<double>& u, std::size_t last) {
  std::vector<std::size_t> kept;
  const std::size_t stride = std::max<std::size_t>(1, (last + 1) / kScanSamples);
  std::vector<std::size_t> reversals;
  if (stride > 1) reversals = FindReversals(std::vector<double>(u.begin(), u.begin() + last + 1));
  std::size_t r = 0;
  for (std::size_t k = 0; k <= last; ++k) {
    const bool reversal = r < reversals.size() && reversals[r] == k;
    if (reversal) ++r;
    if (k % stride == 0 || reversal || k == last) kept.push_back(k);
  }
  return kept;
}

// The scan's grid (ScanStarts) around the knee estimate, each point with
// its best α and Fy (the force is linear in them), on the scan's samples:
// the starting points of the searches, best first.
std::vector<Case> ScanStart(const RecordProblem& pr, Case knee) {
  const std::vector<double>& u = *pr.u;
  const std::vector<double>& F = *pr.F;
  const std::vector<std::size_t> samples = ScanSamples(u, pr.last);
  std::vector<double> path;
  path.reserve(samples.size());
  for (std::size_t k : samples) path.push_back(u[k]);
  std::vector<double> z;
  const auto cost = [&](Case& p) {
    const Case unit{.n = p.n, .gamma = p.gamma, .alpha = 0.0, .Fy = 1.0, .Uy = p.Uy};
    if (!ZAlong(path, path.size() - 1, unit, pr.z0, z)) return std::numeric_limits<double>::infinity();
    LinearSums sums;
    for (std::size_t j = 0; j < samples.size(); ++j) {
      const double rw = pr.RootWeight(samples[j]);
      if (samples[j] >= pr.first) sums.Add(rw * rw, u[samples[j]] / p.Uy, z[j], F[samples[j]]);
    }
    return sums.Cost(pr.free[kAlpha], pr.free[kFy], p);
  };
  return ScanStarts(knee, pr.base, pr.free.data(), cost, "response", kStarts);
}

// The samples that count: those asked for, those of the chosen cycles, or
// all of them.
void ChooseSamples(const CycleTable& table, const FitOptions& options, std::size_t count, RecordProblem& pr) {
  pr.first = 0;
  pr.last = count - 1;
  if (options.samples) {
    const auto [a, b] = *options.samples;
    if (!(a < b && b < count)) {
      throw Refusal("samples " + std::to_string(a + 1) + " to " + std::to_string(b + 1) +
                    ": the record has samples 1 to " + std::to_string(count));
    }
    pr.first = a;
    pr.last = b;
  } else if (!options.cycles.empty()) {
    const auto [low, high] = std::minmax_element(options.cycles.begin(), options.cycles.end());
    if (*high >= table.cycles.size()) {
      throw Refusal("cycle " + std::to_string(*high + 1) + " does not exist: the record has " +
                    std::to_string(table.cycles.size()) + " cycle(s)");
    }
    pr.first = table.cycles[*low].first;
    pr.last = table.cycles[*high].last;
  }
}

// The cycles wholly inside the samples that count.
std::vector<std::size_t> CyclesWithin(const CycleTable& table, const RecordProblem& pr) {
  std::vector<std::size_t> inside;
  for (std::size_t i = 0; i < table.cycles.size(); ++i) {
    if (table.cycles[i].first >= pr.first && table.cycles[i].last <= pr.last) inside.push_back(i);
  }
  return inside;
}

// Marks the free parameters and returns where the searches start: the knee
// estimate of the widest cycle with the held and given values put in, then
// the scan's n, γ, Uy (and its α, Fy) for those not given, from its best
// point and its others (ScanStarts); the knee alone when nothing is scanned.
std::vector<Case> StartingValues(const std::vector<double>& u, const std::vector<double>& F, const CycleTable& table,
                          std::size_t widest, const FitOptions& options, RecordProblem& pr) {
  Case start = GivenStart(KneeEstimate(u, F, table.cycles[widest]), options, pr.free.data());
  pr.free[kZ0] = options.fitZ0;
  pr.z0 = options.z0;
  pr.base = start;
  for (std::size_t i = 0; i < kFreeCount; ++i) {
    if (pr.free[i]) pr.freeIndex.push_back(i);
  }
  std::vector<Case> starts{start};
  if (ScanWanted(options, pr.free.data())) {
    RecordProblem frame = pr;
    HoldGivenInScan(options, frame.free.data());
    const std::vector<Case> scanned = ScanStart(frame, start);
    starts.assign(scanned.size(), start);
    for (std::size_t k = 0; k < scanned.size(); ++k) TakeScanned(scanned[k], options, pr.free.data(), starts[k]);
  }
  pr.base = starts.front();
  return starts;
}

// What the rms misfit is reported relative to: the mean F⁺ of the cycles
// that count, or with no full cycle the largest |F| that counts.
double MisfitScale(const RecordProblem& pr, const CycleTable& table, const std::vector<std::size_t>& cycles) {
  double scale = 0.0;
  for (std::size_t c : cycles) scale += table.cycles[c].FPlus;
  if (!cycles.empty()) return scale / static_cast<double>(cycles.size());
  for (std::size_t k = pr.first; k <= pr.last; ++k) scale = std::max(scale, std::fabs((*pr.F)[k]));
  return scale;
}

// The model along the samples that count, the misfit, and each cycle's
// area under the model beside its measured one.
void FittedRecord(const RecordProblem& pr, const CycleTable& table, const std::vector<std::size_t>& cycles,
                  FitResult& result) {
  const std::vector<double>& u = *pr.u;
  const std::vector<double>& F = *pr.F;
  std::vector<double> z;
  if (!ZAlong(u, pr.last, result.parameters, result.z0, z)) {
    throw Refusal("the model has no response at the fitted parameters");
  }
  const Case& p = result.parameters;
  const double elastic = p.alpha * p.Fy, hysteretic = (1.0 - p.alpha) * p.Fy;
  std::vector<double> model(u.size());
  double ss = 0.0;
  for (std::size_t k = pr.first; k <= pr.last; ++k) {
    model[k] = elastic * (u[k] / p.Uy) + hysteretic * z[k];
    const double r = model[k] - F[k];
    ss += r * r;
    result.points.push_back(k);
    result.modelF.push_back(model[k]);
  }
  result.rms = std::sqrt(ss / static_cast<double>(pr.Rows()));
  for (std::size_t c : cycles) {
    const Cycle& cycle = table.cycles[c];
    const std::vector<double> cu(u.begin() + cycle.first, u.begin() + cycle.last + 1);
    const std::vector<double> cF(model.begin() + cycle.first, model.begin() + cycle.last + 1);
    result.cycles.push_back({c, 0.5 * (cycle.uPlus - cycle.uMinus), cycle.EDC, ShoelaceArea(cu, cF)});
  }
  result.rmsRelative = result.rms / MisfitScale(pr, table, cycles);
}

// The cycles the check for hysteresis judges: those within the samples
// that count, else all of the record's.
std::vector<std::size_t> JudgedCycles(const CycleTable& table, const std::vector<std::size_t>& within) {
  std::vector<std::size_t> judged = within;
  if (judged.empty()) {
    judged.resize(table.cycles.size());
    for (std::size_t i = 0; i < judged.size(); ++i) judged[i] = i;
  }
  return judged;
}

// The thinned copy's problem: its samples, those of them that count, and
// their weights.
RecordProblem ProblemOn(const Sketch& sketch) {
  RecordProblem copy;
  copy.u = &sketch.u;
  copy.F = &sketch.F;
  copy.first = sketch.first;
  copy.last = sketch.last;
  copy.rootWeight = sketch.rootWeight;
  return copy;
}

// The result before the search: the starting values, which parameters are
// held, and z0.
FitResult StartedResult(const RecordProblem& pr, const Case& start, std::size_t sketchSamples) {
  FitResult result;
  result.steady = false;
  result.startingValues = start;
  for (std::size_t i = 0; i < 5; ++i) result.fixed[i] = !pr.free[i];
  result.parameters = start;
  result.z0 = pr.z0;
  result.z0Fitted = pr.free[kZ0];
  result.sketchSamples = sketchSamples;
  return result;
}

// A long record's search, ended on the thinned copy, finished on every
// sample from there (record_sketch.h): the position it ends at, with `at`
// (J and f) there and the steps added to `iterations`.
std::vector<double> FinishOnEverySample(RecordProblem& pr, const Sketch& sketch, const std::vector<double>& from,
                                        const std::vector<std::string>& names, const FitOptions& options,
                                        Linearised& at, int& iterations) {
  const LeastSquaresProblem full = ProblemFunctions(pr);
  try {
    at.J.resize(full.rows, pr.freeIndex.size());
    at.f.resize(full.rows);
  } catch (const std::bad_alloc&) {
    throw Refusal("out of memory for the fit");
  }
  try {
    const Polished polished = Polish(full, pr.freeIndex, from, at.J, at.f, options.progress);
    iterations += polished.steps;
    CheckIdentifiable(at.J, names);
    return polished.position;
  } catch (const Refusal& e) {
    // Along a displacement that jitters the model loops at every turn,
    // where a force that did not follow the jitter stays put: no set of
    // parameters matches both, and the finish wanders off. The likely
    // cause comes first.
    if (sketch.noiseTurns == 0) throw;
    throw Refusal("the displacement turns back by less than " + decimal::ShortestText(100.0 * sketch.noiseBand) +
                  " % of its range at " + std::to_string(sketch.noiseTurns) + " of " + std::to_string(pr.last + 1) +
                  " samples (noise on u?), and the model run along it does not settle on the force: " + e.what() +
                  "; smooth the displacement before fitting");
  }
}

// The shift of the fitted position that the displacement's noise makes,
// and its scatter (NoisyDisplacementEffect), the noise read off u's second
// differences and the force's off its residual along the smoothed u; none
// along a displacement without noise. Each refit runs the response once
// for every parameter z depends on, and once more, along every sample.
DisplacementEffect BiasOfNoisyDisplacement(const RecordProblem& pr, const std::vector<double>& position,
                                           double sigma) {
  const Eigen::VectorXd x = Eigen::Map<const Eigen::VectorXd>(position.data(), static_cast<Eigen::Index>(position.size()));
  if (!(sigma > 0.0)) return NoisyDisplacementEffect({}, x, {}, {}, 0.0, 0.0, 0);
  const std::vector<double> smoothU = SmoothedDisplacement(*pr.u, sigma);
  const std::vector<double> none(pr.u->size(), 0.0);
  RecordProblem along = pr;
  along.u = &smoothU;
  along.F = &none;
  Eigen::VectorXd model(static_cast<Eigen::Index>(pr.Rows()));
  Residuals(along, x, model);
  std::vector<double> smoothF(pr.u->size(), 0.0), misses;
  for (std::size_t k = pr.first; k <= pr.last; ++k) {
    smoothF[k] = model(static_cast<Eigen::Index>(k - pr.first));
    misses.push_back(std::fabs((*pr.F)[k] - smoothF[k]));
  }
  // The force's noise from the median miss (1.4826·median |e| for normal
  // noise): where the smoothed path rounds a kink of the record the model
  // misses by more than noise, at a few samples only.
  const double sigmaF = 1.4826 * Median(std::move(misses));
  const auto linearised = [&along](const Eigen::VectorXd& at, const std::vector<double>& u, const std::vector<double>& F,
                                   Eigen::MatrixXd& J, Eigen::VectorXd& r) {
    along.u = &u;
    along.F = &F;
    J.resize(static_cast<Eigen::Index>(along.Rows()), at.size());
    r.resize(static_cast<Eigen::Index>(along.Rows()));
    if (!Jacobian(along, at, J)) return false;
    Residuals(along, at, r);
    return true;
  };
  return NoisyDisplacementEffect(linearised, x, smoothU, smoothF, sigma, sigmaF, SeedOf(*pr.u, *pr.F, pr.first, pr.last));
}

// The fitted position into the result's parameters and z0, and the
// standard errors at it.
void TakeFitted(const RecordProblem& pr, const std::vector<double>& position, const std::vector<std::string>& names,
                const Linearised& at, FitResult& result) {
  for (std::size_t k = 0; k < pr.freeIndex.size(); ++k) {
    if (pr.freeIndex[k] == kZ0) result.z0 = position[k];
    else At(result.parameters, pr.freeIndex[k]) = position[k];
  }
  // z0 may well be 0 (a specimen at rest): its error is judged against
  // the range of z instead.
  std::vector<double> bounds;
  for (std::size_t k = 0; k < pr.freeIndex.size(); ++k) {
    bounds.push_back(pr.freeIndex[k] == kZ0 ? 1.0 : std::fabs(position[k]));
  }
  const std::vector<double> errors = StandardErrors(at, position, names, bounds);
  const SandwichIntervals intervals = Sandwich(at.J, at.f, position);
  const DisplacementEffect noise = BiasOfNoisyDisplacement(pr, position, result.displacementNoise);
  const std::vector<double>& bias = noise.shift;
  for (std::size_t k = 0; k < pr.freeIndex.size(); ++k) {
    // Along a noisy displacement: about the value the shift corrects to,
    // as wide as the larger of the bootstrap's scatter (its own mean's
    // uncertainty beside) and the sandwich's, which holds residuals the
    // bootstrap's independent noise does not make (a model that misses).
    double half = intervals.halfWidths[k], centre = position[k];
    if (noise.moves > 1) {
      const double scatter = noise.variance[k] * (1.0 + 1.0 / noise.moves);
      half = std::max(half, intervals.quantile * std::sqrt(scatter));
      centre -= bias[k];
    }
    const std::array<double, 2> reach{centre - half, centre + half};
    if (pr.freeIndex[k] == kZ0) {
      result.z0Error = errors[k];
      result.z0Interval = reach;
      result.z0Bias = bias[k];
    } else {
      result.errors[pr.freeIndex[k]] = errors[k];
      result.intervals[pr.freeIndex[k]] = reach;
      result.displacementBias[pr.freeIndex[k]] = bias[k];
    }
  }
  result.intervalLag = intervals.lag;
}

// A held parameter's interval is its value; z0 held, likewise.
void HeldIntervals(FitResult& result) {
  result.hasIntervals = true;
  for (std::size_t i = 0; i < 5; ++i) {
    if (result.fixed[i]) result.intervals[i] = {Get(result.parameters, i), Get(result.parameters, i)};
  }
  if (!result.z0Fitted) result.z0Interval = {result.z0, result.z0};
}

// The searches for the free parameters from each start, on `searched` (the
// record's problem `pr`, or for a long record its thinned copy, `sketch`
// then non-null), the best finished on every sample, and the verdicts on
// what it found. Returns where the other searches ended.
std::vector<std::vector<double>> SearchRecord(RecordProblem& pr, RecordProblem& searched, const Sketch* sketch,
                                              const std::vector<Case>& starts, const FitOptions& options,
                                              FitResult& result) {
  const LeastSquaresProblem problem = ProblemFunctions(searched);
  std::vector<std::vector<double>> x0(starts.size());
  std::vector<std::string> names;
  for (std::size_t i : pr.freeIndex) {
    for (std::size_t k = 0; k < starts.size(); ++k) x0[k].push_back(i == kZ0 ? pr.z0 : Get(starts[k], i));
    names.emplace_back(i == kZ0 ? kZ0Name : kParameterNames[i]);
  }
  const std::string what = sketch != nullptr ? "search on " + std::to_string(sketch->index.size()) + " of " +
                                                   std::to_string(pr.last + 1) + " samples"
                                             : std::string("search");
  const LocalSearches searches = SearchFromEach(problem, x0, options.progress, what);
  const Search& search = searches.found[searches.best].search;
  result.starts = static_cast<int>(starts.size());
  result.startingValues = starts[searches.found[searches.best].start];

  result.iterations = search.iterations;
  std::vector<double> position = search.position;
  Linearised at = LinearisedAt(problem, search.position);
  // What the copy does not determine the record does not either (its
  // samples weigh what the record's do): refused before any run along
  // every sample.
  CheckIdentifiable(at.J, names);
  CheckConverged(search.end);
  if (sketch != nullptr) {
    position = FinishOnEverySample(pr, *sketch, search.position, names, options, at, result.iterations);
  }
  TakeFitted(pr, position, names, at, result);
  std::vector<std::vector<double>> others;
  for (std::size_t k = 0; k < searches.found.size(); ++k) {
    if (k != searches.best) others.push_back(searches.found[k].search.position);
  }
  return others;
}

// Where another search ended, as a candidate for another fit as good: its
// misfit over every sample that counts (a thinned copy's search is not
// finished on them: its misfit there is, if anything, a little high).
std::optional<OtherFit> CandidateAt(RecordProblem& pr, const std::vector<double>& position, double scale,
                                    const FitResult& fit) {
  OtherFit other;
  other.parameters = fit.parameters;
  other.z0 = fit.z0;
  for (std::size_t k = 0; k < pr.freeIndex.size(); ++k) {
    if (pr.freeIndex[k] == kZ0) other.z0 = position[k];
    else At(other.parameters, pr.freeIndex[k]) = position[k];
  }
  other.parameters.beta = 1.0 - other.parameters.gamma;
  std::vector<double> z;
  if (!ZAlong(*pr.u, pr.last, other.parameters, other.z0, z)) return std::nullopt;
  const Case& p = other.parameters;
  double ss = 0.0;
  for (std::size_t k = pr.first; k <= pr.last; ++k) {
    const double r = p.alpha * p.Fy * ((*pr.u)[k] / p.Uy) + (1.0 - p.alpha) * p.Fy * z[k] - (*pr.F)[k];
    ss += r * r;
  }
  other.rms = std::sqrt(ss / static_cast<double>(pr.Rows()));
  other.rmsRelative = other.rms / scale;
  if (!std::isfinite(other.rms)) return std::nullopt;
  return other;
}

}  // namespace

FitResult FitRecord(const std::vector<double>& u, const std::vector<double>& F, const CycleTable& table,
                    const FitOptions& options) {
  CheckFitInput(u, F, table, options);
  RecordProblem pr;
  pr.u = &u;
  pr.F = &F;
  ChooseSamples(table, options, u.size(), pr);
  response::CheckHistory(u, Case{.n = 1.0, .gamma = 0.5, .alpha = 0.0, .Fy = 1.0, .Uy = 1.0});
  if (!(std::fabs(options.z0) < 1.0))
    throw Refusal("z0 must lie between -1 and 1: " + decimal::ShortestText(options.z0));
  const std::vector<std::size_t> cycles = CyclesWithin(table, pr);
  const ChosenCycles summary = CheckHysteresis(table, JudgedCycles(table, cycles));
  // A long record: starting values and the search on the thinned copy.
  Sketch sketch;
  RecordProblem copy;
  const bool sketched = pr.last + 1 > kSketchSamples;
  if (sketched) {
    sketch = SketchOf(u, F, table, pr.first, pr.last);
    copy = ProblemOn(sketch);
  }
  RecordProblem& searched = sketched ? copy : pr;
  if (options.progress) options.progress("scan for starting values");
  const std::vector<Case> starts = StartingValues(u, F, table, summary.largest, options, searched);
  if (sketched) {
    pr.free = copy.free;
    pr.freeIndex = copy.freeIndex;
    pr.base = copy.base;
    pr.z0 = copy.z0;
  }
  FitResult result = StartedResult(pr, starts.front(), sketched ? sketch.index.size() : 0);
  // The displacement's noise, read once: the intervals allow for it and the
  // warnings judge it.
  std::tie(result.displacementNoise, result.medianStep) = NoiseAndStep(u);
  if (pr.Rows() <= pr.freeIndex.size()) throw Refusal("too few samples for the free parameters");
  std::vector<std::vector<double>> others;
  if (!pr.freeIndex.empty()) others = SearchRecord(pr, searched, sketched ? &sketch : nullptr, starts, options, result);
  FittedRecord(pr, table, cycles, result);
  HeldIntervals(result);
  std::vector<OtherFit> candidates;
  const double scale = MisfitScale(pr, table, cycles);
  for (const std::vector<double>& position : others) {
    if (auto other = CandidateAt(pr, position, scale, result)) candidates.push_back(std::move(*other));
  }
  KeepOtherFits(std::move(candidates), result);
  JudgeFit(u, table, result);
  return result;
}

}  // namespace quorix::measured
