// What the files of the compiled core quorix._core share: the names of a
// case's inputs and outputs, the loop that spreads an array's elements over
// the cores, and the registration of each area.
//
//   quorix_module.cpp     the module, its docstring, the exception types
//   element_loop.cpp      the elements of an array call on every core
//   cases.cpp             one case's inputs and results, solve of plain numbers, sweep, loop
//   solve_ufunc.cpp       the numpy ufuncs that solve arrays of cases on every core
//   isolation_ufunc.cpp   the ufunc of an isolation system's properties at D
//   special.cpp           the special functions, quorix.special
//   measured_records.cpp  measured records: cycles and fit
//   history_response.cpp  the response along a displacement history
//   materials.cpp         quorix.Material: analysis programs' materials in and out
//   verify_record.cpp     quorix.verify: a program's record against the model
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <exception>
#include <functional>
#include <limits>
#include <mutex>
#include <string>
#include <vector>

#include "bouc_wen_case.h"

namespace py = pybind11;

namespace quorix::python {

// The seven inputs of a case, named as quorix-cli names its options.
enum Input { kN, kGamma, kBeta, kAlpha, kFy, kUy, kU, kInputCount };
inline constexpr std::array<const char*, kInputCount> kInputNames = {"n", "gamma", "beta", "alpha", "fy", "uy", "u"};

// The nine results, then the derived quantities, in the order of the
// Result's attributes and of the ufuncs' outputs.
inline constexpr int kOutputCount = 12;
inline constexpr std::array<const char*, kOutputCount> kOutputNames = {
    "Za", "Fha", "Fela", "Fa", "Kcd", "Kda", "DEOverFyUy", "DEOverFhUy", "DE", "XiEq", "Ksec", "KsecOverK0"};
using Outputs = std::array<double, kOutputCount>;

struct Options {
  bool complementary = true;
  bool accurate = false;
  // A case outside the model's domain is refused (ValueError); the window's
  // reading (outside_domain="warn") computes it and warns.
  bool refuseOutside = true;
  // The specified arithmetic's results compared with the exact values.
  bool check = true;
};

// mode='complementary' or 'direct' (ValueError for anything else);
// outside='raise' or 'warn'.
Options ReadOptions(const py::object& mode, bool accurate, const std::string& outside = "raise");
const char* ModeName(bool complementary);

// What a call tells beside its numbers, gathered from its elements on any
// thread: the first case outside the model's domain that the window's
// reading computed, and the cases whose results of the specified arithmetic
// lie off the exact values (accurate/check.h), the first of them named.
struct GatheredNotes;

class CallNotes {
 public:
  explicit CallNotes(const Options& options) : options_(options) {}
  // The element at `index` (the order that decides which is first), solved.
  void Look(std::size_t index, const BoucWenCase& solved);
  // With the interpreter's lock: a UserWarning for each kind of note, of
  // `count` elements in all, attributed to the caller of the package's
  // function `call`. False when a warning was made an error.
  bool Warn(const char* call, std::size_t count) const;
  // Adds these notes, of `count` elements that come after those gathered.
  void AddTo(GatheredNotes& gathered, std::size_t count) const;

