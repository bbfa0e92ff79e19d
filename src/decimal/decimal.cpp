#include "decimal.h"

#include <fast_float/fast_float.h>
#include <fmt/compile.h>
#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
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

#ifdef __SIZEOF_INT128__
// The fixed text of a finite double below 2^53 in magnitude with at most 19
// decimals, exactly and without {fmt}, for the nine-decimal texts of a
// results table. The magnitude is m·2^e with an integer m < 2^53 and e ≤ 0,
// so its scaled value m·10^d/2^−e has a numerator below 2^53·10^19 < 2^117:
// the quotient and the remainder in 128 bits decide the rounding exactly,
// ties to the even digit as to_chars rounds. Returns false when the value
// is outside that range (the general path writes it).
bool WriteFixedSmall(char*& out, double value, int decimals) {
  const double magnitude = std::fabs(value);
  if (!(magnitude < 0x1p53) || decimals > 19) return false;
  __extension__ typedef unsigned __int128 U128;  // GCC and Clang on every 64-bit target, and WebAssembly
  int exponent = 0;
  const double fraction = std::frexp(magnitude, &exponent);  // in [0.5, 1), or 0
  const auto m = static_cast<std::uint64_t>(std::ldexp(fraction, 53));
  const int shift = 53 - exponent;  // the value is m / 2^shift, shift ≥ 0
  std::uint64_t scale = 1;
  for (int i = 0; i < decimals; ++i) scale *= 10;
  const U128 scaled = static_cast<U128>(m) * scale;
  U128 q = 0;
  if (shift == 0) {
    q = scaled;
  } else if (shift < 128) {
    q = scaled >> shift;
    const U128 rest = scaled - (q << shift);
    const U128 half = static_cast<U128>(1) << (shift - 1);
    if (rest > half || (rest == half && (q & 1) != 0)) ++q;
  }  // else the value is below 2^−75 and a half unit of 10^−19 is far above it
  const auto whole = static_cast<std::uint64_t>(q / scale);
  std::uint64_t part = static_cast<std::uint64_t>(q - static_cast<U128>(whole) * scale);
  if (std::signbit(value)) *out++ = '-';
  char digits[20];
  int count = 0;
  std::uint64_t w = whole;
  do {
    digits[count++] = static_cast<char>('0' + w % 10);
    w /= 10;
  } while (w != 0);
  while (count > 0) *out++ = digits[--count];
  if (decimals > 0) {
    *out++ = '.';
    for (int i = decimals - 1; i >= 0; --i) {
      out[i] = static_cast<char>('0' + part % 10);
      part /= 10;
    }
    out += decimals;
  }
  return true;
}
#endif

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
#ifdef __SIZEOF_INT128__
  char small[64];
  if (char* end = small; WriteFixedSmall(end, value, decimals)) {
    return Place(first, last, std::string_view(small, static_cast<std::size_t>(end - small)));
  }
#endif
  // The format is compiled in, and the digits go to a buffer on the stack:
  // parsing "{:.{}f}" anew and a string per call were most of the time of a
  // results table's 900 texts. The buffer grows on the heap only for a text
  // longer than its 500 bytes.
  fmt::memory_buffer text;
  fmt::format_to(std::back_inserter(text), FMT_COMPILE("{:.{}f}"), value, decimals);
  const std::string_view digits(text.data(), text.size());
  const std::size_t point = digits.find('.');
  const std::size_t have = point == std::string_view::npos ? 0 : digits.size() - point - 1;
  if (have == static_cast<std::size_t>(decimals)) return Place(first, last, digits);
  return Place(first, last, PadDecimals(std::string(digits), digits.size(), decimals));
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
