// The Python module quorix: Solve, the sweep, the loop and the special
// functions for scripts and notebooks, with numpy arrays in and out.
//
// A thin layer over the engine: it converts arguments, broadcasts them as
// numpy does, spreads the elements over every core with the interpreter's
// lock released, and hands the engine's numbers back unchanged. Every value
// comes from the same calls as the window and quorix-cli make.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <exception>
#include <limits>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "accurate.h"
#include "commands.h"
#include "cycles.h"
#include "fit.h"
#include "energy_solver.h"
#include "numbertext.h"
#include "specialfunctions.h"
#include "views.h"

namespace py = pybind11;

namespace quorix::python {

namespace {

// ---------------------------------------------------------------------------
// Inputs and outputs of one case

// The seven inputs, named as quorix-cli names its options.
enum Input { kN, kGamma, kBeta, kAlpha, kFy, kUy, kU, kInputCount };
constexpr std::array<const char*, kInputCount> kInputNames = {"n", "gamma", "beta", "alpha", "fy", "uy", "u"};

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
// Elements on every core

// What the worker threads of one call share: the next chunk to take, and the
// first failure in index order.
class ElementLoop {
 public:
  // Calls element(i) for i = 0 … count − 1 with the interpreter's lock
  // released, on every core for more than a few elements. Elements are taken
  // in chunks in increasing order, so when some fail, every element before
  // the first failure has run and that failure is the one rethrown, with its
  // index. Checks for Ctrl-C (KeyboardInterrupt) while it waits.
  template <class Element>
  void Run(std::size_t count, const Element& element) {
    count_ = count;
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t chunks = (count + kChunk - 1) / kChunk;
    bool interrupted = false;
    {
      py::gil_scoped_release release;
      if (cores == 1 || chunks < 2) {
        Work(element);
      } else {
        const auto threadCount = static_cast<unsigned>(std::min<std::size_t>(cores, chunks));
        std::vector<std::jthread> workers;
        workers.reserve(threadCount);
        for (unsigned t = 0; t < threadCount; ++t) {
          workers.emplace_back([this, &element] {
            Work(element);
            std::lock_guard lock(mutex_);
            ++finished_;
            finishedChanged_.notify_all();
          });
        }
        const auto allFinished = [&] { return finished_ == threadCount; };
        std::unique_lock lock(mutex_);
        while (!finishedChanged_.wait_for(lock, std::chrono::milliseconds(50), allFinished)) {
          lock.unlock();
          {
            py::gil_scoped_acquire acquire;
            interrupted = PyErr_CheckSignals() != 0;
          }
          if (interrupted) Cancel();
          lock.lock();
          if (interrupted) break;
        }
      }  // the workers are joined here
    }
    if (interrupted) throw py::error_already_set();  // the pending KeyboardInterrupt
    if (failure_) std::rethrow_exception(failure_);
  }

  bool Failed() const { return failure_ != nullptr; }
  std::size_t FailedIndex() const { return failedIndex_; }

 private:
  static constexpr std::size_t kChunk = 16;

  template <class Element>
  void Work(const Element& element) {
    for (;;) {
      const std::size_t begin = next_.fetch_add(kChunk);
      if (begin >= count_ || begin >= limit_.load()) return;
      const std::size_t end = std::min(count_, begin + kChunk);
      for (std::size_t i = begin; i < end && i < limit_.load(std::memory_order_relaxed); ++i) {
        try {
          element(i);
        } catch (...) {
          Fail(i, std::current_exception());
        }
      }
    }
  }

  // Elements after a failure need not run; those before it still do.
  void Fail(std::size_t i, std::exception_ptr failure) {
    std::lock_guard lock(mutex_);
    if (i >= failedIndex_) return;
    failedIndex_ = i;
    failure_ = std::move(failure);
    if (i < limit_) limit_ = i;
  }

  void Cancel() { limit_ = 0; }

