#include "window_texts.h"

#include <cmath>
#include <exception>

#include "case_notes.h"
#include "numbertext.h"

namespace quorix::window {

std::string ResultToolTip(int index, bool complementary, std::optional<double> value) {
  const Meaning& m = kResultMeanings[static_cast<std::size_t>(index)];
  const std::string name = CheckedResultName(index, complementary);
  std::string tip = name + ": " + m.what + " (" + m.unit + ")";
  // Nine decimals keep fewer than six significant digits below 1e-3, and
  // from 1e7 on the text runs past the right end of its box.
  if (value && std::isfinite(*value) && *value != 0.0 && (std::abs(*value) < 1e-3 || std::abs(*value) >= 1e7)) {
    tip += "\n" + name + " = " + FormatPlainNumber(*value) + " (15 significant digits)";
  }
  return tip;
}

std::string ResultsBlock(const BoucWenCase& solved) {
  std::string block = "Quantity\tValue\tUnit\n";
  const auto line = [&block](const std::string& name, const std::string& value, const char* unit) {
    block += name + '\t' + value + '\t' + unit + '\n';
  };
  line("n", FormatPlainNumber(solved.Nee), "-");
  line("gamma", FormatPlainNumber(solved.GammaSmall), "-");
  line("beta", FormatPlainNumber(solved.BetaSmall), "-");
  line("A", "1", "-");
  line("a", FormatPlainNumber(solved.AlphaSmall), "-");
  line("Fy", FormatPlainNumber(solved.Fy), "force unit");
  line("Uy", FormatPlainNumber(solved.Uy), "length unit");
  line("Umax/Uy", FormatPlainNumber(solved.UmaxOverUy), "-");
  line("formulas", solved.Complementary ? "Complementary" : "Direct", "-");
  const auto texts = ResultTexts(solved);
  for (int i = 0; i < kResultCount; ++i) {
    const char* unit = kResultMeanings[static_cast<std::size_t>(i)].unit;
    line(CheckedResultName(i, solved.Complementary), texts[static_cast<std::size_t>(i)],
         std::string_view(unit) == "dimensionless" ? "-" : unit);
  }
  return block;
}

std::string SupportedDigits(double value, double error) {
  if (!std::isfinite(value) || !std::isfinite(error) || !(error > 0.0)) return FormatPlainNumber(value);
  // The decimal place of the error's second significant digit.
  const int last = static_cast<int>(std::floor(std::log10(error))) - 1;
  if (last >= 0) {
    const double unit = std::pow(10.0, last);
    return FormatPlainNumber(std::nearbyint(value / unit) * unit);
  }
  // More digits than the plain text's fifteen would claim what a double of
  // this size does not hold.
  const int lead = value == 0.0 ? 0 : static_cast<int>(std::floor(std::log10(std::abs(value))));
  if (lead - last + 1 > 15) return FormatPlainNumber(value);
  return FormatFixed(value, -last);
}

std::optional<std::int64_t> SweepRowCount(const SweepTexts& range) {
  try {
    const std::int32_t steps =
        SweepStepCount(ParseNumber(range.From), ParseNumber(range.To), ParseNumber(range.Step));
    return steps < 0 ? 0 : std::int64_t{steps} + 1;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::string ByteSizeText(double bytes) {
  const char* const units[] = {"bytes", "kB", "MB", "GB", "TB"};
  int k = 0;
  while (k < 4 && bytes >= 999.5) {
    bytes /= 1000.0;
    ++k;
  }
  return FormatFixed(bytes, k > 0 && bytes < 9.95 ? 1 : 0) + " " + units[k];
}

std::string LargeSweepQuestion(std::int64_t rows, std::int64_t rowBytes) {
  return "This Loop writes " + GroupedCount(rows) + " rows to results.out, about " +
         ByteSizeText(static_cast<double>(rows) * static_cast<double>(rowBytes)) + ". Write them?";
}

}  // namespace quorix::window
