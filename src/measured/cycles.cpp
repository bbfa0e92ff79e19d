#include "cycles.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <string>

#include "cycle_figures.h"
#include "decimal.h"
#include "power_scale.h"

namespace quorix::measured {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kSmallest = std::numeric_limits<double>::min();  // the smallest normal double

// ½·Σ (F_i + F_{i+1})·(u_{i+1} − u_i) over the closed polygon first..last,
// in scaled values: the trapezoid form of ∮ F du, which a constant offset
// of F or u leaves unchanged (Σ of the u differences around a closed
// polygon is 0).
double EnclosedArea(const std::vector<double>& u, const std::vector<double>& F, const Scale& su, const Scale& sF,
                    std::size_t first, std::size_t last) {
  double sum = 0.0;
  for (std::size_t i = first; i < last; ++i) sum += (sF(F[i]) + sF(F[i + 1])) * (su(u[i + 1]) - su(u[i]));
  sum += (sF(F[last]) + sF(F[first])) * (su(u[first]) - su(u[last]));
  return 0.5 * sum;
}

// A cycle's quantities in the scaled units, as the comparisons of
// steadiness and the means need them.
struct Scaled {
  double uPlus, uMinus, FPlus, FMinus, EDC, Keff, XiEff;
};

void CheckPoints(const std::vector<double>& u, const std::vector<double>& F, std::size_t firstNumber) {
  if (u.size() != F.size()) {
    throw Refusal("displacements and forces differ in number (" + std::to_string(u.size()) + " and " +
                  std::to_string(F.size()) + ")");
  }
  for (std::size_t i = 0; i < u.size(); ++i) {
    if (!std::isfinite(u[i]) || !std::isfinite(F[i])) {
      throw Refusal("point " + std::to_string(i + firstNumber) + " is not finite");
    }
  }
}

// The cycle from reversal `first` over `middle` to `last`, with its
// extremes: the reversal points themselves (a cycle that starts at a
// maximum has its minimum in the middle).
Cycle CycleAt(const std::vector<double>& u, const std::vector<double>& F, std::size_t first, std::size_t middle,
              std::size_t last) {
  Cycle c;
  c.first = first;
  c.middle = middle;
  c.last = last;
  std::size_t iPlus = c.first, iMinus = c.middle;
  if (u[c.middle] > u[c.first]) std::swap(iPlus, iMinus);
  if (u[c.last] > u[iPlus]) iPlus = c.last;
  if (u[c.last] < u[iMinus]) iMinus = c.last;
  c.uPlus = u[iPlus];
  c.uMinus = u[iMinus];
  c.FPlus = F[iPlus];
  c.FMinus = F[iMinus];
  return c;
}

// A scaled quantity back in the record's units: an area is a force times a
// displacement, a stiffness a force over a displacement. Refused beyond the
// range of a double.
double Unscaled(double value, int exponent, std::size_t cycle, const char* what) {
  const double v = std::scalbn(value, exponent);
  if (!std::isfinite(v)) {
    throw Refusal("cycle " + std::to_string(cycle) + ": its " + what +
                  " is beyond the range of a double in the record's units; give the record in other units");
  }
  return v;
}

// ξeff where F⁺ and F⁻ lie almost equal beside a far larger force of the
// cycle: Keff or the product 2π·Keff·d² leaves the normal doubles where
// ξeff need not. ξeff = 2·EDC/(π·(F⁺ − F⁻)·(u⁺ − u⁻)), with F⁺ − F⁻ brought
// to [1, 2) by a scale of its own; q in the cycle's scale, cF its forces'.
double XiEffApart(const Cycle& c, const Scaled& q, const Scale& cF, std::size_t number) {
  const double forceStep = c.FPlus - c.FMinus;
  const double range = q.uPlus - q.uMinus;
  const int stepExponent = std::ilogb(forceStep);
  const double ratio = 2.0 * q.EDC / (std::numbers::pi * std::scalbn(forceStep, -stepExponent) * range);
  const double xi = std::scalbn(ratio, cF.exponent - stepExponent);
  if (!std::isfinite(xi)) {
    throw Refusal("cycle " + std::to_string(number) +
                  ": its xi_eff is beyond the range of a double (F+ and F- almost equal beside a far larger "
                  "force)");
  }
  return xi;
}

// The cycle's EDC, Keff and ξeff into c, in the record's units; returns its
// quantities in the scale of its own points (cu, cF). `number` names the
// cycle in a refusal.
Scaled Measure(const std::vector<double>& u, const std::vector<double>& F, const Scale& cu, const Scale& cF,
               std::size_t number, Cycle& c) {
  Scaled q{cu(c.uPlus), cu(c.uMinus), cF(c.FPlus), cF(c.FMinus), EnclosedArea(u, F, cu, cF, c.first, c.last), 0, 0};
  const double range = q.uPlus - q.uMinus;
  const double d = 0.5 * range;
  q.Keff = (q.FPlus - q.FMinus) / range;
  q.XiEff = q.Keff != 0.0 ? q.EDC / (2.0 * std::numbers::pi * q.Keff * d * d) : kNaN;
  const double forceStep = c.FPlus - c.FMinus;
  if (forceStep != 0.0 &&
      !(std::fabs(2.0 * std::numbers::pi * q.Keff * d * d) >= kSmallest && std::isfinite(q.XiEff))) {
    q.XiEff = XiEffApart(c, q, cF, number);
  }
  c.EDC = Unscaled(q.EDC, cu.exponent + cF.exponent, number, "EDC");
  c.Keff = Unscaled(q.Keff, cF.exponent - cu.exponent, number, "Keff");
  c.XiEff = q.XiEff;
  return q;
}

// A cycle's scaled quantities brought to the record's scale, for the
// comparisons and means: by powers of two (du for displacements, dF for
// forces), exact unless a value falls among the subnormals there.
void ToRecordScale(int du, int dF, Scaled& q) {
  q.uPlus = std::scalbn(q.uPlus, du);
  q.uMinus = std::scalbn(q.uMinus, du);
  q.FPlus = std::scalbn(q.FPlus, dF);
  q.FMinus = std::scalbn(q.FMinus, dF);
  q.EDC = std::scalbn(q.EDC, du + dF);
  q.Keff = std::scalbn(q.Keff, dF - du);
}

// Whether cycle q repeats the one before it, p (both in the record's scale):
// the steady mark. The displacements repeating is not enough: the first
// cycle at a new amplitude, and the one after it, can share them while the
// force still settles. The force must repeat as well.
bool Repeats(const Scaled& q, const Scaled& p) {
  const double d = 0.5 * (q.uPlus - q.uMinus), dPrevious = 0.5 * (p.uPlus - p.uMinus);
  const double shift = 0.5 * (q.uPlus + q.uMinus) - 0.5 * (p.uPlus + p.uMinus);
  const double forceHalfRange = 0.5 * (p.FPlus - p.FMinus);
  const bool sameDisplacements =
      std::fabs(d - dPrevious) <= kSteadyTolerance * d && std::fabs(shift) <= kSteadyTolerance * d;
  const bool sameForces = std::fabs(q.EDC - p.EDC) <= kSteadyTolerance * std::fabs(p.EDC) &&
                          std::fabs(q.FPlus - p.FPlus) <= kSteadyForceTolerance * std::fabs(forceHalfRange) &&
                          std::fabs(q.FMinus - p.FMinus) <= kSteadyForceTolerance * std::fabs(forceHalfRange);
  return sameDisplacements && sameForces;
}

// The means of the steady cycles' scaled values, then unscaled by the
// record's exponents: a sum of forces near the largest double would
// overflow.
CycleMeans SteadyMeans(const std::vector<Cycle>& cycles, const std::vector<Scaled>& scaled, int uExponent,
                       int FExponent) {
  Scaled sum{0, 0, 0, 0, 0, 0, 0};
  CycleMeans m;
  for (std::size_t k = 0; k < scaled.size(); ++k) {
    if (!cycles[k].steady) continue;
    ++m.count;
    const Scaled& q = scaled[k];
    sum.uPlus += q.uPlus;
    sum.uMinus += q.uMinus;
    sum.FPlus += q.FPlus;
    sum.FMinus += q.FMinus;
    sum.EDC += q.EDC;
    sum.Keff += q.Keff;
    sum.XiEff += q.XiEff;
  }
  const double n = m.count > 0 ? static_cast<double>(m.count) : kNaN;
  m.uPlus = std::scalbn(sum.uPlus / n, uExponent);
  m.uMinus = std::scalbn(sum.uMinus / n, uExponent);
  m.FPlus = std::scalbn(sum.FPlus / n, FExponent);
  m.FMinus = std::scalbn(sum.FMinus / n, FExponent);
  m.EDC = std::scalbn(sum.EDC / n, uExponent + FExponent);
  m.Keff = std::scalbn(sum.Keff / n, FExponent - uExponent);
  m.XiEff = sum.XiEff / n;
  if (m.count > 0 && !std::isfinite(m.XiEff)) {  // a sum of ξeff near the largest double
    m.XiEff = 0.0;
    for (std::size_t k = 0; k < scaled.size(); ++k) m.XiEff += cycles[k].steady ? scaled[k].XiEff / n : 0.0;
  }
  return m;
}

}  // namespace

