#include "decimal.h"

#include <fast_float/fast_float.h>
#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>

namespace quorix::decimal {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Whether the mantissa of a number text (up to its exponent) has a digit
// other than zero: then a result of zero means the value underflowed.
bool NonzeroMantissa(const char* first, const char* last) {
  for (; first != last && *first != 'e' && *first != 'E'; ++first) {
    if (*first >= '1' && *first <= '9') return true;
  }
  return false;
}

// Copies a finished text into [first, last), or reports that it does not fit.
std::to_chars_result Place(char* first, char* last, std::string_view text) {
  if (text.size() > static_cast<std::size_t>(last - first)) return {last, std::errc::value_too_large};
  std::memcpy(first, text.data(), text.size());
  return {first + text.size(), std::errc()};
}

// The texts of the values no digits describe, as to_chars writes them.
std::string_view NonFiniteText(double value) {
  if (std::isnan(value)) return std::signbit(value) ? "-nan" : "nan";
  return value < 0 ? "-inf" : "inf";
}

// The shortest round-trip digits of a finite, positive value and the
// decimal exponent of the first: 1234.5 is {"12345", 3}, 1e-7 {"1", -7}.
struct ShortestDigits {
  char digits[20];  // at most 17
  int count = 0;
  int exponent = 0;
};

// {fmt}'s "{}" gives the shortest digits (Dragonbox) in a layout of its
// own, "1234.5", "0.0001", "100000" or "1.5e+16". What to_chars prints
// differs in when it switches to the exponent form, so only the digits and
// their exponent are taken from it.
ShortestDigits Shortest(double positive) {
  char text[40];
  const auto written = fmt::format_to_n(text, sizeof text, "{}", positive);
  const char* const end = text + std::min(written.size, sizeof text);
  ShortestDigits out;
  int point = -1;                 // digits before the point, -1 until one is seen
  int seen = 0;                   // digits read, leading zeros included
  int leadingZeros = 0;
  int lastNonzero = 0;            // count of significant digits up to the last nonzero one
  const char* p = text;
  for (; p != end && (IsDigit(*p) || *p == '.'); ++p) {
    if (*p == '.') {
      point = seen;
      continue;
    }
    ++seen;
    if (out.count == 0 && *p == '0') {
      ++leadingZeros;
      continue;
    }
    if (out.count == static_cast<int>(sizeof out.digits)) continue;  // {fmt} writes at most 17
    out.digits[out.count++] = *p;
    if (*p != '0') lastNonzero = out.count;
  }
  out.count = lastNonzero;  // "100000" has one significant digit
  if (point < 0) point = seen;
  int exponent = 0;  // after "e±"
  if (p != end && *p == 'e') {
    const bool negative = p + 1 != end && p[1] == '-';
    for (p += 2; p < end && IsDigit(*p); ++p) exponent = exponent * 10 + (*p - '0');
    if (negative) exponent = -exponent;
  }
  out.exponent = exponent + point - 1 - leadingZeros;
  return out;
}

// Appends "e", the sign and at least two digits of the exponent.
char* WriteExponent(char* out, int exponent) {
  *out++ = 'e';
  *out++ = exponent < 0 ? '-' : '+';
  const int magnitude = std::abs(exponent);
  if (magnitude >= 100) *out++ = static_cast<char>('0' + magnitude / 100);
  *out++ = static_cast<char>('0' + magnitude / 10 % 10);
  *out++ = static_cast<char>('0' + magnitude % 10);
  return out;
}

// {fmt} 9 produces at most 767 significant digits for a given precision and
// leaves out the rest, where to_chars writes them out as zeros. 767 digits
// are as many as the exact expansion of any double has, so all that is
// missing are trailing zeros: this restores them after the digits that end
// at `digitsEnd`, up to `wanted` digits after the point.
std::string PadDecimals(std::string text, std::size_t digitsEnd, int wanted) {
  const std::size_t point = text.find('.');
  const std::size_t have = point == std::string::npos || point > digitsEnd ? 0 : digitsEnd - point - 1;
  const std::size_t want = static_cast<std::size_t>(wanted);
  if (have < want) {
    if (point == std::string::npos || point > digitsEnd) text.insert(digitsEnd++, 1, '.');
    text.insert(digitsEnd, want - have, '0');
  }
  return text;
}

// Either text is longer than its count of decimals: one that cannot fit is
// refused before its digits are made (a count near INT_MAX would make {fmt}
// throw, or fill the memory).
bool TooManyDecimals(char* first, char* last, int decimals) { return decimals > last - first; }

}  // namespace

