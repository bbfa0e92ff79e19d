#include "commands.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "numbertext.h"
#include "specialfunctions.h"

namespace quorix {
namespace {

TEST(ReadCase, StopsAtTheFirstFieldBeyondRangeLeavingEarlierFieldsWritten) {
  BoucWenCase bw;
  bw.Fy = bw.Uy = bw.UmaxOverUy = 42.0;
  EXPECT_THROW(ReadCase(CaseTexts{.Nee = "3", .AlphaSmall = " 0 . 2", .Fy = "1e999"}, bw), Refusal);
  EXPECT_EQ((std::array{bw.Nee, bw.BetaSmall, bw.GammaSmall, bw.AlphaSmall, bw.Fy, bw.Uy, bw.UmaxOverUy}),
            (std::array{3.0, 0.1, 0.9, 0.2, 42.0, 42.0, 42.0}));
}

// Records the lines; with a watch, asks it to stop once stopAfter rows are written.
struct RecordingSink : SweepSink {
  void Open() override { ++opens; }
  void WriteLine(std::string_view line) override { lines.emplace_back(line); }
  void RowWritten(const BoucWenCase&) override {
    if (watch && lines.size() - 1 == stopAfter) watch->RequestStop();
  }
  std::vector<std::string> FirstColumn() const {
    std::vector<std::string> column;
    for (std::size_t i = 1; i < lines.size(); ++i) column.push_back(lines[i].substr(0, lines[i].find('\t')));
    return column;
  }
  int opens = 0;
  std::vector<std::string> lines;
  SweepWatch* watch = nullptr;
  std::size_t stopAfter = 0;
};

// Rows i = 0 … N with N = round((To − From)/Step), each at From + i·Step.
TEST(Sweep, RowsRunFromFromForNPlusOneSteps) {
  std::vector<std::string> initial;  // 0.10 … 10.00 (0.1·2 + 0.1 lies above 0.3 and shows 0.30)
  for (int k = 1; k <= 100; ++k) initial.push_back(std::to_string(k / 10) + "." + std::to_string(k % 10) + "0");
  const std::pair<SweepTexts, std::vector<std::string>> cases[] = {
      {{}, initial},                                           // q = 99
      {{"0", "1", "0.3"}, {"0.00", "0.30", "0.60", "0.90"}},   // q = 3.33
      {{"0", "1", "0.35"}, {"0.00", "0.35", "0.70", "1.05"}},  // q = 2.86: beyond To
      {{"2", "2", "0.5"}, {"2.00"}},                           // To = From
      {{"1", "0.25", "1"}, {}},                                // q = −0.75 → −1: header only
      {{"2", "1", "-0.5"}, {"2.00", "1.50", "1.00"}},          // downwards
      // Below a step of 0.01 the amplitude takes the decimals that keep the rows apart.
      {{"0", "0.01", "0.005"}, {"0.000", "0.005", "0.010"}},
      {{"1", "1.005", "0.0025"}, {"1.0000", "1.0025", "1.0050"}},
      {{"0", "0.0001", "-0.00005"}, {}},
      {{"0.0002", "0", "-0.0001"}, {"0.0002", "0.0001", "0.0000"}}};
  for (const auto& [range, firstColumn] : cases) {
    RecordingSink sink;
    BoucWenCase bw;
    RunSweep(CaseTexts{}, range, bw, sink);
    EXPECT_EQ(std::pair(sink.opens, sink.FirstColumn()), std::pair(1, firstColumn)) << range.Step;
    if (!firstColumn.empty()) {  // the last row's
      const std::string& last = firstColumn.back();
      EXPECT_EQ(FormatFixed(bw.UmaxOverUy, static_cast<int>(last.size() - last.find('.') - 1)), last);
    }
  }
}

// One place finer than the step's first digit, no finer than its shortest text; never fewer than two.
TEST(Sweep, AmplitudeDecimalsKeepEveryStepsRowsApart) {
  const std::pair<double, int> cases[] = {{0.1, 2},    {0.01, 2},   {5, 2},      {0.0099, 4}, {0.005, 3},
                                          {-0.005, 3}, {0.0025, 4}, {0.001, 3},  {1e-4 / 3, 6}, {0.0, 2}};
  for (const auto& [step, decimals] : cases) EXPECT_EQ(AmplitudeDecimals(step), decimals) << step;
}

TEST(Sweep, BadStepRangeOrFieldFailsBeforeOpening) {
  const std::pair<CaseTexts, SweepTexts> cases[] = {
      {{}, {"0", "1", "0"}},       {{}, {"0", "1", ""}},         {{}, {"1", "1", "0"}},
      {{}, {"0", "1e10", "1"}},    {{}, {"-1e308", "1.7e308", "1"}}, {{}, {"0", "1", "1e999"}},
      {{.Uy = "-1e999"}, {}}};
  for (const auto& [texts, range] : cases) {
    SCOPED_TRACE(range.From + " " + range.To + " " + range.Step + " " + texts.Uy);
    RecordingSink sink;
    BoucWenCase bw;
    EXPECT_THROW(RunSweep(texts, range, bw, sink), Refusal);
    EXPECT_EQ(std::pair(sink.opens, sink.lines), std::pair(0, std::vector<std::string>{}));
  }
}

// A stop ends the table between rows, on one thread and on every core, with the rows a full sweep wrote.
TEST(SweepStop, EndsBetweenRowsWithCompleteRowsOnly) {
  const SweepTexts range{"0.1", "100", "0.1"};  // 1000 rows, more than the workers run ahead
  RecordingSink full;
  BoucWenCase bw;
  RunSweep(CaseTexts{}, range, bw, full);
  ASSERT_EQ(full.lines.size(), 1001u);
  const bool straightforward = StraightforwardEvaluation();
  for (bool oneThread : {true, false}) {
    SetStraightforwardEvaluation(oneThread);
    for (std::size_t stopAfter : {0, 1, 2, 300, 999}) {  // 0: asked before it opens anything, it writes nothing
      SCOPED_TRACE(std::to_string(stopAfter) + (oneThread ? " one thread" : ""));
      SweepWatch watch;
      RecordingSink sink;
      sink.watch = &watch;
      sink.stopAfter = stopAfter;
      if (stopAfter == 0) watch.RequestStop();
      EXPECT_THROW(RunSweep(CaseTexts{}, range, bw, sink, &watch), SweepStopped);
      EXPECT_EQ(sink.opens, stopAfter == 0 ? 0 : 1);
      if (stopAfter == 0) continue;
      EXPECT_EQ(std::pair(watch.Rows(), watch.RowsWritten()), (std::pair<std::int64_t, std::int64_t>(1000, stopAfter)));
      EXPECT_EQ(sink.lines, std::vector<std::string>(full.lines.begin(), full.lines.begin() + 1 + stopAfter));
    }
  }
  SetStraightforwardEvaluation(straightforward);
}

TEST(SweepProgressText, CountsAndTimeLeft) {
  for (const auto& [n, text] : {std::pair<std::int64_t, const char*>{0, "0"}, {999, "999"}, {1000, "1,000"},
                                 {999999901, "999,999,901"}, {-1234567, "-1,234,567"}}) {
    EXPECT_EQ(GroupedCount(n), text);
  }
  // written, rows, elapsed seconds: the rest takes elapsed·(rows − written)/written.
  const std::tuple<std::int64_t, std::int64_t, double, const char*> times[] = {
      {1, 2, 0.5, "about 0 s left"},           {10, 100, 1.0, "about 9 s left"},
      {1, 3, 92.5, "about 3 min 05 s left"},   {1000, 999999901, 0.5, "about 138 h 53 min left"},  // 499,998.95 s
      {5, 5, 3.0, "about 0 s left"},           {0, 100, 1.0, ""},  // no rate yet
      {3, 2, 1.0, ""}};
  for (const auto& [written, rows, elapsed, text] : times) {
    EXPECT_EQ(SweepTimeLeftText(written, rows, elapsed), text) << written << " " << rows;
  }
}

// N = round((To − From)/Step), ties to even, within the 32-bit range (0 below: beyond it, an error).
TEST(SweepCounters, RoundHalfToEvenWithinThe32BitRange) {
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  for (const auto& [to, n] : {std::pair{2.5, 2}, {3.5, 4}, {-2.5, -2}, {2147483647.4, kMax}, {2147483647.5, 0},
                              {-2147483648.5, std::numeric_limits<std::int32_t>::min()}, {-2147483649.0, 0}}) {
    if (n != 0) { EXPECT_EQ(SweepStepCount(0.0, to, 1.0), n) << to; }
    if (n == 0) { EXPECT_THROW(SweepStepCount(0.0, to, 1.0), Refusal) << to; }
  }
  // With N = 2^31 − 1 the index advanced after the last row leaves the range: that sweep fails after its rows.
  EXPECT_EQ(SweepNextRowIndex(kMax - 1), kMax);
  EXPECT_THROW(SweepNextRowIndex(kMax), Refusal);
}

}  // namespace
}  // namespace quorix
