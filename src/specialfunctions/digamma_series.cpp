// ψ(x) from the truncated series alone: the fallback of every path that
// cannot take a table or the lanes, and the reference the lanes equal.
#include <cstdint>

#include "digamma_series.h"
#include "ieee.h"
#include "specialfunctions.h"
#include "step_counter.h"

namespace quorix {

using detail::kEulerGamma;
using detail::kSeriesTerms;
using ieee::FaultScope;
using ieee::Real;

std::int32_t DigammaSeries(double x, double& result) {
  // ψ(x) = −γ + Σ_{k≥1} (x − 1) / (k·(k + x − 1)), cut off after 100000
  // terms. The terms fall off like (x − 1)/k², so for most arguments the sum
  // never settles and the value lies below ψ(x) by about the omitted tail.
  steps::Count();
  FaultScope scope;
  const Real xm = Real(x) - 1.0;
  Real s = 0.0;
  std::int32_t status = 2;
  for (int k = 1; k <= kSeriesTerms; ++k) {
    const Real kk = static_cast<double>(k);
    const Real next = xm / ((kk + xm) * kk) + s;
    if (next == s) {
      status = 1;
      break;
    }
    s = next;
  }
  if (scope.Raised()) return 0;
  result = (s - kEulerGamma).value();
  return status;
}

}  // namespace quorix
