// The truncated digamma series summed for several arguments at once.
#pragma once

#include <cstdint>

namespace quorix::detail {

// ψ(x[i]) = −γ + Σ_{k=1}^{100000} (x − 1)/(k·(k + x − 1)), stopped early when
// a term leaves the sum unchanged, for i < count. Each lane performs exactly
// the operations of the one-argument series in the same order, so every
// value is bit-identical to it; status[i] is 1 (stopped early), 2 (ran to
// the end) or 0 (a fault), and value[i] is written only when status[i] ≠ 0.
void SumDigammaSeriesLanes(const double* x, int count, double* value, std::int32_t* status);

// The instruction set the lanes run on: "avx512" (quotients from vdivpd),
// "avx512fma" (the same quotients from FMAs), "avx2" or "scalar", and how
// many series one pass sums (8, 8, 4 or 1).
const char* DigammaLaneKind();
int DigammaLaneWidth();

}  // namespace quorix::detail
