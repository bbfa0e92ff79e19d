// The long run of the FMA division's check, outside CI: at least 10⁹ operand
// pairs, each quotient equal to a / b bit for bit. Classes: random operands
// over the whole exponent range, significands of all zeros and all ones,
// exponents at the subnormal and overflow thresholds, and every denominator
// (k + xm)·k, k = 1 … 100000, of every digamma series the default sweep
// sums at n = 0.3, 0.4, … 5 (Complementary and not).
//
// The series arguments are recorded as the sweeps run: the program is linked
// with --wrap on SumDigammaSeriesLanes, through which every series the fast
// path sums passes, and forgets the remembered series before each sweep.
//
// Usage: lane_division_long [millions of pairs per drawn class, default 1000]
//        [any second argument: also print the series arguments]
// Prints one line per class and exits 1 on any mismatch.
#include <immintrin.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <set>

#include "commands.h"
#include "lane_division_operands.h"
#include "numbertext.h"
#include "specialfunctions.h"

namespace {

// The sweeps' own threads sum series too.
std::mutex gMutex;
std::set<double> gArguments;

}  // namespace

extern "C" void __real__ZN6quorix6detail21SumDigammaSeriesLanesEPKdiPdPi(const double* x, int count, double* value,
                                                                         std::int32_t* status);
extern "C" void __wrap__ZN6quorix6detail21SumDigammaSeriesLanesEPKdiPdPi(const double* x, int count, double* value,
                                                                         std::int32_t* status) {
  {
    const std::lock_guard lock(gMutex);
    gArguments.insert(x, x + count);
  }
  __real__ZN6quorix6detail21SumDigammaSeriesLanesEPKdiPdPi(x, count, value, status);
}

namespace {

class NullSink : public quorix::SweepSink {
 public:
  void Open() override {}
  void WriteLine(std::string_view) override {}
};

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

bool Report(const char* name, const quorix::test::CheckCounts& c, double seconds) {
  std::printf("%-28s %12llu pairs  %12llu by FMA  %llu mismatches  %8.1f s\n", name,
              static_cast<unsigned long long>(c.pairs), static_cast<unsigned long long>(c.byFma),
              static_cast<unsigned long long>(c.mismatches), seconds);
  if (c.mismatches != 0) std::printf("  first: %a / %a\n", c.firstA, c.firstB);
  std::fflush(stdout);
  return c.mismatches == 0;
}

__attribute__((target("avx512f"))) quorix::test::CheckCounts Denominators(const std::set<double>& arguments) {
  quorix::test::CheckCounts counts;
  const __m512d steps = _mm512_setr_pd(0, 1, 2, 3, 4, 5, 6, 7);
  for (const double x : arguments) {
    const __m512d xm = _mm512_set1_pd(x - 1.0);
    for (int k = 1; k <= 100000; k += 8) {
      const __m512d kk = _mm512_add_pd(_mm512_set1_pd(k), steps);
      quorix::test::CheckPairs(xm, _mm512_mul_pd(_mm512_add_pd(kk, xm), kk), counts);
    }
  }
  return counts;
}

}  // namespace

int main(int argc, char** argv) {
  if (!__builtin_cpu_supports("avx512f")) {
    std::puts("this processor has no AVX-512: nothing to check");
    return 0;
  }
  const std::uint64_t millions = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1000;
  const auto start = std::chrono::steady_clock::now();
  bool ok = true;

  auto t = std::chrono::steady_clock::now();
  for (int tenths = 3; tenths <= 50; ++tenths) {
    for (const bool complementary : {true, false}) {
      quorix::ForgetRememberedValues();
      quorix::CaseTexts texts;
      texts.Nee = quorix::FormatPlainNumber(tenths / 10.0);
      texts.Complementary = complementary;
      quorix::BoucWenCase bw;
      NullSink sink;
      quorix::RunSweep(texts, quorix::SweepTexts{}, bw, sink);
    }
  }
  std::set<double> arguments;
  {
    const std::lock_guard lock(gMutex);
    arguments = gArguments;
  }
  std::printf("%zu distinct series arguments in the default sweeps, n = 0.3 ... 5 (%.1f s)\n", arguments.size(),
              Seconds(t));
  if (argc > 2) {
    for (const double x : arguments) std::printf("%.17g\n", x);
  }
  t = std::chrono::steady_clock::now();
  const quorix::test::CheckCounts denominators = Denominators(arguments);
  ok &= Report("digamma denominators", denominators, Seconds(t));

  const struct {
    const char* name;
    quorix::test::OperandClass c;
  } classes[] = {{"random", quorix::test::OperandClass::kRandom},
                 {"significands 0...0 / 1...1", quorix::test::OperandClass::kSignificands},
                 {"exponent thresholds", quorix::test::OperandClass::kThresholds}};
  std::uint64_t seed = 20261207;
  for (const auto& entry : classes) {
    t = std::chrono::steady_clock::now();
    const quorix::test::CheckCounts counts = quorix::test::Drawn(entry.c, millions * 1000000, seed++);
    ok &= Report(entry.name, counts, Seconds(t));
  }
  std::printf("%s, %.1f s in all\n", ok ? "all equal" : "MISMATCHES", Seconds(start));
  return ok ? 0 : 1;
}
