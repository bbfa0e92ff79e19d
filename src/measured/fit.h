// Bouc-Wen parameters fitted to a measured record: least squares on the force
// at the measured displacements, against the model's exact response along
// the whole measured path (response.h) from z0 at the first sample, or, for
// records of steady cycles alone, against the closed-form steady loop at
// each chosen cycle's own amplitude and centre.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cycles.h"
#include "fit_types.h"
#include "refusal.h"
#include "steady_model.h"
#include "views.h"

namespace quorix::measured {

// A parameter named as the user types it: n, gamma, alpha, Fy, Uy (any
// case), or beta, which stands for gamma = 1 − beta. Returns its index in
// kParameterNames, or nothing.
std::optional<std::size_t> ParameterIndex(std::string_view name);

// "name=value" into options.fixed or options.start; throws Refusal naming
// the problem (an unknown name, a value that is not a number, a value
// outside the model's domain: n > 0, γ ≥ 0 (β ≤ 1), 0 ≤ α < 1, Fy > 0,
// Uy > 0).
void SetParameter(std::array<std::optional<double>, 5>& where, std::string_view assignment);
// The same for a name and a value given apart (beta stands for 1 − value).
void SetParameter(std::array<std::optional<double>, 5>& where, std::string_view name, double value);

// Throws Refusal naming the first held or starting value outside the
// model's domain; each fit checks options set directly this way.
void CheckGivenValues(const FitOptions& options);

// Cycle indices as the reader counts them (from firstNumber: 1 on the
// command line, 0 in Python), consecutive runs joined: "3-8, 10, 12-13".
std::string CycleList(const std::vector<std::size_t>& cycles, std::size_t firstNumber);

// "fitted: cycles 3-8, amplitudes 1.2 ... 4.5", the amplitudes the half-
// ranges d, and when any were left out "; left out: steady cycles …; wider
// cycles …".
std::string FittedSummary(const FitResult& fit, std::size_t firstNumber);

// Each warning of the result as a sentence that says what it means.
std::vector<std::string> WarningTexts(const FitResult& fit, std::size_t firstNumber);

// The free parameters (indices as kParameterNames) whose standard error
// exceeds kSpreadWarning of their scale (their value; 1 for the shares γ
// and α): the record hardly determines them.
std::vector<std::size_t> UndeterminedParameters(const FitResult& fit);

// The model's closed loop (the views' polygon, in the accurate arithmetic)
// at half-range d, shifted to the centre c: what a fitted cycle is drawn
// against. Empty when the model has no cycle there.
HysteresisLoop ModelLoop(const Case& p, double halfRange, double centre, int pointsPerBranch = 501);

// The fit along the whole record (record_fit.cpp): n, γ, α, Fy, Uy (and z0
// when asked) whose response along the measured displacements, from z0 at
// the first sample, best matches the measured force at every sample that
// counts. Throws Refusal.
FitResult FitRecord(const std::vector<double>& u, const std::vector<double>& F, const CycleTable& table,
                    const FitOptions& options = {});

// The fit to steady loops (steady_fit.cpp): the parameters whose closed-form
// steady loop at each chosen cycle's own amplitude and centre best matches
// the measured force along the cycle. Throws Refusal.
FitResult FitSteady(const std::vector<double>& u, const std::vector<double>& F, const CycleTable& table,
                    const FitOptions& options = {});

// The fit the options ask for: FitSteady when options.steady is set,
// FitRecord otherwise. Throws Refusal.
FitResult Fit(const std::vector<double>& u, const std::vector<double>& F, const CycleTable& table,
              const FitOptions& options = {});

}  // namespace quorix::measured
