// Digamma, DigammaAtStep, DigammaSeries, LogGamma, GammaFunction and their accurate counterparts on
// any double. Properties, each checked with an abort:
//   1. Every call returns, with no sanitizer report, after at most kDigammaSteps evaluator steps
//      (one step a series summed).
//   2. A status 1 or 2 comes with a value: Digamma's value is not NaN.
//   3. The accurate functions return or throw Refusal with a message.
// Unless the flag byte is 0xFF the argument goes through Coarse(); only with 0xFF is DigammaSeries,
// which remembers nothing, called.
#include <cmath>

#include "accurate.h"
#include "fuzz_support.h"
#include "specialfunctions.h"

using namespace quorix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input in(data, size);
  double x = in.Double(), value = 0.0;
  const std::uint8_t flags = in.Byte();
  if (flags != 0xFF) x = fuzz::Coarse(x);
  const std::string where = "x " + fuzz::Show(x);
  std::int32_t status = 0;
  fuzz::Bounded("Digamma", fuzz::kDigammaSteps, where, [&] { status = Digamma(x, value); });
  fuzz::Check(status == 0 || !std::isnan(value), "Digamma: a value with its status", where);
  // Steps j + offset in a loop, as the logarithmic forms make them.
  fuzz::Bounded("DigammaAtStep", fuzz::kDigammaSteps, where, [&] { DigammaAtStep(x, flags & 0x0F, value); });
  if (flags == 0xFF) fuzz::Bounded("DigammaSeries", 1, where, [&] { DigammaSeries(x, value); });
  LogGamma(x, value);
  GammaFunction(x, value);
  for (double (*f)(double) : {accurate::Digamma, accurate::LogGamma, accurate::Gamma}) {
    fuzz::RefusalOf(where, [&] { f(x); });
  }
  return 0;
}
