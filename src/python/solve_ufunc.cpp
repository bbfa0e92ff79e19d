// The numpy ufuncs that solve arrays of cases: the case's inputs in, its
// twelve outputs out, so that broadcasting, out=, where=, the dtype rules and
// __array_ufunc__ (pandas, xarray, masked arrays) are numpy's own.
//
// A ufunc's keywords are numpy's, fixed for every ufunc, and its loops are
// chosen by dtype alone; neither can carry the mode, the arithmetic or
// whether β was given. So there are eight ufuncs, one for each: mode ×
// arithmetic × (β given: seven inputs | β from γ: six). The package's
// solve() picks one by its keywords.
//
// The inner loop hands its strided one-dimensional chunk to the module's
// element loop, which spreads it over every core; numpy gives the whole
// array in one chunk when the operands are contiguous and of the loop's
// dtype, and chunks of its buffer size (8192) when it casts.
#define NPY_NO_DEPRECATED_API NPY_1_7_API_VERSION
#include <numpy/arrayobject.h>
#include <numpy/ufuncobject.h>

#include <cfenv>
#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>

#include "material.h"
#include "python_module.h"

namespace quorix::python {

namespace {

struct Variant {
  const char* name;
  Options options;
  bool betaGiven;
  const char* doc;
};

// Where each ufunc input goes among the case's seven: without β the six
// inputs are n, gamma, alpha, fy, uy, u.
constexpr std::array<int, kInputCount> kWithBeta = {kN, kGamma, kBeta, kAlpha, kFy, kUy, kU};
constexpr std::array<int, kInputCount - 1> kWithoutBeta = {kN, kGamma, kAlpha, kFy, kUy, kU};

// Below this many elements the chunk runs inline: the element loop would run
// it on this thread alone all the same.
constexpr npy_intp kInline = 16;

// The first element of a chunk whose β + γ is not 1, for one warning.
struct SumCheck {
  std::atomic<bool> found{false};
  std::mutex mutex;
  double beta = 0.0, gamma = 1.0;

