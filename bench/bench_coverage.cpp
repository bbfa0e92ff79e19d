// The whole-record fit's 95 % intervals, measured: for each of four noise
// settings, `records` records (default 200) made by the tests' RK4
// integration of the law from known parameters, each fitted, and the share
// whose interval holds the true value, per parameter, beside the share for
// value ± 1.96 standard errors. Then the intervals' cost beside the fit's
// own on a record of 10⁴ samples.
//   quorix_bench_coverage [records [samples-per-quarter]]    the study, then the cost
//   quorix_bench_coverage cost                                the cost alone
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "coverage_study.h"
#include "fit_intervals.h"
#include "response.h"

namespace {

using namespace quorix::measured;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

void PrintTable(int records, int perQuarter) {
  const testing::Synthetic clean = testing::CoverageRecord(perQuarter);
  std::printf("Coverage of the 95 %% intervals: %d records a setting, %zu samples each (two cycles at 0.5, 1, 2 Uy "
              "from rest), true n %.2f, gamma %.2f, alpha %.2f, Fy %.2f, Uy %.2f\n\n",
              records, clean.u.size(), testing::kCoverageModel.n, testing::kCoverageModel.gamma,
              testing::kCoverageModel.alpha, testing::kCoverageModel.Fy, testing::kCoverageModel.Uy);
  std::printf("| method | noise | records | refused | n | gamma | alpha | Fy | Uy |\n");
  std::printf("|---|---|---|---|---|---|---|---|---|\n");
  for (const testing::NoiseSetting& s : testing::kCoverageSettings) {
    const Clock::time_point start = Clock::now();
    const testing::Coverage c = testing::RunCoverage(s, records, perQuarter, 1000);
    const double took = Seconds(Clock::now() - start);
    std::printf("| sandwich (HAC), t; with noise on u the larger of it and a bootstrap, about the corrected value | %s | %d | %d |", s.name, c.records, c.refused);
    for (int i = 0; i < 5; ++i) std::printf(" %.1f %% |", 100.0 * c.Share(c.held[i]));
    std::printf("\n| the same, centred on the fitted value | %s | %d | %d |", s.name, c.records, c.refused);
    for (int i = 0; i < 5; ++i) std::printf(" %.1f %% |", 100.0 * c.Share(c.centredHeld[i]));
    std::printf("\n| ± 1.96 std. errors | %s | %d | %d |", s.name, c.records, c.refused);
    for (int i = 0; i < 5; ++i) std::printf(" %.1f %% |", 100.0 * c.Share(c.stdHeld[i]));
    std::printf("   (%.1f s)\n", took);
    std::printf("| mean error, estimated shift, half-width, each / 1.96 std. errors | %s | | |", s.name);
    for (int i = 0; i < 5; ++i) std::printf(" %+.2f, %+.2f, %.2f |", c.meanError[i], c.meanBias[i], c.meanWidth[i]);
    std::printf("\n");
    std::fflush(stdout);
  }
}

// The fit of a 10⁴-sample record (312 samples a quarter, 8 cycles) against
// the intervals' share of it: the sandwich on a Jacobian of the same shape
// and the fit's own bandwidth.
void PrintCost() {
  using testing::Block;
  const testing::TrueModel m = testing::kCoverageModel;
  testing::Synthetic rec = testing::MakeRecord(
      m, {Block{0.5 * m.Uy, 2, false}, Block{1.0 * m.Uy, 2, false}, Block{2.0 * m.Uy, 2, false},
          Block{3.0 * m.Uy, 2, false}}, 312, 4);
  testing::AddNoise(rec, 0.01, 0.001, 0.0, 7);
  const CycleTable table = FindCycles(rec.u, rec.F);
  const int repeats = 3;
  FitResult fit;
  Clock::time_point start = Clock::now();
  for (int r = 0; r < repeats; ++r) fit = Fit(rec.u, rec.F, table);
  const double fitTime = Seconds(Clock::now() - start) / repeats;
  const Eigen::Index rows = static_cast<Eigen::Index>(rec.u.size());
  Eigen::MatrixXd J(rows, 5);
  Eigen::VectorXd f(rows);
  std::mt19937_64 engine(3);
  std::normal_distribution<double> normal;
  for (Eigen::Index i = 0; i < rows; ++i) {
    for (Eigen::Index c = 0; c < 5; ++c) J(i, c) = normal(engine);
    f(i) = normal(engine);
  }
  const std::vector<double> values{1.0, 1.0, 1.0, 1.0, 1.0};
  double sink = 0.0;
  const int intervalRepeats = 50;
  start = Clock::now();
  for (int r = 0; r < intervalRepeats; ++r) sink += detail::Sandwich(J, f, values, fit.intervalLag).halfWidths[0];
  const double intervalTime = Seconds(Clock::now() - start) / intervalRepeats;
  // The bootstrap for the noise on u: per refit the response along the
  // noisier u and one beside it for each of n, γ and Uy (α and Fy are
  // linear: two columns of the same cost stand for them), and the
  // residuals, as the fit runs it.
  const detail::LinearisedOn along = [&](const Eigen::VectorXd& at, const std::vector<double>& path,
                                         const std::vector<double>& F, Eigen::MatrixXd& Jn, Eigen::VectorXd& r) {
    quorix::Case p = fit.parameters;
    p.n = at(0), p.gamma = at(1), p.alpha = at(2), p.Fy = at(3), p.Uy = at(4);
    const std::vector<double> F0 = quorix::response::RespondAlong(path, p).F;
    Jn.resize(rows, 5);
    r.resize(rows);
    quorix::Case steps[3] = {p, p, p};
    steps[0].n += 3e-8 * p.n;
    steps[1].gamma += 3e-8;
    steps[2].Uy += 3e-8 * p.Uy;
    for (int k = 0; k < 3; ++k) {
      const std::vector<double> Fk = quorix::response::RespondAlong(path, steps[k]).F;
      for (Eigen::Index i = 0; i < rows; ++i) Jn(i, k) = (Fk[static_cast<std::size_t>(i)] - F0[static_cast<std::size_t>(i)]) / 3e-8;
    }
    const std::vector<double> again = quorix::response::RespondAlong(path, p).F;
    for (Eigen::Index i = 0; i < rows; ++i) {
      Jn(i, 3) = path[static_cast<std::size_t>(i)];
      Jn(i, 4) = 1.0;
      r(i) = again[static_cast<std::size_t>(i)] - F[static_cast<std::size_t>(i)];
    }
    return true;
  };
  const double sigma = detail::NoiseAndStep(rec.u).first;
  start = Clock::now();
  const std::vector<double> smoothU = detail::SmoothedDisplacement(rec.u, sigma);
  const std::vector<double> smoothF = quorix::response::RespondAlong(smoothU, fit.parameters).F;
  const Eigen::VectorXd fitted{{fit.parameters.n, fit.parameters.gamma, fit.parameters.alpha, fit.parameters.Fy,
                                fit.parameters.Uy}};
  sink += detail::NoisyDisplacementEffect(along, fitted, smoothU, smoothF, sigma, 0.01, 1).shift[0];
  const double bootstrapTime = Seconds(Clock::now() - start);
  std::printf("\nCost on %zu samples (1 %% noise on F, 0.1 %% on u): the fit %.1f ms (intervals included); the "
              "sandwich %.3f ms (bandwidth %zu lags), %.2f %% of the fit; the bootstrap for the noise on u "
              "(sigma %.3g) %.1f ms, %.0f %% of the fit%s\n",
              rec.u.size(), 1e3 * fitTime, 1e3 * intervalTime, fit.intervalLag, 100.0 * intervalTime / fitTime, sigma,
              1e3 * bootstrapTime, 100.0 * bootstrapTime / fitTime, sink != 0.0 ? "" : " ");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "cost") {
    PrintCost();
    return 0;
  }
  const int records = argc > 1 ? std::atoi(argv[1]) : 200;
  const int perQuarter = argc > 2 ? std::atoi(argv[2]) : 100;
  if (records < 1 || perQuarter < 4) {
    std::fprintf(stderr, "usage: quorix_bench_coverage [records >= 1 [samples-per-quarter >= 4]]\n");
    return 2;
  }
  PrintTable(records, perQuarter);
  PrintCost();
  return 0;
}
