// The verdicts a fit result carries beside its parameters: which cycles it
// fitted and left out, and the warnings of a fit that ran but may not mean
// what its numbers suggest.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "decimal.h"
#include "fit.h"
#include "fit_intervals.h"
#include "fit_steps.h"

namespace quorix::measured {

namespace detail {

namespace {

// The largest |z| of the fitted model at the fitted points, from its force:
// F = α·Fy·u/Uy + (1 − α)·Fy·z. With no hysteretic share (α = 1) there is
// no z to speak of, and nothing to warn of.
double PeakZ(const std::vector<double>& u, const FitResult& result) {
  const Case& p = result.parameters;
  const double share = (1.0 - p.alpha) * p.Fy;
  if (!(share != 0.0)) return 1.0;
  double peak = 0.0;
  for (std::size_t i = 0; i < result.points.size() && i < result.modelF.size(); ++i) {
    const double z = (result.modelF[i] - p.alpha * p.Fy * (u[result.points[i]] / p.Uy)) / share;
    peak = std::max(peak, std::fabs(z));
  }
  return peak;
}

}  // namespace

double Median(std::vector<double> values) {
  if (values.empty()) return 0.0;
  const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), middle, values.end());
  return *middle;
}

// The displacement's noise and its typical step. On a smooth path the second
// difference u[i+1] − 2u[i] + u[i−1] is of the order of the step times the
// angle turned per sample, while white noise of deviation σ gives second
// differences of deviation σ·√6; their median absolute value, scaled to a
// deviation (× 1.4826) and divided by √6, estimates σ without being moved by
// the few samples at reversals.
std::pair<double, double> NoiseAndStep(const std::vector<double>& u) {
  std::vector<double> second, step;
  for (std::size_t i = 1; i + 1 < u.size(); ++i) {
    second.push_back(std::fabs(u[i + 1] - 2.0 * u[i] + u[i - 1]));
    step.push_back(std::fabs(u[i + 1] - u[i]));
  }
  return {1.4826 * Median(std::move(second)) / std::sqrt(6.0), Median(std::move(step))};
}

void JudgeFit(const std::vector<double>& u, const CycleTable& table, FitResult& result) {
  result.parameters.beta = 1.0 - result.parameters.gamma;
  result.startingValues.beta = 1.0 - result.startingValues.gamma;
  double widest = 0.0;
  std::vector<bool> fitted(table.cycles.size(), false);
  bool anySteady = false;
  for (const CycleFit& c : result.cycles) {
    fitted[c.cycle] = true;
    widest = std::max(widest, c.halfRange);
    anySteady = anySteady || table.cycles[c.cycle].steady;
  }
  for (std::size_t i = 0; i < table.cycles.size(); ++i) {
    if (fitted[i]) continue;
    const Cycle& c = table.cycles[i];
    if (c.steady) result.leftOutSteady.push_back(i);
    if (0.5 * (c.uPlus - c.uMinus) > widest) result.leftOutWider.push_back(i);
  }
  const auto [lowest, highest] = std::minmax_element(u.begin(), u.end());
  result.recordLow = *lowest;
  result.recordHigh = *highest;
  result.fittedLow = result.fittedHigh = u[result.points.front()];
  for (std::size_t k : result.points) {
    result.fittedLow = std::min(result.fittedLow, u[k]);
    result.fittedHigh = std::max(result.fittedHigh, u[k]);
  }
  result.peakZ = PeakZ(u, result);
  std::vector<FitWarning>& w = result.warnings;
  if (!(result.rmsRelative <= kMisfitWarning)) w.push_back(FitWarning::kMisfit);
  if (result.parameters.alpha < 0.0) w.push_back(FitWarning::kNegativeAlpha);
  // Steady loops are what the steady fit models; along the record every
  // cycle is followed as it is, settled or not.
  if (result.steady && !anySteady) w.push_back(FitWarning::kNoSteadyCycle);
  if (result.fittedHigh - result.fittedLow < kRangeWarning * (result.recordHigh - result.recordLow)) {
    w.push_back(FitWarning::kNarrowRange);
  }
  if (!UndeterminedParameters(result).empty()) w.push_back(FitWarning::kUndetermined);
  if (result.peakZ < kYieldWarning) w.push_back(FitWarning::kBelowYield);
  if (result.displacementNoise > kNoiseWarning * result.medianStep) w.push_back(FitWarning::kNoisyDisplacement);
  if (!result.otherFits.empty()) w.push_back(FitWarning::kOtherFits);
}

}  // namespace detail

