// The correctly rounded quotient a/b of eight doubles from fused
// multiply-adds, for processors whose divider is slower than their FMA
// units. Round to nearest even is assumed (the project never changes it).
//
// The sequence, each line one rounding:
//   y0 = rcp14(b)                      |y0·b − 1| < 2^-14
//   y1 = y0 + y0·(1 − b·y0)            relative error below 2^-27.99
//   y2 = y1 + y1·(1 − b·y1)            below 2^-55.7 before its rounding,
//                                      so within 0.66 ulp of 1/b
//   y3 = y2 + y2·(1 − b·y2)            = RN(1/b)
//   q0 = a·y1                          relative error below 2^-27
//   q1 = q0 + (a − b·q0)·y1            below 2^-54.8 before its rounding,
//                                      so within 0.8 ulp of a/b: faithful
//   q2 = q1 + (a − b·q1)·y3            = RN(a/b)
// Each residual 1 − b·y and a − b·q comes from one FMA, so it carries one
// rounding only (error relative 2^-53 of a quantity already of order 2^-14
// or 2^-27 — the two error terms above); those of y2 and q1 are exact.
//
// Why the last two lines are right (the theorems of Markstein, IBM J. Res.
// Dev. 34 (1990), as proved for IA-64 by Harrison (TPHOLs 2000) and in Louvet, Muller and
// Panhaleux, "Newton-Raphson algorithms for floating-point division using
// an FMA", 2010):
//  - reciprocal: if y is within one ulp of 1/b, the residual 1 − b·y is
//    exact, and y + y·(1 − b·y) rounded to nearest is RN(1/b) — except when
//    the significand of b is all ones (b = ±(2 − 2^-52)·2^e: 1/b lies just
//    above a power of two, a hair past a midpoint, and the rounding goes the
//    wrong way);
//  - division: if y is within half an ulp of 1/b and q within one ulp of
//    a/b, the remainder a − b·q is exact and q + (a − b·q)·y rounded to
//    nearest is RN(a/b).
// The sum is rounded once by the FMA: the products inside never round, so
// tiny products (y·e ~ 2^-53·y) do not matter, only the values stored.
//
// Both theorems hold in the normal range only; the lanes are restricted so
// that every stored value is normal or zero, with margin (all but the
// first remainder, see below). With
// ea = ⌊log2 |a|⌋, eb = ⌊log2 |b|⌋ (vgetexppd):
//   −1020 ≤ eb ≤ 1020       b normal, 1/b and all y normal (|y/(1/b) − 1|
//                           < 2^-13), rcp14 on a normal operand;
//   −1020 ≤ ea − eb ≤ 1020  2^-1021 ≤ |a/b| < 2^1021: every q normal and
//                           finite, and so the result;
//   ea ≥ −969               a finite, non-zero (a = −0 would lose its sign
//                           in q0 + r0·y1) and large enough that the exact
//                           a − b·q1, a multiple of 2^(eb + eq1 − 104) with
//                           eb + eq1 ≥ ea − 1 (q1 is faithful), is a
//                           multiple of 2^-1074: the last remainder is then
//                           representable (a faithful q leaves at most 53
//                           bits); the first one, a − b·q0, rounds in the
//                           normal range or else by at most 2^-1075, which
//                           moves q1 by under 2^-53 of its ulp;
//   b's significand not all ones.
// Every other lane — zeros, infinities, NaNs, subnormals, the extremes of
// the exponent range, the all-ones significand — takes the hardware
// division, lane by lane, so the function equals a/b on every input.
//
// The zero-masking forms with a full mask are the plain instructions; GCC 12
// warns about the plain intrinsics of rcp14, getexp, max and min (they start
// from an undefined register).
#pragma once

#include <immintrin.h>

namespace quorix::detail {

// The bounds on b's exponent for a dividend a, and whether a itself is
// admitted. Loop-invariant when a is: the compiler hoists it.
struct FmaDivisionBounds {
  __m512d low;
  __m512d high;
  __mmask8 admitted;
};

__attribute__((target("avx512f"))) inline FmaDivisionBounds FmaDivisionBoundsFor(__m512d a) {
  const __m512d ea = _mm512_maskz_getexp_pd(0xFF, a);  // −inf for 0, +inf for ±inf, NaN for NaN
  const __m512d limit = _mm512_set1_pd(1020.0);
  const __m512d low = _mm512_maskz_max_pd(0xFF, _mm512_sub_pd(ea, limit), _mm512_set1_pd(-1020.0));
  const __m512d high = _mm512_maskz_min_pd(0xFF, _mm512_add_pd(ea, limit), limit);
  // Ordered compares: a NaN exponent is not admitted.
  const __mmask8 admitted = _mm512_mask_cmp_pd_mask(_mm512_cmp_pd_mask(ea, _mm512_set1_pd(-969.0), _CMP_GE_OQ), ea,
                                                    _mm512_set1_pd(1023.0), _CMP_LE_OQ);
  return {low, high, admitted};
}

// The lanes whose quotient the FMA sequence may give.
__attribute__((target("avx512f"))) inline __mmask8 FmaDivisionAdmits(__m512d b, const FmaDivisionBounds& bounds) {
  const __m512d eb = _mm512_maskz_getexp_pd(0xFF, b);
  __mmask8 ok = _mm512_mask_cmp_pd_mask(bounds.admitted, eb, bounds.low, _CMP_GE_OQ);
  ok = _mm512_mask_cmp_pd_mask(ok, eb, bounds.high, _CMP_LE_OQ);
  const __m512i significand = _mm512_set1_epi64(0x000FFFFFFFFFFFFFLL);
  return _mm512_mask_cmpneq_epi64_mask(ok, _mm512_and_si512(_mm512_castpd_si512(b), significand), significand);
}

__attribute__((target("avx512f"))) inline __m512d DivideByFma(__m512d a, __m512d b, const FmaDivisionBounds& bounds) {
  const __m512d one = _mm512_set1_pd(1.0);
  const __m512d y0 = _mm512_maskz_rcp14_pd(0xFF, b);
  const __m512d y1 = _mm512_fmadd_pd(_mm512_fnmadd_pd(b, y0, one), y0, y0);
  const __m512d y2 = _mm512_fmadd_pd(_mm512_fnmadd_pd(b, y1, one), y1, y1);
  const __m512d y3 = _mm512_fmadd_pd(_mm512_fnmadd_pd(b, y2, one), y2, y2);
  const __m512d q0 = _mm512_mul_pd(a, y1);
  const __m512d q1 = _mm512_fmadd_pd(_mm512_fnmadd_pd(b, q0, a), y1, q0);
  const __m512d q2 = _mm512_fmadd_pd(_mm512_fnmadd_pd(b, q1, a), y3, q1);
  const __mmask8 ok = FmaDivisionAdmits(b, bounds);
  if (ok == 0xFF) return q2;
  return _mm512_mask_div_pd(q2, static_cast<__mmask8>(~ok), a, b);
}

__attribute__((target("avx512f"))) inline __m512d DivideByFma(__m512d a, __m512d b) {
  return DivideByFma(a, b, FmaDivisionBoundsFor(a));
}

}  // namespace quorix::detail
