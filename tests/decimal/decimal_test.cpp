// The correctly rounded reading and writing of doubles (against std::from_chars and std::to_chars where
// the library has them), then the number texts the program reads and shows.
#include "decimal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <system_error>
#include <tuple>
#include <utility>
#include <vector>

#include "../accurate/reference_table.h"
#include "checks.h"
#include "numbertext.h"

namespace quorix::decimal {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kUntouched = 42.25;  // what a refused text leaves in the value
constexpr auto kOk = std::errc();
constexpr auto kRange = std::errc::result_out_of_range;
constexpr auto kInvalid = std::errc::invalid_argument;

using testing::Bits;

[[maybe_unused]] std::string Hex(double x) {  // for messages
  char text[40];
  std::snprintf(text, sizeof text, "%a", x);
  return text;
}

std::string Shortest(double x) {
  char text[kShortestMax];
  const auto [ptr, ec] = WriteShortest(text, text + sizeof text, x);
  EXPECT_EQ(ec, kOk) << x;
  return std::string(text, ptr);
}

std::string Written(bool fixed, double x, int decimals) {
  std::string text(static_cast<std::size_t>(std::max(decimals, 6)) + 400, '\0');
  char* const first = text.data();
  const auto [ptr, ec] = fixed ? WriteFixed(first, first + text.size(), x, decimals)
                               : WriteScientific(first, first + text.size(), x, decimals);
  EXPECT_EQ(ec, kOk) << x << " with " << decimals;
  text.resize(static_cast<std::size_t>(ptr - first));
  return text;
}

// Values in hexadecimal, as the bits they stand for.
struct ReadCase {
  std::string text;
  std::errc ec;
  std::size_t read;  // characters taken
  double value;      // kUntouched when refused
};

std::vector<ReadCase> ReadCases() {
  const std::string zeros(400, '0');
  return {
      {"0.1", kOk, 3, 0x1.999999999999ap-4},
      {"-0", kOk, 2, -0.0},
      {".5", kOk, 2, 0.5},
      {"5.", kOk, 2, 5.0},
      {"1e", kOk, 1, 1.0},  // an exponent needs a digit
      {"1e+", kOk, 1, 1.0},
      {"1E5x", kOk, 3, 1e5},
      {"0x1p3", kOk, 1, 0.0},  // no hexadecimal
      {"1,5", kOk, 1, 1.0},
      {"+1", kInvalid, 0, kUntouched},
      {"", kInvalid, 0, kUntouched},
      {".", kInvalid, 0, kUntouched},
      {"e5", kInvalid, 0, kUntouched},
      {" 1", kInvalid, 0, kUntouched},
      {"inf", kOk, 3, kInf},
      {"-Infinity", kOk, 9, -kInf},
      {"infin", kOk, 3, kInf},
      {"NaN", kOk, 3, kNaN},
      {"nan(123)", kOk, 8, kNaN},
      {"-nan", kOk, 4, -kNaN},
      // The smallest subnormal, the ties about it, and below.
      {"4e-324", kOk, 6, 0x1p-1074},
      {"2.4703282292062328e-324", kOk, 23, 0x1p-1074},
      {"2.4703282292062327e-324", kRange, 23, kUntouched},
      {"2e-324", kRange, 6, kUntouched},
      {"1e-400", kRange, 6, kUntouched},
      {"2.2250738585072011e-308", kOk, 23, 0x0.fffffffffffffp-1022},
      // The largest double, the text halfway above it, and beyond.
      {"1.7976931348623158e308", kOk, 22, 0x1.fffffffffffffp+1023},
      {"1.7976931348623159e308", kRange, 22, kUntouched},
      {"1e400", kRange, 5, kUntouched},
      {"-1e400", kRange, 6, kUntouched},
      {"1e99999999999", kRange, 13, kUntouched},
      {"0e99999999999", kOk, 13, 0.0},
      {"-0.000e-99999", kOk, 13, -0.0},
      {"1" + zeros, kRange, 401, kUntouched},
      {"0." + zeros + "1", kRange, 403, kUntouched},
      {"0." + zeros + "1e400", kOk, 407, 0.1},
      // 2^53 + 1 is a tie that goes to the even 2^53; a digit far on tips it up.
      {"9007199254740993", kOk, 16, 0x1p53},
      {"9007199254740993." + zeros + "1", kOk, 418, 0x1.0000000000001p53},
  };
}

TEST(ReadDouble, ReadsAsFromCharsDoes) {
  for (const ReadCase& c : ReadCases()) {
    double value = kUntouched;
    const auto [ptr, ec] = ReadDouble(c.text, value);
    EXPECT_EQ(ec, c.ec) << c.text;
    EXPECT_EQ(static_cast<std::size_t>(ptr - c.text.data()), c.read) << c.text;
    if (std::isnan(c.value)) {
      EXPECT_TRUE(std::isnan(value) && std::signbit(value) == std::signbit(c.value)) << c.text;
    } else {
      EXPECT_EQ(Bits(value), Bits(c.value)) << c.text << " gave " << value;
    }
  }
}

TEST(WriteShortest, WritesAsToCharsDoes) {
  const std::vector<std::pair<double, std::string>> cases = {
      {0.0, "0"},
      {-0.0, "-0"},
      {-1.5, "-1.5"},
      {0.1, "0.1"},
      // The fixed form unless the exponent form is shorter; on a tie the fixed.
      {1e4, "10000"},
      {1e5, "1e+05"},
      {123456.0, "123456"},
      {1e15, "1e+15"},
      {0.001, "0.001"},
      {1e-4, "1e-04"},
      {1.2e-4, "0.00012"},
      {1.5e-5, "1.5e-05"},
      {1e23, "1e+23"},
      {1.5e300, "1.5e+300"},
      // Whole numbers beyond 2^53 with their exact digits.
      {0x1p53 + 2, "9007199254740994"},
      {0x1p70, "1180591620717411303424"},
      {12345678901234567890.0, "12345678901234567168"},
      {0x1p-1074, "5e-324"},
      {0x1p-1022, "2.2250738585072014e-308"},
      {0x1.fffffffffffffp+1023, "1.7976931348623157e+308"},
      {kInf, "inf"},
      {kNaN, "nan"},
      {-kNaN, "-nan"},
  };
  for (const auto& [x, text] : cases) EXPECT_EQ(Shortest(x), text) << text;
  EXPECT_EQ(ShortestText(-0x1p-1022), "-2.2250738585072014e-308");
}

TEST(WriteFixedAndScientific, RoundCorrectlyAsToCharsDoes) {
  const std::string exact1e308 =
      "100000000000000001097906362944045541740492309677311846336810682903157585404911491537163328978494688899061249"
      "669721172515611590283743140088328307009198146046031271664502933027185697489699588559043338384466165001178426"
      "897626212945177628091195786707458122783970171784415105291802893207873272974885715430223118336";
  struct Case {
    bool fixed;
    double x;
    int decimals;
    std::string text;
  };
  const std::vector<Case> cases = {
      {true, 0.125, 2, "0.12"},  // exact ties go to the even digit
      {true, 2.5, 0, "2"},
      {true, 3.5, 0, "4"},
      {true, 2.675, 2, "2.67"},  // 2.67499999…
      {true, 0x1p-10, 9, "0.000976562"},  // 0.0009765625, a tie at 9 decimals
      {true, -0x1.fffffffffffffp52, 19, "-9007199254740991.0000000000000000000"},
      {true, 0.99999999951, 9, "1.000000000"},  // a carry into the whole part
      {true, 0x1p-1074, 19, "0.0000000000000000000"},
      {true, 0.1, 20, "0.10000000000000000555"},
      {true, -0.0, 2, "-0.00"},
      {true, 0x1p-1074, 0, "0"},
      {true, 1e22, 3, "10000000000000000000000.000"},
      {true, 1e23, 0, "99999999999999991611392"},
      {true, 1e308, 9, exact1e308 + ".000000000"},
      {true, 0.5, 1000, "0.5" + std::string(999, '0')},  // more decimals than a double has digits
      {true, 1.5, -1, "1.500000"},
      {true, -kInf, 2, "-inf"},
      {false, 1.0, 14, "1.00000000000000e+00"},
      {false, -0.0, 0, "-0e+00"},
      {false, 9.5, 0, "1e+01"},
      {false, 1.25, 1, "1.2e+00"},
      {false, 0.1, 20, "1.00000000000000005551e-01"},
      {false, 0x1.fffffffffffffp+1023, 14, "1.79769313486232e+308"},
      {false, 0x1p-1074, 14, "4.94065645841247e-324"},
      {false, 0.5, 900, "5." + std::string(900, '0') + "e-01"},
      {false, kNaN, 14, "nan"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Written(c.fixed, c.x, c.decimals), c.text) << c.x << (c.fixed ? " fixed " : " scientific ") << c.decimals;
  }
  // 2^-1074 has 1074 decimals, the last of them ...447265625; further decimals are zeros.
  const std::string tiny = Written(true, 0x1p-1074, 1100);
  EXPECT_EQ(tiny.size(), 1102u);
  EXPECT_EQ(tiny.substr(0, 335), "0." + std::string(323, '0') + "4940656458");
  EXPECT_EQ(tiny.substr(1076 - 9), "447265625" + std::string(26, '0'));
}

TEST(Write, RefusesABufferTooSmall) {
  struct Case {
    double x;
    std::size_t room;  // one less than the text needs
  };
  for (const Case& c : {Case{123.0, 2}, Case{-1.5, 3}, Case{-kNaN, 3}, Case{0x1p70, 21}, Case{1e-7, 4}}) {
    char text[32];
    const auto [ptr, ec] = WriteShortest(text, text + c.room, c.x);
    EXPECT_EQ(ec, std::errc::value_too_large) << c.x;
    EXPECT_EQ(ptr, text + c.room) << c.x;
    EXPECT_EQ(WriteShortest(text, text + c.room + 1, c.x).ec, kOk) << c.x;
  }
  char text[8];
  EXPECT_EQ(WriteFixed(text, text + 4, 1.25, 2).ec, kOk);
  EXPECT_EQ(WriteFixed(text, text + 3, 1.25, 2).ec, std::errc::value_too_large);
  EXPECT_EQ(WriteScientific(text, text + 6, 1.25, 1).ec, std::errc::value_too_large);
  EXPECT_EQ(WriteFixed(text, text + 8, 1.25, std::numeric_limits<int>::max()).ec, std::errc::value_too_large);
  EXPECT_EQ(WriteScientific(text, text + 8, 1.25, std::numeric_limits<int>::max()).ec, std::errc::value_too_large);
}

#if defined(__cpp_lib_to_chars)
// Where the C++ library has the floating-point std::from_chars and
// std::to_chars, the same results byte for byte on the tables above and on
// random doubles and texts.

using Lcg = std::mt19937_64;  // seeded below, the same on every run

// A double of one of the kinds where layouts and roundings change.
double RandomDouble(Lcg& next, int kind) {
  const std::uint64_t r = next();
  double x = 0.0;
  switch (kind % 7) {
    case 0: x = std::bit_cast<double>(r); break;                                              // any bits
    case 1: x = std::ldexp(static_cast<double>(r >> 11), static_cast<int>(next() % 40) + 10); break;  // whole, to 2^93
    case 2: x = static_cast<double>(r % 100000000) * std::pow(10.0, static_cast<int>(next() % 40) - 20); break;
    case 3: x = std::bit_cast<double>(r & 0x800FFFFFFFFFFFFFull); break;                     // subnormal
    case 4: x = std::nextafter(std::pow(10.0, static_cast<int>(r % 620) - 310), next() & 1 ? kInf : 0.0); break;
    case 5: x = static_cast<double>(r % 2000001) / 1000.0 - 1000.0; break;                    // decimal ties
    default: x = std::ldexp(static_cast<double>(r % 4096), -static_cast<int>(next() % 12)); break;  // exact ties
  }
  return next() & 1 ? -x : x;
}

void ExpectReadsAsFromChars(const std::string& text) {
  double ours = kUntouched, theirs = kUntouched;
  const auto a = ReadDouble(text, ours);
  const auto b = std::from_chars(text.data(), text.data() + text.size(), theirs);
  ASSERT_EQ(a.ec, b.ec) << text;
  ASSERT_EQ(a.ptr, b.ptr) << text;
  ASSERT_EQ(Bits(ours), Bits(theirs)) << text;
}

std::string StdText(double x, std::chars_format format, int decimals) {
  std::string text(static_cast<std::size_t>(decimals) + 400, '\0');
  const auto [ptr, ec] = std::to_chars(text.data(), text.data() + text.size(), x, format, decimals);
  EXPECT_EQ(ec, kOk);
  text.resize(static_cast<std::size_t>(ptr - text.data()));
  return text;
}

TEST(AgainstStd, RandomDoublesAndTextsConvertTheSame) {
  Lcg next{20240613};
  const std::string alphabet = "0123456789.eE+-xinfatyIN( ";
  for (int i = 0; i < 20000; ++i) {
    const double x = RandomDouble(next, i);
    char theirs[64];
    const std::string shortest(theirs, std::to_chars(theirs, theirs + sizeof theirs, x).ptr);
    ASSERT_EQ(Shortest(x), shortest) << Hex(x);
    for (int decimals : {0, 2, 9, static_cast<int>(next() % 25), static_cast<int>(next() % 1100)}) {
      ASSERT_EQ(Written(true, x, decimals), StdText(x, std::chars_format::fixed, decimals))
          << Hex(x) << " fixed " << decimals;
    }
    for (int decimals : {14, static_cast<int>(next() % 25), static_cast<int>(next() % 800)}) {
      ASSERT_EQ(Written(false, x, decimals), StdText(x, std::chars_format::scientific, decimals))
          << Hex(x) << " scientific " << decimals;
    }
    ExpectReadsAsFromChars(shortest);
    ExpectReadsAsFromChars(StdText(x, std::chars_format::scientific, 20));
    std::string word;  // scraps of numbers and words
    for (std::uint64_t k = next() % 12; k > 0; --k) word += alphabet[next() % alphabet.size()];
    ExpectReadsAsFromChars(word);
    std::string digits = next() & 1 ? "-" : "";  // long digit strings, far exponents
    for (std::uint64_t k = next() % 800 + 1, point = next() % (k + 1); k > 0; --k) {
      digits += static_cast<char>('0' + next() % 10);
      if (k == point) digits += '.';
    }
    if (next() & 1) (digits += 'e') += std::to_string(static_cast<int>(next() % 1400) - 700);
    ExpectReadsAsFromChars(digits);
    std::string small = "0.";  // many zeros before the digits
    small.append(next() % 400, '0');
    ((small += std::to_string(next() % 1000)) += 'e') += std::to_string(static_cast<int>(next() % 40) - 20);
    ExpectReadsAsFromChars(small);
  }
}
#endif

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
  const std::vector<testing::Row> rows = testing::ReadTable("number_text_cases.tsv");
  for (const testing::Row& row : rows) {
    const std::string& text = row.fields[0];
    const double value = testing::DoubleOf(text);
    if (row.fields[1] != "-") { EXPECT_EQ(FormatFixed(value, 2), row.fields[1]) << text; }
    if (row.fields[2] != "-") { EXPECT_EQ(FormatFixed(value, 9), row.fields[2]) << text; }
    EXPECT_EQ(FormatPlainNumber(value), row.fields[3]) << text;
  }
  EXPECT_GT(rows.size(), 200u);
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
}  // namespace quorix::decimal
