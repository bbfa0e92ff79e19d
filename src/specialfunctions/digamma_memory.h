// The remembered digamma series: series results keyed by the exact bits of
// their argument, up to a bound on the memory they take.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace quorix::detail {

struct SeriesValue {
  double value = 0.0;
  std::int32_t status = 0;  // as DigammaSeries returns it; value unset when 0
};

// The series value of x. When x is not remembered yet it is summed, and
// with it those of `companions` (arguments the caller will ask for next)
// that are not remembered either, in passes of SIMD lanes shared out among
// the caller and a helper thread on a second core, where there is one. Safe
// under concurrent use: a value another thread is summing is waited for,
// never summed twice; a caller that would wait sums queued passes first.
SeriesValue RememberedSeries(double x, std::span<const double> companions);

// The value of x when this thread has looked it up before: no lock, and
// no companions to gather on the common path of a loop. False otherwise.
bool CachedSeries(double x, SeriesValue& value);

// How many series values are remembered.
std::size_t RememberedSeriesCount();

// How many values each of the 16 shards of the memory keeps before it
// forgets its ready ones (0: the default, 2048). For tests.
void SetRememberedSeriesLimit(std::size_t perShard);

// Forgets every remembered value. Not while other threads evaluate.
void ForgetRememberedSeries();

}  // namespace quorix::detail
