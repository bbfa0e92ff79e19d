#include "fit.h"

#include <gsl/gsl_eigen.h>
#include <gsl/gsl_errno.h>
#include <gsl/gsl_matrix.h>
#include <gsl/gsl_multifit_nlinear.h>
#include <gsl/gsl_vector.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <memory>
#include <numeric>

#include "accurate.h"

namespace quorix::measured {

namespace {

enum Index : std::size_t { kN = 0, kGamma = 1, kAlpha = 2, kFy = 3, kUy = 4 };

double& At(Parameters& p, std::size_t i) {
  switch (i) {
    case kN: return p.n;
    case kGamma: return p.gamma;
    case kAlpha: return p.alpha;
    case kFy: return p.Fy;
    default: return p.Uy;
  }
}
double Get(Parameters p, std::size_t i) { return At(p, i); }

std::string Shortest(double v) {
  char buffer[32];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, v).ptr;
  return std::string(buffer, end);
}

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
  Parameters base;  // fixed values live here
  // Scratch.
  std::vector<double> model, model2, z, dUy;

  Parameters ToParameters(const gsl_vector* x) const {
    Parameters p = base;
    for (std::size_t k = 0; k < freeIndex.size(); ++k) At(p, freeIndex[k]) = gsl_vector_get(x, k);
    return p;
  }
};

// Weighted residuals sqrt(w)·(F_model − F). A parameter set without a model
// cycle gets huge residuals, which the trust region rejects as a step.
int Residuals(const gsl_vector* x, void* data, gsl_vector* f) {
  Problem& pr = *static_cast<Problem*>(data);
  const Parameters p = pr.ToParameters(x);
  std::size_t row = 0;
  for (std::size_t c = 0; c < pr.cycles.size(); ++c) {
    const CyclePoints& cp = pr.cycles[c];
    const bool ok = ModelForces(p, cp, pr.model);
    for (std::size_t k = 0; k < cp.index.size(); ++k, ++row) {
      const double measured = (*pr.F)[cp.index[k]];
      gsl_vector_set(f, row, ok ? pr.rootWeight[c] * (pr.model[k] - measured) : 1e30 * (1.0 + std::fabs(measured)));
    }
  }
  return GSL_SUCCESS;
}

// The Jacobian: α, Fy and Uy analytic; n and γ by forward differences of
// the accurate model (its relative error is near 1e-16, so a step of about
// 3e-8 leaves about 1e-8 of the derivative).
int Jacobian(const gsl_vector* x, void* data, gsl_matrix* J) {
  Problem& pr = *static_cast<Problem*>(data);
  const Parameters p = pr.ToParameters(x);
  std::size_t row = 0;
  for (std::size_t c = 0; c < pr.cycles.size(); ++c) {
    const CyclePoints& cp = pr.cycles[c];
    const double rw = pr.rootWeight[c];
    const std::size_t count = cp.index.size();
    if (!ModelForces(p, cp, pr.model, &pr.z, &pr.dUy)) return GSL_EDOM;
    for (std::size_t k = 0; k < pr.freeIndex.size(); ++k) {
      const std::size_t which = pr.freeIndex[k];
      if (which == kN || which == kGamma) {
        Parameters q = p;
        double h = 3e-8 * std::max(1.0, std::fabs(Get(p, which)));
        At(q, which) += h;
        if (!ModelForces(q, cp, pr.model2)) {
          h = -h;
          At(q, which) = Get(p, which) + h;
          if (!ModelForces(q, cp, pr.model2)) return GSL_EDOM;
        }
        for (std::size_t i = 0; i < count; ++i) gsl_matrix_set(J, row + i, k, rw * (pr.model2[i] - pr.model[i]) / h);
        continue;
      }
      for (std::size_t i = 0; i < count; ++i) {
        const double xPhys = cp.sign[i] * cp.frameU[i] / p.Uy;
        double d = 0.0;
        if (which == kAlpha) d = p.Fy * (xPhys - pr.z[i]);
        if (which == kFy) d = p.alpha * xPhys + (1.0 - p.alpha) * pr.z[i];
        if (which == kUy) d = pr.dUy[i];
        gsl_matrix_set(J, row + i, k, rw * d);
      }
    }
    row += count;
  }
  return GSL_SUCCESS;
}

