// The isolation room's previous way to the properties at D (Newton's method
// on the Lerch sums at every step), for the benchmark's before-and-after.
#pragma once

#include <memory>

#include "case.h"
#include "isolation.h"

namespace quorix::isolation_before {

class PreviousLoop {
 public:
  explicit PreviousLoop(const Case& c);
  ~PreviousLoop();
  PreviousLoop(PreviousLoop&&) noexcept;
  isolation::Properties At(double D) const;

 private:
  struct Parts;
  std::unique_ptr<const Parts> parts_;
};

}  // namespace quorix::isolation_before
