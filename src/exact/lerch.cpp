#include "lerch.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>

#include "coefficients.h"
#include "double_double.h"
#include "step_counter.h"

namespace quorix::exact {

namespace {

// A term below this fraction of the sum no longer changes the double.
constexpr double kNegligible = 0x1p-56;

// Above this B the expansion about t = 1 in powers of s needs too many terms
// before its two parts stop cancelling; the expansion in 1/B takes over.
constexpr double kLargeParameter = 7.0;

// Terms kept of the logarithmic expansion: enough for s ≤ 1/2 when B ≤ 3/2,
// and for s ≤ 0.5/B above.
constexpr int kLogTerms = 64;
constexpr int kLogTermsLargeB = 40;

// Region boundaries (see lerch.h).
constexpr double kSeriesUpper = 0.5;
constexpr double kSeriesLower = -0.25;

// 1/(j + 1), for the coefficient recurrences (a table instead of divisions).
constexpr std::array<double, kLogTerms + 1> kInverseCounts = [] {
  std::array<double, kLogTerms + 1> inverse{};
  for (std::size_t j = 0; j < inverse.size(); ++j) inverse[j] = 1.0 / static_cast<double>(j + 1);
  return inverse;
}();

// The increments of d_0 that are summed in double-double; the later ones
// add up to about (B − 1)/16, where the rounding of a double is negligible.
constexpr int kDoubleDoubleIncrements = 16;

// Number of terms of a series whose terms shrink at least like qᵏ so that
// the tail stays below kNegligible·(1 − q) of the first term.
int TermsFor(double q) {
  if (q < 0x1p-60) return 1;
  return static_cast<int>(std::ceil(std::log(kNegligible * (1.0 - q)) / std::log(q))) + 1;
}

// Σ_{k=0}^{last} c_k·xᵏ by Horner's scheme in x² over the even and the odd
// coefficients at once: two independent dependency chains instead of one.
double Polynomial(const double* c, int last, double x) {
  const double x2 = x * x;
  double even = 0.0, odd = 0.0;
  int k = last;
  if (k % 2 == 0) even = c[k--];
  for (; k >= 1; k -= 2) {
    steps::Count();
    odd = c[k] + x2 * odd;
    even = c[k - 1] + x2 * even;
  }
  return even + x * odd;
}

// πε − sin(πε) = Σ_{k≥1} (−1)^(k+1)·y^(2k+1)/(2k+1)!, y = πε, |ε| ≤ ½: a
// series with no cancellation to speak of, where the difference itself
// would lose everything for small ε.
double PiEpsilonMinusSine(double y) {
  const double y2 = y * y;
  double term = y * y2 / 6.0;
  double sum = term;
  for (int k = 2; k < 14; ++k) {
    term *= -y2 / ((2.0 * k) * (2.0 * k + 1.0));
    sum += term;
    if (std::fabs(term) <= kNegligible * std::fabs(sum)) break;
  }
  return sum;
}

// π/sin(πε) − 1/ε, the regular part of π/sin(πε) at ε = 0 (|ε| ≤ ½).
double RegularCosecant(double eps) {
  if (eps == 0.0) return 0.0;
  const double y = kPiHi * eps;
  return PiEpsilonMinusSine(y) / (eps * std::sin(y));
}

// Ein(x) = Σ_{k≥1} (−1)^(k+1)·xᵏ/(k·k!) = E₁(x) + γ + ln x, entire; x ≤ 1.
double Ein(double x) {
  double power = x;  // (−1)^(k+1) xᵏ/k!
  double sum = x;
  for (int k = 2; k < 30; ++k) {
    power *= -x / k;
    const double term = power / k;
    sum += term;
    if (std::fabs(term) <= kNegligible * std::fabs(sum)) break;
  }
  return sum;
}

}  // namespace

double ScaledExponentialIntegral(double x) {
  // A NaN argument (from parameters beyond the reach of the series) stays
  // NaN, and never becomes a depth of the continued fraction below.
  if (std::isnan(x)) return x;
  if (x <= 0.6) {
    // E₁ = −γ − ln x + Ein(x); up to x = 0.6 the parts cancel by less than a
    // factor of 2.
    const double e1 = ((-kEulerHi - std::log(x)) - kEulerLo) + Ein(x);
    return std::exp(x) * e1;
  }
  // e^x·E₁(x) = 1/(x + 1 − 1²/(x + 3 − 2²/(x + 5 − …))), evaluated from the
  // tail upwards, which keeps it within an ulp or so; the depth that
  // converges to a double grows like 1/x (about 120/x, with a margin).
  const int depth = static_cast<int>(std::ceil(140.0 / x)) + 10;
  double f = x + 2.0 * depth + 1.0;
  for (int k = depth - 1; k >= 0; --k) {
    const double next = k + 1.0;
    f = (x + 2.0 * k + 1.0) - next * next / f;
  }
  return 1.0 / f;
}

LerchFamily::LerchFamily(double b) : b_(b) {
  // The two parts of the logarithmic expansion have the same sign for B ≤ 1
  // and cancel for B > 1 once s·B grows; up to s = 1/2 for B ≤ 3/2 and up to
  // s = 0.5/B above they cancel so little that the expansion stays within
  // about two ulps. Above that the power series, which stays within a few
  // ulps even over a thousand terms.
  logLimit_ = b <= 1.5 ? 0.5 : 0.5 / b;
  // Pfaff's series is well conditioned for B > 1 however close τ comes to 1
  // (its sum stays finite there); for B ≤ 1 it grows like (1 − τ)^(B−1) and
  // the rounding of τ is amplified, while the expansion in 1/T, whose terms
  // alternate, cancels by less than a factor of 2 from T = 3 on. For B > 1 the
  // pole term of that expansion cancels against the series up to T ≈ 10.
  pfaffLimit_ = b <= 1.0 ? 3.0 : 16.0;
}

int LerchFamily::LogTermCount() const { return b_ <= 1.5 ? kLogTerms : kLogTermsLargeB; }

void LerchFamily::EnsureReciprocals(std::size_t count) const {
  if (count <= reciprocals_.size()) return;
  reciprocals_.reserve(std::max<std::size_t>(count, 2 * kLogTerms));
  for (std::size_t k = reciprocals_.size(); k < count; ++k) {
    steps::Count();
    reciprocals_.push_back(1.0 / (static_cast<double>(k) + b_));
  }
}

// Φ_B(t) = −t^(−B)·ln s + Σ_j e_j·sʲ with e_j = (B)_j/j!·(ψ(j + 1) − ψ(j + B))
// (the case c = a + b of the transformation to 1 − t, with a = 1). The
// differences d_j = ψ(j + 1) − ψ(j + B) are summed from the top down,
//   d_j = d_{j+1} + (1 − B)/((j + 1)(j + B)),
// so every step adds a term of the sign of d_j and none cancels; d at the top
// comes from the asymptotic expansion of ψ, written so that every term
// carries the factor 1 − B explicitly.
void LerchFamily::EnsureLogCoefficients() const {
  if (!logCoefficients_.empty()) return;
  // Always the same length for a given B, so that a value never depends on
  // which arguments were asked for before.
  const int count = LogTermCount();
  EnsureReciprocals(count);
  const double delta = 1.0 - b_;  // exact for B ≥ 1/2 (the increments of d_0 need it when B > 1)
  // ψ(a) − ψ(c) at a = J + 1, c = J + B, from ψ(y) ~ ln y − 1/(2y) − Σ_k B_2k/(2k·y^(2k)):
  //   ln(a/c) + (a − c)/(2ac) + Σ_k B_2k/(2k)·(c^(−2k) − a^(−2k)),
  // with c^(−2k) − a^(−2k) = (a − c)·Σ_{i<2k} a^i·c^(2k−1−i) / (ac)^(2k).
  constexpr std::array<double, 4> kBernoulliOverIndex = {1.0 / 12.0, -1.0 / 120.0, 1.0 / 252.0, -1.0 / 240.0};
  const double a = count + 1.0;
  const double c = count + b_;
  double d = std::log1p(delta / c) + delta / (2.0 * a * c);
  const double ac = a * c;
  double acPower = 1.0;
  std::array<double, 8> aPowers{}, cPowers{};
  aPowers[0] = cPowers[0] = 1.0;
  for (std::size_t i = 1; i < aPowers.size(); ++i) {
    aPowers[i] = aPowers[i - 1] * a;
    cPowers[i] = cPowers[i - 1] * c;
  }
  for (std::size_t k = 1; k <= kBernoulliOverIndex.size(); ++k) {
    acPower *= ac * ac;
    double sum = 0.0;
    for (std::size_t i = 0; i < 2 * k; ++i) sum += aPowers[i] * cPowers[2 * k - 1 - i];
    d += kBernoulliOverIndex[k - 1] * delta * sum / acPower;
  }
  // d_j = d_{j+1} + (1 − B)/((j + 1)(j + B)), downwards. For B > 1 the
  // constant d_0 = ψ(1) − ψ(B) is what −ln s cancels against, so its first
  // increments are also summed in double-double.
  const bool twoDoubles = b_ > 1.0;
  std::vector<double> diffs(count);
  DoubleDouble d0{};
  for (int j = count - 1; j >= 0; --j) {
    d += delta * reciprocals_[j] * kInverseCounts[j];
    diffs[j] = d;
    if (twoDoubles && j == kDoubleDoubleIncrements) d0 = {d, 0.0};
    if (twoDoubles && j < kDoubleDoubleIncrements) {
      const Sum2 shifted = TwoSum(static_cast<double>(j), b_);  // j + B
      const DoubleDouble denominator = Multiply({shifted.sum, shifted.error}, j + 1.0);
      d0 = Add(d0, Divide(delta, denominator));
    }
  }
  if (twoDoubles) {
    diffs[0] = d0.hi;
    d0Lo_ = d0.lo;
  }
  logCoefficients_.resize(count);
  double coefficient = 1.0;  // (B)_j / j!
  for (int j = 0; j < count; ++j) {
    logCoefficients_[j] = coefficient * diffs[j];
    coefficient *= (b_ + j) * kInverseCounts[j];
  }
}

double LerchFamily::PowerSeries(double t) const {
  const int last = TermsFor(std::fabs(t));
  EnsureReciprocals(static_cast<std::size_t>(last) + 1);
  return Polynomial(reciprocals_.data(), last, t);
}

double LerchFamily::NearOne(double s, bool wantSplit, LerchParts& parts) const {
  EnsureLogCoefficients();
  const double* e = logCoefficients_.data();
  int terms = static_cast<int>(std::ceil(56.0 * 0.6931471805599453 / -std::log(s))) + 2 * static_cast<int>(b_) + 4;
  terms = std::min(terms, LogTermCount());
  const double higher = s * Polynomial(e + 1, terms - 2, s);  // Σ_{j≥1} e_j·sʲ
  const double logT = std::log1p(-s);
  if (wantSplit) {
    parts.split = true;
    parts.remainder = e[0] + higher;
  }
  if (b_ <= 1.0) {
    // All parts positive.
    return -std::exp(-b_ * logT) * std::log(s) + (e[0] + higher);
  }
  // For B > 1, e_0 = ψ(1) − ψ(B) < 0 cancels against −ln s: that pair is
  // formed in double-double, the rest, −(t^(−B) − 1)·ln s + Σ_{j≥1} e_j·sʲ,
  // is a correction of order s·ln s.
  const DoubleDouble logS = LogFast(s);
  const DoubleDouble lead = Add({e[0], d0Lo_}, {-logS.hi, -logS.lo});
  return lead.Value() + (-std::expm1(-b_ * logT) * logS.hi + higher);
}

// Φ_B(t) = ∫₀^∞ e^(−Bv) / (1 − e^(−(v + h))) dv with h = −ln t. The kernel is
// 1/x + ½ + Σ_k B_2k·x^(2k−1)/(2k)! in x = v + h (radius 2π); the pole term
// gives e^(Bh)·E₁(Bh) exactly and each power gives
//   M_m = ∫₀^∞ e^(−Bv)(v + h)^m dv = (h^m + m·M_{m−1})/B,
// an expansion in 1/B whose smallest term is about e^(−2πB): below 10⁻¹⁷ of
// the value from B = 7 on, for every h.
double LerchFamily::LargeParameterNearOne(double s, bool wantSplit, LerchParts& parts) const {
  const double h = -std::log1p(-s);
  const double x = b_ * h;
  double corrections = 0.5 / b_;
  double moment = 1.0 / b_;  // M_0
  double hPower = 1.0;
  for (int k = 1; k <= kBernoulliOverFactorialCount; ++k) {
    const int m = 2 * k - 1;
    hPower *= h;
    moment = (hPower + m * moment) / b_;  // M_{2k−1}
    const double term = kBernoulliOverFactorial[k - 1] * moment;
    corrections += term;
    if (std::fabs(term) <= kNegligible * corrections) break;
    hPower *= h;
    moment = (hPower + (m + 1) * moment) / b_;  // M_{2k}
  }
  if (wantSplit && x <= 1.0) {
    // e^x·E₁(x) = e^x·(−γ − ln B − ln h + Ein(x)); with t^(−B) = e^x and
    // ln h = ln s + ln(h/s) the logarithmic part −t^(−B)·ln s separates.
    parts.split = true;
    parts.remainder = std::exp(x) * (((-kEulerHi - std::log(b_)) - kEulerLo) - std::log(h / s) + Ein(x)) + corrections;
  }
  return ScaledExponentialIntegral(x) + corrections;
}

// Pfaff: F(1, B; 1 + B; t) = (1 − t)^(−1)·F(1, 1; 1 + B; τ), τ = t/(t − 1), so
//   Φ_B(t) = Ψ(τ) / (B·s),  Ψ(τ) = Σ_k τᵏ·k!/(1 + B)_k,
// whose terms are positive and shrink at least like τᵏ.
double LerchFamily::Pfaff(double bigT, double s) const {
  const double tau = bigT / s;
  const int last = TermsFor(tau);
  if (pfaffCoefficients_.size() <= static_cast<std::size_t>(last)) {
    EnsureReciprocals(static_cast<std::size_t>(last) + 1);
    if (pfaffCoefficients_.empty()) {
      pfaffCoefficients_.reserve(std::max(last + 1, kLogTerms));
      pfaffCoefficients_.push_back(1.0);
    }
    for (std::size_t k = pfaffCoefficients_.size(); k <= static_cast<std::size_t>(last); ++k) {
      steps::Count();
      pfaffCoefficients_.push_back(pfaffCoefficients_.back() * (static_cast<double>(k) * reciprocals_[k]));
    }
  }
  return Polynomial(pfaffCoefficients_.data(), last, tau) / (b_ * s);
}

// For T = −t > 1 the integral splits at u = 1/T into
//   Φ_B(−T) = T^(−B)·π/sin(πB) + Σ_{k≥0} (−1)^k·T^(−k−1)/(B − 1 − k).
// At an integer B = m the first term has a pole that the term k = m − 1
// cancels; with B = m + ε both are taken together as
//   (−1)^m·[T^(−B)·(π/sin(πε) − 1/ε) + (T^(−B) − T^(−m))/ε],
// each part regular at ε = 0 (the second tends to −T^(−m)·ln T).
double LerchFamily::Inverse(double bigT) const {
  const double m = std::nearbyint(b_);
  const double eps = b_ - m;
  const double logT = std::log(bigT);
  double pole = 0.0;
  if (m == 0.0) {
    pole = std::pow(bigT, -b_) * (kPiHi / std::sin(kPiHi * b_));
  } else {
    const double powM = std::pow(bigT, -m);
    double divided = 0.0;
    if (eps == 0.0) {
      divided = -logT * powM;
    } else if (std::fabs(eps * logT) <= 1.0) {
      divided = powM * (std::expm1(-eps * logT) / eps);
    } else {
      divided = (std::pow(bigT, -b_) - powM) / eps;
    }
    pole = std::pow(bigT, -b_) * RegularCosecant(eps) + divided;
    if (std::fmod(m, 2.0) != 0.0) pole = -pole;
  }
  const int terms = static_cast<int>(std::ceil((56.0 * 0.6931471805599453 + std::log(2.0 + b_)) / logT)) + 1;
  const double inverseT = 1.0 / bigT;
  double power = inverseT;  // T^(−k−1)
  double sum = 0.0;
  for (int k = 0; k < terms; ++k) {
    steps::Count();
    if (static_cast<double>(k) != m - 1.0) {
      const double term = power / ((b_ - 1.0) - k);
      sum += (k % 2 == 0) ? term : -term;
    }
    power *= inverseT;
  }
  return pole + sum;
}

LerchParts LerchFamily::Parts(double t, double s, bool wantSplit) const {
  LerchParts parts;
  if (t >= kSeriesLower && t <= kSeriesUpper) {
    parts.value = PowerSeries(t);
  } else if (t > kSeriesUpper) {
    if (b_ >= kLargeParameter) {
      parts.value = LargeParameterNearOne(s, wantSplit, parts);
    } else if (s <= logLimit_) {
      parts.value = NearOne(s, wantSplit, parts);
    } else {
      parts.value = PowerSeries(t);
    }
  } else if (-t <= pfaffLimit_) {
    parts.value = Pfaff(-t, s);
  } else {
    parts.value = Inverse(-t);
  }
  return parts;
}

namespace {

struct FamilyCache {
  static constexpr std::size_t kSlots = 8;
  std::array<std::shared_ptr<const LerchFamily>, kSlots> slots;
  std::size_t next = 0;
  std::uint64_t forgotten = 0;
};

FamilyCache& ThisThreadsFamilies() {
  thread_local FamilyCache cache;
  return cache;
}

}  // namespace

std::shared_ptr<const LerchFamily> Family(double b) {
  FamilyCache& cache = ThisThreadsFamilies();
  for (const auto& slot : cache.slots) {
    if (slot && slot->B() == b) return slot;
  }
  auto& slot = cache.slots[cache.next];
  cache.next = (cache.next + 1) % FamilyCache::kSlots;
  slot = std::make_shared<const LerchFamily>(b);
  return slot;
}

void ForgetFamilies() {
  FamilyCache& cache = ThisThreadsFamilies();
  for (auto& slot : cache.slots) slot.reset();
  cache.next = 0;
  ++cache.forgotten;
}

std::uint64_t FamiliesForgotten() { return ThisThreadsFamilies().forgotten; }

}  // namespace quorix::exact
