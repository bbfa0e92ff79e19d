// quorix.special: the engine's special functions on arrays, each element
// with its status in the engine's calling convention, or the exact
// mathematics on request; quorix/special.py gives them their shapes and
// the values at a failure.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <exception>

#include "accurate.h"
#include "python_module.h"
#include "specialfunctions.h"

namespace quorix::python {

namespace {

using Flat = py::array_t<double, py::array::c_style | py::array::forcecast>;

// What an array call met first, in element order: its flat index, "value"
// (ValueError: the accurate arithmetic outside its domain) or "fault"
// (FloatingPointError: the evaluator's own arithmetic), and the message.
py::tuple FirstFailure(const ElementLoop& loop, std::exception_ptr failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const FloatingPointFault&) {
    return py::make_tuple(loop.FailedIndex(), "fault", "a floating-point fault in the evaluator's own arithmetic");
  } catch (const std::exception& e) {
    return py::make_tuple(loop.FailedIndex(), "value", e.what());
  }
}

// Every element of flat, equally long arrays on every core: (values,
// statuses, None) or, when an element failed, (values, statuses, (index,
// kind, message)) with the values stored up to the failure and at it.
template <int Arity, class Evaluate>
py::tuple EachElement(const std::array<Flat, Arity>& args, const Evaluate& evaluate) {
  const auto count = static_cast<std::size_t>(args[0].size());
  py::array_t<double> values(static_cast<py::ssize_t>(count));
  py::array_t<std::int32_t> statuses(static_cast<py::ssize_t>(count));
  std::array<const double*, Arity> in{};
  for (int k = 0; k < Arity; ++k) in[static_cast<std::size_t>(k)] = args[static_cast<std::size_t>(k)].data();
  double* value = values.mutable_data();
  std::int32_t* status = statuses.mutable_data();
  std::fill(value, value + count, 0.0);
  std::fill(status, status + count, 0);
  ElementLoop loop;
  py::object failed = py::none();
  try {
    loop.Run(count, [&](std::size_t i) {
      std::array<double, Arity> x{};
      for (std::size_t k = 0; k < Arity; ++k) x[k] = in[k][i];
      status[i] = evaluate(x, value[i]);
    });
  } catch (const py::error_already_set&) {
    throw;  // Ctrl-C
  } catch (...) {
    failed = FirstFailure(loop, std::current_exception());
  }
  return py::make_tuple(values, statuses, failed);
}

// The array form of a function of one argument: the specified arithmetic
// with its statuses, or the accurate one. The accurate functions refuse
// exactly where the value is not a number of the line (a pole, NaN, ±inf);
// that is status 0 there, as in the specified mode, so that both modes
// give the same one-sided limit or NaN (special.py) rather than one of
// them raising for an array that merely touches a pole.
template <std::int32_t (*Specified)(double, double&), double (*Accurate)(double)>
py::tuple OneArgumentArray(const Flat& x, bool accurate) {
  return EachElement<1>({x}, [accurate](const std::array<double, 1>& a, double& value) -> std::int32_t {
    if (!accurate) return Specified(a[0], value);
    try {
      value = Accurate(a[0]);
    } catch (const Refusal&) {
      value = 0.0;
      return 0;
    }
    return 1;
  });
}

py::tuple Hyp2F1Array(const Flat& a, const Flat& b, const Flat& c, const Flat& z, bool accurate) {
  return EachElement<4>({a, b, c, z}, [accurate](const std::array<double, 4>& x, double& value) -> std::int32_t {
    if (!accurate) return Hypergeometric2F1(x[0], x[1], x[2], x[3], value);
    // A NaN argument fails (NaN, status 0) in both modes; parameters outside
    // the family the exact form covers are still refused (ValueError): the
    // specified evaluator answers them, the exact one cannot.
    if (std::isnan(x[0]) || std::isnan(x[1]) || std::isnan(x[2]) || std::isnan(x[3])) {
      value = 0.0;
      return 0;
    }
    value = accurate::Hyp2F1(x[0], x[1], x[2], x[3]);
    return 1;
  });
}

py::tuple SeriesArray(const Flat& a, const Flat& b, const Flat& c, const Flat& z) {
  return EachElement<4>({a, b, c, z}, [](const std::array<double, 4>& x, double& sum) -> std::int32_t {
    return HypergeometricSeries(x[0], x[1], x[2], x[3], sum);
  });
}

}  // namespace

void RegisterSpecial(py::module_& m) {
  py::module_ special = m.def_submodule(
      "special",
      "The engine's special functions on flat float64 arrays, for quorix.special: the values, the statuses\n"
      "(0 for a failure) and the first element that failed, or None.");
  // The array forms behind quorix.special: flat float64 arrays of one length
  // in, (values, statuses, first failure or None) out.
  special.def("_loggamma_array", &OneArgumentArray<LogGamma, accurate::LogGamma>);
  special.def("_gamma_array", &OneArgumentArray<GammaFunction, accurate::Gamma>);
  special.def("_digamma_array", &OneArgumentArray<Digamma, accurate::Digamma>);
  special.def("_hyp2f1_array", &Hyp2F1Array);
  special.def("_series_array", &SeriesArray);
}

}  // namespace quorix::python