// Chord slope of the measured branch from index a towards b, over the first
// point at least `share` of the branch's range away from a.
double ChordFrom(const std::vector<double>& u, const std::vector<double>& F, std::size_t a, std::size_t b,
                 double share) {
  const double range = std::fabs(u[b] - u[a]);
  const int step = b > a ? 1 : -1;
  for (std::size_t j = a; j != b; j += step) {
    if (std::fabs(u[j] - u[a]) >= share * range) return (F[j] - F[a]) / (u[j] - u[a]);
  }
  return (F[b] - F[a]) / (u[b] - u[a]);
}

// The force where the branch a..b crosses u = c, interpolated linearly.
double ForceAt(const std::vector<double>& u, const std::vector<double>& F, std::size_t a, std::size_t b, double c) {
  for (std::size_t j = a; j < b; ++j) {
    const double d0 = u[j] - c, d1 = u[j + 1] - c;
    if (d0 == 0.0) return F[j];
    if ((d0 < 0.0) != (d1 < 0.0)) return F[j] + (F[j + 1] - F[j]) * (d0 / (d0 - d1));
  }
  return F[b];
}

// Starting values from the largest cycle read as a bilinear loop: K0 the
// chord over the first 5 % of each branch after a reversal, Kp over the
// last quarter, Q half the gap between the branches at the centre; then
// α = Kp/K0, Fy = Q/(1 − α), Uy = Fy/K0.
Parameters KneeEstimate(const std::vector<double>& u, const std::vector<double>& F, const Cycle& c) {
  const double K0 = 0.5 * (ChordFrom(u, F, c.first, c.middle, 0.05) + ChordFrom(u, F, c.middle, c.last, 0.05));
  const double Kp = 0.5 * (ChordFrom(u, F, c.middle, c.first, 0.25) + ChordFrom(u, F, c.last, c.middle, 0.25));
  const double centre = 0.5 * (c.uPlus + c.uMinus);
  const double Q = 0.5 * std::fabs(ForceAt(u, F, c.first, c.middle, centre) - ForceAt(u, F, c.middle, c.last, centre));
  if (!(K0 > 0.0 && Q > 0.0 && std::isfinite(K0) && std::isfinite(Q))) {
    throw FitError("the loops have no initial stiffness or no gap between their branches: "
                   "the record does not show the hysteresis the model describes");
  }
  Parameters p;
  p.alpha = std::clamp(Kp / K0, 0.0, 0.9);
  p.Fy = Q / (1.0 - p.alpha);
  p.Uy = p.Fy / K0;
  p.n = 2.0;
  p.gamma = 0.5;
  return p;
}

