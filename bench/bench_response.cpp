// The response along a long displacement history: the closed form against
// an adaptive eighth-order Runge-Kutta integration of the same law (GSL's
// rk8pd) at three relative tolerances, on the same samples.
//
// History: 10⁶ samples of 20 cycles of rising amplitude, 0.25 to 5 Uy, from
// rest; n = 2.5, γ = 0.75; and the same 20 cycles in 10⁴ samples (sparse),
// where rk8pd takes steps of its own between samples. Between two reversals the displacement follows
// half a cosine, x = a + (b − a)·(1 − cos πτ)/2, so that it moves one way
// and reverses exactly at a sample: on such a path z depends on x alone,
// and the closed form of the samples is the exact solution of the
// continuous path too. (With reversals between samples the path would
// overshoot the sampled peak, and the two would differ by that overshoot.)
// rk8pd is restarted at each reversal, where the law's |ẋ| has its kink.
// Each integration reports the largest |z − z_exact| as max_error.
#include <benchmark/benchmark.h>
#include <gsl/gsl_errno.h>
#include <gsl/gsl_odeiv2.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <new>
#include <numbers>
#include <vector>

#include "response.h"

// Every allocation of the program counted, to see that following a history
// allocates nothing per sample.
namespace {
std::atomic<std::size_t> gAllocations{0};
}  // namespace

// The replaced operator new takes its memory from malloc, so free is the
// matching release; GCC, inlining the pair, takes it for a plain new freed
// by free and warns.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void* operator new(std::size_t size) {
  ++gAllocations;
  if (void* p = std::malloc(size != 0 ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {


constexpr int kHalfCycles = 40;
// 10⁶ samples: 12400 on the first quarter cycle, 24690 on each half cycle
// after it, the rest on the last quarter. The sparse history has 10⁴.
struct Sampling {
  int firstQuarter, perHalfCycle;
};
constexpr Sampling kDense{12'400, 24'690};
constexpr Sampling kSparse{124, 247};
const quorix::Case kModel = quorix::NormalisedCase(2.5, 0.75, 0.08, 3.1, 1.0);

// One monotone piece: from x = a at time t0 to x = b at t0 + duration.
struct Piece {
  double t0, duration, a, b;
  int samples;  // samples after its start, its end included
  double X(double t) const { return a + (b - a) * 0.5 * (1.0 - std::cos(std::numbers::pi * (t - t0) / duration)); }
  double XDot(double t) const {
    return (b - a) * 0.5 * std::numbers::pi / duration * std::sin(std::numbers::pi * (t - t0) / duration);
  }
  double TimeAt(int k) const { return t0 + duration * k / samples; }
};

std::vector<Piece> PiecesOf(Sampling s) {
  std::vector<Piece> v;
  double t = 0.0, x = 0.0;
  for (int j = 0; j < kHalfCycles; ++j) {
    const double peak = (j % 2 == 0 ? 1.0 : -1.0) * (0.25 + 4.75 * j / (kHalfCycles - 1));
    const double duration = j == 0 ? 0.25 : 0.5;
    v.push_back({t, duration, x, peak, j == 0 ? s.firstQuarter : s.perHalfCycle});
    t += duration, x = peak;
  }
  // The last piece back to zero completes the count.
  v.push_back({t, 0.25, x, 0.0, s.perHalfCycle - s.firstQuarter});
  return v;
}

// A history, its pieces and its exact response, made once.
struct History {
  std::vector<Piece> pieces;
  std::vector<double> u;
  std::vector<double> z;
  explicit History(Sampling s) : pieces(PiecesOf(s)), u{0.0} {
    for (const Piece& p : pieces) {
      for (int k = 1; k <= p.samples; ++k) u.push_back(k == p.samples ? p.b : p.X(p.TimeAt(k)));
    }
    z = quorix::response::RespondAlong(u, kModel).z;
  }
};

const History& HistoryOf(bool sparse) {
  static const History dense(kDense), few(kSparse);
  return sparse ? few : dense;
}

void BM_ResponseClosedForm(benchmark::State& state) {
  const std::vector<double>& u = HistoryOf(state.range(0) != 0).u;
  double sink = 0.0;
  std::size_t allocations = 0;
  for (auto _ : state) {
    quorix::response::Response r(kModel, 0.0, u[0]);
    const std::size_t before = gAllocations.load();
    for (std::size_t k = 1; k < u.size(); ++k) {
      r.Next(u[k]);
      sink += r.Z();
    }
    allocations = gAllocations.load() - before;
    benchmark::DoNotOptimize(sink);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(u.size()));
  state.counters["allocations"] = static_cast<double>(allocations);
}
BENCHMARK(BM_ResponseClosedForm)->ArgName("sparse")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// dz/dt = ẋ·(1 − γ·sign(ẋ)·|z|^(n−1)·z − β·|z|ⁿ), x = u/Uy with Uy = 1, on
// one piece; the sign is the piece's own, so that the end points, where
// ẋ = 0, belong to it.
int Law(double t, const double y[], double dydt[], void* parameters) {
  const Piece& piece = *static_cast<const Piece*>(parameters);
  const double v = piece.XDot(t);
  const double z = y[0];
  const double a = std::fabs(z);
  const double sign = piece.b > piece.a ? 1.0 : -1.0;
  dydt[0] = v * (1.0 - kModel.gamma * sign * std::pow(a, kModel.n - 1.0) * z - (1.0 - kModel.gamma) * std::pow(a, kModel.n));
  return GSL_SUCCESS;
}

void BM_ResponseRk8pd(benchmark::State& state) {
  const double tolerance = std::pow(10.0, -static_cast<double>(state.range(0)));
  const History& c = HistoryOf(state.range(1) != 0);
  const std::vector<double>& exact = c.z;
  double largest = 0.0;
  for (auto _ : state) {
    double y[1] = {0.0};
    std::size_t sample = 0;
    largest = 0.0;
    for (const Piece& piece : c.pieces) {
      gsl_odeiv2_system system{Law, nullptr, 1, const_cast<Piece*>(&piece)};
      gsl_odeiv2_driver* driver = gsl_odeiv2_driver_alloc_y_new(&system, gsl_odeiv2_step_rk8pd, 1e-6, 0.0, tolerance);
      double t = piece.t0;
      for (int k = 1; k <= piece.samples; ++k) {
        if (gsl_odeiv2_driver_apply(driver, &t, piece.TimeAt(k), y) != GSL_SUCCESS) state.SkipWithError("rk8pd failed");
        ++sample;
        largest = std::fmax(largest, std::fabs(y[0] - exact[sample]));
      }
      gsl_odeiv2_driver_free(driver);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(c.u.size()));
  state.counters["max_error"] = largest;
}
BENCHMARK(BM_ResponseRk8pd)
    ->ArgNames({"tol", "sparse"})
    ->ArgsProduct({{8, 10, 12}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

}  // namespace
