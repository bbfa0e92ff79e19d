// 95 % intervals for the free parameters of a least-squares fit whose
// residuals are neither of one size nor independent: the sandwich
// covariance (JᵀJ)⁻¹·S·(JᵀJ)⁻¹, S the heteroscedasticity-and-
// autocorrelation-consistent estimate of the score's covariance (Bartlett
// weights over a bandwidth read off the residuals themselves), with
// Student's t quantile. See fit_intervals.cpp for why.
#pragma once

#include <Eigen/Core>

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

namespace quorix::measured::detail {

struct SandwichIntervals {
  std::vector<std::array<double, 2>> bounds;  // [low, high] per free parameter, in J's column order
  std::vector<double> halfWidths;
  std::size_t lag = 0;     // the bandwidth: lags 1 … lag weighed (Bartlett)
  double quantile = 0.0;   // the t quantile the half-widths are multiples of
};

// The two-sided 97.5 % quantile of Student's t with `dof` degrees of
// freedom (dof ≥ 1).
double StudentQuantile975(double dof);

// The bandwidth for the Bartlett kernel from an AR(1) fit to each column of
// the scores g_i = J_i·r_i (Andrews 1991), at most rows / 4.
std::size_t BartlettLag(const Eigen::MatrixXd& J, const Eigen::VectorXd& f);

// The intervals at the fitted values `values` for the Jacobian J of the
// residuals f (rows in the order of the record: neighbours correlate);
// `lag` 0 chooses the bandwidth by BartlettLag. Intervals of zero width
// where the residuals are all zero.
SandwichIntervals Sandwich(const Eigen::MatrixXd& J, const Eigen::VectorXd& f, const std::vector<double>& values,
                           std::size_t lag = 0);

// The displacement's noise as its second differences show it, and the
// median step between samples (fit_report.cpp).
std::pair<double, double> NoiseAndStep(const std::vector<double>& u);

// The middle value (the upper of the two middle ones for an even count); 0
// for none.
double Median(std::vector<double> values);

// The displacement smoothed by a least-squares parabola through the m
// samples either side of each sample, never across a turn of the motion,
// m the widest of a ladder up to 32 whose residuals' median stays near
// what noise of deviation `sigma` alone leaves, narrower about a sample
// whose residuals do not (a kink): wider windows would round the record's
// own bends. The record itself for sigma 0.
std::vector<double> SmoothedDisplacement(const std::vector<double>& u, double sigma);

// The Jacobian J and the residuals r = model − F at the parameters x along
// displacement u against forces F; false where the model has no response.
using LinearisedOn = std::function<bool(const Eigen::VectorXd& x, const std::vector<double>& u,
                                        const std::vector<double>& F, Eigen::MatrixXd& J, Eigen::VectorXd& r)>;

// A seed from the bits of samples first … last of u and F (FNV-1a): the
// same record draws the same noise on every run and machine, and records
// do not share their draws, so that one unlucky set of draws cannot widen
// or narrow every record's interval alike.
std::uint64_t SeedOf(const std::vector<double>& u, const std::vector<double>& F, std::size_t first, std::size_t last);

// What noise on the displacement does to the estimate, by a parametric
// bootstrap: records made from the fitted model along the smoothed
// displacement (`smoothU`, its forces `smoothF`), noise of deviation
// `sigmaU` added to u and `sigmaF` to F, `pairs` antithetic pairs drawn
// from `seed`, each refitted by a Gauss-Newton step from the fitted values
// `fitted`. The moves' mean is the estimate's shift (the fit lands that
// far from the values that made the record), their variance its scatter.
// Zeros for sigmaU 0.
struct DisplacementEffect {
  std::vector<double> shift, variance;
  int moves = 0;  // the refits that counted
};
DisplacementEffect NoisyDisplacementEffect(const LinearisedOn& along, const Eigen::VectorXd& fitted,
                                           const std::vector<double>& smoothU, const std::vector<double>& smoothF,
                                           double sigmaU, double sigmaF, std::uint64_t seed, int pairs = 50);

}  // namespace quorix::measured::detail
