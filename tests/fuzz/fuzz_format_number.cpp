// FormatFixed(x, d) and FormatPlainNumber(x) on any double x, d from 0 to 1074. Properties, each
// checked with an abort:
//   1. Non-finite values give "NaN", "Infinity", "-Infinity".
//   2. FormatFixed: "-" only when x < 0 and the text is not all zeros, digits without a superfluous
//      leading zero, for d > 0 a "." and exactly d digits.
//   3. FormatFixed is x correctly rounded to d decimals: the nearer of the two d-decimal neighbours
//      of x's exact expansion (glibc's "%.1074f", exact for every double), either on an exact tie.
//   4. FormatPlainNumber: "0" for zero; for 1e-4 <= |value| < 1e15 plain "-"?digits["."digits]
//      without a zero before the point, otherwise a mantissa d[.ddd], "E", a sign and two or more
//      exponent digits; no trailing zeros or point; at most 15 significant digits.
//   5. FormatPlainNumber parses back (ParseNumber) to x rounded to 15 significant digits (glibc's
//      "%.14e" read back; either neighbour on an exact tie); beyond the doubles (|x| above
//      1.797693134862315e308), as out of range.
#include <cmath>

#include "fuzz_support.h"
#include "numbertext.h"

using quorix::fuzz::Check;

namespace {

constexpr std::size_t npos = std::string::npos;

bool AllDigits(const std::string& s) { return s.find_first_not_of("0123456789") == npos; }
bool Half(const std::string& tail) { return tail.starts_with('5') && tail.find_first_not_of('0', 1) == npos; }
std::string Increment(std::string digits) {  // one unit in the last place more
  for (std::size_t i = digits.size(); i-- > 0; digits[i] = '0') {
    if (digits[i] != '9') return ++digits[i], digits;
  }
  return "1" + digits;
}

// A number's text split into sign, integer digits, the place of the point and fraction digits.
struct Pieces {
  bool minus;
  std::string body;
  std::size_t point;
  std::string integer, fraction;
  explicit Pieces(const std::string& text)
      : minus(text.starts_with('-')), body(text.substr(minus)), point(body.find('.')),
        integer(body.substr(0, point)), fraction(point == npos ? "" : body.substr(point + 1)) {}
};

void CheckFixed(double x, int d) {
  const std::string text = quorix::FormatFixed(x, d);
  const std::string where = quorix::fuzz::Show(x) + " with " + std::to_string(d) + " decimals: [" + text + "]";
  const Pieces p(text);
  Check(!p.integer.empty() && AllDigits(p.integer) && (p.integer == "0" || p.integer[0] != '0') &&
            (d == 0 ? p.point == npos : p.fraction.size() == static_cast<std::size_t>(d) && AllDigits(p.fraction)) &&
            p.minus == (x < 0 && p.body.find_first_not_of("0.") != npos),
        "FormatFixed form: sign, digits, decimals", where);
  static char exact[1600];
  std::snprintf(exact, sizeof exact, "%.1074f", std::fabs(x));
  const std::string all(exact);
  const std::size_t point = all.find('.');
  // Integer digits (no superfluous zero) and d decimals on both sides: the digit strings compare as the numbers.
  const std::string lower = all.substr(0, point) + all.substr(point + 1, d), upper = Increment(lower);
  const std::string tail = all.substr(point + 1 + d), shown = p.integer + p.fraction;
  // tail < "5" compares as strings: the digits left out are below one half.
  Check(Half(tail) ? shown == lower || shown == upper : shown == (tail < "5" ? lower : upper),
        "FormatFixed rounds correctly", where + " exact " + all.substr(0, point + d + 21));
}

void CheckPlain(double x) {
  const std::string text = quorix::FormatPlainNumber(x);
  const std::string where = quorix::fuzz::Show(x) + ": [" + text + "]";
  if (x == 0.0) return Check(text == "0", "FormatPlainNumber of zero", where);
  const std::size_t e = text.find('E');
  const Pieces p(text.substr(0, e));
  const std::string digits = p.integer + p.fraction;
  const std::size_t first = digits.find_first_not_of('0');
  Check(p.minus == (x < 0) && AllDigits(digits) && first != npos && digits.size() - first <= 15 &&
            (p.point == npos || (!p.fraction.empty() && !p.fraction.ends_with('0'))),
        "FormatPlainNumber: sign, at most 15 significant digits, no trailing zeros or point", where);

  char rounded[32];  // x rounded to 15 significant digits
  std::snprintf(rounded, sizeof rounded, "%.14e", x);
  const double reference = std::strtod(rounded, nullptr);
  double back = 0.0;
  try {
    back = quorix::ParseNumber(text);
  } catch (const quorix::Refusal&) {
    return Check(std::isinf(reference), "FormatPlainNumber reads back", where);
  }
  Check(!std::isinf(reference), "FormatPlainNumber beyond the range reads as out of range", where);
  const std::string exponent = e == npos ? "" : text.substr(e + 1);
  Check(std::fabs(back) >= 1e-4 && std::fabs(back) < 1e15
            ? e == npos && !p.integer.starts_with('0')
            : e != npos && p.integer.size() == 1 && p.integer != "0" && exponent.size() >= 3 &&
                  (exponent[0] == '+' || exponent[0] == '-') && AllDigits(exponent.substr(1)),
        "FormatPlainNumber: the plain form exactly from 1e-4 to 1e15, else the exponent form", where);
  if (back == reference) return;
  static char exact[1600];  // an exact tie between two 15-digit decimals may go either way
  std::snprintf(exact, sizeof exact, "%.1100e", std::fabs(x));
  const std::string all(exact);
  Check(Half(all.substr(16, all.find('e') - 16)), "FormatPlainNumber rounds to 15 significant digits",
        where + " against " + rounded);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  quorix::fuzz::Input in(data, size);
  const double x = in.Double();
  const int low = in.Byte(), high = in.Byte();
  const int d = high < 0xF0 ? low % 21 : (low + 256 * (high - 0xF0)) % 1075;  // mostly the counts in use
  if (std::isfinite(x)) {
    CheckFixed(x, d);
    CheckPlain(x);
  } else {
    const std::string name = std::isnan(x) ? "NaN" : x < 0 ? "-Infinity" : "Infinity";
    Check(quorix::FormatFixed(x, d) == name, "NaN and infinities: FormatFixed", quorix::fuzz::Show(x));
    Check(quorix::FormatPlainNumber(x) == name, "NaN and infinities: FormatPlainNumber", quorix::fuzz::Show(x));
  }
  return 0;
}
