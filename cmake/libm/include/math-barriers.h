/* Values the optimiser must take as unknown (no folding of 0x1p-1022 * 0x1p-1022 at compile
   time) and expressions it must evaluate though nothing uses them (they raise the
   floating-point flags). Both keep the value in an SSE register on x86-64, as the library's
   x86 build does, so that no fused multiply-add forms across them either. */
#ifndef QUORIX_LIBM_MATH_BARRIERS_H
#define QUORIX_LIBM_MATH_BARRIERS_H
#if defined(__x86_64__)
#define math_opt_barrier(x) ({ __typeof(x) b_; __asm("" : "=x"(b_) : "0"(x)); b_; })
#define math_force_eval(x) do { __asm __volatile("" : : "x"(x)); } while (0)
#else
#define math_opt_barrier(x) ({ __typeof(x) b_ = (x); __asm("" : "+m"(b_)); b_; })
#define math_force_eval(x) do { __typeof(x) b_ = (x); __asm __volatile("" : : "m"(b_)); } while (0)
#endif
#endif
