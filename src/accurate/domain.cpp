#include "domain.h"

#include <charconv>
#include <cmath>

#include "accurate.h"

namespace quorix::accurate::detail {

std::string NumberText(double x) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, x);
  return std::string(buffer, result.ptr);
}

void Refuse(std::string_view what, double value) { RefuseAs<DomainError>(what, value); }

void RequireFinite(std::string_view name, double value) { RequireFiniteAs<DomainError>(name, value); }

}  // namespace quorix::accurate::detail
