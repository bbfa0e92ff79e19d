// Hypergeometric2F1, the Gauss series and the accurate evaluator on any four doubles. Properties,
// each checked with an abort:
//   1. Hypergeometric2F1 returns a status or throws FloatingPointFault, with no sanitizer report,
//      after at most kHypergeometricSteps evaluator steps; HypergeometricSeries after kSeriesSteps.
//   2. The accurate Hyp2F1 returns or throws Refusal with a message, after at most 100000 steps.
// Unless the flag byte is 0xFF, a and b go through Coarse(): a new a, b (for c = a + b) means new
// digamma series in the logarithmic form.
#include "accurate.h"
#include "fuzz_support.h"
#include "specialfunctions.h"

using namespace quorix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzz::StepRecord specified{"Hypergeometric2F1"}, exact{"accurate::Hyp2F1"};
  fuzz::Input in(data, size);
  double a = in.Double(), b = in.Double(), c = in.Double(), value = 0.0;
  const double z = in.Double();
  const std::uint8_t flags = in.Byte();
  if (flags != 0xFF) {
    a = fuzz::Coarse(a);
    b = fuzz::Coarse(b);
    if ((flags & 0x0F) == 0) c = a + b + ((flags >> 4) - 8);  // c − a − b whole: the logarithmic forms
  }
  const std::string where = "a " + fuzz::Show(a) + " b " + fuzz::Show(b) + " c " + fuzz::Show(c) + " z " +
                            fuzz::Show(z);
  specified.Note(fuzz::Bounded("Hypergeometric2F1", fuzz::kHypergeometricSteps, where, [&] {
    try {
      Hypergeometric2F1(a, b, c, z, value);
    } catch (const FloatingPointFault&) {
    }
  }));
  fuzz::Bounded("HypergeometricSeries", fuzz::kSeriesSteps, where, [&] { HypergeometricSeries(a, b, c, z, value); });
  exact.Note(fuzz::Bounded("accurate Hyp2F1", 100'000, where, [&] {
    fuzz::RefusalOf(where, [&] { accurate::Hyp2F1(a, b, c, z); });
  }));
  return 0;
}
