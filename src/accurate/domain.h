// Messages of refusals: the input's name and its value as the shortest
// text that reads back to the same double. The accurate arithmetic throws
// DomainError; the rooms built on it (materials, responses) throw their own
// error types with the same form of message.
#pragma once

#include <cmath>
#include <string>
#include <string_view>

#include "decimal.h"

namespace quorix::accurate::detail {

// Throws Error(what + ": " + the shortest text of value).
template <class Error>
[[noreturn]] void RefuseAs(std::string_view what, double value) {
  throw Error(std::string(what) + ": " + decimal::ShortestText(value));
}

// Throws Error("<name> is not a finite number: <value>") unless value is finite.
template <class Error>
void RequireFiniteAs(std::string_view name, double value) {
  if (!std::isfinite(value)) RefuseAs<Error>(std::string(name) + " is not a finite number", value);
}

// The same, throwing DomainError.
[[noreturn]] void Refuse(std::string_view what, double value);
void RequireFinite(std::string_view name, double value);

}  // namespace quorix::accurate::detail
