// ParseNumber on any text. Properties, each checked with an abort:
//   1. It returns a double or throws Refusal; nothing else, no sanitizer report.
//   2. It agrees with the C library's strtod on the same number: the text without its blanks (space,
//      tab, line feed), read by strtod in the "C" locale, gives the same double bit for bit, and
//      strtod reports overflow (ERANGE with ±HUGE_VAL) exactly when ParseNumber throws. Texts that
//      strtod reads further than the fields do (hexadecimal, "inf", "nan", other leading white
//      space) are left out of this check.
//   3. For a finite result x, the shortest round-trip text of x (decimal::WriteShortest) parses
//      back to x, bit for bit, and is the text std::to_chars writes, byte for byte. The fuzzing
//      build is native only, where the C++ library has the floating-point std::to_chars: it is the
//      oracle here, as strtod is for reading.
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <optional>

#include "decimal.h"
#include "fuzz_support.h"
#include "numbertext.h"

using quorix::fuzz::Check;
using quorix::fuzz::Show;

namespace {

bool Same(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

std::optional<double> Parse(const std::string& text) {  // nothing when out of range
  try {
    return quorix::ParseNumber(text);
  } catch (const quorix::Refusal&) {
    return std::nullopt;
  }
}

// Whether strtod reads the blank-free text as the fields do: decimal digits
// only, no "inf" or "nan", no white space that it skips.
bool StrtodReadsAsFields(const std::string& t) {
  const std::size_t i = t.starts_with('+') || t.starts_with('-');
  if (i >= t.size()) return true;
  return !std::isspace(static_cast<unsigned char>(t[0])) && !std::isalpha(static_cast<unsigned char>(t[i])) &&
         !(t[i] == '0' && i + 1 < t.size() && (t[i + 1] == 'x' || t[i + 1] == 'X'));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::optional<double> x = Parse(text);
  std::string blankFree;
  for (std::size_t i = 0; i < text.size() && text[i] != '\0'; ++i) {  // strtod stops at NUL, and so do the fields
    if (text[i] != ' ' && text[i] != '\t' && text[i] != '\n') blankFree += text[i];
  }
  if (StrtodReadsAsFields(blankFree)) {
    errno = 0;
    const double reference = std::strtod(blankFree.c_str(), nullptr);  // +0 without a number, as the fields
    Check((errno == ERANGE && std::isinf(reference)) == !x, "out of range exactly when strtod overflows",
          "text [" + text + "], strtod " + Show(reference));
    Check(!x || Same(*x, reference), "the double strtod reads",
          "text [" + text + "]: " + Show(x.value_or(0.0)) + " against " + Show(reference));
  }
  if (x && std::isfinite(*x)) {
    char shortest[32], oracle[32];
    const std::string again(shortest, quorix::decimal::WriteShortest(shortest, shortest + sizeof shortest, *x).ptr);
    const std::optional<double> back = Parse(again);
    Check(back && Same(*back, *x), "shortest text of a finite result reads back",
          again + " gave " + (back ? Show(*back) : "out of range"));
    const std::string expected(oracle, std::to_chars(oracle, oracle + sizeof oracle, *x).ptr);
    Check(again == expected, "shortest text as std::to_chars writes it", again + " against " + expected);
  }
  return 0;
}
