// Other fits as good as the fit's own: the verdict on the searches' ends
// (which are as good, which lie outside the fit's uncertainty, which are the
// same valley twice), the scan's distinct starting points, and both on
// records whose parameters are known.
#include <gtest/gtest.h>

#include <Eigen/Core>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "cycles.h"
#include "fit.h"
#include "other_fits.h"
#include "response.h"
#include "synthetic.h"

namespace quorix::measured {
namespace {

const Case kTrue{.n = 2.5, .gamma = 0.75, .alpha = 0.08, .Fy = 3.1, .Uy = 0.15};

// A fit with these standard errors (two of them: the half-widths) and an
// rms of 1.
FitResult Best() {
  FitResult fit;
  fit.parameters = kTrue;
  fit.errors = {0.1, 0.02, 0.01, 0.05, 0.002};
  fit.rms = 1.0;
  fit.rmsRelative = 0.01;
  return fit;
}

OtherFit Candidate(double rms, double Case::*field = nullptr, double value = 0.0) {
  OtherFit c;
  c.parameters = kTrue;
  if (field != nullptr) c.parameters.*field = value;
  c.rms = rms;
  c.rmsRelative = rms / 100.0;
  return c;
}

struct Judged {
  const char* what;
  OtherFit candidate;
  std::vector<std::size_t> differs;  // empty: not another fit
};

class OtherFitVerdict : public ::testing::TestWithParam<Judged> {};

TEST_P(OtherFitVerdict, KeepsOnlyThoseAsGoodAndOutsideTheUncertainty) {
  const Judged& c = GetParam();
  FitResult fit = Best();
  detail::KeepOtherFits({c.candidate}, fit);
  if (c.differs.empty()) {
    EXPECT_TRUE(fit.otherFits.empty());
  } else {
    ASSERT_EQ(fit.otherFits.size(), 1u);
    EXPECT_EQ(fit.otherFits[0].differs, c.differs);
  }
}

// Half-widths 0.2 (n), 0.04 (γ), 0.02 (α), 0.1 (Fy), 0.004 (Uy); as good:
// rms at most 1.01.
INSTANTIATE_TEST_SUITE_P(
    Candidates, OtherFitVerdict,
    ::testing::Values(Judged{"n far, as good", Candidate(1.005, &Case::n, 5.0), {0}},
                      Judged{"n far, exactly 1 % worse", Candidate(1.01, &Case::n, 5.0), {0}},
                      Judged{"n far, 2 % worse", Candidate(1.02, &Case::n, 5.0), {}},
                      Judged{"n inside two standard errors", Candidate(1.001, &Case::n, 2.69), {}},
                      Judged{"n just outside them", Candidate(1.001, &Case::n, 2.71), {0}},
                      Judged{"gamma below", Candidate(1.0, &Case::gamma, 0.70), {1}},
                      Judged{"Uy above", Candidate(1.0, &Case::Uy, 0.155), {4}},
                      Judged{"the fit itself again", Candidate(1.0), {}},
                      Judged{"a misfit that is no number", Candidate(NAN, &Case::n, 5.0), {}}));

TEST(OtherFits, OneOfEachValleyBestFirstNamingWhatDiffers) {
  FitResult fit = Best();
  OtherFit both = Candidate(1.009, &Case::n, 1.0);
  both.parameters.gamma = 0.2;
  // 5.01 lies within n's half-width of 5.0: the same valley, worse.
  detail::KeepOtherFits({both, Candidate(1.008, &Case::n, 5.01), Candidate(1.005, &Case::n, 5.0)}, fit);
  ASSERT_EQ(fit.otherFits.size(), 2u);
  EXPECT_EQ(fit.otherFits[0].parameters.n, 5.0);
  EXPECT_EQ(fit.otherFits[1].differs, (std::vector<std::size_t>{0, 1}));
  fit.warnings = {FitWarning::kOtherFits};
  const std::vector<std::string> texts = WarningTexts(fit, 1);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].rfind("other fits as good: n = 5 (misfit 1.005 %); n = 1, gamma = 0.2 (misfit 1.009 %) fit ", 0), 0u)
      << texts[0];
  EXPECT_NE(texts[0].find("the record does not tell n and gamma apart"), std::string::npos) << texts[0];
  // A held parameter is no difference: it was not fitted.
  FitResult held = Best();
  held.fixed[2] = true;
  held.errors[2] = 0.0;
  detail::KeepOtherFits({Candidate(1.0, &Case::alpha, 0.3)}, held);
  EXPECT_TRUE(held.otherFits.empty());
  // z0, fitted, counts as the sixth.
  FitResult withZ0 = Best();
  withZ0.z0Fitted = true;
  withZ0.z0Error = 0.01;
  OtherFit shifted = Candidate(1.0);
  shifted.z0 = 0.5;
  detail::KeepOtherFits({shifted}, withZ0);
  ASSERT_EQ(withZ0.otherFits.size(), 1u);
  EXPECT_EQ(withZ0.otherFits[0].differs, std::vector<std::size_t>{5});
}

