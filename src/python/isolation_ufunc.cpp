// The numpy ufunc behind quorix.isolation_at: the properties of the exact
// steady loop at a displacement D, and its equivalent bilinear loop, for
// every (case, D, bearings) that numpy broadcasts.
//
//   isolation_at(n, gamma, alpha, fy, uy, D, bearings)
//     -> D, Keff, F, EDC, betaEff, Qd, Za, z0, Kd, Dy, Ku
//
// The quantities are those of the N bearings side by side (isolation::System),
// as quorix-cli isolation at --json gives them under "system"; β is 1 − γ as
// the window shows it, as the command line takes it without --beta.
//
// An element never fails the call: a case outside the model's domain, a D
// not positive and finite, or a bearing count that is not a whole number of
// at least 1 gives NaN in all eleven outputs, and a loop without an
// equivalent bilinear one NaN in Kd, Dy and Ku. The package's function finds
// the first such element and says why (_isolation_reason).
//
// An array of D for one case repeats the case element after element, and a
// grid of cases by displacements brings each case round again: each thread
// keeps its cases' Loops (their tables looked up once), which give the same
// bits as PropertiesAt, itself Loop(c).At(D).
#define NPY_NO_DEPRECATED_API NPY_1_7_API_VERSION
#include <numpy/arrayobject.h>
#include <numpy/ufuncobject.h>

#include <cfenv>
#include <cmath>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <unordered_map>

#include "case.h"
#include "isolation.h"
#include "numbertext.h"
#include "python_module.h"

