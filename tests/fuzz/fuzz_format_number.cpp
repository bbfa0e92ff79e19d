// FormatFixed and FormatPlainNumber on any double (and any count of
// decimals from 0 to 1074).
//
// Properties, each checked with an abort:
//   FormatFixed(x, d):
//     1. Non-finite values give "NaN", "Infinity", "-Infinity".
//     2. The text is an optional "-", digits without a superfluous leading
//        zero, and for d > 0 a "." with exactly d digits; "-" only when the
//        text is not all zeros and x < 0.
//     3. It is x correctly rounded to d decimals: against the exact decimal
//        expansion of x (glibc's printf with 1074 decimals, which is exact
//        for every double), it is the nearer of the two neighbours that
//        have d decimals, either of them on an exact tie.
//   FormatPlainNumber(x):
//     4. The documented forms: "0" for zero; plain "-"?digits["."digits]
//        with no zero before the point below 1, no trailing zeros and no
//        trailing point, for 1e-4 <= |value| < 1e15; otherwise a mantissa
//        d[.ddd] with no trailing zeros, "E", a sign and two or more
//        exponent digits. At most 15 significant digits.
//     5. It parses back (ParseNumber) to x rounded to 15 significant digits:
//        the same double as glibc's "%.14e" of x read back, or, where x lies
//        exactly halfway between two 15-digit decimals, one of them. Where
//        that rounding is beyond the range of a double (|x| above
//        1.797693134862315e308), the text reads back as out of range.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz_support.h"
#include "numbertext.h"

using quorix::fuzz::Check;
using quorix::fuzz::Show;

