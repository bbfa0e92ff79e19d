// Why a sandwich. The standard errors s²·(JᵀJ)⁻¹ hold for residuals that
// are independent and of one size. Along a measured record they are
// neither: noise δ on u moves the model's force by the tangent stiffness
// k·δ, large on the elastic stretch after a reversal and small on the
// yielded plateau, and where δ turns the path back z runs a small loop that
// it carries on along the branch. The estimate is still, to first order,
// θ̂ − θ = −(JᵀJ)⁻¹·Σ g_i with the scores g_i = J_iᵀ·r_i, so its covariance is
// (JᵀJ)⁻¹·Var(Σ g_i)·(JᵀJ)⁻¹ whatever the residuals' sizes and correlations;
// Var(Σ g_i) is estimated from the fitted scores themselves, lag by lag,
// with the Bartlett weights 1 − l/(L + 1) that keep it positive
// semi-definite (Newey and West 1987). It costs one pass over the rows per
// lag, beside the hundred runs of the response the fit takes.
#include "fit_intervals.h"

#include <Eigen/Cholesky>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <random>

namespace quorix::measured::detail {

// Student's t: the exact quantiles (to 6 digits) for 1 … 9 degrees of
// freedom, beyond them the Cornish-Fisher expansion about the normal's
// z = 1.959963985 to the fourth power of 1/ν, within 2e-6 from ν = 10 on.
double StudentQuantile975(double dof) {
  static constexpr std::array<double, 9> kSmall{12.706205, 4.302653, 3.182446, 2.776445, 2.570582,
                                                2.446912,  2.364624, 2.306004, 2.262157};
  if (dof < 10.0) return kSmall[static_cast<std::size_t>(std::clamp(dof, 1.0, 9.0)) - 1];
  const double z = 1.959963984540054, z2 = z * z;
  const double g1 = (z2 + 1.0) * z / 4.0;
  const double g2 = ((5.0 * z2 + 16.0) * z2 + 3.0) * z / 96.0;
  const double g3 = (((3.0 * z2 + 19.0) * z2 + 17.0) * z2 - 15.0) * z / 384.0;
  const double g4 = ((((79.0 * z2 + 776.0) * z2 + 1482.0) * z2 - 1920.0) * z2 - 945.0) * z / 92160.0;
  const double v = 1.0 / dof;
  return z + v * (g1 + v * (g2 + v * (g3 + v * g4)));
}

// Andrews (1991): for the Bartlett kernel the bandwidth that minimises the
// estimate's mean squared error is 1.1447·(a·N)^(1/3), a = 4ρ²/((1 − ρ)²(1 + ρ)²)
// for a score that follows an AR(1) with coefficient ρ. Each column's ρ is
// its lag-one regression; a is averaged over the columns, each judged in
// its own units.
std::size_t BartlettLag(const Eigen::MatrixXd& J, const Eigen::VectorXd& f) {
  const Eigen::Index rows = J.rows(), p = J.cols();
  if (rows < 8 || p == 0) return 0;
  double a = 0.0;
  for (Eigen::Index c = 0; c < p; ++c) {
    double lagged = 0.0, before = 0.0;
    for (Eigen::Index i = 1; i < rows; ++i) {
      const double g = J(i, c) * f(i), g0 = J(i - 1, c) * f(i - 1);
      lagged += g * g0;
      before += g0 * g0;
    }
    const double rho = before > 0.0 ? std::clamp(lagged / before, -0.97, 0.97) : 0.0;
    a += 4.0 * rho * rho / ((1.0 - rho) * (1.0 - rho) * (1.0 + rho) * (1.0 + rho));
  }
  a /= static_cast<double>(p);
  const double lag = 1.1447 * std::cbrt(a * static_cast<double>(rows));
  return static_cast<std::size_t>(std::min(std::floor(lag), static_cast<double>(rows / 4)));
}

namespace {

// Σ over the rows of g_i·g_{i+l}ᵀ + its transpose (l > 0), or g_i·g_iᵀ.
Eigen::MatrixXd LagProduct(const Eigen::MatrixXd& g, Eigen::Index l) {
  const Eigen::Index rows = g.rows(), p = g.cols();
  Eigen::MatrixXd sum = Eigen::MatrixXd::Zero(p, p);
  for (Eigen::Index i = l; i < rows; ++i) {
    for (Eigen::Index a = 0; a < p; ++a) {
      for (Eigen::Index b = 0; b < p; ++b) sum(a, b) += g(i, a) * g(i - l, b);
    }
  }
  if (l == 0) return sum;
  return sum + sum.transpose();
}

}  // namespace

SandwichIntervals Sandwich(const Eigen::MatrixXd& J, const Eigen::VectorXd& f, const std::vector<double>& values,
                           std::size_t lag) {
  const Eigen::Index rows = J.rows(), p = J.cols();
  SandwichIntervals out;
  out.lag = lag != 0 ? lag : BartlettLag(J, f);
  out.lag = std::min<std::size_t>(out.lag, static_cast<std::size_t>(std::max<Eigen::Index>(rows - 1, 0)));
  out.quantile = StudentQuantile975(static_cast<double>(rows - p));
  // The bread in correlation form (unit diagonal), where its inverse is
  // well conditioned whenever the fit found the parameters identifiable.
  Eigen::MatrixXd A = J.transpose() * J;
  Eigen::VectorXd scale(p);
  for (Eigen::Index a = 0; a < p; ++a) scale(a) = A(a, a) > 0.0 ? 1.0 / std::sqrt(A(a, a)) : 0.0;
  const Eigen::MatrixXd C = scale.asDiagonal() * A * scale.asDiagonal();
  const Eigen::MatrixXd Cinv = C.ldlt().solve(Eigen::MatrixXd::Identity(p, p));
  const Eigen::MatrixXd bread = scale.asDiagonal() * Cinv * scale.asDiagonal();
  Eigen::MatrixXd g(rows, p);
  for (Eigen::Index i = 0; i < rows; ++i) g.row(i) = J.row(i) * f(i);
  Eigen::MatrixXd meat = LagProduct(g, 0);
  for (std::size_t l = 1; l <= out.lag; ++l) {
    const double w = 1.0 - static_cast<double>(l) / static_cast<double>(out.lag + 1);
    meat += w * LagProduct(g, static_cast<Eigen::Index>(l));
  }
  // The residuals came out of p fitted parameters: N/(N − p), as s² has.
  if (rows > p) meat *= static_cast<double>(rows) / static_cast<double>(rows - p);
  const Eigen::MatrixXd cov = bread * meat * bread;
  for (Eigen::Index a = 0; a < p; ++a) {
    const double half = out.quantile * std::sqrt(std::max(0.0, cov(a, a)));
    const double v = values[static_cast<std::size_t>(a)];
    out.halfWidths.push_back(half);
    out.bounds.push_back({v - half, v + half});
  }
  return out;
}

}  // namespace quorix::measured::detail

