// quorix.solve, quorix.sweep and quorix.loop, and the Result class solve
// returns: one case or a broadcast grid of cases, through the same engine
// calls as the window and quorix-cli make.
#include <pybind11/stl.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string_view>

#include "accurate.h"
#include "commands.h"
#include "domain.h"
#include "energy_solver.h"
#include "numbertext.h"
#include "material.h"
#include "python_module.h"
#include "views.h"

namespace quorix::python {

Options ReadOptions(const py::object& mode, bool accurate, const std::string& outside) {
  Options options;
  options.accurate = accurate;
  if (outside != "raise" && outside != "warn") {
    throw py::value_error("outside_domain must be 'raise' or 'warn', not '" + outside + "'");
  }
  // The accurate arithmetic has no value outside the domain.
  options.refuseOutside = accurate || outside == "raise";
  const bool isText = PyUnicode_Check(mode.ptr()) != 0;
  if (isText && PyUnicode_CompareWithASCIIString(mode.ptr(), "complementary") == 0) {
    options.complementary = true;
  } else if (isText && PyUnicode_CompareWithASCIIString(mode.ptr(), "direct") == 0) {
    options.complementary = false;
  } else {
    throw py::value_error("mode must be 'complementary' or 'direct', not " + py::repr(mode).cast<std::string>());
  }
  return options;
}

const char* ModeName(bool complementary) { return complementary ? "complementary" : "direct"; }

namespace {

// ---------------------------------------------------------------------------
// Inputs and outputs of one case

// β as the window's β field shows it for γ: 1 − γ rounded to 15 significant
// digits and read back (γ = 0.9 gives .1, the double nearest 0.1, where
// 1 − 0.9 itself lies a little below it). A non-finite 1 − γ has nothing to
// round; one whose 15-digit text lies beyond the largest double reads as
// the infinity it rounds to, where the window's field would refuse it.
double BetaShownFor(double gamma) {
  const double beta = 1.0 - gamma;
  if (!std::isfinite(beta)) return beta;
  try {
    return ParseNumber(FormatPlainNumber(beta));
  } catch (const Refusal&) {
    return std::copysign(std::numeric_limits<double>::infinity(), beta);
  }
}

BoucWenCase RecordOfInputs(const std::array<double, kInputCount>& x, bool betaGiven, const Options& options) {
  const Case c{.n = x[kN],
               .beta = betaGiven ? x[kBeta] : BetaShownFor(x[kGamma]),
               .gamma = x[kGamma],
               .alpha = x[kAlpha],
               .Fy = x[kFy],
               .Uy = x[kUy]};
  BoucWenCase bw = RecordOf(c, x[kU]);
  bw.Complementary = options.complementary;
  return bw;
}

// The specified arithmetic never throws; the accurate one throws
// Refusal (a std::invalid_argument, hence ValueError) for a
// case outside the model's domain.
CaseSolver SolverFor(bool accurate) { return accurate ? accurate::Solve : SolveEnergy; }

static_assert(kOutputCount == kResultCount + 3, "the nine results and the three derived quantities");

Outputs OutputsOf(const BoucWenCase& solved) {
  Outputs out;
  const std::array<double, kResultCount> results = ResultValues(solved);
  std::copy(results.begin(), results.end(), out.begin());
  const DerivedQuantities derived = DeriveQuantities(solved);
  out[kResultCount] = derived.XiEq;
  out[kResultCount + 1] = derived.Ksec;
  out[kResultCount + 2] = derived.KsecOverK0;
  return out;
}

// ---------------------------------------------------------------------------
// One case of plain numbers

// The package's solve() takes this way for Python ints and floats: no arrays,
// no ufunc machinery, the interpreter free while the engine runs. The twelve
// outputs as a tuple of floats.
py::tuple SolveScalar(double n, double gamma, const std::optional<double>& beta, double alpha, double fy, double uy,
                      double u, const py::object& mode, bool accurate, const std::string& outside) {
  const Options options = ReadOptions(mode, accurate, outside);
  const std::array<double, kInputCount> x = {n, gamma, beta.value_or(0.0), alpha, fy, uy, u};
  if (beta && !WarnIfSumDiffers(beta.value(), gamma)) throw py::error_already_set();
  CallNotes notes(options);
  Outputs values;
  {
    py::gil_scoped_release release;
    values = SolveCase(x, beta.has_value(), options, &notes);
  }
  if (!notes.Warn("quorix.solve", 1)) throw py::error_already_set();
  py::tuple out(kOutputCount);
  for (int k = 0; k < kOutputCount; ++k) out[k] = py::float_(values[k]);
  return out;
}

// ---------------------------------------------------------------------------
// quorix.sweep

// Ctrl-C during a sweep: the sink ends it from the writing thread.
struct Interrupted {};

// The rows of the sweep into preallocated columns: Umax/Uy, the nine results
// and the derived quantities. The row texts are not wanted.
class ColumnSink final : public SweepSink {
 public:
  ColumnSink(std::array<double*, kOutputCount + 1> columns, std::size_t rows, CallNotes& notes)
      : columns_(columns), rows_(rows), notes_(notes) {}

