// quorix.special: the engine's special functions with its calling
// convention, (value, status), or the exact mathematics on request.
#include <pybind11/stl.h>

#include <cstdint>
#include <utility>

#include "accurate.h"
#include "python_module.h"
#include "specialfunctions.h"

namespace quorix::python {

namespace {

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

Outcome Series(double a, double b, double c, double z) {
  double sum = 0.0;
  const std::int32_t status = HypergeometricSeries(a, b, c, z, sum);
  return {sum, status};
}

}  // namespace

void RegisterSpecial(py::module_& m) {
  py::module_ special = m.def_submodule(
      "special",
      "The engine's special functions with its calling convention: (value, status), status 0 for a failure.\n"
      "accurate=True gives the exact mathematics instead, with status 1 (ValueError outside its domain).");
  special.def("loggamma", &OneArgument<LogGamma, accurate::LogGamma>, py::arg("x"), py::kw_only(),
              py::arg("accurate") = false, "ln Gamma(x) for x > 0.");
  special.def("gamma", &OneArgument<GammaFunction, accurate::Gamma>, py::arg("x"), py::kw_only(),
              py::arg("accurate") = false, "Gamma(x) for x > 0 and negative non-integers.");
  special.def("digamma", &OneArgument<Digamma, accurate::Digamma>, py::arg("x"), py::kw_only(),
              py::arg("accurate") = false,
              "psi(x). Status 1 from a table or when the series met its stop test, 2 when all of its terms ran.");
  special.def("hyp2f1", &Hyp2F1, py::arg("a"), py::arg("b"), py::arg("c"), py::arg("z"), py::kw_only(),
              py::arg("accurate") = false,
              "F(a, b; c; z) for z < 1. A floating-point fault of the evaluator's own arithmetic raises\n"
              "FloatingPointError, whose `value` attribute holds what it had stored. accurate=True covers\n"
              "F(1, b; 1 + b; t) and F(b, 1; 1 + b; t) only.");
  special.def("series", &Series, py::arg("a"), py::arg("b"), py::arg("c"), py::arg("z"),
              "The Gauss series of F(a, b; c; z) summed term by term; status: the index of the term that left the sum\n"
              "unchanged, 0 when 1000 terms did not reach it.");
}

}  // namespace quorix::python
