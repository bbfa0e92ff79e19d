/* Rounding modes and flags. sin and tan set round-to-nearest for their length, which Quorix
   never leaves. The software fma (Boldo and Melquiond's round-to-odd addition) truly rounds
   towards zero for one addition and reads the inexact flag: on x86-64 in the SSE control
   and status register itself, where doubles are computed, as the library's x86-64 build does
   (MinGW-w64's fenv functions leave that register's rounding changed behind them). */
#ifndef QUORIX_LIBM_FENV_PRIVATE_H
#define QUORIX_LIBM_FENV_PRIVATE_H
#include <fenv.h>
#define SET_RESTORE_ROUND(mode)
#define SET_RESTORE_ROUND_53BIT(mode)
#if defined(__x86_64__)
#include <string.h>
#include <xmmintrin.h>
/* MXCSR: the flags in bits 0-5 (the x87 order, so FE_INEXACT is 0x20 in both), the masks in
   7-12, the rounding in 13-14 (the x87 control word's FE_* values shifted by 3). */
static inline void quorix_hold_round(fenv_t* env, int mode) {
  const unsigned int csr = _mm_getcsr();
  memcpy(env, &csr, sizeof csr);
  _mm_setcsr(((csr | 0x1f80u) & ~0x3fu & ~0x6000u) | ((unsigned int)mode << 3));
}
static inline void quorix_set_round(int mode) { _mm_setcsr((_mm_getcsr() & ~0x6000u) | ((unsigned int)mode << 3)); }
static inline int quorix_update_test(const fenv_t* env, int excepts) {
  unsigned int held;
  const unsigned int now = _mm_getcsr();
  memcpy(&held, env, sizeof held);
  _mm_setcsr(held | (now & 0x3fu));
  return (int)(now & (unsigned int)excepts & 0x3fu);
}
static inline void quorix_clear(int excepts) { _mm_setcsr(_mm_getcsr() & ~((unsigned int)excepts & 0x3fu)); }
#define libc_feholdexcept_setround(env, mode) quorix_hold_round((env), (mode))
#define libc_fesetround(mode) quorix_set_round(mode)
#define libc_fetestexcept(excepts) ((int)(_mm_getcsr() & (unsigned int)(excepts) & 0x3fu))
#define libc_feupdateenv_test(env, excepts) quorix_update_test((env), (excepts))
#define libc_feupdateenv(env) ((void)quorix_update_test((env), 0))
#define feclearexcept(excepts) quorix_clear(excepts)
#endif
#endif
