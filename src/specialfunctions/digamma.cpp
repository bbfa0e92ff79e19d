#include <algorithm>
#include <array>
#include <atomic>
#include <mutex>
#include <span>

#include "digamma_lanes.h"
#include "digamma_memory.h"
#include "digamma_series.h"
#include "ieee.h"
#include "specialfunctions.h"
#include "step_counter.h"

namespace quorix {

using ieee::FaultScope;
using ieee::Real;

namespace {

using detail::kEulerGamma;
constexpr int kTableSize = 1001;

// A table of ψ filled completely by its first user and never changed again.
// The fill is guarded, so several threads may ask for it at once; readers
// after the release store see the whole table.
class LazyTable {
 public:
  template <class Fill>
  const std::array<double, kTableSize>& Get(Fill fill) {
    if (!filled_.load(std::memory_order_acquire)) {
      std::lock_guard lock(mutex_);
      if (!filled_.load(std::memory_order_relaxed)) {
        fill(values_);
        filled_.store(true, std::memory_order_release);
      }
    }
    return values_;
  }
  bool Filled() const { return filled_.load(std::memory_order_acquire); }
  void Forget() {
    std::lock_guard lock(mutex_);
    values_.fill(0.0);
    filled_.store(false, std::memory_order_release);
  }

 private:
  std::array<double, kTableSize> values_{};
  std::atomic<bool> filled_{false};
  std::mutex mutex_;
};

LazyTable gIntegerTable;  // entry n: ψ(n) for n = 1 … 1000; entry 0 unused
LazyTable gHalfTable;     // entry k: ψ(k + 1/2) for k = 0 … 1000

[[gnu::always_inline]] inline const std::array<double, kTableSize>& IntegerTable() {
  return gIntegerTable.Get([](std::array<double, kTableSize>& t) {
    t[1] = -kEulerGamma;
    for (int i = 1; i <= 999; ++i) t[i + 1] = 1.0 / i + t[i];
  });
}

[[gnu::always_inline]] inline const std::array<double, kTableSize>& HalfTable() {
  return gHalfTable.Get([](std::array<double, kTableSize>& t) {
    t[0] = -kEulerGamma - 2.0 * std::log(2.0);
    for (int i = 0; i <= 999; ++i) t[i + 1] = 1.0 / (i + 0.5) + t[i];
  });
}

}  // namespace

bool DigammaIntegerTableFilled() { return gIntegerTable.Filled(); }
bool DigammaHalfTableFilled() { return gHalfTable.Filled(); }

void ForgetRememberedValues() {
  gIntegerTable.Forget();
  gHalfTable.Forget();
  detail::ForgetRememberedSeries();
}

namespace {

// Where Digamma takes ψ(x) from.
enum class Source { kFailure, kIntegerTable, kHalfTable, kSeries };

// The tests below can fault only on a NaN argument (the comparisons), and
// x − 0.5 cannot fault at all, so plain doubles serve: this runs three
// times per step of the logarithmic series.
[[gnu::always_inline]] inline Source Classify(double x, int& index) {
  if (std::isnan(x)) return Source::kFailure;
  const bool whole = std::floor(x) == x;
  if (whole && x <= 0.0) return Source::kFailure;  // the poles
  if (whole && x <= 1000.0) {
    index = static_cast<int>(x);
    return Source::kIntegerTable;
  }
  const double half = x - 0.5;
  if (std::floor(half) == half && x <= 1000.0) {
    // The table is filled before the entry is looked up: a negative
    // half-integer, which has no entry, still counts as its first use.
    HalfTable();
    if (half < 0.0 || half > 1000.0) return Source::kFailure;  // negative half-integers: no entry
    index = static_cast<int>(half);
    return Source::kHalfTable;
  }
  return Source::kSeries;
}

std::atomic<bool> gStraightforward{false};

std::int32_t DigammaFrom(Source source, int index, double x, std::span<const double> companions, double& result) {
  switch (source) {
    case Source::kFailure: return 0;
    case Source::kIntegerTable: result = IntegerTable()[index]; return 1;
    case Source::kHalfTable: result = HalfTable()[index]; return 1;
    case Source::kSeries: break;
  }
  if (gStraightforward.load(std::memory_order_relaxed)) return DigammaSeries(x, result);
  const detail::SeriesValue v = detail::RememberedSeries(x, companions);
  if (v.status != 0) result = v.value;
  return v.status;
}

}  // namespace

void SetStraightforwardEvaluation(bool on) { gStraightforward.store(on); }
bool StraightforwardEvaluation() { return gStraightforward.load(std::memory_order_relaxed); }

std::int32_t Digamma(double x, double& result) {
  int index = 0;
  const Source source = Classify(x, index);
  return DigammaFrom(source, index, x, {}, result);
}

std::int32_t DigammaAtStep(double offset, int j, double& result) {
  const double x = static_cast<double>(j) + offset;
  int index = 0;
  const Source source = Classify(x, index);
  if (source != Source::kSeries || gStraightforward.load(std::memory_order_relaxed)) {
    return DigammaFrom(source, index, x, {}, result);
  }
  if (detail::SeriesValue v; detail::CachedSeries(x, v)) {
    if (v.status != 0) result = v.value;
    return v.status;
  }
  // The loop asks for j + offset, j + 1 + offset, … in turn. Its steps are
  // summed in aligned groups of two passes of lanes (from j − j mod 2·width):
  // the caller sums one pass while a second core sums the other, and loops
  // that run in step on several threads claim whole groups, never a group
  // split into scraps that each cost a full pass.
  const int group = 2 * detail::DigammaLaneWidth();
  const std::int64_t first = j >= 0 ? j - j % group : j;
  std::array<double, 16> companions;
  int count = 0;
  for (std::int64_t i = first; i < first + group; ++i) {
    if (i == j) continue;
    const double next = static_cast<double>(i) + offset;
    int unused = 0;
    if (Classify(next, unused) == Source::kSeries) companions[count++] = next;
  }
  return DigammaFrom(source, index, x, std::span(companions.data(), count), result);
}

}  // namespace quorix
