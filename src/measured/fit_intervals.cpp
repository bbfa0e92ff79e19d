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
#include <Eigen/Dense>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
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

// Where the motion turns: the extreme sample of every excursion the path
// then leaves by more than `band`, with the first and the last sample.
std::vector<std::size_t> Turns(const std::vector<double>& u, double band) {
  std::vector<std::size_t> turns{0};
  std::size_t high = 0, low = 0, extreme = 0;
  int heading = 0;
  for (std::size_t k = 1; k < u.size(); ++k) {
    if (heading == 0) {
      if (u[k] > u[high]) high = k;
      if (u[k] < u[low]) low = k;
      if (u[high] - u[low] <= band) continue;
      heading = high > low ? 1 : -1;
      if (std::min(high, low) > 0) turns.push_back(std::min(high, low));
      extreme = std::max(high, low);
    } else if (heading * (u[k] - u[extreme]) >= 0.0) {
      extreme = k;
    } else if (heading * (u[extreme] - u[k]) > band) {
      turns.push_back(extreme);
      heading = -heading;
      extreme = k;
    }
  }
  if (turns.back() != u.size() - 1) turns.push_back(u.size() - 1);
  return turns;
}

// The least-squares parabola through samples first … last (in index t),
// at sample k; the line through two, the sample itself alone.
double ParabolaAt(const std::vector<double>& u, std::size_t first, std::size_t last, std::size_t k) {
  if (last == first) return u[k];
  Eigen::Matrix3d A = Eigen::Matrix3d::Zero();
  Eigen::Vector3d b = Eigen::Vector3d::Zero();
  const int degree = last - first >= 2 ? 3 : 2;
  for (std::size_t j = first; j <= last; ++j) {
    const double t = static_cast<double>(j) - static_cast<double>(k);
    const double powers[3] = {1.0, t, t * t};
    for (int a = 0; a < degree; ++a) {
      b(a) += powers[a] * u[j];
      for (int c = 0; c < degree; ++c) A(a, c) += powers[a] * powers[c];
    }
  }
  const Eigen::VectorXd x = A.topLeftCorner(degree, degree).ldlt().solve(b.head(degree));
  return x(0);
}

// Each sample from the parabola through the m samples either side of it,
// never across a turn (a ramp's tip stays sharp); a turn itself from the
// parabolas of the stretches before and after it, averaged.
std::vector<double> Smoothed(const std::vector<double>& u, const std::vector<std::size_t>& turns, std::size_t m) {
  std::vector<double> out(u.size(), 0.0);
  std::vector<int> count(u.size(), 0);
  for (std::size_t t = 0; t + 1 < turns.size(); ++t) {
    const std::size_t a = turns[t], b = turns[t + 1];
    for (std::size_t k = a; k <= b; ++k) {
      out[k] += ParabolaAt(u, k - std::min(m, k - a), k + std::min(m, b - k), k);
      ++count[k];
    }
  }
  for (std::size_t k = 0; k < u.size(); ++k) out[k] = count[k] > 0 ? out[k] / count[k] : u[k];
  return out;
}

}  // namespace

std::vector<double> SmoothedDisplacement(const std::vector<double>& u, double sigma) {
  if (!(sigma > 0.0) || u.size() < 5) return u;
  const std::vector<std::size_t> turns = Turns(u, 6.0 * sigma);
  // Noise alone leaves a residual of variance σ²·(1 − c₀), c₀ =
  // 3(3m² + 3m − 1)/((2m + 1)(4m² + 4m − 3)) the centre's weight in its
  // parabola: |residual| has a median of 0.6745 times its deviation.
  const auto noiseAlone = [sigma](std::size_t m) {
    const double md = static_cast<double>(m);
    return sigma * sigma * (1.0 - 3.0 * (3.0 * md * md + 3.0 * md - 1.0) / ((2.0 * md + 1.0) * (4.0 * md * md + 4.0 * md - 3.0)));
  };
  // The widest window whose residuals' median stays near that; the median,
  // so that the few samples next to a kink (a change of rate) do not hold
  // the window back everywhere else.
  std::vector<std::size_t> ladder;
  std::vector<std::vector<double>> smoothed;
  std::vector<double> residual(u.size());
  for (const std::size_t m : {2, 3, 4, 6, 8, 11, 16, 24, 32}) {
    std::vector<double> s = Smoothed(u, turns, m);
    for (std::size_t k = 0; k < u.size(); ++k) residual[k] = std::fabs(u[k] - s[k]);
    if (Median(residual) > 1.1 * 0.6745 * std::sqrt(noiseAlone(m))) break;
    ladder.push_back(m);
    smoothed.push_back(std::move(s));
  }
  // Next to a kink the parabola misses: there each sample steps down the
  // ladder until the residuals within its window look like noise again.
  std::vector<double> out = u, prefix(u.size() + 1);
  std::vector<bool> settled(u.size(), false);
  for (std::size_t rung = ladder.size(); rung-- > 0;) {
    const std::vector<double>& s = smoothed[rung];
    const std::size_t m = ladder[rung];
    for (std::size_t k = 0; k < u.size(); ++k) prefix[k + 1] = prefix[k] + (u[k] - s[k]) * (u[k] - s[k]);
    for (std::size_t k = 0; k < u.size(); ++k) {
      if (settled[k]) continue;
      const std::size_t a = k - std::min(k, m), b = std::min(u.size() - 1, k + m);
      if ((prefix[b + 1] - prefix[a]) / static_cast<double>(b - a + 1) > 2.0 * noiseAlone(m)) continue;
      out[k] = s[k];
      settled[k] = true;
    }
  }
  return out;
}

