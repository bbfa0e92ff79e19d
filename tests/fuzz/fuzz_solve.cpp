// SolveEnergy and the accurate solve on any seven doubles and either
// formula set.
//
// Properties, each checked with an abort:
//   1. SolveEnergy returns on every input, with no sanitizer report, after
//      at most kSolveSteps evaluator steps (step_bounds.h).
//   2. The accurate solve refuses (DomainError with a message) the inputs
//      outside its domain: a non-finite input, n <= 0, β − γ > 1 (exactly,
//      on the two doubles) or Umax/Uy < 0; then the record is unchanged.
//      Inside the domain it may refuse only with "no accurate result", and
//      only at its extremes (n below 0.05 or above 1e6, β − γ below -1e6,
//      or Umax/Uy subnormal or above 1e300, where DE/(Fh Uy), about 4·Umax/Uy
//      when saturated, may exceed the range of a double). Otherwise it returns nine results: Za in [0, 1] and the
//      dimensionless Kcd, Kda and DE/(Fh Uy) finite, and all nine finite
//      when Fy, Uy and 1 − α are within 1e-50 … 1e50 in magnitude and α
//      and Umax/Uy are 0 or there too: no product or quotient of them can
//      overflow or divide by zero. It takes at
//      most kAccurateSteps steps.
// The exponent n goes through Coarse() unless the input's flag byte is 0xFF:
// each new n means new digamma series in the evaluator's logarithmic form.
#include <cmath>
#include <cstring>
#include <string>

#include "accurate.h"
#include "energy_solver.h"
#include "fuzz_support.h"
#include "step_bounds.h"
#include "step_counter.h"

using quorix::fuzz::Check;
using quorix::fuzz::Show;