// For given n, γ and Uy the force is linear in a = α·Fy and b = (1 − α)·Fy:
// F = a·x + b·z. Solves that least-squares problem (honouring a fixed α or
// Fy) and returns the weighted cost, +∞ when the model has no cycle.
double ProjectedCost(const Problem& pr, const std::vector<double>& F, Parameters& p) {
  double sxx = 0, sxz = 0, szz = 0, sxf = 0, szf = 0, sff = 0;
  std::vector<double> model, z;
  for (std::size_t c = 0; c < pr.cycles.size(); ++c) {
    const CyclePoints& cp = pr.cycles[c];
    Parameters unit = p;
    unit.alpha = 0.0;
    unit.Fy = 1.0;
    if (!ModelForces(unit, cp, model, &z)) return std::numeric_limits<double>::infinity();
    const double w = pr.rootWeight[c] * pr.rootWeight[c];
    for (std::size_t i = 0; i < z.size(); ++i) {
      const double x = cp.sign[i] * cp.frameU[i] / p.Uy;
      const double f = F[cp.index[i]];
      sxx += w * x * x, sxz += w * x * z[i], szz += w * z[i] * z[i];
      sxf += w * x * f, szf += w * z[i] * f, sff += w * f * f;
    }
  }
  double a = 0.0, b = 0.0;
  if (!pr.free[kAlpha] && !pr.free[kFy]) {
    a = p.alpha * p.Fy, b = (1.0 - p.alpha) * p.Fy;
  } else if (!pr.free[kAlpha]) {  // F = Fy·g, g = α·x + (1 − α)·z
    const double al = p.alpha;
    const double sgg = al * al * sxx + 2 * al * (1 - al) * sxz + (1 - al) * (1 - al) * szz;
    const double Fy = (al * sxf + (1 - al) * szf) / sgg;
    a = al * Fy, b = (1 - al) * Fy;
  } else if (!pr.free[kFy]) {  // F − Fy·z = α·Fy·(x − z)
    const double Fy = p.Fy;
    const double sdd = sxx - 2 * sxz + szz;
    const double al = ((sxf - szf) - Fy * (sxz - szz)) / (Fy * sdd);
    a = al * Fy, b = (1 - al) * Fy;
  } else {
    const double det = sxx * szz - sxz * sxz;
    if (!(det > 0.0)) return std::numeric_limits<double>::infinity();
    a = (sxf * szz - szf * sxz) / det;
    b = (szf * sxx - sxf * sxz) / det;
  }
  const double cost = sff - 2 * (a * sxf + b * szf) + a * a * sxx + 2 * a * b * sxz + b * b * szz;
  p.Fy = a + b;
  p.alpha = p.Fy != 0.0 ? a / p.Fy : 0.0;
  return std::isfinite(cost) ? cost : std::numeric_limits<double>::infinity();
}

// A short scan over n, γ and Uy around the knee estimate, on at most about
// 200 points a cycle, each point of the grid with its best α and Fy.
Parameters ScanStart(const std::vector<double>& u, const std::vector<double>& F, const CycleTable& table,
                     const std::vector<std::size_t>& chosen, const Problem& full, Parameters knee) {
  Problem pr;
  pr.free = full.free;
  for (std::size_t c = 0; c < chosen.size(); ++c) {
    const Cycle& cycle = table.cycles[chosen[c]];
    const std::size_t stride = std::max<std::size_t>(1, (cycle.last - cycle.first) / 200);
    pr.cycles.push_back(PointsOf(u, cycle, stride));
    pr.rootWeight.push_back(1.0 / std::sqrt(static_cast<double>(pr.cycles.back().index.size())));
  }
  auto grid = [&](std::size_t i, std::vector<double> values) {
    if (!full.free[i]) return std::vector<double>{Get(full.base, i)};
    return values;
  };
  const std::vector<double> ns = grid(kN, {0.8, 1.2, 2.0, 3.0, 5.0, 8.0});
  const std::vector<double> gammas = grid(kGamma, {0.3, 0.6, 0.9});
  std::vector<double> uys = grid(kUy, {0.6 * knee.Uy, knee.Uy, 1.6 * knee.Uy});
  Parameters best = knee;
  double bestCost = std::numeric_limits<double>::infinity();
  for (double n : ns) {
    for (double g : gammas) {
      for (double uy : uys) {
        Parameters p = knee;
        p.n = n, p.gamma = g, p.Uy = uy;
        if (!full.free[kAlpha]) p.alpha = full.base.alpha;
        if (!full.free[kFy]) p.Fy = full.base.Fy;
        const double cost = ProjectedCost(pr, F, p);
        if (cost < bestCost) bestCost = cost, best = p;
      }
    }
  }
  if (!std::isfinite(bestCost)) throw FitError("no starting point of the scan gives a model loop");
  return best;
}

// GSL's vectors and matrices, freed when they go out of scope.
template <class T>
using Owned = std::unique_ptr<T, void (*)(T*)>;
Owned<gsl_vector> NewVector(std::size_t size) { return {gsl_vector_alloc(size), gsl_vector_free}; }
Owned<gsl_matrix> NewMatrix(std::size_t rows, std::size_t columns) {
  return {gsl_matrix_alloc(rows, columns), gsl_matrix_free};
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
  if (chosen.empty()) throw FitError("there is no cycle to fit");
  for (std::size_t c : chosen) {
    if (c >= table.cycles.size() || table.cycles[c].last >= pointCount) {
      throw FitError("cycle " + std::to_string(c + 1) + " does not exist: the record has " +
                     std::to_string(table.cycles.size()) + " cycle(s)");
    }
  }
  std::sort(chosen.begin(), chosen.end());
  chosen.erase(std::unique(chosen.begin(), chosen.end()), chosen.end());
  return chosen;
}

