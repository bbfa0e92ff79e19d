// Digamma, log-gamma and gamma of the accurate path.
#include <math.h>  // lgamma_r

#include <array>
#include <cmath>
#include <mutex>

#include "accurate.h"
#include "coefficients.h"
#include "domain.h"

namespace quorix::accurate {

namespace {

using detail::kDigammaChebyshev;
using detail::kDigammaChebyshevCount;

bool IsPole(double x) { return x <= 0.0 && x == std::nearbyint(x); }

void RequireNoPole(const char* function, double x) {
  detail::RequireFinite("x", x);
  if (IsPole(x)) throw DomainError(std::string(function) + " has a pole at x = " + detail::NumberText(x));
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
    const double offset = (x - detail::kDigammaZeroMinusOneHi) - detail::kDigammaZeroMinusOneLo;
    return offset * DigammaQuotient(x + 1.0) - 1.0 / x;
  }
  if (x <= 2.5) {
    // Relative accuracy right up to the zero: x − x0 is exact to the last
    // bit of x0's two parts.
    return ((x - detail::kDigammaZeroHi) - detail::kDigammaZeroLo) * DigammaQuotient(x);
  }
  if (x < 10.0) {
    // Down to y = x − m in (3/2, 5/2], where ψ(y) > 0: ψ(x) = ψ(y) + Σ 1/(x − j),
    // a sum of positive terms. x − j is exact for an integer j < x.
    const double m = std::ceil(x - 2.5);
    double sum = 0.0;
    for (double j = 1.0; j <= m; j += 1.0) sum += 1.0 / (x - j);
    const double y = x - m;
    return sum + ((y - detail::kDigammaZeroHi) - detail::kDigammaZeroLo) * DigammaQuotient(y);
  }
  return DigammaAsymptotic(x);
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
  double cot = a <= 0.25 ? 1.0 / std::tan(detail::kPiHi * a) : std::tan(detail::kPiHi * (0.5 - a));
  if (r < 0.0) cot = -cot;
  return DigammaPositive(1.0 - x) - detail::kPiHi * cot;
}

double LogGamma(double x) {
  RequireNoPole("loggamma", x);
#ifdef _WIN32
  // Windows' C library has no reentrant form: lgamma writes the sign to the
  // global signgam, so calls from several threads take turns.
  static std::mutex signgamInUse;
  const std::lock_guard lock(signgamInUse);
  return std::lgamma(x);
#else
  int sign = 0;
  return ::lgamma_r(x, &sign);  // the reentrant form: no write to signgam
#endif
}

double Gamma(double x) {
  RequireNoPole("gamma", x);
  return std::tgamma(x);
}

}  // namespace quorix::accurate