namespace {

// The accurate solve's iterations: a Newton search of at most 200 + 16
// steps whose evaluations sum series of at most a few thousand terms.
constexpr std::uint64_t kAccurateSteps = 1'000'000;

quorix::fuzz::StepRecord gSpecified("SolveEnergy");
quorix::fuzz::StepRecord gAccurate("accurate::Solve");

// β − γ > 1 decided exactly: β − γ = s + e with TwoSum.
bool DifferenceAboveOne(double beta, double gamma) {
  const double s = beta - gamma;
  const double bb = s + gamma;
  const double e = (beta - bb) + ((-gamma) - (s - bb));
  if (std::isinf(s)) return s > 0;
  if (s >= 0.5 && s <= 2.0) return (s - 1.0) + e > 0.0;  // s − 1 exact (Sterbenz)
  return s > 1.0;
}

bool Scale(double x) { return std::fabs(x) >= 1e-50 && std::fabs(x) <= 1e50; }
bool Within(double x) { return x == 0.0 || Scale(x); }

// The record's sixteen numbers and its option, bit for bit.
bool SameRecord(const quorix::BoucWenCase& a, const quorix::BoucWenCase& b) {
  const double x[] = {a.Nee, a.BetaSmall, a.GammaSmall, a.AlphaSmall, a.Fy, a.Uy, a.UmaxOverUy, a.Za, a.Fha,
                      a.Fela, a.Fa, a.Kcd, a.Kda, a.DEOverFyUy, a.DEOverFhUy, a.DE};
  const double y[] = {b.Nee, b.BetaSmall, b.GammaSmall, b.AlphaSmall, b.Fy, b.Uy, b.UmaxOverUy, b.Za, b.Fha,
                      b.Fela, b.Fa, b.Kcd, b.Kda, b.DEOverFyUy, b.DEOverFhUy, b.DE};
  return std::memcmp(x, y, sizeof x) == 0 && a.Complementary == b.Complementary;
}

std::string Describe(const quorix::BoucWenCase& c) {
  return "n " + Show(c.Nee) + " beta " + Show(c.BetaSmall) + " gamma " + Show(c.GammaSmall) + " alpha " +
         Show(c.AlphaSmall) + " Fy " + Show(c.Fy) + " Uy " + Show(c.Uy) + " U " + Show(c.UmaxOverUy) +
         (c.Complementary ? " complementary" : " direct");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  quorix::fuzz::Input in(data, size);
  quorix::BoucWenCase input;
  input.Nee = in.Double();
  input.BetaSmall = in.Double();
  input.GammaSmall = in.Double();
  input.AlphaSmall = in.Double();
  input.Fy = in.Double();
  input.Uy = in.Double();
  input.UmaxOverUy = in.Double();
  const std::uint8_t flags = in.Byte();
  input.Complementary = (flags & 1) != 0;
  if (flags != 0xFF) input.Nee = quorix::fuzz::Coarse(input.Nee);
  const std::string where = Describe(input);

  quorix::BoucWenCase specified = input;
  quorix::steps::Reset();
  quorix::SolveEnergy(specified);
  gSpecified.Note(quorix::steps::Taken());
  Check(quorix::steps::Taken() <= quorix::fuzz::kSolveSteps, "SolveEnergy: bounded work",
        where + ": " + std::to_string(quorix::steps::Taken()) + " steps");

  const bool outside = !std::isfinite(input.Nee) || !std::isfinite(input.BetaSmall) ||
                       !std::isfinite(input.GammaSmall) || !std::isfinite(input.AlphaSmall) ||
                       !std::isfinite(input.Fy) || !std::isfinite(input.Uy) || !std::isfinite(input.UmaxOverUy) ||
                       input.Nee <= 0.0 || DifferenceAboveOne(input.BetaSmall, input.GammaSmall) ||
                       input.UmaxOverUy < 0.0;
  quorix::BoucWenCase accurate = input;
  quorix::steps::Reset();
  bool refused = false;
  bool noResult = false;
  try {
    quorix::accurate::Solve(accurate);
  } catch (const quorix::accurate::DomainError& e) {
    refused = true;
    noResult = std::string(e.what()).rfind("no accurate result", 0) == 0;
    Check(std::strlen(e.what()) > 0, "accurate: a refusal says why", where);
    Check(SameRecord(accurate, input), "accurate: a refusal leaves the record", where);
  }
  gAccurate.Note(quorix::steps::Taken());
  Check(quorix::steps::Taken() <= kAccurateSteps, "accurate: bounded work",
        where + ": " + std::to_string(quorix::steps::Taken()) + " steps");
  Check(!outside || (refused && !noResult), "accurate: refuses inputs outside the domain", where);
  const double w = input.BetaSmall - input.GammaSmall;
  const bool ordinary = input.Nee >= 0.05 && input.Nee <= 1e6 && w >= -1e6 &&
                        (input.UmaxOverUy == 0.0 || (input.UmaxOverUy >= 1e-300 && input.UmaxOverUy <= 1e300));
  Check(outside || !refused || (noResult && !ordinary), "accurate: answers inside the domain", where);
  if (refused) return 0;
  Check(accurate.Za >= 0.0 && accurate.Za <= 1.0, "accurate: Za in [0, 1]", where + ": Za " + Show(accurate.Za));
  Check(std::isfinite(accurate.Kcd) && std::isfinite(accurate.Kda) && std::isfinite(accurate.DEOverFhUy),
        "accurate: finite dimensionless results",
        where + ": Kcd " + Show(accurate.Kcd) + " Kda " + Show(accurate.Kda) + " DE/(Fh Uy) " +
            Show(accurate.DEOverFhUy));
  if (Scale(input.Fy) && Scale(input.Uy) && Within(input.AlphaSmall) && Scale(1.0 - input.AlphaSmall) &&
      Within(input.UmaxOverUy)) {
    const double all[] = {accurate.Za,  accurate.Fha,        accurate.Fela,       accurate.Fa, accurate.Kcd,
                          accurate.Kda, accurate.DEOverFyUy, accurate.DEOverFhUy, accurate.DE};
    for (double v : all) Check(std::isfinite(v), "accurate: nine finite results", where);
  }
  return 0;
}