struct ChosenCycles {
  double meanFPlus = 0.0;   // the rms misfit is reported relative to it
  std::size_t largest = 0;  // the widest cycle, read for the starting values
};

// No hysteresis, nothing to identify: an elastic record, or cycles so
// small that the loop has closed up, must not get a made-up fit.
ChosenCycles CheckHysteresis(const CycleTable& table, const std::vector<std::size_t>& chosen) {
  double areaShare = 0.0;
  ChosenCycles summary;
  summary.largest = chosen.front();
  for (std::size_t c : chosen) {
    const Cycle& cy = table.cycles[c];
    const double box = (cy.uPlus - cy.uMinus) * (cy.FPlus - cy.FMinus);
    areaShare += box > 0.0 ? cy.EDC / box : 0.0;
    summary.meanFPlus += cy.FPlus;
    const Cycle& widest = table.cycles[summary.largest];
    if (cy.uPlus - cy.uMinus > widest.uPlus - widest.uMinus) summary.largest = c;
  }
  areaShare /= static_cast<double>(chosen.size());
  summary.meanFPlus /= static_cast<double>(chosen.size());
  if (!(areaShare > 2e-3)) {
    throw FitError("the cycles enclose almost no area (EDC is " + Shortest(100.0 * areaShare) +
                   " % of the rectangle u+ - u-, F+ - F-): without hysteresis the Bouc-Wen parameters "
                   "cannot be identified");
  }
  return summary;
}

// Every point of the chosen cycles, each cycle weighing the same however
// densely it was sampled.
Problem ProblemOf(const std::vector<double>& u, const std::vector<double>& F, const CycleTable& table,
                  const std::vector<std::size_t>& chosen) {
  Problem pr;
  pr.F = &F;
  for (std::size_t c : chosen) {
    pr.cycles.push_back(PointsOf(u, table.cycles[c]));
    pr.total += pr.cycles.back().index.size();
  }
  for (const CyclePoints& cp : pr.cycles) {
    pr.rootWeight.push_back(
        std::sqrt(static_cast<double>(pr.total) / (static_cast<double>(pr.cycles.size()) * cp.index.size())));
  }
  return pr;
}

// Marks the free parameters in `pr` and returns where the search starts:
// the knee estimate of the widest cycle with the held and the given values
// put in, then, unless n, γ and Uy are all held or given, the best point of
// the scan for those that are not.
Parameters StartingValues(const std::vector<double>& u, const std::vector<double>& F, const CycleTable& table,
                          const std::vector<std::size_t>& chosen, std::size_t largest, const FitOptions& options,
                          Problem& pr) {
  Parameters start = KneeEstimate(u, F, table.cycles[largest]);
  for (std::size_t i = 0; i < 5; ++i) {
    pr.free[i] = !options.fixed[i].has_value();
    if (options.fixed[i]) At(start, i) = *options.fixed[i];
    else if (options.start[i]) At(start, i) = *options.start[i];
  }
  pr.base = start;
  for (std::size_t i = 0; i < 5; ++i) {
    if (pr.free[i]) pr.freeIndex.push_back(i);
  }
  const bool scan = std::any_of(pr.freeIndex.begin(), pr.freeIndex.end(), [&](std::size_t i) {
    return (i == kN || i == kGamma || i == kUy) && !options.start[i];
  });
  if (scan) {
    Problem scanFrame = pr;
    for (std::size_t i : {kN, kGamma, kUy}) {
      if (options.start[i]) scanFrame.free[i] = false;
    }
    const Parameters scanned = ScanStart(u, F, table, chosen, scanFrame, start);
    for (std::size_t i = 0; i < 5; ++i) {
      if (pr.free[i] && !options.start[i]) At(start, i) = Get(scanned, i);
    }
  }
  return start;
}

