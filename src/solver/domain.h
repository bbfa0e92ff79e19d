// The model's domain, decided here for every room and face.
//
// A case describes a hysteretic loop the closed forms hold for when
//   n > 0                 (the exponent; n ≤ 0 gives no saturation),
//   Fy > 0, Uy > 0        (a yield force and displacement, the units' scale),
//   0 ≤ α < 1             (α = 1 leaves no hysteretic force, α < 0 a
//                          negative elastic stiffness),
//   β − γ ≤ 1             (above it, loading from z < 0 turns the slope
//                          1 − (β − γ)·|z|ⁿ negative before |z| = 1 and z
//                          runs away; with β = 1 − γ this reads γ ≥ 0),
//   Umax/Uy ≥ 0           (the amplitude, where a case has one),
// every input a finite number. The general law's A > 0 and β + γ > 0 are
// the normalisation's own conditions (material::Normalise).
#pragma once

#include <optional>
#include <string>

#include "case.h"

namespace quorix {

// The first input outside the domain: which one ("n", "gamma", "beta",
// "alpha", "Fy", "Uy", "Umax/Uy"), the rule it breaks ("alpha must lie in
// [0, 1)"), the value it has, and the message naming all three
// ("alpha must lie in [0, 1): 1.5").
struct DomainBreach {
  std::string input;
  std::string rule;
  double value = 0.0;
  std::string message;
};

// The breach of a case, and of its amplitude where one is given; nullopt
// inside the domain.
std::optional<DomainBreach> FindDomainBreach(const Case& c, std::optional<double> UmaxOverUy = std::nullopt);

// Throws Refusal with the breach's message.
void RequireDomain(const Case& c, std::optional<double> UmaxOverUy = std::nullopt);

}  // namespace quorix
