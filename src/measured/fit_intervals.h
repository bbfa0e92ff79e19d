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

// The Jacobian J and the residuals r at the fitted values along another
// displacement; false where the model has no response there.
using LinearisedAlong = std::function<bool(const std::vector<double>& u, Eigen::MatrixXd& J, Eigen::VectorXd& r)>;

// What the displacement's own noise (deviation `sigma`) does to the
// estimate, by simulation and extrapolation: noise of variance λ·σ² added
// again to u (λ = 1 and 2, `draws` pairs ±δ each), the fit moved by one
// Gauss-Newton step from where it stands along each noisier u. The mean
// move, linear in λ through 0, carried to λ = −1, where the noise would be
// gone: the estimate's shift is minus the move there. The moves' scatter
// over λ: the variance the noise adds, which the residuals at the fit do
// not show where z carries a jitter's loop along a whole branch. Zeros for
// sigma 0.
struct DisplacementEffect {
  std::vector<double> shift, variance;
};
DisplacementEffect DisplacementBias(const LinearisedAlong& along, const std::vector<double>& u, double sigma,
                                    std::size_t parameters, int draws = 5);

}  // namespace quorix::measured::detail