struct Search {
  Parameters fitted;
  int status = GSL_SUCCESS;
  int iterations = 0;
};

// The trust-region Levenberg-Marquardt search on the weighted residuals
// from `start`, over the free parameters (at least one).
Search LeastSquares(Problem& pr, const Parameters& start) {
  const std::size_t p = pr.freeIndex.size();
  gsl_multifit_nlinear_fdf fdf{};
  fdf.f = Residuals;
  fdf.df = Jacobian;
  fdf.fvv = nullptr;
  fdf.n = pr.total;
  fdf.p = p;
  fdf.params = &pr;
  gsl_multifit_nlinear_parameters params = gsl_multifit_nlinear_default_parameters();
  params.trs = gsl_multifit_nlinear_trs_lm;
  params.scale = gsl_multifit_nlinear_scale_more;
  Owned<gsl_multifit_nlinear_workspace> work(gsl_multifit_nlinear_alloc(gsl_multifit_nlinear_trust, &params, pr.total, p),
                                             gsl_multifit_nlinear_free);
  Owned<gsl_vector> x0 = NewVector(p);
  if (!work || !x0) throw FitError("out of memory for the fit");
  for (std::size_t k = 0; k < p; ++k) gsl_vector_set(x0.get(), k, Get(start, pr.freeIndex[k]));
  if (gsl_multifit_nlinear_init(x0.get(), &fdf, work.get()) != GSL_SUCCESS) {
    throw FitError("the model cannot be evaluated at the starting values");
  }
  Search search;
  int info = 0;
  search.status = gsl_multifit_nlinear_driver(100, 1e-13, 1e-13, 0.0, nullptr, nullptr, &info, work.get());
  search.iterations = static_cast<int>(gsl_multifit_nlinear_niter(work.get()));
  search.fitted = pr.ToParameters(gsl_multifit_nlinear_position(work.get()));
  pr.base = search.fitted;
  return search;
}

struct Linearised {
  Owned<gsl_matrix> J;  // ∂ residual / ∂ free parameter
  Owned<gsl_vector> f;  // the weighted residuals
};

// The Jacobian and the residuals at the fitted parameters.
Linearised LinearisedAt(Problem& pr, const Parameters& fitted) {
  const std::size_t p = pr.freeIndex.size();
  Linearised at{NewMatrix(pr.total, p), NewVector(pr.total)};
  Owned<gsl_vector> xf = NewVector(p);
  for (std::size_t k = 0; k < p; ++k) gsl_vector_set(xf.get(), k, Get(fitted, pr.freeIndex[k]));
  if (Jacobian(xf.get(), &pr, at.J.get()) != GSL_SUCCESS || Residuals(xf.get(), &pr, at.f.get()) != GSL_SUCCESS) {
    throw FitError("the model cannot be evaluated at the fitted parameters");
  }
  return at;
}

