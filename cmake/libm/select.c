/* exp, log, pow, sin, cos, tan, expm1 and log1p (and on x86-64 fma) for the builds whose own
   C library computes them otherwise than Linux's (cmake/libm.cmake): each calls the function
   of that library's sources, in the form Linux's library picks on the running processor.

   On x86-64 the library carries each function twice: compiled for processors with fused
   multiply-add and AVX2, where the compiler fuses a product and a sum into one rounding, and
   for the others, where each rounds alone. The two round differently in about one result of
   a thousand; Linux takes the first where the processor and the system have both features,
   and so does this file (the compiler's test of them checks the system's support for the AVX
   registers too). Other processors (WebAssembly) take the second. */
#if defined(__x86_64__)
#define QUORIX_LIBM_FUNCTION(name, params, args) \
  double quorix_##name##_fused params;           \
  double quorix_##name##_plain params;           \
  double name params { return quorix_libm_fused() ? quorix_##name##_fused args : quorix_##name##_plain args; }
#else
#define QUORIX_LIBM_FUNCTION(name, params, args) \
  double quorix_##name##_plain params;           \
  double name params { return quorix_##name##_plain args; }
#endif

#if defined(__x86_64__)
#include <stdlib.h>
#include <string.h>

/* 0 until the first call asks the processor, then 1 (fused) or 2 (plain). A first call from
   two threads at once asks twice and stores the same answer. QUORIX_LIBM=plain takes the
   plain kind on any processor, as Linux's library does on one without FMA and AVX2: the
   tests check that kind with it (tests/elementary). */
static int quorix_libm_kind;

static int quorix_libm_fused(void) {
  int kind = __atomic_load_n(&quorix_libm_kind, __ATOMIC_RELAXED);
  if (kind == 0) {
    const char* asked = getenv("QUORIX_LIBM");
    __builtin_cpu_init();
    kind = __builtin_cpu_supports("fma") && __builtin_cpu_supports("avx2") ? 1 : 2;
    if (asked != NULL && strcmp(asked, "plain") == 0) kind = 2;
    __atomic_store_n(&quorix_libm_kind, kind, __ATOMIC_RELAXED);
  }
  return kind == 1;
}
#endif

QUORIX_LIBM_FUNCTION(exp, (double x), (x))
QUORIX_LIBM_FUNCTION(log, (double x), (x))
QUORIX_LIBM_FUNCTION(pow, (double x, double y), (x, y))
QUORIX_LIBM_FUNCTION(sin, (double x), (x))
QUORIX_LIBM_FUNCTION(cos, (double x), (x))
QUORIX_LIBM_FUNCTION(tan, (double x), (x))
QUORIX_LIBM_FUNCTION(expm1, (double x), (x))
QUORIX_LIBM_FUNCTION(log1p, (double x), (x))

#if defined(__x86_64__)
/* fma rounds once, so every correct one gives the same bits: the processor's instruction
   where it has one, else the library's software fma (round-to-odd addition under a
   towards-zero rounding mode). */
double quorix_fma_software(double x, double y, double z);

__attribute__((target("fma"))) static double quorix_fma_instruction(double x, double y, double z) {
  return __builtin_fma(x, y, z);
}

double fma(double x, double y, double z) {
  return quorix_libm_fused() ? quorix_fma_instruction(x, y, z) : quorix_fma_software(x, y, z);
}
#endif
