// quorix.cycles and quorix.fit: measured records, cut into cycles and fitted
// with the model's closed-form steady loops.
#include <pybind11/stl.h>

#include <cmath>
#include <cstdint>
#include <optional>

#include "cycles.h"
#include "fit.h"
#include "python_module.h"
#include "record.h"
#include "system_services.h"

namespace quorix::python {

std::vector<double> VectorOf(const py::object& values, const char* name) {
  const auto a = py::array_t<double, py::array::forcecast | py::array::c_style>::ensure(values);
  if (!a || a.ndim() != 1) throw py::value_error(std::string(name) + " must be a one-dimensional sequence of numbers");
  return std::vector<double>(a.data(), a.data() + a.size());
}

namespace {

// The reversal search's dead band, refused by the name the caller gave it.
void CheckDeadBand(double deadBand) {
  if (!(deadBand > 0.0 && deadBand < 1.0)) {
    throw py::value_error("dead_band must be a share of the displacement range, 0 < dead_band < 1, not " +
                          py::repr(py::float_(deadBand)).cast<std::string>());
  }
}

// A column argument as the reader takes it: an int counts from 0, a str is
// the header's name (or, all digits, an index from 0 as well).
std::string ColumnText(const py::object& column, const char* name) {
  if (column.is_none()) return {};
  if (py::isinstance<py::str>(column)) return column.cast<std::string>();
  if (py::isinstance<py::int_>(column) && !py::isinstance<py::bool_>(column)) {
    const auto index = column.cast<std::int64_t>();
    if (index < 0) throw py::value_error(std::string(name) + ": columns count from 0, not " + std::to_string(index));
    return std::to_string(index);
  }
  throw py::type_error(std::string(name) + " must be a column's index (int, from 0) or its name (str)");
}

bool IsPath(const py::object& value) {
  return py::isinstance<py::str>(value) || py::hasattr(value, "__fspath__");
}

measured::Record ReadFile(const py::object& path, const py::object& uColumn, const py::object& FColumn,
                          measured::Columns columns = measured::Columns::kDisplacementAndForce) {
  const std::string file = py::str(py::module_::import("os").attr("fsdecode")(path));
  // The reader's messages count the columns from 0 and name the keywords,
  // as the rest of the module does.
  const measured::ColumnChoice choice{ColumnText(uColumn, "u_column"), ColumnText(FColumn, "F_column"), 0,
                                      "u_column=", "F_column="};
  py::gil_scoped_release release;
  platform::SystemServices services;
  return measured::ReadRecordFile(services, file, columns, choice);
}

py::dict ColumnDict(const measured::RecordColumn& c) {
  py::dict d;
  d["column"] = static_cast<std::int64_t>(c.number) - 1;
  d["name"] = c.name;
  d["unit"] = c.unit;
  return d;
}

// forceOptional: a displacement history alone is a record too (response's
// input, as quorix-cli response reads it).
py::dict ReadRecord(const py::object& path, const py::object& uColumn, const py::object& FColumn, bool forceOptional) {
  const measured::Record r =
      ReadFile(path, uColumn, FColumn,
               forceOptional ? measured::Columns::kDisplacementWithOptionalForce : measured::Columns::kDisplacementAndForce);
  py::dict out;
  out["u"] = ArrayOf(r.u);
  out["F"] = ArrayOf(r.F);
  out["displacement"] = ColumnDict(r.displacement);
  out["force"] = ColumnDict(r.force);
  out["columns"] = r.columns;
  out["header"] = r.header;
  out["decimal_comma"] = r.decimalComma;
  return out;
}

// The isolator's figures of cycles(): per cycle D, Qd, Kd, Dy (NaN where
// they do not exist, bilinear_refusal saying why), the amplitude group (from
// 0) and the ratios to its means; "groups", the groups' arrays.
void AddFigures(const measured::CycleTable& table, py::dict& out) {
  std::vector<double> D, Qd, Kd, Dy, KeffRatio, EDCRatio;
  std::vector<std::int64_t> group;
  py::list refusals;
  for (const measured::Cycle& c : table.cycles) {
    D.push_back(c.D), Qd.push_back(c.Qd), Kd.push_back(c.Kd), Dy.push_back(c.Dy);
    group.push_back(static_cast<std::int64_t>(c.group));
    KeffRatio.push_back(c.KeffRatio), EDCRatio.push_back(c.EDCRatio);
    refusals.append(measured::BilinearReason(c));
  }
  std::vector<std::int64_t> firstCycle, lastCycle;
  std::vector<double> meanD, meanKeff, meanEDC, firstKeff, firstEDC;
  for (const measured::AmplitudeGroup& g : table.groups) {
    firstCycle.push_back(static_cast<std::int64_t>(g.first)), lastCycle.push_back(static_cast<std::int64_t>(g.last));
    meanD.push_back(g.D), meanKeff.push_back(g.Keff), meanEDC.push_back(g.EDC);
    firstKeff.push_back(g.firstKeffRatio), firstEDC.push_back(g.firstEDCRatio);
  }
  out["D"] = ArrayOf(D), out["Qd"] = ArrayOf(Qd), out["Kd"] = ArrayOf(Kd), out["Dy"] = ArrayOf(Dy);
  out["bilinear_refusal"] = refusals;
  out["group"] = ArrayOf(group), out["Keff_ratio"] = ArrayOf(KeffRatio), out["EDC_ratio"] = ArrayOf(EDCRatio);
  py::dict groups;
  groups["first_cycle"] = ArrayOf(firstCycle), groups["last_cycle"] = ArrayOf(lastCycle);
  groups["D"] = ArrayOf(meanD), groups["Keff"] = ArrayOf(meanKeff), groups["EDC"] = ArrayOf(meanEDC);
  groups["first_Keff_ratio"] = ArrayOf(firstKeff), groups["first_EDC_ratio"] = ArrayOf(firstEDC);
  out["groups"] = groups;
}

py::dict Cycles(const py::object& u, const py::object& F, double deadBand, const py::object& uColumn,
                const py::object& FColumn) {
  CheckDeadBand(deadBand);
  std::vector<double> uv, Fv;
  if (IsPath(u)) {
    if (!F.is_none()) throw py::type_error("cycles: F must be left out when u is a file's path");
    measured::Record r = ReadFile(u, uColumn, FColumn);
    uv = std::move(r.u), Fv = std::move(r.F);
  } else {
    if (F.is_none()) throw py::type_error("cycles: F is required with arrays (or give a file's path as u)");
    if (!uColumn.is_none() || !FColumn.is_none()) {
      throw py::type_error("cycles: u_column and F_column choose the columns of a file, not of arrays");
    }
    uv = VectorOf(u, "u"), Fv = VectorOf(F, "F");
  }
  measured::CycleTable table;
  {
    py::gil_scoped_release release;
    table = measured::FindCycles(uv, Fv, deadBand, 0);
  }
  std::vector<std::int64_t> first, last;
  std::vector<double> uPlus, uMinus, FPlus, FMinus, EDC, Keff, XiEff;
  std::vector<bool> steadyFlags;
  for (const measured::Cycle& c : table.cycles) {
    first.push_back(static_cast<std::int64_t>(c.first));
    last.push_back(static_cast<std::int64_t>(c.last));
    uPlus.push_back(c.uPlus), uMinus.push_back(c.uMinus), FPlus.push_back(c.FPlus), FMinus.push_back(c.FMinus);
    EDC.push_back(c.EDC), Keff.push_back(c.Keff), XiEff.push_back(c.XiEff);
    steadyFlags.push_back(c.steady);
  }
  py::array_t<bool> steady(static_cast<py::ssize_t>(steadyFlags.size()));
  std::copy(steadyFlags.begin(), steadyFlags.end(), steady.mutable_data());
  const measured::CycleMeans& m = table.steadyMeans;
  py::dict means;
  means["count"] = m.count;
  means["uPlus"] = m.uPlus, means["uMinus"] = m.uMinus, means["FPlus"] = m.FPlus, means["FMinus"] = m.FMinus;
  means["EDC"] = m.EDC, means["Keff"] = m.Keff, means["XiEff"] = m.XiEff;
  py::dict out;
  out["first"] = ArrayOf(first), out["last"] = ArrayOf(last);
  out["uPlus"] = ArrayOf(uPlus), out["uMinus"] = ArrayOf(uMinus);
  out["FPlus"] = ArrayOf(FPlus), out["FMinus"] = ArrayOf(FMinus);
  out["EDC"] = ArrayOf(EDC), out["Keff"] = ArrayOf(Keff), out["XiEff"] = ArrayOf(XiEff);
  // Two names for two forms: "steady" a mask over the cycles, "steady_cycles"
  // their positions (from 0; the command line's "steady_cycles" counts from 1).
  std::vector<std::int64_t> steadyCycles;
  for (std::size_t i = 0; i < steadyFlags.size(); ++i) {
    if (steadyFlags[i]) steadyCycles.push_back(static_cast<std::int64_t>(i));
  }
  AddFigures(table, out);
  out["steady"] = steady;
  out["steady_cycles"] = ArrayOf(steadyCycles);
  out["steady_means"] = means;
  out["counter_clockwise"] = table.counterClockwise;
  py::list warnings;
  for (const std::string& w : measured::TableWarnings(table, 0)) warnings.append(w);
  out["warnings"] = warnings;
  return out;
}

std::string Repr(const py::handle& value) { return py::repr(value).cast<std::string>(); }

// A number as the command line reads NAME=VALUE: an int or a real (numpy's
// included), not a bool, not a text that looks like one.
bool IsRealNumber(const py::handle& value) {
  static const py::object real = py::module_::import("numbers").attr("Real");
  return !py::isinstance<py::bool_>(value) && py::isinstance(value, real);
}

void ReadAssignments(const py::object& values, std::array<std::optional<double>, 5>& where, const char* what) {
  if (!py::isinstance<py::dict>(values)) {
    throw py::type_error(std::string(what) + " must be a dict {name: number}, not " + Repr(values));
  }
  for (const auto& [key, value] : values.cast<py::dict>()) {
    if (!py::isinstance<py::str>(key)) {
      throw py::type_error(std::string(what) + ": parameter names are strings, not " + Repr(key));
    }
    const std::string name = py::str(key);
    if (!measured::ParameterIndex(name)) {
      throw py::value_error(std::string(what) + ": unknown parameter \"" + name +
                            "\" (names: n, gamma, beta, alpha, fy, uy)");
    }
    if (!IsRealNumber(value)) {
      throw py::type_error(std::string(what) + ": the value of " + name + " must be a number, not " + Repr(value));
    }
    try {
      measured::SetParameter(where, name, value.cast<double>());
    } catch (const Refusal& e) {
      throw py::value_error(std::string(what) + ": " + e.what());
    }
  }
}

// An index as an int (numpy's integers included, bool not).
std::int64_t IndexOf(const py::handle& value, const char* what) {
  if (py::isinstance<py::bool_>(value) || PyIndex_Check(value.ptr()) == 0) {
    throw py::type_error(std::string(what) + " must be integers, not " + Repr(value));
  }
  try {
    return py::reinterpret_steal<py::int_>(PyNumber_Index(value.ptr())).cast<std::int64_t>();
  } catch (const py::cast_error&) {
    throw py::value_error(std::string(what) + ": " + Repr(value) + " lies beyond any record");
  }
}

std::vector<std::size_t> CycleIndices(const py::object& cycles) {
  std::vector<std::size_t> chosen;
  if (cycles.is_none()) return chosen;
  if (!py::isinstance<py::iterable>(cycles) || py::isinstance<py::str>(cycles)) {
    throw py::type_error("cycles must be a sequence of integers (rows of cycles(), from 0), not " + Repr(cycles));
  }
  for (const py::handle c : cycles) {
    const std::int64_t index = IndexOf(c, "cycles");
    if (index < 0) throw py::value_error("cycles: indices count from 0, not " + std::to_string(index));
    chosen.push_back(static_cast<std::size_t>(index));
  }
  if (chosen.empty()) throw py::value_error("cycles: an empty selection");
  return chosen;
}

std::optional<std::pair<std::size_t, std::size_t>> SampleRange(const py::object& samples) {
  if (samples.is_none()) return std::nullopt;
  if (!py::isinstance<py::sequence>(samples) || py::isinstance<py::str>(samples) || py::len(samples) != 2) {
    throw py::type_error("samples must be a pair (first, last) of integers, not " + Repr(samples));
  }
  const py::sequence pair = samples.cast<py::sequence>();
  const std::int64_t first = IndexOf(pair[0], "samples"), last = IndexOf(pair[1], "samples");
  if (first < 0 || last < 0) throw py::value_error("samples: indices count from 0");
  return std::pair(static_cast<std::size_t>(first), static_cast<std::size_t>(last));
}

// What the library would refuse with the command line's numbers from 1,
// refused here with the module's numbers from 0.
void CheckIndices(const measured::FitOptions& options, const measured::CycleTable& table, std::size_t count) {
  for (std::size_t c : options.cycles) {
    if (c >= table.cycles.size()) {
      throw py::value_error("cycles: cycle " + std::to_string(c) + " does not exist: the record has cycles 0 to " +
                            std::to_string(table.cycles.size() - 1));
    }
  }
  if (options.samples) {
    const auto [a, b] = *options.samples;
    if (!(a < b && b < count)) {
      throw py::value_error("samples: (" + std::to_string(a) + ", " + std::to_string(b) +
                            ") is not first < last within the record's samples 0 to " + std::to_string(count - 1));
    }
  }
}

// Each other fit as good: its parameters under the keys of "parameters",
// its misfit, and the names of the parameters that differ from the fit's.
py::list OtherFitsList(const measured::FitResult& fit) {
  const char* keys[6] = {"n", "gamma", "alpha", "fy", "uy", "z0"};
  py::list others;
  for (const measured::OtherFit& other : fit.otherFits) {
    const Case& p = other.parameters;
    const double values[6] = {p.n, p.gamma, p.alpha, p.Fy, p.Uy, other.z0};
    py::dict parameters;
    for (std::size_t i = 0; i < (fit.steady ? 5u : 6u); ++i) parameters[keys[i]] = values[i];
    parameters["beta"] = 1.0 - p.gamma;
    py::list differs;
    for (std::size_t i : other.differs) differs.append(keys[i]);
    py::dict entry;
    entry["parameters"] = parameters;
    entry["rms"] = other.rms;
    entry["rms_relative"] = other.rmsRelative;
    entry["differs"] = differs;
    others.append(entry);
  }
  return others;
}

// The fit as fit() returns it, with the model's loop of each fitted cycle.
py::dict FitDict(const measured::FitResult& fit, const std::vector<HysteresisLoop>& loops) {
  const Case& p = fit.parameters;
  const char* keys[5] = {"n", "gamma", "alpha", "fy", "uy"};
  const double values[5] = {p.n, p.gamma, p.alpha, p.Fy, p.Uy};
  py::dict parameters, errors, fixed, intervals;
  for (int i = 0; i < 5; ++i) {
    const std::size_t k = static_cast<std::size_t>(i);
    parameters[keys[i]] = values[i];
    errors[keys[i]] = fit.errors[k];
    fixed[keys[i]] = fit.fixed[k];
    intervals[keys[i]] = py::make_tuple(fit.intervals[k][0], fit.intervals[k][1]);
  }
  parameters["beta"] = 1.0 - p.gamma;
  std::vector<std::int64_t> chosen, points(fit.points.begin(), fit.points.end());
  std::vector<double> halfRange, measuredEDC, modelEDC;
  py::list loopList;
  for (std::size_t k = 0; k < fit.cycles.size(); ++k) {
    chosen.push_back(static_cast<std::int64_t>(fit.cycles[k].cycle));
    halfRange.push_back(fit.cycles[k].halfRange);
    measuredEDC.push_back(fit.cycles[k].measuredEDC);
    modelEDC.push_back(fit.cycles[k].modelEDC);
    loopList.append(py::make_tuple(ArrayOf(loops[k].u), ArrayOf(loops[k].F)));
  }
  py::dict out;
  out["parameters"] = parameters;
  out["errors"] = errors;
  out["fixed"] = fixed;
  // The steady fit has no intervals: no key rather than made-up ones.
  if (fit.hasIntervals) out["interval95"] = intervals;
  out["rms"] = fit.rms;
  out["rms_relative"] = fit.rmsRelative;
  out["iterations"] = fit.iterations;
  out["cycles"] = ArrayOf(chosen);
  out["half_range"] = ArrayOf(halfRange);
  out["measured_EDC"] = ArrayOf(measuredEDC);
  out["model_EDC"] = ArrayOf(modelEDC);
  out["points"] = ArrayOf(points);
  out["model_F"] = ArrayOf(fit.modelF);
  out["loops"] = loopList;
  out["fit"] = fit.steady ? "steady" : "record";
  out["materials"] = MaterialsDict(p.n, p.gamma, 1.0 - p.gamma, p.alpha, p.Fy, p.Uy);
  std::vector<std::int64_t> leftOutSteady(fit.leftOutSteady.begin(), fit.leftOutSteady.end()),
      leftOutWider(fit.leftOutWider.begin(), fit.leftOutWider.end());
  out["left_out_steady"] = ArrayOf(leftOutSteady);
  out["left_out_wider"] = ArrayOf(leftOutWider);
  out["summary"] = measured::FittedSummary(fit, 0);
  out["other_fits"] = OtherFitsList(fit);
  out["starts"] = fit.starts;
  py::list warnings;
  for (const std::string& w : measured::WarningTexts(fit, 0)) warnings.append(w);
  out["warnings"] = warnings;
  if (!fit.steady) {
    parameters["z0"] = fit.z0;
    errors["z0"] = fit.z0Error;
    fixed["z0"] = !fit.z0Fitted;
    intervals["z0"] = py::make_tuple(fit.z0Interval[0], fit.z0Interval[1]);
  }
  return out;
}

py::dict Fit(const py::object& u, const py::object& F, const py::object& cycles, const py::object& fix,
             const py::object& start, double deadBand, bool steady, const py::object& samples, double z0, bool fitZ0) {
  CheckDeadBand(deadBand);
  const std::vector<double> uv = VectorOf(u, "u"), Fv = VectorOf(F, "F");
  measured::FitOptions options;
  ReadAssignments(fix, options.fixed, "fix");
  ReadAssignments(start, options.start, "start");
  options.cycles = CycleIndices(cycles);
  options.samples = SampleRange(samples);
  // The exclusions and the dead band's range of the command line.
  if (steady && (options.samples || fitZ0)) {
    throw py::value_error("samples and fit_z0 belong to the fit along the record, not to steady=True");
  }
  if (options.samples && !options.cycles.empty()) throw py::value_error("samples and cycles exclude each other");
  if (!(deadBand >= 1e-6 && deadBand <= 0.5)) {
    throw py::value_error("dead_band must lie in [1e-06, 0.5], not " + Repr(py::float_(deadBand)));
  }
  options.steady = steady;
  options.z0 = z0;
  options.fitZ0 = fitZ0;
  // At each step the fit reports, a pending Ctrl-C ends it: the interpreter's
  // KeyboardInterrupt is set, and an exception no part of the fit catches
  // unwinds it.
  struct Interrupted {};
  options.progress = [](const std::string&) {
    const py::gil_scoped_acquire lock;
    if (PyErr_CheckSignals() != 0) throw Interrupted{};
  };
  measured::FitResult fit;
  std::vector<HysteresisLoop> loops;
  measured::CycleTable table;
  {
    py::gil_scoped_release release;
    table = measured::FindCycles(uv, Fv, deadBand, 0);
  }
  CheckIndices(options, table, uv.size());
  try {
    py::gil_scoped_release release;
    fit = measured::Fit(uv, Fv, table, options);
    // The fitted model's closed loop at each fitted cycle's amplitude,
    // centred on the cycle, in the accurate arithmetic.
    for (const measured::CycleFit& c : fit.cycles) {
      const measured::Cycle& cy = table.cycles[c.cycle];
      loops.push_back(measured::ModelLoop(fit.parameters, c.halfRange, 0.5 * (cy.uPlus + cy.uMinus)));
    }
  } catch (const Interrupted&) {
    throw py::error_already_set();
  }
  return FitDict(fit, loops);
}

}  // namespace

void RegisterMeasured(py::module_& m) {
  m.attr("_default_dead_band") = measured::kDefaultDeadBand;
  m.def("read_record", &ReadRecord, py::arg("path"), py::kw_only(), py::arg("u_column") = py::none(),
        py::arg("F_column") = py::none(), py::arg("_force_optional") = false,
        "A measured record's file as quorix-cli reads it: columns delimited by ';', TAB, ',' or blanks, an\n"
        "optional header of names and a units line after it, UTF-8 or UTF-16 with its byte-order mark, decimal\n"
        "commas with ';' or TAB. u_column, F_column: a column's index (from 0) or its header name; default: the\n"
        "columns whose names say displacement and force, else the first numeric ones. Returns a dict: u, F\n"
        "(numpy arrays), displacement and force ({column: index from 0, name, unit}), columns, header,\n"
        "decimal_comma. ValueError for a record it cannot read, OSError for a file it cannot open.");
  m.def("cycles", &Cycles, py::arg("u"), py::arg("F") = py::none(), py::kw_only(),
        py::arg("dead_band") = measured::kDefaultDeadBand, py::arg("u_column") = py::none(),
        py::arg("F_column") = py::none(),
        "The full cycles of a measured record (displacements u, forces F), cut at displacement reversals (a\n"
        "reversal counts once u has moved back by dead_band times the whole range of u, 0 < dead_band < 1), the\n"
        "incomplete first and last cycles dropped. u may instead be a file's path, read as read_record reads it\n"
        "with u_column and F_column. Returns a dict of numpy arrays, one element per cycle: first, last (indices\n"
        "into u of the cycle's two ends, reversals of the same kind), uPlus, uMinus, FPlus, FMinus (forces at\n"
        "uPlus and uMinus), EDC (enclosed area), Keff = (FPlus - FMinus)/(uPlus - uMinus), XiEff =\n"
        "EDC/(2 pi Keff d^2) with d = (uPlus - uMinus)/2, steady (the cycle before repeated: amplitude, centre,\n"
        "EDC within 2 %, peak forces within 5 %); steady_means, a dict of their means over the steady cycles;\n"
        "counter_clockwise, the number of cycles with a negative EDC (swapped columns or a reversed force sign?).\n"
        "For an isolator's prototype test: D = (uPlus - uMinus)/2; Qd, half the gap between the forces where the\n"
        "ascending and the descending branch cross u = 0 (each interpolated linearly); the equivalent bilinear\n"
        "loop's Kd = Keff - Qd/D and Dy = D - EDC/(4 Qd), NaN where it does not exist, bilinear_refusal saying\n"
        "why ('' where it does); group, the amplitude group (from 0: consecutive cycles whose D lies within 5 %\n"
        "of the group's first); Keff_ratio and EDC_ratio, over the group's means (NaN where the mean is not\n"
        "positive); groups, a dict of arrays per group: first_cycle, last_cycle, D, Keff, EDC (means),\n"
        "first_Keff_ratio, first_EDC_ratio.\n"
        "ValueError without a full cycle.");
  m.def("fit", &Fit, py::arg("u"), py::arg("F"), py::arg("cycles") = py::none(), py::arg("fix") = py::dict(),
        py::kw_only(), py::arg("start") = py::dict(), py::arg("dead_band") = measured::kDefaultDeadBand,
        py::arg("steady") = false, py::arg("samples") = py::none(), py::arg("z0") = 0.0, py::arg("fit_z0") = false,
        "Fit n, gamma (beta = 1 - gamma), alpha, fy and uy to a measured record: least squares on F at every\n"
        "measured sample against the model's exact response along the measured u from z = z0 at u[0] (virgin\n"
        "loading, transient cycles and every amplitude count; fit_z0=True fits z0 too), or with steady=True\n"
        "against the closed-form steady loop at each chosen cycle's amplitude and centre (exact arithmetic).\n"
        "cycles: indices into the rows of cycles(), whose samples count (steady fit: default the steady cycles,\n"
        "or all when none is steady); samples: (first, last) indices of the samples that count; fix: {name:\n"
        "value} held fixed; start: {name: value} starting values. Returns a dict: fit ('record' or 'steady'),\n"
        "parameters (n, gamma, beta, alpha, fy, uy, and z0 for the record fit), errors (standard errors, 0 for\n"
        "a fixed one), fixed, interval95 (record fit only: per parameter the 95 % interval (low, high), which\n"
        "holds with noise on u as well as on F; (value, value) for a fixed one), rms,\n"
        "rms_relative (over the mean FPlus), iterations, cycles, half_range, measured_EDC, model_EDC, points\n"
        "(indices of the fitted points) with model_F (the model's force there), and loops: per fitted cycle the\n"
        "model's closed loop as (u, F); left_out_steady and left_out_wider, the cycles not fitted that are\n"
        "steady or wider than every fitted one; other_fits, other parameter sets that fit within 1 % of the\n"
        "misfit and lie outside two standard errors (parameters, rms, rms_relative, differs); starts, the\n"
        "searches run from the scan's distinct points; summary, a line naming the cycles and amplitudes fitted; and\n"
        "warnings, a list of sentences (a misfit above 10 % of FPlus, alpha < 0, no steady cycle fitted,\n"
        "fitted points spanning less than half the record's displacements). Cycle numbers count from 0 in\n"
        "every message. TypeError for an argument of the wrong kind (cycles not integers, a fix or start value\n"
        "not a number), ValueError for one outside its range (an unknown name, a value outside the model's\n"
        "domain: n > 0, gamma >= 0, 0 <= alpha < 1, fy > 0, uy > 0; a cycle that does not exist) and for a\n"
        "record the fit cannot answer (no hysteresis, parameters it does not determine), with the reason.");
}

}  // namespace quorix::python
