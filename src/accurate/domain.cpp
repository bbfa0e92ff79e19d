#include "domain.h"

#include <cmath>

#include "accurate.h"
#include "decimal.h"

namespace quorix::accurate::detail {

void Refuse(std::string_view what, double value) { RefuseAs<DomainError>(what, value); }

void RequireFinite(std::string_view name, double value) { RequireFiniteAs<DomainError>(name, value); }

}  // namespace quorix::accurate::detail
