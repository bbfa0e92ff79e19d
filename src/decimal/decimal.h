// Decimal texts of doubles, the same characters on every target. Reading
// is fast_float's correctly rounded parse; writing takes {fmt}'s shortest
// round-trip digits (Dragonbox) and its exactly rounded digits for a given
// precision, laid out character for character as std::to_chars lays them
// out. The results mirror std::from_chars and std::to_chars, whose
// floating-point overloads not every C++ library provides, so stored files,
// the JSON and every shown number read the same wherever Quorix runs. No
// locale is ever consulted.
#pragma once

#include <charconv>  // the result types only; the integer conversions are everywhere
#include <cstddef>
#include <string>
#include <string_view>

namespace quorix::decimal {

// The longest text WriteShortest writes: "-2.2250738585072014e-308".
inline constexpr std::size_t kShortestMax = 24;

// The number at the start of text, as std::from_chars(first, last, value)
// reads it with chars_format::general: an optional '-' (never '+'), digits
// with at most one '.', and at least one digit, then an optional exponent
// ('e' or 'E', an optional sign, digits; an "e" without digits is not
// read); or "inf", "infinity", "nan", "nan(chars)" in any case. Hexadecimal
// is not read ("0x1p3" reads as 0, stopping at the 'x').
// The result's ptr points past what was read, and ec is
//   std::errc()                      value holds the correctly rounded double;
//   std::errc::invalid_argument      no number: ptr is text.data(), value untouched;
//   std::errc::result_out_of_range   a number whose magnitude rounds to infinity or,
//                                    not being zero, to zero: value untouched.
// Results that round to a subnormal are read as such.
std::from_chars_result ReadDouble(std::string_view text, double& value);

// The shortest text that reads back as exactly `value`, as
// std::to_chars(first, last, value) writes it: the fixed form ("123.45",
// "0.001") when it is not longer than the exponent form ("1e+05",
// "1.5e-07", "1e+300"; at least two exponent digits), with the exact
// digits of an integer beyond 2^53 ("1180591620717411303424"); "-0",
// "inf", "-inf", "nan", "-nan". When the text does not fit in
// [first, last): {last, std::errc::value_too_large}.
std::to_chars_result WriteShortest(char* first, char* last, double value);

// WriteShortest into a string.
std::string ShortestText(double value);

// `value` correctly rounded (ties to even on the exact binary value) to
// `decimals` digits after the point, as std::to_chars(first, last, value,
// std::chars_format::fixed, decimals) writes it: every integer digit (309
// of them for 1e308), a point only when decimals > 0, "-" for any negative
// value including one that rounds to zero and −0. A negative count means
// 6, as in printf. Non-finite values and a text that does not fit as
// WriteShortest.
std::to_chars_result WriteFixed(char* first, char* last, double value, int decimals);

// `value` correctly rounded to 1 + decimals significant digits, as
// std::to_chars(first, last, value, std::chars_format::scientific,
// decimals) writes it: "d.ddde+XX", at least two exponent digits, "e+00"
// for zero. A negative count means 6; non-finite values and a text that
// does not fit as WriteShortest.
std::to_chars_result WriteScientific(char* first, char* last, double value, int decimals);

}  // namespace quorix::decimal
