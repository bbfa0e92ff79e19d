// Inverse design: the case whose loop has a target (Keff, βeff) or (Qd, Kd)
// at a displacement D, with n and γ fixed and either Uy or α fixed.
//
// With Uy fixed, X = D/Uy is known and with it the loop's shape (Za, z(0)
// and the area ∮z dx do not depend on Fy or α); Keff·D = α·Fy·X + Fh·Za,
// EDC = Fh·Uy·area, Qd = Fh·z(0) and Kd·D = α·Fy·X + Fh·(Za − z(0)) are
// linear in Fh = (1 − α)·Fy and α·Fy, and the case follows in closed form.
// With α fixed, βeff and Qd/(Kd·D) depend on X alone; X is found by a
// bracketed solve of that closed form (every root on a logarithmic scan of
// X from 1e-3 to 1e4, βeff rising and then falling with X), then Fy from
// Keff or Qd.
#pragma once

#include <string>
#include <vector>

#include "case.h"

namespace quorix::isolation {

enum class Target { KeffBeta, QdKd };

struct InverseInput {
  double D = 0.0;
  double n = 0.0;
  double gamma = 0.0;
  bool fixUy = true;   // Uy given (else α given)
  double fixed = 0.0;  // the value of Uy or α
  Target target = Target::KeffBeta;
  double first = 0.0;   // Keff or Qd
  double second = 0.0;  // βeff or Kd
};

// Every case that reaches the target (one with Uy fixed, one or more with α
// fixed). Refusal where none does, naming the range of the second target
// quantity that the fixed parameters reach.
std::vector<Case> InverseDesign(const InverseInput& in);

}  // namespace quorix::isolation
