#include "reference_table.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>

namespace quorix::accurate::testing {

std::vector<Row> ReadTable(const std::string& name) {
  std::ifstream in(std::string(QUORIX_TEST_DATA_DIR) + "/" + name);
  EXPECT_TRUE(in.is_open()) << name << " not found";
  std::vector<Row> rows;
  std::string text;
  for (int line = 1; std::getline(in, text); ++line) {
    if (text.empty() || text[0] == '#') continue;
    Row row;
    row.line = line;
    std::istringstream fields(text);
    for (std::string field; std::getline(fields, field, '\t');) {
      long double value = std::numeric_limits<long double>::quiet_NaN();
      std::from_chars(field.data(), field.data() + field.size(), value);  // NaN for a word
      row.fields.push_back(field);
      row.numbers.push_back(value);
    }
    rows.push_back(std::move(row));
  }
  EXPECT_FALSE(rows.empty()) << name << " has no rows";
  return rows;
}

double UlpError(double computed, long double reference) {
  const double nearest = static_cast<double>(reference);
  const double magnitude = std::fabs(nearest);
  const double ulp = std::isfinite(magnitude) ? std::nextafter(magnitude, INFINITY) - magnitude
                                              : std::numeric_limits<double>::infinity();
  const long double error = std::fabs(static_cast<long double>(computed) - reference);
  return static_cast<double>(error / ulp);
}

double RelativeError(double computed, long double reference) {
  const long double error = std::fabs(static_cast<long double>(computed) - reference);
  return static_cast<double>(reference == 0.0L ? error : error / std::fabs(reference));
}

void WorstError::Add(double computed, long double reference, const std::string& where) {
  ++count_;
  const double ulps = UlpError(computed, reference);
  const double relative = RelativeError(computed, reference);
  if (!(ulps <= ulps_)) {
    ulps_ = ulps;
    ulpsAt_ = where;
  }
  if (!(relative <= relative_)) {
    relative_ = relative;
    relativeAt_ = where;
  }
}

std::string WorstError::Report() const {
  std::ostringstream out;
  out.precision(3);
  out << name_ << ": " << count_ << " values, worst " << ulps_ << " ulp";
  if (!ulpsAt_.empty()) out << " (" << ulpsAt_ << ")";
  out << ", worst " << relative_ << " relative";
  if (!relativeAt_.empty()) out << " (" << relativeAt_ << ")";
  return out.str();
}

}  // namespace quorix::accurate::testing
