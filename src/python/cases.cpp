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
#include "energy_solver.h"
#include "numbertext.h"
#include "material.h"
#include "python_module.h"
#include "views.h"

namespace quorix::python {

namespace {

// ---------------------------------------------------------------------------
// Inputs and outputs of one case

// The nine results, then the derived quantities.
constexpr int kOutputCount = kResultCount + 3;
constexpr std::array<const char*, kOutputCount> kOutputNames = {
    "Za", "Fha", "Fela", "Fa", "Kcd", "Kda", "DEOverFyUy", "DEOverFhUy", "DE", "XiEq", "Ksec", "KsecOverK0"};
using Outputs = std::array<double, kOutputCount>;

struct Options {
  bool complementary = true;
  bool accurate = false;
};

Options ReadOptions(const py::object& mode, bool accurate) {
  Options options;
  options.accurate = accurate;
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
  } catch (const NumberOutOfRange&) {
    return std::copysign(std::numeric_limits<double>::infinity(), beta);
  }
}

BoucWenCase CaseOf(const std::array<double, kInputCount>& x, bool betaGiven, const Options& options) {
  BoucWenCase bw;
  bw.Nee = x[kN];
  bw.GammaSmall = x[kGamma];
  bw.BetaSmall = betaGiven ? x[kBeta] : BetaShownFor(x[kGamma]);
  bw.AlphaSmall = x[kAlpha];
  bw.Fy = x[kFy];
  bw.Uy = x[kUy];
  bw.UmaxOverUy = x[kU];
  bw.Complementary = options.complementary;
  return bw;
}

// The specified arithmetic never throws; the accurate one throws
// accurate::DomainError (a std::invalid_argument, hence ValueError) for a
// case outside the model's domain.
CaseSolver SolverFor(bool accurate) { return accurate ? accurate::Solve : SolveEnergy; }

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
// The result object

struct Result {
  Outputs values{};                             // a scalar result
  std::array<py::object, kOutputCount> arrays;  // an array result
  bool isArray = false;
  Options options;

  py::object Get(int k) const { return isArray ? arrays[k] : py::float_(values[k]); }

  py::dict AsDict() const {
    py::dict d;
    for (int k = 0; k < kOutputCount; ++k) d[kOutputNames[k]] = Get(k);
    return d;
  }

