// Records as an analysis program writes them, for checking `verify`: OpenSees's
// uniaxialMaterial BoucWen (without degradation) advanced sample by sample as its
// documentation describes the update, and the same law by fine RK4 as a record with
// no step error to speak of.
//
// The documented law, z in displacement units and its beta on the |du| term:
//   dz = du·(Ao − |z|ⁿ·(gamma + beta·sgn(du·z))),   F = alpha·ko·u + (1 − alpha)·ko·z.
// Backward Euler over a step Δu = u_{k+1} − u_k solves
//   R(z) = z − z_k − Δu·(Ao − |z|ⁿ·(gamma + beta·sgn(Δu·z))) = 0
// by Newton's method, R'(z) = 1 + Δu·n·|z|ⁿ⁻¹·sgn(z)·(gamma + beta·sgn(Δu·z)), starting
// every step from the committed z_k, stopping when the Newton correction is below `tol`
// or after `maxIter` iterations; an iteration that has not converged by then leaves its
// last z as the step's z (the program warns and goes on).
#pragma once

#include <cmath>
#include <numbers>
#include <cstddef>
#include <string>
#include <vector>

#include "decimal.h"

namespace quorix::testing {

struct OpenSeesBoucWenLaw {
  double alpha = 0.1, ko = 20.0, n = 2.0, gamma = 0.3, beta = 0.6, Ao = 1.5;
  double tol = 1e-8;
  int maxIter = 20;

  double Force(double u, double z) const { return alpha * ko * u + (1.0 - alpha) * ko * z; }
  double Rate(double z, double du) const {
    const double sgn = du * z > 0.0 ? 1.0 : (du * z < 0.0 ? -1.0 : 0.0);
    return Ao - std::pow(std::fabs(z), n) * (gamma + beta * sgn);
  }
  // The material's Tcl line, which `verify --material` reads.
  std::string Tcl() const {
    using decimal::ShortestText;
    return "uniaxialMaterial BoucWen 1 " + ShortestText(alpha) + " " + ShortestText(ko) + " " + ShortestText(n) + " " +
           ShortestText(gamma) + " " + ShortestText(beta) + " " + ShortestText(Ao) + " 0 0 0";
  }
};

struct ProgramRecord {
  std::vector<double> u, F, z;
};

// Backward Euler with Newton, as above, from z = 0 at u[0].
inline ProgramRecord BackwardEulerRecord(const OpenSeesBoucWenLaw& law, const std::vector<double>& u) {
  ProgramRecord r{u, {}, {}};
  double z = 0.0;
  for (std::size_t k = 0; k < u.size(); ++k) {
    if (k > 0) {
      const double du = u[k] - u[k - 1], zk = z;
      for (int it = 0; it < law.maxIter; ++it) {
        const double sgn = du * z > 0.0 ? 1.0 : (du * z < 0.0 ? -1.0 : 0.0);
        const double residual = z - zk - du * law.Rate(z, du);
        const double slope = 1.0 + du * law.n * std::pow(std::fabs(z), law.n - 1.0) * (z < 0.0 ? -1.0 : 1.0) *
                                       (law.gamma + law.beta * sgn);
        const double step = residual / slope;
        z -= step;
        if (std::fabs(step) < law.tol) break;
      }
    }
    r.z.push_back(z);
    r.F.push_back(law.Force(u[k], z));
  }
  return r;
}

// Classical RK4 in u with `substeps` steps between samples, from z = 0: the same law
// with an error of about (Δu/substeps)⁴.
inline ProgramRecord FineRecord(const OpenSeesBoucWenLaw& law, const std::vector<double>& u, int substeps) {
  ProgramRecord r{u, {}, {}};
  double z = 0.0;
  for (std::size_t k = 0; k < u.size(); ++k) {
    if (k > 0) {
      const double h = (u[k] - u[k - 1]) / substeps;
      for (int i = 0; i < substeps; ++i) {
        const double k1 = law.Rate(z, h), k2 = law.Rate(z + 0.5 * h * k1, h), k3 = law.Rate(z + 0.5 * h * k2, h);
        const double k4 = law.Rate(z + h * k3, h);
        z += h / 6.0 * (k1 + 2.0 * k2 + 2.0 * k3 + k4);
      }
    }
    r.z.push_back(z);
    r.F.push_back(law.Force(u[k], z));
  }
  return r;
}

// `cycles` cycles of u = amplitude·sin(2π·t), `perCycle` samples each, from u = 0.
inline std::vector<double> SineHistory(double amplitude, int cycles, int perCycle) {
  std::vector<double> u;
  for (int k = 0; k <= cycles * perCycle; ++k) {
    u.push_back(amplitude * std::sin(2.0 * std::numbers::pi * k / perCycle));
  }
  return u;
}

}  // namespace quorix::testing
