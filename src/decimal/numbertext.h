// Locale-independent number text: the conversions between field texts and
// doubles that every number read from a field, shown in a field or written
// to a file goes through.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include "refusal.h"

namespace quorix {

// The number at the start of the text. Spaces, tabs and line feeds anywhere
// are ignored; then an optional sign, digits with at most one ".", and an
// optional exponent ("E" or "e", optional sign, digits). Reading stops at
// the first character that cannot continue the number; text without a
// leading number gives 0. Throws Refusal for a number too large for
// a double; one too small for a double reads as zero.
double ParseNumber(std::string_view text);

// Whether the text is one whole number of that grammar with nothing but
// blanks before or after it: what the command line accepts where the
// window would read a leading number ('2,5', '1e', 'abc' are not, nor
// '2 5', which the field reads as 25).
bool IsCompleteNumber(std::string_view text);

// Fixed-point text with exactly `decimals` digits after ".", correctly
// rounded from the exact binary value, at least one digit before the point,
// no grouping. A negative value that rounds to zero has no minus sign.
// Non-finite values give "Infinity", "-Infinity" and "NaN".
std::string FormatFixed(double value, int decimals);

// Shortest plain text of the value rounded to 15 significant digits: no
// zero before the point ('.1', '-.5'), no trailing zeros, no point after a
// whole number, '0' for zero. Magnitudes below 1e-4 and from 1e15 on use an
// exponent form such as '1E-05' or '1.5E+15'.
std::string FormatPlainNumber(double value);

}  // namespace quorix
