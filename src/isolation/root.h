// Brent's bracketed root search (inverse quadratic interpolation, secant and
// bisection), for the room's monotone or merely continuous closed forms.
#pragma once

#include <algorithm>
#include <cmath>
#include <utility>

namespace quorix::isolation {

// A root of f in [a, b], where fa = f(a) and fb = f(b) have opposite signs,
// to about one ulp of the root. The bracket is kept throughout, so a
// function that is continuous there cannot send the search astray.
template <class F>
double BracketedRoot(const F& f, double a, double b, double fa, double fb) {
  if (fa == 0.0) return a;
  if (fb == 0.0) return b;
  double c = a, fc = fa, d = b - a, e = d;
  for (int step = 0; step < 200; ++step) {
    if ((fb > 0.0) == (fc > 0.0)) {
      c = a;
      fc = fa;
      d = e = b - a;
    }
    if (std::abs(fc) < std::abs(fb)) {
      a = b, b = c, c = a;
      fa = fb, fb = fc, fc = fa;
    }
    const double tol = 2.0 * 2.2e-16 * std::abs(b) + 1e-300;
    const double m = 0.5 * (c - b);
    if (std::abs(m) <= tol || fb == 0.0) return b;
    if (std::abs(e) >= tol && std::abs(fa) > std::abs(fb)) {
      double p, q;
      const double s = fb / fa;
      if (a == c) {
        p = 2.0 * m * s;
        q = 1.0 - s;
      } else {
        const double r = fb / fc, t = fa / fc;
        p = s * (2.0 * m * t * (t - r) - (b - a) * (r - 1.0));
        q = (t - 1.0) * (r - 1.0) * (s - 1.0);
      }
      if (p > 0.0) q = -q;
      p = std::abs(p);
      if (2.0 * p < std::min(3.0 * m * q - std::abs(tol * q), std::abs(e * q))) {
        e = d;
        d = p / q;
      } else {
        d = e = m;
      }
    } else {
      d = e = m;
    }
    a = b;
    fa = fb;
    b += std::abs(d) > tol ? d : (m > 0.0 ? tol : -tol);
    fb = f(b);
    if (std::isnan(fb)) return std::nan("");
  }
  return b;
}

}  // namespace quorix::isolation
