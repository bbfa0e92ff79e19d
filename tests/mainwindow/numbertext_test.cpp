#include "numbertext.h"

#include <gtest/gtest.h>

#include <charconv>
#include <clocale>
#include <cmath>
#include <fstream>
#include <limits>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

namespace quorix {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

struct ParseCase {
  const char* text;
  double expected;
};

void PrintTo(const ParseCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class ParseNumberTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseNumberTest, ReadsTheLeadingNumber) {
  const ParseCase& c = GetParam();
  const double value = ParseNumber(c.text);
  EXPECT_EQ(value, c.expected) << "text '" << c.text << "'";
  EXPECT_EQ(std::signbit(value), std::signbit(c.expected)) << "sign of '" << c.text << "'";
}

INSTANTIATE_TEST_SUITE_P(Texts, ParseNumberTest,
                         ::testing::Values(
                             // Blanks anywhere are ignored; reading stops where the number does.
                             ParseCase{"1 000", 1000.0}, ParseCase{" 2.5 ", 2.5}, ParseCase{" 2 . 5", 2.5},
                             ParseCase{"\t-\n3", -3.0}, ParseCase{"2.0abc", 2.0}, ParseCase{"0,5", 0.0},
                             ParseCase{"1.2.3", 1.2}, ParseCase{"+7", 7.0},
                             // No leading number: zero.
                             ParseCase{"", 0.0}, ParseCase{"-", 0.0}, ParseCase{".", 0.0}, ParseCase{"abc", 0.0},
                             ParseCase{"e5", 0.0}, ParseCase{"&H10", 0.0},
                             // Points and exponents; an exponent without digits is not part of the number.
                             ParseCase{".5", 0.5}, ParseCase{"-.5", -0.5}, ParseCase{"5.", 5.0},
                             ParseCase{"1e-3", 0.001}, ParseCase{"1E+2", 100.0}, ParseCase{"1e", 1.0},
                             ParseCase{"1e+", 1.0}, ParseCase{"1e-x", 1.0}, ParseCase{"1e5.5", 1e5},
                             ParseCase{"2 e 1", 20.0}, ParseCase{"1e0000000000000000000000001", 10.0},
                             // Correctly rounded: the doubles nearest to these decimals.
                             ParseCase{"0.1", 0.1}, ParseCase{"0.10", 0.1}, ParseCase{"2.86", 2.86},
                             ParseCase{"0.111", 0.111}, ParseCase{"-0", -0.0},
                             // The ends of the double range: largest finite, smallest subnormal,
                             // below half of it (underflow to zero, keeping the sign).
                             ParseCase{"1.7976931348623157e308", std::numeric_limits<double>::max()},
                             ParseCase{"4.9e-324", std::numeric_limits<double>::denorm_min()},
                             ParseCase{"3e-324", std::numeric_limits<double>::denorm_min()}, ParseCase{"2e-324", 0.0},
                             ParseCase{"1e-999", 0.0}, ParseCase{"-1e-999", -0.0},
                             ParseCase{"0.0000001e-99999999999999999999", 0.0}, ParseCase{"0e99999", 0.0}));

TEST(ParseNumber, MagnitudesBeyondTheDoubleRangeThrow) {
  const std::vector<std::string> texts = {
      "1e999", "-1e309", "1.7976931348623159e308", "1e99999999999999999999", "0.00001e400", std::string(400, '9')};
  for (const std::string& text : texts) {
    EXPECT_THROW(ParseNumber(text), NumberOutOfRange) << text;
  }
}

struct FixedCase {
  double value;
  int decimals;
  const char* expected;
};

void PrintTo(const FixedCase& c, std::ostream* os) { *os << c.value << " with " << c.decimals; }

class FormatFixedTest : public ::testing::TestWithParam<FixedCase> {};

TEST_P(FormatFixedTest, RoundsTheExactBinaryValue) {
  const FixedCase& c = GetParam();
  EXPECT_EQ(FormatFixed(c.value, c.decimals), c.expected) << c.value << " with " << c.decimals;
}

INSTANTIATE_TEST_SUITE_P(Values, FormatFixedTest,
                         ::testing::Values(FixedCase{1234.5, 9, "1234.500000000"}, FixedCase{-0.25, 2, "-0.25"},
                                           FixedCase{10.0, 2, "10.00"}, FixedCase{1.0, 9, "1.000000000"},
                                           // An exact tie goes to even; 2.675 lies just below its decimal.
                                           FixedCase{0.125, 2, "0.12"}, FixedCase{2.675, 2, "2.67"},
                                           FixedCase{2.5, 0, "2"}, FixedCase{3.5, 0, "4"},
                                           // Negative values that round to zero lose their sign.
                                           FixedCase{-0.0000000001, 9, "0.000000000"},
                                           FixedCase{-0.0, 9, "0.000000000"}, FixedCase{-0.006, 2, "-0.01"},
                                           // Digits beyond the 17th are those of the binary value.
                                           FixedCase{1e23, 2, "99999999999999991611392.00"},
                                           FixedCase{0.1, 20, "0.10000000000000000555"}, FixedCase{kInf, 9, "Infinity"},
                                           FixedCase{-kInf, 2, "-Infinity"},
                                           FixedCase{std::numeric_limits<double>::quiet_NaN(), 9, "NaN"}));

struct PlainCase {
  double value;
  const char* expected;
};

void PrintTo(const PlainCase& c, std::ostream* os) { *os << c.value; }

class FormatPlainNumberTest : public ::testing::TestWithParam<PlainCase> {};

TEST_P(FormatPlainNumberTest, FifteenDigitsWithoutLeadingZero) {
  const PlainCase& c = GetParam();
  EXPECT_EQ(FormatPlainNumber(c.value), c.expected) << c.value;
}

INSTANTIATE_TEST_SUITE_P(Values, FormatPlainNumberTest,
                         ::testing::Values(PlainCase{1 - 0.9, ".1"}, PlainCase{1 - 0.8, ".2"},
                                           PlainCase{1 - 0.75, ".25"}, PlainCase{1 - 1.5, "-.5"}, PlainCase{1.0, "1"},
                                           PlainCase{0.0, "0"}, PlainCase{-0.0, "0"}, PlainCase{1e-5, "1E-05"},
                                           PlainCase{0.0001, ".0001"}, PlainCase{1.5e15, "1.5E+15"},
                                           PlainCase{1e300, "1E+300"}, PlainCase{999999999999999.0, "999999999999999"},
                                           // 15 digits of 999999999999999.9 are 1000000000000000: the exponent form.
                                           PlainCase{1e15, "1E+15"}, PlainCase{999999999999999.9, "1E+15"},
                                           PlainCase{kInf, "Infinity"}, PlainCase{-kInf, "-Infinity"},
                                           PlainCase{std::numeric_limits<double>::quiet_NaN(), "NaN"}));

// A table made from the exact binary values with Python's decimal module
// (data/make_number_text_cases.py): fixed texts with 2 and 9 decimals and the
// plain 15-digit text, over magnitudes from 1e-20 to 1e24 and the edges.
TEST(NumberTextTable, MatchesTheDecimalReference) {
  std::ifstream in(QUORIX_TEST_DATA_DIR "/number_text_cases.tsv");
  ASSERT_TRUE(in) << "missing data file";
  std::string line;
  int rows = 0;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string valueText, fixed2, fixed9, plain;
    std::getline(fields, valueText, '\t');
    std::getline(fields, fixed2, '\t');
    std::getline(fields, fixed9, '\t');
    std::getline(fields, plain, '\t');
    double value = 0.0;
    std::from_chars(valueText.data(), valueText.data() + valueText.size(), value);
    if (fixed2 != "-") {
      EXPECT_EQ(FormatFixed(value, 2), fixed2) << valueText;
    }
    if (fixed9 != "-") {
      EXPECT_EQ(FormatFixed(value, 9), fixed9) << valueText;
    }
    EXPECT_EQ(FormatPlainNumber(value), plain) << valueText;
    // The plain text carries 15 digits, so it reads back to within half a
    // unit in the 15th digit, except next to the largest double, where
    // rounding up to 15 digits leaves the range ('1.79769313486232E+308').
    if (std::fabs(value) < 1.79769313486231e308) {
      EXPECT_NEAR(ParseNumber(plain), value, std::fabs(value) * 5e-15) << plain;
    } else {
      EXPECT_THROW(ParseNumber(plain), NumberOutOfRange) << plain;
    }
    ++rows;
  }
  EXPECT_GT(rows, 200);
}

// The conversions never consult the locale: with a comma as the locale's
// decimal separator, "." is still the only one read and written.
TEST(NumberText, IgnoresACommaDecimalLocale) {
  const std::string saved = std::setlocale(LC_ALL, nullptr);
  const char* found = nullptr;
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "nl_NL.UTF-8"}) {
    if (std::setlocale(LC_ALL, name) != nullptr) {
      found = name;
      break;
    }
  }
  if (found == nullptr) GTEST_SKIP() << "no comma-decimal locale installed (tried de_DE, fr_FR, nl_NL)";
  EXPECT_EQ(ParseNumber("2.5"), 2.5);
  EXPECT_EQ(ParseNumber("2,5"), 2.0);
  EXPECT_EQ(FormatFixed(1234.5, 2), "1234.50");
  EXPECT_EQ(FormatPlainNumber(-0.5), "-.5");
  std::setlocale(LC_ALL, saved.c_str());
}

}  // namespace
}  // namespace quorix
