// What the libFuzzer harnesses share: doubles read from the input, the check
// that ends a run on a violated property, and the bounds on the evaluator's
// steps (step_counter.h) that the limits of its loops give.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "refusal.h"
#include "step_counter.h"

namespace quorix::fuzz {

// An abort, which libFuzzer records as a finding with its input.
inline void Check(bool holds, const char* property, const std::string& details = {}) {
  if (holds) return;
  std::fprintf(stderr, "\nPROPERTY VIOLATED: %s\n%s\n", property, details.c_str());
  std::abort();
}

// The input from the front: whole doubles and bytes, zero once it runs out.
class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  double Double() {
    double value = 0.0;
    const std::size_t n = std::min<std::size_t>(size_ - pos_, sizeof value);
    std::memcpy(&value, data_ + pos_, n);
    pos_ += n;
    return value;
  }
  std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }

 private:
  const std::uint8_t* data_;
  std::size_t size_, pos_ = 0;
};

// x with only its sign, exponent and top four mantissa bits: 65536 values of
// every magnitude. Each new argument of a digamma series costs 100000 terms
// once; through this, the remembered series make repeats cheap.
inline double Coarse(double x) {
  std::uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  bits &= 0xFFFF'0000'0000'0000ull;
  std::memcpy(&x, &bits, sizeof x);
  return x;
}

inline std::string Show(double x) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.17g", x);
  return buffer;
}

// One digamma value: a series of its own, or a look-up of a remembered one
// with up to 8 lanes summed with it and 16 ahead; 33 with the fallback series.
inline constexpr std::uint64_t kDigammaSteps = 33;
inline constexpr std::uint64_t kSeriesSteps = 1000;  // the Gauss series' terms
// One level of the evaluator, its largest region: the integer-gap form (2·170
// factorial and finite-sum steps, 1001 logarithmic terms of four digamma
// values each, a polynomial series); Pfaff's transformation adds one level.
inline constexpr std::uint64_t kLevelSteps = 2 * 170 + 1001 * (1 + 4 * kDigammaSteps) + kSeriesSteps;
inline constexpr std::uint64_t kHypergeometricSteps = 2 * kLevelSteps + 3 * kDigammaSteps;
// SolveEnergy: the top of the interval, at most 50 Brent iterations (two
// evaluations and a step each), four loop integrals.
inline constexpr std::uint64_t kSolveSteps = (2 + 50 * 2 + 4) * kHypergeometricSteps + 50;

// Runs f on a fresh step count and checks that it stays within bound.
template <class F>
std::uint64_t Bounded(const std::string& name, std::uint64_t bound, const std::string& where, F f) {
  steps::Reset();
  f();
  const std::uint64_t taken = steps::Taken();
  if (taken > bound) Check(false, (name + ": bounded work").c_str(), where + ": " + std::to_string(taken) + " steps");
  return taken;
}

// Runs f; the message of the refusal it throws, which must say why, or "".
template <class F>
std::string RefusalOf(const std::string& where, F f) {
  try {
    f();
  } catch (const quorix::Refusal& e) {
    Check(*e.what() != '\0', "a refusal says why", where);
    return e.what();
  }
  return {};
}

// The most steps one call took, printed when the harness ends.
struct StepRecord {
  const char* name;
  std::uint64_t most = 0;
  void Note(std::uint64_t steps) { most = std::max(most, steps); }
  ~StepRecord() {
    std::fprintf(stderr, "%s: most evaluator steps in one call: %llu\n", name, static_cast<unsigned long long>(most));
  }
};

}  // namespace quorix::fuzz
