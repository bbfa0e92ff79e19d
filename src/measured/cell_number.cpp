#include "cell_number.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <system_error>

#include "decimal.h"

namespace quorix::measured::detail {

namespace {

// Whether a number text that ReadDouble finds beyond the doubles lies below
// them rather than above: the power of ten of its first significant digit
// is negative (a magnitude beyond the doubles is above 1e308 or below
// 1e-323, nothing between).
bool BelowTheDoubles(std::string_view s) {
  if (!s.empty() && s.front() == '-') s.remove_prefix(1);
  std::size_t i = 0, integerDigits = 0, firstSignificant = std::string_view::npos;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i, ++integerDigits) {
    if (firstSignificant == std::string_view::npos && s[i] != '0') firstSignificant = integerDigits;
  }
  long long power = 0;
  if (firstSignificant != std::string_view::npos) {
    power = static_cast<long long>(integerDigits - 1 - firstSignificant);
  } else {
    if (i < s.size() && s[i] == '.') ++i;
    long long place = -1;
    for (; i < s.size() && s[i] == '0'; ++i) --place;
    power = place;
  }
  while (i < s.size() && s[i] != 'e' && s[i] != 'E') ++i;
  long long exponent = 0;
  if (i < s.size()) {
    ++i;
    const bool negative = i < s.size() && s[i] == '-';
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
    for (; i < s.size(); ++i) exponent = std::min(exponent * 10 + (s[i] - '0'), 1'000'000'000LL);  // saturates
    if (negative) exponent = -exponent;
  }
  return power + exponent < 0;
}

}  // namespace

NumberStatus ReadCellNumber(std::string_view text, double& value) {
  std::string_view s = text;
  if (!s.empty() && s.front() == '+') {
    s.remove_prefix(1);
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) return NumberStatus::notNumber;
  }
  if (s.empty()) return NumberStatus::notNumber;
  const auto [end, ec] = decimal::ReadDouble(s, value);
  if (end != s.data() + s.size()) return NumberStatus::notNumber;
  if (ec == std::errc::result_out_of_range) {
    if (!BelowTheDoubles(s)) return NumberStatus::outOfRange;
    value = s.front() == '-' ? -0.0 : 0.0;
    return NumberStatus::ok;
  }
  if (ec != std::errc()) return NumberStatus::notNumber;
  if (!std::isfinite(value)) return NumberStatus::notFinite;
  return NumberStatus::ok;
}

}  // namespace quorix::measured::detail
