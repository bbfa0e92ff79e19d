#include "numbertext.h"

#include <gtest/gtest.h>

#include <charconv>
#include <clocale>
#include <cmath>
#include <fstream>
#include <limits>
#include <locale>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>

namespace quorix {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kMin = std::numeric_limits<double>::denorm_min();

// The leading number, or Refusal (kNaN below) for a magnitude beyond the double range.
TEST(ParseNumber, ReadsTheLeadingNumber) {
  const std::pair<std::string, double> cases[] = {
      // Blanks anywhere are ignored; reading stops where the number does; no leading number: zero.
      {"1 000", 1000.0}, {" 2 . 5", 2.5}, {"\t-\n3", -3.0}, {"2.0abc", 2.0}, {"0,5", 0.0}, {"1.2.3", 1.2},
      {"+7", 7.0}, {"", 0.0}, {"-", 0.0}, {".", 0.0}, {"abc", 0.0}, {"e5", 0.0}, {"&H10", 0.0},
      // Points and exponents; an exponent without digits is not part of the number.
      {".5", 0.5}, {"-.5", -0.5}, {"5.", 5.0}, {"1e-3", 0.001}, {"1E+2", 100.0}, {"1e", 1.0}, {"1e+", 1.0},
      {"1e-x", 1.0}, {"1e5.5", 1e5}, {"2 e 1", 20.0}, {"1e0000000000000000000000001", 10.0},
      // Correctly rounded; the range's ends: largest, smallest subnormal, below half of it (±0 keeps its sign).
      {"0.1", 0.1}, {"2.86", 2.86}, {"-0", -0.0}, {"1.7976931348623157e308", std::numeric_limits<double>::max()},
      {"4.9e-324", kMin}, {"3e-324", kMin}, {"2e-324", 0.0}, {"1e-999", 0.0}, {"-1e-999", -0.0},
      {"0.0000001e-99999999999999999999", 0.0}, {"0e99999", 0.0}, {"1e999", kNaN}, {"-1e309", kNaN},
      {"1.7976931348623159e308", kNaN}, {"1e99999999999999999999", kNaN}, {"0.00001e400", kNaN},
      {std::string(400, '9'), kNaN}};
  for (const auto& [text, expected] : cases) {
    if (std::isnan(expected)) { EXPECT_THROW(ParseNumber(text), Refusal) << text; continue; }
    const double value = ParseNumber(text);
    EXPECT_EQ(std::pair(value, std::signbit(value)), std::pair(expected, std::signbit(expected))) << '"' << text << '"';
  }
}

// What the decimal table lacks: other decimal counts, ±0 and the non-finite values.
TEST(FormatNumber, EdgesBeyondTheTable) {
  // An exact tie goes to even; all the binary value's digits; no sign on zero.
  for (const auto& [value, decimals, text] :
       {std::tuple{2.5, 0, "2"}, {3.5, 0, "4"}, {0.1, 20, "0.10000000000000000555"}, {-0.0, 9, "0.000000000"}}) {
    EXPECT_EQ(FormatFixed(value, decimals), text);
  }
  // ±0; 15 digits of 999999999999999.9 are 1000000000000000: the exponent form.
  EXPECT_EQ(FormatPlainNumber(0.0) + FormatPlainNumber(-0.0) + " " + FormatPlainNumber(999999999999999.9), "00 1E+15");
  for (const auto& [value, text] : {std::pair{kInf, "Infinity"}, {-kInf, "-Infinity"}, {kNaN, "NaN"}}) {
    EXPECT_EQ(FormatFixed(value, 9) + " " + FormatFixed(value, 2) + " " + FormatPlainNumber(value),
              std::string(text) + " " + text + " " + text);
  }
}

// 2 and 9 decimals and the plain 15-digit text of magnitudes 1e-20 … 1e24 and the edges, from the exact binary
// values with Python's decimal module (data/make_number_text_cases.py).
TEST(NumberTextTable, MatchesTheDecimalReference) {
  std::ifstream in(QUORIX_TEST_DATA_DIR "/number_text_cases.tsv");
  ASSERT_TRUE(in) << "missing data file";
  int rows = 0;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string valueText, fixed2, fixed9, plain;
    std::getline(std::getline(std::getline(std::getline(fields, valueText, '\t'), fixed2, '\t'), fixed9, '\t'), plain);
    double value = 0.0;
#if defined(__cpp_lib_to_chars)
    std::from_chars(valueText.data(), valueText.data() + valueText.size(), value);
#else
    // A C++ library without the floating-point from_chars: its stream, in the classic locale (the
    // C library's correctly rounded strtod underneath), still a reader other than the one tested.
    std::istringstream text(valueText);
    text.imbue(std::locale::classic());
    text >> value;
#endif
    if (fixed2 != "-") { EXPECT_EQ(FormatFixed(value, 2), fixed2) << valueText; }
    if (fixed9 != "-") { EXPECT_EQ(FormatFixed(value, 9), fixed9) << valueText; }
    EXPECT_EQ(FormatPlainNumber(value), plain) << valueText;
    ++rows;
  }
  EXPECT_GT(rows, 200);
}

// Never the locale's: with a comma-decimal locale, "." is still the only point read and written.
TEST(NumberText, IgnoresACommaDecimalLocale) {
  const std::string saved = std::setlocale(LC_ALL, nullptr);
  if (!std::setlocale(LC_ALL, "de_DE.UTF-8") && !std::setlocale(LC_ALL, "de_DE.utf8")) {
    GTEST_SKIP() << "no de_DE locale installed";
  }
  EXPECT_EQ(std::pair(ParseNumber("2.5"), ParseNumber("2,5")), std::pair(2.5, 2.0));
  EXPECT_EQ(FormatFixed(1234.5, 2) + " " + FormatPlainNumber(-0.5), "1234.50 -.5");
  std::setlocale(LC_ALL, saved.c_str());
}

}  // namespace
}  // namespace quorix
