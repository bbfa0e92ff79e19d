// Refusing a number: the message names the input and gives its value as
// the shortest text that reads back to the same double, so that what the
// user sees is exactly what was refused ("n must be positive: -1",
// "Fy is not a finite number: inf").
#pragma once

#include <string_view>

#include "refusal.h"

namespace quorix {

// Throws Refusal(what + ": " + the shortest text of value).
[[noreturn]] void Refuse(std::string_view what, double value);

// Throws Refusal("<name> is not a finite number: <value>") unless value is
// finite.
void RequireFinite(std::string_view name, double value);

}  // namespace quorix
