// ParseNumber on any text.
//
// Properties, each checked with an abort:
//   1. It returns a double or throws NumberOutOfRange; nothing else, no
//      sanitizer report.
//   2. It agrees with the C library's strtod on the same number: the text
//      with its blanks (space, tab, line feed) taken out, read by strtod in
//      the "C" locale, gives the same double bit for bit, and strtod reports
//      overflow (ERANGE with ±HUGE_VAL) exactly when ParseNumber throws.
//      Texts where strtod reads more than the fields do (hexadecimal,
//      "inf", "nan", other leading white space) are left out of this check.
//   3. For a finite result x, the shortest round-trip text of x
//      (std::to_chars) parses back to x, bit for bit.
#include <cerrno>
#include <charconv>
#include <cctype>
#include <cmath>
#include <cstring>
#include <string>

#include "fuzz_support.h"
#include "numbertext.h"

using quorix::fuzz::Check;
using quorix::fuzz::Show;

namespace {

bool SameDouble(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Whether strtod reads the leading number of the blank-free text the way the
// fields do: decimal digits only, no "inf"/"nan", no white space it skips.
bool StrtodReadsAsFields(const std::string& t) {
  if (t.empty()) return true;
  if (std::isspace(static_cast<unsigned char>(t[0]))) return false;  // strtod skips it
  const std::size_t i = t[0] == '+' || t[0] == '-' ? 1 : 0;
  if (i >= t.size()) return true;
  if (std::isalpha(static_cast<unsigned char>(t[i]))) return false;  // "inf", "nan"
  return !(t[i] == '0' && i + 1 < t.size() && (t[i + 1] == 'x' || t[i + 1] == 'X'));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  bool outOfRange = false;
  double x = 0.0;
  try {
    x = quorix::ParseNumber(text);
  } catch (const quorix::NumberOutOfRange&) {
    outOfRange = true;
  }

  std::string blankFree;
  for (char c : text) {
    if (c == '\0') break;  // strtod stops there, and so do the fields
    if (c != ' ' && c != '\t' && c != '\n') blankFree += c;
  }
  if (StrtodReadsAsFields(blankFree)) {
    errno = 0;
    char* end = nullptr;
    const double reference = std::strtod(blankFree.c_str(), &end);
    const bool overflow = errno == ERANGE && std::isinf(reference);
    Check(overflow == outOfRange, "out of range exactly when strtod overflows",
          "text [" + text + "], strtod " + Show(reference));
    if (!outOfRange) {
      // strtod gives +0 for a text without a number; the fields give 0 too.
      Check(SameDouble(x, reference), "the double strtod reads",
            "text [" + text + "]: " + Show(x) + " against " + Show(reference));
    }
  }

  if (!outOfRange && std::isfinite(x)) {
    char shortest[32];
    const auto end = std::to_chars(shortest, shortest + sizeof shortest, x).ptr;
    const std::string again(shortest, end);
    double back = 0.0;
    try {
      back = quorix::ParseNumber(again);
    } catch (const quorix::NumberOutOfRange&) {
      Check(false, "shortest text of a finite result reads back", again + " was refused");
    }
    Check(SameDouble(back, x), "shortest text of a finite result reads back", again + " gave " + Show(back));
  }
  return 0;
}
