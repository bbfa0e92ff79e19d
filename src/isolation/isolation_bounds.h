// Lower- and upper-bound models from property modification factors λ on the
// characteristic strength Qd and the post-yield stiffness Kd at D.
//
// n, γ and Uy are kept, and with them the loop's shape in x = u/Uy: at the
// same D the bound's Za and z(0) are the nominal ones. Then
//   Qd = Fh·z(0),   Kd·D = α·Fy·X + Fh·(Za − z(0))     (Fh = (1 − α)·Fy, X = D/Uy)
// are linear in Fh and α·Fy, and the bound's Fh and α·Fy follow in closed
// form: Fh' = λ_Q·Fh, α'·Fy'·X = λ_K·Kd·D − Fh'·(Za − z(0)). Keeping Uy
// instead of Fy keeps the elastic stiffness's ratio to the yield force, as
// a bearing whose rubber and lead both stiffen would not; it is what keeps
// the loop's shape, and so the factors exact.
#pragma once

#include "case.h"

namespace quorix::isolation {

struct Factors {
  double Qd = 1.0;
  double Kd = 1.0;
};

// The case whose Qd and Kd at D are f.Qd and f.Kd times those of c. Refusal
// where no α in [0, 1) gives them (λ_K so small against λ_Q that α·Fy
// would be negative), naming the smallest λ_K that is reached.
Case BoundCase(const Case& c, double D, Factors f);

}  // namespace quorix::isolation
