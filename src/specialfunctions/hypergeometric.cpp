// The Gauss hypergeometric evaluator F(a, b; c; z), z < 1.
//
// Regions, chosen by z:
//   A   |z| ≤ 1/2        the series itself;
//   B   1/2 < z < 1      the linear transformation to 1 − z (A&S 15.3.6), or
//                        its logarithmic forms when c − a − b is within 1e-6
//                        of an integer m: 15.3.10 for m = 0, 15.3.11 and
//                        15.3.12 for m > 0 and m < 0;
//   D   z < −1/2         Pfaff (15.3.4) and one call of region A or B.
//
// Faults of this file's own arithmetic are not trapped: each statement is
// stored first and then checked, and a fault throws FloatingPointFault. The
// functions it calls trap their own faults and report status 0.
#include <cstdlib>

#include "ieee.h"
#include "specialfunctions.h"
#include "step_counter.h"

namespace quorix {

using ieee::FaultScope;
using ieee::Real;

namespace {

constexpr double kIntegerTolerance = 0.000001;
constexpr int kMaxLogTerms = 1000;
// The closed forms for c = a + b ± m carry (|m| − 1)! and |m|!, which
// overflow beyond 170; such cases are refused with status 0.
constexpr double kMaxIntegerGap = 170.0;

void ThrowIfRaised(const FaultScope& scope) {
  if (scope.Raised()) throw FloatingPointFault();
}

// ψ for the logarithmic forms. The negative half-integers have no table
// entry, so they come from the series; at a pole the caller's previous value
// stands, and the gamma factors fail the call anyway.
void Psi(Real x, double& value) {
  if (Digamma(x.value(), value) == 0) DigammaSeries(x.value(), value);
}

// ψ(j + offset) in a loop over j; the same value as Psi(j + offset).
void PsiAtStep(Real offset, int j, double& value) {
  if (DigammaAtStep(offset.value(), j, value) == 0) DigammaSeries(static_cast<double>(j) + offset.value(), value);
}

// A gamma factor used as a divisor: status 0, or a value of exactly 0.
bool DivisorGamma(Real x, double& value) { return GammaFunction(x.value(), value) != 0 && value != 0.0; }

// Region B2, A&S 15.3.6.
std::int32_t TransformToOneMinusZ(Real a, Real b, Real c, Real z, double& result) {
  FaultScope scope;
  const Real cMinusA = c - a;
  const Real cMinusB = c - b;
  const Real cab = (c - a) - b;
  const Real abc = (a + b) - c;
  ThrowIfRaised(scope);

  double ga = 0, gb = 0, gc = 0, gca = 0, gcb = 0, gcab = 0, gabc = 0;
  if (!DivisorGamma(a, ga)) return 0;
  if (!DivisorGamma(b, gb)) return 0;
  if (GammaFunction(c.value(), gc) == 0) return 0;
  if (!DivisorGamma(cMinusA, gca)) return 0;
  if (!DivisorGamma(cMinusB, gcb)) return 0;
  if (GammaFunction(cab.value(), gcab) == 0) return 0;
  if (GammaFunction(abc.value(), gabc) == 0) return 0;

  const Real oneMinusZ = 1.0 - z;
  const Real c1 = abc + 1.0;
  const Real c2 = cab + 1.0;
  ThrowIfRaised(scope);
  double f1 = 0, f2 = 0;
  if (HypergeometricSeries(a.value(), b.value(), c1.value(), oneMinusZ.value(), f1) == 0) return 0;
  if (HypergeometricSeries(cMinusA.value(), cMinusB.value(), c2.value(), oneMinusZ.value(), f2) == 0) return 0;

  const Real p = pow(oneMinusZ, cab);
  ThrowIfRaised(scope);
  // Both products are checked: an overflow inside the second one would
  // otherwise reach the sum as an infinite operand and pass unnoticed.
  result = (((((p * gc) * gabc) * f2) / ga) / gb + ((((Real(gcab) * gc) * f1) / gca) / gcb)).value();
  ThrowIfRaised(scope);
  return 1;
}

// Region B1, A&S 15.3.10: F(a, b; a + b; z); c is not used.
std::int32_t LogarithmicForm(Real a, Real b, Real z, double& result) {
  FaultScope scope;
  double psi1 = 0, psiA = 0, psiB = 0;
  Psi(1.0, psi1);
  PsiAtStep(a, 0, psiA);
  PsiAtStep(b, 0, psiB);
  const Real logOneMinusZ = log(1.0 - z);
  Real sum = 2.0 * psi1 - psiA - psiB - logOneMinusZ;  // the term of index 0
  Real coef = 1.0;
  ThrowIfRaised(scope);

  Real next = sum;
  bool converged = false;
  for (int j = 1; j <= kMaxLogTerms; ++j) {
    steps::Count();
    const Real jj = static_cast<double>(j);
    const Real nextCoef = (((jj + a - 1.0) * coef) * (jj + b - 1.0)) / (jj * jj);
    Psi(jj + 1.0, psi1);
    PsiAtStep(a, j, psiA);
    PsiAtStep(b, j, psiB);
    const Real p = pow(1.0 - z, jj);  // a power on every step, not a running product
    next = p * ((2.0 * psi1 - psiA - psiB - logOneMinusZ) * nextCoef) + sum;
    ThrowIfRaised(scope);
    if (next == sum) {
      converged = true;
      break;
    }
    sum = next;
    coef = nextCoef;
  }

  double ga = 0, gb = 0, gab = 0;
  if (!DivisorGamma(a, ga)) return 0;
  if (!DivisorGamma(b, gb)) return 0;
  const Real ab = a + b;
  ThrowIfRaised(scope);
  if (GammaFunction(ab.value(), gab) == 0) return 0;
  result = (((next * gab) / gb) / ga).value();
  ThrowIfRaised(scope);
  return converged ? 1 : 0;
}

// Region B with c = a + b + m, m a non-zero integer: A&S 15.3.11 (m > 0) and
// 15.3.12 (m < 0), written with K = |m| and x = 1 − z as
//
//   F = G · Σ_{k<K} (a')_k (b')_k / (k! (1 − K)_k) · x^k
//     − (−1)^K · H · Σ_{k≥0} (p)_k (q)_k / (k! (k + K)!) · x^k
//                 · [ln x − ψ(k + 1) − ψ(k + K + 1) + ψ(p + k) + ψ(q + k)]
//
//   m > 0: a' = a, b' = b, p = a + K, q = b + K,
//          G = Γ(K) Γ(a + b + K) / (Γ(a + K) Γ(b + K)),
//          H = x^K Γ(a + b + K) / (Γ(a) Γ(b));
//   m < 0: a' = a − K, b' = b − K, p = a, q = b,
//          G = Γ(K) Γ(a + b − K) / (Γ(a) Γ(b)) · x^(−K),
//          H = Γ(a + b − K) / (Γ(a − K) Γ(b − K)).
//
// Like the m = 0 form it evaluates at c = a + b + m exactly. A 1/Γ at a pole
// is 0 (the m < 0 case meets Γ(a − K) at 0, −1, … for whole a and b).
// Γ(K) and the factorials are exact products of whole numbers.
//
// The steps of this form run in IntegerGapForm's FaultScope and open none of
// their own: a fault stays sticky from one step to the next until the form
// checks it, at the same points as when it was one function.
struct GapTerms {
  int gap = 0;         // K
  bool above = false;  // c = a + b + K
  Real bigK, x, logX, c, ap, bp, p, q;
};

// K, x = 1 − z, ln x, c and a', b', p, q, in that order.
GapTerms GapTermsOf(Real a, Real b, Real m, Real z) {
  GapTerms t;
  t.gap = static_cast<int>(std::fabs(m.value()));
  t.above = m > 0.0;
  t.bigK = static_cast<double>(t.gap);
  t.x = 1.0 - z;
  t.logX = log(t.x);
  t.c = (a + b) + m;
  t.ap = t.above ? a : a - t.bigK;
  t.bp = t.above ? b : b - t.bigK;
  t.p = t.above ? a + t.bigK : a;
  t.q = t.above ? b + t.bigK : b;
  return t;
}

// 1/Γ(v) into out, exactly 0 at a pole (v whole and not positive); false
// when Γ(v) fails or is 0 elsewhere.
bool ReciprocalGamma(Real v, Real& out) {
  if (v <= 0.0 && ieee::IsWhole(v)) {
    out = 0.0;
    return true;
  }
  double g = 0;
  if (!DivisorGamma(v, g)) return false;
  out = 1.0 / Real(g);
  return true;
}

// (K − 1)! = 1 · 2 · … · (K − 1), exact for K ≤ 170.
Real FactorialBelow(int gap) {
  Real factorial = 1.0;
  for (int k = 1; k < gap; ++k) {
    steps::Count();
    factorial = factorial * static_cast<double>(k);
  }
  return factorial;
}

// Σ_{k<K} (a')_k (b')_k / (k! (1 − K)_k) · x^k, each term from the one before.
// Not checked here: the form checks once the sum is complete.
Real FiniteSum(const GapTerms& t) {
  Real finite = 0.0;
  Real term = 1.0;
  for (int k = 0; k < t.gap; ++k) {
    steps::Count();
    const Real kk = static_cast<double>(k);
    finite = finite + term;
    if (k + 1 < t.gap) term = ((((t.ap + kk) * (t.bp + kk)) / ((kk + 1.0) * ((1.0 - t.bigK) + kk))) * term) * t.x;
  }
  return finite;
}

// Σ_{k≥0} (p)_k (q)_k / (k! (k + K)!) · x^k · [ln x − ψ(k + 1) − ψ(k + K + 1)
// + ψ(p + k) + ψ(q + k)], up to the first term after the leading one that
// leaves the sum unchanged (converged) or kMaxLogTerms + 1 terms. Checked
// after every term. A ψ at a pole keeps the value of the term before.
Real LogarithmicSum(const GapTerms& t, Real factorial, const FaultScope& scope, bool& converged) {
  Real coef = 1.0 / (factorial * t.bigK);  // 1 / K!
  double psi1 = 0, psiK = 0, psiP = 0, psiQ = 0;
  Real sum = 0.0;
  Real next = 0.0;
  for (int k = 0; k <= kMaxLogTerms; ++k) {
    steps::Count();
    const Real kk = static_cast<double>(k);
    Psi(kk + 1.0, psi1);
    Psi(kk + t.bigK + 1.0, psiK);
    PsiAtStep(t.p, k, psiP);
    PsiAtStep(t.q, k, psiQ);
    next = coef * (t.logX - psi1 - psiK + psiP + psiQ) + sum;
    coef = (((coef * (t.p + kk)) * (t.q + kk)) / ((kk + 1.0) * (kk + 1.0 + t.bigK))) * t.x;
    ThrowIfRaised(scope);
    if (next == sum && k > 0) {
      converged = true;
      break;
    }
    sum = next;
  }
  return next;
}

std::int32_t IntegerGapForm(Real a, Real b, Real m, Real z, double& result) {
  FaultScope scope;
  const GapTerms t = GapTermsOf(a, b, m, z);
  ThrowIfRaised(scope);

  double gc = 0;
  if (GammaFunction(t.c.value(), gc) == 0) return 0;
  // A whole non-positive a or b ends the series by itself: a polynomial.
  if ((a <= 0.0 && ieee::IsWhole(a)) || (b <= 0.0 && ieee::IsWhole(b))) {
    return HypergeometricSeries(a.value(), b.value(), t.c.value(), z.value(), result);
  }
  Real rA, rB, rAp, rBp;
  if (!ReciprocalGamma(a, rA) || !ReciprocalGamma(b, rB)) return 0;
  if (!ReciprocalGamma(t.above ? t.p : t.ap, rAp) || !ReciprocalGamma(t.above ? t.q : t.bp, rBp)) return 0;

  const Real factorial = FactorialBelow(t.gap);  // (K − 1)!
  const Real g = t.above ? ((factorial * gc) * rAp) * rBp : (((factorial * gc) * rA) * rB) / pow(t.x, t.bigK);
  const Real h = t.above ? ((pow(t.x, t.bigK) * gc) * rA) * rB : (gc * rAp) * rBp;
  const Real sign = t.gap % 2 == 0 ? -1.0 : 1.0;  // −(−1)^K
  const Real finite = FiniteSum(t);
  ThrowIfRaised(scope);

  bool converged = false;
  const Real next = LogarithmicSum(t, factorial, scope, converged);
  result = (g * finite + sign * h * next).value();
  ThrowIfRaised(scope);
  return converged ? 1 : 0;
}

// Region D, A&S 15.3.4: F(a, b; c; z) = (1 − z)^(−a) · F(a, c − b; c; z/(z − 1)).
std::int32_t Pfaff(Real a, Real b, Real c, Real z, double& result) {
  FaultScope scope;
  const Real w = z / (z - 1.0);
  const Real cMinusB = c - b;
  ThrowIfRaised(scope);
  // For z < −1/2, 1/3 < w < 1: the inner call never comes back here.
  const std::int32_t status = Hypergeometric2F1(a.value(), cMinusB.value(), c.value(), w.value(), result);
  // Scaled even when the inner call failed: the caller sees the scaled
  // partial value.
  result = (pow(1.0 - z, -a) * result).value();
  ThrowIfRaised(scope);
  return status;
}

}  // namespace

std::int32_t Hypergeometric2F1(double aArg, double bArg, double cArg, double zArg, double& result) {
  FaultScope scope;
  const Real a = aArg, b = bArg, c = cArg, z = zArg;

  const bool nearZero = fabs(z) <= 0.5;
  ThrowIfRaised(scope);
  if (nearZero) return HypergeometricSeries(aArg, bArg, cArg, zArg, result);

  if (z > 0.5 && z < 1.0) {
    const Real d = (c - a) - b;
    const Real m = RoundHalfEven(d);
    const bool nearInteger = fabs(m - d) <= kIntegerTolerance;
    ThrowIfRaised(scope);
    if (!nearInteger) return TransformToOneMinusZ(a, b, c, z, result);
    if (m == 0.0) return LogarithmicForm(a, b, z, result);
    if (fabs(m) > kMaxIntegerGap) return 0;
    return IntegerGapForm(a, b, m, z, result);
  }
  if (z < -0.5) return Pfaff(a, b, c, z, result);
  return 0;  // z ≥ 1: result untouched
}

}  // namespace quorix
