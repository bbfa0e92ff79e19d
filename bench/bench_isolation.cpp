// Speed of the isolation room: the properties at D over a grid of
// (case, D) pairs as an array would give them (a million per batch, the
// exponent and γ changing every 1000 pairs, D every pair; each pair alone,
// and through one Loop per case), the same pairs the previous way
// (isolation_before.cpp) in the same run, and one design with every fixed
// point in the default range 0.01·Uy … 100·Uy, for each code.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "design.h"
#include "isolation.h"
#include "isolation_before.h"

namespace {

using quorix::Case;
using quorix::NormalisedCase;
namespace iso = quorix::isolation;

struct Pair {
  Case c;
  double D;
};

std::vector<Pair> Pairs(int count) {
  std::vector<Pair> pairs;
  pairs.reserve(static_cast<std::size_t>(count));
  const double ns[] = {0.5, 1.0, 1.5, 2.0, 3.0, 5.0, 10.0};
  const double gammas[] = {0.1, 0.3, 0.5, 0.7, 0.9};
  for (int i = 0; i < count; ++i) {
    const int group = i / 1000;
    const Case c = NormalisedCase(ns[group % 7], gammas[(group / 7) % 5], 0.05, 200.0, 0.01);
    // D from 0.05·Uy to 50·Uy, logarithmically.
    const double D = c.Uy * 0.05 * std::pow(1000.0, (i % 1000) / 999.0);
    pairs.push_back({c, D});
  }
  return pairs;
}

void BM_PropertiesMillion(benchmark::State& state) {
  const std::vector<Pair> pairs = Pairs(1000000);
  for (auto _ : state) {
    double sum = 0.0;
    for (const Pair& p : pairs) {
      const iso::Properties q = iso::PropertiesAt(p.c, p.D);
      sum += q.Qd + q.betaEff;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(pairs.size()));
}
BENCHMARK(BM_PropertiesMillion)->Unit(benchmark::kMillisecond)->Iterations(1);

// The same pairs through one Loop per case: its tables looked up once for
// the 1000 displacements that share it.
void BM_PropertiesMillionByCase(benchmark::State& state) {
  const std::vector<Pair> pairs = Pairs(1000000);
  for (auto _ : state) {
    double sum = 0.0;
    for (std::size_t start = 0; start < pairs.size(); start += 1000) {
      const iso::Loop loop(pairs[start].c);
      for (std::size_t i = start; i < start + 1000; ++i) {
        const iso::Properties q = loop.At(pairs[i].D);
        sum += q.Qd + q.betaEff;
      }
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(pairs.size()));
}
BENCHMARK(BM_PropertiesMillionByCase)->Unit(benchmark::kMillisecond)->Iterations(1);

// The same, the previous way: Newton's method on the Lerch sums at every step.
void BM_PropertiesMillionByCasePrevious(benchmark::State& state) {
  const std::vector<Pair> pairs = Pairs(1000000);
  for (auto _ : state) {
    double sum = 0.0;
    for (std::size_t start = 0; start < pairs.size(); start += 1000) {
      const quorix::isolation_before::PreviousLoop loop(pairs[start].c);
      for (std::size_t i = start; i < start + 1000; ++i) {
        const iso::Properties q = loop.At(pairs[i].D);
        sum += q.Qd + q.betaEff;
      }
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(pairs.size()));
}
BENCHMARK(BM_PropertiesMillionByCasePrevious)->Unit(benchmark::kMillisecond)->Iterations(1);

// Not a timing: the largest relative difference between the two ways over a
// tenth of the pairs (Keff, EDC, Qd), shown as a counter beside the times.
void BM_AgreementWithPrevious(benchmark::State& state) {
  const std::vector<Pair> pairs = Pairs(1000000);
  double largest = 0.0;
  for (auto _ : state) {
    for (std::size_t start = 0; start < pairs.size(); start += 10000) {
      const iso::Loop loop(pairs[start].c);
      const quorix::isolation_before::PreviousLoop previous(pairs[start].c);
      for (std::size_t i = start; i < start + 1000; ++i) {
        const iso::Properties a = loop.At(pairs[i].D), b = previous.At(pairs[i].D);
        for (const auto& [x, y] : {std::pair{a.Keff, b.Keff}, std::pair{a.EDC, b.EDC}, std::pair{a.Qd, b.Qd}}) {
          largest = std::max(largest, std::abs(x - y) / std::abs(y));
        }
      }
    }
  }
  state.counters["largest_relative_difference"] = largest;
}
BENCHMARK(BM_AgreementWithPrevious)->Iterations(1);

void BM_Design(benchmark::State& state) {
  const auto code = static_cast<iso::Code>(state.range(0));
  const Case c = NormalisedCase(2.0, 0.5, 0.05, 200.0, 0.01);
  iso::DesignInput in;
  in.N = 8;
  in.W = 20000.0;
  in.g = 9.81;
  in.spectrum.S1 = 0.6;
  in.code = code;
  in.Dmin = 0.01 * c.Uy;
  in.Dmax = 100.0 * c.Uy;
  for (auto _ : state) {
    const iso::Loop loop(c);
    const iso::Design d = iso::DesignDisplacement(in, [&](double D) { return loop.At(D); });
    benchmark::DoNotOptimize(d.points.data());
  }
}
BENCHMARK(BM_Design)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

}  // namespace
