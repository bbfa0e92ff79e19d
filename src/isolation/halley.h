// Halley's method inside a bracket, for the room's increasing closed forms
// whose first and second derivatives come free with the value (dG/dσ =
// 1/(1 − y·σⁿ) and its derivative), and the short power series in σⁿ that
// the loop's quantities are below σⁿ = ½.
#pragma once

#include <algorithm>
#include <cmath>

namespace quorix::isolation {

// f, f' and f'' at one point.
struct Derivatives {
  double value = 0.0;
  double slope = 0.0;
  double curvature = 0.0;
};

// A step of this share of x ends the search, the step taken. Halley's error
// after a step δ is about K·δ³ (K = (f''/2f')² − f'''/6f', of order 1/x² for
// the room's power laws), so the root is then good to about 1e-18 of x: one
// evaluation fewer than waiting for a step below the digits, and far below
// the 1e-12 the properties are held to.
constexpr double kHalleySettled = 1e-6;

// The root of an increasing f in [lo, hi] (f(lo) ≤ 0 ≤ f(hi)) from x. A
// step that leaves the bracket, or a correction factor that would more than
// double Newton's step (far from the root, where f''·f/f'² is not small),
// falls back to bisection or to Newton's step, so the bracket always shrinks.
template <class F>
double SafeHalley(const F& f, double lo, double hi, double x) {
  if (!(x > lo && x < hi)) x = 0.5 * (lo + hi);
  for (int step = 0; step < 100; ++step) {
    const Derivatives d = f(x);
    if (d.value == 0.0) return x;
    (d.value < 0.0 ? lo : hi) = x;
    const double newton = d.value / d.slope;
    const double factor = 1.0 - 0.5 * newton * d.curvature / d.slope;
    double next = x - (factor > 0.5 ? newton / factor : newton);
    if (next == x) return x;
    const bool inside = next > lo && next < hi;
    if (inside && std::abs(next - x) <= kHalleySettled * std::abs(x)) return next;
    if (!inside) next = 0.5 * (lo + hi);
    if (next == lo || next == hi) return next;  // the bracket is down to adjacent doubles
    x = next;
  }
  return x;
}

// Σ_{k<count} c_k·Pᵏ by Horner's scheme in P² over the even and the odd
// coefficients at once (two independent chains).
inline double Series(const double* c, int count, double P) {
  const double P2 = P * P;
  double even = 0.0, odd = 0.0;
  int k = count - 1;
  if (k % 2 == 0) even = c[k--];
  for (; k >= 1; k -= 2) {
    odd = c[k] + P2 * odd;
    even = c[k - 1] + P2 * even;
  }
  return even + P * odd;
}

// Terms kept of the series in P ≤ ½. The coefficients shrink, or (for the
// area and the crossing, whose coefficients carry 1 − wᵏ ≤ k·(1 − w)) exceed
// the first one by at most (n + 2)/n; Pᵏ < 2⁻⁶⁴ ends the sum below a
// double's last digit for n down to 0.05.
constexpr int kSeriesTerms = 68;
// At least two: the area and the crossing start at P¹ (their series from
// the second coefficient on), and lose nothing else below P = 2⁻⁶⁴, where a
// small amplitude of a large n puts them (n = 10, X = 0.01: P = 1e-20).
inline int SeriesTerms(double P) {
  if (!(P > 0x1p-64)) return 2;
  return std::min(kSeriesTerms, static_cast<int>(std::ceil(64.0 / -std::log2(P))) + 2);
}

}  // namespace quorix::isolation