// Identifiability: the correlation form of JᵀJ (unit diagonal) must not be
// near singular, whatever the noise (a noiseless record has s² = 0 and
// would otherwise pass with zero errors). Records at three amplitudes give a
// smallest eigenvalue near 1e-2 of the largest; one small cycle, whose loop
// is nearly a line, below 1e-8. The refusal names the parameters of the
// weakest direction.
void CheckIdentifiable(const gsl_matrix* J, const Problem& pr) {
  const std::size_t p = pr.freeIndex.size();
  Owned<gsl_matrix> JtJ(gsl_matrix_calloc(p, p), gsl_matrix_free);
  for (std::size_t a = 0; a < p; ++a) {
    for (std::size_t b = 0; b < p; ++b) {
      double s = 0.0;
      for (std::size_t r = 0; r < pr.total; ++r) s += gsl_matrix_get(J, r, a) * gsl_matrix_get(J, r, b);
      gsl_matrix_set(JtJ.get(), a, b, s);
    }
  }
  Owned<gsl_matrix> C = NewMatrix(p, p);
  for (std::size_t a = 0; a < p; ++a) {
    for (std::size_t b = 0; b < p; ++b) {
      const double daa = gsl_matrix_get(JtJ.get(), a, a), dbb = gsl_matrix_get(JtJ.get(), b, b);
      gsl_matrix_set(C.get(), a, b, gsl_matrix_get(JtJ.get(), a, b) / std::sqrt(daa * dbb));
    }
  }
  Owned<gsl_vector> eval = NewVector(p);
  Owned<gsl_matrix> evec = NewMatrix(p, p);
  Owned<gsl_eigen_symmv_workspace> ew(gsl_eigen_symmv_alloc(p), gsl_eigen_symmv_free);
  const bool decomposed = gsl_eigen_symmv(C.get(), eval.get(), evec.get(), ew.get()) == GSL_SUCCESS;
  double lmin = std::numeric_limits<double>::infinity(), lmax = 0.0;
  std::size_t kmin = 0;
  for (std::size_t k = 0; decomposed && k < p; ++k) {
    const double l = gsl_vector_get(eval.get(), k);
    if (l < lmin) lmin = l, kmin = k;
    lmax = std::max(lmax, l);
  }
  std::string involved;
  if (decomposed) {
    for (std::size_t k = 0; k < p; ++k) {
      if (std::fabs(gsl_matrix_get(evec.get(), k, kmin)) > 0.3) {
        involved += std::string(involved.empty() ? "" : ", ") + kParameterNames[pr.freeIndex[k]];
      }
    }
  }
  if (!decomposed || !(lmin > 1e-6 * lmax)) {
    throw FitError("the record does not determine " + (involved.empty() ? std::string("the parameters") : involved) +
                   " (they trade off against each other); record cycles at more amplitudes or fix some "
                   "with NAME=VALUE");
  }
}

// GSL_ENOPROG: no step lowers the misfit any more, which at a minimum
// reached to rounding is the normal end. A search that wanders off has
// usually met a valley the record does not determine, which
// CheckIdentifiable reports first.
void CheckConverged(int status) {
  if (status != GSL_SUCCESS && status != GSL_ENOPROG) {
    throw FitError(std::string("the fit did not converge (") + gsl_strerror(status) +
                   "); give starting values with NAME=VALUE or fix some parameters");
  }
}

// Standard errors: cov = s²·(JᵀWJ)⁻¹, s² the weighted residual variance;
// 0 for a held parameter. A parameter whose error exceeds its value is not
// determined by the record.
std::array<double, 5> StandardErrors(const Linearised& at, const Problem& pr, const Parameters& fitted) {
  const std::size_t p = pr.freeIndex.size();
  Owned<gsl_matrix> cov = NewMatrix(p, p);
  gsl_multifit_nlinear_covar(at.J.get(), 0.0, cov.get());
  double ss = 0.0;
  for (std::size_t r = 0; r < pr.total; ++r) ss += gsl_vector_get(at.f.get(), r) * gsl_vector_get(at.f.get(), r);
  const double s2 = ss / static_cast<double>(pr.total - p);
  std::array<double, 5> errors{};
  for (std::size_t k = 0; k < p; ++k) {
    const std::size_t i = pr.freeIndex[k];
    errors[i] = std::sqrt(s2 * gsl_matrix_get(cov.get(), k, k));
    if (!(errors[i] <= std::fabs(Get(fitted, i)))) {
      throw FitError(std::string("the record does not determine ") + kParameterNames[i] + ": its standard error (" +
                     Shortest(errors[i]) + ") exceeds its value (" + Shortest(Get(fitted, i)) +
                     "); record cycles at more amplitudes or fix it with " + kParameterNames[i] + "=VALUE");
    }
  }
  return errors;
}