void CheckDeadBand(double deadBand) {
  if (!(deadBand > 0.0 && deadBand < 1.0)) {
    throw Refusal("the dead band must be a share of the displacement range, above 0 and below 1, not " +
                  decimal::ShortestText(deadBand));
  }
}

std::vector<std::size_t> FindReversals(const std::vector<double>& u, double deadBand) {
  CheckDeadBand(deadBand);
  std::vector<std::size_t> reversals;
  if (u.empty()) return reversals;
  const Scale s(u);
  const auto [lo, hi] = std::minmax_element(u.begin(), u.end());
  const double band = deadBand * (s(*hi) - s(*lo));
  if (!(band > 0.0)) return reversals;

  // Before the first reversal the direction is unknown: the running
  // extremes decide it once they lie a band apart. The record's first point
  // is never a reversal: what came before it is not known.
  std::size_t iMin = 0, iMax = 0, i = 0;
  int direction = 0;
  for (; i < u.size() && direction == 0; ++i) {
    if (u[i] > u[iMax]) iMax = i;
    if (u[i] < u[iMin]) iMin = i;
    if (s(u[iMax]) - s(u[iMin]) > band) direction = iMax > iMin ? 1 : -1;
  }
  std::size_t extreme = direction > 0 ? iMax : iMin;
  for (; i < u.size(); ++i) {
    const double x = s(u[i]), e = s(u[extreme]);
    if (direction > 0) {
      if (x > e) {
        extreme = i;
      } else if (x < e - band) {
        reversals.push_back(extreme);
        direction = -1;
        extreme = i;
      }
    } else {
      if (x < e) {
        extreme = i;
      } else if (x > e + band) {
        reversals.push_back(extreme);
        direction = 1;
        extreme = i;
      }
    }
  }
  return reversals;
}

