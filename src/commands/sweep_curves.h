// The numbers the Plots window draws for a sweep: per row Umax/Uy, DE,
// XiEq and Za. A sweep may have up to 2^31 rows, far more than a chart can
// show or memory should hold for a picture, so beyond a bound the rows are
// thinned evenly as they arrive. No Qt here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "bouc_wen_case.h"

namespace quorix {

struct SweepCurvePoint {
  double UmaxOverUy = 0.0;
  double DE = 0.0;
  double XiEq = 0.0;
  double Za = 0.0;
};

class SweepCurves {
 public:
  static constexpr std::size_t kMaxRows = 100000;

  // `maxRows` (at least 3) bounds the rows kept, the last row included.
  explicit SweepCurves(std::size_t maxRows = kMaxRows);

  // Forgets every row: a new sweep begins.
  void Clear();

  // The next row of the sweep, as the solver left it.
  void Add(const BoucWenCase& row);
  void Add(const SweepCurvePoint& point);

  // The rows kept, in sweep order: every Stride()-th row from the first,
  // and the last row seen. At most maxRows.
  std::vector<SweepCurvePoint> Rows() const;

  // How many rows were seen since the last Clear(), and the spacing of the
  // rows kept (1 while nothing has been thinned).
  std::uint64_t RowsSeen() const { return seen_; }
  std::uint64_t Stride() const { return stride_; }

  // The record of the first row (the case's parameters, for a caption);
  // meaningful only when RowsSeen() > 0.
  const BoucWenCase& FirstRecord() const { return first_; }

 private:
  std::size_t maxRows_;
  // kept_[j] is row j·stride_. The last row seen is also kept apart, so that
  // the curve always reaches the end of the sweep.
  std::vector<SweepCurvePoint> kept_;
  SweepCurvePoint last_;
  std::uint64_t seen_ = 0;
  std::uint64_t stride_ = 1;
  BoucWenCase first_;
};

}  // namespace quorix
