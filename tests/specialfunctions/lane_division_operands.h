// Operand pairs for checking the FMA division against a / b, eight at a
// time, and the check itself; shared by the CI test and the long run.
#pragma once

#include <immintrin.h>

#include <bit>
#include <cstdint>
#include <cstring>

#include "lane_division.h"

namespace quorix::test {

enum class OperandClass {
  kRandom,        // sign, exponent (all 2048 fields) and significand uniform
  kSignificands,  // significands all zeros, all ones, or either with the low 16 bits random
  kThresholds,    // exponents at the edges: subnormal, ±1020, −969, overflow, and quotients near 2^±1020
};

// The zero-masking forms with a full mask are the plain instructions; GCC 12
// warns about the plain intrinsics (they start from an undefined register).
#define Shl(x, n) _mm512_maskz_slli_epi64(0xFF, x, n)
#define Shr(x, n) _mm512_maskz_srli_epi64(0xFF, x, n)

// Eight xorshift128+ generators side by side.
class LaneRandom {
 public:
  explicit LaneRandom(std::uint64_t seed) {
    alignas(64) std::uint64_t s[16];
    for (std::uint64_t& v : s) {  // splitmix64
      std::uint64_t z = (seed += 0x9E3779B97F4A7C15ull);
      z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
      z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
      v = z ^ (z >> 31);
    }
    std::memcpy(&s0_, s, sizeof s0_);
    std::memcpy(&s1_, s + 8, sizeof s1_);
  }
  __attribute__((target("avx512f"))) void Next(__m512i& out) {
    __m512i x = s0_;
    const __m512i y = s1_;
    s0_ = y;
    x = _mm512_xor_si512(x, Shl(x, 23));
    s1_ = _mm512_xor_si512(_mm512_xor_si512(x, y), _mm512_xor_si512(Shr(x, 17), Shr(y, 26)));
    out = _mm512_add_epi64(s1_, y);
  }

