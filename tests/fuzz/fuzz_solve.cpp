// SolveEnergy and the accurate solve on any seven doubles in either formula
// set. Properties, each checked with an abort:
//   1. SolveEnergy returns on every input, with no sanitizer report, after
//      at most kSolveSteps evaluator steps.
//   2. The accurate solve refuses (Refusal with a message) the inputs
//      outside its domain: a non-finite input, n <= 0, β − γ > 1 (exactly, on
//      the two doubles) or Umax/Uy < 0; then the record is unchanged. Inside
//      the domain it may refuse only with "no accurate result", and only at
//      its extremes: n below 0.05 or above 1e6, β − γ below -1e6, or Umax/Uy
//      subnormal or above 1e300, where DE/(Fh Uy), about 4·Umax/Uy when
//      saturated, may exceed the doubles. Otherwise it returns Za in [0, 1]
//      and finite Kcd, Kda and DE/(Fh Uy); all nine results finite when Fy,
//      Uy and 1 − α lie within 1e-50 … 1e50 in magnitude and α and Umax/Uy
//      are 0 or there too, where no product or quotient of them overflows or
//      divides by zero. It takes at most 10^6 steps (a Newton search of at
//      most 216 steps over series of a few thousand terms).
// Unless the flag byte is 0xFF, n goes through Coarse(): each new n means new
// digamma series in the evaluator's logarithmic form.
#include <cmath>
#include <cstddef>

#include "accurate.h"
#include "energy_solver.h"
#include "fuzz_support.h"

using namespace quorix;
using fuzz::Check;
using fuzz::Show;

namespace {

// β − γ > 1 decided exactly: β − γ = s + e by TwoSum.
bool DifferenceAboveOne(double beta, double gamma) {
  const double s = beta - gamma, bb = s + gamma, e = (beta - bb) + ((-gamma) - (s - bb));
  if (std::isinf(s)) return s > 0;
  return s >= 0.5 && s <= 2.0 ? (s - 1.0) + e > 0.0 : s > 1.0;  // s − 1 exact (Sterbenz)
}

bool Scale(double x) { return std::fabs(x) >= 1e-50 && std::fabs(x) <= 1e50; }
bool Within(double x) { return x == 0.0 || Scale(x); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzz::StepRecord specifiedSteps{"SolveEnergy"}, accurateSteps{"accurate::Solve"};
  fuzz::Input in(data, size);
  BoucWenCase input;
  double* const fields[] = {&input.Nee, &input.BetaSmall, &input.GammaSmall, &input.AlphaSmall,
                            &input.Fy,  &input.Uy,        &input.UmaxOverUy};
  for (double* field : fields) *field = in.Double();
  const std::uint8_t flags = in.Byte();
  input.Complementary = (flags & 1) != 0;
  if (flags != 0xFF) input.Nee = fuzz::Coarse(input.Nee);
  const std::string where = "n " + Show(input.Nee) + " beta " + Show(input.BetaSmall) + " gamma " +
                            Show(input.GammaSmall) + " alpha " + Show(input.AlphaSmall) + " Fy " + Show(input.Fy) +
                            " Uy " + Show(input.Uy) + " U " + Show(input.UmaxOverUy) +
                            (input.Complementary ? " complementary" : " direct");

  BoucWenCase specified = input, r = input;
  specifiedSteps.Note(fuzz::Bounded("SolveEnergy", fuzz::kSolveSteps, where, [&] { SolveEnergy(specified); }));

  bool outside = input.Nee <= 0.0 || DifferenceAboveOne(input.BetaSmall, input.GammaSmall) || input.UmaxOverUy < 0.0;
  for (double* field : fields) outside = outside || !std::isfinite(*field);
  std::string refusal;
  accurateSteps.Note(fuzz::Bounded("accurate::Solve", 1'000'000, where, [&] {
    refusal = fuzz::RefusalOf(where, [&] { accurate::Solve(r); });
  }));
  const bool refused = !refusal.empty(), noResult = refusal.starts_with("no accurate result");
  // The record's sixteen numbers, contiguous, bit for bit, and its option.
  Check(!refused || std::memcmp(&r, &input, offsetof(BoucWenCase, Complementary)) == 0,
        "accurate: a refusal leaves the record's numbers", where);
  Check(!refused || r.Complementary == input.Complementary, "accurate: a refusal leaves the record's option", where);
  Check(!outside || (refused && !noResult), "accurate: refuses inputs outside the domain", where + " " + refusal);
  const double w = input.BetaSmall - input.GammaSmall;
  const bool ordinary = input.Nee >= 0.05 && input.Nee <= 1e6 && w >= -1e6 &&
                        (input.UmaxOverUy == 0.0 || (input.UmaxOverUy >= 1e-300 && input.UmaxOverUy <= 1e300));
  Check(outside || !refused || (noResult && !ordinary), "accurate: answers inside the domain", where + " " + refusal);
  if (refused) return 0;
  Check(r.Za >= 0.0 && r.Za <= 1.0, "accurate: Za in [0, 1]", where + ": Za " + Show(r.Za));
  Check(std::isfinite(r.Kcd) && std::isfinite(r.Kda) && std::isfinite(r.DEOverFhUy),
        "accurate: finite dimensionless results",
        where + ": Kcd " + Show(r.Kcd) + " Kda " + Show(r.Kda) + " DE/(Fh Uy) " + Show(r.DEOverFhUy));
  if (Scale(input.Fy) && Scale(input.Uy) && Within(input.AlphaSmall) && Scale(1.0 - input.AlphaSmall) &&
      Within(input.UmaxOverUy)) {
    for (double v : {r.Za, r.Fha, r.Fela, r.Fa, r.Kcd, r.Kda, r.DEOverFyUy, r.DEOverFhUy, r.DE}) {
      Check(std::isfinite(v), "accurate: nine finite results", where);
    }
  }
  return 0;
}