  void Open() override {}
  void WriteLine(std::string_view /*line*/) override {}
  void RowWritten(const BoucWenCase& row) override {
    if (written_ == rows_) throw std::logic_error("the sweep wrote more rows than its step count gives");
    columns_[0][written_] = row.UmaxOverUy;
    const Outputs values = OutputsOf(row);
    for (int k = 0; k < kOutputCount; ++k) columns_[k + 1][written_] = values[k];
    notes_.Look(written_, row);
    ++written_;
    // A long sweep listens for Ctrl-C a few times a second.
    const auto now = std::chrono::steady_clock::now();
    if (now - lastCheck_ > std::chrono::milliseconds(100)) {
      lastCheck_ = now;
      py::gil_scoped_acquire acquire;
      if (PyErr_CheckSignals() != 0) throw Interrupted{};
    }
  }

  std::size_t Written() const { return written_; }

 private:
  std::array<double*, kOutputCount + 1> columns_;
  std::size_t rows_;
  CallNotes& notes_;
  std::size_t written_ = 0;
  std::chrono::steady_clock::time_point lastCheck_ = std::chrono::steady_clock::now();
};

py::dict Sweep(double start, double stop, double step, double n, double gamma, const std::optional<double>& beta,
               double alpha, double fy, double uy, const py::object& mode, bool accurate, const std::string& outside) {
  const Options options = ReadOptions(mode, accurate, outside);
  const BoucWenCase inputs = RecordOfInputs({n, gamma, beta.value_or(0.0), alpha, fy, uy, 0.0}, beta.has_value(), options);
  // The case and the amplitudes at both ends of the rows.
  if (options.refuseOutside) {
    RequireDomain(CaseOf(inputs), start);
    const std::int32_t n = SweepStepCount(start, stop, step);
    if (n >= 0) RequireDomain(CaseOf(inputs), start + step * n);
  }
  if (beta && !WarnIfSumDiffers(*beta, gamma)) throw py::error_already_set();
  // The row count first, to size the columns; RunSweepRows computes it again
  // by the same rule and fails the same way.
  const std::int32_t last = SweepStepCount(start, stop, step);
  const std::size_t rows = last < 0 ? 0 : static_cast<std::size_t>(last) + 1;

  std::array<py::array_t<double>, kOutputCount + 1> columns;
  std::array<double*, kOutputCount + 1> data{};
  for (std::size_t k = 0; k < columns.size(); ++k) {
    columns[k] = py::array_t<double>(static_cast<py::ssize_t>(rows));
    data[k] = columns[k].mutable_data();
  }
  CallNotes notes(options);
  ColumnSink sink(data, rows, notes);
  bool interrupted = false;
  {
    py::gil_scoped_release release;
    try {
      RunSweepRows(inputs, start, stop, step, sink, SolverFor(options.accurate));
    } catch (const Interrupted&) {
      interrupted = true;
    }
  }
  if (interrupted) throw py::error_already_set();
  if (sink.Written() != rows) throw std::logic_error("the sweep wrote fewer rows than its step count gives");
  if (!notes.Warn("quorix.sweep", rows)) throw py::error_already_set();

  py::dict table;
  table["UmaxOverUy"] = columns[0];
  for (int k = 0; k < kOutputCount; ++k) table[kOutputNames[k]] = columns[k + 1];
  return table;
}

// ---------------------------------------------------------------------------
// quorix.loop

py::tuple Loop(double n, double gamma, const std::optional<double>& beta, double alpha, double fy, double uy, double u,
               const py::object& mode, bool accurate, int points, const std::string& outside) {
  const Options options = ReadOptions(mode, accurate, outside);
  if (points < 3 || points > 1000000) {
    throw py::value_error("points must lie between 3 and 1000000, not " + std::to_string(points));
  }
  BoucWenCase bw = RecordOfInputs({n, gamma, beta.value_or(0.0), alpha, fy, uy, u}, beta.has_value(), options);
  if (beta && !WarnIfSumDiffers(*beta, gamma)) throw py::error_already_set();
  if (options.refuseOutside) RequireDomain(CaseOf(bw), bw.UmaxOverUy);
  HysteresisLoop loop;
  {
    py::gil_scoped_release release;
    SolverFor(options.accurate)(bw);
    // The accurate record's loop takes the accurate branch integrals too.
    loop = options.accurate ? LoopOf(bw, points, accurate::BranchIntegral) : LoopOf(bw, points);
  }
  return py::make_tuple(ArrayOf(loop.u), ArrayOf(loop.F), ArrayOf(loop.z));
}

// ---------------------------------------------------------------------------
// For bench/python: the engine's own time per Solve of one case, measured
// in C++, against which the call overhead of quorix.solve is judged.
double EngineSecondsPerSolve(int repeats, double n, double gamma, double beta, double alpha, double fy, double uy,
                             double u, const py::object& mode, bool accurate) {
  const Options options = ReadOptions(mode, accurate);
  const BoucWenCase inputs = RecordOfInputs({n, gamma, beta, alpha, fy, uy, u}, true, options);
  const CaseSolver solve = SolverFor(options.accurate);
  py::gil_scoped_release release;
  volatile double sink = 0.0;
  const auto begin = std::chrono::steady_clock::now();
  for (int r = 0; r < repeats; ++r) {
    BoucWenCase bw = inputs;
    solve(bw);
    sink = sink + bw.DE;
  }
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - begin;
  return elapsed.count() / std::max(1, repeats);
}

}  // namespace

Outputs SolveCase(const std::array<double, kInputCount>& x, bool betaGiven, const Options& options,
                  CallNotes* notes, std::size_t index) {
  BoucWenCase bw = RecordOfInputs(x, betaGiven, options);
  if (options.refuseOutside) RequireDomain(CaseOf(bw), bw.UmaxOverUy);
  SolverFor(options.accurate)(bw);
  if (notes != nullptr) notes->Look(index, bw);
  return OutputsOf(bw);
}

WindowInputs WindowDefaults() {
  const CaseTexts texts;
  return {ParseNumber(texts.Nee), ParseNumber(texts.GammaSmall), ParseNumber(texts.AlphaSmall),
          ParseNumber(texts.Fy),  ParseNumber(texts.Uy),         ParseNumber(texts.UmaxOverUy),
          ModeName(texts.Complementary)};
}

void RegisterCases(py::module_& m) {
  const WindowInputs d = WindowDefaults();
  m.def(
      "_window_defaults",
      [d] {
        py::dict defaults;
        defaults["n"] = d.n, defaults["gamma"] = d.gamma, defaults["alpha"] = d.alpha, defaults["fy"] = d.fy;
        defaults["uy"] = d.uy, defaults["u"] = d.u, defaults["mode"] = d.mode;
        return defaults;
      },
      "The case's defaults: the texts the window's fields start with, read as the window reads them.");
  m.attr("_default_loop_points") = kDefaultLoopPointsPerBranch;
  m.def("_solve_scalar", &SolveScalar, py::arg("n"), py::arg("gamma"), py::arg("beta"), py::arg("alpha"),
        py::arg("fy"), py::arg("uy"), py::arg("u"), py::arg("mode"), py::arg("accurate"), py::arg("outside"),
        "One case of plain numbers: the twelve outputs as a tuple of floats.");
  m.def("sweep", &Sweep, py::arg("start"), py::arg("stop"), py::arg("step"), py::kw_only(), py::arg("n") = d.n,
        py::arg("gamma") = d.gamma, py::arg("beta") = py::none(), py::arg("alpha") = d.alpha, py::arg("fy") = d.fy,
        py::arg("uy") = d.uy, py::arg("mode") = d.mode, py::arg("accurate") = false, py::arg("outside_domain") = "raise",
        "The rows of a sweep over Umax/Uy, as the window's results table holds them: U = step*i + start for\n"
        "i = 0 ... N, N = round((stop - start)/step) with ties to even (no rows when N < 0). Returns a dict of\n"
        "numpy arrays: UmaxOverUy, the nine results, XiEq, Ksec, KsecOverK0. ValueError when the sweep cannot\n"
        "run (a zero step, N beyond the 32-bit range, an amplitude that overflows).");

  m.def("loop", &Loop, py::kw_only(), py::arg("n") = d.n, py::arg("gamma") = d.gamma, py::arg("beta") = py::none(),
        py::arg("alpha") = d.alpha, py::arg("fy") = d.fy, py::arg("uy") = d.uy, py::arg("u") = d.u,
        py::arg("mode") = d.mode, py::arg("accurate") = false, py::arg("points") = kDefaultLoopPointsPerBranch,
        py::arg("outside_domain") = "raise",
        "The closed hysteresis loop of one case as three arrays (u, F, z): loading from (-Umax, -Fa) to\n"
        "(Umax, Fa), then unloading back, the first point not repeated; `points` on each branch. Empty arrays\n"
        "when the case has no cycle.");
}

void RegisterEngineTiming(py::module_& m) {
  m.def("_engine_seconds_per_solve", &EngineSecondsPerSolve, py::arg("repeats"), py::kw_only(), py::arg("n"),
        py::arg("gamma"), py::arg("beta"), py::arg("alpha"), py::arg("fy"), py::arg("uy"), py::arg("u"),
        py::arg("mode") = "complementary", py::arg("accurate") = false,
        "For the benchmarks: the engine's own mean time per Solve of one case, timed in C++.");
}

}  // namespace quorix::python
