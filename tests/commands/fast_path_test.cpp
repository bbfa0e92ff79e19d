// The fast path (remembered series, SIMD lanes, rows on every core) gives the straightforward path's bits.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "checks.h"
#include "commands.h"
#include "energy_solver.h"
#include "numbertext.h"
#include "specialfunctions.h"

namespace quorix {
namespace {

struct TextSink : SweepSink {
  void Open() override {}
  void WriteLine(std::string_view line) override { text.append(line).append("\r\n"); }
  std::string text;
};

// Runs f on the straightforward path.
template <class F>
auto Straightforward(F f) {
  struct Scope {
    Scope() { SetStraightforwardEvaluation(true); }
    ~Scope() { SetStraightforwardEvaluation(false); }
  } scope;
  return f();
}

std::string Sweep(const CaseTexts& texts, const SweepTexts& range) {
  TextSink sink;
  BoucWenCase bw;
  RunSweep(texts, range, bw, sink);
  return sink.text;
}

using testing::SameBits;

// (n, Complementary) on a grid of the exponents met in practice.
class FastPathEquality : public ::testing::TestWithParam<std::tuple<double, bool>> {};

TEST_P(FastPathEquality, SweepBytesAndSolveBitsMatchTheStraightforwardPath) {
  const CaseTexts texts{.Nee = FormatPlainNumber(std::get<0>(GetParam())), .Complementary = std::get<1>(GetParam())};
  SweepTexts range;  // 0.1 … 10.0 by 0.1
#ifndef __OPTIMIZE__
  range.Step = "0.9";  // unoptimised builds sum the straightforward series slowly: 12 rows
#endif
  const std::string expected = Straightforward([&] { return Sweep(texts, range); });
  ForgetRememberedValues();  // the fast path starts cold
  EXPECT_EQ(Sweep(texts, range), expected);
  EXPECT_EQ(Sweep(texts, range), expected);  // and warm
  for (double u : {0.1, 1.0, 3.3, 9.9}) {
    BoucWenCase fast;
    ReadCase(texts, fast);
    fast.UmaxOverUy = u;
    BoucWenCase slow = fast;
    SolveEnergy(fast);
    Straightforward([&] { SolveEnergy(slow); });
    const auto x = ResultValues(fast), y = ResultValues(slow);
    EXPECT_EQ(std::memcmp(x.data(), y.data(), sizeof x), 0) << u;
  }
}

INSTANTIATE_TEST_SUITE_P(Grid, FastPathEquality,
                         ::testing::Combine(::testing::Values(0.3, 0.5, 1.0, 1.5, 2.0, 2.7, 3.0, 5.0),
                                            ::testing::Bool()),
                         [](const auto& info) {
                           std::string name = FormatPlainNumber(std::get<0>(info.param)) +
                                              (std::get<1>(info.param) ? "_compl" : "_direct");
                           std::replace(name.begin(), name.end(), '.', 'p');
                           return name;
                         });

TEST(FastPath, DigammaAndTheEvaluatorGiveTheStraightforwardBits) {
  std::vector<double> arguments = {1e-300, 1001.0, 2.5e300};  // 1e-300: x − 1 rounds to −1, a pole of the series
  for (int j = 0; j < 40; ++j) arguments.insert(arguments.end(), {j + 1.0 / 3.0, j + 0.37, -j - 0.3});
  ForgetRememberedValues();
  for (double x : arguments) {
    double fast = -7.0, slow = -7.0;
    EXPECT_EQ(DigammaAtStep(x, 0, fast), Straightforward([&] { return Digamma(x, slow); })) << x;
    EXPECT_TRUE(SameBits(fast, slow)) << x;
  }
  for (double n : {0.3, 1.5, 2.7, 5.0}) {
    for (double z : {0.55, 0.8, 0.99, -0.9, -4.0}) {
      for (double b : {1.0 / n, 2.0 / n}) {
        double fast = 0.0, slow = 0.0;
        EXPECT_EQ(Hypergeometric2F1(1.0, b, b + 1.0, z, fast),
                  Straightforward([&] { return Hypergeometric2F1(1.0, b, b + 1.0, z, slow); }));
        EXPECT_TRUE(SameBits(fast, slow)) << n << " " << z << " " << b;
      }
    }
  }
}

}  // namespace
}  // namespace quorix
