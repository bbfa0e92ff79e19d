// The energy solver: Za by a Brent search on the amplitude function
// (FindZa), then the forces, the loop integrals Kcd and Kda, and the energy.
//
// Every assignment and every call is a recovery unit. An assignment simply
// stores its IEEE result (±inf or NaN) and the solve goes on. A call of the
// evaluator is skipped when one of its arguments faults, and its scratch
// value then keeps what it held. A test that faults (a NaN operand, an
// overflow inside it) takes the branch that it guards.
#include <cmath>

#include "energy_solver.h"
#include "ieee.h"
#include "specialfunctions.h"
#include "step_counter.h"

namespace quorix {

using ieee::FaultScope;
using ieee::Real;

namespace {

// Evaluates a test as one recovery unit: a fault means the guarded branch
// runs. The tests are written over `Real` so that NaN operands and overflow
// are noticed; every part of a compound test is evaluated, none is skipped.
template <class Test>
bool Holds(Test test) {
  FaultScope unit;
  const bool result = test();
  return result || unit.Raised();
}

// One call unit: I = F(1, j/n; j/n + 1; z). z is formed first, then c, then
// b; a fault in any of them skips the call. A raised fault or a failure
// status leaves the scratch value as the evaluator left it.
template <class Argument>
void LoopIntegral(double j, double n, Argument z, double& scratch) {
  FaultScope unit;
  const Real arg = z();
  const Real c = Real(j) / n + 1.0;
  const Real b = Real(j) / n;
  if (unit.Raised()) return;
  try {
    Hypergeometric2F1(1.0, b.value(), c.value(), arg.value(), scratch);
  } catch (const FloatingPointFault&) {
  }
}

double Sign(double x) { return x > 0.0 ? 1.0 : (x < 0.0 ? -1.0 : 0.0); }

// Brent's interpolation from the last three points (a, fa), (b, fb),
// (c, fc): inverse quadratic, or secant when a = c. Accepted, with the step
// into d and the one before into e, while the last steps shrink fast enough
// and the new point stays well inside the bracket; otherwise false, and the
// search bisects.
bool Interpolated(double a, double b, double c, double fa, double fb, double fc, double xm, double& d, double& e) {
  if (!Holds([&] { return (fabs(Real(e)) >= RootTolerance) & (fabs(Real(fb)) < fabs(Real(fa))); })) return false;
  double p = 0.0, q = 0.0;
  const double s = fb / fa;
  if (Holds([&] { return Real(a) == Real(c); })) {
    p = 2.0 * xm * s;
    q = 1.0 - s;
  } else {
    q = fa / fc;
    const double r = fb / fc;
    p = s * (2.0 * xm * q * (q - r) - (b - a) * (r - 1.0));
    q = (q - 1.0) * (r - 1.0) * (s - 1.0);
  }
  if (Holds([&] { return Real(p) > 0.0; })) q = -q;
  p = std::fabs(p);
  const double min1 = 3.0 * xm * q - std::fabs(RootTolerance * q);
  const double min2 = std::fabs(e * q);
  double m = 0.0;
  if (Holds([&] { return Real(min1) < Real(min2); })) {
    m = min1;
  } else {
    m = min2;
  }
  if (!Holds([&] { return 2.0 * Real(p) < Real(m); })) return false;
  e = d;
  d = p / q;
  return true;
}

// Za: 1 when U exceeds the amplitude at the top of the search interval,
// otherwise (also when either value is NaN) Brent's method on amp(x) − U
// over [0, ZaUpperBound], with an absolute tolerance only, no bracket
// check, and amp(0) taken as 0 without evaluating it.
double FindZa(const BoucWenCase& bw) {
  const double U = bw.UmaxOverUy;
  auto amp = [&bw](double x) { return DisplacementAmplitude(x, bw.Nee, bw.BetaSmall, bw.GammaSmall); };
  const double fhi = amp(ZaUpperBound);
  if (U > fhi) return 1.0;
  double a = 0.0, fa = -U;
  double b = ZaUpperBound, fb = fhi - U;
  double c = b, fc = fb;
  double d = 0.0, e = 0.0;
  double xm = 0.0;
  int k = 0;
  do {
    steps::Count();
    if (Holds([&] {
          const bool bothPositive = (Real(fb) > 0.0) & (Real(fc) > 0.0);
          const bool bothNegative = (Real(fb) < 0.0) & (Real(fc) < 0.0);
          return bothPositive | bothNegative;
        })) {
      c = a;
      fc = fa;
      d = b - a;
      e = d;
    }
    if (Holds([&] { return fabs(Real(fc)) < fabs(Real(fb)); })) {
      a = b;
      b = c;
      c = a;
      fa = fb;
      fb = fc;
      fc = fa;
    }
    xm = (c - b) * 0.5;
    if (Holds([&] { return (fabs(Real(xm)) <= RootTolerance) | (Real(fb) == 0.0); })) break;
    if (!Interpolated(a, b, c, fa, fb, fc, xm, d, e)) {
      d = xm;
      e = d;
    }
    a = b;
    fa = fb;
    if (Holds([&] { return fabs(Real(d)) > RootTolerance; })) {
      b = b + d;
    } else {
      b = b + RootTolerance * Sign(xm);
    }
    fb = amp(b) - U;
    k = k + 1;
  } while (k < MaxRootIterations);
  return b;
}
}  // namespace

void SolveEnergy(BoucWenCase& bw) {
  const double n = bw.Nee;
  const double U = bw.UmaxOverUy;
  const double alpha = bw.AlphaSmall;

  // Stages 1 and 2: the search for Za.
  bw.Za = FindZa(bw);

  // Stage 3: forces at the amplitude.
  bw.Fha = (1.0 - alpha) * bw.Fy * bw.Za;
  bw.Fela = alpha * bw.Fy * U;
  bw.Fa = bw.Fha + bw.Fela;

  // Stage 4: loop integrals. The hypergeometric arguments use zc < 1 even
  // when Za = 1, where the evaluator would fail.
  double zc = ZaUpperBound;
  if (!Holds([&] { return Real(bw.Za) == 1.0; })) zc = bw.Za;
  double i1 = 0.0;
  double i2 = 0.0;
  auto wP = [&] { return (Real(bw.BetaSmall) - bw.GammaSmall) * pow(Real(zc), n); };
  auto P = [&] { return pow(Real(zc), n); };
  if (bw.Complementary) {
    LoopIntegral(1.0, n, wP, i1);
    LoopIntegral(2.0, n, wP, i2);
    bw.Kcd = (0.5 * zc * i2 + i1) * zc;
    LoopIntegral(1.0, n, P, i1);
    LoopIntegral(2.0, n, P, i2);
    bw.Kda = (i1 - 0.5 * zc * i2) * zc;
    bw.DEOverFhUy = (2.0 * U - bw.Kcd - bw.Kda) * 2.0;
  } else {
    LoopIntegral(2.0, n, wP, i1);
    bw.Kcd = -0.5 * bw.Za * bw.Za * i1;
    LoopIntegral(2.0, n, P, i1);
    bw.Kda = 0.5 * bw.Za * bw.Za * i1;
    bw.DEOverFhUy = (bw.Kcd + bw.Kda) * 2.0;
  }

  // Stage 5: energy.
  bw.DEOverFyUy = (1.0 - alpha) * bw.DEOverFhUy;
  bw.DE = bw.DEOverFyUy * bw.Fy * bw.Uy;
}

}  // namespace quorix
