// Locale-independent number text. Parsing builds a clean decimal string and
// hands it to decimal::ReadDouble; formatting starts from decimal::WriteFixed
// and decimal::WriteScientific. All are correctly rounded and never consult
// the C or C++ locale, so a user whose decimal separator is "," still reads
// and writes ".".
#include "numbertext.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
#include <system_error>

#include "decimal.h"

namespace quorix {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The characters of the text with the blanks taken out, read one at a time.
class BlankSkippingReader {
 public:
  explicit BlankSkippingReader(std::string_view text) : text_(text) { SkipBlanks(); }
  bool AtEnd() const { return pos_ >= text_.size(); }
  char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }
  void Advance() {
    ++pos_;
    SkipBlanks();
  }
  std::size_t Position() const { return pos_; }
  void Rewind(std::size_t pos) { pos_ = pos; }

 private:
  void SkipBlanks() {
    while (pos_ < text_.size() && IsBlank(text_[pos_])) ++pos_;
  }
  std::string_view text_;
  std::size_t pos_ = 0;
};

// The leading number of a text, cleaned: sign, digits, point and exponent,
// with nothing that ReadDouble would not take.
struct CleanNumber {
  bool negative = false;
  std::string integerDigits;
  std::string fractionDigits;
  bool hasExponent = false;
  bool exponentNegative = false;
  std::string exponentDigits;
  bool wholeText = false;  // nothing follows the number but blanks

  bool HasMantissa() const { return !integerDigits.empty() || !fractionDigits.empty(); }
};

CleanNumber Scan(std::string_view text) {
  CleanNumber n;
  BlankSkippingReader in(text);
  if (in.Peek() == '+' || in.Peek() == '-') {
    n.negative = in.Peek() == '-';
    in.Advance();
  }
  while (IsDigit(in.Peek())) {
    n.integerDigits += in.Peek();
    in.Advance();
  }
  if (in.Peek() == '.') {
    in.Advance();
    while (IsDigit(in.Peek())) {
      n.fractionDigits += in.Peek();
      in.Advance();
    }
  }
  if (!n.HasMantissa()) return n;  // wholeText stays false: no number at all
  // An exponent counts only when at least one digit follows "E" and its
  // sign: '1e' and '1e+' stop before the "e" and read as 1.
  if (in.Peek() == 'e' || in.Peek() == 'E') {
    const std::size_t mark = in.Position();
    in.Advance();
    bool negative = false;
    if (in.Peek() == '+' || in.Peek() == '-') {
      negative = in.Peek() == '-';
      in.Advance();
    }
    std::string digits;
    while (IsDigit(in.Peek())) {
      digits += in.Peek();
      in.Advance();
    }
    if (digits.empty()) {
      in.Rewind(mark);
    } else {
      n.hasExponent = true;
      n.exponentNegative = negative;
      n.exponentDigits = std::move(digits);
    }
  }
  n.wholeText = in.AtEnd();
  return n;
}

// The decimal exponent of the leading non-zero digit, saturated far beyond
// the range of a double. Decides whether a number that ReadDouble refuses
// is too large or too small: every finite double lies within 1e-324 and
// 1e309, so the two cases are never close.
std::int64_t LeadingDigitExponent(const CleanNumber& n) {
  constexpr std::int64_t kSaturation = 1'000'000'000;
  std::int64_t exponent = 0;
  for (char c : n.exponentDigits) exponent = std::min(kSaturation, exponent * 10 + (c - '0'));
  if (n.exponentNegative) exponent = -exponent;

  const std::size_t firstInteger = n.integerDigits.find_first_not_of('0');
  if (firstInteger != std::string::npos) {
    return exponent + static_cast<std::int64_t>(n.integerDigits.size() - firstInteger) - 1;
  }
  const std::size_t firstFraction = n.fractionDigits.find_first_not_of('0');
  if (firstFraction == std::string::npos) return 0;  // the number is zero
  return exponent - static_cast<std::int64_t>(firstFraction) - 1;
}

// Writes an exponent as the letter E, its sign and at least two digits.
void AppendExponent(std::string& out, int exponent) {
  out += 'E';
  out += exponent < 0 ? '-' : '+';
  const std::string digits = std::to_string(exponent < 0 ? -exponent : exponent);
  if (digits.size() < 2) out += '0';
  out += digits;
}

}  // namespace

