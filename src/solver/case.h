// The model's parameters: the one value every room passes, from the fields
// and the options to the solver, the response, the fits and the materials.
//
// Quorix's law, in Wen's labelling (γ on the |u̇| term):
//   ż = (1/Uy)·(A·u̇ − γ·|u̇|·|z|ⁿ⁻¹·z − β·u̇·|z|ⁿ),
//   F = α·(Fy/Uy)·u + (1 − α)·Fy·z.
// The closed forms take the normalised case, A = 1 and β + γ = 1; the
// general law's A (and a sum β + γ other than 1) is mapped onto it
// exactly by material::Normalise. The response and the fits read the
// normalised law by γ alone: their β is 1 − γ.
#pragma once

#include "bouc_wen_case.h"

namespace quorix {

struct Case {
  double n = 0.0;      // exponent
  double beta = 0.0;   // β
  double gamma = 0.0;  // γ
  double alpha = 0.0;  // α, the elastic share of the yield force
  double Fy = 0.0;     // yield force
  double Uy = 0.0;     // yield displacement
  double A = 1.0;      // the general law's A; 1 in the normalised case
};

// The normalised case of the response and the fits: β = 1 − γ, A = 1.
inline Case NormalisedCase(double n, double gamma, double alpha, double Fy, double Uy) {
  return Case{.n = n, .beta = 1.0 - gamma, .gamma = gamma, .alpha = alpha, .Fy = Fy, .Uy = Uy};
}

// The record the solvers fill, for the cycle of amplitude UmaxOverUy·Uy;
// its results zero and its formula set Direct.
inline BoucWenCase RecordOf(const Case& c, double UmaxOverUy) {
  BoucWenCase bw;
  bw.Nee = c.n;
  bw.BetaSmall = c.beta;
  bw.GammaSmall = c.gamma;
  bw.AlphaSmall = c.alpha;
  bw.Fy = c.Fy;
  bw.Uy = c.Uy;
  bw.UmaxOverUy = UmaxOverUy;
  return bw;
}

// The record's inputs as a case (A = 1: the record is normalised).
inline Case CaseOf(const BoucWenCase& bw) {
  return Case{.n = bw.Nee, .beta = bw.BetaSmall, .gamma = bw.GammaSmall, .alpha = bw.AlphaSmall, .Fy = bw.Fy,
              .Uy = bw.Uy};
}

}  // namespace quorix
