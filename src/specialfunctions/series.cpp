#include "ieee.h"
#include "specialfunctions.h"
#include "step_counter.h"

namespace quorix {

using ieee::FaultScope;
using ieee::Real;

namespace {
constexpr double kMaxTerms = 1000.0;
}

std::int32_t HypergeometricSeries(double a, double b, double c, double zArg, double& sum) {
  FaultScope scope;
  const Real z = zArg;
  if (fabs(z) >= 1.0 || scope.Raised()) return 0;  // outside the disc: sum untouched

  sum = 0.0;
  Real t = 1.0;  // term of index 0
  Real s = 1.0;  // partial sum through index 0
  Real ap = a;
  Real bp = b;
  Real cp = c;
  Real n = 1.0;  // a double, as every intermediate is
  for (;;) {
    steps::Count();
    t = ((ap * bp) / cp) * t;
    t = (t * z) / n;
    const Real next = t + s;
    // A fault in any statement since the last store ends the call before
    // `sum` is written again: it keeps the last good partial sum.
    if (scope.Raised()) return 0;
    sum = next.value();
    // Exact equality, no tolerance: a term below half an ulp of the sum, or
    // an exact zero of a terminating series, ends the summation.
    if (next == s) return static_cast<std::int32_t>(n.value());
    s = next;
    ap = ap + 1.0;
    bp = bp + 1.0;
    cp = cp + 1.0;
    n = n + 1.0;
    if (n > kMaxTerms) return 0;
  }
}

}  // namespace quorix
