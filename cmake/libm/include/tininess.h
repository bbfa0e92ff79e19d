/* x86 detects tininess after rounding (the software fma's subnormal results depend on it). */
#define TININESS_AFTER_ROUNDING 1
