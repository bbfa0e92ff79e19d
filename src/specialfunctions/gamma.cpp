#include "specialfunctions.h"

#include "ieee.h"

namespace quorix {

using ieee::FaultScope;
using ieee::Real;

namespace {

// Lanczos coefficients for g = 5 with six terms, each the double nearest a
// decimal of at most 15 significant digits. The results are defined by these
// stored values, not by the full-precision coefficients.
constexpr double kLanczos[6] = {
    76.1800917294715,  -86.5053203294168,    24.0140982408309,
    -1.23173957245015, 0.00120865097386618, -5.395239384953E-06,
};
constexpr double kSeriesStart = 1.00000000019001;
constexpr double kSqrtTwoPi = 2.506628274631;  // one ulp below the double nearest √(2π)
constexpr double kPi = 3.14159265358979;       // seven ulps below the double nearest π

}  // namespace

std::int32_t LogGamma(double xArg, double& result) {
  FaultScope scope;
  const Real x = xArg;
  if (x <= 0.0 || scope.Raised()) return 0;  // NaN faults in the test

  Real tmp = x + 5.5;
  tmp = (x + 0.5) * log(tmp) - tmp;
  Real ser = kSeriesStart;
  Real y = x;
  for (double cof : kLanczos) {
    y = y + 1.0;
    ser = ser + cof / y;
  }
  if (scope.Raised()) return 0;
  // The final store happens before the fault is looked at: an overflow
  // leaves its infinity in `result` with status 0.
  result = (log(kSqrtTwoPi * ser / x) + tmp).value();
  return scope.Raised() ? 0 : 1;
}

std::int32_t GammaFunction(double xArg, double& result) {
  FaultScope scope;
  const Real x = xArg;
  const bool positive = x > 0.0;
  if (scope.Raised()) return 0;
  double lg = 0.0;
  if (positive) {
    if (LogGamma(xArg, lg) == 0) return 0;
    result = exp(Real(lg)).value();
    return scope.Raised() ? 0 : 1;
  }
  // Poles: refused before any arithmetic, result untouched.
  if (x == 0.0 || ieee::IsWhole(x)) return 0;

  // Reflection: Γ(x) = π / (sin(πx) · Γ(1 − x)).
  if (LogGamma((1.0 - x).value(), lg) == 0) return 0;
  const Real s = sin(x * kPi);
  result = ((kPi / s) / exp(Real(lg))).value();
  return scope.Raised() ? 0 : 1;
}

}  // namespace quorix
