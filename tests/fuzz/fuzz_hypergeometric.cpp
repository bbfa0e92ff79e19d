// Hypergeometric2F1 (and the Gauss series, and the accurate evaluator) on
// any four doubles.
//
// Properties, each checked with an abort:
//   1. Hypergeometric2F1 returns a status or throws FloatingPointFault,
//      with no sanitizer report, after at most kHypergeometricSteps
//      evaluator steps; HypergeometricSeries after at most kSeriesSteps.
//   2. The accurate Hyp2F1 returns or throws DomainError with a message,
//      after at most 100000 steps.
// The parameters go through Coarse() unless the flag byte is 0xFF: a new
// a, b (for c = a + b) means new digamma series in the logarithmic form.
#include <cstring>
#include <string>

#include "accurate.h"
#include "fuzz_support.h"
#include "specialfunctions.h"
#include "step_bounds.h"
#include "step_counter.h"

using quorix::fuzz::Check;
using quorix::fuzz::Show;

namespace {
constexpr std::uint64_t kAccurateSteps = 100'000;
quorix::fuzz::StepRecord gSpecified("Hypergeometric2F1");
quorix::fuzz::StepRecord gAccurate("accurate::Hyp2F1");
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  quorix::fuzz::Input in(data, size);
  double a = in.Double(), b = in.Double(), c = in.Double();
  const double z = in.Double();
  const std::uint8_t flags = in.Byte();
  if (flags != 0xFF) {
    a = quorix::fuzz::Coarse(a);
    b = quorix::fuzz::Coarse(b);
    // c = a + b ± small whole numbers reach the logarithmic forms.
    if ((flags & 0x0F) == 0) c = a + b + static_cast<double>((flags >> 4) - 8);
  }
  const std::string where = "a " + Show(a) + " b " + Show(b) + " c " + Show(c) + " z " + Show(z);

  double value = 0.0;
  quorix::steps::Reset();
  try {
    quorix::Hypergeometric2F1(a, b, c, z, value);
  } catch (const quorix::FloatingPointFault&) {
  }
  gSpecified.Note(quorix::steps::Taken());
  Check(quorix::steps::Taken() <= quorix::fuzz::kHypergeometricSteps, "Hypergeometric2F1: bounded work",
        where + ": " + std::to_string(quorix::steps::Taken()) + " steps");

  quorix::steps::Reset();
  quorix::HypergeometricSeries(a, b, c, z, value);
  Check(quorix::steps::Taken() <= quorix::fuzz::kSeriesSteps, "HypergeometricSeries: bounded work", where);

  quorix::steps::Reset();
  try {
    quorix::accurate::Hyp2F1(a, b, c, z);
  } catch (const quorix::accurate::DomainError& e) {
    Check(std::strlen(e.what()) > 0, "accurate Hyp2F1: a refusal says why", where);
  }
  gAccurate.Note(quorix::steps::Taken());
  Check(quorix::steps::Taken() <= kAccurateSteps, "accurate Hyp2F1: bounded work",
        where + ": " + std::to_string(quorix::steps::Taken()) + " steps");
  return 0;
}
