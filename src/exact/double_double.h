// Error-free transformations and a minimal double-double type: enough to form
// β − γ, 1 − α and the products of the forces and energies without a
// rounding before the last one.
#pragma once

#include <cmath>

#include "coefficients.h"

namespace quorix::exact {

// a + b = sum + error exactly (Knuth's TwoSum, any order of magnitudes).
struct Sum2 {
  double sum;
  double error;
};
inline Sum2 TwoSum(double a, double b) {
  const double s = a + b;
  const double bb = s - a;
  const double err = (a - (s - bb)) + (b - bb);
  return {s, err};
}

// a · b = product + error exactly, unless the product over- or underflows.
// The explicit fma is exact by definition; contraction elsewhere stays off.
inline Sum2 TwoProduct(double a, double b) {
  const double p = a * b;
  return {p, std::fma(a, b, -p)};
}

// An unevaluated sum hi + lo with |lo| ≤ ½ ulp(hi).
struct DoubleDouble {
  double hi = 0.0;
  double lo = 0.0;

  static DoubleDouble Difference(double a, double b) {
    const Sum2 s = TwoSum(a, -b);
    return Normalised(s.sum, s.error);
  }
  static DoubleDouble Normalised(double hi, double lo) {
    const double s = hi + lo;
    return {s, lo - (s - hi)};
  }
  double Value() const { return hi + lo; }
};

// x · y with x a double-double: the rounding of hi·y is kept, lo·y adds the
// rest; the relative error is a few units of 2⁻¹⁰⁶.
inline DoubleDouble Multiply(const DoubleDouble& x, double y) {
  const Sum2 p = TwoProduct(x.hi, y);
  return DoubleDouble::Normalised(p.sum, p.error + x.lo * y);
}

// x · y for two double-doubles (the product of the low parts is dropped).
inline DoubleDouble Multiply(const DoubleDouble& x, const DoubleDouble& y) {
  const Sum2 p = TwoProduct(x.hi, y.hi);
  return DoubleDouble::Normalised(p.sum, p.error + (x.hi * y.lo + x.lo * y.hi));
}

inline DoubleDouble Add(const DoubleDouble& x, const DoubleDouble& y) {
  const Sum2 s = TwoSum(x.hi, y.hi);
  return DoubleDouble::Normalised(s.sum, s.error + (x.lo + y.lo));
}

// a / y with y a double-double: one correction from the exact remainder.
inline DoubleDouble Divide(double a, const DoubleDouble& y) {
  const double q = a / y.hi;
  const Sum2 p = TwoProduct(q, y.hi);
  const double remainder = ((a - p.sum) - p.error) - q * y.lo;
  return DoubleDouble::Normalised(q, remainder / y.hi);
}

// Σ c_k·tᵏ for a table of coefficients c_k = c[k][0] + c[k][1]. The terms
// from `exactTerms` on, whose sum is small beside the first, are summed in
// doubles with t's leading part; the rest is Horner's scheme in
// double-double.
template <int N>
DoubleDouble Polynomial(const double (&c)[N][2], int exactTerms, const DoubleDouble& t) {
  double tail = 0.0;
  for (int k = N - 1; k >= exactTerms; --k) tail = c[k][0] + t.hi * tail;
  DoubleDouble sum{tail, 0.0};
  for (int k = exactTerms - 1; k >= 0; --k) sum = Add({c[k][0], c[k][1]}, Multiply(sum, t));
  return sum;
}

inline DoubleDouble Negated(const DoubleDouble& x) { return {-x.hi, -x.lo}; }

// e·ln 2 for an integer |e| < 2¹¹ to 2⁻¹⁰⁶ relative: e·kLn2Hi and the
// product with the second part are exact, the third part is the rest.
inline DoubleDouble TimesLn2(double e) {
  const Sum2 second = TwoProduct(e, kLn2Lo);
  return Add(DoubleDouble::Normalised(e * kLn2Hi, second.sum), {second.error + e * kLn2Lo2, 0.0});
}

// x = m·2^e with m in [√½, √2), and z = (m − 1)/(m + 1), |z| < 0.172, so
// that ln x = e·ln 2 + 2·artanh(z).
struct LogReduction {
  DoubleDouble z;
  int e;
};
inline LogReduction ReduceForLog(double x) {
  int e = 0;
  double m = std::frexp(x, &e);
  if (m < 0.70710678118654752) {
    m *= 2.0;
    --e;
  }
  const double numerator = m - 1.0;  // exact
  const Sum2 denominator = TwoSum(m, 1.0);
  return {Divide(numerator, {denominator.sum, denominator.error}), e};
}

// ln x for a finite x > 0, to a few units of 2⁻¹⁰⁴ relative:
// x = m·2^e with m in [√½, √2), ln m = 2·artanh(z), z = (m − 1)/(m + 1),
// |z| < 0.172. Twenty terms of artanh(z)/z = Σ z²ᵏ/(2k + 1) reach 2⁻¹⁰⁴ at
// the largest |z|; those from z²⁰ on are below 2⁻⁵¹ of the sum and are
// summed in doubles.
inline DoubleDouble Log(double x) {
  const auto [z, e] = ReduceForLog(x);
  const DoubleDouble series = Polynomial(kArtanhSeries, 10, Multiply(z, z));
  const DoubleDouble logM = Multiply(Multiply(z, series), 2.0);
  if (e == 0) return logM;
  return Add(TimesLn2(static_cast<double>(e)), logM);
}

// ln x for a finite x > 0 to about 10⁻¹⁸ relative, four times cheaper than
// Log: the same reduction, but only 2z in double-double; the rest of the
// series, 2z³·(1/3 + z²/5 + … + z²⁰/23), below 1% of it, is summed in doubles
// (its rounding and the truncation after z²³ leave the 10⁻¹⁸), and e·ln 2
// is formed from two parts of ln 2. For a logarithm that meets a
// cancellation of a few bits, not for one whose error must stay below 2⁻¹⁰⁰.
inline DoubleDouble LogFast(double x) {
  const auto [z, e] = ReduceForLog(x);
  const double z2 = z.hi * z.hi;
  double tail = 1.0 / 23.0;
  for (int k = 10; k >= 1; --k) tail = 1.0 / (2 * k + 1) + z2 * tail;
  const DoubleDouble logM = DoubleDouble::Normalised(2.0 * z.hi, 2.0 * z.lo + 2.0 * z.hi * z2 * tail);
  const double exponent = e;
  return Add(DoubleDouble::Normalised(exponent * kLn2Hi, exponent * kLn2Lo), logM);
}

// x / d with x a double-double and d a double: one correction from the
// exact remainder.
inline DoubleDouble Divide(const DoubleDouble& x, double d) {
  const double q = x.hi / d;
  const Sum2 p = TwoProduct(q, d);
  const double remainder = ((x.hi - p.sum) - p.error) + x.lo;
  return DoubleDouble::Normalised(q, remainder / d);
}

// x / y for two double-doubles: the quotient of the leading parts, then one
// correction from the remainder x − q·y.
inline DoubleDouble Divide(const DoubleDouble& x, const DoubleDouble& y) {
  const double q = x.hi / y.hi;
  const DoubleDouble back = Multiply(y, q);
  const DoubleDouble rest = Add(x, {-back.hi, -back.lo});
  return DoubleDouble::Normalised(q, rest.hi / y.hi);
}

// ln x for a double-double x > 0: ln(hi) + ln(1 + lo/hi), and
// ln(1 + t) = t to 2⁻¹⁰⁶ at |t| ≤ 2⁻⁵³.
inline DoubleDouble Log(const DoubleDouble& x) { return Add(Log(x.hi), {x.lo / x.hi, 0.0}); }

// eˣ for a double-double x with |x| below about 700, to a few units of 2⁻¹⁰⁴
// relative: x = k·ln 2 + r with |r| ≤ ½·ln 2; e^r = (e^(r/2¹⁰))^(2¹⁰), the
// inner power by its Taylor series, whose tenth term is below 2⁻¹¹⁰ at
// |r/2¹⁰| < 3.4·10⁻⁴. The squarings carry eʳ − 1 rather than eʳ, so that
// the small part is not lost beside the 1: (1 + m)² − 1 = 2m + m².
inline DoubleDouble Exp(const DoubleDouble& x) {
  const double k = std::nearbyint(x.hi / 0.69314718055994531);
  const DoubleDouble r0 = Add(x, {-k * kLn2Hi, 0.0});  // k·kLn2Hi is exact for |k| < 2¹¹
  const Sum2 kLo = TwoProduct(k, kLn2Lo);
  DoubleDouble r = Add(r0, {-kLo.sum, -(kLo.error + k * kLn2Lo2)});
  r = {std::ldexp(r.hi, -10), std::ldexp(r.lo, -10)};
  DoubleDouble term = r;
  DoubleDouble m = r;
  for (int i = 2; i <= 10; ++i) {
    term = Divide(Multiply(term, r), static_cast<double>(i));
    m = Add(m, term);
  }
  for (int i = 0; i < 10; ++i) m = Add(Multiply(m, 2.0), Multiply(m, m));
  const DoubleDouble e = Add({1.0, 0.0}, m);
  const int scale = static_cast<int>(k);
  return {std::ldexp(e.hi, scale), std::ldexp(e.lo, scale)};
}

// xᵖ = e^(p·ln x) for a double-double x > 0.
inline DoubleDouble Power(const DoubleDouble& x, const DoubleDouble& p) { return Exp(Multiply(p, Log(x))); }

}  // namespace quorix::exact
