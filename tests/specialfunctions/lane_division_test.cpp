// The FMA division (lane_division.h) against a / b, bit for bit, on 10⁷
// operand pairs (a tenth of that at -O0 and under the sanitizers); the long
// run of tests/specialfunctions/lane_division_long.cpp checks 10⁹.
#include <gtest/gtest.h>

#include <cstdint>

#include "lane_division_operands.h"

namespace quorix::test {
namespace {

#if defined(__OPTIMIZE__) && !defined(__SANITIZE_ADDRESS__)
constexpr std::uint64_t kMillion = 1000000;
#else
constexpr std::uint64_t kMillion = 100000;
#endif

bool HasAvx512() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx512f");
}

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

class LaneDivision : public testing::TestWithParam<DrawnCase> {};

__attribute__((target("avx512f"))) CheckCounts Drawn(OperandClass c, std::uint64_t pairs, std::uint64_t seed) {
  LaneRandom random(seed);
  CheckCounts counts;
  __m512d a, b;
  while (counts.pairs < pairs) {
    MakeOperands(c, random, a, b);
    CheckPairs(a, b, counts);
  }
  return counts;
}

TEST_P(LaneDivision, EqualsTheQuotient) {
  if (!HasAvx512()) GTEST_SKIP() << "no AVX-512";
  const DrawnCase& c = GetParam();
  const std::uint64_t pairs = c.millions * kMillion;
  Expect(Drawn(c.operands, pairs, 1000 + c.millions), pairs, static_cast<std::uint64_t>(c.byFmaShare * pairs));
}

INSTANTIATE_TEST_SUITE_P(Classes, LaneDivision,
                         testing::Values(DrawnCase{"random", OperandClass::kRandom, 3, 0.5},
                                         DrawnCase{"significands", OperandClass::kSignificands, 2, 0.5},
                                         DrawnCase{"thresholds", OperandClass::kThresholds, 3, 0.15}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quorix::test