// cost = (n − 3)² + 10·(γ − 0.6)² + (Uy/Uy_knee − 1)²: the best point is
// (3, 0.6, 1); every other γ and Uy lies within one step of it, so the next
// distinct points differ in n by two steps or more: 1.2 (cost 3.24), then 8
// (25), which is two steps from 3 and four from 1.2; no fourth.
TEST(ScanStarts, BestFirstAndNoneNextToAnother) {
  const Case knee{.n = 2.0, .gamma = 0.5, .alpha = 0.1, .Fy = 1.0, .Uy = 2.0};
  const bool free[5] = {true, true, true, true, true};
  const auto cost = [&](Case& p) {
    return (p.n - 3.0) * (p.n - 3.0) + 10.0 * (p.gamma - 0.6) * (p.gamma - 0.6) +
           (p.Uy / knee.Uy - 1.0) * (p.Uy / knee.Uy - 1.0);
  };
  const std::vector<Case> starts = detail::ScanStarts(knee, knee, free, cost, "response", 5);
  const double expected[3] = {3.0, 1.2, 8.0};
  ASSERT_EQ(starts.size(), 3u);
  for (std::size_t k = 0; k < 3; ++k) {
    EXPECT_EQ(starts[k].n, expected[k]);
    EXPECT_EQ(starts[k].gamma, 0.6);
    EXPECT_EQ(starts[k].Uy, knee.Uy);
  }
  EXPECT_EQ(detail::ScanStarts(knee, knee, free, cost, "response", 2).size(), 2u);
}

struct Record {
  std::vector<double> u, F;
};

// Triangles at each amplitude (units of Uy) from rest, the force kTrue's
// exact response with `noise` of max |F| added.
Record Triangles(const std::vector<double>& amplitudes, int perQuarter, double noise) {
  testing::Synthetic r{testing::Triangles(kTrue.Uy, amplitudes, 3, perQuarter).u, {}};
  const std::vector<double> z = response::RespondAlong(r.u, kTrue).z;
  for (std::size_t k = 0; k < z.size(); ++k) {
    r.F.push_back(kTrue.alpha * kTrue.Fy * (r.u[k] / kTrue.Uy) + (1.0 - kTrue.alpha) * kTrue.Fy * z[k]);
  }
  testing::AddNoise(r, noise, 0.0, 0.0, 20261210);
  return {r.u, r.F};
}

bool Warns(const FitResult& fit, FitWarning w) {
  for (FitWarning x : fit.warnings) {
    if (x == w) return true;
  }
  return false;
}

// Cycles to 1.5 Uy: every search from the scan's distinct points ends in
// the one valley, and nothing else is reported.
TEST(OtherFits, NoneOnARecordThatDeterminesTheParameters) {
  const Record r = Triangles({0.6, 1.5}, 200, 0.01);
  const FitResult fit = Fit(r.u, r.F, FindCycles(r.u, r.F));
  EXPECT_GT(fit.starts, 1);
  EXPECT_TRUE(fit.otherFits.empty());
  EXPECT_FALSE(Warns(fit, FitWarning::kOtherFits));
}

// Residuals x² − 1 and 0.1·(x − 1): two valleys, at x ≈ −1 (‖f‖² ≈ 0.04)
// and x = 1 (0). The search from −2 ends in the first, that from 2 in the
// second, which is the fit although it started second.
TEST(SearchFromEach, TakesTheLowestEndAndKeepsTheOthers) {
  detail::LeastSquaresProblem problem;
  problem.rows = 2;
  problem.residuals = [](const Eigen::VectorXd& x, Eigen::VectorXd& f) {
    f(0) = x(0) * x(0) - 1.0;
    f(1) = 0.1 * (x(0) - 1.0);
  };
  problem.jacobian = [](const Eigen::VectorXd& x, Eigen::MatrixXd& J) {
    J(0, 0) = 2.0 * x(0);
    J(1, 0) = 0.1;
    return true;
  };
  const detail::LocalSearches searches = detail::SearchFromEach(problem, {{-2.0}, {2.0}}, {}, "search");
  ASSERT_EQ(searches.found.size(), 2u);
  EXPECT_EQ(searches.best, 1u);
  EXPECT_NEAR(searches.found[1].search.position[0], 1.0, 1e-12);
  EXPECT_NEAR(searches.found[0].search.position[0], -1.0, 0.02);
  EXPECT_GT(searches.found[0].cost, 0.03);
  // From the better start alone, the same end; a start the model cannot
  // be evaluated at is left out, and with none left its refusal is thrown.
  problem.jacobian = [](const Eigen::VectorXd& x, Eigen::MatrixXd& J) {
    J(0, 0) = 2.0 * x(0);
    J(1, 0) = 0.1;
    return x(0) > -5.0;
  };
  const detail::LocalSearches one = detail::SearchFromEach(problem, {{-9.0}, {2.0}}, {}, "search");
  ASSERT_EQ(one.found.size(), 1u);
  EXPECT_EQ(one.found[0].start, 1u);
  EXPECT_THROW(detail::SearchFromEach(problem, {{-9.0}}, {}, "search"), Refusal);
}

}  // namespace
}  // namespace quorix::measured
