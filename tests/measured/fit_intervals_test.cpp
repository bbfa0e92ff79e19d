// The sandwich intervals: t quantiles against SciPy's (scipy.stats.t.ppf(0.975, ν), 7 digits), their coverage
// on straight-line fits whose errors are known, the bandwidth on scores of known correlation, the shift that
// noise on the displacement makes and the smoothing that the bootstrap for it starts from, and a small
// coverage study of the whole-record fit.
#include <gtest/gtest.h>

#include <Eigen/Core>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "coverage_study.h"
#include "fit_intervals.h"

namespace quorix::measured {
namespace {

TEST(StudentQuantile, MatchesScipy) {
  const double cases[][2] = {{1, 12.7062047}, {5, 2.5705818},   {9, 2.2621572},    {10, 2.2281389},  {20, 2.0859634},
                             {30, 2.0422725}, {100, 1.9839715}, {1000, 1.9623391}, {10000, 1.9602012}};
  for (const auto& c : cases) EXPECT_NEAR(detail::StudentQuantile975(c[0]), c[1], 1e-5) << c[0];
}

// A path that swings like a cyclic test's.
std::vector<double> Path(int rows) {
  std::vector<double> x;
  for (int i = 0; i < rows; ++i) x.push_back(std::sin(0.01 * i) * (1.0 + i / 1500.0));
  return x;
}

// y = θ·x + e through the origin, 1000 lines of 3000 points, errors independent or AR(1) (unit variance),
// of constant size or 2x²: the intervals hold θ in 92 … 97.5 % (binomial spread 0.7 %; Bartlett's weights
// leave correlated errors a little short), where s²·(JᵀJ)⁻¹ falls to 78, 68 and 49 %.
TEST(LineCoverage, HoldsTheSlopeNineteenTimesInTwenty) {
  const int rows = 3000, draws = 1000;
  const double theta = 1.5;
  const std::vector<double> x = Path(rows);
  for (const bool correlated : {false, true}) {
    for (const bool growing : {false, true}) {
      testing::NormalDeviates normal(11);
      int held = 0;
      for (int d = 0; d < draws; ++d) {
        Eigen::VectorXd e(rows);
        double carried = 0.0, sxy = 0.0, sxx = 0.0;
        for (int i = 0; i < rows; ++i) {
          const double xi = x[static_cast<std::size_t>(i)];
          carried = correlated ? 0.6 * carried + 0.8 * normal() : normal();
          e(i) = growing ? 2.0 * xi * xi * carried : carried;
          sxy += xi * (theta * xi + e(i)), sxx += xi * xi;
        }
        const Eigen::Map<const Eigen::VectorXd> J(x.data(), rows);
        const double fitted = sxy / sxx;
        const detail::SandwichIntervals s = detail::Sandwich(J, fitted * J - (theta * J + e), {fitted});
        held += s.bounds[0][0] <= theta && theta <= s.bounds[0][1];
      }
      EXPECT_GE(held, 920) << correlated << growing;
      EXPECT_LE(held, 975) << correlated << growing;
    }
  }
}

// Scores following an AR(1) of coefficient ρ: Andrews' bandwidth 1.1447·(4ρ²/((1 − ρ)²(1 + ρ)²)·N)^(1/3),
// within the spread of ρ's estimate.
TEST(BartlettLag, FollowsTheScoresCorrelation) {
  const int rows = 20000;
  for (const double rho : {0.0, 0.3, 0.6, 0.9}) {
    testing::NormalDeviates normal(5);
    Eigen::VectorXd f(rows);
    double carried = 0.0;
    for (int i = 0; i < rows; ++i) f(i) = carried = rho * carried + normal();
    const double expected = 1.1447 * std::cbrt(4.0 * rho * rho / std::pow((1.0 - rho) * (1.0 + rho), 2) * rows);
    EXPECT_NEAR(static_cast<double>(detail::BartlettLag(Eigen::MatrixXd::Ones(rows, 1), f)), expected,
                0.1 * expected + 1.0)
        << rho;
  }
}

// y = θ·x² fitted along x read with noise σ (and y with noise 0.02): Σx̃²y / Σx̃⁴ shifts by about
// −5θσ²·Σx²/Σx⁴. The bootstrap's shift and scatter against the mean and the variance of that estimate over
// 4000 draws.
TEST(NoisyDisplacementEffect, FindsTheShiftAndScatterThatNoiseOnTheRegressorMakes) {
  const int rows = 3000, draws = 4000;
  const double theta = 1.5, noiseF = 0.02;
  const std::vector<double> x = Path(rows);
  std::vector<double> y;
  for (const double xk : x) y.push_back(theta * xk * xk);
  const detail::LinearisedOn along = [&](const Eigen::VectorXd& at, const std::vector<double>& u,
                                         const std::vector<double>& F, Eigen::MatrixXd& J, Eigen::VectorXd& r) {
    J.resize(rows, 1), r.resize(rows);
    for (int i = 0; i < rows; ++i) {
      const std::size_t k = static_cast<std::size_t>(i);
      J(i, 0) = u[k] * u[k];
      r(i) = at(0) * u[k] * u[k] - F[k];
    }
    return true;
  };
  for (const double sigma : {0.01, 0.03}) {
    testing::NormalDeviates normal(17);
    double shift = 0.0, squares = 0.0;
    for (int d = 0; d < draws; ++d) {
      double sxy = 0.0, sxx = 0.0;
      for (const double xk : x) {
        const double seen = xk + sigma * normal(), square = seen * seen;
        sxy += square * (theta * xk * xk + noiseF * normal()), sxx += square * square;
      }
      shift += (sxy / sxx - theta) / draws, squares += std::pow(sxy / sxx - theta, 2) / draws;
    }
    const double variance = squares - shift * shift;
    const Eigen::VectorXd fitted = Eigen::VectorXd::Constant(1, theta);
    // Eight seeds of 50 pairs: each one's scatter is known to about 20 % (1/√50), their mean to 7 %.
    double scatter = 0.0;
    for (std::uint64_t seed = 1; seed <= 8; ++seed) {
      scatter += detail::NoisyDisplacementEffect(along, fitted, x, y, sigma, noiseF, seed).variance[0] / 8.0;
    }
    const detail::DisplacementEffect effect = detail::NoisyDisplacementEffect(along, fitted, x, y, sigma, noiseF, 9);
    EXPECT_LT(shift, 0.0);
    EXPECT_EQ(effect.moves, 100);
    EXPECT_NEAR(effect.shift[0], shift, 0.1 * std::fabs(shift)) << sigma;
    EXPECT_NEAR(scatter, variance, 0.2 * variance) << sigma;
  }
}

// A triangular path read with noise: the smoothed path keeps every tip (no window reaches across a turn)
// and stands closer to the true path than the reading does; without noise the path is its own.
TEST(SmoothedDisplacement, RemovesNoiseAndKeepsTheTips) {
  const testing::TrianglePath path = testing::Triangles(1.0, {0.5, 1.0, 2.0}, 2, 100);
  for (const double sigma : {0.001, 0.004}) {
    testing::NormalDeviates normal(23);
    std::vector<double> read = path.u;
    for (double& v : read) v += sigma * normal();
    const std::vector<double> smooth = detail::SmoothedDisplacement(read, sigma);
    double before = 0.0, after = 0.0, tips = 0.0;
    for (std::size_t k = 0; k < read.size(); ++k) {
      before += std::pow(read[k] - path.u[k], 2), after += std::pow(smooth[k] - path.u[k], 2);
    }
    for (const std::size_t t : path.tips) tips = std::fmax(tips, std::fabs(smooth[t] - path.u[t]));
    EXPECT_LT(std::sqrt(after / before), 0.45) << sigma;
    EXPECT_LT(tips, 1.5 * sigma) << sigma;
  }
  EXPECT_EQ(detail::SmoothedDisplacement(path.u, 0.0), path.u);
}

// The whole-record fit on 40 short records a setting: every interval holds the truth in at least 85 % of them.
// The benchmark runs the full study.
TEST(RecordFitCoverage, IntervalsHoldTheTruth) {
  for (const testing::NoiseSetting& s : testing::kCoverageSettings) {
    const testing::Coverage c = testing::RunCoverage(s, 40, 40, 500);
    std::printf("%s:", s.name);
    for (std::size_t i = 0; i < 5; ++i) {
      std::printf(" %s %.0f %%", kParameterNames[i], 100.0 * c.Share(c.held[i]));
      EXPECT_GE(c.Share(c.held[i]), 0.85) << s.name << ", " << kParameterNames[i];
    }
    std::printf(" (%d refused)\n", c.refused);
  }
}

}  // namespace
}  // namespace quorix::measured
