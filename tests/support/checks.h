// Small checks the unit tests share: the message a call throws, and doubles compared by their bits
// (so that −0 and 0, and NaNs of other signs, differ).
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace quorix::testing {

// The message of the E that `call` throws, or "(accepted)" when it returns.
template <class E, class F>
std::string ThrownMessage(F&& call) {
  try {
    call();
  } catch (const E& e) {
    return e.what();
  }
  return "(accepted)";
}

// By memcpy: not every target's C++ library has std::bit_cast.
inline std::uint64_t Bits(double x) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &x, sizeof bits);
  return bits;
}

inline std::vector<std::uint64_t> Bits(const std::vector<double>& values) {
  std::vector<std::uint64_t> bits;
  for (double x : values) bits.push_back(Bits(x));
  return bits;
}

inline bool SameBits(double a, double b) { return Bits(a) == Bits(b); }

// Units in the last place between two finite doubles of the same sign: the
// distance of their bit patterns, which the format orders as the values.
inline std::int64_t Ulps(double a, double b) {
  const auto ia = static_cast<std::int64_t>(Bits(a)), ib = static_cast<std::int64_t>(Bits(b));
  return ia > ib ? ia - ib : ib - ia;
}

}  // namespace quorix::testing
