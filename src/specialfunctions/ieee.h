// Checked IEEE 754 arithmetic: doubles that remember whether an operation
// raised one of the three faults Quorix treats as errors.
//
// Overflow, division by zero and invalid operation are errors; underflow and
// inexact results are not. We deliberately do not read the hardware flags
// through <cfenv>: GCC ignores FENV_ACCESS and may fold, hoist or sink
// arithmetic across fetestexcept(), and x86 compare instructions differ on
// whether a quiet NaN signals. Instead each operation decides from its own
// operands and result whether IEEE 754 would have raised a flag:
//
//   * a NaN result from operands that are not NaN is an invalid operation
//     (0/0, inf - inf, 0 * inf, log(-1), pow(-2, 0.5), sin(inf));
//   * an infinite result from finite operands is an overflow or a division
//     by zero (1/0, log(0), pow(0, -1), exp(1000)).
//
// Arithmetic on operands that are already infinite or NaN raises nothing,
// exactly as in IEEE 754 (inf + 1, NaN * 2). Ordered and equality tests with
// a NaN operand count as invalid operations (the signalling comparisons).
//
// The faults accumulate in a sticky per-thread flag. A FaultScope clears it
// for the code it guards and gives the enclosing code its own flag back when
// it ends, so a function that traps its faults simply lets its scope end.
#pragma once

#include <cmath>

namespace quorix::ieee {

inline thread_local bool tFault = false;

[[gnu::cold]] inline void NoteNonFinite(double r, double a, double b) {
  if (std::isnan(r) ? !(std::isnan(a) || std::isnan(b)) : (std::isfinite(a) && std::isfinite(b))) {
    tFault = true;
  }
}

class Real {
 public:
  constexpr Real() = default;
  constexpr Real(double v) : v_(v) {}  // NOLINT: implicit, so formulas read as written
  constexpr double value() const { return v_; }

 private:
  double v_ = 0.0;
};

[[gnu::always_inline]] inline Real Checked(double r, double a, double b) {
  if (!std::isfinite(r)) [[unlikely]] {
    NoteNonFinite(r, a, b);
  }
  return Real(r);
}

[[gnu::always_inline]] inline bool CheckedTest(bool r, double a, double b) {
  if (std::isnan(a) || std::isnan(b)) [[unlikely]] {
    tFault = true;
  }
  return r;
}

inline Real operator+(Real a, Real b) { return Checked(a.value() + b.value(), a.value(), b.value()); }
inline Real operator-(Real a, Real b) { return Checked(a.value() - b.value(), a.value(), b.value()); }
inline Real operator*(Real a, Real b) { return Checked(a.value() * b.value(), a.value(), b.value()); }
inline Real operator/(Real a, Real b) { return Checked(a.value() / b.value(), a.value(), b.value()); }
inline Real operator-(Real a) { return Real(-a.value()); }

inline bool operator<(Real a, Real b) { return CheckedTest(a.value() < b.value(), a.value(), b.value()); }
inline bool operator<=(Real a, Real b) { return CheckedTest(a.value() <= b.value(), a.value(), b.value()); }
inline bool operator>(Real a, Real b) { return CheckedTest(a.value() > b.value(), a.value(), b.value()); }
inline bool operator>=(Real a, Real b) { return CheckedTest(a.value() >= b.value(), a.value(), b.value()); }
inline bool operator==(Real a, Real b) { return CheckedTest(a.value() == b.value(), a.value(), b.value()); }
inline bool operator!=(Real a, Real b) { return CheckedTest(a.value() != b.value(), a.value(), b.value()); }

inline Real log(Real x) { return Checked(std::log(x.value()), x.value(), 0.0); }
inline Real exp(Real x) { return Checked(std::exp(x.value()), x.value(), 0.0); }
inline Real sin(Real x) { return Checked(std::sin(x.value()), x.value(), 0.0); }
inline Real pow(Real x, Real y) { return Checked(std::pow(x.value(), y.value()), x.value(), y.value()); }
inline Real fabs(Real x) { return Real(std::fabs(x.value())); }
inline Real floor(Real x) { return Real(std::floor(x.value())); }

// "The largest integer not above x equals x." NaN compares as a fault.
inline bool IsWhole(Real x) { return floor(x) == x; }

// Nearest integer, ties to even (2.5 → 2, 3.5 → 4, −2.5 → −2), decided from
// x − floor(x), which is exact for every double, so the result does not
// depend on the current rounding mode.
inline Real RoundHalfEven(Real x) {
  const Real fl = floor(x);
  const Real frac = x - fl;
  if (frac < 0.5) return fl;
  if (frac > 0.5) return fl + 1.0;
  return IsWhole(fl * 0.5) ? fl : fl + 1.0;
}

class FaultScope {
 public:
  FaultScope() : saved_(tFault) { tFault = false; }
  ~FaultScope() { tFault = saved_; }
  FaultScope(const FaultScope&) = delete;
  FaultScope& operator=(const FaultScope&) = delete;

  bool Raised() const { return tFault; }

 private:
  bool saved_;
};

}  // namespace quorix::ieee
