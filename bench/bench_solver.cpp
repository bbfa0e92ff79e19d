// Speed of one Solve and of sweeps, on the straightforward path (every
// digamma series summed anew, one at a time, sweeps on one thread) and on
// the fast path (series remembered and summed in SIMD lanes, rows on every
// core), side by side in one run.
//
// "Cold" runs start every iteration from the process's initial state
// (digamma tables empty, nothing remembered); "warm" runs repeat the same
// work with everything the process remembers in place.
#include <benchmark/benchmark.h>
#include <immintrin.h>
#include <malloc.h>

#include <string>
#include <thread>
#include <vector>
#include <string_view>

#include "commands.h"
#include "digamma_lanes.h"
#include "digamma_memory.h"
#include "lane_division.h"
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

// The floor of a cold n = 3 sweep: the 87 distinct series it asks for
// (ψ(j + 1/3) for j < 47, ψ(j + 2/3) for j < 40), each 100000 terms
// xm/((k + xm)·k) added in order, eight to a pass of AVX-512 (four of AVX2)
// with nothing else in the loop: no stop test, no memory, no locks, on
// `threads` threads taking alternate passes. args: threads.
__attribute__((target("avx512f"))) double FloorPass8(const double* x) {
  const __m512d one = _mm512_set1_pd(1.0);
  const __m512d xm = _mm512_sub_pd(_mm512_loadu_pd(x), one);
  __m512d s = _mm512_setzero_pd();
  __m512d k = _mm512_setzero_pd();
  for (int n = 0; n < 100000; ++n) {
    k = _mm512_add_pd(k, one);
    s = _mm512_add_pd(_mm512_div_pd(xm, _mm512_mul_pd(_mm512_add_pd(k, xm), k)), s);
  }
  alignas(64) double lanes[8];
  _mm512_store_pd(lanes, s);
  return lanes[0] + lanes[1] + lanes[2] + lanes[3] + lanes[4] + lanes[5] + lanes[6] + lanes[7];
}

__attribute__((target("avx2"))) double FloorPass4(const double* x) {
  const __m256d one = _mm256_set1_pd(1.0);
  const __m256d xm = _mm256_sub_pd(_mm256_loadu_pd(x), one);
  __m256d s = _mm256_setzero_pd();
  __m256d k = _mm256_setzero_pd();
  for (int n = 0; n < 100000; ++n) {
    k = _mm256_add_pd(k, one);
    s = _mm256_add_pd(_mm256_div_pd(xm, _mm256_mul_pd(_mm256_add_pd(k, xm), k)), s);
  }
  alignas(32) double lanes[4];
  _mm256_store_pd(lanes, s);
  return lanes[0] + lanes[1] + lanes[2] + lanes[3];
}

void BM_SeriesFloor(benchmark::State& state) {
  const int threads = static_cast<int>(state.range(0));
  __builtin_cpu_init();
  const bool avx512 = __builtin_cpu_supports("avx512f");
  const int width = avx512 ? 8 : 4;
  std::vector<double> x;
  for (int j = 0; j < 47; ++j) x.push_back(j + 1.0 / 3.0);
  for (int j = 0; j < 40; ++j) x.push_back(j + 2.0 / 3.0);
  while (x.size() % width != 0) x.push_back(x.back());
  const int passes = static_cast<int>(x.size()) / width;
  for (auto _ : state) {
    std::vector<double> sums(threads, 0.0);
    auto work = [&](int t) {
      for (int p = t; p < passes; p += threads) {
        sums[t] += avx512 ? FloorPass8(&x[p * width]) : FloorPass4(&x[p * width]);
      }
    };
    std::vector<std::thread> others;
    for (int t = 1; t < threads; ++t) others.emplace_back(work, t);
    work(0);
    for (std::thread& t : others) t.join();
    benchmark::DoNotOptimize(sums.data());
  }
  state.counters["s_per_lane_term"] =
      benchmark::Counter(87.0 * 100000.0, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.SetLabel(avx512 ? "avx512 vdivpd" : "avx2 vdivpd");
}
BENCHMARK(BM_SeriesFloor)->ArgName("threads")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same floor on one thread for each AVX-512 division, side by side:
// vdivpd, or the correctly rounded quotient from FMAs that the "avx512fma"
// lanes use (lane_division.h). args: kernel (0 vdivpd, 1 FMA).
template <bool kFma>
__attribute__((target("avx512f"))) double KernelPass8(const double* x) {
  const __m512d one = _mm512_set1_pd(1.0);
  const __m512d xm = _mm512_sub_pd(_mm512_loadu_pd(x), one);
  const quorix::detail::FmaDivisionBounds bounds = quorix::detail::FmaDivisionBoundsFor(xm);
  __m512d s = _mm512_setzero_pd();
  __m512d k = _mm512_setzero_pd();
  for (int n = 0; n < 100000; ++n) {
    k = _mm512_add_pd(k, one);
    const __m512d b = _mm512_mul_pd(_mm512_add_pd(k, xm), k);
    s = _mm512_add_pd(kFma ? quorix::detail::DivideByFma(xm, b, bounds) : _mm512_div_pd(xm, b), s);
  }
  alignas(64) double lanes[8];
  _mm512_store_pd(lanes, s);
  return lanes[0] + lanes[1] + lanes[2] + lanes[3] + lanes[4] + lanes[5] + lanes[6] + lanes[7];
}

void BM_SeriesFloorKernel(benchmark::State& state) {
  const bool fma = state.range(0) != 0;
  if (!__builtin_cpu_supports("avx512f")) {
    state.SkipWithError("no AVX-512");
    return;
  }
  std::vector<double> x;
  for (int j = 0; j < 47; ++j) x.push_back(j + 1.0 / 3.0);
  for (int j = 0; j < 40; ++j) x.push_back(j + 2.0 / 3.0);
  while (x.size() % 8 != 0) x.push_back(x.back());
  double sum = 0.0;
  for (auto _ : state) {
    for (std::size_t p = 0; p < x.size(); p += 8) sum += fma ? KernelPass8<true>(&x[p]) : KernelPass8<false>(&x[p]);
    benchmark::DoNotOptimize(sum);
  }
  state.counters["s_per_lane_term"] =
      benchmark::Counter(87.0 * 100000.0, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.SetLabel(fma ? "avx512 FMA quotient" : "avx512 vdivpd");
}
BENCHMARK(BM_SeriesFloorKernel)->ArgName("fma")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