bool IsCompleteNumber(std::string_view text) {
  // The field drops blanks anywhere ("2 5" reads as 25); a complete number
  // has them only around it, so that a typed gap is never joined silently.
  const std::size_t first = text.find_first_not_of(" \t\n"), last = text.find_last_not_of(" \t\n");
  if (first != std::string_view::npos && text.substr(first, last - first + 1).find_first_of(" \t\n") != std::string_view::npos) {
    return false;
  }
  return Scan(text).wholeText;
}

double ParseNumber(std::string_view text) {
  const CleanNumber n = Scan(text);
  if (!n.HasMantissa()) return 0.0;  // '', '-', '.', '&H10', 'abc'

  // ReadDouble takes no leading '+' and reads the sign itself; a lone point
  // on either side ('.5', '5.') is written out as '0.5' and '5'.
  std::string clean;
  if (n.negative) clean += '-';
  clean += n.integerDigits.empty() ? "0" : n.integerDigits;
  if (!n.fractionDigits.empty()) {
    clean += '.';
    clean += n.fractionDigits;
  }
  if (n.hasExponent) {
    clean += 'e';
    if (n.exponentNegative) clean += '-';
    clean += n.exponentDigits;
  }

  double value = 0.0;
  const auto [ptr, ec] = decimal::ReadDouble(clean, value);
  if (ec == std::errc::result_out_of_range) {
    // Both overflow and underflow to zero are reported this way, with
    // `value` untouched. Subnormal results come back normally.
    if (LeadingDigitExponent(n) < 0) return n.negative ? -0.0 : 0.0;
    throw Refusal("number beyond the range of a double: " + std::string(text));
  }
  if (ec != std::errc() || ptr != clean.data() + clean.size()) {
    // Cannot happen for the strings built above; refuse rather than guess.
    throw Refusal("unreadable number: " + std::string(text));
  }
  return value;
}

std::string FormatFixed(double value, int decimals) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-Infinity" : "Infinity";
  decimals = std::max(decimals, 0);

  // At most 309 digits before the point, the point, the decimals and a sign:
  // written on the stack for the usual counts of decimals, so that the
  // string is made once at its length (short texts need no allocation).
  const std::size_t capacity = static_cast<std::size_t>(decimals) + 320;
  char stack[400];
  std::string heap;
  char* buffer = stack;
  if (capacity > sizeof stack) {
    heap.resize(capacity);
    buffer = heap.data();
  }
  const auto [ptr, ec] = decimal::WriteFixed(buffer, buffer + capacity, value, decimals);
  if (ec != std::errc()) throw std::length_error("FormatFixed: buffer too small");
  std::string text(buffer, ptr);

  // A negative value that rounds to zero (and −0 itself) is shown as zero.
  if (text.front() == '-' && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
  return text;
}

std::string FormatPlainNumber(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-Infinity" : "Infinity";
  if (value == 0.0) return "0";

  // Scientific with 14 decimals is the value correctly rounded to 15
  // significant digits: "d.dddddddddddddde±XX[X]".
  char buffer[32];
  const auto [ptr, ec] = decimal::WriteScientific(buffer, buffer + sizeof buffer, std::fabs(value), 14);
  if (ec != std::errc()) throw std::length_error("FormatPlainNumber: buffer too small");
  const std::string_view scientific(buffer, static_cast<std::size_t>(ptr - buffer));
  const std::size_t e = scientific.find('e');

  std::string digits;  // the 15 significant digits, trailing zeros dropped
  digits += scientific[0];
  digits.append(scientific.substr(2, e - 2));
  digits.erase(digits.find_last_not_of('0') + 1);

  int exponent = 0;  // of the leading digit, after rounding
  const char* expBegin = scientific.data() + e + 1;
  if (*expBegin == '+') ++expBegin;
  std::from_chars(expBegin, scientific.data() + scientific.size(), exponent);

  std::string out = value < 0 ? "-" : "";
  if (exponent < -4 || exponent >= 15) {
    out += digits[0];
    if (digits.size() > 1) {
      out += '.';
      out.append(digits, 1);
    }
    AppendExponent(out, exponent);
  } else if (exponent < 0) {
    out += '.';
    out.append(static_cast<std::size_t>(-exponent - 1), '0');
    out += digits;
  } else {
    const std::size_t integerLength = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() <= integerLength) {
      out += digits;
      out.append(integerLength - digits.size(), '0');
    } else {
      out.append(digits, 0, integerLength);
      out += '.';
      out.append(digits, integerLength);
    }
  }
  return out;
}

}  // namespace quorix
