// Digamma, log-gamma and gamma of the accurate path. Log-gamma and gamma are
// built from exact operations and double-double arithmetic alone, no
// lgamma, tgamma, exp, log or sin of the C library, whose accuracy differs
// from one machine to the next: the same bits everywhere.
#include <array>
#include <cmath>

#include "accurate.h"
#include "coefficients.h"
#include "decimal.h"
#include "double_double.h"
#include "refuse.h"

namespace quorix::accurate {

namespace {

using exact::kDigammaChebyshev;
using exact::kDigammaChebyshevCount;

bool IsPole(double x) { return x <= 0.0 && x == std::nearbyint(x); }

void RequireNoPole(const char* function, double x) {
  RequireFinite("x", x);
  if (IsPole(x)) throw Refusal(std::string(function) + " has a pole at x = " + decimal::ShortestText(x));
}

// Q(x) = ψ(x)/(x − x0) on [1, 5/2] by Clenshaw's recurrence.
double DigammaQuotient(double x) {
  const double y = (2.0 * x - 3.5) / 1.5;
  const double y2 = 2.0 * y;
  double b1 = 0.0, b2 = 0.0;
  for (int k = kDigammaChebyshevCount - 1; k >= 1; --k) {
    const double b0 = kDigammaChebyshev[k] + y2 * b1 - b2;
    b2 = b1;
    b1 = b0;
  }
  return 0.5 * kDigammaChebyshev[0] + y * b1 - b2;
}

// ψ(x) ~ ln x − 1/(2x) − Σ_k B_2k/(2k·x^(2k)); eight terms leave less than
// 10⁻¹⁸ relative from x = 10 on.
double DigammaAsymptotic(double x) {
  constexpr std::array<double, 8> kBernoulliOverIndex = {1.0 / 12.0,  -1.0 / 120.0,     1.0 / 252.0, -1.0 / 240.0,
                                                         1.0 / 132.0, -691.0 / 32760.0, 1.0 / 12.0,  -3617.0 / 8160.0};
  const double z = 1.0 / (x * x);
  double series = kBernoulliOverIndex.back();
  for (int k = static_cast<int>(kBernoulliOverIndex.size()) - 2; k >= 0; --k)
    series = kBernoulliOverIndex[k] + z * series;
  return std::log(x) - (0.5 / x + z * series);
}

double DigammaPositive(double x) {
  if (x < 1.0) {
    // ψ(x) = ψ(x + 1) − 1/x, with (x + 1) − x0 formed as x − (x0 − 1) so that
    // the rounding of x + 1 reaches only the slowly varying quotient.
    const double offset = (x - exact::kDigammaZeroMinusOneHi) - exact::kDigammaZeroMinusOneLo;
    return offset * DigammaQuotient(x + 1.0) - 1.0 / x;
  }
  if (x <= 2.5) {
    // Relative accuracy right up to the zero: x − x0 is exact to the last
    // bit of x0's two parts.
    return ((x - exact::kDigammaZeroHi) - exact::kDigammaZeroLo) * DigammaQuotient(x);
  }
  if (x < 10.0) {
    // Down to y = x − m in (3/2, 5/2], where ψ(y) > 0: ψ(x) = ψ(y) + Σ 1/(x − j),
    // a sum of positive terms. x − j is exact for an integer j < x.
    const double m = std::ceil(x - 2.5);
    double sum = 0.0;
    for (double j = 1.0; j <= m; j += 1.0) sum += 1.0 / (x - j);
    const double y = x - m;
    return sum + ((y - exact::kDigammaZeroHi) - exact::kDigammaZeroLo) * DigammaQuotient(y);
  }
  return DigammaAsymptotic(x);
}

// --- log-gamma and gamma ---------------------------------------------------

using exact::Add;
using exact::Divide;
using exact::DoubleDouble;
using exact::Exp;
using exact::Log;
using exact::Multiply;
using exact::Negated;
using exact::Polynomial;
using exact::TwoProduct;

// Below 2⁻⁵⁴, ln|Γ(x)| = −ln|x| − γx + O(x²) and Γ(x) = 1/x − γ + O(x), the
// neglected terms below 2⁻¹⁰⁶ of the value.
constexpr double kTiny = 0x1p-54;

DoubleDouble Constant(double hi, double lo) { return {hi, lo}; }

// ln Γ(z) for z ≥ 16 by Stirling's series, written about (z − ½)(ln z − 1)
// instead of (z − ½)·ln z − z: the leading product then never exceeds the
// value, which keeps it finite wherever ln Γ is (up to z ≈ 2.5·10³⁰⁵).
DoubleDouble LogGammaStirling(const DoubleDouble& z) {
  const DoubleDouble shifted = Add(z, {-0.5, 0.0});
  const DoubleDouble logMinusOne = Add(Log(z), {-1.0, 0.0});
  if (std::isinf(shifted.hi * logMinusOne.hi)) return {INFINITY, 0.0};
  const DoubleDouble lead = Multiply(shifted, logMinusOne);
  // Σ_k c_k/z^(2k−1) = (1/z)·Σ_k c_k·t^(k−1), t = 1/z²: its fifth term is
  // 10⁻¹⁴ of the first at z = 16, so the doubles beyond it cost nothing.
  const DoubleDouble r = Divide(1.0, z);
  const DoubleDouble series = Multiply(Polynomial(exact::kStirling, 5, Multiply(r, r)), r);
  return Add(lead, Add(Constant(exact::kStirlingConstantHi, exact::kStirlingConstantLo), series));
}

// ln Γ(x) for x ≥ 2⁻⁵⁴ (LogAbsGamma takes the smaller ones) in
// double-double: an absolute error of about 10⁻³⁰ below x = 16 (a few units
// of 2⁻¹⁰⁴ relative above), and relative accuracy next to the zeros at 1
// and 2.
DoubleDouble LogGammaPositive(double x) {
  // Next to the zeros any difference of larger terms would leave an absolute
  // error, there a relative one of any size: ln Γ(1 + e) and ln Γ(2 + e) as
  // e·(Taylor series in e), with e = x − 1 or x − 2 exact (Sterbenz). The
  // first four terms carry all but 2⁻¹⁷ of the sum.
  if (std::fabs(x - 1.0) <= exact::kNearZeroRadius) {
    const double e = x - 1.0;
    return Multiply(Polynomial(exact::kLogGammaAtOne, 4, {e, 0.0}), e);
  }
  if (std::fabs(x - 2.0) <= exact::kNearZeroRadius) {
    const double e = x - 2.0;
    return Multiply(Polynomial(exact::kLogGammaAtTwo, 4, {e, 0.0}), e);
  }
  if (x >= exact::kStirlingFrom) return LogGammaStirling({x, 0.0});
  // ln Γ(x) = ln Γ(x + m) − ln(x·(x + 1)···(x + m − 1)) with x + m ≥ 16. Each
  // x + j is exact as a double-double (x ≥ 2⁻⁵⁴: its bits and j's span at
  // most 106), and the product stays below 16!·2⁴, far from overflow; one
  // logarithm of it instead of a sum of m.
  DoubleDouble z{x, 0.0};
  DoubleDouble product{1.0, 0.0};
  while (z.hi < exact::kStirlingFrom) {
    product = Multiply(product, z);
    z = Add(z, {1.0, 0.0});
  }
  return Add(LogGammaStirling(z), Negated(Log(product)));
}

// sin(πa) for 0 < a ≤ ½ in double-double, from the series of sin(πa)/a
// below ¼ and from cos(π(½ − a)) above, ½ − a exact: neither series is
// taken past ¼, and the value has its full relative accuracy also at
// a = ½ (where sin(π·a) by a rounded πa would not be exactly 1).
DoubleDouble SinPi(double a) {
  if (a <= 0.25) {
    const exact::Sum2 square = TwoProduct(a, a);
    return Multiply(Polynomial(exact::kSinPi, 8, {square.sum, square.error}), a);
  }
  const double b = 0.5 - a;
  const exact::Sum2 square = TwoProduct(b, b);
  return Polynomial(exact::kCosPi, 9, {square.sum, square.error});
}

struct SignedLog {
  DoubleDouble logAbs;  // ln|Γ(x)|
  bool negative;        // Γ(x) < 0
};

// ln|Γ(x)| and the sign of Γ(x) for a finite x that is not a pole.
SignedLog LogAbsGamma(double x) {
  if (std::fabs(x) < kTiny) {
    // ln|Γ(x)| = −ln|x| − γx for either sign: Γ(x) ≈ (1/x)(1 − γx).
    const DoubleDouble eulerX = Multiply(Constant(exact::kEulerHi, exact::kEulerLo), x);
    return {Add(Negated(Log(std::fabs(x))), Negated(eulerX)), x < 0.0};
  }
  if (x > 0.0) return {LogGammaPositive(x), false};
  const double m = std::nearbyint(x);
  const double r = x - m;
  // Γ(x) has the sign of sin(πx) = (−1)^m·sin(πr); m/2 is exact for every
  // |m| < 2⁵³.
  const bool negative = (m / 2.0 != std::nearbyint(m / 2.0)) != (r < 0.0);
  // Next to the zeros of ln|Γ| below −2 the reflection's terms, of order 1,
  // cancel: within the window where |ln|Γ|| < 2⁻²⁴, its Taylor series about
  // the zero, in d = x − x0. x − x0's first part is exact (Sterbenz), and
  // x0 has a third part: at the double nearest x0, d may be far below an ulp
  // of x0, and an error of 2⁻¹⁰⁶·|x0| in x0 would be a large part of it.
  if (x > exact::kNegativeZero[exact::kNegativeZeroCount - 1][0] - 1.0) {  // the table runs downwards
    for (int i = 0; i < exact::kNegativeZeroCount; ++i) {
      const double* x0 = exact::kNegativeZero[i];
      const double near = x - x0[0];
      if (std::fabs(near) > exact::kNegativeZeroWindow[i]) continue;
      const exact::Sum2 d = exact::TwoSum(near, -x0[1]);
      const DoubleDouble dd = DoubleDouble::Normalised(d.sum, d.error - x0[2]);
      return {Multiply(Polynomial(exact::kNegativeZeroTaylor[i], 1, dd), dd), negative};
    }
  }
  // Reflection: Γ(x)·Γ(1 − x) = π/sin(πx) and Γ(1 − x) = −x·Γ(−x), so
  // |Γ(x)| = π/(|x|·|sin(πx)|·Γ(−x)), with −x exact where 1 − x is not.
  // sin(πx) = (−1)^m·sin(πr) for the exact remainder r = x − m, m = round(x):
  // no rounded πx, whose error grows with x.
  const DoubleDouble sine = SinPi(std::fabs(r));
  const DoubleDouble logDenominator = Log(Multiply(sine, -x));
  const DoubleDouble logAbs = Add(Add(Constant(exact::kLogPiHi, exact::kLogPiLo), Negated(logDenominator)),
                                  Negated(LogGammaPositive(-x)));
  return {logAbs, negative};
}

}  // namespace

double Digamma(double x) {
  RequireNoPole("digamma", x);
  if (x > 0.0) return DigammaPositive(x);
  // Reflection: ψ(x) = ψ(1 − x) − π·cot(πx); cot(πx) = cot(πr) for the exact
  // remainder r = x − round(x) in [−½, ½]. For |r| > ¼ the cotangent is
  // taken as tan(π(½ − |r|)), with ½ − |r| exact, so that it vanishes at the
  // half-integers instead of leaving the rounding of π/2.
  const double r = x - std::nearbyint(x);
  const double a = std::fabs(r);
  double cot = a <= 0.25 ? 1.0 / std::tan(exact::kPiHi * a) : std::tan(exact::kPiHi * (0.5 - a));
  if (r < 0.0) cot = -cot;
  return DigammaPositive(1.0 - x) - exact::kPiHi * cot;
}

double LogGamma(double x) {
  RequireNoPole("loggamma", x);
  return LogAbsGamma(x).logAbs.Value();
}

double Gamma(double x) {
  RequireNoPole("gamma", x);
  // Γ(x) > DBL_MAX from x ≈ 171.6244 on.
  if (x > 172.0) return INFINITY;
  if (std::fabs(x) < kTiny) {
    // Γ(x) = 1/x − γ + O(x): the O(x) term is far below an ulp of 1/x ≥ 2⁵⁴,
    // γ is not (it decides the rounding next to a midpoint). 1/x overflows
    // for the smallest x, as Γ(x) does.
    const double reciprocal = 1.0 / x;
    if (!std::isfinite(reciprocal)) return reciprocal;
    const DoubleDouble q = Divide(1.0, DoubleDouble{x, 0.0});
    return q.hi + (q.lo - exact::kEulerHi);
  }
  const SignedLog g = LogAbsGamma(x);
  // Below e⁻¹⁰⁸⁰ even the smallest subnormal is out of reach.
  if (g.logAbs.hi < -1080.0) return g.negative ? -0.0 : 0.0;
  const double magnitude = Exp(g.logAbs).Value();
  return g.negative ? -magnitude : magnitude;
}

}  // namespace quorix::accurate
