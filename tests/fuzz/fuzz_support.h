// What the libFuzzer harnesses share: reading doubles from the input, and
// the check that ends a run on a violated property.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace quorix::fuzz {

// Reports the violated property with the details and aborts, which
// libFuzzer records as a finding with the input that caused it.
[[noreturn]] inline void Fail(const char* property, const std::string& details) {
  std::fprintf(stderr, "\nPROPERTY VIOLATED: %s\n%s\n", property, details.c_str());
  std::abort();
}

inline void Check(bool holds, const char* property, const std::string& details = {}) {
  if (!holds) Fail(property, details);
}

// The input taken apart from the front: whole doubles and bytes, zero once
// it runs out.
class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  double Double() {
    std::uint64_t bits = 0;
    const std::size_t n = size_ - pos_ < 8 ? size_ - pos_ : 8;
    std::memcpy(&bits, data_ + pos_, n);
    pos_ += n;
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }
  std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

// The double with only the sign, the exponent and the top four bits of the
// mantissa of x: 65536 distinct values cover every magnitude. Harnesses
// whose evaluations sum fresh 100000-term digamma series take most of their
// arguments through it, so that the remembered series make repeats cheap.
inline double Coarse(double x) {
  std::uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  bits &= 0xFFFF'0000'0000'0000ull;
  std::memcpy(&x, &bits, sizeof x);
  return x;
}

inline std::string Show(double x) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.17g", x);
  return buffer;
}

// The largest number of evaluator steps one call has taken, printed when
// the harness ends, for the record of a fuzzing run.
class StepRecord {
 public:
  explicit StepRecord(const char* name) : name_(name) {}
  ~StepRecord() { std::fprintf(stderr, "%s: most evaluator steps in one call: %llu\n", name_, most_); }
  void Note(unsigned long long steps) {
    if (steps > most_) most_ = steps;
  }

 private:
  const char* name_;
  unsigned long long most_ = 0;
};

}  // namespace quorix::fuzz
