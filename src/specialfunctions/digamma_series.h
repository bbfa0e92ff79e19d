// The constants of the straightforward digamma: the Euler constant that
// starts the tables and the series, and the series' length. The SIMD lanes
// (digamma_lanes.cpp) keep copies of their own on purpose, so that a fault
// in either shows as a difference from the other.
#pragma once

namespace quorix::detail {

inline constexpr double kEulerGamma = 0.577215664901533;  // one ulp above the double nearest γ
inline constexpr int kSeriesTerms = 100000;

}  // namespace quorix::detail
