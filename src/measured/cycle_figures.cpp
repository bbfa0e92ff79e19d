#include "cycle_figures.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "decimal.h"

namespace quorix::measured {

namespace {

// A share of the cycle's largest |F| (or of 2π·Keff·d², for an EDC) that
// rounding alone can make: an elastic record's two crossings of u = 0 and
// its loop's area come out as a few units of the last place, not 0. A Qd or
// a mean EDC no larger means no hysteresis, not a tiny one.
constexpr double kRounding = 1e-9;

// The mean force, in the scaled units, where the points a … b cross u = 0
// in the branch's direction (up: from u < 0 to u ≥ 0), each crossing
// interpolated linearly between the two samples around it; NaN without a
// crossing. A sample at u = 0 exactly gives its own force, once.
double CrossingForce(const std::vector<double>& u, const std::vector<double>& F, const Scale& cu, const Scale& cF,
                     std::size_t a, std::size_t b, bool up) {
  double sum = 0.0;
  int count = 0;
  for (std::size_t i = a; i < b; ++i) {
    const double x0 = cu(u[i]), x1 = cu(u[i + 1]);
    if (up ? !(x0 < 0.0 && x1 >= 0.0) : !(x0 > 0.0 && x1 <= 0.0)) continue;
    const double t = -x0 / (x1 - x0);  // in (0, 1]: x0 and x1 lie on either side
    const double F0 = cF(F[i]), F1 = cF(F[i + 1]);
    sum += F0 + t * (F1 - F0);
    ++count;
  }
  return count > 0 ? sum / count : kNoValue;
}

// Why a cycle has no Kd and Dy, finer than BilinearState: the notes and
// the reasons name the cause.
enum class Cause { None, NoCrossing, Negative, NoGap, NoEnergy, TooMuchEnergy, BeyondRange };

Cause CauseOf(const Cycle& c) {
  switch (c.bilinear) {
    case BilinearState::Exists: return Cause::None;
    case BilinearState::NoCrossing: return Cause::NoCrossing;
    case BilinearState::NoStrength: return c.Qd < 0.0 ? Cause::Negative : Cause::NoGap;
    case BilinearState::YieldNotInside: return c.EDC > 0.0 ? Cause::TooMuchEnergy : Cause::NoEnergy;
    case BilinearState::BeyondRange: return Cause::BeyondRange;
  }
  return Cause::None;
}

const char* CauseText(Cause cause) {
  switch (cause) {
    case Cause::None: return "";
    case Cause::NoCrossing: return "a branch of the cycle does not cross u = 0, so it has no Qd";
    case Cause::Negative:
      return "Qd is negative: the ascending branch crosses u = 0 below the descending one (a counter-clockwise loop)";
    case Cause::NoGap:
      return "Qd is not positive: both branches cross u = 0 at the same force, to rounding (no hysteresis there, "
             "as in an elastic record)";
    case Cause::NoEnergy: return "Dy = D - EDC/(4 Qd) is not below D: the cycle dissipates no energy (EDC <= 0)";
    case Cause::TooMuchEnergy:
      return "Dy = D - EDC/(4 Qd) is not positive: EDC exceeds 4 Qd D, more than a bilinear loop of this Qd "
             "encloses (a loop pinched at u = 0?)";
    case Cause::BeyondRange: return "Kd is beyond the range of a double in the record's units";
  }
  return "";
}

// Cycle numbers as "1-3, 5, 8": runs joined, the first ten runs named.
std::string CycleList(const std::vector<std::size_t>& indices, std::size_t firstNumber) {
  std::string out;
  std::size_t runs = 0;
  for (std::size_t k = 0; k < indices.size(); ++k) {
    std::size_t end = k;
    while (end + 1 < indices.size() && indices[end + 1] == indices[end] + 1) ++end;
    if (++runs > 10) return out.append(", ...");
    if (!out.empty()) out.append(", ");
    out.append(std::to_string(indices[k] + firstNumber));
    if (end > k) out.append("-").append(std::to_string(indices[end] + firstNumber));
    k = end;
  }
  return out;
}

std::string CyclesNamed(const std::vector<std::size_t>& indices, std::size_t firstNumber) {
  std::string named = indices.size() == 1 ? "cycle " : "cycles ";
  return named.append(CycleList(indices, firstNumber));
}

// Means of the group's values x[first … last] scaled by the power of two at
// the largest |x| (a sum near the largest double cannot overflow), and each
// value over that mean; the ratios are NaN unless the mean passes `usable`.
struct GroupMean {
  double mean = 0.0;
  std::vector<double> ratios;
};

template <class Usable>
GroupMean MeanAndRatios(const std::vector<double>& x, Usable usable) {
  const Scale s(x);
  double sum = 0.0;
  for (double v : x) sum += s(v);
  const double scaledMean = sum / static_cast<double>(x.size());
  GroupMean g;
  g.mean = std::scalbn(scaledMean, s.exponent);
  const bool ok = usable(g.mean);
  for (double v : x) g.ratios.push_back(ok ? s(v) / scaledMean : kNoValue);
  return g;
}

}  // namespace

void MeasureBilinear(const std::vector<double>& u, const std::vector<double>& F, const Scale& cu, const Scale& cF,
                     double EDC, double Keff, Cycle& c) {
  const double Ds = 0.5 * (cu(c.uPlus) - cu(c.uMinus));
  c.D = std::scalbn(Ds, cu.exponent);  // at most the larger of |u⁺| and |u⁻|: finite
  // The branch from a minimum to a maximum rises.
  const bool firstRises = u[c.middle] > u[c.first];
  const double up = firstRises ? CrossingForce(u, F, cu, cF, c.first, c.middle, true)
                               : CrossingForce(u, F, cu, cF, c.middle, c.last, true);
  const double down = firstRises ? CrossingForce(u, F, cu, cF, c.middle, c.last, false)
                                 : CrossingForce(u, F, cu, cF, c.first, c.middle, false);
  c.Qd = c.Kd = c.Dy = kNoValue;
  if (std::isnan(up) || std::isnan(down)) {
    c.bilinear = BilinearState::NoCrossing;
    return;
  }
  // Half the gap, in the cycle's force scale, where the largest |F| lies in
  // [1, 2): the threshold below is a share of that force.
  const double Qs = 0.5 * (up - down);  // a dissipating loop rises along its upper branch
  c.Qd = std::scalbn(Qs, cF.exponent);
  if (!(Qs > kRounding)) {
    c.bilinear = BilinearState::NoStrength;
    return;
  }
  const double Dys = Ds - EDC / (4.0 * Qs);
  if (!(Dys > 0.0 && Dys < Ds)) {
    c.bilinear = BilinearState::YieldNotInside;
    return;
  }
  const double Kd = std::scalbn(Keff - Qs / Ds, cF.exponent - cu.exponent);
  if (!std::isfinite(Kd)) {
    c.bilinear = BilinearState::BeyondRange;
    return;
  }
  c.Kd = Kd;
  c.Dy = std::scalbn(Dys, cu.exponent);  // below D: finite
  c.bilinear = BilinearState::Exists;
}

void GroupByAmplitude(CycleTable& table) {
  std::vector<Cycle>& cycles = table.cycles;
  table.groups.clear();
  for (std::size_t first = 0; first < cycles.size();) {
    const double D1 = cycles[first].D;
    std::size_t end = first + 1;
    while (end < cycles.size() && std::fabs(cycles[end].D - D1) <= kGroupTolerance * D1) ++end;
    std::vector<double> D, Keff, EDC, XiEff;
    for (std::size_t k = first; k < end; ++k) {
      D.push_back(cycles[k].D), Keff.push_back(cycles[k].Keff);
      EDC.push_back(cycles[k].EDC), XiEff.push_back(cycles[k].XiEff);
    }
    // An EDC ratio needs energy beyond rounding: a mean ξeff above it says
    // the mean EDC exceeds that share of 2π·Keff·d².
    const GroupMean xi = MeanAndRatios(XiEff, [](double) { return true; });
    const GroupMean k = MeanAndRatios(Keff, [](double m) { return m > 0.0; });
    const GroupMean e = MeanAndRatios(EDC, [&xi](double m) { return m > 0.0 && xi.mean > kRounding; });
    AmplitudeGroup g;
    g.first = first, g.last = end - 1;
    g.D = MeanAndRatios(D, [](double) { return true; }).mean;
    g.Keff = k.mean, g.EDC = e.mean;
    g.firstKeffRatio = k.ratios.front(), g.firstEDCRatio = e.ratios.front();
    for (std::size_t i = first; i < end; ++i) {
      cycles[i].group = table.groups.size();
      cycles[i].KeffRatio = k.ratios[i - first], cycles[i].EDCRatio = e.ratios[i - first];
    }
    table.groups.push_back(g);
    first = end;
  }
}

std::string BilinearReason(const Cycle& cycle) {
  const Cause cause = CauseOf(cycle);
  std::string text = CauseText(cause);
  if (cause == Cause::Negative || cause == Cause::NoGap) text = "Qd = " + decimal::ShortestText(cycle.Qd) + ": " + text;
  return text;
}

std::vector<std::string> BilinearNotes(const CycleTable& table, std::size_t firstNumber) {
  constexpr std::array kCauses{Cause::NoCrossing, Cause::Negative, Cause::NoGap, Cause::NoEnergy,
                               Cause::TooMuchEnergy, Cause::BeyondRange};
  std::vector<std::string> notes;
  for (Cause cause : kCauses) {
    std::vector<std::size_t> which;
    for (std::size_t k = 0; k < table.cycles.size(); ++k) {
      if (CauseOf(table.cycles[k]) == cause) which.push_back(k);
    }
    if (which.empty()) continue;
    notes.push_back("no equivalent bilinear loop (Kd, Dy) for " + CyclesNamed(which, firstNumber) + ": " +
                    CauseText(cause));
  }
  return notes;
}

std::vector<std::string> RatioNotes(const CycleTable& table, std::size_t firstNumber) {
  std::vector<std::size_t> noKeff, noEDC;
  for (std::size_t k = 0; k < table.cycles.size(); ++k) {
    if (std::isnan(table.cycles[k].KeffRatio)) noKeff.push_back(k);
    if (std::isnan(table.cycles[k].EDCRatio)) noEDC.push_back(k);
  }
  std::vector<std::string> notes;
  if (!noKeff.empty()) {
    notes.push_back("no Keff ratio for " + CyclesNamed(noKeff, firstNumber) +
                    ": the mean Keff of their amplitude group is not positive");
  }
  if (!noEDC.empty()) {
    notes.push_back("no EDC ratio for " + CyclesNamed(noEDC, firstNumber) +
                    ": the mean EDC of their amplitude group is not positive or no more than rounding (no energy "
                    "dissipated)");
  }
  return notes;
}

}  // namespace quorix::measured
