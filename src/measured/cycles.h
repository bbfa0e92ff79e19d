// The full cycles of a displacement record and what the testing standards
// for anti-seismic devices read off each: the energy dissipated per cycle,
// the effective stiffness and the effective damping.
#pragma once

#include <cstddef>
#include <limits>
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

// Cycles belong to one amplitude group while their half-ranges d lie within
// this share of the d of the group's first cycle: the cycles a test runs at
// one nominal displacement, which a little scatter of the actuator does not
// split. Only consecutive cycles group; a later return to the same
// amplitude starts a new group.
inline constexpr double kGroupTolerance = 0.05;

// Why a cycle has no equivalent bilinear loop (Kd and Dy), or Exists.
enum class BilinearState {
  Exists,
  NoCrossing,      // a branch of the cycle does not cross u = 0: no Qd
  NoStrength,      // Qd ≤ 0, or no more than rounding beside the cycle's forces
  YieldNotInside,  // Dy = D − EDC/(4·Qd) outside (0, D)
  BeyondRange,     // Kd or Dy beyond the range of a double in the record's units
};

inline constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();

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

  // What an isolator's prototype test reads off the cycle. D = (u⁺ − u⁻)/2,
  // the half-range, the amplitude of the whole table (ξeff's d).
  double D = 0.0;
  // The characteristic strength: half the gap between the forces where the
  // ascending branch (the upper one of a clockwise loop) and the descending
  // one cross u = 0, each interpolated
  // linearly between the two samples around the crossing (a branch that
  // crosses more than once, as noise makes it, gives the mean of its
  // crossings). For a loop round F = 0 it is the mean of the two forces'
  // magnitudes; a force offset cancels. Negative for a counter-clockwise
  // loop; NaN (NoCrossing) when a branch does not cross u = 0.
  double Qd = kNoValue;
  // The bilinear loop with the cycle's Keff, EDC and Qd at D:
  // Kd = Keff − Qd/D, Dy = D − EDC/(4·Qd); NaN unless bilinear is Exists.
  double Kd = kNoValue, Dy = kNoValue;
  BilinearState bilinear = BilinearState::NoCrossing;
  // The amplitude group (an index into CycleTable::groups) and the cycle's
  // Keff and EDC over their means in the group; NaN where that mean is not
  // positive (EDC: not above rounding), as for an elastic record's EDC.
  std::size_t group = 0;
  double KeffRatio = kNoValue, EDCRatio = kNoValue;
};

// Consecutive cycles of one amplitude (kGroupTolerance) and the means the
// ratios are taken to: every cycle of the group counts, the first included.
struct AmplitudeGroup {
  std::size_t first = 0, last = 0;  // cycles, indices into CycleTable::cycles
  double D = 0.0, Keff = 0.0, EDC = 0.0;  // the means over the group's cycles
  // The first cycle's Keff and EDC over the group's means (its own row's
  // ratios): the cycle whose loop the first excursion to the amplitude
  // shapes. NaN where the mean is not positive.
  double firstKeffRatio = kNoValue, firstEDCRatio = kNoValue;
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
  std::vector<AmplitudeGroup> groups;
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
// Why the cycle has no Kd and Dy, as a clause ("Qd = -3 is not positive: the
// branches cross u = 0 at the same force"); "" when they exist.
std::string BilinearReason(const Cycle& cycle);
// One sentence for each reason some cycles lack Kd and Dy, naming those
// cycles from firstNumber; none when every cycle has them.
std::vector<std::string> BilinearNotes(const CycleTable& table, std::size_t firstNumber = 1);
// One sentence for each reason some groups' ratios are missing.
std::vector<std::string> RatioNotes(const CycleTable& table, std::size_t firstNumber = 1);

// Whether most cycles run counter-clockwise: a record that the model, whose
// loops always dissipate, cannot be fitted to as it stands.
bool MostlyCounterClockwise(const CycleTable& table);

}  // namespace quorix::measured
