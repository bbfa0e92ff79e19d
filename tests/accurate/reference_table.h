// Reading the mpmath reference tables of data/ and measuring errors against
// them in relative units and in units in the last place.
#pragma once

#include <string>
#include <vector>

namespace quorix::accurate::testing {

// One data line: its number in the file, its text fields and the same fields
// read as numbers (long double, so that a 30-digit reference keeps the bits
// beyond a double that an error of a fraction of an ulp shows in).
struct Row {
  int line = 0;
  std::vector<std::string> fields;
  std::vector<long double> numbers;
};

std::vector<Row> ReadTable(const std::string& name);

// |computed − reference| in units of the spacing of doubles at the
// reference (its ulp; for a reference of 0, the smallest subnormal).
double UlpError(double computed, long double reference);

// |computed − reference| / |reference|, or the absolute error when the
// reference is 0.
double RelativeError(double computed, long double reference);

// The largest error over a table, with the row where it occurs.
class WorstError {
 public:
  explicit WorstError(std::string name) : name_(std::move(name)) {}
  void Add(double computed, long double reference, const std::string& where);
  double Ulps() const { return ulps_; }
  double Relative() const { return relative_; }
  // One line: "<name>: N rows, worst 1.5 ulp at <where>, worst 3.1e-16 relative at <where>".
  std::string Report() const;

 private:
  std::string name_;
  int count_ = 0;
  double ulps_ = 0.0;
  double relative_ = 0.0;
  std::string ulpsAt_;
  std::string relativeAt_;
};

}  // namespace quorix::accurate::testing
