#include "cycles.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <string>

namespace quorix::measured {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// ½·Σ (F_i + F_{i+1})·(u_{i+1} − u_i) over the closed polygon first..last:
// the trapezoid form of ∮ F du, which a constant offset of F or u leaves
// unchanged (Σ of the u differences around a closed polygon is 0).
double EnclosedArea(const std::vector<double>& u, const std::vector<double>& F, std::size_t first, std::size_t last) {
  double sum = 0.0;
  for (std::size_t i = first; i < last; ++i) sum += (F[i] + F[i + 1]) * (u[i + 1] - u[i]);
  sum += (F[last] + F[first]) * (u[first] - u[last]);
  return 0.5 * sum;
}

}  // namespace

std::vector<std::size_t> FindReversals(const std::vector<double>& u, double deadBand) {
  std::vector<std::size_t> reversals;
  if (u.empty()) return reversals;
  const auto [lo, hi] = std::minmax_element(u.begin(), u.end());
  const double band = deadBand * (*hi - *lo);
  if (!(band > 0.0)) return reversals;

  // Before the first reversal the direction is unknown: the running
  // extremes decide it once they lie a band apart. The record's first point
  // is never a reversal: what came before it is not known.
  std::size_t iMin = 0, iMax = 0, i = 0;
  int direction = 0;
  for (; i < u.size() && direction == 0; ++i) {
    if (u[i] > u[iMax]) iMax = i;
    if (u[i] < u[iMin]) iMin = i;
    if (u[iMax] - u[iMin] > band) direction = iMax > iMin ? 1 : -1;
  }
  std::size_t extreme = direction > 0 ? iMax : iMin;
  for (; i < u.size(); ++i) {
    if (direction > 0) {
      if (u[i] > u[extreme]) {
        extreme = i;
      } else if (u[i] < u[extreme] - band) {
        reversals.push_back(extreme);
        direction = -1;
        extreme = i;
      }
    } else {
      if (u[i] < u[extreme]) {
        extreme = i;
      } else if (u[i] > u[extreme] + band) {
        reversals.push_back(extreme);
        direction = 1;
        extreme = i;
      }
    }
  }
  return reversals;
}

CycleTable FindCycles(const std::vector<double>& u, const std::vector<double>& F, double deadBand) {
  if (u.size() != F.size()) {
    throw CycleError("displacements and forces differ in number (" + std::to_string(u.size()) + " and " +
                     std::to_string(F.size()) + ")");
  }
  for (std::size_t i = 0; i < u.size(); ++i) {
    if (!std::isfinite(u[i]) || !std::isfinite(F[i])) {
      throw CycleError("point " + std::to_string(i + 1) + " is not finite");
    }
  }
  const std::vector<std::size_t> rev = FindReversals(u, deadBand);
  if (rev.size() < 3) {
    throw CycleError("fewer than one full cycle: the displacement reverses " + std::to_string(rev.size()) +
                     " time(s) beyond the dead band, a full cycle needs 3 reversals");
  }

  CycleTable table;
  for (std::size_t k = 0; k + 2 < rev.size(); k += 2) {
    Cycle c;
    c.first = rev[k];
    c.middle = rev[k + 1];
    c.last = rev[k + 2];
    // The extremes are the reversal points themselves (a cycle that starts
    // at a maximum has its minimum in the middle).
    std::size_t iPlus = c.first, iMinus = c.middle;
    if (u[c.middle] > u[c.first]) std::swap(iPlus, iMinus);
    if (u[c.last] > u[iPlus]) iPlus = c.last;
    if (u[c.last] < u[iMinus]) iMinus = c.last;
    c.uPlus = u[iPlus];
    c.uMinus = u[iMinus];
    c.FPlus = F[iPlus];
    c.FMinus = F[iMinus];
    c.EDC = EnclosedArea(u, F, c.first, c.last);
    const double range = c.uPlus - c.uMinus;
    const double d = 0.5 * range;
    c.Keff = (c.FPlus - c.FMinus) / range;
    c.XiEff = c.Keff != 0.0 ? c.EDC / (2.0 * std::numbers::pi * c.Keff * d * d) : kNaN;
    if (!table.cycles.empty()) {
      const Cycle& p = table.cycles.back();
      const double dPrevious = 0.5 * (p.uPlus - p.uMinus);
      const double shift = 0.5 * (c.uPlus + c.uMinus) - 0.5 * (p.uPlus + p.uMinus);
      // The displacements repeating is not enough: the first cycle at a new
      // amplitude, and the one after it, can share them while the force still
      // settles. The force must repeat as well.
      const double forceHalfRange = 0.5 * (p.FPlus - p.FMinus);
      const bool sameDisplacements =
          std::fabs(d - dPrevious) <= kSteadyTolerance * d && std::fabs(shift) <= kSteadyTolerance * d;
      const bool sameForces = std::fabs(c.EDC - p.EDC) <= kSteadyTolerance * std::fabs(p.EDC) &&
                              std::fabs(c.FPlus - p.FPlus) <= kSteadyForceTolerance * std::fabs(forceHalfRange) &&
                              std::fabs(c.FMinus - p.FMinus) <= kSteadyForceTolerance * std::fabs(forceHalfRange);
      c.steady = sameDisplacements && sameForces;
    }
    table.cycles.push_back(c);
  }

  CycleMeans& m = table.steadyMeans;
  for (const Cycle& c : table.cycles) {
    if (!c.steady) continue;
    ++m.count;
    m.uPlus += c.uPlus;
    m.uMinus += c.uMinus;
    m.FPlus += c.FPlus;
    m.FMinus += c.FMinus;
    m.EDC += c.EDC;
    m.Keff += c.Keff;
    m.XiEff += c.XiEff;
  }
  const double n = m.count > 0 ? static_cast<double>(m.count) : kNaN;
  for (double* v : {&m.uPlus, &m.uMinus, &m.FPlus, &m.FMinus, &m.EDC, &m.Keff, &m.XiEff}) *v /= n;
  return table;
}

}  // namespace quorix::measured
