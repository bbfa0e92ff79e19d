// The FMA division (lane_division.h) against a / b, bit for bit, eight pairs at a time.
// QUORIX_LANE_DIVISION_MILLIONS sets the drawn pairs per family (default 3, under a second at
// -O2); scripts/lane-division-long.sh runs 1000, and then every series denominator, k ≤ 100000.
#include <gtest/gtest.h>
#include <immintrin.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "lane_division.h"

namespace quorix::test {
namespace {

#define TARGET __attribute__((target("avx512f")))

enum class Family {
  kRandom,        // sign, exponent (all 2048 fields) and significand uniform
  kSignificands,  // significands all zeros, all ones, or either with the low 16 bits random
  kThresholds,    // exponents at the edges: subnormal, ±1020, −969, overflow, and quotients near 2^±1020
  // (k + x − 1)·k of the series ψ(x), x = i + m/n, m = 1, 2, i < 100, n = 0.3, 0.4, … 5: every
  // argument the default sweeps sum a series for (j + b in F(1, b; b + 1; z), b = m/n)
  kDenominators,
};

std::uint64_t SplitMix64(std::uint64_t& state) {
  std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

// A significand from 2 bits of r at shift: random, random, all zeros, all ones; for kSignificands
// all zeros or all ones, exactly or with the low 16 bits random.
std::uint64_t Significand(Family f, std::uint64_t r, std::uint64_t random, int shift) {
  constexpr std::uint64_t kOnes = 0x000FFFFFFFFFFFFFull;
  const std::uint64_t pick = (r >> shift) & 3;
  if (f == Family::kSignificands) return ((pick & 1) != 0 ? kOnes : 0) ^ ((pick & 2) != 0 ? random & 0xFFFF : 0);
  return pick == 2 ? 0 : pick == 3 ? kOnes : random & kOnes;
}

// One operand pair of family f: a's and b's sign, exponent field and significand.
void MakePair(Family f, std::uint64_t& state, double& a, double& b) {
  static constexpr std::int64_t kEdges[16] = {0, 1, 2, 3, 4, 52, 53, 54, 55, 1023, 2042, 2043, 2044, 2045, 2046, 2047};
  const std::uint64_t r = SplitMix64(state), ra = SplitMix64(state), rb = SplitMix64(state);
  auto ea = static_cast<std::int64_t>(ra >> 53), eb = static_cast<std::int64_t>(rb >> 53);
  if (f == Family::kThresholds) {
    if ((r & (1 << 8)) != 0) ea = kEdges[r & 15];
    // b's field: an edge, or a's field ∓ (1016 … 1023), or ± (1024 … 1031): quotients at the limits.
    const auto gap = static_cast<std::int64_t>((r >> 9) & 15) + 1016;
    const std::uint64_t pick = (r >> 13) & 3;
    eb = pick == 0 ? kEdges[(r >> 4) & 15] : pick == 1 ? ea - gap : pick == 2 ? ea + gap : eb;
    eb = std::clamp<std::int64_t>(eb, 0, 2047);
  }
  const std::uint64_t sign = 0x8000000000000000ull;
  a = std::bit_cast<double>((static_cast<std::uint64_t>(ea) << 52) | Significand(f, r, ra, 16) | (ra & sign));
  b = std::bit_cast<double>((static_cast<std::uint64_t>(eb) << 52) | Significand(f, r, rb, 18) | (rb & sign));
}

struct Counts {
  std::uint64_t pairs = 0, byFma = 0, mismatches = 0;  // byFma: lanes the FMA sequence answered
  double firstA = 0.0, firstB = 0.0;                   // the first mismatch
};

// The kernel's eight quotients against the compiler's a / b, bit for bit.
TARGET void CheckPairs(__m512d a, __m512d b, Counts& counts) {
  alignas(64) double av[8], bv[8], qv[8];
  _mm512_store_pd(av, a);
  _mm512_store_pd(bv, b);
  _mm512_store_pd(qv, detail::DivideByFma(a, b));
  counts.pairs += 8;
  counts.byFma += static_cast<unsigned>(__builtin_popcount(detail::FmaDivisionAdmits(b, detail::FmaDivisionBoundsFor(a))));
  for (int i = 0; i < 8; ++i) {
    if (std::bit_cast<std::uint64_t>(qv[i]) == std::bit_cast<std::uint64_t>(av[i] / bv[i])) continue;
    if (counts.mismatches++ == 0) counts.firstA = av[i], counts.firstB = bv[i];
  }
}

constexpr std::uint64_t kAllDenominators = 8ull * 9000 * 12500;  // 9000 x (some twice), k = 1 … 100000

// `pairs` pairs of family f. Kernel vectors pass only between AVX-512 functions (else another ABI).
TARGET Counts Check(Family f, std::uint64_t pairs) {
  Counts counts;
  if (f == Family::kDenominators) {
    // Runs of eight k, spread over 1 … 100000 from k = 1, or all of them when the count allows.
    const std::uint64_t runs = std::min<std::uint64_t>((pairs + 71999) / 72000, 12500);
    const __m512d steps = _mm512_setr_pd(0, 1, 2, 3, 4, 5, 6, 7);
    for (int tenths = 3; tenths <= 50; ++tenths) {
      for (const double m : {1.0, 2.0}) {
        for (int i = 0; i < 100; ++i) {
          const double x = i + m / (tenths / 10.0);
          if (std::floor(x) == x) continue;  // whole numbers: from the table, no series
          const __m512d xm = _mm512_set1_pd(x - 1.0);
          for (std::uint64_t run = 0; run < runs; ++run) {
            const __m512d k = _mm512_add_pd(_mm512_set1_pd(1.0 + 8.0 * (run * 12500 / runs)), steps);
            CheckPairs(xm, _mm512_mul_pd(_mm512_add_pd(k, xm), k), counts);
          }
        }
      }
    }
    return counts;
  }
  std::uint64_t state = 20261207 + static_cast<int>(f);
  alignas(64) double a[8], b[8];
  while (counts.pairs < pairs) {
    for (int i = 0; i < 8; ++i) MakePair(f, state, a[i], b[i]);
    CheckPairs(_mm512_load_pd(a), _mm512_load_pd(b), counts);
  }
  return counts;
}

struct FamilyCase {
  const char* name;
  Family family;
  double byFmaShare;  // at least this share of the pairs is admitted
};
void PrintTo(const FamilyCase& c, std::ostream* os) { *os << c.name; }

class LaneDivision : public testing::TestWithParam<FamilyCase> {};

TEST_P(LaneDivision, EqualsTheQuotient) {
  if (!__builtin_cpu_supports("avx512f")) GTEST_SKIP() << "no AVX-512";
  const FamilyCase& f = GetParam();
  const char* text = std::getenv("QUORIX_LANE_DIVISION_MILLIONS");
  std::uint64_t pairs = (text != nullptr && std::atoll(text) > 0 ? std::atoll(text) : 3) * 1000000ull;
  if (f.family == Family::kDenominators) pairs = std::min(pairs, kAllDenominators);
  const Counts c = Check(f.family, pairs);
  std::printf("[lane division] %-12s %12llu pairs %12llu by FMA %llu mismatches\n", f.name,
              static_cast<unsigned long long>(c.pairs), static_cast<unsigned long long>(c.byFma),
              static_cast<unsigned long long>(c.mismatches));
  EXPECT_EQ(c.mismatches, 0u) << "first: " << std::hexfloat << c.firstA << " / " << c.firstB;
  EXPECT_GE(c.pairs, pairs);
  // The FMA sequence, not the divider, answered the lanes meant for it.
  EXPECT_GE(c.byFma, static_cast<std::uint64_t>(f.byFmaShare * static_cast<double>(c.pairs)));
}

INSTANTIATE_TEST_SUITE_P(Families, LaneDivision,
                         testing::Values(FamilyCase{"random", Family::kRandom, 0.5},
                                         FamilyCase{"significands", Family::kSignificands, 0.5},
                                         FamilyCase{"thresholds", Family::kThresholds, 0.15},
                                         FamilyCase{"denominators", Family::kDenominators, 1.0}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quorix::test