 private:
  __m512i s0_, s1_;
};

namespace operands {

__attribute__((target("avx512f"))) inline __m512i Field(__m512i r, int shift, long long mask) {
  return _mm512_and_si512(Shr(r, shift), _mm512_set1_epi64(mask));
}

// A significand: random, random, all zeros, all ones (2 bits of r at shift);
// for kSignificands: all zeros or all ones, exactly or with 16 random low bits.
__attribute__((target("avx512f"))) inline __m512i Significand(OperandClass c, __m512i r, __m512i random, int shift) {
  const __m512i ones = _mm512_set1_epi64(0x000FFFFFFFFFFFFFLL);
  const __m512i pick = Field(r, shift, 3);
  const __m512i low = _mm512_and_si512(random, _mm512_set1_epi64(0xFFFF));
  if (c == OperandClass::kSignificands) {
    const __m512i base =
        _mm512_mask_mov_epi64(_mm512_setzero_si512(), _mm512_test_epi64_mask(pick, _mm512_set1_epi64(1)), ones);
    return _mm512_mask_xor_epi64(base, _mm512_test_epi64_mask(pick, _mm512_set1_epi64(2)), base, low);
  }
  __m512i s = _mm512_and_si512(random, ones);
  s = _mm512_mask_mov_epi64(s, _mm512_cmpeq_epi64_mask(pick, _mm512_set1_epi64(2)), _mm512_setzero_si512());
  return _mm512_mask_mov_epi64(s, _mm512_cmpeq_epi64_mask(pick, _mm512_set1_epi64(3)), ones);
}

}  // namespace operands

__attribute__((target("avx512f"))) inline void MakeOperands(OperandClass c, LaneRandom& random, __m512d& a,
                                                            __m512d& b) {
  using operands::Field;
  __m512i r, ra, rb;
  random.Next(r);
  random.Next(ra);
  random.Next(rb);
  const __m512i sign = _mm512_set1_epi64(static_cast<long long>(0x8000000000000000ull));
  // Biased exponent fields: uniform, or (kThresholds) from the edges.
  __m512i ea = Shr(ra, 53);
  __m512i eb = Shr(rb, 53);
  if (c == OperandClass::kThresholds) {
    const __m512i lowEdges = _mm512_setr_epi64(0, 1, 2, 3, 4, 52, 53, 54);
    const __m512i highEdges = _mm512_setr_epi64(55, 1023, 2042, 2043, 2044, 2045, 2046, 2047);
    const __m512i edgeA = _mm512_permutex2var_epi64(lowEdges, Field(r, 0, 15), highEdges);
    const __m512i edgeB = _mm512_permutex2var_epi64(lowEdges, Field(r, 4, 15), highEdges);
    ea = _mm512_mask_mov_epi64(ea, _mm512_test_epi64_mask(r, _mm512_set1_epi64(1 << 8)), edgeA);
    // b's field: an edge, or a's field ∓ (1016 … 1023), or ± (1024 … 1031): quotients at the limits.
    const __m512i gap = _mm512_add_epi64(Field(r, 9, 15), _mm512_set1_epi64(1016));
    const __m512i below = _mm512_sub_epi64(ea, gap);
    const __m512i above = _mm512_add_epi64(ea, gap);
    const __m512i pick = Field(r, 13, 3);
    eb = _mm512_mask_mov_epi64(eb, _mm512_cmpeq_epi64_mask(pick, _mm512_set1_epi64(0)), edgeB);
    eb = _mm512_mask_mov_epi64(eb, _mm512_cmpeq_epi64_mask(pick, _mm512_set1_epi64(1)), below);
    eb = _mm512_mask_mov_epi64(eb, _mm512_cmpeq_epi64_mask(pick, _mm512_set1_epi64(2)), above);
    eb =
        _mm512_maskz_min_epi64(0xFF, _mm512_maskz_max_epi64(0xFF, eb, _mm512_setzero_si512()), _mm512_set1_epi64(2047));
  }
  const __m512i sa = operands::Significand(c, r, ra, 16);
  const __m512i sb = operands::Significand(c, r, rb, 18);
  a = _mm512_castsi512_pd(_mm512_or_si512(_mm512_or_si512(Shl(ea, 52), sa), _mm512_and_si512(ra, sign)));
  b = _mm512_castsi512_pd(_mm512_or_si512(_mm512_or_si512(Shl(eb, 52), sb), _mm512_and_si512(rb, sign)));
}

struct CheckCounts {
  std::uint64_t pairs = 0;
  std::uint64_t byFma = 0;  // lanes the FMA sequence answered (the others took the divider)
  std::uint64_t mismatches = 0;
  double firstA = 0.0, firstB = 0.0;  // the first mismatch
};

// The kernel's eight quotients against the compiler's a / b, bit for bit.
__attribute__((target("avx512f"))) inline void CheckPairs(__m512d a, __m512d b, CheckCounts& counts) {
  alignas(64) double av[8], bv[8], qv[8];
  _mm512_store_pd(av, a);
  _mm512_store_pd(bv, b);
  _mm512_store_pd(qv, detail::DivideByFma(a, b));
  counts.pairs += 8;
  counts.byFma +=
      static_cast<unsigned>(__builtin_popcount(detail::FmaDivisionAdmits(b, detail::FmaDivisionBoundsFor(a))));
  for (int i = 0; i < 8; ++i) {
    if (std::bit_cast<std::uint64_t>(qv[i]) == std::bit_cast<std::uint64_t>(av[i] / bv[i])) continue;
    if (counts.mismatches++ == 0) counts.firstA = av[i], counts.firstB = bv[i];
  }
}

// `pairs` pairs of class c from the generators seeded with seed.
__attribute__((target("avx512f"))) inline CheckCounts Drawn(OperandClass c, std::uint64_t pairs, std::uint64_t seed) {
  LaneRandom random(seed);
  CheckCounts counts;
  __m512d a, b;
  while (counts.pairs < pairs) {
    MakeOperands(c, random, a, b);
    CheckPairs(a, b, counts);
  }
  return counts;
}

}  // namespace quorix::test

#undef Shl
#undef Shr
