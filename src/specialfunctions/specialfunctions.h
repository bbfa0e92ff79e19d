// Quorix's special functions: log-gamma, gamma, the Gauss hypergeometric
// series and evaluator, and digamma.
//
// Calling convention shared by all of them: numeric arguments by value, the
// value through a double passed by reference, and a 32-bit status, 0 for
// failure and non-zero for success. Every function traps its own
// floating-point faults and reports them as status 0, except
// Hypergeometric2F1: faults of its own arithmetic end the call and reach the
// caller as a thrown FloatingPointFault.
#pragma once

#include <cstdint>
#include <exception>

namespace quorix {

// An overflow, division by zero or invalid operation that a function did not
// turn into a status.
class FloatingPointFault : public std::exception {
 public:
  const char* what() const noexcept override { return "floating-point fault"; }
};

// ln Γ(x) for x > 0 by the six-term Lanczos approximation.
std::int32_t LogGamma(double x, double& result);

// Γ(x): exp(ln Γ(x)) for x > 0, reflection for negative non-integers.
std::int32_t GammaFunction(double x, double& result);

// The Gauss series summed term by term until a term leaves the sum unchanged
// (at most 1000 terms after the leading 1). Success status is the index of
// that term. `sum` receives every partial sum as it is formed.
std::int32_t HypergeometricSeries(double a, double b, double c, double z, double& sum);

// F(a, b; c; z) for real parameters and z < 1. May throw FloatingPointFault.
std::int32_t Hypergeometric2F1(double a, double b, double c, double z, double& result);

// ψ(x). Status 1: from a table, or the series met its stop test; status 2:
// the 100000-term series ran to the end; status 0: pole or fault.
std::int32_t Digamma(double x, double& result);

// Digamma(double(j) + offset), for loops that step through j + offset,
// j + 1 + offset, …: when the value comes from the series, the arguments of
// the following steps are summed alongside it (and remembered).
std::int32_t DigammaAtStep(double offset, int j, double& result);

// ψ(x) from the 100000-term series alone, for any x; the same status values
// as Digamma. The logarithmic branch of the evaluator falls back to it at the
// negative half-integers, which have no table entry.
std::int32_t DigammaSeries(double x, double& result);

// Whether the two lazily filled digamma tables have been filled yet.
bool DigammaIntegerTableFilled();
bool DigammaHalfTableFilled();

// Digamma remembers every series value it sums (keyed by the exact bits of
// the argument) and sums several at once in SIMD lanes; both give the same
// bits as summing each one alone. The straightforward evaluation sums every
// series anew, one at a time, and sweeps run on one thread: the baseline
// that benchmarks and equality tests compare with.
void SetStraightforwardEvaluation(bool on);
bool StraightforwardEvaluation();

// Returns the process to its starting state: the digamma tables empty and no
// series remembered. For benchmarks that measure a cold start; it must not
// run while another thread evaluates.
void ForgetRememberedValues();

}  // namespace quorix