namespace quorix::measured::detail {

namespace {

// Standard normal deviates as the sum of twelve uniforms less 6 (mean 0,
// variance 1, tails cut at ±6): the raw outputs of std::mt19937_64, whose
// sequence the C++ standard fixes, and additions alone, correctly rounded,
// so that the same deviates come on every machine (no log, whose last bit
// differs between C libraries). For a mean shift over many samples the cut tails
// do not matter.
class Deviates {
 public:
  explicit Deviates(std::uint64_t seed) : engine_(seed) {}
  double operator()() {
    double sum = -6.0;
    for (int k = 0; k < 12; ++k) sum += static_cast<double>(engine_() >> 11) * 0x1p-53;
    return sum;
  }

 private:
  std::mt19937_64 engine_;
};

}  // namespace

DisplacementEffect DisplacementBias(const LinearisedAlong& along, const std::vector<double>& u, double sigma,
                                    std::size_t parameters, int draws) {
  const Eigen::Index p = static_cast<Eigen::Index>(parameters);
  DisplacementEffect effect;
  effect.shift.assign(parameters, 0.0);
  effect.variance.assign(parameters, 0.0);
  if (!(sigma > 0.0) || draws < 1 || p == 0) return effect;
  Deviates deviate(0x5eed);
  Eigen::VectorXd sum = Eigen::VectorXd::Zero(p), spread2 = Eigen::VectorXd::Zero(p), r;
  Eigen::MatrixXd J;
  double lambdaSquares = 0.0;
  int pairs = 0;
  std::vector<double> noise(u.size()), noisy(u.size());
  const auto move = [&](double sign, Eigen::VectorXd& step) {
    for (std::size_t i = 0; i < u.size(); ++i) noisy[i] = u[i] + sign * noise[i];
    if (!along(noisy, J, r)) return false;
    // One Gauss-Newton step from the fitted values along the noisier u,
    // its Jacobian taken there too: noise in the regressors moves the
    // estimate as much as noise in the residuals.
    step = -(J.transpose() * J).ldlt().solve(J.transpose() * r);
    return step.allFinite();
  };
  for (const double lambda : {1.0, 2.0}) {
    for (int d = 0; d < draws; ++d) {
      // Each draw twice, as δ and −δ: the move's part odd in δ (its
      // scatter, to first order) cancels in the pair's mean and is the
      // pair's half-difference; the shift, even in δ, stays in the mean.
      for (double& e : noise) e = std::sqrt(lambda) * sigma * deviate();
      Eigen::VectorXd plus, minus;
      if (!move(1.0, plus) || !move(-1.0, minus)) continue;
      sum += lambda * (plus + minus);
      lambdaSquares += 2.0 * lambda * lambda;
      spread2 += (0.5 * (plus - minus)).cwiseAbs2() / lambda;
      ++pairs;
    }
  }
  // Move(λ) ≈ s·λ, s = Σ λ·move / Σ λ²; at λ = −1 the move is −s: the
  // estimate stands s from where the noise-free record would put it. The
  // scatter grows as λ: over λ it is the scatter that σ alone makes.
  if (pairs == 0) return effect;
  for (Eigen::Index a = 0; a < p; ++a) {
    effect.shift[static_cast<std::size_t>(a)] = sum(a) / lambdaSquares;
    effect.variance[static_cast<std::size_t>(a)] = spread2(a) / pairs;
  }
  return effect;
}

}  // namespace quorix::measured::detail
