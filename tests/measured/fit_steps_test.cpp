// The search and verdicts both fits share (fit_steps.h), on problems solved in closed form: a line's
// textbook regression, a noiseless decay, searches built to end each way; the scan's grid; and the thinned
// copy of a long record they search on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <string>
#include <vector>

#include "checks.h"
#include "cycles.h"
#include "fit_steps.h"
#include "record_sketch.h"
#include "response.h"
#include "synthetic.h"

namespace quorix::measured::detail {
namespace {

template <class F>
std::string RefusalOf(F call) {
  return quorix::testing::ThrownMessage<Refusal>(call);
}

// y = 2 + 0.5·t at t = 0 … 9, plus a fixed pattern of deviations.
struct Line {
  std::vector<double> t, y;
  explicit Line(bool noisy) {
    const double e[10] = {0.11, -0.23, 0.05, 0.17, -0.08, -0.19, 0.02, 0.21, -0.13, 0.07};
    for (int i = 0; i < 10; ++i) {
      t.push_back(i);
      y.push_back(2.0 + 0.5 * i + (noisy ? e[i] : 0.0));
    }
  }
};

// The line's residuals over (a, b), or (b, a) when `swapped`, for the pivoted QR.
LeastSquaresProblem LineProblem(const Line& line, bool swapped) {
  LeastSquaresProblem problem;
  problem.rows = line.t.size();
  problem.residuals = [&line, swapped](const Eigen::VectorXd& x, Eigen::VectorXd& f) {
    const double a = swapped ? x(1) : x(0), b = swapped ? x(0) : x(1);
    for (std::size_t i = 0; i < line.t.size(); ++i) f(i) = (a + b * line.t[i]) - line.y[i];
  };
  problem.jacobian = [&line, swapped](const Eigen::VectorXd&, Eigen::MatrixXd& J) {
    for (std::size_t i = 0; i < line.t.size(); ++i) {
      J(i, swapped ? 1 : 0) = 1.0;
      J(i, swapped ? 0 : 1) = line.t[i];
    }
    return true;
  };
  return problem;
}

// b = Sty/Stt, a = ȳ − b·t̄; s² = SSR/(n − 2), var b = s²/Stt, var a = s²·(1/n + t̄²/Stt).
struct LineTruth {
  double a, b, errorA, errorB;
};
LineTruth Regression(const Line& line) {
  const double n = static_cast<double>(line.t.size());
  double tm = 0.0, ym = 0.0;
  for (std::size_t i = 0; i < line.t.size(); ++i) {
    tm += line.t[i] / n;
    ym += line.y[i] / n;
  }
  double stt = 0.0, sty = 0.0;
  for (std::size_t i = 0; i < line.t.size(); ++i) {
    stt += (line.t[i] - tm) * (line.t[i] - tm);
    sty += (line.t[i] - tm) * (line.y[i] - ym);
  }
  const double b = sty / stt, a = ym - b * tm;
  double ssr = 0.0;
  for (std::size_t i = 0; i < line.t.size(); ++i) ssr += std::pow(a + b * line.t[i] - line.y[i], 2);
  const double s2 = ssr / (n - 2.0);
  return {a, b, std::sqrt(s2 * (1.0 / n + tm * tm / stt)), std::sqrt(s2 / stt)};
}

// The search reports iteration 0, then each iteration.
TEST(LeastSquares, ALineComesToItsRegressionAndItsTextbookErrorsInEitherColumnOrder) {
  const Line line(true);
  const LineTruth truth = Regression(line);
  for (bool swapped : {false, true}) {
    const LeastSquaresProblem problem = LineProblem(line, swapped);
    std::vector<std::string> heard;
    const Search search = LeastSquares(problem, {0.0, 0.0}, [&](const std::string& what) { heard.push_back(what); }, "line");
    ASSERT_EQ(search.end, SearchEnd::kConverged) << swapped;
    ASSERT_EQ(heard.size(), static_cast<std::size_t>(search.iterations) + 1);
    for (std::size_t i = 0; i < heard.size(); ++i) EXPECT_EQ(heard[i], "line, iteration " + std::to_string(i));
    const std::size_t ia = swapped ? 1 : 0, ib = swapped ? 0 : 1;
    EXPECT_NEAR(search.position[ia], truth.a, 1e-12 * truth.a) << swapped;
    EXPECT_NEAR(search.position[ib], truth.b, 1e-12 * truth.b) << swapped;
    const Linearised at = LinearisedAt(problem, search.position);
    const std::vector<double> errors =
        StandardErrors(at, search.position, swapped ? std::vector<std::string>{"b", "a"} : std::vector<std::string>{"a", "b"});
    EXPECT_NEAR(errors[ia], truth.errorA, 1e-12 * truth.errorA) << swapped;
    EXPECT_NEAR(errors[ib], truth.errorB, 1e-12 * truth.errorB) << swapped;
  }
}

// A zero column is refused by name (not divided by its zero pivot), with residuals or without; an exact
// fit without it has errors 0.
TEST(StandardErrors, AColumnThatMovesNothingIsNamedAndAnExactFitHasErrorZero) {
  const Line line(true);
  const LineTruth truth = Regression(line);
  for (bool exact : {false, true}) {
    Linearised at{Eigen::MatrixXd::Zero(10, 3), Eigen::VectorXd::Zero(10)};
    for (int i = 0; i < 10; ++i) {
      at.J(i, 0) = 1.0;
      at.J(i, 1) = line.t[i];
      if (!exact) at.f(i) = truth.a + truth.b * line.t[i] - line.y[i];
    }
    const std::string refusal = RefusalOf([&] { StandardErrors(at, {truth.a, truth.b, 1.0}, {"a", "b", "c"}); });
    EXPECT_NE(refusal.find("the record does not determine c: its standard error is 0,"), std::string::npos)
        << exact << ": " << refusal;
    if (!exact) continue;
    at.J.conservativeResize(10, 2);
    EXPECT_EQ(StandardErrors(at, {truth.a, truth.b}, {"a", "b"}), (std::vector<double>{0.0, 0.0}));
  }
}

// Residuals e^−x twice: the minimum lies at infinity.
LeastSquaresProblem Runaway() {
  LeastSquaresProblem problem;
  problem.rows = 2;
  problem.residuals = [](const Eigen::VectorXd& x, Eigen::VectorXd& f) { f.setConstant(std::exp(-x(0))); };
  problem.jacobian = [](const Eigen::VectorXd& x, Eigen::MatrixXd& J) {
    J.setConstant(-std::exp(-x(0)));
    return true;
  };
  return problem;
}

// At a minimum (a start there takes no iteration), still moving, or where the Jacobian fails.
TEST(LeastSquares, EndsAtAMinimumOrSaysWhyNot) {
  const Line exact(false);
  const LeastSquaresProblem atMinimum = LineProblem(exact, false);
  const Search still = LeastSquares(atMinimum, {2.0, 0.5});
  EXPECT_EQ(still.end, SearchEnd::kConverged);
  EXPECT_EQ(still.iterations, 0);
  EXPECT_EQ(still.position, (std::vector<double>{2.0, 0.5}));

  const Search away = LeastSquares(Runaway(), {0.0});
  EXPECT_EQ(away.end, SearchEnd::kIterationLimit);
  EXPECT_EQ(away.iterations, kSearchIterations);
  EXPECT_GT(away.position[0], 50.0);
  const std::string stillMoving = RefusalOf([&] { CheckConverged(away.end); });
  EXPECT_NE(stillMoving.find("did not converge (exceeded max number of iterations)"), std::string::npos) << stillMoving;

  // A Jacobian that fails beyond a = 1: at once from a = 5, after a step from a = 0 (the line's a is 2).
  const Line line(true);
  LeastSquaresProblem bounded = LineProblem(line, false);
  const auto full = bounded.jacobian;
  bounded.jacobian = [full](const Eigen::VectorXd& x, Eigen::MatrixXd& J) { return x(0) <= 1.0 && full(x, J); };
  const struct {
    double a;
    const char* message;
  } failures[] = {{5.0, "the model cannot be evaluated at the starting values"},
                  {0.0, "the model cannot be evaluated at the fitted parameters"}};
  for (const auto& [a, message] : failures) {
    EXPECT_EQ(RefusalOf([&, a = a] { LeastSquares(bounded, {a, 0.0}); }), message) << "a = " << a;
  }
}

// Columns 1, t and a third; a refusal names what the record leaves undetermined.
TEST(CheckIdentifiable, NamesTheParametersThatTradeOffOrThatMoveNothing) {
  const struct {
    const char* third;
    double (*column)(double t);
    const char* refusal;  // words the message holds; empty: accepted
  } cases[] = {
      {"t²", [](double t) { return t * t; }, ""},
      {"2t", [](double t) { return 2.0 * t; }, "the record does not determine b, c (they trade off against each other)"},
      {"1 + 1e-9·t", [](double t) { return 1.0 + 1e-9 * t; },
       "the record does not determine a, c (they trade off against each other)"},
      {"0", [](double) { return 0.0; }, "the record does not determine c: the model's force does not change with it there"},
      {"NaN", [](double) { return std::nan(""); },
       "the record does not determine c: the model's force does not change with it there"},
  };
  for (const auto& c : cases) {
    Eigen::MatrixXd J(10, 3);
    for (int i = 0; i < 10; ++i) {
      J(i, 0) = 1.0;
      J(i, 1) = i;
      J(i, 2) = c.column(i);
    }
    const std::string refusal = RefusalOf([&] { CheckIdentifiable(J, {"a", "b", "c"}); });
    if (*c.refusal == '\0') {
      EXPECT_EQ(refusal, "(accepted)") << c.third;
    } else {
      EXPECT_NE(refusal.find(c.refusal), std::string::npos) << c.third << ": " << refusal;
    }
  }
}

// n over 0.8 … 8, γ over 0.3, 0.6, 0.9, Uy at 0.6, 1, 1.6 knees, n outermost; held parameters (α and Fy
// too) at their held values. The lowest misfit wins, as the cost left it, the first of equal ones; +∞
// everywhere is refused.
TEST(ScanGrid, VisitsEachPointOnceHoldsWhatIsNotFreeAndKeepsTheFirstBest) {
  const Case knee{.n = 2.0, .gamma = 0.5, .alpha = 0.2, .Fy = 4.0, .Uy = 0.5};
  const Case held{.n = 1.7, .gamma = 0.4, .alpha = 0.05, .Fy = 6.0, .Uy = 0.9};
  const bool allFree[5] = {true, true, true, true, true};
  const bool forceFree[5] = {false, false, true, true, false}, shapeFree[5] = {true, true, false, false, true};
  const auto point = [](const Case& p) { return std::vector<double>{p.n, p.gamma, p.Uy, p.alpha, p.Fy}; };
  const struct {
    const bool* free;
    bool tied;  // every point costs the same: the first visited wins
    std::size_t points;
    std::vector<std::vector<double>> seen;  // the first, second, fourth and last point
    std::vector<double> best;
  } cases[] = {{allFree, false, 54, {{0.8, 0.3, 0.3, 0.2, 4.0}, {0.8, 0.3, 0.5, 0.2, 4.0}, {0.8, 0.6, 0.3, 0.2, 4.0},
                                     {8.0, 0.9, 0.8, 0.2, 4.0}}, {3.0, 0.9, 0.8, 0.3, 5.0}},
               {forceFree, false, 1, {{1.7, 0.4, 0.9, 0.2, 4.0}}, {1.7, 0.4, 0.9, 0.3, 5.0}},
               {shapeFree, true, 54, {{0.8, 0.3, 0.3, 0.05, 6.0}}, {0.8, 0.3, 0.3, 0.05, 6.0}}};
  for (const auto& c : cases) {
    std::vector<std::vector<double>> seen;
    const Case best = ScanGrid(knee, held, c.free, [&](Case& p) {
      seen.push_back(point(p));
      p.alpha = c.free[3] ? 0.3 : p.alpha;  // the cost sets the free α and Fy
      p.Fy = c.free[3] ? 5.0 : p.Fy;
      return c.tied ? 1.0 : std::fabs(p.n - 3.0) + std::fabs(p.gamma - 0.9) + std::fabs(p.Uy - 0.8);
    }, "loop");
    ASSERT_EQ(seen.size(), c.points);
    const std::size_t at[] = {0, 1, 3, 53};
    for (std::size_t k = 0; k < c.seen.size(); ++k) EXPECT_EQ(seen[at[k]], c.seen[k]) << at[k];
    EXPECT_EQ(point(best), c.best);
  }
  const auto nowhere = [](Case&) { return std::numeric_limits<double>::infinity(); };
  EXPECT_EQ(RefusalOf([&] { ScanGrid(knee, held, allFree, nowhere, "response"); }),
            "no starting point of the scan gives a model response");
}

// The thinned copy a long record's fit searches on (record_sketch.h), on triangles whose turns are known.
const Case kModel{.n = 2.5, .gamma = 0.75, .alpha = 0.08, .Fy = 3.1, .Uy = 0.15};

struct Path : testing::TrianglePath {
  std::vector<double> F;  // the model's force along u
};

// Triangles (synthetic.h) at each amplitude in units of Uy, the force the model's.
Path Triangles(const std::vector<double>& amplitudes, int cycles, int perQuarter) {
  Path path{testing::Triangles(kModel.Uy, amplitudes, cycles, perQuarter), {}};
  path.F = response::RespondAlong(path.u, kModel).F;
  return path;
}

double SumOfWeights(const Sketch& sk) {
  double sum = 0.0;
  for (double w : sk.rootWeight) sum += w * w;
  return sum;
}

// Of 36001 samples the copy keeps ~20000: sample 0, the first and last that count, every tip, and samples
// between; the model along it is the model along the record, and the weights add up to the samples counted.
TEST(SketchOf, KeepsEveryTurnSoThatTheModelAlongItIsTheModelAlongTheRecord) {
  const Path path = Triangles({0.8, 1.5, 3.0}, 3, 1000);
  const CycleTable table = FindCycles(path.u, path.F);
  const struct {
    std::size_t first, last;
  } spans[] = {{0, path.u.size() - 1}, {4321, 30123}};
  for (const auto& [first, last] : spans) {
    SCOPED_TRACE(::testing::Message() << "samples " << first << " to " << last);
    const Sketch sk = SketchOf(path.u, path.F, table, first, last);
    ASSERT_TRUE(std::is_sorted(sk.index.begin(), sk.index.end()));
    ASSERT_EQ(std::adjacent_find(sk.index.begin(), sk.index.end()), sk.index.end());
    EXPECT_EQ(sk.index.front(), 0u);
    EXPECT_EQ(std::pair(sk.index[sk.first], sk.index[sk.last]), std::pair(first, last));
    EXPECT_LT(sk.index.size(), kSketchSamples + path.tips.size() + 3);
    EXPECT_GT(sk.index.size(), kSketchSamples / 2);
    for (std::size_t tip : path.tips) {
      if (tip > last) break;
      EXPECT_TRUE(std::binary_search(sk.index.begin(), sk.index.end(), tip)) << tip;
    }
    EXPECT_EQ(std::pair(sk.noiseTurns, sk.noiseBand), std::pair(std::size_t{0}, 0.0));
    EXPECT_NEAR(SumOfWeights(sk), static_cast<double>(last - first + 1), 1e-9 * static_cast<double>(last));

    const std::vector<double> along = response::RespondAlong(sk.u, kModel).F;
    double largest = 0.0;
    for (double f : path.F) largest = std::max(largest, std::fabs(f));
    for (std::size_t j = 0; j < sk.index.size(); ++j) {
      ASSERT_EQ(sk.F[j], path.F[sk.index[j]]);
      ASSERT_NEAR(along[j], path.F[sk.index[j]], 1e-12 * largest) << "sample " << sk.index[j];
    }
  }
}

// Jitter of 2e-3 on every other sample turns the motion at each by over 0.1 % of the range: the copy keeps
// only the turns beyond 1 %, and counts those it passed over. Of 3000 small cycles it keeps the first two
// steady cycles of each run and weighs for the rest, to within a sample a run.
TEST(SketchOf, PassesOverTheTurnsOfNoiseAndTheRepeatsOfSteadyCyclesAndWeighsTheirSamples) {
  Path jittered = Triangles({0.8, 1.5, 3.0}, 3, 1000);
  for (std::size_t k = 1; k < jittered.u.size(); k += 2) jittered.u[k] += 2e-3;
  const Sketch sk = SketchOf(jittered.u, jittered.F, FindCycles(jittered.u, jittered.F), 0, jittered.u.size() - 1);
  EXPECT_EQ(sk.noiseBand, 1e-2);
  EXPECT_GT(sk.noiseTurns, jittered.u.size() * 9 / 10);
  EXPECT_LT(sk.noiseTurns, jittered.u.size());
  EXPECT_LT(sk.index.size(), kSketchSamples + jittered.tips.size() + 3);
  EXPECT_NEAR(SumOfWeights(sk), static_cast<double>(jittered.u.size()), 1e-9 * static_cast<double>(jittered.u.size()));

  const Path small = Triangles({1.0, 2.0}, 1500, 3);
  const CycleTable table = FindCycles(small.u, small.F);
  const Sketch repeats = SketchOf(small.u, small.F, table, 0, small.u.size() - 1);
  std::size_t kept = 0;
  for (const Cycle& c : table.cycles) kept += std::binary_search(repeats.index.begin(), repeats.index.end(), c.middle);
  EXPECT_LT(kept, 10u) << "of " << table.cycles.size() << " cycles";
  EXPECT_LT(repeats.index.size(), 200u);
  EXPECT_NEAR(SumOfWeights(repeats), static_cast<double>(small.u.size()), 4.0);
}

}  // namespace
}  // namespace quorix::measured::detail
