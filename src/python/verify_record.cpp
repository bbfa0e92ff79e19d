// quorix.verify: how far an analysis program's record lies from the model it
// was given (src/verify); the package's Python layer wraps the dict in a
// Verification.
#include <cstdint>
#include <optional>
#include <string>

#include "python_module.h"
#include "verify.h"

namespace quorix::python {

namespace {

py::dict DifferenceDict(const verify::Difference& d, const std::vector<double>& u) {
  py::dict out;
  out["largest"] = d.largest, out["sample"] = static_cast<std::int64_t>(d.at), out["u"] = u[d.at];
  out["rms"] = d.rms, out["scale"] = d.scale, out["relative"] = d.relative;
  return out;
}

py::dict CyclesDict(const verify::Report& r) {
  std::vector<std::int64_t> first, last;
  std::vector<double> program, exact;
  for (const verify::CycleEnergy& c : r.cycles) {
    first.push_back(static_cast<std::int64_t>(c.first)), last.push_back(static_cast<std::int64_t>(c.last));
    program.push_back(c.program), exact.push_back(c.exact);
  }
  py::dict out;
  out["first"] = ArrayOf(first), out["last"] = ArrayOf(last);
  out["program_EDC"] = ArrayOf(program), out["model_EDC"] = ArrayOf(exact);
  return out;
}

// The model: an OpenSees material line, CSI's Wen link, or the normalised case.
verify::ProgramModel ModelOf(const std::optional<std::string>& material, const std::optional<std::string>& csiWen,
                             const Case& c) {
  if (material) return verify::ModelOfOpenSees(*material);
  if (csiWen) return verify::ModelOfCsiWen(*csiWen);
  return verify::ModelOfCase(c);
}

// None or a value of T (std::optional without pybind11's STL casters).
template <class T>
std::optional<T> Optional(const py::object& value) {
  if (value.is_none()) return std::nullopt;
  return value.cast<T>();
}

py::dict Verify(const py::object& u, const py::object& F, const py::object& z, double n, double gamma, double alpha,
                double fy, double uy, const py::object& materialText, const py::object& csiWenText,
                const py::object& z0Value, const py::object& toleranceValue, double deadBand) {
  const auto material = Optional<std::string>(materialText), csiWen = Optional<std::string>(csiWenText);
  const auto z0 = Optional<double>(z0Value), tolerance = Optional<double>(toleranceValue);
  const std::vector<double> us = VectorOf(u, "u"), Fs = VectorOf(F, "F");
  const std::vector<double> zs = z.is_none() ? std::vector<double>{} : VectorOf(z, "z");
  const verify::ProgramModel model = ModelOf(material, csiWen, NormalisedCase(n, gamma, alpha, fy, uy));
  verify::Options o;
  o.deadBand = deadBand;
  o.tolerance = tolerance;
  if (z0) o.z0 = *z0 / model.zScale;
  verify::Report r;
  {
    py::gil_scoped_release release;
    r = verify::Verify(us, Fs, zs, model, o);
  }
  py::dict out;
  out["F"] = DifferenceDict(r.force, us);
  out["z"] = r.z ? py::object(DifferenceDict(*r.z, us)) : py::object(py::none());
  out["relative"] = r.relative, out["tolerance"] = tolerance ? py::object(py::float_(*tolerance)) : py::none();
  out["verdict"] = std::string(verify::VerdictName(r.verdict));
  out["verdict_text"] = verify::VerdictLine(r, us, o, 0);
  out["z0"] = r.z0;
  out["cycles"] = CyclesDict(r), out["cycles_note"] = r.cyclesNote;
  out["model_F"] = ArrayOf(r.exactF), out["model_z"] = ArrayOf(r.exactZ);
  return out;
}

}  // namespace

void RegisterVerify(py::module_& m) {
  const WindowInputs d = WindowDefaults();
  m.def("verify", &Verify, py::arg("u"), py::arg("F"), py::arg("z") = py::none(), py::kw_only(),
        py::arg("n") = d.n, py::arg("gamma") = d.gamma, py::arg("alpha") = d.alpha, py::arg("fy") = d.fy,
        py::arg("uy") = d.uy, py::arg("material") = py::none(), py::arg("csi_wen") = py::none(),
        py::arg("z0") = py::none(), py::arg("tolerance") = py::none(),
        py::arg("dead_band") = measured::kDefaultDeadBand,
        "How far an analysis program's record (u, F, optionally z in the program's units) lies from the\n"
        "model: a dict of the figures; quorix.verify wraps it in a Verification.");
}

}  // namespace quorix::python