namespace quorix::python {

namespace {

namespace iso = isolation;

enum IsolationInput { kIsoN, kIsoGamma, kIsoAlpha, kIsoFy, kIsoUy, kIsoD, kIsoBearings, kIsoInputCount };
constexpr int kIsoOutputCount = 11;
using IsoInputs = std::array<double, kIsoInputCount>;
using IsoOutputs = std::array<double, kIsoOutputCount>;

Case CaseOf(const IsoInputs& x) {
  // β as the window's field shows 1 − γ: what quorix-cli takes without --beta. A γ that
  // is not finite leaves β so, for the domain check to refuse.
  double beta = 1.0 - x[kIsoGamma];
  if (std::isfinite(beta)) beta = ParseNumber(FormatPlainNumber(beta));
  return Case{.n = x[kIsoN], .beta = beta, .gamma = x[kIsoGamma], .alpha = x[kIsoAlpha], .Fy = x[kIsoFy], .Uy = x[kIsoUy]};
}

// This thread's loops by case: the bits of PropertiesAt, without looking a
// case's tables up again (nor writing β's text) while it recurs, whether the
// case repeats element after element (an array of D) or comes round again
// (a grid of cases by displacements, the case changing at every element).
// Keyed on the inputs' bits, so that 0 and −0 or two NaN are never mixed up.
// At most kKeptLoops (kilobytes each, with their tables) are kept; past
// that the cache starts afresh, so a call of many distinct cases costs one
// Loop each, as before, and no more memory.
struct CaseKey {
  std::array<std::uint64_t, kIsoD> bits{};
  bool operator==(const CaseKey&) const = default;
};

struct CaseKeyHash {
  std::size_t operator()(const CaseKey& k) const {
    std::uint64_t h = 0x9e3779b97f4a7c15u;
    for (const std::uint64_t b : k.bits) h = (h ^ b) * 0x100000001b3u + (h >> 29);
    return static_cast<std::size_t>(h);
  }
};

constexpr std::size_t kKeptLoops = 1024;

iso::Properties PropertiesOf(const IsoInputs& x) {
  thread_local std::unordered_map<CaseKey, std::unique_ptr<iso::Loop>, CaseKeyHash> loops;
  thread_local const iso::Loop* last = nullptr;
  thread_local CaseKey lastKey;
  CaseKey key;
  std::memcpy(key.bits.data(), x.data(), sizeof(key.bits));
  if (last == nullptr || !(key == lastKey)) {
    last = nullptr;
    auto found = loops.find(key);
    if (found == loops.end()) {
      auto loop = std::make_unique<iso::Loop>(CaseOf(x));  // Refusal outside the domain: nothing kept
      if (loops.size() >= kKeptLoops) loops.clear();
      found = loops.emplace(key, std::move(loop)).first;
    }
    last = found->second.get();
    lastKey = key;
  }
  return last->At(x[kIsoD]);
}

void RequireBearings(double N) {
  if (!(N >= 1.0) || !std::isfinite(N) || N != std::floor(N)) {
    throw Refusal("bearings: the number of bearings must be a whole number of at least 1: " + FormatPlainNumber(N));
  }
}

// One element's outputs; Refusal where the loop's properties do not exist.
// `bilinearRefusal` receives the reason the bilinear loop does not exist.
IsoOutputs IsolationElement(const IsoInputs& x, std::string* bilinearRefusal = nullptr) {
  constexpr double nan = std::numeric_limits<double>::quiet_NaN();
  const double N = x[kIsoBearings];
  RequireBearings(N);
  const iso::Properties bearing = PropertiesOf(x);
  const iso::Properties p = iso::System(bearing, N);
  IsoOutputs out = {p.D, p.Keff, p.Force, p.EDC, p.betaEff, p.Qd, p.Za, p.z0, nan, nan, nan};
  if (iso::BilinearStatusOf(bearing) == iso::BilinearStatus::Exists) {
    const iso::Bilinear b = iso::System(iso::EquivalentBilinear(bearing), N);
    out[8] = b.Kd;
    out[9] = b.Dy;
    out[10] = b.Ku;
  } else if (bilinearRefusal != nullptr) {
    try {
      iso::EquivalentBilinear(bearing);
    } catch (const Refusal& e) {
      *bilinearRefusal = e.what();
    }
  }
  return out;
}

constexpr npy_intp kInline = 16;

void IsolationLoop(char** args, const npy_intp* dimensions, const npy_intp* steps, void*) {
  const npy_intp count = dimensions[0];
  {
    // An earlier piece of the same call interrupted, or Ctrl-C pending: the rest is not computed.
    const PyGILState_STATE lock = PyGILState_Ensure();
    const bool ended = PyErr_Occurred() != nullptr || PyErr_CheckSignals() != 0;
    PyGILState_Release(lock);
    if (ended) return;
  }
  auto element = [&](std::size_t index) {
    const auto i = static_cast<npy_intp>(index);
    IsoInputs x{};
    for (int k = 0; k < kIsoInputCount; ++k) std::memcpy(&x[k], args[k] + i * steps[k], sizeof(double));
    IsoOutputs out;
    try {
      out = IsolationElement(x);
    } catch (const Refusal&) {
      out.fill(std::numeric_limits<double>::quiet_NaN());
    }
    for (int k = 0; k < kIsoOutputCount; ++k) {
      std::memcpy(args[kIsoInputCount + k] + i * steps[kIsoInputCount + k], &out[k], sizeof(double));
    }
  };
  // The room's arithmetic meets infinities on purpose; its flags are not numpy's to warn about.
  std::fexcept_t flags;
  std::fegetexceptflag(&flags, FE_ALL_EXCEPT);
  if (count <= kInline) {
    for (npy_intp i = 0; i < count; ++i) element(static_cast<std::size_t>(i));
  } else {
    // numpy lets the interpreter's lock go for a long loop; the element loop wants it, to release it
    // itself and to listen for Ctrl-C.
    const PyGILState_STATE lock = PyGILState_Ensure();
    try {
      ElementLoop loop;
      loop.Run(static_cast<std::size_t>(count), element);
    } catch (py::error_already_set& e) {
      e.restore();  // KeyboardInterrupt, left for numpy to raise
    } catch (const std::exception& e) {
      PyErr_SetString(PyExc_RuntimeError, e.what());
    }
    PyGILState_Release(lock);
  }
  std::fesetexceptflag(&flags, FE_ALL_EXCEPT);
}

// Why an element's outputs hold NaN: the refusal of its properties, or of its
// bilinear loop; None when they all exist.
py::object IsolationReason(double n, double gamma, double alpha, double fy, double uy, double D, double bearings) {
  std::string bilinear;
  try {
    IsolationElement({n, gamma, alpha, fy, uy, D, bearings}, &bilinear);
  } catch (const Refusal& e) {
    return py::str(e.what());
  }
  return bilinear.empty() ? py::object(py::none()) : py::object(py::str(bilinear));
}

PyUFuncGenericFunction isolationLoops[1] = {&IsolationLoop};
void* isolationData[1] = {nullptr};
std::array<char, kIsoInputCount + kIsoOutputCount> isolationTypes;

}  // namespace

void RegisterIsolationUfunc(py::module_& m) {
  if (_import_array() < 0 || _import_umath() < 0) throw py::error_already_set();
  isolationTypes.fill(static_cast<char>(NPY_DOUBLE));
  PyObject* ufunc = PyUFunc_FromFuncAndData(
      isolationLoops, isolationData, isolationTypes.data(), 1, kIsoInputCount, kIsoOutputCount, PyUFunc_None,
      "isolation_at",
      "(n, gamma, alpha, fy, uy, D, bearings) -> (D, Keff, F, EDC, betaEff, Qd, Za, z0, Kd, Dy, Ku) of the N "
      "bearings; NaN where a property does not exist",
      0);
  if (ufunc == nullptr) throw py::error_already_set();
  m.attr("isolation_at") = py::reinterpret_steal<py::object>(ufunc);
  m.def("_isolation_reason", &IsolationReason,
        "Why isolation_at gives NaN for these inputs: the refusal's message, or None.");
}

}  // namespace quorix::python
