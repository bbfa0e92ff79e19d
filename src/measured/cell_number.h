// The number in a cell of a record (record.h): the whole cell read as one
// number, the C locale's way, whatever the process's locale.
#pragma once

#include <string_view>

namespace quorix::measured::detail {

enum class NumberStatus { ok, notNumber, notFinite, outOfRange };

// A cell of a record: a number as the C locale writes it (an optional sign,
// digits with an optional ".", an optional exponent), unlike a field's
// text (numbertext.h), which ignores blanks and stops at the first character
// that cannot continue the number. ReadDouble never looks at the locale.
// A number below the smallest subnormal is ±0, as strtod reads it; one above
// the largest double is out of range.
NumberStatus ReadCellNumber(std::string_view text, double& value);

}  // namespace quorix::measured::detail