namespace {

bool AllDigits(const std::string& s) { return s.find_first_not_of("0123456789") == std::string::npos; }

// The exact decimal expansion of |x| (finite): integer digits and 1074
// fraction digits.
void ExactExpansion(double x, std::string& integer, std::string& fraction) {
  static char buffer[1600];
  std::snprintf(buffer, sizeof buffer, "%.1074f", std::fabs(x));
  const std::string text(buffer);
  const std::size_t point = text.find('.');
  integer = text.substr(0, point);
  fraction = text.substr(point + 1);
}

// Adds one unit in the last place to a string of decimal digits.
std::string Increment(std::string digits) {
  for (std::size_t i = digits.size(); i-- > 0;) {
    if (digits[i] != '9') {
      ++digits[i];
      return digits;
    }
    digits[i] = '0';
  }
  return "1" + digits;
}

void CheckFixed(double x, int d) {
  const std::string text = quorix::FormatFixed(x, d);
  const std::string where = Show(x) + " with " + std::to_string(d) + " decimals: [" + text + "]";
  if (std::isnan(x)) return Check(text == "NaN", "FormatFixed of NaN", where);
  if (std::isinf(x)) return Check(text == (x < 0 ? "-Infinity" : "Infinity"), "FormatFixed of infinity", where);

  const bool minus = !text.empty() && text[0] == '-';
  const std::string body = minus ? text.substr(1) : text;
  const std::size_t point = body.find('.');
  const std::string integer = body.substr(0, point);
  const std::string fraction = point == std::string::npos ? "" : body.substr(point + 1);
  Check(!integer.empty() && AllDigits(integer) && (integer == "0" || integer[0] != '0'), "FormatFixed form",
        where);
  Check(d == 0 ? point == std::string::npos : fraction.size() == static_cast<std::size_t>(d) && AllDigits(fraction),
        "FormatFixed decimals", where);
  const bool allZero = body.find_first_not_of("0.") == std::string::npos;
  Check(minus == (x < 0 && !allZero), "FormatFixed sign", where);

  // Correct rounding, on the digits alone.
  std::string exactInteger, exactFraction;
  ExactExpansion(x, exactInteger, exactFraction);
  const std::string down = exactInteger + exactFraction.substr(0, static_cast<std::size_t>(d));
  const std::string tail = exactFraction.substr(static_cast<std::size_t>(d));
  const std::size_t firstNonZero = tail.find_first_not_of('0', 1);
  const int side = tail.empty() || tail[0] < '5' ? -1 : tail[0] > '5' || firstNonZero != std::string::npos ? 1 : 0;
  std::string shown = integer + fraction;
  shown.erase(0, std::min(shown.find_first_not_of('0'), shown.size() - 1));
  auto trimmed = [](std::string s) {
    s.erase(0, std::min(s.find_first_not_of('0'), s.size() - 1));
    return s;
  };
  const std::string lower = trimmed(down), upper = trimmed(Increment(down));
  const bool ok = side < 0 ? shown == lower : side > 0 ? shown == upper : (shown == lower || shown == upper);
  Check(ok, "FormatFixed rounds correctly", where + " exact " + exactInteger + "." + exactFraction.substr(0, d + 20));
}

void CheckPlain(double x) {
  const std::string text = quorix::FormatPlainNumber(x);
  const std::string where = Show(x) + ": [" + text + "]";
  if (std::isnan(x)) return Check(text == "NaN", "FormatPlainNumber of NaN", where);
  if (std::isinf(x)) return Check(text == (x < 0 ? "-Infinity" : "Infinity"), "FormatPlainNumber of infinity", where);
  if (x == 0.0) return Check(text == "0", "FormatPlainNumber of zero", where);

  const bool minus = text[0] == '-';
  Check(minus == (x < 0), "FormatPlainNumber sign", where);
  const std::string body = minus ? text.substr(1) : text;
  const std::size_t e = body.find('E');
  const std::string mantissa = body.substr(0, e);
  const std::size_t point = mantissa.find('.');
  const std::string integer = mantissa.substr(0, point);
  const std::string fraction = point == std::string::npos ? "" : mantissa.substr(point + 1);
  Check(AllDigits(integer) && AllDigits(fraction) && !(integer.empty() && fraction.empty()),
        "FormatPlainNumber digits", where);
  Check(point == std::string::npos || (!fraction.empty() && fraction.back() != '0'),
        "FormatPlainNumber no trailing zeros or point", where);
  const std::string digits = integer + fraction;
  const std::size_t significant = digits.find_first_not_of('0');
  Check(significant != std::string::npos && digits.size() - significant <= 15,
        "FormatPlainNumber at most 15 significant digits", where);

  // x rounded to 15 significant digits; above 1.79769313486231e308 that
  // rounding lies beyond the range of a double, and the text, correct as it
  // is, reads back as out of range.
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.14e", x);
  const double reference = std::strtod(buffer, nullptr);
  double back = 0.0;
  try {
    back = quorix::ParseNumber(text);
  } catch (const quorix::NumberOutOfRange&) {
    Check(std::isinf(reference), "FormatPlainNumber reads back", where);
    return;
  }
  Check(!std::isinf(reference), "FormatPlainNumber beyond the range reads as out of range", where);
  const double magnitude = std::fabs(back);
  if (e == std::string::npos) {
    Check(magnitude >= 1e-4 && magnitude < 1e15, "FormatPlainNumber plain form only from 1e-4 to 1e15", where);
    Check(integer != "0" && (integer.empty() || integer[0] != '0'), "FormatPlainNumber no zero before the point",
          where);
  } else {
    Check(magnitude < 1e-4 || magnitude >= 1e15, "FormatPlainNumber exponent form only outside 1e-4 to 1e15", where);
    const std::string exponent = body.substr(e + 1);
    Check(integer.size() == 1 && integer != "0" && exponent.size() >= 3 && (exponent[0] == '+' || exponent[0] == '-') &&
              AllDigits(exponent.substr(1)),
          "FormatPlainNumber exponent form", where);
  }

  // The value: x rounded to 15 significant digits.
  if (back == reference) return;
  // An exact tie between two 15-digit decimals may go either way.
  static char exact[1600];
  std::snprintf(exact, sizeof exact, "%.1100e", std::fabs(x));
  const std::string all(exact);
  const std::string rest = all.substr(16, all.find('e') - 16);  // the digits after the 15th
  const bool tie = rest[0] == '5' && rest.find_first_not_of('0', 1) == std::string::npos;
  Check(tie, "FormatPlainNumber rounds to 15 significant digits", where + " against " + buffer);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  quorix::fuzz::Input in(data, size);
  const double x = in.Double();
  const int low = in.Byte();
  const int high = in.Byte();
  // Mostly the counts of decimals in use, sometimes any up to 1074.
  const int decimals = high < 0xF0 ? low % 21 : (low + 256 * (high - 0xF0)) % 1075;
  CheckFixed(x, decimals);
  CheckPlain(x);
  return 0;
}
