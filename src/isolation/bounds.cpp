// The bound models' Fy and α in closed form.
#include <cmath>
#include <string>

#include "decimal.h"
#include "isolation.h"
#include "isolation_bounds.h"
#include "refuse.h"

namespace quorix::isolation {

Case BoundCase(const Case& c, double D, Factors f) {
  if (!(f.Qd > 0.0) || !std::isfinite(f.Qd)) Refuse("the factor on Qd must be positive", f.Qd);
  if (!(f.Kd > 0.0) || !std::isfinite(f.Kd)) Refuse("the factor on Kd must be positive", f.Kd);
  const Properties p = PropertiesAt(c, D);
  const Bilinear b = EquivalentBilinear(p);
  const double X = D / c.Uy;
  const double Fh = (1.0 - c.alpha) * c.Fy;
  const double share = Fh * (p.Za - p.z0);  // the hysteretic part of Kd·D
  const double FhBound = f.Qd * Fh;
  const double elastic = (f.Kd * b.Kd * D - f.Qd * share) / X;  // α'·Fy'
  if (!(elastic >= 0.0)) {
    const double smallest = f.Qd * share / (b.Kd * D);
    throw Refusal("no model with n, gamma and Uy kept has Kd x " + decimal::ShortestText(f.Kd) + " with Qd x " +
                  decimal::ShortestText(f.Qd) + " at D = " + decimal::ShortestText(D) +
                  ": the factor on Kd must be at least " + decimal::ShortestText(smallest));
  }
  Case bound = c;
  bound.Fy = elastic + FhBound;
  bound.alpha = elastic / bound.Fy;
  return bound;
}

}  // namespace quorix::isolation
