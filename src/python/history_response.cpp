// quorix.response: the model's exact response along a displacement history.
#include <cstdint>

#include "python_module.h"
#include "response.h"

namespace quorix::python {

namespace {

// Samples between two looks for Ctrl-C: some milliseconds of work.
constexpr std::size_t kListenEvery = 16384;

// RespondAlong's steps, listening for Ctrl-C between blocks of samples: a
// pending one ends the response with the interpreter's KeyboardInterrupt.
// Sample positions in refusals count from 0.
response::History Follow(const std::vector<double>& u, const Case& p, double z0) {
  response::CheckParameters(p, z0);
  response::CheckHistory(u, p, 0);
  response::History history;
  history.z.reserve(u.size());
  history.F.reserve(u.size());
  response::Response response(p, z0, u[0]);
  history.z.push_back(response.Z());
  history.F.push_back(response.F());
  for (std::size_t k = 1; k < u.size(); ++k) {
    if (k % kListenEvery == 0) {
      const py::gil_scoped_acquire lock;
      if (PyErr_CheckSignals() != 0) throw py::error_already_set();
    }
    if (response.Next(u[k])) history.stretches.push_back(response.Closed());
    history.z.push_back(response.Z());
    history.F.push_back(response.F());
  }
  response::Stretch last;
  if (response.Open(last)) history.stretches.push_back(last);
  return history;
}

py::dict Response(const py::object& u, double n, double gamma, double alpha, double fy, double uy, double z0) {
  const std::vector<double> history = VectorOf(u, "u");
  const Case p = NormalisedCase(n, gamma, alpha, fy, uy);
  response::History h;
  {
    py::gil_scoped_release release;
    h = Follow(history, p, z0);
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
