// The FMA division (lane_division.h) against a / b, bit for bit, on 10⁷
// operand pairs (under a second at -O2, a few at -O0 and under the
// sanitizers); the long run, lane_division_long.cpp, checks over 10⁹.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "lane_division_operands.h"

namespace quorix::test {
namespace {

bool HasAvx512() { return __builtin_cpu_supports("avx512f"); }

void Expect(const CheckCounts& counts, std::uint64_t pairs, std::uint64_t byFmaAtLeast) {
  EXPECT_EQ(counts.mismatches, 0u) << "first: " << std::hexfloat << counts.firstA << " / " << counts.firstB;
  EXPECT_GE(counts.pairs, pairs);
  // The FMA sequence, not the divider, answered the lanes meant for it.
  EXPECT_GE(counts.byFma, byFmaAtLeast);
}

struct DrawnCase {
  const char* name;
  OperandClass operands;
  std::uint64_t millions;
  double byFmaShare;  // at least this share of the pairs is admitted
};
void PrintTo(const DrawnCase& c, std::ostream* os) { *os << c.name; }

class LaneDivision : public testing::TestWithParam<DrawnCase> {};

TEST_P(LaneDivision, EqualsTheQuotient) {
  if (!HasAvx512()) GTEST_SKIP() << "no AVX-512";
  const DrawnCase& c = GetParam();
  const std::uint64_t pairs = c.millions * 1000000;
  Expect(Drawn(c.operands, pairs, 1000 + c.millions), pairs, static_cast<std::uint64_t>(c.byFmaShare * pairs));
}

INSTANTIATE_TEST_SUITE_P(Classes, LaneDivision,
                         testing::Values(DrawnCase{"random", OperandClass::kRandom, 3, 0.5},
                                         DrawnCase{"significands", OperandClass::kSignificands, 2, 0.5},
                                         DrawnCase{"thresholds", OperandClass::kThresholds, 3, 0.15}),
                         [](const auto& info) { return std::string(info.param.name); });

// The denominators (k + xm)·k of the series the default sweeps sum at
// n = 0.3, 0.4, … 5: ψ(i + m/n), m = 1, 2, i < 100, the arguments the
// evaluator forms (j + b for F(1, b; b + 1; z), b = m/n); for each, runs of
// eight k from 1 … 100000, the first run at k = 1.
__attribute__((target("avx512f"))) CheckCounts Denominators(int runs) {
  CheckCounts counts;
  std::uint64_t state = 1;
  const __m512d steps = _mm512_setr_pd(0, 1, 2, 3, 4, 5, 6, 7);
  for (int tenths = 3; tenths <= 50; ++tenths) {
    for (const double m : {1.0, 2.0}) {
      for (int i = 0; i < 100; ++i) {
        const double x = i + m / (tenths / 10.0);
        if (std::floor(x) == x) continue;  // whole numbers: from the table, no series
        const __m512d xm = _mm512_set1_pd(x - 1.0);
        for (int run = 0; run < runs; ++run) {
          state = state * 6364136223846793005ull + 1442695040888963407ull;
          const double k = run == 0 ? 1.0 : static_cast<double>(1 + (state >> 33) % 99993);
          const __m512d kk = _mm512_add_pd(_mm512_set1_pd(k), steps);
          CheckPairs(xm, _mm512_mul_pd(_mm512_add_pd(kk, xm), kk), counts);
        }
      }
    }
  }
  return counts;
}

TEST(LaneDivision, EqualsTheQuotientOnTheSeriesDenominators) {
  if (!HasAvx512()) GTEST_SKIP() << "no AVX-512";
  const CheckCounts counts = Denominators(28);
  Expect(counts, 9000u * 8u * 28u, counts.pairs);  // all by the FMA sequence
}

}  // namespace
}  // namespace quorix::test
