// quorix.Material: a case as analysis programs write it (OpenSees's BoucWen
// and BoucWenOriginal, OpenSeesPy's call, CSI's Wen link, Wen's general law
// with any A, β, γ), mapped exactly onto the normalised case, solved by the package's
// Material.solve and written back out in each program's form.
#include <functional>
#include <optional>
#include <string>
#include <tuple>

#include <pybind11/functional.h>
#include <pybind11/stl.h>

#include "material.h"
#include "material_text.h"
#include "python_module.h"

namespace quorix::python {

namespace {

// The mapped, normalised case and the A its OpenSees line is written with by
// default (that of the general law it came from, else 1).
struct PyMaterial {
  Case c;
  double A = 1.0;
  ElasticTerm elastic;  // from a BoucWenOriginal with alphaNL or the isolator element
};

PyMaterial Mapped(const std::function<Case()>& map, double A = 1.0) { return {map(), A, {}}; }

py::object CsiDict(const std::optional<material::CsiWen>& link) {
  if (!link) return py::none();
  py::dict d;
  d["k"] = link->k;
  d["yield"] = link->yield;
  d["ratio"] = link->ratio;
  d["exp"] = link->exp;
  return d;
}

material::MaterialLines LinesFor(const Case& c, double A, long tag) { return material::LinesOf(c, A, tag); }

// The lines of a material with its elastic term; a form that cannot hold the
// term (BoucWen, the CSI link) is refused naming it.
material::MaterialLines LinesFor(const PyMaterial& p, double A, long tag, const char* form = nullptr) {
  if (form != nullptr && p.elastic.Active()) {
    throw Refusal(std::string(form) + " has no " + material::ElasticTermText(p.elastic));
  }
  return material::LinesOf(p.c, p.elastic, A, tag, nullptr);
}

std::string Repr(const PyMaterial& m) {
  auto f = [](double x) { return py::repr(py::float_(x)).cast<std::string>(); };
  const std::string term = m.elastic.Active() ? ", k3=" + f(m.elastic.k3) + ", mu=" + f(m.elastic.mu) : "";
  return "quorix.Material(n=" + f(m.c.n) + ", gamma=" + f(m.c.gamma) + ", beta=" + f(m.c.beta) +
         ", alpha=" + f(m.c.alpha) + ", fy=" + f(m.c.Fy) + ", uy=" + f(m.c.Uy) + term + ")";
}

// The ways to make a Material: a normalised case, Wen's general law and each
// program's form, mapped onto the normalised case; d gives the defaults.
void AddMakers(py::class_<PyMaterial>& cls, const WindowInputs& d) {
  cls.def(py::init([](double n, double gamma, const std::optional<double>& beta, double alpha, double fy, double uy) {
            return Mapped([&] {
              return material::Normalise(
                  {.n = n, .beta = beta.value_or(1.0 - gamma), .gamma = gamma, .alpha = alpha, .Fy = fy, .Uy = uy});
            });
          }),
          py::kw_only(), py::arg("n") = d.n, py::arg("gamma") = d.gamma, py::arg("beta") = py::none(),
          py::arg("alpha") = d.alpha, py::arg("fy") = d.fy, py::arg("uy") = d.uy,
          "A normalised case (beta defaults to 1 - gamma; a sum other than 1 is normalised, as general() does "
          "with A = 1).")
      .def_static(
          "general",
          [](double A, double beta, double gamma, double n, double alpha, double fy, double uy) {
            return Mapped(
                [&] {
                  return material::Normalise(
                      {.n = n, .beta = beta, .gamma = gamma, .alpha = alpha, .Fy = fy, .Uy = uy, .A = A});
                },
                A);
          },
          py::kw_only(), py::arg("A"), py::arg("beta"), py::arg("gamma"), py::arg("n") = d.n,
          py::arg("alpha") = d.alpha, py::arg("fy") = d.fy, py::arg("uy") = d.uy,
          "Wen's general law with any A > 0 and beta + gamma > 0 (Quorix's labelling: gamma on |du/dt|).\n"
          "Mapped with z = z_u w, z_u = (A/(beta + gamma))^(1/n): gamma' = gamma/s, beta' = beta/s,\n"
          "Uy' = Uy z_u/A, alpha' = alpha/(alpha + (1 - alpha) A), Fy' = (Fy/Uy)(alpha + (1 - alpha) A) Uy'.")
      .def_static(
          "from_opensees",
          [](const std::string& text) {
            const material::MappedMaterial mapped = material::Map(material::ParseOpenSees(text));
            return PyMaterial{mapped.c, 1.0, mapped.elastic};
          },
          py::arg("text"),
          "An OpenSees material without degradation: Tcl words ('uniaxialMaterial BoucWen tag alpha ko n gamma\n"
          "beta Ao 0 0 0', 'uniaxialMaterial BoucWenOriginal tag E fy alphaL ...') or OpenSeesPy's call text\n"
          "(\"ops.uniaxialMaterial('BoucWen', 1, ...)\"), or the element 'element elastomericBearingBoucWen tag\n"
          "iNode jNode kInit qd alpha1 alpha2 mu eta beta gamma -P ...' (its shear law). ValueError names the\n"
          "word at fault; degradation (deltaA, deltaNu, deltaEta) is refused: no closed form holds for it.\n"
          "BoucWenOriginal's alphaNL and the element's alpha2 give the elastic term k3*sgn(u)*|u|^mu (k3, mu).")
      .def_static(
          "from_csi_wen",
          [](double k, double yieldStrength, double ratio, double exponent) {
            return Mapped([&] { return material::FromCsiWen({k, yieldStrength, ratio, exponent}); });
          },
          py::kw_only(), py::arg("k"), py::arg("yield_strength"), py::arg("ratio"), py::arg("exp"),
          "CSI's Plastic (Wen) link: stiffness k, yield strength, post-yield stiffness ratio, yielding\n"
          "exponent. The model with gamma = beta = 0.5, Uy = yield/k, Fy = yield, alpha = ratio, n = exp.");
}

// The mapped case's parameters, read-only.
void AddParameters(py::class_<PyMaterial>& cls) {
  cls.def_property_readonly("n", [](const PyMaterial& p) { return p.c.n; })
      .def_property_readonly("gamma", [](const PyMaterial& p) { return p.c.gamma; })
      .def_property_readonly("beta", [](const PyMaterial& p) { return p.c.beta; })
      .def_property_readonly("alpha", [](const PyMaterial& p) { return p.c.alpha; })
      .def_property_readonly("fy", [](const PyMaterial& p) { return p.c.Fy; })
      .def_property_readonly("uy", [](const PyMaterial& p) { return p.c.Uy; })
      .def_property_readonly("k3", [](const PyMaterial& p) { return p.elastic.k3; })
      .def_property_readonly("mu", [](const PyMaterial& p) { return p.elastic.mu; });
}

// The case written out in each program's form.
void AddWriters(py::class_<PyMaterial>& cls) {
  cls.def(
         "to_opensees", [](const PyMaterial& p, const std::optional<double>& A,
                           long tag) { return LinesFor(p, A.value_or(p.A), tag, "BoucWen").tclBoucWen; },
         py::kw_only(), py::arg("A") = py::none(), py::arg("tag") = 1,
         "The Tcl line of OpenSees's BoucWen material (z in displacement units) with Ao = A (default: the\n"
         "general law's A, else 1).")
      .def(
          "to_openseespy", [](const PyMaterial& p, const std::optional<double>& A,
                              long tag) { return LinesFor(p, A.value_or(p.A), tag, "BoucWen").pythonBoucWen; },
          py::kw_only(), py::arg("A") = py::none(), py::arg("tag") = 1, "The same as OpenSeesPy's call.")
      .def(
          "to_opensees_original", [](const PyMaterial& p, long tag) { return LinesFor(p, 1.0, tag).tclOriginal; },
          py::kw_only(), py::arg("tag") = 1, "The Tcl line of OpenSees's BoucWenOriginal material.")
      .def(
          "to_openseespy_original",
          [](const PyMaterial& p, long tag) { return LinesFor(p, 1.0, tag).pythonOriginal; }, py::kw_only(),
          py::arg("tag") = 1, "The same as OpenSeesPy's call.")
      .def(
          "to_opensees_element",
          [](const PyMaterial& p, long tag) {
            const material::ElastomericBearing m = material::ToElastomericBearing(p.c, p.elastic, tag);
            return std::pair{material::TclLine(m), material::PythonCall(m)};
          },
          py::kw_only(), py::arg("tag") = 1,
          "The elastomericBearingBoucWen element's Tcl line and OpenSeesPy call (nodes and the other\n"
          "directions as variables to fill in).")
      .def(
          "to_csi_wen", [](const PyMaterial& p) { return CsiDict(LinesFor(p, 1.0, 1, "the Wen link").csiWen); },
          "The Wen link's k, yield, ratio, exp as a dict, or None unless gamma = beta = 0.5 (to 15 digits).");
}

}  // namespace

py::dict MaterialsDict(double n, double gamma, double beta, double alpha, double Fy, double Uy) {
  const material::MaterialLines lines = LinesFor(Case{n, beta, gamma, alpha, Fy, Uy}, 1.0, 1);
  py::dict d;
  d["opensees_boucwen"] = lines.tclBoucWen;
  d["opensees_boucwen_original"] = lines.tclOriginal;
  d["openseespy_boucwen"] = lines.pythonBoucWen;
  d["openseespy_boucwen_original"] = lines.pythonOriginal;
  d["csi_wen"] = CsiDict(lines.csiWen);
  return d;
}

bool WarnIfSumDiffers(double beta, double gamma, int level) {
  if (!material::SumDiffersFromOne(beta, gamma)) return true;
  const std::string message = "beta + gamma = " + py::repr(py::float_(beta + gamma)).cast<std::string>() +
                              ", but the formulas take beta + gamma = 1 (and A = 1); for Wen's general law use "
                              "quorix.Material.general(A=..., beta=..., gamma=..., ...)";
  return PyErr_WarnEx(PyExc_UserWarning, message.c_str(), level) == 0;
}

void RegisterMaterial(py::module_& m) {
  const WindowInputs d = WindowDefaults();
  py::class_<PyMaterial> cls(
      m, "Material",
      "A case as analysis programs write it, mapped exactly onto Quorix's normalised case.\n\n"
      "Quorix's law, in Wen's labelling (gamma on the |du/dt| term):\n"
      "    dz/dt = (A du/dt - gamma |du/dt| |z|^(n-1) z - beta du/dt |z|^n) / Uy\n"
      "    F = alpha (Fy/Uy) u + (1 - alpha) Fy z\n"
      "normalised when A = 1 and beta + gamma = 1, the case the formulas take. OpenSees's BoucWen and\n"
      "BoucWenOriginal label the two terms the other way round: their beta is Quorix's gamma.\n\n"
      "Make one with Material(n=..., gamma=..., ...) for a normalised case, Material.general(...),\n"
      "Material.from_opensees(text) or Material.from_csi_wen(...); its attributes n, gamma, beta, alpha,\n"
      "fy, uy are the mapped case's, solve() solves it and the to_* methods write it for each program.");
  AddMakers(cls, d);
  AddParameters(cls);
  AddWriters(cls);
  cls.def("__repr__", &Repr);
  // The state is the mapped case and its A as they are: no mapping again,
  // so that a material comes back from a pickle bit for bit.
  // Seven values as ever; a material with an elastic term adds k3 and mu.
  const auto state = [](const PyMaterial& p) {
    py::tuple s = py::make_tuple(p.c.n, p.c.gamma, p.c.beta, p.c.alpha, p.c.Fy, p.c.Uy, p.A);
    return p.elastic.Active() ? py::tuple(s + py::make_tuple(p.elastic.k3, p.elastic.mu)) : s;
  };
  cls.def(py::pickle(state, [](const py::tuple& s) {
        auto at = [&s](std::size_t i) { return s[i].cast<double>(); };
        if (s.size() != 7 && s.size() != 9) throw std::runtime_error("a Material's state holds 7 or 9 values");
        PyMaterial p{{.n = at(0), .beta = at(2), .gamma = at(1), .alpha = at(3), .Fy = at(4), .Uy = at(5)}, at(6), {}};
        if (s.size() == 9) p.elastic = {at(7), at(8)};
        return p;
      }))
      .def("_state", state)
      .def("__eq__", [state](const PyMaterial& a, const PyMaterial& b) { return state(a).equal(state(b)); });
}

}  // namespace quorix::python