  std::string Repr() const {
    std::string text = "quorix.Result(";
    if (isArray) text += "shape=" + py::repr(arrays[0].attr("shape")).cast<std::string>() + ", ";
    text += "mode='" + std::string(ModeName(options.complementary)) + "', accurate=";
    text += options.accurate ? "True" : "False";
    for (int k = 0; k < kOutputCount; ++k) {
      text += ",\n    " + std::string(kOutputNames[k]) + "=" + py::repr(Get(k)).cast<std::string>();
    }
    return text + ")";
  }
};

// ---------------------------------------------------------------------------
// quorix.solve

// Plain numbers: one case, no arrays, the interpreter free while it runs.
Result SolveOne(const std::array<py::object, kInputCount>& inputs, bool betaGiven, const Options& options) {
  std::array<double, kInputCount> x{};
  for (int k = 0; k < kInputCount; ++k) x[k] = (k == kBeta && !betaGiven) ? 0.0 : PlainNumber(inputs[k]);
  BoucWenCase bw = CaseOf(x, betaGiven, options);
  if (betaGiven) WarnIfSumDiffers(bw.BetaSmall, bw.GammaSmall);
  {
    py::gil_scoped_release release;
    SolverFor(options.accurate)(bw);
  }
  Result result;
  result.options = options;
  result.values = OutputsOf(bw);
  return result;
}

Result Solve(const py::object& n, const py::object& gamma, const py::object& beta, const py::object& alpha,
             const py::object& fy, const py::object& uy, const py::object& u, const py::object& mode, bool accurate) {
  const Options options = ReadOptions(mode, accurate);
  const std::array<py::object, kInputCount> inputs = {n, gamma, beta, alpha, fy, uy, u};
  const bool betaGiven = !beta.is_none();
  bool plain = true;
  for (int k = 0; k < kInputCount; ++k) plain = plain && ((k == kBeta && !betaGiven) || IsPlainNumber(inputs[k]));
  if (plain) return SolveOne(inputs, betaGiven, options);

  std::array<bool, kInputCount> present;
  present.fill(true);
  present[kBeta] = betaGiven;
  const Broadcast grid(inputs, present);
  std::array<py::array_t<double>, kOutputCount> columns;
  std::array<double*, kOutputCount> out{};
  for (int k = 0; k < kOutputCount; ++k) {
    columns[k] = py::array_t<double>(grid.Shape());
    out[k] = columns[k].mutable_data();
  }
  const CaseSolver solve = SolverFor(options.accurate);
  ElementLoop loop;
  // The first element whose β + γ is not 1 (one warning for the call);
  // once one is found the others are not looked at.
  std::atomic<bool> sumDiffers{false};
  std::mutex firstMutex;
  std::pair<double, double> first{0.0, 1.0};
  try {
    loop.Run(grid.Count(), [&](std::size_t i) {
      BoucWenCase bw = CaseOf(grid.At(i), betaGiven, options);
      if (betaGiven && !sumDiffers.load(std::memory_order_relaxed) &&
          material::SumDiffersFromOne(bw.BetaSmall, bw.GammaSmall)) {
        const std::lock_guard lock(firstMutex);
        if (!sumDiffers.exchange(true)) first = {bw.BetaSmall, bw.GammaSmall};
      }
      solve(bw);
      const Outputs values = OutputsOf(bw);
      for (int k = 0; k < kOutputCount; ++k) out[k][i] = values[k];
    });
  } catch (const py::error_already_set&) {
    throw;
  } catch (...) {
    if (loop.Failed()) RethrowAt(std::current_exception(), grid, loop.FailedIndex());
    throw;
  }
  if (sumDiffers) WarnIfSumDiffers(first.first, first.second);
  Result result;
  result.options = options;
  // All inputs scalars (0-d arrays, numpy scalars): a scalar result, as
  // numpy's functions give for them.
  if (grid.Shape().empty()) {
    for (int k = 0; k < kOutputCount; ++k) result.values[k] = out[k][0];
    return result;
  }
  result.isArray = true;
  for (int k = 0; k < kOutputCount; ++k) result.arrays[k] = columns[k];
  return result;
}

// ---------------------------------------------------------------------------
// quorix.sweep

// Ctrl-C during a sweep: the sink ends it from the writing thread.
struct Interrupted {};

// The rows of the sweep into preallocated columns: Umax/Uy, the nine results
// and the derived quantities. The row texts are not wanted.
class ColumnSink final : public SweepSink {
 public:
  ColumnSink(std::array<double*, kOutputCount + 1> columns, std::size_t rows) : columns_(columns), rows_(rows) {}