std::string CycleList(const std::vector<std::size_t>& cycles, std::size_t firstNumber) {
  std::string text;
  for (std::size_t k = 0; k < cycles.size();) {
    std::size_t end = k;
    while (end + 1 < cycles.size() && cycles[end + 1] == cycles[end] + 1) ++end;
    if (!text.empty()) text += ", ";
    text += std::to_string(cycles[k] + firstNumber);
    if (end > k) {
      text += '-';
      text += std::to_string(cycles[end] + firstNumber);
    }
    k = end + 1;
  }
  return text;
}

namespace {

// A list of more than eight pieces ("3-8" or "10") shortened to its first
// three and its last: the summary is one line; the result holds them all.
std::string ShortList(const std::vector<std::size_t>& cycles, std::size_t firstNumber) {
  const std::string full = CycleList(cycles, firstNumber);
  std::vector<std::size_t> commas;
  for (std::size_t i = full.find(", "); i != std::string::npos; i = full.find(", ", i + 2)) commas.push_back(i);
  if (commas.size() < 8) return full;
  return full.substr(0, commas[2]) + ", ..." + full.substr(commas.back());
}

// An amplitude to six digits: the summary is read, not read back.
std::string Short(double v) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.6g", v);
  return buffer;
}

}  // namespace

std::string FittedSummary(const FitResult& fit, std::size_t firstNumber) {
  std::vector<std::size_t> numbers;
  double low = INFINITY, high = 0.0;
  for (const CycleFit& c : fit.cycles) {
    numbers.push_back(c.cycle);
    low = std::min(low, c.halfRange);
    high = std::max(high, c.halfRange);
  }
  // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) about a
  // literal joined to a temporary string.
  std::string text = "fitted: ";
  if (numbers.empty()) {
    text += "no full cycle";
  } else {
    text += numbers.size() == 1 ? "cycle " : "cycles ";
    text += ShortList(numbers, firstNumber);
    text += low == high ? ", amplitude " : ", amplitudes ";
    text += Short(low);
    if (low != high) {
      text += " ... ";
      text += Short(high);
    }
  }
  if (fit.spreadFrom > 0) {
    text += " (";
    text += std::to_string(numbers.size());
    text += " of the ";
    text += std::to_string(fit.spreadFrom);
    text += " chosen, spread evenly)";
  }
  if (fit.sketchSamples > 0) {
    text += " (searched on ";
    text += std::to_string(fit.sketchSamples);
    text += " samples, finished on all)";
  }
  if (!fit.leftOutSteady.empty() || !fit.leftOutWider.empty()) {
    text += "; left out:";
    if (!fit.leftOutSteady.empty()) {
      text += fit.leftOutSteady.size() == 1 ? " steady cycle " : " steady cycles ";
      text += ShortList(fit.leftOutSteady, firstNumber);
    }
    if (!fit.leftOutSteady.empty() && !fit.leftOutWider.empty()) text += ";";
    if (!fit.leftOutWider.empty()) {
      text += fit.leftOutWider.size() == 1 ? " wider cycle " : " wider cycles ";
      text += ShortList(fit.leftOutWider, firstNumber);
    }
  }
  return text;
}

std::vector<std::size_t> UndeterminedParameters(const FitResult& fit) {
  const Case& p = fit.parameters;
  const double values[5] = {p.n, p.gamma, p.alpha, p.Fy, p.Uy};
  // γ and α are shares of order 1: their spread is judged against 1.
  const bool share[5] = {false, true, true, false, false};
  std::vector<std::size_t> found;
  for (std::size_t i = 0; i < 5; ++i) {
    if (fit.fixed[i]) continue;
    const double scale = share[i] ? 1.0 : std::fabs(values[i]);
    if (!(fit.errors[i] <= kSpreadWarning * scale)) found.push_back(i);
  }
  return found;
}