  std::size_t count_ = 0;
  std::atomic<std::size_t> next_{0};
  std::atomic<std::size_t> limit_{std::numeric_limits<std::size_t>::max()};  // no element from here on runs
  std::mutex mutex_;
  std::condition_variable finishedChanged_;
  unsigned finished_ = 0;
  std::size_t failedIndex_ = std::numeric_limits<std::size_t>::max();
  std::exception_ptr failure_;
};

// ---------------------------------------------------------------------------
// Broadcasting

// The inputs of a call as numpy broadcasts them: each one read through
// strides that are 0 along the axes it is repeated on.
class Broadcast {
 public:
  // `present[k]` false: input k not given (β from γ); it reads as 0.
  Broadcast(const std::array<py::object, kInputCount>& inputs, const std::array<bool, kInputCount>& present) {
    for (int k = 0; k < kInputCount; ++k) {
      if (!present[k]) continue;
      if (inputs[k].is_none()) {
        throw py::type_error(std::string(kInputNames[k]) + " must be a number or an array of numbers, not None");
      }
      arrays_[k] = py::array_t<double, py::array::forcecast>(inputs[k]);
      const py::array& a = arrays_[k];
      if (static_cast<std::size_t>(a.ndim()) > shape_.size()) {
        shape_.insert(shape_.begin(), static_cast<std::size_t>(a.ndim()) - shape_.size(), 1);
      }
    }
    // The common shape: right-aligned axes, each of one length or 1.
    for (int k = 0; k < kInputCount; ++k) {
      if (!present[k]) continue;
      const py::array& a = arrays_[k];
      const std::size_t offset = shape_.size() - static_cast<std::size_t>(a.ndim());
      for (py::ssize_t d = 0; d < a.ndim(); ++d) {
        py::ssize_t& length = shape_[offset + static_cast<std::size_t>(d)];
        const py::ssize_t own = a.shape(d);
        if (own == length || own == 1) continue;
        if (length != 1) throw py::value_error(MismatchMessage(present));
        length = own;
      }
    }
    count_ = 1;
    for (py::ssize_t length : shape_) count_ *= static_cast<std::size_t>(length);
    for (int k = 0; k < kInputCount; ++k) {
      Operand& op = operands_[k];
      op.strides.assign(shape_.size(), 0);
      if (!present[k]) continue;
      const py::array& a = arrays_[k];
      op.base = static_cast<const char*>(a.data());
      const std::size_t offset = shape_.size() - static_cast<std::size_t>(a.ndim());
      for (py::ssize_t d = 0; d < a.ndim(); ++d) {
        if (a.shape(d) != 1) op.strides[offset + static_cast<std::size_t>(d)] = a.strides(d);
      }
    }
  }

  const std::vector<py::ssize_t>& Shape() const { return shape_; }
  std::size_t Count() const { return count_; }

  // The inputs of element i, in C order of the common shape.
  std::array<double, kInputCount> At(std::size_t i) const {
    std::array<py::ssize_t, kInputCount> offsets{};
    for (std::size_t d = shape_.size(); d-- > 0;) {
      const auto length = static_cast<std::size_t>(shape_[d]);
      const auto index = static_cast<py::ssize_t>(i % length);
      i /= length;
      for (int k = 0; k < kInputCount; ++k) offsets[k] += index * operands_[k].strides[d];
    }
    std::array<double, kInputCount> x{};
    for (int k = 0; k < kInputCount; ++k) {
      if (operands_[k].base != nullptr) std::memcpy(&x[k], operands_[k].base + offsets[k], sizeof(double));
    }
    return x;
  }

  // Element i's index in the common shape, as Python writes it: "(0, 2)".
  std::string IndexText(std::size_t i) const {
    std::vector<std::size_t> index(shape_.size());
    for (std::size_t d = shape_.size(); d-- > 0;) {
      index[d] = i % static_cast<std::size_t>(shape_[d]);
      i /= static_cast<std::size_t>(shape_[d]);
    }
    std::string text = "(";
    for (std::size_t d = 0; d < index.size(); ++d) text += (d > 0 ? ", " : "") + std::to_string(index[d]);
    return text + (index.size() == 1 ? ",)" : ")");
  }

 private:
  struct Operand {
    const char* base = nullptr;
    std::vector<py::ssize_t> strides;
  };

