// How far the specified arithmetic's results lie from the model's exact
// values, case by case.
//
// The specified arithmetic keeps its truncated series and its formulas as
// differences of large terms: at most amplitudes its results agree with the
// exact ones to 1e-4 (relative) or better, but at small amplitudes the
// energy's formulas cancel (DE < 0, XiEq of the wrong sign) and at small n
// with γ near 1 the truncation reaches percents. The check solves the case
// a second time in the accurate mode and flags each result whose relative
// difference exceeds kCheckBound or whose sign differs.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "bouc_wen_case.h"
#include "views.h"

namespace quorix::accurate {

// Above the truncation the specified arithmetic shows inside the model's
// usual range (7.4e-5 over the default sweep, 1.4e-5 at n = 1.5), below the
// four-digit reading an engineer takes from a result.
inline constexpr double kCheckBound = 1e-4;

// The twelve results a face shows: the nine of the record, then XiEq, Ksec
// and Ksec/K0.
inline constexpr int kCheckedCount = 12;
inline constexpr std::array<std::string_view, kCheckedCount> kCheckedNames = {
    "Za", "Fha", "Fela", "Fa", "Kcd", "Kda", "DEOverFyUy", "DEOverFhUy", "DE", "XiEq", "Ksec", "KsecOverK0"};

// |specified − exact| > kCheckBound·|exact|, or the two of different signs
// (an exact 0 against a non-zero value counts), or one of them not a number.
bool Differs(double specified, double exact);

struct ResultCheck {
  // false where the accurate mode refuses the case (outside the model's
  // domain, or beyond the reach of its series): nothing is flagged then.
  bool available = false;
  std::array<double, kCheckedCount> exact{};
  std::array<bool, kCheckedCount> flagged{};
  int Count() const;
  // The flagged result with the largest relative difference, -1 if none.
  int Worst(const std::array<double, kCheckedCount>& specified) const;
};

// The twelve values of a solved record in kCheckedNames' order.
std::array<double, kCheckedCount> CheckedValues(const BoucWenCase& solved);

// The flagged results as "XiEq -0.206818314 (exactly 1.90986e-08)", joined
// by ", ": each with the nine decimals a face shows and the exact value to
// six significant digits (plain from 1e-4 to 1e6, with a power of ten
// beyond).
std::string FlaggedText(const ResultCheck& check, const std::array<double, kCheckedCount>& specified);

// Solves `solved`'s inputs (and its formula set) in the accurate mode and
// compares with its results. Never throws.
ResultCheck CheckAgainstExact(const BoucWenCase& solved);

}  // namespace quorix::accurate
