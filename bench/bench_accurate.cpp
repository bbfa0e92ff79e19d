// Speed of the accurate Solve beside a peer that computes the same nine
// results the way an engineer would with a C special-function library:
// GSL's gsl_sf_hyperg_2F1 for every F(1, b; 1 + b; t) and its Brent solver
// (gsl_root_fsolver_brent) for Za, to a bracket of 1e-12.
//
// Log-gamma and gamma of the accurate path beside the C library's lgamma_r
// and tgamma, which the accurate path used before it had its own.
//
// "Cold" runs empty the accurate path's per-thread coefficient tables before
// every iteration, as in a process's first Solve; warm runs keep them, as on
// every later Solve with the same n. The peer keeps nothing.
#include <benchmark/benchmark.h>
#include <gsl/gsl_errno.h>
#include <gsl/gsl_roots.h>
#include <gsl/gsl_sf_hyperg.h>

#include <math.h>  // lgamma_r

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "accurate.h"
#include "bench_cases.h"
#include "energy_solver.h"
#include "lerch.h"

namespace {

using quorix::bench::DefaultCase;

// --- the peer ---------------------------------------------------------------

// F(1, b; 1 + b; t). GSL's series needs |t| < 1; below −1 Pfaff's
// transformation F(1, b; 1 + b; t) = F(1, 1; 1 + b; t/(t − 1))/(1 − t) brings
// the argument into (½, 1).
double PeerF(double b, double t) {
  if (t < -1.0) return gsl_sf_hyperg_2F1(1.0, 1.0, 1.0 + b, t / (t - 1.0)) / (1.0 - t);
  return gsl_sf_hyperg_2F1(1.0, b, 1.0 + b, t);
}

struct PeerParameters {
  double n;
  double w;
  double u;
};

double PeerAmplitude(double x, const PeerParameters& p) {
  const double b = 1.0 / p.n;
  const double xn = std::pow(x, p.n);
  return 0.5 * x * (PeerF(b, p.w * xn) + PeerF(b, xn));
}

double PeerResidual(double x, void* parameters) {
  const auto& p = *static_cast<const PeerParameters*>(parameters);
  return PeerAmplitude(x, p) - p.u;
}

void PeerSolve(quorix::BoucWenCase& bw, gsl_root_fsolver* solver) {
  PeerParameters p{bw.Nee, bw.BetaSmall - bw.GammaSmall, bw.UmaxOverUy};
  const double top = PeerAmplitude(quorix::ZaUpperBound, p);
  double za = 1.0;
  if (p.u == 0.0) {
    za = 0.0;
  } else if (p.u <= top) {
    gsl_function f{&PeerResidual, &p};
    gsl_root_fsolver_set(solver, &f, 0.0, quorix::ZaUpperBound);
    int status = GSL_CONTINUE;
    for (int i = 0; i < 100 && status == GSL_CONTINUE; ++i) {
      gsl_root_fsolver_iterate(solver);
      status = gsl_root_test_interval(gsl_root_fsolver_x_lower(solver), gsl_root_fsolver_x_upper(solver), 1e-12, 0.0);
    }
    za = gsl_root_fsolver_root(solver);
  }
  const double zc = za == 1.0 ? quorix::ZaUpperBound : za;
  const double b1 = 1.0 / p.n, b2 = 2.0 / p.n;
  const double xn = std::pow(zc, p.n);
  bw.Za = za;
  bw.Fha = (1.0 - bw.AlphaSmall) * bw.Fy * za;
  bw.Fela = bw.AlphaSmall * bw.Fy * p.u;
  bw.Fa = bw.Fha + bw.Fela;
  if (bw.Complementary) {
    bw.Kcd = (0.5 * zc * PeerF(b2, p.w * xn) + PeerF(b1, p.w * xn)) * zc;
    bw.Kda = (PeerF(b1, xn) - 0.5 * zc * PeerF(b2, xn)) * zc;
    bw.DEOverFhUy = (2.0 * p.u - bw.Kcd - bw.Kda) * 2.0;
  } else {
    bw.Kcd = -0.5 * za * za * PeerF(b2, p.w * xn);
    bw.Kda = 0.5 * za * za * PeerF(b2, xn);
    bw.DEOverFhUy = (bw.Kcd + bw.Kda) * 2.0;
  }
  bw.DEOverFyUy = (1.0 - bw.AlphaSmall) * bw.DEOverFhUy;
  bw.DE = bw.DEOverFyUy * bw.Fy * bw.Uy;
}

class PeerSolver {
 public:
  PeerSolver() : solver_(gsl_root_fsolver_alloc(gsl_root_fsolver_brent)) { gsl_set_error_handler_off(); }
  ~PeerSolver() { gsl_root_fsolver_free(solver_); }
  PeerSolver(const PeerSolver&) = delete;
  PeerSolver& operator=(const PeerSolver&) = delete;
  void Solve(quorix::BoucWenCase& bw) { PeerSolve(bw, solver_); }

