// Digamma (and DigammaAtStep, DigammaSeries, LogGamma, GammaFunction and
// their accurate counterparts) on any double.
//
// Properties, each checked with an abort:
//   1. Every call returns, with no sanitizer report, after at most
//      kDigammaSteps evaluator steps (one step a series summed).
//   2. A status 1 or 2 comes with a value: Digamma's value is not NaN.
//   3. The accurate functions return or throw DomainError with a message.
// Speed: a series argument costs 100000 terms the first time and a look-up
// after that. Unless the flag byte is 0xFF the argument goes through
// Coarse() (65536 distinct values in all), so that repeats are cheap; with
// 0xFF it is used as it is, and DigammaSeries, which remembers nothing, is
// called only then.
#include <cmath>
#include <cstring>
#include <string>

#include "accurate.h"
#include "fuzz_support.h"
#include "specialfunctions.h"
#include "step_bounds.h"
#include "step_counter.h"

using quorix::fuzz::Check;
using quorix::fuzz::Show;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  quorix::fuzz::Input in(data, size);
  double x = in.Double();
  const std::uint8_t flags = in.Byte();
  const bool exact = flags == 0xFF;
  if (!exact) x = quorix::fuzz::Coarse(x);
  const std::string where = "x " + Show(x);

  double value = 0.0;
  quorix::steps::Reset();
  const std::int32_t status = quorix::Digamma(x, value);
  Check(quorix::steps::Taken() <= quorix::fuzz::kDigammaSteps, "Digamma: bounded work", where);
  Check(status == 0 || !std::isnan(value), "Digamma: a value with its status", where);

  // A loop over j + offset, as the logarithmic forms make it.
  const int j = flags & 0x0F;
  quorix::steps::Reset();
  quorix::DigammaAtStep(x, j, value);
  Check(quorix::steps::Taken() <= quorix::fuzz::kDigammaSteps, "DigammaAtStep: bounded work", where);
  if (exact) {
    quorix::steps::Reset();
    quorix::DigammaSeries(x, value);
    Check(quorix::steps::Taken() <= 1, "DigammaSeries: bounded work", where);
  }
  quorix::LogGamma(x, value);
  quorix::GammaFunction(x, value);

  for (double (*f)(double) : {quorix::accurate::Digamma, quorix::accurate::LogGamma, quorix::accurate::Gamma}) {
    try {
      f(x);
    } catch (const quorix::accurate::DomainError& e) {
      Check(std::strlen(e.what()) > 0, "accurate: a refusal says why", where);
    }
  }
  return 0;
}
