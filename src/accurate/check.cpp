#include "check.h"

#include <cmath>

#include "accurate.h"
#include "decimal.h"
#include "numbertext.h"
#include "refusal.h"

namespace quorix::accurate {

bool Differs(double specified, double exact) {
  if (std::isnan(specified) || std::isnan(exact)) return std::isnan(specified) != std::isnan(exact);
  // A sign change needs no test of its own: then |specified − exact| ≥ |exact|,
  // far beyond the bound, and an exact 0 flags any other value.
  return std::fabs(specified - exact) > kCheckBound * std::fabs(exact);
}

int ResultCheck::Count() const {
  int count = 0;
  for (bool f : flagged) count += f ? 1 : 0;
  return count;
}

int ResultCheck::Worst(const std::array<double, kCheckedCount>& specified) const {
  int worst = -1;
  double largest = -1.0;
  for (int i = 0; i < kCheckedCount; ++i) {
    if (!flagged[i]) continue;
    // A sign change or a NaN outranks any finite relative difference.
    const double s = specified[i];
    const double e = exact[i];
    const bool sameSign = (s > 0.0 && e > 0.0) || (s < 0.0 && e < 0.0);
    const double relative = sameSign ? std::fabs(s - e) / std::fabs(e) : INFINITY;
    if (relative > largest) {
      largest = relative;
      worst = i;
    }
  }
  return worst;
}

std::array<double, kCheckedCount> CheckedValues(const BoucWenCase& s) {
  const DerivedQuantities d = DeriveQuantities(s);
  return {s.Za, s.Fha, s.Fela, s.Fa, s.Kcd, s.Kda, s.DEOverFyUy, s.DEOverFhUy, s.DE, d.XiEq, d.Ksec, d.KsecOverK0};
}

namespace {

std::string SixDigits(double value) {
  char buffer[40];
  const auto written = decimal::WriteScientific(buffer, buffer + sizeof buffer, value, 5);
  const std::string scientific(buffer, written.ptr);
  const std::size_t e = scientific.find('e');
  if (e == std::string::npos) return scientific;  // inf, nan
  const int exponent = std::stoi(scientific.substr(e + 1));
  return exponent >= -4 && exponent < 6 ? FormatFixed(value, 5 - exponent) : scientific;
}

}  // namespace

std::string FlaggedText(const ResultCheck& check, const std::array<double, kCheckedCount>& specified) {
  std::string text;
  for (int i = 0; i < kCheckedCount; ++i) {
    if (!check.flagged[i]) continue;
    if (!text.empty()) text += ", ";
    text += std::string(kCheckedNames[i]) + " " + FormatFixed(specified[i], 9) + " (exactly " +
            SixDigits(check.exact[i]) + ")";
  }
  return text;
}

ResultCheck CheckAgainstExact(const BoucWenCase& solved) {
  ResultCheck check;
  BoucWenCase exact = solved;
  try {
    Solve(exact);
  } catch (const Refusal&) {
    return check;
  }
  check.available = true;
  check.exact = CheckedValues(exact);
  const auto specified = CheckedValues(solved);
  for (int i = 0; i < kCheckedCount; ++i) check.flagged[i] = Differs(specified[i], check.exact[i]);
  return check;
}

}  // namespace quorix::accurate
