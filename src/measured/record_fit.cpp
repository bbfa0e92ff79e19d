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
#include <gsl/gsl_errno.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "fit_steps.h"
#include "response.h"
#include "views.h"

namespace quorix::measured::detail {

namespace {

constexpr std::size_t kZ0 = 5;  // z0 beside the five model parameters
constexpr std::size_t kFreeCount = 6;
constexpr const char* kZ0Name = "z0";

// Samples beyond which the scan for starting values runs on a thinned
// history (every k-th sample and every reversal beyond the dead band).
constexpr std::size_t kScanSamples = 20000;

struct RecordProblem {
  const std::vector<double>* u = nullptr;
  const std::vector<double>* F = nullptr;
  std::size_t first = 0;  // samples that count: first … last
  std::size_t last = 0;
  std::array<bool, kFreeCount> free{};
  std::vector<std::size_t> freeIndex;
  Parameters base;
  double z0 = 0.0;
  // Scratch: z at every sample up to `last`, and beside it for a step.
  std::vector<double> z, stepped;

  std::size_t Rows() const { return last - first + 1; }

  void Read(const gsl_vector* x, Parameters& p, double& z) const {
    p = base;
    z = z0;
    for (std::size_t k = 0; k < freeIndex.size(); ++k) {
      const double v = gsl_vector_get(x, k);
      if (freeIndex[k] == kZ0) z = v;
      else At(p, freeIndex[k]) = v;
    }
  }
};

// z along the history up to sample `last`; false outside the model's domain.
bool ZAlong(const std::vector<double>& u, std::size_t last, const Parameters& p, double z0, std::vector<double>& z) {
  try {
    response::CheckParameters(p, z0);
  } catch (const response::ResponseError&) {
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
int Residuals(const gsl_vector* x, void* data, gsl_vector* f) {
  RecordProblem& pr = *static_cast<RecordProblem*>(data);
  Parameters p;
  double z0 = 0.0;
  pr.Read(x, p, z0);
  const std::vector<double>& u = *pr.u;
  const std::vector<double>& F = *pr.F;
  const bool ok = ZAlong(u, pr.last, p, z0, pr.z);
  const double elastic = p.alpha * p.Fy, hysteretic = (1.0 - p.alpha) * p.Fy;
  for (std::size_t k = pr.first; k <= pr.last; ++k) {
    const double model = elastic * (u[k] / p.Uy) + hysteretic * (ok ? pr.z[k] : 0.0);
    gsl_vector_set(f, k - pr.first, ok ? model - F[k] : 1e30 * (1.0 + std::fabs(F[k])));
  }
  return GSL_SUCCESS;
}

// The step of a forward difference in parameter i, and its direction where
// a forward step would leave the domain (z0 next to ±1).
double StepFor(std::size_t i, const Parameters& p, double z0) {
  if (i == kUy) return 3e-8 * p.Uy;
  if (i == kZ0) return z0 + 3e-8 < 1.0 ? 3e-8 : -3e-8;
  return 3e-8 * std::max(1.0, std::fabs(Get(p, i)));
}

int Jacobian(const gsl_vector* x, void* data, gsl_matrix* J) {
  RecordProblem& pr = *static_cast<RecordProblem*>(data);
  Parameters p;
  double z0 = 0.0;
  pr.Read(x, p, z0);
  const std::vector<double>& u = *pr.u;
  if (!ZAlong(u, pr.last, p, z0, pr.z)) return GSL_EDOM;
  const double hysteretic = (1.0 - p.alpha) * p.Fy;
  for (std::size_t k = 0; k < pr.freeIndex.size(); ++k) {
    const std::size_t which = pr.freeIndex[k];
    if (which == kAlpha || which == kFy) {
      for (std::size_t s = pr.first; s <= pr.last; ++s) {
        const double xs = u[s] / p.Uy;
        const double d = which == kAlpha ? p.Fy * (xs - pr.z[s]) : p.alpha * xs + (1.0 - p.alpha) * pr.z[s];
        gsl_matrix_set(J, s - pr.first, k, d);
      }
      continue;
    }
    const double h = StepFor(which, p, z0);
    Parameters q = p;
    double qz0 = z0;
    if (which == kZ0) qz0 += h;
    else At(q, which) += h;
    if (!ZAlong(u, pr.last, q, qz0, pr.stepped)) return GSL_EDOM;
    for (std::size_t s = pr.first; s <= pr.last; ++s) {
      double d = hysteretic * (pr.stepped[s] - pr.z[s]) / h;
      // x = u/Uy: the elastic force's own change with Uy.
      if (which == kUy) d += p.alpha * p.Fy * (-u[s] / (p.Uy * p.Uy));
      gsl_matrix_set(J, s - pr.first, k, d);
    }
  }
  return GSL_SUCCESS;
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

// A grid over n, γ and Uy around the knee estimate, each point with its best
// α and Fy (the force is linear in them), on the scan's samples.
Parameters ScanStart(const RecordProblem& pr, Parameters knee) {
  const std::vector<double>& u = *pr.u;
  const std::vector<double>& F = *pr.F;
  const std::vector<std::size_t> samples = ScanSamples(u, pr.last);
  std::vector<double> path;
  path.reserve(samples.size());
  for (std::size_t k : samples) path.push_back(u[k]);
  auto grid = [&](std::size_t i, std::vector<double> values) {
    if (!pr.free[i]) return std::vector<double>{Get(pr.base, i)};
    return values;
  };
  const std::vector<double> ns = grid(kN, {0.8, 1.2, 2.0, 3.0, 5.0, 8.0});
  const std::vector<double> gammas = grid(kGamma, {0.3, 0.6, 0.9});
  const std::vector<double> uys = grid(kUy, {0.6 * knee.Uy, knee.Uy, 1.6 * knee.Uy});
  Parameters best = knee;
  double bestCost = std::numeric_limits<double>::infinity();
  std::vector<double> z;
  for (double n : ns) {
    for (double g : gammas) {
      for (double uy : uys) {
        Parameters p = knee;
        p.n = n, p.gamma = g, p.Uy = uy;
        if (!pr.free[kAlpha]) p.alpha = pr.base.alpha;
        if (!pr.free[kFy]) p.Fy = pr.base.Fy;
        const Parameters unit{.n = n, .gamma = g, .alpha = 0.0, .Fy = 1.0, .Uy = uy};
        if (!ZAlong(path, path.size() - 1, unit, pr.z0, z)) continue;
        LinearSums sums;
        for (std::size_t j = 0; j < samples.size(); ++j) {
          if (samples[j] >= pr.first) sums.Add(1.0, u[samples[j]] / uy, z[j], F[samples[j]]);
        }
        const double cost = sums.Cost(pr.free[kAlpha], pr.free[kFy], p);
        if (cost < bestCost) bestCost = cost, best = p;
      }
    }
  }
  if (!std::isfinite(bestCost)) throw FitError("no starting point of the scan gives a model response");
  return best;
}

// The samples that count: those asked for, those of the chosen cycles, or
// all of them.
void ChooseSamples(const CycleTable& table, const FitOptions& options, std::size_t count, RecordProblem& pr) {
  pr.first = 0;
  pr.last = count - 1;
  if (options.samples) {
    const auto [a, b] = *options.samples;
    if (!(a < b && b < count)) {
      throw FitError("samples " + std::to_string(a + 1) + " to " + std::to_string(b + 1) +
                     ": the record has samples 1 to " + std::to_string(count));
    }
    pr.first = a, pr.last = b;
  } else if (!options.cycles.empty()) {
    const auto [low, high] = std::minmax_element(options.cycles.begin(), options.cycles.end());
    if (*high >= table.cycles.size()) {
      throw FitError("cycle " + std::to_string(*high + 1) + " does not exist: the record has " +
                     std::to_string(table.cycles.size()) + " cycle(s)");
    }
    pr.first = table.cycles[*low].first, pr.last = table.cycles[*high].last;
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

// Marks the free parameters and returns where the search starts: the knee
// estimate of the widest cycle with the held and given values put in, then
// the scan's best n, γ, Uy (and its α, Fy) for those not given.
Parameters StartingValues(const std::vector<double>& u, const std::vector<double>& F, const CycleTable& table,
                          std::size_t widest, const FitOptions& options, RecordProblem& pr) {
  Parameters start = GivenStart(KneeEstimate(u, F, table.cycles[widest]), options, pr.free.data());
  pr.free[kZ0] = options.fitZ0;
  pr.z0 = options.z0;
  pr.base = start;
  for (std::size_t i = 0; i < kFreeCount; ++i) {
    if (pr.free[i]) pr.freeIndex.push_back(i);
  }
  if (ScanWanted(options, pr.free.data())) {
    RecordProblem frame = pr;
    HoldGivenInScan(options, frame.free.data());
    TakeScanned(ScanStart(frame, start), options, pr.free.data(), start);
  }
  pr.base = start;
  return start;
}

// The model along the samples that count, the misfit, and each cycle's
// area under the model beside its measured one.
void FittedRecord(const RecordProblem& pr, const CycleTable& table, const std::vector<std::size_t>& cycles,
                  FitResult& result) {
  const std::vector<double>& u = *pr.u;
  const std::vector<double>& F = *pr.F;
  std::vector<double> z;
  if (!ZAlong(u, pr.last, result.parameters, result.z0, z)) {
    throw FitError("the model has no response at the fitted parameters");
  }
  const Parameters& p = result.parameters;
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
  double scale = 0.0;
  for (std::size_t c : cycles) {
    const Cycle& cycle = table.cycles[c];
    const std::vector<double> cu(u.begin() + cycle.first, u.begin() + cycle.last + 1);
    const std::vector<double> cF(model.begin() + cycle.first, model.begin() + cycle.last + 1);
    result.cycles.push_back({c, 0.5 * (cycle.uPlus - cycle.uMinus), cycle.EDC, ShoelaceArea(cu, cF)});
    scale += cycle.FPlus;
  }
  if (!cycles.empty()) {
    scale /= static_cast<double>(cycles.size());
  } else {
    for (std::size_t k = pr.first; k <= pr.last; ++k) scale = std::max(scale, std::fabs(F[k]));
  }
  result.rmsRelative = result.rms / scale;
}

}  // namespace

FitResult FitRecord(const std::vector<double>& u, const std::vector<double>& F, const CycleTable& table,
                    const FitOptions& options) {
  RecordProblem pr;
  pr.u = &u;
  pr.F = &F;
  ChooseSamples(table, options, u.size(), pr);
  try {
    response::CheckHistory(u, Parameters{.n = 1.0, .gamma = 0.5, .alpha = 0.0, .Fy = 1.0, .Uy = 1.0});
  } catch (const response::ResponseError& e) {
    throw FitError(e.what());
  }
  if (!(std::fabs(options.z0) < 1.0)) throw FitError("z0 must lie between -1 and 1: " + Shortest(options.z0));
  std::vector<std::size_t> cycles = CyclesWithin(table, pr);
  std::vector<std::size_t> judged = cycles;
  if (judged.empty()) {
    judged.resize(table.cycles.size());
    for (std::size_t i = 0; i < judged.size(); ++i) judged[i] = i;
  }
  const ChosenCycles summary = CheckHysteresis(table, judged);
  const Parameters start = StartingValues(u, F, table, summary.largest, options, pr);

  FitResult result;
  result.steady = false;
  result.startingValues = start;
  for (std::size_t i = 0; i < 5; ++i) result.fixed[i] = !pr.free[i];
  result.parameters = start;
  result.z0 = pr.z0;
  result.z0Fitted = pr.free[kZ0];
  if (pr.Rows() <= pr.freeIndex.size()) throw FitError("too few samples for the free parameters");

  gsl_set_error_handler_off();
  if (!pr.freeIndex.empty()) {
    gsl_multifit_nlinear_fdf fdf{};
    fdf.f = Residuals;
    fdf.df = Jacobian;
    fdf.n = pr.Rows();
    fdf.p = pr.freeIndex.size();
    fdf.params = &pr;
    std::vector<double> x0;
    std::vector<std::string> names;
    for (std::size_t i : pr.freeIndex) {
      x0.push_back(i == kZ0 ? pr.z0 : Get(start, i));
      names.emplace_back(i == kZ0 ? kZ0Name : kParameterNames[i]);
    }
    const Search search = LeastSquares(fdf, x0);
    result.iterations = search.iterations;
    for (std::size_t k = 0; k < pr.freeIndex.size(); ++k) {
      if (pr.freeIndex[k] == kZ0) result.z0 = search.position[k];
      else At(result.parameters, pr.freeIndex[k]) = search.position[k];
    }
    const Linearised at = LinearisedAt(fdf, search.position);
    CheckIdentifiable(at.J.get(), names);
    CheckConverged(search.status);
    // z0 may well be 0 (a specimen at rest): its error is judged against
    // the range of z instead.
    std::vector<double> bounds;
    for (std::size_t k = 0; k < pr.freeIndex.size(); ++k) {
      bounds.push_back(pr.freeIndex[k] == kZ0 ? 1.0 : std::fabs(search.position[k]));
    }
    const std::vector<double> errors = StandardErrors(at, search.position, names, bounds);
    for (std::size_t k = 0; k < pr.freeIndex.size(); ++k) {
      if (pr.freeIndex[k] == kZ0) result.z0Error = errors[k];
      else result.errors[pr.freeIndex[k]] = errors[k];
    }
  }
  FittedRecord(pr, table, cycles, result);
  return result;
}

}  // namespace quorix::measured::detail
