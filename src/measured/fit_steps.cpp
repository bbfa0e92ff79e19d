#include "fit_steps.h"

#include <Eigen/Eigenvalues>
#include <Eigen/QR>
#include <unsupported/Eigen/NonLinearOptimization>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>

#include "decimal.h"
#include "refusal.h"

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

// The scan's values of Uy around the knee's. With n and γ not scanned
// (`alone`) the grid is this axis alone: three points next to one another
// would give one start, and a record whose misfit has valleys at yield
// displacements well apart (two layers yielding in turn) would be searched
// in one of them. Alone, the axis reaches from a quarter to four times the
// knee's, about the same ratio 1.6 a step, at the cost of seven responses
// instead of three.
std::vector<double> UyAxis(double knee, bool alone) {
  if (!alone) return {0.6 * knee, knee, 1.6 * knee};
  return {0.25 * knee, 0.4 * knee, 0.6 * knee, knee, 1.6 * knee, 2.5 * knee, 4.0 * knee};
}

}  // namespace

double& At(Case& p, std::size_t i) {
  switch (i) {
    case kN: return p.n;
    case kGamma: return p.gamma;
    case kAlpha: return p.alpha;
    case kFy: return p.Fy;
    default: return p.Uy;
  }
}
double Get(Case p, std::size_t i) { return At(p, i); }

Case KneeEstimate(const std::vector<double>& u, const std::vector<double>& F, const Cycle& c) {
  const double K0 = 0.5 * (ChordFrom(u, F, c.first, c.middle, 0.05) + ChordFrom(u, F, c.middle, c.last, 0.05));
  const double Kp = 0.5 * (ChordFrom(u, F, c.middle, c.first, 0.25) + ChordFrom(u, F, c.last, c.middle, 0.25));
  const double centre = 0.5 * (c.uPlus + c.uMinus);
  const double Q = 0.5 * std::fabs(ForceAt(u, F, c.first, c.middle, centre) - ForceAt(u, F, c.middle, c.last, centre));
  if (!(K0 > 0.0 && Q > 0.0 && std::isfinite(K0) && std::isfinite(Q))) {
    throw Refusal("the loops have no initial stiffness or no gap between their branches: "
                  "the record does not show the hysteresis the model describes");
  }
  Case p;
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
    throw Refusal("the cycles enclose almost no area (EDC is " + decimal::ShortestText(100.0 * areaShare) +
                  " % of the rectangle u+ - u-, F+ - F-): without hysteresis the Bouc-Wen parameters "
                  "cannot be identified");
  }
  return summary;
}

