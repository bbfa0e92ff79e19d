// Speed of one Solve and of the default 101-row sweep.
//
// "Cold" runs start from the process's initial state (digamma tables empty)
// on every iteration; "warm" runs repeat the same work with everything the
// process remembers already in place.
#include <benchmark/benchmark.h>

#include <string>
#include <string_view>

#include "commands.h"
#include "energy_solver.h"
#include "specialfunctions.h"

namespace {

quorix::BoucWenCase DefaultCase(double n, bool complementary) {
  quorix::BoucWenCase bw;
  bw.Nee = n;
  bw.BetaSmall = 0.1;
  bw.GammaSmall = 0.9;
  bw.AlphaSmall = 0.10;
  bw.Fy = 2.86;
  bw.Uy = 0.111;
  bw.UmaxOverUy = 1.0;
  bw.Complementary = complementary;
  return bw;
}

// args: n × 10, complementary (0/1), cold (0/1)
void BM_Solve(benchmark::State& state) {
  const double n = static_cast<double>(state.range(0)) / 10.0;
  const bool complementary = state.range(1) != 0;
  const bool cold = state.range(2) != 0;
  quorix::BoucWenCase bw = DefaultCase(n, complementary);
  quorix::SolveEnergy(bw);  // warm-up for the warm runs
  for (auto _ : state) {
    if (cold) {
      state.PauseTiming();
      quorix::ForgetRememberedValues();
      state.ResumeTiming();
    }
    quorix::SolveEnergy(bw);
    benchmark::DoNotOptimize(bw.DE);
  }
}
BENCHMARK(BM_Solve)
    ->ArgNames({"nx10", "compl", "cold"})
    ->ArgsProduct({{20, 30}, {0, 1}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);

class NullSink : public quorix::SweepSink {
 public:
  void Open() override {}
  void WriteLine(std::string_view line) override { bytes_ += line.size() + 2; }
  std::size_t bytes_ = 0;
};

// The default sweep (0.1 to 10.0 by 0.1, Complementary), cold; args: n × 10.
void BM_DefaultSweep(benchmark::State& state) {
  quorix::CaseTexts texts;
  texts.Nee = std::to_string(static_cast<double>(state.range(0)) / 10.0);
  const quorix::SweepTexts range;
  for (auto _ : state) {
    state.PauseTiming();
    quorix::ForgetRememberedValues();
    state.ResumeTiming();
    quorix::BoucWenCase bw;
    NullSink sink;
    quorix::RunSweep(texts, range, bw, sink);
    benchmark::DoNotOptimize(sink.bytes_);
  }
}
BENCHMARK(BM_DefaultSweep)->ArgName("nx10")->Arg(20)->Arg(30)->Unit(benchmark::kMillisecond);

}  // namespace