std::uint64_t SeedOf(const std::vector<double>& u, const std::vector<double>& F, std::size_t first, std::size_t last) {
  std::uint64_t hash = 0xcbf29ce484222325ULL;
  for (const std::vector<double>* samples : {&u, &F}) {
    for (std::size_t k = first; k <= last && k < samples->size(); ++k) {
      std::uint64_t bits = 0;
      std::memcpy(&bits, &(*samples)[k], sizeof bits);
      hash = (hash ^ bits) * 0x100000001b3ULL;
    }
  }
  return hash;
}

// Why a bootstrap. The fit runs the model along the measured u, so noise on
// u acts as motion: where it turns the path back near a peak, z runs a
// small loop and keeps what the loop cost, sample after sample, and the
// fit shifts its parameters to make up for forces the specimen never felt.
// The shift is neither linear nor quadratic in the noise (it grows with the
// number of such turns and with their size), so it cannot be read off a
// trend in added noise; and the residuals at the fit do not show it. A
// record made from the fitted model along a smooth stand-in for the motion,
// with noise of the measured size on u and F, goes through the same
// mechanism: the fit on it lands off the values that made it by what the
// real record's fit is off the truth. One Gauss-Newton step from the
// fitted values is that fit (a second moved none of the coverage study's
// records further), at the cost of a Jacobian. The moves' scatter is known
// to about 1/√(2·pairs): 50 pairs, 10 %.
DisplacementEffect NoisyDisplacementEffect(const LinearisedOn& along, const Eigen::VectorXd& fitted,
                                           const std::vector<double>& smoothU, const std::vector<double>& smoothF,
                                           double sigmaU, double sigmaF, std::uint64_t seed, int pairs) {
  const Eigen::Index p = fitted.size();
  DisplacementEffect effect;
  effect.shift.assign(static_cast<std::size_t>(p), 0.0);
  effect.variance.assign(static_cast<std::size_t>(p), 0.0);
  if (!(sigmaU > 0.0) || pairs < 1 || p == 0) return effect;
  Deviates deviate(seed);
  std::vector<Eigen::VectorXd> moves;
  std::vector<double> du(smoothU.size()), dF(smoothF.size()), u(smoothU.size()), F(smoothF.size());
  Eigen::MatrixXd J;
  Eigen::VectorXd r;
  for (int d = 0; d < pairs; ++d) {
    for (double& e : du) e = sigmaU * deviate();
    for (double& e : dF) e = sigmaF * deviate();
    // Each draw as δ and −δ: the pair's mean holds the shift with the part
    // odd in the noise cancelled.
    for (const double sign : {1.0, -1.0}) {
      for (std::size_t k = 0; k < u.size(); ++k) u[k] = smoothU[k] + sign * du[k];
      for (std::size_t k = 0; k < F.size(); ++k) F[k] = smoothF[k] + sign * dF[k];
      if (!along(fitted, u, F, J, r)) continue;
      const Eigen::VectorXd step = -(J.transpose() * J).ldlt().solve(J.transpose() * r);
      if (step.allFinite()) moves.push_back(step);
    }
  }
  effect.moves = static_cast<int>(moves.size());
  if (moves.size() < 2) return effect;
  Eigen::VectorXd mean = Eigen::VectorXd::Zero(p), squares = Eigen::VectorXd::Zero(p);
  for (const Eigen::VectorXd& m : moves) mean += m;
  mean /= static_cast<double>(moves.size());
  for (const Eigen::VectorXd& m : moves) squares += (m - mean).cwiseAbs2();
  squares /= static_cast<double>(moves.size() - 1);
  for (Eigen::Index a = 0; a < p; ++a) {
    effect.shift[static_cast<std::size_t>(a)] = mean(a);
    effect.variance[static_cast<std::size_t>(a)] = squares(a);
  }
  return effect;
}

}  // namespace quorix::measured::detail
