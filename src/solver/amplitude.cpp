#include "energy_solver.h"
#include "ieee.h"
#include "specialfunctions.h"

namespace quorix {

using ieee::FaultScope;
using ieee::Real;

namespace {

// x·F(1/n, 1; 1 + 1/n; y·xⁿ) = ∫₀ˣ dz / (1 − y·zⁿ); false on any failure.
bool AmplitudeIntegral(Real y, Real xn, Real n, double& value) {
  FaultScope scope;
  const Real z = y * xn;
  const Real c = 1.0 / n + 1.0;
  const Real a = 1.0 / n;
  if (scope.Raised()) return false;
  try {
    return Hypergeometric2F1(a.value(), 1.0, c.value(), z.value(), value) != 0;
  } catch (const FloatingPointFault&) {
    return false;
  }
}

}  // namespace

double DisplacementAmplitude(double x, double n, double beta, double gamma) {
  double i1 = 0.0;
  double i2 = 0.0;
  {
    FaultScope scope;
    const Real w = Real(beta) - gamma;
    const Real xn = pow(Real(x), n);  // a fault for x < 0 with n fractional
    if (scope.Raised() || !AmplitudeIntegral(w, xn, n, i1)) return -1.0;
  }
  {
    FaultScope scope;
    const Real xn = pow(Real(x), n);
    if (scope.Raised() || !AmplitudeIntegral(1.0, xn, n, i2)) return -1.0;
  }
  // An overflow here returns its IEEE result.
  return (0.5 * x) * (i1 + i2);
}

}  // namespace quorix
