// The fits' public entry (fit.h) and what both fits take from the user: the
// parameters by name, their domain, and the checks of a fit's input.
#include "fit.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <system_error>

#include "accurate.h"
#include "decimal.h"
#include "domain.h"
#include "fit_steps.h"

namespace quorix::measured {

using namespace detail;

HysteresisLoop ModelLoop(const Case& p, double halfRange, double centre, int pointsPerBranch) {
  BoucWenCase bw = SteadyRecord(p, halfRange / p.Uy);
  try {
    accurate::Solve(bw);
  } catch (const Refusal&) {
    return {};
  }
  HysteresisLoop loop = LoopOf(bw, pointsPerBranch, accurate::BranchIntegral);
  for (double& u : loop.u) u += centre;
  return loop;
}

std::optional<std::size_t> ParameterIndex(std::string_view name) {
  std::string lower(name);
  for (char& ch : lower) ch = static_cast<char>(ch >= 'A' && ch <= 'Z' ? ch - 'A' + 'a' : ch);
  for (std::size_t i = 0; i < kParameterNames.size(); ++i) {
    std::string known = kParameterNames[i];
    for (char& ch : known) ch = static_cast<char>(ch >= 'A' && ch <= 'Z' ? ch - 'A' + 'a' : ch);
    if (lower == known) return i;
  }
  if (lower == "beta") return kGamma;
  return std::nullopt;
}

namespace {

// A fixed or starting value must lie in the model's domain (domain.h),
// judged alone: the other parameters take values inside it. A value outside
// would only surface later as a scan without a model loop.
void CheckDomain(std::string_view name, std::size_t index, double given, double value) {
  Case c = NormalisedCase(2.0, 0.5, 0.5, 1.0, 1.0);
  if (index == kGamma) c = NormalisedCase(2.0, value, 0.5, 1.0, 1.0);
  else At(c, index) = value;
  const auto breach = FindDomainBreach(c);
  if (!breach) return;
  const bool beta = index == kGamma && name.size() == 4;
  const std::string rule = index != kGamma ? breach->rule : beta ? "beta must not exceed 1" : "gamma must not be negative";
  throw Refusal(std::string(name) + "=" + decimal::ShortestText(given) + ": " + rule + " (outside the model's domain)");
}

}  // namespace

void SetParameter(std::array<std::optional<double>, 5>& where, std::string_view name, double value) {
  const auto index = ParameterIndex(name);
  if (!index) throw Refusal("unknown parameter \"" + std::string(name) + "\" (names: n, gamma, beta, alpha, Fy, Uy)");
  if (!std::isfinite(value))
    throw Refusal("the value of " + std::string(name) + " is not a finite number: " + decimal::ShortestText(value));
  const bool beta = name.size() == 4 && (name[0] == 'b' || name[0] == 'B');
  const double stored = beta ? 1.0 - value : value;
  CheckDomain(name, *index, value, stored);
  // β and γ are one parameter: a second value for it, by either name, is
  // a contradiction the fit cannot settle by taking the last.
  if (where[*index] && *where[*index] != stored) {
    throw Refusal(std::string(kParameterNames[*index]) + " is given twice, as " +
                  decimal::ShortestText(*where[*index]) + " and as " + decimal::ShortestText(stored) +
                  (*index == 1 ? " (beta is 1 - gamma)" : ""));
  }
  where[*index] = stored;
}

void SetParameter(std::array<std::optional<double>, 5>& where, std::string_view assignment) {
  const std::size_t eq = assignment.find('=');
  if (eq == std::string_view::npos) {
    throw Refusal("\"" + std::string(assignment) + "\" is not NAME=VALUE (names: n, gamma, beta, alpha, Fy, Uy)");
  }
  const std::string_view name = assignment.substr(0, eq);
  std::string_view text = assignment.substr(eq + 1);
  if (!ParameterIndex(name)) {
    throw Refusal("unknown parameter \"" + std::string(name) + "\" (names: n, gamma, beta, alpha, Fy, Uy)");
  }
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  double value = 0.0;
  const auto [end, ec] = decimal::ReadDouble(text, value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
    throw Refusal("the value of " + std::string(name) + " is not a finite number: \"" +
                  std::string(assignment.substr(eq + 1)) + "\"");
  }
  SetParameter(where, name, value);
}

void CheckGivenValues(const FitOptions& options) {
  for (std::size_t i = 0; i < 5; ++i) {
    for (const std::optional<double>& v : {options.fixed[i], options.start[i]}) {
      if (v) CheckDomain(kParameterNames[i], i, *v, *v);
    }
  }
}

namespace detail {

// The fits' steps and tolerances hold for forces over displacements from
// about 1e-15 to 1e13 (units of force per unit of displacement); beyond,
// a fit stalls or stops at its start with a plausible misfit. A record
// whose ratio lies outside 1e-12 … 1e12 is refused, naming it, rather than
// fitted to a wrong answer: other units bring it back.
void CheckStiffnessScale(const std::vector<double>& u, const std::vector<double>& F) {
  double uMax = 0.0, FMax = 0.0;
  for (std::size_t k = 0; k < u.size(); ++k) {
    uMax = std::max(uMax, std::fabs(u[k]));
    FMax = std::max(FMax, std::fabs(F[k]));
  }
  if (uMax == 0.0 || FMax == 0.0) return;  // refused later for having no cycle
  const double ratio = FMax / uMax;
  if (!(ratio >= 1e-12 && ratio <= 1e12)) {
    char text[32];
    const auto end = decimal::WriteScientific(text, text + sizeof text, ratio, 1).ptr;
    throw Refusal("cannot fit: the largest force over the largest displacement is " + std::string(text, end) +
                  ", outside the 1e-12 to 1e12 the fit holds for; give u and F in units nearer each other's scale "
                  "(mm and kN, say)");
  }
}

void CheckFitInput(const std::vector<double>& u, const std::vector<double>& F, const CycleTable& table,
                   const FitOptions& options) {
  if (u.size() != F.size()) throw Refusal("displacements and forces differ in number");
  // The model's loops always dissipate: fitted to loops that run the other
  // way it would only find the parameters that come closest to no loop.
  if (MostlyCounterClockwise(table)) throw Refusal("cannot fit: " + CounterClockwiseWarning(table));
  CheckStiffnessScale(u, F);
  CheckGivenValues(options);
}

}  // namespace detail

FitResult Fit(const std::vector<double>& u, const std::vector<double>& F, const CycleTable& table,
              const FitOptions& options) {
  return options.steady ? FitSteady(u, F, table, options) : FitRecord(u, F, table, options);
}

}  // namespace quorix::measured
