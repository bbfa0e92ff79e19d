// Other fits as good as the fit's own: the verdict on the searches' ends (as good, outside the fit's
// uncertainty, the same valley twice), the scan's distinct starting points, and both on a known record.
#include <gtest/gtest.h>

#include <Eigen/Core>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "cycles.h"
#include "fit.h"
#include "other_fits.h"
#include "synthetic.h"

namespace quorix::measured {
namespace {

const Case kTrue{.n = 2.5, .gamma = 0.75, .alpha = 0.08, .Fy = 3.1, .Uy = 0.15};

// Half-widths (two standard errors) 0.2 (n), 0.04 (γ), 0.02 (α), 0.1 (Fy), 0.004 (Uy); as good: rms ≤ 1.01.
FitResult Best() {
  FitResult fit;
  fit.parameters = kTrue;
  fit.errors = {0.1, 0.02, 0.01, 0.05, 0.002};
  fit.rms = 1.0;
  fit.rmsRelative = 0.01;
  return fit;
}

OtherFit Candidate(double rms, double Case::*field = nullptr, double value = 0.0, double z0 = 0.0) {
  OtherFit c;
  c.z0 = z0;
  c.parameters = kTrue;
  if (field != nullptr) c.parameters.*field = value;
  c.rms = rms;
  c.rmsRelative = rms / 100.0;
  return c;
}

// A record without noise has errors of 0 (kExact): searches apart by rounding are one fit, apart by more two.
// A held parameter is no difference; z0, fitted, counts as the sixth.
enum Variant { kPlain, kExact, kAlphaHeld, kZ0Fitted };
TEST(OtherFits, KeepsOnlyThoseAsGoodAndOutsideTheUncertainty) {
  const struct {
    OtherFit candidate;
    std::vector<std::size_t> differs;  // empty: not another fit
    Variant variant = kPlain;
  } cases[] = {{Candidate(1.01, &Case::n, 5.0), {0}},     // exactly 1 % worse
               {Candidate(1.02, &Case::n, 5.0), {}},      // 2 % worse
               {Candidate(1.001, &Case::n, 2.69), {}},    // inside two standard errors
               {Candidate(1.001, &Case::n, 2.71), {0}},   // just outside
               {Candidate(1.0, &Case::gamma, 0.70), {1}}, {Candidate(1.0, &Case::Uy, 0.155), {4}},
               {Candidate(1.0), {}},                      // the fit itself
               {Candidate(NAN, &Case::n, 5.0), {}},
               {Candidate(1.0, &Case::alpha, std::nextafter(kTrue.alpha, 1.0)), {}, kExact},
               {Candidate(1.0, &Case::Fy, kTrue.Fy * (1 + 4e-16)), {}, kExact},
               {Candidate(1.0, &Case::alpha, kTrue.alpha + 1e-6), {2}, kExact},
               {Candidate(1.0, &Case::Uy, kTrue.Uy * (1 + 1e-6)), {4}, kExact},
               {Candidate(1.0, &Case::alpha, 0.3), {}, kAlphaHeld}, {Candidate(1.0, nullptr, 0.0, 0.5), {5}, kZ0Fitted}};
  for (const auto& c : cases) {
    FitResult fit = Best();
    if (c.variant == kExact) fit.errors = {};
    fit.fixed[2] = c.variant == kAlphaHeld;
    if (c.variant == kAlphaHeld) fit.errors[2] = 0.0;
    fit.z0Fitted = c.variant == kZ0Fitted;
    fit.z0Error = 0.01;
    detail::KeepOtherFits({c.candidate}, fit);
    ASSERT_EQ(fit.otherFits.size(), c.differs.empty() ? 0u : 1u) << c.candidate.rms << " " << c.variant;
    if (!c.differs.empty()) {
      EXPECT_EQ(fit.otherFits[0].differs, c.differs) << c.candidate.rms;
    }
  }
}

TEST(OtherFits, OneOfEachValleyBestFirstNamingWhatDiffers) {
  FitResult fit = Best();
  OtherFit both = Candidate(1.009, &Case::n, 1.0);
  both.parameters.gamma = 0.2;
  // 5.01 lies within n's half-width of 5.0: the same valley, worse.
  detail::KeepOtherFits({both, Candidate(1.008, &Case::n, 5.01), Candidate(1.005, &Case::n, 5.0)}, fit);
  ASSERT_EQ(fit.otherFits.size(), 2u);
  EXPECT_EQ(fit.otherFits[0].parameters.n, 5.0);
  fit.warnings = {FitWarning::kOtherFits};
  const std::string text = WarningTexts(fit, 1).at(0);
  EXPECT_EQ(text.rfind("other fits as good: n = 5 (misfit 1.005 %); n = 1, gamma = 0.2 (misfit 1.009 %) fit ", 0), 0u)
      << text;
  EXPECT_NE(text.find("the record does not tell n and gamma apart"), std::string::npos) << text;
}

// cost = (n − 3)² + 10·(γ − 0.6)² + (Uy/Uy_knee − 1)²: best (3, 0.6, 1); every other γ and Uy lies within a
// step of it, so the next distinct points are n = 1.2 (cost 3.24), then 8 (two steps from 3, four from 1.2).
// With n and γ held, Uy's axis alone, 0.25 … 4 times the knee's: valleys at 1, 0.25 and 4 times it, in that
// order; two starts, the best and the next one not beside it.
TEST(ScanStarts, BestFirstAndNoneNextToAnother) {
  const Case knee{.n = 2.0, .gamma = 0.5, .alpha = 0.1, .Fy = 1.0, .Uy = 2.0};
  const bool free[5] = {true, true, true, true, true}, uyFree[5] = {false, false, true, true, true};
  const auto cost = [&](Case& p) {
    return std::pow(p.n - 3.0, 2) + 10.0 * std::pow(p.gamma - 0.6, 2) + std::pow(p.Uy / knee.Uy - 1.0, 2);
  };
  const std::vector<Case> starts = detail::ScanStarts(knee, knee, free, cost, "response", 5);
  ASSERT_EQ(starts.size(), 3u);
  for (std::size_t k = 0; k < 3; ++k) {
    EXPECT_EQ(std::vector<double>({starts[k].n, starts[k].gamma, starts[k].Uy}),
              std::vector<double>({std::vector<double>{3.0, 1.2, 8.0}[k], 0.6, knee.Uy}));
  }
  EXPECT_EQ(detail::ScanStarts(knee, knee, free, cost, "response", 2).size(), 2u);
  std::vector<double> seen;
  const auto valleys = [&](Case& p) {
    const double ratio = p.Uy / knee.Uy;
    seen.push_back(ratio);
    return ratio == 1.0 ? 0.5 : ratio == 0.25 ? 1.0 : ratio == 4.0 ? 2.0 : 9.0;  // ×2, ÷2: exact
  };
  const std::vector<Case> two = detail::ScanStarts(knee, knee, uyFree, valleys, "response", 5);
  EXPECT_EQ(seen, (std::vector<double>{0.25, 0.4, 0.6, 1.0, 1.6, 2.5, 4.0}));
  ASSERT_EQ(two.size(), 2u);
  EXPECT_EQ(std::vector<double>({two[0].Uy, two[1].Uy}), std::vector<double>({knee.Uy, 0.25 * knee.Uy}));
}

// The misfit of one element of `p` along the record, its z integrated by RK4 (not the fit's closed forms).
double Rk4Misfit(const testing::Synthetic& r, const Case& p) {
  const testing::Synthetic model = testing::MakeParallelRecord({{p.n, p.gamma, p.alpha, p.Fy, p.Uy}}, r.u, 16);
  double ss = 0.0;
  for (std::size_t k = 0; k < r.F.size(); ++k) ss += (model.F[k] - r.F[k]) * (model.F[k] - r.F[k]);
  return std::sqrt(ss / static_cast<double>(r.F.size()));
}

// Two layers yielding at 0.1 and 1 (synthetic.h), n and γ held: one element fits it with the early layer's
// yield or with the late one's, alike. The fit's searches find both, their misfits agree within 1 % by RK4,
// and the other lies outside the fit's intervals in α, Fy and Uy, which the one warning names.
TEST(OtherFits, BothLayersOfATwoLayerRecord) {
  const testing::Synthetic r = testing::TwoLayers();
  const CycleTable table = FindCycles(r.u, r.F);
  FitOptions held;
  held.fixed[0] = 4.0;
  held.fixed[1] = 0.5;
  const FitResult fit = Fit(r.u, r.F, table, held);
  ASSERT_EQ(fit.otherFits.size(), 1u);
  const OtherFit& other = fit.otherFits[0];
  EXPECT_EQ(other.differs, (std::vector<std::size_t>{2, 3, 4}));
  EXPECT_EQ(std::count(fit.warnings.begin(), fit.warnings.end(), FitWarning::kOtherFits), 1);
  const double lowUy = std::min(fit.parameters.Uy, other.parameters.Uy);
  const double highUy = std::max(fit.parameters.Uy, other.parameters.Uy);
  EXPECT_TRUE(lowUy < 0.5 && highUy > 0.5) << lowUy << " " << highUy;
  const double fitMisfit = Rk4Misfit(r, fit.parameters), otherMisfit = Rk4Misfit(r, other.parameters);
  EXPECT_NEAR(fitMisfit, fit.rms, 1e-6 * fit.rms);
  EXPECT_NEAR(otherMisfit, other.rms, 1e-6 * other.rms);
  EXPECT_LT(std::fabs(otherMisfit - fitMisfit), 0.01 * std::min(fitMisfit, otherMisfit));
  ASSERT_TRUE(fit.hasIntervals);
  for (std::size_t i : {2, 3, 4}) {
    const double v = detail::Get(other.parameters, i);
    EXPECT_TRUE(v < fit.intervals[i][0] || v > fit.intervals[i][1]) << kParameterNames[i];
  }
}

// Residuals x² − 1 and 0.1·(x − 1): valleys at x ≈ −1 (‖f‖² ≈ 0.04) and x = 1 (0). The search from 2, second,
// is the fit; a start the model cannot be evaluated at is left out, and with none left the refusal is thrown.
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
    return x(0) > -5.0;
  };
  const detail::LocalSearches searches = detail::SearchFromEach(problem, {{-2.0}, {2.0}}, {}, "search");
  ASSERT_EQ(searches.found.size(), 2u);
  EXPECT_EQ(searches.best, 1u);
  EXPECT_NEAR(searches.found[1].search.position[0], 1.0, 1e-12);
  EXPECT_NEAR(searches.found[0].search.position[0], -1.0, 0.02);
  EXPECT_GT(searches.found[0].cost, 0.03);
  const detail::LocalSearches one = detail::SearchFromEach(problem, {{-9.0}, {2.0}}, {}, "search");
  ASSERT_EQ(one.found.size(), 1u);
  EXPECT_EQ(one.found[0].start, 1u);
  EXPECT_THROW(detail::SearchFromEach(problem, {{-9.0}}, {}, "search"), Refusal);
}

}  // namespace
}  // namespace quorix::measured
