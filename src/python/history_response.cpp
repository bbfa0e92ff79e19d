// quorix.response: the model's exact response along a displacement history.
#include <cstdint>

#include "python_module.h"
#include "response.h"

namespace quorix::python {

namespace {

py::dict Response(const py::object& u, double n, double gamma, double alpha, double fy, double uy, double z0) {
  const std::vector<double> history = VectorOf(u, "u");
  const Case p = NormalisedCase(n, gamma, alpha, fy, uy);
  response::History h;
  {
    py::gil_scoped_release release;
    h = response::RespondAlong(history, p, z0);
  }
  std::vector<std::int64_t> first, last;
  std::vector<double> work;
  for (const response::Stretch& s : h.stretches) {
    first.push_back(static_cast<std::int64_t>(s.first));
    last.push_back(static_cast<std::int64_t>(s.last));
    work.push_back(s.work);
  }
  py::dict stretches;
  stretches["first"] = ArrayOf(first), stretches["last"] = ArrayOf(last), stretches["work"] = ArrayOf(work);
  py::dict out;
  out["z"] = ArrayOf(h.z), out["F"] = ArrayOf(h.F), out["stretches"] = stretches;
  return out;
}

}  // namespace

void RegisterResponse(py::module_& m) {
  const WindowInputs d = WindowDefaults();
  m.def("response", &Response, py::arg("u"), py::kw_only(), py::arg("n") = d.n, py::arg("gamma") = d.gamma,
        py::arg("alpha") = d.alpha, py::arg("fy") = d.fy, py::arg("uy") = d.uy, py::arg("z0") = 0.0,
        "The model's exact response along the displacement history u (any spacing, any reversals), in closed\n"
        "form: the law dz/du = (1/Uy)(1 - gamma sign(du) |z|^(n-1) z - beta |z|^n), beta = 1 - gamma, from\n"
        "z = z0 at u[0].\n\n"
        "Returns a dict: 'z' and 'F' (F = alpha fy u/uy + (1 - alpha) fy z) at every sample, numpy arrays;\n"
        "'stretches': the stretches between reversals (a change of the sign of du; a repeated sample is\n"
        "none) as arrays 'first' and 'last' (sample indices from 0) and 'work', the hysteretic work\n"
        "(1 - alpha) fy times the integral of z du along each.\n\n"
        "Raises ValueError for a history of fewer than two samples, a sample that is not finite, a\n"
        "displacement that never moves, and parameters outside the model's domain (n <= 0, gamma < 0,\n"
        "uy <= 0, |z0| >= 1).");
}

}  // namespace quorix::python
