// What the window says about its numbers beyond the numbers themselves, as
// plain text: what each field and result means and in which unit, the
// block "Copy results" puts on the clipboard, a fitted value written with
// the digits its standard error supports, and the questions a Loop asks
// before it writes a great many rows. No Qt here.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "bouc_wen_case.h"
#include "commands.h"

namespace quorix::window {

// The units line under the window's frames.
inline constexpr const char* kUnitsLine = "Forces in the unit of Fy, lengths in the unit of Uy, DE in Fy·Uy";

// A field or result: the name a screen reader says, what it is, its unit.
struct Meaning {
  const char* name;
  const char* what;
  const char* unit;
};

// The seven inputs in the fields' order γ, n, α, Fy, Uy, Umax/Uy, β, then A.
inline constexpr std::array<Meaning, 8> kInputMeanings = {{
    {"gamma", "γ, the weight of the |du/dt|·|z|ⁿ⁻¹·z term", "dimensionless"},
    {"n", "n, the exponent of the law: the larger, the sharper the yield", "dimensionless"},
    {"a", "α, the post-yield stiffness ratio, the elastic share of Fy", "dimensionless"},
    {"Fy", "Fy, the yield force", "the force unit of the case"},
    {"Uy", "Uy, the yield displacement", "the length unit of the case"},
    {"Umax / Uy", "Umax/Uy, the amplitude of the symmetric cycle", "in units of Uy"},
    {"beta", "β = 1 − γ, the weight of the du/dt·|z|ⁿ term", "dimensionless"},
    {"A", "A, fixed at 1", "dimensionless"},
}};
// The Loop's range of Umax/Uy.
inline constexpr std::array<Meaning, 3> kRangeMeanings = {{
    {"From", "the first Umax/Uy of the Loop", "in units of Uy"},
    {"To", "the last Umax/Uy of the Loop", "in units of Uy"},
    {"Step", "the step of Umax/Uy from row to row", "in units of Uy"},
}};
// The nine results in kResultNames' order.
inline constexpr std::array<Meaning, kResultCount> kResultMeanings = {{
    {"Za", "the peak of the hysteretic variable z, at Umax", "dimensionless"},
    {"Fha", "the hysteretic force at Umax, (1 − α)·Fy·Za", "unit of Fy"},
    {"Fela", "the elastic force at Umax, α·Fy·Umax/Uy", "unit of Fy"},
    {"Fa", "the force at Umax, Fha + Fela", "unit of Fy"},
    {"Kcd", "the loop integral of the loading branch", "dimensionless"},
    {"Kda", "the loop integral of the unloading branch", "dimensionless"},
    {"DE/(Fy Uy)", "the energy dissipated in one cycle over Fy·Uy", "dimensionless"},
    {"DE/(Fh Uy)", "the energy dissipated in one cycle over Fh·Uy, Fh = (1 − α)·Fy", "dimensionless"},
    {"DE", "the energy dissipated in one cycle, the area of the loop", "unit of Fy·Uy"},
}};

// A result's tooltip: its meaning and unit, and, where nine decimals keep
// fewer than six significant digits or more than the box shows (below 1e-3,
// from 1e7 on), the value again in fifteen significant digits.
std::string ResultToolTip(int index, bool complementary, std::optional<double> value);

// "Copy results": a TAB-separated block of three columns, name, value and
// unit, with a header line; the case as solved, then the nine results as the
// window shows them. Lines end in "\n".
std::string ResultsBlock(const BoucWenCase& solved);

// A fitted value with the digits its standard error supports: rounded to
// the second significant digit of the error (2.48887908289915 ± 0.0023 gives
// "2.4889"), never to more than the fifteen significant digits of the
// window's plain numbers; the plain fifteen-digit text when there is no
// usable error (fixed, zero, not finite).
std::string SupportedDigits(double value, double error);

// A Loop beyond this many rows asks first.
inline constexpr std::int64_t kRowsToAskAbout = 1000000;

// The rows a Loop over this range writes, or nothing when the range cannot
// be read (the Loop then says why).
std::optional<std::int64_t> SweepRowCount(const SweepTexts& range);

// The question before a Loop of `rows` rows, each about `rowBytes` bytes:
// "This Loop writes 99,000,001 rows to results.out, about 11 GB. Write them?"
std::string LargeSweepQuestion(std::int64_t rows, std::int64_t rowBytes);

// A byte count as "11 GB", "640 MB", "12 kB": two significant digits.
std::string ByteSizeText(double bytes);

}  // namespace quorix::window
