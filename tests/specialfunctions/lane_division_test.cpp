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
#include <cstring>

#include "lane_division.h"

namespace quorix::test {
namespace {

// The zero-masking forms with a full mask: GCC 12 warns about the plain ones (undefined start register).
#define Shl(x, n) _mm512_maskz_slli_epi64(0xFF, x, n)
#define Shr(x, n) _mm512_maskz_srli_epi64(0xFF, x, n)
#define TARGET __attribute__((target("avx512f")))

enum class Family {
  kRandom,        // sign, exponent (all 2048 fields) and significand uniform
  kSignificands,  // significands all zeros, all ones, or either with the low 16 bits random
  kThresholds,    // exponents at the edges: subnormal, ±1020, −969, overflow, and quotients near 2^±1020
  // (k + x − 1)·k of the series ψ(x), x = i + m/n, m = 1, 2, i < 100, n = 0.3, 0.4, … 5: every
  // argument the default sweeps sum a series for (j + b in F(1, b; b + 1; z), b = m/n)
  kDenominators,
};

// Eight xorshift128+ generators side by side, seeded by splitmix64.
class LaneRandom {
 public:
  explicit LaneRandom(std::uint64_t seed) {
    alignas(64) std::uint64_t s[16];
    for (std::uint64_t& v : s) {
      std::uint64_t z = (seed += 0x9E3779B97F4A7C15ull);
      z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
      z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
      v = z ^ (z >> 31);
    }
    std::memcpy(&s0_, s, sizeof s0_);
    std::memcpy(&s1_, s + 8, sizeof s1_);
  }
  TARGET __m512i Next() {
    __m512i x = s0_;
    const __m512i y = s1_;
    s0_ = y;
    x = _mm512_xor_si512(x, Shl(x, 23));
    s1_ = _mm512_xor_si512(_mm512_xor_si512(x, y), _mm512_xor_si512(Shr(x, 17), Shr(y, 26)));
    return _mm512_add_epi64(s1_, y);
  }

 private:
  __m512i s0_, s1_;
};

TARGET __m512i Field(__m512i r, int shift, long long mask) {
  return _mm512_and_si512(Shr(r, shift), _mm512_set1_epi64(mask));
}
TARGET __mmask8 Is(__m512i field, long long value) { return _mm512_cmpeq_epi64_mask(field, _mm512_set1_epi64(value)); }

// A significand: random, random, all zeros, all ones (2 bits of r at shift);
// for kSignificands: all zeros or all ones, exactly or with 16 random low bits.
TARGET __m512i Significand(Family f, __m512i r, __m512i random, int shift) {
  const __m512i ones = _mm512_set1_epi64(0x000FFFFFFFFFFFFFLL), zero = _mm512_setzero_si512();
  const __m512i pick = Field(r, shift, 3);
  if (f == Family::kSignificands) {
    const __m512i base = _mm512_mask_mov_epi64(zero, _mm512_test_epi64_mask(pick, _mm512_set1_epi64(1)), ones);
    return _mm512_mask_xor_epi64(base, _mm512_test_epi64_mask(pick, _mm512_set1_epi64(2)), base,
                                 _mm512_and_si512(random, _mm512_set1_epi64(0xFFFF)));
  }
  const __m512i s = _mm512_mask_mov_epi64(_mm512_and_si512(random, ones), Is(pick, 2), zero);
  return _mm512_mask_mov_epi64(s, Is(pick, 3), ones);
}

TARGET void MakeOperands(Family f, LaneRandom& random, __m512d& a, __m512d& b) {
  const __m512i r = random.Next(), ra = random.Next(), rb = random.Next();
  const __m512i sign = _mm512_set1_epi64(static_cast<long long>(0x8000000000000000ull));
  __m512i ea = Shr(ra, 53), eb = Shr(rb, 53);  // biased exponent fields: uniform, or from the edges
  if (f == Family::kThresholds) {
    const __m512i lowEdges = _mm512_setr_epi64(0, 1, 2, 3, 4, 52, 53, 54);
    const __m512i highEdges = _mm512_setr_epi64(55, 1023, 2042, 2043, 2044, 2045, 2046, 2047);
    const __m512i edgeA = _mm512_permutex2var_epi64(lowEdges, Field(r, 0, 15), highEdges);
    const __m512i edgeB = _mm512_permutex2var_epi64(lowEdges, Field(r, 4, 15), highEdges);
    ea = _mm512_mask_mov_epi64(ea, _mm512_test_epi64_mask(r, _mm512_set1_epi64(1 << 8)), edgeA);
    // b's field: an edge, or a's field ∓ (1016 … 1023), or ± (1024 … 1031): quotients at the limits.
    const __m512i gap = _mm512_add_epi64(Field(r, 9, 15), _mm512_set1_epi64(1016));
    const __m512i pick = Field(r, 13, 3);
    eb = _mm512_mask_mov_epi64(eb, Is(pick, 0), edgeB);
    eb = _mm512_mask_mov_epi64(eb, Is(pick, 1), _mm512_sub_epi64(ea, gap));
    eb = _mm512_mask_mov_epi64(eb, Is(pick, 2), _mm512_add_epi64(ea, gap));
    eb = _mm512_maskz_min_epi64(0xFF, _mm512_maskz_max_epi64(0xFF, eb, _mm512_setzero_si512()),
                                _mm512_set1_epi64(2047));
  }
  const __m512i sa = Significand(f, r, ra, 16), sb = Significand(f, r, rb, 18);
  a = _mm512_castsi512_pd(_mm512_or_si512(_mm512_or_si512(Shl(ea, 52), sa), _mm512_and_si512(ra, sign)));
  b = _mm512_castsi512_pd(_mm512_or_si512(_mm512_or_si512(Shl(eb, 52), sb), _mm512_and_si512(rb, sign)));
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
  LaneRandom random(20261207 + static_cast<int>(f));
  __m512d a, b;
  while (counts.pairs < pairs) {
    MakeOperands(f, random, a, b);
    CheckPairs(a, b, counts);
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