 private:
  gsl_root_fsolver* solver_;
};

// The rows of the default sweep (0.1 to 10.0 by 0.1): U = 0.1·i + 0.1 for
// i = 0 … round((10.0 − 0.1)/0.1), from the integer i as the sweep forms it.
constexpr double kFrom = 0.1, kTo = 10.0, kStep = 0.1;
std::int32_t LastRow() { return static_cast<std::int32_t>(std::nearbyint((kTo - kFrom) / kStep)); }

// --- benchmarks -----------------------------------------------------------

// DoNotOptimize on a double lvalue uses a read-write register constraint that
// GCC 12 at -O1 and above has been seen to turn into a lost store (the
// double read back afterwards was garbage); the whole record, which goes
// through memory, and a value passed as const are safe.
void KeepValue(const double& value) { benchmark::DoNotOptimize(value); }

// args: n × 10, complementary (0/1), cold (0/1)
void BM_AccurateSolve(benchmark::State& state) {
  const bool cold = state.range(2) != 0;
  quorix::BoucWenCase bw = DefaultCase(static_cast<double>(state.range(0)) / 10.0, state.range(1) != 0);
  quorix::accurate::Solve(bw);
  for (auto _ : state) {
    if (cold) quorix::exact::ForgetFamilies();
    quorix::accurate::Solve(bw);
    benchmark::DoNotOptimize(bw);
  }
}
BENCHMARK(BM_AccurateSolve)
    ->ArgNames({"nx10", "compl", "cold"})
    ->ArgsProduct({{20, 30}, {0, 1}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);

// args: n × 10, complementary (0/1)
void BM_PeerSolve(benchmark::State& state) {
  PeerSolver peer;
  quorix::BoucWenCase bw = DefaultCase(static_cast<double>(state.range(0)) / 10.0, state.range(1) != 0);
  for (auto _ : state) {
    peer.Solve(bw);
    benchmark::DoNotOptimize(bw);
  }
  // How far the peer lands from the accurate values.
  quorix::BoucWenCase exact = bw;
  quorix::accurate::Solve(exact);
  char label[96];
  std::snprintf(label, sizeof label, "vs accurate: Za %.1e, DE %.1e relative", std::fabs(bw.Za / exact.Za - 1.0),
                std::fabs(bw.DE / exact.DE - 1.0));
  state.SetLabel(label);
}
BENCHMARK(BM_PeerSolve)->ArgNames({"nx10", "compl"})->ArgsProduct({{20, 30}, {0, 1}})->Unit(benchmark::kMicrosecond);

// The default sweep at n = 3 (Complementary, the window's default), in
// process, from empty tables on every iteration.
void BM_AccurateDefaultSweep(benchmark::State& state) {
  const std::int32_t last = LastRow();
  for (auto _ : state) {
    quorix::exact::ForgetFamilies();
    quorix::BoucWenCase bw = DefaultCase(3.0, true);
    double total = 0.0;
    for (std::int32_t i = 0; i <= last; ++i) {
      bw.UmaxOverUy = kStep * static_cast<double>(i) + kFrom;
      quorix::accurate::Solve(bw);
      total += bw.DE;
    }
    KeepValue(total);
  }
  state.counters["rows"] = last + 1;
}
BENCHMARK(BM_AccurateDefaultSweep)->Unit(benchmark::kMillisecond);

void BM_PeerDefaultSweep(benchmark::State& state) {
  PeerSolver peer;
  const std::int32_t last = LastRow();
  for (auto _ : state) {
    quorix::BoucWenCase bw = DefaultCase(3.0, true);
    double total = 0.0;
    for (std::int32_t i = 0; i <= last; ++i) {
      bw.UmaxOverUy = kStep * static_cast<double>(i) + kFrom;
      peer.Solve(bw);
      total += bw.DE;
    }
    KeepValue(total);
  }
  state.counters["rows"] = last + 1;
}
BENCHMARK(BM_PeerDefaultSweep)->Unit(benchmark::kMillisecond);

// --- studies of many cases -------------------------------------------------

// A study's cases: U spread over (0.05, 10) by the golden ratio's fractional
// parts (no two alike, no order to exploit), γ over (0.5, 0.99) the same way
// with β = 1 − γ, both formula sets; n fixed, or (nx10 = 0) a new n for every
// case, spread over (0.5, 5).
std::vector<quorix::BoucWenCase> StudyCases(double n, bool varyW, std::size_t count) {
  constexpr double kGolden = 0.6180339887498949;
  std::vector<quorix::BoucWenCase> cases(count, DefaultCase(n, false));
  double phase = 0.0;
  for (std::size_t i = 0; i < count; ++i) {
    phase = std::fmod(phase + kGolden, 1.0);
    quorix::BoucWenCase& bw = cases[i];
    bw.UmaxOverUy = 0.05 + 9.95 * phase;
    bw.Complementary = i % 2 == 1;
    if (varyW) {
      bw.GammaSmall = 0.5 + 0.49 * std::fmod(phase * 7.0, 1.0);
      bw.BetaSmall = 1.0 - bw.GammaSmall;
    }
    if (n == 0.0) bw.Nee = 0.5 + 4.5 * std::fmod(phase * 13.0, 1.0);
  }
  return cases;
}

// args: n × 10 (0: a new n every case), β and γ varied (0/1). Time per case
// in items: the rows of a study in one thread, every case solved once a pass.
void BM_AccurateStudy(benchmark::State& state) {
  const std::vector<quorix::BoucWenCase> cases =
      StudyCases(static_cast<double>(state.range(0)) / 10.0, state.range(1) != 0, 4096);
  std::vector<quorix::BoucWenCase> solved = cases;
  for (auto _ : state) {
    for (quorix::BoucWenCase& bw : solved) quorix::accurate::Solve(bw);
    benchmark::DoNotOptimize(solved.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(cases.size()));
}
BENCHMARK(BM_AccurateStudy)
    ->ArgNames({"nx10", "vary_w"})
    ->Args({20, 0})
    ->Args({30, 0})
    ->Args({30, 1})
    ->Args({0, 1})
    ->Unit(benchmark::kMillisecond);

// --- log-gamma and gamma ----------------------------------------------------

// Arguments of every branch: below 2⁻⁵⁴, the shift below 16, the series next
// to 1 and 2, Stirling's series, and the reflection (near a zero below −2
// too); 2 per branch, the same for each function.
constexpr std::array<double, 16> kGammaArguments = {1e-20,  3e-18, 0.3,   7.25,  1.03, 0.97, 2.01,    1.99,
                                                    25.5,   140.7, -0.3,  -7.75, -2.457024738220801,
                                                    -33.5, -150.25, 1e6};

template <double (*F)(double)>
void BM_GammaFamily(benchmark::State& state) {
  for (auto _ : state) {
    double total = 0.0;
    for (double x : kGammaArguments) total += F(x);
    KeepValue(total);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kGammaArguments.size()));
}
double PeerLogGamma(double x) {
  int sign = 0;
  return ::lgamma_r(x, &sign);
}
double PeerGamma(double x) { return std::tgamma(x); }
BENCHMARK(BM_GammaFamily<quorix::accurate::LogGamma>)->Name("BM_AccurateLogGamma");
BENCHMARK(BM_GammaFamily<PeerLogGamma>)->Name("BM_PeerLogGamma");
BENCHMARK(BM_GammaFamily<quorix::accurate::Gamma>)->Name("BM_AccurateGamma");
BENCHMARK(BM_GammaFamily<PeerGamma>)->Name("BM_PeerGamma");

}  // namespace
