// Digamma, log-gamma, gamma and F(1, b; 1 + b; t) of the accurate path
// against the mpmath tables of data/, region by region. Each test prints the
// worst error of its table in ulps and in relative units.
#include <gtest/gtest.h>

#include <cmath>
#include <iostream>
#include <limits>
#include <map>
#include <string>

#include "accurate.h"
#include "reference_table.h"

namespace quorix::accurate {
namespace {

using testing::ReadTable;
using testing::Row;
using testing::WorstError;

std::string At(const Row& row, std::size_t arguments) {
  std::string text = "line " + std::to_string(row.line) + ":";
  for (std::size_t i = 0; i < arguments; ++i) text += " " + row.fields[i];
  return text;
}

struct GammaCase {
  const char* table;
  double (*function)(double);
  double positiveUlps;  // bound for x > 0
  double negativeUlps;  // bound for x < 0
};

void PrintTo(const GammaCase& c, std::ostream* out) { *out << c.table; }

class GammaFamily : public ::testing::TestWithParam<GammaCase> {};

TEST_P(GammaFamily, MatchesReferenceTable) {
  const GammaCase& c = GetParam();
  WorstError positive(std::string(c.table) + ", x > 0");
  WorstError negative(std::string(c.table) + ", x < 0");
  for (const Row& row : ReadTable(c.table)) {
    const double x = static_cast<double>(row.numbers[0]);
    const double value = c.function(x);
    (x > 0 ? positive : negative).Add(value, row.numbers[1], At(row, 1));
    EXPECT_LE(testing::UlpError(value, row.numbers[1]), x > 0 ? c.positiveUlps : c.negativeUlps) << At(row, 1);
  }
  std::cout << "[accuracy] " << positive.Report() << "\n[accuracy] " << negative.Report() << "\n";
}

// Digamma is ours for x > 0 (a few ulps also next to its zero at 1.4616);
// for x < 0 it is the reflection formula, accurate relative to its terms,
// and the table keeps away from the zeros there. Log-gamma and gamma are
// the C library's, measured here.
INSTANTIATE_TEST_SUITE_P(Accurate, GammaFamily,
                         ::testing::Values(GammaCase{"digamma.tsv", Digamma, 3.0, 8.0},
                                           GammaCase{"loggamma.tsv", LogGamma, 4.0, 4.0},
                                           GammaCase{"gamma.tsv", Gamma, 4.0, 4.0}),
                         [](const auto& info) {
                           const std::string table = info.param.table;
                           return table.substr(0, table.find('.'));
                         });

TEST(GammaFamily, RefusesPolesAndNonFiniteArguments) {
  for (auto* function : {Digamma, LogGamma, Gamma}) {
    const double inf = std::numeric_limits<double>::infinity();
    for (double x : {0.0, -0.0, -1.0, -7.0, std::nan(""), inf, -inf}) {
      EXPECT_THROW(function(x), DomainError) << x;
    }
  }
  try {
    Digamma(-3.0);
    FAIL();
  } catch (const DomainError& e) {
    EXPECT_STREQ(e.what(), "digamma has a pole at x = -3");
  }
}

TEST(Hyp2F1, MatchesReferenceTableInEveryRegion) {
  std::map<std::string, WorstError> worst;
  for (const Row& row : ReadTable("hyp2f1.tsv")) {
    const std::string& region = row.fields[0];
    const double b = static_cast<double>(row.numbers[1]);
    const double t = static_cast<double>(row.numbers[2]);
    const double value = Hyp2F1(1.0, b, 1.0 + b, t);
    worst.try_emplace(region, "hyp2f1 " + region).first->second.Add(value, row.numbers[3], At(row, 3));
    EXPECT_LE(testing::UlpError(value, row.numbers[3]), 3.0) << At(row, 3);
    // The same function with a and b swapped.
    EXPECT_EQ(Hyp2F1(b, 1.0, 1.0 + b, t), value) << At(row, 3);
  }
  for (const auto& [region, error] : worst) std::cout << "[accuracy] " << error.Report() << "\n";
}

TEST(Hyp2F1, RefusesEverythingOutsideTheFamily) {
  EXPECT_THROW(Hyp2F1(2.0, 0.5, 1.5, 0.3), DomainError);   // a ≠ 1 and b ≠ 1
  EXPECT_THROW(Hyp2F1(1.0, 0.5, 2.5, 0.3), DomainError);   // c ≠ 1 + b
  EXPECT_THROW(Hyp2F1(1.0, -0.5, 0.5, 0.3), DomainError);  // b ≤ 0
  EXPECT_THROW(Hyp2F1(1.0, 0.0, 1.0, 0.3), DomainError);
  EXPECT_THROW(Hyp2F1(1.0, 0.5, 1.5, 1.0), DomainError);  // t ≥ 1
  EXPECT_THROW(Hyp2F1(1.0, 0.5, 1.5, 2.0), DomainError);
  EXPECT_THROW(Hyp2F1(1.0, 0.5, 1.5, NAN), DomainError);
  EXPECT_THROW(Hyp2F1(1.0, 0.5, 1.5, -INFINITY), DomainError);
  try {
    Hyp2F1(1.0, 0.5, 2.5, 0.3);
    FAIL();
  } catch (const DomainError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("hyp2f1 --accurate covers F(1, b; 1 + b; t) only", 0), 0u) << e.what();
  }
}

}  // namespace
}  // namespace quorix::accurate