  void Look(double b, double g) {
    if (found.load(std::memory_order_relaxed) || !material::SumDiffersFromOne(b, g)) return;
    const std::lock_guard lock(mutex);
    if (!found.exchange(true)) {
      beta = b;
      gamma = g;
    }
  }
};

// What stopped a chunk, raised once the interpreter's lock is held: kind is
// "value" (ValueError) or "runtime" (RuntimeError), null when nothing did.
struct Failure {
  const char* kind = nullptr;
  std::string message;
};

// A short chunk on this thread, without the interpreter's lock, up to the
// first element that fails: every failure here is a bad value.
template <typename Element>
void RunInline(npy_intp count, const Element& element, Failure& failure) {
  for (npy_intp i = 0; i < count; ++i) {
    try {
      element(static_cast<std::size_t>(i));
    } catch (const std::exception& e) {
      failure.message = e.what();
      failure.kind = "value";
      break;
    }
  }
}

// A long chunk spread over every core; called with the interpreter's lock.
template <typename Element>
void RunSpread(npy_intp count, const Element& element, Failure& failure) {
  try {
    ElementLoop loop;
    loop.Run(static_cast<std::size_t>(count), element);
  } catch (py::error_already_set& e) {
    e.restore();  // KeyboardInterrupt, left for numpy to raise
  } catch (const std::invalid_argument& e) {
    failure.message = e.what();
    failure.kind = "value";
  } catch (const std::exception& e) {
    failure.message = e.what();
    failure.kind = "runtime";
  }
}

// Sets the chunk's error, or else warns of a β + γ other than 1 and of the
// call's notes unless an error is already set. Called with the interpreter's
// lock; an error a warning sets is numpy's to raise.
void RaiseOrWarn(const Failure& failure, const SumCheck& sum, const CallNotes& notes, npy_intp count) {
  if (failure.kind != nullptr) {
    PyErr_SetString(std::strcmp(failure.kind, "value") == 0 ? PyExc_ValueError : PyExc_RuntimeError,
                    failure.message.c_str());
    return;
  }
  if (PyErr_Occurred()) return;
  GatheredNotes* gathered = NotesBeingGathered();
  GatheredNotes own;
  GatheredNotes& into = gathered != nullptr ? *gathered : own;
  if (sum.found && !into.sumDiffers) {
    into.sumDiffers = true;
    into.beta = sum.beta;
    into.gamma = sum.gamma;
  }
  notes.AddTo(into, static_cast<std::size_t>(count));
  if (gathered == nullptr) own.Warn("quorix.solve");
}

// Whether an earlier piece of the same call failed or was interrupted (its
// error set, for numpy to raise once the call ends), or Ctrl-C is pending:
// the remaining pieces of a broadcast call are then not computed.
bool CallEnded() {
  const PyGILState_STATE lock = PyGILState_Ensure();
  const bool ended = PyErr_Occurred() != nullptr || PyErr_CheckSignals() != 0;
  PyGILState_Release(lock);
  return ended;
}

thread_local GatheredNotes* gathering = nullptr;

// The engine computes in double: a float32 loop reads its inputs exactly
// into doubles and rounds each output once, to the nearest float.
template <typename T>
void SolveLoop(char** args, const npy_intp* dimensions, const npy_intp* steps, void* data) {
  const Variant& v = *static_cast<const Variant*>(data);
  const npy_intp count = dimensions[0];
  if (CallEnded()) return;
  const int nin = v.betaGiven ? kInputCount : kInputCount - 1;
  const int* position = v.betaGiven ? kWithBeta.data() : kWithoutBeta.data();
  SumCheck sum;
  CallNotes notes(v.options);
  auto element = [&](std::size_t index) {
    const auto i = static_cast<npy_intp>(index);
    std::array<double, kInputCount> x{};
    for (int k = 0; k < nin; ++k) {
      T value;
      std::memcpy(&value, args[k] + i * steps[k], sizeof(T));
      x[position[k]] = static_cast<double>(value);
    }
    if (v.betaGiven) sum.Look(x[kBeta], x[kGamma]);
    const Outputs out = SolveCase(x, v.betaGiven, v.options, &notes, index);
    for (int k = 0; k < kOutputCount; ++k) {
      const T value = static_cast<T>(out[k]);
      std::memcpy(args[nin + k] + i * steps[nin + k], &value, sizeof(T));
    }
  };

  // The engine's own arithmetic meets infinities and NaN on purpose (odd
  // inputs give what the solver leaves, and it never raises): its
  // floating-point flags are not numpy's to warn about. They are put back as
  // numpy set them, so a cast numpy makes around the loop still reports.
  std::fexcept_t flags;
  std::fegetexceptflag(&flags, FE_ALL_EXCEPT);
  Failure failure;
  if (count <= kInline) RunInline(count, element, failure);
  // numpy lets the interpreter's lock go for a long loop; the element loop
  // wants it, to release it itself and to listen for Ctrl-C.
  const PyGILState_STATE lock = PyGILState_Ensure();
  if (count > kInline) RunSpread(count, element, failure);
  RaiseOrWarn(failure, sum, notes, count);
  PyGILState_Release(lock);
  std::fesetexceptflag(&flags, FE_ALL_EXCEPT);
}

constexpr const char* kDocWithBeta =
    "(n, gamma, beta, alpha, fy, uy, u) -> (Za, Fha, Fela, Fa, Kcd, Kda, DEOverFyUy, DEOverFhUy, DE, XiEq, Ksec, "
    "KsecOverK0)";
constexpr const char* kDocWithoutBeta =
    "(n, gamma, alpha, fy, uy, u) -> the twelve outputs, beta = 1 - gamma as the window shows it";

// The window's reading: the specified arithmetic on any input, a warning
// for a case outside the model's domain instead of ValueError.
constexpr Options kWindow{.complementary = true, .accurate = false, .refuseOutside = false};
constexpr Options kWindowDirect{.complementary = false, .accurate = false, .refuseOutside = false};

Variant variants[] = {
    {"solve_complementary", {true, false}, true, kDocWithBeta},
    {"solve_direct", {false, false}, true, kDocWithBeta},
    {"solve_complementary_accurate", {true, true}, true, kDocWithBeta},
    {"solve_direct_accurate", {false, true}, true, kDocWithBeta},
    {"solve_complementary_window", kWindow, true, kDocWithBeta},
    {"solve_direct_window", kWindowDirect, true, kDocWithBeta},
    {"solve_complementary_beta_from_gamma", {true, false}, false, kDocWithoutBeta},
    {"solve_direct_beta_from_gamma", {false, false}, false, kDocWithoutBeta},
    {"solve_complementary_accurate_beta_from_gamma", {true, true}, false, kDocWithoutBeta},
    {"solve_direct_accurate_beta_from_gamma", {false, true}, false, kDocWithoutBeta},
    {"solve_complementary_window_beta_from_gamma", kWindow, false, kDocWithoutBeta},
    {"solve_direct_window_beta_from_gamma", kWindowDirect, false, kDocWithoutBeta},
};
constexpr std::size_t kVariantCount = sizeof(variants) / sizeof(variants[0]);

// numpy keeps pointers to these for the ufuncs' lifetime: the process's.
PyUFuncGenericFunction loops[2] = {&SolveLoop<float>, &SolveLoop<double>};
std::array<std::array<void*, 2>, kVariantCount> loopData;
// The dtypes of the two loops one after the other, nin + 12 of each, float32
// first: numpy takes the first loop that its inputs cast to safely.
std::array<char, 2 * (kInputCount + kOutputCount)> typesWithBeta;
std::array<char, 2 * (kInputCount - 1 + kOutputCount)> typesWithoutBeta;

template <std::size_t N>
void FillTypes(std::array<char, N>& types) {
  std::fill(types.begin(), types.begin() + N / 2, static_cast<char>(NPY_FLOAT));
  std::fill(types.begin() + N / 2, types.end(), static_cast<char>(NPY_DOUBLE));
}

}  // namespace

GatheredNotes* NotesBeingGathered() { return gathering; }

// `with _core._notes_of_one_call("quorix.solve"):` around a ufunc's call:
// its pieces' notes gathered, one warning of each kind when it ends well.
class NoteGathering {
 public:
  explicit NoteGathering(std::string call) : call_(std::move(call)) {}
  void Enter() {
    previous_ = gathering;
    gathering = &notes_;
  }
  bool Exit(const py::object& type, const py::object&, const py::object&) {
    gathering = previous_;
    if (type.is_none() && !notes_.Warn(call_.c_str())) throw py::error_already_set();
    return false;
  }

 private:
  std::string call_;
  GatheredNotes notes_;
  GatheredNotes* previous_ = nullptr;
};

void RegisterSolveUfuncs(py::module_& m) {
  py::class_<NoteGathering>(m, "_notes_of_one_call")
      .def(py::init<std::string>())
      .def("__enter__", &NoteGathering::Enter)
      .def("__exit__", &NoteGathering::Exit);
  if (_import_array() < 0 || _import_umath() < 0) throw py::error_already_set();
  FillTypes(typesWithBeta);
  FillTypes(typesWithoutBeta);
  for (std::size_t k = 0; k < kVariantCount; ++k) {
    Variant& v = variants[k];
    loopData[k] = {&v, &v};
    const int nin = v.betaGiven ? kInputCount : kInputCount - 1;
    char* signature = v.betaGiven ? typesWithBeta.data() : typesWithoutBeta.data();
    PyObject* ufunc = PyUFunc_FromFuncAndData(loops, loopData[k].data(), signature, 2, nin, kOutputCount,
                                              PyUFunc_None, v.name, v.doc, 0);
    if (ufunc == nullptr) throw py::error_already_set();
    m.attr(v.name) = py::reinterpret_steal<py::object>(ufunc);
  }
}

}  // namespace quorix::python
