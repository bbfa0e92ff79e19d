// The steps that the two fits of fit.h share: the parameters by index, the
// checks of a fit's input, the starting values read off the widest cycle and
// the scan around them, the check for hysteresis, the Levenberg-Marquardt
// search (Eigen's port of MINPACK's lmder), and the verdicts on what the
// record determines.
#pragma once

#include <Eigen/Core>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "cycles.h"
#include "fit_types.h"

namespace quorix::measured::detail {

// The five model parameters by index, as kParameterNames names them; the
// whole-record fit counts z0 beside them.
enum Index : std::size_t { kN = 0, kGamma = 1, kAlpha = 2, kFy = 3, kUy = 4, kZ0 = 5 };

double& At(Case& p, std::size_t i);
double Get(Case p, std::size_t i);

// What both fits refuse before they start (defined in fit.cpp): u and F of
// different lengths, a record whose cycles run mostly counter-clockwise,
// and held or starting values outside the model's domain. Throws Refusal.
void CheckFitInput(const std::vector<double>& u, const std::vector<double>& F, const CycleTable& table,
                   const FitOptions& options);

// Starting values from the largest cycle read as a bilinear loop: K0 the
// chord over the first 5 % of each branch after a reversal, Kp over the
// last quarter, Q half the gap between the branches at the centre; then
// α = Kp/K0, Fy = Q/(1 − α), Uy = Fy/K0, with n = 2 and γ = 0.5. Throws
// Refusal for loops without stiffness or gap.
Case KneeEstimate(const std::vector<double>& u, const std::vector<double>& F, const Cycle& c);

// The starting point before any scan: `knee` with the held and the given
// values put in. Marks free[i] for the five model parameters.
Case GivenStart(Case knee, const FitOptions& options, bool free[5]);

// Whether n, γ or Uy is free without a starting value given: the scan runs.
bool ScanWanted(const FitOptions& options, const bool free[5]);

// The scan holds n, γ and Uy where a starting value was given.
void HoldGivenInScan(const FitOptions& options, bool free[5]);

// The scan's values for the free parameters that were given no start.
void TakeScanned(const Case& scanned, const FitOptions& options, const bool free[5], Case& start);

// The scan for starting values: a grid over n (0.8 … 8), γ (0.3, 0.6, 0.9)
// and Uy (0.6, 1 and 1.6 times the knee's; with n and γ both held, Uy alone
// from 0.25 to 4 times it in seven steps) around `knee`, a parameter not
// free held at its value in `held`, each point with the best α and Fy that
// `cost` finds for it: given the point, with α and Fy held where they are
// not free, it sets them and returns the misfit, +∞ where the model has
// none. Returns the best point; throws Refusal ("no starting point of the
// scan gives a model <what>") when no point has a misfit.
Case ScanGrid(const Case& knee, const Case& held, const bool free[5],
                    const std::function<double(Case&)>& cost, const std::string& what);

// The same scan's starting points for several searches: at most `count`
// (with Uy alone scanned at most two), best first (the first is
// ScanGrid's), none within one step of the grid of another in every
// scanned parameter. Throws as ScanGrid.
std::vector<Case> ScanStarts(const Case& knee, const Case& held, const bool free[5],
                             const std::function<double(Case&)>& cost, const std::string& what, std::size_t count);

struct ChosenCycles {
  double meanFPlus = 0.0;   // the rms misfit is reported relative to it
  std::size_t largest = 0;  // the widest cycle, read for the starting values
};

// No hysteresis, nothing to identify: an elastic record, or cycles so
// small that the loop has closed up, must not get a made-up fit. Throws
// Refusal.
ChosenCycles CheckHysteresis(const CycleTable& table, const std::vector<std::size_t>& chosen);

// For given n, γ and Uy the force is linear in a = α·Fy and b = (1 − α)·Fy:
// F = a·x + b·z. The weighted sums of that least-squares problem, and its
// solution honouring a fixed α or Fy.
struct LinearSums {
  double sxx = 0, sxz = 0, szz = 0, sxf = 0, szf = 0, sff = 0;
  void Add(double w, double x, double z, double f) {
    sxx += w * x * x;
    sxz += w * x * z;
    szz += w * z * z;
    sxf += w * x * f;
    szf += w * z * f;
    sff += w * f * f;
  }
  // Sets p.alpha and p.Fy to the best ones (the held ones kept) and returns
  // the weighted cost, +∞ when it has no solution.
  double Cost(bool alphaFree, bool FyFree, Case& p) const;
};

// A least-squares problem over the free parameters x: its weighted
// residuals, which always evaluate (a parameter set without a model gets
// penalty rows the search rejects as a step), and their Jacobian, which
// fails (false) where a derivative's step leaves the model's domain. Both
// fill an object already sized: `rows` residuals, `rows` × x.size().
struct LeastSquaresProblem {
  std::size_t rows = 0;
  std::function<void(const Eigen::VectorXd& x, Eigen::VectorXd& f)> residuals;
  std::function<bool(const Eigen::VectorXd& x, Eigen::MatrixXd& J)> jacobian;
};

struct Linearised {
  Eigen::MatrixXd J;  // ∂ residual / ∂ free parameter
  Eigen::VectorXd f;  // the weighted residuals
};

// How a search ended: at a minimum (to the tolerances, or to rounding), or
// not: still moving when the iterations ran out, or unable to lower the
// misfit by any step from the start, where more iterations would not help.
enum class SearchEnd { kConverged, kIterationLimit };

struct Search {
  std::vector<double> position;  // the free parameters at the end
  SearchEnd end = SearchEnd::kConverged;
  int iterations = 0;
};

// The result's left-out cycles, its spans and its warnings (fit_report.cpp),
// once the fit has filled in its parameters, cycles and points; and the β
// of its cases, 1 − γ (the search moves γ alone).
void JudgeFit(const std::vector<double>& u, const CycleTable& table, FitResult& result);

// The trust-region Levenberg-Marquardt search of `problem` from `start`, at
// most kSearchIterations iterations; `progress`, when set, hears "<what>,
// iteration 0" before the first and "<what>, iteration i" after each.
// Throws Refusal when the Jacobian cannot be evaluated where the search
// stands (at the start, or at a point it moved to).
inline constexpr int kSearchIterations = 100;
Search LeastSquares(const LeastSquaresProblem& problem, const std::vector<double>& start,
                    const std::function<void(const std::string&)>& progress = {}, const std::string& what = "search");

// The residuals and the Jacobian of `problem` at x.
Linearised LinearisedAt(const LeastSquaresProblem& problem, const std::vector<double>& x);

// Throws Refusal when the free parameters (named) trade off against each
// other, whatever the noise.
void CheckIdentifiable(const Eigen::MatrixXd& J, const std::vector<std::string>& names);
// The same from JᵀJ (p × p).
void CheckIdentifiableNormal(const Eigen::MatrixXd& JtJ, const std::vector<std::string>& names);

// Throws Refusal unless the search ended at a minimum.
void CheckConverged(SearchEnd end);

// Standard errors of the free parameters (values and names beside);
// throws Refusal for one whose error is 0, NaN or infinite (the record
// does not determine it), or exceeds its value, or the bound given in its
// place (a parameter whose value may well be 0).
std::vector<double> StandardErrors(const Linearised& at, const std::vector<double>& values,
                                   const std::vector<std::string>& names, const std::vector<double>& bounds = {});

}  // namespace quorix::measured::detail