 private:
  const Options options_;
  std::mutex mutex_;
  std::atomic<bool> outsideFound_{false};
  std::size_t outsideIndex_ = std::numeric_limits<std::size_t>::max();
  std::string outside_;
  std::atomic<std::size_t> flagged_{0};
  std::size_t flaggedIndex_ = std::numeric_limits<std::size_t>::max();
  std::string firstFlagged_;
};

// The notes of one call of the package's function, gathered over the pieces
// in which numpy hands a ufunc's loop its elements (a broadcast call comes
// in pieces of a few thousand), so that the call warns once of each kind,
// of all its elements. Made by NoteGathering, on the calling thread.
struct GatheredNotes {
  std::size_t count = 0;
  std::string outside;
  std::size_t flagged = 0;
  std::string firstFlagged;
  bool sumDiffers = false;
  double beta = 0.0, gamma = 1.0;  // the first case whose β + γ is not 1
  // With the interpreter's lock: the warnings of the call; false when one
  // was made an error.
  bool Warn(const char* call) const;
};

// This thread's gathering (null outside one): a ufunc's loop adds its notes
// to it instead of warning.
GatheredNotes* NotesBeingGathered();

// Solves the case of inputs x (β from γ when !betaGiven): its twelve
// outputs, noted in `notes` as element `index`. Throws Refusal (a
// std::invalid_argument) for a case outside the model's domain unless the
// options take the window's reading, and for what the accurate arithmetic
// refuses.
Outputs SolveCase(const std::array<double, kInputCount>& x, bool betaGiven, const Options& options,
                  CallNotes* notes = nullptr, std::size_t index = 0);

// The defaults of the case's keyword arguments: the texts the window's
// fields start with, read as the window reads them (β has none: it follows
// γ).
struct WindowInputs {
  double n, gamma, alpha, fy, uy, u;
  const char* mode;
};
WindowInputs WindowDefaults();

// The elements of one array call on every core: this thread and the
// program's thread pool.
class ElementLoop {
 public:
  // Calls element(i) for i = 0 … count − 1 with the interpreter's lock
  // released, on every core for more than a few elements. Elements are taken
  // in chunks in increasing order, so when some fail, every element before
  // the first failure has run and that failure is the one rethrown, with its
  // index. Checks for Ctrl-C (KeyboardInterrupt) while it works and waits.
  void Run(std::size_t count, const std::function<void(std::size_t)>& element);

  bool Failed() const { return failure_ != nullptr; }
  std::size_t FailedIndex() const { return failedIndex_; }

 private:
  static constexpr std::size_t kChunk = 16;

  template <class AfterChunk>
  void Work(const std::function<void(std::size_t)>& element, const AfterChunk& afterChunk);
  void Fail(std::size_t i, std::exception_ptr failure);
  void Cancel() { limit_ = 0; }

  std::size_t count_ = 0;
  std::atomic<std::size_t> next_{0};
  std::atomic<std::size_t> limit_{std::numeric_limits<std::size_t>::max()};  // no element from here on runs
  std::mutex mutex_;  // guards the first failure
  std::size_t failedIndex_ = std::numeric_limits<std::size_t>::max();
  std::exception_ptr failure_;
};

// A one-dimensional sequence of numbers (a list, a numpy array) as doubles;
// ValueError naming the argument for anything else.
std::vector<double> VectorOf(const py::object& values, const char* name);

// A one-dimensional numpy array holding a copy of the values.
template <typename T>
py::array_t<T> ArrayOf(const std::vector<T>& values) {
  py::array_t<T> a(static_cast<py::ssize_t>(values.size()));
  std::copy(values.begin(), values.end(), a.mutable_data());
  return a;
}

// Each area adds its functions and classes to the module; the engine's
// timing for the benchmarks comes with the cases.
void RegisterCases(py::module_& m);
// _workers, the context in which an array call's loops use at most k threads.
void RegisterElementLoop(py::module_& m);
void RegisterSolveUfuncs(py::module_& m);
void RegisterIsolationUfunc(py::module_& m);
void RegisterEngineTiming(py::module_& m);
void RegisterSpecial(py::module_& m);
void RegisterMeasured(py::module_& m);
void RegisterResponse(py::module_& m);
void RegisterMaterial(py::module_& m);
void RegisterVerify(py::module_& m);

// The case as analysis programs write it, as fit() returns it under
// "materials" (ValueError for a case outside the model's domain).
py::dict MaterialsDict(double n, double gamma, double beta, double alpha, double Fy, double Uy);

// A UserWarning when β + γ differs from 1 beyond the β field's 15 digits,
// attributed to the Python frame `level` up: 1 is the frame that called into
// the core, the package's function; 2 its caller, the user's code.
// False when the warning was made an error (the error is then set).
bool WarnIfSumDiffers(double beta, double gamma, int level = 2);

}  // namespace quorix::python
