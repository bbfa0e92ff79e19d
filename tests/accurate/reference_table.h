// The mpmath reference tables (tab-separated, '#' comments) and errors against them.
#pragma once

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <fstream>
#include <limits>
#include <locale>
#include <sstream>
#include <string>
#include <vector>

namespace quorix::testing {

// A data line: its number, its fields, and the fields as numbers (NaN for a word) in long
// double, so that a 30-digit reference keeps the bits a fraction of an ulp shows in.
struct Row {
  int line;
  std::vector<std::string> fields;
  std::vector<long double> numbers;
};

// A field as a long double, NaN for a word. A stream in the classic locale
// hands the digits to the C library's strtold, correctly rounded; the
// program's own number texts (src/decimal) are for doubles only.
inline long double LongDouble(const std::string& field) {
  std::istringstream in(field);
  in.imbue(std::locale::classic());
  long double value = 0.0L;
  return in >> value ? value : std::numeric_limits<long double>::quiet_NaN();
}

// A field as the nearest double, by a reader other than the program's own: std::from_chars, or where the C++
// library lacks it the classic locale's stream (the C library's correctly rounded strtod underneath). Not
// through long double, whose double rounding can miss the nearest double.
inline double DoubleOf(const std::string& field) {
  double value = std::numeric_limits<double>::quiet_NaN();
#if defined(__cpp_lib_to_chars)
  std::from_chars(field.data(), field.data() + field.size(), value);
#else
  std::istringstream text(field);
  text.imbue(std::locale::classic());
  text >> value;
#endif
  return value;
}

inline std::vector<Row> ReadTable(const std::string& name) {
  std::ifstream in(std::string(QUORIX_TEST_DATA_DIR) + "/" + name);
  EXPECT_TRUE(in.is_open()) << name << " not found";
  std::vector<Row> rows;
  std::string text;
  for (int line = 1; std::getline(in, text); ++line) {
    if (text.empty() || text[0] == '#') continue;
    Row row{line, {}, {}};
    std::istringstream fields(text);
    for (std::string field; std::getline(fields, field, '\t');) {
      row.numbers.push_back(LongDouble(field));
      row.fields.push_back(field);
    }
    rows.push_back(std::move(row));
  }
  EXPECT_FALSE(rows.empty()) << name << " has no rows";
  return rows;
}

// |computed − reference| in ulps of the reference (for 0, the smallest subnormal).
inline double UlpError(double computed, long double reference) {
  const double magnitude = std::fabs(static_cast<double>(reference));
  const double ulp = std::isfinite(magnitude) ? std::nextafter(magnitude, INFINITY) - magnitude : INFINITY;
  return static_cast<double>(std::fabs(static_cast<long double>(computed) - reference) / ulp);
}

// |computed − reference| / |reference|, absolute for a reference of 0.
inline double RelativeError(double computed, long double reference) {
  const long double error = std::fabs(static_cast<long double>(computed) - reference);
  return static_cast<double>(reference == 0.0L ? error : error / std::fabs(reference));
}

// The largest errors over a table and where they occur.
struct WorstError {
  explicit WorstError(std::string what) : name(std::move(what)) {}
  std::string name;
  int count = 0;
  double ulps = 0.0, relative = 0.0;
  std::string ulpsAt, relativeAt;
  void Add(double computed, long double reference, const std::string& where) {
    ++count;
    const double u = UlpError(computed, reference), r = RelativeError(computed, reference);
    if (!(u <= ulps)) ulps = u, ulpsAt = where;
    if (!(r <= relative)) relative = r, relativeAt = where;
  }
  std::string Report() const {
    std::ostringstream out;
    out.precision(3);
    out << name << ": " << count << " values, worst " << ulps << " ulp (" << ulpsAt << "), worst " << relative
        << " relative (" << relativeAt << ")";
    return out.str();
  }
};

}  // namespace quorix::testing
