#include <array>
#include <atomic>
#include <mutex>

#include "ieee.h"
#include "specialfunctions.h"

namespace quorix {

using ieee::FaultScope;
using ieee::Real;

namespace {

constexpr double kEulerGamma = 0.577215664901533;  // one ulp above the double nearest γ
constexpr int kTableSize = 1001;
constexpr int kSeriesTerms = 100000;

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

const std::array<double, kTableSize>& IntegerTable() {
  return gIntegerTable.Get([](std::array<double, kTableSize>& t) {
    t[1] = -kEulerGamma;
    for (int i = 1; i <= 999; ++i) t[i + 1] = 1.0 / i + t[i];
  });
}

const std::array<double, kTableSize>& HalfTable() {
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
}

std::int32_t DigammaSeries(double x, double& result) {
  // ψ(x) = −γ + Σ_{k≥1} (x − 1) / (k·(k + x − 1)), cut off after 100000
  // terms. The terms fall off like (x − 1)/k², so for most arguments the sum
  // never settles and the value lies below ψ(x) by about the omitted tail.
  FaultScope scope;
  const Real xm = Real(x) - 1.0;
  Real s = 0.0;
  std::int32_t status = 2;
  for (int k = 1; k <= kSeriesTerms; ++k) {
    const Real kk = static_cast<double>(k);
    const Real next = xm / ((kk + xm) * kk) + s;
    if (next == s) {
      status = 1;
      break;
    }
    s = next;
  }
  if (scope.Raised()) return 0;
  result = (s - kEulerGamma).value();
  return status;
}

std::int32_t Digamma(double xArg, double& result) {
  FaultScope scope;
  const Real x = xArg;
  const bool whole = ieee::IsWhole(x);
  if (scope.Raised()) return 0;  // NaN

  if (whole && x <= 0.0) return 0;  // the poles
  if (whole && x <= 1000.0) {
    result = IntegerTable()[static_cast<int>(xArg)];
    return 1;
  }
  const Real half = x - 0.5;
  if (ieee::IsWhole(half) && x <= 1000.0) {
    // The table is filled before the entry is looked up: a negative
    // half-integer, which has no entry, still counts as its first use.
    const auto& table = HalfTable();
    const double k = half.value();
    if (k < 0.0 || k > 1000.0) return 0;  // negative half-integers: no entry
    result = table[static_cast<int>(k)];
    return 1;
  }
  return DigammaSeries(xArg, result);
}

}  // namespace quorix
