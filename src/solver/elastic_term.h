// A nonlinear elastic spring beside the hysteretic law: F_e(u) = k3·sgn(u)·|u|^μ,
// u the displacement in the unit of Uy and k3 in force over that unit to the
// power μ. It is the force of a potential, k3·|u|^(μ+1)/(μ + 1), so over a
// closed cycle its work is zero: the energy a cycle dissipates (DE, Kcd, Kda)
// keeps its closed form and only the forces gain F_e. Analysis programs write
// it into their Bouc-Wen laws (OpenSees's BoucWenOriginal alphaNL and mu, the
// elastomericBearingBoucWen element's alpha2 and mu); the mapping in
// src/material carries it beside the normalised case.
#pragma once

#include <cmath>
#include <cstddef>
#include <vector>

#include "bouc_wen_case.h"

namespace quorix {

struct ElasticTerm {
  double k3 = 0.0;  // 0: no term, every force as the law alone gives it
  double mu = 2.0;  // the exponent, positive when k3 ≠ 0

  bool Active() const { return k3 != 0.0; }
  // sgn(0) = 0: the spring is unloaded at u = 0 whatever μ.
  double Force(double u) const {
    if (!Active() || u == 0.0) return 0.0;
    return k3 * std::copysign(std::pow(std::fabs(u), mu), u);  // k3 may be negative
  }
};

// A solved record with the term's force at the amplitude added to the
// elastic force Fela and the total Fa, so that Ksec and XiEq (formed from Fa)
// take it too; Fha, Za and every energy stay as the closed form gives them.
// Nothing changes without a term.
inline void AddElasticTerm(BoucWenCase& solved, const ElasticTerm& term) {
  if (!term.Active()) return;
  const double atAmplitude = term.Force(solved.UmaxOverUy * solved.Uy);
  solved.Fela += atAmplitude;
  solved.Fa += atAmplitude;
}

// The term's force added to each force F[i] of the displacements u[i] (a
// loop's points, a history's samples).
inline void AddElasticForces(const std::vector<double>& u, std::vector<double>& F, const ElasticTerm& term) {
  if (!term.Active()) return;
  for (std::size_t i = 0; i < u.size() && i < F.size(); ++i) F[i] += term.Force(u[i]);
}

}  // namespace quorix
