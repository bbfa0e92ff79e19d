// How far an analysis program's record lies from the model it was given.
//
// A program integrates the law in time steps (backward Euler with Newton's
// method, typically), and what it writes carries that integration's errors:
// the step's truncation error in z, and the z of a step whose iteration did
// not converge, kept as it stands. Along the recorded displacements the
// model's response is known exactly (src/response), so each sample's force
// (and z, when the record has it) can be set beside the exact one.
//
// The figures: for F (and z) the largest difference |program − exact| with
// the sample and u where it occurs, the RMS difference over every sample,
// and the relative difference, the largest one over max |exact| along the
// record; the energy per cycle (EDC) of the program's force and of the
// exact one, on the same cycles (src/measured's splitting at displacement
// reversals, which depends on u alone); and a verdict.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "case.h"
#include "cycles.h"
#include "refusal.h"

namespace quorix::verify {

// The model as the program was given it, mapped onto the normalised case,
// and what the program calls z in Quorix's z: z_program = zScale·z. The
// scale is the one that keeps the hysteretic force: the program's
// coefficient of its z against (1 − α)·Fy of the mapped case.
struct ProgramModel {
  Case c;
  double zScale = 1.0;
};

// Quorix's own case: z as Quorix has it.
ProgramModel ModelOfCase(const Case& c);
// An OpenSees material line (Tcl words or an OpenSeesPy call, as
// material_text.h reads it): BoucWen's z is in displacement units,
// BoucWenOriginal's is dimensionless. Throws Refusal.
ProgramModel ModelOfOpenSees(std::string_view text);
// CSI's Wen link as k=…,yield=…,ratio=…,exp=…; its z is Quorix's.
ProgramModel ModelOfCsiWen(std::string_view text);

// One quantity, program against exact, over every sample.
struct Difference {
  double largest = 0.0;   // max |program − exact|
  std::size_t at = 0;     // the first sample where it occurs (from 0)
  double rms = 0.0;       // √(mean of (program − exact)²)
  double scale = 0.0;     // max |exact| along the record
  double relative = 0.0;  // largest / scale
};

// A cycle's dissipated energy ∮ F du by the program's force and by the exact one.
struct CycleEnergy {
  std::size_t first = 0, last = 0;  // samples (from 0)
  double program = 0.0, exact = 0.0;
};

enum class Verdict {
  kAgrees,     // relative difference at most kAgreesBound: the program's iteration tolerance, round-off
  kClose,      // at most kCloseBound: the size of a time step's error
  kDiffers,    // beyond it: a coarse step, an iteration that failed, another model or initial state
  kWithin,     // a tolerance was given and the relative difference does not exceed it
  kExceeds,    // a tolerance was given and it does
};
inline constexpr double kAgreesBound = 1e-6;
inline constexpr double kCloseBound = 1e-3;

struct Options {
  // z at the first sample, in Quorix's z; by default the record's own z
  // there (over zScale), or 0 (at rest) for a record without z.
  std::optional<double> z0;
  double deadBand = measured::kDefaultDeadBand;
  std::optional<double> tolerance;  // a relative difference; ≥ 0
};

struct Report {
  std::size_t samples = 0;
  double z0 = 0.0;  // z where the exact response started, in the program's units
  Difference force;
  std::optional<Difference> z;  // in the program's z units
  // The larger of the force's and z's relative differences: what the
  // verdict and the tolerance judge.
  double relative = 0.0;
  std::vector<CycleEnergy> cycles;
  std::string cyclesNote;  // why there are none ("" when there are)
  std::vector<double> exactF, exactZ;  // the exact response (z in the program's units)
  Verdict verdict = Verdict::kAgrees;
};

// Throws Refusal for u, F (and z, when not empty) of different lengths, a
// sample that is not finite, what response::CheckHistory and
// CheckParameters refuse (the initial z included), and a negative or
// non-finite tolerance.
Report Verify(std::span<const double> u, std::span<const double> F, std::span<const double> z,
              const ProgramModel& model, const Options& options = {});

// The verdict in words, one line without its end, e.g. "the record is close
// to the model: largest relative difference 2.31e-04, at sample 57
// (u = 0.0123)"; `firstSample` is what the first sample is called (1 on the
// command line, 0 in Python).
std::string VerdictLine(const Report& report, std::span<const double> u, const Options& options,
                        std::size_t firstSample);

// A relative difference as the report writes it: three significant digits ("2.31e-04").
std::string RelativeText(double relative);

// The verdict's name in JSON and Python: "agrees", "close", "differs", "within", "exceeds".
std::string_view VerdictName(Verdict verdict);

}  // namespace quorix::verify
