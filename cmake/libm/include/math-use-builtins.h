/* The software fma, not the compiler's builtin: the processor's instruction is chosen in select.c. */
#define USE_FMA_BUILTIN 0
