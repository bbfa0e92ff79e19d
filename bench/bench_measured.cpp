// Speed of the measured-record path: reading a record file of 10⁶ points and
// cutting it into cycles, fits on 10⁴ and 10⁶ points, and the refusal of 10⁶
// points of small cycles. The records are made by
// the tests' RK4 integration of the law (three amplitudes, three cycles
// each), written once with 17 significant digits.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cycles.h"
#include "decimal.h"
#include "fit.h"
#include "record.h"
#include "response.h"
#include "synthetic.h"
#include "system_services.h"

namespace {

namespace fs = std::filesystem;
using namespace quorix::measured;

const testing::TrueModel kModel{2.0, 0.7, 0.1, 50.0, 2.0};

testing::Synthetic Record(int perQuarter, int substeps) {
  using testing::Block;
  return testing::MakeRecord(kModel, {Block{1.4, 3, true}, Block{3.0, 3, true}, Block{8.0, 3, true}}, perQuarter,
                             substeps);
}

// The 10⁶-point record as a file: "u;F" header, CR LF lines.
class RecordFile {
 public:
  RecordFile() {
    const testing::Synthetic rec = Record(27778, 1);
    std::string pattern = (fs::temp_directory_path() / "quorix-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    dir_ = pattern;
    path_ = (dir_ / "record.csv").string();
    std::string text = "u;F\r\n";
    text.reserve(rec.u.size() * 44);
    char buffer[32];
    for (std::size_t i = 0; i < rec.u.size(); ++i) {
      text.append(buffer, quorix::decimal::WriteShortest(buffer, buffer + sizeof buffer, rec.u[i]).ptr);
      text += ';';
      text.append(buffer, quorix::decimal::WriteShortest(buffer, buffer + sizeof buffer, rec.F[i]).ptr);
      text += "\r\n";
    }
    std::FILE* file = std::fopen(path_.c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
    points_ = rec.u.size();
    bytes_ = text.size();
  }
  ~RecordFile() { fs::remove_all(dir_); }
  const std::string& Path() const { return path_; }
  std::size_t Points() const { return points_; }
  std::size_t Bytes() const { return bytes_; }

 private:
  fs::path dir_;
  std::string path_;
  std::size_t points_ = 0, bytes_ = 0;
};

void BM_ReadAndCycles1e6(benchmark::State& state) {
  static const RecordFile file;
  quorix::platform::SystemServices services;
  for (auto _ : state) {
    const quorix::measured::Record record = ReadRecordFile(services, file.Path());
    const CycleTable table = FindCycles(record.u, record.F);
    const double edc = table.steadyMeans.EDC;
    benchmark::DoNotOptimize(edc);
  }
  state.counters["points"] = static_cast<double>(file.Points());
  state.counters["MB"] = static_cast<double>(file.Bytes()) / 1e6;
}
BENCHMARK(BM_ReadAndCycles1e6)->Unit(benchmark::kMillisecond);

// The largest relative error of the five fitted parameters.
double WorstError(const FitResult& fit) {
  const double truth[5] = {kModel.n, kModel.gamma, kModel.alpha, kModel.Fy, kModel.Uy};
  const double got[5] = {fit.parameters.n, fit.parameters.gamma, fit.parameters.alpha, fit.parameters.Fy,
                         fit.parameters.Uy};
  double worst = 0.0;
  for (int i = 0; i < 5; ++i) worst = std::fmax(worst, std::fabs(got[i] / truth[i] - 1.0));
  return worst;
}

// The fit along the whole record: two cycles at each of 0.3, 0.6, 1 and
// 1.5 Uy from rest, all five parameters free, from the record's own
// starting values; `perQuarter` samples a quarter cycle.
void FitProtocol(benchmark::State& state, int perQuarter, int substeps) {
  using testing::Block;
  const testing::Synthetic rec = testing::MakeRecord(
      kModel, {Block{0.6, 2, false}, Block{1.2, 2, false}, Block{2.0, 2, false}, Block{3.0, 2, false}}, perQuarter,
      substeps);
  const CycleTable table = FindCycles(rec.u, rec.F);
  FitResult fit;
  for (auto _ : state) {
    fit = Fit(rec.u, rec.F, table);
    const double n = fit.parameters.n;
    benchmark::DoNotOptimize(n);
  }
  state.counters["points"] = static_cast<double>(fit.points.size());
  state.counters["copy"] = static_cast<double>(fit.sketchSamples);
  state.counters["iterations"] = fit.iterations;
  state.counters["max_rel_err"] = WorstError(fit);
}

// 312 samples a quarter cycle: 9985 samples.
void BM_FitRecord1e4(benchmark::State& state) { FitProtocol(state, 312, 16); }
BENCHMARK(BM_FitRecord1e4)->Unit(benchmark::kMillisecond)->Iterations(3);

// 31250 samples a quarter cycle, 10⁶ samples: the search on a thinned
// copy, finished on every sample.
void BM_FitRecord1e6(benchmark::State& state) { FitProtocol(state, 31250, 1); }
BENCHMARK(BM_FitRecord1e6)->Unit(benchmark::kMillisecond)->Iterations(3);

// The same with Gaussian noise of 0.1 % of max|u| on the displacement: the
// motion turns at most samples, and the fit along it refuses: the time to
// say so.
void BM_FitRecord1e6NoisyU(benchmark::State& state) {
  using testing::Block;
  testing::Synthetic rec = testing::MakeRecord(
      kModel, {Block{0.6, 2, false}, Block{1.2, 2, false}, Block{2.0, 2, false}, Block{3.0, 2, false}}, 31250, 1);
  testing::AddNoise(rec, 0.0, 1e-3, 0.0, 7);
  const CycleTable table = FindCycles(rec.u, rec.F);
  std::string outcome;
  for (auto _ : state) {
    try {
      const FitResult fit = Fit(rec.u, rec.F, table);
      outcome = "fitted, max_rel_err " + std::to_string(WorstError(fit));
    } catch (const quorix::Refusal& e) {
      outcome = std::string(e.what()).substr(0, 50);
    }
  }
  state.SetLabel(outcome);
}
BENCHMARK(BM_FitRecord1e6NoisyU)->Unit(benchmark::kMillisecond)->Iterations(1);

// 10⁶ samples of 125000 small cycles (0.15 Uy, 8 samples each), the exact
// response: the loops hardly open and the fit refuses; the time to say so.
void BM_FitManySmallCycles1e6(benchmark::State& state) {
  static const std::vector<double> u = [] {
    std::vector<double> path{0.0};
    const double a = 0.15 * kModel.Uy;
    for (int c = 0; c < 125000; ++c) {
      for (double x : {0.5, 1.0, 0.5, 0.0, -0.5, -1.0, -0.5, 0.0}) path.push_back(a * x);
    }
    return path;
  }();
  static const std::vector<double> F =
      quorix::response::RespondAlong(u, {kModel.n, kModel.gamma, kModel.alpha, kModel.Fy, kModel.Uy}).F;
  const CycleTable table = FindCycles(u, F);
  std::string refusal;
  for (auto _ : state) {
    try {
      Fit(u, F, table);
      refusal = "(accepted)";
    } catch (const quorix::Refusal& e) {
      refusal = e.what();
    }
  }
  state.SetLabel(refusal.substr(0, 60));
  state.counters["points"] = static_cast<double>(u.size());
}
BENCHMARK(BM_FitManySmallCycles1e6)->Unit(benchmark::kMillisecond)->Iterations(3);

// The steady fit: the steady cycles 2, 5 and 8 of a record whose blocks
// each begin on their steady cycle, sampled 834 points a quarter cycle:
// 3 × 3336 = 10008 fitted points, all five parameters free.
void BM_FitSteady1e4(benchmark::State& state) {
  static const testing::Synthetic rec = Record(834, 4);
  const CycleTable table = FindCycles(rec.u, rec.F);
  FitOptions options;
  options.steady = true;
  FitResult fit;
  for (auto _ : state) {
    fit = Fit(rec.u, rec.F, table, options);
    // Through a const reference: the read-write form may hand a double
    // back through a general register and change it.
    const double n = fit.parameters.n;
    benchmark::DoNotOptimize(n);
  }
  state.counters["points"] = static_cast<double>(fit.points.size());
  state.counters["iterations"] = fit.iterations;
  state.counters["max_rel_err"] = WorstError(fit);
}
BENCHMARK(BM_FitSteady1e4)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
