#include "case_notes.h"

#include <bit>
#include <cmath>
#include <exception>

#include "decimal.h"
#include "numbertext.h"

namespace quorix::window {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n'; }

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// Whether the text is one complete number once its blanks are taken out,
// as the field takes them out.
bool IsNumberOnceJoined(std::string_view text) {
  std::string joined;
  for (const char c : text) {
    if (!IsBlank(c)) joined += c;
  }
  return !joined.empty() && IsCompleteNumber(joined);
}

// The longest start of the text that is one complete number by itself: where
// the field's reading stops. Found with the field's own test rather than a
// second copy of its grammar; the texts are a field's, short.
std::string_view NumberPart(std::string_view text) {
  for (std::size_t length = text.size(); length > 0; --length) {
    const std::string_view start = text.substr(0, length);
    if (IsNumberOnceJoined(start)) return start;
  }
  return {};
}

// Six significant digits, exponent form: "1.90986e-08".
std::string SixDigits(double value) {
  char buffer[40];
  const auto written = decimal::WriteScientific(buffer, buffer + sizeof buffer, value, 5);
  return std::string(buffer, written.ptr);
}

// Two field texts read as the same double, bit for bit (0 and −0 differ:
// a result may keep the sign).
bool SameReading(const std::string& a, const std::string& b) {
  if (a == b) return true;
  try {
    return std::bit_cast<std::uint64_t>(ParseNumber(a)) == std::bit_cast<std::uint64_t>(ParseNumber(b));
  } catch (const std::exception&) {
    return false;  // one of them beyond the range of a double, the texts differing
  }
}

std::string Plural(std::int64_t count, const char* one, const char* many) {
  return GroupedCount(count) + " " + (count == 1 ? one : many);
}

}  // namespace

std::optional<std::string> ReadingNote(std::string_view text) {
  double value = 0.0;
  try {
    value = ParseNumber(text);
  } catch (const std::exception& e) {
    return std::string(e.what());  // "number beyond the range of a double: 1e999"
  }
  if (IsCompleteNumber(text)) return std::nullopt;
  const std::string_view typed = TrimBlanks(text);
  if (typed.empty()) return std::string("empty: read as 0");
  const std::string read = std::string(typed) + " read as " + decimal::ShortestText(value) + ": ";
  // "2 5": the field joins what a blank parts.
  if (IsNumberOnceJoined(typed)) return read + "the blanks inside it are dropped";
  const std::string_view number = NumberPart(text);
  if (number.empty()) return read + "not a number";
  const std::string_view rest = TrimBlanks(text.substr(number.size()));
  // "2,5": a decimal comma, which the field takes for the end of the number.
  if (rest.size() >= 2 && rest[0] == ',' && rest[1] >= '0' && rest[1] <= '9') {
    return read + "the decimal point is '.'";
  }
  return read + "the number ends before '" + std::string(rest) + "'";
}

std::string ExactText(double value) {
  if (value == 0.0 || !std::isfinite(value) || std::fabs(value) >= 1e-4) return FormatFixed(value, 9);
  return SixDigits(value);
}

std::string CheckedResultName(int index, bool complementary) {
  if (index >= kResultCount) {
    static constexpr const char* kDerived[] = {"XiEq", "Ksec", "Ksec/K0"};
    return kDerived[index - kResultCount];
  }
  std::string caption = ResultCaptions(complementary)[static_cast<std::size_t>(index)];
  return caption.substr(0, caption.size() - 2);  // without " :"
}

std::string FlagsNote(const accurate::ResultCheck& check, bool complementary) {
  const int count = check.Count();
  if (count == 0) return {};
  std::string names;
  for (int i = 0; i < accurate::kCheckedCount; ++i) {
    if (!check.flagged[i]) continue;
    if (!names.empty()) names += ", ";
    names += CheckedResultName(i, complementary);
    // The nine shown results carry their exact values beside them.
    if (i >= kResultCount) names += " (exact " + ExactText(check.exact[i]) + ")";
  }
  return count == 1 ? "1 result differs from its exact value by more than 1e-4: " + names
                    : std::to_string(count) + " results differ from the exact values by more than 1e-4: " + names;
}

std::string LoopNote(const SweepEnd& end) {
  const SweepTally& t = end.tally;
  if (!end.failure.empty() && t.rows == 0) return "Loop ended: " + end.failure;
  std::string note = end.stopped            ? "Loop stopped after " + Plural(t.rows, "row", "rows")
                     : !end.failure.empty() ? "Loop ended after " + Plural(t.rows, "row", "rows") + ": " + end.failure
                                            : "Loop: " + Plural(t.rows, "row", "rows");
  if (t.outsideRows > 0) {
    note += "; " + GroupedCount(t.outsideRows) + " outside the model: " + t.firstBreach;
  }
  if (t.flaggedRows > 0) {
    note += "; in " + GroupedCount(t.flaggedRows) + " of them results differ from the exact values by more than 1e-4, " +
            "the first at Umax/Uy = " + FormatPlainNumber(t.firstFlaggedAt);
  } else if (t.rows > t.outsideRows) {
    note += t.outsideRows > 0 ? "; the others within 1e-4 of the exact values"
                              : ", every result within 1e-4 of its exact value";
  }
  return note;
}

bool SameInputs(const CaseTexts& a, const CaseTexts& b) {
  if (a.Complementary != b.Complementary) return false;
  const std::pair<const std::string&, const std::string&> fields[] = {
      {a.Nee, b.Nee}, {a.BetaSmall, b.BetaSmall}, {a.GammaSmall, b.GammaSmall}, {a.AlphaSmall, b.AlphaSmall},
      {a.Fy, b.Fy},   {a.Uy, b.Uy},               {a.UmaxOverUy, b.UmaxOverUy}};
  for (const auto& [x, y] : fields) {
    if (!SameReading(x, y)) return false;
  }
  return true;
}

bool SameInputs(const SweepTexts& a, const SweepTexts& b) {
  return SameReading(a.From, b.From) && SameReading(a.To, b.To) && SameReading(a.Step, b.Step);
}

}  // namespace quorix::window
