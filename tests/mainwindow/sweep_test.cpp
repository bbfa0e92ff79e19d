#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "commands.h"
#include "numbertext.h"

namespace quorix {
namespace {

// Keeps what the sweep writes.
class RecordingSink : public SweepSink {
 public:
  void Open() override { ++opens; }
  void WriteLine(std::string_view line) override { lines.emplace_back(line); }
  std::vector<std::string> FirstColumn() const {
    std::vector<std::string> column;
    for (std::size_t i = 1; i < lines.size(); ++i) column.push_back(lines[i].substr(0, lines[i].find('\t')));
    return column;
  }

  int opens = 0;
  std::vector<std::string> lines;
};

SweepTexts Range(const char* from, const char* to, const char* step) { return SweepTexts{from, to, step}; }

TEST(Sweep, DefaultTextsGiveTheHeaderAndRowsFromPointOneToTen) {
  RecordingSink sink;
  BoucWenCase bw;
  RunSweep(CaseTexts{}, SweepTexts{}, bw, sink);
  ASSERT_EQ(sink.opens, 1);
  ASSERT_EQ(sink.lines.size(), 101u);  // header + rows for q = 99
  EXPECT_EQ(sink.lines[0], "Umax/Uy\tZa\tFha\tFela\tFa\tKcd\tKda\tDE/ Fy /Uy\tDE /Fh /Uy\tDE");
  // 0.10, 0.20, …, 10.00 from integers; 0.1·2 + 0.1 lies above 0.3 and still shows 0.30.
  const std::vector<std::string> column = sink.FirstColumn();
  for (int k = 1; k <= 100; ++k) {
    EXPECT_EQ(column[k - 1], std::to_string(k / 10) + "." + std::to_string(k % 10) + "0");
  }
  for (const std::string& line : sink.lines) {
    EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 9) << line;
    EXPECT_EQ(line.find_first_of("\r\n,"), std::string::npos) << line;
  }
  // The row at U = 1 holds the Solve command's texts for the same case.
  CaseTexts one;
  BoucWenCase solved;
  SolveCase(one, solved);
  std::string expected = "1.00";
  for (const std::string& text : ResultTexts(solved)) expected += "\t" + text;
  EXPECT_EQ(sink.lines[10], expected);
  EXPECT_EQ(bw.UmaxOverUy, 0.1 * 99 + 0.1) << "the record holds the last row";
}

struct RowCase {
  const char* from;
  const char* to;
  const char* step;
  std::vector<std::string> firstColumn;
};

void PrintTo(const RowCase& c, std::ostream* os) { *os << "from " << c.from << " to " << c.to << " step " << c.step; }

class SweepRowsTest : public ::testing::TestWithParam<RowCase> {};

TEST_P(SweepRowsTest, RowCountIsTheRoundedQuotientPlusOne) {
  const RowCase& c = GetParam();
  RecordingSink sink;
  BoucWenCase bw;
  RunSweep(CaseTexts{}, Range(c.from, c.to, c.step), bw, sink);
  EXPECT_EQ(sink.opens, 1);
  EXPECT_EQ(sink.FirstColumn(), c.firstColumn);
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, SweepRowsTest,
    ::testing::Values(RowCase{"0", "1", "0.4", {"0.00", "0.40", "0.80"}},                  // q = 2.5 → 2 (to even)
                      RowCase{"0", "1", "0.3", {"0.00", "0.30", "0.60", "0.90"}},          // q = 3.33
                      RowCase{"0", "1", "0.35", {"0.00", "0.35", "0.70", "1.05"}},         // q = 2.86: beyond To
                      RowCase{"0", "3.5", "1", {"0.00", "1.00", "2.00", "3.00", "4.00"}},  // q = 3.5 → 4
                      RowCase{"2", "2", "0.5", {"2.00"}},                                  // To = From
                      RowCase{"1", "0.5", "1", {"1.00"}},                     // q = −0.5 → 0: one row at From
                      RowCase{"1", "0.25", "1", {}},                          // q = −0.75 → −1: header only
                      RowCase{"0", "-2.5", "1", {}},                          // q = −2.5 → −2
                      RowCase{"2", "1", "-0.5", {"2.00", "1.50", "1.00"}}));  // downwards

TEST(Sweep, BadStepOrRangeFailsBeforeOpening) {
  for (const SweepTexts& range : {Range("0", "1", "0"), Range("0", "1", ""), Range("1", "1", "0"),
                                  Range("0", "1e10", "1"), Range("-1e308", "1.7e308", "1")}) {
    SCOPED_TRACE(range.From + " " + range.To + " " + range.Step);
    RecordingSink sink;
    BoucWenCase bw;
    EXPECT_THROW(RunSweep(CaseTexts{}, range, bw, sink), SweepError);
    EXPECT_EQ(sink.opens, 0);
    EXPECT_TRUE(sink.lines.empty());
  }
}

TEST(Sweep, FieldBeyondRangeFailsBeforeOpeningButUmaxOverUyIsNotRead) {
  RecordingSink sink;
  BoucWenCase bw;
  CaseTexts texts;
  texts.Uy = "-1e999";
  EXPECT_THROW(RunSweep(texts, SweepTexts{}, bw, sink), NumberOutOfRange);
  EXPECT_THROW(RunSweep(CaseTexts{}, Range("0", "1", "1e999"), bw, sink), NumberOutOfRange);
  EXPECT_EQ(sink.opens, 0);

  texts = CaseTexts{};
  texts.UmaxOverUy = "1e999";
  RunSweep(texts, Range("0", "1", "1"), bw, sink);
  EXPECT_EQ(sink.lines.size(), 3u);
}

TEST(Sweep, AmplitudeOverflowFailsAfterTheRowsBeforeIt) {
  // q = 0.7 → N = 1; row 0 at 1e308, row 1 at 1e308·1 + 1e308 = ∞.
  RecordingSink sink;
  BoucWenCase bw;
  try {
    RunSweep(CaseTexts{}, Range("1e308", "1.7e308", "1e308"), bw, sink);
    FAIL() << "no failure";
  } catch (const SweepError& e) {
    EXPECT_NE(std::string(e.what()).find("row 1"), std::string::npos) << e.what();
  }
  ASSERT_EQ(sink.lines.size(), 2u);
  EXPECT_EQ(sink.lines[1].substr(0, 4), "1000");
}

TEST(SweepStepCount, RoundsHalfToEvenWithinTheIntegerRange) {
  EXPECT_EQ(SweepStepCount(0, 2.5, 1), 2);
  EXPECT_EQ(SweepStepCount(0, 3.5, 1), 4);
  EXPECT_EQ(SweepStepCount(0, -2.5, 1), -2);
  EXPECT_EQ(SweepStepCount(0.1, 10.0, 0.1), 99);
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
  EXPECT_EQ(SweepStepCount(0, 2147483647.4, 1), kMax);
  EXPECT_THROW(SweepStepCount(0, 2147483647.5, 1), SweepError);  // rounds to 2^31
  EXPECT_EQ(SweepStepCount(0, -2147483648.5, 1), kMin);          // rounds to −2^31
  EXPECT_THROW(SweepStepCount(0, -2147483649.0, 1), SweepError);
  EXPECT_THROW(SweepStepCount(0, 1, 0), SweepError);
  EXPECT_THROW(SweepStepCount(0, 0, 0), SweepError);
  EXPECT_THROW(SweepStepCount(-1.7e308, 1.7e308, 1), SweepError);  // To − From overflows
}

// With N = 2147483647 the row index is advanced once more after the last
// row and would pass the 32-bit range: that sweep fails after its rows.
TEST(SweepNextRowIndex, FailsOnlyPastTheLargestIndex) {
  EXPECT_EQ(SweepNextRowIndex(0), 1);
  EXPECT_EQ(SweepNextRowIndex(2147483646), 2147483647);
  EXPECT_THROW(SweepNextRowIndex(2147483647), SweepError);
}

}  // namespace
}  // namespace quorix
