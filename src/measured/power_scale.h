// Values scaled by a power of two, so that the arithmetic on a record's
// numbers cannot overflow whatever its units. Internal to the measured room.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace quorix::measured {

// x·2^−e with 2^e the power of two at or below the largest |x|: the scaled
// values lie in (−2, 2), so their differences, products and sums cannot
// overflow whatever the record's units, and the scaling is exact, so every
// rounding falls as it would on the values themselves.
// A scaled value that falls among the subnormals is exact no longer; a
// cycle's own quantities are therefore taken with the scale of its own
// points (first … last), and only brought to the record's scale, exactly
// again, where cycles are compared and averaged.
struct Scale {
  explicit Scale(const std::vector<double>& v) : Scale(v, 0, v.size()) {}
  Scale(const std::vector<double>& v, std::size_t first, std::size_t end) {
    double largest = 0.0;
    for (std::size_t i = first; i < end; ++i) largest = std::max(largest, std::fabs(v[i]));
    exponent = largest > 0.0 && std::isfinite(largest) ? std::ilogb(largest) : 0;
    // 2^−e is a double unless the largest |x| is itself far down the
    // subnormals; a product with it rounds as scalbn does, at a fraction of
    // the cost.
    factor = exponent >= -1023 ? std::ldexp(1.0, -exponent) : 0.0;
  }
  double operator()(double x) const { return factor != 0.0 ? x * factor : std::scalbn(x, -exponent); }
  int exponent = 0;
  double factor = 1.0;
};

}  // namespace quorix::measured
