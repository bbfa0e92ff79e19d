// What a fit of the model to a measured record takes and gives: its options
// and its result. Shared by the fits' public entry (fit.h) and the steps
// the two fits are made of (fit_steps.h).
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "steady_model.h"

namespace quorix::measured {

inline constexpr std::array<const char*, 5> kParameterNames{"n", "gamma", "alpha", "Fy", "Uy"};

struct FitOptions {
  // false: the response along the record; true: the steady loops of the
  // chosen cycles. Fit chooses between FitRecord and FitSteady by it.
  bool steady = false;
  // Indices into the cycle table. Steady fit: empty means the steady
  // cycles, or all cycles when none is steady. Whole-record fit: the
  // samples from the first chosen cycle's first to the last one's last
  // count; empty means every sample.
  std::vector<std::size_t> cycles;
  // Whole-record fit: the samples that count, first and last (indices,
  // inclusive), instead of a cycle range. The response always runs from
  // sample 0.
  std::optional<std::pair<std::size_t, std::size_t>> samples;
  // Whole-record fit: z at sample 0, held, or fitted (from this start) when
  // fitZ0 is set.
  double z0 = 0.0;
  bool fitZ0 = false;
  std::array<std::optional<double>, 5> fixed;  // held at this value
  std::array<std::optional<double>, 5> start;  // starting value instead of the record's own
  // Told what the fit is doing ("search, iteration 4") as it goes, from the
  // thread that runs it; for a progress line. May be empty.
  std::function<void(const std::string&)> progress;
};

struct CycleFit {
  std::size_t cycle = 0;      // index into the cycle table
  double halfRange = 0.0;     // d
  double measuredEDC = 0.0;   // shoelace area of the measured cycle
  double modelEDC = 0.0;      // DE of the fitted model at d/Uy
};

// What a fit that ran may still get wrong, each checked on every result:
// a misfit above kMisfitWarning of the mean F⁺; α < 0 (a force that falls
// after yield); fitted points whose displacements span less than
// kRangeWarning of the record's range; a free parameter whose standard
// error exceeds kSpreadWarning of its value (of 1 for γ and α, which are
// shares); a fitted model whose |z| stays below kYieldWarning on the fitted
// points, so that the record shows little of what happens past yield.
// Steady fit only: no fitted cycle steady (it fits steady loops). Fit along
// the record only: a displacement whose noise exceeds kNoiseWarning of the
// typical step between samples (z follows every wiggle of u). Both: other
// parameter sets, outside the fit's uncertainty, that fit the record within
// kOtherFitShare of its misfit (FitResult::otherFits).
enum class FitWarning {
  kMisfit,
  kNegativeAlpha,
  kNoSteadyCycle,
  kNarrowRange,
  kUndetermined,
  kBelowYield,
  kNoisyDisplacement,
  kOtherFits
};
inline constexpr double kMisfitWarning = 0.10;
inline constexpr double kRangeWarning = 0.5;
inline constexpr double kSpreadWarning = 0.25;
inline constexpr double kYieldWarning = 0.5;
inline constexpr double kNoiseWarning = 0.2;
inline constexpr double kOtherFitShare = 0.01;

// Another minimum of the fit's misfit, reached from another of the scan's
// starting points, as good as the fit's own (its rms within kOtherFitShare
// of the fit's) and outside the fit's uncertainty in at least one
// parameter: the record does not tell the two apart.
struct OtherFit {
  Case parameters;
  double z0 = 0.0;          // whole-record fit: z at sample 0
  double rms = 0.0;         // as FitResult::rms, over the same points
  double rmsRelative = 0.0;  // over the same scale as FitResult::rmsRelative
  // The parameters outside the fit's uncertainty (kParameterNames' indices;
  // 5 stands for z0), ascending.
  std::vector<std::size_t> differs;
};

struct FitResult {
  bool steady = false;  // which fit (FitOptions::steady)
  Case parameters;
  double z0 = 0.0;       // whole-record fit: z at sample 0
  double z0Error = 0.0;  // its standard error; 0 when held
  bool z0Fitted = false;
  std::array<double, 5> errors{};  // standard errors; 0 for a fixed parameter
  std::array<bool, 5> fixed{};
  // Whole-record fit: 95 % intervals [low, high] from the sandwich
  // covariance (fit_intervals.h), which holds with noise on u as well as
  // on F; [value, value] for a held parameter. hasIntervals is false for
  // the steady fit, which has none. intervalLag: the lags the residuals'
  // correlation was summed over.
  // The displacement's noise shifts the estimate (the model runs along the
  // noisy u as if it were the motion): displacementBias is that shift as a
  // bootstrap finds it (fit_intervals.h), and the interval is centred on
  // the corrected value, value − displacementBias, which it need not hold.
  bool hasIntervals = false;
  std::array<std::array<double, 2>, 5> intervals{};
  std::array<double, 2> z0Interval{};
  std::array<double, 5> displacementBias{};
  double z0Bias = 0.0;
  std::size_t intervalLag = 0;
  Case startingValues;
  double rms = 0.0;          // root mean square of F_model − F over the fitted points
  double rmsRelative = 0.0;  // rms over the mean F⁺ of the fitted cycles
  int iterations = 0;
  // The cycles fitted (whole-record fit: those within the samples that
  // count), modelEDC there the area of the model's response over the
  // cycle's samples.
  std::vector<CycleFit> cycles;
  // The fitted points (record indices, ascending) and the model's force at
  // each; for a whole-record fit every sample that counts, in order, so
  // that (u, modelF) is the model's response along the measured path.
  std::vector<std::size_t> points;
  std::vector<double> modelF;
  // The record's cycles that were not fitted: the steady ones, and those
  // wider (a larger d) than every fitted cycle.
  std::vector<std::size_t> leftOutSteady;
  std::vector<std::size_t> leftOutWider;
  // The displacements the fitted points span, and those of the record.
  double fittedLow = 0.0, fittedHigh = 0.0, recordLow = 0.0, recordHigh = 0.0;
  std::vector<FitWarning> warnings;
  // The largest |z| of the fitted model at the fitted points; and, for a
  // fit along the record, the displacement's noise as its second
  // differences show it and the median step between samples.
  double peakZ = 0.0;
  double displacementNoise = 0.0;
  double medianStep = 0.0;
  // Whole-record fit of a long record: the search ran on a thinned copy
  // (see record_sketch.h) of this many samples, then was finished on every
  // sample; 0 when it ran on every sample from the start.
  std::size_t sketchSamples = 0;
  // Steady fit of more cycles than it takes (steady_fit.cpp): the number
  // chosen, of which those in `cycles` were fitted; 0 when all were.
  std::size_t spreadFrom = 0;
  // Other parameter sets that fit as well (see OtherFit), best first; the
  // local searches that ran from the scan's distinct starting points,
  // the fit's own among them.
  std::vector<OtherFit> otherFits;
  int starts = 0;
};

}  // namespace quorix::measured