namespace {

// "the record hardly determines n (2.5 with a standard error of 0.9), …".
std::string UndeterminedText(const FitResult& fit) {
  const Case& p = fit.parameters;
  const double values[5] = {p.n, p.gamma, p.alpha, p.Fy, p.Uy};
  std::string text = "the record hardly determines";
  const char* separator = " ";
  for (std::size_t i : UndeterminedParameters(fit)) {
    text += separator;
    text += std::string(kParameterNames[i]) + " (" + Short(values[i]) + " with a standard error of " +
            Short(fit.errors[i]) + ")";
    separator = ", ";
  }
  return text + ": other values would fit it almost as well";
}

// A parameter by its index in an other fit's `differs` (5: z0).
const char* DifferingName(std::size_t i) { return i < 5 ? kParameterNames[i] : "z0"; }

// "other fits as good: n = 5.1, gamma = 0.2 fits within 1 % of the best
// one's misfit (…); the record does not tell n and gamma apart".
std::string OtherFitsText(const FitResult& fit) {
  std::vector<std::size_t> names;
  std::string text = "other fits as good: ";
  for (std::size_t k = 0; k < fit.otherFits.size(); ++k) {
    const OtherFit& other = fit.otherFits[k];
    const Case& p = other.parameters;
    const double values[6] = {p.n, p.gamma, p.alpha, p.Fy, p.Uy, other.z0};
    if (k > 0) text += "; ";
    for (std::size_t j = 0; j < other.differs.size(); ++j) {
      const std::size_t i = other.differs[j];
      text += std::string(j > 0 ? ", " : "") + DifferingName(i) + " = " + Short(values[i]);
      if (std::find(names.begin(), names.end(), i) == names.end()) names.push_back(i);
    }
    text += " (misfit " + Short(100.0 * other.rmsRelative) + " %)";
  }
  std::sort(names.begin(), names.end());
  std::string named;
  for (std::size_t j = 0; j < names.size(); ++j) {
    named += std::string(j == 0 ? "" : j + 1 == names.size() ? " and " : ", ") + DifferingName(names[j]);
  }
  text += fit.otherFits.size() == 1 ? " fits" : " fit";
  text += " within " + Short(100.0 * kOtherFitShare) + " % of the best one's misfit (" +
          Short(100.0 * fit.rmsRelative) + " % of the mean F+), outside its " +
          (fit.hasIntervals ? "95 % intervals" : "two standard errors") + "; the record does not tell " +
          (names.size() == 1 ? "the values of " : "") + named + " apart";
  return text;
}

// A share as a percentage to three figures ("12.5").
std::string Percent(double share) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.3g", 100.0 * share);
  return std::string(buffer);
}

std::string NarrowRangeText(const FitResult& fit, std::size_t firstNumber) {
  std::string text = "the fitted points span " +
                     Percent((fit.fittedHigh - fit.fittedLow) / (fit.recordHigh - fit.recordLow)) +
                     " % of the record's displacement range (u " + Short(fit.fittedLow) + " to " +
                     Short(fit.fittedHigh) + " of " + Short(fit.recordLow) + " to " + Short(fit.recordHigh) + ")";
  if (!fit.leftOutWider.empty()) {
    text += fit.leftOutWider.size() == 1 ? ": the wider cycle " : ": the wider cycles ";
    text += ShortList(fit.leftOutWider, firstNumber);
    text += fit.leftOutWider.size() == 1 ? " was left out" : " were left out";
  }
  return text;
}

}  // namespace

std::vector<std::string> WarningTexts(const FitResult& fit, std::size_t firstNumber) {
  std::vector<std::string> texts;
  for (FitWarning w : fit.warnings) {
    switch (w) {
      case FitWarning::kMisfit:
        texts.push_back("the misfit is " + Percent(fit.rmsRelative) + " % of the mean F+ (more than " +
                        Percent(kMisfitWarning) + " %): the model does not describe this record closely");
        break;
      case FitWarning::kNegativeAlpha:
        texts.push_back("alpha is negative (" + decimal::ShortestText(fit.parameters.alpha) +
                        "): the force falls after yield, which the model's devices do not do (degradation or a "
                        "drifting record?)");
        break;
      case FitWarning::kNoSteadyCycle:
        texts.push_back(fit.cycles.empty()
                            ? std::string("the fitted samples hold no full cycle, so none of them is steady")
                            : std::string("no fitted cycle is steady (each still differs from the one before): "
                                          "the parameters rest on cycles that had not settled"));
        break;
      case FitWarning::kNarrowRange:
        texts.push_back(NarrowRangeText(fit, firstNumber));
        break;
      case FitWarning::kUndetermined:
        texts.push_back(UndeterminedText(fit));
        break;
      case FitWarning::kBelowYield:
        texts.push_back("the fitted model's |z| reaches only " + Short(fit.peakZ) +
                        " on the fitted points (1 at full yield): the record hardly reaches the yield range, so n, gamma and Fy "
                        "rest on the force's rise before yield");
        break;
      case FitWarning::kNoisyDisplacement:
        texts.push_back("the displacement's noise (about " + Short(fit.displacementNoise) +
                        ", from its second differences) is large against the step between samples (median " +
                        Short(fit.medianStep) +
                        "): z follows every wiggle of u, so the noise acts on the model as motion and the "
                        "standard errors are too small and the values shifted (the 95 % intervals allow for both: each is "
                        "centred on its value less the shift, which it need not hold)");
        break;
      case FitWarning::kOtherFits:
        texts.push_back(OtherFitsText(fit));
        break;
    }
  }
  return texts;
}

}  // namespace quorix::measured
