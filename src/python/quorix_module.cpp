// quorix._core, the compiled core of the Python package quorix: Solve (as
// numpy ufuncs), the sweep, the loop, the special functions and measured
// records, with numpy arrays in and out. The package's Python layer
// (quorix/__init__.py) gives them their public names, argument checks and
// documentation.
//
// A thin layer over the engine: it converts arguments, broadcasts them as
// numpy does, spreads the elements over every core with the interpreter's
// lock released, and hands the engine's numbers back unchanged. Every value
// comes from the same calls as the window and quorix-cli make. Each area
// lives in a file of its own (python_module.h lists them); here they are
// put together.
#include <exception>

#include "accurate.h"
#include "commands.h"
#include "cycles.h"
#include "fit.h"
#include "numbertext.h"
#include "python_module.h"
#include "record.h"
#include "services.h"
#include "response.h"

namespace {

// A refused input (quorix::Refusal, a std::invalid_argument) is ValueError
// with its message by pybind11's own translation; a file that cannot be
// read or written is OSError.
void TranslatePlatformErrors(std::exception_ptr p) {
  try {
    if (p) std::rethrow_exception(p);
  } catch (const quorix::platform::PlatformError& e) {
    PyErr_SetString(PyExc_OSError, e.what());
  }
}

}  // namespace

PYBIND11_MODULE(_core, m) {
  m.doc() =
      "Quorix: the energy the Bouc-Wen model (A = 1, beta + gamma = 1) dissipates in one symmetric displacement\n"
      "cycle, in closed form, with numpy arrays in and out. The law, in Wen's labelling (gamma on |du/dt|):\n"
      "    dz/dt = (du/dt - gamma |du/dt| |z|^(n-1) z - beta du/dt |z|^n) / Uy,  F = alpha (Fy/Uy) u + (1 - alpha) Fy z\n"
      "OpenSees's BoucWen and BoucWenOriginal call these two terms the other way round.\n\n"
      "solve(...)  one case, or a numpy-broadcast grid of cases\n"
      "sweep(start, stop, step, ...)  the rows of a sweep over Umax/Uy\n"
      "loop(...)  the closed hysteresis loop of one case\n"
      "special  the special functions of the engine\n"
      "read_record(path), cycles(u, F), fit(u, F)  measured records: read, their cycles, the model fitted\n"
      "response(u, ...)  the model's exact response along a displacement history\n"
      "Material  OpenSees's materials, CSI's Wen link and Wen's general A, beta, gamma, in and out\n\n"
      "The case's keyword arguments are those of quorix-cli: n, gamma, beta (default: 1 - gamma as the window\n"
      "shows it), alpha, fy, uy, u (Umax/Uy), with the window's initial values as defaults; mode='complementary'\n"
      "or 'direct' (beyond saturation Direct's DE stops growing, Complementary's DE/(Fh Uy) grows by 4 per unit\n"
      "of Umax/Uy); accurate=False for the specified arithmetic, True for the exact mathematics.";
  m.attr("__version__") = QUORIX_VERSION;
  py::register_exception_translator(&TranslatePlatformErrors);
  quorix::python::RegisterCases(m);
  quorix::python::RegisterElementLoop(m);
  quorix::python::RegisterSolveUfuncs(m);
  quorix::python::RegisterIsolationUfunc(m);
  quorix::python::RegisterSpecial(m);
  quorix::python::RegisterEngineTiming(m);
  quorix::python::RegisterMeasured(m);
  quorix::python::RegisterResponse(m);
  quorix::python::RegisterMaterial(m);
  quorix::python::RegisterVerify(m);
}