// The model at every fitted point (in record order), the misfit, and each
// cycle's dissipated energy beside its measured area.
void FittedCycles(const Problem& pr, const CycleTable& table, const std::vector<std::size_t>& chosen,
                  double meanFPlus, FitResult& result) {
  const Parameters& fitted = result.parameters;
  const std::vector<double>& F = *pr.F;
  std::vector<double> model;
  double ss = 0.0;
  std::vector<std::pair<std::size_t, double>> byIndex;
  byIndex.reserve(pr.total);
  for (std::size_t c = 0; c < pr.cycles.size(); ++c) {
    const CyclePoints& cp = pr.cycles[c];
    if (!ModelForces(fitted, cp, model)) throw FitError("the model has no cycle at the fitted parameters");
    for (std::size_t k = 0; k < model.size(); ++k) {
      const double r = model[k] - F[cp.index[k]];
      ss += r * r;
      byIndex.emplace_back(cp.index[k], model[k]);
    }
    BoucWenCase bw = CaseOf(fitted, cp.halfRange / fitted.Uy);
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

}  // namespace

HysteresisLoop ModelLoop(const Parameters& p, double halfRange, double centre, int pointsPerBranch) {
  BoucWenCase bw = CaseOf(p, halfRange / p.Uy);
  try {
    accurate::Solve(bw);
  } catch (const accurate::DomainError&) {
    return {};
  }
  HysteresisLoop loop = LoopOf(bw, pointsPerBranch, accurate::BranchIntegral);
  for (double& u : loop.u) u += centre;
  return loop;
}

std::optional<std::size_t> ParameterIndex(std::string_view name) {
  std::string lower(name);
  for (char& ch : lower) ch = static_cast<char>(ch >= 'A' && ch <= 'Z' ? ch - 'A' + 'a' : ch);
  for (std::size_t i = 0; i < kParameterNames.size(); ++i) {
    std::string known = kParameterNames[i];
    for (char& ch : known) ch = static_cast<char>(ch >= 'A' && ch <= 'Z' ? ch - 'A' + 'a' : ch);
    if (lower == known) return i;
  }
  if (lower == "beta") return kGamma;
  return std::nullopt;
}

void SetParameter(std::array<std::optional<double>, 5>& where, std::string_view assignment) {
  const std::size_t eq = assignment.find('=');
  if (eq == std::string_view::npos) {
    throw FitError("\"" + std::string(assignment) + "\" is not NAME=VALUE (names: n, gamma, beta, alpha, Fy, Uy)");
  }
  const std::string_view name = assignment.substr(0, eq);
  std::string_view text = assignment.substr(eq + 1);
  const auto index = ParameterIndex(name);
  if (!index) throw FitError("unknown parameter \"" + std::string(name) + "\" (names: n, gamma, beta, alpha, Fy, Uy)");
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  double value = 0.0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
    throw FitError("the value of " + std::string(name) + " is not a finite number: \"" +
                   std::string(assignment.substr(eq + 1)) + "\"");
  }
  const bool beta = name.size() == 4 && (name[0] == 'b' || name[0] == 'B');
  where[*index] = beta ? 1.0 - value : value;
}

FitResult FitCycles(const std::vector<double>& u, const std::vector<double>& F, const CycleTable& table,
                    const FitOptions& options) {
  if (u.size() != F.size()) throw FitError("displacements and forces differ in number");
  const std::vector<std::size_t> chosen = ChooseCycles(table, options, u.size());
  const ChosenCycles summary = CheckHysteresis(table, chosen);
  Problem pr = ProblemOf(u, F, table, chosen);
  const Parameters start = StartingValues(u, F, table, chosen, summary.largest, options, pr);

  FitResult result;
  result.steady = true;
  result.startingValues = start;
  for (std::size_t i = 0; i < 5; ++i) result.fixed[i] = !pr.free[i];
  result.parameters = start;
  if (pr.total <= pr.freeIndex.size()) throw FitError("too few points for the free parameters");

  gsl_set_error_handler_off();
  if (!pr.freeIndex.empty()) {
    const Search search = LeastSquares(pr, start);
    result.iterations = search.iterations;
    result.parameters = search.fitted;
    const Linearised at = LinearisedAt(pr, search.fitted);
    CheckIdentifiable(at.J.get(), pr);
    CheckConverged(search.status);
    result.errors = StandardErrors(at, pr, search.fitted);
  }
  FittedCycles(pr, table, chosen, summary.meanFPlus, result);
  return result;
}

}  // namespace quorix::measured