double LinearSums::Cost(bool alphaFree, bool FyFree, Case& p) const {
  double a = 0.0, b = 0.0;
  if (!alphaFree && !FyFree) {
    a = p.alpha * p.Fy;
    b = (1.0 - p.alpha) * p.Fy;
  } else if (!alphaFree) {  // F = Fy·g, g = α·x + (1 − α)·z
    const double al = p.alpha;
    const double sgg = al * al * sxx + 2 * al * (1 - al) * sxz + (1 - al) * (1 - al) * szz;
    const double Fy = (al * sxf + (1 - al) * szf) / sgg;
    a = al * Fy;
    b = (1 - al) * Fy;
  } else if (!FyFree) {  // F − Fy·z = α·Fy·(x − z)
    const double Fy = p.Fy;
    const double sdd = sxx - 2 * sxz + szz;
    const double al = ((sxf - szf) - Fy * (sxz - szz)) / (Fy * sdd);
    a = al * Fy;
    b = (1 - al) * Fy;
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

Case GivenStart(Case knee, const FitOptions& options, bool free[5]) {
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

void TakeScanned(const Case& scanned, const FitOptions& options, const bool free[5], Case& start) {
  for (std::size_t i = 0; i < 5; ++i) {
    if (free[i] && !options.start[i]) At(start, i) = Get(scanned, i);
  }
}

std::vector<Case> ScanStarts(const Case& knee, const Case& held, const bool free[5],
                             const std::function<double(Case&)>& cost, const std::string& what, std::size_t count) {
  auto grid = [&](std::size_t i, std::vector<double> values) {
    if (!free[i]) return std::vector<double>{Get(held, i)};
    return values;
  };
  const std::vector<double> ns = grid(kN, {0.8, 1.2, 2.0, 3.0, 5.0, 8.0});
  const std::vector<double> gammas = grid(kGamma, {0.3, 0.6, 0.9});
  const bool uyAlone = !free[kN] && !free[kGamma];
  const std::vector<double> uys = grid(kUy, UyAxis(knee.Uy, uyAlone));
  // Along Uy alone two starts, its best point and the best beyond that
  // one's neighbours: one search more than the short axis gave.
  const std::size_t wanted = uyAlone ? std::min<std::size_t>(count, 2) : count;
  struct Point {
    double cost;
    int cell[3];  // the point's place on the grid: n, γ, Uy
    Case p;
  };
  std::vector<Point> points;
  for (std::size_t a = 0; a < ns.size(); ++a) {
    for (std::size_t b = 0; b < gammas.size(); ++b) {
      for (std::size_t c = 0; c < uys.size(); ++c) {
        Case p = knee;
        p.n = ns[a];
        p.gamma = gammas[b];
        p.Uy = uys[c];
        if (!free[kAlpha]) p.alpha = held.alpha;
        if (!free[kFy]) p.Fy = held.Fy;
        const double pointCost = cost(p);
        if (pointCost < std::numeric_limits<double>::infinity()) {
          points.push_back({pointCost, {static_cast<int>(a), static_cast<int>(b), static_cast<int>(c)}, p});
        }
      }
    }
  }
  if (points.empty()) throw Refusal("no starting point of the scan gives a model " + what);
  // Stable: of equal costs the first visited comes first.
  std::stable_sort(points.begin(), points.end(), [](const Point& x, const Point& y) { return x.cost < y.cost; });
  // A neighbour of a point already taken lies on the same slope of the
  // misfit: its search would end where that one's does.
  std::vector<const Point*> taken;
  for (const Point& candidate : points) {
    if (taken.size() >= wanted) break;
    bool near = false;
    for (const Point* t : taken) {
      int apart = 0;
      for (int k = 0; k < 3; ++k) apart = std::max(apart, std::abs(candidate.cell[k] - t->cell[k]));
      near = near || apart <= 1;
    }
    if (!near) taken.push_back(&candidate);
  }
  std::vector<Case> starts;
  for (const Point* t : taken) starts.push_back(t->p);
  return starts;
}

Case ScanGrid(const Case& knee, const Case& held, const bool free[5],
                    const std::function<double(Case&)>& cost, const std::string& what) {
  return ScanStarts(knee, held, free, cost, what, 1).front();
}

namespace {

using Eigen::LevenbergMarquardtSpace::Status;

// What Eigen's Levenberg-Marquardt asks of its functor: the number of
// residuals, the residuals and the Jacobian, each returning a negative
// number to stop the search. The residuals always evaluate; a Jacobian
// that cannot be evaluated stops it.
struct Functor {
  const LeastSquaresProblem* problem;
  Eigen::Index values() const { return static_cast<Eigen::Index>(problem->rows); }
  int operator()(const Eigen::VectorXd& x, Eigen::VectorXd& f) const {
    problem->residuals(x, f);
    return 0;
  }
  int df(const Eigen::VectorXd& x, Eigen::MatrixXd& J) const { return problem->jacobian(x, J) ? 0 : -1; }
};

}  // namespace

// MINPACK's lmder as Eigen ports it: a trust region in the norm scaled by
// D, D_j the largest norm of column j of J met so far (More's scaling), and
// the Levenberg-Marquardt parameter that fits the step to the region's
// radius Δ. One call of minimizeOneStep is one iteration: the Jacobian at
// x, then trial steps, each rejected one shrinking Δ, until one lowers the
// misfit or a test ends the search. The tolerances of the trust-region
// driver this replaces (xtol and gtol 1e-13, ftol 0) carry over as lmder's
// forms of the same tests:
// - xtol 1e-13: there every |Δx_i| below 1e-13·|x_i|; here Δ ≤ 1e-13·‖D·x‖,
//   the step relative to the parameters in the scaled norm.
// - gtol 1e-13: there ‖Jᵀf·max(x, 1)‖∞ ≤ 1e-13·max(‖f‖²/2, 1), which
//   depends on the units of F and of the parameters; here the cosine of the
//   angle between f and each column of J at most 1e-13, the same "gradient
//   zero to rounding" free of units.
// - ftol 0: no test on the reduction of the misfit, as there. Near the
//   minimum a step of Δx (σ its standard error) lowers ‖f‖² by a share of
//   about (Δx/σ)²/n of n residuals, so a tolerance ftol would stop with the
//   parameters still √(n·ftol) of σ away. lmder's own test at machine
//   epsilon (no reduction left beyond rounding) still ends the search,
//   beside its tests of Δ and of the cosine at machine epsilon.
// The iteration limit is counted here; lmder's own limit on the residual
// evaluations (maxfev) only guards it, at 16 trial steps an iteration.
Search LeastSquares(const LeastSquaresProblem& problem, const std::vector<double>& start,
                    const std::function<void(const std::string&)>& progress, const std::string& what) {
  const Eigen::Index p = static_cast<Eigen::Index>(start.size());
  Functor functor{&problem};
  Search search;
  try {
    Eigen::LevenbergMarquardt<Functor> lm(functor);
    lm.parameters.xtol = 1e-13;
    lm.parameters.gtol = 1e-13;
    lm.parameters.ftol = 0.0;
    lm.parameters.maxfev = 16 * kSearchIterations + 1;
    Eigen::VectorXd x = Eigen::Map<const Eigen::VectorXd>(start.data(), p);
    if (lm.minimizeInit(x) == Status::ImproperInputParameters) throw Refusal("too few points for the free parameters");
    if (progress) progress(what + ", iteration 0");
    Status status = Status::Running;
    while (status == Status::Running && search.iterations < kSearchIterations) {
      status = lm.minimizeOneStep(x);
      if (status == Status::UserAsked) {
        throw Refusal(lm.njev == 0 ? "the model cannot be evaluated at the starting values"
                                   : "the model cannot be evaluated at the fitted parameters");
      }
      // The gradient test comes first, before any trial step: no iteration.
      if (status == Status::CosinusTooSmall) break;
      ++search.iterations;
      if (progress) progress(what + ", iteration " + std::to_string(search.iterations));
    }
    // lm.iter counts from 1 and rises with each accepted step. A search
    // whose first iteration found no step that lowers the misfit has not
    // moved from the start, which is no minimum unless the gradient said so.
    const bool moved = lm.iter > 1;
    const bool stopped = status != Status::Running && status != Status::TooManyFunctionEvaluation;
    search.end = stopped && (moved || status == Status::CosinusTooSmall) ? SearchEnd::kConverged
                                                                         : SearchEnd::kIterationLimit;
    search.position.assign(x.data(), x.data() + p);
  } catch (const std::bad_alloc&) {
    throw Refusal("out of memory for the fit");
  }
  return search;
}

Linearised LinearisedAt(const LeastSquaresProblem& problem, const std::vector<double>& x) {
  const Eigen::VectorXd xv = Eigen::Map<const Eigen::VectorXd>(x.data(), static_cast<Eigen::Index>(x.size()));
  Linearised at;
  try {
    at.J.resize(static_cast<Eigen::Index>(problem.rows), xv.size());
    at.f.resize(static_cast<Eigen::Index>(problem.rows));
  } catch (const std::bad_alloc&) {
    throw Refusal("out of memory for the fit");
  }
  if (!problem.jacobian(xv, at.J)) throw Refusal("the model cannot be evaluated at the fitted parameters");
  problem.residuals(xv, at.f);
  return at;
}

// Identifiability: the correlation form of JᵀJ (unit diagonal) must not be
// near singular, whatever the noise (a noiseless record has s² = 0 and
// would otherwise pass with zero errors). Records at three amplitudes give a
// smallest eigenvalue near 1e-2 of the largest; one small cycle, whose loop
// is nearly a line, below 1e-8. The refusal names the parameters of the
// weakest direction.
void CheckIdentifiable(const Eigen::MatrixXd& J, const std::vector<std::string>& names) {
  const Eigen::Index p = static_cast<Eigen::Index>(names.size());
  const Eigen::Index rows = J.rows();
  Eigen::MatrixXd JtJ(p, p);
  for (Eigen::Index a = 0; a < p; ++a) {
    for (Eigen::Index b = 0; b < p; ++b) {
      double s = 0.0;
      for (Eigen::Index r = 0; r < rows; ++r) s += J(r, a) * J(r, b);
      JtJ(a, b) = s;
    }
  }
  CheckIdentifiableNormal(JtJ, names);
}

// A parameter the model's force does not move at all (n so large that the
// loop is bilinear, where a step in n or γ changes no sample) has a zero
// column: its correlation is 0/0, whose NaN eigenvalues would compare false
// with every bound and let the fit through with zero errors. It is named.
void CheckIdentifiableNormal(const Eigen::MatrixXd& JtJ, const std::vector<std::string>& names) {
  const Eigen::Index p = static_cast<Eigen::Index>(names.size());
  for (Eigen::Index a = 0; a < p; ++a) {
    const double daa = JtJ(a, a);
    if (!(daa > 0.0 && std::isfinite(daa))) {
      const std::string& name = names[static_cast<std::size_t>(a)];
      throw Refusal("the record does not determine " + name +
                    ": the model's force does not change with it there; fix it with " + name +
                    "=VALUE or give another starting value");
    }
  }
  Eigen::MatrixXd C(p, p);
  for (Eigen::Index a = 0; a < p; ++a) {
    for (Eigen::Index b = 0; b < p; ++b) C(a, b) = JtJ(a, b) / std::sqrt(JtJ(a, a) * JtJ(b, b));
  }
  // The eigenvalues come in ascending order; a matrix with an infinite or
  // NaN entry gives NaN ones, or no decomposition at all.
  const Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> eigen(C);
  const bool decomposed = eigen.info() == Eigen::Success;
  bool finite = decomposed && eigen.eigenvalues().allFinite();
  const double lmin = finite ? eigen.eigenvalues()(0) : 0.0;
  const double lmax = finite ? std::max(0.0, eigen.eigenvalues()(p - 1)) : 0.0;
  std::string involved;
  if (finite) {
    for (Eigen::Index k = 0; k < p; ++k) {
      if (std::fabs(eigen.eigenvectors()(k, 0)) > 0.3) {
        involved += std::string(involved.empty() ? "" : ", ") + names[static_cast<std::size_t>(k)];
      }
    }
  }
  if (!finite || !(lmin > 1e-6 * lmax)) {
    throw Refusal("the record does not determine " + (involved.empty() ? std::string("the parameters") : involved) +
                  " (they trade off against each other); record cycles at more amplitudes or fix some "
                  "with NAME=VALUE");
  }
}

// A search that ends short of a minimum (still moving when its iterations
// ran out, or not moving at all) has usually met a valley the record does
// not determine, which CheckIdentifiable reports first.
void CheckConverged(SearchEnd end) {
  if (end != SearchEnd::kConverged) {
    throw Refusal("the fit did not converge (exceeded max number of iterations); give starting values with "
                  "NAME=VALUE or fix some parameters");
  }
}

namespace {

// A standard error that is 0, NaN or infinite says nothing about the
// parameter: the covariance below gives 0 for the columns its pivoted QR
// finds dependent, so a parameter the force does not depend on would come
// out exact. One larger than its value (or the bound given in its place)
// is not determined either. A record the model meets to the last bit (no
// residual at all, as one made by the model itself may be) gives 0 for every
// parameter its columns determine: that 0 is exact, not a dependence.
void JudgeErrors(const std::vector<double>& errors, const std::vector<double>& values,
                 const std::vector<std::string>& names, const std::vector<double>& bounds,
                 const std::vector<bool>& determined, bool noResidual) {
  for (std::size_t k = 0; k < errors.size(); ++k) {
    const bool bounded = k < bounds.size();
    if (noResidual && determined[k] && errors[k] == 0.0) continue;
    if (!(errors[k] > 0.0 && std::isfinite(errors[k]))) {
      throw Refusal("the record does not determine " + names[k] + ": its standard error is " +
                    decimal::ShortestText(errors[k]) + ", which no measured record gives; fix it with " + names[k] +
                    "=VALUE or give another starting value");
    }
    if (!(errors[k] <= (bounded ? bounds[k] : std::fabs(values[k])))) {
      throw Refusal("the record does not determine " + names[k] + ": its standard error (" +
                    decimal::ShortestText(errors[k]) +
                    (bounded ? ") exceeds " + decimal::ShortestText(bounds[k])
                             : ") exceeds its value (" + decimal::ShortestText(values[k]) + ")") +
                    "; record cycles at more amplitudes or fix it with " + names[k] + "=VALUE");
    }
  }
}

}  // namespace

// Standard errors: cov = s²·(JᵀWJ)⁻¹, s² the weighted residual variance;
// 0 for a held parameter. With J·P = Q·R (P the column pivoting), JᵀJ =
// P·RᵀR·Pᵀ, so the variance of the parameter in pivoted column j is the
// squared norm of row j of R⁻¹. The pivoting puts dependent columns last;
// from the first exactly zero pivot on, those columns get variance 0.
std::vector<double> StandardErrors(const Linearised& at, const std::vector<double>& values,
                                   const std::vector<std::string>& names, const std::vector<double>& bounds) {
  const Eigen::Index p = static_cast<Eigen::Index>(names.size());
  const Eigen::Index rows = at.J.rows();
  const Eigen::ColPivHouseholderQR<Eigen::MatrixXd> qr(at.J);
  const Eigen::MatrixXd& R = qr.matrixQR();
  Eigen::Index rank = 0;
  while (rank < p && R(rank, rank) != 0.0) ++rank;
  const Eigen::MatrixXd Rinv = R.topLeftCorner(rank, rank).triangularView<Eigen::Upper>().solve(
      Eigen::MatrixXd::Identity(rank, rank));
  double ss = 0.0;
  for (Eigen::Index r = 0; r < rows; ++r) ss += at.f(r) * at.f(r);
  const double s2 = ss / static_cast<double>(rows - p);
  std::vector<double> errors(static_cast<std::size_t>(p), 0.0);
  std::vector<bool> determined(static_cast<std::size_t>(p), false);
  for (Eigen::Index j = 0; j < rank; ++j) {
    const std::size_t k = static_cast<std::size_t>(qr.colsPermutation().indices()(j));
    errors[k] = std::sqrt(s2 * Rinv.row(j).squaredNorm());
    determined[k] = true;
  }
  JudgeErrors(errors, values, names, bounds, determined, ss == 0.0);
  return errors;
}

}  // namespace quorix::measured::detail
