// Messages of DomainError: the input's name and its value as the shortest
// text that reads back to the same double.
#pragma once

#include <string>
#include <string_view>

namespace quorix::accurate::detail {

std::string NumberText(double x);

// Throws DomainError(what + ": " + NumberText(value)).
[[noreturn]] void Refuse(std::string_view what, double value);

// Throws DomainError("<name> is not a finite number: <value>") unless value is finite.
void RequireFinite(std::string_view name, double value);

}  // namespace quorix::accurate::detail
