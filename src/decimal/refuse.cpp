#include "refuse.h"

#include <cmath>
#include <string>

#include "decimal.h"

namespace quorix {

void Refuse(std::string_view what, double value) {
  throw Refusal(std::string(what) + ": " + decimal::ShortestText(value));
}

void RequireFinite(std::string_view name, double value) {
  if (!std::isfinite(value)) Refuse(std::string(name) + " is not a finite number", value);
}

}  // namespace quorix
