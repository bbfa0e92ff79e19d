// Speed of one Solve and of sweeps, on the straightforward path (every
// digamma series summed anew, one at a time, sweeps on one thread) and on
// the fast path (series remembered and summed in SIMD lanes, rows on every
// core), side by side in one run.
//
// "Cold" runs start every iteration from the process's initial state
// (digamma tables empty, nothing remembered); "warm" runs repeat the same
// work with everything the process remembers in place.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <string>
#include <string_view>

#include "commands.h"
#include "digamma_lanes.h"
#include "digamma_memory.h"
#include "bench_cases.h"
#include "energy_solver.h"
#include "numbertext.h"
#include "specialfunctions.h"

namespace {

using quorix::bench::DefaultCase;

void UsePath(benchmark::State& state, int fast) {
  quorix::SetStraightforwardEvaluation(fast == 0);
  state.SetLabel(fast != 0 ? std::string("fast/") + quorix::detail::DigammaLaneKind() : "straightforward");
}

// args: n × 10, complementary (0/1), cold (0/1), fast path (0/1)
void BM_Solve(benchmark::State& state) {
  const double n = static_cast<double>(state.range(0)) / 10.0;
  const bool cold = state.range(2) != 0;
  UsePath(state, static_cast<int>(state.range(3)));
  quorix::BoucWenCase bw = DefaultCase(n, state.range(1) != 0);
  quorix::SolveEnergy(bw);  // the warm runs start warm
  for (auto _ : state) {
    if (cold) {
      state.PauseTiming();
      quorix::ForgetRememberedValues();
      state.ResumeTiming();
    }
    quorix::SolveEnergy(bw);
    benchmark::DoNotOptimize(bw.DE);
  }
  quorix::SetStraightforwardEvaluation(false);
}
BENCHMARK(BM_Solve)
    ->ArgNames({"nx10", "compl", "cold", "fast"})
    ->ArgsProduct({{20, 30}, {0, 1}, {0, 1}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);

class NullSink : public quorix::SweepSink {
 public:
  void Open() override {}
  void WriteLine(std::string_view line) override { bytes_ += line.size() + 2; }
  std::size_t bytes_ = 0;
};

quorix::CaseTexts CaseAt(double n) {
  quorix::CaseTexts texts;
  texts.Nee = quorix::FormatPlainNumber(n);
  return texts;
}

// The default sweep (0.1 to 10.0 by 0.1, Complementary), cold; args: n × 10,
// fast path (0/1).
void BM_DefaultSweep(benchmark::State& state) {
  const quorix::CaseTexts texts = CaseAt(static_cast<double>(state.range(0)) / 10.0);
  UsePath(state, static_cast<int>(state.range(1)));
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
  quorix::SetStraightforwardEvaluation(false);
}
BENCHMARK(BM_DefaultSweep)
    ->ArgNames({"nx10", "fast"})
    ->ArgsProduct({{20, 30, 15}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// A 100000-row sweep at n = 3 on the fast path, cold: how much the
// remembered series take. Reported as counters.
void BM_LongSweepMemory(benchmark::State& state) {
  const quorix::CaseTexts texts = CaseAt(3.0);
  quorix::SweepTexts range;
  range.From = "0.0001";
  range.To = "10";
  range.Step = "0.0001";
  for (auto _ : state) {
    quorix::ForgetRememberedValues();
    const std::size_t before = mallinfo2().uordblks;
    quorix::BoucWenCase bw;
    NullSink sink;
    quorix::RunSweep(texts, range, bw, sink);
    state.counters["rows"] = static_cast<double>(sink.bytes_ > 0 ? 100000 : 0);
    state.counters["remembered"] = static_cast<double>(quorix::detail::RememberedSeriesCount());
    state.counters["heap_growth_bytes"] = static_cast<double>(mallinfo2().uordblks - before);
  }
}
BENCHMARK(BM_LongSweepMemory)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
