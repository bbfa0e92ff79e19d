#include "fit_steps.h"

#include <gsl/gsl_eigen.h>
#include <gsl/gsl_errno.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "decimal.h"

namespace quorix::measured::detail {

namespace {

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

}  // namespace

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

std::string Shortest(double v) { return decimal::ShortestText(v); }

Owned<gsl_vector> NewVector(std::size_t size) { return {gsl_vector_alloc(size), gsl_vector_free}; }
Owned<gsl_matrix> NewMatrix(std::size_t rows, std::size_t columns) {
  return {gsl_matrix_alloc(rows, columns), gsl_matrix_free};
}

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

double LinearSums::Cost(bool alphaFree, bool FyFree, Parameters& p) const {
  double a = 0.0, b = 0.0;
  if (!alphaFree && !FyFree) {
    a = p.alpha * p.Fy, b = (1.0 - p.alpha) * p.Fy;
  } else if (!alphaFree) {  // F = Fy·g, g = α·x + (1 − α)·z
    const double al = p.alpha;
    const double sgg = al * al * sxx + 2 * al * (1 - al) * sxz + (1 - al) * (1 - al) * szz;
    const double Fy = (al * sxf + (1 - al) * szf) / sgg;
    a = al * Fy, b = (1 - al) * Fy;
  } else if (!FyFree) {  // F − Fy·z = α·Fy·(x − z)
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

Parameters GivenStart(Parameters knee, const FitOptions& options, bool free[5]) {
  for (std::size_t i = 0; i < 5; ++i) {
    free[i] = !options.fixed[i].has_value();
    if (options.fixed[i]) At(knee, i) = *options.fixed[i];
    else if (options.start[i]) At(knee, i) = *options.start[i];
  }
  return knee;
}

bool ScanWanted(const FitOptions& options, const bool free[5]) {
  for (std::size_t i : {kN, kGamma, kUy}) {
    if (free[i] && !options.start[i]) return true;
  }
  return false;
}

void HoldGivenInScan(const FitOptions& options, bool free[5]) {
  for (std::size_t i : {kN, kGamma, kUy}) {
    if (options.start[i]) free[i] = false;
  }
}

void TakeScanned(const Parameters& scanned, const FitOptions& options, const bool free[5], Parameters& start) {
  for (std::size_t i = 0; i < 5; ++i) {
    if (free[i] && !options.start[i]) At(start, i) = Get(scanned, i);
  }
}

namespace {

struct Listener {
  const std::function<void(const std::string&)>* progress;
  const std::string* what;
};

void OnIteration(const std::size_t iteration, void* data, const gsl_multifit_nlinear_workspace*) {
  const Listener& l = *static_cast<const Listener*>(data);
  (*l.progress)(*l.what + ", iteration " + std::to_string(iteration));
}

}  // namespace

Search LeastSquares(gsl_multifit_nlinear_fdf& fdf, const std::vector<double>& start,
                    const std::function<void(const std::string&)>& progress, const std::string& what) {
  const std::size_t p = start.size();
  gsl_multifit_nlinear_parameters params = gsl_multifit_nlinear_default_parameters();
  params.trs = gsl_multifit_nlinear_trs_lm;
  params.scale = gsl_multifit_nlinear_scale_more;
  Owned<gsl_multifit_nlinear_workspace> work(gsl_multifit_nlinear_alloc(gsl_multifit_nlinear_trust, &params, fdf.n, p),
                                             gsl_multifit_nlinear_free);
  Owned<gsl_vector> x0 = NewVector(p);
  if (!work || !x0) throw FitError("out of memory for the fit");
  for (std::size_t k = 0; k < p; ++k) gsl_vector_set(x0.get(), k, start[k]);
  if (gsl_multifit_nlinear_init(x0.get(), &fdf, work.get()) != GSL_SUCCESS) {
    throw FitError("the model cannot be evaluated at the starting values");
  }
  Search search;
  int info = 0;
  Listener listener{&progress, &what};
  search.status = gsl_multifit_nlinear_driver(100, 1e-13, 1e-13, 0.0, progress ? OnIteration : nullptr,
                                              progress ? &listener : nullptr, &info, work.get());
  search.iterations = static_cast<int>(gsl_multifit_nlinear_niter(work.get()));
  const gsl_vector* x = gsl_multifit_nlinear_position(work.get());
  for (std::size_t k = 0; k < p; ++k) search.position.push_back(gsl_vector_get(x, k));
  return search;
}

Linearised LinearisedAt(gsl_multifit_nlinear_fdf& fdf, const std::vector<double>& x) {
  const std::size_t p = x.size();
  Linearised at{NewMatrix(fdf.n, p), NewVector(fdf.n)};
  Owned<gsl_vector> xf = NewVector(p);
  for (std::size_t k = 0; k < p; ++k) gsl_vector_set(xf.get(), k, x[k]);
  if (fdf.df(xf.get(), fdf.params, at.J.get()) != GSL_SUCCESS ||
      fdf.f(xf.get(), fdf.params, at.f.get()) != GSL_SUCCESS) {
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
void CheckIdentifiable(const gsl_matrix* J, const std::vector<std::string>& names) {
  const std::size_t p = names.size();
  const std::size_t rows = J->size1;
  Owned<gsl_matrix> JtJ(gsl_matrix_calloc(p, p), gsl_matrix_free);
  for (std::size_t a = 0; a < p; ++a) {
    for (std::size_t b = 0; b < p; ++b) {
      double s = 0.0;
      for (std::size_t r = 0; r < rows; ++r) s += gsl_matrix_get(J, r, a) * gsl_matrix_get(J, r, b);
      gsl_matrix_set(JtJ.get(), a, b, s);
    }
  }
  CheckIdentifiableNormal(JtJ.get(), names);
}

// A parameter the model's force does not move at all (n so large that the
// loop is bilinear, where a step in n or γ changes no sample) has a zero
// column: its correlation is 0/0, whose NaN eigenvalues would compare false
// with every bound and let the fit through with zero errors. It is named.
void CheckIdentifiableNormal(const gsl_matrix* JtJ, const std::vector<std::string>& names) {
  const std::size_t p = names.size();
  for (std::size_t a = 0; a < p; ++a) {
    const double daa = gsl_matrix_get(JtJ, a, a);
    if (!(daa > 0.0 && std::isfinite(daa))) {
      throw FitError("the record does not determine " + names[a] +
                     ": the model's force does not change with it there; fix it with " + names[a] +
                     "=VALUE or give another starting value");
    }
  }
  Owned<gsl_matrix> C = NewMatrix(p, p);
  for (std::size_t a = 0; a < p; ++a) {
    for (std::size_t b = 0; b < p; ++b) {
      const double daa = gsl_matrix_get(JtJ, a, a), dbb = gsl_matrix_get(JtJ, b, b);
      gsl_matrix_set(C.get(), a, b, gsl_matrix_get(JtJ, a, b) / std::sqrt(daa * dbb));
    }
  }
  Owned<gsl_vector> eval = NewVector(p);
  Owned<gsl_matrix> evec = NewMatrix(p, p);
  Owned<gsl_eigen_symmv_workspace> ew(gsl_eigen_symmv_alloc(p), gsl_eigen_symmv_free);
  const bool decomposed = gsl_eigen_symmv(C.get(), eval.get(), evec.get(), ew.get()) == GSL_SUCCESS;
  double lmin = std::numeric_limits<double>::infinity(), lmax = 0.0;
  std::size_t kmin = 0;
  bool finite = decomposed;
  for (std::size_t k = 0; decomposed && k < p; ++k) {
    const double l = gsl_vector_get(eval.get(), k);
    finite = finite && std::isfinite(l);
    if (l < lmin) lmin = l, kmin = k;
    lmax = std::max(lmax, l);
  }
  std::string involved;
  if (finite) {
    for (std::size_t k = 0; k < p; ++k) {
      if (std::fabs(gsl_matrix_get(evec.get(), k, kmin)) > 0.3) {
        involved += std::string(involved.empty() ? "" : ", ") + names[k];
      }
    }
  }
  if (!finite || !(lmin > 1e-6 * lmax)) {
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

namespace {

// A standard error that is 0, NaN or infinite says nothing about the
// parameter: GSL's covariance zeroes the rows of the columns its pivoted QR
// drops, so a parameter the force does not depend on would come out exact.
// One larger than its value (or the bound given in its place) is not
// determined either.
void JudgeErrors(const std::vector<double>& errors, const std::vector<double>& values,
                 const std::vector<std::string>& names, const std::vector<double>& bounds) {
  for (std::size_t k = 0; k < errors.size(); ++k) {
    const bool bounded = k < bounds.size();
    if (!(errors[k] > 0.0 && std::isfinite(errors[k]))) {
      throw FitError("the record does not determine " + names[k] + ": its standard error is " + Shortest(errors[k]) +
                     ", which no measured record gives; fix it with " + names[k] + "=VALUE or give another starting value");
    }
    if (!(errors[k] <= (bounded ? bounds[k] : std::fabs(values[k])))) {
      throw FitError("the record does not determine " + names[k] + ": its standard error (" + Shortest(errors[k]) +
                     (bounded ? ") exceeds " + Shortest(bounds[k]) : ") exceeds its value (" + Shortest(values[k]) + ")") +
                     "; record cycles at more amplitudes or fix it with " + names[k] + "=VALUE");
    }
  }
}

}  // namespace

// Standard errors: cov = s²·(JᵀWJ)⁻¹, s² the weighted residual variance;
// 0 for a held parameter.
std::vector<double> StandardErrors(const Linearised& at, const std::vector<double>& values,
                                   const std::vector<std::string>& names, const std::vector<double>& bounds) {
  const std::size_t p = names.size();
  const std::size_t rows = at.J->size1;
  Owned<gsl_matrix> cov = NewMatrix(p, p);
  gsl_multifit_nlinear_covar(at.J.get(), 0.0, cov.get());
  double ss = 0.0;
  for (std::size_t r = 0; r < rows; ++r) ss += gsl_vector_get(at.f.get(), r) * gsl_vector_get(at.f.get(), r);
  const double s2 = ss / static_cast<double>(rows - p);
  std::vector<double> errors(p);
  for (std::size_t k = 0; k < p; ++k) errors[k] = std::sqrt(s2 * gsl_matrix_get(cov.get(), k, k));
  JudgeErrors(errors, values, names, bounds);
  return errors;
}

}  // namespace quorix::measured::detail
