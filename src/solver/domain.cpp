#include "domain.h"

#include <cmath>
#include <string_view>

#include "decimal.h"
#include "refusal.h"

namespace quorix {
namespace {

DomainBreach Breach(std::string_view input, std::string_view rule, double value) {
  return DomainBreach{std::string(input), std::string(rule), value,
                      std::string(rule) + ": " + decimal::ShortestText(value)};
}

// β − γ > 1, decided on the exact difference: the rounded one may be 1
// while the exact one lies just above (β = 1, γ = 1e-30).
bool DifferenceExceedsOne(double beta, double gamma) {
  const double d = beta - gamma;
  if (std::isnan(d)) return false;  // both infinite: refused as not finite first
  if (d != 1.0) return d > 1.0;
  const double b = d - beta;  // Knuth's two-sum of β and −γ: d + err = β − γ exactly
  const double err = (beta - (d - b)) + (-gamma - b);
  return err > 0.0;
}

}  // namespace

std::optional<DomainBreach> FindDomainBreach(const Case& c, std::optional<double> UmaxOverUy) {
  const std::pair<const char*, double> inputs[] = {{"n", c.n},         {"beta", c.beta}, {"gamma", c.gamma},
                                                   {"alpha", c.alpha}, {"Fy", c.Fy},     {"Uy", c.Uy}};
  for (const auto& [name, value] : inputs) {
    if (!std::isfinite(value)) return Breach(name, std::string(name) + " is not a finite number", value);
  }
  if (!(c.n > 0.0)) return Breach("n", "n must be positive", c.n);
  if (DifferenceExceedsOne(c.beta, c.gamma)) {
    // With β = 1 − γ (the normalised case) the user gave γ alone.
    if (c.beta == 1.0 - c.gamma && c.gamma < 0.0) {
      return Breach("gamma", "gamma must not be negative (beta - gamma must not exceed 1)", c.gamma);
    }
    return Breach("beta", "beta - gamma must not exceed 1", c.beta - c.gamma);
  }
  if (!(c.alpha >= 0.0 && c.alpha < 1.0)) return Breach("alpha", "alpha must lie in [0, 1)", c.alpha);
  if (!(c.Fy > 0.0)) return Breach("Fy", "Fy must be positive", c.Fy);
  if (!(c.Uy > 0.0)) return Breach("Uy", "Uy must be positive", c.Uy);
  if (UmaxOverUy) {
    if (!std::isfinite(*UmaxOverUy)) return Breach("Umax/Uy", "Umax/Uy is not a finite number", *UmaxOverUy);
    if (*UmaxOverUy < 0.0) return Breach("Umax/Uy", "Umax/Uy must not be negative", *UmaxOverUy);
  }
  return std::nullopt;
}

void RequireDomain(const Case& c, std::optional<double> UmaxOverUy) {
  if (const auto breach = FindDomainBreach(c, UmaxOverUy)) throw Refusal(breach->message);
}

}  // namespace quorix
