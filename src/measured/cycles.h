// The full cycles of a displacement record and what the testing standards
// for anti-seismic devices read off each: the energy dissipated per cycle,
// the effective stiffness and the effective damping.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>
#include "refusal.h"

namespace quorix::measured {

// The dead band of the reversal search, as a share of the record's whole
// displacement range: a reversal counts only once the displacement has
// moved back from the extremum by more than this, so noise of a smaller
// size makes no false reversals.
inline constexpr double kDefaultDeadBand = 0.01;

// A cycle is steady when it repeats the one before it: their half-ranges d
// and centres differ by at most kSteadyTolerance of d, their EDC by at most
// kSteadyTolerance of the earlier EDC, and their forces F⁺ and F⁻ by at most
// kSteadyForceTolerance of the earlier (F⁺ − F⁻)/2. The peak forces are
// single samples, the EDC an integral over the whole cycle: the peaks get
// the wider tolerance, so that noise of a percent does not unmark a cycle.
inline constexpr double kSteadyTolerance = 0.02;
inline constexpr double kSteadyForceTolerance = 0.05;

struct Cycle {
  // Points first..last (indices into the record), from one reversal to the
  // next of the same kind, both included; the polygon closes from last back
  // to first.
  std::size_t first = 0;
  std::size_t last = 0;
  std::size_t middle = 0;  // the reversal in between
  double uPlus = 0.0, uMinus = 0.0;  // the largest and smallest displacement
  double FPlus = 0.0, FMinus = 0.0;  // the forces at those two points
  double EDC = 0.0;    // enclosed area ∮ F du, positive for a clockwise (dissipating) loop
  double Keff = 0.0;   // (F⁺ − F⁻)/(u⁺ − u⁻)
  double XiEff = 0.0;  // EDC / (2π·Keff·d²), d = (u⁺ − u⁻)/2
  // The cycle before it repeated, displacements and forces (within
  // kSteadyTolerance): a cycle at constant amplitude whose loop has
  // settled. The first cycle, the first at each new amplitude and a
  // transient that follows it are not steady.
  bool steady = false;
};

struct CycleMeans {
  std::size_t count = 0;  // steady cycles averaged; the means are NaN when 0
  double uPlus = 0.0, uMinus = 0.0, FPlus = 0.0, FMinus = 0.0, EDC = 0.0, Keff = 0.0, XiEff = 0.0;
};

struct CycleTable {
  std::vector<Cycle> cycles;
  CycleMeans steadyMeans;
  // The cycles whose loop runs counter-clockwise in (u, F), EDC < 0: a
  // specimen gives energy back. Decided on the scaled area, so an EDC that
  // underflows to -0 still counts.
  std::size_t counterClockwise = 0;
};

// Splits the record at displacement reversals into full cycles, dropping the
// incomplete first and last ones. Throws Refusal when u and F differ in
// length, when the displacement never moves beyond the dead band, when
// there is not one full cycle, for a dead band outside (0, 1), and when a
// cycle's EDC or Keff lies beyond the range of a double in the record's
// units. The arithmetic runs on u and F scaled by powers of two, so any
// unit system gives the same cycles and ξeff (an EDC or Keff below the
// doubles' range reads as 0, as a number below the smallest subnormal does).
// A refusal names points and cycles by their positions counted from
// firstNumber: 1 for the command line and the window, 0 for Python.
CycleTable FindCycles(const std::vector<double>& u, const std::vector<double>& F,
                      double deadBand = kDefaultDeadBand, std::size_t firstNumber = 1);

// The reversal points (indices) the cycles are cut at, alternately maxima
// and minima. Exposed for the fit, which needs each cycle's two branches.
std::vector<std::size_t> FindReversals(const std::vector<double>& u, double deadBand = kDefaultDeadBand);

// Throws Refusal unless 0 < deadBand < 1.
void CheckDeadBand(double deadBand);

// "" when every cycle runs clockwise; otherwise what is wrong and its
// likely causes, for a warning or a refusal.
std::string CounterClockwiseWarning(const CycleTable& table);
// Every warning a cycle table calls for, each a sentence: the
// counter-clockwise cycles, and the cycles whose Keff is negative (the force
// falls as the displacement grows: a column that is not the displacement,
// or a force of the wrong sign), naming cycles from firstNumber.
std::vector<std::string> TableWarnings(const CycleTable& table, std::size_t firstNumber = 1);
// Whether most cycles run counter-clockwise: a record that the model, whose
// loops always dissipate, cannot be fitted to as it stands.
bool MostlyCounterClockwise(const CycleTable& table);

}  // namespace quorix::measured
