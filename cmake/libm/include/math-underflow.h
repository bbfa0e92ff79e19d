/* The library forces the underflow flag for tiny results; only the flag, never the value. */
#define math_check_force_underflow(x) ((void)0)
#define math_check_force_underflow_nonneg(x) ((void)0)
