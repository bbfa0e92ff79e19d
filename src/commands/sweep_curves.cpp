#include "sweep_curves.h"

#include <algorithm>

#include "views.h"

namespace quorix {

SweepCurves::SweepCurves(std::size_t maxRows) : maxRows_(std::max<std::size_t>(maxRows, 3)) {}

void SweepCurves::Clear() {
  kept_.clear();
  seen_ = 0;
  stride_ = 1;
  first_ = BoucWenCase{};
}

void SweepCurves::Add(const BoucWenCase& row) {
  if (seen_ == 0) first_ = row;
  const DerivedQuantities derived = DeriveQuantities(row);
  Add(SweepCurvePoint{row.UmaxOverUy, row.DE, derived.XiEq, row.Za});
}

void SweepCurves::Add(const SweepCurvePoint& point) {
  const std::uint64_t index = seen_++;
  last_ = point;
  if (index % stride_ != 0) return;
  // Until the first thinning every row is kept, the last one among them, so
  // a sweep of exactly maxRows rows is drawn whole. Afterwards one place is
  // left for the last row, which then lies between two kept ones.
  const std::size_t room = stride_ == 1 ? maxRows_ : maxRows_ - 1;
  if (kept_.size() == room) {
    // Full: keep every second row and double the spacing. The rows kept stay
    // evenly spaced from the first, and the memory stays bounded however
    // long the sweep runs.
    std::size_t out = 0;
    for (std::size_t j = 0; j < kept_.size(); j += 2) kept_[out++] = kept_[j];
    kept_.resize(out);
    stride_ *= 2;
    if (index % stride_ != 0) return;
  }
  kept_.push_back(point);
}

std::vector<SweepCurvePoint> SweepCurves::Rows() const {
  std::vector<SweepCurvePoint> rows = kept_;
  // The last row is in kept_ already when its index falls on the stride.
  if (seen_ > 0 && (seen_ - 1) % stride_ != 0) rows.push_back(last_);
  return rows;
}

}  // namespace quorix