CycleTable FindCycles(const std::vector<double>& u, const std::vector<double>& F, double deadBand,
                      std::size_t firstNumber) {
  CheckDeadBand(deadBand);
  CheckPoints(u, F, firstNumber);
  const std::vector<std::size_t> rev = FindReversals(u, deadBand);
  if (rev.size() < 3) {
    throw Refusal("fewer than one full cycle: the displacement reverses " + std::to_string(rev.size()) +
                  " time(s) beyond the dead band, a full cycle needs 3 reversals");
  }
  const Scale su(u), sF(F);
  CycleTable table;
  std::vector<Scaled> scaled;
  for (std::size_t k = 0; k + 2 < rev.size(); k += 2) {
    Cycle c = CycleAt(u, F, rev[k], rev[k + 1], rev[k + 2]);
    const Scale cu(u, c.first, c.last + 1), cF(F, c.first, c.last + 1);
    Scaled q = Measure(u, F, cu, cF, table.cycles.size() + firstNumber, c);
    if (q.EDC < 0.0) ++table.counterClockwise;  // the sign, before it may round away below
    MeasureBilinear(u, F, cu, cF, q.EDC, q.Keff, c);
    ToRecordScale(cu.exponent - su.exponent, cF.exponent - sF.exponent, q);
    if (!scaled.empty()) c.steady = Repeats(q, scaled.back());
    table.cycles.push_back(c);
    scaled.push_back(q);
  }
  table.steadyMeans = SteadyMeans(table.cycles, scaled, su.exponent, sF.exponent);
  GroupByAmplitude(table);
  return table;
}

std::string CounterClockwiseWarning(const CycleTable& table) {
  if (table.counterClockwise == 0) return {};
  const std::size_t n = table.counterClockwise, all = table.cycles.size();
  const std::string counted =
      (n == all ? (all == 1 ? std::string("the cycle runs") : "all " + std::to_string(all) + " cycles run")
                : std::to_string(n) + " of " + std::to_string(all) + " cycles run") +
      " counter-clockwise (negative EDC)";
  // Many cycles, about as many each way: the reversals are noise's, not the
  // test's, and swapped columns would turn them all.
  if (all >= 20 && 10 * n >= 3 * all && 10 * n <= 7 * all) {
    return counted + ": about half of many cycles run each way, as noise on the displacement beyond the dead band "
                     "makes them; raise the dead band (--dead-band, dead_band=) or smooth the displacement";
  }
  return counted + ": a specimen that dissipates energy runs clockwise in (u, F); are the displacement and force "
                   "columns swapped, or is the force's sign reversed?";
}

std::vector<std::string> TableWarnings(const CycleTable& table, std::size_t firstNumber) {
  std::vector<std::string> warnings;
  if (std::string orientation = CounterClockwiseWarning(table); !orientation.empty()) {
    warnings.push_back(std::move(orientation));
  }
  std::string negative;
  std::size_t count = 0;
  for (std::size_t k = 0; k < table.cycles.size(); ++k) {
    if (!(table.cycles[k].Keff < 0.0)) continue;
    if (++count <= 10) negative += (negative.empty() ? "" : ", ") + std::to_string(k + firstNumber);
  }
  if (count > 0) {
    warnings.push_back((count == 1 ? "cycle " : std::to_string(count) + " cycles (") + negative +
                       (count > 10 ? ", ...)" : count == 1 ? "" : ")") +
                       (count == 1 ? " has" : " have") +
                       " a negative Keff: the force falls as the displacement grows; is the displacement's column "
                       "the right one, and the force's sign?");
  }
  return warnings;
}

bool MostlyCounterClockwise(const CycleTable& table) { return 2 * table.counterClockwise > table.cycles.size(); }

}  // namespace quorix::measured