std::from_chars_result ReadDouble(std::string_view text, double& value) {
  const char* const first = text.data();
  const char* const last = first + text.size();
  double parsed = 0.0;
  const auto [ptr, ec] = fast_float::from_chars(first, last, parsed, fast_float::chars_format::general);
  if (ec != std::errc()) return {ptr, ec};
  // fast_float gives ±inf and ±0 for magnitudes beyond the doubles, with no
  // error; from_chars reports them and keeps the value it was given. Words
  // ("inf", "nan") begin with a letter after the sign, numbers never do.
  const char* const body = first + (*first == '-');
  const bool number = IsDigit(*body) || *body == '.';
  if (number && (std::isinf(parsed) || (parsed == 0.0 && NonzeroMantissa(body, ptr)))) {
    return {ptr, std::errc::result_out_of_range};
  }
  value = parsed;
  return {ptr, std::errc()};
}

std::to_chars_result WriteShortest(char* first, char* last, double value) {
  if (!std::isfinite(value)) return Place(first, last, NonFiniteText(value));
  char text[kShortestMax + 8];
  char* out = text;
  if (std::signbit(value)) *out++ = '-';
  const double magnitude = std::fabs(value);
  if (magnitude == 0.0) {
    *out++ = '0';
    return Place(first, last, std::string_view(text, static_cast<std::size_t>(out - text)));
  }

  const ShortestDigits d = Shortest(magnitude);
  const int n = d.count, e = d.exponent;
  // to_chars takes the fixed form unless the exponent form is shorter: its
  // length is the digits, a point after the first of several, and "e±XX"
  // or "e±XXX".
  const int scientificLength = n + (n > 1) + 2 + (std::abs(e) >= 100 ? 3 : 2);
  const int fixedLength = e >= n - 1 ? e + 1 : e >= 0 ? n + 1 : n + 1 - e;
  if (fixedLength <= scientificLength) {
    if (e >= n - 1) {
      // A whole number: to_chars writes its exact digits, not the shortest
      // ones padded with zeros (2^70 is 1180591620717411303424, not
      // 1180591620717411300000). Below 2^53 the two are the same.
      out = fmt::format_to(out, "{:.0f}", magnitude);
    } else if (e >= 0) {
      out = std::copy(d.digits, d.digits + e + 1, out);
      *out++ = '.';
      out = std::copy(d.digits + e + 1, d.digits + n, out);
    } else {
      *out++ = '0';
      *out++ = '.';
      out = std::fill_n(out, -e - 1, '0');
      out = std::copy(d.digits, d.digits + n, out);
    }
  } else {
    *out++ = d.digits[0];
    if (n > 1) {
      *out++ = '.';
      out = std::copy(d.digits + 1, d.digits + n, out);
    }
    out = WriteExponent(out, e);
  }
  return Place(first, last, std::string_view(text, static_cast<std::size_t>(out - text)));
}

std::string ShortestText(double value) {
  char text[kShortestMax];
  return std::string(text, WriteShortest(text, text + sizeof text, value).ptr);
}

std::to_chars_result WriteFixed(char* first, char* last, double value, int decimals) {
  if (!std::isfinite(value)) return Place(first, last, NonFiniteText(value));
  if (decimals < 0) decimals = 6;
  if (TooManyDecimals(first, last, decimals)) return {last, std::errc::value_too_large};
  std::string text = fmt::format("{:.{}f}", value, decimals);
  const std::size_t end = text.size();
  return Place(first, last, PadDecimals(std::move(text), end, decimals));
}

std::to_chars_result WriteScientific(char* first, char* last, double value, int decimals) {
  if (!std::isfinite(value)) return Place(first, last, NonFiniteText(value));
  if (decimals < 0) decimals = 6;
  if (TooManyDecimals(first, last, decimals)) return {last, std::errc::value_too_large};
  std::string text = fmt::format("{:.{}e}", value, decimals);
  const std::size_t e = text.find('e');
  return Place(first, last, PadDecimals(std::move(text), e, decimals));
}

}  // namespace quorix::decimal