  void Open() override {}
  void WriteLine(std::string_view /*line*/) override {}
  void RowWritten(const BoucWenCase& row) override {
    if (written_ == rows_) throw std::logic_error("the sweep wrote more rows than its step count gives");
    columns_[0][written_] = row.UmaxOverUy;
    const Outputs values = OutputsOf(row);
    for (int k = 0; k < kOutputCount; ++k) columns_[k + 1][written_] = values[k];
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
  std::size_t written_ = 0;
  std::chrono::steady_clock::time_point lastCheck_ = std::chrono::steady_clock::now();
};

py::dict Sweep(double start, double stop, double step, double n, double gamma, const std::optional<double>& beta,
               double alpha, double fy, double uy, const py::object& mode, bool accurate) {
  const Options options = ReadOptions(mode, accurate);
  const BoucWenCase inputs = CaseOf({n, gamma, beta.value_or(0.0), alpha, fy, uy, 0.0}, beta.has_value(), options);
  if (beta) WarnIfSumDiffers(*beta, gamma);
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
  ColumnSink sink(data, rows);
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

  py::dict table;
  table["UmaxOverUy"] = columns[0];
  for (int k = 0; k < kOutputCount; ++k) table[kOutputNames[k]] = columns[k + 1];
  return table;
}

// ---------------------------------------------------------------------------
// quorix.loop

py::tuple Loop(double n, double gamma, const std::optional<double>& beta, double alpha, double fy, double uy, double u,
               const py::object& mode, bool accurate, int points) {
  const Options options = ReadOptions(mode, accurate);
  if (points < 3 || points > 1000000) {
    throw py::value_error("points must lie between 3 and 1000000, not " + std::to_string(points));
  }
  BoucWenCase bw = CaseOf({n, gamma, beta.value_or(0.0), alpha, fy, uy, u}, beta.has_value(), options);
  if (beta) WarnIfSumDiffers(*beta, gamma);
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
  const BoucWenCase inputs = CaseOf({n, gamma, beta, alpha, fy, uy, u}, true, options);
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

void RegisterResult(py::module_& m) {
  py::class_<Result> result(m, "Result",
                            "The nine results and the three derived quantities of solve(): floats for one case, "
                            "numpy arrays of the broadcast shape for an array call.");
  for (int k = 0; k < kOutputCount; ++k) {
    result.def_property_readonly(kOutputNames[k], [k](const Result& r) { return r.Get(k); });
  }
  result.def_property_readonly("mode", [](const Result& r) { return ModeName(r.options.complementary); })
      .def_property_readonly("accurate", [](const Result& r) { return r.options.accurate; })
      .def("as_dict", &Result::AsDict, "The twelve values by name, in the order of the attributes.")
      .def("__repr__", &Result::Repr);
}

}  // namespace

WindowInputs WindowDefaults() {
  const CaseTexts texts;
  return {ParseNumber(texts.Nee), ParseNumber(texts.GammaSmall), ParseNumber(texts.AlphaSmall),
          ParseNumber(texts.Fy),  ParseNumber(texts.Uy),         ParseNumber(texts.UmaxOverUy),
          ModeName(texts.Complementary)};
}

void RegisterCases(py::module_& m) {
  RegisterResult(m);
  const WindowInputs d = WindowDefaults();
  m.def("solve", &Solve, py::kw_only(), py::arg("n") = d.n, py::arg("gamma") = d.gamma, py::arg("beta") = py::none(),
        py::arg("alpha") = d.alpha, py::arg("fy") = d.fy, py::arg("uy") = d.uy, py::arg("u") = d.u,
        py::arg("mode") = d.mode, py::arg("accurate") = false,
        "Solve one case: Za, Fha, Fela, Fa, Kcd, Kda, DEOverFyUy, DEOverFhUy, DE and the derived XiEq, Ksec,\n"
        "KsecOverK0. Any input may be a numpy array or a sequence; the inputs broadcast as numpy broadcasts, and\n"
        "every attribute is then an array of the broadcast shape, computed on every core. The specified\n"
        "arithmetic never raises for odd inputs (the results hold infinities or NaN, as the solver leaves them);\n"
        "the accurate one raises ValueError for an input outside the model's domain, naming it.\n\n"
        "The law: dz/dt = (du/dt - gamma |du/dt| |z|^(n-1) z - beta du/dt |z|^n)/uy,\n"
        "F = alpha (fy/uy) u + (1 - alpha) fy z, with beta + gamma = 1 (a UserWarning when they are not).\n"
        "gamma is on the |du/dt| term (Wen's labelling); OpenSees's materials call it beta. For OpenSees and\n"
        "CSI materials or Wen's general A, beta, gamma, see quorix.Material. mode='direct' stops growing\n"
        "beyond saturation (Za = 1); 'complementary' grows by 4 in DEOverFhUy per unit of u.");

  m.def("sweep", &Sweep, py::arg("start"), py::arg("stop"), py::arg("step"), py::kw_only(), py::arg("n") = d.n,
        py::arg("gamma") = d.gamma, py::arg("beta") = py::none(), py::arg("alpha") = d.alpha, py::arg("fy") = d.fy,
        py::arg("uy") = d.uy, py::arg("mode") = d.mode, py::arg("accurate") = false,
        "The rows of a sweep over Umax/Uy, as the window's results table holds them: U = step*i + start for\n"
        "i = 0 ... N, N = round((stop - start)/step) with ties to even (no rows when N < 0). Returns a dict of\n"
        "numpy arrays: UmaxOverUy, the nine results, XiEq, Ksec, KsecOverK0. ValueError when the sweep cannot\n"
        "run (a zero step, N beyond the 32-bit range, an amplitude that overflows).");

  m.def("loop", &Loop, py::kw_only(), py::arg("n") = d.n, py::arg("gamma") = d.gamma, py::arg("beta") = py::none(),
        py::arg("alpha") = d.alpha, py::arg("fy") = d.fy, py::arg("uy") = d.uy, py::arg("u") = d.u,
        py::arg("mode") = d.mode, py::arg("accurate") = false, py::arg("points") = kDefaultLoopPointsPerBranch,
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
