// The fast path (remembered digamma series, SIMD lanes, rows on every core)
// must give exactly the bytes and bits of the straightforward path.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "commands.h"
#include "energy_solver.h"
#include "numbertext.h"
#include "specialfunctions.h"

namespace quorix {
namespace {

class TextSink : public SweepSink {
 public:
  void Open() override {}
  void WriteLine(std::string_view line) override {
    text.append(line);
    text += "\r\n";
    ++lines;
  }
  std::string text;
  int lines = 0;
};

class StraightforwardScope {
 public:
  StraightforwardScope() { SetStraightforwardEvaluation(true); }
  ~StraightforwardScope() { SetStraightforwardEvaluation(false); }
};

std::string Sweep(const CaseTexts& texts, const SweepTexts& range) {
  TextSink sink;
  BoucWenCase bw;
  RunSweep(texts, range, bw, sink);
  return sink.text;
}

bool SameBits(const BoucWenCase& a, const BoucWenCase& b) {
  const auto x = ResultValues(a);
  const auto y = ResultValues(b);
  return std::memcmp(x.data(), y.data(), sizeof(double) * x.size()) == 0;
}

struct GridCase {
  double n;
  bool complementary;
};

void PrintTo(const GridCase& c, std::ostream* os) {
  *os << "n=" << c.n << (c.complementary ? " Complementary" : " Direct");
}

class FastPathEquality : public ::testing::TestWithParam<GridCase> {};

TEST_P(FastPathEquality, SweepBytesAndSolveBitsMatchTheStraightforwardPath) {
  const GridCase& c = GetParam();
  CaseTexts texts;
  texts.Nee = FormatPlainNumber(c.n);
  texts.Complementary = c.complementary;
  SweepTexts range;  // 0.1 … 10.0 by 0.1
#ifndef __OPTIMIZE__
  range.Step = "0.9";  // unoptimised builds sum the straightforward series slowly: 12 rows
#endif

  std::string expected;
  {
    StraightforwardScope straightforward;
    expected = Sweep(texts, range);
  }
  ForgetRememberedValues();  // the fast path starts cold
  EXPECT_EQ(Sweep(texts, range), expected);
  EXPECT_EQ(Sweep(texts, range), expected);  // and warm

  for (double u : {0.1, 1.0, 3.3, 9.9}) {
    SCOPED_TRACE(u);
    BoucWenCase fast;
    ReadCase(texts, fast);
    fast.UmaxOverUy = u;
    BoucWenCase slow = fast;
    SolveEnergy(fast);
    {
      StraightforwardScope straightforward;
      SolveEnergy(slow);
    }
    EXPECT_TRUE(SameBits(fast, slow));
  }
}

INSTANTIATE_TEST_SUITE_P(Grid, FastPathEquality, ::testing::ValuesIn([] {
                           std::vector<GridCase> cases;
                           for (double n : {0.3, 0.5, 1.0, 1.5, 2.0, 2.7, 3.0, 5.0})
                             cases.insert(cases.end(), {{n, false}, {n, true}});
                           return cases;
                         }()),
                         [](const auto& info) {
                           std::string name =
                               FormatPlainNumber(info.param.n) + (info.param.complementary ? "_compl" : "_direct");
                           std::replace(name.begin(), name.end(), '.', 'p');
                           return name;
                         });

// A sink that fails at one line: the rows before it stay written, the error
// reaches the caller, and no worker is left behind.
class FailingSink : public TextSink {
 public:
  explicit FailingSink(int failAt) : failAt_(failAt) {}
  void WriteLine(std::string_view line) override {
    if (lines == failAt_) throw std::runtime_error("disk full");
    TextSink::WriteLine(line);
  }

 private:
  int failAt_;
};

TEST(FastPath, AWriteFailureMidSweepKeepsTheEarlierLines) {
  CaseTexts texts;
  SweepTexts range;
  range.To = "100";  // 1000 rows: more than the rows computed ahead of the writer
  const std::string full = Sweep(texts, range);
  FailingSink sink(500);
  BoucWenCase bw;
  EXPECT_THROW(RunSweep(texts, range, bw, sink), std::runtime_error);
  EXPECT_EQ(sink.lines, 500);
  EXPECT_EQ(full.compare(0, sink.text.size(), sink.text), 0);
}

TEST(FastPath, DigammaAndTheEvaluatorGiveTheStraightforwardBits) {
  std::vector<double> arguments;
  for (int j = 0; j < 40; ++j) {
    arguments.push_back(j + 1.0 / 3.0);
    arguments.push_back(j + 0.37);
    arguments.push_back(-j - 0.3);
  }
  arguments.push_back(1e-300);  // x − 1 rounds to −1: a pole of the series
  arguments.push_back(1001.0);
  arguments.push_back(2.5e300);
  ForgetRememberedValues();
  for (double x : arguments) {
    double fast = -7.0, slow = -7.0;
    const std::int32_t fastStatus = DigammaAtStep(x, 0, fast);
    const std::int32_t slowStatus = (StraightforwardScope(), Digamma(x, slow));  // scoped to the expression
    EXPECT_EQ(fastStatus, slowStatus) << x;
    EXPECT_EQ(std::memcmp(&fast, &slow, sizeof fast), 0) << x;
  }

  for (double n : {0.3, 1.5, 2.7, 5.0}) {
    for (double z : {0.55, 0.8, 0.99, -0.9, -4.0}) {
      for (double k : {1.0, 2.0}) {
        double fast = 0.0, slow = 0.0;
        const std::int32_t fastStatus = Hypergeometric2F1(1.0, k / n, k / n + 1.0, z, fast);
        const std::int32_t slowStatus = (StraightforwardScope(), Hypergeometric2F1(1.0, k / n, k / n + 1.0, z, slow));
        EXPECT_EQ(fastStatus, slowStatus);
        EXPECT_EQ(std::memcmp(&fast, &slow, sizeof fast), 0) << n << " " << z << " " << k;
      }
    }
  }
}

}  // namespace
}  // namespace quorix