  std::string MismatchMessage(const std::array<bool, kInputCount>& present) const {
    std::string text = "the arguments cannot be broadcast to one shape:";
    for (int k = 0; k < kInputCount; ++k) {
      if (!present[k]) continue;
      text += std::string(" ") + kInputNames[k] + " " + py::repr(arrays_[k].attr("shape")).cast<std::string>();
    }
    return text;
  }

  std::array<py::array, kInputCount> arrays_;
  std::array<Operand, kInputCount> operands_;
  std::vector<py::ssize_t> shape_;
  std::size_t count_ = 0;
};

// A Python int or float (numpy's float64 is one), which needs no array.
bool IsPlainNumber(const py::object& x) { return PyFloat_Check(x.ptr()) || PyLong_Check(x.ptr()); }

double PlainNumber(const py::object& x) {
  const double value = PyFloat_AsDouble(x.ptr());
  if (value == -1.0 && PyErr_Occurred()) throw py::error_already_set();
  return value;
}

// A domain error of the accurate arithmetic at one element of an array call,
// with that element's index.
[[noreturn]] void RethrowAt(const std::exception_ptr& failure, const Broadcast& grid, std::size_t i) {
  try {
    std::rethrow_exception(failure);
  } catch (const std::invalid_argument& e) {
    throw py::value_error(std::string(e.what()) + " (at index " + grid.IndexText(i) + ")");
  }
}

// ---------------------------------------------------------------------------
// quorix.solve

Result Solve(const py::object& n, const py::object& gamma, const py::object& beta, const py::object& alpha,
             const py::object& fy, const py::object& uy, const py::object& u, const py::object& mode, bool accurate) {
  const Options options = ReadOptions(mode, accurate);
  const std::array<py::object, kInputCount> inputs = {n, gamma, beta, alpha, fy, uy, u};
  const bool betaGiven = !beta.is_none();
  Result result;
  result.options = options;

  // Plain numbers: one case, no arrays, the interpreter free while it runs.
  bool plain = true;
  for (int k = 0; k < kInputCount; ++k) plain = plain && ((k == kBeta && !betaGiven) || IsPlainNumber(inputs[k]));
  if (plain) {
    std::array<double, kInputCount> x{};
    for (int k = 0; k < kInputCount; ++k) x[k] = (k == kBeta && !betaGiven) ? 0.0 : PlainNumber(inputs[k]);
    BoucWenCase bw = CaseOf(x, betaGiven, options);
    {
      py::gil_scoped_release release;
      SolverFor(options.accurate)(bw);
    }
    result.values = OutputsOf(bw);
    return result;
  }

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
  try {
    loop.Run(grid.Count(), [&](std::size_t i) {
      BoucWenCase bw = CaseOf(grid.At(i), betaGiven, options);
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
  HysteresisLoop loop;
  {
    py::gil_scoped_release release;
    SolverFor(options.accurate)(bw);
    // The accurate record's loop takes the accurate branch integrals too.
    loop = options.accurate ? LoopOf(bw, points, accurate::BranchIntegral) : LoopOf(bw, points);
  }
  auto array = [](const std::vector<double>& values) {
    py::array_t<double> a(static_cast<py::ssize_t>(values.size()));
    std::copy(values.begin(), values.end(), a.mutable_data());
    return a;
  };
  return py::make_tuple(array(loop.u), array(loop.F), array(loop.z));
}

// ---------------------------------------------------------------------------
// quorix.special

using Outcome = std::pair<double, std::int32_t>;

// The evaluator lets faults of its own arithmetic out instead of returning a
// status: FloatingPointError, with what it had stored in `value`.
Outcome Hyp2F1(double a, double b, double c, double z, bool accurate) {
  if (accurate) return {accurate::Hyp2F1(a, b, c, z), 1};
  double value = 0.0;
  std::int32_t status = 0;
  try {
    status = Hypergeometric2F1(a, b, c, z, value);
  } catch (const FloatingPointFault&) {
    const py::object type = py::module_::import("builtins").attr("FloatingPointError");
    py::object error = type("hyp2f1: a floating-point fault in the evaluator's own arithmetic");
    error.attr("value") = value;
    PyErr_SetObject(type.ptr(), error.ptr());
    throw py::error_already_set();
  }
  return {value, status};
}

// A function of one argument: the specified one with its status, or the
// accurate one, which has none (status 1) and throws outside its domain.
template <std::int32_t (*Specified)(double, double&), double (*Accurate)(double)>
Outcome OneArgument(double x, bool accurate) {
  if (accurate) return {Accurate(x), 1};
  double value = 0.0;
  const std::int32_t status = Specified(x, value);
  return {value, status};
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

}  // namespace

}  // namespace quorix::python

// ---------------------------------------------------------------------------
// quorix.cycles and quorix.fit: measured records.

namespace quorix::python {

namespace {

std::vector<double> VectorOf(const py::object& values, const char* name) {
  const auto a = py::array_t<double, py::array::forcecast | py::array::c_style>::ensure(values);
  if (!a || a.ndim() != 1) throw py::value_error(std::string(name) + " must be a one-dimensional sequence of numbers");
  return std::vector<double>(a.data(), a.data() + a.size());
}

template <typename T>
py::array_t<T> ArrayOf(const std::vector<T>& values) {
  py::array_t<T> a(static_cast<py::ssize_t>(values.size()));
  std::copy(values.begin(), values.end(), a.mutable_data());
  return a;
}

py::dict Cycles(const py::object& u, const py::object& F, double deadBand) {
  const std::vector<double> uv = VectorOf(u, "u"), Fv = VectorOf(F, "F");
  measured::CycleTable table;
  {
    py::gil_scoped_release release;
    table = measured::FindCycles(uv, Fv, deadBand);
  }
  std::vector<std::int64_t> first, last;
  std::vector<double> uPlus, uMinus, FPlus, FMinus, EDC, Keff, XiEff;
  std::vector<bool> steadyFlags;
  for (const measured::Cycle& c : table.cycles) {
    first.push_back(static_cast<std::int64_t>(c.first));
    last.push_back(static_cast<std::int64_t>(c.last));
    uPlus.push_back(c.uPlus), uMinus.push_back(c.uMinus), FPlus.push_back(c.FPlus), FMinus.push_back(c.FMinus);
    EDC.push_back(c.EDC), Keff.push_back(c.Keff), XiEff.push_back(c.XiEff);
    steadyFlags.push_back(c.steady);
  }
  py::array_t<bool> steady(static_cast<py::ssize_t>(steadyFlags.size()));
  std::copy(steadyFlags.begin(), steadyFlags.end(), steady.mutable_data());
  const measured::CycleMeans& m = table.steadyMeans;
  py::dict means;
  means["count"] = m.count;
  means["uPlus"] = m.uPlus, means["uMinus"] = m.uMinus, means["FPlus"] = m.FPlus, means["FMinus"] = m.FMinus;
  means["EDC"] = m.EDC, means["Keff"] = m.Keff, means["XiEff"] = m.XiEff;
  py::dict out;
  out["first"] = ArrayOf(first), out["last"] = ArrayOf(last);
  out["uPlus"] = ArrayOf(uPlus), out["uMinus"] = ArrayOf(uMinus);
  out["FPlus"] = ArrayOf(FPlus), out["FMinus"] = ArrayOf(FMinus);
  out["EDC"] = ArrayOf(EDC), out["Keff"] = ArrayOf(Keff), out["XiEff"] = ArrayOf(XiEff);
  out["steady"] = steady;
  out["steady_means"] = means;
  return out;
}

void ReadAssignments(const py::dict& values, std::array<std::optional<double>, 5>& where, const char* what) {
  for (const auto& [key, value] : values) {
    const std::string name = py::str(key);
    if (!measured::ParameterIndex(name)) {
      throw py::value_error(std::string(what) + ": unknown parameter \"" + name +
                            "\" (names: n, gamma, beta, alpha, fy, uy)");
    }
    const double v = value.cast<double>();
    if (!std::isfinite(v)) throw py::value_error(std::string(what) + ": " + name + " must be finite");
    const bool beta = measured::ParameterIndex(name) == measured::ParameterIndex("gamma") && name.size() == 4;
    where[*measured::ParameterIndex(name)] = beta ? 1.0 - v : v;
  }
}

py::dict Fit(const py::object& u, const py::object& F, const py::object& cycles, const py::dict& fix,
             const py::dict& start, double deadBand) {
  const std::vector<double> uv = VectorOf(u, "u"), Fv = VectorOf(F, "F");
  measured::FitOptions options;
  ReadAssignments(fix, options.fixed, "fix");
  ReadAssignments(start, options.start, "start");
  if (!cycles.is_none()) {
    for (const py::handle c : cycles) {
      const auto index = c.cast<std::int64_t>();
      if (index < 0) throw py::value_error("cycles: indices count from 0, not " + std::to_string(index));
      options.cycles.push_back(static_cast<std::size_t>(index));
    }
    if (options.cycles.empty()) throw py::value_error("cycles: an empty selection");
  }
  measured::FitResult fit;
  std::vector<HysteresisLoop> loops;
  {
    py::gil_scoped_release release;
    const measured::CycleTable table = measured::FindCycles(uv, Fv, deadBand);
    fit = measured::FitCycles(uv, Fv, table, options);
    // The fitted model's closed loop at each fitted cycle's amplitude,
    // centred on the cycle, in the accurate arithmetic.
    for (const measured::CycleFit& c : fit.cycles) {
      const measured::Cycle& cy = table.cycles[c.cycle];
      loops.push_back(measured::ModelLoop(fit.parameters, c.halfRange, 0.5 * (cy.uPlus + cy.uMinus)));
    }
  }
  const measured::Parameters& p = fit.parameters;
  const char* keys[5] = {"n", "gamma", "alpha", "fy", "uy"};
  const double values[5] = {p.n, p.gamma, p.alpha, p.Fy, p.Uy};
  py::dict parameters, errors, fixed;
  for (int i = 0; i < 5; ++i) {
    parameters[keys[i]] = values[i];
    errors[keys[i]] = fit.errors[static_cast<std::size_t>(i)];
    fixed[keys[i]] = fit.fixed[static_cast<std::size_t>(i)];
  }
  parameters["beta"] = 1.0 - p.gamma;
  std::vector<std::int64_t> chosen, points(fit.points.begin(), fit.points.end());
  std::vector<double> halfRange, measuredEDC, modelEDC;
  py::list loopList;
  for (std::size_t k = 0; k < fit.cycles.size(); ++k) {
    chosen.push_back(static_cast<std::int64_t>(fit.cycles[k].cycle));
    halfRange.push_back(fit.cycles[k].halfRange);
    measuredEDC.push_back(fit.cycles[k].measuredEDC);
    modelEDC.push_back(fit.cycles[k].modelEDC);
    loopList.append(py::make_tuple(ArrayOf(loops[k].u), ArrayOf(loops[k].F)));
  }
  py::dict out;
  out["parameters"] = parameters;
  out["errors"] = errors;
  out["fixed"] = fixed;
  out["rms"] = fit.rms;
  out["rms_relative"] = fit.rmsRelative;
  out["iterations"] = fit.iterations;
  out["cycles"] = ArrayOf(chosen);
  out["half_range"] = ArrayOf(halfRange);
  out["measured_EDC"] = ArrayOf(measuredEDC);
  out["model_EDC"] = ArrayOf(modelEDC);
  out["points"] = ArrayOf(points);
  out["model_F"] = ArrayOf(fit.modelF);
  out["loops"] = loopList;
  return out;
}

}  // namespace

void RegisterMeasured(py::module_& m) {
  py::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const measured::CycleError& e) {
      PyErr_SetString(PyExc_ValueError, e.what());
    } catch (const measured::FitError& e) {
      PyErr_SetString(PyExc_ValueError, e.what());
    } catch (const accurate::DomainError& e) {
      PyErr_SetString(PyExc_ValueError, e.what());
    }
  });
  m.def("cycles", &Cycles, py::arg("u"), py::arg("F"), py::kw_only(), py::arg("dead_band") = measured::kDefaultDeadBand,
        "The full cycles of a measured record (displacements u, forces F), cut at displacement reversals (a\n"
        "reversal counts once u has moved back by dead_band times the whole range of u), the incomplete first\n"
        "and last cycles dropped. Returns a dict of numpy arrays, one element per cycle: first, last (indices\n"
        "into u of the cycle's two ends, reversals of the same kind), uPlus, uMinus, FPlus, FMinus (forces at\n"
        "uPlus and uMinus), EDC (enclosed area), Keff = (FPlus - FMinus)/(uPlus - uMinus), XiEff =\n"
        "EDC/(2 pi Keff d^2) with d = (uPlus - uMinus)/2, steady (same amplitude and centre as the cycle before,\n"
        "within 2 %); and steady_means, a dict of their means over the steady cycles. ValueError without a\n"
        "full cycle.");
  m.def("fit", &Fit, py::arg("u"), py::arg("F"), py::arg("cycles") = py::none(), py::arg("fix") = py::dict(),
        py::kw_only(), py::arg("start") = py::dict(), py::arg("dead_band") = measured::kDefaultDeadBand,
        "Fit n, gamma (beta = 1 - gamma), alpha, fy and uy to the cycles of a measured record: least squares on\n"
        "F at the measured u against the model's closed-form steady loop at each cycle's amplitude and centre\n"
        "(exact arithmetic). cycles: indices into the rows of cycles() (default: the steady cycles, or all when\n"
        "none is steady); fix: {name: value} held fixed; start: {name: value} starting values. Returns a dict:\n"
        "parameters (n, gamma, beta, alpha, fy, uy), errors (standard errors, 0 for a fixed one), fixed, rms,\n"
        "rms_relative (over the mean FPlus), iterations, cycles, half_range, measured_EDC, model_EDC, points\n"
        "(indices of the fitted points) with model_F (the model's force there), and loops: per fitted cycle the\n"
        "model's closed loop as (u, F). ValueError for a record the fit cannot answer (no hysteresis,\n"
        "parameters it does not determine), with the reason.");
}

}  // namespace quorix::python

PYBIND11_MODULE(quorix, m) {
  using namespace quorix::python;
  namespace q = quorix;

  m.doc() =
      "Quorix: the energy the Bouc-Wen model (A = 1, beta + gamma = 1) dissipates in one symmetric displacement\n"
      "cycle, in closed form, with numpy arrays in and out.\n\n"
      "solve(...)  one case, or a numpy-broadcast grid of cases\n"
      "sweep(start, stop, step, ...)  the rows of a sweep over Umax/Uy\n"
      "loop(...)  the closed hysteresis loop of one case\n"
      "special  the special functions of the engine\n\n"
      "The case's keyword arguments are those of quorix-cli: n, gamma, beta (default: 1 - gamma as the window\n"
      "shows it), alpha, fy, uy, u (Umax/Uy), with the window's initial values as defaults; mode='complementary'\n"
      "or 'direct'; accurate=False for the specified arithmetic, True for the exact mathematics.";
  m.attr("__version__") = QUORIX_VERSION;

  py::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const q::SweepError& e) {
      PyErr_SetString(PyExc_ValueError, e.what());
    } catch (const q::NumberOutOfRange& e) {
      PyErr_SetString(PyExc_ValueError, e.what());
    }
  });

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

  m.def("solve", &Solve, py::kw_only(), py::arg("n") = 2.0, py::arg("gamma") = 0.9, py::arg("beta") = py::none(),
        py::arg("alpha") = 0.10, py::arg("fy") = 2.86, py::arg("uy") = 0.111, py::arg("u") = 1.0,
        py::arg("mode") = "complementary", py::arg("accurate") = false,
        "Solve one case: Za, Fha, Fela, Fa, Kcd, Kda, DEOverFyUy, DEOverFhUy, DE and the derived XiEq, Ksec,\n"
        "KsecOverK0. Any input may be a numpy array or a sequence; the inputs broadcast as numpy broadcasts, and\n"
        "every attribute is then an array of the broadcast shape, computed on every core. The specified\n"
        "arithmetic never raises for odd inputs (the results hold infinities or NaN, as the solver leaves them);\n"
        "the accurate one raises ValueError for an input outside the model's domain, naming it.");

  m.def("sweep", &Sweep, py::arg("start"), py::arg("stop"), py::arg("step"), py::kw_only(), py::arg("n") = 2.0,
        py::arg("gamma") = 0.9, py::arg("beta") = py::none(), py::arg("alpha") = 0.10, py::arg("fy") = 2.86,
        py::arg("uy") = 0.111, py::arg("mode") = "complementary", py::arg("accurate") = false,
        "The rows of a sweep over Umax/Uy, as the window's results table holds them: U = step*i + start for\n"
        "i = 0 ... N, N = round((stop - start)/step) with ties to even (no rows when N < 0). Returns a dict of\n"
        "numpy arrays: UmaxOverUy, the nine results, XiEq, Ksec, KsecOverK0. ValueError when the sweep cannot\n"
        "run (a zero step, N beyond the 32-bit range, an amplitude that overflows).");

  m.def("loop", &Loop, py::kw_only(), py::arg("n") = 2.0, py::arg("gamma") = 0.9, py::arg("beta") = py::none(),
        py::arg("alpha") = 0.10, py::arg("fy") = 2.86, py::arg("uy") = 0.111, py::arg("u") = 1.0,
        py::arg("mode") = "complementary", py::arg("accurate") = false,
        py::arg("points") = q::kDefaultLoopPointsPerBranch,
        "The closed hysteresis loop of one case as three arrays (u, F, z): loading from (-Umax, -Fa) to\n"
        "(Umax, Fa), then unloading back, the first point not repeated; `points` on each branch. Empty arrays\n"
        "when the case has no cycle.");

  py::module_ special = m.def_submodule(
      "special",
      "The engine's special functions with its calling convention: (value, status), status 0 for a failure.\n"
      "accurate=True gives the exact mathematics instead, with status 1 (ValueError outside its domain).");
  special.def("loggamma", &OneArgument<q::LogGamma, q::accurate::LogGamma>, py::arg("x"), py::kw_only(),
              py::arg("accurate") = false, "ln Gamma(x) for x > 0.");
  special.def("gamma", &OneArgument<q::GammaFunction, q::accurate::Gamma>, py::arg("x"), py::kw_only(),
              py::arg("accurate") = false, "Gamma(x) for x > 0 and negative non-integers.");
  special.def("digamma", &OneArgument<q::Digamma, q::accurate::Digamma>, py::arg("x"), py::kw_only(),
              py::arg("accurate") = false,
              "psi(x). Status 1 from a table or when the series met its stop test, 2 when all of its terms ran.");
  special.def("hyp2f1", &Hyp2F1, py::arg("a"), py::arg("b"), py::arg("c"), py::arg("z"), py::kw_only(),
              py::arg("accurate") = false,
              "F(a, b; c; z) for z < 1. A floating-point fault of the evaluator's own arithmetic raises\n"
              "FloatingPointError, whose `value` attribute holds what it had stored. accurate=True covers\n"
              "F(1, b; 1 + b; t) and F(b, 1; 1 + b; t) only.");
  special.def(
      "series",
      [](double a, double b, double c, double z) {
        double sum = 0.0;
        const std::int32_t status = q::HypergeometricSeries(a, b, c, z, sum);
        return Outcome{sum, status};
      },
      py::arg("a"), py::arg("b"), py::arg("c"), py::arg("z"),
      "The Gauss series of F(a, b; c; z) summed term by term; status: the index of the term that left the sum\n"
      "unchanged, 0 when 1000 terms did not reach it.");
  // So that `import quorix.special` and `from quorix.special import ...` work.
  py::module_::import("sys").attr("modules")["quorix.special"] = special;

  m.def("_engine_seconds_per_solve", &EngineSecondsPerSolve, py::arg("repeats"), py::kw_only(), py::arg("n"),
        py::arg("gamma"), py::arg("beta"), py::arg("alpha"), py::arg("fy"), py::arg("uy"), py::arg("u"),
        py::arg("mode") = "complementary", py::arg("accurate") = false,
        "For the benchmarks: the engine's own mean time per Solve of one case, timed in C++.");
  RegisterMeasured(m);
}
